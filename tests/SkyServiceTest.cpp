// Constellation summaries and the space-station element set against the
// stand-in services.
#include "ReplayEnv.h"
#include "model/Constellations.h"
#include "replay/Routes_Sky.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <thread>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::readFile;
using test::ReplayTest;
using test::writeFile;

constexpr char kSummaryPrefix[] = "/api/rest_v1/page/summary/";
constexpr char kTlePath[] = "/NORAD/elements/gp.php";

int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool validUtf8(const std::string& s) {
    try {
        (void)json(s).dump();
        return true;
    } catch (const json::exception&) {
        return false;
    }
}

std::string summaryReply(const std::string& extract) { return json{{"type", "standard"}, {"extract", extract}}.dump(); }

// ---- Summary cuts -------------------------------------------------------------------

// `n` bytes of words, with ". " placed at each index of `stops`.
std::string textWithStops(size_t n, std::initializer_list<size_t> stops) {
    std::string s(n, 'a');
    for (size_t i = 6; i < n; i += 7) s[i] = ' ';
    for (size_t p : stops) {
        s[p] = '.';
        s[p + 1] = ' ';
    }
    return s;
}

TEST(WikiSummary, ShortExtractsAreKeptWhole) {
    const std::string exact = textWithStops(320, {40});
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(exact)), exact);
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply("Lyra is a small constellation.")),
              "Lyra is a small constellation.");
}

TEST(WikiSummary, LongExtractsEndAtTheLastSentenceWithinTheLimit) {
    // Last ". " at or before 320 starts at 150 (the one at 400 is too late).
    const std::string r150 = WeatherService::parseWikiSummary(summaryReply(textWithStops(500, {60, 150, 400})));
    EXPECT_EQ(r150.size(), 151u);
    EXPECT_EQ(r150.back(), '.');
    // A stop starting exactly at 320 still counts; the first one past it does not.
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(textWithStops(500, {320}))).size(), 321u);
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(textWithStops(500, {100, 321}))).size(), 101u);
    // From index 81 a sentence end is good enough; at 80 or earlier it is not.
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(textWithStops(500, {81}))).size(), 82u);
    const std::string source = textWithStops(500, {40});
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(source)), source.substr(0, 300) + "...");
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(textWithStops(500, {80}))).size(), 303u);
    EXPECT_EQ(WeatherService::parseWikiSummary(summaryReply(std::string(400, 'x'))), std::string(300, 'x') + "...");
}

TEST(WikiSummary, CutNeverSplitsACharacter) {
    // "x" then two-byte letters: byte 300 falls in the middle of one.
    std::string text = "x";
    while (text.size() < 400) text += "\xC3\xA9";  // é
    ASSERT_EQ(static_cast<unsigned char>(text[300]) & 0xC0, 0x80);
    const std::string got = WeatherService::parseWikiSummary(summaryReply(text));
    EXPECT_EQ(got, text.substr(0, 299) + "...");
    EXPECT_TRUE(validUtf8(got));
    // Four-byte characters.
    std::string wide = "ab";
    while (wide.size() < 400) wide += "\xF0\x9F\x8C\x8C";  // milky way
    const std::string w = WeatherService::parseWikiSummary(summaryReply(wide));
    EXPECT_EQ(w.size(), 298u + 3u);
    EXPECT_TRUE(validUtf8(w));
}

TEST(WikiSummary, RepliesWithoutAUsableExtractGiveNothing) {
    EXPECT_EQ(WeatherService::parseWikiSummary(""), "");
    EXPECT_EQ(WeatherService::parseWikiSummary("<html>busy</html>"), "");
    EXPECT_EQ(WeatherService::parseWikiSummary("[\"extract\"]"), "");
    EXPECT_EQ(WeatherService::parseWikiSummary("{\"type\":\"disambiguation\"}"), "");
    EXPECT_EQ(WeatherService::parseWikiSummary("{\"extract\":42}"), "");
    EXPECT_EQ(WeatherService::parseWikiSummary("{\"extract\":null}"), "");
    EXPECT_EQ(WeatherService::parseWikiSummary("{\"extract\":\"\"}"), "");
}

// ---- Constellation facts --------------------------------------------------------------

class StarFactsTest : public ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        path = tmp_.path() + "/star_facts.json";
        svc.starFactsPath = path;
    }

    // A facts file with a summary for every constellation except `missing`.
    json factsWithout(std::initializer_list<std::string> missing) {
        json j = json::object();
        for (const Constellation& c : constellations())
            if (std::find(missing.begin(), missing.end(), c.name) == missing.end())
                j[c.name] = std::string("Known summary of ") + c.name + ".";
        return j;
    }

    std::vector<std::string> summaryTargets() const {
        std::vector<std::string> out;
        for (const replay::Request& r : server.requests())
            if (r.service == "wikipedia") out.push_back(r.target);
        return out;
    }

    WeatherService svc;
    std::string path;
};

TEST_F(StarFactsTest, FetchesWhatTheFileLacksAndStoresEverythingSorted) {
    json file = factsWithout({"Bootes", "Cetus", "Orion", "Vela"});
    file["Vela"] = 42;                             // not a string: fetched again
    file["Pluto"] = "A dwarf planet, not a sky figure.";  // unknown names are kept
    writeFile(path, file.dump(2));

    const auto facts = svc.fetchStarFacts();
    EXPECT_EQ(summaryTargets(), (std::vector<std::string>{
                                    "/wikipedia/api/rest_v1/page/summary/Bo%C3%B6tes",
                                    "/wikipedia/api/rest_v1/page/summary/Cetus",
                                    "/wikipedia/api/rest_v1/page/summary/Orion_(constellation)",
                                    "/wikipedia/api/rest_v1/page/summary/Vela_(constellation)",
                                }));
    EXPECT_EQ(facts.size(), 89u);
    EXPECT_EQ(facts.at("Andromeda"), "Known summary of Andromeda.");
    EXPECT_EQ(facts.at("Pluto"), "A dwarf planet, not a sky figure.");
    EXPECT_EQ(facts.at("Orion").rfind("Orion is one of the 88 modern constellations.", 0), 0u);
    EXPECT_EQ(facts.at("Bootes").rfind("Boötes is one of", 0), 0u);
    EXPECT_EQ(facts.at("Vela").rfind("Vela is one of", 0), 0u);

    // The long reply with letters of several scripts: cut at 300 bytes on a
    // character boundary (its only sentence end is too early).
    const std::string& cetus = facts.at("Cetus");
    const std::string full = replay::ReplayServer::fixture("wikipedia/cetus_extract.txt");
    ASSERT_GT(full.size(), 320u);
    EXPECT_EQ(cetus, full.substr(0, 299) + "...");
    EXPECT_TRUE(validUtf8(cetus));

    // One compact object, keys sorted, nothing but the map; no temporary
    // file left behind.
    const std::string text = readFile(path);
    const json stored = json::parse(text);
    EXPECT_EQ(text, stored.dump());
    EXPECT_EQ(stored.size(), facts.size());
    for (const auto& [name, summary] : facts) EXPECT_EQ(stored.at(name), summary) << name;
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // Everything is known now: the next call asks for nothing.
    server.clearRequests();
    EXPECT_EQ(svc.fetchStarFacts(), facts);
    EXPECT_EQ(server.count("wikipedia"), 0u);
}

TEST_F(StarFactsTest, FailedSummariesAreAskedForAgainNextTime) {
    writeFile(path, factsWithout({"Lynx", "Mensa", "Norma", "Scutum"}).dump());
    const auto first = svc.fetchStarFacts();
    EXPECT_EQ(server.count("wikipedia"), 4u);
    EXPECT_EQ(first.size(), 85u);  // 404, 503 and a reply without an extract store nothing
    EXPECT_TRUE(first.count("Scutum"));
    EXPECT_FALSE(first.count("Lynx"));
    EXPECT_TRUE(json::parse(readFile(path)).contains("Scutum"));

    server.clearRequests();
    const auto second = svc.fetchStarFacts();
    EXPECT_EQ(second, first);
    EXPECT_EQ(server.count("wikipedia"), 3u);
    EXPECT_EQ(server.count("wikipedia", std::string(kSummaryPrefix) + replay::sky::kMissingSlug), 1u);
}

TEST_F(StarFactsTest, NothingNewLeavesTheFileAsItWas) {
    server.route("wikipedia", "/api/rest_v1/page/summary/*",
                 [](replay::ReplayServer&, const replay::Request&) { return Reply::withStatus(500, "{}"); });
    const std::string before = "{\"Orion\":\"The Hunter.\",\"Leo\":\"The Lion.\"}";
    writeFile(path, before);
    const auto facts = svc.fetchStarFacts();
    EXPECT_EQ(server.count("wikipedia"), 86u);
    EXPECT_EQ(facts.size(), 2u);
    EXPECT_EQ(readFile(path), before);

    // Without a file, all failing: no file appears.
    std::filesystem::remove(path);
    server.clearRequests();
    EXPECT_TRUE(svc.fetchStarFacts().empty());
    EXPECT_EQ(server.count("wikipedia"), 88u);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(StarFactsTest, WithTheAbortFlagSetNothingIsRequestedOrWritten) {
    svc.abortFlag = true;
    EXPECT_TRUE(svc.fetchStarFacts().empty());
    EXPECT_FALSE(std::filesystem::exists(path));

    // Only string members of an object are read; an array file is ignored.
    const std::string mixed = "{\"Orion\":\"The Hunter.\",\"Leo\":5,\"Lyra\":null,\"Crux\":[\"x\"]}";
    writeFile(path, mixed);
    const auto facts = svc.fetchStarFacts();
    EXPECT_EQ(facts, (std::unordered_map<std::string, std::string>{{"Orion", "The Hunter."}}));
    EXPECT_EQ(readFile(path), mixed);
    for (const char* broken : {"[\"Orion\",\"The Hunter.\"]", "{\"Orion\":\"The Hunter.\"", "// note\n{}"}) {
        writeFile(path, broken);
        EXPECT_TRUE(svc.fetchStarFacts().empty()) << broken;
        EXPECT_EQ(readFile(path), broken);
    }
    EXPECT_EQ(server.count("wikipedia"), 0u);
}

TEST_F(StarFactsTest, AbortDuringTheRunStillSavesWhatArrived) {
    writeFile(path, factsWithout({"Cetus", "Orion", "Vela"}).dump());
    server.setReply("wikipedia", std::string(kSummaryPrefix) + "Orion_(constellation)",
                    Reply::json(summaryReply("The Hunter.")).delayed(300));
    std::thread stopper([&] {
        for (int i = 0; i < 500 && server.count("wikipedia") < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        svc.abortFlag = true;  // while Orion's reply is on its way
    });
    const auto facts = svc.fetchStarFacts();
    stopper.join();
    EXPECT_EQ(server.count("wikipedia", std::string(kSummaryPrefix) + "Vela_(constellation)"), 0u);
    EXPECT_TRUE(facts.count("Cetus"));
    EXPECT_TRUE(json::parse(readFile(path)).contains("Cetus"));
}

// ---- Space-station element set ------------------------------------------------------------

class IssPassesTest : public ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        path = tmp_.path() + "/iss_tle.json";
        svc.issTlePath = path;
        now = unixNow();
        lines = splitSet(replay::sky::issElementSet(now - 3 * 3600));
    }

    // The two element lines of a set as the service sends it.
    static std::pair<std::string, std::string> splitSet(const std::string& body) {
        std::pair<std::string, std::string> out;
        std::istringstream in(body);
        for (std::string l; std::getline(in, l);) {
            while (!l.empty() && (l.back() == '\r' || l.back() == ' ')) l.pop_back();
            if (l[0] == '1') out.first = l;
            if (l[0] == '2') out.second = l;
        }
        return out;
    }

    void writeTleFile(int64_t stamp) {
        writeFile(path, json{{"l1", lines.first}, {"l2", lines.second}, {"t", stamp}}.dump());
    }

    void serveSet(const std::string& body) { server.setReply("celestrak", kTlePath, Reply::text(body)); }

    // A record the fetch must leave alone when it fails.
    static WeatherData untouched() {
        WeatherData d;
        d.issPasses.resize(1);
        d.issPasses[0].start = 1234;
        return d;
    }
    static void expectUntouched(const WeatherData& d) {
        EXPECT_FALSE(d.issComputed);
        ASSERT_EQ(d.issPasses.size(), 1u);
        EXPECT_EQ(d.issPasses[0].start, 1234);
    }

    WeatherService svc;
    std::string path;
    int64_t now = 0;
    std::pair<std::string, std::string> lines;
};

TEST_F(IssPassesTest, DownloadedSetIsKeptInMemoryAndInTheFile) {
    WeatherData d;
    svc.fetchIssPassesAt(place("boston"), d, now);
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].target, "/celestrak/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE");
    EXPECT_TRUE(d.issComputed);

    // The lines without the CRLF and the name line.
    const auto served = splitSet(replay::sky::issElementSet(now - replay::sky::kIssEpochAgeSeconds));
    {
        std::lock_guard<std::mutex> lock(svc.tleMutex);
        EXPECT_EQ(svc.tleLine1.size(), 69u);
        EXPECT_EQ(svc.tleLine1.substr(0, 18), served.first.substr(0, 18));
        EXPECT_EQ(svc.tleLine2, served.second);
        EXPECT_EQ(svc.tleFetchedAt, now);
        EXPECT_EQ(readFile(path), "{\"l1\":\"" + svc.tleLine1 + "\",\"l2\":\"" + svc.tleLine2 +
                                      "\",\"t\":" + std::to_string(now) + "}");
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // Another place within 12 hours: the same set, no download.
    WeatherData oslo;
    svc.fetchIssPassesAt(place("oslo"), oslo, now + 3600);
    EXPECT_TRUE(oslo.issComputed);
    EXPECT_EQ(server.count("celestrak"), 1u);
}

TEST_F(IssPassesTest, MemoryCopyServesForTwelveHours) {
    {
        std::lock_guard<std::mutex> lock(svc.tleMutex);
        svc.tleLine1 = lines.first;
        svc.tleLine2 = lines.second;
        svc.tleFetchedAt = now - 43199;
    }
    WeatherData d;
    svc.fetchIssPassesAt(place("oslo"), d, now);
    EXPECT_TRUE(d.issComputed);
    EXPECT_EQ(server.count("celestrak"), 0u);

    svc.tleFetchedAt = now - 43200;
    svc.fetchIssPassesAt(place("oslo"), d, now);
    EXPECT_EQ(server.count("celestrak"), 1u);
    EXPECT_EQ(svc.tleFetchedAt, now);

    // A fresh stamp with an empty line 1 counts as nothing kept: the file
    // written by the download serves, and without it the set is fetched.
    svc.tleLine1.clear();
    svc.fetchIssPassesAt(place("oslo"), d, now);
    EXPECT_EQ(server.count("celestrak"), 1u);
    EXPECT_EQ(svc.tleLine1.substr(0, 18), lines.first.substr(0, 18));
    svc.tleLine1.clear();
    svc.issTlePath.clear();
    svc.fetchIssPassesAt(place("oslo"), d, now);
    EXPECT_EQ(server.count("celestrak"), 2u);
}

TEST_F(IssPassesTest, FileServesForTwelveHoursAcrossRuns) {
    writeTleFile(now - 43199);
    WeatherData d;
    svc.fetchIssPassesAt(place("halifax"), d, now);
    EXPECT_TRUE(d.issComputed);
    EXPECT_EQ(server.count("celestrak"), 0u);
    EXPECT_EQ(svc.tleLine1, lines.first);
    EXPECT_EQ(svc.tleLine2, lines.second);
    EXPECT_EQ(svc.tleFetchedAt, now - 43199);

    // Exactly 12 hours old: ignored, downloaded and the file written afresh.
    WeatherService next;
    next.issTlePath = path;
    writeTleFile(now - 43200);
    next.fetchIssPassesAt(place("halifax"), d, now);
    EXPECT_EQ(server.count("celestrak"), 1u);
    EXPECT_EQ(json::parse(readFile(path))["t"], now);

    // A stamp from the future (the clock was set back since) is stale too,
    // in the file and in memory; otherwise the set would never be replaced.
    WeatherService later;
    later.issTlePath = path;
    writeTleFile(now + 86400);
    server.clearRequests();
    later.fetchIssPassesAt(place("halifax"), d, now);
    EXPECT_EQ(server.count("celestrak"), 1u);
    later.tleFetchedAt = now + 86400;
    later.issTlePath.clear();
    later.fetchIssPassesAt(place("halifax"), d, now);
    EXPECT_EQ(server.count("celestrak"), 2u);

    // A file without a stamp, one that is not JSON, one of the wrong shape:
    // each ignored.
    for (const char* bad : {"{\"l1\":\"1 x\",\"l2\":\"2 y\"}", "{\"l1\":", "[1,2,3]",
                            "{\"l1\":1,\"l2\":2,\"t\":\"now\"}"}) {
        SCOPED_TRACE(bad);
        WeatherService fresh;
        fresh.issTlePath = path;
        writeFile(path, bad);
        server.clearRequests();
        WeatherData r;
        fresh.fetchIssPassesAt(place("halifax"), r, now);
        EXPECT_EQ(server.count("celestrak"), 1u);
        EXPECT_TRUE(r.issComputed);
    }
}

TEST_F(IssPassesTest, LinesAreFoundAfterTheNameAndCleaned) {
    // Later lines of a kind replace earlier ones; blanks, tabs and carriage
    // returns at line ends go; anything else is ignored.
    serveSet("ISS (ZARYA)             \r\n1 old line one\r\n2 old line two\r\n\r\nsome note\r\n" + lines.first +
             "   \r\n" + lines.second + " \t\r\n");
    WeatherData d;
    svc.fetchIssPassesAt(place("boston"), d, now);
    EXPECT_TRUE(d.issComputed);
    EXPECT_EQ(svc.tleLine1, lines.first);
    EXPECT_EQ(svc.tleLine2, lines.second);
}

TEST_F(IssPassesTest, StrayBytesInTheReplyStillGiveAReadableFile) {
    // Bytes that are not UTF-8 after the element columns: the set is used and
    // the file, with them replaced, still reads back.
    serveSet("ISS \xFF\xFE\r\n" + lines.first + " \xC3\r\n" + lines.second + "\r\n");
    WeatherData d;
    svc.fetchIssPassesAt(place("boston"), d, now);
    EXPECT_TRUE(d.issComputed);
    const json stored = json::parse(readFile(path), nullptr, false);
    ASSERT_TRUE(stored.is_object());
    EXPECT_EQ(stored["l1"].get<std::string>().substr(0, 69), lines.first);
    EXPECT_EQ(stored["l2"], lines.second);

    WeatherService next;
    next.issTlePath = path;
    WeatherData e;
    next.fetchIssPassesAt(place("boston"), e, now + 60);
    EXPECT_TRUE(e.issComputed);
    EXPECT_EQ(server.count("celestrak"), 1u);
}

TEST_F(IssPassesTest, FailedDownloadLeavesEverythingAsItWas) {
    for (const Reply& reply : {Reply::withStatus(503, "busy"), Reply::text("No GP data found"),
                               Reply::text("ISS (ZARYA)\r\n" + lines.first + "\r\n"),
                               Reply::text(lines.second + "\n"), Reply::html()}) {
        server.setReply("celestrak", kTlePath, reply);
        WeatherData d = untouched();
        svc.fetchIssPassesAt(place("boston"), d, now);
        expectUntouched(d);
        EXPECT_TRUE(svc.tleLine1.empty());
        EXPECT_TRUE(svc.tleLine2.empty());
        EXPECT_EQ(svc.tleFetchedAt, 0);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    EXPECT_EQ(server.count("celestrak"), 5u);

    // Without a file path the set lives in memory only.
    svc.issTlePath.clear();
    server.clearReplies();
    WeatherData d;
    svc.fetchIssPassesAt(place("boston"), d, now);
    EXPECT_TRUE(d.issComputed);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IssPassesTest, SetOlderThanFiveDaysGivesNoPassesUntilItIsReplaced) {
    serveSet(replay::sky::issElementSet(now - static_cast<int64_t>(5.2 * 86400)));
    WeatherData d = untouched();
    svc.fetchIssPassesAt(place("oslo"), d, now);
    expectUntouched(d);
    // Kept all the same: not asked for again within 12 hours.
    EXPECT_TRUE(std::filesystem::exists(path));
    svc.fetchIssPassesAt(place("oslo"), d, now + 600);
    expectUntouched(d);
    EXPECT_EQ(server.count("celestrak"), 1u);

    WeatherService other;
    serveSet(replay::sky::issElementSet(now - static_cast<int64_t>(4.8 * 86400)));
    other.fetchIssPassesAt(place("oslo"), d, now);
    EXPECT_TRUE(d.issComputed);

    // A set the parser rejects (mean motion 0) computes nothing.
    WeatherService third;
    std::string bad2 = lines.second;
    bad2.replace(52, 11, " 0.00000000");
    serveSet(lines.first + "\r\n" + bad2 + "\r\n");
    WeatherData e = untouched();
    third.fetchIssPassesAt(place("oslo"), e, now);
    expectUntouched(e);
}

TEST_F(IssPassesTest, PassesAreVisibleOnesInTimeOrderWithinThreeDays) {
    // A fixed clock: Oslo in late May, when the station stays sunlit through
    // the short nights: the set gives visible passes on these three days.
    now = 1779235200;  // 2026-05-20 00:00 UTC
    serveSet(replay::sky::issElementSet(now - 3 * 3600));
    WeatherData d;
    svc.fetchIssPassesAt(place("oslo"), d, now);
    ASSERT_TRUE(d.issComputed);
    ASSERT_FALSE(d.issPasses.empty());
    EXPECT_LE(d.issPasses.size(), WeatherService::kIssPassLimit);
    for (size_t i = 0; i < d.issPasses.size(); ++i) {
        const IssPass& p = d.issPasses[i];
        EXPECT_TRUE(p.visible);
        EXPECT_GE(p.start, now - 60);
        EXPECT_LE(p.end, now + 72 * 3600 + 3600);
        EXPECT_LE(p.start, p.maxTime);
        EXPECT_LE(p.maxTime, p.end);
        EXPECT_GE(p.maxElevation, 10.0);
        if (i > 0) {
            EXPECT_GT(p.start, d.issPasses[i - 1].start);
        }
    }
}

TEST(IssPassSelection, KeepsTheFirstSixVisiblePasses) {
    std::vector<IssPass> all(10);
    for (size_t i = 0; i < all.size(); ++i) {
        all[i].start = 1000 + static_cast<int64_t>(i) * 100;
        all[i].visible = true;
    }
    std::vector<IssPass> kept = WeatherService::keepVisiblePasses(all);
    ASSERT_EQ(kept.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(kept[i].start, all[i].start);

    all[0].visible = false;
    all[3].visible = false;
    kept = WeatherService::keepVisiblePasses(all);
    ASSERT_EQ(kept.size(), 6u);
    EXPECT_EQ(kept.front().start, all[1].start);
    EXPECT_EQ(kept.back().start, all[7].start);

    for (IssPass& p : all) p.visible = false;
    EXPECT_TRUE(WeatherService::keepVisiblePasses(all).empty());
}

}  // namespace
}  // namespace nbr
