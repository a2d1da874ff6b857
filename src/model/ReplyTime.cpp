#include "model/ReplyTime.h"

#include "model/Dates.h"

#include <algorithm>

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

std::span<const HourlyForecast> hoursFrom(const WeatherData& data, int64_t now, size_t count) {
    // The hours are in time order: the first one still running at `now`. A
    // time that does not read (a null in the reply) is passed over, never
    // taken for a past or a coming hour, so the search is a linear one.
    const auto& hours = data.hourly;
    const auto first = std::find_if(hours.begin(), hours.end(), [&](const HourlyForecast& h) {
        const std::optional<int64_t> start = replyInstant(data, h.time);
        return start && *start + 3600 > now;
    });
    const size_t from = static_cast<size_t>(first - hours.begin());
    return std::span<const HourlyForecast>(hours).subspan(from, std::min(count, hours.size() - from));
}

std::span<const HourlyForecast> hoursWithin(const WeatherData& data, int64_t now, int hours) {
    // The hour holding now starts after now - 1 h, so the last of `hours`
    // starts no later than now + (hours - 1) h.
    const std::span<const HourlyForecast> from = hoursFrom(data, now, data.hourly.size());
    const int64_t lastStart = now + int64_t{hours - 1} * 3600;
    const auto past = std::find_if(from.begin(), from.end(), [&](const HourlyForecast& h) {
        const std::optional<int64_t> start = replyInstant(data, h.time);
        return !start || *start > lastStart;
    });
    return from.first(static_cast<size_t>(past - from.begin()));
}

std::span<const HourlyForecast> hoursLeftIn(const WeatherData& data, const PlaceClock& place, const std::string& date,
                                            int64_t now) {
    const std::span<const HourlyForecast> from = hoursFrom(data, now, data.hourly.size());
    const std::optional<int64_t> end = place.instantOf(addDays(date, 1));
    if (!end) return {};
    const auto past = std::find_if(from.begin(), from.end(), [&](const HourlyForecast& h) {
        const std::optional<int64_t> start = replyInstant(data, h.time);
        return !start || *start >= *end;
    });
    return from.first(static_cast<size_t>(past - from.begin()));
}

int64_t fetchedSecond(std::chrono::system_clock::time_point fetchedAt) {
    return std::max<int64_t>(0, std::chrono::ceil<std::chrono::seconds>(fetchedAt.time_since_epoch()).count());
}

int64_t conditionsSecond(const WeatherData& data) {
    const int64_t fetched = fetchedSecond(data.fetchedAt);
    if (fetched == 0) return 0;
    return replyInstant(data, data.time).value_or(fetched);
}

int64_t conditionsAsOfFrom(const WeatherData& data) {
    const int64_t at = conditionsSecond(data);
    return at != 0 ? at + 3601 : 0;
}

bool conditionsOld(const WeatherData& data, int64_t now) {
    const int64_t from = conditionsAsOfFrom(data);
    return from != 0 && now >= from;
}

const DailyForecast* dayOn(const WeatherData& data, const std::string& date) {
    for (const DailyForecast& d : data.daily)
        if (d.date == date) return &d;
    return nullptr;
}

}  // namespace nbr
