// The queues between the first thread and the worker, and the worker's
// start and stop.
#include "TestEnv.h"
#include "app/App.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace nbr {
namespace {

using namespace std::chrono_literals;

TEST(WorkQueueConcurrency, ItemsArriveOnceEachInPushOrder) {
    ThreadSafeQueue<int> q;
    constexpr int kCount = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) q.push(i);
    });
    int expected = 0;
    while (expected < kCount) {
        std::optional<int> v = q.waitPop(60s);
        ASSERT_TRUE(v);
        ASSERT_EQ(*v, expected);
        ++expected;
    }
    producer.join();
    EXPECT_FALSE(q.tryPop());
}

TEST(WorkQueueConcurrency, PushWakesAWaiterAndAnEmptyWaitTimesOut) {
    ThreadSafeQueue<std::string> q;
    EXPECT_FALSE(q.waitPop(1ms));
    std::optional<std::string> got;
    std::thread consumer([&] { got = q.waitPop(600s); });  // only a push ends this wait in time
    std::this_thread::sleep_for(20ms);
    q.push("wake");
    consumer.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, "wake");
}

TEST(WorkQueueConcurrency, MoveOnlyPayloadsTravelWhole) {
    ThreadSafeQueue<std::unique_ptr<std::vector<int>>> q;
    q.push(std::make_unique<std::vector<int>>(1000, 7));
    auto v = q.tryPop();
    ASSERT_TRUE(v && *v);
    EXPECT_EQ((*v)->size(), 1000u);
}

TEST(WorkerIdleConcurrency, StopWhileWaitingEndsTheWorkerWithoutDoingTheWakeUpRequest) {
    App app;
    app.workerWakeInterval = 600s;  // only the wake-up request can end the wait
    app.startWorker();
    std::this_thread::sleep_for(20ms);
    app.stopWorker();
    EXPECT_FALSE(app.worker.joinable());
    EXPECT_EQ(app.resultQueue.size(), 0u);  // the wake-up request was dropped, not fetched
}

// A place renamed just before the stop: its history follows the new name,
// whether the stopping worker takes the rename or leaves it behind another.
TEST(WorkerIdleConcurrency, ARenameQueuedAtTheStopIsStillDone) {
    for (const bool behindAnother : {false, true}) {
        App app;
        test::TempDir tmp;
        app.historyStore.dir = tmp.path();
        test::writeFile(app.historyStore.pathFor("Old@0.0000,0.0000"), "\n");
        app.workerWakeInterval = 600s;
        app.startWorker();
        std::this_thread::sleep_for(20ms);
        app.workerRunning = false;  // stopping, the worker still waiting
        if (behindAnother) app.requestGeocode("");
        App::WorkRequest rename;
        rename.kind = App::WorkKind::RenamePlace;
        rename.oldKey = "Old@0.0000,0.0000";
        rename.location.name = "New";
        app.requestQueue.push(rename);
        app.stopWorker();
        EXPECT_TRUE(std::filesystem::exists(app.historyStore.pathFor("New@0.0000,0.0000"))) << behindAnother;
    }
}

TEST(WorkerIdleConcurrency, IdleWorkerKeepsWaitingAcrossWakeUps) {
    App app;
    app.workerWakeInterval = 1ms;  // many empty wake-ups
    app.startWorker();
    std::this_thread::sleep_for(50ms);
    app.requestGeocode("");
    std::optional<App::WorkResult> r;
    for (int i = 0; i < 6000 && !r; ++i) {
        r = app.resultQueue.tryPop();
        if (!r) std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, App::WorkKind::Geocode);
    EXPECT_TRUE(r->searchResults.empty());
    app.stopWorker();
}

}  // namespace
}  // namespace nbr
