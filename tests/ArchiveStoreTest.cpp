// The daily archive: stored lines and what loading keeps, the reply reader,
// the once-a-day download rules, repair of days lost to damaged lines, and
// the ten-year back-fill through the stand-in archive service.
#include "history/ArchiveStore.h"
#include "model/Dates.h"
#include "platform/Files.h"
#include "service/WeatherService.h"

#include "ReplayEnv.h"
#include "TestEnv.h"
#include "replay/Routes_Archive.h"

using nbr::ArchiveStore;
using nbr::test::readFile;
using nbr::test::TempDir;
using nbr::test::writeFile;

namespace {

// A reply for consecutive days from `start`, lows 1.5, rain on odd days.
std::string reply(const std::string& start, const std::vector<std::string>& highs, const std::string& extra = "") {
    std::string time, x, n, p;
    for (size_t i = 0; i < highs.size(); ++i) {
        const std::string sep = i ? "," : "";
        time += sep + "\"" + nbr::addDays(start, static_cast<int>(i)) + "\"";
        x += sep + highs[i];
        n += sep + (highs[i] == "null" ? "null" : "1.5");
        p += sep + (i % 2 ? "2.5" : "0");
    }
    return "{" + extra + "\"daily\":{\"time\":[" + time + "],\"temperature_2m_max\":[" + x +
           "],\"temperature_2m_min\":[" + n + "],\"precipitation_sum\":[" + p + "]}}";
}

std::string line(const std::string& date, double high) { return ArchiveStore::lineOf({date, high, 1, 0}) + "\n"; }

std::string param(const std::string& url, const std::string& name) {
    const size_t from = url.find(name + "=") + name.size() + 1;
    return url.substr(from, url.find('&', from) - from);
}

// A store in a temporary folder and a stand-in service answering `body`.
struct Store {
    TempDir tmp;
    ArchiveStore store;
    std::vector<std::string> urls;
    std::string body;
    Store() { store.dir = tmp.path() + "/archive"; }
    const std::vector<ArchiveStore::Day>* ensure(const std::string& key, const std::string& lastDay) {
        return store.ensure(key, 51.5, -0.1275, lastDay, [this](const std::string& url) {
            urls.push_back(url);
            return body;
        });
    }
    ArchiveStore reopened() const {
        ArchiveStore again;
        again.dir = store.dir;
        return again;
    }
};

}  // namespace

TEST(ArchiveFile, StoredLinesAndWhatLoadingKeeps) {
    Store s;
    EXPECT_EQ(s.store.pathFor("Oslo@59.9139,10.7522"), s.store.dir + "/Oslo_59.9139_10.7522.jsonl");
    EXPECT_EQ(ArchiveStore::lineOf({"2024-05-01", 12.25, 3.5, 0}), "{\"d\":\"2024-05-01\",\"n\":3.5,\"p\":0.0,\"x\":12.25}");
    EXPECT_EQ(ArchiveStore::lineOf({"2024-05-01", 12.25, 3.5, nbr::kUnknownAmount}),
              "{\"d\":\"2024-05-01\",\"n\":3.5,\"x\":12.25}");
    writeFile(s.store.pathFor("K"),
              "{\"x\":11,\"d\":\"2024-05-02\",\"n\":3}\r\n\n"       // any key order, CRLF, no "p"
              "{\"d\":\"2024-05-03\",\"n\":1,\"p\":0}\n"              // no high
              "{\"d\":\"2024-04-30\",\"x\":9,\"n\":1,\"p\":0}\n"     // earlier than the line before
              "{\"d\":\"2024-5-03\",\"x\":9,\"n\":1,\"p\":0}\n"      // 9 characters
              "{\"d\":\"2024-13-03\",\"x\":9,\"n\":1,\"p\":0}\n"     // no date
              "{\"d\":\"2024-05-03\",\"x\":null,\"n\":1,\"p\":0}\n"  // a null is no number
              "{\"d\":\"2024-05-03\",\"x\":12.5,\"n\":4.5,\"p\":0.2}\n"
              "{\"d\":\"2024-05-04\",\"x\":13");                    // torn
    const auto& days = s.store.entryFor("K").days;
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].tmax, 11);
    EXPECT_EQ(days[0].precip, nbr::kUnknownAmount);
    EXPECT_EQ(days[1].date, "2024-05-03");
    EXPECT_TRUE(s.store.entryFor("K").repairFrom.empty());  // nothing lost between kept days
}

TEST(ArchiveReply, TakesTheDaysThatAreThereAndNothingFromABadReply) {
    auto days = ArchiveStore::parseArchive(reply("2024-05-01", {"10", "11", "12", "null", "null"}));
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[2].date, "2024-05-03");
    EXPECT_EQ(days[1].precip, 2.5);
    std::string nulled = reply("2024-05-01", {"10", "11", "12"});
    days = ArchiveStore::parseArchive(nulled.replace(nulled.find("2.5"), 3, "null"));  // rain unknown, never 0
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[1].precip, nbr::kUnknownAmount);
    days = ArchiveStore::parseArchive(
        "{\"daily\":{\"time\":[\"2024-05-01\",\"05/02/2024\",\"2024-05-03\"],\"temperature_2m_max\":[1,2,3],"
        "\"temperature_2m_min\":[0,0,0]}}");
    ASSERT_EQ(days.size(), 2u);  // a time that is no date is left out; no rain list: rain unknown
    EXPECT_EQ(days[1].precip, nbr::kUnknownAmount);
    EXPECT_TRUE(ArchiveStore::parseArchive(reply("2024-05-01", {"10"}, "\"error\":true,")).empty());
    EXPECT_TRUE(ArchiveStore::parseArchive("{\"daily\":{\"time\":[\"2024-05-01\"],\"temperature_2m_max\":[1]}}").empty());
}

TEST(ArchiveEnsure, AsksOnlyForTheMissingDaysOncePerDayWanted) {
    Store s;
    s.body = reply("2014-05-13", {"10", "11"});
    const auto* days = s.ensure("New", "2024-05-10");
    ASSERT_EQ(s.urls.size(), 1u);
    EXPECT_EQ(s.urls[0].substr(s.urls[0].find("/v1/archive?")),
              "/v1/archive?latitude=51.500000&longitude=-0.127500&start_date=2014-05-13&end_date=2024-05-10"
              "&daily=temperature_2m_max,temperature_2m_min,precipitation_sum&timezone=auto");
    EXPECT_EQ(days->size(), 2u);
    EXPECT_EQ(s.ensure("New", "2024-05-10"), days);  // the same day wanted: no request
    EXPECT_EQ(s.urls.size(), 1u);

    writeFile(s.store.pathFor("Tail"), line("2024-05-07", 1));
    s.body = reply("2024-05-08", {"12", "13", "14"});
    EXPECT_EQ(s.ensure("Tail", "2024-05-10")->size(), 4u);
    EXPECT_EQ(param(s.urls[1], "start_date") + " " + param(s.urls[1], "end_date"), "2024-05-08 2024-05-10");
    EXPECT_EQ(readFile(s.store.pathFor("Tail")), line("2024-05-07", 1) + ArchiveStore::lineOf({"2024-05-08", 12, 1.5, 0}) +
                                                    "\n" + ArchiveStore::lineOf({"2024-05-09", 13, 1.5, 2.5}) + "\n" +
                                                    ArchiveStore::lineOf({"2024-05-10", 14, 1.5, 0}) + "\n");
    s.ensure("Tail", "2024-05-10");  // up to date
    s.body = "";                     // a failure is tried again only for a new day wanted
    s.ensure("Tail", "2024-05-11");
    s.ensure("Tail", "2024-05-11");
    EXPECT_EQ(s.urls.size(), 3u);
    s.body = reply("2024-05-10", {"1", "2", "3"});  // days already stored are not taken again
    EXPECT_EQ(s.ensure("Tail", "2024-05-12")->back().tmax, 3);
    EXPECT_EQ(s.store.entryFor("Tail").days.size(), 6u);

    EXPECT_EQ(s.ensure("Tail", "2024-05-1"), nullptr);
    s.store.dir.clear();
    EXPECT_EQ(s.ensure("Tail", "2024-05-20"), nullptr);
    EXPECT_EQ(s.urls.size(), 4u);
}

TEST(ArchiveEnsure, NewPlacesDownloadAtMostOnceInFiveMinutes) {
    Store s;
    s.ensure("A", "2024-05-10");  // fails
    s.ensure("B", "2024-05-10");
    writeFile(s.store.pathFor("C"), line("2024-05-07", 1));
    s.ensure("C", "2024-05-10");  // has days: not held back
    EXPECT_EQ(s.urls.size(), 2u);
    s.store.lastEmptyAttempt -= std::chrono::seconds(301);
    s.ensure("B", "2024-05-10");
    EXPECT_EQ(s.urls.size(), 3u);
}

TEST(ArchiveEnsure, DaysLostToDamagedLinesAreFetchedAgainAndTheFileMended) {
    Store s;
    std::string text;
    for (int i = 0; i < 10; ++i) {
        const std::string l = line(nbr::addDays("2024-05-01", i), 10 + i);
        text += i == 3 ? l.substr(0, 12) + "\n" : i == 4 ? "\x01 garbage\n" : l;
    }
    writeFile(s.store.pathFor("K"), text);
    std::vector<std::string> highs;
    for (int i = 3; i < 12; ++i) highs.push_back(std::to_string(10 + i));
    s.body = reply("2024-05-04", highs);
    const auto* days = s.ensure("K", "2024-05-12");
    EXPECT_EQ(param(s.urls.at(0), "start_date"), "2024-05-04");
    ASSERT_EQ(days->size(), 12u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ((*days)[i].date + std::to_string((*days)[i].tmax), nbr::addDays("2024-05-01", i) + std::to_string(10.0 + i));
    EXPECT_EQ(s.reopened().entryFor("K").days.size(), 12u);

    // A torn last line is ended before the next append and its day fetched again.
    writeFile(s.store.pathFor("T"), line("2024-05-01", 10) + line("2024-05-02", 11).substr(0, 20));
    s.body = reply("2024-05-02", {"11", "12"});
    s.ensure("T", "2024-05-03");
    EXPECT_EQ(param(s.urls.at(1), "start_date"), "2024-05-02");
    EXPECT_EQ(s.reopened().entryFor("T").days.size(), 3u);
}

class ArchiveReplay : public nbr::test::ReplayTest {};

TEST_F(ArchiveReplay, TenYearsAreBackFilledAndExtendedDayByDay) {
    nbr::WeatherService service;
    const nbr::GeoLocation oslo = place("oslo");
    const auto now = std::chrono::system_clock::now();
    const std::string today = nbr::replay::timefmt::date(
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count() +
        nbr::replay::placeById("oslo")->utcOffsetAt(now));
    const std::string yesterday = nbr::addDays(today, -1), earlier = nbr::addDays(yesterday, -3);
    ArchiveStore store;
    store.dir = dataDir() + "/archive";
    auto ensure = [&](const std::string& lastDay) {
        return store.ensure(oslo.cacheKey(), oslo.latitude, oslo.longitude, lastDay,
                            [&](const std::string& url) { return service.httpGet(url); });
    };

    // A failing service adds nothing; the next day wanted is tried again.
    server.setReply("archive", "/v1/archive", nbr::replay::Reply::withStatus(500, "{\"error\":true}"));
    EXPECT_TRUE(ensure(nbr::addDays(earlier, -1))->empty());
    server.clearReplies();
    store.emptyAttemptMade = false;
    const auto* days = ensure(earlier);
    ASSERT_EQ(days->size(), 3651u);
    EXPECT_EQ(days->front().date, nbr::addDays(earlier, -3650));
    for (const auto& d : *days) {
        const auto g = nbr::replay::archive::generatedDay("oslo", d.date);
        ASSERT_EQ(std::tie(d.tmax, d.tmin, d.precip), std::tie(g.tmax, g.tmin, g.precip)) << d.date;
    }
    // The next local days bring only the missing tail; today is never there.
    EXPECT_EQ(ensure(yesterday)->back().date, yesterday);
    EXPECT_EQ(ensure(today)->size(), 3654u);
    EXPECT_EQ(server.count("archive"), 4u);
    EXPECT_EQ(server.requests().back().param("start_date"), today);

    ArchiveStore again;
    again.dir = store.dir;
    const auto& reloaded = again.entryFor(oslo.cacheKey()).days;
    ASSERT_EQ(reloaded.size(), days->size());
    for (size_t i = 0; i < reloaded.size(); ++i)
        ASSERT_EQ(std::tie(reloaded[i].date, reloaded[i].tmax, reloaded[i].tmin, reloaded[i].precip),
                  std::tie((*days)[i].date, (*days)[i].tmax, (*days)[i].tmin, (*days)[i].precip));
}

TEST(ArchiveFile, FolderSyncReportsAFolderThatCannotBeSynced) {
    TempDir tmp;
    EXPECT_TRUE(nbr::platform::syncParentDir(tmp.path() + "/any.jsonl"));
    EXPECT_TRUE(nbr::platform::syncParentDir("relative.jsonl"));
    EXPECT_FALSE(nbr::platform::syncParentDir(tmp.path() + "/missing/any.jsonl"));
}
