// A call to the tray menu as it arrives from the bus: whatever the message
// holds, the menu answers without crashing and only ever clicks one of its
// own entries.
#include "platform/DbusMenu.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<nbr::platform::MenuItem> menu = {
        {1001, "Show Nimbrel"}, {1002, "Refresh Now"}, {2000, "", true}, {1003, "Quit"}};
    static const std::function<void(int)> clicked = [](int id) {
        if (id != 1001 && id != 1002 && id != 1003) std::abort();
    };
    DBusError err;
    dbus_error_init(&err);
    DBusMessage* msg = dbus_message_demarshal(reinterpret_cast<const char*>(data), static_cast<int>(size), &err);
    dbus_error_free(&err);
    if (!msg) return 0;
    // No connection: the answers are built and dropped.
    nbr::platform::answerMenuCall(nullptr, msg, menu, clicked);
    dbus_message_unref(msg);
    return 0;
}
