// The map outlines under the radar: read once by the worker, projected on
// the GUI thread whenever the zoom changes.
#include "ui/RadarView.h"

#include "platform/Files.h"

namespace nbr {

namespace {

std::string fileText(const std::string& dir, const char* name) {
    const std::string path = dir.empty() ? resourcePath(name) : dir + "/" + name;
    return platform::readFile(path).value_or(std::string());
}

void project(std::vector<basemap::Polyline>& lines, int zoom) {
    for (basemap::Polyline& line : lines) {
        line.px.resize(line.points.size());
        line.py.resize(line.points.size());
        for (size_t i = 0; i < line.points.size(); ++i) {
            line.px[i] = static_cast<float>(maptiles::lonToX(line.points[i].first, zoom));
            line.py[i] = static_cast<float>(maptiles::latToY(line.points[i].second, zoom));
        }
    }
}

}  // namespace

void RadarView::loadBasemap() {
    if (basemapLoaded) return;
    // Read into locals and kept only when complete: a close during the read
    // (stop set) ends it between two files, and the next opening reads again.
    std::vector<Polyline> coast, country, county, road;
    std::vector<Place> named;
    const struct {
        const char* file;
        std::vector<Polyline>* layer;
    } lineFiles[] = {{"ne_50m_coastline.json", &coast},
                     {"ne_50m_admin1_lines.json", &coast},
                     {"ne_50m_admin0_lines.json", &country},
                     {"ne_10m_counties.json", &county},
                     {"ne_10m_roads.json", &road}};
    for (const auto& f : lineFiles) {
        if (stop) return;
        basemap::readLines(fileText(basemapDir, f.file), *f.layer);
    }
    if (stop) return;
    basemap::readPlaces(fileText(basemapDir, "ne_50m_places.json"), named);
    coastLines = std::move(coast);
    countryLines = std::move(country);
    countyLines = std::move(county);
    roadLines = std::move(road);
    places = std::move(named);
    basemapLoaded = true;
}

void RadarView::buildProjection(int z) {
    for (auto* layer : {&coastLines, &countryLines, &countyLines, &roadLines}) project(*layer, z);
    for (Place& p : places) {
        p.px = static_cast<float>(maptiles::lonToX(p.lon, z));
        p.py = static_cast<float>(maptiles::latToY(p.lat, z));
    }
    projZoom = z;
}

}  // namespace nbr
