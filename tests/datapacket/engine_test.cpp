// The dataset engine: packets written by IDSWriter, read back by the record
// store, walked with a cursor; malformed packets end in result codes.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "datapacket/ds_errors.h"
#include "datapacket/ds_intf.h"

using namespace datapacket;
using namespace std::string_literals;

namespace {

#define EXPECT_OK(Call) EXPECT_EQ(DBResult{DBERR_NONE}, (Call))

TDSDataPacketFldDesc Column(const char* Name, std::uint32_t Type, std::uint16_t Attributes = 0) {
    TDSDataPacketFldDesc D;
    std::strncpy(D.szFieldName, Name, sizeof(D.szFieldName) - 1);
    D.iFieldType = Type;
    D.iAttributes = Attributes;
    return D;
}

// Parameters typed as the provider types them.
void AddInteger(IDSWriter& W, std::uint32_t Area, const char* Name, std::int32_t V) {
    EXPECT_OK(W.AddAttribute(Area, Name, 0x10004, 4, &V));
}
void AddText(IDSWriter& W, std::uint32_t Area, const char* Name, const std::string& Text) {
    const std::string Data = Text + '\0';
    EXPECT_OK(W.AddAttribute(Area, Name, 0x490002, static_cast<std::uint32_t>(2 + Data.size()), Data.data()));
}

void PutRowStart(IDSWriter& W) {
    const std::uint8_t Status = dsRecUnmodified;
    EXPECT_OK(W.PutField(fldIsValue, 1, &Status));
}
void PutInt64(IDSWriter& W, std::int64_t V) { EXPECT_OK(W.PutField(fldIsValue, 8, &V)); }
void PutWide(IDSWriter& W, const std::u16string& S) {
    EXPECT_OK(W.PutField(fldIsValue, static_cast<std::uint32_t>(S.size() * 2), S.data()));
}
void PutNull(IDSWriter& W) { EXPECT_OK(W.PutField(fldIsNull, 0, nullptr)); }

// The system's query shape: an 8-byte integer, a wide string of 3
// characters and a wide memo, one null value.
rtl::TBytes GoldenPacket() {
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 3));
    EXPECT_OK(W->AddColumnDesc(Column("ID", 0x10008)));
    EXPECT_OK(W->AddColumnDesc(Column("WORD", 0x4A0001)));
    AddInteger(*W, dsAttrField, "WIDTH", 6);
    EXPECT_OK(W->AddColumnDesc(Column("TEXT", 0x4B0004)));
    AddInteger(*W, dsAttrField, "WIDTH", 10);
    AddText(*W, dsAttrField, "SUBTYPE", "WideText");
    AddInteger(*W, dsAttrPacket, "LCID", 0);
    PutRowStart(*W);
    PutInt64(*W, 1);
    PutWide(*W, u"кат");
    PutWide(*W, u"Hi");
    PutRowStart(*W);
    PutInt64(*W, -2);
    PutNull(*W);
    PutWide(*W, u"x");
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));
    return Packet;
}

const rtl::TBytes GoldenBytes = {
    // header: magic, version 1, 0, first byte 24, 3 columns, 2 rows, flags 3, rows at 127
    0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0, 0, 0, 3, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0x7F, 0,
    // "ID": class 1, 8 bytes; attributes 0; no parameters
    2, 'I', 'D', 0x08, 0, 0x01, 0, 0, 0, 0, 0,
    // "WORD": class 10 varying, 1-byte prefix; one parameter WIDTH = 6
    4, 'W', 'O', 'R', 'D', 0x01, 0, 0x4A, 0, 0, 0, 1, 0,
    5, 'W', 'I', 'D', 'T', 'H', 0x04, 0, 0x01, 0, 6, 0, 0, 0,
    // "TEXT": class 11 varying, 4-byte prefix; WIDTH = 10, SUBTYPE = "WideText"
    4, 'T', 'E', 'X', 'T', 0x04, 0, 0x4B, 0, 0, 0, 2, 0,
    5, 'W', 'I', 'D', 'T', 'H', 0x04, 0, 0x01, 0, 10, 0, 0, 0,
    7, 'S', 'U', 'B', 'T', 'Y', 'P', 'E', 0x02, 0, 0x49, 0, 9, 0, 'W', 'i', 'd', 'e', 'T', 'e', 'x', 't', 0,
    // one packet parameter: LCID = 0
    1, 0, 4, 'L', 'C', 'I', 'D', 0x04, 0, 0x01, 0, 0, 0, 0, 0,
    // row 1: status, flags, 1, "кат" (6 bytes), "Hi" (4 bytes)
    0, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 6, 0x3A, 0x04, 0x30, 0x04, 0x42, 0x04, 4, 0, 0, 0, 'H', 0, 'i', 0,
    // row 2: status, flags (column 2 null), -2, "x"
    0, 0x04, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 'x', 0,
};

std::uint32_t U32At(const rtl::TBytes& P, std::size_t Offset) {
    std::uint32_t V;
    std::memcpy(&V, P.data() + Offset, 4);
    return V;
}
std::uint16_t U16At(const rtl::TBytes& P, std::size_t Offset) {
    std::uint16_t V;
    std::memcpy(&V, P.data() + Offset, 2);
    return V;
}

// A store that has taken Packet, with a cursor over it.
struct TOpenStore {
    std::shared_ptr<IDSBase> Base = CreateDSBase();
    std::unique_ptr<IDSCursor> Cursor = CreateDSCursor();
    DSProps Props;
    std::vector<DSFLDDesc> Fields;

    explicit TOpenStore(const rtl::TBytes& Packet, bool HitEOF = true) {
        EXPECT_OK(Base->AppendData(&Packet, HitEOF));
        EXPECT_OK(Base->GetProps(Props));
        Fields.resize(Props.iFields);
        EXPECT_OK(Base->GetFieldDescs(Fields.data()));
        EXPECT_OK(Cursor->InitCursor(Base));
    }
    std::vector<std::uint8_t> Record(std::int32_t SeqNo) {
        std::vector<std::uint8_t> Buf(Props.iRecBufSize);
        EXPECT_OK(Cursor->MoveToSeqNo(SeqNo));
        EXPECT_OK(Cursor->GetCurrentRecord(Buf.data()));
        return Buf;
    }
    std::string Blob(const std::vector<std::uint8_t>& Rec, std::uint32_t FieldNo) {
        std::uint32_t Len = 0;
        EXPECT_OK(Cursor->GetBlobLen(Rec.data(), FieldNo, Len));
        std::string Data(Len, '\0');
        EXPECT_OK(Cursor->GetBlob(Rec.data(), FieldNo, 0, Data.data(), Len));
        Data.resize(Len);
        return Data;
    }
};

// A rows-only packet of the golden columns with the given IDs, from the
// writer that wrote the metadata (as the provider does for a refresh).
rtl::TBytes RowsOnlyPacket(const std::vector<std::int64_t>& Ids) {
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 3));
    EXPECT_OK(W->AddColumnDesc(Column("ID", 0x10008)));
    EXPECT_OK(W->AddColumnDesc(Column("WORD", 0x4A0001)));
    EXPECT_OK(W->AddColumnDesc(Column("TEXT", 0x4B0004)));
    rtl::TBytes Discarded;
    EXPECT_OK(W->GetDataPacket(Discarded));
    EXPECT_OK(W->Reset());
    for (std::int64_t Id : Ids) {
        PutRowStart(*W);
        PutInt64(*W, Id);
        PutNull(*W);
        PutNull(*W);
    }
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));
    return Packet;
}

// --- The writer ---

TEST(PacketWriter, GoldenPacketByteForByte) {
    const rtl::TBytes Packet = GoldenPacket();
    ASSERT_EQ(GoldenBytes.size(), Packet.size());
    for (std::size_t I = 0; I < Packet.size(); ++I) EXPECT_EQ(GoldenBytes[I], Packet[I]) << "byte " << I;
}

TEST(PacketWriter, EmptyPacketPointsPastThePacketParameters) {
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 1));
    EXPECT_OK(W->AddColumnDesc(Column("A", 0x10004)));
    AddInteger(*W, dsAttrPacket, "LCID", 1033);
    std::uint32_t Size = 0;
    EXPECT_OK(W->GetSize(Size));
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));
    ASSERT_EQ(Size, Packet.size());
    EXPECT_EQ(0u, U32At(Packet, 14));                   // rows
    EXPECT_EQ(3u, U32At(Packet, 18));                   // metadata, row offset
    EXPECT_EQ(Packet.size(), U16At(Packet, 22));        // rows would start at the end
    EXPECT_EQ(1u, U16At(Packet, Packet.size() - 15));   // one packet parameter before LCID
}

TEST(PacketWriter, RowsOnlyPacketAfterResetStartsRowsAt24) {
    const rtl::TBytes Packet = RowsOnlyPacket({7});
    ASSERT_EQ(24u + 1 + 1 + 8, Packet.size());
    EXPECT_EQ(PacketMagic, U32At(Packet, 0));
    EXPECT_EQ(3u, U16At(Packet, 12));
    EXPECT_EQ(1u, U32At(Packet, 14));
    EXPECT_EQ(dsfHasRowOffset, U32At(Packet, 18));
    EXPECT_EQ(24u, U16At(Packet, 22));
    EXPECT_EQ(0x0, Packet[24]);     // status
    EXPECT_EQ(0x14, Packet[25]);    // columns 2 and 3 null
    EXPECT_EQ(7, Packet[26]);

    // A rows-only packet with no rows still says where rows would start.
    const rtl::TBytes Empty = RowsOnlyPacket({});
    ASSERT_EQ(24u, Empty.size());
    EXPECT_EQ(dsfHasRowOffset, U32At(Empty, 18));
    EXPECT_EQ(24u, U16At(Empty, 22));
}

TEST(PacketWriter, FlagBytesPerFourColumns) {
    for (std::uint16_t Columns : {4, 5, 8, 9}) {
        SCOPED_TRACE(Columns);
        auto W = CreateDSWriter();
        std::vector<TDSDataPacketFldDesc> Descs(Columns, Column("C", 0x10001));
        EXPECT_OK(W->Init(1, Columns, Descs.data()));
        PutRowStart(*W);
        for (int J = 0; J < Columns; ++J) {
            if (J == Columns - 1)
                PutNull(*W);
            else
                EXPECT_OK(W->PutField(fldIsValue, 1, "\x05"));
        }
        rtl::TBytes Packet;
        EXPECT_OK(W->GetDataPacket(Packet));
        const std::size_t FlagBytes = (Columns + 3) / 4;
        ASSERT_EQ(24u + 1 + FlagBytes + (Columns - 1), Packet.size());
        // The last column's null bit: bit 2 * (j mod 4) of flag byte j div 4.
        const int Last = Columns - 1;
        EXPECT_EQ(1 << (2 * (Last % 4)), Packet[25 + Last / 4]);
    }
}

TEST(PacketWriter, GrowsAcrossManyRowsWithoutLosingBytes) {
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 2));
    EXPECT_OK(W->AddColumnDesc(Column("ID", 0x10008)));
    EXPECT_OK(W->AddColumnDesc(Column("TEXT", 0x4B0004)));
    const std::string Text(1000, 'z');
    const int Rows = 3000;  // about 3 MB: several growths, some of them doubling
    for (int I = 0; I < Rows; ++I) {
        PutRowStart(*W);
        PutInt64(*W, I);
        EXPECT_OK(W->PutField(fldIsValue, static_cast<std::uint32_t>(Text.size()), Text.data()));
    }
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));
    TOpenStore S(Packet);
    ASSERT_EQ(static_cast<std::uint32_t>(Rows), S.Props.iRecords);
    for (int SeqNo : {1, Rows / 2, Rows}) {
        auto Rec = S.Record(SeqNo);
        std::int64_t Id;
        std::memcpy(&Id, Rec.data(), 8);
        EXPECT_EQ(SeqNo - 1, Id);
        EXPECT_EQ(Text, S.Blob(Rec, 2));
    }
}

TEST(PacketWriter, RefusedCalls) {
    {
        auto W = CreateDSWriter();
        EXPECT_EQ(DBERR_DATAPACKETMISMATCH, W->Init_Sequential(4, 1));
        EXPECT_EQ(DBERR_NA, W->Reset());  // no column registered
        EXPECT_EQ(DBERR_NA, W->SetXMLMode(5));
        EXPECT_OK(W->SetXMLMode(0));
        EXPECT_EQ(DBERR_NA, W->EndOfNestedRows());
    }
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 2));
    EXPECT_EQ(DBERR_NA, W->AddColumnDesc(Column("BIG", MakeFieldType(37, 4))));
    EXPECT_EQ(DBERR_NA, W->AddColumnDesc(Column("NESTED", 0x10E0001)));
    EXPECT_EQ(DBERR_NULLFIELDNAME, W->AddColumnDesc(Column("", 0x10004)));
    EXPECT_EQ(DBERR_NA, W->AddAttribute(dsAttrField, "WIDTH", 0x10004, 4, "\0\0\0"));  // no column yet
    EXPECT_OK(W->AddColumnDesc(Column("A", 0x10004)));
    EXPECT_EQ(DBERR_NA, W->AddAttribute(dsAttrField, "X", 0x10004, 4, nullptr));  // would close a nested level
    EXPECT_EQ(DBERR_INVALIDPARAM, W->AddAttribute(dsAttrField, "X", 0x10004, 2, "\1"));  // shorter than its type
    EXPECT_OK(W->AddColumnDesc(Column("B", 0x490001)));
    EXPECT_EQ(DBERR_NA, W->AddColumnDesc(Column("C", 0x10004)));  // all columns described
    EXPECT_EQ(DBERR_INVALIDPARAM, W->PutField(fldIsNull, 0, nullptr));  // a row starts with its status
    PutRowStart(*W);
    EXPECT_OK(W->PutField(fldIsValue, 4, "\1\0\0\0"));
    EXPECT_EQ(DBERR_INVALIDPARAM, W->PutField(fldIsValue, 256, std::string(256, 'a').data()));  // 1-byte prefix
    rtl::TBytes Packet;
    EXPECT_EQ(DBERR_NA, W->GetDataPacket(Packet));  // the row is unfinished
    EXPECT_OK(W->PutField(fldIsValue, 2, "ab"));
    EXPECT_EQ(DBERR_NA, W->AddAttribute(dsAttrPacket, "LATE", 0x10004, 4, "\0\0\0"));
    EXPECT_OK(W->GetDataPacket(Packet));
    EXPECT_EQ(DBERR_NA, W->PutField(fldIsValue, 1, "\0"));  // handed over: Reset first
}

TEST(PacketWriter, ColumnNamesOf31BytesTravelWholeLongerAreCut) {
    const std::string Name31(31, 'n');
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 2));
    EXPECT_OK(W->AddColumnDesc(Column(Name31.c_str(), 0x10004)));
    TDSDataPacketFldDesc Full;  // 32 bytes of name, no terminator
    std::memset(Full.szFieldName, 'm', sizeof(Full.szFieldName));
    Full.iFieldType = 0x10004;
    EXPECT_OK(W->AddColumnDesc(Full));
    std::uint32_t Count = 0;
    EXPECT_OK(W->GetColumnCount(Count));
    ASSERT_EQ(2u, Count);
    TDSDataPacketFldDesc Descs[2];
    EXPECT_OK(W->GetColumnDescs(Descs));
    EXPECT_EQ(std::string(31, 'm'), Descs[1].szFieldName);
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));
    EXPECT_EQ(31, Packet[24]);
    TOpenStore S(Packet);
    EXPECT_EQ(Name31, S.Fields[0].szName);
    EXPECT_EQ(std::string(31, 'm'), S.Fields[1].szName);
}

// --- Reading back ---

TEST(RecordStore, GoldenPacketReadsBack) {
    TOpenStore S(GoldenPacket());
    EXPECT_EQ(3u, S.Props.iFields);
    EXPECT_EQ(2u, S.Props.iRecords);
    EXPECT_EQ(8u + 8 + 4 + 3, S.Props.iRecBufSize);

    struct TExpected {
        const char* Name;
        std::uint32_t Type, SubType;
        std::int32_t Units1;
        std::uint32_t Len, Offset, NullOffset;
    } const Expected[] = {
        {"ID", fldINT64, 0, 8, 8, 0, 20},
        {"WORD", fldUNICODE, 0, 6, 8, 8, 21},
        {"TEXT", fldBLOB, fldstWIDEMEMO, 10, 4, 16, 22},
    };
    for (std::size_t J = 0; J < 3; ++J) {
        SCOPED_TRACE(Expected[J].Name);
        const DSFLDDesc& F = S.Fields[J];
        EXPECT_STREQ(Expected[J].Name, F.szName);
        EXPECT_EQ(Expected[J].Type, F.iFldType);
        EXPECT_EQ(Expected[J].SubType, F.iFldSubType);
        EXPECT_EQ(Expected[J].Units1, F.iUnits1);
        EXPECT_EQ(Expected[J].Len, F.iFldLen);
        EXPECT_EQ(Expected[J].Offset, F.iFldOffsInRec);
        EXPECT_EQ(Expected[J].NullOffset, F.iNullOffsInRec);
        EXPECT_EQ(J + 1, F.iFieldID);
        EXPECT_EQ(0u, F.iOptParameters);  // WIDTH and a known SUBTYPE are not kept
    }

    auto Rec = S.Record(1);
    std::int64_t Id;
    std::memcpy(&Id, Rec.data(), 8);
    EXPECT_EQ(1, Id);
    const std::uint8_t Word[] = {6, 0, 0x3A, 0x04, 0x30, 0x04, 0x42, 0x04};
    EXPECT_EQ(0, std::memcmp(Word, Rec.data() + 8, 8));
    EXPECT_EQ((std::vector<std::uint8_t>{0, 0, 0}), std::vector<std::uint8_t>(Rec.begin() + 20, Rec.end()));
    EXPECT_EQ(std::string("H\0i\0", 4), S.Blob(Rec, 3));
    std::uint8_t Attribute = 0xFF;
    EXPECT_OK(S.Cursor->GetRecordAttribute(Attribute));
    EXPECT_EQ(dsRecUnmodified, Attribute);

    // Part of a blob from an offset.
    char Part[8] = {};
    std::uint32_t Len = sizeof(Part);
    EXPECT_OK(S.Cursor->GetBlob(Rec.data(), 3, 2, Part, Len));
    EXPECT_EQ(2u, Len);
    EXPECT_EQ('i', Part[0]);

    Rec = S.Record(2);
    std::memcpy(&Id, Rec.data(), 8);
    EXPECT_EQ(-2, Id);
    std::uint8_t Slot[8];
    bool Blank = false;
    EXPECT_OK(S.Cursor->GetField(Rec.data(), 2, Slot, Blank));
    EXPECT_TRUE(Blank);
    EXPECT_OK(S.Cursor->GetField(Rec.data(), 1, Slot, Blank));
    EXPECT_FALSE(Blank);
    EXPECT_EQ(0, std::memcmp(Slot, Rec.data(), 8));
    EXPECT_EQ(DBERR_OUTOFRANGE, S.Cursor->GetField(Rec.data(), 4, Slot, Blank));
    EXPECT_EQ(std::string("x\0", 2), S.Blob(Rec, 3));
    EXPECT_EQ(DBERR_INVALIDPARAM, S.Cursor->GetBlobLen(Rec.data(), 1, Len));  // not a blob column

    TDSOptParam Param;
    EXPECT_OK(S.Base->GetOptParameter(0, "lcid", Param));
    EXPECT_EQ("LCID", Param.Name);
    EXPECT_EQ(0x10004u, Param.Type);
    EXPECT_EQ((rtl::TBytes{0, 0, 0, 0}), Param.Value);
    EXPECT_EQ(DBERR_NOSUCHINDEX, S.Base->GetOptParameter(3, "SUBTYPE", Param));
    EXPECT_EQ(DBERR_NOSUCHINDEX, S.Base->GetOptParameter(1, "LCID", Param));  // a packet parameter, not column 1's
}

TEST(RecordStore, ColumnParametersAreKeptByColumnNumber) {
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 2));
    EXPECT_OK(W->AddColumnDesc(Column("ID", 0x10004)));
    AddText(*W, dsAttrField, "SUBTYPE", "autoinc");
    EXPECT_OK(W->AddColumnDesc(Column("NAME", 0x490001)));
    AddText(*W, dsAttrField, "ORIGIN", "lx_items.name");
    AddText(*W, dsAttrField, "SUBTYPE", "Curious");
    AddInteger(*W, dsAttrField, "DECIMALS", -3);
    std::uint32_t IncludedInDelta = 0x10004 | dsIncInDelta;
    std::int32_t One = 1;
    EXPECT_OK(W->AddAttribute(dsAttrPacket, "MD_SEMANTICS", IncludedInDelta, 4, &One));
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));

    TOpenStore S(Packet);
    EXPECT_EQ(fldstAUTOINC, S.Fields[0].iFldSubType);
    EXPECT_EQ(fldAttrREADONLY, S.Fields[0].iFldAttr);
    EXPECT_EQ(fldstUNKNOWN, S.Fields[1].iFldSubType);
    EXPECT_EQ(-3, S.Fields[1].iUnits2);
    EXPECT_EQ(2u, S.Fields[1].iOptParameters);
    TDSOptParam Param;
    EXPECT_OK(S.Base->GetOptParameter(2, "Origin", Param));
    EXPECT_EQ(0x490002u, Param.Type);
    const std::string Origin = "\x0E\x00lx_items.name\0"s;
    EXPECT_EQ(rtl::TBytes(Origin.begin(), Origin.end()), Param.Value);
    EXPECT_OK(S.Base->GetOptParameter(2, "SUBTYPE", Param));
    EXPECT_EQ(DBERR_NOSUCHINDEX, S.Base->GetOptParameter(1, "ORIGIN", Param));
    EXPECT_OK(S.Base->GetOptParameter(0, "md_semantics", Param));
    EXPECT_EQ(IncludedInDelta, Param.Type);
}

TEST(RecordStore, LogicalTypesAndSlotLengths) {
    struct TCase {
        std::uint32_t Type;
        std::int32_t Width;  // the WIDTH parameter, none when 0
        std::uint32_t Logical, Slot;
    } const Cases[] = {
        {0x10001, 0, fldINT8, 2},        {0x10002, 0, fldINT16, 2},        {0x10004, 0, fldINT32, 4},
        {0x20001, 0, fldUINT8, 2},       {0x20004, 0, fldUINT32, 4},       {0x20008, 0, fldUINT64, 8},
        {0x30001, 0, fldBOOL8, 2},       {0x30002, 0, fldBOOL, 2},         {0x30004, 0, fldBOOL32, 4},
        {0x40008, 0, fldFLOAT, 8},       {0x4000A, 0, fldFLOATIEEE, 10},   {0x40004, 0, fldSINGLE, 4},
        {0x1B0004, 0, fldSINGLE, 4},     {0x60004, 0, fldDATE, 4},         {0x70004, 0, fldTIME, 4},
        {0x80008, 0, fldTIMESTAMP, 8},   {0x110010, 0, fldDATETIME, 16},   {0x240014, 0, fldDATETIMEOFFSET, 20},
        {0x50012, 32, fldBCD, 18},       {0x120004, 5, fldFMTBCD, 5},      {0x490001, 10, fldZSTRING, 11},
        {0x490001, 0, fldZSTRING, 2},    {0x4A0002, 600, fldUNICODE, 602}, {0x4A0001, 0, fldUNICODE, 3},
        {0x4B0001, 5, fldVARBYTES, 7},   {0xB0010, 0, fldBYTES, 16},       {0x4B0004, 0, fldBLOB, 4},
        {0x500004, 0, fldBLOB, 4},
    };
    const std::uint16_t N = std::size(Cases);
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, N));
    for (const TCase& C : Cases) {
        EXPECT_OK(W->AddColumnDesc(Column("C", C.Type)));
        if (C.Width) AddInteger(*W, dsAttrField, "WIDTH", C.Width);
    }
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));
    EXPECT_EQ(2u, U16At(Packet, 4));  // classes above 11 need format version 2

    TOpenStore S(Packet);
    std::uint32_t Offset = 0;
    for (std::uint16_t J = 0; J < N; ++J) {
        SCOPED_TRACE(::testing::Message() << "type 0x" << std::hex << Cases[J].Type);
        EXPECT_EQ(Cases[J].Logical, S.Fields[J].iFldType);
        EXPECT_EQ(Cases[J].Slot, S.Fields[J].iFldLen);
        EXPECT_EQ(Offset, S.Fields[J].iFldOffsInRec);
        Offset += Cases[J].Slot;
    }
    for (std::uint16_t J = 0; J < N; ++J) EXPECT_EQ(Offset + J, S.Fields[J].iNullOffsInRec);
    EXPECT_EQ(Offset + N, S.Props.iRecBufSize);
}

// A slot may take 65531 bytes and no more: a wide string or varying bytes
// column (width + 2) of width 65529 opens and of 65530 does not; an 8-bit
// string (width + 1) of 65530 opens and of 65531 does not.
TEST(RecordStore, SlotsOfUpTo65531Bytes) {
    const struct {
        std::uint32_t Type;
        std::int32_t Width;
        DBResult Expected;
    } Cases[] = {
        {0x4A0002, 65529, DBERR_NONE}, {0x4A0002, 65530, DBERR_INVALIDFLDTYPE},
        {0x4B0002, 65529, DBERR_NONE}, {0x4B0002, 65530, DBERR_INVALIDFLDTYPE},
        {0x490002, 65530, DBERR_NONE}, {0x490002, 65531, DBERR_INVALIDFLDTYPE},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(::testing::Message() << "type 0x" << std::hex << C.Type << std::dec << ", width " << C.Width);
        auto W = CreateDSWriter();
        EXPECT_OK(W->Init_Sequential(1, 1));
        EXPECT_OK(W->AddColumnDesc(Column("C", C.Type)));
        AddInteger(*W, dsAttrField, "WIDTH", C.Width);
        rtl::TBytes Packet;
        EXPECT_OK(W->GetDataPacket(Packet));
        auto Base = CreateDSBase();
        EXPECT_EQ(C.Expected, Base->AppendData(&Packet, true));
        DSProps Props;
        if (C.Expected == DBERR_NONE && Base->GetProps(Props) == DBERR_NONE) {
            DSFLDDesc Field;
            EXPECT_OK(Base->GetFieldDescs(&Field));
            EXPECT_EQ(65531u, Field.iFldLen);
        }
    }
}

TEST(RecordStore, TextValuesInTheirSlots) {
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 3));
    EXPECT_OK(W->AddColumnDesc(Column("Z", 0x490001)));
    AddInteger(*W, dsAttrField, "WIDTH", 3);
    EXPECT_OK(W->AddColumnDesc(Column("V", 0x4B0001)));
    AddInteger(*W, dsAttrField, "WIDTH", 4);
    EXPECT_OK(W->AddColumnDesc(Column("B", 0x4B0004)));
    PutRowStart(*W);
    EXPECT_OK(W->PutField(fldIsValue, 6, "abcdef"));
    EXPECT_OK(W->PutField(fldIsValue, 2, "\x01\x02"));
    EXPECT_OK(W->PutField(fldIsValue, 0, ""));  // an empty blob is kept as null
    PutRowStart(*W);
    EXPECT_OK(W->PutField(fldIsValue, 0, ""));
    EXPECT_OK(W->PutField(fldIsNotChanged, 0, nullptr));
    EXPECT_OK(W->PutField(fldIsValue, dsDELAYEDBIT, nullptr));  // left for fetching on demand
    rtl::TBytes Packet;
    EXPECT_OK(W->GetDataPacket(Packet));

    TOpenStore S(Packet);
    auto Rec = S.Record(1);
    // "abc" cut at the width and terminated; 2 bytes after a 16-bit count.
    EXPECT_EQ(0, std::memcmp("abc\0\x02\0\x01\x02\0\0", Rec.data(), 10));
    std::uint32_t Len = 99;
    EXPECT_OK(S.Cursor->GetBlobLen(Rec.data(), 3, Len));
    EXPECT_EQ(0u, Len);
    bool Blank = false;
    EXPECT_OK(S.Cursor->GetField(Rec.data(), 3, nullptr, Blank));
    EXPECT_TRUE(Blank);

    Rec = S.Record(2);
    EXPECT_OK(S.Cursor->GetField(Rec.data(), 1, nullptr, Blank));
    EXPECT_FALSE(Blank);  // an empty text is a value
    EXPECT_EQ(recNotChanged, Rec[S.Fields[1].iNullOffsInRec]);
    EXPECT_EQ(DBERR_BLOBNOTFETCHED, S.Cursor->GetBlobLen(Rec.data(), 3, Len));
}

// --- The cursor ---

TEST(Cursor, MovementRules) {
    enum TOp { Relative, SeqNo };
    struct TCase {
        std::int32_t From;  // 0 BOF, -1 EOF, else the sequence number to start on
        TOp Op;
        std::int32_t Arg;
        DBResult Result;
        std::uint32_t Lands;  // the sequence number when Result is DBERR_NONE
    } const Cases[] = {
        {0, Relative, 1, DBERR_NONE, 1},          {0, Relative, 3, DBERR_NONE, 3},
        {0, Relative, 4, DBERR_EOF, 0},           {0, Relative, -1, DBERR_BOF, 0},
        {0, Relative, 0, DBERR_BOF, 0},           {-1, Relative, -1, DBERR_NONE, 3},
        {-1, Relative, -3, DBERR_NONE, 1},        {-1, Relative, -4, DBERR_BOF, 0},
        {-1, Relative, 1, DBERR_EOF, 0},          {-1, Relative, 0, DBERR_EOF, 0},
        {2, Relative, 0, DBERR_NONE, 2},          {2, Relative, 1, DBERR_NONE, 3},
        {2, Relative, -2, DBERR_BOF, 0},          {2, Relative, 2, DBERR_EOF, 0},
        {1, Relative, INT32_MAX, DBERR_EOF, 0},   {3, Relative, INT32_MIN, DBERR_BOF, 0},
        {2, SeqNo, 0, DBERR_BOF, 0},              {2, SeqNo, -5, DBERR_BOF, 0},
        {2, SeqNo, 4, DBERR_EOF, 0},              {0, SeqNo, 3, DBERR_NONE, 3},
    };
    TOpenStore S(GoldenPacket());
    rtl::TBytes More = RowsOnlyPacket({3});
    EXPECT_OK(S.Base->AppendData(&More, true));
    std::int32_t Count = 0;
    EXPECT_OK(S.Cursor->GetRecordCount(Count));
    ASSERT_EQ(3, Count);
    for (const TCase& C : Cases) {
        SCOPED_TRACE(::testing::Message() << "from " << C.From << (C.Op == Relative ? " relative " : " seqno ")
                                          << C.Arg);
        const DBResult Start = C.From == 0    ? S.Cursor->MoveToBOF()
                               : C.From == -1 ? S.Cursor->MoveToEOF()
                                              : S.Cursor->MoveToSeqNo(C.From);
        EXPECT_OK(Start);
        EXPECT_EQ(C.Result, C.Op == Relative ? S.Cursor->MoveRelative(C.Arg) : S.Cursor->MoveToSeqNo(C.Arg));
        std::uint32_t Seq = 0;
        const DBResult R = S.Cursor->GetSequenceNumber(Seq);
        EXPECT_EQ(C.Result, R);  // on a crack: the crack's code
        if (R == DBERR_NONE) {
            EXPECT_EQ(C.Lands, Seq);
        }
        std::vector<std::uint8_t> Buf(S.Props.iRecBufSize);
        EXPECT_EQ(C.Result, S.Cursor->GetCurrentRecord(Buf.data()));
    }
}

TEST(Cursor, EmptyStoreHasOnlyCracks) {
    TOpenStore S(GoldenPacket());
    EXPECT_OK(S.Base->Reset());
    std::int32_t Count = -1;
    EXPECT_OK(S.Cursor->GetRecordCount(Count));
    EXPECT_EQ(0, Count);
    EXPECT_OK(S.Cursor->MoveToBOF());
    EXPECT_EQ(DBERR_EOF, S.Cursor->MoveRelative(1));
    EXPECT_EQ(DBERR_BOF, S.Cursor->MoveRelative(-1));
}

TEST(Cursor, BookmarksKeepPositionsAndFindRecordsAfterReset) {
    TOpenStore S(GoldenPacket());
    CURProps Props;
    EXPECT_OK(S.Cursor->GetCursorProps(Props));
    ASSERT_EQ(S.Props.iBookmarkSize, Props.iBookMarkSize);
    EXPECT_EQ(S.Props.iRecBufSize, Props.iRecBufSize);
    std::vector<std::uint8_t> First(Props.iBookMarkSize), Second(Props.iBookMarkSize), Eof(Props.iBookMarkSize);
    EXPECT_OK(S.Cursor->MoveToSeqNo(1));
    EXPECT_OK(S.Cursor->GetCurrentBookMark(First.data()));
    EXPECT_OK(S.Cursor->MoveToSeqNo(2));
    EXPECT_OK(S.Cursor->GetCurrentBookMark(Second.data()));
    EXPECT_OK(S.Cursor->MoveToEOF());
    EXPECT_OK(S.Cursor->GetCurrentBookMark(Eof.data()));

    int Order = 0;
    EXPECT_OK(S.Cursor->CompareBookMarks(First.data(), Second.data(), Order));
    EXPECT_EQ(-1, Order);
    EXPECT_OK(S.Cursor->CompareBookMarks(Eof.data(), Second.data(), Order));
    EXPECT_EQ(1, Order);
    EXPECT_OK(S.Cursor->CompareBookMarks(Second.data(), Second.data(), Order));
    EXPECT_EQ(0, Order);

    std::uint32_t Seq = 0;
    EXPECT_OK(S.Cursor->MoveToBookMark(First.data()));
    EXPECT_OK(S.Cursor->GetSequenceNumber(Seq));
    EXPECT_EQ(1u, Seq);
    EXPECT_OK(S.Cursor->MoveToBookMark(Eof.data()));
    EXPECT_EQ(DBERR_EOF, S.Cursor->GetSequenceNumber(Seq));

    // After a Reset the old records are gone: a bookmark finds the record of
    // its number among the new ones, or none.
    EXPECT_OK(S.Base->Reset());
    EXPECT_EQ(DBERR_OUTOFRANGE, S.Cursor->MoveToBookMark(Second.data()));
    EXPECT_EQ(DBERR_EOF, S.Cursor->GetSequenceNumber(Seq));  // a position the empty store no longer holds
    rtl::TBytes Rows = RowsOnlyPacket({10, 20, 30});
    EXPECT_OK(S.Base->AppendData(&Rows, true));
    EXPECT_OK(S.Cursor->MoveToBookMark(Second.data()));
    EXPECT_OK(S.Cursor->GetSequenceNumber(Seq));
    EXPECT_EQ(2u, Seq);
    auto Rec = S.Record(2);
    EXPECT_EQ(20, Rec[0]);
}

TEST(Cursor, NeedsAStoreWithMetaData) {
    auto Cursor = CreateDSCursor();
    CURProps Props;
    EXPECT_EQ(DBERR_NA, Cursor->GetCursorProps(Props));
    EXPECT_EQ(DBERR_NA, Cursor->MoveRelative(1));
    EXPECT_EQ(DBERR_NOMETADATA, Cursor->InitCursor(CreateDSBase()));
    EXPECT_EQ(DBERR_INVALIDPARAM, Cursor->InitCursor(nullptr));
}

// --- The store's life cycle ---

TEST(RecordStore, PartialAndCompleteLifeCycle) {
    auto Base = CreateDSBase();
    std::uint32_t Partial = 9;
    EXPECT_OK(Base->GetProp(dspropDSISPARTIAL, Partial));
    EXPECT_EQ(0u, Partial);
    EXPECT_EQ(DBERR_NA, Base->SetProp(dspropDSISPARTIAL, 0));  // nothing to reopen yet

    // The first packet of a fresh store is read, metadata and rows.
    const rtl::TBytes Golden = GoldenPacket();
    EXPECT_OK(Base->AppendData(&Golden, false));
    EXPECT_OK(Base->GetProp(dspropDSISPARTIAL, Partial));
    EXPECT_EQ(1u, Partial);
    const rtl::TBytes More = RowsOnlyPacket({3, 4});
    EXPECT_OK(Base->AppendData(&More, true));
    std::uint32_t Records = 0;
    EXPECT_OK(Base->GetProp(dspropRECORDSINDS, Records));
    EXPECT_EQ(4u, Records);
    EXPECT_OK(Base->GetProp(dspropDSISPARTIAL, Partial));
    EXPECT_EQ(0u, Partial);

    // A complete store filled from packets takes the next one all the same.
    EXPECT_OK(Base->AppendData(&More, true));
    EXPECT_OK(Base->GetProp(dspropRECORDSINDS, Records));
    EXPECT_EQ(6u, Records);

    // The refresh sequence: reset, reopen, append, move back.
    auto Cursor = CreateDSCursor();
    EXPECT_OK(Cursor->InitCursor(Base));
    EXPECT_OK(Cursor->MoveToSeqNo(5));
    std::uint32_t SeqNo = 0;
    EXPECT_OK(Cursor->GetSequenceNumber(SeqNo));
    EXPECT_OK(Base->Reset());
    EXPECT_OK(Base->GetProp(dspropRECORDSINDS, Records));
    EXPECT_EQ(0u, Records);
    EXPECT_OK(Base->SetProp(dspropDSISPARTIAL, 0));
    EXPECT_EQ(DBERR_NA, Base->SetProp(dspropDSISPARTIAL, 0));  // already open: fails quietly
    const rtl::TBytes Fresh = RowsOnlyPacket({50, 60, 70});
    EXPECT_OK(Base->AppendData(&Fresh, true));
    EXPECT_EQ(DBERR_EOF, Cursor->MoveToSeqNo(static_cast<std::int32_t>(SeqNo)));
    EXPECT_OK(Cursor->MoveToSeqNo(1));
    std::vector<std::uint8_t> Rec(23);
    EXPECT_OK(Cursor->GetCurrentRecord(Rec.data()));
    EXPECT_EQ(50, Rec[0]);  // the new rows are numbered from 1

    // No packet only marks the store complete.
    EXPECT_OK(Base->SetProp(dspropDSISPARTIAL, 1));
    EXPECT_OK(Base->AppendData(nullptr, false));
    EXPECT_OK(Base->GetProp(dspropDSISPARTIAL, Partial));
    EXPECT_EQ(0u, Partial);
}

TEST(RecordStore, FirstPacketMustCarryMetaData) {
    auto Base = CreateDSBase();
    const rtl::TBytes RowsOnly = RowsOnlyPacket({1});
    EXPECT_EQ(DBERR_NOMETADATA, Base->AppendData(&RowsOnly, true));
    DSProps Props;
    EXPECT_EQ(DBERR_NOMETADATA, Base->GetProps(Props));
    const rtl::TBytes Golden = GoldenPacket();
    EXPECT_OK(Base->AppendData(&Golden, true));
    EXPECT_OK(Base->GetProps(Props));
    EXPECT_EQ(2u, Props.iRecords);
}

TEST(RecordStore, FailedFirstPacketLeavesNoMetaData) {
    auto Base = CreateDSBase();
    rtl::TBytes Broken = GoldenPacket();
    Broken.resize(Broken.size() - 1);  // the last row is cut short
    EXPECT_EQ(DBERR_DATAPACKETMISMATCH, Base->AppendData(&Broken, true));
    DSProps Props;
    EXPECT_EQ(DBERR_NOMETADATA, Base->GetProps(Props));
    // The next packet starts again from the beginning, with other columns.
    auto W = CreateDSWriter();
    EXPECT_OK(W->Init_Sequential(1, 1));
    EXPECT_OK(W->AddColumnDesc(Column("ONLY", 0x10004)));
    rtl::TBytes Other;
    EXPECT_OK(W->GetDataPacket(Other));
    EXPECT_OK(Base->AppendData(&Other, true));
    EXPECT_OK(Base->GetProps(Props));
    EXPECT_EQ(1u, Props.iFields);
    EXPECT_EQ(0u, Props.iRecords);
}

TEST(RecordStore, FailedLaterPacketAddsNothing) {
    TOpenStore S(GoldenPacket(), false);
    rtl::TBytes Broken = RowsOnlyPacket({1, 2, 3});
    Broken.resize(Broken.size() - 3);  // the third row is cut short
    EXPECT_EQ(DBERR_DATAPACKETMISMATCH, S.Base->AppendData(&Broken, true));
    std::uint32_t Records = 0, Partial = 0;
    EXPECT_OK(S.Base->GetProp(dspropRECORDSINDS, Records));
    EXPECT_EQ(2u, Records);
    EXPECT_OK(S.Base->GetProp(dspropDSISPARTIAL, Partial));
    EXPECT_EQ(1u, Partial);
    // A later packet that carries metadata but no row offset cannot be placed.
    rtl::TBytes NoOffset = GoldenPacket();
    NoOffset[18] = dsfHasMetaData;
    EXPECT_EQ(DBERR_DATAPACKETMISMATCH, S.Base->AppendData(&NoOffset, true));
    // With its row offset it adds its rows.
    const rtl::TBytes Golden = GoldenPacket();
    EXPECT_OK(S.Base->AppendData(&Golden, true));
    EXPECT_OK(S.Base->GetProp(dspropRECORDSINDS, Records));
    EXPECT_EQ(4u, Records);
}

TEST(RecordStore, Properties) {
    TOpenStore S(GoldenPacket());
    std::uint32_t V = 9;
    EXPECT_OK(S.Base->SetProp(dspropREADONLY, 1));
    EXPECT_OK(S.Base->GetProp(dspropREADONLY, V));
    EXPECT_EQ(1u, V);
    CURProps Props;
    EXPECT_OK(S.Cursor->GetCursorProps(Props));
    EXPECT_TRUE(Props.bReadOnly);
    for (std::uint32_t Prop : {dspropANSICODEPAGE, dspropUTF8METADATA, dspropUTF8ERRORMSG, dspropCOMPRESSARRAYS,
                               dspropDISABLESTRINGTRIM, dspropINCLBLOBSINDELTA}) {
        EXPECT_OK(S.Base->SetProp(Prop, 1251));
        EXPECT_OK(S.Base->GetProp(Prop, V));
        EXPECT_EQ(1251u, V);
    }
    EXPECT_EQ(DBERR_NA, S.Base->SetProp(dspropRECORDSINDS, 5));
    EXPECT_OK(S.Base->GetProp(dspropDATAHASCHANGED, V));
    EXPECT_EQ(0u, V);
    EXPECT_EQ(DBERR_INVALIDPARAM, S.Base->GetProp(999, V));
}

// --- Messages and the factory ---

TEST(Engine, ResultCodeMessages) {
    const std::pair<DBResult, const char*> Messages[] = {
        {DBERR_NONE, "Successful completion."},
        {DBERR_BOF, "At beginning of table."},
        {DBERR_EOF, "At end of table."},
        {DBERR_NOMEMORY, "Insufficient memory for this operation."},
        {DBERR_OUTOFRANGE, "Number is out of range."},
        {DBERR_INVALIDPARAM, "Invalid parameter."},
        {DBERR_NOSUCHINDEX, "Index does not exist."},
        {DBERR_INVALIDFLDTYPE, "Invalid field type."},
        {DBERR_NULLFIELDNAME, "Field name can't be null, datapacket may be corrupted"},
        {DBERR_NA, "Operation not applicable."},
        {DBERR_DELTAISEMPTY, "Delta is empty."},
        {DBERR_NOTHINGTOUNDO, "Nothing to undo."},
        {DBERR_NOMETADATA, "Datapacket contains no meta data."},
        {DBERR_CANNOTAPPEND, "Trying to append data to a non-partial dataset."},
        {DBERR_DATAPACKETMISMATCH, "Mismatch in datapacket."},
        {DBERR_NEWERVERSIONREQ, "Newer version required."},
        {DBERR_BLOBNOTFETCHED, "Blob has not been fetched."},
        {DBERR_DETAILSNOTFETCHED, "Details has not been fetched."},
        {DBERR_NOXMLDATATYPE, "Fieldtype not supported for XML."},
        {DBERR_NODELAYEDXML, "Delayed fetching not supported for XML."},
        {0x2203, ""},
    };
    auto Base = CreateDSBase();
    auto W = CreateDSWriter();
    std::vector<char> Text(ErrorStringSize, 'x');
    for (const auto& [Code, Message] : Messages) {
        SCOPED_TRACE(Code);
        EXPECT_STREQ(Message, ErrorMessage(Code));
        EXPECT_OK(Base->GetErrorString(Code, Text.data()));
        EXPECT_STREQ(Message, Text.data());
        EXPECT_OK(W->GetErrorString(Code, Text.data()));
        EXPECT_STREQ(Message, Text.data());
    }
}

TEST(Engine, FactoryMakesEachKindAndRefusesOthers) {
    EXPECT_NE(nullptr, dynamic_cast<IDSBase*>(CreateDbClientObject(CLSID_DSBase).get()));
    EXPECT_NE(nullptr, dynamic_cast<IDSCursor*>(CreateDbClientObject(CLSID_DSCursor).get()));
    EXPECT_NE(nullptr, dynamic_cast<IDSWriter*>(CreateDbClientObject(CLSID_DSWriter).get()));
    try {
        CreateDbClientObject(IID_IDSBase);  // an interface, not a class
        FAIL() << "no exception";
    } catch (const EDBClient& E) {
        EXPECT_EQ(u"Class not available", E.Message());
    }
}

TEST(Engine, PacketsInVariants) {
    rtl::Variant V;
    EXPECT_EQ(nullptr, VarToDataPacket(rtl::Variant::Null()));
    const rtl::TBytes Golden = GoldenPacket();
    DataPacketToVariant(Golden, V);
    ASSERT_NE(nullptr, VarToDataPacket(V));
    EXPECT_EQ(Golden, *VarToDataPacket(V));
    EXPECT_NE(nullptr, VarToDataPacket(rtl::Variant(rtl::TBytes(22))));
    // An unassigned variant is no packet either: only Null means none.
    for (const rtl::Variant& Bad :
         {rtl::Variant(), rtl::Variant(rtl::TBytes(21)), rtl::Variant(std::int32_t{5}), rtl::Variant(u"x")}) {
        try {
            VarToDataPacket(Bad);
            ADD_FAILURE() << "no exception";
        } catch (const EDBClient& E) {
            EXPECT_EQ(u"Invalid data packet", E.Message());
            EXPECT_EQ(0, E.ErrorCode());
        }
    }
}

// --- Malformed packets ---

// A first packet ends in the expected code (or is read, DBERR_NONE), and a
// failing one leaves the store without metadata.
void ExpectFirstPacket(const rtl::TBytes& Packet, DBResult Expected) {
    auto Base = CreateDSBase();
    EXPECT_EQ(Expected, Base->AppendData(&Packet, true));
    DSProps Props;
    EXPECT_EQ(Expected ? DBERR_NOMETADATA : DBERR_NONE, Base->GetProps(Props));
}

TEST(PacketReader, EveryTruncationFails) {
    const rtl::TBytes Golden = GoldenPacket();
    for (std::size_t Size = 0; Size < Golden.size(); ++Size) {
        SCOPED_TRACE(Size);
        auto Base = CreateDSBase();
        const rtl::TBytes Cut(Golden.begin(), Golden.begin() + static_cast<std::ptrdiff_t>(Size));
        EXPECT_NE(DBERR_NONE, Base->AppendData(&Cut, true));
    }
}

TEST(PacketReader, MalformedPacketsEndInCodes) {
    struct TCase {
        const char* What;
        std::size_t Offset;
        std::vector<std::uint8_t> Bytes;  // written over the golden packet at Offset
        DBResult Expected;
    } const Cases[] = {
        {"wrong magic: the XML form, not built", 0, {'<', '?', 'x', 'm'}, DBERR_DATAPACKETMISMATCH},
        {"version 4", 4, {4, 0}, DBERR_DATAPACKETMISMATCH},
        {"second version field 4", 6, {4, 0}, DBERR_DATAPACKETMISMATCH},
        {"alternative magic skips version checks", 0, {0xCD, 0xAB, 0, 0, 9, 0}, DBERR_NONE},
        {"no metadata flag", 18, {0}, DBERR_NOMETADATA},
        {"no row offset: rows follow the parameters", 18, {1}, DBERR_NONE},
        {"row offset past the end", 22, {0xFF, 0xFF}, DBERR_DATAPACKETMISMATCH},
        {"row offset inside the header", 22, {4, 0}, DBERR_DATAPACKETMISMATCH},
        {"first byte offset past the end", 8, {0xFF, 0xFF, 0, 0}, DBERR_DATAPACKETMISMATCH},
        {"column count beyond the block", 12, {0xFF, 0xFF}, DBERR_DATAPACKETMISMATCH},
        {"row count beyond the block", 14, {3, 0, 0, 0}, DBERR_DATAPACKETMISMATCH},
        {"huge row count", 14, {0xFF, 0xFF, 0xFF, 0xFF}, DBERR_DATAPACKETMISMATCH},
        {"name length 0", 24, {0}, DBERR_NULLFIELDNAME},
        {"name length past the end", 24, {0xFF}, DBERR_DATAPACKETMISMATCH},
        {"class above 36", 29, {40}, DBERR_INVALIDFLDTYPE},
        {"class without a logical type", 29, {19}, DBERR_INVALIDFLDTYPE},
        {"integer of 3 bytes", 27, {3}, DBERR_INVALIDFLDTYPE},
        {"array column", 29, {0x81}, DBERR_INVALIDFLDTYPE},
        {"nested rows column", 29, {14}, DBERR_INVALIDFLDTYPE},
        {"varying prefix of 3 bytes", 40, {3}, DBERR_INVALIDFLDTYPE},
        {"parameter count beyond the block", 46, {0xFF, 0xFF}, DBERR_DATAPACKETMISMATCH},
        {"width too large for a slot", 58, {0xFF, 0xFF, 0, 0}, DBERR_INVALIDFLDTYPE},
        {"negative width", 58, {0xFF, 0xFF, 0xFF, 0xFF}, DBERR_INVALIDFLDTYPE},
        {"width not an integer", 56, {0x49}, DBERR_INVALIDPARAM},
        {"value longer than its width", 58, {2}, DBERR_INVALIDPARAM},
        {"prefix larger than the width", 137, {0xFF}, DBERR_INVALIDPARAM},
        {"subtype not 8-bit text", 99, {0x4A}, DBERR_INVALIDPARAM},
        {"blob length past the end", 144, {0xFF, 0xFF, 0xFF, 0x7F}, DBERR_DATAPACKETMISMATCH},
        {"packet parameter with a 3-byte prefix", 119, {3, 0, 0x41, 0}, DBERR_INVALIDPARAM},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        rtl::TBytes Packet = GoldenPacket();
        std::copy(C.Bytes.begin(), C.Bytes.end(), Packet.begin() + static_cast<std::ptrdiff_t>(C.Offset));
        ExpectFirstPacket(Packet, C.Expected);
    }
}

TEST(PacketReader, LongColumnNamesAreCut) {
    rtl::TBytes Packet = {0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 40};
    Packet.insert(Packet.end(), 40, 'q');
    Packet.insert(Packet.end(), {0x04, 0, 0x01, 0, 0, 0, 0, 0, 0, 0});
    TOpenStore S(Packet);
    EXPECT_EQ(std::string(31, 'q'), S.Fields[0].szName);
}

// Inputs the fuzzer found, each read and walked to its end as the fuzzer does.
TEST(PacketReader, FuzzerFindings) {
    struct TCase {
        const char* What;
        rtl::TBytes Packet;
        DBResult Expected;
    } const Cases[] = {
        {"no columns: an empty column list is a valid one",
         {0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 0x18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0,
          0, 0, 0, 0x3C, 0, 0, 0x18, 0, 0, 0x96, 0x19, 0xE0, 0xBD, 1, 0x5F, 0},
         DBERR_NONE},
        {"no columns, 121 rows of a status byte each: records of no bytes",
         {
          0x96, 0x19, 0xE0, 0xBD, 0x01, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x79, 0x00,
          0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x04, 0x30,
          0x2A, 0x4B, 0x04, 0x3B, 0x04, 0x43, 0x04, 0x4B, 0x04, 0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x7E,
          0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3A, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x03,
          0x00, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x7A, 0x00, 0x27, 0x05,
          0x6C, 0x78, 0x29, 0x96, 0x19, 0xE0, 0xBD, 0x01, 0x5F, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C,
          0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x89, 0x89, 0x89,
          0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89,
          0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x89, 0x96, 0x19,
          0xE0, 0xBD, 0x01, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x3A, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C,
          0x0C, 0x0C, 0x0C, 0x0C, 0x4D, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x6E, 0x6E, 0xE0,
          0x0C, 0x0C, 0x0C, 0x0C, 0x0C, 0x0C,
         },
         DBERR_NONE},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        auto Base = CreateDSBase();
        ASSERT_EQ(C.Expected, Base->AppendData(&C.Packet, true));
        if (C.Expected) continue;
        DSProps Props;
        EXPECT_OK(Base->GetProps(Props));
        std::vector<DSFLDDesc> Fields(Props.iFields);
        EXPECT_OK(Base->GetFieldDescs(Fields.data()));
        auto Cursor = CreateDSCursor();
        EXPECT_OK(Cursor->InitCursor(Base));
        std::vector<std::uint8_t> Rec(Props.iRecBufSize);
        std::uint32_t Walked = 0;
        while (Cursor->MoveRelative(1) == DBERR_NONE) {
            ++Walked;
            EXPECT_OK(Cursor->GetCurrentRecord(Rec.data()));
            for (const DSFLDDesc& F : Fields) {
                bool Blank;
                std::vector<std::uint8_t> Slot(F.iFldLen);
                EXPECT_OK(Cursor->GetField(Rec.data(), F.iFieldID, Slot.data(), Blank));
            }
        }
        EXPECT_EQ(Props.iRecords, Walked);
    }
}

}  // namespace
