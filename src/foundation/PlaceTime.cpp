#include "foundation/PlaceTime.h"

#include "platform/TimeZones.h"

namespace nbr {

PlaceClock placeClock(const GeoLocation& place) { return PlaceClock(platform::zoneOffsets(place.timezone)); }

PlaceClock placeClock(const WeatherData& data) {
    PlaceClock zone = placeClock(data.location);
    if (zone.known()) return zone;
    const bool reported = data.utcOffsetSeconds != 0 || data.fetchedAt.time_since_epoch().count() >= 1;
    return reported ? PlaceClock::fixed(data.utcOffsetSeconds) : PlaceClock();
}

RecordClock recordClock(const WeatherData& data) { return {data.utcOffsetSeconds, placeClock(data)}; }

const DailyForecast* todayOf(const WeatherData& data, int64_t now) {
    return dayOn(data, placeClock(data).dateOf(now));
}

}  // namespace nbr
