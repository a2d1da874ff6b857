// Numbers with units and clock texts in the user's settings.
#include "model/Dates.h"
#include "model/PlaceClock.h"
#include "model/UnitText.h"
#include "model/WeatherCodes.h"
#include "model/WeatherTypes.h"
#include "ui/UIRenderer.h"
#include "ui/Units.h"

#include <cstdio>
#include <optional>

namespace nbr {

namespace units {

// A value the service did not give (the record's marker) prints as "--".
std::string temp(const Config& c, double celsius) { return temperatureText(celsius, c.useFahrenheit); }

std::string tempDelta(const Config& c, double d) { return numberText("%+.1f", c.useFahrenheit ? d * 1.8 : d); }

std::string speed(const Config& c, double kmh) { return speedText(kmh, c.windUnit); }

namespace {
// `mm` in the precipitation unit, printed by `inches` or `millimetres` (the
// formats of numberText): amounts and their changes share the one rule.
std::string inPrecipUnit(const Config& c, double mm, const char* inches, const char* millimetres) {
    return c.precipUnit != 1 ? numberText(inches, mm * 0.0393701) : numberText(millimetres, mm);
}
}  // namespace

// A unit setting outside its table reads as the table's first entry, as the
// settings file's own rules have it: inches, inHg, and miles with mph.
std::string precip(const Config& c, double mm) {
    if (!knownAmount(mm)) return "--";
    return inPrecipUnit(c, mm, "%.2f in", "%.1f mm");
}

std::string precipDelta(const Config& c, double d) {
    if (!knownChange(d)) return "--";
    return inPrecipUnit(c, d, "%+.2f in", "%+.1f mm");
}

std::string snow(const Config& c, double cm) {
    if (!knownAmount(cm)) return "--";
    return c.precipUnit != 1 ? numberText("%.1f in", cm * 0.393701) : numberText("%.1f cm", cm);
}

std::string pressure(const Config& c, double hPa) {
    if (!knownAmount(hPa)) return "--";
    return c.pressureUnit != 1 ? numberText("%.2f inHg", hPa * 0.0295299830714) : numberText("%.0f hPa", hPa);
}

std::string visibility(const Config& c, double m) {
    if (!knownAmount(m)) return "--";
    const bool mph = c.windUnit < 1 || c.windUnit > 3;
    return mph ? numberText("%.0f mi", m / 1609.344) : numberText("%.0f km", m / 1000.0);
}

std::string chance(double percent) { return knownAmount(percent) ? numberText("%.0f%%", percent) : "--"; }

std::string wind(const Config& c, double kmh, double degrees) {
    const std::string s = speed(c, kmh);
    return knownAmount(degrees) && knownAmount(kmh) ? s + " " + windDirectionToString(degrees) : s;
}

}  // namespace units

std::string UIRenderer::formatTemp(double c) const { return units::temp(config, c); }
std::string UIRenderer::formatTempDelta(double d) const { return units::tempDelta(config, d); }
std::string UIRenderer::formatSpeed(double kmh) const { return units::speed(config, kmh); }
std::string UIRenderer::formatPrecip(double mm) const { return units::precip(config, mm); }
std::string UIRenderer::formatSnow(double cm) const { return units::snow(config, cm); }
std::string UIRenderer::formatPressure(double hPa) const { return units::pressure(config, hPa); }
std::string UIRenderer::formatVisibility(double m) const { return units::visibility(config, m); }

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

namespace {

// The hours and minutes written in "YYYY-MM-DDTHH:MM..."; false without them.
bool clockOf(const std::string& iso, int& hour, int& minute) {
    return iso.size() >= 16 && std::sscanf(iso.c_str() + 11, "%d:%d", &hour, &minute) == 2;
}

}  // namespace

std::string formatClock(const std::string& iso, bool use24) {
    int h = 0, m = 0;
    return clockOf(iso, h, m) ? clockHM(h, m, use24) : std::string();
}

std::string formatPlaceClock(const std::string& iso, const PlaceClock& clock, bool use24) {
    int h = 0, m = 0;
    if (!clockOf(iso, h, m)) return {};
    const std::optional<int> zone = isoZoneOffset(iso);
    if (!zone) return clockHM(h, m, use24);
    // The instant written, read on the place's clock.
    int year = 0, month = 0, day = 0;
    int64_t written = 0;
    if (!parseIsoDate(iso, year, month, day) || !utcSecondsOf(year, month, day, h, m, 0, written)) return {};
    const int minute = clock.minuteOfDay(written - *zone);
    return clockHM(minute / 60, minute % 60, use24);
}

std::string clockAndDate(const PlaceClock& clock, int64_t t, bool use24) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int year = 0, month = 0, day = 0;
    if (!parseIsoDate(clock.dateOf(t), year, month, day)) return {};
    const int minute = clock.minuteOfDay(t);
    return clockHM(minute / 60, minute % 60, use24) + ", " + kMonths[month - 1] + " " + std::to_string(day);
}

}  // namespace nbr
