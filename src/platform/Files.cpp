#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace nbr::platform {

namespace {

bool writeAll(int fd, const char* p, size_t left) {
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& path) : path_(path), tmp_(path + ".tmp") {
    fd_ = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
    ok_ = fd_ >= 0;
    if (!ok_) error_ = errno;
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(tmp_.c_str());
    }
}

bool AtomicFileWriter::write(std::string_view text) {
    if (ok_ && !writeAll(fd_, text.data(), text.size())) {
        ok_ = false;
        error_ = errno;
    }
    return ok_;
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0) return false;
    const auto failed = [this] {
        if (error_ == 0) error_ = errno;
        return false;
    };
    bool ok = ok_ && (::fsync(fd_) == 0 || failed());
    if (::close(fd_) != 0) ok = failed();
    fd_ = -1;
    if (ok && std::rename(tmp_.c_str(), path_.c_str()) != 0) ok = failed();
    if (!ok) ::unlink(tmp_.c_str());
    // The new contents are in place either way; the folder sync only makes
    // the rename itself durable.
    else syncParentDir(path_);
    ok_ = false;  // the writer is spent
    return ok;
}

bool writeFileAtomic(const std::string& path, std::string_view content) {
    AtomicFileWriter out(path);
    out.write(content);
    return out.commit();
}

bool appendLinesSynced(const std::string& path, std::string_view content) {
    bool created = false;
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
        created = fd >= 0;
        // Created meanwhile by someone else: append to theirs.
        if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0) return false;
    bool ok = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ok = false;
    } else if (st.st_size > 0) {
        char last = '\n';
        ssize_t n;
        do n = ::pread(fd, &last, 1, st.st_size - 1);
        while (n < 0 && errno == EINTR);
        if (n != 1) ok = false;
        else if (last != '\n') ok = writeAll(fd, "\n", 1);
    }
    if (ok) ok = writeAll(fd, content.data(), content.size());
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && created && !syncParentDir(path)) ok = false;
    return ok;
}

bool syncParentDir(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int rc;
    do rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    ::close(fd);
    return rc == 0;
}

std::optional<std::string> readFile(const std::string& path, int* error) {
    const auto failed = [error]() -> std::optional<std::string> {
        if (error) *error = errno;
        return std::nullopt;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failed();
    std::string text;
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return failed();
        }
    }
    ::close(fd);
    return text;
}

bool createFileSynced(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) return false;
    bool ok = writeAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && syncParentDir(path);
    if (!ok) {
        const int e = errno;
        ::unlink(path.c_str());
        errno = e;
    }
    return ok;
}

bool createPrivateDirectories(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path built;
    for (const fs::path& part : fs::path(path)) {
        built /= part;
        if (part.empty() || part == "/" || part == "." || part == "..") continue;
        // An existing folder gives EEXIST and keeps its mode.
        ::mkdir(built.c_str(), kPrivateDirMode);
    }
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool ensurePrivateFile(const std::string& path, std::string_view initial) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) {
        struct stat st {};
        return errno == EEXIST && ::stat(path.c_str(), &st) == 0;
    }
    const bool ok = writeAll(fd, initial.data(), initial.size());
    return ::close(fd) == 0 && ok;
}

int narrowToOwner(const std::string& dir) {
    namespace fs = std::filesystem;
    int narrowed = 0;
    const auto narrow = [&](const fs::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) return;
        mode_t allowed;
        if (S_ISDIR(st.st_mode)) allowed = kPrivateDirMode;
        else if (S_ISREG(st.st_mode)) allowed = kPrivateFileMode;
        else return;  // links, sockets and the like keep theirs
        const mode_t mode = st.st_mode & 07777;
        if ((mode & ~allowed) == 0) return;
        if (::chmod(p.c_str(), mode & allowed) == 0) ++narrowed;
    };
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(dir, ec))) return 0;
    narrow(dir);
    for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        narrow(it->path());
    return narrowed;
}

}  // namespace nbr::platform
