// Nearby station observation: the latest report of the nearest airport
// weather station, from the aviation weather service's METAR data.
#include "service/WeatherService.h"

#include "service/ReplyText.h"
#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

namespace nbr {

using nlohmann::json;

namespace {

constexpr double kStationRangeKm = 80.0;
constexpr double kBoxLatitude = 0.8;
constexpr double kBoxLongitude = 1.1;
constexpr double kKmhPerKnot = 1.852;
constexpr double kKmPerMile = 1.60934;

std::optional<double> number(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
}

}  // namespace

StationObs WeatherService::parseMetar(const std::string& body, double latitude, double longitude) {
    StationObs result;
    const json root = json::parse(body, nullptr, false);
    if (!root.is_array()) return result;
    double best = 1e9;
    for (const json& report : root) {
        if (!report.is_object()) continue;
        // A report without a numeric temperature is no candidate: a station
        // sends several, and a newer one without it must not hide an older
        // one with it.
        const auto lat = number(report, "lat"), lon = number(report, "lon"), temp = number(report, "temp");
        if (!lat || !lon || !temp || !coordinatesInRange(*lat, *lon)) continue;
        const double d = haversineKm(latitude, longitude, *lat, *lon);
        if (!(d < best)) continue;  // on equal distance the earlier report stays

        // Every field anew: nothing carries over from a farther report.
        StationObs obs;
        obs.valid = true;
        const auto id = report.find("icaoId");
        if (id != report.end() && id->is_string()) obs.id = id->get<std::string>();
        obs.distanceKm = d;
        obs.temperature = *temp;
        if (const auto w = number(report, "wspd")) obs.windSpeed = *w * kKmhPerKnot;
        if (const auto g = number(report, "wgst")) obs.windGusts = *g * kKmhPerKnot;
        const auto visib = report.find("visib");
        if (visib != report.end()) {
            // A number of miles, or a text such as "10+" (ten or more).
            if (visib->is_number()) obs.visibilityKm = visib->get<double>() * kKmPerMile;
            else if (visib->is_string())
                if (const auto v = replytext::leadingNumber(visib->get_ref<const std::string&>()))
                    obs.visibilityKm = *v * kKmPerMile;
        }
        result = std::move(obs);
        best = d;
    }
    return result;
}

void WeatherService::fetchStationObs(const GeoLocation& loc, WeatherData& data) {
    const std::string body =
        httpGet(serviceBase(service::Awc) + "/api/data/metar?format=json&bbox=" +
                formatFixed(loc.latitude - kBoxLatitude, 2) + "," + formatFixed(loc.longitude - kBoxLongitude, 2) +
                "," + formatFixed(loc.latitude + kBoxLatitude, 2) + "," +
                formatFixed(loc.longitude + kBoxLongitude, 2));
    if (body.empty()) return;
    const StationObs obs = parseMetar(body, loc.latitude, loc.longitude);
    if (obs.valid && obs.distanceKm <= kStationRangeKm) data.station = obs;
}

}  // namespace nbr
