// The rules file: what a person writes by hand, what the program writes back, and what a mistake costs.

#include "automation/RulesFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

constexpr const char *kGood = R"(# my rules
[Greeter]
when = arrival first-visit
class = citizen visitor
then = whisper Welcome to {world}, {name}!

[Hours]
on = no
when = chat
words = opening hours, hours
regex = ^when .* open
cooldown-person = 60
cooldown-rule = 5
world = Town, Sunset
build = 20-
then = say We are open from 9 to 5.

[Flood]
when = chat
flood = 5 10
warn = {name}, please slow down.
then = eject 10
then = notice Ejected {name} for flooding.

[Announce]
when = every 30
then = say It is {time}; {people} people are here.

[Evening]
when = at 18:05
then = teleport Town 100 0 -200 900
then = notify Evening in {world}
)";

TEST(RulesFile, ReadsWhatAPersonWrites) {
    const RulesFileResult r = ParseRules(kGood);
    EXPECT_TRUE(r.problems.empty()) << r.problems.front();
    ASSERT_EQ(r.rules.size(), 5u);
    EXPECT_EQ(r.rules[0].name, "Greeter");
    EXPECT_EQ(r.rules[0].line, 2);
    EXPECT_TRUE(r.rules[0].firstVisitOnly);
    EXPECT_EQ(r.rules[0].classes, (std::vector<PersonClass>{PersonClass::Citizen, PersonClass::Visitor}));
    EXPECT_FALSE(r.rules[1].enabled);
    EXPECT_EQ(r.rules[1].words, (std::vector<std::string>{"opening hours", "hours"}));
    EXPECT_EQ(r.rules[1].worlds, (std::vector<std::string>{"Town", "Sunset"}));
    EXPECT_EQ(r.rules[1].minBuild, 20);
    EXPECT_EQ(r.rules[1].maxBuild, 0);
    EXPECT_EQ(r.rules[2].floodLines, 5);
    EXPECT_EQ(r.rules[2].actions[0].kind, RuleAction::Kind::Eject);
    EXPECT_EQ(r.rules[2].actions[0].minutes, 10);
    EXPECT_EQ(r.rules[3].everyMinutes, 30);
    EXPECT_EQ(r.rules[4].atMinute, 18 * 60 + 5);
    EXPECT_EQ(r.rules[4].actions[0].text, "Town");
    EXPECT_EQ(r.rules[4].actions[0].z, -200);
    EXPECT_EQ(r.rules[4].actions[0].yaw, 900);
}

TEST(RulesFile, WritesWhatItReadsBack) {
    const RulesFileResult first = ParseRules(kGood);
    const RulesFileResult again = ParseRules(FormatRules(first.rules));
    EXPECT_TRUE(again.problems.empty());
    ASSERT_EQ(again.rules.size(), first.rules.size());
    EXPECT_EQ(FormatRules(again.rules), FormatRules(first.rules));
}

TEST(RulesFile, ABrokenRuleIsReportedWithItsLineAndTheOthersStay) {
    struct Case {
        const char *line;
        const char *problem;
    } cases[] = {
        {"when = sometimes", "line 3: \"when\" is arrival, departure, chat, whisper, click, every or at; the rule "
                             "\"Broken\" is left out."},
        {"colour = red", "line 3: unknown key \"colour\"; the rule \"Broken\" is left out."},
        {"regex = (unclosed", "line 3: the regular expression is not valid (missing closing parenthesis); the rule "
                              "\"Broken\" is left out."},
        {"then = eject soon", "line 3: \"eject\" is followed by a number of minutes; the rule \"Broken\" is left out."},
        {"build = 40-20", "line 3: a build is a number or a range, such as 39, 20-39 or 20-; the rule \"Broken\" is "
                          "left out."},
        {"class = robot", "line 3: a class is citizen, visitor or bot; the rule \"Broken\" is left out."},
        {"just words", "line 3: a line without \"key = value\"; the rule \"Broken\" is left out."},
        {"when = at 25:00", "line 3: \"at\" is followed by a time of day, such as 18:30; the rule \"Broken\" is "
                            "left out."},
    };
    for (const Case &c : cases) {
        // The mistake on line 3, a good rule after it.
        const RulesFileResult r = ParseRules("[Broken]\n\n" + std::string(c.line) +
                                             "\nwhen = chat\nthen = say x\n[Also fine]\nwhen = departure\nthen = say "
                                             "bye\n");
        ASSERT_EQ(r.problems.size(), 1u) << c.line;
        EXPECT_EQ(r.problems[0], c.problem);
        ASSERT_EQ(r.rules.size(), 1u) << c.line;
        EXPECT_EQ(r.rules[0].name, "Also fine");
    }
}

TEST(RulesFile, RulesThatCannotActAreReported) {
    const RulesFileResult r = ParseRules("stray = 1\n[No when]\nthen = say x\n[No then]\nwhen = click\n[]\nx = 1\n");
    EXPECT_EQ(r.problems, (std::vector<std::string>{
                              "line 1: a line before the first rule's name in brackets.",
                              "line 2: the rule \"No when\" does not say when it acts (when = ...) and is left out.",
                              "line 4: the rule \"No then\" does nothing (then = ...) and is left out.",
                              "line 6: a rule's name in brackets is empty.",
                          }));
    EXPECT_TRUE(r.rules.empty());
}

TEST(RulesFile, ALineBreakInAWindowsTextCannotStartAKeyOfItsOwn) {
    Rule rule;
    rule.name = "Sly\n[Other]";
    rule.trigger = RuleTrigger::Click;
    rule.actions.push_back({RuleAction::Kind::Say, "hi\nthen = eject 60", 0});
    const RulesFileResult r = ParseRules(FormatRules({rule}));
    ASSERT_EQ(r.rules.size(), 1u);
    EXPECT_EQ(r.rules[0].name, "Sly [Other]");
    ASSERT_EQ(r.rules[0].actions.size(), 1u);
    EXPECT_EQ(r.rules[0].actions[0].text, "hi then = eject 60");
}

TEST(RulesFile, SavedWholeAndAMissingFileIsNoRules) {
    TempDir dir;
    const std::string path = dir.Path() + "/rules.txt";
    EXPECT_TRUE(LoadRules(path).rules.empty());
    EXPECT_TRUE(LoadRules(path).problems.empty());
    ASSERT_TRUE(SaveRules(path, ParseRules(kGood).rules).ok);
    EXPECT_EQ(LoadRules(path).rules.size(), 5u);
}

} // namespace
