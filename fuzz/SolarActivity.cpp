// The flare list and the radio-flux summary.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    nbr::SolarActivity solar;
    nbr::WeatherService::parseSolarFlares(body, 1717200000, solar);
    (void)nbr::WeatherService::parseRadioFlux(body);
    return 0;
}
