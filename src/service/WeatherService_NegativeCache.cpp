// The negative cache: per place, the sources that proved to have nothing there
// (no sea, no river, no station near enough), kept in enrich_flags.json so a
// restart does not ask them again. Flags are only ever added.
#include "service/WeatherService.h"

#include "platform/Files.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace nbr {

using nlohmann::json;

std::unordered_map<std::string, int> WeatherService::parseNegFlags(const std::string& text) {
    std::unordered_map<std::string, int> flags;
    // One JSON value; whatever follows it is not looked at.
    std::istringstream in(text);
    json root;
    try {
        in >> root;
    } catch (const json::exception&) {
        return flags;
    }
    if (!root.is_object()) return flags;
    for (const auto& [key, value] : root.items()) {
        if (value.is_number_unsigned()) flags[key] = static_cast<int>(value.get<uint64_t>());
        else if (value.is_number_integer()) flags[key] = static_cast<int>(value.get<int64_t>());
    }
    return flags;
}

std::string WeatherService::formatNegFlags(const std::unordered_map<std::string, int>& flags) {
    json root = json::object();  // members in ascending key order
    for (const auto& [key, mask] : flags) root[key] = mask;
    // Keys come from place names typed or found outside: invalid UTF-8 is
    // written as U+FFFD rather than losing the whole file.
    return root.dump(-1, ' ', false, json::error_handler_t::replace);
}

void WeatherService::negLoadLocked() {
    if (negLoaded) return;
    negLoaded = true;  // a failed read is not repeated in this run
    if (negPath.empty()) return;
    const auto text = platform::readFile(negPath);
    if (!text) return;
    negFlags = parseNegFlags(*text);
}

bool WeatherService::negHas(const std::string& key, int bit) {
    std::lock_guard<std::mutex> lock(negMutex);
    negLoadLocked();
    const auto it = negFlags.find(key);
    return it != negFlags.end() && (it->second & bit) != 0;
}

void WeatherService::negSet(const std::string& key, int bit) {
    std::lock_guard<std::mutex> lock(negMutex);
    negLoadLocked();
    int& mask = negFlags[key];
    if ((mask & bit) == bit) return;
    mask |= bit;
    if (negPath.empty()) return;
    (void)platform::writeFileAtomic(negPath, formatNegFlags(negFlags));
}

void WeatherService::negRename(const std::string& oldKey, const std::string& newKey, bool keepOld) {
    std::lock_guard<std::mutex> lock(negMutex);
    negLoadLocked();
    const auto it = negFlags.find(oldKey);
    if (it == negFlags.end() || oldKey == newKey) return;
    const int mask = it->second;
    if (!keepOld) negFlags.erase(it);
    negFlags[newKey] |= mask;
    if (!negPath.empty()) (void)platform::writeFileAtomic(negPath, formatNegFlags(negFlags));
}

}  // namespace nbr
