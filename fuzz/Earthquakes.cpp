// Both earthquake catalogues, merged as the fetcher merges them.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    const long long now = 1717200000;
    nbr::QuakeInfo q = nbr::WeatherService::parseQuakes(body, 42.3584, -71.0598, now);
    const nbr::QuakeInfo e = nbr::WeatherService::parseEmscQuakes(body, 42.3584, -71.0598, now);
    if (q.events.size() > 3 || e.events.size() > 5) std::abort();
    nbr::WeatherService::mergeQuakes(q, e);
    if (q.events.size() > 5) std::abort();
    return 0;
}
