// A stand-in for the desktop's location service on the bus named by
// DBUS_SYSTEM_BUS_ADDRESS: the manager hands out one client, which refuses to
// start until its desktop id is set and announces a location object `delay`
// after it started; only that object has coordinates. Answers on a thread of
// its own.
#pragma once

#include "PrivateBus.h"

#include <dbus/dbus.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace nbr::test {

class FakeGeoClue {
public:
    struct Setup {
        std::optional<std::chrono::milliseconds> delay = std::chrono::milliseconds(0);  // none: never
        bool refuseStart = false;
        std::string location = "/org/freedesktop/GeoClue2/Location/1";  // announced object
        bool coordinates = true;  // whether the object answers Latitude and Longitude
        double latitude = 59.91;
        double longitude = 10.75;
        bool impostor = false;  // another connection announces a location to the client at its start
    };
    // A service that never finds a position.
    static Setup silent() {
        Setup s;
        s.delay.reset();
        return s;
    }
    // What the client was told.
    struct Seen {
        std::string desktopId;
        unsigned accuracy = 0;
        bool started = false;
        bool stopped = false;
    };

    explicit FakeGeoClue(Setup setup) : setup_(std::move(setup)) {
        conn_ = dbus_connection_open_private(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"), nullptr);
        if (!conn_ || !dbus_bus_register(conn_, nullptr)) return;
        static const DBusObjectPathVTable table = {
            nullptr,
            [](DBusConnection*, DBusMessage* m, void* self) { return static_cast<FakeGeoClue*>(self)->onCall(m); },
            nullptr, nullptr, nullptr, nullptr};
        dbus_connection_register_fallback(conn_, "/org/freedesktop/GeoClue2", &table, this);
        if (dbus_bus_request_name(conn_, "org.freedesktop.GeoClue2", DBUS_NAME_FLAG_DO_NOT_QUEUE, nullptr) !=
            DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER)
            return;
        if (setup_.impostor) {
            impostor_ = dbus_connection_open_private(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"), nullptr);
            if (!impostor_ || !dbus_bus_register(impostor_, nullptr)) return;
        }
        ready_ = true;
        thread_ = std::thread([this] {
            while (running_.load()) {
                dbus_connection_read_write_dispatch(conn_, 5);
                announceWhenDue();
            }
        });
    }
    ~FakeGeoClue() {
        running_.store(false);
        if (thread_.joinable()) thread_.join();
        if (impostor_) dbus_connection_close(impostor_), dbus_connection_unref(impostor_);
        if (!conn_) return;
        dbus_connection_close(conn_);
        dbus_connection_unref(conn_);
    }
    FakeGeoClue(const FakeGeoClue&) = delete;
    FakeGeoClue& operator=(const FakeGeoClue&) = delete;

    bool ready() const { return ready_; }
    Seen seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    static constexpr const char* kClientPath = "/org/freedesktop/GeoClue2/Client/1";

    // LocationUpdated of the client, from `from` to `to` (everyone when null).
    static void announce(DBusConnection* from, const char* to, const char* location) {
        DBusMessage* s = dbus_message_new_signal(kClientPath, "org.freedesktop.GeoClue2.Client", "LocationUpdated");
        const char* before = "/";
        dbus_message_append_args(s, DBUS_TYPE_OBJECT_PATH, &before, DBUS_TYPE_OBJECT_PATH, &location,
                                 DBUS_TYPE_INVALID);
        if (to) dbus_message_set_destination(s, to);
        dbus_connection_send(from, s, nullptr);
        dbus_connection_flush(from);
        dbus_message_unref(s);
    }

    void announceWhenDue() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!seen_.started || announced_ || !setup_.delay ||
            std::chrono::steady_clock::now() - startedAt_ < *setup_.delay)
            return;
        announced_ = true;
        announce(conn_, nullptr, setup_.location.c_str());
    }

    DBusHandlerResult onCall(DBusMessage* m) {
        std::lock_guard<std::mutex> lock(mutex_);
        DBusMessage* reply = nullptr;
        const char* iface = nullptr;
        const char* name = nullptr;
        if (dbus_message_is_method_call(m, "org.freedesktop.GeoClue2.Manager", "GetClient")) {
            reply = dbus_message_new_method_return(m);
            const char* path = kClientPath;
            dbus_message_append_args(reply, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID);
        } else if (dbus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Set")) {
            DBusMessageIter it, v;
            dbus_message_iter_init(m, &it);
            dbus_message_iter_next(&it);
            dbus_message_iter_get_basic(&it, &name);
            dbus_message_iter_next(&it);
            dbus_message_iter_recurse(&it, &v);
            if (std::strcmp(name, "DesktopId") == 0 && dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_STRING) {
                const char* id = nullptr;
                dbus_message_iter_get_basic(&v, &id);
                seen_.desktopId = id;
            } else if (std::strcmp(name, "RequestedAccuracyLevel") == 0 &&
                       dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_UINT32) {
                dbus_uint32_t level = 0;
                dbus_message_iter_get_basic(&v, &level);
                seen_.accuracy = level;
            }
            reply = dbus_message_new_method_return(m);
        } else if (dbus_message_is_method_call(m, "org.freedesktop.GeoClue2.Client", "Start")) {
            if (setup_.refuseStart || seen_.desktopId.empty()) {
                reply = dbus_message_new_error(m, DBUS_ERROR_ACCESS_DENIED, "'DesktopId' property must be set");
            } else {
                seen_.started = true;
                startedAt_ = std::chrono::steady_clock::now();
                reply = dbus_message_new_method_return(m);
                if (impostor_) announce(impostor_, dbus_message_get_sender(m), "/org/freedesktop/GeoClue2/Location/9");
            }
        } else if (dbus_message_is_method_call(m, "org.freedesktop.GeoClue2.Client", "Stop")) {
            seen_.stopped = true;
            reply = dbus_message_new_method_return(m);
        } else if (dbus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Get") && setup_.coordinates &&
                   setup_.location == dbus_message_get_path(m) &&
                   dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name,
                                         DBUS_TYPE_INVALID) &&
                   (std::strcmp(name, "Latitude") == 0 || std::strcmp(name, "Longitude") == 0)) {
            reply = dbus_message_new_method_return(m);
            const double d = name[1] == 'a' ? setup_.latitude : setup_.longitude;
            DBusMessageIter it, v;
            dbus_message_iter_init_append(reply, &it);
            dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "d", &v);
            dbus_message_iter_append_basic(&v, DBUS_TYPE_DOUBLE, &d);
            dbus_message_iter_close_container(&it, &v);
        } else {
            reply = dbus_message_new_error(m, DBUS_ERROR_UNKNOWN_METHOD, "not here");
        }
        if (!dbus_message_get_no_reply(m)) dbus_connection_send(conn_, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    Setup setup_;
    DBusConnection* conn_ = nullptr;
    DBusConnection* impostor_ = nullptr;
    bool ready_ = false;
    std::atomic<bool> running_{true};
    std::thread thread_;
    std::mutex mutex_;
    Seen seen_;
    bool announced_ = false;
    std::chrono::steady_clock::time_point startedAt_{};
};

// The system bus of a test: a private bus, with the stand-in on it while
// `serve` holds.
class TestSystemBus {
public:
    bool ok() const { return bus_.ok(); }
    FakeGeoClue& serve(FakeGeoClue::Setup setup) {
        service_.reset();  // the name is free again
        return service_.emplace(std::move(setup));
    }

private:
    PrivateBus bus_{"DBUS_SYSTEM_BUS_ADDRESS"};
    std::optional<FakeGeoClue> service_;
};

}  // namespace nbr::test
