// Crash-safe file replacement.
#pragma once

#include <string>
#include <string_view>

namespace nbr::platform {

// Writes `content` to `path` + ".tmp", checks every write, syncs it to disk and
// renames it over `path` in one step, so readers see either the old file or
// the whole new one. On failure the old file is untouched, the temporary file
// is removed and false is returned.
bool writeFileAtomic(const std::string& path, std::string_view content);

// Appends `content` (whole text lines) to `path`, creating the file when
// absent. When the file does not end with a newline (a line torn by an
// earlier crash), a newline is written first so the new lines stay whole.
// Every write is checked and the file synced; false on any failure.
bool appendLinesSynced(const std::string& path, std::string_view content);

}  // namespace nbr::platform
