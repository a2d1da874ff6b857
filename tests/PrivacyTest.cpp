// The data folder holds saved home coordinates: everything the program
// creates there is for its owner only, whatever the umask, and wider modes
// left from before are narrowed.
#include "TestEnv.h"
#include "foundation/Config.h"
#include "foundation/CrashHandler.h"
#include "foundation/Logger.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"

#include <sys/stat.h>

#include <filesystem>

namespace nbr {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 01000000;  // no such entry: matches no mode
    return st.st_mode & 07777;
}

// A umask of 0 lets every creator's own mode show.
class PrivacyTest : public test::DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        oldMask_ = ::umask(0);
    }
    void TearDown() override {
        ::umask(oldMask_);
        DataDirTest::TearDown();
    }
    std::string in(const std::string& name) const { return tmp_.path() + "/" + name; }

private:
    mode_t oldMask_ = 0;
};

TEST_F(PrivacyTest, EveryWriterCreatesOwnerOnlyFilesAndFolders) {
    ASSERT_TRUE(platform::writeFileAtomic(in("atomic.json"), "{}"));
    ASSERT_TRUE(platform::appendLinesSynced(in("lines.jsonl"), "a\n"));
    ASSERT_TRUE(platform::ensurePrivateFile(in("layout.ini")));
    ASSERT_TRUE(platform::createPrivateDirectories(in("a/b/c")));
    Log::init(in("logs"));
    Log::info("private");
    ASSERT_TRUE(platform::createPrivateDirectories(in("crashes")));
    crash::detail::markReportsSeenIn(in("crashes"));
    {
        platform::InstanceLock lock;
        ASSERT_TRUE(lock.acquire(in("locked")));
    }
    Config c;
    c.save();
    test::writeFile(dataDir() + "/config.json", "{broken");
    fs::permissions(dataDir() + "/config.json", fs::perms(0644));
    Config bad;
    bad.load();

    const struct {
        const char* name;
        unsigned mode;
    } expected[] = {
        {"atomic.json", 0600},    {"lines.jsonl", 0600},         {"layout.ini", 0600},
        {"a", 0700},              {"a/b", 0700},                 {"a/b/c", 0700},
        {"logs", 0700},           {"logs/app.log", 0600},        {"crashes", 0700},
        {"crashes/.seen", 0600},  {"locked", 0700},              {"locked/instance.lock", 0600},
        {"Nimbrel", 0700},        {"Nimbrel/config.json.bad", 0600},
    };
    for (const auto& e : expected) EXPECT_EQ(modeOf(in(e.name)), e.mode) << e.name;

    // A fresh save of the settings replaces the file with an owner-only one.
    c.save();
    EXPECT_EQ(modeOf(dataDir() + "/config.json"), 0600u);
}

TEST_F(PrivacyTest, ExistingFilesKeepTheirContentAndFoldersTheirMode) {
    test::writeFile(in("keep/layout.ini"), "[Window][Debug]\n");
    fs::permissions(in("keep"), fs::perms(0750));
    ASSERT_TRUE(platform::ensurePrivateFile(in("keep/layout.ini")));
    EXPECT_EQ(test::readFile(in("keep/layout.ini")), "[Window][Debug]\n");
    ASSERT_TRUE(platform::createPrivateDirectories(in("keep/new")));
    EXPECT_EQ(modeOf(in("keep")), 0750u);  // narrowing is the start-up's job
    EXPECT_EQ(modeOf(in("keep/new")), 0700u);
    EXPECT_FALSE(platform::ensurePrivateFile(in("missing/layout.ini")));
    ASSERT_TRUE(platform::ensurePrivateFile(in("keep/fresh.ini"), "\n"));
    EXPECT_EQ(test::readFile(in("keep/fresh.ini")), "\n");
    EXPECT_EQ(modeOf(in("keep/fresh.ini")), 0600u);
    test::writeFile(in("blocker"), "a file");
    EXPECT_FALSE(platform::createPrivateDirectories(in("blocker/sub")));
}

TEST_F(PrivacyTest, WiderModesAreNarrowedToTheOwnerAndLinksAreLeftAlone) {
    const std::string root = in("Nimbrel");
    const struct {
        const char* name;
        bool folder;
        unsigned before, after;
    } entries[] = {
        {"", true, 0755, 0700},
        {"config.json", false, 0644, 0600},
        {"logs", true, 0775, 0700},
        {"logs/app.log", false, 0666, 0600},
        {"history", true, 0700, 0700},
        {"history/obs.jsonl", false, 0600, 0600},
        {"history/old.jsonl", false, 0400, 0400},  // narrower stays
        {"crashes", true, 0711, 0700},
        {"crashes/crash-1.txt", false, 0755, 0600},
    };
    int wider = 0;
    for (const auto& e : entries) {
        const std::string p = root + "/" + e.name;
        if (e.folder) fs::create_directories(p);
        else test::writeFile(p, "x");
    }
    // Modes from the deepest entry up, so a folder's own mode never stops the
    // set-up from reaching its files.
    for (auto it = std::rbegin(entries); it != std::rend(entries); ++it) {
        fs::permissions(root + "/" + it->name, fs::perms(it->before));
        wider += it->before != it->after;
    }
    // A link to a file outside the folder: neither followed nor changed.
    test::writeFile(in("outside.txt"), "shared");
    fs::permissions(in("outside.txt"), fs::perms(0644));
    fs::create_symlink(in("outside.txt"), root + "/link.txt");

    EXPECT_EQ(platform::narrowToOwner(root), wider);
    for (const auto& e : entries) EXPECT_EQ(modeOf(root + "/" + e.name), e.after) << e.name;
    EXPECT_EQ(modeOf(in("outside.txt")), 0644u);
    EXPECT_EQ(platform::narrowToOwner(root), 0);  // nothing left to narrow
    EXPECT_EQ(platform::narrowToOwner(in("missing")), 0);
    EXPECT_EQ(platform::narrowToOwner(root + "/link.txt"), 0);
}

}  // namespace
}  // namespace nbr
