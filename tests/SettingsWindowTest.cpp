// The settings window: its rules for typed values, and the window itself
// driven through a windowless GUI context, pressing its controls and reading
// the settings and the action record.
#include "GuiHarness.h"
#include "TestEnv.h"
#include "foundation/LocationManager.h"
#include "foundation/OsIntegration.h"
#include "service/WeatherService.h"
#include "ui/Panel_Settings.h"
#include "ui/UIRenderer.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace nbr {
namespace {

TEST(SettingsRules, ThresholdsAreShownInDisplayUnitsAndStoredClampedInMetric) {
    const struct {
        int windUnit;
        bool fahrenheit;
        int precipUnit;
        double gustTyped, swingTyped, snowTyped, gustKmh, swingC, snowCm;
    } cases[] = {
        {0, true, 0, 0, 5, 1, 1 / 0.621371, 5 / 1.8, 1 / 0.393701},  // a zero gust stores 1 mph
        {1, false, 1, 1000, 100, -2, 300, 40, 0},
        {2, false, 1, 18, 3, 2.5, 64.8, 3, 2.5},                 // the speed alerts are told in
        {3, true, 0, 10, 0.5, 50, 18.52, 1 / 1.8, 100},          // 50 inches caps at 100 cm
        {9, false, 1, 10, 3, 2.5, 10 / 0.621371, 3, 2.5},        // a unit past the table counts as mph
    };
    for (const auto& c : cases) {
        Config cfg;
        cfg.windUnit = c.windUnit;
        cfg.useFahrenheit = c.fahrenheit;
        cfg.precipUnit = c.precipUnit;
        panel::setGustThreshold(cfg, c.gustTyped);
        panel::setSwingThreshold(cfg, c.swingTyped);
        panel::setSnowThreshold(cfg, c.snowTyped);
        EXPECT_NEAR(cfg.alertGustKmh, c.gustKmh, 1e-6) << c.windUnit;
        EXPECT_NEAR(cfg.alertSwingC, c.swingC, 1e-6) << c.windUnit;
        EXPECT_NEAR(cfg.alertSnowCm, c.snowCm, 1e-6) << c.windUnit;
        for (double bad : {NAN, INFINITY}) {  // typed "nan" or "inf" changes nothing
            panel::setGustThreshold(cfg, bad);
            panel::setSnowThreshold(cfg, bad);
        }
        EXPECT_NEAR(cfg.alertGustKmh, c.gustKmh, 1e-6);
        EXPECT_NEAR(cfg.alertSnowCm, c.snowCm, 1e-6);
    }
    Config cfg;
    cfg.alertSwingC = 10;
    EXPECT_EQ(panel::swingThreshold(cfg).label, "Temp swing over (F)");
    EXPECT_DOUBLE_EQ(panel::swingThreshold(cfg).shown, 18);
    cfg.useFahrenheit = false;
    EXPECT_DOUBLE_EQ(panel::swingThreshold(cfg).shown, 10);
    cfg.windUnit = -1;
    EXPECT_EQ(panel::gustThreshold(cfg).label, "Wind gusts over (mph)");
}

TEST(SettingsRules, ClampsOfTypedNumbersAndTimeRows) {
    EXPECT_EQ(panel::clampPollMinutes(200), 180);
    EXPECT_EQ(panel::clampCarouselSeconds(-1), 0);
    EXPECT_EQ(panel::clampCarouselSeconds(500), 120);
    EXPECT_EQ(panel::clampWindowRequest(9000, 9000).height, 3000);
    const int rows[][3] = {{25, 75, 1439}, {-1, -5, 0}, {22, 0, 1320}, {0, 60, 59}};
    for (const auto& r : rows) EXPECT_EQ(panel::timeRowMinutes(r[0], r[1]), r[2]) << r[0] << ":" << r[1];
}

class SettingsWindowTest : public test::DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) oldXdg_ = old;
        setenv("XDG_CONFIG_HOME", (tmp_.path() + "/xdg").c_str(), 1);
        ui = std::make_unique<UIRenderer>(places, config);
        ui->showSettings = true;
    }
    void TearDown() override {
        ui.reset();
        if (oldXdg_.empty()) unsetenv("XDG_CONFIG_HOME");
        else setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
        DataDirTest::TearDown();
    }
    void draw() {
        gui.frame([&] {
            ImGui::Begin("host");
            if (ui->showSettings) ui->renderSettingsPopup();
            ImGui::End();
        });
    }
    // Opens the window, presses one control and draws the frame that acts.
    void pressInSettings(const char* label, const char* sub = nullptr) {
        draw();
        // Tall enough that no control is scrolled out of view (and skipped).
        gui.frame([&] {
            ImGui::SetWindowSize("Settings", ImVec2(420, 990));
            ImGui::Begin("host");
            ui->renderSettingsPopup();
            ImGui::End();
        });
        const ImGuiID id = bodyItem(label, sub);
        ASSERT_NE(id, 0u);
        test::GuiContext::press(id);
        draw();
        draw();
    }

    static ImGuiID bodyItem(const char* label, const char* sub = nullptr) {  // in the scrolling body
        for (ImGuiWindow* w : GImGui->Windows)
            if (std::string(w->Name).rfind("Settings/settingsBody", 0) == 0) return test::GuiContext::itemId(w->Name, label, sub);
        return 0;
    }

    test::GuiContext gui{1000, 1000};  // the whole window in view
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    std::unique_ptr<UIRenderer> ui;

private:
    std::string oldXdg_;
};

TEST_F(SettingsWindowTest, SetSizeAsksForTheClampedSizeAndStoresIt) {
    ImGui::GetIO().DisplaySize = ImVec2(300, 200);
    draw();  // the size entry takes the display's size when the window opens
    ImGui::GetIO().DisplaySize = ImVec2(1000, 1000);
    pressInSettings("Set size");
    const UIActions a = ui->consumeActions();
    EXPECT_TRUE(a.resizeWindow);
    EXPECT_EQ(a.width, 700);  // the 300 x 200 display, clamped
    EXPECT_EQ(a.height, 500);
    EXPECT_TRUE(a.settingsChanged);
    EXPECT_EQ(config.windowW, 700);
    EXPECT_EQ(config.windowH, 500);
    EXPECT_FALSE(ui->consumeActions().resizeWindow);
}

TEST_F(SettingsWindowTest, StepButtonsEditTheLiveSettingsWithinTheirRanges) {
    config.carouselSeconds = 120;
    config.foregroundPollMinutes = 5;
    config.windUnit = 1;
    config.alertGustKmh = 64;
    pressInSettings("Sky rotate (s, 0=off)", "+");
    EXPECT_EQ(config.carouselSeconds, 120);
    EXPECT_TRUE(ui->consumeActions().settingsChanged);

    test::GuiContext::press(bodyItem("Refresh every (min)", "-"));
    draw();
    EXPECT_EQ(config.foregroundPollMinutes, 5);
    test::GuiContext::press(bodyItem("Refresh every (min)", "+"));
    draw();
    EXPECT_EQ(config.foregroundPollMinutes, 10);
    test::GuiContext::press(bodyItem("Wind gusts over (km/h)", "+"));
    draw();
    EXPECT_NEAR(config.alertGustKmh, 69, 1e-9);
    EXPECT_TRUE(ui->consumeActions().settingsChanged);
    draw();
    ImGui::GetIO().KeyMap[ImGuiKey_Escape] = 27;  // Escape closes it as the close box does, edits kept
    ImGui::GetIO().KeysDown[27] = true;
    draw();
    EXPECT_FALSE(ui->showSettings);
    EXPECT_NEAR(config.alertGustKmh, 69, 1e-9);
}

TEST_F(SettingsWindowTest, DisablingAlertsHidesTheirRowsButKeepsTheirValues) {
    config.alertGustKmh = 50;
    pressInSettings("Enable Alerts");
    EXPECT_FALSE(config.alertsEnabled);
    EXPECT_TRUE(ui->consumeActions().settingsChanged);
    test::GuiContext::press(bodyItem("Wind gusts over (mph)", "+"));
    draw();
    draw();
    EXPECT_EQ(config.alertGustKmh, 50);
    EXPECT_FALSE(ui->consumeActions().settingsChanged);
}

TEST_F(SettingsWindowTest, OutOfRangeTableSettingsShowTheFirstEntryAndSaveAndClose) {
    config.miniStat = 7;
    config.themeId = -3;
    config.notifyMode = 5;
    config.windUnit = 9;
    config.alertGustKmh = 100;
    pressInSettings("Wind gusts over (mph)", "+");  // shown in mph: 62.1 + 5
    EXPECT_NEAR(config.alertGustKmh, (100 * 0.621371 + 5) / 0.621371, 1e-6);
    test::GuiContext::press(test::GuiContext::itemId("Settings", "Save & Close"));
    draw();
    EXPECT_FALSE(ui->showSettings);
    const auto saved = nlohmann::json::parse(test::readFile(dataDir() + "/config.json")).at("settings");
    EXPECT_NEAR(saved.at("alertGustKmh").get<double>(), config.alertGustKmh, 1e-9);
}

TEST_F(SettingsWindowTest, AFailedAutostartChangeShowsTheRealState) {
    pressInSettings("Launch at startup");
    EXPECT_TRUE(ui->settingsAutostart);
    EXPECT_TRUE(os::autostartEnabled());
    EXPECT_FALSE(ui->consumeActions().settingsChanged);  // not a setting of the file

    // The autostart folder cannot be written: the box falls back.
    setenv("XDG_CONFIG_HOME", (tmp_.path() + "/file").c_str(), 1);
    test::writeFile(tmp_.path() + "/file", "not a folder");
    ui->settingsAutostart = false;
    test::GuiContext::press(bodyItem("Launch at startup"));
    draw();
    EXPECT_FALSE(ui->settingsAutostart);
}

}  // namespace
}  // namespace nbr
