// The marine and tide replies: wave height, tide-station list, predictions
// and water temperature. The readers that may throw do so only for a body
// that is not JSON (the fetcher catches it). Every tide station read lies on
// the Earth.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using nbr::WeatherService;
    const std::string body = nbr::fuzz::text(data, size);
    try {
        (void)WeatherService::parseMarineWave(body);
    } catch (const std::exception&) {
    }
    try {
        (void)WeatherService::parseWaterTemperature(body);
    } catch (const std::exception&) {
    }
    for (const auto& s : WeatherService::parseTideStations(body))
        if (!nbr::coordinatesInRange(s.latitude, s.longitude)) std::abort();
    (void)WeatherService::parseTidePredictions(body);
    return 0;
}
