// The air-quality reply. The reader may throw (the fetcher catches it).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)nbr::WeatherService::parseAirQuality(nbr::fuzz::text(data, size));
    } catch (const std::exception&) {
    }
    return 0;
}
