#include "data/field_defs.h"

#include "data/dataset.h"
#include "data/db_error.h"
#include "data/fields.h"
#include "data/structured_fields.h"
#include "rtl/format.h"

namespace data {

// --- TFieldDef ---

TFieldDef::TFieldDef(TFieldDefs* Owner, rtl::StringView Name, TFieldType DataType, int Size, bool Required, int FieldNo)
    : FOwner(Owner), FName(Name), FDataType(DataType), FFieldNo(FieldNo) {
    if (Required) FAttributes.Include(faRequired);
    SetSize(Size);
}

TFieldDef::~TFieldDef() = default;

void TFieldDef::SetName(rtl::StringView Value) {
    if (FName == Value) return;
    FName = rtl::String(Value);
    if (FOwner) FOwner->Rehash();
    Changed();
}

void TFieldDef::SetDataType(TFieldType Value) {
    FDataType = Value;
    Changed();
}

int TFieldDef::Size() const {
    if (HasChildDefs() && FSize == 0) return FChildDefs->Count();
    return FSize;
}

void TFieldDef::SetSize(int Value) {
    if (TFieldClass cls = FieldClass()) cls->CheckTypeSize(Value);
    FSize = Value;
    Changed();
}

void TFieldDef::SetAttributes(TFieldAttributes Value) {
    FAttributes = Value;
    Changed();
}

void TFieldDef::SetRequired(bool Value) {
    if (Value) FAttributes.Include(faRequired);
    else FAttributes.Exclude(faRequired);
    Changed();
}

bool TFieldDef::HasChildDefs() const { return FChildDefs && FChildDefs->Count() > 0; }

TFieldDefs& TFieldDef::ChildDefs() {
    if (!FChildDefs) FChildDefs = std::make_unique<TFieldDefs>(DataSet(), this);
    return *FChildDefs;
}

TFieldDef* TFieldDef::ParentDef() const { return FOwner ? FOwner->ParentDef() : nullptr; }

TDataSet* TFieldDef::DataSet() const { return FOwner ? FOwner->DataSet() : nullptr; }

TFieldClass TFieldDef::FieldClass() const {
    if (TDataSet* ds = DataSet()) return ds->GetFieldClass(*this);
    return DefaultFieldClasses[FDataType];
}

TField* TFieldDef::CreateField(rtl::TComponent* Owner, TField* ParentField, rtl::StringView FieldName,
                               bool CreateChildren) {
    TDataSet* ds = DataSet();
    TFieldClass cls = FieldClass();
    if (!cls) DatabaseErrorFmt(SUnknownFieldType, {FName}, ds);
    TField* field = cls->Create(Owner);
    try {
        field->SetFieldName(FieldName.empty() ? rtl::StringView(FName) : FieldName);
        if (ds) ds->SetFieldProps(field, *this);
        else field->SetFieldProps(*this);
        auto* parent = dynamic_cast<TObjectField*>(ParentField);
        if (parent) field->SetParentField(parent);
        else field->SetDataSet(ds);
        if (CreateChildren && HasChildDefs())
            if (auto* obj = dynamic_cast<TObjectField*>(field))
                for (int i = 0; i < FChildDefs->Count(); ++i) FChildDefs->Items(i)->CreateField(Owner, obj);
    } catch (...) {
        // The new field could not be attached: free it, then report.
        FreeField(field);
        throw;
    }
    return field;
}

void TFieldDef::Changed() {
    if (FOwner) FOwner->Changed();
}

// --- TFieldDefs ---

TFieldDefs::TFieldDefs(TDataSet* DataSet, TFieldDef* ParentDef) : FDataSet(DataSet), FParentDef(ParentDef) {}

TFieldDefs::~TFieldDefs() = default;

TFieldDef* TFieldDefs::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::EListError(rtl::Format(u"List index out of bounds (%d)", {Index}));
    return FItems[Index].get();
}

TFieldDef* TFieldDefs::Add(rtl::StringView Name, TFieldType DataType, int Size, bool Required) {
    if (Name.empty()) DatabaseError(SFieldNameMissing, FDataSet);
    FItems.push_back(std::make_unique<TFieldDef>(this, Name, DataType, Size, Required, Count() + 1));
    TFieldDef* def = FItems.back().get();
    FHash.emplace(def->Name(), def);
    Changed();
    return def;
}

TFieldDef* TFieldDefs::AddFieldDef() {
    FItems.push_back(std::make_unique<TFieldDef>(this, rtl::StringView(), ftUnknown, 0, false, Count() + 1));
    Changed();
    return FItems.back().get();
}

void TFieldDefs::Clear() {
    FItems.clear();
    FHash.clear();
    Changed();
}

int TFieldDefs::IndexOf(rtl::StringView Name) const {
    auto it = FHash.find(Name);
    if (it == FHash.end()) return -1;
    for (int i = 0; i < Count(); ++i)
        if (FItems[i].get() == it->second) return i;
    return -1;
}

TFieldDef* TFieldDefs::Find(rtl::StringView Name) const {
    auto it = FHash.find(Name);
    if (it == FHash.end()) DatabaseErrorFmt(SFieldNotFound, {Name}, FDataSet);
    return it->second;
}

rtl::String TFieldDefs::UniqueName(rtl::StringView Name) const {
    rtl::String name(Name);
    for (int n = 1; FHash.find(rtl::StringView(name)) != FHash.end(); ++n) name = rtl::Format(u"%s_%d", {Name, n});
    return name;
}

void TFieldDefs::Update() {
    if (FDataSet) FDataSet->InitFieldDefs();
    FUpdated = true;
}

void TFieldDefs::Changed() {
    FUpdated = false;
    if (FDataSet) FDataSet->FFieldDefList.SetUpdated(false);
}

void TFieldDefs::Rehash() {
    FHash.clear();
    for (const auto& d : FItems)
        if (!d->Name().empty()) FHash.emplace(d->Name(), d.get());
}

// --- TFieldDefList ---

void TFieldDefList::Rebuild(const TFieldDefs& Defs) {
    FItems.clear();
    FHash.clear();
    AddDefs(Defs, rtl::String());
    FUpdated = true;
}

void TFieldDefList::AddDefs(const TFieldDefs& Defs, const rtl::String& Prefix) {
    for (int i = 0; i < Defs.Count(); ++i) {
        TFieldDef* def = Defs.Items(i);
        rtl::String name = Prefix.empty() ? def->Name() : Prefix + u"." + def->Name();
        FHash.emplace(name, Count());
        FItems.push_back({name, def});
        if (def->HasChildDefs()) AddDefs(def->ChildDefs(), name);
    }
}

int TFieldDefList::IndexOf(rtl::StringView FullName) const {
    auto it = FHash.find(FullName);
    return it == FHash.end() ? -1 : it->second;
}

TFieldDef* TFieldDefList::Find(rtl::StringView FullName) const {
    int i = IndexOf(FullName);
    return i < 0 ? nullptr : FItems[i].Def;
}

}  // namespace data
