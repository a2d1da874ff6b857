#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <algorithm>
#include <sstream>
#include <vector>

#include "HungBus.h"
#include "TestEnv.h"
#include "foundation/OsIntegration.h"
#include "platform/DbusLink.h"
#include "platform/Process.h"
#include "platform/TimeZones.h"

namespace nbr {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

class Autostart : public ::testing::Test {
protected:
    test::TempDir tmp_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME", tmp_.path()};
    std::string entry() const { return tmp_.path() + "/autostart/nimbrel.desktop"; }
};

TEST_F(Autostart, SwitchesOnAndOff) {
    EXPECT_FALSE(os::autostartEnabled());
    EXPECT_TRUE(os::setAutostart(false));  // nothing to delete is fine
    EXPECT_FALSE(fs::exists(entry()));

    ASSERT_TRUE(os::setAutostart(true));
    EXPECT_TRUE(os::autostartEnabled());
    const std::string text = test::readFile(entry());
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nExec=\"" + os::exePath() + "\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);

    ASSERT_TRUE(os::setAutostart(true));  // again: same content, no leftovers
    EXPECT_EQ(test::readFile(entry()), text);
    int files = 0;
    for (const auto& e : fs::directory_iterator(tmp_.path() + "/autostart")) files += e.is_regular_file();
    EXPECT_EQ(files, 1);

    EXPECT_TRUE(os::setAutostart(false));
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(os::autostartEnabled());
}

TEST_F(Autostart, EnablingWithoutTheProgramPathFailsAndWritesNothing) {
    EXPECT_FALSE(os::detail::setAutostartFor(true, ""));
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(os::detail::setAutostartFor(true, "/opt/bad\npath"));
    EXPECT_FALSE(fs::exists(entry()));
}

TEST_F(Autostart, HiddenOrForeignEntriesReadAsOff) {
    test::writeFile(entry(), "[Desktop Entry]\nType=Application\nExec=x\nHidden=true\n");
    EXPECT_FALSE(os::autostartEnabled());
    test::writeFile(entry(), "[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(os::autostartEnabled());
    test::writeFile(entry(), "not a desktop entry\n");
    EXPECT_FALSE(os::autostartEnabled());
    test::writeFile(entry(), "[Desktop Entry]\r\nExec=x\r\n");  // edited on another system
    EXPECT_TRUE(os::autostartEnabled());
    fs::remove(entry());
    fs::create_directories(entry());
    EXPECT_FALSE(os::autostartEnabled());
    EXPECT_FALSE(os::setAutostart(false));  // a folder in its place cannot be deleted as a file
}

TEST_F(Autostart, FolderThatCannotBeCreatedFails) {
    test::writeFile(tmp_.path() + "/autostart", "a file, not a folder");
    EXPECT_FALSE(os::setAutostart(true));
}

TEST(AutostartLocation, RelativeConfigHomeIsIgnoredInFavourOfHome) {
    test::TempDir home;
    ScopedEnv h("HOME", home.path());
    ScopedEnv x("XDG_CONFIG_HOME", "relative/dir");
    ASSERT_TRUE(os::setAutostart(true));
    EXPECT_TRUE(fs::exists(home.path() + "/.config/autostart/nimbrel.desktop"));
    EXPECT_FALSE(fs::exists("relative/dir"));
}

TEST(AutostartEntry, ProgramPathIsQuotedForTheExecLine) {
    const std::string text = os::detail::autostartEntry("/opt/My Apps/a\"b$c`d\\e%f/nimbrel");
    // Inside the quotes " ` $ \ take a backslash and % is doubled; the value's
    // own escaping then doubles every backslash.
    EXPECT_NE(text.find("\nExec=\"/opt/My Apps/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f/nimbrel\"\n"), std::string::npos)
        << text;
    EXPECT_EQ(os::detail::autostartEntry(""), "");
    EXPECT_EQ(os::detail::autostartEntry("/a\tb"), "");
}

TEST(ZoneOffset, FollowsDaylightSavingAndKnowsOnlyRealZones) {
    struct Row {
        const char* zone;
        std::int64_t t;
        std::optional<int> offset;
    } rows[] = {
        {"Europe/Oslo", 1806195599, 3600},        // 2027-03-28 00:59:59 UTC, still winter time
        {"Europe/Oslo", 1806195600, 7200},        // 01:00 UTC, summer time from here
        {"America/Los_Angeles", 1796774400, -28800},
        {"Pacific/Auckland", 1796774400, 46800},  // December: New Zealand's summer
        {"Asia/Kolkata", 0, 19800},
        {"", 0, std::nullopt},
        {"Nowhere/Else", 0, std::nullopt},
        {"../../etc/passwd", 0, std::nullopt},
        {"localtime", 0, std::nullopt},  // the computer's own zone, no place's
        {"posixrules", 0, std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(platform::zoneOffsetAt(r.zone, r.t), r.offset) << r.zone << " " << r.t;
}

TEST(WebUrl, OnlyHttpAndHttpsAreOpened) {
    for (const char* ok : {"http://example.org", "https://example.org/a?b=c", "HTTPS://EXAMPLE.ORG"})
        EXPECT_TRUE(os::detail::isWebUrl(ok)) << ok;
    for (const char* bad : {"", "http://", "https:", "file:///etc/passwd", "javascript:alert(1)", "ftp://x",
                            " https://x", "https://x\ny", "xhttps://x", "/usr/bin/xterm", "-https://x"})
        EXPECT_FALSE(os::detail::isWebUrl(bad)) << bad;
}

// A stand-in for xdg-open first in PATH that records how it was called, and
// the session bus it was given.
class Opener : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin_);
        const std::string script = bin_ + "/xdg-open";
        test::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$DBUS_SESSION_BUS_ADDRESS\" > \"$NIMBREL_TEST_OPEN_LOG.bus\"\n"
                                "printf '%s|%s\\n' \"$#\" \"$1\" >> \"$NIMBREL_TEST_OPEN_LOG\"\n");
        chmod(script.c_str(), 0755);
    }
    // Waits until the log holds `lines` lines and returns them sorted: the
    // openers run detached, so two of them may finish in either order.
    std::string waitForLog(size_t lines) {
        std::string text;
        for (int i = 0; i < 1000; ++i) {
            text = test::readFile(log_);
            if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::vector<std::string> all;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) all.push_back(line + "\n");
        std::sort(all.begin(), all.end());
        std::string sorted;
        for (const auto& l : all) sorted += l;
        return sorted;
    }

    test::TempDir tmp_;
    std::string bin_ = tmp_.path() + "/bin";
    std::string log_ = tmp_.path() + "/open.log";
    ScopedEnv path_{"PATH", bin_ + ":/usr/bin:/bin"};
    ScopedEnv logEnv_{"NIMBREL_TEST_OPEN_LOG", log_};
};

TEST_F(Opener, LinksReachTheOpenerAsOneArgumentWithoutAShell) {
    const std::string marker = tmp_.path() + "/pwned";
    os::openUrl("file:///etc/passwd");
    os::openUrl("javascript:alert(1)");
    os::openUrl("https://example.org/a b;touch " + marker + "&x=$(touch " + marker + ")");
    os::openUrl("http://127.0.0.1:8080/");
    const std::string text = waitForLog(2);
    // Refused links never started the opener; accepted ones arrive whole,
    // with nothing interpreted.
    EXPECT_EQ(text, "1|http://127.0.0.1:8080/\n1|https://example.org/a b;touch " + marker + "&x=$(touch " +
                        marker + ")\n");
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(Opener, FoldersAreOpenedAndNeverReadAsOptions) {
    os::openFolder("/var/tmp/Nimbrel crashes");
    os::openFolder("-rf");
    EXPECT_EQ(waitForLog(2), "1|./-rf\n1|/var/tmp/Nimbrel crashes\n");
}

TEST_F(Opener, SpawnReportsMissingProgramAndLeavesNoChildBehind) {
    EXPECT_FALSE(platform::spawnDetached("nimbrel-no-such-program", {}));
    EXPECT_FALSE(platform::spawnDetached(tmp_.path() + "/open.log", {}));  // not executable
    EXPECT_TRUE(platform::spawnDetached("xdg-open", {"x"}));
    // The started program is not our child: nothing to reap, no zombie.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(waitForLog(1), "1|x\n");
}

TEST_F(Opener, ProgramsStartedGetTheSessionBusThatWasGivenNotTheOneHiddenAsSilent) {
    test::HungBus hung(test::Hang::SilentSocket, "DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(hung.ok());
    const std::string given = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    platform::hideSilentBuses();
    EXPECT_STREQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), "disabled:");
    os::openFolder("/var/tmp");
    EXPECT_EQ(waitForLog(1), "1|/var/tmp\n");
    EXPECT_EQ(test::readFile(log_ + ".bus"), given + "\n");
}

}  // namespace
}  // namespace nbr
