#pragma once
// The data chain of the main window without its controls: an owner holding
// SQLConnection1 -> SQLQuery1 -> DataSetProvider1 -> ClientDataSet1, set up
// with the design's property values, over a dictionary database in a
// temporary folder.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "datapacket/client_dataset.h"
#include "datapacket/ds_intf.h"
#include "datapacket/provider.h"
#include "sql_components_support.h"

namespace chain_test {

using rtl::String;

// Reads a packet into a fresh record store.
inline std::shared_ptr<datapacket::IDSBase> StoreOf(const rtl::Variant& Packet) {
    auto store = datapacket::CreateDSBase();
    const rtl::TBytes* bytes = datapacket::VarToDataPacket(Packet);
    EXPECT_NE(bytes, nullptr);
    EXPECT_EQ(store->AppendData(bytes, true), datapacket::DBERR_NONE);
    return store;
}

inline std::vector<datapacket::DSFLDDesc> DescsOf(datapacket::IDSBase& Store) {
    datapacket::DSProps props;
    EXPECT_EQ(Store.GetProps(props), datapacket::DBERR_NONE);
    std::vector<datapacket::DSFLDDesc> descs(props.iFields);
    if (!descs.empty()) {
        EXPECT_EQ(Store.GetFieldDescs(descs.data()), datapacket::DBERR_NONE);
    }
    return descs;
}

inline std::uint32_t U32At(const rtl::TBytes& Bytes, std::size_t Offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, Bytes.data() + Offset, 4);
    return v;
}

class ChainTest : public sql_test::SqlComponentsTest {
protected:
    void SetUp() override {
        SqlComponentsTest::SetUp();
        Connection.reset();  // the owner holds the window's connection
        Owner = std::make_unique<rtl::TComponent>(nullptr);
        Conn = new sql::TSQLConnection(Owner.get());
        Conn->SetName(u"SQLConnection1");
        Conn->SetConnectionName(u"SQLITECONNECTION");
        Conn->SetDriverName(u"Sqlite");
        Conn->SetLoginPrompt(false);
        Conn->OnTrace = [this](const sql::TDBXTraceInfo& Info) {
            if (Info.FTraceMessage.rfind(u"select", 0) == 0) Statements.push_back(Info.FTraceMessage);
        };
        Query = new sql::TSQLQuery(Owner.get());
        Query->SetName(u"SQLQuery1");
        Query->SetSQLConnection(Conn);
        Query->SetMaxBlobSize(-1);
        Provider = new datapacket::TDataSetProvider(Owner.get());
        Provider->SetName(u"DataSetProvider1");
        Provider->SetDataSet(Query);
        Provider->SetResolveToDataSet(true);
        Client = new datapacket::TClientDataSet(Owner.get());
        Client->SetName(u"ClientDataSet1");
        Client->SetProviderName(u"DataSetProvider1");
        Client->SetPacketRecords(500000);
        Client->SetReadOnly(true);
    }

    void TearDown() override { Owner.reset(); }

    // Makes the dictionary with Rows rows, connects and opens the query on Sql.
    void OpenQuery(const String& Sql, int Rows = -1) {
        if (Rows >= 0) sql_test::MakeDictionary(Database, Rows);
        Conn->Params().Clear();
        Conn->Params().Add(u"DriverName=Sqlite");
        Conn->Params().Add(u"Database=" + Database);
        Conn->Params().Add(u"FailIfMissing=False");
        Conn->Open();
        SetSql(Sql);
    }

    // As a search does: new statement text, then Open.
    void SetSql(const String& Sql) {
        Query->SQL().Clear();
        Query->SQL().Add(Sql);
        Query->Open();
    }

    // Runs Sql on the database through a connection of its own; the query
    // is closed first so that it holds no lock.
    void Exec(const String& Sql) {
        Query->Close();
        auto connection = sql_test::Connect(Database);
        sql_test::Execute(*connection, Sql);
    }

    String Text(const char16_t* Field) { return Client->FieldByName(Field)->AsString(); }
    std::int64_t Id() { return Client->FieldByName(u"id")->AsLargeInt(); }

    std::unique_ptr<rtl::TComponent> Owner;
    sql::TSQLConnection* Conn = nullptr;
    sql::TSQLQuery* Query = nullptr;
    datapacket::TDataSetProvider* Provider = nullptr;
    datapacket::TClientDataSet* Client = nullptr;
};

}  // namespace chain_test
