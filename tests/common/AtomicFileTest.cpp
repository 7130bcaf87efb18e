#include "common/AtomicFile.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempDir.h"

namespace {

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    ASSERT_TRUE(WriteFileAtomically(path, "old\r\n").ok);
    ASSERT_TRUE(WriteFileAtomically(path, "new").ok);
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(AtomicFile, OwnerOnlyFilesAreNotReadableByOthers) {
    TempDir dir;
    const std::string path = dir.File("profiles.txt");
    ASSERT_TRUE(WriteFileAtomically(path, "secret", true).ok);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600);
}

TEST(AtomicFile, FailureNamesTheFileAndKeepsTheOldVersion) {
    TempDir dir;
    const std::string missingFolder = dir.File("no/such/folder/file.txt");
    const FileResult result = WriteFileAtomically(missingFolder, "x");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(missingFolder), std::string::npos) << result.error;
    EXPECT_FALSE(ReadWholeFile(missingFolder).has_value());
}

} // namespace
