// Low-precision sky computations for the sky card and the day scores: moon
// phase, moonrise and moonset, the bright planets' visibility, Mercury's
// retrograde motion, active meteor showers and the aurora chance. Times are
// Unix seconds (UTC); angles are degrees, latitude north and longitude east
// positive. Nothing here keeps state a caller could see (the moonrise search
// remembers its last answer, per thread).
#pragma once

#include "model/Dates.h"

#include <cstdint>
#include <vector>

namespace nbr {

struct MoonInfo {
    double phase = 0;         // fraction of the synodic month since new moon, [0, 1)
    double illumination = 0;  // lit fraction of the disc, 0..1
    bool waxing = true;       // phase below 0.5
    int phaseIndex = 0;       // phase in eighths, 0 new moon .. 7; the moon atlas cell
    const char* phaseName = "New Moon";
};

// Minutes after local midnight; false and 0 when the day has no such event.
struct MoonRiseSet {
    bool hasRise = false;
    bool hasSet = false;
    int riseMinute = 0;
    int setMinute = 0;
};

struct VisiblePlanet {
    const char* name = "";      // "Mercury", "Venus", "Mars", "Jupiter" or "Saturn"
    bool evening = false;       // east of the sun: seen after sunset
    bool nearOpposition = false;  // Mars, Jupiter, Saturn more than 150 degrees from the sun
};

// One row of the built-in shower table. Dates are month * 100 + day.
struct MeteorShower {
    const char* name;
    int start;
    int peak;
    int end;
    int zhr;  // zenithal hourly rate
};

struct ActiveShower {
    const char* name = "";
    bool nearPeak = false;  // within two days of the peak
    int daysFromPeak = 0;   // peak day minus today, -182..182; negative after the peak
    int zhr = 0;
};

enum class AuroraChance : int { Unknown = 0, Unlikely = 1, Possible = 2, Likely = 3 };

MoonInfo computeMoon(int64_t t);

// Rise and set of the moon on the place's calendar day that contains t, as
// its clock reads them: each time with the offset in force at it, so a day
// on which the clock changes is 23 or 25 hours long. Nothing is found for
// times outside the years 1 to 9999.
MoonRiseSet moonRiseSet(int64_t t, double latitude, double longitude, const OffsetAt& offsetAt);
// The same at a fixed offset from UTC, in seconds.
MoonRiseSet moonRiseSet(int64_t t, double latitude, double longitude, int utcOffsetSeconds);

// Planets at least 15 degrees from the sun, in the order Mercury, Venus, Mars,
// Jupiter, Saturn.
std::vector<VisiblePlanet> visiblePlanets(int64_t t);

bool mercuryRetrograde(int64_t t);

// Showers active on the place's date at t (its clock `utcOffsetSeconds` ahead
// of UTC then), nearest peak first; equal distances keep table order.
std::vector<ActiveShower> activeMeteorShowers(int64_t t, int utcOffsetSeconds);

// Unknown for a negative (missing) or NaN K index, or a NaN latitude.
AuroraChance auroraChance(double kp, double latitude);
// "Unlikely", "Possible", "Likely"; "--" for anything else.
const char* auroraChanceLabel(AuroraChance chance);

}  // namespace nbr
