// TEMPORARY stand-in until the one-instance lock lands; replaced on merge.
#pragma once
#include <string>
namespace nbr::platform {
class InstanceLock {
public:
    bool acquire(const std::string&) { return true; }
    bool heldElsewhere() const { return false; }
};
}  // namespace nbr::platform
