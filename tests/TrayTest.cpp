// The notification-area model: pointer events and menu commands, the flyout's
// place and picture.
#include "TestEnv.h"
#include "desktop/SystemTray.h"
#include "desktop/TrayFlyout.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>

namespace nbr::test {
namespace {

TrayQuickLook look() {
    TrayQuickLook q;
    q.heading = u"Boston, Massachusetts, US";
    q.temperature = u"72°F";
    q.condition = u"Partly Cloudy";
    q.feelsLike = u"Feels like 70°";
    q.highLow = u"High 78°    Low 61°";
    q.wind = u"Wind W 12 mph";
    q.rain = u"Rain 35%";
    q.valid = true;
    return q;
}

TEST(TrayModelTest, ClicksAndCommandsLeaveOneActionEach) {
    SystemTray tray;
    tray.initialize({});
    struct Case {
        TrayEvent event;
        std::optional<TrayAction> action;
    };
    const Case cases[] = {{TrayEvent::DoubleClick, TrayAction::Show},
                          {TrayEvent::BalloonClick, TrayAction::Show},
                          {TrayEvent::Click, std::nullopt},
                          {TrayEvent::RightUp, std::nullopt}};
    for (const Case& c : cases) {
        tray.handleEvent(c.event, 10, 10);
        EXPECT_EQ(tray.pollAction(), c.action);
        EXPECT_EQ(tray.pollAction(), std::nullopt);  // taken once
    }
    EXPECT_TRUE(tray.menuShown());
    EXPECT_TRUE(tray.handleCommand(SystemTray::kRefreshCommand));
    EXPECT_TRUE(tray.handleCommand(SystemTray::kQuitCommand));  // replaces the pending one
    EXPECT_EQ(tray.pollAction(), TrayAction::Quit);
    EXPECT_TRUE(tray.handleCommand(SystemTray::kShowCommand));
    EXPECT_EQ(tray.pollAction(), TrayAction::Show);
    EXPECT_FALSE(tray.handleCommand(1004));
    EXPECT_EQ(tray.pollAction(), std::nullopt);
}

TEST(TrayModelTest, TheFlyoutOpensOnlyWithWeatherAndStaysInTheWorkArea) {
    SystemTray tray;
    tray.initialize({});
    tray.workArea = {0, 0, 1920, 1040};  // a taskbar of 40 pixels at the bottom
    tray.handleEvent(TrayEvent::PopupOpen, 1900, 1060);
    EXPECT_FALSE(tray.flyoutVisible());  // no weather yet
    tray.setQuickLook(look());
    tray.handleEvent(TrayEvent::PopupOpen, 1900, 1060);
    ASSERT_TRUE(tray.flyoutVisible());
    const ScreenRect r = tray.flyoutPlace();
    EXPECT_EQ(r.right, 1900);   // lower right corner at the pointer...
    EXPECT_EQ(r.bottom, 1040);  // ...but above the taskbar
    EXPECT_EQ(r.right - r.left, 296);
    EXPECT_EQ(r.bottom - r.top, 152);
    tray.handleEvent(TrayEvent::PopupClose, 0, 0);
    EXPECT_FALSE(tray.flyoutVisible());

    EXPECT_EQ(flyoutRect(1919, 1039, 1.0, {0, 0, 1920, 1040}).right, 1919);
    EXPECT_EQ(flyoutRect(100, 100, 1.0, {0, 0, 1920, 1040}).left, 0);  // pushed right by the edge
    const ScreenRect big = flyoutRect(2000, 1200, 1.5, {0, 0, 1920, 1040});
    EXPECT_EQ(big.right - big.left, 444);
    EXPECT_EQ(big.bottom - big.top, 228);
    EXPECT_EQ(big.right, 1920);
}

TEST(TrayModelTest, TheCardIsPaintedInItsColoursWithItsTexts) {
    std::filesystem::create_directories(NIMBREL_ARTIFACT_DIR);
    for (double scale : {1.0, 1.5}) {
        const platform::RgbaImage card = paintFlyout(look(), scale);
        ASSERT_EQ(card.width, static_cast<int>(296 * scale));
        ASSERT_EQ(card.height, static_cast<int>(152 * scale));
        const std::string png = std::string(NIMBREL_ARTIFACT_DIR) + "/tray-flyout-" +
                                (scale == 1.0 ? "1.0" : "1.5") + ".png";
        stbi_write_png(png.c_str(), card.width, card.height, 4, card.pixels.data(), card.width * 4);
        const auto at = [&](int x, int y) {
            const std::uint8_t* p = &card.pixels[(static_cast<size_t>(y) * card.width + x) * 4];
            return std::array<int, 3>{p[0], p[1], p[2]};
        };
        EXPECT_EQ(at(card.width - 5, card.height - 5), (std::array<int, 3>{27, 22, 19})) << png;
        EXPECT_EQ(at(0, 0), (std::array<int, 3>{224, 121, 66}));                 // accent bar over the border
        EXPECT_EQ(at(card.width - 1, card.height / 2), (std::array<int, 3>{92, 63, 41}));  // border
        // Light text in the heading band, the temperature's band and the last line.
        const auto lightIn = [&](int y0, int y1) {
            int n = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = 0; x < card.width; ++x)
                    if (at(x, y)[0] > 150) ++n;
            return n;
        };
        const int s10 = static_cast<int>(10 * scale);
        EXPECT_GT(lightIn(s10, s10 + static_cast<int>(18 * scale)), 40) << png;
        EXPECT_GT(lightIn(static_cast<int>(40 * scale), static_cast<int>(70 * scale)), 200) << png;
        EXPECT_GT(lightIn(static_cast<int>(110 * scale), static_cast<int>(135 * scale)), 40) << png;
    }
    // An empty card has nothing light beyond its accent bar.
    TrayQuickLook none;
    none.valid = true;
    const platform::RgbaImage empty = paintFlyout(none, 1.0);
    int light = 0;
    for (size_t i = 0; i < empty.pixels.size(); i += 4)
        if (empty.pixels[i] > 150 && empty.pixels[i + 1] > 150) ++light;
    EXPECT_EQ(light, 0);
}

}  // namespace
}  // namespace nbr::test
