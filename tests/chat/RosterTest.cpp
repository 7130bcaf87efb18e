#include "chat/AvatarRoster.h"
#include "chat/MutedNames.h"
#include "chat/UsersList.h"
#include "common/TextCase.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

AvatarRecord Record(const std::string &name, int session, int x = 0, int z = 0) {
    AvatarRecord r;
    r.name = name;
    r.session = session;
    r.x = x;
    r.z = z;
    return r;
}

std::vector<int> SessionsInOrder(const AvatarRoster &roster) {
    std::vector<int> sessions;
    roster.ForEach([&](const AvatarRecord &r) { sessions.push_back(r.session); });
    return sessions;
}

TEST(AvatarRoster, KeepsArrivalOrderAndOneRecordPerSession) {
    AvatarRoster roster;
    roster.Add(Record("A", 1));
    roster.Add(Record("B", 2));
    roster.Add(Record("C", 3));
    roster.Add(Record("A again", 1));
    EXPECT_EQ(SessionsInOrder(roster), (std::vector<int>{2, 3, 1})) << "a repeated session goes to the tail";
    EXPECT_EQ(roster.Count(), 3u);
    ASSERT_NE(roster.Find(1), nullptr);
    EXPECT_EQ(roster.Find(1)->name, "A again");

    EXPECT_TRUE(roster.Update(2, 10, 20, 30, 900, 5));
    const AvatarRecord *b = roster.Find(2);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::tie(b->name, b->x, b->y, b->z, b->yaw, b->avatarType),
              std::make_tuple(std::string("B"), 10, 20, 30, 900, 5));
    EXPECT_FALSE(roster.Update(99, 1, 1, 1, 1, 1));

    EXPECT_TRUE(roster.Remove(3));
    EXPECT_FALSE(roster.Remove(3));
    EXPECT_EQ(roster.Find(3), nullptr);
    EXPECT_EQ(SessionsInOrder(roster), (std::vector<int>{2, 1}));
    roster.Clear();
    EXPECT_EQ(roster.Count(), 0u);
    EXPECT_TRUE(SessionsInOrder(roster).empty());
}

TEST(AvatarRoster, DeparturesDuringAWalkAreSafe) {
    struct Case {
        const char *name;
        int removeAt;                // the session being visited when the visitor acts
        std::vector<int> removes;    // sessions it removes then
        bool clear;                  // or it empties the roster
        std::vector<int> visited;    // what the walk saw
        std::vector<int> afterwards; // what is left
    };
    const Case cases[] = {
        {"the record being visited", 2, {2}, false, {1, 2, 3, 4}, {1, 3, 4}},
        {"the next record", 2, {3}, false, {1, 2, 4}, {1, 2, 4}},
        {"an earlier and the last record", 3, {1, 4}, false, {1, 2, 3}, {2, 3}},
        {"everybody", 1, {}, true, {1}, {}},
    };
    for (const Case &c : cases) {
        AvatarRoster roster;
        for (int s = 1; s <= 4; ++s) {
            roster.Add(Record("P" + std::to_string(s), s));
        }
        std::vector<int> visited;
        roster.ForEach([&](const AvatarRecord &r) {
            visited.push_back(r.session);
            if (r.session == c.removeAt) {
                for (int s : c.removes) {
                    EXPECT_TRUE(roster.Remove(s)) << c.name;
                    EXPECT_EQ(roster.Find(s), nullptr) << c.name << ": gone from the index at once";
                }
                if (c.clear) {
                    roster.Clear();
                }
            }
        });
        EXPECT_EQ(visited, c.visited) << c.name;
        EXPECT_EQ(SessionsInOrder(roster), c.afterwards) << c.name;
        EXPECT_EQ(roster.Count(), c.afterwards.size()) << c.name;
    }
}

TEST(AvatarRoster, ArrivalDuringAWalkIsVisitedAtTheEnd) {
    AvatarRoster roster;
    roster.Add(Record("A", 1));
    roster.Add(Record("B", 2));
    std::vector<int> visited;
    roster.ForEach([&](const AvatarRecord &r) {
        visited.push_back(r.session);
        if (r.name == "A") {
            roster.Add(Record("A back", 1)); // replaces the record being visited
        }
    });
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(SessionsInOrder(roster), (std::vector<int>{2, 1}));
}

TEST(FormatAvatarCoordinates, UsesTheRosterOrThePlaceholder) {
    AvatarRoster roster;
    AvatarRecord r = Record("A", 5, -50000, 40000);
    r.y = 2000;
    r.yaw = 1800;
    roster.Add(r);
    EXPECT_EQ(FormatAvatarCoordinates(roster, 5), "40.0N 50.0E 2.0a 180");
    EXPECT_EQ(FormatAvatarCoordinates(roster, 6), "0n 0e");
}

TEST(MutedNames, AreExactNames) {
    struct Case {
        std::vector<std::string> muted;
        const char *name;
        bool isMuted;
    };
    const Case cases[] = {
        {{"Alice"}, "Alice", true},      {{"Alice"}, "alice", false},
        {{"Alice"}, "Ali", false},       {{"b'a"}, "a", false},       // one quoted string made 'b'a' contain 'a'
        {{"b'a"}, "b'a", true},          {{"A", "B"}, "A''B", false}, // nor did 'A''B' leave A''B unmuted
        {{"A", "B"}, "B", true},         {{"\"Visitor\""}, "\"Visitor\"", true},
        {{"[Helper]"}, "Helper", false},
    };
    for (const Case &c : cases) {
        MutedNames muted;
        for (const std::string &name : c.muted) {
            muted.Mute(name);
        }
        EXPECT_EQ(muted.IsMuted(c.name), c.isMuted) << c.name;
    }
    MutedNames muted;
    muted.Mute("A");
    muted.Mute("B");
    muted.Mute("A");
    muted.Unmute("A");
    EXPECT_FALSE(muted.IsMuted("A"));
    EXPECT_TRUE(muted.IsMuted("B")) << "unmuting one name leaves the others";
    muted.Unmute("nobody");
    EXPECT_EQ(muted.Count(), 1u);
}

// Records the notifications as a model would see them.
class Watcher : public UsersListObserver {
public:
    std::vector<std::string> events;

    void BeginInsertRow(std::size_t row) override { events.push_back("insert " + std::to_string(row)); }
    void EndInsertRow() override {}
    void BeginRemoveRow(std::size_t row) override { events.push_back("remove " + std::to_string(row)); }
    void EndRemoveRow() override {}
    void MutedChanged(std::size_t row) override { events.push_back("muted " + std::to_string(row)); }
    void BeginReset() override { events.push_back("reset"); }
    void EndReset() override {}
};

std::vector<std::string> Names(const UsersList &list) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        names.push_back(list.Row(i).name);
    }
    return names;
}

TEST(UsersList, SortsByFoldedNameThenExactNameThenSession) {
    UsersList list;
    Watcher watcher;
    list.SetObserver(&watcher);
    list.Insert("bob", 1, false);
    list.Insert("Alice", 2, false);
    list.Insert("[Helper]", 3, false);
    list.Insert("\"Visitor\"", 4, false);
    list.Insert("Bob", 5, false);
    list.Insert("alice", 6, false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"\"Visitor\"", "[Helper]", "Alice", "alice", "Bob", "bob"}));
    EXPECT_EQ(watcher.events,
              (std::vector<std::string>{"insert 0", "insert 0", "insert 0", "insert 0", "insert 3", "insert 3"}));
    watcher.events.clear();

    list.Insert("Zed", 2, false); // session 2 was Alice
    EXPECT_EQ(Names(list), (std::vector<std::string>{"\"Visitor\"", "[Helper]", "alice", "Bob", "bob", "Zed"}));
    EXPECT_EQ(watcher.events, (std::vector<std::string>{"remove 2", "insert 5"}));
    EXPECT_EQ(list.RowOf(2), 5u);
    EXPECT_EQ(list.RowOf(99), std::nullopt);
    EXPECT_FALSE(list.Remove(99));
    list.SetObserver(nullptr);
}

TEST(UsersList, SetsMutedOnEveryRowOfExactlyThatName) {
    UsersList list;
    Watcher watcher;
    list.SetObserver(&watcher);
    list.Insert("Twin", 7, false);
    list.Insert("twin", 3, false);
    list.Insert("Twin", 2, false);
    list.Insert("Twins", 1, false);
    list.Insert("Twin", 9, true);
    watcher.events.clear();
    list.SetMuted("Twin", true);
    // Rows: Twin 2, Twin 7, Twin 9 (already muted), twin 3, Twins 1.
    EXPECT_EQ(watcher.events, (std::vector<std::string>{"muted 0", "muted 1"}));
    std::vector<bool> muted;
    for (std::size_t i = 0; i < list.Count(); ++i) {
        muted.push_back(list.Row(i).muted);
    }
    EXPECT_EQ(muted, (std::vector<bool>{true, true, true, false, false}));
    watcher.events.clear();
    list.SetMuted("twin", false);
    EXPECT_TRUE(watcher.events.empty()) << "nothing changed, nothing told";
    list.SetMuted("Nobody", true);
    EXPECT_TRUE(watcher.events.empty());
    list.SetObserver(nullptr);
}

// Thousands of random arrivals and departures against a plainly sorted copy: every row number told to the
// observer and every row read back must agree with it.
TEST(UsersList, AgreesWithASortedCopyUnderRandomTraffic) {
    using Key = std::tuple<std::string, std::string, int>;
    UsersList list;
    std::vector<Key> copy;
    std::map<int, std::string> present;
    std::size_t toldRow = 0;
    struct Tell : UsersListObserver {
        std::size_t *row;
        explicit Tell(std::size_t *r) : row(r) {}
        void BeginInsertRow(std::size_t r) override { *row = r; }
        void EndInsertRow() override {}
        void BeginRemoveRow(std::size_t r) override { *row = r; }
        void EndRemoveRow() override {}
        void MutedChanged(std::size_t) override {}
        void BeginReset() override {}
        void EndReset() override {}
    } tell(&toldRow);
    list.SetObserver(&tell);
    std::mt19937 random(7);
    const char *stems[] = {"a", "A", "bee", "Bee", "[bot]", "\"v\"", "zed", "Zed", "m"};
    const auto keyOf = [](const std::string &name, int session) { return Key{FoldCase(name), name, session}; };
    for (int step = 0; step < 6000; ++step) {
        const int session = static_cast<int>(random() % 400);
        if (random() % 3 != 0) {
            const std::string name = std::string(stems[random() % 9]) + std::to_string(random() % 5);
            if (const auto old = present.find(session); old != present.end()) {
                std::erase(copy, keyOf(old->second, session));
            }
            const Key key = keyOf(name, session);
            const auto at = std::lower_bound(copy.begin(), copy.end(), key);
            const auto expectedRow = static_cast<std::size_t>(at - copy.begin());
            copy.insert(at, key);
            present[session] = name;
            list.Insert(name, session, false);
            ASSERT_EQ(toldRow, expectedRow) << "insert at step " << step;
        } else if (const auto gone = present.find(session); gone != present.end()) {
            const Key key = keyOf(gone->second, session);
            const auto at = std::lower_bound(copy.begin(), copy.end(), key);
            const auto expectedRow = static_cast<std::size_t>(at - copy.begin());
            copy.erase(at);
            present.erase(gone);
            ASSERT_TRUE(list.Remove(session));
            ASSERT_EQ(toldRow, expectedRow) << "remove at step " << step;
        }
        ASSERT_EQ(list.Count(), copy.size());
    }
    for (std::size_t i = 0; i < copy.size(); ++i) {
        ASSERT_EQ(list.Row(i).session, std::get<2>(copy[i])) << "row " << i;
        ASSERT_EQ(list.RowOf(std::get<2>(copy[i])), i);
    }
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    list.SetObserver(nullptr);
}

} // namespace
