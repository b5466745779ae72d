#pragma once
// The engine's cursor: a position over a record store's records in arrival
// order, with a crack before the first record and one after the last.

#include <cstdint>
#include <memory>

#include "datapacket/ds_intf.h"

namespace datapacket {

class TDSBase;

class TDSCursor final : public IDSCursor {
public:
    DBResult InitCursor(std::shared_ptr<IDSBase> DSBase) override;
    DBResult GetCursorProps(CURProps& Props) override;
    DBResult GetCurrentRecord(std::uint8_t* RecBuf) override;
    DBResult GetCurrentBookMark(std::uint8_t* Bookmark) override;
    DBResult GetSequenceNumber(std::uint32_t& SeqNo) override;
    DBResult GetRecordAttribute(std::uint8_t& Attribute) override;
    DBResult GetRecordCount(std::int32_t& Count) override;
    DBResult MoveToBOF() override;
    DBResult MoveToEOF() override;
    DBResult MoveRelative(std::int32_t Offset) override;
    DBResult MoveToSeqNo(std::int32_t SeqNo) override;
    DBResult MoveToBookMark(const std::uint8_t* Bookmark) override;
    DBResult CompareBookMarks(const std::uint8_t* Bookmark1, const std::uint8_t* Bookmark2, int& Result) override;
    DBResult GetField(const std::uint8_t* RecBuf, std::uint32_t FieldNo, void* Dest, bool& IsBlank) override;
    DBResult GetBlobLen(const std::uint8_t* RecBuf, std::uint32_t FieldNo, std::uint32_t& Length) override;
    DBResult GetBlob(const std::uint8_t* RecBuf, std::uint32_t FieldNo, std::uint32_t Offset, void* Dest,
                     std::uint32_t& Length) override;

private:
    DBResult Settle(std::int64_t Target);
    DBResult Current() const;
    DBResult BlobOf(const std::uint8_t* RecBuf, std::uint32_t FieldNo, const std::uint8_t*& Data,
                    std::uint32_t& Len) const;

    std::shared_ptr<TDSBase> FBase;
    std::uint32_t FPosition = 0;   // 0: the BOF crack; record count + 1: the EOF crack
    DBResult FStatus = DBERR_BOF;  // DBERR_NONE on a record, else the crack's code
};

}  // namespace datapacket
