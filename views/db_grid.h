#pragma once
// TDBGrid: the grid that shows a dataset's records as rows and chosen fields
// as columns, follows the dataset's current record and moves the dataset as
// the user navigates. All behaviour lives in TCustomDBGrid.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "data/data_links.h"
#include "rtl/set.h"
#include "toolkit/grids.h"
#include "views/db_grid_columns.h"

namespace views {

// clang-format off
enum TDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
    dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgMultiSelect, dgTitleClick,
    dgTitleHotTrack
};
// clang-format on
using TDBGridOptions = rtl::Set<TDBGridOption>;

// The grid's link to its data source; maps grid columns to dataset fields.
class TGridDataLink : public data::TDataLink {
public:
    explicit TGridDataLink(TCustomDBGrid* Grid);
    ~TGridDataLink() override;
    // The dataset field index shown by a grid data column, or -1.
    int GetMappedIndex(int ColIndex) const;
    int FieldCount() const { return FFieldCount; }
    data::TField* Fields(int Index) const;
    bool SparseMap() const { return FSparseMap; }
    bool IsAggRow(int) const { return false; }
    void Modified() { FModified = true; }
    void Reset();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int Distance) override;
    void EditingChanged() override {}
    void FocusControl(data::TField** FieldRef) override;
    void LayoutChanged() override;
    void RecordChanged(data::TField* Field) override;
    void UpdateData() override;

private:
    friend class TCustomDBGrid;
    void ClearMapping();
    bool AddMapping(const String& FieldName);

    TCustomDBGrid* FGrid;
    int FFieldCount = 0;
    std::vector<int> FFieldMap;
    bool FModified = false;
    bool FInUpdateData = false;
    bool FSparseMap = false;
};

using TDBGridClickEvent = std::function<void(TColumn* Column)>;
using TMovedEvent = std::function<void(rtl::TComponent* Sender, int FromIndex, int ToIndex)>;
// Called for each data cell of a grid whose columns are the default ones, after
// the cell's text is drawn and before OnDrawColumnCell, while the link's
// active record is the cell's row. Field is null for a column without one.
using TDrawDataCellEvent = std::function<void(rtl::TComponent* Sender, const toolkit::TRect& Rect, data::TField* Field,
                                              toolkit::TGridDrawState State)>;
// Called after a data cell is drawn, while the link's active record is the cell's row.
using TDrawColumnCellEvent = std::function<void(rtl::TComponent* Sender, const toolkit::TRect& Rect, int DataCol,
                                                TColumn* Column, toolkit::TGridDrawState State)>;

class TCustomDBGrid : public toolkit::TCustomGrid {
public:
    explicit TCustomDBGrid(rtl::TComponent* AOwner);
    ~TCustomDBGrid() override;

    data::TDataSource* DataSource() const { return FDataLink->DataSource(); }
    // Fails with "Operation not allowed on a unidirectional dataset" before
    // anything changes.
    void SetDataSource(data::TDataSource* Value);
    TGridDataLink& DataLink() const { return *FDataLink; }
    TDBGridColumns& Columns() { return *FColumns; }
    TDBGridOptions Options() const { return FOptions; }
    void SetOptions(TDBGridOptions Value);
    TFont TitleFont() const;
    void SetTitleFont(const TFont& Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value) { FDefaultDrawing = Value; }
    // The data column of the current grid column.
    int SelectedIndex() const;
    void SetSelectedIndex(int Value);
    data::TField* SelectedField() const;
    // The mapped fields, one per data column: Fields(SelectedIndex()) is the
    // selected column's field; null for a column whose field is missing.
    int FieldCount() const { return FDataLink->FieldCount(); }
    data::TField* Fields(int Index) const;
    // The grid row that last showed the indicator.
    int SelRow() const { return FSelRow; }
    int TitleOffset() const { return FTitleOffset; }
    int IndicatorOffset() const { return FIndicatorOffset; }

    void BeginLayout();
    void EndLayout();
    void LayoutChanged();
    void BeginUpdate() { ++FUpdateLock; }
    void EndUpdate() {
        if (FUpdateLock > 0) --FUpdateLock;
    }

    // The earlier interface of the window's code.
    TColumn& AddColumn(const String& FieldName);
    int ColumnCount() const { return FColumns->Count(); }
    TColumn& Columns(int Index);
    void SetTitleFontPixelHeight(int Value);

    TDBGridClickEvent OnTitleClick;
    TDBGridClickEvent OnCellClick;
    toolkit::TNotifyEvent OnColEnter;
    toolkit::TNotifyEvent OnColExit;
    TMovedEvent OnColumnMoved;
    TDrawDataCellEvent OnDrawDataCell;
    TDrawColumnCellEvent OnDrawColumnCell;

    // A reader sees the showing columns and the buffered records, each cell
    // as the field's display text.
    int ReaderRowCount() const override;
    int ReaderColCount() const override;
    String ReaderCellText(int Row, int Column) const override;
    String ReaderColumnHeader(int Column) const override;
    toolkit::TGridCoord ReaderCellCoord(int Row, int Column) const override;
    toolkit::TGridCoord ReaderCurrentCell() const override;

protected:
    // The grid lays itself out once loading from the form ends.
    void Loaded() override;
    void DrawCell(toolkit::TCanvas& Canvas, int ACol, int ARow, const toolkit::TRect& ARect,
                  toolkit::TGridDrawState AState) override;
    void KeyDown(int& Key, toolkit::TShiftState Shift) override;
    void MouseDown(toolkit::TMouseButton Button, toolkit::TShiftState Shift, int X, int Y) override;
    void MouseUp(toolkit::TMouseButton Button, toolkit::TShiftState Shift, int X, int Y) override;
    bool DoMouseWheel(toolkit::TShiftState Shift, int WheelDelta) override;
    void DoExit() override;
    void Resize() override;
    void ScrollBarRequest(toolkit::TScrollCode Code, int Pos) override;
    void ColWidthsChanged() override;
    void ColumnMoved(int FromIndex, int ToIndex) override;

    virtual void TitleClick(TColumn* Column);
    virtual void CellClick(TColumn* Column);
    virtual void ColEnter();
    virtual void ColExit();

private:
    friend class TGridDataLink;
    friend class TColumn;
    friend class TColumnTitle;
    friend class TDBGridColumns;

    // Link notifications.
    void LinkActive(bool Value);
    void DataChanged();
    void Scroll(int Distance);
    void RecordChanged(data::TField* Field);
    void FocusField(data::TField* Field);

    bool AcquireLayoutLock();
    void EndLayoutLocked();
    void InternalLayout();
    bool FieldsExist() const;
    void DropAutomaticColumnsBeforeStored();
    void RebuildFieldMap();
    void BindColumns();
    void CollectShowingColumns();
    void SetTitleOffset();
    void SetRowHeightsAndCount();
    void ApplyColumnAttributes();
    void UpdateRowCount();
    void UpdateActive();
    void UpdateScrollBar();
    void ColumnChanged(TColumn* Column);
    void InvalidateColumn(TColumn* Column);
    bool AcquireFocus();
    int RawToDataColumn(int ACol) const { return ACol - FIndicatorOffset; }
    int DataToRawColumn(int ACol) const { return ACol + FIndicatorOffset; }
    void MoveCol(int RawCol);
    // Puts the field of a moved default column where the displaced column's field was.
    void MoveFieldOfColumn(data::TField* Moved, data::TField* Displaced);
    void NextRow(bool Select);
    void PriorRow(bool Select);
    void Tab(bool GoForward);
    // The keys with and without Ctrl, while the link is active.
    void CtrlKeyDown(int Key);
    void PlainKeyDown(int Key, toolkit::TShiftState Shift);
    // With dgConfirmDelete, the user's answer to "Delete record?".
    bool ConfirmDelete();
    void ClearSelection() {}
    // The dataset inserts a record that neither it nor the grid has changed.
    bool UntouchedInsert() const;
    bool HighlightCell(int DataCol, int DataRow, bool Selected) const;
    void DrawIndicator(toolkit::TCanvas& Canvas, int DataRow, const toolkit::TRect& ARect);
    void DrawTitle(toolkit::TCanvas& Canvas, int DataCol, int TitleRow, const toolkit::TRect& ARect,
                   toolkit::TGridDrawState AState);
    // The column whose title fills a title cell: in object view a column's
    // parents take the title rows above its own, and a shallower column's
    // title reaches down over the rows below it. Null beyond the last column.
    TColumn* TitleColumn(int DataCol, int TitleRow) const;
    // The cell's rectangle widened over its neighbours that show the same
    // title in that row, so a parent's caption sits over all its children.
    toolkit::TRect TitleSpan(int DataCol, int TitleRow, const toolkit::TRect& ARect) const;
    // The data column of the reader's Column-th showing column, or -1.
    int ShowingColumn(int Column) const;
    // The left edge of Text aligned in ARect, Inset pixels from the edge it keeps to.
    static int AlignedLeft(const toolkit::TCanvas& Canvas, const toolkit::TRect& ARect, int Inset, const String& Text,
                           data::TAlignment Alignment);
    void WriteText(toolkit::TCanvas& Canvas, const toolkit::TRect& ARect, const String& Text,
                   data::TAlignment Alignment);

    std::optional<TFont> FTitleFont;
    bool FReadOnly = false;
    bool FUserChange = false;
    bool FIsESCKey = false;
    bool FLayoutFromDataset = false;
    TDBGridOptions FOptions;
    int FTitleOffset = 0;
    int FIndicatorOffset = 0;
    int FIndicatorWidth = 11;
    int FUpdateLock = 0;
    int FLayoutLock = 0;
    bool FInColExit = false;
    bool FDefaultDrawing = true;
    bool FSelecting = false;
    int FSelRow = 0;
    std::unique_ptr<TGridDataLink> FDataLink;
    std::unique_ptr<TDBGridColumns> FColumns;
    std::vector<TColumn*> FVisibleColumns;
    // The vertical bar's position as last set from the dataset's record number.
    int FScrollBarPos = 1;
    bool FUpdateFields = true;
    bool FAcquireFocus = true;
    class FontWatcher;
    std::unique_ptr<FontWatcher> FFontWatcher;
};

class TDBGrid : public TCustomDBGrid {
public:
    explicit TDBGrid(rtl::TComponent* AOwner) : TCustomDBGrid(AOwner) {}
};

}  // namespace views
