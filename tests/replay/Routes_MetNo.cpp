// MET Norway's Locationforecast (compact): generated for the known places,
// hourly from the current UTC hour for 60 hours, then every 6 hours to nine
// days, with a daily swing of temperature around the place's afternoon.
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(metnoLocationforecast) {
    server.route("metno", "/weatherapi/locationforecast/2.0/compact", [](ReplayServer&, const Request& r) {
        using nlohmann::json;
        if (!r.place) return Reply::notFound();
        if (r.header("user-agent").empty()) return Reply::withStatus(403, "User-Agent required");
        const auto tp = std::chrono::system_clock::now();
        const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(tp.time_since_epoch()).count();
        const int64_t hour = now - now % 3600;
        const int offset = r.place->utcOffsetAt(tp);
        const double base = r.place->id == "oslo" ? -2.0 : r.place->id == "halifax" ? 1.0 : 4.0;
        json series = json::array();
        for (int k = 0; k < 9 * 24; k += k < 60 ? 1 : 6) {
            const int64_t t = hour + int64_t{k} * 3600;
            const double localHour = static_cast<double>(((t + offset) % 86400 + 86400) % 86400) / 3600.0;
            const double temp = std::round((base + 5.0 * std::sin((localHour - 9.0) * M_PI / 12.0) + 0.3 * (k / 24)) * 10) / 10;
            json details = {{"air_pressure_at_sea_level", 1012.4}, {"air_temperature", temp},
                            {"cloud_area_fraction", 40.0}, {"relative_humidity", 71.2},
                            {"wind_from_direction", 220.5}, {"wind_speed", 4.1}};
            json step = {{"time", timefmt::minute(t) + ":00Z"}, {"data", {{"instant", {{"details", details}}}}}};
            step["data"]["next_6_hours"] = {{"summary", {{"symbol_code", "partlycloudy_day"}}},
                                            {"details", {{"precipitation_amount", 0.0}}}};
            series.push_back(std::move(step));
        }
        json body = {{"type", "Feature"},
                     {"geometry", {{"type", "Point"}, {"coordinates", {r.place->longitude, r.place->latitude, 20}}}},
                     {"properties",
                      {{"meta", {{"updated_at", timefmt::minute(hour) + ":00Z"}, {"units", {{"air_temperature", "celsius"}}}}},
                       {"timeseries", std::move(series)}}}};
        return Reply::json(body.dump());
    });
}

}  // namespace nbr::replay
