#include "datapacket/client_dataset.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "datapacket/ds_bytes.h"
#include "datapacket/ds_errors.h"
#include "datapacket/ds_intf.h"
#include "datapacket/provider.h"
#include "datapacket/type_maps.h"
#include "rtl/stream.h"
#include "rtl/try_finally.h"

namespace datapacket {

using namespace data;

namespace {

constexpr const char16_t* SNoDataProvider = u"Missing data provider or data packet";
constexpr const char16_t* SCircularProvider = u"Circular provider references not allowed";

// The record information kept after the engine record and calculated fields.
struct TRecInfo {
    std::int32_t RecordNumber;
    std::uint8_t BookmarkFlag;
    std::uint8_t Attribute;
};
constexpr std::uint32_t RecInfoSize = 6;

TRecInfo ReadRecInfo(const std::uint8_t* At) {
    TRecInfo info{};
    std::memcpy(&info.RecordNumber, At, 4);
    info.BookmarkFlag = At[4];
    info.Attribute = At[5];
    return info;
}

void WriteRecInfo(std::uint8_t* At, const TRecInfo& Info) {
    std::memcpy(At, &Info.RecordNumber, 4);
    At[4] = Info.BookmarkFlag;
    At[5] = Info.Attribute;
}

// The code page the engine is told 8-bit text is in: UTF-8.
constexpr std::uint32_t DefaultCodePage = 65001;

// The text of a string parameter (a varying value: its prefix, then the bytes
// and, as the provider writes them, a zero).
rtl::String ParamText(const TDSOptParam& Param) {
    const std::uint32_t prefix = FieldSizeOf(Param.Type);
    if (!(Param.Type & dsVaryingFldType) || (prefix != 1 && prefix != 2 && prefix != 4) || Param.Value.size() < prefix)
        return {};
    const std::size_t len = std::min<std::size_t>(GetPrefix(Param.Value.data(), prefix), Param.Value.size() - prefix);
    std::string_view text(reinterpret_cast<const char*>(Param.Value.data() + prefix), len);
    if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    return rtl::Utf8ToString(text);
}

}  // namespace

TCustomClientDataSet::TCustomClientDataSet(rtl::TComponent* AOwner)
    : TDataSet(AOwner), FParams(std::make_unique<TParams>()) {}

TCustomClientDataSet::~TCustomClientDataSet() {
    Destroying();
    Close();
    ReleaseAppServer();
}

void TCustomClientDataSet::Check(std::uint16_t Status) {
    if (Status == DBERR_NONE) return;
    char text[ErrorStringSize] = {};
    if (FDSBase) FDSBase->GetErrorString(Status, text);
    else CopyErrorString(Status, text);
    throw EDBClient(rtl::Utf8ToString(text), Status);
}

// ---- the provider

void TCustomClientDataSet::SetProviderName(rtl::StringView Value) {
    if (Value == FProviderName) return;
    CheckInactive();
    ReleaseAppServer();
    FProviderName = rtl::String(Value);
}

void TCustomClientDataSet::ReleaseAppServer() {
    FAppServer.reset();
    if (FProvider) FProvider->RemoveFreeNotification(this);
    FProvider = nullptr;
}

void TCustomClientDataSet::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TDataSet::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent == FProvider) {
        FAppServer.reset();
        FProvider = nullptr;
    }
}

IAppServer& TCustomClientDataSet::GetAppServer() {
    if (!FAppServer && !FProviderName.empty() && Owner()) {
        if (auto* provider = dynamic_cast<TCustomProvider*>(Owner()->FindComponent(FProviderName))) {
            if (provider->SourceDataSet() == this) DatabaseError(SCircularProvider, this);
            FAppServer = std::make_unique<TLocalAppServer>(*provider);
            FProvider = provider;
            FProvider->FreeNotification(this);
        }
    }
    if (!FAppServer) DatabaseError(SNoDataProvider, this);
    return *FAppServer;
}

rtl::Variant TCustomClientDataSet::DoGetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                                rtl::StringView CommandText, rtl::Variant Params) {
    rtl::Variant ownerData;
    if (BeforeGetRecords) BeforeGetRecords(*this, ownerData);
    if (Params.IsEmpty() && FParams->Count() > 0) Params = PackageParams(*FParams);
    rtl::Variant result;
    CheckServerResult(
        GetAppServer().AS_GetRecords(FProviderName, Count, RecsOut, Options, CommandText, Params, ownerData, result));
    // The provider hands back the values its source holds now.
    UnpackParams(Params, *FParams);
    if (AfterGetRecords) AfterGetRecords(*this, ownerData);
    return result;
}

void TCustomClientDataSet::AddDataPacket(const rtl::Variant& Data, bool HitEOF) {
    if (!FDSBase) DatabaseError(SDataSetClosed, this);
    const rtl::TBytes* packet = VarToDataPacket(Data);
    Check(FDSBase->AppendData(packet, HitEOF));
    if (packet && FProviderName.empty()) FStorePackets.push_back(*packet);
}

void TCustomClientDataSet::FetchMoreData(bool All) {
    const std::int32_t count = All ? AllRecords : FPacketRecords;
    if (count == 0) return;
    std::int32_t recsOut = 0;
    const rtl::Variant data = DoGetRecords(count, recsOut, 0, u"", rtl::Variant());
    AddDataPacket(data, recsOut != count);
    FProviderEOF = recsOut != count;
}

void TCustomClientDataSet::CheckProviderEOF() {
    if (HasAppServer() && !FProviderEOF && FFetchOnDemand && FPacketRecords != 0) FetchMoreData(true);
}

std::int32_t TCustomClientDataSet::GetNextPacket() {
    if (FProviderEOF) return 0;
    UpdateCursorPos();
    std::int32_t recsOut = 0;
    const rtl::Variant data = DoGetRecords(FPacketRecords, recsOut, 0, u"", rtl::Variant());
    AddDataPacket(data, recsOut != FPacketRecords);
    FProviderEOF = recsOut != FPacketRecords;
    Resync({});
    return recsOut;
}

// ---- opening and closing

void TCustomClientDataSet::OpenCursor(bool InfoQuery) {
    FProviderEOF = true;
    FSavePacketOnClose = false;
    if (!FDSBase) {
        std::vector<const rtl::TBytes*> packets;
        rtl::Variant data;
        for (const rtl::TBytes& saved : FSavedPacket) packets.push_back(&saved);
        if (packets.empty()) {
            std::int32_t recsOut = 0;
            data = DoGetRecords(FPacketRecords, recsOut, GetRecordOptionsToInt({grMetaData}), FCommandText,
                                PackageParams(*FParams));
            const rtl::TBytes* packet = VarToDataPacket(data);
            if (!packet) DatabaseError(SNoDataProvider, this);
            FProviderEOF = recsOut != FPacketRecords;
            packets.push_back(packet);
        }
        std::shared_ptr<IDSBase> store = CreateDSBase();
        FDSBase = store;
        FStorePackets.clear();
        try {
            Check(store->SetProp(dspropANSICODEPAGE, DefaultCodePage));
            Check(store->SetProp(dspropUTF8METADATA, 1));
            Check(store->SetProp(dspropUTF8ERRORMSG, 1));
            for (const rtl::TBytes* packet : packets) {
                Check(store->AppendData(packet, FProviderEOF));
                if (FProviderName.empty()) FStorePackets.push_back(*packet);
            }
        } catch (...) {
            FDSBase.reset();
            FStorePackets.clear();
            throw;
        }
    }
    TDataSet::OpenCursor(InfoQuery);
    FSavedPacket.clear();
    FSavePacketOnClose = true;
}

void TCustomClientDataSet::SetData(const rtl::Variant& Data) {
    Close();
    const rtl::TBytes* packet = VarToDataPacket(Data);
    FSavedPacket.clear();
    if (!packet) return;
    FSavedPacket.push_back(*packet);
    Open();
}

void TCustomClientDataSet::InternalOpen() {
    FDSCursor = CreateDSCursor();
    Check(FDSCursor->InitCursor(FDSBase));
    FDSOptions = {};
    const std::pair<const char*, TDataSetOption> flags[] = {{"DISABLE_EDITS", doDisableEdits},
                                                            {"DISABLE_INSERTS", doDisableInserts},
                                                            {"DISABLE_DELETES", doDisableDeletes},
                                                            {"NO_RESET_CALL", doNoResetCall}};
    for (const auto& [name, option] : flags)
        if (PacketFlag(name)) FDSOptions.Include(option);
    CURProps props;
    Check(FDSCursor->GetCursorProps(props));
    FRecordSize = props.iRecBufSize;
    FBookmarkSize = static_cast<int>(props.iBookMarkSize);
    FCanModify = !props.bReadOnly;
    FieldDefs().Update();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    CheckFieldProps();
    Check(FDSCursor->MoveToBOF());
    if (FDisableStringTrim) Check(FDSBase->SetProp(dspropDISABLESTRINGTRIM, 1));
    if (FReadOnly) Check(FDSBase->SetProp(dspropREADONLY, 1));
    if (FIncludeBlobsInDelta) Check(FDSBase->SetProp(dspropINCLBLOBSINDELTA, std::numeric_limits<std::int32_t>::max()));
    FRecInfoOfs = FRecordSize + static_cast<std::uint32_t>(FCalcFieldsSize);
    FBookmarkOfs = FRecInfoOfs + RecInfoSize;
    FRecBufSize = FBookmarkOfs + static_cast<std::uint32_t>(FBookmarkSize);
}

bool TCustomClientDataSet::PacketFlag(const char* Name) {
    TDSOptParam param;
    if (FDSBase->GetOptParameter(0, Name, param) != DBERR_NONE) return false;
    if (FieldClassOf(param.Type) != dsfldBOOL || param.Value.empty()) return false;
    return std::any_of(param.Value.begin(), param.Value.end(), [](std::uint8_t b) { return b != 0; });
}

void TCustomClientDataSet::CheckFieldProps() {
    for (TField* field : Fields()) {
        const std::uint32_t column = ColumnOf(field);
        if (column == 0) continue;
        TDSOptParam param;
        if (FDSBase->GetOptParameter(column, "ORIGIN", param) == DBERR_NONE) field->SetOrigin(ParamText(param));
        if (FDSBase->GetOptParameter(column, "PROVFLAGS", param) == DBERR_NONE && param.Value.size() >= 4) {
            const auto bits = GetLE<std::int32_t>(param.Value.data());
            TProviderFlags flags;
            for (TProviderFlag f : {pfInUpdate, pfInWhere, pfInKey, pfHidden, pfRefreshOnInsert, pfRefreshOnUpdate})
                if (bits & (1 << f)) flags.Include(f);
            field->SetProviderFlags(flags);
        }
    }
}

void TCustomClientDataSet::InternalInitFieldDefs() {
    Check(FDSBase->SetProp(dspropCOMPRESSARRAYS, 1));
    DSProps props;
    Check(FDSBase->GetProps(props));
    std::vector<DSFLDDesc> descs(props.iFields);
    if (!descs.empty()) Check(FDSBase->GetFieldDescs(descs.data()));
    FieldDefs().Clear();
    FColumnOfFieldNo.assign(1, 0);
    FSlotLength.assign(1, 0);
    FDefinitionNos.clear();
    int fieldNo = 1;
    for (const DSFLDDesc& desc : descs) {
        if (desc.iFldAttr & fldAttrLINK) {
            FColumnOfFieldNo.push_back(desc.iFieldID);
            FSlotLength.push_back(desc.iFldLen);
            ++fieldNo;
            continue;
        }
        const std::size_t rawLength = strnlen(desc.szName, sizeof desc.szName);
        rtl::String name = rtl::Utf8ToString(std::string_view(desc.szName, rawLength));
        // A name of 31 bytes may have been cut: the full one travels in
        // "FIELDNAME". Bytes, not characters, since the cut is by bytes.
        if (rawLength == 31) {
            TDSOptParam full;
            if (FDSBase->GetOptParameter(desc.iFieldID, "FIELDNAME", full) == DBERR_NONE) {
                rtl::String text = ParamText(full);
                if (!text.empty()) name = std::move(text);
            }
        }
        name = FieldDefs().UniqueName(name);
        TFieldType type = DataTypeMap(desc.iFldType, desc.iFldSubType);
        if ((desc.iFldType == fldINT16 || desc.iFldType == fldUINT16) && desc.iFldLen != 2) type = ftUnknown;
        if (type == ftUnknown) continue;
        int size = 0;
        int precision = 0;
        switch (desc.iFldType) {
            case fldZSTRING:
            case fldBYTES:
            case fldVARBYTES:
            case fldADT:
            case fldARRAY: size = desc.iUnits1; break;
            case fldBLOB: size = desc.iFldSubType == fldstWIDEMEMO ? desc.iUnits1 / 2 : desc.iUnits1; break;
            case fldUNICODE: size = desc.iUnits1 / 2; break;
            case fldBCD:
            case fldFMTBCD:
                precision = desc.iUnits1;
                size = std::abs(desc.iUnits2);
                break;
            default: break;
        }
        TFieldDef* def = FieldDefs().Add(name, type, size);
        FDefinitionNos.push_back(fieldNo);
        def->SetFieldNo(fieldNo++);
        def->SetPrecision(precision);
        TFieldAttributes attributes;
        if (desc.iFldAttr & fldAttrHIDDEN) attributes.Include(faHiddenCol);
        if (desc.iFldAttr & fldAttrREADONLY) attributes.Include(faReadonly);
        if (desc.iFldAttr & fldAttrREQUIRED) attributes.Include(faRequired);
        if (desc.iFldSubType == fldstFIXED) attributes.Include(faFixed);
        def->SetAttributes(attributes);
        def->SetInternalCalcField(desc.bCalculated);
        FColumnOfFieldNo.push_back(desc.iFieldID);
        FSlotLength.push_back(desc.iFldLen);
    }
}

void TCustomClientDataSet::CloseCursor() {
    rtl::TryFinally(
        [&] {
            TDataSet::CloseCursor();
            const bool destroying = ComponentState().Contains(rtl::csDestroying);
            if (FAppServer && !destroying) {
                rtl::TryFinally(
                    [&] {
                        if (!FDSOptions.Contains(doNoResetCall)) {
                            std::int32_t recsOut = 0;
                            DoGetRecords(0, recsOut, GetRecordOptionsToInt({grReset}), u"", rtl::Variant());
                        }
                    },
                    [&] { ReleaseAppServer(); });
            }
            // The store was filled only from data given directly: keep them
            // for the next open.
            if (!FAppServer && FProviderName.empty() && FSavePacketOnClose) FSavedPacket = std::move(FStorePackets);
        },
        [&] {
            FStorePackets.clear();
            FSavePacketOnClose = false;
            FDSBase.reset();
        });
}

void TCustomClientDataSet::InternalClose() {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    FDSCursor.reset();
}

// ---- record buffers and records

TRecordBuffer TCustomClientDataSet::AllocRecordBuffer() { return FRecordBuffers.Alloc(FRecBufSize); }

void TCustomClientDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) { FRecordBuffers.Free(Buffer); }

TGetResult TCustomClientDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) {
    DBResult status = DBERR_NONE;
    switch (GetMode) {
        case gmNext:
            status = FDSCursor->MoveRelative(1);
            if (status == DBERR_EOF && !FProviderEOF && FFetchOnDemand) {
                FDSCursor->MoveRelative(-1);
                FetchMoreData(false);
                status = FDSCursor->MoveRelative(1);
            }
            break;
        case gmPrior: status = FDSCursor->MoveRelative(-1); break;
        case gmCurrent: status = FDSCursor->MoveRelative(0); break;
    }
    if (status == DBERR_NONE) status = FDSCursor->GetCurrentRecord(Buffer);
    if (status == DBERR_BOF) return grBOF;
    if (status == DBERR_EOF) return grEOF;
    if (status != DBERR_NONE) {
        if (DoCheck) Check(status);
        return grError;
    }
    std::uint32_t seqNo = 0;
    std::uint8_t attribute = 0;
    Check(FDSCursor->GetSequenceNumber(seqNo));
    Check(FDSCursor->GetRecordAttribute(attribute));
    WriteRecInfo(Buffer + FRecInfoOfs,
                 {static_cast<std::int32_t>(seqNo), static_cast<std::uint8_t>(bfCurrent), attribute});
    GetCalcFields(Buffer);
    Check(FDSCursor->GetCurrentBookMark(Buffer + FBookmarkOfs));
    return grOK;
}

TRecordBuffer TCustomClientDataSet::RecordBufferOfState() {
    switch (State()) {
        case dsBrowse:
        case dsBlockRead: return IsEmpty() ? nullptr : ActiveBuffer();
        case dsCalcFields:
        case dsInternalCalc: return FCalcBuffer;
        case dsInactive: return nullptr;
        default: return ActiveBuffer();
    }
}

std::size_t TCustomClientDataSet::DefinitionNo(const TField* Field) const {
    int fieldNo = Field->FieldNo();
    // A data field is numbered by its definition's place in the list; a
    // field calculated in the store by its definition's own number.
    if (Field->FieldKind() == fkData) {
        const int index = fieldNo - FieldNoOfs();
        if (index < 0 || index >= static_cast<int>(FDefinitionNos.size())) return 0;
        fieldNo = FDefinitionNos[static_cast<std::size_t>(index)];
    }
    return fieldNo >= 1 && fieldNo < static_cast<int>(FColumnOfFieldNo.size()) ? static_cast<std::size_t>(fieldNo) : 0;
}

std::uint32_t TCustomClientDataSet::ColumnOf(const TField* Field) const {
    const std::size_t definition = DefinitionNo(Field);
    return definition ? FColumnOfFieldNo[definition] : 0;
}

bool TCustomClientDataSet::GetFieldData(TField* Field, void* Buffer) {
    const TRecordBuffer record = RecordBufferOfState();
    if (!record || !FDSCursor) return false;
    if (Field->FieldKind() == fkCalculated || Field->FieldKind() == fkLookup) {
        const std::uint8_t* at = record + FRecordSize + Field->Offset();
        if (!at[0]) return false;
        if (Buffer) std::memcpy(Buffer, at + 1, static_cast<std::size_t>(Field->DataSize()));
        return true;
    }
    // Data fields and the store's calculated columns are read from the record.
    const std::uint32_t column = ColumnOf(Field);
    if (column == 0 || (Field->FieldKind() != fkData && Field->FieldKind() != fkInternalCalc)) return false;
    bool isBlank = true;
    if (!Buffer || Field->IsBlob()) {
        Check(FDSCursor->GetField(record, column, nullptr, isBlank));
        return !isBlank;
    }
    const std::size_t slot = FSlotLength[DefinitionNo(Field)];
    const std::size_t dataSize = static_cast<std::size_t>(std::max(Field->DataSize(), 0));
    if (Field->DataType() == ftWideString) {
        // The slot holds a byte count and the UTF-16 bytes; the field reads
        // zero-terminated text.
        if (FScratch.size() < slot) FScratch.resize(slot);
        Check(FDSCursor->GetField(record, column, FScratch.data(), isBlank));
        if (!isBlank) EngineToText(*Field, FScratch.data(), Buffer);
        return !isBlank;
    }
    if (IsDateTimeType(Field->DataType()) && slot == DateTimePacketSize(Field->DataType()) &&
        dataSize == sizeof(TDateTime)) {
        // The store keeps the packet's form; the field reads a TDateTime.
        std::uint8_t packed[8] = {};
        Check(FDSCursor->GetField(record, column, packed, isBlank));
        if (!isBlank) {
            const TDateTime value = PacketToDateTime(Field->DataType(), packed);
            std::memcpy(Buffer, &value, sizeof value);
        }
        return !isBlank;
    }
    if (slot <= dataSize) {
        Check(FDSCursor->GetField(record, column, Buffer, isBlank));
        return !isBlank;
    }
    if (FScratch.size() < slot) FScratch.resize(slot);
    Check(FDSCursor->GetField(record, column, FScratch.data(), isBlank));
    if (!isBlank) std::memcpy(Buffer, FScratch.data(), dataSize);
    return !isBlank;
}

void TCustomClientDataSet::EngineToText(const TField& Field, const std::uint8_t* Slot, void* Dest) {
    const std::size_t capacity = 2 * static_cast<std::size_t>(std::max(Field.Size(), 0));
    const std::size_t len = std::min<std::size_t>(GetLE<std::uint16_t>(Slot), capacity) & ~std::size_t{1};
    auto* dest = static_cast<std::uint8_t*>(Dest);
    std::memcpy(dest, Slot + 2, len);
    dest[len] = 0;
    dest[len + 1] = 0;
}

// Only calculated fields take values, while they are being calculated; the
// rows themselves are never edited.
void TCustomClientDataSet::SetFieldData(TField* Field, const void* Buffer) {
    const bool calculated = Field->FieldKind() == fkCalculated || Field->FieldKind() == fkLookup;
    if (!calculated || State() != dsCalcFields || !FCalcBuffer) DatabaseError(SDataSetReadOnly, this);
    std::uint8_t* at = FCalcBuffer + FRecordSize + Field->Offset();
    const auto size = static_cast<std::size_t>(Field->DataSize());
    at[0] = Buffer ? 1 : 0;
    if (Buffer) std::memcpy(at + 1, Buffer, size);
    else std::memset(at + 1, 0, size);
}

void TCustomClientDataSet::ClearCalcFields(TRecordBuffer Buffer) {
    if (FCalcFieldsSize > 0) std::memset(Buffer + FRecordSize, 0, static_cast<std::size_t>(FCalcFieldsSize));
}

// Fills the calculated fields of Buffer: the handler reads and sets fields
// of that record, in the calculation state.
void TCustomClientDataSet::GetCalcFields(TRecordBuffer Buffer) {
    if (FCalcFieldsSize == 0) return;
    const TDataSetState oldState = SetTempState(dsCalcFields);
    const TRecordBuffer oldBuffer = FCalcBuffer;
    FCalcBuffer = Buffer;
    rtl::TryFinally(
        [&] {
            ClearCalcFields(Buffer);
            TDataSet::GetCalcFields(Buffer);
        },
        [&] {
            FCalcBuffer = oldBuffer;
            RestoreState(oldState);
        });
}

int TCustomClientDataSet::GetBlobFieldData(int FieldNo, rtl::TBytes& Buffer) {
    Buffer.clear();
    TField* field = FieldByNumber(FieldNo);
    const TRecordBuffer record = RecordBufferOfState();
    const std::uint32_t column = field ? ColumnOf(field) : 0;
    if (!record || column == 0 || !FDSCursor) return 0;
    std::uint32_t length = 0;
    Check(FDSCursor->GetBlobLen(record, column, length));
    Buffer.resize(length);
    if (length > 0) Check(FDSCursor->GetBlob(record, column, 0, Buffer.data(), length));
    Buffer.resize(length);
    return static_cast<int>(length);
}

std::unique_ptr<rtl::TStream> TCustomClientDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
    if (Mode != bmRead) {
        if (Field->ReadOnly()) DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()}, this);
        if (!IsEditMode(State())) DatabaseError(SNotEditing, this);
    }
    auto stream = std::make_unique<rtl::TMemoryStream>();
    rtl::TBytes bytes;
    if (GetBlobFieldData(Field->FieldNo(), bytes) > 0) {
        stream->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        stream->SetPosition(0);
    }
    return stream;
}

// ---- positions and bookmarks

void TCustomClientDataSet::InternalFirst() { Check(FDSCursor->MoveToBOF()); }

void TCustomClientDataSet::InternalLast() {
    CheckProviderEOF();
    Check(FDSCursor->MoveToEOF());
}

void TCustomClientDataSet::InternalSetToRecord(TRecordBuffer Buffer) {
    Check(FDSCursor->MoveToBookMark(Buffer + FBookmarkOfs));
}

void TCustomClientDataSet::InternalGotoBookmark(const TBookmark& Bookmark) {
    if (Bookmark.size() < static_cast<std::size_t>(FBookmarkSize)) Check(DBERR_INVALIDPARAM);
    Check(FDSCursor->MoveToBookMark(Bookmark.data()));
}

TBookmarkFlag TCustomClientDataSet::GetBookmarkFlag(TRecordBuffer Buffer) {
    return static_cast<TBookmarkFlag>(ReadRecInfo(Buffer + FRecInfoOfs).BookmarkFlag);
}

void TCustomClientDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
    TRecInfo info = ReadRecInfo(Buffer + FRecInfoOfs);
    info.BookmarkFlag = static_cast<std::uint8_t>(Value);
    WriteRecInfo(Buffer + FRecInfoOfs, info);
}

void TCustomClientDataSet::GetBookmarkData(TRecordBuffer Buffer, TBookmark& Data) {
    Data.assign(Buffer + FBookmarkOfs, Buffer + FBookmarkOfs + FBookmarkSize);
}

void TCustomClientDataSet::SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Data) {
    if (Data.size() >= static_cast<std::size_t>(FBookmarkSize))
        std::memcpy(Buffer + FBookmarkOfs, Data.data(), static_cast<std::size_t>(FBookmarkSize));
}

int TCustomClientDataSet::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
    if (Bookmark1.empty() && Bookmark2.empty()) return 0;
    if (Bookmark2.empty()) return -1;
    if (Bookmark1.empty()) return 1;
    const auto size = static_cast<std::size_t>(FBookmarkSize);
    if (!FDSCursor || Bookmark1.size() < size || Bookmark2.size() < size) Check(DBERR_INVALIDPARAM);
    int result = 0;
    Check(FDSCursor->CompareBookMarks(Bookmark1.data(), Bookmark2.data(), result));
    return result;
}

bool TCustomClientDataSet::BookmarkValid(const TBookmark& Bookmark) {
    if (!FDSCursor || Bookmark.size() < static_cast<std::size_t>(FBookmarkSize) || Bookmark.empty()) return false;
    CursorPosChanged();
    if (FDSCursor->MoveToBookMark(Bookmark.data()) != DBERR_NONE) return false;
    if (FScratch.size() < FRecordSize) FScratch.resize(FRecordSize);
    return FDSCursor->GetCurrentRecord(FScratch.data()) == DBERR_NONE;
}

int TCustomClientDataSet::GetRecordCount() {
    CheckActive();
    std::int32_t count = 0;
    const DBResult status = FDSCursor->GetRecordCount(count);
    if (status != DBERR_DETAILSNOTFETCHED) Check(status);
    return count;
}

int TCustomClientDataSet::GetRecNo() {
    if (State() == dsInternalCalc) return -1;
    const TRecordBuffer buffer = State() == dsCalcFields ? FCalcBuffer : (IsEmpty() ? nullptr : ActiveBuffer());
    return buffer ? ReadRecInfo(buffer + FRecInfoOfs).RecordNumber : 0;
}

void TCustomClientDataSet::SetRecNoValue(int Value) {
    CheckBrowseMode();
    if (Value == RecNo()) return;
    DoBeforeScroll();
    Check(FDSCursor->MoveToSeqNo(Value));
    Resync({rmCenter});
    DoAfterScroll();
}

void TCustomClientDataSet::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (FDSBase && FDSCursor) {
        Check(FDSBase->SetProp(dspropREADONLY, Value ? 1 : 0));
        FCanModify = !Value;
    }
}

// ---- refreshing

void TCustomClientDataSet::InternalRefresh() {
    CheckBrowseMode();
    std::uint32_t seqNo = 0;
    if (FDSCursor->GetSequenceNumber(seqNo) != DBERR_NONE) seqNo = 0;  // on a crack
    std::int32_t recCount = AllRecords;
    if (!FProviderEOF) {
        std::uint32_t held = 0;
        Check(FDSBase->GetProp(dspropRECORDSINDS, held));
        recCount = static_cast<std::int32_t>(held);
    }
    std::int32_t recsOut = 0;
    const rtl::Variant data = DoGetRecords(recCount, recsOut, GetRecordOptionsToInt({grReset}), u"", rtl::Variant());
    const rtl::TBytes* packet = VarToDataPacket(data);
    FProviderEOF = recsOut != recCount;
    Check(FDSBase->Reset());
    FDSBase->SetProp(dspropDSISPARTIAL, 0);  // fails quietly when still open for appending
    Check(FDSBase->AppendData(packet, FProviderEOF));
    FDSCursor->MoveToSeqNo(static_cast<std::int32_t>(seqNo));  // beyond the end: the EOF crack
}

}  // namespace datapacket
