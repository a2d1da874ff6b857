#include "platform/SystemLocation.h"

#include "platform/DbusWire.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace nbr::platform {

namespace {

constexpr const char* kService = "org.freedesktop.GeoClue2";
constexpr const char* kManagerPath = "/org/freedesktop/GeoClue2/Manager";
constexpr const char* kManager = "org.freedesktop.GeoClue2.Manager";
constexpr const char* kClient = "org.freedesktop.GeoClue2.Client";
constexpr const char* kLocation = "org.freedesktop.GeoClue2.Location";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr dbus_uint32_t kCityAccuracy = 4;
// Each call other than the start request; the service answers in milliseconds
// once it runs, and the bus starts it within this time when it is not running.
constexpr int kCallTimeoutMs = 3000;
constexpr int kPollMs = 50;
// Where the system bus listens when DBUS_SYSTEM_BUS_ADDRESS does not say.
constexpr const char* kSystemBus = "unix:path=/run/dbus/system_bus_socket";

struct MessageUnref {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

struct BusError {
    DBusError e;
    BusError() { dbus_error_init(&e); }
    ~BusError() { dbus_error_free(&e); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    bool set() const { return dbus_error_is_set(&e); }
    bool named(const char* name) const { return set() && std::strcmp(e.name, name) == 0; }
    std::string text() const { return set() ? std::string(e.name) + ": " + (e.message ? e.message : "") : ""; }
};

// A private connection to the system bus, closed when it goes. The address
// is read on every request (the library would keep the first one it saw).
class Connection {
public:
    explicit Connection(BusError& err) {
        const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        c_ = dbus_connection_open_private(env && *env ? env : kSystemBus, &err.e);
        if (!c_) return;
        dbus_connection_set_exit_on_disconnect(c_, FALSE);
        if (!dbus_bus_register(c_, &err.e)) {
            dbus_connection_close(c_);
            dbus_connection_unref(c_);
            c_ = nullptr;
        }
    }
    ~Connection() {
        if (!c_) return;
        dbus_connection_close(c_);
        dbus_connection_unref(c_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    DBusConnection* get() const { return c_; }

private:
    DBusConnection* c_;
};

Message call(DBusConnection* c, Message m, BusError& err) {
    if (!m) return nullptr;
    return Message(dbus_connection_send_with_reply_and_block(c, m.get(), kCallTimeoutMs, &err.e));
}

Message method(const char* path, const char* iface, const char* member) {
    return Message(dbus_message_new_method_call(kService, path, iface, member));
}

// Properties.Set of one property holding a basic value of `type`.
bool setProperty(DBusConnection* c, const char* path, const char* name, int type, const void* value,
                 BusError& err) {
    Message m = method(path, kProperties, "Set");
    if (!m) return false;
    DBusMessageIter it;
    const char* iface = kClient;
    const char signature[2] = {static_cast<char>(type), '\0'};
    dbus_message_iter_init_append(m.get(), &it);
    if (!dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface) ||
        !dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &name))
        return false;
    wire::appendVariant(&it, signature, [&](DBusMessageIter* v) { dbus_message_iter_append_basic(v, type, value); });
    return call(c, std::move(m), err) != nullptr;
}

// A finite number from Properties.Get of the location object, or NaN.
double readNumber(DBusConnection* c, const std::string& path, const char* name, BusError& err) {
    Message m = method(path.c_str(), kProperties, "Get");
    const char* iface = kLocation;
    if (!m || !dbus_message_append_args(m.get(), DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
        return NAN;
    Message reply = call(c, std::move(m), err);
    DBusMessageIter it, v;
    if (!reply || !dbus_message_iter_init(reply.get(), &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT)
        return NAN;
    dbus_message_iter_recurse(&it, &v);
    if (dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_DOUBLE) return NAN;
    double d = NAN;
    dbus_message_iter_get_basic(&v, &d);
    return std::isfinite(d) ? d : NAN;
}

// The bus could not find or start the service at all.
bool serviceMissing(const BusError& err) {
    return err.named(DBUS_ERROR_SERVICE_UNKNOWN) || err.named(DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           (err.set() && std::strncmp(err.e.name, "org.freedesktop.DBus.Error.Spawn.", 33) == 0);
}

// What a message read while waiting says about the request.
struct Awaited {
    bool refused = false;
    bool located = false;
    std::string location;  // the new location object; empty when unreadable
};

// `service` is the service's unique name: only its announcements count.
void look(DBusMessage* m, const std::string& service, const std::string& client, dbus_uint32_t startSerial,
          Awaited& a, std::string& detail) {
    const int type = dbus_message_get_type(m);
    if (type == DBUS_MESSAGE_TYPE_ERROR && dbus_message_get_reply_serial(m) == startSerial) {
        a.refused = true;
        const char* name = dbus_message_get_error_name(m);
        detail = name ? name : "";
        const char* text = nullptr;
        if (dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) && text)
            detail += std::string(": ") + text;
    } else if (dbus_message_is_signal(m, kClient, "LocationUpdated") && dbus_message_has_path(m, client.c_str()) &&
               dbus_message_has_sender(m, service.c_str())) {
        a.located = true;
        const char *before = nullptr, *after = nullptr;
        if (dbus_message_get_args(m, nullptr, DBUS_TYPE_OBJECT_PATH, &before, DBUS_TYPE_OBJECT_PATH, &after,
                                  DBUS_TYPE_INVALID) &&
            after && std::strcmp(after, "/") != 0)
            a.location = after;
    }
}

}  // namespace

SystemPosition locateThisComputer(const char* desktopId, std::chrono::milliseconds wait,
                                  const std::atomic<bool>* stop) {
    SystemPosition out;
    BusError err;
    Connection bus(err);
    DBusConnection* c = bus.get();
    if (!c) {
        out.detail = err.text();
        return out;  // NoService
    }

    Message reply = call(c, method(kManagerPath, kManager, "GetClient"), err);
    const char* clientPath = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &clientPath, DBUS_TYPE_INVALID) ||
        !clientPath) {
        out.step = serviceMissing(err) ? LocationStep::NoService : LocationStep::NotStarted;
        out.detail = err.text();
        return out;
    }
    const std::string client = clientPath;
    const char* sender = dbus_message_get_sender(reply.get());
    const std::string service = sender ? sender : "";
    reply.reset();

    // The service refuses to start a client that has not said who it is.
    out.step = LocationStep::NotStarted;
    const dbus_uint32_t accuracy = kCityAccuracy;
    const std::string rule = "type='signal',sender='" + service + "',interface='" + std::string(kClient) +
                             "',member='LocationUpdated',path='" + client + "'";
    if (!setProperty(c, client.c_str(), "DesktopId", DBUS_TYPE_STRING, &desktopId, err) ||
        !setProperty(c, client.c_str(), "RequestedAccuracyLevel", DBUS_TYPE_UINT32, &accuracy, err)) {
        out.detail = err.text();
        return out;
    }
    dbus_bus_add_match(c, rule.c_str(), &err.e);
    if (err.set()) {
        out.detail = err.text();
        return out;
    }

    // The start request's answer may wait for the user to allow the request,
    // so it is awaited together with the position, under the same bound.
    dbus_uint32_t startSerial = 0;
    Message start = method(client.c_str(), kClient, "Start");
    if (!start || !dbus_connection_send(c, start.get(), &startSerial)) return out;
    start.reset();

    Awaited a;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    out.step = LocationStep::NoFix;
    for (;;) {
        while (DBusMessage* m = dbus_connection_pop_message(c)) {
            look(m, service, client, startSerial, a, out.detail);
            dbus_message_unref(m);
        }
        if (a.refused) {
            out.step = LocationStep::NotStarted;
            return out;
        }
        if (a.located) break;
        if (stop && stop->load()) {
            out.step = LocationStep::Stopped;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (!dbus_connection_read_write(c, static_cast<int>(std::min<long long>(left.count(), kPollMs)))) break;
    }

    if (a.located) {
        if (a.location.empty()) {
            out.step = LocationStep::NoLocation;
        } else {
            const double lat = readNumber(c, a.location, "Latitude", err);
            const double lon = std::isnan(lat) ? NAN : readNumber(c, a.location, "Longitude", err);
            if (std::isnan(lat) || std::isnan(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 180) {
                out.step = LocationStep::NoCoordinates;
                out.detail = err.text();
            } else {
                out.step = LocationStep::Found;
                out.latitude = lat;
                out.longitude = lon;
            }
        }
    }

    // One position is all that was wanted; nothing waits for the answer, and
    // the service drops the client with the connection anyway.
    if (Message m = method(client.c_str(), kClient, "Stop")) {
        dbus_message_set_no_reply(m.get(), TRUE);
        dbus_connection_send(c, m.get(), nullptr);
        dbus_connection_flush(c);
    }
    return out;
}

}  // namespace nbr::platform
