// The remembered alert keys and alert_state.json.
#include "TestEnv.h"
#include "desktop/AlertEngine.h"

#include <gtest/gtest.h>

#include <set>

#include <sys/wait.h>
#include <unistd.h>

namespace nbr::test {
namespace {

// Loading prunes at the real clock, so the test's clock is the real one.
const int64_t kNow =
    std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();

WeatherAlert alert(const char* title, int64_t expires, const char* placeKey = "Tromsø@69.6500,18.9600") {
    WeatherAlert a;
    a.placeKey = placeKey;
    a.kind = AlertKind::RainExpected;
    a.title = title;
    a.location = "Tromsø";
    a.dayKey = title;
    if (expires) a.expires = std::chrono::system_clock::time_point(std::chrono::seconds(expires));
    return a;
}

const std::string kKey = "2|Tromsø@69.6500,18.9600|";  // of the alerts above, but for the day

class AlertStateTest : public ::testing::Test {
protected:
    TempDir tmp;
    std::string path() const { return tmp.path() + "/alert_state.json"; }
};

TEST_F(AlertStateTest, FiledAndAcknowledgedKeysSurviveARestart) {
    {
        AlertEngine e;
        e.setStatePath(path(), {});
        EXPECT_FALSE(e.alreadyNotified(alert("a", kNow + 100), kNow));
        e.markNotified(alert("a", kNow + 100), kNow);
        e.markNotified(alert("b", 0), kNow);        // no expiry: a day
        e.markNotified(alert("old", kNow - 1), kNow);  // already past: not kept
        e.acknowledge(kKey + "x", {}, kNow);
        EXPECT_TRUE(e.alreadyNotified(alert("a", 0), kNow + 99));
        EXPECT_FALSE(e.alreadyNotified(alert("a", 0), kNow + 100));  // at the second: gone
    }
    const std::string day = std::to_string(kNow + 86400);
    EXPECT_EQ(readFile(path()), "{\"acked\":{\"" + kKey + "x\":" + day + "},\"notified\":{\"" + kKey + "a\":" +
                                    std::to_string(kNow + 100) + ",\"" + kKey + "b\":" + day + "}}");

    AlertEngine again;
    again.setStatePath(path(), {});
    EXPECT_TRUE(again.alreadyNotified(alert("b", 0), kNow + 3600));
    EXPECT_EQ(again.acknowledgedKeys(kNow), std::vector<std::string>{kKey + "x"});
    EXPECT_TRUE(again.acknowledgedKeys(kNow + 86400).empty());
    // A later mark replaces the earlier time.
    again.markNotified(alert("b", kNow + 10), kNow);
    EXPECT_FALSE(again.alreadyNotified(alert("b", 0), kNow + 10));
}

// Two Springfields apart. An older file's key of the name alone becomes the
// keys of the spots the file lists for it, else of the places of that name
// saved when it is read: a place saved later is told its own alerts.
TEST_F(AlertStateTest, TwoPlacesOfOneNameKeepTheirOwnKeys) {
    const GeoLocation il{"Springfield", "US", "Illinois", 39.8, -89.65, "", false},
        ma{"Springfield", "US", "Massachusetts", 42.1, -72.59, "", false}, home{"Home", "US", "", 39.8, -89.65, "", false};
    const auto of = [](const GeoLocation& p, const char* day, int64_t expires = 0) {
        WeatherAlert a = alert(day, expires, p.cacheKey().c_str());
        a.location = p.name;
        return a;
    };
    const std::string f = std::to_string(kNow + 3600), late = std::to_string(kNow + 7200);
    const std::string older = "{\"acked\":{\"2|Springfield|old\":" + f + "},\"notified\":{\"2|Springfield|old\":" + f,
                      ilSpot = ",\"places\":{\"2|Springfield|old\":[\"39.8000,-89.6500\"]}";
    const std::string ilOld = "2|Springfield@39.8000,-89.6500|old", maOld = "2|Springfield@42.1000,-72.5900|old";
    const struct { std::string places; std::vector<SavedLocation> saved; std::set<std::string> acked; bool maTold; size_t later = 0; } rows[] = {
        {ilSpot, {SavedLocation{il}, SavedLocation{ma}}, {ilOld}, false},  // Massachusetts saved later
        {"", {SavedLocation{il}, SavedLocation{home}, SavedLocation{ma}}, {ilOld, maOld}, true},
        {",\"places\":{\"2|Springfield|old\":[\"north\",7]}", {SavedLocation{ma}}, {maOld}, true},
        {"", {SavedLocation{home}}, {}, false},  // no place of the name: for none
        {"", {SavedLocation{il}, SavedLocation{ma}}, {ilOld}, false, 1},  // Massachusetts saved after a reading
        {"", {SavedLocation{{"Springfield Gardens", "US", "New York", 40.66, -73.77, "", false}}}, {}, false},  // not a Springfield
    };
    for (const auto& r : rows) {
        writeFile(path(), older + "}" + r.places + "}");
        AlertEngine().setStatePath(path(), std::span(r.saved).first(r.saved.size() - r.later));  // then a restart
        AlertEngine e;
        e.setStatePath(path(), r.saved);
        const std::vector<std::string> acked = e.acknowledgedKeys(kNow);
        EXPECT_EQ(std::set<std::string>(acked.begin(), acked.end()), r.acked) << r.places;
        EXPECT_EQ(e.alreadyNotified(of(ma, "old"), kNow), r.maTold) << r.places;
    }
    writeFile(path(), older + ",\"" + ilOld + "\":" + late + "}" + ilSpot + "}");  // Illinois's key held later
    AlertEngine e;
    e.setStatePath(path(), {});
    EXPECT_EQ(readFile(path()), "{\"acked\":{\"" + ilOld + "\":" + f + "},\"notified\":{\"" + ilOld + "\":" + late + "}}");
    e.markNotified(of(il, "new", kNow + 100), kNow);
    e.acknowledge(of(ma, "new").deduplicationKey(), {}, kNow);
    const std::string maNew = "2|Springfield@42.1000,-72.5900|new";
    std::vector<std::string> acked = e.acknowledgedKeys(kNow);
    EXPECT_EQ(std::set<std::string>(acked.begin(), acked.end()), (std::set<std::string>{ilOld, maNew}));
    const auto told = [&](std::initializer_list<std::pair<WeatherAlert, bool>> rows) {
        for (const auto& [a, t] : rows) EXPECT_EQ(e.alreadyNotified(a, kNow), t) << a.deduplicationKey();
    };
    told({{of(il, "old"), true}, {of(ma, "old"), false}, {of(il, "new"), true}, {of(ma, "new"), false}});
    e.markNotified(of(home, "new", kNow + 7200), kNow);  // later than Illinois's
    e.renamePlace(il, home, false);  // moves the renamed place's keys only
    told({{of(home, "new"), true}, {of(il, "new"), false}, {of(home, "old"), true}});
    EXPECT_EQ(e.forgetPlace(ma), std::set<std::string>{maNew});
    EXPECT_TRUE(e.forgetPlace(ma).empty());
    EXPECT_EQ(readFile(path()), "{\"acked\":{\"2|Home@39.8000,-89.6500|old\":" + f +
                                    "},\"notified\":{\"2|Home@39.8000,-89.6500|new\":" + late +
                                    ",\"2|Home@39.8000,-89.6500|old\":" + late + "}}");
}

TEST_F(AlertStateTest, WhatTheFileHoldsIsTakenAsFarAsItCanBe) {
    const int64_t future = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch()).count() + 3600;
    const std::string f = std::to_string(future);
    struct Case {
        std::string text;
        std::vector<std::string> acked;
    };
    const Case cases[] = {
        {"{\"acked\":{\"k\":" + f + "}}", {"k"}},
        {"{\"acked\":{\"k\":" + f + ".9,\"s\":\"1\",\"n\":null,\"old\":5}}", {"k"}},
        {"{\"acked\":{\"k\":" + f + "}} trailing words", {"k"}},
        {"{\"acked\":{\"huge\":1e300,\"nan\":-9223372036854775808,\"k\":" + f + "}}", {"k"}},
        {"{\"acked\":[1,2],\"notified\":7}", {}},
        {"[{\"acked\":{\"k\":" + f + "}}]", {}},
        {"{\"acked\":{\"k\":" + f + "},\"notified\":{", {}},  // torn: nothing survives
        {"", {}},
    };
    for (const Case& c : cases) {
        writeFile(path(), c.text);
        AlertEngine e;
        e.setStatePath(path(), {});
        EXPECT_EQ(e.acknowledgedKeys(0), c.acked) << c.text;
        EXPECT_EQ(readFile(path()), c.text);  // no key to turn: loading writes nothing
    }
}

TEST_F(AlertStateTest, AKillDuringASaveLeavesTheOldOrTheNewFile) {
    AlertEngine e;
    e.setStatePath(path(), {});
    e.acknowledge("kept", {}, 0);
    const std::string before = readFile(path());
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            AlertEngine w;
            w.setStatePath(path(), {});
            for (int i = 0;; ++i) w.markNotified(alert(std::to_string(i).c_str(), 0), 0);
        }
        usleep(2000 + round * 500);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        AlertEngine after;
        after.setStatePath(path(), {});
        EXPECT_EQ(after.acknowledgedKeys(0), std::vector<std::string>{"kept"}) << round;
    }
    (void)before;
}

}  // namespace
}  // namespace nbr::test
