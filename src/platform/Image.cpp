#include "platform/Image.h"

#include <stb_image.h>

#include <climits>
#include <cstring>

namespace nbr::platform {

namespace {
RgbaImage take(unsigned char* decoded, int w, int h) {
    RgbaImage img;
    if (!decoded) return img;
    if (w > 0 && h > 0) {
        img.width = w;
        img.height = h;
        const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
        img.pixels.assign(decoded, decoded + bytes);
    }
    stbi_image_free(decoded);
    return img;
}
}  // namespace

RgbaImage decodeImageFile(const std::string& path) {
    if (path.empty()) return {};
    int w = 0, h = 0, n = 0;
    unsigned char* decoded = stbi_load(path.c_str(), &w, &h, &n, 4);
    return take(decoded, w, h);
}

RgbaImage decodeImageMemory(const unsigned char* data, unsigned long long size) {
    if (!data || size == 0 || size > static_cast<unsigned long long>(INT_MAX)) return {};
    int w = 0, h = 0, n = 0;
    unsigned char* decoded = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &n, 4);
    return take(decoded, w, h);
}

}  // namespace nbr::platform
