// The airport station reports (never throws).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The nearest report lies on the Earth: a distance of at most half its circumference.
    const nbr::StationObs obs = nbr::WeatherService::parseMetar(nbr::fuzz::text(data, size), 42.3584, -71.0598);
    if (obs.valid && !(obs.distanceKm >= 0 && obs.distanceKm <= 20016)) std::abort();
    return 0;
}
