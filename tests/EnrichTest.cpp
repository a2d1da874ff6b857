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
    const auto start = Clock::now();
    svc.enrichWeather(place("boston"), d);
    const double took = secondsSince(start);
    EXPECT_TRUE(d.enriched);
    // The slowest group asks a few things one after another; the fan-out
    // adds little beyond it.
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
