// The dashboard on a private virtual display, fed by the stand-in services:
// screenshots of each place in both themes and both unit systems, the mini
// strip and the first-run prompt, each checked against the empty layout; and
// the first run, place search, coordinate entry, editing and detecting the
// computer's position end to end.
#include "DisplayHarness.h"
#include "FakeGeoClue.h"
#include "GuiHarness.h"
#include "HungBus.h"
#include "PlaceRecords.h"
#include "ReplayEnv.h"
#include "app/App.h"
#include "model/Utf8.h"
#include "ui/Panel_Sky.h"
#include "ui/Texture.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace nbr {
namespace {

using namespace std::chrono_literals;

using test::Rect;

class DashboardDisplayTest : public test::ReplayTest {
protected:
    void SetUp() override {
#ifdef __SANITIZE_ADDRESS__
        // The system's D-Bus and software OpenGL libraries keep a few blocks
        // to the end that the leak checker cannot tell from leaks.
        __lsan_disable();
#endif
        ReplayTest::SetUp();
        if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
        test::useForSdl(display);
        app.config.windowW = 1040;
        app.config.windowH = 760;
        ASSERT_TRUE(app.initSDL()) << SDL_GetError();
        ASSERT_TRUE(app.initImGui());
        // The pictures the program finds beside itself, from the build's folder.
        freeTexture(app.renderer->weatherIcons);
        app.renderer->weatherIcons = loadTexture(std::string(NIMBREL_RESOURCES_DIR) + "/weather-icons.png", false);
        app.startWorker();
        std::filesystem::create_directories(NIMBREL_ARTIFACT_DIR);
    }

    void TearDown() override {
        app.shutdown();
        ReplayTest::TearDown();
#ifdef __SANITIZE_ADDRESS__
        __lsan_enable();
#endif
    }

    // One turn of the main loop without its wait.
    void turn() {
        app.processEvents();
        app.updateFromBackground();
        app.renderFrame();
    }
    // Turns until `done` holds or 20 s pass.
    bool turnUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 1000; ++i) {
            turn();
            if (done()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    // The refresh's final (enriched) result is on screen, so no later result
    // changes the picture while it is taken.
    bool fetched() {
        std::lock_guard<std::mutex> lock(app.dataMutex);
        return !app.fetchInProgress && app.weather.fetchedAt.time_since_epoch().count() != 0 && app.weather.enriched;
    }

    // Three frames, then the window's pixels as the display shows them.
    test::Screenshot shot() {
        for (int i = 0; i < 3; ++i) turn();
        SDL_PumpEvents();
        std::this_thread::sleep_for(50ms);
        const test::Screenshot whole = test::captureDisplay(display.name(), tmp_.path() + "/screen.xwd");
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(app.window, &x, &y);
        SDL_GetWindowSize(app.window, &w, &h);
        test::Screenshot s;
        if (whole.rgb.empty()) return s;
        w = std::min(w, whole.width - x);
        h = std::min(h, whole.height - y);
        s.width = w;
        s.height = h;
        s.rgb.resize(size_t(w) * h * 3);
        for (int r = 0; r < h; ++r)
            std::memcpy(&s.rgb[size_t(r) * w * 3], &whole.rgb[(size_t(y + r) * whole.width + x) * 3], size_t(w) * 3);
        return s;
    }

    static std::string save(const test::Screenshot& s, const std::string& name) { return test::savePng(s, name); }

    // The GUI window of the last frame whose name starts with `prefix` (child
    // regions are named "<parent>/<name>_<id>"), and its rectangle.
    static ImGuiWindow* window(const std::string& prefix) {
        for (ImGuiWindow* w : GImGui->Windows)
            if (w->Active && std::string(w->Name).rfind(prefix, 0) == 0) return w;
        return nullptr;
    }
    static Rect region(const std::string& prefix) {
        const ImGuiWindow* w = window(prefix);
        return w ? Rect{int(w->Pos.x), int(w->Pos.y), int(w->Size.x), int(w->Size.y)} : Rect{};
    }

    // Pixels of `r` in which the two pictures differ noticeably.
    static size_t differing(const test::Screenshot& a, const test::Screenshot& b, Rect r) {
        if (a.width != b.width || a.height != b.height) return 0;
        size_t n = 0;
        for (int y = std::max(0, r.y); y < std::min(a.height, r.y + r.h); ++y)
            for (int x = std::max(0, r.x); x < std::min(a.width, r.x + r.w); ++x) {
                const size_t i = (size_t(y) * a.width + x) * 3;
                for (int c = 0; c < 3; ++c)
                    if (std::abs(int(a.rgb[i + c]) - int(b.rgb[i + c])) > 24) {
                        ++n;
                        break;
                    }
            }
        return n;
    }

    // Pixels of `r` close to the given palette colour (text is drawn in it).
    static size_t inked(const test::Screenshot& s, Rect r, const ImVec4& colour) {
        return test::inked(s, r, colour.x, colour.y, colour.z);
    }

    void addPlace(const char* id) {
        SavedLocation p;
        static_cast<GeoLocation&>(p) = place(id);
        app.config.locations.push_back(p);
    }

    void setLook(bool light, bool metric) {
        app.config.themeId = light ? 1 : 0;
        app.config.useFahrenheit = !metric;
        app.config.windUnit = metric ? 1 : 0;
        app.config.pressureUnit = metric ? 1 : 0;
        app.config.precipUnit = metric ? 1 : 0;
        app.config.use24hClock = metric;
        app.renderer->actions.settingsChanged = true;
    }

    test::VirtualDisplay display{"1920x1080x24"};
    App app;
};

TEST_F(DashboardDisplayTest, EachPlaceInBothThemesAndUnitSystemsFillsEveryPanel) {
    addPlace("boston");
    addPlace("oslo");
    addPlace("halifax");
    const char* ids[3] = {"boston", "oslo", "halifax"};

    // The empty layout of each theme: a place saved, nothing fetched yet.
    test::Screenshot empty[2];
    for (int light = 0; light < 2; ++light) {
        setLook(light == 1, false);
        empty[light] = shot();
        ASSERT_FALSE(empty[light].rgb.empty());
        save(empty[light], std::string("dashboard-empty-") + (light ? "light" : "dark"));
    }

    for (int p = 0; p < 3; ++p) {
        app.locationManager.setActive(p);
        app.requestWeatherUpdate(app.locationManager.activeLocation());
        ASSERT_TRUE(turnUntil([&] { return fetched() && app.weather.location.name == place(ids[p]).name; }))
            << ids[p];
        ASSERT_FALSE(app.weather.hourly.empty());
        ASSERT_FALSE(app.weather.daily.empty());
        test::Screenshot byUnits[2];
        for (int light = 0; light < 2; ++light) {
            for (int metric = 0; metric < 2; ++metric) {
                setLook(light == 1, metric == 1);
                const test::Screenshot s = shot();
                const std::string name = std::string("dashboard-") + ids[p] + "-" + (light ? "light" : "dark") + "-" +
                                         (metric ? "metric" : "imperial");
                const std::string png = save(s, name);
                SCOPED_TRACE(png);
                const Rect current = region("Nimbrel/current_"), right = region("Nimbrel/rightcol_"),
                           daily = region("Nimbrel/dailywrap_");
                ASSERT_GT(current.w, 200);
                ASSERT_GT(daily.h, 100);
                // Every panel drew something where the empty layout has nothing,
                // and text in the palette's text colour shows in each.
                for (const Rect& r : {current, right, daily}) {
                    EXPECT_GT(differing(s, empty[light], r), size_t(r.w * r.h / 50)) << r.x << "," << r.y;
                    EXPECT_GT(inked(s, r, theme::Fg), 150u) << r.x << "," << r.y;
                }
                // The bar above the panels holds the place's title and clock.
                const Rect bar{0, 0, s.width, current.y};
                EXPECT_GT(inked(s, bar, theme::Fg), 100u);
                if (light == 0) byUnits[metric] = s;
            }
        }
        // The unit settings change what the current-conditions panel says.
        EXPECT_GT(differing(byUnits[0], byUnits[1], region("Nimbrel/current_")), 200u);
    }

    // Toasts over the dashboard, then the notification centre over them:
    // three of a Springfield named by its title beside another, each whole
    // or not in the window at all (its last line is a toast's separator),
    // the title wrapped clear of the close button.
    setLook(false, false);
    const GeoLocation il{"Springfield", "United States", "Illinois", 39.8, -89.65, "America/Chicago", false},
        ma{"Springfield", "US", "Massachusetts", 42.1, -72.59, "America/New_York", false};
    app.config.locations.push_back(SavedLocation{il});
    app.config.locations.push_back(SavedLocation{ma});
    WeatherAlert wind;
    wind.title = "High wind";
    wind.message = "Gusts to 70 km/h expected this afternoon.";
    wind.dayKey = "2026-12-07";
    wind.location = ma.name, wind.placeKey = ma.cacheKey();
    WeatherAlert official = wind, rain = wind;
    official.official = true;
    official.id = "urn:test:1";
    official.severity = "Severe";
    rain.title = "Heavy rain", rain.message = "Rain totals of 40 mm or more are likely by the evening.";
    {
        std::lock_guard<std::mutex> lock(app.dataMutex);
        app.alerts = {official, wind, rain};
        app.alertsDirty = true;
        app.notifications = {{wind, std::chrono::system_clock::now(), true},
                             {official, std::chrono::system_clock::now(), false}};
    }
    for (const int height : {760, 420}) {  // all three; one, the others reached by scrolling
        SDL_SetWindowSize(app.window, 1040, height);
        SDL_WarpMouseInWindow(app.window, 1, height - 1);  // no tooltip over the toasts
        const test::Screenshot toasts = shot();
        const std::string toastPng = save(toasts, "toasts-" + std::to_string(height));
        const Rect r = region(UIRenderer::kToastsWindow);
        const ImGuiStyle& style = ImGui::GetStyle();
        const int right = r.x + r.w - int(style.WindowPadding.x) -
                          (window(UIRenderer::kToastsWindow)->ScrollbarY ? int(style.ScrollbarSize) : 0);
        const Rect close{right - int(ImGui::GetFrameHeight()), r.y, int(ImGui::GetFrameHeight()), r.h},
            inner{r.x + int(style.WindowPadding.x), r.y + 2, right - r.x - int(style.WindowPadding.x), r.h - 4};
        EXPECT_GT(inked(toasts, r, theme::Fg), 150u) << toastPng;
        EXPECT_GT(inked(toasts, {r.x + 40, r.y, close.x - r.x - 40, r.h}, theme::Amber), 300u) << toastPng;  // titles
        EXPECT_EQ(inked(toasts, close, theme::Amber), 0u) << toastPng;
        int last = inner.y + inner.h - 1;
        while (last > inner.y && inked(toasts, {inner.x, last, inner.w, 1}, theme::toastFill()) == size_t(inner.w))
            --last;
        const ImVec4 line = ImGui::GetStyleColorVec4(ImGuiCol_Separator);
        EXPECT_GT(inked(toasts, {inner.x, last, inner.w, 1}, line), size_t(inner.w * 9 / 10)) << toastPng;
    }
    SDL_SetWindowSize(app.window, 1040, 760);
    app.renderer->showNotifications = true;
    const test::Screenshot centre = shot();
    const std::string centrePng = save(centre, "notification-centre");
    EXPECT_GT(inked(centre, region("Notifications"), theme::Fg), 150u) << centrePng;
    app.renderer->showNotifications = false;

    // The mini strip of the last place, against the strip without a record;
    // beside a Halifax elsewhere and updating, its title is shortened to the
    // window's edge and "(updating...)" shows whole.
    setLook(false, false);
    app.config.locations.push_back(SavedLocation{GeoLocation{"Halifax", "GB", "England", 53.72, -1.86, "", false}});
    app.fetchInProgress = true;
    app.applyMiniMode(true);
    const test::Screenshot strip = shot();
    const std::string png = save(strip, "mini-strip");
    const int pad = int(ImGui::GetStyle().WindowPadding.x);
    EXPECT_EQ(inked(strip, {strip.width - pad, 0, pad, strip.height}, ImGui::GetStyle().Colors[ImGuiCol_TextDisabled]),
              0u) << png;
    app.fetchInProgress = false;
    const WeatherData shown = app.weather;
    {
        std::lock_guard<std::mutex> lock(app.dataMutex);
        app.weather = WeatherData{};
    }
    const test::Screenshot bare = shot();
    const Rect all{0, 0, strip.width, strip.height};
    EXPECT_GT(inked(strip, all, theme::Fg), 80u) << png;
    EXPECT_GT(differing(strip, bare, all), 300u) << png;
    app.applyMiniMode(false);
}

// Each run ends with a system bus that lets the program connect and then
// never answers.
class DetectMyLocationTest : public DashboardDisplayTest, public ::testing::WithParamInterface<test::Hang> {};

TEST_P(DetectMyLocationTest, AddsThePositionTheDesktopGivesAndNeverWaitsLongOnTheBus) {
    test::TestSystemBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    UIRenderer& ui = *app.renderer;
    ui.openSearch();
    turn();
    turn();  // the search field takes the keyboard
    const ImGuiID detect = test::GuiContext::itemId("Search Location", "Detect my location");
    ASSERT_NE(detect, 0u);
    // Refused first: the window says so and nothing is added.
    test::FakeGeoClue::Setup refused;
    refused.refuseStart = true;
    ASSERT_TRUE(bus.serve(refused).ready());
    test::GuiContext::press(detect);
    ASSERT_TRUE(turnUntil([&] { return !ui.detectError.empty(); }));
    EXPECT_EQ(ui.detectError, "Location permission denied or unavailable");
    EXPECT_FALSE(app.locationManager.hasLocations());

    ASSERT_TRUE(bus.serve(test::FakeGeoClue::Setup{}).ready());
    test::GuiContext::press(detect);
    ASSERT_TRUE(turnUntil([&] { return app.locationManager.hasLocations(); }));
    const SavedLocation& here = app.config.locations.at(0);
    EXPECT_EQ(here.name, "My Location");
    EXPECT_DOUBLE_EQ(here.latitude, 59.91);
    EXPECT_DOUBLE_EQ(here.longitude, 10.75);
    EXPECT_TRUE(ui.detectError.empty());

    // The window says so in time, and closing while a detection waits on the
    // bus ends at once.
    test::HungBus hung(GetParam(), "DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(hung.ok());
    auto clicked = std::chrono::steady_clock::now();
    test::GuiContext::press(detect);
    ASSERT_TRUE(turnUntil([&] { return !ui.detectError.empty(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, 15s);
    EXPECT_EQ(ui.detectError, "OS location unavailable");
    test::GuiContext::press(detect);
    for (int i = 0; i < 3; ++i) turn();
    std::this_thread::sleep_for(500ms);
    clicked = std::chrono::steady_clock::now();
    app.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, 2s);
}

INSTANTIATE_TEST_SUITE_P(Each, DetectMyLocationTest,
                         ::testing::Values(test::Hang::SilentSocket, test::Hang::StoppedDaemon), test::hangCase);

TEST_F(DashboardDisplayTest, FirstRunSearchCoordinatesAndEditWorkAgainstTheServices) {
    ASSERT_FALSE(app.locationManager.hasLocations());
    test::Screenshot first = shot();
    ASSERT_FALSE(first.rgb.empty());
    const std::string png = save(first, "first-run");
    // The welcome lines and the search field sit at the top of the window.
    EXPECT_GT(inked(first, {0, 0, first.width, 140}, theme::Fg), 150u) << png;
    EXPECT_GT(inked(first, {0, 0, first.width, 140}, theme::Surface), 2000u) << png;  // the field
    UIRenderer& ui = *app.renderer;

    // Search from the prompt: the window opens and the results arrive.
    std::strcpy(ui.searchInput, "Oslo");
    ui.searchFromPrompt();
    EXPECT_TRUE(ui.showSearch);
    ASSERT_TRUE(turnUntil([&] { return !ui.searchResults.empty(); }));
    EXPECT_EQ(ui.searchResults[0].name, "Oslo");
    const test::Screenshot results = shot();
    const Rect popup = region("Search Location");
    ASSERT_GT(popup.w, 100);
    const std::string resultsPng = save(results, "search-window");
    EXPECT_GT(differing(results, first, popup), 2000u) << resultsPng;

    // Picking the result saves the place and shows its weather.
    ui.pickSearchResult(0);
    EXPECT_FALSE(ui.showSearch);
    ASSERT_TRUE(turnUntil([&] { return fetched() && app.weather.location.name == "Oslo"; }));
    ASSERT_EQ(app.config.locations.size(), 1u);
    EXPECT_EQ(app.config.locations[0].timezone, "Europe/Oslo");
    EXPECT_EQ(app.weather.location.name, "Oslo");

    // The search field has the keyboard as the window opens: typing goes
    // into it at once.
    ui.openSearch();
    turn();
    turn();
    ImGui::GetIO().AddInputCharactersUTF8("Hal");
    turn();
    EXPECT_STREQ(ui.searchInput, "Hal");
    // Ctrl+A, typing, Backspace and Return, each key pressed and let go
    // while the loop was held (Ctrl let go before the A, "y" typed while
    // Backspace is down): all reach the field in order, and the search is
    // asked.
    const auto push = [](Uint32 type, SDL_Scancode code, Uint16 mod, const char* text = "") {
        SDL_Event e{};
        e.type = type;
        e.key.keysym = {code, SDL_GetKeyFromScancode(code), mod, 0};
        if (type == SDL_TEXTINPUT) std::strcpy(e.text.text, text);
        SDL_PushEvent(&e);
    };
    push(SDL_KEYDOWN, SDL_SCANCODE_LCTRL, KMOD_LCTRL), push(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LCTRL);
    push(SDL_KEYUP, SDL_SCANCODE_LCTRL, KMOD_NONE), push(SDL_KEYUP, SDL_SCANCODE_A, KMOD_NONE);
    push(SDL_TEXTINPUT, {}, {}, "Oslx"), push(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, KMOD_NONE);
    push(SDL_TEXTINPUT, {}, {}, "y"), push(SDL_KEYUP, SDL_SCANCODE_BACKSPACE, KMOD_NONE);
    push(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_NONE), push(SDL_KEYUP, SDL_SCANCODE_RETURN, KMOD_NONE);
    for (int i = 0; i < 200 && !ui.searchAnswered; ++i) app.turn(20);
    EXPECT_STREQ(ui.searchInput, "Osly");
    EXPECT_TRUE(ui.searchAnswered);

    // Coordinates with a label of many multi-byte characters: the label
    // field keeps a whole character at its end.
    ui.coordLatitude = 44.6488;
    ui.coordLongitude = -63.5752;
    std::string longLabel;
    for (int i = 0; i < 100; ++i) longLabel += "\xC3\xA9";  // é
    utf8CopyToBuffer(ui.coordLabel, sizeof ui.coordLabel, longLabel);
    ui.addCoordinates();
    ASSERT_TRUE(turnUntil([&] {
        return app.config.locations.size() == 2 && fetched() && std::abs(app.weather.location.latitude - 44.6488) < 1e-6;
    }));
    const SavedLocation& added = app.config.locations[1];
    EXPECT_EQ(added.name.size(), 62u);
    EXPECT_EQ(utf8Valid(added.name), added.name);
    EXPECT_EQ(app.locationManager.activeIndex(), 1);
    EXPECT_NEAR(app.weather.utcOffsetSeconds, -4 * 3600, 3600);  // Halifax's replies

    // Edit: a stray byte and a name longer than the field stay valid UTF-8.
    ui.openEdit();
    ASSERT_TRUE(ui.showEdit);
    const test::Screenshot editShot = shot();
    const std::string editPng = save(editShot, "edit-window");
    EXPECT_GT(inked(editShot, region("Edit Location"), theme::Fg), 150u) << editPng;
    EXPECT_EQ(std::string(ui.editName), added.name);
    turn();
    std::string odd = "Harbour \xFF\xC3";
    for (int i = 0; i < 60; ++i) odd += "\xE2\x82\xAC";  // €
    utf8CopyToBuffer(ui.editName, sizeof ui.editName, odd);
    ui.editLatitude = 44.65;
    ui.saveEdit();
    EXPECT_FALSE(ui.showEdit);
    turn();
    const SavedLocation& edited = app.config.locations[1];
    EXPECT_EQ(utf8Valid(edited.name), edited.name);
    EXPECT_EQ(edited.name.rfind("Harbour \xEF\xBF\xBD\xEF\xBF\xBD\xE2\x82\xAC", 0), 0u);
    EXPECT_TRUE(edited.customLabel);
    EXPECT_DOUBLE_EQ(edited.latitude, 44.65);
    // Saved to the settings file, which reads back.
    const std::string saved = test::readFile(dataDir() + "/config.json");
    EXPECT_NE(saved.find("Harbour"), std::string::npos);
    EXPECT_TRUE(nlohmann::json::accept(saved));
    shot();

    // Removing every place takes its toasts along: where they stood, the
    // welcome screen is as it was at first.
    app.config.alertGustKmh = -1;  // any wind raises High Wind
    ui.actions.refresh = true;
    ASSERT_TRUE(turnUntil([&] { return fetched() && !app.visibleAlerts.empty(); }));
    const std::string toastsPng = save(shot(), "toasts-before-removal");
    const Rect toasts = region(UIRenderer::kToastsWindow);
    ASSERT_GT(toasts.w, 100) << toastsPng;
    ui.actions.removeActive = true;
    ASSERT_TRUE(
        turnUntil([&] { return fetched() && app.weather.location.name == "Oslo" && !app.visibleAlerts.empty(); }));
    ui.actions.removeActive = true;
    const test::Screenshot cleared = shot();
    const std::string clearedPng = save(cleared, "welcome-after-removal");
    EXPECT_TRUE(app.notifications.empty());
    EXPECT_LT(differing(cleared, first, toasts), 100u) << clearedPng;
}

// The settings file's trouble where the person looks: a place that could not
// be saved in the status line; an unreadable file, and where it is kept, on
// the first-run screen; a failed save in the settings window, which stays open.
TEST_F(DashboardDisplayTest, UnreadableAndUnsavedSettingsAreShownOnScreen) {
    const test::Screenshot clean = shot();
    const std::string blocker = dataDir() + "/config.json.tmp";
    std::filesystem::create_directories(blocker);  // every save fails, even as root
    app.locationManager.addLocation(place("boston"));
    const test::Screenshot added = shot();
    const std::string addedPng = save(added, "place-save-failed");
    EXPECT_GT(inked(added, {0, added.height - 40, added.width / 2, 40}, theme::Error), 200u) << addedPng;
    std::filesystem::remove(blocker);
    app.locationManager.removeLocation(0);  // saved: the word goes

    test::writeFile(dataDir() + "/config.json", R"({"locations":[{"name":"Home","latitude":4)");  // cut short
    app.config.load();
    const test::Screenshot unreadable = shot();
    const std::string unreadablePng = save(unreadable, "settings-unreadable");
    const Rect prompt{0, 0, clean.width, clean.height / 2};
    EXPECT_GT(inked(unreadable, prompt, theme::Error), 300 + inked(clean, prompt, theme::Error)) << unreadablePng;

    std::filesystem::create_directory(blocker);
    app.renderer->showSettings = true;
    const test::Screenshot opened = shot();
    test::GuiContext::press(test::GuiContext::itemId("Settings", "Save & Close"));
    const test::Screenshot failed = shot();
    const std::string failedPng = save(failed, "settings-save-failed");
    EXPECT_TRUE(app.renderer->showSettings);
    EXPECT_GT(inked(failed, region("Settings"), theme::Error), 200 + inked(opened, region("Settings"), theme::Error))
        << failedPng;
}

// The services go away after Boston's refresh: the next place, a place added,
// an edit and a move show the place alone with the error; a search says it failed.
TEST_F(DashboardDisplayTest, OfflineThePlaceShowsAloneAndTheSearchSaysItFailed) {
    addPlace("boston");
    addPlace("halifax");
    app.requestWeatherUpdate(app.locationManager.activeLocation());
    ASSERT_TRUE(turnUntil([&] { return fetched() && window(UIRenderer::kToastsWindow); }));  // Boston's alerts
    server.stop();
    UIRenderer& ui = *app.renderer;
    const std::pair<std::function<void()>, std::string> steps[] = {
        {[&] { test::GuiContext::press(test::GuiContext::itemId("Nimbrel", "##next")); }, "Halifax"},
        {[&] { ui.setSearchResults({place("oslo")}), ui.pickSearchResult(0); }, "Oslo"},
        {[&] { ui.openEdit(), std::strcpy(ui.editName, "Home"), ui.saveEdit(); }, "Home"}};
    for (const auto& [step, name] : steps) {
        step();
        const auto failed = [&, n = name] { return !app.fetchInProgress && app.shownRecord().location.name == n; };
        ASSERT_TRUE(turnUntil([&] { return failed() && !app.status.empty(); })) << name;
        EXPECT_TRUE(app.shownRecord().daily.empty() && !app.shownRecord().station.valid) << name;
    }
    EXPECT_EQ(app.weather.location.name, "Boston");  // the edit left Boston's record alone

    // The switch on screen: title, clock and error; no weather and no toasts.
    app.locationManager.setActive(1);
    const test::Screenshot off = shot();
    SCOPED_TRACE(save(off, "offline-switch"));
    const Rect current = region("Nimbrel/current_"), daily = region("Nimbrel/dailywrap_");
    EXPECT_LT(inked(off, current, theme::Fg) + inked(off, daily, theme::Fg), 20u);
    EXPECT_GT(inked(off, {0, 0, off.width, current.y}, theme::Fg), 100u);
    EXPECT_GT(inked(off, {0, daily.y + daily.h, off.width, 60}, theme::Error), 100u);
    EXPECT_EQ(window(UIRenderer::kToastsWindow), nullptr);

    // Boston moved by an edit: none of the old spot's weather or toasts.
    app.locationManager.setActive(0);
    ASSERT_TRUE(turnUntil([&] { return window(UIRenderer::kToastsWindow) != nullptr; }));  // its own again
    ui.openEdit(), std::strcpy(ui.editName, "Moved"), ui.editLatitude = 40.71, ui.saveEdit();
    ASSERT_TRUE(turnUntil([&] { return !app.fetchInProgress && app.shownRecord().location.name == "Moved"; }));
    const test::Screenshot moved = shot();
    SCOPED_TRACE(save(moved, "moved-place"));
    EXPECT_LT(inked(moved, current, theme::Fg) + inked(moved, daily, theme::Fg), 20u);  // no old temperature
    EXPECT_EQ(window(UIRenderer::kToastsWindow), nullptr);

    // The search window says a search runs, then why it failed.
    ui.openSearch();
    for (int i = 0; i < 2; ++i) turn();  // the field takes the keyboard
    ImGui::GetIO().AddInputCharactersUTF8("Oslo");
    turn();
    ui.submitSearch();
    EXPECT_EQ(ui.searchWindowNote().text, "Searching...");
    ASSERT_TRUE(turnUntil([&] { return !ui.searchError.empty(); }));
    const test::Screenshot failed = shot();
    SCOPED_TRACE(save(failed, "search-failed"));
    EXPECT_EQ(ui.searchWindowNote().text, "Couldn't reach the place search - check your connection.");
    EXPECT_GT(inked(failed, region("Search Location"), theme::Amber), 150u);  // not the dim "No results"
}

// Item rectangles of the frames drawn, noted through the drawing helpers' hook.
struct LaidOut {
    std::string label;
    ImVec2 min, max, clipMin, clipMax;
    int frame;
};
std::vector<LaidOut> laidOut;
void noteLaidOut(const char* l, ImVec2 a, ImVec2 b, ImVec2 c, ImVec2 d) {
    laidOut.push_back({l, a, b, c, d, ImGui::GetFrameCount()});
}

TEST_F(DashboardDisplayTest, EveryControlFitsTheWindowAtEachSizeAndTheme) {
    addPlace("boston");
    addPlace("oslo");
    app.requestWeatherUpdate(app.locationManager.activeLocation());
    ASSERT_TRUE(turnUntil([&] { return fetched(); }));
    UIRenderer& ui = *app.renderer;
    ui.carouselAutoRotate = false;  // brings "[auto]"
    ui.carouselIndex = 0;  // the Sky card, with the Perseids at peak; its lines through the planets'
    ui.wallSeconds = [] { return std::int64_t{1786536000}; };
    std::vector<std::string> sky;
    for (const panel::CardLine& l : panel::skyCard(app.weather, app.config, 1786536000).lines)
        if (sky.empty() || sky.back().rfind("Planets", 0) != 0) sky.push_back(l.text);
    app.config.alertsEnabled = true;
    app.config.notifyMode = 1;  // the quiet-hours rows
    ui.detectError = "Location services are turned off; turn them on in the system settings.";
    std::filesystem::create_directories(std::string(NIMBREL_ARTIFACT_DIR) + "/fit");
    draw::itemHook = noteLaidOut;
    app.radar.basemapDir = NIMBREL_RESOURCES_DIR;
    const std::vector<GeoLocation> found = {place("boston"), place("oslo"), place("halifax"), place("boston")};
    // Each view, its flag, what it shows whole (the settings scrolled to the
    // quiet-hours rows), and what else opens (true) and closes (false) it.
    const struct {
        const char* name;
        bool* flag;
        std::vector<std::string> whole;
        std::function<void(bool)> show = nullptr;
    } views[] = {{"dashboard", nullptr, {"##prev", "title", "##next", "edit", "clock", "History", "Refresh", "X",
                                         "##mailbox", "+", "Mini", "Stars", "Settings"}},
                 {"settings", &ui.showSettings, {"Save & Close", "Quiet from", "Quiet until"}},
                 {"search", &ui.showSearch, {"Detect my location", "detectNote", "detectError"}},
                 {"search-results", &ui.showSearch, {"Detect my location", "detectNote", "detectError"},
                  [&](bool on) { ui.searchResults = on ? found : std::vector<GeoLocation>{}; }},
                 // Opened by its button, as the user does, and shown once its outlines are read.
                 {"radar", nullptr, {"Play", "<", ">", "windCaption", "attribution"},
                  [&](bool on) {
                      if (!on) return app.radar.close();
                      ImGui::SetScrollY(window("Nimbrel/rightcol_"), 0);  // the button back in view
                      turn();
                      test::GuiContext::press(ImHashStr("Radar", 0, window("Nimbrel/rightcol_")->ID));
                      ASSERT_TRUE(turnUntil([&] { return app.radar.open && app.radar.basemapLoaded; }));
                  }},
                 // Opened at 1280 x 800, then the main window takes the view's size.
                 {"settings-resized", &ui.showSettings, {"Save & Close", "Quiet from", "Quiet until"},
                  [&](bool on) {
                      int w = 0, h = 0;
                      SDL_GetWindowSize(app.window, &w, &h);
                      if (!on) return;
                      SDL_SetWindowSize(app.window, 1280, 800);
                      for (int i = 0; i < 3; ++i) turn();
                      SDL_SetWindowSize(app.window, w, h);
                  }},
                 {"stars", &ui.showStars, {}},
                 // With a log of three weeks: the chart and its key.
                 {"history", &ui.showHistory, {"chartKey"},
                  [&](bool on) {
                      std::lock_guard<std::mutex> lock(app.dataMutex);
                      if (on && app.weather.history.empty()) test::addHistory(app.weather, 20, 0.8, 8);
                  }}};
    for (const ImVec2 size : {ImVec2(1040, 820), ImVec2(1280, 800), ImVec2(700, 500), ImVec2(1920, 1080)})
        for (int light = 0; light < 2; ++light)
            for (const auto& v : views) {
                SDL_SetWindowSize(app.window, int(size.x), int(size.y));
                SDL_SetWindowPosition(app.window, 0, 0);
                setLook(light == 1, false);
                if (v.flag) *v.flag = true;
                if (v.show) v.show(true);
                laidOut.clear();
                turn();
                for (const LaidOut& i : laidOut)
                    for (ImGuiWindow* w : GImGui->Windows)
                        if (i.label == "Quiet from" && std::string(w->Name).rfind("Settings/settingsBody", 0) == 0)
                            ImGui::SetScrollY(w, w->Scroll.y + i.min.y - w->InnerRect.Min.y);
                for (ImGuiWindow* w : GImGui->Windows)  // a short right column scrolled down to the carousel
                    if (std::string(w->Name).rfind("Nimbrel/rightcol", 0) == 0 && !w->ParentWindow->ParentWindow)
                        ImGui::SetScrollY(w, w->ScrollMax.y);
                laidOut.clear();
                const test::Screenshot s = shot();
                SCOPED_TRACE(save(s, "fit/" + std::to_string(s.width) + "x" + std::to_string(s.height) + "-" +
                                         (light ? "light-" : "dark-") + v.name));
                if (v.flag) *v.flag = false;
                if (v.show) v.show(false);
                ImGui::ClosePopupsOverWindow(nullptr, false);  // as the windows' close boxes do
                // Every window inside the main one with its close box clear of
                // the windows in front of it; only a popup in front of the toasts.
                std::vector<ImGuiWindow*> shown;
                for (ImGuiWindow* w : GImGui->Windows)
                    if (w->Active && !(w->Flags & (ImGuiWindowFlags_ChildWindow | ImGuiWindowFlags_Tooltip)))
                        shown.push_back(w);
                bool toasts = false;
                for (size_t i = 0; i < shown.size(); ++i) {
                    const ImGuiWindow* w = shown[i];
                    EXPECT_TRUE(w->Pos.x >= 0 && w->Pos.y >= 0 && w->Pos.x + w->Size.x <= size.x &&
                                w->Pos.y + w->Size.y <= size.y)
                        << w->Name << " at " << w->Pos.x << "," << w->Pos.y << ", " << w->Size.x << "x" << w->Size.y;
                    EXPECT_FALSE(toasts && !(w->Flags & ImGuiWindowFlags_Popup)) << w->Name << " over the toasts";
                    toasts = toasts || std::string(w->Name) == UIRenderer::kToastsWindow;
                    const float t = w->TitleBarHeight(), r = w->Pos.x + w->Size.x;
                    for (size_t j = i + 1; w->HasCloseButton && j < shown.size(); ++j)
                        EXPECT_FALSE(shown[j]->Rect().Overlaps(ImRect(r - t, w->Pos.y, r, w->Pos.y + t)))
                            << w->Name << "'s close box under " << shown[j]->Name;
                }
                EXPECT_EQ(ImGui::FindWindowByName("Nimbrel")->ScrollMax.y, 0.0f);  // only the panels scroll
                // Nothing cut at the side or overlapping in its region; the named items wholly in view.
                std::set<std::string> whole;
                for (const LaidOut& a : laidOut) {
                    const ImVec2 lo(std::max(a.clipMin.x, 0.0f), std::max(a.clipMin.y, 0.0f)),
                        hi(std::min(a.clipMax.x, size.x), std::min(a.clipMax.y, size.y));
                    if (a.frame != laidOut.back().frame || a.max.y <= lo.y || a.min.y >= hi.y) continue;
                    EXPECT_TRUE(a.min.x >= lo.x - 0.5f && a.max.x <= hi.x + 0.5f) << a.label << " cut at " << a.max.x;
                    if (a.min.y >= lo.y - 0.5f && a.max.y <= hi.y + 0.5f) whole.insert(a.label);
                    for (const LaidOut& b : laidOut)
                        EXPECT_FALSE(&a < &b && b.frame == a.frame && a.clipMin.x == b.clipMin.x &&
                                     a.clipMin.y == b.clipMin.y && a.min.x < b.max.x - 1 && b.min.x < a.max.x - 1 &&
                                     a.min.y < b.max.y - 1 && b.min.y < a.max.y - 1)
                            << a.label << " overlaps " << b.label;
                }
                std::vector<std::string> want = v.whole;
                if (!v.flag) {  // one row of tabs; the Sky card's moon, lines through the planets' (two where short)
                    want.insert(want.end(), {"[ Sky ]", "[auto]", "moon"});
                    want.insert(want.end(), sky.begin(), size.y >= 820 ? sky.end() : sky.begin() + 2);
                    // The row ends with its last tab, or (where it is short) the arrow to the cards past it.
                    if (size.x >= 1920 || !whole.count(">")) want.push_back("[ Discussion ]");
                }
                for (const std::string& label : want) EXPECT_TRUE(whole.count(label)) << label << " not in view";
            }
    draw::itemHook = nullptr;
}

}  // namespace
}  // namespace nbr
