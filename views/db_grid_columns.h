#pragma once
// The data grid's columns: TColumn (the field a column shows, looked up by
// name, and how it shows it), its TColumnTitle, and the collection
// TDBGridColumns. Columns belong to their grid and must not outlive it.

#include <memory>
#include <vector>

#include "data/fields.h"
#include "rtl/set.h"
#include "toolkit/grids.h"

namespace views {

using rtl::String;
using toolkit::TColor;
using toolkit::TFont;

// clang-format off
enum TColumnValue {
    cvColor, cvWidth, cvFont, cvAlignment, cvReadOnly, cvTitleColor, cvTitleCaption, cvTitleAlignment,
    cvTitleFont, cvImeMode, cvImeName
};
// clang-format on
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

}  // namespace views
