#include "sql/dbx_types.h"

#include "rtl/format.h"

namespace sql {

TDBXValueType::TDBXValueType(TDBXContextPtr Context) : FDBXContext(std::move(Context)) {}

String TDBXValueType::DataTypeName(int DataType) {
    static const char16_t* const Names[TDBXDataTypes::MaxBaseTypes] = {// clang-format off
        u"UNKNOWN", u"ZSTRING", u"DATE", u"BLOB", u"BOOL", u"INT16", u"INT32", u"DOUBLE",
        u"BCD", u"BYTES", u"TIME", u"DATETIME", u"UINT16", u"UINT32", nullptr, u"VARBYTES",
        nullptr, u"CURSOR", u"INT64", u"UINT64", u"ADT", u"ARRAY_TYPE", u"REF", u"TABLE",
        u"TIMESTAMP", u"Currency", u"WideString", u"SINGLE", u"INT8", u"UINT8", nullptr, nullptr,
        nullptr, nullptr, nullptr, u"Variant", u"TIMESTAMPOFFSET", u"JSON", nullptr};
    // clang-format on
    if (DataType >= 0 && DataType < TDBXDataTypes::MaxBaseTypes && Names[DataType])
        return String(u"TDBXTypes.") + Names[DataType];
    return u"TDBXTypes.UNKNOWN(" + rtl::IntToStr(DataType) + u")";
}

std::unique_ptr<TDBXValueType> TDBXValueType::Clone() const {
    auto copy = std::make_unique<TDBXValueType>(FDBXContext);
    copy->FName = FName;
    copy->FCaption = FCaption;
    copy->FOrdinal = FOrdinal;
    copy->FDataType = FDataType;
    copy->FSubType = FSubType;
    copy->FSize = FSize;
    copy->FPrecision = FPrecision;
    copy->FScale = FScale;
    copy->FChildPosition = FChildPosition;
    copy->FFlags = FFlags;
    copy->FParameterDirection = FParameterDirection;
    copy->FDbxRow = FDbxRow;
    copy->FModified = FModified;
    return copy;
}

std::unique_ptr<TDBXValueType> TDBXValueType::WritableClone() const {
    auto copy = Clone();
    copy->FFlags &= ~TDBXValueTypeFlags::ReadOnlyType;
    return copy;
}

void TDBXValueType::CheckWritable() const {
    if (IsReadOnlyType())
        RaiseDBXError(FDBXContext.get(), TDBXErrorCodes::InvalidParameter,
                      rtl::Format(u"%s type cannot be modified", {FName}));
}

void TDBXValueType::SetName(const String& Name) {
    CheckWritable();
    if (Name != FName) FModified = true;
    FName = Name;
}

void TDBXValueType::SetDisplayName(const String& Caption) {
    if (Caption != FCaption) FModified = true;
    FCaption = Caption;
}

void TDBXValueType::SetOrdinal(int Ordinal) {
    CheckWritable();
    FOrdinal = Ordinal;
}

void TDBXValueType::SetDataType(int DataType) {
    CheckWritable();
    if (DataType != FDataType) FModified = true;
    FDataType = DataType;
}

void TDBXValueType::SetSubType(int SubType) {
    CheckWritable();
    if (SubType != FSubType) FModified = true;
    FSubType = SubType;
}

void TDBXValueType::SetPrecision(std::int64_t Precision) {
    CheckWritable();
    if (Precision != FPrecision) FModified = true;
    FPrecision = Precision;
}

void TDBXValueType::SetScale(int Scale) {
    CheckWritable();
    if (Scale != FScale) FModified = true;
    FScale = Scale;
}

void TDBXValueType::SetChildPosition(int ChildPosition) {
    CheckWritable();
    FChildPosition = ChildPosition;
}

void TDBXValueType::SetFlags(int Flags) {
    if (Flags == FFlags) return;
    CheckWritable();
    FFlags = Flags;
    FModified = true;
}

void TDBXValueType::SetFlag(int Flag, bool On) { SetFlags(On ? (FFlags | Flag) : (FFlags & ~Flag)); }

void TDBXValueType::SetNullable(bool Nullable) {
    CheckWritable();
    SetFlag(TDBXValueTypeFlags::Nullable, Nullable);
}

void TDBXValueType::SetSize(std::int64_t Size) {
    CheckWritable();
    if (Size != FSize) FModified = true;
    FSize = Size;
}

void TDBXValueType::SetHidden(bool Hidden) { SetFlag(TDBXValueTypeFlags::Hidden, Hidden); }
void TDBXValueType::SetValueParameter(bool ValueParameter) {
    SetFlag(TDBXValueTypeFlags::ValueParameter, ValueParameter);
}
void TDBXValueType::SetLiteral(bool Literal) { SetFlag(TDBXValueTypeFlags::Literal, Literal); }

std::unique_ptr<TDBXValueType> TDBXDriverHelp::CreateTDBXValueType(const TDBXContextPtr& Context) {
    return std::make_unique<TDBXValueType>(Context);
}

}  // namespace sql
