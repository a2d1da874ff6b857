// Desktop delivery of filed notifications: at once, outside quiet hours, or
// as one daily digest; and the pruning of expired ones, from the toasts too.
#include "app/App.h"

#include "ui/Panel_Status.h"

#include <ctime>

namespace nbr {

namespace {

bool inQuietHours(int minute, int start, int end) {
    if (start == end) return false;
    if (start < end) return minute >= start && minute < end;
    return minute >= start || minute < end;  // across midnight
}

}  // namespace

void App::pruneStaleNotifications() {
    std::lock_guard<std::mutex> lock(dataMutex);
    const auto t = wallClock();
    const auto ended = [t](const WeatherAlert& a) {
        return a.expires != std::chrono::system_clock::time_point{} && a.expires < t;
    };
    const auto stale = [&](const Notification& n) { return ended(n.alert); };
    for (const Notification& n : notifications)
        if (stale(n)) pendingToastKeys.erase(n.alert.deduplicationKey());
    if (std::erase_if(notifications, stale) > 0) frameBuild.changed = true;
    // An ended alert leaves the toasts too, even while no new answer comes.
    if (std::erase_if(alerts, ended) > 0) alertsDirty = frameBuild.changed = true;
}

void App::maybeNotify() {
    if (!config.alertsEnabled) return;
    std::vector<WeatherAlert> due;
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        if (pendingToastKeys.empty()) return;
        const std::time_t t = std::chrono::system_clock::to_time_t(wallClock());
        std::tm local{};
        localtime_r(&t, &local);
        const int minute = local.tm_hour * 60 + local.tm_min;
        const int day = local.tm_yday;
        if (config.notifyMode == 0 || config.notifyMode == 1) {
            if (config.notifyMode == 1 && inQuietHours(minute, config.quietStartMinute, config.quietEndMinute))
                return;
        } else {
            if (minute < config.digestMinute || lastDigestDay == day) return;
            lastDigestDay = day;
        }
        // Told in the words of the place's date now, which may be a later
        // one than the alert was made on, and in the units now chosen.
        const int64_t now = std::chrono::system_clock::to_time_t(wallClock());
        for (const Notification& n : notifications) {
            if (!pendingToastKeys.count(n.alert.deduplicationKey())) continue;
            due.push_back(n.alert);
            due.back().message = panel::noticeText(
                n.alert, panel::alertWording(n.alert, locationManager.locations(), shownRecord(), config, now));
        }
        pendingToastKeys.clear();
    }
    frameBuild.changed = true;
    notificationManager.showCombinedAlerts(due);
}

}  // namespace nbr
