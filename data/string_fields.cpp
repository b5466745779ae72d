#include "data/string_fields.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "data/dataset.h"
#include "data/db_error.h"
#include "data/field_defs.h"
#include "data/field_support.h"
#include "rtl/format.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TStringField, NotBlob, TStringField::CheckTypeSize)
DEFINE_FIELD_CLASS(TWideStringField, NotBlob, TStringField::CheckTypeSize)
DEFINE_FIELD_CLASS(TGuidField, NotBlob, TStringField::CheckTypeSize)

TFormatMaskTextProc FormatMaskTextProc = [](rtl::StringView, rtl::StringView Value) { return rtl::String(Value); };

TStringField::TStringField(rtl::TComponent* AOwner) : TField(AOwner) {
    SetDataTypeRaw(ftString);
    SetDataSize(20);
}

void TStringField::CheckTypeSize(int Size) {
    if (Size < 0) DatabaseError(SInvalidFieldSize);
}

void TStringField::SetFieldDefProps(TFieldDef& FieldDef) const {
    TField::SetFieldDefProps(FieldDef);
    TFieldAttributes attributes = FieldDef.Attributes();
    if (FFixedChar) attributes.Include(faFixed);
    else attributes.Exclude(faFixed);
    FieldDef.SetAttributes(attributes);
}

void TStringField::SetFieldProps(const TFieldDef& FieldDef) {
    TField::SetFieldProps(FieldDef);
    FFixedChar = FieldDef.Attributes().Contains(faFixed) || FieldDef.DataType() == ftFixedChar;
    if (DataType() == ftString || DataType() == ftFixedChar || DataType() == ftOraInterval)
        SetDataTypeRaw(FieldDef.DataType());
}

int TStringField::GetIOSize() const { return std::max(GetDataSize(), 8193); }

bool TStringField::GetValue(rtl::String& Value) const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return false;
    // At most Size characters: a value that fills the field may come without
    // its terminator, and the byte after it may lie past the I/O buffer.
    std::size_t len = strnlen(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(std::max(Size(), 0)));
    if (FTransliterate && DataSet()) {
        buf[len] = 0;
        len = static_cast<std::size_t>(
            DataSet()->Translate(reinterpret_cast<const char*>(buf), reinterpret_cast<char*>(buf), false));
    }
    Value = Widen(buf, len);
    return true;
}

rtl::String TStringField::GetAsString() const {
    rtl::String s;
    if (!GetValue(s)) s.clear();
    return s;
}

std::int32_t TStringField::GetAsInteger() const { return rtl::StrToInt(GetAsString()); }
std::int64_t TStringField::GetAsLargeInt() const { return rtl::StrToInt64(GetAsString()); }

namespace {
double TextToFloat(const rtl::String& Text) {
    std::string s = rtl::StringToUtf8(rtl::Trim(Text));
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0')
        throw rtl::EConvertError(rtl::Format(u"'%s' is not a valid floating point value", {Text}));
    return v;
}
}  // namespace

double TStringField::GetAsFloat() const { return TextToFloat(GetAsString()); }

float TStringField::GetAsSingle() const {
    rtl::String s;
    return GetValue(s) ? static_cast<float>(TextToFloat(s)) : 0.0f;
}

long double TStringField::GetAsExtended() const {
    rtl::String s;
    return GetValue(s) ? TextToFloat(s) : 0.0;
}

TCurrency TStringField::GetAsCurrency() const {
    rtl::String s;
    return GetValue(s) ? BcdToCurrency(StrToBcd(s)) : TCurrency{};
}

TBcd TStringField::GetAsBCD() const {
    rtl::String s;
    return GetValue(s) ? StrToBcd(s) : TBcd{};
}

bool TStringField::GetAsBoolean() const {
    rtl::String s = GetAsString();
    return !s.empty() && (s[0] == u'T' || s[0] == u't' || s[0] == u'Y' || s[0] == u'y');
}

rtl::Variant TStringField::GetAsVariant() const {
    rtl::String s;
    return GetValue(s) ? rtl::Variant(std::move(s)) : rtl::Variant::Null();
}

void TStringField::GetText(rtl::String& Text, bool DisplayText) const {
    Text = GetAsString();
    if (DisplayText && !EditMask().empty() && FormatMaskTextProc) Text = FormatMaskTextProc(EditMask(), Text);
}

void TStringField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(rtl::StringView(Value).substr(0, static_cast<std::size_t>(std::max(Size(), 0))));
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(GetDataSize()) + 1, 0);
    if (!bytes.empty()) std::memcpy(buf.data(), bytes.data(), bytes.size());
    SetData(buf.data());
}

void TStringField::SetAsIntegerValue(std::int32_t Value) { SetAsStringValue(rtl::IntToStr(Value)); }
void TStringField::SetAsLargeIntValue(std::int64_t Value) { SetAsStringValue(rtl::IntToStr(Value)); }

void TStringField::SetAsFloatValue(double Value) { SetAsStringValue(rtl::FloatToStr(Value)); }

void TStringField::SetAsSingleValue(float Value) {
    // The seven digits a single holds, not the widened double's fifteen
    // (0.1f is not "0.100000001490116").
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(Value));
    SetAsFloatValue(std::strtod(buf, nullptr));
}

TWideStringField::TWideStringField(rtl::TComponent* AOwner) : TStringField(AOwner) { SetDataTypeRaw(ftWideString); }

int TWideStringField::GetIOSize() const { return std::max(GetDataSize(), 16386); }

bool TWideStringField::GetValue(rtl::String& Value) const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return false;
    const char16_t* chars = reinterpret_cast<const char16_t*>(buf);
    std::size_t limit = static_cast<std::size_t>(std::max(Size(), 0)), len = 0;
    while (len < limit && chars[len] != 0) ++len;
    Value.assign(chars, len);
    return true;
}

void TWideStringField::SetAsStringValue(const rtl::String& Value) {
    // The whole record slot: a validation handler reads DataSize bytes.
    std::size_t len = std::min(Value.size(), static_cast<std::size_t>(std::max(Size(), 0)));
    std::vector<char16_t> buf(static_cast<std::size_t>(std::max(Size(), 0)) + 1, 0);
    std::copy_n(Value.data(), len, buf.data());
    SetData(buf.data());
}

TGuidField::TGuidField(rtl::TComponent* AOwner) : TStringField(AOwner) {
    SetDataTypeRaw(ftGuid);
    SetDataSize(38);
}

TGUID TGuidField::GetAsGuid() const {
    rtl::String s;
    return GetValue(s) ? StringToGUID(s) : TGUID{};
}

}  // namespace data
