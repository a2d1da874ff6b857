// The history log file: exact line format, loading what can be read, caps
// and rewrites, and the recorder's rules for what one refresh logs.
#include "history/HistoryStore.h"
#include "model/Dates.h"
#include "model/PlaceClock.h"
#include "model/WeatherTypes.h"

#include "TestEnv.h"

#include <cmath>
#include <filesystem>
#include <sstream>

using nbr::HistoryStore;
using nbr::WeatherData;
using nbr::test::readFile;
using nbr::test::TempDir;
using nbr::test::writeFile;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

WeatherData refreshAt(const std::string& time) {
    WeatherData d;
    d.location.name = "Testville";
    d.location.latitude = 47.5;
    d.location.longitude = -122.25;
    d.time = time;
    d.temperature = 0;
    return d;
}

struct Store {
    TempDir tmp;
    HistoryStore store;
    Store() { store.dir = tmp.path() + "/history"; }
    std::string file(const WeatherData& d) const { return store.pathFor(d.location.cacheKey()); }
};

}  // namespace

TEST(HistoryFile, NamesFilesAfterThePlaceKeyWithUnsafeBytesReplaced) {
    HistoryStore s;
    s.dir = "/data/history";
    nbr::GeoLocation ny{"New York", "US", "", 40.7128, -74.0060, "", false};
    EXPECT_EQ(s.pathFor(ny.cacheKey()), "/data/history/New_York_40.7128_-74.0060.jsonl");
    nbr::GeoLocation sp{"S\xC3\xA3o Paulo", "BR", "", -23.5505, -46.6333, "", false};
    EXPECT_EQ(s.pathFor(sp.cacheKey()), "/data/history/S__o_Paulo_-23.5505_-46.6333.jsonl");
}

TEST(HistoryFile, RefreshWritesSortedCompactLinesInRecordingOrder) {
    Store s;
    WeatherData d = refreshAt("2024-05-01T14:15");
    d.temperature = 21.5;
    d.relativeHumidity = 55;
    d.pressureMsl = 1013.25;
    d.windSpeed = 12;
    d.precipitation = 0;
    d.weatherCode = 3;
    d.hasYesterday = true;
    d.yesterdayHigh = 20;
    d.yesterdayLow = 10.5;
    d.yesterdayPrecip = -1;
    d.daily.resize(4);
    d.daily[0].date = "2024-05-01";
    d.daily[1] = {};
    d.daily[1].date = "2024-05-02";
    d.daily[1].temperatureMax = 22;
    d.daily[1].temperatureMin = 12;
    d.daily[1].precipitationProbabilityMax = 40;
    d.daily[1].precipitationSum = 2.5;
    d.daily[1].weatherCode = 61;
    d.daily[2].date = "";  // skipped
    d.daily[3] = d.daily[1], d.daily[3].date = "2024-05-04", d.daily[3].temperatureMin = nbr::kUnknownTemperature;
    // From 13:00: the 24 hours from the one holding 14:15, but for one without a temperature or an hour.
    for (int64_t i = 0; i < 26; ++i)
        d.hourly.push_back({nbr::PlaceClock::fixed(0).minuteOf(1714568400 + 3600 * i), i * 0.5});
    d.hourly[2].temperature = nbr::kUnknownTemperature;
    d.hourly[3].time = "2024-05-01T1";  // too short to hold an hour
    s.store.record(d);

    const std::string file = readFile(s.file(d));
    EXPECT_EQ(linesOf(file).size(), 3u + 22u);  // no forecast of 05-04; hours to 13:00 the next day
    EXPECT_EQ(file.substr(0, file.find("{\"c\":2.0,\"d\":\"2024-05-01\",\"h\":17,")),
              "{\"code\":3,\"hum\":55.0,\"precip\":0.0,\"pres\":1013.25,\"t\":\"obs\",\"temp\":21.5,"
              "\"time\":\"2024-05-01T14:15\",\"wind\":12.0}\n"
              "{\"date\":\"2024-04-30\",\"t\":\"truth\",\"tmax\":20.0,\"tmin\":10.5}\n"
              "{\"code\":61,\"date\":\"2024-05-02\",\"lead\":1,\"made\":\"2024-05-01\",\"pop\":40.0,"
              "\"precip\":2.5,\"t\":\"fcst\",\"tmax\":22.0,\"tmin\":12.0}\n"
              "{\"c\":0.5,\"d\":\"2024-05-01\",\"h\":14,\"t\":\"hf\"}\n");
    const auto& log = s.store.logs.at(d.location.cacheKey());
    EXPECT_EQ(log.truth.at(0).precip, -1);
    EXPECT_TRUE(log.hfKeys.count("2024-05-01|14"));
    EXPECT_TRUE(log.hfKeys.count("2024-05-02|13"));

    WeatherData next = refreshAt("2024-05-02T09:00");
    next.hasYesterday = true, next.yesterdayHigh = 21, next.yesterdayLow = nbr::kUnknownTemperature;
    s.store.record(next);
    EXPECT_FALSE(log.truthDates.count("2024-05-01"));  // yesterday without its low is no verified day
}

TEST(HistoryFile, OtherKindsAndOptionalKeysAreWrittenAsStored) {
    HistoryStore::TruthRecord t{"2024-04-30", 20, 10, 3.5, true};
    EXPECT_EQ(HistoryStore::lineOf(t),
              "{\"date\":\"2024-04-30\",\"precip\":3.5,\"src\":\"arc\",\"t\":\"truth\",\"tmax\":20.0,\"tmin\":10.0}");
    HistoryStore::MFcstRecord m{"2024-05-01", "2024-05-02", "icon_seamless", 21, 9.25, -1};
    EXPECT_EQ(HistoryStore::lineOf(m),
              "{\"date\":\"2024-05-02\",\"made\":\"2024-05-01\",\"model\":\"icon_seamless\","
              "\"t\":\"mfcst\",\"tmax\":21.0,\"tmin\":9.25}");  // no chance: left out
    // A label that is not valid UTF-8 still makes a readable line.
    m.model = "bad\xFF";
    EXPECT_NE(HistoryStore::lineOf(m).find("bad\xEF\xBF\xBD"), std::string::npos);
}

TEST(HistoryFile, LoadKeepsReadableLinesAndSkipsTheRest) {
    Store s;
    const std::string key = "Here@1.0000,2.0000";
    writeFile(s.store.pathFor(key),
              "{\"t\":\"truth\",\"date\":\"2024-04-01\",\"tmax\":10.0,\"tmin\":1.0}\r\n"
              "\n"
              "[1,2,3]\n"
              "{\"t\":\"truth\",\"date\":\"2024-04-01\",\"tmax\":99.0,\"tmin\":99.0,\"precip\":5.0}\n"
              "{\"t\":\"truth\",\"date\":\"2024-04-02\",\"tmax\":11.0,\"tmin\":2.0,\"src\":\"arc\",\"precip\":0.0}\n"
              "{\"t\":\"truth\",\"date\":\"2024-04-03\",\"tmax\":11.0,\"tmin\":2.0,\"src\":7}\n"
              "{\"t\":\"truth\",\"date\":\"2024-04-04\",\"tmax\":11.0,\"tmin\":2.0,\"src\":\"other\"}\n"
              "{\"t\":\"fcst\",\"made\":\"2024-04-01\",\"date\":\"2024-04-02\",\"lead\":1,\"tmax\":12.0}\n"
              "{\"t\":\"fcst\",\"made\":\"2024-04-01\",\"date\":\"2024-04-02\",\"lead\":1,\"tmax\":13.0}\n"
              "{\"t\":\"fcst\",\"made\":\"2024-04-01\",\"date\":\"\",\"lead\":1}\n"
              "{\"t\":\"obs\",\"time\":\"2024-04-02T10:00\",\"temp\":null}\n"
              "{\"t\":\"obs\",\"time\":\"2024-04-02T11:00\",\"temp\":\"warm\"}\n"
              "{\"t\":\"obs\",\"time\":\"2024-04-02T12:00\",\"temp\":8.0,\"src\":\"stn\"}\n"
              "{\"t\":\"obs\",\"time\":\"2024-04-02T12:30\",\"hum\":50.0}\n"
              "{\"t\":\"obs\",\"time\":\"2024-04-02T13:00\",\"temp\":9.0} trailing\n"
              "{\"t\":\"hf\",\"d\":\"2024-04-02\",\"c\":5.0}\n"
              "{\"t\":\"hf\",\"d\":\"2024-04-02\",\"h\":24,\"c\":5.0}\n"
              "{\"t\":\"hf\",\"d\":\"2024-04-02\",\"h\":0,\"c\":5.0}\n"
              "{\"t\":\"hf\",\"d\":\"2024-04-02\",\"h\":1e300,\"c\":5.0}\n"
              "{\"t\":\"mfcst\",\"made\":\"2024-04-01\",\"date\":\"2024-04-02\",\"model\":\"nws\",\"tmax\":1.0}\n"
              "{\"t\":\"mfcst\",\"made\":\"2024-04-01\",\"date\":\"2024-04-03\",\"model\":\"a\",\"x\":{\"y\":[1]}}\n"
              "{\"t\":\"mfcst\",\"made\":\"2024-04-01\",\"date\":\"2024-04-04\",\"model\":[\"a\"]}\n"
              "\"just text\"\n"
              "{\"t\":\"wind\",\"time\":\"2024-04-02T14:00\"}\n"
              "{\"time\":\"2024-04-02T15:00\"}\n"
              "{\"t\":\"obs\",\"time\":\"2024-04-02T16:00\",\"temp\":7.0");  // torn, no line end
    auto& log = s.store.logFor(key);
    EXPECT_TRUE(log.loaded);
    ASSERT_EQ(log.truth.size(), 3u);
    EXPECT_EQ(log.truth[0].tmax, 10.0);  // first line of a date wins
    EXPECT_EQ(log.truth[0].precip, -1);
    EXPECT_TRUE(log.truth[1].fromArchive);
    EXPECT_FALSE(log.truth[2].fromArchive);
    ASSERT_EQ(log.fcst.size(), 2u);  // repeated key: both kept, key once
    EXPECT_EQ(log.fcstKeys.size(), 1u);
    EXPECT_EQ(log.fcst[0].precip, -1);
    ASSERT_EQ(log.obs.size(), 2u);
    EXPECT_EQ(log.obs[0].time, "2024-04-02T12:00");
    EXPECT_EQ(log.obs[1].temp, nbr::kUnknownTemperature);  // a left-out temperature is not known, never 0
    EXPECT_EQ(log.lastObsTime, "2024-04-02T12:30");
    ASSERT_EQ(log.hf.size(), 1u);
    EXPECT_EQ(log.hf[0].hour, 0);
    ASSERT_EQ(log.mfcst.size(), 2u);  // an unknown nested member is ignored, a known one is not
    EXPECT_EQ(log.mfcst[0].pop, -1);

    // A rewrite drops what could not be read; truths come first, then the
    // other kinds in a fixed order; no "precip" for an unknown amount and no
    // "src" on observations.
    ASSERT_TRUE(s.store.rewrite(key, log));
    const auto lines = linesOf(readFile(s.store.pathFor(key)));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "{\"date\":\"2024-04-01\",\"t\":\"truth\",\"tmax\":10.0,\"tmin\":1.0}");
    EXPECT_EQ(lines[1].rfind("{\"date\":\"2024-04-02\",\"precip\":0.0,\"src\":\"arc\",", 0), 0u);
    EXPECT_NE(lines[3].find("\"t\":\"fcst\""), std::string::npos);
    EXPECT_NE(lines[5].find("\"t\":\"mfcst\""), std::string::npos);
    EXPECT_NE(lines[7].find("\"t\":\"hf\""), std::string::npos);
    EXPECT_EQ(lines[8], "{\"t\":\"obs\",\"temp\":8.0,\"time\":\"2024-04-02T12:00\"}");
    EXPECT_EQ(lines[9], "{\"hum\":50.0,\"t\":\"obs\",\"time\":\"2024-04-02T12:30\"}");
    EXPECT_FALSE(std::filesystem::exists(s.store.pathFor(key) + ".tmp"));
}

TEST(HistoryFile, MissingFileGivesAnEmptyLogAndAFirstRecordingCreatesIt) {
    Store s;
    auto& log = s.store.logFor("Nowhere@0.0000,0.0000");
    EXPECT_TRUE(log.loaded);
    EXPECT_TRUE(log.obs.empty() && log.truth.empty() && log.fcst.empty());
    WeatherData d = refreshAt("2024-05-01T10:00");
    s.store.record(d);
    EXPECT_EQ(linesOf(readFile(s.file(d))).size(), 1u);

    // A store whose folder is not set yet writes nothing and reads its file
    // once the folder is known.
    HistoryStore early;
    const std::string key = d.location.cacheKey();
    EXPECT_FALSE(early.logFor(key).loaded);
    EXPECT_FALSE(early.appendLines(key, {"{}"}));
    EXPECT_FALSE(early.rewrite(key, early.logFor(key)));
    early.dir = s.store.dir;
    EXPECT_EQ(early.logFor(key).obs.size(), 1u);
}

// A renamed place's file takes the new key's name (a copy while another
// saved place keeps the old key), never over a file the new key has; both
// logs are read again from disk.
TEST(HistoryFile, ARenamedPlaceTakesItsFileAlongButNeverOverAnother) {
    using nbr::PlaceFileMove;
    const struct {
        const char* newKey;
        bool oldFile, newFile, keepOld;
        PlaceFileMove result;
        size_t newDays, oldDays;  // truth days each key reads after
    } rows[] = {{"New@1.0000,2.0000", true, false, false, PlaceFileMove::Moved, 1, 0},
                {"New@1.0000,2.0000", true, false, true, PlaceFileMove::Copied, 1, 1},
                {"New@1.0000,2.0000", true, true, false, PlaceFileMove::KeptExisting, 2, 1},
                {"Old_Town@1.0000,2.0000", true, false, false, PlaceFileMove::Nothing, 1, 1}};  // one file for both
    const std::string oldKey = "Old Town@1.0000,2.0000";
    const auto day = [](int d) { return "{\"date\":\"2024-05-0" + std::to_string(d) + "\",\"t\":\"truth\"}\n"; };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& r = rows[i];
        Store s;
        if (r.oldFile) writeFile(s.store.pathFor(oldKey), day(1));
        if (r.newFile) writeFile(s.store.pathFor(r.newKey), day(1) + day(2));
        s.store.logFor(oldKey);
        EXPECT_EQ(s.store.renamePlace(oldKey, r.newKey, r.keepOld), r.result) << i;
        EXPECT_EQ(s.store.logFor(r.newKey).truth.size(), r.newDays) << i;
        EXPECT_EQ(s.store.logFor(oldKey).truth.size(), r.oldDays) << i;
    }
}

TEST(HistoryFile, ListsPastTheirCapsKeepTheNewestAndTheFileIsRewritten) {
    Store s;
    const std::string key = "Cap@0.0000,0.0000";
    auto& log = s.store.logFor(key);
    std::vector<std::string> none;
    for (int i = 0; i < 8000; ++i) log.obs.push_back({"2024-01-01T00:00", double(i), 0, 0, 0, 0, 0});
    for (int i = 0; i < 451; ++i) {
        HistoryStore::TruthRecord t{nbr::addDays("2020-01-01", i), double(i), 0, -1, false};
        log.truthDates.insert(t.date);
        log.truth.push_back(t);
    }
    log.truth.pop_back();  // 450: at the cap
    log.truthDates.erase(nbr::addDays("2020-01-01", 450));
    s.store.pruneAndFlush(key, log, none);
    EXPECT_EQ(log.obs.size(), 8000u);
    EXPECT_EQ(log.truth.size(), 450u);
    EXPECT_FALSE(std::filesystem::exists(s.store.pathFor(key)));  // nothing pending, nothing written

    HistoryStore::ObsRecord extra{"2024-01-02T00:00", 8000, 0, 0, 0, 0, 0};
    log.obs.push_back(extra);
    std::vector<std::string> pending{HistoryStore::lineOf(extra)};
    s.store.pruneAndFlush(key, log, pending);
    ASSERT_EQ(log.obs.size(), 6000u);
    EXPECT_EQ(log.obs.front().temp, 2001);
    EXPECT_EQ(log.obs.back().temp, 8000);
    EXPECT_EQ(log.truth.size(), 450u);
    const auto lines = linesOf(readFile(s.store.pathFor(key)));
    EXPECT_EQ(lines.size(), 6450u);  // the pending line went in with the rewrite, not twice
    EXPECT_NE(lines.back().find("\"temp\":8000.0"), std::string::npos);

    HistoryStore::TruthRecord t{"2021-06-01", 1, 0, -1, false};
    log.truth.push_back(t);
    log.truthDates.insert(t.date);
    s.store.pruneAndFlush(key, log, none);
    ASSERT_EQ(log.truth.size(), 366u);
    EXPECT_EQ(log.truthDates.size(), 366u);
    EXPECT_FALSE(log.truthDates.count("2020-01-01"));  // cut records leave their key set
    EXPECT_TRUE(log.truthDates.count("2021-06-01"));

    HistoryStore fresh;
    fresh.dir = s.store.dir;
    const auto& again = fresh.logFor(key);
    EXPECT_EQ(again.obs.size(), 6000u);
    EXPECT_EQ(again.truth.size(), 366u);
}

TEST(HistoryFile, FailedRewriteKeepsTheOldFileAndAppendsThePendingLines) {
    Store s;
    const std::string key = "Stuck@0.0000,0.0000";
    auto& log = s.store.logFor(key);
    for (int i = 0; i < 451; ++i) log.truth.push_back({nbr::addDays("2020-01-01", i), 1, 0, -1, false});
    writeFile(s.store.pathFor(key), "{\"t\":\"truth\",\"date\":\"1999-01-01\",\"tmax\":1.0,\"tmin\":0.0}\n");
    std::filesystem::create_directories(s.store.pathFor(key) + ".tmp");  // the temporary file cannot be made
    std::vector<std::string> pending{HistoryStore::lineOf(log.truth.back())};
    s.store.pruneAndFlush(key, log, pending);
    EXPECT_EQ(log.truth.size(), 366u);
    const auto lines = linesOf(readFile(s.store.pathFor(key)));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("1999-01-01"), std::string::npos);
    EXPECT_EQ(lines[1], pending[0]);
}

TEST(HistoryFile, AppendEndsATornLastLineFirst) {
    Store s;
    WeatherData d = refreshAt("2024-05-01T10:00");
    writeFile(s.file(d), "{\"t\":\"obs\",\"time\":\"2024-05-01T08:00\",\"temp\":1.0}\n{\"t\":\"obs\",\"ti");
    s.store.record(d);
    HistoryStore fresh;
    fresh.dir = s.store.dir;
    const auto& log = fresh.logFor(d.location.cacheKey());
    ASSERT_EQ(log.obs.size(), 2u);
    EXPECT_EQ(log.obs[1].time, "2024-05-01T10:00");
}

TEST(HistoryDates, PreviousDateAndMinutes) {
    EXPECT_EQ(HistoryStore::previousDate("2024-03-01"), "2024-02-29");
    EXPECT_EQ(HistoryStore::previousDate("2023-01-01"), "2022-12-31");
    EXPECT_EQ(HistoryStore::previousDate("2024-05-15T10:00"), "2024-05-14");
    EXPECT_EQ(HistoryStore::previousDate("2024-5-1"), "2024-04-30");
    EXPECT_EQ(HistoryStore::previousDate("2024-02-30"), "2024-02-29");
    EXPECT_EQ(HistoryStore::previousDate("2024-13-01"), "");
    EXPECT_EQ(HistoryStore::previousDate(""), "");
    EXPECT_EQ(HistoryStore::isoToMinutes("2024-05-01"), -1);
    EXPECT_EQ(HistoryStore::isoToMinutes("2024-00-10T10:00"), -1);
    EXPECT_EQ(HistoryStore::isoToMinutes("1970-01-02T00:00"), 1440);
    EXPECT_EQ(HistoryStore::isoToMinutes("1970-01-01T00:00"), 0);
    EXPECT_EQ(HistoryStore::isoToMinutes("2024-03-01T00:30") - HistoryStore::isoToMinutes("2024-02-29T23:30"), 60);
}

TEST(HistoryRecord, ObservationsAtMostHourlyAcrossRestarts) {
    Store s;
    WeatherData d = refreshAt("2024-05-01T14:15");
    auto obsCount = [&] { return s.store.logs.at(d.location.cacheKey()).obs.size(); };
    s.store.record(d);
    d.time = "2024-05-01T14:45";
    s.store.record(d);
    EXPECT_EQ(obsCount(), 1u);
    d.time = "2024-05-01T15:15";  // exactly 60 minutes
    s.store.record(d);
    EXPECT_EQ(obsCount(), 2u);
    d.time = "2024-05-01T14:00";  // clock went back
    s.store.record(d);
    EXPECT_EQ(obsCount(), 2u);
    d.time = "2024-05-01T18:00", d.temperature = nbr::kUnknownTemperature;  // not observed
    s.store.record(d);
    EXPECT_EQ(obsCount(), 2u);
    d.temperature = 20;
    d.time = "2024-05-01T23:30";
    s.store.record(d);
    d.time = "2024-05-02T00:30";  // across midnight
    s.store.record(d);
    EXPECT_EQ(obsCount(), 4u);

    // After a restart the last observation line of the file counts, a
    // station observation included.
    writeFile(s.file(d), "{\"t\":\"obs\",\"time\":\"2024-06-01T13:50\",\"temp\":1.0,\"src\":\"stn\"}\n");
    HistoryStore restarted;
    restarted.dir = s.store.dir;
    WeatherData r = refreshAt("2024-06-01T14:15");
    restarted.record(r);
    EXPECT_EQ(restarted.logs.at(r.location.cacheKey()).obs.size(), 1u);
}

TEST(HistoryRecord, FirstForecastOfEachDayAndFirstTruthOfEachDateStay) {
    Store s;
    WeatherData d = refreshAt("2024-05-01T06:00");
    d.hasYesterday = true;
    d.yesterdayHigh = 10;
    d.daily.resize(8);
    for (int i = 0; i < 8; ++i) {
        d.daily[i].date = nbr::addDays("2024-05-01", i);
        d.daily[i].temperatureMax = 20 + i;
        d.daily[i].temperatureMin = 0;
    }
    s.store.record(d);
    const auto& log = s.store.logs.at(d.location.cacheKey());
    ASSERT_EQ(log.fcst.size(), 6u);
    EXPECT_EQ(log.fcst[0].date, "2024-05-02");
    EXPECT_EQ(log.fcst[5].lead, 6);
    EXPECT_EQ(log.fcst[5].date, "2024-05-07");

    d.time = "2024-05-01T18:00";
    d.daily[1].temperatureMax = 30;  // changed forecast, same day: not logged
    d.yesterdayHigh = 99;
    s.store.record(d);
    EXPECT_EQ(log.fcst.size(), 6u);
    EXPECT_EQ(log.truth.size(), 1u);
    EXPECT_EQ(log.truth[0].tmax, 10);

    d.time = "2024-05-02T06:00";
    d.daily.resize(4);
    for (int i = 0; i < 4; ++i) d.daily[i].date = nbr::addDays("2024-05-02", i);
    s.store.record(d);
    ASSERT_EQ(log.fcst.size(), 9u);  // leads 1 to 3 of a 4-day list
    EXPECT_EQ(log.fcst[6].made, "2024-05-02");
    EXPECT_EQ(log.fcst[6].date, "2024-05-03");
    EXPECT_EQ(log.fcst[6].lead, 1);
}

TEST(HistoryRecord, WithoutAFolderOrACurrentTimeNothingIsTouched) {
    HistoryStore s;  // no folder
    WeatherData d = refreshAt("2024-05-01T06:00");
    d.daily.resize(2);
    d.daily[1].corrected = true;
    d.daily[1].highCorrection = 1;
    d.daily[1].temperatureMax = 21;
    d.skill.daysRecorded = 7;
    s.record(d);
    EXPECT_TRUE(d.daily[1].corrected);
    EXPECT_EQ(d.daily[1].temperatureMax, 21);
    EXPECT_EQ(d.skill.daysRecorded, 7);
    EXPECT_TRUE(s.logs.empty());

    Store t;
    d.time = "2024-05-01T6";
    t.store.record(d);
    EXPECT_TRUE(d.daily[1].corrected);
    EXPECT_TRUE(t.store.logs.empty());
}
