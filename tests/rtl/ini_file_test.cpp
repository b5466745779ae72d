#include "rtl/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace rtl;

namespace {

// A settings file in the temporary folder, removed afterwards.
class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        FPath = std::filesystem::temp_directory_path() /
                ("kalimdar-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
    }
    void TearDown() override { std::filesystem::remove(FPath); }
    void Write(const std::string& Text) {
        std::ofstream out(FPath, std::ios::binary);
        out << Text;
    }
    String Name() const { return Utf8ToString(FPath.string()); }

    std::filesystem::path FPath;
};

}  // namespace

TEST_F(IniFileTest, ReadsSectionsNamesAndValuesIgnoringCase) {
    Write(
        "\xEF\xBB\xBF; a comment\r\n[Installed Drivers]\r\nSqlite=1\r\n\r\n[Sqlite]\r\n  DriverUnit = Data.DbxSqlite "
        "\r\n"
        "# another comment\nVendorLib=a=b\nFlag\n[Сөздік]\nСөз=мән\n");
    const TMemIniFile ini(Name());
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Lines(), (std::vector<String>{u"Installed Drivers", u"Sqlite", u"Сөздік"}));
    EXPECT_TRUE(ini.SectionExists(u"installed drivers"));
    EXPECT_FALSE(ini.SectionExists(u"Missing"));

    TStringList names;
    ini.ReadSection(u"SQLITE", names);
    EXPECT_EQ(names.Lines(), (std::vector<String>{u"DriverUnit", u"VendorLib", u"Flag"}));
    TStringList values;
    ini.ReadSectionValues(u"Sqlite", values);
    EXPECT_EQ(values.Lines(), (std::vector<String>{u"DriverUnit=Data.DbxSqlite", u"VendorLib=a=b", u"Flag"}));
    EXPECT_EQ(ini.ReadString(u"sqlite", u"driverunit", u"?"), u"Data.DbxSqlite");
    EXPECT_EQ(ini.ReadString(u"Sqlite", u"Missing", u"?"), u"?");
    EXPECT_EQ(ini.ReadString(u"Сөздік", u"Сөз", u""), u"мән");
    ini.ReadSection(u"Missing", names);
    EXPECT_EQ(names.Count(), 0);
}

TEST_F(IniFileTest, RepeatedSectionsJoinAndLinesBeforeAnySectionAreIgnored) {
    Write("orphan=1\n[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n");
    const TMemIniFile ini(Name());
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Lines(), (std::vector<String>{u"A", u"B"}));
    TStringList values;
    ini.ReadSectionValues(u"A", values);
    EXPECT_EQ(values.Lines(), (std::vector<String>{u"x=1", u"z=3"}));
}

TEST_F(IniFileTest, AMissingFileIsEmpty) {
    const TMemIniFile ini(Name() + u".none");
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), 0);
    EXPECT_EQ(ini.ReadString(u"A", u"x", u"default"), u"default");
}
