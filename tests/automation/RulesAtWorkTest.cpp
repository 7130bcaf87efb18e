// Rules at work in the real bot against a real universe: from a hand-edited file, under a flood, in headless mode,
// and between two bots whose rules answer each other.

#include "RunningBot.h"
#include "app/HeadlessProcess.h"
#include "app/SessionActions.h"
#include "automation/RuleEngine.h"
#include "chat/HistoryRecorder.h"
#include "history/HistoryReader.h"

#include <algorithm>
#include <fstream>

namespace {

class RulesAtWork : public RunningBot {
protected:
    void WriteRules(const std::string &text) {
        std::ofstream file(home_.File("rules.txt"), std::ios::binary);
        file << text;
    }

    bool WaitForWhisper(int session, const std::string &text) {
        return PumpUntil(
            [&] {
                const auto inbox = server_->Inbox(session);
                return std::any_of(inbox.begin(), inbox.end(), [&](const InboxEntry &e) {
                    return e.kind == InboxEntry::Kind::Whisper && e.text == text;
                });
            },
            std::chrono::seconds(20));
    }

    int Said(const std::string &prefix) const {
        int count = 0;
        const ChatLog &log = bot_->Chat().Log();
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            count += log.Line(i).Text().starts_with(prefix) ? 1 : 0;
        }
        return count;
    }
};

constexpr const char *kGreeterAndAnswers = R"([Greeter]
when = arrival first-visit
then = whisper Welcome to {world}, {name}!

[Broken]
when = chat
then = shout at everybody

[Hours]
when = chat
words = opening hours
then = say We open at nine, {name}.
)";

TEST_F(RulesAtWork, AHandEditedFileWithABrokenRuleStillRunsTheOthers) {
    WriteRules(kGreeterAndAnswers);
    Start();
    EXPECT_TRUE(HasLine("Rules: rules.txt line 7: \"then\" is say, whisper, console, eject, teleport, notice or "
                        "notify; the rule \"Broken\" is left out."))
        << Pane();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(WaitForWhisper(alice, "Welcome to Sunset, Alice!")) << Pane();
    ASSERT_TRUE(server_->Say(alice, "What are your opening hours?"));
    ASSERT_TRUE(PumpUntil([&] { return HasLine("[Tester]: We open at nine, Alice."); })) << Pane();

    // The owner can see later what the bot did by itself, and which rule did it.
    ASSERT_NE(bot_->History().Writer(), nullptr);
    bot_->History().Writer()->Flush();
    HistoryReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(home_.Path(), false, error)) << error;
    const std::vector<AutomaticRecord> done = reader.Automatic(10);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[1].source, "rule Greeter");
    EXPECT_EQ(done[1].action, "whisper");
    EXPECT_EQ(done[1].target, "Alice");
    EXPECT_EQ(done[1].world, "Sunset");
    EXPECT_EQ(done[0].source, "rule Hours");
    EXPECT_EQ(done[0].text, "We open at nine, Alice.");

    // Changed by hand and read again, as after the window's save.
    WriteRules("[Bye]\nwhen = departure\nthen = say Farewell, {name}.\n");
    bot_->ReloadRules();
    ASSERT_EQ(bot_->Rules().Rules().size(), 1u);
    ASSERT_TRUE(server_->Leave(alice));
    ASSERT_TRUE(PumpUntil([&] { return HasLine("[Tester]: Farewell, Alice."); })) << Pane();
}

TEST_F(RulesAtWork, ARestartTheSameDayDoesNotGreetTodaysVisitorsAgain) {
    WriteRules("[Greeter]\nwhen = arrival first-visit\nthen = whisper Welcome, {name}!\n");
    Start();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(WaitForWhisper(alice, "Welcome, Alice!")) << Pane();
    ASSERT_TRUE(server_->Leave(alice));
    ASSERT_TRUE(PumpUntil([&] { return !bot_->Actions().FindPerson("Alice"); }));
    bot_.reset(); // the program ends; its history stays
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    Start();
    const int back = Arrive("Alice", 77);
    const int bob = Arrive("Bob", 78);
    ASSERT_TRUE(WaitForWhisper(bob, "Welcome, Bob!")) << Pane();
    PumpFor(std::chrono::milliseconds(300));
    for (const InboxEntry &e : server_->Inbox(back)) {
        EXPECT_NE(e.text, "Welcome, Alice!") << "greeted twice today";
    }
}

TEST_F(RulesAtWork, ThosePresentWhenTheBotEntersAreNotGreetedButLaterArrivalsAre) {
    WriteRules("[Greeter]\nwhen = arrival first-visit\nthen = whisper Welcome, {name}!\n\n"
               "[Hello]\nwhen = arrival\nthen = whisper Hello, {name}.\n");
    const int early = Arrive("Early", 77);
    const int near = Arrive("Nearby", 78);
    Start();
    ASSERT_TRUE(PumpUntil([&] { return bot_->Actions().FindPerson("Nearby").has_value(); })) << Pane();
    const int late = Arrive("Late", 79);
    ASSERT_TRUE(WaitForWhisper(late, "Welcome, Late!")) << Pane();
    ASSERT_TRUE(WaitForWhisper(late, "Hello, Late.")) << Pane();
    PumpFor(std::chrono::milliseconds(300));
    for (const int present : {early, near}) {
        for (const InboxEntry &e : server_->Inbox(present)) {
            EXPECT_NE(e.kind, InboxEntry::Kind::Whisper) << e.text;
        }
    }

    // Present at the entry counts as today's visit: coming back is an arrival, but not the first of the day.
    ASSERT_TRUE(server_->Leave(early));
    ASSERT_TRUE(PumpUntil([&] { return !bot_->Actions().FindPerson("Early"); }));
    const int back = Arrive("Early", 77);
    ASSERT_TRUE(WaitForWhisper(back, "Hello, Early.")) << Pane();
    PumpFor(std::chrono::milliseconds(300));
    for (const InboxEntry &e : server_->Inbox(back)) {
        EXPECT_NE(e.text, "Welcome, Early!");
    }
}

TEST_F(RulesAtWork, ThoseTheBotWalksAwayFromGetNoFarewellButThoseWhoLeaveDo) {
    WriteRules("[Bye]\nwhen = departure\nthen = notice Bye, {name}.\n");
    const int stays = Arrive("Stays", 80);
    const int goes = Arrive("Goes", 81);
    Start();
    ASSERT_TRUE(PumpUntil([&] { return bot_->Actions().FindPerson("Goes").has_value(); })) << Pane();
    ASSERT_TRUE(server_->Leave(goes));
    ASSERT_TRUE(PumpUntil([&] { return Pane().find("Bye, Goes.") != std::string::npos; })) << Pane();

    // Far beyond the hearing radius: the bot no longer sees the one who stayed.
    ASSERT_TRUE(bot_->Actions().Teleport("", 100000, 0, 100000, 0).Ok()) << Pane();
    ASSERT_TRUE(PumpUntil([&] { return !bot_->Actions().FindPerson("Stays"); })) << Pane();
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(Pane().find("Bye, Stays."), std::string::npos) << Pane();
    EXPECT_TRUE(server_->Leave(stays));
}

TEST_F(RulesAtWork, AFloodOfTriggersIsHeldToTheBudgetAndTheRuleIsPaused) {
    WriteRules("[Echo]\nwhen = chat\nthen = say echo {name}\n");
    Start();
    std::vector<int> people;
    for (int i = 0; i < 5; ++i) {
        people.push_back(Arrive("Person" + std::to_string(i), 100 + i));
    }
    for (int round = 0; round < 6; ++round) {
        for (const int person : people) {
            ASSERT_TRUE(server_->Say(person, "line " + std::to_string(round)));
        }
    }
    const GuardSettings limits = bot_->GetAutomation().Guard().Settings();
    ASSERT_TRUE(PumpUntil([&] {
        return HasLine("Automation: rule Echo fired more than " + std::to_string(limits.fireLimit) + " times in " +
                       std::to_string(limits.fireSeconds) + " seconds and is paused.");
    })) << Pane();
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(Said("[Tester]: echo "), limits.budgetLines);
    EXPECT_EQ(bot_->GetAutomation().Guard().Dropped(),
              static_cast<std::uint64_t>(limits.fireLimit - limits.budgetLines));
    // Read again, the rule is no longer paused.
    EXPECT_TRUE(bot_->GetAutomation().Guard().Paused("rule Echo"));
    bot_->ReloadRules();
    EXPECT_FALSE(bot_->GetAutomation().Guard().Paused("rule Echo"));
}

class RulesBetweenBots : public RulesAtWork, public testing::WithParamInterface<bool> {};

// Two Gabbler bots, each with a rule that repeats what it hears: another bot is not answered unless the rule names
// bots, and when it does, the budget and the pause end the echo.
TEST_P(RulesBetweenBots, EchoingRulesDoNotLoop) {
    const bool namesBots = GetParam();
    const std::string rules =
        std::string("[Echo]\nwhen = chat\n") + (namesBots ? "class = citizen bot\n" : "") + "then = say echo {name}\n";
    WriteRules(rules);
    TempDir otherHome;
    {
        std::ofstream file(otherHome.File("rules.txt"), std::ios::binary);
        file << rules;
    }
    Start();
    HeadlessProcess other;
    ASSERT_TRUE(other.Start({"--home", otherHome.Path(), "--citizen", "1234", "--password", "secret", "--bot", "Other",
                             "--world", "Sunset", "--universe", "127.0.0.1:" + std::to_string(server_->Port())}));
    ASSERT_TRUE(other.WaitForLine("Bot started at ")) << other.Out() << other.Err();
    ASSERT_TRUE(PumpUntil([&] { return bot_->Actions().FindPerson("[Other]").has_value(); })) << Pane();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(server_->Say(alice, "hello"));
    ASSERT_TRUE(PumpUntil([&] { return HasLine("[Tester]: echo Alice"); })) << Pane();
    PumpFor(std::chrono::seconds(3));
    const int echoes = Said("[Tester]: echo ");
    if (namesBots) {
        EXPECT_LE(echoes, bot_->GetAutomation().Guard().Settings().budgetLines) << Pane();
        // And it has stopped: nothing more comes.
        PumpFor(std::chrono::seconds(1));
        EXPECT_EQ(Said("[Tester]: echo "), echoes);
    } else {
        EXPECT_EQ(echoes, 1) << Pane();
        EXPECT_TRUE(HasLine("[Other]: echo Alice")) << Pane();
    }
}

INSTANTIATE_TEST_SUITE_P(NamingBotsOrNot, RulesBetweenBots, testing::Bool());

TEST_F(RulesAtWork, RulesRunInTheHeadlessBot) {
    WriteRules(kGreeterAndAnswers);
    HeadlessProcess headless;
    ASSERT_TRUE(headless.Start({"--home", home_.Path(), "--citizen", "1234", "--password", "secret", "--bot", "Tester",
                                "--world", "Sunset", "--universe", "127.0.0.1:" + std::to_string(server_->Port())}));
    ASSERT_TRUE(headless.WaitForLine("Bot started at ")) << headless.Out() << headless.Err();
    EXPECT_NE(headless.Out().find("the rule \"Broken\" is left out."), std::string::npos) << headless.Out();
    PersonSpec bob;
    bob.name = "Bob";
    bob.citizen = 78;
    const int session = server_->AddPerson("Sunset", bob);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool greeted = false;
    while (!greeted && std::chrono::steady_clock::now() < end) {
        for (const InboxEntry &e : server_->Inbox(session)) {
            greeted = greeted || e.text == "Welcome to Sunset, Bob!";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(greeted) << headless.Out();
}

} // namespace
