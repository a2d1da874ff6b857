#include "service/OpenMeteoReply.h"

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

}  // namespace nbr
