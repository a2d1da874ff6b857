// Offsets of named time zones ("Europe/Oslo"), from the system's zone
// database, so that a place's clock follows its daylight-saving changes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace nbr::platform {

// Whether `name` is a zone of the system's database ("Europe/Oslo", "UTC");
// "localtime", "posixrules" and paths are not.
bool isZoneName(const std::string& name);

// Seconds the zone `name` is ahead of UTC at the Unix time `t`; nothing when
// the name is empty or not a zone of the system's database. Safe on any
// thread.
std::optional<int> zoneOffsetAt(const std::string& name, std::int64_t t);

// The same as a function of the Unix time, the zone looked up once; an empty
// function when the name is not a zone of the database.
std::function<int(std::int64_t)> zoneOffsets(const std::string& name);

}  // namespace nbr::platform
