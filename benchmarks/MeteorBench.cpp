// The meteor burst's cost per frame: moving and culling the particles, and the
// whole effect with its sprite quads written to the foreground draw list (a
// GUI context without a window; the drawing itself is the GPU's).
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"
#include "ui/Panel_Meteors.h"
#include "ui/UIRenderer.h"

#include <benchmark/benchmark.h>
#include <imgui.h>

namespace {

constexpr float kW = 1280, kH = 800;

// Particles of `bursts` bursts spread over their flight.
std::vector<nbr::panel::Meteor> liveParticles(int bursts) {
    std::mt19937 rng(1);
    std::vector<nbr::panel::Meteor> ms;
    for (int b = 0; b < bursts; ++b) {
        nbr::panel::spawnMeteorBurst(rng, kW, ms);
        nbr::panel::stepMeteors(ms, 0.05f * static_cast<float>(b % 10), kW, kH);
    }
    return ms;
}

void BM_StepMeteors(benchmark::State& state) {
    const auto start = liveParticles(static_cast<int>(state.range(0)));
    auto ms = start;
    for (auto _ : state) {
        if (ms.empty()) ms = start;
        nbr::panel::stepMeteors(ms, 1.0f / 60, kW, kH);
        benchmark::DoNotOptimize(ms.data());
    }
    state.counters["particles"] = static_cast<double>(start.size());
}
BENCHMARK(BM_StepMeteors)->Arg(1)->Arg(10);

// One GUI frame holding only the effect, against the same frame without it.
void BM_MeteorFrame(benchmark::State& state) {
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(kW, kH);
    unsigned char* px = nullptr;
    int w = 0, h = 0;
    io.Fonts->GetTexDataAsRGBA32(&px, &w, &h);
    nbr::Config config;
    nbr::WeatherService service;
    nbr::LocationManager places(config, service);
    {
        nbr::UIRenderer ui(places, config);
        for (auto& t : ui.meteorSprites) t = {1, 64, 32};  // ids only: nothing reaches OpenGL
        const auto start = liveParticles(static_cast<int>(state.range(0)));
        for (auto _ : state) {
            if (ui.meteors.empty()) ui.meteors = start;
            io.DeltaTime = 1.0f / 60;
            ImGui::NewFrame();
            ui.renderMeteorEffect();
            ImGui::Render();
        }
        for (auto& t : ui.meteorSprites) t = {};
        state.counters["particles"] = static_cast<double>(start.size());
    }
    ImGui::DestroyContext();
}
BENCHMARK(BM_MeteorFrame)->Arg(0)->Arg(1)->Arg(10);

}  // namespace

BENCHMARK_MAIN();
