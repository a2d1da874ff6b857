// Starting the real program under a private virtual X display: the display
// server, child processes with a chosen environment, log polling and
// screenshots.
#pragma once

#include "TestEnv.h"

#include <stb_image_write.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace nbr::test {

// Starts `argv` with the current environment changed by `env` (an empty value
// removes the variable); stdout and stderr go to `outPath` when given, and
// `fd3` (when not -1) becomes the child's descriptor 3. The child is killed
// when the test process ends, also when that is killed outright, so no
// display server or bus outlives a test. A program that cannot be run ends
// at once with exit code 127.
inline pid_t spawnWith(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                       const std::string& outPath = "", int fd3 = -1) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        const std::string key = kv.substr(0, kv.find('='));
        if (!env.count(key)) envStrings.push_back(kv);
    }
    for (const auto& [k, v] : env)
        if (!v.empty()) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (auto& s : argCopy) args.push_back(s.data());
    args.push_back(nullptr);

    const std::string out = outPath.empty() ? "/dev/null" : outPath;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The child: only async-signal-safe calls until the program runs. The
    // parent may have died before the death signal was asked for.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
    if (fd3 >= 0 && (fd3 == 3 ? fcntl(3, F_SETFD, 0) : dup2(fd3, 3)) < 0) _exit(127);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (outFd < 0 || dup2(outFd, 1) < 0 || dup2(outFd, 2) < 0) _exit(127);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
}

// The exit code of `pid` once it ends within `limit`; -1 (and the process
// killed) when it does not, -2 when it ended by a signal.
inline int waitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int st = 0;
    while (std::chrono::steady_clock::now() < end) {
        const pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : -2;
        if (r < 0) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    return -1;
}

// A started program that ends with the object, on every path out of a test:
// SIGTERM (with SIGCONT, for one that was stopped), SIGKILL after a grace
// of two seconds, then reaped. One already reaped (waitExit) is left alone.
class Child {
public:
    explicit Child(pid_t pid = -1) : pid_(pid) {}
    Child(Child&& o) noexcept : pid_(std::exchange(o.pid_, -1)) {}
    Child& operator=(Child&& o) noexcept {
        end();
        pid_ = std::exchange(o.pid_, -1);
        return *this;
    }
    ~Child() { end(); }
    operator pid_t() const { return pid_; }
    void end() {
        if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0) {  // ours, and not ended yet
            kill(pid_, SIGTERM);
            kill(pid_, SIGCONT);
            waitExit(pid_, std::chrono::seconds(2));
        }
        pid_ = -1;
    }

private:
    pid_t pid_;
};

// Polls a file until it holds `text` (true) or `limit` passes (false).
inline bool waitForText(const std::string& path, const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (readFile(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

inline size_t countOf(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

// A private Xvfb display for the test's lifetime. The server picks a free
// display number itself and reports it, so parallel tests never share one.
class VirtualDisplay {
public:
    explicit VirtualDisplay(const char* screen = "1280x800x24") {
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t pid =
            spawnWith({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"}, {}, "", fds[1]);
        close(fds[1]);
        if (pid < 0) {
            close(fds[0]);
            return;
        }
        // The number arrives as a line once the server accepts connections.
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        server_ = Child(pid);
        if (!number.empty()) name_ = ":" + number;
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }

private:
    Child server_;
    std::string name_;
};

// Makes SDL in this process open its windows on `display`, through X11 and
// with software OpenGL.
inline void useForSdl(const VirtualDisplay& display) {
    setenv("DISPLAY", display.name().c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    unsetenv("WAYLAND_DISPLAY");
}

// An RGB screenshot of the whole display.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

// Reads the root window with xwd (24-bit colour in 32-bit or packed 24-bit
// pixels, as Xvfb serves it); an empty screenshot when that fails.
inline Screenshot captureDisplay(const std::string& display, const std::string& xwdPath) {
    Screenshot shot;
    const pid_t pid = spawnWith({"xwd", "-root", "-silent", "-display", display, "-out", xwdPath}, {});
    if (pid < 0 || waitExit(pid, std::chrono::seconds(20)) != 0) return shot;
    const std::string d = readFile(xwdPath);
    if (d.size() < 100) return shot;
    auto be32 = [&](size_t i) {
        return (std::uint32_t(std::uint8_t(d[i])) << 24) | (std::uint32_t(std::uint8_t(d[i + 1])) << 16) |
               (std::uint32_t(std::uint8_t(d[i + 2])) << 8) | std::uint32_t(std::uint8_t(d[i + 3]));
    };
    const std::uint32_t headerSize = be32(0), format = be32(8), width = be32(16), height = be32(20),
                        byteOrder = be32(28), bitsPerPixel = be32(44), bytesPerLine = be32(48),
                        redMask = be32(56), ncolors = be32(76);
    // Pixels are 4 bytes, or 3 packed bytes when a window with an OpenGL
    // visual is mapped (the lines stay padded to 4 bytes a pixel then).
    const std::uint32_t bytesPerPixel = bitsPerPixel / 8;
    if (format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || redMask != 0xFF0000 || width == 0 ||
        bytesPerLine < width * bytesPerPixel)
        return shot;
    const size_t data = size_t(headerSize) + size_t(ncolors) * 12;
    if (d.size() < data + size_t(bytesPerLine) * height) return shot;
    shot.width = static_cast<int>(width);
    shot.height = static_cast<int>(height);
    shot.rgb.resize(size_t(width) * height * 3);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(d.data() + data + size_t(y) * bytesPerLine +
                                                                  size_t(x) * bytesPerPixel);
            std::uint32_t v = 0;
            if (bytesPerPixel == 4)
                v = byteOrder == 0 ? (p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24)
                                   : (std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
            else
                v = byteOrder == 0 ? (p[0] | p[1] << 8 | p[2] << 16) : (std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
            std::uint8_t* o = &shot.rgb[(size_t(y) * width + x) * 3];
            o[0] = (v >> 16) & 0xFF;
            o[1] = (v >> 8) & 0xFF;
            o[2] = v & 0xFF;
        }
    return shot;
}

// A rectangle of a screenshot, in pixels.
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

#ifdef NIMBREL_ARTIFACT_DIR
// Keeps a screenshot for review as <artifacts>/<name>.png; its path.
inline std::string savePng(const Screenshot& s, const std::string& name) {
    std::filesystem::create_directories(NIMBREL_ARTIFACT_DIR);
    const std::string path = std::string(NIMBREL_ARTIFACT_DIR) + "/" + name + ".png";
    stbi_write_png(path.c_str(), s.width, s.height, 3, s.rgb.data(), s.width * 3);
    return path;
}
#endif

// Pixels of `r` close to the colour (0..1 per channel): text drawn in it.
inline size_t inked(const Screenshot& s, Rect r, float red, float green, float blue) {
    const int cr = int(red * 255 + 0.5f), cg = int(green * 255 + 0.5f), cb = int(blue * 255 + 0.5f);
    size_t n = 0;
    for (int y = std::max(0, r.y); y < std::min(s.height, r.y + r.h); ++y)
        for (int x = std::max(0, r.x); x < std::min(s.width, r.x + r.w); ++x) {
            const size_t i = (size_t(y) * s.width + x) * 3;
            if (std::abs(s.rgb[i] - cr) + std::abs(s.rgb[i + 1] - cg) + std::abs(s.rgb[i + 2] - cb) < 40) ++n;
        }
    return n;
}

}  // namespace nbr::test
