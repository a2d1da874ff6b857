// Notable earthquakes of the past week near the place: the USGS catalogue,
// completed by the EMSC catalogue's events that USGS does not list.
#include "service/WeatherService.h"

#include "model/Dates.h"
#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nbr {

using nlohmann::json;
using source::member;
using source::object;

namespace {

constexpr int64_t kWeekSeconds = 604800;
constexpr size_t kUsgsKept = 3;
constexpr size_t kQuakesKept = 5;
constexpr double kMinMagnitude = 2.5;
constexpr double kMaxDistanceKm = 500.0;
constexpr double kUnknownDistance = -1;  // an event without a usable position
// Two catalogues' events this close in magnitude and time are one event.
constexpr double kSameMagnitude = 0.5;
constexpr double kSameHours = 0.25;

void keepLargest(std::vector<QuakeEvent>& events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const QuakeEvent& a, const QuakeEvent& b) { return a.magnitude > b.magnitude; });
    if (events.size() > kQuakesKept) events.resize(kQuakesKept);
}

// Seconds since 1970 of an EMSC time text (UTC, or with its own offset).
std::optional<int64_t> emscSeconds(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double sec = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &sec) < 5) return std::nullopt;
    if (!(sec >= 0 && sec < 61)) sec = 0;  // not a clock second; the minute still holds
    int64_t at = 0;
    if (!utcSecondsOf(y, mo, d, h, mi, static_cast<int>(sec), at)) return std::nullopt;
    at -= isoZoneOffset(text).value_or(0);
    if (at < 0) return std::nullopt;
    return at;
}

// An event's place name: "" when null or absent (the event is kept
// unnamed); none when of another type (the event is skipped).
std::optional<std::string> placeName(const json& props, const char* key) {
    const json* m = member(props, key);
    return m && m->is_null() ? std::string() : source::text(props, key);
}

}  // namespace

std::string WeatherService::quakeStartDate(long long now) { return utcDateOf(now - kWeekSeconds); }

void WeatherService::fetchQuakes(const GeoLocation& loc, WeatherData& data) {
    const long long now = source::unixNow();
    const std::string start = quakeStartDate(now);
    const std::string lat = formatFixed(loc.latitude, 4), lon = formatFixed(loc.longitude, 4);

    const std::string usgs = httpGet(serviceBase(service::UsgsQuake) + "/fdsnws/event/1/query?format=geojson" +
                                     "&latitude=" + lat + "&longitude=" + lon +
                                     "&maxradiuskm=500&minmagnitude=2.5&orderby=magnitude&limit=5" +
                                     "&starttime=" + start);
    if (!usgs.empty()) data.quakes = parseQuakes(usgs, loc.latitude, loc.longitude, now);

    const std::string emsc = httpGet(serviceBase(service::Emsc) + "/fdsnws/event/1/query?format=json" + "&lat=" +
                                     lat + "&lon=" + lon + "&maxradius=4.5&minmag=2.5&limit=10&orderby=time" +
                                     "&start=" + start);
    if (!emsc.empty()) mergeQuakes(data.quakes, parseEmscQuakes(emsc, loc.latitude, loc.longitude, now));
}

QuakeInfo WeatherService::parseQuakes(const std::string& body, double lat, double lon, long long now) {
    QuakeInfo info;
    const json j = json::parse(body, nullptr, false);
    const json* features = member(j, "features");
    if (!features || !features->is_array()) return info;
    info.valid = true;

    for (const json& f : *features) {
        if (info.events.size() >= kUsgsKept) break;
        const json* props = object(f, "properties");
        if (!props) continue;
        const auto mag = source::number(*props, "mag");
        const auto time = source::number(*props, "time");  // without one, no "hours ago"
        const auto name = placeName(*props, "place");
        if (!mag || !time || !name) continue;
        QuakeEvent e;
        e.magnitude = *mag;
        e.place = *name;
        e.hoursAgo = (static_cast<double>(now) - *time / 1000.0) / 3600.0;
        e.distanceKm = kUnknownDistance;
        if (const json* geometry = object(f, "geometry")) {
            const json* c = member(*geometry, "coordinates");
            if (c && c->is_array() && c->size() > 1 && (*c)[0].is_number() && (*c)[1].is_number()) {
                const double qlat = (*c)[1].get<double>(), qlon = (*c)[0].get<double>();
                if (!coordinatesInRange(qlat, qlon)) continue;  // no place on Earth: no distance to show
                e.distanceKm = haversineKm(lat, lon, qlat, qlon);
            }
        }
        info.events.push_back(std::move(e));
    }
    return info;
}

QuakeInfo WeatherService::parseEmscQuakes(const std::string& body, double lat, double lon, long long now) {
    QuakeInfo info;
    const json j = json::parse(body, nullptr, false);
    const json* features = member(j, "features");
    if (!features) return info;
    info.valid = true;
    if (!features->is_structured()) return info;

    for (const json& f : *features) {  // array elements or object members
        const json* props = object(f, "properties");
        if (!props) continue;
        const auto mag = source::number(*props, "mag");
        const auto qlat = source::number(*props, "lat");
        const auto qlon = source::number(*props, "lon");
        const auto time = source::text(*props, "time");
        const auto name = placeName(*props, "flynn_region");
        if (!mag || !qlat || !qlon || !time || !name || !coordinatesInRange(*qlat, *qlon)) continue;
        const auto at = emscSeconds(*time);
        if (!at) continue;
        QuakeEvent e;
        e.magnitude = *mag;
        e.place = *name;
        e.distanceKm = haversineKm(lat, lon, *qlat, *qlon);
        e.hoursAgo = static_cast<double>(now - *at) / 3600.0;
        if (e.magnitude >= kMinMagnitude && e.distanceKm <= kMaxDistanceKm) info.events.push_back(std::move(e));
    }
    keepLargest(info.events);
    return info;
}

void WeatherService::mergeQuakes(QuakeInfo& target, const QuakeInfo& other) {
    if (!other.valid) return;
    for (const QuakeEvent& e : other.events) {
        const bool duplicate = std::any_of(target.events.begin(), target.events.end(), [&](const QuakeEvent& d) {
            return std::fabs(d.magnitude - e.magnitude) <= kSameMagnitude &&
                   std::fabs(d.hoursAgo - e.hoursAgo) <= kSameHours;
        });
        if (!duplicate) target.events.push_back(e);
    }
    target.valid = true;
    keepLargest(target.events);
}

}  // namespace nbr
