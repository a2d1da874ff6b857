// Font files of the system, checked before the GUI library or the badge
// painter uses them (a broken font file would abort inside the library).
#pragma once

#include <string>
#include <vector>

namespace nbr::platform {

// The sharp monospaced interface fonts, in order of preference.
const std::vector<std::string>& monoFontPaths();

// The bold sans-serif font of badge icons, then its regular cut.
const std::vector<std::string>& badgeFontPaths();

// The regular sans-serif font of painted cards (the notification-area
// flyout), then its bold cut.
const std::vector<std::string>& cardFontPaths();

// The bytes of a TrueType font file that opens and holds a glyph for "A";
// empty otherwise.
std::string readUsableFont(const std::string& path);

}  // namespace nbr::platform
