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

}  // namespace nbr
