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
    struct Case {
        const char* what;
        int windUnit;
        bool fahrenheit;
        int precipUnit;
        double gustTyped, swingTyped, snowTyped;
        double gustKmh, swingC, snowCm;
    };
    const Case cases[] = {
        {"zero gust in mph stores 1 mph", 0, true, 0, 0, 5, 1, 1 / 0.621371, 5 / 1.8, 1 / 0.393701},
        {"1000 km/h caps at 300", 1, false, 1, 1000, 100, -2, 300, 40, 0},
        {"50 inches caps at 100 cm", 3, true, 0, 10, 0.5, 50, 10 / 0.539957, 1 / 1.8, 100},
        {"m/s", 2, false, 1, 10, 3, 2.5, 36, 3, 2.5},
    };
    for (const Case& c : cases) {
        Config cfg;
        cfg.windUnit = c.windUnit;
        cfg.useFahrenheit = c.fahrenheit;
        cfg.precipUnit = c.precipUnit;
        panel::setGustThreshold(cfg, c.gustTyped);
        panel::setSwingThreshold(cfg, c.swingTyped);
        panel::setSnowThreshold(cfg, c.snowTyped);
        EXPECT_NEAR(cfg.alertGustKmh, c.gustKmh, 1e-6) << c.what;
        EXPECT_NEAR(cfg.alertSwingC, c.swingC, 1e-6) << c.what;
        EXPECT_NEAR(cfg.alertSnowCm, c.snowCm, 1e-6) << c.what;
    }
}

TEST(SettingsRules, LabelsAndShownValuesFollowTheUnitsWithoutChangingTheStoredValue) {
    Config cfg;
    cfg.alertSwingC = 10;
    EXPECT_EQ(panel::swingThreshold(cfg).label, "Temp swing over (F)");
    EXPECT_DOUBLE_EQ(panel::swingThreshold(cfg).shown, 18);
    cfg.useFahrenheit = false;
    EXPECT_EQ(panel::swingThreshold(cfg).label, "Temp swing over (C)");
    EXPECT_DOUBLE_EQ(panel::swingThreshold(cfg).shown, 10);
    EXPECT_DOUBLE_EQ(cfg.alertSwingC, 10);
    cfg.windUnit = 3;
    EXPECT_EQ(panel::gustThreshold(cfg).label, "Wind gusts over (knots)");
    cfg.precipUnit = 1;
    EXPECT_EQ(panel::snowThreshold(cfg).label, "Snowfall over (cm)");
}

TEST(SettingsRules, UnitIndexOutsideItsTableCountsAsTheFirstEntry) {
    Config cfg;
    cfg.alertGustKmh = 100;
    for (int unit : {-1, 4, 99, -2147483647 - 1}) {
        cfg.windUnit = unit;
        EXPECT_STREQ(panel::gustUnitLabel(unit), "mph") << unit;
        EXPECT_DOUBLE_EQ(panel::gustFactor(unit), 0.621371) << unit;
        EXPECT_EQ(panel::gustThreshold(cfg).label, "Wind gusts over (mph)");
    }
    EXPECT_EQ(panel::tableIndex(2, 3), 2);
    EXPECT_EQ(panel::tableIndex(3, 3), 0);
    EXPECT_EQ(panel::tableIndex(-1, 3), 0);
}

TEST(SettingsRules, TypedNonNumbersLeaveTheThresholdsAlone) {
    Config cfg;
    const double gust = cfg.alertGustKmh, swing = cfg.alertSwingC, snow = cfg.alertSnowCm;
    for (double bad : {NAN, INFINITY, -INFINITY}) {
        panel::setGustThreshold(cfg, bad);
        panel::setSwingThreshold(cfg, bad);
        panel::setSnowThreshold(cfg, bad);
    }
    EXPECT_EQ(cfg.alertGustKmh, gust);
    EXPECT_EQ(cfg.alertSwingC, swing);
    EXPECT_EQ(cfg.alertSnowCm, snow);
}

TEST(SettingsRules, ClampsOfTypedNumbersAndTimeRows) {
    EXPECT_EQ(panel::clampPollMinutes(3), 5);
    EXPECT_EQ(panel::clampPollMinutes(200), 180);
    EXPECT_EQ(panel::clampPollMinutes(45), 45);
    EXPECT_EQ(panel::clampCarouselSeconds(-1), 0);
    EXPECT_EQ(panel::clampCarouselSeconds(500), 120);
    const panel::SizeRequest small = panel::clampWindowRequest(300, 200);
    EXPECT_EQ(small.width, 700);
    EXPECT_EQ(small.height, 500);
    const panel::SizeRequest big = panel::clampWindowRequest(9000, 9000);
    EXPECT_EQ(big.width, 4000);
    EXPECT_EQ(big.height, 3000);
    struct {
        int h, m, minutes;
    } rows[] = {{25, 75, 1439}, {-1, -5, 0}, {22, 0, 1320}, {7, 30, 450}, {0, 60, 59}};
    for (const auto& r : rows) EXPECT_EQ(panel::timeRowMinutes(r.h, r.m), r.minutes) << r.h << ":" << r.m;
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
        const ImGuiID id = test::GuiContext::itemId("Settings", label, sub);
        ASSERT_NE(id, 0u);
        test::GuiContext::press(id);
        draw();
        draw();
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

    test::GuiContext::press(test::GuiContext::itemId("Settings", "Refresh every (min)", "-"));
    draw();
    EXPECT_EQ(config.foregroundPollMinutes, 5);
    test::GuiContext::press(test::GuiContext::itemId("Settings", "Refresh every (min)", "+"));
    draw();
    EXPECT_EQ(config.foregroundPollMinutes, 10);
    test::GuiContext::press(test::GuiContext::itemId("Settings", "Wind gusts over (km/h)", "+"));
    draw();
    EXPECT_NEAR(config.alertGustKmh, 69, 1e-9);
    EXPECT_TRUE(ui->consumeActions().settingsChanged);
}

TEST_F(SettingsWindowTest, DisablingAlertsHidesTheirRowsButKeepsTheirValues) {
    config.alertGustKmh = 50;
    pressInSettings("Enable Alerts");
    EXPECT_FALSE(config.alertsEnabled);
    EXPECT_TRUE(ui->consumeActions().settingsChanged);
    test::GuiContext::press(test::GuiContext::itemId("Settings", "Wind gusts over (mph)", "+"));
    draw();
    draw();
    EXPECT_EQ(config.alertGustKmh, 50);
    EXPECT_FALSE(ui->consumeActions().settingsChanged);
}

TEST_F(SettingsWindowTest, UnitTablesSurviveOutOfRangeValuesReadFromAFile) {
    test::writeFile(dataDir() + "/config.json",
                    R"({"settings":{"windUnit":9,"miniStat":7,"themeId":-3,"notifyMode":5,"pressureUnit":4}})");
    config.load();
    config.miniStat = 7;  // whatever load made of it, the window copes
    config.themeId = -3;
    config.windUnit = 9;
    config.alertGustKmh = 100;
    pressInSettings("Wind gusts over (mph)", "+");
    // Shown as mph (the first entry): 62.1 + 5 mph.
    EXPECT_NEAR(config.alertGustKmh, (100 * 0.621371 + 5) / 0.621371, 1e-6);
}

TEST_F(SettingsWindowTest, SaveAndCloseWritesTheSettingsAndClosesTheWindow) {
    config.carouselSeconds = 33;
    pressInSettings("Save & Close");
    EXPECT_FALSE(ui->showSettings);
    const auto saved = nlohmann::json::parse(test::readFile(dataDir() + "/config.json")).at("settings");
    EXPECT_EQ(saved.at("carouselSeconds"), 33);
    bool stillOpen = true;
    gui.frame([&] {
        ImGui::Begin("host");
        stillOpen = ImGui::IsPopupOpen("Settings");
        ImGui::End();
    });
    EXPECT_FALSE(stillOpen);
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
    test::GuiContext::press(test::GuiContext::itemId("Settings", "Launch at startup"));
    draw();
    EXPECT_FALSE(ui->settingsAutostart);
}

}  // namespace
}  // namespace nbr
