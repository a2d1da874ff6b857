#include "desktop/SystemTray.h"

#include "foundation/Logger.h"
#include "model/Utf8.h"

namespace nbr {

namespace {
constexpr size_t kTooltipUnits = 127;
constexpr size_t kBalloonTitleUnits = 63;
constexpr size_t kBalloonTextUnits = 255;
}

bool SystemTray::initialize(const platform::RgbaImage& icon) {
    iconImage = icon;
    added = true;
    return true;
}

void SystemTray::shutdown() { added = false; }

void SystemTray::setIcon(const platform::RgbaImage& image) {
    if (!added || image.empty()) return;
    iconImage = image;
}

void SystemTray::setTooltip(const std::u16string& text) {
    if (!added) return;
    tip = utf16Cut(text, kTooltipUnits);
}

void SystemTray::showBalloon(const std::u16string& title, const std::u16string& text) {
    if (!added) return;
    Balloon b{utf16Cut(title, kBalloonTitleUnits), utf16Cut(text, kBalloonTextUnits)};
    // One log line per notice: its lines joined.
    std::string lines = wideToUtf8(b.text);
    for (size_t at = lines.find('\n'); at != std::string::npos; at = lines.find('\n', at)) lines.replace(at, 1, " / ");
    Log::info("notice: %s: %s", wideToUtf8(b.title).c_str(), lines.c_str());
    shown.push_back(std::move(b));
}

void SystemTray::setQuickLook(const TrayQuickLook& look) { quickLook = look; }

std::optional<TrayAction> SystemTray::pollAction() {
    std::optional<TrayAction> action = pending;
    pending.reset();
    return action;
}

}  // namespace nbr
