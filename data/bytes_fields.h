#pragma once
// Raw byte fields of a fixed (TBytesField) or varying (TVarBytesField) length.

#include "data/fields.h"

namespace data {

// Raw bytes: Size bytes (TBytesField) or a 16-bit length and up to Size bytes
// (TVarBytesField).
class TBytesField : public TField {
    DATA_FIELD_CLASS(TBytesField)
public:
    explicit TBytesField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size(); }
    rtl::TBytes GetAsBytes() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void SetAsStringValue(const rtl::String& Value) override;
    rtl::Variant GetAsByteArray() const override;
    void SetAsByteArrayValue(const rtl::Variant& Value) override;
    // Size bytes: a shorter value is padded with zeros, a longer one cut.
    void SetAsBytesValue(const rtl::TBytes& Value) override;
};
class TVarBytesField : public TBytesField {
    DATA_FIELD_CLASS(TVarBytesField)
public:
    explicit TVarBytesField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size() + 2; }
    rtl::TBytes GetAsBytes() const override;
    void SetAsStringValue(const rtl::String& Value) override;
    // At most Size bytes: a longer value is cut.
    void SetAsBytesValue(const rtl::TBytes& Value) override;
};

}  // namespace data
