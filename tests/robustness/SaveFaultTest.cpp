// Saving under fire: a program killed with SIGKILL in the middle of its saves, and a disk that is full. Every file
// the program writes (the three text files, gabbler.ini and the exported chat log) must then be either its old or
// its new version, never a torn one, and a save that could not be done must say so and name the file.

#include "SmallDisk.h"
#include "TempDir.h"
#include "app/Settings.h"
#include "chat/ChatPane.h"
#include "common/AtomicFile.h"
#include "login/ProfileStore.h"
#include "places/AvatarTable.h"
#include "places/TeleportList.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Two versions of each file, large enough (a few hundred kilobytes) that a save takes a while.
constexpr int kEntries = 3000;

std::string Word(bool second, int i) { return (second ? "second-" : "first-") + std::to_string(i); }

FileResult SaveProfiles(const std::string &path, bool second) {
    static const auto make = [](bool v) {
        ProfileStore store;
        for (int i = 0; i < kEntries; ++i) {
            LoginProfile p;
            p.name = Word(v, i);
            p.citizen = i;
            p.privilegePassword = "pw" + std::to_string(i);
            p.botName = "Bot";
            p.world = "Town";
            store.Add(p);
        }
        return store;
    };
    static const ProfileStore versions[] = {make(false), make(true)};
    return versions[static_cast<int>(second)].Write(path);
}

FileResult SaveTeleports(const std::string &path, bool second) {
    static const auto make = [](bool v) {
        TeleportList list;
        for (int i = 0; i < kEntries; ++i) {
            list.AddLine("Town " + std::to_string(i) + "n 5w:" + Word(v, i));
        }
        return list;
    };
    static const TeleportList versions[] = {make(false), make(true)};
    return versions[static_cast<int>(second)].Save(path);
}

FileResult SaveAvatars(const std::string &path, bool second) {
    static const auto make = [](bool v) {
        AvatarTable table;
        for (int i = 0; i < kEntries; ++i) {
            table.RecordAvatar(Word(v, i), i % 250);
        }
        return table;
    };
    static const AvatarTable versions[] = {make(false), make(true)};
    return versions[static_cast<int>(second)].Save(path);
}

FileResult SaveSettings(const std::string &path, bool second) {
    static const auto make = [](bool v) {
        Settings s;
        s.timestampMsgs = v;
        s.waveLocation = std::string(100000, v ? 'b' : 'a');
        return s;
    };
    static const Settings versions[] = {make(false), make(true)};
    return versions[static_cast<int>(second)].Save(path);
}

FileResult SaveChatLog(const std::string &path, bool second) {
    static const auto make = [](bool v) {
        auto pane = std::make_unique<ChatPane>();
        for (int i = 0; i < kEntries; ++i) {
            pane->AppendChatLine(Word(v, i) + ": some chat text that fills the line a little", 0x0000FF, i % 2);
        }
        return pane;
    };
    static const std::unique_ptr<ChatPane> versions[] = {make(false), make(true)};
    return versions[static_cast<int>(second)]->SaveLog(path);
}

struct SavedFile {
    const char *file;
    FileResult (*save)(const std::string &path, bool second);
};

const SavedFile kFiles[] = {
    {"profiles.txt", SaveProfiles}, {"teleport.txt", SaveTeleports}, {"avatars.txt", SaveAvatars},
    {"gabbler.ini", SaveSettings},  {"chatlog.rtf", SaveChatLog},
};

// The bytes of both versions as the program writes them. gabbler.ini is rewritten in place, so it is saved over
// the other version first, as it will be in the tests.
std::vector<std::string> Versions(const SavedFile &f, const std::string &folder) {
    const std::string path = folder + "/" + f.file;
    std::vector<std::string> texts;
    for (const bool second : {true, false, true}) {
        EXPECT_TRUE(f.save(path, second).ok) << f.file;
        texts.push_back(ReadWholeFile(path).value_or(""));
    }
    EXPECT_EQ(texts[0], texts[2]) << f.file << ": saving the same version twice writes the same file";
    return {texts[1], texts[2]};
}

std::string Describe(const std::string &text) {
    return std::to_string(text.size()) + " bytes beginning \"" + text.substr(0, 40) + "\"";
}

TEST(SaveFaults, KilledDuringItsSavesTheProgramLeavesEveryFileOldOrNew) {
    TempDir dir;
    std::vector<std::vector<std::string>> versions;
    for (const SavedFile &f : kFiles) {
        versions.push_back(Versions(f, dir.Path()));
        ASSERT_TRUE(f.save(dir.File(f.file), false).ok) << f.file;
    }

    std::mt19937 rng(20261210);
    int sawSecond = 0;
    for (int round = 0; round < 40; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0) << std::strerror(errno);
        if (child == 0) {
            // The program at its saves, over and over, until it is killed.
            ::close(ready[0]);
            for (bool second = true;; second = !second) {
                for (const SavedFile &f : kFiles) {
                    f.save(dir.File(f.file), second);
                }
                const char cycle = 1;
                if (::write(ready[1], &cycle, 1) < 0) {
                    _exit(1);
                }
            }
        }
        ::close(ready[1]);
        char cycle = 0;
        const ssize_t started = ::read(ready[0], &cycle, 1);
        if (started == 1) {
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ASSERT_EQ(started, 1) << "the saving child finished a first round of saves";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child was killed, not ended";

        for (std::size_t k = 0; k < std::size(kFiles); ++k) {
            const auto text = ReadWholeFile(dir.File(kFiles[k].file));
            ASSERT_TRUE(text.has_value()) << kFiles[k].file << " is still there after round " << round;
            const bool first = *text == versions[k][0];
            const bool second = *text == versions[k][1];
            EXPECT_TRUE(first || second) << kFiles[k].file << " after round " << round
                                         << " is torn: " << Describe(*text);
            sawSecond += second;
        }
    }
    EXPECT_GT(sawSecond, 0) << "the kills came while the files were being replaced";
}

TEST(SaveFaults, ALinkPlantedBesideTheFileRedirectsNoSave) {
    TempDir dir;
    const std::string victim = dir.File("victim");
    for (const SavedFile &f : kFiles) {
        SCOPED_TRACE(f.file);
        ASSERT_TRUE(WriteFileAtomically(victim, "precious").ok);
        const std::string path = dir.File(f.file);
        // The name a temporary made of the file's name and the process id would take.
        const std::string planted = path + ".tmp" + std::to_string(::getpid());
        ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0) << std::strerror(errno);
        const FileResult result = f.save(path, true);
        EXPECT_TRUE(result.ok) << result.error;
        EXPECT_EQ(ReadWholeFile(victim), "precious") << "the file behind the link is untouched";
        EXPECT_FALSE(std::filesystem::is_symlink(path)) << "the saved file is a file of its own";
        EXPECT_TRUE(std::filesystem::is_symlink(planted)) << "the planted link is left where it was";
        std::filesystem::remove(planted);
    }
}

TEST(SaveFaults, AFullDiskFailsTheSaveWithAMessageAndKeepsTheOldFile) {
    TempDir dir;
    std::vector<std::vector<std::string>> versions;
    for (const SavedFile &f : kFiles) {
        versions.push_back(Versions(f, dir.Path()));
    }
    SmallDisk disk(dir.File("disk"), 8 << 20);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a small tmpfs (" << disk.Error() << "); the full-disk case needs root";
    }
    for (const SavedFile &f : kFiles) {
        ASSERT_TRUE(f.save(dir.File("disk/") + f.file, false).ok) << f.file;
    }
    disk.Fill();

    for (std::size_t k = 0; k < std::size(kFiles); ++k) {
        SCOPED_TRACE(kFiles[k].file);
        const std::string path = dir.File("disk/") + kFiles[k].file;
        const FileResult result = kFiles[k].save(path, true);
        EXPECT_FALSE(result.ok) << "a save on a full disk is not reported as done";
        EXPECT_NE(result.error.find(path), std::string::npos) << "the message names the file: " << result.error;
        EXPECT_NE(result.error.find(std::strerror(ENOSPC)), std::string::npos) << result.error;
        EXPECT_EQ(ReadWholeFile(path), versions[k][0]) << "the old version stays whole";
    }
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir.File("disk"))) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names.size(), std::size(kFiles) + 1) << "no temporary file is left behind";

    disk.Free();
    for (std::size_t k = 0; k < std::size(kFiles); ++k) {
        const std::string path = dir.File("disk/") + kFiles[k].file;
        EXPECT_TRUE(kFiles[k].save(path, true).ok) << kFiles[k].file << ": saving works again once there is room";
        EXPECT_EQ(ReadWholeFile(path), versions[k][1]) << kFiles[k].file;
    }
}

} // namespace
