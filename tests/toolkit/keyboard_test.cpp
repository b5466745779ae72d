// The keyboard across a form's controls: what a memo's key handler is told
// for character keys, and where Tab and Shift+Tab go round a radio group.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTextEdit>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

using namespace toolkit;

namespace {

// A memo that records the codes its key handler is told and the characters
// that reach it.
class TKeyRecordingMemo : public TMemo {
public:
    using TMemo::Editor;
    using TMemo::TMemo;
    std::vector<int> KeysDown;
    rtl::String Chars;

protected:
    void KeyDown(int& Key, TShiftState) override { KeysDown.push_back(Key); }
    void KeyPress(char16_t& Key) override { Chars += Key; }
};

TEST(MemoKeysTest, CharactersOtherThanLettersAndDigitsComeWithoutAKeyCode) {
    // Their Qt codes include those of Insert ('-') and Delete ('.'), which a
    // memo over a dataset takes as a request to edit.
    const struct {
        Qt::Key Key;
        char16_t Char;
        // clang-format off
    } characters[] = {{Qt::Key_ParenLeft, u'('}, {Qt::Key_Apostrophe, u'\''}, {Qt::Key_Ampersand, u'&'},
                      {Qt::Key_Percent, u'%'},   {Qt::Key_Exclam, u'!'},      {Qt::Key_QuoteDbl, u'"'},
                      {Qt::Key_Dollar, u'$'},    {Qt::Key_NumberSign, u'#'},  {Qt::Key_Minus, u'-'},
                      {Qt::Key_Period, u'.'}};
    // clang-format on
    TForm form(nullptr);
    form.SetClientSize(300, 200);
    auto* memo = new TKeyRecordingMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(10, 10, 200, 100);
    memo->SetTabOrder(0);
    memo->SetReadOnly(false);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Window()));
    memo->SetFocus();

    rtl::String typed;
    for (const auto& c : characters) {
        for (const Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers{}, Qt::KeyboardModifiers{Qt::ShiftModifier},
                                                 Qt::KeyboardModifiers{Qt::ControlModifier}}) {
            SCOPED_TRACE(std::string(1, static_cast<char>(c.Char)) + " with modifiers " + std::to_string(mods.toInt()));
            memo->KeysDown.clear();
            memo->Chars.clear();
            QTest::keyClick(memo->Editor(), c.Key, mods);
            // The modifier keys go down first, with their own codes.
            ASSERT_FALSE(memo->KeysDown.empty());
            EXPECT_EQ(memo->KeysDown.back(), 0);
            if (mods & Qt::ControlModifier) continue;
            // The key is not dropped for having no code: its character is typed.
            EXPECT_EQ(memo->Chars, rtl::String(1, c.Char));
            typed += c.Char;
        }
    }
    EXPECT_EQ(memo->Text(), typed);
}

// A window with a text box, a radio group of three items and a button, in
// that keyboard order; the group's items, choice and place in the order are
// given last, in the order a test names.
class RadioGroupTabTest : public ::testing::Test {
protected:
    void Arrange(const std::function<void()>& SetUpGroup) {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetClientSize(400, 200);
        // The group comes first, so that only the keyboard order, not the
        // order of creation, puts it after the box.
        Group = new TRadioGroup(Form.get());
        Group->SetName(u"Group");
        Group->SetParent(Form.get());
        Group->SetBounds(10, 40, 300, 60);
        Group->SetColumns(3);
        Edit = new TEdit(Form.get());
        Edit->SetName(u"Edit");
        Edit->SetParent(Form.get());
        Edit->SetBounds(10, 10, 100, 21);
        Edit->SetTabOrder(0);
        Button = new TBitBtn(Form.get());
        Button->SetName(u"Button");
        Button->SetParent(Form.get());
        Button->SetBounds(10, 120, 80, 21);
        Button->SetTabOrder(2);
        SetUpGroup();
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    }

    void Items() { Group->SetItems({u"a", u"b", u"c"}); }

    // The name of the control holding the focus; a radio group holds it only
    // on its checked item.
    std::string Focus() const {
        const TControl* c = Form->ActiveControl();
        return c ? rtl::StringToUtf8(c->Name()) : "(none)";
    }
    static void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = {}) {
        QTest::keyClick(QApplication::focusWidget(), Key, Mods);
    }

    std::unique_ptr<TForm> Form;
    TEdit* Edit = nullptr;
    TRadioGroup* Group = nullptr;
    TBitBtn* Button = nullptr;
};

TEST_F(RadioGroupTabTest, TabReachesTheCheckedItemHoweverItWasChosen) {
    const struct {
        const char* Name;
        std::function<void()> SetUp;
        int Checked;
    } cases[] = {
        {"checked before the group takes its place",
         [this] {
             Items();
             Group->SetItemIndex(1);
             Group->SetTabOrder(1);
         },
         1},
        {"checked by the program afterwards",
         [this] {
             Items();
             Group->SetItemIndex(0);
             Group->SetTabOrder(1);
             Group->SetItemIndex(2);
         },
         2},
        {"items given after the group took its place",
         [this] {
             Group->SetTabOrder(1);
             Items();
             Group->SetItemIndex(0);
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Arrange(c.SetUp);
        Edit->SetFocus();
        ASSERT_EQ(Focus(), "Edit");
        Press(Qt::Key_Tab);
        EXPECT_EQ(Focus(), "Group");
        EXPECT_EQ(Group->ItemIndex(), c.Checked);
        // Each arrow key moves the choice, and the way back finds it.
        for (int step = 1; step <= 3; ++step) {
            Press(Qt::Key_Right);
            const int checked = (c.Checked + step) % 3;
            ASSERT_EQ(Group->ItemIndex(), checked);
            Press(Qt::Key_Backtab, Qt::ShiftModifier);
            EXPECT_EQ(Focus(), "Edit");
            Press(Qt::Key_Tab);
            EXPECT_EQ(Focus(), "Group") << "from the box after choosing " << checked;
            Press(Qt::Key_Tab);
            EXPECT_EQ(Focus(), "Button");
            Press(Qt::Key_Backtab, Qt::ShiftModifier);
            EXPECT_EQ(Focus(), "Group") << "from the button after choosing " << checked;
        }
    }
}

}  // namespace
