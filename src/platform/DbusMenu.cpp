#include "platform/DbusMenu.h"

#include "platform/DbusWire.h"

#include <string>

namespace nbr::platform {

namespace {

using namespace wire;

constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr dbus_uint32_t kRevision = 1;  // the menu never changes

constexpr const char* kMenuXml = R"xml(
  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg name="parentId" type="i" direction="in"/><arg name="recursionDepth" type="i" direction="in"/>
      <arg name="propertyNames" type="as" direction="in"/><arg name="revision" type="u" direction="out"/>
      <arg name="layout" type="(ia{sv}av)" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg name="ids" type="ai" direction="in"/><arg name="propertyNames" type="as" direction="in"/>
      <arg name="properties" type="a(ia{sv})" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg name="id" type="i" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="Event">
      <arg name="id" type="i" direction="in"/><arg name="eventId" type="s" direction="in"/>
      <arg name="data" type="v" direction="in"/><arg name="timestamp" type="u" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg name="events" type="a(isvu)" direction="in"/><arg name="idErrors" type="ai" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg name="id" type="i" direction="in"/><arg name="needUpdate" type="b" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg name="ids" type="ai" direction="in"/><arg name="updatesNeeded" type="ai" direction="out"/>
      <arg name="idErrors" type="ai" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg name="updatedProps" type="a(ia{sv})"/><arg name="removedProps" type="a(ias)"/>
    </signal>
    <signal name="LayoutUpdated"><arg name="revision" type="u"/><arg name="parent" type="i"/></signal>
    <signal name="ItemActivationRequested"><arg name="id" type="i"/><arg name="timestamp" type="u"/></signal>
  </interface>
)xml";

// One entry of the menu; `item` null for the root.
struct Node {
    int id = 0;
    const MenuItem* item = nullptr;
};

class Menu {
public:
    Menu(DBusConnection* c, const std::vector<MenuItem>& m, const std::function<void(int)>& onClick)
        : conn(c), menu(m), clicked(onClick) {}

    DBusHandlerResult answer(DBusMessage* msg);

private:
    bool find(int id, Node* node) const {
        if (id == 0) {
            *node = {};
            return true;
        }
        for (const MenuItem& m : menu)
            if (m.id == id) {
                *node = {id, &m};
                return true;
            }
        return false;
    }

    // The node's properties as name and text; a host takes the protocol's
    // defaults ("standard", visible, enabled) for those left out.
    static std::vector<std::pair<const char*, std::string>> propertiesOf(const Node& n) {
        if (!n.item) return {{"children-display", "submenu"}};
        if (n.item->separator) return {{"type", "separator"}};
        return {{"label", n.item->label}};
    }

    // a{sv} of the node's properties among `names` (all when empty).
    static void appendProperties(DBusMessageIter* it, const Node& n, const std::vector<std::string>& names) {
        DBusMessageIter props;
        dbus_message_iter_open_container(it, DBUS_TYPE_ARRAY, "{sv}", &props);
        for (const auto& prop : propertiesOf(n)) {
            if (!names.empty() && std::find(names.begin(), names.end(), prop.first) == names.end()) continue;
            appendDictEntry(&props, prop.first, "s", [&](DBusMessageIter* v) { appendString(v, prop.second); });
        }
        dbus_message_iter_close_container(it, &props);
    }

    // (ia{sv}av): the node and, while `depth` allows (-1: no limit), its children.
    void appendLayout(DBusMessageIter* it, const Node& n, int depth, const std::vector<std::string>& names) const {
        DBusMessageIter st, children;
        dbus_message_iter_open_container(it, DBUS_TYPE_STRUCT, nullptr, &st);
        dbus_int32_t id = n.id;
        dbus_message_iter_append_basic(&st, DBUS_TYPE_INT32, &id);
        appendProperties(&st, n, names);
        dbus_message_iter_open_container(&st, DBUS_TYPE_ARRAY, "v", &children);
        if (!n.item && depth != 0)
            for (const MenuItem& m : menu)
                appendVariant(&children, "(ia{sv}av)",
                              [&](DBusMessageIter* v) { appendLayout(v, {m.id, &m}, depth - 1, names); });
        dbus_message_iter_close_container(&st, &children);
        dbus_message_iter_close_container(it, &st);
    }

    void event(int id, const std::string& what) const {
        Node n;
        if (what == "clicked" && find(id, &n) && n.item && !n.item->separator && clicked) clicked(id);
    }

    static void appendInts(DBusMessageIter* it, const std::vector<dbus_int32_t>& ids) {
        DBusMessageIter a;
        dbus_message_iter_open_container(it, DBUS_TYPE_ARRAY, "i", &a);
        for (dbus_int32_t id : ids) dbus_message_iter_append_basic(&a, DBUS_TYPE_INT32, &id);
        dbus_message_iter_close_container(it, &a);
    }

    // The ids of `ids` that name no entry.
    std::vector<dbus_int32_t> unknown(const std::vector<dbus_int32_t>& ids) const {
        std::vector<dbus_int32_t> out;
        Node n;
        for (dbus_int32_t id : ids)
            if (!find(id, &n)) out.push_back(id);
        return out;
    }

    DBusMessage* noSuchItem(DBusMessage* msg) const {
        return dbus_message_new_error(msg, DBUS_ERROR_INVALID_ARGS, "no such menu item");
    }

    DBusConnection* conn;
    const std::vector<MenuItem>& menu;
    const std::function<void(int)>& clicked;
};

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

DBusHandlerResult Menu::answer(DBusMessage* msg) {
    if (answerIntrospect(conn, msg, kMenuXml)) return DBUS_HANDLER_RESULT_HANDLED;
    if (dbus_message_has_interface(msg, kProperties))
        return answerProperties(conn, msg, {"Version", "TextDirection", "Status", "IconThemePath"},
                                appendMenuProperty);
    const auto is = [msg](const char* member) { return dbus_message_is_method_call(msg, kMenuInterface, member); };
    DBusMessage* reply = nullptr;
    DBusMessageIter it;
    Node n;
    if (is("GetLayout")) {
        if (!find(argInt(msg, 0), &n)) {
            reply = noSuchItem(msg);
        } else {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            dbus_uint32_t revision = kRevision;
            dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &revision);
            appendLayout(&it, n, argInt(msg, 1), argStrings(msg, 2));
        }
    } else if (is("GetGroupProperties")) {
        const std::vector<std::string> names = argStrings(msg, 1);
        reply = dbus_message_new_method_return(msg);
        dbus_message_iter_init_append(reply, &it);
        DBusMessageIter arr, st;
        dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "(ia{sv})", &arr);
        for (dbus_int32_t id : argArray<dbus_int32_t>(msg, 0, DBUS_TYPE_INT32)) {
            if (!find(id, &n)) continue;
            dbus_message_iter_open_container(&arr, DBUS_TYPE_STRUCT, nullptr, &st);
            dbus_message_iter_append_basic(&st, DBUS_TYPE_INT32, &id);
            appendProperties(&st, n, names);
            dbus_message_iter_close_container(&arr, &st);
        }
        dbus_message_iter_close_container(&it, &arr);
    } else if (is("GetProperty")) {
        const std::string name = argString(msg, 1);
        std::string value;
        bool found = false;
        if (find(argInt(msg, 0), &n))
            for (const auto& [key, text] : propertiesOf(n))
                if (name == key) value = text, found = true;
        if (!found) {
            reply = dbus_message_new_error(msg, DBUS_ERROR_INVALID_ARGS, "no such menu item or property");
        } else {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            appendVariant(&it, "s", [&](DBusMessageIter* v) { appendString(v, value); });
        }
    } else if (is("Event")) {
        const int id = argInt(msg, 0);
        reply = find(id, &n) ? dbus_message_new_method_return(msg) : noSuchItem(msg);
        event(id, argString(msg, 1));
    } else if (is("EventGroup")) {
        // a(isvu): id, event, data, time; the ids not found are answered,
        // and an error when none was found.
        std::vector<dbus_int32_t> ids, missing;
        DBusMessageIter arr, st;
        if (argAt(msg, 0, &it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY) {
            for (dbus_message_iter_recurse(&it, &arr); dbus_message_iter_get_arg_type(&arr) == DBUS_TYPE_STRUCT;
                 dbus_message_iter_next(&arr)) {
                dbus_message_iter_recurse(&arr, &st);
                dbus_int32_t id = 0;
                const char* what = "";
                if (dbus_message_iter_get_arg_type(&st) == DBUS_TYPE_INT32) dbus_message_iter_get_basic(&st, &id);
                if (dbus_message_iter_next(&st) && dbus_message_iter_get_arg_type(&st) == DBUS_TYPE_STRING)
                    dbus_message_iter_get_basic(&st, &what);
                ids.push_back(id);
                if (find(id, &n)) event(id, what);
                else missing.push_back(id);
            }
        }
        if (!ids.empty() && missing.size() == ids.size()) {
            reply = noSuchItem(msg);
        } else {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            appendInts(&it, missing);
        }
    } else if (is("AboutToShow")) {
        if (!find(argInt(msg, 0), &n)) {
            reply = noSuchItem(msg);
        } else {
            reply = dbus_message_new_method_return(msg);
            dbus_bool_t no = FALSE;
            dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &no, DBUS_TYPE_INVALID);
        }
    } else if (is("AboutToShowGroup")) {
        // The menu never changes: no entry needs an update.
        const std::vector<dbus_int32_t> ids = argArray<dbus_int32_t>(msg, 0, DBUS_TYPE_INT32);
        const std::vector<dbus_int32_t> missing = unknown(ids);
        if (!ids.empty() && missing.size() == ids.size()) {
            reply = noSuchItem(msg);
        } else {
            reply = dbus_message_new_method_return(msg);
            dbus_message_iter_init_append(reply, &it);
            appendInts(&it, {});
            appendInts(&it, missing);
        }
    } else {
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }
    sendAndRelease(conn, reply);
    return DBUS_HANDLER_RESULT_HANDLED;
}

}  // namespace

DBusHandlerResult answerMenuCall(DBusConnection* conn, DBusMessage* msg, const std::vector<MenuItem>& menu,
                                 const std::function<void(int id)>& clicked) {
    return Menu(conn, menu, clicked).answer(msg);
}

}  // namespace nbr::platform
