// Faults injected at every point, and survived. SQLite's file calls (open,
// read, lock, file size), the operating system's reads under them, and
// SQLite's allocations are made to fail: for N = 1, 2, ... the N-th call of
// one kind fails (once, or from then on) while the window starts and runs
// three searches, until a run makes fewer than N such calls. Each run gets a
// new main window in this one process, over the same dictionary. For every N:
// - a step the fault did not reach ends exactly as in the run without
//   faults, and so does a step it reached without showing a box;
// - a step that fails shows one error box, with SQLite's message for that
//   fault (or a failed count's), and leaves what the failure leaves: after a
//   failed start-up the grid and the memo are empty and so are the panels
//   (or, when only the count failed, the rows are there and panel 0 is
//   empty); after a failed search the previous rows and panel 1 stay (or,
//   when only the count failed, the new rows are there and panel 1 keeps
//   its text);
// - a search made afterwards without faults succeeds;
// - once the window has gone SQLite holds no memory, nothing was written,
//   and the dictionary file is as it was, byte for byte, alone in its folder.
//
// A read of the operating system that gives half the bytes asked for is
// SQLite's to make up for: it shows no box at all. A VFS read that comes
// back short is held to less: it tells SQLite that the file ended there, so
// SQLite takes the missing bytes as zeros and keeps the page in its cache,
// and the rows may come out different with no error at all. For that kind
// each step shows at most one box, with a message SQLite gives for a
// damaged file, and the checks made once the window has gone hold.
//
// The allocator can be replaced only before SQLite initialises, so this is a
// test program of its own whose global set-up installs the replacement.
//
// The release build fails every N. The sanitizer build, where a run takes
// ten times as long, fails a fixed sample: every 3rd N of the file calls and
// every 31st of the allocations, from the first. It defines
// KALIMDAR_FAULT_SAMPLE for that; the environment variable of that name
// overrides the build (0: every N, 1: the sample). Failing every allocation
// from the N-th on is sampled in both, every 10th N of what the other loops
// run.

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "app/dictionary_texts.h"
#include "dictionary_window.h"
#include "fault_injection.h"
#include "rtl/format.h"

using namespace app_test;
namespace fi = fault_injection;

namespace {

QtMessageHandler QtMessages = nullptr;

class FaultInjectionEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(fi::Install(), "");
        // The offscreen platform says so for every window shown; thousands
        // of runs would bury a failure's own messages.
        QtMessages = qInstallMessageHandler([](QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
            if (!Text.startsWith(QStringLiteral("This plugin does not support"))) QtMessages(Type, Context, Text);
        });
    }
};

[[maybe_unused]] const auto* const Environment = ::testing::AddGlobalTestEnvironment(new FaultInjectionEnvironment);

#ifndef KALIMDAR_FAULT_SAMPLE
#define KALIMDAR_FAULT_SAMPLE 0
#endif

bool Sampled() {
    if (const char* given = std::getenv("KALIMDAR_FAULT_SAMPLE")) return std::string(given) != "0";
    return KALIMDAR_FAULT_SAMPLE != 0;
}

long FileStride() { return Sampled() ? 3 : 1; }
long AllocationStride() { return Sampled() ? 31 : 1; }
constexpr long PersistentStride = 10;

// Answers every message box as soon as it is shown and keeps what it showed;
// quicker than polling for it, which thousands of runs would wait on.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer() {
        ++modal_box_detail::LiveCatchers();
        qApp->installEventFilter(this);
    }
    ~BoxAnswerer() override {
        qApp->removeEventFilter(this);
        --modal_box_detail::LiveCatchers();
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    bool eventFilter(QObject* Object, QEvent* Event) override {
        if (Event->type() != QEvent::Show) return false;
        auto* box = qobject_cast<QMessageBox*>(Object);
        if (!box) return false;
        Boxes.push_back({box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size()),
                         box->standardButtons() == QMessageBox::Ok});
        QMetaObject::invokeMethod(
            box, [box] { modal_box_detail::Answer(box); }, Qt::QueuedConnection);
        return false;
    }

    std::vector<ShownBox> Boxes;
};

// What the window shows: the panels, the memo, the grid's cells (as a
// digest), and the client dataset's fields and records (names, types and
// every value, as a digest) with the current record.
struct TShown {
    std::string Panel0, Panel1, Memo;
    int GridRows = 0;
    std::uint64_t Grid = 0;
    bool Following = true;  // the dataset tells the grid and the memo of its changes
    bool Active = false;
    int Rows = 0;
    int RecNo = 0;
    std::uint64_t Digest = 0;
    std::string Current;  // the current record's word

    bool operator==(const TShown&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TShown& S) {
    return Out << "{panel 0 \"" << S.Panel0 << "\", panel 1 \"" << S.Panel1 << "\", memo \"" << S.Memo << "\", grid "
               << S.GridRows << " rows (digest " << S.Grid << ")" << (S.Following ? "" : " not following") << ", "
               << (S.Active ? "" : "closed, ") << S.Rows << " records (digest " << S.Digest << "), record " << S.RecNo
               << " \"" << S.Current << "\"}";
}

void AddToDigest(std::uint64_t& Digest, rtl::StringView Text) {
    for (const char16_t c : Text) Digest = (Digest ^ c) * 1099511628211ULL;
    Digest = (Digest ^ 0x10000u) * 1099511628211ULL;  // the end of a value
}

// A step: the start-up (no text) or a search.
struct TStep {
    const char16_t* Text;
    int Mode;
};

// The start-up, then three searches: one that finds more than the grid
// holds, so that its count, like the start-up's, runs a statement of its
// own; one that finds a hundred-odd; one that finds one. The last search
// runs with the faults off.
constexpr TStep Steps[] = {
    {nullptr, 0},
    {u"ап", app::mmContains},
    {u"кітап2", app::mmStartsWith},
    {u"кітап3", app::mmEquals},
    {u"кітап1", app::mmStartsWith},
};
constexpr int StepCount = static_cast<int>(std::size(Steps));
constexpr int FaultySteps = StepCount - 1;

struct TStepResult {
    std::vector<ShownBox> Boxes;
    TShown Shown;
    long Injected = 0;  // faults injected during the step
};

// What a failed count shows, whatever made its statement fail.
constexpr const char* CountFailed = "[0x0005]: Operation Not Supported.";

// A kind of call, the result its failure gives, and the messages the boxes
// may show for it besides a failed count's; none where SQLite must make up
// for the failure itself.
struct TFault {
    fi::TCall Call;
    int Code;
    const char* Name;
    std::vector<std::string> Messages;
    bool Silent = false;  // may change what SQLite reads without an error
};

const TFault FileFaults[] = {
    // clang-format off
    {fi::TCall::Open, SQLITE_CANTOPEN, "open: cannot open", {"unable to open database file."}},
    {fi::TCall::Read, SQLITE_IOERR_READ, "read: I/O error", {"disk I/O error."}},
    {fi::TCall::SystemRead, SQLITE_OK, "read: half the bytes", {}},
    {fi::TCall::Read, SQLITE_IOERR_SHORT_READ, "read: short, as at the end",
     {"database disk image is malformed.", "file is not a database.", "malformed database schema (?)"}, true},
    {fi::TCall::Lock, SQLITE_BUSY, "lock: busy", {"database is locked."}},
    {fi::TCall::Lock, SQLITE_LOCKED, "lock: locked", {"database table is locked."}},
    {fi::TCall::Lock, SQLITE_IOERR_LOCK, "lock: I/O error", {"disk I/O error."}},
    {fi::TCall::FileSize, SQLITE_IOERR_FSTAT, "file size: I/O error", {"disk I/O error."}},
};
// clang-format on

const TFault AllocationFault = {fi::TCall::Alloc, SQLITE_NOMEM, "allocation", {"out of memory."}};

class FaultInjectionTest : public DictionaryWindowTest {
protected:
    // 1100 words "кітапN": the first hundred with a text and a title, the
    // rest with only a word, as entries may be. The start-up and the first
    // search read a thousand rows each, so that both counts run statements
    // of their own; the NULLs need no conversion from UTF-8, which halves
    // the allocations a run makes.
    void SetUp() override {
        {
            auto db = OpenDb();
            db->Exec(CreateTable);
            AddWords(*db, "кітап", "КІТАП", 100);
            db->Exec(
                "insert into lx_items (lx_word, lx_word_upper) with recursive n(i) as (select 101 union all "
                "select i + 1 from n where i < 1100) select 'кітап' || i, 'КІТАП' || i from n");
        }
        Kept = FileBytes(DatabasePath());
        MemoryBefore = sqlite3_memory_used();
        Reference = Run(nullptr);
        ASSERT_FALSE(HasFailure());
        // The run without faults, as the dictionary has it.
        const std::pair<const char*, int> expected[] = {// clang-format off
            {"", 1000}, {"Сұраныс бойынша 1 100 сөздік табылды", 1000}, {"Сұраныс бойынша 111 сөздік табылды", 111},
            {"Сұраныс бойынша 1 сөздік табылды", 1}, {"Сұраныс бойынша 212 сөздік табылды", 212}};
        // clang-format on
        for (int i = 0; i < StepCount; ++i) {
            SCOPED_TRACE(i);
            const TShown& shown = Reference[i].Shown;
            EXPECT_EQ(Reference[i].Boxes.size(), 0u);
            EXPECT_EQ(shown.Panel0, "Базада барлығы 1 100 сөз бар");
            EXPECT_EQ(shown.Panel1, expected[i].first);
            EXPECT_EQ(shown.Rows, expected[i].second);
            EXPECT_GE(shown.GridRows, std::min(shown.Rows, 5));
            EXPECT_EQ(shown.Memo, "Мәтін " + shown.Current);
        }
        EXPECT_EQ(Reference[3].Shown.Current, "кітап3");
        ASSERT_FALSE(HasFailure());
    }

    TShown ReadShown() {
        TShown s;
        s.Panel0 = Panel(0);
        s.Panel1 = Panel(1);
        s.Memo = MemoText();
        const views::TDBGrid& grid = *Form->DBGrid1;
        s.GridRows = grid.ReaderRowCount();
        for (int row = 0; row < s.GridRows; ++row)
            for (int column = 0; column < grid.ReaderColCount(); ++column)
                AddToDigest(s.Grid, grid.ReaderCellText(row, column));
        datapacket::TClientDataSet& data = *Form->ClientDataSet1;
        s.Following = !data.ControlsDisabled();
        s.Active = data.Active();
        if (!s.Active) return s;
        s.RecNo = data.RecNo();
        if (data::TField* word = data.FindField(u"lx_word"); word && !data.IsEmpty())
            s.Current = Utf8(word->AsString());
        const data::TBookmark mark = data.GetBookmark();
        data.DisableControls();
        for (int i = 0; i < data.FieldCount(); ++i) {
            AddToDigest(s.Digest, data.Fields()[i]->FieldName());
            AddToDigest(s.Digest, rtl::IntToStr(static_cast<int>(data.Fields()[i]->DataType())));
        }
        for (data.First(); !data.Eof(); data.Next()) {
            ++s.Rows;
            for (int i = 0; i < data.FieldCount(); ++i) AddToDigest(s.Digest, data.Fields()[i]->AsString());
        }
        if (!mark.empty()) data.GotoBookmark(mark);
        data.EnableControls();
        return s;
    }

    // Runs the steps in a new window, with the faults that Arm (when given)
    // arms from the start-up's creation handler until the last search. The
    // steps that end before the first fault made every call the run without
    // faults made, in the same order: they show what it showed, and are not
    // read again.
    std::vector<TStepResult> Run(const std::function<void()>& Arm) {
        std::vector<TStepResult> results;
        const long changes = fi::Changes();
        toolkit::Application().SetExeName(rtl::Utf8ToString((FolderPath() / "kalimdar").string()));
        Form = std::make_unique<app::TForm2>(nullptr);
        if (Arm) Arm();
        for (int i = 0; i < StepCount; ++i) {
            if (i == FaultySteps) fi::Disarm();
            const long before = fi::Injected();
            BoxAnswerer boxes;
            if (!Steps[i].Text) {
                Form->DoCreate();
                Form->Show();
            } else {
                Form->RadioGroup1->SetItemIndex(Steps[i].Mode);
                Form->Edit1->SetText(Steps[i].Text);
                Form->BitBtn1->Click();
            }
            EXPECT_TRUE(Form->Window()->isVisible());
            const bool replayed = Arm && fi::Injected() == 0 && boxes.Boxes.empty();
            results.push_back({boxes.Boxes, replayed ? Reference[i].Shown : ReadShown(), fi::Injected() - before});
        }
        fi::Disarm();
        Form.reset();
        EXPECT_EQ(sqlite3_memory_used(), MemoryBefore) << "SQLite memory left behind";
        EXPECT_EQ(fi::Changes(), changes) << "a file was written";
        EXPECT_TRUE(FileBytes(DatabasePath()) == Kept) << "the database file changed";
        EXPECT_EQ(
            std::distance(std::filesystem::directory_iterator(FolderPath()), std::filesystem::directory_iterator()), 1)
            << "a file was left beside the database";
        return results;
    }

    void CheckBox(const ShownBox& Box, const TFault& Fault) {
        EXPECT_EQ(Box.Caption.toStdString(), "Kalimdar");
        EXPECT_EQ(Box.Icon, QMessageBox::Critical);
        EXPECT_TRUE(Box.OkOnly);
        const std::string text = Box.Text.toStdString();
        const auto& expected = Fault.Messages;
        EXPECT_TRUE(!expected.empty() &&
                    (text == CountFailed || std::find(expected.begin(), expected.end(), text) != expected.end()))
            << "a box saying \"" << text << "\"";
        ++Messages[text];
    }

    // Holds the rules above for one run.
    void Check(const std::vector<TStepResult>& Results, const TFault& Fault) {
        TShown before;  // nothing before the start-up
        for (int i = 0; i < StepCount; ++i) {
            SCOPED_TRACE(Steps[i].Text ? "search " + std::to_string(i) : std::string("start-up"));
            const TStepResult& r = Results[i];
            EXPECT_LE(r.Boxes.size(), 1u);
            for (const ShownBox& box : r.Boxes) CheckBox(box, Fault);
            if (Fault.Silent) {
                // Even after a read came back short, the search made without
                // faults runs: no page or schema that SQLite read short stays.
                // What it shows may still differ, since the client dataset
                // keeps the fields it built from the start-up's rows.
                if (i == FaultySteps) {
                    EXPECT_EQ(r.Boxes.size(), 0u) << "the search without faults failed";
                }
                continue;
            }
            const TShown& ref = Reference[i].Shown;
            // Searches leave panel 0 as it was.
            TShown succeeded = ref;
            if (i > 0) succeeded.Panel0 = before.Panel0;
            if (r.Boxes.empty()) {
                EXPECT_EQ(r.Shown, succeeded);
            } else {
                EXPECT_GT(r.Injected, 0) << "a box where no fault was injected: " << r.Boxes[0].Text.toStdString();
                // Only the count failed, or an earlier step and nothing
                // changed.
                TShown countFailed = succeeded;
                if (i == 0) countFailed.Panel0 = "";
                else countFailed.Panel1 = before.Panel1;
                const TShown nothing = i == 0 ? TShown{} : before;
                EXPECT_TRUE(r.Shown == countFailed || r.Shown == nothing)
                    << "shown: " << r.Shown << "\nafter a failed count: " << countFailed << "\nas before: " << nothing;
            }
            before = r.Shown;
        }
    }

    // Fails the N-th call of Fault's kind (or, if Persistent, every call from
    // the N-th on) for N = 1, 1 + Stride, ... until a run makes fewer such
    // calls; gives the number of runs that failed a call.
    long FailEach(const TFault& Fault, bool Persistent, long Stride = 1) {
        SCOPED_TRACE(std::string(Fault.Name) + (Persistent ? ", from then on" : ", once"));
        for (long n = 1;; n += Stride) {
            SCOPED_TRACE("failing call " + std::to_string(n));
            const std::vector<TStepResult> results = Run([&] { fi::Arm(Fault.Call, Fault.Code, n, Persistent); });
            long injected = 0;
            for (const TStepResult& r : results) injected += r.Injected;
            Check(results, Fault);
            if (HasFailure()) return -1;  // the first point that fails says enough
            if (injected == 0) return (n - 1) / Stride;
        }
    }

    // Prints the number of points failed, each a run of its own, and the
    // stride they were taken at.
    void Report(const std::string& What, long Points, long Stride) {
        std::printf("%-44s %6ld points", What.c_str(), Points);
        if (Stride > 1) std::printf(", one call in %ld", Stride);
        std::printf("\n");
    }

    void ReportMessages() {
        for (const auto& [text, count] : Messages) std::printf("  %6d x %s\n", count, text.c_str());
    }

    std::string Kept;
    long long MemoryBefore = 0;
    std::vector<TStepResult> Reference;
    std::map<std::string, int> Messages;  // box texts seen, and how often
};

TEST_F(FaultInjectionTest, EveryFileCallFailsOnceAndFromThenOn) {
    for (const bool persistent : {false, true}) {
        for (const TFault& fault : FileFaults) {
            const long points = FailEach(fault, persistent, FileStride());
            ASSERT_GT(points, 0) << fault.Name;
            Report(std::string(fault.Name) + (persistent ? ", from then on" : ", once"), points, FileStride());
        }
    }
    ReportMessages();
}

TEST_F(FaultInjectionTest, EveryAllocationFailsOnce) {
    const long stride = AllocationStride();
    const long points = FailEach(AllocationFault, false, stride);
    ASSERT_GT(points, 0);
    Report("allocation, once", points, stride);
    ReportMessages();
}

TEST_F(FaultInjectionTest, AllocationsFailFromThenOn) {
    const long stride = PersistentStride * AllocationStride();
    const long points = FailEach(AllocationFault, true, stride);
    ASSERT_GT(points, 0);
    Report("allocation, from then on", points, stride);
    ReportMessages();
}

}  // namespace
