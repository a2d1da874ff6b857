// Values of the weather record (degC, km/h, mm, cm, hPa, m) as text in the
// units the settings ask for; a value the record marks as not known is "--".
// The renderer's formatters and the panels' text functions both print
// through these; so do the clock texts.
#pragma once

#include "foundation/Config.h"
#include "model/PlaceClock.h"

#include <string>

namespace nbr::units {

std::string temp(const Config& c, double celsius);
std::string tempDelta(const Config& c, double celsiusDelta);
std::string speed(const Config& c, double kmh);
std::string precip(const Config& c, double mm);
// A change of an amount, signed as tempDelta signs one ("+0.0 mm" where it
// rounds to none); "--" when the change is not known (knownChange).
std::string precipDelta(const Config& c, double mmDelta);
std::string snow(const Config& c, double cm);
std::string pressure(const Config& c, double hPa);
std::string visibility(const Config& c, double metres);
// A percentage (a chance, humidity, cloud cover); "--" when the forecast gave
// none (negative).
std::string chance(double percent);
// "12 mph SW": the speed and the compass point it blows from; the speed alone
// when the direction is not known, "--" when the speed is not.
std::string wind(const Config& c, double kmh, double degrees);

}  // namespace nbr::units

namespace nbr {

// "HH:MM" with use24, else "H:MM AM" / "H:MM PM".
std::string clockHM(int hour, int minute, bool use24);
// The clock text of the time in a local "YYYY-MM-DDTHH:MM" string; empty when
// the string holds no time.
std::string formatClock(const std::string& isoLocal, bool use24);
// The same for an ISO time at a place: a time with a zone suffix ("Z",
// "-05:00") is read on the place's clock at that instant; one without is the
// place's own time and reads as written.
std::string formatPlaceClock(const std::string& iso, const PlaceClock& clock, bool use24);
// "10:00 PM, Mar 27" ("22:00, Mar 27" with use24): the instant `t` on `clock`.
std::string clockAndDate(const PlaceClock& clock, int64_t t, bool use24);

}  // namespace nbr
