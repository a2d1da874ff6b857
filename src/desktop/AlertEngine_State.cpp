// The remembered alert keys: which alerts were filed as notifications and
// which the user acknowledged, each until a time, kept in alert_state.json
// as {"acked": {key: until}, "notified": {key: until}}. A key names its
// place by the place's key. One of an older file names the place's name
// alone; such a file may also hold "places", {key: [spot, ...]}, the spots
// each key was filed or acknowledged for. Reading turns such a key into the
// keys of those places and writes the file back at once, without "places".
#include "desktop/AlertEngine.h"

#include "model/Dates.h"
#include "model/Numbers.h"
#include "platform/Files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <sstream>
#include <string_view>

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

// Adds keys with their times, keeping the later time of a key remembered
// already.
void addKeys(std::unordered_map<std::string, TimePoint>& keys,
             const std::vector<std::pair<std::string, TimePoint>>& added) {
    for (const auto& [key, until] : added) {
        TimePoint& slot = keys[key];
        slot = std::max(slot, until);
    }
}

// Whether `text` is a spot as a place's key writes it ("42.1000,-72.5900").
bool isSpot(std::string_view text) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    GeoLocation place;
    const char* end = text.data() + text.size();
    const auto lat = std::from_chars(text.data(), text.data() + comma, place.latitude);
    const auto lon = std::from_chars(text.data() + comma + 1, end, place.longitude);
    return lat.ec == std::errc{} && lat.ptr == text.data() + comma && lon.ec == std::errc{} && lon.ptr == end &&
           place.spot() == text;
}

// Whether a key's place is a place's key (its name, "@" and its spot), not
// a name alone.
bool isPlaceKey(const std::string& place) {
    const size_t at = place.rfind('@');
    return at != std::string::npos && isSpot(std::string_view(place).substr(at + 1));
}

// The place keys (name "@" spot) an older file's key of the place `name`
// alone was held for: the spots the file lists for it, else those of the
// saved places of that name.
std::vector<std::string> placeKeysOf(const std::string& key, const std::string& name, const json& places,
                                     std::span<const SavedLocation> saved) {
    std::vector<std::string> keys;
    if (const auto spots = places.find(key); spots != places.end() && spots->is_array())
        for (const json& spot : *spots)
            if (spot.is_string() && isSpot(spot.get_ref<const std::string&>()))
                keys.push_back(name + "@" + spot.get<std::string>());
    if (keys.empty())
        for (const SavedLocation& p : saved)
            if (p.name == name) keys.push_back(p.cacheKey());
    return keys;
}

// Each key of a place's name alone becomes the keys of its places, with its
// time. Returns whether there was such a key.
bool placeNameKeys(std::unordered_map<std::string, TimePoint>& keys, const json& places,
                   std::span<const SavedLocation> saved) {
    bool turned = false;
    std::vector<std::pair<std::string, TimePoint>> placed;
    for (auto it = keys.begin(); it != keys.end();) {
        const std::optional<std::string> place = alertKeyPlace(it->first);
        if (!place || isPlaceKey(*place)) {
            ++it;
            continue;
        }
        for (const std::string& placeKey : placeKeysOf(it->first, *place, places, saved))
            placed.emplace_back(*renamedAlertKey(it->first, *place, placeKey), it->second);
        it = keys.erase(it);
        turned = true;
    }
    addKeys(keys, placed);
    return turned;
}

}  // namespace

void AlertEngine::setStatePath(const std::string& path, std::span<const SavedLocation> saved) {
    std::lock_guard<std::mutex> lock(mutex);
    statePath = path;
    notified.clear();
    acked.clear();
    const std::optional<std::string> text = platform::readFile(path);
    if (!text) return;
    bool turned = false;
    try {
        // Only the first value counts; whatever follows it is not looked at.
        std::istringstream in(*text);
        json root;
        in >> root;
        if (root.is_object()) {
            readMap(root, "notified", notified);
            readMap(root, "acked", acked);
            static const json none = json::object();
            const auto places = root.find("places");
            const json& spots = places != root.end() && places->is_object() ? *places : none;
            turned = placeNameKeys(notified, spots, saved);
            turned = placeNameKeys(acked, spots, saved) || turned;
        }
    } catch (const std::exception&) {
        notified.clear();
        acked.clear();
        turned = false;  // a file that does not read is left as it is
    }
    pruneLocked(nowOr(0));
    // The turned keys are written at once: until then the file still holds
    // the name alone, which the next start would give to a place of that
    // name saved in between.
    if (turned) saveLocked();
}

bool AlertEngine::alreadyNotified(const WeatherAlert& alert, int64_t now) const {
    const TimePoint t = fromSeconds(nowOr(now));
    std::lock_guard<std::mutex> lock(mutex);
    auto it = notified.find(alert.deduplicationKey());
    return it != notified.end() && it->second > t;
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

void AlertEngine::renamePlace(const GeoLocation& before, const GeoLocation& after, bool keyShared) {
    const std::string from = before.cacheKey(), to = after.cacheKey();
    if (from == to) return;
    std::lock_guard<std::mutex> lock(mutex);
    bool changed = false;
    for (auto* keys : {&notified, &acked}) {
        std::vector<std::pair<std::string, TimePoint>> renamed;
        for (auto it = keys->begin(); it != keys->end();) {
            std::optional<std::string> moved = renamedAlertKey(it->first, from, to);
            if (!moved) {
                ++it;
                continue;
            }
            renamed.emplace_back(std::move(*moved), it->second);
            it = keyShared ? std::next(it) : keys->erase(it);
        }
        addKeys(*keys, renamed);
        changed = changed || !renamed.empty();
    }
    if (!changed) return;
    pruneLocked(nowOr(0));
    saveLocked();
}

std::set<std::string> AlertEngine::forgetPlace(const GeoLocation& place) {
    const std::string own = place.cacheKey();
    const auto gone = [&](const std::string& key) { return isPlaceAlertKey(key, own); };
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
