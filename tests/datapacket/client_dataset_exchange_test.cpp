// What the client dataset exchanges with a provider, seen through a scripted
// provider that records each request and answers with packets made here:
// parameters sent and taken back, answers a refresh cannot use, data given
// without a provider, and the calculated fields on top of the packet's rows.

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/data_links.h"
#include "data/number_fields.h"
#include "data/string_fields.h"
#include "datapacket/client_dataset.h"
#include "datapacket/ds_errors.h"
#include "datapacket/ds_intf.h"
#include "datapacket/provider.h"
#include "exception_message.h"

using namespace datapacket;
using rtl::String;
using rtl::Variant;
using testing_support::MessageOf;

namespace {

// Answers requests from a queue and keeps what each request carried. A pure
// reset (no rows asked, with a reset) answers nothing; once the queue is
// empty, every request is answered with Null (no packet, no rows).
class TScriptedProvider : public TCustomProvider {
public:
    using TCustomProvider::TCustomProvider;

    struct TRequest {
        std::int32_t Count;
        TGetRecordOptions Options;
        Variant Params;
    };
    struct TAnswer {
        Variant Data;
        std::int32_t RecsOut;
    };
    std::vector<TRequest> Requests;
    std::deque<TAnswer> Answers;
    // The parameters handed back to a client that sent some.
    Variant ParamsBack;

protected:
    Variant InternalGetRecords(std::int32_t Count, std::int32_t& RecsOut, TGetRecordOptions Options, rtl::StringView,
                               Variant& Params) override {
        Requests.push_back({Count, Options, Params});
        RecsOut = 0;
        if (Count == 0 && Options.Contains(grReset)) return {};
        if (Answers.empty()) return Variant::Null();
        TAnswer answer = Answers.front();
        Answers.pop_front();
        RecsOut = answer.RecsOut;
        return answer.Data;
    }
    Variant GetParamsVariant() override { return ParamsBack; }
};

TDSDataPacketFldDesc Column(const char* Name, std::uint32_t Type) {
    TDSDataPacketFldDesc desc;
    std::strncpy(desc.szFieldName, Name, sizeof desc.szFieldName - 1);
    desc.iFieldType = Type;
    return desc;
}

void Ok(DBResult Result) { ASSERT_EQ(Result, DBERR_NONE); }

// Columns "id" (32-bit integer), "word" (wide string of 10 characters) and
// "score" (a 32-bit integer the store keeps as a calculated column); one row
// per id with word "w<id>" and score id * 10. Without metadata the packet
// holds rows only.
Variant WordsPacket(std::initializer_list<std::int32_t> Ids, bool MetaData = true) {
    const TDSDataPacketFldDesc columns[] = {
        Column("id", MakeFieldType(dsfldINT, 4)),
        Column("word", MakeFieldType(dsfldUNICODE, 2, dsVaryingFldType)),
        Column("score", MakeFieldType(dsfldINT, 4)),
    };
    auto writer = CreateDSWriter();
    if (MetaData) {
        Ok(writer->Init_Sequential(1, 3));
        const std::int32_t width = 20, calculated = 1;
        Ok(writer->AddColumnDesc(columns[0]));
        Ok(writer->AddColumnDesc(columns[1]));
        Ok(writer->AddAttribute(dsAttrField, "WIDTH", MakeFieldType(dsfldINT, 4), 4, &width));
        Ok(writer->AddColumnDesc(columns[2]));
        Ok(writer->AddAttribute(dsAttrField, "CALCULATED", MakeFieldType(dsfldINT, 4), 4, &calculated));
    } else {
        Ok(writer->Init(1, 3, columns));
    }
    for (std::int32_t id : Ids) {
        const std::uint8_t status = dsRecUnmodified;
        const String word = u"w" + rtl::IntToStr(id);
        const std::int32_t score = id * 10;
        Ok(writer->PutField(fldIsValue, 1, &status));
        Ok(writer->PutField(fldIsValue, 4, &id));
        Ok(writer->PutField(fldIsValue, static_cast<std::uint32_t>(word.size() * 2), word.data()));
        Ok(writer->PutField(fldIsValue, 4, &score));
    }
    rtl::TBytes packet;
    Ok(writer->GetDataPacket(packet));
    return Variant(std::move(packet));
}

class ClientExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Owner = std::make_unique<rtl::TComponent>(nullptr);
        Provider = new TScriptedProvider(Owner.get());
        Provider->SetName(u"Script1");
        Client = new TClientDataSet(Owner.get());
        Client->SetName(u"ClientDataSet1");
        Client->SetProviderName(u"Script1");
        Client->SetReadOnly(true);
    }

    std::int32_t Id() { return Client->FieldByName(u"id")->AsInteger(); }
    std::vector<String> Words() {
        std::vector<String> words;
        for (Client->First(); !Client->Eof(); Client->Next()) words.push_back(Client->FieldByName(u"word")->AsString());
        return words;
    }

    std::unique_ptr<rtl::TComponent> Owner;
    TScriptedProvider* Provider = nullptr;
    TClientDataSet* Client = nullptr;
};

data::TParam Param(const char16_t* Name, Variant Value, data::TFieldType Type = data::ftInteger) {
    return {Name, Type, data::ptInput, std::move(Value)};
}

data::TParams ListOf(std::initializer_list<data::TParam> Items) {
    data::TParams list;
    for (const auto& item : Items) list.Add(item);
    return list;
}

data::TParams Unpacked(const Variant& Packed) {
    data::TParams list;
    UnpackParams(Packed, list);
    return list;
}

}  // namespace

TEST(PackedParams, EveryKindOfValueComesBackAsItWent) {
    const data::TParams list = ListOf({
        Param(u"n", Variant(std::int32_t(-7))),
        Param(u"big", Variant(std::int64_t(1) << 40), data::ftLargeint),
        Param(u"flag", Variant(true), data::ftBoolean),
        Param(u"x", Variant(2.5), data::ftFloat),
        Param(u"сөз", Variant(u"кітап"), data::ftWideString),
        Param(u"raw", Variant(rtl::TBytes{0, 1, 255}), data::ftBytes),
        Param(u"none", Variant::Null()),
        {u"out", data::ftSingle, data::ptResult, Variant()},
    });
    const Variant packed = PackageParams(list);
    ASSERT_EQ(packed.VarType(), rtl::TVarType::varBytes);
    EXPECT_EQ(Unpacked(packed), list);
    EXPECT_TRUE(PackageParams({}).IsNull());

    // Unpacking replaces the list; Null and unassigned leave it alone.
    data::TParams dest = ListOf({Param(u"old", Variant(std::int32_t(1)))});
    UnpackParams(Variant::Null(), dest);
    UnpackParams(Variant(), dest);
    EXPECT_EQ(dest.Count(), 1);
    UnpackParams(packed, dest);
    EXPECT_EQ(dest, list);
}

TEST(PackedParams, MalformedBytesAreRefusedAndLeaveTheListAlone) {
    const rtl::TBytes good =
        PackageParams(ListOf({Param(u"w", Variant(u"abc"), data::ftWideString), Param(u"n", Variant(std::int32_t(3)))}))
            .AsBytes();
    std::vector<std::pair<const char*, Variant>> cases;
    // Cut anywhere short of the end.
    for (std::size_t size = 0; size < good.size(); ++size)
        cases.push_back({"cut", Variant(rtl::TBytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)))});
    rtl::TBytes longer = good;
    longer.push_back(0);
    cases.push_back({"trailing byte", Variant(longer)});
    rtl::TBytes tag = good;
    tag[0] = 'X';
    cases.push_back({"other tag", Variant(tag)});
    rtl::TBytes type = good;
    type[4 + 2 + 4 + 2] = data::FieldTypeCount;  // the first parameter's field type
    cases.push_back({"field type", Variant(type)});
    rtl::TBytes huge = good;
    huge[4 + 2 + 4 + 2 + 2 + 1] = 0xFF;  // the first value's length, high byte
    huge[4 + 2 + 4 + 2 + 2 + 4] = 0x7F;
    cases.push_back({"text length", Variant(huge)});
    cases.push_back({"not bytes", Variant(std::int32_t(5))});

    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        data::TParams dest = ListOf({Param(u"old", Variant(std::int32_t(1)))});
        EXPECT_EQ(MessageOf([&] { UnpackParams(bytes, dest); }), u"Invalid parameter list");
        EXPECT_EQ(dest.Count(), 1);
    }
}

TEST_F(ClientExchangeTest, ParamsTravelToTheProviderAndComeBack) {
    Client->Params().Add(Param(u"limit", Variant(std::int32_t(3))));
    Client->Params().Add(Param(u"word", Variant(u"кіт"), data::ftWideString));
    const data::TParams sent = Client->Params();
    const data::TParams back = ListOf({Param(u"limit", Variant(std::int32_t(2)))});
    Provider->ParamsBack = PackageParams(back);
    Provider->Answers = {{WordsPacket({1, 2}), 2}, {WordsPacket({4, 5}, false), 2}};
    Client->SetPacketRecords(2);
    Client->Open();

    ASSERT_EQ(Provider->Requests.size(), 1u);
    EXPECT_EQ(Unpacked(Provider->Requests[0].Params), sent);
    EXPECT_EQ(Client->Params(), back);

    // A refresh passes no parameters of its own: the dataset's go.
    Client->Refresh();
    ASSERT_EQ(Provider->Requests.size(), 2u);
    EXPECT_TRUE(Provider->Requests[1].Options.Contains(grReset));
    EXPECT_EQ(Unpacked(Provider->Requests[1].Params), back);
    EXPECT_EQ(Words(), (std::vector<String>{u"w4", u"w5"}));
}

TEST_F(ClientExchangeTest, WithoutParamsOpenSendsNullAndLaterRequestsNothing) {
    Provider->Answers = {{WordsPacket({1, 2}), 2}, {WordsPacket({3}, false), 1}};
    Client->SetPacketRecords(2);
    Client->Open();
    Client->Last();  // fetches the rest
    ASSERT_EQ(Provider->Requests.size(), 2u);
    EXPECT_TRUE(Provider->Requests[0].Params.IsNull());
    EXPECT_TRUE(Provider->Requests[1].Params.IsEmpty());
    EXPECT_EQ(Client->Params().Count(), 0);
}

// A refresh whose answer holds no packet must not take it for "no rows":
// it fails before the store is touched, so the old rows and the active row
// stay.
TEST_F(ClientExchangeTest, RefreshWithoutAUsablePacketKeepsTheRows) {
    const struct {
        const char* what;
        Variant answer;
    } cases[] = {
        {"unassigned", Variant()},
        {"too short", Variant(rtl::TBytes(21, 0))},
        {"not bytes", Variant(std::int32_t(1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Three rows asked and three sent: the provider may hold more.
        Provider->Answers = {{WordsPacket({1, 2, 3}), 3}, {c.answer, 3}};
        Client->SetPacketRecords(3);
        Client->Open();
        ASSERT_FALSE(Client->ProviderEOF());
        Client->SetRecNo(2);

        EXPECT_EQ(MessageOf([&] { Client->Refresh(); }), u"Invalid data packet");
        ASSERT_TRUE(Client->Active());
        EXPECT_EQ(Client->RecordCount(), 3);
        EXPECT_EQ(Client->RecNo(), 2);
        EXPECT_EQ(Id(), 2);
        EXPECT_EQ(Words(), (std::vector<String>{u"w1", u"w2", u"w3"}));
        Client->Close();
    }
}

// Data given directly, with no provider, are kept across a close and come
// back at the next open, rows added later included.
TEST_F(ClientExchangeTest, DataWithoutAProviderAreKeptAcrossAClose) {
    Client->SetProviderName(u"");
    EXPECT_EQ(MessageOf([&] { Client->Open(); }), u"ClientDataSet1: Missing data provider or data packet");

    Client->SetData(WordsPacket({1, 2}));
    ASSERT_TRUE(Client->Active());
    Client->AddDataPacket(WordsPacket({3}, false), true);
    EXPECT_EQ(Words(), (std::vector<String>{u"w1", u"w2", u"w3"}));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Client->Close();
        Client->Open();
        EXPECT_EQ(Words(), (std::vector<String>{u"w1", u"w2", u"w3"}));
    }

    // Null data closes and forgets them.
    Client->SetData(Variant::Null());
    EXPECT_FALSE(Client->Active());
    EXPECT_EQ(MessageOf([&] { Client->Open(); }), u"ClientDataSet1: Missing data provider or data packet");
    EXPECT_TRUE(Provider->Requests.empty());
}

// With a provider nothing is kept: every open asks it afresh.
TEST_F(ClientExchangeTest, DataFromAProviderAreNotKeptAcrossAClose) {
    Provider->Answers = {{WordsPacket({1, 2}), 2}, {WordsPacket({7}), 1}};
    Client->Open();
    Client->Close();
    Client->Open();
    EXPECT_EQ(Words(), (std::vector<String>{u"w7"}));
    // The opens and the reset sent by the close between them.
    ASSERT_EQ(Provider->Requests.size(), 3u);
    EXPECT_TRUE(Provider->Requests[1].Options.Contains(grReset));
    EXPECT_EQ(Provider->Requests[1].Count, 0);
}

// A link column takes a field number but gets no definition and no field;
// the fields after it, a data field and one the store calculates, read
// their own columns.
TEST_F(ClientExchangeTest, FieldsAfterALinkColumnReadTheirOwnColumns) {
    TDSDataPacketFldDesc link = Column("master", MakeFieldType(dsfldINT, 4));
    link.iAttributes = fldAttrLINK;
    auto writer = CreateDSWriter();
    Ok(writer->Init_Sequential(1, 4));
    Ok(writer->AddColumnDesc(Column("id", MakeFieldType(dsfldINT, 4))));
    Ok(writer->AddColumnDesc(link));
    Ok(writer->AddColumnDesc(Column("word", MakeFieldType(dsfldUNICODE, 2, dsVaryingFldType))));
    const std::int32_t width = 20, calculated = 1;
    Ok(writer->AddAttribute(dsAttrField, "WIDTH", MakeFieldType(dsfldINT, 4), 4, &width));
    Ok(writer->AddColumnDesc(Column("score", MakeFieldType(dsfldINT, 4))));
    Ok(writer->AddAttribute(dsAttrField, "CALCULATED", MakeFieldType(dsfldINT, 4), 4, &calculated));
    const std::uint8_t status = dsRecUnmodified;
    const std::int32_t id = 7, master = 99, score = 70;
    const String word = u"w7";
    Ok(writer->PutField(fldIsValue, 1, &status));
    Ok(writer->PutField(fldIsValue, 4, &id));
    Ok(writer->PutField(fldIsValue, 4, &master));
    Ok(writer->PutField(fldIsValue, static_cast<std::uint32_t>(word.size() * 2), word.data()));
    Ok(writer->PutField(fldIsValue, 4, &score));
    rtl::TBytes packet;
    Ok(writer->GetDataPacket(packet));

    Client->SetProviderName(u"");
    Client->SetData(Variant(std::move(packet)));
    ASSERT_EQ(Client->FieldDefs().Count(), 3);
    EXPECT_EQ(Client->FieldDefs().Items(1)->FieldNo(), 3);  // the link column's number is used up
    EXPECT_EQ(Client->FieldCount(), 3);
    EXPECT_EQ(Client->FieldByName(u"id")->AsInteger(), 7);
    EXPECT_EQ(Client->FieldByName(u"word")->AsString(), u"w7");
    EXPECT_EQ(Client->FieldByName(u"score")->AsInteger(), 70);
}

// Calculated fields are worked out for each record the dataset reads, in
// the record being read, and hold nothing the handler did not set; the
// store's calculated column is read like a data column.
TEST_F(ClientExchangeTest, CalculatedFieldsAreWorkedOutPerRecord) {
    auto addField = [&](data::TField* field, const char16_t* name, data::TFieldKind kind) {
        field->SetFieldName(name);
        field->SetFieldKind(kind);
        field->SetDataSet(Client);
        return field;
    };
    addField(new data::TIntegerField(Owner.get()), u"id", data::fkData);
    addField(new data::TWideStringField(Owner.get()), u"word", data::fkData)->SetSize(10);
    data::TField* score = addField(new data::TIntegerField(Owner.get()), u"score", data::fkInternalCalc);
    data::TField* label = addField(new data::TWideStringField(Owner.get()), u"label", data::fkCalculated);
    label->SetSize(20);
    data::TField* twice = addField(new data::TIntegerField(Owner.get()), u"twice", data::fkCalculated);
    int calculations = 0;
    Client->OnCalcFields = [&](data::TDataSet& DataSet) {
        ++calculations;
        EXPECT_EQ(DataSet.State(), data::dsCalcFields);
        const std::int32_t id = DataSet.FieldByName(u"id")->AsInteger();
        twice->SetAsInteger(id * 2);
        if (id % 3 == 1) label->SetAsString(DataSet.FieldByName(u"word")->AsString() + u"!");
    };
    Provider->Answers = {{WordsPacket({1, 2, 3, 4, 5}), 5}};
    Client->Open();
    EXPECT_GT(calculations, 0);

    // A view of three rows holds three records at once.
    data::TDataSource source(nullptr);
    source.SetDataSet(Client);
    data::TDataLink view;
    view.SetBufferCount(3);
    view.SetDataSource(&source);
    const auto check = [&](std::int32_t id) {
        SCOPED_TRACE(id);
        ASSERT_EQ(Id(), id);
        EXPECT_EQ(twice->AsInteger(), id * 2);
        EXPECT_EQ(score->AsInteger(), id * 10);
        if (id % 3 == 1) {
            EXPECT_EQ(label->AsString(), u"w" + rtl::IntToStr(id) + u"!");
        } else {
            EXPECT_TRUE(label->IsNull());
        }
    };
    for (std::int32_t id = 1; id <= 5; ++id, Client->Next()) check(id);
    for (std::int32_t id = 5; id >= 1; --id, Client->Prior()) check(id);
    Client->SetRecNo(4);
    check(4);
    view.SetDataSource(nullptr);

    // Outside the calculation the fields cannot be set.
    EXPECT_EQ(MessageOf([&] { twice->SetAsInteger(1); }), u"ClientDataSet1: Cannot modify a read-only dataset");
    EXPECT_EQ(twice->AsInteger(), 8);
}

// The dataset's settings reach the record store as it opens.
TEST_F(ClientExchangeTest, SettingsReachTheStore) {
    const struct {
        const char* what;
        std::function<void(bool)> set;
        std::uint32_t prop, on;
    } cases[] = {
        {"read-only", [&](bool v) { Client->SetReadOnly(v); }, dspropREADONLY, 1},
        {"string trim", [&](bool v) { Client->SetDisableStringTrim(v); }, dspropDISABLESTRINGTRIM, 1},
        {"blobs in delta", [&](bool v) { Client->SetIncludeBlobsInDelta(v); }, dspropINCLBLOBSINDELTA, 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        for (bool value : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (value ? " on" : " off"));
            Client->SetReadOnly(false);
            c.set(value);
            Provider->Answers = {{WordsPacket({1}), 1}};
            Client->Open();
            std::uint32_t got = 99;
            ASSERT_EQ(Client->DSBase()->GetProp(c.prop, got), DBERR_NONE);
            EXPECT_EQ(got, value ? c.on : 0u);
            Client->Close();
            c.set(false);
        }
    }
    EXPECT_EQ(Client->DSBase(), nullptr);
}
