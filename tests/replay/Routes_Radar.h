// The radar service's stand-in: a frame list of recent and nowcast frames and
// generated PNG tiles. Each tile's first two pixels say which tile and frame
// it is, so a test can tell tiles apart; the rest is a rain pattern that runs
// continuously across tiles and moves from frame to frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nbr::replay::radar {

// Frames of the default list: 13 past frames 10 minutes apart up to the last
// whole 10 minutes before `now`, then 3 nowcast frames.
constexpr int kPastFrames = 13;
constexpr int kNowcastFrames = 3;

// The frame-list document with `host` as the tile host, for the frames
// ending at `now` (Unix seconds).
std::string frameList(const std::string& host, std::int64_t now);
// The path of the frame at `time`.
std::string framePath(std::int64_t time, bool nowcast);

// The PNG of tile (z, x, y) of the frame at `time`.
std::vector<unsigned char> tilePng(std::int64_t time, int z, int x, int y);

// What pixels (0, 0) and (1, 0) of a tile say: its zoom, column and row, and
// its frame's time in 10-minute steps modulo 256.
struct TileMark {
    int z = -1, x = -1, y = -1, frameTag = -1;
    bool operator==(const TileMark&) const = default;
};
TileMark readMark(const unsigned char* rgba);
int frameTag(std::int64_t time);

}  // namespace nbr::replay::radar
