#include "desktop/Badge.h"

#include "model/Utf8.h"
#include "platform/Fonts.h"

#include <cmath>

namespace nbr {

namespace {
constexpr int kSize = 32;
}

platform::RgbaImage paintBadge(std::string_view text, Rgb background, Rgb foreground) {
    platform::RgbaImage img;
    img.width = kSize;
    img.height = kSize;
    fillImage(img, background);

    static const TextPainter painter(platform::badgeFontPaths());
    // Characters counted the way the notification area counts them.
    const size_t units = utf8ToWide(text).size();
    if (units == 0) return img;
    const float height = units <= 1 ? 26.0f : units == 2 ? 22.0f : 16.0f;
    // The line box (ascent to descent) is centred on both axes.
    const float x = (kSize - painter.width(text, height)) / 2.0f;
    const int baseline = static_cast<int>(std::lround((kSize - height) / 2.0f + painter.ascent(height)));
    painter.draw(img, x, baseline, text, height, foreground, kSize);
    return img;
}

}  // namespace nbr
