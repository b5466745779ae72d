#include "toolkit/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "data/connection.h"
#include "rtl/exceptions.h"
#include "rtl/files.h"
#include "toolkit/flat_style.h"
#include "toolkit/forms.h"
#include "toolkit/qt_text.h"

namespace toolkit {
namespace {

TApplication* gApplication = nullptr;

// Catches whatever leaves the processing of one message, so that nothing
// escapes into the toolkit's event loop.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* Receiver, QEvent* Event) override {
        try {
            return QApplication::notify(Receiver, Event);
        } catch (...) {
            if (gApplication) gApplication->HandleException(std::current_exception());
            return false;
        }
    }
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) : TComponent(nullptr) {
    if (!QApplication::instance()) FApp = std::make_unique<GuardedApplication>(argc, argv);
    if (!dynamic_cast<TFlatStyle*>(QApplication::style()))
        QApplication::setStyle(new TFlatStyle(QApplication::style()->name()));  // the application owns it
    // The main form's close ends the loop; other windows closing do not.
    QApplication::setQuitOnLastWindowClosed(false);
    gApplication = this;
    // The data components show their wait cursor through the screen.
    data::ScreenCursorProc = [](int CursorCode) { Screen().SetCursor(CursorCode); };
}

TApplication::~TApplication() {
    Destroying();
    DestroyComponents();
    if (gApplication == this) gApplication = nullptr;
    data::ScreenCursorProc = nullptr;
    Screen().SetCursor(crDefault);
}

String TApplication::ExeName() const { return rtl::ExecutableFileName(); }

void TApplication::SetExeName(const String& Value) { rtl::SetExecutableFileName(Value); }

void TApplication::RegisterForm(TForm* Form) {
    if (!FMainForm) FMainForm = Form;
    Form->DoCreate();
}

void TApplication::Run() {
    if (FTerminated) return;
    if (FMainForm) FMainForm->Show();
    QApplication::exec();
}

void TApplication::Terminate() {
    FTerminated = true;
    QApplication::quit();
}

void TApplication::HandleException(std::exception_ptr E) {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    if (!E) return;
    try {
        std::rethrow_exception(E);
    } catch (const rtl::EAbort&) {
        return;
    } catch (...) {
    }
    if (OnException) {
        OnException(E);
        return;
    }
    try {
        std::rethrow_exception(E);
    } catch (const rtl::Exception& ex) {
        ShowException(ex);
    } catch (const std::exception& ex) {
        ShowError(rtl::Utf8ToString(ex.what()));
    } catch (...) {
        ShowError(u"Unknown exception");
    }
}

void TApplication::ShowException(const rtl::Exception& E) { ShowError(ExceptionDisplayText(E)); }

void TApplication::ShowError(const String& Text) { ShowErrorBox(Text, FTitle); }

TApplication& Application() {
    if (!gApplication) throw rtl::Exception(u"No application object");
    return *gApplication;
}

String ExceptionDisplayText(const rtl::Exception& E) {
    String text = E.Message();
    // The innermost wrapped exception with a message speaks for the chain.
    for (const rtl::Exception* inner = E.InnerException(); inner; inner = inner->InnerException())
        if (!inner->Message().empty()) text = inner->Message();
    if (!text.empty() && text.back() > u'.') text += u'.';
    return text;
}

void ShowErrorBox(const String& Text, const String& Caption) {
    QMessageBox box(QMessageBox::Critical, ToQString(Caption), ToQString(Text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void TScreen::SetCursor(int Value) {
    if (Value == FCursor) return;
    if (FCursor != crDefault) QApplication::restoreOverrideCursor();
    FCursor = Value;
    if (Value == crHourGlass || Value == crSQLWait) QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (Value != crDefault) QApplication::setOverrideCursor(Qt::ArrowCursor);
}

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

}  // namespace toolkit
