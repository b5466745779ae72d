#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QFontInfo>
#include <QRawFont>
#include <QTest>

#include "modal_box_catcher.h"
#include "rtl/exceptions.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"

using namespace toolkit;

namespace {

// A small window: a button, an edit and a memo in keyboard order.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetClientSize(300, 200);
        Button = new TBitBtn(Form.get());
        Button->SetName(u"BitBtn1");
        Button->SetParent(Form.get());
        Button->SetBounds(10, 10, 80, 21);
        Button->SetTabOrder(0);
        Edit = new TEdit(Form.get());
        Edit->SetName(u"Edit1");
        Edit->SetParent(Form.get());
        Edit->SetBounds(10, 40, 200, 21);
        Edit->SetTabOrder(1);
        Edit->OnEnter = [this](rtl::TComponent*) { ++Enters; };
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    }

    std::unique_ptr<TForm> Form;
    TBitBtn* Button = nullptr;
    TEdit* Edit = nullptr;
    int Enters = 0;
};

}  // namespace

TEST_F(ControlsTest, WidgetsCarryComponentNamesAndFirstControlHasFocus) {
    EXPECT_EQ(Form->Window()->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Button->Widget());
    EXPECT_EQ(Form->Window()->findChild<QLineEdit*>(QStringLiteral("Edit1")), Edit->Widget());
    EXPECT_TRUE(Button->Focused());
    EXPECT_EQ(Form->ActiveControl(), Button);
    EXPECT_EQ(Enters, 0);
}

TEST_F(ControlsTest, OnEnterFiresForTabAndClickFromAnotherControl) {
    QTest::keyClick(Button->Widget(), Qt::Key_Tab);
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Enters, 1);
    Button->SetFocus();
    QTest::mouseClick(Edit->Widget(), Qt::LeftButton);
    EXPECT_EQ(Enters, 2);
}

TEST_F(ControlsTest, OnEnterDoesNotFireWhenWindowIsActivatedAgain) {
    Edit->SetFocus();
    ASSERT_EQ(Enters, 1);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    Form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Enters, 1);
}

TEST_F(ControlsTest, FailingOnEnterShowsItsBoxOnceAndDoesNotReopenIt) {
    ModalBoxCatcher catcher;
    Edit->OnEnter = [this](rtl::TComponent*) {
        ++Enters;
        throw rtl::Exception(u"near \"'\": syntax error");
    };
    QTest::keyClick(Button->Widget(), Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Boxes.empty(); }, 5000));
    // The box has closed; the window becomes active again (the window
    // manager's part) and the focus comes back to the edit ...
    Form->Window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Edit->Focused(); }, 5000));
    QTest::qWait(100);  // ... and nothing opens the box again.
    EXPECT_EQ(Enters, 1);
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("near \"'\": syntax error."));
}

TEST_F(ControlsTest, ExceptionInClickHandlerIsShownAndWindowKeepsWorking) {
    ModalBoxCatcher catcher;
    int clicks = 0;
    Button->OnClick = [&](rtl::TComponent*) {
        if (++clicks == 1) throw rtl::Exception(u"first click fails");
    };
    QTest::mouseClick(Button->Widget(), Qt::LeftButton);
    QTest::mouseClick(Button->Widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Caption, QStringLiteral("Kalimdar"));
}

TEST_F(ControlsTest, EnterInEditDoesNotClickTheButton) {
    int clicks = 0;
    Button->OnClick = [&](rtl::TComponent*) { ++clicks; };
    Edit->SetFocus();
    QTest::keyClick(Edit->Widget(), Qt::Key_Return);
    EXPECT_EQ(clicks, 0);
}

TEST(StatusBar, LastPanelReachesTheRightEdge) {
    TForm form(nullptr);
    form.SetClientSize(665, 439);
    auto* bar = new TStatusBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(0, 420, 665, 19);
    bar->SetAlign(TAlign::alBottom);
    bar->AddPanel(250);
    bar->AddPanel(50);
    bar->SetPanelText(1, u"Сұраныс бойынша 1 500 сөздік табылды");
    EXPECT_EQ(bar->PanelShownWidth(0), 250);
    EXPECT_EQ(bar->PanelShownWidth(1), 415);
    form.SetClientSize(800, 500);
    EXPECT_EQ(bar->Top(), 481);
    EXPECT_EQ(bar->Width(), 800);
    EXPECT_EQ(bar->PanelShownWidth(1), 550);
    EXPECT_EQ(bar->PanelText(1), u"Сұраныс бойынша 1 500 сөздік табылды");
    EXPECT_THROW(bar->SetPanelText(2, u"x"), rtl::EListError);
}

TEST(RadioGroup, ItemsAndItemIndex) {
    TForm form(nullptr);
    auto* group = new TRadioGroup(&form);
    group->SetItems({u"a", u"b", u"c"});
    EXPECT_EQ(group->ItemIndex(), -1);
    group->SetItemIndex(2);
    EXPECT_EQ(group->ItemIndex(), 2);
    group->SetColumns(3);  // rebuilding keeps the choice
    EXPECT_EQ(group->ItemIndex(), 2);
    group->SetItemIndex(-1);
    EXPECT_EQ(group->ItemIndex(), -1);
}

// The arrows move the choice in item order, wrapping round, even in a group
// too small to show its items (the main window's is 7 x 9 pixels).
TEST(RadioGroup, ArrowKeysMoveTheChoiceInItemOrder) {
    TForm form(nullptr);
    auto* group = new TRadioGroup(&form);
    group->SetParent(&form);
    group->SetBounds(1, 48, 7, 9);
    group->SetColumns(3);
    group->SetItems({u"a", u"b", u"c"});
    group->SetItemIndex(0);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Window()));
    group->SetFocus();
    struct Step {
        Qt::Key key;
        int index;
    } steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Down, 2}, {Qt::Key_Right, 0}, {Qt::Key_Left, 2}, {Qt::Key_Up, 1}};
    for (const Step& s : steps) {
        QTest::keyClick(QApplication::focusWidget(), s.key);
        EXPECT_EQ(group->ItemIndex(), s.index);
        EXPECT_TRUE(group->Focused());
    }
}

// Character keys reach OnKeyPress first, Enter as CR and Escape as ESC; a
// key the handler sets to 0 never reaches the box, a failing handler's
// message is shown.
TEST(Edit, KeyPressSeesKeysFirstAndCanKeepThem) {
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(8, 12, 200, 21);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Window()));
    edit->SetFocus();
    std::u16string seen;
    edit->OnKeyPress = [&](rtl::TComponent* Sender, char16_t& Key) {
        EXPECT_EQ(Sender, edit);
        seen += Key;
        if (Key == u'x' || Key == u'\r') Key = 0;
        if (Key == u'!') throw rtl::Exception(u"no exclamations");
    };
    // Typed one key each, as a keyboard layout gives letters beyond ASCII.
    for (const QChar c : QStringLiteral("əxб"))
        QTest::sendKeyEvent(QTest::Click, edit->Widget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::keyClick(edit->Widget(), Qt::Key_Return);
    QTest::keyClick(edit->Widget(), Qt::Key_Escape);
    EXPECT_EQ(seen, u"əxб\r\x1b");
    EXPECT_EQ(edit->Text(), u"əб");
    ModalBoxCatcher catcher;
    QTest::keyClicks(edit->Widget(), QStringLiteral("!"));
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("no exclamations."));
    EXPECT_EQ(edit->Text(), u"əб");
}

// Whatever family stands in for "Tahoma", it draws every Kazakh letter in
// both cases, at both of the design's sizes.
TEST(DesignFont, HasAGlyphForEveryKazakhLetter) {
    ASSERT_EQ(KazakhLetters.size(), 84u);
    for (const int pixels : {11, 16}) {
        const QFont font = DesignFont(pixels);
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid()) << font.family().toStdString();
        std::string missing;
        for (const char16_t c : KazakhLetters)
            if (!raw.supportsCharacter(QChar(c))) missing += QString(QChar(c)).toStdString();
        EXPECT_EQ(missing, "") << "family " << raw.familyName().toStdString() << " at " << pixels << " px";
        EXPECT_EQ(QFontInfo(font).pixelSize(), pixels);
    }
}
