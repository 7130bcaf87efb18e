#include "places/Movement.h"

#include "PlacesFakes.h"
#include "sdk/Attributes.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

// Readable failures for the types compared below (found by argument-dependent lookup).
void PrintTo(const AttributeWrite &w, std::ostream *os) { *os << w.attribute << "=" << w.value; }

namespace {

using Writes = std::vector<AttributeWrite>;

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

struct MoveCase {
    const char *name;
    MoveCommand command;
    Position bot;
    Writes writes;
    bool recentres;
};

TEST(MoveWrites, StepsAndTurnsWriteTheirAttributesInOrder) {
    const Position at{100, 200, 10000, 450};
    const MoveCase cases[] = {
        {"north", MoveCommand::North, at, {{kAttrMyZ, 10500}, {kAttrMyYaw, 0}}, true},
        {"south", MoveCommand::South, at, {{kAttrMyZ, 9500}, {kAttrMyYaw, 1800}}, true},
        {"west", MoveCommand::West, at, {{kAttrMyX, 600}, {kAttrMyYaw, 900}}, true},
        {"east", MoveCommand::East, at, {{kAttrMyX, -400}, {kAttrMyYaw, 2700}}, true},
        {"up keeps the yaw", MoveCommand::Up, at, {{kAttrMyY, 700}}, false},
        {"down keeps the yaw", MoveCommand::Down, at, {{kAttrMyY, -300}}, false},
        {"face north", MoveCommand::FaceNorth, at, {{kAttrMyYaw, 0}}, false},
        {"face south", MoveCommand::FaceSouth, at, {{kAttrMyYaw, 1800}}, false},
        {"face west", MoveCommand::FaceWest, at, {{kAttrMyYaw, 900}}, false},
        {"face east", MoveCommand::FaceEast, at, {{kAttrMyYaw, 2700}}, false},
        {"north at the edge saturates",
         MoveCommand::North,
         {0, 0, kMax - 1, 0},
         {{kAttrMyZ, kMax}, {kAttrMyYaw, 0}},
         true},
        {"east at the edge saturates",
         MoveCommand::East,
         {kMin + 10, 0, 0, 0},
         {{kAttrMyX, kMin}, {kAttrMyYaw, 2700}},
         true},
        {"down at the edge saturates", MoveCommand::Down, {0, kMin, 0, 0}, {{kAttrMyY, kMin}}, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(MoveWrites(c.command, c.bot), c.writes) << c.name;
        EXPECT_EQ(MoveRecentres(c.command), c.recentres) << c.name;
    }
}

struct RunCase {
    const char *name;
    MoveCommand command;
    int result;
    std::vector<std::string> events;
};

TEST(RunMenuMove, CommitsThenRecentresAndReports) {
    const RunCase cases[] = {
        {"north committed",
         MoveCommand::North,
         0,
         {"set 200=10500", "set 201=0", "commit", "centre 100,10500",
          "chat Avatar Inspector: Avatar move successful."}},
        {"up committed: no recentring",
         MoveCommand::Up,
         0,
         {"set 199=700", "commit", "chat Avatar Inspector: Avatar move successful."}},
        {"face west writes only the yaw",
         MoveCommand::FaceWest,
         0,
         {"set 201=900", "commit", "chat Avatar Inspector: Avatar move successful."}},
        {"refused step: reason, map untouched",
         MoveCommand::West,
         471,
         {"set 198=600", "set 201=900", "commit",
          "chat Avatar Inspector: Unable to move avatar (reason: connection lost)."}},
    };
    for (const auto &c : cases) {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        RecordingOutput out(log);
        sdk.ints = {{kAttrMyX, 100}, {kAttrMyY, 200}, {kAttrMyZ, 10000}, {kAttrMyYaw, 450}};
        sdk.stateChangeResult = c.result;
        RunMenuMove(c.command, sdk, out);
        EXPECT_EQ(log.events, c.events) << c.name;
    }
}

TEST(RunMapStep, IgnoresTheResultAndAlwaysRecentres) {
    for (const int result : {0, 471}) {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        RecordingOutput out(log);
        sdk.ints = {{kAttrMyX, 100}, {kAttrMyZ, 10000}};
        sdk.stateChangeResult = result;
        RunMapStep(MoveCommand::South, sdk, out);
        EXPECT_EQ(log.events, (std::vector<std::string>{"set 200=9500", "set 201=1800", "commit", "centre 100,9500"}))
            << "result " << result;
    }
}

struct JoinCase {
    const char *name;
    Position target;
    Position expected; // x, y, z, yaw written
};

TEST(JoinAvatarWrites, StandsTwoMetresShortOfTheAvatarFacingIt) {
    const JoinCase cases[] = {
        {"west of the origin", {1000, 30, 0, 0}, {801, 30, 0, 900}},
        {"north of the origin: the bearing is 2 pi", {0, 0, 1000, 0}, {0, 0, 801, 3600}},
        {"at the origin", {0, 0, 0, 0}, {0, 0, -199, 0}},
        {"south", {0, 0, -1000, 0}, {0, 0, -801, 1800}},
        {"east", {-1000, 0, 0, 0}, {-801, 0, 0, 2700}},
        {"north-west", {1000, 0, 1000, 0}, {859, 0, 859, 450}},
        // Squares of these overflow 32 bits; the arithmetic must not.
        {"far north-west", {kMax, 5, kMax, 0}, {kMax - 141, 5, kMax - 141, 450}},
        {"far south-east", {kMin, 0, kMin, 0}, {kMin + 141, 0, kMin + 141, 2250}},
    };
    for (const auto &c : cases) {
        const Writes expected{
            {kAttrMyX, c.expected.x}, {kAttrMyY, c.expected.y}, {kAttrMyZ, c.expected.z}, {kAttrMyYaw, c.expected.yaw}};
        EXPECT_EQ(JoinAvatarWrites(c.target), expected) << c.name;
    }
}

struct FaceCase {
    const char *name;
    Position bot;
    int x, z;
    int yaw;
};

TEST(FaceAvatarYaw, TurnsTowardTheAvatar) {
    const FaceCase cases[] = {
        {"due south", {500, 0, 500, 0}, 500, -1000, 1800},
        {"due east", {500, 0, 500, 0}, -1000, 500, 2700},
        {"due west", {0, 0, 0, 0}, 10, 0, 900},
        {"due north is a full turn", {0, 0, 0, 0}, 0, 10, 3600},
        {"same place", {7, 0, 7, 1234}, 7, 7, 0},
        {"across the whole world", {kMin, 0, kMax, 0}, kMax, kMin, 1350},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FaceAvatarYaw(c.bot, c.x, c.z), c.yaw) << c.name;
    }
}

TEST(RunJoinAndFace, ReportAsTheCommandsDo) {
    {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        RecordingOutput out(log);
        RunJoinAvatar(std::nullopt, sdk, out);
        RunFaceAvatar(std::nullopt, sdk);
        EXPECT_TRUE(log.events.empty()) << "a target that has left does nothing";
    }
    {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        RecordingOutput out(log);
        RunJoinAvatar(Position{1000, 30, 0, 0}, sdk, out);
        EXPECT_EQ(log.events,
                  (std::vector<std::string>{"set 198=801", "set 199=30", "set 200=0", "set 201=900", "commit",
                                            "chat Avatar Inspector: Avatar join succcessful.", "centre 801,0"}));
    }
    {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        RecordingOutput out(log);
        sdk.stateChangeResult = 439;
        RunJoinAvatar(Position{0, 0, 0, 0}, sdk, out);
        ASSERT_FALSE(log.events.empty());
        EXPECT_EQ(log.events.back(), "chat Avatar Inspector: Unable to move avatar (reason: no connection).");
    }
    {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        sdk.ints = {{kAttrMyX, 500}, {kAttrMyZ, 500}, {kAttrMyYaw, 77}};
        sdk.stateChangeResult = 471;
        RunFaceAvatar(Position{-1000, 0, 500, 0}, sdk);
        EXPECT_EQ(log.events, (std::vector<std::string>{"set 201=2700", "commit"})) << "no chat line, even refused";
    }
}

struct PrefillCase {
    Position bot;
    const char *text;
};

TEST(TeleportPrefill, MarksZeroWithSouthAndEast) {
    const PrefillCase cases[] = {
        {{0, 0, 0, 0}, "0.0S 0.0E 0.0a 0"},
        {{30, 0, 30, 0}, "0.0N 0.0W 0.0a 0"},
        {{0, 2000, -1500, 900}, "1.5S 0.0E 2.0a 90"},
        {{-50000, 0, 0, 1800}, "0.0S 50.0E 0.0a 180"},
        {{5000, 0, 40000, 3599}, "40.0N 5.0W 0.0a 359"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(TeleportPrefill(c.bot), c.text) << c.text;
        const auto back = ReadLocation(c.text);
        EXPECT_LE(std::abs(back.position.z - c.bot.z), 100) << c.text;
        EXPECT_LE(std::abs(back.position.x - c.bot.x), 100) << c.text;
    }
}

struct FieldsCase {
    const char *world;
    const char *coordinates;
    TeleportTarget target;
};

TEST(ReadTeleportFields, JoinsBothFieldsAndStartsFromZero) {
    const FieldsCase cases[] = {
        {"Sunset", "10N 5W", {"Sunset", {5000, 0, 10000, 0}}},
        {"", "Sunset 1N", {"Sunset", {0, 0, 1000, 0}}},
        {"Beach", "Sunset 1N", {"Sunset", {0, 0, 1000, 0}}},
        {"Beach", "", {"Beach", {}}},
        {"", "", {"", {}}},
        {"Sunset", "0.0S 0.0E 2.0a 90", {"Sunset", {0, 2000, 0, 900}}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ReadTeleportFields(c.world, c.coordinates), c.target)
            << "'" << c.world << "' + '" << c.coordinates << "'";
    }
}

} // namespace
