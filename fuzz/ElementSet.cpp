// The element-set reply of the space station, as the sky source reads it:
// its "1 " and "2 " lines, parsed and propagated once at the set's epoch and
// a day later.
#include "FuzzSupport.h"
#include "model/Satellite.h"

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
    return 0;
}
