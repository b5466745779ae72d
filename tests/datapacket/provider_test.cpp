// The provider over a real SQL query on a temporary dictionary: the requests
// the program makes, what each packet holds, the resets of the query, the
// provider-support calls it relies on and its failures.

#include <cmath>

#include "chain_fixture.h"

#include "data/dataset.h"
#include "datapacket/ds_bytes.h"
#include "datapacket/ds_errors.h"
#include "datapacket/type_maps.h"
#include "memory_dataset.h"
#include "rtl/exceptions.h"

using namespace datapacket;
using chain_test::ChainTest;
using chain_test::DescsOf;
using chain_test::StoreOf;
using chain_test::U32At;
using rtl::String;
using sql_test::MessageOf;

namespace {

constexpr const char16_t* Startup = u"select id, lx_word, lx_text, lx_title from lx_items limit 1000";

class ProviderTest : public ChainTest {
protected:
    rtl::Variant Request(std::int32_t Count, TGetRecordOptions Options, std::int32_t& RecsOut,
                         const String& CommandText = u"") {
        rtl::Variant params = rtl::Variant::Null(), ownerData;
        return Provider->GetRecords(Count, RecsOut, GetRecordOptionsToInt(Options), CommandText, params, ownerData);
    }
    int Executions() const { return static_cast<int>(Statements.size()); }
};

// A packet parameter's 4-byte integer value.
std::int32_t IntParam(IDSBase& Store, std::uint32_t Column, const char* Name) {
    TDSOptParam p;
    EXPECT_EQ(Store.GetOptParameter(Column, Name, p), DBERR_NONE) << Name;
    EXPECT_EQ(p.Type & ~dsIncInDelta, MakeFieldType(dsfldINT, 4)) << Name;
    std::int32_t v = 0;
    if (p.Value.size() >= 4) std::memcpy(&v, p.Value.data(), 4);
    return v;
}

// Where a packet's first row starts: at the offset the header records, or
// right after the header in a rows-only packet that records none.
std::size_t FirstRowAt(const rtl::TBytes& Packet) {
    if (U32At(Packet, 18) & dsfHasRowOffset) return static_cast<std::size_t>(Packet[22] | (Packet[23] << 8));
    return U32At(Packet, 8);
}

// The null bit of column Column (0-based) in the flag bytes of a row that
// starts at Row: two bits per column, four columns a byte, after the status byte.
bool NullBitAt(const rtl::TBytes& Packet, std::size_t Row, int Column) {
    return (Packet.at(Row + 1 + static_cast<std::size_t>(Column) / 4) >> (2 * (Column % 4))) & 1;
}

}  // namespace

TEST_F(ProviderTest, StartupRequestSendsMetadataAndEveryRowThenResetsTheQuery) {
    OpenQuery(Startup, 12);
    Conn->Params().Add(u"LocaleCode=0419");
    const int before = Executions();
    std::int32_t recsOut = 0;
    const rtl::Variant packet = Request(500000, {grMetaData}, recsOut);

    EXPECT_EQ(recsOut, 12);
    const rtl::TBytes& bytes = packet.AsBytes();
    EXPECT_EQ(U32At(bytes, 0), PacketMagic);
    EXPECT_EQ(U32At(bytes, 14), 12u);  // rows
    EXPECT_EQ(U32At(bytes, 18), dsfHasMetaData | dsfHasRowOffset);

    auto store = StoreOf(packet);
    const auto descs = DescsOf(*store);
    ASSERT_EQ(descs.size(), 4u);
    const struct {
        const char* name;
        std::uint32_t type, subType;
        std::int32_t width;
        // clang-format off
    } expected[] = {{"id", fldINT64, 0, -1},
                    {"lx_word", fldUNICODE, 0, 80},
                    {"lx_text", fldBLOB, fldstWIDEMEMO, -1},
                    {"lx_title", fldUNICODE, 0, 200}};
    // clang-format on
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(descs[i].szName, expected[i].name);
        EXPECT_EQ(descs[i].iFldType, expected[i].type);
        EXPECT_EQ(descs[i].iFldSubType, expected[i].subType);
        if (expected[i].width >= 0) {
            EXPECT_EQ(descs[i].iUnits1, expected[i].width);
        }
    }
    // The query's one packet attribute: its connection's locale code.
    EXPECT_EQ(IntParam(*store, 0, "LCID"), 0x419);

    // Fewer rows than asked: the query was executed again and stands on its first row.
    EXPECT_EQ(Executions(), before + 1);
    EXPECT_TRUE(Query->Active());
    EXPECT_TRUE(Query->Bof());
    EXPECT_EQ(Query->FieldByName(u"id")->AsLargeInt(), 1);
    EXPECT_EQ(Provider->RecordsSent(), 0);
}

TEST_F(ProviderTest, RefreshRequestResetsWritesRowsOnlyAndResetsAgain) {
    OpenQuery(Startup, 30);
    std::int32_t recsOut = 0;
    Request(500000, {grMetaData}, recsOut);
    SetSql(u"select id, lx_word, lx_text, lx_title from lx_items where id > 25 limit 1000");
    const int before = Executions();

    const rtl::Variant packet = Request(-1, {grReset}, recsOut);
    EXPECT_EQ(recsOut, 5);
    const rtl::TBytes& bytes = packet.AsBytes();
    EXPECT_EQ(U32At(bytes, 14), 5u);
    EXPECT_EQ(U32At(bytes, 18) & dsfHasMetaData, 0u);
    EXPECT_EQ(U32At(bytes, 8), PacketHeaderSize);  // rows right after the header
    // A reset before (the new statement stands on its first row as it ran:
    // nothing to run again) and one after the rows, since -1 was asked.
    EXPECT_EQ(Executions(), before + 1);
    EXPECT_TRUE(Query->Bof());
}

// A query that has moved past its first rows is reset before the rows are
// written, so the packet holds all of them from the first.
TEST_F(ProviderTest, RefreshRequestOfAMovedQuerySendsEveryRowFromTheFirst) {
    OpenQuery(Startup, 30);
    std::int32_t recsOut = 0;
    Request(500000, {grMetaData}, recsOut);
    SetSql(u"select id, lx_word, lx_text, lx_title from lx_items where id > 25 limit 1000");
    Query->Next();
    Query->Next();
    ASSERT_EQ(Query->FieldByName(u"id")->AsLargeInt(), 28);
    const int before = Executions();

    const rtl::Variant packet = Request(-1, {grReset}, recsOut);
    EXPECT_EQ(recsOut, 5);
    const rtl::TBytes& bytes = packet.AsBytes();
    EXPECT_EQ(U32At(bytes, 14), 5u);
    // The first row: status byte, one flag byte, then the 8-byte id.
    std::int64_t firstId = 0;
    std::memcpy(&firstId, bytes.data() + FirstRowAt(bytes) + 2, 8);
    EXPECT_EQ(firstId, 26);
    // Run again by the reset before the rows and by the one after them.
    EXPECT_EQ(Executions(), before + 2);
    EXPECT_TRUE(Query->Bof());
}

TEST_F(ProviderTest, RequestForExactlyTheRemainingRowsMovesPastTheLastWithoutReset) {
    OpenQuery(Startup, 12);
    const int before = Executions();
    std::int32_t recsOut = 0;
    Request(12, {grMetaData}, recsOut);
    EXPECT_EQ(recsOut, 12);
    EXPECT_EQ(Provider->RecordsSent(), 12);
    EXPECT_EQ(Executions(), before);
    EXPECT_TRUE(Query->Eof());
    EXPECT_EQ(Query->State(), data::dsBrowse);  // out of the block-read state
}

TEST_F(ProviderTest, EmptyResultStillDescribesTheColumns) {
    OpenQuery(Startup, 0);
    const int before = Executions();
    std::int32_t recsOut = -5;
    const rtl::Variant packet = Request(500000, {grMetaData}, recsOut);
    EXPECT_EQ(recsOut, 0);
    EXPECT_EQ(U32At(packet.AsBytes(), 14), 0u);
    EXPECT_EQ(DescsOf(*StoreOf(packet)).size(), 4u);
    // 0 differs from the count asked: reset, with nothing to run again.
    EXPECT_EQ(Executions(), before);
    EXPECT_TRUE(Query->Active());
    EXPECT_TRUE(Query->Eof());
}

TEST_F(ProviderTest, PureResetRequestReturnsNothingAndDoesNotOpenAClosedSource) {
    sql_test::MakeDictionary(Database, 3);
    std::int32_t recsOut = 7;
    EXPECT_EQ(MessageOf([&] { Request(0, {grReset}, recsOut); }), u"(no exception)");
    EXPECT_FALSE(Query->Active());
}

TEST_F(ProviderTest, EmptyMemoTravelsAsNullAndWideStringsByteCounted) {
    OpenQuery(Startup, 3);
    Exec(u"update lx_items set lx_text = '' where id = 1");
    SetSql(Startup);
    std::int32_t recsOut = 0;
    auto store = StoreOf(Request(500000, {grMetaData}, recsOut));
    auto cursor = CreateDSCursor();
    ASSERT_EQ(cursor->InitCursor(store), DBERR_NONE);
    CURProps props;
    ASSERT_EQ(cursor->GetCursorProps(props), DBERR_NONE);
    std::vector<std::uint8_t> record(props.iRecBufSize);
    bool blank = false;

    ASSERT_EQ(cursor->MoveRelative(1), DBERR_NONE);
    ASSERT_EQ(cursor->GetCurrentRecord(record.data()), DBERR_NONE);
    ASSERT_EQ(cursor->GetField(record.data(), 3, nullptr, blank), DBERR_NONE);
    EXPECT_TRUE(blank);  // '' in the database
    std::vector<std::uint8_t> slot(props.iRecBufSize);
    ASSERT_EQ(cursor->GetField(record.data(), 2, slot.data(), blank), DBERR_NONE);
    EXPECT_FALSE(blank);
    std::uint16_t bytes = 0;
    std::memcpy(&bytes, slot.data(), 2);
    EXPECT_EQ(bytes, 2 * String(u"кітап1").size());

    ASSERT_EQ(cursor->MoveRelative(1), DBERR_NONE);
    ASSERT_EQ(cursor->GetCurrentRecord(record.data()), DBERR_NONE);
    ASSERT_EQ(cursor->GetField(record.data(), 3, nullptr, blank), DBERR_NONE);
    EXPECT_FALSE(blank);

    // The packet itself marks the empty memo null, with no value bytes: the
    // store would keep a value of length 0 as null as well.
    for (const auto& [id, isNull] : {std::pair{1, true}, std::pair{2, false}}) {
        SCOPED_TRACE(id);
        SetSql(u"select id, lx_word, lx_text, lx_title from lx_items where id = " + rtl::IntToStr(id));
        const rtl::Variant packet = Request(-1, {grReset}, recsOut);
        ASSERT_EQ(recsOut, 1);
        const rtl::TBytes& bytes = packet.AsBytes();
        const std::size_t row = FirstRowAt(bytes);
        EXPECT_EQ(NullBitAt(bytes, row, 2), isNull);
        EXPECT_FALSE(NullBitAt(bytes, row, 0));
        EXPECT_FALSE(NullBitAt(bytes, row, 1));
        EXPECT_FALSE(NullBitAt(bytes, row, 3));
        // Status, flags, the id, lx_word's prefix and text, lx_text's (none
        // when null: a 4-byte prefix otherwise), lx_title's prefix and text.
        const std::size_t word = 2 * 6, title = 2 * String(u"Орфографиялық сөздік").size();
        const std::size_t text = isNull ? 0 : 4 + 2 * String(u"Мәтін 2").size();
        EXPECT_EQ(bytes.size() - row, 1 + 1 + 8 + 1 + word + text + 1 + title);
    }
}

TEST_F(ProviderTest, LongFieldNamesAreCutInTheDescriptorAndSentWhole) {
    const String names[] = {u"abcdefghijklmnopqrstuvwxyz012345",  // 32 bytes
                            u"сөздің_жазылуы_туралы_мәлімет"};    // Cyrillic, 52 bytes
    OpenQuery(u"select 1", 0);
    for (const String& name : names) {
        SCOPED_TRACE(rtl::StringToUtf8(name));
        Exec(u"create table \"t" + name + u"\" (\"" + name + u"\" INTEGER)");
        SetSql(u"select * from \"t" + name + u"\"");
        std::int32_t recsOut = 0;
        auto store = StoreOf(Request(500000, {grMetaData}, recsOut));
        const auto descs = DescsOf(*store);
        ASSERT_EQ(descs.size(), 1u);
        EXPECT_EQ(std::strlen(descs[0].szName), 31u);
        TDSOptParam full;
        ASSERT_EQ(store->GetOptParameter(1, "FIELDNAME", full), DBERR_NONE);
        EXPECT_TRUE(full.Type & dsIncInDelta);
        const std::string utf8 = rtl::StringToUtf8(name);
        ASSERT_EQ(full.Value.size(), 2 + utf8.size() + 1);
        EXPECT_EQ(std::string(full.Value.begin() + 2, full.Value.end() - 1), utf8);
    }
}

TEST_F(ProviderTest, QueryProviderSupportAsTheProviderUsesIt) {
    OpenQuery(Startup, 3);
    EXPECT_EQ(Query->PSGetTableName(), u"lx_items");
    EXPECT_EQ(Query->PSGetQuoteChar(), u"\"");
    EXPECT_EQ(Query->PSGetKeyFields(), u"");  // no key metadata is read for queries
    EXPECT_TRUE(Query->PSIsSQLBased());

    data::TPacketAttributeList attributes;
    Query->PSGetAttributes(attributes);
    ASSERT_EQ(attributes.size(), 1u);
    EXPECT_EQ(attributes[0].Name, u"LCID");
    EXPECT_EQ(attributes[0].Value, rtl::Variant(std::int32_t(0)));  // no LocaleCode parameter
    EXPECT_FALSE(attributes[0].IncludeInDelta);

    // Passing parameters closes the query and takes a non-empty list over;
    // the provider therefore calls it only when the lists differ.
    data::TParams one;
    one.Add({u"p", data::ftInteger, data::ptInput, rtl::Variant(std::int32_t(4))});
    Query->PSSetParams(&one);
    EXPECT_FALSE(Query->Active());
    EXPECT_EQ(Query->Params(), one);
}

TEST_F(ProviderTest, Failures) {
    OpenQuery(Startup, 3);
    std::int32_t recsOut = 0;
    EXPECT_EQ(MessageOf([&] { Request(10, {grMetaData}, recsOut, u"select 1"); }),
              u"CommandText changes are not allowed");
    Provider->SetDataSet(nullptr);
    EXPECT_EQ(MessageOf([&] { Request(10, {grMetaData}, recsOut); }), u"Missing DataSet property");
}

TEST_F(ProviderTest, CommandTextReachesTheSourceWhenAllowed) {
    OpenQuery(Startup, 5);
    Query->Close();  // a new text is refused while the query is open
    Provider->SetOptions({poUseQuoteChar, poAllowCommandText});
    std::int32_t recsOut = 0;
    Request(500000, {grMetaData}, recsOut, u"select id from lx_items where id < 3");
    EXPECT_EQ(recsOut, 2);
}

TEST_F(ProviderTest, LocalAppServerTurnsExceptionsIntoResultsAndBack) {
    OpenQuery(Startup, 3);
    TLocalAppServer server(*Provider);
    auto call = [&](TServerResult& Out) {
        std::int32_t recsOut = 0;
        rtl::Variant params = rtl::Variant::Null(), ownerData, result;
        Out = server.AS_GetRecords(u"ignored", 500000, recsOut, GetRecordOptionsToInt({grMetaData}), u"", params,
                                   ownerData, result);
        return result;
    };
    TServerResult r;
    EXPECT_FALSE(call(r).IsClear());
    EXPECT_EQ(r.Code, TServerResult::S_OK);

    Provider->OnGetDataSetProperties = [](TDataSetProvider&, data::TDataSet&, data::TPacketAttributeList&) {
        throw data::EDatabaseError(u"source failed: дерек");
    };
    EXPECT_TRUE(call(r).IsClear());
    EXPECT_EQ(r.Code, TServerResult::E_FAIL);
    EXPECT_EQ(r.Message, u"source failed: дерек");
    EXPECT_THROW(CheckServerResult(r), EAppServerError);
    EXPECT_EQ(MessageOf([&] { CheckServerResult(r); }), u"source failed: дерек");

    Provider->OnGetDataSetProperties = [](TDataSetProvider&, data::TDataSet&, data::TPacketAttributeList&) {
        rtl::Abort();
    };
    call(r);
    EXPECT_EQ(r.Code, TServerResult::E_ABORT);
    EXPECT_THROW(CheckServerResult(r), rtl::EAbort);
    // The failed requests reset the query and left no half-built column
    // list: a rows-only request describes the columns afresh.
    EXPECT_TRUE(Query->Bof());
    Provider->OnGetDataSetProperties = nullptr;
    std::int32_t recsOut = 0;
    const rtl::Variant rows = Request(-1, {grReset}, recsOut);
    EXPECT_EQ(recsOut, 3);
    EXPECT_EQ(U32At(rows.AsBytes(), 18) & dsfHasMetaData, 0u);
}

TEST_F(ProviderTest, AttributesOfEveryVariantKindAndTheRefusedOnes) {
    OpenQuery(u"select id from lx_items", 2);
    Provider->OnGetDataSetProperties = [](TDataSetProvider&, data::TDataSet&, data::TPacketAttributeList& List) {
        List.push_back({u"I", rtl::Variant(std::int64_t(-2)), true});
        List.push_back({u"B", rtl::Variant(true), false});
        List.push_back({u"D", rtl::Variant(2.5), false});
        List.push_back({u"S", rtl::Variant(u"Сөз"), false});
        List.push_back({u"A", rtl::Variant(rtl::TBytes{1, 2, 3}), false});
    };
    std::int32_t recsOut = 0;
    auto store = StoreOf(Request(500000, {grMetaData}, recsOut));
    TDSOptParam p;
    ASSERT_EQ(store->GetOptParameter(0, "I", p), DBERR_NONE);
    EXPECT_EQ(p.Type, MakeFieldType(dsfldINT, 4) | dsIncInDelta);
    EXPECT_EQ(p.Value, (rtl::TBytes{0xFE, 0xFF, 0xFF, 0xFF}));
    ASSERT_EQ(store->GetOptParameter(0, "B", p), DBERR_NONE);
    EXPECT_EQ(p.Type, MakeFieldType(dsfldBOOL, 2));
    EXPECT_EQ(p.Value, (rtl::TBytes{0xFF, 0xFF}));
    ASSERT_EQ(store->GetOptParameter(0, "D", p), DBERR_NONE);
    EXPECT_EQ(p.Type, MakeFieldType(dsfldFLOATIEEE, 8));
    ASSERT_EQ(store->GetOptParameter(0, "S", p), DBERR_NONE);
    EXPECT_EQ(p.Type, MakeFieldType(dsfldZSTRING, 2, dsVaryingFldType));
    const std::string utf8 = rtl::StringToUtf8(u"Сөз");
    EXPECT_EQ(p.Value[0], utf8.size() + 1);
    ASSERT_EQ(store->GetOptParameter(0, "A", p), DBERR_NONE);
    EXPECT_EQ(p.Type, MakeFieldType(dsfldBYTES, 1, dsArrayFldType));

    Provider->OnGetDataSetProperties = [](TDataSetProvider&, data::TDataSet&, data::TPacketAttributeList& List) {
        List.push_back({u"N", rtl::Variant::Null(), false});
    };
    EXPECT_EQ(MessageOf([&] { Request(500000, {grMetaData}, recsOut); }),
              u"Value cannot be stored in an optional parameter");
}

namespace {

// One column descriptor read straight from the packet bytes.
struct RawColumn {
    std::string Name;
    std::uint32_t Type = 0;
    std::uint16_t Attributes = 0;
    std::vector<std::pair<std::string, std::uint32_t>> Params;  // name and type code, in order
};

std::vector<RawColumn> RawColumns(const rtl::TBytes& P) {
    std::vector<RawColumn> columns;
    std::size_t at = PacketHeaderSize;
    auto u16 = [&](std::size_t o) { return static_cast<std::uint16_t>(P.at(o) | (P.at(o + 1) << 8)); };
    auto skipValue = [&](std::uint32_t Type) {
        const std::uint32_t size = FieldSizeOf(Type);
        if (Type & dsArrayFldType) {
            at += 4 + size * U32At(P, at);
        } else if (Type & dsVaryingFldType) {
            const std::uint32_t len = size == 1 ? P.at(at) : size == 2 ? u16(at) : U32At(P, at);
            at += size + len;
        } else {
            at += size;
        }
    };
    const std::uint16_t count = u16(12);
    for (std::uint16_t c = 0; c < count; ++c) {
        RawColumn col;
        const std::size_t len = P.at(at++);
        col.Name.assign(P.begin() + static_cast<std::ptrdiff_t>(at), P.begin() + static_cast<std::ptrdiff_t>(at + len));
        at += len;
        col.Type = U32At(P, at);
        col.Attributes = u16(at + 4);
        const std::uint16_t params = u16(at + 6);
        at += 8;
        for (std::uint16_t i = 0; i < params; ++i) {
            const std::size_t nameLen = P.at(at++);
            std::string name(P.begin() + static_cast<std::ptrdiff_t>(at),
                             P.begin() + static_cast<std::ptrdiff_t>(at + nameLen));
            at += nameLen;
            const std::uint32_t type = U32At(P, at);
            at += 4;
            col.Params.emplace_back(name, type);
            skipValue(type);
        }
        columns.push_back(col);
    }
    return columns;
}

}  // namespace

// The descriptor of each column: its attribute word and its parameters, in
// order, with the include-in-delta bit on exactly those a delta carries; the
// client dataset takes ORIGIN and PROVFLAGS back onto its fields.
TEST(ProviderColumns, AttributesAndParametersFollowTheSourceFields) {
    using testing_data::TMemoryDataSet;
    rtl::TComponent owner(nullptr);
    const String longName = u"abcdefghijklmnopqrstuvwxyz012345";  // 32 bytes
    auto* source = new TMemoryDataSet(&owner, {{u"Req", data::ftInteger},
                                               {u"RO", data::ftWideString, 10},
                                               {u"Hid", data::ftLargeint},
                                               {longName, data::ftWideMemo}});
    source->SetName(u"Source");
    source->Rows.push_back(
        {rtl::Variant(std::int32_t(1)), rtl::Variant(u"a"), rtl::Variant(std::int64_t(2)), rtl::Variant(u"m")});
    source->Open();
    source->FieldByName(u"Req")->SetRequired(true);
    source->FieldByName(u"Req")->SetProviderFlags({data::pfInUpdate, data::pfInWhere, data::pfInKey});
    source->FieldByName(u"RO")->SetReadOnly(true);
    source->FieldByName(u"RO")->SetOrigin(u"words.ro");
    source->FieldByName(u"Hid")->SetProviderFlags({data::pfInUpdate, data::pfInWhere, data::pfHidden});
    auto* provider = new TDataSetProvider(&owner);
    provider->SetName(u"Provider");
    provider->SetDataSet(source);

    std::int32_t recsOut = 0;
    rtl::Variant params = rtl::Variant::Null(), ownerData;
    const rtl::Variant packet =
        provider->GetRecords(-1, recsOut, GetRecordOptionsToInt({grMetaData}), u"", params, ownerData);
    const std::vector<RawColumn> columns = RawColumns(packet.AsBytes());
    ASSERT_EQ(columns.size(), 4u);
    const std::uint32_t delta = dsIncInDelta;
    const std::uint32_t int32 = MakeFieldType(dsfldINT, 4), text = MakeFieldType(dsfldZSTRING, 2, dsVaryingFldType);
    const struct {
        std::string name;
        std::uint16_t attributes;
        std::vector<std::pair<std::string, std::uint32_t>> params;
    } expected[] = {
        // clang-format off
        {"Req", fldAttrREQUIRED, {{"PROVFLAGS", int32 | delta}}},
        {"RO", fldAttrREADONLY, {{"ORIGIN", text | delta}, {"WIDTH", int32}}},
        {"Hid", fldAttrHIDDEN | fldAttrREADONLY, {{"PROVFLAGS", int32 | delta}}},
        {"abcdefghijklmnopqrstuvwxyz01234",
         0,
         {{"FIELDNAME", text | delta}, {"SUBTYPE", text}}},
    };
    // clang-format on
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(columns[i].Name, expected[i].name);
        EXPECT_EQ(columns[i].Attributes, expected[i].attributes);
        EXPECT_EQ(columns[i].Params, expected[i].params);
    }

    // Back on the client side.
    auto* client = new TClientDataSet(&owner);
    client->SetProviderName(u"Provider");
    client->Open();
    // The round trip keeps each type (and a wide string's size in characters).
    for (int i = 0; i < source->FieldDefs().Count(); ++i) {
        const data::TFieldDef* sent = source->FieldDefs()[i];
        const data::TFieldDef* back = client->FieldDefs().Find(sent->Name());
        ASSERT_NE(back, nullptr) << rtl::StringToUtf8(sent->Name());
        EXPECT_EQ(back->DataType(), sent->DataType()) << rtl::StringToUtf8(sent->Name());
        if (sent->DataType() == data::ftWideString) {
            EXPECT_EQ(back->Size(), sent->Size());
        }
    }
    EXPECT_EQ(client->FieldByName(u"RO")->Origin(), u"words.ro");
    EXPECT_EQ(client->FieldByName(u"Req")->ProviderFlags(),
              (data::TProviderFlags{data::pfInUpdate, data::pfInWhere, data::pfInKey}));
    EXPECT_TRUE(client->FieldDefs().Find(u"Req")->Required());
    EXPECT_TRUE(client->FieldDefs().Find(u"RO")->Attributes().Contains(data::faReadonly));
    EXPECT_TRUE(client->FieldDefs().Find(u"Hid")->Attributes().Contains(data::faHiddenCol));
    EXPECT_EQ(client->FieldByName(longName)->AsString(), u"m");
}

// Each provider option that travels as a packet parameter, and what the
// client dataset makes of it.
TEST_F(ProviderTest, OptionsTravelAsPacketParameters) {
    OpenQuery(Startup, 3);
    const struct {
        TProviderOption option;
        const char* name;
        bool clientHas;
        TDataSetOption clientOption;
    } cases[] = {
        // clang-format off
        {poReadOnly, "READONLY", false, doDisableEdits},
        {poDisableEdits, "DISABLE_EDITS", true, doDisableEdits},
        {poDisableInserts, "DISABLE_INSERTS", true, doDisableInserts},
        {poDisableDeletes, "DISABLE_DELETES", true, doDisableDeletes},
        {poNoReset, "NO_RESET_CALL", true, doNoResetCall},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Provider->SetOptions({poUseQuoteChar, c.option});
        std::int32_t recsOut = 0;
        auto store = StoreOf(Request(500000, {grMetaData}, recsOut));
        TDSOptParam p;
        ASSERT_EQ(store->GetOptParameter(0, c.name, p), DBERR_NONE);
        EXPECT_EQ(p.Type, MakeFieldType(dsfldBOOL, 2));
        EXPECT_EQ(p.Value, (rtl::TBytes{0xFF, 0xFF}));
        SetSql(Startup);
        Client->Open();
        EXPECT_EQ(Client->DSOptions(), c.clientHas ? TDataSetOptions{c.clientOption} : TDataSetOptions{});
        Query->Next();  // off its first row, so that a reset must run it again
        const int executions = Executions();
        Client->Close();
        // Without the reset call, closing leaves the query alone.
        EXPECT_EQ(Executions(), executions + (c.option == poNoReset ? 0 : 1));
    }
    const struct {
        TProviderOptions options;
        std::int32_t semantics;
    } cascades[] = {{{poCascadeDeletes}, 1}, {{poCascadeUpdates}, 2}, {{poCascadeDeletes, poCascadeUpdates}, 3}};
    for (const auto& c : cascades) {
        Provider->SetOptions(c.options);
        std::int32_t recsOut = 0;
        auto store = StoreOf(Request(500000, {grMetaData}, recsOut));
        EXPECT_EQ(IntParam(*store, 0, "MD_SEMANTICS"), c.semantics);
        TDSOptParam p;
        ASSERT_EQ(store->GetOptParameter(0, "MD_SEMANTICS", p), DBERR_NONE);
        EXPECT_TRUE(p.Type & dsIncInDelta);
    }
}

// A field no put routine writes is refused by name before anything is sent.
TEST(ProviderColumns, FieldOfAnUnknownTypeIsRefused) {
    rtl::TComponent owner(nullptr);
    auto* source = new testing_data::TMemoryDataSet(&owner, {{u"Id", data::ftInteger}, {u"Any", data::ftVariant}});
    source->Rows.push_back({rtl::Variant(std::int32_t(1)), rtl::Variant(std::int32_t(2))});
    auto* provider = new TDataSetProvider(&owner);
    provider->SetDataSet(source);
    std::int32_t recsOut = 0;
    rtl::Variant params = rtl::Variant::Null(), ownerData;
    EXPECT_EQ(MessageOf([&] {
                  provider->GetRecords(-1, recsOut, GetRecordOptionsToInt({grMetaData}), u"", params, ownerData);
              }),
              u"Field 'Any' is of an unknown type");
    EXPECT_FALSE(source->Active());  // the provider opened it, and closed it again on failure
}

// ---- requests, their events and the parameters exchanged

namespace {

std::string Shown(const rtl::Variant& Value) { return Value.IsClear() ? "-" : rtl::StringToUtf8(Value.AsString()); }

// A source with a parameter list of its own whose command, when run,
// writes its output parameter; what the provider asked of it is logged.
class TCommandDataSet : public testing_data::TMemoryDataSet {
public:
    TCommandDataSet(rtl::TComponent* AOwner, std::vector<std::string>& Log)
        : TMemoryDataSet(AOwner, {{u"Id", data::ftInteger}}), FLog(Log) {
        List.Add({u"In", data::ftInteger, data::ptInput, rtl::Variant(std::int32_t(1))});
        List.Add({u"Out", data::ftInteger, data::ptOutput, rtl::Variant::Null()});
    }
    data::TParams List;

    data::TParams* PSGetParams() override { return &List; }
    void PSSetParams(data::TParams* AParams) override {
        const data::TParam* in = AParams->FindParam(u"In");
        FLog.push_back("source params In=" + (in ? Shown(in->Value) : "absent"));
        List = *AParams;
    }
    void PSExecute() override {
        FLog.push_back("source execute");
        data::TParam* in = List.FindParam(u"In");
        data::TParam* out = List.FindParam(u"Out");
        if (in && out) out->Value = rtl::Variant(std::int32_t(in->Value.AsInteger() * 10));
    }

private:
    std::vector<std::string>& FLog;
};

// Told when a component it watches is destroyed.
class TWatcher : public rtl::TComponent {
public:
    using rtl::TComponent::TComponent;
    std::vector<rtl::TComponent*> Removed;

protected:
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override {
        rtl::TComponent::Notification(AComponent, Operation);
        if (Operation == rtl::TOperation::opRemove) Removed.push_back(AComponent);
    }
};

}  // namespace

// One record request from a client: the client's events wrap the
// provider's, the client's parameters reach the source before the provider's
// BeforeGetRecords, OwnerData passes by reference through every handler, and
// the source's parameters as they stand after the request come back.
TEST(ProviderRequests, EventsRunInOrderAndTheSourceParametersComeBack) {
    rtl::TComponent owner(nullptr);
    std::vector<std::string> calls;
    auto* source = new TCommandDataSet(&owner, calls);
    source->Rows = {{rtl::Variant(std::int32_t(1))}, {rtl::Variant(std::int32_t(2))}};
    auto* provider = new TDataSetProvider(&owner);
    provider->SetName(u"Provider");
    provider->SetDataSet(source);
    auto* client = new TClientDataSet(&owner);
    client->SetProviderName(u"Provider");
    client->Params() = source->List;
    client->Params().FindParam(u"In")->Value = rtl::Variant(std::int32_t(4));
    auto in = [](data::TParams& List) {
        return List.FindParam(u"In") ? Shown(List.FindParam(u"In")->Value) : "absent";
    };
    client->BeforeGetRecords = [&](TCustomClientDataSet&, rtl::Variant& OwnerData) {
        calls.push_back("client before " + Shown(OwnerData));
        OwnerData = rtl::Variant(u"c");
    };
    provider->BeforeGetRecords = [&](TCustomProvider& Sender, rtl::Variant& OwnerData) {
        EXPECT_EQ(&Sender, provider);
        calls.push_back("provider before " + Shown(OwnerData) + " In=" + in(source->List));
        if (data::TParam* p = source->List.FindParam(u"In")) p->Value = rtl::Variant(std::int32_t(3));  // changes
        OwnerData = rtl::Variant(u"p");
    };
    provider->AfterGetRecords = [&](TCustomProvider&, rtl::Variant& OwnerData) {
        calls.push_back("provider after " + Shown(OwnerData) +
                        " opens=" + rtl::StringToUtf8(rtl::IntToStr(source->Opens)));
        OwnerData = rtl::Variant(u"q");
    };
    client->AfterGetRecords = [&](TCustomClientDataSet&, rtl::Variant& OwnerData) {
        calls.push_back("client after " + Shown(OwnerData) + " In=" + in(client->Params()));
    };

    client->Open();
    EXPECT_EQ(calls, (std::vector<std::string>{"client before -", "source params In=4", "provider before c In=4",
                                               "provider after p opens=1", "client after q In=3"}));
    EXPECT_EQ(client->RecordCount(), 2);
}

// Without parameters (as the program asks) nothing is handed back, and the
// query, whose empty list equals the one sent, is left as it is.
TEST_F(ProviderTest, RequestWithoutParametersLeavesTheQueryAndGivesNoneBack) {
    OpenQuery(Startup, 3);
    for (const rtl::Variant& sent : {rtl::Variant::Null(), rtl::Variant()}) {
        rtl::Variant params = sent, ownerData;
        std::int32_t recsOut = 0;
        Provider->GetRecords(-1, recsOut, GetRecordOptionsToInt({grReset}), u"", params, ownerData);
        EXPECT_EQ(recsOut, 3);
        EXPECT_EQ(params.VarType(), sent.VarType());
        EXPECT_TRUE(Query->Active());  // passing a list would have closed it
    }
}

// The server's other calls: the source's parameters, a command run on the
// source and the application's own data requests, each with its events in
// order and failures turned into results.
TEST(ProviderServerCalls, ParamsExecuteAndDataRequests) {
    rtl::TComponent owner(nullptr);
    std::vector<std::string> log;
    auto* source = new TCommandDataSet(&owner, log);
    auto* provider = new TDataSetProvider(&owner);
    provider->SetDataSet(source);
    TLocalAppServer server(*provider);
    for (const char* name : {"BeforeGetParams", "AfterGetParams", "BeforeExecute", "AfterExecute"}) {
        TCustomProvider::TRemoteEvent handler = [&log, name](TCustomProvider&, rtl::Variant& OwnerData) {
            log.push_back(std::string(name) + " " + Shown(OwnerData));
            OwnerData = rtl::Variant(rtl::Utf8ToString(name));
        };
        const std::string n = name;
        (n == "BeforeGetParams"  ? provider->BeforeGetParams
         : n == "AfterGetParams" ? provider->AfterGetParams
         : n == "BeforeExecute"  ? provider->BeforeExecute
                                 : provider->AfterExecute) = handler;
    }
    auto valueOf = [](const rtl::Variant& Packed, const char16_t* Name) {
        data::TParams list;
        UnpackParams(Packed, list);
        return list.FindParam(Name) ? Shown(list.FindParam(Name)->Value) : "absent";
    };

    rtl::Variant ownerData = rtl::Variant(u"o"), result;
    ASSERT_EQ(server.AS_GetParams(u"", ownerData, result).Code, TServerResult::S_OK);
    EXPECT_EQ(valueOf(result, u"In"), "1");
    EXPECT_EQ(Shown(ownerData), "AfterGetParams");
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeGetParams o", "AfterGetParams BeforeGetParams"}));

    // The parameters sent reach the source before BeforeExecute; the ones
    // that come back are the source's after the run.
    log.clear();
    data::TParams sent = source->List;
    sent.FindParam(u"In")->Value = rtl::Variant(std::int32_t(7));
    rtl::Variant params = PackageParams(sent);
    ownerData = rtl::Variant();
    ASSERT_EQ(server.AS_Execute(u"", u"", params, ownerData).Code, TServerResult::S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"source params In=7", "BeforeExecute -", "source execute",
                                             "AfterExecute BeforeExecute"}));
    EXPECT_EQ(valueOf(params, u"Out"), "70");
    EXPECT_EQ(Shown(ownerData), "AfterExecute");

    // No parameters sent: none come back.
    params = rtl::Variant();
    ASSERT_EQ(server.AS_Execute(u"", u"", params, ownerData).Code, TServerResult::S_OK);
    EXPECT_TRUE(params.IsEmpty());

    const TServerResult refused = server.AS_Execute(u"", u"delete from t", params, ownerData);
    EXPECT_EQ(refused.Code, TServerResult::E_FAIL);
    EXPECT_EQ(refused.Message, u"CommandText changes are not allowed");

    ASSERT_EQ(server.AS_DataRequest(u"", rtl::Variant(u"ping"), result).Code, TServerResult::S_OK);
    EXPECT_TRUE(result.IsNull());  // no handler
    provider->OnDataRequest = [](TCustomProvider&, const rtl::Variant& Input) {
        if (Input.AsString() == u"fail") throw data::EDatabaseError(u"no answer");
        return rtl::Variant(Input.AsString() + u" back");
    };
    ASSERT_EQ(server.AS_DataRequest(u"", rtl::Variant(u"ping"), result).Code, TServerResult::S_OK);
    EXPECT_EQ(Shown(result), "ping back");
    const TServerResult failed = server.AS_DataRequest(u"", rtl::Variant(u"fail"), result);
    EXPECT_EQ(failed.Code, TServerResult::E_FAIL);
    EXPECT_EQ(failed.Message, u"no answer");
    EXPECT_TRUE(result.IsEmpty());

    provider->SetDataSet(nullptr);
    const TServerResult missing = server.AS_GetParams(u"", ownerData, result);
    EXPECT_EQ(missing.Message, u"Missing DataSet property");
}

// Made around a bare dataset the server has a provider of its own and
// frees it with itself; made around a provider it leaves it alone.
TEST(ProviderServerCalls, ServerAroundADataSetOwnsItsProvider) {
    rtl::TComponent owner(nullptr);
    auto* source = new testing_data::TMemoryDataSet(&owner, {{u"Id", data::ftInteger}});
    source->Rows = {{rtl::Variant(std::int32_t(1))}, {rtl::Variant(std::int32_t(2))}};
    TWatcher watcher(nullptr);
    auto rowsFrom = [](IAppServer& Server) {
        std::int32_t recsOut = 0;
        rtl::Variant params, ownerData, result;
        CheckServerResult(Server.AS_GetRecords(u"", -1, recsOut, GetRecordOptionsToInt({grMetaData}), u"", params,
                                               ownerData, result));
        return recsOut;
    };

    auto own = std::make_unique<TLocalAppServer>(*source);
    EXPECT_TRUE(own->ProviderCreated());
    auto* created = dynamic_cast<TDataSetProvider*>(&own->Provider());
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->DataSet(), source);
    EXPECT_EQ(rowsFrom(*own), 2);
    created->FreeNotification(&watcher);
    own.reset();
    EXPECT_EQ(watcher.Removed, (std::vector<rtl::TComponent*>{created}));

    auto* provider = new TDataSetProvider(&owner);
    provider->SetDataSet(source);
    provider->FreeNotification(&watcher);
    auto wrapping = std::make_unique<TLocalAppServer>(*provider);
    EXPECT_FALSE(wrapping->ProviderCreated());
    wrapping.reset();
    EXPECT_EQ(watcher.Removed.size(), 1u);
    TLocalAppServer again(*provider);
    EXPECT_EQ(rowsFrom(again), 2);
}

// The XML form is not written: asked for with the columns or afterwards, the
// request fails with the engine writer's refusal instead of answering with a
// binary packet, and the provider stays usable.
TEST_F(ProviderTest, XmlFormIsRefused) {
    OpenQuery(Startup, 3);
    // clang-format off
    const TGetRecordOptions cases[] = {{grMetaData, grXML}, {grMetaData, grXMLUTF8}, {grReset, grXML},
                                       {grReset, grXMLUTF8}};
    // clang-format on
    std::int32_t recsOut = 0;
    for (const TGetRecordOptions& options : cases) {
        SCOPED_TRACE(GetRecordOptionsToInt(options));
        Request(500000, {grMetaData}, recsOut);  // the columns exist for the rows-only cases
        rtl::Variant packet = rtl::Variant(u"stale");
        EXPECT_EQ(MessageOf([&] { packet = Request(-1, options, recsOut); }), u"Operation not applicable.");
        EXPECT_TRUE(Query->Bof());  // reset after the failure
    }
    EXPECT_THROW(Request(-1, {grMetaData, grXML}, recsOut), EDSWriter);
    TLocalAppServer server(*Provider);
    rtl::Variant params, ownerData, result;
    const TServerResult r = server.AS_GetRecords(u"", -1, recsOut, GetRecordOptionsToInt({grMetaData, grXML}), u"",
                                                 params, ownerData, result);
    EXPECT_EQ(r.Code, TServerResult::E_FAIL);
    EXPECT_EQ(r.Message, u"Operation not applicable.");
    EXPECT_TRUE(result.IsEmpty());

    const rtl::Variant rows = Request(-1, {grReset}, recsOut);
    EXPECT_EQ(recsOut, 3);
    EXPECT_EQ(U32At(rows.AsBytes(), 0), PacketMagic);
}

namespace {

// A client dataset opened on Source's rows through a provider, both owned by Owner.
TClientDataSet* OpenThroughAProvider(rtl::TComponent& Owner, data::TDataSet& Source) {
    auto* provider = new TDataSetProvider(&Owner);
    provider->SetName(u"Provider");
    provider->SetDataSet(&Source);
    auto* client = new TClientDataSet(&Owner);
    client->SetProviderName(u"Provider");
    client->Open();
    return client;
}

}  // namespace

// Each fixed, 8-bit and wide value and its null arrive at the client as
// they left the source.
TEST(ProviderColumns, ValuesAndNullsOfEachReadRoutineRoundTrip) {
    rtl::TComponent owner(nullptr);
    auto* source = new testing_data::TMemoryDataSet(
        &owner,
        {{u"S", data::ftSmallint}, {u"I", data::ftInteger}, {u"A", data::ftString, 5}, {u"W", data::ftWideString, 5}});
    source->Rows = {
        {rtl::Variant(std::int32_t(-7)), rtl::Variant(std::int32_t(70000)), rtl::Variant(u"abcde"),
         rtl::Variant(u"сөзде")},
        {rtl::Variant::Null(), rtl::Variant::Null(), rtl::Variant::Null(), rtl::Variant::Null()},
        {rtl::Variant(std::int32_t(0)), rtl::Variant(std::int32_t(0)), rtl::Variant(u""), rtl::Variant(u"ab")}};
    TClientDataSet* client = OpenThroughAProvider(owner, *source);
    const std::vector<std::vector<std::string>> expected = {
        {"-7", "70000", "abcde", "сөзде"}, {"null", "null", "null", "null"}, {"0", "0", "", "ab"}};
    std::vector<std::vector<std::string>> got;
    for (client->First(); !client->Eof(); client->Next()) {
        std::vector<std::string> row;
        for (const char16_t* name : {u"S", u"I", u"A", u"W"}) {
            data::TField* field = client->FieldByName(name);
            row.push_back(field->IsNull() ? "null" : rtl::StringToUtf8(field->AsString()));
        }
        got.push_back(row);
    }
    EXPECT_EQ(got, expected);
}

// Dates and times travel in the packet's forms (a day count from 1 January
// of year 1, milliseconds since midnight, milliseconds from the same
// origin) and arrive as the TDateTime they left as, before 1899 too.
TEST(ProviderColumns, DatesAndTimesTravelInThePacketsFormAndArriveAsTheyLeft) {
    struct TCase {
        data::TFieldType Type;
        data::TDateTime Value;
        double Packed;         // the packet's number
        data::TDateTime Back;  // what the packet's number reads as
    } const cases[] = {
        // clang-format off
        {data::ftDate, 0.0, 693594, 0.0},            {data::ftDate, 45636.0, 739230, 45636.0},
        {data::ftDate, -1.0, 693593, -1.0},          {data::ftTime, 0.5, 43200000, 0.5},
        {data::ftTime, 0.0, 0, 0.0},
        {data::ftTime, 0.999999999999, 0, 0.0},      // rounds to the next midnight
        {data::ftDateTime, 45636.75, 739230 * 86400000.0 + 64800000, 45636.75},
        {data::ftDateTime, -1.25, 693593 * 86400000.0 + 21600000, -1.25},
        {data::ftDateTime, 0.0, 693594 * 86400000.0, 0.0},
        // clang-format on
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.Type << " value " << c.Value);
        std::uint8_t packed[8] = {};
        DateTimeToPacket(c.Type, c.Value, packed);
        const double number = c.Type == data::ftDateTime ? GetLE<double>(packed) : GetLE<std::int32_t>(packed);
        EXPECT_EQ(number, c.Packed);
        EXPECT_DOUBLE_EQ(PacketToDateTime(c.Type, packed), c.Back);
    }
    std::uint8_t packed[8] = {};
    for (const double impossible : {std::nan(""), 1e300, -4e6})
        EXPECT_THROW(DateTimeToPacket(data::ftDateTime, impossible, packed), rtl::EConvertError) << impossible;

    rtl::TComponent owner(nullptr);
    auto* source = new testing_data::TMemoryDataSet(
        &owner, {{u"D", data::ftDate}, {u"T", data::ftTime}, {u"DT", data::ftDateTime}});
    source->Rows = {{rtl::Variant(45636.0), rtl::Variant(0.5), rtl::Variant(45636.75)},
                    {rtl::Variant(-1.0), rtl::Variant(0.25), rtl::Variant(-1.25)},
                    {rtl::Variant::Null(), rtl::Variant::Null(), rtl::Variant::Null()}};
    TClientDataSet* client = OpenThroughAProvider(owner, *source);
    std::vector<std::vector<double>> got;
    for (client->First(); !client->Eof(); client->Next()) {
        std::vector<double> row;
        for (const char16_t* name : {u"D", u"T", u"DT"}) {
            data::TField* field = client->FieldByName(name);
            row.push_back(field->IsNull() ? -999 : field->AsDateTime());
        }
        got.push_back(row);
    }
    EXPECT_EQ(got,
              (std::vector<std::vector<double>>{{45636.0, 0.5, 45636.75}, {-1.0, 0.25, -1.25}, {-999, -999, -999}}));
    EXPECT_EQ(client->FieldByName(u"D")->DataType(), data::ftDate);
    EXPECT_EQ(client->FieldByName(u"T")->DataType(), data::ftTime);
    EXPECT_EQ(client->FieldByName(u"DT")->DataType(), data::ftDateTime);
}

namespace {

class TProviderList : public rtl::TComponent, public IProviderContainer {
public:
    using rtl::TComponent::TComponent;
    std::vector<std::pair<std::string, TCustomProvider*>> Calls;
    void RegisterProvider(TCustomProvider& Provider) override { Calls.emplace_back("register", &Provider); }
    void UnRegisterProvider(TCustomProvider& Provider) override { Calls.emplace_back("unregister", &Provider); }
};

}  // namespace

// A provider made with a provider container as its owner is on its list
// while it lives; under an ordinary owner nothing is registered.
TEST(ProviderContainer, ProvidersRegisterWithAContainerOwner) {
    TProviderList list(nullptr);
    auto* provider = new TDataSetProvider(&list);
    EXPECT_EQ(list.Calls, (std::vector<std::pair<std::string, TCustomProvider*>>{{"register", provider}}));
    delete provider;
    EXPECT_EQ(list.Calls, (std::vector<std::pair<std::string, TCustomProvider*>>{{"register", provider},
                                                                                 {"unregister", provider}}));
    rtl::TComponent plain(nullptr);
    auto* other = new TDataSetProvider(&plain);
    EXPECT_EQ(other->Owner(), &plain);
    EXPECT_EQ(list.Calls.size(), 2u);
}
