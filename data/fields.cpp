#include "data/fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/dataset.h"
#include "data/db_error.h"
#include "data/field_defs.h"
#include "rtl/format.h"
#include "rtl/stream.h"

namespace data {

namespace {

template <class T>
TField* MakeField(rtl::TComponent* Owner) {
    return new T(Owner);  // owned by Owner (or by the collection it joins)
}
bool NotBlob() { return false; }
bool Blob() { return true; }
void AnySize(int) {}

// 8-bit text is Latin-1: each byte is one character.
rtl::String Widen(const std::uint8_t* Bytes, std::size_t Count) {
    rtl::String s(Count, u'\0');
    for (std::size_t i = 0; i < Count; ++i) s[i] = Bytes[i];
    return s;
}
std::string Narrow(rtl::StringView Text) {
    std::string s(Text.size(), '\0');
    for (std::size_t i = 0; i < Text.size(); ++i) s[i] = Text[i] < 256 ? static_cast<char>(Text[i]) : '?';
    return s;
}

rtl::String DateText(int Year, int Month, int Day) {
    return rtl::Format(u"%.4d-%.2d-%.2d", {Year, Month, Day});
}
rtl::String TimeText(int Hour, int Minute, int Second) {
    return rtl::Format(u"%.2d:%.2d:%.2d", {Hour, Minute, Second});
}
rtl::String TimeStampText(const TSQLTimeStamp& T) {
    return DateText(T.Year, T.Month, T.Day) + u" " + TimeText(T.Hour, T.Minute, T.Second);
}

// Splits a date-time value (days since 1899-12-30) into its parts.
struct DateTimeParts {
    int Year, Month, Day, Hour, Minute, Second;
};
DateTimeParts DecodeDateTime(double Value) {
    std::int64_t ms = std::llround(Value * 86400000.0);
    std::int64_t days = ms / 86400000;
    std::int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    // Civil date from a day count (days since 1970-01-01 = days - 25569).
    std::int64_t z = days - 25569 + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    if (m <= 2) ++y;
    int secs = static_cast<int>(rest / 1000);
    return {static_cast<int>(y), m, d, secs / 3600, secs / 60 % 60, secs % 60};
}

}  // namespace

#define DEFINE_FIELD_CLASS(Cls, IsBlobFn, CheckFn) \
    const TFieldClassInfo Cls::ClassInfo{u"" #Cls, &MakeField<Cls>, IsBlobFn, CheckFn};

DEFINE_FIELD_CLASS(TField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TStringField, NotBlob, TStringField::CheckTypeSize)
DEFINE_FIELD_CLASS(TWideStringField, NotBlob, TStringField::CheckTypeSize)
DEFINE_FIELD_CLASS(TGuidField, NotBlob, TStringField::CheckTypeSize)
DEFINE_FIELD_CLASS(TIntegerField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSmallintField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TShortintField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TByteField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TWordField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TAutoIncField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TLargeintField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TLongWordField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TFloatField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TCurrencyField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TExtendedField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSingleField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TBCDField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TFMTBCDField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TBooleanField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TDateTimeField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TDateField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TTimeField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSQLTimeStampField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TSQLTimeStampOffsetField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TBytesField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TVarBytesField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TBlobField, Blob, AnySize)
DEFINE_FIELD_CLASS(TMemoField, Blob, AnySize)
DEFINE_FIELD_CLASS(TWideMemoField, Blob, AnySize)
DEFINE_FIELD_CLASS(TGraphicField, Blob, AnySize)
DEFINE_FIELD_CLASS(TVariantField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TInterfaceField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TIDispatchField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TADTField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TArrayField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TDataSetField, NotBlob, AnySize)
DEFINE_FIELD_CLASS(TReferenceField, NotBlob, AnySize)

const TFieldClass DefaultFieldClasses[FieldTypeCount] = {
    nullptr,                             // ftUnknown
    &TStringField::ClassInfo,            // ftString
    &TSmallintField::ClassInfo,          // ftSmallint
    &TIntegerField::ClassInfo,           // ftInteger
    &TWordField::ClassInfo,              // ftWord
    &TBooleanField::ClassInfo,           // ftBoolean
    &TFloatField::ClassInfo,             // ftFloat
    &TCurrencyField::ClassInfo,          // ftCurrency
    &TBCDField::ClassInfo,               // ftBCD
    &TDateField::ClassInfo,              // ftDate
    &TTimeField::ClassInfo,              // ftTime
    &TDateTimeField::ClassInfo,          // ftDateTime
    &TBytesField::ClassInfo,             // ftBytes
    &TVarBytesField::ClassInfo,          // ftVarBytes
    &TAutoIncField::ClassInfo,           // ftAutoInc
    &TBlobField::ClassInfo,              // ftBlob
    &TMemoField::ClassInfo,              // ftMemo
    &TGraphicField::ClassInfo,           // ftGraphic
    &TBlobField::ClassInfo,              // ftFmtMemo
    &TBlobField::ClassInfo,              // ftParadoxOle
    &TBlobField::ClassInfo,              // ftDBaseOle
    &TBlobField::ClassInfo,              // ftTypedBinary
    nullptr,                             // ftCursor
    &TStringField::ClassInfo,            // ftFixedChar
    &TWideStringField::ClassInfo,        // ftWideString
    &TLargeintField::ClassInfo,          // ftLargeint
    &TADTField::ClassInfo,               // ftADT
    &TArrayField::ClassInfo,             // ftArray
    &TReferenceField::ClassInfo,         // ftReference
    &TDataSetField::ClassInfo,           // ftDataSet
    &TBlobField::ClassInfo,              // ftOraBlob
    &TMemoField::ClassInfo,              // ftOraClob
    &TVariantField::ClassInfo,           // ftVariant
    &TInterfaceField::ClassInfo,         // ftInterface
    &TIDispatchField::ClassInfo,         // ftIDispatch
    &TGuidField::ClassInfo,              // ftGuid
    &TSQLTimeStampField::ClassInfo,      // ftTimeStamp
    &TFMTBCDField::ClassInfo,            // ftFMTBcd
    &TWideStringField::ClassInfo,        // ftFixedWideChar
    &TWideMemoField::ClassInfo,          // ftWideMemo
    &TSQLTimeStampField::ClassInfo,      // ftOraTimeStamp
    &TStringField::ClassInfo,            // ftOraInterval
    &TLongWordField::ClassInfo,          // ftLongWord
    &TShortintField::ClassInfo,          // ftShortint
    &TByteField::ClassInfo,              // ftByte
    &TExtendedField::ClassInfo,          // ftExtended
    nullptr,                             // ftConnection
    nullptr,                             // ftParams
    nullptr,                             // ftStream
    &TSQLTimeStampOffsetField::ClassInfo,  // ftTimeStampOffset
    nullptr,                             // ftObject
    &TSingleField::ClassInfo,            // ftSingle
};

// --- formatting hooks ---

rtl::String FormatFloat(rtl::StringView Format, double Value) {
    std::vector<rtl::StringView> sections;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= Format.size(); ++i)
        if (i == Format.size() || Format[i] == u';') {
            sections.push_back(Format.substr(start, i - start));
            start = i + 1;
        }
    rtl::StringView fmt = sections[0];
    bool minus = false;
    if (Value < 0 && sections.size() >= 2 && !sections[1].empty()) {
        fmt = sections[1];
        Value = -Value;
    } else if (Value == 0 && sections.size() >= 3 && !sections[2].empty()) {
        fmt = sections[2];
    } else if (Value < 0) {
        minus = true;
        Value = -Value;
    }
    auto isPlace = [](char16_t c) { return c == u'0' || c == u'#' || c == u'.' || c == u','; };
    std::size_t first = 0;
    while (first < fmt.size() && !isPlace(fmt[first])) ++first;
    std::size_t last = fmt.size();
    while (last > first && !isPlace(fmt[last - 1])) --last;
    rtl::StringView prefix = fmt.substr(0, first), core = fmt.substr(first, last - first),
                    suffix = fmt.substr(last);
    std::size_t dot = core.find(u'.');
    rtl::StringView intPart = core.substr(0, dot);
    rtl::StringView fracPart = dot == rtl::StringView::npos ? rtl::StringView() : core.substr(dot + 1);
    bool thousands = intPart.find(u',') != rtl::StringView::npos;
    int minInt = static_cast<int>(std::count(intPart.begin(), intPart.end(), u'0'));
    int maxFrac = static_cast<int>(std::count_if(fracPart.begin(), fracPart.end(),
                                                 [](char16_t c) { return c == u'0' || c == u'#'; }));
    int minFrac = static_cast<int>(std::count(fracPart.begin(), fracPart.end(), u'0'));

    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", maxFrac, Value);
    std::string digits(buf);
    std::size_t p = digits.find('.');
    std::string ip = digits.substr(0, p), fp = p == std::string::npos ? std::string() : digits.substr(p + 1);
    while (static_cast<int>(fp.size()) > minFrac && fp.back() == '0') fp.pop_back();
    if (ip == "0" && minInt == 0) ip.clear();
    while (static_cast<int>(ip.size()) < minInt) ip.insert(ip.begin(), '0');
    if (thousands)
        for (int i = static_cast<int>(ip.size()) - 3; i > 0; i -= 3) ip.insert(ip.begin() + i, ',');
    if (minus && (std::any_of(ip.begin(), ip.end(), [](char c) { return c > '0' && c <= '9'; }) ||
                  std::any_of(fp.begin(), fp.end(), [](char c) { return c > '0' && c <= '9'; })))
        ip.insert(ip.begin(), '-');
    rtl::String r(prefix);
    r += rtl::Utf8ToString(ip);
    if (!fp.empty()) r += u"." + rtl::Utf8ToString(fp);
    r += suffix;
    return r;
}

TFormatFloatProc FormatFloatProc = FormatFloat;
TFormatMaskTextProc FormatMaskTextProc = [](rtl::StringView, rtl::StringView Value) { return rtl::String(Value); };

// --- TField ---

TField::TField(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {}

TField::~TField() {
    Destroying();
    if (FDataSet && FDataSet->Active() && !FDataSet->ComponentState().Contains(rtl::csDestroying))
        FDataSet->Close();
    if (FFields) FFields->Remove(this);
}

void TField::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet && !FParentField) return;
    if (FDataSet) FDataSet->CheckInactive();
    TFields* target = nullptr;
    if (Value) {
        Value->CheckInactive();
        target = FFieldKind == fkAggregate ? Value->FAggFields.get() : Value->FFields.get();
        if (FFieldName.empty()) DatabaseError(SFieldNameMissing, Value);
        if (TField* other = target->FindField(FFieldName); other && other != this)
            DatabaseErrorFmt(SDuplicateFieldName, {FFieldName}, Value);
        target->CheckFieldKind(FFieldKind, this);
    }
    if (FFields) FFields->Remove(this);
    FParentField = nullptr;
    FDataSet = Value;
    if (target) {
        FLifeCycle = Value->FAutomaticFieldsScope ? lcAutomatic : lcPersistent;
        target->Add(this);
    }
}

void TField::SetParentField(TObjectField* Value) {
    if (Value == FParentField) return;
    if (FDataSet) FDataSet->CheckInactive();
    TDataSet* ds = Value ? Value->DataSet() : nullptr;
    if (ds) ds->CheckInactive();
    if (FFields) FFields->Remove(this);
    FParentField = Value;
    FDataSet = ds;
    if (Value) {
        FLifeCycle = ds && ds->FAutomaticFieldsScope ? lcAutomatic : lcPersistent;
        Value->Fields().Add(this);
    }
}

void TField::SetFieldName(rtl::StringView Value) {
    if (FFieldName == Value) return;
    if (FFields && !Value.empty())
        if (TField* other = FFields->FindField(Value); other && other != this)
            DatabaseErrorFmt(SDuplicateFieldName, {Value}, FFields->DataSet());
    rtl::String old = std::move(FFieldName);
    FFieldName = rtl::String(Value);
    if (FDisplayLabel == FFieldName) FDisplayLabel.clear();
    if (FFields) FFields->Renamed(this, old);
}

rtl::String TField::FullName() const {
    if (FParentField) return FParentField->FullName() + u"." + FFieldName;
    return FFieldName;
}

void TField::SetSize(int Value) {
    if (FDataSet) FDataSet->CheckInactive();
    ClassType()->CheckTypeSize(Value);
    FSize = Value;
}

void TField::SetFieldKind(TFieldKind Value) {
    if (FFieldKind == Value) return;
    if (FFields) FFields->CheckFieldKind(Value, this);
    if (FDataSet) FDataSet->CheckInactive();
    FFieldKind = Value;
}

void TField::SetFieldType(TFieldType) {}

void TField::SetFieldDefProps(const TFieldDef& FieldDef) {
    SetFieldType(FieldDef.DataType());
    SetSize(FieldDef.Size());
    FRequired = FieldDef.Attributes().Contains(faRequired);
    FReadOnly = FieldDef.Attributes().Contains(faReadonly);
    if (FieldDef.InternalCalcField()) SetFieldKind(fkInternalCalc);
}

void TField::Bind(bool) {}

void TField::Change() {
    if (OnChange) OnChange(*this);
}

void TField::FreeBuffers() {}

bool TField::IsIndexField() const { return FDataSet && FDataSet->GetIsIndexField(this); }

void TField::AccessError(rtl::StringView TypeName) const {
    DatabaseErrorFmt(SFieldAccessError, {DisplayName(), TypeName}, this);
}

std::uint8_t* TField::IOBuffer() const {
    std::size_t need = static_cast<std::size_t>(std::max(GetIOSize(), 1));
    if (FIOBuffer && FIOBuffer->size() >= need) return FIOBuffer->data();
    if (FOwnIOBuffer.size() < need) FOwnIOBuffer.resize(need);
    return FOwnIOBuffer.data();
}

template <class T>
bool TField::ReadValue(T& Value) const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return false;
    std::memcpy(&Value, buf, sizeof(T));
    return true;
}

bool TField::GetData(void* Buffer, bool NativeFormat) const {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {DisplayName()}, this);
    if (FValidating && FDataSet->State() != dsOldValue && FDataSet->State() != dsCurValue) {
        if (FValueBuffer && Buffer) std::memcpy(Buffer, FValueBuffer, GetDataSize());
        return FValueBuffer != nullptr;
    }
    return FDataSet->GetFieldData(const_cast<TField*>(this), Buffer, NativeFormat);
}

bool TField::GetData(TValueBuffer& Buffer, bool NativeFormat) const {
    if (Buffer.size() < static_cast<std::size_t>(GetDataSize())) Buffer.resize(GetDataSize());
    return GetData(Buffer.empty() ? nullptr : Buffer.data(), NativeFormat);
}

void TField::SetData(const void* Buffer, bool NativeFormat) {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {DisplayName()}, this);
    FDataSet->SetFieldData(this, Buffer, NativeFormat);
}

void TField::Validate(const void* Buffer) {
    if (!OnValidate) return;
    FValueBuffer = Buffer;
    FValidating = true;
    try {
        OnValidate(*this);
    } catch (...) {
        FValidating = false;
        FValueBuffer = nullptr;
        throw;
    }
    FValidating = false;
    FValueBuffer = nullptr;
}

void TField::FocusControl() {
    if (!FDataSet) return;
    TField* self = this;
    FDataSet->DataEvent(deFocusControl, reinterpret_cast<std::intptr_t>(&self));
}

bool TField::GetIsNull() const { return !GetData(IOBuffer()); }

bool TField::GetAsBoolean() const { AccessError(u"Boolean"); }
rtl::TBytes TField::GetAsBytes() const { AccessError(u"Bytes"); }
double TField::GetAsFloat() const { AccessError(u"Float"); }
std::int32_t TField::GetAsInteger() const { AccessError(u"Integer"); }
std::int64_t TField::GetAsLargeInt() const { AccessError(u"LargeInt"); }
std::uint32_t TField::GetAsLongWord() const { AccessError(u"LongWord"); }
rtl::String TField::GetAsString() const { return GetClassDesc(); }
rtl::String TField::GetAsWideString() const { return GetAsString(); }
std::string TField::GetAsAnsiString() const { return Narrow(GetAsString()); }
rtl::Variant TField::GetAsVariant() const { AccessError(u"Variant"); }
void TField::SetAsBooleanValue(bool) { AccessError(u"Boolean"); }
void TField::SetAsFloatValue(double) { AccessError(u"Float"); }
void TField::SetAsIntegerValue(std::int32_t) { AccessError(u"Integer"); }
void TField::SetAsLargeIntValue(std::int64_t) { AccessError(u"LargeInt"); }
void TField::SetAsStringValue(const rtl::String&) { AccessError(u"String"); }
void TField::SetAsWideStringValue(const rtl::String& Value) { SetAsStringValue(Value); }
void TField::SetVarValue(const rtl::Variant&) { AccessError(u"Variant"); }

void TField::SetAsVariant(const rtl::Variant& Value) {
    if (Value.IsClear()) Clear();
    else SetVarValue(Value);
}

void TField::Clear() { SetData(nullptr); }

bool TField::GetCanModify() const {
    if (GetFieldNo() <= 0 || !FDataSet) return false;
    if (FDataSet->State() == dsSetKey) return IsIndexField();
    return !FReadOnly && FDataSet->CanModify();
}

rtl::String TField::GetClassDesc() const {
    rtl::String name = ClassName();
    if (!name.empty() && name[0] == u'T') name.erase(0, 1);
    if (name.size() >= 5 && rtl::SameText(rtl::StringView(name).substr(name.size() - 5), u"Field"))
        name.erase(name.size() - 5);
    rtl::String text = u"(" + name + u")";
    return IsNull() ? text : rtl::AnsiUpperCase(text);
}

int TField::GetDataSize() const { return 0; }
int TField::GetIOSize() const { return GetDataSize(); }
int TField::GetDefaultWidth() const { return 10; }

void TField::GetText(rtl::String& Text, bool) const { Text = GetAsString(); }

void TField::SetTextValue(const rtl::String& Value) { SetAsStringValue(Value); }

bool TField::IsValidChar(char16_t) const { return true; }

rtl::String TField::Text() const {
    rtl::String text;
    if (OnGetText) OnGetText(const_cast<TField&>(*this), text, false);
    else GetText(text, false);
    return text;
}

rtl::String TField::DisplayText() const {
    rtl::String text;
    if (OnGetText) OnGetText(const_cast<TField&>(*this), text, true);
    else GetText(text, true);
    return text;
}

void TField::SetText(const rtl::String& Value) {
    if (OnSetText) OnSetText(*this, Value);
    else SetTextValue(Value);
}

int TField::DisplayWidth() const { return FDisplayWidth >= 1 ? FDisplayWidth : GetDefaultWidth(); }

rtl::String TField::DisplayLabel() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }

void TField::SetDisplayLabel(rtl::StringView Value) {
    FDisplayLabel = Value == FFieldName ? rtl::String() : rtl::String(Value);
}

// --- TStringField and TWideStringField ---

TStringField::TStringField(rtl::TComponent* AOwner) : TField(AOwner) {
    SetDataTypeRaw(ftString);
    SetDataSize(20);
}

void TStringField::CheckTypeSize(int Size) {
    if (Size < 0) DatabaseError(SInvalidFieldSize);
}

void TStringField::SetFieldDefProps(const TFieldDef& FieldDef) {
    TField::SetFieldDefProps(FieldDef);
    FFixedChar = FieldDef.Attributes().Contains(faFixed) || FieldDef.DataType() == ftFixedChar;
    if (DataType() == ftString || DataType() == ftFixedChar || DataType() == ftOraInterval)
        SetDataTypeRaw(FieldDef.DataType());
}

int TStringField::GetIOSize() const { return std::max(GetDataSize(), 8193); }

bool TStringField::GetValue(rtl::String& Value) const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return false;
    std::size_t len = strnlen(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(GetDataSize()));
    if (FTransliterate && DataSet()) {
        buf[len] = 0;
        len = static_cast<std::size_t>(
            DataSet()->Translate(reinterpret_cast<const char*>(buf), reinterpret_cast<char*>(buf), false));
    }
    Value = Widen(buf, len);
    return true;
}

rtl::String TStringField::GetAsString() const {
    rtl::String s;
    if (!GetValue(s)) s.clear();
    return s;
}

std::int32_t TStringField::GetAsInteger() const { return rtl::StrToInt(GetAsString()); }
std::int64_t TStringField::GetAsLargeInt() const { return rtl::StrToInt64(GetAsString()); }

double TStringField::GetAsFloat() const {
    std::string s = rtl::StringToUtf8(rtl::Trim(GetAsString()));
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0')
        throw rtl::EConvertError(rtl::Format(u"'%s' is not a valid floating point value", {GetAsString()}));
    return v;
}

bool TStringField::GetAsBoolean() const {
    rtl::String s = GetAsString();
    return !s.empty() && (s[0] == u'T' || s[0] == u't' || s[0] == u'Y' || s[0] == u'y');
}

rtl::Variant TStringField::GetAsVariant() const {
    rtl::String s;
    return GetValue(s) ? rtl::Variant(std::move(s)) : rtl::Variant::Null();
}

void TStringField::GetText(rtl::String& Text, bool DisplayText) const {
    Text = GetAsString();
    if (DisplayText && !EditMask().empty() && FormatMaskTextProc) Text = FormatMaskTextProc(EditMask(), Text);
}

void TStringField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(rtl::StringView(Value).substr(0, static_cast<std::size_t>(std::max(Size(), 0))));
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(GetDataSize()) + 1, 0);
    if (!bytes.empty()) std::memcpy(buf.data(), bytes.data(), bytes.size());
    SetData(buf.data());
}

void TStringField::SetAsIntegerValue(std::int32_t Value) { SetAsStringValue(rtl::IntToStr(Value)); }
void TStringField::SetAsLargeIntValue(std::int64_t Value) { SetAsStringValue(rtl::IntToStr(Value)); }

TWideStringField::TWideStringField(rtl::TComponent* AOwner) : TStringField(AOwner) {
    SetDataTypeRaw(ftWideString);
}

int TWideStringField::GetIOSize() const { return std::max(GetDataSize(), 16386); }

bool TWideStringField::GetValue(rtl::String& Value) const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return false;
    const char16_t* chars = reinterpret_cast<const char16_t*>(buf);
    std::size_t limit = static_cast<std::size_t>(std::max(Size(), 0)), len = 0;
    while (len < limit && chars[len] != 0) ++len;
    Value.assign(chars, len);
    return true;
}

void TWideStringField::SetAsStringValue(const rtl::String& Value) {
    // The whole record slot: a validation handler reads DataSize bytes.
    std::size_t len = std::min(Value.size(), static_cast<std::size_t>(std::max(Size(), 0)));
    std::vector<char16_t> buf(static_cast<std::size_t>(std::max(Size(), 0)) + 1, 0);
    std::copy_n(Value.data(), len, buf.data());
    SetData(buf.data());
}

TGuidField::TGuidField(rtl::TComponent* AOwner) : TStringField(AOwner) {
    SetDataTypeRaw(ftGuid);
    SetDataSize(38);
}

// --- numbers ---

TNumericField::TNumericField(rtl::TComponent* AOwner) : TField(AOwner) { SetAlignment(taRightJustify); }

const rtl::String& TNumericField::TextFormat(bool DisplayText) const {
    return DisplayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
}

rtl::String TNumericField::IntegerText(std::int64_t Value, bool DisplayText) const {
    const rtl::String& fmt = TextFormat(DisplayText);
    if (fmt.empty() || !FormatFloatProc) return rtl::IntToStr(Value);
    return FormatFloatProc(fmt, static_cast<double>(Value));
}

void TNumericField::SetIntegerText(const rtl::String& Value) {
    if (Value.empty()) {
        Clear();
        return;
    }
    auto v = rtl::TryStrToInt64(Value);
    if (!v) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    SetAsLargeIntValue(*v);
}

TIntegerField::TIntegerField(rtl::TComponent* AOwner)
    : TNumericField(AOwner), FMinRange(INT32_MIN), FMaxRange(INT32_MAX) {
    SetDataTypeRaw(ftInteger);
}

int TIntegerField::GetDataSize() const {
    switch (DataType()) {
    case ftSmallint:
    case ftWord: return 2;
    case ftShortint:
    case ftByte: return 1;
    default: return 4;
    }
}

bool TIntegerField::GetValue(std::int32_t& Value) const {
    auto read = [&](auto Stored) {
        if (!ReadValue(Stored)) return false;
        Value = Stored;
        return true;
    };
    switch (DataType()) {
    case ftSmallint: return read(std::int16_t{});
    case ftWord: return read(std::uint16_t{});
    case ftShortint: return read(std::int8_t{});
    case ftByte: return read(std::uint8_t{});
    default: return ReadValue(Value);
    }
}

std::int32_t TIntegerField::GetAsInteger() const {
    std::int32_t v = 0;
    return GetValue(v) ? v : 0;
}
std::int64_t TIntegerField::GetAsLargeInt() const { return GetAsInteger(); }
double TIntegerField::GetAsFloat() const { return GetAsInteger(); }

rtl::String TIntegerField::GetAsString() const {
    std::int32_t v;
    return GetValue(v) ? rtl::IntToStr(v) : rtl::String();
}

rtl::Variant TIntegerField::GetAsVariant() const {
    std::int32_t v;
    return GetValue(v) ? rtl::Variant(v) : rtl::Variant::Null();
}

void TIntegerField::GetText(rtl::String& Text, bool DisplayText) const {
    std::int32_t v;
    Text = GetValue(v) ? IntegerText(v, DisplayText) : rtl::String();
}

void TIntegerField::SetAsLargeIntValue(std::int64_t Value) {
    if (Value < FMinRange || Value > FMaxRange) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    auto write = [this](auto Stored) { SetData(&Stored); };
    switch (DataType()) {
    case ftSmallint: write(static_cast<std::int16_t>(Value)); break;
    case ftWord: write(static_cast<std::uint16_t>(Value)); break;
    case ftShortint: write(static_cast<std::int8_t>(Value)); break;
    case ftByte: write(static_cast<std::uint8_t>(Value)); break;
    default: write(static_cast<std::int32_t>(Value)); break;
    }
}

void TIntegerField::SetAsIntegerValue(std::int32_t Value) { SetAsLargeIntValue(Value); }

void TIntegerField::SetAsStringValue(const rtl::String& Value) { SetIntegerText(Value); }

void TIntegerField::SetAsFloatValue(double Value) { SetAsLargeIntValue(std::llround(Value)); }

TSmallintField::TSmallintField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftSmallint);
    SetRange(-32768, 32767);
}
TShortintField::TShortintField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftShortint);
    SetRange(-128, 127);
}
TByteField::TByteField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftByte);
    SetRange(0, 255);
}
TWordField::TWordField(rtl::TComponent* AOwner) : TIntegerField(AOwner) {
    SetDataTypeRaw(ftWord);
    SetRange(0, 65535);
}
TAutoIncField::TAutoIncField(rtl::TComponent* AOwner) : TIntegerField(AOwner) { SetDataTypeRaw(ftAutoInc); }

TLargeintField::TLargeintField(rtl::TComponent* AOwner) : TNumericField(AOwner) { SetDataTypeRaw(ftLargeint); }

bool TLargeintField::GetValue(std::int64_t& Value) const { return ReadValue(Value); }

std::int64_t TLargeintField::GetAsLargeInt() const {
    std::int64_t v = 0;
    return GetValue(v) ? v : 0;
}

std::int32_t TLargeintField::GetAsInteger() const {
    std::int64_t v = GetAsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    return static_cast<std::int32_t>(v);
}

double TLargeintField::GetAsFloat() const { return static_cast<double>(GetAsLargeInt()); }

rtl::String TLargeintField::GetAsString() const {
    std::int64_t v;
    return GetValue(v) ? rtl::IntToStr(v) : rtl::String();
}

rtl::Variant TLargeintField::GetAsVariant() const {
    std::int64_t v;
    return GetValue(v) ? rtl::Variant(v) : rtl::Variant::Null();
}

void TLargeintField::GetText(rtl::String& Text, bool DisplayText) const {
    std::int64_t v;
    Text = GetValue(v) ? IntegerText(v, DisplayText) : rtl::String();
}

void TLargeintField::SetAsLargeIntValue(std::int64_t Value) { SetData(&Value); }

void TLargeintField::SetAsStringValue(const rtl::String& Value) { SetIntegerText(Value); }

TLongWordField::TLongWordField(rtl::TComponent* AOwner) : TNumericField(AOwner) { SetDataTypeRaw(ftLongWord); }

bool TLongWordField::GetValue(std::uint32_t& Value) const { return ReadValue(Value); }
std::uint32_t TLongWordField::GetAsLongWord() const {
    std::uint32_t v = 0;
    return GetValue(v) ? v : 0;
}
std::int64_t TLongWordField::GetAsLargeInt() const { return GetAsLongWord(); }
std::int32_t TLongWordField::GetAsInteger() const {
    std::uint32_t v = GetAsLongWord();
    if (v > static_cast<std::uint32_t>(INT32_MAX)) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    return static_cast<std::int32_t>(v);
}
double TLongWordField::GetAsFloat() const { return GetAsLongWord(); }
rtl::String TLongWordField::GetAsString() const {
    std::uint32_t v;
    return GetValue(v) ? rtl::IntToStr(v) : rtl::String();
}
rtl::Variant TLongWordField::GetAsVariant() const {
    std::uint32_t v;
    return GetValue(v) ? rtl::Variant(static_cast<std::int64_t>(v)) : rtl::Variant::Null();
}
void TLongWordField::GetText(rtl::String& Text, bool DisplayText) const {
    std::uint32_t v;
    Text = GetValue(v) ? IntegerText(v, DisplayText) : rtl::String();
}
void TLongWordField::SetAsLargeIntValue(std::int64_t Value) {
    if (Value < 0 || Value > UINT32_MAX) DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
    auto v = static_cast<std::uint32_t>(Value);
    SetData(&v);
}
void TLongWordField::SetAsStringValue(const rtl::String& Value) { SetIntegerText(Value); }

TFloatField::TFloatField(rtl::TComponent* AOwner) : TNumericField(AOwner) { SetDataTypeRaw(ftFloat); }

bool TFloatField::ReadDouble(double& Value) const { return ReadValue(Value); }
void TFloatField::WriteDouble(double Value) { SetData(&Value); }
bool TFloatField::GetValue(double& Value) const { return ReadDouble(Value); }
double TFloatField::GetAsFloat() const {
    double v = 0;
    return ReadDouble(v) ? v : 0;
}
std::int32_t TFloatField::GetAsInteger() const { return static_cast<std::int32_t>(std::llround(GetAsFloat())); }
std::int64_t TFloatField::GetAsLargeInt() const { return std::llround(GetAsFloat()); }
rtl::String TFloatField::GetAsString() const {
    double v;
    return ReadDouble(v) ? rtl::FloatToStr(v) : rtl::String();
}
rtl::Variant TFloatField::GetAsVariant() const {
    double v;
    return ReadDouble(v) ? rtl::Variant(v) : rtl::Variant::Null();
}
void TFloatField::GetText(rtl::String& Text, bool DisplayText) const {
    double v;
    if (!ReadDouble(v)) {
        Text.clear();
        return;
    }
    const rtl::String& fmt = TextFormat(DisplayText);
    Text = fmt.empty() || !FormatFloatProc ? rtl::FloatToStr(v) : FormatFloatProc(fmt, v);
}
void TFloatField::SetAsFloatValue(double Value) { WriteDouble(Value); }

TCurrencyField::TCurrencyField(rtl::TComponent* AOwner) : TFloatField(AOwner) { SetDataTypeRaw(ftCurrency); }
TExtendedField::TExtendedField(rtl::TComponent* AOwner) : TFloatField(AOwner) { SetDataTypeRaw(ftExtended); }
TSingleField::TSingleField(rtl::TComponent* AOwner) : TFloatField(AOwner) { SetDataTypeRaw(ftSingle); }
bool TSingleField::ReadDouble(double& Value) const {
    float f;
    if (!ReadValue(f)) return false;
    Value = f;
    return true;
}
void TSingleField::WriteDouble(double Value) {
    auto f = static_cast<float>(Value);
    SetData(&f);
}
TBCDField::TBCDField(rtl::TComponent* AOwner) : TFloatField(AOwner) {
    SetDataTypeRaw(ftBCD);
    SetDataSize(4);
}
bool TBCDField::ReadDouble(double& Value) const {
    std::int64_t scaled;
    if (!ReadValue(scaled)) return false;
    Value = static_cast<double>(scaled) / 10000.0;
    return true;
}
void TBCDField::WriteDouble(double Value) {
    std::int64_t scaled = std::llround(Value * 10000.0);
    SetData(&scaled);
}
TFMTBCDField::TFMTBCDField(rtl::TComponent* AOwner) : TFloatField(AOwner) {
    SetDataTypeRaw(ftFMTBcd);
    SetDataSize(8);
}

// --- Boolean, dates and times ---

TBooleanField::TBooleanField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftBoolean); }
bool TBooleanField::GetAsBoolean() const {
    std::uint16_t v = 0;
    return ReadValue(v) && v != 0;
}
rtl::String TBooleanField::GetAsString() const {
    std::uint16_t v;
    if (!ReadValue(v)) return rtl::String();
    return v ? u"True" : u"False";
}
rtl::Variant TBooleanField::GetAsVariant() const {
    std::uint16_t v;
    return ReadValue(v) ? rtl::Variant(v != 0) : rtl::Variant::Null();
}
void TBooleanField::SetAsBooleanValue(bool Value) {
    std::uint16_t v = Value ? 1 : 0;
    SetData(&v);
}
void TBooleanField::SetAsStringValue(const rtl::String& Value) {
    if (Value.empty()) Clear();
    else if (rtl::SameText(Value, u"True")) SetAsBooleanValue(true);
    else if (rtl::SameText(Value, u"False")) SetAsBooleanValue(false);
    else DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
}

TDateTimeField::TDateTimeField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftDateTime); }
bool TDateTimeField::GetValue(double& Value) const { return ReadValue(Value); }
double TDateTimeField::GetAsFloat() const {
    double v = 0;
    return GetValue(v) ? v : 0;
}
rtl::String TDateTimeField::GetAsString() const {
    double v;
    return GetValue(v) ? DateTimeText(v) : rtl::String();
}
rtl::Variant TDateTimeField::GetAsVariant() const {
    double v;
    return GetValue(v) ? rtl::Variant(v) : rtl::Variant::Null();
}
void TDateTimeField::SetAsFloatValue(double Value) { SetData(&Value); }
rtl::String TDateTimeField::DateTimeText(double Value) const {
    DateTimeParts p = DecodeDateTime(Value);
    return DateText(p.Year, p.Month, p.Day) + u" " + TimeText(p.Hour, p.Minute, p.Second);
}
TDateField::TDateField(rtl::TComponent* AOwner) : TDateTimeField(AOwner) { SetDataTypeRaw(ftDate); }
rtl::String TDateField::DateTimeText(double Value) const {
    DateTimeParts p = DecodeDateTime(Value);
    return DateText(p.Year, p.Month, p.Day);
}
TTimeField::TTimeField(rtl::TComponent* AOwner) : TDateTimeField(AOwner) { SetDataTypeRaw(ftTime); }
rtl::String TTimeField::DateTimeText(double Value) const {
    DateTimeParts p = DecodeDateTime(Value);
    return TimeText(p.Hour, p.Minute, p.Second);
}

TSQLTimeStampField::TSQLTimeStampField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftTimeStamp); }
rtl::String TSQLTimeStampField::GetAsString() const {
    TSQLTimeStamp t;
    return ReadValue(t) ? TimeStampText(t) : rtl::String();
}
rtl::Variant TSQLTimeStampField::GetAsVariant() const {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetAsString());
}
TSQLTimeStampOffsetField::TSQLTimeStampOffsetField(rtl::TComponent* AOwner) : TField(AOwner) {
    SetDataTypeRaw(ftTimeStampOffset);
}
rtl::String TSQLTimeStampOffsetField::GetAsString() const {
    TSQLTimeStampOffset t;
    if (!ReadValue(t)) return rtl::String();
    int offset = t.TimeZoneHour * 60 + (t.TimeZoneHour < 0 ? -t.TimeZoneMinute : t.TimeZoneMinute);
    rtl::String zone = rtl::Format(u"%s%.2d:%.2d", {offset < 0 ? u"-" : u"+", std::abs(offset) / 60, std::abs(offset) % 60});
    return TimeStampText(t.TimeStamp) + u" " + zone;
}
rtl::Variant TSQLTimeStampOffsetField::GetAsVariant() const {
    return IsNull() ? rtl::Variant::Null() : rtl::Variant(GetAsString());
}

// --- bytes ---

TBytesField::TBytesField(rtl::TComponent* AOwner) : TField(AOwner) {
    SetDataTypeRaw(ftBytes);
    SetDataSize(16);
}
rtl::TBytes TBytesField::GetAsBytes() const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return {};
    return rtl::TBytes(buf, buf + GetDataSize());
}
rtl::String TBytesField::GetAsString() const {
    rtl::TBytes b = GetAsBytes();
    return Widen(b.data(), b.size());
}
rtl::Variant TBytesField::GetAsVariant() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsBytes());
}
void TBytesField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(Value);
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::max(GetDataSize(), 1)), 0);
    std::memcpy(buf.data(), bytes.data(), std::min(bytes.size(), buf.size()));
    SetData(buf.data());
}
TVarBytesField::TVarBytesField(rtl::TComponent* AOwner) : TBytesField(AOwner) { SetDataTypeRaw(ftVarBytes); }
rtl::TBytes TVarBytesField::GetAsBytes() const {
    std::uint8_t* buf = IOBuffer();
    if (!GetData(buf)) return {};
    std::uint16_t len;
    std::memcpy(&len, buf, 2);
    len = static_cast<std::uint16_t>(std::min<int>(len, Size()));
    return rtl::TBytes(buf + 2, buf + 2 + len);
}
void TVarBytesField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(rtl::StringView(Value).substr(0, static_cast<std::size_t>(std::max(Size(), 0))));
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(GetDataSize()), 0);
    auto len = static_cast<std::uint16_t>(bytes.size());
    std::memcpy(buf.data(), &len, 2);
    std::memcpy(buf.data() + 2, bytes.data(), bytes.size());
    SetData(buf.data());
}

// --- blobs ---

TBlobField::TBlobField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftBlob); }

std::unique_ptr<rtl::TStream> TBlobField::BlobStream(TBlobStreamMode Mode) const {
    if (!DataSet()) DatabaseErrorFmt(SDataSetMissing, {DisplayName()}, this);
    return DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), Mode);
}

rtl::TBytes TBlobField::GetAsBytes() const {
    std::unique_ptr<rtl::TStream> stream = BlobStream(bmRead);
    if (!stream) return {};
    stream->SetPosition(0);
    return stream->ReadRemaining();
}

bool TBlobField::GetIsNull() const { return !GetData(nullptr); }

std::int64_t TBlobField::GetBlobSize() const {
    std::unique_ptr<rtl::TStream> stream = BlobStream(bmRead);
    return stream ? stream->Size() : 0;
}

std::string TBlobField::GetAsAnsiString() const {
    rtl::TBytes b = GetAsBytes();
    return std::string(b.begin(), b.end());
}

rtl::String TBlobField::GetAsString() const {
    rtl::TBytes b = GetAsBytes();
    return Widen(b.data(), b.size());
}

rtl::String TBlobField::GetAsWideString() const {
    rtl::TBytes b = GetAsBytes();
    rtl::String s((b.size() + 1) / 2, u'\0');
    if (!b.empty()) std::memcpy(s.data(), b.data(), b.size());
    return s;
}

rtl::Variant TBlobField::GetAsVariant() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsBytes());
}

rtl::String TBlobField::GetClassDesc() const {
    rtl::String text = rtl::String(u"(") + FieldTypeNames[DataType()] + u")";
    return IsNull() ? text : rtl::AnsiUpperCase(text);
}

void TBlobField::GetText(rtl::String& Text, bool DisplayText) const {
    switch (FDisplayValue) {
    case dvClass: Text = GetClassDesc(); break;
    case dvFull: Text = GetAsString(); break;
    case dvClip:
        Text = GetAsString();
        if (DisplayText && static_cast<int>(Text.size()) > DisplayWidth()) Text = Text.substr(0, DisplayWidth()) + u"...";
        break;
    case dvFit:
        Text = GetAsString();
        if (DisplayText && static_cast<int>(Text.size()) > DisplayWidth()) Text = GetClassDesc();
        break;
    }
}

void TBlobField::WriteBytes(const void* Data, std::size_t Count) {
    std::unique_ptr<rtl::TStream> stream = BlobStream(bmWrite);
    if (!stream) DatabaseErrorFmt(SFieldReadOnly, {DisplayName()}, this);
    stream->SetSize(0);
    if (Count > 0) stream->WriteBuffer(Data, static_cast<std::int64_t>(Count));
    FModified = true;
}

void TBlobField::Clear() { WriteBytes(nullptr, 0); }

void TBlobField::SetAsStringValue(const rtl::String& Value) {
    std::string bytes = Narrow(Value);
    WriteBytes(bytes.data(), bytes.size());
}

void TBlobField::SetAsWideStringValue(const rtl::String& Value) {
    WriteBytes(Value.data(), Value.size() * sizeof(char16_t));
}

TMemoField::TMemoField(rtl::TComponent* AOwner) : TBlobField(AOwner) {
    SetDataTypeRaw(ftMemo);
    SetTransliterate(true);
}
rtl::Variant TMemoField::GetAsVariant() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsString());
}

TWideMemoField::TWideMemoField(rtl::TComponent* AOwner) : TBlobField(AOwner) { SetDataTypeRaw(ftWideMemo); }
std::int32_t TWideMemoField::GetAsInteger() const { return rtl::StrToInt(GetAsString()); }
std::int64_t TWideMemoField::GetAsLargeInt() const { return rtl::StrToInt64(GetAsString()); }
rtl::Variant TWideMemoField::GetAsVariant() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsWideString());
}

TGraphicField::TGraphicField(rtl::TComponent* AOwner) : TBlobField(AOwner) { SetDataTypeRaw(ftGraphic); }

// --- variants, interfaces, structured fields ---

TVariantField::TVariantField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftVariant); }
rtl::Variant TVariantField::GetAsVariant() const {
    if (!DataSet()) DatabaseErrorFmt(SDataSetMissing, {DisplayName()}, this);
    rtl::Variant v;
    if (!DataSet()->GetFieldData(const_cast<TVariantField*>(this), &v, true)) return rtl::Variant::Null();
    return v;
}
bool TVariantField::GetIsNull() const { return GetAsVariant().IsClear(); }
rtl::String TVariantField::GetAsString() const {
    rtl::Variant v = GetAsVariant();
    return v.IsClear() ? rtl::String() : v.AsString();
}
std::int32_t TVariantField::GetAsInteger() const { return GetAsVariant().AsInteger(); }
std::int64_t TVariantField::GetAsLargeInt() const { return GetAsVariant().AsInt64(); }
double TVariantField::GetAsFloat() const { return GetAsVariant().AsDouble(); }
bool TVariantField::GetAsBoolean() const { return GetAsVariant().AsBoolean(); }
void TVariantField::SetVarValue(const rtl::Variant& Value) { SetData(&Value); }

TInterfaceField::TInterfaceField(rtl::TComponent* AOwner) : TField(AOwner) { SetDataTypeRaw(ftInterface); }
TIDispatchField::TIDispatchField(rtl::TComponent* AOwner) : TInterfaceField(AOwner) { SetDataTypeRaw(ftIDispatch); }

TObjectField::TObjectField(rtl::TComponent* AOwner)
    : TField(AOwner), FFields(std::make_unique<TFields>(nullptr, this)) {}
TObjectField::~TObjectField() { FFields->Clear(); }
TADTField::TADTField(rtl::TComponent* AOwner) : TObjectField(AOwner) { SetDataTypeRaw(ftADT); }
TArrayField::TArrayField(rtl::TComponent* AOwner) : TObjectField(AOwner) { SetDataTypeRaw(ftArray); }
TDataSetField::TDataSetField(rtl::TComponent* AOwner) : TObjectField(AOwner) { SetDataTypeRaw(ftDataSet); }
TReferenceField::TReferenceField(rtl::TComponent* AOwner) : TDataSetField(AOwner) { SetDataTypeRaw(ftReference); }

// --- TFields ---

TFields::TFields(TDataSet* DataSet, TObjectField* ParentField) : FDataSet(DataSet), FParentField(ParentField) {}

TFields::~TFields() { Clear(); }

TDataSet* TFields::DataSet() const { return FParentField ? FParentField->DataSet() : FDataSet; }

TField* TFields::Fields(int Index) const {
    if (Index < 0 || Index >= Count())
        throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
    return FList[Index];
}

void TFields::CheckFieldKind(TFieldKind FieldKind, const TField* Field) const {
    if (!FValidFieldKinds.Contains(FieldKind)) DatabaseError(SInvalidFieldKind, Field);
}

void TFields::Add(TField* Field) {
    CheckFieldKind(Field->FieldKind(), Field);
    FList.push_back(Field);
    if (!Field->FieldName().empty()) FDict.emplace(rtl::AnsiLowerCase(Field->FieldName()), Field);
    Field->FFields = this;
    if (Field->LifeCycle() == lcAutomatic) ++FAutomaticCount;
    Changed();
}

void TFields::Remove(TField* Field) {
    auto it = std::find(FList.begin(), FList.end(), Field);
    if (it == FList.end()) return;
    FList.erase(it);
    auto d = FDict.find(rtl::StringView(Field->FieldName()));
    if (d != FDict.end() && d->second == Field) FDict.erase(d);
    Field->FFields = nullptr;
    if (Field->LifeCycle() == lcAutomatic) --FAutomaticCount;
    Changed();
}

void TFields::Renamed(TField* Field, rtl::StringView OldName) {
    auto d = FDict.find(OldName);
    if (d != FDict.end() && d->second == Field) FDict.erase(d);
    if (!Field->FieldName().empty()) FDict.emplace(rtl::AnsiLowerCase(Field->FieldName()), Field);
}

void FreeField(TField* Field) {
    if (rtl::TComponent* owner = Field->Owner()) owner->RemoveComponent(Field).reset();
    else std::unique_ptr<TField>(Field).reset();
}

void TFields::Clear() {
    // Each field leaves the list in its destructor.
    while (!FList.empty()) FreeField(FList.back());
}

void TFields::ClearAutomatic() {
    for (int i = Count() - 1; i >= 0; --i) {
        if (i >= Count()) continue;
        TField* f = FList[i];
        if (f->LifeCycle() == lcAutomatic) FreeField(f);
    }
}

int TFields::IndexOf(const TField* Field) const {
    auto it = std::find(FList.begin(), FList.end(), Field);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

TField* TFields::FindField(rtl::StringView FieldName) const {
    auto it = FDict.find(FieldName);
    return it == FDict.end() ? nullptr : it->second;
}

TField* TFields::FieldByName(rtl::StringView FieldName) const {
    TField* f = FindField(FieldName);
    if (!f) DatabaseErrorFmt(SFieldNotFound, {FieldName}, DataSet());
    return f;
}

TField* TFields::FieldByNumber(int FieldNo) const {
    for (TField* f : FList)
        if (f->FieldNo() == FieldNo) return f;
    return nullptr;
}

void TFields::SetFieldIndex(TField* Field, int Index) {
    int cur = IndexOf(Field);
    if (cur < 0) return;
    Index = std::clamp(Index, 0, Count() - 1);
    if (cur == Index) return;
    FList.erase(FList.begin() + cur);
    FList.insert(FList.begin() + Index, Field);
    Changed();
}

TFieldLifeCycles TFields::GetLifeCycles() const {
    TFieldLifeCycles r;
    if (FAutomaticCount > 0) r.Include(lcAutomatic);
    if (Count() > FAutomaticCount) r.Include(lcPersistent);
    return r;
}

void TFields::Changed() {
    TDataSet* ds = DataSet();
    if (ds && !ds->ComponentState().Contains(rtl::csDestroying)) ds->DataEvent(deFieldListChange, 0);
}

}  // namespace data
