// The data service: the one HTTP client of the program, the base forecast with
// its cache, place search and the caches the web sources keep between
// refreshes. One object, owned by the application for the whole run; its
// operations run on the background worker (and the enrichment threads), and
// none throws to its caller.
//
// The member functions are spread over one source file per concern:
//   WeatherService_Transfer.cpp  httpGet, certificate bundle, abort
//   WeatherService_Forecast.cpp  base forecast, forecast cache, shared helpers
//   WeatherService_Search.cpp    place search
//   WeatherService_Sky.cpp       space-station passes, constellation facts
//   WeatherService_Enrich.cpp    the fan-out over every secondary source
//   WeatherService_Alerts.cpp    official alerts
//   WeatherService_Consensus.cpp consensus rain chance
//   WeatherService_Update.cpp    update check
#pragma once

#include "model/WeatherTypes.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace nbr {

class WeatherService {
public:
    // Cache entries of the sources; each starts with the steady-clock time of
    // the fetch that filled it.
    struct AlertCacheEntry {
        std::chrono::steady_clock::time_point stamp{};
        std::vector<WeatherAlert> alerts;
    };
    struct AfdCacheEntry {
        std::chrono::steady_clock::time_point stamp{};
        std::string text;
        std::string office;
        std::string issued;
    };
    struct NwsCacheEntry {
        std::chrono::steady_clock::time_point stamp{};
        ProviderForecast forecast;
    };
    struct MetNoCacheEntry {
        std::chrono::steady_clock::time_point stamp{};
        ProviderForecast forecast;
    };
    struct EnsembleCacheEntry {
        std::chrono::steady_clock::time_point stamp{};
        std::string body;
    };
    struct SeasonalCacheEntry {
        std::chrono::steady_clock::time_point stamp{};
        std::vector<std::string> dates;
        std::vector<double> values;
    };

    // Most places the forecast cache keeps; storing one more evicts the
    // entry with the oldest fetchedAt.
    static constexpr size_t kForecastCacheLimit = 32;

    WeatherService();
    ~WeatherService();
    WeatherService(const WeatherService&) = delete;
    WeatherService& operator=(const WeatherService&) = delete;

    // ---- Transfer ------------------------------------------------------------

    // Blocking GET of a full URL. Returns the body of a 2xx reply, or "" on any
    // failure (transport error, time-out, abort, other status, body over
    // 32 MiB, URL refused). Failures other than an abort log one warning whose
    // label is the URL's scheme and host only. Safe from any thread.
    std::string httpGet(const std::string& url);

    // Uses the certificate bundle at `path` for every transfer and exports it
    // as SSL_CERT_FILE, when the file can be opened; otherwise nothing changes.
    // Start-up thread only, before any transfer.
    static void setCaBundlePath(const std::string& path);
    static const std::string& caBundlePath();

    // ---- Base forecast -------------------------------------------------------

    // The place's forecast from the cache when younger than 10 minutes, else
    // fetched, parsed and cached; empty when neither is available.
    std::optional<WeatherData> fetchWeather(const GeoLocation& loc);

    // Turns a forecast reply into a record for `loc`. Throws on an error reply,
    // malformed JSON and values of the wrong type.
    static WeatherData parseWeatherResponse(const std::string& body, const GeoLocation& loc);

    // ---- Forecast cache ------------------------------------------------------

    bool hasFreshCache(const GeoLocation& loc, int maxAgeMinutes) const;
    std::optional<WeatherData> getCached(const GeoLocation& loc) const;
    void clearCache();
    // Stores a record under `key` and evicts down to kForecastCacheLimit.
    // The caller holds forecastCacheMutex.
    void storeForecastLocked(const std::string& key, const WeatherData& data);

    // ---- Place search --------------------------------------------------------

    // Up to five places whose names match `query`; empty on any failure and
    // for an empty query (then nothing is requested).
    std::vector<GeoLocation> geocode(const std::string& query);
    // Reads a geocoding reply; may throw the JSON library's errors.
    static std::vector<GeoLocation> parseGeocodeResponse(const std::string& body);

    // ---- Sky -----------------------------------------------------------------

    // Most visible space-station passes a record keeps.
    static constexpr size_t kIssPassLimit = 6;

    // Fills data.issPasses with the visible space-station passes over `place`
    // in the next 72 hours and sets data.issComputed. The element set is kept
    // for 12 hours in memory and in issTlePath. Any failure (no element set,
    // an invalid one, one older than five days) leaves the record untouched.
    void fetchIssPasses(const GeoLocation& place, WeatherData& data);
    // The same with the current time given, in Unix seconds.
    void fetchIssPassesAt(const GeoLocation& place, WeatherData& data, int64_t now);
    // The first kIssPassLimit visible passes, in the given order.
    static std::vector<IssPass> keepVisiblePasses(const std::vector<IssPass>& passes);

    // Encyclopedia summaries of the constellations by name: those kept in
    // starFactsPath, plus the missing ones fetched one at a time (paced, and
    // stopping early when abortFlag is set); the file is rewritten when
    // anything new arrived. Worker thread.
    std::unordered_map<std::string, std::string> fetchStarFacts();
    // The "extract" of a page-summary reply, cut at a sentence end at most
    // 320 bytes in, or to 300 bytes (on a character boundary) plus "...";
    // empty when the reply has none.
    static std::string parseWikiSummary(const std::string& body);

    // ---- Enrichment ----------------------------------------------------------

    // Fills every secondary source's part of the record, each source group on
    // a thread of its own, all at once; marks the record enriched and stores
    // it back into the forecast cache when the place still has an entry. A
    // record already enriched is left alone. Nothing a source does escapes.
    void enrichWeather(const GeoLocation& loc, WeatherData& data);

    // ---- Official alerts -----------------------------------------------------

    // The alerts in force at `place` from its country's weather service (US,
    // Canada, Norway; none elsewhere), kept for 180 s per place (empty lists
    // too). Empty on any failure.
    std::vector<WeatherAlert> fetchOfficialAlerts(const GeoLocation& place);
    // Readers of the three replies; a feature that cannot be read is skipped.
    // The Canadian and Norwegian readers leave `location` empty.
    static std::vector<WeatherAlert> parseNwsAlerts(const std::string& body, const std::string& placeName);
    static std::vector<WeatherAlert> parseCanadaAlerts(const std::string& body);
    static std::vector<WeatherAlert> parseMetAlerts(const std::string& body);

    // ---- Consensus rain chance -----------------------------------------------

    // Replaces each day's rain chance by the skill-weighted mean of the
    // sources that forecast it (at least three), once per record.
    static void applyPopConsensus(WeatherData& data);

    // ---- Update check --------------------------------------------------------

    // The version text of the publisher's update document, or "" (also when
    // no document address is configured).
    std::string fetchLatestVersion();
    // Whether version text a ("major.minor.patch") is older than b.
    static bool versionLess(const std::string& a, const std::string& b);

    // ---- Members -------------------------------------------------------------

    // Set once at shut-down: every running and later transfer ends with "".
    std::atomic<bool> abortFlag{false};

    std::unordered_map<std::string, WeatherData> forecastCache;  // by cacheKey()
    mutable std::mutex forecastCacheMutex;

    std::unordered_map<std::string, AlertCacheEntry> alertCache;
    mutable std::mutex alertCacheMutex;

    std::unordered_map<std::string, AfdCacheEntry> afdCache;  // by forecast office
    mutable std::mutex afdCacheMutex;

    // Files in the data folder, assigned once before the worker starts.
    std::string negPath;        // enrich_flags.json
    std::string starFactsPath;  // star_facts.json

    std::unordered_map<std::string, int> negFlags;
    bool negLoaded = false;
    mutable std::mutex negMutex;

    double kpValue = -1.0;
    std::chrono::steady_clock::time_point kpStamp{};
    mutable std::mutex kpMutex;

    std::string ovationBody;
    std::chrono::steady_clock::time_point ovationStamp{};
    double kpForecastMax = -1.0;
    std::chrono::steady_clock::time_point kpForecastStamp{};
    mutable std::mutex auroraMutex;

    std::unordered_map<std::string, NwsCacheEntry> nwsCache;
    std::unordered_map<std::string, std::string> nwsForecastUrls;
    mutable std::mutex nwsMutex;

    std::unordered_map<std::string, MetNoCacheEntry> metNoCache;
    mutable std::mutex metNoCacheMutex;

    std::unordered_map<std::string, EnsembleCacheEntry> ensembleCache;
    mutable std::mutex ensembleCacheMutex;

    std::string issTlePath;  // iss_tle.json
    std::string tleLine1;
    std::string tleLine2;
    int64_t tleFetchedAt = 0;  // Unix seconds
    mutable std::mutex tleMutex;

    std::unordered_map<std::string, SeasonalCacheEntry> seasonalCache;
    mutable std::mutex seasonalCacheMutex;

private:
    // The cached record when younger than maxAgeMinutes, checked and copied
    // under one lock.
    std::optional<WeatherData> freshCopy(const GeoLocation& loc, int maxAgeMinutes) const;
};

// Great-circle distance in km between two points given in degrees.
double haversineKm(double lat1, double lon1, double lat2, double lon2);

// Reads "YYYY-MM-DD[THH:MM[:SS]]" as the computer's local time (any suffix is
// ignored). The zero time point when fewer than three numbers read or the
// time does not convert.
std::chrono::system_clock::time_point parseIsoLocal(const std::string& text);
// The same, except that a time with a zone suffix ("Z", "+05:30", "-0500")
// is taken as that zone's clock time: UTC minus the offset.
std::chrono::system_clock::time_point parseIsoTime(const std::string& text);

// `value` in fixed notation with `decimals` digits after a point, independent
// of the locale (coordinates in request queries).
std::string formatFixed(double value, int decimals);

}  // namespace nbr
