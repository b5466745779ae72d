#include "datapacket/provider.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "data/blob_fields.h"
#include "data/dataset.h"
#include "data/string_fields.h"
#include "datapacket/ds_bytes.h"
#include "datapacket/ds_errors.h"
#include "datapacket/ds_intf.h"
#include "datapacket/packed_params.h"
#include "datapacket/type_maps.h"
#include "rtl/format.h"
#include "rtl/try_finally.h"

namespace datapacket {

using namespace data;

namespace {

constexpr const char16_t* SMissingDataSet = u"Missing DataSet property";
constexpr const char16_t* SNoDataSetChange = u"CommandText changes are not allowed";
constexpr const char16_t* SInvalidOptParamType = u"Value cannot be stored in an optional parameter";
constexpr const char16_t* SColumnTypeChanged =
    u"Field '%s' is now of type %s; its rows cannot be sent in the %s column the packet describes";
constexpr const char16_t* SColumnCountChanged =
    u"The number of fields changed from %d to %d since the packet's columns were described";

// Length of a zero-terminated UTF-16 text of at most Limit units.
std::size_t WideLength(const std::uint8_t* Data, std::size_t Limit) {
    std::size_t n = 0;
    while (n < Limit && (Data[2 * n] | Data[2 * n + 1]) != 0) ++n;
    return n;
}

// Bytes of UTF-16 text that fit Width bytes without splitting a surrogate pair.
std::size_t FitWide(const std::uint8_t* Data, std::size_t Bytes, std::size_t Width) {
    if (Bytes <= Width) return Bytes;
    std::size_t cut = Width & ~std::size_t{1};
    if (cut >= 2) {
        const unsigned last = Data[cut - 2] | (Data[cut - 1] << 8);
        if (last >= 0xD800 && last <= 0xDBFF) cut -= 2;
    }
    return cut;
}

}  // namespace

// ---- options and server results

std::int32_t GetRecordOptionsToInt(TGetRecordOptions Options) { return static_cast<std::int32_t>(Options.Bits()); }

TGetRecordOptions IntToGetRecordOptions(std::int32_t Bits) {
    TGetRecordOptions result;
    for (TGetRecordOption o : {grMetaData, grReset, grXML, grXMLUTF8})
        if (Bits & (1 << o)) result.Include(o);
    return result;
}

void CheckServerResult(const TServerResult& Result) {
    if (Result.Code == TServerResult::S_OK) return;
    if (Result.Code == TServerResult::E_ABORT) rtl::Abort();
    throw EAppServerError(Result.Message);
}

// ---- the column list

namespace {

// Whether the field's 8-bit text is translated before it is sent; asked when
// the column is bound, not for every value.
bool Transliterates(const TField& Field) {
    if (auto* s = dynamic_cast<const TStringField*>(&Field)) return s->Transliterate();
    if (auto* b = dynamic_cast<const TBlobField*>(&Field)) return b->Transliterate();
    return false;
}

}  // namespace

struct TPutFieldInfo {
    int FieldNo = 0;
    TField* Field = nullptr;
    TDataSet* DataSet = nullptr;
    int Size = 0;  // bytes of a value as read (or written, for fixed classes)
    TDataPacketWriter::TPutProc PutProc = nullptr;
    // The column as its metadata described it, kept so that a re-described
    // source field is converted to it or refused.
    TDataPacketWriter::TPutProc ColumnPutProc = nullptr;
    TFieldType ColumnType = ftUnknown;
    std::uint32_t ColumnWidth = 0;  // bytes a varying value may hold
    bool Transliterate = false;     // 8-bit text goes through the dataset's Translate
};

TCustomPacketWriter::TCustomPacketWriter() = default;
TCustomPacketWriter::~TCustomPacketWriter() = default;

void TCustomPacketWriter::Check(int Status) {
    if (Status == 0) return;
    char text[ErrorStringSize] = {};
    if (FIDSWriter) FIDSWriter->GetErrorString(static_cast<DBResult>(Status), text);
    throw EDSWriter(rtl::Utf8ToString(text), Status);
}

std::uint8_t* TCustomPacketWriter::Buffer(std::size_t Size) {
    if (FBuffer.size() < Size) FBuffer.resize(Size);
    return FBuffer.data();
}

TDataPacketWriter::TDataPacketWriter() = default;
TDataPacketWriter::~TDataPacketWriter() = default;

std::int32_t TDataPacketWriter::XMLMode() const {
    if (PacketOptions.Contains(grXMLUTF8)) return 13;
    if (PacketOptions.Contains(grXML)) return 5;
    return 0;
}

void TDataPacketWriter::GetDataPacket(TDataSet& DataSet, std::int32_t& RecsOut, rtl::Variant& Data) {
    Data = rtl::Variant();
    const bool withMetaData = PacketOptions.Contains(grMetaData);
    if (FPutFieldInfo.empty() || withMetaData) {
        FIDSWriter = CreateDSWriter();
        FPutFieldInfo.clear();
        try {
            int globalIdx = 1;
            InitPutProcs(DataSet, globalIdx);
            Check(FIDSWriter->SetXMLMode(XMLMode()));
            Check(FIDSWriter->Init_Sequential(Options.Contains(poFetchBlobsOnDemand) ? 3 : 1,
                                              static_cast<std::uint16_t>(globalIdx - 1)));
            WriteMetaData(DataSet);
            if (!withMetaData) {
                rtl::TBytes discarded;
                Check(FIDSWriter->GetDataPacket(discarded));
            }
        } catch (...) {
            // No half-built column list: the next request describes the columns again.
            FPutFieldInfo.clear();
            throw;
        }
    } else if (XMLMode() != 0) {
        // The form is chosen with the columns; asked for afresh it still
        // goes to the engine writer, which does not write the XML form.
        Check(FIDSWriter->SetXMLMode(XMLMode()));
    }
    if (!withMetaData) Check(FIDSWriter->Reset());
    RecsOut = WriteDataSet(DataSet, RecsOut);
    rtl::TBytes packet;
    Check(FIDSWriter->GetDataPacket(packet));
    DataPacketToVariant(std::move(packet), Data);
}

void TDataPacketWriter::InitPutProcs(TDataSet& DataSet, int& GlobalIdx) {
    std::vector<TDataSet*> details;
    DataSet.GetDetailDataSets(details);
    // Nested rows are not written by this engine.
    if (!details.empty()) Check(DBERR_NA);
    FPutFieldInfo.resize(static_cast<std::size_t>(DataSet.Fields().Count()));
    for (int i = 0; i < DataSet.Fields().Count(); ++i)
        InitFieldProc(*DataSet.Fields()[i], FPutFieldInfo[static_cast<std::size_t>(i)], GlobalIdx);
}

void TDataPacketWriter::InitFieldProc(TField& Field, TPutFieldInfo& Info, int& GlobalIdx) {
    Info = TPutFieldInfo{};
    Info.Field = &Field;
    ++GlobalIdx;
    Info.FieldNo = Field.FieldNo();
    Info.Transliterate = Transliterates(Field);
    Info.Size = Field.DataSize();
    Info.DataSet = Field.DataSet();
    Info.ColumnType = Field.DataType();
    switch (Field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftGuid:
            Info.PutProc = &TDataPacketWriter::PutStringField;
            Info.Size -= 1;
            break;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftBoolean:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftBytes:
        case ftAutoInc:
        case ftLargeint:
        case ftTimeStamp:
        case ftFMTBcd:
        case ftLongWord:
        case ftShortint:
        case ftByte:
        case ftExtended:
        case ftTimeStampOffset:
        case ftSingle: Info.PutProc = &TDataPacketWriter::PutField; break;
        case ftDate:
        case ftTime:
        case ftDateTime: Info.PutProc = &TDataPacketWriter::PutDateTimeField; break;
        case ftVarBytes:
            Info.PutProc = &TDataPacketWriter::PutVarBytesField;
            Info.Size -= 2;
            break;
        case ftWideString:
            Info.PutProc = &TDataPacketWriter::PutWideStringField;
            Info.Size = Field.Size() * 2;
            break;
        default:
            if (data::IsBlobType(Field.DataType())) {
                Info.PutProc = &TDataPacketWriter::PutBlobField;
                break;
            }
            // Structured and nested fields are not written by this engine.
            DatabaseErrorFmt(SUnknownFieldType, {Field.FieldName()});
    }
    Info.ColumnPutProc = Info.PutProc;
}

// ---- metadata

void TDataPacketWriter::WriteMetaData(TDataSet& DataSet) {
    for (TPutFieldInfo& info : FPutFieldInfo) AddColumn(info);
    const std::pair<TProviderOption, const char*> flags[] = {{poReadOnly, "READONLY"},
                                                             {poDisableEdits, "DISABLE_EDITS"},
                                                             {poDisableInserts, "DISABLE_INSERTS"},
                                                             {poDisableDeletes, "DISABLE_DELETES"},
                                                             {poNoReset, "NO_RESET_CALL"}};
    for (const auto& [option, name] : flags)
        if (Options.Contains(option)) AddAttribute(dsAttrPacket, name, rtl::Variant(true), false);
    // Constraints, default order, keys and unique indexes: the sources this
    // writer serves have none to write (no constraint texts, no index metadata).
    const int semantics = (Options.Contains(poCascadeDeletes) ? 1 : 0) + (Options.Contains(poCascadeUpdates) ? 2 : 0);
    if (semantics) AddAttribute(dsAttrPacket, "MD_SEMANTICS", rtl::Variant(std::int32_t(semantics)), true);
    AddDataSetAttributes(DataSet);
}

void TDataPacketWriter::AddColumn(TPutFieldInfo& Info) {
    TField& field = *Info.Field;
    std::uint16_t attributes = 0;
    if (field.ReadOnly() || field.FieldKind() != fkData) attributes |= fldAttrREADONLY;
    if (field.Required() && field.DataType() != ftAutoInc) attributes |= fldAttrREQUIRED;
    if (field.ProviderFlags().Contains(pfHidden)) attributes |= fldAttrHIDDEN | fldAttrREADONLY;

    const TFieldType type = field.DataType();
    const std::uint32_t cls = PacketTypeMap(type);
    std::uint32_t typeCode = 0;
    int width = 0;
    auto varying = [&](int ValueSize) {
        width = ValueSize;
        typeCode = MakeFieldType(cls, ValueSize < 255 ? 1 : 2, dsVaryingFldType);
    };
    switch (type) {
        case ftString:
        case ftFixedChar:
        case ftGuid: varying(field.Size()); break;
        case ftWideString: varying(field.Size() * 2); break;
        case ftVarBytes: varying(field.DataSize() - 2); break;
        case ftBoolean: typeCode = MakeFieldType(cls, 2); break;
        case ftBCD:
        case ftFMTBcd: {
            width = 32;  // the fields keep no precision of their own
            typeCode = MakeFieldType(cls, static_cast<std::uint32_t>(BcdValueSize(width)));
            break;
        }
        case ftDate:
        case ftTime:
        case ftDateTime: typeCode = MakeFieldType(cls, DateTimePacketSize(type)); break;
        case ftTimeStamp: typeCode = MakeFieldType(cls, 16); break;
        case ftSingle: typeCode = MakeFieldType(cls, 4); break;
        case ftTimeStampOffset: typeCode = MakeFieldType(cls, 20); break;
        default:
            if (data::IsBlobType(type)) {
                typeCode = MakeFieldType(cls, 4, dsVaryingFldType);
                width = std::max(field.Size(), 0);
            } else {
                typeCode = MakeFieldType(cls, static_cast<std::uint32_t>(field.DataSize()));
            }
    }
    Info.ColumnWidth = static_cast<std::uint32_t>(std::max(width, 0));
    if (!(typeCode & dsVaryingFldType)) Info.Size = static_cast<int>(FieldSizeOf(typeCode));

    const std::string name = rtl::StringToUtf8(field.FieldName());
    TDSDataPacketFldDesc desc;
    std::memcpy(desc.szFieldName, name.data(), std::min<std::size_t>(name.size(), 31));
    desc.iFieldType = typeCode;
    desc.iAttributes = attributes;
    Check(FIDSWriter->AddColumnDesc(desc));

    if (name.size() >= 32) AddAttribute(dsAttrField, "FIELDNAME", rtl::Variant(field.FieldName()), true);
    if (field.FieldKind() != fkData) AddAttribute(dsAttrField, "SERVER_CALC", rtl::Variant(true), true);
    if (field.ProviderFlags() != TProviderFlags{pfInUpdate, pfInWhere})
        AddAttribute(dsAttrField, "PROVFLAGS", rtl::Variant(static_cast<std::int32_t>(field.ProviderFlags().Bits())),
                     true);
    if (!field.Origin().empty()) AddAttribute(dsAttrField, "ORIGIN", rtl::Variant(field.Origin()), true);
    if (width > 0) AddAttribute(dsAttrField, "WIDTH", rtl::Variant(std::int32_t(width)), false);
    if ((type == ftBCD || type == ftFMTBcd) && field.Size() != 0)
        AddAttribute(dsAttrField, "DECIMALS", rtl::Variant(std::int32_t(field.Size())), false);
    // "MINVALUE" and "MAXVALUE": the fields here carry no range checks of
    // their own (only their types' limits), so there are none to write.
    bool fixed = false;
    if (auto* s = dynamic_cast<TStringField*>(&field)) fixed = s->FixedChar();
    if (const char* subtype = SubtypeName(type, fixed, false))
        AddAttribute(dsAttrField, "SUBTYPE", rtl::Variant(rtl::Utf8ToString(subtype)), false);
}

void TDataPacketWriter::AddAttribute(std::uint32_t Area, const char* Name, const rtl::Variant& Value,
                                     bool IncludeInDelta) {
    std::uint8_t scalar[8] = {};
    std::uint32_t type = 0;
    std::uint32_t len = 0;
    const void* data = scalar;
    std::string text;
    rtl::TBytes array;
    switch (Value.VarType()) {
        case rtl::TVarType::varInteger:
        case rtl::TVarType::varInt64:
            type = MakeFieldType(dsfldINT, 4);
            len = 4;
            PutLE(scalar, static_cast<std::uint32_t>(Value.AsInt64()));
            break;
        case rtl::TVarType::varBoolean:
            type = MakeFieldType(dsfldBOOL, 2);
            len = 2;
            PutLE(scalar, static_cast<std::uint16_t>(Value.AsBoolean() ? 0xFFFF : 0));
            break;
        case rtl::TVarType::varDouble: {
            type = MakeFieldType(dsfldFLOATIEEE, 8);
            len = 8;
            const double d = Value.AsDouble();
            std::memcpy(scalar, &d, 8);
            break;
        }
        case rtl::TVarType::varString:
            text = rtl::StringToUtf8(Value.AsString());
            type = MakeFieldType(dsfldZSTRING, 2, dsVaryingFldType);
            len = static_cast<std::uint32_t>(text.size() + 1 + 2);  // the prefix, the bytes, a zero
            data = text.c_str();
            break;
        case rtl::TVarType::varBytes:
            array.resize(4);
            PutLE(array.data(), static_cast<std::uint32_t>(Value.AsBytes().size()));
            array.insert(array.end(), Value.AsBytes().begin(), Value.AsBytes().end());
            type = MakeFieldType(dsfldBYTES, 1, dsArrayFldType);
            len = static_cast<std::uint32_t>(array.size());
            data = array.data();
            break;
        default: throw EDSWriter(SInvalidOptParamType, 0);
    }
    if (IncludeInDelta) type |= dsIncInDelta;
    Check(FIDSWriter->AddAttribute(Area, Name, type, len, data));
}

void TDataPacketWriter::AddDataSetAttributes(TDataSet& DataSet) {
    if (!OnGetParams) return;
    TPacketAttributeList list;
    OnGetParams(DataSet, list);
    for (const TPacketAttribute& a : list)
        AddAttribute(dsAttrPacket, rtl::StringToUtf8(a.Name).c_str(), a.Value, a.IncludeInDelta);
}

// ---- rows

void TDataPacketWriter::RefreshPutProcs(TDataSet& DataSet) {
    TFields& fields = DataSet.Fields();
    if (fields.Count() != static_cast<int>(FPutFieldInfo.size()))
        throw EDSWriter(rtl::Format(SColumnCountChanged, {static_cast<int>(FPutFieldInfo.size()), fields.Count()}),
                        DBERR_DATAPACKETMISMATCH);
    for (int i = 0; i < fields.Count(); ++i) {
        TPutFieldInfo& info = FPutFieldInfo[static_cast<std::size_t>(i)];
        TField& field = *fields[i];
        info.Field = &field;
        info.DataSet = field.DataSet();
        info.FieldNo = field.FieldNo();
        info.Transliterate = Transliterates(field);
        const TFieldType now = field.DataType();
        if (now == info.ColumnType) {
            // Same type: a wide string may have grown; it is cut to the column.
            if (now == ftWideString) info.Size = field.Size() * 2;
            info.PutProc = info.ColumnPutProc;
        } else if (info.ColumnType == ftWideString && now == ftWideMemo) {
            info.PutProc = &TDataPacketWriter::PutWideMemoAsWideString;
        } else if (info.ColumnType == ftWideMemo && now == ftWideString) {
            info.Size = field.Size() * 2;
            info.PutProc = &TDataPacketWriter::PutWideStringAsWideMemo;
        } else {
            // Refused at the first value: a result without rows still refreshes.
            info.PutProc = &TDataPacketWriter::PutUnconvertible;
        }
    }
}

int TDataPacketWriter::WriteDataSet(TDataSet& DataSet, int Count) {
    if (Count == -1) Count = INT_MAX;
    bool automatic = false;
    for (TField* f : DataSet.Fields()) automatic = automatic || f->LifeCycle() == lcAutomatic;
    if (automatic) RefreshPutProcs(DataSet);
    int written = 0;
    const std::uint8_t status = dsRecUnmodified;
    while (!DataSet.Eof() && written < Count) {
        Check(FIDSWriter->PutField(fldIsValue, 1, &status));
        for (TPutFieldInfo& info : FPutFieldInfo) (this->*info.PutProc)(info);
        ++written;
        if (written < Count) DataSet.Next();
    }
    return written;
}

void TDataPacketWriter::PutUnconvertible(TPutFieldInfo& Info) {
    throw EDSWriter(
        rtl::Format(SColumnTypeChanged, {Info.Field->FieldName(), String(FieldTypeNames[Info.Field->DataType()]),
                                         String(FieldTypeNames[Info.ColumnType])}),
        DBERR_INVALIDFLDTYPE);
}

void TDataPacketWriter::PutValue(const void* Data, std::uint32_t Len) {
    Check(FIDSWriter->PutField(fldIsValue, Len, Data));
}

void TDataPacketWriter::PutNull() { Check(FIDSWriter->PutField(fldIsNull, 0, nullptr)); }

std::uint8_t* TDataPacketWriter::ReadValue(TPutFieldInfo& Info, int Least) {
    const auto size = static_cast<std::size_t>(std::max(Least, Info.Field->DataSize())) + 1;
    std::uint8_t* buffer = Buffer(size);
    std::memset(buffer, 0, size);
    if (Info.DataSet->GetFieldData(Info.Field, buffer)) return buffer;
    PutNull();
    return nullptr;
}

void TDataPacketWriter::PutField(TPutFieldInfo& Info) {
    if (const std::uint8_t* value = ReadValue(Info, std::max(Info.Size, 1)))
        PutValue(value, static_cast<std::uint32_t>(Info.Size));
}

// The dataset's TDateTime in the packet's form for the column's type.
void TDataPacketWriter::PutDateTimeField(TPutFieldInfo& Info) {
    const std::uint8_t* value = ReadValue(Info, sizeof(TDateTime));
    if (!value) return;
    TDateTime dateTime = 0;
    std::memcpy(&dateTime, value, sizeof dateTime);
    std::uint8_t packed[8] = {};
    DateTimeToPacket(Info.ColumnType, dateTime, packed);
    PutValue(packed, DateTimePacketSize(Info.ColumnType));
}

void TDataPacketWriter::PutStringField(TPutFieldInfo& Info) {
    std::uint8_t* value = ReadValue(Info, Info.Size + 1);
    if (!value) return;
    char* text = reinterpret_cast<char*>(value);
    std::size_t len = 0;
    if (Info.Transliterate) len = static_cast<std::size_t>(Info.DataSet->Translate(text, text, false));
    else len = strnlen(text, static_cast<std::size_t>(Info.Size));
    PutValue(text, static_cast<std::uint32_t>(std::min(len, static_cast<std::size_t>(Info.ColumnWidth))));
}

bool TDataPacketWriter::ReadWideString(TPutFieldInfo& Info, std::size_t& Bytes) {
    const std::uint8_t* value = ReadValue(Info, Info.Size + 2);
    if (!value) return false;
    Bytes = 2 * WideLength(value, static_cast<std::size_t>(Info.Size) / 2);
    return true;
}

void TDataPacketWriter::PutWideStringField(TPutFieldInfo& Info) {
    std::size_t bytes = 0;
    if (!ReadWideString(Info, bytes)) return;
    PutValue(FBuffer.data(), static_cast<std::uint32_t>(FitWide(FBuffer.data(), bytes, Info.ColumnWidth)));
}

void TDataPacketWriter::PutVarBytesField(TPutFieldInfo& Info) {
    const std::uint8_t* value = ReadValue(Info, Info.Size + 2);
    if (!value) return;
    const std::uint32_t len = std::min<std::uint32_t>(value[0] | (value[1] << 8), Info.ColumnWidth);
    PutValue(value + 2, len);
}

void TDataPacketWriter::PutBlobField(TPutFieldInfo& Info) {
    if (Options.Contains(poFetchBlobsOnDemand)) {
        Check(FIDSWriter->PutField(fldIsValue, dsDELAYEDBIT, nullptr));
        return;
    }
    const int len = Info.DataSet->GetBlobFieldData(Info.FieldNo, FBuffer);
    if (len <= 0) return PutNull();
    if (Info.Transliterate) {
        FBuffer.resize(static_cast<std::size_t>(len) + 1);
        FBuffer[static_cast<std::size_t>(len)] = 0;
        char* text = reinterpret_cast<char*>(FBuffer.data());
        const int translated = Info.DataSet->Translate(text, text, false);
        return PutValue(FBuffer.data(), static_cast<std::uint32_t>(translated));
    }
    PutValue(FBuffer.data(), static_cast<std::uint32_t>(len));
}

void TDataPacketWriter::PutWideMemoAsWideString(TPutFieldInfo& Info) {
    const int len = Info.DataSet->GetBlobFieldData(Info.FieldNo, FBuffer);
    if (len <= 0) return PutNull();
    const std::size_t bytes = static_cast<std::size_t>(len) & ~std::size_t{1};
    PutValue(FBuffer.data(), static_cast<std::uint32_t>(FitWide(FBuffer.data(), bytes, Info.ColumnWidth)));
}

void TDataPacketWriter::PutWideStringAsWideMemo(TPutFieldInfo& Info) {
    std::size_t bytes = 0;
    if (!ReadWideString(Info, bytes)) return;
    if (bytes == 0) return PutNull();  // an empty memo travels as null
    PutValue(FBuffer.data(), static_cast<std::uint32_t>(bytes));
}

// ---- providers

TCustomProvider::TCustomProvider(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {
    if (auto* container = dynamic_cast<IProviderContainer*>(AOwner)) container->RegisterProvider(*this);
}

TCustomProvider::~TCustomProvider() {
    // An owner past its own destructor no longer casts to the container, so
    // a container that is going away is not called.
    if (auto* container = dynamic_cast<IProviderContainer*>(Owner())) container->UnRegisterProvider(*this);
}

rtl::Variant TCustomProvider::GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                         StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData) {
    return DoGetRecords(Count, RecsOut, Options, CommandText, Params, OwnerData);
}

rtl::Variant TCustomProvider::DoGetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                           StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData) {
    const bool paramsArray = Params.VarType() == rtl::TVarType::varBytes;
    DoBeforeGetRecords(Count, Options, CommandText, Params, OwnerData);
    rtl::Variant result = InternalGetRecords(Count, RecsOut, IntToGetRecordOptions(Options), CommandText, Params);
    DoAfterGetRecords(OwnerData);
    if (paramsArray) Params = GetParamsVariant();
    return result;
}

void TCustomProvider::DoBeforeGetRecords(std::int32_t, std::int32_t, StringView, rtl::Variant&,
                                         rtl::Variant& OwnerData) {
    if (BeforeGetRecords) BeforeGetRecords(*this, OwnerData);
}

void TCustomProvider::DoAfterGetRecords(rtl::Variant& OwnerData) {
    if (AfterGetRecords) AfterGetRecords(*this, OwnerData);
}

rtl::Variant TCustomProvider::GetParams(rtl::Variant& OwnerData) {
    if (BeforeGetParams) BeforeGetParams(*this, OwnerData);
    rtl::Variant result = GetParamsVariant();
    if (AfterGetParams) AfterGetParams(*this, OwnerData);
    return result;
}

void TCustomProvider::Execute(StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData) {
    const bool paramsArray = Params.VarType() == rtl::TVarType::varBytes;
    DoBeforeExecute(CommandText, Params, OwnerData);
    InternalExecute(CommandText, Params);
    DoAfterExecute(OwnerData);
    if (paramsArray) Params = GetParamsVariant();
}

void TCustomProvider::DoBeforeExecute(StringView, rtl::Variant&, rtl::Variant& OwnerData) {
    if (BeforeExecute) BeforeExecute(*this, OwnerData);
}

void TCustomProvider::DoAfterExecute(rtl::Variant& OwnerData) {
    if (AfterExecute) AfterExecute(*this, OwnerData);
}

void TCustomProvider::InternalExecute(StringView, rtl::Variant&) {}

rtl::Variant TCustomProvider::DataRequest(const rtl::Variant& Input) {
    return OnDataRequest ? OnDataRequest(*this, Input) : rtl::Variant::Null();
}

TBaseProvider::TBaseProvider(rtl::TComponent* AOwner) : TCustomProvider(AOwner) {}

rtl::Variant TBaseProvider::InternalGetRecords(std::int32_t Count, std::int32_t& RecsOut, TGetRecordOptions Options,
                                               StringView, rtl::Variant&) {
    TGetRecordOptions packetOpts = Options;
    if (Count == 0) packetOpts.Include(grMetaData);
    RecsOut = Count;
    rtl::Variant result;
    CreateDataPacket(packetOpts, FProviderOptions, result, RecsOut);
    return result;
}

TDataSetProvider::TDataSetProvider(rtl::TComponent* AOwner) : TBaseProvider(AOwner) {}

TDataSetProvider::~TDataSetProvider() { SetDataSet(nullptr); }

void TDataSetProvider::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet) return;
    if (FDataSet) FDataSet->RemoveFreeNotification(this);
    FDataSet = Value;
    FDataSetOpened = false;
    if (FDataSet) FDataSet->FreeNotification(this);
}

void TDataSetProvider::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TBaseProvider::Notification(AComponent, Operation);
    if (Operation == rtl::TOperation::opRemove && AComponent == FDataSet) {
        FDataSet = nullptr;
        FDataSetOpened = false;
    }
}

void TDataSetProvider::CheckDataSet() const {
    if (!FDataSet) DatabaseError(SMissingDataSet);
}

void TDataSetProvider::Reset() {
    CheckDataSet();
    if (FDataSetOpened) {
        FDataSet->Close();
        FDataSetOpened = false;
    }
    FDataSet->PSReset();
    if (FDataSet->Active()) FDataSet->First();
    FRecordsSent = 0;
}

void TDataSetProvider::DoBeforeGetRecords(std::int32_t Count, std::int32_t Options, StringView CommandText,
                                          rtl::Variant& Params, rtl::Variant& OwnerData) {
    const TGetRecordOptions options = IntToGetRecordOptions(Options);
    if (!(options.Contains(grReset) && Count == 0)) {
        SetCommandText(CommandText);
        SetParams(Params);
    }
    TBaseProvider::DoBeforeGetRecords(Count, Options, CommandText, Params, OwnerData);
}

void TDataSetProvider::SetCommandText(StringView CommandText) {
    if (CommandText.empty()) return;
    if (!FProviderOptions.Contains(poAllowCommandText)) DatabaseError(SNoDataSetChange);
    CheckDataSet();
    FDataSet->PSSetCommandText(CommandText);
}

void TDataSetProvider::SetParams(const rtl::Variant& Params) {
    if (Params.IsEmpty()) return;
    CheckDataSet();
    if (!FParams) FParams = std::make_unique<TParams>();
    FParams->Clear();
    UnpackParams(Params, *FParams);  // Null unpacks to no parameters
    TParams* current = FDataSet->PSGetParams();
    if (!current || !(*current == *FParams)) FDataSet->PSSetParams(FParams.get());
}

rtl::Variant TDataSetProvider::InternalGetRecords(std::int32_t Count, std::int32_t& RecsOut, TGetRecordOptions Options,
                                                  StringView CommandText, rtl::Variant& Params) {
    try {
        if (Options.Contains(grReset)) {
            Reset();
            if (Count == 0) return rtl::Variant();
        }
        CheckDataSet();
        if (!FDataSet->Active()) {
            FDataSet->Open();
            FDataSetOpened = true;
        }
        if (Count == 0 || Options.Contains(grMetaData)) FRecordsSent = 0;
        rtl::Variant result = rtl::TryFinally(
            [&] {
                FDataSet->CheckBrowseMode();
                FDataSet->SetBlockReadSize(Count);
                rtl::Variant packet = TBaseProvider::InternalGetRecords(Count, RecsOut, Options, CommandText, Params);
                FRecordsSent += RecsOut;
                if (RecsOut != Count) Reset();
                return packet;
            },
            [&] {
                if (FDataSet && FDataSet->Active()) FDataSet->SetBlockReadSize(0);
            });
        // The writer stops on the last row it wrote: the next packet starts
        // on the row after it. After a failure the reset below moves the
        // source anyway.
        if (Count != 0 && RecsOut == Count && FDataSet->Active()) FDataSet->Next();
        return result;
    } catch (...) {
        // The request's own failure is the one reported, even when the
        // source cannot be reset either.
        try {
            if (FDataSet) Reset();
        } catch (...) {
        }
        throw;
    }
}

void TDataSetProvider::DoBeforeExecute(StringView CommandText, rtl::Variant& Params, rtl::Variant& OwnerData) {
    SetCommandText(CommandText);
    SetParams(Params);
    TBaseProvider::DoBeforeExecute(CommandText, Params, OwnerData);
}

void TDataSetProvider::InternalExecute(StringView, rtl::Variant&) {
    CheckDataSet();
    FDataSet->PSExecute();
}

rtl::Variant TDataSetProvider::GetParamsVariant() {
    CheckDataSet();
    const TParams* params = FDataSet->PSGetParams();
    return params ? PackageParams(*params) : rtl::Variant::Null();
}

void TDataSetProvider::CreateDataPacket(TGetRecordOptions PacketOpts, TProviderOptions ProvOpts, rtl::Variant& Result,
                                        std::int32_t& RecsOut) {
    if (!FDSWriter) FDSWriter = std::make_unique<TDataPacketWriter>();
    FDSWriter->Constraints = FConstraints;
    FDSWriter->OnGetParams = [this](TDataSet& DataSet, TPacketAttributeList& List) {
        DoGetProviderAttributes(DataSet, List);
    };
    FDSWriter->PacketOptions = PacketOpts;
    FDSWriter->Options = ProvOpts;
    Result = rtl::Variant();
    FDSWriter->GetDataPacket(*FDataSet, RecsOut, Result);
}

void TDataSetProvider::DoGetProviderAttributes(TDataSet& DataSet, TPacketAttributeList& List) {
    DataSet.PSGetAttributes(List);
    if (OnGetDataSetProperties) OnGetDataSetProperties(*this, DataSet, List);
}

// ---- the local application server

namespace {

// Runs Call and turns what it raises into the failure result the client
// raises again: an abort stays an abort, anything else keeps its message.
template <class TCall>
TServerResult Serve(TCall&& Call) noexcept {
    try {
        Call();
        return {};
    } catch (const rtl::EAbort&) {
        return {TServerResult::E_ABORT, {}};
    } catch (const rtl::Exception& e) {
        return {TServerResult::E_FAIL, e.Message()};
    } catch (const std::exception& e) {
        return {TServerResult::E_FAIL, rtl::Utf8ToString(e.what())};
    } catch (...) {
        return {TServerResult::E_FAIL, u"Unknown failure in the data provider"};
    }
}

}  // namespace

TLocalAppServer::TLocalAppServer(TCustomProvider& AProvider) : FProvider(&AProvider) {}

TLocalAppServer::TLocalAppServer(TDataSet& ADataSet) {
    auto provider = std::make_unique<TDataSetProvider>(nullptr);
    provider->SetDataSet(&ADataSet);
    FProvider = provider.get();
    FCreatedProvider = std::move(provider);
}

TLocalAppServer::~TLocalAppServer() = default;

// Each call ignores ProviderName: this object serves exactly one provider.

TServerResult TLocalAppServer::AS_GetRecords(StringView, std::int32_t Count, std::int32_t& RecsOut,
                                             std::int32_t Options, StringView CommandText, rtl::Variant& Params,
                                             rtl::Variant& OwnerData, rtl::Variant& Result) noexcept {
    return Serve([&] {
        Result = rtl::Variant();
        Result = FProvider->GetRecords(Count, RecsOut, Options, CommandText, Params, OwnerData);
    });
}

TServerResult TLocalAppServer::AS_DataRequest(StringView, const rtl::Variant& Data, rtl::Variant& Result) noexcept {
    return Serve([&] {
        Result = rtl::Variant();
        Result = FProvider->DataRequest(Data);
    });
}

TServerResult TLocalAppServer::AS_GetParams(StringView, rtl::Variant& OwnerData, rtl::Variant& Result) noexcept {
    return Serve([&] {
        Result = rtl::Variant();
        Result = FProvider->GetParams(OwnerData);
    });
}

TServerResult TLocalAppServer::AS_Execute(StringView, StringView CommandText, rtl::Variant& Params,
                                          rtl::Variant& OwnerData) noexcept {
    return Serve([&] { FProvider->Execute(CommandText, Params, OwnerData); });
}

}  // namespace datapacket
