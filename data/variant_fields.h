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
};

}  // namespace data
