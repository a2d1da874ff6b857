// The remembered alert keys: which alerts were filed as notifications and
// which the user acknowledged, each until a time, kept in alert_state.json
// as {"acked": {key: until}, "notified": {key: until}}. A key names its
// place by the place's key; one of an older file names the place's name
// alone and is read as one for every place of that name. (Older files may
// also hold "places", the spots a name's key was held for; it is not needed
// now that keys tell places apart, and is left out when the file is saved.)
#include "desktop/AlertEngine.h"

#include "model/Dates.h"
#include "model/Numbers.h"
#include "platform/Files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

namespace nbr {

using nlohmann::json;

namespace {

using TimePoint = AlertEngine::TimePoint;

int64_t nowOr(int64_t now) {
    return now != 0 ? now
                    : std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
}

TimePoint fromSeconds(int64_t s) { return TimePoint(std::chrono::seconds(s)); }

int64_t toSeconds(TimePoint t) { return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count(); }

// A time a time point cannot hold is skipped with the rest of the entry.
void readMap(const json& root, const char* name, std::unordered_map<std::string, TimePoint>& into) {
    auto it = root.find(name);
    if (it == root.end() || !it->is_object()) return;
    for (const auto& [key, value] : it->items()) {
        if (!value.is_number()) continue;
        const std::optional<int64_t> seconds = truncatedTo<int64_t>(value.get<double>());
        if (const auto until = seconds ? timePointOf(*seconds) : std::nullopt) into[key] = *until;
    }
}

}  // namespace

void AlertEngine::setStatePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    statePath = path;
    notified.clear();
    acked.clear();
    const std::optional<std::string> text = platform::readFile(path);
    if (!text) return;
    try {
        // Only the first value counts; whatever follows it is not looked at.
        std::istringstream in(*text);
        json root;
        in >> root;
        if (root.is_object()) {
            readMap(root, "notified", notified);
            readMap(root, "acked", acked);
        }
    } catch (const std::exception&) {
        notified.clear();
        acked.clear();
    }
    pruneLocked(nowOr(0));
}

bool AlertEngine::alreadyNotified(const WeatherAlert& alert, int64_t now) const {
    const TimePoint t = fromSeconds(nowOr(now));
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& key : {alert.deduplicationKey(), alert.nameKey()})
        if (auto it = notified.find(key); it != notified.end() && it->second > t) return true;
    return false;
}

void AlertEngine::markNotified(const WeatherAlert& alert, int64_t now) {
    now = nowOr(now);
    const std::string key = alert.deduplicationKey();
    std::lock_guard<std::mutex> lock(mutex);
    notified[key] = alert.expires == TimePoint{} ? fromSeconds(now + 86400) : alert.expires;
    pruneLocked(now);
    saveLocked();
}

void AlertEngine::acknowledge(const std::string& key, TimePoint until, int64_t now) {
    now = nowOr(now);
    std::lock_guard<std::mutex> lock(mutex);
    acked[key] = until == TimePoint{} ? fromSeconds(now + 86400) : until;
    pruneLocked(now);
    saveLocked();
}

std::vector<std::string> AlertEngine::acknowledgedKeys(int64_t now) const {
    const TimePoint t = fromSeconds(nowOr(now));
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> keys;
    for (const auto& [key, until] : acked)
        if (until > t) keys.push_back(key);
    return keys;
}

void AlertEngine::renamePlace(const GeoLocation& before, const GeoLocation& after, bool keyShared,
                              bool nameShared) {
    const std::string from = before.cacheKey(), to = after.cacheKey();
    if (from == to) return;
    std::lock_guard<std::mutex> lock(mutex);
    bool changed = false;
    for (auto* keys : {&notified, &acked}) {
        std::vector<std::pair<std::string, TimePoint>> renamed;
        for (auto it = keys->begin(); it != keys->end();) {
            // The place's own key, else one of its name alone.
            std::optional<std::string> moved = renamedAlertKey(it->first, from, to);
            const bool own = moved.has_value();
            if (!own) moved = renamedAlertKey(it->first, before.name, to);
            if (!moved) {
                ++it;
                continue;
            }
            renamed.emplace_back(std::move(*moved), it->second);
            it = (own ? keyShared : nameShared) ? std::next(it) : keys->erase(it);
        }
        for (auto& [key, until] : renamed) {
            TimePoint& slot = (*keys)[key];
            slot = std::max(slot, until);
        }
        changed = changed || !renamed.empty();
    }
    if (!changed) return;
    pruneLocked(nowOr(0));
    saveLocked();
}

std::set<std::string> AlertEngine::forgetPlace(const GeoLocation& place, bool nameShared) {
    const std::string own = place.cacheKey();
    const auto gone = [&](const std::string& key) {
        return isPlaceAlertKey(key, own) || (!nameShared && isPlaceAlertKey(key, place.name));
    };
    std::lock_guard<std::mutex> lock(mutex);
    std::set<std::string> forgotten;
    for (const auto* keys : {&notified, &acked})
        for (const auto& [key, until] : *keys)
            if (gone(key)) forgotten.insert(key);
    if (forgotten.empty()) return forgotten;
    const auto listed = [&](const auto& e) { return forgotten.count(e.first) > 0; };
    std::erase_if(notified, listed);
    std::erase_if(acked, listed);
    saveLocked();
    return forgotten;
}

void AlertEngine::pruneLocked(int64_t now) {
    const TimePoint t = fromSeconds(now);
    std::erase_if(notified, [t](const auto& e) { return e.second <= t; });
    std::erase_if(acked, [t](const auto& e) { return e.second <= t; });
}

void AlertEngine::saveLocked() const {
    if (statePath.empty()) return;
    json doc = {{"acked", json::object()}, {"notified", json::object()}};
    for (const auto& [key, until] : acked) doc["acked"][key] = toSeconds(until);
    for (const auto& [key, until] : notified) doc["notified"][key] = toSeconds(until);
    // Through a temporary file and a rename: a crash mid-write never leaves
    // a torn file that would forget every acknowledgement.
    platform::writeFileAtomic(statePath, doc.dump(-1, ' ', false, json::error_handler_t::replace));
}

}  // namespace nbr
