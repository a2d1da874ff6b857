// Connecting to a bus and calling over it within a time bound (platform
// only). The library's own helpers wait without limit while authenticating
// and 25 s for a reply, so a bus or service that accepts and then never
// answers would hold the caller for that long.
#pragma once

#include <dbus/dbus.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace nbr::platform::wire {

using Clock = std::chrono::steady_clock;

// A bus that has not let us in (authenticated and answered Hello) within
// this is taken for one that hangs: a healthy one takes milliseconds.
constexpr std::chrono::milliseconds kConnectWithin{2500};

// The moment past which nothing more is waited for, and a flag (may be null)
// that ends every wait at once when set.
struct Bound {
    Clock::time_point deadline;
    const std::atomic<bool>* stop = nullptr;

    bool stopped() const { return stop && stop->load(); }
    // How long the next single wait may last (at most 50 ms, so the flag is
    // seen promptly); 0 once the deadline has passed or the flag is set.
    int sliceMs() const;
};

// The address a bus found hung at start-up is given for the rest of the
// process: every connection to it fails at once.
constexpr const char* kNoBus = "disabled:";
// DBUS_SYSTEM_BUS_ADDRESS when set, else where the system bus listens.
const char* systemBusAddress();

// A private connection to the bus at `address`, authenticated and registered
// (Hello) within `bound`; it never ends the process when the bus goes away.
// Null with `err` set when the bus cannot be reached, refuses us or does not
// answer in time (DBUS_ERROR_TIMEOUT).
DBusConnection* openBus(const char* address, const Bound& bound, DBusError* err);
// Closes and releases a connection from openBus; nothing waits.
void closeBus(DBusConnection* conn);

// Sends `call` (kept by the caller) and waits within `bound` for its answer;
// any other message that arrives meanwhile is dropped. The method return, or
// null with `err` set: the error reply, DBUS_ERROR_NO_REPLY when the bound
// passes first, DBUS_ERROR_DISCONNECTED when the bus goes away.
DBusMessage* callWithin(DBusConnection* conn, DBusMessage* call, const Bound& bound, DBusError* err);

// "name: message" of a set error; empty when none is set.
std::string errorText(const DBusError* err);

// Writes what the socket takes now and reads what has arrived, without
// waiting (dbus_connection_flush would wait until everything is written).
inline void sendNow(DBusConnection* conn) { dbus_connection_read_write(conn, 0); }

}  // namespace nbr::platform::wire

namespace nbr::platform {

struct SilentBus {
    const char* name;  // "session" or "system"
    std::string why;
};

// Before any library connects to them: tries the session bus (only when
// DBUS_SESSION_BUS_ADDRESS names one) and the system bus, both at once. One
// that lets us connect but not in within a few seconds is hidden for the rest
// of the process (its variable is set to an address that fails at once), so
// that nothing here waits on it, the windowing library included; those are
// returned. Programs started later still get the address this process was
// given. Call it while no other thread runs.
std::vector<SilentBus> hideSilentBuses();

}  // namespace nbr::platform
