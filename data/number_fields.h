#pragma once
// Number fields: integers of every stored width (TIntegerField and its
// descendants, TLargeintField, TLongWordField) and floating-point and decimal
// numbers (TFloatField and its descendants), with their display and edit
// formats.

#include <array>
#include <cstdint>
#include <functional>

#include "data/fields.h"

namespace data {

// Formats a number field's text when a DisplayFormat or EditFormat is set;
// the runtime's float formatter, replaceable (FormatFloat by default).
using TFormatFloatProc = std::function<rtl::String(rtl::StringView Format, double Value)>;
extern TFormatFloatProc FormatFloatProc;
// The default float formatter: "0" and "#" digit places, "." decimal point,
// "," thousands grouping, other characters copied, ";" starts the negative section.
rtl::String FormatFloat(rtl::StringView Format, double Value);

// The 10-byte extended format, little-endian: a 64-bit significand whose top
// bit is the integer bit, then 15 bits of exponent (bias 16383) and the sign
// bit. Converting a long double narrower than the format loses nothing;
// reading into one rounds the significand to what it holds.
using TExtendedBytes = std::array<std::uint8_t, 10>;
TExtendedBytes ExtendedToBytes(long double Value);
long double BytesToExtended(const TExtendedBytes& Bytes);

// Base of the number fields: right-aligned, with display and edit formats.
class TNumericField : public TField {
public:
    explicit TNumericField(rtl::TComponent* AOwner);
    const rtl::String& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(rtl::StringView Value) { FDisplayFormat = rtl::String(Value); }
    const rtl::String& EditFormat() const { return FEditFormat; }
    void SetEditFormat(rtl::StringView Value) { FEditFormat = rtl::String(Value); }

protected:
    // The other numeric forms, through AsFloat (the decimal one through the
    // value's text, which is exact for integers) and the float and integer
    // setters.
    float GetAsSingle() const override { return static_cast<float>(GetAsFloat()); }
    long double GetAsExtended() const override { return GetAsFloat(); }
    TCurrency GetAsCurrency() const override { return DoubleToCurrency(GetAsFloat()); }
    TBcd GetAsBCD() const override;
    void SetAsSingleValue(float Value) override { SetAsFloatValue(Value); }
    void SetAsExtendedValue(long double Value) override { SetAsFloatValue(static_cast<double>(Value)); }
    void SetAsCurrencyValue(TCurrency Value) override { SetAsFloatValue(CurrencyToDouble(Value)); }
    void SetAsBCDValue(const TBcd& Value) override { SetAsFloatValue(BcdToDouble(Value)); }
    void SetAsLongWordValue(std::uint32_t Value) override { SetAsLargeIntValue(Value); }
    // The format GetText applies: DisplayFormat for display or when no edit
    // format is set, else EditFormat.
    const rtl::String& TextFormat(bool DisplayText) const;
    // Text of an integer value: the format through FormatFloatProc, or the
    // plain decimal number.
    rtl::String IntegerText(std::int64_t Value, bool DisplayText) const;
    // Stores an integer given as text: empty clears, anything but a decimal
    // number fails with "Invalid value for field '%s'".
    void SetIntegerText(const rtl::String& Value);
    // Value rounded half away from zero; "Invalid value for field '%s'" when
    // it lies outside the 64-bit range.
    std::int64_t RoundedValue(double Value) const;

private:
    rtl::String FDisplayFormat;
    rtl::String FEditFormat;
};

// 32-bit signed integers; the descendants narrow the stored width.
class TIntegerField : public TNumericField {
    DATA_FIELD_CLASS(TIntegerField)
public:
    explicit TIntegerField(rtl::TComponent* AOwner);
    bool GetValue(std::int32_t& Value) const;
    std::int32_t MinValue() const { return FMinRange; }
    std::int32_t MaxValue() const { return FMaxRange; }

protected:
    void SetRange(std::int32_t Min, std::int32_t Max) {
        FMinRange = Min;
        FMaxRange = Max;
    }
    int GetDataSize() const override;
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void GetText(rtl::String& Text, bool DisplayText) const override;
    void SetAsIntegerValue(std::int32_t Value) override;
    void SetAsLargeIntValue(std::int64_t Value) override;
    void SetAsStringValue(const rtl::String& Value) override;
    void SetAsFloatValue(double Value) override;

private:
    std::int32_t FMinRange;
    std::int32_t FMaxRange;
};

class TSmallintField : public TIntegerField {
    DATA_FIELD_CLASS(TSmallintField)
public:
    explicit TSmallintField(rtl::TComponent* AOwner);
};
class TShortintField : public TIntegerField {
    DATA_FIELD_CLASS(TShortintField)
public:
    explicit TShortintField(rtl::TComponent* AOwner);
};
class TByteField : public TIntegerField {
    DATA_FIELD_CLASS(TByteField)
public:
    explicit TByteField(rtl::TComponent* AOwner);
};
class TWordField : public TIntegerField {
    DATA_FIELD_CLASS(TWordField)
public:
    explicit TWordField(rtl::TComponent* AOwner);
};
class TAutoIncField : public TIntegerField {
    DATA_FIELD_CLASS(TAutoIncField)
public:
    explicit TAutoIncField(rtl::TComponent* AOwner);
};

// 64-bit signed integers.
class TLargeintField : public TNumericField {
    DATA_FIELD_CLASS(TLargeintField)
public:
    explicit TLargeintField(rtl::TComponent* AOwner);
    bool GetValue(std::int64_t& Value) const;

protected:
    int GetDataSize() const override { return 8; }
    int GetDefaultWidth() const override { return 15; }
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void GetText(rtl::String& Text, bool DisplayText) const override;
    void SetAsIntegerValue(std::int32_t Value) override { SetAsLargeIntValue(Value); }
    void SetAsLargeIntValue(std::int64_t Value) override;
    void SetAsStringValue(const rtl::String& Value) override;
    // Rounded half away from zero.
    void SetAsFloatValue(double Value) override { SetAsLargeIntValue(RoundedValue(Value)); }
};

// 32-bit unsigned integers.
class TLongWordField : public TNumericField {
    DATA_FIELD_CLASS(TLongWordField)
public:
    explicit TLongWordField(rtl::TComponent* AOwner);
    bool GetValue(std::uint32_t& Value) const;

protected:
    int GetDataSize() const override { return 4; }
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    std::uint32_t GetAsLongWord() const override;
    double GetAsFloat() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void GetText(rtl::String& Text, bool DisplayText) const override;
    void SetAsLargeIntValue(std::int64_t Value) override;
    void SetAsIntegerValue(std::int32_t Value) override { SetAsLargeIntValue(Value); }
    void SetAsStringValue(const rtl::String& Value) override;
    // Rounded half away from zero.
    void SetAsFloatValue(double Value) override { SetAsLargeIntValue(RoundedValue(Value)); }
};

// Floating-point numbers, stored as a double (TSingleField: a float).
class TFloatField : public TNumericField {
    DATA_FIELD_CLASS(TFloatField)
public:
    explicit TFloatField(rtl::TComponent* AOwner);
    bool GetValue(double& Value) const;

protected:
    int GetDataSize() const override { return 8; }
    double GetAsFloat() const override;
    std::int32_t GetAsInteger() const override;
    std::int64_t GetAsLargeInt() const override;
    rtl::String GetAsString() const override;
    rtl::Variant GetAsVariant() const override;
    void GetText(rtl::String& Text, bool DisplayText) const override;
    void SetAsFloatValue(double Value) override;
    void SetAsIntegerValue(std::int32_t Value) override { SetAsFloatValue(Value); }
    void SetAsLargeIntValue(std::int64_t Value) override { SetAsFloatValue(static_cast<double>(Value)); }
    virtual bool ReadDouble(double& Value) const;
    virtual void WriteDouble(double Value);
};
class TCurrencyField : public TFloatField {
    DATA_FIELD_CLASS(TCurrencyField)
public:
    explicit TCurrencyField(rtl::TComponent* AOwner);
};
// Floating-point numbers of extended precision, stored in the 10-byte
// extended format (see ExtendedToBytes); AsExtended gives all that a long
// double keeps of the value, the other forms go through a double.
class TExtendedField : public TFloatField {
    DATA_FIELD_CLASS(TExtendedField)
public:
    explicit TExtendedField(rtl::TComponent* AOwner);
    using TFloatField::GetValue;
    bool GetValue(long double& Value) const;

protected:
    int GetDataSize() const override { return 10; }
    long double GetAsExtended() const override;
    void SetAsExtendedValue(long double Value) override;
    bool ReadDouble(double& Value) const override;
    void WriteDouble(double Value) override;
};
class TSingleField : public TFloatField {
    DATA_FIELD_CLASS(TSingleField)
public:
    explicit TSingleField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return 4; }
    bool ReadDouble(double& Value) const override;
    void WriteDouble(double Value) override;
};
// Fixed-point numbers kept as a 64-bit count of ten-thousandths.
class TBCDField : public TFloatField {
    DATA_FIELD_CLASS(TBCDField)
public:
    explicit TBCDField(rtl::TComponent* AOwner);

protected:
    bool ReadDouble(double& Value) const override;
    void WriteDouble(double Value) override;
    // The stored count is a currency value: read and written exactly.
    TCurrency GetAsCurrency() const override;
    TBcd GetAsBCD() const override;
    void SetAsCurrencyValue(TCurrency Value) override;
    void SetAsBCDValue(const TBcd& Value) override { SetAsCurrencyValue(BcdToCurrency(Value)); }
};
// Decimal numbers of a stated precision, stored as a double here.
class TFMTBCDField : public TFloatField {
    DATA_FIELD_CLASS(TFMTBCDField)
public:
    explicit TFMTBCDField(rtl::TComponent* AOwner);
};

}  // namespace data
