// The place-search reply. The reader may throw (the search catches it); every
// place it gives lies on the Earth, and its zone name is only ever looked up.
#include "FuzzSupport.h"
#include "platform/TimeZones.h"
#include "service/WeatherService.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        for (const nbr::GeoLocation& g : nbr::WeatherService::parseGeocodeResponse(nbr::fuzz::text(data, size))) {
            if (!nbr::coordinatesInRange(g.latitude, g.longitude)) std::abort();
            (void)nbr::platform::zoneOffsetAt(g.timezone, 0);
        }
    } catch (const std::exception&) {
    }
    return 0;
}
