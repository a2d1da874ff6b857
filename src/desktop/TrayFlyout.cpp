#include "desktop/TrayFlyout.h"

#include "desktop/TextPainter.h"
#include "model/Utf8.h"
#include "platform/Fonts.h"

#include <algorithm>

namespace nbr {

namespace {

constexpr Rgb kBackground{27, 22, 19};
constexpr Rgb kBorder{92, 63, 41};
constexpr Rgb kAccent{224, 121, 66};
constexpr Rgb kText{230, 214, 196};
constexpr Rgb kDim{184, 166, 146};

}  // namespace

ScreenRect flyoutRect(int x, int y, double scale, const ScreenRect& work) {
    const int w = static_cast<int>(296 * scale), h = static_cast<int>(152 * scale);
    int left = std::max(x - w, work.left);
    if (left + w > work.right) left = work.right - w;
    int top = std::max(y - h, work.top);
    if (top + h > work.bottom) top = work.bottom - h;
    return {left, top, left + w, top + h};
}

platform::RgbaImage paintFlyout(const TrayQuickLook& look, double s) {
    const auto px = [s](double v) { return static_cast<int>(v * s); };
    platform::RgbaImage img;
    img.width = px(296);
    img.height = px(152);
    fillImage(img, kBackground);
    fillRect(img, 0, 0, img.width, 1, kBorder);
    fillRect(img, 0, img.height - 1, img.width, img.height, kBorder);
    fillRect(img, 0, 0, 1, img.height, kBorder);
    fillRect(img, img.width - 1, 0, img.width, img.height, kBorder);
    fillRect(img, 0, 0, px(4), img.height, kAccent);

    static const TextPainter regular(platform::cardFontPaths());
    static const TextPainter bold(platform::badgeFontPaths());
    const float headingH = static_cast<float>(px(15)), tempH = static_cast<float>(px(34)),
                smallH = static_cast<float>(px(14));
    const int L = px(16), T = px(10), R = img.width - px(12);

    // Text boxes are placed by their top edge, as the line's ascent above the
    // baseline.
    const auto line = [&](const TextPainter& p, const std::u16string& text, float h, int x, int top, Rgb c,
                          bool ellipsis) {
        std::string t = wideToUtf8(text);
        if (ellipsis) t = p.ellipsize(t, h, static_cast<float>(R - x));
        p.draw(img, static_cast<float>(x), top + static_cast<int>(p.ascent(h)), t, h, c, ellipsis ? R : img.width);
    };
    line(regular, look.heading, headingH, L, T, kText, true);
    const int Y = T + px(26);
    const std::string temp = wideToUtf8(look.temperature);
    line(bold, look.temperature, tempH, L, Y, kText, false);
    const int cx = static_cast<int>(bold.width(temp, tempH)), cy = static_cast<int>(tempH);
    line(regular, look.condition, smallH, L + cx + px(10), Y + px(16), kDim, true);

    int Z = Y + cy + px(4);
    for (const std::u16string* t : {&look.feelsLike, &look.highLow}) {
        if (t->empty()) continue;
        line(regular, *t, smallH, L, Z, kText, false);
        Z += px(19);
    }
    std::u16string last = look.wind;
    if (!look.rain.empty()) last += (look.wind.empty() ? u"" : u"    ") + look.rain;
    if (!last.empty()) line(regular, last, smallH, L, Z, kText, false);
    return img;
}

}  // namespace nbr
