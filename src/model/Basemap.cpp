#include "model/Basemap.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace nbr::basemap {

namespace {

using nlohmann::json;

// Two neighbouring points further apart than this in longitude lie on either
// side of the 180th meridian (or along a pole): on the map they are not joined.
constexpr float kMaxLonStep = 180;

void readLine(const json& positions, std::vector<Polyline>& out) {
    Polyline line;
    const auto finish = [&] {
        if (line.points.size() >= 2) out.push_back(std::move(line));
        line = Polyline{};
    };
    for (const json& p : positions.get_ref<const json::array_t&>()) {
        if (!p.is_array() || p.size() < 2) continue;
        const float lon = p[0].get<float>();
        const float lat = p[1].get<float>();
        if (!std::isfinite(lon) || !std::isfinite(lat)) continue;  // beyond float range
        if (!line.points.empty() && std::fabs(lon - line.points.back().first) > kMaxLonStep) finish();
        line.points.emplace_back(lon, lat);
        line.minLon = std::min(line.minLon, lon);
        line.maxLon = std::max(line.maxLon, lon);
        line.minLat = std::min(line.minLat, lat);
        line.maxLat = std::max(line.maxLat, lat);
    }
    finish();
}

// A rank held within int range (a fraction is cut).
int readRank(const json& properties) {
    const auto it = properties.find("scalerank");
    if (it == properties.end()) return 10;
    const double v = it->get<double>();
    if (!(v > -1e9 && v < 1e9)) return 10;
    return static_cast<int>(v);
}

}  // namespace

void readLines(std::string_view text, std::vector<Polyline>& out) {
    try {
        const json doc = json::parse(text);
        for (const json& feature : doc.at("features").get_ref<const json::array_t&>()) {
            const auto geometry = feature.find("geometry");
            if (geometry == feature.end() || !geometry->is_object()) continue;
            const std::string type = geometry->value("type", std::string());
            if (type == "LineString") {
                readLine(geometry->at("coordinates"), out);
            } else if (type == "MultiLineString") {
                for (const json& line : geometry->at("coordinates").get_ref<const json::array_t&>())
                    readLine(line, out);
            }
        }
    } catch (const json::exception&) {
        // What was read before the fault stays.
    }
}

void readPlaces(std::string_view text, std::vector<Place>& out) {
    try {
        const json doc = json::parse(text);
        for (const json& feature : doc.at("features").get_ref<const json::array_t&>()) {
            const json& geometry = feature.at("geometry");
            if (geometry.value("type", std::string()) != "Point") continue;
            const json& coordinates = geometry.at("coordinates");
            const json& properties = feature.at("properties");
            Place place;
            place.lon = coordinates.at(0).get<float>();
            place.lat = coordinates.at(1).get<float>();
            if (!std::isfinite(place.lon) || !std::isfinite(place.lat)) break;
            place.scalerank = readRank(properties);
            place.name = properties.contains("nameascii") ? properties.at("nameascii").get<std::string>()
                                                          : properties.value("name", std::string());
            out.push_back(std::move(place));
        }
    } catch (const json::exception&) {
        // The places read before the first malformed feature stay.
    }
}

}  // namespace nbr::basemap
