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

// For each entry of `times` (local "YYYY-MM-DDTHH:MM" texts): the index of
// the record day whose date it falls on, compared by their first ten
// characters; -1 for an entry on no record day or that is not such a text.
// Among days with the same date the later one counts.
std::vector<int> dayOfEachTime(const nlohmann::json& times, const std::vector<DailyForecast>& days);

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
// hour the time list places on it has a number (an hour that is null, of
// another type or past the column's end makes the day unknown, never 0) and
// the time list holds at least kMinHoursOfDay of its hours; a column that is
// no list knows no day.
std::vector<std::optional<DayValues>> dayValues(const nlohmann::json& column, const std::vector<int>& dayOf,
                                                size_t days);

}  // namespace nbr
