#pragma once
// Text fields: 8-bit (TStringField) and UTF-16 (TWideStringField) strings,
// zero-terminated in the record, and GUIDs kept as text (TGuidField).

#include <functional>

#include "data/fields.h"

namespace data {

// Formats a string field's display text when an EditMask is set; the
// runtime's edit-mask formatter, replaceable (the default returns the value).
using TFormatMaskTextProc = std::function<rtl::String(rtl::StringView EditMask, rtl::StringView Value)>;
extern TFormatMaskTextProc FormatMaskTextProc;

// 8-bit text, zero-terminated in the record (Size characters at most).
class TStringField : public TField {
    DATA_FIELD_CLASS(TStringField)
public:
    explicit TStringField(rtl::TComponent* AOwner);
    static void CheckTypeSize(int Size);
    bool FixedChar() const { return FFixedChar; }
    void SetFixedChar(bool Value) { FFixedChar = Value; }
    bool Transliterate() const { return FTransliterate; }
    void SetTransliterate(bool Value) { FTransliterate = Value; }
    // Also FixedChar, from faFixed or the type ftFixedChar.
    void SetFieldProps(const TFieldDef& FieldDef) override;
    // Also faFixed for a fixed-length field.
    void SetFieldDefProps(TFieldDef& FieldDef) const override;
    // Reads the value; false for null.
    virtual bool GetValue(rtl::String& Value) const;

protected:
    int GetDataSize() const override { return Size() + 1; }
    int GetIOSize() const override;
    int GetDefaultWidth() const override { return Size(); }
    rtl::String GetAsString() const override;
    rtl::String GetAsWideString() const override { return GetAsString(); }
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    bool GetAsBoolean() const override;
    rtl::Variant GetAsVariant() const override;
    void GetText(rtl::String& Text, bool DisplayText) const override;
    void SetAsStringValue(const rtl::String& Value) override;
    void SetAsWideStringValue(const rtl::String& Value) override { SetAsStringValue(Value); }
    void SetAsIntegerValue(std::int32_t Value) override;
    void SetAsLargeIntValue(std::int64_t Value) override;
    // Numbers as their text: read by parsing it (a text that is no number
    // fails with EConvertError; null reads as zero), written in their
    // shortest form.
    float GetAsSingle() const override;
    long double GetAsExtended() const override;
    TCurrency GetAsCurrency() const override;
    TBcd GetAsBCD() const override;
    void SetAsFloatValue(double Value) override;
    void SetAsSingleValue(float Value) override;
    void SetAsExtendedValue(long double Value) override { SetAsFloatValue(static_cast<double>(Value)); }
    void SetAsCurrencyValue(TCurrency Value) override { SetAsStringValue(CurrencyToStr(Value)); }
    void SetAsBCDValue(const TBcd& Value) override { SetAsStringValue(BcdToStr(Value)); }
    void SetAsLongWordValue(std::uint32_t Value) override { SetAsLargeIntValue(Value); }

private:
    bool FFixedChar = false;
    bool FTransliterate = true;
};

// UTF-16 text, zero-terminated in the record.
class TWideStringField : public TStringField {
    DATA_FIELD_CLASS(TWideStringField)
public:
    explicit TWideStringField(rtl::TComponent* AOwner);
    bool GetValue(rtl::String& Value) const override;

protected:
    int GetDataSize() const override { return 2 * Size() + 2; }
    int GetIOSize() const override;
    void SetAsStringValue(const rtl::String& Value) override;
};

// A GUID kept as its 38-character text.
class TGuidField : public TStringField {
    DATA_FIELD_CLASS(TGuidField)
public:
    explicit TGuidField(rtl::TComponent* AOwner);

protected:
    // A text that is no GUID fails with EConvertError.
    TGUID GetAsGuid() const override;
    void SetAsGuidValue(const TGUID& Value) override { SetAsStringValue(GUIDToString(Value)); }
};

}  // namespace data
