#include "datapacket/ds_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "datapacket/ds_bytes.h"
#include "datapacket/ds_reader.h"

namespace datapacket {

namespace {

constexpr std::size_t InitialSize = 32768;
constexpr std::size_t MinGrowth = 32768;
constexpr std::size_t MaxDoublingGrowth = 1024000;
// Room made before each column descriptor: the longest descriptor and then some.
constexpr std::size_t DescriptorRoom = 141;

// clang-format off
// Header field offsets.
constexpr std::size_t HdrMagic = 0, HdrVersion = 4, HdrFirstByte = 8, HdrColumns = 12, HdrRows = 14,
                      HdrFlags = 18, HdrRowOffset = 22;
// clang-format on

std::uint32_t PrefixLimit(std::uint32_t Width) {
    return Width == 1 ? 0xFF : Width == 2 ? 0xFFFF : std::numeric_limits<std::uint32_t>::max();
}

std::size_t NameLength(const char* Name, std::size_t Max) {
    const void* end = std::memchr(Name, 0, Max);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - Name) : Max;
}

}  // namespace

DBResult TDSWriter::Grow(std::size_t Bytes) {
    // At least 32768 bytes, and at least the current size (up to 1024000) on
    // alternate growths; doubling every time meets both and moves the block
    // half as often.
    std::size_t growth = std::max(MinGrowth, std::min(FBuf.size(), MaxDoublingGrowth));
    growth = std::max(growth, FUsed + Bytes - FBuf.size());
    // Packet offsets are 32-bit numbers.
    if (FBuf.size() + growth > std::numeric_limits<std::uint32_t>::max()) return DBERR_NOMEMORY;
    try {
        FBuf.resize(FBuf.size() + growth);
    } catch (const std::bad_alloc&) {
        return DBERR_NOMEMORY;
    }
    return DBERR_NONE;
}

DBResult TDSWriter::CheckColumnType(std::uint32_t Type) const {
    const std::uint32_t fieldClass = FieldClassOf(Type);
    if (fieldClass > dsfldMAXCLASS) return DBERR_NA;
    // Nested rows, arrays and structured columns are not built by this engine.
    if (fieldClass == dsfldEMBEDDEDTBL || (Type & (dsArrayFldType | dsPseudoFldType | dsEmbeddedFldType)))
        return DBERR_NA;
    if ((Type & dsVaryingFldType) && !IsPrefixWidth(FieldSizeOf(Type))) return DBERR_INVALIDPARAM;
    // A decimal value is a fixed part of the decimal record (BcdValueSize).
    if (IsBcdClass(fieldClass) && ((Type & dsVaryingFldType) || !BcdSizeFits(FieldSizeOf(Type), 0)))
        return DBERR_INVALIDFLDTYPE;
    return DBERR_NONE;
}

DBResult TDSWriter::CheckDecimalSizes() const {
    if (!FWithMetaData) return DBERR_NONE;
    for (std::size_t j = 0; j < FColumns.size(); ++j)
        if (IsBcdClass(FieldClassOf(FColumns[j].iFieldType)) &&
            !BcdSizeFits(FieldSizeOf(FColumns[j].iFieldType), FWidths[j]))
            return DBERR_INVALIDFLDTYPE;
    return DBERR_NONE;
}

DBResult TDSWriter::Start(std::uint32_t Fields, bool WithMetaData) {
    FBuf.clear();
    FUsed = 0;
    FActive = false;
    try {
        FBuf.resize(InitialSize);
    } catch (const std::bad_alloc&) {
        return DBERR_NOMEMORY;
    }
    std::fill(FBuf.begin(), FBuf.begin() + PacketHeaderSize, std::uint8_t{0});
    PutLE<std::uint32_t>(At(HdrMagic), PacketMagic);
    PutLE<std::uint16_t>(At(HdrVersion), 1);
    PutLE<std::uint32_t>(At(HdrFirstByte), PacketHeaderSize);
    PutLE<std::uint16_t>(At(HdrColumns), static_cast<std::uint16_t>(Fields));
    PutLE<std::uint32_t>(At(HdrFlags), WithMetaData ? dsfHasMetaData : 0);
    FUsed = PacketHeaderSize;
    if (WithMetaData) {
        // The packet-parameter count; each column descriptor moves it along.
        FPacketParamCountPos = FUsed;
        PutLE<std::uint16_t>(At(FUsed), 0);
        FUsed += 2;
    }
    FWithMetaData = WithMetaData;
    FPacketParams = 0;
    FColumnParams = 0;
    FRowsStarted = false;
    FRows = 0;
    FColumnInRow = 0;
    FActive = true;
    UpdateHeaderVersion();
    return DBERR_NONE;
}

void TDSWriter::UpdateHeaderVersion() {
    const bool newer = std::any_of(FColumns.begin(), FColumns.end(), [](const TDSDataPacketFldDesc& D) {
        return FieldClassOf(D.iFieldType) > dsfldBYTES;
    });
    if (newer) PutLE<std::uint16_t>(At(HdrVersion), 2);
}

DBResult TDSWriter::Init_Sequential(std::uint32_t Version, std::uint16_t Fields) {
    FColumns.clear();
    FWidths.clear();
    FCodecs.clear();
    FColumnTotal = 0;
    FActive = false;
    if (Version > 3) return DBERR_DATAPACKETMISMATCH;
    FColumnTotal = Fields;
    return Start(Fields, true);
}

DBResult TDSWriter::Init(std::uint32_t Version, std::uint16_t Fields, const TDSDataPacketFldDesc* FieldDescs) {
    if (FieldDescs) {
        if (Version > 3) return DBERR_DATAPACKETMISMATCH;
        for (std::uint32_t i = 0; i < Fields; ++i)
            if (DBResult r = CheckColumnType(FieldDescs[i].iFieldType)) return r;
        FColumns.assign(FieldDescs, FieldDescs + Fields);
        for (TDSDataPacketFldDesc& d : FColumns) d.szFieldName[31] = 0;
        FColumnTotal = Fields;
        FCodecs.clear();
    }
    return Start(FColumnTotal, false);
}

DBResult TDSWriter::Reset() {
    if (FColumns.empty()) return DBERR_NA;
    return Init(0, static_cast<std::uint16_t>(FColumnTotal), nullptr);
}

DBResult TDSWriter::AddColumnDesc(const TDSDataPacketFldDesc& Desc) {
    // Columns come before any packet parameter or row; nested levels are not
    // built, so the top level is the only one with room.
    if (!FActive || FRowsStarted || FPacketParams > 0 || FColumns.size() >= FColumnTotal) return DBERR_NA;
    if (DBResult r = CheckColumnType(Desc.iFieldType)) return r;
    const std::size_t n = NameLength(Desc.szFieldName, 31);
    if (n == 0) return DBERR_NULLFIELDNAME;
    if (FWithMetaData) {
        if (DBResult r = Reserve(DescriptorRoom)) return r;
        std::size_t p = FPacketParamCountPos;
        *At(p) = static_cast<std::uint8_t>(n);
        std::memcpy(At(p + 1), Desc.szFieldName, n);
        p += 1 + n;
        PutLE<std::uint32_t>(At(p), Desc.iFieldType);
        PutLE<std::uint16_t>(At(p + 4), Desc.iAttributes);
        FColumnParamCountPos = p + 6;
        PutLE<std::uint16_t>(At(FColumnParamCountPos), 0);
        FPacketParamCountPos = FColumnParamCountPos + 2;
        PutLE<std::uint16_t>(At(FPacketParamCountPos), 0);
        FUsed = FPacketParamCountPos + 2;
        FColumnParams = 0;
    }
    FWidths.push_back(Desc.iFieldType & dsVaryingFldType ? 0 : FieldSizeOf(Desc.iFieldType));
    TDSDataPacketFldDesc& kept = FColumns.emplace_back(Desc);
    std::memset(kept.szFieldName + n, 0, sizeof(kept.szFieldName) - n);
    UpdateHeaderVersion();
    return DBERR_NONE;
}

DBResult TDSWriter::AddAttribute(std::uint32_t Area, const char* Name, std::uint32_t AttrType, std::uint32_t Len,
                                 const void* Value) {
    if (!FActive || !FWithMetaData || FRowsStarted) return DBERR_NA;
    // A call without a value closes a nested level's metadata; there are none.
    if (!Value) return DBERR_NA;
    if (!Name) return DBERR_INVALIDPARAM;
    const std::size_t m = std::strlen(Name);
    if (m > 255) return DBERR_INVALIDPARAM;

    // The encoded value: its prefix width (varying types) and the bytes taken from Value.
    std::uint32_t prefixWidth = 0;
    std::uint32_t dataLen;
    const std::uint32_t size = FieldSizeOf(AttrType);
    if (AttrType & dsArrayFldType) {
        // Value holds the 4-byte element count and the elements.
        if (Len < 4) return DBERR_INVALIDPARAM;
        if (!(AttrType & dsVaryingFldType)) {
            const std::uint64_t count = GetLE<std::uint32_t>(static_cast<const std::uint8_t*>(Value));
            if (4 + count * size != Len) return DBERR_INVALIDPARAM;
        }
        dataLen = Len;
    } else if (AttrType & dsVaryingFldType) {
        if (!IsPrefixWidth(size) || Len < size || Len - size > PrefixLimit(size)) return DBERR_INVALIDPARAM;
        prefixWidth = size;
        dataLen = Len - size;
    } else {
        // A fixed-size value is exactly its type's size.
        if (Len != size) return DBERR_INVALIDPARAM;
        dataLen = size;
    }

    if (Area == dsAttrField) {
        if (FColumns.empty() || FPacketParams > 0) return DBERR_NA;
        if (FColumnParams == std::numeric_limits<std::uint16_t>::max()) return DBERR_NA;
    } else if (Area == dsAttrPacket) {
        if (FPacketParams == std::numeric_limits<std::uint16_t>::max()) return DBERR_NA;
    } else {
        return DBERR_INVALIDPARAM;
    }
    if (DBResult r = Reserve(m + 5 + prefixWidth + std::size_t{dataLen} + 2)) return r;

    // A column parameter goes where the provisional packet-parameter count
    // stood, which then follows it; a packet parameter goes at the end.
    std::size_t p = Area == dsAttrField ? FPacketParamCountPos : FUsed;
    *At(p) = static_cast<std::uint8_t>(m);
    std::memcpy(At(p + 1), Name, m);
    p += 1 + m;
    PutLE<std::uint32_t>(At(p), AttrType);
    p += 4;
    if (prefixWidth) {
        PutPrefix(At(p), prefixWidth, dataLen);
        p += prefixWidth;
    }
    if (dataLen) std::memcpy(At(p), Value, dataLen);
    p += dataLen;
    if (Area == dsAttrField) {
        if (SameParamName(Name, "WIDTH") || SameParamName(Name, "ELEMENTS")) {
            const auto* bytes = static_cast<const std::uint8_t*>(Value);
            std::int32_t width;
            if (OptParamInt32({Name, AttrType, rtl::TBytes(bytes, bytes + dataLen)}, width) == DBERR_NONE)
                FWidths.back() = width;
        }
        PutLE<std::uint16_t>(At(FColumnParamCountPos), ++FColumnParams);
        FPacketParamCountPos = p;
        PutLE<std::uint16_t>(At(p), 0);
        FUsed = p + 2;
    } else {
        PutLE<std::uint16_t>(At(FPacketParamCountPos), ++FPacketParams);
        FUsed = p;
    }
    return DBERR_NONE;
}

void TDSWriter::BuildCodecs() {
    FCodecs.resize(FColumns.size());
    for (std::size_t j = 0; j < FColumns.size(); ++j) {
        TColumnCodec& c = FCodecs[j];
        const std::uint32_t type = FColumns[j].iFieldType;
        c.Size = FieldSizeOf(type);
        c.Varying = (type & dsVaryingFldType) != 0;
        c.Blob = LogicalType(type) == fldBLOB;  // what the reader keeps in its blob heap
        c.FlagByte = 1 + static_cast<std::uint32_t>(j / 4);
        c.NullBit = static_cast<std::uint8_t>(BLANK_NULL << (2 * (j % 4)));
        c.NotChangedBit = static_cast<std::uint8_t>(BLANK_NOTCHANGED << (2 * (j % 4)));
    }
}

void TDSWriter::RecordRowOffset() {
    const std::uint32_t flags = GetLE<std::uint32_t>(At(HdrFlags));
    if ((flags & dsfHasRowOffset) || FUsed >= 65536) return;
    PutLE<std::uint16_t>(At(HdrRowOffset), static_cast<std::uint16_t>(FUsed));
    PutLE<std::uint32_t>(At(HdrFlags), flags | dsfHasRowOffset);
}

DBResult TDSWriter::PutField(std::uint32_t Status, std::uint32_t Len, const void* Src) {
    if (!FActive) return DBERR_NA;
    if (!FRowsStarted) {
        if (FColumns.size() != FColumnTotal) return DBERR_NA;
        if (DBResult r = CheckDecimalSizes()) return r;
        if (FCodecs.empty()) BuildCodecs();
        RecordRowOffset();
        FRowsStarted = true;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(Src);
    if (FColumnInRow == 0) {
        if (Status != fldIsValue || !Src) return DBERR_INVALIDPARAM;
        const std::size_t flagBytes = (FColumnTotal + 3) / 4;
        if (DBResult r = Reserve(1 + flagBytes)) return r;
        FRowPos = FUsed;
        *At(FUsed) = bytes[0];
        std::memset(At(FUsed + 1), 0, flagBytes);
        FUsed += 1 + flagBytes;
    } else {
        const TColumnCodec& c = FCodecs[FColumnInRow - 1];
        const bool notFetched = Status == fldIsValue && c.Varying && c.Size == 4 && (Len & dsDELAYEDBIT);
        // Only a blob is fetched on demand: the store keeps no "not fetched"
        // for a text or another varying value, and would refuse the packet.
        if (notFetched && !c.Blob) return DBERR_INVALIDPARAM;
        if (notFetched) {
            // A value left for fetching on demand: the marked prefix only.
            if (DBResult r = Reserve(4)) return r;
            PutLE<std::uint32_t>(At(FUsed), Len);
            FUsed += 4;
        } else if (Status == fldIsNull || (Status == fldIsValue && !Src)) {
            *At(FRowPos + c.FlagByte) |= c.NullBit;
        } else if (Status == fldIsNotChanged) {
            *At(FRowPos + c.FlagByte) |= c.NotChangedBit;
        } else if (Status != fldIsValue) {
            return DBERR_INVALIDPARAM;
        } else if (!c.Varying) {
            if (DBResult r = Reserve(c.Size)) return r;
            std::memcpy(At(FUsed), bytes, c.Size);
            FUsed += c.Size;
        } else {
            if (Len > PrefixLimit(c.Size)) return DBERR_INVALIDPARAM;
            if (DBResult r = Reserve(c.Size + std::size_t{Len})) return r;
            PutPrefix(At(FUsed), c.Size, Len);
            if (Len) std::memcpy(At(FUsed + c.Size), bytes, Len);
            FUsed += c.Size + Len;
        }
    }
    if (FColumnInRow == FColumnTotal) {
        PutLE<std::uint32_t>(At(HdrRows), ++FRows);
        FColumnInRow = 0;
    } else {
        ++FColumnInRow;
    }
    return DBERR_NONE;
}

DBResult TDSWriter::GetDataPacket(rtl::TBytes& Packet) {
    // An unfinished row cannot be handed over.
    if (!FActive || FColumnInRow != 0) return DBERR_NA;
    if (!FRowsStarted) {
        if (DBResult r = CheckDecimalSizes()) return r;
        RecordRowOffset();
    }
    // The packet is handed over as exactly its bytes, without the room the
    // block grew by: a packet is kept (in a variant, by a refreshing client)
    // long after the writer is done with it.
    try {
        Packet = rtl::TBytes(FBuf.begin(), FBuf.begin() + static_cast<std::ptrdiff_t>(FUsed));
    } catch (const std::bad_alloc&) {
        return DBERR_NOMEMORY;
    }
    FBuf = rtl::TBytes();
    FUsed = 0;
    FActive = false;
    return DBERR_NONE;
}

DBResult TDSWriter::GetSize(std::uint32_t& Size) {
    Size = static_cast<std::uint32_t>(FUsed);
    return DBERR_NONE;
}

DBResult TDSWriter::GetColumnCount(std::uint32_t& Count) {
    Count = static_cast<std::uint32_t>(FColumns.size());
    return DBERR_NONE;
}

DBResult TDSWriter::GetColumnDescs(TDSDataPacketFldDesc* Descs) {
    if (!Descs && !FColumns.empty()) return DBERR_INVALIDPARAM;
    std::copy(FColumns.begin(), FColumns.end(), Descs);
    return DBERR_NONE;
}

DBResult TDSWriter::GetErrorString(DBResult Code, char* Text) { return CopyErrorString(Code, Text); }

// Nested rows are not built: there is never a nested level to end.
DBResult TDSWriter::EndOfNestedRows() { return DBERR_NA; }

// Only the binary form is built; the XML modes are refused.
DBResult TDSWriter::SetXMLMode(std::int32_t Mode) {
    if (Mode != 0) return DBERR_NA;
    FXMLMode = Mode;
    return DBERR_NONE;
}

DBResult TDSWriter::GetXMLMode(std::int32_t& Mode) {
    Mode = FXMLMode;
    return DBERR_NONE;
}

}  // namespace datapacket
