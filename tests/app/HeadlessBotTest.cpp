// `gabbler --headless` as a service manager runs it: the real executable in a child process with no display,
// against a universe running in the test process on a loopback port.

#include "TempDir.h"
#include "app/HeadlessProcess.h"
#include "common/Version.h"
#include "history/HistoryReader.h"
#include "support/LoopbackUniverse.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char *kLost =
    "Immigration Officer: You have been disconnected from this world (reason: connection lost).";
constexpr const char *kBack = "Immigration Officer: Gabbler has successfully reentered the world.";

class HeadlessBot : public testing::Test {
protected:
    void SetUp() override {
        UniverseSetup setup;
        setup.options.dataFolder = universeData_.Path();
        ASSERT_NO_FATAL_FAILURE(server_.Start(setup));
    }

    std::vector<std::string> LoginOptions(const std::string &password = "secret",
                                          const std::string &world = "Sunset") const {
        LoginValues login = server_.BotLogin();
        login.privilegePassword = password;
        login.world = world;
        std::vector<std::string> options = LoopbackUniverse::Arguments(login);
        options.insert(options.begin(), {"--home", home_.Path()});
        return options;
    }

    // A person in the bot's world, next to it.
    int Arrive(const std::string &name, int citizen) { return server_.Arrive(name, citizen); }

    bool WaitForWhisper(int session, const std::string &text) {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < end) {
            for (const InboxEntry &entry : server_->Inbox(session)) {
                if (entry.kind == InboxEntry::Kind::Whisper && entry.text == text)
                    return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    bool BotPresent() {
        const std::vector<PersonInfo> people = server_->PeopleIn("Sunset");
        return std::any_of(people.begin(), people.end(), [](const PersonInfo &p) { return p.name == "[Tester]"; });
    }

    TempDir universeData_;
    TempDir home_;
    LoopbackUniverse server_;
};

TEST_F(HeadlessBot, AnswersRecordsSurvivesTheUniversesRestartAndEndsCleanlyOnSigterm) {
    {
        std::ofstream profiles(home_.File("profiles.txt"), std::ios::binary);
        profiles << "Watch:1234:secret:Tester:127.0.0.1:" << server_->Port() << ":Sunset:0n 0e:\r\n";
    }
    HeadlessProcess bot;
    ASSERT_TRUE(bot.Start({"--home", home_.Path(), "--profile", "watch"}));
    ASSERT_TRUE(bot.WaitForLine("Bot started at ")) << bot.Out() << bot.Err();

    const std::string build = std::to_string(kGabblerBuild);
    const int alice = Arrive("Alice", 5);
    ASSERT_GT(alice, 0);
    ASSERT_TRUE(server_->AskOwner(alice, "Tester"));
    EXPECT_TRUE(WaitForWhisper(alice, "I'm owned by Ownerly (Citizen number 1234).")) << bot.Out();
    ASSERT_TRUE(server_->AskVersion(alice, "Tester"));
    EXPECT_TRUE(WaitForWhisper(alice, "I'm using Gabbler Build " + build + ".")) << bot.Out();
    ASSERT_TRUE(server_->Say(alice, "hello there"));
    ASSERT_TRUE(bot.WaitForLine("Alice: hello there")) << bot.Out();
    const std::regex said(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[Sunset\] Alice: hello there)");
    const std::vector<std::string> lines = bot.OutLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
        return std::regex_match(l, said);
    })) << bot.Out();

    // The data folder is this bot's while it runs, as it is a window's.
    {
        HeadlessProcess second;
        ASSERT_TRUE(second.Start(LoginOptions()));
        EXPECT_EQ(second.WaitExit(), 1);
        EXPECT_NE(second.Err().find("already running on the folder"), std::string::npos) << second.Err();
    }

    // ReenterWorld is off (no gabbler.ini), and still the bot comes back after the universe's restart.
    server_->Stop();
    ASSERT_TRUE(bot.WaitForLine(kLost)) << bot.Out();
    ASSERT_NO_FATAL_FAILURE(server_.Restart());
    ASSERT_TRUE(bot.WaitForLine(kBack, 40s)) << bot.Out() << bot.Err();
    const int bob = Arrive("Bob", 6);
    ASSERT_GT(bob, 0);
    ASSERT_TRUE(server_->AskOwner(bob, "Tester"));
    EXPECT_TRUE(WaitForWhisper(bob, "I'm owned by Ownerly (Citizen number 1234).")) << bot.Out();
    ASSERT_TRUE(server_->Say(bob, "still here"));
    ASSERT_TRUE(bot.WaitForLine("Bob: still here")) << bot.Out();

    bot.Signal(SIGTERM);
    EXPECT_EQ(bot.WaitExit(), 0) << bot.Out() << bot.Err();
    EXPECT_EQ(bot.Err(), "");
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (BotPresent() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(BotPresent()) << "the bot left the world";
    EXPECT_TRUE(std::ifstream(home_.File("gabbler.ini")).good()) << "the settings were written";

    HistoryReader history;
    std::string error;
    ASSERT_TRUE(history.Open(home_.Path(), false, error)) << error;
    for (const char *text : {"hello there", "still here"}) {
        const HistoryResult found = history.Search(text, {}, 10);
        ASSERT_TRUE(found.ok) << found.error;
        EXPECT_EQ(found.lines.size(), 1u) << text;
    }
    std::vector<std::string> visitors;
    for (const VisitorSummary &v : history.Visitors({}, static_cast<std::int64_t>(std::time(nullptr)) * 1000))
        visitors.push_back(v.name);
    std::sort(visitors.begin(), visitors.end());
    EXPECT_EQ(visitors, (std::vector<std::string>{"Alice", "Bob"}));
}

// Each failure it cannot get past ends it at once with a sentence on standard error and a status the service
// manager can tell apart: 2 the command line, 3 the login refused, 4 the world, 5 the universe unreachable.
TEST_F(HeadlessBot, AFatalFailureEndsItWithAMessageAndAStatus) {
    struct Case {
        const char *what;
        std::vector<std::string> options;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"wrong password", LoginOptions("wrong"), 3, "gabbler: You have entered an invalid password.\n"},
        {"no such world", LoginOptions("secret", "Nowhere"), 4,
         "gabbler: Unable to enter world (reason: no such world).\n"},
        {"universe unreachable",
         {"--home", home_.Path(), "--citizen", "1234", "--password", "secret", "--bot", "Tester", "--world", "Sunset",
          "--universe", "127.0.0.1:1"},
         5,
         "gabbler: Unable to create bot instance (reason: unable to connect).\n"},
        {"unknown profile",
         {"--home", home_.Path(), "--profile", "Nobody"},
         2,
         "gabbler: There is no profile named \"Nobody\" in " + home_.File("profiles.txt") + ".\n"},
        {"no login",
         {"--home", home_.Path()},
         2,
         "gabbler: --headless needs either --profile NAME or the login options (--citizen, --password, --bot, "
         "--world, --universe).\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessProcess bot;
        ASSERT_TRUE(bot.Start(c.options));
        EXPECT_EQ(bot.WaitExit(), c.status) << bot.Out();
        EXPECT_EQ(bot.Err(), c.message);
    }
}

// A world that is gone when the bot comes back: it cannot re-enter, and nobody is there to choose another one.
TEST_F(HeadlessBot, AWorldLostWhileRunningEndsIt) {
    HeadlessProcess bot;
    ASSERT_TRUE(bot.Start(LoginOptions()));
    ASSERT_TRUE(bot.WaitForLine("Bot started at ")) << bot.Out() << bot.Err();
    ASSERT_TRUE(server_->SetWorld("Sunset", "status", "3"));
    server_->DropConnections();
    EXPECT_EQ(bot.WaitExit(), 4) << bot.Out();
    EXPECT_EQ(bot.Err(), "gabbler: You have been disconnected from this world (reason: no such world).\n");
}

// The scripts of the data folder run headless as they do in the window, their problems on standard output.
TEST_F(HeadlessBot, RunsTheScriptsOfItsDataFolder) {
    std::filesystem::create_directories(home_.File("scripts"));
    std::ofstream(home_.File("scripts/host.lua")) << "function on_arrival(e) bot.whisper(e.session, 'Hi ' .. e.bare) end\n"
                                                     "function on_chat(e)\n"
                                                     "  if e.text == 'loop' then while true do end end\n"
                                                     "  error('no ' .. e.text)\n"
                                                     "end\n";
    HeadlessProcess bot;
    ASSERT_TRUE(bot.Start(LoginOptions()));
    ASSERT_TRUE(bot.WaitForLine("Script host.lua loaded.")) << bot.Out() << bot.Err();
    ASSERT_TRUE(bot.WaitForLine("Bot started at ")) << bot.Out() << bot.Err();
    const int alice = Arrive("Alice", 77);
    EXPECT_TRUE(WaitForWhisper(alice, "Hi Alice")) << bot.Out();
    ASSERT_TRUE(server_->Say(alice, "thanks"));
    EXPECT_TRUE(bot.WaitForLine("Script host.lua: host.lua:4: no thanks")) << bot.Out();
    ASSERT_TRUE(server_->Say(alice, "loop"));
    EXPECT_TRUE(bot.WaitForLine("Script host.lua stopped at line 3: it ran longer than 100 ms. It runs again when its file changes."))
        << bot.Out();
    bot.Signal(SIGTERM);
    EXPECT_EQ(bot.WaitExit(), 0) << bot.Out() << bot.Err();
}

} // namespace
