#include "platform/TimeZones.h"

#include <date/tz.h>

#include <chrono>
#include <exception>
#include <mutex>
#include <string>

namespace nbr::platform {

namespace {

// The library reads the database lazily (the zone list at the first look-up,
// a zone's rules at its first use): one lock keeps the workers' first uses
// apart.
std::mutex databaseMutex;

// Names are looked up among the zones the database lists, never opened as
// paths. The database folder also holds "localtime" (this computer's own
// zone) and "posixrules", which name no place.
const date::time_zone* findZone(const std::string& name) {
    if (name.empty() || name == "localtime" || name == "posixrules") return nullptr;
    // A frame reads its place's clock many times: each thread keeps the zone
    // it found last (zones live as long as the program).
    thread_local std::string lastName;
    thread_local const date::time_zone* lastZone = nullptr;
    if (lastZone && name == lastName) return lastZone;
    std::lock_guard<std::mutex> lock(databaseMutex);
    try {
        lastZone = date::locate_zone(name);
        lastName = name;
        return lastZone;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::optional<int> offsetIn(const date::time_zone& zone, std::int64_t t) {
    std::lock_guard<std::mutex> lock(databaseMutex);
    try {
        const date::sys_info info = zone.get_info(date::sys_seconds{std::chrono::seconds{t}});
        return static_cast<int>(info.offset.count());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

bool isZoneName(const std::string& name) { return findZone(name) != nullptr; }

std::optional<int> zoneOffsetAt(const std::string& name, std::int64_t t) {
    const date::time_zone* zone = findZone(name);
    return zone ? offsetIn(*zone, t) : std::nullopt;
}

std::function<int(std::int64_t)> zoneOffsets(const std::string& name) {
    const date::time_zone* zone = findZone(name);
    if (!zone) return {};
    // The database's zones live as long as the program. An instant outside
    // its reach reads as UTC.
    return [zone](std::int64_t t) { return offsetIn(*zone, t).value_or(0); };
}

}  // namespace nbr::platform
