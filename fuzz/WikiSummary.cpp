// The encyclopedia's page-summary reply: never throws, and what it keeps
// stays within the cut it promises.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string extract = nbr::WeatherService::parseWikiSummary(nbr::fuzz::text(data, size));
    if (extract.size() > 320 + 3) std::abort();
    return 0;
}
