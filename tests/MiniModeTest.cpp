// The application's window on a private virtual display, in this process:
// the mini strip and back, the geometry stored at shut-down, "Set size" past
// the screen, and real frames.
#include "AppOnDisplay.h"
#include "platform/Fonts.h"
#include "platform/Image.h"
#include "ui/Texture.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace nbr {
namespace {

using MiniModeTest = test::AppOnDisplayTest;

TEST_F(MiniModeTest, StripAndBackRestoreTheFullWindowAndRememberTheStripPosition) {
    EXPECT_TRUE(app.hwnd.has_value());
    SDL_SetWindowPosition(app.window, 120, 80);
    const Geometry full = geometry();
    EXPECT_EQ(full.w, 900);
    EXPECT_EQ(full.h, 650);

    app.config.miniOpacityPct = 25;
    app.applyMiniMode(true);
    ASSERT_TRUE(app.renderer->miniMode);
    const WindowSize strip = miniStripSize(app.displayScale());
    Geometry g = geometry();
    EXPECT_EQ(g.w, strip.w);
    EXPECT_EQ(g.h, strip.h);
    EXPECT_EQ(g.x, full.x);  // never placed: it stays where the window was
    const Uint32 flags = SDL_GetWindowFlags(app.window);
    EXPECT_TRUE(flags & SDL_WINDOW_ALWAYS_ON_TOP);
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
    float opacity = 0;
    if (SDL_GetWindowOpacity(app.window, &opacity) == 0) {
        EXPECT_FLOAT_EQ(opacity, 0.4f);
    }
    EXPECT_EQ(app.normalW, 900);
    EXPECT_EQ(app.normalH, 650);

    // A resize asked for in mini mode is ignored.
    app.renderer->actions.resizeWindow = true;
    app.renderer->actions.width = 1500;
    app.renderer->actions.height = 1000;
    app.processEvents();
    EXPECT_EQ(geometry().w, strip.w);

    SDL_SetWindowPosition(app.window, 40, 30);
    geometry();
    app.applyMiniMode(false);
    EXPECT_FALSE(app.renderer->miniMode);
    EXPECT_EQ(app.config.miniPosX, 40);
    EXPECT_EQ(app.config.miniPosY, 30);
    g = geometry();
    EXPECT_EQ(g.w, 900);
    EXPECT_EQ(g.h, 650);
    EXPECT_EQ(g.x, full.x);
    EXPECT_EQ(g.y, full.y);
    EXPECT_FALSE(SDL_GetWindowFlags(app.window) & SDL_WINDOW_ALWAYS_ON_TOP);
    if (SDL_GetWindowOpacity(app.window, &opacity) == 0) {
        EXPECT_FLOAT_EQ(opacity, 1.0f);
    }

    // The strip goes back to where it was left.
    app.applyMiniMode(true);
    g = geometry();
    EXPECT_EQ(g.x, 40);
    EXPECT_EQ(g.y, 30);
}

ImVec2 settingsMin, settingsMax;  // the status bar's "Settings" button in the last frame
void noteSettings(const char* label, ImVec2 min, ImVec2 max, ImVec2, ImVec2) {
    if (std::strcmp(label, "Settings") == 0) settingsMin = min, settingsMax = max;
}

TEST_F(MiniModeTest, SetSizePastTheScreenLeavesTheWindowAndItsSettingsButtonOnIt) {
    SDL_SetWindowPosition(app.window, 300, 200);
    geometry();
    app.renderer->actions.resizeWindow = true;
    app.renderer->actions.width = 1920;  // on the 1280 x 800 screen
    app.renderer->actions.height = 1080;
    draw::itemHook = noteSettings;
    for (int i = 0; i < 10; ++i) app.turn(50);  // as the main loop runs, events and frames
    draw::itemHook = nullptr;
    const Geometry g = geometry();
    EXPECT_TRUE(g.x == 0 && g.y == 0 && g.w == 1280 && g.h == 800) << g.x << "," << g.y << " " << g.w << "x" << g.h;
    EXPECT_TRUE(app.config.windowW == 1280 && app.config.windowH == 800);  // the size it got is kept

    // The label of the button that undoes it shows on the screen.
    const test::Screenshot shot = test::captureDisplay(display.name(), tmp_.path() + "/screen.xwd");
    ASSERT_FALSE(shot.rgb.empty());
    const std::string png = test::savePng(shot, "set-size-past-the-screen");
    const test::Rect button{g.x + int(settingsMin.x), g.y + int(settingsMin.y), int(settingsMax.x - settingsMin.x),
                            int(settingsMax.y - settingsMin.y)};
    const size_t inked = test::inked(shot, button, theme::Fg.x, theme::Fg.y, theme::Fg.z);
    EXPECT_GT(inked, 20u) << png;
}

TEST_F(MiniModeTest, ShutDownInMiniModeSavesTheFullSizeAndTheStripPosition) {
    app.applyMiniMode(true);
    SDL_SetWindowPosition(app.window, 33, 44);
    geometry();
    app.shutdown();
    EXPECT_EQ(app.window, nullptr);
    const auto saved = nlohmann::json::parse(test::readFile(dataDir() + "/config.json")).at("settings");
    EXPECT_EQ(saved.at("windowW"), 900);
    EXPECT_EQ(saved.at("windowH"), 650);
    EXPECT_EQ(saved.at("miniPosX"), 33);
    EXPECT_EQ(saved.at("miniPosY"), 44);
}

TEST_F(MiniModeTest, FramesDrawTheRecordAndTheStripAndSettingsChangesApply) {
    SavedLocation place;
    place.name = "Boston";
    app.config.locations.push_back(place);
    app.weather.location = place;
    app.weather.temperature = 0;
    app.tray.initialize({});
    app.weather.hourly.resize(24);
    app.weather.daily.resize(7);
    WeatherAlert a;
    a.title = "Gusts";
    a.dayKey = "2026-01-01";
    a.location = place.name, a.placeKey = place.cacheKey();
    app.alerts = {a, a, a};
    app.alerts[2].dayKey = "2026-01-02";
    app.acknowledgedKeys = {a.deduplicationKey(), app.alerts[2].deduplicationKey()};
    app.renderFrame();
    EXPECT_TRUE(app.visibleAlerts.empty());  // acknowledged alerts are not shown
    EXPECT_FALSE(app.alertsDirty);

    EXPECT_EQ(app.tray.tooltip().substr(0, 4), u"32F ");
    app.config.themeId = 1;
    app.config.crispFont = false;
    app.config.useFahrenheit = false;
    app.renderer->actions.settingsChanged = true;
    app.processEvents();
    EXPECT_FALSE(app.fontsCrisp);
    EXPECT_EQ(app.tray.tooltip().substr(0, 3), u"0C ");  // the tray in the units chosen, before any refresh
    EXPECT_FLOAT_EQ(theme::Bg.x, 243 / 255.0f);
    app.renderFrame();

    app.applyMiniMode(true);
    app.renderFrame();
    app.config.crispFont = true;
    app.renderer->actions.settingsChanged = true;
    app.processEvents();
    app.renderFrame();
    EXPECT_TRUE(app.fontsCrisp || platform::readUsableFont(platform::monoFontPaths().front()).empty());
}

TEST_F(MiniModeTest, TheEightPicturesOfTheResourcesFolderAreLoadedAsTextures) {
    const UIRenderer& r = *app.renderer;
    const struct {
        const char* file;
        const Texture& texture;
    } pictures[] = {
        {"weather-icons.png", r.weatherIcons},          {"moon-phases.png", r.moonPhases},
        {"constellations-atlas.png", r.constellationAtlas}, {"constellations-atlas2.png", r.constellationAtlas2},
        {"small-meteor-a.png", r.meteorSprites[0]},     {"small-meteor-b.png", r.meteorSprites[1]},
        {"medium-meteor.png", r.meteorSprites[2]},      {"large-meteor.png", r.meteorSprites[3]},
    };
    std::set<std::uint32_t> ids;
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.file);
        const platform::RgbaImage image = platform::decodeImageFile(resourcePath(p.file));
        ASSERT_FALSE(image.empty()) << resourcePath(p.file);
        EXPECT_NE(p.texture.id, 0u);
        EXPECT_EQ(p.texture.width, image.width);
        EXPECT_EQ(p.texture.height, image.height);
        ids.insert(p.texture.id);
    }
    EXPECT_EQ(ids.size(), 8u);  // eight textures, not one shared by mistake
}

TEST_F(MiniModeTest, ClosingTheWindowQuitsWhileNoNotificationAreaShowsTheIcon) {
    ASSERT_FALSE(app.trayHostVisible());
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SDL_GetWindowID(app.window);
    app.handleSdlEvent(e);
    EXPECT_FALSE(app.running);
    EXPECT_FALSE(app.hiddenToTray);
    EXPECT_NE(app.window, nullptr);  // released by shut-down, not by the close
}

}  // namespace
}  // namespace nbr
