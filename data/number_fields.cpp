#include "data/number_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "data/db_error.h"
#include "data/field_support.h"
#include "rtl/format.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TIntegerField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSmallintField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TShortintField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TByteField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TWordField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TAutoIncField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TLargeintField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TLongWordField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TFloatField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TCurrencyField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TExtendedField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSingleField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TBCDField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TFMTBCDField, NotBlob, AnySize)

// --- formatting ---

rtl::String FormatFloat(rtl::StringView Format, double Value) {
    std::vector<rtl::StringView> sections;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= Format.size(); ++i)
        if (i == Format.size() || Format[i] == u';') {
            sections.push_back(Format.substr(start, i - start));
            start = i + 1;
        }
    rtl::StringView fmt = sections[0];
    bool minus = false;
    if (Value < 0 && sections.size() >= 2 && !sections[1].empty()) {
        fmt = sections[1];
        Value = -Value;
    } else if (Value == 0 && sections.size() >= 3 && !sections[2].empty()) {
        fmt = sections[2];
    } else if (Value < 0) {
        minus = true;
        Value = -Value;
    }
    auto isPlace = [](char16_t c) { return c == u'0' || c == u'#' || c == u'.' || c == u','; };
    std::size_t first = 0;
    while (first < fmt.size() && !isPlace(fmt[first])) ++first;
    std::size_t last = fmt.size();
    while (last > first && !isPlace(fmt[last - 1])) --last;
    rtl::StringView prefix = fmt.substr(0, first), core = fmt.substr(first, last - first), suffix = fmt.substr(last);
    std::size_t dot = core.find(u'.');
    rtl::StringView intPart = core.substr(0, dot);
    rtl::StringView fracPart = dot == rtl::StringView::npos ? rtl::StringView() : core.substr(dot + 1);
    bool thousands = intPart.find(u',') != rtl::StringView::npos;
    int minInt = static_cast<int>(std::count(intPart.begin(), intPart.end(), u'0'));
    int maxFrac = static_cast<int>(
        std::count_if(fracPart.begin(), fracPart.end(), [](char16_t c) { return c == u'0' || c == u'#'; }));
    int minFrac = static_cast<int>(std::count(fracPart.begin(), fracPart.end(), u'0'));

    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", maxFrac, Value);
    std::string digits(buf);
    std::size_t p = digits.find('.');
    std::string ip = digits.substr(0, p), fp = p == std::string::npos ? std::string() : digits.substr(p + 1);
    while (static_cast<int>(fp.size()) > minFrac && fp.back() == '0') fp.pop_back();
    if (ip == "0" && minInt == 0) ip.clear();
    while (static_cast<int>(ip.size()) < minInt) ip.insert(ip.begin(), '0');
    if (thousands)
        for (int i = static_cast<int>(ip.size()) - 3; i > 0; i -= 3) ip.insert(ip.begin() + i, ',');
    if (minus && (std::any_of(ip.begin(), ip.end(), [](char c) { return c > '0' && c <= '9'; }) ||
                  std::any_of(fp.begin(), fp.end(), [](char c) { return c > '0' && c <= '9'; })))
        ip.insert(ip.begin(), '-');
    rtl::String r(prefix);
    r += rtl::Utf8ToString(ip);
    if (!fp.empty()) r += u"." + rtl::Utf8ToString(fp);
    r += suffix;
    return r;
}

TFormatFloatProc FormatFloatProc = FormatFloat;

// --- the extended format ---

namespace {
constexpr int ExtendedBias = 16383;
constexpr std::uint16_t ExtendedMaxExponent = 0x7FFF;
}  // namespace

TExtendedBytes ExtendedToBytes(long double Value) {
    std::uint16_t signExponent = std::signbit(Value) ? 0x8000 : 0;
    std::uint64_t significand = 0;
    const long double magnitude = std::fabs(Value);
    if (std::isnan(Value)) {
        signExponent |= ExtendedMaxExponent;
        significand = 0xC000000000000000ull;  // the quiet NaN
    } else if (std::isinf(Value)) {
        signExponent |= ExtendedMaxExponent;
        significand = 0x8000000000000000ull;
    } else if (magnitude != 0) {
        int exponent = 0;
        // magnitude = fraction * 2^exponent, fraction in [0.5, 1): the
        // significand is fraction * 2^64 and the stored exponent exponent - 1.
        const long double fraction = std::frexp(magnitude, &exponent);
        const int biased = exponent - 1 + ExtendedBias;
        if (biased >= ExtendedMaxExponent) {
            signExponent |= ExtendedMaxExponent;
            significand = 0x8000000000000000ull;
        } else if (biased <= 0) {
            // Denormal: the exponent field is 0 and stands for 1 - bias.
            significand = static_cast<std::uint64_t>(std::ldexp(magnitude, ExtendedBias - 1 + 63));
        } else {
            signExponent |= static_cast<std::uint16_t>(biased);
            significand = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        }
    }
    TExtendedBytes bytes{};
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    bytes[8] = static_cast<std::uint8_t>(signExponent);
    bytes[9] = static_cast<std::uint8_t>(signExponent >> 8);
    return bytes;
}

long double BytesToExtended(const TExtendedBytes& Bytes) {
    std::uint64_t significand = 0;
    for (int i = 0; i < 8; ++i) significand |= static_cast<std::uint64_t>(Bytes[i]) << (8 * i);
    const auto signExponent = static_cast<std::uint16_t>(Bytes[8] | (Bytes[9] << 8));
    const bool negative = (signExponent & 0x8000) != 0;
    const int exponent = signExponent & ExtendedMaxExponent;
    long double magnitude;
    if (exponent == ExtendedMaxExponent)
        magnitude = (significand << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                            : std::numeric_limits<long double>::quiet_NaN();
    else
        magnitude =
            std::ldexp(static_cast<long double>(significand), (exponent == 0 ? 1 : exponent) - ExtendedBias - 63);
    return negative ? -magnitude : magnitude;
}

// --- fields ---

TNumericField::TNumericField(rtl::TComponent* AOwner) : TField(AOwner) { SetAlignment(taRightJustify); }

const rtl::String& TNumericField::TextFormat(bool DisplayText) const {
    return DisplayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
}

rtl::String TNumericField::IntegerText(std::int64_t Value, bool DisplayText) const {
    const rtl::String& fmt = TextFormat(DisplayText);
    if (fmt.empty() || !FormatFloatProc) return rtl::IntToStr(Value);
    return FormatFloatProc(fmt, static_cast<double>(Value));
}

std::int64_t TNumericField::RoundedValue(double Value) const {
    const double r = std::round(Value);
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
        DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    return static_cast<std::int64_t>(r);
}

TBcd TNumericField::GetAsBCD() const { return IsNull() ? TBcd{} : StrToBcd(GetAsString()); }

void TNumericField::SetIntegerText(const rtl::String& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    auto v = rtl::TryStrToInt64(Value);
    if (!v) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    SetAsLargeIntValue(*v);
}

TIntegerField::TIntegerField(rtl::TComponent* AOwner)
    : TNumericField(AOwner), FMinRange(INT32_MIN), FMaxRange(INT32_MAX) {
    SetDataTypeRaw(ftInteger);
}

int TIntegerField::GetDataSize() const {
    switch (DataType()) {
        case ftSmallint:
        case ftWord: return 2;
        case ftShortint:
        case ftByte: return 1;
        default: return 4;
    }
}

bool TIntegerField::GetValue(std::int32_t& Value) const {
    auto read = [&](auto Stored) {
        if (!ReadValue(Stored)) return false;
        Value = Stored;
        return true;
    };
    switch (DataType()) {
        case ftSmallint: return read(std::int16_t{});
        case ftWord: return read(std::uint16_t{});
        case ftShortint: return read(std::int8_t{});
        case ftByte: return read(std::uint8_t{});
        default: return ReadValue(Value);
    }
}

std::int32_t TIntegerField::GetAsInteger() const {
    std::int32_t v = 0;
    return GetValue(v) ? v : 0;
}
std::int64_t TIntegerField::GetAsLargeInt() const { return GetAsInteger(); }
double TIntegerField::GetAsFloat() const { return GetAsInteger(); }

rtl::String TIntegerField::GetAsString() const {
    std::int32_t v;
    return GetValue(v) ? rtl::IntToStr(v) : rtl::String();
}

rtl::Variant TIntegerField::GetAsVariant() const {
    std::int32_t v;
    return GetValue(v) ? rtl::Variant(v) : rtl::Variant::Null();
}

void TIntegerField::GetText(rtl::String& Text, bool DisplayText) const {
    std::int32_t v;
    Text = GetValue(v) ? IntegerText(v, DisplayText) : rtl::String();
}

void TIntegerField::SetAsLargeIntValue(std::int64_t Value) {
    if (Value < FMinRange || Value > FMaxRange) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    auto write = [this](auto Stored) { SetData(&Stored); };
    switch (DataType()) {
        case ftSmallint: write(static_cast<std::int16_t>(Value)); break;
        case ftWord: write(static_cast<std::uint16_t>(Value)); break;
        case ftShortint: write(static_cast<std::int8_t>(Value)); break;
        case ftByte: write(static_cast<std::uint8_t>(Value)); break;
        default: write(static_cast<std::int32_t>(Value)); break;
    }
}

void TIntegerField::SetAsIntegerValue(std::int32_t Value) { SetAsLargeIntValue(Value); }

void TIntegerField::SetAsStringValue(const rtl::String& Value) { SetIntegerText(Value); }

void TIntegerField::SetAsFloatValue(double Value) { SetAsLargeIntValue(RoundedValue(Value)); }

TSmallintField::TSmallintField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftSmallint);
    SetRange(-32768, 32767);
}
TShortintField::TShortintField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftShortint);
    SetRange(-128, 127);
}
TByteField::TByteField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftByte);
    SetRange(0, 255);
}
TWordField::TWordField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftWord);
    SetRange(0, 65535);
}
TAutoIncField::TAutoIncField(rtl::TComponent* AOwner) : TIntegerField(AOwner) { SetDataTypeRaw(ftAutoInc); }

TLargeintField::TLargeintField(rtl::TComponent* AOwner) : TNumericField(AOwner) { SetDataTypeRaw(ftLargeint); }

bool TLargeintField::GetValue(std::int64_t& Value) const { return ReadValue(Value); }

std::int64_t TLargeintField::GetAsLargeInt() const {
    std::int64_t v = 0;
    return GetValue(v) ? v : 0;
}

std::int32_t TLargeintField::GetAsInteger() const {
    std::int64_t v = GetAsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    return static_cast<std::int32_t>(v);
}

double TLargeintField::GetAsFloat() const { return static_cast<double>(GetAsLargeInt()); }

rtl::String TLargeintField::GetAsString() const {
    std::int64_t v;
    return GetValue(v) ? rtl::IntToStr(v) : rtl::String();
}

rtl::Variant TLargeintField::GetAsVariant() const {
    std::int64_t v;
    return GetValue(v) ? rtl::Variant(v) : rtl::Variant::Null();
}

void TLargeintField::GetText(rtl::String& Text, bool DisplayText) const {
    std::int64_t v;
    Text = GetValue(v) ? IntegerText(v, DisplayText) : rtl::String();
}

void TLargeintField::SetAsLargeIntValue(std::int64_t Value) { SetData(&Value); }

void TLargeintField::SetAsStringValue(const rtl::String& Value) { SetIntegerText(Value); }

TLongWordField::TLongWordField(rtl::TComponent* AOwner) : TNumericField(AOwner) { SetDataTypeRaw(ftLongWord); }

bool TLongWordField::GetValue(std::uint32_t& Value) const { return ReadValue(Value); }
std::uint32_t TLongWordField::GetAsLongWord() const {
    std::uint32_t v = 0;
    return GetValue(v) ? v : 0;
}
std::int64_t TLongWordField::GetAsLargeInt() const { return GetAsLongWord(); }
std::int32_t TLongWordField::GetAsInteger() const {
    std::uint32_t v = GetAsLongWord();
    if (v > static_cast<std::uint32_t>(INT32_MAX)) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    return static_cast<std::int32_t>(v);
}
double TLongWordField::GetAsFloat() const { return GetAsLongWord(); }
rtl::String TLongWordField::GetAsString() const {
    std::uint32_t v;
    return GetValue(v) ? rtl::IntToStr(v) : rtl::String();
}
rtl::Variant TLongWordField::GetAsVariant() const {
    std::uint32_t v;
    return GetValue(v) ? rtl::Variant(static_cast<std::int64_t>(v)) : rtl::Variant::Null();
}
void TLongWordField::GetText(rtl::String& Text, bool DisplayText) const {
    std::uint32_t v;
    Text = GetValue(v) ? IntegerText(v, DisplayText) : rtl::String();
}
void TLongWordField::SetAsLargeIntValue(std::int64_t Value) {
    if (Value < 0 || Value > UINT32_MAX) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    auto v = static_cast<std::uint32_t>(Value);
    SetData(&v);
}
void TLongWordField::SetAsStringValue(const rtl::String& Value) { SetIntegerText(Value); }

TFloatField::TFloatField(rtl::TComponent* AOwner) : TNumericField(AOwner) { SetDataTypeRaw(ftFloat); }

bool TFloatField::ReadDouble(double& Value) const { return ReadValue(Value); }
void TFloatField::WriteDouble(double Value) { SetData(&Value); }
bool TFloatField::GetValue(double& Value) const { return ReadDouble(Value); }
double TFloatField::GetAsFloat() const {
    double v = 0;
    return ReadDouble(v) ? v : 0;
}
// Rounded half away from zero; a value beyond the integer's range is no
// integer value of the field.
std::int32_t TFloatField::GetAsInteger() const {
    const std::int64_t v = GetAsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    return static_cast<std::int32_t>(v);
}
std::int64_t TFloatField::GetAsLargeInt() const { return RoundedValue(GetAsFloat()); }
rtl::String TFloatField::GetAsString() const {
    double v;
    return ReadDouble(v) ? rtl::FloatToStr(v) : rtl::String();
}
rtl::Variant TFloatField::GetAsVariant() const {
    double v;
    return ReadDouble(v) ? rtl::Variant(v) : rtl::Variant::Null();
}
void TFloatField::GetText(rtl::String& Text, bool DisplayText) const {
    double v;
    if (!ReadDouble(v)) {
        Text.clear();
        return;
    }
    const rtl::String& fmt = TextFormat(DisplayText);
    Text = fmt.empty() || !FormatFloatProc ? rtl::FloatToStr(v) : FormatFloatProc(fmt, v);
}
void TFloatField::SetAsFloatValue(double Value) { WriteDouble(Value); }

TCurrencyField::TCurrencyField(rtl::TComponent* AOwner) : TFloatField(AOwner) { SetDataTypeRaw(ftCurrency); }
TExtendedField::TExtendedField(rtl::TComponent* AOwner) : TFloatField(AOwner) { SetDataTypeRaw(ftExtended); }
bool TExtendedField::GetValue(long double& Value) const {
    TExtendedBytes bytes;
    if (!ReadValue(bytes)) return false;
    Value = BytesToExtended(bytes);
    return true;
}
long double TExtendedField::GetAsExtended() const {
    long double v = 0;
    return GetValue(v) ? v : 0;
}
void TExtendedField::SetAsExtendedValue(long double Value) {
    const TExtendedBytes bytes = ExtendedToBytes(Value);
    SetData(bytes.data());
}
bool TExtendedField::ReadDouble(double& Value) const {
    long double v;
    if (!GetValue(v)) return false;
    Value = static_cast<double>(v);
    return true;
}
void TExtendedField::WriteDouble(double Value) { SetAsExtendedValue(Value); }
TSingleField::TSingleField(rtl::TComponent* AOwner) : TFloatField(AOwner) { SetDataTypeRaw(ftSingle); }
bool TSingleField::ReadDouble(double& Value) const {
    float f;
    if (!ReadValue(f)) return false;
    Value = f;
    return true;
}
void TSingleField::WriteDouble(double Value) {
    auto f = static_cast<float>(Value);
    SetData(&f);
}
TBCDField::TBCDField(rtl::TComponent* AOwner) : TFloatField(AOwner) {
    SetDataTypeRaw(ftBCD);
    SetDataSize(4);
}
bool TBCDField::ReadDouble(double& Value) const {
    std::int64_t scaled;
    if (!ReadValue(scaled)) return false;
    Value = static_cast<double>(scaled) / 10000.0;
    return true;
}
void TBCDField::WriteDouble(double Value) {
    // Beyond the range of the count: "Invalid value for field '%s'".
    std::int64_t scaled = RoundedValue(Value * 10000.0);
    SetData(&scaled);
}
TCurrency TBCDField::GetAsCurrency() const {
    TCurrency v;
    return ReadValue(v.Scaled) ? v : TCurrency{};
}
TBcd TBCDField::GetAsBCD() const { return IsNull() ? TBcd{} : CurrencyToBcd(GetAsCurrency()); }
void TBCDField::SetAsCurrencyValue(TCurrency Value) { SetData(&Value.Scaled); }
TFMTBCDField::TFMTBCDField(rtl::TComponent* AOwner) : TFloatField(AOwner) {
    SetDataTypeRaw(ftFMTBcd);
    SetDataSize(8);
}

}  // namespace data
