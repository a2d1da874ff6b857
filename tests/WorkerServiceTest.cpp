// The worker against the stand-in web services: requests done one at a time
// in push order, and a stop that ends a transfer in progress.
#include "ReplayEnv.h"
#include "app/App.h"
#include "model/Constellations.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <thread>

namespace nbr {
namespace {

using namespace std::chrono_literals;

class WorkerConcurrency : public test::ReplayTest {
protected:
    // Waits (bounded, so a fault fails instead of hanging) for `n` results.
    std::vector<App::WorkResult> results(App& app, size_t n) {
        std::vector<App::WorkResult> out;
        for (int i = 0; i < 3000 && out.size() < n; ++i) {
            if (auto r = app.resultQueue.tryPop()) out.push_back(std::move(*r));
            else std::this_thread::sleep_for(10ms);
        }
        return out;
    }
    bool waitForRequests(std::string_view service, size_t n) {
        for (int i = 0; i < 3000; ++i) {
            if (server.count(service) >= n) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
};

TEST_F(WorkerConcurrency, RequestsAreAnsweredOneAtATimeInPushOrder) {
    App app;
    app.startWorker();
    app.requestGeocode("Oslo");
    app.requestWeatherUpdate(place("boston"));
    app.requestWeatherUpdate(place("halifax"));
    app.requestGeocode("zzqxj nowhere");

    // A weather request is answered twice: the base forecast at once, then
    // the enriched record.
    const std::vector<App::WorkResult> got = results(app, 6);
    app.stopWorker();
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].kind, App::WorkKind::Geocode);
    ASSERT_FALSE(got[0].searchResults.empty());
    EXPECT_EQ(got[0].searchResults[0].name, "Oslo");
    for (int i : {1, 2}) {
        EXPECT_EQ(got[i].kind, App::WorkKind::FetchWeather);
        ASSERT_TRUE(got[i].weather);
        EXPECT_EQ(got[i].weather->location.name, "Boston");
        EXPECT_FALSE(got[i].weather->hourly.empty());
        EXPECT_TRUE(got[i].error.empty());
    }
    EXPECT_FALSE(got[1].weather->enriched);
    EXPECT_TRUE(got[2].weather->enriched);
    ASSERT_TRUE(got[4].weather);
    EXPECT_EQ(got[4].weather->location.name, "Halifax");
    for (int i : {1, 2, 3, 4}) EXPECT_EQ(got[i].request, i < 3 ? 1u : 2u) << i;  // the request each answers
    EXPECT_EQ(got[5].kind, App::WorkKind::Geocode);
    EXPECT_TRUE(got[5].searchResults.empty());  // nonsense finds nothing

    // The first thread takes them over: the record is the last one applied.
    for (const App::WorkResult& r : got) app.resultQueue.push(r);
    app.fetchInProgress = true;
    app.updateFromBackground();
    EXPECT_EQ(app.weather.location.name, "Halifax");
    EXPECT_FALSE(app.fetchInProgress);
    EXPECT_TRUE(app.status.empty());
}

TEST_F(WorkerConcurrency, UnreachableServiceAnswersWithTheConnectionError) {
    server.stop();
    App app;
    app.startWorker();
    app.requestWeatherUpdate(place("oslo"));
    const std::vector<App::WorkResult> got = results(app, 1);
    app.stopWorker();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FALSE(got[0].weather);
    EXPECT_EQ(got[0].request, 1u);
    EXPECT_EQ(got[0].error, "Couldn't reach the weather service - check your connection.");
    EXPECT_NE(logText().find("[warn] weather fetch failed for Oslo (59.9127,10.7461): Couldn't reach"),
              std::string::npos)
        << logText();
}

TEST_F(WorkerConcurrency, StopDuringAFetchAbortsItAndTakesNoFurtherRequest) {
    // The forecast would take ten minutes to arrive.
    server.setReply("forecast", "/v1/forecast", replay::Reply::json("{}").delayed(600000));
    App app;
    app.startWorker();
    app.requestWeatherUpdate(place("boston"));
    app.requestGeocode("Oslo");
    ASSERT_TRUE(waitForRequests("forecast", 1));

    app.stopWorker();  // returns once the aborted transfer has ended
    EXPECT_FALSE(app.worker.joinable());
    EXPECT_EQ(server.count("geocoding"), 0u);
    std::vector<App::WorkResult> left;
    while (auto r = app.resultQueue.tryPop()) left.push_back(std::move(*r));
    for (const App::WorkResult& r : left) {
        EXPECT_EQ(r.kind, App::WorkKind::FetchWeather);
        EXPECT_FALSE(r.weather);
    }
}

TEST_F(WorkerConcurrency, StarFactsRequestAnswersWithTheSummaries) {
    App app;
    app.weatherService.starFactsPath = tmp_.path() + "/star_facts.json";
    nlohmann::json known = nlohmann::json::object();
    for (const Constellation& c : constellations())
        if (std::string(c.name) != "Lyra") known[c.name] = "Known.";
    test::writeFile(app.weatherService.starFactsPath, known.dump());

    app.startWorker();
    App::WorkRequest r;
    r.kind = App::WorkKind::FetchStarFacts;
    app.requestQueue.push(std::move(r));
    const std::vector<App::WorkResult> got = results(app, 1);
    app.stopWorker();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, App::WorkKind::FetchStarFacts);
    EXPECT_EQ(got[0].starFacts.size(), 88u);
    EXPECT_EQ(got[0].starFacts.at("Lyra").rfind("Lyra is one of", 0), 0u);
    EXPECT_EQ(server.count("wikipedia"), 1u);
}

}  // namespace
}  // namespace nbr
