// Satellite orbits: two-line element sets, the near-Earth SGP4 propagator,
// look angles from a place, the sun's position and the Earth's shadow, and the
// search for passes over a place. Everything here is pure and thread-safe.
//
// Frames and units: positions are in the TEME inertial frame of SGP4, in km
// and km/s; times are Julian dates (UTC used as UT1) or minutes since the
// element-set epoch; latitudes and longitudes in degrees, north and east
// positive.
#pragma once

#include "model/WeatherTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nbr {

struct Tle {
    bool valid = false;
    double epochJd = 0;  // Julian date of the epoch
    double inclinationDeg = 0;
    double raanDeg = 0;
    double eccentricity = 0;
    double argPerigeeDeg = 0;
    double meanAnomalyDeg = 0;
    double meanMotion = 0;  // revolutions per day
    double bstar = 0;       // drag term, per Earth radius
    double ndot = 0;        // as written in line 1; not used
};

// Reads the standard two-line layout by fixed columns ('.' as the decimal
// point whatever the locale). Lines too short or of the wrong kind give an
// all-zero set; a set outside the accepted ranges (an epoch outside the
// years 1957-2100 among them), or with a field that reads as infinity or
// not-a-number, keeps its fields with valid false.
Tle parseTle(const std::string& line1, const std::string& line2);

// Julian date of a Unix time in seconds.
double jdFromEpoch(int64_t t);

// Propagates the set to `minutesSinceEpoch`; true with position (km) and
// velocity (km/s) written, false with both untouched when the set is invalid,
// the orbit decays or the theory breaks down, or the time is not finite.
bool sgp4Propagate(const Tle& tle, double minutesSinceEpoch, double position[3],
                   double velocity[3]);

// Greenwich mean sidereal time in radians, 0 up to 2 pi.
double gstime(double jd);

// Azimuth (north 0, east 90) and elevation in degrees and range in km of an
// inertial position seen from a place on the ellipsoid at height 0.
void lookAngles(const double position[3], double jd, double lat, double lon, double& azimuth,
                double& elevation, double& rangeKm);

// The sun's position in km, in the same axes as the propagator's output.
void sunEci(double jd, double out[3]);

// Whether a satellite is outside the Earth's cylindrical shadow.
bool satSunlit(const double satellite[3], const double sun[3]);

// The sun's elevation in degrees at a place.
double sunElevationDeg(double jd, double lat, double lon);

// Passes above 10 degrees over a place within `hours` from `start` (Unix
// seconds), sampled every 30 seconds; at most 40, in time order.
std::vector<IssPass> findPasses(const Tle& tle, double lat, double lon, int64_t start, int hours);

}  // namespace nbr
