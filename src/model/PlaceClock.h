// A place's clock: how far it is ahead of UTC at each instant. Every reading
// of a place's local time (its date, its hour, the instant a local time names)
// goes through one of these.
#pragma once

#include "model/Dates.h"

#include <cstdint>
#include <optional>
#include <string>

namespace nbr {

class PlaceClock {
public:
    // Not known: reads as UTC.
    PlaceClock() = default;
    // A zone's offsets, which change with daylight saving.
    explicit PlaceClock(OffsetAt offsets);
    // One offset at every instant: what a forecast reported for a place whose
    // zone is not known.
    static PlaceClock fixed(int seconds);

    bool known() const { return known_; }
    int offsetAt(int64_t t) const { return known_ ? offsets_(t) : 0; }
    // Seconds since 1970-01-01 00:00 as the clock reads at `t`.
    int64_t localSeconds(int64_t t) const { return t + offsetAt(t); }
    // Minutes since the place's midnight at `t`, 0..1439.
    int minuteOfDay(int64_t t) const;
    // "YYYY-MM-DD" of the place's day that holds `t`.
    std::string dateOf(int64_t t) const;
    // "YYYY-MM-DDTHH:MM", as the forecast service writes local times.
    std::string minuteOf(int64_t t) const;
    // The instant at which the clock reads `localSeconds`: a reading it shows
    // twice (the hour a change back repeats) is taken the first time; one it
    // skips is read with the offset from before the change.
    int64_t instantOf(int64_t localSeconds) const;
    // The same for a local "YYYY-MM-DDTHH:MM" (a bare date is its midnight);
    // none when the text is no such time.
    std::optional<int64_t> instantOf(const std::string& localTime) const;
    // Seconds since 1970-01-01 00:00 that a local "YYYY-MM-DDTHH:MM" (or a
    // bare date) reads on any clock; none when the text is no such time.
    static std::optional<int64_t> localSecondsOf(const std::string& localTime);
    // The offsets as a function, for computations that take one.
    const OffsetAt& offsets() const { return offsets_; }

private:
    OffsetAt offsets_ = fixedOffset(0);
    bool known_ = false;
};

}  // namespace nbr
