// Reader of the previous-runs reply. It must not throw, crash, hang or read
// out of bounds; a day's trend is against a run one or two days old and its
// deltas are numbers (never an infinity or NaN for the Trends card).
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
        if (day.hasRunTrend && !(std::isfinite(day.runTrendTempDelta) && std::isfinite(day.runTrendPrecipDelta)))
            std::abort();
    }
    return 0;
}
