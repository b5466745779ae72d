// Runs the built make_dictionary on a tiny word list and reads the database back.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "rtl/strings.h"

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<rtl::String>>;

namespace {

constexpr std::string_view TinyAff =
    "SET UTF-8\n"
    "SFX A Y 2\n"
    "SFX A 0 лар [аоұыу]\n"
    "SFX A 0 лер [^аоұыу]\n"
    "PFX P Y 1\n"
    "PFX P 0 қайта .\n";
// Nine forms: бала gives four, әліпби and іні two each, қыз one.
constexpr std::string_view TinyDic =
    "\xEF\xBB\xBF"
    "4\r\nбала/AP\r\nәліпби/A\r\nқыз\r\nіні/A\r\n";

struct RunResult {
    int ExitCode = -1;
    std::string Err;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// All rows of a query, every column read as UTF-16 text ("" for NULL).
Rows Query(const fs::path& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    Rows rows;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        ADD_FAILURE() << "cannot open " << db;
        return rows;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(handle);
    } else {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            auto& row = rows.emplace_back();
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(stmt, i));
                row.emplace_back(text ? text : u"");
            }
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return rows;
}

class MakeDictionary : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "make_dictionary_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
        Write("tiny.aff", TinyAff);
        Write("tiny.dic", TinyDic);
    }
    void TearDown() override { fs::remove_all(Dir); }

    void Write(const std::string& name, std::string_view content) {
        std::ofstream(Dir / name, std::ios::binary) << content;
    }

    // Runs the tool in the temporary folder with the tiny word list unless
    // the arguments name another.
    RunResult Run(std::vector<std::string> args, bool tinyList = true) {
        if (tinyList) {
            args.insert(args.begin(), {"--dic", (Dir / "tiny.dic").string(), "--aff", (Dir / "tiny.aff").string()});
        }
        args.insert(args.begin(), MAKE_DICTIONARY_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const fs::path errFile = Dir / "stderr.txt";

        const pid_t pid = ::fork();
        if (pid == 0) {
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = ::open("/dev/null", O_WRONLY);
            if (err < 0 || null < 0 || ::dup2(err, 2) < 0 || ::dup2(null, 1) < 0 || ::chdir(Dir.c_str()) != 0)
                ::_exit(127);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        RunResult result;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
        result.Err = ReadAll(errFile);
        fs::remove(errFile);
        return result;
    }

    fs::path Dir;
};

TEST_F(MakeDictionary, WritesOneRowPerWordWithTheDeclaredColumns) {
    const RunResult run = Run({});  // default output: lx_items.db in the current folder
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const fs::path db = Dir / "lx_items.db";
    ASSERT_TRUE(fs::exists(db));
    EXPECT_FALSE(fs::exists(Dir / "lx_items.db.partial"));

    // name, declared type, primary key
    EXPECT_EQ(Query(db, "select name, type, pk from pragma_table_info('lx_items') order by cid"),
              (Rows{{u"id", u"INTEGER", u"1"},
                    {u"lx_word", u"VARCHAR(100)", u"0"},
                    {u"lx_text", u"TEXT", u"0"},
                    {u"lx_title", u"VARCHAR(100)", u"0"},
                    {u"lx_word_upper", u"VARCHAR(100)", u"0"}}));
    // One index, on the capitals, in their own collation.
    EXPECT_EQ(Query(db, "select name, tbl_name from sqlite_master where type = 'index'"),
              (Rows{{u"lx_items_word_upper", u"lx_items"}}));
    EXPECT_EQ(Query(db, "select name, coll from pragma_index_xinfo('lx_items_word_upper') where key"),
              (Rows{{u"lx_word_upper", u"BINARY"}}));

    // In the alphabet's order, Ә right after А, І near the end.
    const Rows rows = Query(db, "select id, lx_word, lx_word_upper, lx_title, lx_text from lx_items");
    ASSERT_EQ(rows.size(), 4u);
    const rtl::String expectedUpper[] = {u"ӘЛІПБИ", u"БАЛА", u"ҚЫЗ", u"ІНІ"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], rtl::Utf8ToString(std::to_string(i + 1)));
        EXPECT_EQ(rows[i][2], rtl::AnsiUpperCase(rows[i][1]));
        EXPECT_EQ(rows[i][2], expectedUpper[i]);
        EXPECT_EQ(rows[i][3], u"Орфографиялық сөздік");
        EXPECT_TRUE(rows[i][4].starts_with(rows[i][1]));
    }
    // The entry text lists the inflected forms, cross products included.
    EXPECT_NE(rows[1][4].find(u"балалар, қайтабала, қайтабалалар"), rtl::String::npos);
    EXPECT_NE(rows[0][4].find(u"әліпбилер"), rtl::String::npos);
    EXPECT_EQ(rows[2][4], u"қыз");

    // The search's own statement finds a Kazakh word by its capitals.
    EXPECT_EQ(Query(db,
                    "select id, lx_word, lx_text, lx_title from lx_items\r\n"
                    " where lx_word_upper  like '%ІН%'\r\nlimit 1000\r\n")
                  .size(),
              1u);
}

TEST_F(MakeDictionary, WritesTheRequestedNumberOfFormRows) {
    struct Case {
        const char* rows;
        std::size_t count;
        std::vector<rtl::String> firstWords;
    } cases[] = {
        // clang-format off
        {"0", 0, {}},
        // The first five forms of the list, in the alphabet's order.
        {"5", 5, {u"әліпби", u"бала", u"балалар", u"қайтабала", u"қайтабалалар"}},
        {"9", 9, {u"әліпби", u"әліпбилер", u"бала", u"балалар", u"қайтабала", u"қайтабалалар", u"қыз", u"іні", u"інілер"}},
        // Nine forms in all: twice each, and бала and балалар a third time,
        // the repeats side by side.
        {"20", 20, {u"әліпби", u"әліпби", u"әліпбилер", u"әліпбилер", u"бала", u"бала", u"бала", u"балалар",
                    u"балалар", u"балалар", u"қайтабала", u"қайтабала", u"қайтабалалар", u"қайтабалалар", u"қыз",
                    u"қыз", u"іні", u"іні", u"інілер", u"інілер"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        const std::string out = "rows_" + std::string(c.rows) + ".db";
        const RunResult run = Run({"--rows", c.rows, "--out", out});
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        const Rows rows = Query(Dir / out, "select id, lx_word, lx_word_upper, lx_text from lx_items order by id");
        ASSERT_EQ(rows.size(), c.count);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i][0], rtl::Utf8ToString(std::to_string(i + 1)));
            EXPECT_EQ(rows[i][2], rtl::AnsiUpperCase(rows[i][1]));
            if (i < c.firstWords.size()) {
                EXPECT_EQ(rows[i][1], c.firstWords[i]);
            }
        }
    }
    // A form's text names the word it comes from.
    const Rows form = Query(Dir / "rows_5.db", "select lx_text from lx_items where id = 5");
    ASSERT_EQ(form.size(), 1u);
    EXPECT_NE(form[0][0].find(u"бала"), rtl::String::npos);
    EXPECT_TRUE(form[0][0].starts_with(u"қайтабалалар"));
}

TEST_F(MakeDictionary, RefusesToOverwriteWithoutForce) {
    Write("lx_items.db", "keep");
    RunResult run = Run({"--out", "lx_items.db"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("already exists"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadAll(Dir / "lx_items.db"), "keep");

    run = Run({"--out", "lx_items.db", "--force"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(Query(Dir / "lx_items.db", "select count(*) from lx_items"), (Rows{{u"4"}}));
}

TEST_F(MakeDictionary, LeavesOutWordsLongerThanTheColumn) {
    std::string word100;
    for (int i = 0; i < 100; ++i) word100 += "ә";
    const std::string word101 = word100 + "ә";
    Write("long.dic", "2\n" + word100 + "\n" + word101 + "\n");
    const RunResult run =
        Run({"--dic", (Dir / "long.dic").string(), "--aff", (Dir / "tiny.aff").string(), "--out", "long.db"}, false);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("longer than 100"), std::string::npos) << run.Err;
    EXPECT_EQ(Query(Dir / "long.db", "select length(lx_word), length(lx_word_upper) from lx_items"),
              (Rows{{u"100", u"100"}}));
}

TEST_F(MakeDictionary, ReportsErrorsWithExitCodeOne) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        // clang-format off
        {{"--dic", "missing.dic", "--aff", "tiny.aff", "--out", "a.db"}, "Cannot open file \"missing.dic\""},
        {{"--dic", "tiny.dic", "--aff", "missing.aff", "--out", "a.db"}, "Cannot open file \"missing.aff\""},
        {{"--dic", "tiny.dic", "--aff", "tiny.aff", "--out", "no/such/folder/a.db"}, "Cannot create"},
        {{"--dic", "tiny.dic", "--aff", "tiny.aff", "--rows", "-3", "--out", "a.db"}, "--rows"},
        {{"--dic", "tiny.dic", "--aff", "tiny.aff", "--rows", "many", "--out", "a.db"}, "--rows"},
        {{"--dic", "tiny.dic", "--aff", "tiny.aff", "--out"}, "needs a value"},
        {{"--dic", "tiny.dic", "--aff", "tiny.aff", "--bogus"}, "unknown argument"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const RunResult run = Run(c.args, false);
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
    }
    EXPECT_FALSE(fs::exists(Dir / "a.db"));
    EXPECT_FALSE(fs::exists(Dir / "lx_items.db"));
    EXPECT_FALSE(fs::exists(Dir / "no"));
}

TEST_F(MakeDictionary, RowsFromAnEmptyWordListFail) {
    Write("empty.dic", "0\n");
    const RunResult run = Run({"--dic", "empty.dic", "--aff", "tiny.aff", "--rows", "3", "--out", "e.db"}, false);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_FALSE(run.Err.empty());
    EXPECT_FALSE(fs::exists(Dir / "e.db"));
    EXPECT_FALSE(fs::exists(Dir / "e.db.partial"));
}

}  // namespace

// Words of every kind of first letter, capitalised names among them, in the
// order of the Kazakh alphabet (А Ә Б В Г Ғ Д Е Ё Ж З И Й К Қ Л М Н Ң О Ө П
// Р С Т У Ұ Ү Ф Х Һ Ц Ч Ш Щ Ъ Ы І Ь Э Ю Я), letter case aside.
TEST_F(MakeDictionary, WritesItsRowsInTheOrderOfTheAlphabet) {
    Write("order.dic", "14\nяһуди\nірі\nҰлы\nәке\nһиджра\nАбай\nқала\nёлка\nет\nғалым\nабат\nҚала\nүй\nұн\n");
    const RunResult run = Run({"--dic", (Dir / "order.dic").string(), "--aff", (Dir / "tiny.aff").string()}, false);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    Rows words;
    for (const auto& row : Query(Dir / "lx_items.db", "select lx_word from lx_items")) words.push_back({row[0]});
    EXPECT_EQ(words, (Rows{{u"Абай"},
                           {u"абат"},
                           {u"әке"},
                           {u"ғалым"},
                           {u"ет"},
                           {u"ёлка"},
                           {u"Қала"},
                           {u"қала"},
                           {u"Ұлы"},
                           {u"ұн"},
                           {u"үй"},
                           {u"һиджра"},
                           {u"ірі"},
                           {u"яһуди"}}));
}

TEST_F(MakeDictionary, LatinLookAlikesInACyrillicWordBecomeCyrillic) {
    // A Latin i in "Бейiмбет", a Latin A in "Aманжол", Latin throughout in "IBM".
    Write("mixed.dic", "3\nБейiмбет\nAманжол\nIBM\n");
    const RunResult run = Run({"--dic", (Dir / "mixed.dic").string(), "--aff", (Dir / "tiny.aff").string()}, false);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(Query(Dir / "lx_items.db", "select lx_word, lx_word_upper from lx_items"),
              (Rows{{u"IBM", u"IBM"}, {u"Аманжол", u"АМАНЖОЛ"}, {u"Бейімбет", u"БЕЙІМБЕТ"}}));
}

TEST_F(MakeDictionary, NoIndexLeavesTheTableWithoutOne) {
    const RunResult run = Run({"--no-index", "--out", "plain.db"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(Query(Dir / "plain.db", "select count(*) from sqlite_master where type = 'index'"), (Rows{{u"0"}}));
    EXPECT_EQ(Query(Dir / "plain.db", "select count(*) from lx_items"), (Rows{{u"4"}}));
}
