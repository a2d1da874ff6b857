#include "model/ReplyTime.h"

namespace nbr {

std::optional<int64_t> replyInstant(const WeatherData& data, const std::string& time) {
    return RecordClock{data.utcOffsetSeconds, {}}.instantOf(time);
}

std::optional<int64_t> RecordClock::instantOf(const std::string& replyTime) const {
    const std::optional<int64_t> local = PlaceClock::localSecondsOf(replyTime);
    if (!local) return std::nullopt;
    return *local - replyOffset;
}

const DailyForecast* dayOn(const WeatherData& data, const std::string& date) {
    for (const DailyForecast& d : data.daily)
        if (d.date == date) return &d;
    return nullptr;
}

}  // namespace nbr
