// Draws the program's pictures into a folder:
//   nimbrel_resgen <output folder>
#include <cstdio>
#include <filesystem>
#include <string>

#include <stb_image_write.h>

#include "Pictures.h"

namespace resgen {

bool writePng(const Canvas& canvas, const std::string& path) {
    const auto pixels = canvas.rgba8();
    return stbi_write_png(path.c_str(), canvas.width(), canvas.height(), 4, pixels.data(), canvas.width() * 4) != 0;
}

}  // namespace resgen

int main(int argc, char** argv) {
    using namespace resgen;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    struct Out {
        const char* name;
        Canvas canvas;
    };
    const Out outs[] = {
        {"weather-icons.png", weatherIcons()},
        {"moon-phases.png", moonPhases()},
        {"constellations-atlas.png", constellationAtlas(0)},
        {"constellations-atlas2.png", constellationAtlas(1)},
        {"small-meteor-a.png", meteor(56, 16, rgb(0xBFD9FF))},
        {"small-meteor-b.png", meteor(64, 18, rgb(0xFFE3A3))},
        {"medium-meteor.png", meteor(112, 28, rgb(0xFFF1C4))},
        {"large-meteor.png", meteor(176, 44, rgb(0xB6FFD0))},
    };
    int failed = 0;
    for (const Out& o : outs) {
        const std::string path = dir + "/" + o.name;
        if (!writePng(o.canvas, path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
