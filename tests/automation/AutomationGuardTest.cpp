// The guard every automatic action goes through, on a clock the test turns.

#include "RecordedActions.h"
#include "automation/Automation.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct GuardFixture {
    std::int64_t now = 1'000'000;
    RecordedActions actions;
    std::vector<AutomaticAction> recorded;
    Automation automation{actions, GuardSettings{3, 10, 5, 60}, [this] { return now; }};
    GuardFixture() {
        automation.SetRecorder([this](const AutomaticAction &a) { recorded.push_back(a); });
    }
};

BotEvent EventFrom(std::string name, int session, BotEventType type = BotEventType::Chat) {
    BotEvent e;
    e.type = type;
    e.name = std::move(name);
    e.session = session;
    e.personClass = ClassOfName(e.name);
    return e;
}

TEST(AutomationGuard, NeverHearsTheBotsOwnLines) {
    GuardFixture f;
    f.automation.Guard().SetSelf("[Tester]", 9);
    std::vector<std::string> heard;
    f.automation.AddListener([&](const BotEvent &e) { heard.push_back(e.name); });
    struct Case {
        BotEvent event;
        bool heard;
    } cases[] = {
        {EventFrom("Alice", 5), true},      {EventFrom("[Tester]", 9), false},
        {EventFrom("[tester]", 12), false}, // the same bot's name from another session
        {EventFrom("[Other]", 9), false},   // the bot's own session whatever the name
        {EventFrom("[Other]", 10), true},   {EventFrom("", 0, BotEventType::Timer), true},
    };
    for (const Case &c : cases) {
        heard.clear();
        f.automation.Raise(c.event);
        EXPECT_EQ(heard.size(), c.heard ? 1u : 0u) << c.event.name << " " << c.event.session;
    }
}

TEST(AutomationGuard, AnswersABotOnlyWhenNamed) {
    struct Case {
        const char *name;
        bool namesBots;
        bool answers;
    } cases[] = {
        {"Alice", false, true}, {"\"Tourist\"", false, true}, {"[Echo]", false, false}, {"[Echo]", true, true}};
    for (const Case &c : cases) {
        EXPECT_EQ(AutomationGuard::MayAnswer(EventFrom(c.name, 3), c.namesBots), c.answers) << c.name;
    }
}

TEST(AutomationGuard, TheGlobalBudgetDropsAndCountsTheExtraLines) {
    GuardFixture f;
    // Several rules together: the budget is the bot's, not a rule's.
    for (int i = 0; i < 6; ++i) {
        f.automation.ActionsFor("rule R" + std::to_string(i % 3)).Say("line " + std::to_string(i));
    }
    EXPECT_EQ(f.actions.said, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
    EXPECT_EQ(f.automation.Guard().Dropped(), 3u);
    EXPECT_EQ(f.automation.ActionsFor("rule R0").Whisper(5, "more").code, kActionBudget);
    // The window moves on: the budget is there again.
    f.now += 10'000;
    EXPECT_TRUE(f.automation.ActionsFor("rule R0").Whisper(5, "later").Ok());
    EXPECT_EQ(f.actions.said.back(), "whisper 5 later");
}

TEST(AutomationGuard, ASourceThatFiresTooOftenIsPausedWithALine) {
    GuardFixture f;
    BotActions &noisy = f.automation.ActionsFor("rule Noisy");
    for (int i = 0; i < 5; ++i) {
        noisy.Notice("n");
    }
    EXPECT_TRUE(f.automation.Guard().Paused("rule Noisy") == false);
    noisy.Notice("one too many");
    EXPECT_TRUE(f.automation.Guard().Paused("rule Noisy"));
    ASSERT_EQ(f.actions.notices.size(), 6u);
    EXPECT_EQ(f.actions.notices.back(), "Automation: rule Noisy fired more than 5 times in 60 seconds and is paused.");
    f.now += 3'600'000;
    EXPECT_EQ(noisy.Say("still paused").code, kActionPaused);
    EXPECT_TRUE(f.automation.ActionsFor("rule Quiet").Say("others go on").Ok());
    f.automation.Guard().Resume("rule Noisy");
    EXPECT_TRUE(noisy.Say("back").Ok());
}

TEST(AutomationGuard, EveryActionIsRecordedWithItsSource) {
    GuardFixture f;
    f.automation.ActionsFor("rule Greeter").Whisper(5, "hi Alice");
    f.automation.ActionsFor("script order.lua").Eject(5, 10);
    ASSERT_EQ(f.recorded.size(), 2u);
    EXPECT_EQ(f.recorded[0].source, "rule Greeter");
    EXPECT_EQ(f.recorded[0].action, "whisper");
    EXPECT_EQ(f.recorded[0].target, "Alice");
    EXPECT_EQ(f.recorded[0].text, "hi Alice");
    EXPECT_EQ(f.recorded[0].result, 0);
    EXPECT_EQ(f.recorded[1].source, "script order.lua");
    EXPECT_EQ(f.recorded[1].result, kActionNoRight);
}

} // namespace
