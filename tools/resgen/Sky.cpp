// Constellation atlases: each figure's stars and lines on a small night sky.
#include <array>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "Pictures.h"
#include "StarTable.h"

namespace resgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Star {
    double ra, dec, mag;
    double x = 0, y = 0;  // in the cell, pixels
};

using Vec = std::array<double, 3>;

Vec unit(double raHours, double decDeg) {
    const double a = raHours * 15 * kPi / 180, d = decDeg * kPi / 180;
    return {std::cos(d) * std::cos(a), std::cos(d) * std::sin(a), std::sin(d)};
}
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec normal(Vec v) {
    const double n = std::sqrt(dot(v, v));
    return {v[0] / n, v[1] / n, v[2] / n};
}

std::vector<Star> parseStars(const char* text) {
    std::vector<Star> out;
    std::string s(text);
    for (char& c : s)
        if (c == ',') c = ' ';
    std::istringstream in(s);
    Star st{};
    while (in >> st.ra >> st.dec >> st.mag) out.push_back(st);
    return out;
}

std::vector<std::pair<int, int>> parseLines(const char* text) {
    std::vector<std::pair<int, int>> out;
    std::istringstream in(text);
    std::string chain;
    while (in >> chain) {
        int prev = -1;
        std::istringstream parts(chain);
        std::string idx;
        while (std::getline(parts, idx, '-')) {
            const int i = std::atoi(idx.c_str());
            if (prev >= 0) out.emplace_back(prev, i);
            prev = i;
        }
    }
    return out;
}

// Gnomonic projection about the figure's centre, north up and east to the
// left as the sky is seen, scaled to fill the cell.
void place(std::vector<Star>& stars, double ox, double oy) {
    Vec c{0, 0, 0};
    for (const Star& s : stars) {
        const Vec u = unit(s.ra, s.dec);
        for (int k = 0; k < 3; ++k) c[k] += u[k];
    }
    c = normal(c);
    Vec east = cross({0, 0, 1}, c);
    east = dot(east, east) < 1e-12 ? Vec{0, 1, 0} : normal(east);
    const Vec north = cross(c, east);
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
    for (Star& s : stars) {
        const Vec u = unit(s.ra, s.dec);
        const double w = dot(u, c);
        s.x = -dot(u, east) / w;
        s.y = -dot(u, north) / w;
        x0 = std::min(x0, s.x), x1 = std::max(x1, s.x);
        y0 = std::min(y0, s.y), y1 = std::max(y1, s.y);
    }
    const double margin = 20;
    const double maxScale = (kSkyH - 2 * margin) / (6 * kPi / 180);  // small figures are not blown up
    const double scale = std::min({(kSkyW - 2 * margin) / std::max(x1 - x0, 1e-9),
                                   (kSkyH - 2 * margin) / std::max(y1 - y0, 1e-9), maxScale});
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    for (Star& s : stars) {
        s.x = ox + kSkyW / 2.0 + (s.x - cx) * scale;
        s.y = oy + kSkyH / 2.0 + (s.y - cy) * scale;
    }
}

void background(Canvas& c, double ox, double oy, uint32_t seed) {
    const double r = 12, x0 = ox + 2, y0 = oy + 2, x1 = ox + kSkyW - 2, y1 = oy + kSkyH - 2;
    auto rounded = [=](double x, double y) {
        const double dx = std::max({x0 + r - x, 0.0, x - (x1 - r)});
        const double dy = std::max({y0 + r - y, 0.0, y - (y1 - r)});
        return x >= x0 && x <= x1 && y >= y0 && y <= y1 && dx * dx + dy * dy <= r * r;
    };
    c.fill(x0, y0, x1, y1, rounded, rgb(0x0B1431));
    c.shade(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1) + 1, static_cast<int>(y1) + 1,
            [=](double x, double y) { return rounded(x, y) ? static_cast<float>((y - y0) / (y1 - y0) * 0.55) : 0.0f; },
            rgb(0x1D2B5C));
    Lcg rnd(seed * 2654435761u + 17u);
    for (int i = 0; i < 28; ++i) {
        const double x = x0 + 6 + rnd.next() * (x1 - x0 - 12), y = y0 + 6 + rnd.next() * (y1 - y0 - 12);
        c.circle(x, y, 0.5 + rnd.next() * 0.6, rgb(0xFFFFFF, 0.25f + 0.35f * static_cast<float>(rnd.next())));
    }
}

void drawFigure(Canvas& c, const Figure& f, int index, double ox, double oy) {
    background(c, ox, oy, static_cast<uint32_t>(index));
    std::vector<Star> stars = parseStars(f.stars);
    place(stars, ox, oy);
    for (auto [a, b] : parseLines(f.lines)) {
        if (a < 0 || b < 0 || a >= static_cast<int>(stars.size()) || b >= static_cast<int>(stars.size())) continue;
        c.line({stars[a].x, stars[a].y}, {stars[b].x, stars[b].y}, 2.0, rgb(0x8FB3E8, 0.75f));
    }
    for (const Star& s : stars) {
        const double r = std::clamp(4.6 - 0.72 * s.mag, 1.5, 5.6);
        const double g = r * 2.8;
        c.shade(static_cast<int>(s.x - g), static_cast<int>(s.y - g), static_cast<int>(s.x + g) + 1,
                static_cast<int>(s.y + g) + 1, [=](double x, double y) {
                    const double d = std::hypot(x - s.x, y - s.y) / g;
                    return d >= 1 ? 0.0f : static_cast<float>(0.45 * (1 - d) * (1 - d));
                }, rgb(0xCFE0FF));
        c.circle(s.x, s.y, r, rgb(0xFFFFFF));
    }
}

}  // namespace

Canvas constellationAtlas(int atlas) {
    const int rows = atlas == 0 ? kSkyRows1 : kSkyRows2;
    const int first = atlas == 0 ? 0 : 56, last = atlas == 0 ? 56 : 88;
    Canvas c(kSkyCols * kSkyW, rows * kSkyH);
    for (int i = first; i < last; ++i) {
        const int p = i - first;
        drawFigure(c, kFigures[i], i, p % kSkyCols * kSkyW, p / kSkyCols * kSkyH);
    }
    return c;
}

}  // namespace resgen
