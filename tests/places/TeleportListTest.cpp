#include "places/TeleportList.h"

#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Readable failures for the types compared below (found by argument-dependent lookup).
void PrintTo(const TeleportEntry &e, std::ostream *os) { *os << "{'" << e.name << "', '" << e.location << "'}"; }

namespace {

using Rows = std::vector<TeleportEntry>;

// A literal with its embedded NULs.
template <std::size_t N> std::string Bytes(const char (&text)[N]) { return std::string(text, N - 1); }

struct LoadCase {
    const char *name;
    std::string content;
    Rows rows;
};

TEST(TeleportListLoad, ReadsLocationThenNameAtTheFirstColon) {
    const std::string longName(100000, 'n');
    const LoadCase cases[] = {
        {"one good line among junk",
         "Sunset 1N 2W 0a 0:Home\r\nno colon here\r\n\r\n",
         {{"Home", "Sunset 1N 2W 0a 0"}}},
        {"a name with colons stays whole", "Sunset 1N:a:b\r\n", {{"a:b", "Sunset 1N"}}},
        {"any line end, none at the end", "A 1N:x\nB 2N:y\rC 3N:z", {{"x", "A 1N"}, {"y", "B 2N"}, {"z", "C 3N"}}},
        {"byte-order mark is not part of the world", "\xEF\xBB\xBFSunset 1N:Home\r\n", {{"Home", "Sunset 1N"}}},
        {"white space trimmed round the line", "  \t Sunset 1N:Home  \r\n", {{"Home", "Sunset 1N"}}},
        {"inner blanks kept", "Sunset 1N :  Home\r\n", {{"  Home", "Sunset 1N "}}},
        {"a NUL ends the line's text",
         Bytes("Sunset 1N:Ho\0me\r\nBeach 2N:Dock\r\n"),
         {{"Dock", "Beach 2N"}, {"Ho", "Sunset 1N"}}},
        {"NUL before the colon leaves no colon", Bytes("Sun\0set 1N:Home\r\n"), {}},
        {"empty location and name", ":\r\n", {{"", ""}}},
        {"a long line is one row", "Far 1N:" + longName + "\r\n", {{longName, "Far 1N"}}},
        {"binary junk is skipped or kept as bytes", "\xff\xfe\x01\x02\r\n\x80:\x81\r\n", {{"\x81", "\x80"}}},
        {"empty file", "", {}},
    };
    for (const auto &c : cases) {
        TeleportList list;
        list.LoadText(c.content);
        EXPECT_EQ(list.Rows(), c.rows) << c.name;
    }
}

TEST(TeleportListOrder, SortsByNameIgnoringCaseWhateverTheFileOrder) {
    TeleportList list;
    list.LoadText("L:beta\r\nL:Alpha\r\nL:gamma\r\nL:alpha\r\nL:Beta\r\nL:10\r\nL:\r\n");
    std::vector<std::string> names;
    for (const auto &row : list.Rows()) {
        names.push_back(row.name);
    }
    // Names that differ only in case stand together, in byte order, so the order is the same on every load.
    EXPECT_EQ(names, (std::vector<std::string>{"", "10", "Alpha", "alpha", "Beta", "beta", "gamma"}));
    EXPECT_EQ(list.SaveText(), "L:\r\nL:10\r\nL:Alpha\r\nL:alpha\r\nL:Beta\r\nL:beta\r\nL:gamma\r\n");
}

TEST(TeleportListOrder, SortsNamesAsWordsNotAsBytes) {
    TeleportList list;
    list.LoadText("L:Zoo\r\nL:\xc3\xa9t\xc3\xa9\r\nL:Alpha\r\nL:\xc3\x89T\xc3\x89\r\nL:\xc3\x84pfel\r\n");
    std::vector<std::string> names;
    for (const auto &row : list.Rows()) {
        names.push_back(row.name);
    }
    // ÉTÉ and été differ only in case: byte order between them.
    EXPECT_EQ(names,
              (std::vector<std::string>{"Alpha", "\xc3\x84pfel", "\xc3\x89T\xc3\x89", "\xc3\xa9t\xc3\xa9", "Zoo"}));
}

TEST(TeleportListCommands, RememberEditDeleteAndDestination) {
    TeleportList list;
    EXPECT_EQ(TeleportList::RememberLine("Sunset", {0, 0, -1500, 900}, "Dock"), "Sunset 1.5S 0.0W 0.0a 90:Dock");
    EXPECT_EQ(list.Remember("Sunset", {0, 0, -1500, 900}, ""), std::nullopt) << "an empty name adds nothing";
    ASSERT_EQ(list.Remember("Sunset", {0, 0, -1500, 900}, "Dock"), 0u);
    EXPECT_EQ(list.Row(0), (TeleportEntry{"Dock", "Sunset 1.5S 0.0W 0.0a 90"}));

    ASSERT_EQ(list.Remember("Sunset", {0, 0, 0, 0}, "a:b"), 0u);
    EXPECT_EQ(list.Row(0).name, "a:b");
    ASSERT_EQ(list.Remember("Beach", {0, 0, 0, 0}, "two\r\nlines"), 2u);
    EXPECT_EQ(list.Row(2).name, "two  lines") << "a line end in a name would break the file";

    // Edit: the row takes its new sorted place; a colon typed into the location moves its rest into the name.
    ASSERT_EQ(list.Edit(0, "Sunset 1N:2W", "X"), 0u);
    EXPECT_EQ(list.Row(0), (TeleportEntry{"2W:X", "Sunset 1N"}));
    const auto moved = list.Edit(0, "12.3N 4.5W", "");
    ASSERT_EQ(moved, 0u);
    EXPECT_EQ(list.Row(0), (TeleportEntry{"", "12.3N 4.5W"})) << "an empty name is kept";
    EXPECT_EQ(list.Edit(99, "x", "y"), std::nullopt);

    EXPECT_EQ(list.Destination(0), (TeleportTarget{"", {4500, 0, 12300, 0}})) << "no world name: empty world";
    EXPECT_EQ(list.Destination(99), std::nullopt);

    EXPECT_EQ(list.Size(), 3u);
    EXPECT_FALSE(list.Delete(3));
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_EQ(DeleteTeleportQuestion("Home"), "Are you sure you wish to delete 'Home' ?");
}

TEST(TeleportListFile, RoundTripAndFailures) {
    TempDir dir;
    const std::string path = dir.File("teleport.txt");
    { std::ofstream(path, std::ios::binary) << "Zed 1N:zed\nSunset 1N 2W 0a 0:Home\njunk\n"; }
    TeleportList list;
    list.Load(path);
    ASSERT_EQ(list.Size(), 2u);
    list.Remember("Beach", {100, 0, 200, 0}, "a:b");
    ASSERT_TRUE(list.Save(path).ok);
    EXPECT_EQ(*ReadWholeFile(path), "Beach 0.2N 0.1W 0.0a 0:a:b\r\nSunset 1N 2W 0a 0:Home\r\nZed 1N:zed\r\n");

    TeleportList again;
    again.Load(path);
    EXPECT_EQ(again.Rows(), list.Rows());

    TeleportList missing;
    missing.Load(dir.File("none.txt"));
    EXPECT_EQ(missing.Size(), 0u);
    EXPECT_TRUE(missing.Save(dir.File("none.txt")).ok) << "a first run writes a new (empty) file";

    if (::geteuid() != 0) { // root reads any file
        ASSERT_EQ(::chmod(path.c_str(), 0), 0);
        TeleportList unreadable;
        unreadable.Load(path);
        EXPECT_NE(unreadable.LoadMessage().find("teleport.txt"), std::string::npos) << unreadable.LoadMessage();
        unreadable.AddLine("Town 1N:Kept");
        const FileResult saved = unreadable.Save(path);
        ::chmod(path.c_str(), 0644);
        EXPECT_TRUE(saved.ok) << saved.error;
        EXPECT_EQ(ReadWholeFile(unreadable.KeptPath()), "Town 1N:Kept\r\n") << "the run's places are kept beside it";
        EXPECT_EQ(*ReadWholeFile(path), "Beach 0.2N 0.1W 0.0a 0:a:b\r\nSunset 1N 2W 0a 0:Home\r\nZed 1N:zed\r\n")
            << "a file that could not be read is not emptied";
    }
    EXPECT_FALSE(list.Save(dir.File("no/such/folder/teleport.txt")).ok);
}

} // namespace
