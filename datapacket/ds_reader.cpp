#include "datapacket/ds_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "datapacket/ds_bytes.h"
#include "rtl/strings.h"

namespace datapacket {

namespace {

// A packet magic accepted as binary without version checks.
constexpr std::uint32_t AltPacketMagic = 0xABCD;
// The reader's value buffer is as long as the longest slot, and never shorter.
constexpr std::uint32_t MinValueBuffer = 258;

// A bounded read position over the packet: every Take checks the bytes left.
class TBlock {
public:
    TBlock(const std::uint8_t* Data, std::size_t Size, std::size_t Pos) : FData(Data), FSize(Size), FPos(Pos) {}

    std::size_t Pos() const { return FPos; }
    const std::uint8_t* Here() const { return FData + FPos; }
    bool Take(std::size_t N, const std::uint8_t*& P) {
        if (FPos > FSize || N > FSize - FPos) return false;
        P = FData + FPos;
        FPos += N;
        return true;
    }
    template <typename T>
    bool Read(T& V) {
        const std::uint8_t* p;
        if (!Take(sizeof(T), p)) return false;
        V = GetLE<T>(p);
        return true;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos;
};

struct TSubtypeName {
    const char* Name;
    std::uint32_t Code;
};
constexpr TSubtypeName SubtypeNames[] = {
    // clang-format off
    {"Money", fldstMONEY},        {"Text", fldstMEMO},
    {"Binary", fldstBINARY},      {"Formatted", fldstFMTMEMO},
    {"Ole", fldstOLEOBJ},         {"Graphics", fldstGRAPHIC},
    {"dBASEOle", fldstDBSOLEOBJ}, {"TypedBinary", fldstTYPEDBINARY},
    {"Autoinc", fldstAUTOINC},    {"AccessOle", fldstACCOLEOBJ},
    {"FixedChar", fldstFIXED},    {"WideText", fldstWIDEMEMO},
    {"HMemo", fldstHMEMO},        {"HBinary", fldstHBINARY},
    {"ADTNestedTable", fldstADTNESTEDTABLE}, {"BFile", fldstBFILE},
    {"ADTDate", fldstADTDATE},    {"Guid", fldstGUID},
    {"Reference", fldstREFERENCE},
};
// clang-format on

// Skips one encoded value of type Type (prefix, count and elements included).
DBResult SkipValue(TBlock& B, std::uint32_t Type) {
    const std::uint32_t size = FieldSizeOf(Type);
    const std::uint8_t* p;
    if (Type & dsArrayFldType) {
        std::uint32_t count;
        if (!B.Read(count)) return DBERR_DATAPACKETMISMATCH;
        if (!(Type & dsVaryingFldType))
            return B.Take(std::size_t{count} * size, p) ? DBERR_NONE : DBERR_DATAPACKETMISMATCH;
        if (!IsPrefixWidth(size)) return DBERR_INVALIDPARAM;
        // Every element takes at least its prefix, so this ends with the block.
        for (std::uint32_t i = 0; i < count; ++i)
            if (!B.Take(size, p) || !B.Take(GetPrefix(p, size), p)) return DBERR_DATAPACKETMISMATCH;
        return DBERR_NONE;
    }
    if (Type & dsVaryingFldType) {
        if (!IsPrefixWidth(size)) return DBERR_INVALIDPARAM;
        if (!B.Take(size, p)) return DBERR_DATAPACKETMISMATCH;
        std::uint32_t dataLen = GetPrefix(p, size);
        if (size == 4 && (dataLen & dsDELAYEDBIT)) dataLen = 0;
        return B.Take(dataLen, p) ? DBERR_NONE : DBERR_DATAPACKETMISMATCH;
    }
    return B.Take(size, p) ? DBERR_NONE : DBERR_DATAPACKETMISMATCH;
}

// An integer or Boolean parameter value.
DBResult IntegerValue(const TDSOptParam& Param, std::int64_t& V) {
    const std::uint32_t type = Param.Type;
    const std::uint32_t fieldClass = FieldClassOf(type);
    const std::uint32_t size = FieldSizeOf(type);
    if ((type & (dsVaryingFldType | dsArrayFldType)) || Param.Value.size() != size) return DBERR_INVALIDPARAM;
    if (fieldClass != dsfldINT && fieldClass != dsfldUINT && fieldClass != dsfldBOOL) return DBERR_INVALIDPARAM;
    const std::uint8_t* p = Param.Value.data();
    const bool isSigned = fieldClass == dsfldINT;
    switch (size) {
        case 1: V = isSigned ? std::int64_t{static_cast<std::int8_t>(p[0])} : std::int64_t{p[0]}; break;
        case 2: V = isSigned ? std::int64_t{GetLE<std::int16_t>(p)} : std::int64_t{GetLE<std::uint16_t>(p)}; break;
        case 4: V = isSigned ? std::int64_t{GetLE<std::int32_t>(p)} : std::int64_t{GetLE<std::uint32_t>(p)}; break;
        case 8: V = GetLE<std::int64_t>(p); break;
        default: return DBERR_INVALIDPARAM;
    }
    return DBERR_NONE;
}

// An 8-bit text parameter value (class 9), up to its first zero byte.
DBResult TextValue(const TDSOptParam& Param, std::string_view& Text) {
    if (FieldClassOf(Param.Type) != dsfldZSTRING || (Param.Type & dsArrayFldType)) return DBERR_INVALIDPARAM;
    std::size_t skip = 0;
    if (Param.Type & dsVaryingFldType) skip = FieldSizeOf(Param.Type);
    const auto* data = reinterpret_cast<const char*>(Param.Value.data()) + skip;
    const std::size_t len = Param.Value.size() - skip;
    Text = std::string_view(data, len);
    Text = Text.substr(0, Text.find('\0'));
    return DBERR_NONE;
}

// Reads one parameter: name, type and value bytes as the packet holds them.
DBResult ReadParam(TBlock& B, TDSOptParam& Param) {
    std::uint8_t nameLen;
    const std::uint8_t* name;
    if (!B.Read(nameLen) || !B.Take(nameLen, name) || !B.Read(Param.Type)) return DBERR_DATAPACKETMISMATCH;
    Param.Name.assign(reinterpret_cast<const char*>(name), nameLen);
    const std::uint8_t* value = B.Here();
    const std::size_t start = B.Pos();
    if (DBResult r = SkipValue(B, Param.Type)) return r;
    Param.Value.assign(value, value + (B.Pos() - start));
    return DBERR_NONE;
}

// Decodes one value of packet type Type (neither null nor unchanged) from B
// into column Field's slot of Record: fixed bytes copied, 8-bit text cut at
// the width, wide text and varying bytes after a 16-bit count, blobs into the
// sink's heap (an empty one is stored null, one not fetched is marked so).
DBResult ReadValue(TBlock& B, std::uint32_t Type, const DSFLDDesc& Field, std::uint32_t ValueBuffer, IRowSink& Sink,
                   std::uint8_t* Record) {
    std::uint32_t len = FieldSizeOf(Type);
    const std::uint8_t* p;
    if (Type & dsVaryingFldType) {
        if (!B.Take(len, p)) return DBERR_DATAPACKETMISMATCH;
        len = GetPrefix(p, len);
    }
    std::uint8_t* slot = Record + Field.iFldOffsInRec;
    if (Field.iFldType == fldBLOB) {
        std::uint32_t number = NotFetchedBlob;
        if (!(len & dsDELAYEDBIT)) {
            if (!B.Take(len, p)) return DBERR_DATAPACKETMISMATCH;
            if (len == 0) {
                Record[Field.iNullOffsInRec] = recNull;
                return DBERR_NONE;
            }
            if (DBResult r = Sink.AddBlob(p, len, number)) return r;
        }
        PutLE(slot, number);
        return DBERR_NONE;
    }
    const bool counted = Field.iFldType == fldUNICODE || Field.iFldType == fldVARBYTES;
    if (len > ValueBuffer || (counted && len > Field.iFldLen - 2)) return DBERR_INVALIDPARAM;
    if (!B.Take(len, p)) return DBERR_DATAPACKETMISMATCH;
    switch (Field.iFldType) {
        case fldZSTRING:
            // Cut at the column width; the zeroed slot keeps the terminator.
            std::memcpy(slot, p, std::min(len, Field.iFldLen - 1));
            break;
        case fldUNICODE:
        case fldVARBYTES:
            PutLE(slot, static_cast<std::uint16_t>(len));
            std::memcpy(slot + 2, p, len);
            break;
        default: std::memcpy(slot, p, std::min(len, Field.iFldLen)); break;
    }
    return DBERR_NONE;
}

}  // namespace

std::uint32_t LogicalType(std::uint32_t Type) {
    const std::uint32_t size = FieldSizeOf(Type);
    const bool varying = (Type & dsVaryingFldType) != 0;
    switch (FieldClassOf(Type)) {
        case dsfldINT:
            return size == 1   ? fldINT8
                   : size == 2 ? fldINT16
                   : size == 4 ? fldINT32
                   : size == 8 ? fldINT64
                               : fldUNKNOWN;
        case dsfldUINT:
            return size == 1   ? fldUINT8
                   : size == 2 ? fldUINT16
                   : size == 4 ? fldUINT32
                   : size == 8 ? fldUINT64
                               : fldUNKNOWN;
        case dsfldBOOL: return size == 1 ? fldBOOL8 : size == 2 ? fldBOOL : size == 4 ? fldBOOL32 : fldUNKNOWN;
        case dsfldFLOATIEEE:
            return size == 8 ? fldFLOAT : size == 10 ? fldFLOATIEEE : size == 4 ? fldSINGLE : fldUNKNOWN;
        case dsfldSINGLE: return size == 4 ? fldSINGLE : fldUNKNOWN;
        case dsfldBCD: return fldBCD;
        case dsfldDATE: return fldDATE;
        case dsfldTIME: return fldTIME;
        case dsfldTIMESTAMP: return fldTIMESTAMP;
        case dsfldZSTRING: return fldZSTRING;
        case dsfldUNICODE: return fldUNICODE;
        case dsfldBYTES:
        case 16: return !varying ? fldBYTES : size == 4 ? fldBLOB : fldVARBYTES;
        case dsfldADT: return fldADT;
        case dsfldARRAY: return fldARRAY;
        case dsfldEMBEDDEDTBL: return fldTABLE;
        case dsfldDATETIME: return fldDATETIME;
        case dsfldFMTBCD: return fldFMTBCD;
        case dsfldDATETIMEOFFSET: return fldDATETIMEOFFSET;
        default: return fldUNKNOWN;
    }
}

DBResult OptParamInt32(const TDSOptParam& Param, std::int32_t& V) {
    std::int64_t wide;
    if (DBResult r = IntegerValue(Param, wide)) return r;
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max())
        return DBERR_INVALIDPARAM;
    V = static_cast<std::int32_t>(wide);
    return DBERR_NONE;
}

bool SameParamName(std::string_view A, std::string_view B) {
    return rtl::SameText(rtl::Utf8ToString(A), rtl::Utf8ToString(B));
}

DBResult TDSReader::Open(const std::uint8_t* Data, std::size_t Size) {
    FData = Data;
    FSize = Size;
    FMetaEnd = 0;
    FFlags = 0;
    FRows = 0;
    // A block that is not a binary packet is the XML form, which this engine
    // does not read.
    if (!Data || Size < 4) return DBERR_DATAPACKETMISMATCH;
    const std::uint32_t magic = GetLE<std::uint32_t>(Data);
    if (magic != PacketMagic && magic != AltPacketMagic) return DBERR_DATAPACKETMISMATCH;
    if (Size < PacketHeaderSize) return DBERR_DATAPACKETMISMATCH;
    if (magic == PacketMagic && (GetLE<std::uint16_t>(Data + 4) > 3 || GetLE<std::uint16_t>(Data + 6) > 3))
        return DBERR_DATAPACKETMISMATCH;
    FFirstByte = GetLE<std::uint32_t>(Data + 8);
    FColumns = GetLE<std::uint16_t>(Data + 12);
    FRows = GetLE<std::uint32_t>(Data + 14);
    FFlags = GetLE<std::uint32_t>(Data + 18);
    FRowOffset = GetLE<std::uint16_t>(Data + 22);
    return DBERR_NONE;
}

DBResult TDSReader::ReadMetaData(std::vector<DSFLDDesc>& Fields, std::vector<TStoredOptParam>& Params) {
    FColumnTypes.clear();
    Fields.clear();
    Params.clear();
    if (!HasMetaData()) return DBERR_NOMETADATA;
    if (FFirstByte < PacketHeaderSize) return DBERR_DATAPACKETMISMATCH;
    TBlock b(FData, FSize, FFirstByte);
    // Each descriptor takes at least 10 bytes: no count can reserve more than the block holds.
    if (std::size_t{FColumns} * 10 > FSize) return DBERR_DATAPACKETMISMATCH;
    Fields.resize(FColumns);
    FColumnTypes.resize(FColumns);
    for (std::uint16_t j = 0; j < FColumns; ++j) {
        DSFLDDesc& f = Fields[j];
        std::uint8_t nameLen;
        const std::uint8_t* name;
        std::uint32_t type;
        std::uint16_t paramCount;
        if (!b.Read(nameLen)) return DBERR_DATAPACKETMISMATCH;
        if (nameLen == 0) return DBERR_NULLFIELDNAME;
        if (!b.Take(nameLen, name) || !b.Read(type) || !b.Read(f.iFldAttr) || !b.Read(paramCount))
            return DBERR_DATAPACKETMISMATCH;
        std::memcpy(f.szName, name, std::min<std::size_t>(nameLen, sizeof(f.szName) - 1));
        // Arrays, structured and nested columns are not kept by this store.
        if (FieldClassOf(type) > dsfldMAXCLASS || FieldClassOf(type) == dsfldEMBEDDEDTBL ||
            (type & (dsArrayFldType | dsPseudoFldType | dsEmbeddedFldType | dsCompArrayFldType)))
            return DBERR_INVALIDFLDTYPE;
        if ((type & dsVaryingFldType) && !IsPrefixWidth(FieldSizeOf(type))) return DBERR_INVALIDFLDTYPE;
        FColumnTypes[j] = type;
        f.iFldType = LogicalType(type);
        f.iFieldID = static_cast<std::uint16_t>(j + 1);
        if (!(type & dsVaryingFldType)) f.iUnits1 = static_cast<std::int32_t>(FieldSizeOf(type));

        for (std::uint16_t k = 0; k < paramCount; ++k) {
            TStoredOptParam kept{static_cast<std::uint32_t>(j + 1), {}};
            TDSOptParam& p = kept.Param;
            if (DBResult r = ReadParam(b, p)) return r;
            bool keep = false;
            if (SameParamName(p.Name, "SUBTYPE")) {
                std::string_view text;
                if (DBResult r = TextValue(p, text)) return r;
                f.iFldSubType = fldstUNKNOWN;
                for (const TSubtypeName& s : SubtypeNames)
                    if (SameParamName(text, s.Name)) f.iFldSubType = s.Code;
                if (f.iFldSubType == fldstAUTOINC) f.iFldAttr |= fldAttrREADONLY;
                keep = f.iFldSubType == fldstUNKNOWN;
            } else if (SameParamName(p.Name, "DECIMALS")) {
                if (DBResult r = OptParamInt32(p, f.iUnits2)) return r;
            } else if (SameParamName(p.Name, "WIDTH") || SameParamName(p.Name, "ELEMENTS")) {
                if (DBResult r = OptParamInt32(p, f.iUnits1)) return r;
            } else if (SameParamName(p.Name, "CALCULATED")) {
                std::int64_t v;
                if (DBResult r = IntegerValue(p, v)) return r;
                f.bCalculated = v != 0;
            } else {
                keep = true;
            }
            if (keep) {
                ++f.iOptParameters;
                Params.push_back(std::move(kept));
            }
        }
    }
    std::uint16_t packetParams;
    if (!b.Read(packetParams)) return DBERR_DATAPACKETMISMATCH;
    for (std::uint16_t k = 0; k < packetParams; ++k) {
        TStoredOptParam kept;
        if (DBResult r = ReadParam(b, kept.Param)) return r;
        Params.push_back(std::move(kept));
    }
    FMetaEnd = b.Pos();
    return DBERR_NONE;
}

DBResult TDSReader::ReadRows(const std::vector<DSFLDDesc>& Fields, IRowSink& Sink) {
    if (FColumns != FColumnTypes.size() || Fields.size() != FColumnTypes.size()) return DBERR_DATAPACKETMISMATCH;
    // A fixed-size value must fit its slot (a text slot cuts it at the width).
    // A decimal value must be exactly as long as its precision needs
    // (BcdValueSize), or, without a precision, a part of the decimal record:
    // a longer value would lose its last byte in the slot and a shorter one
    // cannot carry all the column's digits, so either is refused with
    // "Invalid field type." rather than read with a digit cut or dropped.
    for (std::size_t j = 0; j < Fields.size(); ++j) {
        const DSFLDDesc& f = Fields[j];
        if ((f.iFldType == fldBCD || f.iFldType == fldFMTBCD) && !BcdSizeFits(FieldSizeOf(FColumnTypes[j]), f.iUnits1))
            return DBERR_INVALIDFLDTYPE;
        if (FColumnTypes[j] & dsVaryingFldType || f.iFldType == fldZSTRING) continue;
        const std::uint32_t room = f.iFldType == fldUNICODE || f.iFldType == fldVARBYTES ? f.iFldLen - 2 : f.iFldLen;
        if (FieldSizeOf(FColumnTypes[j]) > room) return DBERR_INVALIDFLDTYPE;
    }
    if (FRows == 0) return DBERR_NONE;
    std::size_t start;
    if (FFlags & dsfHasRowOffset) start = FRowOffset;
    else if (FMetaEnd) start = FMetaEnd;
    else if (HasMetaData()) return DBERR_DATAPACKETMISMATCH;  // metadata that was not read, and no way past it
    else start = FFirstByte;
    if (start < PacketHeaderSize || start > FSize) return DBERR_DATAPACKETMISMATCH;

    std::uint32_t valueBuffer = MinValueBuffer;
    for (const DSFLDDesc& f : Fields) valueBuffer = std::max(valueBuffer, f.iFldLen);

    TBlock b(FData, FSize, start);
    const std::size_t flagBytes = (std::size_t{FColumns} + 3) / 4;
    for (std::uint32_t row = 0; row < FRows; ++row) {
        const std::uint8_t* head;
        if (!b.Take(1 + flagBytes, head)) return DBERR_DATAPACKETMISMATCH;
        std::uint8_t* record;
        if (DBResult r = Sink.NewRecord(head[0], record)) return r;
        const std::uint8_t* flags = head + 1;
        for (std::size_t j = 0; j < Fields.size(); ++j) {
            const DSFLDDesc& f = Fields[j];
            const unsigned bits = (flags[j / 4] >> (2 * (j % 4))) & 3u;
            if (bits & BLANK_NULL) {
                record[f.iNullOffsInRec] = recNull;
                continue;
            }
            if (bits & BLANK_NOTCHANGED) {
                record[f.iNullOffsInRec] = recNotChanged;
                continue;
            }
            if (DBResult r = ReadValue(b, FColumnTypes[j], f, valueBuffer, Sink, record)) return r;
        }
    }
    return DBERR_NONE;
}

}  // namespace datapacket
