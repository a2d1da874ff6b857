// Plain-language verdicts for the dashboard: activity scores for today and
// the one-line daily takeaway, with a day-stable choice among phrasings.
#pragma once

#include "model/PlaceClock.h"
#include "model/WeatherTypes.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace nbr {

struct DayScore {
    int score = -1;            // 0..10; -1 without daily data
    const char* label = "--";  // "great" (above 7), "decent", "poor" (below 5); "--" without data
    std::string reason;        // short reason; empty without data
};

struct DayScores {
    DayScore stargazing;
    DayScore laundry;
    DayScore running;
};

// `today`: the daily entry of the place's date (callers take it from the
// place's clock), null when the record holds none; then every score is "--".
// An activity with any of its inputs not known is "--" too: stargazing needs
// tonight's cloud cover and the day's chance of rain; laundry the chances of
// rain of the 12 hours from `now`, the humidity and the wind; running the
// feels-like temperature, the humidity, the gusts and the day's chance of
// rain (the air block is an extra: without it there is no penalty). `now` (Unix seconds) is the present the
// hours are counted from and the moon's illumination is taken at; the hours of
// the day (tonight's) are those of `place`'s clock.
DayScores computeDayScores(const WeatherData& data, const DailyForecast* today, const PlaceClock& place,
                           int64_t now);

// One of `phrases`, chosen by the first 10 bytes of `key` (callers pass the
// current time text, so the choice holds for a day) and by `seed` (one per
// list, so lists do not move in step). "" for an empty list.
const char* phraseVariant(const std::string& key, int seed, std::initializer_list<const char*> phrases);

// One sentence summing up the day. `today`: the entry of the place's date in
// `data.daily`, null when there is none (no phrase about the day then); `now`
// (Unix seconds) is the present the rain nowcast and the hour of the day
// (on `place`'s clock) count from; the chance of rain "later" is that of the
// hours left in the place's day on that clock, and names rain or snow only by
// a known day code. What it tells of the present (the condition, gusts, smoke,
// a dry present) is of the reply's current conditions, or once they are old
// (conditionsOld) of the hour holding now, and left out where that hour does
// not tell it. `imperial`: temperatures shown in Fahrenheit, which scales the
// warmer/cooler threshold to display degrees. Empty (nothing told) when
// neither the nowcast nor the record's days and hours reach now, and where
// the last phrase would name a condition the code has no text for.
std::string dailyTakeaway(const WeatherData& data, const DailyForecast* today, const PlaceClock& place, int64_t now,
                          bool imperial);

}  // namespace nbr
