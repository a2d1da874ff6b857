// The enrichment fan-out against the stand-in services: which blocks each
// place gets, all sources at once, failures and the abort flag.
#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace nbr::test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

class EnrichTest : public ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        svc.negPath = tmp_.path() + "/enrich_flags.json";
        svc.issTlePath = tmp_.path() + "/iss_tle.json";
    }
    WeatherData base(const char* id) {
        std::optional<WeatherData> d = svc.fetchWeather(place(id));
        EXPECT_TRUE(d);
        return d ? *d : WeatherData{};
    }
    WeatherService svc;
};

TEST_F(EnrichTest, EnrichesOnceAndStoresTheRecordInTheCache) {
    WeatherData d = base("boston");
    svc.enrichWeather(place("boston"), d);
    EXPECT_TRUE(d.enriched);
    const size_t asked = server.requests().size();
    svc.enrichWeather(place("boston"), d);  // already enriched: nothing asked
    EXPECT_EQ(server.requests().size(), asked);
    // Within the cache's ten minutes the next refresh gets the enriched record.
    const std::optional<WeatherData> again = svc.fetchWeather(place("boston"));
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->enriched);
    EXPECT_EQ(server.requests().size(), asked);

    // A record whose place left the cache is enriched but not stored.
    WeatherData other = d;
    other.enriched = false;
    GeoLocation elsewhere = place("boston");
    elsewhere.name = "Somewhere else";
    svc.enrichWeather(elsewhere, other);
    EXPECT_TRUE(other.enriched);
    EXPECT_FALSE(svc.getCached(elsewhere));
}

TEST_F(EnrichTest, EachPlaceGetsItsOwnSourcesEndToEnd) {
    struct Expect {
        const char* name;
        bool us, buoy;
        size_t officialAlerts;
    };
    const Expect places[] = {{"Boston", true, true, 2}, {"Oslo", false, false, 1}, {"Halifax", false, true, 1}};
    for (const Expect& e : places) {
        const std::vector<GeoLocation> found = svc.geocode(e.name);
        ASSERT_FALSE(found.empty()) << e.name;
        const GeoLocation& where = found.front();
        std::optional<WeatherData> fetched = svc.fetchWeather(where);
        ASSERT_TRUE(fetched) << e.name;
        WeatherData& d = *fetched;
        svc.enrichWeather(where, d);
        WeatherService::applyPopConsensus(d);
        SCOPED_TRACE(e.name);
        // Everywhere: space weather, models, air, waves, station, quakes.
        EXPECT_GE(d.kpIndex, 0);
        EXPECT_TRUE(d.solar.valid);
        EXPECT_GE(d.auroraProbability, 0);
        EXPECT_FALSE(d.modelSeries.empty());
        EXPECT_FALSE(d.seasonalDates.empty());
        EXPECT_TRUE(d.airQuality.valid);
        EXPECT_GE(d.tides.waveHeight, 0);
        EXPECT_TRUE(d.station.valid);
        EXPECT_TRUE(d.quakes.valid);
        EXPECT_TRUE(d.metNorway.valid);
        EXPECT_TRUE(d.issComputed);
        EXPECT_EQ(d.tides.hasBuoy, e.buoy);
        // The US only: tides, gauges, the office's day and its discussion.
        EXPECT_EQ(d.tides.hasPredictions, e.us);
        EXPECT_EQ(d.flood.hasGauge, e.us);
        EXPECT_EQ(d.nws.valid, e.us);
        EXPECT_EQ(!d.afdText.empty(), e.us);
        // With the own value and the models, every day has a consensus.
        ASSERT_FALSE(d.daily.empty());
        EXPECT_TRUE(d.popConsensusApplied);
        EXPECT_TRUE(d.daily[1].popConsensus);
        EXPECT_GE(d.daily[1].popSources, 3u + (e.us ? 1u : 0u));
        EXPECT_EQ(svc.fetchOfficialAlerts(where).size(), e.officialAlerts);
    }
    // Oslo and Halifax never asked the US services.
    for (const replay::Request& r : server.requests()) {
        if (r.service == "nws" || r.service == "coops" || r.service == "usgswater") {
            EXPECT_EQ(r.place ? r.place->id : "boston", "boston") << r.target;
        }
    }
}

TEST_F(EnrichTest, EveryFailingSourceLeavesTheRecordAsItWasAndWritesNothing) {
    WeatherData d = base("oslo");
    const WeatherData before = d;
    server.failEverything(503);
    svc.enrichWeather(place("oslo"), d);
    EXPECT_TRUE(d.enriched);
    EXPECT_EQ(d.kpIndex, -1);
    EXPECT_FALSE(d.airQuality.valid);
    EXPECT_FALSE(d.quakes.valid);
    EXPECT_TRUE(d.issPasses.empty());
    EXPECT_EQ(d.daily.size(), before.daily.size());
    EXPECT_FALSE(std::filesystem::exists(svc.negPath));
    EXPECT_FALSE(std::filesystem::exists(svc.issTlePath));
}

class EnrichConcurrency : public EnrichTest {};

TEST_F(EnrichConcurrency, SourcesRunAtOnceAndTheAbortFlagEndsThemWithinTwoSeconds) {
    WeatherData d = base("boston");
    // Every source 300 ms late: all at once, not one after another.
    server.delayEverything(300);
    const size_t before = server.requests().size();
    const auto start = Clock::now();
    svc.enrichWeather(place("boston"), d);
    const double took = secondsSince(start);
    EXPECT_TRUE(d.enriched);
    // The slowest group asks about half of all the requests one after
    // another; the groups one after another would take 0.3 s for each.
    const size_t asked = server.requests().size() - before;
    EXPECT_LT(took, 0.3 * 0.8 * static_cast<double>(asked)) << asked << " requests";
    RecordProperty("enrich_seconds_all_300ms_late", std::to_string(took));

    WeatherData hanging = base("halifax");
    server.delayEverything(600000);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        svc.abortFlag = true;
    });
    const auto abortStart = Clock::now();
    svc.enrichWeather(place("halifax"), hanging);
    const double stopped = secondsSince(abortStart);
    stopper.join();
    EXPECT_LT(stopped, 2.3);  // 0.3 s before the flag, then at most 2 s
    EXPECT_TRUE(hanging.enriched);
    server.delayEverything(0);
}

TEST_F(EnrichConcurrency, TwoEnrichmentsAtOnceWithRandomDelays) {
    server.delayEverything(5, 60);
    WeatherData a = base("boston"), b = base("halifax");
    std::thread other([&] { svc.enrichWeather(place("halifax"), b); });
    svc.enrichWeather(place("boston"), a);
    other.join();
    EXPECT_TRUE(a.enriched);
    EXPECT_TRUE(b.enriched);
    EXPECT_EQ(a.location.name, "Boston");
    EXPECT_EQ(b.location.name, "Halifax");
}

}  // namespace
}  // namespace nbr::test
