#pragma once
// Date and time fields: date-time values kept as a double (TDateTimeField,
// TDateField, TTimeField) and timestamps kept as their parts
// (TSQLTimeStampField, TSQLTimeStampOffsetField).

#include <cstdint>

#include "data/fields.h"

namespace data {

// Date and time as a double: days since 1899-12-30 and the fraction of a day.
class TDateTimeField : public TField {
    DATA_FIELD_CLASS(TDateTimeField)
public:
    explicit TDateTimeField(rtl::TComponent* AOwner);
    bool GetValue(double& Value) const;

protected:
    int GetDataSize() const override { return 8; }
    double GetAsFloat() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void SetAsFloatValue(double Value) override;
    // "yyyy-mm-dd hh:nn:ss"; the date and time fields show their half.
    virtual rtl::String DateTimeText(double Value) const;
};
class TDateField : public TDateTimeField {
    DATA_FIELD_CLASS(TDateField)
public:
    explicit TDateField(rtl::TComponent* AOwner);

protected:
    rtl::String DateTimeText(double Value) const override;
};
class TTimeField : public TDateTimeField {
    DATA_FIELD_CLASS(TTimeField)
public:
    explicit TTimeField(rtl::TComponent* AOwner);

protected:
    rtl::String DateTimeText(double Value) const override;
};

// A timestamp as stored in the record.
struct TSQLTimeStamp {
    std::int16_t Year;
    std::uint16_t Month, Day, Hour, Minute, Second;
    std::uint32_t Fractions;
};
struct TSQLTimeStampOffset {
    TSQLTimeStamp TimeStamp;
    std::int16_t TimeZoneHour, TimeZoneMinute;
};
class TSQLTimeStampField : public TField {
    DATA_FIELD_CLASS(TSQLTimeStampField)
public:
    explicit TSQLTimeStampField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return sizeof(TSQLTimeStamp); }
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
};
class TSQLTimeStampOffsetField : public TField {
    DATA_FIELD_CLASS(TSQLTimeStampOffsetField)
public:
    explicit TSQLTimeStampOffsetField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return sizeof(TSQLTimeStampOffset); }
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
};

}  // namespace data
