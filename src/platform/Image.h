// Decoded images: 8-bit RGBA pixels, rows top to bottom.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nbr::platform {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 4 bytes

    bool empty() const { return width <= 0 || height <= 0 || pixels.empty(); }
};

// Decodes an image file of any format stb_image reads (PNG, JPEG, BMP, GIF,
// ...). An unreadable file gives an empty image.
RgbaImage decodeImageFile(const std::string& path);

// Decodes PNG bytes held in memory; an empty image when they are not a PNG,
// do not decode, are too long for the decoder, or hold a chunk that runs past
// their end.
RgbaImage decodeImageMemory(const unsigned char* data, unsigned long long size);

}  // namespace nbr::platform
