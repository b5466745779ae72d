// The dictionary program end to end: start-up, search and the database
// rules, each test in a folder of its own with its own lx_items.db, the
// window driven through its controls.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>

#include "app/dictionary_texts.h"
#include "dictionary_window.h"
#include "rtl/string_list.h"
#include "sql/dbx_common.h"
#include "sql/sql_connection.h"
#include "sql/sql_dataset.h"
#include "tools/dictionary_builder.h"

using namespace app_test;

namespace {

// Words for the search tests: 1500 "кітапN", 1000 "әліпбиN", 100 "қағазN".
void MakeSearchDictionary(TestDb& Db) {
    Db.Exec(CreateTable);
    AddWords(Db, "кітап", "КІТАП", 1500);
    AddWords(Db, "әліпби", "ӘЛІПБИ", 1000);
    AddWords(Db, "қағаз", "ҚАҒАЗ", 100);
}

}  // namespace

TEST(GroupDigits, PutsASpaceBeforeEachGroupOfThreeFromTheRight) {
    const struct {
        std::int64_t count;
        const char* text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1 000"},
        {123456, "123 456"},
        {1234567, "1 234 567"},
        {1000000, "1 000 000"},
        {std::numeric_limits<std::int64_t>::max(), "9 223 372 036 854 775 807"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8(app::GroupDigits(c.count)), c.text) << c.count;
    EXPECT_EQ(Utf8(app::TotalWordsText(1000)), "Базада барлығы 1 000 сөз бар");
    EXPECT_EQ(Utf8(app::MatchesFoundText(1500)), "Сұраныс бойынша 1 500 сөздік табылды");
}

TEST(SearchConditionLine, EachModeWithApostrophesDoubled) {
    const struct {
        int mode;
        const char16_t* text;
        const char* line;
    } cases[] = {
        {0, u"КІТАП", " where lx_word_upper  like '%КІТАП%'"},
        {1, u"КІТАП", " where lx_word_upper  like 'КІТАП%'"},
        {2, u"КІТАП", " where lx_word_upper  = 'КІТАП'"},
        {0, u"", " where lx_word_upper  like '%%'"},
        {2, u"", " where lx_word_upper  = ''"},
        {0, u"О'ҚУ", " where lx_word_upper  like '%О''ҚУ%'"},
        {2, u"' OR 1=1 --", " where lx_word_upper  = ''' OR 1=1 --'"},
        {1, u"''", " where lx_word_upper  like '''''%'"},
        {1, u"5%_", " where lx_word_upper  like '5%_%'"},  // wildcards stay wildcards
        {-1, u"А", " where lx_word_upper  like '%А%'"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8(app::SearchConditionLine(c.mode, c.text)), c.line) << c.mode;
}

// ---- start-up

TEST_F(DictionaryWindowTest, StartUpShowsTheFirstEntriesAndTheTotal) {
    const struct {
        int rows;
        const char* panel;
        int shown;
    } cases[] = {
        // clang-format off
        {0, "Базада барлығы 0 сөз бар", 0},        {7, "Базада барлығы 7 сөз бар", 7},
        {999, "Базада барлығы 999 сөз бар", 999},  {1000, "Базада барлығы 1 000 сөз бар", 1000},
        {250000, "Базада барлығы 250 000 сөз бар", 1000},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        FolderOverride = Dir.Path() / ("rows" + std::to_string(c.rows));
        MakeDictionary(c.rows);
        Start();
        EXPECT_TRUE(StartBoxes.empty());
        EXPECT_EQ(Panel(0), c.panel);
        EXPECT_EQ(Panel(1), "");
        EXPECT_EQ(ClientRecordCount(), c.shown);
        EXPECT_EQ(MemoText(), c.rows ? "Мәтін кітап1" : "");
        // No search at start: the focus is in the grid and the statement is the start-up one.
        EXPECT_TRUE(Form->DBGrid1->Focused());
        EXPECT_EQ(Form->SQLQuery1->SQL().Text(), rtl::String(app::StartupStatement) + u"\r\n");
    }
}

TEST_F(DictionaryWindowTest, FocusStartsInTheGridAndTabFollowsTabOrder) {
    MakeDictionary(20);
    Start();
    int refreshes = 0;
    Form->ClientDataSet1->AfterRefresh = [&](data::TDataSet&) { ++refreshes; };
    ASSERT_TRUE(Form->DBGrid1->Focused());
    // With dgTabs the grid keeps Tab for its own columns and records.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(Form->DBGrid1->Focused());
    EXPECT_EQ(refreshes, 0);
    Form->BitBtn1->SetFocus();
    toolkit::TControl* order[] = {Form->Edit1, Form->RadioGroup1, Form->DBMemo1};
    for (toolkit::TControl* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(next->Focused()) << Utf8(next->Name());
    }
    EXPECT_EQ(refreshes, 1);  // tabbing into the box searched once
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 20 сөздік табылды");
}

TEST_F(DictionaryWindowTest, MemoShowsTheTextOfTheSelectedRow) {
    MakeDictionary(20);
    Start();
    QTest::keyClick(Form->DBGrid1->Widget(), Qt::Key_Down);
    QTest::keyClick(Form->DBGrid1->Widget(), Qt::Key_Down);
    EXPECT_EQ(CurrentWord(), "кітап3");
    EXPECT_EQ(MemoText(), "Мәтін кітап3");
    Search(u"кітап12", 2);
    EXPECT_EQ(MemoText(), "Мәтін кітап12");
}

// ---- search

TEST_F(DictionaryWindowTest, SearchShowsUpToAThousandRowsAndCountsAllMatches) {
    auto db = OpenDb();
    MakeSearchDictionary(*db);
    Start();
    const struct {
        const char16_t* text;
        int mode;
        const char* panel;
        int shown;
    } cases[] = {
        // clang-format off
        {u"кітап", 0, "Сұраныс бойынша 1 500 сөздік табылды", 1000},
        {u"әліпби", 0, "Сұраныс бойынша 1 000 сөздік табылды", 1000},
        {u"қағаз", 0, "Сұраныс бойынша 100 сөздік табылды", 100},
        {u"жоқ", 0, "Сұраныс бойынша 0 сөздік табылды", 0},
        // The mode is the one the radio group holds when the search runs.
        {u"тап1", 0, "Сұраныс бойынша 612 сөздік табылды", 612},
        {u"тап1", 1, "Сұраныс бойынша 0 сөздік табылды", 0},
        {u"кітап1", 1, "Сұраныс бойынша 612 сөздік табылды", 612},
        {u"кітап1", 2, "Сұраныс бойынша 1 сөздік табылды", 1},
        // Lower and capital input search for the same capitals.
        {u"ҚАҒАЗ9", 1, "Сұраныс бойынша 11 сөздік табылды", 11},
        {u"қАғАз9", 1, "Сұраныс бойынша 11 сөздік табылды", 11},
        // "%" and "_" stay wildcards in the LIKE modes.
        {u"к_тап15%", 1, "Сұраныс бойынша 12 сөздік табылды", 12},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.text) + " in mode " + std::to_string(c.mode));
        EXPECT_TRUE(Search(c.text, c.mode).empty());
        EXPECT_EQ(Panel(1), c.panel);
        EXPECT_EQ(ClientRecordCount(), c.shown);
        EXPECT_EQ(Panel(0), "Базада барлығы 2 600 сөз бар");  // a search never changes the total
    }
    Search(u"кітап", 0);
    EXPECT_EQ(Utf8(Form->SQLQuery1->SQL().Text()),
              "select id, lx_word, lx_text, lx_title from lx_items\r\n"
              " where lx_word_upper  like '%КІТАП%'\r\n"
              "limit 1000\r\n");
}

TEST_F(DictionaryWindowTest, KazakhLettersOutsideRussianMatchInLowerCase) {
    const struct {
        const char* lower;
        const char* upper;
        // clang-format off
    } letters[] = {{"ә", "Ә"}, {"ғ", "Ғ"}, {"қ", "Қ"}, {"ң", "Ң"}, {"ө", "Ө"},
                   {"ұ", "Ұ"}, {"ү", "Ү"}, {"һ", "Һ"}, {"і", "І"}};
    // clang-format on
    auto db = OpenDb();
    db->Exec(CreateTable);
    for (const auto& l : letters) AddRows(*db, std::string("('с") + l.lower + "з', 'т', 'с', 'С" + l.upper + "З')");
    // Neighbours from the Russian alphabet that must not match.
    AddRows(*db,
            "('саз', 'т', 'с', 'САЗ'), ('сгз', 'т', 'с', 'СГЗ'), ('скз', 'т', 'с', 'СКЗ'), "
            "('сиз', 'т', 'с', 'СИЗ'), ('суз', 'т', 'с', 'СУЗ')");
    Start();
    for (const auto& l : letters) {
        SCOPED_TRACE(l.lower);
        Search(rtl::Utf8ToString(l.lower), 0);
        EXPECT_EQ(Panel(1), "Сұраныс бойынша 1 сөздік табылды");
        EXPECT_EQ(CurrentWord(), std::string("с") + l.lower + "з");
    }
}

// A row with an empty lx_word_upper is found only by the empty text; one
// with NULL by nothing; both count in the total.
TEST_F(DictionaryWindowTest, EmptyTextInEachModeAndRowsWithoutCapitals) {
    auto db = OpenDb();
    db->Exec(CreateTable);
    AddWords(*db, "кітап", "КІТАП", 5);
    AddRows(*db, "('бос', 'т', 'с', ''), ('null', 'т', 'с', NULL), ('сөз ', 'т', 'с', 'СӨЗ ')");
    Start();
    EXPECT_EQ(Panel(0), "Базада барлығы 8 сөз бар");
    const struct {
        const char16_t* text;
        int mode;
        int found;
    } cases[] = {
        // clang-format off
        {u"", 0, 7}, {u"", 1, 7}, {u"", 2, 1},
        {u"к", 1, 5},
        // Trailing spaces are kept: only capitals ending with them are equal.
        {u"кітап1 ", 2, 0}, {u"сөз ", 2, 1}, {u"сөз", 2, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + Utf8(c.text) + "\" in mode " + std::to_string(c.mode));
        Search(c.text, c.mode);
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(c.found)));
        EXPECT_EQ(ClientRecordCount(), c.found);
    }
    Search(u"", 2);
    EXPECT_EQ(CurrentWord(), "бос");
}

TEST_F(DictionaryWindowTest, ButtonThenBackIntoTheBoxSearchesTwice) {
    auto db = OpenDb();
    MakeSearchDictionary(*db);
    Start();
    int refreshes = 0;
    Form->ClientDataSet1->AfterRefresh = [&](data::TDataSet&) { ++refreshes; };
    ChooseMode(1);
    Form->Edit1->SetText(u"қағаз1");
    ModalBoxCatcher catcher;
    QTest::mouseClick(Form->BitBtn1->Widget(), Qt::LeftButton);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 12 сөздік табылды");
    const std::string first = CurrentWord();
    Form->StatusBar1->SetPanelText(1, u"");
    QTest::mouseClick(Form->Edit1->Widget(), Qt::LeftButton);
    ASSERT_TRUE(Form->Edit1->Focused());
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 12 сөздік табылды");
    EXPECT_EQ(ClientRecordCount(), 12);
    EXPECT_EQ(CurrentWord(), first);
    // Typing in the box does not search; the next entry into it does.
    QTest::keyClicks(Form->Edit1->Widget(), QStringLiteral("0"));
    EXPECT_EQ(refreshes, 2);
    EXPECT_TRUE(catcher.Boxes.empty());
}

// ---- apostrophes and keywords in the search text

TEST_F(DictionaryWindowTest, ApostrophesAreSearchedForAsTyped) {
    auto db = OpenDb();
    db->Exec(CreateTable);
    AddWords(*db, "кітап", "КІТАП", 50);
    AddRows(*db,
            "('о''қу', 'т', 'с', 'О''ҚУ'), ('оқу', 'т', 'с', 'ОҚУ'), "
            "('x'' or 1=1 --y', 'т', 'с', 'X'' OR 1=1 --Y')");
    Start();
    const struct {
        const char16_t* text;
        int mode;
        int found;
    } cases[] = {
        // clang-format off
        {u"о'қу", 0, 1}, {u"о'қу", 2, 1}, {u"' or 1=1 --", 0, 1}, {u"'", 0, 2},
        {u"' or '1'='1", 2, 0}, {u"оқу", 0, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + Utf8(c.text) + "\" in mode " + std::to_string(c.mode));
        EXPECT_TRUE(Search(c.text, c.mode).empty());
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(c.found)));
        EXPECT_EQ(ClientRecordCount(), c.found);
    }
    Search(u"о'қу", 2);
    EXPECT_EQ(CurrentWord(), "о'қу");
    EXPECT_EQ(Panel(0), "Базада барлығы 53 сөз бар");
}

// The count is derived from the statement's text; words in the search text
// must neither refuse it nor cut its condition.
TEST_F(DictionaryWindowTest, KeywordsInTheSearchTextCountRight) {
    auto db = OpenDb();
    db->Exec(CreateTable);
    AddWords(*db, "кітап", "КІТАП", 30);
    AddRows(*db,
            "('a distinct b', 'т', 'с', 'A DISTINCT B'), ('a where b', 'т', 'с', 'A WHERE B'), "
            "('a order by b', 'т', 'с', 'A ORDER BY B'), ('x'' where y', 'т', 'с', 'X'' WHERE Y')");
    Start();
    const struct {
        const char16_t* text;
        int found;
    } cases[] = {{u" distinct ", 1}, {u" where ", 2}, {u" order by ", 1}, {u"' where ", 1}, {u" DISTINCT B", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.text));
        EXPECT_TRUE(Search(c.text, 0).empty());
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(c.found)));
        EXPECT_EQ(ClientRecordCount(), c.found);
    }
}

// ---- failures

TEST_F(DictionaryWindowTest, MissingDatabaseIsCreatedEmptyAndTheMissingTableShown) {
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        Start();
        EXPECT_EQ(StartBoxes, std::vector<String>{u"no such table: lx_items."});
        ASSERT_TRUE(std::filesystem::exists(DatabasePath()));
        EXPECT_EQ(std::filesystem::file_size(DatabasePath()), 0u);
        EXPECT_EQ(Panel(0), "");
        EXPECT_EQ(ClientRecordCount(), 0);
        EXPECT_EQ(MemoText(), "");
        EXPECT_TRUE(Form->Window()->isVisible());  // the window opens all the same
        EXPECT_EQ(Search(u"кітап"), std::vector<String>{u"no such table: lx_items."});
        EXPECT_EQ(Panel(1), "");
    }
}

TEST_F(DictionaryWindowTest, MissingTableOrColumnIsShownAtStartAndAtEverySearch) {
    const struct {
        const char* name;
        const char* create;
        const char16_t* atStart;  // null: the start-up works
        const char16_t* atSearch;
    } cases[] = {
        {"no table", "create table words (id INTEGER, lx_word TEXT)", u"no such table: lx_items.",
         u"no such table: lx_items."},
        {"no lx_title",
         "create table lx_items (id INTEGER, lx_word VARCHAR(100), lx_text TEXT, lx_word_upper VARCHAR(100))",
         u"no such column: lx_title.", u"no such column: lx_title."},
        {"no lx_word_upper",
         "create table lx_items (id INTEGER, lx_word VARCHAR(100), lx_text TEXT, lx_title VARCHAR(100))", nullptr,
         u"no such column: lx_word_upper."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FolderOverride = Dir.Path() / c.name;
        OpenDb()->Exec(c.create);
        Start();
        const std::vector<String> startBoxes = c.atStart ? std::vector<String>{c.atStart} : std::vector<String>{};
        EXPECT_EQ(StartBoxes, startBoxes);
        EXPECT_EQ(Panel(0), c.atStart ? "" : "Базада барлығы 0 сөз бар");
        Form->StatusBar1->SetPanelText(1, u"алдыңғы");
        EXPECT_EQ(Search(u"кітап"), std::vector<String>{c.atSearch});
        EXPECT_EQ(Panel(1), "алдыңғы");
    }
}

// A search that fails keeps the previous rows and count on screen; once the
// cause is gone the next search works.
TEST_F(DictionaryWindowTest, FailedSearchKeepsThePreviousRowsAndTheNextGoodOneWorks) {
    MakeDictionary(100);
    Start();
    Search(u"кітап1", 1);
    ASSERT_EQ(Panel(1), "Сұраныс бойынша 12 сөздік табылды");
    // The window's query lets go of the file, as between two searches, so
    // another connection can take the table away.
    Form->SQLQuery1->Close();
    OpenDb()->Exec("alter table lx_items rename to lx_items_old");
    EXPECT_EQ(Search(u"кітап2", 1), std::vector<String>{u"no such table: lx_items."});
    EXPECT_FALSE(Form->SQLQuery1->Active());
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 12 сөздік табылды");
    EXPECT_EQ(ClientRecordCount(), 12);
    EXPECT_EQ(CurrentWord(), "кітап1");
    OpenDb()->Exec("alter table lx_items_old rename to lx_items");
    EXPECT_TRUE(Search(u"кітап2", 1).empty());
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 11 сөздік табылды");
    EXPECT_EQ(ClientRecordCount(), 11);
}

// A start-up that failed before the grid had rows: once the table exists,
// the next search fills the grid.
TEST_F(DictionaryWindowTest, SearchAfterAFailedStartUpFillsTheGridOnceTheTableExists) {
    Start();
    ASSERT_EQ(StartBoxes, std::vector<String>{u"no such table: lx_items."});
    MakeDictionary(30);
    EXPECT_TRUE(Search(u"кітап2", 1).empty());
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 11 сөздік табылды");
    EXPECT_EQ(ClientRecordCount(), 11);
    EXPECT_EQ(MemoText(), "Мәтін кітап2");
    EXPECT_EQ(Panel(0), "");  // the total is counted only at start
}

TEST_F(DictionaryWindowTest, FolderThatCannotHoldTheDatabaseFailsToConnect) {
    FolderOverride = Dir.Path() / "removed folder";  // never created: no file can be made in it
    Start();
    EXPECT_EQ(StartBoxes, std::vector<String>{u"unable to open database file."});
    EXPECT_FALSE(std::filesystem::exists(FolderOverride));
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(ClientRecordCount(), 0);
    EXPECT_EQ(Search(u"кітап"), std::vector<String>{u"unable to open database file."});
    EXPECT_EQ(Panel(1), "");
}

TEST_F(DictionaryWindowTest, ReadOnlyFolderWithoutTheFileFailsToConnect) {
    std::filesystem::permissions(Dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool stillWritable = std::ofstream(Dir.Path() / "probe").good();
    if (stillWritable) {
        std::filesystem::remove(Dir.Path() / "probe");
        GTEST_SKIP() << "this user may write into read-only folders (root), so the folder cannot refuse the file";
    }
    Start();
    EXPECT_EQ(StartBoxes, std::vector<String>{u"unable to open database file."});
    EXPECT_FALSE(std::filesystem::exists(DatabasePath()));
    EXPECT_EQ(Panel(0), "");
}

TEST_F(DictionaryWindowTest, ReadOnlyDatabaseFileAndNonAsciiFolderWork) {
    FolderOverride = Dir.Path() / "Қазақ сөздігі";
    MakeDictionary(40);
    std::filesystem::permissions(DatabasePath(), std::filesystem::perms::owner_read);
    const std::string before = FileBytes(DatabasePath());
    Start();
    EXPECT_TRUE(StartBoxes.empty());
    EXPECT_EQ(Panel(0), "Базада барлығы 40 сөз бар");
    EXPECT_TRUE(Search(u"кітап3", 1).empty());
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 11 сөздік табылды");
    Form.reset();
    EXPECT_EQ(FileBytes(DatabasePath()), before);
}

// The count at start fails (here a view whose rows past the first thousand
// cannot be computed): the rows are shown, the total is not.
TEST_F(DictionaryWindowTest, FailingCountAtStartShowsTheRowsAndNoTotal) {
    auto db = OpenDb();
    db->Exec(
        "create table entries (id INTEGER PRIMARY KEY, lx_word VARCHAR(100), lx_text TEXT, "
        "lx_title VARCHAR(100), lx_word_upper VARCHAR(100))");
    db->Exec(
        "insert into entries (lx_word, lx_text, lx_title, lx_word_upper) "
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1200) "
        "select 'кітап' || i, 'Мәтін', 'Сөздік', 'КІТАП' || i from n");
    db->Exec(
        "create view lx_items as select * from entries "
        "where case when id > 1000 then abs(-9223372036854775807 - 1) else 1 end");
    Start();
    EXPECT_EQ(StartBoxes, std::vector<String>{u"[0x0005]: Operation Not Supported."});
    EXPECT_EQ(ClientRecordCount(), 1000);
    EXPECT_EQ(CurrentWord(), "кітап1");
    EXPECT_EQ(Panel(0), "");
}

// ---- the sample dictionary made from the Kazakh hunspell word list

TEST_F(DictionaryWindowTest, SampleDictionaryCountsMatchSQLite) {
    tools::DictionaryBuildOptions options;
    if (!std::filesystem::exists(rtl::StringToUtf8(options.DicFileName)))
        GTEST_SKIP() << "the hunspell-kk word list is not installed (scripts/setup.sh installs it)";
    options.OutFileName = rtl::Utf8ToString(DatabasePath().string());
    tools::BuildDictionaryDatabase(options);
    Start();
    ASSERT_TRUE(StartBoxes.empty());
    auto db = OpenDb();
    EXPECT_EQ(Panel(0), Utf8(app::TotalWordsText(db->Number("select count(*) from lx_items"))));
    const char* conditions[] = {"like '%КІТАП%'", "like 'КІТАП%'", "= 'КІТАП'"};
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode);
        const long long expected =
            db->Number(std::string("select count(*) from lx_items where lx_word_upper ") + conditions[mode]);
        EXPECT_GT(expected, 0);
        EXPECT_TRUE(Search(u"кітап", mode).empty());
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(expected)));
        EXPECT_EQ(ClientRecordCount(), std::min<long long>(expected, 1000));
    }
}

// ---- the statement a search sets

// The query takes each search's statement in one change, whole: it closes
// once and opens on the three lines; the provider's refresh then runs it
// again (a close and an open).
TEST_F(DictionaryWindowTest, ASearchSetsItsStatementInOneChange) {
    MakeDictionary(20);
    Start();
    std::vector<std::string> events;
    rtl::TStringList& sql = Form->SQLQuery1->SQL();
    const auto queryChanged = sql.OnChange;
    sql.OnChange = [&](rtl::TStringList& Lines) {
        events.push_back("change to " + Utf8(Lines.Text()));
        queryChanged(Lines);
    };
    Form->SQLQuery1->AfterClose = [&](data::TDataSet&) { events.push_back("close"); };
    Form->SQLQuery1->AfterOpen = [&](data::TDataSet&) { events.push_back("open"); };
    const std::string statement =
        "select id, lx_word, lx_text, lx_title from lx_items\r\n"
        " where lx_word_upper  = 'КІТАП7'\r\n"
        "limit 1000\r\n";
    const std::string change = "change to " + statement;
    const struct {
        const char* before;
        std::vector<std::string> events;
    } cases[] = {
        // clang-format off
        {"start-up, the query open on its own statement", {change, "close", "open", "close", "open"}},
        {"the same search", {change, "close", "open", "close", "open"}},
        {"the query closed", {change, "open", "close", "open"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        if (&c == &cases[2]) Form->SQLQuery1->Close();
        events.clear();
        EXPECT_TRUE(Search(u"кітап7", 2).empty());
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(Panel(1), "Сұраныс бойынша 1 сөздік табылды");
    }
}

// ---- the work a search does, read from the connection's trace

TEST_F(DictionaryWindowTest, ASearchScansOnceForTheRowsAndCountsThemWithoutAnotherScan) {
    auto db = OpenDb();
    MakeSearchDictionary(*db);
    std::vector<String> calls;
    BeforeCreate = [&](app::TForm2& Window) {
        Window.SQLConnection1->OnTrace = [&](const sql::TDBXTraceInfo& Info) { calls.push_back(Info.FTraceMessage); };
    };
    Start();
    const auto count = [&](auto&& Match) { return std::count_if(calls.begin(), calls.end(), Match); };
    const auto steps = [&] { return count([](const String& c) { return c == u"sqlite3_step"; }); };
    const auto selects = [&] { return count([](const String& c) { return c.rfind(u"select id", 0) == 0; }); };
    const auto counts = [&] { return count([](const String& c) { return c.rfind(u"select count", 0) == 0; }); };
    const struct {
        const char16_t* text;
        int mode, matches;
        long selects, steps, counts;
    } cases[] = {
        // clang-format off
        // Opened (a step for each row and one to find the end), then run
        // again by the provider's reset to stand on its first row (a step).
        {u"қағаз1", 1, 12, 2, 12 + 1 + 1, 0},
        // Nothing found: the query already stands where a reset would put it.
        {u"жоқ", 0, 0, 1, 1, 0},
        // At the limit the rows tell nothing of the rest: the count runs (one step).
        {u"әліпби", 0, 1000, 2, 1000 + 1 + 1 + 1, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.text));
        calls.clear();
        Search(c.text, c.mode);
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(c.matches)));
        EXPECT_EQ(selects(), c.selects);
        EXPECT_EQ(counts(), c.counts);
        EXPECT_EQ(steps(), c.steps);
    }
    Form.reset();  // closing traces too, and the list goes with this test
}

// ---- the keyboard in the search box

TEST_F(DictionaryWindowTest, EnterInTheBoxSearchesAndEscapeEmptiesIt) {
    auto db = OpenDb();
    MakeSearchDictionary(*db);
    Start();
    int refreshes = 0;
    Form->ClientDataSet1->AfterRefresh = [&](data::TDataSet&) { ++refreshes; };
    QTest::mouseClick(Form->Edit1->Widget(), Qt::LeftButton);  // entering the box searches, as designed
    ASSERT_EQ(refreshes, 1);
    for (const QChar c : QStringLiteral("қағаз9"))  // one key each, as a Kazakh layout gives them
        QTest::sendKeyEvent(QTest::Click, Form->Edit1->Widget(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(refreshes, 1);  // typing alone does not search
    QTest::keyClick(Form->Edit1->Widget(), Qt::Key_Return);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 11 сөздік табылды");
    EXPECT_TRUE(Form->Edit1->Focused());
    EXPECT_EQ(Utf8(Form->Edit1->Text()), "қағаз9");
    QTest::keyClick(Form->Edit1->Widget(), Qt::Key_Escape);
    EXPECT_EQ(Form->Edit1->Text(), u"");
    EXPECT_EQ(refreshes, 2);  // emptying the box does not search
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 11 сөздік табылды");
    QTest::mouseClick(Form->BitBtn1->Widget(), Qt::LeftButton);  // the button still searches
    EXPECT_EQ(refreshes, 3);
    EXPECT_EQ(Panel(1), "Сұраныс бойынша 2 600 сөздік табылды");
}
