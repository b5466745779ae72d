#include "data/blob_fields.h"

#include <algorithm>

#include "data/dataset.h"
#include "data/db_error.h"
#include "data/field_support.h"
#include "rtl/stream.h"

namespace data {

using namespace field_support;

DEFINE_FIELD_CLASS(TBlobField, Blob, AnySize)
DEFINE_FIELD_CLASS(TMemoField, Blob, AnySize)
DEFINE_FIELD_CLASS(TWideMemoField, Blob, AnySize)
DEFINE_FIELD_CLASS(TGraphicField, Blob, AnySize)

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

// The stream is read straight into the text, which is sized to (size + 1)
// div 2 characters (an odd last byte is the low half of the last one).
rtl::String TBlobField::GetAsWideString() const {
    std::unique_ptr<rtl::TStream> stream = BlobStream(bmRead);
    if (!stream) return {};
    stream->SetPosition(0);
    const std::int64_t size = std::max<std::int64_t>(0, stream->Size());
    rtl::String s(static_cast<std::size_t>((size + 1) / 2), u'\0');
    const std::int64_t read = size > 0 ? stream->Read(s.data(), size) : 0;
    s.resize(static_cast<std::size_t>((std::max<std::int64_t>(read, 0) + 1) / 2));
    return s;
}

rtl::Variant TBlobField::GetAsVariant() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsBytes());
}

rtl::Variant TBlobField::GetAsByteArray() const {
    if (IsNull()) return rtl::Variant::Null();
    return rtl::Variant(GetAsBytes());
}

void TBlobField::SetAsByteArrayValue(const rtl::Variant& Value) {
    if (Value.IsClear()) Clear();
    else if (Value.VarType() == rtl::TVarType::varBytes) SetAsBytesValue(Value.AsBytes());
    else DatabaseErrorFmt(SFieldValueError, {DisplayName()}, this);
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
            if (DisplayText && static_cast<int>(Text.size()) > DisplayWidth())
                Text = Text.substr(0, DisplayWidth()) + u"...";
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

}  // namespace data
