// A search through the whole program beside plain SQLite programs doing the
// same work, on sample dictionaries of 250,000 and 1,500,000 rows, each with
// and without the index on the capitals that the sample tool writes.
//
// Chain: the main window's search as the button runs it (statement, query,
// provider, packet, client dataset, grid repaint, derived count, panel).
// Mapped: the same chain with its connection reading through a memory map of
// the file, as the program once did; it goes without one because a file cut
// under a map ends the process with SIGBUS.
// Naive plain: the same three-line select read row by row as UTF-16 (every
// column copied out), then the same count statement. One statement: the
// select without its limit, the first 1000 rows read as UTF-16 and the rest
// only stepped to count them. Best plain is the faster of the two. Both run
// on one connection with the settings the chain's connection has (SQLite's
// defaults), preparing their statements anew as a program must for a new
// text. Before timing, each case checks that every side gives the same rows
// (as a set) and the same count. Repetitions of all cases are interleaved at
// random; the closing table gives each side's median and the ratios.
//
// It also times the start-up (the window created, its first rows shown and
// the total counted) against a bare window of the same size plus the plain
// program's start-up statement and count, and compares the peak anonymous
// memory of a bare window with the window's after start-up and ten searches,
// each in a process of its own.
//
//   ./bin/search_bench [--rows=250000,1500000] [--repetitions=7] [google benchmark flags]
// The dictionaries are made once by the sample tool into
// $TMPDIR/kalimdar-search-bench/<rows>[-indexed]/lx_items.db and reused.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/dictionary_texts.h"
#include "app/main_window.h"
#include "datapacket/client_dataset.h"
#include "rtl/files.h"
#include "rtl/string_list.h"
#include "sql/sql_connection.h"
#include "sql/sqlite_connection.h"
#include "toolkit/application.h"
#include "toolkit/status_bar.h"
#include "toolkit/std_controls.h"
#include "tools/dictionary_builder.h"
#include "views/db_grid.h"

namespace {

using rtl::String;

struct TPattern {
    int Mode;
    const char* Kind;  // "many", "few" or "none"
    const char16_t* Text;
};

// Texts as the user types them; "many" matches more than 1000 rows, "few"
// fewer (at least one), "none" nothing, on both sample sizes. An equal word
// is never on more than a few rows.
const TPattern Patterns[] = {
    // clang-format off
    {0, "many", u"а"},  {0, "few", u"абайла"}, {0, "none", u"щщщ"},
    {1, "many", u"аб"}, {1, "few", u"абай"},   {1, "none", u"щщщ"},
    {2, "few", u"абай"}, {2, "none", u"щщщ"},
};
// clang-format on

// A sample dictionary of Rows rows, with or without the index on the
// capitals that the sample tool writes.
struct TFile {
    std::int64_t Rows;
    bool Indexed;
    std::string Name() const { return std::to_string(Rows) + (Indexed ? " indexed" : ""); }
    bool operator<(const TFile& O) const { return std::tie(Rows, Indexed) < std::tie(O.Rows, O.Indexed); }
};

std::filesystem::path DictionaryFolder(const TFile& File) {
    const auto folder = std::filesystem::temp_directory_path() / "kalimdar-search-bench" /
                        (std::to_string(File.Rows) + (File.Indexed ? "-indexed" : ""));
    if (!std::filesystem::exists(folder / "lx_items.db")) {
        std::filesystem::create_directories(folder);
        tools::DictionaryBuildOptions options;
        options.Rows = File.Rows;
        options.Index = File.Indexed;
        options.OutFileName = rtl::Utf8ToString((folder / "lx_items.db").string());
        std::fprintf(stderr, "making %s\n", (folder / "lx_items.db").c_str());
        tools::BuildDictionaryDatabase(options);
    }
    return folder;
}

String Statement(const TPattern& P) {
    return String(app::SearchSelectLine) + u"\r\n" + app::SearchConditionLine(P.Mode, rtl::AnsiUpperCase(P.Text)) +
           u"\r\n" + String(app::SearchLimitLine) + u"\r\n";
}

// The count statement the query derives from the search statement.
String CountStatement(const TPattern& P) {
    return u"select count(*) from \"lx_items\" " +
           app::SearchConditionLine(P.Mode, rtl::AnsiUpperCase(P.Text)).substr(1) + u"\r\n" +
           String(app::SearchLimitLine);
}

[[noreturn]] void Fail(const std::string& What) {
    std::fprintf(stderr, "search_bench: %s\n", What.c_str());
    std::exit(1);
}

// The plain program: one connection, default settings.
class TPlain {
public:
    explicit TPlain(const std::filesystem::path& Database) {
        if (sqlite3_open_v2(Database.c_str(), &FDb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            Fail("open " + Database.string());
    }
    ~TPlain() { sqlite3_close(FDb); }
    TPlain(const TPlain&) = delete;
    TPlain& operator=(const TPlain&) = delete;

    struct TResult {
        std::vector<std::int64_t> Ids;
        std::int64_t Count = -1;
    };

    TResult Search(const TPattern& P) {
        TResult result;
        Run(Statement(P), result);
        result.Count = Number(CountStatement(P));
        return result;
    }

    // The best a plain program does with one statement: the select without
    // its limit, the first 1000 rows read as UTF-16, the rest only stepped
    // to count them.
    TResult SearchInOneStatement(const TPattern& P) {
        TResult result;
        const String select = String(app::SearchSelectLine) + u"\r\n" +
                              app::SearchConditionLine(P.Mode, rtl::AnsiUpperCase(P.Text)) + u"\r\n";
        result.Count = Run(select, result, 1000);
        return result;
    }

    // The program's start-up work: the first 1000 entries and the total.
    TResult Startup() {
        TResult result;
        Run(String(app::StartupStatement), result);
        result.Count = Number(u"select count(*) from \"lx_items\"");
        return result;
    }

private:
    // Reads the rows of Select, the first Read of them copied out; gives
    // how many it stepped.
    std::int64_t Run(const String& Select, TResult& Result, std::int64_t Read = INT64_MAX) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare16_v2(FDb, Select.data(), int(Select.size() * 2), &stmt, nullptr) != SQLITE_OK)
            Fail(sqlite3_errmsg(FDb));
        String word, text, title;
        std::int64_t rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            if (++rows > Read) continue;
            Result.Ids.push_back(sqlite3_column_int64(stmt, 0));
            Copy(stmt, 1, word);
            Copy(stmt, 2, text);
            Copy(stmt, 3, title);
            benchmark::DoNotOptimize(word.data());
            benchmark::DoNotOptimize(text.data());
            benchmark::DoNotOptimize(title.data());
        }
        sqlite3_finalize(stmt);
        return rows;
    }
    std::int64_t Number(const String& Sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare16_v2(FDb, Sql.data(), int(Sql.size() * 2), &stmt, nullptr) != SQLITE_OK)
            Fail(sqlite3_errmsg(FDb));
        const std::int64_t value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return value;
    }
    static void Copy(sqlite3_stmt* Stmt, int Column, String& Into) {
        const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(Stmt, Column));
        Into.assign(text ? text : u"", static_cast<std::size_t>(sqlite3_column_bytes16(Stmt, Column)) / 2);
    }
    sqlite3* FDb = nullptr;
};

// The program's window on a dictionary folder, started as the entry starts it.
class TChain {
public:
    // Starts the window as the program does and waits until it is painted.
    // Mapped: its connection then reads the file through a memory map of up
    // to 1 GiB, as the program once did, to show what going without it costs.
    explicit TChain(const std::filesystem::path& Folder, bool Mapped = false) {
        toolkit::Application().SetExeName(rtl::Utf8ToString((Folder / "kalimdar").string()));
        FForm = std::make_unique<app::TForm2>(nullptr);
        FForm->DoCreate();
        if (FForm->StatusBar1->PanelText(0).empty()) Fail("the window did not start on " + Folder.string());
        if (Mapped) {
            auto* connection = dynamic_cast<sql::TDBXSqliteConnection*>(FForm->SQLConnection1->DBXConnection());
            if (!connection || sqlite3_exec(connection->ConnectionHandle(), "PRAGMA mmap_size = 1073741824", nullptr,
                                            nullptr, nullptr) != SQLITE_OK)
                Fail("no memory map on " + Folder.string());
        }
        FForm->Show();
        FForm->Window()->repaint();
        QApplication::processEvents();
    }

    // One search as the button runs it, the grid repainted before it returns.
    void Search(const TPattern& P) {
        FForm->Edit1->SetText(P.Text);
        FForm->RadioGroup1->SetItemIndex(P.Mode);
        FForm->BitBtn1->Click();
        static_cast<QAbstractScrollArea*>(FForm->DBGrid1->Widget())->viewport()->repaint();
    }

    TPlain::TResult Result() {
        TPlain::TResult result;
        datapacket::TClientDataSet& rows = *FForm->ClientDataSet1;
        rows.First();
        while (!rows.Eof()) {
            result.Ids.push_back(rows.FieldByName(u"id")->AsLargeInt());
            rows.Next();
        }
        rows.First();
        const String panel = FForm->StatusBar1->PanelText(1);
        String digits;
        for (char16_t c : panel)
            if (c >= u'0' && c <= u'9') digits += c;
        result.Count = digits.empty() ? -1 : std::stoll(rtl::StringToUtf8(digits));
        return result;
    }

private:
    std::unique_ptr<app::TForm2> FForm;
};

struct TSide {
    std::unique_ptr<TChain> Chain, Mapped;
    std::unique_ptr<TPlain> Plain;
};
std::map<TFile, TSide> Sides;

// Seconds of each repetition, by case name and side: the chain, the chain
// reading through a memory map, the plain program as it reads naively (the
// limited select, then the count statement) and in one statement.
enum TSideKind { skChain, skMapped, skNaive, skOne };
std::map<std::string, std::vector<double>> Times[4];
std::map<std::string, std::int64_t> Matches;

std::string CaseName(const TFile& File, const TPattern& P) {
    return File.Name() + "/mode" + std::to_string(P.Mode) + "/" + P.Kind;
}

void BM_Search(benchmark::State& State, TFile File, TPattern P, TSideKind Kind) {
    TSide& side = Sides.at(File);
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        switch (Kind) {
            case skChain: side.Chain->Search(P); break;
            case skMapped: side.Mapped->Search(P); break;
            case skNaive: benchmark::DoNotOptimize(side.Plain->Search(P)); break;
            case skOne: benchmark::DoNotOptimize(side.Plain->SearchInOneStatement(P)); break;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        State.SetIterationTime(seconds);
        Times[Kind][CaseName(File, P)].push_back(seconds);
    }
}

// Start-up: the window created, its first 1000 rows shown and the total
// counted, against a bare window of the same size shown and painted plus the
// plain program's start-up statement and count on a connection of its own.
void BM_StartupChain(benchmark::State& State, TFile File) {
    const auto folder = DictionaryFolder(File);
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        auto chain = std::make_unique<TChain>(folder);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        State.SetIterationTime(seconds);
        Times[skChain][File.Name() + "/start-up"].push_back(seconds);
    }
}

void BM_StartupBare(benchmark::State& State, TFile File) {
    const auto folder = DictionaryFolder(File);
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        QWidget window;
        window.resize(665, 439);
        window.show();
        window.repaint();
        QApplication::processEvents();
        TPlain plain(folder / "lx_items.db");
        benchmark::DoNotOptimize(plain.Startup());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        State.SetIterationTime(seconds);
        Times[skNaive][File.Name() + "/start-up"].push_back(seconds);
    }
}

// Anonymous resident memory of this process now, in KiB (RssAnon).
long AnonymousKiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "RssAnon: %ld kB", &kib) == 1) break;
    std::fclose(status);
    return kib;
}

// --memory-run=bare|chain: the process's peak anonymous memory, sampled
// after the window is up and (for the chain) after each of ten searches.
int MemoryRun(const std::string& Side, std::int64_t Rows) {
    long peak = 0;
    if (Side == "bare") {
        QWidget window;
        window.resize(665, 439);
        window.show();
        window.repaint();
        QApplication::processEvents();
        peak = AnonymousKiB();
    } else {
        TChain chain(DictionaryFolder(TFile{Rows, true}));
        peak = AnonymousKiB();
        for (int i = 0; i < 10; ++i) {
            chain.Search(Patterns[i % std::size(Patterns)]);
            QApplication::processEvents();
            peak = std::max(peak, AnonymousKiB());
        }
    }
    std::printf("%ld\n", peak);
    return 0;
}

// Runs this program again for each side and compares their peaks.
void ReportMemory(const char* Self, std::int64_t Rows) {
    long peaks[2] = {-1, -1};
    const char* sides[2] = {"bare", "chain"};
    for (int i = 0; i < 2; ++i) {
        const std::string command =
            std::string(Self) + " --rows=" + std::to_string(Rows) + " --memory-run=" + sides[i] + " 2>/dev/null";
        if (std::FILE* child = popen(command.c_str(), "r")) {
            if (std::fscanf(child, "%ld", &peaks[i]) != 1) peaks[i] = -1;
            pclose(child);
        }
    }
    std::printf(
        "\nPeak anonymous memory on %lld rows: bare window %.1f MiB, window after start-up and ten searches "
        "%.1f MiB, difference %.1f MiB\n",
        static_cast<long long>(Rows), peaks[0] / 1024.0, peaks[1] / 1024.0, (peaks[1] - peaks[0]) / 1024.0);
}

std::vector<std::int64_t> ParseRows(int& argc, char** argv) {
    std::vector<std::int64_t> rows{250000, 1500000};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--rows=", 0) != 0) continue;
        rows.clear();
        std::string list = arg.substr(7);
        for (std::size_t at = 0; at <= list.size();) {
            const std::size_t comma = std::min(list.find(',', at), list.size());
            rows.push_back(std::stoll(list.substr(at, comma - at)));
            at = comma + 1;
        }
        std::copy(argv + i + 1, argv + argc, argv + i);
        --argc;
        --i;
    }
    return rows;
}

int ParseRepetitions(int& argc, char** argv) {
    int repetitions = 7;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--repetitions=", 0) != 0) continue;
        repetitions = std::stoi(arg.substr(14));
        std::copy(argv + i + 1, argv + argc, argv + i);
        --argc;
        --i;
    }
    return repetitions;
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

}  // namespace

std::string Ratio(double A, double B) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", A / B);
    return text;
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::vector<std::int64_t> sizes = ParseRows(argc, argv);
    const int repetitions = ParseRepetitions(argc, argv);
    std::string memoryRun;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--memory-run=", 0) == 0) memoryRun = std::string(argv[i]).substr(13);
    toolkit::TApplication application(argc, argv);
    application.SetTitle(u"Kalimdar");
    if (!memoryRun.empty()) return MemoryRun(memoryRun, sizes.back());
    const auto timed = [&](benchmark::internal::Benchmark* B) {
        B->UseManualTime()
            ->Iterations(1)
            ->Repetitions(repetitions)
            ->Unit(benchmark::kMillisecond)
            ->ReportAggregatesOnly(true);
    };
    for (std::int64_t rows : sizes) {
        for (bool indexed : {false, true}) {
            const TFile file{rows, indexed};
            timed(benchmark::RegisterBenchmark(("chain/" + file.Name() + "/start-up").c_str(), BM_StartupChain, file));
            timed(benchmark::RegisterBenchmark(("plain/" + file.Name() + "/start-up").c_str(), BM_StartupBare, file));
            const auto folder = DictionaryFolder(file);
            TSide& side = Sides[file];
            side.Plain = std::make_unique<TPlain>(folder / "lx_items.db");
            side.Chain = std::make_unique<TChain>(folder);
            side.Mapped = std::make_unique<TChain>(folder, true);
            for (const TPattern& p : Patterns) {
                // Every side must agree before any is timed; the rows may come
                // in another order from an index.
                side.Chain->Search(p);
                TPlain::TResult chain = side.Chain->Result();
                TPlain::TResult plain = side.Plain->Search(p);
                side.Mapped->Search(p);
                TPlain::TResult mapped = side.Mapped->Result();
                TPlain::TResult one = side.Plain->SearchInOneStatement(p);
                one.Ids.resize(std::min<std::size_t>(one.Ids.size(), 1000));
                for (auto* r : {&chain, &plain, &mapped, &one}) std::sort(r->Ids.begin(), r->Ids.end());
                for (const auto* r : {&chain, &mapped, &one})
                    if (r->Ids != plain.Ids || r->Count != plain.Count)
                        Fail(CaseName(file, p) + ": the sides disagree (" + std::to_string(r->Ids.size()) +
                             " rows, count " + std::to_string(r->Count) + " against " +
                             std::to_string(plain.Ids.size()) + " rows, count " + std::to_string(plain.Count) + ")");
                Matches[CaseName(file, p)] = plain.Count;
                const char* names[] = {"chain/", "mapped/", "plain/", "one-statement/"};
                for (TSideKind kind : {skChain, skMapped, skNaive, skOne})
                    timed(benchmark::RegisterBenchmark((names[kind] + CaseName(file, p)).c_str(), BM_Search, file, p,
                                                       kind));
            }
        }
    }
    // Repetitions of all cases interleave at random, so that a slow spell of
    // the machine does not fall on one side only.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Medians in ms; best plain is the faster of the naive program and the
    // one statement. The start-up rows compare against the bare window plus
    // the plain start-up.
    std::printf(
        "\n| File | Mode | Pattern | Matches | Chain ms | Best plain ms | Naive plain ms | Chain / best plain "
        "| Chain / naive plain | Chain / chain with a memory map |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& [name, chainTimes] : Times[skChain]) {
        const std::vector<double>& naiveTimes = Times[skNaive][name];
        if (chainTimes.empty() || naiveTimes.empty()) continue;
        const double chain = Median(chainTimes), naive = Median(naiveTimes);
        const std::vector<double>& oneTimes = Times[skOne][name];
        const std::vector<double>& mappedTimes = Times[skMapped][name];
        const double best = oneTimes.empty() ? naive : std::min(naive, Median(oneTimes));
        const auto first = name.find('/'), second = name.find('/', first + 1);
        const bool startup = second == std::string::npos;
        std::printf("| %s | %s | %s | %s | %.1f | %.1f | %.1f | %s | %s | %s |\n", name.substr(0, first).c_str(),
                    startup ? "-" : name.substr(first + 5, second - first - 5).c_str(),
                    startup ? "start-up" : name.substr(second + 1).c_str(),
                    startup ? "1000 shown" : std::to_string(Matches[name]).c_str(), chain * 1e3, best * 1e3,
                    naive * 1e3, Ratio(chain, best).c_str(), Ratio(chain, naive).c_str(),
                    mappedTimes.empty() ? "-" : Ratio(chain, Median(mappedTimes)).c_str());
    }
    for (std::int64_t rows : sizes) ReportMemory(argv[0], rows);
    Sides.clear();
    toolkit::Application().SetExeName(u"");
    return 0;
}
