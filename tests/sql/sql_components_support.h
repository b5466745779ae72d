#pragma once
// Shared fixture of the SQL component tests: a dictionary database in a
// temporary folder, and a connection component configured as the program
// configures it, recording the statements it runs.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "exception_message.h"
#include "rtl/exceptions.h"
#include "sql/dbx_common.h"
#include "sql/sql_connection.h"
#include "sql/sql_dataset.h"
#include "sql_test_support.h"

namespace sql_test {

// lx_items with Rows rows: rows 1..min(Rows,1500) hold the word "кітапN",
// the rest "әнN"; lx_word_upper holds the capitals of lx_word.
inline void MakeDictionary(const String& Path, int Rows) {
    auto connection = Connect(Path);
    Execute(*connection,
            u"create table lx_items (id INTEGER PRIMARY KEY, lx_word VARCHAR(40) NOT NULL, lx_text TEXT, "
            u"lx_title VARCHAR(100), lx_word_upper VARCHAR(40))");
    if (Rows == 0) return;
    Execute(*connection,
            u"insert into lx_items (id, lx_word, lx_text, lx_title, lx_word_upper) "
            u"with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
                rtl::IntToStr(Rows) +
                u") select i, case when i <= 1500 then 'кітап' else 'ән' end || i, "
                u"'Мәтін ' || i, 'Орфографиялық сөздік', "
                u"case when i <= 1500 then 'КІТАП' else 'ӘН' end || i from n");
}

using testing_support::MessageOf;

class SqlComponentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Database = Dir.File("lx_items.db");
        Connection = std::make_unique<sql::TSQLConnection>(nullptr);
        // As the main window designs it.
        Connection->SetName(u"SQLConnection1");
        Connection->SetConnectionName(u"SQLITECONNECTION");
        Connection->SetDriverName(u"Sqlite");
        Connection->SetLoginPrompt(false);
        Connection->OnTrace = [this](const sql::TDBXTraceInfo& Info) {
            Calls.push_back(Info.FTraceMessage);
            if (Info.FTraceMessage.rfind(u"select", 0) == 0) Statements.push_back(Info.FTraceMessage);
        };
    }

    // The three parameter lines of the program's start-up.
    void UseStartupParams() {
        Connection->Params().Clear();
        Connection->Params().Add(u"DriverName=Sqlite");
        Connection->Params().Add(u"Database=" + Database);
        Connection->Params().Add(u"FailIfMissing=False");
    }

    std::unique_ptr<sql::TSQLQuery> MakeQuery() {
        auto query = std::make_unique<sql::TSQLQuery>(nullptr);
        query->SetName(u"SQLQuery1");
        query->SetMaxBlobSize(-1);
        query->SetSQLConnection(Connection.get());
        return query;
    }

    // The count statements the connection ran, in order.
    std::vector<String> CountStatements() const {
        std::vector<String> out;
        for (const String& s : Statements)
            if (s.rfind(u"select count(*)", 0) == 0) out.push_back(s);
        return out;
    }

    TempDir Dir;
    String Database;
    std::vector<String> Statements;  // the select statements run
    std::vector<String> Calls;       // every traced driver call
    std::unique_ptr<sql::TSQLConnection> Connection;
};

}  // namespace sql_test
