// The sky carousel (which cards exist, rotation on a frame clock handed in),
// the Sky card's lines, and the meteor burst's particles.
#include "ui/Panel_Meteors.h"
#include "ui/Panel_Sky.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace nbr {
namespace {

using panel::CardClick;
using panel::CardLine;
using panel::CardTone;

constexpr int64_t kAug12Noon = 1786536000;  // 2026-08-12 12:00 UTC, Perseids at peak
constexpr int64_t kMar10Noon = 1773144000;  // 2026-03-10 12:00 UTC

std::vector<std::string> tabLabels(const WeatherData& d, int64_t now = kMar10Noon) {
    std::vector<std::string> out;
    for (const panel::SkyTab& t : panel::skyTabs(d, now)) out.push_back(t.label);
    return out;
}

const CardLine* findLine(const std::vector<CardLine>& lines, const std::string& prefix) {
    for (const CardLine& l : lines)
        if (l.text.rfind(prefix, 0) == 0) return &l;
    return nullptr;
}

TEST(SkyCarousel, CardsExistOnlyForDataThatArrived) {
    WeatherData d;
    EXPECT_EQ(tabLabels(d), (std::vector<std::string>{"Sky"}));
    d.time = "2026-03-10T12:00";  // of the present
    d.daily.resize(7);
    for (size_t i = 0; i < 7; ++i) d.daily[i].date = panel::textf("2026-03-%02zu", 10 + i);
    d.hourly.resize(24);
    for (size_t h = 0; h < 24; ++h)
        d.hourly[h].time = panel::textf("2026-03-%02zuT%02zu:00", 10 + (12 + h) / 24, (12 + h) % 24);
    // Every value missing but one pollen of 0: "Pollen" without "Air".
    d.airQuality.valid = true;
    d.airQuality.grassPollen = 0;
    EXPECT_EQ(tabLabels(d), (std::vector<std::string>{"Sky", "Pollen", "Plan"}));
    // Snow exactly at the limits brings no "Winter".
    d.hourly[0].snowDepth = 0.01;
    d.hourly[0].snowfall = 0.1;
    EXPECT_EQ(tabLabels(d).back(), "Plan");
    d.hourly[1].snowfall = 0.01;
    d.airQuality.usAqi = 30;
    d.tides.valid = d.flood.valid = d.normals.valid = d.insights.valid = d.nws.valid = true;
    d.nws.date = "2026-03-11";
    d.quakes.events.resize(1);
    d.afdText = "text";
    EXPECT_EQ(tabLabels(d), (std::vector<std::string>{"Sky", "Air", "Pollen", "Tides", "River", "Almanac", "Trends",
                                                      "Records", "Plan", "Quakes", "Winter", "Discussion"}));
    EXPECT_EQ(panel::skyTabs(d, kMar10Noon).back().kind, panel::SkyDiscussion);
    // 23 hours later, not fetched again: the archive's date and tomorrow are past, the hours
    // from now hold no snow; an hour after that, the hours no longer reach now.
    EXPECT_EQ(tabLabels(d, kMar10Noon + 23 * 3600),
              (std::vector<std::string>{"Sky", "Air", "Pollen", "Tides", "River", "Almanac", "Plan", "Quakes",
                                        "Discussion"}));
    EXPECT_EQ(tabLabels(d, kMar10Noon + 24 * 3600).size(), 8u);
}

TEST(SkyCarousel, RotationFollowsTheFrameClockAndStopsWhileHovered) {
    panel::CarouselState s;
    // One card, or a period of 0: never rotates, the count stays at zero.
    for (int i = 0; i < 100; ++i) panel::advanceCarousel(s, 1, 10, false, 0.5f);
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.timer, 0);
    for (int i = 0; i < 100; ++i) panel::advanceCarousel(s, 3, 0, false, 0.5f);
    EXPECT_EQ(s.index, 0);

    // A 1 s period changes the card every second.
    for (int i = 0; i < 4; ++i) panel::advanceCarousel(s, 3, 1, false, 0.25f);
    EXPECT_EQ(s.index, 1);
    EXPECT_EQ(s.timer, 0);
    for (int i = 0; i < 8; ++i) panel::advanceCarousel(s, 3, 1, false, 0.25f);
    EXPECT_EQ(s.index, 0);  // wrapped

    // 9 s of a 10 s period, then hovered: leaving starts the full 10 s again.
    for (int i = 0; i < 9; ++i) panel::advanceCarousel(s, 3, 10, false, 1.0f);
    panel::advanceCarousel(s, 3, 10, true, 1.0f);
    EXPECT_EQ(s.timer, 0);
    for (int i = 0; i < 9; ++i) panel::advanceCarousel(s, 3, 10, false, 1.0f);
    EXPECT_EQ(s.index, 0);
    panel::advanceCarousel(s, 3, 10, false, 1.0f);
    EXPECT_EQ(s.index, 1);

    // A tab click stops rotation for good until "[auto]".
    panel::selectCarouselTab(s, 2);
    for (int i = 0; i < 50; ++i) panel::advanceCarousel(s, 3, 1, false, 1.0f);
    EXPECT_EQ(s.index, 2);
    EXPECT_FALSE(s.autoRotate);
    panel::resumeCarouselRotation(s);
    panel::advanceCarousel(s, 3, 1, false, 1.0f);
    EXPECT_EQ(s.index, 0);

    // Cards removed by a refresh: the index goes back to the first card.
    s.index = 5;
    panel::clampCarouselIndex(s, 2);
    EXPECT_EQ(s.index, 0);
    s.index = 1;
    panel::clampCarouselIndex(s, 2);
    EXPECT_EQ(s.index, 1);
}

TEST(SkyCarousel, ShortTabRowShowsARunWithTheSelectedTab) {
    const std::vector<float> w{50, 60, 70, 80, 90};  // 10 between tabs
    using panel::TabRun;
    EXPECT_EQ(panel::tabRun(w, 10, 400, 3, 2), (TabRun{0, 5}));  // all fit
    EXPECT_EQ(panel::tabRun(w, 10, 200, 3, 0), (TabRun{2, 2}));  // moved on just far enough for the selected tab
    EXPECT_EQ(panel::tabRun(w, 10, 200, 1, 2), (TabRun{0, 3}));  // back to it, and on to fill the row
    EXPECT_EQ(panel::tabRun(w, 10, 40, 2, 0), (TabRun{2, 1}));   // the selected tab even where nothing fits
    EXPECT_EQ(panel::tabRun(w, 10, 85, 4, 3), (TabRun{4, 1}));   // the neighbour fits, the selected does not
}

TEST(SkyCarousel, EveryThirdMeteorClickStartsABurst) {
    int clicks = 0;
    std::vector<bool> bursts;
    for (int i = 0; i < 7; ++i) bursts.push_back(panel::countMeteorClick(clicks));
    EXPECT_EQ(bursts, (std::vector<bool>{false, false, true, false, false, true, false}));
    EXPECT_EQ(clicks, 1);
}

TEST(SkyCard, ClockTextsOfMoonAndPasses) {
    EXPECT_EQ(panel::skyClock(0, false), "12:00a");
    EXPECT_EQ(panel::skyClock(750, false), "12:30p");
    EXPECT_EQ(panel::skyClock(65, true), "01:05");
    MoonRiseSet rs;
    EXPECT_EQ(panel::moonRiseSetText(rs, true), "");
    rs.hasRise = true;
    rs.riseMinute = 6 * 60;
    EXPECT_EQ(panel::moonRiseSetText(rs, true), "rises 06:00");
    rs.hasSet = true;
    rs.setMinute = 18 * 60 + 30;
    EXPECT_EQ(panel::moonRiseSetText(rs, false), "rise 6:00a  set 6:30p");

    // Day words at a place five hours behind UTC, seen on Tuesday 10:00 local.
    const PlaceClock off = PlaceClock::fixed(-5 * 3600);
    const int64_t midnight = kMar10Noon - 12 * 3600 + 5 * 3600;  // local midnight, in UTC seconds
    const int64_t now = midnight + 10 * 3600;
    EXPECT_EQ(panel::passDayWord(midnight + 16 * 3600 + 59 * 60, now, off), "today");
    EXPECT_EQ(panel::passDayWord(midnight + 17 * 3600, now, off), "tonight");
    EXPECT_EQ(panel::passDayWord(midnight + 86400 + 3600, now, off), "tomorrow");
    EXPECT_EQ(panel::passDayWord(midnight + 2 * 86400 + 3600, now, off), "Thu");
    EXPECT_EQ(panel::localMonth(1767225600 - 1, 0), 12);  // 2025-12-31 23:59:59 UTC
    EXPECT_EQ(panel::localMonth(1767225600 - 1, 3600), 1);

    // Oslo at 00:30 CET on the day of the spring change, the record fetched
    // at +1: the moon and a pass (19:00 UTC) after the change on the summer clock.
    WeatherData oslo;
    oslo.location = {"Oslo", "NO", "Oslo", 59.9127, 10.7461, "Europe/Oslo", false};
    oslo.utcOffsetSeconds = 3600;
    oslo.issComputed = true;
    oslo.issPasses = {{1806260400, 1806260400, 1806260700, 40, 225, 45, true}};
    const auto lines = panel::skyCard(oslo, Config{}, 1806190200).lines;
    ASSERT_NE(findLine(lines, "rise 4:06a"), nullptr);
    EXPECT_EQ(findLine(lines, "ISS:")->text, "ISS: tonight 9:00p SW, max 40 deg");
    // A zone at UTC+0 is a known clock before the first forecast arrives.
    WeatherData london;
    london.location = {"London", "GB", "England", 51.5072, -0.1276, "Europe/London", false};
    EXPECT_NE(findLine(panel::skyCard(london, Config{}, 1796601600).lines, "rise "), nullptr);
    london.location.timezone.clear();
    EXPECT_EQ(findLine(panel::skyCard(london, Config{}, 1796601600).lines, "rise "), nullptr);
}

TEST(SkyCard, AuroraLinesFromOvationOrTheKpIndex) {
    const struct {
        bool hasAurora;
        double probability, kp, kpMax;
        std::string line;  // the aurora items joined; "" for none
    } cases[] = {
        {true, 40, 5, -1, "Aurora:|40% overhead now|(Kp 5)"},
        {true, 4, 5, -1, "Aurora:|Likely|(Kp 5)"},  // below 5 %: the Kp-based chance
        {false, -1, 1, 6, "Aurora watch: Kp 6 forecast"},
        {false, -1, 5, 5.4, "Aurora:|Likely|(Kp 5)"},  // 5.4 is not above 5.5: no watch
        {false, -1, 0, -1, ""},
    };
    for (const auto& c : cases) {
        WeatherData d;
        d.location.latitude = 59.91;
        d.hasAurora = c.hasAurora;
        d.auroraProbability = c.probability;
        d.kpIndex = c.kp;
        d.kpForecastMax = c.kpMax;
        const auto lines = panel::skyCard(d, Config{}, kMar10Noon).lines;
        std::string got;
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].text.rfind("Aurora", 0) == 0)
                for (size_t k = i; k < lines.size() && (k == i || lines[k].sameLine); ++k)
                    got += (got.empty() ? "" : "|") + lines[k].text;
        EXPECT_EQ(got, c.line) << c.probability << " " << c.kp;
    }
}

TEST(SkyCard, MeteorPlanetStarsPassAndFlareLines) {
    WeatherData d;
    d.location.latitude = 42.36;
    d.location.longitude = -71.06;
    d.utcOffsetSeconds = -4 * 3600;
    d.issComputed = true;
    for (int k = 0; k < 6; ++k) {
        IssPass p;
        p.start = kAug12Noon + 12 * 3600 + k * 5400;  // 20:00 local on
        p.end = p.start + 389;
        p.maxElevation = 55;
        p.startAzimuth = 225;
        p.endAzimuth = 45;
        d.issPasses.push_back(p);
    }
    d.solar = {true, "X1.2", -1, 180};
    Config c;
    c.use24hClock = true;
    const panel::SkyCardView v = panel::skyCard(d, c, kAug12Noon);

    const CardLine* meteors = findLine(v.lines, "Meteors: Perseids, near peak");
    ASSERT_NE(meteors, nullptr);
    EXPECT_EQ(meteors->click, CardClick::MeteorLine);

    const CardLine* iss = findLine(v.lines, "ISS:");
    ASSERT_NE(iss, nullptr);
    EXPECT_EQ(iss->text, "ISS: tonight 20:00 SW, max 55 deg");
    ASSERT_EQ(iss->tipLines.size(), 6u);  // heading, four passes, footnote
    EXPECT_EQ(iss->tipLines[1].text, "tonight 20:00  SW to NE, max 55 deg, 6 min");
    EXPECT_EQ(iss->tipLines.back().tone, CardTone::Disabled);

    const std::string stars =
        "Stars: " + std::to_string(panel::constellationsInSeason(8, 42.36)) + " constellations in season";
    ASSERT_NE(findLine(v.lines, stars), nullptr);
    EXPECT_EQ(findLine(v.lines, stars)->click, CardClick::StarsLine);

    const CardLine* sun = findLine(v.lines, "Sun:");
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sun->text, "Sun: X1.2 flare this week");
    EXPECT_EQ(sun->tone, CardTone::Error);
    EXPECT_EQ(sun->tooltip, "10.7 cm radio flux 180 sfu (~70 quiet, 150+ active)");
    d.solar = {true, "M2.0", 5.4, -1};
    const panel::SkyCardView flare = panel::skyCard(d, c, kAug12Noon);
    EXPECT_EQ(findLine(flare.lines, "Sun:")->text, "Sun: M2.0 flare, 5h ago");
    EXPECT_EQ(findLine(flare.lines, "Sun:")->tone, CardTone::Amber);

    // Moon times need the place's offset: none without a record where the zone is not known.
    const auto moonTimes = [&] { return findLine(panel::skyCard(d, c, kAug12Noon).lines, "ris") != nullptr; };
    EXPECT_TRUE(moonTimes());
    d.utcOffsetSeconds = 0;
    EXPECT_FALSE(moonTimes());
}

// ---- Meteor burst -----------------------------------------------------------

TEST(MeteorBurst, SixToNineMeteorsAtMostOneLargeAllHeadingDownRight) {
    std::set<size_t> counts;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        std::mt19937 probe(seed);
        std::vector<panel::Meteor> ms;
        panel::spawnMeteorBurst(rng, 1280, ms);
        ASSERT_EQ(ms.size(), 6 + probe() % 4) << seed;
        counts.insert(ms.size());
        int large = 0;
        for (const panel::Meteor& m : ms) {
            large += m.sprite == 3;
            const float speed = std::hypot(m.vx, m.vy);
            ASSERT_TRUE(m.sprite >= 0 && m.sprite <= 3 && m.scale >= 0.55f && m.scale < 1.1f) << seed;
            ASSERT_TRUE(speed >= 419.9f && speed < 900.1f && m.vx > 0 && m.vy > 0) << seed;  // down and right
            ASSERT_TRUE(m.y <= -60.0f && m.spin >= -2.2f && m.spin <= 2.2f) << seed;  // from above the window
        }
        ASSERT_LE(large, 1) << seed;
    }
    EXPECT_EQ(counts, (std::set<size_t>{6, 7, 8, 9}));
}

TEST(MeteorBurst, UnitFloatsStayBelowOne) {
    EXPECT_EQ(panel::unitFloat(0), 0.0f);
    EXPECT_FLOAT_EQ(panel::unitFloat(0x80000000u), 0.5f);
    EXPECT_EQ(static_cast<float>(0xFFFFFFFFu * 0x1p-32), 1.0f);  // what a plain conversion gives
    EXPECT_LT(panel::unitFloat(0xFFFFFFFFu), 1.0f);
    EXPECT_LT(panel::unitFloat(0xFFFFFF80u), 1.0f);
}

TEST(MeteorBurst, MotionIsBoundedAndEveryParticleIsFreed) {
    const float W = 1280, H = 800;
    std::mt19937 rng(42);
    std::vector<panel::Meteor> ms;
    for (int b = 0; b < 20; ++b) panel::spawnMeteorBurst(rng, W, ms);
    int frames = 0;
    while (!ms.empty() && frames < 100000) {
        panel::stepMeteors(ms, 1.0f / 60, W, H);
        ++frames;
        for (const panel::Meteor& m : ms) ASSERT_TRUE(m.x <= W + 220 && m.y <= H + 220 && m.x >= -0.35f * W - 496);
    }
    EXPECT_TRUE(ms.empty());
    // The slowest meteor falls at 420 * sin(0.55) px/s from at most 0.55 s
    // above the top: gone within (H + 280) / 219 + 0.55 s.
    EXPECT_LE(frames, static_cast<int>(((H + 280) / 219.0f + 0.55f) * 60) + 1);
}

TEST(MeteorBurst, LongPausesMoveByAtMostATenthOfASecondAndOrderIsKept) {
    std::vector<panel::Meteor> ms(3);
    ms[0] = {0, 0, 100, 200, 1, 0, 1, 0};
    ms[1] = {1400, 0, 100, 100, 1, 0, 0, 1};  // leaves past the right edge + 220 this frame
    ms[2] = {10, 10, 50, 50, 1, 1, -1, 2};
    panel::stepMeteors(ms, 2.0f, 1280 - 105, 800);
    ASSERT_EQ(ms.size(), 2u);
    EXPECT_FLOAT_EQ(ms[0].y, 20);
    EXPECT_FLOAT_EQ(ms[0].rotation, 0.1f);
    EXPECT_EQ(ms[1].sprite, 2);
    EXPECT_FLOAT_EQ(ms[1].x, 15);
}

}  // namespace
}  // namespace nbr
