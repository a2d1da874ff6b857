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
// Whether the bytes are a PNG whose chunks all lie within them. The decoder
// reserves a chunk's stated length (up to 2 GiB) before it finds the bytes
// missing, so a few hundred hostile bytes could make it ask for gigabytes.
bool pngChunksFit(const unsigned char* d, unsigned long long n) {
    static const unsigned char signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (n < 8 || std::memcmp(d, signature, 8) != 0) return false;
    unsigned long long pos = 8;
    while (pos + 8 <= n) {
        const unsigned long long length = (static_cast<unsigned long long>(d[pos]) << 24) | (d[pos + 1] << 16) |
                                          (d[pos + 2] << 8) | d[pos + 3];
        if (length + 12 > n - pos) return false;  // type, data and CRC must be there
        if (std::memcmp(d + pos + 4, "IEND", 4) == 0) return true;
        pos += length + 12;
    }
    return true;  // a missing end is the decoder's to reject
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
    if (!pngChunksFit(data, size)) return {};
    int w = 0, h = 0, n = 0;
    unsigned char* decoded = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &n, 4);
    return take(decoded, w, h);
}

}  // namespace nbr::platform
