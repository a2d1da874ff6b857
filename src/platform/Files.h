// Whole-file reads, crash-safe file replacement and the owner-only modes of
// the data folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nbr::platform {

// Writes a new version of a file through `path` + ".tmp": the text goes into
// the temporary file piece by piece, and only commit() (every write checked,
// synced, one rename over `path`) makes it visible, so readers see either the
// old file or the whole new one. Destroyed without a successful commit, it
// removes the temporary file and leaves the old one untouched.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(const std::string& path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // False when the temporary file could not be created or a write failed.
    bool ok() const { return ok_; }
    // The errno of the first step that failed (0 while none has).
    int error() const { return error_; }
    bool write(std::string_view text);
    // Syncs, renames and syncs the folder; false (old file untouched) when the
// new file could not be synced or renamed.
    bool commit();

private:
    std::string path_;
    std::string tmp_;
    int fd_ = -1;
    bool ok_ = false;
    int error_ = 0;
};

// The whole file as bytes, or nothing when it cannot be opened or read; then
// `error` (when given) holds the errno of the step that failed, so a caller
// can tell a file that is not there (ENOENT) from one it may not read.
std::optional<std::string> readFile(const std::string& path, int* error = nullptr);

// Creates `path` holding `content`, never over a file of that name, with mode
// kPrivateFileMode: every write checked, the file and its folder synced, so
// it is on disk before anything may replace the file it copies. False (errno
// set, nothing left behind) when a step fails.
bool createFileSynced(const std::string& path, std::string_view content);

// Writes `content` to `path` + ".tmp", checks every write, syncs it to disk and
// renames it over `path` in one step, so readers see either the old file or
// the whole new one. On failure the old file is untouched, the temporary file
// is removed and false is returned.
bool writeFileAtomic(const std::string& path, std::string_view content);

// Appends `content` (whole text lines) to `path`, creating the file when
// absent. When the file does not end with a newline (a line torn by an
// earlier crash), a newline is written first so the new lines stay whole.
// Every write is checked and the file synced (and the folder, when the file
// was created); false on any failure.
bool appendLinesSynced(const std::string& path, std::string_view content);

// Syncs the folder that holds `path`, so that a rename into it or a file just
// created in it survives a power cut. False when it cannot be opened or synced.
bool syncParentDir(const std::string& path);

// The data folder holds saved home coordinates, so nothing in it is readable
// by other users: folders are created 0700 and files 0600, whatever the
// process's umask. Every file this layer creates uses kPrivateFileMode.
inline constexpr unsigned kPrivateDirMode = 0700;
inline constexpr unsigned kPrivateFileMode = 0600;

// Creates `path` and its missing parents, each new folder with mode 0700;
// folders that exist keep their mode. True when `path` is a folder after.
bool createPrivateDirectories(const std::string& path);

// Creates the file with mode 0600, holding `initial`, when `path` does not
// exist yet, so a library that writes it later with fopen keeps that mode.
// An existing file is left as it is. True when the file exists afterwards.
bool ensurePrivateFile(const std::string& path, std::string_view initial = {});

// Takes every permission of group and others (and a file's execute bits)
// from `dir` and everything below it: folders end at most 0700, files at
// most 0600. Symbolic links are neither followed nor changed. Returns how
// many entries were narrowed.
int narrowToOwner(const std::string& dir);

}  // namespace nbr::platform
