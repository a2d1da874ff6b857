// Reading the model sources' replies: the ensemble reply of a 7-day forecast
// with the service's 31 members (and a far larger one, for the reader's
// throughput), and every reply of the model sources for one place.
#include "../tests/replay/ModelReplies.h"
#include "model/WeatherTypes.h"
#include "service/WeatherService.h"

#include <benchmark/benchmark.h>

namespace {

namespace gen = nbr::replay::models;
using nbr::WeatherService;

constexpr int64_t kFirstDay = 20513;  // 2026-03-01
const gen::Where kPlace{"boston", 42.3584, -71.0598, -18000, "America/New_York", "EST"};

nbr::WeatherData sevenDays() {
    nbr::WeatherData d;
    for (int i = 0; i < 7; ++i) {
        nbr::DailyForecast day;
        day.date = gen::dateOfDay(kFirstDay + i);
        d.daily.push_back(day);
    }
    return d;
}

void EnsembleReader(benchmark::State& state) {
    const std::string body = gen::ensembleReply(kPlace, kFirstDay, 7, static_cast<int>(state.range(0)));
    nbr::WeatherData d = sevenDays();
    for (auto _ : state) benchmark::DoNotOptimize(WeatherService::parseEnsemble(body, d));
    if (d.daily[0].ensembleMembers == 0) state.SkipWithError("reply not read");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
    state.counters["reply_kB"] = static_cast<double>(body.size()) / 1000.0;
}
BENCHMARK(EnsembleReader)->ArgName("members")->Arg(gen::kEnsembleMembers)->Arg(620)->Unit(benchmark::kMillisecond);

// Everything one refresh reads from the model sources for a place.
void AllModelRepliesOfOnePlace(benchmark::State& state) {
    const std::string models = gen::modelSeriesReply(kPlace, kFirstDay, 7);
    const std::string ensemble = gen::ensembleReply(kPlace, kFirstDay, 7);
    const std::string runs = gen::previousRunsReply(kPlace, kFirstDay, 7);
    const std::string seasonal = gen::seasonalReply(kPlace, kFirstDay);
    nbr::WeatherData d = sevenDays();
    for (auto _ : state) {
        WeatherService::parseUncertaintyBand(models, d);
        WeatherService::parseEnsemble(ensemble, d);
        WeatherService::parseRunTrend(runs, d);
        WeatherService::parseSeasonal(seasonal, d.seasonalDates, d.seasonalHighs);
        benchmark::DoNotOptimize(d);
    }
    if (d.modelSeries.size() != 6 || d.seasonalDates.size() != 92 || !d.daily[0].hasRunTrend)
        state.SkipWithError("replies not read");
    state.counters["replies_kB"] =
        static_cast<double>(models.size() + ensemble.size() + runs.size() + seasonal.size()) / 1000.0;
}
BENCHMARK(AllModelRepliesOfOnePlace)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
