// Numbers with units and clock texts in the user's settings.
#include "ui/UIRenderer.h"

#include <cstdio>

namespace nbr {

namespace {
std::string print(const char* fmt, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}
}  // namespace

std::string formatTemp(const Config& config, double c) {
    return config.useFahrenheit ? print("%.0fF", c * 9.0 / 5.0 + 32.0) : print("%.0fC", c);
}

std::string formatTempDelta(const Config& config, double d) {
    return print("%+.1f", config.useFahrenheit ? d * 1.8 : d);
}

std::string formatSpeed(const Config& config, double kmh) {
    switch (config.windUnit) {
    case 1: return print("%.0f km/h", kmh);
    case 2: return print("%.1f m/s", kmh / 3.6);
    case 3: return print("%.0f kn", kmh / 1.852);
    default: return print("%.0f mph", kmh * 0.621371);
    }
}

std::string formatPrecip(const Config& config, double mm) {
    return config.precipUnit == 0 ? print("%.2f in", mm * 0.0393701) : print("%.1f mm", mm);
}

std::string formatSnow(const Config& config, double cm) {
    return config.precipUnit == 0 ? print("%.1f in", cm * 0.393701) : print("%.1f cm", cm);
}

std::string formatPressure(const Config& config, double hPa) {
    return config.pressureUnit == 0 ? print("%.2f inHg", hPa * 0.0295299830714) : print("%.0f hPa", hPa);
}

std::string formatVisibility(const Config& config, double m) {
    return config.windUnit == 0 ? print("%.0f mi", m / 1609.344) : print("%.0f km", m / 1000.0);
}

std::string UIRenderer::formatTemp(double c) const { return nbr::formatTemp(config, c); }
std::string UIRenderer::formatTempDelta(double d) const { return nbr::formatTempDelta(config, d); }
std::string UIRenderer::formatSpeed(double kmh) const { return nbr::formatSpeed(config, kmh); }
std::string UIRenderer::formatPrecip(double mm) const { return nbr::formatPrecip(config, mm); }
std::string UIRenderer::formatSnow(double cm) const { return nbr::formatSnow(config, cm); }
std::string UIRenderer::formatPressure(double hPa) const { return nbr::formatPressure(config, hPa); }
std::string UIRenderer::formatVisibility(double m) const { return nbr::formatVisibility(config, m); }

std::string clockHM(int hour, int minute, bool use24) {
    char buf[16];
    if (use24) {
        std::snprintf(buf, sizeof buf, "%02d:%02d", hour, minute);
    } else {
        const int h12 = hour % 12 == 0 ? 12 : hour % 12;
        std::snprintf(buf, sizeof buf, "%d:%02d %s", h12, minute, hour < 12 ? "AM" : "PM");
    }
    return buf;
}

std::string formatClock(const std::string& iso, bool use24) {
    int h = 0, m = 0;
    if (iso.size() < 16 || std::sscanf(iso.c_str() + 11, "%d:%d", &h, &m) != 2) return {};
    return clockHM(h, m, use24);
}

}  // namespace nbr
