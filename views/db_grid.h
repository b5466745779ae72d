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

namespace views {

using rtl::String;
using toolkit::TColor;
using toolkit::TFont;

enum TDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
    dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgMultiSelect, dgTitleClick,
    dgTitleHotTrack
};
using TDBGridOptions = rtl::Set<TDBGridOption>;

enum TColumnValue {
    cvColor, cvWidth, cvFont, cvAlignment, cvReadOnly, cvTitleColor, cvTitleCaption, cvTitleAlignment,
    cvTitleFont, cvImeMode, cvImeName
};
using TColumnValues = rtl::Set<TColumnValue>;
enum TDBGridColumnsState { csDefault, csCustomized };
enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

class TCustomDBGrid;
class TColumn;

// A column's title: caption, alignment, colour and font, each either assigned
// or following its default.
class TColumnTitle {
public:
    explicit TColumnTitle(TColumn* Column) : FColumn(Column) {}
    // The field's display name, or the column's field name without a field.
    String Caption() const;
    void SetCaption(const String& Value);
    data::TAlignment Alignment() const;
    void SetAlignment(data::TAlignment Value);
    TColor Color() const;
    void SetColor(TColor Value);
    TFont Font() const;
    void SetFont(const TFont& Value);
    String DefaultCaption() const;

private:
    TColumn* FColumn;
    String FCaption;
    data::TAlignment FAlignment = data::taLeftJustify;
    TColor FColor = 0;
    TFont FFont;
};

// One grid column: the field it shows (looked up by name) and how it shows it.
class TColumn {
public:
    TColumn(TCustomDBGrid* Grid, bool Stored);

    TCustomDBGrid* Grid() const { return FGrid; }
    int Index() const;
    // The column's field, looked up by name while the dataset is active.
    data::TField* Field() const;
    void SetField(data::TField* Value);
    const String& FieldName() const { return FFieldName; }
    void SetFieldName(const String& Value);
    TColumnTitle& Title() { return FTitle; }
    const TColumnTitle& Title() const { return FTitle; }

    int Width() const;
    void SetWidth(int Value);
    int DefaultWidth() const;
    data::TAlignment Alignment() const;
    void SetAlignment(data::TAlignment Value);
    TColor Color() const;
    void SetColor(TColor Value);
    TFont Font() const;
    void SetFont(const TFont& Value);
    bool ReadOnly() const;
    void SetReadOnly(bool Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    // Whether a structured field's column shows its children (True) or itself.
    bool Expanded() const { return FExpanded; }
    void SetExpanded(bool Value);
    bool Expandable() const;
    // The column of the structured field this column's field belongs to, or null.
    TColumn* ParentColumn() const;
    // Visible, under visible and expanded parents, and not itself expanded.
    bool Showing() const;
    // How many structured columns this column sits under.
    int Depth() const;
    bool Stored() const { return FStored; }
    TColumnValues AssignedValues() const { return FAssignedValues; }
    void RestoreDefaults();

    // The earlier interface of the window's code.
    String TitleCaption() const { return FTitle.Caption(); }
    void SetTitleCaption(const String& Value) { FTitle.SetCaption(Value); }

private:
    friend class TColumnTitle;
    friend class TDBGridColumns;
    friend class TCustomDBGrid;
    void Changed();

    TCustomDBGrid* FGrid;
    mutable data::TField* FField = nullptr;
    String FFieldName;
    TColor FColor = 0;
    int FWidth = 0;
    TColumnTitle FTitle;
    TFont FFont;
    int FDropDownRows = 7;
    TColumnButtonStyle FButtonStyle = cbsAuto;
    data::TAlignment FAlignment = data::taLeftJustify;
    bool FReadonly = false;
    TColumnValues FAssignedValues;
    bool FVisible = true;
    bool FExpanded = true;
    bool FStored = true;
};

// The grid's columns, in display order.
class TDBGridColumns {
public:
    explicit TDBGridColumns(TCustomDBGrid* Grid) : FGrid(Grid) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    TColumn* Items(int Index) const;
    TColumn* operator[](int Index) const { return Items(Index); }
    // A stored column (as the form creates them).
    TColumn* Add();
    void Clear();
    void Delete(int Index);
    void Move(int FromIndex, int ToIndex);
    int IndexOf(const TColumn* Column) const;
    TDBGridColumnsState State() const;
    void SetState(TDBGridColumnsState Value);

private:
    friend class TCustomDBGrid;
    TColumn* Insert(int Index, bool Stored);
    TCustomDBGrid* FGrid;
    std::vector<std::unique_ptr<TColumn>> FItems;
};

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
    void UpdateRowCount();
    void UpdateActive();
    void UpdateScrollBar();
    void ColumnChanged(TColumn* Column);
    void InvalidateColumn(TColumn* Column);
    bool AcquireFocus();
    int RawToDataColumn(int ACol) const { return ACol - FIndicatorOffset; }
    int DataToRawColumn(int ACol) const { return ACol + FIndicatorOffset; }
    void MoveCol(int RawCol);
    void NextRow(bool Select);
    void PriorRow(bool Select);
    void Tab(bool GoForward);
    void ClearSelection() {}
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
