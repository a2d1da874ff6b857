#include "model/ReplyTime.h"

namespace nbr {

namespace {

std::optional<int64_t> writtenAt(int offset, const std::string& time) {
    const std::optional<int64_t> local = PlaceClock::localSecondsOf(time);
    if (!local) return std::nullopt;
    return *local - offset;
}

}  // namespace

std::optional<int64_t> replyInstant(const WeatherData& data, const std::string& time) {
    return writtenAt(data.utcOffsetSeconds, time);
}

std::optional<int64_t> RecordClock::instantOf(const std::string& replyTime) const {
    return writtenAt(replyOffset, replyTime);
}

const DailyForecast* dayOn(const WeatherData& data, const std::string& date) {
    for (const DailyForecast& d : data.daily)
        if (d.date == date) return &d;
    return nullptr;
}

}  // namespace nbr
