#pragma once
// The engine's packet writer: builds a binary data packet in one growable
// block, metadata first, then rows value by value.

#include <cstdint>
#include <vector>

#include "datapacket/ds_intf.h"

namespace datapacket {

class TDSWriter final : public IDSWriter {
public:
    DBResult Init_Sequential(std::uint32_t Version, std::uint16_t Fields) override;
    DBResult Init(std::uint32_t Version, std::uint16_t Fields, const TDSDataPacketFldDesc* FieldDescs) override;
    DBResult AddAttribute(std::uint32_t Area, const char* Name, std::uint32_t AttrType, std::uint32_t Len,
                          const void* Value) override;
    DBResult GetDataPacket(rtl::TBytes& Packet) override;
    DBResult GetSize(std::uint32_t& Size) override;
    DBResult PutField(std::uint32_t Status, std::uint32_t Len, const void* Src) override;
    DBResult AddColumnDesc(const TDSDataPacketFldDesc& Desc) override;
    DBResult Reset() override;
    DBResult GetColumnCount(std::uint32_t& Count) override;
    DBResult GetColumnDescs(TDSDataPacketFldDesc* Descs) override;
    DBResult GetErrorString(DBResult Code, char* Text) override;
    DBResult EndOfNestedRows() override;
    DBResult SetXMLMode(std::int32_t Mode) override;
    DBResult GetXMLMode(std::int32_t& Mode) override;

private:
    // How one column's values are written, worked out once at the first row.
    struct TColumnCodec {
        std::uint32_t Size = 0;  // fixed: value bytes; varying: prefix width
        bool Varying = false;
        bool Blob = false;           // bytes with a 4-byte prefix: may be left unfetched
        std::uint32_t FlagByte = 0;  // offset of the column's flag byte within a row
        std::uint8_t NullBit = 0;
        std::uint8_t NotChangedBit = 0;
    };

    DBResult Start(std::uint32_t Fields, bool WithMetaData);
    // Makes room for Bytes more bytes; the check is inline, growing is not.
    DBResult Reserve(std::size_t Bytes) { return FBuf.size() - FUsed >= Bytes ? DBERR_NONE : Grow(Bytes); }
    DBResult Grow(std::size_t Bytes);
    DBResult CheckColumnType(std::uint32_t Type) const;
    // The metadata is complete (first row, or a packet without rows): every
    // decimal column must hold values of the precision the reader will take.
    DBResult CheckDecimalSizes() const;
    void BuildCodecs();
    void RecordRowOffset();
    void UpdateHeaderVersion();
    std::uint8_t* At(std::size_t Pos) { return FBuf.data() + Pos; }

    rtl::TBytes FBuf;  // capacity is FBuf.size(); FUsed bytes are the packet so far
    std::size_t FUsed = 0;
    bool FActive = false;  // a packet is being built
    bool FWithMetaData = false;
    std::uint32_t FColumnTotal = 0;
    std::vector<TDSDataPacketFldDesc> FColumns;
    // Per column, its width as the reader takes it: the size of a fixed class,
    // then the last "WIDTH" or "ELEMENTS" given (metadata packets only).
    std::vector<std::int64_t> FWidths;
    std::vector<TColumnCodec> FCodecs;
    std::size_t FPacketParamCountPos = 0;
    std::size_t FColumnParamCountPos = 0;
    std::uint16_t FPacketParams = 0;
    std::uint16_t FColumnParams = 0;
    bool FRowsStarted = false;
    std::uint32_t FRows = 0;
    std::uint32_t FColumnInRow = 0;  // 0: the next PutField is a row's status byte
    std::size_t FRowPos = 0;         // start of the current row
    std::int32_t FXMLMode = 0;
};

}  // namespace datapacket
