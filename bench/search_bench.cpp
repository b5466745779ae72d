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
// (as a set) and the same count. Each repetition runs the cases in a random
// order and a case's sides back to back; the closing table gives each side's
// median and, for each ratio, the median of its ratios within repetitions.
//
// It also times the start-up (the window created, its first rows shown and
// the total counted) against a bare window of the same size plus the plain
// program's start-up statement and count, and compares the peak anonymous
// memory of a bare window with the window's after start-up and ten searches,
// each in a process of its own.
//
//   ./bin/search_bench [--rows=250000,1500000] [--repetitions=15] [--filter=REGEX] [--sides=chain,...] [--samples]
// REGEX picks cases by name ("250000 indexed/mode2/few", "1500000/start-up");
// --samples also prints every repetition's times.
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
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
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

// The sides a case is timed on: the chain, the chain reading through a
// memory map, the plain program as it reads naively (the limited select,
// then the count statement) and in one statement. A start-up case has the
// chain and, as its naive side, the bare window plus the plain start-up.
enum TSideKind { skChain, skMapped, skNaive, skOne };

// One case: a search pattern on a file, or the file's start-up.
struct TCase {
    TFile File;
    const TPattern* Pattern;  // nullptr for the start-up
    std::string Name() const {
        return File.Name() + (Pattern ? "/mode" + std::to_string(Pattern->Mode) + "/" + Pattern->Kind : "/start-up");
    }
    std::vector<TSideKind> Kinds() const {
        return Pattern ? std::vector{skChain, skMapped, skNaive, skOne} : std::vector{skChain, skNaive};
    }
};

// Seconds of each repetition, by case name and side; the same index in
// every side's list is the same repetition, timed back to back.
std::map<std::string, std::vector<double>> Times[4];
std::map<std::string, std::int64_t> Matches;

// Start-up: the window created, its first 1000 rows shown and the total
// counted; or a bare window of the same size shown and painted plus the
// plain program's start-up statement and count on a connection of its own.
void StartupChain(const TFile& File) { TChain chain(DictionaryFolder(File)); }

void StartupBare(const TFile& File) {
    QWidget window;
    window.resize(665, 439);
    window.show();
    window.repaint();
    QApplication::processEvents();
    TPlain plain(DictionaryFolder(File) / "lx_items.db");
    benchmark::DoNotOptimize(plain.Startup());
}

// Seconds one side takes on one case.
double TimeOnce(const TCase& Case, TSideKind Kind) {
    const auto start = std::chrono::steady_clock::now();
    if (!Case.Pattern) {
        if (Kind == skChain) StartupChain(Case.File);
        else StartupBare(Case.File);
    } else {
        TSide& side = Sides.at(Case.File);
        const TPattern& p = *Case.Pattern;
        switch (Kind) {
            case skChain: side.Chain->Search(p); break;
            case skMapped: side.Mapped->Search(p); break;
            case skNaive: benchmark::DoNotOptimize(side.Plain->Search(p)); break;
            case skOne: benchmark::DoNotOptimize(side.Plain->SearchInOneStatement(p)); break;
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each repetition takes the cases in a new random order and, within a
// case, its sides back to back in a new random order, so that the
// machine's slow and fast spells, which last seconds here, fall on all
// sides of a case alike.
void RunRepetitions(const std::vector<TCase>& Cases, int Repetitions, const std::vector<TSideKind>& Sides) {
    std::mt19937 random(20261211);
    std::vector<const TCase*> order;
    for (const TCase& c : Cases) order.push_back(&c);
    for (int r = 0; r < Repetitions; ++r) {
        std::shuffle(order.begin(), order.end(), random);
        for (const TCase* c : order) {
            std::vector<TSideKind> kinds = c->Kinds();
            std::erase_if(kinds, [&](TSideKind K) { return std::find(Sides.begin(), Sides.end(), K) == Sides.end(); });
            std::shuffle(kinds.begin(), kinds.end(), random);
            for (TSideKind kind : kinds) Times[kind][c->Name()].push_back(TimeOnce(*c, kind));
        }
        std::fprintf(stderr, "\rrepetition %d of %d", r + 1, Repetitions);
    }
    std::fprintf(stderr, "\n");
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

struct TOptions {
    std::vector<std::int64_t> Rows{250000, 1500000};
    int Repetitions = 15;
    std::regex Filter{""};  // cases whose name it finds are run
    bool Filtered = false;  // the memory comparison runs only without a filter
    bool Samples = false;   // also print every repetition's times
    std::vector<TSideKind> Sides{skChain, skMapped, skNaive, skOne};  // the sides timed
    std::string MemoryRun;
};

TOptions ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* Name) {
            return arg.rfind(Name, 0) == 0 ? std::optional(arg.substr(std::strlen(Name))) : std::nullopt;
        };
        if (auto list = value("--rows=")) {
            options.Rows.clear();
            for (std::size_t at = 0; at <= list->size();) {
                const std::size_t comma = std::min(list->find(',', at), list->size());
                options.Rows.push_back(std::stoll(list->substr(at, comma - at)));
                at = comma + 1;
            }
        } else if (auto n = value("--repetitions=")) {
            options.Repetitions = std::max(1, std::stoi(*n));
        } else if (auto filter = value("--filter=")) {
            options.Filter = std::regex(*filter);
            options.Filtered = true;
        } else if (auto list = value("--sides=")) {
            // For a profiler: time only these sides, e.g. --sides=chain.
            const char* names[] = {"chain", "mapped", "naive", "one"};
            options.Sides.clear();
            for (int kind = skChain; kind <= skOne; ++kind)
                if (std::regex_search(*list, std::regex("(^|,)" + std::string(names[kind]) + "(,|$)")))
                    options.Sides.push_back(static_cast<TSideKind>(kind));
            options.Filtered = true;
        } else if (arg == "--samples") {
            options.Samples = true;
        } else if (auto side = value("--memory-run=")) {
            options.MemoryRun = *side;
        } else {
            Fail("unknown option " + arg +
                 "; the options are --rows=N,N..., --repetitions=N, --filter=REGEX (on case names such as "
                 "\"250000 indexed/mode2/few\" or \"1500000/start-up\") --sides=chain,mapped,naive,one and --samples");
        }
    }
    return options;
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

// The median of the ratios of two sides' times in the same repetitions.
double PairedRatio(const std::vector<double>& A, const std::vector<double>& B) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(A.size(), B.size()); ++i) ratios.push_back(A[i] / B[i]);
    return Median(ratios);
}

// Every side must agree on a case before any is timed; the rows may come in
// another order from an index.
void CheckSidesAgree(const TCase& Case) {
    TSide& side = Sides.at(Case.File);
    const TPattern& p = *Case.Pattern;
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
            Fail(Case.Name() + ": the sides disagree (" + std::to_string(r->Ids.size()) + " rows, count " +
                 std::to_string(r->Count) + " against " + std::to_string(plain.Ids.size()) + " rows, count " +
                 std::to_string(plain.Count) + ")");
    Matches[Case.Name()] = plain.Count;
}

// A median in ms, or "-" where a side was not timed.
std::string Ms(const std::vector<double>& Times) {
    if (Times.empty()) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", Median(Times) * 1e3);
    return text;
}

std::string Ratio(const std::vector<double>& A, const std::vector<double>& B) {
    if (A.empty() || B.empty()) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", PairedRatio(A, B));
    return text;
}

// Medians in ms; best plain is whichever plain program has the smaller
// median, and each ratio is the median of the ratios within repetitions.
void PrintTable(const std::vector<TCase>& Cases) {
    std::printf(
        "\n| File | Mode | Pattern | Matches | Chain ms | Best plain ms | Naive plain ms | Chain / best plain "
        "| Chain / naive plain | Chain / chain with a memory map |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const TCase& c : Cases) {
        const std::string name = c.Name();
        const std::vector<double>& chain = Times[skChain][name];
        const std::vector<double>& naive = Times[skNaive][name];
        const std::vector<double>& one = Times[skOne][name];
        const std::vector<double>& mapped = Times[skMapped][name];
        const std::vector<double>& best = naive.empty() || (!one.empty() && Median(one) < Median(naive)) ? one : naive;
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", c.File.Name().c_str(),
                    c.Pattern ? std::to_string(c.Pattern->Mode).c_str() : "-", c.Pattern ? c.Pattern->Kind : "start-up",
                    c.Pattern ? std::to_string(Matches[name]).c_str() : "1000 shown", Ms(chain).c_str(),
                    Ms(best).c_str(), Ms(naive).c_str(), Ratio(chain, best).c_str(), Ratio(chain, naive).c_str(),
                    Ratio(chain, mapped).c_str());
    }
}

// Every repetition's milliseconds, one line per case and side, in the order
// they were taken, for a look at how the machine varies.
void PrintSamples(const std::vector<TCase>& Cases) {
    const char* names[] = {"chain", "mapped", "naive", "one"};
    for (const TCase& c : Cases)
        for (int kind = skChain; kind <= skOne; ++kind) {
            const std::vector<double>& times = Times[kind][c.Name()];
            if (times.empty()) continue;
            std::printf("%s %s:", c.Name().c_str(), names[kind]);
            for (double t : times) std::printf(" %.1f", t * 1e3);
            std::printf("\n");
        }
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const TOptions options = ParseOptions(argc, argv);
    int qtArgc = 1;
    toolkit::TApplication application(qtArgc, argv);
    application.SetTitle(u"Kalimdar");
    if (!options.MemoryRun.empty()) return MemoryRun(options.MemoryRun, options.Rows.back());
    std::vector<TCase> cases;
    for (std::int64_t rows : options.Rows)
        for (bool indexed : {true, false}) {
            const TFile file{rows, indexed};
            for (const TPattern& p : Patterns) cases.push_back({file, &p});
            cases.push_back({file, nullptr});
        }
    std::erase_if(cases, [&](const TCase& C) { return !std::regex_search(C.Name(), options.Filter); });
    if (cases.empty()) Fail("no case matches the filter");
    for (const TCase& c : cases) {
        const auto folder = DictionaryFolder(c.File);
        if (!c.Pattern) continue;
        TSide& side = Sides[c.File];
        if (!side.Plain) {
            side.Plain = std::make_unique<TPlain>(folder / "lx_items.db");
            side.Chain = std::make_unique<TChain>(folder);
            side.Mapped = std::make_unique<TChain>(folder, true);
        }
        CheckSidesAgree(c);
    }
    RunRepetitions(cases, options.Repetitions, options.Sides);
    PrintTable(cases);
    if (options.Samples) PrintSamples(cases);
    if (!options.Filtered)
        for (std::int64_t rows : options.Rows) ReportMemory(argv[0], rows);
    Sides.clear();
    toolkit::Application().SetExeName(u"");
    return 0;
}
