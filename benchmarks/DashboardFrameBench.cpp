// The main thread's own work for one dashboard frame: building every panel
// of a full record in the GUI library (no OpenGL; the drawing of the frame's
// triangles is the renderer's, not measured here). Full view and mini strip.
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"
#include "ui/Theme.h"
#include "ui/UIRenderer.h"

#include <benchmark/benchmark.h>
#include <imgui.h>

namespace {

nbr::WeatherData bostonLike() {
    nbr::WeatherData d;
    d.location.name = "Boston";
    d.location.admin1 = "Massachusetts";
    d.location.country = "US";
    d.location.timezone = "America/New_York";
    d.time = "2026-12-10T10:15";
    d.temperature = 3.4;
    d.apparentTemperature = -1.2;
    d.weatherCode = 61;
    d.relativeHumidity = 71;
    d.visibility = 14200;
    d.snowfall = 0.07;
    d.pressureMsl = 1011.6;
    d.uvIndex = 0.9;
    d.utcOffsetSeconds = -18000;
    d.fetchedAt = std::chrono::system_clock::now();
    for (int i = 0; i < 24; ++i) {
        nbr::HourlyForecast h;
        h.time = "2026-12-10T" + std::string(i + 10 < 20 ? "1" : "2") + std::to_string((i + 10) % 10) + ":00";
        h.temperature = 2 + i * 0.3;
        h.weatherCode = 61;
        h.precipitationProbability = 50 + i;
        d.hourly.push_back(h);
    }
    for (int i = 0; i < 7; ++i) {
        nbr::DailyForecast f;
        f.date = "2026-12-1" + std::to_string(i);
        f.weatherCode = i % 2 ? 3 : 71;
        f.sunrise = f.date + "T06:58";
        f.sunset = f.date + "T16:12";
        f.daylightDuration = 33000;
        d.daily.push_back(f);
    }
    return d;
}

void frames(benchmark::State& state, bool mini) {
    ImGuiContext* ctx = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1040, 800);
    unsigned char* px = nullptr;
    int w = 0, h = 0;
    io.Fonts->GetTexDataAsRGBA32(&px, &w, &h);
    nbr::theme::apply(nbr::theme::Dark);
    nbr::Config config;
    nbr::SavedLocation place;
    place.name = "Boston";
    config.locations.push_back(place);
    nbr::WeatherService service;
    nbr::LocationManager places(config, service);
    nbr::UIRenderer ui(places, config);
    ui.weatherIcons.id = 1;  // icons take their place in the layout (no texture is drawn here)
    ui.miniMode = mini;
    // 10:15 at the place on the record's first day, so its sun tracker shows.
    ui.wallSeconds = [] { return std::int64_t{1796915700}; };
    const nbr::WeatherData d = bostonLike();
    for (auto _ : state) {
        io.DeltaTime = 1.0f / 60;
        ImGui::NewFrame();
        ui.render(d, {}, {}, false, "");
        ImGui::Render();
        benchmark::DoNotOptimize(ImGui::GetDrawData()->TotalVtxCount);
    }
    const ImDrawData* dd = ImGui::GetDrawData();
    int calls = 0;
    for (int i = 0; i < dd->CmdListsCount; ++i) calls += dd->CmdLists[i]->CmdBuffer.Size;
    state.counters["vertices"] = dd->TotalVtxCount;
    state.counters["drawCalls"] = calls;
    ui.weatherIcons.id = 0;
    ImGui::DestroyContext(ctx);
}

void BM_DashboardFrame(benchmark::State& state) { frames(state, false); }
void BM_MiniStripFrame(benchmark::State& state) { frames(state, true); }
BENCHMARK(BM_DashboardFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MiniStripFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
