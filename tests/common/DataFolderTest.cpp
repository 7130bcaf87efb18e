#include "common/DataFolder.h"

#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

struct ChoiceCase {
    const char *name;
    const char *homeOption;
    const char *gabblerHome;
    const char *xdgConfigHome;
    const char *home;
    const char *folder;
};

TEST(ChooseDataFolder, TakesTheFirstThatIsSet) {
    const ChoiceCase cases[] = {
        {"--home first", "/opt/bot", "/g", "/x", "/h", "/opt/bot"},
        {"then GABBLER_HOME", "", "/g", "/x", "/h", "/g"},
        {"then XDG_CONFIG_HOME", "", "", "/x", "/h", "/x/gabbler"},
        {"then HOME", "", "", "", "/h", "/h/.config/gabbler"},
        {"relative XDG_CONFIG_HOME is ignored", "", "", "x", "/h", "/h/.config/gabbler"},
        {"relative --home is kept for PrepareDataFolder", "bots", "/g", "/x", "/h", "bots"},
        {"nothing set", "", "", "", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ChooseDataFolder(c.homeOption, c.gabblerHome, c.xdgConfigHome, c.home), c.folder) << c.name;
    }
}

TEST(PrepareDataFolder, CreatesAMissingFolderPrivateToTheUser) {
    TempDir dir;
    const std::string wanted = dir.File("a/b/gabbler/");
    const DataFolder folder = PrepareDataFolder(wanted);
    ASSERT_TRUE(folder.ok) << folder.error;
    EXPECT_EQ(folder.path, dir.File("a/b/gabbler"));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path));
    EXPECT_EQ(std::filesystem::status(folder.path).permissions(), std::filesystem::perms::owner_all);

    // An existing folder is used as it is.
    std::filesystem::permissions(folder.path, std::filesystem::perms::all);
    EXPECT_TRUE(PrepareDataFolder(folder.path).ok);
    EXPECT_EQ(std::filesystem::status(folder.path).permissions(), std::filesystem::perms::all);
}

TEST(PrepareDataFolder, MakesARelativePathAbsolute) {
    TempDir dir;
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const DataFolder folder = PrepareDataFolder("./bots/../home");
    std::filesystem::current_path(saved);
    ASSERT_TRUE(folder.ok) << folder.error;
    EXPECT_EQ(folder.path, (std::filesystem::canonical(dir.Path()) / "home").string());
}

TEST(PrepareDataFolder, FailsWithAMessageNamingThePath) {
    TempDir dir;
    const std::string file = dir.File("not-a-folder");
    std::ofstream(file) << "x";
    for (const std::string &path : {file, file + "/below"}) {
        const DataFolder folder = PrepareDataFolder(path);
        EXPECT_FALSE(folder.ok) << path;
        EXPECT_NE(folder.error.find(path), std::string::npos) << folder.error;
    }
    const DataFolder none = PrepareDataFolder("");
    EXPECT_FALSE(none.ok);
    EXPECT_NE(none.error.find("--home"), std::string::npos) << none.error;
}

} // namespace
