// Costs of the history log at its caps: reading a place's file cold and
// scoring it, rewriting it whole, and one refresh's append.
#include "history/HistoryStore.h"
#include "model/Dates.h"
#include "model/WeatherTypes.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using nbr::HistoryStore;

namespace {

const std::string kKey = "Bench@47.6062,-122.3321";

std::string hourText(int day, int hour) {
    char t[32];
    std::snprintf(t, sizeof t, "%sT%02d:00", nbr::addDays("2023-01-01", day).c_str(), hour);
    return t;
}

// A log with every list exactly at its cap, with plausible values.
HistoryStore::Log cappedLog() {
    HistoryStore::Log log;
    for (int d = 0; d < 450; ++d)
        log.truth.push_back({nbr::addDays("2023-01-01", d), 15 + d % 11 * 0.7, 5 + d % 7 * 0.9,
                             d % 3 ? 0.0 : 2.4 + d % 5, false});
    for (int i = 0; i < 4000; ++i) {
        const int made = 450 - 667 + i / 6, lead = i % 6 + 1;
        log.fcst.push_back({nbr::addDays("2023-01-01", made), nbr::addDays("2023-01-01", made + lead), lead,
                            16.3 + i % 9 * 0.4, 5.8 + i % 5 * 0.3, double(i % 10 * 10), i % 4 * 0.8, 61});
    }
    const char* models[] = {"openmeteo", "icon_seamless", "gfs_seamless", "ecmwf_ifs04", "gem_seamless",
                            "jma_seamless", "ens"};
    for (int i = 0; i < 3000; ++i) {
        const int made = 450 - 430 + i / 7;
        log.mfcst.push_back({nbr::addDays("2023-01-01", made), nbr::addDays("2023-01-01", made + 1),
                             models[i % 7], 15.9 + i % 13 * 0.3, 5.1 + i % 3 * 0.6, double(i % 11 * 9)});
    }
    for (int i = 0; i < 4000; ++i)
        log.hf.push_back({nbr::addDays("2023-01-01", 450 - 167 + i / 24), i % 24, 9.5 + i % 17 * 0.45});
    for (int i = 0; i < 8000; ++i)
        log.obs.push_back({hourText(450 - 334 + i / 24, i % 24), 9.1 + i % 19 * 0.4, 40.0 + i % 50,
                           1005.5 + i % 20, 7.2 + i % 9, i % 7 ? 0.0 : 0.3, i % 4});
    for (const auto& r : log.truth) log.truthDates.insert(r.date);
    for (const auto& r : log.fcst) log.fcstKeys.insert(HistoryStore::keyOf(r));
    for (const auto& r : log.mfcst) log.mfcstKeys.insert(HistoryStore::keyOf(r));
    for (const auto& r : log.hf) log.hfKeys.insert(HistoryStore::keyOf(r));
    log.lastObsTime = log.obs.back().time;
    log.loaded = true;
    return log;
}

// A store in a private temporary folder, its file holding a capped log.
struct CappedStore {
    std::string folder;
    HistoryStore store;
    CappedStore() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "nimbrel-bench-XXXXXX").string();
        folder = mkdtemp(tmpl.data()) ? tmpl : std::string(".");
        store.dir = folder;
        store.rewrite(kKey, cappedLog());
    }
    ~CappedStore() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

void BM_ColdLoadAndScore(benchmark::State& state) {
    CappedStore capped;
    state.counters["fileBytes"] = double(std::filesystem::file_size(capped.store.pathFor(kKey)));
    for (auto _ : state) {
        HistoryStore store;
        store.dir = capped.folder;
        const auto& log = store.logFor(kKey);
        auto skill = HistoryStore::computeSkill(log.fcst, log.truth, log.mfcst, log.hf, log.obs);
        benchmark::DoNotOptimize(skill);
    }
}
BENCHMARK(BM_ColdLoadAndScore)->Unit(benchmark::kMillisecond);

void BM_Rewrite(benchmark::State& state) {
    CappedStore capped;
    const auto log = cappedLog();
    for (auto _ : state) capped.store.rewrite(kKey, log);
}
BENCHMARK(BM_Rewrite)->Unit(benchmark::kMillisecond);

// The lines of a day's first refresh: one observation, yesterday's truth,
// six day forecasts and 24 hourly temperatures, appended to a capped file.
void BM_RefreshAppend(benchmark::State& state) {
    CappedStore capped;
    HistoryStore& store = capped.store;
    int day = 1000;
    for (auto _ : state) {
        std::vector<std::string> lines;
        const std::string today = nbr::addDays("2023-01-01", day);
        lines.push_back(HistoryStore::lineOf(HistoryStore::ObsRecord{hourText(day, 7), 12.5, 60, 1012, 9, 0, 2}));
        lines.push_back(HistoryStore::lineOf(HistoryStore::TruthRecord{nbr::addDays(today, -1), 17, 8, 1.2, false}));
        for (int lead = 1; lead <= 6; ++lead)
            lines.push_back(HistoryStore::lineOf(
                HistoryStore::FcstRecord{today, nbr::addDays(today, lead), lead, 18, 7, 40, 2.5, 61}));
        for (int h = 0; h < 24; ++h) lines.push_back(HistoryStore::lineOf(HistoryStore::HFcstRecord{today, h, 11.5}));
        store.appendLines(kKey, lines);
        ++day;
    }
}
BENCHMARK(BM_RefreshAppend)->Unit(benchmark::kMillisecond);

// A whole refresh on a capped log: log, append, score, correct.
void BM_RecordRefresh(benchmark::State& state) {
    CappedStore capped;
    HistoryStore& store = capped.store;
    int hour = 0;
    for (auto _ : state) {
        nbr::WeatherData w;
        w.location = {"Bench", "US", "", 47.6062, -122.3321, "", false};
        w.time = hourText(1000 + hour / 24, hour % 24);
        w.daily.resize(7);
        for (int k = 0; k < 7; ++k) w.daily[k].date = nbr::addDays(w.time.substr(0, 10), k);
        for (int h = 0; h < 24; ++h) w.hourly.push_back({hourText(1000 + (hour + h) / 24, (hour + h) % 24)});
        store.record(w);
        benchmark::DoNotOptimize(w);
        ++hour;
    }
}
BENCHMARK(BM_RecordRefresh)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
