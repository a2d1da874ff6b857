// What the dashboard's panels say and in which colour, from records made
// here: places bar, current conditions, forecast strips, sun tracker, status
// bar, toasts, mini strip and notification centre.
#include "foundation/PlaceTime.h"
#include "model/Utf8.h"
#include "service/WeatherService.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Places.h"
#include "ui/Panel_Status.h"
#include "ui/UIDraw.h"
#include "GuiHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

namespace nbr::panel {
namespace {

using std::chrono::seconds;
using std::chrono::system_clock;

Config imperial() { return Config{}; }
Config metric() {
    Config c;
    c.useFahrenheit = false;
    c.windUnit = 1;
    c.pressureUnit = 1;
    c.precipUnit = 1;
    c.use24hClock = true;
    return c;
}

bool has(const std::vector<Line>& ls, const std::string& text, Tone tone) {
    for (const Line& l : ls)
        if (l.text == text) return l.tone == tone;
    return false;
}
bool hasText(const std::vector<Line>& ls, const std::string& prefix) {
    for (const Line& l : ls)
        if (l.text.rfind(prefix, 0) == 0) return true;
    return false;
}

// ---- Places bar and windows ----

TEST(PanelPlaces, TitleClockOffsetAndBadge) {
    GeoLocation g{"Boston", "US", "Massachusetts", 0, 0, "", false};
    EXPECT_EQ(placeTitle(g), "Boston, Massachusetts, US");
    g.customLabel = true;
    EXPECT_EQ(placeTitle(g), "Boston");
    EXPECT_EQ(placeTitle(GeoLocation{"Nowhere", "", "", 0, 0, "", false}), "Nowhere");

    const struct { int secs; const char* text; } offsets[] = {
        {-12600, "UTC-3:30"}, {20700, "UTC+5:45"}, {0, "UTC+0"}, {-18000, "UTC-5"}, {-1800, "UTC-0:30"}};
    for (const auto& o : offsets) EXPECT_EQ(utcOffsetText(o.secs), o.text) << o.secs;

    WeatherData d;
    EXPECT_EQ(placeClockText(d, 0, false), "");  // UTC+0 before any data: no clock
    d.fetchedAt = system_clock::time_point(seconds(5));
    EXPECT_EQ(placeClockText(d, 3600 * 13 + 60 * 7, false), "1:07 PM  UTC+0");
    d.utcOffsetSeconds = -12600;  // 13:07 UTC is 09:37 there
    EXPECT_EQ(placeClockText(d, 3600 * 13 + 60 * 7, true), "09:37  UTC-3:30");
    EXPECT_EQ(placeClockText(d, 0, true), "20:30  UTC-3:30");  // before the epoch's midnight
    // A named zone's offset at each instant, whatever the record was fetched
    // at: Oslo fetched at +1 before the spring change and at +2 before the
    // autumn one. A zone at UTC+0 has a clock before any forecast; a name
    // that is no place's zone has none.
    const struct { const char* zone; int fetchedAt; long long t; const char* clock, *hour; } zoned[] = {
        {"Europe/Oslo", 3600, 1806195599, "01:59  UTC+1", "2027-03-28T01:59"},
        {"Europe/Oslo", 3600, 1806195630, "03:00  UTC+2", "2027-03-28T03:00"},
        {"Europe/Oslo", 7200, 1824944399, "02:59  UTC+2", "2027-10-31T02:59"},
        {"Europe/Oslo", 7200, 1824944400, "02:00  UTC+1", "2027-10-31T02:00"},
        {"Europe/London", 0, 1796648400, "13:00  UTC+0", "2026-12-07T13:00"},
        {"localtime", 0, 1796648400, "", "2026-12-07T13:00"}};
    for (const auto& z : zoned) {
        WeatherData w;
        w.location.timezone = z.zone;
        w.utcOffsetSeconds = z.fetchedAt;
        w.fetchedAt = system_clock::time_point(seconds(z.fetchedAt));  // none for the UTC+0 rows
        EXPECT_EQ(placeClockText(w, z.t, true), z.clock) << z.zone << " " << z.t;
        EXPECT_EQ(placeClock(w).minuteOf(z.t), z.hour) << z.zone << " " << z.t;
    }
    // The clock texts change at the next minute by the wall clock or the
    // place's clock, whichever comes first.
    const struct { long long now; int offset; long long next; } minutes[] = {
        {120, 0, 180}, {179, -12600, 180}, {-1, 0, 0}, {125, 37, 143}, {125, -37, 157}};
    for (const auto& m : minutes) EXPECT_EQ(nextMinuteStart(m.now, m.offset), m.next) << m.now << " " << m.offset;

    const struct { int unread; const char* badge; } badges[] = {{0, ""}, {1, "1"}, {9, "9"}, {10, "9+"}, {12, "9+"}};
    for (const auto& b : badges) EXPECT_EQ(mailboxBadge(b.unread), b.badge);
}

TEST(PanelPlaces, CoordinateEntryAndEditRules) {
    const struct { double lat, lon; bool valid, hint; } entries[] = {
        {0, 0, false, false},  {42.36, -71.06, true, false}, {91, 10, false, true},  {-90, 180, true, false},
        {0, 180.5, false, true}, {0, 0.000001, true, false},   {NAN, 0, false, true}};
    for (const auto& e : entries) {
        const CoordinateEntry c = checkCoordinateEntry(e.lat, e.lon);
        EXPECT_EQ(c.valid, e.valid) << e.lat << "," << e.lon;
        EXPECT_EQ(c.showHint, e.hint) << e.lat << "," << e.lon;
    }
    const GeoLocation unnamed = coordinatePlace("", 1, 2);
    EXPECT_EQ(unnamed.name, "Custom location");
    EXPECT_FALSE(unnamed.customLabel);
    EXPECT_EQ(coordinatePlace("Cabin \xFF", 1, 2).name, "Cabin \xEF\xBF\xBD");

    const GeoLocation active{"Oslo", "NO", "Oslo", 59.9, 10.7, "Europe/Oslo", false};
    const GeoLocation e = editedPlace(active, "Home", 60, 11);
    EXPECT_EQ(e.name, "Home");
    EXPECT_TRUE(e.customLabel);
    EXPECT_EQ(e.timezone, "Europe/Oslo");
    EXPECT_EQ(e.country, "NO");
    EXPECT_DOUBLE_EQ(e.latitude, 60);
    const GeoLocation moved = editedPlace(active, "Oslo, Oslo, NO", 61, 11);  // the title left: its own name stays
    EXPECT_TRUE(moved.name == "Oslo" && !moved.customLabel && moved.latitude == 61);
    EXPECT_TRUE(editedPlace(e, "Home", 61, 11).customLabel);
    EXPECT_FALSE(canSaveEdit("", 10, 10));
    EXPECT_FALSE(canSaveEdit("Home", -91, 10));
    EXPECT_TRUE(canSaveEdit("Home", 0, 0));
    EXPECT_EQ(searchResultLabel(active, 3), "Oslo, Oslo, NO##3");
    EXPECT_EQ(searchResultLabel(GeoLocation{"Boston", "PH", "", 0, 0, "", false}, 0), "Boston, PH##0");

    // The search window's note in place of its list: searching, answered, failure, places found.
    const std::string fail = "Couldn't reach the place search - check your connection.";
    const std::string none = "No results. Try a different search.";
    const struct { bool searching, answered; std::string failure; bool found; std::string note; Tone tone; } notes[] = {
        {false, false, "", false, "", Tone::Normal},  // nothing searched yet
        {true, true, fail, true, "Searching...", Tone::Dim},  // a new search hides the last answer
        {false, true, fail, false, fail, Tone::Amber},
        {false, true, "", false, none, Tone::Dim},
        {false, true, "", true, "", Tone::Normal}};
    for (const auto& n : notes) {
        EXPECT_EQ(searchNote(n.searching, n.answered, n.failure, n.found).text, n.note) << n.searching << n.failure;
        EXPECT_EQ(searchNote(n.searching, n.answered, n.failure, n.found).tone, n.tone) << n.note;
    }
}

// ---- Current conditions ----

constexpr int64_t kRecordNow = 1796638500;  // 2026-12-07 10:15 UTC, the record's time

// Quarter-hour steps of `mm` from the record's time, all of one code.
std::vector<MinutelyForecast> stepsFromNow(std::initializer_list<double> mm, int code) {
    std::vector<MinutelyForecast> out;
    for (double v : mm) out.push_back({PlaceClock().minuteOf(kRecordNow + 900 * int64_t(out.size())), v, code});
    return out;
}

// The advice and the mini strip at the record's own time.
Line currentAdvice(const WeatherData& d, const Config& c) {
    return panel::currentAdvice(d, todayOf(d, kRecordNow), c, kRecordNow);
}
MiniStrip miniStrip(const WeatherData& d, const Config& c, bool refreshing,
                    const std::vector<SavedLocation>& saved = {}) {
    return panel::miniStrip(d, saved, c, refreshing, kRecordNow);
}

WeatherData currentRecord() {
    WeatherData d;
    d.time = "2026-12-07T10:15";
    d.relativeHumidity = 71;
    d.dewPoint = -1.5;
    d.windSpeed = 19.8;
    d.windDirection = 242;
    d.windGusts = 41.4;
    d.precipitation = 0.3;
    d.cloudCover = 96;
    d.pressureMsl = 1011.6;
    return d;
}

TEST(PanelCurrent, MetricRowsAppearByTheirConditionsWithTheirColours) {
    WeatherData d = currentRecord();
    std::vector<Line> m = currentMetrics(d, imperial());
    ASSERT_EQ(m.size(), 6u);  // no visibility, snow, UV, air or station
    EXPECT_EQ(m[2].text, "Wind 12 mph SW");
    EXPECT_EQ(currentMetrics(d, metric())[4].text, "Precip 0.3 mm");

    const struct { double uv; const char* text; Tone tone; } uvs[] = {
        {0.4, nullptr, Tone::Normal}, {3.0, "UV 3 Moderate", Tone::Amber}, {8.0, "UV 8 Very High", Tone::Error}};
    for (const auto& u : uvs) {
        d.uvIndex = u.uv;
        if (!u.text) EXPECT_FALSE(hasText(currentMetrics(d, imperial()), "UV")) << u.uv;
        else EXPECT_TRUE(has(currentMetrics(d, imperial()), u.text, u.tone)) << u.uv;
    }
    d.uvIndex = 0;
    d.airQuality.valid = true;
    const struct { double aqi; Tone tone; } aqis[] = {{50, Tone::Live}, {50.5, Tone::Amber}, {100, Tone::Amber},
                                                      {101, Tone::Error}};
    for (const auto& a : aqis) {
        d.airQuality.usAqi = a.aqi;
        EXPECT_EQ(currentMetrics(d, imperial()).back().tone, a.tone) << a.aqi;
    }
    d.airQuality.usAqi = -1;  // hides the air row, not the haze row
    d.airQuality.pm2_5 = 35;
    m = currentMetrics(d, imperial());
    EXPECT_FALSE(hasText(m, "Air "));
    EXPECT_TRUE(has(m, "Haze: smoke likely (PM2.5 35)", Tone::Amber));

    d.station = {true, "KBOS", 10.0, 4.0, 20.0, 0.0, -1};
    EXPECT_EQ(currentMetrics(d, imperial()).back().text, "Stn KBOS 39F (6 mi)");  // no gust row
    d.station.windGusts = 45;
    m = currentMetrics(d, metric());
    EXPECT_EQ(m[m.size() - 2].text, "Stn KBOS 4C (10 km)");
    EXPECT_EQ(m.back().text, "Stn gusts 45 km/h");

    // Values the service did not give show as "--", never as 0.
    d = currentRecord();
    d.relativeHumidity = d.windSpeed = d.windDirection = d.windGusts = d.precipitation = d.cloudCover = kUnknownAmount;
    d.dewPoint = d.apparentTemperature = kUnknownTemperature;
    std::string all = feelsLikeText(d, metric());
    for (const Line& l : currentMetrics(d, metric())) all += "|" + l.text;
    EXPECT_EQ(all, "(feels like --)|Humidity --|Dew --|Wind --|Gusts --|Precip --|Cloud --");
    d.windSpeed = 10;  // a speed without its direction
    EXPECT_EQ(currentMetrics(d, metric())[2].text, "Wind 10 km/h");
}

TEST(PanelCurrent, PressureSunAndDaylightLines) {
    WeatherData d = currentRecord();
    EXPECT_EQ(pressureLine(d, imperial()), "Pressure 29.87 inHg");
    d.hasPressureTrend = true;
    const struct { double delta; const char* word; bool warn; } trends[] = {
        {1.0, " (rising)", false}, {0.5, " (steady)", false}, {-2.9, " (falling)", false}, {-3.0, " (falling)", true}};
    for (const auto& t : trends) {
        d.pressureTrend3h = t.delta;
        EXPECT_EQ(pressureLine(d, metric()), std::string("Pressure 1012 hPa") + t.word);
        EXPECT_EQ(pressureWarning(d).empty(), !t.warn) << t.delta;
    }
    d.pressureMsl = 0;
    EXPECT_EQ(pressureLine(d, metric()), "");
    EXPECT_EQ(pressureWarning(d), "");

    const long long noon = 1796644800;  // 2026-12-07 12:00 UTC; the record's place is at UTC-1
    d.utcOffsetSeconds = -3600;
    EXPECT_EQ(sunLine(d, todayOf(d, noon), imperial()), "");
    EXPECT_EQ(daylightLine(todayOf(d, noon)), "");
    DailyForecast today, tomorrow;
    today.date = "2026-12-07", tomorrow.date = "2026-12-08";
    today.sunrise = "2026-12-07";  // no time
    today.sunset = "2026-12-07T16:12";
    today.daylightDuration = 33242.57;
    d.daily = {today};
    EXPECT_EQ(sunLine(d, todayOf(d, noon), imperial()), "Sun   - 4:12 PM");
    EXPECT_EQ(daylightLine(todayOf(d, noon)), "Daylight 9h 14m");
    // The place's day, not the record's first: a day later offline nothing,
    // then the day the record holds; a day without sunset.
    EXPECT_EQ(sunLine(d, todayOf(d, noon + 86400), imperial()), "");
    EXPECT_EQ(daylightLine(todayOf(d, noon + 86400)), "");
    tomorrow.sunrise = "2026-12-08T07:01", tomorrow.sunset = "2026-12-08T16:11", tomorrow.daylightDuration = 33000;
    d.daily = {today, tomorrow};
    EXPECT_EQ(sunLine(d, todayOf(d, noon + 86400), imperial()), "Sun  7:01 AM - 4:11 PM");
    EXPECT_EQ(daylightLine(todayOf(d, noon + 86400)), "Daylight 9h 10m");
    d.daily[1].sunrise = "2026-12-08T00:00", d.daily[1].sunset = "2026-12-09T00:00";
    EXPECT_EQ(sunLine(d, todayOf(d, noon + 86400), imperial()), "Sun  Midnight sun");
}

TEST(PanelCurrent, AdviceFollowsTheNowcastElseTheTakeaway) {
    WeatherData d = currentRecord();
    auto steps = [&](std::initializer_list<double> mm, int code = 61) { d.minutely15 = stepsFromNow(mm, code); };
    steps({0, 0, 0.3, 0.3});
    EXPECT_EQ(currentAdvice(d, imperial()).text, "Rain starting in ~30 min");
    EXPECT_EQ(currentAdvice(d, imperial()).tone, Tone::Amber);
    steps({0.3, 0.2, 0.0});
    EXPECT_EQ(currentAdvice(d, imperial()).text, "Rain stopping in ~30 min");
    EXPECT_EQ(currentAdvice(d, imperial()).tone, Tone::Live);
    // As far as the wet steps reach from now, in whole quarter hours; less than one step claims nothing ahead.
    const std::tuple<size_t, int64_t, const char*> reach[] = {  // wet steps, seconds into the first
        {8, 0, "Rain continuing for the next 2h"}, {8, 120, "Rain continuing for the next 1h 45m"},
        {2, 0, "Rain continuing for the next 30 min"}, {4, 120, "Rain continuing for the next 45 min"},
        {1, 0, "Rain continuing for the next 15 min"}, {1, 120, "Rain now"}};
    for (const auto& [wet, later, text] : reach) {
        steps({0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3});
        d.minutely15.resize(wet);
        EXPECT_EQ(panel::currentAdvice(d, nullptr, imperial(), kRecordNow + later).text, text);
    }
    steps({0.3, 0.2, 0.0}, 86);  // what falls is named by the first wet step's code
    EXPECT_EQ(currentAdvice(d, imperial()).text, "Snow stopping in ~30 min");
    steps({});
    EXPECT_EQ(currentAdvice(d, imperial()).tone, Tone::Accent);
    EXPECT_EQ(currentAdvice(d, imperial()).text, "");  // nothing held from now on: no takeaway
    EXPECT_FALSE(hasCurrentConditions(WeatherData{}));
    EXPECT_TRUE(hasCurrentConditions(d));
}

// ---- Hourly and daily forecast ----

// The strip remembered between frames follows every input of its cells.
TEST(PanelForecast, RememberedHourStripFollowsEachInput) {
    std::vector<HourlyForecast> hours(3);
    for (size_t i = 0; i < hours.size(); ++i) hours[i].time = "2026-12-07T1" + std::to_string(i) + ":00";
    Config cfg = imperial();
    long long now = 1796635800;  // 2026-12-07 09:30 UTC
    RecordClock clock{0, PlaceClock::fixed(0)};
    const std::function<void()> changes[] = {
        [&] { now += 4200; },  [&] { hours[1].time = "2026-12-07T23:00"; },  [&] { hours[2].temperature = 0.4; },
        [&] { clock.replyOffset = 3600; }, [&] { clock.place = PlaceClock::fixed(7200); },
        [&] { hours[2].temperature = -0.4; },         [&] { hours[0].weatherCode = 95; },
        [&] { hours[1].precipitationProbability = 7; }, [&] { cfg.use24hClock = true; },
        [&] { cfg.useFahrenheit = false; },           [&] { hours.pop_back(); },
    };
    LastAnswer<std::vector<HourCells>> memo;
    auto remembered = [&] {
        return memo.get(hourStripInputs(hours, cfg, clock, now), [&] { return hourStrip(hours, cfg, clock, now); });
    };
    remembered();
    for (size_t k = 0; k < std::size(changes); ++k) {
        changes[k]();
        const std::vector<HourCells> got = remembered(), want = hourStrip(hours, cfg, clock, now);
        ASSERT_EQ(got.size(), want.size()) << k;
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(got[i].hour, want[i].hour) << k;
            EXPECT_EQ(got[i].temperature, want[i].temperature) << k;
            EXPECT_EQ(got[i].condition, want[i].condition) << k;
            EXPECT_EQ(got[i].rain, want[i].rain) << k;
        }
    }
}

TEST(PanelForecast, HourCellsTooltipAndChart) {
    HourlyForecast h;
    h.time = "2026-12-07T00:00";
    h.temperature = 20;
    h.weatherCode = 61;
    h.precipitation = h.snowfall = 0;
    h.precipitationProbability = 45.4;
    const RecordClock utc{0, PlaceClock::fixed(0)};
    EXPECT_EQ(hourCells(h, true, imperial(), utc).hour, "Now");
    EXPECT_EQ(hourCells(h, false, imperial(), utc).hour, "12AM");
    EXPECT_EQ(hourCells(h, false, metric(), utc).hour, "00:00");
    h.time = "2026-12-07T13:00";
    const HourCells c = hourCells(h, false, imperial(), utc);
    EXPECT_EQ(c.hour, "1PM");
    EXPECT_EQ(c.temperature, "68F");
    EXPECT_EQ(c.rain, "45%");
    h.time = "2026-12-07";
    EXPECT_EQ(hourCells(h, false, imperial(), utc).hour, "12AM");
    const HourlyForecast unknown{"2026-12-07T12:00", kUnknownTemperature, kUnknownCode, -1, -1, -1, 0, 0, -1};
    const HourCells u = hourCells(unknown, false, metric(), utc);
    EXPECT_EQ(u.temperature + " " + u.condition + " " + u.rain, "-- -- --");
    EXPECT_EQ(hourlyTooltip(unknown, metric(), utc).size(), 1u);  // the hour alone: no unknown value

    h.time = "2026-12-07T12:00";
    std::vector<Line> tip = hourlyTooltip(h, imperial(), utc);
    EXPECT_EQ(tip[0].text, "12 PM");
    EXPECT_TRUE(tip[1].separatorBefore);
    EXPECT_TRUE(has(tip, "No precipitation", Tone::Dim));
    h.snowfall = 1.0;
    tip = hourlyTooltip(h, metric(), RecordClock{3600, PlaceClock::fixed(7200)});
    EXPECT_EQ(tip[0].text, "13:00");  // written at +1, shown at +2
    EXPECT_TRUE(hasText(tip, "Snow: 1.0 cm"));
    EXPECT_FALSE(hasText(tip, "No precipitation"));

    std::vector<HourlyForecast> hours(1);
    EXPECT_TRUE(hourlyChartLevels(hours, false).empty());
    hours.assign(3, {.time = "", .temperature = 0});  // flat: the middle of the band
    for (float v : hourlyChartLevels(hours, true)) EXPECT_FLOAT_EQ(v, 0.5f);
    hours[1].temperature = 10;
    const std::vector<float> lv = hourlyChartLevels(hours, false);
    EXPECT_FLOAT_EQ(lv[0], 0.0f);
    EXPECT_FLOAT_EQ(lv[1], 1.0f);
    hours[0].temperature = kUnknownTemperature, hours[2].temperature = 5;  // no point, no part in the scale
    const std::vector<float> known = hourlyChartLevels(hours, false);
    EXPECT_TRUE(std::isnan(known[0]) && known[1] == 1.0f && known[2] == 0.0f);
}

// Oslo's record fetched at 22:00 on 27 March (+1), read days later: strip from the hour holding now, table from today.
TEST(PanelForecast, StripAndTableStartAtNow) {
    constexpr int64_t kFetched = 1774645200;  // 2026-03-27 21:00 UTC
    WeatherData d;
    d.location.timezone = "Europe/Oslo", d.utcOffsetSeconds = 3600, d.daily.resize(7);
    for (int i = 0; i < 168; ++i) d.hourly.push_back({.time = PlaceClock::fixed(3600).minuteOf(kFetched + 3600 * i)});
    for (int i = 0; i < 7; ++i) d.daily[size_t(i)].date = PlaceClock::fixed(3600).dateOf(kFetched + 86400 * i);
    const struct { int64_t now; const char* first; size_t hours, days; } rows[] = {
        {kFetched + 86400 + 1800, "Now", 24, 6}, {kFetched + 2 * 86400 - 1800, "Now", 24, 5},  // a day old; two, CEST
        {kFetched + 7 * 86400, "", 0, 0}};                                                   // past the hours and days
    for (const auto& r : rows) {
        const std::vector<HourCells> cells = hourStrip(hoursFrom(d, r.now, 24), imperial(), recordClock(d), r.now);
        const std::span<const DailyForecast> days = daysFrom(d, r.now);
        EXPECT_TRUE(cells.size() == r.hours && (cells.empty() ? "" : cells[0].hour) == r.first) << r.now;
        EXPECT_TRUE(days.size() == r.days && (days.empty() || days[0].date == placeToday(d, r.now))) << r.now;
    }
    d.daily[1].date.clear();  // today undated: not past by its place alone
    EXPECT_EQ(daysFrom(d, kFetched + 86400 + 1800).size(), 6u);
}

// The first columns through an hour at UTC-4: the reply's current time is the
// quarter hour, and its list starts at the hour holding it. Then
// replies written at the offset in force when they were made, read after a
// change: Oslo at 01:30 on the spring change day (+1; its 02:00 is 03:00
// CEST) and New York past the autumn change (-4; its 02:00 is 01:00 EST).
TEST(PanelForecast, ColumnIsNowOnlyWhileItsHourHoldsThePresent) {
    const auto hoursOf = [](const char* day) {
        std::string hours;
        for (int h = 0; h < 24; ++h) hours += printed<40>("%s\"%sT%02d:00\"", h ? "," : "", day, h);
        return hours;
    };
    const struct { const char* zone; int offset; const char* current; long long now; const char* first[3]; } rows[] = {
        {"", -14400, "2026-12-07T17:00", 1796677200, {"Now", "6PM", "7PM"}},
        {"", -14400, "2026-12-07T17:00", 1796677200 + 14 * 60, {"Now", "6PM", "7PM"}},
        {"", -14400, "2026-12-07T17:15", 1796677200 + 15 * 60, {"Now", "6PM", "7PM"}},
        {"", -14400, "2026-12-07T17:45", 1796677200 + 59 * 60, {"Now", "6PM", "7PM"}},
        {"", -14400, "2026-12-07T16:45", 1796677200 + 70 * 60, {"4PM", "5PM", "Now"}},  // an older record
        {"Europe/Oslo", 3600, "2027-03-28T01:30", 1806193800, {"Now", "3AM", "4AM"}},
        {"America/New_York", -14400, "2027-11-07T00:45", 1825567800, {"12AM", "1AM", "Now"}},  // 01:10 EST
    };
    for (const auto& r : rows) {
        const std::string day(r.current, 10);
        const WeatherData d = WeatherService::parseWeatherResponse(
            printed<128>(R"({"timezone":"%s","utc_offset_seconds":%d,"current":{"time":"%s"},)", r.zone, r.offset,
                         r.current) +
                R"("hourly":{"time":[)" + hoursOf(day.c_str()) + "]}}",
            GeoLocation{});
        const auto cells = hourStrip(d.hourly, imperial(), recordClock(d), r.now);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(cells.at(size_t(i)).hour, r.first[i]) << r.current << " " << r.now;
    }
}

TEST(PanelForecast, DailyTableCells) {
    EXPECT_EQ(dailyColumns(9), 7);
    EXPECT_EQ(dailyColumns(3), 3);
    DailyForecast d;
    d.date = "2026-12-07";  // a Monday
    EXPECT_EQ(dayHeader(d, "2026-12-07", false), "Today");
    EXPECT_EQ(dayHeader(d, "2026-12-08", false), "Mon");  // the place's day is over: its own name
    EXPECT_EQ(dayHeader(d, "2026-12-06", true), "Mon 7");
    d.date = "1969-12-31";
    EXPECT_EQ(dayHeader(d, "", false), "Wed");
    d.date = "2026-12";
    EXPECT_EQ(dayHeader(d, "2026-12", false), "");
    d.date = "2026-13-45";
    EXPECT_EQ(dayHeader(d, "2026-13-45", false), "");
    // The place's today across its midnight, by its zone whatever offset the
    // record was fetched at; by that offset when the zone is not known.
    const struct { const char* zone; long long t; const char* today; } todays[] = {
        {"Europe/Oslo", 1796684399, "2026-12-07"}, {"Europe/Oslo", 1796684400, "2026-12-08"},  // CET
        {"Europe/Oslo", 1782943200, "2026-07-02"}, {"Nowhere/Else", 1782943200, "2026-07-01"}};  // CEST; +1
    for (const auto& r : todays) {
        WeatherData w;
        w.location.timezone = r.zone;
        w.utcOffsetSeconds = 3600;
        EXPECT_EQ(placeToday(w, r.t), r.today) << r.zone << " " << r.t;
    }

    EXPECT_EQ(dayConfidence(d).text, "");
    d.hasModelSpread = true;
    d.highMin = 10;
    d.highMax = 12;  // 2 degrees, in Celsius whatever the display unit: "high"
    EXPECT_TRUE(dayConfidence(d).text == "high" && dayConfidence(d).tone == Tone::Live);
    d.lowMax = 3;
    EXPECT_TRUE(dayConfidence(d).text == "med" && dayConfidence(d).tone == Tone::Amber);
    d.lowMax = 7;
    EXPECT_TRUE(dayConfidence(d).text == "low" && dayConfidence(d).tone == Tone::Dim);

    d.temperatureMax = 28, d.temperatureMin = kUnknownTemperature, d.precipitationProbabilityMax = kUnknownAmount;
    EXPECT_EQ(dayTemperatures(d, imperial()) + " " + dayRain(d).text, "82F/-- --");
    d.precipitationProbabilityMax = 60;
    EXPECT_EQ(dayRain(d).tone, Tone::Normal);
    d.popConsensus = true;
    d.popMin = 40;
    d.popMax = 70;  // exactly 30 points apart
    EXPECT_EQ(dayRain(d).tone, Tone::Amber);
    EXPECT_EQ(dayRain(d).text, "60%");
}

TEST(PanelForecast, DailyTooltipLines) {
    DailyForecast d;
    d.hasModelSpread = true;
    d.highMin = 10, d.highMax = 12, d.lowMin = 2, d.lowMax = 4;
    ForecastSkill skill;
    skill.leads[1] = {10, 0, 0, 1.0, 1.0};
    skill.leads[2] = {9, 0, 0, 1.0, 1.0};
    const char* high = "Confidence: high (tight model spread, local err ";
    EXPECT_TRUE(hasText(dailyTooltip(d, 1, &skill, metric(), {}), std::string(high) + "1.0 deg)"));
    EXPECT_TRUE(hasText(dailyTooltip(d, 1, &skill, imperial(), {}), std::string(high) + "1.8 deg)"));
    EXPECT_FALSE(hasText(dailyTooltip(d, 0, &skill, metric(), {}), "Confidence"));  // today
    EXPECT_FALSE(hasText(dailyTooltip(d, 2, &skill, metric(), {}), "Confidence"));  // 9 scored days
    EXPECT_FALSE(hasText(dailyTooltip(d, 1, nullptr, metric(), {}), "Confidence"));
    d.weatherCode = kUnknownCode;
    EXPECT_FALSE(hasText(dailyTooltip(d, 1, nullptr, metric(), {}), "Condition"));
    // The lead counts from the record's own today, whichever column shows the day.
    WeatherData rec;
    rec.time = "2026-12-05T09:00";
    for (const auto& [day, lead] : {std::pair{"2026-12-08", 3}, {"2026-12-05", 0}, {"", -1}}) {
        d.date = day;
        EXPECT_EQ(forecastLead(rec, d), lead) << day;
    }

    DailyForecast r;
    r.popConsensus = true, r.popMin = 40, r.popMax = 70, r.popSources = 4;
    r.hasRunTrend = true, r.runTrendDaysBack = 1, r.runTrendTempDelta = 1.9, r.runTrendPrecipDelta = -2.5;
    r.precipitationSum = 5, r.amountScaled = true, r.amountFactor = 0.5;
    std::vector<Line> tip = dailyTooltip(r, 3, nullptr, metric(), {});
    EXPECT_TRUE(has(tip, "Sources disagree: 40-70% across 4", Tone::Amber));
    EXPECT_TRUE(has(tip, "Run trend: steady over recent model runs", Tone::Dim));
    EXPECT_TRUE(has(tip, "Scaled x0.5 for local amount bias (forecast 10.0 mm)", Tone::Live));
    // The run trend's line, in mm or inches ("" for none): a change that rounds to none has no minus.
    const double nan = std::nan("");
    const struct { double temp, precip; bool inches; const char* line; Tone tone; } trends[] = {
        {0.4, 3.0, false, "Run trend: precip +3.0 mm vs 1d-ago run", Tone::Amber},
        {-2.0, 3.0, false, "Run trend: high -2.0 deg, precip +3.0 mm vs 1d-ago run", Tone::Amber},
        {-2.0, nan, false, "Run trend: high -2.0 deg vs 1d-ago run", Tone::Amber},  // the runs' rain unknown
        {0.3, nan, false, "Run trend: high +0.3 deg vs 1d-ago run", Tone::Dim},     // small: never "steady"
        {nan, -0.04, false, "Run trend: precip +0.0 mm vs 1d-ago run", Tone::Dim},
        {nan, -0.04, true, "Run trend: precip +0.00 in vs 1d-ago run", Tone::Dim},
        {nan, nan, false, "", Tone::Dim}};  // neither change known
    for (const auto& t : trends) {
        r.runTrendTempDelta = t.temp, r.runTrendPrecipDelta = t.precip;
        const std::vector<Line> lines = dailyTooltip(r, 3, nullptr, t.inches ? imperial() : metric(), {});
        EXPECT_TRUE(*t.line ? has(lines, t.line, t.tone) : !hasText(lines, "Run trend"))
            << t.temp << " " << t.precip << (t.inches ? " in" : " mm");
    }
    r.runTrendPrecipDelta = 3.0;
    r.amountFactor = 0;  // never divides by zero
    EXPECT_FALSE(hasText(dailyTooltip(r, 3, nullptr, metric(), {}), "Scaled"));
    // Sun times written at the reply's offset show on the place's clock; a
    // day without them says so.
    r.sunrise = "2027-03-28T05:55", r.sunset = "2027-03-28T18:48";
    const RecordClock cest{3600, PlaceClock::fixed(7200)};
    EXPECT_TRUE(hasText(dailyTooltip(r, 3, nullptr, metric(), cest), "Sunrise: 06:55   Sunset: 19:48"));
    r.sunrise = r.sunset = "2027-12-01T00:00";
    EXPECT_TRUE(hasText(dailyTooltip(r, 3, nullptr, metric(), cest), "Polar night"));
}

TEST(PanelForecast, SunTrackerPositionsAndCountdowns) {
    WeatherData d;
    EXPECT_FALSE(sunTrack(d, 0, false).show);
    DailyForecast t;
    t.date = "2026-12-07";
    t.sunrise = "2026-12-07T06:00";
    t.sunset = "2026-12-07T18:00";
    d.daily = {t};
    d.utcOffsetSeconds = 3600;
    const struct {
        int localHour, localMin;
        bool day;
        float fraction;
        const char* countdown;
        Tone tone;
        int changesIn;  // the countdown drops one second past its minute
        int localSec = 0;
    } cases[] = {
        {6, 0, true, 0.0f, "Sunset in 12h 00m", Tone::Amber, 1},
        {18, 0, true, 1.0f, "Sunset in 0h 00m", Tone::Amber, 1},
        {12, 0, true, 0.5f, "Sunset in 6h 00m", Tone::Amber, 1},
        {12, 0, true, 0.5f, "Sunset in 5h 59m", Tone::Amber, 2, 59},  // the sun moves with the minute
        {22, 0, false, 0.0f, "", Tone::Accent, 60},  // the record holds no later day: no sunrise guessed
        {4, 30, false, 0.0f, "Sunrise in 1h 30m", Tone::Accent, 1},
        {4, 30, false, 0.0f, "Sunrise in 1h 29m", Tone::Accent, 60, 1},
    };
    for (const auto& c : cases) {
        const long long now = 1796601600LL + (c.localHour * 3600 + c.localMin * 60 + c.localSec) - 3600;  // 2026-12-07
        const SunTrack s = sunTrack(d, now, true);
        ASSERT_TRUE(s.show);
        EXPECT_EQ(s.day, c.day) << c.localHour;
        EXPECT_FLOAT_EQ(s.fraction, c.fraction) << c.localHour;
        EXPECT_EQ(s.countdown.text, c.countdown) << c.localHour;
        EXPECT_EQ(s.countdown.tone, c.tone) << c.localHour;
        EXPECT_EQ(s.changesIn, c.changesIn) << c.localHour;
    }
    EXPECT_EQ(sunTrack(d, 1796601600, true).goldenHours, "Golden hour (soft light):\n  06:00 - 06:45\n  17:15 - 18:00");
    EXPECT_FALSE(sunTrack(d, 1796601600 + 86400, true).show);  // the record holds no entry for that day
    const char* unusable[][2] = {{"2026-12-07", "2026-12-07T18:00"},
                                 {"2026-12-07T06:00", "2026-12-07"},
                                 {"2026-12-07T18:00", "2026-12-07T06:00"}};
    for (auto& u : unusable) {
        d.daily[0].sunrise = u[0];
        d.daily[0].sunset = u[1];
        EXPECT_FALSE(sunTrack(d, 1796601600, true).show) << u[0] << " " << u[1];
    }
}

// Replies as the service writes them: every time at the offset it reported,
// the day before today included, midnight sun as 00:00 to the next 00:00 and
// polar night as 00:00 = 00:00. Oslo across its changes (fetched at +1 before
// the spring one, at +2 before the autumn one), Fairbanks after its June
// sunset past midnight, Tromso under the midnight sun and after the year's
// last sunset.
TEST(PanelForecast, SunTrackerAtEveryLatitudeAndAcrossChanges) {
    // Days as sunrise and sunset texts; the date is the sunrise's.
    const auto reply = [](const char* zone, int offset, const char* now, std::vector<std::array<const char*, 2>> days) {
        std::string dates, rises, sets;
        for (const auto& [rise, set] : days) {
            const char* sep = dates.empty() ? "" : ",";
            dates += printed<32>("%s\"%.10s\"", sep, rise);
            rises += printed<32>("%s\"%s\"", sep, rise), sets += printed<32>("%s\"%s\"", sep, set);
        }
        return WeatherService::parseWeatherResponse(
            printed<160>(R"({"timezone":"%s","utc_offset_seconds":%d,"current":{"time":"%s"},"daily":{"time":[)", zone,
                         offset, now) +
                dates + R"(],"sunrise":[)" + rises + R"(],"sunset":[)" + sets + "]}}",
            GeoLocation{});
    };
    const WeatherData osloSpring = reply("Europe/Oslo", 3600, "2027-03-28T01:30",
                                         {{"2027-03-27T05:58", "2027-03-27T18:45"},
                                          {"2027-03-28T05:55", "2027-03-28T18:48"},
                                          {"2027-03-29T05:52", "2027-03-29T18:50"}}),
                      osloAutumn = reply("Europe/Oslo", 7200, "2027-10-31T01:30",
                                         {{"2027-10-30T08:18", "2027-10-30T17:43"},
                                          {"2027-10-31T08:20", "2027-10-31T17:40"},
                                          {"2027-11-01T08:23", "2027-11-01T17:37"}}),
                      fairbanks = reply("America/Anchorage", -28800, "2027-06-11T00:10",
                                        {{"2027-06-10T02:59", "2027-06-11T00:33"},
                                         {"2027-06-11T02:58", "2027-06-12T00:35"}}),
                      tromsoJune = reply("Europe/Oslo", 7200, "2027-06-20T13:00",
                                         {{"2027-06-19T00:00", "2027-06-20T00:00"},
                                          {"2027-06-20T00:00", "2027-06-21T00:00"},
                                          {"2027-06-21T00:00", "2027-06-22T00:00"}}),
                      tromsoNov = reply("Europe/Oslo", 3600, "2027-11-27T12:00",
                                        {{"2027-11-26T10:58", "2027-11-26T11:50"},
                                         {"2027-11-27T11:05", "2027-11-27T11:42"},
                                         {"2027-11-28T00:00", "2027-11-28T00:00"},
                                         {"2027-11-29T00:00", "2027-11-29T00:00"}});
    const WeatherData tromsoMay = reply("Europe/Oslo", 7200, "2027-05-19T12:00",
                                        {{"2027-05-19T01:30", "2027-05-19T23:45"}, {"2027-05-20T00:00", "2027-05-21T00:00"}});
    WeatherData chukotka = reply("Asia/Anadyr", 43200, "2027-06-28T12:00",
                                 {{"2027-06-28T23:48", "2027-06-29T22:52"}, {"2027-06-29T23:55", "2027-06-30T22:45"}});
    chukotka.daily[0].date = "2027-06-29", chukotka.daily[1].date = "2027-06-30";  // each sunrise the evening before
    // The next day without usable times: a sunrise guessed from today's, never across a polar night.
    WeatherData chukotkaGap = chukotka, tromsoGap = tromsoNov;
    chukotkaGap.daily[1].sunrise = chukotkaGap.daily[1].sunset = "";
    tromsoGap.daily[2].sunrise = tromsoGap.daily[2].sunset = "";
    const struct {
        const WeatherData* d;
        long long utc;
        const char* countdown;
        bool day, night;  // the sun above the horizon; the dashboard's night picture
        const char* labels;
    } rows[] = {
        {&osloSpring, 1806193800, "Sunrise in 4h 25m", false, true, "06:55 19:48"},  // 01:30 CET
        {&osloSpring, 1806228000, "Sunset in 7h 48m", true, false, "06:55 19:48"},   // 12:00 CEST
        {&osloSpring, 1806232800, "Sunset in 6h 28m", true, false, "06:55 19:48"},   // 13:20 CEST, solar noon
        {&osloSpring, 1806244200, "Sunset in 3h 18m", true, false, "06:55 19:48"},   // 16:30 CEST
        {&osloSpring, 1806262200, "Sunrise in 9h 22m", false, true, "06:55 19:48"},  // 21:30 CEST
        {&osloAutumn, 1824939000, "Sunrise in 6h 50m", false, true, "07:20 16:40"},  // 01:30 CEST
        {&fairbanks, 1812701400, "Sunset in 0h 23m", true, false, "02:59 00:33"},    // 00:10, the 10th's sun
        {&fairbanks, 1812703200, "Sunrise in 2h 18m", false, true, "02:58 00:35"},   // 00:40
        {&tromsoJune, 1813489200, "Midnight sun", true, false, " "},                 // 13:00
        {&tromsoNov, 1827313200, "Polar night", false, true, "11:05 11:42"},         // 12:00, after the last sunset
        {&tromsoNov, 1827225900, "Sunset in 0h 05m", true, false, "10:58 11:50"},  // 11:45 the day before
        {&chukotka, 1814266800, "Sunrise in 0h 55m", false, true, "23:48 22:52"},  // 23:00
        {&chukotka, 1814270280, "Sunset in 22h 47m", true, false, "23:55 22:45"},  // 23:58, the 30th's sun
        {&tromsoMay, 1810763700, "Sunrise in 0h 05m", false, true, "01:30 23:45"},   // 23:55, midnight sun next
        {&chukotkaGap, 1814269800, "", false, true, "23:48 22:52"},  // 23:50: the guess (23:48) has passed
        {&tromsoGap, 1827313200, "Polar night", false, true, "11:05 11:42"},  // the polar 28th, then no times
    };
    for (const auto& r : rows) {
        const SunTrack s = sunTrack(*r.d, r.utc, true);
        ASSERT_TRUE(s.show) << r.utc;
        EXPECT_EQ(s.countdown.text, r.countdown) << r.utc;
        EXPECT_EQ(s.day, r.day) << r.utc;
        EXPECT_EQ(isNightAt(*r.d, r.utc), r.night) << r.utc;
        EXPECT_EQ(s.riseText + " " + s.setText, r.labels) << r.utc;
        EXPECT_EQ(s.goldenHours.empty(), !s.hasSpan) << r.utc;  // none on a day without sunrise and sunset
        // The sun (or the dot) under the countdown, in the area: beside the card's text or under it, fonts 1x and 2x.
        for (const float font : {16.0f, 32.0f})
            for (const auto& [w, h] : {std::pair{0.0f, 0.0f}, {560.0f, 96.0f}, {320.0f, 400.0f}}) {
                const SunTrackerLayout l = sunTrackerLayout(s, 0, 0, w, h, 0.6f * font * float(s.countdown.text.size()), font);
                EXPECT_LE(l.countdown.y1, l.marker.y0) << r.utc << " " << font << " " << w;
                EXPECT_LE(l.marker.y1, l.height) << r.utc << " " << font << " " << w;
                EXPECT_GT(l.radius, l.height / 4) << r.utc << " " << font << " " << w;  // the arc fills the area
            }
    }
    EXPECT_EQ(sunTrack(tromsoNov, 1827313200, true).goldenHours, "Golden hour (soft light):\n  11:05 - 11:42");
}

// ---- Status bar, toasts, mini strip, notifications ----

TEST(PanelStatus, StatusTextOrderAndAge) {
    const int64_t t = 1806188400;  // 2027-03-27 22:00 UTC
    const system_clock::time_point at = system_clock::time_point(seconds(t)) - std::chrono::milliseconds(100);
    EXPECT_EQ(statusText(true, true, "boom", at, t).text, "Updating...");
    EXPECT_EQ(statusText(true, false, "Boom.", {}, t).text, "Boom.");  // no record to age
    EXPECT_EQ(statusText(true, false, "", {}, t).text, "No data");
    EXPECT_EQ(statusText(false, false, "", at, t + 120).text, "No data");  // the last place removed
    EXPECT_EQ(statusText(false, true, "boom", at, t).text, "No data");
    // The age on the wall clock: after a night's sleep, beside an error, and with the clock set back.
    const struct { int64_t after; std::string status, text; long long changesIn; } ages[] = {
        {59, "", "Updated just now", 1},
        {60, "", "Updated 1 min ago", 60},
        {3599, "", "Updated 59 min ago", 1},
        {14 * 3600 + 5, "", "Updated 14 hours ago", 3595},
        {2 * 86400 + 7200, "NWS down.", "Updated 2 days ago - NWS down", 79200},
        {-3 * 3600 - 30, "", "Updated just now", 60},
    };
    for (const auto& a : ages) {
        const Line line = statusText(true, false, a.status, at, t + a.after);
        EXPECT_EQ(line.text, a.text) << a.after;
        EXPECT_EQ(line.tone, a.status.empty() ? Tone::Normal : Tone::Error) << a.after;
        EXPECT_EQ(statusChangesIn(at, t + a.after), a.changesIn) << a.after;
    }
    Config c;  // the settings file's trouble: a failed save first
    c.unreadable = {false, 2, "/d/config.json.bad.3", ""};
    EXPECT_EQ(settingsNotice(c).text, "2 saved places could not be read; the file is kept as /d/config.json.bad.3");
    c.unreadable = {false, 0, "", "Permission denied"};
    EXPECT_EQ(settingsNotice(c).text, "Your saved places could not be read: Permission denied");
    c.saveError = "Read-only file system";
    EXPECT_EQ(settingsNotice(c).text, "Couldn't save your settings: Read-only file system");
    EXPECT_EQ(newerVersionText(""), "");
    EXPECT_EQ(newerVersionText("1.2.0"), std::string(" -  v1.2.0 is out (") + kProjectSiteHost + ")");
}

TEST(PanelStatus, ToastsLabelsAndHeights) {
    // All toasts where they fit in 60% of the viewport, else whole ones
    // only (the first however tall), down to the last one's spacing.
    const std::vector<float> twenty(20, 64.0f);
    const struct { std::vector<float> heights; float viewport, window; bool scrolls; } stacks[] = {
        {{64}, 1000, 83, false}, {{100, 100}, 365, 219, false}, {twenty, 1000, 590, true},
        {{100, 100, 100}, 500, 214, true}, {{700, 64}, 1000, 714, true}};
    for (const auto& t : stacks) {
        const ToastWindow w = toastWindow(t.heights, t.viewport, 14, 9);
        EXPECT_FLOAT_EQ(w.height, t.window) << t.window;
        EXPECT_EQ(w.scrolls, t.scrolls) << t.window;
    }
    WeatherAlert a;
    a.title = "Wind";
    a.message = "Gusts to 70 km/h";
    EXPECT_EQ(toastLabel(a, "US"), "");
    EXPECT_EQ(toastText(a, {}).text, "Wind: Gusts to 70 km/h");
    EXPECT_EQ(toastText(a, {}).place, "");
    // A day alert made on Oslo's Monday, shown at 00:30 on its Tuesday (a place
    // without a zone: on the day made); two Springfields, each named by its title.
    const GeoLocation oslo{"Oslo", "NO", "Oslo", 59.91, 10.75, "Europe/Oslo", false},
        il{"Springfield", "US", "Illinois", 39.8, -89.65, "America/Chicago", false},
        ma{"Springfield", "US", "Massachusetts", 42.1, -72.59, "America/New_York", false};
    WeatherData shown;
    shown.location = oslo;
    WeatherAlert warm;
    warm.title = "Warm", warm.message = "Temps warming to {temp} {day} in {place}", warm.value = 14;
    warm.dayKey = "2025-01-14", warm.madeOn = "2025-01-13";
    const struct { GeoLocation place; std::vector<SavedLocation> saved; Config c; const char* text; } rows[] = {
        {oslo, {}, metric(), "Temps warming to 14C today in Oslo"},
        {il, {SavedLocation{il}}, metric(), "Temps warming to 14C tomorrow in Springfield"},
        {il, {SavedLocation{il}, SavedLocation{ma}}, metric(),
         "Temps warming to 14C tomorrow in Springfield, Illinois, US"},
        {ma, {SavedLocation{ma}, SavedLocation{ma}}, imperial(), "Temps warming to 57F tomorrow in Springfield"},
        {GeoLocation{"Nowhere", "", "", 0, 0, "", false}, {}, metric(), "Temps warming to 14C tomorrow in Nowhere"},
    };
    for (const auto& r : rows) {
        warm.location = r.place.name, warm.placeKey = r.place.cacheKey();
        EXPECT_EQ(alertMessageOn(warm, alertWording(warm, r.saved, shown, r.c, 1736811000)), r.text);
    }
    // A gust threshold typed as 18 m/s is told in m/s, as the window tells speeds.
    Config ms = metric();
    ms.windUnit = 2;
    warm.message = "Wind gusts over {wind}", warm.value = 64.8;
    EXPECT_EQ(alertMessageOn(warm, alertWording(warm, {}, shown, ms, 1736811000)), "Wind gusts over 18.0 m/s");
    // A text of its own names the place after it; a toast above it and a
    // desktop notice before it, where shortening the text cannot take it.
    const AlertWording titled{"", false, "Springfield, Illinois, US"};
    EXPECT_EQ(alertMessageOn(a, titled), "Gusts to 70 km/h (Springfield, Illinois, US)");
    EXPECT_EQ(toastText(a, titled).text, "Wind: Gusts to 70 km/h");
    EXPECT_EQ(toastText(a, titled).place, "Springfield, Illinois, US");
    EXPECT_EQ(noticeText(a, titled), "Springfield, Illinois, US: Gusts to 70 km/h");
    EXPECT_EQ(noticeText(a, {}), "Gusts to 70 km/h");
    a.official = true;
    a.severity = "Unknown";
    EXPECT_EQ(toastLabel(a, "US"), "NWS");
    a.severity = "Severe";
    EXPECT_EQ(toastLabel(a, "US"), "NWS - Severe");
    EXPECT_EQ(toastLabel(a, "CA"), "Official - Severe");
    EXPECT_EQ(toastLabel(a, ""), "Official - Severe");
}

// Wrapped texts keep a number with its unit; a long one ends after a whole
// word within its lines (7 px a character in the built-in font).
TEST(PanelStatus, WrappedTextsKeepUnitsAndEndAfterAWholeWord) {
    EXPECT_EQ(draw::numbersWithUnits("Rain in ~15 min, 29.87 inHg"), "Rain in ~15\xC2\xA0min, 29.87\xC2\xA0inHg");
    test::GuiContext gui;
    ImGui::NewFrame();
    const std::string alert = "Wind Warning: gusts up to 70 mph expected from Tuesday evening";
    EXPECT_EQ(draw::elidedLines(alert, 150, 2), "Wind Warning: gusts up to 70 mph...");
    EXPECT_EQ(draw::elidedLines("Alert:\nfirst line\nsecond line", 400, 2), "Alert:\nfirst line...");
    EXPECT_EQ(draw::elidedLines("https://example.org/alerts/a/very/long", 120, 2), "https://example.org/alerts/a/v...");
    EXPECT_EQ(draw::elidedLines("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 28, 1), "\xC3\xA9...");
    ImGui::EndFrame();
}

TEST(PanelStatus, MiniStripLinesAndNotifications) {
    WeatherData d;
    d.location.name = "Halifax";
    Config c;
    EXPECT_EQ(miniStrip(d, c, false).top, "No data");  // the place without a record of its own
    d.time = "2026-12-07T10:15";
    d.temperature = d.apparentTemperature = d.dewPoint = 0;
    d.weatherCode = 2;
    MiniStrip m = miniStrip(d, c, false);
    EXPECT_EQ(m.top, "32F  PtCloud");
    EXPECT_EQ(m.stat.text, "");  // high/low wanted but no daily data
    EXPECT_EQ(m.place, "Halifax");
    EXPECT_EQ(miniStrip(d, c, true).place, "Halifax");
    EXPECT_EQ(miniStrip(d, c, true).updating, "  (updating...)");
    const GeoLocation ns{"Halifax", "CA", "Nova Scotia", 44.65, -63.57, "", false},
        england{"Halifax", "GB", "England", 53.72, -1.86, "", false};
    d.location = ns;  // beside a Halifax elsewhere: by its title
    EXPECT_EQ(miniStrip(d, c, false, {SavedLocation{ns}, SavedLocation{england}}).place, "Halifax, Nova Scotia, CA");
    DailyForecast t;
    t.date = "2026-12-07", t.temperatureMax = 10, t.temperatureMin = 0, t.precipitationProbabilityMax = 40;
    d.daily = {t};
    EXPECT_EQ(miniStrip(d, c, false).stat.text, "High 50F / Low 32F   rain 40%");
    d.daily[0].temperatureMax = kUnknownTemperature, d.daily[0].precipitationProbabilityMax = kUnknownAmount;
    EXPECT_EQ(miniStrip(d, c, false).stat.text, "High -- / Low 32F   rain --");
    EXPECT_EQ(panel::miniStrip(d, {}, c, false, kRecordNow + 86400).stat.text, "");  // not the place's date any more
    c.miniStat = 1;
    d.windSpeed = 10, d.windDirection = 0;
    EXPECT_EQ(miniStrip(d, c, false).stat.text, "Feels 32F   wind 6 mph N");
    c.miniStat = 2;
    d.relativeHumidity = 80;
    EXPECT_EQ(miniStrip(d, c, false).stat.text, "Humidity 80%   dew 32F");
    d.relativeHumidity = kUnknownAmount, d.dewPoint = kUnknownTemperature;
    EXPECT_EQ(miniStrip(d, c, false).stat.text, "Humidity --   dew --");
    d.minutely15 = stepsFromNow({0, 0.2}, 0);
    m = miniStrip(d, c, false);
    EXPECT_EQ(m.stat.text, "Rain in ~15 min");
    EXPECT_EQ(m.stat.tone, Tone::Amber);
    d.minutely15 = stepsFromNow({0.2, 0}, 0);
    EXPECT_EQ(miniStrip(d, c, false).stat.tone, Tone::Live);
    d.minutely15 = stepsFromNow({0, 0.2}, 85);
    EXPECT_EQ(miniStrip(d, c, false).stat.text, "Snow in ~15 min");
    d.fetchedAt = system_clock::time_point(seconds(kRecordNow + 600));  // conditions over an hour old say when
    EXPECT_EQ(panel::miniStrip(d, {}, c, false, kRecordNow + 3601).stat.text, "as of 10:15 AM, Dec 7");

    // The notification list's times: on the place's clock, else the shown place's.
    Notification n;
    n.receivedAt = std::chrono::system_clock::from_time_t(1736811000);  // 2025-01-13 23:30 UTC
    n.alert.placeKey = d.location.cacheKey();
    d.location.timezone = "Europe/Oslo";
    const GeoLocation chicago{"Chicago", "US", "Illinois", 41.88, -87.63, "America/Chicago", false};
    EXPECT_EQ(notificationTime(n, {}, d, false), "01/14 12:30 AM");
    EXPECT_EQ(notificationTime(n, {}, d, true), "01/14 00:30");
    n.alert.placeKey = chicago.cacheKey();
    EXPECT_EQ(notificationTime(n, {SavedLocation{chicago}}, d, false), "01/13 5:30 PM");
    n.alert.placeKey.clear();
    EXPECT_EQ(notificationTime(n, {SavedLocation{chicago}}, d, true), "01/14 00:30");
}

}  // namespace
}  // namespace nbr::panel
