#include "common/DataFolder.h"

#include "TempDir.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadFirstLine(const std::string &path) {
    std::string line;
    std::getline(std::ifstream(path) >> std::ws, line);
    return line;
}

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

// Another process on the folder: one that took the lock and waits until told to go, or one that took it and was
// killed, as a crashed Gabbler is.
class OtherRun {
public:
    OtherRun(const std::string &folder, bool crash) {
        int ready[2];
        int go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(go[1]); // so that the parent's close is the end of the pipe
            DataFolderLock lock = LockDataFolder(folder);
            const char held = lock.lock.Held() ? 1 : 0;
            [[maybe_unused]] ssize_t n = ::write(ready[1], &held, 1);
            if (crash) {
                ::kill(::getpid(), SIGKILL);
            }
            char byte = 0;
            n = ::read(go[0], &byte, 1);
            _exit(0);
        }
        ::close(ready[1]);
        ::close(go[0]);
        go_ = go[1];
        char held = 0;
        took_ = ::read(ready[0], &held, 1) == 1 && held == 1;
        ::close(ready[0]);
        if (crash) {
            End();
        }
    }
    ~OtherRun() { End(); }
    bool Took() const { return took_; }
    pid_t Pid() const { return pid_; }

    void End() {
        if (go_ >= 0) {
            ::close(go_);
            go_ = -1;
        }
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -pid_; // keeps the number for the messages, marks it ended
        }
    }

private:
    pid_t pid_ = 0;
    int go_ = -1;
    bool took_ = false;
};

TEST(LockDataFolder, OneFolderServesOneRunningGabbler) {
    enum class Other { None, Running, Crashed, EndedInThisProcess };
    struct Case {
        const char *name;
        Other other;
        bool refused;
    };
    const Case cases[] = {
        {"a folder nobody uses", Other::None, false},
        {"another Gabbler runs on it", Other::Running, true},
        {"the last Gabbler on it crashed", Other::Crashed, false},
        {"the last Gabbler on it ended", Other::EndedInThisProcess, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::unique_ptr<OtherRun> other;
        if (c.other == Other::Running || c.other == Other::Crashed) {
            other = std::make_unique<OtherRun>(dir.Path(), c.other == Other::Crashed);
            ASSERT_TRUE(other->Took());
        } else if (c.other == Other::EndedInThisProcess) {
            ASSERT_TRUE(LockDataFolder(dir.Path()).lock.Held());
        }
        const DataFolderLock lock = LockDataFolder(dir.Path());
        EXPECT_EQ(lock.refused, c.refused);
        EXPECT_EQ(lock.lock.Held(), !c.refused);
        if (c.refused) {
            const std::string pid = std::to_string(other->Pid());
            EXPECT_NE(lock.message.find("process " + pid), std::string::npos) << lock.message;
            EXPECT_NE(lock.message.find(dir.Path()), std::string::npos) << lock.message;
            EXPECT_NE(lock.message.find("--home"), std::string::npos) << lock.message;
        } else {
            EXPECT_EQ(lock.message, "");
            EXPECT_EQ(ReadFirstLine(dir.File("gabbler.lock")), std::to_string(::getpid()));
        }
    }
}

TEST(LockDataFolder, ASecondLockInOneProcessIsRefusedToo) {
    TempDir dir;
    const DataFolderLock first = LockDataFolder(dir.Path());
    ASSERT_TRUE(first.lock.Held());
    const DataFolderLock second = LockDataFolder(dir.Path());
    EXPECT_TRUE(second.refused);
    EXPECT_NE(second.message.find("process " + std::to_string(::getpid())), std::string::npos) << second.message;
}

} // namespace
