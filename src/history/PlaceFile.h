// File names of the per-place stores (history log, daily archive).
#pragma once

#include <string>

namespace nbr {

// `dir` + "/" + the place key with every byte other than A-Z, a-z, 0-9, "-"
// and "." replaced by "_" (each byte of a multi-byte character too), +
// ".jsonl". Keys that differ only in replaced bytes share a file.
inline std::string placeFilePath(const std::string& dir, const std::string& key) {
    std::string name = key;
    for (char& c : name) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.';
        if (!keep) c = '_';
    }
    return dir + "/" + name + ".jsonl";
}

// What became of a place's file when its key changed.
enum class PlaceFileMove {
    Nothing,       // no file under the old key, or both keys name the same file
    Moved,         // renamed to the new key's name
    Copied,        // copied, the old file kept for a place still using the old key
    KeptExisting,  // the new key has a file already: both files left as they are
    Failed,        // the file system refused; the old file is where it was
};

// Moves (copies when `keepOld`) the file of `oldKey` in `dir` to the name of
// `newKey`, never over an existing file.
PlaceFileMove movePlaceFile(const std::string& dir, const std::string& oldKey, const std::string& newKey,
                            bool keepOld);

}  // namespace nbr
