// Reader of the ensemble reply. It must not throw, crash, hang or read out of
// bounds; there is never more than one series "ens", and a day's percentiles
// stay in order and are numbers.
#include "ForecastDays.h"
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::WeatherData record = nbr::fuzz::recordWithSeedDays();
    nbr::WeatherService::parseEnsemble(nbr::fuzz::text(data, size), record);
    int ens = 0;
    for (const auto& s : record.modelSeries) ens += s.model == "ens";
    if (ens != 1) std::abort();
    for (const auto& day : record.daily) {
        if (day.ensembleMembers == 0) continue;
        if (day.ensembleMembers < 5 || day.ensembleWetMembers < 0 ||
            static_cast<uint32_t>(day.ensembleWetMembers) > day.ensembleMembers ||
            !(day.ensembleP10 <= day.ensembleP50 && day.ensembleP50 <= day.ensembleP90) ||
            !std::isfinite(day.ensembleP10) || !std::isfinite(day.ensembleP90))
            std::abort();
    }
    return 0;
}
