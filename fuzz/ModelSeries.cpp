// Reader of the multi-model daily reply (model series and their spread). It
// must not throw, crash, hang or read out of bounds; every series keeps one
// value per day and an own high or low moved into a spread stays inside it.
#include "ForecastDays.h"
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::WeatherData record = nbr::fuzz::recordWithSeedDays();
    nbr::WeatherService::parseUncertaintyBand(nbr::fuzz::text(data, size), record);
    const size_t n = record.daily.size();
    for (const auto& s : record.modelSeries)
        if (s.model.empty() || s.highs.size() != n || s.lows.size() != n || s.precipitationProbabilities.size() != n)
            std::abort();
    for (const auto& day : record.daily)
        if (day.hasModelSpread && (day.temperatureMax < day.highMin || day.temperatureMax > day.highMax ||
                                   day.temperatureMin < day.lowMin || day.temperatureMin > day.lowMax))
            std::abort();
    return 0;
}
