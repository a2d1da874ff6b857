// A bus that lets clients connect and then never answers, its address in an
// environment variable for the scope: a listening socket nobody reads (the
// system completes the connections), or a real dbus-daemon stopped with
// SIGSTOP (resumed when it goes).
#pragma once

#include "PrivateBus.h"
#include "TestEnv.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace nbr::test {

enum class Hang { SilentSocket, StoppedDaemon };

inline const char* nameOf(Hang how) { return how == Hang::SilentSocket ? "SilentSocket" : "StoppedDaemon"; }
// Names the cases of a test with a Hang parameter.
inline std::string hangCase(const ::testing::TestParamInfo<Hang>& info) { return nameOf(info.param); }

class HungBus {
public:
    HungBus(Hang how, const char* variable) {
        if (how == Hang::StoppedDaemon) {
            daemon_.emplace(variable);
            daemon_->freeze();
            ok_ = daemon_->ok();
            return;
        }
        sockaddr_un at{};
        at.sun_family = AF_UNIX;
        const std::string path = dir_.path() + "/bus";
        std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(fd_, 64) == 0;
        if (ok_) env_.emplace(variable, "unix:path=" + path);
    }
    ~HungBus() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    std::optional<PrivateBus> daemon_;
    TempDir dir_;
    int fd_ = -1;
    std::optional<ScopedEnv> env_;
};

}  // namespace nbr::test
