// The notification-area item's menu as a com.canonical.dbusmenu object: a
// root (id 0) holding the items of one flat menu (platform only).
#pragma once

#include "platform/SessionBus.h"

#include <dbus/dbus.h>

#include <functional>
#include <vector>

namespace nbr::platform {

// Answers one call to the menu object (the menu's methods, its properties
// and its introspection); `clicked` gets the id of a clicked item.
DBusHandlerResult answerMenuCall(DBusConnection* conn, DBusMessage* msg, const std::vector<MenuItem>& menu,
                                 const std::function<void(int id)>& clicked);

}  // namespace nbr::platform
