// The forecast and geocoding services. Forecast replies are generated from a
// small per-place file (current conditions and a few climate figures), hour
// by hour, for the days the query asks for, so they always start yesterday.
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace nbr::replay {

namespace {

using nlohmann::json;

constexpr double kPi = 3.14159265358979;

double round1(double v) { return std::round(v * 10) / 10; }
double round2(double v) { return std::round(v * 100) / 100; }

bool rainyCode(int c) { return (c >= 51 && c <= 67) || (c >= 80 && c <= 82) || c >= 95; }
bool snowyCode(int c) { return (c >= 71 && c <= 77) || c == 85 || c == 86; }

int intParam(const Request& r, const char* key, int def) {
    const std::string v = r.param(key);
    if (v.empty()) return def;
    try {
        return std::stoi(v);
    } catch (...) {
        return def;
    }
}

json forecastBody(ReplayServer& server, const Place& place, int pastDays, int forecastDays) {
    json root = json::parse(server.fill(ReplayServer::fixture("forecast/" + place.id + ".json"), &place));
    const json climate = root["climate"];
    root.erase("climate");

    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const int64_t local = now + root["utc_offset_seconds"].get<int>();
    const int64_t start = local - local % 86400 - int64_t{pastDays} * 86400;
    const int days = std::max(0, pastDays + forecastDays);
    const std::vector<int> codes = climate["dayCodes"].get<std::vector<int>>();
    const auto dayCode = [&](int day) { return codes[static_cast<size_t>(day) % codes.size()]; };
    const double base = climate["base"], amplitude = climate["amplitude"], pressure = climate["pressure"],
                 wind = climate["wind"], snowDepth = climate["snowDepth"], freezing = climate["freezingLevel"],
                 uvMax = climate["uvMax"], daylight = climate["daylight"];

    json h = {{"time", json::array()}, {"temperature_2m", json::array()}, {"weather_code", json::array()},
              {"precipitation_probability", json::array()}, {"precipitation", json::array()},
              {"snowfall", json::array()}, {"uv_index", json::array()}, {"surface_pressure", json::array()},
              {"wind_speed_10m", json::array()}, {"wind_direction_10m", json::array()},
              {"snow_depth", json::array()}, {"freezing_level_height", json::array()},
              {"cloud_cover", json::array()}};
    for (int k = 0; k < days * 24; ++k) {
        const int hod = k % 24;
        const int day = k / 24;
        const int code = dayCode(day);
        const bool wet = rainyCode(code) || snowyCode(code);
        const double precip = rainyCode(code) ? round1(0.2 + 0.1 * (k % 3)) : snowyCode(code) ? round1(0.1 * (1 + k % 2)) : 0.0;
        h["time"].push_back(timefmt::minute(start + int64_t{k} * 3600));
        h["temperature_2m"].push_back(round1(base + amplitude * std::sin((hod - 9) * 2 * kPi / 24) + 0.4 * day));
        h["weather_code"].push_back(k % 6 == 5 && code <= 3 ? 1 : code);
        h["precipitation_probability"].push_back(wet ? 55 + (k * 7) % 40 : (k * 3) % 15);
        h["precipitation"].push_back(precip);
        h["snowfall"].push_back(snowyCode(code) ? round2(precip * 0.7) : 0.0);
        h["uv_index"].push_back(hod >= 8 && hod <= 16 ? round2(uvMax * std::sin((hod - 7) * kPi / 10)) : 0.0);
        h["surface_pressure"].push_back(round1(pressure + 3 * std::sin(k * 2 * kPi / 72)));
        h["wind_speed_10m"].push_back(round1(wind + 4 * std::sin(k * 0.5)));
        h["wind_direction_10m"].push_back((200 + k * 11) % 360);
        h["snow_depth"].push_back(round2(snowDepth + (snowyCode(code) ? 0.01 * hod : 0.0)));
        h["freezing_level_height"].push_back(freezing + 20.0 * hod);
        h["cloud_cover"].push_back(wet ? 90 + k % 11 : (k * 17) % 101);
    }

    json m = {{"time", json::array()}, {"precipitation", json::array()}, {"weather_code", json::array()}};
    for (int i = 0; i < days * 96; ++i) {
        const int code = dayCode(i / 96);
        m["time"].push_back(timefmt::minute(start + int64_t{i} * 900));
        m["precipitation"].push_back(rainyCode(code) || snowyCode(code) ? round2(0.05 * (i % 4)) : 0.0);
        m["weather_code"].push_back(code);
    }

    json d = {{"time", json::array()}, {"weather_code", json::array()}, {"temperature_2m_max", json::array()},
              {"temperature_2m_min", json::array()}, {"precipitation_sum", json::array()},
              {"rain_sum", json::array()}, {"snowfall_sum", json::array()},
              {"precipitation_probability_max", json::array()}, {"sunrise", json::array()},
              {"sunset", json::array()}, {"uv_index_max", json::array()}, {"daylight_duration", json::array()}};
    for (int day = 0; day < days; ++day) {
        double tmax = -1e9, tmin = 1e9, psum = 0, ssum = 0, uv = 0;
        int pop = 0;
        for (int k = day * 24; k < day * 24 + 24; ++k) {
            const double t = h["temperature_2m"][k];
            tmax = std::max(tmax, t);
            tmin = std::min(tmin, t);
            psum += h["precipitation"][k].get<double>();
            ssum += h["snowfall"][k].get<double>();
            uv = std::max(uv, h["uv_index"][k].get<double>());
            pop = std::max(pop, h["precipitation_probability"][k].get<int>());
        }
        const int code = dayCode(day);
        const std::string date = timefmt::date(start + int64_t{day} * 86400);
        d["time"].push_back(date);
        d["weather_code"].push_back(code);
        d["temperature_2m_max"].push_back(tmax);
        d["temperature_2m_min"].push_back(tmin);
        d["precipitation_sum"].push_back(round1(psum));
        d["rain_sum"].push_back(rainyCode(code) ? round1(psum) : 0.0);
        d["snowfall_sum"].push_back(round2(ssum));
        d["precipitation_probability_max"].push_back(pop);
        d["sunrise"].push_back(date + "T" + climate["sunrise"].get<std::string>());
        d["sunset"].push_back(date + "T" + climate["sunset"].get<std::string>());
        d["uv_index_max"].push_back(round2(uv));
        d["daylight_duration"].push_back(round2(daylight - 61.3 * day));
    }

    root["hourly_units"] = {{"time", "iso8601"}, {"temperature_2m", "°C"}, {"weather_code", "wmo code"},
                            {"precipitation_probability", "%"}, {"precipitation", "mm"}, {"snowfall", "cm"},
                            {"uv_index", ""}, {"surface_pressure", "hPa"}, {"wind_speed_10m", "km/h"},
                            {"wind_direction_10m", "°"}, {"snow_depth", "m"}, {"freezing_level_height", "m"},
                            {"cloud_cover", "%"}};
    root["hourly"] = std::move(h);
    root["minutely_15_units"] = {{"time", "iso8601"}, {"precipitation", "mm"}, {"weather_code", "wmo code"}};
    root["minutely_15"] = std::move(m);
    root["daily_units"] = {{"time", "iso8601"}, {"weather_code", "wmo code"}, {"temperature_2m_max", "°C"},
                           {"temperature_2m_min", "°C"}, {"precipitation_sum", "mm"}, {"rain_sum", "mm"},
                           {"snowfall_sum", "cm"}, {"precipitation_probability_max", "%"},
                           {"sunrise", "iso8601"}, {"sunset", "iso8601"}, {"uv_index_max", ""},
                           {"daylight_duration", "s"}};
    root["daily"] = std::move(d);
    return root;
}

}  // namespace

NIMBREL_REPLAY_ROUTES(forecast) {
    server.route("forecast", "/v1/forecast", [](ReplayServer& s, const Request& r) {
        if (!r.param("models").empty()) return Reply::pass();  // Routes_Models.cpp
        if (!r.place) return Reply::notFound();
        const int past = std::clamp(intParam(r, "past_days", 0), 0, 92);
        const int future = std::clamp(intParam(r, "forecast_days", 7), 0, 16);
        return Reply::json(forecastBody(s, *r.place, past, future).dump());
    });
}

// Place search: fixtures listed by lower-case name in geocoding/index.json;
// the reply holds at most "count" results, none when the name is unknown.
NIMBREL_REPLAY_ROUTES(geocoding) {
    server.route("geocoding", "/v1/search", [](ReplayServer&, const Request& r) {
        std::string name = r.param("name");
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const json index = json::parse(ReplayServer::fixture("geocoding/index.json"));
        if (!index.contains(name)) return Reply::json("{\"generationtime_ms\":0.41}");
        json reply = json::parse(ReplayServer::fixture("geocoding/" + index[name].get<std::string>()));
        const size_t count = static_cast<size_t>(std::clamp(intParam(r, "count", 10), 1, 100));
        if (reply.contains("results") && reply["results"].size() > count)
            reply["results"].erase(reply["results"].begin() + static_cast<std::ptrdiff_t>(count),
                                   reply["results"].end());
        return Reply::json(reply.dump());
    });
}

}  // namespace nbr::replay
