// The real program under a private virtual display: start-up, frames, an
// orderly stop on SIGTERM (also with buses that never answer), the starts
// that must fail, and an acknowledged alert across a restart.
#include "DisplayHarness.h"
#include "HungBus.h"
#include "replay/ReplayServer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>

namespace nbr {
namespace {

using namespace std::chrono_literals;

class AppProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.start());
        dataDir_ = tmp_.path() + "/Nimbrel";
        logPath_ = dataDir_ + "/logs/app.log";
        test::writeFile(dataDir_ + "/config.json",
                        R"({"locations":[{"name":"Boston","country":"US","admin1":"Massachusetts","latitude":42.3584,)"
                        R"("longitude":-71.0598,"timezone":"America/New_York","isDefault":true}],)"
                        R"("activeLocationIndex":0,"useFahrenheit":true})");
        // As an older version left them: readable by every local user.
        std::filesystem::permissions(dataDir_, std::filesystem::perms(0755));
        std::filesystem::permissions(dataDir_ + "/config.json", std::filesystem::perms(0644));
    }

    std::map<std::string, std::string> env(const std::string& display) const {
        return {{"DISPLAY", display},
                {"APPDATA", tmp_.path()},
                {"NIMBREL_SERVICE_BASE", server_.base()},
                {"LIBGL_ALWAYS_SOFTWARE", "1"},
                {"SDL_VIDEODRIVER", "x11"},
                {"WAYLAND_DISPLAY", ""},
                // Leaks inside the system's GL and X libraries are not ours.
                {"ASAN_OPTIONS", "detect_leaks=0"}};
    }
    pid_t start(const std::string& display, const std::string& exe = NIMBREL_EXE) {
        return children_.emplace_back(test::spawnWith({exe}, env(display), tmp_.path() + "/stdout.txt"));
    }
    // Started without the power to override file permissions, which root
    // has too; its standard output and error go to `out`.
    pid_t startWithoutOverride(const std::string& display, const std::string& out) {
        std::vector<std::string> argv = {NIMBREL_EXE};
        if (geteuid() == 0) argv.insert(argv.begin(), {"setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"});
        return children_.emplace_back(test::spawnWith(argv, env(display), out));
    }
    std::string log() const { return test::readFile(logPath_); }
    // Pixels of the dashboard's background on the screen, once there are at
    // least 10,000 (waited for up to 10 s); the screen goes to `shot`.
    size_t windowBackground(const std::string& display, test::Screenshot& shot) const {
        size_t background = 0;
        for (int attempt = 0; attempt < 100 && background < 10000; ++attempt) {
            std::this_thread::sleep_for(100ms);
            shot = test::captureDisplay(display, tmp_.path() + "/screen.xwd");
            background = 0;
            for (size_t i = 0; i + 2 < shot.rgb.size(); i += 3)
                if (shot.rgb[i] == 27 && shot.rgb[i + 1] == 22 && shot.rgb[i + 2] == 19) ++background;
        }
        return background;
    }

    test::TempDir tmp_;
    replay::ReplayServer server_;
    std::string dataDir_, logPath_;
    std::vector<test::Child> children_;  // ended on every way out of a test
};

TEST_F(AppProcessTest, StartsDrawsAndStopsInOrderOnSigterm) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";

    const pid_t pid = start(display.name());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(test::waitForText(logPath_, "started (1 saved location(s))", 30s)) << log();
    // The first refresh asks the forecast service for the saved place (once
    // for its base forecast; the model comparison asks it again with models).
    const auto baseForecasts = [&] {
        size_t n = 0;
        for (const replay::Request& r : server_.requests())
            if (r.service == "forecast" && r.param("models").empty()) ++n;
        return n;
    };
    for (int i = 0; i < 300 && baseForecasts() == 0; ++i) std::this_thread::sleep_for(100ms);
    EXPECT_EQ(baseForecasts(), 1u);
    // The refresh may ask other services after the forecast: it is over once
    // no request has come for half a second (a stop during it would abort it).
    for (size_t seen = 0, i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(500ms);
        const size_t now = server_.requests().size();
        if (now == seen) break;
        seen = now;
    }

    // The window shows the dashboard's background and its panel borders.
    test::Screenshot shot;
    const size_t background = windowBackground(display.name(), shot);
    ASSERT_FALSE(shot.rgb.empty());
    const std::string png = test::savePng(shot, "app-window");
    EXPECT_GT(background, 100000u) << "screenshot: " << png;

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(test::waitExit(pid, 30s), 0) << log();

    const std::string text = log();
    const size_t started = text.find("started (1 saved location(s))");
    const size_t stopping = text.find("shutting down");
    ASSERT_NE(stopping, std::string::npos) << text;
    EXPECT_LT(started, stopping);
    EXPECT_EQ(test::countOf(text, "shutting down"), 1u);
    EXPECT_EQ(text.find("weather fetch failed"), std::string::npos) << text;

    const auto saved = nlohmann::json::parse(test::readFile(dataDir_ + "/config.json"));
    EXPECT_GE(saved.at("settings").at("windowW").get<int>(), 700);
    EXPECT_GE(saved.at("settings").at("windowH").get<int>(), 500);
    EXPECT_EQ(saved.at("locations").size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dataDir_ + "/ui_layout.ini"));

    // The wide modes were narrowed at start-up, with one line in the log, and
    // everything created since is the owner's alone.
    EXPECT_EQ(test::countOf(text, "access narrowed to the owner on 2 item(s)"), 1u) << text;
    size_t checked = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dataDir_)) {
        const auto mode = e.symlink_status().permissions() & std::filesystem::perms::all;
        const auto want = std::filesystem::perms(e.is_directory() ? 0700 : 0600);
        EXPECT_EQ(mode, want) << e.path();
        ++checked;
    }
    EXPECT_EQ(std::filesystem::status(dataDir_).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0700));
    EXPECT_GE(checked, 6u);  // config, layout, lock, logs with its log, crashes
}

// Session and system buses that let the program connect and then never
// answer: it still starts and shows its window, says once that it goes on
// without the session bus, and a stop ends it in time.
class HungBusProcessTest : public AppProcessTest, public ::testing::WithParamInterface<test::Hang> {};

TEST_P(HungBusProcessTest, StartsShowsItsWindowAndStopsInTime) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    test::HungBus session(GetParam(), "DBUS_SESSION_BUS_ADDRESS"), system(GetParam(), "DBUS_SYSTEM_BUS_ADDRESS");
    ASSERT_TRUE(session.ok() && system.ok());
    const pid_t pid = start(display.name());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(test::waitForText(logPath_, "started (1 saved location(s))", 30s)) << log();
    test::Screenshot shot;
    EXPECT_GT(windowBackground(display.name(), shot), 100000u);
    EXPECT_EQ(test::countOf(log(), "session bus unavailable"), 1u) << log();
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(test::waitExit(pid, 2s), 0) << log();
}

INSTANTIATE_TEST_SUITE_P(Each, HungBusProcessTest,
                         ::testing::Values(test::Hang::SilentSocket, test::Hang::StoppedDaemon), test::hangCase);

TEST_F(AppProcessTest, StartWithoutADisplayFailsWithExitCodeOne) {
    // A display number nobody serves.
    const pid_t pid = start(":399");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(test::waitExit(pid, 30s), 1);
    const std::string text = log();
    EXPECT_NE(text.find("SDL init failed: "), std::string::npos) << text;
    EXPECT_NE(text.find("[error] initialization failed; exiting"), std::string::npos) << text;
    EXPECT_EQ(text.find("started ("), std::string::npos);
}

// A data folder the program may not write, run without the power to override
// file permissions: it starts and stops, its log goes to standard error, and
// the save at shut-down says why it failed there, the file untouched.
TEST_F(AppProcessTest, AReadOnlyDataFolderIsLeftAsItWasWithAWordOnStandardError) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const std::string before = test::readFile(dataDir_ + "/config.json"), out = tmp_.path() + "/stdout.txt";
    std::filesystem::permissions(dataDir_, std::filesystem::perms(0500));
    const pid_t pid = startWithoutOverride(display.name(), out);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(test::waitForText(out, "[info] started (1 saved location(s))", 30s)) << test::readFile(out);
    kill(pid, SIGTERM);
    EXPECT_EQ(test::waitExit(pid, 30s), 0);
    std::filesystem::permissions(dataDir_, std::filesystem::perms(0700));
    EXPECT_EQ(test::countOf(test::readFile(out), dataDir_ + "/config.json: Permission denied"), 1u) << test::readFile(out);
    EXPECT_EQ(test::readFile(dataDir_ + "/config.json"), before);
    EXPECT_FALSE(std::filesystem::exists(dataDir_ + "/logs"));
}

// A settings file the program may not read: the first-run screen says why in
// the error colour, and the file is not replaced, at shut-down neither.
TEST_F(AppProcessTest, AnUnreadableSettingsFileIsToldOnScreenAndLeftAsItWas) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const std::string file = dataDir_ + "/config.json", before = test::readFile(file);
    std::filesystem::permissions(file, std::filesystem::perms::none);
    const pid_t pid = startWithoutOverride(display.name(), tmp_.path() + "/stdout.txt");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(test::waitForText(logPath_, "started (0 saved location(s))", 30s)) << log();
    test::Screenshot shot;
    size_t said = 0;  // pixels in the error colour
    for (int i = 0; i < 100 && said < 200; ++i, std::this_thread::sleep_for(100ms)) {
        shot = test::captureDisplay(display.name(), tmp_.path() + "/screen.xwd");
        said = test::inked(shot, {0, 0, shot.width, shot.height}, 224 / 255.0f, 86 / 255.0f, 74 / 255.0f);
    }
    ASSERT_FALSE(shot.rgb.empty());
    const std::string png = test::savePng(shot, "unreadable-settings");
    EXPECT_GE(said, 200u) << "screenshot: " << png;
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(test::waitExit(pid, 30s), 0) << log();
    std::filesystem::permissions(file, std::filesystem::perms(0600));
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(test::countOf(log(), "config.json could not be read (Permission denied); it is left"), 1u) << log();
    EXPECT_EQ(test::countOf(log(), "settings not saved"), 1u) << log();
    EXPECT_FALSE(std::filesystem::exists(file + ".bad"));
}

TEST_F(AppProcessTest, InstalledProgramStartsFromItsDesktopEntryWithItsPictures) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const std::string prefix = tmp_.path() + "/prefix", out = tmp_.path() + "/install.txt";
    const pid_t install = test::spawnWith({NIMBREL_CMAKE, "--install", NIMBREL_BUILD_DIR, "--prefix", prefix}, {}, out);
    ASSERT_EQ(test::waitExit(install, 120s), 0) << test::readFile(out);

    // The desktop entry's command is the program installed in bin/, which
    // finds its pictures under the prefix.
    const std::string entry = test::readFile(prefix + "/share/applications/nimbrel.desktop");
    EXPECT_NE(entry.find("\nExec=nimbrel\n"), std::string::npos) << entry;
    const pid_t pid = start(display.name(), prefix + "/bin/nimbrel");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(test::waitForText(logPath_, "started (1 saved location(s))", 30s)) << log();
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(test::waitExit(pid, 30s), 0) << log();
    EXPECT_EQ(log().find("picture not loaded"), std::string::npos) << log();
}

TEST_F(AppProcessTest, CrashReportOfThePreviousSessionIsAnnouncedOnce) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const std::string report = dataDir_ + "/crashes/crash-20260101-120000.txt";
    test::writeFile(report, "signal 11\n");

    for (int run = 0; run < 2; ++run) {
        const pid_t pid = start(display.name());
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(test::waitForText(logPath_, "started (1 saved location(s))", 30s)) << log();
        ASSERT_EQ(kill(pid, SIGTERM), 0);
        ASSERT_EQ(test::waitExit(pid, 30s), 0) << log();
        // The next start must find its own "started" line.
        std::filesystem::rename(logPath_, logPath_ + ".run" + std::to_string(run));
    }
    const std::string first = test::readFile(logPath_ + ".run0");
    const std::string second = test::readFile(logPath_ + ".run1");
    EXPECT_EQ(test::countOf(first, "[warn] previous session crashed; report: " + report), 1u) << first;
    EXPECT_EQ(test::countOf(second, "previous session crashed"), 0u) << second;
    // Narrowed on the first start (folders, settings, the report); nothing is
    // left for the second.
    EXPECT_EQ(test::countOf(first, "access narrowed to the owner"), 1u) << first;
    EXPECT_EQ(test::countOf(second, "access narrowed to the owner"), 0u) << second;
}

TEST_F(AppProcessTest, SecondInstanceOnTheSameDataFolderEndsWithExitCodeOne) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const pid_t first = start(display.name());
    ASSERT_GT(first, 0);
    ASSERT_TRUE(test::waitForText(logPath_, "started (1 saved location(s))", 30s)) << log();

    const pid_t second = start(display.name());
    ASSERT_GT(second, 0);
    EXPECT_EQ(test::waitExit(second, 30s), 1);
    EXPECT_EQ(test::countOf(log(), "[error] another instance is running"), 1u) << log();
    EXPECT_EQ(test::countOf(log(), "started ("), 1u);

    ASSERT_EQ(kill(first, SIGTERM), 0);
    EXPECT_EQ(test::waitExit(first, 30s), 0) << log();
}

// The idle dashboard turns its carousel every ten seconds and shows each card
// its period: a turn redraws much of the window, a clock's minute a few words.
TEST_F(AppProcessTest, CarouselTurnsOnTimeAndShowsEachCardItsPeriod) {
    test::VirtualDisplay display{"1920x1080x24"};
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const pid_t pid = start(display.name());
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 300 && server_.requests().empty(); ++i) std::this_thread::sleep_for(100ms);
    Display* dpy = XOpenDisplay(display.name().c_str());  // the pointer off the window: a hovered card holds still
    ASSERT_NE(dpy, nullptr);
    XTestFakeMotionEvent(dpy, -1, 1919, 1079, 0);
    XCloseDisplay(dpy);
    test::Screenshot last;
    const auto changed = [&] {  // pixels changed since the last screenshot
        test::Screenshot now = test::captureDisplay(display.name(), tmp_.path() + "/screen.xwd");
        size_t n = now.rgb.size() == last.rgb.size() ? 0 : SIZE_MAX;
        for (size_t i = 0; n != SIZE_MAX && i < now.rgb.size(); ++i) n += std::abs(now.rgb[i] - last.rgb[i]) > 40;
        last = std::move(now);
        return n;
    };
    // The refresh's results and toasts are on screen: a second without a big change.
    for (int i = 0, still = 0; i < 200 && still < 4; ++i, std::this_thread::sleep_for(250ms))
        still = changed() > 1500 ? 0 : still + 1;
    // A turn's frame reaches the screen in parts: one caught between two
    // screenshots changes both, and counts once.
    std::vector<double> turns{0};  // seconds from the start, then the end
    bool turning = false;
    for (const auto t0 = std::chrono::steady_clock::now(); turns.back() < 42;) {
        const bool turn = changed() > 1500;
        const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if ((turn && !turning) || at >= 42) turns.push_back(at);
        turning = turn;
    }
    kill(pid, SIGTERM);
    EXPECT_EQ(test::waitExit(pid, 30s), 0) << log();
    ASSERT_GE(turns.size(), 5u);
    for (size_t i = 1; i < turns.size(); ++i) {
        EXPECT_LE(turns[i] - turns[i - 1], 15.0) << "no turn before " << turns[i] << " s";
        EXPECT_TRUE(i == 1 || i + 1 == turns.size() || turns[i] - turns[i - 1] >= 1.5) << turns[i] << " s";
    }
}

// The box of the alert toasts' dark red card on the screen (x1 < 0 when none
// is shown; only rows holding most of a card's width count), and the middle
// of the light "X" of the first toast's acknowledge button at the right end
// of its first line.
struct Toasts {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, ackX = -1, ackY = -1;
    bool operator==(const Toasts&) const = default;
};
Toasts toastsOn(const test::Screenshot& shot) {
    Toasts t;
    const auto px = [&](int x, int y) { return &shot.rgb[(size_t(y) * shot.width + x) * 3]; };
    for (int y = 0; y < shot.height; ++y) {
        int n = 0, left = shot.width, right = -1;
        for (int x = 0; x < shot.width; ++x) {
            const std::uint8_t* p = px(x, y);
            // A deep red of either shade the dark theme has given the card.
            if (p[0] < 64 || p[0] > 100 || p[0] - p[1] < 35 || p[1] > 45 || p[2] > 40) continue;
            ++n, left = std::min(left, x), right = std::max(right, x);
        }
        if (n < 150) continue;
        t.x0 = std::min(t.x0, left), t.x1 = std::max(t.x1, right), t.y0 = std::min(t.y0, y), t.y1 = y;
    }
    long sx = 0, sy = 0, n = 0;
    for (int y = std::max(t.y0, 0); t.x1 >= 0 && y < std::min(t.y0 + 40, shot.height); ++y)
        for (int x = std::max(t.x1 - 70, 0); x <= t.x1; ++x)
            if (px(x, y)[0] >= 180 && px(x, y)[1] >= 160 && px(x, y)[2] >= 140) sx += x, sy += y, ++n;
    if (n > 0) t.ackX = static_cast<int>(sx / n), t.ackY = static_cast<int>(sy / n);
    return t;
}

TEST_F(AppProcessTest, AnAcknowledgedAlertStaysHiddenAfterARestart) {
    test::VirtualDisplay display;
    if (!display.ok()) GTEST_SKIP() << "Xvfb is not available";
    const std::string key = "OFFICIAL|urn:oid:2.49.0.1.840.0.boston.wind.1";
    const auto ackedKeys = [&] {
        const auto state = nlohmann::json::parse(test::readFile(dataDir_ + "/alert_state.json"), nullptr, false);
        return state.is_object() ? state.value("acked", nlohmann::json::object()) : nlohmann::json::object();
    };
    const auto screen = [&] { return test::captureDisplay(display.name(), tmp_.path() + "/screen.xwd"); };
    // The toast card once every alert of the refresh is on it: the same box
    // twice half a second apart.
    const auto settledToasts = [&] {
        Toasts last, now = toastsOn(screen());
        for (int i = 0; i < 60 && !(now == last && now.x1 >= 0); ++i) {
            last = now;
            std::this_thread::sleep_for(500ms);
            now = toastsOn(screen());
        }
        return now;
    };

    int heightBefore = 0;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const size_t alertRequests = server_.count("nws", "/alerts/active");
        const pid_t pid = start(display.name());
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 300 && server_.count("nws", "/alerts/active") == alertRequests; ++i)
            std::this_thread::sleep_for(100ms);
        ASSERT_GT(server_.count("nws", "/alerts/active"), alertRequests) << log();
        const Toasts b = settledToasts();
        ASSERT_GE(b.x1, 0) << log();
        if (run == 0) {
            // The first toast is the wind advisory; its X acknowledges it.
            heightBefore = b.y1 - b.y0;
            ASSERT_GE(b.ackX, 0);
            Display* dpy = XOpenDisplay(display.name().c_str());
            ASSERT_NE(dpy, nullptr);
            XTestFakeMotionEvent(dpy, -1, b.ackX, b.ackY, 0);
            XFlush(dpy);
            std::this_thread::sleep_for(300ms);
            XTestFakeButtonEvent(dpy, 1, True, 0);
            XFlush(dpy);
            std::this_thread::sleep_for(100ms);
            XTestFakeButtonEvent(dpy, 1, False, 0);
            XCloseDisplay(dpy);
            for (int i = 0; i < 100 && ackedKeys().empty(); ++i) std::this_thread::sleep_for(100ms);
        } else {
            // After the restart the refresh brings the same alerts: the
            // acknowledged one stays hidden, the others are still shown.
            EXPECT_LT(b.y1 - b.y0, heightBefore);
        }
        const nlohmann::json acked = ackedKeys();
        EXPECT_EQ(acked.size(), 1u) << acked.dump();
        EXPECT_TRUE(acked.contains(key)) << acked.dump();
        ASSERT_EQ(kill(pid, SIGTERM), 0);
        ASSERT_EQ(test::waitExit(pid, 30s), 0) << log();
        std::filesystem::remove(logPath_);
    }
}

}  // namespace
}  // namespace nbr
