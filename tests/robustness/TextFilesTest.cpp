// The program's text files in every shape an editor, another system or an accident gives them: CR LF or LF, a
// byte-order mark, no line end after the last line, blank lines and white space around lines, a line of binary
// junk, an entry of 100,000 bytes. Each reader must find the same entries in every shape, and what the program
// saves must read back as those entries.

#include "TempDir.h"
#include "app/Settings.h"
#include "common/AtomicFile.h"
#include "login/ProfileStore.h"
#include "places/AvatarTable.h"
#include "places/TeleportList.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;
using Entries = std::vector<std::string>;

const std::string kLong(100000, 'w');

struct FileKind {
    const char *file;
    std::vector<std::string> lines; // the plain file, one entry (or section header) a line
    std::string longLine;           // an entry of 100,000 bytes, added at the end
    Entries expected;               // what the plain file reads as, in the form of read()
    Entries expectedWithLong;
    bool keepsUnreadLines; // lines it cannot read are written back as they were
    Entries (*read)(const std::string &path);
    FileResult (*resave)(const std::string &path); // loads and saves, as a run of the program does
};

Entries Sorted(Entries entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

Entries ReadProfiles(const std::string &path) {
    ProfileStore store;
    EXPECT_TRUE(store.Read(path));
    Entries entries;
    for (const auto &profile : store.Profiles()) {
        std::string line = ProfileStore::FormatLine(profile);
        entries.push_back(line.substr(0, line.size() - 2));
    }
    return entries;
}

FileResult ResaveProfiles(const std::string &path) {
    ProfileStore store;
    store.Read(path);
    return store.Write(path);
}

Entries ReadTeleports(const std::string &path) {
    TeleportList list;
    list.Load(path);
    Entries entries;
    for (const auto &row : list.Rows()) {
        entries.push_back(row.location + ":" + row.name);
    }
    return entries;
}

FileResult ResaveTeleports(const std::string &path) {
    TeleportList list;
    list.Load(path);
    return list.Save(path);
}

Entries ReadAvatars(const std::string &path) {
    AvatarTable table;
    table.Load(path);
    Entries entries;
    for (const auto &entry : table.Entries()) {
        entries.push_back(entry.world + ":" + std::to_string(entry.avatar));
    }
    return entries;
}

FileResult ResaveAvatars(const std::string &path) {
    AvatarTable table;
    table.Load(path);
    return table.Save(path);
}

Entries ReadSettings(const std::string &path) {
    const Settings s = Settings::Load(path);
    return {"TimestampMsgs=" + std::to_string(s.timestampMsgs), "ChatBoxRed=" + std::to_string(s.chatBox.red),
            "FaceName=" + s.font.faceName, "WaveLocation=" + s.waveLocation};
}

FileResult ResaveSettings(const std::string &path) { return Settings::Load(path).Save(path); }

const FileKind kKinds[] = {
    {"profiles.txt",
     {"Main:1:secret:Bot:localhost:5870:Town:40N 50W:", "Spare:2:pw:Two:example.org:0:Old:0n 0e:"},
     "Long:3:pw:Bot:h:1:" + kLong + ":0n 0e:",
     {"Main:1:secret:Bot:localhost:5870:Town:40N 50W:", "Spare:2:pw:Two:example.org:0:Old:0n 0e:"},
     {"Main:1:secret:Bot:localhost:5870:Town:40N 50W:", "Spare:2:pw:Two:example.org:0:Old:0n 0e:",
      "Long:3:pw:Bot:h:1:" + kLong + ":0n 0e:"},
     false,
     ReadProfiles,
     ResaveProfiles},
    {"teleport.txt",
     {"Town 40N 50W 2a 180:Home", "Old 1n 2e:Globe: the start"},
     "Town 1n:" + kLong,
     {"Town 40N 50W 2a 180:Home", "Old 1n 2e:Globe: the start"},
     {"Town 40N 50W 2a 180:Home", "Old 1n 2e:Globe: the start", "Town 1n:" + kLong},
     false,
     ReadTeleports,
     ResaveTeleports},
    {"avatars.txt",
     {"Town:3", "Old:250"},
     kLong + ":7",
     {"Town:3", "Old:250"},
     {"Town:3", "Old:250", kLong + ":7"},
     true,
     ReadAvatars,
     ResaveAvatars},
    // A duplicated key: the first one wins, and keeps winning after a save.
    {"gabbler.ini",
     {"[Fonts]", "FaceName=Deja Vu", "[Settings]", "TimestampMsgs=1", "ChatBoxRed=12", "ChatBoxRed=200"},
     "WaveLocation=" + kLong,
     {"TimestampMsgs=1", "ChatBoxRed=12", "FaceName=Deja Vu", "WaveLocation="},
     {"TimestampMsgs=1", "ChatBoxRed=12", "FaceName=Deja Vu", "WaveLocation=" + kLong},
     true,
     ReadSettings,
     ResaveSettings},
};

const std::string kJunk = "\x01\x02\xff\xfe\x00\x7f binary \xc3\x28 junk \x1b[0m"s;

struct Form {
    const char *name;
    const char *lineEnd;
    bool mark;
    bool lastLineEnd;
    bool blanks;
    bool junk;
    bool longEntry;
};

const Form kForms[] = {
    {"CR LF", "\r\n", false, true, false, false, false},
    {"LF", "\n", false, true, false, false, false},
    {"no line end after the last line", "\r\n", false, false, false, false, false},
    {"a byte-order mark", "\r\n", true, true, false, false, false},
    {"blank lines and white space around every line", "\r\n", false, true, true, false, false},
    {"a line of binary junk at the end", "\r\n", false, true, false, true, false},
    {"an entry of 100,000 bytes", "\r\n", false, true, false, false, true},
    {"all of them, with LF", "\n", true, false, true, true, true},
};

std::string Make(const FileKind &kind, const Form &form) {
    std::vector<std::string> lines = kind.lines;
    if (form.longEntry) {
        lines.push_back(kind.longLine);
    }
    if (form.junk) {
        lines.push_back(kJunk);
    }
    std::string text = form.mark ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += form.blanks ? " \t" + lines[i] + "  " : lines[i];
        if (i + 1 < lines.size() || form.lastLineEnd) {
            text += form.lineEnd;
        }
        if (form.blanks && i + 1 < lines.size()) {
            text += std::string("   ") + form.lineEnd + form.lineEnd;
        }
    }
    return text;
}

TEST(TextFiles, EveryShapeOfEveryFileReadsAndSavesTheSameEntries) {
    for (const FileKind &kind : kKinds) {
        for (const Form &form : kForms) {
            SCOPED_TRACE(std::string(kind.file) + ", " + form.name);
            TempDir dir;
            const std::string path = dir.File(kind.file);
            ASSERT_TRUE(WriteFileAtomically(path, Make(kind, form)).ok);

            const Entries read = kind.read(path);
            EXPECT_EQ(Sorted(read), Sorted(form.longEntry ? kind.expectedWithLong : kind.expected));

            const FileResult saved = kind.resave(path);
            ASSERT_TRUE(saved.ok) << saved.error;
            EXPECT_EQ(kind.read(path), read) << "what was read is what a save writes";
            if (form.junk && kind.keepsUnreadLines) {
                EXPECT_NE(ReadWholeFile(path)->find(" binary "), std::string::npos) << "the unread line is kept";
            }
        }
    }
}

// A line that begins with U+FEFF on a later line of the file is text, not a byte-order mark: it must not lose it,
// nor change what the file means, when a save moves it to the top of the file. (In gabbler.ini the second mark
// hides the section from the reader, so the settings read are the defaults, and must stay so.)
TEST(TextFiles, AFirstLineBeginningWithZeroWidthNoBreakSpaceKeepsIt) {
    const std::string feff = "\xEF\xBB\xBF";
    struct Case {
        const char *file;
        std::string content;
        Entries entries; // as read()
        Entries (*read)(const std::string &path);
        FileResult (*resave)(const std::string &path);
    };
    const Case cases[] = {
        {"profiles.txt",
         "junk\r\n" + feff + "Main:1:pw:Bot:h:1:Town:0n 0e:\r\n",
         {feff + "Main:1:pw:Bot:h:1:Town:0n 0e:"},
         ReadProfiles,
         ResaveProfiles},
        {"teleport.txt",
         "junk\r\n" + feff + "Town 1n:Home\r\n",
         {feff + "Town 1n:Home"},
         ReadTeleports,
         ResaveTeleports},
        {"gabbler.ini",
         feff + feff + "[Settings]\r\nTimestampMsgs=1\r\nChatBoxRed=7\r\n",
         {"TimestampMsgs=0", "ChatBoxRed=255", "FaceName=", "WaveLocation="},
         ReadSettings,
         ResaveSettings},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        const std::string path = dir.File(c.file);
        ASSERT_TRUE(WriteFileAtomically(path, c.content).ok);
        EXPECT_EQ(c.read(path), c.entries);
        for (int save = 1; save <= 2; ++save) {
            ASSERT_TRUE(c.resave(path).ok);
            EXPECT_EQ(c.read(path), c.entries) << "after save " << save;
        }
    }
}

// A teleport.txt or avatars.txt that exists but cannot be read is left as it is; what the run adds must not be
// lost with it. Root reads any file whatever its permissions, so the unreadable file is a link that leads to
// itself, which nobody can read.
TEST(TextFiles, ChangesToAFileThatCouldNotBeReadAreKeptBesideItAndTheUserIsTold) {
    struct Case {
        const char *file;
        std::string (*run)(const std::string &path, std::string &message); // loads, adds an entry, saves
        const char *kept;                                                  // what the kept file then holds
    };
    const Case cases[] = {
        {"teleport.txt",
         [](const std::string &path, std::string &message) {
             TeleportList list;
             list.Load(path);
             message = list.LoadMessage();
             list.AddLine("Town 1N 2W:Home");
             const FileResult saved = list.Save(path);
             EXPECT_TRUE(saved.ok) << saved.error;
             return list.KeptPath();
         },
         "Town 1N 2W:Home\r\n"},
        {"avatars.txt",
         [](const std::string &path, std::string &message) {
             AvatarTable table;
             table.Load(path);
             message = table.LoadMessage();
             table.RecordAvatar("Town", 7);
             const FileResult saved = table.Save(path);
             EXPECT_TRUE(saved.ok) << saved.error;
             return table.KeptPath();
         },
         "Town:7\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        const std::string path = dir.File(c.file);
        ASSERT_EQ(::symlink(c.file, path.c_str()), 0);
        // An earlier run's kept changes are not written over either.
        ASSERT_TRUE(WriteFileAtomically(path + ".unsaved", "earlier run").ok);
        std::string message;
        const std::string kept = c.run(path, message);
        EXPECT_EQ(kept, path + ".unsaved-2");
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(kept), std::string::npos) << "the message names where the changes go: " << message;
        EXPECT_EQ(ReadWholeFile(kept), c.kept);
        EXPECT_EQ(ReadWholeFile(path + ".unsaved"), "earlier run");
        EXPECT_TRUE(std::filesystem::is_symlink(path)) << "the unreadable file is left as it was";
    }
}

} // namespace
