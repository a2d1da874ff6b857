// Recording enriched data: archive days, other sources' day-ahead forecasts
// and station observations join the history log once each, and today's
// logged rain chances follow the consensus, through a rewrite when needed.
#include "history/HistoryStore.h"
#include "model/Dates.h"
#include "model/WeatherTypes.h"

#include "TestEnv.h"

#include <cmath>
#include <filesystem>

using nbr::ArchiveStore;
using nbr::HistoryStore;
using nbr::WeatherData;
using nbr::test::readFile;
using nbr::test::TempDir;

namespace {

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Today 2024-05-01 at `time`, tomorrow 2024-05-02, nothing enriched yet.
WeatherData refreshAt(const std::string& time = "2024-05-01T14:15") {
    WeatherData d;
    d.location.name = "Testville";
    d.location.latitude = 47.5;
    d.location.longitude = -122.25;
    d.time = time;
    d.temperature = 0;
    d.daily.resize(3);
    for (int k = 0; k < 3; ++k) {
        d.daily[k].date = nbr::addDays("2024-05-01", k);
        d.daily[k].temperatureMax = 20 + k;
        d.daily[k].temperatureMin = 10 + k;
        d.daily[k].precipitationProbabilityMax = 40;
    }
    return d;
}

std::vector<ArchiveStore::Day> archiveDays(const std::string& last, int count) {
    std::vector<ArchiveStore::Day> days;
    for (int i = count - 1; i >= 0; --i) days.push_back({nbr::addDays(last, -i), 15.0 + i % 7, 5.0, i % 3 ? 0.0 : 1.5});
    return days;
}

struct Store {
    TempDir tmp;
    HistoryStore store;
    Store() { store.dir = tmp.path() + "/history"; }
    std::string file(const WeatherData& d) const { return store.pathFor(d.location.cacheKey()); }
    HistoryStore::Log& log(const WeatherData& d) { return store.logFor(d.location.cacheKey()); }
};

}  // namespace

TEST(HistoryEnriched, ArchiveDaysOfTheLast90DaysAreLoggedOnceNewestFirst) {
    Store s;
    WeatherData d = refreshAt();
    // Yesterday's truth came from the forecast service and stays.
    s.log(d).truth.push_back({"2024-04-30", 99, 98, 0, false});
    s.log(d).truthDates.insert("2024-04-30");
    // 120 days up to today: today and yesterday are not taken from the archive.
    auto days = archiveDays("2024-05-01", 120);
    days[110].tmin = nbr::kUnknownTemperature;  // nor a day without both temperatures
    s.store.recordEnriched(d, &days);

    const auto& log = s.log(d);
    ASSERT_EQ(log.truth.size(), 89u);  // 2024-02-01 to 2024-04-29, and the service's own
    EXPECT_EQ(log.truth[0].tmax, 99);
    EXPECT_EQ(log.truth[1].date, "2024-04-29");
    EXPECT_EQ(log.truth.back().date, "2024-02-01");
    EXPECT_TRUE(log.truth.back().fromArchive);
    EXPECT_EQ(readFile(s.file(d)).find(HistoryStore::lineOf(
                  HistoryStore::TruthRecord{"2024-04-29", days[117].tmax, 5, days[117].precip, true}) + "\n"),
              0u);
    EXPECT_EQ(d.skill.daysRecorded, 89);
    EXPECT_EQ(d.history.size(), 60u);

    // Next refresh the same day: nothing new from the archive.
    const std::string before = readFile(s.file(d));
    s.store.recordEnriched(d, &days);
    EXPECT_EQ(readFile(s.file(d)), before);

    // No readable today: no archive truths. No folder or a short time: nothing at all.
    Store t;
    WeatherData bad = refreshAt("2024-13-01T14:15");
    t.store.recordEnriched(bad, &days);
    EXPECT_TRUE(t.log(bad).truth.empty());
    HistoryStore off;
    off.recordEnriched(d, &days);
    WeatherData shortTime = refreshAt("2024-05-01T14");
    t.store.recordEnriched(shortTime, &days);
    EXPECT_TRUE(off.logs.empty());
    EXPECT_EQ(shortTime.skill.daysRecorded, 0);
}

TEST(HistoryEnriched, EverySourceLogsTomorrowOncePerDay) {
    Store s;
    WeatherData d = refreshAt();
    const double nan = std::nan("");
    d.modelSeries = {
        {"icon_seamless", {20, 21.5}, {9, 10.5}, {10, 30}},
        {"gfs_seamless", {20, nan}, {9, 10}, {}},      // no high tomorrow
        {"gem_seamless", {20}, {9}, {}},                // a single day
        {"jma_seamless", {20, 22}, {9, 11}, {10}},     // rain chances too short: -1
        {"ecmwf_ifs04", {20, 23}, {9, 12}, {10, nan}},  // no rain chance tomorrow: -1
    };
    d.metNorway = {true, "metnorway", "2024-05-02", 19.5, 8.5, 35};
    d.nws = {true, "nws", "2024-05-03", 18, 7, 20};  // not tomorrow
    d.daily[1].ownPrecipitationProbability = 25;     // the consensus kept the service's own value
    d.daily[1].popConsensus = true;
    d.daily[1].precipitationProbabilityMax = 45;
    s.store.recordEnriched(d, nullptr);

    std::string logged;
    for (const auto& m : s.log(d).mfcst)
        logged += m.made + " " + m.date + " " + m.model + " " + std::to_string(m.tmax) + " " + std::to_string(m.tmin) +
                  " " + std::to_string(m.pop) + "\n";
    EXPECT_EQ(logged,
              "2024-05-01 2024-05-02 icon_seamless 21.500000 10.500000 30.000000\n"
              "2024-05-01 2024-05-02 jma_seamless 22.000000 11.000000 -1.000000\n"
              "2024-05-01 2024-05-02 ecmwf_ifs04 23.000000 12.000000 -1.000000\n"
              "2024-05-01 2024-05-02 metnorway 19.500000 8.500000 35.000000\n"
              "2024-05-01 2024-05-02 openmeteo 21.000000 11.000000 25.000000\n");
    EXPECT_EQ(countOf(readFile(s.file(d)), "\n"), 5u);

    // Same day, changed values: nothing added. The next day: a new set, the
    // service's own line taking the day's chance when the consensus did not run.
    d.modelSeries[0].highs[1] = 30;
    s.store.recordEnriched(d, nullptr);
    EXPECT_EQ(s.log(d).mfcst.size(), 5u);
    WeatherData next = refreshAt("2024-05-02T09:00");
    next.daily[1].date = "2024-05-03";
    next.daily[1].precipitationProbabilityMax = 45;
    s.store.recordEnriched(next, nullptr);
    ASSERT_EQ(s.log(d).mfcst.size(), 6u);
    EXPECT_EQ(s.log(d).mfcst.back().pop, 45);

    Store u;  // the service's own day without its high is no forecast of it
    next.daily[1].temperatureMax = nbr::kUnknownTemperature;
    u.store.recordEnriched(next, nullptr);
    EXPECT_TRUE(u.log(next).mfcst.empty());
    next.daily[1].temperatureMax = 21;

    // No tomorrow's date: no source lines at all.
    Store t;
    next.daily[1].date.clear();
    t.store.recordEnriched(next, nullptr);
    EXPECT_TRUE(t.log(next).mfcst.empty());
}

TEST(HistoryEnriched, StationObservationsWithinRangeAtMostHourly) {
    const struct {
        double km, temp;
        bool logged;
    } stations[] = {{30.0, 12, true}, {30.5, 12, false}, {5, -999, false}, {std::nan(""), 12, false}, {0, 12, true}};
    for (const auto& c : stations) {
        Store s;
        WeatherData d = refreshAt();
        d.station = {true, "KSEA", c.km, c.temp, -1, -1, -1};
        s.store.recordEnriched(d, nullptr);
        EXPECT_EQ(s.log(d).obs.size(), c.logged ? 1u : 0u) << c.km << " " << c.temp;
    }

    Store s;
    WeatherData d = refreshAt("2024-05-01T14:00");
    d.station = {true, "KSEA", 8, 12.5, 20, -1, -1};
    d.windSpeed = 9;
    d.relativeHumidity = 70;
    d.weatherCode = 0, d.precipitation = 0, d.pressureMsl = 1013.5;
    s.store.recordEnriched(d, nullptr);
    const std::string station =
        "{\"code\":0,\"hum\":70.0,\"precip\":0.0,\"pres\":1013.5,\"src\":\"stn\",\"t\":\"obs\",\"temp\":12.5,"
        "\"time\":\"2024-05-01T14:00\",\"wind\":20.0}\n";
    EXPECT_TRUE(readFile(s.file(d)).ends_with(station));
    d.time = "2024-05-01T14:59";  // 59 minutes: not again
    s.store.recordEnriched(d, nullptr);
    d.time = "2024-05-01T15:00";  // 60 minutes; the record's wind when the station has none
    d.station.windSpeed = -1;
    s.store.recordEnriched(d, nullptr);
    auto& log = s.log(d);
    ASSERT_EQ(log.obs.size(), 2u);
    EXPECT_EQ(log.obs[1].wind, 9);
    EXPECT_EQ(log.lastStationObsTime, "2024-05-01T15:00");
    EXPECT_TRUE(log.lastObsTime.empty());
}

TEST(HistoryEnriched, TodaysLoggedRainChancesFollowTheConsensus) {
    Store s;
    WeatherData d = refreshAt();
    s.store.record(d);  // logs today's forecasts with 40
    const std::string file = s.file(d);
    ASSERT_EQ(countOf(readFile(file), "\"pop\":40.0"), 2u);

    d.daily[1].popConsensus = true;
    d.daily[1].precipitationProbabilityMax = 40.4;  // under half a point: unchanged, appended only
    s.store.recordEnriched(d, nullptr);
    EXPECT_EQ(countOf(readFile(file), "\"pop\":40.0"), 2u);
    EXPECT_EQ(countOf(readFile(file), "\"pop\":40.4"), 0u);  // the service's own line: none of its own (-1)

    d.daily[1].precipitationProbabilityMax = 40.5;  // rewritten whole
    d.daily[2].popConsensus = true;
    d.daily[2].precipitationProbabilityMax = 70;
    d.station = {true, "KSEA", 8, 12.5, 20, -1, -1};  // a new line with the rewrite
    s.store.recordEnriched(d, nullptr);
    const std::string text = readFile(file);
    EXPECT_EQ(countOf(text, "\"t\":\"fcst\""), 2u);
    EXPECT_EQ(countOf(text, "\"pop\":40.5"), 1u);
    EXPECT_EQ(countOf(text, "\"pop\":70.0"), 1u);
    EXPECT_EQ(countOf(text, "\"src\":\"stn\""), 0u);  // rewritten observations carry no "src"
    EXPECT_EQ(countOf(text, "\"t\":\"obs\""), 2u);

    // When the rewrite cannot be made the new lines are appended instead.
    std::filesystem::create_directories(file + ".tmp");
    d.daily[1].precipitationProbabilityMax = 60;
    d.time = "2024-05-01T16:15";
    s.store.recordEnriched(d, nullptr);
    EXPECT_EQ(s.log(d).fcst[0].pop, 60);
    const std::string after = readFile(file);
    EXPECT_NE(after.find("\"src\":\"stn\"", after.rfind('{')), std::string::npos);
    EXPECT_EQ(countOf(readFile(file), "\"pop\":60.0"), 0u);
}
