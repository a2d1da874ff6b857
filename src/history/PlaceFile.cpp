// Moving a place's stored file when the place's key changes.
#include "history/PlaceFile.h"

#include "platform/Files.h"

#include <filesystem>
#include <system_error>

namespace nbr {

PlaceFileMove movePlaceFile(const std::string& dir, const std::string& oldKey, const std::string& newKey,
                            bool keepOld) {
    namespace fs = std::filesystem;
    const std::string from = placeFilePath(dir, oldKey), to = placeFilePath(dir, newKey);
    std::error_code ec;
    if (from == to || !fs::exists(from, ec)) return PlaceFileMove::Nothing;
    const bool taken = fs::exists(to, ec);
    if (ec) return PlaceFileMove::Failed;
    if (taken) return PlaceFileMove::KeptExisting;
    if (keepOld) {
        // Written whole or not at all, owner-only like every file there.
        const std::optional<std::string> text = platform::readFile(from);
        return text && platform::writeFileAtomic(to, *text) ? PlaceFileMove::Copied : PlaceFileMove::Failed;
    }
    fs::rename(from, to, ec);
    if (ec) return PlaceFileMove::Failed;
    platform::syncParentDir(to);
    return PlaceFileMove::Moved;
}

}  // namespace nbr
