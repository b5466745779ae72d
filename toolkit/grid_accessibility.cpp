#include "toolkit/grid_accessibility.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "toolkit/grids.h"
#include "toolkit/qt_text.h"

namespace toolkit {

namespace {

// Reader hooks run application code (field display texts); a failure there
// reads as the fallback instead of reaching Qt.
template <typename T, typename F>
T Ask(T Fallback, F&& Question) {
    try {
        return Question();
    } catch (...) {
        return Fallback;
    }
}

int ChildIndexOf(int ColCount, int Row, int Column) { return (Row + 1) * ColCount + Column; }

// Grid widgets a reader has asked for; their changes are announced even
// where the platform reports no assistive technology (tests, bridges that
// attach late).
QSet<const QWidget*>& ReadWidgets() {
    static QSet<const QWidget*> widgets;
    return widgets;
}

bool Listened(const QWidget* View) { return QAccessible::isActive() || ReadWidgets().contains(View); }

// The part of the screen where a grid widget shows cells.
QRect ViewportOnScreen(const QWidget* View) {
    const QWidget* viewport = static_cast<const QAbstractScrollArea*>(View)->viewport();
    return {viewport->mapToGlobal(QPoint(0, 0)), viewport->size()};
}

// One cell of a grid as a reader sees it; row -1 is the column's header.
// It reads the grid afresh on every question.
class GridCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCell(QWidget* View, int Row, int Column) : FView(View), FRow(Row), FColumn(Column) {}

    bool isValid() const override {
        const TCustomGrid* grid = Grid();
        return grid &&
               FRow < Ask(
                          0, [&] { return grid->ReaderRowCount(); }) &&
               FColumn < Ask(
                             0, [&] { return grid->ReaderColCount(); });
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return FView ? FView->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return FView ? QAccessible::queryAccessibleInterface(FView) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text Kind) const override {
        if (Kind != QAccessible::Name && Kind != QAccessible::Value) return {};
        const TCustomGrid* grid = Grid();
        if (!grid || !isValid()) return {};
        return Ask(QString(), [&] {
            return ToQString(FRow < 0 ? grid->ReaderColumnHeader(FColumn) : grid->ReaderCellText(FRow, FColumn));
        });
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        const TCustomGrid* grid = Grid();
        if (!grid || !isValid()) return {};
        const TGridCoord coord = Ask(TGridCoord{}, [&] { return grid->ReaderCellCoord(FRow, FColumn); });
        if (coord.X < 0 || coord.Y < 0) return {};
        const TRect r = grid->CellRect(coord.X, coord.Y);
        if (r.Empty()) return {};
        const QWidget* viewport = static_cast<QAbstractScrollArea*>(FView.data())->viewport();
        return {viewport->mapToGlobal(QPoint(r.Left, r.Top)), QSize(r.Width(), r.Height())};
    }

    QAccessible::Role role() const override { return FRow < 0 ? QAccessible::ColumnHeader : QAccessible::Cell; }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.readOnly = true;
        if (FRow < 0) return s;
        s.selectable = true;
        s.focusable = true;
        if (isSelected()) {
            s.selected = true;
            const TGridCoord current = Ask(TGridCoord{}, [&] { return Grid()->ReaderCurrentCell(); });
            if (current.Y == FRow && current.X == FColumn && FView->hasFocus()) s.focused = true;
        }
        // Cells scrolled out of the viewport, either way, are not on screen.
        if (!rect().intersects(ViewportOnScreen(FView))) s.invisible = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType Type) override {
        if (Type == QAccessible::TableCellInterface && FRow >= 0)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override {
        const TCustomGrid* grid = Grid();
        if (!grid || FRow < 0) return false;
        const TGridCoord current = Ask(TGridCoord{}, [&] { return grid->ReaderCurrentCell(); });
        return current.Y == FRow && (current.X == FColumn || grid->Options().Contains(goRowSelect));
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return FColumn; }
    int rowIndex() const override { return FRow; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    int Row() const { return FRow; }
    int Column() const { return FColumn; }

private:
    const TCustomGrid* Grid() const { return ReadableGridOf(FView.data()); }

    QPointer<QWidget> FView;
    int FRow;
    int FColumn;
};

// The grid widget as a table: its children are the column headers, then the
// data cells row by row. Cell interfaces are made on demand and kept, so a
// reader sees the same object for a cell until the table changes shape.
class GridTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridTable(QWidget* View) : QAccessibleWidget(View, QAccessible::Table), FView(View) {
        ReadWidgets().insert(View);
    }
    ~GridTable() override {
        ReadWidgets().remove(FView);
        DropCells();
    }

    void* interface_cast(QAccessible::InterfaceType Type) override {
        if (Type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(Type);
    }

    int childCount() const override { return (rowCount() + 1) * columnCount(); }
    QAccessibleInterface* child(int Index) const override {
        const int cols = columnCount();
        if (Index < 0 || cols == 0 || Index >= childCount()) return nullptr;
        return Cell(Index / cols - 1, Index % cols);
    }
    int indexOfChild(const QAccessibleInterface* Child) const override {
        const auto* cell = dynamic_cast<const GridCell*>(Child);
        if (!cell || cell->parent() != this || !cell->isValid()) return -1;
        return ChildIndexOf(columnCount(), cell->Row(), cell->Column());
    }
    QAccessibleInterface* childAt(int X, int Y) const override {
        if (!ViewportOnScreen(widget()).contains(X, Y)) return nullptr;
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* c = child(i); c && c->rect().contains(X, Y)) return c;
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        if (!widget()->hasFocus()) return nullptr;
        const TGridCoord current = Current();
        return current.Y >= 0 ? cellAt(current.Y, current.X) : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int Row, int Column) const override {
        if (Row < 0 || Column < 0 || Row >= rowCount() || Column >= columnCount()) return nullptr;
        return Cell(Row, Column);
    }
    int selectedCellCount() const override { return static_cast<int>(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        const TGridCoord current = Current();
        if (current.Y < 0) return cells;
        for (int c = 0; c < columnCount(); ++c)
            if (c == current.X || RowSelect()) cells.append(Cell(current.Y, c));
        return cells;
    }
    QString columnDescription(int Column) const override {
        const TCustomGrid* grid = Grid();
        if (!grid || Column < 0 || Column >= columnCount()) return {};
        return Ask(QString(), [&] { return ToQString(grid->ReaderColumnHeader(Column)); });
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return Current().Y >= 0 ? 1 : 0; }
    int columnCount() const override {
        const TCustomGrid* grid = Grid();
        return grid ? std::max(Ask(0, [&] { return grid->ReaderColCount(); }), 0) : 0;
    }
    int rowCount() const override {
        const TCustomGrid* grid = Grid();
        return grid ? std::max(Ask(0, [&] { return grid->ReaderRowCount(); }), 0) : 0;
    }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override {
        const int row = Current().Y;
        return row >= 0 ? QList<int>{row} : QList<int>{};
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int Row) const override { return Row >= 0 && Current().Y == Row; }
    // The current row follows the grid's own navigation only.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override { DropCells(); }

    // The current cell, or {-1, -1} when it is not a cell the reader sees.
    TGridCoord Current() const {
        const TCustomGrid* grid = Grid();
        if (!grid) return {};
        const TGridCoord c = Ask(TGridCoord{}, [&] { return grid->ReaderCurrentCell(); });
        if (c.Y < 0 || c.X < 0 || c.Y >= rowCount() || c.X >= columnCount()) return {};
        return c;
    }

private:
    const TCustomGrid* Grid() const { return ReadableGridOf(widget()); }
    bool RowSelect() const {
        const TCustomGrid* grid = Grid();
        return grid && grid->Options().Contains(goRowSelect);
    }
    QAccessibleInterface* Cell(int Row, int Column) const {
        const quint64 key = (static_cast<quint64>(static_cast<quint32>(Row + 1)) << 32) | static_cast<quint32>(Column);
        if (const auto found = FCells.constFind(key); found != FCells.constEnd())
            return QAccessible::accessibleInterface(*found);
        auto* cell = new GridCell(widget(), Row, Column);
        FCells.insert(key, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }
    void DropCells() {
        for (const QAccessible::Id id : std::as_const(FCells)) QAccessible::deleteAccessibleInterface(id);
        FCells.clear();
    }

    const QWidget* FView;
    mutable QHash<quint64, QAccessible::Id> FCells;
};

QList<QAccessibleInterface*> GridCell::columnHeaderCells() const {
    QAccessibleInterface* owner = parent();
    if (!owner || FRow < 0) return {};
    QAccessibleInterface* header = owner->child(FColumn);
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
}

QAccessibleInterface* GridFactory(const QString&, QObject* Object) {
    if (!ReadableGridOf(Object)) return nullptr;
    return new GridTable(static_cast<QWidget*>(Object));
}

GridTable* TableOf(TCustomGrid& Grid) {
    return dynamic_cast<GridTable*>(QAccessible::queryAccessibleInterface(Grid.Widget()));
}

}  // namespace

void InstallGridAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(GridFactory);
        return true;
    }();
    (void)installed;
}

void AnnounceGridCurrentCell(TCustomGrid& Grid) {
    if (!Listened(Grid.Widget())) return;
    GridTable* table = TableOf(Grid);
    if (!table) return;
    const TGridCoord current = table->Current();
    if (current.Y < 0) return;
    const int index = ChildIndexOf(table->columnCount(), current.Y, current.X);
    QWidget* view = Grid.Widget();
    if (view->hasFocus()) {
        QAccessibleEvent focus(view, QAccessible::Focus);
        focus.setChild(index);
        Announce(focus);
    }
    QAccessibleEvent selection(view, QAccessible::Selection);
    selection.setChild(index);
    Announce(selection);
}

void AnnounceGridReset(TCustomGrid& Grid) {
    if (!Listened(Grid.Widget())) return;
    QAccessibleTableModelChangeEvent reset(Grid.Widget(), QAccessibleTableModelChangeEvent::ModelReset);
    Announce(reset);
}

}  // namespace toolkit
