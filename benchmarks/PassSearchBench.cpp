// One refresh's pass search: the space station over a place for 72 hours,
// 8641 samples, each with a full propagation from the element set.
#include "model/Satellite.h"

#include <benchmark/benchmark.h>

namespace {

const char* kIss1 = "1 25544U 98067A   25209.66691461  .00012424  00000+0  22393-3 0  9991";
const char* kIss2 = "2 25544  51.6363 101.4799 0002251 122.9566 339.8304 15.50175539521591";
constexpr int64_t kWindowStart = 1753725600;  // 2025-07-28 18:00 UTC

void BM_FindPasses72h(benchmark::State& state) {
    const nbr::Tle tle = nbr::parseTle(kIss1, kIss2);
    std::size_t found = 0;
    for (auto _ : state) {
        const auto passes = nbr::findPasses(tle, -36.8485, 174.7633, kWindowStart, 72);
        found = passes.size();
        benchmark::DoNotOptimize(passes.data());
    }
    state.counters["passes"] = static_cast<double>(found);
}
BENCHMARK(BM_FindPasses72h)->Unit(benchmark::kMillisecond);

void BM_Propagate(benchmark::State& state) {
    const nbr::Tle tle = nbr::parseTle(kIss1, kIss2);
    double r[3], v[3];
    double t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(nbr::sgp4Propagate(tle, t, r, v));
        benchmark::DoNotOptimize(r);
        t += 0.5;
    }
}
BENCHMARK(BM_Propagate);

}  // namespace

BENCHMARK_MAIN();
