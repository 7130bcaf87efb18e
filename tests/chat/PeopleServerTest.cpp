// The people handlers against a real universe in this process (see PeopleServerFixture.h).

#include "PeopleServerFixture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using namespace people_server;

namespace {

TEST_F(PeopleWithServer, ArrivalLinesCountersAndDepartures) {
    Enter("Sunset");
    struct Case {
        const char *name;
        int citizen;
        int privilege;
        const char *line;
    };
    const Case cases[] = {
        {"Alice", 5, 5, "Immigration Officer: Alice (citizen 5) has entered."},
        {"Bob", 6, 1234, "Immigration Officer: Bob (citizen 6; privileges of 1234) has entered."},
        {"[Helper]", 0, 1234, "Immigration Officer: [Helper] (privileges of 1234) has entered."},
        {"\"Visitor\"", 0, 0, "Immigration Officer: \"Visitor\" has entered."},
    };
    std::vector<int> sessions;
    for (const Case &c : cases) {
        sessions.push_back(Arrive(c.name, c.citizen, c.privilege));
        EXPECT_EQ(h_.Texts().back(), c.line);
        EXPECT_EQ(h_.Lines().back().format.colour, ChatColour::Green);
    }
    EXPECT_EQ(h_.Rows(), (std::vector<std::string>{"\"Visitor\"", "[Helper]", "Alice", "Bob"}));
    EXPECT_EQ(std::make_pair(h_.view.users, h_.view.bots), std::make_pair(3, 1)) << "only [Helper] is a bot";
    const AvatarRecord *helper = h_.people.Roster().Find(sessions[2]);
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(std::make_tuple(helper->x, helper->z, helper->privilege), std::make_tuple(100, 200, 1234));
    EXPECT_EQ(h_.view.marks.at(sessions[2]), (RecordedMark{"[Helper]", 100, 200}));

    Leave(sessions[2]);
    EXPECT_EQ(h_.Texts().back(), "Immigration Officer: [Helper] has exited.");
    EXPECT_EQ(std::make_pair(h_.view.users, h_.view.bots), std::make_pair(3, 0));
    Leave(sessions[0]);
    EXPECT_EQ(std::make_pair(h_.view.users, h_.view.bots), std::make_pair(2, 0));
    EXPECT_EQ(h_.Rows(), (std::vector<std::string>{"\"Visitor\"", "Bob"}));
    EXPECT_EQ(h_.view.marks.count(sessions[0]), 0u);
}

TEST_F(PeopleWithServer, MutedPersonStaysMutedAcrossLeavingAndComingBack) {
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    const int bob = Arrive("Bob", 6, 6);
    Select("Alice", alice);
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::Mute));
    EXPECT_EQ(h_.Rows(), (std::vector<std::string>{"Alice|Yes", "Bob"}));
    ASSERT_TRUE(server_->Say(alice, "can you hear me"));
    ASSERT_TRUE(server_->AskOwner(alice, h_.botName));
    ASSERT_TRUE(server_->Whisper(alice, SdkSession(), "psst"));
    ASSERT_TRUE(server_->Say(bob, "I can be heard"));
    ASSERT_TRUE(PumpUntilShown("Bob: I can be heard"));
    Leave(alice);
    const int back = Arrive("Alice", 5, 5);
    EXPECT_EQ(h_.Rows(), (std::vector<std::string>{"Alice|Yes", "Bob"}));
    ASSERT_TRUE(server_->Say(back, "back again"));
    ASSERT_TRUE(server_->Say(bob, "done"));
    ASSERT_TRUE(PumpUntilShown("Bob: done"));
    for (const std::string &text : h_.Texts()) {
        EXPECT_EQ(text.find("Alice:"), std::string::npos) << text;
        EXPECT_EQ(text.find("Whisper from Alice"), std::string::npos) << text;
        EXPECT_EQ(text.find("response"), std::string::npos) << text;
    }
    EXPECT_TRUE(WhispersTo(alice).empty()) << "a muted asker gets no answer";
}

TEST_F(PeopleWithServer, OwnerAndVersionQuestions) {
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    struct Case {
        const char *question;
        const char *reply; // nullptr: not a question
        const char *report;
    };
    const Case cases[] = {
        {"Tester owner", "I'm owned by Ownerly (Citizen number 1234).",
         "Immigration Officer: Sent owner response to Alice."},
        {"TESTER OWNER", "I'm owned by Ownerly (Citizen number 1234).",
         "Immigration Officer: Sent owner response to Alice."},
        {"tester Version", "I'm using Gabbler Build 35.", "Immigration Officer: Sent version response to Alice."},
        {"Tester owner please", nullptr, nullptr},
        {"Tester owner ", nullptr, nullptr},
        {"hey Tester owner", nullptr, nullptr},
        {"[Tester] owner", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        const std::size_t whispered = WhispersTo(alice).size();
        h_.chat.ClearBuffer();
        ASSERT_TRUE(server_->Say(alice, c.question));
        ASSERT_TRUE(PumpUntilShown(std::string("Alice: ") + c.question)) << c.question;
        const auto whispers = WhispersTo(alice);
        if (!c.reply) {
            EXPECT_EQ(whispers.size(), whispered) << c.question;
            EXPECT_EQ(h_.Texts().size(), 1u) << c.question;
            continue;
        }
        ASSERT_EQ(whispers.size(), whispered + 1) << c.question;
        EXPECT_EQ(whispers.back(), c.reply);
        EXPECT_EQ(h_.Texts(), (std::vector<std::string>{c.report, std::string("Alice: ") + c.question}))
            << "the report comes before the question, which is shown as chat";
        EXPECT_EQ(h_.Lines().front().format.colour, ChatColour::Green);
    }
}

TEST_F(PeopleWithServer, NoAnswersInAWorldWithoutWhispers) {
    Enter("Oldtown");
    const int alice = Arrive("Alice", 5, 5);
    ASSERT_TRUE(server_->AskOwner(alice, h_.botName));
    ASSERT_TRUE(PumpUntilShown("Alice: Tester owner"));
    EXPECT_TRUE(WhispersTo(alice).empty());
    EXPECT_FALSE(h_.Shows("Immigration Officer: Sent owner response to Alice."));
}

TEST_F(PeopleWithServer, ChatAndWhispersArriveAsPlainLines) {
    Enter("Sunset");
    h_.playWave = true;
    h_.waveLocation = "/sounds/whisper.wav";
    const int alice = Arrive("Alice", 5, 5);
    ASSERT_TRUE(server_->Say(alice, "tab\there\nand <b>markup</b>"));
    ASSERT_TRUE(PumpUntilShown("Alice: tab here and <b>markup</b>"));
    ASSERT_TRUE(server_->Whisper(alice, SdkSession(), "just for you"));
    ASSERT_TRUE(PumpUntilShown("Whisper from Alice: just for you"));
    EXPECT_EQ(h_.Lines().back().format, (ChatFormat{ChatColour::Blue, false, true, false}));
    EXPECT_EQ(h_.view.sounds, (std::vector<std::string>{"/sounds/whisper.wav"}));
}

TEST_F(PeopleWithServer, WhisperTargetLeaving) {
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    h_.people.ChooseWhisperTarget("Alice", alice);
    EXPECT_EQ(h_.view.whisperLabel, "Whisper to: Alice");
    EXPECT_TRUE(h_.view.whisperEnabled);
    h_.view.whisperText = "are you still there";
    Leave(alice);
    EXPECT_EQ(h_.view.whisperText, "");
    EXPECT_FALSE(h_.view.whisperEnabled);
    EXPECT_EQ(h_.view.whisperLabel, "Select a name from the userlist.");
    EXPECT_EQ(h_.whisperSession, alice) << "the target is kept";
}

TEST_F(PeopleWithServer, CitizenNumberFromTheRosterFromBuild28) {
    Enter("Build28");
    struct Case {
        const char *name;
        int citizen;
        int privilege;
        const char *line;
    };
    const Case cases[] = {
        {"Alice", 5, 5, "Immigration Officer: Alice is citizen number 5."},
        {"Bob", 6, 1234, "Immigration Officer: Bob is citizen number 6, and using the privileges of 1234."},
        {"[Helper]", 0, 1234, "Immigration Officer: [Helper] is using the privileges of 1234."},
    };
    h_.displayEnterExit = false;
    for (const Case &c : cases) {
        const int session = Arrive(c.name, c.citizen, c.privilege);
        Select(c.name, session);
        ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::GetCitNumber));
        // No request: the answer is there before any pump.
        EXPECT_EQ(h_.Texts().back(), c.line);
    }
    const std::size_t lines = h_.Texts().size();
    Select("Ghost", 999);
    h_.people.RunCommand(PeopleCommand::GetCitNumber);
    PumpFor(100ms);
    EXPECT_EQ(h_.Texts().size(), lines) << "nobody in the roster, nothing said";
}

TEST_F(PeopleWithServer, CitizenNumberAndHomePageByRequest) {
    Enter("Build27");
    h_.displayEnterExit = false;
    const int alice = Arrive("Alice", 5, 5, 400);
    const int bob = Arrive("Bob", 6, 6, 400);
    const int carol = Arrive("Carol", 0, 0, 400); // not a citizen of this universe
    struct Case {
        int command;
        const char *name;
        int session;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {PeopleCommand::GetCitNumber,
         "Alice",
         alice,
         {"Immigration Officer: Looking up citizen number of Alice.",
          "Immigration Officer: Alice has a citizen number of 5."}},
        {PeopleCommand::GetCitNumber,
         "Carol",
         carol,
         {"Immigration Officer: Looking up citizen number of Carol.", "Immigration Officer: Unable to lookup Carol."}},
        {PeopleCommand::GetHomePage,
         "Alice",
         alice,
         {"Immigration Officer: Looking up home page of Alice.",
          "Immigration Officer: Alice's home page is  http://alice.example/"}},
        {PeopleCommand::GetHomePage,
         "Bob",
         bob,
         {"Immigration Officer: Looking up home page of Bob.", "Bob does not have a home page set."}},
        {PeopleCommand::GetHomePage,
         "Carol",
         carol,
         {"Immigration Officer: Looking up home page of Carol.",
          "Immigration Officer: Unable to lookup the home page of Carol."}},
    };
    for (const Case &c : cases) {
        h_.chat.ClearBuffer();
        Select(c.name, c.session);
        ASSERT_TRUE(h_.people.RunCommand(c.command));
        EXPECT_EQ(h_.Texts(), std::vector<std::string>{c.lines.front()}) << "asked, not yet answered";
        // Another row selected meanwhile does not change whom the answer is about.
        Select("Somebody", 4242);
        ASSERT_TRUE(PumpUntilShown(c.lines.back())) << c.lines.back();
        EXPECT_EQ(h_.Texts(), c.lines);
        for (const ShownLine &line : h_.Lines()) {
            EXPECT_EQ(line.format, (ChatFormat{ChatColour::Green, false, false, false})) << line.text;
        }
    }
}

TEST_F(PeopleWithServer, LookupIp) {
    Enter("Sunset");
    h_.displayEnterExit = false;
    const std::uint32_t address = static_cast<std::uint32_t>(NetworkOrderFromHostOrder(0x0A010203));
    const int alice = Arrive("Alice", 5, 5, 0, address);
    Select("Alice", alice);
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::LookupIp));
    ASSERT_TRUE(PumpUntilShown("Immigration Officer: Alice has an IP of 10.1.2.3"));

    // The answer comes after the world was left: the roster no longer knows the session.
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::LookupIp));
    h_.people.Reset();
    ASSERT_TRUE(PumpUntilShown("Immigration Officer: That user has an IP of 10.1.2.3"));
}

TEST_F(PeopleWithServer, LookupIpRefused) {
    Enter("Plain"); // neither caretaker nor eject right here
    h_.displayEnterExit = false;
    const int alice = Arrive("Alice", 5, 5);
    Select("Alice", alice);
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::LookupIp));
    ASSERT_TRUE(PumpUntilShown("Gabbler is unable to determine the IP address (reason: unauthorized)."));
}

TEST_F(PeopleWithServer, ClicksAndUrls) {
    Enter("Sunset");
    h_.displayEnterExit = false;
    const int alice = Arrive("Alice", 5, 5);
    ASSERT_TRUE(server_->Click(alice, SdkSession()));
    ASSERT_TRUE(server_->SendUrl(alice, SdkSession(), "http://example.org/<b>", ""));
    ASSERT_TRUE(PumpUntilShown("Immigration Officer: Alice just sent you the URL: http://example.org/<b>"));
    EXPECT_EQ(h_.Texts().size(), 1u) << "a click is not shown while ShowAvClicks is off";

    h_.showAvClicks = true;
    ASSERT_TRUE(server_->Click(alice, SdkSession()));
    ASSERT_TRUE(PumpUntilShown("Immigration Officer: Alice just clicked on you."));

    // A click reported for somebody else is not about the bot.
    const std::size_t lines = h_.Texts().size();
    SdkSetInt(kAttrClickedSession, SdkSession() + 1);
    SdkSetString(kAttrAvatarName, "Alice");
    h_.people.Lookups().OnAvatarClick();
    EXPECT_EQ(h_.Texts().size(), lines);
}

TEST_F(PeopleWithServer, ClickUserReachesThePerson) {
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    Select("Alice", alice);
    const std::size_t lines = h_.Texts().size();
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::ClickUser));
    ASSERT_TRUE(PumpUntil([&] {
        for (const InboxEntry &entry : server_->Inbox(alice)) {
            if (entry.kind == InboxEntry::Kind::Click) {
                return true;
            }
        }
        return false;
    }));
    EXPECT_EQ(h_.Texts().size(), lines) << "nothing written";
}

TEST_F(PeopleWithServer, GetVersionAsksABotByWhisper) {
    Enter("Sunset");
    h_.displayEnterExit = false;
    const int helper = Arrive("[Helper]", 0, 1234);
    Select("[Helper]", helper);
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::GetVersion));
    EXPECT_EQ(h_.Texts(), (std::vector<std::string>{"[Tester] (to [Helper]): Helper version"}));
    EXPECT_EQ(WhispersTo(helper), (std::vector<std::string>{"Helper version"}));
}

} // namespace
