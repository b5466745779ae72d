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
        const std::uint8_t* P;
        if (!Take(sizeof(T), P)) return false;
        V = GetLE<T>(P);
        return true;
    }

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos;
};

std::uint32_t LogicalType(std::uint32_t Type) {
    const std::uint32_t Size = FieldSizeOf(Type);
    const bool Varying = (Type & dsVaryingFldType) != 0;
    switch (FieldClassOf(Type)) {
        case dsfldINT:
            return Size == 1 ? fldINT8 : Size == 2 ? fldINT16 : Size == 4 ? fldINT32 : Size == 8 ? fldINT64 : fldUNKNOWN;
        case dsfldUINT:
            return Size == 1   ? fldUINT8
                   : Size == 2 ? fldUINT16
                   : Size == 4 ? fldUINT32
                   : Size == 8 ? fldUINT64
                               : fldUNKNOWN;
        case dsfldBOOL: return Size == 1 ? fldBOOL8 : Size == 2 ? fldBOOL : Size == 4 ? fldBOOL32 : fldUNKNOWN;
        case dsfldFLOATIEEE:
            return Size == 8 ? fldFLOAT : Size == 10 ? fldFLOATIEEE : Size == 4 ? fldSINGLE : fldUNKNOWN;
        case dsfldSINGLE: return Size == 4 ? fldSINGLE : fldUNKNOWN;
        case dsfldBCD: return fldBCD;
        case dsfldDATE: return fldDATE;
        case dsfldTIME: return fldTIME;
        case dsfldTIMESTAMP: return fldTIMESTAMP;
        case dsfldZSTRING: return fldZSTRING;
        case dsfldUNICODE: return fldUNICODE;
        case dsfldBYTES:
        case 16: return !Varying ? fldBYTES : Size == 4 ? fldBLOB : fldVARBYTES;
        case dsfldADT: return fldADT;
        case dsfldARRAY: return fldARRAY;
        case dsfldEMBEDDEDTBL: return fldTABLE;
        case dsfldDATETIME: return fldDATETIME;
        case dsfldFMTBCD: return fldFMTBCD;
        case dsfldDATETIMEOFFSET: return fldDATETIMEOFFSET;
        default: return fldUNKNOWN;
    }
}

struct TSubtypeName {
    const char* Name;
    std::uint32_t Code;
};
constexpr TSubtypeName SubtypeNames[] = {
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

// Skips one encoded value of type Type (prefix, count and elements included).
DBResult SkipValue(TBlock& B, std::uint32_t Type) {
    const std::uint32_t Size = FieldSizeOf(Type);
    const std::uint8_t* P;
    if (Type & dsArrayFldType) {
        std::uint32_t Count;
        if (!B.Read(Count)) return DBERR_DATAPACKETMISMATCH;
        if (!(Type & dsVaryingFldType))
            return B.Take(std::size_t{Count} * Size, P) ? DBERR_NONE : DBERR_DATAPACKETMISMATCH;
        if (!IsPrefixWidth(Size)) return DBERR_INVALIDPARAM;
        // Every element takes at least its prefix, so this ends with the block.
        for (std::uint32_t I = 0; I < Count; ++I)
            if (!B.Take(Size, P) || !B.Take(GetPrefix(P, Size), P)) return DBERR_DATAPACKETMISMATCH;
        return DBERR_NONE;
    }
    if (Type & dsVaryingFldType) {
        if (!IsPrefixWidth(Size)) return DBERR_INVALIDPARAM;
        if (!B.Take(Size, P)) return DBERR_DATAPACKETMISMATCH;
        std::uint32_t DataLen = GetPrefix(P, Size);
        if (Size == 4 && (DataLen & dsDELAYEDBIT)) DataLen = 0;
        return B.Take(DataLen, P) ? DBERR_NONE : DBERR_DATAPACKETMISMATCH;
    }
    return B.Take(Size, P) ? DBERR_NONE : DBERR_DATAPACKETMISMATCH;
}

// An integer or Boolean parameter value.
DBResult IntegerValue(const TDSOptParam& Param, std::int64_t& V) {
    const std::uint32_t Type = Param.Type;
    const std::uint32_t Class = FieldClassOf(Type);
    const std::uint32_t Size = FieldSizeOf(Type);
    if ((Type & (dsVaryingFldType | dsArrayFldType)) || Param.Value.size() != Size) return DBERR_INVALIDPARAM;
    if (Class != dsfldINT && Class != dsfldUINT && Class != dsfldBOOL) return DBERR_INVALIDPARAM;
    const std::uint8_t* P = Param.Value.data();
    const bool Signed = Class == dsfldINT;
    switch (Size) {
        case 1: V = Signed ? std::int64_t{static_cast<std::int8_t>(P[0])} : std::int64_t{P[0]}; break;
        case 2: V = Signed ? std::int64_t{GetLE<std::int16_t>(P)} : std::int64_t{GetLE<std::uint16_t>(P)}; break;
        case 4: V = Signed ? std::int64_t{GetLE<std::int32_t>(P)} : std::int64_t{GetLE<std::uint32_t>(P)}; break;
        case 8: V = GetLE<std::int64_t>(P); break;
        default: return DBERR_INVALIDPARAM;
    }
    return DBERR_NONE;
}

DBResult Int32Value(const TDSOptParam& Param, std::int32_t& V) {
    std::int64_t Wide;
    if (DBResult R = IntegerValue(Param, Wide)) return R;
    if (Wide < std::numeric_limits<std::int32_t>::min() || Wide > std::numeric_limits<std::int32_t>::max())
        return DBERR_INVALIDPARAM;
    V = static_cast<std::int32_t>(Wide);
    return DBERR_NONE;
}

// An 8-bit text parameter value (class 9), up to its first zero byte.
DBResult TextValue(const TDSOptParam& Param, std::string_view& Text) {
    if (FieldClassOf(Param.Type) != dsfldZSTRING || (Param.Type & dsArrayFldType)) return DBERR_INVALIDPARAM;
    std::size_t Skip = 0;
    if (Param.Type & dsVaryingFldType) Skip = FieldSizeOf(Param.Type);
    const auto* Data = reinterpret_cast<const char*>(Param.Value.data()) + Skip;
    const std::size_t Len = Param.Value.size() - Skip;
    Text = std::string_view(Data, Len);
    Text = Text.substr(0, Text.find('\0'));
    return DBERR_NONE;
}

// Reads one parameter: name, type and value bytes as the packet holds them.
DBResult ReadParam(TBlock& B, TDSOptParam& Param) {
    std::uint8_t NameLen;
    const std::uint8_t* Name;
    if (!B.Read(NameLen) || !B.Take(NameLen, Name) || !B.Read(Param.Type)) return DBERR_DATAPACKETMISMATCH;
    Param.Name.assign(reinterpret_cast<const char*>(Name), NameLen);
    const std::uint8_t* Value = B.Here();
    const std::size_t Start = B.Pos();
    if (DBResult R = SkipValue(B, Param.Type)) return R;
    Param.Value.assign(Value, Value + (B.Pos() - Start));
    return DBERR_NONE;
}

}  // namespace

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
    const std::uint32_t Magic = GetLE<std::uint32_t>(Data);
    if (Magic != PacketMagic && Magic != AltPacketMagic) return DBERR_DATAPACKETMISMATCH;
    if (Size < PacketHeaderSize) return DBERR_DATAPACKETMISMATCH;
    if (Magic == PacketMagic && (GetLE<std::uint16_t>(Data + 4) > 3 || GetLE<std::uint16_t>(Data + 6) > 3))
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
    TBlock B(FData, FSize, FFirstByte);
    // Each descriptor takes at least 10 bytes: no count can reserve more than the block holds.
    if (std::size_t{FColumns} * 10 > FSize) return DBERR_DATAPACKETMISMATCH;
    Fields.resize(FColumns);
    FColumnTypes.resize(FColumns);
    for (std::uint16_t J = 0; J < FColumns; ++J) {
        DSFLDDesc& F = Fields[J];
        std::uint8_t NameLen;
        const std::uint8_t* Name;
        std::uint32_t Type;
        std::uint16_t ParamCount;
        if (!B.Read(NameLen)) return DBERR_DATAPACKETMISMATCH;
        if (NameLen == 0) return DBERR_NULLFIELDNAME;
        if (!B.Take(NameLen, Name) || !B.Read(Type) || !B.Read(F.iFldAttr) || !B.Read(ParamCount))
            return DBERR_DATAPACKETMISMATCH;
        std::memcpy(F.szName, Name, std::min<std::size_t>(NameLen, sizeof(F.szName) - 1));
        // Arrays, structured and nested columns are not kept by this store.
        if (FieldClassOf(Type) > dsfldMAXCLASS || FieldClassOf(Type) == dsfldEMBEDDEDTBL ||
            (Type & (dsArrayFldType | dsPseudoFldType | dsEmbeddedFldType | dsCompArrayFldType)))
            return DBERR_INVALIDFLDTYPE;
        if ((Type & dsVaryingFldType) && !IsPrefixWidth(FieldSizeOf(Type))) return DBERR_INVALIDFLDTYPE;
        FColumnTypes[J] = Type;
        F.iFldType = LogicalType(Type);
        F.iFieldID = static_cast<std::uint16_t>(J + 1);
        if (!(Type & dsVaryingFldType)) F.iUnits1 = static_cast<std::int32_t>(FieldSizeOf(Type));

        for (std::uint16_t K = 0; K < ParamCount; ++K) {
            TStoredOptParam Kept{static_cast<std::uint32_t>(J + 1), {}};
            TDSOptParam& P = Kept.Param;
            if (DBResult R = ReadParam(B, P)) return R;
            bool Keep = false;
            if (SameParamName(P.Name, "SUBTYPE")) {
                std::string_view Text;
                if (DBResult R = TextValue(P, Text)) return R;
                F.iFldSubType = fldstUNKNOWN;
                for (const TSubtypeName& S : SubtypeNames)
                    if (SameParamName(Text, S.Name)) F.iFldSubType = S.Code;
                if (F.iFldSubType == fldstAUTOINC) F.iFldAttr |= fldAttrREADONLY;
                Keep = F.iFldSubType == fldstUNKNOWN;
            } else if (SameParamName(P.Name, "DECIMALS")) {
                if (DBResult R = Int32Value(P, F.iUnits2)) return R;
            } else if (SameParamName(P.Name, "WIDTH") || SameParamName(P.Name, "ELEMENTS")) {
                if (DBResult R = Int32Value(P, F.iUnits1)) return R;
            } else if (SameParamName(P.Name, "CALCULATED")) {
                std::int64_t V;
                if (DBResult R = IntegerValue(P, V)) return R;
                F.bCalculated = V != 0;
            } else {
                Keep = true;
            }
            if (Keep) {
                ++F.iOptParameters;
                Params.push_back(std::move(Kept));
            }
        }
    }
    std::uint16_t PacketParams;
    if (!B.Read(PacketParams)) return DBERR_DATAPACKETMISMATCH;
    for (std::uint16_t K = 0; K < PacketParams; ++K) {
        TStoredOptParam Kept;
        if (DBResult R = ReadParam(B, Kept.Param)) return R;
        Params.push_back(std::move(Kept));
    }
    FMetaEnd = B.Pos();
    return DBERR_NONE;
}

DBResult TDSReader::ReadRows(const std::vector<DSFLDDesc>& Fields, IRowSink& Sink) {
    if (FColumns != FColumnTypes.size() || Fields.size() != FColumnTypes.size()) return DBERR_DATAPACKETMISMATCH;
    // A fixed-size value must fit its slot (a text slot cuts it at the width).
    for (std::size_t J = 0; J < Fields.size(); ++J) {
        const DSFLDDesc& F = Fields[J];
        if (FColumnTypes[J] & dsVaryingFldType || F.iFldType == fldZSTRING) continue;
        const std::uint32_t Room = F.iFldType == fldUNICODE || F.iFldType == fldVARBYTES ? F.iFldLen - 2 : F.iFldLen;
        if (FieldSizeOf(FColumnTypes[J]) > Room) return DBERR_INVALIDFLDTYPE;
    }
    if (FRows == 0) return DBERR_NONE;
    std::size_t Start;
    if (FFlags & dsfHasRowOffset)
        Start = FRowOffset;
    else if (FMetaEnd)
        Start = FMetaEnd;
    else if (HasMetaData())
        return DBERR_DATAPACKETMISMATCH;  // metadata that was not read, and no way past it
    else
        Start = FFirstByte;
    if (Start < PacketHeaderSize || Start > FSize) return DBERR_DATAPACKETMISMATCH;

    std::uint32_t ValueBuffer = MinValueBuffer;
    for (const DSFLDDesc& F : Fields) ValueBuffer = std::max(ValueBuffer, F.iFldLen);

    TBlock B(FData, FSize, Start);
    const std::size_t FlagBytes = (std::size_t{FColumns} + 3) / 4;
    for (std::uint32_t Row = 0; Row < FRows; ++Row) {
        const std::uint8_t* Head;
        if (!B.Take(1 + FlagBytes, Head)) return DBERR_DATAPACKETMISMATCH;
        std::uint8_t* Record;
        if (DBResult R = Sink.NewRecord(Head[0], Record)) return R;
        const std::uint8_t* Flags = Head + 1;
        for (std::size_t J = 0; J < Fields.size(); ++J) {
            const DSFLDDesc& F = Fields[J];
            const unsigned Bits = (Flags[J / 4] >> (2 * (J % 4))) & 3u;
            if (Bits & BLANK_NULL) {
                Record[F.iNullOffsInRec] = recNull;
                continue;
            }
            if (Bits & BLANK_NOTCHANGED) {
                Record[F.iNullOffsInRec] = recNotChanged;
                continue;
            }
            const std::uint32_t Type = FColumnTypes[J];
            std::uint32_t Len = FieldSizeOf(Type);
            const std::uint8_t* P;
            if (Type & dsVaryingFldType) {
                if (!B.Take(Len, P)) return DBERR_DATAPACKETMISMATCH;
                Len = GetPrefix(P, Len);
            }
            std::uint8_t* Slot = Record + F.iFldOffsInRec;
            if (F.iFldType == fldBLOB) {
                std::uint32_t Number = NotFetchedBlob;
                if (!(Len & dsDELAYEDBIT)) {
                    if (!B.Take(Len, P)) return DBERR_DATAPACKETMISMATCH;
                    if (Len == 0) {
                        Record[F.iNullOffsInRec] = recNull;
                        continue;
                    }
                    if (DBResult R = Sink.AddBlob(P, Len, Number)) return R;
                }
                PutLE(Slot, Number);
                continue;
            }
            const bool Counted = F.iFldType == fldUNICODE || F.iFldType == fldVARBYTES;
            if (Len > ValueBuffer || (Counted && Len > F.iFldLen - 2)) return DBERR_INVALIDPARAM;
            if (!B.Take(Len, P)) return DBERR_DATAPACKETMISMATCH;
            switch (F.iFldType) {
                case fldZSTRING:
                    // Cut at the column width; the zeroed slot keeps the terminator.
                    std::memcpy(Slot, P, std::min(Len, F.iFldLen - 1));
                    break;
                case fldUNICODE:
                case fldVARBYTES:
                    PutLE(Slot, static_cast<std::uint16_t>(Len));
                    std::memcpy(Slot + 2, P, Len);
                    break;
                default:
                    std::memcpy(Slot, P, std::min(Len, F.iFldLen));
                    break;
            }
        }
    }
    return DBERR_NONE;
}

}  // namespace datapacket
