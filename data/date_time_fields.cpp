#include "data/date_time_fields.h"

#include <cmath>
#include <cstdlib>

#include "data/field_support.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace data {

using namespace field_support;

namespace {

rtl::String DateText(int Year, int Month, int Day) { return rtl::Format(u"%.4d-%.2d-%.2d", {Year, Month, Day}); }
rtl::String TimeText(int Hour, int Minute, int Second) {
    return rtl::Format(u"%.2d:%.2d:%.2d", {Hour, Minute, Second});
}
rtl::String TimeStampText(const TSQLTimeStamp& T) {
    return DateText(T.Year, T.Month, T.Day) + u" " + TimeText(T.Hour, T.Minute, T.Second);
}

// Splits a date-time value (days since 1899-12-30) into its parts.
struct DateTimeParts {
    // clang-format off
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
};
// clang-format on
DateTimeParts DecodeDateTime(double Value) {
    std::int64_t ms = std::llround(Value * 86400000.0);
    std::int64_t days = ms / 86400000;
    std::int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    // Civil date from a day count (days since 1970-01-01 = days - 25569).
    std::int64_t z = days - 25569 + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    if (m <= 2) ++y;
    int secs = static_cast<int>(rest / 1000);
    return {static_cast<int>(y), m, d, secs / 3600, secs / 60 % 60, secs % 60, static_cast<int>(rest % 1000)};
}

// Days since 1899-12-30 of a civil date (the inverse of the day count above).
std::int64_t DaysOfDate(std::int64_t Year, int Month, int Day) {
    Year -= Month <= 2;
    std::int64_t era = (Year >= 0 ? Year : Year - 399) / 400;
    std::int64_t yoe = Year - era * 400;
    std::int64_t doy = (153 * (Month > 2 ? Month - 3 : Month + 9) + 2) / 5 + Day - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

int DaysInMonth(int Year, int Month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
    return Month == 2 && leap ? 29 : days[Month - 1];
}

}  // namespace

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime Value) {
    if (!std::isfinite(Value) || std::fabs(Value) > 3e6)  // beyond the years a timestamp holds
        throw rtl::EConvertError(rtl::Format(u"'%s' is not a valid date and time", {rtl::FloatToStr(Value)}));
    DateTimeParts p = DecodeDateTime(Value);
    TSQLTimeStamp t;
    t.Year = static_cast<std::int16_t>(p.Year);
    t.Month = static_cast<std::uint16_t>(p.Month);
    t.Day = static_cast<std::uint16_t>(p.Day);
    t.Hour = static_cast<std::uint16_t>(p.Hour);
    t.Minute = static_cast<std::uint16_t>(p.Minute);
    t.Second = static_cast<std::uint16_t>(p.Second);
    t.Fractions = static_cast<std::uint32_t>(p.Millisecond);
    return t;
}

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& Value) {
    const TSQLTimeStamp& t = Value;
    if (t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Day > DaysInMonth(t.Year, t.Month) || t.Hour > 23 ||
        t.Minute > 59 || t.Second > 59 || t.Fractions > 999)
        throw rtl::EConvertError(rtl::Format(u"'%s' is not a valid date and time", {TimeStampText(t)}));
    const double ms = ((t.Hour * 60.0 + t.Minute) * 60.0 + t.Second) * 1000.0 + t.Fractions;
    return static_cast<double>(DaysOfDate(t.Year, t.Month, t.Day)) + ms / 86400000.0;
}

DEFINE_FIELD_CLASS(TDateTimeField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TDateField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TTimeField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSQLTimeStampField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSQLTimeStampOffsetField, NotBlob, AnySize)

TDateTimeField::TDateTimeField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftDateTime); }
bool TDateTimeField::GetValue(double& Value) const { return ReadValue(Value); }
double TDateTimeField::GetAsFloat() const {
    double v = 0;
    return GetValue(v) ? v : 0;
}
rtl::String TDateTimeField::GetAsString() const {
    double v;
    return GetValue(v) ? DateTimeText(v) : rtl::String();
}
rtl::Variant TDateTimeField::GetAsVariant() const {
    double v;
    return GetValue(v) ? rtl::Variant(v) : rtl::Variant::Null();
}
void TDateTimeField::SetAsFloatValue(double Value) { SetData(&Value); }
rtl::String TDateTimeField::DateTimeText(double Value) const {
    DateTimeParts p = DecodeDateTime(Value);
    return DateText(p.Year, p.Month, p.Day) + u" " + TimeText(p.Hour, p.Minute, p.Second);
}
TSQLTimeStamp TDateTimeField::GetAsSQLTimeStamp() const {
    double v;
    return GetValue(v) ? DateTimeToSQLTimeStamp(v) : TSQLTimeStamp{};
}
void TDateTimeField::SetAsSQLTimeStampValue(const TSQLTimeStamp& Value) {
    SetAsFloatValue(SQLTimeStampToDateTime(Value));
}
TDateField::TDateField(rtl::TComponent* AOwner) : TDateTimeField(AOwner) { SetDataTypeRaw(ftDate); }
rtl::String TDateField::DateTimeText(double Value) const {
    DateTimeParts p = DecodeDateTime(Value);
    return DateText(p.Year, p.Month, p.Day);
}
TTimeField::TTimeField(rtl::TComponent* AOwner) : TDateTimeField(AOwner) { SetDataTypeRaw(ftTime); }
rtl::String TTimeField::DateTimeText(double Value) const {
    DateTimeParts p = DecodeDateTime(Value);
    return TimeText(p.Hour, p.Minute, p.Second);
}

TSQLTimeStampField::TSQLTimeStampField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftTimeStamp); }
rtl::String TSQLTimeStampField::GetAsString() const {
    TSQLTimeStamp t;
    return ReadValue(t) ? TimeStampText(t) : rtl::String();
}
rtl::Variant TSQLTimeStampField::GetAsVariant() const {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetAsString());
}
TSQLTimeStamp TSQLTimeStampField::GetAsSQLTimeStamp() const {
    TSQLTimeStamp t;
    return ReadValue(t) ? t : TSQLTimeStamp{};
}
TDateTime TSQLTimeStampField::GetAsDateTime() const {
    TSQLTimeStamp t;
    return ReadValue(t) ? SQLTimeStampToDateTime(t) : 0;
}
TSQLTimeStampOffsetField::TSQLTimeStampOffsetField(rtl::TComponent* AOwner) : TField(AOwner) {
    SetDataTypeRaw(ftTimeStampOffset);
}
rtl::String TSQLTimeStampOffsetField::GetAsString() const {
    TSQLTimeStampOffset t;
    if (!ReadValue(t)) return rtl::String();
    int offset = t.TimeZoneHour * 60 + (t.TimeZoneHour < 0 ? -t.TimeZoneMinute : t.TimeZoneMinute);
    rtl::String zone =
        rtl::Format(u"%s%.2d:%.2d", {offset < 0 ? u"-" : u"+", std::abs(offset) / 60, std::abs(offset) % 60});
    return TimeStampText(t.TimeStamp) + u" " + zone;
}
rtl::Variant TSQLTimeStampOffsetField::GetAsVariant() const {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetAsString());
}

TSQLTimeStampOffset TSQLTimeStampOffsetField::GetAsSQLTimeStampOffset() const {
    TSQLTimeStampOffset t;
    return ReadValue(t) ? t : TSQLTimeStampOffset{};
}
TDateTime TSQLTimeStampOffsetField::GetAsDateTime() const {
    TSQLTimeStampOffset t;
    return ReadValue(t) ? SQLTimeStampToDateTime(t.TimeStamp) : 0;
}

}  // namespace data
