#include "foundation/Logger.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace nbr::Log {

namespace {

constexpr std::uintmax_t kRotateAbove = 524288;

std::string g_dir;
bool g_toStderr = false;  // init failed with no folder to keep: lines go to standard error
std::mutex g_mutex;

bool appendTo(const std::string& path, const std::string& line) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, platform::kPrivateFileMode);
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < line.size();) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n > 0) done += static_cast<size_t>(n);
        else ok = n < 0 && errno == EINTR;
    }
    return ::close(fd) == 0 && ok;
}

void write(const char* level, const char* fmt, va_list args) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = std::string(stamp) + " [" + level + "] ";
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (length > 0) {
        const size_t head = line.size(), n = static_cast<size_t>(length);
        line.resize(head + n + 1);
        std::vsnprintf(line.data() + head, n + 1, fmt, args);
        line.resize(head + n);
    }
    line += '\n';

    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_dir.empty()) {
        if (g_toStderr) std::fputs(line.c_str(), stderr);
        return;
    }
    namespace fs = std::filesystem;
    const std::string path = g_dir + "/app.log";
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kRotateAbove) {
        const std::string old = g_dir + "/app.log.1";
        fs::remove(old, ec);
        fs::rename(path, old, ec);
    }
    // A line the file does not take is not lost without a trace.
    if (!appendTo(path, line)) std::fputs(line.c_str(), stderr);
}

}  // namespace

void init(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (platform::createPrivateDirectories(dir)) g_dir = dir;
    g_toStderr = g_dir.empty();
}

const std::string& dir() { return g_dir; }

#define NBR_LOG_LEVEL(fn, word)          \
    void fn(const char* fmt, ...) {      \
        va_list args;                    \
        va_start(args, fmt);             \
        write(word, fmt, args);          \
        va_end(args);                    \
    }
NBR_LOG_LEVEL(info, "info")
NBR_LOG_LEVEL(warn, "warn")
NBR_LOG_LEVEL(error, "error")
#undef NBR_LOG_LEVEL

}  // namespace nbr::Log
