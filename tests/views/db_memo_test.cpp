#include "views/db_memo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "data/data_links.h"
#include "data/db_error.h"
#include "data/fields.h"
#include "exception_message.h"
#include "memory_dataset.h"
#include "modal_box_catcher.h"
#include "toolkit/forms.h"

using rtl::String;
using rtl::Variant;
using testing_support::MessageOf;
using views::TDBMemo;

namespace {

const String kLongText = u"Бұл мәтін жадқа сыймайтындай ұзын, қырық әріптен асады.";

// A window with a button and the memo "DBMemo1", bound to the "Text" wide
// memo of a four-row dataset through "DataSource1".
class DBMemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Data = std::make_unique<testing_data::TMemoryDataSet>(
            nullptr, std::vector<testing_data::Column>{
                         {u"ID", data::ftInteger}, {u"Word", data::ftWideString, 60}, {u"Text", data::ftWideMemo}});
        Data->SetName(u"MemData");
        Data->Rows = {{Variant(1), Variant(u"кітап"), Variant(u"бірінші\nжол")},
                      {Variant(2), Variant(u"алма"), Variant::Null()},
                      {Variant(3), Variant(u"кілт"), Variant(u"")},
                      {Variant(4), Variant(u"су"), Variant(kLongText)}};
        Form = std::make_unique<toolkit::TForm>(nullptr);
        Form->SetClientSize(400, 300);
        Button = new toolkit::TBitBtn(Form.get());
        Button->SetParent(Form.get());
        Button->SetBounds(10, 10, 80, 21);
        Button->SetTabOrder(0);
        Source = new data::TDataSource(Form.get());
        Source->SetName(u"DataSource1");
        Source->SetDataSet(Data.get());
        Memo = new TDBMemo(Form.get());
        Memo->SetName(u"DBMemo1");
        Memo->SetParent(Form.get());
        Memo->SetBounds(10, 40, 300, 150);
        Memo->SetTabOrder(1);
        Memo->SetDataField(u"Text");
        Memo->SetDataSource(Source);
    }

    void ShowWithMemoFocused() {
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
        Memo->SetFocus();
        ASSERT_TRUE(Memo->Focused());
    }

    // Types Text as key clicks (QTest::keyClicks knows ASCII only).
    void Type(const QString& Text) {
        for (QChar c : Text) QTest::sendKeyEvent(QTest::Click, Editor(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    QTextEdit* Editor() const { return static_cast<QTextEdit*>(Memo->Widget()); }
    bool ControlReadOnly() const { return Editor()->isReadOnly(); }

    std::unique_ptr<testing_data::TMemoryDataSet> Data;
    std::unique_ptr<toolkit::TForm> Form;
    toolkit::TBitBtn* Button = nullptr;
    data::TDataSource* Source = nullptr;
    TDBMemo* Memo = nullptr;
};

}  // namespace

TEST_F(DBMemoTest, LoadsTheCurrentRowsFullTextOnEveryMove) {
    EXPECT_EQ(Memo->Text(), u"");
    Data->Open();
    EXPECT_EQ(Memo->Field(), Data->FieldByName(u"Text"));
    struct Step {
        std::function<void()> move;
        String text;
    } steps[] = {
        {[] {}, u"бірінші\r\nжол"},  // LF shown as its own line
        {[&] { Data->Next(); }, u""},              // null
        {[&] { Data->Next(); }, u""},              // empty
        {[&] { Data->Next(); }, kLongText}, {[&] { Data->MoveBy(-3); }, u"бірінші\r\nжол"},
        {[&] { Data->Last(); }, kLongText},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].move();
        EXPECT_EQ(Memo->Text(), steps[i].text) << "step " << i;
        EXPECT_TRUE(Memo->MemoLoaded()) << "step " << i;
    }
    Data->First();
    EXPECT_EQ(Memo->LineCount(), 2);
    EXPECT_EQ(Memo->Lines(1), u"жол");
}

TEST_F(DBMemoTest, ClosingEmptiesTheMemoAndReopeningShowsTheTextAgain) {
    Data->Open();
    Data->Next();
    Data->Next();
    Data->Next();
    Data->Close();
    EXPECT_EQ(Memo->Text(), u"");
    EXPECT_FALSE(Memo->MemoLoaded());
    EXPECT_EQ(Memo->Field(), nullptr);
    EXPECT_TRUE(ControlReadOnly());
    Data->Open();
    EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
}

TEST_F(DBMemoTest, AnEmptyResultShowsAnEmptyMemo) {
    Data->Open();
    Data->Close();
    Data->Rows.clear();
    Data->Open();
    EXPECT_NE(Memo->Field(), nullptr);
    EXPECT_EQ(Memo->Text(), u"");
}

TEST_F(DBMemoTest, DisabledControlsUpdateTheMemoOnceWhenEnabledAgain) {
    Data->Open();
    int changes = 0;
    QObject::connect(Editor(), &QTextEdit::textChanged, [&] { ++changes; });
    Data->DisableControls();
    Data->Next();
    Data->Next();
    Data->Next();
    EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
    EXPECT_EQ(changes, 0);
    Data->EnableControls();
    EXPECT_EQ(Memo->Text(), kLongText);
    EXPECT_EQ(changes, 1);
}

// The link's ReadOnly or a read-only dataset: no key puts the dataset into
// edit mode or changes the text, and the text can still be selected.
TEST_F(DBMemoTest, TypingIntoAReadOnlyMemoChangesNothingAndCtrlASelectsAll) {
    for (bool readOnlyLink : {true, false}) {
        SCOPED_TRACE(readOnlyLink ? "read-only link" : "read-only dataset");
        Memo->SetReadOnly(readOnlyLink);
        Data->ReadOnlyData = !readOnlyLink;
        Data->Open();
        ShowWithMemoFocused();
        Type(QStringLiteral("жаңа мәтін"));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete}) QTest::keyClick(Editor(), key);
        QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(Editor(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
        EXPECT_EQ(Data->State(), data::dsBrowse);
        EXPECT_TRUE(ControlReadOnly());
        QTest::keyClick(Editor(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(Memo->SelText(), u"бірінші\r\nжол");
        Data->Close();
    }
}

// A memo that may edit a (non-blob) field: the first key puts the dataset
// into edit mode, and posting writes the memo's text to the field.
TEST_F(DBMemoTest, TypingEditsTheFieldAndPostingWritesTheTextBack) {
    Memo->SetDataField(u"Word");
    Data->Open();
    EXPECT_EQ(Memo->Text(), u"кітап");
    ShowWithMemoFocused();
    EXPECT_FALSE(ControlReadOnly());
    QTest::keyClick(Editor(), Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("тар"));
    EXPECT_EQ(Data->State(), data::dsEdit);
    EXPECT_TRUE(Memo->DataLink()->Modified());
    Data->Post();
    EXPECT_EQ(Data->Rows[0][1].AsString(), u"кітаптар");
    EXPECT_EQ(Memo->Text(), u"кітаптар");

    // Esc shows the field's text again.
    Type(QStringLiteral("ы"));
    EXPECT_EQ(Memo->Text(), u"кітаптары");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    EXPECT_EQ(Memo->Text(), u"кітаптар");
}

// A character the field does not accept is dropped before it can put the
// dataset into edit mode; one it accepts edits.
TEST_F(DBMemoTest, CharactersTheFieldRefusesAreDropped) {
    Memo->SetDataField(u"ID");
    Data->Open();
    data::TFieldChars digits;
    for (char16_t c = u'0'; c <= u'9'; ++c) digits.set(c);
    Data->FieldByName(u"ID")->SetValidChars(digits);
    ShowWithMemoFocused();
    QTest::keyClick(Editor(), Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("xж"));
    EXPECT_EQ(Memo->Text(), u"1");
    EXPECT_EQ(Data->State(), data::dsBrowse);
    Type(QStringLiteral("5"));
    EXPECT_EQ(Memo->Text(), u"15");
    EXPECT_EQ(Data->State(), data::dsEdit);
    Data->Cancel();
}

// Pastes the clipboard through the entry of the memo's own menu.
void PasteFromMenu(QTextEdit* Editor) {
    bool done = false, triggered = false;
    QTimer::singleShot(0, [&] {
        done = true;
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->actions())
            if (action->objectName() == QLatin1String("edit-paste")) {
                triggered = true;
                action->trigger();
            }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), Editor->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(Editor, &event);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }));
    EXPECT_TRUE(triggered);
}

// A data source that does not edit by itself: the memo may be written to, but
// neither a key nor the menu's paste changes the text while the dataset is
// not editing.
TEST_F(DBMemoTest, ChangesWaitForTheDatasetToEdit) {
    Memo->SetDataField(u"Word");
    Source->SetAutoEdit(false);
    Data->Open();
    ShowWithMemoFocused();
    ASSERT_FALSE(ControlReadOnly());
    QApplication::clipboard()->setText(QStringLiteral("ша"));
    Type(QStringLiteral("x"));
    QTest::keyClick(Editor(), Qt::Key_Delete);
    PasteFromMenu(Editor());
    EXPECT_EQ(Memo->Text(), u"кітап");
    EXPECT_EQ(Data->State(), data::dsBrowse);

    Source->SetAutoEdit(true);
    PasteFromMenu(Editor());
    EXPECT_EQ(Data->State(), data::dsEdit);
    EXPECT_EQ(Memo->Text(), u"шакітап");
}

TEST_F(DBMemoTest, LeavingTheMemoWritesItsChangeToTheField) {
    Memo->SetDataField(u"Word");
    Data->Open();
    ShowWithMemoFocused();
    QTest::keyClick(Editor(), Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("!"));
    QTest::keyClick(Editor(), Qt::Key_Backtab);
    EXPECT_TRUE(Button->Focused());
    EXPECT_EQ(Data->FieldByName(u"Word")->AsString(), u"кітап!");
    EXPECT_FALSE(Memo->DataLink()->Modified());
}

TEST_F(DBMemoTest, AFailedWriteBackIsShownAndKeepsTheFocusInTheMemo) {
    Memo->SetDataField(u"Word");
    Data->Open();
    Data->FieldByName(u"Word")->OnSetText = [](data::TField&, const String&) { throw rtl::Exception(u"Сөз жарамсыз"); };
    ShowWithMemoFocused();
    QTest::keyClick(Editor(), Qt::Key_End, Qt::ControlModifier);
    Type(QStringLiteral("!"));
    ModalBoxCatcher catcher;
    QTest::keyClick(Editor(), Qt::Key_Backtab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Boxes.empty(); }, 5000));
    // Once the box has closed the window is active again (the window
    // manager's part) and the focus is back in the memo.
    Form->Window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Memo->Focused(); }, 5000));
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("Сөз жарамсыз."));
    EXPECT_EQ(Memo->Text(), u"кітап!");
    EXPECT_EQ(Data->State(), data::dsEdit);
}

TEST_F(DBMemoTest, WithoutAutoDisplayTheLabelShowsUntilEnterOrDoubleClick) {
    Memo->SetAutoDisplay(false);
    Data->Open();
    ShowWithMemoFocused();
    EXPECT_EQ(Memo->Text(), u"(Text)");
    EXPECT_FALSE(Memo->MemoLoaded());
    Type(QStringLiteral("x"));
    EXPECT_EQ(Memo->Text(), u"(Text)");
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
    EXPECT_TRUE(Memo->MemoLoaded());

    Data->Next();
    EXPECT_EQ(Memo->Text(), u"(Text)");
    Data->FieldByName(u"Text")->SetDisplayLabel(u"Мәтін");
    Data->Next();
    Data->Next();
    EXPECT_EQ(Memo->Text(), u"(Мәтін)");
    QTest::mouseDClick(Editor()->viewport(), Qt::LeftButton);
    EXPECT_EQ(Memo->Text(), kLongText);

    Data->First();
    EXPECT_EQ(Memo->Text(), u"(Мәтін)");
    Memo->SetAutoDisplay(true);
    EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
}

TEST_F(DBMemoTest, TextBeyondTheCapacityShowsTheMessageInParentheses) {
    Memo->SetCapacity(40);
    Data->Open();
    EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
    Data->Last();
    EXPECT_EQ(Memo->Text(), u"(Text exceeds memo capacity)");
    EXPECT_FALSE(Memo->MemoLoaded());
    EXPECT_TRUE(ControlReadOnly());
    Data->First();
    EXPECT_EQ(Memo->Text(), u"бірінші\r\nжол");
    EXPECT_TRUE(Memo->MemoLoaded());
}

TEST_F(DBMemoTest, AFieldTheDatasetLacksFailsWhenTheLinkBecomesActive) {
    Memo->SetDataField(u"x");
    EXPECT_EQ(MessageOf([&] { Data->Open(); }), u"DBMemo1: Field 'x' not found");
    EXPECT_TRUE(Data->Active());
    EXPECT_EQ(Memo->Field(), nullptr);
    EXPECT_EQ(Memo->Text(), u"");
    // Naming a field while the link is active looks it up at once.
    EXPECT_EQ(MessageOf([&] { Memo->SetDataField(u"y"); }), u"DBMemo1: Field 'y' not found");
    Memo->SetDataField(u"Word");
    EXPECT_EQ(Memo->Text(), u"кітап");
    // A refused name leaves the memo without a field and without the text
    // of the one it had.
    EXPECT_EQ(MessageOf([&] { Memo->SetDataField(u"z"); }), u"DBMemo1: Field 'z' not found");
    EXPECT_EQ(Memo->Field(), nullptr);
    EXPECT_EQ(Memo->Text(), u"");
}

TEST_F(DBMemoTest, ANonBlobFieldShowsItsValueOrTheTextOfItsHandler) {
    Memo->SetDataField(u"Word");
    Data->Open();
    EXPECT_EQ(Memo->Text(), u"кітап");
    Data->FieldByName(u"Word")->OnGetText = [](data::TField& Sender, String& Text, bool DisplayText) {
        Text = Sender.AsString() + (DisplayText ? u" (көрсету)" : u" (өңдеу)");
    };
    Data->Next();
    EXPECT_EQ(Memo->Text(), u"алма (көрсету)");
    ShowWithMemoFocused();  // focused and modifiable: the editing text
    EXPECT_EQ(Memo->Text(), u"алма (өңдеу)");
    Button->SetFocus();
    EXPECT_EQ(Memo->Text(), u"алма (көрсету)");
}

TEST_F(DBMemoTest, FreeingTheDataSourceDetachesTheMemo) {
    Data->Open();
    ASSERT_EQ(Memo->Text(), u"бірінші\r\nжол");
    delete Source;
    EXPECT_EQ(Memo->DataSource(), nullptr);
    EXPECT_EQ(Memo->Text(), u"");
    Data->Next();  // nothing reaches the memo any more
    EXPECT_EQ(Memo->Text(), u"");
}

TEST_F(DBMemoTest, FreeingTheMemoDetachesItsLink) {
    Data->Open();
    delete Memo;
    EXPECT_EQ(Source->DataLinkCount(), 0);
    Data->Next();
}
