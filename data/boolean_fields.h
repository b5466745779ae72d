#pragma once
// The Boolean field.

#include "data/fields.h"

namespace data {

// A 16-bit Boolean (0 = False).
class TBooleanField : public TField {
    DATA_FIELD_CLASS(TBooleanField)
public:
    explicit TBooleanField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return 2; }
    bool GetAsBoolean() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void SetAsBooleanValue(bool Value) override;
    void SetAsStringValue(const rtl::String& Value) override;
};

}  // namespace data
