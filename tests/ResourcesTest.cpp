#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <stb_image.h>

#include "TestEnv.h"
#include "model/WeatherCodes.h"

namespace nbr {
namespace {

const std::string kDir = NIMBREL_RESOURCES_DIR;

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
    const unsigned char* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
    int alpha(int x, int y) const { return at(x, y)[3]; }
    // Share of pixels in a box that are more than half opaque.
    double opaqueShare(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += alpha(x, y) > 128;
        return double(n) / ((x1 - x0) * (y1 - y0));
    }
    // Mean of alpha-weighted brightness over a box.
    double light(int x0, int y0, int x1, int y1) const {
        double sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const unsigned char* p = at(x, y);
                sum += (p[0] + p[1] + p[2]) / 3.0 * p[3] / 255.0;
            }
        return sum / ((x1 - x0) * (y1 - y0));
    }
};

Image load(const std::string& name) {
    Image img;
    int n = 0;
    unsigned char* data = stbi_load((kDir + "/" + name).c_str(), &img.w, &img.h, &n, 4);
    if (!data) return img;
    img.px.assign(data, data + static_cast<size_t>(img.w) * img.h * 4);
    stbi_image_free(data);
    return img;
}

// Cells the weather-code table points at, day and night.
std::set<int> usedIconCells() {
    std::set<int> cells;
    for (int code = -1; code <= 100; ++code)
        for (bool night : {false, true})
            if (int cell = weatherCodeToIconCell(code, night); cell >= 0) cells.insert(cell);
    return cells;
}

TEST(Resources, WeatherIconAtlasHasItsGridAndEveryUsedCell) {
    const Image img = load("weather-icons.png");
    ASSERT_FALSE(img.px.empty());
    ASSERT_EQ(img.w % 6, 0);
    ASSERT_EQ(img.h % 5, 0);
    const int cw = img.w / 6, ch = img.h / 5;
    EXPECT_EQ(cw * 4, ch * 5);  // cells are drawn 1.25 times as wide as tall
    const std::set<int> used = usedIconCells();
    ASSERT_FALSE(used.empty());
    for (int cell : used) {
        ASSERT_LT(cell, 30);
        const int x0 = cell % 6 * cw, y0 = cell / 6 * ch;
        EXPECT_GT(img.opaqueShare(x0, y0, x0 + cw, y0 + ch), 0.08) << "cell " << cell;
        // Nothing touches the cell's edge, so filtering never bleeds into a neighbour.
        for (int i = 0; i < cw; ++i) {
            EXPECT_EQ(img.alpha(x0 + i, y0), 0) << "cell " << cell;
            EXPECT_EQ(img.alpha(x0 + i, y0 + ch - 1), 0) << "cell " << cell;
        }
        for (int j = 0; j < ch; ++j) {
            EXPECT_EQ(img.alpha(x0, y0 + j), 0) << "cell " << cell;
            EXPECT_EQ(img.alpha(x0 + cw - 1, y0 + j), 0) << "cell " << cell;
        }
    }
    // The background is transparent, so the icons sit on either theme.
    EXPECT_EQ(img.alpha(0, 0), 0);
}

TEST(Resources, MoonPhasesWaxOnTheRightAndWaneOnTheLeft) {
    const Image img = load("moon-phases.png");
    ASSERT_FALSE(img.px.empty());
    ASSERT_EQ(img.w % 5, 0);
    ASSERT_EQ(img.h % 3, 0);
    const int cw = img.w / 5, ch = img.h / 3;
    EXPECT_NEAR(double(cw) / ch, 0.9, 0.005);
    double total[8], left[8], right[8];
    for (int i = 0; i < 8; ++i) {
        const int x0 = i % 5 * cw, y0 = i / 5 * ch;
        left[i] = img.light(x0, y0, x0 + cw / 2, y0 + ch);
        right[i] = img.light(x0 + cw / 2, y0, x0 + cw, y0 + ch);
        total[i] = left[i] + right[i];
        EXPECT_GT(img.opaqueShare(x0, y0, x0 + cw, y0 + ch), 0.4) << i;  // the disc is always there
    }
    for (int i = 0; i < 4; ++i) EXPECT_LT(total[i], total[i + 1]) << i;  // waxing to full
    for (int i = 4; i < 7; ++i) EXPECT_GT(total[i], total[i + 1]) << i;  // waning
    for (int i : {1, 2, 3}) EXPECT_GT(right[i], left[i] * 1.2) << i;
    for (int i : {5, 6, 7}) EXPECT_GT(left[i], right[i] * 1.2) << i;
    EXPECT_NEAR(left[4], right[4], right[4] * 0.1);
    // The unused cells stay empty.
    EXPECT_EQ(img.opaqueShare(3 * cw, ch, 5 * cw, 3 * ch), 0.0);
}

TEST(Resources, ConstellationAtlasesHoldOneFigurePerTableRow) {
    struct Atlas {
        const char* name;
        int rows, used;
    } atlases[] = {{"constellations-atlas.png", 8, 56}, {"constellations-atlas2.png", 5, 32}};
    int cellW = 0, cellH = 0;
    for (const Atlas& a : atlases) {
        const Image img = load(a.name);
        ASSERT_FALSE(img.px.empty()) << a.name;
        ASSERT_EQ(img.w % 7, 0);
        ASSERT_EQ(img.h % a.rows, 0);
        const int cw = img.w / 7, ch = img.h / a.rows;
        if (cellW == 0) cellW = cw, cellH = ch;
        EXPECT_EQ(cw, cellW);  // both atlases share one cell size
        EXPECT_EQ(ch, cellH);
        for (int p = 0; p < 7 * a.rows; ++p) {
            const int x0 = p % 7 * cw, y0 = p / 7 * ch;
            const double share = img.opaqueShare(x0, y0, x0 + cw, y0 + ch);
            if (p < a.used) {
                EXPECT_GT(share, 0.9) << a.name << " cell " << p;
                // Stars: some pixels much brighter than the sky around them.
                int bright = 0;
                for (int y = y0; y < y0 + ch; ++y)
                    for (int x = x0; x < x0 + cw; ++x) bright += img.at(x, y)[0] > 200 && img.at(x, y)[2] > 200;
                EXPECT_GT(bright, 12) << a.name << " cell " << p;
            } else {
                EXPECT_EQ(share, 0.0) << a.name << " cell " << p;
            }
        }
    }
}

TEST(Resources, MeteorSpritesHaveAKeyedCornerAndABrightHead) {
    for (const char* name : {"small-meteor-a.png", "small-meteor-b.png", "medium-meteor.png", "large-meteor.png"}) {
        const Image img = load(name);
        ASSERT_FALSE(img.px.empty()) << name;
        EXPECT_GT(img.w, img.h) << name;
        // The corner pixel is the colour key: black and clear.
        const unsigned char* corner = img.at(0, 0);
        EXPECT_EQ(corner[0] + corner[1] + corner[2] + corner[3], 0) << name;
        EXPECT_GT(img.light(img.w * 3 / 4, 0, img.w, img.h), 2 * img.light(0, 0, img.w / 4, img.h)) << name;
    }
    EXPECT_LT(load("small-meteor-a.png").w, load("medium-meteor.png").w);
    EXPECT_LT(load("medium-meteor.png").w, load("large-meteor.png").w);
}

TEST(Resources, CertificateBundleIsCopied) {
    const std::string pem = test::readFile(kDir + "/cacert.pem");
    EXPECT_NE(pem.find("-----BEGIN CERTIFICATE-----"), std::string::npos);
}

TEST(Resources, GeneratorIsDeterministic) {
    test::TempDir tmp;
    const std::string cmd = std::string("'") + NIMBREL_RESGEN + "' '" + tmp.path() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const char* name : {"weather-icons.png", "moon-phases.png", "constellations-atlas.png",
                             "constellations-atlas2.png", "small-meteor-a.png", "small-meteor-b.png",
                             "medium-meteor.png", "large-meteor.png"}) {
        const std::string fresh = test::readFile(tmp.path() + "/" + name);
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_EQ(fresh, test::readFile(kDir + "/" + name)) << name;
    }
}

}  // namespace
}  // namespace nbr
