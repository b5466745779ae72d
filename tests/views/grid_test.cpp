#include "views/db_grid.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "data/data_links.h"
#include "data/db_error.h"
#include "data/fields.h"
#include "exception_message.h"
#include "memory_dataset.h"
#include "modal_box_catcher.h"
#include "rtl/format.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

using rtl::String;
using testing_support::MessageOf;
using views::TDBGrid;

namespace {

// The region of every paint event a widget gets.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* Widget) { Widget->installEventFilter(this); }
    QRegion Region;

protected:
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == QEvent::Paint) Region += static_cast<QPaintEvent*>(Event)->region();
        return false;
    }
};

const views::TDBGridOptions kWindowOptions{// clang-format off
    views::dgTitles, views::dgIndicator,     views::dgColumnResize, views::dgColLines,
    views::dgRowLines, views::dgTabs,        views::dgRowSelect,    views::dgConfirmDelete,
    views::dgCancelOnExit, views::dgTitleClick, views::dgTitleHotTrack};
// clang-format on

// A window with "DBGrid1" (the main window's options, columns ID, Name and
// Memo) bound through "DataSource1" to a dataset of people, and a button
// after the grid in keyboard order.
class DBGridTest : public ::testing::Test {
protected:
    void SetUp() override { Build(testing_data::MakePeople(50)); }

    void Build(std::unique_ptr<testing_data::TMemoryDataSet> Dataset) {
        Form.reset();
        Data = std::move(Dataset);
        Form = std::make_unique<toolkit::TForm>(nullptr);
        Form->SetFontPixelHeight(11);
        Form->SetClientSize(500, 400);
        Grid = new TDBGrid(Form.get());
        Grid->SetName(u"DBGrid1");
        Grid->SetParent(Form.get());
        Grid->SetBounds(10, 10, 400, 200);
        Grid->SetTitleFontPixelHeight(11);
        Grid->SetOptions(kWindowOptions);
        for (const char16_t* name : {u"ID", u"Name", u"Memo"}) Grid->AddColumn(name).SetWidth(100);
        Button = new toolkit::TBitBtn(Form.get());
        Button->SetParent(Form.get());
        Button->SetBounds(10, 300, 80, 21);
        Button->SetTabOrder(1);
        Source = new data::TDataSource(Form.get());
        Source->SetName(u"DataSource1");
        Source->SetDataSet(Data.get());
        Grid->OnDrawColumnCell = [this](rtl::TComponent*, const toolkit::TRect&, int, views::TColumn* Column,
                                        toolkit::TGridDrawState) {
            const int row = Grid->DataLink().ActiveRecord();
            Painted[{row, Column->FieldName()}] = Column->Field() ? Column->Field()->DisplayText() : u"<no field>";
        };
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
        Grid->SetFocus();
    }

    void Open() {
        Data->Open();
        Grid->SetDataSource(Source);
    }

    QAbstractScrollArea* Area() const { return static_cast<QAbstractScrollArea*>(Grid->Widget()); }
    QScrollBar* VertBar() const { return Area()->verticalScrollBar(); }
    // The vertical bar's thumb dragged to Position and released there.
    void ReleaseThumbAt(int Position) {
        VertBar()->setSliderDown(true);
        VertBar()->setSliderPosition(Position);
        VertBar()->setSliderDown(false);
    }
    QWidget* Viewport() const { return Area()->viewport(); }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = {}) { QTest::keyClick(Area(), K, M); }
    void Wheel(int Delta) {
        QWheelEvent event(QPointF(50, 50), Viewport()->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, Delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Viewport(), &event);
    }

    // Pitches of a data row and of the title row, grid lines included, from
    // the fonts' own metrics.
    int RowPitch() const { return QFontMetrics(Grid->Widget()->font()).height() + 3 + 1 + 1; }
    int TitlePitch() const { return QFontMetrics(toolkit::DesignFont(11)).height() + 4 + 1; }
    int FittingRows(int ClientHeight) const { return (ClientHeight - TitlePitch() + 1) / RowPitch(); }
    void SetClientHeight(int Value) { Grid->SetHeight(Value + 2 * Area()->frameWidth()); }

    // The IDs of the records the link's rows show, read as the grid reads them.
    std::vector<int> LinkRows() const {
        data::TDataLink& link = Grid->DataLink();
        const int saved = link.ActiveRecord();
        std::vector<int> ids;
        for (int i = 0; i < link.RecordCount(); ++i) {
            link.SetActiveRecord(i);
            ids.push_back(Data->FieldByName(u"ID")->AsInteger());
        }
        link.SetActiveRecord(saved);
        return ids;
    }

    // Repaints the grid and gives the picture of its viewport.
    QImage Paint() {
        Painted.clear();
        Viewport()->repaint();
        return Viewport()->grab().toImage();
    }

    std::unique_ptr<testing_data::TMemoryDataSet> Data;
    std::unique_ptr<toolkit::TForm> Form;
    TDBGrid* Grid = nullptr;
    toolkit::TBitBtn* Button = nullptr;
    data::TDataSource* Source = nullptr;
    std::map<std::pair<int, String>, String> Painted;
};

}  // namespace

TEST_F(DBGridTest, RowHeightsAndVisibleRowsFollowTheFontMetrics) {
    Open();
    EXPECT_EQ(Grid->DefaultRowHeight(), QFontMetrics(Grid->Widget()->font()).height() + 3 + 1);
    EXPECT_EQ(Grid->RowHeights(0), QFontMetrics(toolkit::DesignFont(11)).height() + 4);
    EXPECT_EQ(Grid->ColWidths(0), 11);
    for (int rows : {7, 3, 1}) {
        for (int spare : {0, 1}) {
            // The last row's own line may fall outside; one pixel less loses the row.
            const int client = TitlePitch() + rows * RowPitch() - 1 - spare;
            SetClientHeight(client);
            const int expected = rows - spare;
            SCOPED_TRACE(client);
            EXPECT_EQ(FittingRows(client), expected);
            EXPECT_EQ(Grid->VisibleRowCount(), expected);
            EXPECT_EQ(Grid->DataLink().BufferCount(), std::max(expected, 1));
            EXPECT_EQ(Data->WindowRecordCount(), std::max(expected, 1));
            EXPECT_EQ(Grid->RowCount(), std::max(expected, 1) + 1);
        }
    }
}

TEST_F(DBGridTest, DatasetWindowFollowsTheGridsVisibleRows) {
    SetClientHeight(TitlePitch() + 5 * RowPitch());
    Open();
    ASSERT_EQ(Data->WindowRecordCount(), 5);
    // Growing fetches at once.
    SetClientHeight(TitlePitch() + 12 * RowPitch());
    EXPECT_EQ(Data->WindowRecordCount(), 12);
    EXPECT_EQ(Grid->RowCount(), 13);
    EXPECT_EQ(LinkRows(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    // Scrolled to the middle, then shrunk: the current record stays, and
    // every row still shows a record of the dataset's window.
    Data->MoveBy(24);
    ASSERT_EQ(Data->RecNo(), 25);
    SetClientHeight(TitlePitch() + 4 * RowPitch());
    EXPECT_EQ(Data->RecNo(), 25);
    EXPECT_EQ(Grid->DataLink().BufferCount(), 4);
    EXPECT_EQ(Grid->RowCount(), 5);
    const std::vector<int> ids = LinkRows();
    ASSERT_EQ(ids.size(), 4u);
    for (std::size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] + 1);
    EXPECT_EQ(ids[static_cast<std::size_t>(Grid->DataLink().ActiveRecord())], 25);
    EXPECT_EQ(Grid->Row(), Grid->DataLink().ActiveRecord() + 1);
}

TEST_F(DBGridTest, DownOnTheLastVisibleRowFetchesOneRecordAndShiftsTheRows) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    for (int i = 0; i < 5; ++i) Key(Qt::Key_Down);
    ASSERT_EQ(Grid->Row(), 6);
    ASSERT_EQ(LinkRows(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    Key(Qt::Key_Down);
    EXPECT_EQ(Data->RecNo(), 7);
    EXPECT_EQ(Grid->Row(), 6);
    EXPECT_EQ(LinkRows(), (std::vector<int>{2, 3, 4, 5, 6, 7}));
    Paint();
    EXPECT_EQ(Grid->SelRow(), 6);
    EXPECT_EQ(Painted.at({5, u"Name"}), u"Name7");
    EXPECT_EQ(Painted.at({0, u"Name"}), u"Name2");
}

// Scrolling by one row shifts the painted pixels and repaints only what
// changed; what is on screen must equal a full repaint.
TEST_F(DBGridTest, ShiftedPixelsMatchAFullRepaint) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    auto onScreen = [&] {
        QApplication::processEvents();
        const QPoint origin = Viewport()->mapTo(Form->Window(), QPoint(0, 0));
        return Form->Window()
            ->screen()
            ->grabWindow(Form->Window()->winId(), origin.x(), origin.y(), Viewport()->width(), Viewport()->height())
            .toImage();
    };
    for (int i = 0; i < 5; ++i) Key(Qt::Key_Down);
    const QImage before = onScreen();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}) {
        Key(key);
        const QImage shifted = onScreen();
        Grid->InvalidateGrid();
        const QImage repainted = onScreen();
        EXPECT_NE(shifted, before);
        EXPECT_EQ(shifted, repainted) << key;
    }
    Key(Qt::Key_Up, Qt::ControlModifier);
    Key(Qt::Key_Up);  // the window moves down by one row
    const QImage shifted = onScreen();
    Grid->InvalidateGrid();
    EXPECT_EQ(shifted, onScreen());
}

// A move of the dataset that does not come from a key (code, the wheel, the
// scroll bar) is painted at once; by one row, only the row that came in and
// the row that lost the selection are painted, with their indicator cells.
TEST_F(DBGridTest, ScrollingByOneRowPaintsOneRowAndTheIndicatorAtOnce) {
    constexpr int rows = 6;
    SetClientHeight(TitlePitch() + rows * RowPitch());
    Open();
    Key(Qt::Key_Down, Qt::ControlModifier);
    ASSERT_EQ(Grid->Row(), rows);
    PaintRecorder recorder(Viewport());
    const std::pair<const char*, std::function<void()>> moves[] = {
        {"code", [&] { Data->Next(); }},
        {"wheel", [&] { Wheel(-120); }},
        {"scroll bar", [&] { Area()->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
    };
    int recNo = rows;
    for (const auto& [name, move] : moves) {
        SCOPED_TRACE(name);
        QApplication::processEvents();
        Painted.clear();
        recorder.Region = {};
        move();
        ASSERT_EQ(Data->RecNo(), ++recNo);
        EXPECT_FALSE(recorder.Region.isEmpty()) << "painted at once";
        QApplication::processEvents();
        std::set<int> paintedRows;
        for (const auto& [cell, text] : Painted) paintedRows.insert(cell.first);
        EXPECT_EQ(paintedRows, (std::set<int>{rows - 2, rows - 1}));
        const String name = Painted[{rows - 1, u"Name"}];
        EXPECT_EQ(name, u"Name" + rtl::IntToStr(recNo));
        const int top = Grid->CellRect(0, rows - 1).Top;
        EXPECT_TRUE(
            QRect(0, top, Viewport()->width(), Viewport()->height() - top).contains(recorder.Region.boundingRect()));
        EXPECT_TRUE(recorder.Region.contains(QRect(0, top, Grid->ColWidths(0), Viewport()->height() - top)))
            << "the indicator";
    }
}

// A new colour or font of one column repaints that column's cells only and
// gives it the width its font asks for; the rows keep their heights.
TEST_F(DBGridTest, AChangeOfOneColumnRepaintsThatColumnAndAppliesItsWidth) {
    Open();
    const int rowHeight = Grid->DefaultRowHeight();
    QApplication::processEvents();
    Painted.clear();
    toolkit::TFont font = Grid->Columns(1).Font();
    font.PixelHeight = 20;
    Grid->Columns(1).SetColor(toolkit::clWhite);
    Grid->Columns(1).SetFont(font);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Painted.empty(); }, 2000));
    QApplication::processEvents();
    std::set<String> paintedColumns;
    for (const auto& [cell, text] : Painted) paintedColumns.insert(cell.second);
    EXPECT_EQ(paintedColumns, std::set<String>{u"Name"});
    EXPECT_EQ(Grid->ColWidths(2), 100);
    EXPECT_EQ(Grid->DefaultRowHeight(), rowHeight);

    // Without a width of its own the column takes its default width in the new font.
    Grid->Columns(1).RestoreDefaults();
    const int narrow = Grid->ColWidths(2);
    Grid->Columns(1).SetFont(font);
    EXPECT_GT(Grid->ColWidths(2), narrow);
    EXPECT_EQ(Grid->ColWidths(2), Grid->Columns(1).DefaultWidth());
}

// A title draws its caption in the colour given to its font.
TEST_F(DBGridTest, ATitleFontsColourIsTheCaptionsColour) {
    Open();
    const auto redInTitles = [&] {
        const QImage image = Paint();
        int red = 0;
        for (int y = 0; y < TitlePitch(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 160 && c.green() < 90 && c.blue() < 90;
            }
        return red;
    };
    EXPECT_EQ(redInTitles(), 0);
    toolkit::TFont font = Grid->Columns(1).Title().Font();
    font.Color = 0xFF0000;  // red
    Grid->Columns(1).Title().SetFont(font);
    EXPECT_GT(redInTitles(), 10);
}

TEST_F(DBGridTest, PageKeysMoveByTheVisibleRows) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Data->RecNo(), 7);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Data->RecNo(), 13);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Data->RecNo(), 7);
    EXPECT_EQ(LinkRows(), (std::vector<int>{7, 8, 9, 10, 11, 12}));
}

// With Ctrl, Up and Page Up go to the first row of the window, Down and
// Page Down to its last, without moving the window.
TEST_F(DBGridTest, CtrlUpAndDownGoToTheEdgesOfTheWindow) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    Data->MoveBy(12);
    Data->MoveBy(-6);  // the window shows records 7 to 12, the first current
    ASSERT_EQ(LinkRows(), (std::vector<int>{7, 8, 9, 10, 11, 12}));
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int recNo, row;
    } steps[] = {
        // clang-format off
        {Qt::Key_Down, {}, 8, 2},
        {Qt::Key_Down, {}, 9, 3},
        {Qt::Key_Up, Qt::ControlModifier, 7, 1},
        {Qt::Key_Down, {}, 8, 2},
        {Qt::Key_Down, Qt::ControlModifier, 12, 6},
        {Qt::Key_Up, {}, 11, 5},
        {Qt::Key_PageUp, Qt::ControlModifier, 7, 1},
        {Qt::Key_PageDown, Qt::ControlModifier, 12, 6},
        {Qt::Key_Down, Qt::ControlModifier, 12, 6},  // already on the last row
    };
    // clang-format on
    for (const Step& s : steps) {
        Key(s.key, s.modifiers);
        const bool ctrl = s.modifiers.testFlag(Qt::ControlModifier);
        SCOPED_TRACE(::testing::Message() << "key " << s.key << (ctrl ? " with Ctrl" : ""));
        EXPECT_EQ(Data->RecNo(), s.recNo);
        EXPECT_EQ(Grid->Row(), s.row);
        EXPECT_EQ(LinkRows(), (std::vector<int>{7, 8, 9, 10, 11, 12}));
    }
}

TEST_F(DBGridTest, WithRowSelectHomeEndLeftAndRightMoveBetweenRecords) {
    Open();
    struct Step {
        Qt::Key key;
        int recNo;
    } steps[] = {{Qt::Key_End, 50}, {Qt::Key_Home, 1}, {Qt::Key_Right, 2}, {Qt::Key_Right, 3}, {Qt::Key_Left, 2}};
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(Data->RecNo(), s.recNo) << s.key;
        EXPECT_EQ(Grid->SelectedIndex(), 0);
    }
    EXPECT_EQ(Grid->Row(), Grid->DataLink().ActiveRecord() + 1);
}

TEST_F(DBGridTest, WithoutRowSelectHomeEndAndArrowsMoveBetweenColumns) {
    Grid->SetOptions(kWindowOptions - views::TDBGridOptions{views::dgRowSelect});
    Open();
    Key(Qt::Key_End);
    EXPECT_EQ(Grid->SelectedIndex(), 2);
    Key(Qt::Key_Left);
    EXPECT_EQ(Grid->SelectedIndex(), 1);
    Key(Qt::Key_Home);
    EXPECT_EQ(Grid->SelectedIndex(), 0);
    EXPECT_EQ(Data->RecNo(), 1);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Data->RecNo(), 50);
}

TEST_F(DBGridTest, TabMovesBetweenColumnsAndRecordsAndStaysInTheGrid) {
    Grid->SetOptions(kWindowOptions - views::TDBGridOptions{views::dgRowSelect});
    Open();
    struct Step {
        bool back;
        // clang-format off
        int column, recNo;
    } steps[] = {{false, 1, 1}, {false, 2, 1}, {false, 0, 2}, {true, 2, 1}, {true, 1, 1}};
    // clang-format on
    for (const Step& s : steps) {
        Key(s.back ? Qt::Key_Backtab : Qt::Key_Tab);
        EXPECT_TRUE(Grid->Focused());
        EXPECT_EQ(Grid->SelectedIndex(), s.column);
        EXPECT_EQ(Data->RecNo(), s.recNo);
    }
    Key(Qt::Key_Tab, Qt::AltModifier);
    EXPECT_EQ(Grid->SelectedIndex(), 1);
}

TEST_F(DBGridTest, TabSkipsColumnsThatAreNoTabStops) {
    Grid->SetOptions(kWindowOptions - views::TDBGridOptions{views::dgRowSelect});
    Grid->Columns(1).SetReadOnly(true);
    Grid->AddColumn(u"Missing");
    Open();
    EXPECT_FALSE(Grid->TabStops(2));
    EXPECT_FALSE(Grid->TabStops(4));
    Key(Qt::Key_Tab);
    EXPECT_EQ(Grid->SelectedIndex(), 2);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Grid->SelectedIndex(), 0);
    EXPECT_EQ(Data->RecNo(), 2);
}

TEST_F(DBGridTest, WheelMovesOneRecordUnlessAHandlerTakesIt) {
    Open();
    auto wheel = [&](int delta) { Wheel(delta); };
    wheel(-120);
    wheel(-120);
    EXPECT_EQ(Data->RecNo(), 3);
    wheel(120);
    EXPECT_EQ(Data->RecNo(), 2);
    wheel(-60);
    EXPECT_EQ(Data->RecNo(), 2) << "half a notch";
    wheel(-60);
    EXPECT_EQ(Data->RecNo(), 3);
    Grid->OnMouseWheel = [](rtl::TComponent*, toolkit::TShiftState, int, bool& Handled) { Handled = true; };
    wheel(-120);
    EXPECT_EQ(Data->RecNo(), 3);
}

TEST_F(DBGridTest, ClickingARowMovesTheDatasetByTheDifference) {
    Open();
    int cellClicks = 0;
    Grid->OnCellClick = [&](views::TColumn*) { ++cellClicks; };
    auto click = [&](int row) {
        const toolkit::TRect r = Grid->CellRect(2, row);
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
    };
    click(4);
    EXPECT_EQ(Data->RecNo(), 4);
    EXPECT_EQ(Grid->Row(), 4);
    click(2);
    EXPECT_EQ(Data->RecNo(), 2);
    EXPECT_EQ(Grid->SelectedIndex(), 0) << "row select keeps the column";
    EXPECT_EQ(cellClicks, 2);
}

TEST_F(DBGridTest, TitleClickAndBorderDrag) {
    Open();
    std::vector<String> clicked;
    Grid->OnTitleClick = [&](views::TColumn* Column) { clicked.push_back(Column->FieldName()); };
    const toolkit::TRect title = Grid->CellRect(2, 0);
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, {title.Left + 20, title.Top + 5});
    EXPECT_EQ(clicked, (std::vector<String>{u"Name"}));
    EXPECT_EQ(Data->RecNo(), 1);
    // Dragging the border resizes the column and keeps its new width.
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, {title.Right, title.Top + 5});
    QTest::mouseMove(Viewport(), {title.Right + 25, title.Top + 5});
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {title.Right + 25, title.Top + 5});
    EXPECT_EQ(Grid->Columns(1).Width(), 125);
    EXPECT_EQ(Grid->ColWidths(2), 125);
    EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(DBGridTest, IndicatorArrowIsDrawnOnTheActiveRowInTheFixedCellsTextColour) {
    Open();
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    // The arrow's tip: the glyph is 6 x 11, 2 pixels inside the indicator
    // cell's right edge and centred vertically.
    auto tip = [&](const QImage& image, int row) {
        const toolkit::TRect r = Grid->CellRect(0, row);
        const int x = r.Right - 6 - 2 + 5, y = (r.Top + r.Bottom - 11) / 2 + 5;
        return image.pixelColor(x, y);
    };
    QPalette dark = Grid->Widget()->palette();
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    for (const QPalette& palette : {Grid->Widget()->palette(), dark}) {
        SCOPED_TRACE(palette.color(QPalette::Button).name().toStdString());
        Grid->Widget()->setPalette(palette);
        const QImage image = Paint();
        EXPECT_EQ(Grid->SelRow(), 3);
        EXPECT_EQ(tip(image, 3), palette.color(QPalette::ButtonText));
        EXPECT_EQ(tip(image, 2), palette.color(QPalette::Button));
        EXPECT_EQ(tip(image, 4), palette.color(QPalette::Button));
    }
}

// The indicator cell of the active row shows the state's glyph: an arrow
// while browsing, an I-beam while editing, an asterisk while inserting;
// the other rows' indicator cells stay empty.
TEST_F(DBGridTest, IndicatorGlyphFollowsTheDatasetsState) {
    Open();
    Key(Qt::Key_Down);
    // The glyph's 6 x 11 pixels, '#' where the fixed cells' text colour is:
    // 2 pixels inside the cell's right edge and centred vertically.
    auto glyphAt = [&](const QImage& image, int row) {
        const toolkit::TRect r = Grid->CellRect(0, row);
        const QColor ink = Grid->Widget()->palette().color(QPalette::ButtonText);
        std::vector<std::string> pixels;
        for (int y = 0; y < 11; ++y) {
            std::string line;
            for (int x = 0; x < 6; ++x)
                line += image.pixelColor(r.Right - 8 + x, (r.Top + r.Bottom - 11) / 2 + y) == ink ? '#' : '.';
            pixels.push_back(line);
        }
        return pixels;
    };
    const std::vector<std::string> arrow = {"#.....", "##....", "###...", "####..", "#####.", "######",
                                            "#####.", "####..", "###...", "##....", "#....."};
    const std::vector<std::string> iBeam = {"##.##.", "..#...", "..#...", "..#...", "..#...", "..#...",
                                            "..#...", "..#...", "..#...", "..#...", "##.##."};
    const std::vector<std::string> asterisk = {"......", "......", "......", "#.#.#.", ".###..", "#####.",
                                               ".###..", "#.#.#.", "......", "......", "......"};
    const std::vector<std::string> none(11, "......");
    const struct {
        const char* state;
        std::function<void()> enter;
        const std::vector<std::string>& glyph;
    } cases[] = {
        {"browse", [] {}, arrow},
        {"edit", [&] { Data->Edit(); }, iBeam},
        {"insert", [&] { Data->Insert(); }, asterisk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        c.enter();
        const int row = Grid->DataLink().ActiveRecord() + 1;
        const QImage image = Paint();
        EXPECT_EQ(glyphAt(image, row), c.glyph);
        EXPECT_EQ(glyphAt(image, row == 1 ? 2 : 1), none);
        Data->Cancel();
    }
}

TEST_F(DBGridTest, EmptyResultShowsOneRowOfNullTextsAndNoScrollBar) {
    Build(testing_data::MakePeople(0));
    Open();
    EXPECT_EQ(Grid->RowCount(), 2);
    EXPECT_FALSE(Area()->verticalScrollBar()->isVisible());
    const QImage image = Paint();
    EXPECT_EQ(Painted.at({0, u"ID"}), u"");
    EXPECT_EQ(Painted.at({0, u"Name"}), u"");
    EXPECT_EQ(Painted.at({0, u"Memo"}), u"(WideMemo)");
    EXPECT_EQ(Grid->SelRow(), 1) << "the indicator on the one row";
}

TEST_F(DBGridTest, ColumnOfAMissingFieldShowsItsCaptionAndEmptyCells) {
    Grid->AddColumn(u"Nickname").SetWidth(60);
    Open();
    views::TColumn& column = Grid->Columns(3);
    EXPECT_EQ(column.Field(), nullptr);
    EXPECT_EQ(column.TitleCaption(), u"Nickname");
    EXPECT_EQ(Grid->Columns(0).TitleCaption(), u"ID") << "a caption by default is the field's name";
    EXPECT_EQ(Grid->DataLink().GetMappedIndex(3), -1);
    EXPECT_EQ(Grid->DataLink().GetMappedIndex(1), 1);
    Paint();
    EXPECT_EQ(Painted.at({0, u"Nickname"}), u"<no field>");
    EXPECT_EQ(Painted.at({0, u"Memo"}), u"(WIDEMEMO)");
}

TEST_F(DBGridTest, UnidirectionalDatasetIsRefused) {
    auto oneWay = testing_data::MakePeople(5, true);
    data::TDataSource oneWaySource(nullptr);
    oneWaySource.SetDataSet(oneWay.get());
    EXPECT_EQ(MessageOf([&] { Grid->SetDataSource(&oneWaySource); }),
              u"Operation not allowed on a unidirectional dataset");
    EXPECT_EQ(Grid->DataSource(), nullptr);
    // A link that becomes active on one fails the same way.
    Grid->SetDataSource(Source);
    oneWay->Open();
    EXPECT_EQ(MessageOf([&] { Source->SetDataSet(oneWay.get()); }),
              u"Operation not allowed on a unidirectional dataset");
    Source->SetDataSet(nullptr);
}

TEST_F(DBGridTest, ScrollBarOfASequencedDataset) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    QScrollBar* bar = Area()->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 2000));
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 50);
    EXPECT_EQ(bar->pageStep(), 6);
    EXPECT_EQ(bar->value(), 1);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(bar->value(), 7);
    // An inserted record has no record number: the thumb stays.
    Data->Insert();
    EXPECT_EQ(bar->value(), 7);
    Data->Cancel();
    EXPECT_EQ(bar->value(), 7);
    // Its requests move the dataset.
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the record below the last row
    EXPECT_EQ(Data->RecNo(), 8);
    EXPECT_EQ(bar->value(), 8);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Data->RecNo(), 50);
    // The thumb moves nothing until released; released at the top, it goes first.
    bar->setSliderDown(true);
    bar->setSliderPosition(1);
    EXPECT_EQ(Data->RecNo(), 50);
    bar->setSliderDown(false);
    EXPECT_EQ(Data->RecNo(), 1);
    EXPECT_EQ(bar->value(), 1);
    // One record: no bar.
    Data->Close();
    Data->Rows.resize(1);
    Data->Open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->isVisible(); }, 2000));
}

// Line up and down go to the records just outside the window, page up and
// down by the visible rows, the thumb to its record number; the bar shows
// the record number after each.
TEST_F(DBGridTest, ScrollBarRequestsOfASequencedDataset) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    ASSERT_EQ(VertBar()->maximum(), 50);
    auto bar = [this](QAbstractSlider::SliderAction A) { return [this, A] { VertBar()->triggerAction(A); }; };
    auto thumb = [this](int P) { return [this, P] { ReleaseThumbAt(P); }; };
    const struct {
        const char* what;
        std::function<void()> request;
        int recNo, row;
    } steps[] = {
        {"page down", bar(QAbstractSlider::SliderPageStepAdd), 7, 6},
        {"page down", bar(QAbstractSlider::SliderPageStepAdd), 13, 6},
        {"(code)", [&] { Data->MoveBy(-3); }, 10, 3},  // the window shows 8 to 13
        {"line up: the record above the first row", bar(QAbstractSlider::SliderSingleStepSub), 7, 1},
        {"line down: the record below the last row", bar(QAbstractSlider::SliderSingleStepAdd), 13, 6},
        {"page up", bar(QAbstractSlider::SliderPageStepSub), 7, 1},
        {"page up", bar(QAbstractSlider::SliderPageStepSub), 1, 1},
        {"thumb in the middle", thumb(20), 20, 3},
        {"thumb at the last record", thumb(50), 50, 6},
        {"thumb at the top", thumb(1), 1, 1},
        {"bottom", bar(QAbstractSlider::SliderToMaximum), 50, 6},
        {"top", bar(QAbstractSlider::SliderToMinimum), 1, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        s.request();
        EXPECT_EQ(Data->RecNo(), s.recNo);
        EXPECT_EQ(Grid->Row(), s.row);
        EXPECT_EQ(VertBar()->value(), s.recNo);
    }
}

// Without sequence numbers the bar has five places: the first record, a
// page up, somewhere between, a page down and the last record.
TEST_F(DBGridTest, ScrollBarOfADatasetWithoutSequenceNumbers) {
    Data->Sequenced = false;
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    QScrollBar* bar = VertBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 2000));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 4);
    EXPECT_EQ(bar->value(), 0);
    const struct {
        // clang-format off
        int thumb, recNo, barValue;
    } steps[] = {{3, 7, 2}, {3, 13, 2}, {1, 7, 2}, {2, 7, 2}, {4, 50, 4}, {1, 44, 2}, {0, 1, 0}};
    // clang-format on
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << "thumb at " << s.thumb << " from " << Data->RecNo());
        ReleaseThumbAt(s.thumb);
        EXPECT_EQ(Data->RecNo(), s.recNo);
        EXPECT_EQ(bar->value(), s.barValue);
    }
    // Shown even for one record.
    Data->Close();
    Data->Rows.resize(1);
    Data->Open();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(DBGridTest, ClosingTheDatasetKeepsStoredColumnsAndShowsOneEmptyRow) {
    Open();
    Data->Close();
    EXPECT_EQ(Grid->RowCount(), 2);
    EXPECT_EQ(Grid->ColumnCount(), 3);
    EXPECT_EQ(Grid->Columns(1).TitleCaption(), u"Name");
    Data->Open();
    EXPECT_GT(Grid->RowCount(), 2);
}

TEST_F(DBGridTest, FreeingTheGridShrinksTheDatasetsWindow) {
    Open();
    ASSERT_GT(Data->WindowRecordCount(), 1);
    delete Grid;
    EXPECT_LE(Data->BufferCount(), 1);
}

TEST_F(DBGridTest, WithoutStoredColumnsEachVisibleFieldGetsAColumn) {
    Grid->Columns().Clear();
    Data->Open();
    Data->FieldByName(u"Big")->SetVisible(false);
    Grid->SetDataSource(Source);
    ASSERT_EQ(Grid->Columns().State(), views::csDefault);
    ASSERT_EQ(Grid->ColumnCount(), 3);
    EXPECT_EQ(Grid->Columns(0).TitleCaption(), u"ID");
    EXPECT_EQ(Grid->Columns(2).FieldName(), u"Memo");
    EXPECT_EQ(Grid->Columns(1).Field(), Data->FieldByName(u"Name"));
    EXPECT_EQ(Grid->ColCount(), 4);
    Data->Close();
    EXPECT_EQ(Grid->ColumnCount(), 1) << "one empty column while inactive";
    EXPECT_EQ(Grid->Columns(0).Field(), nullptr);
}

TEST_F(DBGridTest, CtrlDeleteAsksFirstAndDoesNothingOnAReadOnlyDataset) {
    ModalBoxCatcher catcher;
    Data->ReadOnlyData = true;
    Open();
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(catcher.Boxes.empty());
    EXPECT_EQ(Data->Rows.size(), 50u);
    Data->ReadOnlyData = false;
    Key(Qt::Key_Down);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("Delete record?"));
    EXPECT_EQ(Data->Rows.size(), 49u);
    EXPECT_EQ(Data->FieldByName(u"ID")->AsInteger(), 3);
}

TEST_F(DBGridTest, LeavingTheGridCancelsAnUntouchedInsert) {
    Grid->SetOptions(kWindowOptions - views::TDBGridOptions{views::dgRowSelect} +
                     views::TDBGridOptions{views::dgEditing});
    Open();
    Key(Qt::Key_Insert);
    ASSERT_EQ(Data->State(), data::dsInsert);
    Button->SetFocus();
    EXPECT_EQ(Data->State(), data::dsBrowse);
    EXPECT_EQ(Data->Rows.size(), 50u);
    // Without dgCancelOnExit the insert stays.
    Grid->SetOptions(Grid->Options() - views::TDBGridOptions{views::dgCancelOnExit});
    Grid->SetFocus();
    Key(Qt::Key_Insert);
    Button->SetFocus();
    EXPECT_EQ(Data->State(), data::dsInsert);
    Data->Cancel();
}

TEST_F(DBGridTest, TitleUnderTheMouseIsHighlighted) {
    Open();
    auto background = [&](const QImage& image, int col) {
        const toolkit::TRect r = Grid->CellRect(col, 0);
        return image.pixelColor(r.Right - 3, r.Top + 3);
    };
    const QImage plain = Paint();
    ASSERT_EQ(background(plain, 1), background(plain, 2));
    const toolkit::TRect title = Grid->CellRect(2, 0);
    QTest::mouseMove(Viewport(), {title.Left + 20, title.Top + 5});
    EXPECT_EQ(Grid->HotCol(), 2);
    const QImage hot = Paint();
    EXPECT_NE(background(hot, 2), background(hot, 1));
    EXPECT_EQ(background(hot, 1), background(plain, 1));
    const toolkit::TRect cell = Grid->CellRect(2, 2);
    QTest::mouseMove(Viewport(), {cell.Left + 20, cell.Top + 5});
    EXPECT_EQ(Grid->HotCol(), -1);
    EXPECT_EQ(background(Paint(), 2), background(plain, 2));
}

// The grid's own horizontal bar shows columns that do not fit; the vertical
// bar stays the dataset's, and with dgRowSelect Left and Right move records.
TEST_F(DBGridTest, HorizontalBarIsTheGridsAndTheVerticalOneFollowsTheDataset) {
    SetClientHeight(TitlePitch() + 6 * RowPitch());
    Open();
    QScrollBar* horz = Area()->horizontalScrollBar();
    QScrollBar* vert = Area()->verticalScrollBar();
    ASSERT_FALSE(horz->isVisible());
    ASSERT_EQ(Grid->DataLink().BufferCount(), 6);
    for (int i = 0; i < 3; ++i) Grid->Columns(i).SetWidth(200);
    ASSERT_TRUE(horz->isVisible());
    // The bar takes its height from the data rows, and the dataset's window follows.
    EXPECT_LT(Grid->VisibleRowCount(), 6);
    EXPECT_EQ(Grid->DataLink().BufferCount(), Grid->VisibleRowCount());
    EXPECT_TRUE(vert->isVisible());
    EXPECT_EQ(vert->maximum(), 50) << "records, not grid rows";

    Key(Qt::Key_Right);
    EXPECT_EQ(Data->RecNo(), 2);
    EXPECT_EQ(Grid->LeftCol(), 1);
    horz->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Grid->LeftCol(), 2);
    EXPECT_EQ(Data->RecNo(), 2);
    EXPECT_EQ(vert->value(), 2);
    Paint();
    EXPECT_FALSE(Painted.contains({0, u"ID"}));
    EXPECT_TRUE(Painted.contains({0, u"Name"}));
    Key(Qt::Key_Left);
    EXPECT_EQ(Data->RecNo(), 1);
    EXPECT_EQ(Grid->LeftCol(), 2);
    EXPECT_EQ(Grid->SelectedIndex(), 0);
}

TEST_F(DBGridTest, WithoutRowSelectTheCurrentColumnIsScrolledIntoView) {
    Grid->SetOptions(kWindowOptions - views::TDBGridOptions{views::dgRowSelect});
    for (int i = 0; i < 3; ++i) Grid->Columns(i).SetWidth(150);  // two fit
    Open();
    struct Step {
        Qt::Key key;
        // clang-format off
        int column, leftCol;
    } steps[] = {{Qt::Key_End, 2, 2},     {Qt::Key_Home, 0, 1},    {Qt::Key_Tab, 1, 1},
                 {Qt::Key_Tab, 2, 2},     {Qt::Key_Backtab, 1, 2}, {Qt::Key_Backtab, 0, 1},
                 {Qt::Key_Right, 1, 1},   {Qt::Key_Right, 2, 2}};
    // clang-format on
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(Grid->SelectedIndex(), s.column) << s.key;
        EXPECT_EQ(Grid->LeftCol(), s.leftCol) << s.key;
    }
    // A click picks the column drawn under it: Name, right of the indicator.
    const toolkit::TRect row = Grid->CellRect(0, 3);
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, {row.Right + 10, row.Top + 3});
    EXPECT_EQ(Grid->SelectedIndex(), 1);
    EXPECT_EQ(Data->RecNo(), 3);
}
