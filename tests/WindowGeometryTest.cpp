// Window sizes at start and after "Set size", the mini strip, the geometry stored at shut-down,
// windows kept inside the main one, and the dashboard's body layout.
#include "app/App.h"
#include "ui/Panel_Forecast.h"
#include "ui/UIRenderer.h"
#include "ui/WindowFit.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

TEST(WindowGeometryTest, StartSizeFromSettingsOrScaledDefault) {
    WindowSize s = initialWindowSize(600, 0, 1.5f, 0, 0);
    EXPECT_EQ(s.w, 700);
    EXPECT_EQ(s.h, 1230);
    s = initialWindowSize(0, 0, 1.0f, 0, 0);
    EXPECT_EQ(s.w, 1040);
    EXPECT_EQ(s.h, 820);
    s = initialWindowSize(0, 0, 1.25f, 0, 0);
    EXPECT_EQ(s.w, 1300);
    EXPECT_EQ(s.h, 1025);
    s = initialWindowSize(1200, 300, 1.0f, 0, 0);
    EXPECT_EQ(s.w, 1200);
    EXPECT_EQ(s.h, 500);
    s = initialWindowSize(-5, -5, 1.0f, 0, 0);
    EXPECT_EQ(s.w, 1040);
    EXPECT_EQ(s.h, 820);
}

TEST(WindowGeometryTest, StoredSizeLargerThanTheDisplayIsLimitedToIt) {
    const WindowSize s = initialWindowSize(5000, 4000, 1.0f, 1280, 770);
    EXPECT_EQ(s.w, 1280);
    EXPECT_EQ(s.h, 770);
    const WindowSize d = initialWindowSize(0, 0, 1.0f, 1280, 770);
    EXPECT_EQ(d.w, 1040);
    EXPECT_EQ(d.h, 770);
}

TEST(WindowGeometryTest, SetSizeKeepsTheWindowWhollyOnTheUsableAreaOfItsDisplay) {
    const struct {
        WindowBox asked, area, want;
    } rows[] = {
        {{100, 50, 1920, 1080}, {0, 0, 1280, 900}, {0, 0, 1280, 900}},          // larger than the screen
        {{600, 400, 1000, 700}, {0, 0, 1280, 900}, {280, 200, 1000, 700}},      // fits, once moved back
        {{10, 10, 800, 600}, {0, 0, 1280, 900}, {10, 10, 800, 600}},            // already on it
        {{1500, -20, 900, 650}, {1280, 28, 1920, 1052}, {1500, 28, 900, 650}},  // a second display, below a panel
        {{1400, 300, 700, 500}, {0, 0, 640, 480}, {0, 0, 640, 480}},            // a display below the least size
    };
    for (const auto& r : rows) {
        const WindowBox b = fitToDisplay(r.asked, r.area);
        EXPECT_TRUE(b.x == r.want.x && b.y == r.want.y && b.w == r.want.w && b.h == r.want.h)
            << r.asked.w << "x" << r.asked.h << " went to " << b.x << "," << b.y << " " << b.w << "x" << b.h;
    }
}

TEST(WindowGeometryTest, MiniStripSizeAndOpacity) {
    WindowSize m = miniStripSize(1.5f);
    EXPECT_EQ(m.w, 600);
    EXPECT_EQ(m.h, 144);
    m = miniStripSize(1.0f);
    EXPECT_EQ(m.w, 400);
    EXPECT_EQ(m.h, 96);
    m = miniStripSize(1.3f);  // truncated, not rounded
    EXPECT_EQ(m.w, 520);
    EXPECT_EQ(m.h, 124);
    EXPECT_FLOAT_EQ(miniOpacity(25), 0.4f);
    EXPECT_FLOAT_EQ(miniOpacity(40), 0.4f);
    EXPECT_FLOAT_EQ(miniOpacity(75), 0.75f);
    EXPECT_FLOAT_EQ(miniOpacity(100), 1.0f);
    EXPECT_FLOAT_EQ(miniOpacity(250), 1.0f);
    EXPECT_FLOAT_EQ(miniOpacity(-3), 0.4f);
}

TEST(WindowGeometryTest, ShutDownInMiniModeStoresTheFullSizeAndTheStripPosition) {
    Config c;
    c.windowW = 1;
    c.windowH = 1;
    storeWindowGeometry(c, true, 1100, 760, 30, 40, 400, 96);
    EXPECT_EQ(c.windowW, 1100);
    EXPECT_EQ(c.windowH, 760);
    EXPECT_EQ(c.miniPosX, 30);
    EXPECT_EQ(c.miniPosY, 40);

    Config f;
    storeWindowGeometry(f, false, 1100, 760, 30, 40, 980, 700);
    EXPECT_EQ(f.windowW, 980);
    EXPECT_EQ(f.windowH, 700);
    EXPECT_EQ(f.miniPosX, Config::kNoPos);
    EXPECT_EQ(f.miniPosY, Config::kNoPos);
}

TEST(WindowGeometryTest, AWindowIsShrunkToTheMainWindowAndMovedTheLeastIntoIt) {
    const struct {
        draw::Box box, want;
    } rows[] = {
        {{{10, 10}, {100, 100}}, {{10, 10}, {100, 100}}},    // inside: unchanged
        {{{455, 150}, {370, 700}}, {{330, 0}, {370, 500}}},  // a modal left where a larger window had it
        {{{60, 60}, {720, 660}}, {{0, 0}, {700, 500}}},      // larger than the main window
        {{{-20, -5}, {100, 40}}, {{0, 0}, {100, 40}}},       // past the top-left corner
        {{{650, 480}, {100, 40}}, {{600, 460}, {100, 40}}},  // past the bottom-right corner
    };
    for (const auto& r : rows) {
        const draw::Box b = draw::fitInside(r.box, ImVec2(0, 0), ImVec2(700, 500));
        EXPECT_TRUE(b.pos.x == r.want.pos.x && b.pos.y == r.want.pos.y && b.size.x == r.want.size.x &&
                    b.size.y == r.want.size.y)
            << r.box.pos.x << "," << r.box.pos.y << " went to " << b.pos.x << "," << b.pos.y;
    }
}

// Framed line 22, text 13, spacing 9, region padding 16 x 14, cell padding 4 x 2.
constexpr BodyMetrics kStyle{22, 13, 9, 16, 14, 4, 2};

TEST(DashboardLayoutTest, ShortWindowKeepsMinimumRows) {
    const BodyLayout l = layoutBody(900, 100, kStyle);
    EXPECT_EQ(l.H, 200);
    EXPECT_EQ(l.dailyH, 185);
    EXPECT_EQ(l.top, 160);
}

TEST(DashboardLayoutTest, DailyRowShrinksToLeaveTheTopRow340ButNotBelow185) {
    // The 7-day panel holds 28 + 5 * 13 + 3 * 9 + 8 * 2 + 2 and an icon 0.74 of (900 - 32) / 7 - 8: 223.84.
    const BodyLayout mid = layoutBody(900, 603, kStyle);  // H = 603 - 22 - 18
    EXPECT_FLOAT_EQ(mid.H, 563);
    EXPECT_FLOAT_EQ(mid.dailyH, 223);  // 563 - 340
    EXPECT_FLOAT_EQ(mid.top, 340 - 20);

    const BodyLayout tight = layoutBody(900, 543, kStyle);  // H = 503
    EXPECT_FLOAT_EQ(tight.dailyH, 185);
    EXPECT_FLOAT_EQ(tight.top, 503 - 185 - 20);
}

TEST(DashboardLayoutTest, TallWindowKeepsTheNaturalDailyHeight) {
    const BodyLayout l = layoutBody(900, 1003, kStyle);
    EXPECT_FLOAT_EQ(l.dailyH, 223);
    EXPECT_FLOAT_EQ(l.top, 719);  // 963 - 223.84 - 20 in whole pixels, and with two separators and the
    EXPECT_EQ(l.top + l.dailyH + 4 * 9 + 2 + 22, 1002);  // status bar inside the height
    // Wide windows cap the day cell at 118.
    const BodyLayout wide = layoutBody(3000, 1000, kStyle);
    EXPECT_FLOAT_EQ(wide.dailyH, 138 + 118);
}

// Night by the record's sun times on the place's clock, else local hours
// before 6 and after 18.
TEST(DashboardLayoutTest, NightRunsFromSunsetToSunriseElseByTheClock) {
    const auto byClock = [](long long t, int offset) {
        WeatherData d;
        d.utcOffsetSeconds = offset;
        return panel::isNightAt(d, t);
    };
    const long long midnightUtc = 1767225600;  // 2026-01-01 00:00 UTC
    EXPECT_TRUE(byClock(midnightUtc, 0));
    EXPECT_FALSE(byClock(midnightUtc + 6 * 3600, 0));
    EXPECT_FALSE(byClock(midnightUtc + 18 * 3600 + 3599, 0));
    EXPECT_TRUE(byClock(midnightUtc + 19 * 3600, 0));
    EXPECT_FALSE(byClock(midnightUtc, 12 * 3600));  // noon at UTC+12
    EXPECT_TRUE(byClock(midnightUtc + 10 * 3600, -8 * 3600));  // 02:00 at UTC-8
    EXPECT_TRUE(byClock(3600, -5 * 3600));  // negative local seconds wrap into the day
    // Halifax (UTC-4) on 15 December, Oslo (UTC+2) on 21 June, at local hhmm.
    const DailyForecast halifax{.date = "2026-12-15", .sunrise = "2026-12-15T07:40", .sunset = "2026-12-15T16:35"},
        oslo{.date = "2026-06-21", .sunrise = "2026-06-21T03:54", .sunset = "2026-06-21T22:44"};
    const struct { const DailyForecast* day; int hhmm; bool night; } rows[] = {
        {&halifax, 1820, true}, {&halifax, 1634, false}, {&halifax, 739, true}, {&oslo, 530, false},
        {&oslo, 2245, true},    {&oslo, 2930, true}};  // the last: 05:30 the next day, by the clock
    for (const auto& r : rows) {
        WeatherData d;
        d.utcOffsetSeconds = r.day == &halifax ? -4 * 3600 : 2 * 3600;
        d.daily = {*r.day};
        const long long midnight = (r.day == &halifax ? 1797292800 : 1782000000) - d.utcOffsetSeconds;
        EXPECT_EQ(panel::isNightAt(d, midnight + r.hhmm / 100 * 3600 + r.hhmm % 100 * 60), r.night) << r.hhmm;
    }
    // Where the sun's times don't fit one day: Reykjavik's June sunset after
    // midnight, Tromsø's midnight sun and polar night by the day's daylight;
    // Oslo at 20:00 CEST on the day of the spring change, fetched at +1 (the
    // reply's times are written at that offset).
    const DailyForecast rvk21{.date = "2027-06-21", .sunrise = "2027-06-21T02:55", .sunset = "2027-06-22T00:03"},
        rvk22{.date = "2027-06-22", .sunrise = "2027-06-22T02:56", .sunset = "2027-06-23T00:03"},
        midnightSun{.date = "2027-06-21", .sunrise = "", .sunset = "", .daylightDuration = 86400},
        polarNight{.date = "2027-12-21", .sunrise = "", .sunset = "", .daylightDuration = 0},
        osloSpring{.date = "2027-03-28", .sunrise = "2027-03-28T05:55", .sunset = "2027-03-28T18:48"};
    const struct { const char* zone; std::vector<DailyForecast> days; long long utc; bool night; } zoned[] = {
        {"Atlantic/Reykjavik", {rvk21, rvk22}, 1813620600, false},  // 23:30
        {"Atlantic/Reykjavik", {rvk21, rvk22}, 1813622460, false},  // 00:01, before the 21st's sunset
        {"Atlantic/Reykjavik", {rvk21, rvk22}, 1813623000, true},   // 00:10
        {"Atlantic/Reykjavik", {rvk21, rvk22}, 1813633080, false},  // 02:58
        {"Europe/Oslo", {midnightSun}, 1813611600, false},           // 23:00
        {"Europe/Oslo", {polarNight}, 1829386800, true},             // noon
        {"Europe/Oslo", {osloSpring}, 1806256800, true}};
    for (const auto& z : zoned) {
        WeatherData d;
        d.location.timezone = z.zone;
        d.utcOffsetSeconds = z.zone[0] == 'E' ? 3600 : 0;
        d.daily = z.days;
        EXPECT_EQ(panel::isNightAt(d, z.utc), z.night) << z.zone << " " << z.utc;
    }
}

}  // namespace
}  // namespace nbr
