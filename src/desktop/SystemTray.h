// The program's presence in the desktop's notification area: the icon with
// the temperature, its tooltip, and the quick-look texts of the flyout card.
// Kept as an in-process model that the desktop publishing and the tests read.
#pragma once

#include "platform/Image.h"

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

class SystemTray {
public:
    // Adds the icon; every later call changes something only once added.
    bool initialize(const platform::RgbaImage& icon);
    void shutdown();
    bool isAdded() const { return added; }

    // Ignores an empty image.
    void setIcon(const platform::RgbaImage& image);
    // Keeps at most 127 UTF-16 code units, never splitting a surrogate pair.
    void setTooltip(const std::u16string& text);
    void setQuickLook(const TrayQuickLook& look);
    // A desktop notice: the title cut to 63 UTF-16 code units, the text to
    // 255, never splitting a surrogate pair; written to the log as well.
    void showBalloon(const std::u16string& title, const std::u16string& text);
    // The action a click or a menu command left, taken once.
    std::optional<TrayAction> pollAction();

    const platform::RgbaImage& icon() const { return iconImage; }
    const std::u16string& tooltip() const { return tip; }
    const TrayQuickLook& currentQuickLook() const { return quickLook; }

    struct Balloon {
        std::u16string title;
        std::u16string text;
    };
    // Every notice shown, oldest first.
    const std::vector<Balloon>& balloons() const { return shown; }

private:
    bool added = false;
    platform::RgbaImage iconImage;
    std::u16string tip = u"Nimbrel";
    TrayQuickLook quickLook;
    std::optional<TrayAction> pending;
    std::vector<Balloon> shown;
};

}  // namespace nbr
