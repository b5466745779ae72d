#include "data/bytes_fields.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/db_error.h"
#include "data/field_support.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TBytesField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TVarBytesField, NotBlob, AnySize)

TBytesField::TBytesField(rtl::TComponent* AOwner) : TField(AOwner) {
    SetDataTypeRaw(ftBytes);
    SetDataSize(16);
}
rtl::TBytes TBytesField::GetAsBytes() const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return {};
    return rtl::TBytes(buf, buf + GetDataSize());
}
rtl::String TBytesField::GetAsString() const {
    rtl::TBytes b = GetAsBytes();
    return Widen(b.data(), b.size());
}
rtl::Variant TBytesField::GetAsVariant() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsBytes());
}
void TBytesField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(Value);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::max(GetDataSize(), 1)), 0);
    std::memcpy(buf.data(), bytes.data(), std::min(bytes.size(), buf.size()));
    SetData(buf.data());
}
rtl::Variant TBytesField::GetAsByteArray() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsBytes());
}
void TBytesField::SetAsByteArrayValue(const rtl::Variant& Value) {
    if (Value.IsClear()) Clear();
    else if (Value.VarType() == rtl::TVarType::varBytes) SetAsBytesValue(Value.AsBytes());
    else DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
}
void TBytesField::SetAsBytesValue(const rtl::TBytes& Value) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::max(GetDataSize(), 1)), 0);
    std::copy_n(Value.begin(), std::min(Value.size(), static_cast<std::size_t>(std::max(GetDataSize(), 0))),
                buf.begin());
    SetData(buf.data());
}
TVarBytesField::TVarBytesField(rtl::TComponent* AOwner) : TBytesField(AOwner) { SetDataTypeRaw(ftVarBytes); }
rtl::TBytes TVarBytesField::GetAsBytes() const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return {};
    std::uint16_t len;
    std::memcpy(&len, buf, 2);
    len = static_cast<std::uint16_t>(std::min<int>(len, Size()));
    return rtl::TBytes(buf + 2, buf + 2 + len);
}
void TVarBytesField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(rtl::StringView(Value).substr(0, static_cast<std::size_t>(std::max(Size(), 0))));
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(GetDataSize()), 0);
    auto len = static_cast<std::uint16_t>(bytes.size());
    std::memcpy(buf.data(), &len, 2);
    std::memcpy(buf.data() + 2, bytes.data(), bytes.size());
    SetData(buf.data());
}

void TVarBytesField::SetAsBytesValue(const rtl::TBytes& Value) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(GetDataSize()), 0);
    auto len = static_cast<std::uint16_t>(std::min(Value.size(), static_cast<std::size_t>(std::max(Size(), 0))));
    std::memcpy(buf.data(), &len, 2);
    std::copy_n(Value.begin(), len, buf.begin() + 2);
    SetData(buf.data());
}

}  // namespace data
