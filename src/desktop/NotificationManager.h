// Desktop notices of alerts: one alert, or several combined into one notice,
// shown as a balloon of the notification-area icon.
#pragma once

#include "model/WeatherTypes.h"

#include <string>
#include <vector>

namespace nbr {

class SystemTray;

class NotificationManager {
public:
    // Always true.
    bool initialize(SystemTray* tray);
    void shutdown();
    bool isSupported() const { return initialized && tray; }

    void showAlert(const WeatherAlert& alert);
    // One notice for all: an alert's own title and message, or for n alerts
    // "Weather Alerts (n)" with a "- message" line each. Nothing for none.
    void showCombinedAlerts(const std::vector<WeatherAlert>& alerts);
    void showNotification(const std::u16string& title, const std::u16string& text);

private:
    bool initialized = false;
    SystemTray* tray = nullptr;
};

}  // namespace nbr
