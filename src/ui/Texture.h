// OpenGL textures of the interface's pictures: the image atlases in the
// resources folder and radar tiles that arrive as PNG bytes.
#pragma once

#include "platform/Image.h"

#include <cstdint>
#include <string>

namespace nbr {

// An OpenGL texture name with its size; id 0 means no texture. The holder
// releases it with freeTexture.
struct Texture {
    std::uint32_t id = 0;
    int width = 0;
    int height = 0;
};

// `name` in the program's resources folder (platform::resourceDir).
std::string resourcePath(const std::string& name);

// Decodes an image file and uploads it; with `colorKey`, every pixel within a
// colour distance of 44 of the top-left pixel becomes transparent. Any failure
// gives the all-zero texture. GUI thread (owner of the OpenGL context) only.
Texture loadTexture(const std::string& path, bool colorKey);

// Decodes PNG bytes held in memory and uploads them; all-zero on failure.
Texture loadTextureFromMemory(const unsigned char* data, unsigned long long size);

// Deletes the OpenGL texture (when id is not 0) and zeroes the id; the size
// stays. Safe to call twice.
void freeTexture(Texture& t);

// The colour-key step of loadTexture: clears the alpha of every pixel whose
// squared RGB distance from pixel (0, 0) is at most 1936.
void applyColorKey(platform::RgbaImage& img);

}  // namespace nbr
