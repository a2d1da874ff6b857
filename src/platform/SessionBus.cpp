#include "platform/SessionBus.h"

#include "platform/DbusLink.h"
#include "platform/DbusMenu.h"
#include "platform/DbusWire.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace nbr::platform {

namespace {

using namespace wire;

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr size_t kNoticesFollowed = 64;  // the newest sent notices whose clicks count
// A call unanswered after this is given up; of more calls awaiting answers
// than kCallsAwaited (a service that hangs), the oldest is given up.
constexpr std::chrono::milliseconds kReplyTimeout{2000};
constexpr size_t kCallsAwaited = 64;

constexpr const char* kItemXml = R"xml(
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate">
      <arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/>
    </method>
    <method name="Scroll">
      <arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/>
    </method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
)xml";

// a(iiay): the icon as ARGB32 in network byte order; an empty array without one.
void appendPixmaps(DBusMessageIter* it, const RgbaImage& img) {
    DBusMessageIter arr;
    dbus_message_iter_open_container(it, DBUS_TYPE_ARRAY, "(iiay)", &arr);
    if (!img.empty()) {
        DBusMessageIter st, bytes;
        dbus_message_iter_open_container(&arr, DBUS_TYPE_STRUCT, nullptr, &st);
        dbus_int32_t w = img.width, h = img.height;
        dbus_message_iter_append_basic(&st, DBUS_TYPE_INT32, &w);
        dbus_message_iter_append_basic(&st, DBUS_TYPE_INT32, &h);
        std::vector<unsigned char> argb(img.pixels.size());
        for (size_t i = 0; i + 3 < img.pixels.size(); i += 4) {
            argb[i] = img.pixels[i + 3];
            argb[i + 1] = img.pixels[i];
            argb[i + 2] = img.pixels[i + 1];
            argb[i + 3] = img.pixels[i + 2];
        }
        dbus_message_iter_open_container(&st, DBUS_TYPE_ARRAY, "y", &bytes);
        const unsigned char* data = argb.data();
        dbus_message_iter_append_fixed_array(&bytes, DBUS_TYPE_BYTE, &data, static_cast<int>(argb.size()));
        dbus_message_iter_close_container(&st, &bytes);
        dbus_message_iter_close_container(&arr, &st);
    }
    dbus_message_iter_close_container(it, &arr);
}

}  // namespace

struct SessionBus::Impl {
    DBusConnection* conn = nullptr;
    std::string title;
    std::vector<MenuItem> menu;
    Handlers handlers;
    RgbaImage icon;
    std::string tipTitle, tipText;
    bool host = false;
    bool awaiting = false;  // the watcher's answer about hosts is still due
    // Ids of the notices sent and still open, newest last, and the server
    // that gave them: only a click on one of these is ours.
    std::vector<dbus_uint32_t> notices;
    std::string noticeServer;
    // Calls sent and not answered yet, oldest first, with when to give up.
    struct Awaited {
        DBusPendingCall* call;
        wire::Clock::time_point until;
    };
    std::deque<Awaited> calls;
    // Calls whose state the bus library still keeps for us, counted down as
    // it frees them (it may outlive this object by a call or two).
    std::shared_ptr<std::atomic<size_t>> held = std::make_shared<std::atomic<size_t>>(0);
    std::string failure;  // why the last start failed

    bool ownNotice(DBusMessage* signal, dbus_uint32_t id) const {
        const char* sender = dbus_message_get_sender(signal);
        return sender && sender == noticeServer && std::find(notices.begin(), notices.end(), id) != notices.end();
    }

    void setHost(bool visible) {
        awaiting = false;
        if (visible == host) return;
        host = visible;
        if (handlers.hostChanged) handlers.hostChanged();
    }

    // ---- Calls whose replies come later, through pump() ----------------------

    // The library gives up on a call only when a main loop runs its timers;
    // none runs here, so the calls are given up here.
    void giveUp(const Awaited& a) {
        dbus_pending_call_cancel(a.call);
        dbus_pending_call_unref(a.call);
    }

    // Forgets the answered calls and gives up on those past their time.
    void expireCalls() {
        const auto now = wire::Clock::now();
        std::erase_if(calls, [&](const Awaited& a) {
            if (dbus_pending_call_get_completed(a.call)) dbus_pending_call_unref(a.call);
            else if (a.until <= now) giveUp(a);
            else return false;
            return true;
        });
    }

    template <typename OnReply>
    void callLater(DBusMessage* call, OnReply onReply) {
        DBusPendingCall* pending = nullptr;
        const int timeoutMs = static_cast<int>(kReplyTimeout.count());
        if (!dbus_connection_send_with_reply(conn, call, &pending, timeoutMs) || !pending) {
            dbus_message_unref(call);
            return;
        }
        dbus_message_unref(call);
        struct Box {
            OnReply onReply;
            std::shared_ptr<std::atomic<size_t>> held;
            ~Box() { --*held; }
        };
        ++*held;
        dbus_pending_call_set_notify(
            pending,
            [](DBusPendingCall* p, void* data) {
                DBusMessage* reply = dbus_pending_call_steal_reply(p);
                if (reply) {
                    static_cast<Box*>(data)->onReply(reply);
                    dbus_message_unref(reply);
                }
            },
            new Box{std::move(onReply), held}, [](void* data) { delete static_cast<Box*>(data); });
        expireCalls();
        if (calls.size() >= kCallsAwaited) {
            giveUp(calls.front());
            calls.pop_front();
        }
        calls.push_back({pending, wire::Clock::now() + kReplyTimeout});
    }

    void registerWithWatcher() {
        awaiting = true;
        DBusMessage* call =
            dbus_message_new_method_call(kWatcher, kWatcherPath, kWatcher, "RegisterStatusNotifierItem");
        const char* name = dbus_bus_get_unique_name(conn);
        dbus_message_append_args(call, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
        callLater(call, [this](DBusMessage* reply) {
            if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
                awaiting = false;
                setHost(false);
            } else {
                askForHost();
            }
        });
    }

    void askForHost() {
        DBusMessage* call = dbus_message_new_method_call(kWatcher, kWatcherPath, kProperties, "Get");
        const char* iface = kWatcher;
        const char* prop = "IsStatusNotifierHostRegistered";
        dbus_message_append_args(call, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &prop, DBUS_TYPE_INVALID);
        callLater(call, [this](DBusMessage* reply) {
            DBusMessageIter it, v;
            dbus_bool_t b = FALSE;
            if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN && dbus_message_iter_init(reply, &it) &&
                dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
                dbus_message_iter_recurse(&it, &v);
                if (dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_BOOLEAN) dbus_message_iter_get_basic(&v, &b);
            }
            setHost(b);
        });
    }

    void emit(const char* path, const char* iface, const char* member) {
        if (!conn) return;
        DBusMessage* sig = dbus_message_new_signal(path, iface, member);
        dbus_connection_send(conn, sig, nullptr);
        dbus_message_unref(sig);
    }

    // ---- The item --------------------------------------------------------------

    void appendToolTip(DBusMessageIter* it) {
        DBusMessageIter st;
        dbus_message_iter_open_container(it, DBUS_TYPE_STRUCT, nullptr, &st);
        appendString(&st, "");
        appendPixmaps(&st, RgbaImage{});
        appendString(&st, tipTitle);
        appendString(&st, escapeNoticeMarkup(tipText));
        dbus_message_iter_close_container(it, &st);
    }

    // Appends the value of an item property as a variant; false when unknown.
    bool appendItemProperty(DBusMessageIter* it, const std::string& name) {
        const auto str = [&](const std::string& value) {
            appendVariant(it, "s", [&](DBusMessageIter* v) { appendString(v, value); });
        };
        if (name == "Category") str("ApplicationStatus");
        else if (name == "Id") str("nimbrel");
        else if (name == "Title") str(title);
        else if (name == "Status") str("Active");
        else if (name == "IconName" || name == "OverlayIconName" || name == "AttentionIconName") str("");
        else if (name == "IconPixmap") appendVariant(it, "a(iiay)", [&](DBusMessageIter* v) { appendPixmaps(v, icon); });
        else if (name == "ToolTip") appendVariant(it, "(sa(iiay)ss)", [&](DBusMessageIter* v) { appendToolTip(v); });
        else if (name == "ItemIsMenu")
            appendVariant(it, "b", [](DBusMessageIter* v) {
                dbus_bool_t no = FALSE;
                dbus_message_iter_append_basic(v, DBUS_TYPE_BOOLEAN, &no);
            });
        else if (name == "WindowId")
            appendVariant(it, "i", [](DBusMessageIter* v) {
                dbus_int32_t zero = 0;
                dbus_message_iter_append_basic(v, DBUS_TYPE_INT32, &zero);
            });
        else if (name == "Menu")
            appendVariant(it, "o", [](DBusMessageIter* v) {
                const char* path = kMenuPath;
                dbus_message_iter_append_basic(v, DBUS_TYPE_OBJECT_PATH, &path);
            });
        else return false;
        return true;
    }

    void replyEmpty(DBusMessage* msg) {
        DBusMessage* reply = dbus_message_new_method_return(msg);
        dbus_connection_send(conn, reply, nullptr);
        dbus_message_unref(reply);
    }

    DBusHandlerResult onItem(DBusMessage* msg) {
        if (answerIntrospect(conn, msg, kItemXml)) return DBUS_HANDLER_RESULT_HANDLED;
        if (dbus_message_has_interface(msg, kProperties))
            return answerProperties(conn, msg,
                                    {"Category", "Id", "Title", "Status", "IconName", "IconPixmap", "OverlayIconName",
                                     "AttentionIconName", "ToolTip", "ItemIsMenu", "WindowId", "Menu"},
                                    [this](DBusMessageIter* it, const std::string& name) {
                                        return appendItemProperty(it, name);
                                    });
        if (dbus_message_is_method_call(msg, kItemInterface, "Activate")) {
            replyEmpty(msg);
            if (handlers.activate) handlers.activate();
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        for (const char* m : {"SecondaryActivate", "ContextMenu", "Scroll"}) {
            if (!dbus_message_is_method_call(msg, kItemInterface, m)) continue;
            replyEmpty(msg);
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }

    DBusHandlerResult onSignal(DBusMessage* msg) {
        if (dbus_message_is_signal(msg, kNotifications, "ActionInvoked")) {
            const dbus_uint32_t id = argBasic<dbus_uint32_t>(msg, 0, DBUS_TYPE_UINT32, 0);
            if (ownNotice(msg, id) && argString(msg, 1) == "default" && handlers.noticeClicked) handlers.noticeClicked();
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        if (dbus_message_is_signal(msg, kNotifications, "NotificationClosed")) {
            const dbus_uint32_t id = argBasic<dbus_uint32_t>(msg, 0, DBUS_TYPE_UINT32, 0);
            if (ownNotice(msg, id)) std::erase(notices, id);
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        if (dbus_message_is_signal(msg, "org.freedesktop.DBus", "NameOwnerChanged") && argString(msg, 0) == kWatcher) {
            if (argString(msg, 2).empty()) setHost(false);  // the watcher went away
            else registerWithWatcher();                      // a new one came
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        if (dbus_message_is_signal(msg, kWatcher, "StatusNotifierHostRegistered") ||
            dbus_message_is_signal(msg, kWatcher, "StatusNotifierHostUnregistered")) {
            askForHost();
            return DBUS_HANDLER_RESULT_HANDLED;
        }
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }
};

SessionBus::SessionBus() : impl_(std::make_unique<Impl>()) {}
SessionBus::~SessionBus() { stop(); }

bool SessionBus::start(const std::string& title, const std::vector<MenuItem>& menu, Handlers handlers) {
    if (impl_->conn) return true;
    impl_->failure.clear();
    // Only an existing bus that answered at start-up: never one started for us.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address || std::strcmp(address, kNoBus) == 0) return false;
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* conn = wire::openBus(address, {wire::Clock::now() + wire::kConnectWithin}, &err);
    if (!conn) {
        impl_->failure = errorText(&err);
        dbus_error_free(&err);
        return false;
    }
    Impl& m = *impl_;
    m.conn = conn;
    m.title = title;
    m.menu = menu;
    m.handlers = std::move(handlers);

    static const DBusObjectPathVTable itemTable = {
        nullptr, [](DBusConnection*, DBusMessage* msg, void* self) { return static_cast<Impl*>(self)->onItem(msg); },
        nullptr, nullptr, nullptr, nullptr};
    static const DBusObjectPathVTable menuTable = {
        nullptr,
        [](DBusConnection*, DBusMessage* msg, void* self) {
            Impl& m = *static_cast<Impl*>(self);
            return answerMenuCall(m.conn, msg, m.menu, m.handlers.menuItem);
        },
        nullptr, nullptr, nullptr, nullptr};
    dbus_connection_register_object_path(conn, kItemPath, &itemTable, &m);
    dbus_connection_register_object_path(conn, kMenuPath, &menuTable, &m);
    dbus_connection_add_filter(
        conn, [](DBusConnection*, DBusMessage* msg, void* self) { return static_cast<Impl*>(self)->onSignal(msg); },
        &m, nullptr);
    // Without an error argument these do not wait for the bus's answer.
    dbus_bus_add_match(conn,
                       "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                       "member='NameOwnerChanged',arg0='org.kde.StatusNotifierWatcher'",
                       nullptr);
    dbus_bus_add_match(conn, "type='signal',interface='org.kde.StatusNotifierWatcher'", nullptr);
    dbus_bus_add_match(conn,
                       "type='signal',interface='org.freedesktop.Notifications',"
                       "path='/org/freedesktop/Notifications'",
                       nullptr);
    m.registerWithWatcher();
    sendNow(conn);
    return true;
}

void SessionBus::stop() {
    Impl& m = *impl_;
    if (!m.conn) return;
    for (const Impl::Awaited& a : m.calls) m.giveUp(a);
    m.calls.clear();
    closeBus(m.conn);
    m.conn = nullptr;
    m.host = false;
    m.notices.clear();
}

bool SessionBus::connected() const { return impl_->conn != nullptr; }
const std::string& SessionBus::failure() const { return impl_->failure; }
size_t SessionBus::callsAwaited() const { return *impl_->held; }
bool SessionBus::hostVisible() const { return impl_->host; }

void SessionBus::setIcon(const RgbaImage& image) {
    impl_->icon = image;
    impl_->emit(kItemPath, kItemInterface, "NewIcon");
}

void SessionBus::setToolTip(const std::string& title, const std::string& text) {
    impl_->tipTitle = title;
    impl_->tipText = text;
    impl_->emit(kItemPath, kItemInterface, "NewToolTip");
}

void SessionBus::notify(const std::string& summary, const std::string& body) {
    Impl& m = *impl_;
    if (!m.conn) return;
    DBusMessage* call = dbus_message_new_method_call(kNotifications, kNotificationsPath, kNotifications, "Notify");
    DBusMessageIter it, actions, hints;
    dbus_message_iter_init_append(call, &it);
    appendString(&it, "Nimbrel");
    dbus_uint32_t replaces = 0;
    dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &replaces);
    appendString(&it, "");
    appendString(&it, summary);
    appendString(&it, escapeNoticeMarkup(body));
    // A click on the notice itself is its "default" action.
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &actions);
    appendString(&actions, "default");
    appendString(&actions, "Show");
    dbus_message_iter_close_container(&it, &actions);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &hints);
    dbus_message_iter_close_container(&it, &hints);
    dbus_int32_t timeout = -1;
    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &timeout);
    dbus_message_set_auto_start(call, FALSE);
    // The id comes back later: clicks on the notice name it.
    m.callLater(call, [&m](DBusMessage* reply) {
        const char* sender = dbus_message_get_sender(reply);
        if (dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN || !sender) return;
        const dbus_uint32_t id = argBasic<dbus_uint32_t>(reply, 0, DBUS_TYPE_UINT32, 0);
        if (sender != m.noticeServer) m.notices.clear();  // another server: the old ids mean nothing
        m.noticeServer = sender;
        m.notices.push_back(id);
        if (m.notices.size() > kNoticesFollowed) m.notices.erase(m.notices.begin());
    });
    sendNow(m.conn);
}

void SessionBus::settle(int maxMs) {
    Impl& m = *impl_;
    for (int waited = 0; m.conn && m.awaiting && waited < maxMs; waited += 20) {
        dbus_connection_read_write(m.conn, 20);
        while (dbus_connection_dispatch(m.conn) == DBUS_DISPATCH_DATA_REMAINS) {
        }
    }
}

void SessionBus::pump() {
    DBusConnection* conn = impl_->conn;
    if (!conn) return;
    dbus_connection_read_write(conn, 0);
    while (dbus_connection_dispatch(conn) == DBUS_DISPATCH_DATA_REMAINS) {
    }
    if (!dbus_connection_get_is_connected(conn)) {
        stop();
        if (impl_->handlers.hostChanged) impl_->handlers.hostChanged();
        return;
    }
    impl_->expireCalls();
    sendNow(conn);
}

std::string escapeNoticeMarkup(const std::string& text) {
    std::string out;
    for (char c : clean(text)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace nbr::platform
