#include "ui/Panel_Status.h"

#include "foundation/PlaceTime.h"
#include "model/WeatherCodes.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Places.h"
#include "ui/Units.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <numeric>
#include <utility>

namespace nbr::panel {

namespace {

// Whole seconds since the fetch at `now` (Unix seconds) on the wall clock; a
// clock set back before the fetch reads as no time at all.
int64_t ageSeconds(std::chrono::system_clock::time_point fetchedAt, int64_t now) {
    return std::max<int64_t>(0, now - fetchedSecond(fetchedAt));
}

// The unit the age is told in: minutes below an hour, hours below a day, days.
int64_t ageUnit(int64_t age) { return age < 3600 ? 60 : age < 86400 ? 3600 : 86400; }

std::string ageText(int64_t age) {
    if (age < 60) return "Updated just now";
    if (age < 3600) return "Updated " + std::to_string(age / 60) + " min ago";
    const int64_t n = age / ageUnit(age);
    return "Updated " + std::to_string(n) + (age < 86400 ? " hour" : " day") + (n == 1 ? "" : "s") + " ago";
}

// An error as the rest of a sentence: "The service failed." -> "the service
// failed" (a leading abbreviation stays as written).
std::string continued(std::string error) {
    if (!error.empty() && error.back() == '.') error.pop_back();
    if (error.size() > 1 && std::isupper(static_cast<unsigned char>(error[0])) &&
        std::islower(static_cast<unsigned char>(error[1])))
        error[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(error[0])));
    return error;
}

}  // namespace

Line statusText(bool hasPlace, bool refreshing, const std::string& status,
                std::chrono::system_clock::time_point fetchedAt, int64_t now) {
    if (!hasPlace) return {"No data"};
    if (refreshing) return {"Updating..."};
    if (fetchedSecond(fetchedAt) == 0) return status.empty() ? Line{"No data"} : Line{status, Tone::Error};
    const std::string age = ageText(ageSeconds(fetchedAt, now));
    if (!status.empty()) return {age + " - " + continued(status), Tone::Error};
    return {age};
}

long long statusChangesIn(std::chrono::system_clock::time_point fetchedAt, int64_t now) {
    const int64_t age = ageSeconds(fetchedAt, now);
    return ageUnit(age) - age % ageUnit(age);
}

std::string saveFailureText(const Config& c) {
    return c.saveError.empty() ? std::string() : "Couldn't save your settings: " + c.saveError;
}

Line settingsNotice(const Config& c) {
    if (!c.saveError.empty()) return {saveFailureText(c), Tone::Error};
    const Config::Unreadable& u = c.unreadable;
    if (!u.any()) return {};
    if (!u.error.empty()) return {"Your saved places could not be read: " + u.error, Tone::Error};
    std::string t = u.file ? "Your saved places and settings could not be read"
                           : printed("%d saved place%s could not be read", u.placesSkipped,
                                     u.placesSkipped == 1 ? "" : "s");
    t += u.copy.empty() ? ", and no copy of the file could be kept" : "; the file is kept as " + u.copy;
    return {t, Tone::Error};
}

std::string newerVersionText(const std::string& version) {
    if (version.empty()) return {};
    return " -  v" + version + " is out (" + kProjectSiteHost + ")";
}

ToastWindow toastWindow(std::span<const float> heights, float viewportHeight, float padding, float spacing) {
    const float room = 0.6f * viewportHeight;
    const float all = std::accumulate(heights.begin(), heights.end(), 0.0f) - spacing + 2 * padding;
    if (all <= room) return {all, false};
    float shown = 0;
    for (size_t i = 0; i < heights.size() && (i == 0 || padding + shown + heights[i] <= room); ++i)
        shown += heights[i];
    return {padding + shown, true};
}

std::string toastLabel(const WeatherAlert& a, const std::string& placeCountry) {
    if (!a.official) return {};
    const bool us = placeCountry == "US" || placeCountry == "United States";
    std::string t = us ? "NWS" : "Official";
    if (!a.severity.empty() && a.severity != "Unknown") t += " - " + a.severity;
    return t;
}

AlertWording alertWording(const WeatherAlert& a, const std::vector<SavedLocation>& places, const WeatherData& shown,
                          const Config& c, int64_t now) {
    AlertWording w;
    if (const PlaceClock clock = placeClockOf(a.placeKey, places, shown); clock.known()) w.placeDate = clock.dateOf(now);
    w.fahrenheit = c.useFahrenheit;
    w.windUnit = c.windUnit;
    w.placeTitle = sharedNameTitle(a.placeKey, places);
    return w;
}

Toast toastText(const WeatherAlert& a, AlertWording w) {
    Toast t;
    t.place = std::exchange(w.placeTitle, {});
    t.text = a.title + ": " + alertMessageOn(a, w);
    return t;
}

std::string noticeText(const WeatherAlert& a, AlertWording w) {
    const std::string place = std::exchange(w.placeTitle, {});
    const std::string text = alertMessageOn(a, w);
    return place.empty() ? text : place + ": " + text;
}

MiniStrip miniStrip(const WeatherData& d, const std::vector<SavedLocation>& places, const Config& cfg,
                    bool refreshing, int64_t now) {
    MiniStrip m;
    m.place = placeName(d.location, places);
    if (refreshing) m.updating = "  (updating...)";
    if (!hasCurrentConditions(d)) {
        m.top = "No data";
        return m;
    }
    m.top = units::temp(cfg, d.temperature) + "  " + weatherCodeToShortString(d.weatherCode);
    const PrecipNowcast n = computePrecipNowcast(d, now);
    // Conditions kept past their hour say when they held, as the current
    // block does, in the one line the strip has room for.
    if (std::string asOf = conditionsAsOf(d, cfg, now); !asOf.empty()) {
        m.stat = {std::move(asOf), Tone::Amber};
    } else if (n.state == PrecipNowcast::StartsSoon) {
        m.stat = {printed("%s in ~%d min", n.what(), n.minutes), Tone::Amber};
    } else if (n.state == PrecipNowcast::EndsSoon) {
        m.stat = {printed("%s ends in ~%d min", n.what(), n.minutes), Tone::Live};
    } else if (cfg.miniStat == 1) {
        m.stat = {"Feels " + units::temp(cfg, d.apparentTemperature) + "   wind " +
                      units::wind(cfg, d.windSpeed, d.windDirection),
                  Tone::Dim};
    } else if (cfg.miniStat == 2) {
        m.stat = {"Humidity " + units::chance(d.relativeHumidity) + "   dew " + units::temp(cfg, d.dewPoint),
                  Tone::Dim};
    } else if (const DailyForecast* t = todayOf(d, now)) {
        m.stat = {"High " + units::temp(cfg, t->temperatureMax) + " / Low " + units::temp(cfg, t->temperatureMin) +
                      "   rain " + units::chance(t->precipitationProbabilityMax),
                  Tone::Dim};
    }
    return m;
}

std::string notificationTime(const Notification& n, const std::vector<SavedLocation>& places, const WeatherData& shown,
                             bool use24) {
    PlaceClock clock = placeClockOf(n.alert.placeKey, places, shown);
    if (!clock.known()) clock = placeClock(shown);
    const std::string local = clock.minuteOf(std::chrono::system_clock::to_time_t(n.receivedAt));
    if (local.size() < 16) return {};
    return local.substr(5, 2) + "/" + local.substr(8, 2) + " " + formatClock(local, use24);
}

Tone notificationTimeTone(const Notification& n) { return n.acknowledged ? Tone::Dim : Tone::Accent; }
Tone notificationTextTone(const Notification& n) { return n.acknowledged ? Tone::Dim : Tone::Normal; }

}  // namespace nbr::panel
