// The data service: the one HTTP client of the program, the base forecast with
// its cache, place search and the caches the web sources keep between
// refreshes. One object, owned by the application for the whole run; its
// operations run on the background worker (and the enrichment threads), and
// none throws to its caller.
//
// The member functions are spread over one source file per concern:
//   WeatherService_Transfer.cpp  httpFetch, httpGet, certificate bundle, abort
//   WeatherService_Forecast.cpp  base forecast, forecast cache, shared helpers
//   WeatherService_Search.cpp    place search
//   WeatherService_Sky.cpp       space-station passes, constellation facts
//   WeatherService_Models.cpp    model series and their spread
//   WeatherService_Ensemble.cpp  ensemble rain spread
//   WeatherService_RunTrend.cpp  change from older model runs
//   WeatherService_Seasonal.cpp  seasonal outlook
//   WeatherService_Enrich.cpp    the fan-out over every secondary source
//   WeatherService_NegativeCache.cpp  sources known to have nothing for a place
//   WeatherService_Marine.cpp    wave height, tides, tide-station water temperature
//   WeatherService_Buoys.cpp     nearest buoy's observation
//   WeatherService_Rivers.cpp    modelled river discharge, stream gauges
//   WeatherService_AirQuality.cpp  air quality and pollen
//   WeatherService_Station.cpp   nearest airport station report
//   WeatherService_Alerts.cpp    official alerts
//   WeatherService_Consensus.cpp consensus rain chance
//   WeatherService_Update.cpp    update check
//   WeatherService_SpaceWeather.cpp  K index, aurora outlook, solar activity
//   WeatherService_NwsDay.cpp    US forecast office day
//   WeatherService_Discussion.cpp  forecast discussion
//   WeatherService_MetNo.cpp     second forecast service (MET Norway)
//   WeatherService_Quakes.cpp    earthquakes
#pragma once

#include "model/PlaceClock.h"
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

    // What one GET brought: the reply's status and body (of any status), or
    // status 0 and no body when no whole reply came (transport error,
    // time-out, abort, body over 32 MiB, URL refused).
    struct HttpReply {
        long status = 0;
        std::string body;
        // No whole reply, though the service answered: its body was over
        // 32 MiB or in an encoding that could not be undone. A reply cut
        // off part-way is not unreadable: the network failed.
        bool unreadable = false;
        bool ok() const { return status >= 200 && status <= 299; }
    };

    // Blocking GET of a full URL. Failures other than an abort log one
    // warning whose label is the URL's scheme and host only. Safe from any
    // thread.
    HttpReply httpFetch(const std::string& url);
    // The same, giving the body of a 2xx reply, or "" on any failure.
    std::string httpGet(const std::string& url);

    // Uses the certificate bundle at `path` for every transfer and exports it
    // as SSL_CERT_FILE, when the file can be opened; otherwise nothing changes.
    // Start-up thread only, before any transfer.
    static void setCaBundlePath(const std::string& path);
    static const std::string& caBundlePath();

    // ---- Base forecast -------------------------------------------------------

    // Why no forecast came: the service could not be reached (its reply
    // cut off part-way too), it answered with an error (an HTTP status, or
    // its own error reply), or its whole reply could not be read.
    struct ForecastFailure {
        enum Kind { Unreachable, Answered, Unreadable };
        Kind kind = Unreachable;
        long status = 0;  // the reply's HTTP status; 0 when none came
    };

    // The place's forecast from the cache when younger than 10 minutes and of
    // the place's present day, else fetched, parsed and cached; empty when
    // neither is available, and then `why` (when given) tells why.
    std::optional<WeatherData> fetchWeather(const GeoLocation& loc, ForecastFailure* why = nullptr);

    // Turns a forecast reply into a record for `loc`, in the zone the reply
    // names when that is a zone of the system's database (else in `loc`'s
    // own). Throws on an error reply, malformed JSON and values of the wrong
    // type.
    static WeatherData parseWeatherResponse(const std::string& body, const GeoLocation& loc);

    // ---- Forecast cache ------------------------------------------------------

    // Fresh: younger than `maxAgeMinutes` and made on the place's present day.
    bool hasFreshCache(const GeoLocation& loc, int maxAgeMinutes) const;
    std::optional<WeatherData> getCached(const GeoLocation& loc) const;
    void clearCache();
    // Whether the record was made on another day of its place than the one
    // holding the Unix time `now` (its current time's date against the place's
    // date by its zone, or by the record's offset when the zone is not known);
    // false for a record without a current time.
    static bool fromAnotherDay(const WeatherData& data, int64_t now);
    // Stores a record under `key` and evicts down to kForecastCacheLimit.
    // The caller holds forecastCacheMutex.
    void storeForecastLocked(const std::string& key, const WeatherData& data);

    // ---- Place search --------------------------------------------------------

    // Up to five places whose names match `query`; empty for an empty query
    // (then nothing is requested) and when the service found none; nothing
    // when it could not be reached or its reply could not be read.
    std::optional<std::vector<GeoLocation>> searchPlaces(const std::string& query);
    // The same with a failure as an empty list.
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

    // ---- Models --------------------------------------------------------------

    // Model ids of the model series, as the forecast service names them; they
    // are also the labels the history store scores forecasts under.
    static constexpr const char* kSeriesModels[] = {"icon_seamless", "gfs_seamless", "ecmwf_ifs04", "gem_seamless",
                                                    "jma_seamless"};

    // Rebuilds data.modelSeries from five models' daily highs, lows and rain
    // chances for the record's days, and sets each day's spread where at
    // least two models give a high and two a low (pulling the record's own
    // high and low into that range). Nothing changes when the reply is
    // empty or unreadable; no request without days.
    void fetchUncertaintyBand(const GeoLocation& loc, WeatherData& data);
    // Reads a model-series reply into `data` as above. Never throws except
    // on exhausted memory.
    static void parseUncertaintyBand(const std::string& body, WeatherData& data);

    // ---- Ensemble ------------------------------------------------------------

    // How long an ensemble reply is reused for a place.
    static constexpr std::chrono::hours kEnsembleMaxAge{3};

    // Per day of the record: the ensemble's member count, wet count and
    // rain-total percentiles, plus the series "ens" in data.modelSeries
    // (replaced when present). The reply is kept for kEnsembleMaxAge per
    // place, only when it could be read.
    void fetchEnsemble(const GeoLocation& loc, WeatherData& data);
    // Reads an ensemble reply into `data`. Returns whether the reply was
    // usable (the expected shape with at least five rain members); the
    // record changes only then. Never throws except on exhausted memory.
    static bool parseEnsemble(const std::string& body, WeatherData& data);

    // ---- Run trend -----------------------------------------------------------

    // Per day of the record: how the newest run's high and rain total differ
    // from the run of two days before (or one day, when the older run does
    // not cover the day).
    void fetchRunTrend(const GeoLocation& loc, WeatherData& data);
    // Reads a previous-runs reply into the record's trend fields. Never
    // throws except on exhausted memory.
    static void parseRunTrend(const std::string& body, WeatherData& data);

    // ---- Seasonal ------------------------------------------------------------

    // How long a place's seasonal outlook is reused.
    static constexpr std::chrono::hours kSeasonalMaxAge{24};

    // Fills data.seasonalDates and data.seasonalHighs with the member mean of
    // the daily high over the next 92 days, from the cache when younger than
    // kSeasonalMaxAge.
    void fetchSeasonal(const GeoLocation& loc, WeatherData& data);
    // Reads a seasonal reply: one date and mean high per entry of "time"; a
    // date no member gave a number for is "" with 0.0. Both lists empty when
    // the reply is unreadable. Never throws except on exhausted memory.
    static void parseSeasonal(const std::string& body, std::vector<std::string>& dates, std::vector<double>& highs);

    // ---- Enrichment ----------------------------------------------------------

    // Fills every secondary source's part of the record, each source group on
    // a thread of its own, all at once; marks the record enriched and stores
    // it back into the forecast cache when the place still has an entry. A
    // record already enriched is left alone. Nothing a source does escapes.
    void enrichWeather(const GeoLocation& loc, WeatherData& data);

    // ---- Negative cache ------------------------------------------------------

    // Bits of the per-place negative cache: a set bit means that the source
    // has nothing for the place, so it is not asked again (for good).
    static constexpr int kNegMarine = 1;             // no modelled wave height
    static constexpr int kNegRiver = 2;              // no modelled river discharge
    static constexpr int kNegTideStation = 4;        // no tide station within 100 km
    static constexpr int kNegGauge = 8;              // no stream gauge near the place
    static constexpr int kNegWaterTemperature = 16;  // no water temperature at the tide station
    static constexpr int kNegBuoy = 32;              // no buoy within 150 km

    // Whether `key` (a place's cacheKey()) has any bit of `bit` set. Loads
    // negPath on first use.
    bool negHas(const std::string& key, int bit);
    // Sets `bit` for `key` and rewrites negPath (through a temporary file and
    // a rename) when that changed anything.
    void negSet(const std::string& key, int bit);
    // A place renamed where it stands: its flags join those of `newKey` and
    // leave `oldKey` (unless `keepOld`, another place still using that key).
    void negRename(const std::string& oldKey, const std::string& newKey, bool keepOld);
    // Reads negPath into negFlags once per run. The caller holds negMutex.
    void negLoadLocked();
    // The flags of a flags-file text: one JSON object of place key -> integer
    // mask (members of another type are skipped); empty for anything else.
    static std::unordered_map<std::string, int> parseNegFlags(const std::string& text);
    // The flags-file text of `flags`: compact, keys in ascending byte order,
    // bytes that are not UTF-8 written as U+FFFD.
    static std::string formatNegFlags(const std::unordered_map<std::string, int>& flags);

    // ---- Marine and tides ----------------------------------------------------

    struct TideStation {
        std::string id;
        std::string name;
        double latitude = 0;
        double longitude = 0;
    };

    // An empty tide-station list (download failed or held nothing) is asked
    // for again after this long; a filled one is kept for the run.
    static constexpr std::chrono::minutes kTideStationsRetry{30};

    // Fills data.tides: the modelled wave height for every place; for US
    // places the next four tides and the water temperature of the nearest
    // tide station within 100 km. Ends with fetchBuoy on the same record.
    void fetchTidesAndMarine(const GeoLocation& loc, WeatherData& data);

    // The current wave height of a marine reply; nothing when the reply is
    // well-formed but holds no usable height (an error object, no "current",
    // a null, negative or non-numeric height). Throws the JSON library's
    // parse error when the body is not JSON at all.
    static std::optional<double> parseMarineWave(const std::string& body);
    // The stations of a tide-station list, in reply order: a null entry or
    // one without coordinates is passed over, one with a null id is kept with
    // the id empty; a part of the wrong type ends the list, keeping the
    // stations read before it.
    static std::vector<TideStation> parseTideStations(const std::string& body);
    // At most four high and low tides of a predictions reply, in reply order:
    // an entry without its time or kind is passed over, one without a usable
    // height is kept with the height unknown; a part of the wrong type ends
    // the list, keeping the events read before it.
    static std::vector<TideEvent> parseTidePredictions(const std::string& body);
    // The latest water temperature of a reply; nothing when the reply is
    // well-formed but holds no reading. Throws the JSON library's parse error
    // when the body is not JSON.
    static std::optional<double> parseWaterTemperature(const std::string& body);

    std::vector<TideStation> tideStations;
    bool tideStationsLoaded = false;  // set before the download
    std::chrono::steady_clock::time_point tideStationsAttempt{};
    mutable std::mutex tideStationsMutex;  // taken before negMutex, never after

    // ---- Buoys ---------------------------------------------------------------

    struct BuoyStation {
        std::string id;
        std::string name;
        double latitude = 0;
        double longitude = 0;
    };

    // Adds the nearest buoy's (within 150 km) latest wave height and water
    // temperature to data.tides. Called by fetchTidesAndMarine.
    void fetchBuoy(const GeoLocation& loc, WeatherData& data);

    // The stations of a buoy station table ("|"-separated lines; malformed
    // lines skipped).
    static std::vector<BuoyStation> parseBuoyTable(const std::string& text);
    // Reads the newest observation of a buoy's realtime file: wave height (m,
    // -1 when missing) and water temperature (degC, -999 when missing). True
    // when either is present.
    static bool parseNdbcRealtime(const std::string& text, double& waveHeight, double& waterTemperature);

    std::vector<BuoyStation> buoyStations;
    bool buoyStationsLoaded = false;  // true once the table holds a station
    mutable std::mutex buoyStationsMutex;

    // ---- Rivers --------------------------------------------------------------

    // Fills data.flood with today's modelled river discharge and the week's
    // highest, then calls fetchStreamGauge.
    void fetchFlood(const GeoLocation& loc, WeatherData& data);
    // For US places, adds the latest discharge and gauge height of the nearest
    // active stream gauge within 50 km to data.flood.
    void fetchStreamGauge(const GeoLocation& loc, WeatherData& data);

    // The flood block of a river-discharge reply (gauge fields at their
    // defaults); nothing when the reply is read but has no known day.
    // Throws the JSON library's errors when the body is not JSON or not of the
    // expected shape (root not an object, "daily" neither object nor null).
    static std::optional<FloodInfo> parseFlood(const std::string& body);
    // Fills the gauge fields of `flood` from a stream-gauge reply when its
    // nearest site is within 50 km of (latitude, longitude) and has a reading.
    static void parseUsgsGauge(const std::string& body, double latitude, double longitude, FloodInfo& flood);

    // ---- Air quality ---------------------------------------------------------

    // Replaces data.airQuality with the place's current air quality.
    void fetchAirQuality(const GeoLocation& loc, WeatherData& data);
    // Reads an air-quality reply; throws the JSON library's errors on a
    // malformed body, a non-object root or "current", or a pollutant that is
    // not a number.
    static AirQuality parseAirQuality(const std::string& body);

    // ---- Station report ------------------------------------------------------

    // Replaces data.station with the report of the nearest airport weather
    // station when it is within 80 km.
    void fetchStationObs(const GeoLocation& loc, WeatherData& data);
    // The nearest usable report of a METAR reply (not valid when none).
    static StationObs parseMetar(const std::string& body, double latitude, double longitude);

    // ---- Official alerts -----------------------------------------------------

    // The alerts in force at `place` from its country's weather service (US,
    // Canada, Norway; none elsewhere), kept for 180 s per place (empty lists
    // too). Empty on any failure.
    std::vector<WeatherAlert> fetchOfficialAlerts(const GeoLocation& place);
    // Readers of the three replies; a feature that cannot be read is skipped.
    // The Canadian and Norwegian readers leave `location` empty. Times written
    // without an offset are readings of `clock`, the place's.
    static std::vector<WeatherAlert> parseNwsAlerts(const std::string& body, const std::string& placeName,
                                                    const PlaceClock& clock);
    static std::vector<WeatherAlert> parseCanadaAlerts(const std::string& body, const PlaceClock& clock);
    static std::vector<WeatherAlert> parseMetAlerts(const std::string& body, const PlaceClock& clock);

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
    // ---- Space weather ----------------------------------------------------------

    // The planetary K index, service-wide, kept 15 minutes: the space-weather
    // table first, the GFZ service when that gives nothing. Negative when
    // neither has a value (then nothing is kept and the next call asks again).
    double fetchKpIndex();
    // The last row's value of the K-index table (an array of arrays whose
    // element [1] is a text); -1 for any other shape.
    static double parseKpTable(const std::string& body);
    // The newest value of a GFZ reply ({"Kp": [..., number]}); -1 otherwise.
    static double parseGfzKp(const std::string& body);
    // The GFZ request's start: midnight UTC of the day 86400 s before `now`.
    static std::string kpFallbackStart(int64_t now);

    // Fills hasAurora, auroraProbability (the place's cell of the aurora grid,
    // kept 20 minutes) and kpForecastMax (the coming hours' highest forecast
    // K index, kept an hour).
    void fetchAurora(const GeoLocation& loc, WeatherData& data);
    // Probability in percent of the grid cell nearest to the point; -1 when
    // the document has none.
    static double parseAuroraProb(const std::string& document, double latitude, double longitude);
    // Highest "kp" of the first 16 forecast rows that are not observed and
    // whose time_tag is not before `now` (UTC "YYYY-MM-DDTHH:MM:SS"); -1 when
    // none.
    static double parseKpForecastMax(const std::string& document, const std::string& now);

    // Fills data.solar: the last M- or X-class flare of the week and its age,
    // and the 10.7 cm radio flux.
    void fetchSolarActivity(WeatherData& data);
    // The flare part of `out` from a flare list, ages counted to `now` (Unix
    // seconds); `out` is left alone when no strong flare is listed.
    static void parseSolarFlares(const std::string& body, int64_t now, SolarActivity& out);
    // The radio flux of a flux summary; -1 when it has no positive value.
    static double parseRadioFlux(const std::string& body);

    // ---- US forecast office day ------------------------------------------------

    // For US places: the office's high, low and highest rain chance of
    // tomorrow into data.nws; kept 30 minutes per place and date, the office
    // forecast URL kept for the run.
    void fetchNwsOpinion(const GeoLocation& loc, WeatherData& data);
    // The day `date` ("YYYY-MM-DD") of an office forecast; valid only when
    // both its day and its night period are listed.
    static ProviderForecast parseNwsDaily(const std::string& body, const std::string& date);
    // properties.forecast of a points reply; empty when absent.
    static std::string parseNwsForecastUrl(const std::string& body);

    // ---- Forecast discussion ---------------------------------------------------

    // For US places: the office's latest area forecast discussion into
    // afdText, afdOffice and afdIssued; kept 30 minutes per office.
    void fetchForecastDiscussion(const GeoLocation& loc, WeatherData& data);
    // The office id of a points reply ("cwa", else "gridId"); empty when
    // there is none or it is not a plain office code.
    static std::string parseAfdOffice(const std::string& body);
    // URL ("@id") and issue time of the first product of a product list.
    struct AfdListing {
        std::string url;
        std::string issued;
    };
    static AfdListing parseAfdList(const std::string& body);
    // "productText" of a product; empty when absent.
    static std::string parseAfdProduct(const std::string& body);

    // ---- Second forecast service -----------------------------------------------

    // Tomorrow's high and low from MET Norway into data.metNorway; kept
    // 30 minutes per place and date.
    void fetchMetNorway(const GeoLocation& loc, WeatherData& data);
    // Highest and lowest air temperature of the local day `date` of a
    // Locationforecast reply, its UTC instants read on the place's clock;
    // valid from 18 samples on.
    static ProviderForecast parseMetNorway(const std::string& body, const std::string& date, const PlaceClock& clock);

    // ---- Earthquakes -----------------------------------------------------------

    // Up to five notable earthquakes of the past week within 500 km, from the
    // USGS catalogue merged with the EMSC catalogue, into data.quakes.
    void fetchQuakes(const GeoLocation& loc, WeatherData& data);
    // A USGS GeoJSON reply: at most 3 events, in reply order. `now` in Unix
    // seconds.
    static QuakeInfo parseQuakes(const std::string& body, double lat, double lon, long long now);
    // An EMSC reply: events of magnitude 2.5 and more within 500 km, largest
    // first, at most 5.
    static QuakeInfo parseEmscQuakes(const std::string& body, double lat, double lon, long long now);
    // Adds the events of `other` that `target` does not already hold (within
    // 0.5 magnitude and 15 minutes), largest first, at most 5.
    static void mergeQuakes(QuakeInfo& target, const QuakeInfo& other);
    // The catalogues' start date: the UTC date 7 days before `now`.
    static std::string quakeStartDate(long long now);

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
    // The cached record when younger than maxAgeMinutes (checked and copied
    // under one lock) and made on the place's present day.
    std::optional<WeatherData> freshCopy(const GeoLocation& loc, int maxAgeMinutes) const;
};

// Great-circle distance in km between two points given in degrees.
double haversineKm(double lat1, double lon1, double lat2, double lon2);

// Reads "YYYY-MM-DD[THH:MM[:SS]]" and an optional zone suffix. With a suffix
// ("Z", "+05:30", "-0500") the time is that zone's clock time: UTC minus the
// offset; without one it is a reading of `clock` (a repeated hour is taken
// the first time). The zero time point when fewer than three numbers read or
// the time lies beyond what a time point holds.
std::chrono::system_clock::time_point parseIsoTime(const std::string& text, const PlaceClock& clock);

// `value` in fixed notation with `decimals` digits after a point, independent
// of the locale (coordinates in request queries).
std::string formatFixed(double value, int decimals);

}  // namespace nbr
