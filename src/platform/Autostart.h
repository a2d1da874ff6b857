// Where the desktop looks for programs to start at log-in.
#pragma once

#include <string>

namespace nbr::platform {

// The program's XDG autostart entry: $XDG_CONFIG_HOME/autostart/nimbrel.desktop
// when XDG_CONFIG_HOME is an absolute path, else
// $HOME/.config/autostart/nimbrel.desktop; empty when neither is known.
std::string autostartFilePath();

}  // namespace nbr::platform
