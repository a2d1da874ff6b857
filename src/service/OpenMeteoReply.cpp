#include "service/OpenMeteoReply.h"

#include <algorithm>
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

std::vector<int> dayOfEachTime(const json& times, const std::vector<DailyForecast>& days) {
    constexpr size_t kDateLength = 10;
    std::unordered_map<std::string, int> byDate;
    for (size_t i = 0; i < days.size(); ++i)
        if (days[i].date.size() >= kDateLength) byDate[days[i].date.substr(0, kDateLength)] = static_cast<int>(i);

    std::vector<int> out(times.is_array() ? times.size() : 0, -1);
    for (size_t h = 0; h < out.size(); ++h) {
        const json& t = times[h];
        if (!t.is_string()) continue;
        const std::string& text = t.get_ref<const std::string&>();
        if (text.size() < kDateLength) continue;
        auto it = byDate.find(text.substr(0, kDateLength));
        if (it != byDate.end()) out[h] = it->second;
    }
    return out;
}

std::vector<std::optional<DayValues>> dayValues(const json& column, const std::vector<int>& dayOf, size_t days) {
    std::vector<std::optional<DayValues>> out(days);
    if (!column.is_array()) return out;
    std::vector<DayValues> sums(days);
    std::vector<int> hours(days, 0);
    std::vector<bool> gap(days, false);
    for (size_t h = 0; h < dayOf.size(); ++h) {
        if (dayOf[h] < 0 || static_cast<size_t>(dayOf[h]) >= days) continue;
        const size_t d = static_cast<size_t>(dayOf[h]);
        ++hours[d];
        if (h >= column.size() || !column[h].is_number()) {
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
