// A process killed while it writes a history file loses at most the line it
// was writing: a child process appends or rewrites in a loop, reporting each
// finished write through a pipe, and is killed with SIGKILL; the next load
// must hold everything reported, and later writes must not be swallowed.
#include "history/HistoryStore.h"
#include "model/Dates.h"

#include "TestEnv.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using nbr::HistoryStore;

namespace {

const std::string kKey = "Crash@1.0000,2.0000";

std::string obsTime(int i) {
    char t[32];
    std::snprintf(t, sizeof t, "%sT%02d:00", nbr::addDays("2020-01-01", i / 24).c_str(), i % 24);
    return t;
}

constexpr int kHourly = 6;
constexpr size_t kRecordsPerStep = 1 + 6 + kHourly;

// The records of write number `step`: one observation, six day forecasts and
// six hourly temperatures, as one refresh would log them.
void addStep(HistoryStore::Log& log, int step, std::vector<std::string>& lines) {
    HistoryStore::ObsRecord o{obsTime(step), double(step), 50, 1010, 5, 0, 1};
    lines.push_back(HistoryStore::lineOf(o));
    log.obs.push_back(o);
    const std::string made = "s" + std::to_string(step);
    for (int lead = 1; lead <= 6; ++lead) {
        HistoryStore::FcstRecord f{made, nbr::addDays("2020-01-01", lead), lead, 20.5, 10.25, 40, 1.5, 61};
        lines.push_back(HistoryStore::lineOf(f));
        log.fcstKeys.insert(HistoryStore::keyOf(f));
        log.fcst.push_back(f);
    }
    for (int h = 0; h < kHourly; ++h) {
        HistoryStore::HFcstRecord r{made, h, 14.75};
        lines.push_back(HistoryStore::lineOf(r));
        log.hfKeys.insert(HistoryStore::keyOf(r));
        log.hf.push_back(r);
    }
}

bool hasStep(const HistoryStore::Log& log, int step) {
    const std::string made = "s" + std::to_string(step);
    for (int lead = 1; lead <= 6; ++lead)
        if (!log.fcstKeys.count(made + "|" + nbr::addDays("2020-01-01", lead))) return false;
    for (int h = 0; h < kHourly; ++h)
        if (!log.hfKeys.count(made + "|" + std::to_string(h))) return false;
    for (const auto& o : log.obs)
        if (o.time == obsTime(step)) return true;
    return false;
}

size_t recordCount(const HistoryStore::Log& log) {
    return log.obs.size() + log.fcst.size() + log.truth.size() + log.mfcst.size() + log.hf.size();
}

size_t lineCount(const std::string& path) {
    const std::string text = nbr::test::readFile(path);
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || i + 1 == text.size()) ++n;
    return n;
}

// Runs `body` in a child process that writes one byte to `ack` after each
// finished write, kills it with SIGKILL once `killAfter` writes were reported
// and `delayUs` more microseconds passed, and returns how many writes the
// child reported in all.
int runAndKill(const std::function<void(int ack)>& body, int killAfter, int delayUs) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        body(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    int acked = 0;
    char c;
    while (acked < killAfter && read(fds[0], &c, 1) == 1) ++acked;
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    kill(pid, SIGKILL);
    while (read(fds[0], &c, 1) == 1) ++acked;  // reports sent before the kill landed
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended on its own";
    return acked;
}

void ack(int fd) {
    const char c = 1;
    if (write(fd, &c, 1) != 1) _exit(1);
}

}  // namespace

TEST(HistoryCrash, KilledDuringAppendsKeepsEveryFinishedAppend) {
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        nbr::test::TempDir tmp;
        const std::string dir = tmp.path() + "/history";
        const int acked = runAndKill(
            [&](int fd) {
                HistoryStore store;
                store.dir = dir;
                auto& log = store.logFor(kKey);
                // Stays under every cap, so each step is a plain append.
                for (int step = 0; step < 600; ++step) {
                    std::vector<std::string> lines;
                    addStep(log, step, lines);
                    store.pruneAndFlush(kKey, log, lines);
                    ack(fd);
                }
                pause();
            },
            5 + int(rng() % 60), int(rng() % 3000));
        ASSERT_GT(acked, 0);
        ASSERT_LT(acked, 600);

        HistoryStore after;
        after.dir = dir;
        auto& log = after.logFor(kKey);
        for (int step = 0; step < acked; ++step) ASSERT_TRUE(hasStep(log, step)) << step;
        EXPECT_LE(recordCount(log), size_t(acked + 1) * kRecordsPerStep);
        EXPECT_LE(lineCount(after.pathFor(kKey)) - recordCount(log), 1u);  // at most one torn line

        // The next run's append is read back whole.
        std::vector<std::string> lines;
        addStep(log, 1000, lines);
        after.pruneAndFlush(kKey, log, lines);
        HistoryStore again;
        again.dir = dir;
        EXPECT_TRUE(hasStep(again.logFor(kKey), 1000));
        EXPECT_TRUE(hasStep(again.logFor(kKey), acked - 1));
    }
}

TEST(HistoryCrash, KilledDuringRewritesLeavesTheOldOrTheNewFileWhole) {
    std::mt19937 rng(11);
    // A log near its caps, so each rewrite takes a while.
    HistoryStore::Log base;
    std::vector<std::string> ignored;
    for (int step = 0; step < 150; ++step) addStep(base, step, ignored);
    for (int i = 0; i < 5000; ++i) base.obs.push_back({obsTime(10000 + i), 1, 2, 3, 4, 5, 6});
    for (int i = 0; i < 366; ++i) base.truth.push_back({nbr::addDays("2019-01-01", i), 10, 1, 0.5, i % 2 == 0});

    int leftTemporary = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        nbr::test::TempDir tmp;
        const std::string dir = tmp.path() + "/history";
        {
            HistoryStore seed;
            seed.dir = dir;
            ASSERT_TRUE(seed.rewrite(kKey, base));
        }
        const int acked = runAndKill(
            [&](int fd) {
                HistoryStore store;
                store.dir = dir;
                auto& log = store.logFor(kKey);
                for (int step = 150; step < 400; ++step) {
                    std::vector<std::string> lines;
                    addStep(log, step, lines);
                    store.rewrite(kKey, log);
                    ack(fd);
                }
                pause();
            },
            1 + int(rng() % 4), int(rng() % 20000));
        ASSERT_GT(acked, 0);
        ASSERT_LT(acked, 250);
        HistoryStore after;
        after.dir = dir;
        leftTemporary += std::filesystem::exists(after.pathFor(kKey) + ".tmp");
        auto& log = after.logFor(kKey);
        for (int step = 0; step < 150 + acked; ++step) ASSERT_TRUE(hasStep(log, step)) << step;
        EXPECT_EQ(log.truth.size(), 366u);
        EXPECT_GE(log.obs.size(), 5000u + 150 + acked);
        EXPECT_LE(recordCount(log), recordCount(base) + size_t(acked + 1) * kRecordsPerStep);
        EXPECT_EQ(lineCount(after.pathFor(kKey)), recordCount(log));  // no torn line at all

        // A later rewrite replaces a leftover temporary file; a later append survives.
        std::vector<std::string> lines;
        addStep(log, 1000, lines);
        EXPECT_TRUE(after.rewrite(kKey, log));
        lines.clear();
        addStep(log, 1001, lines);
        after.pruneAndFlush(kKey, log, lines);
        HistoryStore again;
        again.dir = dir;
        EXPECT_TRUE(hasStep(again.logFor(kKey), 1000));
        EXPECT_TRUE(hasStep(again.logFor(kKey), 1001));
        EXPECT_TRUE(hasStep(again.logFor(kKey), 149 + acked));
    }
    // The temporary file exists for nearly the whole rewrite, so most kills
    // land while it is being written.
    EXPECT_GT(leftTemporary, 0);
}
