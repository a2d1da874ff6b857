// The built-in table of the 88 constellations behind the constellation guide,
// with the best-viewing and hemisphere rules and the conversion of a point of
// the sky to altitude and azimuth at a place. Pure; the table is built once.
#pragma once

#include <cstdint>
#include <vector>

namespace nbr {

struct Constellation {
    const char* name;     // "Andromeda"
    const char* meaning;  // plain meaning with article, "the Chained Princess"
    int row;              // picture cell in its atlas image
    int col;
    int bestFromMonth;  // best-viewing months 1..12, inclusive; the range wraps
    int bestToMonth;    // the year when from > to
    char hemisphere;    // 'N', 'S' or 'B' (both)
    double raHours;     // right ascension of the figure's centre
    double decDeg;      // declination of the centre
    const char* findingTip;   // one line on how to find it
    const char* articleSlug;  // encyclopedia title as used in a URL path (already encoded)
    int atlas;                // 0 or 1: which atlas image holds the picture
};

// Altitude above the horizon and azimuth (north 0, east 90), in degrees.
struct AltAz {
    double altitude = 0;
    double azimuth = 0;
};

// All 88 rows in table order; the same vector on every call.
const std::vector<Constellation>& constellations();

// Whether `month` (1..12) lies in the row's best-viewing range.
bool constellationBestIn(const Constellation& c, int month);

// Whether the row suits an observer at `latitude`; the equator counts as
// northern.
bool constellationInHemisphere(const Constellation& c, double latitude);

// Where the point (raHours, decDeg) stands in the sky of the place (lat, lon)
// at Unix time t, from the mean sidereal time.
AltAz radecToAltAz(double raHours, double decDeg, int64_t t, double lat, double lon);

}  // namespace nbr
