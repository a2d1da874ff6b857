// Both earthquake catalogues, merged as the fetcher merges them. Every event
// kept has a distance on the Earth (finite, at most half its circumference)
// or none (-1, its position unknown), and a finite age.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cmath>
#include <cstdlib>

namespace {

void checkEvents(const nbr::QuakeInfo& q) {
    for (const nbr::QuakeEvent& e : q.events)
        if (!((e.distanceKm >= 0 && e.distanceKm <= 20016) || e.distanceKm == -1) || !std::isfinite(e.hoursAgo))
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    const long long now = 1717200000;
    nbr::QuakeInfo q = nbr::WeatherService::parseQuakes(body, 42.3584, -71.0598, now);
    const nbr::QuakeInfo e = nbr::WeatherService::parseEmscQuakes(body, 42.3584, -71.0598, now);
    if (q.events.size() > 3 || e.events.size() > 5) std::abort();
    checkEvents(q);
    checkEvents(e);
    nbr::WeatherService::mergeQuakes(q, e);
    if (q.events.size() > 5) std::abort();
    return 0;
}
