// The server's pieces without the network: the store, password hashes, rights lists, the command line and the demo
// people.

#include "server/Store.h"

#include "TempDir.h"
#include "sdk/Attributes.h"
#include "server/CommandLine.h"
#include "server/DemoContent.h"
#include "server/DemoPeople.h"
#include "server/PasswordHash.h"
#include "server/Rights.h"
#include "server/Universe.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sstream>

namespace {

std::int32_t Address(const char *dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    std::int32_t v = 0;
    std::memcpy(&v, &a.s_addr, 4);
    return v;
}

TEST(PasswordHash, VerifiesOnlyTheRightPassword) {
    // PBKDF2-HMAC-SHA256 test vector (password "password", salt "salt", 1 and 4096 iterations).
    EXPECT_EQ(HashPasswordWithSalt("password", "salt", 1),
              "pbkdf2-sha256$1$salt$120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
    EXPECT_EQ(HashPasswordWithSalt("password", "salt", 4096),
              "pbkdf2-sha256$4096$salt$c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
    const std::string stored = HashPassword("secret", 10);
    EXPECT_NE(stored, HashPassword("secret", 10)) << "salted";
    struct Case {
        const char *password;
        std::string stored;
        bool ok;
    };
    const Case cases[] = {
        {"secret", stored, true},
        {"Secret", stored, false},
        {"", stored, false},
        {"secret", "", false},
        {"secret", "plain", false},
        {"secret", "pbkdf2-sha256$abc$salt$00", false},
        {"secret", "pbkdf2-sha256$999999999999$salt$00", false},
        {"secret", "pbkdf2-sha256$1$salt", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VerifyPassword(c.password, c.stored), c.ok) << c.password << " against " << c.stored;
}

TEST(Rights, ListsReadAsTheClientReadsThem) {
    struct Case {
        const char *list;
        int citizen;
        bool granted;
    };
    const Case cases[] = {
        {"", 1, false},         {"*", 1, true},
        {"*", 0, true},         {"12, 345", 12, true},
        {"12  345", 345, true}, {"12,345", 34, false},
        {"12,,345", 345, true}, {"1", 0, false},
        {"0", 0, false},        {"x*y", 7, true},
        {"12abc", 12, true},    {"abc", 0, false},
        {"-5", -5, true},       {"99999999999", 1, false},
        {"\t7\n", 7, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RightsListGrants(c.list, c.citizen), c.granted) << "'" << c.list << "' for " << c.citizen;
}

class StoreTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_.File("universe.db"); }
    void Open() {
        std::string error;
        ASSERT_TRUE(store_.Open(Path(), error)) << error;
    }
    TempDir dir_;
    Store store_;
};

TEST_F(StoreTest, KeepsEverythingAcrossReopening) {
    Open();
    EXPECT_TRUE(store_.IsEmpty());
    ASSERT_TRUE(store_.AddCitizen({5, "Eve", HashPassword("pw", 1), "http://eve"}));
    EXPECT_FALSE(store_.AddCitizen({6, "EVE", "", ""})) << "names are unique without regard to case";
    WorldRecord w;
    w.name = "Town";
    w.attributes = DefaultWorldAttributes("Town");
    w.attributes[kAttrWorldWelcomeMessage] = std::string("hi");
    w.attributes[kAttrWorldAllowFlying] = false;
    w.attributes[kAttrWorldCellLimit] = std::int32_t{3000};
    ASSERT_TRUE(store_.AddWorld(w));
    ASSERT_TRUE(store_.PutWorldEjection("Town", {2, 77, 0, 100, "spam"}));
    AttrMap u = DefaultUniverseAttributes();
    u[kAttrUniverseWorldStart] = std::string("Town");
    ASSERT_TRUE(store_.SaveUniverseAttributes(u));
    ObjectRecord o;
    o.world = "Town";
    o.model = "tree.rwx";
    o.owner = 5;
    o.timestamp = 1234567;
    const auto number = store_.AddObject(o);
    ASSERT_GT(number, 0);
    store_.Close();

    Open();
    EXPECT_FALSE(store_.IsEmpty());
    const auto eve = store_.CitizenByName("eve");
    ASSERT_TRUE(eve);
    EXPECT_EQ(eve->number, 5);
    EXPECT_TRUE(VerifyPassword("pw", eve->passwordHash));
    const auto worlds = store_.Worlds();
    ASSERT_EQ(worlds.size(), 1u);
    EXPECT_EQ(std::get<std::string>(worlds[0].attributes.at(kAttrWorldWelcomeMessage)), "hi");
    EXPECT_FALSE(std::get<bool>(worlds[0].attributes.at(kAttrWorldAllowFlying)));
    EXPECT_EQ(std::get<std::int32_t>(worlds[0].attributes.at(kAttrWorldCellLimit)), 3000);
    EXPECT_EQ(store_.FindWorldEjection("TOWN", 2, 77)->comment, "spam");
    EXPECT_EQ(std::get<std::string>(store_.UniverseAttributes().at(kAttrUniverseWorldStart)), "Town");
    const auto back = store_.ObjectByNumber(number);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->owner, 5);
    EXPECT_EQ(back->timestamp, 1234567);
    EXPECT_EQ(store_.CountObjects("Town"), 1);
}

TEST_F(StoreTest, RefusesAStoreOfANewerSchemaOrAnotherFile) {
    Open();
    store_.Close();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string error;
    EXPECT_FALSE(store_.Open(Path(), error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;

    {
        std::FILE *f = std::fopen(dir_.File("text.db").c_str(), "w");
        std::fputs("this is not a database, but it is long enough to look like a header to the library....", f);
        std::fclose(f);
    }
    EXPECT_FALSE(store_.Open(dir_.File("text.db"), error));
}

TEST_F(StoreTest, EjectionsWalkInKeyOrderWithinTheirType) {
    Open();
    WorldRecord w;
    w.name = "Town";
    ASSERT_TRUE(store_.AddWorld(w));
    for (const char *a : {"10.0.0.200", "192.168.1.1", "10.0.0.3", "200.1.1.1"})
        ASSERT_TRUE(store_.PutWorldEjection("Town", {0, Address(a), 0, 1, a}));
    for (const int n : {30, 4, 1000})
        ASSERT_TRUE(store_.PutWorldEjection("Town", {2, n, 0, 1, std::to_string(n)}));

    const auto walk = [&](int type, bool forward) {
        std::vector<std::string> seen;
        std::int32_t key = forward ? 0 : -1; // -1 is the largest key, 255.255.255.255
        while (auto e = store_.StepWorldEjection("Town", type, key, forward)) {
            seen.push_back(e->comment);
            key = e->value;
        }
        return seen;
    };
    EXPECT_EQ(walk(0, true), (std::vector<std::string>{"10.0.0.3", "10.0.0.200", "192.168.1.1", "200.1.1.1"}));
    EXPECT_EQ(walk(0, false), (std::vector<std::string>{"200.1.1.1", "192.168.1.1", "10.0.0.200", "10.0.0.3"}));
    EXPECT_EQ(walk(2, true), (std::vector<std::string>{"4", "30", "1000"}));
    EXPECT_EQ(walk(1, true), std::vector<std::string>{});
    EXPECT_TRUE(store_.DeleteWorldEjection("Town", 2, 30));
    EXPECT_FALSE(store_.DeleteWorldEjection("Town", 2, 30));
    EXPECT_EQ(walk(2, true), (std::vector<std::string>{"4", "1000"}));
}

TEST(CommandLine, ParsesTheServerOptionsAndRefusesBadOnes) {
    const auto parse = [](std::vector<std::string> a) { return ParseCommandLine(a); };
    const CommandLine ok = parse({"--listen", "0.0.0.0:0", "--data", "/tmp/u", "--demo", "--radius", "50"});
    EXPECT_EQ(ok.mode, CommandLine::Mode::Serve);
    EXPECT_EQ(ok.options.host, "0.0.0.0");
    EXPECT_EQ(ok.options.port, 0);
    EXPECT_TRUE(ok.options.demo);
    EXPECT_EQ(ok.options.hearingRadius, 5000);
    EXPECT_EQ(parse({"--listen", "[::1]:7", "--data", "d"}).options.host, "::1");
    EXPECT_EQ(parse({"--help"}).mode, CommandLine::Mode::Help);
    const CommandLine admin = parse({"citizen", "add", "--data", "d", "5", "Eve", "pw"});
    EXPECT_EQ(admin.mode, CommandLine::Mode::Admin);
    EXPECT_EQ(admin.admin, (std::vector<std::string>{"citizen", "add", "5", "Eve", "pw"}));
    const std::vector<std::string> bad[] = {
        {"--listen", "127.0.0.1", "--data", "d"},
        {"--listen", "h:99999", "--data", "d"},
        {"--data"},
        {"--demo"},
        {"--bogus", "--data", "d"},
        {"--idle-timeout", "0", "--data", "d"},
    };
    for (const auto &b : bad)
        EXPECT_EQ(parse(b).mode, CommandLine::Mode::Error) << b[0];
}

TEST(CommandLine, AdministersTheStore) {
    TempDir dir;
    const auto run = [&](std::vector<std::string> a, std::string *out = nullptr) {
        a.insert(a.begin() + 2, {"--data", dir.Path()});
        const CommandLine c = ParseCommandLine(a);
        std::ostringstream o, e;
        const int status = RunAdminCommand(c, o, e);
        if (out)
            *out = o.str() + e.str();
        return status;
    };
    EXPECT_EQ(run({"citizen", "add", "5", "Eve", "pw", "http://eve"}), 0);
    EXPECT_EQ(run({"citizen", "add", "5", "Other", "pw"}), 1) << "number taken";
    EXPECT_EQ(run({"citizen", "add", "x", "Bad", "pw"}), 1);
    EXPECT_EQ(run({"citizen", "set", "5", "password=new", "homepage=http://e"}), 0);
    EXPECT_EQ(run({"world", "add", "Town", "39"}), 0);
    EXPECT_EQ(run({"world", "add", "town"}), 1) << "names are unique without regard to case";
    EXPECT_EQ(run({"world", "set", "Town", "caretakers=5", "67=Hello there", "73=0", "status=2"}), 0);
    EXPECT_EQ(run({"world", "set", "Town", "63=20"}), 1) << "the build is set by its own field";
    EXPECT_EQ(run({"world", "set", "Town", "status=9"}), 1);
    EXPECT_EQ(run({"universe", "set", "12=Town", "24=0"}), 0);
    EXPECT_EQ(run({"universe", "set", "99=1"}), 2);
    EXPECT_EQ(run({"world", "frobnicate"}), 2);
    std::string out;
    EXPECT_EQ(run({"world", "list"}, &out), 0);
    EXPECT_NE(out.find("Town\tbuild 39\tstatus 2\tcaretakers \"5\""), std::string::npos) << out;
    EXPECT_EQ(run({"citizen", "list"}, &out), 0);
    EXPECT_EQ(out, "5\tEve\thttp://e\n");
    EXPECT_EQ(run({"universe", "list"}, &out), 0);
    EXPECT_NE(out.find("12\t\"Town\""), std::string::npos) << out;

    Store store;
    std::string error;
    ASSERT_TRUE(store.Open(dir.File("universe.db"), error));
    EXPECT_TRUE(VerifyPassword("new", store.CitizenByNumber(5)->passwordHash));
    EXPECT_EQ(std::get<std::string>(store.Worlds()[0].attributes.at(kAttrWorldWelcomeMessage)), "Hello there");
}

TEST(DemoContent, FillsWorldsOnBothSidesOfEveryThreshold) {
    Store store;
    std::string error;
    ASSERT_TRUE(store.Open("", error));
    ASSERT_TRUE(FillDemoContent(store, 1, error)) << error;
    const auto worlds = store.Worlds();
    const auto has = [&](auto predicate) { return std::any_of(worlds.begin(), worlds.end(), predicate); };
    for (const int threshold : {17, 21, 23, 28, 39}) {
        EXPECT_TRUE(has([&](const WorldRecord &w) { return w.build < threshold; })) << threshold;
        EXPECT_TRUE(has([&](const WorldRecord &w) { return w.build >= threshold; })) << threshold;
    }
    for (const WorldRecord &w : worlds)
        EXPECT_LE(w.name.size(), 8u) << "the client's world field holds 8 characters";
    const auto login = store.CitizenByNumber(kDemoLoginCitizen);
    ASSERT_TRUE(login);
    EXPECT_TRUE(VerifyPassword(kDemoLoginPassword, login->passwordHash));
}

TEST(DemoPeople, ComeAndGoAndTalkToBots) {
    Store store;
    std::string error;
    ASSERT_TRUE(store.Open("", error));
    ASSERT_TRUE(FillDemoContent(store, 1, error));
    ServerOptions options;
    Universe universe(store, options);
    ASSERT_TRUE(universe.Load(error));
    DemoPeople people(universe, 7);
    for (int i = 0; i < 400; ++i)
        people.Tick();
    EXPECT_GT(people.Count(), 10);
    EXPECT_FALSE(universe.PeopleIn("Town").empty());
    EXPECT_TRUE(universe.PeopleIn("Hideout").empty()) << "nobody walks into the private world";
    bool someoneSpoke = false;
    for (const PersonInfo &p : universe.PeopleIn("Town"))
        someoneSpoke = someoneSpoke || !p.lastSaid.empty();
    EXPECT_TRUE(someoneSpoke);
}

} // namespace
