// The sun's days at a place as its forecast tells them, and the one
// sunrise-to-sunset span that holds at an instant. The night picture, the
// sun's arc and its countdown all read `sunAt`, so they cannot disagree.
//
// The forecast service writes a day of midnight sun as sunrise at the day's
// 00:00 and sunset at the next day's 00:00 (86,400 s of daylight), and a day
// of polar night as sunrise = sunset = the day's 00:00 (0 s): neither holds a
// real sunrise or sunset.
#pragma once

#include "model/PlaceClock.h"
#include "model/WeatherTypes.h"

#include <cstdint>
#include <string>

namespace nbr {

struct SunDay {
    enum Kind { Unknown, Normal, MidnightSun, PolarNight };
    Kind kind = Unknown;
    // Normal: the sunrise and sunset (which may fall after midnight).
    // Midnight sun: the day's start and end. Instants, Unix seconds.
    int64_t rise = 0, set = 0;
};

// A day of the record from its sunrise and sunset texts (read at the reply's
// offset), or from its daylight length alone when the texts hold no times.
// `replyOffset` is the offset the reply wrote its times at.
SunDay sunDayOf(int replyOffset, const std::string& sunrise, const std::string& sunset, double daylight);
SunDay sunDayOf(int replyOffset, const DailyForecast& day);

struct SunNow {
    enum Kind { Unknown, Day, Night, MidnightSun, PolarNight };
    Kind kind = Unknown;
    // The sunrise-to-sunset span that holds now by day (yesterday's while its
    // sunset, after midnight, is still to come; tomorrow's once its sunrise,
    // before midnight, has passed), else the place's today's; none on a day
    // without sunrise or sunset.
    bool hasSpan = false;
    int64_t rise = 0, set = 0;
    // By day the span's sunset; by night the next sunrise the record holds
    // (today's or a later day's, never one past; the start of a coming day of
    // midnight sun); none when none is held before a polar night, or the
    // record ends first (0 then).
    int64_t next = 0;
    bool hasNext = false;
    // By night: a day of polar night lies before the next sunrise (or is today).
    bool polarAhead = false;

    bool sunUp() const { return kind == Day || kind == MidnightSun; }
};

// Unknown when the record holds no day of the place's date at `now` (on the
// place's clock) or none with usable times.
SunNow sunAt(const WeatherData& data, const PlaceClock& place, int64_t now);

}  // namespace nbr
