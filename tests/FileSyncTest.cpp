// Durable file writes: the folder is synced after a rename into it and after
// a new file is created, and a folder that cannot be opened is reported.
#include "platform/Files.h"

#include "TestEnv.h"

#include <filesystem>

using nbr::test::readFile;
using nbr::test::TempDir;

TEST(FileSync, FolderSyncReportsWhetherTheFolderCouldBeSynced) {
    TempDir tmp;
    EXPECT_TRUE(nbr::platform::syncParentDir(tmp.path() + "/any.jsonl"));
    EXPECT_TRUE(nbr::platform::syncParentDir("relative.jsonl"));  // the working folder
    EXPECT_FALSE(nbr::platform::syncParentDir(tmp.path() + "/missing/any.jsonl"));
}

TEST(FileSync, AppendCreatesOrExtendsAndRenameReplaces) {
    TempDir tmp;
    const std::string path = tmp.path() + "/log.jsonl";
    EXPECT_TRUE(nbr::platform::appendLinesSynced(path, "a\n"));
    EXPECT_TRUE(nbr::platform::appendLinesSynced(path, "b\n"));
    EXPECT_EQ(readFile(path), "a\nb\n");
    EXPECT_FALSE(nbr::platform::appendLinesSynced(tmp.path() + "/missing/log.jsonl", "a\n"));
    EXPECT_TRUE(nbr::platform::writeFileAtomic(path, "c\n"));
    EXPECT_EQ(readFile(path), "c\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}
