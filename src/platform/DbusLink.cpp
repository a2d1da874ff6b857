#include "platform/DbusLink.h"

#include "platform/Process.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <tuple>

namespace nbr::platform::wire {

namespace {

constexpr long long kSliceMs = 50;
constexpr const char* kSystemBus = "unix:path=/run/dbus/system_bus_socket";

// One wait for the socket within `bound`; false, with `err` set, when the
// bound is over or the bus went away.
bool waitOnce(DBusConnection* conn, const Bound& bound, const char* timeoutName, DBusError* err) {
    const int slice = bound.sliceMs();
    if (slice == 0) {
        dbus_set_error_const(err, timeoutName, bound.stopped() ? "stopped while waiting for the bus"
                                                               : "the bus did not answer in time");
        return false;
    }
    if (dbus_connection_read_write(conn, slice)) return true;
    dbus_set_error_const(err, DBUS_ERROR_DISCONNECTED, "the bus closed the connection");
    return false;
}

}  // namespace

int Bound::sliceMs() const {
    if (stopped()) return 0;
    const long long left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min(left, kSliceMs));
}

const char* systemBusAddress() {
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return env && *env ? env : kSystemBus;
}

DBusConnection* openBus(const char* address, const Bound& bound, DBusError* err) {
    if (std::strcmp(address, kNoBus) == 0) {
        dbus_set_error_const(err, DBUS_ERROR_NO_SERVER, "the bus did not answer at start-up");
        return nullptr;
    }
    DBusConnection* conn = dbus_connection_open_private(address, err);
    if (!conn) return nullptr;
    dbus_connection_set_exit_on_disconnect(conn, FALSE);
    bool ok = true;
    while (ok && !dbus_connection_get_is_authenticated(conn)) ok = waitOnce(conn, bound, DBUS_ERROR_TIMEOUT, err);
    DBusMessage* hello =
        ok ? dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello") : nullptr;
    DBusMessage* reply = hello ? callWithin(conn, hello, bound, err) : nullptr;
    if (hello) dbus_message_unref(hello);
    const char* name = nullptr;
    ok = reply && dbus_message_get_args(reply, err, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) &&
         dbus_bus_set_unique_name(conn, name);
    if (reply) dbus_message_unref(reply);
    if (ok) return conn;
    if (!dbus_error_is_set(err)) dbus_set_error_const(err, DBUS_ERROR_FAILED, "the bus did not register us");
    closeBus(conn);
    return nullptr;
}

std::string errorText(const DBusError* err) {
    if (!dbus_error_is_set(err)) return "";
    return std::string(err->name) + ": " + (err->message ? err->message : "");
}

void closeBus(DBusConnection* conn) {
    dbus_connection_close(conn);
    dbus_connection_unref(conn);
}

DBusMessage* callWithin(DBusConnection* conn, DBusMessage* call, const Bound& bound, DBusError* err) {
    dbus_uint32_t serial = 0;
    if (!dbus_connection_send(conn, call, &serial)) {
        dbus_set_error_const(err, DBUS_ERROR_NO_MEMORY, "the call could not be sent");
        return nullptr;
    }
    do {
        while (DBusMessage* m = dbus_connection_pop_message(conn)) {
            const int type = dbus_message_get_type(m);
            if ((type == DBUS_MESSAGE_TYPE_METHOD_RETURN || type == DBUS_MESSAGE_TYPE_ERROR) &&
                dbus_message_get_reply_serial(m) == serial) {
                if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN) return m;
                dbus_set_error_from_message(err, m);
                dbus_message_unref(m);
                return nullptr;
            }
            dbus_message_unref(m);
        }
    } while (waitOnce(conn, bound, DBUS_ERROR_NO_REPLY, err));
    return nullptr;
}

}  // namespace nbr::platform::wire

namespace nbr::platform {

namespace {

// Why the bus at `address` let us connect but not in within the bound; empty
// when it let us in or failed at once (nothing waits on such a bus).
std::string silence(const std::string& address) {
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* conn = wire::openBus(address.c_str(), {wire::Clock::now() + wire::kConnectWithin}, &err);
    if (conn) wire::closeBus(conn);
    std::string why;
    if (dbus_error_has_name(&err, DBUS_ERROR_TIMEOUT) || dbus_error_has_name(&err, DBUS_ERROR_NO_REPLY))
        why = wire::errorText(&err);
    dbus_error_free(&err);
    return why;
}

}  // namespace

std::vector<SilentBus> hideSilentBuses() {
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string sessionAddress = session && *session ? session : "";
    std::string systemWhy;
    std::thread system([&, address = std::string(wire::systemBusAddress())] { systemWhy = silence(address); });
    const std::string sessionWhy = sessionAddress.empty() ? "" : silence(sessionAddress);
    system.join();
    std::vector<SilentBus> hidden;
    for (const auto& [name, variable, why] : {std::tuple{"session", "DBUS_SESSION_BUS_ADDRESS", sessionWhy},
                                              std::tuple{"system", "DBUS_SYSTEM_BUS_ADDRESS", systemWhy}}) {
        if (why.empty()) continue;
        setOwnEnvironment(variable, wire::kNoBus);  // programs we start may still reach it
        hidden.push_back({name, why});
    }
    return hidden;
}

}  // namespace nbr::platform
