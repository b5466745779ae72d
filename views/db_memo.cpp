#include "views/db_memo.h"

#include <QApplication>
#include <QWidget>

#include "data/fields.h"
#include "rtl/format.h"

namespace views {
namespace {

// Control characters a key press passes on without asking the dataset to edit.
bool PassesUnchanged(char16_t Key) {
    return Key == 0 || (Key >= 2 && Key <= 7) || Key == 11 || Key == 12 || (Key >= 14 && Key <= 21) || Key == 23 ||
           Key == 25 || Key == 26 || (Key >= 28 && Key <= 31);
}

}  // namespace

TDBMemo::TDBMemo(rtl::TComponent* AOwner) : TMemo(AOwner), FDataLink(std::make_unique<data::TFieldDataLink>()) {
    TMemo::SetReadOnly(true);
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = [this](data::TFieldDataLink&) { DataChange(); };
    FDataLink->OnEditingChange = [this](data::TFieldDataLink&) { EditingChange(); };
    FDataLink->OnUpdateData = [this](data::TFieldDataLink&) { UpdateData(); };
}

TDBMemo::~TDBMemo() {
    Destroying();
    // Detaching tells the link's handlers nothing more: the memo is going.
    FDataLink->OnDataChange = nullptr;
    FDataLink->OnEditingChange = nullptr;
    FDataLink->OnUpdateData = nullptr;
    if (FDataLink->DataSource()) RemoveFreeNotification(FDataLink->DataSource());
    FDataLink.reset();
}

void TDBMemo::SetDataSource(data::TDataSource* Value) {
    data::TDataSource* old = FDataLink->DataSource();
    if (old == Value) return;
    FDataLink->SetDataSource(Value);
    if (old) RemoveFreeNotification(old);
    if (Value) FreeNotification(Value);
}

void TDBMemo::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TMemo::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && FDataLink && AComponent && AComponent == FDataLink->DataSource())
        FDataLink->SetDataSource(nullptr);
}

void TDBMemo::SetAutoDisplay(bool Value) {
    if (FAutoDisplay == Value) return;
    FAutoDisplay = Value;
    if (Value) LoadMemo();
}

void TDBMemo::LoadMemo() {
    data::TField* field = FDataLink->Field();
    if (FMemoLoaded || !field || !field->IsBlob()) return;
    SetLines();
    EditingChange();
}

void TDBMemo::SetLines() {
    data::TField* field = FDataLink->Field();
    rtl::String text;
    if (!field->OnGetText) text = field->AsString();
    else if (FFocused && FDataLink->CanModify()) text = field->Text();
    else text = field->DisplayText();
    try {
        SetText(std::move(text));
        FMemoLoaded = true;
    } catch (const toolkit::EInvalidOperation& E) {
        SetText(rtl::Format(u"(%s)", {E.Message()}));
        FMemoLoaded = false;
    }
}

void TDBMemo::DataChange() {
    data::TField* field = FDataLink->Field();
    if (!field) {
        SetText(ComponentState().Contains(rtl::csDesigning) ? Name() : rtl::String());
        FMemoLoaded = false;
    } else if (!field->IsBlob()) {
        SetLines();
    } else if (FAutoDisplay || (FDataLink->Editing() && FMemoLoaded)) {
        FMemoLoaded = false;
        LoadMemo();
    } else {
        SetText(rtl::Format(u"(%s)", {field->DisplayLabel()}));
        FMemoLoaded = false;
        EditingChange();
    }
    // A queued repaint rather than one at once: it joins the grid's repaint of
    // the same move, and the text is already in place for anyone reading it.
    Widget()->update();
}

void TDBMemo::EditingChange() { TMemo::SetReadOnly(!(FDataLink->Editing() && FMemoLoaded)); }

void TDBMemo::UpdateData() { FDataLink->Field()->SetText(Text()); }

void TDBMemo::SetFocused(bool Value) {
    if (FFocused == Value) return;
    FFocused = Value;
    data::TField* field = FDataLink->Field();
    if (!field || !field->IsBlob() || field->OnGetText) FDataLink->Reset();
}

void TDBMemo::DoEnter() {
    SetFocused(true);
    TMemo::DoEnter();
    if (FDataLink->CanModify()) TMemo::SetReadOnly(false);
}

void TDBMemo::DoExit() {
    // A failed write-back keeps the focus here (the toolkit brings it back).
    FDataLink->UpdateRecord();
    SetFocused(false);
    TMemo::DoExit();
}

void TDBMemo::KeyDown(int& Key, TShiftState Shift) {
    TMemo::KeyDown(Key, Shift);
    if (!FMemoLoaded) return;
    const bool changesText = Key == VK_DELETE || (Key == VK_INSERT && Shift.Contains(ssShift));
    if (changesText && !FDataLink->Edit()) Key = 0;
}

void TDBMemo::KeyPress(char16_t& Key) {
    TMemo::KeyPress(Key);
    if (!FMemoLoaded) {
        if (Key == u'\r') LoadMemo();
        Key = 0;
        return;
    }
    data::TField* field = FDataLink->Field();
    if (Key >= 0x20 && field && !field->IsValidChar(Key)) {
        QApplication::beep();
        Key = 0;
        return;
    }
    if (Key == 1) {
        SelectAll();
        Key = 0;
    } else if (Key == 27) {
        FDataLink->Reset();
    } else if (!PassesUnchanged(Key) && !FDataLink->Edit()) {
        Key = 0;
    }
}

bool TDBMemo::EditRequest() { return FDataLink->Edit(); }

bool TDBMemo::DblClick() {
    if (FMemoLoaded) return TMemo::DblClick();
    LoadMemo();
    return true;
}

void TDBMemo::Change() {
    if (FMemoLoaded) FDataLink->SetModified();
    FMemoLoaded = true;
    TMemo::Change();
}

}  // namespace views
