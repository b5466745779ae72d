// Costs of the data packet path on packets shaped like the dictionary's rows
// (id, lx_word, lx_text, lx_title): writing a packet, a record store reading
// it, a cursor walking it; and, on a real dictionary database, the packet
// path beside the plain SQLite select it sits on. The program ends with the
// ratio of the two, from the fastest of their repetitions in this run.
// Heap addresses change from run to run (address-space randomisation) and the
// copies' cache behaviour with them, so a ratio moves by a few points between
// runs: compare within one run, and look at several.
//   ./bin/packet_bench   (from a build folder configured with -DKALIMDAR_BENCHMARKS=ON)

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datapacket/client_dataset.h"
#include "datapacket/ds_intf.h"
#include "datapacket/provider.h"
#include "sql/sql_connection.h"
#include "sql/sql_dataset.h"

namespace {

using namespace datapacket;

constexpr int DatabaseRows = 250000;
constexpr const char* StartupSql = "select id, lx_word, lx_text, lx_title from lx_items limit 1000";

void Check(DBResult R, const char* What) {
    if (R == DBERR_NONE) return;
    std::fprintf(stderr, "%s failed: 0x%04X %s\n", What, R, ErrorMessage(R));
    std::abort();
}

void CheckSqlite(int Rc, sqlite3* Db, const char* What) {
    if (Rc == SQLITE_OK || Rc == SQLITE_DONE || Rc == SQLITE_ROW) return;
    std::fprintf(stderr, "%s failed: %s\n", What, Db ? sqlite3_errmsg(Db) : sqlite3_errstr(Rc));
    std::abort();
}

struct TRow {
    std::int64_t Id = 0;
    std::u16string Word, Text, Title;
};

// --- The dictionary database, made once per run in a temporary folder ---

struct TDictionary {
    std::filesystem::path Folder;
    std::string Path;
    std::vector<TRow> Rows;  // the first 100,000 rows, as the database holds them

    void Make();
    void Remove() {
        std::error_code Ec;
        if (!Folder.empty()) std::filesystem::remove_all(Folder, Ec);
    }
};

TDictionary Dictionary;

void Exec(sqlite3* Db, const char* Sql) {
    char* Message = nullptr;
    if (sqlite3_exec(Db, Sql, nullptr, nullptr, &Message) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n  %s\n", Sql, Message ? Message : "");
        std::abort();
    }
}

// Rows of a select on id, lx_word, lx_text, lx_title, read as UTF-16.
std::vector<TRow> ReadRows(sqlite3* Db, const char* Sql) {
    sqlite3_stmt* Stmt = nullptr;
    CheckSqlite(sqlite3_prepare_v2(Db, Sql, -1, &Stmt, nullptr), Db, "prepare");
    std::vector<TRow> Rows;
    const auto Text = [Stmt](int Col) {
        const auto* P = static_cast<const char16_t*>(sqlite3_column_text16(Stmt, Col));
        return std::u16string(P ? P : u"", static_cast<std::size_t>(sqlite3_column_bytes16(Stmt, Col)) / 2);
    };
    int Rc;
    while ((Rc = sqlite3_step(Stmt)) == SQLITE_ROW)
        Rows.push_back({sqlite3_column_int64(Stmt, 0), Text(1), Text(2), Text(3)});
    CheckSqlite(Rc, Db, "step");
    sqlite3_finalize(Stmt);
    return Rows;
}

void TDictionary::Make() {
    Folder = std::filesystem::temp_directory_path() / ("kalimdar-packet-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Folder);
    Path = (Folder / "lx_items.db").string();
    sqlite3* Db = nullptr;
    CheckSqlite(sqlite3_open(Path.c_str(), &Db), Db, "open");
    Exec(Db,
         "create table lx_items (id INTEGER PRIMARY KEY, lx_word VARCHAR(40) NOT NULL, lx_text TEXT, "
         "lx_title VARCHAR(100), lx_word_upper VARCHAR(40))");
    // Words of eight stems numbered by id; entry texts of 40 to 200
    // characters cut from one article; three source dictionaries.
    const std::string Insert =
        "begin; "
        "insert into lx_items (id, lx_word, lx_text, lx_title, lx_word_upper) "
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(DatabaseRows) +
        "), stems(k, w, u) as (values (0, 'кітап', 'КІТАП'), (1, 'сөздік', 'СӨЗДІК'), (2, 'әріп', 'ӘРІП'), "
        "(3, 'мектеп', 'МЕКТЕП'), (4, 'қала', 'ҚАЛА'), (5, 'өзен', 'ӨЗЕН'), (6, 'үйрену', 'ҮЙРЕНУ'), "
        "(7, 'ғылым', 'ҒЫЛЫМ')) "
        "select i, w || i, substr('Қазақ тілінің орфографиялық сөздігі сөздердің дұрыс жазылуын көрсетеді. "
        "Сөздікке жалпы қолданыстағы сөздер, терминдер, жер-су атаулары мен кісі есімдері енгізілген. "
        "Әр сөздің бірге, бөлек немесе дефис арқылы жазылатыны көрсетілген.', 1, 40 + (i * 37) % 161), "
        "case i % 3 when 0 then 'Орфографиялық сөздік' when 1 then 'Қазақ тілінің түсіндірме сөздігі' "
        "else 'Қазақ әдеби тілінің сөздігі' end, u || i "
        "from n join stems on k = i % 8 order by i; "
        "commit";
    Exec(Db, Insert.c_str());
    Rows = ReadRows(Db, "select id, lx_word, lx_text, lx_title from lx_items order by id limit 100000");
    sqlite3_close(Db);
    if (Rows.size() != 100000 || Rows[0].Text.size() < 40 || Rows[0].Text.size() > 200) {
        std::fprintf(stderr, "the dictionary database was not made as expected\n");
        std::abort();
    }
}

// --- Packets of the dictionary's shape ---

TDSDataPacketFldDesc Column(const char* Name, std::uint32_t Type) {
    TDSDataPacketFldDesc D;
    std::strncpy(D.szFieldName, Name, sizeof(D.szFieldName) - 1);
    D.iFieldType = Type;
    return D;
}

void AddWidth(IDSWriter& W, std::int32_t Bytes) {
    Check(W.AddAttribute(dsAttrField, "WIDTH", MakeFieldType(dsfldINT, 4), 4, &Bytes), "WIDTH");
}

void PutWide(IDSWriter& W, const std::u16string& S) {
    Check(W.PutField(fldIsValue, static_cast<std::uint32_t>(S.size() * 2), S.data()), "PutField");
}

rtl::TBytes WritePacket(IDSWriter& W, const TRow* Rows, std::size_t Count) {
    Check(W.Init_Sequential(1, 4), "Init_Sequential");
    Check(W.AddColumnDesc(Column("id", MakeFieldType(dsfldINT, 8))), "AddColumnDesc");
    Check(W.AddColumnDesc(Column("lx_word", MakeFieldType(dsfldUNICODE, 1, dsVaryingFldType))), "AddColumnDesc");
    AddWidth(W, 80);
    Check(W.AddColumnDesc(Column("lx_text", MakeFieldType(dsfldBYTES, 4, dsVaryingFldType))), "AddColumnDesc");
    static const char WideText[] = "WideText";
    Check(W.AddAttribute(dsAttrField, "SUBTYPE", MakeFieldType(dsfldZSTRING, 2, dsVaryingFldType), 2 + sizeof(WideText),
                         WideText),
          "SUBTYPE");
    Check(W.AddColumnDesc(Column("lx_title", MakeFieldType(dsfldUNICODE, 1, dsVaryingFldType))), "AddColumnDesc");
    AddWidth(W, 200);
    const std::uint8_t Status = dsRecUnmodified;
    for (std::size_t I = 0; I < Count; ++I) {
        const TRow& R = Rows[I];
        Check(W.PutField(fldIsValue, 1, &Status), "PutField");
        Check(W.PutField(fldIsValue, 8, &R.Id), "PutField");
        PutWide(W, R.Word);
        PutWide(W, R.Text);
        PutWide(W, R.Title);
    }
    rtl::TBytes Packet;
    Check(W.GetDataPacket(Packet), "GetDataPacket");
    return Packet;
}

rtl::TBytes WritePacket(std::size_t Count) {
    auto W = CreateDSWriter();
    return WritePacket(*W, Dictionary.Rows.data(), Count);
}

std::shared_ptr<IDSBase> StoreOf(const rtl::TBytes& Packet) {
    auto Base = CreateDSBase();
    Check(Base->AppendData(&Packet, true), "AppendData");
    return Base;
}

void Report(benchmark::State& State, std::size_t PacketBytes, std::size_t Rows) {
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * PacketBytes));
    State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations() * Rows));
}

// --- The engine on its own ---

void BM_Write(benchmark::State& State) {
    const auto Rows = static_cast<std::size_t>(State.range(0));
    auto W = CreateDSWriter();
    std::size_t Bytes = 0;
    for (auto _ : State) {
        rtl::TBytes Packet = WritePacket(*W, Dictionary.Rows.data(), Rows);
        Bytes = Packet.size();
        benchmark::DoNotOptimize(Packet.data());
    }
    Report(State, Bytes, Rows);
}

void BM_AppendData(benchmark::State& State) {
    const auto Rows = static_cast<std::size_t>(State.range(0));
    const rtl::TBytes Packet = WritePacket(Rows);
    for (auto _ : State) {
        auto Base = CreateDSBase();
        Check(Base->AppendData(&Packet, true), "AppendData");
        benchmark::DoNotOptimize(Base.get());
    }
    Report(State, Packet.size(), Rows);
}

void BM_CursorWalk(benchmark::State& State) {
    const auto Rows = static_cast<std::size_t>(State.range(0));
    const rtl::TBytes Packet = WritePacket(Rows);
    auto Base = StoreOf(Packet);
    auto Cursor = CreateDSCursor();
    Check(Cursor->InitCursor(Base), "InitCursor");
    CURProps Props;
    Check(Cursor->GetCursorProps(Props), "GetCursorProps");
    std::vector<std::uint8_t> Record(Props.iRecBufSize), Slot(Props.iRecBufSize), Blob(1024);
    std::size_t Walked = 0;
    for (auto _ : State) {
        Check(Cursor->MoveToBOF(), "MoveToBOF");
        Walked = 0;
        std::uint64_t Sum = 0;
        while (Cursor->MoveRelative(1) == DBERR_NONE) {
            Check(Cursor->GetCurrentRecord(Record.data()), "GetCurrentRecord");
            bool Blank;
            for (std::uint32_t Field : {1u, 2u, 4u}) {
                Check(Cursor->GetField(Record.data(), Field, Slot.data(), Blank), "GetField");
                Sum += Slot[0];
            }
            std::uint32_t Len = 0;
            Check(Cursor->GetBlobLen(Record.data(), 3, Len), "GetBlobLen");
            if (Len > Blob.size()) Blob.resize(Len);
            Check(Cursor->GetBlob(Record.data(), 3, 0, Blob.data(), Len), "GetBlob");
            Sum += Len;
            ++Walked;
        }
        benchmark::DoNotOptimize(Sum);
    }
    if (Walked != Rows) State.SkipWithError("the cursor did not walk every row");
    Report(State, Packet.size(), Rows);
}

BENCHMARK(BM_Write)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendData)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CursorWalk)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// --- The start-up statement: plain SQLite beside the packet path ---

// What a program on the SQLite C API alone does for the statement: prepare,
// step every row reading its four columns as UTF-16, finalize. Its bytes are
// the UTF-16 text it reads.
void BM_PlainSqliteSelect(benchmark::State& State) {
    sqlite3* Db = nullptr;
    CheckSqlite(sqlite3_open_v2(Dictionary.Path.c_str(), &Db, SQLITE_OPEN_READONLY, nullptr), Db, "open");
    std::size_t Rows = 0, Bytes = 0;
    for (auto _ : State) {
        sqlite3_stmt* Stmt = nullptr;
        CheckSqlite(sqlite3_prepare_v2(Db, StartupSql, -1, &Stmt, nullptr), Db, "prepare");
        Rows = Bytes = 0;
        std::int64_t Sum = 0;
        while (sqlite3_step(Stmt) == SQLITE_ROW) {
            Sum += sqlite3_column_int64(Stmt, 0);
            for (int Col = 1; Col <= 3; ++Col) {
                benchmark::DoNotOptimize(sqlite3_column_text16(Stmt, Col));
                Bytes += static_cast<std::size_t>(sqlite3_column_bytes16(Stmt, Col));
            }
            ++Rows;
        }
        sqlite3_finalize(Stmt);
        benchmark::DoNotOptimize(Sum);
    }
    sqlite3_close(Db);
    if (Rows != 1000) State.SkipWithError("the select did not give 1000 rows");
    Report(State, Bytes, Rows);
}

// The packet path's own cost for the same rows, their values already in
// memory: the packet written, read by a fresh store, a cursor opened on it.
void BM_PacketPath(benchmark::State& State) {
    const std::size_t Rows = 1000;
    auto W = CreateDSWriter();
    std::size_t Bytes = 0;
    for (auto _ : State) {
        const rtl::TBytes Packet = WritePacket(*W, Dictionary.Rows.data(), Rows);
        auto Base = CreateDSBase();
        Check(Base->AppendData(&Packet, true), "AppendData");
        auto Cursor = CreateDSCursor();
        Check(Cursor->InitCursor(Base), "InitCursor");
        CURProps Props;
        Check(Cursor->GetCursorProps(Props), "GetCursorProps");
        Check(Cursor->MoveToBOF(), "MoveToBOF");
        Bytes = Packet.size();
        benchmark::DoNotOptimize(Props);
    }
    Report(State, Bytes, Rows);
}

// The program's own start-up: the client dataset opening the statement
// through query and provider, as the main window's components are linked.
void BM_WholeChain(benchmark::State& State) {
    rtl::TComponent Owner(nullptr);
    auto* Conn = new sql::TSQLConnection(&Owner);
    Conn->SetName(u"SQLConnection1");
    Conn->SetConnectionName(u"SQLITECONNECTION");
    Conn->SetDriverName(u"Sqlite");
    Conn->SetLoginPrompt(false);
    Conn->Params().Clear();
    Conn->Params().Add(u"DriverName=Sqlite");
    Conn->Params().Add(u"Database=" + rtl::Utf8ToString(Dictionary.Path));
    Conn->Params().Add(u"FailIfMissing=False");
    auto* Query = new sql::TSQLQuery(&Owner);
    Query->SetName(u"SQLQuery1");
    Query->SetSQLConnection(Conn);
    Query->SetMaxBlobSize(-1);
    Query->SQL().Add(rtl::Utf8ToString(StartupSql));
    auto* Provider = new TDataSetProvider(&Owner);
    Provider->SetName(u"DataSetProvider1");
    Provider->SetDataSet(Query);
    Provider->SetResolveToDataSet(true);
    auto* Client = new TClientDataSet(&Owner);
    Client->SetName(u"ClientDataSet1");
    Client->SetProviderName(u"DataSetProvider1");
    Client->SetPacketRecords(500000);
    Client->SetReadOnly(true);
    Conn->Open();
    int Rows = 0;
    for (auto _ : State) {
        Client->Close();
        Client->Open();
        Rows = Client->RecordCount();
    }
    Client->Close();
    if (Rows != 1000) State.SkipWithError("the client dataset did not hold 1000 rows");
    State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations()) * Rows);
}

// The three are compared by their fastest repetition.
double Fastest(const std::vector<double>& V) { return *std::min_element(V.begin(), V.end()); }

BENCHMARK(BM_PlainSqliteSelect)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->DisplayAggregatesOnly(true);
BENCHMARK(BM_PacketPath)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->DisplayAggregatesOnly(true);
BENCHMARK(BM_WholeChain)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->DisplayAggregatesOnly(true);

// The console report, remembering the fastest real and CPU times (seconds)
// of each benchmark for the closing comparison.
class TRecordingReporter : public benchmark::ConsoleReporter {
public:
    struct TTimes {
        double Real, Cpu;
    };
    void ReportRuns(const std::vector<Run>& Runs) override {
        for (const Run& R : Runs) {
            if (R.error_occurred) continue;
            if (R.run_type == Run::RT_Aggregate && R.aggregate_name != "min") continue;
            const double Unit = benchmark::GetTimeUnitMultiplier(R.time_unit);
            const TTimes T{R.GetAdjustedRealTime() / Unit, R.GetAdjustedCPUTime() / Unit};
            auto [It, New] = Fastest.try_emplace(R.run_name.function_name, T);
            if (!New) It->second = {std::min(It->second.Real, T.Real), std::min(It->second.Cpu, T.Cpu)};
        }
        ConsoleReporter::ReportRuns(Runs);
    }
    std::map<std::string, TTimes> Fastest;
};

}  // namespace

int main(int argc, char** argv) {
    // glibc moves its threshold for handing blocks straight to the kernel as
    // large blocks are freed, so whether a 100,000-row packet or store lands
    // in fresh pages (and pays a page fault every 4 KiB) would depend on which
    // benchmarks ran before it. A fixed policy keeps large blocks in the heap
    // for reuse: the figures are the engine's steady state, not first touch.
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, 1024 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Dictionary.Make();
    TRecordingReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    benchmark::Shutdown();
    Dictionary.Remove();

    const auto& F = Reporter.Fastest;
    const auto Plain = F.find("BM_PlainSqliteSelect");
    if (Plain == F.end()) return 0;
    std::printf("\nFastest times for \"%s\" (%d rows in the database):\n", StartupSql, DatabaseRows);
    std::printf("  %-20s %9s %9s\n", "", "real", "CPU");
    std::printf("  %-20s %7.1f us %7.1f us\n", "PlainSqliteSelect", Plain->second.Real * 1e6, Plain->second.Cpu * 1e6);
    for (const char* Name : {"BM_PacketPath", "BM_WholeChain"}) {
        const auto It = F.find(Name);
        if (It == F.end()) continue;
        std::printf("  %-20s %7.1f us %7.1f us   = %.1f%% (real), %.1f%% (CPU) of the plain select\n", Name + 3,
                    It->second.Real * 1e6, It->second.Cpu * 1e6, 100.0 * It->second.Real / Plain->second.Real,
                    100.0 * It->second.Cpu / Plain->second.Cpu);
    }
    if (const auto Path = F.find("BM_PacketPath"); Path != F.end())
        std::printf("packet path / plain select = %.1f%% (real time; %.1f%% by CPU time)\n",
                    100.0 * Path->second.Real / Plain->second.Real, 100.0 * Path->second.Cpu / Plain->second.Cpu);
    return 0;
}
