// Text painted into RGBA pixels with a TrueType font: the badge icons and the
// notification-area flyout card.
#pragma once

#include "platform/Image.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nbr {

struct Rgb {
    std::uint8_t r, g, b;
};

// Fills the whole image with an opaque colour.
void fillImage(platform::RgbaImage& img, Rgb colour);
// Fills [x0, x1) x [y0, y1), clipped to the image.
void fillRect(platform::RgbaImage& img, int x0, int y0, int x1, int y1, Rgb colour);

class TextPainter {
public:
    // The first usable font of `paths`; without one nothing is drawn.
    explicit TextPainter(const std::vector<std::string>& paths);
    bool usable() const { return !font_.empty(); }

    // Width in pixels of UTF-8 text at a pixel height.
    float width(std::string_view text, float height) const;
    // The font's ascent in pixels at a pixel height.
    float ascent(float height) const;
    // Draws one line with its baseline at `baseline`, clipped to x < clipRight.
    void draw(platform::RgbaImage& img, float x, int baseline, std::string_view text, float height, Rgb colour,
              int clipRight) const;
    // The longest prefix of `text` that, with "..." after it, fits `maxWidth`;
    // the text itself when it fits whole.
    std::string ellipsize(std::string_view text, float height, float maxWidth) const;

private:
    std::string font_;
    std::vector<unsigned char> info_;  // stbtt_fontinfo, kept opaque here
};

}  // namespace nbr
