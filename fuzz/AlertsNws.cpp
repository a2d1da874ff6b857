// The US weather service's alert reply: never throws; unreadable features are skipped;
// every expiry is absent or a time (never one that overflowed).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::fuzz::checkExpiries(
        nbr::WeatherService::parseNwsAlerts(nbr::fuzz::text(data, size), "Boston", nbr::fuzz::zonedClock()));
    return 0;
}
