// The sky computations are checked against tables made once with an
// independent full ephemeris (tools/make_sky_reference.py, data under
// data/sky/). The formulas are a low-precision method, so the tolerances
// below are what that method can meet, not what an almanac promises.
#include "model/SkyEvents.h"

#include "ReferenceTable.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace nbr {
namespace {

constexpr int64_t kNewMoon = 947182440;  // 2000-01-06 18:14 UTC
constexpr double kMonth = 2551442.8768992;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Row = test::TextRow;

std::vector<Row> readTable(const std::string& name) { return test::readReferenceTable("sky/" + name); }

using test::TimeZone;

int64_t utc(int y, int mo, int d, int h = 0, int mi = 0) { return test::utcSeconds(y, mo, d, h, mi); }

// ---- Moon phase ---------------------------------------------------------------

TEST(MoonPhaseTest, ReferenceNewMoonAndHalfAMonthLater) {
    const MoonInfo n = computeMoon(kNewMoon);
    EXPECT_DOUBLE_EQ(n.phase, 0.0);
    EXPECT_DOUBLE_EQ(n.illumination, 0.0);
    EXPECT_TRUE(n.waxing);
    EXPECT_EQ(n.phaseIndex, 0);
    EXPECT_STREQ(n.phaseName, "New Moon");

    const MoonInfo f = computeMoon(kNewMoon + 1275722);
    EXPECT_NEAR(f.phase, 0.5, 1e-6);
    EXPECT_NEAR(f.illumination, 1.0, 1e-9);
    EXPECT_FALSE(f.waxing);
    EXPECT_EQ(f.phaseIndex, 4);
    EXPECT_STREQ(f.phaseName, "Full Moon");
}

TEST(MoonPhaseTest, EighthsRoundHalfAwayAndWrap) {
    auto at = [](double phase) { return computeMoon(kNewMoon + static_cast<int64_t>(phase * kMonth)); };
    EXPECT_STREQ(at(0.95).phaseName, "New Moon");  // 7.6 rounds to 8, which wraps to 0
    EXPECT_EQ(at(0.95).phaseIndex, 0);
    EXPECT_FALSE(at(0.95).waxing);
    EXPECT_STREQ(at(0.9).phaseName, "Waning Crescent");
    EXPECT_STREQ(at(0.13).phaseName, "Waxing Crescent");
    EXPECT_STREQ(at(0.25).phaseName, "First Quarter");
    EXPECT_STREQ(at(0.37).phaseName, "Waxing Gibbous");
    EXPECT_STREQ(at(0.63).phaseName, "Waning Gibbous");
    EXPECT_STREQ(at(0.75).phaseName, "Last Quarter");
    EXPECT_NEAR(at(0.25).illumination, 0.5, 1e-6);
    // Times before the reference new moon wrap into the previous months.
    const MoonInfo before = computeMoon(kNewMoon - static_cast<int64_t>(0.25 * kMonth) - 1);
    EXPECT_NEAR(before.phase, 0.75, 1e-6);
    EXPECT_STREQ(before.phaseName, "Last Quarter");
}

TEST(MoonPhaseTest, AnyTimeGivesAPhaseInRange) {
    for (int64_t t : {int64_t{0}, int64_t{-1}, INT64_MIN, INT64_MAX, kNewMoon - 1, int64_t{-62135596800}}) {
        SCOPED_TRACE(t);
        const MoonInfo m = computeMoon(t);
        EXPECT_GE(m.phase, 0.0);
        EXPECT_LT(m.phase, 1.0);
        EXPECT_GE(m.illumination, 0.0);
        EXPECT_LE(m.illumination, 1.0);
        EXPECT_GE(m.phaseIndex, 0);
        EXPECT_LE(m.phaseIndex, 7);
        ASSERT_NE(m.phaseName, nullptr);
    }
}

// The phase runs on the mean month, so it can only come within the mean
// lunation's spread of the true new and full moons 2020-2030.
TEST(MoonPhaseTest, AgreesWithEphemerisNewAndFullMoons) {
    const std::vector<Row> rows = readTable("moon_phases.csv");
    ASSERT_GT(rows.size(), 260u);
    double worstHours = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r[2]);
        const bool isNew = r[0] == "new";
        const MoonInfo m = computeMoon(std::stoll(r[1]));
        EXPECT_STREQ(m.phaseName, isNew ? "New Moon" : "Full Moon");
        double off = m.phase - (isNew ? 0.0 : 0.5);
        if (off > 0.5) off -= 1.0;
        if (off < -0.5) off += 1.0;
        worstHours = std::max(worstHours, std::fabs(off) * kMonth / 3600.0);
    }
    EXPECT_LT(worstHours, 19.0);
}

// ---- Moonrise and moonset -----------------------------------------------------

TEST(MoonRiseSetTest, AgreesWithEphemerisRiseAndSetTimes) {
    const std::vector<Row> rows = readTable("moon_riseset.csv");
    ASSERT_GT(rows.size(), 700u);
    int compared = 0, grazing = 0, setOnly = 0, riseOnly = 0;
    double worst = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r[0] + " " + r[4]);
        const MoonRiseSet got = moonRiseSet(std::stoll(r[4]), std::stod(r[1]), std::stod(r[2]), std::stoi(r[3]));
        const double lowest = std::stod(r[7]), highest = std::stod(r[8]);
        for (int which = 0; which < 2; ++which) {
            const std::string& ref = r[5 + which];
            const bool has = which == 0 ? got.hasRise : got.hasSet;
            const int minute = which == 0 ? got.riseMinute : got.setMinute;
            if (ref.empty() != !has) {
                // The moon barely crossing the horizon, or crossing it right
                // at midnight, may be counted on either side.
                const double refMinute = ref.empty() ? -1000 : std::stod(ref);
                const bool nearMidnight = refMinute < 10 || refMinute > 1430 || (has && (minute < 10 || minute > 1430));
                const bool barely = std::fabs(lowest) < 1.0 || std::fabs(highest) < 1.0;
                EXPECT_TRUE(nearMidnight || barely) << (which ? "set" : "rise") << " ref '" << ref << "' got " << has;
                ++grazing;
                continue;
            }
            if (!has) {
                EXPECT_EQ(minute, 0);
                continue;
            }
            ++compared;
            worst = std::max(worst, std::fabs(minute - std::stod(ref)));
            EXPECT_NEAR(minute, std::stod(ref), 6.0) << (which ? "set" : "rise");
        }
        if (got.hasSet && !got.hasRise && r[5].empty()) ++setOnly;
        if (got.hasRise && !got.hasSet && r[6].empty()) ++riseOnly;
    }
    EXPECT_GT(compared, 1300);
    EXPECT_LE(grazing, 6);
    // Days on which the moon only sets or only rises occur and agree.
    EXPECT_GT(setOnly, 10);
    EXPECT_GT(riseOnly, 10);
    EXPECT_LE(worst, 6.0);
}

bool sameEvents(const MoonRiseSet& a, const MoonRiseSet& b) {
    return a.hasRise == b.hasRise && a.hasSet == b.hasSet && a.riseMinute == b.riseMinute &&
           a.setMinute == b.setMinute;
}

TEST(MoonRiseSetTest, LocalDayIsFoundFromTheOffset) {
    const double lat = 40.7128, lon = -74.006;
    const int est = -5 * 3600;
    // 02:00 UTC on the 15th is 21:00 on the 14th in New York.
    const MoonRiseSet late = moonRiseSet(utc(2026, 1, 15, 2), lat, lon, est);
    EXPECT_TRUE(sameEvents(late, moonRiseSet(utc(2026, 1, 14, 5, 0), lat, lon, est)));
    EXPECT_TRUE(sameEvents(late, moonRiseSet(utc(2026, 1, 15, 4, 59), lat, lon, est)));
    EXPECT_FALSE(sameEvents(late, moonRiseSet(utc(2026, 1, 15, 5, 0), lat, lon, est)));

    // Before 1970 the day still starts at the earlier midnight.
    const MoonRiseSet lastDay1969 = moonRiseSet(-1, 51.5, 0, 0);
    EXPECT_TRUE(sameEvents(lastDay1969, moonRiseSet(-86400, 51.5, 0, 0)));
    EXPECT_FALSE(sameEvents(lastDay1969, moonRiseSet(0, 51.5, 0, 0)));
    EXPECT_TRUE(sameEvents(moonRiseSet(-3600, 51.5, 0, 3600), moonRiseSet(0, 51.5, 0, 3600)));

    // Oslo's daylight-saving days of 2027 (23 and 25 hours), asked before the
    // change: the moon rises and sets after it, by the offset from then on.
    const OffsetAt oslo = [](int64_t t) { return t >= utc(2027, 3, 28, 1) && t < utc(2027, 10, 31, 1) ? 7200 : 3600; };
    for (const auto& [before, offsetAfter] :
         {std::pair{utc(2027, 3, 27, 23, 30), 7200}, std::pair{utc(2027, 10, 30, 22, 30), 3600}})
        EXPECT_TRUE(sameEvents(moonRiseSet(before, 59.9127, 10.7461, oslo),
                               moonRiseSet(before + 12 * 3600, 59.9127, 10.7461, offsetAfter))) << before;
}

TEST(MoonRiseSetTest, UnusableInputFindsNothing) {
    for (int64_t t : {INT64_MIN, INT64_MAX, utc(10000, 1, 1), int64_t{-62135596801}}) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(sameEvents(moonRiseSet(t, 51.5, 0, 0), MoonRiseSet{}));
        EXPECT_TRUE(sameEvents(moonRiseSet(t, 51.5, 0, INT_MAX), MoonRiseSet{}));
    }
    EXPECT_TRUE(sameEvents(moonRiseSet(utc(2026, 1, 15), kNaN, 0, 0), MoonRiseSet{}));
    EXPECT_TRUE(sameEvents(moonRiseSet(utc(2026, 1, 15), 51.5, kNaN, 0), MoonRiseSet{}));
    // Extreme offsets and the first and last representable days stay defined.
    for (int off : {INT_MIN, INT_MAX}) {
        const MoonRiseSet r = moonRiseSet(utc(2026, 1, 15), 51.5, 0, off);
        EXPECT_GE(r.riseMinute, 0);
        EXPECT_LE(r.setMinute, 1440);
    }
    moonRiseSet(-62135596800, 51.5, 0, INT_MIN);
    moonRiseSet(253402300799, 51.5, 0, INT_MAX);
}

// ---- Planets --------------------------------------------------------------------

// Every 10 days 2020-2030, the listed planets, their sides of the sun and the
// opposition flags match the ephemeris' elongations wherever the elongation is
// more than half a degree from a threshold (the formulas stay within 0.2).
TEST(PlanetTest, VisibilityAgreesWithEphemerisElongations) {
    const char* names[5] = {"Mercury", "Venus", "Mars", "Jupiter", "Saturn"};
    const std::vector<Row> rows = readTable("planet_elongations.csv");
    ASSERT_GT(rows.size(), 390u);
    int checked = 0, oppositions = 0, mornings = 0, evenings = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r[0]);
        const std::vector<VisiblePlanet> got = visiblePlanets(std::stoll(r[0]));
        int last = -1;
        for (const VisiblePlanet& v : got) {
            int idx = 0;
            while (idx < 5 && std::string(names[idx]) != v.name) ++idx;
            ASSERT_LT(idx, 5) << v.name;
            EXPECT_GT(idx, last) << "order";
            last = idx;
        }
        for (int p = 0; p < 5; ++p) {
            const double elong = std::stod(r[1 + p]);
            const double a = std::fabs(elong);
            const VisiblePlanet* found = nullptr;
            for (const VisiblePlanet& v : got)
                if (std::string(v.name) == names[p]) found = &v;
            if (std::fabs(a - 15.0) > 0.5) {
                EXPECT_EQ(found != nullptr, a >= 15.0) << names[p] << " at " << elong;
                ++checked;
            }
            if (!found) continue;
            if (a < 179.5) {
                EXPECT_EQ(found->evening, elong > 0) << names[p] << " at " << elong;
                (elong > 0 ? evenings : mornings)++;
            }
            if (p < 2) {
                EXPECT_FALSE(found->nearOpposition) << names[p];
            } else if (std::fabs(a - 150.0) > 0.5) {
                EXPECT_EQ(found->nearOpposition, a > 150.0) << names[p] << " at " << elong;
            }
            if (found->nearOpposition) ++oppositions;
        }
    }
    EXPECT_GT(checked, 1900);
    EXPECT_GT(oppositions, 50);
    EXPECT_GT(mornings, 500);
    EXPECT_GT(evenings, 500);
}

TEST(PlanetTest, AnyTimeGivesAtMostFivePlanets) {
    for (int64_t t : {INT64_MIN, INT64_MAX, int64_t{0}, int64_t{-62135596800}}) {
        SCOPED_TRACE(t);
        EXPECT_LE(visiblePlanets(t).size(), 5u);
        (void)mercuryRetrograde(t);
    }
}

// The flag compares the longitude two days on with today's, so it turns on
// and off up to a day before the ephemeris' stationary moments (measured:
// 0 to 24.3 hours early); away from that day it must agree.
TEST(PlanetTest, MercuryRetrogradeMatchesEphemerisStations) {
    const std::vector<Row> rows = readTable("mercury_stations.csv");
    ASSERT_GT(rows.size(), 60u);
    constexpr int64_t kEarly = 26 * 3600, kLate = 3600, kStep = 3 * 3600;
    int64_t from = utc(2020, 1, 1);
    bool retro = false;  // direct motion at the start of 2020
    int samples = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r[2]);
        const int64_t station = std::stoll(r[1]);
        ASSERT_EQ(r[0] == "R", !retro) << "stations alternate";
        for (int64_t t = from; t <= station - kEarly; t += kStep, ++samples)
            ASSERT_EQ(mercuryRetrograde(t), retro) << "at " << t;
        retro = !retro;
        from = station + kLate;
    }
    EXPECT_GT(samples, 25000);
}

// ---- Meteor showers --------------------------------------------------------------

std::string describe(const std::vector<ActiveShower>& showers) {
    std::ostringstream out;
    for (const ActiveShower& s : showers)
        out << s.name << ' ' << s.daysFromPeak << (s.nearPeak ? "*" : "") << ' ' << s.zhr << ';';
    return out.str();
}

TEST(MeteorShowerTest, ActiveShowersNearestPeakFirst) {
    auto on = [](int y, int m, int d) { return describe(activeMeteorShowers(utc(y, m, d, 12), 0)); };
    EXPECT_EQ(on(2026, 1, 3), "Quadrantids 1* 110;");
    EXPECT_EQ(on(2025, 12, 30), "Quadrantids 5 110;");
    EXPECT_EQ(on(2025, 12, 28), "Quadrantids 7 110;");
    EXPECT_EQ(on(2026, 1, 12), "Quadrantids -8 110;");
    EXPECT_EQ(on(2026, 1, 13), "");
    EXPECT_EQ(on(2026, 4, 20), "Lyrids 2* 18;Eta Aquariids 16 50;");
    EXPECT_EQ(on(2026, 8, 12), "Perseids 0* 100;Delta Aquariids -13 25;");
    EXPECT_EQ(on(2026, 10, 8), "Draconids 0* 10;Orionids 13 20;");
    // Distance counts, before or after the peak alike; end days are inclusive.
    EXPECT_EQ(on(2026, 12, 17), "Geminids -3 120;Ursids 5 10;");
    EXPECT_EQ(on(2026, 12, 18), "Ursids 4 10;");
    // No shower spans the end of February, leap day or not.
    EXPECT_EQ(on(2026, 2, 28), "");
    EXPECT_EQ(on(2028, 2, 29), "");
    EXPECT_EQ(on(2028, 3, 1), "");
}

TEST(MeteorShowerTest, UsesThePlacesDateWhateverTheComputersZone) {
    const int64_t t = utc(2026, 1, 5, 3);  // 22:00 on the 4th five hours west of UTC
    for (const char* computer : {"UTC0", "EST5", "NZST-12"}) {
        TimeZone tz(computer);
        EXPECT_EQ(describe(activeMeteorShowers(t, 0)), "Quadrantids -1* 110;") << computer;
        EXPECT_EQ(describe(activeMeteorShowers(t, -5 * 3600)), "Quadrantids 0* 110;") << computer;
    }
}

TEST(MeteorShowerTest, UnrepresentableTimesGiveNoShowers) {
    EXPECT_TRUE(activeMeteorShowers(INT64_MAX, 0).empty());
    EXPECT_TRUE(activeMeteorShowers(INT64_MIN, INT_MAX).empty());
}

// ---- Aurora ----------------------------------------------------------------------

TEST(AuroraTest, ChanceFromBoundaryLatitude) {
    EXPECT_EQ(auroraChance(5, 57), AuroraChance::Likely);
    EXPECT_EQ(auroraChance(5, -57), AuroraChance::Likely);
    EXPECT_EQ(auroraChance(5, -55), AuroraChance::Possible);
    EXPECT_EQ(auroraChance(5, 54), AuroraChance::Possible);
    EXPECT_EQ(auroraChance(5, 53.9), AuroraChance::Unlikely);
    EXPECT_EQ(auroraChance(5, 50), AuroraChance::Unlikely);
    EXPECT_EQ(auroraChance(0, 64), AuroraChance::Possible);
    EXPECT_EQ(auroraChance(0, 67), AuroraChance::Likely);
    EXPECT_EQ(auroraChance(9, 0), AuroraChance::Unlikely);
    EXPECT_EQ(auroraChance(-1, 70), AuroraChance::Unknown);
    EXPECT_EQ(auroraChance(-0.01, 70), AuroraChance::Unknown);
    EXPECT_EQ(auroraChance(kNaN, 70), AuroraChance::Unknown);
    EXPECT_EQ(auroraChance(5, kNaN), AuroraChance::Unknown);
}

TEST(AuroraTest, Labels) {
    EXPECT_STREQ(auroraChanceLabel(AuroraChance::Unknown), "--");
    EXPECT_STREQ(auroraChanceLabel(AuroraChance::Unlikely), "Unlikely");
    EXPECT_STREQ(auroraChanceLabel(AuroraChance::Possible), "Possible");
    EXPECT_STREQ(auroraChanceLabel(AuroraChance::Likely), "Likely");
    EXPECT_STREQ(auroraChanceLabel(static_cast<AuroraChance>(4)), "--");
    EXPECT_STREQ(auroraChanceLabel(static_cast<AuroraChance>(-1)), "--");
    EXPECT_STREQ(auroraChanceLabel(auroraChance(-1, 0)), "--");
}

}  // namespace
}  // namespace nbr
