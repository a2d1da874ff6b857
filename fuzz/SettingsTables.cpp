// config.json as read at start-up, then every table the dashboard indexes by
// a setting and every rule of the settings window: whatever numbers the file
// holds, no lookup leaves its table and the stored thresholds stay in range.
#include "FuzzSupport.h"
#include "foundation/Config.h"
#include "ui/Panel_Settings.h"
#include "ui/UIRenderer.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("APPDATA", nbr::fuzz::scratchDir().c_str(), 1);
    std::filesystem::create_directories(nbr::Config::configDir());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nbr;
    Config c;
    fuzz::writeFile(c.configPath(), fuzz::text(data, size));
    c.load();
    for (int field : {c.windUnit, c.pressureUnit, c.precipUnit, c.themeId, c.miniStat, c.notifyMode})
        if (panel::tableIndex(field, 2) > 1 || panel::tableIndex(field, 4) > 3) std::abort();
    const double values[] = {-1e308, -1, 0, 0.5, 64, 1e308, NAN};
    for (double v : values) {
        units::speed(c, v);
        units::visibility(c, v);
        units::temp(c, v);
        const double gust = panel::gustThreshold(c).shown + v;
        panel::setGustThreshold(c, gust);
        if (std::isfinite(gust) && !(c.alertGustKmh >= 1 && c.alertGustKmh <= 300)) std::abort();
        panel::setSwingThreshold(c, v);
        if (std::isfinite(v) && !(c.alertSwingC >= 1 / 1.8 && c.alertSwingC <= 40)) std::abort();
        panel::setSnowThreshold(c, v);
        if (std::isfinite(v) && !(c.alertSnowCm >= 0 && c.alertSnowCm <= 100)) std::abort();
    }
    panel::timeRowMinutes(c.quietStartMinute / 60, c.quietStartMinute % 60);
    return 0;
}
