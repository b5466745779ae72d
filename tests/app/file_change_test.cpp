// The dictionary file changed underneath the running window by another
// program (emptied, cut short, copied over in place), at start-up, in a
// search, in a count and while the window is idle. Each case runs in a
// child process, so that a signal fails the case instead of ending the
// suite: the window must show what went wrong, keep working, and search the
// file once it is sound again.

#include <gtest/gtest-spi.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "app/dictionary_texts.h"
#include "dictionary_window.h"

using namespace app_test;
namespace fs = std::filesystem;

namespace {

// What another program does to the file, once, from inside the statement the
// window's connection is running: SQLite's progress handler on every
// connection opened in the process calls Act while a statement whose text
// starts with Statement runs.
struct Saboteur {
    std::string Statement;
    std::function<void()> Act;
    bool Done = false;
};
Saboteur* gSaboteur = nullptr;

int OnProgress(void* Database) {
    if (!gSaboteur || gSaboteur->Done) return 0;
    auto* db = static_cast<sqlite3*>(Database);
    for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s)) {
        const char* sql = sqlite3_sql(s);
        if (sqlite3_stmt_busy(s) && sql &&
            std::strncmp(sql, gSaboteur->Statement.c_str(), gSaboteur->Statement.size()) == 0) {
            gSaboteur->Done = true;
            gSaboteur->Act();
            break;
        }
    }
    return 0;
}

int WatchConnection(sqlite3* Database, char**, const sqlite3_api_routines*) {
    sqlite3_progress_handler(Database, 1, &OnProgress, Database);
    return SQLITE_OK;
}

void WriteBytes(const fs::path& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;  // as cp does: truncate, then write
}

enum class Moment { StartRows, StartCount, SearchRows, SearchCount, Idle };

const char* Name(Moment M) {
    switch (M) {
        case Moment::StartRows: return "start-up rows";
        case Moment::StartCount: return "start-up count";
        case Moment::SearchRows: return "search rows";
        case Moment::SearchCount: return "search count";
        case Moment::Idle: return "idle";
    }
    return "?";
}

enum class Change { Emptied, Cut, CopiedOver };

const char* Name(Change C) {
    switch (C) {
        case Change::Emptied: return "emptied";
        case Change::Cut: return "cut to three pages";
        case Change::CopiedOver: return "another dictionary copied over it";
    }
    return "?";
}

constexpr int kRows = 20000;   // "кітап1" ... in the dictionary the window starts on
constexpr int kOthers = 3000;  // "қала1" ... in the one copied over it

// Runs Body in the child process of a death test and ends the child: code 0
// when every check held, else 1 with the failed checks on stderr, which the
// parent shows.
void ExitWithFailures(const std::function<void()>& Body) {
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        Body();
    }
    bool failed = false;
    for (int i = 0; i < results.size(); ++i) {
        const ::testing::TestPartResult& r = results.GetTestPartResult(i);
        if (!r.failed()) continue;
        failed = true;
        std::fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(), r.message());
    }
    std::fflush(nullptr);
    _exit(failed ? 1 : 0);
}

class FileChangeTest : public DictionaryWindowTest {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    // Runs one case in a child process; a signal or a failed check in the
    // child fails it.
    void RunInChild(Moment M, Change C) {
        SCOPED_TRACE(std::string(Name(C)) + " during " + Name(M));
        EXPECT_EXIT({ ExitWithFailures([&] { Run(M, C); }); }, ::testing::ExitedWithCode(0), "");
    }

    void Run(Moment M, Change C) {
        MakeDictionary(kRows);
        const std::string original = FileBytes(DatabasePath());
        const std::string other = OtherDictionary();
        const long long pageSize = OpenDb()->Number("pragma page_size");
        const std::function<void()> change = [&, C] {
            switch (C) {
                case Change::Emptied: fs::resize_file(DatabasePath(), 0); break;
                case Change::Cut: fs::resize_file(DatabasePath(), static_cast<std::uintmax_t>(3 * pageSize)); break;
                case Change::CopiedOver: WriteBytes(DatabasePath(), other); break;
            }
        };
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&WatchConnection));
        Saboteur saboteur{M == Moment::StartCount || M == Moment::SearchCount ? "select count(*)" : "select id",
                          change};
        if (M == Moment::StartRows || M == Moment::StartCount) gSaboteur = &saboteur;
        Start();
        gSaboteur = nullptr;
        if (M == Moment::StartRows) {
            ExpectOneFailure(StartBoxes);
            EXPECT_EQ(Panel(0), "");
        } else if (M == Moment::StartCount) {
            EXPECT_EQ(StartBoxes, std::vector<String>{u"[0x0005]: Operation Not Supported."});
            EXPECT_EQ(Panel(0), "");
        } else {
            ASSERT_EQ(StartBoxes, std::vector<String>{});
            EXPECT_EQ(Panel(0), Utf8(app::TotalWordsText(kRows)));
            ASSERT_EQ(Search(u"кітап1", 2), std::vector<String>{});
            const std::string before = Panel(1);
            ASSERT_EQ(ClientRecordCount(), 1);
            if (M == Moment::Idle) {
                change();
                const std::vector<String> boxes = Search(u"кітап", 1);
                if (C == Change::CopiedOver) {
                    // The other file is sound: its rows, not the old ones.
                    EXPECT_EQ(boxes, std::vector<String>{});
                    EXPECT_EQ(ClientRecordCount(), 0);
                    EXPECT_EQ(Search(u"қала", 1), std::vector<String>{});
                    EXPECT_EQ(ClientRecordCount(), 1000);
                    EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(kOthers)));
                    EXPECT_EQ(CurrentWord(), "қала1");
                    return;
                }
                ExpectOneFailure(boxes);
            } else {
                gSaboteur = &saboteur;
                const std::vector<String> boxes = Search(u"кітап", 1);
                gSaboteur = nullptr;
                if (M == Moment::SearchCount) {
                    EXPECT_EQ(boxes, std::vector<String>{u"[0x0005]: Operation Not Supported."});
                } else {
                    ExpectOneFailure(boxes);
                    EXPECT_EQ(ClientRecordCount(), 1) << "the previous rows stay";
                }
            }
            EXPECT_EQ(Panel(1), before);
        }
        EXPECT_TRUE(saboteur.Done || M == Moment::Idle) << "the file was never changed";
        // Sound again: the next search finds what the file holds.
        if (C == Change::CopiedOver) {
            ExpectFinds(u"қала", kOthers, "қала1");
        } else {
            WriteBytes(DatabasePath(), original);
            ExpectFinds(u"кітап", kRows, "кітап1");
        }
    }

    // A dictionary made the same way with other words, so that its header's
    // change counter is the same as the first one's.
    std::string OtherDictionary() {
        const fs::path path = Dir.Path() / "other" / "lx_items.db";
        fs::create_directories(path.parent_path());
        {
            TestDb db(path);
            db.Exec(CreateTable);
            AddWords(db, "қала", "ҚАЛА", kOthers);
        }
        return FileBytes(path);
    }

    void ExpectOneFailure(const std::vector<String>& Boxes) {
        static const std::set<String> Known = {u"database disk image is malformed.",
                                               u"database file changed while it was read.", u"no such table: lx_items.",
                                               u"file is not a database."};
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_TRUE(Known.count(Boxes[0])) << Utf8(Boxes[0]);
    }

    void ExpectFinds(const String& Text, int Count, const std::string& First) {
        EXPECT_EQ(Search(Text, 1), std::vector<String>{});
        EXPECT_EQ(ClientRecordCount(), std::min(Count, 1000));
        EXPECT_EQ(Panel(1), Utf8(app::MatchesFoundText(Count)));
        EXPECT_EQ(CurrentWord(), First);
    }
};

}  // namespace

TEST_F(FileChangeTest, EmptiedAtEachMoment) {
    for (Moment m : {Moment::StartRows, Moment::StartCount, Moment::SearchRows, Moment::SearchCount, Moment::Idle})
        RunInChild(m, Change::Emptied);
}

TEST_F(FileChangeTest, CutShortAtEachMoment) {
    for (Moment m : {Moment::StartRows, Moment::StartCount, Moment::SearchRows, Moment::SearchCount, Moment::Idle})
        RunInChild(m, Change::Cut);
}

TEST_F(FileChangeTest, CopiedOverInPlaceAtEachMoment) {
    for (Moment m : {Moment::StartRows, Moment::StartCount, Moment::SearchRows, Moment::SearchCount, Moment::Idle})
        RunInChild(m, Change::CopiedOver);
}

// A dictionary in WAL mode whose WAL holds a commit that a writer keeps
// open, cut while the window is idle.
TEST_F(FileChangeTest, WalDictionaryCutWhileIdle) {
    EXPECT_EXIT(ExitWithFailures([&] {
                    MakeDictionary(kRows);
                    auto writer = OpenDb();
                    writer->Exec("pragma journal_mode = wal");
                    writer->Exec("pragma wal_autocheckpoint = 0");
                    AddWords(*writer, "ән", "ӘН", 5);
                    const std::string original = FileBytes(DatabasePath());
                    Start();
                    EXPECT_EQ(StartBoxes, std::vector<String>{});
                    EXPECT_EQ(Panel(0), Utf8(app::TotalWordsText(kRows + 5)));
                    fs::resize_file(DatabasePath(), 4096);
                    const std::vector<String> boxes = Search(u"кітап", 1);
                    ExpectOneFailure(boxes);
                    WriteBytes(DatabasePath(), original);
                    ExpectFinds(u"ән", 5, "ән1");
                }),
                ::testing::ExitedWithCode(0), "");
}
