// The data grid's rules beside the main window's path: the drawing events, the
// field list it exposes, default columns and their fields, re-layouts, the
// scroll of a grid without an indicator, and leaving the grid.

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "data/data_links.h"
#include "data/field_defs.h"
#include "data/fields.h"
#include "data/number_fields.h"
#include "data/string_fields.h"
#include "exception_message.h"
#include "memory_dataset.h"
#include "modal_box_catcher.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"
#include "views/db_grid.h"

using rtl::String;
using views::TDBGrid;

namespace {

std::string U8(const String& Text) {
    std::string s;
    for (char16_t c : Text) s += static_cast<char>(c);
    return s;
}

// A shown window with a grid bound through a data source to a dataset of
// people (ID, Name, Big, Memo), and a button after the grid in keyboard order.
// The grid has no columns of its own until a test adds them.
class GridRules : public ::testing::Test {
protected:
    void SetUp() override {
        Data = testing_data::MakePeople(50);
        Form = std::make_unique<toolkit::TForm>(nullptr);
        Form->SetFontPixelHeight(11);
        Form->SetClientSize(500, 400);
        Grid = new TDBGrid(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(10, 10, 400, 200);
        Grid->SetTitleFontPixelHeight(11);
        Button = new toolkit::TBitBtn(Form.get());
        Button->SetParent(Form.get());
        Button->SetBounds(10, 300, 80, 21);
        Button->SetTabOrder(1);
        Source = new data::TDataSource(Form.get());
        Source->SetDataSet(Data.get());
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
        Grid->SetFocus();
    }

    void Open() {
        Data->Open();
        Grid->SetDataSource(Source);
    }

    QAbstractScrollArea* Area() const { return static_cast<QAbstractScrollArea*>(Grid->Widget()); }
    QWidget* Viewport() const { return Area()->viewport(); }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = {}) { QTest::keyClick(Area(), K, M); }
    void PaintNow() { Viewport()->repaint(); }
    // The names of the fields the grid's columns show, by column (empty without a field).
    std::vector<std::string> ColumnFields() {
        std::vector<std::string> names;
        for (int i = 0; i < Grid->ColumnCount(); ++i)
            names.push_back(Grid->Columns(i).Field() ? U8(Grid->Columns(i).Field()->FullName()) : "");
        return names;
    }

    std::unique_ptr<testing_data::TMemoryDataSet> Data;
    std::unique_ptr<toolkit::TForm> Form;
    TDBGrid* Grid = nullptr;
    toolkit::TBitBtn* Button = nullptr;
    data::TDataSource* Source = nullptr;
};

// --- Drawing events ---

// OnDrawDataCell comes for grids with default columns only, right after the
// cell's text and before OnDrawColumnCell, with the cell's row active.
TEST_F(GridRules, DrawDataCellComesBeforeDrawColumnCellForDefaultColumns) {
    std::vector<std::string> calls;
    Grid->OnDrawDataCell = [&](rtl::TComponent*, const toolkit::TRect& Rect, data::TField* Field,
                               toolkit::TGridDrawState) {
        ASSERT_NE(Field, nullptr);
        calls.push_back("data " + U8(Field->FieldName()) + " " + U8(Field->DisplayText()) + " " +
                        std::to_string(Rect.Top));
    };
    Grid->OnDrawColumnCell = [&](rtl::TComponent*, const toolkit::TRect& Rect, int, views::TColumn* Column,
                                 toolkit::TGridDrawState) {
        calls.push_back("column " + U8(Column->FieldName()) + " " + U8(Column->Field()->DisplayText()) + " " +
                        std::to_string(Rect.Top));
    };
    Open();
    PaintNow();
    ASSERT_FALSE(calls.empty());
    ASSERT_EQ(calls.size() % 2, 0u);
    bool sawSecondRow = false;
    for (std::size_t i = 0; i < calls.size(); i += 2) {
        ASSERT_EQ(calls[i].rfind("data ", 0), 0u) << calls[i];
        EXPECT_EQ(calls[i].substr(5), calls[i + 1].substr(7)) << "the same cell, the same row";
        if (calls[i].rfind("data ID 2 ", 0) == 0) sawSecondRow = true;
    }
    EXPECT_TRUE(sawSecondRow) << "each row's own record is active";

    // With stored columns only OnDrawColumnCell comes.
    Grid->AddColumn(u"Name");
    calls.clear();
    PaintNow();
    ASSERT_FALSE(calls.empty());
    for (const std::string& call : calls) EXPECT_EQ(call.rfind("column Name ", 0), 0u) << call;
}

// Data cells: the text 3 pixels inside the edge its alignment keeps to (or
// centred); the current cell (row, with dgRowSelect) highlighted while the
// grid has the focus or with dgAlwaysShowSelection; grey text while the grid
// is disabled.
TEST_F(GridRules, DataCellsPlaceTheirTextAndShowTheSelection) {
    for (const char16_t* name : {u"ID", u"Name", u"Name"}) Grid->AddColumn(name).SetWidth(120);
    Grid->Columns(2).SetAlignment(data::taCenter);
    Open();
    ASSERT_TRUE(Grid->Focused());
    ASSERT_EQ(Grid->Row(), 1);
    ASSERT_EQ(Grid->SelectedIndex(), 0);
    const QPalette palette = Grid->Widget()->palette();
    const QColor window = palette.color(QPalette::Base), highlight = palette.color(QPalette::Highlight);
    auto image = [&] { return Viewport()->grab().toImage(); };
    // The horizontal extent of what differs from Background inside the cell.
    auto ink = [&](const QImage& Image, int Col, int Row, QColor Background) {
        const toolkit::TRect r = Grid->CellRect(Col, Row);
        int left = -1, right = -1;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x)
                if (Image.pixelColor(x, y) != Background) {
                    left = left < 0 ? x : std::min(left, x);
                    right = std::max(right, x);
                }
        return std::pair{left - r.Left, r.Right - 1 - right};
    };

    const QImage focused = image();
    const auto [idLeft, idRight] = ink(focused, 1, 2, window);
    EXPECT_GE(idRight, 3) << "right-aligned";
    EXPECT_LE(idRight, 5);
    EXPECT_GT(idLeft, 60);
    const auto [nameLeft, nameRight] = ink(focused, 2, 2, window);
    EXPECT_GE(nameLeft, 3) << "left-aligned";
    EXPECT_LE(nameLeft, 5);
    const auto [centredLeft, centredRight] = ink(focused, 3, 2, window);
    EXPECT_NEAR(centredLeft, centredRight, 3) << "centred";

    // The current cell is highlighted; with dgRowSelect, the whole current row.
    auto at = [&](const QImage& Image, int Col, int Row) {
        const toolkit::TRect r = Grid->CellRect(Col, Row);
        return Image.pixelColor(r.Left + 2, r.Bottom - 3);
    };
    EXPECT_EQ(at(focused, 1, 1), highlight);
    EXPECT_EQ(at(focused, 2, 1), window);
    EXPECT_EQ(at(focused, 1, 2), window);
    Grid->SetOptions(Grid->Options() + views::TDBGridOptions{views::dgRowSelect});
    const QImage rowSelect = image();
    EXPECT_EQ(at(rowSelect, 2, 1), highlight);
    EXPECT_EQ(at(rowSelect, 3, 1), highlight);
    EXPECT_EQ(at(rowSelect, 2, 2), window);
    Grid->SetOptions(Grid->Options() - views::TDBGridOptions{views::dgRowSelect});

    Button->SetFocus();
    EXPECT_EQ(at(image(), 1, 1), window) << "no highlight without the focus";
    Grid->SetOptions(Grid->Options() + views::TDBGridOptions{views::dgAlwaysShowSelection});
    EXPECT_EQ(at(image(), 1, 1), highlight) << "dgAlwaysShowSelection";

    // Disabled, the text is drawn in the disabled text colour: the darkest
    // ink, the glyphs' stems, has that colour.
    auto darkest = [&](const QImage& Image, int Col, int Row) {
        const toolkit::TRect r = Grid->CellRect(Col, Row);
        QColor result = window;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x)
                if (Image.pixelColor(x, y).lightness() < result.lightness()) result = Image.pixelColor(x, y);
        return result;
    };
    const QColor grey = palette.color(QPalette::Disabled, QPalette::Text);
    ASSERT_NE(grey, palette.color(QPalette::Text));
    EXPECT_EQ(darkest(focused, 2, 2), palette.color(QPalette::Text));
    Grid->Widget()->setEnabled(false);
    EXPECT_EQ(darkest(image(), 2, 2), grey);
    Grid->Widget()->setEnabled(true);
}

// --- The grid's field list ---

// With a hidden column in the middle, a loop over FieldCount reaches every
// column's field, and Fields is indexed like SelectedIndex.
TEST_F(GridRules, FieldCountAndFieldsCountTheSameColumns) {
    Grid->SetOptions(Grid->Options() - views::TDBGridOptions{views::dgRowSelect});
    for (const char16_t* name : {u"ID", u"Name", u"Ghost", u"Memo"}) Grid->AddColumn(name);
    Grid->Columns(1).SetVisible(false);
    Open();
    std::vector<std::string> names;
    for (int i = 0; i < Grid->FieldCount(); ++i)
        names.push_back(Grid->Fields(i) ? U8(Grid->Fields(i)->FieldName()) : "-");
    EXPECT_EQ(names, (std::vector<std::string>{"ID", "Name", "-", "Memo"}));
    Key(Qt::Key_End);
    ASSERT_NE(Grid->SelectedField(), nullptr);
    EXPECT_EQ(Grid->Fields(Grid->SelectedIndex()), Grid->SelectedField());
}

// --- Default columns ---

// Closing the dataset clears the default columns of automatic fields, and
// keeps those of persistent fields with their captions.
TEST_F(GridRules, DefaultColumnsOfPersistentFieldsStayWhileTheDatasetIsClosed) {
    struct Case {
        const char* Name;
        bool Persistent;
        std::vector<std::string> ColumnsWhileClosed;
    } cases[] = {{"automatic fields", false, {""}}, {"persistent fields", true, {"ID", "Name"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        rtl::TComponent owner(nullptr);
        auto ds = testing_data::MakePeople(5);
        if (c.Persistent) {
            auto* id = new data::TIntegerField(&owner);
            id->SetFieldName(u"ID");
            id->SetDataSet(ds.get());
            auto* name = new data::TWideStringField(&owner);
            name->SetFieldName(u"Name");
            name->SetSize(20);
            name->SetDisplayLabel(u"Аты");
            name->SetDataSet(ds.get());
        }
        Source->SetDataSet(ds.get());
        ds->Open();
        Grid->SetDataSource(Source);
        ASSERT_GE(Grid->ColumnCount(), 2);
        ds->Close();
        EXPECT_EQ(ColumnFields(), c.ColumnsWhileClosed);
        if (c.Persistent) {
            EXPECT_EQ(Grid->ColCount(), 3);
            EXPECT_EQ(Grid->Columns(1).Title().Caption(), u"Аты");
            EXPECT_EQ(Grid->RowCount(), 2) << "one empty data row";
            // Opened again, the same columns show the rows.
            const views::TColumn* first = &Grid->Columns(0);
            ds->Open();
            EXPECT_EQ(&Grid->Columns(0), first);
            EXPECT_EQ(Grid->DataLink().RecordCount(), 5);
        }
        Grid->SetDataSource(nullptr);
        Source->SetDataSet(Data.get());
    }
}

// The user's width of a default column goes to its field's DisplayWidth (in
// "0" characters), and a layout from the dataset sizes the column by it.
TEST_F(GridRules, DefaultColumnWidthSetsTheFieldsDisplayWidth) {
    Open();
    ASSERT_EQ(Grid->Columns().State(), views::csDefault);
    data::TField* name = Data->FieldByName(u"Name");
    ASSERT_EQ(Grid->Columns(1).Field(), name);
    const int zero = toolkit::FontTextWidth(Grid->Columns(1).Font(), u"0");
    ASSERT_GT(zero, 0);
    const int untouched = Data->FieldByName(u"ID")->DisplayWidth();

    // The user drags the Name column's border to 7.5 characters.
    const toolkit::TRect title = Grid->CellRect(2, 0);
    const int wanted = 7 * zero + 4 + zero / 2;
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, {title.Right, title.Top + 5});
    QTest::mouseMove(Viewport(), {title.Left + wanted, title.Top + 5});
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {title.Left + wanted, title.Top + 5});
    ASSERT_EQ(Grid->ColWidths(2), wanted);
    EXPECT_EQ(name->DisplayWidth(), 7);
    EXPECT_EQ(Grid->Columns(1).Width(), wanted) << "the user's width until the dataset lays out";
    EXPECT_EQ(Data->FieldByName(u"ID")->DisplayWidth(), untouched) << "an unchanged column leaves its field alone";

    name->SetDisplayWidth(12);
    Data->DataEvent(data::deLayoutChange, 0);
    EXPECT_EQ(Grid->Columns(1).Width(), 12 * zero + 4);
    EXPECT_EQ(Grid->ColWidths(2), 12 * zero + 4);

    // A stored column keeps its width and leaves the field alone.
    Grid->AddColumn(u"Name").SetWidth(30 * zero);
    EXPECT_EQ(name->DisplayWidth(), 12);
    Data->DataEvent(data::deLayoutChange, 0);
    EXPECT_EQ(Grid->Columns(0).Width(), 30 * zero);
}

// --- Following the dataset ---

// An integer field whose default width raises while Fail is set, so that a
// layout that sizes its column fails.
class TFailingWidthField : public data::TIntegerField {
public:
    using TIntegerField::TIntegerField;
    bool Fail = false;

protected:
    int GetDefaultWidth() const override {
        if (Fail) throw rtl::Exception(u"no width");
        return TIntegerField::GetDefaultWidth();
    }
};

// A layout that fails while the link becomes active still gives the vertical
// bar its range from the dataset, and the failure reaches the caller.
TEST_F(GridRules, ScrollBarFollowsTheLinkWhenTheLayoutFails) {
    rtl::TComponent owner(nullptr);
    auto* id = new TFailingWidthField(&owner);
    id->SetFieldName(u"ID");
    id->SetDataSet(Data.get());
    Grid->SetDataSource(Source);
    QScrollBar* bar = Area()->verticalScrollBar();
    ASSERT_FALSE(bar->isVisible());
    id->Fail = true;
    EXPECT_EQ(testing_support::MessageOf([&] { Data->Open(); }), u"no width");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 50);
    id->Fail = false;
    Data->Close();
    EXPECT_FALSE(bar->isVisible());
    Grid->SetDataSource(nullptr);
}

// A field's FocusControl selects the first column that shows it and focuses
// the grid; a field no showing column shows leaves the grid alone.
TEST_F(GridRules, FocusControlSelectsTheFieldsColumnAndFocusesTheGrid) {
    Grid->SetOptions(Grid->Options() - views::TDBGridOptions{views::dgRowSelect});
    for (const char16_t* name : {u"ID", u"Name", u"Memo", u"Big"}) Grid->AddColumn(name);
    Grid->Columns(3).SetVisible(false);
    Open();
    Button->SetFocus();
    Data->FieldByName(u"Big")->FocusControl();
    EXPECT_TRUE(Button->Focused());
    EXPECT_EQ(Grid->SelectedIndex(), 0);
    Data->FieldByName(u"Memo")->FocusControl();
    EXPECT_TRUE(Grid->Focused());
    EXPECT_EQ(Grid->SelectedIndex(), 2);
}

// Customizing the columns stores one column per dataset field; going back to
// the default state lets the grid make its own again.
TEST_F(GridRules, ColumnsStateSwitchesBetweenStoredAndDefaultColumns) {
    Data->Open();
    Data->FieldByName(u"Big")->SetVisible(false);
    Grid->SetDataSource(Source);
    ASSERT_EQ(Grid->Columns().State(), views::csDefault);
    ASSERT_EQ(ColumnFields(), (std::vector<std::string>{"ID", "Name", "Memo"}));
    Grid->Columns().SetState(views::csCustomized);
    EXPECT_EQ(Grid->Columns().State(), views::csCustomized);
    EXPECT_EQ(ColumnFields(), (std::vector<std::string>{"ID", "Name", "Big", "Memo"}));
    EXPECT_TRUE(Grid->Columns(2).Stored());
    Data->Close();
    EXPECT_EQ(Grid->ColumnCount(), 4) << "stored columns stay while the dataset is closed";
    Data->Open();
    Data->FieldByName(u"Big")->SetVisible(false);  // a new field, made at the opening
    Grid->Columns().SetState(views::csDefault);
    EXPECT_EQ(Grid->Columns().State(), views::csDefault);
    EXPECT_EQ(ColumnFields(), (std::vector<std::string>{"ID", "Name", "Memo"}));
}

// Moving to another column calls OnColExit while the old column is current,
// then OnColEnter with the new one.
TEST_F(GridRules, MovingBetweenColumnsCallsColExitThenColEnter) {
    Open();
    std::vector<std::string> calls;
    Grid->OnColExit = [&](rtl::TComponent*) { calls.push_back("exit " + std::to_string(Grid->SelectedIndex())); };
    Grid->OnColEnter = [&](rtl::TComponent*) { calls.push_back("enter " + std::to_string(Grid->SelectedIndex())); };
    Key(Qt::Key_Right);
    Key(Qt::Key_End);
    Key(Qt::Key_Down);  // another record, the same column
    EXPECT_EQ(calls, (std::vector<std::string>{"exit 0", "enter 1", "exit 1", "enter 3"}));
}

// --- Moving columns ---

// Dragging a title to another column's place moves the column there (a
// default column with its field, so the next layout keeps it) and tells
// OnColumnMoved the grid columns it moved between; no title click comes.
TEST_F(GridRules, DraggingATitleMovesTheColumn) {
    for (bool stored : {true, false}) {
        SCOPED_TRACE(stored ? "stored columns" : "default columns");
        if (stored)
            for (const char16_t* name : {u"ID", u"Name", u"Big", u"Memo"}) Grid->AddColumn(name).SetWidth(80);
        Open();
        ASSERT_EQ(ColumnFields(), (std::vector<std::string>{"ID", "Name", "Big", "Memo"}));
        std::vector<std::pair<int, int>> moves;
        Grid->OnColumnMoved = [&](rtl::TComponent*, int From, int To) { moves.push_back({From, To}); };
        int titleClicks = 0;
        Grid->OnTitleClick = [&](views::TColumn*) { ++titleClicks; };
        auto drag = [&](int From, int To) {
            const toolkit::TRect from = Grid->CellRect(From, 0), to = Grid->CellRect(To, 0);
            const int y = from.Top + 5;
            QTest::mousePress(Viewport(), Qt::LeftButton, {}, {(from.Left + from.Right) / 2, y});
            QTest::mouseMove(Viewport(), {(to.Left + to.Right) / 2, y});
            QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {(to.Left + to.Right) / 2, y});
        };
        drag(1, 3);
        EXPECT_EQ(ColumnFields(), (std::vector<std::string>{"Name", "Big", "ID", "Memo"}));
        drag(4, 1);
        const std::vector<std::string> moved{"Memo", "Name", "Big", "ID"};
        EXPECT_EQ(ColumnFields(), moved);
        EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{1, 3}, {4, 1}}));
        EXPECT_EQ(titleClicks, 0);
        Data->DataEvent(data::deLayoutChange, 0);
        EXPECT_EQ(ColumnFields(), moved) << "a layout keeps the order";
        // The next case starts from fresh fields and no columns.
        Grid->SetDataSource(nullptr);
        Grid->Columns().Clear();
        Source->SetDataSet(nullptr);
        Data = testing_data::MakePeople(50);
        Source->SetDataSet(Data.get());
        Grid->OnColumnMoved = nullptr;
        Grid->OnTitleClick = nullptr;
    }
}

// --- Re-layouts ---

// A new font gives the rows new heights and the dataset a new window.
TEST_F(GridRules, NewFontLaysTheGridOutAgain) {
    toolkit::TFont font = Grid->Font();
    Grid->SetTitleFont(font);
    Open();
    const int rowsBefore = Grid->DataLink().BufferCount();
    font.PixelHeight = 22;
    Grid->SetFont(font);
    const int textHeight = toolkit::FontTextHeight(Grid->Font());
    EXPECT_EQ(Grid->DefaultRowHeight(), textHeight + 3 + 1);
    EXPECT_EQ(Grid->RowHeights(1), textHeight + 3 + 1);
    EXPECT_LT(Grid->DataLink().BufferCount(), rowsBefore);
    EXPECT_EQ(Grid->DataLink().BufferCount(), Grid->VisibleRowCount());
    EXPECT_EQ(Grid->RowCount(), Grid->VisibleRowCount() + 1);
}

// Loading from the form holds the layout back until the end, then lays out once.
TEST_F(GridRules, EndOfLoadingLaysTheGridOut) {
    Data->Open();
    Grid->BeginLoading();
    for (const char16_t* name : {u"ID", u"Name", u"Memo"}) Grid->AddColumn(name);
    Grid->SetDataSource(Source);
    EXPECT_EQ(Grid->ColCount(), 2) << "no layout while loading";
    Grid->EndLoading();
    EXPECT_EQ(Grid->ColCount(), 4);
    EXPECT_EQ(ColumnFields(), (std::vector<std::string>{"ID", "Name", "Memo"}));
    EXPECT_EQ(Grid->DataLink().BufferCount(), Grid->VisibleRowCount());
    EXPECT_GT(Grid->VisibleRowCount(), 1);
}

// While loading, every cell is only filled with the background colour: no
// titles, no indicator, no cell text.
TEST_F(GridRules, CellsAreOnlyFilledWhileLoading) {
    Grid->SetOptions(Grid->Options() + views::TDBGridOptions{views::dgIndicator});
    Open();
    int drawn = 0;
    Grid->OnDrawDataCell = [&](rtl::TComponent*, const toolkit::TRect&, data::TField*, toolkit::TGridDrawState) {
        ++drawn;
    };
    const QImage loaded = Viewport()->grab().toImage();
    ASSERT_GT(drawn, 0);
    Grid->BeginLoading();
    drawn = 0;
    const QImage loading = Viewport()->grab().toImage();
    EXPECT_EQ(drawn, 0);
    const QColor background = loading.pixelColor(Viewport()->width() - 2, Viewport()->height() - 2);
    for (const auto& [col, row] : {std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 1}}) {
        const toolkit::TRect r = Grid->CellRect(col, row);
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                ASSERT_EQ(loading.pixelColor(x, y), background) << col << "," << row << " at " << x << "," << y;
    }
    EXPECT_NE(loaded.pixelColor(Grid->CellRect(0, 0).Left + 2, Grid->CellRect(0, 0).Top + 2), background)
        << "the indicator's title cell has the fixed colour once loaded";
    Grid->EndLoading();
}

// While loading, the current grid row stays where it is when the dataset
// moves; the layout at the end of loading brings it to the active record.
TEST_F(GridRules, CurrentRowFollowsTheDatasetOnlyOnceLoaded) {
    Open();
    ASSERT_EQ(Grid->Row(), 1);
    Grid->BeginLoading();
    Data->Next();
    Data->Next();
    EXPECT_EQ(Grid->Row(), 1);
    Grid->EndLoading();
    EXPECT_EQ(Grid->Row(), 3);
    EXPECT_EQ(Data->RecNo(), 3);
}

// --- Scrolling ---

// Without an indicator and with column 0 hidden, a scroll by one row moves the
// data rows only: the picture equals a full repaint.
TEST_F(GridRules, ScrollWithoutIndicatorAndWithColumnZeroHiddenKeepsTheTitles) {
    Grid->SetOptions({views::dgTitles, views::dgColLines, views::dgRowLines, views::dgRowSelect});
    for (const char16_t* name : {u"ID", u"Name", u"Big"}) Grid->AddColumn(name).SetWidth(100);
    Grid->Columns(0).SetVisible(false);
    Open();
    ASSERT_EQ(Grid->ColWidths(0), -1);
    Grid->SetHeight(Grid->RowHeights(0) + 1 + 5 * (Grid->DefaultRowHeight() + 1) + 2 * Area()->frameWidth());
    ASSERT_EQ(Grid->VisibleRowCount(), 5);
    auto onScreen = [&] {
        QApplication::processEvents();
        const QPoint origin = Viewport()->mapTo(Form->Window(), QPoint(0, 0));
        return Form->Window()
            ->screen()
            ->grabWindow(Form->Window()->winId(), origin.x(), origin.y(), Viewport()->width(), Viewport()->height())
            .toImage();
    };
    for (int i = 0; i < 4; ++i) Key(Qt::Key_Down);
    onScreen();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down}) {
        Key(key);
        const QImage shifted = onScreen();
        Grid->InvalidateGrid();
        EXPECT_EQ(shifted, onScreen());
    }
    EXPECT_EQ(Data->RecNo(), 7);
}

// --- Leaving the grid ---

// An untouched insert is cancelled when the focus goes to another control of
// the window, not when a message box or another window takes it.
TEST_F(GridRules, OnlyFocusOnAnotherControlOfTheWindowCancelsAnUntouchedInsert) {
    Grid->SetOptions(Grid->Options() + views::TDBGridOptions{views::dgEditing, views::dgCancelOnExit});
    Open();
    Key(Qt::Key_Insert);
    ASSERT_EQ(Data->State(), data::dsInsert);

    // The grid's own delete question: the delete of an insert cancels it, no record goes.
    {
        ModalBoxCatcher boxes;
        Key(Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(boxes.Texts(), std::vector<std::u16string>{u"Delete record?"});
    }
    EXPECT_EQ(Data->State(), data::dsBrowse);
    EXPECT_EQ(Data->Rows.size(), 50u);

    Form->Window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    Grid->SetFocus();
    Key(Qt::Key_Insert);
    ASSERT_EQ(Data->State(), data::dsInsert);

    // Another window takes the focus and gives it back.
    QWidget other;
    other.setGeometry(600, 10, 100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(Data->State(), data::dsInsert);
    other.hide();
    Form->Window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
    Grid->SetFocus();
    ASSERT_EQ(Data->State(), data::dsInsert);

    // A move to the button does cancel.
    ASSERT_TRUE(Grid->Focused());
    Button->SetFocus();
    EXPECT_EQ(Data->State(), data::dsBrowse);
}

// A cancel that fails on the way out is shown, and the focus comes back to
// the grid with the insert still there.
TEST_F(GridRules, AFailureOnLeavingIsShownAndTheGridTakesTheFocusBack) {
    Grid->SetOptions(Grid->Options() + views::TDBGridOptions{views::dgEditing, views::dgCancelOnExit});
    Open();
    Key(Qt::Key_Insert);
    ASSERT_EQ(Data->State(), data::dsInsert);
    Data->BeforeCancel = [](data::TDataSet&) { throw rtl::Exception(u"Болдырмау сәтсіз"); };
    ModalBoxCatcher boxes;
    Button->SetFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Boxes.empty(); }, 5000));
    EXPECT_EQ(boxes.Boxes[0].Text, QStringLiteral("Болдырмау сәтсіз."));
    Form->Window()->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Grid->Focused(); }, 5000));
    EXPECT_EQ(Data->State(), data::dsInsert);
    Data->BeforeCancel = nullptr;
    Data->Cancel();
}

// --- Structured fields ---

// A dataset with one structured column "Point" of two integers, in object view.
class TPointDataSet : public testing_data::TMemoryDataSet {
public:
    TPointDataSet()
        : TMemoryDataSet(nullptr, {{u"Point", data::ftADT}, {u"X", data::ftInteger}, {u"Y", data::ftInteger}}) {
        Rows = {{rtl::Variant::Null(), rtl::Variant(std::int32_t(3)), rtl::Variant(std::int32_t(4))}};
        SetObjectView(true);
    }

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        data::TFieldDef* point = FieldDefs().Add(u"Point", data::ftADT);
        point->ChildDefs().Add(u"X", data::ftInteger);
        point->ChildDefs().Add(u"Y", data::ftInteger);
    }
};

// Default columns follow the flattened field list: the structured field and
// then its children, which show while their parent is expanded.
TEST_F(GridRules, StructuredFieldsAreMappedThroughTheFlattenedFieldList) {
    TPointDataSet points;
    Source->SetDataSet(&points);
    points.Open();
    Grid->SetDataSource(Source);
    EXPECT_EQ(ColumnFields(), (std::vector<std::string>{"Point", "Point.X", "Point.Y"}));
    ASSERT_EQ(Grid->FieldCount(), 3);
    EXPECT_EQ(Grid->Fields(2), points.FindField(u"Point.Y"));
    EXPECT_EQ(Grid->Columns(1).ParentColumn(), &Grid->Columns(0));
    EXPECT_EQ(Grid->ColWidths(1), -1) << "an expanded structured column shows its children";
    EXPECT_EQ(Grid->ReaderColCount(), 2);
    EXPECT_EQ(Grid->ReaderCellText(0, 1), u"4");

    Grid->Columns(0).SetExpanded(false);
    EXPECT_GT(Grid->ColWidths(1), 0);
    EXPECT_EQ(Grid->ColWidths(2), -1);
    EXPECT_EQ(Grid->ColWidths(3), -1);
    EXPECT_EQ(Grid->ReaderCellText(0, 0), u"(ADT)");

    // A stored column maps its child field by full name.
    Grid->AddColumn(u"Point.Y");
    ASSERT_EQ(Grid->FieldCount(), 1);
    EXPECT_EQ(Grid->Fields(0), points.FindField(u"Point.Y"));
    EXPECT_EQ(Grid->DataLink().GetMappedIndex(0), 2);
    Grid->SetDataSource(nullptr);
}

// Name beside a structured column two levels deep, in object view:
// Shape (Kind, Point (X, Y)).
class TShapeDataSet : public testing_data::TMemoryDataSet {
public:
    TShapeDataSet()
        : TMemoryDataSet(nullptr, {{u"Name", data::ftString, 8},
                                   {u"Shape", data::ftADT},
                                   {u"Kind", data::ftString, 6},
                                   {u"Point", data::ftADT},
                                   {u"X", data::ftInteger},
                                   {u"Y", data::ftInteger}}) {
        for (int i = 0; i < 20; ++i)
            Rows.push_back({rtl::Variant(String(u"n")), rtl::Variant::Null(), rtl::Variant(String(u"k")),
                            rtl::Variant::Null(), rtl::Variant(std::int32_t(i)), rtl::Variant(std::int32_t(-i))});
        SetObjectView(true);
    }

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        FieldDefs().Add(u"Name", data::ftString, 8);
        data::TFieldDef* shape = FieldDefs().Add(u"Shape", data::ftADT);
        shape->ChildDefs().Add(u"Kind", data::ftString, 6);
        data::TFieldDef* point = shape->ChildDefs().Add(u"Point", data::ftADT);
        point->ChildDefs().Add(u"X", data::ftInteger);
        point->ChildDefs().Add(u"Y", data::ftInteger);
    }
};

// Default columns: 0 Name, 1 Shape, 2 Shape.Kind, 3 Shape.Point, 4 X, 5 Y.
class StructuredTitles : public GridRules {
protected:
    void SetUp() override {
        GridRules::SetUp();
        Grid->SetTitleFontPixelHeight(16);
        Source->SetDataSet(&Shapes);
        Shapes.Open();
        Grid->SetDataSource(Source);
    }
    void TearDown() override { Grid->SetDataSource(nullptr); }
    int Raw(int Column) const { return Column + Grid->IndicatorOffset(); }

    TShapeDataSet Shapes;
};

// Each level of expanded structured columns adds a title row of the title
// height; the data rows, and the dataset's window, start below them.
TEST_F(StructuredTitles, EachExpandedLevelAddsATitleRow) {
    const int titleHeight = QFontMetrics(toolkit::DesignFont(16)).height() + 4;
    // A screen reader finds X's header in X's own title row, under its parents'.
    EXPECT_EQ(Grid->ReaderCellCoord(-1, 2).Y, 2);
    struct Case {
        const char* Name;
        bool ShapeExpanded, PointExpanded, Titles;
        int TitleRows;
    };
    for (const Case& c : {Case{"all expanded", true, true, true, 3}, Case{"point collapsed", true, false, true, 2},
                          Case{"shape collapsed", false, true, true, 1}, Case{"no titles", true, true, false, 0}}) {
        SCOPED_TRACE(c.Name);
        Grid->Columns(1).SetExpanded(c.ShapeExpanded);
        Grid->Columns(3).SetExpanded(c.PointExpanded);
        Grid->SetOptions(c.Titles ? Grid->Options() + views::TDBGridOptions{views::dgTitles}
                                  : Grid->Options() - views::TDBGridOptions{views::dgTitles});
        EXPECT_EQ(Grid->TitleOffset(), c.TitleRows);
        EXPECT_EQ(Grid->FixedRows(), c.TitleRows);
        for (int r = 0; r < c.TitleRows; ++r) EXPECT_EQ(Grid->RowHeights(r), titleHeight) << "title row " << r;
        EXPECT_EQ(Grid->RowHeights(c.TitleRows), Grid->DefaultRowHeight());
        EXPECT_EQ(Grid->Row(), c.TitleRows) << "the first record shows in the first data row";
        EXPECT_EQ(Grid->DataLink().BufferCount(), Grid->VisibleRowCount());
        EXPECT_EQ(Grid->ReaderCellCoord(0, 0).Y, c.TitleRows);
    }
}

// A parent's caption sits once over all its children, placed by its own
// alignment across them; a shallower column's title rows below its own are
// only filled.
TEST_F(StructuredTitles, ParentCaptionsSpanTheirChildren) {
    const QColor face = Grid->Widget()->palette().color(QPalette::Button);
    // The left and right edges of what is drawn inside the title cells of
    // these columns in a row, or {-1, -1}.
    auto ink = [&](const QImage& image, int row, std::vector<int> columns) {
        int left = -1, right = -1;
        for (int column : columns) {
            const toolkit::TRect r = Grid->CellRect(Raw(column), row);
            for (int x = r.Left + 2; x < r.Right - 2; ++x)
                for (int y = r.Top + 2; y < r.Bottom - 2; ++y)
                    if (image.pixelColor(x, y) != face) {
                        if (left < 0) left = x;
                        right = x;
                    }
        }
        return std::pair{left, right};
    };
    const QFontMetrics metrics(toolkit::DesignFont(16));
    // Drawn once from the left of the first cell: about the caption's width.
    auto expectCaption = [&](std::pair<int, int> drawn, int firstColumn, const char* caption) {
        SCOPED_TRACE(caption);
        EXPECT_NEAR(drawn.first, Grid->CellRect(Raw(firstColumn), 0).Left + 3, 3);
        EXPECT_NEAR(drawn.second - drawn.first + 1, metrics.horizontalAdvance(caption), 6);
    };
    const QImage image = Viewport()->grab().toImage();
    // Row 0: Name, and "Shape" over Kind, X and Y.
    expectCaption(ink(image, 0, {0}), 0, "Name");
    expectCaption(ink(image, 0, {2, 4, 5}), 2, "Shape");
    // Row 1: Name's title continues; Kind, and "Point" over X and Y.
    EXPECT_EQ(ink(image, 1, {0}).first, -1);
    expectCaption(ink(image, 1, {2}), 2, "Kind");
    expectCaption(ink(image, 1, {4, 5}), 4, "Point");
    // Row 2: X and Y only.
    EXPECT_EQ(ink(image, 2, {0, 2}).first, -1);
    expectCaption(ink(image, 2, {4}), 4, "X");
    expectCaption(ink(image, 2, {5}), 5, "Y");

    // Centred, "Shape" is centred on the span from Kind's left to Y's right.
    Grid->Columns(1).Title().SetAlignment(data::taCenter);
    const auto [left, right] = ink(Viewport()->grab().toImage(), 0, {2, 4, 5});
    ASSERT_GE(left, 0);
    const int spanMiddle = (Grid->CellRect(Raw(2), 0).Left + Grid->CellRect(Raw(5), 0).Right) / 2;
    EXPECT_NEAR((left + right) / 2, spanMiddle, 2);
    EXPECT_NEAR(right - left + 1, metrics.horizontalAdvance("Shape"), 6);
}

// A click on a parent's caption is a click on the parent's title; below it,
// on the child's own.
TEST_F(StructuredTitles, TitleClickGoesToTheColumnWhoseTitleIsThere) {
    std::vector<String> clicked;
    Grid->OnTitleClick = [&](views::TColumn* Column) { clicked.push_back(Column->FieldName()); };
    for (int row : {0, 1, 2}) {
        const toolkit::TRect r = Grid->CellRect(Raw(4), row);
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    }
    EXPECT_EQ(clicked, (std::vector<String>{u"Shape", u"Shape.Point", u"Shape.Point.X"}));
}

}  // namespace
