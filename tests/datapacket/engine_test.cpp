// The dataset engine: packets written by IDSWriter, read back by the record
// store, walked with a cursor; malformed packets end in result codes.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "data/field_types.h"
#include "data/number_fields.h"
#include "datapacket/ds_errors.h"
#include "datapacket/ds_intf.h"
#include "datapacket/type_maps.h"
#include "exception_message.h"

using namespace datapacket;
using testing_support::MessageOf;
using namespace std::string_literals;

namespace {

#define EXPECT_OK(Call) EXPECT_EQ(DBResult{DBERR_NONE}, (Call))

// The column and parameter types the tests use most.
constexpr std::uint32_t Int32Type = MakeFieldType(dsfldINT, 4);
constexpr std::uint32_t Int64Type = MakeFieldType(dsfldINT, 8);
constexpr std::uint32_t TextType = MakeFieldType(dsfldZSTRING, 1, dsVaryingFldType);
constexpr std::uint32_t TextParamType = MakeFieldType(dsfldZSTRING, 2, dsVaryingFldType);  // text parameters
constexpr std::uint32_t WideType = MakeFieldType(dsfldUNICODE, 1, dsVaryingFldType);
constexpr std::uint32_t MemoType = MakeFieldType(dsfldBYTES, 4, dsVaryingFldType);

TDSDataPacketFldDesc Column(const char* Name, std::uint32_t Type, std::uint16_t Attributes = 0) {
    TDSDataPacketFldDesc d;
    std::strncpy(d.szFieldName, Name, sizeof(d.szFieldName) - 1);
    d.iFieldType = Type;
    d.iAttributes = Attributes;
    return d;
}

// Parameters typed as the provider types them.
void AddInteger(IDSWriter& W, std::uint32_t Area, const char* Name, std::int32_t V) {
    EXPECT_OK(W.AddAttribute(Area, Name, Int32Type, 4, &V));
}
void AddText(IDSWriter& W, std::uint32_t Area, const char* Name, const std::string& Text) {
    const std::string data = Text + '\0';
    EXPECT_OK(W.AddAttribute(Area, Name, TextParamType, static_cast<std::uint32_t>(2 + data.size()), data.data()));
}

void PutRowStart(IDSWriter& W) {
    const std::uint8_t status = dsRecUnmodified;
    EXPECT_OK(W.PutField(fldIsValue, 1, &status));
}
void PutInt64(IDSWriter& W, std::int64_t V) { EXPECT_OK(W.PutField(fldIsValue, 8, &V)); }
void PutWide(IDSWriter& W, const std::u16string& S) {
    EXPECT_OK(W.PutField(fldIsValue, static_cast<std::uint32_t>(S.size() * 2), S.data()));
}
void PutNull(IDSWriter& W) { EXPECT_OK(W.PutField(fldIsNull, 0, nullptr)); }

// The system's query shape: an 8-byte integer, a wide string of 3
// characters and a wide memo, one null value.
rtl::TBytes GoldenPacket() {
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 3));
    EXPECT_OK(w->AddColumnDesc(Column("ID", Int64Type)));
    EXPECT_OK(w->AddColumnDesc(Column("WORD", WideType)));
    AddInteger(*w, dsAttrField, "WIDTH", 6);
    EXPECT_OK(w->AddColumnDesc(Column("TEXT", MemoType)));
    AddInteger(*w, dsAttrField, "WIDTH", 10);
    AddText(*w, dsAttrField, "SUBTYPE", "WideText");
    AddInteger(*w, dsAttrPacket, "LCID", 0);
    PutRowStart(*w);
    PutInt64(*w, 1);
    PutWide(*w, u"кат");
    PutWide(*w, u"Hi");
    PutRowStart(*w);
    PutInt64(*w, -2);
    PutNull(*w);
    PutWide(*w, u"x");
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    return packet;
}

const rtl::TBytes GoldenBytes = {
    // clang-format off
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
// clang-format on

std::uint32_t U32At(const rtl::TBytes& P, std::size_t Offset) {
    std::uint32_t v;
    std::memcpy(&v, P.data() + Offset, 4);
    return v;
}
std::uint16_t U16At(const rtl::TBytes& P, std::size_t Offset) {
    std::uint16_t v;
    std::memcpy(&v, P.data() + Offset, 2);
    return v;
}

// The code of the EDBClient F raises (-1 when it raises none).
int ClientErrorCodeOf(const std::function<void()>& F) {
    try {
        F();
    } catch (const EDBClient& e) {
        return e.ErrorCode();
    }
    return -1;
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
        std::vector<std::uint8_t> buf(Props.iRecBufSize);
        EXPECT_OK(Cursor->MoveToSeqNo(SeqNo));
        EXPECT_OK(Cursor->GetCurrentRecord(buf.data()));
        return buf;
    }
    std::string Blob(const std::vector<std::uint8_t>& Rec, std::uint32_t FieldNo) {
        std::uint32_t len = 0;
        EXPECT_OK(Cursor->GetBlobLen(Rec.data(), FieldNo, len));
        std::string data(len, '\0');
        EXPECT_OK(Cursor->GetBlob(Rec.data(), FieldNo, 0, data.data(), len));
        data.resize(len);
        return data;
    }
};

// A rows-only packet of the golden columns with the given IDs, from the
// writer that wrote the metadata (as the provider does for a refresh).
rtl::TBytes RowsOnlyPacket(const std::vector<std::int64_t>& Ids) {
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 3));
    EXPECT_OK(w->AddColumnDesc(Column("ID", Int64Type)));
    EXPECT_OK(w->AddColumnDesc(Column("WORD", WideType)));
    EXPECT_OK(w->AddColumnDesc(Column("TEXT", MemoType)));
    rtl::TBytes discarded;
    EXPECT_OK(w->GetDataPacket(discarded));
    EXPECT_OK(w->Reset());
    for (std::int64_t id : Ids) {
        PutRowStart(*w);
        PutInt64(*w, id);
        PutNull(*w);
        PutNull(*w);
    }
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    return packet;
}

// A first packet ends in the expected code (or is read, DBERR_NONE), and a
// failing one leaves the store without metadata.
void ExpectFirstPacket(const rtl::TBytes& Packet, DBResult Expected) {
    auto base = CreateDSBase();
    EXPECT_EQ(Expected, base->AppendData(&Packet, true));
    DSProps props;
    EXPECT_EQ(Expected ? DBERR_NOMETADATA : DBERR_NONE, base->GetProps(props));
}

// --- The writer ---

TEST(PacketWriter, GoldenPacketByteForByte) {
    const rtl::TBytes packet = GoldenPacket();
    ASSERT_EQ(GoldenBytes.size(), packet.size());
    for (std::size_t i = 0; i < packet.size(); ++i) EXPECT_EQ(GoldenBytes[i], packet[i]) << "byte " << i;
}

TEST(PacketWriter, EmptyPacketPointsPastThePacketParameters) {
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 1));
    EXPECT_OK(w->AddColumnDesc(Column("A", Int32Type)));
    AddInteger(*w, dsAttrPacket, "LCID", 1033);
    std::uint32_t size = 0;
    EXPECT_OK(w->GetSize(size));
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    ASSERT_EQ(size, packet.size());
    EXPECT_EQ(0u, U32At(packet, 14));                  // rows
    EXPECT_EQ(3u, U32At(packet, 18));                  // metadata, row offset
    EXPECT_EQ(packet.size(), U16At(packet, 22));       // rows would start at the end
    EXPECT_EQ(1u, U16At(packet, packet.size() - 15));  // one packet parameter before LCID
}

TEST(PacketWriter, RowsOnlyPacketAfterResetStartsRowsAt24) {
    const rtl::TBytes packet = RowsOnlyPacket({7});
    ASSERT_EQ(24u + 1 + 1 + 8, packet.size());
    EXPECT_EQ(PacketMagic, U32At(packet, 0));
    EXPECT_EQ(3u, U16At(packet, 12));
    EXPECT_EQ(1u, U32At(packet, 14));
    EXPECT_EQ(dsfHasRowOffset, U32At(packet, 18));
    EXPECT_EQ(24u, U16At(packet, 22));
    EXPECT_EQ(0x0, packet[24]);   // status
    EXPECT_EQ(0x14, packet[25]);  // columns 2 and 3 null
    EXPECT_EQ(7, packet[26]);

    // A rows-only packet with no rows still says where rows would start.
    const rtl::TBytes empty = RowsOnlyPacket({});
    ASSERT_EQ(24u, empty.size());
    EXPECT_EQ(dsfHasRowOffset, U32At(empty, 18));
    EXPECT_EQ(24u, U16At(empty, 22));
}

TEST(PacketWriter, FlagBytesPerFourColumns) {
    for (std::uint16_t columns : {4, 5, 8, 9}) {
        SCOPED_TRACE(columns);
        auto w = CreateDSWriter();
        std::vector<TDSDataPacketFldDesc> descs(columns, Column("C", MakeFieldType(dsfldINT, 1)));
        EXPECT_OK(w->Init(1, columns, descs.data()));
        PutRowStart(*w);
        for (int j = 0; j < columns; ++j) {
            if (j == columns - 1) PutNull(*w);
            else EXPECT_OK(w->PutField(fldIsValue, 1, "\x05"));
        }
        rtl::TBytes packet;
        EXPECT_OK(w->GetDataPacket(packet));
        const std::size_t flagBytes = (columns + 3) / 4;
        ASSERT_EQ(24u + 1 + flagBytes + (columns - 1), packet.size());
        // The last column's null bit: bit 2 * (j mod 4) of flag byte j div 4.
        const int last = columns - 1;
        EXPECT_EQ(1 << (2 * (last % 4)), packet[25 + last / 4]);
    }
}

TEST(PacketWriter, GrowsAcrossManyRowsWithoutLosingBytes) {
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 2));
    EXPECT_OK(w->AddColumnDesc(Column("ID", Int64Type)));
    EXPECT_OK(w->AddColumnDesc(Column("TEXT", MemoType)));
    const std::string text(1000, 'z');
    const int rows = 3000;  // about 3 MB: several growths, some of them doubling
    for (int i = 0; i < rows; ++i) {
        PutRowStart(*w);
        PutInt64(*w, i);
        EXPECT_OK(w->PutField(fldIsValue, static_cast<std::uint32_t>(text.size()), text.data()));
    }
    std::uint32_t written = 0;
    EXPECT_OK(w->GetSize(written));
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    // Exactly the packet is handed over: the rows end where it ends, and none
    // of the room the block grew by comes with it.
    const std::size_t rowBytes = 1 + 1 + 8 + 4 + text.size();
    ASSERT_EQ(written, packet.size());
    EXPECT_EQ(U16At(packet, 22) + rows * rowBytes, packet.size());
    EXPECT_EQ(packet.size(), packet.capacity());
    TOpenStore s(packet);
    ASSERT_EQ(static_cast<std::uint32_t>(rows), s.Props.iRecords);
    for (int seqNo : {1, rows / 2, rows}) {
        auto rec = s.Record(seqNo);
        std::int64_t id;
        std::memcpy(&id, rec.data(), 8);
        EXPECT_EQ(seqNo - 1, id);
        EXPECT_EQ(text, s.Blob(rec, 2));
    }
}

TEST(PacketWriter, RefusedCalls) {
    {
        auto w = CreateDSWriter();
        EXPECT_EQ(DBERR_DATAPACKETMISMATCH, w->Init_Sequential(4, 1));
        EXPECT_EQ(DBERR_NA, w->Reset());  // no column registered
        EXPECT_EQ(DBERR_NA, w->SetXMLMode(5));
        EXPECT_OK(w->SetXMLMode(0));
        EXPECT_EQ(DBERR_NA, w->EndOfNestedRows());
    }
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 2));
    EXPECT_EQ(DBERR_NA, w->AddColumnDesc(Column("BIG", MakeFieldType(37, 4))));
    EXPECT_EQ(DBERR_NA, w->AddColumnDesc(Column("NESTED", MakeFieldType(dsfldEMBEDDEDTBL, 1, dsPseudoFldType))));
    EXPECT_EQ(DBERR_NULLFIELDNAME, w->AddColumnDesc(Column("", Int32Type)));
    EXPECT_EQ(DBERR_NA, w->AddAttribute(dsAttrField, "WIDTH", Int32Type, 4, "\0\0\0"));  // no column yet
    EXPECT_OK(w->AddColumnDesc(Column("A", Int32Type)));
    EXPECT_EQ(DBERR_NA, w->AddAttribute(dsAttrField, "X", Int32Type, 4, nullptr));         // would close a nested level
    EXPECT_EQ(DBERR_INVALIDPARAM, w->AddAttribute(dsAttrField, "X", Int32Type, 2, "\1"));  // shorter than its type
    EXPECT_OK(w->AddColumnDesc(Column("B", TextType)));
    EXPECT_EQ(DBERR_NA, w->AddColumnDesc(Column("C", Int32Type)));      // all columns described
    EXPECT_EQ(DBERR_INVALIDPARAM, w->PutField(fldIsNull, 0, nullptr));  // a row starts with its status
    PutRowStart(*w);
    EXPECT_OK(w->PutField(fldIsValue, 4, "\1\0\0\0"));
    EXPECT_EQ(DBERR_INVALIDPARAM, w->PutField(fldIsValue, 256, std::string(256, 'a').data()));  // 1-byte prefix
    rtl::TBytes packet;
    EXPECT_EQ(DBERR_NA, w->GetDataPacket(packet));  // the row is unfinished
    EXPECT_OK(w->PutField(fldIsValue, 2, "ab"));
    EXPECT_EQ(DBERR_NA, w->AddAttribute(dsAttrPacket, "LATE", Int32Type, 4, "\0\0\0"));
    EXPECT_OK(w->GetDataPacket(packet));
    EXPECT_EQ(DBERR_NA, w->PutField(fldIsValue, 1, "\0"));  // handed over: Reset first
}

TEST(PacketWriter, ColumnNamesOf31BytesTravelWholeLongerAreCut) {
    const std::string name31(31, 'n');
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 2));
    EXPECT_OK(w->AddColumnDesc(Column(name31.c_str(), Int32Type)));
    TDSDataPacketFldDesc full;  // 32 bytes of name, no terminator
    std::memset(full.szFieldName, 'm', sizeof(full.szFieldName));
    full.iFieldType = Int32Type;
    EXPECT_OK(w->AddColumnDesc(full));
    std::uint32_t count = 0;
    EXPECT_OK(w->GetColumnCount(count));
    ASSERT_EQ(2u, count);
    TDSDataPacketFldDesc descs[2];
    EXPECT_OK(w->GetColumnDescs(descs));
    EXPECT_EQ(std::string(31, 'm'), descs[1].szFieldName);
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    EXPECT_EQ(31, packet[24]);
    TOpenStore s(packet);
    EXPECT_EQ(name31, s.Fields[0].szName);
    EXPECT_EQ(std::string(31, 'm'), s.Fields[1].szName);
}

// --- Reading back ---

TEST(RecordStore, GoldenPacketReadsBack) {
    TOpenStore s(GoldenPacket());
    EXPECT_EQ(3u, s.Props.iFields);
    EXPECT_EQ(2u, s.Props.iRecords);
    EXPECT_EQ(8u + 8 + 4 + 3, s.Props.iRecBufSize);

    struct TExpected {
        const char* Name;
        std::uint32_t Type, SubType;
        std::int32_t Units1;
        std::uint32_t Len, Offset, NullOffset;
    } const expected[] = {
        // clang-format off
        {"ID", fldINT64, 0, 8, 8, 0, 20},
        {"WORD", fldUNICODE, 0, 6, 8, 8, 21},
        {"TEXT", fldBLOB, fldstWIDEMEMO, 10, 4, 16, 22},
    };
    // clang-format on
    for (std::size_t j = 0; j < 3; ++j) {
        SCOPED_TRACE(expected[j].Name);
        const DSFLDDesc& f = s.Fields[j];
        EXPECT_STREQ(expected[j].Name, f.szName);
        EXPECT_EQ(expected[j].Type, f.iFldType);
        EXPECT_EQ(expected[j].SubType, f.iFldSubType);
        EXPECT_EQ(expected[j].Units1, f.iUnits1);
        EXPECT_EQ(expected[j].Len, f.iFldLen);
        EXPECT_EQ(expected[j].Offset, f.iFldOffsInRec);
        EXPECT_EQ(expected[j].NullOffset, f.iNullOffsInRec);
        EXPECT_EQ(j + 1, f.iFieldID);
        EXPECT_EQ(0u, f.iOptParameters);  // WIDTH and a known SUBTYPE are not kept
    }

    auto rec = s.Record(1);
    std::int64_t id;
    std::memcpy(&id, rec.data(), 8);
    EXPECT_EQ(1, id);
    const std::uint8_t word[] = {6, 0, 0x3A, 0x04, 0x30, 0x04, 0x42, 0x04};
    EXPECT_EQ(0, std::memcmp(word, rec.data() + 8, 8));
    EXPECT_EQ((std::vector<std::uint8_t>{0, 0, 0}), std::vector<std::uint8_t>(rec.begin() + 20, rec.end()));
    EXPECT_EQ(std::string("H\0i\0", 4), s.Blob(rec, 3));
    std::uint8_t attribute = 0xFF;
    EXPECT_OK(s.Cursor->GetRecordAttribute(attribute));
    EXPECT_EQ(dsRecUnmodified, attribute);

    // Part of a blob from an offset.
    char part[8] = {};
    std::uint32_t len = sizeof(part);
    EXPECT_OK(s.Cursor->GetBlob(rec.data(), 3, 2, part, len));
    EXPECT_EQ(2u, len);
    EXPECT_EQ('i', part[0]);

    rec = s.Record(2);
    std::memcpy(&id, rec.data(), 8);
    EXPECT_EQ(-2, id);
    std::uint8_t slot[8];
    bool blank = false;
    EXPECT_OK(s.Cursor->GetField(rec.data(), 2, slot, blank));
    EXPECT_TRUE(blank);
    EXPECT_OK(s.Cursor->GetField(rec.data(), 1, slot, blank));
    EXPECT_FALSE(blank);
    EXPECT_EQ(0, std::memcmp(slot, rec.data(), 8));
    EXPECT_EQ(DBERR_OUTOFRANGE, s.Cursor->GetField(rec.data(), 4, slot, blank));
    EXPECT_EQ(std::string("x\0", 2), s.Blob(rec, 3));
    EXPECT_EQ(DBERR_INVALIDPARAM, s.Cursor->GetBlobLen(rec.data(), 1, len));  // not a blob column

    TDSOptParam param;
    EXPECT_OK(s.Base->GetOptParameter(0, "lcid", param));
    EXPECT_EQ("LCID", param.Name);
    EXPECT_EQ(Int32Type, param.Type);
    EXPECT_EQ((rtl::TBytes{0, 0, 0, 0}), param.Value);
    EXPECT_EQ(DBERR_NOSUCHINDEX, s.Base->GetOptParameter(3, "SUBTYPE", param));
    EXPECT_EQ(DBERR_NOSUCHINDEX, s.Base->GetOptParameter(1, "LCID", param));  // a packet parameter, not column 1's
}

TEST(RecordStore, ColumnParametersAreKeptByColumnNumber) {
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 2));
    EXPECT_OK(w->AddColumnDesc(Column("ID", Int32Type)));
    AddText(*w, dsAttrField, "SUBTYPE", "autoinc");
    EXPECT_OK(w->AddColumnDesc(Column("NAME", TextType)));
    AddText(*w, dsAttrField, "ORIGIN", "lx_items.name");
    AddText(*w, dsAttrField, "SUBTYPE", "Curious");
    AddInteger(*w, dsAttrField, "DECIMALS", -3);
    std::uint32_t includedInDelta = Int32Type | dsIncInDelta;
    std::int32_t one = 1;
    EXPECT_OK(w->AddAttribute(dsAttrPacket, "MD_SEMANTICS", includedInDelta, 4, &one));
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));

    TOpenStore s(packet);
    EXPECT_EQ(fldstAUTOINC, s.Fields[0].iFldSubType);
    EXPECT_EQ(fldAttrREADONLY, s.Fields[0].iFldAttr);
    EXPECT_EQ(fldstUNKNOWN, s.Fields[1].iFldSubType);
    EXPECT_EQ(-3, s.Fields[1].iUnits2);
    EXPECT_EQ(2u, s.Fields[1].iOptParameters);
    TDSOptParam param;
    EXPECT_OK(s.Base->GetOptParameter(2, "Origin", param));
    EXPECT_EQ(TextParamType, param.Type);
    const std::string origin = "\x0E\x00lx_items.name\0"s;
    EXPECT_EQ(rtl::TBytes(origin.begin(), origin.end()), param.Value);
    EXPECT_OK(s.Base->GetOptParameter(2, "SUBTYPE", param));
    EXPECT_EQ(DBERR_NOSUCHINDEX, s.Base->GetOptParameter(1, "ORIGIN", param));
    EXPECT_OK(s.Base->GetOptParameter(0, "md_semantics", param));
    EXPECT_EQ(includedInDelta, param.Type);
}

TEST(RecordStore, LogicalTypesAndSlotLengths) {
    struct TCase {
        std::uint32_t Type;
        std::int32_t Width;  // the WIDTH parameter, none when 0
        std::uint32_t Logical, Slot;
    } const cases[] = {
        {MakeFieldType(dsfldINT, 1), 0, fldINT8, 2},
        {MakeFieldType(dsfldINT, 2), 0, fldINT16, 2},
        {Int32Type, 0, fldINT32, 4},
        {MakeFieldType(dsfldUINT, 1), 0, fldUINT8, 2},
        {MakeFieldType(dsfldUINT, 4), 0, fldUINT32, 4},
        {MakeFieldType(dsfldUINT, 8), 0, fldUINT64, 8},
        {MakeFieldType(dsfldBOOL, 1), 0, fldBOOL8, 2},
        {MakeFieldType(dsfldBOOL, 2), 0, fldBOOL, 2},
        {MakeFieldType(dsfldBOOL, 4), 0, fldBOOL32, 4},
        {MakeFieldType(dsfldFLOATIEEE, 8), 0, fldFLOAT, 8},
        {MakeFieldType(dsfldFLOATIEEE, 10), 0, fldFLOATIEEE, 10},
        {MakeFieldType(dsfldFLOATIEEE, 4), 0, fldSINGLE, 4},
        {MakeFieldType(dsfldSINGLE, 4), 0, fldSINGLE, 4},
        {MakeFieldType(dsfldDATE, 4), 0, fldDATE, 4},
        {MakeFieldType(dsfldTIME, 4), 0, fldTIME, 4},
        {MakeFieldType(dsfldTIMESTAMP, 8), 0, fldTIMESTAMP, 8},
        {MakeFieldType(dsfldDATETIME, 16), 0, fldDATETIME, 16},
        {MakeFieldType(dsfldDATETIMEOFFSET, 20), 0, fldDATETIMEOFFSET, 20},
        {MakeFieldType(dsfldBCD, 18), 32, fldBCD, 18},
        {MakeFieldType(dsfldFMTBCD, 5), 5, fldFMTBCD, 5},
        // clang-format off
        {TextType, 10, fldZSTRING, 11},
        {TextType, 0, fldZSTRING, 2},
        // clang-format on
        {MakeFieldType(dsfldUNICODE, 2, dsVaryingFldType), 600, fldUNICODE, 602},
        {WideType, 0, fldUNICODE, 3},
        {MakeFieldType(dsfldBYTES, 1, dsVaryingFldType), 5, fldVARBYTES, 7},
        {MakeFieldType(dsfldBYTES, 16), 0, fldBYTES, 16},
        {MemoType, 0, fldBLOB, 4},
        {MakeFieldType(16, 4, dsVaryingFldType), 0, fldBLOB, 4},
    };
    const std::uint16_t n = std::size(cases);
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, n));
    for (const TCase& c : cases) {
        EXPECT_OK(w->AddColumnDesc(Column("C", c.Type)));
        if (c.Width) AddInteger(*w, dsAttrField, "WIDTH", c.Width);
    }
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    EXPECT_EQ(2u, U16At(packet, 4));  // classes above 11 need format version 2

    TOpenStore s(packet);
    std::uint32_t offset = 0;
    for (std::uint16_t j = 0; j < n; ++j) {
        SCOPED_TRACE(::testing::Message() << "type 0x" << std::hex << cases[j].Type);
        EXPECT_EQ(cases[j].Logical, s.Fields[j].iFldType);
        EXPECT_EQ(cases[j].Slot, s.Fields[j].iFldLen);
        EXPECT_EQ(offset, s.Fields[j].iFldOffsInRec);
        offset += cases[j].Slot;
    }
    for (std::uint16_t j = 0; j < n; ++j) EXPECT_EQ(offset + j, s.Fields[j].iNullOffsInRec);
    EXPECT_EQ(offset + n, s.Props.iRecBufSize);
}

// A slot may take 65531 bytes and no more: a wide string or varying bytes
// column (width + 2) of width 65529 opens and of 65530 does not; an 8-bit
// string (width + 1) of 65530 opens and of 65531 does not.
TEST(RecordStore, SlotsOfUpTo65531Bytes) {
    const struct {
        std::uint32_t Type;
        std::int32_t Width;
        DBResult Expected;
    } cases[] = {
        {MakeFieldType(dsfldUNICODE, 2, dsVaryingFldType), 65529, DBERR_NONE},
        {MakeFieldType(dsfldUNICODE, 2, dsVaryingFldType), 65530, DBERR_INVALIDFLDTYPE},
        {MakeFieldType(dsfldBYTES, 2, dsVaryingFldType), 65529, DBERR_NONE},
        {MakeFieldType(dsfldBYTES, 2, dsVaryingFldType), 65530, DBERR_INVALIDFLDTYPE},
        // clang-format off
        {TextParamType, 65530, DBERR_NONE}, {TextParamType, 65531, DBERR_INVALIDFLDTYPE},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type 0x" << std::hex << c.Type << std::dec << ", width " << c.Width);
        auto w = CreateDSWriter();
        EXPECT_OK(w->Init_Sequential(1, 1));
        EXPECT_OK(w->AddColumnDesc(Column("C", c.Type)));
        AddInteger(*w, dsAttrField, "WIDTH", c.Width);
        rtl::TBytes packet;
        EXPECT_OK(w->GetDataPacket(packet));
        auto base = CreateDSBase();
        EXPECT_EQ(c.Expected, base->AppendData(&packet, true));
        DSProps props;
        if (c.Expected == DBERR_NONE && base->GetProps(props) == DBERR_NONE) {
            DSFLDDesc field;
            EXPECT_OK(base->GetFieldDescs(&field));
            EXPECT_EQ(65531u, field.iFldLen);
        }
    }
}

TEST(RecordStore, TextValuesInTheirSlots) {
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 3));
    EXPECT_OK(w->AddColumnDesc(Column("Z", TextType)));
    AddInteger(*w, dsAttrField, "WIDTH", 3);
    EXPECT_OK(w->AddColumnDesc(Column("V", MakeFieldType(dsfldBYTES, 1, dsVaryingFldType))));
    AddInteger(*w, dsAttrField, "WIDTH", 4);
    EXPECT_OK(w->AddColumnDesc(Column("B", MemoType)));
    PutRowStart(*w);
    EXPECT_OK(w->PutField(fldIsValue, 6, "abcdef"));
    EXPECT_OK(w->PutField(fldIsValue, 2, "\x01\x02"));
    EXPECT_OK(w->PutField(fldIsValue, 0, ""));  // an empty blob is kept as null
    PutRowStart(*w);
    EXPECT_OK(w->PutField(fldIsValue, 0, ""));
    EXPECT_OK(w->PutField(fldIsNotChanged, 0, nullptr));
    EXPECT_OK(w->PutField(fldIsValue, dsDELAYEDBIT, nullptr));  // left for fetching on demand
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));

    TOpenStore s(packet);
    auto rec = s.Record(1);
    // "abc" cut at the width and terminated; 2 bytes after a 16-bit count.
    EXPECT_EQ(0, std::memcmp("abc\0\x02\0\x01\x02\0\0", rec.data(), 10));
    std::uint32_t len = 99;
    EXPECT_OK(s.Cursor->GetBlobLen(rec.data(), 3, len));
    EXPECT_EQ(0u, len);
    bool blank = false;
    EXPECT_OK(s.Cursor->GetField(rec.data(), 3, nullptr, blank));
    EXPECT_TRUE(blank);

    rec = s.Record(2);
    EXPECT_OK(s.Cursor->GetField(rec.data(), 1, nullptr, blank));
    EXPECT_FALSE(blank);  // an empty text is a value
    EXPECT_EQ(recNotChanged, rec[s.Fields[1].iNullOffsInRec]);
    EXPECT_EQ(DBERR_BLOBNOTFETCHED, s.Cursor->GetBlobLen(rec.data(), 3, len));
}

// --- Decimal and extended values ---

// A negative decimal of Precision digits (1, 2, ..., 9, 1, 2, ...), the last
// of them after the point.
data::TBcd Decimal(std::uint32_t Precision) {
    data::TBcd v;
    v.Precision = static_cast<std::uint8_t>(Precision);
    v.SignSpecialPlaces = 0x80 | 1;
    for (std::uint32_t d = 0; d < Precision; ++d) {
        const auto digit = static_cast<std::uint8_t>(d % 9 + 1);
        v.Fraction[d / 2] |= d % 2 ? digit : static_cast<std::uint8_t>(digit << 4);
    }
    return v;
}

TEST(PacketValues, DecimalsOfEveryPrecisionRoundTrip) {
    constexpr std::uint16_t maxPrecision = 32;
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, maxPrecision));
    for (std::uint32_t p = 1; p <= maxPrecision; ++p) {
        const auto size = static_cast<std::uint32_t>(BcdValueSize(p));
        EXPECT_OK(w->AddColumnDesc(Column("D", MakeFieldType(p % 2 ? dsfldBCD : dsfldFMTBCD, size))));
        AddInteger(*w, dsAttrField, "WIDTH", static_cast<std::int32_t>(p));
    }
    PutRowStart(*w);
    for (std::uint32_t p = 1; p <= maxPrecision; ++p) {
        const data::TBcd v = Decimal(p);
        EXPECT_OK(w->PutField(fldIsValue, static_cast<std::uint32_t>(BcdValueSize(p)), &v));
    }
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));

    TOpenStore s(packet);
    ASSERT_EQ(maxPrecision, s.Fields.size());
    const auto rec = s.Record(1);
    for (std::uint32_t p = 1; p <= maxPrecision; ++p) {
        SCOPED_TRACE(p);
        const DSFLDDesc& f = s.Fields[p - 1];
        EXPECT_EQ(static_cast<std::int32_t>(p), f.iUnits1);
        data::TBcd back;
        ASSERT_LE(f.iFldLen, sizeof back);
        bool blank = true;
        EXPECT_OK(s.Cursor->GetField(rec.data(), p, &back, blank));
        EXPECT_FALSE(blank);
        EXPECT_EQ(data::BcdToStr(Decimal(p)), data::BcdToStr(back));
        EXPECT_TRUE(Decimal(p) == back);
    }
}

// A decimal column's size is that of its precision's values, or, without a
// precision (WIDTH 0), any part of the decimal record. The writer refuses any
// other size when the metadata ends (the first row, or a packet without rows),
// so that it never makes a packet the store would refuse.
TEST(PacketValues, WriterTakesOnlyDecimalSizesTheStoreOpens) {
    struct TCase {
        const char* What;
        std::uint32_t Size;
        std::int32_t Width;  // -1: no WIDTH, the precision is then the size
        DBResult Column, Packet;
        std::uint32_t Slot;
    } const cases[] = {
        // clang-format off
        {"precision 6 in 5 bytes", 5, 6, DBERR_NONE, DBERR_NONE, 5},
        {"precision 6 in 6 bytes", 6, 6, DBERR_NONE, DBERR_INVALIDFLDTYPE, 0},
        {"precision 5 in 4 bytes: a digit short", 4, 5, DBERR_NONE, DBERR_INVALIDFLDTYPE, 0},
        {"no precision: the record", 18, 0, DBERR_NONE, DBERR_NONE, 34},
        {"no WIDTH: precision 4 in 4 bytes", 4, -1, DBERR_NONE, DBERR_NONE, 4},
        {"no WIDTH: precision 18 in 18 bytes", 18, -1, DBERR_NONE, DBERR_INVALIDFLDTYPE, 0},
        {"longer than the record", 35, 0, DBERR_INVALIDFLDTYPE, DBERR_NONE, 0},
        {"no room for the sign", 1, 0, DBERR_INVALIDFLDTYPE, DBERR_NONE, 0},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        for (bool withRow : {false, true}) {
            auto w = CreateDSWriter();
            EXPECT_OK(w->Init_Sequential(1, 1));
            EXPECT_EQ(c.Column, w->AddColumnDesc(Column("D", MakeFieldType(dsfldBCD, c.Size))));
            if (c.Column) break;
            if (c.Width >= 0) AddInteger(*w, dsAttrField, "width", c.Width);
            if (withRow) {
                const std::uint8_t status = dsRecUnmodified;
                if (c.Packet) {
                    EXPECT_EQ(c.Packet, w->PutField(fldIsValue, 1, &status));
                    continue;
                }
                EXPECT_OK(w->PutField(fldIsValue, 1, &status));
                const data::TBcd v = Decimal(4);
                EXPECT_OK(w->PutField(fldIsValue, c.Size, &v));
            }
            rtl::TBytes packet;
            EXPECT_EQ(c.Packet, w->GetDataPacket(packet));
            if (c.Packet) continue;
            TOpenStore s(packet);
            ASSERT_EQ(1u, s.Fields.size());
            EXPECT_EQ(c.Slot, s.Fields[0].iFldLen);
        }
    }
}

// A packet whose decimal column follows the other size rule (W div 2 +
// (W div 2) mod 2 + 2 bytes for W digits) is refused with "Invalid field
// type.": for some precisions that size cuts the last digit, for others it
// leaves a byte over that the slot has no room for; the store keeps no
// metadata from it.
TEST(PacketValues, StoreRefusesDecimalsOfTheOtherSize) {
    for (std::uint32_t p : {1u, 2u, 5u, 6u, 29u, 30u}) {
        SCOPED_TRACE(p);
        const std::uint32_t other = p / 2 + (p / 2) % 2 + 2;
        ASSERT_NE(BcdValueSize(p), other);
        // The metadata of a fitting column, its size then patched, and one
        // row whose value has the patched size.
        auto w = CreateDSWriter();
        EXPECT_OK(w->Init_Sequential(1, 1));
        EXPECT_OK(w->AddColumnDesc(Column("D", MakeFieldType(dsfldBCD, static_cast<std::uint32_t>(BcdValueSize(p))))));
        AddInteger(*w, dsAttrField, "WIDTH", static_cast<std::int32_t>(p));
        rtl::TBytes packet;
        EXPECT_OK(w->GetDataPacket(packet));
        ASSERT_EQ(MakeFieldType(dsfldBCD, static_cast<std::uint32_t>(BcdValueSize(p))), U32At(packet, 26));
        packet[26] = static_cast<std::uint8_t>(other);
        packet[14] = 1;  // one row
        const data::TBcd v = Decimal(p);
        packet.insert(packet.end(), {dsRecUnmodified, 0});
        packet.insert(packet.end(), reinterpret_cast<const std::uint8_t*>(&v),
                      reinterpret_cast<const std::uint8_t*>(&v) + other);
        ExpectFirstPacket(packet, DBERR_INVALIDFLDTYPE);
    }
}

TEST(PacketValues, ExtendedValuesRoundTrip) {
    const long double values[] = {1.1L, -2.5e-4000L, std::numeric_limits<long double>::max(),
                                  std::numeric_limits<long double>::denorm_min()};
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 1));
    EXPECT_OK(w->AddColumnDesc(Column("E", MakeFieldType(dsfldFLOATIEEE, 10))));
    for (long double v : values) {
        const data::TExtendedBytes bytes = data::ExtendedToBytes(v);
        PutRowStart(*w);
        EXPECT_OK(w->PutField(fldIsValue, 10, bytes.data()));
    }
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));

    TOpenStore s(packet);
    ASSERT_EQ(std::size(values), s.Props.iRecords);
    EXPECT_EQ(fldFLOATIEEE, s.Fields[0].iFldType);
    EXPECT_EQ(10u, s.Fields[0].iFldLen);
    EXPECT_EQ(data::ftExtended, DataTypeMap(s.Fields[0].iFldType, s.Fields[0].iFldSubType));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(i);
        const auto rec = s.Record(static_cast<std::int32_t>(i + 1));
        data::TExtendedBytes back{};
        bool blank = true;
        EXPECT_OK(s.Cursor->GetField(rec.data(), 1, back.data(), blank));
        EXPECT_FALSE(blank);
        EXPECT_EQ(values[i], data::BytesToExtended(back));
    }
}

// Only a blob may be left for fetching on demand: the store refuses a text
// value marked so, and the writer does not write one.
TEST(RecordStore, OnlyBlobsAreLeftUnfetched) {
    const std::uint32_t wideText4 = MakeFieldType(dsfldUNICODE, 4, dsVaryingFldType);
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 2));
    EXPECT_OK(w->AddColumnDesc(Column("W", wideText4)));
    AddInteger(*w, dsAttrField, "WIDTH", 4);
    EXPECT_OK(w->AddColumnDesc(Column("B", MemoType)));
    PutRowStart(*w);
    EXPECT_EQ(DBERR_INVALIDPARAM, w->PutField(fldIsValue, dsDELAYEDBIT, nullptr));

    w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 2));
    EXPECT_OK(w->AddColumnDesc(Column("W", wideText4)));
    AddInteger(*w, dsAttrField, "WIDTH", 4);
    EXPECT_OK(w->AddColumnDesc(Column("B", MemoType)));
    PutRowStart(*w);
    PutWide(*w, u"ab");
    EXPECT_OK(w->PutField(fldIsValue, dsDELAYEDBIT, nullptr));
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    ExpectFirstPacket(packet, DBERR_NONE);
    // The text's prefix marked as not fetched, its bytes gone.
    const std::size_t prefix = packet.size() - 4 - 4 - 4;
    ASSERT_EQ(4u, U32At(packet, prefix));
    packet.erase(packet.begin() + static_cast<std::ptrdiff_t>(prefix + 4), packet.end() - 4);
    packet[prefix + 3] = 0x80;
    ExpectFirstPacket(packet, DBERR_INVALIDPARAM);
}

// --- The type mappings ---

TEST(TypeMaps, PacketClassOfEveryFieldType) {
    using namespace data;
    const std::pair<TFieldType, std::uint32_t> cases[] = {
        // clang-format off
        {ftSmallint, dsfldINT},       {ftInteger, dsfldINT},         {ftAutoInc, dsfldINT},
        {ftLargeint, dsfldINT},       {ftShortint, dsfldINT},        {ftWord, dsfldUINT},
        {ftLongWord, dsfldUINT},      {ftByte, dsfldUINT},           {ftBoolean, dsfldBOOL},
        {ftFloat, dsfldFLOATIEEE},    {ftCurrency, dsfldFLOATIEEE},  {ftExtended, dsfldFLOATIEEE},
        {ftBCD, dsfldBCD},            {ftFMTBcd, dsfldFMTBCD},       {ftDate, dsfldDATE},
        {ftTime, dsfldTIME},          {ftDateTime, dsfldTIMESTAMP},  {ftString, dsfldZSTRING},
        {ftFixedChar, dsfldZSTRING},  {ftGuid, dsfldZSTRING},        {ftOraInterval, dsfldZSTRING},
        {ftWideString, dsfldUNICODE}, {ftFixedWideChar, dsfldUNICODE}, {ftBytes, dsfldBYTES},
        {ftVarBytes, dsfldBYTES},     {ftBlob, dsfldBYTES},          {ftMemo, dsfldBYTES},
        {ftGraphic, dsfldBYTES},      {ftFmtMemo, dsfldBYTES},       {ftParadoxOle, dsfldBYTES},
        {ftDBaseOle, dsfldBYTES},     {ftTypedBinary, dsfldBYTES},   {ftOraBlob, dsfldBYTES},
        {ftOraClob, dsfldBYTES},      {ftWideMemo, dsfldBYTES},      {ftADT, dsfldADT},
        {ftArray, dsfldARRAY},        {ftReference, dsfldEMBEDDEDTBL}, {ftDataSet, dsfldEMBEDDEDTBL},
        {ftTimeStamp, dsfldDATETIME}, {ftOraTimeStamp, dsfldDATETIME}, {ftSingle, dsfldSINGLE},
        {ftTimeStampOffset, dsfldDATETIMEOFFSET},
        {ftUnknown, dsfldUNKNOWN},    {ftCursor, dsfldUNKNOWN},      {ftVariant, dsfldUNKNOWN},
        {ftInterface, dsfldUNKNOWN},  {ftObject, dsfldUNKNOWN},      {ftStream, dsfldUNKNOWN},
    };
    // clang-format on
    for (const auto& [type, packetClass] : cases) {
        SCOPED_TRACE(static_cast<int>(type));
        EXPECT_EQ(packetClass, PacketTypeMap(type));
        EXPECT_EQ(packetClass == dsfldBYTES && type != ftBytes && type != ftVarBytes, data::IsBlobType(type));
    }
}

TEST(TypeMaps, SubtypeNames) {
    using namespace data;
    struct TCase {
        TFieldType Type;
        bool Fixed, NestedADT;
        const char* Name;  // null: no "SUBTYPE"
    } const cases[] = {
        // clang-format off
        {ftString, false, false, nullptr},  {ftString, true, false, "FixedChar"},
        {ftWideString, false, false, nullptr}, {ftWideString, true, false, "FixedChar"},
        {ftCurrency, false, false, "Money"}, {ftVarBytes, false, false, "Binary"},
        {ftBlob, false, false, "Binary"},   {ftAutoInc, false, false, "Autoinc"},
        {ftMemo, false, false, "Text"},     {ftGraphic, false, false, "Graphics"},
        {ftFmtMemo, false, false, "Formatted"}, {ftParadoxOle, false, false, "Ole"},
        {ftDBaseOle, false, false, "dBASEOle"}, {ftTypedBinary, false, false, "TypedBinary"},
        {ftADT, false, false, nullptr},     {ftADT, false, true, "ADTNestedTable"},
        {ftReference, false, false, "Reference"}, {ftOraBlob, false, false, "HBinary"},
        {ftOraClob, false, false, "HMemo"}, {ftGuid, false, false, "Guid"},
        {ftWideMemo, false, false, "WideText"}, {ftInteger, true, true, nullptr},
        {ftLargeint, false, false, nullptr},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Type));
        const char* name = SubtypeName(c.Type, c.Fixed, c.NestedADT);
        EXPECT_STREQ(c.Name, name);
    }
}

// Each "SUBTYPE" name the store knows, written in lower case, gives its code.
TEST(TypeMaps, SubtypeCodesReadFromPackets) {
    const std::pair<const char*, std::uint32_t> names[] = {
        // clang-format off
        {"money", 21},     {"text", 22},      {"binary", 23},    {"formatted", 24},   {"ole", 25},
        {"graphics", 26},  {"dbaseole", 27},  {"typedbinary", 28}, {"autoinc", 29},   {"accessole", 30},
        {"fixedchar", 31}, {"widetext", 32},  {"hmemo", 33},     {"hbinary", 34},     {"adtnestedtable", 35},
        {"bfile", 36},     {"adtdate", 37},   {"guid", 38},      {"reference", 70},   {"oratimestamp", 255},
    };
    // clang-format on
    const auto n = static_cast<std::uint16_t>(std::size(names));
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, n));
    for (const auto& [name, code] : names) {
        EXPECT_OK(w->AddColumnDesc(Column("C", MemoType)));
        AddText(*w, dsAttrField, "SUBTYPE", name);
    }
    rtl::TBytes packet;
    EXPECT_OK(w->GetDataPacket(packet));
    TOpenStore s(packet);
    ASSERT_EQ(n, s.Fields.size());
    for (std::uint16_t j = 0; j < n; ++j) {
        SCOPED_TRACE(names[j].first);
        EXPECT_EQ(names[j].second, s.Fields[j].iFldSubType);
    }
}

TEST(TypeMaps, FieldTypeOfEveryLogicalType) {
    using namespace data;
    struct TCase {
        std::uint32_t Logical, SubType;
        TFieldType Type;
    } const cases[] = {
        // clang-format off
        {fldUNKNOWN, 0, ftUnknown},         {fldZSTRING, 0, ftString},        {fldZSTRING, fldstGUID, ftGuid},
        {fldDATE, 0, ftDate},               {fldBLOB, 0, ftBlob},             {fldBLOB, fldstMEMO, ftMemo},
        {fldBLOB, fldstBINARY, ftBlob},     {fldBLOB, fldstFMTMEMO, ftFmtMemo}, {fldBLOB, fldstOLEOBJ, ftParadoxOle},
        {fldBLOB, fldstGRAPHIC, ftGraphic}, {fldBLOB, fldstDBSOLEOBJ, ftDBaseOle},
        {fldBLOB, fldstTYPEDBINARY, ftTypedBinary}, {fldBLOB, fldstWIDEMEMO, ftWideMemo},
        {fldBLOB, fldstHMEMO, ftOraClob},   {fldBLOB, fldstHBINARY, ftOraBlob}, {fldBLOB, fldstAUTOINC, ftBlob},
        {fldBOOL, 0, ftBoolean},            {fldINT16, 0, ftSmallint},        {fldINT32, 0, ftInteger},
        {fldINT32, fldstAUTOINC, ftAutoInc}, {fldFLOAT, 0, ftFloat},          {fldFLOAT, fldstMONEY, ftCurrency},
        {fldBCD, 0, ftBCD},                 {fldBYTES, 0, ftBytes},           {fldBYTES, fldstGUID, ftGuid},
        {fldTIME, 0, ftTime},               {fldTIMESTAMP, 0, ftDateTime},    {fldUINT16, 0, ftWord},
        {fldUINT32, 0, ftLongWord},         {fldFLOATIEEE, 0, ftExtended},    {fldVARBYTES, 0, ftVarBytes},
        {fldVARBYTES, fldstGUID, ftGuid},   {16, 0, ftUnknown},               {17, 0, ftUnknown},
        {fldINT64, 0, ftLargeint},          {fldUINT64, 0, ftLargeint},       {fldADT, 0, ftADT},
        {fldADT, fldstGUID, ftGuid},        {fldARRAY, 0, ftArray},           {fldARRAY, fldstGUID, ftGuid},
        {fldREF, 0, ftReference},           {fldTABLE, 0, ftDataSet},         {fldTABLE, fldstREFERENCE, ftReference},
        {fldDATETIME, 0, ftTimeStamp},      {fldDATETIME, fldstORATIMESTAMP, ftOraTimeStamp},
        {fldFMTBCD, 0, ftFMTBcd},           {fldWIDESTRING, 0, ftWideString}, {fldSINGLE, 0, ftSingle},
        {fldINT8, 0, ftShortint},           {fldUINT8, 0, ftByte},            {fldDATETIMEOFFSET, 0, ftTimeStampOffset},
        {fldUNICODE, 0, ftWideString},      {fldBOOL8, 0, ftUnknown},         {fldBOOL32, 0, ftUnknown},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "logical type " << c.Logical << ", subtype " << c.SubType);
        EXPECT_EQ(c.Type, DataTypeMap(c.Logical, c.SubType));
    }
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
    } const cases[] = {
        // clang-format off
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
    // clang-format on
    TOpenStore s(GoldenPacket());
    rtl::TBytes more = RowsOnlyPacket({3});
    EXPECT_OK(s.Base->AppendData(&more, true));
    std::int32_t count = 0;
    EXPECT_OK(s.Cursor->GetRecordCount(count));
    ASSERT_EQ(3, count);
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "from " << c.From << (c.Op == Relative ? " relative " : " seqno ") << c.Arg);
        const DBResult start = c.From == 0    ? s.Cursor->MoveToBOF()
                               : c.From == -1 ? s.Cursor->MoveToEOF()
                                              : s.Cursor->MoveToSeqNo(c.From);
        EXPECT_OK(start);
        EXPECT_EQ(c.Result, c.Op == Relative ? s.Cursor->MoveRelative(c.Arg) : s.Cursor->MoveToSeqNo(c.Arg));
        std::uint32_t seq = 0;
        const DBResult r = s.Cursor->GetSequenceNumber(seq);
        EXPECT_EQ(c.Result, r);  // on a crack: the crack's code
        if (r == DBERR_NONE) {
            EXPECT_EQ(c.Lands, seq);
        }
        std::vector<std::uint8_t> buf(s.Props.iRecBufSize);
        EXPECT_EQ(c.Result, s.Cursor->GetCurrentRecord(buf.data()));
    }
}

TEST(Cursor, EmptyStoreHasOnlyCracks) {
    TOpenStore s(GoldenPacket());
    EXPECT_OK(s.Base->Reset());
    std::int32_t count = -1;
    EXPECT_OK(s.Cursor->GetRecordCount(count));
    EXPECT_EQ(0, count);
    EXPECT_OK(s.Cursor->MoveToBOF());
    EXPECT_EQ(DBERR_EOF, s.Cursor->MoveRelative(1));
    EXPECT_EQ(DBERR_BOF, s.Cursor->MoveRelative(-1));
}

// A cursor left on a record when the store is emptied stands past the end,
// and moves from there: back onto the last of the new records, or onto the
// beginning when there are none.
TEST(Cursor, MovesFromPastTheEndAfterItsRecordIsGone) {
    TOpenStore s(GoldenPacket());
    rtl::TBytes more = RowsOnlyPacket({3, 4, 5, 6, 7});
    EXPECT_OK(s.Base->AppendData(&more, true));
    EXPECT_OK(s.Cursor->MoveToSeqNo(6));
    EXPECT_OK(s.Base->Reset());
    EXPECT_EQ(DBERR_EOF, s.Cursor->MoveRelative(0));
    EXPECT_EQ(DBERR_BOF, s.Cursor->MoveRelative(-1));

    rtl::TBytes two = RowsOnlyPacket({8, 9});
    EXPECT_OK(s.Base->AppendData(&two, true));
    EXPECT_OK(s.Cursor->MoveToSeqNo(2));
    EXPECT_OK(s.Base->Reset());
    rtl::TBytes rows = RowsOnlyPacket({10});
    EXPECT_OK(s.Base->AppendData(&rows, true));
    EXPECT_EQ(DBERR_EOF, s.Cursor->MoveRelative(0));
    EXPECT_OK(s.Cursor->MoveRelative(-1));
    std::uint32_t seq = 0;
    EXPECT_OK(s.Cursor->GetSequenceNumber(seq));
    EXPECT_EQ(1u, seq);
}

TEST(Cursor, BookmarksKeepPositionsAndFindRecordsAfterReset) {
    TOpenStore s(GoldenPacket());
    CURProps props;
    EXPECT_OK(s.Cursor->GetCursorProps(props));
    ASSERT_EQ(s.Props.iBookmarkSize, props.iBookMarkSize);
    EXPECT_EQ(s.Props.iRecBufSize, props.iRecBufSize);
    std::vector<std::uint8_t> first(props.iBookMarkSize), second(props.iBookMarkSize), eof(props.iBookMarkSize);
    EXPECT_OK(s.Cursor->MoveToSeqNo(1));
    EXPECT_OK(s.Cursor->GetCurrentBookMark(first.data()));
    EXPECT_OK(s.Cursor->MoveToSeqNo(2));
    EXPECT_OK(s.Cursor->GetCurrentBookMark(second.data()));
    EXPECT_OK(s.Cursor->MoveToEOF());
    EXPECT_OK(s.Cursor->GetCurrentBookMark(eof.data()));

    int order = 0;
    EXPECT_OK(s.Cursor->CompareBookMarks(first.data(), second.data(), order));
    EXPECT_EQ(-1, order);
    EXPECT_OK(s.Cursor->CompareBookMarks(eof.data(), second.data(), order));
    EXPECT_EQ(1, order);
    EXPECT_OK(s.Cursor->CompareBookMarks(second.data(), second.data(), order));
    EXPECT_EQ(0, order);

    std::uint32_t seq = 0;
    EXPECT_OK(s.Cursor->MoveToBookMark(first.data()));
    EXPECT_OK(s.Cursor->GetSequenceNumber(seq));
    EXPECT_EQ(1u, seq);
    EXPECT_OK(s.Cursor->MoveToBookMark(eof.data()));
    EXPECT_EQ(DBERR_EOF, s.Cursor->GetSequenceNumber(seq));

    // After a Reset the old records are gone: a bookmark finds the record of
    // its number among the new ones, or none.
    EXPECT_OK(s.Base->Reset());
    EXPECT_EQ(DBERR_OUTOFRANGE, s.Cursor->MoveToBookMark(second.data()));
    EXPECT_EQ(DBERR_EOF, s.Cursor->GetSequenceNumber(seq));  // a position the empty store no longer holds
    rtl::TBytes rows = RowsOnlyPacket({10, 20, 30});
    EXPECT_OK(s.Base->AppendData(&rows, true));
    EXPECT_OK(s.Cursor->MoveToBookMark(second.data()));
    EXPECT_OK(s.Cursor->GetSequenceNumber(seq));
    EXPECT_EQ(2u, seq);
    auto rec = s.Record(2);
    EXPECT_EQ(20, rec[0]);
}

TEST(Cursor, NeedsAStoreWithMetaData) {
    auto cursor = CreateDSCursor();
    CURProps props;
    EXPECT_EQ(DBERR_NA, cursor->GetCursorProps(props));
    EXPECT_EQ(DBERR_NA, cursor->MoveRelative(1));
    EXPECT_EQ(DBERR_NOMETADATA, cursor->InitCursor(CreateDSBase()));
    EXPECT_EQ(DBERR_INVALIDPARAM, cursor->InitCursor(nullptr));
}

// --- The store's life cycle ---

TEST(RecordStore, PartialAndCompleteLifeCycle) {
    auto base = CreateDSBase();
    std::uint32_t partial = 9;
    EXPECT_OK(base->GetProp(dspropDSISPARTIAL, partial));
    EXPECT_EQ(0u, partial);
    EXPECT_EQ(DBERR_NA, base->SetProp(dspropDSISPARTIAL, 0));  // nothing to reopen yet

    // The first packet of a fresh store is read, metadata and rows.
    const rtl::TBytes golden = GoldenPacket();
    EXPECT_OK(base->AppendData(&golden, false));
    EXPECT_OK(base->GetProp(dspropDSISPARTIAL, partial));
    EXPECT_EQ(1u, partial);
    const rtl::TBytes more = RowsOnlyPacket({3, 4});
    EXPECT_OK(base->AppendData(&more, true));
    std::uint32_t records = 0;
    EXPECT_OK(base->GetProp(dspropRECORDSINDS, records));
    EXPECT_EQ(4u, records);
    EXPECT_OK(base->GetProp(dspropDSISPARTIAL, partial));
    EXPECT_EQ(0u, partial);

    // A complete store filled from packets takes the next one all the same.
    EXPECT_OK(base->AppendData(&more, true));
    EXPECT_OK(base->GetProp(dspropRECORDSINDS, records));
    EXPECT_EQ(6u, records);

    // The refresh sequence: reset, reopen, append, move back.
    auto cursor = CreateDSCursor();
    EXPECT_OK(cursor->InitCursor(base));
    EXPECT_OK(cursor->MoveToSeqNo(5));
    std::uint32_t seqNo = 0;
    EXPECT_OK(cursor->GetSequenceNumber(seqNo));
    EXPECT_OK(base->Reset());
    EXPECT_OK(base->GetProp(dspropRECORDSINDS, records));
    EXPECT_EQ(0u, records);
    EXPECT_OK(base->SetProp(dspropDSISPARTIAL, 0));
    EXPECT_EQ(DBERR_NA, base->SetProp(dspropDSISPARTIAL, 0));  // already open: fails quietly
    const rtl::TBytes fresh = RowsOnlyPacket({50, 60, 70});
    EXPECT_OK(base->AppendData(&fresh, true));
    EXPECT_EQ(DBERR_EOF, cursor->MoveToSeqNo(static_cast<std::int32_t>(seqNo)));
    EXPECT_OK(cursor->MoveToSeqNo(1));
    std::vector<std::uint8_t> rec(23);
    EXPECT_OK(cursor->GetCurrentRecord(rec.data()));
    EXPECT_EQ(50, rec[0]);  // the new rows are numbered from 1

    // No packet only marks the store complete.
    EXPECT_OK(base->SetProp(dspropDSISPARTIAL, 1));
    EXPECT_OK(base->AppendData(nullptr, false));
    EXPECT_OK(base->GetProp(dspropDSISPARTIAL, partial));
    EXPECT_EQ(0u, partial);
}

TEST(RecordStore, FirstPacketMustCarryMetaData) {
    auto base = CreateDSBase();
    const rtl::TBytes rowsOnly = RowsOnlyPacket({1});
    EXPECT_EQ(DBERR_NOMETADATA, base->AppendData(&rowsOnly, true));
    DSProps props;
    EXPECT_EQ(DBERR_NOMETADATA, base->GetProps(props));
    const rtl::TBytes golden = GoldenPacket();
    EXPECT_OK(base->AppendData(&golden, true));
    EXPECT_OK(base->GetProps(props));
    EXPECT_EQ(2u, props.iRecords);
}

TEST(RecordStore, FailedFirstPacketLeavesNoMetaData) {
    auto base = CreateDSBase();
    rtl::TBytes broken = GoldenPacket();
    broken.resize(broken.size() - 1);  // the last row is cut short
    EXPECT_EQ(DBERR_DATAPACKETMISMATCH, base->AppendData(&broken, true));
    DSProps props;
    EXPECT_EQ(DBERR_NOMETADATA, base->GetProps(props));
    // The next packet starts again from the beginning, with other columns.
    auto w = CreateDSWriter();
    EXPECT_OK(w->Init_Sequential(1, 1));
    EXPECT_OK(w->AddColumnDesc(Column("ONLY", Int32Type)));
    rtl::TBytes other;
    EXPECT_OK(w->GetDataPacket(other));
    EXPECT_OK(base->AppendData(&other, true));
    EXPECT_OK(base->GetProps(props));
    EXPECT_EQ(1u, props.iFields);
    EXPECT_EQ(0u, props.iRecords);
}

TEST(RecordStore, FailedLaterPacketAddsNothing) {
    TOpenStore s(GoldenPacket(), false);
    rtl::TBytes broken = RowsOnlyPacket({1, 2, 3});
    broken.resize(broken.size() - 3);  // the third row is cut short
    EXPECT_EQ(DBERR_DATAPACKETMISMATCH, s.Base->AppendData(&broken, true));
    std::uint32_t records = 0, partial = 0;
    EXPECT_OK(s.Base->GetProp(dspropRECORDSINDS, records));
    EXPECT_EQ(2u, records);
    EXPECT_OK(s.Base->GetProp(dspropDSISPARTIAL, partial));
    EXPECT_EQ(1u, partial);
    // A later packet that carries metadata but no row offset cannot be placed.
    rtl::TBytes noOffset = GoldenPacket();
    noOffset[18] = dsfHasMetaData;
    EXPECT_EQ(DBERR_DATAPACKETMISMATCH, s.Base->AppendData(&noOffset, true));
    // With its row offset it adds its rows.
    const rtl::TBytes golden = GoldenPacket();
    EXPECT_OK(s.Base->AppendData(&golden, true));
    EXPECT_OK(s.Base->GetProp(dspropRECORDSINDS, records));
    EXPECT_EQ(4u, records);
}

TEST(RecordStore, Properties) {
    TOpenStore s(GoldenPacket());
    std::uint32_t v = 9;
    EXPECT_OK(s.Base->SetProp(dspropREADONLY, 1));
    EXPECT_OK(s.Base->GetProp(dspropREADONLY, v));
    EXPECT_EQ(1u, v);
    CURProps props;
    EXPECT_OK(s.Cursor->GetCursorProps(props));
    EXPECT_TRUE(props.bReadOnly);
    for (std::uint32_t prop : {dspropANSICODEPAGE, dspropUTF8METADATA, dspropUTF8ERRORMSG, dspropCOMPRESSARRAYS,
                               dspropDISABLESTRINGTRIM, dspropINCLBLOBSINDELTA}) {
        EXPECT_OK(s.Base->SetProp(prop, 1251));
        EXPECT_OK(s.Base->GetProp(prop, v));
        EXPECT_EQ(1251u, v);
    }
    EXPECT_EQ(DBERR_NA, s.Base->SetProp(dspropRECORDSINDS, 5));
    EXPECT_OK(s.Base->GetProp(dspropDATAHASCHANGED, v));
    EXPECT_EQ(0u, v);
    EXPECT_EQ(DBERR_INVALIDPARAM, s.Base->GetProp(999, v));
}

// --- Messages and the factory ---

TEST(Engine, ResultCodeMessages) {
    const std::pair<DBResult, const char*> messages[] = {
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
    auto base = CreateDSBase();
    auto w = CreateDSWriter();
    std::vector<char> text(ErrorStringSize, 'x');
    for (const auto& [code, message] : messages) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(message, ErrorMessage(code));
        EXPECT_OK(base->GetErrorString(code, text.data()));
        EXPECT_STREQ(message, text.data());
        EXPECT_OK(w->GetErrorString(code, text.data()));
        EXPECT_STREQ(message, text.data());
    }
}

TEST(Engine, FactoryMakesEachKindAndRefusesOthers) {
    EXPECT_NE(nullptr, dynamic_cast<IDSBase*>(CreateDbClientObject(CLSID_DSBase).get()));
    EXPECT_NE(nullptr, dynamic_cast<IDSCursor*>(CreateDbClientObject(CLSID_DSCursor).get()));
    EXPECT_NE(nullptr, dynamic_cast<IDSWriter*>(CreateDbClientObject(CLSID_DSWriter).get()));
    // An interface identifier, not a class one.
    EXPECT_EQ(u"Class not available", MessageOf([] { CreateDbClientObject(IID_IDSBase); }));
    EXPECT_EQ(0, ClientErrorCodeOf([] { CreateDbClientObject(IID_IDSBase); }));
}

TEST(Engine, PacketsInVariants) {
    rtl::Variant v;
    EXPECT_EQ(nullptr, VarToDataPacket(rtl::Variant::Null()));
    const rtl::TBytes golden = GoldenPacket();
    DataPacketToVariant(golden, v);
    ASSERT_NE(nullptr, VarToDataPacket(v));
    EXPECT_EQ(golden, *VarToDataPacket(v));
    EXPECT_NE(nullptr, VarToDataPacket(rtl::Variant(rtl::TBytes(22))));
    // A packet held outside a variant is destroyed, its bytes released.
    rtl::TBytes held = golden;
    FreeDataPacket(held);
    EXPECT_EQ(0u, held.capacity());
    // An unassigned variant is no packet either: only Null means none.
    for (const rtl::Variant& bad :
         {rtl::Variant(), rtl::Variant(rtl::TBytes(21)), rtl::Variant(std::int32_t{5}), rtl::Variant(u"x")}) {
        EXPECT_EQ(u"Invalid data packet", MessageOf([&] { VarToDataPacket(bad); }));
        EXPECT_EQ(0, ClientErrorCodeOf([&] { VarToDataPacket(bad); }));
    }
}

// --- Malformed packets ---

TEST(PacketReader, EveryTruncationFails) {
    const rtl::TBytes golden = GoldenPacket();
    for (std::size_t size = 0; size < golden.size(); ++size) {
        SCOPED_TRACE(size);
        auto base = CreateDSBase();
        const rtl::TBytes cut(golden.begin(), golden.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_NE(DBERR_NONE, base->AppendData(&cut, true));
    }
}

TEST(PacketReader, MalformedPacketsEndInCodes) {
    struct TCase {
        const char* What;
        std::size_t Offset;
        std::vector<std::uint8_t> Bytes;  // written over the golden packet at Offset
        DBResult Expected;
    } const cases[] = {
        // clang-format off
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
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        rtl::TBytes packet = GoldenPacket();
        std::copy(c.Bytes.begin(), c.Bytes.end(), packet.begin() + static_cast<std::ptrdiff_t>(c.Offset));
        ExpectFirstPacket(packet, c.Expected);
    }
}

TEST(PacketReader, LongColumnNamesAreCut) {
    rtl::TBytes packet = {0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 40};
    packet.insert(packet.end(), 40, 'q');
    packet.insert(packet.end(), {0x04, 0, 0x01, 0, 0, 0, 0, 0, 0, 0});
    TOpenStore s(packet);
    EXPECT_EQ(std::string(31, 'q'), s.Fields[0].szName);
}

// Inputs the fuzzer found, all valid packets: each is read and walked to its
// end as the fuzzer does.
TEST(PacketReader, FuzzerFindings) {
    struct TCase {
        const char* What;
        rtl::TBytes Packet;
    } const cases[] = {
        // clang-format off
        {"no columns: an empty column list is a valid one",
         {0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 0x18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0,
          0, 0, 0, 0x3C, 0, 0, 0x18, 0, 0, 0x96, 0x19, 0xE0, 0xBD, 1, 0x5F, 0},
        },
        {"no columns, 121 rows of a status byte each: records of no bytes",
            // clang-format on
            {
                // clang-format off
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
        },
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        auto base = CreateDSBase();
        ASSERT_EQ(DBERR_NONE, base->AppendData(&c.Packet, true));
        DSProps props;
        EXPECT_OK(base->GetProps(props));
        std::vector<DSFLDDesc> fields(props.iFields);
        EXPECT_OK(base->GetFieldDescs(fields.data()));
        auto cursor = CreateDSCursor();
        EXPECT_OK(cursor->InitCursor(base));
        std::vector<std::uint8_t> rec(props.iRecBufSize);
        std::uint32_t walked = 0;
        while (cursor->MoveRelative(1) == DBERR_NONE) {
            ++walked;
            EXPECT_OK(cursor->GetCurrentRecord(rec.data()));
            for (const DSFLDDesc& f : fields) {
                bool blank;
                std::vector<std::uint8_t> slot(f.iFldLen);
                EXPECT_OK(cursor->GetField(rec.data(), f.iFieldID, slot.data(), blank));
            }
        }
        EXPECT_EQ(props.iRecords, walked);
    }
}

}  // namespace
