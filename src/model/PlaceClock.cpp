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

namespace {

// The digits of `t` from `at` on as a number; -1 unless all `n` are digits.
int digits(const std::string& t, size_t at, size_t n) {
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (t[i] < '0' || t[i] > '9') return -1;
        v = v * 10 + (t[i] - '0');
    }
    return v;
}

}  // namespace

std::optional<int64_t> PlaceClock::localSecondsOf(const std::string& t) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    // The forecast service's own "YYYY-MM-DDTHH:MM" is read without the
    // scanner (every frame reads a few); any other form with it.
    const bool own = t.size() == 16 && t[4] == '-' && t[7] == '-' && t[10] == 'T' && t[13] == ':' &&
                     (year = digits(t, 0, 4)) >= 0 && (month = digits(t, 5, 2)) >= 0 &&
                     (day = digits(t, 8, 2)) >= 0 && (hour = digits(t, 11, 2)) >= 0 &&
                     (minute = digits(t, 14, 2)) >= 0;
    if (!own) {
        hour = minute = 0;
        if (!parseIsoDate(t, year, month, day)) return std::nullopt;
        if (t.size() > 10 && (t[10] != 'T' || std::sscanf(t.c_str() + 11, "%2d:%2d", &hour, &minute) != 2))
            return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 24 || minute < 0 || minute > 59)
        return std::nullopt;
    int64_t local = 0;
    if (!utcSecondsOf(year, month, day, hour, minute, 0, local)) return std::nullopt;
    return local;
}

}  // namespace nbr
