#include "foundation/Logger.h"
#include "TestEnv.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <set>
#include <thread>
#include <vector>

namespace nbr {
namespace {

using test::readFile;

// "YYYY-MM-DD HH:MM:SS [level] " at the start of a line: returns the level word
// and the message after it, or false.
bool splitLine(const std::string& line, std::string& level, std::string& message) {
    int y, mo, d, h, mi, s, n = 0;
    char lvl[8] = {};
    if (std::sscanf(line.c_str(), "%4d-%2d-%2d %2d:%2d:%2d [%7[a-z]] %n", &y, &mo, &d, &h, &mi, &s, lvl, &n) != 7 ||
        n < 22 || line[19] != ' ' || line[20] != '[' || line[n - 2] != ']')
        return false;
    level = lvl;
    message = line.substr(static_cast<size_t>(n));
    return level == "info" || level == "warn" || level == "error";
}

// The log is process-wide: every test points it at its own folder.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override { Log::init(tmp_.path() + "/logs"); }
    std::string logPath() const { return tmp_.path() + "/logs/app.log"; }
    test::TempDir tmp_;
};

TEST_F(LogTest, LineFormatAndLevels) {
    ASSERT_EQ(Log::dir(), tmp_.path() + "/logs");
    Log::info("started (%d saved location(s))", 2);
    Log::warn("a %s", "warning");
    Log::error("size %zu, big %lld", size_t{7}, 1LL << 40);
    const std::string text = readFile(logPath());
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 3u);
    std::string level, message;
    for (const auto& l : lines) EXPECT_TRUE(splitLine(l, level, message)) << l;
    EXPECT_NE(lines[0].find("[info] started (2 saved location(s))"), std::string::npos);
    EXPECT_NE(lines[1].find("[warn] a warning"), std::string::npos);
    EXPECT_NE(lines[2].find("[error] size 7, big 1099511627776"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(LogTest, RotatesOnlyAboveTheLimit) {
    test::writeFile(logPath(), std::string(524288, 'x'));
    Log::info("at the limit");
    EXPECT_GT(readFile(logPath()).size(), 524288u);
    EXPECT_FALSE(std::filesystem::exists(logPath() + ".1"));

    test::writeFile(logPath() + ".1", "older generation");
    Log::info("fresh");
    const std::string fresh = readFile(logPath());
    EXPECT_NE(fresh.find("[info] fresh\n"), std::string::npos);
    EXPECT_LT(fresh.size(), 100u);
    EXPECT_NE(readFile(logPath() + ".1").find("at the limit"), std::string::npos);
}

TEST_F(LogTest, FailedInitKeepsTheCurrentFolder) {
    test::writeFile(tmp_.path() + "/blocker", "file");
    Log::init(tmp_.path() + "/blocker/logs");
    EXPECT_EQ(Log::dir(), tmp_.path() + "/logs");
    Log::info("still here");
    EXPECT_NE(readFile(logPath()).find("still here"), std::string::npos);
}

TEST(LogConcurrency, EightThreadsLoseAndMixNoLine) {
    test::TempDir tmp;
    Log::init(tmp.path());
    constexpr int kThreads = 8, kLines = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) Log::info("thread %d line %d %s", t, i, "payload-payload-payload");
        });
    for (auto& th : threads) th.join();

    // Rotation may have moved the older lines: read both generations.
    const std::string text = readFile(tmp.path() + "/app.log.1") + readFile(tmp.path() + "/app.log");
    std::set<std::pair<int, int>> seen;
    std::istringstream in(text);
    int count = 0;
    for (std::string l; std::getline(in, l); ++count) {
        std::string level, message;
        int t = -1, i = -1, used = 0;
        ASSERT_TRUE(splitLine(l, level, message) && level == "info") << l;
        ASSERT_EQ(std::sscanf(message.c_str(), "thread %d line %d payload-payload-payload%n", &t, &i, &used), 2) << l;
        ASSERT_EQ(static_cast<size_t>(used), message.size()) << l;
        seen.insert({t, i});
    }
    // Two generations hold at most ~1 MiB; every line that is kept is whole,
    // and every line written since the last rotation is present.
    EXPECT_EQ(static_cast<size_t>(count), seen.size());
    if (!std::filesystem::exists(tmp.path() + "/app.log.1")) {
        EXPECT_EQ(count, kThreads * kLines);
    }
}

TEST(LogOffTest, NothingIsWrittenBeforeInitAndWhatNoFileTakesGoesToStandardError) {
    // Only a fresh process has logging off: the check runs in a new copy of
    // this program (the death-test runner starts one), in a folder of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string dir = std::filesystem::temp_directory_path() / "nimbrel-logoff-XXXXXX";
            std::string tmpl = dir;
            int err[2];  // standard error, read back below
            if (!mkdtemp(tmpl.data()) || chdir(tmpl.c_str()) != 0 || pipe2(err, O_NONBLOCK) != 0 ||
                dup2(err[1], 2) < 0)
                _exit(10);
            int code = 0;
            if (!Log::dir().empty()) code = 11;
            Log::info("early %d", 1);
            Log::warn("early %d", 2);
            Log::error("early %d", 3);
            // Nothing anywhere: not in the working folder, not kept back for later.
            if (code == 0 && !std::filesystem::is_empty(tmpl)) code = 12;
            if (code == 0 && std::filesystem::exists("/app.log")) code = 13;
            // No folder, or a file that takes no line: the line goes to standard error.
            test::writeFile(tmpl + "/blocker", "file");
            Log::init(tmpl + "/blocker/logs");
            Log::warn("no folder %d", 4);
            Log::init(tmpl + "/logs");
            Log::info("late");
            const std::string text = readFile(tmpl + "/logs/app.log");
            if (code == 0 && (text.find("early") != std::string::npos || text.find("[info] late") == std::string::npos))
                code = 14;
            std::filesystem::remove(tmpl + "/logs/app.log");
            std::filesystem::create_directory(tmpl + "/logs/app.log");
            Log::error("no file %d", 5);
            char said[512] = {};
            if (code == 0 && (read(err[0], said, sizeof said - 1) <= 0 || std::strstr(said, "early") ||
                              std::strstr(said, "late") || !std::strstr(said, "[warn] no folder 4\n") ||
                              !std::strstr(said, "[error] no file 5\n")))
                code = 15;
            std::error_code ec;
            std::filesystem::remove_all(tmpl, ec);
            _exit(code);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace nbr
