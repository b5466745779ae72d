// What a screen reader reads from the toolkit's controls and what it is told
// when they change, asked through Qt's accessibility interfaces as the
// platform bridge asks them: the status bar and its panels, a label and the
// control it names, a control's own name and hint, a radio group's focus and
// choice, a read-only memo's caret, and the form's window and keyboard.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTextEdit>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/forms.h"
#include "toolkit/grids.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"

using namespace toolkit;

namespace {

// An event as a reader got it: its type, the object it names, and for a text
// change what went and what came.
struct HeardEvent {
    QAccessible::Event Type;
    QAccessibleInterface* Object;
    QString Removed;
    QString Inserted;
};
std::vector<HeardEvent> Heard;

void Listen(QAccessibleEvent* Event) {
    HeardEvent heard{Event->type(), Event->accessibleInterface(), {}, {}};
    if (Event->type() == QAccessible::TextUpdated) {
        const auto* update = static_cast<QAccessibleTextUpdateEvent*>(Event);
        heard.Removed = update->textRemoved();
        heard.Inserted = update->textInserted();
    }
    Heard.push_back(heard);
}

QAccessibleInterface* Reader(const TControl& Control) {
    return QAccessible::queryAccessibleInterface(Control.Widget());
}

std::string Utf8(const QString& Text) { return Text.toStdString(); }

// The text of the note a radio group shows below itself while it has the
// focus, or "(none)"; *Where gets the note's place on the screen.
std::string ChoiceNote(QRect* Where = nullptr) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("ChoiceTip") && w->isVisible()) {
            if (Where) *Where = w->geometry();
            return Utf8(static_cast<QLabel*>(w)->text());
        }
    return "(none)";
}

// A window with a status bar of two panels (250 pixels, then the rest), a
// label over a memo, a text box, a radio group of three and a button, in
// that keyboard order (box, group, memo, button).
class ToolkitAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        Heard.clear();
        PreviousSink = SetAccessibleEventSink(Listen);
        Form = std::make_unique<TForm>(nullptr);
        Form->SetCaption(u"Сынақ терезесі");
        Form->SetClientSize(500, 300);
        Bar = Make<TStatusBar>();
        Bar->SetBounds(0, 281, 500, 19);
        Bar->SetAlign(TAlign::alBottom);
        Bar->AddPanel(250);
        Bar->AddPanel(50);
        Box = Make<TEdit>();
        Box->SetBounds(8, 8, 200, 21);
        Box->SetTabOrder(0);
        Group = Make<TRadioGroup>();
        Group->SetBounds(220, 8, 7, 9);
        Group->SetCaption(u"Түрі");
        Group->SetColumns(3);
        Group->SetItems({u"Бірінші", u"Екінші", u"Үшінші"});
        Group->SetItemIndex(0);
        Group->SetTabOrder(1);
        Caption = Make<TLabel>();
        Caption->SetBounds(8, 40, 100, 19);
        Caption->SetCaption(u"Мәтіні");
        Memo = Make<TMemo>();
        Memo->SetBounds(8, 60, 300, 100);
        Memo->SetTabOrder(2);
        Button = Make<TBitBtn>();
        Button->SetBounds(320, 8, 80, 21);
        Button->SetCaption(u"Іздеу");
        Button->SetTabOrder(3);
    }

    void TearDown() override {
        Form.reset();
        SetAccessibleEventSink(PreviousSink);
    }

    template <class T>
    T* Make() {
        auto* control = new T(Form.get());
        control->SetParent(Form.get());
        return control;
    }

    void ShowAndActivate() {
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    }

    AccessibleEventSink PreviousSink = nullptr;
    std::unique_ptr<TForm> Form;
    TStatusBar* Bar = nullptr;
    TEdit* Box = nullptr;
    TRadioGroup* Group = nullptr;
    TLabel* Caption = nullptr;
    TMemo* Memo = nullptr;
    TBitBtn* Button = nullptr;
};

TEST_F(ToolkitAccessibilityTest, TheStatusBarReadsAsAStatusBarWhosePanelsAreTheirTexts) {
    ShowAndActivate();
    Bar->SetPanelText(0, u"Базада барлығы 3 сөз бар");
    QAccessibleInterface* bar = Reader(*Bar);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::StatusBar);
    ASSERT_EQ(bar->childCount(), 2);
    QAccessibleInterface* first = bar->child(0);
    QAccessibleInterface* second = bar->child(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->role(), QAccessible::StaticText);
    EXPECT_EQ(first->parent(), bar);
    EXPECT_EQ(bar->indexOfChild(second), 1);
    EXPECT_EQ(Utf8(first->text(QAccessible::Name)), "Базада барлығы 3 сөз бар");
    ASSERT_NE(first->textInterface(), nullptr);
    QAccessibleTextInterface* text = first->textInterface();
    EXPECT_EQ(Utf8(text->text(0, text->characterCount())), "Базада барлығы 3 сөз бар");
    EXPECT_EQ(Utf8(text->text(15, 16)), "3");
    // An empty panel is there, with nothing to read.
    EXPECT_EQ(second->text(QAccessible::Name), QString());
    EXPECT_EQ(second->textInterface()->characterCount(), 0);

    // The same objects read the new texts.
    Bar->SetPanelText(1, u"Сұраныс бойынша 1 сөздік табылды");
    EXPECT_EQ(bar->child(1), second);
    EXPECT_EQ(Utf8(second->text(QAccessible::Name)), "Сұраныс бойынша 1 сөздік табылды");

    // Where each panel shows: the first 250 pixels, then the rest of the bar,
    // so a reader pointing at the screen finds the panel drawn there.
    const QRect onScreen(Bar->Widget()->mapToGlobal(QPoint(0, 0)), Bar->Widget()->size());
    EXPECT_TRUE(onScreen.contains(first->rect()));
    EXPECT_TRUE(onScreen.contains(second->rect()));
    EXPECT_EQ(bar->childAt(onScreen.left() + 100, onScreen.center().y()), first);
    EXPECT_EQ(bar->childAt(onScreen.left() + 400, onScreen.center().y()), second);
    // The text's characters lie inside their panel, one after the other.
    const QRect three = text->characterRect(15);
    EXPECT_TRUE(first->rect().contains(three));
    EXPECT_LT(text->characterRect(14).left(), three.left());
    EXPECT_EQ(text->offsetAtPoint(three.center()), 15);
}

TEST_F(ToolkitAccessibilityTest, EachNewPanelTextIsAnnouncedAsANameAndATextChange) {
    QAccessibleInterface* bar = Reader(*Bar);
    struct Case {
        int Panel;
        const char16_t* Text;
        const char* Before;
    };
    // The second time the same text: a search that finds as many entries as
    // the last one must be heard too.
    for (const Case& c : {Case{1, u"Сұраныс бойынша 5 сөздік табылды", ""},
                          Case{1, u"Сұраныс бойынша 5 сөздік табылды", "Сұраныс бойынша 5 сөздік табылды"},
                          Case{1, u"Сұраныс бойынша 12 сөздік табылды", "Сұраныс бойынша 5 сөздік табылды"},
                          Case{0, u"Базада барлығы 7 сөз бар", ""}}) {
        SCOPED_TRACE(Utf8(QString::fromUtf16(c.Text)));
        Heard.clear();
        Bar->SetPanelText(c.Panel, c.Text);
        ASSERT_EQ(Heard.size(), 2u);
        EXPECT_EQ(Heard[0].Type, QAccessible::NameChanged);
        EXPECT_EQ(Heard[0].Object, bar->child(c.Panel));
        EXPECT_EQ(Heard[1].Type, QAccessible::TextUpdated);
        EXPECT_EQ(Heard[1].Object, bar->child(c.Panel));
        EXPECT_EQ(Utf8(Heard[1].Removed), c.Before);
        EXPECT_EQ(Heard[1].Inserted, QString::fromUtf16(c.Text));
    }
    // A panel that is not there: the error, and nothing announced.
    Heard.clear();
    EXPECT_THROW(Bar->SetPanelText(2, u"x"), rtl::EListError);
    EXPECT_TRUE(Heard.empty());
}

TEST_F(ToolkitAccessibilityTest, ALabelNamesItsFocusControlAndTheTwoAreRelated) {
    QAccessibleInterface* memo = Reader(*Memo);
    QAccessibleInterface* label = Reader(*Caption);
    EXPECT_EQ(memo->text(QAccessible::Name), QString());
    Caption->SetFocusControl(Memo);
    EXPECT_EQ(Caption->FocusControl(), Memo);
    EXPECT_EQ(Utf8(memo->text(QAccessible::Name)), "Мәтіні");
    const auto labelledBy = memo->relations(QAccessible::Label);
    ASSERT_EQ(labelledBy.size(), 1);
    EXPECT_EQ(labelledBy[0].first, label);
    const auto labelFor = label->relations(QAccessible::Labelled);
    ASSERT_EQ(labelFor.size(), 1);
    EXPECT_EQ(labelFor[0].first, memo);
    // A name of the control's own comes first.
    Memo->SetAccessibleName(u"Мақала");
    EXPECT_EQ(Utf8(memo->text(QAccessible::Name)), "Мақала");
    Memo->SetAccessibleName(u"");

    // A memo that goes takes the label's tie with it.
    delete Memo;
    Memo = nullptr;
    EXPECT_EQ(Caption->FocusControl(), nullptr);
    EXPECT_TRUE(Reader(*Caption)->relations(QAccessible::Labelled).isEmpty());
}

TEST_F(ToolkitAccessibilityTest, AControlsNameAndHintAreWhatAReaderReads) {
    QAccessibleInterface* box = Reader(*Box);
    EXPECT_EQ(box->text(QAccessible::Name), QString());
    Box->SetAccessibleName(u"Іздейтін сөз");
    Box->SetHint(u"Іздеу түрі: Екінші");
    EXPECT_EQ(Box->AccessibleName(), u"Іздейтін сөз");
    EXPECT_EQ(Box->Hint(), u"Іздеу түрі: Екінші");
    EXPECT_EQ(Utf8(box->text(QAccessible::Name)), "Іздейтін сөз");
    EXPECT_EQ(Utf8(box->text(QAccessible::Description)), "Іздеу түрі: Екінші");
    EXPECT_EQ(Utf8(Box->Widget()->toolTip()), "Іздеу түрі: Екінші");
    // The group's title stays its name.
    EXPECT_EQ(Utf8(Reader(*Group)->text(QAccessible::Name)), "Түрі");
}

TEST_F(ToolkitAccessibilityTest, TheRadioGroupReportsEachChangeOfItsChoiceOnce) {
    std::vector<int> reported;
    Group->OnClick = [&](rtl::TComponent* Sender) {
        EXPECT_EQ(Sender, Group);
        reported.push_back(Group->ItemIndex());
    };
    ShowAndActivate();
    Group->SetFocus();
    QTest::keyClick(Group->FocusWidget(), Qt::Key_Right);
    QTest::keyClick(Group->FocusWidget(), Qt::Key_Right);
    QTest::keyClick(Group->FocusWidget(), Qt::Key_Right);
    EXPECT_EQ(reported, (std::vector<int>{1, 2, 0}));
    reported.clear();
    Group->SetItemIndex(2);
    Group->SetItemIndex(2);
    Group->SetItemIndex(-1);
    // New items keep the choice: no change to report.
    Group->SetItemIndex(1);
    Group->SetItems({u"Бір", u"Екі"});
    EXPECT_EQ(Group->ItemIndex(), 1);
    EXPECT_EQ(reported, (std::vector<int>{2, -1, 1}));
}

// The group is drawn 7 x 9 pixels: its items cannot be seen, so the focus
// shows as a frame in the highlight colour and the choice as a note below it.
TEST_F(ToolkitAccessibilityTest, WhileAnItemHasTheFocusTheGroupIsFramedAndItsHintShowsBelowIt) {
    Group->OnClick = [&](rtl::TComponent*) {
        Group->SetHint(u"Түрі: " + Group->Items()[static_cast<std::size_t>(Group->ItemIndex())]);
    };
    Group->SetHint(u"Түрі: Бірінші");
    ShowAndActivate();
    const QColor highlight = Group->Widget()->palette().highlight().color();
    const auto highlighted = [&] {
        const QImage image = Group->Widget()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == highlight;
        return count;
    };
    Box->SetFocus();
    EXPECT_EQ(highlighted(), 0);
    EXPECT_EQ(ChoiceNote(), "(none)");

    QTest::keyClick(Box->Widget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Group->FocusWidget());
    EXPECT_GT(highlighted(), 10);
    QRect note;
    EXPECT_EQ(ChoiceNote(&note), "Түрі: Бірінші");
    const QRect group(Group->Widget()->mapToGlobal(QPoint(0, 0)), Group->Widget()->size());
    EXPECT_GT(note.top(), group.bottom());
    EXPECT_LT(note.top(), group.bottom() + 10);
    EXPECT_LE(note.left(), group.right());

    // The arrow keys move the choice; the note names each new one and stays
    // up after the key is let go.
    for (const char* next : {"Түрі: Екінші", "Түрі: Үшінші"}) {
        QTest::keyClick(Group->FocusWidget(), Qt::Key_Right);
        EXPECT_EQ(ChoiceNote(), next);
        EXPECT_GT(highlighted(), 10);
    }

    QTest::keyClick(Group->FocusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(Memo->Focused());
    EXPECT_EQ(highlighted(), 0);
    EXPECT_EQ(ChoiceNote(), "(none)");
    // The window going away takes the note with it.
    Group->SetFocus();
    EXPECT_EQ(ChoiceNote(), "Түрі: Үшінші");
    Form->Window()->hide();
    EXPECT_EQ(ChoiceNote(), "(none)");
}

TEST_F(ToolkitAccessibilityTest, AReadOnlyMemoHasACaretTheKeyboardMovesAndSelectsWith) {
    Memo->SetText(u"бірінші жол\r\nекінші жол\r\nүшінші жол");
    Memo->SetReadOnly(true);
    ShowAndActivate();
    Memo->SetFocus();
    QWidget* editor = Memo->Widget();
    QAccessibleTextInterface* text = Reader(*Memo)->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->cursorPosition(), 0);
    QTest::keyClick(editor, Qt::Key_Down);
    EXPECT_EQ(text->cursorPosition(), 12);
    QTest::keyClick(editor, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(Memo->SelText(), u"екінші жол");
    // Still read-only: typing changes nothing.
    QTest::keyClicks(editor, "x");
    EXPECT_TRUE(Memo->ReadOnly());
    EXPECT_EQ(Memo->Text(), u"бірінші жол\r\nекінші жол\r\nүшінші жол");
    // Writable again, it edits as before.
    Memo->SetReadOnly(false);
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClicks(editor, "x");
    EXPECT_EQ(Memo->Lines(1), u"xекінші жол");
}

TEST_F(ToolkitAccessibilityTest, TheMemoIsFramedInTheHighlightColourWhileItHasTheFocus) {
    ShowAndActivate();
    const QColor highlight = Memo->Widget()->palette().highlight().color();
    // The middle of each edge of the memo's frame, as drawn.
    const auto edges = [&] {
        const QImage image = Memo->Widget()->grab().toImage();
        const int w = image.width(), h = image.height();
        std::vector<bool> lit;
        for (const QPoint p : {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2)})
            lit.push_back(image.pixelColor(p) == highlight);
        return lit;
    };
    Box->SetFocus();
    EXPECT_EQ(edges(), std::vector<bool>(4, false));
    Memo->SetFocus();
    EXPECT_EQ(edges(), std::vector<bool>(4, true));
    Button->SetFocus();
    EXPECT_EQ(edges(), std::vector<bool>(4, false));
}

TEST_F(ToolkitAccessibilityTest, TheFormIsAWindowNamedByItsCaption) {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(Form->Window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(Utf8(window->text(QAccessible::Name)), "Сынақ терезесі");
    EXPECT_GE(window->indexOfChild(Reader(*Bar)), 0);
}

// A grid that keeps Tab for moving between its cells, between the memo and
// the button: Ctrl+Tab and Ctrl+Shift+Tab are the keyboard's way out.
TEST_F(ToolkitAccessibilityTest, CtrlTabLeavesAControlThatKeepsTabForItself) {
    auto* grid = Make<TCustomGrid>();
    grid->SetBounds(8, 170, 300, 100);
    grid->SetOptions(grid->Options() + TGridOptions{goTabs});
    grid->SetTabOrder(3);
    Button->SetTabOrder(4);
    ShowAndActivate();
    grid->SetFocus();
    const int column = grid->Col();
    QTest::keyClick(grid->Widget(), Qt::Key_Tab);
    ASSERT_TRUE(grid->Focused()) << "Tab left the grid";
    EXPECT_EQ(grid->Col(), column + 1);
    QTest::keyClick(grid->Widget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(Button->Focused());
    grid->SetFocus();
    QTest::keyClick(grid->Widget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(Memo->Focused());
    // From a control that takes Tab as the form's, Ctrl+Tab goes the same way.
    QTest::keyClick(Memo->Widget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(grid->Focused());
    EXPECT_EQ(grid->Col(), column + 1) << "Ctrl+Tab moved inside the grid";
}

}  // namespace
