// The radar map's threads against the stand-in radar service: the frame list
// worker, the tile queue and fetchers, the pause after 429, dropping tiles of
// a replaced list, and stopping every thread promptly on close.
#include "ReplayEnv.h"
#include "platform/Image.h"
#include "replay/Routes_Radar.h"
#include "ui/RadarView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace nbr {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& ready, Clock::duration limit = 10s) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (ready()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return ready();
}

class RadarConcurrency : public test::ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        radar.basemapDir = emptyDir.path();  // no outlines: nothing to read
    }
    void TearDown() override {
        radar.close();
        ReplayTest::TearDown();
    }

    // The range the drawing would store for a small canvas over Boston at zoom 5.
    void showBoston() {
        std::lock_guard<std::mutex> lock(radar.dataMutex);
        radar.visX0 = 9;
        radar.visX1 = 10;
        radar.visY0 = 11;
        radar.visY1 = 12;
    }
    size_t fetchedCount() {
        std::lock_guard<std::mutex> lock(radar.dataMutex);
        return radar.fetched.size();
    }
    size_t tileRequests() {
        size_t n = 0;
        for (const auto& r : server.requests())
            if (r.service == "rainviewer" && r.path.find("/256/") != std::string::npos) ++n;
        return n;
    }
    // Closing (stopping and joining four threads) takes well under a second.
    void closeWithinASecond() {
        const auto start = Clock::now();
        radar.close();
        EXPECT_LT(Clock::now() - start, 1s);
        EXPECT_FALSE(radar.worker.joinable());
        EXPECT_TRUE(radar.fetchers.empty());
    }

    test::TempDir emptyDir;
    RadarView radar;
};

TEST_F(RadarConcurrency, OpeningFetchesTheListAtOnceAndTheVisibleTilesOfTheShownFrame) {
    radar.startZoom = 5;
    showBoston();
    radar.toggle(42.3584, -71.0598);
    EXPECT_TRUE(radar.open);
    ASSERT_TRUE(waitFor([&] { return fetchedCount() == 4; }));
    EXPECT_EQ(server.count("rainviewer", "/public/weather-maps.json"), 1u);

    std::lock_guard<std::mutex> lock(radar.dataMutex);
    EXPECT_EQ(radar.pastCount, replay::radar::kPastFrames);
    EXPECT_EQ(radar.frameIndex, replay::radar::kPastFrames - 1);  // the newest past frame
    EXPECT_EQ(radar.host, server.base() + "/rainviewer");
    EXPECT_EQ(radar.requested.size(), 4u);  // not playing: one frame only
    for (const auto& [key, bytes] : radar.fetched) {
        // Each body is the tile its key names, of the frame its key names.
        const platform::RgbaImage img = platform::decodeImageMemory(bytes.data(), bytes.size());
        ASSERT_EQ(img.width, 256);
        const replay::radar::TileMark mark = replay::radar::readMark(img.pixels.data());
        const std::int64_t t = radar.frames[static_cast<size_t>(key.frame)].time;
        EXPECT_EQ(mark, (replay::radar::TileMark{5, key.x, key.y, replay::radar::frameTag(t)}));
        EXPECT_EQ(key.frame, replay::radar::kPastFrames - 1);
    }
    for (const auto& r : server.requests()) EXPECT_EQ(r.header("user-agent"), "Nimbrel/1.1 (radar)");
}

TEST_F(RadarConcurrency, PlayingQueuesEveryFrameAndFinerZoomsAskForZoomSevenTiles) {
    radar.autoplay = true;
    radar.startZoom = 9;
    {
        std::lock_guard<std::mutex> lock(radar.dataMutex);
        radar.visX0 = 152;  // Boston at zoom 9 -> column 38, row 47 at zoom 7
        radar.visX1 = 155;
        radar.visY0 = 188;
        radar.visY1 = 189;
    }
    radar.toggle(42.3584, -71.0598);
    const size_t frames = replay::radar::kPastFrames + replay::radar::kNowcastFrames;
    ASSERT_TRUE(waitFor([&] { return fetchedCount() == frames; }));
    std::lock_guard<std::mutex> lock(radar.dataMutex);
    for (const auto& [key, bytes] : radar.fetched) {
        EXPECT_EQ(key.z, 7);
        EXPECT_EQ(key.x, 38);
        EXPECT_EQ(key.y, 47);
    }
}

TEST_F(RadarConcurrency, ASameListKeepsTheTilesAndAChangedOneDropsThemEvenInFlight) {
    radar.refreshInterval = 0s;  // ask for the list on every turn
    const std::int64_t now = 1767258000;
    server.setReply("rainviewer", "/public/weather-maps.json",
                    replay::Reply::json(replay::radar::frameList(server.base() + "/rainviewer", now)));
    showBoston();
    radar.toggle(42.3584, -71.0598);
    ASSERT_TRUE(waitFor([&] { return fetchedCount() == 4; }));
    radar.flushTiles = false;  // as the drawing does with the first list's flag
    const size_t lists = server.count("rainviewer", "/public/weather-maps.json");
    ASSERT_TRUE(waitFor([&] { return server.count("rainviewer", "/public/weather-maps.json") > lists + 2; }));
    EXPECT_EQ(fetchedCount(), 4u);  // the same list again keeps every tile
    EXPECT_FALSE(radar.flushTiles);

    // Tiles of the old frames now answer slowly, those of the new list not
    // at all. While the slow ones are on their way the list moves on by one
    // frame, so every key names another frame than it was asked for: what
    // arrives for the old list must not be kept.
    const std::string newFrame = std::to_string(now + 600);
    std::atomic<int> started{0};
    server.route("rainviewer", "/v2/radar/*", [&started, newFrame](replay::ReplayServer&, const replay::Request& r) {
        if (r.path.find(newFrame) != std::string::npos) return replay::Reply::notFound();
        ++started;
        std::this_thread::sleep_for(700ms);
        return replay::Reply::pass();
    });
    {
        std::lock_guard<std::mutex> lock(radar.dataMutex);
        radar.requested.clear();  // ask for the four again
        radar.fetched.clear();
    }
    ASSERT_TRUE(waitFor([&] { return started >= 3; }));
    server.setReply("rainviewer", "/public/weather-maps.json",
                    replay::Reply::json(replay::radar::frameList(server.base() + "/rainviewer", now + 600)));
    ASSERT_TRUE(waitFor([&] { return radar.flushTiles.load(); }));
    std::this_thread::sleep_for(1500ms);  // every slow answer has arrived
    EXPECT_EQ(fetchedCount(), 0u);
}

TEST_F(RadarConcurrency, TooManyRequestsPausesEveryFetcherAndTheTileIsAskedAgain) {
    std::mutex m;
    std::vector<Clock::time_point> times;
    std::atomic<int> refused{0};
    server.route("rainviewer", "/v2/radar/*", [&](replay::ReplayServer&, const replay::Request&) {
        std::lock_guard<std::mutex> lock(m);
        times.push_back(Clock::now());
        if (refused++ == 0) return replay::Reply::withStatus(429);
        return replay::Reply::pass();
    });
    {
        std::lock_guard<std::mutex> lock(radar.dataMutex);
        radar.visX0 = radar.visX1 = 9;
        radar.visY0 = radar.visY1 = 11;
    }
    radar.toggle(42.3584, -71.0598);
    ASSERT_TRUE(waitFor([&] { return fetchedCount() == 1; }));
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(times.size(), 2u);  // the refused tile, then the same tile again
    EXPECT_GE(times[1] - times[0], 2900ms);
}

TEST_F(RadarConcurrency, ClosingDuringSlowTransfersAndPausesStopsEveryThreadWithinASecond) {
    server.route("rainviewer", "/v2/radar/*", [](replay::ReplayServer&, const replay::Request&) {
        return replay::Reply::pass().delayed(8000);
    });
    showBoston();
    radar.toggle(42.3584, -71.0598);
    ASSERT_TRUE(waitFor([&] { return tileRequests() >= 3; }));  // all three fetchers busy
    closeWithinASecond();
    EXPECT_FALSE(radar.open);
    EXPECT_TRUE(radar.queue.empty());

    // A slow frame list.
    server.setReply("rainviewer", "/public/weather-maps.json", replay::Reply::json("{}").delayed(8000));
    radar.toggle(42.3584, -71.0598);
    std::this_thread::sleep_for(200ms);
    closeWithinASecond();

    // The pause after a 429.
    server.clearReplies();
    radar.toggle(42.3584, -71.0598);
    ASSERT_TRUE(waitFor([&] { std::lock_guard<std::mutex> l(radar.dataMutex); return !radar.frames.empty(); }));
    radar.backoffUntilMs = radarSteadyMs() + 60000;
    std::this_thread::sleep_for(300ms);
    closeWithinASecond();
}

TEST_F(RadarConcurrency, ReopeningStartsWithoutAListSoNoTileIsAskedBeforeOneArrives) {
    showBoston();
    radar.toggle(42.3584, -71.0598);
    ASSERT_TRUE(waitFor([&] { return fetchedCount() == 4; }));
    radar.toggle(0, 0);  // closes
    EXPECT_FALSE(radar.open);
    {
        std::lock_guard<std::mutex> lock(radar.dataMutex);
        EXPECT_TRUE(radar.frames.empty());
        EXPECT_TRUE(radar.fetched.empty());
        EXPECT_TRUE(radar.requested.empty());
    }
    // The service now fails: the list is asked for again and again, no tile.
    server.setReply("rainviewer", "/public/weather-maps.json", replay::Reply::withStatus(503));
    server.clearRequests();
    radar.toggle(42.3584, -71.0598);
    ASSERT_TRUE(waitFor([&] { return server.count("rainviewer", "/public/weather-maps.json") >= 3; }));
    EXPECT_EQ(tileRequests(), 0u);
}

}  // namespace
}  // namespace nbr
