// The notification-area item and desktop notices on a private session bus,
// with a small stand-in for the desktop: a watcher that may say a host is
// there, and a notification server that records what it is sent.
#include "PrivateBus.h"
#include "TestEnv.h"
#include "app/App.h"
#include "desktop/SystemTray.h"

#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

namespace nbr::test {
namespace {

using namespace std::chrono_literals;

// The desktop's side: watcher and notification server on one connection.
class FakeDesktop {
public:
    FakeDesktop() {
        conn = dbus_connection_open_private(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
        if (!conn || !dbus_bus_register(conn, nullptr)) return;
        static const DBusObjectPathVTable table = {
            nullptr,
            [](DBusConnection*, DBusMessage* m, void* self) { return static_cast<FakeDesktop*>(self)->onCall(m); },
            nullptr, nullptr, nullptr, nullptr};
        dbus_connection_register_object_path(conn, "/StatusNotifierWatcher", &table, this);
        dbus_connection_register_object_path(conn, "/org/freedesktop/Notifications", &table, this);
        dbus_bus_request_name(conn, "org.freedesktop.Notifications", DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr);
    }
    ~FakeDesktop() {
        if (!conn) return;
        dbus_connection_close(conn);
        dbus_connection_unref(conn);
    }
    void ownWatcher(bool own) {
        if (own) dbus_bus_request_name(conn, "org.kde.StatusNotifierWatcher", DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr);
        else dbus_bus_release_name(conn, "org.kde.StatusNotifierWatcher", nullptr);
    }
    void pump() {
        dbus_connection_read_write(conn, 5);
        while (dbus_connection_dispatch(conn) == DBUS_DISPATCH_DATA_REMAINS) {
        }
    }

    // A call to the registered item, answered while both sides are pumped.
    DBusMessage* call(const char* path, const char* iface, const char* member, const std::function<void(DBusMessage*)>& args,
                      SystemTray& tray) {
        DBusMessage* m = dbus_message_new_method_call(item.c_str(), path, iface, member);
        if (args) args(m);
        DBusPendingCall* pending = nullptr;
        dbus_connection_send_with_reply(conn, m, &pending, 3000);
        dbus_message_unref(m);
        for (int i = 0; i < 300 && !dbus_pending_call_get_completed(pending); ++i) {
            tray.pump();
            pump();
        }
        DBusMessage* reply = dbus_pending_call_steal_reply(pending);
        dbus_pending_call_unref(pending);
        return reply;
    }

    DBusConnection* conn = nullptr;
    std::string item;  // the service the item registered
    bool host = true;
    std::vector<std::pair<std::string, std::string>> notices;

private:
    DBusHandlerResult onCall(DBusMessage* m) {
        DBusMessage* reply = dbus_message_new_method_return(m);
        const char* s = nullptr;
        if (dbus_message_is_method_call(m, "org.kde.StatusNotifierWatcher", "RegisterStatusNotifierItem")) {
            dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &s, DBUS_TYPE_INVALID);
            item = s ? s : "";
        } else if (dbus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Get")) {
            DBusMessageIter it, v;
            dbus_message_iter_init_append(reply, &it);
            dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "b", &v);
            dbus_bool_t b = host;
            dbus_message_iter_append_basic(&v, DBUS_TYPE_BOOLEAN, &b);
            dbus_message_iter_close_container(&it, &v);
        } else if (dbus_message_is_method_call(m, "org.freedesktop.Notifications", "Notify")) {
            const char *app, *icon, *summary, *body;
            dbus_uint32_t id;
            dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &app, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &icon,
                                  DBUS_TYPE_STRING, &summary, DBUS_TYPE_STRING, &body, DBUS_TYPE_INVALID);
            notices.emplace_back(summary, body);
        }
        if (!dbus_message_get_no_reply(m)) dbus_connection_send(conn, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }
};

template <typename Pred>
bool pumpUntil(SystemTray& tray, FakeDesktop& desk, Pred done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        tray.pump();
        desk.pump();
    }
    return done();
}

// The variant's contents of a Properties.Get reply.
bool variantOf(DBusMessage* reply, DBusMessageIter* v) {
    DBusMessageIter it;
    if (!reply || dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN) return false;
    if (!dbus_message_iter_init(reply, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT) return false;
    dbus_message_iter_recurse(&it, v);
    return true;
}

std::function<void(DBusMessage*)> getProperty(const char* iface, const char* name) {
    return [iface, name](DBusMessage* m) {
        dbus_message_append_args(m, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    };
}

TEST(SessionBusTest, WithoutABusNothingIsPublishedAndNothingWaits) {
    const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string saved = old ? old : "";
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    SystemTray tray;
    tray.initialize({});
    tray.settle();
    EXPECT_FALSE(tray.hostVisible());
    tray.showBalloon(u"Rain Soon", u"in Boston");
    EXPECT_EQ(tray.balloons().size(), 1u);
    if (old) setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
}

TEST(SessionBusTest, TheItemFollowsTheWatcherAndAnswersTheDesktop) {
    PrivateBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeDesktop desk;
    ASSERT_NE(desk.conn, nullptr);

    // No watcher yet: no host.
    SystemTray tray;
    tray.initialize({});
    tray.settle();
    EXPECT_FALSE(tray.hostVisible());

    // The watcher comes: the item registers and learns of the host.
    desk.ownWatcher(true);
    ASSERT_TRUE(pumpUntil(tray, desk, [&] { return tray.hostVisible(); }));
    ASSERT_FALSE(desk.item.empty());

    // Icon, tooltip and quick look.
    platform::RgbaImage icon;
    icon.width = icon.height = 2;
    icon.pixels = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 1, 2, 3, 128};
    tray.setIcon(icon);
    tray.setTooltip(u"72F Partly Cloudy - Boston");
    TrayQuickLook q;
    q.temperature = u"72°F";
    q.rain = u"Rain 35% <heavy>";
    q.valid = true;
    tray.setQuickLook(q);
    DBusMessageIter v, arr, st, bytes;
    DBusMessage* r = desk.call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                               getProperty("org.kde.StatusNotifierItem", "IconPixmap"), tray);
    ASSERT_TRUE(variantOf(r, &v));
    dbus_message_iter_recurse(&v, &arr);
    dbus_message_iter_recurse(&arr, &st);
    dbus_int32_t w = 0;
    dbus_message_iter_get_basic(&st, &w);
    EXPECT_EQ(w, 2);
    dbus_message_iter_next(&st);
    dbus_message_iter_next(&st);
    dbus_message_iter_recurse(&st, &bytes);
    const unsigned char* data = nullptr;
    int n = 0;
    dbus_message_iter_get_fixed_array(&bytes, &data, &n);
    ASSERT_EQ(n, 16);
    EXPECT_EQ(std::vector<int>(data, data + 4), (std::vector<int>{255, 255, 0, 0}));  // ARGB, big-endian
    EXPECT_EQ(std::vector<int>(data + 12, data + 16), (std::vector<int>{128, 1, 2, 3}));
    dbus_message_unref(r);

    r = desk.call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                  getProperty("org.kde.StatusNotifierItem", "ToolTip"), tray);
    ASSERT_TRUE(variantOf(r, &v));
    dbus_message_iter_recurse(&v, &st);
    const char* text = nullptr;
    dbus_message_iter_next(&st);
    dbus_message_iter_next(&st);
    dbus_message_iter_get_basic(&st, &text);
    EXPECT_STREQ(text, "72F Partly Cloudy - Boston");
    dbus_message_iter_next(&st);
    dbus_message_iter_get_basic(&st, &text);
    EXPECT_STREQ(text, "72°F\nRain 35% &lt;heavy&gt;");
    dbus_message_unref(r);

    // Activation shows the window; each menu item gives its action.
    dbus_message_unref(desk.call("/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                                 [](DBusMessage* m) {
                                     dbus_int32_t x = 5, y = 5;
                                     dbus_message_append_args(m, DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y,
                                                              DBUS_TYPE_INVALID);
                                 },
                                 tray));
    EXPECT_EQ(tray.pollAction(), TrayAction::Show);

    r = desk.call("/MenuBar", "com.canonical.dbusmenu", "GetLayout",
                  [](DBusMessage* m) {
                      dbus_int32_t parent = 0, depth = -1;
                      DBusMessageIter it, names;
                      dbus_message_iter_init_append(m, &it);
                      dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &parent);
                      dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &depth);
                      dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &names);
                      dbus_message_iter_close_container(&it, &names);
                  },
                  tray);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(dbus_message_get_signature(r)), "u(ia{sv}av)");
    std::vector<std::pair<int, std::string>> items;
    DBusMessageIter it, root, children;
    dbus_message_iter_init(r, &it);
    dbus_message_iter_next(&it);
    dbus_message_iter_recurse(&it, &root);
    dbus_message_iter_next(&root);
    dbus_message_iter_next(&root);
    dbus_message_iter_recurse(&root, &children);
    do {
        DBusMessageIter var, node, props, entry, value;
        dbus_message_iter_recurse(&children, &var);
        dbus_message_iter_recurse(&var, &node);
        dbus_int32_t id = 0;
        dbus_message_iter_get_basic(&node, &id);
        dbus_message_iter_next(&node);
        dbus_message_iter_recurse(&node, &props);
        dbus_message_iter_recurse(&props, &entry);
        const char* key = nullptr;
        const char* val = nullptr;
        dbus_message_iter_get_basic(&entry, &key);
        dbus_message_iter_next(&entry);
        dbus_message_iter_recurse(&entry, &value);
        dbus_message_iter_get_basic(&value, &val);
        items.emplace_back(id, std::string(key) + "=" + val);
    } while (dbus_message_iter_next(&children));
    dbus_message_unref(r);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].second, "label=Show Nimbrel");
    EXPECT_EQ(items[1].second, "label=Refresh Now");
    EXPECT_EQ(items[2].second, "type=separator");
    EXPECT_EQ(items[3].second, "label=Quit");
    const std::pair<int, TrayAction> clicks[] = {
        {items[0].first, TrayAction::Show}, {items[1].first, TrayAction::Refresh}, {items[3].first, TrayAction::Quit}};
    for (const auto& [id, action] : clicks) {
        dbus_message_unref(desk.call("/MenuBar", "com.canonical.dbusmenu", "Event",
                                     [id = id](DBusMessage* m) {
                                         DBusMessageIter a, var;
                                         dbus_message_iter_init_append(m, &a);
                                         dbus_int32_t item = id;
                                         const char* ev = "clicked";
                                         dbus_message_iter_append_basic(&a, DBUS_TYPE_INT32, &item);
                                         dbus_message_iter_append_basic(&a, DBUS_TYPE_STRING, &ev);
                                         dbus_message_iter_open_container(&a, DBUS_TYPE_VARIANT, "i", &var);
                                         dbus_int32_t zero = 0;
                                         dbus_message_iter_append_basic(&var, DBUS_TYPE_INT32, &zero);
                                         dbus_message_iter_close_container(&a, &var);
                                         dbus_uint32_t ts = 0;
                                         dbus_message_iter_append_basic(&a, DBUS_TYPE_UINT32, &ts);
                                     },
                                     tray));
        EXPECT_EQ(tray.pollAction(), action) << id;
    }

    // A notice reaches the notification server, its markup escaped and
    // broken UTF-8 replaced.
    tray.showBalloon(u"Weather Alerts (2)", u"- Snø & <b>ice</b>\n- wind");
    ASSERT_TRUE(pumpUntil(tray, desk, [&] { return !desk.notices.empty(); }));
    EXPECT_EQ(desk.notices[0].first, "Weather Alerts (2)");
    EXPECT_EQ(desk.notices[0].second, "- Snø &amp; &lt;b&gt;ice&lt;/b&gt;\n- wind");
    EXPECT_EQ(platform::escapeNoticeMarkup("a\xFF<"), "a\xEF\xBF\xBD&lt;");

    // The watcher goes away and comes back.
    desk.ownWatcher(false);
    ASSERT_TRUE(pumpUntil(tray, desk, [&] { return !tray.hostVisible(); }));
    desk.item.clear();
    desk.ownWatcher(true);
    ASSERT_TRUE(pumpUntil(tray, desk, [&] { return tray.hostVisible(); }));
    EXPECT_FALSE(desk.item.empty());
    tray.shutdown();
}

TEST(SessionBusTest, ClosingHidesToTheTrayOnlyWhileAHostShowsIt) {
    PrivateBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeDesktop desk;
    ASSERT_NE(desk.conn, nullptr);
    App app;
    app.tray.initialize({});
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;

    desk.ownWatcher(true);
    ASSERT_TRUE(pumpUntil(app.tray, desk, [&] { return app.trayHostVisible(); }));
    app.handleSdlEvent(close);
    EXPECT_TRUE(app.hiddenToTray);
    EXPECT_TRUE(app.running);
    // The menu's Show brings it back.
    app.tray.handleCommand(SystemTray::kShowCommand);
    app.processEvents();
    EXPECT_FALSE(app.hiddenToTray);

    // Without a host, closing quits instead: the window could not come back.
    desk.host = false;
    desk.ownWatcher(false);
    desk.ownWatcher(true);
    ASSERT_TRUE(pumpUntil(app.tray, desk, [&] { return !desk.item.empty() && !app.trayHostVisible(); }));
    app.handleSdlEvent(close);
    EXPECT_FALSE(app.hiddenToTray);
    EXPECT_FALSE(app.running);
    app.tray.shutdown();
}

}  // namespace
}  // namespace nbr::test
