#pragma once
// The engine's record store: reads packets through the packet reader and
// keeps their rows as fixed-length records in one arena (arrival order,
// numbered from 1) and their blob values in a heap beside it.

#include <cstdint>
#include <mutex>
#include <vector>

#include "datapacket/ds_intf.h"
#include "datapacket/ds_reader.h"

namespace datapacket {

// Bytes of a cursor bookmark: position, record number, order identity and
// generation (32-bit each), then the cursor status (16-bit) and two spare bytes.
inline constexpr std::uint32_t BookmarkSize = 20;

class TDSBase final : public IDSBase, private IRowSink {
public:
    TDSBase();

    DBResult AppendData(const rtl::TBytes* Packet, bool HitEOF) override;
    DBResult GetProps(DSProps& Props) override;
    DBResult GetFieldDescs(DSFLDDesc* Descs) override;
    DBResult GetOptParameter(std::uint32_t FieldNo, const char* Name, TDSOptParam& Param) override;
    DBResult GetProp(std::uint32_t Prop, std::uint32_t& Value) override;
    DBResult SetProp(std::uint32_t Prop, std::uint32_t Value) override;
    DBResult Reset() override;
    DBResult GetErrorString(DBResult Code, char* Text) override;

    // For cursors, under Lock().
    std::recursive_mutex& Lock() { return FLock; }
    bool HasMetaData() const { return FHasMetaData; }
    std::uint32_t RecordCount() const { return FRecordCount; }
    std::uint32_t RecordLength() const { return FRecLen; }
    const std::vector<DSFLDDesc>& Fields() const { return FFields; }
    // Record Number (1-based, at most RecordCount()): RecordLength() bytes, then its status byte.
    const std::uint8_t* Record(std::uint32_t Number) const {
        return FRecords.data() + std::size_t{Number - 1} * (std::size_t{FRecLen} + 1);
    }
    // Blob Number's bytes; false for a number the heap does not hold.
    bool Blob(std::uint32_t Number, const std::uint8_t*& Data, std::uint32_t& Len) const;
    std::uint32_t OrderId() const { return FOrderId; }
    std::uint32_t Generation() const { return FGeneration; }
    bool ReadOnly() const { return FReadOnly; }

private:
    DBResult NewRecord(std::uint8_t Status, std::uint8_t*& Record) override;
    DBResult AddBlob(const std::uint8_t* Data, std::uint32_t Len, std::uint32_t& Number) override;
    DBResult LayOutRecord();
    DBResult ReadFirstPacket(const rtl::TBytes& Packet);
    DBResult ReadLaterPacket(const rtl::TBytes& Packet);
    void ReserveFor(std::size_t PacketSize);
    void DropRecords();
    void DropMetaData();

    std::recursive_mutex FLock;
    TDSReader FReader;
    bool FHasMetaData = false;
    bool FPartial = false;  // open for appending
    bool FReadOnly = false;
    std::vector<DSFLDDesc> FFields;
    std::vector<TStoredOptParam> FOptParams;
    std::uint32_t FRecLen = 0;
    rtl::TBytes FRecords;  // FRecordCount records of FRecLen + 1 bytes
    std::uint32_t FRecordCount = 0;
    rtl::TBytes FBlobData;
    std::vector<std::size_t> FBlobEnds;  // blob N spans [FBlobEnds[N-1], FBlobEnds[N])
    std::uint32_t FOrderId;
    std::uint32_t FGeneration = 1;
    // clang-format off
    // Properties the store only keeps for its users.
    std::uint32_t FInclBlobsInDelta = 0, FCompressArrays = 0, FDisableStringTrim = 0, FUtf8MetaData = 0,
                  FUtf8ErrorMsg = 0, FAnsiCodePage = 0;
};
// clang-format on

}  // namespace datapacket
