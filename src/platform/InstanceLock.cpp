#include "platform/InstanceLock.h"

#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace nbr::platform {

InstanceLock::~InstanceLock() { release(); }

bool InstanceLock::acquire(const std::string& dir) {
    if (fd_ >= 0) return true;
    heldElsewhere_ = false;
    createPrivateDirectories(dir);
    const std::string path = dir + "/instance.lock";
    // O_CLOEXEC: a program started from here (the link opener) must not
    // inherit the lock and keep it after this process has ended.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) return false;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        heldElsewhere_ = (errno == EWOULDBLOCK);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InstanceLock::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace nbr::platform
