// Field reading and field lookup costs of the dataset core. Reading a
// fixed-size field must not allocate; FieldByName must be a hash lookup.
//   ./bin/data_bench   (from a build folder configured with -DKALIMDAR_BENCHMARKS=ON)

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "memory_dataset.h"
#include "rtl/format.h"

namespace {
std::atomic<long long> gAllocations{0};
}

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace data;
using testing_data::Column;
using testing_data::TMemoryDataSet;

std::unique_ptr<TMemoryDataSet> OneRow() {
    auto ds = std::make_unique<TMemoryDataSet>(nullptr,
                                               std::vector<Column>{{u"ID", ftInteger}, {u"Word", ftWideString, 100}});
    ds->Rows.push_back({rtl::Variant(std::int32_t(123456)), rtl::Variant(u"сөздік")});
    ds->Open();
    return ds;
}

// Reads the field of the active record; reports allocations per read.
template <class Read>
void ReadField(benchmark::State& state, const char16_t* name, Read read) {
    auto ds = OneRow();
    TField* field = ds->FieldByName(name);
    long long before = gAllocations.load();
    for (auto _ : state) benchmark::DoNotOptimize(read(*field));
    state.counters["allocs/read"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
}

void BM_ReadIntegerField(benchmark::State& state) {
    ReadField(state, u"ID", [](TField& f) { return f.AsInteger(); });
}
void BM_ReadWideStringField(benchmark::State& state) {
    ReadField(state, u"Word", [](TField& f) { return f.AsString(); });
}
BENCHMARK(BM_ReadIntegerField)->Iterations(1000000);
BENCHMARK(BM_ReadWideStringField)->Iterations(1000000);

// FieldByName over N fields, names asked in another letter case.
void BM_FieldByName(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<Column> columns;
    std::vector<rtl::String> asked;
    for (int i = 0; i < count; ++i) {
        rtl::String name = u"Column_" + rtl::IntToStr(i);
        columns.push_back({name, ftInteger});
        asked.push_back(rtl::AnsiUpperCase(name));
    }
    TMemoryDataSet ds(nullptr, columns);
    ds.Rows.push_back(std::vector<rtl::Variant>(columns.size(), rtl::Variant(std::int32_t(1))));
    ds.Open();
    std::size_t i = 0;
    long long before = gAllocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ds.FieldByName(asked[i]));
        if (++i == asked.size()) i = 0;
    }
    state.counters["allocs/lookup"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FieldByName)->Arg(5)->Arg(50)->Arg(500);

}  // namespace

BENCHMARK_MAIN();
