// The two earthquake catalogues, generated around the asking place with
// event times relative to the request. The EMSC list repeats one USGS event
// (slightly different magnitude and time, as catalogues do), adds two of its
// own and one too far away.
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace nbr::replay {

namespace {

using nlohmann::json;

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Event {
    double magnitude;
    double dLat, dLon;  // degrees from the place
    double hoursAgo;
    const char* region;
};

// USGS, largest first as asked (orderby=magnitude).
constexpr Event kUsgs[] = {
    {4.1, 1.2, 0.8, 6.0, "Gulf of Maine"},
    {3.4, -0.9, 1.9, 30.5, "offshore region"},
    {2.9, 0.4, -0.6, 52.0, "inland region"},
    {2.6, 2.0, 1.0, 100.0, "coastal region"},
};
constexpr Event kEmsc[] = {
    {4.4, 1.21, 0.81, 6.0 + 10.0 / 60.0, "GULF OF MAINE"},  // the USGS M4.1 again
    {3.8, -2.5, -1.5, 75.25, "REGION TO THE SOUTHWEST"},
    {2.4, 0.2, 0.2, 12.0, "TOO SMALL"},
    {5.2, 6.0, 3.0, 20.0, "FAR AWAY"},
};

}  // namespace

NIMBREL_REPLAY_ROUTES(usgsquake) {
    server.route("usgsquake", "/fdsnws/event/1/query", [](ReplayServer&, const Request& r) {
        if (!r.place || r.param("format") != "geojson") return Reply::withStatus(400, "Bad Request");
        const int64_t now = nowSeconds();
        json features = json::array();
        for (const Event& e : kUsgs) {
            const double ms = std::round((static_cast<double>(now) - e.hoursAgo * 3600.0) * 1000.0);
            features.push_back({{"type", "Feature"},
                                {"properties", {{"mag", e.magnitude}, {"place", e.region}, {"time", ms},
                                                {"updated", ms}, {"tz", nullptr}, {"type", "earthquake"}}},
                                {"geometry", {{"type", "Point"},
                                              {"coordinates", {r.place->longitude + e.dLon, r.place->latitude + e.dLat, 10.0}}}},
                                {"id", "rp" + std::to_string(static_cast<int>(e.hoursAgo * 10))}});
        }
        json body = {{"type", "FeatureCollection"},
                     {"metadata", {{"generated", now * 1000}, {"title", "USGS Earthquakes"}, {"status", 200},
                                   {"count", features.size()}}},
                     {"features", std::move(features)}};
        return Reply::json(body.dump());
    });
}

NIMBREL_REPLAY_ROUTES(emsc) {
    server.route("emsc", "/fdsnws/event/1/query", [](ReplayServer&, const Request& r) {
        if (!r.place || r.param("format") != "json") return Reply::withStatus(400, "Bad Request");
        const int64_t now = nowSeconds();
        json features = json::array();
        for (const Event& e : kEmsc) {
            const int64_t at = now - static_cast<int64_t>(e.hoursAgo * 3600.0);
            features.push_back({{"type", "Feature"},
                                {"id", std::string("20240000_") + std::to_string(at)},
                                {"properties", {{"mag", e.magnitude}, {"magtype", "ml"},
                                                {"lat", r.place->latitude + e.dLat}, {"lon", r.place->longitude + e.dLon},
                                                {"depth", 10.0}, {"flynn_region", e.region},
                                                {"time", timefmt::minute(at) + ":" + std::to_string(10 + at % 40) + ".4Z"}}},
                                {"geometry", {{"type", "Point"},
                                              {"coordinates", {r.place->longitude + e.dLon, r.place->latitude + e.dLat, -10.0}}}}});
        }
        return Reply::json(json{{"type", "FeatureCollection"}, {"metadata", {{"totalCount", features.size()}}},
                                {"features", std::move(features)}}.dump());
    });
}

}  // namespace nbr::replay
