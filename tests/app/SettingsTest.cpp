#include "app/Settings.h"

#include "TempDir.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"

#include <climits>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Settings FromText(const std::string &text) {
    Settings settings;
    settings.ReadFrom(IniFile::Parse(text));
    return settings;
}

TEST(Settings, FirstRunGivesTheDefaults) {
    TempDir dir;
    const Settings s = Settings::Load(dir.File("gabbler.ini"));
    EXPECT_EQ(s, Settings{});
    EXPECT_TRUE(s.showGradient);
    EXPECT_TRUE(s.showAvatarMap);
    EXPECT_EQ(s.chatBox, (Rgb{255, 255, 255}));
    EXPECT_EQ(s.font.size, 10);
    EXPECT_EQ(s.font.faceName, "");
    EXPECT_FALSE(s.enableFonts);
    EXPECT_EQ(s.scrollbackLines, 1000000);
    EXPECT_FALSE(s.AlwaysOnTopActive());
}

TEST(Settings, WritesEveryKeyInOrder) {
    TempDir dir;
    const std::string path = dir.File("gabbler.ini");
    ASSERT_TRUE(Settings{}.Save(path).ok);
    EXPECT_EQ(ReadWholeFile(path), "[Settings]\n"
                                   "DisplayEnterExit=0\n"
                                   "ShowGradient=1\n"
                                   "TimestampMsgs=0\n"
                                   "ShowAvatarMap=1\n"
                                   "DontShowEmptyWorlds=0\n"
                                   "DontShowPrivateWorlds=0\n"
                                   "PlayWave=0\n"
                                   "ChatBoxRed=255\n"
                                   "ChatBoxGreen=255\n"
                                   "ChatBoxBlue=255\n"
                                   "ShowAvClicks=0\n"
                                   "Use12HourTime=0\n"
                                   "WaveLocation=\n"
                                   "LoginWaveLocation=\n"
                                   "AvEntryWaveLocation=\n"
                                   "PlayAvEntrySound=0\n"
                                   "PlayLoginSound=0\n"
                                   "AvatarMapZoomType=0\n"
                                   "AlwaysOnTop=0\n"
                                   "ReenterWorld=0\n"
                                   "ScrollbackLines=1000000\n"
                                   "StayWhereScrolled=0\n"
                                   "HideAutoAnswers=0\n"
                                   "OnlyWhispers=0\n"
                                   "HideEnterExit=0\n"
                                   "RecordHistory=1\n"
                                   "NotifyWhispers=1\n"
                                   "NotifyName=1\n"
                                   "NotifyDisconnect=1\n"
                                   "TrayIcon=0\n"
                                   "CloseToTray=0\n"
                                   "AvMapLeft=0\n"
                                   "AvMapTop=0\n"
                                   "AvMapRight=0\n"
                                   "AvMapBottom=0\n"
                                   "[Global]\n"
                                   "EnterGlobal=0\n"
                                   "ChatRed=0\n"
                                   "ChatGreen=0\n"
                                   "ChatBlue=0\n"
                                   "ChatBold=0\n"
                                   "ChatItalics=0\n"
                                   "[Fonts]\n"
                                   "EnableFonts=0\n"
                                   "Effects=0\n"
                                   "FaceName=\n"
                                   "Family=0\n"
                                   "Size=10\n"
                                   "[Feedback]\n"
                                   "Host=localhost\n"
                                   "Port=25\n"
                                   "Sender=gabbler@localhost\n"
                                   "FeedbackAddress=feedback@localhost\n");
}

TEST(Settings, EveryKeySurvivesASaveAndLoad) {
    Settings s;
    s.displayEnterExit = true;
    s.showGradient = false;
    s.timestampMsgs = true;
    s.showAvatarMap = false;
    s.dontShowEmptyWorlds = true;
    s.dontShowPrivateWorlds = true;
    s.playWave = true;
    s.chatBox = {1, 2, 3};
    s.showAvClicks = true;
    s.use12HourTime = true;
    s.waveLocation = "/sounds/whisper.wav";
    s.loginWaveLocation = "/sounds/login.wav";
    s.avEntryWaveLocation = "/sounds/with space/entry.wav";
    s.playAvEntrySound = true;
    s.playLoginSound = true;
    s.avatarMapZoomType = 1;
    s.alwaysOnTop = 1;
    s.reenterWorld = true;
    s.scrollbackLines = 5000;
    s.stayWhereScrolled = true;
    s.hideAutoAnswers = true;
    s.onlyWhispers = true;
    s.hideEnterExit = true;
    s.recordHistory = false;
    s.enterGlobal = true;
    s.globalChat = {250, 128, 7};
    s.chatBold = true;
    s.chatItalics = true;
    s.enableFonts = true;
    s.font = {ChatFont::kUnderline | ChatFont::kStrikeOut, "DejaVu Sans Mono", 0x31, 210};
    s.avMapLeft = -10;
    s.avMapTop = 20;
    s.avMapRight = 300;
    s.avMapBottom = 400;
    s.feedbackHost = "mail.example.org";
    s.feedbackPort = 2525;
    s.feedbackSender = "bot@example.org";
    s.feedbackAddress = "maker@example.org";

    TempDir dir;
    const std::string path = dir.File("gabbler.ini");
    ASSERT_TRUE(s.Save(path).ok);
    EXPECT_EQ(Settings::Load(path), s);
    // Saving again changes nothing.
    const auto first = ReadWholeFile(path);
    ASSERT_TRUE(Settings::Load(path).Save(path).ok);
    EXPECT_EQ(ReadWholeFile(path), first);
}

struct OnTopCase {
    const char *stored;
    int value;
    bool onTop;
};

TEST(Settings, AlwaysOnTopOnlyWhenExactlyOne) {
    const OnTopCase cases[] = {{"0", 0, false}, {"1", 1, true}, {"2", 2, false}, {"-1", -1, false}, {"yes", 0, false}};
    for (const auto &c : cases) {
        const Settings s = FromText(std::string("[Settings]\nAlwaysOnTop=") + c.stored + "\n");
        EXPECT_EQ(s.alwaysOnTop, c.value) << c.stored;
        EXPECT_EQ(s.AlwaysOnTopActive(), c.onTop) << c.stored;
    }
    // A stored 2 is written back as it was read.
    IniFile ini;
    FromText("[Settings]\nAlwaysOnTop=2\n").WriteTo(ini);
    EXPECT_EQ(ini.GetInt("Settings", "AlwaysOnTop", 0), 2);
}

struct ReadCase {
    const char *text;
    bool (*check)(const Settings &);
};

TEST(Settings, BadValuesReadAsZeroOrAreBroughtIntoRange) {
    const ReadCase cases[] = {
        {"[Settings]\nShowGradient=abc\n", [](const Settings &s) { return !s.showGradient; }},
        {"[Settings]\nShowAvatarMap=\n", [](const Settings &s) { return !s.showAvatarMap; }},
        {"[Settings]\nTimestampMsgs=7\n", [](const Settings &s) { return s.timestampMsgs; }},
        {"[Fonts]\nEnableFonts=-3\n", [](const Settings &s) { return s.enableFonts; }},
        {"[Settings]\nChatBoxRed=red\nChatBoxGreen=300\nChatBoxBlue=-5\n",
         [](const Settings &s) {
             return s.chatBox == Rgb{0, 255, 0};
         }},
        {"[Global]\nChatRed=99999999999\n", [](const Settings &s) { return s.globalChat.red == 255; }},
        {"[Fonts]\nSize=0\nFamily=999\n", [](const Settings &s) { return s.font.size == 1 && s.font.family == 255; }},
        {"[Fonts]\nSize=99999999\n", [](const Settings &s) { return s.font.size == Settings::kMaxFontSize; }},
        {"[Settings]\nAvatarMapZoomType=7\n", [](const Settings &s) { return s.avatarMapZoomType == 0; }},
        {"[Settings]\nScrollbackLines=lots\n",
         [](const Settings &s) { return s.scrollbackLines == Settings::kMinScrollback; }},
        {"[Settings]\nScrollbackLines=2147483647\n",
         [](const Settings &s) { return s.scrollbackLines == Settings::kMaxScrollback; }},
        {"[Feedback]\nPort=70000\n", [](const Settings &s) { return s.feedbackPort == 25; }},
        {"[Feedback]\nPort=smtp\n", [](const Settings &s) { return s.feedbackPort == 25; }},
        {"[Settings]\nAvMapLeft=-2147483649\n", [](const Settings &s) { return s.avMapLeft == INT_MIN; }},
        {"[Fonts]\nFaceName=A Face Name Longer Than Thirty-One Characters\n",
         [](const Settings &s) { return s.font.faceName == "A Face Name Longer Than Thirty-One Characters"; }},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(c.check(FromText(c.text))) << c.text;
    }
}

TEST(Settings, SavingKeepsWhatAPersonAddedToTheFile) {
    TempDir dir;
    const std::string path = dir.File("gabbler.ini");
    ASSERT_TRUE(WriteFileAtomically(path, "\xEF\xBB\xBF; my notes\r\n[Settings]\r\nTimestampMsgs=1\r\nMine=x\r\n"
                                          "[Plugins]\r\nSomething=else\r\n")
                    .ok);
    Settings s = Settings::Load(path);
    EXPECT_TRUE(s.timestampMsgs);
    s.timestampMsgs = false;
    ASSERT_TRUE(s.Save(path).ok);
    const IniFile saved = IniFile::Parse(*ReadWholeFile(path));
    EXPECT_EQ(saved.Get("Settings", "TimestampMsgs"), "0");
    EXPECT_EQ(saved.Get("Settings", "Mine"), "x");
    EXPECT_EQ(saved.Get("Plugins", "Something"), "else");
    EXPECT_TRUE(ReadWholeFile(path)->starts_with("; my notes\n[Settings]\nTimestampMsgs=0\nMine=x\n"));
}

TEST(Settings, AnUnreadableFileIsNotWrittenOver) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser can read any file";
    }
    TempDir dir;
    const std::string path = dir.File("gabbler.ini");
    ASSERT_TRUE(WriteFileAtomically(path, "[Settings]\nTimestampMsgs=1\n").ok);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_EQ(Settings::Load(path), Settings{});
    const FileResult result = Settings{}.Save(path);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(path), std::string::npos) << result.error;
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(ReadWholeFile(path), "[Settings]\nTimestampMsgs=1\n");
}

} // namespace
