#include "model/WeatherTypes.h"

#include "model/Dates.h"

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

std::string WeatherAlert::deduplicationKey() const {
    if (official && !id.empty()) return "OFFICIAL|" + id;
    std::string key = std::to_string(static_cast<int>(kind)) + "|" + location + "|";
    if (!dayKey.empty()) return key + dayKey;
    using Days = std::chrono::duration<int64_t, std::ratio<86400>>;
    // duration_cast truncates toward zero, as the key requires.
    return key + std::to_string(std::chrono::duration_cast<Days>(issued.time_since_epoch()).count());
}

std::optional<std::string> renamedAlertKey(const std::string& key, const std::string& oldName,
                                           const std::string& newName) {
    // "<kind>|<place name>|<day>": the kind is all digits and the day has no
    // bar, so the name is whatever lies between the first and the last bar,
    // bars of its own included.
    const size_t first = key.find('|'), last = key.rfind('|');
    if (first == 0 || first == std::string::npos || last == first) return std::nullopt;
    for (size_t i = 0; i < first; ++i)
        if (key[i] < '0' || key[i] > '9') return std::nullopt;
    if (key.compare(first + 1, last - first - 1, oldName) != 0) return std::nullopt;
    return key.substr(0, first + 1) + newName + key.substr(last);
}

bool isPlaceAlertKey(const std::string& key, const std::string& name) {
    return renamedAlertKey(key, name, name).has_value();
}

std::string alertDayWords(int days, bool night) {
    if (days < 0) return night ? "last night" : "yesterday";
    if (days == 0) return night ? "tonight" : "today";
    if (days == 1) return night ? "tomorrow night" : "tomorrow";
    return night ? "in " + std::to_string(days) + " nights" : "in the next few days";
}

std::string alertMessageOn(const WeatherAlert& alert, const std::string& placeDate) {
    const std::optional<int> days = daysBetween(placeDate, alert.dayKey);
    const size_t at = alert.dayWords.empty() ? std::string::npos : alert.message.find(alert.dayWords);
    if (!days || *days < -1 || at == std::string::npos) return alert.message;
    std::string text = alert.message;
    return text.replace(at, alert.dayWords.size(), alertDayWords(*days, alert.kind == AlertKind::SkyEvent));
}

}  // namespace nbr
