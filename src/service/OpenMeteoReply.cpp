#include "service/OpenMeteoReply.h"

#include "model/PlaceClock.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

namespace nbr {

using nlohmann::json;

bool readOpenMeteoRoot(const std::string& body, json& root) {
    root = json::parse(body, nullptr, false);
    if (root.is_discarded() || !root.is_object()) return false;
    auto error = root.find("error");
    if (error == root.end()) return true;
    return error->is_boolean() && !error->get<bool>();
}

const json* objectMember(const json& obj, const char* key) {
    auto it = obj.find(key);
    return it != obj.end() && it->is_object() ? &*it : nullptr;
}

std::vector<HourOfDay> dayOfEachTime(const json& times, const std::vector<DailyForecast>& days) {
    // Days and hours are compared as whole days since 1970 on the place's
    // clock, so an hour placed by its neighbours needs no text of its own.
    constexpr int64_t kHour = 3600;
    const auto dayNumber = [](int64_t localSeconds) {
        return std::chrono::floor<std::chrono::days>(std::chrono::seconds{localSeconds}).count();
    };
    std::unordered_map<int64_t, int> byDay;
    for (size_t i = 0; i < days.size(); ++i)
        if (const auto midnight = PlaceClock::localSecondsOf(days[i].date))
            byDay[dayNumber(*midnight)] = static_cast<int>(i);

    const size_t n = times.is_array() ? times.size() : 0;
    std::vector<std::optional<int64_t>> local(n);
    std::optional<size_t> first;  // the first hour whose time reads
    for (size_t h = 0; h < n; ++h) {
        if (times[h].is_string()) local[h] = PlaceClock::localSecondsOf(times[h].get_ref<const std::string&>());
        if (local[h] && !first) first = h;
    }
    std::vector<HourOfDay> out(n);
    if (!first) return out;  // no hour can be placed
    size_t anchor = *first;
    for (size_t h = 0; h < n; ++h) {
        int64_t at = 0;
        if (local[h]) {
            anchor = h;
            at = *local[h];
        } else {
            out[h].timed = false;
            at = *local[anchor] + (static_cast<int64_t>(h) - static_cast<int64_t>(anchor)) * kHour;
        }
        const auto it = byDay.find(dayNumber(at));
        if (it != byDay.end()) out[h].day = it->second;
    }
    return out;
}

std::vector<std::optional<DayValues>> dayValues(const json& column, const std::vector<HourOfDay>& dayOf,
                                                size_t days) {
    std::vector<std::optional<DayValues>> out(days);
    if (!column.is_array()) return out;
    std::vector<DayValues> sums(days);
    std::vector<int> hours(days, 0);
    std::vector<bool> gap(days, false);
    for (size_t h = 0; h < dayOf.size(); ++h) {
        if (dayOf[h].day < 0 || static_cast<size_t>(dayOf[h].day) >= days) continue;
        const size_t d = static_cast<size_t>(dayOf[h].day);
        ++hours[d];
        if (!dayOf[h].timed || h >= column.size() || !column[h].is_number()) {
            gap[d] = true;
            continue;
        }
        const double v = column[h].get<double>();
        sums[d].total += v;
        sums[d].high = std::max(v, sums[d].high);
        sums[d].low = std::min(v, sums[d].low);
    }
    for (size_t d = 0; d < days; ++d)
        if (!gap[d] && hours[d] >= kMinHoursOfDay) out[d] = sums[d];
    return out;
}

}  // namespace nbr
