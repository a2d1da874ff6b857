// The airport station reports (never throws).
#include "FuzzSupport.h"
#include "service/WeatherService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)nbr::WeatherService::parseMetar(nbr::fuzz::text(data, size), 42.3584, -71.0598);
    return 0;
}
