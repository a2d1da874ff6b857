// The Norwegian MetAlerts reply: never throws; unreadable features are skipped;
// every expiry is absent or a time (never one that overflowed).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::fuzz::checkExpiries(nbr::WeatherService::parseMetAlerts(nbr::fuzz::text(data, size), nbr::fuzz::zonedClock()));
    return 0;
}
