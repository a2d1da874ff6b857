// One whole enrichment against the stand-in services on this machine, every
// source answering at once (fresh caches each time), beside each source
// group's own time alone. Wall and process CPU time are both reported.
#include "app/App.h"
#include "replay/ReplayServer.h"
#include "service/ServiceHosts.h"
#include "service/WeatherService.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Stand {
    Stand() {
        server.start();
        setenv("NIMBREL_SERVICE_BASE", server.base().c_str(), 1);
        nbr::reloadServiceBase();
        char tmpl[] = "/tmp/nimbrel-enrich-bench-XXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    }
    nbr::replay::ReplayServer server;
    std::string dir;
};

Stand& stand() {
    static Stand s;
    return s;
}

nbr::GeoLocation boston() {
    nbr::GeoLocation g;
    g.name = "Boston";
    g.country = "US";
    g.admin1 = "Massachusetts";
    g.latitude = 42.3584;
    g.longitude = -71.0598;
    g.timezone = "America/New_York";
    return g;
}

// A service with empty caches and its files in a fresh folder, and the base
// forecast it enriches.
struct Fresh {
    Fresh() {
        std::filesystem::remove_all(stand().dir + "/f");
        std::filesystem::create_directories(stand().dir + "/f");
        svc.negPath = stand().dir + "/f/enrich_flags.json";
        svc.issTlePath = stand().dir + "/f/iss_tle.json";
        data = *svc.fetchWeather(boston());
    }
    nbr::WeatherService svc;
    nbr::WeatherData data;
};

// range(0): milliseconds every reply of the stand-in services waits.
void WholeEnrichment(benchmark::State& state) {
    stand().server.delayEverything(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        Fresh f;
        state.ResumeTiming();
        f.svc.enrichWeather(boston(), f.data);
        benchmark::DoNotOptimize(f.data.enriched);
    }
    stand().server.delayEverything(0);
}
BENCHMARK(WholeEnrichment)->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(10);

// Each group of the fan-out alone, in the same fresh state.
void SourceGroupAlone(benchmark::State& state) {
    const nbr::GeoLocation loc = boston();
    using Group = std::function<void(nbr::WeatherService&, nbr::WeatherData&)>;
    const std::vector<std::pair<const char*, Group>> groups = {
        {"kp", [](auto& s, auto&) { s.fetchKpIndex(); }},
        {"models", [&](auto& s, auto& d) { s.fetchUncertaintyBand(loc, d); s.fetchEnsemble(loc, d); }},
        {"air", [&](auto& s, auto& d) { s.fetchAirQuality(loc, d); }},
        {"marine", [&](auto& s, auto& d) { s.fetchTidesAndMarine(loc, d); }},
        {"flood", [&](auto& s, auto& d) { s.fetchFlood(loc, d); }},
        {"metno", [&](auto& s, auto& d) { s.fetchMetNorway(loc, d); }},
        {"nws", [&](auto& s, auto& d) { s.fetchNwsOpinion(loc, d); }},
        {"quakes", [&](auto& s, auto& d) { s.fetchQuakes(loc, d); }},
        {"solar", [](auto& s, auto& d) { s.fetchSolarActivity(d); }},
        {"seasonal", [&](auto& s, auto& d) { s.fetchSeasonal(loc, d); }},
        {"discussion", [&](auto& s, auto& d) { s.fetchForecastDiscussion(loc, d); }},
        {"aurora", [&](auto& s, auto& d) { s.fetchAurora(loc, d); }},
        {"station", [&](auto& s, auto& d) { s.fetchStationObs(loc, d); }},
        {"trend", [&](auto& s, auto& d) { s.fetchRunTrend(loc, d); }},
        {"iss", [&](auto& s, auto& d) { s.fetchIssPasses(loc, d); }},
    };
    const auto& [name, group] = groups[static_cast<size_t>(state.range(0))];
    state.SetLabel(name);
    stand().server.delayEverything(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        Fresh f;
        state.ResumeTiming();
        group(f.svc, f.data);
    }
    stand().server.delayEverything(0);
}
BENCHMARK(SourceGroupAlone)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 14, 1), {0, 300}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The whole refresh of one request on the worker: time to the quick result
// (base forecast on screen) and to the final one, as counters in seconds.
// Fresh caches, history and archive each time (so the archive's ten years
// are downloaded too).
void RefreshToQuickAndFinal(benchmark::State& state) {
    stand().server.delayEverything(static_cast<int>(state.range(0)));
    double quick = 0, final = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(stand().dir + "/app");
        nbr::App app;
        app.historyStore.dir = stand().dir + "/app/history";
        app.archiveStore.dir = stand().dir + "/app/archive";
        app.weatherService.negPath = stand().dir + "/app/enrich_flags.json";
        app.weatherService.issTlePath = stand().dir + "/app/iss_tle.json";
        nbr::App::WorkRequest r;
        r.location = boston();
        state.ResumeTiming();
        const auto start = Clock::now();
        std::thread worker([&] { app.handleFetchWeather(r); });
        int seen = 0;
        while (seen < 2) {
            if (app.resultQueue.tryPop()) {
                const double t = std::chrono::duration<double>(Clock::now() - start).count();
                (seen++ == 0 ? quick : final) += t;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        worker.join();
    }
    state.counters["quick_s"] = quick / static_cast<double>(state.iterations());
    state.counters["final_s"] = final / static_cast<double>(state.iterations());
    stand().server.delayEverything(0);
}
BENCHMARK(RefreshToQuickAndFinal)->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
