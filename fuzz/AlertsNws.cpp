// The US weather service's alert reply: never throws; unreadable features are skipped.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)nbr::WeatherService::parseNwsAlerts(nbr::fuzz::text(data, size), "Boston");
    return 0;
}
