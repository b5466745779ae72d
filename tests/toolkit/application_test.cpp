#include "toolkit/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <stdexcept>

#include "data/connection.h"
#include "modal_box_catcher.h"
#include "rtl/exceptions.h"

using namespace toolkit;
using rtl::String;

#if defined(__SANITIZE_ADDRESS__)
// Whole allocation stacks, so that the leak suppressions for Qt's unwound
// input frames (tests/lsan.supp) can match them.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
#endif

namespace {

template <class E>
std::exception_ptr Raised(E e) {
    return std::make_exception_ptr(std::move(e));
}

}  // namespace

TEST(ExceptionDisplayText, AppendsFullStopAfterCharactersAboveIt) {
    struct Case {
        String message, shown;
    } cases[] = {
        {u"no such table: lx_items", u"no such table: lx_items."},
        {u"Done.", u"Done."},
        {u"Why?", u"Why?."},   // "?" (0x3F) is above "."
        {u"Stop!", u"Stop!"},  // "!" (0x21) is below "."
        {u"(x)", u"(x)"},      // ")" (0x29) is below "."
        {u"count 1", u"count 1."},
        {u"қате", u"қате."},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExceptionDisplayText(rtl::Exception(c.message)), c.shown) << rtl::StringToUtf8(c.message);
}

TEST(ExceptionDisplayText, UsesInnermostNonEmptyMessage) {
    auto deepest = std::make_shared<rtl::Exception>(u"");
    auto middle = std::make_shared<rtl::Exception>(u"inner cause", deepest);
    rtl::Exception outer(u"outer", middle);
    EXPECT_EQ(ExceptionDisplayText(outer), u"inner cause.");
    EXPECT_EQ(ExceptionDisplayText(rtl::Exception(u"", std::make_shared<rtl::Exception>(u""))), u"");
}

TEST(HandleException, ShowsModalErrorBoxCaptionedWithTitle) {
    ModalBoxCatcher catcher;
    Application().HandleException(Raised(rtl::EConvertError(u"'x' is not a valid integer value")));
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Caption, QStringLiteral("Kalimdar"));
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("'x' is not a valid integer value."));
    EXPECT_EQ(catcher.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(catcher.Boxes[0].OkOnly);
    EXPECT_EQ(catcher.Boxes[0].ButtonCount, 1);
}

TEST(HandleException, AbortIsSilentAndOthersAreShown) {
    ModalBoxCatcher catcher;
    Application().HandleException(Raised(rtl::EAbort(u"Operation aborted")));
    QTest::qWait(50);
    EXPECT_TRUE(catcher.Boxes.empty());
    Application().HandleException(std::make_exception_ptr(std::runtime_error("bad_alloc-like")));
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("bad_alloc-like"));
}

TEST(HandleException, OnExceptionReplacesTheBox) {
    ModalBoxCatcher catcher;
    int calls = 0;
    Application().OnException = [&](std::exception_ptr) { ++calls; };
    Application().HandleException(Raised(rtl::Exception(u"x")));
    Application().OnException = nullptr;
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(catcher.Boxes.empty());
}

TEST(HandleException, ReleasesMouseCapture) {
    ModalBoxCatcher catcher;
    QWidget grabber;
    grabber.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grabber));
    grabber.grabMouse();
    ASSERT_EQ(QWidget::mouseGrabber(), &grabber);
    Application().HandleException(Raised(rtl::EAbort(u"")));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(Screen, WaitCursorOverridesUntilReset) {
    ASSERT_TRUE(data::ScreenCursorProc);  // the data components' way to the screen
    data::ScreenCursorProc(crHourGlass);
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen().SetCursor(crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

namespace {

// A widget whose event handlers fail, as a faulty paint or input handler might.
class FailingWidget : public QWidget {
protected:
    void customEvent(QEvent*) override { throw rtl::Exception(u"handler failed"); }
    void mousePressEvent(QMouseEvent*) override { throw rtl::Exception(u"click failed"); }
};

}  // namespace

TEST(HandleException, ExceptionLeavingMessageProcessingIsShownNotPropagated) {
    ModalBoxCatcher catcher;
    FailingWidget widget;
    QCoreApplication::postEvent(&widget, new QEvent(QEvent::User));
    QCoreApplication::processEvents();  // the message loop delivers it
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("handler failed."));
}

// The real input path: a mouse press from the platform through the whole
// event delivery, failing in the widget's handler. The window goes on
// receiving input afterwards.
TEST(HandleException, ExceptionFromARealMouseHandlerIsShownAndInputGoesOn) {
    ModalBoxCatcher catcher;
    FailingWidget widget;
    widget.resize(100, 50);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("click failed."));
    widget.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(catcher.Boxes.size(), 2u);
}
