// The records every part of the program passes around: places, alerts,
// forecast entries, enrichment blocks and the weather record of one place.
// All are plain values, copied between threads; none holds a lock or a
// pointer into another. Units are metric as the forecast service delivers
// them (degC, km/h, mm, cm of snow, hPa). Missing values are -1 for
// quantities that cannot be negative and for weather codes, and -999 for
// temperatures; the weather values of a record and of its entries start out
// missing, so a value no reader set shows as unknown rather than as 0.
#pragma once

#include "model/SkillTypes.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nbr {

// The markers of a value the service did not give, and the tests for them
// (NaN is not known either).
inline constexpr double kUnknownTemperature = -999;
inline constexpr double kUnknownAmount = -1;
inline constexpr int kUnknownCode = -1;
inline bool knownTemperature(double celsius) { return celsius > -900; }
inline bool knownAmount(double value) { return value >= 0; }
inline bool knownCode(int code) { return code >= 0; }
// A change between two values, such as the run trend's: NaN when either is
// unknown.
inline bool knownChange(double delta) { return std::isfinite(delta); }

// ---- Places and alerts ------------------------------------------------------

struct GeoLocation {
    std::string name;
    std::string country;  // the geocoder's "country_code", such as "US"
    std::string admin1;
    double latitude = 0.0;
    double longitude = 0.0;
    std::string timezone;
    bool customLabel = false;  // name typed by the user

    // name "@" spot(): the key of every per-place cache and file.
    std::string cacheKey() const;
    // latitude "," longitude, both fixed with 4 decimals: where the place
    // stands, as its key tells it.
    std::string spot() const;
};

// Whether two places stand on the same spot (their keys' coordinates agree):
// an edit that keeps it renames a place, one that changes it moves the place.
inline bool sameSpot(const GeoLocation& a, const GeoLocation& b) { return a.spot() == b.spot(); }

// Latitude -90..90 and longitude -180..180 (NaN is neither): coordinates
// typed by the user or read from a reply outside these are no place on Earth.
bool coordinatesInRange(double latitude, double longitude);

struct SavedLocation : GeoLocation {
    bool isDefault = false;  // added while the list was empty
};

// Stored in alert keys and the alert state file: the values never change.
enum AlertKind : int {
    SevereWeather = 0,
    TemperatureChange = 1,
    RainExpected = 2,
    SnowExpected = 3,
    HailWarning = 4,
    HighWind = 5,
    FreezingPrecipitation = 6,
    Official = 7,
    SkyEvent = 8,
};

struct WeatherAlert {
    AlertKind kind = SevereWeather;
    std::string title;
    // The text; a rule alert's holds slots worded when it is shown (see
    // alertMessageOn): "{day}", "{place}", "{temp}" and "{wind}".
    std::string message;
    std::string location;
    std::chrono::system_clock::time_point issued{};
    bool official = false;
    std::string id;        // source identifier of an official alert
    std::string severity;  // source severity word of an official alert
    std::chrono::system_clock::time_point expires{};  // zero: no expiry
    std::string dayKey;    // the place's date "YYYY-MM-DD" a rule alert concerns
    std::string madeOn;    // the place's date the alert was made on
    std::string placeKey;  // cacheKey of the place it concerns; empty for none
    double value = 0;      // what "{temp}" (degC) or "{wind}" (km/h) stands for

    // Decides whether two alerts are the same one: an official warning by
    // its source's identifier, any other by its kind, its place (the place's
    // key, else its name) and its day.
    std::string deduplicationKey() const;
};

// The place a key of a place's alert ("<kind>|<place>|<day>") names: the
// place's key, or, in a key of an older file, its name alone. Nothing for
// an official warning's key, which goes by its source's identifier.
std::optional<std::string> alertKeyPlace(const std::string& key);

// The key an alert filed under `key` goes by once its place is called
// `newName` instead of `oldName` (a place's key or its name): the same kind
// and day under the new name. Nothing for a key of another place or of an
// official warning, which goes by its source's identifier.
std::optional<std::string> renamedAlertKey(const std::string& key, const std::string& oldName,
                                           const std::string& newName);
// Whether `key` is the key of an alert filed for a place called `name` (a
// place's key or its name; never so for an official warning's key).
bool isPlaceAlertKey(const std::string& key, const std::string& name);

// The words naming the day `days` (0 or more) after the place's date:
// "today", "tomorrow", "in the next few days"; of a night, "tonight",
// "tomorrow night", "in 2 nights".
std::string alertDayWords(int days, bool night);

// How an alert is worded when shown.
struct AlertWording {
    std::string placeDate;  // the place's date now; "" when not known
    bool fahrenheit = false;
    std::string placeTitle;  // where another saved place shares the name: the place's title
    int windUnit = 1;        // as the settings' (see speedText); km/h, the record's own, unless told
};
// An alert's message as worded now: "{day}" names its day (its night for a
// sky event) as seen from the place's date (from the date it was made on
// when that is not known), "{temp}" and "{wind}" give `value` as the window
// words temperatures and speeds in the units asked for (temperatureText,
// speedText), and "{place}" is the place's name, or its title when given. An
// alert of a titled place without "{place}" ends with the title in brackets.
std::string alertMessageOn(const WeatherAlert& alert, const AlertWording& wording);

// An alert as filed in the application's notification list.
struct Notification {
    WeatherAlert alert;
    std::chrono::system_clock::time_point receivedAt{};
    bool acknowledged = false;
};

// ---- Forecast entries -------------------------------------------------------

struct HourlyForecast {
    std::string time;  // local "YYYY-MM-DDTHH:MM"
    double temperature = kUnknownTemperature;
    int weatherCode = kUnknownCode;
    double precipitation = kUnknownAmount;
    double snowfall = kUnknownAmount;
    double precipitationProbability = kUnknownAmount;
    double uvIndex = kUnknownAmount;
    double surfacePressure = kUnknownAmount;
    double windSpeed = kUnknownAmount;
    double windDirection = kUnknownAmount;
    double tempCorrection = 0;                // added to temperature by the bias correction
    double rawPrecipitationProbability = -1;  // chance before calibration; -1 none
    double snowDepth = kUnknownAmount;
    double freezingLevelHeight = kUnknownAmount;
    double cloudCover = kUnknownAmount;
};

struct DailyForecast {
    std::string date;  // local "YYYY-MM-DD"
    int weatherCode = kUnknownCode;
    double temperatureMax = kUnknownTemperature;
    double temperatureMin = kUnknownTemperature;
    double precipitationSum = kUnknownAmount;
    double rainSum = kUnknownAmount;
    double snowfallSum = kUnknownAmount;
    double precipitationProbabilityMax = kUnknownAmount;
    // Model spread
    bool hasModelSpread = false;
    double highMin = 0;
    double highMax = 0;
    double lowMin = 0;
    double lowMax = 0;
    std::string sunrise;
    std::string sunset;
    double uvIndexMax = kUnknownAmount;
    double daylightDuration = kUnknownAmount;  // seconds
    // Bias correction traces
    bool corrected = false;
    double highCorrection = 0;
    double lowCorrection = 0;
    bool popCalibrated = false;
    double rawPrecipitationProbability = 0;
    // Consensus rain chance
    bool popConsensus = false;
    double popMin = 0;
    double popMax = 0;
    uint32_t popSources = 0;
    double ownPrecipitationProbability = -1;
    // Rain-amount scaling
    bool amountScaled = false;
    double amountFactor = 1.0;
    // Ensemble
    uint32_t ensembleMembers = 0;
    int ensembleWetMembers = 0;
    double ensembleP10 = -1;
    double ensembleP50 = -1;
    double ensembleP90 = -1;
    // Run-to-run trend; a change the runs do not tell is NaN (knownChange).
    bool hasRunTrend = false;
    int runTrendDaysBack = 0;
    double runTrendTempDelta = 0;
    double runTrendPrecipDelta = 0;
};

struct MinutelyForecast {
    std::string time;
    double precipitation = kUnknownAmount;  // mm in the quarter hour
    int weatherCode = kUnknownCode;
};

// One model's daily values, index i belonging to daily entry i; quiet NaN
// where the model gave nothing for that day.
struct ModelDailySeries {
    std::string model;  // such as "icon_seamless", or "ens"
    std::vector<double> highs;
    std::vector<double> lows;
    std::vector<double> precipitationProbabilities;
};

// ---- Enrichment blocks ------------------------------------------------------

struct AirQuality {
    bool valid = false;
    double usAqi = -1;
    double europeanAqi = -1;
    double pm2_5 = -1;
    double pm10 = -1;
    double ozone = -1;
    double nitrogenDioxide = -1;
    double sulphurDioxide = -1;
    double carbonMonoxide = -1;
    double alderPollen = -1;
    double birchPollen = -1;
    double grassPollen = -1;
    double mugwortPollen = -1;
    double olivePollen = -1;
    double ragweedPollen = -1;
};

struct TideEvent {
    std::string time;  // station local "HH:MM"
    bool high = false;
    std::optional<double> height;  // m above the station's datum (may be below 0); none when unknown
};

struct TideInfo {
    bool valid = false;
    bool hasPredictions = false;
    std::string stationName;
    std::vector<TideEvent> events;
    double waveHeight = -1;
    double waterTemperature = -999;
    bool hasBuoy = false;
    std::string buoyId;
    double buoyDistanceKm = 0;
    double buoyWaveHeight = -1;
    double buoyWaterTemperature = -999;
};

struct FloodInfo {
    bool valid = false;
    double riverDischarge = -1;     // m3/s
    double riverDischargeMax = -1;  // m3/s
    bool hasGauge = false;
    std::string gaugeSite;
    double gaugeDistanceKm = 0;
    double gaugeDischarge = -1;  // m3/s
    double gaugeHeight = -1;     // m
};

// Another forecast service's view of tomorrow.
struct ProviderForecast {
    bool valid = false;
    std::string source;
    std::string date;
    double temperatureMax = 0;
    double temperatureMin = 0;
    double precipitationProbability = -1;
};

struct QuakeEvent {
    double magnitude = 0;
    double distanceKm = 0;  // negative: the event's position is unknown
    std::string place;
    double hoursAgo = 0;
};

struct QuakeInfo {
    bool valid = false;
    std::vector<QuakeEvent> events;  // largest first, at most five
};

struct SolarActivity {
    bool valid = false;
    std::string flareClass;
    double flareHoursAgo = -1;
    double radioFlux = -1;  // sfu
};

struct StationObs {
    bool valid = false;
    std::string id;
    double distanceKm = 0;
    double temperature = -999;
    double windSpeed = -1;
    double windGusts = -1;
    double visibilityKm = -1;
};

struct IssPass {
    int64_t start = 0;    // Unix seconds
    int64_t maxTime = 0;
    int64_t end = 0;
    double maxElevation = 0;  // degrees
    double startAzimuth = 0;
    double endAzimuth = 0;
    bool visible = false;  // sunlit against a dark sky at some moment
};

// ---- The weather record -----------------------------------------------------

struct WeatherData {
    GeoLocation location;
    double temperature = kUnknownTemperature;
    double apparentTemperature = kUnknownTemperature;
    double relativeHumidity = kUnknownAmount;
    double precipitation = kUnknownAmount;
    double rain = kUnknownAmount;
    double snowfall = kUnknownAmount;
    int weatherCode = kUnknownCode;
    double cloudCover = kUnknownAmount;
    double pressureMsl = kUnknownAmount;
    double dewPoint = kUnknownTemperature;
    double visibility = kUnknownAmount;  // m
    double uvIndex = kUnknownAmount;
    double windSpeed = kUnknownAmount;
    double windDirection = kUnknownAmount;
    double windGusts = kUnknownAmount;
    std::string time;  // local "YYYY-MM-DDTHH:MM" of the observation

    // From the hour holding the reply's present, at most a week (168); read
    // the coming hours as of now with hoursFrom.
    std::vector<HourlyForecast> hourly;
    std::vector<DailyForecast> daily;          // entry 0 is the reply's today
    std::vector<MinutelyForecast> minutely15;  // from the step holding the reply's present, at most 8

    AirQuality airQuality;
    ArchiveNormals normals;
    TideInfo tides;
    FloodInfo flood;
    ProviderForecast metNorway;
    ProviderForecast nws;
    bool popConsensusApplied = false;
    AnalogOutlook analogs;
    ArchiveInsights insights;
    QuakeInfo quakes;
    SolarActivity solar;
    bool issComputed = false;
    std::vector<IssPass> issPasses;
    bool hasAurora = false;
    double auroraProbability = -1;
    double kpForecastMax = -1;
    StationObs station;
    SeasonalAnomaly seasonalAnomaly;
    std::vector<std::string> seasonalDates;
    std::vector<double> seasonalHighs;
    std::vector<ModelDailySeries> modelSeries;
    std::string afdText;
    std::string afdOffice;
    std::string afdIssued;
    int utcOffsetSeconds = 0;
    double kpIndex = -1;
    bool enriched = false;
    bool hasPressureTrend = false;
    double pressureTrend3h = 0;
    bool hasYesterday = false;
    double yesterdayHigh = 0;
    double yesterdayLow = 0;
    double yesterdayPrecip = -1;
    // The day before today's sunrise and sunset, as the reply wrote them: its
    // sunset may fall after today's midnight.
    std::string yesterdaySunrise;
    std::string yesterdaySunset;
    ForecastSkill skill;
    std::vector<HistoryDay> history;
    // When the reply was read, on the wall clock: the record's age goes on
    // while the computer sleeps. None (the epoch) before a fetch.
    std::chrono::system_clock::time_point fetchedAt{};
};

}  // namespace nbr
