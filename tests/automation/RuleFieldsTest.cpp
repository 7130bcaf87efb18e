// The Rules window's logic without a window: a rule's fields checked as the file reads them, and the rules saved
// back without overwriting what a person changed by hand.

#include "automation/RuleFields.h"

#include "TempDir.h"
#include "automation/RulesDocument.h"
#include "automation/RulesFile.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

RuleFields Greeter() {
    RuleFields fields;
    fields.text[RuleFields::Name] = "Greeter";
    fields.text[RuleFields::When] = "arrival first-visit";
    fields.text[RuleFields::Actions] = "whisper Welcome, {name}!";
    return fields;
}

TEST(RuleFields, EachBrokenFieldIsToldAtItsPlace) {
    const struct {
        RuleFields::Field field;
        const char *when;
        const char *text;
        const char *problem;
    } cases[] = {
        {RuleFields::Name, "chat", "", "A rule needs a name."},
        {RuleFields::Name, "chat", "Hours", "Another rule has this name."},
        {RuleFields::WhenArgument, "every", "soon", "\"every\" is followed by a number of minutes."},
        {RuleFields::WhenArgument, "at", "25:00", "\"at\" is followed by a time of day, such as 18:30."},
        {RuleFields::Regex, "chat", "(open", ""},
        {RuleFields::Flood, "chat", "5", "\"flood\" is a number of lines and of seconds, such as 5 10."},
        {RuleFields::Build, "chat", "39-20", "A build is a number or a range, such as 39, 20-39 or 20-."},
        {RuleFields::PersonCooldown, "chat", "a minute", "A cooldown is a number of seconds."},
        {RuleFields::Actions, "chat", "say hi\nshout at everybody",
         "Line 2: \"then\" is say, whisper, console, eject, teleport, notice or notify."},
        {RuleFields::Actions, "chat", "", "The rule does nothing: give it an action."},
        {RuleFields::Actions, "chat", "eject soon", "Line 1: \"eject\" is followed by a number of minutes."},
    };
    for (const auto &c : cases) {
        RuleFields fields = Greeter();
        fields.text[RuleFields::When] = c.when;
        fields.text[c.field] = c.text;
        const RuleFieldsResult read = ReadRuleFields(fields, {"Hours"});
        SCOPED_TRACE(std::string(c.when) + " / " + c.text);
        EXPECT_FALSE(read.rule);
        if (*c.problem) {
            EXPECT_EQ(read.problems[c.field], c.problem);
        } else {
            EXPECT_FALSE(read.problems[c.field].empty());
        }
        for (int f = 0; f < RuleFields::Count; ++f) {
            if (f != c.field) {
                EXPECT_EQ(read.problems[f], "") << "field " << f;
            }
        }
    }
}

// The line each rule has in the Rules window's list.
TEST(RuleFields, ARuleIsDescribedByWhatSetsItOffAndWhatItDoes) {
    const struct {
        const char *rule;
        const char *description;
    } cases[] = {
        {"when = arrival first-visit\nname = Al*\nthen = whisper Hi {name}",
         "when a first visit today of Al* then whisper \"Hi {name}\""},
        {"when = chat\nwords = opening hours, price\nthen = say Nine",
         "when chat with \"opening hours\" or more then say \"Nine\""},
        {"when = whisper\nregex = ^!help\nthen = notice help", "when whisper matching ^!help then notice \"help\""},
        {"when = chat\nflood = 5 10\nwarn = slow down\nthen = eject 5",
         "when chat, 5 lines in 10 seconds from one person then warn, eject"},
        {"when = every 30\nthen = say News", "when every 30 minutes then say \"News\""},
        {"when = at 18:05\nthen = teleport Town 0 0 0", "when at 18:05 then teleport"},
    };
    for (const auto &c : cases) {
        const RulesFileResult read = ParseRules(std::string("[Rule]\n") + c.rule + "\n");
        ASSERT_EQ(read.rules.size(), 1u) << c.rule << (read.problems.empty() ? "" : read.problems.front());
        EXPECT_EQ(DescribeRule(read.rules[0]), c.description) << c.rule;
    }
}

TEST(RuleFields, ARuleComesBackFromItsFieldsAsItWas) {
    const RulesFileResult file = ParseRules(R"([Flood]
on = no
when = chat
name = A*
words = buy now, cheap
flood = 5 10
world = Town, Sunset
build = 20-
class = visitor bot
cooldown-person = 60
cooldown-rule = 5
warn = {name}, please slow down.
then = eject 10
then = notice Ejected {name}.

[Evening]
when = at 18:05
then = teleport Town 100 0 -200 900
)");
    ASSERT_EQ(file.rules.size(), 2u);
    for (const Rule &rule : file.rules) {
        const RuleFieldsResult read = ReadRuleFields(RuleFields::From(rule), {});
        ASSERT_TRUE(read.rule) << rule.name;
        EXPECT_EQ(FormatRules({*read.rule}), FormatRules({rule}));
    }
}

class RulesDocumentTest : public testing::Test {
protected:
    void Write(const std::string &text) { std::ofstream(Path(), std::ios::binary) << text; }
    std::string Path() const { return home_.File(kRulesFileName); }
    std::vector<Rule> OnDisk() const { return LoadRules(Path()).rules; }

    Rule Rule1() const { return *ReadRuleFields(Greeter(), {}).rule; }

    TempDir home_;
};

TEST_F(RulesDocumentTest, AFirstRuleIsWrittenAsAFile) {
    RulesDocument document(Path());
    document.Add(Rule1());
    EXPECT_TRUE(document.Modified());
    ASSERT_EQ(document.Save(), RulesDocument::SaveOutcome::Saved) << document.Error();
    EXPECT_FALSE(document.Modified());
    ASSERT_EQ(OnDisk().size(), 1u);
    EXPECT_EQ(OnDisk()[0].name, "Greeter");
}

TEST_F(RulesDocumentTest, AFileChangedByHandIsNotOverwrittenUnasked) {
    Write("[Hours]\nwhen = chat\nthen = say Nine to five.\n");
    RulesDocument document(Path());
    document.Add(Rule1());
    Write("[Hours]\nwhen = chat\nthen = say Ten to six.\n");
    EXPECT_EQ(document.Save(), RulesDocument::SaveOutcome::ChangedOnDisk);
    EXPECT_EQ(OnDisk()[0].actions[0].text, "Ten to six.");
    // Reloading takes the hand's change; saving anyway takes the window's.
    document.Reload();
    EXPECT_EQ(document.Rules()[0].actions[0].text, "Ten to six.");
    document.Add(Rule1());
    Write("[Hours]\nwhen = chat\nthen = say Never.\n");
    EXPECT_EQ(document.Save(true), RulesDocument::SaveOutcome::Saved);
    EXPECT_EQ(OnDisk().size(), 2u);
}

TEST_F(RulesDocumentTest, RulesWithMistakesAreNotDroppedByASaveUnasked) {
    Write("[Broken]\nwhen = chat\nthen = shout\n\n[Hours]\nwhen = chat\nthen = say Nine to five.\n");
    RulesDocument document(Path());
    ASSERT_EQ(document.Problems().size(), 1u);
    document.SetEnabled(0, false);
    EXPECT_EQ(document.Save(), RulesDocument::SaveOutcome::WouldDropBroken);
    EXPECT_NE(ReadWholeFile(Path())->find("[Broken]"), std::string::npos);
    EXPECT_EQ(document.Save(true), RulesDocument::SaveOutcome::Saved);
    ASSERT_EQ(OnDisk().size(), 1u);
    EXPECT_FALSE(OnDisk()[0].enabled);
}

TEST_F(RulesDocumentTest, MovesStayWithinTheList) {
    RulesDocument document(Path());
    document.Add(Rule1());
    Rule second = Rule1();
    second.name = "Second";
    document.Add(second);
    EXPECT_FALSE(document.Move(0, -1));
    EXPECT_FALSE(document.Move(1, 1));
    EXPECT_TRUE(document.Move(1, -1));
    EXPECT_EQ(document.Rules()[0].name, "Second");
    EXPECT_EQ(document.OtherNames(0), std::vector<std::string>{"Greeter"});
}

} // namespace
