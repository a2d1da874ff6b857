// Small square badges with a short text (the window icon, and the
// notification-area icon with the temperature), painted into RGBA pixels.
#pragma once

#include "desktop/TextPainter.h"
#include "platform/Image.h"

#include <string_view>

namespace nbr {

// A 32 x 32 opaque square of `background` with `text` (UTF-8) centred on one
// line in `foreground`, bold; the glyph height is 26 pixels for one
// character, 22 for two and 16 for more (counted in UTF-16 units). Without a usable font the square is
// painted without text.
platform::RgbaImage paintBadge(std::string_view text, Rgb background, Rgb foreground);

}  // namespace nbr
