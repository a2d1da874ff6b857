// The Canadian alerts collection: never throws; unreadable features are skipped.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)nbr::WeatherService::parseCanadaAlerts(nbr::fuzz::text(data, size));
    return 0;
}
