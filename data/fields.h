#pragma once
// The base of the field model: TField, which reads a value of the active
// record through its dataset and turns it into text, and TFields, the ordered
// field collection of a dataset with its name dictionary.
//
// The field classes live by family:
//   data/string_fields.h     TStringField, TWideStringField, TGuidField
//   data/number_fields.h     TNumericField, the integer fields (TIntegerField,
//                            TSmallintField, TShortintField, TByteField,
//                            TWordField, TAutoIncField, TLargeintField,
//                            TLongWordField) and the floating-point and decimal
//                            ones (TFloatField, TCurrencyField, TExtendedField,
//                            TSingleField, TBCDField, TFMTBCDField)
//   data/blob_fields.h       TBlobField, TMemoField, TWideMemoField, TGraphicField
//   data/date_time_fields.h  TDateTimeField, TDateField, TTimeField,
//                            TSQLTimeStampField, TSQLTimeStampOffsetField
//   data/boolean_fields.h    TBooleanField
//   data/bytes_fields.h      TBytesField, TVarBytesField
//   data/variant_fields.h    TVariantField
//   data/interface_fields.h  TInterfaceField, TIDispatchField
//   data/structured_fields.h TObjectField, TADTField, TArrayField,
//                            TDataSetField, TReferenceField

#include <bitset>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/field_types.h"
#include "rtl/component.h"
#include "rtl/variant.h"

namespace data {

class TDataSet;
class TFieldDef;
class TFields;
class TObjectField;

using TValueBuffer = rtl::TBytes;
using TFieldNotifyEvent = std::function<void(TField& Sender)>;
using TFieldGetTextEvent = std::function<void(TField& Sender, rtl::String& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField& Sender, const rtl::String& Text)>;

// A set of 8-bit characters.
using TFieldChars = std::bitset<256>;

// The key-to-result pairs of a lookup field: a key holds one value per key
// field, in the order of the field's LookupKeyFields.
class TLookupList {
public:
    using TKey = std::vector<rtl::Variant>;
    virtual ~TLookupList() = default;
    // A key already present keeps its first result.
    virtual void Add(const TKey& AKey, const rtl::Variant& AValue);
    virtual void Clear() { FList.clear(); }
    // The result for the key; null when the key is absent.
    virtual rtl::Variant ValueOfKey(const TKey& AKey) const;
    int Count() const { return static_cast<int>(FList.size()); }

private:
    std::vector<std::pair<TKey, rtl::Variant>> FList;
};
// Makes the lookup list of a lookup field.
using TLookupListClass = std::unique_ptr<TLookupList> (*)();
// The default lookup list class: a plain TLookupList.
std::unique_ptr<TLookupList> NewLookupList();

// Declares the class value of a field class (see TFieldClassInfo); used by
// the family headers, and defined by DEFINE_FIELD_CLASS in their sources.
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
    void SetAsLongWord(std::uint32_t Value) { SetAsLongWordValue(Value); }
    rtl::TBytes AsBytes() const { return GetAsBytes(); }
    void SetAsBytes(const rtl::TBytes& Value) { SetAsBytesValue(Value); }
    void SetAsAnsiString(const std::string& Value) { SetAsAnsiStringValue(Value); }
    rtl::Variant AsVariant() const { return GetAsVariant(); }
    void SetAsVariant(const rtl::Variant& Value);
    // The typed forms below give the type's zero for a null value (a null
    // byte array is a null variant); a field class that has no such form
    // fails with "Cannot access field '%s' as type %s".
    float AsSingle() const { return GetAsSingle(); }
    void SetAsSingle(float Value) { SetAsSingleValue(Value); }
    long double AsExtended() const { return GetAsExtended(); }
    void SetAsExtended(long double Value) { SetAsExtendedValue(Value); }
    TCurrency AsCurrency() const { return GetAsCurrency(); }
    void SetAsCurrency(TCurrency Value) { SetAsCurrencyValue(Value); }
    TBcd AsBCD() const { return GetAsBCD(); }
    void SetAsBCD(const TBcd& Value) { SetAsBCDValue(Value); }
    TDateTime AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(TDateTime Value) { SetAsDateTimeValue(Value); }
    TSQLTimeStamp AsSQLTimeStamp() const { return GetAsSQLTimeStamp(); }
    void SetAsSQLTimeStamp(const TSQLTimeStamp& Value) { SetAsSQLTimeStampValue(Value); }
    TSQLTimeStampOffset AsSQLTimeStampOffset() const { return GetAsSQLTimeStampOffset(); }
    void SetAsSQLTimeStampOffset(const TSQLTimeStampOffset& Value) { SetAsSQLTimeStampOffsetValue(Value); }
    TGUID AsGuid() const { return GetAsGuid(); }
    void SetAsGuid(const TGUID& Value) { SetAsGuidValue(Value); }
    // The value's bytes in a variant (varBytes), null for null; set from a
    // byte-array variant (a null or unassigned one clears).
    rtl::Variant AsByteArray() const { return GetAsByteArray(); }
    void SetAsByteArray(const rtl::Variant& Value) { SetAsByteArrayValue(Value); }
    // Sets the value to null.
    virtual void Clear();

    // The text for editing and for display (OnGetText first, else GetText).
    rtl::String Text() const;
    void SetText(const rtl::String& Value);
    rtl::String DisplayText() const;
    // The editing text in UTF-16; as every text here is UTF-16, Text unless
    // a class says otherwise.
    rtl::String WideText() const { return GetWideText(); }
    void SetWideText(const rtl::String& Value) { SetWideTextValue(Value); }

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
    // Whether an editor may accept the character for this field: any one
    // while ValidChars is empty (the default), else only the 8-bit
    // characters in the set.
    virtual bool IsValidChar(char16_t Ch) const;
    const TFieldChars& ValidChars() const { return FValidChars; }
    void SetValidChars(const TFieldChars& Value) { FValidChars = Value; }

    // Constraint texts, kept for the providers and editors that use them.
    const rtl::String& AttributeSet() const { return FAttributeSet; }
    void SetAttributeSet(rtl::StringView Value) { FAttributeSet = rtl::String(Value); }
    const rtl::String& CustomConstraint() const { return FCustomConstraint; }
    void SetCustomConstraint(rtl::StringView Value) { FCustomConstraint = rtl::String(Value); }
    const rtl::String& ImportedConstraint() const { return FImportedConstraint; }
    void SetImportedConstraint(rtl::StringView Value) { FImportedConstraint = rtl::String(Value); }
    const rtl::String& ConstraintErrorMessage() const { return FConstraintErrorMessage; }
    void SetConstraintErrorMessage(rtl::StringView Value) { FConstraintErrorMessage = rtl::String(Value); }
    const rtl::String& DefaultExpression() const { return FDefaultExpression; }
    void SetDefaultExpression(rtl::StringView Value) { FDefaultExpression = rtl::String(Value); }
    // A custom or imported constraint or a default expression is set.
    bool HasConstraints() const { return GetHasConstraints(); }

    // Lookup settings: a field of kind fkLookup shows the LookupResultField
    // of the LookupDataSet record whose LookupKeyFields equal this dataset's
    // KeyFields (names separated by ";"). With LookupCache the pairs are read
    // into LookupList when the field binds.
    bool Lookup() const { return FFieldKind == fkLookup; }
    TDataSet* LookupDataSet() const { return FLookupDataSet; }
    void SetLookupDataSet(TDataSet* Value) { FLookupDataSet = Value; }
    const rtl::String& KeyFields() const { return FKeyFields; }
    void SetKeyFields(rtl::StringView Value) { FKeyFields = rtl::String(Value); }
    const rtl::String& LookupKeyFields() const { return FLookupKeyFields; }
    void SetLookupKeyFields(rtl::StringView Value) { FLookupKeyFields = rtl::String(Value); }
    const rtl::String& LookupResultField() const { return FLookupResultField; }
    void SetLookupResultField(rtl::StringView Value) { FLookupResultField = rtl::String(Value); }
    bool LookupCache() const { return FLookupCache; }
    void SetLookupCache(bool Value) { FLookupCache = Value; }
    // Made by the first bind as a lookup field; null before.
    TLookupList* LookupList() const { return FLookupList.get(); }
    // Reads every record of the active lookup dataset into the lookup list
    // (which stays empty when the dataset is closed or a name is missing); a
    // name the lookup dataset lacks fails with "Field '%s' not found". The
    // lookup dataset's position is kept.
    void RefreshLookupList();

    // Copies a value in this field's native form (DataSize bytes) from
    // Source to Dest; the array form sizes Dest to DataSize and zero-fills
    // what a shorter Source lacks.
    virtual void CopyData(const void* Source, void* Dest) const;
    virtual void CopyData(const TValueBuffer& Source, TValueBuffer& Dest) const;
    // Sets the value through the setter of the value's own type (null or
    // unassigned clears), so a field takes any value it has a setter for.
    virtual void AssignValue(const rtl::Variant& Value);

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
    // Takes the properties of a field definition: its type (SetFieldType),
    // size, Required from faRequired, ReadOnly from faReadonly and kind
    // fkInternalCalc for an internal calculated definition.
    virtual void SetFieldProps(const TFieldDef& FieldDef);
    // The other way: gives a definition this field's type, size, required
    // and read-only attributes and internal calculation.
    virtual void SetFieldDefProps(TFieldDef& FieldDef) const;
    virtual void Bind(bool Binding);
    virtual void Change();
    virtual void FreeBuffers();

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

protected:
    virtual TBcd GetAsBCD() const;
    virtual bool GetAsBoolean() const;
    virtual rtl::Variant GetAsByteArray() const;
    virtual TCurrency GetAsCurrency() const;
    virtual TDateTime GetAsDateTime() const;
    virtual float GetAsSingle() const;
    virtual long double GetAsExtended() const;
    virtual TSQLTimeStamp GetAsSQLTimeStamp() const;
    virtual TSQLTimeStampOffset GetAsSQLTimeStampOffset() const;
    virtual TGUID GetAsGuid() const;
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
    virtual bool GetHasConstraints() const;
    virtual TLookupListClass GetLookupListClass() const;
    virtual rtl::String GetClassDesc() const;
    virtual int GetDataSize() const;
    virtual int GetIOSize() const;
    virtual int GetDefaultWidth() const;
    virtual int GetFieldNo() const { return FFieldNo; }
    virtual bool GetIsNull() const;
    virtual int GetSize() const { return FSize; }
    virtual void GetText(rtl::String& Text, bool DisplayText) const;
    virtual rtl::String GetWideText() const { return Text(); }
    virtual void SetWideTextValue(const rtl::String& Value) { SetText(Value); }
    virtual void SetAsBCDValue(const TBcd& Value);
    virtual void SetAsBooleanValue(bool Value);
    virtual void SetAsByteArrayValue(const rtl::Variant& Value);
    virtual void SetAsCurrencyValue(TCurrency Value);
    virtual void SetAsDateTimeValue(TDateTime Value);
    virtual void SetAsSingleValue(float Value);
    virtual void SetAsExtendedValue(long double Value);
    virtual void SetAsSQLTimeStampValue(const TSQLTimeStamp& Value);
    virtual void SetAsSQLTimeStampOffsetValue(const TSQLTimeStampOffset& Value);
    virtual void SetAsGuidValue(const TGUID& Value);
    virtual void SetAsLongWordValue(std::uint32_t Value);
    virtual void SetAsBytesValue(const rtl::TBytes& Value);
    virtual void SetAsAnsiStringValue(const std::string& Value);
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
    TDataSet* FLookupDataSet = nullptr;
    rtl::String FKeyFields;
    rtl::String FLookupKeyFields;
    rtl::String FLookupResultField;
    bool FLookupCache = false;
    std::unique_ptr<TLookupList> FLookupList;
    rtl::String FAttributeSet;
    rtl::String FCustomConstraint;
    rtl::String FImportedConstraint;
    rtl::String FConstraintErrorMessage;
    rtl::String FDefaultExpression;
    rtl::String FOrigin;
    TProviderFlags FProviderFlags{pfInUpdate, pfInWhere};
    TObjectField* FParentField = nullptr;
    TFieldChars FValidChars;
    TFieldLifeCycle FLifeCycle = lcPersistent;
    TValueBuffer* FIOBuffer = nullptr;
    mutable TValueBuffer FOwnIOBuffer;
};

template <class T>
bool TField::ReadValue(T& Value) const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return false;
    std::memcpy(&Value, buf, sizeof(T));
    return true;
}

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
