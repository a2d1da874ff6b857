// Official alerts of the national weather services: the US service, Canada's
// alerts collection and Norway's MetAlerts, chosen by the place's country and
// kept for 180 seconds per place.
#include "service/WeatherService.h"

#include "foundation/PlaceTime.h"
#include "model/Utf8.h"
#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace nbr {

using nlohmann::json;

namespace {

constexpr auto kAlertCacheAge = std::chrono::seconds(180);
constexpr size_t kDescriptionBytes = 400;

enum class AlertSource { None, Us, Canada, Norway };

AlertSource sourceFor(const std::string& country) {
    if (country == "US" || country == "United States") return AlertSource::Us;
    // The geocoder gives two-letter codes; the full names are kept as well.
    if (country == "Canada" || country == "CA") return AlertSource::Canada;
    if (country == "Norway" || country == "NO") return AlertSource::Norway;
    return AlertSource::None;
}

// A feature with a member of the wrong type cannot be read; it is skipped.
struct Unreadable {};

// The string member `key` of `o`; nullopt when absent or null.
std::optional<std::string> text(const json& o, const char* key) {
    auto it = o.find(key);
    if (it == o.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw Unreadable{};
    return it->get<std::string>();
}

std::string firstOf(const json& o, const char* key, const char* otherKey, std::string fallback) {
    if (auto v = text(o, key)) return *v;
    if (auto v = text(o, otherKey)) return *v;
    return fallback;
}

std::chrono::system_clock::time_point expiryOf(const std::string& when, const PlaceClock& clock) {
    return when.empty() ? std::chrono::system_clock::time_point{} : parseIsoTime(when, clock);
}

WeatherAlert officialAlert(std::chrono::system_clock::time_point issued) {
    WeatherAlert a;
    a.kind = AlertKind::Official;
    a.official = true;
    a.issued = issued;
    return a;
}

// Reads the features of a Canadian or Norwegian reply (an array's elements
// or an object's member values) with `read`, skipping any it cannot read.
template <typename Read>
std::vector<WeatherAlert> readFeatures(const std::string& body, Read read) {
    std::vector<WeatherAlert> alerts;
    const json root = json::parse(body, nullptr, false);
    if (!root.is_object()) return alerts;
    auto features = root.find("features");
    if (features == root.end() || (!features->is_array() && !features->is_object())) return alerts;
    const auto issued = std::chrono::system_clock::now();
    static const json kEmpty = json::object();
    for (const json& e : *features) {
        if (!e.is_object()) continue;
        auto p = e.find("properties");
        const json& props = p == e.end() || p->is_null() ? kEmpty : *p;
        if (!props.is_object()) continue;
        try {
            WeatherAlert a = officialAlert(issued);
            read(e, props, a);
            a.message = utf8Cut(text(props, "description").value_or(""), kDescriptionBytes);
            a.severity = text(props, "severity").value_or("");
            if (!a.title.empty()) alerts.push_back(std::move(a));
        } catch (const Unreadable&) {
        }
    }
    return alerts;
}

}  // namespace

std::vector<WeatherAlert> WeatherService::fetchOfficialAlerts(const GeoLocation& place) {
    const AlertSource source = sourceFor(place.country);
    if (source == AlertSource::None) return {};
    const std::string key = place.cacheKey();
    {
        std::lock_guard<std::mutex> lock(alertCacheMutex);
        auto it = alertCache.find(key);
        if (it != alertCache.end() && std::chrono::steady_clock::now() - it->second.stamp < kAlertCacheAge)
            return it->second.alerts;
    }

    std::string url;
    if (source == AlertSource::Us) {
        url = serviceBase(service::Nws) + "/alerts/active?status=actual&message_type=alert&point=" +
              formatFixed(place.latitude, 6) + "," + formatFixed(place.longitude, 6);
    } else if (source == AlertSource::Canada) {
        url = serviceBase(service::Eccc) + "/collections/alerts/items?f=json&bbox=" +
              formatFixed(place.longitude - 0.05, 4) + "," + formatFixed(place.latitude - 0.05, 4) + "," +
              formatFixed(place.longitude + 0.05, 4) + "," + formatFixed(place.latitude + 0.05, 4);
    } else {
        url = serviceBase(service::MetNo) + "/weatherapi/metalerts/2.0/current.json?lat=" +
              formatFixed(place.latitude, 4) + "&lon=" + formatFixed(place.longitude, 4);
    }
    const std::string body = httpGet(url);
    std::vector<WeatherAlert> alerts;
    if (!body.empty()) {
        // Times without an offset are read on the place's clock; while the
        // place's zone is not known that clock reads as UTC.
        const PlaceClock clock = placeClock(place);
        if (source == AlertSource::Us) {
            alerts = parseNwsAlerts(body, place.name, clock);
        } else {
            alerts = source == AlertSource::Canada ? parseCanadaAlerts(body, clock) : parseMetAlerts(body, clock);
            for (WeatherAlert& a : alerts) a.location = place.name;
        }
    }
    std::lock_guard<std::mutex> lock(alertCacheMutex);
    alertCache[key] = AlertCacheEntry{std::chrono::steady_clock::now(), alerts};
    return alerts;
}

std::vector<WeatherAlert> WeatherService::parseNwsAlerts(const std::string& body, const std::string& placeName,
                                                         const PlaceClock& clock) {
    std::vector<WeatherAlert> alerts;
    const json root = json::parse(body, nullptr, false);
    if (!root.is_object()) return alerts;
    auto features = root.find("features");
    if (features == root.end() || !features->is_array()) return alerts;
    const auto issued = std::chrono::system_clock::now();
    for (const json& f : *features) {
        if (!f.is_object()) continue;
        auto p = f.find("properties");
        if (p == f.end() || !p->is_object()) continue;
        try {
            WeatherAlert a = officialAlert(issued);
            // The alert's own id first; the feature's id only stands in for
            // a missing one, so an odd outer id cannot cost an alert.
            if (auto id = text(*p, "id")) a.id = *id;
            else a.id = text(f, "id").value_or("");
            a.severity = text(*p, "severity").value_or("");
            a.expires = expiryOf(firstOf(*p, "ends", "expires", ""), clock);
            a.title = text(*p, "event").value_or("Weather Alert");
            a.message = text(*p, "headline").value_or("");
            if (a.message.empty()) a.message = text(*p, "areaDesc").value_or("");
            a.location = placeName;
            alerts.push_back(std::move(a));
        } catch (const Unreadable&) {
        }
    }
    return alerts;
}

std::vector<WeatherAlert> WeatherService::parseCanadaAlerts(const std::string& body, const PlaceClock& clock) {
    return readFeatures(body, [&clock](const json&, const json& props, WeatherAlert& a) {
        a.title = firstOf(props, "headline", "event", "Alert");
        a.id = text(props, "identifier").value_or(a.title);
        a.expires = expiryOf(text(props, "expires").value_or(""), clock);
    });
}

std::vector<WeatherAlert> WeatherService::parseMetAlerts(const std::string& body, const PlaceClock& clock) {
    return readFeatures(body, [&clock](const json& feature, const json& props, WeatherAlert& a) {
        a.title = firstOf(props, "title", "event", "Alert");
        a.id = text(props, "id").value_or(a.title);
        auto when = feature.find("when");
        if (when != feature.end() && when->is_object()) {
            auto interval = when->find("interval");
            if (interval != when->end() && interval->is_array() && interval->size() >= 2 &&
                (*interval)[1].is_string())
                a.expires = expiryOf((*interval)[1].get<std::string>(), clock);
        }
    });
}

}  // namespace nbr
