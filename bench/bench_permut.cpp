// Restricted permutation lists and the k-subset enumeration: the permutation tests draw one
// list per iteration, the trait-subset search walks every subset of a size.
#include <benchmark/benchmark.h>

#include <vector>

#include "matrix/qwlib.h"

namespace {

// One restricted list per iteration: n objects in groups of 10, within groups and as blocks.
void BM_RndListNestedNew(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    std::vector<int> groups(n), list(n);
    for (int i = 0; i < n; i++) groups[i] = i / 10;
    InitRndNumberGenerator(1);
    for (auto _ : st) {
        RndListNestedNew(n, groups.data(), 3, list.data());
        benchmark::DoNotOptimize(list[0]);
    }
}
BENCHMARK(BM_RndListNestedNew)->Arg(50)->Arg(500)->Arg(5000);

// Every k-subset of n (n, k) once.
void BM_PermuteArray(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0)), k = static_cast<int>(st.range(1));
    std::vector<int> combo(n);
    for (auto _ : st) {
        for (bool first = true; PermuteArray(n, k, combo.data(), first) != 0; first = false)
            benchmark::DoNotOptimize(combo[0]);
    }
    st.SetItemsProcessed(st.iterations() * BinomialCount(n, k));
}
BENCHMARK(BM_PermuteArray)->Args({12, 6})->Args({20, 10});

}  // namespace
