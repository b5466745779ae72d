// The main window's keyboard order once the match mode has been changed from
// the keyboard: Tab from the search box, and Shift+Tab from the memo, still
// reach the mode group, on its chosen item, whichever that is.

#include <QApplication>
#include <QTest>
#include <string>

#include "dictionary_window.h"

using namespace app_test;

namespace {

// The name of the control holding the focus; the mode group holds it only on
// its chosen item.
std::string FocusedControl(const app::TForm2& Form) {
    const toolkit::TControl* c = Form.ActiveControl();
    return c ? Utf8(c->Name()) : "(none)";
}

void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = {}) { QTest::keyClick(QApplication::focusWidget(), Key, Mods); }

TEST_F(DictionaryWindowTest, TabAndShiftTabReachTheModeGroupAfterTheModeChangedByKeyboard) {
    MakeDictionary(20);
    Start();
    Form->BitBtn1->SetFocus();
    Press(Qt::Key_Tab);
    ASSERT_EQ(FocusedControl(*Form), "Edit1");
    Press(Qt::Key_Tab);
    ASSERT_EQ(FocusedControl(*Form), "RadioGroup1");
    ASSERT_EQ(Form->RadioGroup1->ItemIndex(), 0);
    // Through every mode and round to the first again.
    for (const int mode : {1, 2, 0}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        Press(Qt::Key_Right);
        ASSERT_EQ(Form->RadioGroup1->ItemIndex(), mode);
        Press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(FocusedControl(*Form), "Edit1");
        Press(Qt::Key_Tab);
        EXPECT_EQ(FocusedControl(*Form), "RadioGroup1") << "Tab from the search box";
        Press(Qt::Key_Tab);
        EXPECT_EQ(FocusedControl(*Form), "DBMemo1");
        Press(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(FocusedControl(*Form), "RadioGroup1") << "Shift+Tab from the memo";
        EXPECT_EQ(Form->RadioGroup1->ItemIndex(), mode) << "tabbing changed the mode";
    }
    // The whole order, from the button, after the changes: 1 to 4, then 0.
    Form->BitBtn1->SetFocus();
    for (const char* next : {"Edit1", "RadioGroup1", "DBMemo1", "DBGrid1"}) {
        Press(Qt::Key_Tab);
        EXPECT_EQ(FocusedControl(*Form), next);
    }
}

}  // namespace
