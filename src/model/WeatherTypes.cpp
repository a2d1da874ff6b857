#include "model/WeatherTypes.h"

#include <locale>
#include <sstream>

namespace nbr {

std::string GeoLocation::cacheKey() const {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(4);
    out << name << '@' << latitude << ',' << longitude;
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

}  // namespace nbr
