// The aurora grid (probed at a few cells, some on the wrap-around) and the
// K-index forecast.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    (void)nbr::WeatherService::parseAuroraProb(body, 42.36, -71.06);
    (void)nbr::WeatherService::parseAuroraProb(body, 90.4, 359.7);
    (void)nbr::WeatherService::parseAuroraProb(body, -1e300, 1e300);
    (void)nbr::WeatherService::parseKpForecastMax(body, "2025-01-12T12:00:00");
    return 0;
}
