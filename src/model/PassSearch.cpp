// Pass search: steps through the window every 30 seconds and folds the
// samples into passes. A pass counts as visible when at one of its samples
// the sky is dark (sun more than 6 degrees down) and the satellite is out of
// the Earth's shadow; the sun is only computed until that has been seen once.
#include "model/Numbers.h"
#include "model/PassTracker.h"
#include "model/Satellite.h"

namespace nbr {
namespace {

constexpr int64_t kStepSeconds = 30;
constexpr double kMinElevation = 10.0;
constexpr double kDarkSky = -6.0;
constexpr std::size_t kMaxPasses = 40;

}  // namespace

bool PassTracker::add(int64_t t, double elevation, double azimuth,
                      const std::function<bool()>& visibleNow) {
    if (elevation > kMinElevation) {
        if (!open_) {
            open_ = true;
            pass_ = IssPass{};
            pass_.start = pass_.maxTime = t;
            pass_.startAzimuth = azimuth;
            pass_.maxElevation = elevation;
            pass_.visible = visibleNow();
        } else {
            if (elevation > pass_.maxElevation) {
                pass_.maxElevation = elevation;
                pass_.maxTime = t;
            }
            if (!pass_.visible) pass_.visible = visibleNow();
        }
        lastAzimuth_ = azimuth;
        return false;
    }
    if (!open_) return false;
    open_ = false;
    pass_.end = t - kStepSeconds;
    pass_.endAzimuth = lastAzimuth_;
    return true;
}

std::vector<IssPass> findPasses(const Tle& tle, double lat, double lon, int64_t start, int hours) {
    std::vector<IssPass> passes;
    const int64_t end = start + static_cast<int64_t>(hours) * 3600;
    const std::optional<int64_t> epochSeconds = truncatedTo<int64_t>((tle.epochJd - 2440587.5) * 86400.0);
    if (!tle.valid || end < start || !epochSeconds) return passes;

    const int64_t epoch = *epochSeconds;
    PassTracker tracker;
    for (int64_t t = start; t <= end; t += kStepSeconds) {
        double position[3], velocity[3];
        // In doubles: exact for any real epoch, and no overflow for a made-up one.
        const double minutes = (static_cast<double>(t) - static_cast<double>(epoch)) / 60.0;
        if (!sgp4Propagate(tle, minutes, position, velocity)) break;
        const double jd = jdFromEpoch(t);
        double azimuth = 0, elevation = 0, range = 0;
        lookAngles(position, jd, lat, lon, azimuth, elevation, range);
        const auto visibleNow = [&] {
            double sun[3];
            sunEci(jd, sun);
            double sunAzimuth = 0, sunElevation = 0, sunRange = 0;
            lookAngles(sun, jd, lat, lon, sunAzimuth, sunElevation, sunRange);
            return sunElevation < kDarkSky && satSunlit(position, sun);
        };
        if (tracker.add(t, elevation, azimuth, visibleNow)) {
            passes.push_back(tracker.closed());
            if (passes.size() >= kMaxPasses) break;
        }
    }
    return passes;
}

}  // namespace nbr
