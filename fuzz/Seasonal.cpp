// Reader of the seasonal reply. It must not throw, crash, hang or read out of
// bounds, its two lists stay the same length, and every high is a number.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> dates{"stale"};
    std::vector<double> highs;
    nbr::WeatherService::parseSeasonal(nbr::fuzz::text(data, size), dates, highs);
    if (dates.size() != highs.size()) std::abort();
    for (double h : highs)
        if (!std::isfinite(h)) std::abort();
    return 0;
}
