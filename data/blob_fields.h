#pragma once
// Blob and memo fields: binary large objects and 8-bit and UTF-16 texts,
// read and written through the dataset's blob stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "data/fields.h"

namespace rtl {
class TStream;
}

namespace data {

// Binary large objects, read through the dataset's blob stream.
class TBlobField : public TField {
    DATA_FIELD_CLASS(TBlobField)
public:
    explicit TBlobField(rtl::TComponent* AOwner);
    static bool IsBlobClass() { return true; }
    TBlobDisplayValue DisplayValue() const { return FDisplayValue; }
    void SetDisplayValue(TBlobDisplayValue Value) { FDisplayValue = Value; }
    bool Modified() const { return FModified; }
    bool GraphicHeader() const { return FGraphicHeader; }
    bool Transliterate() const { return FTransliterate; }
    void SetTransliterate(bool Value) { FTransliterate = Value; }
    // The value's length in bytes.
    virtual std::int64_t GetBlobSize() const;
    void Clear() override;

protected:
    int GetDataSize() const override { return 0; }
    // Only whether a value exists: a blob is always asked with a null buffer.
    bool GetIsNull() const override;
    rtl::TBytes GetAsBytes() const override;
    std::string GetAsAnsiString() const override;
    rtl::String GetAsString() const override;
    rtl::String GetAsWideString() const override;
    rtl::Variant GetAsVariant() const override;
    rtl::String GetClassDesc() const override;
    void GetText(rtl::String& Text, bool DisplayText) const override;
    void SetAsStringValue(const rtl::String& Value) override;
    void SetAsWideStringValue(const rtl::String& Value) override;
    // The stored bytes as they are.
    rtl::Variant GetAsByteArray() const override;
    void SetAsByteArrayValue(const rtl::Variant& Value) override;
    void SetAsBytesValue(const rtl::TBytes& Value) override { WriteBytes(Value.data(), Value.size()); }
    void SetAsAnsiStringValue(const std::string& Value) override { WriteBytes(Value.data(), Value.size()); }
    void WriteBytes(const void* Data, std::size_t Count);

private:
    // The dataset's blob stream for this field ("Field '%s' has no dataset").
    std::unique_ptr<rtl::TStream> BlobStream(TBlobStreamMode Mode) const;

    bool FModifiedRecord = false;
    bool FModified = false;
    bool FGraphicHeader = true;
    bool FTransliterate = false;
    TBlobDisplayValue FDisplayValue = dvClass;
};
class TMemoField : public TBlobField {
    DATA_FIELD_CLASS(TMemoField)
public:
    explicit TMemoField(rtl::TComponent* AOwner);

protected:
    // The text is 8-bit: the wide forms lead to the blob's AsString and
    // string setter, which widen and narrow it.
    rtl::String GetAsWideString() const override { return GetAsString(); }
    rtl::Variant GetAsVariant() const override;
    void SetAsWideStringValue(const rtl::String& Value) override { SetAsStringValue(Value); }
};
class TWideMemoField : public TBlobField {
    DATA_FIELD_CLASS(TWideMemoField)
public:
    explicit TWideMemoField(rtl::TComponent* AOwner);

protected:
    rtl::String GetAsString() const override { return GetAsWideString(); }
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    rtl::Variant GetAsVariant() const override;
    void SetAsStringValue(const rtl::String& Value) override { SetAsWideStringValue(Value); }
};
class TGraphicField : public TBlobField {
    DATA_FIELD_CLASS(TGraphicField)
public:
    explicit TGraphicField(rtl::TComponent* AOwner);
};

}  // namespace data
