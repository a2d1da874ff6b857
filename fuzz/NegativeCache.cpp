// The negative cache's flags file, read at the first use in a run and written
// again when a flag is added: any file content loads (or is ignored), and
// whatever loaded can be written back.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto flags = nbr::WeatherService::parseNegFlags(nbr::fuzz::text(data, size));
    (void)nbr::WeatherService::parseNegFlags(nbr::WeatherService::formatNegFlags(flags));
    return 0;
}
