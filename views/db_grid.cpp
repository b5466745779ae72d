#include "views/db_grid.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "data/structured_fields.h"
#include "rtl/exceptions.h"
#include "rtl/try_finally.h"
#include "toolkit/application.h"

namespace views {

using namespace toolkit;
using data::TDataSet;
using data::TField;

namespace {

// The map's true limit is 2^28 - 1 entries; the message's "256" is the text users know, kept as it is.
constexpr int MaxMapSize = 268435455;
constexpr const char16_t* STooManyColumns = u"Grid requested to display more than 256 columns";

// The indicator glyphs, 6 x 11 pixels; '#' takes the fixed cells' text colour
// (black in a light palette, light in a dark one), the rest is transparent.
TBitmap Glyph(const char* const (&Rows)[11]) {
    TBitmap b{6, 11, {}};
    for (const char* row : Rows)
        for (int x = 0; x < 6; ++x) b.Pixels.push_back(row[x] == '#' ? clBtnText : clNone);
    return b;
}

const TBitmap& ArrowGlyph() {
    static const TBitmap b = Glyph(
        {"#.....", "##....", "###...", "####..", "#####.", "######", "#####.", "####..", "###...", "##....", "#....."});
    return b;
}
const TBitmap& EditGlyph() {
    static const TBitmap b = Glyph(
        {"##.##.", "..#...", "..#...", "..#...", "..#...", "..#...", "..#...", "..#...", "..#...", "..#...", "##.##."});
    return b;
}
const TBitmap& InsertGlyph() {
    static const TBitmap b = Glyph(
        {"......", "......", "......", "#.#.#.", ".###..", "#####.", ".###..", "#.#.#.", "......", "......", "......"});
    return b;
}

// The dataset's flattened field list, which the field map indexes: the
// fields in order, each structured field followed by its children, depth
// first (children exist as such only in object view).
void AddFlattened(data::TFields& List, std::vector<TField*>& Out) {
    for (TField* field : List) {
        Out.push_back(field);
        if (auto* object = dynamic_cast<data::TObjectField*>(field)) AddFlattened(object->Fields(), Out);
    }
}

std::vector<TField*> FlattenedFields(TDataSet* DataSet) {
    std::vector<TField*> fields;
    if (DataSet) AddFlattened(DataSet->Fields(), fields);
    return fields;
}

}  // namespace

// --- TGridDataLink ---

TGridDataLink::TGridDataLink(TCustomDBGrid* Grid) : FGrid(Grid) { SetVisualControl(true); }

TGridDataLink::~TGridDataLink() = default;

void TGridDataLink::ClearMapping() {
    FFieldMap.clear();
    FFieldMap.shrink_to_fit();
    FFieldCount = 0;
}

bool TGridDataLink::AddMapping(const String& FieldName) {
    if (FFieldCount >= MaxMapSize) throw EInvalidGridOperation(STooManyColumns);
    if (FFieldMap.size() == FFieldMap.capacity()) FFieldMap.reserve(FFieldMap.empty() ? 8 : FFieldMap.capacity() * 2);
    TDataSet* ds = DataSet();
    TField* field = FSparseMap ? ds->FindField(FieldName) : ds->FieldByName(FieldName);
    int index = -1;
    if (field) {
        const std::vector<TField*> fields = FlattenedFields(ds);
        const auto it = std::find(fields.begin(), fields.end(), field);
        if (it != fields.end()) index = static_cast<int>(it - fields.begin());
    }
    FFieldMap.push_back(index);
    ++FFieldCount;
    return field != nullptr;
}

int TGridDataLink::GetMappedIndex(int ColIndex) const {
    return ColIndex >= 0 && ColIndex < FFieldCount ? FFieldMap[static_cast<std::size_t>(ColIndex)] : -1;
}

TField* TGridDataLink::Fields(int Index) const {
    const int mapped = GetMappedIndex(Index);
    if (mapped < 0) return nullptr;
    const std::vector<TField*> fields = FlattenedFields(DataSet());
    return mapped < static_cast<int>(fields.size()) ? fields[static_cast<std::size_t>(mapped)] : nullptr;
}

void TGridDataLink::ActiveChanged() {
    if (Active() && DataSource() && DataSource()->DataSet() && DataSource()->DataSet()->IsUniDirectional())
        data::DatabaseError(data::SDataSetUnidirectional);
    FGrid->LinkActive(Active());
    FModified = false;
}

void TGridDataLink::DataSetChanged() {
    FGrid->DataChanged();
    FModified = false;
}

void TGridDataLink::DataSetScrolled(int Distance) { FGrid->Scroll(Distance); }

void TGridDataLink::LayoutChanged() {
    const bool saved = FGrid->FLayoutFromDataset;
    FGrid->FLayoutFromDataset = true;
    rtl::TryFinally([&] { FGrid->LayoutChanged(); }, [&] { FGrid->FLayoutFromDataset = saved; });
    TDataLink::LayoutChanged();
}

void TGridDataLink::RecordChanged(TField* Field) {
    FGrid->RecordChanged(Field);
    FModified = false;
}

void TGridDataLink::FocusControl(TField** FieldRef) {
    if (!FieldRef || !*FieldRef) return;
    for (TColumn* column : FGrid->FVisibleColumns)
        if (column->Field() == *FieldRef) {
            FGrid->FocusField(*FieldRef);
            *FieldRef = nullptr;
            return;
        }
}

void TGridDataLink::UpdateData() {
    if (FInUpdateData) return;
    FInUpdateData = true;
    FModified = false;
    FInUpdateData = false;
}

void TGridDataLink::Reset() {
    if (FModified) RecordChanged(nullptr);
    else if (DataSet()) DataSet()->Cancel();
}

// --- TCustomDBGrid ---

// Lays the grid out again when its widget's font changes, whether set on the
// grid or taken from its window.
class TCustomDBGrid::FontWatcher : public QObject {
public:
    explicit FontWatcher(TCustomDBGrid* Grid) : FGrid(Grid) { Grid->Widget()->installEventFilter(this); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Watched == FGrid->Widget() && Event->type() == QEvent::FontChange)
            CallHandler([this](rtl::TComponent*) { FGrid->LayoutChanged(); }, FGrid);
        return false;
    }

private:
    TCustomDBGrid* FGrid;
};

TCustomDBGrid::TCustomDBGrid(rtl::TComponent* AOwner)
    : TCustomGrid(AOwner),
      FDataLink(std::make_unique<TGridDataLink>(this)),
      FColumns(std::make_unique<TDBGridColumns>(this)),
      FFontWatcher(std::make_unique<FontWatcher>(this)) {
    // The vertical bar follows the dataset (UpdateScrollBar), not the grid's rows.
    SetScrollBars(TScrollStyle::ssHorizontal);
    SetColCount(2);
    SetRowCount(2);
    SetColor(clWindow);
    SetOptions({dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgConfirmDelete,
                dgCancelOnExit, dgTitleClick, dgTitleHotTrack});
}

TCustomDBGrid::~TCustomDBGrid() {
    Destroying();
    FFontWatcher.reset();
    FDataLink->SetDataSource(nullptr);
}

void TCustomDBGrid::Loaded() {
    TCustomGrid::Loaded();
    LayoutChanged();
}

void TCustomDBGrid::SetDataSource(data::TDataSource* Value) {
    if (Value == DataSource()) return;
    if (Value && Value->DataSet() && Value->DataSet()->IsUniDirectional())
        data::DatabaseError(data::SDataSetUnidirectional);
    FDataLink->SetDataSource(Value);
}

void TCustomDBGrid::SetOptions(TDBGridOptions Value) {
    if (Value.Contains(dgRowSelect)) Value = Value - TDBGridOptions{dgEditing, dgAlwaysShowEditor};
    // clang-format off
    const TDBGridOptions layoutOptions{dgEditing,   dgAlwaysShowEditor, dgTitles,    dgIndicator,
                                       dgColLines,  dgRowLines,         dgRowSelect, dgAlwaysShowSelection};
    // clang-format on
    const bool relayout = ((FOptions - Value) + (Value - FOptions)) * layoutOptions != TDBGridOptions{};
    const bool first = FOptions.Empty() && !Value.Empty();
    FOptions = Value;
    TGridOptions grid;
    if (Value.Contains(dgEditing)) grid.Include(goEditing);
    if (Value.Contains(dgAlwaysShowEditor)) grid.Include(goAlwaysShowEditor);
    if (Value.Contains(dgColumnResize)) grid = grid + TGridOptions{goColSizing, goColMoving};
    if (Value.Contains(dgColLines)) grid = grid + TGridOptions{goFixedVertLine, goVertLine};
    if (Value.Contains(dgRowLines)) grid = grid + TGridOptions{goFixedHorzLine, goHorzLine};
    if (Value.Contains(dgTabs)) grid.Include(goTabs);
    if (Value.Contains(dgRowSelect)) grid.Include(goRowSelect);
    if (Value.Contains(dgTitleClick)) grid.Include(goFixedRowClick);
    if (Value.Contains(dgTitleHotTrack)) grid.Include(goFixedHotTrack);
    TCustomGrid::SetOptions(grid);
    if (relayout || first) LayoutChanged();
}

TFont TCustomDBGrid::TitleFont() const { return FTitleFont ? *FTitleFont : Font(); }

void TCustomDBGrid::SetTitleFont(const TFont& Value) {
    FTitleFont = Value;
    LayoutChanged();
}

void TCustomDBGrid::SetTitleFontPixelHeight(int Value) { SetTitleFont(TFont{u"", Value, clWindowText}); }

void TCustomDBGrid::SetReadOnly(bool Value) {
    FReadOnly = Value;
    LayoutChanged();
}

int TCustomDBGrid::SelectedIndex() const { return RawToDataColumn(Col()); }

void TCustomDBGrid::SetSelectedIndex(int Value) { MoveCol(DataToRawColumn(Value)); }

TField* TCustomDBGrid::SelectedField() const {
    const int index = SelectedIndex();
    return index >= 0 && index < FColumns->Count() ? FColumns->Items(index)->Field() : nullptr;
}

TField* TCustomDBGrid::Fields(int Index) const { return FDataLink->Fields(Index); }

TColumn& TCustomDBGrid::AddColumn(const String& FieldName) {
    TColumn* column = FColumns->Add();
    column->SetFieldName(FieldName);
    return *column;
}

TColumn& TCustomDBGrid::Columns(int Index) { return *FColumns->Items(Index); }

// --- Layout ---

void TCustomDBGrid::BeginLayout() {
    BeginUpdate();
    ++FLayoutLock;
}

void TCustomDBGrid::EndLayout() {
    if (FLayoutLock == 0) return;
    rtl::TryFinally(
        [&] {
            if (FLayoutLock == 1) InternalLayout();
        },
        [&] {
            --FLayoutLock;
            EndUpdate();
        });
}

bool TCustomDBGrid::AcquireLayoutLock() {
    const bool result = FUpdateLock == 0 && FLayoutLock == 0;
    if (result) BeginLayout();
    return result;
}

void TCustomDBGrid::LayoutChanged() {
    if (AcquireLayoutLock()) EndLayout();
}

// The layout's steps, in the order they run: each step relies on the ones before it.
void TCustomDBGrid::InternalLayout() {
    if (ComponentState().Contains(rtl::csDestroying) || ComponentState().Contains(rtl::csLoading)) return;
    DropAutomaticColumnsBeforeStored();
    FIndicatorOffset = FOptions.Contains(dgIndicator) ? 1 : 0;
    RebuildFieldMap();
    BindColumns();
    CollectShowingColumns();
    SetTitleOffset();
    // The row heights come before the row count, so that the dataset's window
    // is sized by the new heights.
    SetRowHeightsAndCount();
    ApplyColumnAttributes();
    UpdateActive();
    InvalidateGrid();
}

bool TCustomDBGrid::FieldsExist() const {
    // Persistent fields exist while the dataset is closed; automatic ones only while it is open.
    const TDataSet* ds = FDataLink->DataSet();
    return ds && (FDataLink->Active() || !ds->DefaultFields());
}

void TCustomDBGrid::DropAutomaticColumnsBeforeStored() {
    auto& items = FColumns->FItems;
    const auto firstStored = std::find_if(items.begin(), items.end(), [](const auto& c) { return c->Stored(); });
    if (firstStored != items.end() && firstStored != items.begin())
        std::erase_if(items, [](const auto& c) { return !c->Stored(); });
}

void TCustomDBGrid::RebuildFieldMap() {
    FDataLink->ClearMapping();
    const bool customized = FColumns->State() == csCustomized;
    FDataLink->FSparseMap = customized;
    if (!FieldsExist()) return;
    if (customized) {
        for (const auto& column : FColumns->FItems) FDataLink->AddMapping(column->FieldName());
    } else {
        for (TField* field : FlattenedFields(FDataLink->DataSet()))
            if (field->Visible()) FDataLink->AddMapping(field->FullName());
    }
}

void TCustomDBGrid::BindColumns() {
    auto& items = FColumns->FItems;
    if (FColumns->State() == csCustomized) {
        for (const auto& column : items) column->FField = nullptr;
    } else if (!FieldsExist()) {
        items.clear();
    } else {
        // Column i shows mapped field i: existing columns move there, missing ones are made.
        for (int i = 0; i < FDataLink->FieldCount(); ++i) {
            TField* field = FDataLink->Fields(i);
            auto it = std::find_if(items.begin() + i, items.end(), [&](const auto& c) { return c->FField == field; });
            if (it == items.end()) {
                FColumns->Insert(i, false);
            } else if (it != items.begin() + i) {
                auto column = std::move(*it);
                items.erase(it);
                items.insert(items.begin() + i, std::move(column));
            }
            items[static_cast<std::size_t>(i)]->FField = field;
            items[static_cast<std::size_t>(i)]->FFieldName = field->FullName();
        }
        items.resize(static_cast<std::size_t>(FDataLink->FieldCount()));
        // A layout from the dataset gives each default column its field's display width.
        if (FLayoutFromDataset)
            for (const auto& column : items) column->FAssignedValues.Exclude(cvWidth);
    }
    if (items.empty()) FColumns->Insert(0, false);
}

void TCustomDBGrid::CollectShowingColumns() {
    FVisibleColumns.clear();
    for (const auto& column : FColumns->FItems)
        if (column->Showing()) FVisibleColumns.push_back(column.get());
    SetColCount(FColumns->Count() + FIndicatorOffset);
    SetFixedCols(FIndicatorOffset);
}

void TCustomDBGrid::SetTitleOffset() {
    // In object view each level of expanded structured columns adds a title row.
    FTitleOffset = 0;
    if (!FOptions.Contains(dgTitles)) return;
    FTitleOffset = 1;
    const TDataSet* ds = FDataLink->DataSet();
    if (ds && ds->ObjectView())
        for (const TColumn* column : FVisibleColumns) FTitleOffset = std::max(FTitleOffset, column->Depth() + 1);
}

void TCustomDBGrid::SetRowHeightsAndCount() {
    int rowHeight = FontTextHeight(Font()) + 3;
    if (FOptions.Contains(dgRowLines)) rowHeight += GridLineWidth();
    SetDefaultRowHeight(rowHeight);
    UpdateRowCount();
    if (!FOptions.Contains(dgTitles)) return;
    const auto& items = FColumns->FItems;
    int titleHeight = 0;
    for (const auto& column : items) titleHeight = std::max(titleHeight, FontTextHeight(column->Title().Font()));
    if (items.empty()) titleHeight = FontTextHeight(TitleFont());
    for (int r = 0; r < FTitleOffset; ++r) SetRowHeights(r, titleHeight + 4);
    // Taller titles leave room for fewer data rows.
    UpdateRowCount();
}

void TCustomDBGrid::ApplyColumnAttributes() {
    if (FIndicatorOffset > 0) {
        SetColWidths(0, FIndicatorWidth);
        SetTabStops(0, false);
    }
    for (int i = 0; i < FColumns->Count(); ++i) {
        TColumn* column = FColumns->Items(i);
        SetColWidths(i + FIndicatorOffset, column->Width());
        TField* field = column->Field();
        SetTabStops(i + FIndicatorOffset, column->Showing() && !column->ReadOnly() && FDataLink->Active() && field &&
                                              field->FieldKind() != data::fkCalculated && !field->ReadOnly());
    }
    if (Col() < FIndicatorOffset) MoveColRow(FIndicatorOffset, Row(), false);
}

void TCustomDBGrid::UpdateRowCount() {
    const int oldRows = RowCount();
    if (RowCount() <= FTitleOffset) SetRowCount(FTitleOffset + 1);
    SetFixedRows(FTitleOffset);
    if (FDataLink->Active() && FDataLink->RecordCount() > 0 && HandleAllocated()) {
        // Enough rows to fill any client area, so VisibleRowCount counts the rows that fit, not the rows there are.
        SetRowCount(1000);
        FDataLink->SetBufferCount(std::max(VisibleRowCount(), 1));
        SetRowCount(FDataLink->RecordCount() + FTitleOffset);
        if (FOptions.Contains(dgRowSelect)) SetTopRow(FixedRows());
        UpdateActive();
    } else {
        SetRowCount(FTitleOffset + 1);
    }
    if (oldRows != RowCount()) InvalidateGrid();
}

void TCustomDBGrid::UpdateActive() {
    if (!FDataLink->Active() || !HandleAllocated() || ComponentState().Contains(rtl::csDestroying) ||
        ComponentState().Contains(rtl::csLoading))
        return;
    const int newRow = FDataLink->ActiveRecord() + FTitleOffset;
    if (Row() != newRow && newRow < RowCount()) MoveColRow(Col(), newRow, false);
}

void TCustomDBGrid::UpdateScrollBar() {
    if (!FDataLink->Active() || ComponentState().Contains(rtl::csDestroying)) {
        SetVertScrollBar(false, 0, 0, 0, 0);
        return;
    }
    TDataSet* ds = FDataLink->DataSet();
    if (ds->IsSequenced()) {
        const int count = ds->RecordCount();
        const int page = VisibleRowCount();
        const data::TDataSetState state = ds->State();
        // While inserting (or in any other state) there is no record number
        // to show: the thumb stays where it was.
        if (state == data::dsInactive || state == data::dsBrowse || state == data::dsEdit) FScrollBarPos = ds->RecNo();
        SetVertScrollBar(count > 1, 1, count + page - 1, page, FScrollBarPos);
    } else {
        const int pos = ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
        SetVertScrollBar(true, 0, 4, 0, pos);
    }
}

// --- Following the dataset ---

void TCustomDBGrid::LinkActive(bool Value) {
    const TDataSet* ds = FDataLink->DataSet();
    bool laidOut = false;
    rtl::TryFinally(
        [&] {
            LayoutChanged();
            laidOut = true;
        },
        [&] {
            // Automatic fields go with the closed dataset, and a layout that
            // failed may have left columns on fields of an earlier opening:
            // those columns look their fields up again. Persistent fields
            // stay bound while the dataset is closed.
            if (!laidOut || (!Value && (!ds || ds->DefaultFields())))
                for (int i = 0; i < FColumns->Count(); ++i) FColumns->Items(i)->FField = nullptr;
            // The bar follows the link also when the layout failed.
            UpdateScrollBar();
        });
}

void TCustomDBGrid::DataChanged() {
    if (!HandleAllocated()) return;
    UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    InvalidateGrid();
    AnnounceTableReset();
}

void TCustomDBGrid::Scroll(int Distance) {
    if (!HandleAllocated()) return;
    const int oldRow = Row();
    if (FDataLink->ActiveRecord() >= RowCount() - FTitleOffset) UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    // Scrolling at the edge of the buffer brings another record under the same row.
    if (Distance != 0 && Row() == oldRow) AnnounceCurrentCell();
    InvalidateRow(oldRow);
    InvalidateRow(Row());
    if (Distance != 0) {
        if (std::abs(Distance) > VisibleRowCount()) {
            InvalidateGrid();
        } else {
            int rowHeight = DefaultRowHeight();
            if (FOptions.Contains(dgRowLines)) rowHeight += GridLineWidth();
            // The data rows start below the title rows, whichever columns show.
            int firstTop = 0;
            for (int r = 0; r < FTitleOffset; ++r)
                firstTop += RowHeights(r) + (FOptions.Contains(dgRowLines) ? GridLineWidth() : 0);
            ScrollRect(0, -Distance * rowHeight, {0, firstTop, ClientWidth(), ClientHeight()});
            // The rows that move in, and the rows whose look changed with the move.
            if (Distance > 0) {
                for (int r = std::max(RowCount() - Distance, FTitleOffset); r < RowCount(); ++r) InvalidateRow(r);
            } else {
                for (int r = FTitleOffset; r < std::min(FTitleOffset - Distance, RowCount()); ++r) InvalidateRow(r);
            }
            InvalidateRow(oldRow);
            InvalidateRow(oldRow - Distance);
            InvalidateRow(Row());
            if (FIndicatorOffset > 0) {
                InvalidateCell(0, FSelRow);
                InvalidateCell(0, FSelRow - Distance);
                InvalidateCell(0, FDataLink->ActiveRecord() + FTitleOffset);
            }
        }
    }
    if (FUpdateLock == 0) Update();
}

void TCustomDBGrid::RecordChanged(TField* Field) {
    if (!HandleAllocated()) return;
    if (!Field) {
        InvalidateGrid();
        return;
    }
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Field() == Field) InvalidateCol(i + FIndicatorOffset);
}

void TCustomDBGrid::FocusField(TField* Field) {
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Field() == Field) {
            SetSelectedIndex(i);
            break;
        }
    if (CanFocus()) SetFocus();
}

void TCustomDBGrid::ColumnChanged(TColumn* Column) {
    if (FLayoutLock > 0) return;
    const int raw = Column->Index() + FIndicatorOffset;
    if (raw < FIndicatorOffset || raw >= ColCount()) return;
    SetColWidths(raw, Column->Width());
    InvalidateCol(raw);
}

void TCustomDBGrid::InvalidateColumn(TColumn* Column) { InvalidateCol(Column->Index() + FIndicatorOffset); }

// --- Drawing ---

bool TCustomDBGrid::UntouchedInsert() const {
    const TDataSet* ds = FDataLink->DataSet();
    return ds->State() == data::dsInsert && !ds->Modified() && !FDataLink->FModified;
}

bool TCustomDBGrid::HighlightCell(int, int, bool Selected) const {
    return Selected && (Focused() || FOptions.Contains(dgAlwaysShowSelection));
}

int TCustomDBGrid::AlignedLeft(const TCanvas& Canvas, const TRect& ARect, int Inset, const String& Text,
                               data::TAlignment Alignment) {
    if (Alignment == data::taRightJustify) return ARect.Right - Inset - Canvas.TextWidth(Text);
    if (Alignment == data::taCenter) return ARect.Left + (ARect.Width() - Canvas.TextWidth(Text)) / 2;
    return ARect.Left + Inset;
}

void TCustomDBGrid::WriteText(TCanvas& Canvas, const TRect& ARect, const String& Text, data::TAlignment Alignment) {
    Canvas.TextRect(ARect, AlignedLeft(Canvas, ARect, 3, Text, Alignment), ARect.Top + 2, Text);
}

void TCustomDBGrid::DrawIndicator(TCanvas& Canvas, int DataRow, const TRect& ARect) {
    Canvas.SetBrushColor(FixedColor());
    Canvas.FillRect(ARect);
    if (FOptions.Contains(dgColLines) && FOptions.Contains(dgRowLines)) Canvas.Frame3D(ARect);
    if (!FDataLink->Active() || DataRow != FDataLink->ActiveRecord()) return;
    const TBitmap* glyph = &ArrowGlyph();
    const data::TDataSetState state = FDataLink->DataSet()->State();
    if (state == data::dsEdit) glyph = &EditGlyph();
    else if (state == data::dsInsert) glyph = &InsertGlyph();
    const int x = ARect.Right - glyph->Width - 2;
    const int y = (ARect.Top + ARect.Bottom - glyph->Height) / 2;
    Canvas.Draw(x, y, *glyph, clNone);
    FSelRow = DataRow + FTitleOffset;
}

TColumn* TCustomDBGrid::TitleColumn(int DataCol, int TitleRow) const {
    if (DataCol < 0 || DataCol >= FColumns->Count()) return nullptr;
    TColumn* column = FColumns->Items(DataCol);
    for (int depth = column->Depth(); depth > TitleRow; --depth) column = column->ParentColumn();
    return column;
}

TRect TCustomDBGrid::TitleSpan(int DataCol, int TitleRow, const TRect& ARect) const {
    const TColumn* title = TitleColumn(DataCol, TitleRow);
    const int line = FOptions.Contains(dgColLines) ? GridLineWidth() : 0;
    TRect span = ARect;
    for (int c = DataCol - 1; c >= 0 && TitleColumn(c, TitleRow) == title; --c)
        if (ColWidths(DataToRawColumn(c)) >= 0) span.Left -= ColWidths(DataToRawColumn(c)) + line;
    for (int c = DataCol + 1; c < FColumns->Count() && TitleColumn(c, TitleRow) == title; ++c)
        if (ColWidths(DataToRawColumn(c)) >= 0) span.Right += ColWidths(DataToRawColumn(c)) + line;
    return span;
}

void TCustomDBGrid::DrawTitle(TCanvas& Canvas, int DataCol, int TitleRow, const TRect& ARect, TGridDrawState AState) {
    TColumn* column = TitleColumn(DataCol, TitleRow);
    if (!column) {
        Canvas.SetBrushColor(FixedColor());
        Canvas.FillRect(ARect);
        return;
    }
    const bool frame = FOptions.Contains(dgColLines) && FOptions.Contains(dgRowLines);
    TRect r = ARect;
    int inset = 2;
    if (frame) {
        r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        inset = 1;
    }
    Canvas.SetBrushColor(AState.Contains(gdHotTrack) ? clBtnHighlight : column->Title().Color());
    // The rows below a shallower column's own title row continue its title.
    if (TitleRow > column->Depth()) {
        Canvas.FillRect(r);
        if (frame) Canvas.Frame3D(ARect);
        return;
    }
    const int pressed = AState.Contains(gdPressed) ? 1 : 0;
    TFont font = column->Title().Font();
    // Text in the default colour is drawn in the button face's own text
    // colour; a colour given to the title's font is kept.
    if (font.Color == clWindowText) font.Color = clBtnText;
    Canvas.SetFont(font);
    const String caption = column->Title().Caption();
    // A parent's caption is placed over all its children and clipped to each cell.
    const int x = AlignedLeft(Canvas, TitleSpan(DataCol, TitleRow, r), inset, caption, column->Title().Alignment());
    Canvas.TextRect(r, x + pressed, r.Top + inset + pressed, caption);
    if (frame) Canvas.Frame3D(ARect);
}

void TCustomDBGrid::DrawCell(TCanvas& Canvas, int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    // While loading from the form the columns and the layout are not yet whole.
    if (ComponentState().Contains(rtl::csLoading)) {
        Canvas.SetBrushColor(Color());
        Canvas.FillRect(ARect);
        return;
    }
    const int dataCol = RawToDataColumn(ACol);
    const int dataRow = ARow - FTitleOffset;
    if (dataCol < 0) {
        DrawIndicator(Canvas, dataRow, ARect);
        return;
    }
    if (dataRow < 0) {
        DrawTitle(Canvas, dataCol, ARow, ARect, AState);
        return;
    }
    TColumn* column = dataCol < FColumns->Count() ? FColumns->Items(dataCol) : nullptr;
    if (!FDataLink->Active() || !column || !column->Showing()) {
        Canvas.SetBrushColor(Color());
        Canvas.FillRect(ARect);
        return;
    }
    TFont font = column->Font();
    Canvas.SetBrushColor(column->Color());
    const int oldActive = FDataLink->ActiveRecord();
    rtl::TryFinally(
        [&] {
            FDataLink->SetActiveRecord(dataRow);
            TField* field = column->Field();
            const String text = field ? field->DisplayText() : String();
            if (HighlightCell(dataCol, dataRow, AState.Contains(gdSelected))) {
                Canvas.SetBrushColor(clHighlight);
                font.Color = clHighlightText;
            }
            if (!Widget()->isEnabled()) font.Color = clGrayText;
            Canvas.SetFont(font);
            if (FDefaultDrawing) WriteText(Canvas, ARect, text, column->Alignment());
            if (OnDrawDataCell && FColumns->State() == csDefault) OnDrawDataCell(this, ARect, field, AState);
            if (OnDrawColumnCell) OnDrawColumnCell(this, ARect, dataCol, column, AState);
            if (FDefaultDrawing && AState.Contains(gdSelected) &&
                (Focused() || FOptions.Contains(dgAlwaysShowSelection)) && !FOptions.Contains(dgRowSelect) &&
                IsActiveControl())
                Canvas.DrawFocusRect(ARect);
        },
        [&] { FDataLink->SetActiveRecord(oldActive); });
}

// --- What a screen reader reads ---

int TCustomDBGrid::ShowingColumn(int Column) const {
    if (Column < 0) return -1;
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Showing() && Column-- == 0) return i;
    return -1;
}

int TCustomDBGrid::ReaderRowCount() const {
    if (!FDataLink->Active()) return 0;
    return std::max(std::min(FDataLink->RecordCount(), RowCount() - FTitleOffset), 0);
}

int TCustomDBGrid::ReaderColCount() const {
    int count = 0;
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Showing()) ++count;
    return count;
}

String TCustomDBGrid::ReaderCellText(int Row, int Column) const {
    const int dataCol = ShowingColumn(Column);
    if (dataCol < 0 || Row < 0 || Row >= ReaderRowCount()) return {};
    TField* field = FColumns->Items(dataCol)->Field();
    if (!field) return {};
    const int oldActive = FDataLink->ActiveRecord();
    String text;
    rtl::TryFinally(
        [&] {
            FDataLink->SetActiveRecord(Row);
            text = field->DisplayText();
        },
        [&] { FDataLink->SetActiveRecord(oldActive); });
    return text;
}

String TCustomDBGrid::ReaderColumnHeader(int Column) const {
    const int dataCol = ShowingColumn(Column);
    return dataCol < 0 ? String() : FColumns->Items(dataCol)->Title().Caption();
}

toolkit::TGridCoord TCustomDBGrid::ReaderCellCoord(int Row, int Column) const {
    const int dataCol = ShowingColumn(Column);
    if (dataCol < 0 || (Row < 0 && FTitleOffset == 0)) return {};
    // A header is the column's own title cell, below its parents' titles.
    const int header = std::min(FColumns->Items(dataCol)->Depth(), FTitleOffset - 1);
    return {DataToRawColumn(dataCol), Row < 0 ? header : Row + FTitleOffset};
}

toolkit::TGridCoord TCustomDBGrid::ReaderCurrentCell() const {
    if (!FDataLink->Active() || ReaderRowCount() == 0) return {};
    int readerCol = -1;
    const int dataCol = RawToDataColumn(Col());
    if (dataCol >= 0 && dataCol < FColumns->Count() && FColumns->Items(dataCol)->Showing()) {
        readerCol = 0;
        for (int i = 0; i < dataCol; ++i)
            if (FColumns->Items(i)->Showing()) ++readerCol;
    }
    return {readerCol < 0 ? 0 : readerCol, FDataLink->ActiveRecord()};
}

}  // namespace views
