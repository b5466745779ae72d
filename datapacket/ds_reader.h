#pragma once
// The engine's packet reader: checks a packet's header, reads its column
// descriptors and parameters into the record store's terms, and decodes its
// rows into records. Every read is bounded by the packet; malformed input ends
// in a result code, never in a read outside the block.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "datapacket/ds_intf.h"

namespace datapacket {

// An optional parameter with the column it belongs to (0: the packet).
struct TStoredOptParam {
    std::uint32_t FieldNo = 0;
    TDSOptParam Param;
};

// The engine logical type (fld...) a column of packet type Type is read as,
// fldUNKNOWN for a class and size the reader does not take.
std::uint32_t LogicalType(std::uint32_t Type);

// Parameter names compare without regard to letter case.
bool SameParamName(std::string_view A, std::string_view B);

// A parameter's value as a 32-bit integer (an integer or Boolean type of 1 to
// 8 bytes), as the reader takes "WIDTH", "ELEMENTS" and "DECIMALS";
// DBERR_INVALIDPARAM for another type or a value out of range.
DBResult OptParamInt32(const TDSOptParam& Param, std::int32_t& V);

// Where decoded rows go: the record store supplies zeroed record memory and
// keeps blob values.
class IRowSink {
public:
    // A new record of the store's record length, zero-filled, with its status byte.
    virtual DBResult NewRecord(std::uint8_t Status, std::uint8_t*& Record) = 0;
    // Keeps a blob value and gives its number (never 0 or NotFetchedBlob).
    virtual DBResult AddBlob(const std::uint8_t* Data, std::uint32_t Len, std::uint32_t& Number) = 0;

protected:
    ~IRowSink() = default;
};

// The blob slot of a value that was not fetched.
inline constexpr std::uint32_t NotFetchedBlob = 0xFFFFFFFF;

class TDSReader final : public IDSObject {
public:
    // Takes a packet (kept by the caller while reading) and checks its header.
    DBResult Open(const std::uint8_t* Data, std::size_t Size);
    bool HasMetaData() const { return (FFlags & dsfHasMetaData) != 0; }
    // The row count the open packet's header announces (not yet checked).
    std::uint32_t Rows() const { return FRows; }

    // Reads the column descriptors and parameters of the open packet and
    // remembers each column's packet type for the rows of this and later packets.
    DBResult ReadMetaData(std::vector<DSFLDDesc>& Fields, std::vector<TStoredOptParam>& Params);
    // Decodes the open packet's rows into records laid out as Fields says.
    DBResult ReadRows(const std::vector<DSFLDDesc>& Fields, IRowSink& Sink);
    // Forgets the columns (a failed first packet).
    void Clear() { FColumnTypes.clear(); }

private:
    const std::uint8_t* FData = nullptr;
    std::size_t FSize = 0;
    std::uint16_t FColumns = 0;
    std::uint32_t FRows = 0;
    std::uint32_t FFlags = 0;
    std::uint32_t FFirstByte = 0;
    std::uint16_t FRowOffset = 0;
    std::size_t FMetaEnd = 0;                 // end of the metadata read from this packet, 0 when none was
    std::vector<std::uint32_t> FColumnTypes;  // packet type code per column
};

}  // namespace datapacket
