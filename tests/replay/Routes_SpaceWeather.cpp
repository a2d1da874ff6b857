// The space-weather services: the K-index table, its forecast, the aurora
// grid, the flare list and the radio flux, and the GFZ K-index service that
// stands in when the table gives nothing. Times in the fixtures are filled in
// relative to the request; the aurora grid is generated (it is large).
#include "replay/ReplayServer.h"

#include <cmath>
#include <string>

namespace nbr::replay {

namespace {

// The whole grid, longitude-major, 181 latitudes per longitude: an oval of
// probability around 67 degrees of latitude in each hemisphere.
std::string auroraGrid(const std::string& observed) {
    std::string out;
    out.reserve(1200000);
    out += "{\"Observation Time\": \"" + observed + "\", \"Forecast Time\": \"" + observed +
           "\", \"Data Format\": \"[Longitude, Latitude, Aurora]\", \"coordinates\": [";
    for (int lon = 0; lon < 360; ++lon) {
        for (int lat = -90; lat <= 90; ++lat) {
            const double off = std::fabs(std::fabs(lat) - 67.0);
            const int p = off < 12 ? static_cast<int>(std::lround(60.0 * (1.0 - off / 12.0))) : 0;
            if (lon || lat > -90) out += ", ";
            out += "[" + std::to_string(lon) + ", " + std::to_string(lat) + ", " + std::to_string(p) + "]";
        }
    }
    out += "]}";
    return out;
}

}  // namespace

NIMBREL_REPLAY_ROUTES(swpc) {
    for (const char* name : {"noaa-planetary-k-index", "noaa-planetary-k-index-forecast"})
        server.route("swpc", std::string("/products/") + name + ".json", [name](ReplayServer& s, const Request&) {
            return s.fixtureReply(std::string("swpc/") + name + ".json", nullptr);
        });
    server.route("swpc", "/products/summary/10cm-flux.json",
                 [](ReplayServer& s, const Request&) { return s.fixtureReply("swpc/10cm-flux.json", nullptr); });
    server.route("swpc", "/json/goes/primary/xray-flares-7-day.json", [](ReplayServer& s, const Request&) {
        return s.fixtureReply("swpc/xray-flares-7-day.json", nullptr);
    });
    server.route("swpc", "/json/ovation_aurora_latest.json", [](ReplayServer& s, const Request&) {
        return Reply::json(auroraGrid(s.fill("{{utc:0}}", nullptr)));
    });
}

NIMBREL_REPLAY_ROUTES(gfz) {
    server.route("gfz", "/app/json/", [](ReplayServer& s, const Request& r) {
        if (r.param("index") != "Kp" || r.param("start").empty()) return Reply::withStatus(400, "bad query");
        return s.fixtureReply("gfz/kp.json", nullptr);
    });
}

}  // namespace nbr::replay
