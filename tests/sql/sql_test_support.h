#pragma once
// Shared helpers of the SQL tests: a temporary folder removed afterwards and
// connections opened through the process connection factory.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "sql/connection_factory.h"

namespace sql_test {

using rtl::String;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        FPath = std::filesystem::temp_directory_path() /
                ("kalimdar-sql-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(FPath);
    }
    ~TempDir() {
        std::error_code ec;
        // Restore permissions a test may have taken away so removal succeeds.
        for (auto it = std::filesystem::recursive_directory_iterator(FPath, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(FPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The UTF-16 path of a file in the folder.
    String File(const std::string& Name) const { return rtl::Utf8ToString((FPath / Name).string()); }

private:
    std::filesystem::path FPath;
};

// Properties naming the SQLite driver and Database; FailIfMissing only when given.
inline std::unique_ptr<sql::TDBXProperties> SqliteProperties(const String& Database,
                                                             const String& FailIfMissing = u"False") {
    auto properties = std::make_unique<sql::TDBXProperties>();
    properties->SetValue(u"DriverName", u"Sqlite");
    properties->SetValue(u"Database", Database);
    if (!FailIfMissing.empty()) properties->SetValue(u"FailIfMissing", FailIfMissing);
    return properties;
}

inline std::unique_ptr<sql::TDBXConnection> Connect(const String& Database, const String& FailIfMissing = u"False") {
    sql::TDBXConnectionFactory& factory = sql::TDBXConnectionFactory::GetConnectionFactory();
    sql::TDBXConnectionFactory::Lock();
    struct Unlock {
        ~Unlock() { sql::TDBXConnectionFactory::Unlock(); }
    } unlock;
    return factory.GetConnection(*SqliteProperties(Database, FailIfMissing));
}

inline void Execute(sql::TDBXConnection& Connection, const String& Statement) {
    auto command = Connection.CreateCommand();
    command->SetText(Statement);
    command->ExecuteUpdate();
}

// Runs F and gives the TDBXError it raised (fails the test when none).
inline sql::TDBXError CatchDBXError(const std::function<void()>& F) {
    try {
        F();
    } catch (const sql::TDBXError& e) {
        return e;
    }
    ADD_FAILURE() << "no TDBXError raised";
    return sql::TDBXError(-1, u"none");
}

}  // namespace sql_test
