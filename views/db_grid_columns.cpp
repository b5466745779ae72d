#include "views/db_grid_columns.h"

#include <algorithm>

#include "data/structured_fields.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/try_finally.h"
#include "views/db_grid.h"

namespace views {

using namespace toolkit;
using data::TDataSet;
using data::TField;

namespace {

bool IsStructured(const TField* Field) {
    return Field && (Field->DataType() == data::ftADT || Field->DataType() == data::ftArray);
}

}  // namespace

// --- TColumnTitle ---

String TColumnTitle::DefaultCaption() const {
    if (TField* field = FColumn->Field()) return field->DisplayName();
    return FColumn->FieldName();
}

String TColumnTitle::Caption() const {
    return FColumn->FAssignedValues.Contains(cvTitleCaption) ? FCaption : DefaultCaption();
}

void TColumnTitle::SetCaption(const String& Value) {
    FCaption = Value;
    FColumn->FAssignedValues.Include(cvTitleCaption);
    FColumn->Changed();
}

data::TAlignment TColumnTitle::Alignment() const {
    return FColumn->FAssignedValues.Contains(cvTitleAlignment) ? FAlignment : data::taLeftJustify;
}

void TColumnTitle::SetAlignment(data::TAlignment Value) {
    FAlignment = Value;
    FColumn->FAssignedValues.Include(cvTitleAlignment);
    FColumn->Changed();
}

TColor TColumnTitle::Color() const {
    if (FColumn->FAssignedValues.Contains(cvTitleColor)) return FColor;
    return FColumn->Grid() ? FColumn->Grid()->FixedColor() : clBtnFace;
}

void TColumnTitle::SetColor(TColor Value) {
    FColor = Value;
    FColumn->FAssignedValues.Include(cvTitleColor);
    FColumn->Changed();
}

TFont TColumnTitle::Font() const {
    if (FColumn->FAssignedValues.Contains(cvTitleFont)) return FFont;
    return FColumn->Grid() ? FColumn->Grid()->TitleFont() : TFont{};
}

void TColumnTitle::SetFont(const TFont& Value) {
    FFont = Value;
    FColumn->FAssignedValues.Include(cvTitleFont);
    if (FColumn->Grid()) FColumn->Grid()->LayoutChanged();
}

// --- TColumn ---

TColumn::TColumn(TCustomDBGrid* Grid, bool Stored) : FGrid(Grid), FTitle(this), FStored(Stored) {}

int TColumn::Index() const { return FGrid ? FGrid->FColumns->IndexOf(this) : -1; }

TField* TColumn::Field() const {
    if (!FField && !FFieldName.empty() && FGrid) {
        TDataSet* ds = FGrid->FDataLink->DataSet();
        if (ds && (ds->Active() || !ds->DefaultFields())) FField = ds->FindField(FFieldName);
    }
    return FField;
}

void TColumn::SetField(TField* Value) {
    if (FField == Value) return;
    FField = Value;
    if (Value) FFieldName = Value->FullName();
    Changed();
}

void TColumn::SetFieldName(const String& Value) {
    FFieldName = Value;
    FField = nullptr;
    if (FGrid) FGrid->LayoutChanged();
}

int TColumn::DefaultWidth() const {
    if (!FGrid) return 64;
    TField* field = Field();
    if (!field) return FGrid->DefaultColWidth();
    int width = FontTextWidth(Font(), u"0") * field->DisplayWidth() + 4;
    if (FGrid->FOptions.Contains(dgTitles)) width = std::max(width, FontTextWidth(FTitle.Font(), FTitle.Caption()) + 4);
    return width;
}

int TColumn::Width() const {
    if (!Showing()) return -1;
    return FAssignedValues.Contains(cvWidth) ? FWidth : DefaultWidth();
}

void TColumn::SetWidth(int Value) {
    // A default column's width lives in its field: the field's DisplayWidth
    // becomes the number of "0" characters that fit (the inverse of the
    // default width), and during a layout that comes from the dataset the
    // column keeps no width of its own.
    if (!FStored && FGrid) {
        TField* field = Field();
        if (field && Value != Width()) {
            const int zero = FontTextWidth(Font(), u"0");
            if (zero > 0) field->SetDisplayWidth(std::max((Value - 4) / zero, 1));
        }
        if (FGrid->FLayoutFromDataset) {
            FAssignedValues.Exclude(cvWidth);
            Changed();
            return;
        }
    }
    FWidth = Value;
    FAssignedValues.Include(cvWidth);
    Changed();
}

data::TAlignment TColumn::Alignment() const {
    if (FAssignedValues.Contains(cvAlignment)) return FAlignment;
    TField* field = Field();
    return field ? field->Alignment() : data::taLeftJustify;
}

void TColumn::SetAlignment(data::TAlignment Value) {
    FAlignment = Value;
    FAssignedValues.Include(cvAlignment);
    Changed();
}

TColor TColumn::Color() const {
    if (FAssignedValues.Contains(cvColor)) return FColor;
    return FGrid ? FGrid->Color() : clWindow;
}

void TColumn::SetColor(TColor Value) {
    FColor = Value;
    FAssignedValues.Include(cvColor);
    Changed();
}

TFont TColumn::Font() const {
    if (FAssignedValues.Contains(cvFont)) return FFont;
    return FGrid ? FGrid->Font() : TFont{};
}

void TColumn::SetFont(const TFont& Value) {
    // The row heights follow the grid's font, not a column's: only this
    // column's width and cells change.
    FFont = Value;
    FAssignedValues.Include(cvFont);
    Changed();
}

bool TColumn::ReadOnly() const {
    if (FAssignedValues.Contains(cvReadOnly)) return FReadonly;
    TField* field = Field();
    return (FGrid && FGrid->ReadOnly()) || (field && field->ReadOnly());
}

void TColumn::SetReadOnly(bool Value) {
    FReadonly = Value;
    FAssignedValues.Include(cvReadOnly);
    Changed();
}

void TColumn::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    if (FGrid) FGrid->LayoutChanged();
}

void TColumn::SetExpanded(bool Value) {
    if (FExpanded == Value) return;
    FExpanded = Value;
    if (FGrid && Expandable()) FGrid->LayoutChanged();
}

bool TColumn::Expandable() const { return IsStructured(Field()); }

TColumn* TColumn::ParentColumn() const {
    TField* field = Field();
    if (!FGrid || !field || !field->ParentField()) return nullptr;
    for (int i = 0; i < FGrid->FColumns->Count(); ++i) {
        TColumn* column = FGrid->FColumns->Items(i);
        if (column != this && column->Field() == field->ParentField()) return column;
    }
    return nullptr;
}

bool TColumn::Showing() const {
    if (!FVisible || (Expandable() && FExpanded)) return false;
    for (const TColumn* parent = ParentColumn(); parent; parent = parent->ParentColumn())
        if (!parent->FVisible || !parent->FExpanded) return false;
    return true;
}

int TColumn::Depth() const {
    int depth = 0;
    for (const TColumn* parent = ParentColumn(); parent; parent = parent->ParentColumn()) ++depth;
    return depth;
}

void TColumn::RestoreDefaults() {
    FAssignedValues = {};
    Changed();
}

void TColumn::Changed() {
    if (FGrid) FGrid->ColumnChanged(this);
}

// --- TDBGridColumns ---

TColumn* TDBGridColumns::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
    return FItems[static_cast<std::size_t>(Index)].get();
}

TColumn* TDBGridColumns::Insert(int Index, bool Stored) {
    auto it = FItems.insert(FItems.begin() + Index, std::make_unique<TColumn>(FGrid, Stored));
    return it->get();
}

TColumn* TDBGridColumns::Add() {
    TColumn* column = Insert(Count(), true);
    FGrid->LayoutChanged();
    return column;
}

void TDBGridColumns::Clear() {
    FItems.clear();
    FGrid->LayoutChanged();
}

void TDBGridColumns::Delete(int Index) {
    Items(Index);
    FItems.erase(FItems.begin() + Index);
    FGrid->LayoutChanged();
}

void TDBGridColumns::Move(int FromIndex, int ToIndex) {
    Items(FromIndex);
    Items(ToIndex);
    auto column = std::move(FItems[static_cast<std::size_t>(FromIndex)]);
    FItems.erase(FItems.begin() + FromIndex);
    FItems.insert(FItems.begin() + ToIndex, std::move(column));
    FGrid->LayoutChanged();
}

int TDBGridColumns::IndexOf(const TColumn* Column) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<std::size_t>(i)].get() == Column) return i;
    return -1;
}

TDBGridColumnsState TDBGridColumns::State() const {
    return !FItems.empty() && FItems.front()->Stored() ? csCustomized : csDefault;
}

void TDBGridColumns::SetState(TDBGridColumnsState Value) {
    if (Value == State()) return;
    FGrid->BeginLayout();
    rtl::TryFinally(
        [&] {
            FItems.clear();
            TDataSet* ds = FGrid->FDataLink->DataSet();
            if (Value == csCustomized && ds)
                for (TField* field : ds->Fields()) Insert(Count(), true)->FFieldName = field->FullName();
        },
        [&] { FGrid->EndLayout(); });
}

}  // namespace views
