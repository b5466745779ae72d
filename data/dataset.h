#pragma once
// TDataSet: the abstract dataset. It keeps the state, opens and closes the
// cursor, holds a window of fetched records in record buffers sized to the
// largest view, moves over the records, creates and binds the fields and
// broadcasts data events to its data sources. A concrete dataset supplies the
// cursor: InternalOpen/InternalClose, GetRecord, record buffers and
// GetFieldData (and, when it can move backward, the positioning operations).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/db_error.h"
#include "data/field_defs.h"
#include "data/fields.h"
#include "data/provider_support.h"
#include "rtl/component.h"

namespace rtl {
class TStream;
class TStringList;
}  // namespace rtl

namespace data {

class TDataSource;
class TDataLink;

// clang-format off
enum TDataSetState {
    dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
    dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};
// clang-format on
// The states in which the active record is being changed.
inline bool IsEditMode(TDataSetState State) { return State == dsEdit || State == dsInsert || State == dsSetKey; }

// clang-format off
enum TDataEvent {
    deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
    deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl, deParentScroll,
    deConnectChange, deReconcileError, deDisabledStateChange
};
// clang-format on

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TResyncModeFlag { rmExact, rmCenter };
using TResyncMode = rtl::Set<TResyncModeFlag>;
enum TDataAction { daFail, daAbort, daRetry };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
enum TAutoCreateMode { acExclusive, acCombineComputed, acCombineAlways };
enum TFieldsPositionMode { poLast, poFirst, poFieldNo };

// How a filter compares texts: without regard to letter case, and whole
// values only (a trailing '*' in the filter is then no wildcard).
enum TFilterOption { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = rtl::Set<TFilterOption>;

struct TFieldOptions {
    TAutoCreateMode AutoCreateMode = acExclusive;
    TFieldsPositionMode PositionMode = poLast;
    bool UpdatePersistent = false;
};

// A record buffer of the window: memory that the concrete dataset allocates
// (AllocRecordBuffer) and releases (FreeRecordBuffer).
using TRecordBuffer = std::uint8_t*;
using TBookmark = rtl::TBytes;

// The record buffers a concrete dataset hands to the window: zero-filled,
// owned here, valid until freed or until the pool goes.
class TRecordBufferPool {
public:
    TRecordBuffer Alloc(std::size_t Size);
    void Free(TRecordBuffer& Buffer);

private:
    std::vector<std::unique_ptr<std::uint8_t[]>> FBuffers;
};

using TDataSetNotifyEvent = std::function<void(TDataSet& DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet& DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet& DataSet, bool& Accept)>;

class TDataSet : public rtl::TComponent {
public:
    explicit TDataSet(rtl::TComponent* AOwner);
    // Closes the dataset, detaches its data sources (last first) and frees
    // its fields.
    ~TDataSet() override;

    // Opening and closing.
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const { return FState != dsInactive && FState != dsOpening; }
    virtual void SetActive(bool Value);
    TDataSetState State() const { return FState; }
    virtual void CheckActive();
    virtual void CheckInactive();
    void CheckBiDirectional();
    bool IsUniDirectional() const { return FIsUniDirectional; }

    // Navigation.
    void First();
    void Last();
    void Next();
    void Prior();
    virtual int MoveBy(int Distance);
    // At the first / past the last record (EOF is a C library macro, hence the casing).
    bool Bof() const { return FBOF; }
    bool Eof() const { return FEOF; }
    bool IsEmpty() const { return FActiveRecord >= FRecordCount; }
    int RecordCount() { return GetRecordCount(); }
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int Value) { SetRecNoValue(Value); }
    void Refresh();
    virtual void Resync(TResyncMode Mode);
    void UpdateCursorPos();
    void CursorPosChanged() { FCurrentRecord = -1; }
    TRecordBuffer ActiveBuffer() const;
    TRecordBuffer GetBuffer(int Index) const;
    int BlockReadSize() const { return FBlockReadSize; }
    void SetBlockReadSize(int Value) { SetBlockReadSizeValue(Value); }
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& Bookmark);
    // The current bookmark as a value, and going to one (empty: nowhere).
    virtual TBookmark GetBookmarkStr() { return GetBookmark(); }
    virtual void SetBookmarkStr(const TBookmark& Value) { GotoBookmark(Value); }
    // A bookmark is a value: freeing one only empties it.
    virtual void FreeBookmark(TBookmark& Bookmark) { Bookmark.clear(); }
    virtual bool BookmarkValid(const TBookmark& Bookmark);
    virtual int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2);

    // Editing.
    void Edit();
    void Insert();
    void Append();
    virtual void Post();
    virtual void Cancel();
    void Delete();
    void CheckBrowseMode();
    void UpdateRecord();
    bool CanModify() { return GetCanModify(); }
    bool Modified() const { return FModified; }
    virtual TUpdateStatus UpdateStatus() { return usUnmodified; }

    // Fields.
    TFields& Fields() { return *FFields; }
    TFields& AggFields() { return *FAggFields; }
    TFieldDefs& FieldDefs() { return *FFieldDefs; }
    // The flattened field definitions (children included), rebuilt on demand.
    TFieldDefList& FieldDefList();
    int FieldCount() const { return FFields->Count(); }
    TField* FieldByName(rtl::StringView FieldName);
    TField* FindField(rtl::StringView FieldName);
    TField* FieldByNumber(int FieldNo);
    void GetFieldNames(rtl::TStringList& List);
    // True unless fields exist that the dataset did not create itself (with
    // AutoCreateMode acExclusive).
    bool DefaultFields() const;
    virtual void CreateFields();
    virtual void DestroyFields();
    virtual void BindFields(bool Binding);
    virtual void InitFieldDefs();
    TFieldOptions& FieldOptions() { return FFieldOptions; }
    bool ObjectView() const { return FObjectView; }
    // Structured fields own their children (else every field is top-level).
    void SetObjectView(bool Value) {
        CheckInactive();
        FObjectView = Value;
    }
    bool AutoCalcFields() const { return FAutoCalcFields; }
    void SetAutoCalcFields(bool Value) { FAutoCalcFields = Value; }
    int FieldNoOfs() const { return FFieldNoOfs; }

    // Reading values. A concrete dataset overrides the pointer form by field:
    // it copies the field's value of the active record into Buffer (at least
    // DataSize bytes) and returns false for null; a null Buffer only asks
    // whether a value exists (blob fields are always asked so). The other
    // forms lead there: by number through FieldByNumber, byte arrays through
    // the pointer form, and the non-native forms through a scratch area and
    // DataConvert. CreateBlobStream gives null when there is no blob data.
    virtual bool GetFieldData(TField* Field, void* Buffer);
    virtual bool GetFieldData(int FieldNo, void* Buffer);
    virtual bool GetFieldData(TField* Field, void* Buffer, bool NativeFormat);
    virtual bool GetFieldData(TField* Field, TValueBuffer& Buffer);
    virtual bool GetFieldData(int FieldNo, TValueBuffer& Buffer);
    virtual bool GetFieldData(TField* Field, TValueBuffer& Buffer, bool NativeFormat);
    virtual void SetFieldData(TField* Field, const void* Buffer);
    virtual void SetFieldData(TField* Field, const void* Buffer, bool NativeFormat);
    virtual std::unique_ptr<rtl::TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode);
    // Copies the blob value of field FieldNo into Buffer; gives its length.
    virtual int GetBlobFieldData(int FieldNo, rtl::TBytes& Buffer);
    // Converts 8-bit text between character sets; the base copies. Gives the
    // length of the result.
    virtual int Translate(const char* Src, char* Dest, bool ToOem);
    virtual bool GetCurrentRecord(TRecordBuffer Buffer);
    virtual void GetDetailDataSets(std::vector<TDataSet*>& List);
    virtual void GetDetailLinkFields(std::vector<TField*>& MasterFields, std::vector<TField*>& DetailFields);
    virtual bool IsSequenced() { return true; }
    virtual bool Locate(rtl::StringView KeyFields, const rtl::Variant& KeyValues);
    virtual rtl::Variant Lookup(rtl::StringView KeyFields, const rtl::Variant& KeyValues, rtl::StringView ResultFields);

    // Filtering (not supported by unidirectional datasets).
    bool Filtered() const { return FFiltered; }
    virtual void SetFiltered(bool Value);
    const rtl::String& FilterText() const { return FFilterText; }
    virtual void SetFilterText(rtl::StringView Value);
    TFilterOptions FilterOptions() const { return FFilterOptions; }
    virtual void SetFilterOptions(TFilterOptions Value);
    virtual void SetOnFilterRecord(TFilterRecordEvent Value);

    // Notification.
    virtual void DataEvent(TDataEvent Event, std::intptr_t Info);
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount != 0; }
    void UpdateBufferCount();
    int BufferCount() const { return FBufferCount; }
    // The data sources attached, in attach order.
    int DataSourceCount() const { return static_cast<int>(FDataSources.size()); }
    TDataSource* DataSources(int Index) const { return FDataSources.at(Index); }
    TDataSource* DataSource() { return GetDataSource(); }

    // Window indexes, as the data links read them.
    int ActiveRecord() const { return FActiveRecord; }
    int WindowRecordCount() const { return FRecordCount; }
    int CurrentRecord() const { return FCurrentRecord; }

    // Provider support.
    virtual void PSEndTransaction(bool Commit);
    virtual int PSExecuteStatement(rtl::StringView ASQL, TParams* AParams);
    virtual int PSExecuteStatement(rtl::StringView ASQL, TParams* AParams, std::unique_ptr<TDataSet>& ResultSet);
    virtual void PSExecute();
    virtual void PSGetAttributes(TPacketAttributeList& List);
    virtual TPSCommandType PSGetCommandType();
    virtual rtl::String PSGetCommandText();
    virtual const TIndexDef* PSGetDefaultOrder();
    virtual rtl::String PSGetKeyFields();
    virtual TParams* PSGetParams();
    virtual rtl::String PSGetQuoteChar();
    virtual rtl::String PSGetTableName();
    virtual TIndexDefs PSGetIndexDefs(TIndexOptions IndexTypes);
    virtual bool PSInTransaction();
    virtual bool PSIsSQLBased();
    virtual bool PSIsSQLSupported();
    virtual void PSReset();
    virtual void PSSetCommandText(rtl::StringView CommandText);
    virtual void PSSetParams(TParams* AParams);
    virtual void PSStartTransaction();
    virtual bool PSUpdateRecord(TUpdateStatus UpdateKind, TDataSet* Delta);
    // The error a provider reports for a record it could not apply, made
    // from the failure E (Prev: the error of the record before, or null);
    // the base carries E's message.
    virtual std::unique_ptr<EDatabaseError> PSGetUpdateException(const rtl::Exception& E, const EDatabaseError* Prev);

    // clang-format off
    // Events.
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
        BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete,
        BeforeRefresh, AfterRefresh, BeforeScroll, AfterScroll, OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;
    // clang-format on
    TFilterRecordEvent OnFilterRecord;

    // Used by the fields: the class created for a definition, the passing of
    // a definition's properties, the index-field test and the value
    // conversion of non-native reads.
    virtual TFieldClass GetFieldClass(TFieldType FieldType);
    virtual TFieldClass GetFieldClass(const TFieldDef& FieldDef);
    virtual void SetFieldProps(TField* Field, const TFieldDef& FieldDef);
    // Describes a field in a definition (the field's SetFieldDefProps).
    virtual void SetFieldDefProps(TFieldDef& FieldDef, const TField* Field);
    virtual bool GetIsIndexField(const TField* Field);
    // The class of the lookup lists of this dataset's lookup fields.
    virtual TLookupListClass GetLookupListClass(const TField*) { return &NewLookupList; }
    // The name by which a field is bound to its definition ("Parent.Child").
    virtual rtl::String GetFieldFullName(const TField* Field) { return Field->FullName(); }
    virtual void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative);
    bool AutomaticFieldsScope() const { return FAutomaticFieldsScope; }

protected:
    // Cursor and window operations.
    virtual void OpenCursor(bool InfoQuery);
    virtual void CloseCursor();
    void OpenCursorComplete();
    void DoInternalOpen();
    virtual void ClearBuffers();
    virtual void ActivateBuffers();
    void MoveBuffer(int CurIndex, int NewIndex);
    virtual void SetBufListSize(int Value);
    void SetBufferCount(int Value);
    virtual void SetCurrentRecord(int Index);
    virtual bool GetNextRecord();
    virtual int GetNextRecords();
    virtual bool GetPriorRecord();
    virtual int GetPriorRecords();
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    virtual void SetRecNoValue(int) {}
    virtual void SetBlockReadSizeValue(int Value);
    void BlockReadNext() { MoveBy(1); }
    void SetState(TDataSetState Value);
    TDataSetState SetTempState(TDataSetState Value);
    void RestoreState(TDataSetState Value);
    virtual void SetStateFieldValue(TDataSetState, TField*, const rtl::Variant&) {}
    virtual rtl::Variant GetStateFieldValue(TDataSetState, TField*) { return rtl::Variant(); }

    // Record buffers and the cursor, supplied by the concrete dataset (which
    // also calls Destroying() and Close() in its destructor, since closing
    // needs its InternalClose).
    virtual TRecordBuffer AllocRecordBuffer() { return nullptr; }
    virtual void FreeRecordBuffer(TRecordBuffer& Buffer) { Buffer = nullptr; }
    virtual int GetRecordSize() { return 0; }
    virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
    virtual void InternalClose() = 0;
    virtual void InternalHandleException() = 0;
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalOpen() = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalFirst() {}
    virtual void InternalLast() {}
    virtual void InternalCancel() {}
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalRefresh() {}
    virtual void InternalDelete() {}
    virtual void InternalPost() {}
    virtual void InternalSetToRecord(TRecordBuffer) {}
    virtual void InternalInitRecord(TRecordBuffer) {}
    virtual void InternalAddRecord(TRecordBuffer, bool) {}
    virtual void InternalGotoBookmark(const TBookmark&) {}
    virtual void InitRecord(TRecordBuffer Buffer);
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer) { return bfCurrent; }
    virtual void SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) {}
    virtual void GetBookmarkData(TRecordBuffer, TBookmark& Data) { Data.clear(); }
    virtual void SetBookmarkData(TRecordBuffer, const TBookmark&) {}
    virtual bool GetCanModify() { return true; }
    virtual bool GetCanRefresh() { return GetCanModify(); }
    virtual TDataSource* GetDataSource() { return nullptr; }

    // Calculated fields, filters, lookups and nested datasets: kept to the
    // base behaviour.
    virtual void CalculateFields(TRecordBuffer Buffer);
    virtual void ClearCalcFields(TRecordBuffer) {}
    virtual void GetCalcFields(TRecordBuffer Buffer);
    virtual TFieldTypeSet GetCalcFieldTypes();
    virtual void RefreshInternalCalcFields(TRecordBuffer) {}
    virtual bool FindRecord(bool, bool) { return false; }
    virtual void CheckFieldCompatibility(TField* Field, const TFieldDef& FieldDef);
    virtual void FreeFieldBuffers();
    virtual void DefChanged() {}
    virtual void UpdateIndexDefs() {}
    virtual void CloseBlob(TField*) {}
    // Aggregates and copies of the dataset: none in the base.
    virtual void ResetAggField(TField*) {}
    virtual rtl::Variant GetAggregateValue(TField*) { return rtl::Variant::Null(); }
    virtual int GetAggRecordCount(TField*) { return 0; }
    virtual TDataSet* GetClonedDataSet(bool /*WithSettings*/) { return nullptr; }

    virtual void DoAfterCancel() { Fire(AfterCancel); }
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoAfterEdit() { Fire(AfterEdit); }
    virtual void DoAfterInsert() { Fire(AfterInsert); }
    virtual void DoAfterOpen();
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoAfterRefresh() { Fire(AfterRefresh); }
    virtual void DoAfterScroll() { Fire(AfterScroll); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoBeforeClose() { Fire(BeforeClose); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoBeforeOpen() { Fire(BeforeOpen); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoBeforeRefresh() { Fire(BeforeRefresh); }
    virtual void DoBeforeScroll() { Fire(BeforeScroll); }
    virtual void DoOnCalcFields() { Fire(OnCalcFields); }
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }

    void Loaded() override;
    void CheckCanModify();

    // The window (see the class comment): FBuffers has FBufferCount + 1
    // entries, the one at FRecordCount being the spare for the next fetch.
    // The collections are of fixed classes, made in the constructor: no
    // dataset here needs other ones, so there are no class getters for them.
    std::unique_ptr<TFields> FFields;
    std::unique_ptr<TFields> FAggFields;
    std::unique_ptr<TFieldDefs> FFieldDefs;
    TFieldDefList FFieldDefList;
    bool FFieldListUpdated = false;
    std::vector<TDataSource*> FDataSources;
    TDataLink* FFirstDataLink = nullptr;
    int FBufferCount = 0;
    int FRecordCount = 0;
    int FActiveRecord = 0;
    int FCurrentRecord = -1;
    std::vector<TRecordBuffer> FBuffers;
    TRecordBuffer FCalcBuffer = nullptr;
    int FBookmarkSize = 0;
    int FCalcFieldsSize = 0;
    int FBlobFieldCount = 0;
    int FIOBufferSize = 0;
    TValueBuffer FIOSharedBuffer;
    TValueBuffer FIOTempBuffer;
    bool FBOF = true;
    bool FEOF = true;
    TDataSetState FState = dsInactive;
    bool FModified = false;
    int FDisableCount = 0;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = deDataSetChange;
    int FBlockReadSize = 0;
    bool FIsUniDirectional = false;
    bool FInternalOpenComplete = false;
    bool FAutomaticFieldsScope = false;
    bool FStreamedActive = false;
    bool FAutoCalcFields = true;
    bool FInternalCalcFields = false;
    int FFieldNoOfs = 1;
    bool FObjectView = false;
    bool FSparseArrays = false;
    bool FFiltered = false;
    rtl::String FFilterText;
    TFilterOptions FFilterOptions;
    bool FFound = false;
    TFieldOptions FFieldOptions;

private:
    friend class TDataSource;
    friend class TDataLink;
    friend class TField;
    friend class TFieldDefs;
    void AddDataSource(TDataSource* DataSource);
    void RemoveDataSource(TDataSource* DataSource);
    void Fire(const TDataSetNotifyEvent& Event) {
        if (Event) Event(*this);
    }
    // Runs Operation, giving ErrorEvent the chance to retry or abort on
    // EDatabaseError.
    void CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent);
    void BeginInsertAppend();
    void EndInsertAppend();
    void CreateFieldsFromDefs(const TFieldDefList& List, bool Combining);
    void BindFieldList(TFields& List, bool Binding);
};

}  // namespace data
