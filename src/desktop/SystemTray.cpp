#include "desktop/SystemTray.h"

#include "model/Utf8.h"

namespace nbr {

namespace {
constexpr size_t kTooltipUnits = 127;
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

void SystemTray::setQuickLook(const TrayQuickLook& look) { quickLook = look; }

std::optional<TrayAction> SystemTray::pollAction() {
    std::optional<TrayAction> action = pending;
    pending.reset();
    return action;
}

}  // namespace nbr
