// Replies of the historical archive service: every day's high, low and rain
// follow from the place and the date alone (a seeded hash), so a test knows
// each value without a fixture file.
#pragma once

#include <string>

namespace nbr::replay::archive {

struct GeneratedDay {
    double tmax = 0;         // degrees Celsius, one decimal
    double tmin = 0;
    double precip = 0;  // mm, one decimal
};

// The values the route serves for `placeId` on `date` (YYYY-MM-DD) once the
// day is available. Dates that do not read give zeros.
GeneratedDay generatedDay(const std::string& placeId, const std::string& date);

}  // namespace nbr::replay::archive
