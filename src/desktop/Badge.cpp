#include "desktop/Badge.h"

#include "model/Utf8.h"
#include "platform/Fonts.h"

#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace nbr {

namespace {

constexpr int kSize = 32;

// Code points of UTF-8 text (malformed bytes as U+FFFD), through its UTF-16
// form so a badge counts characters the way the notification area does.
std::vector<int> codePoints(std::string_view s) {
    const std::u16string w = utf8ToWide(s);
    std::vector<int> out;
    for (size_t i = 0; i < w.size(); ++i) {
        const int u = w[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (w[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(u);
        }
    }
    return out;
}

const std::string& badgeFont() {
    static const std::string bytes = [] {
        for (const auto& p : platform::badgeFontPaths()) {
            std::string b = platform::readUsableFont(p);
            if (!b.empty()) return b;
        }
        return std::string();
    }();
    return bytes;
}

}  // namespace

platform::RgbaImage paintBadge(std::string_view text, Rgb background, Rgb foreground) {
    platform::RgbaImage img;
    img.width = kSize;
    img.height = kSize;
    img.pixels.resize(kSize * kSize * 4);
    for (int i = 0; i < kSize * kSize; ++i) {
        img.pixels[i * 4 + 0] = background.r;
        img.pixels[i * 4 + 1] = background.g;
        img.pixels[i * 4 + 2] = background.b;
        img.pixels[i * 4 + 3] = 255;
    }

    const std::vector<int> cps = codePoints(text);
    const std::string& font = badgeFont();
    if (cps.empty() || font.empty()) return img;

    const auto* data = reinterpret_cast<const unsigned char*>(font.data());
    stbtt_fontinfo info;
    if (!stbtt_InitFont(&info, data, stbtt_GetFontOffsetForIndex(data, 0))) return img;

    const float height = cps.size() <= 1 ? 26.0f : cps.size() == 2 ? 22.0f : 16.0f;
    const float scale = stbtt_ScaleForPixelHeight(&info, height);
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);

    float width = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        int adv = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&info, cps[i], &adv, &lsb);
        width += adv * scale;
        if (i + 1 < cps.size()) width += stbtt_GetCodepointKernAdvance(&info, cps[i], cps[i + 1]) * scale;
    }
    // The line box (ascent to descent) is centred on both axes.
    float penX = (kSize - width) / 2.0f;
    const int baseline = static_cast<int>(std::lround((kSize - height) / 2.0f + ascent * scale));

    for (size_t i = 0; i < cps.size(); ++i) {
        int adv = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(&info, cps[i], &adv, &lsb);
        int x0, y0, x1, y1;
        const float shiftX = penX - std::floor(penX);
        stbtt_GetCodepointBitmapBoxSubpixel(&info, cps[i], scale, scale, shiftX, 0, &x0, &y0, &x1, &y1);
        const int gw = x1 - x0, gh = y1 - y0;
        if (gw > 0 && gh > 0) {
            std::vector<unsigned char> cover(static_cast<size_t>(gw) * gh);
            stbtt_MakeCodepointBitmapSubpixel(&info, cover.data(), gw, gh, gw, scale, scale, shiftX, 0, cps[i]);
            const int ox = static_cast<int>(std::floor(penX)) + x0;
            const int oy = baseline + y0;
            for (int y = 0; y < gh; ++y) {
                for (int x = 0; x < gw; ++x) {
                    const int px = ox + x, py = oy + y;
                    if (px < 0 || py < 0 || px >= kSize || py >= kSize) continue;
                    const int a = cover[static_cast<size_t>(y) * gw + x];
                    std::uint8_t* p = &img.pixels[(static_cast<size_t>(py) * kSize + px) * 4];
                    p[0] = static_cast<std::uint8_t>((foreground.r * a + p[0] * (255 - a)) / 255);
                    p[1] = static_cast<std::uint8_t>((foreground.g * a + p[1] * (255 - a)) / 255);
                    p[2] = static_cast<std::uint8_t>((foreground.b * a + p[2] * (255 - a)) / 255);
                }
            }
        }
        penX += adv * scale;
        if (i + 1 < cps.size()) penX += stbtt_GetCodepointKernAdvance(&info, cps[i], cps[i + 1]) * scale;
    }
    return img;
}

}  // namespace nbr
