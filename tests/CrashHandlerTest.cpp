#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <algorithm>
#include <cctype>
#include <climits>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "TestEnv.h"
#include "foundation/CrashHandler.h"
#include "platform/CrashSignals.h"
#include "platform/Process.h"

namespace nbr {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a forked child and returns its wait status. The child ends
// with _exit(body's result) unless it dies first.
int inChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

std::vector<std::string> crashFiles(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().rfind("crash-", 0) == 0) out.push_back(e.path().string());
    return out;
}

// Checks the parts every report has and returns its text.
std::string checkReport(const std::string& dir, const std::string& before, const std::string& after) {
    const auto files = crashFiles(dir);
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return {};
    const std::string name = fs::path(files[0]).filename().string();
    // "crash-" YYYYmmdd "-" HHMMSS ".txt"
    const bool shaped = name.size() == 25 && name.rfind("crash-", 0) == 0 && name.substr(21) == ".txt" &&
                        name[14] == '-' &&
                        std::all_of(name.begin() + 6, name.begin() + 21, [](char c) { return c == '-' || std::isdigit(static_cast<unsigned char>(c)); });
    EXPECT_TRUE(shaped) << name;
    const std::string stamp = name.substr(6, 15);
    // The name carries the local time of the crash.
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);

    // Owner only, in an owner-only folder, like everything in the data folder.
    struct stat st {};
    EXPECT_EQ(::stat(files[0].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    EXPECT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;

    const std::string text = test::readFile(files[0]);
    EXPECT_EQ(text.rfind("Nimbrel crash report (" + stamp + ")\n", 0), 0u) << text.substr(0, 200);
    EXPECT_NE(text.find("\nexe: " + platform::exePath() + "\n"), std::string::npos);
    EXPECT_NE(text.find("\nbase: 0x"), std::string::npos);
    // The backtrace names this test program; the memory map lists it too.
    const auto bt = text.find("\nbacktrace:\n");
    const auto map = text.find("\nmemory map:\n");
    EXPECT_NE(bt, std::string::npos);
    EXPECT_NE(map, std::string::npos);
    if (bt != std::string::npos && map != std::string::npos) {
        const std::string frames = text.substr(bt, map - bt);
        EXPECT_NE(frames.find(fs::path(platform::exePath()).filename().string()), std::string::npos) << frames;
        EXPECT_NE(text.find("[stack]", map), std::string::npos);
    }
    return text;
}

TEST(CrashCapture, InvalidMemoryAccessWritesReportWithSignalAndAddress) {
    test::TempDir tmp;
    const std::string dir = tmp.path() + "/Nimbrel/crashes";
    // A page that faults on access, at an address the report must name.
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    const std::string before = localStamp();
    const int status = inChild([&] {
        crash::install(dir);
        *static_cast<volatile int*>(page) = 1;
        return 0;
    });
    const std::string after = localStamp();
    munmap(page, 4096);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);  // the process still dies of its signal

    const std::string text = checkReport(dir, before, after);
    EXPECT_NE(text.find("\ncause: fatal signal SIGSEGV\n"), std::string::npos);
    char addr[64];
    std::snprintf(addr, sizeof addr, "address 0x%016lx", reinterpret_cast<unsigned long>(page));
    EXPECT_NE(text.find(std::string("\nsignal: 11 (SIGSEGV), code ")), std::string::npos);
    EXPECT_NE(text.find(addr), std::string::npos) << text.substr(0, 400);
}

TEST(CrashCapture, AbortWritesReportNamedByLocalTime) {
    test::TempDir tmp;
    // A zone half an hour off a whole hour shows a wrong offset in the name.
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "XST-5:30", 1);
    tzset();
    const std::string before = localStamp();
    const int status = inChild([&] {
        crash::install(tmp.path());
        std::abort();
        return 0;
    });
    const std::string after = localStamp();
    if (oldTz) setenv("TZ", savedTz.c_str(), 1);
    else unsetenv("TZ");
    tzset();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    const std::string text = checkReport(tmp.path(), before, after);
    EXPECT_NE(text.find("\ncause: fatal signal SIGABRT\n"), std::string::npos);
}

TEST(CrashCapture, ExceptionEscapingAThreadWritesTerminateReport) {
    test::TempDir tmp;
    const std::string before = localStamp();
    const int status = inChild([&] {
        crash::install(tmp.path());
        std::thread t([] { throw std::runtime_error("escaped"); });
        t.join();
        return 0;
    });
    const std::string after = localStamp();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    const std::string text = checkReport(tmp.path(), before, after);
    EXPECT_NE(text.find("\ncause: std::terminate (unhandled C++ exception)\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nsignal:"), std::string::npos);  // no signal details on this path
}

// Recurses until the thread's stack runs out; the volatile frame keeps the
// compiler from turning it into a loop.
volatile int g_depthLimit = INT_MAX;
int recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == g_depthLimit) return frame[0];
    return recurse(depth + 1) + frame[0];
}

TEST(CrashCapture, StackOverflowOnASecondThreadWritesReport) {
    test::TempDir tmp;
    const std::string before = localStamp();
    const int status = inChild([&] {
        crash::install(tmp.path());
        std::thread t([] {
            platform::ThreadCrashStack crashStack;
            return recurse(0);
        });
        t.join();
        return 0;
    });
    const std::string after = localStamp();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const std::string text = checkReport(tmp.path(), before, after);
    EXPECT_NE(text.find("\ncause: fatal signal SIGSEGV\n"), std::string::npos) << text.substr(0, 400);
    // The thread that overflowed, not the first one, wrote it.
    long pid = 0, tid = 0;
    const auto at = text.find("\npid: ");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(std::sscanf(text.c_str() + at, "\npid: %ld, thread: %ld", &pid, &tid), 2);
    EXPECT_NE(pid, tid);
}

TEST(CrashCapture, NextStartFindsTheReportOnceUntilMarkedSeen) {
    test::TempDir tmp;
    const std::string dir = tmp.path() + "/crashes";
    int status = inChild([&] {
        crash::install(dir);
        raise(SIGBUS);
        return 0;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto files = crashFiles(dir);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(test::readFile(files[0]).find("cause: fatal signal SIGBUS"), std::string::npos);

    // The next start: the report is pending, then seen.
    status = inChild([&] {
        crash::install(dir);
        if (crash::dir() != dir) return 1;
        if (crash::pendingReport() != files[0]) return 2;
        crash::markReportsSeen();
        if (!crash::pendingReport().empty()) return 3;
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // And the start after that finds nothing.
    status = inChild([&] {
        crash::install(dir);
        return crash::pendingReport().empty() ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CrashCapture, FolderThatCannotBeCreatedInstallsNothing) {
    test::TempDir tmp;
    test::writeFile(tmp.path() + "/file", "x");
    const std::string longDir = tmp.path() + "/" + std::string(4000, 'd');
    const int status = inChild([&] {
        crash::install(tmp.path() + "/file/crashes");
        if (!crash::dir().empty() || !crash::pendingReport().empty()) return 1;
        crash::markReportsSeen();  // harmless without a folder
        // A folder too long for the report's path is refused too, instead of
        // writing reports to a cut path.
        crash::install(longDir);
        if (!crash::dir().empty()) return 2;
        std::abort();  // default behaviour: dies, no report anywhere
        return 3;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    EXPECT_FALSE(fs::exists(tmp.path() + "/file/crashes"));
    EXPECT_TRUE(crashFiles(tmp.path()).empty());
}

class PendingReport : public ::testing::Test {
protected:
    void file(const std::string& name, int secondsAfterBase) {
        const std::string path = tmp_.path() + "/" + name;
        test::writeFile(path, "x");
        fs::last_write_time(path, base_ + std::chrono::seconds(secondsAfterBase));
    }
    void marker(int secondsAfterBase) { file(".seen", secondsAfterBase); }
    std::string pending() { return crash::detail::pendingReportIn(tmp_.path()); }
    std::string path(const std::string& name) { return tmp_.path() + "/" + name; }

    test::TempDir tmp_;
    fs::file_time_type base_ = fs::file_time_type::clock::now() - std::chrono::hours(1);
};

TEST_F(PendingReport, NewestCrashFileWinsAndOtherFilesAreIgnored) {
    EXPECT_EQ(pending(), "");
    file("crash-20260101-000000.txt", 10);
    file("crash-20260101-000000.dmp", 20);
    file("notes.txt", 30);
    fs::create_directories(path("crash-folder"));
    fs::last_write_time(path("crash-folder"), base_ + std::chrono::seconds(40));
    EXPECT_EQ(pending(), path("crash-20260101-000000.dmp"));
}

TEST_F(PendingReport, MarkerHidesReportsUpToAndIncludingItsTime) {
    file("crash-a.txt", 10);
    file("crash-b.txt", 20);
    marker(20);  // equal time counts as seen
    EXPECT_EQ(pending(), "");
    marker(15);
    EXPECT_EQ(pending(), path("crash-b.txt"));
    marker(5);
    EXPECT_EQ(pending(), path("crash-b.txt"));

    // Marking now hides both; a later crash shows again.
    crash::detail::markReportsSeenIn(tmp_.path());
    EXPECT_EQ(pending(), "");
    const std::string later = path("crash-c.txt");
    test::writeFile(later, "x");
    fs::last_write_time(later, fs::file_time_type::clock::now() + std::chrono::seconds(5));
    EXPECT_EQ(pending(), later);
}

TEST_F(PendingReport, MarkingAgainMovesTheMarkerForward) {
    marker(0);  // an old, already empty marker
    file("crash-a.txt", 10);
    EXPECT_EQ(pending(), path("crash-a.txt"));
    crash::detail::markReportsSeenIn(tmp_.path());
    EXPECT_EQ(pending(), "");
}

TEST_F(PendingReport, MissingFolderGivesNothing) {
    EXPECT_EQ(crash::detail::pendingReportIn(tmp_.path() + "/absent"), "");
}

}  // namespace
}  // namespace nbr
