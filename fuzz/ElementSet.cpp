// The element-set reply of the space station, as the sky source reads it:
// its "1 " and "2 " lines, parsed and propagated once at the set's epoch and
// a day later, and searched for passes over the three hours from its epoch.
// A set that reads as valid has an epoch a pass search can count in seconds,
// and every pass lies in the window with a finite elevation above 10 degrees.
#include "FuzzSupport.h"
#include "model/Numbers.h"
#include "model/Satellite.h"

#include <cmath>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(nbr::fuzz::text(data, size));
    std::string line1, line2;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.rfind("1 ", 0) == 0) line1 = line;
        else if (line.rfind("2 ", 0) == 0) line2 = line;
    }
    const nbr::Tle tle = nbr::parseTle(line1, line2);
    if (!tle.valid) return 0;
    double position[3], velocity[3];
    for (double minutes : {0.0, 1440.0}) (void)nbr::sgp4Propagate(tle, minutes, position, velocity);

    // The years 1957-2100, in seconds.
    const auto epoch = nbr::truncatedTo<int64_t>((tle.epochJd - 2440587.5) * 86400.0);
    if (!epoch || *epoch < -410227200 || *epoch >= 4133980800) std::abort();
    constexpr int kHours = 3;
    for (const nbr::IssPass& p : nbr::findPasses(tle, 42.3584, -71.0598, *epoch, kHours)) {
        const bool inWindow = p.start >= *epoch && p.start <= p.maxTime && p.maxTime <= p.end &&
                              p.end <= *epoch + kHours * 3600;
        if (!inWindow || !std::isfinite(p.maxElevation) || !(p.maxElevation > 10) || p.maxElevation > 90.0001)
            std::abort();
    }
    return 0;
}
