#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>

#include "data/blob_fields.h"
#include "data/boolean_fields.h"
#include "data/bytes_fields.h"
#include "data/date_time_fields.h"
#include "data/fields.h"
#include "data/interface_fields.h"
#include "data/number_fields.h"
#include "data/string_fields.h"
#include "data/structured_fields.h"
#include "data/variant_fields.h"
#include "memory_dataset.h"
#include "rtl/stream.h"
#include "test_util.h"

using namespace data;
using namespace testing_data;

namespace {

// One record whose values are the bytes each field writes, kept per field
// number (absent: null), so that every fixed-size class reads back what it
// stored; blob values go through streams over the same bytes, and variant
// fields keep a variant.
struct TRawDataSet : TMemoryDataSet {
    explicit TRawDataSet(std::vector<Column> Columns) : TMemoryDataSet(nullptr, Columns) {
        SetName(u"Raw");
        Rows = {std::vector<rtl::Variant>(Columns.size(), rtl::Variant::Null())};
        Open();
    }
    TField* F(const char16_t* Name) { return FieldByName(Name); }

    std::map<int, rtl::TBytes> Slots;
    std::map<int, rtl::Variant> Variants;

    bool GetFieldData(TField* Field, void* Buffer) override {
        if (Field->DataType() == ftVariant) {
            auto it = Variants.find(Field->FieldNo());
            if (it == Variants.end()) return false;
            if (Buffer) *static_cast<rtl::Variant*>(Buffer) = it->second;
            return true;
        }
        auto it = Slots.find(Field->FieldNo());
        if (it == Slots.end()) return false;
        if (Buffer && Field->DataSize() > 0) std::memcpy(Buffer, it->second.data(), it->second.size());
        return true;
    }
    void SetFieldData(TField* Field, const void* Buffer) override {
        if (Field->DataType() == ftVariant) {
            if (Buffer) Variants[Field->FieldNo()] = *static_cast<const rtl::Variant*>(Buffer);
            else Variants.erase(Field->FieldNo());
            return;
        }
        auto* bytes = static_cast<const std::uint8_t*>(Buffer);
        if (Buffer) Slots[Field->FieldNo()] = rtl::TBytes(bytes, bytes + Field->DataSize());
        else Slots.erase(Field->FieldNo());
    }
    // A write stream stores its bytes when it goes; an empty value is null.
    struct TWriteStream : rtl::TMemoryStream {
        TRawDataSet* Owner;
        int FieldNo;
        TWriteStream(TRawDataSet* O, int N) : Owner(O), FieldNo(N) {}
        ~TWriteStream() override {
            SetPosition(0);
            rtl::TBytes b = ReadRemaining();
            if (b.empty()) Owner->Slots.erase(FieldNo);
            else Owner->Slots[FieldNo] = b;
        }
    };
    std::unique_ptr<rtl::TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override {
        if (Mode != bmRead) return std::make_unique<TWriteStream>(this, Field->FieldNo());
        auto stream = std::make_unique<rtl::TMemoryStream>();
        if (auto it = Slots.find(Field->FieldNo()); it != Slots.end())
            stream->WriteBuffer(it->second.data(), static_cast<std::int64_t>(it->second.size()));
        stream->SetPosition(0);
        return stream;
    }
};

std::string Text(const TBcd& Value) { return U8(BcdToStr(Value)); }

TSQLTimeStamp Stamp(int Y, int Mo, int D, int H = 0, int Mi = 0, int S = 0, int Ms = 0) {
    TSQLTimeStamp t;
    t.Year = static_cast<std::int16_t>(Y);
    t.Month = static_cast<std::uint16_t>(Mo);
    t.Day = static_cast<std::uint16_t>(D);
    t.Hour = static_cast<std::uint16_t>(H);
    t.Minute = static_cast<std::uint16_t>(Mi);
    t.Second = static_cast<std::uint16_t>(S);
    t.Fractions = static_cast<std::uint32_t>(Ms);
    return t;
}

template <class E, class F>
std::string ErrorOf(F&& Action) {
    try {
        Action();
    } catch (const E& e) {
        return U8(e.Message());
    } catch (const std::exception&) {
        return "<other exception>";
    }
    return "<no error>";
}

}  // namespace

// --- the value types ---

TEST(DecimalValues, TextToBcdAndBack) {
    const struct {
        const char* In;
        const char* Out;
        int Precision, Places;
        bool Negative;
    } cases[] = {
        // clang-format off
        {"12.50", "12.5", 4, 2, false},  // the scale of the text is kept, trailing zeros drop in text
        {" -0.001 ", "-0.001", 3, 3, true},
        {"007", "7", 1, 0, false},
        {"-0", "0", 1, 0, false},  // no negative zero
        {"1E3", "1000", 4, 0, false},
        {"1.5E-3", "0.0015", 4, 4, false},
        {"+123456789012345678901234567890.5", "123456789012345678901234567890.5", 31, 1, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.In);
        TBcd b = StrToBcd(rtl::Utf8ToString(c.In));
        EXPECT_EQ(Text(b), c.Out);
        EXPECT_EQ(b.Precision, c.Precision);
        EXPECT_EQ(b.SignSpecialPlaces & 0x3F, c.Places);
        EXPECT_EQ((b.SignSpecialPlaces & 0x80) != 0, c.Negative);
    }
    // Two digits a byte, the first in the high nibble.
    TBcd b = StrToBcd(u"123");
    EXPECT_EQ(b.Fraction[0], 0x12);
    EXPECT_EQ(b.Fraction[1], 0x30);
    const std::string tooLong(65, '9');
    for (const char* bad : {"", "1.2.3", "abc", "1E", "12x", tooLong.c_str()})
        EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { StrToBcd(rtl::Utf8ToString(bad)); }),
                  "'" + std::string(bad) + "' is not a valid BCD value");
    TBcd broken;
    broken.Precision = 1;
    broken.Fraction[0] = 0xA0;
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { BcdToStr(broken); }), "Invalid BCD value");
}

TEST(DecimalValues, CurrencyRoundsToFourPlacesWithinItsRange) {
    const struct {
        const char* Bcd;
        std::int64_t Scaled;
        // clang-format off
    } cases[] = {{"1.00005", 10001},  {"-1.00005", -10001}, {"1.00004999", 10000},
                 {"3", 30000},        {"0.5", 5000},        {"-922337203685477.5808", INT64_MIN},
                 {"922337203685477.5807", INT64_MAX}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bcd);
        EXPECT_EQ(BcdToCurrency(StrToBcd(rtl::Utf8ToString(c.Bcd))).Scaled, c.Scaled);
        // Back through text, exactly (the rounded value).
        EXPECT_EQ(BcdToCurrency(CurrencyToBcd(TCurrency{c.Scaled})).Scaled, c.Scaled);
    }
    EXPECT_EQ(U8(CurrencyToStr(TCurrency{INT64_MIN})), "-922337203685477.5808");
    EXPECT_EQ(U8(CurrencyToStr(TCurrency{-5000})), "-0.5");
    EXPECT_EQ(U8(CurrencyToStr(TCurrency{120000})), "12");
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([] { BcdToCurrency(StrToBcd(u"922337203685477.5808")); }),
              "'922337203685477.5808' is not a valid currency value");
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([] { BcdToCurrency(StrToBcd(u"99999999999999999999")); }),
              "'99999999999999999999' is not a valid currency value");
    EXPECT_EQ(DoubleToCurrency(-2.71828).Scaled, -27183);
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([] { DoubleToCurrency(1e300); }), "'1E300' is not a valid currency value");
    EXPECT_EQ(Text(DoubleToBcd(1.25e-7)), "0.000000125");
}

TEST(ExtendedValues, TenByteFormatBothWays) {
    const struct {
        long double Value;
        TExtendedBytes Bytes;  // significand low byte first, then sign and exponent
    } cases[] = {
        // clang-format off
        {0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00}},
        {-0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x80}},
        {1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
        {-2.5L, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
        {0.75L, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFE, 0x3F}},
        // clang-format on
        {1024.0L + 1.0L / 1024, {0, 0, 0, 0, 0, 0x08, 0, 0x80, 0x09, 0x40}},
        {std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
        {-std::numeric_limits<long double>::infinity(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}},
        // The smallest double is a normal number in the wider format.
        {std::numeric_limits<double>::denorm_min(), {0, 0, 0, 0, 0, 0, 0, 0x80, 0xCD, 0x3B}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<double>(c.Value));
        EXPECT_EQ(ExtendedToBytes(c.Value), c.Bytes);
        const long double back = BytesToExtended(c.Bytes);
        EXPECT_EQ(back, c.Value);
        EXPECT_EQ(std::signbit(back), std::signbit(c.Value));
    }
    const TExtendedBytes nan = ExtendedToBytes(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_EQ(nan[9] & 0x7F, 0x7F);
    EXPECT_TRUE(std::isnan(BytesToExtended(nan)));
    for (double d : {3.141592653589793, -1e300, 6.02214076e23, 2.2250738585072014e-308})
        EXPECT_EQ(static_cast<double>(BytesToExtended(ExtendedToBytes(d))), d);
}

TEST(GuidValues, TextFormAndItsErrors) {
    TGUID g{0x9E8D2FA1, 0x591C, 0x11D0, {0xBF, 0x52, 0x00, 0x20, 0xAF, 0x32, 0xBD, 0x64}};
    EXPECT_EQ(U8(GUIDToString(g)), "{9E8D2FA1-591C-11D0-BF52-0020AF32BD64}");
    EXPECT_EQ(StringToGUID(u"{9e8d2fa1-591c-11d0-bf52-0020af32bd64}"), g);
    for (const char* bad : {"9E8D2FA1-591C-11D0-BF52-0020AF32BD64", "{9E8D2FA1-591C-11D0-BF52-0020AF32BD6}",
                            "{9E8D2FA1+591C-11D0-BF52-0020AF32BD64}", "{9E8D2FA1-591C-11D0-BF52-0020AF32BDG4}"})
        EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { StringToGUID(rtl::Utf8ToString(bad)); }),
                  "'" + std::string(bad) + "' is not a valid GUID value");
}

TEST(DateTimeValues, TimestampsAndDateTimesConvertBothWays) {
    const struct {
        TDateTime Value;
        TSQLTimeStamp Stamp;
    } cases[] = {
        {0, Stamp(1899, 12, 30)},
        {45000.5, Stamp(2023, 3, 15, 12)},
        {-1.25, Stamp(1899, 12, 28, 18)},  // the day before, then the time forward
        {45351 + (13 * 3600 + 14 * 60 + 15.678) / 86400, Stamp(2024, 2, 29, 13, 14, 15, 678)},
        {2, Stamp(1900, 1, 1)},
        {-693593, Stamp(1, 1, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        EXPECT_EQ(DateTimeToSQLTimeStamp(c.Value), c.Stamp);
        EXPECT_NEAR(SQLTimeStampToDateTime(c.Stamp), c.Value, 1e-9);
    }
    for (const TSQLTimeStamp& bad : {Stamp(2023, 13, 1), Stamp(2023, 2, 29), Stamp(2023, 1, 1, 24),
                                     Stamp(2023, 1, 1, 0, 60), Stamp(2023, 1, 1, 0, 0, 0, 1000), Stamp(0, 0, 0)})
        EXPECT_NE(
            ErrorOf<rtl::EConvertError>([&] { SQLTimeStampToDateTime(bad); }).find("is not a valid date and time"),
            std::string::npos);
    EXPECT_EQ(SQLTimeStampToDateTime(Stamp(2000, 2, 29)), 36585);  // a leap day of a century divisible by 400
}

// --- through the fields ---

class Accessors : public ::testing::Test {
protected:
    // clang-format off
    TRawDataSet ds{{{u"I", ftInteger},     {u"L", ftLargeint},      {u"W", ftLongWord},    {u"F", ftFloat},
                    {u"C", ftCurrency},    {u"BCD", ftBCD},          {u"FMT", ftFMTBcd},    {u"Sg", ftSingle},
                    {u"X", ftExtended},    {u"S", ftString, 40},     {u"WS", ftWideString, 40},
                    {u"G", ftGuid, 38},    {u"DT", ftDateTime},      {u"D", ftDate},        {u"TS", ftTimeStamp},
                    {u"TSO", ftTimeStampOffset}, {u"Bool", ftBoolean}, {u"By", ftBytes, 4}, {u"VB", ftVarBytes, 3},
                    {u"Blob", ftBlob},     {u"Memo", ftWideMemo},    {u"V", ftVariant},     {u"Sm", ftSmallint}}};
};
// clang-format on

// Classes without a form fail with the message of this layer, naming the
// field and the type asked for; so do the setters.
TEST_F(Accessors, FormsAClassDoesNotOfferFailWithTheTypeName) {
    const struct {
        const char16_t* Field;
        const char* Type;
        std::function<void(TField&)> Access;
    } cases[] = {
        {u"I", "DateTime", [](TField& f) { f.AsDateTime(); }},
        {u"I", "Guid", [](TField& f) { f.AsGuid(); }},
        {u"I", "SQLTimeStamp", [](TField& f) { f.AsSQLTimeStamp(); }},
        {u"F", "ByteArray", [](TField& f) { f.AsByteArray(); }},
        {u"S", "Guid", [](TField& f) { f.SetAsGuid(TGUID{}); }},
        {u"DT", "Currency", [](TField& f) { f.AsCurrency(); }},
        {u"TS", "BCD", [](TField& f) { f.SetAsBCD(TBcd{}); }},
        {u"TSO", "Single", [](TField& f) { f.AsSingle(); }},
        {u"Bool", "Extended", [](TField& f) { f.SetAsExtended(1); }},
        {u"Bool", "SQLTimeStampOffset", [](TField& f) { f.SetAsSQLTimeStampOffset({}); }},
        {u"Memo", "Currency", [](TField& f) { f.AsCurrency(); }},
        {u"Memo", "DateTime", [](TField& f) { f.SetAsDateTime(1); }},
        {u"By", "LongWord", [](TField& f) { f.SetAsLongWord(1); }},
        {u"WS", "Bytes", [](TField& f) { f.SetAsBytes({1}); }},
        {u"V", "Guid", [](TField& f) { f.AsGuid(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.Field) + " " + c.Type);
        EXPECT_EQ(DbErrorOf([&] { c.Access(*ds.F(c.Field)); }),
                  "Cannot access field '" + U8(c.Field) + "' as type " + c.Type);
    }
}

// --- every field class against every typed form ---

namespace {

// clang-format off
// The nine typed forms, in the order of the table's cells.
enum TForm { fmDateTime, fmCurrency, fmBCD, fmExtended, fmGuid, fmTimeStamp, fmTimeStampOffset, fmSingle, fmByteArray };
const char* const kFormNames[] = {"DateTime", "Currency",           "BCD",    "Extended", "Guid",
                                  "SQLTimeStamp", "SQLTimeStampOffset", "Single", "ByteArray"};
// clang-format on

std::string StampText(const TSQLTimeStamp& T) {
    return U8(rtl::Format(u"%.4d-%.2d-%.2d %.2d:%.2d:%.2d.%.3d",
                          {T.Year, T.Month, T.Day, T.Hour, T.Minute, T.Second, static_cast<int>(T.Fractions)}));
}
std::string Hex(const rtl::TBytes& Bytes) {
    std::string text;
    for (std::uint8_t b : Bytes) text += (text.empty() ? "" : " ") + U8(rtl::IntToHex(b, 2));
    return text;
}

// What a getter gives, as text.
std::string Read(TField& F, TForm Form) {
    switch (Form) {
        case fmDateTime: return U8(rtl::FloatToStr(F.AsDateTime()));
        case fmCurrency: return U8(CurrencyToStr(F.AsCurrency()));
        case fmBCD: return U8(BcdToStr(F.AsBCD()));
        case fmExtended: return U8(rtl::FloatToStr(static_cast<double>(F.AsExtended())));
        case fmGuid: return U8(GUIDToString(F.AsGuid()));
        case fmTimeStamp: return StampText(F.AsSQLTimeStamp());
        case fmTimeStampOffset: {
            const TSQLTimeStampOffset t = F.AsSQLTimeStampOffset();
            return StampText(t.TimeStamp) + (t.TimeZoneHour < 0 ? " -" : " +") +
                   U8(rtl::Format(u"%.2d:%.2d", {std::abs(t.TimeZoneHour), std::abs(t.TimeZoneMinute)}));
        }
        case fmSingle: return U8(rtl::FloatToStr(F.AsSingle()));
        case fmByteArray: {
            const rtl::Variant v = F.AsByteArray();
            return v.IsNull() ? "null" : Hex(v.AsBytes());
        }
    }
    return {};
}

// Each setter with one value: 45000.5 (2023-03-15 12:00), 2.5, the GUID
// below, 2023-03-15 12:00 (+01:00 for the offset form) and the bytes "ab".
const TGUID kGuid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
void Write(TField& F, TForm Form) {
    const TSQLTimeStamp noon = Stamp(2023, 3, 15, 12);
    switch (Form) {
        case fmDateTime: F.SetAsDateTime(45000.5); break;
        case fmCurrency: F.SetAsCurrency(TCurrency{25000}); break;
        case fmBCD: F.SetAsBCD(StrToBcd(u"2.5")); break;
        case fmExtended: F.SetAsExtended(2.5L); break;
        case fmGuid: F.SetAsGuid(kGuid); break;
        case fmTimeStamp: F.SetAsSQLTimeStamp(noon); break;
        case fmTimeStampOffset: F.SetAsSQLTimeStampOffset({noon, 1, 0}); break;
        case fmSingle: F.SetAsSingle(2.5f); break;
        case fmByteArray: F.SetAsByteArray(rtl::Variant(rtl::TBytes{'a', 'b'})); break;
    }
}

// The value a seed stores before the getters are tried.
enum TSeed { sdNone, sdText, sdGuidText, sdInteger, sdFloat, sdBoolean, sdStamp, sdZonedStamp, sdBytes };
void Seed(TField& F, TSeed Seed) {
    switch (Seed) {
        case sdNone: break;
        case sdText: F.SetAsString(u"2.5"); break;
        case sdGuidText: F.SetAsString(u"{01234567-89AB-CDEF-0102-030405060708}"); break;
        case sdInteger: F.SetAsInteger(7); break;
        case sdFloat: F.SetAsFloat(2.5); break;
        case sdBoolean: F.SetAsBoolean(true); break;
        case sdStamp: F.SetAsSQLTimeStamp(Stamp(2023, 3, 15, 12)); break;
        case sdZonedStamp: F.SetAsSQLTimeStampOffset({Stamp(2023, 3, 15, 12), 5, 30}); break;
        case sdBytes: F.SetAsBytes({'a', 'b'}); break;
    }
}

// How a row shows what a setter stored.
enum TShow { shText, shBytes, shVariant };
std::string Show(TField& F, TShow How) {
    if (How == shBytes) return Hex(F.AsBytes());
    if (How == shVariant && F.AsVariant().VarType() == rtl::TVarType::varBytes) return Hex(F.AsVariant().AsBytes());
    return U8(F.AsString());
}

// "X": "Cannot access field '<name>' as type <form>"; any other error is
// given as DbErrorOf reports it.
const char* const X = "X";
std::string Expected(const char* Cell, const rtl::String& FieldName, TForm Form) {
    if (std::string(Cell) != X) return Cell;
    return "Cannot access field '" + U8(FieldName) + "' as type " + kFormNames[Form];
}
bool IsError(const char* Cell) { return std::string(Cell) == X || Cell[0] == '<'; }

const char* const kNotBCD = "<other exception> '{01234567-89AB-CDEF-0102-030405060708}' is not a valid BCD value";
const char* const kNotFloat =
    "<other exception> '{01234567-89AB-CDEF-0102-030405060708}' is not a valid floating point value";

struct TFormRow {
    const char16_t* Name;
    TFieldType Type;  // ftUnknown: a structured class, made without a dataset
    TFieldClass Class;
    int Size;
    TSeed SeedWith;
    //            DateTime Currency BCD Extended Guid TimeStamp TimeStampOffset Single ByteArray
    std::array<const char*, 9> Get;  // after the seed
    std::array<const char*, 9> Set;  // what the setter stored, as Show gives it
    TShow ShowWith = shText;
};

const char* const kNoon = "2023-03-15 12:00:00.000";
const char* const kNoonZ = "2023-03-15 12:00:00.000 +00:00";
const std::array<const char*, 9> kNone{X, X, X, X, X, X, X, X, X};
const std::array<const char*, 9> kTextGet{X, "2.5", "2.5", "2.5", X, X, X, "2.5", X};
const std::array<const char*, 9> kTextSet{X, "2.5", "2.5", "2.5", X, X, X, "2.5", X};
const std::array<const char*, 9> kIntGet{X, "7", "7", "7", X, X, X, "7", X};
const std::array<const char*, 9> kIntSet{X, "3", "3", "3", X, X, X, "3", X};  // 2.5 rounded away from zero
const std::array<const char*, 9> kFloatGet{X, "2.5", "2.5", "2.5", X, X, X, "2.5", X};
const std::array<const char*, 9> kDateGet{"45000.5", X, X, X, X, kNoon, kNoonZ, X, X};
const std::array<const char*, 9> kBytesGet{X, X, X, X, X, X, X, X, "61 62"};
const std::array<const char*, 9> kBytesSet{X, X, X, X, X, X, X, X, "61 62"};

const TFormRow kFormRows[] = {
    // clang-format off
    {u"S", ftString, &TStringField::ClassInfo, 40, sdText, kTextGet, kTextSet},
    {u"WS", ftWideString, &TWideStringField::ClassInfo, 40, sdText, kTextGet, kTextSet},
    {u"G", ftGuid, &TGuidField::ClassInfo, 38, sdGuidText,
     {X, kNotBCD, kNotBCD, kNotFloat, "{01234567-89AB-CDEF-0102-030405060708}", X, X, kNotFloat, X},
     {X, "2.5", "2.5", "2.5", "{00000001-0002-0003-0405-060708090A0B}", X, X, "2.5", X}},
    {u"I", ftInteger, &TIntegerField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"Sm", ftSmallint, &TSmallintField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"Sh", ftShortint, &TShortintField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"B8", ftByte, &TByteField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"Wd", ftWord, &TWordField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"AI", ftAutoInc, &TAutoIncField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"L", ftLargeint, &TLargeintField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"LW", ftLongWord, &TLongWordField::ClassInfo, 0, sdInteger, kIntGet, kIntSet},
    {u"F", ftFloat, &TFloatField::ClassInfo, 0, sdFloat, kFloatGet, kTextSet},
    {u"C", ftCurrency, &TCurrencyField::ClassInfo, 0, sdFloat, kFloatGet, kTextSet},
    {u"X", ftExtended, &TExtendedField::ClassInfo, 0, sdFloat, kFloatGet, kTextSet},
    {u"Sg", ftSingle, &TSingleField::ClassInfo, 0, sdFloat, kFloatGet, kTextSet},
    {u"BCD", ftBCD, &TBCDField::ClassInfo, 0, sdFloat, kFloatGet, kTextSet},
    {u"FMT", ftFMTBcd, &TFMTBCDField::ClassInfo, 0, sdFloat, kFloatGet, kTextSet},
    {u"Bool", ftBoolean, &TBooleanField::ClassInfo, 0, sdBoolean, kNone, kNone},
    {u"D", ftDate, &TDateField::ClassInfo, 0, sdStamp, kDateGet,
     {"2023-03-15", X, X, X, X, "2023-03-15", "2023-03-15", X, X}},
    {u"T", ftTime, &TTimeField::ClassInfo, 0, sdStamp, kDateGet,
     {"12:00:00", X, X, X, X, "12:00:00", "12:00:00", X, X}},
    {u"DT", ftDateTime, &TDateTimeField::ClassInfo, 0, sdStamp, kDateGet,
     {"2023-03-15 12:00:00", X, X, X, X, "2023-03-15 12:00:00", "2023-03-15 12:00:00", X, X}},
    {u"TS", ftTimeStamp, &TSQLTimeStampField::ClassInfo, 0, sdStamp, kDateGet,
     {"2023-03-15 12:00:00", X, X, X, X, "2023-03-15 12:00:00", "2023-03-15 12:00:00", X, X}},
    // The offset stays with the offset form only.
    {u"TSO", ftTimeStampOffset, &TSQLTimeStampOffsetField::ClassInfo, 0, sdZonedStamp,
     {"45000.5", X, X, X, X, kNoon, "2023-03-15 12:00:00.000 +05:30", X, X},
     {"2023-03-15 12:00:00 +00:00", X, X, X, X, "2023-03-15 12:00:00 +00:00", "2023-03-15 12:00:00 +01:00", X, X}},
    // Fixed-size bytes are padded to the field's size.
    {u"By", ftBytes, &TBytesField::ClassInfo, 4, sdBytes, {X, X, X, X, X, X, X, X, "61 62 00 00"},
     {X, X, X, X, X, X, X, X, "61 62 00 00"}, shBytes},
    {u"VB", ftVarBytes, &TVarBytesField::ClassInfo, 4, sdBytes, kBytesGet, kBytesSet, shBytes},
    {u"Blob", ftBlob, &TBlobField::ClassInfo, 0, sdBytes, kBytesGet, kBytesSet, shBytes},
    {u"Memo", ftMemo, &TMemoField::ClassInfo, 0, sdBytes, kBytesGet, kBytesSet, shBytes},
    {u"WM", ftWideMemo, &TWideMemoField::ClassInfo, 0, sdBytes, kBytesGet, kBytesSet, shBytes},
    {u"Gr", ftGraphic, &TGraphicField::ClassInfo, 0, sdBytes, kBytesGet, kBytesSet, shBytes},
    // A variant takes numbers and date-times through its double, and gives a
    // byte array only while it holds bytes.
    {u"V", ftVariant, &TVariantField::ClassInfo, 0, sdFloat, {"2.5", "2.5", "2.5", "2.5", X, X, X, "2.5", X},
     {"45000.5", "2.5", "2.5", "2.5", X, X, X, "2.5", "61 62"}, shVariant},
    {u"Intf", ftInterface, &TInterfaceField::ClassInfo, 0, sdNone, kNone, kNone},
    {u"Disp", ftIDispatch, &TIDispatchField::ClassInfo, 0, sdNone, kNone, kNone},
    {u"ADT", ftUnknown, &TADTField::ClassInfo, 0, sdNone, kNone, kNone},
    {u"Arr", ftUnknown, &TArrayField::ClassInfo, 0, sdNone, kNone, kNone},
    {u"Nested", ftUnknown, &TDataSetField::ClassInfo, 0, sdNone, kNone, kNone},
    {u"Ref", ftUnknown, &TReferenceField::ClassInfo, 0, sdNone, kNone, kNone},
};
// clang-format on

// One dataset column per row (the structured classes have none), and the
// field of each row: the dataset's, or a free-standing one.
class FormTable : public ::testing::Test {
protected:
    static std::vector<Column> Columns() {
        std::vector<Column> columns;
        for (const TFormRow& r : kFormRows)
            if (r.Type != ftUnknown) columns.push_back({r.Name, r.Type, r.Size});
        return columns;
    }
    TField& FieldOf(const TFormRow& Row) {
        if (Row.Type != ftUnknown) return *ds.F(Row.Name);
        auto& field = FFree.emplace_back(Row.Class->Create(nullptr));
        field->SetFieldName(Row.Name);
        return *field;
    }
    TRawDataSet ds{Columns()};

private:
    std::vector<std::unique_ptr<TField>> FFree;
};

}  // namespace

TEST_F(FormTable, EveryClassGivesEachTypedFormOrTheAccessError) {
    for (const TFormRow& r : kFormRows) {
        TField& f = FieldOf(r);
        ASSERT_EQ(f.ClassType(), r.Class) << U8(r.Name);
        for (int form = fmDateTime; form <= fmByteArray; ++form) {
            SCOPED_TRACE(U8(f.ClassName()) + " As" + kFormNames[form]);
            Seed(f, r.SeedWith);
            std::string got;
            const std::string error = DbErrorOf([&] { got = Read(f, static_cast<TForm>(form)); });
            EXPECT_EQ(error == "<no error>" ? got : error,
                      Expected(r.Get[form], f.FieldName(), static_cast<TForm>(form)));
        }
    }
}

TEST_F(FormTable, EveryClassTakesEachTypedFormOrTheAccessError) {
    for (const TFormRow& r : kFormRows) {
        TField& f = FieldOf(r);
        for (int form = fmDateTime; form <= fmByteArray; ++form) {
            SCOPED_TRACE(U8(f.ClassName()) + " SetAs" + kFormNames[form]);
            if (r.Type != ftUnknown) f.Clear();
            std::string error = DbErrorOf([&] { Write(f, static_cast<TForm>(form)); });
            if (error == "<no error>") error = Show(f, r.ShowWith);
            EXPECT_EQ(error, Expected(r.Set[form], f.FieldName(), static_cast<TForm>(form)));
        }
    }
}

// A null value reads as the form's zero wherever the class has the form.
TEST_F(FormTable, NullReadsAsTheZeroOfEachForm) {
    // clang-format off
    const char* const zeros[] = {"0", "0", "0", "0", "{00000000-0000-0000-0000-000000000000}",
                                 "0000-00-00 00:00:00.000", "0000-00-00 00:00:00.000 +00:00", "0", "null"};
    // clang-format on
    for (const TFormRow& r : kFormRows) {
        if (r.Type == ftUnknown) continue;
        TField& f = FieldOf(r);
        for (int form = fmDateTime; form <= fmByteArray; ++form) {
            if (IsError(r.Get[form])) continue;
            SCOPED_TRACE(U8(f.ClassName()) + " As" + kFormNames[form]);
            Seed(f, r.SeedWith);
            f.Clear();
            ASSERT_TRUE(f.IsNull());
            std::string got;
            const std::string error = DbErrorOf([&] { got = Read(f, static_cast<TForm>(form)); });
            EXPECT_EQ(error == "<no error>" ? got : error, zeros[form]);
        }
    }
}

TEST_F(Accessors, NumberFieldsTakeEveryNumericForm) {
    const struct {
        const char16_t* Name;
        bool Integer;  // stores whole numbers, rounded half away from zero
        // clang-format off
    } cases[] = {{u"I", true},   {u"L", true},    {u"W", true},  {u"Sm", true}, {u"F", false},
                 {u"C", false},  {u"BCD", false}, {u"FMT", false}, {u"Sg", false}, {u"X", false}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.Name));
        TField* f = ds.F(c.Name);
        f->SetAsCurrency(TCurrency{125000});
        EXPECT_EQ(f->AsFloat(), c.Integer ? 13 : 12.5);
        f->SetAsBCD(StrToBcd(u"7.25"));
        EXPECT_EQ(f->AsCurrency().Scaled, c.Integer ? 70000 : 72500);
        EXPECT_EQ(f->AsExtended(), c.Integer ? 7 : 7.25);
        f->SetAsSingle(0.75f);
        EXPECT_EQ(f->AsSingle(), c.Integer ? 1 : 0.75f);
        f->SetAsExtended(3);
        EXPECT_EQ(Text(f->AsBCD()), "3");
        f->SetAsLongWord(30000);
        EXPECT_EQ(f->AsLargeInt(), 30000);
        f->Clear();
        EXPECT_EQ(f->AsCurrency().Scaled, 0);
        EXPECT_EQ(Text(f->AsBCD()), "0");
    }
    EXPECT_EQ(DbErrorOf([&] { ds.F(u"Sm")->SetAsLongWord(40000); }), "Invalid value for field 'Sm'");
    EXPECT_EQ(DbErrorOf([&] { ds.F(u"L")->SetAsExtended(1e19L); }), "Invalid value for field 'L'");
}

// Rounding to an integer fails for what the integer cannot hold, whichever
// side does the rounding; so does a BCD count beyond its 64 bits.
TEST_F(Accessors, RoundingBeyondAnIntegerRangeIsAnInvalidValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char16_t* Field;
        double Value;
        std::function<std::string(TField&)> Read;
        const char* Result;
    } cases[] = {
        {u"F", 3e9, [](TField& f) { return std::to_string(f.AsLargeInt()); }, "3000000000"},
        {u"F", 3e9, [](TField& f) { return std::to_string(f.AsInteger()); }, "Invalid value for field 'F'"},
        {u"F", -2.5, [](TField& f) { return std::to_string(f.AsInteger()); }, "-3"},
        {u"F", 1e30, [](TField& f) { return std::to_string(f.AsLargeInt()); }, "Invalid value for field 'F'"},
        {u"F", nan, [](TField& f) { return std::to_string(f.AsLargeInt()); }, "Invalid value for field 'F'"},
        // clang-format off
        {u"I", 1e30, nullptr, "Invalid value for field 'I'"},
        {u"I", nan, nullptr, "Invalid value for field 'I'"},
        // clang-format on
        {u"I", -2147483648.4, [](TField& f) { return std::to_string(f.AsInteger()); }, "-2147483648"},
        // clang-format off
        {u"BCD", 1e20, nullptr, "Invalid value for field 'BCD'"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.Field) + " " + std::to_string(c.Value));
        TField* f = ds.F(c.Field);
        f->SetAsInteger(5);
        std::string result;
        std::string error = DbErrorOf([&] {
            f->SetAsFloat(c.Value);
            if (c.Read) result = c.Read(*f);
        });
        EXPECT_EQ(error == "<no error>" ? result : error, c.Result);
        if (!c.Read) {
            EXPECT_EQ(f->AsInteger(), 5);  // a value that cannot be stored leaves the old one
        }
    }
}

// A validation handler reads the pending value, also of a variant field
// (whose buffer holds a variant object, assigned rather than copied bytewise).
TEST_F(Accessors, ValidationReadsThePendingValue) {
    TField* v = ds.F(u"V");
    TField* i = ds.F(u"I");
    v->SetAsString(u"stored");
    i->SetAsInteger(1);
    std::string seen;
    v->OnValidate = [&](TField& f) { seen = U8(f.AsString()); };
    i->OnValidate = [&](TField& f) { seen = std::to_string(f.AsInteger()); };
    const rtl::Variant pending(u"pending text that is longer than a short string");
    v->Validate(&pending);
    EXPECT_EQ(seen, "pending text that is longer than a short string");
    EXPECT_EQ(U8(v->AsString()), "stored");
    const std::int32_t two = 2;
    i->Validate(&two);
    EXPECT_EQ(seen, "2");
    EXPECT_EQ(i->AsInteger(), 1);
}

// The extended field keeps ten bytes in the record, in the extended format,
// and all the precision a long double has of them.
TEST_F(Accessors, ExtendedFieldStoresTheTenByteFormat) {
    TField* x = ds.F(u"X");
    EXPECT_EQ(x->DataSize(), 10);
    x->SetAsFloat(-2.5);
    EXPECT_EQ(ds.Slots.at(x->FieldNo()), (rtl::TBytes{0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}));
    EXPECT_EQ(x->AsFloat(), -2.5);
    EXPECT_EQ(U8(x->AsString()), "-2.5");
    EXPECT_EQ(x->AsVariant(), rtl::Variant(-2.5));
    // A value a record holds, read back whatever wrote it.
    const TExtendedBytes pi = ExtendedToBytes(3.141592653589793);
    ds.Slots[x->FieldNo()] = rtl::TBytes(pi.begin(), pi.end());
    EXPECT_EQ(x->AsFloat(), 3.141592653589793);
    if constexpr (std::numeric_limits<long double>::digits >= 64) {
        const long double fine = 1.0L + std::ldexp(1.0L, -60);  // more than a double holds
        x->SetAsExtended(fine);
        EXPECT_EQ(x->AsExtended(), fine);
        EXPECT_EQ(x->AsFloat(), 1.0);
    }
    x->Clear();
    EXPECT_TRUE(x->IsNull());
    EXPECT_EQ(x->AsExtended(), 0);
}

TEST_F(Accessors, DecimalFormsOfIntegersAndOfTheBcdFieldAreExact) {
    // 2^53 + 1 has no double; its text has every digit.
    ds.F(u"L")->SetAsLargeInt(9007199254740993LL);
    EXPECT_EQ(Text(ds.F(u"L")->AsBCD()), "9007199254740993");
    // The BCD field keeps ten-thousandths: the extremes pass unchanged, where
    // a double would lose the last places.
    TField* bcd = ds.F(u"BCD");
    for (std::int64_t scaled : {INT64_MAX, INT64_MIN, std::int64_t{-1}}) {
        bcd->SetAsCurrency(TCurrency{scaled});
        EXPECT_EQ(bcd->AsCurrency().Scaled, scaled);
    }
    bcd->SetAsBCD(StrToBcd(u"922337203685477.5807"));
    EXPECT_EQ(Text(bcd->AsBCD()), "922337203685477.5807");
    bcd->SetAsBCD(StrToBcd(u"1.23456"));
    EXPECT_EQ(bcd->AsCurrency().Scaled, 12346);
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { bcd->SetAsBCD(StrToBcd(u"1E20")); }),
              "'100000000000000000000' is not a valid currency value");
    EXPECT_EQ(bcd->AsCurrency().Scaled, 12346);  // unchanged
}

TEST_F(Accessors, TextFieldsParseAndWriteNumbers) {
    for (const char16_t* name : {u"S", u"WS"}) {
        SCOPED_TRACE(U8(name));
        TField* f = ds.F(name);
        f->SetAsCurrency(TCurrency{-125000});
        EXPECT_EQ(U8(f->AsString()), "-12.5");
        f->SetAsSingle(0.1f);
        EXPECT_EQ(U8(f->AsString()), "0.1");
        f->SetAsFloat(2.5);
        EXPECT_EQ(U8(f->AsString()), "2.5");
        f->SetAsBCD(StrToBcd(u"123456789012345678901234567890.75"));
        EXPECT_EQ(U8(f->AsString()), "123456789012345678901234567890.75");
        f->SetAsString(u" 3.14159 ");
        EXPECT_EQ(f->AsCurrency().Scaled, 31416);
        EXPECT_EQ(Text(f->AsBCD()), "3.14159");
        EXPECT_FLOAT_EQ(f->AsSingle(), 3.14159f);
        EXPECT_EQ(f->AsExtended(), static_cast<long double>(3.14159));
        f->SetAsString(u"abc");
        EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { f->AsCurrency(); }), "'abc' is not a valid BCD value");
        f->SetAsLongWord(4000000000u);
        EXPECT_EQ(U8(f->AsString()), "4000000000");
    }
}

TEST_F(Accessors, GuidFieldKeepsTheTextForm) {
    TField* g = ds.F(u"G");
    EXPECT_EQ(g->AsGuid(), TGUID{});  // null
    TGUID value{0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
    g->SetAsGuid(value);
    EXPECT_EQ(U8(g->AsString()), "{01234567-89AB-CDEF-0102-030405060708}");
    EXPECT_EQ(g->AsGuid(), value);
    g->SetAsString(u"not a guid");
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { g->AsGuid(); }), "'not a guid' is not a valid GUID value");
}

TEST_F(Accessors, DateTimeAndTimestampFieldsConvertIntoEachOther) {
    const TSQLTimeStamp when = Stamp(2024, 2, 29, 13, 14, 15, 678);
    const TDateTime value = SQLTimeStampToDateTime(when);
    const TSQLTimeStampOffset zoned{when, 5, 30};
    for (const char16_t* name : {u"DT", u"D", u"TS", u"TSO"}) {
        SCOPED_TRACE(U8(name));
        TField* f = ds.F(name);
        EXPECT_EQ(f->AsSQLTimeStamp(), TSQLTimeStamp{});  // null reads zeros
        EXPECT_EQ(f->AsDateTime(), 0);
        f->SetAsSQLTimeStamp(when);
        EXPECT_EQ(f->AsSQLTimeStamp(), when);
        EXPECT_NEAR(f->AsDateTime(), value, 1e-9);
        f->SetAsDateTime(value + 1);
        EXPECT_EQ(f->AsSQLTimeStamp(), Stamp(2024, 3, 1, 13, 14, 15, 678));
        // Only the offset field keeps an offset; the others keep the local time.
        f->SetAsSQLTimeStampOffset(zoned);
        EXPECT_EQ(f->AsSQLTimeStamp(), when);
        const TSQLTimeStampOffset expected =
            f->DataType() == ftTimeStampOffset ? zoned : TSQLTimeStampOffset{when, 0, 0};
        EXPECT_EQ(f->AsSQLTimeStampOffset(), expected);
    }
    ds.F(u"TSO")->SetAsDateTime(value);
    EXPECT_EQ(ds.F(u"TSO")->AsSQLTimeStampOffset(), (TSQLTimeStampOffset{when, 0, 0}));
    EXPECT_EQ(U8(ds.F(u"TS")->AsString()), "2024-02-29 13:14:15");
    // A stored timestamp that is no date fails when read as a date-time, and
    // one that cannot be stored leaves the value as it was.
    ds.F(u"TS")->SetAsSQLTimeStamp(Stamp(2023, 2, 30));
    EXPECT_EQ(ErrorOf<rtl::EConvertError>([&] { ds.F(u"TS")->AsDateTime(); }),
              "'2023-02-30 00:00:00' is not a valid date and time");
    EXPECT_NE(ErrorOf<rtl::EConvertError>([&] { ds.F(u"DT")->SetAsSQLTimeStamp(Stamp(2023, 2, 30)); }), "<no error>");
    EXPECT_NEAR(ds.F(u"DT")->AsDateTime(), value, 1e-9);
}

TEST_F(Accessors, ByteArraysAndBytesOfBinaryFields) {
    const rtl::TBytes two{1, 2}, five{1, 2, 3, 4, 5};
    TField* by = ds.F(u"By");
    EXPECT_TRUE(by->AsByteArray().IsNull());
    by->SetAsBytes(two);
    EXPECT_EQ(by->AsByteArray(), rtl::Variant(rtl::TBytes{1, 2, 0, 0}));  // padded to the size
    by->SetAsByteArray(rtl::Variant(five));
    EXPECT_EQ(by->AsBytes(), (rtl::TBytes{1, 2, 3, 4}));  // cut to it
    TField* vb = ds.F(u"VB");
    vb->SetAsBytes(two);
    EXPECT_EQ(vb->AsByteArray(), rtl::Variant(two));
    vb->SetAsByteArray(rtl::Variant(five));
    EXPECT_EQ(vb->AsBytes(), (rtl::TBytes{1, 2, 3}));
    TField* blob = ds.F(u"Blob");
    blob->SetAsByteArray(rtl::Variant(five));
    EXPECT_EQ(blob->AsByteArray(), rtl::Variant(five));
    blob->SetAsAnsiString(std::string("\xE9t\xE9", 3));
    EXPECT_EQ(blob->AsBytes(), (rtl::TBytes{0xE9, 't', 0xE9}));
    TField* v = ds.F(u"V");
    v->SetAsByteArray(rtl::Variant(two));
    EXPECT_EQ(v->AsByteArray(), rtl::Variant(two));
    v->SetAsString(u"text");
    EXPECT_EQ(DbErrorOf([&] { v->AsByteArray(); }), "Cannot access field 'V' as type ByteArray");
    for (TField* f : {by, vb, blob, v}) {
        SCOPED_TRACE(U8(f->FieldName()));
        EXPECT_EQ(DbErrorOf([&] { f->SetAsByteArray(rtl::Variant(std::int32_t(7))); }),
                  "Invalid value for field '" + U8(f->FieldName()) + "'");
        f->SetAsByteArray(rtl::Variant::Null());
        EXPECT_TRUE(f->IsNull());
        EXPECT_TRUE(f->AsByteArray().IsNull());
    }
}

// A wide memo's text is (size + 1) div 2 characters: an odd last byte is
// the low half of the last one; an empty stream is empty text.
TEST_F(Accessors, WideMemoTextOfEveryByteCount) {
    TField* memo = ds.F(u"Memo");
    const struct {
        rtl::TBytes Bytes;
        rtl::String Text;
    } cases[] = {
        {{'a', 0, 'b'}, u"ab"}, {{'a', 0, 'b', 0}, u"ab"}, {{0x9A, 0x04}, u"\u049A"}, {{'z'}, u"z"}, {{}, u""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes.size());
        memo->SetAsBytes(c.Bytes);
        EXPECT_EQ(memo->AsWideString(), c.Text);
        EXPECT_EQ(memo->AsString(), c.Text);
    }
}

TEST_F(Accessors, VariantFieldsTakeNumbersThroughTheirDouble) {
    TField* v = ds.F(u"V");
    v->SetAsCurrency(TCurrency{25000});
    EXPECT_EQ(v->AsVariant(), rtl::Variant(2.5));
    EXPECT_EQ(v->AsSingle(), 2.5f);
    v->SetAsLongWord(4000000000u);
    EXPECT_EQ(v->AsVariant(), rtl::Variant(std::int64_t{4000000000}));
    EXPECT_EQ(v->AsCurrency().Scaled, 40000000000000LL);
}

TEST_F(Accessors, WideTextIsTheEditingTextAndSetsLikeText) {
    TField* f = ds.F(u"WS");
    f->OnGetText = [](TField& Sender, rtl::String& Text, bool DisplayText) {
        Text = (DisplayText ? u"D:" : u"E:") + Sender.AsString();
    };
    f->OnSetText = [](TField& Sender, const rtl::String& Text) { Sender.SetAsString(u"<" + Text + u">"); };
    f->SetWideText(u"Қала");
    EXPECT_EQ(U8(f->AsString()), "<Қала>");
    EXPECT_EQ(U8(f->WideText()), "E:<Қала>");
    f->OnGetText = nullptr;
    f->OnSetText = nullptr;
    f->SetWideText(u"12");
    EXPECT_EQ(f->WideText(), f->Text());
    EXPECT_EQ(U8(f->WideText()), "12");
}

// --- copying, assigning, constraints, characters and lookups ---

TEST_F(Accessors, CopyDataMovesExactlyTheNativeValue) {
    // clang-format off
    // Four bytes for an integer: the guard bytes after them stay.
    const std::uint8_t source[6] = {1, 2, 3, 4, 5, 6};
    std::uint8_t dest[6] = {9, 9, 9, 9, 9, 9};
    // clang-format on
    ds.F(u"I")->CopyData(source, dest);
    EXPECT_EQ(rtl::TBytes(dest, dest + 6), (rtl::TBytes{1, 2, 3, 4, 9, 9}));
    // The array form is sized to the data size (2 x 40 + 2 for the wide string).
    TValueBuffer out{7};
    ds.F(u"WS")->CopyData(TValueBuffer{1, 2, 3}, out);
    ASSERT_EQ(out.size(), 82u);
    EXPECT_EQ(TValueBuffer(out.begin(), out.begin() + 4), (TValueBuffer{1, 2, 3, 0}));
    ds.F(u"By")->CopyData(TValueBuffer{1, 2, 3, 4, 5, 6}, out);
    EXPECT_EQ(out, (TValueBuffer{1, 2, 3, 4}));
    // Variant buffers hold variants.
    rtl::Variant from(u"text"), to;
    ds.F(u"V")->CopyData(&from, &to);
    EXPECT_EQ(to, from);
    EXPECT_EQ(DbErrorOf([&] { ds.F(u"V")->CopyData(TValueBuffer(sizeof(rtl::Variant)), out); }),
              "Cannot access field 'V' as type ByteArray");
}

TEST_F(Accessors, AssignValueUsesTheSetterOfTheValuesType) {
    const struct {
        const char16_t* Field;
        rtl::Variant Value;
        const char* Text;  // AsString afterwards, or the error
    } cases[] = {
        {u"I", rtl::Variant(std::int64_t{7}), "7"},
        {u"I", rtl::Variant(u"12"), "12"},
        {u"S", rtl::Variant(2.5), "2.5"},
        {u"S", rtl::Variant(true), "Cannot access field 'S' as type Boolean"},
        {u"Bool", rtl::Variant(true), "True"},
        {u"Bool", rtl::Variant(1.5), "Cannot access field 'Bool' as type Float"},
        {u"L", rtl::Variant(std::int32_t{-3}), "-3"},
        {u"VB", rtl::Variant(rtl::TBytes{'a', 'b'}), "ab"},
        {u"I", rtl::Variant(rtl::TBytes{1}), "Cannot access field 'I' as type Bytes"},
        {u"DT", rtl::Variant(u"2024-01-01"), "Cannot access field 'DT' as type String"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.Field) + " " + c.Text);
        TField* f = ds.F(c.Field);
        std::string error = DbErrorOf([&] { f->AssignValue(c.Value); });
        EXPECT_EQ(error == "<no error>" ? U8(f->AsString()) : error, c.Text);
    }
    for (const rtl::Variant& clear : {rtl::Variant(), rtl::Variant::Null()}) {
        ds.F(u"I")->SetAsInteger(1);
        ds.F(u"I")->AssignValue(clear);
        EXPECT_TRUE(ds.F(u"I")->IsNull());
    }
}

TEST(FieldConstraints, CustomImportedOrDefaultExpressionMakeConstraints) {
    const struct {
        void (TField::*Set)(rtl::StringView);
        bool Constrains;
        // clang-format off
    } cases[] = {{&TField::SetCustomConstraint, true},        {&TField::SetImportedConstraint, true},
                 {&TField::SetDefaultExpression, true},       {&TField::SetConstraintErrorMessage, false},
                 {&TField::SetAttributeSet, false},           {&TField::SetOrigin, false}};
    // clang-format on
    for (const auto& c : cases) {
        TIntegerField f(nullptr);
        EXPECT_FALSE(f.HasConstraints());
        (f.*c.Set)(u"X > 0");
        EXPECT_EQ(f.HasConstraints(), c.Constrains);
    }
}

TEST(FieldValidChars, AnEmptySetAdmitsEveryCharacter) {
    TStringField f(nullptr);
    EXPECT_TRUE(f.ValidChars().none());
    for (char16_t ch : {u'a', u'5', u'\u049A' /* Қ */, u'\0'}) EXPECT_TRUE(f.IsValidChar(ch));
    TFieldChars digits;
    for (char c = '0'; c <= '9'; ++c) digits.set(static_cast<unsigned char>(c));
    f.SetValidChars(digits);
    EXPECT_TRUE(f.IsValidChar(u'5'));
    EXPECT_FALSE(f.IsValidChar(u'a'));
    EXPECT_FALSE(f.IsValidChar(u'\u049A'));
    EXPECT_FALSE(f.IsValidChar(u'\u0135'));  // its low byte is '5'
}

TEST(LookupFields, BindingReadsTheLookupPairsWhenCached) {
    auto cities = MakePeople(3);  // ID 1..3, Name "Name1".."Name3"
    cities->Open();
    cities->Next();  // the position is kept
    TMemoryDataSet ds(nullptr, {{u"CityID", ftInteger}});
    ds.Rows = {{rtl::Variant(std::int32_t{2})}};
    auto* key = new TIntegerField(nullptr);
    key->SetFieldName(u"CityID");
    key->SetDataSet(&ds);
    auto* city = new TWideStringField(nullptr);
    city->SetFieldName(u"City");
    city->SetFieldKind(fkLookup);
    city->SetLookupDataSet(cities.get());
    city->SetKeyFields(u"CityID");
    city->SetLookupKeyFields(u"ID");
    city->SetLookupResultField(u"Name");
    city->SetDataSet(&ds);
    EXPECT_TRUE(city->Lookup());

    ds.Open();  // not cached: an empty list
    ASSERT_NE(city->LookupList(), nullptr);
    EXPECT_EQ(city->LookupList()->Count(), 0);
    EXPECT_EQ(key->LookupList(), nullptr);  // only lookup fields have one
    ds.Close();
    city->SetLookupCache(true);
    ds.Open();
    TLookupList& list = *city->LookupList();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.ValueOfKey({rtl::Variant(std::int32_t{3})}), rtl::Variant(u"Name3"));
    EXPECT_TRUE(list.ValueOfKey({rtl::Variant(std::int32_t{4})}).IsNull());
    EXPECT_EQ(cities->RecNo(), 2);

    // Keys of several fields; a name the lookup dataset lacks fails.
    city->SetLookupKeyFields(u"ID; Name");
    city->RefreshLookupList();
    EXPECT_EQ(list.ValueOfKey({rtl::Variant(std::int32_t{1}), rtl::Variant(u"Name1")}), rtl::Variant(u"Name1"));
    city->SetLookupResultField(u"Nope");
    EXPECT_EQ(DbErrorOf([&] { city->RefreshLookupList(); }), "MemData: Field 'Nope' not found");
    cities->Close();
    city->SetLookupResultField(u"Name");
    city->RefreshLookupList();
    EXPECT_EQ(list.Count(), 0);
}
