#!/usr/bin/python3
"""Writes the satellite reference tables under tests/data/satellite/ that the
orbit and pass-search tests compare against.

The values come from two libraries independent of the program's own code:
python-sgp4 (Debian package python3-sgp4, 2.15), a separate implementation of
the same SGP4 theory with WGS-72 constants, for the station's positions; and
PyEphem (python3-ephem, 4.1.4), a full ephemeris built on the XEphem library,
for the sun and as a second opinion on the look angles. The script is run
once by hand and its output committed; the tests never run it:

    apt-get install -y python3-sgp4 python3-ephem
    /usr/bin/python3 tools/make_satellite_reference.py

The topocentric transform below (mean sidereal angle, observer on the WGS-72
ellipsoid at height 0, south-east-zenith components) is the textbook one. To
make sure it is right rather than merely the same as the program's, every
look angle it writes is checked against PyEphem's own satellite code, which
uses its own propagator, sidereal time and Earth model; the script stops if
they differ by more than 0.1 degree or 1 km.

Element set: the ISS set of 2025-07-28 (epoch day 209.66691461).

Tables (times as Julian dates or Unix seconds, UTC; angles in degrees):
  look_angles.csv  station position (km, the propagator's inertial frame) at
                   a Julian date, with azimuth, elevation and range (km) seen
                   from five places, some with the station up
  sun.csv          the sun's geocentric apparent position of date (km) from
                   PyEphem every 83 days 2020-2035, with its geometric
                   elevation (no refraction) at one of the five places
  passes.csv       passes of the station over three places in the 72 hours
                   from 2025-07-28 18:00 UTC, found by the same rules as the
                   program (samples every 30 s from the window start, open
                   above 10 degrees, end at the last sample above; visible
                   when at some sample the sun is below -6 degrees and the
                   station outside the Earth's cylindrical shadow), with the
                   sun from PyEphem. `certain` is 0 when moving the -6 degree
                   limit by 0.05 degree or the shadow radius by 5 km would
                   change `visible`: the program's low-precision sun may then
                   decide either way.
"""

import csv
import math
import os

import ephem
from sgp4.api import WGS72, Satrec

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "satellite")

TLE1 = "1 25544U 98067A   25209.66691461  .00012424  00000+0  22393-3 0  9991"
TLE2 = "2 25544  51.6363 101.4799 0002251 122.9566 339.8304 15.50175539521591"

PLACES = [
    ("London", 51.5074, -0.1278),
    ("Auckland", -36.8485, 174.7633),
    ("Denver", 39.7392, -104.9903),
    ("Quito", -0.1807, -78.4678),
    ("Reykjavik", 64.1466, -21.9426),
]

RE = 6378.135
E2 = 0.006694317778266723
UNIX_JD = 2440587.5
WINDOW_START = 1753725600  # 2025-07-28 18:00:00 UTC
UNIX_EPOCH = ephem.Date("1970/1/1 00:00:00")

SAT = Satrec.twoline2rv(TLE1, TLE2, WGS72)


def jd_of(t):
    return t / 86400.0 + UNIX_JD


def edate(jd):
    return ephem.Date(float(UNIX_EPOCH) + (jd - UNIX_JD))


def epoch_jd():
    # The epoch as the program reads it from the element set.
    yy = int(TLE1[18:20])
    year = 2000 + yy if yy < 57 else 1900 + yy
    day = float(TLE1[20:32])
    return 367.0 * year - math.floor(7.0 * year / 4.0) + 31.0 + 1721013.5 + (day - 1.0)


EPOCH_UNIX = int((epoch_jd() - UNIX_JD) * 86400.0)


def position_at_unix(t):
    """Station position at Unix time t, timed from the epoch in whole seconds."""
    err, r, _ = SAT.sgp4_tsince((t - EPOCH_UNIX) / 60.0)
    if err:
        raise RuntimeError("propagation error %d" % err)
    return r


def position_at_jd(jd):
    whole = math.floor(jd - 0.5) + 0.5
    err, r, _ = SAT.sgp4(whole, jd - whole)
    if err:
        raise RuntimeError("propagation error %d" % err)
    return r


def gmst(jd):
    t = (jd - 2451545.0) / 36525.0
    sec = -6.2e-6 * t ** 3 + 0.093104 * t ** 2 + (876600.0 * 3600 + 8640184.812866) * t + 67310.54841
    return (sec * math.pi / 180.0 / 240.0) % (2 * math.pi)


def look(r, jd, lat, lon):
    th = gmst(jd)
    x = math.cos(th) * r[0] + math.sin(th) * r[1]
    y = -math.sin(th) * r[0] + math.cos(th) * r[1]
    z = r[2]
    la, lo = math.radians(lat), math.radians(lon)
    n = RE / math.sqrt(1.0 - E2 * math.sin(la) ** 2)
    ox = n * math.cos(la) * math.cos(lo)
    oy = n * math.cos(la) * math.sin(lo)
    oz = n * (1.0 - E2) * math.sin(la)
    dx, dy, dz = x - ox, y - oy, z - oz
    s = math.sin(la) * math.cos(lo) * dx + math.sin(la) * math.sin(lo) * dy - math.cos(la) * dz
    e = -math.sin(lo) * dx + math.cos(lo) * dy
    zz = math.cos(la) * math.cos(lo) * dx + math.cos(la) * math.sin(lo) * dy + math.sin(la) * dz
    rng = math.sqrt(s * s + e * e + zz * zz)
    el = math.degrees(math.asin(zz / rng))
    az = math.degrees(math.atan2(e, -s)) % 360.0
    return az, el, rng


def observer(lat, lon, jd):
    o = ephem.Observer()
    o.lat, o.lon = str(lat), str(lon)
    o.elevation = 0
    o.pressure = 0  # no refraction
    o.date = edate(jd)
    return o


EPHEM_SAT = ephem.readtle("ISS", TLE1, TLE2)


def check_with_ephem(jd, lat, lon, az, el, rng):
    EPHEM_SAT.compute(observer(lat, lon, jd))
    e_el = math.degrees(EPHEM_SAT.alt)
    e_az = math.degrees(EPHEM_SAT.az)
    d_az = (az - e_az + 180.0) % 360.0 - 180.0
    d_rng = EPHEM_SAT.range / 1000.0 - rng
    if abs(e_el - el) > 0.1 or abs(d_az) * math.cos(math.radians(el)) > 0.1 or abs(d_rng) > 1.0:
        raise RuntimeError("look angles disagree with PyEphem at jd %.6f: %.4f/%.4f %.4f/%.4f %.3f"
                           % (jd, az, e_az, el, e_el, d_rng))
    return abs(e_el - el), abs(d_az) * math.cos(math.radians(el)), abs(d_rng)


def sun_vector(jd):
    s = ephem.Sun()
    s.compute(edate(jd))
    d = s.earth_distance * 149597870.7
    ra, dec = float(s.g_ra), float(s.g_dec)
    return (d * math.cos(dec) * math.cos(ra), d * math.cos(dec) * math.sin(ra), d * math.sin(dec))


def sun_elevation(jd, lat, lon):
    s = ephem.Sun()
    s.compute(observer(lat, lon, jd))
    return math.degrees(s.alt)


def sunlit(r, sun, radius=RE):
    n = math.sqrt(sum(c * c for c in sun))
    p = sum(a * b / n for a, b in zip(r, sun))
    if p >= 0:
        return True
    return sum(c * c for c in r) - p * p > radius * radius


def find_passes(lat, lon, start, hours):
    """The program's rules, with the visibility test also run at the edges of
    the tolerances: returns rows with `visible` and `certain`."""
    end = start + hours * 3600
    passes = []
    cur = None
    t = start
    while t <= end:
        r = position_at_unix(t)
        jd = jd_of(t)
        az, el, _ = look(r, jd, lat, lon)
        if el > 10.0:
            if cur is None:
                cur = {"start": t, "max": t, "maxel": el, "startaz": az, "vis": [False] * 5}
            elif el > cur["maxel"]:
                cur["maxel"], cur["max"] = el, t
            if not all(cur["vis"]):
                sun = sun_vector(jd)
                sel = sun_elevation(jd, lat, lon)
                # nominal, then the four edges of the tolerances
                tests = [(-6.0, RE), (-6.05, RE), (-5.95, RE), (-6.0, RE - 5.0), (-6.0, RE + 5.0)]
                for i, (limit, radius) in enumerate(tests):
                    cur["vis"][i] = cur["vis"][i] or (sel < limit and sunlit(r, sun, radius))
            cur["endaz"] = az
        elif cur is not None:
            vis = cur["vis"]
            passes.append((cur["start"], cur["max"], t - 30, round(cur["maxel"], 6),
                           round(cur["startaz"], 6), round(cur["endaz"], 6),
                           int(vis[0]), int(all(v == vis[0] for v in vis))))
            cur = None
            if len(passes) >= 40:
                break
        t += 30
    return passes


def write(name, header, rows):
    with open(os.path.join(OUT, name), "w", newline="") as f:
        w = csv.writer(f, lineterminator="\n")
        w.writerow(header)
        w.writerows(rows)


def main():
    os.makedirs(OUT, exist_ok=True)

    pass_rows = []
    pass_lists = {}
    for name, lat, lon in PLACES[:3]:
        found = find_passes(lat, lon, WINDOW_START, 72)
        pass_lists[name] = found
        pass_rows += [(lat, lon, WINDOW_START, 72) + p for p in found]
    write("passes.csv", ["lat", "lon", "window_start", "hours", "start", "max_time", "end",
                         "max_elevation", "start_azimuth", "end_azimuth", "visible", "certain"],
          pass_rows)

    look_rows = []
    worst = [0.0, 0.0, 0.0]
    for k, (name, lat, lon) in enumerate(PLACES):
        times = [WINDOW_START + 1000 * k + 2017 * i for i in range(8)]
        times += [p[1] for p in pass_lists.get(name, [])[:4]]
        for t in times:
            jd = jd_of(t)
            r = position_at_jd(jd)
            az, el, rng = look(r, jd, lat, lon)
            diffs = check_with_ephem(jd, lat, lon, az, el, rng)
            worst = [max(a, b) for a, b in zip(worst, diffs)]
            # Full precision: the inputs are read back as the same doubles.
            look_rows.append((repr(jd), repr(r[0]), repr(r[1]), repr(r[2]), lat, lon,
                              "%.9f" % az, "%.9f" % el, "%.7f" % rng))
    write("look_angles.csv", ["jd", "x", "y", "z", "lat", "lon", "azimuth", "elevation", "range"],
          look_rows)
    print("look angles vs PyEphem: elevation %.4f deg, azimuth %.4f deg, range %.3f km" % tuple(worst))

    sun_rows = []
    jd = 2458849.5 + 0.37  # 2020-01-01 20:53 UTC
    i = 0
    while jd < 2464328.5:  # 2035-01-01
        _, lat, lon = PLACES[i % len(PLACES)]
        v = sun_vector(jd)
        sun_rows.append(("%.6f" % jd, "%.3f" % v[0], "%.3f" % v[1], "%.3f" % v[2], lat, lon,
                         "%.6f" % sun_elevation(jd, lat, lon)))
        jd += 83.0 + 0.29
        i += 1
    write("sun.csv", ["jd", "x", "y", "z", "lat", "lon", "elevation"], sun_rows)

    for name, found in pass_lists.items():
        print("%s: %d passes, %d visible, %d uncertain" % (
            name, len(found), sum(p[6] for p in found), sum(1 - p[7] for p in found)))


if __name__ == "__main__":
    main()
