// Weather icons, moon phases and meteor sprites.
#include "Pictures.h"

#include <cmath>

namespace resgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Palette chosen to read on both the dark and the light theme.
const Color kSunFill = rgb(0xFFC83D), kSunEdge = rgb(0xE08A00), kRay = rgb(0xF5A623);
const Color kMoonFill = rgb(0xF4E3A1), kMoonEdge = rgb(0xB9A45A);
const Color kCloudFill = rgb(0xF2F4F8), kCloudEdge = rgb(0x7A8494);
const Color kGreyFill = rgb(0xC3CAD4), kGreyEdge = rgb(0x5F6978);
const Color kStormFill = rgb(0x8E97A6), kStormEdge = rgb(0x4B5362);
const Color kRain = rgb(0x2F86F6), kIceRain = rgb(0x4FC3F7);
const Color kSnowFill = rgb(0xFFFFFF), kSnowEdge = rgb(0x5B8FD1);
const Color kBoltFill = rgb(0xFFD23F), kBoltEdge = rgb(0xC98A00);
const Color kFog = rgb(0x98A2AF);

struct Cell {
    Canvas& c;
    double ox, oy;
    Pt p(double x, double y) const { return {ox + x, oy + y}; }
};

void sun(const Cell& k, double cx, double cy, double r) {
    for (int i = 0; i < 8; ++i) {
        const double a = i * kPi / 4;
        k.c.line(k.p(cx + std::cos(a) * r * 1.38, cy + std::sin(a) * r * 1.38),
                 k.p(cx + std::cos(a) * r * 1.75, cy + std::sin(a) * r * 1.75), r * 0.24, kRay);
    }
    const Pt c = k.p(cx, cy);
    k.c.circle(c.x, c.y, r + 2.2, kSunEdge);
    k.c.circle(c.x, c.y, r, kSunFill);
}

// A crescent opening to the lower left, lit side to the right.
void moon(const Cell& k, double cx, double cy, double r) {
    const Pt c = k.p(cx, cy);
    const Pt cut = {c.x - r * 0.55, c.y - r * 0.38};
    auto crescent = [=](double grow) {
        return [=](double x, double y) {
            const double d1 = std::hypot(x - c.x, y - c.y), d2 = std::hypot(x - cut.x, y - cut.y);
            return d1 <= r + grow && d2 >= r * 0.82 - grow;
        };
    };
    k.c.fill(c.x - r - 3, c.y - r - 3, c.x + r + 3, c.y + r + 3, crescent(2.0), kMoonEdge);
    k.c.fill(c.x - r, c.y - r, c.x + r, c.y + r, crescent(0.0), kMoonFill);
}

// Cloud of width w whose flat base sits at y = cy.
void cloud(const Cell& k, double cx, double cy, double w, Color fill, Color edge) {
    const Pt c = k.p(cx, cy);
    struct Disc {
        double x, y, r;
    };
    const Disc discs[] = {{c.x - 0.24 * w, c.y - 0.16 * w, 0.16 * w},
                          {c.x + 0.02 * w, c.y - 0.27 * w, 0.25 * w},
                          {c.x + 0.27 * w, c.y - 0.14 * w, 0.15 * w}};
    const Pt a = {c.x - 0.36 * w, c.y - 0.1 * w}, b = {c.x + 0.36 * w, c.y - 0.1 * w};
    auto shape = [=](double grow) {
        return [=](double x, double y) {
            if (y > c.y + grow) return false;  // flat base
            for (const Disc& d : discs)
                if (std::hypot(x - d.x, y - d.y) <= d.r + grow) return true;
            return Canvas::segmentDistance(x, y, a, b) <= 0.1 * w + grow;
        };
    };
    k.c.fill(c.x - 0.5 * w, c.y - 0.6 * w, c.x + 0.5 * w, c.y + 3, shape(2.4), edge);
    k.c.fill(c.x - 0.5 * w, c.y - 0.6 * w, c.x + 0.5 * w, c.y + 3, shape(0.0), fill);
}

void drop(const Cell& k, double x, double y, double len, Color col = kRain) {
    k.c.line(k.p(x, y), k.p(x - len * 0.3, y + len), 5.0, col);
}

void drizzle(const Cell& k, double x, double y) {
    const Pt c = k.p(x, y);
    k.c.circle(c.x, c.y, 2.8, kRain);
}

void snowflake(const Cell& k, double x, double y, double r) {
    auto arms = [&](double width, Color col) {
        for (int i = 0; i < 3; ++i) {
            const double a = kPi / 2 + i * kPi / 3;
            const double dx = std::cos(a) * r, dy = std::sin(a) * r;
            k.c.line(k.p(x - dx, y - dy), k.p(x + dx, y + dy), width, col);
        }
        for (int i = 0; i < 6; ++i) {
            const double a = kPi / 2 + i * kPi / 3;
            const double bx = x + std::cos(a) * r * 0.58, by = y + std::sin(a) * r * 0.58;
            for (double s : {-1.0, 1.0}) {
                const double b = a + s * kPi / 4;
                k.c.line(k.p(bx, by), k.p(bx + std::cos(b) * r * 0.38, by + std::sin(b) * r * 0.38), width * 0.8, col);
            }
        }
    };
    arms(r * 0.3 + 2.6, kSnowEdge);
    arms(r * 0.3, kSnowFill);
}

void bolt(const Cell& k, double x, double y, double s) {
    auto at = [&](double dx, double dy) { return k.p(x + dx * s, y + dy * s); };
    const std::vector<Pt> shape = {at(4, 0), at(14, 0), at(8, 12), at(15, 12), at(-2, 34), at(2, 18), at(-5, 18)};
    std::vector<Pt> edge;
    for (const Pt& p : shape) edge.push_back(p);
    // The outline: the same bolt drawn a little larger behind it.
    const Pt mid = at(5, 16);
    for (Pt& p : edge) p = {mid.x + (p.x - mid.x) * 1.14, mid.y + (p.y - mid.y) * 1.1};
    k.c.polygon(edge, kBoltEdge);
    k.c.polygon(shape, kBoltFill);
}

void hail(const Cell& k, double x, double y) {
    const Pt c = k.p(x, y);
    k.c.circle(c.x, c.y, 6.2, kSnowEdge);
    k.c.circle(c.x, c.y, 4.6, kSnowFill);
}

void pellet(const Cell& k, double x, double y) {
    const Pt c = k.p(x, y);
    k.c.polygon({{c.x, c.y - 7}, {c.x + 5.5, c.y}, {c.x, c.y + 7}, {c.x - 5.5, c.y}}, kSnowEdge);
    k.c.polygon({{c.x, c.y - 4.6}, {c.x + 3.4, c.y}, {c.x, c.y + 4.6}, {c.x - 3.4, c.y}}, kSnowFill);
}

void sparkle(const Cell& k, double x, double y, double r) {
    const Pt c = k.p(x, y);
    const double q = r * 0.28;
    k.c.polygon({{c.x, c.y - r}, {c.x + q, c.y - q}, {c.x + r, c.y}, {c.x + q, c.y + q},
                 {c.x, c.y + r}, {c.x - q, c.y + q}, {c.x - r, c.y}, {c.x - q, c.y - q}},
                kMoonFill);
}

// The rain, snow and storm cells share one cloud position.
void weatherCloud(const Cell& k, Color fill = kCloudFill, Color edge = kCloudEdge) { cloud(k, 80, 74, 112, fill, edge); }

void drawIcon(const Cell& k, int cell) {
    switch (cell) {
        case 0: sun(k, 80, 64, 25); break;
        case 1: sun(k, 70, 54, 24); cloud(k, 106, 106, 62, kCloudFill, kCloudEdge); break;
        case 2: sun(k, 60, 44, 20); cloud(k, 88, 104, 104, kCloudFill, kCloudEdge); break;
        case 3:
            cloud(k, 60, 80, 84, kGreyFill, kGreyEdge);
            cloud(k, 90, 106, 110, kCloudFill, kCloudEdge);
            break;
        case 4:
            cloud(k, 80, 70, 104, kGreyFill, kGreyEdge);
            k.c.line(k.p(28, 84), k.p(126, 84), 7, kFog);
            k.c.line(k.p(40, 98), k.p(136, 98), 7, kFog);
            k.c.line(k.p(24, 112), k.p(112, 112), 7, kFog);
            break;
        case 6:  // light rain
            weatherCloud(k);
            for (double x : {66.0, 86.0, 106.0}) drop(k, x, 84, 22);
            break;
        case 7:  // rain
            weatherCloud(k);
            for (double x : {56.0, 76.0, 96.0, 116.0}) drop(k, x, 82, 24);
            drop(k, 70, 108, 14);
            drop(k, 102, 108, 14);
            break;
        case 8:  // heavy rain
            weatherCloud(k, kGreyFill, kGreyEdge);
            for (double x : {48.0, 64.0, 80.0, 96.0, 112.0, 128.0}) drop(k, x, 82, 36);
            break;
        case 9:  // showers
            sun(k, 52, 38, 17);
            cloud(k, 88, 80, 104, kCloudFill, kCloudEdge);
            for (double x : {70.0, 92.0, 114.0}) drop(k, x, 88, 22);
            break;
        case 10:  // drizzle
            weatherCloud(k);
            for (double x : {58.0, 80.0, 102.0}) drizzle(k, x, 88);
            for (double x : {69.0, 91.0, 113.0}) drizzle(k, x, 104);
            for (double x : {58.0, 80.0, 102.0}) drizzle(k, x, 120);
            break;
        case 12:  // thunderstorm
            weatherCloud(k, kStormFill, kStormEdge);
            bolt(k, 74, 78, 1.25);
            drop(k, 54, 84, 20);
            drop(k, 116, 84, 20);
            break;
        case 17:  // thunderstorm with hail
            weatherCloud(k, kStormFill, kStormEdge);
            bolt(k, 74, 78, 1.25);
            for (auto [x, y] : {std::pair{52.0, 92.0}, {116.0, 90.0}, {60.0, 114.0}, {124.0, 112.0}}) hail(k, x, y);
            break;
        case 18:  // freezing rain
            weatherCloud(k);
            drop(k, 60, 84, 22, kIceRain);
            drop(k, 100, 84, 22, kIceRain);
            pellet(k, 80, 98);
            pellet(k, 120, 100);
            pellet(k, 50, 116);
            break;
        case 19:  // snow
            weatherCloud(k);
            for (auto [x, y] : {std::pair{58.0, 96.0}, {102.0, 96.0}, {80.0, 114.0}}) snowflake(k, x, y, 10);
            break;
        case 20:  // heavy snow
            weatherCloud(k, kGreyFill, kGreyEdge);
            for (auto [x, y] : {std::pair{46.0, 94.0}, {80.0, 92.0}, {114.0, 94.0}, {63.0, 114.0}, {97.0, 114.0}})
                snowflake(k, x, y, 9.5);
            break;
        case 21:  // snow showers
            sun(k, 52, 38, 17);
            cloud(k, 88, 80, 104, kCloudFill, kCloudEdge);
            snowflake(k, 72, 100, 10);
            snowflake(k, 108, 102, 10);
            break;
        case 22:  // light snow
            weatherCloud(k);
            snowflake(k, 64, 100, 11);
            snowflake(k, 100, 104, 11);
            break;
        case 24:  // clear night
            moon(k, 76, 64, 30);
            sparkle(k, 118, 36, 8);
            sparkle(k, 126, 84, 5);
            break;
        case 25: moon(k, 66, 52, 26); cloud(k, 106, 106, 62, kCloudFill, kCloudEdge); break;
        case 26: moon(k, 58, 44, 22); cloud(k, 88, 104, 104, kCloudFill, kCloudEdge); break;
        case 27:
            moon(k, 50, 42, 18);
            cloud(k, 64, 82, 84, kGreyFill, kGreyEdge);
            cloud(k, 92, 106, 110, kCloudFill, kCloudEdge);
            break;
        case 28:  // night showers
            moon(k, 50, 38, 18);
            cloud(k, 88, 80, 104, kCloudFill, kCloudEdge);
            for (double x : {70.0, 92.0, 114.0}) drop(k, x, 88, 22);
            break;
        case 29:  // night thunderstorm
            moon(k, 46, 34, 17);
            cloud(k, 88, 80, 104, kStormFill, kStormEdge);
            bolt(k, 82, 84, 1.15);
            break;
        default: break;  // cells no weather code uses stay empty
    }
}

}  // namespace

Canvas weatherIcons() {
    Canvas c(kIconCols * kIconW, kIconRows * kIconH);
    for (int cell = 0; cell < kIconCols * kIconRows; ++cell)
        drawIcon(Cell{c, double(cell % kIconCols * kIconW), double(cell / kIconCols * kIconH)}, cell);
    return c;
}

Canvas moonPhases() {
    Canvas c(kMoonCols * kMoonW, kMoonRows * kMoonH);
    const Color dark = rgb(0x3B4150), darkEdge = rgb(0x596173), lit = rgb(0xF3EDD2), mare = rgb(0xD2C9A6);
    for (int i = 0; i < 8; ++i) {
        const double cx = i % kMoonCols * kMoonW + kMoonW / 2.0, cy = i / kMoonCols * kMoonH + kMoonH / 2.0;
        const double r = kMoonW * 0.43;
        // Phase 0 new, 2 first quarter (right half lit), 4 full, 6 last
        // quarter (left half lit), as seen from the northern hemisphere.
        const double phase = i / 8.0, k = std::cos(2 * kPi * phase);
        auto litAt = [=](double x, double y) {
            const double u = (x - cx) / r, v = (y - cy) / r;
            if (u * u + v * v > 1) return false;
            const double edge = k * std::sqrt(std::max(0.0, 1 - v * v));
            return phase <= 0.5 ? u > edge : u < -edge;
        };
        c.circle(cx, cy, r + 2, darkEdge);
        c.circle(cx, cy, r, dark);
        c.fill(cx - r, cy - r, cx + r, cy + r, litAt, lit);
        // A few seas, only where the disc is lit.
        struct Sea {
            double dx, dy, rr;
        };
        for (const Sea& s : {Sea{-0.25, -0.3, 0.22}, Sea{0.2, -0.15, 0.17}, Sea{0.05, 0.3, 0.2}, Sea{-0.4, 0.2, 0.12},
                             Sea{0.45, 0.25, 0.1}}) {
            const double sx = cx + s.dx * r, sy = cy + s.dy * r, sr = s.rr * r;
            c.fill(sx - sr, sy - sr, sx + sr, sy + sr,
                   [=](double x, double y) { return std::hypot(x - sx, y - sy) <= sr && litAt(x, y); }, mare);
        }
    }
    return c;
}

Canvas meteor(int w, int h, Color tail) {
    Canvas c(w, h);
    const double headR = h * 0.3;
    const Pt head = {w - h * 0.5, h * 0.5}, end = {h * 0.3, h * 0.5};
    auto along = [=](double x) { return std::clamp((x - end.x) / (head.x - end.x), 0.0, 1.0); };
    // Tail: widest and brightest at the head, fading to nothing.
    c.shade(0, 0, w, h, [=](double x, double y) {
        const double t = along(x);
        const double half = headR * (0.15 + 0.85 * std::pow(t, 0.7));
        const double d = std::abs(y - head.y);
        if (x > head.x || d > half) return 0.0f;
        return static_cast<float>((1 - d / half) * std::pow(t, 1.6));
    }, tail);
    // Glow and white-hot head.
    c.shade(0, 0, w, h, [=](double x, double y) {
        const double d = std::hypot(x - head.x, y - head.y) / headR;
        return static_cast<float>(std::exp(-d * d * 1.4));
    }, tail);
    c.circle(head.x, head.y, headR * 0.55, rgb(0xFFFFFF));
    return c;
}

}  // namespace resgen
