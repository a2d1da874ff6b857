// A small RGBA canvas for drawing the program's pictures: shapes are given as
// inside-tests and filled with 4 x 4 supersampling, so edges are smooth.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace resgen {

struct Color {
    float r, g, b, a;
};

inline Color rgb(unsigned hex, float a = 1.0f) {
    return {((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f, a};
}

struct Pt {
    double x, y;
};

using Inside = std::function<bool(double, double)>;

class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, 0.0f) {}
    int width() const { return w_; }
    int height() const { return h_; }

    // Blends `c` over the pixels of the box [x0,x1) x [y0,y1) in proportion
    // to the share of their samples for which `inside` holds.
    void fill(double x0, double y0, double x1, double y1, const Inside& inside, Color c) {
        const int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
        const int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
        const int ix1 = std::min(w_, static_cast<int>(std::ceil(x1)) + 1);
        const int iy1 = std::min(h_, static_cast<int>(std::ceil(y1)) + 1);
        for (int y = iy0; y < iy1; ++y)
            for (int x = ix0; x < ix1; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0)) ++hits;
                if (hits) blend(x, y, c, hits / 16.0f);
            }
    }

    // Blends `c` scaled by a per-pixel strength in [0, 1] (soft glows).
    void shade(int x0, int y0, int x1, int y1, const std::function<float(double, double)>& strength, Color c) {
        for (int y = std::max(0, y0); y < std::min(h_, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w_, x1); ++x) {
                const float s = strength(x + 0.5, y + 0.5);
                if (s > 0.0f) blend(x, y, c, std::min(1.0f, s));
            }
    }

    void circle(double cx, double cy, double r, Color c) {
        fill(cx - r, cy - r, cx + r, cy + r, [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }, c);
    }

    // A line with round ends, `width` thick.
    void line(Pt a, Pt b, double width, Color c) {
        const double r = width / 2;
        fill(std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r, std::max(a.y, b.y) + r,
             [=](double x, double y) { return segmentDistance(x, y, a, b) <= r; }, c);
    }

    void polygon(const std::vector<Pt>& pts, Color c) {
        double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
        for (const Pt& p : pts) {
            x0 = std::min(x0, p.x);
            y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x);
            y1 = std::max(y1, p.y);
        }
        fill(x0, y0, x1, y1, [&pts](double x, double y) { return insidePolygon(pts, x, y); }, c);
    }

    static double segmentDistance(double x, double y, Pt a, Pt b) {
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const double px = a.x + t * dx - x, py = a.y + t * dy - y;
        return std::sqrt(px * px + py * py);
    }

    static bool insidePolygon(const std::vector<Pt>& pts, double x, double y) {
        bool in = false;
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            if ((pts[i].y > y) != (pts[j].y > y) &&
                x < (pts[j].x - pts[i].x) * (y - pts[i].y) / (pts[j].y - pts[i].y) + pts[i].x)
                in = !in;
        }
        return in;
    }

    // 8-bit RGBA, straight (not premultiplied) alpha, rows top first.
    std::vector<unsigned char> rgba8() const {
        std::vector<unsigned char> out(px_.size());
        for (size_t i = 0; i < px_.size(); i += 4) {
            const float a = px_[i + 3];
            for (int k = 0; k < 3; ++k) {
                const float v = a > 0.0f ? px_[i + k] / a : 0.0f;
                out[i + k] = static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
            }
            out[i + 3] = static_cast<unsigned char>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255.0f));
        }
        return out;
    }

private:
    // Source-over compositing on premultiplied pixels.
    void blend(int x, int y, Color c, float coverage) {
        float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
        const float a = c.a * coverage;
        p[0] = c.r * a + p[0] * (1 - a);
        p[1] = c.g * a + p[1] * (1 - a);
        p[2] = c.b * a + p[2] * (1 - a);
        p[3] = a + p[3] * (1 - a);
    }

    int w_, h_;
    std::vector<float> px_;  // premultiplied RGBA
};

// Writes the canvas as a PNG file; false on failure.
bool writePng(const Canvas& canvas, const std::string& path);

// Deterministic pseudo-random numbers (same pictures on every build).
class Lcg {
public:
    explicit Lcg(uint32_t seed) : s_(seed) {}
    double next() {
        s_ = s_ * 1664525u + 1013904223u;
        return (s_ >> 8) / 16777216.0;
    }

private:
    uint32_t s_;
};

}  // namespace resgen
