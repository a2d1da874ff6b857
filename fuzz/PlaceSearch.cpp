// The place-search reply. The reader may throw (the search catches it).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)nbr::WeatherService::parseGeocodeResponse(nbr::fuzz::text(data, size));
    } catch (const std::exception&) {
    }
    return 0;
}
