#include "platform/TimeZones.h"

#include <date/tz.h>

#include <chrono>
#include <exception>

namespace nbr::platform {

std::optional<int> zoneOffsetAt(const std::string& name, std::int64_t t) {
    if (name.empty()) return std::nullopt;
    try {
        // Names are looked up among the zones the database lists, never
        // opened as paths.
        const date::time_zone* zone = date::locate_zone(name);
        const date::sys_info info = zone->get_info(date::sys_seconds{std::chrono::seconds{t}});
        return static_cast<int>(info.offset.count());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace nbr::platform
