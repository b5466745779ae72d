#include <gtest/gtest.h>

#include <QTest>
#include <QTextEdit>
#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

using namespace toolkit;
using rtl::String;

namespace {

// A memo that records what it is told and drops the keys a test names.
class TRecordingMemo : public TMemo {
public:
    using TMemo::Editor;
    using TMemo::TMemo;

    std::vector<int> KeysDown;
    String Chars;
    int Changes = 0;
    int Enters = 0;
    int Exits = 0;
    char16_t DropChar = 0;
    bool ThrowOnChar = false;

protected:
    void KeyDown(int& Key, TShiftState) override { KeysDown.push_back(Key); }
    void KeyPress(char16_t& Key) override {
        Chars += Key;
        if (ThrowOnChar) throw rtl::Exception(u"key handler failed");
        if (Key == DropChar) Key = 0;
    }
    void Change() override { ++Changes; }
    void DoEnter() override { ++Enters; }
    void DoExit() override { ++Exits; }
};

// A window with a button before the memo in keyboard order.
class MemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetClientSize(300, 200);
        Button = new TBitBtn(Form.get());
        Button->SetParent(Form.get());
        Button->SetBounds(10, 10, 80, 21);
        Button->SetTabOrder(0);
        Memo = new TRecordingMemo(Form.get());
        Memo->SetParent(Form.get());
        Memo->SetBounds(10, 40, 200, 100);
        Memo->SetTabOrder(1);
    }

    void ShowWithMemoFocused() {
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
        Memo->SetFocus();
        ASSERT_TRUE(Memo->Focused());
    }

    std::unique_ptr<TForm> Form;
    TBitBtn* Button = nullptr;
    TRecordingMemo* Memo = nullptr;
};

}  // namespace

TEST_F(MemoTest, LineBreaksReadBackAsCrLf) {
    struct Case {
        const char16_t* set;
        const char16_t* text;
        int lines;
    } cases[] = {
        {u"", u"", 0},
        {u"a\nb", u"a\r\nb", 2},
        {u"a\rb", u"a\r\nb", 2},
        {u"a\r\nb", u"a\r\nb", 2},
        {u"a\n\r\nb\r", u"a\r\n\r\nb\r\n", 3},
        {u"ә\u00A0б", u"ә\u00A0б", 1},  // a no-break space stays one
    };
    for (const Case& c : cases) {
        Memo->SetText(c.set);
        EXPECT_EQ(Memo->Text(), c.text) << rtl::StringToUtf8(c.set);
        EXPECT_EQ(Memo->LineCount(), c.lines) << rtl::StringToUtf8(c.set);
    }
    Memo->SetText(u"бір\nекі");
    EXPECT_EQ(Memo->Lines(1), u"екі");
    EXPECT_THROW(Memo->Lines(2), rtl::EListError);
}

TEST_F(MemoTest, TextBeyondCapacityIsRefusedAndTheOldTextStays) {
    Memo->SetCapacity(5);
    Memo->SetText(u"12345");
    for (const char16_t* tooLong : {u"123456", u"1\n2\n3"}) {  // CR LF counts two
        try {
            Memo->SetText(tooLong);
            ADD_FAILURE() << "no exception for " << rtl::StringToUtf8(tooLong);
        } catch (const EInvalidOperation& e) {
            EXPECT_EQ(e.Message(), u"Text exceeds memo capacity");
        }
        EXPECT_EQ(Memo->Text(), u"12345");
    }
}

TEST_F(MemoTest, ChangeIsReportedOnlyForADifferentText) {
    Memo->SetText(u"a\nb");
    const int changes = Memo->Changes;
    EXPECT_GE(changes, 1);
    Memo->SetText(u"a\r\nb");
    EXPECT_EQ(Memo->Changes, changes);

    // Texts that share a start or an end with the one shown still differ.
    for (const char16_t* other : {u"a", u"a\r\nbc", u"a\r\nb\r\n", u"a\r\nc", u"ab", u"\r\na\r\nb", u""}) {
        Memo->SetText(u"a\r\nb");
        const int before = Memo->Changes;
        Memo->SetText(other);
        EXPECT_GT(Memo->Changes, before) << rtl::StringToUtf8(other);
        EXPECT_EQ(Memo->Text(), other) << rtl::StringToUtf8(other);
    }
}

TEST_F(MemoTest, KeysReachTheMemoWhichMayDropThem) {
    ShowWithMemoFocused();
    Memo->DropChar = u'x';
    QTest::keyClicks(Memo->Editor(), QStringLiteral("axb"));
    EXPECT_EQ(Memo->Text(), u"ab");
    EXPECT_EQ(Memo->Chars, u"axb");
    EXPECT_EQ(Memo->KeysDown, (std::vector<int>{'A', 'X', 'B'}));

    Memo->KeysDown.clear();
    Memo->Chars.clear();
    QTest::keyClick(Memo->Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Memo->Editor(), Qt::Key_Delete);
    QTest::keyClick(Memo->Editor(), Qt::Key_Return);
    // The modifier's own key comes first, with the toolkit's code.
    EXPECT_EQ(Memo->KeysDown, (std::vector<int>{Qt::Key_Control, 'A', TMemo::VK_DELETE, TMemo::VK_RETURN}));
    EXPECT_EQ(Memo->Chars, (String{1, 13}));  // Delete gives no character
}

TEST_F(MemoTest, ReturnsAreTheMemosOnlyWhenWanted) {
    ShowWithMemoFocused();
    QTest::keyClick(Memo->Editor(), Qt::Key_Return);
    EXPECT_EQ(Memo->Text(), u"\r\n");
    Memo->SetWantReturns(false);
    QTest::keyClick(Memo->Editor(), Qt::Key_Return);
    EXPECT_EQ(Memo->Text(), u"\r\n");
}

TEST_F(MemoTest, TabLeavesTheMemoAndFocusMovesAreReported) {
    ShowWithMemoFocused();
    EXPECT_EQ(Memo->Enters, 1);
    QTest::keyClick(Memo->Editor(), Qt::Key_Tab);
    EXPECT_TRUE(Button->Focused());
    EXPECT_EQ(Memo->Exits, 1);
    EXPECT_EQ(Memo->Text(), u"");
    EXPECT_TRUE(Memo->Chars.empty());
}

TEST_F(MemoTest, AnExceptionFromAKeyHandlerGoesToTheApplicationAndDropsTheKey) {
    ShowWithMemoFocused();
    std::vector<String> handled;
    Application().OnException = [&](std::exception_ptr E) {
        try {
            std::rethrow_exception(E);
        } catch (const rtl::Exception& e) {
            handled.push_back(e.Message());
        }
    };
    Memo->ThrowOnChar = true;
    QTest::keyClick(Memo->Editor(), Qt::Key_Q);
    Application().OnException = nullptr;
    EXPECT_EQ(handled, std::vector<String>{u"key handler failed"});
    EXPECT_EQ(Memo->Text(), u"");
}

TEST_F(MemoTest, WordWrapAndScrollBarsAreIndependent) {
    EXPECT_TRUE(Memo->WordWrap());
    Memo->SetScrollBars(TScrollStyle::ssBoth);
    EXPECT_EQ(Memo->Editor()->lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_EQ(Memo->Editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    Memo->SetWordWrap(false);
    EXPECT_EQ(Memo->Editor()->lineWrapMode(), QTextEdit::NoWrap);
    Memo->SetScrollBars(TScrollStyle::ssVertical);
    EXPECT_EQ(Memo->Editor()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Memo->Editor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}
