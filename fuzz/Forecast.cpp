// The base forecast reply. The reader may throw (the fetcher catches it); it
// must not crash, hang or read out of bounds.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbr::GeoLocation place;
    place.name = "Boston";
    place.latitude = 42.3584;
    place.longitude = -71.0598;
    try {
        (void)nbr::WeatherService::parseWeatherResponse(nbr::fuzz::text(data, size), place);
    } catch (const std::exception&) {
    }
    return 0;
}
