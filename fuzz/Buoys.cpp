// The buoy station table and a buoy's realtime observation file (plain text);
// every station read lies on the Earth.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = nbr::fuzz::text(data, size);
    for (const auto& s : nbr::WeatherService::parseBuoyTable(text))
        if (!nbr::coordinatesInRange(s.latitude, s.longitude)) std::abort();
    double wave = 0, water = 0;
    (void)nbr::WeatherService::parseNdbcRealtime(text, wave, water);
    return 0;
}
