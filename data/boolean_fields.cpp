#include "data/boolean_fields.h"

#include <cstdint>

#include "data/db_error.h"
#include "data/field_support.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TBooleanField, NotBlob, AnySize)

TBooleanField::TBooleanField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftBoolean); }
bool TBooleanField::GetAsBoolean() const {
    std::uint16_t v = 0;
    return ReadValue(v) && v != 0;
}
rtl::String TBooleanField::GetAsString() const {
    std::uint16_t v;
    if (!ReadValue(v)) return rtl::String();
    return v ? u"True" : u"False";
}
rtl::Variant TBooleanField::GetAsVariant() const {
    std::uint16_t v;
    return ReadValue(v) ? rtl::Variant(v != 0) : rtl::Variant::Null();
}
void TBooleanField::SetAsBooleanValue(bool Value) {
    std::uint16_t v = Value ? 1 : 0;
    SetData(&v);
}
void TBooleanField::SetAsStringValue(const rtl::String& Value) {
    if (Value.empty()) Clear();
    else if (rtl::SameText(Value, u"True")) SetAsBooleanValue(true);
    else if (rtl::SameText(Value, u"False")) SetAsBooleanValue(false);
    else DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
}

}  // namespace data
