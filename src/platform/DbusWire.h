// Small helpers for writing and reading libdbus messages, shared by the
// session-bus objects (platform only).
#pragma once

#include "model/Utf8.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <string>
#include <vector>

namespace nbr::platform::wire {

// Valid UTF-8 without NUL bytes: the bus refuses anything else.
inline std::string clean(const std::string& text) {
    std::string s = utf8Valid(text);
    s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
    return s;
}

inline void appendString(DBusMessageIter* it, const std::string& text) {
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

// The iterator at argument `index`; false when the message has fewer.
inline bool argAt(DBusMessage* msg, int index, DBusMessageIter* it) {
    if (!dbus_message_iter_init(msg, it)) return false;
    for (int i = 0; i < index; ++i)
        if (!dbus_message_iter_next(it)) return false;
    return true;
}

// A basic argument of the given type; `fallback` when absent or of another type.
template <typename T>
T argBasic(DBusMessage* msg, int index, int type, T fallback) {
    DBusMessageIter it;
    if (!argAt(msg, index, &it) || dbus_message_iter_get_arg_type(&it) != type) return fallback;
    T v{};
    dbus_message_iter_get_basic(&it, &v);
    return v;
}

inline std::string argString(DBusMessage* msg, int index) {
    const char* s = argBasic<const char*>(msg, index, DBUS_TYPE_STRING, nullptr);
    return s ? s : "";
}

inline int argInt(DBusMessage* msg, int index) { return argBasic<dbus_int32_t>(msg, index, DBUS_TYPE_INT32, 0); }

// The elements of an array argument of a basic type.
template <typename T>
std::vector<T> argArray(DBusMessage* msg, int index, int type) {
    std::vector<T> out;
    DBusMessageIter it, a;
    if (!argAt(msg, index, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return out;
    for (dbus_message_iter_recurse(&it, &a); dbus_message_iter_get_arg_type(&a) == type; dbus_message_iter_next(&a)) {
        T v{};
        dbus_message_iter_get_basic(&a, &v);
        out.push_back(v);
    }
    return out;
}

inline std::vector<std::string> argStrings(DBusMessage* msg, int index) {
    std::vector<std::string> out;
    for (const char* s : argArray<const char*>(msg, index, DBUS_TYPE_STRING)) out.emplace_back(s ? s : "");
    return out;
}

// Sends `reply` (if any; nowhere without a connection) and releases it.
inline void sendAndRelease(DBusConnection* conn, DBusMessage* reply) {
    if (!reply) return;
    if (conn) dbus_connection_send(conn, reply, nullptr);
    dbus_message_unref(reply);
}

constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kIntrospectable = "org.freedesktop.DBus.Introspectable";

// Answers Properties.Get and GetAll for an object whose properties are
// `names`; `append(iter, name)` appends one as a variant and is false for a
// name it does not know. NOT_YET_HANDLED for other calls.
template <typename Append>
DBusHandlerResult answerProperties(DBusConnection* conn, DBusMessage* msg, const std::vector<const char*>& names,
                                   Append append) {
    DBusMessage* reply = nullptr;
    DBusMessageIter it;
    if (dbus_message_is_method_call(msg, kProperties, "Get")) {
        reply = dbus_message_new_method_return(msg);
        dbus_message_iter_init_append(reply, &it);
        if (!append(&it, argString(msg, 1))) {
            dbus_message_unref(reply);
            reply = dbus_message_new_error(msg, DBUS_ERROR_UNKNOWN_PROPERTY, "no such property");
        }
    } else if (dbus_message_is_method_call(msg, kProperties, "GetAll")) {
        reply = dbus_message_new_method_return(msg);
        dbus_message_iter_init_append(reply, &it);
        DBusMessageIter dict;
        dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &dict);
        for (const char* name : names) {
            DBusMessageIter e;
            dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &e);
            dbus_message_iter_append_basic(&e, DBUS_TYPE_STRING, &name);
            append(&e, name);
            dbus_message_iter_close_container(&dict, &e);
        }
        dbus_message_iter_close_container(&it, &dict);
    } else if (dbus_message_has_interface(msg, kProperties)) {
        reply = dbus_message_new_error(msg, DBUS_ERROR_PROPERTY_READ_ONLY, "properties are read-only");
    } else {
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    }
    sendAndRelease(conn, reply);
    return DBUS_HANDLER_RESULT_HANDLED;
}

// The interfaces every published object has, for its introspection XML.
constexpr const char* kStandardInterfaces = R"xml(
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg name="xml" type="s" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface" type="s" direction="in"/><arg name="properties" type="a{sv}" direction="out"/>
    </method>
    <method name="Set">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="in"/>
    </method>
    <signal name="PropertiesChanged">
      <arg name="interface" type="s"/><arg name="changed" type="a{sv}"/><arg name="invalidated" type="as"/>
    </signal>
  </interface>
)xml";

// Answers Introspectable.Introspect with the document of the object's own
// interface (`own`, XML) and the standard ones; false for other calls.
inline bool answerIntrospect(DBusConnection* conn, DBusMessage* msg, const char* own) {
    if (!dbus_message_is_method_call(msg, kIntrospectable, "Introspect")) return false;
    const std::string xml = std::string(DBUS_INTROSPECT_1_0_XML_DOCTYPE_DECL_NODE "<node>") + own +
                            kStandardInterfaces + "</node>\n";
    const char* text = xml.c_str();
    DBusMessage* reply = dbus_message_new_method_return(msg);
    dbus_message_append_args(reply, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID);
    sendAndRelease(conn, reply);
    return true;
}

}  // namespace nbr::platform::wire
