// Every test runs with HOME, XDG_DATA_HOME and XDG_CONFIG_HOME in a temporary
// folder of its own, and without APPDATA, so that no test (and no program a
// test starts) can reach the developer's real data folder or autostart
// folder, whatever it forgets to redirect, nor the desktop's session bus or the
// machine's system bus. At the end, the default data folder inside it must
// still be absent: a test that wrote there missed its own private folder.
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace nbr::test {
namespace {

class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_FALSE(home_.path().empty()) << "no temporary folder for HOME";
        setenv("HOME", home_.path().c_str(), 1);
        setenv("XDG_DATA_HOME", (home_.path() + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_.path() + "/config").c_str(), 1);
        unsetenv("APPDATA");
        // Nor the developer's desktop: tests that need a session bus start
        // their own.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + home_.path() + "/no-system-bus").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        EXPECT_FALSE(std::filesystem::exists(home_.path() + "/data/Nimbrel", ec))
            << "a test wrote into the default data folder";
        EXPECT_FALSE(std::filesystem::exists(home_.path() + "/.local/share/Nimbrel", ec))
            << "a test wrote into the default data folder";
    }
    const std::string& path() const { return home_.path(); }

private:
    TempDir home_;
};

PrivateHome* const g_home = static_cast<PrivateHome*>(::testing::AddGlobalTestEnvironment(new PrivateHome));

}  // namespace

const std::string& privateHome() { return g_home->path(); }

}  // namespace nbr::test
