// Bad dictionary files and awkward search texts, end to end: each case in a
// folder of its own, the window started and driven through its controls as
// a user would, the message boxes read word for word, and the dictionary
// file compared byte for byte once the window has gone.

#include <algorithm>
#include <fstream>
#include <iterator>

#include "app/dictionary_texts.h"
#include "dictionary_window.h"
#include "rtl/string_list.h"
#include "sql/sql_dataset.h"

using namespace app_test;

namespace {

void WriteFile(const std::filesystem::path& Path, const std::string& Bytes) {
    std::filesystem::create_directories(Path.parent_path());
    std::ofstream(Path, std::ios::binary) << Bytes;
}

using Boxes = std::vector<String>;

class ReliabilityTest : public DictionaryWindowTest {
protected:
    // Remembers the database file as it is now.
    void KeepFile() { Kept = FileBytes(DatabasePath()); }

    // Closes the window (and with it the database) and compares the file
    // with the one kept.
    void ExpectFileUnchanged() {
        Form.reset();
        const std::string now = FileBytes(DatabasePath());
        EXPECT_EQ(now.size(), Kept.size());
        EXPECT_TRUE(now == Kept) << "the database file changed";
    }

    // A search that must find Found rows, the first of them FirstWord.
    void ExpectSearchFinds(const String& Text, int Mode, int Found, const std::string& FirstWord) {
        SCOPED_TRACE("searching for " + Utf8(Text));
        EXPECT_EQ(Search(Text, Mode), Boxes{});
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(Found)));
        EXPECT_EQ(ClientRecordCount(), std::min(Found, 1000));
        if (Found > 0) {
            EXPECT_EQ(CurrentWord(), FirstWord);
        }
    }

    // A window whose start-up failed: nothing shown, nothing counted.
    void ExpectNothingShown() {
        EXPECT_EQ(Panel(0), "");
        EXPECT_EQ(Panel(1), "");
        EXPECT_EQ(ClientRecordCount(), 0);
        EXPECT_EQ(MemoText(), "");
        EXPECT_TRUE(Form->Window()->isVisible());
    }

    std::string Kept;
};

}  // namespace

// ---- files that are no dictionary

TEST_F(ReliabilityTest, FileThatIsNoSQLiteDatabase) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"text", std::string(4096, 'x')},
        {"short", "SQLite"},
        {"wrong header", std::string("SQLite format 2\0", 16) + std::string(4080, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FolderOverride = Dir.Path() / c.name;
        WriteFile(DatabasePath(), c.bytes);
        KeepFile();
        Start();
        EXPECT_EQ(StartBoxes, Boxes{u"file is not a database."});
        ExpectNothingShown();
        EXPECT_EQ(Search(u"кітап"), Boxes{u"file is not a database."});
        EXPECT_EQ(Search(u"кітап", 2), Boxes{u"file is not a database."});
        ExpectNothingShown();
        ExpectFileUnchanged();
    }
}

TEST_F(ReliabilityTest, DatabaseTruncatedMidPage) {
    MakeDictionary(3000);
    const auto size = std::filesystem::file_size(DatabasePath());
    const long long pageSize = OpenDb()->Number("pragma page_size");
    const long long pages = static_cast<long long>(size) / pageSize;
    ASSERT_GT(pages, 10);
    std::filesystem::resize_file(DatabasePath(), static_cast<std::uintmax_t>(pages / 2 * pageSize + pageSize / 2));
    KeepFile();
    Start();
    EXPECT_EQ(StartBoxes, Boxes{u"database disk image is malformed."});
    ExpectNothingShown();
    EXPECT_EQ(Search(u"кітап1", 1), Boxes{u"database disk image is malformed."});
    ExpectNothingShown();
    ExpectFileUnchanged();
}

// The folder is left as it was; once a dictionary takes its place, the next
// search connects and shows it.
TEST_F(ReliabilityTest, DirectoryInThePlaceOfTheDatabase) {
    std::filesystem::create_directories(DatabasePath());
    Start();
    EXPECT_EQ(StartBoxes, Boxes{u"unable to open database file."});
    ExpectNothingShown();
    EXPECT_EQ(Search(u"кітап"), Boxes{u"unable to open database file."});
    ExpectNothingShown();
    EXPECT_TRUE(std::filesystem::is_directory(DatabasePath()));
    EXPECT_TRUE(std::filesystem::is_empty(DatabasePath()));
    std::filesystem::remove(DatabasePath());
    MakeDictionary(20);
    ExpectSearchFinds(u"кітап1", 1, 11, "кітап1");
    EXPECT_EQ(MemoText(), "Мәтін кітап1");
}

TEST_F(ReliabilityTest, ReadOnlyFolderWithoutTheDatabase) {
    std::filesystem::permissions(Dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (std::ofstream(Dir.Path() / "probe").good()) {
        std::filesystem::remove(Dir.Path() / "probe");
        GTEST_SKIP() << "this user may write into a read-only folder (as root may), so the folder cannot "
                        "refuse the database file";
    }
    Start();
    EXPECT_EQ(StartBoxes, Boxes{u"unable to open database file."});
    ExpectNothingShown();
    EXPECT_EQ(Search(u"кітап"), Boxes{u"unable to open database file."});
    ExpectNothingShown();
    Form.reset();
    EXPECT_FALSE(std::filesystem::exists(DatabasePath()));
}

// ---- a database another connection holds

// Another connection holds the database exclusively, first while the window
// starts, then while it searches (taken just as the search's statement
// opens; between searches the window's query stands on its first row and
// shares the database, which an exclusive lock cannot be taken against).
// Each fails with SQLite's message and keeps what the window showed; once
// the lock is gone the next search works.
TEST_F(ReliabilityTest, DatabaseLockedExclusively) {
    MakeDictionary(100);
    KeepFile();
    auto other = OpenDb();
    other->Exec("begin exclusive");
    Start();
    EXPECT_EQ(StartBoxes, Boxes{u"database is locked."});
    ExpectNothingShown();
    other->Exec("rollback");
    ExpectSearchFinds(u"кітап1", 1, 12, "кітап1");
    EXPECT_EQ(MemoText(), "Мәтін кітап1");

    bool locked = false;
    Form->SQLQuery1->BeforeOpen = [&](data::TDataSet&) {
        if (!locked) other->Exec("begin exclusive");
        locked = true;
    };
    EXPECT_EQ(Search(u"кітап2", 1), Boxes{u"database is locked."});
    ASSERT_TRUE(locked);
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 12 сөздік табылды");
    EXPECT_EQ(ClientRecordCount(), 12);
    EXPECT_EQ(CurrentWord(), "кітап1");
    EXPECT_EQ(MemoText(), "Мәтін кітап1");
    other->Exec("rollback");
    ExpectSearchFinds(u"кітап2", 1, 11, "кітап2");
    EXPECT_EQ(MemoText(), "Мәтін кітап2");
    Form->SQLQuery1->BeforeOpen = nullptr;
    other.reset();
    ExpectFileUnchanged();
}

// ---- contents the window must cope with

TEST_F(ReliabilityTest, TenMegabyteTextShownWholeInTheMemo) {
    MakeDictionary(20);
    // 10 MB of UTF-8: a Kazakh sentence of 2-byte letters and a line break,
    // repeated, so that a cut anywhere shows.
    const std::string line = "Қазақ тілінің орфографиялық сөздігі: ә ғ қ ң ө ұ ү һ і\n";
    std::string big;
    while (big.size() < 10u * 1024 * 1024) big += line;
    {
        auto db = OpenDb();
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db->Handle(), "update lx_items set lx_text = ? where lx_word = 'кітап2'", -1,
                                     &statement, nullptr),
                  SQLITE_OK);
        sqlite3_bind_text(statement, 1, big.data(), static_cast<int>(big.size()), SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
        sqlite3_finalize(statement);
    }
    KeepFile();
    Start();
    ASSERT_EQ(StartBoxes, Boxes{});
    EXPECT_EQ(MemoText(), "Мәтін кітап1");
    ExpectSearchFinds(u"кітап2", 2, 1, "кітап2");
    // The memo gives its lines joined by a carriage return and a line feed.
    std::string expected;
    expected.reserve(big.size() + big.size() / line.size() + 1);
    for (const char c : big) {
        if (c == '\n') expected += '\r';
        expected += c;
    }
    const std::string shown = MemoText();
    EXPECT_EQ(shown.size(), expected.size());
    EXPECT_TRUE(shown == expected) << "the memo shows another text";
    ExpectSearchFinds(u"кітап3", 2, 1, "кітап3");
    EXPECT_EQ(MemoText(), "Мәтін кітап3");
    ExpectFileUnchanged();
}

// A column declared DECIMAL(10,2) that holds text cannot be described: the
// query fails with the conversion error. Results whose first row holds a
// number there are described and shown.
TEST_F(ReliabilityTest, DecimalColumnHoldingText) {
    {
        auto db = OpenDb();
        db->Exec(
            "create table lx_items (id INTEGER PRIMARY KEY, lx_word VARCHAR(100), lx_text TEXT, "
            "lx_title DECIMAL(10,2), lx_word_upper VARCHAR(100))");
        AddRows(*db,
                "('кітап', 'Мәтін кітап', 'Орфографиялық сөздік', 'КІТАП'), "
                "('сан1', 'Мәтін сан1', 12.5, 'САН1'), ('сан2', 'Мәтін сан2', 7.25, 'САН2')");
    }
    KeepFile();
    Start();
    EXPECT_EQ(StartBoxes, Boxes{u"'10,2' is not a valid integer value."});
    ExpectNothingShown();
    ExpectSearchFinds(u"сан", 1, 2, "сан1");
    EXPECT_EQ(MemoText(), "Мәтін сан1");
    EXPECT_EQ(Search(u"кітап", 2), Boxes{u"'10,2' is not a valid integer value."});
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 2 сөздік табылды");
    EXPECT_EQ(ClientRecordCount(), 2);
    EXPECT_EQ(CurrentWord(), "сан1");
    ExpectSearchFinds(u"сан2", 2, 1, "сан2");
    ExpectFileUnchanged();
}

// ---- search texts

// The search box holds what it can of a pasted text of 100,000 letters and
// the search uses all it holds. A LIKE pattern of more than 50,000 bytes is
// too complex for SQLite: the contains and starts-with searches fail with
// its message and keep what the window showed; the equals search finds
// nothing.
TEST_F(ReliabilityTest, HundredThousandCharacterSearchText) {
    MakeDictionary(50);
    KeepFile();
    Start();
    ExpectSearchFinds(u"кітап1", 1, 11, "кітап1");
    const String text(100000, u'қ');
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode);
        const Boxes boxes = Search(text, mode);
        const String held = Form->Edit1->Text();
        EXPECT_GT(held.size(), 25000u);  // over 50,000 bytes in UTF-8
        EXPECT_EQ(held, text.substr(0, held.size()));
        EXPECT_EQ(Form->SQLQuery1->SQL().Strings(1), app::SearchConditionLine(mode, String(held.size(), u'Қ')));
        if (mode == 2) {
            EXPECT_EQ(boxes, Boxes{});
            EXPECT_EQ(Panel(1), "Сұраныс бойынша 0 сөздік табылды");
            EXPECT_EQ(ClientRecordCount(), 0);
        } else {
            EXPECT_EQ(boxes, Boxes{u"LIKE or GLOB pattern too complex."});
            EXPECT_EQ(Panel(1), "Сұраныс бойынша 11 сөздік табылды");
            EXPECT_EQ(ClientRecordCount(), 11);
        }
    }
    ExpectSearchFinds(u"кітап2", 2, 1, "кітап2");
    EXPECT_EQ(Panel(0), "Базада барлығы 50 сөз бар");
    ExpectFileUnchanged();
}

// Characters with a meaning of their own, at each end of the search text,
// in each match mode: "%" and "_" are LIKE wildcards, a backslash is none
// (no ESCAPE clause), an apostrophe is searched for as typed, a NUL ends the
// statement for SQLite inside its literal, and a lone surrogate stays inside
// the literal. Over 1000 rows match the LIKE searches, so the derived count
// statement runs with these literals in it.
TEST_F(ReliabilityTest, SpecialCharactersAtEachEndOfTheSearchText) {
    {
        auto db = OpenDb();
        db->Exec(CreateTable);
        AddWords(*db, "кітап", "КІТАП", 30);
        for (const std::string end : {"%", "_", "\\", "''"}) {
            AddWords(*db, end + "қ" + end, end + "Қ" + end, 1100);
            AddRows(*db, "('" + end + "қ" + end + "', 'т', 'с', '" + end + "Қ" + end + "')");
        }
    }
    KeepFile();
    Start();
    ASSERT_EQ(Panel(0), "Базада барлығы 4 434 сөз бар");
    const String nul(1, u'\0'), high(1, char16_t(0xD800)), low(1, char16_t(0xDC00));
    const struct {
        const char* name;
        String text;
        int mode;
        int found;            // -1: the search fails
        const char16_t* box;  // its message
    } cases[] = {
        // clang-format off
        {"percent", u"%қ%", 0, 4404, nullptr},    {"percent", u"%қ%", 1, 4404, nullptr},
        {"percent", u"%қ%", 2, 1, nullptr},       {"underscore", u"_қ_", 0, 4404, nullptr},
        {"underscore", u"_қ_", 1, 4404, nullptr}, {"underscore", u"_қ_", 2, 1, nullptr},
        {"backslash", u"\\қ\\", 0, 1101, nullptr}, {"backslash", u"\\қ\\", 1, 1101, nullptr},
        {"backslash", u"\\қ\\", 2, 1, nullptr},   {"apostrophe", u"'қ'", 0, 1101, nullptr},
        {"apostrophe", u"'қ'", 1, 1101, nullptr}, {"apostrophe", u"'қ'", 2, 1, nullptr},
        {"nul", nul + u"қ" + nul, 0, -1, u"unrecognized token: \"'%\""},
        {"nul", nul + u"қ" + nul, 1, -1, u"unrecognized token: \"'\""},
        {"nul", nul + u"қ" + nul, 2, -1, u"unrecognized token: \"'\""},
        {"high surrogate", high + u"қ" + high, 0, 0, nullptr},
        {"high surrogate", high + u"қ" + high, 1, 0, nullptr},
        {"high surrogate", high + u"қ" + high, 2, 0, nullptr},
        {"low surrogate", low + u"қ" + low, 0, 0, nullptr},
        {"low surrogate", low + u"қ" + low, 1, 0, nullptr},
        {"low surrogate", low + u"қ" + low, 2, 0, nullptr},
        // The apostrophe after a lone surrogate ends no literal.
        {"surrogate and apostrophe", high + u"' or 1=1 --", 0, 0, nullptr},
        {"surrogate and apostrophe", high + u"' or 1=1 --", 2, 0, nullptr},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " in mode " + std::to_string(c.mode));
        const std::string panel1 = Panel(1);
        const int rows = ClientRecordCount();
        const Boxes boxes = Search(c.text, c.mode);
        EXPECT_EQ(Form->Edit1->Text(), c.text);
        if (c.found < 0) {
            EXPECT_EQ(boxes, Boxes{c.box});
            EXPECT_EQ(Panel(1), panel1);
            EXPECT_EQ(ClientRecordCount(), rows);
        } else {
            EXPECT_EQ(boxes, Boxes{});
            EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(c.found)));
            EXPECT_EQ(ClientRecordCount(), std::min(c.found, 1000));
        }
    }
    ExpectSearchFinds(u"кітап1", 1, 11, "кітап1");
    ExpectFileUnchanged();
}
