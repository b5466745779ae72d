#include "memory_dataset.h"

#include <algorithm>
#include <cstring>

#include "rtl/format.h"
#include "rtl/stream.h"

namespace testing_data {

using namespace data;

TMemoryDataSet::TMemoryDataSet(rtl::TComponent* AOwner, std::vector<Column> Columns, bool UniDirectional)
    : TDataSet(AOwner), FColumns(std::move(Columns)) {
    FIsUniDirectional = UniDirectional;
}

TMemoryDataSet::~TMemoryDataSet() {
    Destroying();
    Close();
}

TRecordBuffer TMemoryDataSet::AllocRecordBuffer() {
    if (BuffersHeld() == FailAllocAt) DatabaseError(u"out of buffers", this);
    FBufferPool.push_back(std::make_unique<RecInfo>(RecInfo{-1, bfCurrent}));
    return reinterpret_cast<TRecordBuffer>(FBufferPool.back().get());
}

void TMemoryDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
    auto it = std::find_if(FBufferPool.begin(), FBufferPool.end(),
                           [&](const auto& p) { return reinterpret_cast<TRecordBuffer>(p.get()) == Buffer; });
    if (it != FBufferPool.end()) FBufferPool.erase(it);
    Buffer = nullptr;
}

void TMemoryDataSet::InternalInitFieldDefs() {
    FieldDefs().Clear();
    for (const Column& c : FColumns) FieldDefs().Add(c.Name, c.Type, c.Size);
}

void TMemoryDataSet::InternalOpen() {
    ++Opens;
    if (FailOpen) DatabaseError(u"cannot open", this);
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    FCursor = -1;
    FOpen = true;
}

void TMemoryDataSet::InternalClose() {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    FOpen = false;
}

TGetResult TMemoryDataSet::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool) {
    const int n = static_cast<int>(Rows.size());
    switch (GetMode) {
        case gmNext:
            if (FCursor >= n - 1) {
                FCursor = n;
                return grEOF;
            }
            if (FCursor + 1 == FailAtRow) DatabaseError(u"fetch failed", this);
            ++FCursor;
            break;
        case gmPrior:
            if (FCursor <= 0) {
                FCursor = -1;
                return grBOF;
            }
            if (FCursor - 1 == FailAtRow) DatabaseError(u"fetch failed", this);
            --FCursor;
            break;
        case gmCurrent:
            if (FCursor >= n) return grEOF;
            if (FCursor < 0) return grBOF;
            break;
    }
    ++Fetches;
    Info(Buffer) = {FCursor, bfCurrent};
    return grOK;
}

void TMemoryDataSet::InternalSetToRecord(TRecordBuffer Buffer) { FCursor = Info(Buffer).Row; }

// As a bidirectional dataset with record numbers does it: the record of that
// number, centred in the window (a number out of range gives the nearest).
void TMemoryDataSet::SetRecNoValue(int Value) {
    CheckBrowseMode();
    if (Value == RecNo() || Rows.empty()) return;
    DoBeforeScroll();
    FCursor = std::clamp(Value - 1, 0, static_cast<int>(Rows.size()) - 1);
    Resync({rmCenter});
    DoAfterScroll();
}
TBookmarkFlag TMemoryDataSet::GetBookmarkFlag(TRecordBuffer Buffer) { return Info(Buffer).Flag; }
void TMemoryDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) { Info(Buffer).Flag = Value; }

void TMemoryDataSet::GetBookmarkData(TRecordBuffer Buffer, TBookmark& Data) {
    Data.resize(sizeof(int));
    std::memcpy(Data.data(), &Info(Buffer).Row, sizeof(int));
}

void TMemoryDataSet::SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Data) {
    if (Data.size() == sizeof(int)) std::memcpy(&Info(Buffer).Row, Data.data(), sizeof(int));
}

void TMemoryDataSet::InternalGotoBookmark(const TBookmark& Bookmark) {
    std::memcpy(&FCursor, Bookmark.data(), sizeof(int));
}

void TMemoryDataSet::InternalInitRecord(TRecordBuffer Buffer) {
    Info(Buffer).Row = FCursor;
    FEditRow.assign(FColumns.size(), rtl::Variant::Null());
}

void TMemoryDataSet::InternalEdit() { FEditRow = Rows.at(ActiveRow()); }
void TMemoryDataSet::InternalInsert() {}

void TMemoryDataSet::InternalPost() {
    if (State() == dsEdit) {
        Rows.at(ActiveRow()) = FEditRow;
    } else {
        int at = std::clamp(Info(ActiveBuffer()).Row, 0, static_cast<int>(Rows.size()));
        if (GetBookmarkFlag(ActiveBuffer()) == bfEOF) at = static_cast<int>(Rows.size());
        Rows.insert(Rows.begin() + at, FEditRow);
        FCursor = at;
    }
}

void TMemoryDataSet::InternalDelete() {
    Rows.erase(Rows.begin() + ActiveRow());
    if (FCursor >= static_cast<int>(Rows.size())) FCursor = static_cast<int>(Rows.size()) - 1;
}

int TMemoryDataSet::ActiveRow() {
    if (IsUniDirectional()) return FCursor;
    TRecordBuffer b = ActiveBuffer();
    return b && !IsEmpty() ? Info(b).Row : -1;
}

const rtl::Variant& TMemoryDataSet::Value(TField* Field) {
    static const rtl::Variant null = rtl::Variant::Null();
    const int col = Field->FieldNo() - 1;
    if (col < 0 || col >= static_cast<int>(FColumns.size())) return null;
    if (State() == dsEdit || State() == dsInsert) return FEditRow.at(col);
    const int row = ActiveRow();
    if (row < 0 || row >= static_cast<int>(Rows.size())) return null;
    return Rows[row][col];
}

bool TMemoryDataSet::GetFieldData(TField* Field, void* Buffer) {
    const rtl::Variant& v = Value(Field);
    if (v.IsClear()) return false;
    if (!Buffer) return true;
    switch (Field->DataType()) {
        case ftSmallint:
        case ftWord:
        case ftShortint:
        case ftByte: {
            std::int64_t i = v.AsInt64();
            std::memcpy(Buffer, &i, static_cast<std::size_t>(Field->DataSize()));  // the low bytes
            break;
        }
        case ftInteger: {
            std::int32_t i = v.AsInteger();
            std::memcpy(Buffer, &i, 4);
            break;
        }
        case ftLargeint: {
            std::int64_t i = v.AsInt64();
            std::memcpy(Buffer, &i, 8);
            break;
        }
        case ftFloat:
        case ftDate:
        case ftTime:
        case ftDateTime: {  // a double, for a date or time a TDateTime
            const double d = v.AsDouble();
            std::memcpy(Buffer, &d, 8);
            break;
        }
        case ftWideString: {
            const rtl::String& s = v.AsString();
            std::memcpy(Buffer, s.c_str(), (s.size() + 1) * sizeof(char16_t));
            break;
        }
        case ftString: {
            std::string s = rtl::StringToUtf8(v.AsString());
            std::memcpy(Buffer, s.c_str(), s.size() + 1);
            break;
        }
        default: break;  // blobs: only whether a value exists
    }
    return true;
}

void TMemoryDataSet::SetFieldData(TField* Field, const void* Buffer) {
    if (State() != dsEdit && State() != dsInsert) DatabaseError(SNotEditing, this);
    Field->Validate(Buffer);
    rtl::Variant& slot = FEditRow.at(Field->FieldNo() - 1);
    if (!Buffer) {
        slot = rtl::Variant::Null();
    } else {
        auto narrow = [&](auto Stored) {
            std::memcpy(&Stored, Buffer, sizeof Stored);
            slot = rtl::Variant(std::int32_t(Stored));
        };
        switch (Field->DataType()) {
            case ftSmallint: narrow(std::int16_t{}); break;
            case ftWord: narrow(std::uint16_t{}); break;
            case ftShortint: narrow(std::int8_t{}); break;
            case ftByte: narrow(std::uint8_t{}); break;
            case ftInteger: {
                std::int32_t i;
                std::memcpy(&i, Buffer, 4);
                slot = rtl::Variant(i);
                break;
            }
            case ftLargeint: {
                std::int64_t i;
                std::memcpy(&i, Buffer, 8);
                slot = rtl::Variant(i);
                break;
            }
            case ftWideString: slot = rtl::Variant(rtl::String(static_cast<const char16_t*>(Buffer))); break;
            default: break;
        }
    }
    DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(Field));
}

std::unique_ptr<rtl::TStream> TMemoryDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
    if (Mode != bmRead) return nullptr;
    auto stream = std::make_unique<rtl::TMemoryStream>();
    const rtl::Variant& v = Value(Field);
    if (!v.IsClear()) {
        if (Field->DataType() == ftWideMemo) {
            const rtl::String& s = v.AsString();
            stream->WriteBuffer(s.data(), static_cast<std::int64_t>(s.size() * sizeof(char16_t)));
        } else if (v.VarType() == rtl::TVarType::varBytes) {
            stream->WriteBuffer(v.AsBytes().data(), static_cast<std::int64_t>(v.AsBytes().size()));
        } else {
            std::string s = rtl::StringToUtf8(v.AsString());
            stream->WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
        }
        stream->SetPosition(0);
    }
    return stream;
}

std::unique_ptr<TMemoryDataSet> MakePeople(int RowCount, bool UniDirectional) {
    auto ds = std::make_unique<TMemoryDataSet>(
        nullptr,
        std::vector<Column>{
            {u"ID", ftInteger}, {u"Name", ftWideString, 20}, {u"Big", ftLargeint}, {u"Memo", ftWideMemo}},
        UniDirectional);
    ds->SetName(u"MemData");
    for (int i = 0; i < RowCount; ++i)
        ds->Rows.push_back({rtl::Variant(std::int32_t(i + 1)), rtl::Variant(u"Name" + rtl::IntToStr(i + 1)),
                            rtl::Variant(static_cast<std::int64_t>(i * 10000000000LL)),
                            i % 2 ? rtl::Variant::Null() : rtl::Variant(u"Memo text " + rtl::IntToStr(i + 1))});
    return ds;
}

}  // namespace testing_data
