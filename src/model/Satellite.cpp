// The propagator is the near-Earth SGP4 theory in its corrected 2006 form
// (Vallado, Crawford, Hujsak and Kelso, "Revisiting Spacetrack Report #3"),
// with the WGS-72 constants the element sets are fitted with. Choices made
// here: there is no deep-space branch, so every orbit uses the near-Earth
// equations whatever its period; the initialisation is recomputed on every
// call, so nothing is cached; and any state the theory cannot continue from
// (perigee inside the Earth, eccentricity out of range, negative semi-latus
// rectum, radius below the Earth's) is reported as a failure.
#include "model/Satellite.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace nbr {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDeg = kPi / 180.0;

// WGS-72.
constexpr double kEarthRadiusKm = 6378.135;
constexpr double kKe = 0.07436691613317342;  // Earth radii^1.5 per minute
constexpr double kJ2 = 0.001082616;
constexpr double kJ4 = -0.00000165597;
constexpr double kJ3OverJ2 = -0.002345069720011528;
constexpr double kVelocityUnit = 7.905370510517634;  // km/s per Earth radius per ke
constexpr double kE2 = 0.006694317778266723;         // ellipsoid eccentricity squared
constexpr double kMinutesPerDay = 1440.0;

constexpr double kJdUnixEpoch = 2440587.5;
// Element sets exist from the first satellite on; an epoch outside 1957-2100
// is a misread field, and its time would not fit the pass search's seconds.
constexpr double kJdFirstEpoch = 2435839.5;  // 1957-01-01 00:00 UTC
constexpr double kJdEpochsEnd = 2488434.5;   // 2101-01-01 00:00 UTC
constexpr double kJdJ2000 = 2451545.0;
constexpr double kAuKm = 149597870.7;

// ---- Element-set fields ------------------------------------------------------

// The decimal value of columns [offset, offset + length) read the way atof
// reads text (leading blanks and a '+' skipped, as much of a number as is
// there, 0 when none), but always with '.' as the decimal point whatever the
// process locale.
double field(const std::string& line, std::size_t offset, std::size_t length) {
    if (offset >= line.size()) return 0;
    const char* p = line.data() + offset;
    const char* end = line.data() + std::min(line.size(), offset + length);
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    double value = 0;
    auto [next, ec] = std::from_chars(p, end, value);
    (void)next;
    return ec == std::errc() ? value : 0.0;
}

// The implied-decimal field of B*: an optional sign, mantissa digits read as
// following "0.", then a signed exponent of ten; other characters are skipped.
double impliedDecimal(const std::string& line, std::size_t offset, std::size_t length) {
    const std::size_t end = std::min(line.size(), offset + length);
    std::size_t i = offset;
    while (i < end && line[i] == ' ') ++i;
    double sign = 1;
    if (i < end && (line[i] == '-' || line[i] == '+')) {
        if (line[i] == '-') sign = -1;
        ++i;
    }
    std::string mantissa = "0.";
    int exponent = 0;
    for (; i < end; ++i) {
        const char c = line[i];
        if (c >= '0' && c <= '9') {
            mantissa += c;
        } else if (c == '+' || c == '-') {
            exponent = std::atoi(line.substr(i, end - i).c_str());
            break;
        }
    }
    if (mantissa.size() == 2) return 0;
    double value = 0;
    std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), value);
    return sign * value * std::pow(10.0, exponent);
}

// ---- SGP4 --------------------------------------------------------------------

// Everything the theory derives from the element set before it looks at time.
struct NearEarthModel {
    // Mean elements at epoch (radians, Earth radii, radians per minute).
    double incl, node0, ecc, argp0, m0;
    double n0;  // Brouwer mean motion
    double bstar;
    // Secular rates.
    double mdot, argpdot, nodedot;
    // Drag.
    bool simplified;
    double cc1, cc4, cc5, d2, d3, d4, t2cof, t3cof, t4cof, t5cof;
    double omgcof, xmcof, nodecf, eta, delmo, sinmao;
    // Long- and short-period terms.
    double xlcof, aycof, con41, x1mth2, x7thm1;
};

bool initialise(const Tle& tle, NearEarthModel& m) {
    m.incl = tle.inclinationDeg * kDeg;
    m.node0 = tle.raanDeg * kDeg;
    m.ecc = tle.eccentricity;
    m.argp0 = tle.argPerigeeDeg * kDeg;
    m.m0 = tle.meanAnomalyDeg * kDeg;
    m.bstar = tle.bstar;
    const double kozai = tle.meanMotion * kTwoPi / kMinutesPerDay;

    const double cosi = std::cos(m.incl);
    const double sini = std::sin(m.incl);
    const double cos2 = cosi * cosi;
    const double beta2 = 1.0 - m.ecc * m.ecc;  // 1 - e^2
    const double beta = std::sqrt(beta2);

    // Recover the Brouwer mean motion and semi-major axis from the Kozai mean
    // motion of the element set.
    const double a1 = std::pow(kKe / kozai, 2.0 / 3.0);
    const double k = 0.75 * kJ2 * (3.0 * cos2 - 1.0) / (beta * beta2);
    double delta = k / (a1 * a1);
    const double adel =
        a1 * (1.0 - delta * delta - delta * (1.0 / 3.0 + 134.0 * delta * delta / 81.0));
    delta = k / (adel * adel);
    m.n0 = kozai / (1.0 + delta);
    const double a0 = std::pow(kKe / m.n0, 2.0 / 3.0);

    const double perigee = a0 * (1.0 - m.ecc);  // Earth radii from the centre
    if (perigee < 1.0) return false;
    const double perigeeKm = (perigee - 1.0) * kEarthRadiusKm;
    m.simplified = perigee < 1.0 + 220.0 / kEarthRadiusKm;

    // Density function parameter s and (q0 - s)^4, in Earth radii.
    double s = 1.0122292801892716;
    double q0s4 = 1.880279159015271e-9;
    if (perigeeKm < 156.0) {
        const double sKm = perigeeKm < 98.0 ? 20.0 : perigeeKm - 78.0;
        q0s4 = std::pow((120.0 - sKm) / kEarthRadiusKm, 4.0);
        s = 1.0 + sKm / kEarthRadiusKm;
    }

    const double p0 = a0 * beta2;
    const double p0sq = p0 * p0;
    const double xi = 1.0 / (a0 - s);
    m.eta = a0 * m.ecc * xi;
    const double eta2 = m.eta * m.eta;
    const double eeta = m.ecc * m.eta;
    const double psi2 = std::fabs(1.0 - eta2);
    const double coef = q0s4 * std::pow(xi, 4.0);
    const double coef1 = coef / std::pow(psi2, 3.5);

    m.con41 = 3.0 * cos2 - 1.0;
    m.x1mth2 = 1.0 - cos2;
    m.x7thm1 = 7.0 * cos2 - 1.0;

    const double c2 =
        coef1 * m.n0 *
        (a0 * (1.0 + 1.5 * eta2 + eeta * (4.0 + eta2)) +
         0.375 * kJ2 * xi / psi2 * m.con41 * (8.0 + 3.0 * eta2 * (8.0 + eta2)));
    m.cc1 = m.bstar * c2;
    const double c3 =
        m.ecc > 1.0e-4 ? -2.0 * coef * xi * kJ3OverJ2 * m.n0 * sini / m.ecc : 0.0;
    m.cc4 = 2.0 * m.n0 * coef1 * a0 * beta2 *
            (m.eta * (2.0 + 0.5 * eta2) + m.ecc * (0.5 + 2.0 * eta2) -
             kJ2 * xi / (a0 * psi2) *
                 (-3.0 * m.con41 * (1.0 - 2.0 * eeta + eta2 * (1.5 - 0.5 * eeta)) +
                  0.75 * m.x1mth2 * (2.0 * eta2 - eeta * (1.0 + eta2)) * std::cos(2.0 * m.argp0)));
    m.cc5 = 2.0 * coef1 * a0 * beta2 * (1.0 + 2.75 * (eta2 + eeta) + eeta * eta2);

    // Secular rates of the mean anomaly, perigee and node from J2 and J4.
    const double cos4 = cos2 * cos2;
    const double t1 = 1.5 * kJ2 / p0sq * m.n0;
    const double t2 = 0.5 * t1 * kJ2 / p0sq;
    const double t3 = -0.46875 * kJ4 / (p0sq * p0sq) * m.n0;
    m.mdot = m.n0 + 0.5 * t1 * beta * m.con41 +
             0.0625 * t2 * beta * (13.0 - 78.0 * cos2 + 137.0 * cos4);
    m.argpdot = -0.5 * t1 * (1.0 - 5.0 * cos2) +
                0.0625 * t2 * (7.0 - 114.0 * cos2 + 395.0 * cos4) +
                t3 * (3.0 - 36.0 * cos2 + 49.0 * cos4);
    const double nodeJ2 = -t1 * cosi;
    m.nodedot = nodeJ2 + (0.5 * t2 * (4.0 - 19.0 * cos2) + 2.0 * t3 * (3.0 - 7.0 * cos2)) * cosi;

    m.omgcof = m.bstar * c3 * std::cos(m.argp0);
    m.xmcof = m.ecc > 1.0e-4 ? -2.0 / 3.0 * coef * m.bstar / eeta : 0.0;
    m.nodecf = 3.5 * beta2 * nodeJ2 * m.cc1;
    m.t2cof = 1.5 * m.cc1;

    double onePlusCos = 1.0 + cosi;
    if (std::fabs(onePlusCos) <= 1.5e-12) onePlusCos = 1.5e-12;
    m.xlcof = -0.25 * kJ3OverJ2 * sini * (3.0 + 5.0 * cosi) / onePlusCos;
    m.aycof = -0.5 * kJ3OverJ2 * sini;
    m.delmo = std::pow(1.0 + m.eta * std::cos(m.m0), 3.0);
    m.sinmao = std::sin(m.m0);

    m.d2 = m.d3 = m.d4 = m.t3cof = m.t4cof = m.t5cof = 0;
    if (!m.simplified) {
        const double cc1sq = m.cc1 * m.cc1;
        m.d2 = 4.0 * a0 * xi * cc1sq;
        const double temp = m.d2 * xi * m.cc1 / 3.0;
        m.d3 = (17.0 * a0 + s) * temp;
        m.d4 = 0.5 * temp * a0 * xi * (221.0 * a0 + 31.0 * s) * m.cc1;
        m.t3cof = m.d2 + 2.0 * cc1sq;
        m.t4cof = 0.25 * (3.0 * m.d3 + m.cc1 * (12.0 * m.d2 + 10.0 * cc1sq));
        m.t5cof = 0.2 * (3.0 * m.d4 + 12.0 * m.cc1 * m.d3 + 6.0 * m.d2 * m.d2 +
                         15.0 * cc1sq * (2.0 * m.d2 + cc1sq));
    }
    return true;
}

bool propagate(const NearEarthModel& m, double t, double position[3], double velocity[3]) {
    // Secular gravity and drag.
    const double mdf = m.m0 + m.mdot * t;
    const double argpdf = m.argp0 + m.argpdot * t;
    const double nodedf = m.node0 + m.nodedot * t;
    const double t2 = t * t;
    double node = nodedf + m.nodecf * t2;
    double mean = mdf;
    double argp = argpdf;
    double tempa = 1.0 - m.cc1 * t;
    double tempe = m.bstar * m.cc4 * t;
    double templ = m.t2cof * t2;
    if (!m.simplified) {
        const double delomg = m.omgcof * t;
        const double delm = m.xmcof * (std::pow(1.0 + m.eta * std::cos(mdf), 3.0) - m.delmo);
        mean = mdf + delomg + delm;
        argp = argpdf - delomg - delm;
        const double t3 = t2 * t;
        const double t4 = t3 * t;
        tempa -= m.d2 * t2 + m.d3 * t3 + m.d4 * t4;
        tempe += m.bstar * m.cc5 * (std::sin(mean) - m.sinmao);
        templ += m.t3cof * t3 + t4 * (m.t4cof + t * m.t5cof);
    }

    const double a = std::pow(kKe / m.n0, 2.0 / 3.0) * tempa * tempa;
    const double n = kKe / std::pow(a, 1.5);
    double e = m.ecc - tempe;
    if (!(e < 1.0) || e < -0.001 || a < 0.95) return false;
    if (e < 1.0e-6) e = 1.0e-6;

    mean += m.n0 * templ;
    double lon = std::fmod(mean + argp + node, kTwoPi);
    node = std::fmod(node, kTwoPi);
    argp = std::fmod(argp, kTwoPi);
    mean = std::fmod(lon - argp - node, kTwoPi);

    // Long-period periodics.
    const double axn = e * std::cos(argp);
    double temp = 1.0 / (a * (1.0 - e * e));
    const double ayn = e * std::sin(argp) + temp * m.aycof;
    lon = mean + argp + node + temp * m.xlcof * axn;

    // Kepler's equation for the eccentric longitude E + argp.
    const double u = std::fmod(lon - node, kTwoPi);
    double ecl = u;
    double sinE = 0;
    double cosE = 0;
    for (int i = 0; i < 10; ++i) {
        sinE = std::sin(ecl);
        cosE = std::cos(ecl);
        double step = (u - ayn * cosE + axn * sinE - ecl) / (1.0 - cosE * axn - sinE * ayn);
        if (std::fabs(step) >= 0.95) {
            step = step > 0 ? 0.95 : -0.95;
        } else if (std::fabs(step) < 1.0e-12) {
            ecl += step;
            break;
        }
        ecl += step;
    }

    // Short-period preliminaries.
    const double ecose = axn * cosE + ayn * sinE;
    const double esine = axn * sinE - ayn * cosE;
    const double el2 = axn * axn + ayn * ayn;
    const double pl = a * (1.0 - el2);
    if (pl < 0.0) return false;
    const double rl = a * (1.0 - ecose);
    const double rdotl = std::sqrt(a) * esine / rl;
    const double rvdotl = std::sqrt(pl) / rl;
    const double betal = std::sqrt(1.0 - el2);
    temp = esine / (1.0 + betal);
    const double sinu = a / rl * (sinE - ayn - axn * temp);
    const double cosu = a / rl * (cosE - axn + ayn * temp);
    double su = std::atan2(sinu, cosu);
    const double sin2u = 2.0 * cosu * sinu;
    const double cos2u = 1.0 - 2.0 * sinu * sinu;
    temp = 1.0 / pl;
    const double temp1 = 0.5 * kJ2 * temp;
    const double temp2 = temp1 * temp;

    // Short-period periodics.
    const double sinI = std::sin(m.incl);
    const double cosI = std::cos(m.incl);
    const double r = rl * (1.0 - 1.5 * temp2 * betal * m.con41) + 0.5 * temp1 * m.x1mth2 * cos2u;
    su -= 0.25 * temp2 * m.x7thm1 * sin2u;
    const double xnode = node + 1.5 * temp2 * cosI * sin2u;
    const double xinc = m.incl + 1.5 * temp2 * cosI * sinI * cos2u;
    const double rdot = rdotl - n * temp1 * m.x1mth2 * sin2u / kKe;
    const double rfdot = rvdotl + n * temp1 * (m.x1mth2 * cos2u + 1.5 * m.con41) / kKe;
    if (r < 1.0) return false;

    // Orientation: U toward the satellite, V along the track.
    const double sinsu = std::sin(su), cossu = std::cos(su);
    const double snod = std::sin(xnode), cnod = std::cos(xnode);
    const double sini = std::sin(xinc), cosi = std::cos(xinc);
    const double xmx = -snod * cosi;
    const double xmy = cnod * cosi;
    const double U[3] = {xmx * sinsu + cnod * cossu, xmy * sinsu + snod * cossu, sini * sinsu};
    const double V[3] = {xmx * cossu - cnod * sinsu, xmy * cossu - snod * sinsu, sini * cossu};
    double pos[3], vel[3];
    for (int i = 0; i < 3; ++i) {
        pos[i] = r * U[i] * kEarthRadiusKm;
        vel[i] = (rdot * U[i] + rfdot * V[i]) * kVelocityUnit;
        // Degenerate sets (a perigee just above the surface can put the
        // density parameter on the semi-major axis) and absurd times overflow
        // rather than trip the tests above.
        if (!std::isfinite(pos[i]) || !std::isfinite(vel[i])) return false;
    }
    std::copy(pos, pos + 3, position);
    std::copy(vel, vel + 3, velocity);
    return true;
}

}  // namespace

Tle parseTle(const std::string& line1, const std::string& line2) {
    Tle tle;
    if (line1.size() < 63 || line2.size() < 63 || line1[0] != '1' || line2[0] != '2') return tle;

    const int yy = static_cast<int>(field(line1, 18, 2));
    const int year = yy < 57 ? 2000 + yy : 1900 + yy;
    const double day = field(line1, 20, 12);
    tle.ndot = field(line1, 33, 10);
    tle.bstar = impliedDecimal(line1, 53, 8);

    tle.inclinationDeg = field(line2, 8, 8);
    tle.raanDeg = field(line2, 17, 8);
    tle.eccentricity = field(line2, 26, 7) * 1e-7;
    tle.argPerigeeDeg = field(line2, 34, 8);
    tle.meanAnomalyDeg = field(line2, 43, 8);
    tle.meanMotion = field(line2, 52, 11);

    tle.epochJd = 367.0 * year - std::floor(7.0 * year / 4.0) + 31.0 + 1721013.5 + (day - 1.0);

    // Infinities and NaNs written into a field ("inf", "nan") would otherwise
    // pass the range tests and propagate into meaningless positions.
    const bool finite = std::isfinite(tle.epochJd) && std::isfinite(tle.bstar) &&
                        std::isfinite(tle.raanDeg) && std::isfinite(tle.argPerigeeDeg) &&
                        std::isfinite(tle.meanAnomalyDeg) && std::isfinite(tle.meanMotion);
    const bool epochInRange = tle.epochJd >= kJdFirstEpoch && tle.epochJd < kJdEpochsEnd;
    tle.valid = finite && epochInRange && tle.meanMotion > 0.1 && tle.inclinationDeg >= 0 &&
                tle.inclinationDeg <= 180 && tle.eccentricity >= 0 && tle.eccentricity < 1;
    return tle;
}

double jdFromEpoch(int64_t t) { return static_cast<double>(t) / 86400.0 + kJdUnixEpoch; }

bool sgp4Propagate(const Tle& tle, double minutesSinceEpoch, double position[3],
                   double velocity[3]) {
    if (!tle.valid || !std::isfinite(minutesSinceEpoch)) return false;
    NearEarthModel model;
    if (!initialise(tle, model)) return false;
    return propagate(model, minutesSinceEpoch, position, velocity);
}

double gstime(double jd) {
    const double t = (jd - kJdJ2000) / 36525.0;
    const double seconds =
        -6.2e-6 * t * t * t + 0.093104 * t * t + 3164400184.812866 * t + 67310.54841;
    double angle = std::fmod(seconds * kDeg / 240.0, kTwoPi);
    if (angle < 0) angle += kTwoPi;
    return angle;
}

void lookAngles(const double position[3], double jd, double lat, double lon, double& azimuth,
                double& elevation, double& rangeKm) {
    const double theta = gstime(jd);
    const double ct = std::cos(theta), st = std::sin(theta);
    // Earth-fixed target.
    const double x = ct * position[0] + st * position[1];
    const double y = -st * position[0] + ct * position[1];
    const double z = position[2];

    const double sinLat = std::sin(lat * kDeg), cosLat = std::cos(lat * kDeg);
    const double sinLon = std::sin(lon * kDeg), cosLon = std::cos(lon * kDeg);
    const double g = 1.0 / std::sqrt(1.0 - kE2 * sinLat * sinLat);
    const double ox = kEarthRadiusKm * g * cosLat * cosLon;
    const double oy = kEarthRadiusKm * g * cosLat * sinLon;
    const double oz = kEarthRadiusKm * g * (1.0 - kE2) * sinLat;

    const double dx = x - ox, dy = y - oy, dz = z - oz;
    const double south = sinLat * cosLon * dx + sinLat * sinLon * dy - cosLat * dz;
    const double east = -sinLon * dx + cosLon * dy;
    const double zenith = cosLat * cosLon * dx + cosLat * sinLon * dy + sinLat * dz;

    rangeKm = std::sqrt(south * south + east * east + zenith * zenith);
    elevation = std::asin(zenith / rangeKm) / kDeg;
    azimuth = std::atan2(east, -south) / kDeg;
    if (azimuth < 0) azimuth += 360.0;
}

void sunEci(double jd, double out[3]) {
    const double t = (jd - kJdJ2000) / 36525.0;
    const double meanLon = std::fmod(280.46 + 36000.77 * t, 360.0);
    const double m = std::fmod(357.5277233 + 35999.05034 * t, 360.0) * kDeg;
    const double l =
        (meanLon + 1.914666471 * std::sin(m) + 0.019994643 * std::sin(2.0 * m)) * kDeg;
    const double r = 1.000140612 - 0.016708617 * std::cos(m) - 0.000139589 * std::cos(2.0 * m);
    const double eps = (23.439291 - 0.0130042 * t) * kDeg;
    const double dist = r * kAuKm;
    out[0] = dist * std::cos(l);
    out[1] = dist * std::cos(eps) * std::sin(l);
    out[2] = dist * std::sin(eps) * std::sin(l);
}

bool satSunlit(const double satellite[3], const double sun[3]) {
    const double sunLen = std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]);
    const double p =
        (sun[0] * satellite[0] + sun[1] * satellite[1] + sun[2] * satellite[2]) / sunLen;
    if (p >= 0) return true;
    const double r2 = satellite[0] * satellite[0] + satellite[1] * satellite[1] +
                      satellite[2] * satellite[2];
    return r2 - p * p > kEarthRadiusKm * kEarthRadiusKm;
}

double sunElevationDeg(double jd, double lat, double lon) {
    double sun[3];
    sunEci(jd, sun);
    double azimuth = 0, elevation = 0, range = 0;
    lookAngles(sun, jd, lat, lon, azimuth, elevation, range);
    return elevation;
}

}  // namespace nbr
