#include "platform/SystemLocation.h"

#include "platform/DbusLink.h"
#include "platform/DbusWire.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <cmath>
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
// Setting the request up (connecting, making and configuring the client,
// reading the position) may take this much beyond the wait for a position,
// in all: the bus may have to start the service first.
constexpr std::chrono::milliseconds kSetUpMargin{2000};

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
    std::string text() const { return wire::errorText(&e); }
};

Message method(const char* path, const char* iface, const char* member) {
    return Message(dbus_message_new_method_call(kService, path, iface, member));
}

// A private connection to the system bus, closed when it goes, and every
// call on it within the request's one bound. The address is read on every
// request (the library would keep the first one it saw).
class Link {
public:
    explicit Link(const wire::Bound& bound) : bound_(bound) {
        wire::Bound connecting = bound;
        connecting.deadline = std::min(bound.deadline, wire::Clock::now() + wire::kConnectWithin);
        c_ = wire::openBus(wire::systemBusAddress(), connecting, &err.e);
    }
    ~Link() {
        if (c_) wire::closeBus(c_);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    DBusConnection* get() const { return c_; }

    // The method return of `m`, or null with `err` set.
    Message call(Message m) {
        if (!m) return nullptr;
        return Message(wire::callWithin(c_, m.get(), bound_, &err.e));
    }

    // Properties.Set of one client property holding a basic value of `type`.
    bool setProperty(const char* path, const char* name, int type, const void* value) {
        Message m = method(path, kProperties, "Set");
        if (!m) return false;
        DBusMessageIter it;
        const char* iface = kClient;
        const char signature[2] = {static_cast<char>(type), '\0'};
        dbus_message_iter_init_append(m.get(), &it);
        if (!dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface) ||
            !dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &name))
            return false;
        wire::appendVariant(&it, signature,
                            [&](DBusMessageIter* v) { dbus_message_iter_append_basic(v, type, value); });
        return call(std::move(m)) != nullptr;
    }

    // A finite number from Properties.Get of the location object, or NaN.
    double readNumber(const std::string& path, const char* name) {
        Message m = method(path.c_str(), kProperties, "Get");
        const char* iface = kLocation;
        if (!m ||
            !dbus_message_append_args(m.get(), DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
            return NAN;
        Message reply = call(std::move(m));
        DBusMessageIter it, v;
        if (!reply || !dbus_message_iter_init(reply.get(), &it) ||
            dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT)
            return NAN;
        dbus_message_iter_recurse(&it, &v);
        if (dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_DOUBLE) return NAN;
        double d = NAN;
        dbus_message_iter_get_basic(&v, &d);
        return std::isfinite(d) ? d : NAN;
    }

    BusError err;

private:
    wire::Bound bound_;
    DBusConnection* c_;
};

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

// The request itself; `stop` is looked at by the caller afterwards.
SystemPosition request(const char* desktopId, std::chrono::milliseconds wait, const std::atomic<bool>* stop) {
    SystemPosition out;
    const wire::Bound whole{wire::Clock::now() + wait + kSetUpMargin, stop};
    Link bus(whole);
    DBusConnection* c = bus.get();
    if (!c) {
        out.detail = bus.err.text();
        return out;  // NoService
    }

    Message reply = bus.call(method(kManagerPath, kManager, "GetClient"));
    const char* clientPath = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &clientPath, DBUS_TYPE_INVALID) ||
        !clientPath) {
        out.step = serviceMissing(bus.err) ? LocationStep::NoService : LocationStep::NotStarted;
        out.detail = bus.err.text();
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
    const char* ruleText = rule.c_str();
    Message match(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "AddMatch"));
    if (match) dbus_message_append_args(match.get(), DBUS_TYPE_STRING, &ruleText, DBUS_TYPE_INVALID);
    if (!bus.setProperty(client.c_str(), "DesktopId", DBUS_TYPE_STRING, &desktopId) ||
        !bus.setProperty(client.c_str(), "RequestedAccuracyLevel", DBUS_TYPE_UINT32, &accuracy) ||
        !bus.call(std::move(match))) {
        out.detail = bus.err.text();
        return out;
    }

    // The start request's answer may wait for the user to allow the request,
    // so it is awaited together with the position, under the same bound.
    dbus_uint32_t startSerial = 0;
    Message start = method(client.c_str(), kClient, "Start");
    if (!start || !dbus_connection_send(c, start.get(), &startSerial)) return out;
    start.reset();

    Awaited a;
    const wire::Bound waiting{std::min(whole.deadline, wire::Clock::now() + wait), stop};
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
        const int slice = waiting.sliceMs();
        if (a.located || slice == 0 || !dbus_connection_read_write(c, slice)) break;
    }

    if (a.located) {
        if (a.location.empty()) {
            out.step = LocationStep::NoLocation;
        } else {
            const double lat = bus.readNumber(a.location, "Latitude");
            const double lon = std::isnan(lat) ? NAN : bus.readNumber(a.location, "Longitude");
            if (std::isnan(lat) || std::isnan(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 180) {
                out.step = LocationStep::NoCoordinates;
                out.detail = bus.err.text();
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
        wire::sendNow(c);
    }
    return out;
}

}  // namespace

SystemPosition locateThisComputer(const char* desktopId, std::chrono::milliseconds wait,
                                  const std::atomic<bool>* stop) {
    SystemPosition out = request(desktopId, wait, stop);
    // Whatever a stop cut short is no failure of the service.
    if (out.step != LocationStep::Found && stop && stop->load()) out.step = LocationStep::Stopped;
    return out;
}

}  // namespace nbr::platform
