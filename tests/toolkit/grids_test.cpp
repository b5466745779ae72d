#include "toolkit/grids.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <set>

#include "modal_box_catcher.h"
#include "rtl/exceptions.h"
#include "toolkit/forms.h"
#include "toolkit/std_controls.h"

using namespace toolkit;

namespace {

// A grid that records what the base hands to its descendants.
class RecordingGrid : public TCustomGrid {
public:
    using TCustomGrid::TCustomGrid;
    std::vector<int> Keys;
    std::vector<std::pair<TScrollCode, int>> Requests;
    std::vector<std::pair<int, int>> Moves;
    std::set<int> PaintedCols;
    int WidthChanges = 0;
    bool FailKeys = false;

protected:
    void DrawCell(TCanvas& Canvas, int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override {
        PaintedCols.insert(ACol);
        TCustomGrid::DrawCell(Canvas, ACol, ARow, ARect, AState);
    }
    void KeyDown(int& Key, TShiftState Shift) override {
        Keys.push_back(Key);
        if (FailKeys) throw rtl::Exception(u"key failed");
        TCustomGrid::KeyDown(Key, Shift);
    }
    void ScrollBarRequest(TScrollCode Code, int Pos) override {
        Requests.emplace_back(Code, Pos);
        TCustomGrid::ScrollBarRequest(Code, Pos);
    }
    void ColWidthsChanged() override { ++WidthChanges; }
    void ColumnMoved(int FromIndex, int ToIndex) override { Moves.emplace_back(FromIndex, ToIndex); }
};

// A window with the grid (4 columns of 50, rows of 20, one fixed row and
// column) and a button after it in keyboard order.
class GridTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetClientSize(400, 300);
        Grid = new RecordingGrid(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(10, 10, 300, 200);
        Grid->SetColCount(4);
        Grid->SetRowCount(30);
        Grid->SetDefaultColWidth(50);
        Grid->SetDefaultRowHeight(20);
        Button = new TBitBtn(Form.get());
        Button->SetParent(Form.get());
        Button->SetBounds(10, 250, 80, 21);
        Button->SetTabOrder(1);
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Window()));
        Grid->SetFocus();
    }

    QAbstractScrollArea* Area() const { return static_cast<QAbstractScrollArea*>(Grid->Widget()); }
    QWidget* Viewport() const { return Area()->viewport(); }
    int Frame() const { return Area()->frameWidth(); }
    QScrollBar* HorzBar() const { return Area()->horizontalScrollBar(); }
    void Key(Qt::Key K) { QTest::keyClick(Area(), K); }

    // Four rows, and a client area 254 pixels wide: the fixed column and four
    // more of 50 fit whole with their lines.
    void NarrowGrid(int Columns) {
        Grid->SetRowCount(4);
        Grid->SetColCount(Columns);
        Grid->SetWidth(5 * 51 - 1 + 2 * Frame());
        ASSERT_EQ(Grid->ClientWidth(), 254);
    }

    std::unique_ptr<TForm> Form;
    RecordingGrid* Grid = nullptr;
    TBitBtn* Button = nullptr;
};

}  // namespace

// Rows count as visible while they fit whole; only their trailing line may
// fall outside the client area.
TEST_F(GridTest, VisibleRowCountCountsRowsThatFitWhole) {
    struct Case {
        int clientHeight, lineWidth, visible;
    } cases[] = {
        {21 + 5 * 21 - 1, 1, 5},  // the fifth row's line is cut off
        {21 + 5 * 21 - 2, 1, 4},  // the fifth row itself is cut off
        {20 + 5 * 20, 0, 5},     {20 + 5 * 20 - 1, 0, 4}, {15, 1, 0},
    };
    for (const Case& c : cases) {
        Grid->SetGridLineWidth(c.lineWidth);
        Grid->SetHeight(c.clientHeight + 2 * Frame());
        ASSERT_EQ(Grid->ClientHeight(), c.clientHeight);
        EXPECT_EQ(Grid->VisibleRowCount(), c.visible) << c.clientHeight << " " << c.lineWidth;
    }
    Grid->SetHeight(300);
    Grid->SetRowCount(3);
    EXPECT_EQ(Grid->VisibleRowCount(), 2) << "only the rows that exist";
}

TEST_F(GridTest, CellRectAndMouseCoordSkipHiddenColumns) {
    Grid->SetColWidths(1, -1);
    EXPECT_EQ(Grid->CellRect(0, 0), (TRect{0, 0, 50, 20}));
    EXPECT_TRUE(Grid->CellRect(1, 1).Empty());
    EXPECT_EQ(Grid->CellRect(2, 2), (TRect{51, 42, 101, 62}));
    struct Case {
        // clang-format off
        int x, y, col, row;
    } cases[] = {{0, 0, 0, 0}, {50, 20, 0, 0}, {51, 21, 2, 1}, {101, 62, 2, 2}, {102, 63, 3, 3}, {160, 5, -1, 0}};
    // clang-format on
    for (const Case& c : cases) {
        const TGridCoord cell = Grid->MouseCoord(c.x, c.y);
        EXPECT_EQ(cell.X, c.col) << c.x << "," << c.y;
        EXPECT_EQ(cell.Y, c.row) << c.x << "," << c.y;
    }
    // Scrolled: the rows above TopRow are not on screen.
    Grid->SetTopRow(5);
    EXPECT_EQ(Grid->MouseCoord(10, 25).Y, 5);
    EXPECT_TRUE(Grid->CellRect(0, 3).Empty());
}

TEST_F(GridTest, DraggingATitleBorderSizesTheColumn) {
    Grid->SetOptions(Grid->Options() + TGridOptions{goColSizing});
    const int border = Grid->CellRect(1, 0).Right;
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, {border, 10});
    EXPECT_EQ(Grid->State(), gsColSizing);
    QTest::mouseMove(Viewport(), {border + 30, 10});
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {border + 30, 10});
    EXPECT_EQ(Grid->ColWidths(1), 80);
    EXPECT_EQ(Grid->WidthChanges, 1);
    EXPECT_EQ(Grid->State(), gsNormal);
    // A border below the title row does not size.
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, {Grid->CellRect(2, 0).Right, 30});
    EXPECT_EQ(Grid->State(), gsNormal);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {Grid->CellRect(2, 0).Right, 30});
}

TEST_F(GridTest, DraggingATitleMovesTheColumn) {
    Grid->SetOptions(Grid->Options() + TGridOptions{goColMoving});
    Grid->SetColWidths(1, 70);
    const TRect from = Grid->CellRect(1, 0), to = Grid->CellRect(3, 0);
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, {from.Left + 10, 10});
    QTest::mouseMove(Viewport(), {(to.Left + to.Right) / 2, 10});
    EXPECT_EQ(Grid->State(), gsColMoving);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {(to.Left + to.Right) / 2, 10});
    ASSERT_EQ(Grid->Moves.size(), 1u);
    EXPECT_EQ(Grid->Moves[0], std::make_pair(1, 3));
    EXPECT_EQ(Grid->ColWidths(3), 70);
    EXPECT_EQ(Grid->ColWidths(1), 50);
}

TEST_F(GridTest, TabStaysInTheGridOnlyWithGoTabs) {
    Grid->SetOptions(Grid->Options() + TGridOptions{goTabs});
    QTest::keyClick(Area(), Qt::Key_Tab);
    EXPECT_TRUE(Grid->Focused());
    EXPECT_EQ(Grid->Col(), 2);
    QTest::keyClick(Area(), Qt::Key_Backtab);
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(Grid->Keys, (std::vector<int>{VK_TAB, VK_TAB}));
    Grid->SetOptions(Grid->Options() - TGridOptions{goTabs});
    QTest::keyClick(Area(), Qt::Key_Tab);
    EXPECT_TRUE(Button->Focused());
}

TEST_F(GridTest, KeysMoveTheCurrentCellAndScrollItIntoView) {
    for (int i = 0; i < 12; ++i) QTest::keyClick(Area(), Qt::Key_Down);
    EXPECT_EQ(Grid->Row(), 13);
    EXPECT_EQ(Grid->TopRow() + Grid->VisibleRowCount() - 1, 13);
    QTest::keyClick(Area(), Qt::Key_Right);
    EXPECT_EQ(Grid->Col(), 2);
}

TEST_F(GridTest, ExceptionFromAKeyGoesToTheApplication) {
    ModalBoxCatcher catcher;
    Grid->FailKeys = true;
    QTest::keyClick(Area(), Qt::Key_Down);
    ASSERT_EQ(catcher.Boxes.size(), 1u);
    EXPECT_EQ(catcher.Boxes[0].Text, QStringLiteral("key failed."));
    // The grid goes on working.
    Grid->FailKeys = false;
    QTest::keyClick(Area(), Qt::Key_Down);
    EXPECT_EQ(Grid->Keys.size(), 2u);
    EXPECT_EQ(Grid->Row(), 2);
}

// The owner sets the bar's range with the page counted in; the bar reports
// requests and keeps showing the owner's position.
TEST_F(GridTest, ScrollBarReportsRequestsAndKeepsTheOwnersPosition) {
    Grid->SetScrollBars(TScrollStyle::ssHorizontal);
    Grid->SetVertScrollBar(true, 1, 100 + 7 - 1, 7, 40);
    QScrollBar* bar = Area()->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 2000));
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->pageStep(), 7);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_EQ(Grid->Requests.size(), 3u);
    EXPECT_EQ(Grid->Requests[0].first, scLineDown);
    EXPECT_EQ(Grid->Requests[1].first, scPageUp);
    EXPECT_EQ(Grid->Requests[2].first, scBottom);
    EXPECT_EQ(bar->value(), 40);
    // The thumb reports only when released.
    bar->setSliderDown(true);
    bar->setSliderPosition(70);
    bar->setSliderDown(false);
    ASSERT_FALSE(Grid->Requests.empty());
    const auto released =
        std::find_if(Grid->Requests.begin(), Grid->Requests.end(), [](const auto& r) { return r.first == scPosition; });
    ASSERT_NE(released, Grid->Requests.end());
    EXPECT_EQ(released->second, 70);
    EXPECT_EQ(bar->value(), 40);
    Grid->SetVertScrollBar(false, 0, 0, 0, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->isVisible(); }, 2000));
}

// Positions of the horizontal bar are LeftCol values, up to the one that
// shows the last column whole; the page is the columns that fit whole.
TEST_F(GridTest, HorizontalBarScrollsByColumns) {
    NarrowGrid(10);
    QScrollBar* bar = HorzBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_FALSE(Area()->verticalScrollBar()->isVisible());
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 6);
    EXPECT_EQ(bar->pageStep(), 4);
    struct Step {
        QAbstractSlider::SliderAction action;
        int leftCol;
        // clang-format off
    } steps[] = {{QAbstractSlider::SliderSingleStepAdd, 2}, {QAbstractSlider::SliderPageStepAdd, 6},
                 {QAbstractSlider::SliderSingleStepAdd, 6}, {QAbstractSlider::SliderPageStepSub, 2},
                 {QAbstractSlider::SliderSingleStepSub, 1}, {QAbstractSlider::SliderToMaximum, 6}};
    // clang-format on
    for (const Step& s : steps) {
        bar->triggerAction(s.action);
        EXPECT_EQ(Grid->LeftCol(), s.leftCol) << s.action;
        EXPECT_EQ(bar->value(), s.leftCol) << s.action;
    }
    // The thumb counts when released.
    bar->setSliderDown(true);
    bar->setSliderPosition(3);
    EXPECT_EQ(Grid->LeftCol(), 6);
    bar->setSliderDown(false);
    ASSERT_EQ(Grid->LeftCol(), 3);

    // Column 3 follows the fixed column on screen; 1 and 2 are off it.
    EXPECT_EQ(Grid->CellRect(0, 1), (TRect{0, 21, 50, 41}));
    EXPECT_EQ(Grid->CellRect(3, 1), (TRect{51, 21, 101, 41}));
    EXPECT_TRUE(Grid->CellRect(2, 1).Empty());
    Grid->PaintedCols.clear();
    Viewport()->repaint();
    EXPECT_EQ(Grid->PaintedCols, (std::set<int>{0, 3, 4, 5, 6}));
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, {51 + 2 * 51 + 5, 2 * 21 + 5});
    EXPECT_EQ(Grid->Col(), 5);
    EXPECT_EQ(Grid->Row(), 2);
    EXPECT_EQ(Grid->LeftCol(), 3) << "a column shown whole does not scroll";

    // A reader finds the cells where they are drawn, and the ones scrolled
    // out on either side are not on screen.
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(Grid->Widget())->tableInterface();
    auto readerCell = [&](int col) { return table->cellAt(0, col - 1); };
    EXPECT_EQ(readerCell(3)->rect().topLeft(), Viewport()->mapToGlobal(QPoint(51, 21)));
    EXPECT_FALSE(readerCell(3)->state().invisible);
    EXPECT_TRUE(readerCell(2)->state().invisible);
    EXPECT_TRUE(readerCell(9)->state().invisible);

    // Fewer columns keep LeftCol where the last one still fits; with all of
    // them fitting the bar goes.
    struct Shrink {
        int colCount, leftCol;
        bool bar;
    } shrinks[] = {{8, 3, true}, {7, 3, true}, {6, 2, true}, {5, 1, false}};
    for (const Shrink& s : shrinks) {
        Grid->SetColCount(s.colCount);
        EXPECT_EQ(Grid->LeftCol(), s.leftCol) << s.colCount;
        EXPECT_EQ(bar->isVisible(), s.bar) << s.colCount;
    }
}

TEST_F(GridTest, KeysBringTheCurrentColumnIntoView) {
    NarrowGrid(10);
    Grid->SetOptions(Grid->Options() + TGridOptions{goTabs});
    struct Step {
        Qt::Key key;
        // clang-format off
        int col, leftCol;
    } steps[] = {{Qt::Key_Right, 2, 1}, {Qt::Key_Right, 3, 1}, {Qt::Key_Right, 4, 1},   {Qt::Key_Right, 5, 2},
                 {Qt::Key_Tab, 6, 3},   {Qt::Key_End, 9, 6},   {Qt::Key_Left, 8, 6},    {Qt::Key_Left, 7, 6},
                 {Qt::Key_Left, 6, 6},  {Qt::Key_Left, 5, 5},  {Qt::Key_Backtab, 4, 4}, {Qt::Key_Home, 1, 1}};
    // clang-format on
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(Grid->Col(), s.col) << s.key;
        EXPECT_EQ(Grid->LeftCol(), s.leftCol) << s.key;
        EXPECT_EQ(HorzBar()->value(), s.leftCol) << s.key;
    }
}

TEST_F(GridTest, WideningAColumnByDragBringsTheBarAndNarrowingItTakesItAway) {
    NarrowGrid(4);
    Grid->SetOptions(Grid->Options() + TGridOptions{goColSizing});
    auto drag = [&](int fromX, int toX) {
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, {fromX, 10});
        QTest::mouseMove(Viewport(), {toX, 10});
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {toX, 10});
    };
    ASSERT_FALSE(HorzBar()->isVisible());
    drag(3 * 51 + 50, 3 * 51 + 130);
    ASSERT_EQ(Grid->ColWidths(3), 130);
    ASSERT_TRUE(HorzBar()->isVisible());
    EXPECT_EQ(HorzBar()->maximum(), 2) << "columns 2 and 3 fit together";
    EXPECT_EQ(Grid->ClientHeight(), 200 - 2 * Frame() - HorzBar()->height());
    HorzBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_EQ(Grid->LeftCol(), 2);
    // The fixed column's border does not size column 1, scrolled out behind it.
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, {50, 10});
    EXPECT_EQ(Grid->State(), gsNormal);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, {50, 10});
    // The border is found where column 3 is drawn now.
    drag(2 * 51 + 130, 2 * 51 + 50);
    EXPECT_EQ(Grid->ColWidths(3), 50);
    EXPECT_EQ(Grid->LeftCol(), 1);
    EXPECT_FALSE(HorzBar()->isVisible());
}

// The grid keeps a vertical bar by rows unless ScrollBars leave it out.
TEST_F(GridTest, VerticalBarScrollsByRows) {
    Grid->SetHeight(21 + 8 * 21 - 1 + 2 * Frame());  // the fixed row and eight more
    QScrollBar* bar = Area()->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 29 - 8 + 1);
    EXPECT_EQ(bar->pageStep(), 8);
    struct Step {
        QAbstractSlider::SliderAction action;
        int topRow;
        // clang-format off
    } steps[] = {{QAbstractSlider::SliderPageStepAdd, 9}, {QAbstractSlider::SliderSingleStepAdd, 10},
                 {QAbstractSlider::SliderToMaximum, 22}, {QAbstractSlider::SliderSingleStepAdd, 22}};
    // clang-format on
    for (const Step& s : steps) {
        bar->triggerAction(s.action);
        EXPECT_EQ(Grid->TopRow(), s.topRow) << s.action;
        EXPECT_EQ(bar->value(), s.topRow) << s.action;
    }
    Key(Qt::Key_Down);
    EXPECT_EQ(Grid->TopRow(), 2);
    EXPECT_EQ(bar->value(), 2);
    Grid->SetScrollBars(TScrollStyle::ssHorizontal);
    EXPECT_FALSE(bar->isVisible());
}

namespace {

// The height of what was drawn in Image: rows holding a pixel other than white.
int InkHeight(const QImage& Image) {
    int top = Image.height(), bottom = -1;
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            if (Image.pixel(x, y) != qRgb(255, 255, 255)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return bottom < top ? 0 : bottom - top + 1;
}

}  // namespace

TEST(Canvas, TextIsDrawnInTheFontSetLast) {
    QWidget widget;
    const auto draw = [&](std::initializer_list<int> Heights) {
        QImage image(120, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TCanvas canvas(painter, widget);
        canvas.SetBrushColor(clWhite);
        for (int height : Heights) {
            canvas.SetFont({u"", height, clBlack});
            canvas.TextRect({0, 0, 120, 60}, 2, 2, u"Ш");
        }
        return InkHeight(image);
    };
    const int small = draw({10}), large = draw({40});
    ASSERT_GT(large, 2 * small);
    // A canvas that drew in one font and then another draws in the second.
    EXPECT_EQ(draw({10, 40}), large);
    EXPECT_EQ(draw({40, 10}), small);
}
