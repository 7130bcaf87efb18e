// Scripts in the data folder's scripts/, run by the widget-free bot against a real universe with simulated people.

#include "RunningBot.h"
#include "app/SessionActions.h"
#include "automation/ExampleScripts.h"
#include "automation/ScriptHost.h"
#include "common/AtomicFile.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

class ScriptsTest : public RunningBot {
protected:
    void Write(const std::string &name, const std::string &source) {
        std::filesystem::create_directories(home_.File("scripts"));
        ASSERT_TRUE(WriteFileAtomically(home_.File("scripts/" + name), source).ok);
    }

    // What the bot last said in public, as the universe (and so everyone near it) heard it.
    std::string BotSaid() {
        for (const PersonInfo &person : server_->PeopleIn("Sunset")) {
            if (person.session == BotSession()) {
                return person.lastSaid;
            }
        }
        return {};
    }

    bool Whispered(int session, const std::string &text) {
        for (const InboxEntry &entry : server_->Inbox(session)) {
            if (entry.kind == InboxEntry::Kind::Whisper && entry.text == text) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(ScriptsTest, AScriptHearsAnArrivalAndSpeaksToThePerson) {
    Write("greeter.lua", "function on_arrival(e)\n"
                         "  bot.say('Hello, ' .. e.bare .. '!')\n"
                         "  bot.whisper(e.session, 'You are ' .. e.class .. ' in ' .. e.world)\n"
                         "end\n");
    Start();
    EXPECT_TRUE(HasLine("Script greeter.lua loaded.")) << Pane();
    const int alice = Arrive("Alice", 77);
    EXPECT_TRUE(PumpUntil([&] { return BotSaid() == "Hello, Alice!"; })) << Pane();
    EXPECT_TRUE(PumpUntil([&] { return Whispered(alice, "You are citizen in Sunset"); })) << Pane();
}

TEST_F(ScriptsTest, AnEndlessLoopIsStoppedAndTheBotAndOtherScriptsGoOn) {
    Write("loop.lua", "function on_chat(e) while true do end end\n");
    Write("ping.lua", "function on_chat(e) if e.text == '!ping' then bot.say('pong') end end\n");
    Start();
    const int alice = Arrive("Alice", 77);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(server_->Say(alice, "!ping"));
    EXPECT_TRUE(PumpUntil([&] { return BotSaid() == "pong"; })) << Pane();
    // The loop's budget (100 ms) and a pump, not seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(HasLine("Script loop.lua stopped at line 1: it ran longer than 100 ms. It runs again when its file changes."))
        << Pane();
    EXPECT_EQ(bot_->Scripts().Running(), std::vector<std::string>{"ping.lua"});
}

TEST_F(ScriptsTest, AScriptPausedForActingTooOftenIsNoLongerRun) {
    Write("noisy.lua", "function on_chat(e)\n"
                       "  print('heard ' .. e.text)\n"
                       "  bot.say('echo')\n"
                       "end\n");
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
    ASSERT_TRUE(PumpUntil([&] { return bot_->GetAutomation().Guard().Paused("script noisy.lua"); })) << Pane();
    PumpFor(300ms);
    ASSERT_TRUE(server_->Say(people.front(), "after the pause"));
    PumpFor(500ms);
    EXPECT_FALSE(HasLine("[noisy.lua] heard after the pause")) << Pane();
    // Its file changed, it runs again.
    Write("noisy.lua", "function on_chat(e) print('heard ' .. e.text) end\n");
    bot_->Scripts().Poll();
    ASSERT_TRUE(HasLine("Script noisy.lua reloaded.")) << Pane();
    EXPECT_FALSE(bot_->GetAutomation().Guard().Paused("script noisy.lua"));
    ASSERT_TRUE(server_->Say(people.front(), "after the change"));
    EXPECT_TRUE(PumpUntil([&] { return HasLine("[noisy.lua] heard after the change"); })) << Pane();
}

TEST_F(ScriptsTest, AnErrorIsShownWithTheScriptsLineAndTheScriptGoesOn) {
    Write("broken.lua", "function on_chat(e)\n"
                        "  if e.text == 'fine' then bot.say('still here') return end\n"
                        "  local t = nil\n"
                        "  bot.say(t.x)\n"
                        "end\n");
    Start();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(server_->Say(alice, "boom"));
    EXPECT_TRUE(PumpUntil([&] {
        return HasLine("Script broken.lua: broken.lua:4: attempt to index a nil value (local 't')");
    })) << Pane();
    ASSERT_TRUE(server_->Say(alice, "fine"));
    EXPECT_TRUE(PumpUntil([&] { return BotSaid() == "still here"; })) << Pane();
}

TEST_F(ScriptsTest, AChangedFileIsLoadedAgainAndAHalfWrittenOneLeavesThePreviousVersionRunning) {
    Write("answer.lua", "function on_chat(e) bot.say('one') end\n");
    Start();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(server_->Say(alice, "a"));
    ASSERT_TRUE(PumpUntil([&] { return BotSaid() == "one"; })) << Pane();

    // A different size, so a change within the file system's time resolution is seen too.
    Write("answer.lua", "function on_chat(e) bot.say('two!') end\n");
    bot_->Scripts().Poll();
    EXPECT_TRUE(HasLine("Script answer.lua reloaded.")) << Pane();
    ASSERT_TRUE(server_->Say(alice, "b"));
    ASSERT_TRUE(PumpUntil([&] { return BotSaid() == "two!"; })) << Pane();

    Write("answer.lua", "function on_chat(e) bot.say('thr");
    bot_->Scripts().Poll();
    EXPECT_TRUE(HasLine("Script answer.lua: answer.lua:1: unfinished string near <eof>")) << Pane();
    EXPECT_TRUE(HasLine("Script answer.lua: the previous version goes on.")) << Pane();
    ASSERT_TRUE(server_->Say(alice, "c"));
    PumpFor(300ms);
    EXPECT_EQ(BotSaid(), "two!");
    EXPECT_EQ(bot_->Scripts().Running(), std::vector<std::string>{"answer.lua"});

    std::filesystem::remove(home_.File("scripts/answer.lua"));
    bot_->Scripts().Poll();
    EXPECT_TRUE(bot_->Scripts().Running().empty());
}

TEST_F(ScriptsTest, ScriptsActOnlyWithTheWindowsRightsAndKeepTheirOwnStore) {
    Write("acts.lua", "function on_whisper(e)\n"
                      "  local ok, why = bot.eject(e.session, 5)\n"
                      "  local n = tonumber(store.get('count') or '0') + 1\n"
                      "  store.set('count', n)\n"
                      "  local people = bot.people()\n"
                      "  bot.whisper(e.name, tostring(ok) .. ' ' .. n .. ' ' .. #people .. ' ' .. people[1].name ..\n"
                      "    ' ' .. bot.world() .. ' ' .. tostring(bot.find('nobody')))\n"
                      "  -- A name nobody here has is not the whole world.\n"
                      "  bot.whisper(e.session, select(2, bot.console('Nobody', 'hear ye')))\n"
                      "end\n");
    Start();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(PumpUntil([&] { return !bot_->Actions().PeoplePresent().empty(); }));
    ASSERT_TRUE(server_->Whisper(alice, BotSession(), "go"));
    EXPECT_TRUE(PumpUntil([&] { return Whispered(alice, "nil 1 1 Alice Sunset nil"); })) << Pane();
    EXPECT_TRUE(PumpUntil([&] { return Whispered(alice, "nobody of that name is here"); })) << Pane();
    ASSERT_TRUE(server_->Whisper(alice, BotSession(), "again"));
    EXPECT_TRUE(PumpUntil([&] { return Whispered(alice, "nil 2 1 Alice Sunset nil"); })) << Pane();
    EXPECT_EQ(ReadWholeFile(home_.File("script-data/acts.lua.store")).value_or(""), "count\t2\n");
}

TEST_F(ScriptsTest, TheShippedExamplesAnswerTimeSeenAndVisits) {
    ASSERT_TRUE(InstallExampleScripts(home_.File("scripts")).ok);
    Start();
    const int alice = Arrive("Alice", 77);
    ASSERT_TRUE(PumpUntil([&] { return !bot_->Actions().PeoplePresent().empty(); }));
    ASSERT_TRUE(server_->Say(alice, "!time"));
    EXPECT_TRUE(PumpUntil([&] {
        const std::string said = BotSaid();
        return said.size() == std::string("Alice, it is 12:34 here.").size() && said.rfind("Alice, it is ", 0) == 0;
    })) << Pane();

    ASSERT_TRUE(server_->Say(alice, "the fountain is lovely"));
    const int bob = Arrive("Bob", 78);
    ASSERT_TRUE(PumpUntil([&] { return !bot_->Actions().SearchHistory("lovely", "Alice", 1).empty(); })) << Pane();
    ASSERT_TRUE(server_->Say(bob, "!seen alice"));
    EXPECT_TRUE(PumpUntil([&] {
        return BotSaid() == "Alice was last heard just now in Sunset: \"the fountain is lovely\"";
    })) << Pane();
    ASSERT_TRUE(server_->Say(bob, "!seen Nobody"));
    EXPECT_TRUE(PumpUntil([&] { return BotSaid() == "I have not heard Nobody yet."; })) << Pane();

    ASSERT_TRUE(server_->Say(bob, "!visits"));
    EXPECT_TRUE(PumpUntil([&] { return Whispered(bob, "This is your first visit while I am here, Bob."); })) << Pane();
}

TEST(ExampleScripts, GoOnlyIntoAFolderThatDoesNotExistYet) {
    TempDir home;
    ASSERT_TRUE(InstallExampleScripts(home.File("scripts")).ok);
    EXPECT_EQ(ReadWholeFile(home.File("scripts/answers.lua")).value_or(""), std::string(ExampleScripts()[0].second));
    std::filesystem::remove(home.File("scripts/answers.lua"));
    ASSERT_TRUE(InstallExampleScripts(home.File("scripts")).ok);
    EXPECT_FALSE(std::filesystem::exists(home.File("scripts/answers.lua")));
}

} // namespace
