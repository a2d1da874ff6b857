// The second forecast service's hourly series, read for a few offsets.
#include "FuzzSupport.h"
#include "model/PlaceClock.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    for (const int offset : {0, -18000, 19800, -1830})
        (void)nbr::WeatherService::parseMetNorway(body, "2024-02-05", nbr::PlaceClock::fixed(offset));
    return 0;
}
