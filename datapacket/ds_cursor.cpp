#include "datapacket/ds_cursor.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "datapacket/ds_base.h"
#include "datapacket/ds_bytes.h"

namespace datapacket {

namespace {

// Bookmark field offsets (BookmarkSize bytes in all).
constexpr std::size_t BmPosition = 0, BmRecordNo = 4, BmOrderId = 8, BmGeneration = 12, BmStatus = 16;

}  // namespace

DBResult TDSCursor::InitCursor(std::shared_ptr<IDSBase> DSBase) {
    auto base = std::dynamic_pointer_cast<TDSBase>(DSBase);
    if (!base) return DBERR_INVALIDPARAM;
    std::lock_guard guard(base->Lock());
    if (!base->HasMetaData()) return DBERR_NOMETADATA;
    FBase = std::move(base);
    FPosition = 0;
    FStatus = DBERR_BOF;
    return DBERR_NONE;
}

DBResult TDSCursor::GetCursorProps(CURProps& Props) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    Props.iFields = static_cast<std::uint32_t>(FBase->Fields().size());
    Props.iRecBufSize = FBase->RecordLength();
    Props.iBookMarkSize = BookmarkSize;
    Props.bReadOnly = FBase->ReadOnly();
    return DBERR_NONE;
}

// The status of the position: a record that the store still holds, or a crack.
// A store emptied under the cursor leaves it past the end.
DBResult TDSCursor::Current() const {
    if (FStatus != DBERR_NONE) return FStatus;
    return FPosition >= 1 && FPosition <= FBase->RecordCount() ? DBERR_NONE : DBERR_EOF;
}

DBResult TDSCursor::Settle(std::int64_t Target) {
    const std::uint32_t count = FBase->RecordCount();
    if (Target < 1) {
        FPosition = 0;
        FStatus = DBERR_BOF;
    } else if (Target > count) {
        FPosition = count + 1;
        FStatus = DBERR_EOF;
    } else {
        FPosition = static_cast<std::uint32_t>(Target);
        FStatus = DBERR_NONE;
    }
    return FStatus;
}

DBResult TDSCursor::GetCurrentRecord(std::uint8_t* RecBuf) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    if (!RecBuf && FBase->RecordLength() != 0) return DBERR_INVALIDPARAM;
    if (DBResult r = Current()) return r;
    if (FBase->RecordLength() != 0) std::memcpy(RecBuf, FBase->Record(FPosition), FBase->RecordLength());
    return DBERR_NONE;
}

DBResult TDSCursor::GetCurrentBookMark(std::uint8_t* Bookmark) {
    if (!FBase) return DBERR_NA;
    if (!Bookmark) return DBERR_INVALIDPARAM;
    std::lock_guard guard(FBase->Lock());
    const DBResult status = Current();
    PutLE<std::uint32_t>(Bookmark + BmPosition, FPosition);
    PutLE<std::uint32_t>(Bookmark + BmRecordNo, status == DBERR_NONE ? FPosition : 0);
    PutLE<std::uint32_t>(Bookmark + BmOrderId, FBase->OrderId());
    PutLE<std::uint32_t>(Bookmark + BmGeneration, FBase->Generation());
    PutLE<std::uint16_t>(Bookmark + BmStatus, status);
    PutLE<std::uint16_t>(Bookmark + BmStatus + 2, 0);
    return DBERR_NONE;
}

DBResult TDSCursor::GetSequenceNumber(std::uint32_t& SeqNo) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    if (DBResult r = Current()) return r;
    SeqNo = FPosition;
    return DBERR_NONE;
}

DBResult TDSCursor::GetRecordAttribute(std::uint8_t& Attribute) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    if (DBResult r = Current()) return r;
    Attribute = FBase->Record(FPosition)[FBase->RecordLength()];
    return DBERR_NONE;
}

DBResult TDSCursor::GetRecordCount(std::int32_t& Count) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    Count = static_cast<std::int32_t>(FBase->RecordCount());
    return DBERR_NONE;
}

DBResult TDSCursor::MoveToBOF() {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    Settle(0);
    return DBERR_NONE;
}

DBResult TDSCursor::MoveToEOF() {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    Settle(std::int64_t{FBase->RecordCount()} + 1);
    return DBERR_NONE;
}

DBResult TDSCursor::MoveRelative(std::int32_t Offset) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    if (Offset == 0) return Current();
    // From a crack the move starts just outside the records; so does a move
    // from a record the store no longer holds (emptied and filled again).
    const DBResult now = Current();
    std::int64_t start = FPosition;
    if (now == DBERR_BOF) start = 0;
    if (now == DBERR_EOF) start = std::int64_t{FBase->RecordCount()} + 1;
    return Settle(start + Offset);
}

DBResult TDSCursor::MoveToSeqNo(std::int32_t SeqNo) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    return Settle(SeqNo);
}

DBResult TDSCursor::MoveToBookMark(const std::uint8_t* Bookmark) {
    if (!FBase) return DBERR_NA;
    if (!Bookmark) return DBERR_INVALIDPARAM;
    std::lock_guard guard(FBase->Lock());
    const std::uint16_t status = GetLE<std::uint16_t>(Bookmark + BmStatus);
    if (status == DBERR_BOF || status == DBERR_EOF) {
        Settle(status == DBERR_BOF ? 0 : std::int64_t{FBase->RecordCount()} + 1);
        return DBERR_NONE;
    }
    if (status != DBERR_NONE) return DBERR_INVALIDPARAM;
    // The same order keeps positions; another order (or this one after a
    // Reset) is searched for the record's number.
    const bool sameOrder = GetLE<std::uint32_t>(Bookmark + BmOrderId) == FBase->OrderId() &&
                           GetLE<std::uint32_t>(Bookmark + BmGeneration) == FBase->Generation();
    const std::uint32_t target = GetLE<std::uint32_t>(Bookmark + (sameOrder ? BmPosition : BmRecordNo));
    if (target < 1 || target > FBase->RecordCount()) return DBERR_OUTOFRANGE;
    return Settle(target);
}

DBResult TDSCursor::CompareBookMarks(const std::uint8_t* Bookmark1, const std::uint8_t* Bookmark2, int& Result) {
    if (!Bookmark1 || !Bookmark2) return DBERR_INVALIDPARAM;
    const std::uint32_t p1 = GetLE<std::uint32_t>(Bookmark1 + BmPosition);
    const std::uint32_t p2 = GetLE<std::uint32_t>(Bookmark2 + BmPosition);
    Result = p1 < p2 ? -1 : p1 > p2 ? 1 : 0;
    return DBERR_NONE;
}

DBResult TDSCursor::GetField(const std::uint8_t* RecBuf, std::uint32_t FieldNo, void* Dest, bool& IsBlank) {
    if (!FBase) return DBERR_NA;
    if (!RecBuf) return DBERR_INVALIDPARAM;
    std::lock_guard guard(FBase->Lock());
    const auto& fields = FBase->Fields();
    if (FieldNo < 1 || FieldNo > fields.size()) return DBERR_OUTOFRANGE;
    const DSFLDDesc& f = fields[FieldNo - 1];
    IsBlank = RecBuf[f.iNullOffsInRec] != recValue;
    if (Dest) std::memcpy(Dest, RecBuf + f.iFldOffsInRec, f.iFldLen);
    return DBERR_NONE;
}

// The blob of column FieldNo in RecBuf; Data is null for a null value.
DBResult TDSCursor::BlobOf(const std::uint8_t* RecBuf, std::uint32_t FieldNo, const std::uint8_t*& Data,
                           std::uint32_t& Len) const {
    if (!RecBuf) return DBERR_INVALIDPARAM;
    const auto& fields = FBase->Fields();
    if (FieldNo < 1 || FieldNo > fields.size()) return DBERR_OUTOFRANGE;
    const DSFLDDesc& f = fields[FieldNo - 1];
    if (f.iFldType != fldBLOB) return DBERR_INVALIDPARAM;
    Data = nullptr;
    Len = 0;
    if (RecBuf[f.iNullOffsInRec] != recValue) return DBERR_NONE;
    const std::uint32_t number = GetLE<std::uint32_t>(RecBuf + f.iFldOffsInRec);
    if (number == NotFetchedBlob) return DBERR_BLOBNOTFETCHED;
    // The record buffer is the caller's: its number is checked against the heap.
    return FBase->Blob(number, Data, Len) ? DBERR_NONE : DBERR_INVALIDPARAM;
}

DBResult TDSCursor::GetBlobLen(const std::uint8_t* RecBuf, std::uint32_t FieldNo, std::uint32_t& Length) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    const std::uint8_t* data;
    std::uint32_t len;
    if (DBResult r = BlobOf(RecBuf, FieldNo, data, len)) return r;
    Length = len;
    return DBERR_NONE;
}

DBResult TDSCursor::GetBlob(const std::uint8_t* RecBuf, std::uint32_t FieldNo, std::uint32_t Offset, void* Dest,
                            std::uint32_t& Length) {
    if (!FBase) return DBERR_NA;
    std::lock_guard guard(FBase->Lock());
    const std::uint8_t* data;
    std::uint32_t len;
    if (DBResult r = BlobOf(RecBuf, FieldNo, data, len)) return r;
    const std::uint32_t copied = Offset < len ? std::min(Length, len - Offset) : 0;
    if (copied && !Dest) return DBERR_INVALIDPARAM;
    if (copied) std::memcpy(Dest, data + Offset, copied);
    Length = copied;
    return DBERR_NONE;
}

}  // namespace datapacket
