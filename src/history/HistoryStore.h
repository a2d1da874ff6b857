// The per-place history log: what was observed and what was forecast, kept
// in one JSON Lines file per place, scored into a skill block and used to
// correct later forecasts by the measured bias.
//
// Used only on the background worker, inside a refresh; no lock.
#pragma once

#include "history/ArchiveStore.h"
#include "history/PlaceFile.h"
#include "model/SkillTypes.h"

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr {

struct WeatherData;

class HistoryStore {
public:
    // One observation of current conditions (kind "obs").
    struct ObsRecord {
        std::string time;  // local YYYY-MM-DDTHH:MM
        double temp = 0;
        double hum = 0;
        double pres = 0;
        double wind = 0;
        double precip = 0;
        int code = 0;
    };

    // One daily forecast as it was issued (kind "fcst").
    struct FcstRecord {
        std::string made;  // local date the forecast was logged
        std::string date;  // the day forecast
        int lead = 0;      // days ahead
        double tmax = 0;
        double tmin = 0;
        double pop = 0;
        double precip = -1;
        int code = 0;
    };

    // What was observed on a day (kind "truth").
    struct TruthRecord {
        std::string date;
        double tmax = 0;
        double tmin = 0;
        double precip = -1;  // -1: not observed
        bool fromArchive = false;  // "src":"arc"
    };

    // Another source's day-ahead forecast (kind "mfcst").
    struct MFcstRecord {
        std::string made;
        std::string date;
        std::string model;
        double tmax = 0;
        double tmin = 0;
        double pop = -1;  // -1: none
    };

    // One hourly forecast temperature (kind "hf").
    struct HFcstRecord {
        std::string date;  // "d"
        int hour = -1;     // "h", 0 to 23
        double temp = 0;   // "c"
    };

    // The in-memory log of one place. Each list keeps log order, so the
    // newest record of a kind is its last; the key sets are the writers'
    // duplicate filters.
    struct Log {
        bool loaded = false;
        std::vector<ObsRecord> obs;
        std::vector<FcstRecord> fcst;
        std::vector<TruthRecord> truth;
        std::vector<MFcstRecord> mfcst;
        std::vector<HFcstRecord> hf;
        std::set<std::string> truthDates;
        std::set<std::string> fcstKeys;
        std::set<std::string> mfcstKeys;
        std::set<std::string> hfKeys;
        std::string lastObsTime;
        std::string lastStationObsTime;
    };

    std::string dir;  // the history folder; recording does nothing while empty
    std::unordered_map<std::string, Log> logs;

    // ---- Log, file and store ----------------------------------------------

    std::string pathFor(const std::string& key) const;
    // The place's log, read from its file on the first call in the run.
    Log& logFor(const std::string& key);
    // Appends the lines, synced; a torn last line is ended first. False when
    // the lines could not be written.
    bool appendLines(const std::string& key, const std::vector<std::string>& lines);
    // Replaces the file by the whole log through "<file>.tmp" and one rename.
    // False (old file untouched) when the new file could not be written whole.
    bool rewrite(const std::string& key, const Log& log);
    // Trims the log when a list passed its cap and rewrites the file; else
    // appends the pending lines. When the rewrite fails the pending lines are
    // appended instead.
    void pruneAndFlush(const std::string& key, Log& log, std::vector<std::string>& lines);
    // A place's key changed: its file takes the new key's name (a copy when
    // `keepOld`, another saved place still using the old key), never over a
    // file the new key has already; the logs of both keys are read again on
    // their next use.
    PlaceFileMove renamePlace(const std::string& oldKey, const std::string& newKey, bool keepOld);

    // The day before a "YYYY-MM-DD..." text, or "".
    static std::string previousDate(const std::string& date);
    // Minutes since 1970-01-01T00:00 of a "YYYY-MM-DDTHH:MM" text, or -1.
    static int64_t isoToMinutes(const std::string& time);

    // Reads the decimal integer that starts at character 11 of a time text
    // longer than 12 characters (the hour of YYYY-MM-DDTHH:MM).
    static bool readHour(const std::string& time, int& hour);

    // Record keys as the key sets hold them.
    static std::string keyOf(const FcstRecord& r);
    static std::string keyOf(const MFcstRecord& r);
    static std::string keyOf(const HFcstRecord& r);

    // One compact JSON line per record (keys sorted, no line end).
    static std::string lineOf(const ObsRecord& r);
    static std::string lineOf(const FcstRecord& r);
    static std::string lineOf(const TruthRecord& r);
    static std::string lineOf(const MFcstRecord& r);
    static std::string lineOf(const HFcstRecord& r);
    // An observation of the nearest weather station ("src":"stn").
    static std::string stationLineOf(const ObsRecord& r);

    // ---- Recording a refresh ----------------------------------------------

    // Logs what a fresh record shows, writes the new lines, scores the log
    // again and corrects the record by the measured bias.
    void record(WeatherData& data);

    // ---- Recording enriched data ---------------------------------------------

    // Logs what only the enriched record and the archive know: verified days
    // of the last 90 days from the archive (`days` may be null), tomorrow's
    // forecast of every source and the nearest station's observation; brings
    // today's logged rain chances up to the consensus; then scores the log
    // again and rebuilds the history rows. Applies no correction.
    void recordEnriched(WeatherData& data, const std::vector<ArchiveStore::Day>* days);

    // ---- Skill and history rows -------------------------------------------

    static ForecastSkill computeSkill(const std::vector<FcstRecord>& fcst,
                                      const std::vector<TruthRecord>& truth,
                                      const std::vector<MFcstRecord>& mfcst,
                                      const std::vector<HFcstRecord>& hf,
                                      const std::vector<ObsRecord>& obs);
    // Another place's skill, reduced to what may be lent to a new place.
    ForecastSkill neighborSkill(const std::string& key);
    // The chart rows: verified days paired with their day-ahead forecast.
    static void buildHistory(WeatherData& data, const Log& log);

    // ---- Bias correction ----------------------------------------------------

    static void applyCorrection(WeatherData& data, const ForecastSkill& skill);
    static void removeCorrection(WeatherData& data);
};

}  // namespace nbr
