#pragma once
// The field model: TField and its family, which read the values of the active
// record through their dataset and turn them into text, and TFields, the
// ordered field collection of a dataset with its name dictionary.

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "data/field_types.h"
#include "rtl/component.h"
#include "rtl/variant.h"

namespace rtl { class TStream; }

namespace data {

class TDataSet;
class TFieldDef;
class TFields;
class TObjectField;

using TValueBuffer = rtl::TBytes;
using TFieldNotifyEvent = std::function<void(TField& Sender)>;
using TFieldGetTextEvent = std::function<void(TField& Sender, rtl::String& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField& Sender, const rtl::String& Text)>;

// Formatting hooks of the runtime used by number and string fields when a
// DisplayFormat/EditFormat or an EditMask is set; replaceable.
using TFormatFloatProc = std::function<rtl::String(rtl::StringView Format, double Value)>;
using TFormatMaskTextProc = std::function<rtl::String(rtl::StringView EditMask, rtl::StringView Value)>;
extern TFormatFloatProc FormatFloatProc;
extern TFormatMaskTextProc FormatMaskTextProc;
// The default float formatter: "0" and "#" digit places, "." decimal point,
// "," thousands grouping, other characters copied, ";" starts the negative section.
rtl::String FormatFloat(rtl::StringView Format, double Value);

// Declares the class value of a field class (see TFieldClassInfo).
#define DATA_FIELD_CLASS(Cls)                                     \
public:                                                           \
    static const TFieldClassInfo ClassInfo;                       \
    TFieldClass ClassType() const override { return &ClassInfo; } \
                                                                  \
private:

// A column of the dataset's current record. Values are read through the
// dataset (GetFieldData, CreateBlobStream) into the dataset's shared I/O
// buffer; nothing is cached in the field.
class TField : public rtl::TComponent {
public:
    static const TFieldClassInfo ClassInfo;
    virtual TFieldClass ClassType() const { return &ClassInfo; }
    rtl::String ClassName() const { return ClassType()->ClassName; }
    bool IsBlob() const { return ClassType()->IsBlob(); }

    explicit TField(rtl::TComponent* AOwner);
    ~TField() override;

    TDataSet* DataSet() const { return FDataSet; }
    // Attaches the field to a closed dataset ("Field name missing",
    // "Duplicate field name '%s'"); the life cycle follows the dataset's
    // automatic-fields scope.
    virtual void SetDataSet(TDataSet* Value);
    const rtl::String& FieldName() const { return FFieldName; }
    void SetFieldName(rtl::StringView Value);
    // The name qualified by the parent fields' names ("Parent.Child").
    rtl::String FullName() const;
    TFieldType DataType() const { return FDataType; }
    int Size() const { return GetSize(); }
    virtual void SetSize(int Value);
    int FieldNo() const { return GetFieldNo(); }
    TFieldKind FieldKind() const { return FFieldKind; }
    virtual void SetFieldKind(TFieldKind Value);
    TFieldLifeCycle LifeCycle() const { return FLifeCycle; }
    int Offset() const { return FOffset; }
    int DataSize() const { return GetDataSize(); }
    int IOSize() const { return GetIOSize(); }
    TFields* Collection() const { return FFields; }
    TObjectField* ParentField() const { return FParentField; }
    virtual void SetParentField(TObjectField* Value);

    bool IsNull() const { return GetIsNull(); }
    rtl::String AsString() const { return GetAsString(); }
    void SetAsString(const rtl::String& Value) { SetAsStringValue(Value); }
    rtl::String AsWideString() const { return GetAsWideString(); }
    void SetAsWideString(const rtl::String& Value) { SetAsWideStringValue(Value); }
    std::string AsAnsiString() const { return GetAsAnsiString(); }
    std::int32_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(std::int32_t Value) { SetAsIntegerValue(Value); }
    std::int64_t AsLargeInt() const { return GetAsLargeInt(); }
    void SetAsLargeInt(std::int64_t Value) { SetAsLargeIntValue(Value); }
    std::uint32_t AsLongWord() const { return GetAsLongWord(); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double Value) { SetAsFloatValue(Value); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool Value) { SetAsBooleanValue(Value); }
    rtl::TBytes AsBytes() const { return GetAsBytes(); }
    rtl::Variant AsVariant() const { return GetAsVariant(); }
    void SetAsVariant(const rtl::Variant& Value);
    // Sets the value to null.
    virtual void Clear();

    // The text for editing and for display (OnGetText first, else GetText).
    rtl::String Text() const;
    void SetText(const rtl::String& Value);
    rtl::String DisplayText() const;

    int DisplayWidth() const;
    void SetDisplayWidth(int Value) { FDisplayWidth = Value; }
    rtl::String DisplayLabel() const;
    void SetDisplayLabel(rtl::StringView Value);
    // The display label, or the field name when no label is set.
    rtl::String DisplayName() const { return DisplayLabel(); }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool Required() const { return FRequired; }
    void SetRequired(bool Value) { FRequired = Value; }
    bool CanModify() const { return GetCanModify(); }
    const rtl::String& EditMask() const { return FEditMask; }
    void SetEditMask(rtl::StringView Value) { FEditMask = rtl::String(Value); }
    TProviderFlags ProviderFlags() const { return FProviderFlags; }
    void SetProviderFlags(TProviderFlags Value) { FProviderFlags = Value; }
    const rtl::String& Origin() const { return FOrigin; }
    void SetOrigin(rtl::StringView Value) { FOrigin = rtl::String(Value); }
    bool IsIndexField() const;
    // Whether an editor may accept the character for this field.
    virtual bool IsValidChar(char16_t Ch) const;

    // Reads the value of the active record into Buffer (at least DataSize
    // bytes; null Buffer only asks whether a value exists); false for null.
    bool GetData(void* Buffer, bool NativeFormat = true) const;
    bool GetData(TValueBuffer& Buffer, bool NativeFormat = true) const;
    // Writes a value (null Buffer: null) through the dataset.
    void SetData(const void* Buffer, bool NativeFormat = true);
    // Runs OnValidate with Buffer as the pending value; called by the
    // dataset before it stores a new value.
    void Validate(const void* Buffer);
    void FocusControl();

    // Called by the dataset when binding: the field's place in the record.
    void SetFieldNo(int Value) { FFieldNo = Value; }
    void SetOffset(int Value) { FOffset = Value; }
    void SetIOBuffer(TValueBuffer* Value) { FIOBuffer = Value; }
    virtual void SetFieldType(TFieldType Value);
    // Takes the properties of a field definition (type, size, required,
    // read-only, internal calculation).
    virtual void SetFieldDefProps(const TFieldDef& FieldDef);
    virtual void Bind(bool Binding);
    virtual void Change();
    virtual void FreeBuffers();

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

protected:
    virtual bool GetAsBoolean() const;
    virtual rtl::TBytes GetAsBytes() const;
    virtual double GetAsFloat() const;
    virtual std::int32_t GetAsInteger() const;
    virtual std::int64_t GetAsLargeInt() const;
    virtual std::uint32_t GetAsLongWord() const;
    virtual rtl::String GetAsString() const;
    virtual rtl::String GetAsWideString() const;
    virtual std::string GetAsAnsiString() const;
    virtual rtl::Variant GetAsVariant() const;
    virtual bool GetCanModify() const;
    virtual rtl::String GetClassDesc() const;
    virtual int GetDataSize() const;
    virtual int GetIOSize() const;
    virtual int GetDefaultWidth() const;
    virtual int GetFieldNo() const { return FFieldNo; }
    virtual bool GetIsNull() const;
    virtual int GetSize() const { return FSize; }
    virtual void GetText(rtl::String& Text, bool DisplayText) const;
    virtual void SetAsBooleanValue(bool Value);
    virtual void SetAsFloatValue(double Value);
    virtual void SetAsIntegerValue(std::int32_t Value);
    virtual void SetAsLargeIntValue(std::int64_t Value);
    virtual void SetAsStringValue(const rtl::String& Value);
    virtual void SetAsWideStringValue(const rtl::String& Value);
    virtual void SetVarValue(const rtl::Variant& Value);
    virtual void SetTextValue(const rtl::String& Value);

    // "Cannot access field '%s' as type %s".
    [[noreturn]] void AccessError(rtl::StringView TypeName) const;
    // The shared I/O buffer (or this field's own one while unbound), at
    // least IOSize bytes long.
    std::uint8_t* IOBuffer() const;
    // Reads a fixed-size value into Value through the I/O buffer.
    template <class T>
    bool ReadValue(T& Value) const;
    void SetDataSize(int Value) { FSize = Value; }
    void SetDataTypeRaw(TFieldType Value) { FDataType = Value; }

private:
    friend class TFields;
    friend class TDataSet;

    TDataSet* FDataSet = nullptr;
    rtl::String FFieldName;
    TFields* FFields = nullptr;
    TFieldType FDataType = ftUnknown;
    bool FReadOnly = false;
    TFieldKind FFieldKind = fkData;
    TAlignment FAlignment = taLeftJustify;
    bool FVisible = true;
    bool FRequired = false;
    bool FValidating = false;
    int FSize = 0;
    int FOffset = 0;
    int FFieldNo = 0;
    int FDisplayWidth = 0;
    rtl::String FDisplayLabel;
    rtl::String FEditMask;
    const void* FValueBuffer = nullptr;
    rtl::String FOrigin;
    TProviderFlags FProviderFlags{pfInUpdate, pfInWhere};
    TObjectField* FParentField = nullptr;
    TFieldLifeCycle FLifeCycle = lcPersistent;
    TValueBuffer* FIOBuffer = nullptr;
    mutable TValueBuffer FOwnIOBuffer;
};

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
    void SetFieldDefProps(const TFieldDef& FieldDef) override;
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
};

// Base of the number fields: right-aligned, with display and edit formats.
class TNumericField : public TField {
public:
    explicit TNumericField(rtl::TComponent* AOwner);
    const rtl::String& DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(rtl::StringView Value) { FDisplayFormat = rtl::String(Value); }
    const rtl::String& EditFormat() const { return FEditFormat; }
    void SetEditFormat(rtl::StringView Value) { FEditFormat = rtl::String(Value); }

protected:
    // The format GetText applies: DisplayFormat for display or when no edit
    // format is set, else EditFormat.
    const rtl::String& TextFormat(bool DisplayText) const;
    // Text of an integer value: the format through FormatFloatProc, or the
    // plain decimal number.
    rtl::String IntegerText(std::int64_t Value, bool DisplayText) const;
    // Stores an integer given as text: empty clears, anything but a decimal
    // number fails with "Invalid value for field '%s'".
    void SetIntegerText(const rtl::String& Value);

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
    void SetRange(std::int32_t Min, std::int32_t Max) { FMinRange = Min; FMaxRange = Max; }
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
class TExtendedField : public TFloatField {
    DATA_FIELD_CLASS(TExtendedField)
public:
    explicit TExtendedField(rtl::TComponent* AOwner);
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
};
// Decimal numbers of a stated precision, stored as a double here.
class TFMTBCDField : public TFloatField {
    DATA_FIELD_CLASS(TFMTBCDField)
public:
    explicit TFMTBCDField(rtl::TComponent* AOwner);
};

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
};
class TVarBytesField : public TBytesField {
    DATA_FIELD_CLASS(TVarBytesField)
public:
    explicit TVarBytesField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size() + 2; }
    rtl::TBytes GetAsBytes() const override;
    void SetAsStringValue(const rtl::String& Value) override;
};

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

// Interface references; nothing on the system's path holds one.
class TInterfaceField : public TField {
    DATA_FIELD_CLASS(TInterfaceField)
public:
    explicit TInterfaceField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return sizeof(void*); }
};
class TIDispatchField : public TInterfaceField {
    DATA_FIELD_CLASS(TIDispatchField)
public:
    explicit TIDispatchField(rtl::TComponent* AOwner);
};

// Structured fields: their values are the child fields.
class TObjectField : public TField {
public:
    explicit TObjectField(rtl::TComponent* AOwner);
    ~TObjectField() override;
    TFields& Fields() { return *FFields; }

protected:
    int GetDataSize() const override { return 0; }

private:
    std::unique_ptr<TFields> FFields;
};
class TADTField : public TObjectField {
    DATA_FIELD_CLASS(TADTField)
public:
    explicit TADTField(rtl::TComponent* AOwner);
};
class TArrayField : public TObjectField {
    DATA_FIELD_CLASS(TArrayField)
public:
    explicit TArrayField(rtl::TComponent* AOwner);
};
// A nested dataset's field; nested datasets are not built here.
class TDataSetField : public TObjectField {
    DATA_FIELD_CLASS(TDataSetField)
public:
    explicit TDataSetField(rtl::TComponent* AOwner);
};
class TReferenceField : public TDataSetField {
    DATA_FIELD_CLASS(TReferenceField)
public:
    explicit TReferenceField(rtl::TComponent* AOwner);

protected:
    int GetDataSize() const override { return Size(); }
};

#undef DATA_FIELD_CLASS

// Frees a field through its owner, or directly when it has none (a field
// without an owner belongs to the collection it joined).
void FreeField(TField* Field);

// The fields of one dataset (or of one structured field), in order, with a
// dictionary keyed by the lower-cased field name.
class TFields {
public:
    explicit TFields(TDataSet* DataSet, TObjectField* ParentField = nullptr);
    // Frees every field.
    ~TFields();
    TFields(const TFields&) = delete;
    TFields& operator=(const TFields&) = delete;

    int Count() const { return static_cast<int>(FList.size()); }
    TField* Fields(int Index) const;
    TField* operator[](int Index) const { return Fields(Index); }
    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }

    // Fails with "Invalid FieldKind" for a kind the collection does not accept.
    void Add(TField* Field);
    void Remove(TField* Field);
    // Frees every field / every automatic field.
    void Clear();
    void ClearAutomatic();
    int IndexOf(const TField* Field) const;
    // Letter case ignored; null when absent.
    TField* FindField(rtl::StringView FieldName) const;
    // Fails with "Field '%s' not found" (prefixed with the dataset's name).
    TField* FieldByName(rtl::StringView FieldName) const;
    TField* FieldByNumber(int FieldNo) const;
    void SetFieldIndex(TField* Field, int Index);
    void CheckFieldKind(TFieldKind FieldKind, const TField* Field) const;

    TFieldKinds ValidFieldKinds() const { return FValidFieldKinds; }
    void SetValidFieldKinds(TFieldKinds Value) { FValidFieldKinds = Value; }
    int AutomaticCount() const { return FAutomaticCount; }
    TFieldLifeCycles GetLifeCycles() const;
    TDataSet* DataSet() const;
    TObjectField* ParentField() const { return FParentField; }

private:
    friend class TField;
    void Renamed(TField* Field, rtl::StringView OldName);
    void Changed();

    TDataSet* FDataSet;
    TObjectField* FParentField;
    std::vector<TField*> FList;
    std::unordered_map<rtl::String, TField*, rtl::TextHasher, rtl::TextEqual> FDict;
    TFieldKinds FValidFieldKinds{fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate};
    int FAutomaticCount = 0;
};

}  // namespace data
