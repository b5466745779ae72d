// TDataSet's field side: creating, binding and finding fields, and the
// forms through which fields read and write their values.
#include "data/dataset.h"

#include <algorithm>
#include <cstring>

#include "data/structured_fields.h"
#include "rtl/stream.h"
#include "rtl/string_list.h"

namespace data {

// --- fields ---

TFieldDefList& TDataSet::FieldDefList() {
    if (!FFieldDefList.Updated()) FFieldDefList.Rebuild(*FFieldDefs);
    return FFieldDefList;
}

bool TDataSet::DefaultFields() const {
    return !(FFieldOptions.AutoCreateMode == acExclusive && FFields->GetLifeCycles().Contains(lcPersistent));
}

void TDataSet::InitFieldDefs() {
    if (IsCursorOpen()) {
        InternalInitFieldDefs();
    } else {
        OpenCursor(true);
        CloseCursor();
    }
}

void TDataSet::CreateFields() {
    bool combining = false;
    if (FFields->Count() > 0) {
        switch (FFieldOptions.AutoCreateMode) {
            case acExclusive: return;
            case acCombineComputed:
                for (TField* f : *FFields)
                    if (f->FieldKind() == fkData) return;
                break;
            case acCombineAlways: break;
        }
        combining = true;
    }
    if (FObjectView) {
        // Top-level definitions only; structured fields create their children.
        for (int i = 0; i < FFieldDefs->Count(); ++i) {
            TFieldDef* def = FFieldDefs->Items(i);
            if (def->DataType() == ftUnknown) continue;
            if (def->Attributes().Contains(faHiddenCol) && !FFieldDefs->HiddenFields()) continue;
            if (combining && FindField(def->Name())) continue;
            TField* field = def->CreateField(this, nullptr, def->Name(), true);
            if (FFieldOptions.PositionMode == poFirst) FFields->SetFieldIndex(field, i);
        }
    } else {
        CreateFieldsFromDefs(FieldDefList(), combining);
    }
    rtl::String keys = PSGetKeyFields();
    std::size_t pos = 0;
    while (pos <= keys.size() && !keys.empty()) {
        std::size_t end = keys.find(u';', pos);
        if (end == rtl::String::npos) end = keys.size();
        rtl::String name = rtl::Trim(rtl::StringView(keys).substr(pos, end - pos));
        if (!name.empty())
            if (TField* f = FindField(name)) f->SetProviderFlags(f->ProviderFlags() + TProviderFlags{pfInKey});
        pos = end + 1;
    }
}

void TDataSet::CreateFieldsFromDefs(const TFieldDefList& List, bool Combining) {
    int leading = 0;
    for (int i = 0; i < List.Count(); ++i) {
        TFieldDef* def = List.Items(i);
        switch (def->DataType()) {
            case ftUnknown:
            case ftADT:
            case ftArray:
            case ftReference:
            case ftDataSet: continue;
            default: break;
        }
        if (def->Attributes().Contains(faHiddenCol) && !FFieldDefs->HiddenFields()) continue;
        const rtl::String& fullName = List.FullName(i);
        if (Combining && FindField(fullName)) continue;
        TField* field = def->CreateField(this, nullptr, fullName, false);
        if (FFieldOptions.PositionMode == poFirst) FFields->SetFieldIndex(field, leading++);
    }
}

void TDataSet::DestroyFields() { FFields->ClearAutomatic(); }

void TDataSet::BindFields(bool Binding) {
    FCalcFieldsSize = 0;
    FBlobFieldCount = 0;
    FInternalCalcFields = false;
    FIOBufferSize = 0;
    BindFieldList(*FFields, Binding);
    if (Binding) {
        FIOSharedBuffer.assign(static_cast<std::size_t>(FIOBufferSize), 0);
        FIOTempBuffer.assign(static_cast<std::size_t>(FIOBufferSize), 0);
        if (FFieldOptions.PositionMode == poFieldNo) {
            std::vector<TField*> sorted(FFields->begin(), FFields->end());
            std::stable_sort(sorted.begin(), sorted.end(),
                             [](TField* a, TField* b) { return a->FieldNo() < b->FieldNo(); });
            for (int i = 0; i < static_cast<int>(sorted.size()); ++i) FFields->SetFieldIndex(sorted[i], i);
        }
    } else {
        TValueBuffer().swap(FIOSharedBuffer);
        TValueBuffer().swap(FIOTempBuffer);
    }
}

void TDataSet::BindFieldList(TFields& List, bool Binding) {
    TFieldDefList& defs = FieldDefList();
    for (TField* field : List) {
        if (!Binding) {
            field->SetFieldNo(0);
            field->SetIOBuffer(nullptr);
            field->Bind(false);
        } else {
            switch (field->FieldKind()) {
                case fkCalculated:
                case fkLookup:
                    if (!GetCalcFieldTypes().Contains(field->DataType()))
                        DatabaseErrorFmt(SInvalidCalcType, {field->DisplayName()}, this);
                    field->SetFieldNo(-1);
                    field->SetOffset(FCalcFieldsSize);
                    FCalcFieldsSize += field->DataSize() + 1;
                    break;
                case fkAggregate: field->SetFieldNo(-1); break;
                default: {
                    rtl::String fullName = GetFieldFullName(field);
                    int index = defs.IndexOf(fullName);
                    if (index < 0) DatabaseErrorFmt(SFieldNotFound, {fullName}, this);
                    TFieldDef* def = defs.Items(index);
                    if (field->FieldKind() == fkInternalCalc) {
                        field->SetFieldNo(def->FieldNo());
                        FInternalCalcFields = true;
                    } else {
                        field->SetFieldNo(index + FFieldNoOfs);
                    }
                    if (FFieldOptions.UpdatePersistent && field->LifeCycle() == lcPersistent &&
                        field->DataType() == def->DataType())
                        SetFieldProps(field, *def);
                    CheckFieldCompatibility(field, *def);
                    if (field->IsBlob()) {
                        field->SetSize(def->Size());
                        field->SetOffset(FBlobFieldCount++);
                    }
                }
            }
            field->Bind(true);
            field->SetIOBuffer(&FIOSharedBuffer);
            FIOBufferSize = std::max(FIOBufferSize, field->IOSize());
        }
        if (auto* obj = dynamic_cast<TObjectField*>(field)) BindFieldList(obj->Fields(), Binding);
    }
}

namespace {
// The family of a type, for comparing a persistent field with its definition.
int TypeFamily(TFieldType T) {
    switch (T) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftFixedWideChar:
        case ftGuid:
        case ftOraInterval: return 1;
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint:
        case ftLongWord:
        case ftShortint:
        case ftByte: return 2;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftFMTBcd:
        case ftExtended:
        case ftSingle: return 3;
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftTimeStamp:
        case ftOraTimeStamp:
        case ftTimeStampOffset: return 4;
        case ftBytes:
        case ftVarBytes: return 6;
        default: return IsBlobType(T) ? 5 : 100 + T;
    }
}
}  // namespace

void TDataSet::CheckFieldCompatibility(TField* Field, const TFieldDef& FieldDef) {
    if (TypeFamily(Field->DataType()) != TypeFamily(FieldDef.DataType()))
        DatabaseErrorFmt(SFieldTypeMismatch,
                         {Field->DisplayName(), FieldTypeNames[Field->DataType()], FieldTypeNames[FieldDef.DataType()]},
                         this);
    switch (Field->DataType()) {
        case ftBCD:
        case ftBytes:
        case ftVarBytes:
        case ftReference:
            if (Field->Size() != FieldDef.Size())
                DatabaseErrorFmt(SFieldSizeMismatch, {Field->DisplayName(), Field->Size(), FieldDef.Size()}, this);
            break;
        default: break;
    }
}

TField* TDataSet::FieldByName(rtl::StringView FieldName) {
    TField* f = FindField(FieldName);
    if (!f) DatabaseErrorFmt(SFieldNotFound, {FieldName}, this);
    return f;
}

TField* TDataSet::FindField(rtl::StringView FieldName) {
    if (TField* f = FFields->FindField(FieldName)) return f;
    if (FObjectView) {
        std::vector<TFields*> pending{FFields.get()};
        while (!pending.empty()) {
            TFields* list = pending.back();
            pending.pop_back();
            for (TField* f : *list)
                if (auto* obj = dynamic_cast<TObjectField*>(f)) {
                    for (TField* child : obj->Fields())
                        if (rtl::SameText(child->FullName(), FieldName)) return child;
                    pending.push_back(&obj->Fields());
                }
        }
    }
    return FAggFields->FindField(FieldName);
}

TField* TDataSet::FieldByNumber(int FieldNo) { return FFields->FieldByNumber(FieldNo); }

void TDataSet::GetFieldNames(rtl::TStringList& List) {
    List.Clear();
    for (TField* f : *FFields) List.Add(f->FieldName());
}

TFieldClass TDataSet::GetFieldClass(TFieldType FieldType) {
    return FieldType >= 0 && FieldType < FieldTypeCount ? DefaultFieldClasses[FieldType] : nullptr;
}

TFieldClass TDataSet::GetFieldClass(const TFieldDef& FieldDef) { return GetFieldClass(FieldDef.DataType()); }

void TDataSet::SetFieldProps(TField* Field, const TFieldDef& FieldDef) { Field->SetFieldProps(FieldDef); }

void TDataSet::SetFieldDefProps(TFieldDef& FieldDef, const TField* Field) { Field->SetFieldDefProps(FieldDef); }

bool TDataSet::GetIsIndexField(const TField*) { return false; }

// --- reading and writing values ---

bool TDataSet::GetFieldData(TField*, void*) { return false; }

bool TDataSet::GetFieldData(int FieldNo, void* Buffer) {
    TField* f = FieldByNumber(FieldNo);
    return f ? GetFieldData(f, Buffer) : false;
}

bool TDataSet::GetFieldData(TField* Field, void* Buffer, bool NativeFormat) {
    if (NativeFormat || !Buffer) return GetFieldData(Field, Buffer);
    // The scratch area lives on the stack unless the value is large.
    const int size = Field->DataSize();
    std::uint8_t stack[8194];
    TValueBuffer heap;
    std::uint8_t* temp = stack;
    if (size >= 8194) {
        heap.assign(static_cast<std::size_t>(size), 0);
        temp = heap.data();
    } else if (Field->DataType() == ftBytes) {
        std::memset(temp, 0, static_cast<std::size_t>(size));
    }
    bool result = GetFieldData(Field, temp);
    if (result) DataConvert(Field, temp, Buffer, false);
    return result;
}

bool TDataSet::GetFieldData(TField* Field, TValueBuffer& Buffer) {
    return GetFieldData(Field, Buffer.empty() ? nullptr : Buffer.data());
}

bool TDataSet::GetFieldData(int FieldNo, TValueBuffer& Buffer) {
    TField* f = FieldByNumber(FieldNo);
    return f ? GetFieldData(f, Buffer) : false;
}

bool TDataSet::GetFieldData(TField* Field, TValueBuffer& Buffer, bool NativeFormat) {
    if (NativeFormat) return GetFieldData(Field, Buffer);
    if (FIOTempBuffer.size() < static_cast<std::size_t>(Field->DataSize()))
        FIOTempBuffer.resize(static_cast<std::size_t>(Field->DataSize()));
    if (Field->DataType() == ftBytes) std::fill(FIOTempBuffer.begin(), FIOTempBuffer.end(), 0);
    bool result = GetFieldData(Field, FIOTempBuffer.empty() ? nullptr : FIOTempBuffer.data());
    if (result) {
        if (Buffer.size() < static_cast<std::size_t>(Field->DataSize()))
            Buffer.resize(static_cast<std::size_t>(Field->DataSize()));
        DataConvert(Field, FIOTempBuffer.data(), Buffer.data(), false);
    }
    return result;
}

void TDataSet::DataConvert(TField* Field, const void* Source, void* Dest, bool) {
    // Native and exchange formats coincide for the types kept here.
    if (Source && Dest && Field->DataSize() > 0)
        std::memmove(Dest, Source, static_cast<std::size_t>(Field->DataSize()));
}

void TDataSet::SetFieldData(TField*, const void*) {}

void TDataSet::SetFieldData(TField* Field, const void* Buffer, bool NativeFormat) {
    if (NativeFormat || !Buffer) {
        SetFieldData(Field, Buffer);
        return;
    }
    TValueBuffer temp(static_cast<std::size_t>(std::max(Field->DataSize(), 1)), 0);
    DataConvert(Field, Buffer, temp.data(), true);
    SetFieldData(Field, temp.data());
}

std::unique_ptr<rtl::TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }

int TDataSet::GetBlobFieldData(int FieldNo, rtl::TBytes& Buffer) {
    TField* f = FieldByNumber(FieldNo);
    std::unique_ptr<rtl::TStream> stream = f ? CreateBlobStream(f, bmRead) : nullptr;
    if (!stream) {
        Buffer.clear();
        return 0;
    }
    stream->SetPosition(0);
    Buffer = stream->ReadRemaining();
    return static_cast<int>(Buffer.size());
}

int TDataSet::Translate(const char* Src, char* Dest, bool) {
    std::size_t len = std::strlen(Src);
    if (Src != Dest) std::memmove(Dest, Src, len + 1);
    return static_cast<int>(len);
}

bool TDataSet::GetCurrentRecord(TRecordBuffer) { return false; }
void TDataSet::GetDetailDataSets(std::vector<TDataSet*>& List) { List.clear(); }
void TDataSet::GetDetailLinkFields(std::vector<TField*>& MasterFields, std::vector<TField*>& DetailFields) {
    MasterFields.clear();
    DetailFields.clear();
}
bool TDataSet::Locate(rtl::StringView, const rtl::Variant&) { return false; }
rtl::Variant TDataSet::Lookup(rtl::StringView, const rtl::Variant&, rtl::StringView) { return rtl::Variant::Null(); }

}  // namespace data
