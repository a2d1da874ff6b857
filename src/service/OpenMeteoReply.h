// Reading shared by the Open-Meteo enrichment replies (model series,
// ensemble, previous runs, seasonal outlook): the checked root object and
// the mapping of local time texts onto the record's days.
#pragma once

#include "model/WeatherTypes.h"

#include <nlohmann/json.hpp>

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

}  // namespace nbr
