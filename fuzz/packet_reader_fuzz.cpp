// Feeds arbitrary bytes to a fresh record store as its first packet and, when
// the store takes them, again as a later packet; and as a later packet to a
// store opened with columns of every class. A later packet must add its rows
// after the store's own or, when it fails, leave the store as it was: its
// records, its blobs and its being open for appending. Each store is then
// refreshed as the client dataset refreshes it (Reset, reopened for
// appending, the packet appended again), which must end as the first append
// did, with the same records. Every store is walked record by record with a
// cursor, reading every field and blob. Any read outside the packet or the
// store's buffers is the sanitizers' to catch; a broken property traps.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "datapacket/ds_intf.h"
#include "every_class.h"

using namespace datapacket;

namespace {

void Require(bool Condition) {
    if (!Condition) __builtin_trap();
}

// A store's records as a cursor reads them, each with its blobs' bytes in
// place of their numbers in the store (a Reset numbers the blobs afresh).
using TRecords = std::vector<std::vector<std::uint8_t>>;

void Append(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
    for (int Shift = 0; Shift < 32; Shift += 8) Out.push_back(static_cast<std::uint8_t>(Value >> Shift));
}

// Reads field F of the record Rec, each into a buffer of its own size, and
// appends to Record the bytes of its blob.
void CheckField(IDSCursor& Cursor, const std::vector<std::uint8_t>& Rec, const DSFLDDesc& F,
                std::vector<std::uint8_t>& Record) {
    std::vector<std::uint8_t> Slot(F.iFldLen);
    bool Blank = false;
    Require(Cursor.GetField(Rec.data(), F.iFieldID, Slot.data(), Blank) == DBERR_NONE);
    if (F.iFldType == fldBLOB) {
        std::fill_n(Record.begin() + static_cast<std::ptrdiff_t>(F.iFldOffsInRec), F.iFldLen, std::uint8_t{0});
        std::uint32_t Len = 0;
        const DBResult R = Cursor.GetBlobLen(Rec.data(), F.iFieldID, Len);
        Require(R == DBERR_NONE || R == DBERR_BLOBNOTFETCHED);
        Append(Record, R);
        if (R != DBERR_NONE) return;
        Require(!Blank || Len == 0);
        std::vector<std::uint8_t> Data(Len + 1);
        std::uint32_t Copied = Len + 1;
        Require(Cursor.GetBlob(Rec.data(), F.iFieldID, 0, Data.data(), Copied) == DBERR_NONE);
        Require(Copied == Len);
        Append(Record, Len);
        Record.insert(Record.end(), Data.begin(), Data.begin() + static_cast<std::ptrdiff_t>(Len));
        return;
    }
    if (Blank) return;
    if (F.iFldType == fldZSTRING) Require(std::memchr(Slot.data(), 0, Slot.size()) != nullptr);
    if (F.iFldType == fldUNICODE || F.iFldType == fldVARBYTES) {
        std::uint16_t Count;
        std::memcpy(&Count, Slot.data(), 2);
        Require(Count <= F.iFldLen - 2);
    }
}

TRecords Walk(const std::shared_ptr<IDSBase>& Base) {
    DSProps Props;
    Require(Base->GetProps(Props) == DBERR_NONE);
    std::vector<DSFLDDesc> Fields(Props.iFields);
    Require(Base->GetFieldDescs(Fields.data()) == DBERR_NONE);
    for (const DSFLDDesc& F : Fields) {
        Require(F.iFldOffsInRec + std::uint64_t{F.iFldLen} <= Props.iRecBufSize);
        Require(F.iNullOffsInRec < Props.iRecBufSize);
    }
    TDSOptParam Param;
    Base->GetOptParameter(0, "LCID", Param);

    auto Cursor = CreateDSCursor();
    Require(Cursor->InitCursor(Base) == DBERR_NONE);
    std::vector<std::uint8_t> Rec(Props.iRecBufSize), Bookmark(Props.iBookmarkSize);
    TRecords Records;
    Require(Cursor->MoveToBOF() == DBERR_NONE);
    while (Cursor->MoveRelative(1) == DBERR_NONE) {
        std::uint32_t SeqNo = 0;
        Require(Cursor->GetSequenceNumber(SeqNo) == DBERR_NONE && SeqNo == Records.size() + 1);
        Require(Cursor->GetCurrentRecord(Rec.data()) == DBERR_NONE);
        Require(Cursor->GetCurrentBookMark(Bookmark.data()) == DBERR_NONE);
        std::vector<std::uint8_t>& Record = Records.emplace_back(Rec);
        for (const DSFLDDesc& F : Fields) CheckField(*Cursor, Rec, F, Record);
    }
    Require(Records.size() == Props.iRecords);
    if (!Records.empty()) Require(Cursor->MoveToBookMark(Bookmark.data()) == DBERR_NONE);
    return Records;
}

// Appends Packet to a store that has its metadata and holds the records
// Held, as the last packet; gives the result and, in Added, the records it
// added.
DBResult AppendLater(const std::shared_ptr<IDSBase>& Base, const TRecords& Held, const rtl::TBytes& Packet,
                     TRecords& Added) {
    DSProps Before;
    Require(Base->GetProps(Before) == DBERR_NONE);
    const DBResult R = Base->AppendData(&Packet, true);
    DSProps After;
    Require(Base->GetProps(After) == DBERR_NONE);
    Require(After.iFields == Before.iFields && After.iRecBufSize == Before.iRecBufSize);
    Added.clear();
    // An empty store that stays empty has no records to compare.
    if (R != DBERR_NONE && Held.empty()) {
        Require(After.iRecords == 0);
        return R;
    }
    const TRecords Now = Walk(Base);
    Require(Now.size() >= Held.size() && std::equal(Held.begin(), Held.end(), Now.begin()));
    Added.assign(Now.begin() + static_cast<std::ptrdiff_t>(Held.size()), Now.end());
    Require(R == DBERR_NONE || Added.empty());
    return R;
}

// The client dataset's refresh of a store that was opened for appending and
// then given Packet as its last packet, with the result Earlier and the
// records Rows: the records go, the store opens for appending again (it
// refuses when the failed packet left it open), and Packet comes again.
void Refresh(const std::shared_ptr<IDSBase>& Base, const rtl::TBytes& Packet, DBResult Earlier, const TRecords& Rows) {
    Require(Base->Reset() == DBERR_NONE);
    DSProps Props;
    Require(Base->GetProps(Props) == DBERR_NONE && Props.iRecords == 0);
    const DBResult Reopened = Base->SetProp(dspropDSISPARTIAL, 0);
    Require((Reopened == DBERR_NONE) == (Earlier == DBERR_NONE));
    TRecords Added;
    Require(AppendLater(Base, {}, Packet, Added) == Earlier);
    Require(Added == Rows);
}

// The metadata of EveryClassTypes.
const rtl::TBytes& EveryClassMetaData() {
    static const rtl::TBytes Packet = [] {
        auto W = CreateDSWriter();
        Require(W->Init_Sequential(1, std::size(EveryClassTypes)) == DBERR_NONE);
        for (std::uint32_t Type : EveryClassTypes) {
            TDSDataPacketFldDesc D;
            D.szFieldName[0] = 'c';
            D.iFieldType = Type;
            Require(W->AddColumnDesc(D) == DBERR_NONE);
            const bool Decimal = FieldClassOf(Type) == dsfldBCD || FieldClassOf(Type) == dsfldFMTBCD;
            if (Type & dsVaryingFldType || Decimal) {
                const std::int32_t& Width = Decimal ? EveryClassPrecision : EveryClassWidth;
                Require(W->AddAttribute(dsAttrField, "WIDTH", 0x10004, 4, &Width) == DBERR_NONE);
            }
        }
        rtl::TBytes Metadata;
        Require(W->GetDataPacket(Metadata) == DBERR_NONE);
        return Metadata;
    }();
    return Packet;
}

// A row for the store of EveryClassTypes, in a rows-only packet: a value in
// every column but every fourth, which is null.
const rtl::TBytes& EveryClassRow() {
    static const rtl::TBytes Packet = [] {
        constexpr std::uint16_t N = std::size(EveryClassTypes);
        TDSDataPacketFldDesc Cols[N];
        for (std::uint16_t J = 0; J < N; ++J) Cols[J].iFieldType = EveryClassTypes[J];
        auto W = CreateDSWriter();
        Require(W->Init(1, N, Cols) == DBERR_NONE);
        const std::uint8_t Status = dsRecUnmodified;
        const std::uint8_t Bytes[20] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
        Require(W->PutField(fldIsValue, 1, &Status) == DBERR_NONE);
        for (std::uint16_t J = 0; J < N; ++J) {
            const std::uint32_t Type = EveryClassTypes[J];
            const std::uint32_t Len = Type & dsVaryingFldType ? 5 : FieldSizeOf(Type);
            Require(J % 4 == 0 ? W->PutField(fldIsNull, 0, nullptr) == DBERR_NONE
                               : W->PutField(fldIsValue, Len, Bytes) == DBERR_NONE);
        }
        rtl::TBytes Rows;
        Require(W->GetDataPacket(Rows) == DBERR_NONE);
        return Rows;
    }();
    return Packet;
}

// The record EveryClassRow gives a store of EveryClassTypes.
const TRecords& EveryClassRecord() {
    static const TRecords Records = [] {
        auto Base = CreateDSBase();
        Require(Base->AppendData(&EveryClassMetaData(), false) == DBERR_NONE);
        Require(Base->AppendData(&EveryClassRow(), true) == DBERR_NONE);
        TRecords Read = Walk(Base);
        Require(Read.size() == 1);
        return Read;
    }();
    return Records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const rtl::TBytes Packet(Data, Data + Size);
    {
        auto Rows = CreateDSBase();
        Require(Rows->AppendData(&EveryClassMetaData(), false) == DBERR_NONE);
        TRecords Added;
        const DBResult R = AppendLater(Rows, {}, Packet, Added);
        Refresh(Rows, Packet, R, Added);
        // A packet that failed twice left nothing behind: the store takes the
        // next one as a fresh store would.
        if (R != DBERR_NONE) {
            TRecords More;
            Require(AppendLater(Rows, {}, EveryClassRow(), More) == DBERR_NONE);
            Require(More == EveryClassRecord());
        }
    }
    auto Base = CreateDSBase();
    if (Base->AppendData(&Packet, false) != DBERR_NONE) {
        DSProps Props;
        Require(Base->GetProps(Props) == DBERR_NOMETADATA);
        return 0;
    }
    // The same block as a later packet: the same rows again, or nothing.
    const TRecords First = Walk(Base);
    TRecords Added;
    const DBResult R = AppendLater(Base, First, Packet, Added);
    Require(R != DBERR_NONE || Added == First);
    Refresh(Base, Packet, R, Added);
    return 0;
}
