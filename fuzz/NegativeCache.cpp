// The negative cache's flags file, read at the first use in a run and written
// again when a flag is added: any file content loads (or is ignored) and the
// rewrite never fails on the keys it loaded.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = nbr::fuzz::text(data, size);
    (void)nbr::WeatherService::parseNegFlags(text);
    nbr::WeatherService svc;
    svc.negPath = nbr::fuzz::scratchDir() + "/enrich_flags.json";
    nbr::fuzz::writeFile(svc.negPath, text);
    (void)svc.negHas("Boston@42.3584,-71.0598", nbr::WeatherService::kNegMarine);
    svc.negSet("Fuzz@1.0000,2.0000", nbr::WeatherService::kNegBuoy);
    return 0;
}
