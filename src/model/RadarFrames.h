// The radar service's frame list: reading its JSON document, telling whether
// a new list differs from the one in hand, choosing the frame shown, and the
// URL of one tile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nbr::radar {

// One frame: its path prefix on the tile host, whether it is a nowcast
// (forecast) frame, and its time in Unix seconds.
struct Frame {
    std::string path;
    bool nowcast = false;
    std::int64_t time = 0;
};

struct FrameList {
    std::string host;           // tile URLs start with it
    std::vector<Frame> frames;  // past frames in order, then nowcast frames
    int pastCount = 0;
};

// Reads the frame-list document: "host", and "radar" with its "past" and
// "nowcast" arrays of {"path", "time"}; frames without a path or a time
// (missing or null) are left out.
// Nothing when the text is not JSON or a member has the wrong type.
std::optional<FrameList> parseFrameList(std::string_view body);

// Whether `next` changes what the tile keys mean: another host, another
// count, or another path at some position (times do not count).
bool frameListChanged(const std::string& host, const std::vector<Frame>& frames, const FrameList& next);

// The frame shown after a new list of `count` frames arrived: a chosen index
// is kept within the list; else the newest past frame, else the last one.
// `chosen` is set either way.
int chooseFrameIndex(bool& chosen, int index, int pastCount, int count);

// host + path + "/256/<z>/<x>/<y>/4/1_1.png", whatever the lengths; empty
// unless the host is an https URL or starts with `allowedHttpBase` (the
// stand-in server's base, when one is set).
std::string tileUrl(const std::string& host, const std::string& path, int z, int x, int y,
                    const std::string& allowedHttpBase = {});

}  // namespace nbr::radar
