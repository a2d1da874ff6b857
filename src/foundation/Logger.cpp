#include "foundation/Logger.h"

#include "platform/Files.h"

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
std::mutex g_mutex;

void write(const char* level, const char* fmt, va_list args) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_dir.empty()) return;
    namespace fs = std::filesystem;
    const std::string path = g_dir + "/app.log";
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kRotateAbove) {
        const std::string old = g_dir + "/app.log.1";
        fs::remove(old, ec);
        fs::rename(path, old, ec);
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, platform::kPrivateFileMode);
    if (fd < 0) return;
    std::FILE* f = ::fdopen(fd, "a");
    if (!f) {
        ::close(fd);
        return;
    }
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(f, "%s [%s] ", stamp, level);
    std::vfprintf(f, fmt, args);
    std::fputc('\n', f);
    std::fclose(f);
}

}  // namespace

void init(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (platform::createPrivateDirectories(dir)) g_dir = dir;
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
