// The rules that turn a series of elevation samples, 30 seconds apart, into
// passes: a pass opens at the first sample strictly above 10 degrees and
// closes at the first sample at or below it, its end being the sample before.
// Kept apart from the orbit so the rules can be checked with made-up samples.
#pragma once

#include "model/WeatherTypes.h"

#include <cstdint>
#include <functional>

namespace nbr {

class PassTracker {
public:
    // Takes the sample at Unix time `t`. `visibleNow` says whether the
    // satellite is sunlit against a dark sky at this sample; it is called only
    // for samples inside a pass that has not yet been found visible. Returns
    // true when this sample closed a pass, which `closed()` then holds.
    bool add(int64_t t, double elevation, double azimuth, const std::function<bool()>& visibleNow);

    const IssPass& closed() const { return pass_; }

private:
    IssPass pass_;
    bool open_ = false;
    double lastAzimuth_ = 0;
};

}  // namespace nbr
