// The program's presence in the desktop's notification area: the icon with
// the temperature, its tooltip, the menu ("Show Nimbrel", "Refresh Now",
// "Quit"), the flyout card with the quick-look texts, and desktop notices.
// Kept as an in-process model that the tests drive and read, and published
// on the session bus as a notification-area item when a bus exists.
#pragma once

#include "platform/Image.h"
#include "platform/SessionBus.h"

#include <optional>
#include <string>
#include <vector>

namespace nbr {

// The flyout card's texts of the current weather.
struct TrayQuickLook {
    std::u16string heading;
    std::u16string temperature;
    std::u16string condition;
    std::u16string feelsLike;
    std::u16string highLow;
    std::u16string wind;
    std::u16string rain;
    bool valid = false;  // the card opens only when set
};

enum class TrayAction : int { Show = 0, Refresh = 1, Quit = 2 };

// What the pointer does to the icon.
enum class TrayEvent { PopupOpen, PopupClose, BalloonClick, DoubleClick, RightUp, Click };

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class SystemTray {
public:
    // Menu command ids.
    static constexpr int kShowCommand = 1001;
    static constexpr int kRefreshCommand = 1002;
    static constexpr int kQuitCommand = 1003;

    // Adds the icon and publishes it on the session bus when there is one.
    bool initialize(const platform::RgbaImage& icon);
    void shutdown();
    bool isAdded() const { return added; }
    // Whether a desktop host shows the icon now (a watcher says so).
    bool hostVisible() const { return bus.hostVisible(); }
    // Handles what the desktop sent (activation, menu clicks, hosts coming
    // and going); never waits.
    void pump() { bus.pump(); }
    // At start-up: waits briefly for the desktop to say whether a host shows
    // the icon.
    void settle() { bus.settle(500); }

    // Ignores an empty image.
    void setIcon(const platform::RgbaImage& image);
    // Keeps at most 127 UTF-16 code units, never splitting a surrogate pair.
    void setTooltip(const std::u16string& text);
    void setQuickLook(const TrayQuickLook& look);
    // A desktop notice: the title cut to 63 UTF-16 code units, the text to
    // 255, never splitting a surrogate pair; written to the log as well.
    void showBalloon(const std::u16string& title, const std::u16string& text);

    // The pointer on the icon at screen position (x, y); true when handled.
    bool handleEvent(TrayEvent event, int x, int y);
    // A menu command; true when it is one of the three.
    bool handleCommand(int id);
    // The action a click or a menu command left, taken once.
    std::optional<TrayAction> pollAction();

    // The flyout: shown with its lower right corner at the pointer inside
    // the work area, only while the quick look is valid.
    void showFlyout(int x, int y);
    void hideFlyout() { flyoutShown = false; }
    bool flyoutVisible() const { return flyoutShown; }
    const ScreenRect& flyoutPlace() const { return flyoutArea; }
    // The work area of the screen and its scale, for placing the card.
    ScreenRect workArea{0, 0, 1920, 1080};
    double dpiScale = 1.0;

    const platform::RgbaImage& icon() const { return iconImage; }
    const std::u16string& tooltip() const { return tip; }
    const TrayQuickLook& currentQuickLook() const { return quickLook; }
    bool menuShown() const { return menuOpen; }

    struct Balloon {
        std::u16string title;
        std::u16string text;
    };
    // Every notice shown, oldest first.
    const std::vector<Balloon>& balloons() const { return shown; }

private:
    void publishToolTip();

    bool added = false;
    platform::RgbaImage iconImage;
    std::u16string tip = u"Nimbrel";
    TrayQuickLook quickLook;
    std::optional<TrayAction> pending;
    std::vector<Balloon> shown;
    bool flyoutShown = false;
    bool menuOpen = false;
    ScreenRect flyoutArea;
    platform::SessionBus bus;
};

}  // namespace nbr
