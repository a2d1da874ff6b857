// The whole refresh in the real program, against the stand-in services:
// Boston's record enriched and learned from, the US alert filed and shown
// once across restarts, the history and archive written in the data folder.
#include "DisplayHarness.h"
#include "replay/ReplayServer.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>

namespace nbr {
namespace {

using namespace std::chrono_literals;

TEST(RefreshProcessTest, EnrichedRecordAlertOnceAndFilesInTheDataFolder) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    test::TempDir tmp;
    replay::ReplayServer server;
    ASSERT_TRUE(server.start());
    const std::string data = tmp.path() + "/Nimbrel";
    const std::string logPath = data + "/logs/app.log";
    test::writeFile(data + "/config.json",
                    R"({"locations":[{"name":"Boston","country":"US","admin1":"Massachusetts","latitude":42.3584,)"
                    R"("longitude":-71.0598,"timezone":"America/New_York","isDefault":true}],)"
                    R"("activeLocationIndex":0,"settings":{"notifyMode":0}})");
    const std::map<std::string, std::string> env = {{"DISPLAY", display.name()},
                                                    {"APPDATA", tmp.path()},
                                                    {"NIMBREL_SERVICE_BASE", server.base()},
                                                    {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                                    {"SDL_VIDEODRIVER", "x11"},
                                                    {"ASAN_OPTIONS", "detect_leaks=0"}};

    std::string logs;
    for (int run = 0; run < 3; ++run) {
        const size_t alertRequests = server.count("nws", "/alerts/active");
        test::Child pid{test::spawnWith({NIMBREL_EXE}, env, tmp.path() + "/stdout.txt")};
        ASSERT_GT(pid, 0);
        // The final stage of the refresh asks for the official alerts last
        // but one; the notice follows on the next loop turns.
        for (int i = 0; i < 300 && server.count("nws", "/alerts/active") == alertRequests; ++i)
            std::this_thread::sleep_for(100ms);
        EXPECT_EQ(server.count("nws", "/alerts/active"), alertRequests + 1) << run;
        std::this_thread::sleep_for(1500ms);
        ASSERT_EQ(kill(pid, SIGTERM), 0);
        ASSERT_EQ(test::waitExit(pid, 30s), 0) << test::readFile(logPath);
        logs += test::readFile(logPath);
        std::filesystem::remove(logPath);
    }

    // The wind advisory reached the desktop once, in the first run.
    EXPECT_EQ(test::countOf(logs, "Wind Advisory issued by NWS Boston/Norton MA"), 1u) << logs;
    EXPECT_EQ(logs.find("[warn] http"), std::string::npos) << logs;  // every service answered
    EXPECT_EQ(logs.find("[error]"), std::string::npos) << logs;
    const auto state = nlohmann::json::parse(test::readFile(data + "/alert_state.json"));
    EXPECT_TRUE(state.at("notified").contains("OFFICIAL|urn:oid:2.49.0.1.840.0.boston.wind.1")) << state.dump();

    const std::string key = "Boston_42.3584_-71.0598";
    EXPECT_TRUE(std::filesystem::exists(data + "/history/" + key + ".jsonl"));
    EXPECT_TRUE(std::filesystem::exists(data + "/archive/" + key + ".jsonl"));
    EXPECT_EQ(server.count("archive"), 1u);  // ten years once, then from the file
}

}  // namespace
}  // namespace nbr
