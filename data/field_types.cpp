#include "data/field_types.h"

#include "data/blob_fields.h"
#include "data/boolean_fields.h"
#include "data/bytes_fields.h"
#include "data/date_time_fields.h"
#include "data/interface_fields.h"
#include "data/number_fields.h"
#include "data/string_fields.h"
#include "data/structured_fields.h"
#include "data/variant_fields.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace data {

const char16_t* const FieldTypeNames[FieldTypeCount] = {
    // clang-format off
    u"Unknown", u"String", u"SmallInt", u"Integer", u"Word", u"Boolean", u"Float", u"Currency", u"BCD",
    u"Date", u"Time", u"DateTime", u"Bytes", u"VarBytes", u"AutoInc", u"Blob", u"Memo", u"Graphic",
    u"FmtMemo", u"ParadoxOle", u"dBaseOle", u"TypedBinary", u"Cursor", u"FixedChar", u"WideString",
    u"LargeInt", u"ADT", u"Array", u"Reference", u"DataSet", u"OraBlob", u"OraClob", u"Variant",
    u"Interface", u"IDispatch", u"Guid", u"TimeStamp", u"FMTBcd", u"FixedWideChar", u"WideMemo",
    u"OraTimeStamp", u"OraInterval", u"LongWord", u"ShortInt", u"Byte", u"Extended", u"Connection",
    u"Params", u"Stream", u"TimeStampOffset", u"Object", u"Single"};
// clang-format on

const TFieldClass DefaultFieldClasses[FieldTypeCount] = {
    nullptr,                               // ftUnknown
    &TStringField::ClassInfo,              // ftString
    &TSmallintField::ClassInfo,            // ftSmallint
    &TIntegerField::ClassInfo,             // ftInteger
    &TWordField::ClassInfo,                // ftWord
    &TBooleanField::ClassInfo,             // ftBoolean
    &TFloatField::ClassInfo,               // ftFloat
    &TCurrencyField::ClassInfo,            // ftCurrency
    &TBCDField::ClassInfo,                 // ftBCD
    &TDateField::ClassInfo,                // ftDate
    &TTimeField::ClassInfo,                // ftTime
    &TDateTimeField::ClassInfo,            // ftDateTime
    &TBytesField::ClassInfo,               // ftBytes
    &TVarBytesField::ClassInfo,            // ftVarBytes
    &TAutoIncField::ClassInfo,             // ftAutoInc
    &TBlobField::ClassInfo,                // ftBlob
    &TMemoField::ClassInfo,                // ftMemo
    &TGraphicField::ClassInfo,             // ftGraphic
    &TBlobField::ClassInfo,                // ftFmtMemo
    &TBlobField::ClassInfo,                // ftParadoxOle
    &TBlobField::ClassInfo,                // ftDBaseOle
    &TBlobField::ClassInfo,                // ftTypedBinary
    nullptr,                               // ftCursor
    &TStringField::ClassInfo,              // ftFixedChar
    &TWideStringField::ClassInfo,          // ftWideString
    &TLargeintField::ClassInfo,            // ftLargeint
    &TADTField::ClassInfo,                 // ftADT
    &TArrayField::ClassInfo,               // ftArray
    &TReferenceField::ClassInfo,           // ftReference
    &TDataSetField::ClassInfo,             // ftDataSet
    &TBlobField::ClassInfo,                // ftOraBlob
    &TMemoField::ClassInfo,                // ftOraClob
    &TVariantField::ClassInfo,             // ftVariant
    &TInterfaceField::ClassInfo,           // ftInterface
    &TIDispatchField::ClassInfo,           // ftIDispatch
    &TGuidField::ClassInfo,                // ftGuid
    &TSQLTimeStampField::ClassInfo,        // ftTimeStamp
    &TFMTBCDField::ClassInfo,              // ftFMTBcd
    &TWideStringField::ClassInfo,          // ftFixedWideChar
    &TWideMemoField::ClassInfo,            // ftWideMemo
    &TSQLTimeStampField::ClassInfo,        // ftOraTimeStamp
    &TStringField::ClassInfo,              // ftOraInterval
    &TLongWordField::ClassInfo,            // ftLongWord
    &TShortintField::ClassInfo,            // ftShortint
    &TByteField::ClassInfo,                // ftByte
    &TExtendedField::ClassInfo,            // ftExtended
    nullptr,                               // ftConnection
    nullptr,                               // ftParams
    nullptr,                               // ftStream
    &TSQLTimeStampOffsetField::ClassInfo,  // ftTimeStampOffset
    nullptr,                               // ftObject
    &TSingleField::ClassInfo,              // ftSingle
};

// --- value type conversions ---

namespace {

[[noreturn]] void ConvertError(const char16_t* Format, rtl::StringView Text) {
    throw rtl::EConvertError(rtl::Format(Format, {Text}));
}

// The digits of a decimal value and the number of them after the point.
struct Decimal {
    bool Negative = false;
    std::string Digits;  // '0' to '9', most significant first
    int Places = 0;
};

Decimal DecimalOfBcd(const TBcd& Value) {
    const int places = Value.SignSpecialPlaces & 0x3F;
    if (Value.Precision > 64 || places > Value.Precision) throw rtl::EConvertError(u"Invalid BCD value");
    Decimal d;
    d.Negative = (Value.SignSpecialPlaces & 0x80) != 0;
    d.Places = places;
    for (int i = 0; i < Value.Precision; ++i) {
        const std::uint8_t byte = Value.Fraction[static_cast<std::size_t>(i / 2)];
        const int digit = i % 2 ? byte & 0x0F : byte >> 4;
        if (digit > 9) throw rtl::EConvertError(u"Invalid BCD value");
        d.Digits += static_cast<char>('0' + digit);
    }
    return d;
}

// Leading integer zeros dropped (one digit stays); false when the value needs more than 64
// digits or 63 places.
bool BcdOfDecimal(Decimal d, TBcd& Result) {
    std::size_t lead = 0;
    while (lead + static_cast<std::size_t>(d.Places) < d.Digits.size() && lead + 1 < d.Digits.size() &&
           d.Digits[lead] == '0')
        ++lead;
    d.Digits.erase(0, lead);
    if (d.Digits.size() > 64 || d.Places > 63) return false;
    Result = TBcd{};
    Result.Precision = static_cast<std::uint8_t>(d.Digits.size());
    const bool zero = d.Digits.find_first_not_of('0') == std::string::npos;
    Result.SignSpecialPlaces = static_cast<std::uint8_t>((d.Negative && !zero ? 0x80 : 0) | d.Places);
    for (std::size_t i = 0; i < d.Digits.size(); ++i) {
        const auto digit = static_cast<std::uint8_t>(d.Digits[i] - '0');
        Result.Fraction[i / 2] |= i % 2 ? digit : static_cast<std::uint8_t>(digit << 4);
    }
    return true;
}

}  // namespace

TCurrency DoubleToCurrency(double Value) {
    const double scaled = std::round(Value * TCurrency::Scale);
    // 2^63, the first value past the 64-bit range.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        ConvertError(u"'%s' is not a valid currency value", rtl::FloatToStr(Value));
    return TCurrency{static_cast<std::int64_t>(scaled)};
}

double CurrencyToDouble(TCurrency Value) { return static_cast<double>(Value.Scaled) / TCurrency::Scale; }

rtl::String CurrencyToStr(TCurrency Value) {
    const bool negative = Value.Scaled < 0;
    // Unsigned, so that the smallest value has a magnitude too.
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(Value.Scaled) + 1 : static_cast<std::uint64_t>(Value.Scaled);
    std::string text = std::to_string(magnitude / TCurrency::Scale);
    std::string frac = std::to_string(magnitude % TCurrency::Scale + TCurrency::Scale).substr(1);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) text += "." + frac;
    return rtl::Utf8ToString((negative ? "-" : "") + text);
}

TBcd StrToBcd(rtl::StringView Text) {
    const rtl::String trimmed = rtl::Trim(Text);
    const rtl::StringView t = trimmed;
    Decimal d;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) d.Negative = t[i++] == u'-';
    int point = -1;
    for (; i < t.size(); ++i) {
        if (t[i] >= u'0' && t[i] <= u'9') d.Digits += static_cast<char>(t[i]);
        else if (t[i] == u'.' && point < 0) point = static_cast<int>(d.Digits.size());
        else break;
    }
    // The integer digits; an exponent moves the point.
    int intDigits = point < 0 ? static_cast<int>(d.Digits.size()) : point;
    if (i < t.size() && (t[i] == u'E' || t[i] == u'e')) {
        auto exponent = rtl::TryStrToInt(t.substr(i + 1));
        if (!exponent || *exponent > 64 || *exponent < -64) ConvertError(u"'%s' is not a valid BCD value", trimmed);
        intDigits += *exponent;
        i = t.size();
    }
    if (d.Digits.empty() || i != t.size()) ConvertError(u"'%s' is not a valid BCD value", trimmed);
    if (intDigits > static_cast<int>(d.Digits.size())) d.Digits.append(intDigits - d.Digits.size(), '0');
    if (intDigits < 0) {
        d.Digits.insert(0, static_cast<std::size_t>(-intDigits), '0');
        intDigits = 0;
    }
    d.Places = static_cast<int>(d.Digits.size()) - intDigits;
    TBcd result;
    if (!BcdOfDecimal(d, result)) ConvertError(u"'%s' is not a valid BCD value", trimmed);
    return result;
}

rtl::String BcdToStr(const TBcd& Value) {
    Decimal d = DecimalOfBcd(Value);
    std::string intPart = d.Digits.substr(0, d.Digits.size() - static_cast<std::size_t>(d.Places));
    std::string frac = d.Digits.substr(intPart.size());
    intPart.erase(0, std::min(intPart.find_first_not_of('0'), intPart.size()));
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (intPart.empty()) intPart = "0";
    const bool zero = intPart == "0" && frac.empty();
    return rtl::Utf8ToString((d.Negative && !zero ? "-" : "") + intPart + (frac.empty() ? "" : "." + frac));
}

TBcd DoubleToBcd(double Value) {
    if (!std::isfinite(Value)) ConvertError(u"'%s' is not a valid BCD value", rtl::FloatToStr(Value));
    return StrToBcd(rtl::FloatToStr(Value));
}

double BcdToDouble(const TBcd& Value) { return std::strtod(rtl::StringToUtf8(BcdToStr(Value)).c_str(), nullptr); }

TBcd CurrencyToBcd(TCurrency Value) { return StrToBcd(CurrencyToStr(Value)); }

TCurrency BcdToCurrency(const TBcd& Value) {
    Decimal d = DecimalOfBcd(Value);
    // Four places exactly: pad, or cut and round the fifth digit half away from zero.
    bool roundUp = false;
    if (d.Places < 4) d.Digits.append(static_cast<std::size_t>(4 - d.Places), '0');
    else if (d.Places > 4) {
        roundUp = d.Digits[d.Digits.size() - static_cast<std::size_t>(d.Places - 4)] >= '5';
        d.Digits.resize(d.Digits.size() - static_cast<std::size_t>(d.Places - 4));
    }
    std::uint64_t magnitude = 0;
    for (char c : d.Digits) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) ConvertError(u"'%s' is not a valid currency value", BcdToStr(Value));
        magnitude = magnitude * 10 + digit;
    }
    if (roundUp) ++magnitude;
    const std::uint64_t limit = d.Negative ? 9223372036854775808ULL : 9223372036854775807ULL;
    if (magnitude > limit) ConvertError(u"'%s' is not a valid currency value", BcdToStr(Value));
    return TCurrency{d.Negative ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude)};
}

rtl::String GUIDToString(const TGUID& Value) {
    rtl::String s = u"{" + rtl::IntToHex(Value.D1, 8) + u"-" + rtl::IntToHex(Value.D2, 4) + u"-" +
                    rtl::IntToHex(Value.D3, 4) + u"-";
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 2) s += u"-";
        s += rtl::IntToHex(Value.D4[i], 2);
    }
    return s + u"}";
}

TGUID StringToGUID(rtl::StringView Text) {
    // "{" 8 "-" 4 "-" 4 "-" 4 "-" 12 "}": the hex digits in order.
    std::string hex;
    bool valid = Text.size() == 38 && Text.front() == u'{' && Text.back() == u'}';
    for (std::size_t i = 1; valid && i < 37; ++i) {
        const char16_t c = Text[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) valid = c == u'-';
        else if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'))
            hex += static_cast<char>(c);
        else valid = false;
    }
    if (!valid) ConvertError(u"'%s' is not a valid GUID value", Text);
    auto part = [&](std::size_t From, std::size_t Count) {
        return std::strtoull(hex.substr(From, Count).c_str(), nullptr, 16);
    };
    TGUID g;
    g.D1 = static_cast<std::uint32_t>(part(0, 8));
    g.D2 = static_cast<std::uint16_t>(part(8, 4));
    g.D3 = static_cast<std::uint16_t>(part(12, 4));
    for (std::size_t i = 0; i < 8; ++i) g.D4[i] = static_cast<std::uint8_t>(part(16 + 2 * i, 2));
    return g;
}

bool IsBlobType(TFieldType Type) {
    const TFieldClass fieldClass = Type >= 0 && Type < FieldTypeCount ? DefaultFieldClasses[Type] : nullptr;
    return fieldClass && fieldClass->IsBlob();
}

}  // namespace data
