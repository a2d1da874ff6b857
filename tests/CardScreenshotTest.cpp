// Pictures of the carousel's cards, the Sky card, the history, constellation
// and settings windows and a meteor burst for the Boston, Oslo and Halifax
// records, drawn by the real window on a private virtual display and kept
// in the artifact folder. Each is compared with the same frame without the
// thing drawn, and checked for the colours its rules give.
#include "AppOnDisplay.h"
#include "PlaceRecords.h"
#include "app/App.h"
#include "model/Dates.h"
#include "ui/PanelText.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Sky.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"

#include <GL/gl.h>
#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <stb_image_write.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

namespace nbr {
namespace {

struct Frame {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // top row first

    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Pixels inside the rectangle that differ between two frames.
int changedPixels(const Frame& a, const Frame& b, int x0, int y0, int x1, int y1) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (int y = y0; y < y1 && y < a.height; ++y)
        for (int x = x0; x < x1 && x < a.width; ++x) {
            const unsigned char *p = a.at(x, y), *q = b.at(x, y);
            n += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 30;
        }
    return n;
}

// Pixels inside the rectangle within a small distance of a palette colour.
int pixelsOfColour(const Frame& f, const ImVec4& c, int x0, int y0, int x1, int y1) {
    const int r = static_cast<int>(std::lround(c.x * 255)), g = static_cast<int>(std::lround(c.y * 255)),
              b = static_cast<int>(std::lround(c.z * 255));
    int n = 0;
    for (int y = y0; y < y1 && y < f.height; ++y)
        for (int x = x0; x < x1 && x < f.width; ++x) {
            const unsigned char* p = f.at(x, y);
            n += std::abs(p[0] - r) + std::abs(p[1] - g) + std::abs(p[2] - b) < 40;
        }
    return n;
}

class CardScreenshotTest : public test::AppOnDisplayTest {
protected:
    void SetUp() override {
        AppOnDisplayTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        SDL_SetWindowSize(app.window, 1100, 760);
        geometry();
        ui = app.renderer.get();
        // The test program does not sit beside the resources folder: load
        // the pictures from the build's copy.
        const std::string res = NIMBREL_RESOURCES_DIR;
        auto reload = [&](Texture& t, const char* name, bool key) {
            freeTexture(t);
            t = loadTexture(res + "/" + name, key);
        };
        reload(ui->moonPhases, "moon-phases.png", false);
        reload(ui->constellationAtlas, "constellations-atlas.png", false);
        reload(ui->constellationAtlas2, "constellations-atlas2.png", false);
        const char* meteors[4] = {"small-meteor-a.png", "small-meteor-b.png", "medium-meteor.png", "large-meteor.png"};
        for (int i = 0; i < 4; ++i) reload(ui->meteorSprites[i], meteors[i], true);
        outDir = std::string(NIMBREL_ARTIFACT_DIR) + "/cards";
        std::filesystem::create_directories(outDir);
    }

    // Builds, draws and reads back one frame.
    Frame frame(const std::function<void()>& body, float dt = 1.0f / 60) {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::GetIO().DeltaTime = dt;
        ImGui::GetIO().MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
        ImGui::NewFrame();
        body();
        ImGui::Render();
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(app.window, &w, &h);
        glViewport(0, 0, w, h);
        glClearColor(theme::Bg.x, theme::Bg.y, theme::Bg.z, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        Frame f;
        f.width = w;
        f.height = h;
        std::vector<unsigned char> raw(static_cast<size_t>(w) * h * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
        f.rgb.resize(raw.size());
        for (int y = 0; y < h; ++y)
            std::copy_n(&raw[static_cast<size_t>(h - 1 - y) * w * 3], static_cast<size_t>(w) * 3,
                        &f.rgb[static_cast<size_t>(y) * w * 3]);
        SDL_GL_SwapWindow(app.window);
        return f;
    }

    // One card alone in a fixed 560 x 340 window at the top left.
    Frame card(int kind, const WeatherData& data, bool draw) {
        return inCard([&] { if (draw) ui->renderSkyCard(kind, data); });
    }
    Frame inCard(const std::function<void()>& body) {
        return frame([&] {
            ImGui::SetNextWindowPos(ImVec2(0, 0));
            ImGui::SetNextWindowSize(ImVec2(kCardW, kCardH));
            ImGui::Begin("card", nullptr,
                         ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                             ImGuiWindowFlags_NoSavedSettings);
            body();
            ImGui::End();
        });
    }

    Frame dashboard(const WeatherData& data, int frames = 3, const std::string& status = "") {
        Frame f;
        for (int i = 0; i < frames; ++i) f = frame([&] { ui->render(data, {}, {}, false, status); });
        return f;
    }

    void save(const Frame& f, const std::string& name) {
        const std::string path = outDir + "/" + name + ".png";
        EXPECT_TRUE(stbi_write_png(path.c_str(), f.width, f.height, 3, f.rgb.data(), f.width * 3)) << path;
    }

    void usePlace(test::Place p) {
        data = test::placeRecord(p);
        app.config.useFahrenheit = p == test::Place::Boston;
        app.config.windUnit = p == test::Place::Boston ? 0 : 1;
        app.config.precipUnit = app.config.pressureUnit = p == test::Place::Boston ? 0 : 1;
        app.config.locations.clear();
        SavedLocation saved;
        static_cast<GeoLocation&>(saved) = data.location;
        app.config.locations.push_back(saved);
        const int64_t present = replyInstant(data, data.time).value_or(0);
        ui->wallSeconds = [present] { return present; };
        ui->frameSecond = present;
    }

    static constexpr float kCardW = 560, kCardH = 340;
    UIRenderer* ui = nullptr;
    WeatherData data;
    std::string outDir;
};

TEST_F(CardScreenshotTest, EveryCardOfEachPlaceShowsItsTextAndColours) {
    card(panel::SkySky, data, false);  // the first frame after the window's resize
    const Frame empty = card(panel::SkySky, data, false);
    ASSERT_EQ(empty.width, 1100);
    save(empty, "empty-card");
    for (test::Place p : {test::Place::Boston, test::Place::Oslo, test::Place::Halifax}) {
        usePlace(p);
        for (const panel::SkyTab& tab : panel::skyTabs(data, ui->skyMinute())) {
            const Frame f = card(tab.kind, data, true);
            const std::string name = std::string(test::placeName(p)) + "-" + tab.label;
            save(f, name);
            EXPECT_GT(changedPixels(f, empty, 0, 0, static_cast<int>(kCardW), static_cast<int>(kCardH)), 300) << name;
            // Nothing is drawn outside the card's window.
            EXPECT_EQ(changedPixels(f, empty, static_cast<int>(kCardW) + 2, 0, f.width, f.height), 0) << name;
        }
    }
    // Colour rules seen on screen: the AQI band of each place.
    const struct {
        test::Place place;
        const ImVec4* colour;
    } aqi[] = {{test::Place::Oslo, &theme::Live}, {test::Place::Boston, &theme::Amber},
               {test::Place::Halifax, &theme::Error}};
    for (const auto& a : aqi) {
        usePlace(a.place);
        const Frame f = card(panel::SkyAir, data, true);
        EXPECT_GT(pixelsOfColour(f, *a.colour, 0, 0, 560, 60), 25) << test::placeName(a.place);
        EXPECT_EQ(pixelsOfColour(empty, *a.colour, 0, 0, 560, 60), 0);
    }
    // Halifax's X-class flare line on the Sky card is drawn in the error colour.
    usePlace(test::Place::Halifax);
    EXPECT_GT(pixelsOfColour(card(panel::SkySky, data, true), theme::Error, 0, 0, 560, 300), 25);
}

TEST_F(CardScreenshotTest, DashboardWindowsAndMeteorBurst) {
    for (test::Place p : {test::Place::Boston, test::Place::Oslo, test::Place::Halifax}) {
        usePlace(p);
        const std::string place = test::placeName(p);
        ui->carouselIndex = 0;
        const Frame base = dashboard(data);
        save(base, place + "-dashboard");
        const int w = base.width, h = base.height;
        struct Win {
            bool* flag;
            const char* name;
        } wins[] = {{&ui->showSettings, "settings"}, {&ui->showHistory, "history"}, {&ui->showStars, "constellations"}};
        for (const Win& win : wins) {
            *win.flag = true;
            const Frame f = dashboard(data);
            save(f, place + "-" + win.name);
            // The window covers the middle of the dashboard with its own text.
            EXPECT_GT(changedPixels(f, base, w / 2 - 150, h / 2 - 150, w / 2 + 150, h / 2 + 150), 5000)
                << place << " " << win.name;
            *win.flag = false;
            dashboard(data, 2);
        }
    }
    // The history chart draws observed highs in amber.
    usePlace(test::Place::Oslo);
    const Frame plain = dashboard(data);
    ui->showHistory = true;
    const Frame hist = dashboard(data);
    ui->showHistory = false;
    EXPECT_GT(pixelsOfColour(hist, theme::Amber, 0, 0, hist.width, hist.height),
              pixelsOfColour(plain, theme::Amber, 0, 0, plain.width, plain.height) + 100);

    // A meteor burst over the dashboard, then over the mini strip.
    dashboard(data, 2);
    ui->spawnMeteorShower();
    Frame burst;
    for (int i = 0; i < 9; ++i) burst = frame([&] { ui->render(data, {}, {}, false, ""); }, 0.1f);
    save(burst, "oslo-meteors");
    EXPECT_FALSE(ui->meteors.empty());
    EXPECT_GT(changedPixels(burst, plain, 0, 0, burst.width, burst.height), 200);
}

// The last frame's child region `name` ("<parent>/<name>_<id>"): x0, y0, x1, y1.
std::array<int, 4> regionOf(const std::string& name) {
    for (ImGuiWindow* w : GImGui->Windows)
        if (w->Active && std::string(w->Name).find("/" + name + "_") != std::string::npos)
            return {int(w->Pos.x), int(w->Pos.y), int(w->Pos.x + w->Size.x), int(w->Pos.y + w->Size.y)};
    return {};
}

// Halifax at 5:20 PM in December, 45 minutes after sunset; then Oslo snowing.
TEST_F(CardScreenshotTest, EveningStripAndSnowNowcast) {
    freeTexture(ui->weatherIcons);
    ui->weatherIcons = loadTexture(std::string(NIMBREL_RESOURCES_DIR) + "/weather-icons.png", false);
    usePlace(test::Place::Halifax);
    data.time = "2026-12-15T17:15";
    data.daily[0] = {.date = "2026-12-15", .sunrise = "2026-12-15T07:40", .sunset = "2026-12-15T16:35"};
    data.hourly.resize(6);
    for (int h = 0; h < 6; ++h) data.hourly[size_t(h)].time = "2026-12-15T" + std::to_string(18 + h) + ":00";
    const int64_t fivePm = 1797292800 + 21 * 3600;  // 2026-12-15 17:00 at UTC-4
    const auto shotAt = [&](int64_t t, const WeatherData& d) {
        ui->wallSeconds = [t] { return t; };
        return dashboard(d);
    };
    const Frame evening = shotAt(fivePm + 20 * 60, data);
    save(evening, "evening-strip");
    const auto strip = regionOf("hourlyScroll"), current = regionOf("current");
    // The header shows night; by the clock alone (sun times of another day) 5:20 PM is day.
    WeatherData otherDay = data;
    otherDay.daily[0].date = "2026-12-14";
    EXPECT_GT(changedPixels(evening, shotAt(fivePm + 20 * 60, otherDay), current[0], current[1], current[2], current[3]),
              1000);
    // The first column is 6PM: at 6:05 PM only that column changes (to "Now").
    const Frame sixPm = shotAt(fivePm + 65 * 60, data);
    const int x1 = strip[0] + 6 + 64;  // the strip's inset and first column
    EXPECT_GT(changedPixels(evening, sixPm, strip[0], strip[1], x1, strip[3]), 20);
    EXPECT_EQ(changedPixels(evening, sixPm, x1, strip[1], strip[2], strip[3]), 0);

    usePlace(test::Place::Oslo);
    data.weatherCode = 73;
    data.minutely15.assign(8, {"", 0.4, 73});
    for (size_t i = 0; i < 8; ++i)  // quarter hours from the shot's time
        data.minutely15[i].time = PlaceClock::fixed(data.utcOffsetSeconds).minuteOf(fivePm + 900 * int64_t(i));
    data.minutely15[0].precipitation = 0;
    const Frame snowing = shotAt(fivePm, data);
    save(snowing, "oslo-snowing");
    for (MinutelyForecast& m : data.minutely15) m.weatherCode = 61;  // the same steps of rain
    const auto c = regionOf("current");
    EXPECT_GT(changedPixels(snowing, shotAt(fivePm, data), c[0], c[1], c[2], c[3]), 20);

    // Honolulu at 2:30 PM, its hours from 4 PM and tomorrow unknown: the columns before stay as they are.
    data.location = {"Honolulu", "US", "Hawaii", 21.3069, -157.8583, "Pacific/Honolulu", false};
    static_cast<GeoLocation&>(app.config.locations[0]) = data.location;
    data.utcOffsetSeconds = -36000, data.time = "2026-12-15T14:30", data.weatherCode = 1, data.minutely15.clear();
    const int64_t twoPm = 1797292800 + 24 * 3600, at = twoPm + 1800;  // 2026-12-15 14:00 at UTC-10
    data.temperature = data.apparentTemperature = 27, data.dewPoint = 19;
    for (size_t i = 0; i < data.daily.size(); ++i)
        data.daily[i].date = addDays("2026-12-15", int(i)), data.daily[i].temperatureMax = 28 + i % 2,
        data.daily[i].temperatureMin = 21;
    for (size_t h = 0; h < data.hourly.size(); ++h)  // 3 PM the warmest hour known in both
        data.hourly[h] = {PlaceClock::fixed(-36000).minuteOf(twoPm + 3600 * int64_t(h)), h == 1 ? 26 : 24.0 + h % 2,
                          2, 0, 0, 40};
    WeatherData unknown = data;
    for (size_t h = 2; h < data.hourly.size(); ++h)
        unknown.hourly[h] = {data.hourly[h].time, kUnknownTemperature, kUnknownCode, 0, 0, -1};
    unknown.daily[1].temperatureMax = unknown.daily[1].temperatureMin = kUnknownTemperature;
    unknown.daily[1].weatherCode = kUnknownCode;
    const Frame known = shotAt(at, data), shown = shotAt(at, unknown);
    save(shown, "honolulu-unknown-values");
    const auto hours = regionOf("hourlyScroll");
    EXPECT_EQ(changedPixels(known, shown, hours[0], hours[1], hours[0] + 6 + 2 * 64 - 34, hours[3]), 0);
}

// The Sky card's sun at high latitudes, from replies as the service writes
// them: Tromso at 1 PM under the midnight sun (the sun drawn high, "Midnight
// sun" in amber, where a polar night draws none), and Fairbanks at 00:10 in
// June, before the day before's sunset at 00:33 (the sun still drawn, gone
// by 00:40).
TEST_F(CardScreenshotTest, SkyCardSunAtHighLatitudes) {
    usePlace(test::Place::Oslo);
    const auto skyAt = [&](int64_t t, const WeatherData& d) {
        ui->frameSecond = t;
        return card(panel::SkySky, d, true);
    };
    const auto amber = [](const Frame& f) { return pixelsOfColour(f, theme::Amber, 0, 0, 560, 300); };
    card(panel::SkySky, data, false);  // the first frame after the window's resize
    // Every day of the record alike: sunrise at 00:00 and sunset at the next
    // day's 00:00, or both at the day's 00:00.
    const auto sunDays = [&](int daysLong) {
        for (size_t i = 0; i < data.daily.size(); ++i) {
            const std::string day = addDays("2027-06-20", int(i));
            data.daily[i] = {.date = day, .sunrise = day + "T00:00", .sunset = addDays(day, daysLong) + "T00:00"};
        }
    };
    // The countdown reads whole at Oslo's solar noon and under the midnight sun: its box holds the text alone.
    static ImVec2 at, end;
    draw::itemHook = [](const char* l, ImVec2 a, ImVec2 b, ImVec2, ImVec2) {
        if (!std::strcmp(l, "sunTracker")) at = a, end = b;
    };
    const auto countdownAlone = [&](int64_t t, const char* name) {
        const Frame f = skyAt(t, data);
        const panel::SunTrack track = panel::sunTrack(data, t, false);
        const std::string& s = track.countdown.text;  // in amber by day
        const panel::Box c = panel::sunTrackerLayout(track, at.x, at.y, end.x - at.x, end.y - at.y,
                                                     draw::textWidth(s), ImGui::GetTextLineHeight())
                                 .countdown;
        const Frame text = inCard([&] {
            ImGui::GetWindowDrawList()->AddText({c.x0, c.y0}, ImGui::GetColorU32(theme::Amber), s.c_str());
        });
        save(f, name);
        EXPECT_EQ(changedPixels(f, text, int(c.x0) - 1, int(c.y0) - 1, int(c.x1) + 2, int(c.y1) + 2), 0) << name;
        return f;
    };
    data.utcOffsetSeconds = 7200;
    data.daily[0] = {.date = "2027-06-20", .sunrise = "2027-06-20T03:54", .sunset = "2027-06-20T22:44"};
    countdownAlone(1813490400, "oslo-sky-solar-noon");  // 13:20 CEST
    data.location.latitude = 69.65, data.location.longitude = 18.96;
    sunDays(1);
    const Frame midnightSun = countdownAlone(1813489200, "tromso-sky-midnight-sun");  // 13:00 CEST
    draw::itemHook = nullptr;
    sunDays(0);
    const Frame polar = skyAt(1813489200, data);
    save(polar, "tromso-sky-polar");
    EXPECT_GT(amber(midnightSun), amber(polar) + 100);

    data.location.latitude = 64.84, data.location.longitude = -147.72, data.location.timezone = "America/Anchorage";
    data.utcOffsetSeconds = -28800;
    data.yesterdaySunrise = "2027-06-10T02:59", data.yesterdaySunset = "2027-06-11T00:33";
    data.daily.resize(2);
    data.daily[0] = {.date = "2027-06-11", .sunrise = "2027-06-11T02:58", .sunset = "2027-06-12T00:35"};
    data.daily[1] = {.date = "2027-06-12", .sunrise = "2027-06-12T02:57", .sunset = "2027-06-13T00:36"};
    const Frame lateSun = skyAt(1812701400, data);  // 00:10 AKDT
    save(lateSun, "fairbanks-sky-after-midnight");
    EXPECT_GT(amber(lateSun), amber(skyAt(1812703200, data)) + 100);  // 00:40
    static float right = 0;  // five planets up (2020-03-11): their line wraps within the card
    draw::itemHook = [](const char* l, ImVec2, ImVec2 m, ImVec2, ImVec2) { right = std::strncmp(l, "Planets", 7) ? right : m.x; };
    save(skyAt(1583884800, data), "sky-five-planets");
    draw::itemHook = nullptr;
    EXPECT_GT(right, 300.0f);
    EXPECT_LE(right, kCardW);
}

// Oslo just after its midnight, the day of the spring change, with the
// forecast of the evening before: the table moves on to start at the new
// day, "Today" with that day's values (the day before is no longer shown).
TEST_F(CardScreenshotTest, OsloJustAfterItsMidnight) {
    usePlace(test::Place::Oslo);
    for (size_t i = 0; i < data.daily.size(); ++i) data.daily[i].date = addDays("2027-03-27", static_cast<int>(i));
    std::int64_t wall = 1806188340;  // 23:59 CET, then 00:30
    ui->wallSeconds = [&] { return wall; };
    const Frame before = dashboard(data);
    wall = 1806190200;
    const Frame after = dashboard(data);
    save(after, "oslo-after-midnight");
    const ImGuiWindow* t = nullptr;
    for (const ImGuiWindow* w : GImGui->Windows)
        if (std::string(w->Name).rfind("Nimbrel/dailywrap", 0) == 0) t = w;
    ASSERT_NE(t, nullptr);
    const int x0 = int(t->Pos.x), x1 = int(t->Pos.x + t->Size.x), y0 = int(t->Pos.y), y1 = int(t->Pos.y + t->Size.y);
    const int names = int(t->Pos.y + 3 * ImGui::GetTextLineHeightWithSpacing() + 4);  // under the title line
    EXPECT_GT(changedPixels(before, after, x0, y0, x1, names), 40);
    EXPECT_GT(changedPixels(before, after, x0, names, x1, y1), 40);
}

// Oslo's record eight days old, the service failing: the age beside the error, "as of" in amber in the
// current block, the run-out notes in the dim tone in the strip and where the table's key would be.
TEST_F(CardScreenshotTest, OsloKeptOfflineForEightDays) {
    usePlace(test::Place::Oslo);
    const int64_t fetched = replyInstant(data, data.time).value_or(0), later = fetched + 8 * 86400;
    data.fetchedAt = std::chrono::system_clock::time_point(std::chrono::seconds(fetched));
    ui->wallSeconds = [later] { return later; };
    const Frame old = dashboard(data, 3, "The weather service answered with an error (HTTP 500).");
    save(old, "oslo-offline-eight-days");
    const auto c = regionOf("current"), right = regionOf("rightcol"), daily = regionOf("dailywrap");
    data.fetchedAt += std::chrono::hours(8 * 24);  // conditions of then, fetched then
    data.time = PlaceClock::fixed(data.utcOffsetSeconds).minuteOf(later);
    const Frame noAge = dashboard(data);
    const auto amber = [&](const Frame& f) { return pixelsOfColour(f, theme::Amber, c[0], c[1], c[2], c[3]); };
    EXPECT_GT(amber(old), amber(noAge) + 100);
    EXPECT_GT(pixelsOfColour(old, theme::Dim, right[0], right[1], right[2], right[1] + 60), 100);
    EXPECT_GT(pixelsOfColour(old, theme::Dim, daily[0], daily[1], daily[2], daily[3]), 100);
    EXPECT_GT(pixelsOfColour(old, theme::Error, 0, daily[3], old.width, old.height), 300);
    EXPECT_EQ(pixelsOfColour(noAge, theme::Error, 0, daily[3], old.width, old.height), 0);
}

// Oslo half a minute after the spring change, with the forecast fetched at
// +1 a minute before it: the header clock, "Now" and the night picture are
// those of a record fetched after the change, and not those of a place whose
// zone is not known (its clock stays at +1 and reads 2:00 AM).
TEST_F(CardScreenshotTest, OsloHeaderAfterTheSpringChange) {
    usePlace(test::Place::Oslo);
    app.config.use24hClock = true;
    for (size_t i = 0; i < data.daily.size(); ++i) data.daily[i].date = addDays("2027-03-28", static_cast<int>(i));
    // The same forecast as the service writes it before the change (+1) and
    // after it (+2): every time of a reply at the offset it reported.
    const auto writtenAt = [&](int hours) {
        WeatherData w = data;
        w.utcOffsetSeconds = hours * 3600;
        w.daily[0].sunrise = panel::printed<24>("2027-03-28T%02d:55", 4 + hours);
        w.daily[0].sunset = panel::printed<24>("2027-03-28T%02d:48", 17 + hours);
        for (size_t h = 0; h < w.hourly.size(); ++h)
            w.hourly[h].time = panel::printed<24>("2027-03-28T%02zu:00", 1 + hours + h);  // from 01:00 UTC
        return w;
    };
    ui->wallSeconds = [] { return std::int64_t{1806195630}; };  // 01:00:30 UTC
    const WeatherData stale = writtenAt(1), fresh = writtenAt(2);
    WeatherData noZone = stale;
    noZone.location.timezone.clear();
    const Frame shown = dashboard(stale);
    save(shown, "oslo-after-the-spring-change");
    const auto current = regionOf("current"), strip = regionOf("hourlyScroll");
    EXPECT_EQ(changedPixels(shown, dashboard(fresh), 0, 0, shown.width, shown.height), 0);
    const Frame unknown = dashboard(noZone);
    EXPECT_GT(changedPixels(shown, unknown, 0, 0, shown.width, current[1]), 20);  // "03:00  UTC+2"
    EXPECT_GT(changedPixels(shown, unknown, strip[0], strip[1], strip[2], strip[3]), 20);  // "04:00" after "Now"
}

}  // namespace
}  // namespace nbr
