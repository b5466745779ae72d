#pragma once
// A small in-memory dataset for tests and benchmarks: columns and rows given
// up front, bidirectional or unidirectional, with counters of what the
// dataset core asked of it and a way to make a fetch fail.

#include <memory>
#include <vector>

#include "data/dataset.h"
#include "rtl/variant.h"

namespace testing_data {

struct Column {
    rtl::String Name;
    data::TFieldType Type;
    int Size = 0;
};

class TMemoryDataSet : public data::TDataSet {
public:
    TMemoryDataSet(rtl::TComponent* AOwner, std::vector<Column> Columns, bool UniDirectional = false);
    ~TMemoryDataSet() override;

    // Rows of values, one per column (Variant::Null() for null).
    std::vector<std::vector<rtl::Variant>> Rows;
    // Counters.
    int Fetches = 0;
    int Opens = 0;
    // Fetching the row of this index raises EDatabaseError.
    int FailAtRow = -1;
    // InternalOpen raises EDatabaseError.
    bool FailOpen = false;
    // Allocating a record buffer while this many are held raises EDatabaseError.
    int FailAllocAt = -1;
    int BuffersHeld() const { return static_cast<int>(FBufferPool.size()); }
    bool ReadOnlyData = false;
    // False: the dataset gives no sequence numbers.
    bool Sequenced = true;
    bool IsSequenced() override { return Sequenced; }
    data::TDataSource* MasterSource = nullptr;

    // The row the active record shows (the cursor row when unidirectional).
    int ActiveRow();
    int Cursor() const { return FCursor; }

    using data::TDataSet::GetFieldData;
    bool GetFieldData(data::TField* Field, void* Buffer) override;
    void SetFieldData(data::TField* Field, const void* Buffer) override;
    std::unique_ptr<rtl::TStream> CreateBlobStream(data::TField* Field, data::TBlobStreamMode Mode) override;

protected:
    data::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(data::TRecordBuffer& Buffer) override;
    data::TGetResult GetRecord(data::TRecordBuffer Buffer, data::TGetMode GetMode, bool DoCheck) override;
    void InternalClose() override;
    void InternalHandleException() override {}
    void InternalInitFieldDefs() override;
    void InternalOpen() override;
    bool IsCursorOpen() override { return FOpen; }
    void InternalFirst() override {
        if (!IsUniDirectional()) FCursor = -1;  // a forward-only cursor cannot go back
    }
    void InternalLast() override { FCursor = static_cast<int>(Rows.size()); }
    void InternalSetToRecord(data::TRecordBuffer Buffer) override;
    data::TBookmarkFlag GetBookmarkFlag(data::TRecordBuffer Buffer) override;
    void SetBookmarkFlag(data::TRecordBuffer Buffer, data::TBookmarkFlag Value) override;
    void GetBookmarkData(data::TRecordBuffer Buffer, data::TBookmark& Data) override;
    void SetBookmarkData(data::TRecordBuffer Buffer, const data::TBookmark& Data) override;
    void InternalGotoBookmark(const data::TBookmark& Bookmark) override;
    void InternalInitRecord(data::TRecordBuffer Buffer) override;
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalPost() override;
    void InternalDelete() override;
    int GetRecordCount() override { return static_cast<int>(Rows.size()); }
    int GetRecNo() override { return ActiveRow() + 1; }
    void SetRecNoValue(int Value) override;
    bool GetCanModify() override { return !ReadOnlyData; }
    data::TDataSource* GetDataSource() override { return MasterSource; }

private:
    struct RecInfo {
        int Row;
        data::TBookmarkFlag Flag;
    };
    static RecInfo& Info(data::TRecordBuffer Buffer) { return *reinterpret_cast<RecInfo*>(Buffer); }
    const rtl::Variant& Value(data::TField* Field);

    std::vector<Column> FColumns;
    std::vector<std::unique_ptr<RecInfo>> FBufferPool;
    std::vector<rtl::Variant> FEditRow;
    bool FOpen = false;
    int FCursor = -1;
};

// Rows of (ID integer, Name wide string, Big large integer, Memo wide memo).
std::unique_ptr<TMemoryDataSet> MakePeople(int RowCount, bool UniDirectional = false);

}  // namespace testing_data
