// The rules at work on events, with recorded actions and a clock the test turns.

#include "automation/RuleEngine.h"

#include "RecordedActions.h"
#include "TempDir.h"
#include "automation/ExampleRules.h"
#include "automation/RuleMatcher.h"
#include "automation/RulesFile.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

struct Engine {
    std::int64_t now = 0;
    RecordedActions actions;
    Automation automation{actions, GuardSettings{1000, 1, 1000, 1}, [this] { return now; }};
    RuleEngine engine{automation};

    explicit Engine(const char *rules) {
        now = LocalMs(2026, 12, 10, 12, 0);
        const RulesFileResult r = ParseRules(rules);
        EXPECT_TRUE(r.problems.empty()) << r.problems.front();
        engine.SetRules(r.rules);
    }

    // A local time as the engine's clock, whatever the machine's time zone.
    static std::int64_t LocalMs(int year, int month, int day, int hour, int minute) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_isdst = -1;
        return static_cast<std::int64_t>(std::mktime(&t)) * 1000;
    }

    void Raise(BotEvent e) {
        e.time = now;
        if (e.world.empty()) {
            e.world = "Sunset";
        }
        if (e.worldBuild == 0) {
            e.worldBuild = 39;
        }
        automation.Raise(std::move(e));
    }
};

BotEvent From(BotEventType type, std::string name, int session, std::string text = {}) {
    BotEvent e;
    e.type = type;
    e.name = std::move(name);
    e.session = session;
    e.personClass = ClassOfName(e.name);
    e.text = std::move(text);
    return e;
}

TEST(RuleEngine, EachTriggerSetsOffItsRules) {
    Engine f(R"([A]
when = arrival
then = say arrival {name}
[F]
when = arrival first-visit
then = say first {name}
[D]
when = departure
then = say departure {name}
[C]
when = chat
words = hello
then = say chat {name}
[W]
when = whisper
regex = ^help
then = whisper help for {name} in {world}
[K]
when = click
then = notice click {name}
)");
    BotEvent first = From(BotEventType::Arrival, "Alice", 5);
    first.firstVisitToday = true;
    f.Raise(first);
    f.Raise(From(BotEventType::Arrival, "\"Tourist\"", 6));
    f.Raise(From(BotEventType::Chat, "Alice", 5, "well Hello there"));
    f.Raise(From(BotEventType::Chat, "Alice", 5, "nothing to see"));
    f.Raise(From(BotEventType::Whisper, "Alice", 5, "Help me"));
    f.Raise(From(BotEventType::Chat, "Alice", 5, "help in public is not a whisper"));
    f.Raise(From(BotEventType::Click, "Alice", 5));
    f.Raise(From(BotEventType::Departure, "Alice", 5));
    EXPECT_EQ(f.actions.said, (std::vector<std::string>{"arrival Alice", "first Alice", "arrival Tourist", "chat Alice",
                                                        "whisper 5 help for Alice in Sunset", "departure Alice"}));
    EXPECT_EQ(f.actions.notices, (std::vector<std::string>{"click Alice"}));
}

TEST(RuleEngine, ConditionsOnWorldBuildAndClass) {
    Engine f(R"([Town only]
when = chat
world = town
then = say town
[New builds]
when = chat
build = 30-
then = say new
[Bots too]
when = chat
class = bot citizen
then = say bots
[Named bot]
when = chat
name = [Echo*]
then = say echo
)");
    struct Case {
        const char *name;
        const char *world;
        int build;
        std::vector<std::string> said;
    } cases[] = {
        {"Alice", "Town", 39, {"town", "new", "bots"}},
        {"Alice", "Sunset", 20, {"bots"}},
        {"\"Tourist\"", "Sunset", 39, {"new"}},
        {"[Other]", "Town", 39, {"bots"}}, // bots answered only by the rules that name them
        {"[Echo2]", "Sunset", 39, {"bots", "echo"}},
    };
    for (const Case &c : cases) {
        f.actions.said.clear();
        BotEvent e = From(BotEventType::Chat, c.name, 3, "hi");
        e.world = c.world;
        e.worldBuild = c.build;
        f.Raise(e);
        EXPECT_EQ(f.actions.said, c.said) << c.name << " in " << c.world;
    }
}

TEST(RuleEngine, CooldownsPerPersonAndPerRule) {
    Engine f(R"([Person]
when = chat
cooldown-person = 60
then = say person {name}
[Rule]
when = chat
cooldown-rule = 30
then = say rule {name}
)");
    const auto chat = [&](const char *name, int seconds) {
        f.now += seconds * 1000;
        f.Raise(From(BotEventType::Chat, name, name[0], "x"));
    };
    chat("Alice", 0);
    chat("Bob", 1);    // person: Bob is new; rule: cooling down
    chat("Alice", 10); // both cooling down for Alice
    chat("Alice", 30); // rule cooled down (41 s); person not yet (40 s)
    chat("Alice", 20); // person cooled down (60 s)
    EXPECT_EQ(f.actions.said,
              (std::vector<std::string>{"person Alice", "rule Alice", "person Bob", "rule Alice", "person Alice"}));
}

TEST(RuleEngine, AFloodIsWarnedThenEjected) {
    Engine f(R"([Flood guard]
when = chat
flood = 3 10
warn = {name}, please slow down.
then = eject 5
)");
    for (int i = 0; i < 3; ++i) {
        f.now += 1000;
        f.Raise(From(BotEventType::Chat, "Alice", 5, "spam"));
    }
    EXPECT_EQ(f.actions.said, (std::vector<std::string>{"whisper 5 Alice, please slow down."}));
    f.now += 20'000; // slow lines are no flood
    for (int i = 0; i < 3; ++i) {
        f.now += 6000;
        f.Raise(From(BotEventType::Chat, "Alice", 5, "fine"));
    }
    EXPECT_EQ(f.actions.said.size(), 1u);
    for (int i = 0; i < 3; ++i) {
        f.now += 500;
        f.Raise(From(BotEventType::Chat, "Alice", 5, "spam again"));
    }
    EXPECT_EQ(f.actions.said.back(), "eject 5 5");
}

TEST(RuleEngine, AWarningThatDidNotGoOutIsNoWarning) {
    Engine f(R"([Flood guard]
when = chat
flood = 3 10
warn = slow down
then = eject 5
)");
    f.actions.whisperResult = kActionBudget; // held back by the budget
    for (int burst = 0; burst < 2; ++burst) {
        for (int i = 0; i < 3; ++i) {
            f.Raise(From(BotEventType::Chat, "Alice", 5, "spam"));
        }
        f.now += 1000;
    }
    EXPECT_EQ(f.actions.said, (std::vector<std::string>{"whisper 5 slow down", "whisper 5 slow down"}))
        << "nobody is ejected for a warning never heard";
}

TEST(RuleEngine, TimersEveryNMinutesAndAtATimeOfDay) {
    Engine f(R"([Every]
when = every 10
then = say every {time}
[At]
when = at 12:30
then = say at {time} with {people}
)");
    const BotEvent tick = From(BotEventType::Timer, "", 0);
    for (int second = 0; second <= 40 * 60; second += 1) {
        f.now += 1000;
        f.Raise(tick);
    }
    EXPECT_EQ(f.actions.said, (std::vector<std::string>{"every 12:10", "every 12:20", "every 12:30", "at 12:30 with 1",
                                                        "every 12:40"}));
}

TEST(RuleEngine, TryShowsWhatARuleWouldDoWithoutDoingIt) {
    Engine f("");
    const RulesFileResult r = ParseRules(R"([Greeter]
when = arrival
class = citizen
then = whisper Welcome to {world}, {name}!
then = eject 5
[Guard]
when = chat
words = bad word
flood = 3 10
warn = careful {name}
then = eject 5
)");
    BotEvent alice = From(BotEventType::Arrival, "Alice", 5);
    alice.world = "Town";
    EXPECT_EQ(f.engine.Try(r.rules[0], alice),
              (std::vector<std::string>{"whisper to Alice: Welcome to Town, Alice!", "eject Alice for 5 minutes"}));
    EXPECT_EQ(f.engine.Try(r.rules[0], From(BotEventType::Arrival, "\"Tourist\"", 6)),
              (std::vector<std::string>{"Nothing: it does not act for a visitor."}));
    EXPECT_EQ(f.engine.Try(r.rules[1], From(BotEventType::Chat, "Alice", 5, "a good word")),
              (std::vector<std::string>{"Nothing: the line does not match."}));
    EXPECT_EQ(f.engine.Try(r.rules[1], From(BotEventType::Chat, "Alice", 5, "a BAD word")),
              (std::vector<std::string>{"Only after 3 lines in 10 seconds from one person:",
                                        "the first time, whisper to Alice: careful Alice",
                                        "the next time:", "eject Alice for 5 minutes"}));
    EXPECT_TRUE(f.actions.said.empty());
}

TEST(RuleEngine, TheShippedExamplesReadCleanlyAndAct) {
    Engine f(std::string(ExampleRules()).c_str());
    ASSERT_EQ(f.engine.Rules().size(), 5u);
    BotEvent alice = From(BotEventType::Arrival, "Alice", 5);
    alice.firstVisitToday = true;
    alice.world = "Town";
    f.Raise(alice);
    BotEvent question = From(BotEventType::Chat, "Alice", 5, "What are the rules here?");
    question.world = "Town";
    f.Raise(question);
    question.text = "When is the next event?";
    f.Raise(question);
    ASSERT_EQ(f.actions.said.size(), 3u);
    EXPECT_EQ(f.actions.said[0], "whisper 5 Welcome to Town, Alice! Ask \"what are the rules here?\" if you like.");
    EXPECT_EQ(f.actions.said[1], "Alice: be kind, no flooding, and have fun. 1 people are here now.");
    EXPECT_TRUE(f.actions.said[2].starts_with("Alice: there is a guided walk")) << f.actions.said[2];
    f.actions.said.clear();
    f.actions.ejectResult = 0;
    BotEvent flood = From(BotEventType::Chat, "\"Guest1\"", 8, "Wheee!");
    flood.world = "Town";
    for (int burst = 0; burst < 2; ++burst) {
        for (int i = 0; i < 6; ++i) {
            f.Raise(flood);
        }
        f.now += 2000;
    }
    EXPECT_EQ(f.actions.said, (std::vector<std::string>{"whisper 8 Guest1, please slow down: one more flood and you "
                                                        "will be ejected for 5 minutes.",
                                                        "eject 8 5"}));
    EXPECT_EQ(f.actions.notices.back(), "Flood guard: ejected Guest1 for 5 minutes.");
    f.actions.said.clear();
    BotEvent tick = From(BotEventType::Timer, "", 0);
    tick.world = "Town";
    for (int i = 0; i < 30 * 60; ++i) {
        f.now += 1000;
        f.Raise(tick);
    }
    ASSERT_EQ(f.actions.said.size(), 1u);
    EXPECT_TRUE(f.actions.said[0].starts_with("It is ")) << f.actions.said[0];

    TempDir folder;
    ASSERT_TRUE(InstallExampleRules(folder.Path()).ok);
    EXPECT_EQ(LoadRules(folder.File("rules.txt")).rules.size(), 5u);
    ASSERT_TRUE(SaveRules(folder.File("rules.txt"), {}).ok);
    ASSERT_TRUE(InstallExampleRules(folder.Path()).ok);
    EXPECT_TRUE(LoadRules(folder.File("rules.txt")).rules.empty()) << "the user's own file is left as it is";
}

TEST(RuleMatcher, FindsTheRulesALineSetsOff) {
    Rule words;
    words.words = {"opening hours", "price"};
    Rule expression;
    expression.regex = "^when\\b.*open";
    Rule withGroups;
    withGroups.regex = "\\b(next|upcoming)\\s+(event|walk)";
    Rule backReference;
    backReference.regex = "(\\w+) \\1";
    Rule every;
    Rule arrival;
    arrival.trigger = RuleTrigger::Arrival;
    arrival.words = {"price"};
    RuleMatcher matcher;
    matcher.Build({words, expression, backReference, every, arrival, withGroups});
    struct Case {
        const char *line;
        std::vector<int> rules;
    } cases[] = {
        {"What are the OPENING hours?", {0, 3}},
        {"opening, hours", {0, 3}}, // words, whatever stands between them
        {"the hours of opening", {3}},
        {"prices", {3}},
        {"When do you open", {1, 3}},
        {"so so good", {2, 3}},
        {"when is the NEXT event? so so soon, I hope it is open", {1, 2, 3, 5}},
        {"the next walk, when?", {3, 5}}, // "^when" only at the line's start
        {"", {3}},
    };
    std::vector<int> out;
    for (const Case &c : cases) {
        matcher.Match(c.line, out);
        EXPECT_EQ(out, c.rules) << c.line;
    }
}

} // namespace
