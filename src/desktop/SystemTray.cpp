#include "desktop/SystemTray.h"

#include "desktop/TrayFlyout.h"
#include "foundation/Logger.h"
#include "model/Utf8.h"

namespace nbr {

namespace {

constexpr size_t kTooltipUnits = 127;
constexpr size_t kBalloonTitleUnits = 63;
constexpr size_t kBalloonTextUnits = 255;

std::string quickLookText(const TrayQuickLook& q) {
    std::string text;
    for (const std::u16string* line : {&q.temperature, &q.condition, &q.feelsLike, &q.highLow, &q.wind, &q.rain}) {
        if (line->empty()) continue;
        if (!text.empty()) text += "\n";
        text += wideToUtf8(*line);
    }
    return text;
}

}  // namespace

bool SystemTray::initialize(const platform::RgbaImage& icon) {
    iconImage = icon;
    added = true;
    platform::SessionBus::Handlers handlers;
    handlers.activate = [this] { handleEvent(TrayEvent::DoubleClick, 0, 0); };
    handlers.menuItem = [this](int id) { handleCommand(id); };
    handlers.noticeClicked = [this] { handleEvent(TrayEvent::BalloonClick, 0, 0); };
    const std::vector<platform::MenuItem> menu = {
        {kShowCommand, "Show Nimbrel"}, {kRefreshCommand, "Refresh Now"}, {2000, "", true}, {kQuitCommand, "Quit"}};
    if (bus.start("Nimbrel", menu, std::move(handlers))) {
        bus.setIcon(iconImage);
        publishToolTip();
    } else if (!bus.failure().empty()) {
        Log::warn("session bus unavailable (%s); going on without the notification area and desktop notices",
                  bus.failure().c_str());
    }
    return true;
}

void SystemTray::shutdown() {
    flyoutShown = false;
    bus.stop();
    added = false;
}

void SystemTray::setIcon(const platform::RgbaImage& image) {
    if (!added || image.empty()) return;
    iconImage = image;
    bus.setIcon(iconImage);
}

void SystemTray::setTooltip(const std::u16string& text) {
    if (!added) return;
    tip = utf16Cut(text, kTooltipUnits);
    publishToolTip();
}

void SystemTray::setQuickLook(const TrayQuickLook& look) {
    quickLook = look;
    publishToolTip();
}

void SystemTray::publishToolTip() {
    // The desktop shows the tooltip on hover: the quick look's lines go with it.
    if (bus.connected()) bus.setToolTip(wideToUtf8(tip), quickLook.valid ? quickLookText(quickLook) : "");
}

void SystemTray::showBalloon(const std::u16string& title, const std::u16string& text) {
    if (!added) return;
    Balloon b{utf16Cut(title, kBalloonTitleUnits), utf16Cut(text, kBalloonTextUnits)};
    const std::string summary = wideToUtf8(b.title), body = wideToUtf8(b.text);
    // One log line per notice: its lines joined.
    std::string line = body;
    for (size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) line.replace(at, 1, " / ");
    Log::info("notice: %s: %s", summary.c_str(), line.c_str());
    bus.notify(summary, body);
    shown.push_back(std::move(b));
}

bool SystemTray::handleEvent(TrayEvent event, int x, int y) {
    switch (event) {
    case TrayEvent::PopupOpen:
        showFlyout(x, y);
        return true;
    case TrayEvent::PopupClose:
        hideFlyout();
        return true;
    case TrayEvent::BalloonClick:
    case TrayEvent::DoubleClick:
        hideFlyout();
        pending = TrayAction::Show;
        return true;
    case TrayEvent::RightUp:
        hideFlyout();
        menuOpen = true;
        return true;
    case TrayEvent::Click:
        return false;
    }
    return false;
}

bool SystemTray::handleCommand(int id) {
    menuOpen = false;
    switch (id) {
    case kShowCommand: pending = TrayAction::Show; return true;
    case kRefreshCommand: pending = TrayAction::Refresh; return true;
    case kQuitCommand: pending = TrayAction::Quit; return true;
    default: return false;
    }
}

std::optional<TrayAction> SystemTray::pollAction() {
    std::optional<TrayAction> action = pending;
    pending.reset();
    return action;
}

void SystemTray::showFlyout(int x, int y) {
    if (!quickLook.valid) return;
    flyoutArea = flyoutRect(x, y, dpiScale, workArea);
    flyoutShown = true;
}

}  // namespace nbr
