// The US forecast office's points lookup and forecast periods.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    (void)nbr::WeatherService::parseNwsForecastUrl(body);
    // The fixtures' periods carry place-holders, so any date may match.
    for (const char* date : {"2024-05-02", "{{date:1}}"}) (void)nbr::WeatherService::parseNwsDaily(body, date);
    return 0;
}
