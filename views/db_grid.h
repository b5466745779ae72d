#pragma once
// TDBGrid: the grid that lists dataset records as rows and chosen fields as
// columns. For now it shows its columns and titles only; it follows a dataset
// once the data links exist.

#include <vector>

#include "rtl/set.h"
#include "toolkit/controls.h"

class QTableWidget;

namespace views {

using rtl::String;

enum TDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
    dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgMultiSelect, dgTitleClick,
    dgTitleHotTrack
};
using TDBGridOptions = rtl::Set<TDBGridOption>;

class TDBGrid;

// One grid column: the field it shows, its title and its width.
class TColumn {
public:
    TColumn(TDBGrid* Grid, int Index, String FieldName);
    const String& FieldName() const { return FFieldName; }
    String TitleCaption() const;
    void SetTitleCaption(const String& Value);
    int Width() const;
    void SetWidth(int Value);

private:
    TDBGrid* FGrid;
    int FIndex;
    String FFieldName;
};

class TDBGrid : public toolkit::TControl {
public:
    explicit TDBGrid(rtl::TComponent* AOwner);

    TColumn& AddColumn(const String& FieldName);
    int ColumnCount() const { return static_cast<int>(FColumns.size()); }
    TColumn& Columns(int Index);

    TDBGridOptions Options() const { return FOptions; }
    void SetOptions(TDBGridOptions Value);
    void SetTitleFontPixelHeight(int Value);

    QTableWidget* Table() const;

private:
    std::vector<TColumn> FColumns;
    TDBGridOptions FOptions;
};

}  // namespace views
