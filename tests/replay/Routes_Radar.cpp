#include "replay/Routes_Radar.h"
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace nbr::replay::radar {

namespace {

using nlohmann::json;

constexpr std::int64_t kStep = 600;
constexpr int kTile = 256;

double tileLon(double x, int z) { return x / (kTile * std::ldexp(1.0, z)) * 360.0 - 180.0; }
double tileLat(double y, int z) {
    const double pi = std::numbers::pi;
    return std::atan(std::sinh(pi * (1.0 - 2.0 * y / (kTile * std::ldexp(1.0, z))))) * 180.0 / pi;
}

// Rain intensity 0..1 at a place and frame: bands that drift east.
double rain(double lon, double lat, std::int64_t time) {
    const double t = static_cast<double>(time / kStep % 1000);
    const double a = std::sin(lon * 0.55 - t * 0.35) * std::cos(lat * 0.8 + lon * 0.2);
    const double b = std::sin(lat * 1.7 - lon * 0.4 + t * 0.2);
    return std::clamp((a * 0.7 + b * 0.3 - 0.15) / 0.85, 0.0, 1.0);
}

void pixel(unsigned char* p, double v) {
    if (v <= 0.05) {
        p[0] = p[1] = p[2] = p[3] = 0;
        return;
    }
    // Green for light rain, yellow, then red for heavy rain.
    static const unsigned char ramp[4][3] = {{40, 180, 60}, {30, 140, 40}, {230, 210, 40}, {220, 50, 40}};
    const double s = std::min(v, 0.999) * 3;
    const int i = static_cast<int>(s);
    const double f = s - i;
    for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(ramp[i][c] * (1 - f) + ramp[i + 1][c] * f);
    p[3] = static_cast<unsigned char>(140 + 100 * v);
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* p = static_cast<const unsigned char*>(data);
    out->insert(out->end(), p, p + size);
}

}  // namespace

// A whole decimal number filling the text.
bool parseInt(const std::string& s, long long& v);
bool parseInt(const std::string& s, long long& v) {
    if (s.empty() || s.size() > 18) return false;
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return end && *end == '\0';
}

std::string framePath(std::int64_t time, bool nowcast) {
    return (nowcast ? "/v2/radar/nowcast/" : "/v2/radar/") + std::to_string(time);
}

std::string frameList(const std::string& host, std::int64_t now) {
    const std::int64_t last = now / kStep * kStep;
    json past = json::array(), nowcast = json::array();
    for (int i = kPastFrames - 1; i >= 0; --i) {
        const std::int64_t t = last - i * kStep;
        past.push_back({{"time", t}, {"path", framePath(t, false)}});
    }
    for (int i = 1; i <= kNowcastFrames; ++i) {
        const std::int64_t t = last + i * kStep;
        nowcast.push_back({{"time", t}, {"path", framePath(t, true)}});
    }
    const json doc = {{"version", "2.0"},
                      {"generated", now},
                      {"host", host},
                      {"radar", {{"past", past}, {"nowcast", nowcast}}},
                      {"satellite", {{"infrared", json::array()}}}};
    return doc.dump();
}

int frameTag(std::int64_t time) { return static_cast<int>(time / kStep % 256); }

std::vector<unsigned char> tilePng(std::int64_t time, int z, int x, int y) {
    std::vector<unsigned char> rgba(static_cast<size_t>(kTile) * kTile * 4);
    for (int py = 0; py < kTile; ++py) {
        const double lat = tileLat(static_cast<double>(y) * kTile + py + 0.5, z);
        for (int px = 0; px < kTile; ++px) {
            const double lon = tileLon(static_cast<double>(x) * kTile + px + 0.5, z);
            pixel(&rgba[(static_cast<size_t>(py) * kTile + px) * 4], rain(lon, lat, time));
        }
    }
    const unsigned char mark[8] = {static_cast<unsigned char>(z),        static_cast<unsigned char>(x & 255),
                                   static_cast<unsigned char>(y & 255),  255,
                                   static_cast<unsigned char>(x >> 8),   static_cast<unsigned char>(y >> 8),
                                   static_cast<unsigned char>(frameTag(time)), 255};
    std::copy(mark, mark + 8, rgba.begin());
    std::vector<unsigned char> png;
    stbi_write_png_to_func(appendBytes, &png, kTile, kTile, 4, rgba.data(), kTile * 4);
    return png;
}

TileMark readMark(const unsigned char* p) {
    return {p[0], p[1] | p[4] << 8, p[2] | p[5] << 8, p[6]};
}

}  // namespace nbr::replay::radar

namespace nbr::replay {

NIMBREL_REPLAY_ROUTES(rainviewer) {
    server.route("rainviewer", "/public/weather-maps.json", [](ReplayServer& s, const Request&) {
        const auto now = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::system_clock::now().time_since_epoch());
        return Reply::json(radar::frameList(s.base() + "/rainviewer", now.count()));
    });
    // <frame path>/256/<z>/<x>/<y>/4/1_1.png
    server.route("rainviewer", "/v2/radar/*/256/*/*/*/4/1_1.png", [](ReplayServer&, const Request& r) {
        const std::string prefix = "/v2/radar/";
        const size_t tail = r.path.rfind("/256/");
        std::string frame = r.path.substr(prefix.size(), tail - prefix.size());
        if (frame.rfind("nowcast/", 0) == 0) frame = frame.substr(8);
        std::vector<std::string> parts;
        size_t pos = tail + 5;
        for (int i = 0; i < 3; ++i) {
            const size_t slash = r.path.find('/', pos);
            parts.push_back(r.path.substr(pos, slash - pos));
            pos = slash + 1;
        }
        long long time = 0, z = 0, x = 0, y = 0;
        if (!radar::parseInt(frame, time) || !radar::parseInt(parts[0], z) || !radar::parseInt(parts[1], x) ||
            !radar::parseInt(parts[2], y) ||
            z < 0 || z > 20 || x < 0 || y < 0 || x >= (1LL << z) || y >= (1LL << z))
            return Reply::notFound();
        const std::vector<unsigned char> png = radar::tilePng(time, int(z), int(x), int(y));
        return Reply::text(std::string(png.begin(), png.end()), "image/png");
    });
}

}  // namespace nbr::replay
