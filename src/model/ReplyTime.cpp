#include "model/ReplyTime.h"

#include "model/PlaceClock.h"

namespace nbr {

std::optional<int64_t> replyInstant(const WeatherData& data, const std::string& time) {
    const std::optional<int64_t> local = PlaceClock::localSecondsOf(time);
    if (!local) return std::nullopt;
    return *local - data.utcOffsetSeconds;
}

const DailyForecast* dayOn(const WeatherData& data, const std::string& date) {
    for (const DailyForecast& d : data.daily)
        if (d.date == date) return &d;
    return nullptr;
}

}  // namespace nbr
