// The daily climate archive: per place, the observed high, low and rain of
// every day of the last ten years, downloaded once from the historical
// archive service and then extended by the missing days at most once a local
// day. Kept in one JSON Lines file per place and in memory; the analytics
// (normals, seasonal anomaly, insights, analog days) run over these days.
//
// Used only on the background worker, inside a refresh; no lock.
//
// The member functions are spread over one source file per concern:
//   ArchiveStore_File.cpp       file, download, reply reader, date helpers
//   ArchiveStore_Analytics.cpp  normals, anomaly, insights, analog days
#pragma once

#include "history/PlaceFile.h"
#include "model/SkillTypes.h"
#include "model/WeatherTypes.h"

#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr {

class ArchiveStore {
public:
    // One archived day.
    struct Day {
        std::string date;  // YYYY-MM-DD
        double tmax = 0;   // degrees Celsius
        double tmin = 0;
        double precip = 0;  // mm; kUnknownAmount when the service gave none
    };

    struct Entry {
        bool loaded = false;
        std::vector<Day> days;  // strictly ascending dates
        std::string lastAttemptDay;  // last day wanted of the last download; memory only
        // First missing day of a stretch lost to a damaged file line, which
        // the next download fetches again; empty when nothing is lost.
        std::string repairFrom;
    };

    // Gets a URL, returns the reply body or "" on any failure.
    using Fetcher = std::function<std::string(const std::string& url)>;

    std::string dir;  // the archive folder; empty switches the store off
    std::unordered_map<std::string, Entry> entries;
    // The last download for a place without any archived day (shared by all
    // places, so a new place's ten years are fetched at most every 300 s).
    std::chrono::steady_clock::time_point lastEmptyAttempt{};
    bool emptyAttemptMade = false;

    // ---- File and download ---------------------------------------------------

    // Brings the place's archive up to `lastDay` (YYYY-MM-DD, the place's
    // local yesterday) with at most one download per `lastDay`. The place's
    // days, or null when the store is off or `lastDay` is not a date text.
    const std::vector<Day>* ensure(const std::string& key, double lat, double lon,
                                   const std::string& lastDay, const Fetcher& fetcher);
    // The place's entry, its file read on first use.
    Entry& entryFor(const std::string& key);
    std::string pathFor(const std::string& key) const;
    // A place's key changed: as HistoryStore::renamePlace, for its archive.
    PlaceFileMove renamePlace(const std::string& oldKey, const std::string& newKey, bool keepOld);
    // The days of one archive reply; none when it cannot be read.
    static std::vector<Day> parseArchive(const std::string& body);
    // One compact file line (no line end).
    static std::string lineOf(const Day& day);

    // The date `n` days after (before, when negative) a YYYY-MM-DD text, or
    // "" when it is no date. The one date-shifting helper of the program.
    static std::string addDays(const std::string& date, int n);

    // ---- Analytics -------------------------------------------------------------

    // Mean high and low of a month-day ("MM-DD") over all years.
    static ArchiveNormals normalsFor(const std::vector<Day>& days, const std::string& monthDay);
    // Mean of an outlook's highs minus the normal highs of their month-days.
    static SeasonalAnomaly computeSeasonalAnomaly(const std::vector<Day>& days,
                                                  const std::vector<std::string>& dates,
                                                  const std::vector<double>& values);
    // Records, last year, the current streak and this month's rain for `today`.
    static ArchiveInsights computeInsights(const std::vector<Day>& days, const std::string& today);
    // What followed past stretches whose highs looked like `recent` (oldest
    // first) near the day of year of `date`.
    static AnalogOutlook computeAnalogs(const std::vector<Day>& days, const std::vector<double>& recent,
                                        const std::string& date);
};

}  // namespace nbr
