// Temperatures and speeds of the weather record (degC, km/h) as text in the
// units the settings choose: the one wording the window, the tray and the
// alert texts share.
#pragma once

#include <string>

namespace nbr {

// `value` printed by `format` (one conversion of a double, such as "%.1f
// mm"). A value that rounds to zero prints as zero, never as "-0"; no
// number (an infinity or NaN) is "--".
std::string numberText(const char* format, double value);

// A temperature in the unit shown: degC as it is, or degF when `fahrenheit`.
inline double shownDegrees(double celsius, bool fahrenheit) {
    return fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

// "21C", or "70F" when `fahrenheit`; "--" for a temperature not known.
std::string temperatureText(double celsius, bool fahrenheit);

// A speed in the wind unit (0 mph, 1 km/h, 2 m/s, 3 knots; any other value
// is mph): "6 mph", "10 km/h", "2.8 m/s", "5 kn"; "--" when not known.
std::string speedText(double kmh, int windUnit);
// What one km/h is in that wind unit.
double windUnitPerKmh(int windUnit);

}  // namespace nbr
