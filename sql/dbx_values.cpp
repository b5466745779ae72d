#include "sql/dbx_values.h"

#include <algorithm>
#include <cstring>

#include "rtl/format.h"

namespace sql {

namespace {

[[noreturn]] void RaiseInvalidLength(const TDBXContextPtr& Context) {
    RaiseDBXError(Context.get(), TDBXErrorCodes::InvalidLength, u"");
}

}  // namespace

// ---- TDBXByteReader -------------------------------------------------------

TDBXByteReader::TDBXByteReader(TDBXContextPtr Context) : FDBXContext(std::move(Context)) {}
TDBXByteReader::~TDBXByteReader() = default;

void TDBXByteReader::GetBoolean(int Ordinal, std::span<std::uint8_t> Value, std::int64_t Offset, bool& IsNull) {
    GetInt16(Ordinal, Value, Offset, IsNull);
}

// ---- TDBXRow --------------------------------------------------------------

TDBXRow::TDBXRow(TDBXContextPtr Context) : FDBXContext(std::move(Context)) {}
TDBXRow::~TDBXRow() = default;

void TDBXRow::NotImplemented() {
    RaiseDBXError(FDBXContext.get(), TDBXErrorCodes::NotImplemented, u"Feature not implemented");
}

void TDBXRow::GetAnsiString(TDBXWritableValue&, std::vector<char>&, bool&) { NotImplemented(); }
void TDBXRow::GetWideString(TDBXWritableValue&, std::vector<char16_t>&, bool&) { NotImplemented(); }
void TDBXRow::GetWideString(TDBXWideStringValue&, String&, bool&) { NotImplemented(); }
void TDBXRow::GetBoolean(TDBXWritableValue&, bool&, bool&) { NotImplemented(); }
void TDBXRow::GetUInt8(TDBXWritableValue&, std::uint8_t&, bool&) { NotImplemented(); }
void TDBXRow::GetInt8(TDBXWritableValue&, std::int8_t&, bool&) { NotImplemented(); }
void TDBXRow::GetUInt16(TDBXWritableValue&, std::uint16_t&, bool&) { NotImplemented(); }
void TDBXRow::GetInt16(TDBXWritableValue&, std::int16_t&, bool&) { NotImplemented(); }
void TDBXRow::GetInt32(TDBXWritableValue&, std::int32_t&, bool&) { NotImplemented(); }
void TDBXRow::GetInt64(TDBXWritableValue&, std::int64_t&, bool&) { NotImplemented(); }
void TDBXRow::GetSingle(TDBXWritableValue&, float&, bool&) { NotImplemented(); }
void TDBXRow::GetDouble(TDBXWritableValue&, double&, bool&) { NotImplemented(); }
void TDBXRow::GetBcd(TDBXWritableValue&, TBcd&, bool&) { NotImplemented(); }
void TDBXRow::GetDate(TDBXWritableValue&, TDBXDate&, bool&) { NotImplemented(); }
void TDBXRow::GetTime(TDBXWritableValue&, TDBXTime&, bool&) { NotImplemented(); }
void TDBXRow::GetTimeStamp(TDBXWritableValue&, TSQLTimeStamp&, bool&) { NotImplemented(); }
void TDBXRow::GetTimeStampOffset(TDBXWritableValue&, TSQLTimeStampOffset&, bool&) { NotImplemented(); }
void TDBXRow::GetBytes(TDBXWritableValue&, std::int64_t, std::vector<std::uint8_t>&, std::int64_t, std::int64_t,
                       std::int64_t&, bool&) {
    NotImplemented();
}
void TDBXRow::GetByteLength(TDBXWritableValue&, std::int64_t&, bool&) { NotImplemented(); }
void TDBXRow::GetWideChars(TDBXWritableValue&, std::vector<char16_t>&, bool&) { NotImplemented(); }
void TDBXRow::GetAnsiChars(TDBXWritableValue&, std::vector<char>&, bool&) { NotImplemented(); }
void TDBXRow::GetDBXReader(TDBXWritableValue&, TDBXReader*&, bool&) { NotImplemented(); }
void TDBXRow::GetDBXConnection(TDBXWritableValue&, TDBXConnection*&, bool&) { NotImplemented(); }
bool TDBXRow::IsStoredNull(TDBXValue&) { NotImplemented(); }

void TDBXRow::SetNull(TDBXWritableValue&) { NotImplemented(); }
void TDBXRow::SetString(TDBXWritableValue&, const std::string&) { NotImplemented(); }
void TDBXRow::SetAnsiString(TDBXWritableValue&, const std::string&) { NotImplemented(); }
void TDBXRow::SetWideString(TDBXWritableValue&, const String&) { NotImplemented(); }
void TDBXRow::SetBoolean(TDBXWritableValue&, bool) { NotImplemented(); }
void TDBXRow::SetUInt8(TDBXWritableValue&, std::uint8_t) { NotImplemented(); }
void TDBXRow::SetInt8(TDBXWritableValue&, std::int8_t) { NotImplemented(); }
void TDBXRow::SetUInt16(TDBXWritableValue&, std::uint16_t) { NotImplemented(); }
void TDBXRow::SetInt16(TDBXWritableValue&, std::int16_t) { NotImplemented(); }
void TDBXRow::SetInt32(TDBXWritableValue&, std::int32_t) { NotImplemented(); }
void TDBXRow::SetInt64(TDBXWritableValue&, std::int64_t) { NotImplemented(); }
void TDBXRow::SetSingle(TDBXWritableValue&, float) { NotImplemented(); }
void TDBXRow::SetDouble(TDBXWritableValue&, double) { NotImplemented(); }
void TDBXRow::SetBCD(TDBXWritableValue&, const TBcd&) { NotImplemented(); }
void TDBXRow::SetDate(TDBXWritableValue&, TDBXDate) { NotImplemented(); }
void TDBXRow::SetTime(TDBXWritableValue&, TDBXTime) { NotImplemented(); }
void TDBXRow::SetTimestamp(TDBXWritableValue&, const TSQLTimeStamp&) { NotImplemented(); }
void TDBXRow::SetTimestampOffset(TDBXWritableValue&, const TSQLTimeStampOffset&) { NotImplemented(); }
void TDBXRow::SetWideChars(TDBXWritableValue&, const String&) { NotImplemented(); }
void TDBXRow::SetAnsiChars(TDBXWritableValue&, const std::string&) { NotImplemented(); }
void TDBXRow::SetWideMemo(TDBXWritableValue&, const String&) { NotImplemented(); }
void TDBXRow::SetAnsiMemo(TDBXWritableValue&, const std::string&) { NotImplemented(); }
void TDBXRow::SetDBXReader(TDBXWritableValue&, TDBXReader*) { NotImplemented(); }
void TDBXRow::SetDBXConnection(TDBXWritableValue&, TDBXConnection*) { NotImplemented(); }
void TDBXRow::SetDynamicBytes(TDBXWritableValue&, std::int64_t, const std::vector<std::uint8_t>&, std::int64_t,
                              std::int64_t) {
    NotImplemented();
}
void TDBXRow::SetValueType(TDBXWritableValue&) { NotImplemented(); }

std::unique_ptr<TDBXWritableValue> TDBXRow::CreateCustomValue(const TDBXValueType&) { return nullptr; }

// ---- TDBXValue ------------------------------------------------------------

namespace {

template <class T>
std::unique_ptr<TDBXWritableValue> Make(std::unique_ptr<TDBXValueType>& ValueType) {
    return std::make_unique<T>(std::move(ValueType));
}

std::unique_ptr<TDBXWritableValue> MakeBytesValue(std::unique_ptr<TDBXValueType>& ValueType) {
    switch (ValueType->GetSubType()) {
        case TDBXSubDataTypes::MemoSubType:
        case TDBXSubDataTypes::HMemoSubType: return Make<TDBXAnsiMemoValue>(ValueType);
        case TDBXSubDataTypes::WideMemoSubType: return Make<TDBXWideMemoValue>(ValueType);
        default: return Make<TDBXStreamValue>(ValueType);
    }
}

}  // namespace

std::unique_ptr<TDBXWritableValue> TDBXValue::CreateValue(const TDBXContextPtr& Context,
                                                          std::unique_ptr<TDBXValueType> ValueType, TDBXRow* Row,
                                                          bool ReadOnlyType) {
    if (ReadOnlyType) ValueType->SetFlags(ValueType->GetFlags() | TDBXValueTypeFlags::ReadOnlyType);
    std::unique_ptr<TDBXWritableValue> value;
    if (Row) value = Row->CreateCustomValue(*ValueType);
    if (!value) {
        namespace T = TDBXDataTypes;
        switch (ValueType->GetDataType()) {
            case T::AnsiStringType: value = Make<TDBXAnsiStringBuilderValue>(ValueType); break;
            case T::DateType: value = Make<TDBXDateValue>(ValueType); break;
            case T::BlobType:
            case T::BytesType:
            case T::VarBytesType:
            case T::AdtType:
            case T::ArrayType: value = MakeBytesValue(ValueType); break;
            case T::BooleanType: value = Make<TDBXBooleanValue>(ValueType); break;
            case T::Int16Type: value = Make<TDBXInt16Value>(ValueType); break;
            case T::Int32Type: value = Make<TDBXInt32Value>(ValueType); break;
            case T::DoubleType: value = Make<TDBXDoubleValue>(ValueType); break;
            case T::BcdType:
            case T::CurrencyType: value = Make<TDBXBcdValue>(ValueType); break;
            case T::TimeType: value = Make<TDBXTimeValue>(ValueType); break;
            case T::DateTimeType:
            case T::TimeStampType: value = Make<TDBXTimeStampValue>(ValueType); break;
            case T::UInt16Type: value = Make<TDBXUInt16Value>(ValueType); break;
            case T::CursorType: value = Make<TDBXCursorValue>(ValueType); break;
            case T::Int64Type: value = Make<TDBXInt64Value>(ValueType); break;
            case T::TableType: value = Make<TDBXReaderValue>(ValueType); break;
            case T::WideStringType: value = Make<TDBXWideStringBuilderValue>(ValueType); break;
            case T::SingleType: value = Make<TDBXSingleValue>(ValueType); break;
            case T::Int8Type: value = Make<TDBXInt8Value>(ValueType); break;
            case T::UInt8Type: value = Make<TDBXUInt8Value>(ValueType); break;
            case T::BinaryBlobType:
            case T::VariantType: value = Make<TDBXStreamValue>(ValueType); break;
            case T::DBXConnectionType: value = Make<TDBXConnectionValue>(ValueType); break;
            case T::TimeStampOffsetType: value = Make<TDBXTimeStampOffsetValue>(ValueType); break;
            case T::JsonValueType: value = Make<TDBXJSONValue>(ValueType); break;
            case T::CallbackType: value = Make<TDBXCallbackValue>(ValueType); break;
            default:
                RaiseDBXError(Context.get(), TDBXErrorCodes::UnsupportedFieldType,
                              rtl::Format(u"Unexpected data type %s", {rtl::IntToStr(ValueType->GetDataType())}));
        }
    }
    value->GetValueType().SetDbxRow(Row);
    value->FDbxRow = Row;
    return value;
}

TDBXValue::TDBXValue(std::unique_ptr<TDBXValueType> ValueType) : FValueType(std::move(ValueType)) {}
TDBXValue::~TDBXValue() = default;

bool TDBXValue::NeedsFetch() const { return FDbxRow && FDbxRow->GetGeneration() != FGeneration; }
void TDBXValue::MarkFetched() { FGeneration = FDbxRow->GetGeneration(); }

void TDBXValue::WrongType(int RequestedType) {
    RaiseDBXError(FValueType->DBXContext().get(), TDBXErrorCodes::InvalidType,
                  rtl::Format(u"%s value type cannot be accessed as %s value type",
                              {TDBXValueType::DataTypeName(FValueType->GetDataType()),
                               TDBXValueType::DataTypeName(RequestedType)}));
}

bool TDBXValue::IsNull() { return FIsNull; }

namespace T = TDBXDataTypes;
String TDBXValue::GetWideString() { WrongType(T::WideStringType); }
std::string TDBXValue::GetAnsiString() { WrongType(T::AnsiStringType); }
bool TDBXValue::GetBoolean() { WrongType(T::BooleanType); }
std::int8_t TDBXValue::GetInt8() { WrongType(T::Int8Type); }
std::uint8_t TDBXValue::GetUInt8() { WrongType(T::UInt8Type); }
std::int16_t TDBXValue::GetInt16() { WrongType(T::Int16Type); }
std::uint16_t TDBXValue::GetUInt16() { WrongType(T::UInt16Type); }
std::int32_t TDBXValue::GetInt32() { WrongType(T::Int32Type); }
std::int64_t TDBXValue::GetInt64() { WrongType(T::Int64Type); }
float TDBXValue::GetSingle() { WrongType(T::SingleType); }
double TDBXValue::GetDouble() { WrongType(T::DoubleType); }
TBcd TDBXValue::GetBcd() { WrongType(T::BcdType); }
TDBXDate TDBXValue::GetDate() { WrongType(T::DateType); }
TDBXTime TDBXValue::GetTime() { WrongType(T::TimeType); }
TSQLTimeStamp TDBXValue::GetTimeStamp() { WrongType(T::TimeStampType); }
TSQLTimeStampOffset TDBXValue::GetTimeStampOffset() { WrongType(T::TimeStampOffsetType); }
std::int64_t TDBXValue::GetBytes(std::int64_t, std::vector<std::uint8_t>&, std::int64_t, std::int64_t) {
    WrongType(T::BytesType);
}
std::unique_ptr<rtl::TStream> TDBXValue::GetStream() { WrongType(T::BlobType); }
String TDBXValue::GetAsString() { WrongType(T::WideStringType); }
std::int64_t TDBXValue::GetAsInt64() { WrongType(T::Int64Type); }
double TDBXValue::GetAsDouble() { WrongType(T::DoubleType); }
bool TDBXValue::GetAsBoolean() { WrongType(T::BooleanType); }
rtl::Variant TDBXValue::GetAsVariant() { WrongType(T::VariantType); }

void TDBXWritableValue::SetNull() {
    FIsNull = true;
    FSetPending = true;
    if (FDbxRow) FDbxRow->SetNull(*this);
}

// ---- scalar values ----------------------------------------------------------

#define KALIMDAR_DBX_INTEGER_CONVERSIONS(Class, Getter)                                             \
    String Class::GetAsString() { return IsNull() ? String() : rtl::IntToStr(Getter()); }           \
    rtl::Variant Class::GetAsVariant() {                                                            \
        return IsNull() ? rtl::Variant::Null() : rtl::Variant(static_cast<std::int64_t>(Getter())); \
    }
KALIMDAR_DBX_INTEGER_CONVERSIONS(TDBXInt8Value, GetInt8)
KALIMDAR_DBX_INTEGER_CONVERSIONS(TDBXUInt8Value, GetUInt8)
KALIMDAR_DBX_INTEGER_CONVERSIONS(TDBXInt16Value, GetInt16)
KALIMDAR_DBX_INTEGER_CONVERSIONS(TDBXUInt16Value, GetUInt16)
KALIMDAR_DBX_INTEGER_CONVERSIONS(TDBXInt32Value, GetInt32)
KALIMDAR_DBX_INTEGER_CONVERSIONS(TDBXInt64Value, GetInt64)
#undef KALIMDAR_DBX_INTEGER_CONVERSIONS

String TDBXBooleanValue::GetAsString() { return IsNull() ? String() : GetBoolean() ? u"True" : u"False"; }
rtl::Variant TDBXBooleanValue::GetAsVariant() { return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetBoolean()); }

String TDBXDoubleValue::GetAsString() { return IsNull() ? String() : rtl::FloatToStr(GetDouble()); }
rtl::Variant TDBXDoubleValue::GetAsVariant() { return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetDouble()); }

String TDBXSingleValue::GetAsString() { return IsNull() ? String() : rtl::FloatToStr(GetSingle()); }
rtl::Variant TDBXSingleValue::GetAsVariant() {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(static_cast<double>(GetSingle()));
}

// ---- strings ----------------------------------------------------------------

bool TDBXWideStringValue::IsNull() {
    if (NeedsFetch()) FetchString();
    return FIsNull;
}

String TDBXWideStringValue::GetWideString() {
    if (NeedsFetch()) FetchString();
    return FIsNull ? String() : FWideString;
}

rtl::Variant TDBXWideStringValue::GetAsVariant() {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetWideString());
}

void TDBXWideStringValue::FetchString() {
    FDbxRow->GetWideString(*this, FWideString, FIsNull);
    MarkFetched();
}

void TDBXWideStringBuilderValue::FetchString() {
    FDbxRow->GetWideString(static_cast<TDBXWritableValue&>(*this), FWideStringBuilder, FIsNull);
    MarkFetched();
    if (FIsNull) {
        FWideString.clear();
        return;
    }
    const auto end = std::find(FWideStringBuilder.begin(), FWideStringBuilder.end(), u'\0');
    FWideString.assign(FWideStringBuilder.begin(), end);
}

bool TDBXAnsiStringBuilderValue::IsNull() {
    if (NeedsFetch()) FetchString();
    return FIsNull;
}

std::string TDBXAnsiStringBuilderValue::GetAnsiString() {
    if (NeedsFetch()) FetchString();
    return FIsNull ? std::string() : FAnsiString;
}

String TDBXAnsiStringBuilderValue::GetAsString() { return rtl::Utf8ToString(GetAnsiString()); }

rtl::Variant TDBXAnsiStringBuilderValue::GetAsVariant() {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetAsString());
}

void TDBXAnsiStringBuilderValue::FetchString() {
    FDbxRow->GetAnsiString(*this, FAnsiStringBuilder, FIsNull);
    MarkFetched();
    if (FIsNull) {
        FAnsiString.clear();
        return;
    }
    const auto end = std::find(FAnsiStringBuilder.begin(), FAnsiStringBuilder.end(), '\0');
    FAnsiString.assign(FAnsiStringBuilder.begin(), end);
}

// ---- byte arrays ------------------------------------------------------------

bool TDBXByteArrayValue::IsNull() {
    if (NeedsFetch()) FetchBytes();
    return FIsNull;
}

void TDBXByteArrayValue::FetchBytes() {
    FDbxRow->GetByteLength(*this, FByteLength, FIsNull);
    MarkFetched();
    if (FIsNull) {
        FBytes.clear();
        return;
    }
    FBytes.assign(static_cast<std::size_t>(std::max<std::int64_t>(FByteLength, 0)), 0);
    if (FByteLength > 0) {
        std::int64_t copied = 0;
        FDbxRow->GetBytes(*this, 0, FBytes, 0, FByteLength, copied, FIsNull);
        FBytes.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(copied, 0, FByteLength)));
    }
}

std::int64_t TDBXByteArrayValue::GetBytes(std::int64_t Offset, std::vector<std::uint8_t>& Buffer,
                                          std::int64_t BufferOffset, std::int64_t Length) {
    if (NeedsFetch()) FetchBytes();
    if (FIsNull) return 0;
    const auto size = static_cast<std::int64_t>(FBytes.size());
    const auto room = static_cast<std::int64_t>(Buffer.size());
    if (Offset < 0 || BufferOffset < 0 || Length < 0 || BufferOffset > room)
        RaiseInvalidLength(FValueType->DBXContext());
    const std::int64_t count = std::max<std::int64_t>(0, std::min({Length, size - Offset, room - BufferOffset}));
    if (count > 0) std::memcpy(Buffer.data() + BufferOffset, FBytes.data() + Offset, static_cast<std::size_t>(count));
    return count;
}

void TDBXWideMemoValue::FetchBytes() {
    TDBXByteArrayValue::FetchBytes();
    if (FBytes.size() >= 2 && FBytes[FBytes.size() - 1] == 0 && FBytes[FBytes.size() - 2] == 0)
        FBytes.resize(FBytes.size() - 2);
}

String TDBXWideMemoValue::GetWideString() {
    if (NeedsFetch()) FetchBytes();
    if (FIsNull) return String();
    String text(FBytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(FBytes[2 * i] | (FBytes[2 * i + 1] << 8));
    return text;
}

rtl::Variant TDBXWideMemoValue::GetAsVariant() {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetWideString());
}

std::string TDBXAnsiMemoValue::GetAnsiString() {
    if (NeedsFetch()) FetchBytes();
    if (FIsNull) return std::string();
    std::string text(FBytes.begin(), FBytes.end());
    if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return text;
}

String TDBXAnsiMemoValue::GetAsString() { return rtl::Utf8ToString(GetAnsiString()); }

rtl::Variant TDBXAnsiMemoValue::GetAsVariant() { return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetAsString()); }

std::unique_ptr<rtl::TStream> TDBXStreamValue::GetStream() {
    if (NeedsFetch()) FetchBytes();
    if (FIsNull) return nullptr;
    auto stream = std::make_unique<rtl::TMemoryStream>();
    if (!FBytes.empty()) stream->WriteBuffer(FBytes.data(), static_cast<std::int64_t>(FBytes.size()));
    stream->SetPosition(0);
    return stream;
}

rtl::Variant TDBXStreamValue::GetAsVariant() {
    if (NeedsFetch()) FetchBytes();
    return FIsNull ? rtl::Variant::Null() : rtl::Variant(FBytes);
}

}  // namespace sql
