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

TEST(AtomicFile, WritersOfOneFileNeverShareATemporary) {
    TempDir dir;
    const std::string path = dir.File("chatlog.rtf");
    AtomicFileStream first(path);
    AtomicFileStream second(path);
    ASSERT_TRUE(first.Write("first version"));
    ASSERT_TRUE(second.Write("second"));
    EXPECT_TRUE(first.Commit().ok);
    EXPECT_EQ(ReadWholeFile(path), "first version");
    const FileResult result = second.Commit();
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ReadWholeFile(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(AtomicFile, AnUncommittedStreamLeavesTheFileAndNoTemporary) {
    TempDir dir;
    const std::string path = dir.File("chatlog.rtf");
    ASSERT_TRUE(WriteFileAtomically(path, "old").ok);
    {
        AtomicFileStream abandoned(path);
        ASSERT_TRUE(abandoned.Write("half of the new"));
    }
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

} // namespace
