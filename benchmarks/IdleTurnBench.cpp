// One turn of the main loop while nothing changes, as the loop runs it:
// events, tray, results, the GUI backends' new frame, the whole dashboard,
// the frame's hash and (only when it changed) drawing and presenting. The
// application runs on a private virtual display with Boston's forecast from
// the stand-in services; the CPU column is the main thread's time per turn.
// With an alert toast on screen (the loop then turns every 100 ms) and
// without (every 250 ms).
#include "AppBenchScene.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Scene : nbr::bench::AppScene {
    Scene() {
        if (!ready) return;
        std::filesystem::create_directories(data.path() + "/Nimbrel");
        std::ofstream(data.path() + "/Nimbrel/config.json")
            << R"({"locations":[{"name":"Boston","country":"US","admin1":"Massachusetts","latitude":42.3584,)"
               R"("longitude":-71.0598,"timezone":"America/New_York","isDefault":true}],"activeLocationIndex":0})";
        app = std::make_unique<nbr::App>();
        if (!app->initialize()) return;
        // Until the refresh has finished and its record is on screen.
        for (int i = 0; i < 6000 && !ok; ++i) {
            app->turn(5);
            std::lock_guard<std::mutex> lock(app->dataMutex);
            ok = !app->fetchInProgress && !app->weather.hourly.empty() && !app->weather.daily.empty();
        }
    }

    void showToast(bool toast) {
        {
            std::lock_guard<std::mutex> lock(app->dataMutex);
            app->alerts.clear();
            if (toast) {
                nbr::WeatherAlert a;
                a.title = "Wind Advisory";
                a.message = "Gusts to 45 mph this afternoon.";
                a.location = "Boston";
                a.issued = std::chrono::system_clock::now();
                app->alerts.push_back(a);
            }
            app->alertsDirty = true;
        }
        for (int i = 0; i < 20; ++i) app->turn(0);
    }
};

// The measured turns, apart so a profiler can be told to count only these
// (valgrind --tool=callgrind --toggle-collect='*measuredTurns*').
[[gnu::noinline]] void measuredTurns(nbr::App& app, benchmark::State& state, std::chrono::milliseconds apart) {
    for (auto _ : state) {
        app.turn(0);
        // The loop's own pace: the turn then starts with what the rest of
        // the machine left in the caches (the CPU column leaves the wait out).
        if (apart.count() > 0) std::this_thread::sleep_for(apart);
    }
}

Scene& scene() {
    static Scene s;
    return s;
}

void idleTurns(benchmark::State& state, bool toast, std::chrono::milliseconds apart = {}) {
    Scene& s = scene();
    if (!s.ok) {
        state.SkipWithError("no virtual display or no forecast");
        return;
    }
    s.showToast(toast);
    const std::uint64_t built = s.app->framesBuilt, presented = s.app->framesPresented;
    measuredTurns(*s.app, state, apart);
    state.counters["built"] = benchmark::Counter(static_cast<double>(s.app->framesBuilt - built), benchmark::Counter::kAvgIterations);
    state.counters["presented"] =
        benchmark::Counter(static_cast<double>(s.app->framesPresented - presented), benchmark::Counter::kAvgIterations);
}

void BM_IdleTurn(benchmark::State& state) { idleTurns(state, false); }
void BM_IdleTurnWithToast(benchmark::State& state) { idleTurns(state, true); }
void BM_PacedTurnWithToast(benchmark::State& state) { idleTurns(state, true, 100ms); }
BENCHMARK(BM_IdleTurn)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_IdleTurnWithToast)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PacedTurnWithToast)->Unit(benchmark::kMicrosecond)->Iterations(100);

}  // namespace

BENCHMARK_MAIN();
