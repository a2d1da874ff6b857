#include "ui/Panel_Settings.h"

#include "model/UnitText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace nbr::panel {

namespace {
const char* const kWindLbl[] = {"mph", "km/h", "m/s", "knots"};
constexpr double kInchPerCm = 0.393701;
}  // namespace

int tableIndex(int value, int count) { return value >= 0 && value < count ? value : 0; }

const char* gustUnitLabel(int windUnit) { return kWindLbl[tableIndex(windUnit, 4)]; }
double gustFactor(int windUnit) { return windUnitPerKmh(windUnit); }

Threshold gustThreshold(const Config& c) {
    char label[32];
    std::snprintf(label, sizeof label, "Wind gusts over (%s)", gustUnitLabel(c.windUnit));
    return {label, c.alertGustKmh * gustFactor(c.windUnit)};
}

Threshold swingThreshold(const Config& c) {
    return {c.useFahrenheit ? "Temp swing over (F)" : "Temp swing over (C)",
            c.alertSwingC * (c.useFahrenheit ? 1.8 : 1.0)};
}

Threshold snowThreshold(const Config& c) {
    return {c.precipUnit == 0 ? "Snowfall over (in)" : "Snowfall over (cm)",
            c.alertSnowCm * (c.precipUnit == 0 ? kInchPerCm : 1.0)};
}

void setGustThreshold(Config& c, double v) {
    if (!std::isfinite(v)) return;  // "nan" or "inf" typed into the field
    c.alertGustKmh = std::min(std::max(v, 1.0) / gustFactor(c.windUnit), 300.0);
}

void setSwingThreshold(Config& c, double v) {
    if (!std::isfinite(v)) return;  // "nan" or "inf" typed into the field
    c.alertSwingC = std::min(std::max(v, 1.0) / (c.useFahrenheit ? 1.8 : 1.0), 40.0);
}

void setSnowThreshold(Config& c, double v) {
    if (!std::isfinite(v)) return;  // "nan" or "inf" typed into the field
    c.alertSnowCm = std::min(std::max(v, 0.0) / (c.precipUnit == 0 ? kInchPerCm : 1.0), 100.0);
}

int clampPollMinutes(int m) { return std::clamp(m, 5, 180); }
int clampCarouselSeconds(int s) { return std::clamp(s, 0, 120); }

SizeRequest clampWindowRequest(int w, int h) { return {std::clamp(w, 700, 4000), std::clamp(h, 500, 3000)}; }

int timeRowMinutes(int h, int m) {
    const int hours = h < 0 ? 0 : h > 23 ? 23 * 60 : h * 60;
    const int minutes = m < 0 ? 0 : m > 59 ? 59 : m;
    return hours + minutes;
}

}  // namespace nbr::panel
