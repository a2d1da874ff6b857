// Applying the worker's results on the first thread: the shown record, the
// notification-area texts and badge, newly seen alerts and the rain-soon
// notice, and the answers the dashboard waits for.
#include "app/App.h"

#include "foundation/PlaceTime.h"
#include "model/UnitText.h"
#include "model/Utf8.h"
#include "model/WeatherCodes.h"
#include "platform/TimeZones.h"
#include "ui/Panel_Places.h"

namespace nbr {

namespace {

constexpr size_t kMostNotifications = 50;
constexpr int kRainNoticeMinutes = 30;

}  // namespace

std::string App::formatTemp(double celsius) const { return units::temp(config, celsius); }

TrayQuickLook quickLookOf(const WeatherData& w, const Config& config, int64_t now) {
    const bool fahrenheit = config.useFahrenheit;
    const auto degrees = [&](double c) {
        return knownTemperature(c) ? utf8ToWide(numberText("%.0f°", shownDegrees(c, fahrenheit)))
                                   : std::u16string(u"--");
    };
    TrayQuickLook q;
    q.heading = utf8ToWide(panel::placeTitle(w.location));
    q.temperature = knownTemperature(w.temperature) ? degrees(w.temperature) + (fahrenheit ? u"F" : u"C") : u"--";
    q.condition = utf8ToWide(conditionText(w.weatherCode));
    q.feelsLike = u"Feels like " + degrees(w.apparentTemperature);
    if (const DailyForecast* today = todayOf(w, now)) {
        q.highLow = u"High " + degrees(today->temperatureMax) + u"    Low " + degrees(today->temperatureMin);
        q.rain = utf8ToWide("Rain " + units::chance(today->precipitationProbabilityMax));
    }
    const bool bearing = knownAmount(w.windDirection) && knownAmount(w.windSpeed);
    q.wind = u"Wind " + (bearing ? utf8ToWide(windDirectionToString(w.windDirection)) + u" " : u"") +
             utf8ToWide(units::speed(config, w.windSpeed));
    q.valid = true;
    return q;
}

void App::updateFromBackground() {
    while (std::optional<WorkResult> res = resultQueue.tryPop()) {
        frameBuild.changed = true;
        if (!res->newerVersion.empty() && renderer) renderer->newerVersion = res->newerVersion;
        switch (res->kind) {
        case WorkKind::FetchWeather:
            applyWeatherResult(*res);
            break;
        case WorkKind::Geocode:
            if (renderer) renderer->setSearchResults(res->searchResults, res->error);
            break;
        case WorkKind::DetectLocation:
            if (res->detected) {
                locationManager.addLocation(*res->detected);
                locationManager.setActive(static_cast<int>(locationManager.locations().size()) - 1);
                requestWeatherUpdate(locationManager.activeLocation());
                if (renderer) renderer->detectError.clear();
            } else if (renderer) {
                renderer->detectError = res->error.empty() ? "Couldn't detect location" : res->error;
            }
            break;
        case WorkKind::FetchStarFacts:
            if (renderer) renderer->starFacts = std::move(res->starFacts);
            break;
        default:
            break;
        }
    }
}

void App::applyWeatherResult(WorkResult& res) {
    std::lock_guard<std::mutex> lock(dataMutex);
    // A late answer or failure for a place no longer shown (switched from,
    // removed, renamed or moved while fetched) is left out: the worker
    // answers in order, so the shown place's own, asked for since, is still
    // to come.
    const bool places = locationManager.hasLocations();
    const GeoLocation* about = res.place ? &*res.place : res.weather ? &res.weather->location : nullptr;
    if (about &&
        (placeGone(*about) || (places && about->cacheKey() != locationManager.activeLocation().cacheKey()))) {
        if (!places) fetchInProgress = false;
        return;
    }
    // The worker answers in order: a result of an older request comes while
    // a newer try of the place is out. Its failure is left out: the newer
    // try stands for it and tells and counts its own. Its record, the
    // place's and newer than the one shown, is shown, but the newer try is
    // still under way.
    const bool newest = res.request >= newestWeatherRequest;
    if (!newest && !res.weather) return;
    if (newest) fetchInProgress = false;
    if (!res.weather) {
        status = res.error.empty() ? "Update failed" : res.error;
        // Tried again soon when the network or the service may be back
        // shortly; other answers wait for the poll.
        retryWaiting = res.retrySoon;
        if (res.retrySoon) {
            ++failedTries;
            failedAt = now();
            failedAtWall = wallSeconds();
        }
        return;
    }
    status.clear();
    failedTries = 0;
    retryWaiting = false;
    weather = std::move(*res.weather);
    // The zone the service named for the place is kept with it.
    if (places && platform::isZoneName(weather.location.timezone) &&
        weather.location.timezone != locationManager.activeLocation().timezone) {
        GeoLocation zoned = locationManager.activeLocation();
        zoned.timezone = weather.location.timezone;
        locationManager.updateActive(zoned);
    }
    alerts = std::move(res.alerts);
    for (WeatherAlert& a : alerts) a.placeKey = weather.location.cacheKey();
    alertsDirty = true;

    showInTray(weather);

    if (!config.alertsEnabled) return;
    const auto now = wallClock();
    for (const WeatherAlert& a : alerts) {
        if (a.expires != std::chrono::system_clock::time_point{} && now > a.expires) continue;
        if (!alertEngine.alreadyNotified(a, 0)) {
            alertEngine.markNotified(a, 0);
            notifications.push_back(Notification{a, now, false});
            pendingToastKeys.insert(a.deduplicationKey());
            continue;
        }
        const std::string key = a.deduplicationKey();
        for (Notification& n : notifications) {
            if (n.alert.deduplicationKey() != key) continue;
            n.alert = a;
            break;
        }
    }

    if (config.rainAlertsEnabled) fileRainNotice(now);
    if (notifications.size() > kMostNotifications)
        notifications.erase(notifications.begin(),
                            notifications.end() - static_cast<std::ptrdiff_t>(kMostNotifications));
}

void App::fileRainNotice(std::chrono::system_clock::time_point now) {
    const PrecipNowcast nowcast = computePrecipNowcast(weather, std::chrono::system_clock::to_time_t(now));
    if (nowcast.state == PrecipNowcast::NoData || nowcast.state == PrecipNowcast::Dry) {
        lastRainKey.clear();
        return;
    }
    if (nowcast.state != PrecipNowcast::StartsSoon || nowcast.minutes > kRainNoticeMinutes) return;
    const std::string& firstWet = weather.minutely15[static_cast<size_t>(nowcast.changeStep)].time;
    const std::string key = weather.location.cacheKey() + "|" + firstWet;
    if (key == lastRainKey) return;
    lastRainKey = key;
    WeatherAlert notice;
    notice.kind = AlertKind::RainExpected;
    notice.title = std::string(nowcast.what()) + " Soon";
    notice.message = std::string(nowcast.what()) + " starting in ~" + std::to_string(nowcast.minutes) + " min in {place}";
    notice.location = weather.location.name;
    notice.placeKey = weather.location.cacheKey();
    notice.issued = now;
    notice.expires = now + std::chrono::minutes(nowcast.minutes + kRainNoticeMinutes);
    if (alertEngine.alreadyNotified(notice, 0)) return;
    alertEngine.markNotified(notice, 0);
    notifications.push_back(Notification{notice, now, false});
    pendingToastKeys.insert(notice.deduplicationKey());
}

}  // namespace nbr
