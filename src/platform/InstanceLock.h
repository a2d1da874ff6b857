// One running program per data folder: an advisory lock on a file there.
#pragma once

#include <string>

namespace nbr::platform {

// Holds an exclusive advisory lock (flock) on a lock file for as long as the
// object lives. The operating system drops the lock when the process ends,
// however it ends, so a crash never leaves a stale lock behind.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Creates the folder `dir` when missing, opens (or creates) the file
    // "instance.lock" in it and takes the lock without waiting. Returns false
    // when another process holds it or the file cannot be opened; the reason
    // is then given by heldElsewhere(). Calling it again while held returns true.
    bool acquire(const std::string& dir);

    // True after a failed acquire() that failed because another process
    // holds the lock (as opposed to the file being unusable).
    bool heldElsewhere() const { return heldElsewhere_; }

    bool held() const { return fd_ >= 0; }

    // Gives the lock up; the file stays.
    void release();

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

}  // namespace nbr::platform
