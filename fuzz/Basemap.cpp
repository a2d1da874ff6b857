// The radar map's outline and place files (GeoJSON).
#include "FuzzSupport.h"
#include "model/Basemap.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = nbr::fuzz::text(data, size);
    std::vector<nbr::basemap::Polyline> lines;
    nbr::basemap::readLines(text, lines);
    for (const auto& l : lines) {
        if (l.points.size() < 2 || l.minLon > l.maxLon || l.minLat > l.maxLat) __builtin_trap();
        for (size_t i = 1; i < l.points.size(); ++i)  // no step joins the two sides of the map
            if (std::fabs(l.points[i].first - l.points[i - 1].first) > 180) __builtin_trap();
    }
    std::vector<nbr::basemap::Place> places;
    nbr::basemap::readPlaces(text, places);
    for (const auto& p : places)
        if (!std::isfinite(p.lon) || !std::isfinite(p.lat)) __builtin_trap();
    return 0;
}
