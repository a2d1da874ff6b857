// The K-index table and the GFZ K-index reply: any bytes give a value >= 0 or
// -1, never a crash or an escaping exception.
#include "FuzzSupport.h"
#include "service/WeatherService.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body = nbr::fuzz::text(data, size);
    const double a = nbr::WeatherService::parseKpTable(body);
    const double b = nbr::WeatherService::parseGfzKp(body);
    if (!(a >= 0 || a == -1) || !(b >= 0 || b == -1)) std::abort();
    return 0;
}
