// Image decoding, the colour key, resource paths, font checks and badges.
#include "desktop/Badge.h"
#include "platform/Fonts.h"
#include "platform/Image.h"
#include "ui/Texture.h"

#include "TestEnv.h"

#include <stb_image_write.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace nbr {
namespace {

platform::RgbaImage solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    platform::RgbaImage img;
    img.width = w;
    img.height = h;
    img.pixels.resize(static_cast<size_t>(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        img.pixels[i * 4] = r;
        img.pixels[i * 4 + 1] = g;
        img.pixels[i * 4 + 2] = b;
        img.pixels[i * 4 + 3] = 255;
    }
    return img;
}

void setPixel(platform::RgbaImage& img, int i, int r, int g, int b) {
    img.pixels[i * 4] = static_cast<std::uint8_t>(r);
    img.pixels[i * 4 + 1] = static_cast<std::uint8_t>(g);
    img.pixels[i * 4 + 2] = static_cast<std::uint8_t>(b);
}

TEST(TextureTest, ColourKeyClearsPixelsWithinDistance44OfTheCorner) {
    platform::RgbaImage img = solid(4, 1, 100, 100, 100);
    setPixel(img, 1, 144, 100, 100);  // distance 44: transparent
    setPixel(img, 2, 144, 101, 100);  // squared distance 1937: kept
    setPixel(img, 3, 56, 100, 100);   // distance 44 below the key
    applyColorKey(img);
    EXPECT_EQ(img.pixels[3], 0);  // the corner itself
    EXPECT_EQ(img.pixels[7], 0);
    EXPECT_EQ(img.pixels[11], 255);
    EXPECT_EQ(img.pixels[15], 0);
}

TEST(TextureTest, ImageFilesDecodeToRgbaAndBadFilesToNothing) {
    test::TempDir dir;
    platform::RgbaImage src = solid(3, 2, 10, 20, 30);
    setPixel(src, 5, 200, 100, 50);
    const std::string png = dir.path() + "/p.png";
    ASSERT_TRUE(stbi_write_png(png.c_str(), 3, 2, 4, src.pixels.data(), 12));

    const platform::RgbaImage got = platform::decodeImageFile(png);
    ASSERT_EQ(got.width, 3);
    ASSERT_EQ(got.height, 2);
    EXPECT_EQ(got.pixels, src.pixels);

    const std::string bytes = test::readFile(png);
    const platform::RgbaImage mem =
        platform::decodeImageMemory(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    EXPECT_EQ(mem.pixels, src.pixels);

    test::writeFile(dir.path() + "/broken.png", bytes.substr(0, 20));
    EXPECT_TRUE(platform::decodeImageFile(dir.path() + "/broken.png").empty());
    EXPECT_TRUE(platform::decodeImageFile(dir.path() + "/missing.png").empty());
    EXPECT_TRUE(platform::decodeImageMemory(nullptr, 10).empty());
    EXPECT_TRUE(platform::decodeImageMemory(reinterpret_cast<const unsigned char*>(bytes.data()), 0).empty());

    // Only PNG bytes are decoded from memory, and only when every chunk lies
    // within them: a 4 x 4 picture announcing a 2 GiB chunk is not decoded.
    const std::string bmpLike = "BM" + bytes.substr(2);
    EXPECT_TRUE(platform::decodeImageMemory(reinterpret_cast<const unsigned char*>(bmpLike.data()), bmpLike.size())
                    .empty());
    std::string huge = bytes.substr(0, 33) + std::string("\x7f\xff\xff\xf0IDAT", 8) + bytes.substr(41, 30);
    EXPECT_TRUE(platform::decodeImageMemory(reinterpret_cast<const unsigned char*>(huge.data()), huge.size()).empty());

    // A missing resource never reaches OpenGL: the texture stays all zero.
    const Texture t = loadTexture(dir.path() + "/missing.png", true);
    EXPECT_EQ(t.id, 0u);
    EXPECT_EQ(t.width, 0);
    Texture none = loadTextureFromMemory(nullptr, 0);
    freeTexture(none);
    EXPECT_EQ(none.id, 0u);
}

TEST(TextureTest, ResourcesLiveInTheResourcesFolderBesideTheExecutable) {
    const std::string p = resourcePath("cacert.pem");
    EXPECT_NE(p.find("resources/cacert.pem"), std::string::npos);
    EXPECT_EQ(p.substr(p.size() - std::string("/resources/cacert.pem").size()), "/resources/cacert.pem");
}

TEST(FontTest, OnlyFontFilesTheRasteriserAcceptsAreUsed) {
    test::TempDir dir;
    test::writeFile(dir.path() + "/bad.ttf", std::string(4096, 'x'));
    test::writeFile(dir.path() + "/short.ttf", "\x00\x01\x00\x00");
    EXPECT_TRUE(platform::readUsableFont(dir.path() + "/bad.ttf").empty());
    EXPECT_TRUE(platform::readUsableFont(dir.path() + "/short.ttf").empty());
    EXPECT_TRUE(platform::readUsableFont(dir.path() + "/missing.ttf").empty());
    const std::string& dejavu = platform::monoFontPaths().front();
    if (test::readFile(dejavu).empty()) GTEST_SKIP() << "no DejaVu Sans Mono here";
    EXPECT_FALSE(platform::readUsableFont(dejavu).empty());
}

TEST(BadgeTest, OpaqueSquareWithTheTextCentred) {
    const Rgb bg{15, 18, 28}, fg{224, 121, 66};
    for (const char* text : {"N", "72", "-12", ""}) {
        const platform::RgbaImage img = paintBadge(text, bg, fg);
        ASSERT_EQ(img.width, 32);
        ASSERT_EQ(img.height, 32);
        int inked = 0, leftInk = 0, rightInk = 0, topInk = 0, bottomInk = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const std::uint8_t* p = &img.pixels[(y * 32 + x) * 4];
                ASSERT_EQ(p[3], 255);
                if (p[0] != bg.r) {
                    ++inked;
                    (x < 16 ? leftInk : rightInk)++;
                    (y < 16 ? topInk : bottomInk)++;
                }
            }
        if (*text == 0) {
            EXPECT_EQ(inked, 0);
            continue;
        }
        if (platform::readUsableFont(platform::badgeFontPaths().front()).empty()) GTEST_SKIP() << "no badge font";
        EXPECT_GT(inked, 20) << text;
        // Centred: ink on both halves, not piled against one edge.
        EXPECT_GT(leftInk * 3, rightInk) << text;
        EXPECT_GT(rightInk * 3, leftInk) << text;
        EXPECT_GT(topInk * 4, bottomInk) << text;
        EXPECT_GT(bottomInk * 4, topInk) << text;
        // The corner keeps the background.
        EXPECT_EQ(img.pixels[0], bg.r);
        EXPECT_EQ(img.pixels[(31 * 32 + 31) * 4 + 2], bg.b);
    }
}

TEST(BadgeTest, LongerTextsUseSmallerGlyphs) {
    if (platform::readUsableFont(platform::badgeFontPaths().front()).empty()) GTEST_SKIP() << "no badge font";
    auto inkHeight = [](const char* text) {
        const platform::RgbaImage img = paintBadge(text, {0, 0, 0}, {255, 255, 255});
        int top = 32, bottom = -1;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (img.pixels[(y * 32 + x) * 4] > 128) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return bottom - top + 1;
    };
    const int one = inkHeight("8"), two = inkHeight("88"), three = inkHeight("888");
    EXPECT_GT(one, two);
    EXPECT_GT(two, three);
}

}  // namespace
}  // namespace nbr
