#include "foundation/PlaceTime.h"

#include "platform/TimeZones.h"

#include <algorithm>

namespace nbr {

PlaceClock placeClock(const GeoLocation& place) { return PlaceClock(platform::zoneOffsets(place.timezone)); }

PlaceClock placeClock(const WeatherData& data) {
    PlaceClock zone = placeClock(data.location);
    if (zone.known()) return zone;
    const bool reported = data.utcOffsetSeconds != 0 || data.fetchedAt.time_since_epoch().count() >= 1;
    return reported ? PlaceClock::fixed(data.utcOffsetSeconds) : PlaceClock();
}

RecordClock recordClock(const WeatherData& data) { return {data.utcOffsetSeconds, placeClock(data)}; }

PlaceClock placeClockOf(const std::string& placeKey, const std::vector<SavedLocation>& places,
                        const WeatherData& shown) {
    if (placeKey.empty()) return {};
    if (shown.location.cacheKey() == placeKey) return placeClock(shown);
    for (const SavedLocation& p : places)
        if (p.cacheKey() == placeKey) return placeClock(p);
    return {};
}

const DailyForecast* todayOf(const WeatherData& data, int64_t now) { return dayAhead(data, now, 0); }

std::span<const DailyForecast> daysFrom(const WeatherData& data, int64_t now) {
    const std::string today = placeClock(data).dateOf(now);
    // Past are the days dated before today and the undated ones before
    // today's entry; an undated day is never taken as past by its place alone.
    size_t first = 0;
    for (size_t i = 0; i < data.daily.size(); ++i) {
        const std::string& date = data.daily[i].date;
        if (date.empty()) continue;
        if (date >= today) {
            if (date == today) first = i;
            break;
        }
        first = i + 1;
    }
    return std::span<const DailyForecast>(data.daily).subspan(first);
}

const DailyForecast* dayAhead(const WeatherData& data, int64_t now, int days) {
    return dayOn(data, addDays(placeClock(data).dateOf(now), days));
}

}  // namespace nbr
