#include "data/variant_fields.h"

#include "data/db_error.h"
#include "data/field_support.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TVariantField, NotBlob, AnySize)

TVariantField::TVariantField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftVariant); }
// Through GetData, so that a validation handler reads the pending value.
rtl::Variant TVariantField::GetAsVariant() const {
    rtl::Variant v;
    if (!GetData(&v)) return rtl::Variant::Null();
    return v;
}
void TVariantField::CopyData(const void* Source, void* Dest) const {
    if (Source && Dest) *static_cast<rtl::Variant*>(Dest) = *static_cast<const rtl::Variant*>(Source);
}
void TVariantField::CopyData(const TValueBuffer&, TValueBuffer&) const { AccessError(u"ByteArray"); }
bool TVariantField::GetIsNull() const { return GetAsVariant().IsClear(); }
rtl::String TVariantField::GetAsString() const {
    rtl::Variant v = GetAsVariant();
    return v.IsClear() ? rtl::String() : v.AsString();
}
std::int32_t TVariantField::GetAsInteger() const { return GetAsVariant().AsInteger(); }
std::int64_t TVariantField::GetAsLargeInt() const { return GetAsVariant().AsInt64(); }
double TVariantField::GetAsFloat() const { return GetAsVariant().AsDouble(); }
bool TVariantField::GetAsBoolean() const { return GetAsVariant().AsBoolean(); }
void TVariantField::SetVarValue(const rtl::Variant& Value) { SetData(&Value); }
double TVariantField::NumberOrZero() const {
    rtl::Variant v = GetAsVariant();
    return v.IsClear() ? 0 : v.AsDouble();
}
TBcd TVariantField::GetAsBCD() const {
    rtl::Variant v = GetAsVariant();
    return v.IsClear() ? TBcd{} : StrToBcd(v.AsString());
}

rtl::Variant TVariantField::GetAsByteArray() const {
    rtl::Variant v = GetAsVariant();
    if (v.IsClear()) return rtl::Variant::Null();
    if (v.VarType() != rtl::TVarType::varBytes) AccessError(u"ByteArray");
    return v;
}
void TVariantField::SetAsByteArrayValue(const rtl::Variant& Value) {
    if (Value.IsClear()) Clear();
    else if (Value.VarType() == rtl::TVarType::varBytes) SetVarValue(Value);
    else DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
}

}  // namespace data
