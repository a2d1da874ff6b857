// Where the program keeps its per-user files.
#pragma once

#include <string>

namespace nbr::platform {

// $APPDATA/Nimbrel when APPDATA is set and not empty, else
// $XDG_DATA_HOME/Nimbrel, else $HOME/.local/share/Nimbrel, else "./".
// Computed anew on each call; creates nothing.
std::string dataDir();

}  // namespace nbr::platform
