#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <limits.h>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nbr::platform {

std::string exePath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return {};
    return std::string(buf, static_cast<size_t>(n));
}

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Resolves a program name the way a shell would, without a shell.
std::string resolveProgram(const std::string& program) {
    if (program.empty()) return {};
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string dirs = (path && *path) ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(".");
        candidate += '/';
        candidate.append(program);
        if (isExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

// The variables this process changed for itself: the value it was given
// (none when unset) and the one it set.
struct OwnValue {
    std::string name;
    std::optional<std::string> given;
    std::string own;
};
std::mutex g_ownMutex;
std::vector<OwnValue> g_own;

// This process's environment with the variables it changed for itself given
// back their former values, as "NAME=value" strings.
std::vector<std::string> givenEnvironment() {
    std::lock_guard<std::mutex> lock(g_ownMutex);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        const size_t eq = entry.find('=');
        const auto own = std::find_if(g_own.begin(), g_own.end(), [&](const OwnValue& v) {
            return eq != std::string_view::npos && entry.substr(0, eq) == v.name && entry.substr(eq + 1) == v.own;
        });
        if (own == g_own.end()) env.emplace_back(entry);
        else if (own->given) env.push_back(own->name + "=" + *own->given);
    }
    return env;
}

bool writeAll(int fd, const void* data, size_t len) {
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        ssize_t n = ::write(fd, p, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void setOwnEnvironment(const char* name, const std::string& value) {
    std::lock_guard<std::mutex> lock(g_ownMutex);
    const char* now = std::getenv(name);
    auto it = std::find_if(g_own.begin(), g_own.end(), [&](const OwnValue& v) { return v.name == name; });
    // What the variable holds is what the process was given, unless it is
    // the value set here before.
    const bool mine = it != g_own.end() && now && it->own == now;
    if (it == g_own.end()) it = g_own.insert(g_own.end(), {name, std::nullopt, ""});
    if (!mine) it->given = now ? std::optional<std::string>(now) : std::nullopt;
    it->own = value;
    ::setenv(name, value.c_str(), 1);
}

bool spawnDetached(const std::string& program, const std::vector<std::string>& args) {
    const std::string file = resolveProgram(program);
    if (file.empty()) return false;

    // Everything the children need is prepared here: after fork only
    // async-signal-safe calls are allowed in a threaded program.
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env = givenEnvironment();
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (close-on-exec), which the parent reads as end of file.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;

    const pid_t mid = ::fork();
    if (mid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (mid == 0) {
        ::close(fds[0]);
        ::setsid();
        const pid_t pid = ::fork();
        if (pid != 0) ::_exit(pid < 0 ? 1 : 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0 && devnull != STDIN_FILENO) {
            ::dup2(devnull, STDIN_FILENO);
            ::close(devnull);
        }
        ::execve(file.c_str(), argv.data(), envp.data());
        int err = errno;
        writeAll(fds[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(mid, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    do {
        n = ::read(fds[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    const bool midOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return midOk && n == 0;
}

}  // namespace nbr::platform
