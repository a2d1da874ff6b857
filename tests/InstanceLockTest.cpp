#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "TestEnv.h"
#include "platform/InstanceLock.h"

namespace nbr {
namespace {

// A second process that takes the lock and holds it until told to go.
class LockHolder {
public:
    explicit LockHolder(const std::string& dir) {
        int ready[2], go[2];
        if (pipe(ready) != 0 || pipe(go) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(go[1]);
            platform::InstanceLock lock;
            char ok = lock.acquire(dir) ? '1' : '0';
            (void)!write(ready[1], &ok, 1);
            char c;
            (void)!read(go[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(go[0]);
        goFd_ = go[1];
        char ok = 0;
        acquired_ = read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~LockHolder() { finish(); }
    bool acquired() const { return acquired_; }
    void finish() {
        if (goFd_ >= 0) close(goFd_);  // end of file tells the child to exit
        goFd_ = -1;
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    void kill9() {
        if (pid_ > 0) ::kill(pid_, SIGKILL);
        finish();
    }

private:
    pid_t pid_ = -1;
    int goFd_ = -1;
    bool acquired_ = false;
};

TEST(InstanceLock, SecondProcessFindsTheLockUntilTheFirstEnds) {
    test::TempDir tmp;
    const std::string dir = tmp.path() + "/Nimbrel";
    LockHolder other(dir);
    ASSERT_TRUE(other.acquired());

    platform::InstanceLock lock;
    EXPECT_FALSE(lock.acquire(dir));
    EXPECT_TRUE(lock.heldElsewhere());
    EXPECT_FALSE(lock.held());

    other.finish();
    EXPECT_TRUE(lock.acquire(dir));
    EXPECT_TRUE(lock.held());
    EXPECT_TRUE(lock.acquire(dir));  // already held: still true

    // While this process holds it, a new process cannot take it.
    LockHolder late(dir);
    EXPECT_FALSE(late.acquired());
    late.finish();

    lock.release();
    LockHolder after(dir);
    EXPECT_TRUE(after.acquired());
}

TEST(InstanceLock, KilledHolderLeavesNoStaleLock) {
    test::TempDir tmp;
    LockHolder other(tmp.path());
    ASSERT_TRUE(other.acquired());
    other.kill9();
    platform::InstanceLock lock;
    EXPECT_TRUE(lock.acquire(tmp.path()));
}

TEST(InstanceLock, SecondLockInTheSameProcessIsRefused) {
    test::TempDir tmp;
    platform::InstanceLock a, b;
    ASSERT_TRUE(a.acquire(tmp.path()));
    EXPECT_FALSE(b.acquire(tmp.path()));
    EXPECT_TRUE(b.heldElsewhere());
}

TEST(InstanceLock, UnusableFolderFailsWithoutClaimingAnotherHolder) {
    test::TempDir tmp;
    test::writeFile(tmp.path() + "/plainfile", "x");
    platform::InstanceLock lock;
    EXPECT_FALSE(lock.acquire(tmp.path() + "/plainfile/Nimbrel"));
    EXPECT_FALSE(lock.heldElsewhere());
}

}  // namespace
}  // namespace nbr
