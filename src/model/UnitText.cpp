#include "model/UnitText.h"

#include "model/WeatherTypes.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace nbr {

namespace {

struct WindUnit {
    const char* format;
    double perKmh;
};

constexpr WindUnit kWindUnits[] = {
    {"%.0f mph", 0.621371}, {"%.0f km/h", 1.0}, {"%.1f m/s", 1.0 / 3.6}, {"%.0f kn", 1.0 / 1.852}};

const WindUnit& windUnitOf(int windUnit) { return kWindUnits[windUnit >= 1 && windUnit <= 3 ? windUnit : 0]; }

}  // namespace

std::string numberText(const char* format, double value) {
    // A temperature near the largest double, made Fahrenheit: "--", never
    // "inf" or "nan".
    if (!std::isfinite(value)) return "--";
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    const size_t number = std::strspn(buf + 1, "0123456789.");
    if (buf[0] == '-' && number > 0 && std::strspn(buf + 1, "0.") == number)
        std::snprintf(buf, sizeof buf, format, 0.0);
    return buf;
}

std::string temperatureText(double celsius, bool fahrenheit) {
    if (!knownTemperature(celsius)) return "--";
    return numberText(fahrenheit ? "%.0fF" : "%.0fC", shownDegrees(celsius, fahrenheit));
}

std::string speedText(double kmh, int windUnit) {
    if (!knownAmount(kmh)) return "--";
    const WindUnit& unit = windUnitOf(windUnit);
    return numberText(unit.format, kmh * unit.perKmh);
}

double windUnitPerKmh(int windUnit) { return windUnitOf(windUnit).perKmh; }

}  // namespace nbr
