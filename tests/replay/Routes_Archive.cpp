// The historical archive service: daily high, low and rain of any stretch of
// days for the known places, generated from a seed per place and date.
// Days from the place's local today on are not available yet and come as
// nulls, as the service sends them. Bad dates get the service's error reply.
#include "replay/Routes_Archive.h"
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace nbr::replay {

namespace archive {

namespace {

using nlohmann::json;
using namespace std::chrono;

constexpr double kPi = 3.14159265358979;

bool readDate(const std::string& text, sys_days& out) {
    int y = 0;
    unsigned m = 0, d = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%d-%u-%u", &y, &m, &d) != 3) return false;
    const year_month_day ymd{year{y}, month{m}, day{d}};
    if (!ymd.ok()) return false;
    out = sys_days{ymd};
    return true;
}

std::string dateText(sys_days t) {
    const year_month_day ymd{t};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buf;
}

// SplitMix64: a well-mixed 64-bit value of the seed and the day.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double unit(uint64_t x) { return static_cast<double>(x >> 11) / 9007199254740992.0; }  // [0, 1)

double round1(double v) { return std::round(v * 10) / 10; }

uint64_t seedOf(const std::string& placeId) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : placeId) h = (h ^ c) * 1099511628211ull;
    return h;
}

json errorReply(const std::string& reason) { return {{"error", true}, {"reason", reason}}; }

}  // namespace

GeneratedDay generatedDay(const std::string& placeId, const std::string& date) {
    GeneratedDay g;
    sys_days t;
    if (!readDate(date, t)) return g;
    const uint64_t seed = seedOf(placeId);
    const int64_t n = t.time_since_epoch().count();
    const uint64_t r = mix(seed ^ static_cast<uint64_t>(n) * 0x2545F4914F6CDD1Dull);
    const year_month_day ymd{t};
    const double doy = static_cast<double>((t - sys_days{ymd.year() / January / 1}).count());
    // A seasonal swing with a place-dependent mean, day-to-day noise and a
    // rain day roughly one in three.
    const double mean = 6 + static_cast<double>(seed % 9);
    const double season = -12 * std::cos(2 * kPi * (doy - 15) / 365.25);
    g.tmax = round1(mean + 5 + season + 8 * (unit(r) - 0.5));
    g.tmin = round1(g.tmax - 4 - 6 * unit(mix(r)));
    const double wet = unit(mix(r + 1));
    g.precip = wet < 0.35 ? round1(0.2 + 25 * unit(mix(r + 2)) * unit(mix(r + 3))) : 0.0;
    return g;
}

}  // namespace archive

NIMBREL_REPLAY_ROUTES(archive) {
    server.route("archive", "/v1/archive", [](ReplayServer&, const Request& r) {
        using namespace std::chrono;
        if (!r.place) return Reply::notFound();
        sys_days start, end;
        if (!archive::readDate(r.param("start_date"), start) || !archive::readDate(r.param("end_date"), end))
            return Reply::withStatus(400, archive::errorReply("Invalid date").dump());
        if (end < start)
            return Reply::withStatus(400, archive::errorReply("End-date must be larger or equal than start-date").dump());
        const auto now = system_clock::now();
        const sys_days today = floor<days>(now + seconds(r.place->utcOffsetAt(now)));
        nlohmann::json time = nlohmann::json::array(), highs = nlohmann::json::array(),
                       lows = nlohmann::json::array(), rain = nlohmann::json::array();
        for (sys_days t = start; t <= end; t += days{1}) {
            const std::string date = archive::dateText(t);
            time.push_back(date);
            if (t >= today) {
                highs.push_back(nullptr);
                lows.push_back(nullptr);
                rain.push_back(nullptr);
                continue;
            }
            const archive::GeneratedDay g = archive::generatedDay(r.place->id, date);
            highs.push_back(g.tmax);
            lows.push_back(g.tmin);
            rain.push_back(g.precip);
        }
        nlohmann::json body = {
            {"latitude", r.place->latitude},
            {"longitude", r.place->longitude},
            {"generationtime_ms", 3.2},
            {"utc_offset_seconds", r.place->utcOffsetAt(now)},
            {"timezone", r.place->timezone},
            {"timezone_abbreviation", r.place->zoneAbbreviationAt(now)},
            {"elevation", 12.0},
            {"daily_units",
             {{"time", "iso8601"}, {"temperature_2m_max", "°C"}, {"temperature_2m_min", "°C"},
              {"precipitation_sum", "mm"}}},
            {"daily",
             {{"time", std::move(time)},
              {"temperature_2m_max", std::move(highs)},
              {"temperature_2m_min", std::move(lows)},
              {"precipitation_sum", std::move(rain)}}}};
        return Reply::json(body.dump());
    });
}

}  // namespace nbr::replay
