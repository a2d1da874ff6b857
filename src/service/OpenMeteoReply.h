// Reading shared by the Open-Meteo enrichment replies (model series,
// ensemble, previous runs, seasonal outlook): the checked root object and
// the mapping of local time texts onto the record's days.
#pragma once

#include "model/WeatherTypes.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace nbr {

// Parses a reply without exceptions into `root`. False when the body does not
// parse, the root is not an object, or its "error" member is true or not a
// boolean.
bool readOpenMeteoRoot(const std::string& body, nlohmann::json& root);

// The member `key` of `obj` when it is an object; null otherwise.
const nlohmann::json* objectMember(const nlohmann::json& obj, const char* key);

// Where one hour of a reply's time list falls among the record's days.
struct HourOfDay {
    int day = -1;       // index of the record day it falls on; -1 for none
    bool timed = true;  // false: its time is no time text, so its values are unknown
};

// For each entry of `times` (local "YYYY-MM-DDTHH:MM" texts): the record day
// whose date it falls on (among days with the same date the later one
// counts). The times of one reply are one hour apart, so an entry that is no
// time (null, or a text that does not read) still has its place: it falls
// that many hours from the nearest readable time before it (after it, ahead
// of the first), an unknown hour of its day.
std::vector<HourOfDay> dayOfEachTime(const nlohmann::json& times, const std::vector<DailyForecast>& days);

// A record day the time list holds fewer hours of is one the reply only
// begins or ends within: no day of its columns is known there.
inline constexpr int kMinHoursOfDay = 20;

// One hourly column's values over one record day.
struct DayValues {
    double total = 0;
    double high = -std::numeric_limits<double>::infinity();
    double low = std::numeric_limits<double>::infinity();
};

// Per record day (`days` of them, placed by dayOfEachTime's `dayOf`), the
// total and extremes of the hourly `column`. A day is known only when every
// hour the time list places on it has a time and a number (an hour without
// its time, or that is null, of another type or past the column's end makes
// the day unknown, never 0) and the time list holds at least kMinHoursOfDay
// of its hours; a column that is no list knows no day.
std::vector<std::optional<DayValues>> dayValues(const nlohmann::json& column, const std::vector<HourOfDay>& dayOf,
                                                size_t days);

}  // namespace nbr
