#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "rtl/format.h"

#include "sql/connection_factory.h"
#include "sql/driver_registry.h"
#include "sql/sqlite_driver.h"
#include "sql_test_support.h"

using namespace sql;
using sql_test::CatchDBXError;
using sql_test::TempDir;

namespace {

// A driver that loads but cannot connect.
class FakeDriver : public TDBXDriver {
public:
    explicit FakeDriver(const TDBXDriverDef& Def) : TDBXDriver(Def) {
        auto properties = std::make_unique<TDBXProperties>(Def.FDBXContext);
        if (Def.FDriverProperties) properties->MergeProperties(Def.FDriverProperties->GetProperties());
        InitDriverProperties(std::move(properties));
    }
    static std::unique_ptr<TDBXDriver> Create(const TDBXDriverDef& Def) { return std::make_unique<FakeDriver>(Def); }
    std::unique_ptr<TDBXConnection> CreateConnection(TDBXConnectionBuilder&) override {
        throw TDBXError(TDBXErrorCodes::ConnectionFailed, u"fake driver cannot connect");
    }
    void Close() override {}
    String GetDriverVersion() override { return u"1.0"; }
};

// Registers FakeDriver under Name for one test.
struct FakeRegistration {
    explicit FakeRegistration(String Name, TDBXDriverClass Class = &FakeDriver::Create) : FName(std::move(Name)) {
        TDBXDriverRegistry::RegisterDriverClass(FName, Class);
    }
    ~FakeRegistration() { TDBXDriverRegistry::UnloadDriver(FName); }
    String FName;
};

void WriteFile(const std::filesystem::path& Path, const std::string& Text) {
    std::ofstream out(Path, std::ios::binary);
    out << Text;
}

TDBXDriverRegistry& Registry() {
    TDBXDriverRegistry* registry = TDBXDriverRegistry::DBXDriverRegistry();
    if (!registry) throw std::runtime_error("no driver registry");
    return *registry;
}

}  // namespace

TEST(DriverRegistry, SqliteIsRegisteredAtStartAndFoundIgnoringCase) {
    rtl::TStringList names;
    Registry().GetRegisteredDriverNames(names);
    EXPECT_GE(names.IndexOf(u"Sqlite"), 0);

    // A second registration under the name in other letters changes nothing.
    TDBXDriverRegistry::RegisterDriverClass(u"SQLITE", &FakeDriver::Create);
    rtl::TStringList after;
    Registry().GetRegisteredDriverNames(after);
    EXPECT_EQ(after.Count(), names.Count());

    TDBXConnectionFactory& factory = TDBXConnectionFactory::GetConnectionFactory();
    TDBXDriver* first = nullptr;
    for (const char16_t* name : {u"sqlite", u"SQLITE", u"Sqlite"}) {
        std::unique_ptr<TDBXDriver> driver = factory.GetDriver(name);
        TDBXDriver& loaded = static_cast<TDBXDelegateDriver&>(*driver).Driver();
        EXPECT_NE(dynamic_cast<TDBXSqliteDriver*>(&loaded), nullptr);
        if (!first) first = &loaded;
        EXPECT_EQ(&loaded, first);  // one driver object for every spelling
    }
}

TEST(DriverRegistry, LoadsByClassKeepsTheFirstSpellingAndReportsUnknownDrivers) {
    FakeRegistration fake(u"FakeDrv");
    TDBXDriverDef def;
    def.FDriverName = u"fakedrv";
    def.FDBXContext = std::make_shared<TDBXContext>();
    const int loaded = Registry().LoadedDriverCount();
    TDBXDriver& driver = Registry().GetDriver(def);
    EXPECT_EQ(Registry().LoadedDriverCount(), loaded + 1);
    EXPECT_EQ(driver.GetDriverName(), u"fakedrv");
    def.FDriverName = u"FAKEDRV";
    EXPECT_EQ(&Registry().GetDriver(def), &driver);

    // Properties of a definition are merged into the loaded driver's.
    TDBXProperties extra;
    extra.SetValue(u"Custom", u"1");
    def.FDriverProperties = &extra;
    Registry().GetDriver(def);
    EXPECT_EQ(driver.GetDriverProperties()->GetValue(u"Custom"), u"1");

    def.FDriverName = u"NoSuchDriver";
    const TDBXError e = CatchDBXError([&] { Registry().GetDriver(def); });
    EXPECT_EQ(e.ErrorCode(), 22);
    EXPECT_EQ(e.Message(), u"Unknown driver:  NoSuchDriver");
}

TEST(DriverRegistry, AMissingMetaDataFactoryFailsTheLoadAndLeavesNothingLoaded) {
    FakeRegistration fake(u"FakeMeta");
    TDBXProperties properties;
    properties.SetValue(u"DriverUnit", u"Fake.Unit");
    properties.SetValue(u"MetaDataPackageLoader", u"TNoSuchFactory,fake.so");
    TDBXDriverDef def;
    def.FDriverName = u"FakeMeta";
    def.FDriverProperties = &properties;
    def.FDBXContext = std::make_shared<TDBXContext>();
    const int loaded = Registry().LoadedDriverCount();
    const TDBXError e = CatchDBXError([&] { Registry().GetDriver(def); });
    EXPECT_EQ(e.ErrorCode(), 22);
    EXPECT_EQ(e.Message(), u"Could not find metadata: TNoSuchFactory; package: fake.so. Add Fake.Unit to your uses.");
    EXPECT_EQ(Registry().LoadedDriverCount(), loaded);
}

TEST(ClassRegistry, RegistrationRulesAndMessages) {
    TClassRegistry& classes = TClassRegistry::GetClassRegistry();
    const auto create = []() -> std::unique_ptr<TRegisteredObject> { return std::make_unique<TRegisteredObject>(); };
    EXPECT_TRUE(classes.HasClass(u"tdbxsqlitemetadatacommandfactory"));

    const auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const EClassRegistryError& e) {
            return e.Message();
        }
        return String(u"(none)");
    };
    EXPECT_EQ(message([&] { classes.RegisterClass(u"TNil", nullptr); }),
              u"TNil class registered with a nil class reference");
    EXPECT_EQ(message([&] { classes.CreateInstance(u"TNobody"); }), u"TNobody class is not registered");

    classes.RegisterPackageClass(u"TLater", u"later.so");
    EXPECT_FALSE(classes.HasClass(u"TLater"));
    classes.RegisterClass(u"TLater", create);  // a name without a class gets one
    EXPECT_TRUE(classes.HasClass(u"tlater"));
    EXPECT_NE(classes.CreateInstance(u"TLATER"), nullptr);
    EXPECT_EQ(message([&] { classes.RegisterClass(u"tlater", create); }), u"tlater class already registered");
    classes.UnregisterClass(u"TLater");
    EXPECT_FALSE(classes.HasClass(u"TLater"));
}

TEST(ConnectionFactory, TheProcessFactoryIsOneMemoryFactoryHoldingTheSqliteDefaults) {
    TDBXConnectionFactory& factory = TDBXConnectionFactory::GetConnectionFactory();
    EXPECT_EQ(&TDBXConnectionFactory::GetConnectionFactory(), &factory);
    EXPECT_NE(dynamic_cast<TDBXMemoryConnectionFactory*>(&factory), nullptr);
    TDBXProperties* defaults = factory.GetDriverProperties(u"sqlite");
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->GetValue(u"DriverUnit"), u"Data.DbxSqlite");
    EXPECT_EQ(defaults->GetValue(u"FailIfMissing"), u"True");
    EXPECT_FALSE(defaults->HasName(u"Database"));
    EXPECT_TRUE(defaults->GetValue(u"MetaDataPackageLoader").starts_with(u"TDBXSqliteMetaDataCommandFactory,"));
    EXPECT_TRUE(defaults->GetValue(u"DriverPackageLoader").starts_with(u"TDBXSqliteDriverLoader,"));
    EXPECT_EQ(factory.GetDriverProperties(u"Nope"), nullptr);

    const TDBXError e = CatchDBXError([] { TDBXConnectionFactory::SetConnectionFactory(nullptr); });
    EXPECT_EQ(e.ErrorCode(), 29);
    EXPECT_EQ(e.Message(),
              u"Cannot set this singleton instance more than once or after it has been retrieved one or "
              u"more times");
}

TEST(ConnectionFactory, ConnectionsGetTheDriverDefaultsTheCallerDidNotGive) {
    TempDir dir;
    auto connection = sql_test::Connect(dir.File("merge.db"), u"False");
    TDBXProperties& properties = connection->GetConnectionProperties();
    EXPECT_TRUE(connection->GetIsOpen());
    EXPECT_EQ(properties.GetValue(u"FailIfMissing"), u"False");
    EXPECT_EQ(properties.GetValue(u"DriverUnit"), u"Data.DbxSqlite");
    EXPECT_TRUE(properties.HasName(u"DriverPackageLoader"));
    EXPECT_TRUE(properties.HasName(u"MetaDataPackageLoader"));
    EXPECT_EQ(properties.GetValue(u"ColumnMetaDataSupported"), u"True");
    EXPECT_EQ(connection->GetProductName(), u"Sqlite");
    // The factory's own copy of the defaults is untouched.
    EXPECT_EQ(TDBXConnectionFactory::GetConnectionFactory().GetDriverProperties(u"Sqlite")->GetValue(u"FailIfMissing"),
              u"True");
}

TEST(ConnectionFactory, WithoutADriverNameTheDriverIsUnknown) {
    TDBXProperties properties;
    properties.SetValue(u"Database", u":memory:");
    properties.SetValue(u"ConnectionName", u"NotKnown");
    const TDBXError e = CatchDBXError([&] { TDBXConnectionFactory::GetConnectionFactory().GetConnection(properties); });
    EXPECT_EQ(e.ErrorCode(), 22);
    EXPECT_EQ(e.Message(), u"Unknown driver:  ");

    const TDBXError named =
        CatchDBXError([&] { TDBXConnectionFactory::GetConnectionFactory().GetConnection(u"NotKnown", u"", u""); });
    EXPECT_EQ(named.ErrorCode(), 29);
    EXPECT_EQ(named.Message(), u"Invalid argument:  NotKnown");
}

TEST(ConnectionFactory, AConnectionHoldsOneReferenceAndTheDriverOutlivesIt) {
    TDBXConnectionFactory::GetConnectionFactory();
    TDBXDriver* driver = Registry().FindDriver(u"Sqlite");
    ASSERT_NE(driver, nullptr);
    const int references = driver->ReferenceCount();
    {
        auto connection = sql_test::Connect(u":memory:");
        EXPECT_EQ(driver->ReferenceCount(), references + 1);
        auto second = sql_test::Connect(u":memory:");
        EXPECT_EQ(driver->ReferenceCount(), references + 2);
    }
    EXPECT_EQ(Registry().FindDriver(u"Sqlite"), driver);
    EXPECT_EQ(driver->ReferenceCount(), references);
}

TEST(ConnectionFactory, AFailingDriverReleasesItsReference) {
    FakeRegistration fake(u"FakeConn");
    TDBXMemoryConnectionFactory factory;
    factory.Open();
    TDBXProperties properties;
    properties.SetValue(u"DriverName", u"FakeConn");
    const TDBXError e = CatchDBXError([&] { factory.GetConnection(properties); });
    EXPECT_EQ(e.ErrorCode(), 21);
    // This driver keeps no reference of its own: once the wrapper made for
    // the failed connection is gone, nothing holds it and it is unloaded.
    EXPECT_EQ(Registry().FindDriver(u"FakeConn"), nullptr);
}

TEST(ConnectionFactory, DelegatePathsFollowInlineAndNamedConnectionsUpTo16Levels) {
    TempDir dir;
    WriteFile(dir.Path() / "dbxdrivers.ini", "[Installed Drivers]\nSqlite=1\n\n[Sqlite]\nCustomSetting=1\n");
    WriteFile(dir.Path() / "dbxconnections.ini",
              "[Loop]\nDriverName=Sqlite\nDelegateConnection=Loop\n\n[Inner]\nDriverName=Sqlite\nDatabase=inner.db\n");
    TDBXConnectionFactory::GetConnectionFactory();  // the process factory keeps its own defaults
    TDBXIniFileConnectionFactory factory(dir.File("dbxdrivers.ini"), dir.File("dbxconnections.ini"));
    factory.Open();

    TDBXProperties inline_;
    inline_.SetValue(u"DriverName", u"Sqlite");
    inline_.SetValue(u"DelegateConnection", u"D");
    inline_.SetValue(u"D.DriverName", u"Sqlite");
    inline_.SetValue(u"D.Database", u"delegate.db");
    auto path = factory.CreateDelegatePath(inline_);
    ASSERT_NE(path->FNext, nullptr);
    EXPECT_EQ(path->FNext->FName, u"D");
    EXPECT_EQ(path->FNext->FProperties->GetValue(u"Database"), u"delegate.db");
    EXPECT_EQ(path->FNext->FProperties->GetValue(u"CustomSetting"), u"1");  // driver lines added
    EXPECT_EQ(path->FNext->FNext, nullptr);

    TDBXProperties named;
    named.SetValue(u"DriverName", u"Sqlite");
    named.SetValue(u"DelegateConnection", u"Inner");
    path = factory.CreateDelegatePath(named);
    ASSERT_NE(path->FNext, nullptr);
    EXPECT_EQ(path->FNext->FProperties->GetValue(u"Database"), u"inner.db");

    TDBXProperties loop;
    loop.SetValue(u"ConnectionName", u"Loop");
    const TDBXError e = CatchDBXError([&] { factory.CreateDelegatePath(loop); });
    EXPECT_EQ(e.ErrorCode(), 22);
    EXPECT_TRUE(e.Message().starts_with(u"Cannot delegate a connection more than 16 times:  Loop, Loop"));
}

TEST(IniFileConnectionFactory, ReadsDriversAndNamedConnections) {
    TempDir dir;
    const std::string database = (dir.Path() / "named.db").string();
    WriteFile(dir.Path() / "dbxdrivers.ini",
              "\xEF\xBB\xBF; drivers\n[Installed Drivers]\nSqlite=1\n\n[Sqlite]\nCustomSetting = 1 \n");
    WriteFile(dir.Path() / "dbxconnections.ini",
              "[Dict]\nDriverName=Sqlite\nDatabase=" + database + "\nFailIfMissing= False \n");
    TDBXConnectionFactory::GetConnectionFactory();
    auto factory =
        TDBXConnectionFactory::OpenConnectionFactory(dir.File("dbxdrivers.ini"), dir.File("dbxconnections.ini"));
    ASSERT_NE(factory, nullptr);
    TDBXProperties* driver = factory->GetDriverProperties(u"SQLITE");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->GetValue(u"CustomSetting"), u"1");
    EXPECT_EQ(driver->GetValue(u"DriverUnit"), u"Data.DbxSqlite");  // merged with the loaded driver's

    rtl::TStringList items;
    factory->GetConnectionItems(items);
    EXPECT_EQ(items.Lines(), std::vector<String>{u"Dict"});
    // The section's lines, values trimmed, and its name.
    EXPECT_EQ(factory->GetConnectionProperties(u"dict").GetProperties().Lines(),
              (std::vector<String>{u"DriverName=Sqlite", u"Database=" + rtl::Utf8ToString(database),
                                   u"FailIfMissing=False", u"ConnectionName=Dict"}));

    auto connection = factory->GetConnection(u"Dict", u"someone", u"");
    EXPECT_TRUE(connection->GetIsOpen());
    EXPECT_EQ(connection->GetConnectionProperty(u"User_Name"), u"someone");
    EXPECT_TRUE(std::filesystem::exists(database));

    // The connection name alone finds the driver through the named connection.
    TDBXProperties byName;
    byName.SetValue(u"ConnectionName", u"Dict");
    EXPECT_TRUE(factory->GetConnection(byName)->GetIsOpen());
}

TEST(IniFileConnectionFactory, ADriversFileWithoutItsListFailsAndIsNotUsed) {
    TempDir dir;
    WriteFile(dir.Path() / "dbxdrivers.ini", "[Sqlite]\nDriverUnit=Data.DbxSqlite\n");
    TDBXIniFileConnectionFactory factory(dir.File("dbxdrivers.ini"), dir.File("dbxconnections.ini"));
    const TDBXError e = CatchDBXError([&] { factory.Open(); });
    EXPECT_EQ(e.ErrorCode(), 22);
    EXPECT_EQ(e.Message(), u"No \"Installed Drivers\" defined in " + dir.File("dbxdrivers.ini"));
    EXPECT_FALSE(factory.IsOpen());
    EXPECT_EQ(TDBXConnectionFactory::OpenConnectionFactory(dir.File("dbxdrivers.ini"), dir.File("dbxconnections.ini")),
              nullptr);
    EXPECT_EQ(TDBXConnectionFactory::OpenConnectionFactory(dir.File("none.ini"), dir.File("none2.ini")), nullptr);
}

TEST(IniFileConnectionFactory, FilesAreLookedForBesideTheExecutable) {
    TempDir dir;
    String drivers, connections;
    EXPECT_FALSE(TDBXConnectionFactory::FindConfigurationFiles(dir.File(""), drivers, connections));
    EXPECT_EQ(drivers, dir.File("dbxdrivers.ini"));
    EXPECT_EQ(connections, dir.File("dbxconnections.ini"));
    WriteFile(dir.Path() / "dbxdrivers.ini", "[Installed Drivers]\nSqlite=1\n");
    EXPECT_TRUE(TDBXConnectionFactory::FindConfigurationFiles(dir.File(""), drivers, connections));
    // A folder named like the file is not a file.
    TempDir other;
    std::filesystem::create_directory(other.Path() / "dbxdrivers.ini");
    EXPECT_FALSE(TDBXConnectionFactory::FindConfigurationFiles(other.File(""), drivers, connections));
}

TEST(IniFileConnectionFactory, AnAutoUnloadingDriverLivesOnlyAsLongAsItsConnections) {
    TempDir dir;
    FakeRegistration registration(u"SqliteAuto", &TDBXSqliteDriver::Create);
    WriteFile(dir.Path() / "dbxdrivers.ini",
              "[Installed Drivers]\nSqliteAuto=1\n[SqliteAuto]\nAutoUnloadDriver=True\n");
    TDBXIniFileConnectionFactory factory(dir.File("dbxdrivers.ini"), dir.File("dbxconnections.ini"));
    factory.Open();
    EXPECT_EQ(Registry().FindDriver(u"SqliteAuto"), nullptr);  // loaded for its defaults, then released
    ASSERT_NE(factory.GetDriverProperties(u"SqliteAuto"), nullptr);
    EXPECT_EQ(factory.GetDriverProperties(u"SqliteAuto")->GetValue(u"DriverUnit"), u"Data.DbxSqlite");

    TDBXProperties properties;
    properties.SetValue(u"DriverName", u"SqliteAuto");
    properties.SetValue(u"Database", u":memory:");
    auto connection = factory.GetConnection(properties);
    TDBXDriver* driver = Registry().FindDriver(u"SqliteAuto");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->ReferenceCount(), 1);
    connection.reset();
    EXPECT_EQ(Registry().FindDriver(u"SqliteAuto"), nullptr);
}

TEST(ConnectionFactory, ThreadsShareTheFactoryEachWithItsOwnConnection) {
    constexpr int threadCount = 4;
    std::vector<std::thread> threads;
    std::vector<TDBXConnectionFactory*> factories(threadCount);
    std::vector<String> results(threadCount);
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            try {
                TDBXConnectionFactory& factory = TDBXConnectionFactory::GetConnectionFactory();
                factories[t] = &factory;
                for (int round = 0; round < 20; ++round) {
                    auto connection = sql_test::Connect(u":memory:");  // under the factory's lock
                    auto command = connection->CreateCommand();
                    command->SetText(u"select " + rtl::IntToStr(t * 100 + round));
                    auto reader = command->ExecuteQuery();
                    reader->Next();
                    results[t] = reader->GetValue(0).GetAsString();
                }
            } catch (const rtl::Exception& e) {
                results[t] = e.Message();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < threadCount; ++t) {
        EXPECT_EQ(factories[t], factories[0]);
        EXPECT_EQ(results[t], rtl::IntToStr(t * 100 + 19));
    }
}
