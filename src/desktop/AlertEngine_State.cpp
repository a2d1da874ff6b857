// The remembered alert keys: which alerts were filed as notifications and
// which the user acknowledged, each until a time, kept in alert_state.json.
// Beside them the file tells which spots each key was filed or acknowledged
// for ("places"): a key goes by its place's name only, so two places of one
// name share it, and forgetting one of them must leave the other's. A key
// without spots (a file written before they were kept) belongs to no place in
// particular.
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

// The spot of a place key (name "@" spot): what follows the last "@".
std::string spotOf(const std::string& placeKey) {
    const size_t at = placeKey.rfind('@');
    return at == std::string::npos ? placeKey : placeKey.substr(at + 1);
}

}  // namespace

void AlertEngine::ownLocked(const std::string& key, const std::string& placeKey) {
    if (!placeKey.empty()) owners[key].insert(spotOf(placeKey));
}

void AlertEngine::setStatePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    statePath = path;
    notified.clear();
    acked.clear();
    owners.clear();
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
            if (auto places = root.find("places"); places != root.end() && places->is_object())
                for (const auto& [key, spots] : places->items())
                    if (spots.is_array())
                        for (const json& spot : spots)
                            if (spot.is_string()) owners[key].insert(spot.get<std::string>());
        }
    } catch (const std::exception&) {
        notified.clear();
        acked.clear();
        owners.clear();
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
    ownLocked(key, alert.placeKey);
    pruneLocked(now);
    saveLocked();
}

void AlertEngine::holdFor(const WeatherAlert& alert) {
    if (alert.placeKey.empty()) return;
    const std::string key = alert.deduplicationKey();
    std::lock_guard<std::mutex> lock(mutex);
    if (!notified.count(key) && !acked.count(key)) return;
    if (owners[key].insert(spotOf(alert.placeKey)).second) saveLocked();
}

void AlertEngine::acknowledge(const std::string& key, TimePoint until, int64_t now, const std::string& placeKey) {
    now = nowOr(now);
    std::lock_guard<std::mutex> lock(mutex);
    acked[key] = until == TimePoint{} ? fromSeconds(now + 86400) : until;
    ownLocked(key, placeKey);
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
    // The spots a key is held for stand where they stood: the new key is
    // held for them too.
    std::vector<std::pair<std::string, std::set<std::string>>> moved;
    for (const auto& [key, spots] : owners)
        if (std::optional<std::string> to = renamedAlertKey(key, oldName, newName)) moved.emplace_back(*to, spots);
    for (auto& [key, spots] : moved) owners[key].insert(spots.begin(), spots.end());
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

std::set<std::string> AlertEngine::forgetPlace(const GeoLocation& place, bool nameShared,
                                              const std::set<std::string>& keep) {
    std::lock_guard<std::mutex> lock(mutex);
    const std::string spot = place.spot();
    std::set<std::string> forgotten;
    bool changed = false;
    for (const auto* keys : {&notified, &acked}) {
        for (const auto& [key, until] : *keys) {
            if (keep.count(key) || !isPlaceAlertKey(key, place.name)) continue;
            auto own = owners.find(key);
            // A key of this spot goes once no other spot holds it; a key of
            // no known spot stays while another place of the name is saved.
            const bool ofOthers = own == owners.end() ? nameShared
                                                      : std::any_of(own->second.begin(), own->second.end(),
                                                                    [&](const std::string& s) { return s != spot; });
            if (!ofOthers) forgotten.insert(key);
            else if (own != owners.end()) changed = own->second.erase(spot) > 0 || changed;
        }
    }
    if (forgotten.empty() && !changed) return forgotten;
    const auto gone = [&](const auto& e) { return forgotten.count(e.first) > 0; };
    std::erase_if(notified, gone);
    std::erase_if(acked, gone);
    std::erase_if(owners, gone);
    saveLocked();
    return forgotten;
}

void AlertEngine::pruneLocked(int64_t now) {
    const TimePoint t = fromSeconds(now);
    std::erase_if(notified, [t](const auto& e) { return e.second <= t; });
    std::erase_if(acked, [t](const auto& e) { return e.second <= t; });
    std::erase_if(owners, [this](const auto& e) { return !notified.count(e.first) && !acked.count(e.first); });
}

void AlertEngine::saveLocked() const {
    if (statePath.empty()) return;
    json doc = {{"acked", json::object()}, {"notified", json::object()}};
    for (const auto& [key, until] : acked) doc["acked"][key] = toSeconds(until);
    for (const auto& [key, until] : notified) doc["notified"][key] = toSeconds(until);
    // Written only when some key is held for a spot: a file of keys alone
    // stays as it was.
    for (const auto& [key, spots] : owners)
        if (!spots.empty()) doc["places"][key] = spots;
    // Through a temporary file and a rename: a crash mid-write never leaves
    // a torn file that would forget every acknowledgement.
    platform::writeFileAtomic(statePath, doc.dump(-1, ' ', false, json::error_handler_t::replace));
}

}  // namespace nbr
