// Whole dashboard frames without a window: the carousel rotating on the
// frame clock, the meteor burst in the mini strip, one modal at a time.
#include "GuiHarness.h"
#include "PlaceRecords.h"
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"
#include "ui/Panel_Sky.h"
#include "ui/UIRenderer.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

class SkyFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        SavedLocation place;
        place.name = "Boston";
        config.locations.push_back(place);
    }
    void render(const WeatherData& data, float dt = 1.0f / 60) {
        gui.frame([&] { ui.render(data, {}, {}, false, ""); }, dt);
    }

    test::GuiContext gui{1280, 800};
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    UIRenderer ui{places, config};
};

TEST_F(SkyFrameTest, CarouselTurnsOnTheFrameClock) {
    config.carouselSeconds = 1;
    const WeatherData data = test::placeRecord(test::Place::Boston);
    const size_t tabs = panel::skyTabs(data).size();
    ASSERT_GT(tabs, 2u);
    render(data, 0.5f);
    EXPECT_EQ(ui.carouselIndex, 0);
    render(data, 0.5f);
    EXPECT_EQ(ui.carouselIndex, 1);
    for (size_t i = 0; i < tabs; ++i) render(data, 1.0f);
    EXPECT_EQ(ui.carouselIndex, 1);  // a full turn
    config.carouselSeconds = 0;
    for (int i = 0; i < 5; ++i) render(data, 1.0f);
    EXPECT_EQ(ui.carouselIndex, 1);

    // Fewer cards after a refresh: back to the first.
    ui.carouselIndex = 7;
    WeatherData bare;
    render(bare);
    EXPECT_EQ(ui.carouselIndex, 0);
}

TEST_F(SkyFrameTest, MeteorsMoveAndExpireInTheMiniStripToo) {
    const WeatherData data = test::placeRecord(test::Place::Oslo);
    render(data);
    ui.miniMode = true;
    ui.spawnMeteorShower();
    ui.spawnMeteorShower();
    ASSERT_GE(ui.meteors.size(), 12u);
    const float y0 = ui.meteors.front().y;
    render(data, 0.05f);
    EXPECT_GT(ui.meteors.front().y, y0);  // moved although only the strip is drawn
    int frames = 0;
    while (!ui.meteors.empty() && frames < 2000) {
        render(data, 0.05f);
        ++frames;
    }
    EXPECT_TRUE(ui.meteors.empty());
    EXPECT_LT(frames, 200);
}

TEST_F(SkyFrameTest, TwoModalsFlaggedAtOnceOpenOnlyTheFirst) {
    const WeatherData data = test::placeRecord(test::Place::Halifax);
    ui.showSettings = ui.showHistory = true;
    for (int f = 0; f < 3; ++f) render(data);
    ImGui::NewFrame();
    EXPECT_NE(ImGui::FindWindowByName("Settings"), nullptr);
    EXPECT_EQ(ImGui::FindWindowByName("Location History"), nullptr);
    ImGui::EndFrame();
}

}  // namespace
}  // namespace nbr
