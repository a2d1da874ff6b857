// The notification-area item and desktop notices on a private session bus,
// with a small stand-in for the desktop: a watcher that may say a host is
// there, and a notification server that records what it is sent (or hangs).
#include "AppOnDisplay.h"
#include "HungBus.h"
#include "PrivateBus.h"
#include "TestEnv.h"
#include "app/App.h"
#include "desktop/SystemTray.h"
#include "platform/DbusLink.h"

#include <dbus/dbus.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <libdbusmenu-glib/client.h>
#include <libdbusmenu-glib/menuitem.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <future>
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

    // A signal of the notification server about notice `id`.
    void noticeSignal(const char* member, dbus_uint32_t id, const char* action) {
        DBusMessage* sig =
            dbus_message_new_signal("/org/freedesktop/Notifications", "org.freedesktop.Notifications", member);
        dbus_uint32_t reason = 2;
        if (action) dbus_message_append_args(sig, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &action, DBUS_TYPE_INVALID);
        else dbus_message_append_args(sig, DBUS_TYPE_UINT32, &id, DBUS_TYPE_UINT32, &reason, DBUS_TYPE_INVALID);
        dbus_connection_send(conn, sig, nullptr);
        dbus_message_unref(sig);
        dbus_connection_flush(conn);
    }

    DBusConnection* conn = nullptr;
    std::string item;  // the service the item registered
    bool host = true;
    std::vector<std::pair<std::string, std::string>> notices;  // summary and body; notice i has id 41 + i
    std::vector<std::string> noticeActions;                    // of the last notice

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
            char** actions = nullptr;
            int nActions = 0;
            dbus_uint32_t id;
            dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &app, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &icon,
                                  DBUS_TYPE_STRING, &summary, DBUS_TYPE_STRING, &body, DBUS_TYPE_ARRAY,
                                  DBUS_TYPE_STRING, &actions, &nActions, DBUS_TYPE_INVALID);
            notices.emplace_back(summary, body);
            noticeActions.assign(actions, actions + nActions);
            dbus_free_string_array(actions);
            dbus_uint32_t given = 40 + static_cast<dbus_uint32_t>(notices.size());
            dbus_message_append_args(reply, DBUS_TYPE_UINT32, &given, DBUS_TYPE_INVALID);
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

// Runs the GLib side (the client library) and the program's side together
// until `done`.
template <typename Pred>
bool pumpWithGlib(SystemTray& tray, Pred done) {
    for (int i = 0; i < 2000 && !done(); ++i) {
        tray.pump();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(1ms);
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

TEST(SessionBusTest, WithoutABusThatAnswersNothingIsPublishedAndNothingWaits) {
    // No bus named, and buses that let us connect and then never answer.
    for (const std::optional<Hang> how : {std::optional<Hang>(), std::optional(Hang::SilentSocket),
                                          std::optional(Hang::StoppedDaemon)}) {
        SCOPED_TRACE(how ? nameOf(*how) : "no bus");
        ScopedEnv none("DBUS_SESSION_BUS_ADDRESS", nullptr);
        std::optional<HungBus> hung;
        if (how) hung.emplace(*how, "DBUS_SESSION_BUS_ADDRESS");
        ASSERT_TRUE(!hung || hung->ok());
        const auto begun = std::chrono::steady_clock::now();
        SystemTray tray;
        tray.initialize({});
        tray.settle();
        EXPECT_LT(std::chrono::steady_clock::now() - begun, 3s);
        EXPECT_FALSE(tray.hostVisible());
        tray.showBalloon(u"Rain Soon", u"in Boston");
        EXPECT_EQ(tray.balloons().size(), 1u);
    }
}

TEST(SessionBusTest, ANoticeServerThatNeverAnswersHoldsFewCallsAndNoneForLong) {
    PrivateBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeDesktop desk;  // owns the notification service, and is never pumped
    ASSERT_NE(desk.conn, nullptr);
    platform::SessionBus session;
    ASSERT_TRUE(session.start("Nimbrel", {}, {}));
    for (int i = 0; i < 100; ++i) session.notify("Rain Soon", "in Boston");
    // Counted as libdbus frees them: a call given up but left to it counts.
    EXPECT_EQ(session.callsAwaited(), 64u);
    for (int i = 0; i < 150 && session.callsAwaited() > 0; ++i) {
        session.pump();
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(session.callsAwaited(), 0u);
}

TEST(SessionBusTest, TheItemFollowsTheWatcherAndAnswersTheDesktop) {
    PrivateBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeDesktop desk;
    ASSERT_NE(desk.conn, nullptr);
    // The start-up check keeps buses that let us in.
    EXPECT_TRUE(platform::hideSilentBuses().empty());

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

    // The menu is where the item says.
    r = desk.call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                  getProperty("org.kde.StatusNotifierItem", "Menu"), tray);
    ASSERT_TRUE(variantOf(r, &v));
    ASSERT_EQ(dbus_message_iter_get_arg_type(&v), DBUS_TYPE_OBJECT_PATH);
    dbus_message_iter_get_basic(&v, &text);
    const std::string menuPath = text;
    dbus_message_unref(r);
    // The menu as libdbusmenu-glib (XFCE, MATE, Budgie panels) reads it.
    DbusmenuClient* client = dbusmenu_client_new(desk.item.c_str(), menuPath.c_str());
    std::vector<DbusmenuMenuitem*> entries;
    ASSERT_TRUE(pumpWithGlib(tray, [&] {
        DbusmenuMenuitem* root = dbusmenu_client_get_root(client);
        if (!root) return false;
        entries.clear();
        for (GList* c = dbusmenu_menuitem_get_children(root); c; c = c->next)
            entries.push_back(DBUSMENU_MENUITEM(c->data));
        return entries.size() == 4;
    }));
    std::vector<std::string> seen;
    for (DbusmenuMenuitem* e : entries) {
        const char* type = dbusmenu_menuitem_property_get(e, DBUSMENU_MENUITEM_PROP_TYPE);
        const char* label = dbusmenu_menuitem_property_get(e, DBUSMENU_MENUITEM_PROP_LABEL);
        seen.emplace_back(type ? type : label ? label : "?");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Show Nimbrel", "Refresh Now", "separator", "Quit"}));
    // Its clicks (sent with EventGroup) take effect.
    for (const auto& [entry, want] : {std::pair{entries[3], TrayAction::Quit}, std::pair{entries[0], TrayAction::Show}}) {
        dbusmenu_menuitem_handle_event(entry, DBUSMENU_MENUITEM_EVENT_ACTIVATED, g_variant_new_int32(0), 0);
        std::optional<TrayAction> got;
        EXPECT_TRUE(pumpWithGlib(tray, [&] { return (got = got ? got : tray.pollAction()).has_value(); }));
        EXPECT_EQ(got, want);
    }

    // What other hosts ask, straight through GDBus: the reply as GLib prints
    // it, or the error's name, and the action a click left.
    GDBusConnection* gconn = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(gconn, nullptr);
    const char* menu = "com.canonical.dbusmenu";
    const struct {
        const char* path;
        const char* iface;
        const char* method;
        const char* args;
        const char* want;  // found in the answer
        std::optional<TrayAction> action;
    } calls[] = {
        {"", menu, "GetLayout", "(1003, -1, @as [])", "(uint32 1, (1003, {'label': <'Quit'>}, @av []))", {}},
        {"", menu, "GetLayout", "(0, 0, ['label'])", "(uint32 1, (0, @a{sv} {}, @av []))", {}},
        {"", menu, "GetLayout", "(0, 1, ['type'])", "<(2000, {'type': <'separator'>}, @av [])>", {}},
        {"", menu, "GetLayout", "(99, -1, @as [])", "InvalidArgs", {}},
        {"", menu, "GetGroupProperties", "([1002, 99, 2000], ['label'])",
         "([(1002, {'label': <'Refresh Now'>}), (2000, {})],)", {}},
        {"", menu, "Event", "(1002, 'clicked', <0>, uint32 0)", "()", TrayAction::Refresh},
        {"", menu, "Event", "(2000, 'clicked', <0>, uint32 0)", "()", {}},
        {"", menu, "EventGroup", "([(1002, 'clicked', <0>, uint32 0), (99, 'clicked', <0>, uint32 0)],)", "([99],)",
         TrayAction::Refresh},
        {"", menu, "EventGroup", "([(99, 'clicked', <0>, uint32 0)],)", "InvalidArgs", {}},
        {"", menu, "AboutToShowGroup", "([0, 99],)", "(@ai [], [99])", {}},
        {"", menu, "AboutToShow", "(99,)", "InvalidArgs", {}},
        {"", "org.freedesktop.DBus.Properties", "GetAll", "('com.canonical.dbusmenu',)",
         "{'Version': <uint32 3>, 'TextDirection': <'ltr'>, 'Status': <'normal'>", {}},
        {"", "org.freedesktop.DBus.Introspectable", "Introspect", "()",
         "<interface name=\"com.canonical.dbusmenu\">", {}},
        {"/StatusNotifierItem", "org.freedesktop.DBus.Introspectable", "Introspect", "()",
         "<interface name=\"org.kde.StatusNotifierItem\">", {}},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(std::string(c.method) + c.args);
        // A blocking call on its own thread while this one answers it.
        auto reply = std::async(std::launch::async, [&] {
            GError* error = nullptr;
            GVariant* v = g_dbus_connection_call_sync(gconn, desk.item.c_str(), *c.path ? c.path : menuPath.c_str(),
                                                      c.iface, c.method,
                                                      g_variant_parse(nullptr, c.args, nullptr, nullptr, nullptr),
                                                      nullptr, G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
            gchar* text = v ? g_variant_print(v, TRUE) : g_dbus_error_get_remote_error(error);
            const std::string answer = text ? text : "";
            g_free(text);
            if (v) g_variant_unref(v);
            if (error) g_error_free(error);
            return answer;
        });
        while (reply.wait_for(1ms) != std::future_status::ready) tray.pump();
        const std::string answer = reply.get();
        EXPECT_NE(answer.find(c.want), std::string::npos) << answer;
        if (std::string(c.method) == "Introspect") {
            EXPECT_NE(answer.find("org.freedesktop.DBus.Properties"), std::string::npos) << answer;
        }
        EXPECT_EQ(tray.pollAction(), c.action);
    }
    g_object_unref(gconn);
    g_object_unref(client);

    // A notice reaches the notification server, its markup escaped and
    // broken UTF-8 replaced.
    tray.showBalloon(u"Weather Alerts (2)", u"- Snø & <b>ice</b>\n- wind");
    ASSERT_TRUE(pumpUntil(tray, desk, [&] { return !desk.notices.empty(); }));
    EXPECT_EQ(desk.notices[0].first, "Weather Alerts (2)");
    EXPECT_EQ(desk.notices[0].second, "- Snø &amp; &lt;b&gt;ice&lt;/b&gt;\n- wind");
    EXPECT_EQ(desk.noticeActions, (std::vector<std::string>{"default", "Show"}));
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

// The application with its window on a private display and a desktop on a
// private bus.
class TrayOnDisplayTest : public AppOnDisplayTest {
protected:
    // Rectangles of the window's input region: none means clicks pass through.
    int inputRects() {
        int count = 0, ordering = 0;
        auto* dpy = static_cast<Display*>(app.hwnd->display);
        XRectangle* r = XShapeGetRectangles(dpy, app.hwnd->window, ShapeInput, &count, &ordering);
        if (r) XFree(r);
        return count;
    }
    bool windowShown() { return !(SDL_GetWindowFlags(app.window) & SDL_WINDOW_HIDDEN); }

    PrivateBus bus;
    FakeDesktop desk;
};

TEST_F(TrayOnDisplayTest, NoticeClicksShowTheWindowAndTheStripNeverTrapsClicks) {
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    ASSERT_TRUE(app.hwnd.has_value());
    app.tray.initialize({});
    desk.ownWatcher(true);
    ASSERT_TRUE(pumpUntil(app.tray, desk, [&] {
        app.followTrayHost();
        return app.trayHostVisible();
    }));
    // Everything the desktop sent before a call to the item has been handled
    // once its answer is back.
    const auto settle = [&] {
        dbus_message_unref(desk.call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                                     getProperty("org.kde.StatusNotifierItem", "Id"), app.tray));
        app.processEvents();
    };

    // Only the default action of a notice this program sent and the server
    // still shows brings the hidden window back.
    app.tray.showBalloon(u"Wind Advisory", u"Boston");
    app.tray.showBalloon(u"Rain Soon", u"Boston");
    ASSERT_TRUE(pumpUntil(app.tray, desk, [&] { return desk.notices.size() == 2; }));  // ids 41 and 42
    desk.noticeSignal("NotificationClosed", 42, nullptr);
    const struct {
        dbus_uint32_t id;
        const char* action;
        bool shows;
    } clicks[] = {{99, "default", false}, {41, "dismiss", false}, {42, "default", false}, {41, "default", true}};
    for (const auto& c : clicks) {
        SDL_Event close{};
        close.type = SDL_WINDOWEVENT;
        close.window.event = SDL_WINDOWEVENT_CLOSE;
        app.handleSdlEvent(close);
        ASSERT_TRUE(app.hiddenToTray);
        desk.noticeSignal("ActionInvoked", c.id, c.action);
        settle();
        EXPECT_EQ(!app.hiddenToTray, c.shows) << c.id << " " << c.action;
        EXPECT_EQ(windowShown(), c.shows) << c.id << " " << c.action;
    }

    // A click-through strip lets clicks reach it again the moment the host
    // goes away: nothing else could bring it back.
    app.config.miniClickThrough = true;
    app.applyMiniMode(true);
    EXPECT_EQ(inputRects(), 0);
    desk.ownWatcher(false);
    ASSERT_TRUE(pumpUntil(app.tray, desk, [&] { return !app.trayHostVisible(); }));
    app.followTrayHost();
    EXPECT_GT(inputRects(), 0);
    EXPECT_TRUE(app.renderer->miniMode);
}

}  // namespace
}  // namespace nbr::test
