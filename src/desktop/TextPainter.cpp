#include "desktop/TextPainter.h"

#include "model/Utf8.h"
#include "platform/Fonts.h"

#include <stb_truetype.h>

#include <cmath>

namespace nbr {

namespace {

// Code points of UTF-8 text (malformed bytes as U+FFFD).
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

}  // namespace

void fillRect(platform::RgbaImage& img, int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(y0, 0); y < std::min(y1, img.height); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, img.width); ++x) {
            std::uint8_t* p = &img.pixels[(static_cast<size_t>(y) * img.width + x) * 4];
            p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
        }
    }
}

void fillImage(platform::RgbaImage& img, Rgb colour) {
    img.pixels.resize(static_cast<size_t>(img.width) * img.height * 4);
    fillRect(img, 0, 0, img.width, img.height, colour);
}

TextPainter::TextPainter(const std::vector<std::string>& paths) {
    for (const std::string& p : paths) {
        font_ = platform::readUsableFont(p);
        if (!font_.empty()) break;
    }
    if (font_.empty()) return;
    info_.resize(sizeof(stbtt_fontinfo));
    const auto* data = reinterpret_cast<const unsigned char*>(font_.data());
    if (!stbtt_InitFont(reinterpret_cast<stbtt_fontinfo*>(info_.data()), data, stbtt_GetFontOffsetForIndex(data, 0)))
        font_.clear();
}

float TextPainter::ascent(float height) const {
    if (!usable()) return 0;
    const auto* info = reinterpret_cast<const stbtt_fontinfo*>(info_.data());
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(info, &ascent, &descent, &gap);
    return ascent * stbtt_ScaleForPixelHeight(info, height);
}

float TextPainter::width(std::string_view text, float height) const {
    if (!usable()) return 0;
    const auto* info = reinterpret_cast<const stbtt_fontinfo*>(info_.data());
    const float scale = stbtt_ScaleForPixelHeight(info, height);
    const std::vector<int> cps = codePoints(text);
    float w = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        int adv = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(info, cps[i], &adv, &lsb);
        w += adv * scale;
        if (i + 1 < cps.size()) w += stbtt_GetCodepointKernAdvance(info, cps[i], cps[i + 1]) * scale;
    }
    return w;
}

std::string TextPainter::ellipsize(std::string_view text, float height, float maxWidth) const {
    if (width(text, height) <= maxWidth) return std::string(text);
    const float room = maxWidth - width("...", height);
    size_t cut = text.size();
    while (cut > 0 && width(text.substr(0, cut), height) > room) cut = utf8CutPoint(text, cut - 1);
    return std::string(text.substr(0, cut)) + "...";
}

void TextPainter::draw(platform::RgbaImage& img, float penX, int baseline, std::string_view text, float height,
                       Rgb colour, int clipRight) const {
    if (!usable()) return;
    const auto* info = reinterpret_cast<const stbtt_fontinfo*>(info_.data());
    const float scale = stbtt_ScaleForPixelHeight(info, height);
    const std::vector<int> cps = codePoints(text);
    const int right = std::min(clipRight, img.width);
    for (size_t i = 0; i < cps.size(); ++i) {
        int adv = 0, lsb = 0;
        stbtt_GetCodepointHMetrics(info, cps[i], &adv, &lsb);
        int x0, y0, x1, y1;
        const float shiftX = penX - std::floor(penX);
        stbtt_GetCodepointBitmapBoxSubpixel(info, cps[i], scale, scale, shiftX, 0, &x0, &y0, &x1, &y1);
        const int gw = x1 - x0, gh = y1 - y0;
        if (gw > 0 && gh > 0) {
            std::vector<unsigned char> cover(static_cast<size_t>(gw) * gh);
            stbtt_MakeCodepointBitmapSubpixel(info, cover.data(), gw, gh, gw, scale, scale, shiftX, 0, cps[i]);
            const int ox = static_cast<int>(std::floor(penX)) + x0;
            const int oy = baseline + y0;
            for (int y = 0; y < gh; ++y) {
                for (int x = 0; x < gw; ++x) {
                    const int px = ox + x, py = oy + y;
                    if (px < 0 || py < 0 || px >= right || py >= img.height) continue;
                    const int a = cover[static_cast<size_t>(y) * gw + x];
                    std::uint8_t* p = &img.pixels[(static_cast<size_t>(py) * img.width + px) * 4];
                    p[0] = static_cast<std::uint8_t>((colour.r * a + p[0] * (255 - a)) / 255);
                    p[1] = static_cast<std::uint8_t>((colour.g * a + p[1] * (255 - a)) / 255);
                    p[2] = static_cast<std::uint8_t>((colour.b * a + p[2] * (255 - a)) / 255);
                }
            }
        }
        penX += adv * scale;
        if (i + 1 < cps.size()) penX += stbtt_GetCodepointKernAdvance(info, cps[i], cps[i + 1]) * scale;
    }
}

}  // namespace nbr
