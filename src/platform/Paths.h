// Where the program keeps its per-user files.
#pragma once

#include <string>

namespace nbr::platform {

// $APPDATA/Nimbrel when APPDATA is set and not empty, else
// $XDG_DATA_HOME/Nimbrel, else $HOME/.local/share/Nimbrel, else "./".
// Computed anew on each call; creates nothing.
std::string dataDir();

// The folder of the program's read-only files, ending in "/": "resources/"
// beside the executable (a build folder), else the installed share/nimbrel
// reached from the executable's folder; the first when neither exists.
std::string resourceDir();

}  // namespace nbr::platform
