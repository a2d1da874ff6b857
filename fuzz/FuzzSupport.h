// Shared by the fuzz targets: a private scratch folder for readers that read
// files, and the bytes of an input as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "model/PlaceClock.h"
#include "model/WeatherTypes.h"
#include "platform/TimeZones.h"

namespace nbr::fuzz {

inline std::string text(const uint8_t* data, size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// A folder of this process's own, made on first use and kept for the run.
inline const std::string& scratchDir() {
    static const std::string dir = [] {
        std::string tmpl = "/tmp/nimbrel-fuzz-XXXXXX";
        return mkdtemp(tmpl.data()) ? tmpl : std::string("/tmp");
    }();
    return dir;
}

// A clock with daylight-saving changes, for readers that read times written
// without an offset on the place's clock.
inline const PlaceClock& zonedClock() {
    static const PlaceClock clock(platform::zoneOffsets("America/New_York"));
    return clock;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every alert's expiry is absent or a whole second, as the readers make it:
// a time converted with an overflow wraps to a count of nanoseconds that is
// no whole second.
inline void checkExpiries(const std::vector<WeatherAlert>& alerts) {
    for (const WeatherAlert& a : alerts)
        if (a.expires.time_since_epoch() % std::chrono::seconds(1) != std::chrono::system_clock::duration::zero())
            std::abort();
}

}  // namespace nbr::fuzz
