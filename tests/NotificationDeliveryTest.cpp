// Desktop delivery of filed notifications by notify mode, with a fixed clock
// and time zone, and the pruning of expired ones (from the toasts too).
#include "TestEnv.h"
#include "app/App.h"

#include <gtest/gtest.h>

namespace nbr::test {
namespace {

using std::chrono::system_clock;

// 2025-01-15 00:00 in New York, plus minutes.
system_clock::time_point at(int day, int minute) {
    return system_clock::from_time_t(1736917200 + day * 86400 + minute * 60);
}

class NotificationDeliveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.tray.initialize({});
        app.notificationManager.initialize(&app.tray);
        app.wallClock = [this] { return clock; };
    }
    void file(const std::string& message, system_clock::time_point expires = {}, const std::string& placeKey = "") {
        WeatherAlert a;
        a.placeKey = placeKey;
        a.kind = AlertKind::RainExpected;
        a.title = "Rain Expected";
        a.message = message;
        a.location = "Tromsø";
        a.dayKey = message;
        a.expires = expires;
        app.notifications.push_back(Notification{a, clock, false});
        app.pendingToastKeys.insert(a.deduplicationKey());
    }
    // Runs one loop turn's delivery at local day and minute; the number of
    // notices shown by it.
    size_t turnAt(int day, int minute) {
        clock = at(day, minute);
        const size_t before = app.tray.balloons().size();
        app.pruneStaleNotifications();
        app.maybeNotify();
        return app.tray.balloons().size() - before;
    }
    TimeZone zone{"EST5EDT,M3.2.0,M11.1.0"};
    system_clock::time_point clock = at(0, 0);
    App app;
};

TEST_F(NotificationDeliveryTest, AtOnceCombinesEverythingPendingIntoOneNotice) {
    file("one");
    EXPECT_EQ(turnAt(0, 600), 1u);
    EXPECT_EQ(app.tray.balloons().back().title, u"Rain Expected");
    EXPECT_EQ(app.tray.balloons().back().text, u"one");
    file("Snø i Tromsø");
    file("two");
    file("three");
    EXPECT_EQ(turnAt(0, 601), 1u);
    EXPECT_EQ(app.tray.balloons().back().title, u"Weather Alerts (3)");
    EXPECT_EQ(app.tray.balloons().back().text, u"- Snø i Tromsø\n- two\n- three");
    EXPECT_TRUE(app.pendingToastKeys.empty());
    EXPECT_EQ(turnAt(0, 602), 0u);

    // A key whose notification was cleared goes without a notice.
    app.pendingToastKeys.insert("gone");
    EXPECT_EQ(turnAt(0, 603), 0u);
    EXPECT_TRUE(app.pendingToastKeys.empty());
    // Alerts switched off: kept until they are on again.
    file("held");
    app.config.alertsEnabled = false;
    EXPECT_EQ(turnAt(0, 604), 0u);
    app.config.alertsEnabled = true;
    EXPECT_EQ(turnAt(0, 605), 1u);
    file("Temps warming to {temp}");  // worded as it is told, in the units now chosen
    app.notifications.back().alert.value = 14, app.config.useFahrenheit = false;
    EXPECT_EQ(turnAt(0, 606), 1u);
    EXPECT_EQ(app.tray.balloons().back().text, u"Temps warming to 14C");
    // Of two saved places of one name, the notice names its own first, where a long text's cut cannot reach.
    const GeoLocation north{"Tromsø", "NO", "Troms", 69.65, 18.96, "", false},
        south{"Tromsø", "NO", "Innlandet", 60.1, 11.1, "", false};
    app.config.locations = {SavedLocation{north}, SavedLocation{south}};
    file("Snow", {}, north.cacheKey());
    EXPECT_EQ(turnAt(0, 607), 1u);
    EXPECT_EQ(app.tray.balloons().back().text, u"Tromsø, Troms, NO: Snow");
}

TEST_F(NotificationDeliveryTest, QuietHoursHoldNoticesUntilTheyEnd) {
    app.config.notifyMode = 1;
    struct Case {
        int start, end, minute;
        bool shown;
    };
    const Case cases[] = {
        {1320, 420, 23 * 60 + 30, false}, {1320, 420, 6 * 60 + 59, false}, {1320, 420, 7 * 60, true},
        {540, 1020, 9 * 60, false},       {540, 1020, 16 * 60 + 59, false}, {540, 1020, 17 * 60, true},
        {600, 600, 600, true},
    };
    for (const Case& c : cases) {
        app.config.quietStartMinute = c.start;
        app.config.quietEndMinute = c.end;
        app.pendingToastKeys.clear();
        file("x" + std::to_string(c.minute));
        EXPECT_EQ(turnAt(0, c.minute), c.shown ? 1u : 0u) << c.start << "-" << c.end << " at " << c.minute;
        EXPECT_EQ(app.pendingToastKeys.empty(), c.shown);
    }
}

TEST_F(NotificationDeliveryTest, DigestOncePerDayAtItsMinute) {
    app.config.notifyMode = 2;
    file("night");
    EXPECT_EQ(turnAt(0, 479), 0u);
    EXPECT_EQ(turnAt(0, 480), 1u);
    file("noon");
    EXPECT_EQ(turnAt(0, 720), 0u);  // today's digest is used up
    EXPECT_EQ(turnAt(1, 479), 0u);
    EXPECT_EQ(turnAt(1, 480), 1u);
    // Nothing pending at the digest minute: the day is not used up.
    file("afternoon");
    EXPECT_EQ(turnAt(2, 900), 1u);
    file("evening");
    EXPECT_EQ(turnAt(2, 1200), 0u);
}

TEST_F(NotificationDeliveryTest, ExpiredNotificationsNeverReachTheDesktop) {
    app.config.notifyMode = 2;
    file("short", at(0, 400));
    file("long", at(3, 0));
    file("forever");
    EXPECT_EQ(turnAt(0, 480), 1u);
    EXPECT_EQ(app.tray.balloons().back().text, u"- long\n- forever");
    ASSERT_EQ(app.notifications.size(), 2u);
    // The shown alerts end with them: no toast outlives its alert's end.
    app.alerts = {app.notifications[0].alert, app.notifications[1].alert};
    app.alertsDirty = false;
    EXPECT_EQ(turnAt(4, 0), 0u);
    ASSERT_EQ(app.notifications.size(), 1u);
    EXPECT_EQ(app.notifications[0].alert.message, "forever");
    ASSERT_EQ(app.alerts.size(), 1u);
    EXPECT_EQ(app.alerts[0].message, "forever");
    EXPECT_TRUE(app.alertsDirty);
}

TEST(SystemTrayTest, NoticesAreCutWithoutSplittingACharacter) {
    SystemTray tray;
    tray.showBalloon(u"before", u"adding");
    EXPECT_TRUE(tray.balloons().empty());
    tray.initialize({});
    std::u16string title(62, u'a');
    title += u"\U0001F327";  // a pair across the 63rd unit
    tray.showBalloon(title, std::u16string(300, u'b'));
    ASSERT_EQ(tray.balloons().size(), 1u);
    EXPECT_EQ(tray.balloons()[0].title, std::u16string(62, u'a'));
    EXPECT_EQ(tray.balloons()[0].text.size(), 255u);
    tray.setTooltip(std::u16string(200, u'c'));
    EXPECT_EQ(tray.tooltip().size(), 127u);
}

}  // namespace
}  // namespace nbr::test
