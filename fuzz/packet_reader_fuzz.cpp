// Feeds arbitrary bytes to a fresh record store as its first packet and, when
// the store takes them, again as a later packet; and as a later packet to a
// store opened with columns of every class. Every store is walked record by
// record with a cursor, reading every field and blob. Any read outside the packet or the
// store's buffers is the sanitizers' to catch; a record that breaks the
// store's own layout rules traps.

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

void CheckField(IDSCursor& Cursor, const std::vector<std::uint8_t>& Rec, const DSFLDDesc& F) {
    std::vector<std::uint8_t> Slot(F.iFldLen);
    bool Blank = false;
    Require(Cursor.GetField(Rec.data(), F.iFieldID, Slot.data(), Blank) == DBERR_NONE);
    if (F.iFldType == fldBLOB) {
        std::uint32_t Len = 0;
        const DBResult R = Cursor.GetBlobLen(Rec.data(), F.iFieldID, Len);
        Require(R == DBERR_NONE || R == DBERR_BLOBNOTFETCHED);
        if (R != DBERR_NONE) return;
        Require(!Blank || Len == 0);
        std::vector<std::uint8_t> Data(Len + 1);
        std::uint32_t Copied = Len + 1;
        Require(Cursor.GetBlob(Rec.data(), F.iFieldID, 0, Data.data(), Copied) == DBERR_NONE);
        Require(Copied == Len);
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

void Walk(const std::shared_ptr<IDSBase>& Base) {
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
    std::uint32_t Seen = 0;
    Require(Cursor->MoveToBOF() == DBERR_NONE);
    while (Cursor->MoveRelative(1) == DBERR_NONE) {
        ++Seen;
        std::uint32_t SeqNo = 0;
        Require(Cursor->GetSequenceNumber(SeqNo) == DBERR_NONE && SeqNo == Seen);
        Require(Cursor->GetCurrentRecord(Rec.data()) == DBERR_NONE);
        Require(Cursor->GetCurrentBookMark(Bookmark.data()) == DBERR_NONE);
        for (const DSFLDDesc& F : Fields) CheckField(*Cursor, Rec, F);
    }
    Require(Seen == Props.iRecords);
    if (Seen) Require(Cursor->MoveToBookMark(Bookmark.data()) == DBERR_NONE);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const rtl::TBytes Packet(Data, Data + Size);
    {
        auto Rows = CreateDSBase();
        Require(Rows->AppendData(&EveryClassMetaData(), false) == DBERR_NONE);
        if (Rows->AppendData(&Packet, true) == DBERR_NONE) Walk(Rows);
    }
    auto Base = CreateDSBase();
    if (Base->AppendData(&Packet, false) != DBERR_NONE) {
        DSProps Props;
        Require(Base->GetProps(Props) == DBERR_NOMETADATA);
        return 0;
    }
    Walk(Base);
    // The same block as a later packet: its rows only, or nothing on failure.
    DSProps Before;
    Base->GetProps(Before);
    const DBResult R = Base->AppendData(&Packet, true);
    DSProps After;
    Base->GetProps(After);
    Require(R == DBERR_NONE ? After.iRecords == 2 * Before.iRecords : After.iRecords == Before.iRecords);
    Walk(Base);
    return 0;
}
