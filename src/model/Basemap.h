// The map outlines under the radar: lines (coasts, borders, counties, roads)
// and named places, read from GeoJSON text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nbr::basemap {

// One line in degrees, its bounding box, and its vertices projected to world
// pixels at the zoom last projected for.
struct Polyline {
    std::vector<std::pair<float, float>> points;  // (lon, lat), at least 2
    std::vector<float> px, py;
    float minLon = 1e9f, maxLon = -1e9f, minLat = 1e9f, maxLat = -1e9f;
};

struct Place {
    float lon = 0, lat = 0;
    float px = 0, py = 0;
    int scalerank = 10;
    std::string name;
};

// Appends the LineString and MultiLineString features of a FeatureCollection
// text to `out`; a line is cut in two where neighbouring positions lie more
// than 180 degrees of longitude apart (across the 180th meridian), and lines
// with fewer than 2 positions are left out. Text that is not JSON adds
// nothing; a member of the wrong type ends the reading there.
void readLines(std::string_view text, std::vector<Polyline>& out);

// Appends the Point features with their "scalerank" (default 10) and name
// ("nameascii", else "name"); the first feature of another shape ends the
// reading, keeping the places before it.
void readPlaces(std::string_view text, std::vector<Place>& out);

}  // namespace nbr::basemap
