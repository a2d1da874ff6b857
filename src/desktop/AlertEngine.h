// Alerts: the rules that turn a weather record into alerts for one place and
// one day of its calendar, and the remembered state of which alerts were
// already filed as notifications or acknowledged by the user
// (alert_state.json).
//
//   AlertEngine_Rules.cpp  the rules (pure, no lock, no file)
//   AlertEngine_State.cpp  the notified and acknowledged keys and their file
#pragma once

#include "model/WeatherTypes.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr {

// The user's alert thresholds, copied into every weather request.
struct AlertTuning {
    double gustKmh = 64.0;  // High Wind when the current gust is strictly greater
    double swingC = 8.3;    // Temperature Change when a swing is strictly greater
    double snowCm = 0.0;    // Snow Expected when a day's snowfall sum is strictly greater
};

struct TempSwing {
    bool found = false;
    bool warming = false;     // a rise; false for a drop
    double temperature = 0;   // the day's high for a rise, its low for a drop (°C)
    int dayIndex = 0;         // 1 to 3
};

class AlertEngine {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // ---- Rules: `now` in Unix seconds, 0 for the system clock ---------------

    // The rule alerts of a record, in rule order. `imperial` selects the units
    // of the temperature and wind messages; comparisons are metric.
    std::vector<WeatherAlert> evaluate(const WeatherData& data, bool imperial, const AlertTuning& tuning,
                                       int64_t now) const;
    // At most one meteor-shower alert, then at most one aurora alert.
    std::vector<WeatherAlert> evaluateSkyEvents(const WeatherData& data, int64_t now) const;
    // The largest swing between `daily`'s first four days (the first is
    // today) from one day's low to the next day's high or back; unknown
    // temperatures are skipped.
    TempSwing findTempSwing(std::span<const DailyForecast> daily, double thresholdC) const;
    bool isSevereWeatherCode(int code) const;
    bool hasFreezingPrecipitation(int code) const;
    bool hasHighWind(const WeatherData& data, double thresholdKmh) const;

    // ---- State: `now` in Unix seconds, 0 for the system clock ---------------

    // Replaces the state by what the file holds (nothing when it is missing
    // or malformed) and drops expired entries; never writes.
    void setStatePath(const std::string& path);
    bool alreadyNotified(const WeatherAlert& alert, int64_t now) const;
    // Remembers the alert's key until its expiry (24 hours when it has none),
    // held for the alert's place, and saves.
    void markNotified(const WeatherAlert& alert, int64_t now);
    // Holds an alert's key, filed or acknowledged already (for another place
    // of the same name), for the alert's place as well, and saves when that
    // is new.
    void holdFor(const WeatherAlert& alert);
    // Remembers an acknowledged key until `until` (24 hours when zero), held
    // for the place of `placeKey` (its cacheKey) when given, and saves.
    void acknowledge(const std::string& key, TimePoint until, int64_t now, const std::string& placeKey = {});
    // The acknowledged keys still remembered at `now`.
    std::vector<std::string> acknowledgedKeys(int64_t now) const;
    // Carries the filed and acknowledged keys of a place called `oldName`
    // over to `newName`, each with its time (the later one when the new key
    // is remembered already), and saves. The old keys stay as well when
    // `keepOld` (another place still goes by that name).
    void renamePlace(const std::string& oldName, const std::string& newName, bool keepOld);
    // Forgets the filed and acknowledged keys of `place` (removed, or moved
    // to another spot) other than those in `keep`, and saves: its alerts are
    // then filed and told afresh. A key also held for another spot stays for
    // that one; a key held for no known spot stays when `nameShared` (another
    // saved place goes by the name). Official warnings' keys stay. Returns
    // the keys forgotten.
    std::set<std::string> forgetPlace(const GeoLocation& place, bool nameShared, const std::set<std::string>& keep);

private:
    void ownLocked(const std::string& key, const std::string& placeKey);
    void pruneLocked(int64_t now);
    void saveLocked() const;

    mutable std::mutex mutex;
    std::unordered_map<std::string, TimePoint> notified;
    std::unordered_map<std::string, TimePoint> acked;
    std::unordered_map<std::string, std::set<std::string>> owners;  // key: the spots it is held for
    std::string statePath;
};

}  // namespace nbr
