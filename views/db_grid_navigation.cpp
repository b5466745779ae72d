// The data grid's navigation: keys, mouse, wheel, scroll bar requests,
// moves between columns and records, leaving the grid, and the user's
// resizing and moving of columns.
#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>

#include "data/structured_fields.h"
#include "rtl/try_finally.h"
#include "toolkit/application.h"
#include "toolkit/qt_text.h"
#include "views/db_grid.h"

namespace views {

using namespace toolkit;
using data::TDataSet;
using data::TField;

namespace {

constexpr const char16_t* SDeleteRecordQuestion = u"Delete record?";

}  // namespace

// --- Navigation ---

bool TCustomDBGrid::AcquireFocus() {
    if (!FAcquireFocus || !CanFocus()) return true;
    if (!Focused()) SetFocus();
    return Focused();
}

void TCustomDBGrid::ColEnter() {
    if (OnColEnter) OnColEnter(this);
}

void TCustomDBGrid::ColExit() {
    if (OnColExit) OnColExit(this);
}

void TCustomDBGrid::MoveCol(int RawCol) {
    RawCol = std::clamp(RawCol, FIndicatorOffset, ColCount() - 1);
    const int oldCol = Col();
    if (RawCol == oldCol) return;
    if (!FInColExit) {
        FInColExit = true;
        rtl::TryFinally(
            [&] {
                FDataLink->UpdateRecord();
                ColExit();
            },
            [&] { FInColExit = false; });
        if (Col() != oldCol) return;
    }
    MoveColRow(RawCol, Row(), true);
    ColEnter();
}

void TCustomDBGrid::NextRow(bool) {
    TDataSet* ds = FDataLink->DataSet();
    if (UntouchedInsert()) {
        if (FDataLink->Eof()) return;
        ds->Cancel();
    } else {
        FDataLink->MoveBy(1);
    }
    if (FDataLink->Eof() && ds->CanModify() && !FReadOnly && FOptions.Contains(dgEditing)) ds->Append();
}

void TCustomDBGrid::PriorRow(bool) {
    if (UntouchedInsert() && FDataLink->Eof()) FDataLink->DataSet()->Cancel();
    else FDataLink->MoveBy(-1);
}

void TCustomDBGrid::Tab(bool GoForward) {
    int col = Col();
    const int original = col;
    BeginUpdate();
    rtl::TryFinally(
        [&] {
            while (true) {
                col += GoForward ? 1 : -1;
                if (col >= ColCount()) {
                    NextRow(false);
                    col = FIndicatorOffset;
                } else if (col < FIndicatorOffset) {
                    PriorRow(false);
                    col = ColCount() - 1;
                }
                if (col == original) break;
                if (TabStops(col)) {
                    MoveCol(col);
                    break;
                }
            }
        },
        [&] { EndUpdate(); });
}

void TCustomDBGrid::KeyDown(int& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
    if (!FDataLink->Active() || Key == 0) return;
    BeginUpdate();
    rtl::TryFinally(
        [&] {
            if (Shift.Contains(ssCtrl)) CtrlKeyDown(Key);
            else PlainKeyDown(Key, Shift);
        },
        [&] { EndUpdate(); });
}

void TCustomDBGrid::CtrlKeyDown(int Key) {
    TDataSet* ds = FDataLink->DataSet();
    switch (Key) {
        case VK_UP:
        case VK_PRIOR:
            ClearSelection();
            FDataLink->MoveBy(-FDataLink->ActiveRecord());
            break;
        case VK_DOWN:
        case VK_NEXT:
            ClearSelection();
            FDataLink->MoveBy(FDataLink->BufferCount() - FDataLink->ActiveRecord() - 1);
            break;
        case VK_LEFT: MoveCol(FIndicatorOffset); break;
        case VK_RIGHT: MoveCol(ColCount() - 1); break;
        case VK_HOME:
            ClearSelection();
            ds->First();
            break;
        case VK_END:
            ClearSelection();
            ds->Last();
            break;
        case VK_DELETE:
            if (!FReadOnly && !ds->IsEmpty() && ds->CanModify() && ConfirmDelete()) ds->Delete();
            break;
        default: break;
    }
}

bool TCustomDBGrid::ConfirmDelete() {
    return !FOptions.Contains(dgConfirmDelete) ||
           QMessageBox::question(Widget(), ToQString(Application().Title()), ToQString(SDeleteRecordQuestion),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void TCustomDBGrid::PlainKeyDown(int Key, TShiftState Shift) {
    TDataSet* ds = FDataLink->DataSet();
    // With row select, or a single column, Home and End go to the first and last record.
    const bool byRecord = FOptions.Contains(dgRowSelect) || ColCount() == FIndicatorOffset + 1;
    switch (Key) {
        case VK_UP: PriorRow(true); break;
        case VK_DOWN: NextRow(true); break;
        case VK_LEFT:
            if (FOptions.Contains(dgRowSelect)) PriorRow(false);
            else MoveCol(Col() - 1);
            break;
        case VK_RIGHT:
            if (FOptions.Contains(dgRowSelect)) NextRow(false);
            else MoveCol(Col() + 1);
            break;
        case VK_HOME:
        case VK_END:
            if (!byRecord) {
                MoveCol(Key == VK_HOME ? FIndicatorOffset : ColCount() - 1);
                break;
            }
            ClearSelection();
            if (Key == VK_HOME) ds->First();
            else ds->Last();
            break;
        case VK_NEXT:
            ClearSelection();
            FDataLink->MoveBy(VisibleRowCount());
            break;
        case VK_PRIOR:
            ClearSelection();
            FDataLink->MoveBy(-VisibleRowCount());
            break;
        case VK_INSERT:
            if (FOptions.Contains(dgEditing) && ds->CanModify() && !FReadOnly) {
                ClearSelection();
                ds->Insert();
            }
            break;
        case VK_TAB:
            if (FOptions.Contains(dgTabs) && !Shift.Contains(ssAlt)) Tab(!Shift.Contains(ssShift));
            break;
        case VK_ESCAPE:
            FDataLink->Reset();
            ClearSelection();
            break;
        default: break;
    }
}

void TCustomDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!AcquireFocus()) return;
    if (Shift.Contains(ssDouble)) {
        DblClick();
        return;
    }
    if (Sizing(X, Y)) {
        TCustomGrid::MouseDown(Button, Shift, X, Y);
        return;
    }
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.X < 0 || cell.Y < 0) {
        TCustomGrid::MouseDown(Button, Shift, X, Y);
        return;
    }
    if ((FOptions.Contains(dgColumnResize) || FOptions.Contains(dgTitleClick)) && cell.Y < FTitleOffset) {
        TCustomGrid::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (!FDataLink->Active()) return;
    BeginUpdate();
    rtl::TryFinally(
        [&] {
            if (cell.Y >= FTitleOffset && cell.Y != Row()) {
                int distance = cell.Y - Row();
                const bool untouchedInsert = UntouchedInsert();
                if (untouchedInsert && distance > 0) --distance;
                else if (untouchedInsert && distance < 0 && FDataLink->Eof()) ++distance;
                FDataLink->MoveBy(distance);
            }
            if (!FOptions.Contains(dgRowSelect) && cell.X >= FIndicatorOffset) MoveCol(cell.X);
        },
        [&] { EndUpdate(); });
}

void TCustomDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const bool normal = State() == gsNormal;
    const int pressed = PressedCol();
    TCustomGrid::MouseUp(Button, Shift, X, Y);
    if (!normal || Button != mbLeft) return;
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.X < FIndicatorOffset || cell.Y < 0 || RawToDataColumn(cell.X) >= FColumns->Count()) return;
    if (cell.Y < FTitleOffset) {
        if (pressed == cell.X) TitleClick(TitleColumn(RawToDataColumn(cell.X), cell.Y));
    } else if (SelectedIndex() >= 0 && SelectedIndex() < FColumns->Count()) {
        CellClick(FColumns->Items(SelectedIndex()));
    }
}

void TCustomDBGrid::TitleClick(TColumn* Column) {
    if (FOptions.Contains(dgTitleClick) && OnTitleClick) OnTitleClick(Column);
}

void TCustomDBGrid::CellClick(TColumn* Column) {
    if (OnCellClick) OnCellClick(Column);
}

bool TCustomDBGrid::DoMouseWheel(TShiftState Shift, int WheelDelta) {
    if (TCustomGrid::DoMouseWheel(Shift, WheelDelta)) return true;
    if (FDataLink->Active()) FDataLink->MoveBy(WheelDelta > 0 ? -1 : 1);
    return true;
}

void TCustomDBGrid::DoExit() {
    // Only a move of the focus to another control of the window leaves the
    // grid; a deactivated window (a message box, another program) does not.
    const QWidget* next = QApplication::focusWidget();
    const bool leaving = next && next->window() == Widget()->window();
    try {
        if (leaving && FDataLink->Active()) {
            TDataSet* ds = FDataLink->DataSet();
            if (FOptions.Contains(dgCancelOnExit) && UntouchedInsert()) ds->Cancel();
            else FDataLink->UpdateRecord();
        }
    } catch (...) {
        SetFocus();
        throw;
    }
    TCustomGrid::DoExit();
}

void TCustomDBGrid::Resize() {
    if (FUpdateLock == 0) UpdateRowCount();
    UpdateScrollBar();
    InvalidateGrid();
}

void TCustomDBGrid::ScrollBarRequest(TScrollCode Code, int Pos) {
    if (!AcquireFocus() || !FDataLink->Active()) return;
    TDataSet* ds = FDataLink->DataSet();
    switch (Code) {
        case scLineUp: FDataLink->MoveBy(-FDataLink->ActiveRecord() - 1); break;
        case scLineDown: FDataLink->MoveBy(FDataLink->RecordCount() - FDataLink->ActiveRecord()); break;
        case scPageUp: FDataLink->MoveBy(-VisibleRowCount()); break;
        case scPageDown: FDataLink->MoveBy(VisibleRowCount()); break;
        case scTop: ds->First(); break;
        case scBottom: ds->Last(); break;
        case scPosition:
            if (ds->IsSequenced()) {
                if (Pos <= 1) ds->First();
                else if (Pos < ds->RecordCount()) ds->SetRecNo(Pos);
                else ds->Last();
            } else {
                switch (Pos) {
                    case 0: ds->First(); break;
                    case 1: FDataLink->MoveBy(-VisibleRowCount()); break;
                    case 3: FDataLink->MoveBy(VisibleRowCount()); break;
                    case 4: ds->Last(); break;
                    default: break;
                }
            }
            break;
        default: break;
    }
}

void TCustomDBGrid::MoveFieldOfColumn(TField* Moved, TField* Displaced) {
    TDataSet* ds = FDataLink->DataSet();
    // Fields move only among their siblings: a child of a structured field stays under its parent.
    if (!ds || !Moved || !Displaced || Moved->ParentField() != Displaced->ParentField()) return;
    data::TFields& siblings = Moved->ParentField() ? Moved->ParentField()->Fields() : ds->Fields();
    siblings.SetFieldIndex(Moved, siblings.IndexOf(Displaced));
}

void TCustomDBGrid::ColWidthsChanged() {
    if (!AcquireLayoutLock()) return;
    rtl::TryFinally(
        [&] {
            for (int i = FIndicatorOffset; i < ColCount(); ++i) {
                const int width = ColWidths(i);
                if (width >= 0) FColumns->Items(i - FIndicatorOffset)->SetWidth(width);
            }
        },
        [&] { EndLayout(); });
}

void TCustomDBGrid::ColumnMoved(int FromIndex, int ToIndex) {
    BeginLayout();
    rtl::TryFinally(
        [&] {
            auto& items = FColumns->FItems;
            const auto from = static_cast<std::size_t>(FromIndex - FIndicatorOffset);
            const auto to = static_cast<std::size_t>(ToIndex - FIndicatorOffset);
            // Default columns show the fields in their order, so a default
            // column moves with its field, which takes the place of the field
            // whose column it displaces; otherwise the layout that follows
            // would put the column back.
            if (FColumns->State() == csDefault) MoveFieldOfColumn(items[from]->Field(), items[to]->Field());
            auto column = std::move(items[from]);
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(from));
            items.insert(items.begin() + static_cast<std::ptrdiff_t>(to), std::move(column));
        },
        [&] { EndLayout(); });
    if (OnColumnMoved) OnColumnMoved(this, FromIndex, ToIndex);
}

}  // namespace views
