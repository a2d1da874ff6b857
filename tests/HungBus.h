// A bus that lets clients connect and then never answers, its address in an
// environment variable for the scope: a socket that accepts and stays silent,
// or a real dbus-daemon stopped with SIGSTOP (resumed when it goes).
#pragma once

#include "PrivateBus.h"
#include "TestEnv.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd_, 16) != 0) return;
        env_.emplace(variable, "unix:path=" + path);
        ok_ = true;
        acceptor_ = std::thread([this] {
            while (running_.load()) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 20) > 0) {
                    const int peer = accept(fd_, nullptr, nullptr);
                    if (peer >= 0) peers_.push_back(peer);
                }
            }
        });
    }
    ~HungBus() {
        running_.store(false);
        if (acceptor_.joinable()) acceptor_.join();
        for (int peer : peers_) close(peer);
        if (fd_ >= 0) close(fd_);
    }
    HungBus(const HungBus&) = delete;
    HungBus& operator=(const HungBus&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    std::optional<PrivateBus> daemon_;
    TempDir dir_;
    int fd_ = -1;
    std::optional<ScopedEnv> env_;
    std::atomic<bool> running_{true};
    std::thread acceptor_;
    std::vector<int> peers_;  // held open, never read
};

}  // namespace nbr::test
