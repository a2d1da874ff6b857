// Spherical Web Mercator on 256-pixel tiles, and the tile arithmetic of the
// radar map: which tiles a view covers, which to download, how a coarser tile
// stands in for a missing one, and the order in which frames are fetched.
#pragma once

#include <string>
#include <vector>

namespace nbr::maptiles {

constexpr int kTileSize = 256;
constexpr int kMinZoom = 3;
constexpr int kMaxZoom = 12;
// The radar service is asked for no finer tiles than this.
constexpr int kMaxTileZoom = 7;

// Width and height of the world in pixels at `zoom`: 256 x 2^zoom.
double worldSize(int zoom);
// Degrees to world pixels at `zoom`, and back.
double lonToX(double lon, int zoom);
double latToY(double lat, int zoom);
double xToLon(double x, int zoom);
double yToLat(double y, int zoom);

// An inclusive range of tile columns and rows; empty when x0 > x1 or y0 > y1.
struct TileRange {
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    bool empty() const { return x0 > x1 || y0 > y1; }
    bool operator==(const TileRange&) const = default;
};

// Tiles at the view's zoom that a canvas of the given size shows with the
// world pixel (centerX, centerY) in its middle.
TileRange visibleTiles(double centerX, double centerY, double width, double height);

// The zoom of the tiles downloaded for a view at `zoom`, and the range of
// those tiles that covers `visible` (arithmetic shifts).
int fetchZoom(int zoom);
TileRange fetchRange(const TileRange& visible, int zoom);
// Whether a tile exists at zoom z: 0 <= x, y < 2^z.
bool tileExists(int z, int x, int y);

// The frames to fetch: the current one (0 when out of range) and, while
// playing with more than one frame, all the others in showing order.
std::vector<int> wantedFrames(int frameIndex, int frameCount, bool playing);

// Index after stepping `delta` (+1 or -1) through `count` frames, wrapping.
int stepFrame(int index, int count, int delta);

// The part of a coarser tile (at zoom z) that covers tile (x, y) at `zoom`:
// the coarser tile's column and row and texture coordinates.
struct TilePart {
    int x = 0, y = 0;
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
};
TilePart coarserPart(int zoom, int x, int y, int z);

// Whether a texture of tile (z, x, y) survives a trim of the tile set while
// the view at `zoom` shows `visible`: its zoom is not finer than the view's
// and it lies within the visible range, taken to its zoom, widened by 2.
bool keepOnTrim(int z, int x, int y, int zoom, const TileRange& visible);

// Sixteen-point compass name of a direction in degrees ("N", "NNE", ...).
std::string windCompass(double degrees);

}  // namespace nbr::maptiles
