#include "datapacket/ds_base.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace datapacket {

namespace {

constexpr std::uint32_t MaxSlot = 65531;

std::uint32_t NextOrderId() {
    static std::atomic<std::uint32_t> counter{0};
    return ++counter;
}

// The slot length of a column by its logical type, or 0 for a type the store
// cannot hold. Width-based types take a width of at least 1.
std::uint64_t SlotLength(DSFLDDesc& F) {
    const auto width = [&F]() -> std::uint64_t {
        if (F.iUnits1 == 0) F.iUnits1 = 1;
        return static_cast<std::uint64_t>(F.iUnits1);
    };
    switch (F.iFldType) {
        case fldZSTRING: return width() + 1;
        case fldUNICODE:
        case fldVARBYTES: return width() + 2;
        case fldBYTES: return width();
        case fldBLOB: return 4;
        case fldINT16:
        case fldUINT16:
        case fldBOOL:
        case fldINT8:
        case fldUINT8:
        case fldBOOL8: return 2;
        case fldINT32:
        case fldUINT32:
        case fldDATE:
        case fldTIME:
        case fldSINGLE:
        case fldTABLE:
        case fldBOOL32: return 4;
        case fldFLOAT:
        case fldTIMESTAMP:
        case fldINT64:
        case fldUINT64: return 8;
        case fldFLOATIEEE: return 10;
        case fldBCD:
        case fldFMTBCD: return BcdValueSize(static_cast<std::uint64_t>(F.iUnits1));
        case fldDATETIME: return 16;
        case fldDATETIMEOFFSET: return 20;
        default: return 0;
    }
}

}  // namespace

TDSBase::TDSBase() : FOrderId(NextOrderId()) { FBlobEnds.push_back(0); }

DBResult TDSBase::LayOutRecord() {
    std::uint64_t offset = 0;
    for (DSFLDDesc& f : FFields) {
        if (f.iUnits1 < 0) return DBERR_INVALIDFLDTYPE;
        const std::uint64_t slot = SlotLength(f);
        if (slot == 0 || slot > MaxSlot) return DBERR_INVALIDFLDTYPE;
        f.iFldLen = static_cast<std::uint32_t>(slot);
        f.iFldOffsInRec = static_cast<std::uint32_t>(offset);
        offset += slot;
    }
    // One null byte per column after the slots; with the status byte kept
    // after each record, a record must stay addressable in 32 bits.
    if (offset + FFields.size() >= std::numeric_limits<std::uint32_t>::max()) return DBERR_NOMEMORY;
    for (std::size_t j = 0; j < FFields.size(); ++j) FFields[j].iNullOffsInRec = static_cast<std::uint32_t>(offset + j);
    FRecLen = static_cast<std::uint32_t>(offset + FFields.size());
    return DBERR_NONE;
}

DBResult TDSBase::NewRecord(std::uint8_t Status, std::uint8_t*& Record) {
    if (FRecordCount == std::numeric_limits<std::uint32_t>::max() - 1) return DBERR_NOMEMORY;
    const std::size_t start = FRecords.size();
    try {
        FRecords.resize(start + FRecLen + 1);
    } catch (const std::bad_alloc&) {
        return DBERR_NOMEMORY;
    } catch (const std::length_error&) {
        return DBERR_NOMEMORY;
    }
    Record = FRecords.data() + start;
    Record[FRecLen] = Status;
    ++FRecordCount;
    return DBERR_NONE;
}

DBResult TDSBase::AddBlob(const std::uint8_t* Data, std::uint32_t Len, std::uint32_t& Number) {
    if (FBlobEnds.size() >= NotFetchedBlob) return DBERR_NOMEMORY;
    try {
        FBlobData.insert(FBlobData.end(), Data, Data + Len);
        FBlobEnds.push_back(FBlobData.size());
    } catch (const std::bad_alloc&) {
        FBlobData.resize(FBlobEnds.back());
        return DBERR_NOMEMORY;
    }
    Number = static_cast<std::uint32_t>(FBlobEnds.size() - 1);
    return DBERR_NONE;
}

bool TDSBase::Blob(std::uint32_t Number, const std::uint8_t*& Data, std::uint32_t& Len) const {
    if (Number == 0 || Number >= FBlobEnds.size()) return false;
    Data = FBlobData.data() + FBlobEnds[Number - 1];
    Len = static_cast<std::uint32_t>(FBlobEnds[Number] - FBlobEnds[Number - 1]);
    return true;
}

void TDSBase::DropRecords() {
    FRecords.clear();
    FRecordCount = 0;
    FBlobData.clear();
    FBlobEnds.assign(1, 0);
}

void TDSBase::DropMetaData() {
    DropRecords();
    FHasMetaData = false;
    FFields.clear();
    FOptParams.clear();
    FRecLen = 0;
    FReader.Clear();
}

DBResult TDSBase::ReadFirstPacket(const rtl::TBytes& Packet) {
    if (DBResult r = FReader.Open(Packet.data(), Packet.size())) return r;
    if (DBResult r = FReader.ReadMetaData(FFields, FOptParams)) return r;
    if (DBResult r = LayOutRecord()) return r;
    ReserveFor(Packet.size());
    return FReader.ReadRows(FFields, *this);
}

void TDSBase::ReserveFor(std::size_t PacketSize) {
    // Room for the announced rows at once, so that reading them does not move
    // the records again and again (a header that overstates them gets no more
    // than 8 times the packet's size), and for the blobs, whose bytes the
    // packet holds. Only a hint: values still find room one by one.
    const std::uint64_t records =
        std::min(std::uint64_t{FReader.Rows()} * (std::uint64_t{FRecLen} + 1), std::uint64_t{PacketSize} * 8);
    try {
        FRecords.reserve(FRecords.size() + static_cast<std::size_t>(records));
        FBlobData.reserve(FBlobData.size() + PacketSize);
    } catch (const std::exception&) {
    }
}

DBResult TDSBase::ReadLaterPacket(const rtl::TBytes& Packet) {
    // A failing packet adds nothing: the records and blobs it had added go.
    const std::uint32_t records = FRecordCount;
    const std::size_t recordBytes = FRecords.size();
    const std::size_t blobs = FBlobEnds.size();
    DBResult r = FReader.Open(Packet.data(), Packet.size());
    if (!r) {
        ReserveFor(Packet.size());
        r = FReader.ReadRows(FFields, *this);
    }
    if (r) {
        FRecordCount = records;
        FRecords.resize(recordBytes);
        FBlobEnds.resize(blobs);
        FBlobData.resize(FBlobEnds.back());
    }
    return r;
}

DBResult TDSBase::AppendData(const rtl::TBytes* Packet, bool HitEOF) {
    std::lock_guard guard(FLock);
    if (!Packet) {
        FPartial = false;
        return DBERR_NONE;
    }
    if (!FHasMetaData) {
        // A failed first packet leaves no metadata: the next one starts afresh.
        if (DBResult r = ReadFirstPacket(*Packet)) {
            DropMetaData();
            return r;
        }
        FHasMetaData = true;
    } else {
        // Every store's metadata came from a packet, so a complete store
        // reopens itself for appending.
        if (DBResult r = ReadLaterPacket(*Packet)) return r;
    }
    FPartial = !HitEOF;
    return DBERR_NONE;
}

DBResult TDSBase::GetProps(DSProps& Props) {
    std::lock_guard guard(FLock);
    if (!FHasMetaData) return DBERR_NOMETADATA;
    Props.iFields = static_cast<std::uint32_t>(FFields.size());
    Props.iRecBufSize = FRecLen;
    Props.iBookmarkSize = BookmarkSize;
    Props.iRecords = FRecordCount;
    Props.bReadOnly = FReadOnly;
    return DBERR_NONE;
}

DBResult TDSBase::GetFieldDescs(DSFLDDesc* Descs) {
    std::lock_guard guard(FLock);
    if (!FHasMetaData) return DBERR_NOMETADATA;
    if (!Descs && !FFields.empty()) return DBERR_INVALIDPARAM;
    std::copy(FFields.begin(), FFields.end(), Descs);
    return DBERR_NONE;
}

DBResult TDSBase::GetOptParameter(std::uint32_t FieldNo, const char* Name, TDSOptParam& Param) {
    std::lock_guard guard(FLock);
    if (!Name) return DBERR_INVALIDPARAM;
    for (const TStoredOptParam& p : FOptParams) {
        if (p.FieldNo == FieldNo && SameParamName(p.Param.Name, Name)) {
            Param = p.Param;
            return DBERR_NONE;
        }
    }
    return DBERR_NOSUCHINDEX;
}

DBResult TDSBase::GetProp(std::uint32_t Prop, std::uint32_t& Value) {
    std::lock_guard guard(FLock);
    switch (Prop) {
        case dspropREADONLY: Value = FReadOnly; break;
        case dspropDSISPARTIAL: Value = FPartial; break;
        case dspropRECORDSINDS: Value = FRecordCount; break;
        case dspropINCLBLOBSINDELTA: Value = FInclBlobsInDelta; break;
        case dspropCOMPRESSARRAYS: Value = FCompressArrays; break;
        case dspropDISABLESTRINGTRIM: Value = FDisableStringTrim; break;
        case dspropDATAHASCHANGED: Value = 0; break;  // the store is never edited
        case dspropUTF8METADATA: Value = FUtf8MetaData; break;
        case dspropUTF8ERRORMSG: Value = FUtf8ErrorMsg; break;
        case dspropANSICODEPAGE: Value = FAnsiCodePage; break;
        default: return DBERR_INVALIDPARAM;
    }
    return DBERR_NONE;
}

DBResult TDSBase::SetProp(std::uint32_t Prop, std::uint32_t Value) {
    std::lock_guard guard(FLock);
    switch (Prop) {
        case dspropREADONLY: FReadOnly = Value != 0; break;
        case dspropDSISPARTIAL:
            // Reopens a complete store for appending, whatever the value.
            if (!FHasMetaData || FPartial) return DBERR_NA;
            FPartial = true;
            break;
        case dspropRECORDSINDS:
        case dspropDATAHASCHANGED: return DBERR_NA;
        case dspropINCLBLOBSINDELTA: FInclBlobsInDelta = Value; break;
        case dspropCOMPRESSARRAYS: FCompressArrays = Value; break;
        case dspropDISABLESTRINGTRIM: FDisableStringTrim = Value; break;
        case dspropUTF8METADATA: FUtf8MetaData = Value; break;
        case dspropUTF8ERRORMSG: FUtf8ErrorMsg = Value; break;
        case dspropANSICODEPAGE: FAnsiCodePage = Value; break;
        default: return DBERR_INVALIDPARAM;
    }
    return DBERR_NONE;
}

DBResult TDSBase::Reset() {
    std::lock_guard guard(FLock);
    DropRecords();
    // Bookmarks taken before no longer hold positions in this order.
    ++FGeneration;
    return DBERR_NONE;
}

DBResult TDSBase::GetErrorString(DBResult Code, char* Text) { return CopyErrorString(Code, Text); }

}  // namespace datapacket
