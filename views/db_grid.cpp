#include "views/db_grid.h"

#include <QHeaderView>
#include <QTableWidget>

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "toolkit/qt_text.h"

namespace views {

TColumn::TColumn(TDBGrid* Grid, int Index, String FieldName)
    : FGrid(Grid), FIndex(Index), FFieldName(std::move(FieldName)) {}

String TColumn::TitleCaption() const {
    const QTableWidgetItem* item = FGrid->Table()->horizontalHeaderItem(FIndex);
    const QString text = item ? item->text() : QString();
    return toolkit::FromQString(text);
}

void TColumn::SetTitleCaption(const String& Value) {
    FGrid->Table()->setHorizontalHeaderItem(FIndex, new QTableWidgetItem(toolkit::ToQString(Value)));
}

int TColumn::Width() const { return FGrid->Table()->columnWidth(FIndex); }

void TColumn::SetWidth(int Value) { FGrid->Table()->setColumnWidth(FIndex, Value); }

TDBGrid::TDBGrid(rtl::TComponent* AOwner) : TControl(AOwner, std::make_unique<QTableWidget>()) {
    Table()->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table()->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table()->verticalHeader()->setDefaultSectionSize(18);
    Table()->verticalHeader()->setFixedWidth(11);  // the indicator column
    Table()->horizontalHeader()->setMinimumSectionSize(0);
}

QTableWidget* TDBGrid::Table() const { return static_cast<QTableWidget*>(Widget()); }

TColumn& TDBGrid::AddColumn(const String& FieldName) {
    const int index = ColumnCount();
    Table()->setColumnCount(index + 1);
    FColumns.emplace_back(this, index, FieldName);
    FColumns.back().SetTitleCaption(FieldName);
    return FColumns.back();
}

TColumn& TDBGrid::Columns(int Index) {
    if (Index < 0 || Index >= ColumnCount())
        throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
    return FColumns[Index];
}

void TDBGrid::SetOptions(TDBGridOptions Value) {
    FOptions = Value;
    Table()->horizontalHeader()->setVisible(Value.Contains(dgTitles));
    Table()->verticalHeader()->setVisible(Value.Contains(dgIndicator));
    Table()->setShowGrid(Value.Contains(dgColLines) || Value.Contains(dgRowLines));
    Table()->horizontalHeader()->setSectionsMovable(Value.Contains(dgColumnResize));
    Table()->horizontalHeader()->setSectionResizeMode(
        Value.Contains(dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    Table()->setSelectionBehavior(Value.Contains(dgRowSelect) ? QAbstractItemView::SelectRows
                                                              : QAbstractItemView::SelectItems);
    Table()->setTabKeyNavigation(false);
}

void TDBGrid::SetTitleFontPixelHeight(int Value) {
    Table()->horizontalHeader()->setFont(toolkit::DesignFont(Value));
}

}  // namespace views
