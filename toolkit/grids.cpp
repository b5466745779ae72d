#include "toolkit/grids.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <algorithm>

#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/grid_accessibility.h"
#include "toolkit/qt_text.h"

namespace toolkit {
namespace {

// Runs Action; whatever it raises goes to the application object, never
// into the toolkit's event loop.
template <class F>
void Guarded(F&& Action) {
    try {
        Action();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

QRect ToQRect(const TRect& R) { return QRect(R.Left, R.Top, R.Width(), R.Height()); }

QColor ToQColor(TColor Color, const QWidget& Widget) {
    if ((Color & clSystemColor) != clSystemColor)
        return QColor((Color >> 16) & 0xFF, (Color >> 8) & 0xFF, Color & 0xFF);
    const QPalette& p = Widget.palette();
    switch (Color) {
        case clBtnFace: return p.color(QPalette::Button);
        case clWindow: return p.color(QPalette::Base);
        case clWindowText: return p.color(QPalette::Text);
        case clHighlight: return p.color(QPalette::Highlight);
        case clHighlightText: return p.color(QPalette::HighlightedText);
        case clBtnText: return p.color(QPalette::ButtonText);
        case clGrayText: return p.color(QPalette::Disabled, QPalette::Text);
        case clBtnShadow: return p.color(QPalette::Dark);
        case clBtnHighlight: return p.color(QPalette::Light);
        default: return p.color(QPalette::Base);
    }
}

TShiftState ShiftOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons = Qt::NoButton) {
    TShiftState s;
    if (Modifiers & Qt::ShiftModifier) s.Include(ssShift);
    if (Modifiers & Qt::AltModifier) s.Include(ssAlt);
    if (Modifiers & Qt::ControlModifier) s.Include(ssCtrl);
    if (Buttons & Qt::LeftButton) s.Include(ssLeft);
    if (Buttons & Qt::RightButton) s.Include(ssRight);
    if (Buttons & Qt::MiddleButton) s.Include(ssMiddle);
    return s;
}

TMouseButton ButtonOf(Qt::MouseButton Button) {
    if (Button == Qt::RightButton) return mbRight;
    if (Button == Qt::MiddleButton) return mbMiddle;
    return mbLeft;
}

int KeyCodeOf(const QKeyEvent& Event, TShiftState& Shift) {
    switch (Event.key()) {
        case Qt::Key_Tab: return VK_TAB;
        case Qt::Key_Backtab: Shift.Include(ssShift); return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter: return VK_RETURN;
        case Qt::Key_Escape: return VK_ESCAPE;
        case Qt::Key_PageUp: return VK_PRIOR;
        case Qt::Key_PageDown: return VK_NEXT;
        case Qt::Key_End: return VK_END;
        case Qt::Key_Home: return VK_HOME;
        case Qt::Key_Left: return VK_LEFT;
        case Qt::Key_Up: return VK_UP;
        case Qt::Key_Right: return VK_RIGHT;
        case Qt::Key_Down: return VK_DOWN;
        case Qt::Key_Insert: return VK_INSERT;
        case Qt::Key_Delete: return VK_DELETE;
        case Qt::Key_F2: return VK_F2;
        default: break;
    }
    // Qt codes a character key by its character, and some characters share
    // their code with a key named above ('(' is VK_DOWN, '.' VK_DELETE), so
    // only letters and digits, which share none, keep theirs.
    const int key = Event.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return key;
    return 0;
}

// Sets a bar's positions First..Last, its page and its position without
// reporting a move; returns the position it took.
int SetBarRange(QScrollBar& Bar, int First, int Last, int Page, int Pos) {
    const QSignalBlocker block(&Bar);
    Last = std::max(First, Last);
    Pos = std::clamp(Pos, First, Last);
    Bar.setRange(First, Last);
    Bar.setPageStep(std::max(Page, 1));
    Bar.setValue(Pos);
    Bar.setSliderPosition(Pos);
    return Pos;
}

}  // namespace

QFont ToQFont(const TFont& Font) {
    if (Font.Name.empty()) return DesignFont(Font.PixelHeight);
    QFont font(ToQString(Font.Name));
    font.setPixelSize(Font.PixelHeight);
    return font;
}

int FontTextHeight(const TFont& Font) { return QFontMetrics(ToQFont(Font)).height(); }

int FontTextWidth(const TFont& Font, const String& Text) {
    return QFontMetrics(ToQFont(Font)).horizontalAdvance(ToQString(Text));
}

// --- TCanvas ---

TCanvas::TCanvas(QPainter& Painter, const QWidget& Widget) : FPainter(Painter), FWidget(Widget) {}

void TCanvas::FillRect(const TRect& R) { FillPixels(R, FBrushColor); }

void TCanvas::FillPixels(const TRect& R, TColor Color) {
    if (!R.Empty()) FPainter.fillRect(ToQRect(R), ToQColor(Color, FWidget));
}

int TCanvas::TextHeight(const String&) const { return FontTextHeight(FFont); }
int TCanvas::TextWidth(const String& Text) const { return FontTextWidth(FFont, Text); }

void TCanvas::SetFont(const TFont& Value) {
    if (Value.Name != FFont.Name || Value.PixelHeight != FFont.PixelHeight) FResolved.reset();
    FFont = Value;
}

const QFont& TCanvas::ResolvedFont() {
    if (!FResolved) {
        FResolved = ToQFont(FFont);
        FAscent = QFontMetrics(*FResolved).ascent();
    }
    return *FResolved;
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const String& Text) {
    FillRect(R);
    if (R.Empty() || Text.empty()) return;
    FPainter.save();
    FPainter.setClipRect(ToQRect(R), Qt::IntersectClip);
    FPainter.setFont(ResolvedFont());
    FPainter.setPen(ToQColor(FFont.Color, FWidget));
    FPainter.drawText(X, Y + FAscent, ToQString(Text));
    FPainter.restore();
}

void TCanvas::Draw(int X, int Y, const TBitmap& Image, TColor TransparentColor) {
    for (int y = 0; y < Image.Height; ++y)
        for (int x = 0; x < Image.Width; ++x) {
            const TColor c = Image.Pixel(x, y);
            if (c != TransparentColor) FPainter.fillRect(X + x, Y + y, 1, 1, ToQColor(c, FWidget));
        }
}

void TCanvas::DrawFocusRect(const TRect& R) {
    QStyleOptionFocusRect option;
    option.initFrom(&FWidget);
    option.rect = ToQRect(R);
    option.backgroundColor = ToQColor(FBrushColor, FWidget);
    FWidget.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &FPainter, &FWidget);
}

void TCanvas::Frame3D(const TRect& R) {
    if (R.Empty()) return;
    FillPixels({R.Left, R.Top, R.Right, R.Top + 1}, clBtnHighlight);
    FillPixels({R.Left, R.Top, R.Left + 1, R.Bottom}, clBtnHighlight);
    FillPixels({R.Left, R.Bottom - 1, R.Right, R.Bottom}, clBtnShadow);
    FillPixels({R.Right - 1, R.Top, R.Right, R.Bottom}, clBtnShadow);
}

// --- GridWidget ---

// The grid's widget: a scroll area whose viewport shows the cells; it hands
// every event to its TCustomGrid.
class GridWidget : public QAbstractScrollArea {
public:
    explicit GridWidget(TCustomGrid* Grid) : FGrid(Grid), FReadable(Grid) {
        setFocusPolicy(Qt::StrongFocus);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->setMouseTracking(true);
        // Every pixel is painted, which also lets scrolling move pixels
        // instead of repainting.
        viewport()->setAutoFillBackground(false);
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        verticalScrollBar()->setTracking(false);
        connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
                [this](int Action) { Guarded([&] { FGrid->ScrollBarAction(Action); }); });
        connect(verticalScrollBar(), &QAbstractSlider::sliderReleased, this,
                [this] { Guarded([&] { FGrid->ThumbReleased(); }); });
        // The horizontal bar's position is LeftCol; a dragged thumb counts
        // when released.
        horizontalScrollBar()->setTracking(false);
        connect(horizontalScrollBar(), &QAbstractSlider::valueChanged, this,
                [this](int Value) { Guarded([&] { FGrid->SetLeftCol(Value); }); });
    }

    // The grid, while it can still answer a screen reader.
    TCustomGrid* Readable() const { return FReadable; }
    void GridGoingAway() { FReadable = nullptr; }

protected:
    void paintEvent(QPaintEvent* Event) override {
        QPainter painter(viewport());
        const QRect r = Event->rect();
        Guarded([&] { FGrid->Paint(painter, {r.left(), r.top(), r.right() + 1, r.bottom() + 1}); });
    }
    void resizeEvent(QResizeEvent* Event) override {
        QAbstractScrollArea::resizeEvent(Event);
        Guarded([&] {
            FGrid->UpdateScrollRange();
            FGrid->Resize();
        });
    }
    void scrollContentsBy(int, int) override {}
    void keyPressEvent(QKeyEvent* Event) override {
        TShiftState shift = ShiftOf(Event->modifiers());
        int key = KeyCodeOf(*Event, shift);
        Guarded([&] { FGrid->KeyDown(key, shift); });
    }
    bool focusNextPrevChild(bool Next) override {
        if (FGrid->Options().Contains(goTabs)) return false;
        return QAbstractScrollArea::focusNextPrevChild(Next);
    }
    void mousePressEvent(QMouseEvent* Event) override {
        const QPoint p = Event->position().toPoint();
        Guarded([&] {
            FGrid->MouseDown(ButtonOf(Event->button()), ShiftOf(Event->modifiers(), Event->buttons()), p.x(), p.y());
        });
    }
    void mouseDoubleClickEvent(QMouseEvent* Event) override {
        const QPoint p = Event->position().toPoint();
        TShiftState shift = ShiftOf(Event->modifiers(), Event->buttons());
        shift.Include(ssDouble);
        Guarded([&] { FGrid->MouseDown(ButtonOf(Event->button()), shift, p.x(), p.y()); });
    }
    void mouseMoveEvent(QMouseEvent* Event) override {
        const QPoint p = Event->position().toPoint();
        Guarded([&] { FGrid->MouseMove(ShiftOf(Event->modifiers(), Event->buttons()), p.x(), p.y()); });
    }
    void mouseReleaseEvent(QMouseEvent* Event) override {
        const QPoint p = Event->position().toPoint();
        Guarded([&] {
            FGrid->MouseUp(ButtonOf(Event->button()), ShiftOf(Event->modifiers(), Event->buttons()), p.x(), p.y());
        });
    }
    void wheelEvent(QWheelEvent* Event) override {
        Event->accept();
        FWheel += Event->angleDelta().y();
        const TShiftState shift = ShiftOf(Event->modifiers(), Event->buttons());
        Guarded([&] {
            while (FWheel >= 120 || FWheel <= -120) {
                const int delta = FWheel > 0 ? 120 : -120;
                FWheel -= delta;
                FGrid->DoMouseWheel(shift, delta);
            }
        });
    }
    void leaveEvent(QEvent* Event) override {
        QAbstractScrollArea::leaveEvent(Event);
        FGrid->SetHotCol(-1);
    }
    void focusInEvent(QFocusEvent* Event) override {
        QAbstractScrollArea::focusInEvent(Event);
        Guarded([&] { FGrid->DoEnter(); });
        // A reader names the cell that has the focus, not only the table.
        FGrid->AnnounceCurrentCell();
    }
    void focusOutEvent(QFocusEvent* Event) override {
        QAbstractScrollArea::focusOutEvent(Event);
        Guarded([&] { FGrid->DoExit(); });
    }

private:
    TCustomGrid* FGrid;
    TCustomGrid* FReadable;
    int FWheel = 0;
};

TCustomGrid* ReadableGridOf(const QObject* Object) {
    const auto* widget = dynamic_cast<const GridWidget*>(Object);
    return widget ? widget->Readable() : nullptr;
}

// --- TCustomGrid ---

TCustomGrid::TCustomGrid(TComponent* AOwner) : TControl(AOwner, std::make_unique<GridWidget>(this)) {
    InstallGridAccessibility();
    SetTabOrder(0);
    FColWidths.assign(5, FDefaultColWidth);
    FTabStops.assign(5, true);
    FRowHeights.assign(5, FDefaultRowHeight);
}

TCustomGrid::~TCustomGrid() { Grid()->GridGoingAway(); }

GridWidget* TCustomGrid::Grid() const { return static_cast<GridWidget*>(Widget()); }

void TCustomGrid::SetColCount(int Value) {
    Value = std::max(Value, 1);
    const bool changed = Value != ColCount();
    FColWidths.resize(static_cast<std::size_t>(Value), FDefaultColWidth);
    FTabStops.resize(static_cast<std::size_t>(Value), true);
    if (FFixedCols >= Value) FFixedCols = Value - 1;
    ClampCurrent();
    UpdateScrollRange();
    InvalidateGrid();
    if (changed) AnnounceTableReset();
}

void TCustomGrid::SetRowCount(int Value) {
    Value = std::max(Value, 1);
    const bool changed = Value != RowCount();
    FRowHeights.resize(static_cast<std::size_t>(Value), FDefaultRowHeight);
    if (FFixedRows >= Value) FFixedRows = Value - 1;
    ClampCurrent();
    UpdateScrollRange();
    if (changed) AnnounceTableReset();
}

void TCustomGrid::SetFixedCols(int Value) {
    if (Value < 0 || Value >= ColCount())
        throw EInvalidGridOperation(u"Fixed column count must be less than column count");
    if (Value != FFixedCols) FLeftCol = Value;
    FFixedCols = Value;
    ClampCurrent();
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetFixedRows(int Value) {
    if (Value < 0 || Value >= RowCount()) throw EInvalidGridOperation(u"Fixed row count must be less than row count");
    if (Value != FFixedRows) FTopRow = Value;
    FFixedRows = Value;
    ClampCurrent();
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::ClampCurrent() {
    const int lastRow = RowCount() - 1, lastCol = ColCount() - 1;
    FRow = std::clamp(FRow, std::min(FFixedRows, lastRow), lastRow);
    FCol = std::clamp(FCol, std::min(FFixedCols, lastCol), lastCol);
    FTopRow = std::clamp(FTopRow, std::min(FFixedRows, lastRow), lastRow);
    FLeftCol = std::clamp(FLeftCol, std::min(FFixedCols, lastCol), lastCol);
}

void TCustomGrid::SetDefaultColWidth(int Value) {
    FDefaultColWidth = Value;
    std::fill(FColWidths.begin(), FColWidths.end(), Value);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int Value) {
    FDefaultRowHeight = Value;
    std::fill(FRowHeights.begin(), FRowHeights.end(), Value);
    UpdateScrollRange();
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int Index) const { return FColWidths.at(static_cast<std::size_t>(Index)); }
int TCustomGrid::RowHeights(int Index) const { return FRowHeights.at(static_cast<std::size_t>(Index)); }
bool TCustomGrid::TabStops(int Index) const { return FTabStops.at(static_cast<std::size_t>(Index)); }

void TCustomGrid::SetColWidths(int Index, int Value) {
    int& w = FColWidths.at(static_cast<std::size_t>(Index));
    if (w == Value) return;
    w = Value;
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetRowHeights(int Index, int Value) {
    int& h = FRowHeights.at(static_cast<std::size_t>(Index));
    if (h == Value) return;
    h = Value;
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetTabStops(int Index, bool Value) { FTabStops.at(static_cast<std::size_t>(Index)) = Value; }

void TCustomGrid::SetGridLineWidth(int Value) {
    FGridLineWidth = std::max(Value, 0);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetTopRow(int Value) {
    Value = std::clamp(Value, FFixedRows, MaxTopRow());
    if (Value == FTopRow) return;
    FTopRow = Value;
    InvalidateGrid();
    UpdateScrollRange();
}

void TCustomGrid::SetLeftCol(int Value) {
    const int last = MaxLeftCol();
    Value = std::clamp(Value, FFixedCols, last);
    // A hidden column shows nothing on its own: go on in the direction of the move.
    const int step = Value < FLeftCol ? -1 : 1;
    while (Value > FFixedCols && Value < last && FColWidths[static_cast<std::size_t>(Value)] < 0) Value += step;
    if (Value == FLeftCol) return;
    FLeftCol = Value;
    InvalidateGrid();
    UpdateScrollRange();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    if (Value == TScrollStyle::ssNone || Value == TScrollStyle::ssHorizontal) ShowScrollBar(false, false);
    UpdateScrollRange();
}

void TCustomGrid::SetOptions(TGridOptions Value) {
    if (Value == FOptions) return;
    FOptions = Value;
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGrid::SetColor(TColor Value) {
    FColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetFixedColor(TColor Value) {
    FFixedColor = Value;
    InvalidateGrid();
}

TFont TCustomGrid::Font() const {
    const QFont font = Widget()->font();
    // A font given in pixels, as every font here is, has that height; asking
    // the font database is for one given in points.
    const int pixels = font.pixelSize();
    return {FromQString(font.family()), pixels > 0 ? pixels : QFontInfo(font).pixelSize(), clWindowText};
}

void TCustomGrid::SetFont(const TFont& Value) { Widget()->setFont(ToQFont(Value)); }

bool TCustomGrid::ColLines() const { return FOptions.Contains(goFixedVertLine) || FOptions.Contains(goVertLine); }
bool TCustomGrid::RowLines() const { return FOptions.Contains(goFixedHorzLine) || FOptions.Contains(goHorzLine); }

int TCustomGrid::ClientWidth() const {
    const int bar = FVertVisible ? Grid()->verticalScrollBar()->sizeHint().width() : 0;
    return std::max(Width() - 2 * Grid()->frameWidth() - bar, 0);
}

int TCustomGrid::ClientHeight() const {
    const int bar = FHorzVisible ? Grid()->horizontalScrollBar()->sizeHint().height() : 0;
    return std::max(Height() - 2 * Grid()->frameWidth() - bar, 0);
}

int TCustomGrid::ColLeft(int ACol) const {
    if (ACol >= FFixedCols && ACol < FLeftCol) return -1;
    int x = 0;
    for (int c = 0; c < ACol; ++c) {
        if (c >= FFixedCols && c < FLeftCol) continue;
        if (FColWidths[static_cast<std::size_t>(c)] >= 0) x += FColWidths[static_cast<std::size_t>(c)] + ColLineWidth();
    }
    return x;
}

int TCustomGrid::FixedColsWidth() const {
    int x = 0;
    for (int c = 0; c < FFixedCols; ++c)
        if (FColWidths[static_cast<std::size_t>(c)] >= 0) x += FColWidths[static_cast<std::size_t>(c)] + ColLineWidth();
    return x;
}

int TCustomGrid::FixedRowsHeight() const {
    int y = 0;
    for (int r = 0; r < std::min(FFixedRows, RowCount()); ++r)
        y += FRowHeights[static_cast<std::size_t>(r)] + RowLineWidth();
    return y;
}

// The last column's (row's) trailing line may fall outside, as for VisibleRowCount.
int TCustomGrid::FirstColShowing(int LastCol) const {
    const int room = ClientWidth() - FixedColsWidth() + ColLineWidth();
    int span = 0, first = LastCol;
    for (int c = LastCol; c >= FFixedCols; --c) {
        const int w = FColWidths[static_cast<std::size_t>(c)];
        if (w >= 0) {
            span += w + ColLineWidth();
            if (span > room && c != LastCol) break;
        }
        first = c;
    }
    return first;
}

int TCustomGrid::FirstRowShowing(int LastRow) const {
    const int room = ClientHeight() - FixedRowsHeight() + RowLineWidth();
    int span = 0, first = LastRow;
    for (int r = LastRow; r >= FFixedRows; --r) {
        span += FRowHeights[static_cast<std::size_t>(r)] + RowLineWidth();
        if (span > room && r != LastRow) break;
        first = r;
    }
    return first;
}

int TCustomGrid::MaxLeftCol() const {
    int last = ColCount() - 1;
    while (last > FFixedCols && FColWidths[static_cast<std::size_t>(last)] < 0) --last;
    return std::max(FirstColShowing(last), FFixedCols);
}

int TCustomGrid::MaxTopRow() const { return std::max(FirstRowShowing(RowCount() - 1), FFixedRows); }

int TCustomGrid::RowTop(int ARow) const {
    int y = 0;
    for (int r = 0; r < std::min(ARow, FFixedRows); ++r) y += FRowHeights[static_cast<std::size_t>(r)] + RowLineWidth();
    if (ARow < FFixedRows) return y;
    if (ARow < FTopRow) return -1;
    for (int r = FTopRow; r < ARow; ++r) y += FRowHeights[static_cast<std::size_t>(r)] + RowLineWidth();
    return y;
}

int TCustomGrid::VisibleRowCount() const {
    const int height = ClientHeight();
    int y = RowTop(FTopRow);
    int count = 0;
    for (int r = FTopRow; r < RowCount(); ++r) {
        const int h = FRowHeights[static_cast<std::size_t>(r)];
        if (y + h > height) break;
        ++count;
        y += h + RowLineWidth();
    }
    return count;
}

int TCustomGrid::VisibleColCount() const {
    const int width = ClientWidth();
    int x = FixedColsWidth();
    int count = 0;
    for (int c = FLeftCol; c < ColCount(); ++c) {
        const int w = FColWidths[static_cast<std::size_t>(c)];
        if (w < 0) continue;
        if (x + w > width) break;
        ++count;
        x += w + ColLineWidth();
    }
    return count;
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const {
    if (ACol < 0 || ACol >= ColCount() || ARow < 0 || ARow >= RowCount()) return {};
    const int w = FColWidths[static_cast<std::size_t>(ACol)];
    const int top = RowTop(ARow);
    const int left = ColLeft(ACol);
    if (w < 0 || top < 0 || left < 0) return {};
    return {left, top, left + w, top + FRowHeights[static_cast<std::size_t>(ARow)]};
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const {
    TGridCoord cell;
    int x = 0;
    for (int c = 0; c < ColCount(); ++c) {
        const int w = FColWidths[static_cast<std::size_t>(c)];
        if (w < 0 || (c >= FFixedCols && c < FLeftCol)) continue;
        if (X >= x && X < x + w + ColLineWidth()) {
            cell.X = c;
            break;
        }
        x += w + ColLineWidth();
    }
    for (int r = 0; r < RowCount(); ++r) {
        if (r >= FFixedRows && r < FTopRow) continue;
        const int top = RowTop(r);
        if (top > ClientHeight()) break;
        if (Y >= top && Y < top + FRowHeights[static_cast<std::size_t>(r)] + RowLineWidth()) {
            cell.Y = r;
            break;
        }
    }
    if (X < 0 || Y < 0) cell = {};
    return cell;
}

void TCustomGrid::InvalidateRect(const TRect& R) {
    if (!R.Empty()) Grid()->viewport()->update(ToQRect(R));
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) {
    TRect r = CellRect(ACol, ARow);
    r.Right += ColLineWidth();
    r.Bottom += RowLineWidth();
    InvalidateRect(r);
}

void TCustomGrid::InvalidateRow(int ARow) {
    if (ARow < 0 || ARow >= RowCount()) return;
    const int top = RowTop(ARow);
    if (top < 0) return;
    InvalidateRect(
        {0, top, Grid()->viewport()->width(), top + FRowHeights[static_cast<std::size_t>(ARow)] + RowLineWidth()});
}

void TCustomGrid::InvalidateCol(int ACol) {
    if (ACol < 0 || ACol >= ColCount() || FColWidths[static_cast<std::size_t>(ACol)] < 0) return;
    const int left = ColLeft(ACol);
    if (left < 0) return;
    InvalidateRect(
        {left, 0, left + FColWidths[static_cast<std::size_t>(ACol)] + ColLineWidth(), Grid()->viewport()->height()});
}

void TCustomGrid::InvalidateGrid() { Grid()->viewport()->update(); }

void TCustomGrid::ScrollRect(int DX, int DY, const TRect& R) {
    if (!R.Empty()) Grid()->viewport()->scroll(DX, DY, ToQRect(R));
}

// The window's pending update request paints every invalid part of it at
// once; a repaint() of the viewport would paint all of it.
void TCustomGrid::Update() {
    if (Grid()->isVisible()) QCoreApplication::sendPostedEvents(Grid()->window(), QEvent::UpdateRequest);
}

bool TCustomGrid::ShowScrollBar(bool Horizontal, bool Visible) {
    bool& shown = Horizontal ? FHorzVisible : FVertVisible;
    if (shown == Visible) return false;
    shown = Visible;
    const Qt::ScrollBarPolicy policy = Visible ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (Horizontal) Grid()->setHorizontalScrollBarPolicy(policy);
    else Grid()->setVerticalScrollBarPolicy(policy);
    return true;
}

void TCustomGrid::SetVertScrollBar(bool Visible, int Min, int Max, int Page, int Pos) {
    const bool changed = ShowScrollBar(false, Visible);
    FVertPos = SetBarRange(*Grid()->verticalScrollBar(), Min, Max - std::max(Page, 1) + 1, Page, Pos);
    // The client area's width changed with it.
    if (changed) UpdateScrollRange();
}

void TCustomGrid::UpdateScrollRange() {
    // Showing or hiding a bar resizes the viewport, which comes back here.
    if (FInScrollRange) return;
    FInScrollRange = true;
    const bool horz = FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth;
    const bool vert = FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth;
    // Each bar takes room from the other direction, so showing or hiding one
    // can do the same to the other; three passes settle both.
    for (int pass = 0; pass < 3; ++pass) {
        bool changed = ShowScrollBar(true, horz && MaxLeftCol() > FFixedCols);
        if (vert) changed = ShowScrollBar(false, MaxTopRow() > FFixedRows) || changed;
        if (!changed) break;
    }
    const int maxLeft = MaxLeftCol(), maxTop = MaxTopRow();
    if (FLeftCol > maxLeft || FTopRow > maxTop) {
        FLeftCol = std::min(FLeftCol, maxLeft);
        FTopRow = std::min(FTopRow, maxTop);
        InvalidateGrid();
    }
    if (horz) SetBarRange(*Grid()->horizontalScrollBar(), FFixedCols, maxLeft, VisibleColCount(), FLeftCol);
    if (vert) FVertPos = SetBarRange(*Grid()->verticalScrollBar(), FFixedRows, maxTop, VisibleRowCount(), FTopRow);
    FInScrollRange = false;
}

void TCustomGrid::ScrollBarAction(int Action) {
    TScrollCode code;
    switch (Action) {
        case QAbstractSlider::SliderSingleStepAdd: code = scLineDown; break;
        case QAbstractSlider::SliderSingleStepSub: code = scLineUp; break;
        case QAbstractSlider::SliderPageStepAdd: code = scPageDown; break;
        case QAbstractSlider::SliderPageStepSub: code = scPageUp; break;
        case QAbstractSlider::SliderToMinimum: code = scTop; break;
        case QAbstractSlider::SliderToMaximum: code = scBottom; break;
        default: code = scTrack; break;
    }
    QScrollBar* bar = Grid()->verticalScrollBar();
    const int pos = bar->sliderPosition();
    // The bar shows what the owner sets, not where the action would take it.
    bar->setSliderPosition(FVertPos);
    ScrollBarRequest(code, pos);
    bar->setSliderPosition(FVertPos);
}

void TCustomGrid::ThumbReleased() {
    QScrollBar* bar = Grid()->verticalScrollBar();
    const int pos = bar->sliderPosition();
    {
        const QSignalBlocker block(bar);
        bar->setSliderPosition(FVertPos);
    }
    ScrollBarRequest(scPosition, pos);
    const QSignalBlocker block(bar);
    bar->setValue(FVertPos);
    bar->setSliderPosition(FVertPos);
}

void TCustomGrid::ScrollBarRequest(TScrollCode Code, int Pos) {
    switch (Code) {
        case scLineUp: SetTopRow(FTopRow - 1); break;
        case scLineDown: SetTopRow(FTopRow + 1); break;
        case scPageUp: SetTopRow(FTopRow - std::max(VisibleRowCount(), 1)); break;
        case scPageDown: SetTopRow(FTopRow + std::max(VisibleRowCount(), 1)); break;
        case scTop: SetTopRow(FFixedRows); break;
        case scBottom: SetTopRow(RowCount() - 1); break;
        case scPosition: SetTopRow(Pos); break;
        default: break;
    }
}

bool TCustomGrid::IsActiveControl() const {
    if (!Focused()) return false;
    return !ParentForm() || ParentForm()->ActiveControl() == this;
}

void TCustomGrid::Paint(QPainter& Painter, const TRect& Area) {
    TCanvas canvas(Painter, *Grid());
    const int clientW = Grid()->viewport()->width();
    const int clientH = Grid()->viewport()->height();
    const bool focused = Focused();
    const int clw = ColLineWidth(), rlw = RowLineWidth();
    int maxRight = 0, maxBottom = 0;
    auto paintRow = [&](int r) {
        const int top = RowTop(r);
        const int h = FRowHeights[static_cast<std::size_t>(r)];
        int x = 0;
        for (int c = 0; c < ColCount() && x < clientW; ++c) {
            const int w = FColWidths[static_cast<std::size_t>(c)];
            if (w < 0 || (c >= FFixedCols && c < FLeftCol)) continue;
            const TRect cell{x, top, x + w, top + h};
            const bool fixed = c < FFixedCols || r < FFixedRows;
            const TRect withLines{x, top, x + w + clw, top + h + rlw};
            if (withLines.Right > Area.Left && withLines.Left < Area.Right && withLines.Bottom > Area.Top &&
                withLines.Top < Area.Bottom) {
                TGridDrawState state;
                if (fixed) state.Include(gdFixed);
                if (!fixed && r == FRow && (c == FCol || FOptions.Contains(goRowSelect))) state.Include(gdSelected);
                if (!fixed && r == FRow && c == FCol && focused) state.Include(gdFocused);
                if (r < FFixedRows && c == FPressedCol && FPressedFixed) state.Include(gdPressed);
                if (r < FFixedRows && c == FHotCol) state.Include(gdHotTrack);
                Painter.save();
                Painter.setClipRect(ToQRect(cell));
                DrawCell(canvas, c, r, cell, state);
                Painter.restore();
                const bool vert = fixed ? FOptions.Contains(goFixedVertLine) : FOptions.Contains(goVertLine);
                const bool horz = fixed ? FOptions.Contains(goFixedHorzLine) : FOptions.Contains(goHorzLine);
                const TColor line = fixed ? clBtnShadow : clBtnFace;
                canvas.FillPixels({cell.Right, top, cell.Right + clw, top + h + rlw}, vert ? line : FColor);
                canvas.FillPixels({x, cell.Bottom, cell.Right, cell.Bottom + rlw}, horz ? line : FColor);
            }
            x += w + clw;
        }
        maxRight = std::max(maxRight, x);
        maxBottom = std::max(maxBottom, top + h + rlw);
    };
    for (int r = 0; r < std::min(FFixedRows, RowCount()); ++r) paintRow(r);
    for (int r = FTopRow; r < RowCount() && RowTop(r) < clientH; ++r) paintRow(r);
    canvas.FillPixels({maxRight, 0, clientW, clientH}, FColor);
    canvas.FillPixels({0, maxBottom, std::min(maxRight, clientW), clientH}, FColor);
}

void TCustomGrid::DrawCell(TCanvas& Canvas, int, int, const TRect& ARect, TGridDrawState AState) {
    Canvas.SetBrushColor(AState.Contains(gdFixed) ? FFixedColor : FColor);
    Canvas.FillRect(ARect);
}

bool TCustomGrid::SelectCell(int, int) { return true; }

void TCustomGrid::FocusCell(int ACol, int ARow) {
    ACol = std::clamp(ACol, std::min(FFixedCols, ColCount() - 1), ColCount() - 1);
    ARow = std::clamp(ARow, std::min(FFixedRows, RowCount() - 1), RowCount() - 1);
    if (SelectCell(ACol, ARow)) MoveColRow(ACol, ARow, true);
}

void TCustomGrid::MoveColRow(int ACol, int ARow, bool Show) {
    const int oldRow = FRow;
    const int oldCol = FCol;
    FCol = ACol;
    FRow = ARow;
    ClampCurrent();
    InvalidateRow(oldRow);
    InvalidateRow(FRow);
    if (FRow != oldRow || FCol != oldCol) AnnounceCurrentCell();
    if (Show) ScrollIntoView();
}

// Scrolls the least that shows the current cell whole, or from its start
// when it is larger than the room.
void TCustomGrid::ScrollIntoView() {
    if (FRow >= FFixedRows) {
        if (FRow < FTopRow) SetTopRow(FRow);
        else if (RowTop(FRow) + FRowHeights[static_cast<std::size_t>(FRow)] > ClientHeight())
            SetTopRow(FirstRowShowing(FRow));
    }
    const int w = FColWidths[static_cast<std::size_t>(FCol)];
    if (FCol >= FFixedCols && w >= 0) {
        if (FCol < FLeftCol) SetLeftCol(FCol);
        else if (ColLeft(FCol) + w > ClientWidth()) SetLeftCol(FirstColShowing(FCol));
    }
}

int TCustomGrid::ReaderRowCount() const { return RowCount() - FFixedRows; }

int TCustomGrid::ReaderColCount() const { return ColCount() - FFixedCols; }

String TCustomGrid::ReaderCellText(int, int) const { return {}; }

String TCustomGrid::ReaderColumnHeader(int) const { return {}; }

TGridCoord TCustomGrid::ReaderCellCoord(int Row, int Column) const {
    return {Column + FFixedCols, Row < 0 ? FFixedRows - 1 : Row + FFixedRows};
}

TGridCoord TCustomGrid::ReaderCurrentCell() const { return {FCol - FFixedCols, FRow - FFixedRows}; }

void TCustomGrid::AnnounceCurrentCell() {
    if (!ComponentState().Contains(rtl::csDestroying)) AnnounceGridCurrentCell(*this);
}

void TCustomGrid::AnnounceTableReset() {
    if (!ComponentState().Contains(rtl::csDestroying)) AnnounceGridReset(*this);
}

void TCustomGrid::KeyDown(int& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
    switch (Key) {
        case VK_UP: FocusCell(FCol, FRow - 1); break;
        case VK_DOWN: FocusCell(FCol, FRow + 1); break;
        case VK_LEFT: FocusCell(FCol - 1, FRow); break;
        case VK_RIGHT: FocusCell(FCol + 1, FRow); break;
        case VK_HOME: FocusCell(FFixedCols, FRow); break;
        case VK_END: FocusCell(ColCount() - 1, FRow); break;
        case VK_TAB:
            if (FOptions.Contains(goTabs) && !Shift.Contains(ssAlt))
                FocusCell(Shift.Contains(ssShift) ? FCol - 1 : FCol + 1, FRow);
            break;
        default: break;
    }
}

bool TCustomGrid::Sizing(int X, int Y) const { return SizingCol(X, Y) >= 0; }

// The last column wins, so that a column dragged down to no width can be widened again.
int TCustomGrid::SizingCol(int X, int Y) const {
    if (!FOptions.Contains(goColSizing) || FFixedRows == 0) return -1;
    if (Y < 0 || Y >= FixedRowsHeight()) return -1;
    for (int c = ColCount() - 1; c >= FLeftCol; --c) {
        const int w = FColWidths[static_cast<std::size_t>(c)];
        if (w < 0) continue;
        const int border = ColLeft(c) + w;
        if (X >= border - 2 && X <= border + ColLineWidth() + 1) return c;
    }
    return -1;
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Shift.Contains(ssDouble)) {
        DblClick();
        return;
    }
    if (Button != mbLeft) return;
    if (const int sized = SizingCol(X, Y); sized >= 0) {
        FSizingIndex = sized;
        FGridState = gsColSizing;
        return;
    }
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.X < 0 || cell.Y < 0) return;
    if (cell.Y < FFixedRows) {
        if (cell.X < FFixedCols) return;
        if (FOptions.Contains(goColMoving)) {
            FMoveIndex = cell.X;
            FMoveStartX = X;
        }
        if (FOptions.Contains(goFixedRowClick)) {
            FPressedCol = cell.X;
            FPressedFixed = true;
            InvalidateCell(cell.X, cell.Y);
        }
        return;
    }
    if (cell.X >= FFixedCols) FocusCell(cell.X, cell.Y);
}

void TCustomGrid::MouseMove(TShiftState, int X, int Y) {
    if (FGridState == gsColSizing) {
        // The column's left edge moves when narrowing it scrolls earlier columns in.
        const int left = ColLeft(FSizingIndex);
        if (left >= 0) SetColWidths(FSizingIndex, std::max(X - left, 0));
        return;
    }
    if (FMoveIndex >= 0 && FGridState == gsNormal && std::abs(X - FMoveStartX) > 4) {
        FGridState = gsColMoving;
        if (FPressedCol >= 0) InvalidateCell(FPressedCol, 0);
        FPressedCol = -1;
        FPressedFixed = false;
    }
    if (FOptions.Contains(goFixedHotTrack) && FGridState == gsNormal) {
        const TGridCoord cell = MouseCoord(X, Y);
        SetHotCol(cell.Y >= 0 && cell.Y < FFixedRows && cell.X >= FFixedCols ? cell.X : -1);
    }
    Grid()->viewport()->setCursor(FGridState == gsColSizing || Sizing(X, Y) ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void TCustomGrid::SetHotCol(int Value) {
    if (Value == FHotCol) return;
    for (int r = 0; r < FFixedRows; ++r) {
        InvalidateCell(FHotCol, r);
        InvalidateCell(Value, r);
    }
    FHotCol = Value;
}

void TCustomGrid::MouseUp(TMouseButton, TShiftState, int X, int Y) {
    const TGridState state = FGridState;
    FGridState = gsNormal;
    const int moveIndex = FMoveIndex, pressed = FPressedCol;
    FMoveIndex = -1;
    FPressedCol = -1;
    FPressedFixed = false;
    if (pressed >= 0) InvalidateCell(pressed, 0);
    if (state == gsColSizing) {
        ColWidthsChanged();
    } else if (state == gsColMoving) {
        TGridCoord cell = MouseCoord(X, 0);
        int target = cell.X < 0 ? (X < 0 ? FFixedCols : ColCount() - 1) : cell.X;
        target = std::max(target, FFixedCols);
        if (target != moveIndex) MoveColumn(moveIndex, target);
    } else if (pressed >= 0) {
        const TGridCoord cell = MouseCoord(X, Y);
        if (cell.X == pressed && cell.Y >= 0 && cell.Y < FFixedRows) FixedCellClick(cell.X, cell.Y);
    }
}

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex) {
    auto move = [&](auto& v) {
        auto value = v[static_cast<std::size_t>(FromIndex)];
        v.erase(v.begin() + FromIndex);
        v.insert(v.begin() + ToIndex, value);
    };
    move(FColWidths);
    std::vector<bool> stops(FTabStops.begin(), FTabStops.end());
    bool stop = stops[static_cast<std::size_t>(FromIndex)];
    stops.erase(stops.begin() + FromIndex);
    stops.insert(stops.begin() + ToIndex, stop);
    FTabStops = std::move(stops);
    UpdateScrollRange();
    ColumnMoved(FromIndex, ToIndex);
    InvalidateGrid();
}

void TCustomGrid::ColWidthsChanged() {}
void TCustomGrid::ColumnMoved(int, int) {}
void TCustomGrid::FixedCellClick(int, int) {}

bool TCustomGrid::DoMouseWheel(TShiftState Shift, int WheelDelta) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, handled);
    return handled;
}

void TCustomGrid::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TCustomGrid::DoEnter() {
    InvalidateRow(FRow);
    if (OnEnter) OnEnter(this);
}

void TCustomGrid::DoExit() {
    InvalidateRow(FRow);
    if (OnExit) OnExit(this);
}

}  // namespace toolkit
