// The remembered alert keys: which alerts were filed as notifications and
// which the user acknowledged, each until a time, kept in alert_state.json.
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
    const std::string key = alert.deduplicationKey();
    std::lock_guard<std::mutex> lock(mutex);
    auto it = notified.find(key);
    return it != notified.end() && it->second > fromSeconds(nowOr(now));
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

void AlertEngine::renamePlace(const std::string& oldName, const std::string& newName, bool keepOld) {
    if (oldName == newName) return;
    std::lock_guard<std::mutex> lock(mutex);
    bool changed = false;
    for (auto* keys : {&notified, &acked}) {
        std::vector<std::pair<std::string, TimePoint>> renamed;
        for (auto it = keys->begin(); it != keys->end();) {
            std::optional<std::string> to = renamedAlertKey(it->first, oldName, newName);
            if (!to) {
                ++it;
                continue;
            }
            renamed.emplace_back(std::move(*to), it->second);
            it = keepOld ? std::next(it) : keys->erase(it);
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

void AlertEngine::forgetPlace(const std::string& name, const std::set<std::string>& keep) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto ofPlace = [&](const auto& e) { return !keep.count(e.first) && isPlaceAlertKey(e.first, name); };
    if (std::erase_if(notified, ofPlace) + std::erase_if(acked, ofPlace) == 0) return;
    saveLocked();
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
