#include "model/RadarFrames.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>

namespace nbr::radar {

namespace {

using nlohmann::json;

// A whole number of seconds; fractions are cut and values beyond the 64-bit
// range are held at its ends. None when the time is missing or null.
std::optional<std::int64_t> readTime(const json& e) {
    const auto it = e.find("time");
    if (it == e.end() || it->is_null()) return std::nullopt;
    if (it->is_number_float()) {
        const double d = it->get<double>();
        if (!(d == d)) return 0;
        if (d >= 9.2e18) return INT64_MAX;
        if (d <= -9.2e18) return INT64_MIN;
        return static_cast<std::int64_t>(d);
    }
    if (it->is_number_unsigned())
        return static_cast<std::int64_t>(std::min<std::uint64_t>(it->get<std::uint64_t>(), INT64_MAX));
    return it->get<std::int64_t>();
}

void readFrames(const json& radar, const char* key, bool nowcast, std::vector<Frame>& out) {
    const auto it = radar.find(key);
    if (it == radar.end()) return;
    for (const json& e : it->get_ref<const json::array_t&>()) {
        // A frame without its path or time (missing or null) is left out;
        // the others stand.
        if (e.is_null()) continue;
        if (!e.is_object()) throw json::type_error::create(302, "a frame is not an object", &e);
        const auto path = e.find("path");
        if (path == e.end() || path->is_null()) continue;
        Frame f;
        f.path = path->get<std::string>();
        const std::optional<std::int64_t> time = readTime(e);
        if (!time || f.path.empty()) continue;
        f.time = *time;
        f.nowcast = nowcast;
        out.push_back(std::move(f));
    }
}

}  // namespace

std::optional<FrameList> parseFrameList(std::string_view body) {
    try {
        const json doc = json::parse(body);
        FrameList list;
        list.host = doc.value("host", std::string());
        const auto radar = doc.find("radar");
        if (radar != doc.end()) {
            readFrames(*radar, "past", false, list.frames);
            list.pastCount = static_cast<int>(list.frames.size());
            readFrames(*radar, "nowcast", true, list.frames);
        }
        return list;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

bool frameListChanged(const std::string& host, const std::vector<Frame>& frames, const FrameList& next) {
    if (host != next.host || frames.size() != next.frames.size()) return true;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].path != next.frames[i].path) return true;
    return false;
}

int chooseFrameIndex(bool& chosen, int index, int pastCount, int count) {
    if (!chosen) {
        chosen = true;
        index = pastCount > 0 ? pastCount - 1 : count - 1;
    }
    return std::max(0, std::min(index, count - 1));
}

std::string tileUrl(const std::string& host, const std::string& path, int z, int x, int y,
                    const std::string& allowedHttpBase) {
    const bool https = host.rfind("https://", 0) == 0;
    const bool local = !allowedHttpBase.empty() && host.rfind(allowedHttpBase, 0) == 0;
    if (!https && !local) return {};
    return host + path + "/256/" + std::to_string(z) + "/" + std::to_string(x) + "/" + std::to_string(y) +
           "/4/1_1.png";
}

}  // namespace nbr::radar
