#include "data/fields.h"

#include <algorithm>
#include <cstring>

#include "data/dataset.h"
#include "data/db_error.h"
#include "data/field_defs.h"
#include "data/field_support.h"
#include "data/structured_fields.h"
#include "rtl/format.h"
#include "rtl/try_finally.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TField, NotBlob, AnySize)

// --- TField ---

TField::TField(rtl::TComponent* AOwner) : rtl::TComponent(AOwner) {}

TField::~TField() {
    Destroying();
    if (FDataSet && FDataSet->Active() && !FDataSet->ComponentState().Contains(rtl::csDestroying)) FDataSet->Close();
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

void TField::SetFieldProps(const TFieldDef& FieldDef) {
    SetFieldType(FieldDef.DataType());
    SetSize(FieldDef.Size());
    FRequired = FieldDef.Attributes().Contains(faRequired);
    FReadOnly = FieldDef.Attributes().Contains(faReadonly);
    if (FieldDef.InternalCalcField()) SetFieldKind(fkInternalCalc);
}

void TField::SetFieldDefProps(TFieldDef& FieldDef) const {
    FieldDef.SetDataType(FDataType);
    FieldDef.SetSize(FSize);
    TFieldAttributes attributes = FieldDef.Attributes();
    if (FRequired) attributes.Include(faRequired);
    else attributes.Exclude(faRequired);
    if (FReadOnly) attributes.Include(faReadonly);
    else attributes.Exclude(faReadonly);
    FieldDef.SetAttributes(attributes);
    FieldDef.SetInternalCalcField(FFieldKind == fkInternalCalc);
}

// A lookup field prepares its lookup list.
void TField::Bind(bool Binding) {
    if (FFieldKind != fkLookup) return;
    if (!Binding) {
        if (FLookupList) FLookupList->Clear();
        return;
    }
    if (!FLookupList) FLookupList = GetLookupListClass()();
    if (FLookupCache) RefreshLookupList();
}

namespace {

std::vector<TField*> FieldsNamed(TDataSet& DataSet, rtl::StringView Names) {
    std::vector<TField*> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= Names.size(); ++i)
        if (i == Names.size() || Names[i] == u';') {
            rtl::String name = rtl::Trim(Names.substr(start, i - start));
            if (!name.empty()) fields.push_back(DataSet.FieldByName(name));
            start = i + 1;
        }
    return fields;
}
}  // namespace

std::unique_ptr<TLookupList> NewLookupList() { return std::make_unique<TLookupList>(); }

// The dataset decides the class of its lookup lists.
TLookupListClass TField::GetLookupListClass() const {
    return FDataSet ? FDataSet->GetLookupListClass(this) : &NewLookupList;
}

void TField::RefreshLookupList() {
    if (!FLookupList) FLookupList = GetLookupListClass()();
    FLookupList->Clear();
    TDataSet* ds = FLookupDataSet;
    if (!ds || !ds->Active() || FLookupKeyFields.empty() || FLookupResultField.empty()) return;
    const std::vector<TField*> keys = FieldsNamed(*ds, FLookupKeyFields);
    TField* result = ds->FieldByName(FLookupResultField);
    const TBookmark place = ds->GetBookmark();
    ds->DisableControls();
    rtl::TryFinally(
        [&] {
            for (ds->First(); !ds->Eof(); ds->Next()) {
                TLookupList::TKey key;
                for (TField* k : keys) key.push_back(k->AsVariant());
                FLookupList->Add(key, result->AsVariant());
            }
            if (!place.empty()) ds->GotoBookmark(place);
        },
        [&] { ds->EnableControls(); });
}

void TLookupList::Add(const TKey& AKey, const rtl::Variant& AValue) {
    for (const auto& [key, value] : FList)
        if (key == AKey) return;
    FList.emplace_back(AKey, AValue);
}

rtl::Variant TLookupList::ValueOfKey(const TKey& AKey) const {
    for (const auto& [key, value] : FList)
        if (key == AKey) return value;
    return rtl::Variant::Null();
}

bool TField::GetHasConstraints() const {
    return !FCustomConstraint.empty() || !FImportedConstraint.empty() || !FDefaultExpression.empty();
}

void TField::CopyData(const void* Source, void* Dest) const {
    if (Source && Dest && GetDataSize() > 0) std::memmove(Dest, Source, static_cast<std::size_t>(GetDataSize()));
}

void TField::CopyData(const TValueBuffer& Source, TValueBuffer& Dest) const {
    const auto size = static_cast<std::size_t>(std::max(GetDataSize(), 0));
    TValueBuffer copy(Source.begin(), Source.begin() + static_cast<std::ptrdiff_t>(std::min(Source.size(), size)));
    copy.resize(size, 0);
    Dest = std::move(copy);
}

void TField::AssignValue(const rtl::Variant& Value) {
    switch (Value.VarType()) {
        case rtl::TVarType::varEmpty:
        case rtl::TVarType::varNull: Clear(); break;
        case rtl::TVarType::varInteger: SetAsInteger(Value.AsInteger()); break;
        case rtl::TVarType::varInt64: SetAsLargeInt(Value.AsInt64()); break;
        case rtl::TVarType::varBoolean: SetAsBoolean(Value.AsBoolean()); break;
        case rtl::TVarType::varDouble: SetAsFloat(Value.AsDouble()); break;
        case rtl::TVarType::varString: SetAsString(Value.AsString()); break;
        case rtl::TVarType::varBytes: SetAsBytes(Value.AsBytes()); break;
    }
}

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

bool TField::GetData(void* Buffer, bool NativeFormat) const {
    if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {DisplayName()}, this);
    if (FValidating && FDataSet->State() != dsOldValue && FDataSet->State() != dsCurValue) {
        // Through CopyData, which knows the value's form (a variant is
        // assigned, not copied bytewise).
        if (FValueBuffer && Buffer) CopyData(FValueBuffer, Buffer);
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
    rtl::TryFinally([&] { OnValidate(*this); },
                    [&] {
                        FValidating = false;
                        FValueBuffer = nullptr;
                    });
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

TBcd TField::GetAsBCD() const { AccessError(u"BCD"); }
rtl::Variant TField::GetAsByteArray() const { AccessError(u"ByteArray"); }
TCurrency TField::GetAsCurrency() const { AccessError(u"Currency"); }
TDateTime TField::GetAsDateTime() const { AccessError(u"DateTime"); }
float TField::GetAsSingle() const { AccessError(u"Single"); }
long double TField::GetAsExtended() const { AccessError(u"Extended"); }
TSQLTimeStamp TField::GetAsSQLTimeStamp() const { AccessError(u"SQLTimeStamp"); }
TSQLTimeStampOffset TField::GetAsSQLTimeStampOffset() const { AccessError(u"SQLTimeStampOffset"); }
TGUID TField::GetAsGuid() const { AccessError(u"Guid"); }
void TField::SetAsBCDValue(const TBcd&) { AccessError(u"BCD"); }
void TField::SetAsByteArrayValue(const rtl::Variant&) { AccessError(u"ByteArray"); }
void TField::SetAsCurrencyValue(TCurrency) { AccessError(u"Currency"); }
void TField::SetAsDateTimeValue(TDateTime) { AccessError(u"DateTime"); }
void TField::SetAsSingleValue(float) { AccessError(u"Single"); }
void TField::SetAsExtendedValue(long double) { AccessError(u"Extended"); }
void TField::SetAsSQLTimeStampValue(const TSQLTimeStamp&) { AccessError(u"SQLTimeStamp"); }
void TField::SetAsSQLTimeStampOffsetValue(const TSQLTimeStampOffset&) { AccessError(u"SQLTimeStampOffset"); }
void TField::SetAsGuidValue(const TGUID&) { AccessError(u"Guid"); }
void TField::SetAsLongWordValue(std::uint32_t) { AccessError(u"LongWord"); }
void TField::SetAsBytesValue(const rtl::TBytes&) { AccessError(u"Bytes"); }
// 8-bit text goes the way of any text.
void TField::SetAsAnsiStringValue(const std::string& Value) {
    SetAsStringValue(Widen(reinterpret_cast<const std::uint8_t*>(Value.data()), Value.size()));
}

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

bool TField::IsValidChar(char16_t Ch) const { return FValidChars.none() || (Ch < 256 && FValidChars.test(Ch)); }

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

// --- TFields ---

TFields::TFields(TDataSet* DataSet, TObjectField* ParentField) : FDataSet(DataSet), FParentField(ParentField) {}

TFields::~TFields() { Clear(); }

TDataSet* TFields::DataSet() const { return FParentField ? FParentField->DataSet() : FDataSet; }

TField* TFields::Fields(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
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
