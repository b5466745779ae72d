#pragma once
// TCustomGrid: a focusable, custom-painted grid of cells with fixed leading
// rows and columns, scrolled by whole columns (LeftCol) and rows (TopRow).
// Descendants paint the cells (DrawCell) and react to the keyboard, the mouse,
// the wheel and the vertical scroll bar; one that drives the vertical bar
// itself leaves it out of ScrollBars and sets it with SetVertScrollBar.

#include <QFont>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/set.h"
#include "toolkit/controls.h"
#include "toolkit/scroll_style.h"

class QPainter;
class QFont;

namespace toolkit {

class EInvalidGridOperation : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// A colour: 0xRRGGBB, or one of the system colours below (resolved from the
// toolkit's palette when drawn).
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;  // no colour, e.g. a bitmap's transparent pixels
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clBtnFace = clSystemColor | 1;
constexpr TColor clWindow = clSystemColor | 2;
constexpr TColor clWindowText = clSystemColor | 3;
constexpr TColor clHighlight = clSystemColor | 4;
constexpr TColor clHighlightText = clSystemColor | 5;
constexpr TColor clBtnText = clSystemColor | 6;
constexpr TColor clGrayText = clSystemColor | 7;
constexpr TColor clBtnShadow = clSystemColor | 8;
constexpr TColor clBtnHighlight = clSystemColor | 9;

// A font by family (empty: the design font) and character height in pixels.
struct TFont {
    String Name;
    int PixelHeight = 11;
    TColor Color = clWindowText;
    bool operator==(const TFont&) const = default;
};
QFont ToQFont(const TFont& Font);
// Height of a line of text in Font, and the width of Text in it.
int FontTextHeight(const TFont& Font);
int FontTextWidth(const TFont& Font, const String& Text);

// A rectangle; Right and Bottom lie just outside it.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

// A small image of solid pixels (0xRRGGBB), drawn with one colour transparent.
struct TBitmap {
    int Width = 0, Height = 0;
    std::vector<TColor> Pixels;  // row by row
    TColor Pixel(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y * Width + X)]; }
};

// Drawing on the grid during a paint: a brush for fills and opaque text, a font.
class TCanvas {
public:
    explicit TCanvas(QPainter& Painter, const QWidget& Widget);
    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor Value) { FBrushColor = Value; }
    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& Value);
    void SetFontColor(TColor Value) { FFont.Color = Value; }

    void FillRect(const TRect& R);
    int TextHeight(const String& Text) const;
    int TextWidth(const String& Text) const;
    // Fills R with the brush and draws Text with its top-left corner at X, Y,
    // clipped to R.
    void TextRect(const TRect& R, int X, int Y, const String& Text);
    void Draw(int X, int Y, const TBitmap& Image, TColor TransparentColor);
    void DrawFocusRect(const TRect& R);
    // Light top-left and dark bottom-right edges just inside R.
    void Frame3D(const TRect& R);
    void FillPixels(const TRect& R, TColor Color);

private:
    // The Qt font of FFont and its ascent, made when text is first drawn in
    // it: a grid draws every cell in one or two fonts, and resolving a font
    // costs far more than drawing a short text.
    const QFont& ResolvedFont();

    QPainter& FPainter;
    const QWidget& FWidget;
    TColor FBrushColor = clWindow;
    TFont FFont;
    std::optional<QFont> FResolved;
    int FAscent = 0;
};

enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };
// clang-format off
enum TGridOption {
    goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goDrawFocusSelected,
    goRowSizing, goColSizing, goRowMoving, goColMoving, goEditing, goTabs, goRowSelect,
    goAlwaysShowEditor, goThumbTracking, goFixedColClick, goFixedRowClick, goFixedHotTrack
};
// clang-format on
using TGridOptions = rtl::Set<TGridOption>;
enum TGridDrawStateFlag { gdSelected, gdFocused, gdFixed, gdPressed, gdHotTrack };
using TGridDrawState = rtl::Set<TGridDrawStateFlag>;

struct TGridCoord {
    int X = -1, Y = -1;
};

// clang-format off
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
// clang-format on
using TShiftState = rtl::Set<TShiftFlag>;

// clang-format off
// Key codes given to KeyDown. Letters and digits come as their upper-case
// characters, any other key as 0.
constexpr int VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35,
              VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45,
              VK_DELETE = 46, VK_F2 = 113;
// clang-format on

// Requests of the vertical scroll bar; scPosition carries the released thumb's place.
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

using TKeyEvent = std::function<void(TComponent* Sender, int& Key, TShiftState Shift)>;
using TMouseWheelEvent = std::function<void(TComponent* Sender, TShiftState Shift, int WheelDelta, bool& Handled)>;

class GridWidget;

class TCustomGrid : public TControl {
public:
    explicit TCustomGrid(TComponent* AOwner);
    ~TCustomGrid() override;

    int ColCount() const { return static_cast<int>(FColWidths.size()); }
    void SetColCount(int Value);
    int RowCount() const { return static_cast<int>(FRowHeights.size()); }
    void SetRowCount(int Value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int Value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int Value);
    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    // Setting it gives every row this height.
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    // -1 hides a column.
    int ColWidths(int Index) const;
    void SetColWidths(int Index, int Value);
    int RowHeights(int Index) const;
    void SetRowHeights(int Index, int Value);
    bool TabStops(int Index) const;
    void SetTabStops(int Index, bool Value);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int Value);
    // The first scrollable row shown below the fixed rows, and the first
    // scrollable column shown right of the fixed columns. Neither goes past
    // the place where the last row (column) is fully visible.
    int TopRow() const { return FTopRow; }
    void SetTopRow(int Value);
    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int Value);
    // The bars the grid keeps itself: the horizontal one by columns, the
    // vertical one by rows. Each shows only while something is out of view.
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    int Col() const { return FCol; }
    void SetCol(int Value) { FocusCell(Value, FRow); }
    int Row() const { return FRow; }
    void SetRow(int Value) { FocusCell(FCol, Value); }
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions Value);
    TGridState State() const { return FGridState; }
    // The column whose title is under the mouse with goFixedHotTrack, or -1.
    int HotCol() const { return FHotCol; }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor Value);
    TFont Font() const;
    void SetFont(const TFont& Value);

    // Rows from TopRow on whose whole height (their trailing grid line aside)
    // fits in the client area.
    int VisibleRowCount() const;
    // Scrollable columns from LeftCol on whose whole width (their trailing
    // grid line aside) fits in the client area.
    int VisibleColCount() const;
    int ClientWidth() const;
    int ClientHeight() const;
    // The cell's rectangle in client coordinates (empty when not on screen).
    TRect CellRect(int ACol, int ARow) const;
    // The cell under a client point; X or Y is -1 off the cells.
    TGridCoord MouseCoord(int X, int Y) const;
    // The grid can lay itself out (always, for this toolkit).
    bool HandleAllocated() const { return true; }

    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid();
    void InvalidateRect(const TRect& R);
    // Moves the pixels inside R by DX, DY; the uncovered part is repainted.
    void ScrollRect(int DX, int DY, const TRect& R);
    // Paints the invalid parts now.
    void Update();

    // The vertical bar of a grid whose ScrollBars leave it out: shown or
    // hidden, its range with the page counted in (positions run from Min to
    // Max - Page + 1), and its position.
    void SetVertScrollBar(bool Visible, int Min, int Max, int Page, int Pos);
    bool VertScrollBarVisible() const { return FVertVisible; }

    // What a screen reader is told. Reader rows and columns count the cells
    // past the fixed ones that hold content; row -1 is a column's header.
    virtual int ReaderRowCount() const;
    virtual int ReaderColCount() const;
    virtual String ReaderCellText(int Row, int Column) const;
    virtual String ReaderColumnHeader(int Column) const;
    // The grid cell that shows a reader cell, and the reader's current cell
    // ({-1, -1} without one); X is the column, Y the row.
    virtual TGridCoord ReaderCellCoord(int Row, int Column) const;
    virtual TGridCoord ReaderCurrentCell() const;

    TKeyEvent OnKeyDown;
    TMouseWheelEvent OnMouseWheel;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    // Fixed cells are filled with FixedColor, others with Color.
    virtual void DrawCell(TCanvas& Canvas, int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
    virtual void KeyDown(int& Key, TShiftState Shift);
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    // True when the event was handled; the base asks OnMouseWheel.
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta);
    virtual void DblClick();
    virtual void DoEnter();
    virtual void DoExit();
    virtual void Resize() {}
    virtual void ScrollBarRequest(TScrollCode Code, int Pos);
    // Asked before the current cell moves.
    virtual bool SelectCell(int ACol, int ARow);
    // After the user dragged a column border / a column to another place.
    virtual void ColWidthsChanged();
    virtual void ColumnMoved(int FromIndex, int ToIndex);
    // Called on release over a fixed cell pressed with goFixedRowClick.
    virtual void FixedCellClick(int ACol, int ARow);

    // Makes ACol, ARow current (asking SelectCell), scrolled into view.
    void FocusCell(int ACol, int ARow);
    // Makes ACol, ARow current without asking; with Show, scrolls it into view.
    void MoveColRow(int ACol, int ARow, bool Show);
    void MoveColumn(int FromIndex, int ToIndex);
    // Tell assistive technology that the content under the current cell or the
    // table's shape changed (the moves made here announce themselves).
    void AnnounceCurrentCell();
    void AnnounceTableReset();
    // A point on a column border of the title row that starts sizing.
    bool Sizing(int X, int Y) const;
    bool IsActiveControl() const;
    // The column whose title is held down with goFixedRowClick, or -1.
    int PressedCol() const { return FPressedCol; }

private:
    friend class GridWidget;
    GridWidget* Grid() const;
    void Paint(QPainter& Painter, const TRect& Area);
    // -1 for a scrollable column (row) scrolled out before LeftCol (TopRow).
    int ColLeft(int ACol) const;
    int RowTop(int ARow) const;
    int FixedColsWidth() const;
    int FixedRowsHeight() const;
    // The smallest first scrollable column (row) that still shows LastCol
    // (LastRow) whole; LastCol itself when it is wider than the room.
    int FirstColShowing(int LastCol) const;
    int FirstRowShowing(int LastRow) const;
    int MaxLeftCol() const;
    int MaxTopRow() const;
    // Clamps LeftCol and TopRow and sets the grid's own bars after anything
    // that changes the columns, the rows or the client area.
    void UpdateScrollRange();
    // True when the bar's visibility changed.
    bool ShowScrollBar(bool Horizontal, bool Visible);
    bool ColLines() const;
    bool RowLines() const;
    int ColLineWidth() const { return ColLines() ? FGridLineWidth : 0; }
    int RowLineWidth() const { return RowLines() ? FGridLineWidth : 0; }
    void ClampCurrent();
    void ScrollBarAction(int Action);
    void ThumbReleased();
    void ScrollIntoView();
    // The column whose border in the title row is under X, Y, or -1.
    int SizingCol(int X, int Y) const;
    void SetHotCol(int Value);

    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    std::vector<bool> FTabStops;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    int FTopRow = 1;
    int FLeftCol = 1;
    TScrollStyle FScrollBars = TScrollStyle::ssBoth;
    int FCol = 1;
    int FRow = 1;
    TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    TGridState FGridState = gsNormal;
    TColor FColor = clWindow;
    TColor FFixedColor = clBtnFace;
    // Column sizing and moving.
    int FSizingIndex = -1;
    int FMoveIndex = -1;
    int FMoveStartX = 0;
    int FPressedCol = -1;
    bool FPressedFixed = false;
    int FHotCol = -1;
    bool FHorzVisible = false;
    // The vertical bar as the owner (or the grid) set it.
    bool FVertVisible = false;
    int FVertPos = 0;
    bool FInScrollRange = false;
    int FWheelRest = 0;
};

}  // namespace toolkit
