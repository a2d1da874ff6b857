// Whole dashboard frames without a window: the carousel rotating on the
// frame clock, the meteor burst in the mini strip, one modal at a time, and
// frames that stay the same until the second they name.
#include "GuiHarness.h"
#include "PlaceRecords.h"
#include "app/App.h"
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"
#include "ui/Panel_Sky.h"
#include "ui/Theme.h"
#include "ui/UIDraw.h"
#include "ui/UIRenderer.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

// The items a frame lays out, as the drawing helpers note them: label,
// rectangle and clip rectangle.
std::string laidOut;
void noteLaidOut(const char* label, ImVec2 a, ImVec2 b, ImVec2 c, ImVec2 d) {
    laidOut += panel::textf("%s %g,%g %g,%g in %g,%g %g,%g\n", label, a.x, a.y, b.x, b.y, c.x, c.y, d.x, d.y);
}

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
    std::string layout(const WeatherData& data, float dt) {
        laidOut.clear();
        draw::itemHook = noteLaidOut;
        render(data, dt);
        draw::itemHook = nullptr;
        return laidOut;
    }

    test::GuiContext gui{1280, 800};
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    UIRenderer ui{places, config};
};

TEST_F(SkyFrameTest, CarouselTurnsOnTheFrameClock) {
    config.carouselSeconds = 1;
    ui.wallSeconds = [] { return std::int64_t{1768500000}; };
    const WeatherData data = test::placeRecord(test::Place::Boston);
    const size_t tabs = panel::skyTabs(data, 1768500000).size();
    ASSERT_GT(tabs, 2u);
    render(data, 0.5f);
    EXPECT_EQ(ui.carouselIndex, 0);
    render(data, 0.5f);
    EXPECT_EQ(ui.carouselIndex, 1);
    for (size_t i = 0; i < tabs; ++i) render(data, 1.0f);
    EXPECT_EQ(ui.carouselIndex, 1);  // a full turn
    // In a short window, where cards scroll, once each card has been shown
    // at that size: the frame that turns is the new card's, laid out as it
    // stays (its scroll bar too), not the old card's.
    ImGui::GetIO().DisplaySize = ImVec2(700, 500);
    for (size_t i = 0; i < 2 * tabs; ++i) {
        const std::string before = layout(data, 0.01f), turned = layout(data, 1.0f);
        if (i < tabs) continue;
        EXPECT_NE(turned, before);
        EXPECT_EQ(turned, layout(data, 0.01f)) << "card " << ui.carouselIndex;
    }
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

// A frame names the second from which time alone would change it; built
// again before then, in any card of the carousel, it is the same frame. Over
// four minutes around sunset: the clock's minutes, the countdown's (a second
// later), its turn to sunrise, and the data's age from half a second past.
TEST_F(SkyFrameTest, FramesHoldUntilTheSecondTheyName) {
    config.carouselSeconds = 0;
    WeatherData data = test::placeRecord(test::Place::Boston);
    data.daily[0].sunrise = "2026-01-15T07:10";
    data.daily[0].sunset = "2026-01-15T16:30";
    const std::int64_t sunset = 1768512600, from = sunset - 150;
    data.fetchedAt = std::chrono::system_clock::time_point(std::chrono::seconds(from)) - std::chrono::milliseconds(500);
    std::int64_t t = from;
    ui.wallSeconds = [&] { return t; };
    const auto shownHash = [] { return drawDataHash(*ImGui::GetDrawData(), theme::Bg); };
    for (size_t card = 0; card < panel::skyTabs(data, from).size(); ++card) {
        ui.carouselIndex = static_cast<int>(card);
        t = from;
        for (int i = 0; i < 3; ++i) render(data);  // the panels settle
        std::uint64_t shown = shownHash();
        std::int64_t due = ui.timedChange;
        int builds = 0;
        for (t = from + 1; t <= sunset + 90; ++t) {
            render(data);
            if (t < due) {
                ASSERT_EQ(shownHash(), shown) << "card " << card << ", " << t - sunset << " s from sunset";
                continue;
            }
            ++builds;
            shown = shownHash();
            due = ui.timedChange;
            ASSERT_GT(due, t);
        }
        EXPECT_LE(builds, 16) << "card " << card;
    }
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
