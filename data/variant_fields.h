#pragma once
// The variant field, which holds a value of any type.

#include "data/fields.h"

namespace data {

// A value of any type; the record holds an rtl::Variant object, which the
// dataset assigns to (the buffer passed to GetFieldData is an rtl::Variant).
class TVariantField : public TField {
    DATA_FIELD_CLASS(TVariantField)
public:
    explicit TVariantField(rtl::TComponent* AOwner);
    // The buffers hold rtl::Variant objects: copied by assignment. The byte
    // array form has no variant to assign and fails.
    void CopyData(const void* Source, void* Dest) const override;
    void CopyData(const TValueBuffer& Source, TValueBuffer& Dest) const override;

protected:
    int GetDataSize() const override { return sizeof(rtl::Variant); }
    bool GetIsNull() const override;
    rtl::Variant GetAsVariant() const override;
    rtl::String GetAsString() const override;
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    bool GetAsBoolean() const override;
    void SetVarValue(const rtl::Variant& Value) override;
    void SetAsStringValue(const rtl::String& Value) override { SetVarValue(rtl::Variant(Value)); }
    void SetAsIntegerValue(std::int32_t Value) override { SetVarValue(rtl::Variant(Value)); }
    void SetAsLargeIntValue(std::int64_t Value) override { SetVarValue(rtl::Variant(Value)); }
    void SetAsFloatValue(double Value) override { SetVarValue(rtl::Variant(Value)); }
    void SetAsBooleanValue(bool Value) override { SetVarValue(rtl::Variant(Value)); }
    // Numbers and date-times go through the value's double form (the
    // decimal one through its text, which is exact for integers); null
    // reads as zero.
    float GetAsSingle() const override { return static_cast<float>(NumberOrZero()); }
    long double GetAsExtended() const override { return NumberOrZero(); }
    TCurrency GetAsCurrency() const override { return DoubleToCurrency(NumberOrZero()); }
    TBcd GetAsBCD() const override;
    TDateTime GetAsDateTime() const override { return NumberOrZero(); }
    void SetAsSingleValue(float Value) override { SetAsFloatValue(Value); }
    void SetAsExtendedValue(long double Value) override { SetAsFloatValue(static_cast<double>(Value)); }
    void SetAsCurrencyValue(TCurrency Value) override { SetAsFloatValue(CurrencyToDouble(Value)); }
    void SetAsBCDValue(const TBcd& Value) override { SetAsFloatValue(BcdToDouble(Value)); }
    void SetAsDateTimeValue(TDateTime Value) override { SetAsFloatValue(Value); }
    void SetAsLongWordValue(std::uint32_t Value) override { SetVarValue(rtl::Variant(std::int64_t{Value})); }
    // Only a value that holds bytes reads as a byte array.
    rtl::Variant GetAsByteArray() const override;
    void SetAsByteArrayValue(const rtl::Variant& Value) override;
    void SetAsBytesValue(const rtl::TBytes& Value) override { SetVarValue(rtl::Variant(Value)); }

private:
    double NumberOrZero() const;
};

}  // namespace data
