#include "places/AvatarTable.h"

#include "PlacesFakes.h"
#include "TempDir.h"
#include "sdk/Attributes.h"

#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

// Readable failures for the types compared below (found by argument-dependent lookup).
void PrintTo(const AvatarEntry &e, std::ostream *os) { *os << "{'" << e.world << "', " << e.avatar << "}"; }

namespace {

using Entries = std::vector<AvatarEntry>;

template <std::size_t N> std::string Bytes(const char (&text)[N]) { return std::string(text, N - 1); }

struct LoadCase {
    const char *name;
    std::string content;
    Entries entries;
    std::string saved; // what Save writes back
};

TEST(AvatarTableLoad, ReadsWorldAndNumberAndStopsAtALineWithoutColon) {
    const std::string longWorld(50000, 'w');
    const LoadCase cases[] = {
        {"same world in another case updates the first spelling",
         "Sunset:12\r\nsunset:14\r\nBeach:3\r\n",
         {{"Sunset", 14}, {"Beach", 3}},
         "Sunset:14\r\nBeach:3\r\n"},
        {"a line without colon ends the reading; the rest is kept for the file",
         "Sunset:12\r\noops\r\nBeach:3\r\n",
         {{"Sunset", 12}},
         "Sunset:12\r\noops\r\nBeach:3\r\n"},
        {"blank lines are skipped, not an end", "\r\n   \r\nSunset:12\r\n", {{"Sunset", 12}}, "Sunset:12\r\n"},
        {"number read as atoi does",
         "Beach: x7\nA: -5z\nB:+9\nC:  42 \n",
         {{"Beach", 0}, {"A", -5}, {"B", 9}, {"C", 42}},
         "Beach:0\r\nA:-5\r\nB:9\r\nC:42\r\n"},
        {"numbers beyond 32 bits saturate",
         "Big:99999999999\nSmall:-99999999999\n",
         {{"Big", std::numeric_limits<int>::max()}, {"Small", std::numeric_limits<int>::min()}},
         "Big:2147483647\r\nSmall:-2147483648\r\n"},
        {"the world ends at the first colon", "a:b:7\n", {{"a", 0}}, "a:0\r\n"},
        {"byte-order mark, LF and CR line ends, no final newline",
         "\xEF\xBB\xBFSunset:1\nBeach:2\rDock:3",
         {{"Sunset", 1}, {"Beach", 2}, {"Dock", 3}},
         "Sunset:1\r\nBeach:2\r\nDock:3\r\n"},
        {"a NUL ends the line's text, here before its colon",
         Bytes("A:1\r\nSun\0set:2\r\nB:3\r\n"),
         {{"A", 1}},
         Bytes("A:1\r\nSun\0set:2\r\nB:3\r\n")},
        {"an unread rest without final line end gets one", "A:1\nzzz", {{"A", 1}}, "A:1\r\nzzz\r\n"},
        {"binary junk as a world name is kept as bytes", "\x80\xff:5\n", {{"\x80\xff", 5}}, "\x80\xff:5\r\n"},
        {"a long world name", longWorld + ":9\n", {{longWorld, 9}}, longWorld + ":9\r\n"},
        {"empty world name", ":4\n", {{"", 4}}, ":4\r\n"},
    };
    for (const auto &c : cases) {
        AvatarTable table;
        table.LoadText(c.content);
        EXPECT_EQ(table.Entries(), c.entries) << c.name;
        EXPECT_EQ(table.SaveText(), c.saved) << c.name;
    }
}

TEST(AvatarTableLookup, IgnoresLetterCaseInAnyScript) {
    AvatarTable table;
    table.RecordAvatar("Sunset", 12);
    table.RecordAvatar("Gr\xc3\xb6\xc3\x9f"
                       "e",
                       7); // Größe
    table.RecordAvatar("SUNSET", 13);
    table.RecordAvatar("\xc3\x89T\xc3\x89", 3); // ÉTÉ
    table.RecordAvatar("\xc3\xa9t\xc3\xa9", 4); // été
    EXPECT_EQ(table.Entries(), (Entries{{"Sunset", 13},
                                        {"Gr\xc3\xb6\xc3\x9f"
                                         "e",
                                         7},
                                        {"\xc3\x89T\xc3\x89", 4}}));
    EXPECT_EQ(table.LookupAvatar("sunset"), 13);
    EXPECT_EQ(table.LookupAvatar("GR\xc3\x96SSE"), 7) << "GRÖSSE";
    EXPECT_EQ(table.LookupAvatar("gr\xc3\xb6\xc3\x9f"
                                 "e"),
              7);
    EXPECT_EQ(table.LookupAvatar("Grosse"), 0) << "an accent is not a case";
    EXPECT_EQ(table.LookupAvatar("\xc3\xa9T\xc3\xa9"), 4);
    EXPECT_EQ(table.LookupAvatar("Nowhere"), 0) << "a world without entry starts with avatar 0";
    EXPECT_EQ(table.LookupAvatar("Sunset "), 0);
}

TEST(AvatarTableSave, UnstorableWorldsStayInMemoryOnly) {
    AvatarTable table;
    table.RecordAvatar("a:b", 5);
    table.RecordAvatar("two\nlines", 6);
    table.RecordAvatar("Sunset", 7);
    EXPECT_EQ(table.LookupAvatar("a:b"), 5);
    EXPECT_EQ(table.SaveText(), "Sunset:7\r\n");
}

TEST(AvatarTableFile, RoundTripAndTheEmptyTable) {
    TempDir dir;
    const std::string path = dir.File("avatars.txt");
    { std::ofstream(path, std::ios::binary) << "Earlier:4\r\n"; }
    AvatarTable empty;
    ASSERT_TRUE(empty.Save(path).ok);
    EXPECT_EQ(*ReadWholeFile(path), "Earlier:4\r\n") << "an empty table leaves the file alone";

    AvatarTable table;
    table.Load(path);
    table.RecordAvatar("Sunset", 251);
    table.RecordAvatar("earlier", -3);
    ASSERT_TRUE(table.Save(path).ok);
    EXPECT_EQ(*ReadWholeFile(path), "Earlier:-3\r\nSunset:251\r\n");
    AvatarTable again;
    again.Load(path);
    EXPECT_EQ(again.Entries(), table.Entries());

    AvatarTable missing;
    missing.Load(dir.File("none.txt"));
    EXPECT_TRUE(missing.Empty());
    EXPECT_FALSE(table.Save(dir.File("no/such/folder/avatars.txt")).ok);
}

TEST(ParseAvatarNumber, DigitsWithin32Bits) {
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"0", 0},
        {"251", 251},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"12a", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const auto &[text, number] : cases) {
        EXPECT_EQ(ParseAvatarNumber(text), number) << "'" << text << "'";
    }
}

struct ChangeCase {
    const char *name;
    bool copy;
    std::optional<int> avatar;
    bool publicSpeaker;
    int result;
    std::vector<std::string> events;
    int recorded; // the table's number for Sunset afterwards (it starts at 1)
};

TEST(ChangeAndCopyAvatar, RecordAndReport) {
    const ChangeCase cases[] = {
        {"change committed",
         false,
         12,
         false,
         0,
         {"set 203=12", "commit", "chat Avatar Inspector: Avatar change successful."},
         12},
        {"change refused: not recorded",
         false,
         12,
         false,
         471,
         {"set 203=12", "commit", "chat Avatar Inspector: Unable to change avatar (reason: connection lost)."},
         1},
        {"copy committed",
         true,
         12,
         false,
         0,
         {"set 203=12", "commit", "chat Avatar Inspector: Change to the avatar of Alice successful."},
         12},
        {"copy refused: still recorded",
         true,
         12,
         false,
         471,
         {"set 203=12", "commit", "chat Avatar Inspector: Unable to change avatar (reason: connection lost)."},
         12},
        {"special avatar without the right",
         true,
         251,
         false,
         0,
         {"chat Sorry, that user is using a special avatar."},
         1},
        {"negative avatar is special too", true, -1, false, 0, {"chat Sorry, that user is using a special avatar."}, 1},
        {"special avatar with the right",
         true,
         251,
         true,
         0,
         {"set 203=251", "commit", "chat Avatar Inspector: Change to the avatar of Alice successful."},
         251},
        {"ordinary edge 250 needs no right",
         true,
         250,
         false,
         0,
         {"set 203=250", "commit", "chat Avatar Inspector: Change to the avatar of Alice successful."},
         250},
        {"copy of a user who has left", true, std::nullopt, true, 0, {}, 1},
    };
    for (const auto &c : cases) {
        PlacesLog log;
        FakePlacesSdk sdk(log);
        RecordingOutput out(log);
        sdk.strings[kAttrWorldName] = "sunset";
        sdk.bools[kAttrWorldPublicSpeaker] = c.publicSpeaker;
        sdk.stateChangeResult = c.result;
        AvatarTable table;
        table.RecordAvatar("Sunset", 1);
        if (c.copy) {
            RunCopyAvatar("Alice", c.avatar, sdk, table, out);
        } else {
            RunChangeAvatar(*c.avatar, sdk, table, out);
        }
        EXPECT_EQ(log.events, c.events) << c.name;
        EXPECT_EQ(table.LookupAvatar("Sunset"), c.recorded) << c.name;
        EXPECT_EQ(table.Entries().size(), 1u) << c.name;
    }
}

} // namespace
