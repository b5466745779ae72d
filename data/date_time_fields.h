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
    TDateTime GetAsDateTime() const override { return GetAsFloat(); }
    void SetAsDateTimeValue(TDateTime Value) override { SetAsFloatValue(Value); }
    // A timestamp of the date and time, or of zeros for null; the offset
    // form has offset 0, and setting it keeps the local date and time.
    TSQLTimeStamp GetAsSQLTimeStamp() const override;
    TSQLTimeStampOffset GetAsSQLTimeStampOffset() const override { return {GetAsSQLTimeStamp(), 0, 0}; }
    void SetAsSQLTimeStampValue(const TSQLTimeStamp& Value) override;
    void SetAsSQLTimeStampOffsetValue(const TSQLTimeStampOffset& Value) override {
        SetAsSQLTimeStampValue(Value.TimeStamp);
    }
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

class TSQLTimeStampField : public TField {
    DATA_FIELD_CLASS(TSQLTimeStampField)
public:
    explicit TSQLTimeStampField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return sizeof(TSQLTimeStamp); }
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    // A null value reads as zeros (and as date-time 0); an impossible date
    // read as a date-time fails with EConvertError.
    TSQLTimeStamp GetAsSQLTimeStamp() const override;
    TSQLTimeStampOffset GetAsSQLTimeStampOffset() const override { return {GetAsSQLTimeStamp(), 0, 0}; }
    TDateTime GetAsDateTime() const override;
    void SetAsSQLTimeStampValue(const TSQLTimeStamp& Value) override { SetData(&Value); }
    // The local date and time; the offset is dropped.
    void SetAsSQLTimeStampOffsetValue(const TSQLTimeStampOffset& Value) override {
        SetAsSQLTimeStampValue(Value.TimeStamp);
    }
    void SetAsDateTimeValue(TDateTime Value) override { SetAsSQLTimeStampValue(DateTimeToSQLTimeStamp(Value)); }
};
class TSQLTimeStampOffsetField : public TField {
    DATA_FIELD_CLASS(TSQLTimeStampOffsetField)
public:
    explicit TSQLTimeStampOffsetField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return sizeof(TSQLTimeStampOffset); }
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    // The plain timestamp and date-time forms are the local date and time
    // (the offset is not applied); set through them the offset becomes 0.
    TSQLTimeStampOffset GetAsSQLTimeStampOffset() const override;
    TSQLTimeStamp GetAsSQLTimeStamp() const override { return GetAsSQLTimeStampOffset().TimeStamp; }
    TDateTime GetAsDateTime() const override;
    void SetAsSQLTimeStampOffsetValue(const TSQLTimeStampOffset& Value) override { SetData(&Value); }
    void SetAsSQLTimeStampValue(const TSQLTimeStamp& Value) override { SetAsSQLTimeStampOffsetValue({Value, 0, 0}); }
    void SetAsDateTimeValue(TDateTime Value) override { SetAsSQLTimeStampValue(DateTimeToSQLTimeStamp(Value)); }
};

}  // namespace data
