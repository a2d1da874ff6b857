// The radar window while it animates over Boston at zoom 6, drawn by the
// application's own frame routine on a private virtual display against the
// stand-in radar service: the main thread's CPU time per frame (the
// benchmark's CPU column) and the memory of the tile textures it holds.
#include "AppBenchScene.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Scene : nbr::bench::AppScene {
    Scene() {
        if (!ready) return;
        app = std::make_unique<nbr::App>();
        app->config.windowW = 1040;
        app->config.windowH = 820;
        if (!app->initSDL() || !app->initImGui()) return;
        app->radar.basemapDir = NIMBREL_RESOURCES_DIR;
        nbr::GeoLocation boston;
        boston.name = "Boston";
        boston.latitude = 42.3584;
        boston.longitude = -71.0598;
        app->locationManager.addLocation(boston);
        app->config.radarZoom = 6;
        app->config.radarAutoplay = true;
        app->renderer->actions.toggleRadar = true;
        app->processEvents();
        // Until every frame's visible tiles are textures.
        for (int i = 0; i < 3000; ++i) {
            app->renderFrame();
            std::this_thread::sleep_for(5ms);
            std::lock_guard<std::mutex> lock(app->radar.dataMutex);
            const size_t visible = size_t(app->radar.visX1 - app->radar.visX0 + 1) *
                                   size_t(app->radar.visY1 - app->radar.visY0 + 1);
            if (app->radar.basemapLoaded && !app->radar.frames.empty() && app->radar.fetched.empty() &&
                app->radar.tiles.size() >= visible * app->radar.frames.size()) {
                ok = true;
                break;
            }
        }
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_RadarAnimatingFrame(benchmark::State& state) {
    Scene& s = scene();
    if (!s.ok) {
        state.SkipWithError("no virtual display or radar tiles");
        return;
    }
    int steps = 0;
    int last = -1;
    for (auto _ : state) {
        s.app->renderFrame();
        int index;
        {
            std::lock_guard<std::mutex> lock(s.app->radar.dataMutex);
            index = s.app->radar.frameIndex;
        }
        if (index != last) ++steps;
        last = index;
    }
    state.counters["tile_textures"] = static_cast<double>(s.app->radar.tiles.size());
    state.counters["tile_texture_MiB"] = static_cast<double>(s.app->radar.tileTextureBytes()) / (1024.0 * 1024.0);
    state.counters["frame_steps"] = steps;
}
BENCHMARK(BM_RadarAnimatingFrame)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
