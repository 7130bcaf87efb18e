#include "chat/LineSpeaker.h"

#include "chat/AvatarRoster.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct SpeakerCase {
    const char *text;
    const char *name; // nullptr: nobody
    int session;
};

TEST(LineSpeaker, APresentNameFollowedByAColonBeginsTheLine) {
    AvatarRoster roster;
    const std::pair<const char *, int> present[] = {{"Bob", 1}, {"Bob Smith", 2}, {"[Helper]", 3}, {"Tab\tName", 4}};
    for (const auto &[name, session] : present) {
        AvatarRecord record;
        record.name = name;
        record.session = session;
        roster.Add(record);
    }
    const SpeakerCase cases[] = {
        {"Bob: hi", "Bob", 1},
        {"Bob Smith: hi", "Bob Smith", 2},
        {"[Helper]: I can help", "[Helper]", 3},
        {"Tab Name: shown with a blank", "Tab\tName", 4},
        {"Bob says hi", nullptr, 0},
        {"Bobby: hi", nullptr, 0},
        {"bob: hi", nullptr, 0},
        {"Carol: hi", nullptr, 0},
        {"Whisper from Bob: hi", nullptr, 0},
        {"Bob", nullptr, 0},
        {"", nullptr, 0},
    };
    for (const SpeakerCase &c : cases) {
        const auto speaker = PresentSpeakerAt(roster, c.text);
        if (!c.name) {
            EXPECT_FALSE(speaker.has_value()) << c.text;
            continue;
        }
        ASSERT_TRUE(speaker.has_value()) << c.text;
        EXPECT_EQ(speaker->name, c.name) << c.text;
        EXPECT_EQ(speaker->session, c.session) << c.text;
        EXPECT_EQ(speaker->length, std::string(c.text).find(':')) << c.text;
    }
}

} // namespace
