// The three replies of the forecast discussion: points lookup, product list
// and product.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    const std::string office = nbr::WeatherService::parseAfdOffice(body);
    // Whatever the reply, an office id stays a short plain code.
    for (const char c : office)
        if (c == '/' || c == '?' || c == '.' || c == '%') std::abort();
    (void)nbr::WeatherService::parseAfdList(body);
    (void)nbr::WeatherService::parseAfdProduct(body);
    return 0;
}
