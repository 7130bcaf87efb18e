// Which of the bot's moments become desktop notices, and the count of unseen whispers.

#include "app/NoticeRules.h"

#include <gtest/gtest.h>

namespace {

TEST(NoticeRules, ALineNamesTheBotOnlyAsAWordOfItsOwn) {
    struct Case {
        const char *text;
        const char *name;
        bool names;
    };
    const Case cases[] = {
        {"hello tester", "Tester", true},  {"TESTER, are you there?", "Tester", true},
        {"@Tester!", "Tester", true},      {"Testers unite", "Tester", false},
        {"protester", "Tester", false},    {"Tester_2 said", "Tester", false},
        {"Bobé is here", "Bob", false},    {"", "Tester", false},
        {"anything", "", false},           {"Test", "Tester", false},
        {"a Tester", "Tester", true},      {"Tester Tester", "Tester", true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(NoticeRules::NamesBot(c.text, c.name), c.names) << c.text << " / " << c.name;
    }
}

TEST(NoticeRules, WhispersAndLinesNamingTheBotAreNoticedOnlyWhileTheWindowIsElsewhere) {
    using Kind = PeopleEvent::Kind;
    struct Case {
        const char *what;
        Kind kind;
        const char *text;
        bool windowActive;
        bool Settings::*off; // a setting turned off for the case, or none
        std::optional<Notice> notice;
        int unread;
    };
    const Case cases[] = {
        {"whisper", Kind::Whisper, "psst", false, nullptr, Notice{"Whisper from Alice", "psst"}, 1},
        {"whisper seen", Kind::Whisper, "psst", true, nullptr, std::nullopt, 0},
        {"whisper, notices off", Kind::Whisper, "psst", false, &Settings::notifyWhispers, std::nullopt, 1},
        {"naming", Kind::Chat, "hi Tester", false, nullptr, Notice{"Alice", "hi Tester"}, 0},
        {"naming seen", Kind::Chat, "hi Tester", true, nullptr, std::nullopt, 0},
        {"naming, notices off", Kind::Chat, "hi Tester", false, &Settings::notifyName, std::nullopt, 0},
        {"other chat", Kind::Chat, "hi all", false, nullptr, std::nullopt, 0},
        {"arrival", Kind::Arrival, "", false, nullptr, std::nullopt, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Settings settings;
        if (c.off) {
            settings.*c.off = false;
        }
        NoticeRules rules(settings);
        EXPECT_EQ(rules.ForPeopleEvent({c.kind, "Alice", 5, {}, c.text}, "Tester", c.windowActive), c.notice);
        EXPECT_EQ(rules.UnreadWhispers(), c.unread);
    }
}

TEST(NoticeRules, UnreadWhispersCountUntilTheWindowIsActivated) {
    const Settings settings;
    NoticeRules rules(settings);
    for (int i = 0; i < 3; ++i) {
        rules.ForPeopleEvent({PeopleEvent::Kind::Whisper, "Alice", 5, {}, "psst"}, "Tester", false);
    }
    EXPECT_EQ(rules.UnreadWhispers(), 3);
    rules.WindowActivated();
    EXPECT_EQ(rules.UnreadWhispers(), 0);
}

TEST(NoticeRules, ADisconnectionIsNoticedWithItsReason) {
    Settings settings;
    NoticeRules rules(settings);
    const auto notice = rules.ForDisconnect(471, false);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->title, "Gabbler");
    EXPECT_EQ(notice->body.rfind("You have been disconnected from this world (reason: ", 0), 0u) << notice->body;
    EXPECT_EQ(rules.ForDisconnect(471, true), std::nullopt);
    settings.notifyDisconnect = false;
    EXPECT_EQ(rules.ForDisconnect(471, false), std::nullopt);
}

} // namespace
