#include "model/WeatherTypes.h"

#include "model/Dates.h"
#include "model/UnitText.h"

#include <locale>
#include <sstream>

namespace nbr {

std::string GeoLocation::cacheKey() const { return name + '@' + spot(); }

std::string GeoLocation::spot() const {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(4);
    out << latitude << ',' << longitude;
    return out.str();
}

bool coordinatesInRange(double latitude, double longitude) {
    return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

namespace {

std::string alertKey(const WeatherAlert& a, const std::string& place) {
    if (a.official && !a.id.empty()) return "OFFICIAL|" + a.id;
    std::string key = std::to_string(static_cast<int>(a.kind)) + "|" + place + "|";
    if (!a.dayKey.empty()) return key + a.dayKey;
    using Days = std::chrono::duration<int64_t, std::ratio<86400>>;
    // duration_cast truncates toward zero, as the key requires.
    return key + std::to_string(std::chrono::duration_cast<Days>(a.issued.time_since_epoch()).count());
}

void fill(std::string& text, const std::string& slot, const std::string& words) {
    for (size_t at = text.find(slot); at != std::string::npos; at = text.find(slot, at + words.size()))
        text.replace(at, slot.size(), words);
}

}  // namespace

std::string WeatherAlert::deduplicationKey() const { return alertKey(*this, placeKey.empty() ? location : placeKey); }

std::optional<std::string> alertKeyPlace(const std::string& key) {
    // "<kind>|<place>|<day>": the kind is all digits and the day has no bar,
    // so the place is whatever lies between the first and the last bar, bars
    // of its own included.
    const size_t first = key.find('|'), last = key.rfind('|');
    if (first == 0 || first == std::string::npos || last == first) return std::nullopt;
    for (size_t i = 0; i < first; ++i)
        if (key[i] < '0' || key[i] > '9') return std::nullopt;
    return key.substr(first + 1, last - first - 1);
}

std::optional<std::string> renamedAlertKey(const std::string& key, const std::string& oldName,
                                           const std::string& newName) {
    if (alertKeyPlace(key) != oldName) return std::nullopt;
    return key.substr(0, key.find('|') + 1) + newName + key.substr(key.rfind('|'));
}

bool isPlaceAlertKey(const std::string& key, const std::string& name) {
    return renamedAlertKey(key, name, name).has_value();
}

std::string alertDayWords(int days, bool night) {
    if (days <= 0) return night ? "tonight" : "today";
    if (days == 1) return night ? "tomorrow night" : "tomorrow";
    return night ? "in " + std::to_string(days) + " nights" : "in the next few days";
}

std::string alertMessageOn(const WeatherAlert& alert, const AlertWording& wording) {
    std::string text = alert.message;
    // An official warning's text is its source's own, slots or not.
    const bool placed = !alert.official && text.find("{place}") != std::string::npos;
    if (!alert.official) {
        const std::string& from = wording.placeDate.empty() ? alert.madeOn : wording.placeDate;
        // A day alert ends with its day: it is never worded as past.
        const int days = daysBetween(from, alert.dayKey).value_or(0);
        fill(text, "{day}", alertDayWords(days, alert.kind == AlertKind::SkyEvent));
        fill(text, "{temp}", temperatureText(alert.value, wording.fahrenheit));
        fill(text, "{wind}", speedText(alert.value, wording.windUnit));
        fill(text, "{place}", wording.placeTitle.empty() ? alert.location : wording.placeTitle);
    }
    if (!placed && !wording.placeTitle.empty()) text += " (" + wording.placeTitle + ")";
    return text;
}

}  // namespace nbr
