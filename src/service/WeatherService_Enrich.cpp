// The enrichment fan-out: every secondary source fills its own part of the
// record on a thread of its own, all at once.
#include "service/WeatherService.h"

#include "foundation/Logger.h"
#include "platform/CrashSignals.h"

#include <array>
#include <functional>
#include <thread>

namespace nbr {

namespace {

constexpr size_t kGroups = 15;

// Runs one source group; nothing it throws gets past it.
void runGroup(const char* name, const std::function<void()>& group) {
    try {
        group();
    } catch (const std::exception& e) {
        Log::warn("enrichment source %s failed: %s", name, e.what());
    } catch (...) {
        Log::warn("enrichment source %s failed", name);
    }
}

}  // namespace

void WeatherService::enrichWeather(const GeoLocation& loc, WeatherData& data) {
    if (data.enriched) return;
    double kp = -1.0;

    // Each group writes only its own members of `data` (the daily entries are
    // shared by the model and run-trend groups, each with its own fields).
    const std::array<std::pair<const char*, std::function<void()>>, kGroups> groups = {{
        {"kp", [&] { kp = fetchKpIndex(); }},
        {"models", [&] { fetchUncertaintyBand(loc, data); fetchEnsemble(loc, data); }},
        {"air", [&] { fetchAirQuality(loc, data); }},
        {"marine", [&] { fetchTidesAndMarine(loc, data); }},
        {"flood", [&] { fetchFlood(loc, data); }},
        {"metno", [&] { fetchMetNorway(loc, data); }},
        {"nws", [&] { fetchNwsOpinion(loc, data); }},
        {"quakes", [&] { fetchQuakes(loc, data); }},
        {"solar", [&] { fetchSolarActivity(data); }},
        {"seasonal", [&] { fetchSeasonal(loc, data); }},
        {"discussion", [&] { fetchForecastDiscussion(loc, data); }},
        {"aurora", [&] { fetchAurora(loc, data); }},
        {"station", [&] { fetchStationObs(loc, data); }},
        {"trend", [&] { fetchRunTrend(loc, data); }},
        {"iss", [&] { fetchIssPasses(loc, data); }},
    }};

    std::array<std::thread, kGroups> threads;
    for (size_t i = 0; i < groups.size(); ++i) {
        const auto& [name, group] = groups[i];
        try {
            threads[i] = std::thread([&name = name, &group = group] {
                platform::ThreadCrashStack crashStack;
                runGroup(name, group);
            });
        } catch (...) {
            // No thread to be had (whatever starting one threw): the group
            // runs here, in its turn, and the threads already started are
            // still joined below.
            runGroup(name, group);
        }
    }
    for (std::thread& t : threads)
        if (t.joinable()) t.join();

    data.kpIndex = kp;
    data.enriched = true;

    std::lock_guard<std::mutex> lock(forecastCacheMutex);
    auto it = forecastCache.find(loc.cacheKey());
    if (it != forecastCache.end()) it->second = data;
}

}  // namespace nbr
