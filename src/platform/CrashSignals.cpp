// Everything reachable from the handlers below is async-signal-safe: no
// allocation, no locks, no stdio; text is built in fixed buffers and written
// with write(2). Values that need unsafe calls (the executable's path and load
// address, the UTC offset) are computed once at installation.
#include "platform/CrashSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace nbr::platform {

namespace {

constexpr const char* kTerminateCause = "std::terminate (unhandled C++ exception)";
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kStampLen = 15;  // YYYYmmdd-HHMMSS
constexpr size_t kMaxFrames = 64;

char g_dir[PATH_MAX];
char g_exe[PATH_MAX];
uintptr_t g_base = 0;
long g_utcOffset = 0;  // seconds east of UTC at installation
char g_stamp[32];
std::atomic<long> g_writer{0};  // thread id of the thread writing a report
alignas(16) char g_altStack[64 * 1024];

// ---- formatting into fixed buffers ----

class Out {
public:
    explicit Out(int fd) : fd_(fd) {}
    ~Out() { flush(); }
    Out& str(const char* s) {
        while (*s) put(*s++);
        return *this;
    }
    Out& dec(long long v) {
        char tmp[24];
        int n = 0;
        unsigned long long u = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        do {
            tmp[n++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        if (v < 0) put('-');
        while (n) put(tmp[--n]);
        return *this;
    }
    Out& hex(uintptr_t v) {
        static const char digits[] = "0123456789abcdef";
        str("0x");
        for (int shift = static_cast<int>(sizeof v * 8) - 4; shift >= 0; shift -= 4)
            put(digits[(v >> shift) & 0xF]);
        return *this;
    }
    void flush() {
        size_t off = 0;
        while (off < len_) {
            ssize_t n = ::write(fd_, buf_ + off, len_ - off);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            off += static_cast<size_t>(n);
        }
        len_ = 0;
    }

private:
    void put(char c) {
        if (len_ == sizeof buf_) flush();
        buf_[len_++] = c;
    }
    int fd_;
    char buf_[512];
    size_t len_ = 0;
};

void appendTwo(char*& p, int v) {
    *p++ = static_cast<char>('0' + v / 10 % 10);
    *p++ = static_cast<char>('0' + v % 10);
}

// Local time without localtime_r (which takes a lock): the current time moved
// by the offset found at installation, split into a civil date.
const char* stampNow() {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    long long t = static_cast<long long>(ts.tv_sec) + g_utcOffset;
    long long days = t / 86400;
    long long secs = t % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    // Days since 1970-01-01 to a proleptic Gregorian date.
    long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    if (m <= 2) ++y;
    char* p = g_stamp;
    const int year = static_cast<int>(y);
    appendTwo(p, year / 100);
    appendTwo(p, year % 100);
    appendTwo(p, m);
    appendTwo(p, d);
    *p++ = '-';
    appendTwo(p, static_cast<int>(secs / 3600));
    appendTwo(p, static_cast<int>(secs / 60 % 60));
    appendTwo(p, static_cast<int>(secs % 60));
    *p = '\0';
    return g_stamp;
}

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV";
        case SIGBUS: return "SIGBUS";
        case SIGFPE: return "SIGFPE";
        case SIGILL: return "SIGILL";
        case SIGABRT: return "SIGABRT";
        default: return "signal";
    }
}

void copyFile(const char* path, int outFd) {
    int in = ::open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) return;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        ssize_t off = 0;
        while (off < n) {
            ssize_t w = ::write(outFd, buf + off, static_cast<size_t>(n - off));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) break;
            off += w;
        }
    }
    ::close(in);
}

// sig is 0 on the terminate path (no signal information).
void writeTextReport(const char* cause, int sig, const siginfo_t* info, const char* stamp) {
    char path[PATH_MAX];
    char* p = path;
    auto append = [&](const char* s) {
        while (*s && p < path + sizeof path - 1) *p++ = *s++;
    };
    append(g_dir);
    append("/crash-");
    append(stamp);
    append(".txt");
    *p = '\0';
    // Owner only, like every file in the data folder.
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    {
        Out out(fd);
        out.str("Nimbrel crash report (").str(stamp).str(")\n");
        out.str("cause: ").str(cause).str("\n");
        if (sig != 0) {
            out.str("signal: ").dec(sig).str(" (").str(signalName(sig)).str(")");
            if (info) {
                out.str(", code ").dec(info->si_code);
                // Only a fault raised by the kernel (code above 0) has an address;
                // a signal sent by kill or raise carries the sender instead.
                if (info->si_code > 0) out.str(", address ").hex(reinterpret_cast<uintptr_t>(info->si_addr));
            }
            out.str("\n");
        }
        out.str("exe: ").str(g_exe).str("\nbase: ").hex(g_base).str("\n");
        out.str("pid: ").dec(::getpid()).str(", thread: ").dec(::syscall(SYS_gettid)).str("\n");
        out.str("\nbacktrace:\n");
    }
    void* frames[kMaxFrames];
    const int n = ::backtrace(frames, static_cast<int>(kMaxFrames));
    ::backtrace_symbols_fd(frames, n, fd);
    {
        Out out(fd);
        out.str("\nmemory map:\n");
    }
    copyFile("/proc/self/maps", fd);
    {
        Out out(fd);
        out.str("\nFrames show their offset inside the file (+0x...); resolve them against this\n"
                "build with: addr2line -f -C -e <exe> <offset>\n");
    }
    ::fsync(fd);
    ::close(fd);
}

// Lets one thread write a report. A second crashing thread waits for the
// first to end the process; a crash inside the handler on the same thread
// falls through to the default action.
bool claimWriter() {
    const long self = ::syscall(SYS_gettid);
    long expected = 0;
    if (g_writer.compare_exchange_strong(expected, self)) return true;
    if (expected == self) return false;
    for (;;) ::pause();
}

void dieWith(int sig) {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
}

void onSignal(int sig, siginfo_t* info, void*) {
    const int savedErrno = errno;
    if (claimWriter()) {
        char cause[48];
        char* p = cause;
        for (const char* s = "fatal signal "; *s;) *p++ = *s++;
        for (const char* s = signalName(sig); *s;) *p++ = *s++;
        *p = '\0';
        writeTextReport(cause, sig, info, stampNow());
    }
    errno = savedErrno;
    dieWith(sig);
}

[[noreturn]] void onTerminate() {
    if (claimWriter()) writeTextReport(kTerminateCause, 0, nullptr, stampNow());
    dieWith(SIGABRT);
    std::_Exit(128 + SIGABRT);
}

int firstObject(struct dl_phdr_info* info, size_t, void* data) {
    *static_cast<uintptr_t*>(data) = static_cast<uintptr_t>(info->dlpi_addr);
    return 1;  // the first object is the executable itself
}

}  // namespace

bool installCrashHandlers(const std::string& dir) {
    if (dir.empty() || dir.size() + 1 + 6 + kStampLen + 4 >= sizeof g_dir) return false;
    std::memcpy(g_dir, dir.c_str(), dir.size() + 1);

    const ssize_t n = ::readlink("/proc/self/exe", g_exe, sizeof g_exe - 1);
    g_exe[n > 0 ? n : 0] = '\0';
    g_base = 0;
    ::dl_iterate_phdr(firstObject, &g_base);

    const time_t now = std::time(nullptr);
    struct tm local {};
    if (::localtime_r(&now, &local)) g_utcOffset = local.tm_gmtoff;

    // The first backtrace loads the unwinder, which allocates; do it now.
    void* warm[2];
    ::backtrace(warm, 2);

    stack_t ss {};
    ss.ss_sp = g_altStack;
    ss.ss_size = sizeof g_altStack;
    ::sigaltstack(&ss, nullptr);

    struct sigaction sa {};
    sa.sa_sigaction = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
    std::set_terminate(onTerminate);
    return true;
}

namespace {
constexpr size_t kThreadAltStackBytes = 64 * 1024;
}

ThreadCrashStack::ThreadCrashStack() {
    stack_ = std::malloc(kThreadAltStackBytes);
    if (!stack_) return;
    stack_t ss{};
    ss.ss_sp = stack_;
    ss.ss_size = kThreadAltStackBytes;
    if (::sigaltstack(&ss, nullptr) != 0) {
        std::free(stack_);
        stack_ = nullptr;
    }
}

ThreadCrashStack::~ThreadCrashStack() {
    if (!stack_) return;
    stack_t ss{};
    ss.ss_flags = SS_DISABLE;
    ::sigaltstack(&ss, nullptr);
    std::free(stack_);
}

}  // namespace nbr::platform
