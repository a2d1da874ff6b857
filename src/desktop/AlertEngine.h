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

    // The rule alerts of a record, in rule order, their temperatures and
    // winds kept metric for the wording (see alertMessageOn).
    std::vector<WeatherAlert> evaluate(const WeatherData& data, const AlertTuning& tuning, int64_t now) const;
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
    //
    // An alert goes by its deduplicationKey.

    // Replaces the state by what the file holds (nothing when it is missing
    // or malformed) and drops expired entries. A key of a place's name
    // alone, from an older file, becomes the keys of the places it was held
    // for: the spots the file lists for it, else the `saved` places of that
    // name (none: it is dropped); the file is then saved at once. Otherwise
    // reading never writes.
    void setStatePath(const std::string& path, std::span<const SavedLocation> saved);
    bool alreadyNotified(const WeatherAlert& alert, int64_t now) const;
    // Remembers the alert's key until its expiry (24 hours when it has none),
    // and saves.
    void markNotified(const WeatherAlert& alert, int64_t now);
    // Remembers an acknowledged key until `until` (24 hours when zero), and
    // saves.
    void acknowledge(const std::string& key, TimePoint until, int64_t now);
    // The acknowledged keys still remembered at `now`.
    std::vector<std::string> acknowledgedKeys(int64_t now) const;
    // Carries the filed and acknowledged keys of the place `before`, renamed
    // `after` on its spot, over to the new place's key, each with its time
    // (the later one when the new key is remembered already), and saves.
    // They stay as well when `keyShared` (another entry of the very place is
    // saved).
    void renamePlace(const GeoLocation& before, const GeoLocation& after, bool keyShared);
    // Forgets the filed and acknowledged keys of `place` (removed, or moved
    // to another spot), and saves: its alerts are then filed and told
    // afresh. Official warnings' keys stay. Returns the keys forgotten.
    std::set<std::string> forgetPlace(const GeoLocation& place);

private:
    void pruneLocked(int64_t now);
    void saveLocked() const;

    mutable std::mutex mutex;
    std::unordered_map<std::string, TimePoint> notified;
    std::unordered_map<std::string, TimePoint> acked;
    std::string statePath;
};

}  // namespace nbr
