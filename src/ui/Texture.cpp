#include "ui/Texture.h"

#include "platform/Paths.h"

#include <GL/gl.h>

namespace nbr {

namespace {

Texture uploadRGBA(const unsigned char* pixels, int width, int height) {
    Texture t;
    if (width <= 0 || height <= 0 || !pixels) return t;
    GLuint id = 0;
    glGenTextures(1, &id);
    if (id == 0) return t;
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    t.id = id;
    t.width = width;
    t.height = height;
    return t;
}

}  // namespace

std::string resourcePath(const std::string& name) { return platform::resourceDir() + name; }

void applyColorKey(platform::RgbaImage& img) {
    if (img.empty()) return;
    const int kr = img.pixels[0], kg = img.pixels[1], kb = img.pixels[2];
    const size_t n = img.pixels.size() / 4;
    for (size_t i = 0; i < n; ++i) {
        std::uint8_t* p = &img.pixels[i * 4];
        const int dr = p[0] - kr, dg = p[1] - kg, db = p[2] - kb;
        if (dr * dr + dg * dg + db * db <= 1936) p[3] = 0;
    }
}

Texture loadTexture(const std::string& path, bool colorKey) {
    platform::RgbaImage img = platform::decodeImageFile(path);
    if (img.empty()) return {};
    if (colorKey) applyColorKey(img);
    return uploadRGBA(img.pixels.data(), img.width, img.height);
}

Texture loadTextureFromMemory(const unsigned char* data, unsigned long long size) {
    platform::RgbaImage img = platform::decodeImageMemory(data, size);
    if (img.empty()) return {};
    return uploadRGBA(img.pixels.data(), img.width, img.height);
}

void freeTexture(Texture& t) {
    if (t.id == 0) return;
    GLuint id = t.id;
    glDeleteTextures(1, &id);
    t.id = 0;
}

}  // namespace nbr
