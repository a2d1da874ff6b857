// Space weather: the planetary K index, the aurora outlook at the place and
// the sun's flares and radio flux. None of them depends on the place except
// the aurora cell, so the K index and the aurora grid are cached service-wide.
#include "service/WeatherService.h"

#include "model/Dates.h"
#include "model/Numbers.h"
#include "service/ReplyText.h"
#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nbr {

using nlohmann::json;
using source::member;
using source::secondsSince;

namespace {

constexpr double kKpReuseSeconds = 900;
constexpr double kGridReuseSeconds = 1200;
constexpr double kKpForecastReuseSeconds = 3600;
constexpr int kKpForecastRows = 16;
constexpr int kGridLatitudes = 181;

// A JSON number that is a whole number within `int` after truncation.
std::optional<int> truncatedInt(const json& v) {
    if (!v.is_number()) return std::nullopt;
    return truncatedTo<int>(v.get<double>());
}

// Seconds since 1970 of a flare time "YYYY-MM-DD?HH:MM" read as UTC, the date
// and the time parted by any one character; a missing or cut clock time counts
// as 0. None unless the date reads.
std::optional<int64_t> flareTime(std::string_view text) {
    static constexpr char kAfter[] = {'-', '-', '\0', ':'};  // '\0': any character
    int field[5] = {0, 0, 0, 0, 0};
    size_t count = 0;
    while (count < 5) {
        const auto n = replytext::scanInt(text);
        if (!n) break;
        field[count++] = *n;
        if (count == 5 || text.empty() || (kAfter[count - 1] && text.front() != kAfter[count - 1])) break;
        text.remove_prefix(1);
    }
    int64_t at = 0;
    if (count < 3 || !utcSecondsOf(field[0], field[1], field[2], field[3], field[4], 0, at)) return std::nullopt;
    return at;
}

// Element [2] of a grid entry [longitude, latitude, probability] when the
// entry is that cell's.
std::optional<double> cellValue(const json& entry, int lon, int lat) {
    if (!entry.is_array() || entry.size() < 3 || !entry[2].is_number()) return std::nullopt;
    if (truncatedInt(entry[0]) != lon || truncatedInt(entry[1]) != lat) return std::nullopt;
    return entry[2].get<double>();
}

double auroraProbIn(const json& grid, double latitude, double longitude) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) return -1;
    const json* coords = member(grid, "coordinates");
    if (!coords || !coords->is_array()) return -1;

    // Whole-degree cell; a longitude of 359.5 and above wraps to 0.
    double lon = std::fmod(longitude, 360.0);
    if (lon < 0) lon += 360.0;
    const int L = static_cast<int>(std::round(lon)) % 360;
    const int A = static_cast<int>(std::round(std::clamp(latitude, -90.0, 90.0)));

    const size_t index = static_cast<size_t>(L) * kGridLatitudes + static_cast<size_t>(A + 90);
    if (coords->size() > index)
        if (const auto v = cellValue((*coords)[index], L, A)) return *v;
    // Another layout: find the cell by its coordinates.
    for (const json& entry : *coords)
        if (const auto v = cellValue(entry, L, A)) return *v;
    return -1;
}

std::string utcNowText() {
    const int64_t now = source::unixNow();
    const int64_t sec = ((now % 86400) + 86400) % 86400;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%sT%02d:%02d:%02d", utcDateOf(now).c_str(), static_cast<int>(sec / 3600),
                  static_cast<int>(sec / 60 % 60), static_cast<int>(sec % 60));
    return buf;
}

}  // namespace

// ---- Planetary K index ---------------------------------------------------------------

double WeatherService::fetchKpIndex() {
    {
        std::lock_guard<std::mutex> lock(kpMutex);
        if (kpValue >= 0 && secondsSince(kpStamp) < kKpReuseSeconds) return kpValue;
    }
    double value = parseKpTable(httpGet(serviceBase(service::Swpc) + "/products/noaa-planetary-k-index.json"));
    if (!(value >= 0)) {
        value = parseGfzKp(httpGet(serviceBase(service::Gfz) + "/app/json/?start=" +
                                   kpFallbackStart(source::unixNow()) + "&end=2100-01-01T00:00:00Z&index=Kp"));
    }
    if (!(value >= 0)) return -1;
    std::lock_guard<std::mutex> lock(kpMutex);
    kpValue = value;
    kpStamp = std::chrono::steady_clock::now();
    return value;
}

double WeatherService::parseKpTable(const std::string& body) {
    if (body.empty()) return -1;
    const json j = json::parse(body, nullptr, false);
    // A header row alone is no value; rows of objects (another form of the
    // product) are not read.
    if (!j.is_array() || j.size() < 2) return -1;
    const json& last = j.back();
    if (!last.is_array() || last.size() < 2 || !last[1].is_string()) return -1;
    const auto v = source::leadingNumber(last[1].get_ref<const std::string&>());
    return v && *v >= 0 ? *v : -1;
}

double WeatherService::parseGfzKp(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    const json* kp = member(j, "Kp");
    if (!kp || !kp->is_array() || kp->empty() || !kp->back().is_number()) return -1;
    const double v = kp->back().get<double>();
    return v >= 0 ? v : -1;
}

std::string WeatherService::kpFallbackStart(int64_t now) { return utcDateOf(now - 86400) + "T00:00:00Z"; }

// ---- Aurora outlook --------------------------------------------------------------------

void WeatherService::fetchAurora(const GeoLocation& loc, WeatherData& data) {
    std::string grid;
    double forecastMax = -1;
    {
        std::lock_guard<std::mutex> lock(auroraMutex);
        if (!ovationBody.empty() && secondsSince(ovationStamp) < kGridReuseSeconds) grid = ovationBody;
        if (kpForecastMax >= 0 && secondsSince(kpForecastStamp) < kKpForecastReuseSeconds)
            forecastMax = kpForecastMax;
    }

    // The grid is large: parsed once per call, and kept only when it parses
    // (a portal's web page must not stand in for it for 20 minutes).
    json parsed;
    if (grid.empty()) {
        std::string body = httpGet(serviceBase(service::Swpc) + "/json/ovation_aurora_latest.json");
        if (!body.empty()) {
            parsed = json::parse(body, nullptr, false);
            if (member(parsed, "coordinates")) {
                std::lock_guard<std::mutex> lock(auroraMutex);
                ovationBody = std::move(body);
                ovationStamp = std::chrono::steady_clock::now();
            }
        }
    } else {
        parsed = json::parse(grid, nullptr, false);
    }

    if (forecastMax < 0) {
        const std::string body =
            httpGet(serviceBase(service::Swpc) + "/products/noaa-planetary-k-index-forecast.json");
        if (!body.empty()) {
            forecastMax = parseKpForecastMax(body, utcNowText());
            if (forecastMax >= 0) {
                std::lock_guard<std::mutex> lock(auroraMutex);
                kpForecastMax = forecastMax;
                kpForecastStamp = std::chrono::steady_clock::now();
            }
        }
    }

    const double p = auroraProbIn(parsed, loc.latitude, loc.longitude);
    if (p >= 0) {
        data.hasAurora = true;
        data.auroraProbability = p;
    }
    data.kpForecastMax = forecastMax;
}

double WeatherService::parseAuroraProb(const std::string& document, double latitude, double longitude) {
    return auroraProbIn(json::parse(document, nullptr, false), latitude, longitude);
}

double WeatherService::parseKpForecastMax(const std::string& document, const std::string& now) {
    const json j = json::parse(document, nullptr, false);
    if (!j.is_array()) return -1;
    double maximum = -1;
    int counted = 0;
    for (const json& row : j) {
        if (!row.is_object()) continue;
        const auto observed = source::text(row, "observed");
        const auto tag = source::text(row, "time_tag");
        if (!observed || !tag || *observed == "observed") continue;
        if (tag->empty() || *tag < now) continue;  // the period began before now
        const auto kp = source::number(row, "kp");
        if (!kp) continue;
        ++counted;
        maximum = std::max(maximum, *kp);
        if (counted == kKpForecastRows) break;
    }
    return maximum;
}

// ---- Solar activity ----------------------------------------------------------------------

void WeatherService::fetchSolarActivity(WeatherData& data) {
    SolarActivity solar;
    parseSolarFlares(httpGet(serviceBase(service::Swpc) + "/json/goes/primary/xray-flares-7-day.json"),
                     source::unixNow(), solar);
    const double flux = parseRadioFlux(httpGet(serviceBase(service::Swpc) + "/products/summary/10cm-flux.json"));
    if (flux > 0) {
        solar.radioFlux = flux;
        solar.valid = true;
    }
    data.solar = solar;
}

void WeatherService::parseSolarFlares(const std::string& body, int64_t now, SolarActivity& out) {
    if (body.empty()) return;
    const json j = json::parse(body, nullptr, false);
    if (!j.is_array()) return;

    // The newest strong flare: walk back from the end of the list.
    for (auto it = j.rbegin(); it != j.rend(); ++it) {
        if (!it->is_object()) continue;
        std::string cls = source::textOr(*it, "max_class");
        if (cls.empty()) cls = source::textOr(*it, "current_class");
        if (cls.empty() || (cls[0] != 'M' && cls[0] != 'X')) continue;

        std::string when = source::textOr(*it, "max_time");
        if (when.empty()) when = source::textOr(*it, "begin_time");
        if (when.empty()) when = source::textOr(*it, "time_tag");
        double hoursAgo = -1;
        if (auto at = flareTime(when)) {
            // The list's times are UTC; a numeric offset, where one is given,
            // is taken off.
            *at -= isoZoneOffset(when).value_or(0);
            if (*at > 0) hoursAgo = static_cast<double>(now - *at) / 3600.0;
        }
        out.flareClass = cls;
        out.flareHoursAgo = hoursAgo;
        out.valid = true;
        return;
    }
}

double WeatherService::parseRadioFlux(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    const json* flux = member(j, "Flux");
    if (!flux) return -1;
    std::optional<double> v;
    if (flux->is_number()) v = flux->get<double>();
    else if (flux->is_string()) v = source::leadingNumber(flux->get_ref<const std::string&>());
    return v && *v > 0 ? *v : -1;
}

}  // namespace nbr
