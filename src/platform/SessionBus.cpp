#include "platform/SessionBus.h"

#include "model/Utf8.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace nbr::platform {

namespace {

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr int kReplyTimeoutMs = 2000;

// Valid UTF-8 without NUL bytes: the bus refuses anything else.
std::string clean(const std::string& text) {
    std::string s = utf8Valid(text);
    s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
    return s;
}

void appendString(DBusMessageIter* it, const std::string& text) {
    const std::string s = clean(text);
    const char* p = s.c_str();
    dbus_message_iter_append_basic(it, DBUS_TYPE_STRING, &p);
}

template <typename Fill>
void appendVariant(DBusMessageIter* it, const char* signature, Fill fill) {
    DBusMessageIter v;
    dbus_message_iter_open_container(it, DBUS_TYPE_VARIANT, signature, &v);
    fill(&v);
    dbus_message_iter_close_container(it, &v);
}

template <typename Fill>
void appendDictEntry(DBusMessageIter* dict, const char* key, const char* signature, Fill fill) {
    DBusMessageIter e;
    dbus_message_iter_open_container(dict, DBUS_TYPE_DICT_ENTRY, nullptr, &e);
    dbus_message_iter_append_basic(&e, DBUS_TYPE_STRING, &key);
    appendVariant(&e, signature, fill);
    dbus_message_iter_close_container(dict, &e);
}

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

std::string argString(DBusMessage* msg, int index) {
    DBusMessageIter it;
    if (!dbus_message_iter_init(msg, &it)) return {};
    for (int i = 0; i < index; ++i)
        if (!dbus_message_iter_next(&it)) return {};
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING) return {};
    const char* s = nullptr;
    dbus_message_iter_get_basic(&it, &s);
    return s ? s : "";
}

int argInt(DBusMessage* msg, int index) {
    DBusMessageIter it;
    if (!dbus_message_iter_init(msg, &it)) return 0;
    for (int i = 0; i < index; ++i)
        if (!dbus_message_iter_next(&it)) return 0;
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_INT32) return 0;
    dbus_int32_t v = 0;
    dbus_message_iter_get_basic(&it, &v);
    return v;
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

    void setHost(bool visible) {
        awaiting = false;
        if (visible == host) return;
        host = visible;
        if (handlers.hostChanged) handlers.hostChanged();
    }

    // ---- Calls whose replies come later, through pump() ----------------------

    template <typename OnReply>
    void callLater(DBusMessage* call, OnReply onReply) {
        DBusPendingCall* pending = nullptr;
        if (!dbus_connection_send_with_reply(conn, call, &pending, kReplyTimeoutMs) || !pending) {
            dbus_message_unref(call);
            return;
        }
        dbus_message_unref(call);
        auto* box = new OnReply(std::move(onReply));
        dbus_pending_call_set_notify(
            pending,
            [](DBusPendingCall* p, void* data) {
                DBusMessage* reply = dbus_pending_call_steal_reply(p);
                if (reply) {
                    (*static_cast<OnReply*>(data))(reply);
                    dbus_message_unref(reply);
                }
            },
            box, [](void* data) { delete static_cast<OnReply*>(data); });
        dbus_pending_call_unref(pending);
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

    bool appendMenuProperty(DBusMessageIter* it, const std::string& name) {
        if (name == "Version") {
            appendVariant(it, "u", [](DBusMessageIter* v) {
                dbus_uint32_t three = 3;
                dbus_message_iter_append_basic(v, DBUS_TYPE_UINT32, &three);
            });
        } else if (name == "TextDirection") {
            appendVariant(it, "s", [](DBusMessageIter* v) { appendString(v, "ltr"); });
        } else if (name == "Status") {
            appendVariant(it, "s", [](DBusMessageIter* v) { appendString(v, "normal"); });
        } else if (name == "IconThemePath") {
            appendVariant(it, "as", [](DBusMessageIter* v) {
                DBusMessageIter a;
                dbus_message_iter_open_container(v, DBUS_TYPE_ARRAY, "s", &a);
                dbus_message_iter_close_container(v, &a);
            });
        } else {
            return false;
        }
        return true;
    }

    DBusHandlerResult properties(DBusMessage* msg, bool item) {
        const char* names[] = {"Category", "Id", "Title", "Status", "IconName", "IconPixmap", "OverlayIconName",
                               "AttentionIconName", "ToolTip", "ItemIsMenu", "WindowId", "Menu"};
        const char* menuNames[] = {"Version", "TextDirection", "Status", "IconThemePath"};
        DBusMessage* reply = nullptr;
        DBusMessageIter it;
        if (dbus_message_is_method_call(msg, kProperties, "Get")) {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            const std::string name = argString(msg, 1);
            if (!(item ? appendItemProperty(&it, name) : appendMenuProperty(&it, name))) {
                dbus_message_unref(reply);
                reply = dbus_message_new_error(msg, DBUS_ERROR_UNKNOWN_PROPERTY, "no such property");
            }
        } else if (dbus_message_is_method_call(msg, kProperties, "GetAll")) {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            DBusMessageIter dict;
            dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &dict);
            const auto all = [&](const char* const* list, size_t n) {
                for (size_t i = 0; i < n; ++i) {
                    DBusMessageIter e;
                    dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &e);
                    dbus_message_iter_append_basic(&e, DBUS_TYPE_STRING, &list[i]);
                    if (item) appendItemProperty(&e, list[i]);
                    else appendMenuProperty(&e, list[i]);
                    dbus_message_iter_close_container(&dict, &e);
                }
            };
            if (item) all(names, std::size(names));
            else all(menuNames, std::size(menuNames));
            dbus_message_iter_close_container(&it, &dict);
        } else {
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        }
        dbus_connection_send(conn, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    void replyEmpty(DBusMessage* msg) {
        DBusMessage* reply = dbus_message_new_method_return(msg);
        dbus_connection_send(conn, reply, nullptr);
        dbus_message_unref(reply);
    }

    DBusHandlerResult onItem(DBusMessage* msg) {
        if (dbus_message_has_interface(msg, kProperties)) return properties(msg, true);
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

    // (ia{sv}av) of one menu entry; the root (id 0) holds the items.
    void appendMenuNode(DBusMessageIter* it, const MenuItem* item) {
        DBusMessageIter st, props, children;
        dbus_message_iter_open_container(it, DBUS_TYPE_STRUCT, nullptr, &st);
        dbus_int32_t id = item ? item->id : 0;
        dbus_message_iter_append_basic(&st, DBUS_TYPE_INT32, &id);
        dbus_message_iter_open_container(&st, DBUS_TYPE_ARRAY, "{sv}", &props);
        if (!item) {
            appendDictEntry(&props, "children-display", "s", [](DBusMessageIter* v) { appendString(v, "submenu"); });
        } else if (item->separator) {
            appendDictEntry(&props, "type", "s", [](DBusMessageIter* v) { appendString(v, "separator"); });
        } else {
            appendDictEntry(&props, "label", "s", [&](DBusMessageIter* v) { appendString(v, item->label); });
        }
        dbus_message_iter_close_container(&st, &props);
        dbus_message_iter_open_container(&st, DBUS_TYPE_ARRAY, "v", &children);
        if (!item)
            for (const MenuItem& m : menu)
                appendVariant(&children, "(ia{sv}av)", [&](DBusMessageIter* v) { appendMenuNode(v, &m); });
        dbus_message_iter_close_container(&st, &children);
        dbus_message_iter_close_container(it, &st);
    }

    DBusHandlerResult onMenu(DBusMessage* msg) {
        if (dbus_message_has_interface(msg, kProperties)) return properties(msg, false);
        DBusMessage* reply = nullptr;
        DBusMessageIter it;
        if (dbus_message_is_method_call(msg, kMenuInterface, "GetLayout")) {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            dbus_uint32_t revision = 1;
            dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &revision);
            const int parent = argInt(msg, 0);
            const MenuItem* node = nullptr;
            for (const MenuItem& m : menu)
                if (m.id != 0 && m.id == parent && !m.separator) node = &m;
            appendMenuNode(&it, node);
        } else if (dbus_message_is_method_call(msg, kMenuInterface, "Event")) {
            reply = dbus_message_new_method_return(msg);
            if (argString(msg, 1) == "clicked" && handlers.menuItem) {
                const int id = argInt(msg, 0);
                for (const MenuItem& m : menu)
                    if (m.id == id && !m.separator) handlers.menuItem(id);
            }
        } else if (dbus_message_is_method_call(msg, kMenuInterface, "AboutToShow")) {
            reply = dbus_message_new_method_return(msg);
            dbus_bool_t no = FALSE;
            dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &no, DBUS_TYPE_INVALID);
        } else if (dbus_message_is_method_call(msg, kMenuInterface, "GetGroupProperties")) {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            DBusMessageIter arr;
            dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "(ia{sv})", &arr);
            dbus_message_iter_close_container(&it, &arr);
        } else {
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        }
        dbus_connection_send(conn, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    DBusHandlerResult onSignal(DBusMessage* msg) {
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
    // Only an existing bus: never one started for us.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address) return false;
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* conn = dbus_connection_open_private(address, &err);
    if (!conn) {
        dbus_error_free(&err);
        return false;
    }
    if (!dbus_bus_register(conn, &err)) {
        dbus_error_free(&err);
        dbus_connection_close(conn);
        dbus_connection_unref(conn);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(conn, FALSE);
    Impl& m = *impl_;
    m.conn = conn;
    m.title = title;
    m.menu = menu;
    m.handlers = std::move(handlers);

    static const DBusObjectPathVTable itemTable = {
        nullptr, [](DBusConnection*, DBusMessage* msg, void* self) { return static_cast<Impl*>(self)->onItem(msg); },
        nullptr, nullptr, nullptr, nullptr};
    static const DBusObjectPathVTable menuTable = {
        nullptr, [](DBusConnection*, DBusMessage* msg, void* self) { return static_cast<Impl*>(self)->onMenu(msg); },
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
    m.registerWithWatcher();
    dbus_connection_flush(conn);
    return true;
}

void SessionBus::stop() {
    Impl& m = *impl_;
    if (!m.conn) return;
    dbus_connection_close(m.conn);
    dbus_connection_unref(m.conn);
    m.conn = nullptr;
    m.host = false;
}

bool SessionBus::connected() const { return impl_->conn != nullptr; }
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
    DBusConnection* conn = impl_->conn;
    if (!conn) return;
    DBusMessage* call = dbus_message_new_method_call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
    DBusMessageIter it, actions, hints;
    dbus_message_iter_init_append(call, &it);
    appendString(&it, "Nimbrel");
    dbus_uint32_t replaces = 0;
    dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &replaces);
    appendString(&it, "");
    appendString(&it, summary);
    appendString(&it, escapeNoticeMarkup(body));
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &actions);
    dbus_message_iter_close_container(&it, &actions);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &hints);
    dbus_message_iter_close_container(&it, &hints);
    dbus_int32_t timeout = -1;
    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &timeout);
    // Fire and forget: the notice's id is of no use here.
    dbus_message_set_no_reply(call, TRUE);
    dbus_message_set_auto_start(call, FALSE);
    dbus_connection_send(conn, call, nullptr);
    dbus_message_unref(call);
    dbus_connection_flush(conn);
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
    dbus_connection_flush(conn);
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
