// The people handlers fed with events written into the SDK's attributes, as SdkWait hands them over; no server.
// Whispers go nowhere here (there is no bot instance), which the handlers do not look at.

#include "PeopleHarness.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class PeopleHandlers : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkSetInt(kAttrWorldBuildNumber, 40);
    }
    void TearDown() override { SdkTerm(); }

    PeopleHarness h;
};

constexpr ChatFormat kGreen{ChatColour::Green, false, false, false};

TEST_F(PeopleHandlers, ArrivalsAndDeparturesWithoutEnterExitLinesStillCount) {
    h.displayEnterExit = false;
    h.playAvEntrySound = true;
    h.avEntryWaveLocation = "/sounds/door.wav";
    DeliverArrival(h.people, {"Alice", 5, 10, 10, 0, 300, 400});
    DeliverArrival(h.people, {"[Helper]", 6, 0, 10});
    EXPECT_TRUE(h.Lines().empty());
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"[Helper]", "Alice"}));
    EXPECT_EQ(std::make_pair(h.view.users, h.view.bots), std::make_pair(1, 1));
    EXPECT_EQ(h.view.marks.at(5), (RecordedMark{"Alice", 300, 400}));
    EXPECT_EQ(h.view.sounds.size(), 2u) << "the entry sound plays without the lines";
    DeliverDeparture(h.people, "Alice", 5);
    EXPECT_TRUE(h.Lines().empty());
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"[Helper]"}));
    EXPECT_EQ(std::make_pair(h.view.users, h.view.bots), std::make_pair(0, 1));
    EXPECT_EQ(h.view.marks.count(5), 0u);
    EXPECT_EQ(h.people.Roster().Find(5), nullptr);
}

TEST_F(PeopleHandlers, EntrySoundNeedsTheSettingAndAFile) {
    struct Case {
        bool play;
        const char *file;
        std::size_t sounds;
    };
    const Case cases[] = {{true, "/a.wav", 1}, {true, "", 0}, {false, "/a.wav", 0}};
    int session = 1;
    for (const Case &c : cases) {
        h.view.sounds.clear();
        h.playAvEntrySound = c.play;
        h.avEntryWaveLocation = c.file;
        DeliverArrival(h.people, {"Alice", session++});
        EXPECT_EQ(h.view.sounds.size(), c.sounds) << c.play << " '" << c.file << "'";
    }
}

TEST_F(PeopleHandlers, TimestampGoesBeforeEnterAndExitLines) {
    h.timestampMsgs = true;
    DeliverArrival(h.people, {"Alice", 5});
    DeliverDeparture(h.people, "Alice", 5);
    ASSERT_EQ(h.chat.Log().LineCount(), 2u);
    const char *endings[] = {"] Immigration Officer: Alice has entered.", "] Immigration Officer: Alice has exited."};
    for (std::size_t i = 0; i < 2; ++i) {
        const ChatLine line = h.chat.Log().Line(i);
        ASSERT_EQ(line.RunCount(), 2u);
        EXPECT_EQ(line.Run(0).format.colour, ChatColour::Black);
        EXPECT_EQ(line.Text().front(), '[');
        EXPECT_TRUE(line.Text().ends_with(endings[i])) << line.Text();
        EXPECT_EQ(line.Run(1).format, kGreen);
    }
}

TEST_F(PeopleHandlers, EventsForUnknownSessions) {
    DeliverArrival(h.people, {"Alice", 5});
    const auto lines = h.chat.Log().LineCount();
    DeliverChange(h.people, "Ghost", 77, 100, 200);
    EXPECT_EQ(h.view.marks.at(77), (RecordedMark{"Ghost", 100, 200})) << "a change moves the map only";
    EXPECT_EQ(h.people.Roster().Find(77), nullptr);
    DeliverDeparture(h.people, "Ghost", 77);
    EXPECT_EQ(h.chat.Log().LineCount(), lines) << "nothing written";
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"Alice"}));
    EXPECT_EQ(std::make_pair(h.view.users, h.view.bots), std::make_pair(1, 0));
    EXPECT_EQ(h.view.marks.count(77), 0u) << "no mark is left for somebody who is gone";
}

TEST_F(PeopleHandlers, ChangeMovesTheRecordButKeepsWhoItIs) {
    DeliverArrival(h.people, {"Alice", 5, 10, 11, 361, 1, 2});
    DeliverChange(h.people, "Alice", 5, 300, 400, 900);
    const AvatarRecord *r = h.people.Roster().Find(5);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::make_tuple(r->x, r->z, r->yaw, r->avatarType, r->citizen, r->privilege, r->browserBuild),
              std::make_tuple(300, 400, 900, 7, 10, 11, 361));
    EXPECT_EQ(h.view.marks.at(5), (RecordedMark{"Alice", 300, 400}));
    EXPECT_EQ(FormatAvatarCoordinates(h.people.Roster(), 5), "0.4N 0.3W 0.0a 90");
}

TEST_F(PeopleHandlers, ASecondArrivalOfASessionReplacesItsRowAndCount) {
    DeliverArrival(h.people, {"[Helper]", 5});
    DeliverArrival(h.people, {"Alice", 5});
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"Alice"}));
    EXPECT_EQ(std::make_pair(h.view.users, h.view.bots), std::make_pair(1, 0));
    // A departure that names somebody else is counted by the name that arrived.
    DeliverDeparture(h.people, "[Other]", 5);
    EXPECT_TRUE(h.Rows().empty());
    EXPECT_EQ(std::make_pair(h.view.users, h.view.bots), std::make_pair(0, 0));
}

TEST_F(PeopleHandlers, ResetEmptiesTheWorldButKeepsMutes) {
    DeliverArrival(h.people, {"Alice", 5});
    DeliverArrival(h.people, {"[Helper]", 6});
    h.selectedName = "Alice";
    h.selectedSession = 5;
    h.people.Mute();
    h.people.Reset();
    EXPECT_TRUE(h.Rows().empty());
    EXPECT_EQ(std::make_pair(h.view.users, h.view.bots), std::make_pair(0, 0));
    EXPECT_TRUE(h.view.marks.empty());
    EXPECT_EQ(h.people.Roster().Count(), 0u);
    EXPECT_TRUE(h.people.Muted().IsMuted("Alice"));
    DeliverArrival(h.people, {"Alice", 9});
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"Alice|Yes"}));
}

TEST_F(PeopleHandlers, MuteAndUnmute) {
    h.displayEnterExit = false;
    DeliverArrival(h.people, {"Alice", 5});
    DeliverArrival(h.people, {"Alice", 8});
    DeliverArrival(h.people, {"b'a", 6});
    DeliverArrival(h.people, {"a", 7});
    h.selectedName = "b'a";
    h.selectedSession = 6;
    ASSERT_TRUE(h.people.RunCommand(PeopleCommand::Mute));
    h.selectedName = "Alice";
    h.selectedSession = 5;
    ASSERT_TRUE(h.people.RunCommand(PeopleCommand::Mute));
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"a", "Alice|Yes", "Alice|Yes", "b'a|Yes"}));
    DeliverChat(h.people, 0, "a", 7, "still heard");
    DeliverChat(h.people, 0, "b'a", 6, "not heard");
    DeliverChat(h.people, 2, "Alice", 8, "not heard either");
    ASSERT_TRUE(h.people.RunCommand(PeopleCommand::Unmute));
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"a", "Alice", "Alice", "b'a|Yes"}));
    EXPECT_EQ(h.Texts(), (std::vector<std::string>{"Immigration Officer: Now muting b'a.",
                                                   "Immigration Officer: Now muting Alice.", "a: still heard",
                                                   "Immigration Officer: Now listening to Alice again."}));
    EXPECT_EQ(h.Lines().front().format, kGreen);
}

TEST_F(PeopleHandlers, CommandsWithoutASelectedPersonDoNothing) {
    DeliverArrival(h.people, {"Alice", 5});
    const auto lines = h.chat.Log().LineCount();
    for (const int command :
         {PeopleCommand::Mute, PeopleCommand::Unmute, PeopleCommand::GetVersion, PeopleCommand::GetCitNumber,
          PeopleCommand::GetHomePage, PeopleCommand::LookupIp, PeopleCommand::ClickUser}) {
        EXPECT_TRUE(h.people.RunCommand(command)) << command;
    }
    EXPECT_EQ(h.chat.Log().LineCount(), lines);
    EXPECT_EQ(h.people.Muted().Count(), 0u);
    for (const int command : {PeopleCommand::Eject, PeopleCommand::SendUrl, PeopleCommand::TeleportUser,
                              PeopleCommand::CopyAvatar, PeopleCommand::JoinAvatar, PeopleCommand::FaceAvatar}) {
        EXPECT_FALSE(h.people.RunCommand(command)) << command << " belongs to another part";
    }
}

TEST_F(PeopleHandlers, ChatLinesByType) {
    struct Case {
        int type;
        const char *name;
        const char *message;
        const char *line; // nullptr: nothing shown
        ChatFormat format;
    };
    const Case cases[] = {
        {0, "Alice", "hello", "Alice: hello", {ChatColour::Black, false, false, false}},
        {0, "\"Visitor\"", "hello", "\"Visitor\": hello", {ChatColour::Grey, false, false, false}},
        {1, "Alice", "hear ye", "Alice: hear ye", {ChatColour::Black, true, false, false}},
        {1, "\"Visitor\"", "hear ye", "\"Visitor\": hear ye", {ChatColour::Grey, true, false, false}},
        {0, "[Helper]", "beep", "[Helper]: beep", {ChatColour::Black, false, false, false}},
        {2, "Alice", "psst", "Whisper from Alice: psst", {ChatColour::Blue, false, true, false}},
        {2, "\"Visitor\"", "psst", "Whisper from \"Visitor\": psst", {ChatColour::Blue, false, true, false}},
        {0, "Alice", "a\tb\nc\rd\r\ne", "Alice: a b c d  e", {ChatColour::Black, false, false, false}},
        {0, "Al\nice", "x", "Al ice: x", {ChatColour::Black, false, false, false}},
        {0,
         "Alice",
         "<b>bold</b> <a href=\"http://x\">link</a> &amp;",
         "Alice: <b>bold</b> <a href=\"http://x\">link</a> &amp;",
         {ChatColour::Black, false, false, false}},
        {3, "Alice", "odd type", nullptr, {}},
        {-1, "Alice", "odd type", nullptr, {}},
    };
    for (const bool stamped : {false, true}) {
        h.timestampMsgs = stamped;
        for (const Case &c : cases) {
            h.chat.ClearBuffer();
            DeliverChat(h.people, c.type, c.name, 5, c.message);
            const auto lines = h.Lines();
            if (!c.line) {
                EXPECT_TRUE(lines.empty()) << "type " << c.type << ": not shown, not even its timestamp";
                continue;
            }
            ASSERT_EQ(lines.size(), 1u) << c.line;
            EXPECT_EQ(h.chat.Log().LastLineOpen(), false) << c.line;
            const std::string text = lines[0].text;
            if (stamped) {
                EXPECT_TRUE(text.starts_with("[") && text.ends_with(std::string("] ") + c.line)) << text;
            } else {
                EXPECT_EQ(text, c.line);
            }
            EXPECT_EQ(lines[0].format, c.format) << c.line;
        }
    }
}

TEST_F(PeopleHandlers, WhisperSoundNeedsTheSettingAndAFile) {
    struct Case {
        int type;
        bool play;
        const char *file;
        std::size_t sounds;
    };
    const Case cases[] = {{2, true, "/w.wav", 1}, {2, true, "", 0}, {2, false, "/w.wav", 0}, {0, true, "/w.wav", 0}};
    for (const Case &c : cases) {
        h.view.sounds.clear();
        h.playWave = c.play;
        h.waveLocation = c.file;
        DeliverChat(h.people, c.type, "Alice", 5, "hi");
        EXPECT_EQ(h.view.sounds.size(), c.sounds) << c.type << " " << c.play << " '" << c.file << "'";
    }
}

TEST_F(PeopleHandlers, ConsoleMessagesTakeTheirColourAndEmphasis) {
    h.timestampMsgs = true;
    SdkSetString(kAttrConsoleMessage, "[Ops]:\tServer restarts soon");
    SdkSetInt(kAttrConsoleRed, 0x1FF); // only the low eight bits count
    SdkSetInt(kAttrConsoleGreen, -1);
    SdkSetInt(kAttrConsoleBlue, 0x10);
    SdkSetBool(kAttrConsoleBold, true);
    SdkSetBool(kAttrConsoleItalics, false);
    h.people.Chat().OnConsoleMessage();
    ASSERT_EQ(h.chat.Log().LineCount(), 1u);
    const ChatLine line = h.chat.Log().Line(0);
    ASSERT_EQ(line.RunCount(), 2u) << "the timestamp first";
    EXPECT_EQ(line.Run(1).text, "[Ops]:\tServer restarts soon");
    EXPECT_EQ(line.Run(1).format, (ChatFormat{0xFFFF10, true, false, false}));
}

TEST_F(PeopleHandlers, GetVersion) {
    struct Case {
        const char *what;
        Arrival person;
        int worldBuild;
        bool inRoster;
        std::vector<std::string> lines;
        ChatFormat format;
    };
    const Case cases[] = {
        {"a bot is asked by whisper with its bare name",
         {"[Helper]", 6},
         40,
         true,
         {"[Tester] (to [Helper]): Helper version"},
         {ChatColour::Blue, false, true, false}},
        {"a bot in a world without whispers", {"[Helper]", 6}, 16, true, {}, {}},
        {"a citizen's client build", {"Alice", 5, 0, 0, 451}, 40, true, {"Alice is using browser build 451."}, kGreen},
        {"an unknown client build", {"Alice", 5}, 40, true, {"Alice is using an unknown browser version."}, kGreen},
        {"somebody who has left", {"Alice", 5, 0, 0, 451}, 40, false, {}, {}},
    };
    for (const Case &c : cases) {
        h.chat.ClearBuffer();
        h.people.Reset();
        h.displayEnterExit = false;
        SdkSetInt(kAttrWorldBuildNumber, c.worldBuild);
        if (c.inRoster) {
            DeliverArrival(h.people, c.person);
        }
        h.people.OpenMenu(c.person.name, c.person.session);
        ASSERT_TRUE(h.people.RunCommand(PeopleCommand::GetVersion));
        EXPECT_EQ(h.Texts(), c.lines) << c.what;
        if (!c.lines.empty()) {
            EXPECT_EQ(h.Lines().back().format, c.format) << c.what;
        }
    }
}

TEST_F(PeopleHandlers, ClickingARowChoosesTheWhisperTarget) {
    struct Case {
        int worldBuild;
        const char *label;
        const char *text;
        bool enabled;
    };
    const Case cases[] = {
        {17, "Whisper to: Alice", "", true},
        {16, "unchanged", "This world does not support whisper.", false},
    };
    for (const Case &c : cases) {
        SdkSetInt(kAttrWorldBuildNumber, c.worldBuild);
        h.view.whisperLabel = "unchanged";
        h.view.whisperText = "half a whisper";
        h.view.whisperEnabled = false;
        h.people.ChooseWhisperTarget("Alice", 5);
        EXPECT_EQ(std::make_pair(h.whisperName, h.whisperSession), std::make_pair(std::string("Alice"), 5));
        EXPECT_EQ(h.view.whisperLabel, c.label) << c.worldBuild;
        EXPECT_EQ(h.view.whisperText, c.text) << c.worldBuild;
        EXPECT_EQ(h.view.whisperEnabled, c.enabled) << c.worldBuild;
    }
}

TEST_F(PeopleHandlers, TheWhisperTargetLeaving) {
    struct Case {
        int worldBuild;
        const char *label;
    };
    for (const Case &c : {Case{17, "Select a name from the userlist."}, Case{16, "World doesn't support whisper."}}) {
        SdkSetInt(kAttrWorldBuildNumber, 40);
        DeliverArrival(h.people, {"Alice", 5});
        DeliverArrival(h.people, {"Bob", 6});
        h.people.ChooseWhisperTarget("Alice", 5);
        h.view.whisperText = "half a whisper";
        DeliverDeparture(h.people, "Bob", 6);
        EXPECT_EQ(h.view.whisperText, "half a whisper") << "somebody else leaving changes nothing";
        EXPECT_TRUE(h.view.whisperEnabled);
        SdkSetInt(kAttrWorldBuildNumber, c.worldBuild);
        DeliverDeparture(h.people, "Alice", 5);
        EXPECT_EQ(h.view.whisperText, "");
        EXPECT_FALSE(h.view.whisperEnabled);
        EXPECT_EQ(h.view.whisperLabel, c.label);
        EXPECT_EQ(std::make_pair(h.whisperName, h.whisperSession), std::make_pair(std::string("Alice"), 5))
            << "the target itself stays";
    }
}

TEST_F(PeopleHandlers, OpeningTheMenuSelectsThePersonAndReadsTheRights) {
    DeliverArrival(h.people, {"Alice", 5, 0, 0, 361});
    SdkSetInt(kAttrWorldBuildNumber, 23);
    SdkSetBool(kAttrWorldEject, true);
    SdkSetBool(kAttrWorldCaretaker, false);
    const PeopleMenuState state = h.people.OpenMenu("Alice", 5);
    EXPECT_EQ(std::make_pair(h.selectedName, h.selectedSession), std::make_pair(std::string("Alice"), 5));
    for (const int command : {PeopleCommand::Eject, PeopleCommand::TeleportUser, PeopleCommand::LookupIp,
                              PeopleCommand::GetHomePage, PeopleCommand::Mute}) {
        EXPECT_TRUE(state.Enabled(command)) << command;
    }
    for (const int command : {PeopleCommand::SendUrl, PeopleCommand::Unmute}) {
        EXPECT_FALSE(state.Enabled(command)) << command;
    }
    h.globalMode = true;
    EXPECT_FALSE(h.people.OpenMenu("[Helper]", 6).Enabled(PeopleCommand::GetVersion));
    EXPECT_FALSE(h.people.OpenMenu("[Helper]", 6).Enabled(PeopleCommand::GetHomePage)) << "not in the roster";
}

} // namespace
