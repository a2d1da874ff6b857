#include "platform/Fonts.h"

#include "platform/Files.h"

#include <stb_truetype.h>


namespace nbr::platform {

const std::vector<std::string>& monoFontPaths() {
    static const std::vector<std::string> paths = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
        "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf",
        "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
    };
    return paths;
}

const std::vector<std::string>& badgeFontPaths() {
    static const std::vector<std::string> paths = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    };
    return paths;
}

const std::vector<std::string>& cardFontPaths() {
    static const std::vector<std::string> paths = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    };
    return paths;
}

std::string readUsableFont(const std::string& path) {
    std::string bytes = readFile(path).value_or(std::string());
    if (bytes.size() < 12) return {};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const int offset = stbtt_GetFontOffsetForIndex(data, 0);
    if (offset < 0 || static_cast<size_t>(offset) >= bytes.size()) return {};
    stbtt_fontinfo info;
    if (!stbtt_InitFont(&info, data, offset)) return {};
    if (stbtt_FindGlyphIndex(&info, 'A') == 0) return {};
    return bytes;
}

}  // namespace nbr::platform
