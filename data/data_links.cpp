#include "data/data_links.h"

#include <algorithm>

#include "rtl/try_finally.h"

namespace data {

// --- TDataSource ---

TDataSource::TDataSource(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {}

TDataSource::~TDataSource() {
    Destroying();
    OnStateChange = nullptr;
    if (FDataSet) FDataSet->RemoveDataSource(this);
    while (!FDataLinks.empty()) RemoveDataLink(FDataLinks.back());
}

void TDataSource::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet) return;
    if (IsLinkedTo(Value)) DatabaseError(SCircularDataLink, this);
    if (FDataSet) FDataSet->RemoveDataSource(this);
    if (Value) Value->AddDataSource(this);
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) const {
    // Follow each dataset's own master data source; a chain longer than the
    // number of steps taken so far cannot be followed forever.
    for (int steps = 0; DataSet && steps < 10000; ++steps) {
        TDataSource* master = DataSet->GetDataSource();
        if (!master) break;
        if (master == this) return true;
        DataSet = master->DataSet();
    }
    return false;
}

void TDataSource::SetEnabled(bool Value) {
    FEnabled = Value;
    UpdateState();
}

void TDataSource::Edit() {
    if (FAutoEdit && FState == dsBrowse && FDataSet) FDataSet->Edit();
}

void TDataSource::UpdateState() {
    TDataSetState state = FEnabled && FDataSet ? FDataSet->State() : dsInactive;
    if (state == FState) return;
    TDataSetState prior = FState;
    FState = state;
    NotifyDataLinks(deUpdateState, 0);
    if (ComponentState().Contains(rtl::csDestroying)) return;
    if (OnStateChange) OnStateChange(*this);
    if (prior == dsInactive && OnDataChange) OnDataChange(*this, nullptr);
}

void TDataSource::NotifyDataLinks(TDataEvent Event, std::intptr_t Info) {
    for (bool visual : {false, true})
        for (int i = static_cast<int>(FDataLinks.size()) - 1; i >= 0; --i) {
            if (i >= static_cast<int>(FDataLinks.size())) continue;  // a link went away meanwhile
            TDataLink* link = FDataLinks[i];
            if (link->FVisualControl == visual) link->DataEvent(Event, Info);
        }
}

void TDataSource::DataEvent(TDataEvent Event, std::intptr_t Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (FState == dsInactive) return;
    NotifyDataLinks(Event, Info);
    const bool destroying = ComponentState().Contains(rtl::csDestroying);
    switch (Event) {
        case deFieldChange:
            if (OnDataChange) OnDataChange(*this, reinterpret_cast<TField*>(Info));
            break;
        case deRecordChange:
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange:
            if (!destroying && OnDataChange) OnDataChange(*this, nullptr);
            break;
        case deUpdateRecord:
            if (OnUpdateData) OnUpdateData(*this);
            break;
        default: break;
    }
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
    FDataLinks.push_back(DataLink);
    DataLink->FDataSource = this;
    // The link stays attached when the window cannot be resized (a record
    // buffer could not be had), so it takes the data source's state all the
    // same: it follows the dataset with the window as it is, and the next
    // resize gives it its rows.
    rtl::TryFinally(
        [&] {
            if (FDataSet) FDataSet->UpdateBufferCount();
        },
        [&] { DataLink->UpdateState(); });
}

void TDataSource::RemoveDataLink(TDataLink* DataLink) {
    DataLink->FDataSource = nullptr;
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), DataLink), FDataLinks.end());
    DataLink->UpdateState();
    if (FDataSet) FDataSet->UpdateBufferCount();
}

// --- TDataLink ---

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    // No notifications reach a link being torn down.
    FActive = false;
    FEditing = false;
    FDataSourceFixed = false;
    SetDataSource(nullptr);
}

TDataSet* TDataLink::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* Value) {
    if (Value == FDataSource) return;
    // The link is no component: the message names none.
    if (FDataSourceFixed) DatabaseError(SDataSourceChange);
    if (FDataSource) FDataSource->RemoveDataLink(this);
    if (Value) Value->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool Value) {
    if (FReadOnly == Value) return;
    FReadOnly = Value;
    UpdateState();
}

void TDataLink::UpdateState() {
    SetActive(FDataSource && FDataSource->State() != dsInactive);
    SetEditing(FDataSource && IsEditMode(FDataSource->State()) && !FReadOnly);
}

void TDataLink::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    if (Value) UpdateRange();
    else FFirstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
    if (FEditing == Value) return;
    FEditing = Value;
    EditingChanged();
}

void TDataLink::UpdateRange() {
    TDataSet* ds = DataSet();
    if (!ds) return;
    int min = std::max(0, ds->FActiveRecord - FBufferCount + 1);
    int max = std::max(0, ds->FRecordCount - FBufferCount);
    if (max > ds->FActiveRecord) max = ds->FActiveRecord;
    if (FFirstRecord < min) FFirstRecord = min;
    if (FFirstRecord > max) FFirstRecord = max;
    if (FFirstRecord != 0 && ds->FActiveRecord - FFirstRecord < FBufferCount - 1) --FFirstRecord;
}

void TDataLink::DataEvent(TDataEvent Event, std::intptr_t Info) {
    if (Event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive) return;
    switch (Event) {
        case deFieldChange:
        case deRecordChange:
            if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(Info));
            break;
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange: {
            int count = 0;
            TDataSet* ds = DataSet();
            if (ds && ds->State() != dsSetKey) {
                int active = ds->FActiveRecord;
                int first = FFirstRecord + static_cast<int>(Info);
                int last = first + FBufferCount - 1;
                if (active > last) count = active - last;
                else if (active < first) count = active - first;
                // A link may show more rows than the window holds (the one-record
                // window of a unidirectional dataset, or a window that could not
                // grow): following a slide must not move its first row above the
                // window's first record.
                FFirstRecord = std::max(0, first + count);
            }
            if (Event == deDataSetChange) DataSetChanged();
            else if (Event == deDataSetScroll) DataSetScrolled(count);
            else LayoutChanged();
            break;
        }
        case deUpdateRecord: UpdateRecord(); break;
        case deCheckBrowseMode: CheckBrowseMode(); break;
        case deFocusControl: FocusControl(reinterpret_cast<TField**>(Info)); break;
        default: break;
    }
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    rtl::TryFinally([&] { UpdateData(); }, [&] { FUpdating = false; });
}

void TDataLink::DataSetChanged() { RecordChanged(nullptr); }
void TDataLink::DataSetScrolled(int) { DataSetChanged(); }
void TDataLink::LayoutChanged() { DataSetChanged(); }
void TDataLink::RecordChanged(TField*) {}
void TDataLink::FocusControl(TField**) {}

int TDataLink::GetActiveRecord() const {
    TDataSet* ds = DataSet();
    if (!ds || ds->State() == dsSetKey) return 0;
    return ds->FActiveRecord - FFirstRecord;
}

void TDataLink::SetActiveRecordValue(int Value) {
    TDataSet* ds = DataSet();
    if (ds && ds->State() != dsSetKey) ds->FActiveRecord = Value + FFirstRecord;
}

int TDataLink::GetRecordCount() const {
    TDataSet* ds = DataSet();
    if (!ds) return 0;
    if (ds->State() == dsSetKey) return 1;
    return std::min(ds->FRecordCount, FBufferCount);
}

bool TDataLink::GetBOF() const { return DataSet() ? DataSet()->Bof() : true; }
bool TDataLink::GetEOF() const { return DataSet() ? DataSet()->Eof() : true; }

void TDataLink::SetBufferCountValue(int Value) {
    if (FBufferCount == Value) return;
    FBufferCount = Value;
    if (!FActive) return;
    UpdateRange();
    if (TDataSet* ds = DataSet()) ds->UpdateBufferCount();
    UpdateRange();
}

int TDataLink::MoveBy(int Distance) { return DataSet() ? DataSet()->MoveBy(Distance) : 0; }

bool TDataLink::Edit() {
    if (!FReadOnly && FDataSource) FDataSource->Edit();
    return FEditing;
}

// --- TFieldDataLink ---

TFieldDataLink::TFieldDataLink() { SetVisualControl(true); }

void TFieldDataLink::SetFieldName(rtl::StringView Value) {
    if (FFieldName == Value) return;
    FFieldName = rtl::String(Value);
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    if (Active() && !FFieldName.empty()) {
        TDataSet* ds = DataSet();
        if (FControl) {
            TField* field = ds->FindField(FFieldName);
            if (!field) {
                // The control is told it has no field before the name is
                // refused, so that it shows nothing of the one it had.
                SetField(nullptr);
                DatabaseErrorFmt(SFieldNotFound, {FFieldName}, FControl);
            }
            FField = nullptr;  // the same field found again is still announced
            SetField(field);
        } else {
            FField = nullptr;
            SetField(ds->FieldByName(FFieldName));
        }
    } else {
        SetField(nullptr);
    }
}

void TFieldDataLink::SetField(TField* Value) {
    if (FField == Value) return;
    FField = Value;
    TDataSet* ds = DataSet();
    if (ds && ds->ControlsDisabled()) return;
    EditingChanged();
    RecordChanged(nullptr);
    if (auto* control = dynamic_cast<IDataControl*>(FControl)) control->UpdateFieldAlignment(FField);
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange(*this);
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::DataEvent(TDataEvent Event, std::intptr_t Info) {
    TDataLink::DataEvent(Event, Info);
    if (Event == deDisabledStateChange) {
        if (Info == 1) UpdateField();
        else FField = nullptr;
    }
}

void TFieldDataLink::RecordChanged(TField* Field) {
    if (Field && Field != FField) return;
    if (OnDataChange) OnDataChange(*this);
    FModified = false;
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && FField && FField->CanModify(); }

void TFieldDataLink::EditingChanged() {
    bool editing = TDataLink::Editing() && CanModify();
    if (FEditing == editing) return;
    FEditing = editing;
    FModified = false;
    if (OnEditingChange) OnEditingChange(*this);
}

bool TFieldDataLink::Edit() {
    if (CanModify()) TDataLink::Edit();
    return FEditing;
}

void TFieldDataLink::UpdateData() {
    if (!FModified) return;
    if (FField && OnUpdateData) OnUpdateData(*this);
    FModified = false;
}

void TFieldDataLink::FocusControl(TField** FieldRef) {
    if (!FieldRef || !*FieldRef || *FieldRef != FField) return;
    auto* control = dynamic_cast<IDataControl*>(FControl);
    if (control && control->CanFocus()) {
        *FieldRef = nullptr;
        control->SetFocus();
    }
}

}  // namespace data
