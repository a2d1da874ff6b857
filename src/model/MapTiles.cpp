#include "model/MapTiles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nbr::maptiles {

double worldSize(int zoom) { return kTileSize * std::ldexp(1.0, zoom); }

double lonToX(double lon, int zoom) { return (lon + 180.0) / 360.0 * worldSize(zoom); }

double latToY(double lat, int zoom) {
    const double pi = std::numbers::pi;
    return (1.0 - std::asinh(std::tan(lat * pi / 180.0)) / pi) / 2.0 * worldSize(zoom);
}

double xToLon(double x, int zoom) { return x / worldSize(zoom) * 360.0 - 180.0; }

double yToLat(double y, int zoom) {
    const double pi = std::numbers::pi;
    return std::atan(std::sinh(pi * (1.0 - 2.0 * y / worldSize(zoom)))) * 180.0 / pi;
}

namespace {
int floorDiv(double v) { return static_cast<int>(std::floor(v / kTileSize)); }
}  // namespace

TileRange visibleTiles(double centerX, double centerY, double width, double height) {
    TileRange r;
    r.x0 = floorDiv(centerX - width / 2);
    r.x1 = floorDiv(centerX + width / 2);
    r.y0 = floorDiv(centerY - height / 2);
    r.y1 = floorDiv(centerY + height / 2);
    return r;
}

int fetchZoom(int zoom) { return std::min(zoom, kMaxTileZoom); }

TileRange fetchRange(const TileRange& visible, int zoom) {
    const int s = zoom - fetchZoom(zoom);
    return {visible.x0 >> s, visible.x1 >> s, visible.y0 >> s, visible.y1 >> s};
}

bool tileExists(int z, int x, int y) {
    if (z < 0 || z > 30) return false;
    const long long n = 1LL << z;
    return x >= 0 && y >= 0 && x < n && y < n;
}

std::vector<int> wantedFrames(int frameIndex, int frameCount, bool playing) {
    std::vector<int> out;
    if (frameCount <= 0) return out;
    const int current = frameIndex >= 0 && frameIndex < frameCount ? frameIndex : 0;
    const int count = playing && frameCount > 1 ? frameCount : 1;
    for (int i = 0; i < count; ++i) out.push_back((current + i) % frameCount);
    return out;
}

int stepFrame(int index, int count, int delta) {
    if (count <= 0) return index;
    return ((index + delta) % count + count) % count;
}

TilePart coarserPart(int zoom, int x, int y, int z) {
    const int d = zoom - z;
    TilePart p;
    p.x = x >> d;
    p.y = y >> d;
    const float span = 1.0f / static_cast<float>(1 << d);
    p.u0 = static_cast<float>(x - (p.x << d)) * span;
    p.v0 = static_cast<float>(y - (p.y << d)) * span;
    p.u1 = p.u0 + span;
    p.v1 = p.v0 + span;
    return p;
}

bool keepOnTrim(int z, int x, int y, int zoom, const TileRange& visible) {
    if (z > zoom) return false;
    const int d = zoom - z;
    return x >= (visible.x0 >> d) - 2 && x <= (visible.x1 >> d) + 2 && y >= (visible.y0 >> d) - 2 &&
           y <= (visible.y1 >> d) + 2;
}

std::string windCompass(double degrees) {
    static const char* const names[16] = {"N",  "NNE", "NE", "ENE", "E",  "ESE", "SE", "SSE",
                                          "S",  "SSW", "SW", "WSW", "W",  "WNW", "NW", "NNW"};
    if (!std::isfinite(degrees)) return names[0];
    const double r = std::fmod(degrees + 11.25, 360.0);
    int i = static_cast<int>(std::floor(r / 22.5));
    if (i < 0) i += 16;
    return names[i % 16];
}

}  // namespace nbr::maptiles
