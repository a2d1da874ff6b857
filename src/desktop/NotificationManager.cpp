#include "desktop/NotificationManager.h"

#include "desktop/SystemTray.h"
#include "model/Utf8.h"

namespace nbr {

bool NotificationManager::initialize(SystemTray* t) {
    tray = t;
    initialized = true;
    return true;
}

void NotificationManager::shutdown() {
    initialized = false;
    tray = nullptr;
}

void NotificationManager::showAlert(const WeatherAlert& alert) {
    showNotification(utf8ToWide(alert.title), utf8ToWide(alert.message));
}

void NotificationManager::showCombinedAlerts(const std::vector<WeatherAlert>& alerts) {
    if (alerts.empty()) return;
    if (alerts.size() == 1) {
        showAlert(alerts.front());
        return;
    }
    std::string text;
    for (const WeatherAlert& a : alerts) {
        if (!text.empty()) text += "\n";
        text += "- " + a.message;
    }
    showNotification(utf8ToWide("Weather Alerts (" + std::to_string(alerts.size()) + ")"), utf8ToWide(text));
}

void NotificationManager::showNotification(const std::u16string& title, const std::u16string& text) {
    if (!isSupported()) return;
    tray->showBalloon(title, text);
}

}  // namespace nbr
