// The river-discharge reply (may throw; the fetcher catches it) and the
// stream-gauge reply (never throws).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    try {
        (void)nbr::WeatherService::parseFlood(body);
    } catch (const std::exception&) {
    }
    nbr::FloodInfo flood;
    nbr::WeatherService::parseUsgsGauge(body, 42.3584, -71.0598, flood);
    return 0;
}
