// The desktop's session bus: the notification-area item (StatusNotifierItem
// with a small menu) and desktop notices (org.freedesktop.Notifications).
// Everything runs on the calling thread without waiting for replies, except
// the connection itself, which waits a few seconds at most; pump() handles
// what has arrived.
#pragma once

#include "platform/Image.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nbr::platform {

struct MenuItem {
    int id = 0;
    std::string label;
    bool separator = false;
};

class SessionBus {
public:
    struct Handlers {
        std::function<void()> activate;         // the item was activated (a click)
        std::function<void(int id)> menuItem;   // a menu item was clicked
        std::function<void()> hostChanged;      // a host appeared or went away
        std::function<void()> noticeClicked;    // the user clicked one of our notices
    };

    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Connects to the bus named by DBUS_SESSION_BUS_ADDRESS and publishes the
    // item; false, doing nothing, when there is no such bus (one is never
    // started) or it cannot be reached or does not let us in within a few
    // seconds.
    bool start(const std::string& title, const std::vector<MenuItem>& menu, Handlers handlers);
    void stop();
    bool connected() const;
    // Why the last start found no bus although one was named; empty when
    // none was named.
    const std::string& failure() const;
    // Calls sent whose state the bus library still keeps: at most 64, none
    // older than two seconds once pump() has run (a call given up is freed).
    size_t callsAwaited() const;

    // Whether a watcher says that a host shows items now.
    bool hostVisible() const;

    void setIcon(const RgbaImage& image);
    void setToolTip(const std::string& title, const std::string& text);
    // A desktop notice; the text is escaped for the server's markup. A click
    // on it reaches Handlers::noticeClicked.
    void notify(const std::string& summary, const std::string& body);

    // Handles every message that has arrived; never waits.
    void pump();
    // Waits at most `maxMs` for the watcher's first answer about hosts (for
    // start-up decisions that depend on it).
    void settle(int maxMs);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// `text` with the notification markup's special characters escaped and
// invalid UTF-8 replaced.
std::string escapeNoticeMarkup(const std::string& text);

}  // namespace nbr::platform
