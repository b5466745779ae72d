// Cost of scrolling the data-aware grid: a dictionary-shaped dataset of 1,000
// rows (id, lx_word, lx_text, lx_title) in Kazakh, shown in the main window's
// grid (its two columns, sized as the window sizes it), walked from the first record
// to the last with the Down key. Each step's painting is done before the next
// key, so the time includes it. "cells/step" counts the data cells drawn per
// step (the grid's OnDrawColumnCell); "paints/step" the viewport's paint events.
// The first steps of a walk move the selection down the visible rows; the
// rest scroll the rows up by one.
// A one-row scroll should draw the row that comes in and the row that lost the
// selection, not the whole grid; BM_FullRepaint invalidates the whole grid on
// every step for comparison. BM_NextFromCode walks with the dataset's Next
// instead of the key: the grid then paints each step at once, itself.
//   ./bin/grid_bench   (from a build folder with the GUI layers and -DKALIMDAR_BENCHMARKS=ON)

#include <benchmark/benchmark.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "app/main_window.h"
#include "data/data_links.h"
#include "memory_dataset.h"
#include "toolkit/application.h"
#include "views/db_grid.h"

namespace {

using rtl::String;
using testing_data::Column;
using testing_data::TMemoryDataSet;

constexpr int RowCount = 1000;

// Deterministic Kazakh text made of common syllables.
class TTextMaker {
public:
    String Word(int Syllables) {
        String s;
        for (int i = 0; i < Syllables; ++i) s += kSyllables[Next() % kSyllables.size()];
        return s;
    }
    String Text(std::size_t Length) {
        String s;
        while (s.size() < Length) {
            if (!s.empty()) s += u' ';
            s += Word(1 + static_cast<int>(Next() % 4));
        }
        s.resize(Length);
        return s;
    }

private:
    static constexpr std::array<const char16_t*, 24> kSyllables{
        // clang-format off
        u"қа", u"зақ", u"тіл", u"сөз", u"дік", u"ның", u"ала", u"бер", u"жаз", u"ұлы", u"өнер", u"ғы",
        u"ше", u"мек", u"бас", u"тау", u"көл", u"ші", u"лық", u"дар", u"үй", u"ен", u"әр", u"іс"};
    // clang-format on
    std::uint32_t Next() {
        FState = FState * 1664525u + 1013904223u;
        return FState >> 8;
    }
    std::uint32_t FState = 12345;
};

std::unique_ptr<TMemoryDataSet> MakeDictionary() {
    auto ds = std::make_unique<TMemoryDataSet>(nullptr, std::vector<Column>{{u"id", data::ftInteger},
                                                                            {u"lx_word", data::ftWideString, 40},
                                                                            {u"lx_text", data::ftWideMemo},
                                                                            {u"lx_title", data::ftWideString, 100}});
    ds->SetName(u"ClientDataSet1");
    ds->ReadOnlyData = true;
    TTextMaker maker;
    for (int i = 0; i < RowCount; ++i) {
        const String word = maker.Word(2 + i % 3);
        ds->Rows.push_back({rtl::Variant(std::int32_t(i + 1)), rtl::Variant(word),
                            rtl::Variant(maker.Text(40 + static_cast<std::size_t>(i * 37 % 161))),
                            rtl::Variant(u"Қазақ тілінің орфографиялық сөздігі: " + maker.Text(63))});
    }
    return ds;
}

// The main window as designed, its grid over the in-memory dictionary
// instead of the database chain (the creation handler, which would open the
// chain, is not run).
struct TGridFixture {
    std::unique_ptr<TMemoryDataSet> Data = MakeDictionary();
    std::unique_ptr<app::TForm2> Form = std::make_unique<app::TForm2>(nullptr);
    views::TDBGrid* Grid = Form->DBGrid1;
    data::TDataSource* Source = nullptr;
    long long Cells = 0;
    long long Paints = 0;

    TGridFixture() {
        Grid->OnDrawColumnCell = [this](rtl::TComponent*, const toolkit::TRect&, int, views::TColumn*,
                                        toolkit::TGridDrawState) { ++Cells; };
        Source = new data::TDataSource(Form.get());
        Source->SetDataSet(Data.get());
        Data->Open();
        Grid->SetDataSource(Source);
        Form->Show();
        if (!QTest::qWaitForWindowExposed(Form->Window())) std::fprintf(stderr, "the form was not exposed\n");
        Grid->SetFocus();
        Viewport()->installEventFilter(&FPaintCounter);
        FPaintCounter.Paints = &Paints;
        Flush();
    }

    QAbstractScrollArea* Area() const { return static_cast<QAbstractScrollArea*>(Grid->Widget()); }
    QWidget* Viewport() const { return Area()->viewport(); }

    // Whatever painting is still pending, done now.
    static void Flush() { QApplication::processEvents(); }

    void Down() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(Area(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(Area(), &release);
    }

    // Back on the first record with everything painted.
    void Rewind() {
        Data->First();
        Grid->InvalidateGrid();
        Flush();
    }

private:
    struct TPaintCounter : QObject {
        long long* Paints = nullptr;
        bool eventFilter(QObject*, QEvent* Event) override {
            if (Event->type() == QEvent::Paint) ++*Paints;
            return false;
        }
    } FPaintCounter;
};

TGridFixture* Fixture = nullptr;

enum class TStep { Key, KeyFullRepaint, Code };

// One iteration walks the whole dataset: RowCount - 1 steps.
template <TStep Step>
void WalkTopToBottom(benchmark::State& state) {
    TGridFixture& f = *Fixture;
    long long steps = 0, cells = 0, paints = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.Rewind();
        const long long cellsBefore = f.Cells, paintsBefore = f.Paints;
        state.ResumeTiming();
        for (int i = 1; i < RowCount; ++i) {
            if constexpr (Step == TStep::Code) f.Data->Next();
            else f.Down();
            if constexpr (Step == TStep::KeyFullRepaint) f.Grid->InvalidateGrid();
            TGridFixture::Flush();
        }
        state.PauseTiming();
        if (f.Data->RecNo() != RowCount) state.SkipWithError("the walk did not reach the last record");
        steps += RowCount - 1;
        cells += f.Cells - cellsBefore;
        paints += f.Paints - paintsBefore;
        state.ResumeTiming();
    }
    state.counters["time/step"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["cells/step"] = static_cast<double>(cells) / static_cast<double>(steps);
    state.counters["paints/step"] = static_cast<double>(paints) / static_cast<double>(steps);
    state.counters["visible rows"] = f.Grid->VisibleRowCount();
}

void BM_ScrollByRow(benchmark::State& state) { WalkTopToBottom<TStep::Key>(state); }
void BM_FullRepaint(benchmark::State& state) { WalkTopToBottom<TStep::KeyFullRepaint>(state); }
void BM_NextFromCode(benchmark::State& state) { WalkTopToBottom<TStep::Code>(state); }

BENCHMARK(BM_ScrollByRow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_NextFromCode)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv) {
    // Painting needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    toolkit::TApplication application(argc, argv);
    application.SetTitle(u"Kalimdar");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    {
        TGridFixture fixture;
        Fixture = &fixture;
        benchmark::RunSpecifiedBenchmarks();
        Fixture = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
