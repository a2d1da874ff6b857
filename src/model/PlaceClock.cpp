#include "model/PlaceClock.h"

#include <cstdio>

namespace nbr {

PlaceClock::PlaceClock(OffsetAt offsets) : offsets_(std::move(offsets)), known_(static_cast<bool>(offsets_)) {
    if (!known_) offsets_ = fixedOffset(0);
}

PlaceClock PlaceClock::fixed(int seconds) { return PlaceClock(fixedOffset(seconds)); }

std::string PlaceClock::dateOf(int64_t t) const { return utcDateOf(localSeconds(t)); }

int PlaceClock::minuteOfDay(int64_t t) const {
    const int64_t s = localSeconds(t);
    return static_cast<int>((s % 86400 + 86400) % 86400 / 60);
}

std::string PlaceClock::minuteOf(int64_t t) const {
    const int minute = minuteOfDay(t);
    char clock[16];
    std::snprintf(clock, sizeof clock, "T%02d:%02d", minute / 60, minute % 60);
    return dateOf(t) + clock;
}

int64_t PlaceClock::instantOf(int64_t local) const { return known_ ? unixOfLocal(local, offsets_) : local; }

std::optional<int64_t> PlaceClock::instantOf(const std::string& localTime) const {
    const std::optional<int64_t> local = localSecondsOf(localTime);
    if (!local) return std::nullopt;
    return instantOf(*local);
}

std::optional<int64_t> PlaceClock::localSecondsOf(const std::string& localTime) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (!parseIsoDate(localTime, year, month, day)) return std::nullopt;
    if (localTime.size() > 10) {
        if (localTime[10] != 'T' || std::sscanf(localTime.c_str() + 11, "%2d:%2d", &hour, &minute) != 2 || hour < 0 ||
            hour > 24 || minute < 0 || minute > 59)
            return std::nullopt;
    }
    int64_t local = 0;
    if (!utcSecondsOf(year, month, day, hour, minute, 0, local)) return std::nullopt;
    return local;
}

}  // namespace nbr
