// Positions follow the well-known low-precision method of mean orbital
// elements linear in the day number (epoch 2000 January 0.0 UT), simplified:
// the planets' inclination, semi-major axis and eccentricity are constants,
// the sun's Kepler equation is not refined, the planets get one refinement
// step, Jupiter and Saturn get no perturbation terms, and the moon keeps five
// longitude terms and one latitude term, with no distance terms and no
// parallax correction. Good to about a degree: enough for "is it up" and
// "is it visible", not for precise timings.
#include "model/SkyEvents.h"

#include "model/LastAnswer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace nbr {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
constexpr double kRad = 180.0 / kPi;

double sind(double x) { return std::sin(x * kDeg); }
double cosd(double x) { return std::cos(x * kDeg); }
double atan2d(double y, double x) { return std::atan2(y, x) * kRad; }

// Into [0, 360).
double normalise(double x) {
    double r = std::fmod(x, 360.0);
    if (r < 0) r += 360.0;
    return r >= 360.0 ? 0.0 : r;  // a tiny negative remainder rounds up to 360
}

// Into [-180, 180], as repeated steps of 360 would.
double wrap180(double x) {
    double r = std::fmod(x, 360.0);
    if (r > 180.0) r -= 360.0;
    if (r < -180.0) r += 360.0;
    return r;
}

// Days from 1999-12-31 00:00 UT.
double dayNumber(int64_t t) { return static_cast<double>(t) / 86400.0 - 10956.0; }

double obliquity(double d) { return 23.4393 - 3.563e-7 * d; }

struct Orbit {
    double v;  // true anomaly, degrees
    double r;  // distance, in the semi-major axis' unit
};

// Eccentric anomaly from M and e (degrees) with `steps` Newton refinements,
// then the position in the orbit's plane.
Orbit solveKepler(double M, double e, double a, int steps) {
    double E = M + e * kRad * sind(M) * (1.0 + e * cosd(M));
    for (int i = 0; i < steps; ++i) E = E - (E - e * kRad * sind(E) - M) / (1.0 - e * cosd(E));
    const double x = a * (cosd(E) - e);
    const double y = a * std::sqrt(1.0 - e * e) * sind(E);
    return {atan2d(y, x), std::sqrt(x * x + y * y)};
}

struct SunPosition {
    double longitude;  // geocentric ecliptic, degrees
    double x, y;       // rectangular ecliptic, AU
};

SunPosition sunLongitude(double d) {
    const double M = normalise(356.047 + 0.9856002585 * d);
    const double e = 0.016709 - 1.151e-9 * d;
    const double w = 282.9404 + 4.70935e-5 * d;
    const Orbit o = solveKepler(M, e, 1.0, 0);
    const double lon = normalise(o.v + w);
    return {lon, o.r * cosd(lon), o.r * sind(lon)};
}

struct Elements {
    const char* name;
    double N;  // longitude of the ascending node
    double i;  // inclination
    double w;  // argument of perihelion
    double a;  // semi-major axis, AU
    double e;  // eccentricity
    double M;  // mean anomaly
};

constexpr int kPlanets = 5;

void elementsAt(double d, Elements (&out)[kPlanets]) {
    out[0] = {"Mercury", 48.3313 + 3.24587e-5 * d, 7.0047, 29.1241 + 1.01444e-5 * d, 0.387098, 0.205635,
              168.6562 + 4.0923344368 * d};
    out[1] = {"Venus", 76.6799 + 2.4659e-5 * d, 3.3946, 54.891 + 1.38374e-5 * d, 0.72333, 0.006773,
              48.0052 + 1.6021302244 * d};
    out[2] = {"Mars", 49.5574 + 2.11081e-5 * d, 1.8497, 286.5016 + 2.92961e-5 * d, 1.523688, 0.093405,
              18.6021 + 0.5240207766 * d};
    out[3] = {"Jupiter", 100.4542 + 2.76854e-5 * d, 1.303, 273.8777 + 1.64505e-5 * d, 5.20256, 0.048498,
              19.895 + 0.0830853001 * d};
    out[4] = {"Saturn", 113.6634 + 2.3898e-5 * d, 2.4886, 339.3939 + 2.97661e-5 * d, 9.55475, 0.055546,
              316.967 + 0.0334442282 * d};
}

// Geocentric ecliptic longitude of a planet, degrees in [0, 360).
double planetLongitude(const Elements& el, double sunX, double sunY) {
    const Orbit o = solveKepler(normalise(el.M), el.e, el.a, 1);
    const double u = o.v + el.w;
    const double xh = o.r * (cosd(el.N) * cosd(u) - sind(el.N) * sind(u) * cosd(el.i));
    const double yh = o.r * (sind(el.N) * cosd(u) + cosd(el.N) * sind(u) * cosd(el.i));
    return normalise(atan2d(yh + sunY, xh + sunX));
}

double mercuryLongitude(double d) {
    Elements el[kPlanets];
    elementsAt(d, el);
    const SunPosition sun = sunLongitude(d);
    return planetLongitude(el[0], sun.x, sun.y);
}

// Geocentric altitude of the moon's centre, degrees.
double moonAltitude(int64_t t, double lat, double lon) {
    const double d = dayNumber(t);
    const double Ms = normalise(356.047 + 0.9856002585 * d);
    const double Ls = normalise(282.9404 + 4.70935e-5 * d + Ms);

    const double N = 125.1228 - 0.0529538083 * d;
    const double i = 5.1454;
    const double w = 318.0634 + 0.1643573223 * d;
    const double M = normalise(115.3654 + 13.0649929509 * d);
    const Orbit o = solveKepler(M, 0.0549, 60.2666, 4);
    const double u = o.v + w;
    const double xh = o.r * (cosd(N) * cosd(u) - sind(N) * sind(u) * cosd(i));
    const double yh = o.r * (sind(N) * cosd(u) + cosd(N) * sind(u) * cosd(i));
    const double zh = o.r * sind(u) * sind(i);
    double eclLon = atan2d(yh, xh);
    double eclLat = atan2d(zh, std::sqrt(xh * xh + yh * yh));

    const double Lm = normalise(N + w + M);
    const double D = Lm - Ls;
    const double F = Lm - N;
    eclLon += -1.274 * sind(M - 2 * D) + 0.658 * sind(2 * D) - 0.186 * sind(Ms) - 0.059 * sind(2 * M - 2 * D) -
              0.057 * sind(M - 2 * D + Ms);
    eclLat += -0.173 * sind(F - 2 * D);

    const double xe = cosd(eclLat) * cosd(eclLon);
    const double ye = cosd(eclLat) * sind(eclLon);
    const double ze = sind(eclLat);
    const double ecl = obliquity(d);
    const double x = xe;
    const double y = ye * cosd(ecl) - ze * sind(ecl);
    const double z = ye * sind(ecl) + ze * cosd(ecl);
    const double ra = atan2d(y, x);
    const double dec = std::asin(z) * kRad;

    const double sidereal = 280.46061837 + 360.98564736629 * static_cast<double>(t - 946728000) / 86400.0 + lon;
    const double H = normalise(sidereal - ra);
    return std::asin(sind(lat) * sind(dec) + cosd(lat) * cosd(dec) * cosd(H)) * kRad;
}

// 0001-01-01 and 9999-12-31 23:59:59 UTC: the day arithmetic stays far from
// overflow inside this range.
constexpr int64_t kFirstTime = -62135596800;
constexpr int64_t kLastTime = 253402300799;

constexpr int64_t kNewMoon2000 = 947182440;  // 2000-01-06 18:14 UTC
constexpr double kSynodicMonth = 2551442.8768992;

// Rise and set in the `minutes` minutes from `start` (Unix seconds), as
// minutes after `start`.
MoonRiseSet moonRiseSetFrom(int64_t start, int minutes, double latitude, double longitude) {
    MoonRiseSet out;
    auto h = [&](int minute) { return moonAltitude(start + 60 * int64_t{minute}, latitude, longitude) - 0.125; };
    double prev = h(0);
    for (int k = 5; k <= minutes; k += 5) {
        const double cur = h(k);
        if (prev < 0 && cur >= 0 && !out.hasRise) {
            out.hasRise = true;
            out.riseMinute = k - static_cast<int>(5.0 * cur / (cur - prev));
        }
        if (prev >= 0 && cur < 0 && !out.hasSet) {
            out.hasSet = true;
            out.setMinute = k - static_cast<int>(5.0 * cur / (cur - prev));
        }
        prev = cur;
    }
    return out;
}

constexpr const char* kPhaseNames[8] = {"New Moon",  "Waxing Crescent", "First Quarter", "Waxing Gibbous",
                                        "Full Moon", "Waning Gibbous",  "Last Quarter",  "Waning Crescent"};

}  // namespace

MoonInfo computeMoon(int64_t t) {
    double r = std::fmod(static_cast<double>(t) - static_cast<double>(kNewMoon2000), kSynodicMonth);
    if (r < 0) r += kSynodicMonth;
    double phase = r / kSynodicMonth;
    if (!(phase >= 0.0 && phase < 1.0)) phase = 0.0;  // rounding at the month's end
    MoonInfo m;
    m.phase = phase;
    m.illumination = (1.0 - std::cos(2.0 * kPi * phase)) / 2.0;
    m.waxing = phase < 0.5;
    m.phaseIndex = static_cast<int>(std::lround(8.0 * phase) % 8);
    m.phaseName = kPhaseNames[m.phaseIndex];
    return m;
}

MoonRiseSet moonRiseSet(int64_t t, double latitude, double longitude, const OffsetAt& offsetAt) {
    if (t < kFirstTime || t > kLastTime) return {};
    const int64_t local = t + offsetAt(t);
    int64_t day = local / 86400;
    if (local % 86400 < 0) --day;  // floor toward minus infinity
    const int64_t midnight = day * 86400;  // on the place's clock
    // The day runs from one midnight to the next: 23 or 25 hours when the
    // clock changes that day.
    const int64_t start = unixOfLocal(midnight, offsetAt), end = unixOfLocal(midnight + 86400, offsetAt);
    const int minutes = static_cast<int>(std::clamp<int64_t>((end - start) / 60, 0, 2 * 1440));
    // The sky card asks every frame for the same day and place: the search
    // (289 positions of the moon) runs once per day and place.
    thread_local LastAnswer<MoonRiseSet> last;
    MoonRiseSet out = last.get(InputKey(start, minutes, latitude, longitude),
                               [&] { return moonRiseSetFrom(start, minutes, latitude, longitude); });
    // Each time as the clock reads it then, with the offset in force at it.
    const auto clockMinute = [&](int elapsed) {
        const int64_t at = start + 60 * int64_t{elapsed};
        return static_cast<int>((at + offsetAt(at) - midnight) / 60);
    };
    if (out.hasRise) out.riseMinute = clockMinute(out.riseMinute);
    if (out.hasSet) out.setMinute = clockMinute(out.setMinute);
    return out;
}

MoonRiseSet moonRiseSet(int64_t t, double latitude, double longitude, int utcOffsetSeconds) {
    return moonRiseSet(t, latitude, longitude, fixedOffset(utcOffsetSeconds));
}

std::vector<VisiblePlanet> visiblePlanets(int64_t t) {
    const double d = dayNumber(t);
    const SunPosition sun = sunLongitude(d);
    Elements el[kPlanets];
    elementsAt(d, el);
    std::vector<VisiblePlanet> out;
    for (int p = 0; p < kPlanets; ++p) {
        const double elongation = wrap180(planetLongitude(el[p], sun.x, sun.y) - sun.longitude);
        if (!(std::fabs(elongation) >= 15.0)) continue;
        VisiblePlanet v;
        v.name = el[p].name;
        v.evening = elongation > 0;
        v.nearOpposition = p >= 2 && std::fabs(elongation) > 150.0;  // Mars, Jupiter, Saturn
        out.push_back(v);
    }
    return out;
}

bool mercuryRetrograde(int64_t t) {
    const double d = dayNumber(t);
    return wrap180(mercuryLongitude(d + 2.0) - mercuryLongitude(d)) < 0;
}

// ---- Meteor showers and aurora ---------------------------------------------

namespace {

constexpr MeteorShower kShowers[] = {
    {"Quadrantids", 1228, 104, 112, 110},  {"Lyrids", 416, 422, 425, 18},
    {"Eta Aquariids", 419, 506, 528, 50},  {"Delta Aquariids", 712, 730, 823, 25},
    {"Perseids", 717, 812, 824, 100},      {"Draconids", 1006, 1008, 1010, 10},
    {"Orionids", 1002, 1021, 1107, 20},    {"Leonids", 1106, 1117, 1130, 15},
    {"Geminids", 1204, 1214, 1217, 120},   {"Ursids", 1217, 1222, 1226, 10},
};

// Day of the year of a month * 100 + day date in a common year; 29 February
// and 1 March are both day 60.
int dayOfYear(int mmdd) {
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int month = mmdd / 100;
    return mmdd % 100 + kBefore[std::clamp(month, 1, 12) - 1];
}

}  // namespace

std::vector<ActiveShower> activeMeteorShowers(int64_t t, int utcOffsetSeconds) {
    std::vector<ActiveShower> out;
    if (t < kFirstTime || t > kLastTime) return out;
    using namespace std::chrono;
    const year_month_day date{floor<days>(sys_seconds{seconds{t + utcOffsetSeconds}})};
    const int today = static_cast<int>(static_cast<unsigned>(date.month())) * 100 +
                      static_cast<int>(static_cast<unsigned>(date.day()));
    for (const MeteorShower& s : kShowers) {
        const bool active =
            s.start <= s.end ? (s.start <= today && today <= s.end) : (today >= s.start || today <= s.end);
        if (!active) continue;
        int days = dayOfYear(s.peak) - dayOfYear(today);
        if (days >= 183) days -= 365;
        if (days < -182) days += 365;
        ActiveShower a;
        a.name = s.name;
        a.daysFromPeak = days;
        a.nearPeak = std::abs(days) <= 2;
        a.zhr = s.zhr;
        out.push_back(a);
    }
    std::stable_sort(out.begin(), out.end(), [](const ActiveShower& a, const ActiveShower& b) {
        return std::abs(a.daysFromPeak) < std::abs(b.daysFromPeak);
    });
    return out;
}

AuroraChance auroraChance(double kp, double latitude) {
    if (!(kp >= 0) || std::isnan(latitude)) return AuroraChance::Unknown;
    const double boundary = 67.0 - 2.0 * kp;
    const double absLat = std::fabs(latitude);
    if (absLat >= boundary) return AuroraChance::Likely;
    if (absLat >= boundary - 3.0) return AuroraChance::Possible;
    return AuroraChance::Unlikely;
}

const char* auroraChanceLabel(AuroraChance chance) {
    switch (chance) {
        case AuroraChance::Unlikely: return "Unlikely";
        case AuroraChance::Possible: return "Possible";
        case AuroraChance::Likely: return "Likely";
        default: return "--";
    }
}

}  // namespace nbr
