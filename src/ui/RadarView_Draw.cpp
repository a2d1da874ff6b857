// The radar window: play and frame controls with the frame's time, and the
// map canvas with tiles, outlines, places, crosshair, wind badge and captions.
#include "ui/RadarView.h"

#include "ui/Theme.h"
#include "ui/UIDraw.h"
#include "ui/Units.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

namespace nbr {

namespace {

constexpr size_t kUploadsPerFrame = 16;
constexpr float kStepSeconds = 0.6f;
// First opening: the window's size where it fits and its gap to the main
// window's edges.
constexpr float kOpenW = 720, kOpenH = 660, kMargin = 8;

ImU32 rgba(int r, int g, int b, float a = 1.0f) {
    return ImGui::ColorConvertFloat4ToU32(ImVec4(r / 255.0f, g / 255.0f, b / 255.0f, a));
}
ImU32 color(const ImVec4& c) { return ImGui::ColorConvertFloat4ToU32(c); }

const ImVec4& toneColor(RadarTimeLabel::Tone t) {
    switch (t) {
        case RadarTimeLabel::Live: return theme::Live;
        case RadarTimeLabel::Amber: return theme::Amber;
        default: return theme::Fg;
    }
}

// A layer of outlines and when it shows.
struct LineLayer {
    const std::vector<basemap::Polyline>* lines;
    int aboveZoom;  // drawn when the zoom is above this
    ImU32 color;
    float width;
};

// Degrees of the visible tile range's outer edges.
struct Bounds {
    double west, east, north, south;
};

void drawLines(ImDrawList* dl, const LineLayer& layer, const Bounds& b, ImVec2 origin, ImVec2 cmin,
               ImVec2 cmax) {
    for (const basemap::Polyline& line : *layer.lines) {
        if (line.maxLon < b.west || line.minLon > b.east || line.minLat > b.north || line.maxLat < b.south)
            continue;
        for (size_t i = 1; i < line.px.size(); ++i) {
            const ImVec2 a(origin.x + line.px[i - 1], origin.y + line.py[i - 1]);
            const ImVec2 c(origin.x + line.px[i], origin.y + line.py[i]);
            if ((a.x < cmin.x && c.x < cmin.x) || (a.x > cmax.x && c.x > cmax.x) ||
                (a.y < cmin.y && c.y < cmin.y) || (a.y > cmax.y && c.y > cmax.y))
                continue;
            dl->AddLine(a, c, layer.color, layer.width);
        }
    }
}

}  // namespace

RadarTimeLabel radarTimeLabel(std::int64_t t, bool nowcast, std::int64_t now, const PlaceClock& clock, bool use24) {
    RadarTimeLabel label;
    if (t <= 0) {
        label.tone = nowcast ? RadarTimeLabel::Amber : RadarTimeLabel::Live;
        if (nowcast) label.text = "forecast";
        return label;
    }
    const long long m = (t - now) / 60;
    const int minute = clock.minuteOfDay(t);
    // A place whose clock is not known yet: its frames in UTC, and said so.
    const std::string clockText = clockHM(minute / 60, minute % 60, use24) + (clock.known() ? "" : " UTC");
    char rel[48];
    if (m >= -2 && m <= 2) std::snprintf(rel, sizeof rel, "now");
    else if (m < 0) std::snprintf(rel, sizeof rel, "-%lld min", -m);
    else std::snprintf(rel, sizeof rel, "+%lld min%s", m, nowcast ? " forecast" : "");
    label.text = clockText + "  (" + rel + ")";
    label.tone = nowcast ? RadarTimeLabel::Amber : (m >= -2 && m <= 2 ? RadarTimeLabel::Live : RadarTimeLabel::Fg);
    return label;
}

std::string radarWindCaption(double direction, double speedKmh, double gustKmh, bool imperial) {
    const double f = imperial ? 0.621371 : 1.0;
    const char* unit = imperial ? "mph" : "km/h";
    const double speed = speedKmh * f, gust = gustKmh * f;
    const std::string name = maptiles::windCompass(direction);
    char buf[96];
    if (gust > speed + 5) std::snprintf(buf, sizeof buf, "%s %.0f g%.0f %s", name.c_str(), speed, gust, unit);
    else std::snprintf(buf, sizeof buf, "%s %.0f %s", name.c_str(), speed, unit);
    return buf;
}

void RadarView::render() {
    if (!open) return;
    bool keepOpen = true;
    // Opened below the button that asked for it, inside the main window, and
    // never larger than it.
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    const float bottom = vp->Pos.y + vp->Size.y - kMargin;
    const float top = bottom - openBelow - kMargin >= kLeastSize.y ? openBelow + kMargin : vp->Pos.y + kMargin;
    ImGui::SetNextWindowPos(ImVec2(vp->Pos.x + kMargin, top), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(std::min(kOpenW, vp->Size.x - 2 * kMargin), std::min(kOpenH, bottom - top)),
                             ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0), vp->Size);
    if (!ImGui::Begin("Weather Radar", &keepOpen)) {
        ImGui::End();
        if (!keepOpen) close();
        return;
    }

    struct FrameInfo {
        std::int64_t time;
        bool nowcast;
    };
    std::vector<FrameInfo> info;
    int n = 0;
    bool noHost = true;
    double lat = 0, lon = 0;
    int z = 5;
    int index = 0;
    bool play = false;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        info.reserve(frames.size());
        for (const Frame& f : frames) info.push_back({f.time, f.nowcast});
        n = static_cast<int>(frames.size());
        noHost = host.empty();
        lat = centerLat;
        lon = centerLon;
        z = zoom;
        if (n > 0 && !frameIndexSet) {
            frameIndexSet = true;
            frameIndex = pastCount > 0 ? pastCount - 1 : n - 1;
        }
        if (n > 0) frameIndex = std::clamp(frameIndex, 0, n - 1);
        index = frameIndex;
        play = playing;
    }

    // Only the textures: the queue already holds the new list's keys.
    if (flushTiles.exchange(false)) {
        for (auto& [key, texture] : tiles) freeTexture(texture);
        if (!tiles.empty()) ++textureChanges;
        tiles.clear();
    }
    uploadFetched(kUploadsPerFrame);

    // Controls row.
    const int shownIndex = index;
    if (draw::button(play ? "Pause" : "Play")) play = !play;
    ImGui::SameLine();
    if (draw::button("<") && n > 0) index = maptiles::stepFrame(index, n, -1);
    ImGui::SameLine();
    if (draw::button(">") && n > 0) index = maptiles::stepFrame(index, n, +1);
    ImGui::SameLine();
    if (n > 0) {
        const FrameInfo& f = info[static_cast<size_t>(index)];
        const RadarTimeLabel label =
            radarTimeLabel(f.time, f.nowcast, static_cast<std::int64_t>(std::time(nullptr)), placeClock, use24);
        ImGui::TextColored(toneColor(label.tone), "%s", label.text.c_str());
        char fmt[32];
        std::snprintf(fmt, sizeof fmt, "%d / %d", index + 1, n);
        ImGui::SetNextItemWidth(-FLT_MIN);
        ImGui::SliderInt("##frame", &index, 0, n - 1, fmt);
        index = std::clamp(index, 0, n - 1);
    } else {
        ImGui::TextDisabled("%s", noHost ? "loading..." : "");
    }

    // Canvas.
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    const float canvasW = std::max(avail.x, 1.0f);
    // The attribution below it wraps in a narrow window.
    const char* attribution = "Radar (c) RainViewer  -  basemap Natural Earth";
    const float attributionH =
        ImGui::CalcTextSize(attribution, nullptr, false, canvasW).y + ImGui::GetStyle().ItemSpacing.y;
    const float canvasH = std::max(avail.y - attributionH, 160.0f);
    const ImVec2 cmin = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("##radarcanvas", ImVec2(canvasW, canvasH));
    const bool hovered = ImGui::IsItemHovered();
    const bool held = ImGui::IsItemActive();
    const ImVec2 cmax(cmin.x + canvasW, cmin.y + canvasH);
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const theme::MapInks ink = theme::mapInks();
    dl->AddRectFilled(cmin, cmax, color(ink.canvas));
    dl->PushClipRect(cmin, cmax, true);
    // Light text with a dark shadow one pixel right and down; the centre's and
    // the wind's captions on a plate of the canvas's colour, so that neither
    // place names nor rain show through them.
    const ImU32 shadow = ImGui::ColorConvertFloat4ToU32(ImVec4(0, 0, 0, 0.65f));
    const ImU32 plateFill = color(ImVec4(ink.canvas.x, ink.canvas.y, ink.canvas.z, 0.85f));
    auto label = [&](ImVec2 at, const char* text, bool plate = false) {
        if (plate) {
            const ImVec2 size = ImGui::CalcTextSize(text);
            dl->AddRectFilled(ImVec2(at.x - 3, at.y - 1), ImVec2(at.x + size.x + 3, at.y + size.y + 1), plateFill, 3);
        }
        dl->AddText(ImVec2(at.x + 1, at.y + 1), shadow, text);
        dl->AddText(at, color(ink.label), text);
    };

    const double cx = maptiles::lonToX(lon, z), cy = maptiles::latToY(lat, z);
    const ImVec2 mid(cmin.x + canvasW / 2, cmin.y + canvasH / 2);
    // Screen position of world pixel (0, 0).
    const ImVec2 origin(static_cast<float>(mid.x - cx), static_cast<float>(mid.y - cy));
    const maptiles::TileRange vis = maptiles::visibleTiles(cx, cy, canvasW, canvasH);
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        visX0 = vis.x0;
        visX1 = vis.x1;
        visY0 = vis.y0;
        visY1 = vis.y1;
    }
    trimTiles(z, vis);

    const int T = maptiles::kTileSize;
    const Bounds bounds{maptiles::xToLon(double(vis.x0) * T, z), maptiles::xToLon(double(vis.x1 + 1) * T, z),
                        maptiles::yToLat(double(vis.y0) * T, z), maptiles::yToLat(double(vis.y1 + 1) * T, z)};

    if (!noHost && n > 0) {
        for (int x = vis.x0; x <= vis.x1; ++x)
            for (int y = vis.y0; y <= vis.y1; ++y) {
                const ImVec2 p0(origin.x + float(x) * T, origin.y + float(y) * T);
                const ImVec2 p1(p0.x + T, p0.y + T);
                const auto exact = tiles.find({shownIndex, z, x, y});
                if (exact != tiles.end()) {
                    dl->AddImage(reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(exact->second.id)), p0,
                                 p1, ImVec2(0, 0), ImVec2(1, 1), IM_COL32(255, 255, 255, 240));
                    continue;
                }
                for (int cz = z - 1; cz >= maptiles::kMinZoom; --cz) {
                    const maptiles::TilePart part = maptiles::coarserPart(z, x, y, cz);
                    const auto it = tiles.find({shownIndex, cz, part.x, part.y});
                    if (it == tiles.end()) continue;
                    dl->AddImage(reinterpret_cast<ImTextureID>(static_cast<std::uintptr_t>(it->second.id)), p0, p1,
                                 ImVec2(part.u0, part.v0), ImVec2(part.u1, part.v1), IM_COL32(255, 255, 255, 205));
                    break;
                }
            }
    }

    if (basemapLoaded) {
        if (projZoom != z) buildProjection(z);
        const LineLayer layers[] = {{&countyLines, 6, rgba(62, 76, 84), 1.0f},
                                    {&coastLines, -1, rgba(111, 138, 152), 1.0f},
                                    {&countryLines, -1, rgba(166, 194, 208), 1.4f},
                                    {&roadLines, 5, rgba(199, 154, 78, 0.85f), 1.2f}};
        for (const LineLayer& layer : layers)
            if (z > layer.aboveZoom) drawLines(dl, layer, bounds, origin, cmin, cmax);
        for (const Place& p : places) {
            if (p.scalerank > 2 * z - 6 || p.lon < bounds.west || p.lon > bounds.east || p.lat < bounds.south ||
                p.lat > bounds.north)
                continue;
            const ImVec2 at(origin.x + p.px, origin.y + p.py);
            dl->AddCircleFilled(at, 2.5f, color(ink.dot));
            label(ImVec2(at.x + 4, at.y - 6), p.name.c_str());
        }
    }

    // Centre crosshair.
    const ImU32 amber = color(ink.mark);
    dl->AddCircle(mid, 6, amber, 16, 2.0f);
    dl->AddLine(ImVec2(mid.x - 10, mid.y), ImVec2(mid.x + 10, mid.y), amber, 1.5f);
    dl->AddLine(ImVec2(mid.x, mid.y - 10), ImVec2(mid.x, mid.y + 10), amber, 1.5f);

    if (windShown) {
        const ImVec2 c(cmax.x - 42, cmin.y + 42);
        dl->AddCircleFilled(c, 32, rgba(10, 18, 22, 205 / 255.0f), 32);
        dl->AddCircle(c, 26, rgba(111, 138, 152), 32, 1.2f);
        dl->AddText(ImVec2(c.x - 4, c.y - 40), color(ink.note), "N");
        const double a = (windDirection + 180.0) * std::numbers::pi / 180.0;
        const ImVec2 v(static_cast<float>(std::sin(a)), static_cast<float>(-std::cos(a)));
        const ImVec2 tip(c.x + 22 * v.x, c.y + 22 * v.y);
        dl->AddLine(ImVec2(c.x - 18 * v.x, c.y - 18 * v.y), tip, amber, 2.5f);
        for (const double side : {152.0, -152.0}) {
            const double b = a + side * std::numbers::pi / 180.0;
            dl->AddLine(tip, ImVec2(tip.x + 9 * float(std::sin(b)), tip.y - 9 * float(std::cos(b))), amber, 2.5f);
        }
        const std::string caption = radarWindCaption(windDirection, windSpeed, windGust, windImperial);
        const ImVec2 size = ImGui::CalcTextSize(caption.c_str());
        // Centred under the badge as far as the canvas's right edge allows.
        const ImVec2 at(std::max(cmin.x + 6, std::min(c.x - size.x / 2, cmax.x - 6 - size.x)), c.y + 35);
        label(at, caption.c_str(), true);
        draw::noteRect("windCaption", at, ImVec2(at.x + size.x, at.y + size.y));
    }

    char centre[64];
    std::snprintf(centre, sizeof centre, "%.3f, %.3f", lat, lon);
    label(ImVec2(cmin.x + 6, cmin.y + 6), centre, true);
    if (noHost || n == 0)
        dl->AddText(ImVec2(cmin.x + 10, cmin.y + 26), color(ink.note), "Loading radar...");
    else if (z > maptiles::kMaxTileZoom)
        dl->AddText(ImVec2(cmin.x + 6, cmax.y - 18), color(ink.note), "Enlarged - radar detail maxes out here");
    dl->PopClipRect();

    // Panning and zooming.
    const ImGuiIO& io = ImGui::GetIO();
    bool moved = false;
    int newZoom = z;
    if (held && (io.MouseDelta.x != 0 || io.MouseDelta.y != 0)) {
        lon = maptiles::xToLon(cx - io.MouseDelta.x, z);
        lat = std::clamp(maptiles::yToLat(cy - io.MouseDelta.y, z), -85.0, 85.0);
        moved = true;
    }
    if (hovered && io.MouseWheel != 0)
        newZoom = std::clamp(z + (io.MouseWheel > 0 ? 1 : -1), maptiles::kMinZoom, maptiles::kMaxZoom);

    draw::text(attribution, panel::Tone::Dim, true);
    draw::noteItem("attribution");
    ImGui::End();

    // Animation.
    if (play && n > 1) {
        frameTimer += io.DeltaTime;
        if (frameTimer >= kStepSeconds) {
            frameTimer = 0;
            index = (index + 1) % n;
        }
    }
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        if (moved) {
            centerLat = lat;
            centerLon = lon;
        }
        if (newZoom != z) zoom = newZoom;
        playing = play;
        if (n > 0) frameIndex = index;
    }
    if (!keepOpen) close();
}

}  // namespace nbr
