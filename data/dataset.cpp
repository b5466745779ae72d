#include "data/dataset.h"

#include <algorithm>

#include "data/data_links.h"
#include "rtl/try_finally.h"

namespace data {

TDataSet::TDataSet(rtl::TComponent* AOwner)
    : rtl::TComponent(AOwner),
      FFields(std::make_unique<TFields>(this)),
      FAggFields(std::make_unique<TFields>(this)),
      FFieldDefs(std::make_unique<TFieldDefs>(this)) {
    FAggFields->SetValidFieldKinds({fkAggregate});
    FFields->SetValidFieldKinds({fkData, fkCalculated, fkLookup, fkInternalCalc});
}

TDataSet::~TDataSet() {
    Destroying();
    // Concrete datasets close in their own destructor (InternalClose is
    // theirs); what is still open here only gets its buffers released.
    if (Active() || FState == dsOpening) {
        FState = dsInactive;
        ClearBuffers();
        for (TRecordBuffer& b : FBuffers) FreeRecordBuffer(b);
        FBuffers.clear();
    }
    while (!FDataSources.empty()) FDataSources.back()->SetDataSet(nullptr);
    FFields->Clear();
    FAggFields->Clear();
}

// --- record buffers ---

TRecordBuffer TRecordBufferPool::Alloc(std::size_t Size) {
    FBuffers.push_back(std::make_unique<std::uint8_t[]>(std::max<std::size_t>(Size, 1)));
    return FBuffers.back().get();
}

void TRecordBufferPool::Free(TRecordBuffer& Buffer) {
    auto it = std::find_if(FBuffers.begin(), FBuffers.end(), [&](const auto& p) { return p.get() == Buffer; });
    if (it != FBuffers.end()) FBuffers.erase(it);
    Buffer = nullptr;
}

// --- opening and closing ---

void TDataSet::SetActive(bool Value) {
    // While the owner is read from the form an open is only noted, to be
    // made once loading completes; a close is made at once (and drops a
    // noted open).
    if (ComponentState().Contains(rtl::csLoading)) {
        FStreamedActive = Value;
        if (Value) return;
    }
    if (Active() == Value) return;
    if (Value) {
        DoBeforeOpen();
        rtl::TryFinally([&] { OpenCursor(false); },
                        [&] {
                            if (FState != dsOpening) OpenCursorComplete();
                        });
    } else {
        const bool destroying = ComponentState().Contains(rtl::csDestroying);
        if (!destroying) DoBeforeClose();
        if (IsEditMode(FState)) Cancel();
        SetState(dsInactive);
        CloseCursor();
        if (!destroying) DoAfterClose();
    }
}

void TDataSet::Loaded() {
    rtl::TComponent::Loaded();
    if (!FStreamedActive) return;
    try {
        SetActive(true);
    } catch (const rtl::Exception&) {
        if (!ComponentState().Contains(rtl::csDesigning)) throw;
        InternalHandleException();
    }
}

void TDataSet::OpenCursor(bool InfoQuery) {
    if (InfoQuery) InternalInitFieldDefs();
    else if (FState != dsOpening) DoInternalOpen();
}

void TDataSet::DoInternalOpen() {
    FAutomaticFieldsScope = true;
    InternalOpen();
    FInternalOpenComplete = true;
    UpdateBufferCount();
    FBOF = true;
}

void TDataSet::OpenCursorComplete() {
    rtl::TryFinally(
        [&] {
            if (FState == dsOpening) DoInternalOpen();
        },
        [&] {
            if (FInternalOpenComplete) {
                SetState(dsBrowse);
                DoAfterOpen();
            } else {
                SetState(dsInactive);
                CloseCursor();
            }
        });
}

void TDataSet::DoAfterOpen() {
    Fire(AfterOpen);
    if (!IsEmpty()) DoAfterScroll();
}

void TDataSet::CloseCursor() {
    SetBlockReadSizeValue(0);
    FInternalOpenComplete = false;
    FreeFieldBuffers();
    ClearBuffers();
    SetBufListSize(0);
    InternalClose();
    FBufferCount = 0;
    FAutomaticFieldsScope = false;
}

void TDataSet::CheckActive() {
    if (FState == dsInactive) DatabaseError(SDataSetClosed, this);
}

void TDataSet::CheckInactive() {
    if (!Active()) return;
    if (ComponentState().Contains(rtl::csUpdating) || ComponentState().Contains(rtl::csDesigning)) Close();
    else DatabaseError(SDataSetOpen, this);
}

void TDataSet::CheckBiDirectional() {
    if (FIsUniDirectional) DatabaseError(SDataSetUnidirectional, this);
}

void TDataSet::SetState(TDataSetState Value) {
    if (FState == Value) return;
    FState = Value;
    FModified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
    TDataSetState old = FState;
    FState = Value;
    // FModified stays: a field change recalculates the calculated fields in
    // a temporary state, and the change must still be posted.
    ++FDisableCount;
    return old;
}

void TDataSet::RestoreState(TDataSetState Value) {
    FState = Value;
    --FDisableCount;
}

// --- the record buffer window ---

void TDataSet::ClearBuffers() {
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = true;
    FEOF = true;
}

void TDataSet::ActivateBuffers() {
    FRecordCount = 1;
    FActiveRecord = 0;
    FCurrentRecord = 0;
    FBOF = false;
    FEOF = false;
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
    if (FIsUniDirectional || CurIndex == NewIndex) return;
    TRecordBuffer buffer = FBuffers[CurIndex];
    if (CurIndex < NewIndex)
        std::move(FBuffers.begin() + CurIndex + 1, FBuffers.begin() + NewIndex + 1, FBuffers.begin() + CurIndex);
    else std::move_backward(FBuffers.begin() + NewIndex, FBuffers.begin() + CurIndex, FBuffers.begin() + CurIndex + 1);
    FBuffers[NewIndex] = buffer;
}

void TDataSet::SetBufListSize(int Value) {
    const int old = static_cast<int>(FBuffers.size());
    if (Value > old) {
        FBuffers.reserve(Value);
        try {
            while (static_cast<int>(FBuffers.size()) < Value) {
                FBuffers.push_back(nullptr);
                FBuffers.back() = AllocRecordBuffer();
            }
        } catch (...) {
            // Release what this call allocated, then report.
            while (static_cast<int>(FBuffers.size()) > old) {
                FreeRecordBuffer(FBuffers.back());
                FBuffers.pop_back();
            }
            throw;
        }
    } else {
        while (static_cast<int>(FBuffers.size()) > Value) {
            FreeRecordBuffer(FBuffers.back());
            FBuffers.pop_back();
        }
    }
}

void TDataSet::SetBufferCount(int Value) {
    if (Value == FBufferCount) return;
    if (Value < FBufferCount && FRecordCount > 0) {
        int top = FActiveRecord;
        for (TDataLink* link = FFirstDataLink; link; link = link->FNext)
            if (link->Active() && link->FFirstRecord < top) top = link->FFirstRecord;
        const int entries = static_cast<int>(FBuffers.size());
        if (top + Value >= entries) top = entries - Value - 1;
        if (top > 0) {
            for (int i = 0; i < Value; ++i) MoveBuffer(top + i, i);
            FActiveRecord -= top;
            if (FCurrentRecord != -1) FCurrentRecord -= top;
            for (TDataLink* link = FFirstDataLink; link; link = link->FNext)
                if (link->Active()) link->FFirstRecord -= top;
        }
        // Only the records from Top on stay in the window (a window that was not
        // full must not take the spare buffer for a record).
        FRecordCount = std::min(FRecordCount - std::max(top, 0), Value);
    }
    SetBufListSize(Value + 1);
    FBufferCount = Value;
    if (!ComponentState().Contains(rtl::csDestroying)) {
        GetNextRecords();
        int prior = GetPriorRecords();
        if (prior > 0)
            for (TDataLink* link = FFirstDataLink; link; link = link->FNext)
                if (link->Active()) link->FFirstRecord += prior;
    }
    // Shrinking keeps the records from the topmost row that any view shows, so
    // a view whose rows began further down may now reach past the last record
    // (into the spare buffer and beyond). Such a view moves up until its last
    // row shows the last record; the active record stays on one of its rows.
    for (TDataLink* link = FFirstDataLink; link; link = link->FNext)
        if (link->Active())
            link->FFirstRecord = std::min(link->FFirstRecord, std::max(0, FRecordCount - link->FBufferCount));
}

void TDataSet::UpdateBufferCount() {
    if (!IsCursorOpen()) return;
    int count = 1;
    FFirstDataLink = nullptr;
    TDataLink** tail = &FFirstDataLink;
    for (TDataSource* source : FDataSources)
        for (TDataLink* link : source->FDataLinks) {
            link->FNext = nullptr;
            *tail = link;
            tail = &link->FNext;
            count = std::max(count, link->BufferCount());
        }
    // A one-way cursor cannot return to the records it fetched ahead, and the
    // fields of a unidirectional dataset read the cursor's row: its window
    // holds the current record only, however many rows its views show.
    SetBufferCount(FIsUniDirectional ? 1 : count);
}

void TDataSet::SetCurrentRecord(int Index) {
    if (FCurrentRecord == Index) return;
    if (!FIsUniDirectional) {
        TRecordBuffer buffer = FBuffers[Index];
        switch (GetBookmarkFlag(buffer)) {
            case bfCurrent:
            case bfInserted: InternalSetToRecord(buffer); break;
            case bfBOF: InternalFirst(); break;
            case bfEOF: InternalLast(); break;
        }
    }
    FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos() {
    if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

TRecordBuffer TDataSet::ActiveBuffer() const {
    return FActiveRecord < static_cast<int>(FBuffers.size()) ? FBuffers[FActiveRecord] : nullptr;
}

TRecordBuffer TDataSet::GetBuffer(int Index) const {
    return Index >= 0 && Index < static_cast<int>(FBuffers.size()) ? FBuffers[Index] : nullptr;
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (FRecordCount > 0) {
        SetCurrentRecord(FRecordCount - 1);
        if (FState == dsInsert && FCurrentRecord == FActiveRecord && GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    bool ok = GetRecord(FBuffers[FRecordCount], mode, true) == grOK;
    if (ok) {
        if (FRecordCount == 0) ActivateBuffers();
        else if (FRecordCount < FBufferCount) ++FRecordCount;
        else MoveBuffer(0, FRecordCount);
        FCurrentRecord = FRecordCount - 1;
    } else {
        CursorPosChanged();
    }
    return ok;
}

bool TDataSet::GetPriorRecord() {
    CheckBiDirectional();
    if (FRecordCount > 0) SetCurrentRecord(0);
    bool ok = GetRecord(FBuffers[FRecordCount], gmPrior, true) == grOK;
    if (ok) {
        if (FRecordCount == 0) {
            ActivateBuffers();
        } else {
            MoveBuffer(FRecordCount, 0);
            if (FRecordCount < FBufferCount) {
                ++FRecordCount;
                ++FActiveRecord;
            }
        }
        FCurrentRecord = 0;
    } else {
        CursorPosChanged();
    }
    return ok;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (FRecordCount < FBufferCount && GetNextRecord()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    if (FIsUniDirectional) return 0;
    int n = 0;
    while (FRecordCount < FBufferCount && GetPriorRecord()) ++n;
    return n;
}

// --- navigation ---

int TDataSet::MoveBy(int Distance) {
    // Backward is refused before anything else, wherever the record is.
    if (Distance < 0) CheckBiDirectional();
    CheckBrowseMode();
    DoBeforeScroll();
    if (!((Distance > 0 && !FEOF) || (Distance < 0 && !FBOF))) return 0;
    FBOF = false;
    FEOF = false;
    const int oldRecordCount = FRecordCount;
    int scrollCount = 0;
    int result = 0;
    rtl::TryFinally(
        [&] {
            if (Distance > 0) {
                while (Distance > 0) {
                    if (FActiveRecord < FRecordCount - 1) {
                        ++FActiveRecord;
                    } else {
                        const bool full = FRecordCount >= FBufferCount;
                        if (!GetNextRecord()) {
                            FEOF = true;
                            break;
                        }
                        if (full) --scrollCount;
                        if (FActiveRecord < FRecordCount - 1) ++FActiveRecord;
                    }
                    --Distance;
                    ++result;
                }
            } else {
                while (Distance < 0) {
                    if (FActiveRecord > 0) {
                        --FActiveRecord;
                    } else {
                        const bool full = FRecordCount >= FBufferCount;
                        if (!GetPriorRecord()) {
                            FBOF = true;
                            break;
                        }
                        if (full) ++scrollCount;
                        if (FActiveRecord > 0) --FActiveRecord;
                    }
                    ++Distance;
                    --result;
                }
            }
        },
        [&] {
            if (FRecordCount != oldRecordCount) DataEvent(deDataSetChange, 0);
            else DataEvent(deDataSetScroll, scrollCount);
            DoAfterScroll();
        });
    return result;
}

void TDataSet::Next() {
    if (FBlockReadSize > 0) BlockReadNext();
    else MoveBy(1);
}

void TDataSet::Prior() { MoveBy(-1); }

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    auto finish = [this] {
        FBOF = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
    };
    if (!FIsUniDirectional) {
        ClearBuffers();
        rtl::TryFinally(
            [&] {
                InternalFirst();
                GetNextRecord();
                GetNextRecords();
            },
            finish);
    } else {
        if (!FBOF) {
            SetActive(false);
            SetActive(true);
        }
        rtl::TryFinally([&] { InternalFirst(); }, finish);
    }
}

void TDataSet::Last() {
    CheckBiDirectional();
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    rtl::TryFinally(
        [&] {
            InternalLast();
            GetPriorRecord();
            GetPriorRecords();
        },
        [&] {
            FEOF = true;
            DataEvent(deDataSetChange, 0);
            DoAfterScroll();
        });
}

void TDataSet::Resync(TResyncMode Mode) {
    if (FIsUniDirectional || !IsCursorOpen()) return;
    if (Mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecord(FBuffers[FRecordCount], gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
    } else if (GetRecord(FBuffers[FRecordCount], gmCurrent, false) != grOK &&
               GetRecord(FBuffers[FRecordCount], gmNext, false) != grOK &&
               GetRecord(FBuffers[FRecordCount], gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = Mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
    MoveBuffer(FRecordCount, 0);
    ActivateBuffers();
    rtl::TryFinally(
        [&] {
            while (count > 0 && GetPriorRecord()) --count;
            GetNextRecords();
            GetPriorRecords();
        },
        [&] { DataEvent(deDataSetChange, 0); });
}

void TDataSet::Refresh() {
    DoBeforeRefresh();
    CheckBrowseMode();
    UpdateCursorPos();
    rtl::TryFinally([&] { InternalRefresh(); }, [&] { Resync({}); });
    DoAfterRefresh();
}

void TDataSet::SetBlockReadSizeValue(int Value) {
    if (Value > 0) {
        CheckActive();
        SetState(dsBlockRead);
    } else if (FState == dsBlockRead) {
        SetState(dsBrowse);
    }
    FBlockReadSize = Value;
}

TBookmark TDataSet::GetBookmark() {
    TBookmark bm;
    if (!IsEmpty() && FState != dsInsert && GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
        GetBookmarkData(ActiveBuffer(), bm);
    return bm;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
    if (Bookmark.empty()) return;
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(Bookmark);
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark&) { return false; }
int TDataSet::CompareBookmarks(const TBookmark&, const TBookmark&) { return 0; }

// --- notification ---

void TDataSet::DataEvent(TDataEvent Event, std::intptr_t Info) {
    bool notify = !ControlsDisabled() && FState != dsBlockRead;
    switch (Event) {
        case deFieldChange: {
            auto* field = reinterpret_cast<TField*>(Info);
            if (field && (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)) FModified = true;
            if (FState != dsSetKey && field) {
                if (field->FieldKind() == fkData) {
                    if (FInternalCalcFields) RefreshInternalCalcFields(ActiveBuffer());
                    else if (FCalcFieldsSize != 0 && FAutoCalcFields) CalculateFields(ActiveBuffer());
                }
                field->Change();
            }
            break;
        }
        case deDataSetChange:
        case deDataSetScroll:
            if (FState == dsBlockRead)
                for (TDataSource* source : FDataSources)
                    if (source->State() != dsInactive)
                        for (int i = source->DataLinkCount() - 1; i >= 0; --i) {
                            TDataLink* link = source->DataLinks(i);
                            if (!link->VisualControl()) link->DataEvent(Event, Info);
                        }
            break;
        case deLayoutChange:
            FFieldListUpdated = false;
            if (ControlsDisabled()) FEnableEvent = deLayoutChange;
            break;
        case deUpdateState:
            if (ControlsDisabled()) {
                const bool active = FState != dsInactive;
                if ((active && FEnableEvent == deLayoutChange) ||
                    (!active && (FEnableEvent == deDataSetChange || FEnableEvent == deLayoutChange))) {
                    Event = deDisabledStateChange;
                    Info = active ? 1 : 0;
                    notify = true;
                    FEnableEvent = deLayoutChange;
                }
            }
            break;
        case dePropertyChange: FFieldDefs->SetUpdated(false); break;
        case deFieldListChange: FFieldListUpdated = false; break;
        default: break;
    }
    if (notify) {
        std::vector<TDataSource*> sources = FDataSources;
        for (TDataSource* source : sources) source->DataEvent(Event, Info);
    }
}

void TDataSet::DisableControls() {
    if (FDisableCount == 0) {
        FDisableState = FState;
        FEnableEvent = deDataSetChange;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0) return;
    if (--FDisableCount != 0) return;
    if (FState != FDisableState) DataEvent(deUpdateState, 0);
    if (FState != dsInactive) DataEvent(FEnableEvent, 0);
}

void TDataSet::AddDataSource(TDataSource* DataSource) {
    FDataSources.push_back(DataSource);
    DataSource->FDataSet = this;
    // As for a link joining a data source: the data source stays attached
    // when the window cannot be resized, and takes the dataset's state anyway.
    rtl::TryFinally([&] { UpdateBufferCount(); }, [&] { DataSource->UpdateState(); });
}

void TDataSet::RemoveDataSource(TDataSource* DataSource) {
    DataSource->FDataSet = nullptr;
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), DataSource), FDataSources.end());
    DataSource->UpdateState();
    // While the dataset is being destroyed its cursor operations are gone.
    if (!ComponentState().Contains(rtl::csDestroying)) UpdateBufferCount();
}

// --- editing ---

void TDataSet::CheckCanModify() {
    if (!CanModify()) DatabaseError(SDataSetReadOnly, this);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (FState) {
        case dsEdit:
        case dsInsert:
            UpdateRecord();
            if (FModified) Post();
            else Cancel();
            break;
        case dsSetKey: Post(); break;
        default: break;
    }
}

void TDataSet::UpdateRecord() {
    if (!IsEditMode(FState)) DatabaseError(SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent) {
    for (;;) {
        try {
            UpdateCursorPos();
            (this->*Operation)();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = daFail;
            if (ErrorEvent) ErrorEvent(*this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) rtl::Abort();
        }
    }
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert) return;
    if (FRecordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckOperation(&TDataSet::InternalEdit, OnEditError);
    CalculateFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::InitRecord(TRecordBuffer Buffer) {
    InternalInitRecord(Buffer);
    ClearCalcFields(Buffer);
    SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::Insert() {
    BeginInsertAppend();
    TBookmark current = GetBookmark();
    MoveBuffer(FRecordCount, FActiveRecord);
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (FRecordCount == 0) SetBookmarkFlag(buffer, bfBOF);
    else SetBookmarkData(buffer, current);
    if (FRecordCount < FBufferCount) ++FRecordCount;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = FBuffers[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    FRecordCount = 1;
    FBOF = false;
    GetPriorRecords();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Post() {
    UpdateRecord();
    if (!IsEditMode(FState)) return;
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation(&TDataSet::InternalPost, OnPostError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (FState != dsEdit && FState != dsInsert) return;
    DataEvent(deCheckBrowseMode, 0);
    const bool wasInsert = FState == dsInsert;
    DoBeforeCancel();
    if (wasInsert) DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    FreeFieldBuffers();
    SetState(dsBrowse);
    if (ComponentState().Contains(rtl::csDestroying)) return;
    Resync({});
    DoAfterCancel();
    if (wasInsert) DoAfterScroll();
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FRecordCount == 0) DatabaseError(SDataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::FreeFieldBuffers() {
    for (TField* f : *FFields) f->FreeBuffers();
}

// --- calculated fields and filters: the base behaviour ---

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
    if (FCalcFieldsSize == 0) return;
    TDataSetState old = SetTempState(dsCalcFields);
    rtl::TryFinally(
        [&] {
            ClearCalcFields(Buffer);
            GetCalcFields(Buffer);
        },
        [&] { RestoreState(old); });
}

void TDataSet::GetCalcFields(TRecordBuffer) {
    if (FCalcFieldsSize > 0 && FAutoCalcFields) DoOnCalcFields();
}

TFieldTypeSet TDataSet::GetCalcFieldTypes() {
    // clang-format off
    return {ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate, ftTime,
            ftDateTime, ftAutoInc, ftFixedChar, ftWideString, ftLargeint, ftVariant, ftGuid, ftTimeStamp,
            ftFMTBcd, ftFixedWideChar, ftLongWord, ftShortint, ftByte, ftExtended, ftSingle};
    // clang-format on
}

void TDataSet::SetFiltered(bool Value) {
    CheckBiDirectional();
    FFiltered = Value;
}

void TDataSet::SetFilterText(rtl::StringView Value) {
    CheckBiDirectional();
    FFilterText = rtl::String(Value);
}

void TDataSet::SetFilterOptions(TFilterOptions Value) {
    CheckBiDirectional();
    FFilterOptions = Value;
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent Value) {
    CheckBiDirectional();
    OnFilterRecord = std::move(Value);
}

// --- provider support: the defaults ---

void TDataSet::PSEndTransaction(bool) {}
int TDataSet::PSExecuteStatement(rtl::StringView, TParams*) { return 0; }
int TDataSet::PSExecuteStatement(rtl::StringView, TParams*, std::unique_ptr<TDataSet>& ResultSet) {
    ResultSet.reset();
    return 0;
}
void TDataSet::PSExecute() {}
void TDataSet::PSGetAttributes(TPacketAttributeList&) {}
TPSCommandType TDataSet::PSGetCommandType() { return ctUnknown; }
rtl::String TDataSet::PSGetCommandText() { return {}; }
const TIndexDef* TDataSet::PSGetDefaultOrder() { return nullptr; }
rtl::String TDataSet::PSGetKeyFields() {
    rtl::String keys;
    for (TField* f : *FFields)
        if (f->ProviderFlags().Contains(pfInKey)) keys += (keys.empty() ? u"" : u";") + f->FieldName();
    return keys;
}
TParams* TDataSet::PSGetParams() { return nullptr; }
rtl::String TDataSet::PSGetQuoteChar() { return u"\""; }
rtl::String TDataSet::PSGetTableName() { return {}; }
TIndexDefs TDataSet::PSGetIndexDefs(TIndexOptions) { return {}; }
bool TDataSet::PSInTransaction() { return false; }
bool TDataSet::PSIsSQLBased() { return false; }
bool TDataSet::PSIsSQLSupported() { return false; }
void TDataSet::PSReset() {}
void TDataSet::PSSetCommandText(rtl::StringView) {}
void TDataSet::PSSetParams(TParams*) {}
void TDataSet::PSStartTransaction() {}
bool TDataSet::PSUpdateRecord(TUpdateStatus, TDataSet*) { return false; }
std::unique_ptr<EDatabaseError> TDataSet::PSGetUpdateException(const rtl::Exception& E, const EDatabaseError*) {
    return std::make_unique<EDatabaseError>(E.Message());
}

}  // namespace data
