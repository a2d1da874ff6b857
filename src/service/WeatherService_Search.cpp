// Place search on the geocoding service.
#include "service/WeatherService.h"

#include "service/ServiceHosts.h"

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <climits>

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
        GeoLocation g;
        g.name = r.value("name", std::string());
        g.country = r.value("country_code", std::string());
        g.admin1 = r.value("admin1", std::string());
        g.latitude = r.value("latitude", 0.0);
        g.longitude = r.value("longitude", 0.0);
        g.timezone = r.value("timezone", std::string());
        // A result that is no place on Earth cannot be shown or asked about.
        if (coordinatesInRange(g.latitude, g.longitude)) places.push_back(std::move(g));
    }
    return places;
}

}  // namespace nbr
