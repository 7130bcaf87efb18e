// gabbler-universe's administration sub-commands on a store, with the server stopped: the ejection commands that
// undo a lock-out, and the world-name rule that keeps every world name typeable in the client.

#include "TempDir.h"
#include "server/CommandLine.h"
#include "server/Store.h"
#include "server/UniverseServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::int32_t Address(const char *dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return static_cast<std::int32_t>(a.s_addr);
}

class AdminCommandsTest : public ::testing::Test {
protected:
    // Runs "gabbler-universe WHAT VERB --data DIR ARGS..." and returns its exit status; out gets what it printed.
    int Run(std::vector<std::string> args, std::string *out = nullptr) {
        args.insert(args.begin() + 2, {"--data", dir_.Path()});
        const CommandLine c = ParseCommandLine(args);
        std::ostringstream o, e;
        const int status = RunAdminCommand(c, o, e);
        if (out)
            *out = o.str() + e.str();
        return status;
    }

    // Works on the store the commands use, and closes it again before they run.
    template <class F> void WithStore(F f) {
        Store store;
        std::string error;
        ASSERT_TRUE(store.Open(dir_.File("universe.db"), error)) << error;
        f(store);
    }

    TempDir dir_;
};

constexpr std::int64_t kMade = 1700000000; // 2023-11-14 22:13:20 UTC

TEST_F(AdminCommandsTest, ListsAndDeletesWorldAndUniverseEjections) {
    ASSERT_EQ(Run({"world", "add", "Town"}), 0);
    WithStore([](Store &s) {
        ASSERT_TRUE(s.PutWorldEjection("Town", {0, Address("127.0.0.1"), 0, kMade, "Ejected by [Bot]"}));
        ASSERT_TRUE(s.PutWorldEjection("Town", {2, 7, kMade + 60, kMade, "two\nlines"}));
        ASSERT_TRUE(s.PutWorldEjection("Town", {1, -5, 0, 0, ""}));
        ASSERT_TRUE(s.PutUniverseEjection({0, Address("127.0.0.1"), 0, kMade, "\"all\" of us"}));
    });
    std::string out;
    ASSERT_EQ(Run({"world", "ejections", "town"}, &out), 0) << out;
    EXPECT_EQ(out, "address\t127.0.0.1\tcreated 2023-11-14 22:13:20 UTC\texpires never\t\"Ejected by [Bot]\"\n"
                   "computer\t-5\tcreated unknown\texpires never\t\"\"\n"
                   "citizen\t7\tcreated 2023-11-14 22:13:20 UTC\texpires 2023-11-14 22:14:20 UTC (ended)\t"
                   "\"two\\nlines\"\n");
    ASSERT_EQ(Run({"universe", "ejections"}, &out), 0) << out;
    EXPECT_EQ(out, "127.0.0.1\tcreated 2023-11-14 22:13:20 UTC\texpires never\t\"\\\"all\\\" of us\"\n");

    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case cases[] = {
        {{"world", "delete-ejection", "Town", "address", "127.0.0.1"}, 0},
        {{"world", "delete-ejection", "Town", "address", "127.0.0.1"}, 1}, // gone already
        {{"world", "delete-ejection", "Town", "citizen", "7"}, 0},
        {{"world", "delete-ejection", "Town", "computer", "4294967291"}, 0}, // -5 written unsigned
        {{"world", "delete-ejection", "Town", "address", "127.0.0.300"}, 1},
        {{"world", "delete-ejection", "Town", "citizen", "seven"}, 1},
        {{"world", "delete-ejection", "Town", "person", "7"}, 2},
        {{"world", "delete-ejection", "Nowhere", "citizen", "7"}, 1},
        {{"world", "delete-ejection", "Town", "citizen"}, 2},
        {{"world", "ejections"}, 2},
        {{"universe", "delete-ejection", "127.0.0.1"}, 0},
        {{"universe", "delete-ejection", "127.0.0.1"}, 1},
        {{"universe", "delete-ejection", "localhost"}, 1},
    };
    for (const Case &c : cases) {
        std::string said;
        EXPECT_EQ(Run(c.args, &said), c.status) << c.args[1] << " " << c.args.back() << ": " << said;
    }
    ASSERT_EQ(Run({"world", "ejections", "Town"}, &out), 0);
    EXPECT_EQ(out, "");
    ASSERT_EQ(Run({"universe", "ejections"}, &out), 0);
    EXPECT_EQ(out, "");
}

TEST_F(AdminCommandsTest, WorldNamesAreAtMostEightCharactersAsTheClientCountsThem) {
    struct Case {
        const char *name;
        int status;
    };
    const Case cases[] = {
        {"Eightchr", 0},
        {"Ninechars", 1},
        {"\xc3\x89t\xc3\xa9\xc3\x89t\xc3\xa9\xc3\x89t", 0},         // "ÉtéÉtéÉt": 8 characters in 11 bytes
        {"\xc3\x89t\xc3\xa9\xc3\x89t\xc3\xa9\xc3\x89t\xc3\xa9", 1}, // "ÉtéÉtéÉté"
        {"\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80", 0}, // four emoji, eight units
        {"\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80x", 1},
        {"", 1},
        {"Tab\tTab", 1},
        {"\xff\xfe", 1},
    };
    for (const Case &c : cases) {
        std::string said;
        EXPECT_EQ(Run({"world", "add", c.name}, &said), c.status) << c.name << ": " << said;
        if (std::string(c.name) == "Ninechars") {
            EXPECT_NE(said.find("world names are at most 8 characters"), std::string::npos) << said;
        }
    }
    std::string out;
    ASSERT_EQ(Run({"world", "list"}, &out), 0);
    EXPECT_EQ(out.find("Ninechars"), std::string::npos) << out;

    // The control functions of a running server follow the same rule.
    ServerOptions options;
    options.port = 0;
    options.dataFolder = dir_.Path();
    UniverseServer server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    EXPECT_TRUE(server.AddWorld("Yonder", 63));
    EXPECT_FALSE(server.AddWorld("Elsewhere", 63));
}

TEST_F(AdminCommandsTest, AWorldNameIsOneWorldInAnyLetterCase) {
    // The client lists "ÉTÉ" and "été" as one world; the universe must not hold two that the list cannot tell apart.
    std::string said;
    ASSERT_EQ(Run({"world", "add", "\xc3\x89T\xc3\x89"}, &said), 0) << said;
    EXPECT_EQ(Run({"world", "add", "\xc3\xa9t\xc3\xa9"}, &said), 1) << said;
    EXPECT_EQ(Run({"world", "add", "\xd0\x96\xd0\xb0\xd1\x80"}, &said), 0) << said; // Жар
    EXPECT_EQ(Run({"world", "add", "\xd0\xb6\xd0\x90\xd0\xa0"}, &said), 1) << said; // жАР
    std::string out;
    ASSERT_EQ(Run({"world", "list"}, &out), 0);
    EXPECT_EQ(out.find("\xc3\xa9t\xc3\xa9"), std::string::npos) << out;
}

TEST_F(AdminCommandsTest, AStoreHoldingALongerWorldNameKeepsWorking) {
    // Made by hand, or before the rule.
    WithStore([](Store &s) {
        WorldRecord w;
        w.name = "Hand-made world";
        ASSERT_TRUE(s.AddWorld(w));
    });
    std::string out;
    ASSERT_EQ(Run({"world", "list"}, &out), 0);
    EXPECT_NE(out.find("Hand-made world\t"), std::string::npos) << out;
    EXPECT_EQ(Run({"world", "set", "Hand-made world", "67=Still here"}), 0);
    EXPECT_EQ(Run({"world", "ejections", "Hand-made world"}), 0);

    ServerOptions options;
    options.port = 0;
    options.dataFolder = dir_.Path();
    UniverseServer server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    PersonSpec visitor;
    visitor.name = "Visitor";
    EXPECT_GT(server.AddPerson("Hand-made world", visitor), 0);
    EXPECT_EQ(server.PeopleIn("Hand-made world").size(), 1u);
}

} // namespace
