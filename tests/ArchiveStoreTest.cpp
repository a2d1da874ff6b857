// The daily archive: file lines and what loading keeps, the archive reply
// reader, the once-a-day download rules, repair of days lost to damaged
// lines, and the ten-year back-fill through the stand-in archive service.
#include "history/ArchiveStore.h"
#include "model/Dates.h"
#include "platform/Files.h"
#include "service/WeatherService.h"

#include "ReplayEnv.h"
#include "TestEnv.h"
#include "replay/Routes_Archive.h"

#include <chrono>
#include <sstream>

using nbr::ArchiveStore;
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

// A reply of the archive service for consecutive days from `start`.
std::string reply(const std::string& start, const std::vector<std::string>& highs,
                  const std::string& extra = "") {
    std::string time, x, n, p;
    for (size_t i = 0; i < highs.size(); ++i) {
        const std::string sep = i ? "," : "";
        time += sep + ("\"" + nbr::addDays(start, static_cast<int>(i)) + "\"");
        x += sep + highs[i];
        n += sep + (highs[i] == "null" ? "null" : "1.5");
        p += sep + std::string(i % 2 ? "2.5" : "0");
    }
    return "{" + extra + "\"daily\":{\"time\":[" + time + "],\"temperature_2m_max\":[" + x +
           "],\"temperature_2m_min\":[" + n + "],\"precipitation_sum\":[" + p + "]}}";
}

// A fetcher that records the URLs it was given and answers with `body`.
struct FakeService {
    std::vector<std::string> urls;
    std::string body;
    ArchiveStore::Fetcher fetcher() {
        return [this](const std::string& url) {
            urls.push_back(url);
            return body;
        };
    }
};

struct Store {
    TempDir tmp;
    ArchiveStore store;
    Store() { store.dir = tmp.path() + "/archive"; }
    std::string file(const std::string& key) const { return store.pathFor(key); }
};

const std::string kKey = "Oslo@59.9139,10.7522";

std::string paramOf(const std::string& url, const std::string& name) {
    const size_t at = url.find(name + "=");
    if (at == std::string::npos) return "";
    const size_t from = at + name.size() + 1;
    return url.substr(from, url.find('&', from) - from);
}

}  // namespace

TEST(ArchiveFile, NamesAndLinesAreThoseOfTheStoredFormat) {
    ArchiveStore s;
    s.dir = "/data/archive";
    EXPECT_EQ(s.pathFor(kKey), "/data/archive/Oslo_59.9139_10.7522.jsonl");
    EXPECT_EQ(ArchiveStore::lineOf({"2024-05-01", 12.25, 3.5, 0}),
              "{\"d\":\"2024-05-01\",\"n\":3.5,\"p\":0.0,\"x\":12.25}");
}

TEST(ArchiveFile, LoadingKeepsOnlyReadableDaysInAscendingOrder) {
    Store s;
    writeFile(s.file(kKey),
              "{\"d\":\"2024-05-01\",\"x\":10,\"n\":2,\"p\":1.5}\n"
              "\n"
              "{\"x\":11,\"d\":\"2024-05-02\",\"n\":3}\r\n"        // any key order, CRLF, no "p"
              "{\"d\":\"2024-04-30\",\"x\":9,\"n\":1,\"p\":0}\n"  // earlier than the previous line
              "{\"d\":\"2024-05-02\",\"x\":99,\"n\":1,\"p\":0}\n"  // repeated date
              "{\"d\":\"2024-5-03\",\"x\":9,\"n\":1,\"p\":0}\n"   // 9 characters
              "{\"d\":\"2024-13-03\",\"x\":9,\"n\":1,\"p\":0}\n"  // no date
              "{\"d\":\"2024-05-03\",\"x\":null,\"n\":1,\"p\":0}\n"
              "{\"d\":\"2024-05-03\",\"x\":\"9\",\"n\":1,\"p\":0}\n"
              "{\"d\":20240503,\"x\":9,\"n\":1,\"p\":0}\n"
              "[\"2024-05-03\",9,1,0]\n"
              "{\"d\":\"2024-05-03\",\"x\":1e999,\"n\":1,\"p\":0}\n"
              "{\"d\":\"2024-05-03\",\"x\":12.5,\"n\"\n"            // unfinished
              "{\"d\":\"2024-05-03\",\"x\":12.5,\"n\":4.5,\"p\":0.2}\n"
              "{\"d\":\"2024-05-04\",\"x\":13");                   // torn last line
    const auto& days = s.store.entryFor(kKey).days;
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].date, "2024-05-01");
    EXPECT_EQ(days[0].precip, 1.5);
    EXPECT_EQ(days[1].date, "2024-05-02");
    EXPECT_EQ(days[1].tmax, 11);
    EXPECT_EQ(days[1].precip, 0);
    EXPECT_EQ(days[2].date, "2024-05-03");
    EXPECT_EQ(days[2].tmin, 4.5);
    // Read once per run: later changes to the file are not seen.
    writeFile(s.file(kKey), "");
    EXPECT_EQ(s.store.entryFor(kKey).days.size(), 3u);
}

TEST(ArchiveReply, TakesTheDaysThatAreThereAndNothingFromABadReply) {
    auto days = ArchiveStore::parseArchive(reply("2024-05-01", {"10", "11", "12", "null", "null"}));
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[2].date, "2024-05-03");
    EXPECT_EQ(days[2].tmax, 12);
    EXPECT_EQ(days[1].precip, 2.5);

    // Rain missing, null or not a number reads as 0.
    days = ArchiveStore::parseArchive(
        "{\"daily\":{\"time\":[\"2024-05-01\",\"2024-05-02\",\"2024-05-03\"],\"temperature_2m_max\":[1,2,3],"
        "\"temperature_2m_min\":[0,0,0],\"precipitation_sum\":[null,\"x\"]}}");
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].precip, 0);
    EXPECT_EQ(days[2].precip, 0);

    // Rows whose date or temperatures cannot be read are left out.
    days = ArchiveStore::parseArchive(
        "{\"daily\":{\"time\":[\"2024-05-01\",\"05/02/2024\",7,\"2024-05-04\",\"2024-05-05\"],"
        "\"temperature_2m_max\":[1,2,3,\"4\",{}],\"temperature_2m_min\":[0,0,0,0,0]}}");
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].date, "2024-05-01");

    for (const std::string& bad : {
             reply("2024-05-01", {"10"}, "\"error\":true,\"reason\":\"x\","),
             std::string("{\"error\":true,\"reason\":\"Invalid date\"}"),
             std::string("{\"daily\":{\"time\":[\"2024-05-01\"],\"temperature_2m_max\":[1]}}"),
             std::string("{\"daily\":{\"temperature_2m_max\":[1],\"temperature_2m_min\":[1]}}"),
             std::string("{\"daily\":[1,2]}"),
             std::string("{\"hourly\":{}}"),
             std::string("[1,2,3]"),
             std::string("{\"daily\":{\"time\":[\"2024-05-01\"],"),
             std::string("<html>Service unavailable</html>"),
             reply("2024-05-01", {"10", "1e999"}),  // a number out of range
             std::string(""),
         })
        EXPECT_TRUE(ArchiveStore::parseArchive(bad).empty()) << bad;
    // An "error" that is not true does not spoil a reply.
    EXPECT_EQ(ArchiveStore::parseArchive(reply("2024-05-01", {"10"}, "\"error\":false,")).size(), 1u);
}

TEST(ArchiveDates, ShiftAndDayOfYear) {
    const struct {
        const char* date;
        int n;
        const char* shifted;
    } shifts[] = {
        {"2024-02-28", 1, "2024-02-29"}, {"2023-02-28", 1, "2023-03-01"}, {"2024-01-01", -1, "2023-12-31"},
        {"2024-05-10", -3650, "2014-05-13"}, {"2023-02-30", 0, "2023-03-02"}, {"2024-13-01", 1, ""},
        {"2024-00-10", 1, ""}, {"2024-01-32", 1, ""}, {"", 1, ""}, {"garbage", 1, ""},
    };
    for (const auto& c : shifts) EXPECT_EQ(ArchiveStore::addDays(c.date, c.n), c.shifted) << c.date;
    EXPECT_EQ(nbr::dayOfYear("2024-03-01"), 61);
    EXPECT_EQ(nbr::dayOfYear("2023-03-01"), 60);
    EXPECT_EQ(nbr::dayOfYear("2023-01-01"), 1);
    EXPECT_EQ(nbr::dayOfYear("2024-12-31"), 366);
    EXPECT_EQ(nbr::dayOfYear("2024-12-32"), 0);
}

TEST(ArchiveEnsure, AsksOnlyForTheMissingDaysOncePerDay) {
    Store s;
    FakeService svc;
    svc.body = reply("2014-05-13", {"10", "11"});
    // A new place asks for 3650 days back to the last day wanted.
    const auto* days = s.store.ensure(kKey, 51.5, -0.1275, "2024-05-10", svc.fetcher());
    ASSERT_EQ(svc.urls.size(), 1u);
    const std::string& url = svc.urls[0];
    EXPECT_EQ(url.substr(url.find("/v1/archive?")),
              "/v1/archive?latitude=51.500000&longitude=-0.127500&start_date=2014-05-13&end_date=2024-05-10"
              "&daily=temperature_2m_max,temperature_2m_min,precipitation_sum&timezone=auto");
    ASSERT_NE(days, nullptr);
    EXPECT_EQ(days->size(), 2u);
    // The same day wanted again: no request, whether or not the first one worked.
    EXPECT_EQ(s.store.ensure(kKey, 51.5, -0.1275, "2024-05-10", svc.fetcher()), days);
    EXPECT_EQ(svc.urls.size(), 1u);

    // A place whose newest day is 2024-05-07 asks for 05-08 to 05-10 only.
    writeFile(s.store.pathFor("Tail"), ArchiveStore::lineOf({"2024-05-07", 1, 0, 0}) + "\n");
    svc.body = reply("2024-05-08", {"12", "13", "14"});
    days = s.store.ensure("Tail", 1, 2, "2024-05-10", svc.fetcher());
    ASSERT_EQ(svc.urls.size(), 2u);
    EXPECT_EQ(paramOf(svc.urls[1], "start_date"), "2024-05-08");
    EXPECT_EQ(paramOf(svc.urls[1], "end_date"), "2024-05-10");
    EXPECT_EQ(days->size(), 4u);
    // Up to date: nothing to ask, even on a new day wanted.
    EXPECT_EQ(s.store.ensure("Tail", 1, 2, "2024-05-10", svc.fetcher())->size(), 4u);
    EXPECT_EQ(svc.urls.size(), 2u);
    // The file holds the new days after the old one.
    auto lines = linesOf(readFile(s.store.pathFor("Tail")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "{\"d\":\"2024-05-10\",\"n\":1.5,\"p\":0.0,\"x\":14.0}");

    // A failed request is tried again only when the day wanted changes.
    svc.body = "";
    s.store.ensure("Tail", 1, 2, "2024-05-11", svc.fetcher());
    s.store.ensure("Tail", 1, 2, "2024-05-11", svc.fetcher());
    EXPECT_EQ(svc.urls.size(), 3u);
    svc.body = reply("2024-05-11", {"15", "16"});
    EXPECT_EQ(s.store.ensure("Tail", 1, 2, "2024-05-12", svc.fetcher())->size(), 6u);
    EXPECT_EQ(paramOf(svc.urls[3], "start_date"), "2024-05-11");

    // Days at or before the newest stored one are never added again.
    svc.body = reply("2024-05-10", {"1", "2", "3", "4"});
    EXPECT_EQ(s.store.ensure("Tail", 1, 2, "2024-05-13", svc.fetcher())->size(), 7u);
    EXPECT_EQ(s.store.entryFor("Tail").days.back().tmax, 4);

    // Off, or no day wanted: no days and no request.
    EXPECT_EQ(s.store.ensure(kKey, 1, 2, "2024-05-1", svc.fetcher()), nullptr);
    ArchiveStore off;
    EXPECT_EQ(off.ensure(kKey, 1, 2, "2024-05-10", svc.fetcher()), nullptr);
    EXPECT_EQ(svc.urls.size(), 5u);
}

TEST(ArchiveEnsure, NewPlacesDownloadAtMostOnceInFiveMinutes) {
    Store s;
    FakeService svc;
    svc.body = "";  // the first new place's download fails
    s.store.ensure("A", 1, 2, "2024-05-10", svc.fetcher());
    s.store.ensure("B", 3, 4, "2024-05-10", svc.fetcher());
    EXPECT_EQ(svc.urls.size(), 1u);
    // A place that already has days is not held back.
    writeFile(s.store.pathFor("C"), ArchiveStore::lineOf({"2024-05-07", 1, 0, 0}) + "\n");
    s.store.ensure("C", 5, 6, "2024-05-10", svc.fetcher());
    EXPECT_EQ(svc.urls.size(), 2u);
    // 300 seconds later the next new place may try.
    s.store.lastEmptyAttempt -= std::chrono::seconds(301);
    s.store.ensure("B", 3, 4, "2024-05-10", svc.fetcher());
    EXPECT_EQ(svc.urls.size(), 3u);
}

TEST(ArchiveEnsure, DaysLostToADamagedLineAreFetchedAgainAndTheFileMended) {
    Store s;
    std::string text;
    for (int i = 0; i < 10; ++i) {
        const std::string line = ArchiveStore::lineOf({nbr::addDays("2024-05-01", i), 10.0 + i, 1, 0});
        // Days 3 and 4 are damaged: one cut short, one overwritten.
        text += (i == 3 ? line.substr(0, 12) : i == 4 ? std::string("\x01\x02 garbage") : line) + "\n";
    }
    writeFile(s.file(kKey), text);
    ASSERT_EQ(s.store.entryFor(kKey).days.size(), 8u);

    FakeService svc;
    std::vector<std::string> highs;
    for (int i = 3; i < 12; ++i) highs.push_back(std::to_string(10 + i));
    svc.body = reply("2024-05-04", highs);
    const auto* days = s.store.ensure(kKey, 1, 2, "2024-05-12", svc.fetcher());
    ASSERT_EQ(svc.urls.size(), 1u);
    EXPECT_EQ(paramOf(svc.urls[0], "start_date"), "2024-05-04");
    ASSERT_EQ(days->size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ((*days)[i].date, nbr::addDays("2024-05-01", i));
        EXPECT_EQ((*days)[i].tmax, 10 + i);
    }
    // The file was written anew, whole and in order.
    ArchiveStore again;
    again.dir = s.store.dir;
    EXPECT_EQ(again.entryFor(kKey).days.size(), 12u);
    EXPECT_EQ(linesOf(readFile(s.file(kKey))).size(), 12u);
    EXPECT_TRUE(again.entryFor(kKey).repairFrom.empty());
}

TEST(ArchiveEnsure, ATornLastLineIsEndedAndItsDayFetchedAgain) {
    Store s;
    writeFile(s.file(kKey), ArchiveStore::lineOf({"2024-05-01", 10, 1, 0}) + "\n" +
                                ArchiveStore::lineOf({"2024-05-02", 11, 1, 0}).substr(0, 20));
    FakeService svc;
    svc.body = reply("2024-05-02", {"11", "12"});
    EXPECT_EQ(s.store.ensure(kKey, 1, 2, "2024-05-03", svc.fetcher())->size(), 3u);
    EXPECT_EQ(paramOf(svc.urls.at(0), "start_date"), "2024-05-02");
    ArchiveStore again;
    again.dir = s.store.dir;
    ASSERT_EQ(again.entryFor(kKey).days.size(), 3u);
    EXPECT_EQ(again.entryFor(kKey).days[1].tmax, 11);
}

class ArchiveReplay : public nbr::test::ReplayTest {
protected:
    // The place's local date, as the archive route counts days.
    std::string localToday(const nbr::replay::Place& p) {
        const auto now = std::chrono::system_clock::now();
        const int64_t secs = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
        return nbr::replay::timefmt::date(secs + p.utcOffsetAt(now));
    }
};

TEST_F(ArchiveReplay, TenYearsAreBackFilledAndExtendedDayByDay) {
    nbr::WeatherService service;
    const nbr::GeoLocation oslo = place("oslo");
    const nbr::replay::Place& p = *nbr::replay::placeById("oslo");
    ArchiveStore store;
    store.dir = dataDir() + "/archive";
    auto fetch = [&](const std::string& url) { return service.httpGet(url); };

    const std::string yesterday = nbr::addDays(localToday(p), -1);
    const std::string earlier = nbr::addDays(yesterday, -3);
    const auto* days = store.ensure(oslo.cacheKey(), oslo.latitude, oslo.longitude, earlier, fetch);
    ASSERT_NE(days, nullptr);
    ASSERT_EQ(days->size(), 3651u);
    EXPECT_EQ(days->front().date, nbr::addDays(earlier, -3650));
    EXPECT_EQ(days->back().date, earlier);
    for (const auto& d : *days) {
        const auto g = nbr::replay::archive::generatedDay("oslo", d.date);
        ASSERT_EQ(d.tmax, g.tmax) << d.date;
        ASSERT_EQ(d.tmin, g.tmin) << d.date;
        ASSERT_EQ(d.precip, g.precip) << d.date;
    }

    // The next local days bring only the missing tail; today is never there.
    days = store.ensure(oslo.cacheKey(), oslo.latitude, oslo.longitude, yesterday, fetch);
    EXPECT_EQ(days->size(), 3654u);
    EXPECT_EQ(days->back().date, yesterday);
    const auto requests = server.requests();
    ASSERT_EQ(server.count("archive"), 2u);
    EXPECT_EQ(requests.back().param("start_date"), nbr::addDays(earlier, 1));
    EXPECT_EQ(requests.back().param("end_date"), yesterday);
    EXPECT_EQ(store.ensure(oslo.cacheKey(), oslo.latitude, oslo.longitude, localToday(p), fetch)->size(), 3654u);

    // Reloaded from the file after a restart: the same days.
    ArchiveStore again;
    again.dir = store.dir;
    const auto& reloaded = again.entryFor(oslo.cacheKey()).days;
    ASSERT_EQ(reloaded.size(), days->size());
    for (size_t i = 0; i < reloaded.size(); ++i) {
        ASSERT_EQ(reloaded[i].date, (*days)[i].date);
        ASSERT_EQ(reloaded[i].tmax, (*days)[i].tmax);
        ASSERT_EQ(reloaded[i].tmin, (*days)[i].tmin);
        ASSERT_EQ(reloaded[i].precip, (*days)[i].precip);
    }
}

TEST_F(ArchiveReplay, AMalformedOrFailingReplyAddsNothingAndIsTriedAgainNextDay) {
    nbr::WeatherService service;
    const nbr::GeoLocation boston = place("boston");
    ArchiveStore store;
    store.dir = dataDir() + "/archive";
    auto fetch = [&](const std::string& url) { return service.httpGet(url); };
    const std::string yesterday = nbr::addDays(localToday(*nbr::replay::placeById("boston")), -1);
    const std::string before = nbr::addDays(yesterday, -1);

    for (const auto& bad : {nbr::replay::Reply::json("{\"daily\":{\"time\":[\"2024"),
                            nbr::replay::Reply::withStatus(500, "{\"error\":true}"), nbr::replay::Reply::html()}) {
        store.entries.clear();
        store.emptyAttemptMade = false;
        server.setReply("archive", "/v1/archive", bad);
        const auto* days = store.ensure(boston.cacheKey(), boston.latitude, boston.longitude, before, fetch);
        ASSERT_NE(days, nullptr);
        EXPECT_TRUE(days->empty());
    }
    server.clearReplies();
    store.emptyAttemptMade = false;
    EXPECT_TRUE(store.ensure(boston.cacheKey(), boston.latitude, boston.longitude, before, fetch)->empty());
    EXPECT_EQ(store.ensure(boston.cacheKey(), boston.latitude, boston.longitude, yesterday, fetch)->size(), 3651u);
}
