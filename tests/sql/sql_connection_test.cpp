#include <gtest/gtest.h>

#include "data/connection.h"
#include "data/db_error.h"
#include "rtl/exceptions.h"
#include "rtl/files.h"
#include "sql_components_support.h"

using namespace sql;
using namespace sql_test;
using rtl::String;

namespace {

// Records the codes the connection gives the screen cursor.
class CursorRecorder {
public:
    CursorRecorder() {
        data::ScreenCursorProc = [this](int Code) { Codes.push_back(Code); };
    }
    ~CursorRecorder() { data::ScreenCursorProc = nullptr; }
    std::vector<int> Codes;
};

using SqlConnectionTest = SqlComponentsTest;

}  // namespace

TEST_F(SqlConnectionTest, StartupParamsOpenTheDatabaseAndReadItsProperties) {
    CursorRecorder cursor;
    UseStartupParams();
    Connection->SetConnected(true);
    EXPECT_TRUE(Connection->Connected());
    EXPECT_EQ(Connection->ConnectionState(), csStateOpen);
    ASSERT_NE(Connection->DBXConnection(), nullptr);
    EXPECT_EQ(Connection->QuoteChar(), u"\"");
    EXPECT_EQ(Connection->GetIdOption(), idMixCase);
    EXPECT_EQ(cursor.Codes, (std::vector<int>{-11, -11, 0}));
    EXPECT_TRUE(rtl::FileExists(Database));  // FailIfMissing=False created it

    TDBXConnection* first = Connection->DBXConnection();
    Connection->SetConnected(true);  // connecting twice does nothing
    EXPECT_EQ(Connection->DBXConnection(), first);

    Connection->SetConnected(false);
    EXPECT_FALSE(Connection->Connected());
    EXPECT_EQ(Connection->DBXConnection(), nullptr);
}

TEST_F(SqlConnectionTest, DriverNameReachesTheFactoryWithoutAParamsLine) {
    MakeDictionary(Database, 0);
    Connection->Params().Add(u"Database=" + Database);
    Connection->Open();
    EXPECT_TRUE(Connection->Connected());
    ASSERT_NE(Connection->ConnectionData(), nullptr);  // the driver's defaults, for tools
}

TEST_F(SqlConnectionTest, MissingDriverNameLeavesItClosed) {
    CursorRecorder cursor;
    Connection->SetDriverName(u"");
    // A parameter line does not stand in for the DriverName property.
    Connection->Params().Add(u"DriverName=Sqlite");
    Connection->Params().Add(u"Database=" + Database);
    EXPECT_EQ(MessageOf([&] { Connection->Open(); }), u"Missing DriverName property");
    EXPECT_FALSE(Connection->Connected());
    EXPECT_EQ(Connection->ConnectionState(), csStateClosed);
    EXPECT_EQ(cursor.Codes, (std::vector<int>{0}));  // the cursor is always restored
}

TEST_F(SqlConnectionTest, FailedConnectLeavesItClosedAndASecondAttemptTriesAgain) {
    CursorRecorder cursor;
    Connection->Params().Add(u"DriverName=Sqlite");
    Connection->Params().Add(u"Database=" + Database);
    Connection->Params().Add(u"FailIfMissing=True");
    EXPECT_THROW(Connection->Open(), TDBXError);
    EXPECT_FALSE(Connection->Connected());
    EXPECT_EQ(Connection->DBXConnection(), nullptr);
    EXPECT_EQ(cursor.Codes.back(), 0);

    Connection->Params().SetValue(u"FailIfMissing", u"False");
    Connection->Open();
    EXPECT_TRUE(Connection->Connected());
}

TEST_F(SqlConnectionTest, OpenAndClosedConnectionMessagesCarryTheName) {
    EXPECT_EQ(MessageOf([&] { Connection->CheckActive(); }),
              u"SQLConnection1: Cannot perform this operation on a closed connection");
    UseStartupParams();
    Connection->Open();
    EXPECT_EQ(MessageOf([&] { Connection->SetDriverName(u"Other"); }),
              u"SQLConnection1: Cannot perform this operation on an open connection");
    EXPECT_EQ(MessageOf([&] { Connection->SetParams(rtl::TStringList{}); }),
              u"SQLConnection1: Cannot perform this operation on an open connection");
    EXPECT_EQ(Connection->Params().Count(), 3);
}

TEST_F(SqlConnectionTest, ClosingTheConnectionClosesItsDatasets) {
    MakeDictionary(Database, 3);
    UseStartupParams();
    auto query = MakeQuery();
    query->SQL().Add(u"select id from lx_items");
    query->Open();  // connects first
    EXPECT_TRUE(Connection->Connected());
    EXPECT_EQ(Connection->ActiveStatements(), 1);
    Connection->Close();
    EXPECT_FALSE(query->Active());
    EXPECT_FALSE(query->Prepared());
    EXPECT_EQ(Connection->ActiveStatements(), 0);
    query->Open();  // and reconnects
    EXPECT_EQ(query->FieldByName(u"id")->AsInteger(), 1);
}

TEST_F(SqlConnectionTest, WithoutKeepConnectionTheLastClosingDatasetDisconnects) {
    MakeDictionary(Database, 3);
    UseStartupParams();
    Connection->SetKeepConnection(false);
    auto query = MakeQuery();
    query->SQL().Add(u"select id from lx_items");
    query->Open();
    query->Close();
    EXPECT_FALSE(Connection->Connected());
}

TEST_F(SqlConnectionTest, DestroyingTheConnectionDetachesItsDatasets) {
    MakeDictionary(Database, 3);
    UseStartupParams();
    auto query = MakeQuery();
    query->SQL().Add(u"select id from lx_items");
    query->Open();
    Connection.reset();
    EXPECT_FALSE(query->Active());
    EXPECT_EQ(query->SQLConnection(), nullptr);
}

TEST_F(SqlConnectionTest, NonAsciiFolderAndKazakhText) {
    std::filesystem::create_directories(Dir.Path() / "Сөздік папкасы");
    Database = Dir.File("Сөздік папкасы/lx_items.db");
    MakeDictionary(Database, 2);
    UseStartupParams();
    auto query = MakeQuery();
    query->SQL().Add(u"select lx_word, lx_word_upper from lx_items where lx_word_upper = 'КІТАП2'");
    query->Open();
    EXPECT_EQ(query->Fields()[0]->AsString(), u"кітап2");
    EXPECT_EQ(query->RecordCount(), 1);
}

// The connection hands its certificate-validation event to the driver with
// the connection properties, through the factory to the driver connection's
// own properties; calling it asks the component's handler.
TEST_F(SqlConnectionTest, TheCertificateEventReachesTheDriverConnection) {
    UseStartupParams();
    std::vector<int> depths;
    Connection->OnValidatePeerCertificate = [&](TSQLConnection& Sender, const String& Certificate, int Depth,
                                                bool& Accept) {
        EXPECT_EQ(&Sender, Connection.get());
        EXPECT_EQ(Certificate, u"certificate");
        depths.push_back(Depth);
        Accept = false;
    };
    Connection->SetConnected(true);
    const std::any* event = Connection->DBXConnection()->GetConnectionProperties().GetEvent(u"ValidatePeerCertificate");
    ASSERT_NE(event, nullptr);
    const auto* validate = std::any_cast<TValidatePeerCertificateEvent>(event);
    ASSERT_NE(validate, nullptr);
    bool accept = true;
    (*validate)(nullptr, u"certificate", 2, accept);
    EXPECT_FALSE(accept);
    EXPECT_EQ(depths, std::vector<int>{2});
}

TEST(SqlConnectionDefaults, AFreshConnectionIsClosedWithTheDesignedDefaults) {
    TSQLConnection connection(nullptr);
    EXPECT_EQ(connection.ConnectionState(), csStateClosed);
    EXPECT_FALSE(connection.Connected());
    EXPECT_TRUE(connection.KeepConnection());
    EXPECT_TRUE(connection.LoginPrompt());
    EXPECT_FALSE(connection.LoadParamsOnConnect());
    EXPECT_TRUE(connection.SQLHourGlass());
    EXPECT_TRUE(connection.AutoClone());
    EXPECT_EQ(connection.TableScope(), (TTableScopes{tsTable, tsView}));
    EXPECT_FALSE(connection.ParamsLoaded());
    EXPECT_EQ(connection.MaxStmtsPerConn(), 0);
    EXPECT_EQ(connection.ActiveStatements(), 0);
    EXPECT_EQ(connection.SelectStatements(), 0);
}
