// The main window as a screen reader reads it, asked in the process through
// Qt's accessibility interfaces: the names of its controls, the counts in the
// status bar and their announcement after a search, the match mode's
// tooltips, and the keyboard's way out of the grid.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "dictionary_window.h"
#include "toolkit/controls.h"

using namespace app_test;

namespace {

std::string Utf8(const QString& Text) { return Text.toStdString(); }

struct HeardEvent {
    QAccessible::Event Type;
    QAccessibleInterface* Object;
    std::string Name;      // the object's name when the event came
    std::string Inserted;  // a text change's new text
};
std::vector<HeardEvent> Heard;

void Listen(QAccessibleEvent* Event) {
    QAccessibleInterface* object = Event->accessibleInterface();
    HeardEvent heard{Event->type(), object, object ? Utf8(object->text(QAccessible::Name)) : "", ""};
    if (Event->type() == QAccessible::TextUpdated)
        heard.Inserted = Utf8(static_cast<QAccessibleTextUpdateEvent*>(Event)->textInserted());
    Heard.push_back(heard);
}

QAccessibleInterface* Reader(const toolkit::TControl& Control) {
    return QAccessible::queryAccessibleInterface(Control.Widget());
}

// The note the mode group shows below itself while it has the focus.
std::string ChoiceNote() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("ChoiceTip") && w->isVisible())
            return Utf8(static_cast<QLabel*>(w)->text());
    return "(none)";
}

class WindowAccessibilityTest : public DictionaryWindowTest {
protected:
    void SetUp() override {
        Heard.clear();
        PreviousSink = toolkit::SetAccessibleEventSink(Listen);
    }
    void TearDown() override {
        DictionaryWindowTest::TearDown();
        toolkit::SetAccessibleEventSink(PreviousSink);
    }

    toolkit::AccessibleEventSink PreviousSink = nullptr;
};

// Every object a reader can reach below Root that takes the focus (the
// grid's cells, named by their texts, aside), with an empty name.
void CollectUnnamed(QAccessibleInterface* Root, std::vector<std::string>& Unnamed, const std::string& Path) {
    for (int i = 0; i < Root->childCount(); ++i) {
        QAccessibleInterface* child = Root->child(i);
        if (!child) continue;
        const std::string path = Path + "/" + std::to_string(child->role()) + "#" + std::to_string(i);
        if (child->state().focusable && child->text(QAccessible::Name).isEmpty()) Unnamed.push_back(path);
        if (child->role() != QAccessible::Table) CollectUnnamed(child, Unnamed, path);
    }
}

TEST_F(WindowAccessibilityTest, EveryControlHasAKazakhNameThatSaysWhatItIsFor) {
    MakeDictionary(5);
    Start();
    struct Case {
        const toolkit::TControl* Control;
        QAccessible::Role Role;
        const char* Name;
    };
    for (const Case& c : {Case{Form->Edit1, QAccessible::EditableText, "Іздейтін сөз"},
                          Case{Form->BitBtn1, QAccessible::Button, "Іздеу"},
                          Case{Form->RadioGroup1, QAccessible::Grouping, "Іздеу түрі"},
                          Case{Form->DBGrid1, QAccessible::Table, "Сөздер кестесі"},
                          Case{Form->DBMemo1, QAccessible::EditableText, "Дұрыс жазылуы"},
                          Case{Form->StatusBar1, QAccessible::StatusBar, "Күй жолағы"}}) {
        SCOPED_TRACE(rtl::StringToUtf8(c.Control->Name()));
        QAccessibleInterface* reader = Reader(*c.Control);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->role(), c.Role);
        EXPECT_EQ(Utf8(reader->text(QAccessible::Name)), c.Name);
    }
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(Form->Window());
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(Utf8(window->text(QAccessible::Name)), "ORVEN Қазақ тілінің орфографиялық электрондық базасы");

    // The memo is named by the label above it, and the two are related.
    const auto labels = Reader(*Form->DBMemo1)->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first, Reader(*Form->Label1));

    std::vector<std::string> unnamed;
    CollectUnnamed(window, unnamed, "");
    EXPECT_TRUE(unnamed.empty()) << "unnamed: " << testing::PrintToString(unnamed);
}

TEST_F(WindowAccessibilityTest, ThePanelsReadTheCountsAndEachSearchAnnouncesItsOwn) {
    MakeDictionary(20);
    Start();
    QAccessibleInterface* bar = Reader(*Form->StatusBar1);
    EXPECT_EQ(Utf8(bar->child(0)->text(QAccessible::Name)), "Базада барлығы 20 сөз бар");
    QAccessibleInterface* found = bar->child(1);
    // "кітап1" and "кітап10" to "кітап19"; the second time the count is the
    // same and is still announced.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Heard.clear();
        ASSERT_TRUE(Search(u"кітап1").empty());
        const char* expected = "Сұраныс бойынша 11 сөздік табылды";
        EXPECT_EQ(Utf8(found->text(QAccessible::Name)), expected);
        const auto heard = [&](QAccessible::Event Type) {
            return std::any_of(Heard.begin(), Heard.end(), [&](const HeardEvent& e) {
                return e.Type == Type && e.Object == found && e.Name == expected &&
                       (Type != QAccessible::TextUpdated || e.Inserted == expected);
            });
        };
        EXPECT_TRUE(heard(QAccessible::NameChanged));
        EXPECT_TRUE(heard(QAccessible::TextUpdated));
    }
}

TEST_F(WindowAccessibilityTest, TheSearchBoxAndTheModeGroupNameTheModeInTheirTooltips) {
    MakeDictionary(5);
    Start();
    const char* names[] = {"Іздеу түрі: Ішінде кездеседі", "Іздеу түрі: Осы сөзден басталады",
                           "Іздеу түрі: Нақты сөзге тең"};
    EXPECT_EQ(rtl::StringToUtf8(Form->Edit1->Hint()), names[0]);
    EXPECT_EQ(rtl::StringToUtf8(Form->RadioGroup1->Hint()), names[0]);
    for (const int mode : {1, 2, 0}) {
        SCOPED_TRACE(mode);
        ChooseMode(mode);
        EXPECT_EQ(rtl::StringToUtf8(Form->Edit1->Hint()), names[mode]);
        EXPECT_EQ(rtl::StringToUtf8(Form->RadioGroup1->Hint()), names[mode]);
        // A reader reads it as the description; a sighted user sees it below
        // the group while the group has the focus.
        EXPECT_EQ(Utf8(Reader(*Form->Edit1)->text(QAccessible::Description)), names[mode]);
        EXPECT_EQ(ChoiceNote(), names[mode]);
    }
    Form->Edit1->SetFocus();
    EXPECT_EQ(ChoiceNote(), "(none)");
}

TEST_F(WindowAccessibilityTest, CtrlTabAndCtrlShiftTabLeaveTheGrid) {
    MakeDictionary(5);
    Start();
    ASSERT_TRUE(Form->DBGrid1->Focused());
    // Tab moves within the grid (dgTabs).
    QTest::keyClick(Form->DBGrid1->Widget(), Qt::Key_Tab);
    ASSERT_TRUE(Form->DBGrid1->Focused());
    QTest::keyClick(Form->DBGrid1->Widget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(Form->BitBtn1->Focused());
    Form->DBGrid1->SetFocus();
    QTest::keyClick(Form->DBGrid1->Widget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(Form->DBMemo1->Focused());
}

}  // namespace
