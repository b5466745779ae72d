// What a screen reader reads from the data grid and the memo, asked through
// Qt's accessibility interfaces as the platform bridge asks them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>
#include <vector>

#include "data/data_links.h"
#include "data/fields.h"
#include "memory_dataset.h"
#include "toolkit/forms.h"
#include "toolkit/grid_accessibility.h"
#include "views/db_grid.h"
#include "views/db_memo.h"

using rtl::String;
using rtl::Variant;

namespace {

// An event as a reader got it: its type, the child it names and, for a cell,
// the cell's row and column at the time.
struct HeardEvent {
    QAccessible::Event Type;
    int Child;
    int Row;
    int Column;
};
std::vector<HeardEvent> Heard;

void Listen(QAccessibleEvent* Event) {
    HeardEvent heard{Event->type(), Event->child(), -1, -1};
    if (Event->child() >= 0)
        if (QAccessibleInterface* iface = Event->accessibleInterface())
            if (QAccessibleTableCellInterface* cell = iface->tableCellInterface()) {
                heard.Row = cell->rowIndex();
                heard.Column = cell->columnIndex();
            }
    Heard.push_back(heard);
}

// A window with a dictionary grid (indicator, titles "Сөз" and "Сөздік"
// over the Word and Dict fields, a hidden ID column in between) and a memo on
// the Text field, both on a dataset of entries.
class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        Heard.clear();
        PreviousSink = toolkit::SetAccessibleEventSink(Listen);
        Data = std::make_unique<testing_data::TMemoryDataSet>(
            nullptr, std::vector<testing_data::Column>{{u"ID", data::ftInteger},
                                                       {u"Word", data::ftWideString, 60},
                                                       {u"Dict", data::ftWideString, 60},
                                                       {u"Text", data::ftWideMemo}});
        Data->SetName(u"MemData");
        for (int i = 1; i <= 40; ++i)
            Data->Rows.push_back({Variant(i), Variant(u"сөз" + rtl::IntToStr(i)), Variant(u"Емле сөздігі"),
                                  Variant(u"мақала " + rtl::IntToStr(i))});
        Form = std::make_unique<toolkit::TForm>(nullptr);
        Form->SetClientSize(500, 400);
        Source = new data::TDataSource(Form.get());
        Source->SetDataSet(Data.get());
        Grid = new views::TDBGrid(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(10, 10, 400, 200);
        Grid->SetOptions({views::dgTitles, views::dgIndicator, views::dgColLines, views::dgRowLines, views::dgRowSelect,
                          views::dgAlwaysShowSelection});
        Grid->AddColumn(u"Word").SetTitleCaption(u"Сөз");
        Grid->AddColumn(u"ID").SetVisible(false);
        Grid->AddColumn(u"Dict").SetTitleCaption(u"Сөздік");
        Grid->SetDataSource(Source);
        Memo = new views::TDBMemo(Form.get());
        Memo->SetParent(Form.get());
        Memo->SetBounds(10, 220, 300, 100);
        Memo->SetDataField(u"Text");
        Memo->SetDataSource(Source);
        Data->Open();
    }

    void TearDown() override {
        Form.reset();
        Data.reset();
        toolkit::SetAccessibleEventSink(PreviousSink);
    }

    QAccessibleInterface* Table() const { return QAccessible::queryAccessibleInterface(Grid->Widget()); }
    QAccessibleTableInterface* TableOf() const { return Table()->tableInterface(); }
    QString CellText(int Row, int Column) const {
        QAccessibleInterface* cell = TableOf()->cellAt(Row, Column);
        return cell ? cell->text(QAccessible::Name) : QStringLiteral("<no cell>");
    }
    // The record the dataset is on, by its Word.
    String CurrentWord() const { return Data->FieldByName(u"Word")->AsString(); }

    toolkit::AccessibleEventSink PreviousSink = nullptr;
    std::unique_ptr<testing_data::TMemoryDataSet> Data;
    std::unique_ptr<toolkit::TForm> Form;
    data::TDataSource* Source = nullptr;
    views::TDBGrid* Grid = nullptr;
    views::TDBMemo* Memo = nullptr;
};

TEST_F(AccessibilityTest, GridIsATableOfTheShowingColumnsAndBufferedRows) {
    QAccessibleInterface* table = Table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_NE(table->tableInterface(), nullptr);
    // The indicator and the hidden ID column are not columns for a reader.
    EXPECT_EQ(TableOf()->columnCount(), 2);
    const int rows = TableOf()->rowCount();
    EXPECT_EQ(rows, Grid->DataLink().RecordCount());
    EXPECT_GT(rows, 3);
    EXPECT_LT(rows, 40);
    EXPECT_EQ(table->childCount(), (rows + 1) * 2);

    EXPECT_EQ(TableOf()->columnDescription(0), QStringLiteral("Сөз"));
    EXPECT_EQ(TableOf()->columnDescription(1), QStringLiteral("Сөздік"));
    QAccessibleInterface* header = table->child(1);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(header->text(QAccessible::Name), QStringLiteral("Сөздік"));
    QAccessibleTableCellInterface* cell = TableOf()->cellAt(2, 1)->tableCellInterface();
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->rowIndex(), 2);
    EXPECT_EQ(cell->columnIndex(), 1);
    const QList<QAccessibleInterface*> headers = cell->columnHeaderCells();
    ASSERT_EQ(headers.size(), 1);
    EXPECT_EQ(headers[0]->text(QAccessible::Name), QStringLiteral("Сөздік"));
    EXPECT_EQ(table->indexOfChild(TableOf()->cellAt(2, 1)), 3 * 2 + 1);
    EXPECT_EQ(TableOf()->cellAt(rows, 0), nullptr);
}

TEST_F(AccessibilityTest, CellsReadTheRecordsTheyShowAndLeaveTheDatasetWhereItWas) {
    Data->MoveBy(1);
    const int activeRecord = Grid->DataLink().ActiveRecord();
    struct Case {
        int Row, Column;
        const char16_t* Text;
    };
    for (const Case& c : {Case{0, 0, u"сөз1"}, Case{3, 0, u"сөз4"}, Case{3, 1, u"Емле сөздігі"}}) {
        SCOPED_TRACE(testing::Message() << c.Row << "," << c.Column);
        EXPECT_EQ(CellText(c.Row, c.Column), QString::fromUtf16(c.Text));
        EXPECT_EQ(TableOf()->cellAt(c.Row, c.Column)->text(QAccessible::Value), QString::fromUtf16(c.Text));
    }
    EXPECT_EQ(Grid->DataLink().ActiveRecord(), activeRecord);
    EXPECT_EQ(CurrentWord(), u"сөз2");

    // A scroll past the buffer's end shows other records in the same rows.
    const int rows = TableOf()->rowCount();
    Data->MoveBy(rows);
    EXPECT_EQ(CellText(rows - 1, 0), QStringLiteral("сөз%1").arg(rows + 2));
}

TEST_F(AccessibilityTest, TheActiveRowIsSelectedAndItsMovesAreAnnounced) {
    EXPECT_EQ(TableOf()->selectedRows(), QList<int>{0});
    Heard.clear();
    Data->MoveBy(2);
    EXPECT_EQ(TableOf()->selectedRows(), QList<int>{2});
    EXPECT_TRUE(TableOf()->isRowSelected(2));
    EXPECT_FALSE(TableOf()->isRowSelected(0));
    // Whole rows are selected, so both cells of the row are.
    EXPECT_EQ(TableOf()->selectedCellCount(), 2);
    EXPECT_TRUE(TableOf()->cellAt(2, 1)->tableCellInterface()->isSelected());
    EXPECT_TRUE(TableOf()->cellAt(2, 1)->state().selected);
    EXPECT_FALSE(TableOf()->cellAt(0, 0)->state().selected);
    ASSERT_FALSE(Heard.empty());
    EXPECT_EQ(Heard.back().Type, QAccessible::Selection);
    EXPECT_EQ(Heard.back().Child, 3 * 2 + 0);
    EXPECT_EQ(Heard.back().Row, 2);

    // At the buffer's end the row stays while the record changes: still heard.
    const int rows = TableOf()->rowCount();
    Data->MoveBy(rows - 1 - 2);
    Heard.clear();
    Data->Next();
    EXPECT_EQ(TableOf()->selectedRows(), QList<int>{rows - 1});
    ASSERT_FALSE(Heard.empty());
    EXPECT_EQ(Heard.back().Type, QAccessible::Selection);
    EXPECT_EQ(Heard.back().Row, rows - 1);
}

TEST_F(AccessibilityTest, WithTheFocusInTheGridTheCurrentCellTakesTheFocus) {
    Form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    Grid->SetFocus();
    ASSERT_TRUE(Grid->Focused());
    ASSERT_NE(Table()->focusChild(), nullptr);
    EXPECT_EQ(Table()->focusChild()->tableCellInterface()->rowIndex(), 0);
    Heard.clear();
    QTest::keyClick(Grid->Widget(), Qt::Key_Down);
    EXPECT_EQ(CurrentWord(), u"сөз2");
    const auto focus = std::find_if(Heard.begin(), Heard.end(),
                                    [](const HeardEvent& e) { return e.Type == QAccessible::Focus && e.Child >= 0; });
    ASSERT_NE(focus, Heard.end());
    EXPECT_EQ(focus->Row, 1);
    EXPECT_TRUE(TableOf()->cellAt(1, 0)->state().focused);
    EXPECT_EQ(Table()->focusChild()->tableCellInterface()->rowIndex(), 1);
}

TEST_F(AccessibilityTest, AClosedDatasetLeavesTheHeadersAndNoRows) {
    QAccessibleInterface* oldCell = TableOf()->cellAt(1, 0);
    ASSERT_NE(oldCell, nullptr);
    Heard.clear();
    Data->Close();
    EXPECT_EQ(TableOf()->rowCount(), 0);
    EXPECT_EQ(TableOf()->columnCount(), 2);
    EXPECT_EQ(TableOf()->columnDescription(1), QStringLiteral("Сөздік"));
    EXPECT_TRUE(TableOf()->selectedRows().isEmpty());
    EXPECT_TRUE(std::any_of(Heard.begin(), Heard.end(),
                            [](const HeardEvent& e) { return e.Type == QAccessible::TableModelChanged; }));
    Data->Open();
    EXPECT_EQ(CellText(1, 0), QStringLiteral("сөз2"));
}

TEST_F(AccessibilityTest, TheMemoReadsItsText) {
    QAccessibleInterface* memo = QAccessible::queryAccessibleInterface(Memo->Widget());
    ASSERT_NE(memo, nullptr);
    ASSERT_NE(memo->textInterface(), nullptr);
    EXPECT_EQ(memo->textInterface()->text(0, memo->textInterface()->characterCount()), QStringLiteral("мақала 1"));
    Data->MoveBy(4);
    EXPECT_EQ(memo->textInterface()->text(0, memo->textInterface()->characterCount()), QStringLiteral("мақала 5"));
}

}  // namespace
