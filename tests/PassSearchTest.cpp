// The pass search: the sampling rules with made-up elevations, and whole
// searches against pass lists found with an independent SGP4 library and a
// full ephemeris for the sun (tools/make_satellite_reference.py).
#include "model/PassTracker.h"
#include "model/Satellite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace nbr {
namespace {

// The ISS set the reference lists were made with (epoch 2025-07-28 16:00 UTC).
const std::string kIss1 = "1 25544U 98067A   25209.66691461  .00012424  00000+0  22393-3 0  9991";
const std::string kIss2 = "2 25544  51.6363 101.4799 0002251 122.9566 339.8304 15.50175539521591";
constexpr int64_t kWindowStart = 1753725600;  // 2025-07-28 18:00 UTC
constexpr double kLondonLat = 51.5074, kLondonLon = -0.1278;

Tle iss() { return parseTle(kIss1, kIss2); }

// ---- The rules, on made-up samples ------------------------------------------

struct Sample {
    double elevation;
    bool visible;  // what the sun-and-shadow test would say at this sample
};

struct Fed {
    std::vector<IssPass> passes;
    int visibilityTests = 0;
};

Fed feed(const std::vector<Sample>& samples, int64_t t0 = 1000) {
    PassTracker tracker;
    Fed fed;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        const auto visible = [&] {
            ++fed.visibilityTests;
            return s.visible;
        };
        // The azimuth tells the samples apart.
        if (tracker.add(t0 + 30 * static_cast<int64_t>(i), s.elevation, 100.0 + i, visible))
            fed.passes.push_back(tracker.closed());
    }
    return fed;
}

TEST(PassSearchRules, PassOpensAboveTenAndEndsAtTheLastSampleAbove) {
    const Fed fed = feed({{9.9, false}, {10.4, false}, {25.0, false}, {25.0, false},
                          {10.1, false}, {10.0, false}, {3.0, false}});
    ASSERT_EQ(fed.passes.size(), 1u);
    const IssPass& p = fed.passes[0];
    EXPECT_EQ(p.start, 1030);
    EXPECT_EQ(p.maxTime, 1060);  // the earlier of two equal highs
    EXPECT_EQ(p.end, 1120);      // the 10.1 sample; exactly 10 is not above
    EXPECT_DOUBLE_EQ(p.maxElevation, 25.0);
    EXPECT_DOUBLE_EQ(p.startAzimuth, 101);
    EXPECT_DOUBLE_EQ(p.endAzimuth, 104);
    EXPECT_FALSE(p.visible);

    // Exactly 10 never opens a pass; one sample above makes a pass of one.
    EXPECT_TRUE(feed({{10.0, false}, {10.0, false}, {9.0, false}}).passes.empty());
    const Fed one = feed({{5, false}, {11, false}, {5, false}});
    ASSERT_EQ(one.passes.size(), 1u);
    EXPECT_EQ(one.passes[0].start, one.passes[0].end);
    EXPECT_DOUBLE_EQ(one.passes[0].startAzimuth, one.passes[0].endAzimuth);
}

TEST(PassSearchRules, VisibleOnceSunlitInDarkSkyAndTestedAfreshPerPass) {
    // Dusk at the first samples, dark with the station lit later: visible,
    // and the test stops being asked once it said yes.
    const Fed fed = feed({{12, false}, {20, false}, {30, true}, {20, false}, {12, false},
                          {5, false}, {15, false}, {18, false}, {4, false}});
    ASSERT_EQ(fed.passes.size(), 2u);
    EXPECT_TRUE(fed.passes[0].visible);
    EXPECT_FALSE(fed.passes[1].visible);  // nothing carried over
    EXPECT_EQ(fed.visibilityTests, 3 + 2);

    // A sample at or below 10 inside the pass is never asked.
    EXPECT_EQ(feed({{5, true}, {10, true}, {4, true}}).visibilityTests, 0);
}

// ---- Whole searches -----------------------------------------------------------

struct RefPass {
    IssPass pass;
    bool certain;
};

// Reference passes by place.
std::map<std::pair<double, double>, std::vector<RefPass>> readReference() {
    std::map<std::pair<double, double>, std::vector<RefPass>> out;
    std::ifstream in(std::string(NIMBREL_TEST_DATA) + "/satellite/passes.csv");
    if (!in) {
        ADD_FAILURE() << "missing reference table passes.csv";
        return out;
    }
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<double> f;
        std::istringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, ',')) f.push_back(std::stod(cell));
        if (f.size() != 12) {
            ADD_FAILURE() << "bad row " << line;
            continue;
        }
        RefPass r;
        r.pass.start = static_cast<int64_t>(f[4]);
        r.pass.maxTime = static_cast<int64_t>(f[5]);
        r.pass.end = static_cast<int64_t>(f[6]);
        r.pass.maxElevation = f[7];
        r.pass.startAzimuth = f[8];
        r.pass.endAzimuth = f[9];
        r.pass.visible = f[10] != 0;
        r.certain = f[11] != 0;
        out[{f[0], f[1]}].push_back(r);
    }
    return out;
}

// The positions come from the same theory, so every sample's elevation agrees
// to far below any margin and the times should be identical; one sample
// (30 s) is allowed in case an elevation lands within rounding of 10 degrees
// or of a tie. Azimuths and heights are compared where the times agree.
// `visible` depends on the low-precision sun, so it is compared only where
// the reference found the outcome robust to 0.05 degree of sun elevation and
// 5 km of shadow radius.
TEST(PassSearchSearch, MatchesIndependentReference) {
    const auto reference = readReference();
    ASSERT_EQ(reference.size(), 3u);
    const Tle tle = iss();
    int visibleSeen = 0, exact = 0, total = 0;
    for (const auto& [place, refs] : reference) {
        const auto passes = findPasses(tle, place.first, place.second, kWindowStart, 72);
        ASSERT_EQ(passes.size(), refs.size()) << place.first;
        total += static_cast<int>(passes.size());
        for (std::size_t i = 0; i < passes.size(); ++i) {
            const IssPass& p = passes[i];
            const IssPass& r = refs[i].pass;
            SCOPED_TRACE(testing::Message() << "place " << place.first << " pass " << i);
            EXPECT_LE(std::llabs(p.start - r.start), 30);
            EXPECT_LE(std::llabs(p.maxTime - r.maxTime), 30);
            EXPECT_LE(std::llabs(p.end - r.end), 30);
            if (p.maxTime == r.maxTime) {
                EXPECT_NEAR(p.maxElevation, r.maxElevation, 1e-5);
            }
            if (p.start == r.start) {
                EXPECT_NEAR(p.startAzimuth, r.startAzimuth, 1e-5);
            }
            if (p.end == r.end) {
                EXPECT_NEAR(p.endAzimuth, r.endAzimuth, 1e-5);
            }
            if (refs[i].certain) {
                EXPECT_EQ(p.visible, r.visible);
            }
            exact += p.start == r.start && p.maxTime == r.maxTime && p.end == r.end;
            visibleSeen += p.visible;
            EXPECT_GT(p.maxElevation, 10);
            if (i > 0) {
                EXPECT_GT(p.start, passes[i - 1].end);
            }
        }
    }
    EXPECT_GT(visibleSeen, 0);  // the table exercises both outcomes
    RecordProperty("identical_times", std::to_string(exact) + " of " + std::to_string(total));
}

TEST(PassSearchSearch, WindowOpeningMidPassStartsAPartialPass) {
    const Tle tle = iss();
    const auto full = findPasses(tle, kLondonLat, kLondonLon, kWindowStart, 72);
    ASSERT_FALSE(full.empty());
    const IssPass& first = full.front();
    ASSERT_GT(first.end - first.start, 60);
    const int64_t mid = first.start + 60;

    const auto partial = findPasses(tle, kLondonLat, kLondonLon, mid, 72);
    ASSERT_GE(partial.size(), full.size());  // the window also reaches a minute further
    EXPECT_EQ(partial[0].start, mid);
    EXPECT_EQ(partial[0].end, first.end);
    EXPECT_DOUBLE_EQ(partial[0].endAzimuth, first.endAzimuth);
    EXPECT_EQ(partial[1].start, full[1].start);

    // One sample only: a pass can open but not close, so nothing is listed.
    EXPECT_TRUE(findPasses(tle, kLondonLat, kLondonLon, mid, 0).empty());
    // A window that ends with a pass open drops it.
    const int64_t cut = full[1].maxTime;
    const auto before = findPasses(tle, kLondonLat, kLondonLon, cut - 4 * 3600, 4);
    for (const IssPass& p : before) EXPECT_LT(p.end, full[1].start);
}

TEST(PassSearchSearch, UnusableInputGivesAnEmptyList) {
    Tle tle = iss();
    EXPECT_TRUE(findPasses(tle, kLondonLat, kLondonLon, kWindowStart, -1).empty());
    tle.valid = false;
    EXPECT_TRUE(findPasses(tle, kLondonLat, kLondonLon, kWindowStart, 72).empty());
    // A set made by hand with an epoch no whole number of seconds can hold.
    tle = iss();
    tle.epochJd = 2.59e101;
    EXPECT_TRUE(findPasses(tle, kLondonLat, kLondonLon, kWindowStart, 72).empty());
    // A sub-orbital set (perigee below the surface) fails at the first sample.
    const Tle falling =
        parseTle("1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534",
                 "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708");
    ASSERT_TRUE(falling.valid);
    EXPECT_TRUE(findPasses(falling, kLondonLat, kLondonLon, 1133000000, 72).empty());
}

TEST(PassSearchSearch, DecayMidWindowKeepsThePassesClosedBefore) {
    // Heavy drag brings the station down within the window; the passes that
    // closed before are kept, nothing is listed after the model gives up.
    const std::string heavy1 = kIss1.substr(0, 53) + " 50000-1" + kIss1.substr(61);
    const Tle tle = parseTle(heavy1, kIss2);
    ASSERT_TRUE(tle.valid);
    const auto epoch = static_cast<int64_t>((tle.epochJd - 2440587.5) * 86400.0);
    int64_t failsAt = 0;
    for (int64_t t = kWindowStart; t <= kWindowStart + 30 * 86400; t += 30) {
        double r[3], v[3];
        if (!sgp4Propagate(tle, static_cast<double>(t - epoch) / 60.0, r, v)) {
            failsAt = t;
            break;
        }
    }
    ASSERT_GT(failsAt, kWindowStart + 6 * 3600) << "decays too early for this test";
    const int hours = static_cast<int>((failsAt - kWindowStart) / 3600) + 48;
    const auto passes = findPasses(tle, kLondonLat, kLondonLon, kWindowStart, hours);
    ASSERT_FALSE(passes.empty());
    EXPECT_LT(passes.back().end, failsAt);
}

TEST(PassSearchSearch, StopsAtFortyPasses) {
    const Tle tle = iss();
    const auto threeDays = findPasses(tle, kLondonLat, kLondonLon, kWindowStart, 72);
    const auto month = findPasses(tle, kLondonLat, kLondonLon, kWindowStart, 30 * 24);
    ASSERT_EQ(month.size(), 40u);
    for (std::size_t i = 0; i < threeDays.size(); ++i) {
        EXPECT_EQ(month[i].start, threeDays[i].start);
        EXPECT_EQ(month[i].end, threeDays[i].end);
    }
    for (std::size_t i = 1; i < month.size(); ++i) EXPECT_GT(month[i].start, month[i - 1].end);
}

}  // namespace
}  // namespace nbr
