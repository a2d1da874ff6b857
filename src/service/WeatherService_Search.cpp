// Place search on the geocoding service.
#include "service/WeatherService.h"

#include "service/ServiceHosts.h"

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <climits>
#include <optional>

namespace nbr {

using nlohmann::json;

namespace {

// Percent-encodes every byte except ASCII letters, digits and "-._~".
std::string escapeQuery(const std::string& text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    CURL* h = curl_easy_init();
    if (!h) return {};
    std::string out;
    if (char* esc = curl_easy_escape(h, text.data(), static_cast<int>(text.size()))) {
        out = esc;
        curl_free(esc);
    }
    curl_easy_cleanup(h);
    return out;
}

}  // namespace

std::optional<std::vector<GeoLocation>> WeatherService::searchPlaces(const std::string& query) {
    const std::string escaped = escapeQuery(query);
    if (escaped.empty()) return std::vector<GeoLocation>{};
    const std::string body =
        httpGet(serviceBase(service::Geocoding) + "/v1/search?name=" + escaped + "&count=5&language=en&format=json");
    if (body.empty()) return std::nullopt;
    try {
        return parseGeocodeResponse(body);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<GeoLocation> WeatherService::geocode(const std::string& query) {
    return searchPlaces(query).value_or(std::vector<GeoLocation>{});
}

std::vector<GeoLocation> WeatherService::parseGeocodeResponse(const std::string& body) {
    const json root = json::parse(body);
    std::vector<GeoLocation> places;
    if (!root.is_object()) return places;
    auto it = root.find("results");
    if (it == root.end() || it->is_null()) return places;
    if (!it->is_array() && !it->is_object())
        throw json::type_error::create(302, "results has the wrong type", &*it);
    for (const json& r : *it) {
        if (r.is_null()) continue;  // an unknown result: the others stand
        if (!r.is_object()) throw json::type_error::create(302, "a result is not an object", &r);
        // A null member counts as absent; one of another type throws.
        const auto present = [&r](const char* key) {
            const auto m = r.find(key);
            return m != r.end() && !m->is_null() ? &*m : nullptr;
        };
        const auto text = [&](const char* key) {
            const json* m = present(key);
            return m ? m->get<std::string>() : std::string();
        };
        const auto number = [&](const char* key) {
            const json* m = present(key);
            return m ? std::optional<double>(m->get<double>()) : std::nullopt;
        };
        GeoLocation g;
        g.name = text("name");
        g.country = text("country_code");
        g.admin1 = text("admin1");
        g.timezone = text("timezone");
        const std::optional<double> latitude = number("latitude"), longitude = number("longitude");
        // A result without coordinates, or that is no place on Earth, cannot
        // be shown or asked about.
        if (!latitude || !longitude || !coordinatesInRange(*latitude, *longitude)) continue;
        g.latitude = *latitude;
        g.longitude = *longitude;
        places.push_back(std::move(g));
    }
    return places;
}

}  // namespace nbr
