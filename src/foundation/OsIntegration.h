// Small operating-system helpers for the settings window and links: start at
// log-in on or off, and opening a folder or a web address with the user's
// default program. Stateless; called on the first thread.
#pragma once

#include <string>

namespace nbr::os {

// Full path of the running executable; empty when it cannot be read.
std::string exePath();

// True when the program's autostart entry exists and is a desktop entry that
// is not hidden. The program path inside is not compared with this one.
bool autostartEnabled();

// Writes the autostart entry starting this executable (enable) or deletes it.
// True on success; deleting an entry that does not exist counts as success.
// Enabling fails when the program's own path cannot be read.
bool setAutostart(bool enable);

// Opens a folder in the user's file manager (xdg-open); failures are ignored.
void openFolder(const std::string& path);

// Opens an http or https address in the user's browser (xdg-open). Any other
// scheme, and text with control characters, is refused and only logged.
void openUrl(const std::string& url);

namespace detail {
// The desktop entry text that starts `exe`, or an empty string when the path
// cannot be written into one (empty, or holding a control character).
std::string autostartEntry(const std::string& exe);
// setAutostart with the executable path given.
bool setAutostartFor(bool enable, const std::string& exe);
// Whether openUrl accepts `url`.
bool isWebUrl(const std::string& url);
}  // namespace detail

}  // namespace nbr::os
