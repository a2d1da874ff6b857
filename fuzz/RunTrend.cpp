// Reader of the previous-runs reply. It must not throw, crash, hang or read
// out of bounds; a day's trend is against a run one or two days old, knows at
// least one of its deltas, and each delta is a number or NaN when unknown
// (never an infinity).
#include "ForecastDays.h"
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::WeatherData record = nbr::fuzz::recordWithSeedDays();
    nbr::WeatherService::parseRunTrend(nbr::fuzz::text(data, size), record);
    for (const auto& day : record.daily) {
        if (day.hasRunTrend != (day.runTrendDaysBack == 1 || day.runTrendDaysBack == 2)) std::abort();
        if (!day.hasRunTrend) continue;
        const double deltas[] = {day.runTrendTempDelta, day.runTrendPrecipDelta};
        for (const double delta : deltas)
            if (std::isinf(delta)) std::abort();
        if (std::isnan(deltas[0]) && std::isnan(deltas[1])) std::abort();
    }
    return 0;
}
