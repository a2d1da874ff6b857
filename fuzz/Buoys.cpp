// The buoy station table and a buoy's realtime observation file (plain text).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = nbr::fuzz::text(data, size);
    (void)nbr::WeatherService::parseBuoyTable(text);
    double wave = 0, water = 0;
    (void)nbr::WeatherService::parseNdbcRealtime(text, wave, water);
    return 0;
}
