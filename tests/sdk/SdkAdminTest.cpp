// Administration, look-ups and objects through the SDK against the in-process server: every operation works for
// a bot with the right and is refused for one without it.

#include "SdkTestSupport.h"
#include "server/Store.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace std::chrono_literals;

std::uint32_t Ipv4(const char *dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr; // network byte order, as the SDK carries it
}

class SdkAdminTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        ASSERT_TRUE(server_->AddWorld("Harbor", 22));
        ASSERT_TRUE(server_->SetWorld("Harbor", "caretakers", "1"));
        ASSERT_TRUE(server_->SetWorld("Town", "51", "1"));
    }

    // A simulated person next to the bot, with a known address.
    int Target(const std::string &world = "Town", const char *address = "10.1.2.3") {
        PersonSpec p = Citizen("Target", 50);
        p.address = Ipv4(address);
        return server_->AddPerson(world, p);
    }
};

TEST_F(SdkAdminTest, EachOperationNeedsItsRight) {
    struct Case {
        const char *name;
        const char *world;
        int citizen;       // 1 is caretaker everywhere; 2 has no right unless the case grants one
        const char *grant; // world attribute "number=list" given to citizen 2 first, or empty
        int (*call)(int target);
        int expected;
    };
    const Case cases[] = {
        {"click", "Town", 2, "", [](int t) { return SdkAvatarClick(t); }, 0},
        {"click in an old world", "Harbor", 1, "", [](int t) { return SdkAvatarClick(t); }, 0},
        {"click in a world of build 16", "Old", 1, "", [](int t) { return SdkAvatarClick(t); }, 474},
        {"click nobody", "Town", 2, "", [](int) { return SdkAvatarClick(123456); }, 67},
        {"send URL", "Town", 1, "", [](int t) { return SdkUrlSend(t, "http://x", "3d_window"); }, 0},
        {"send URL without caretaker", "Town", 2, "68=2", [](int t) { return SdkUrlSend(t, "http://x", ""); }, 32},
        {"address", "Town", 1, "", [](int t) { return SdkAddressRequest(t); }, 0},
        {"address with the eject right", "Town", 2, "68=2", [](int t) { return SdkAddressRequest(t); }, 0},
        {"address without a right", "Town", 2, "", [](int t) { return SdkAddressRequest(t); }, 32},
        {"teleport", "Town", 1, "", [](int t) { return SdkTeleport(t); }, 0},
        {"teleport with the eject right", "Town", 2, "68=2", [](int t) { return SdkTeleport(t); }, 0},
        {"teleport without a right", "Town", 2, "", [](int t) { return SdkTeleport(t); }, 32},
        {"teleport in a world of build 22", "Harbor", 1, "", [](int t) { return SdkTeleport(t); }, 474},
        {"teleport to no world", "Town", 1, "",
         [](int t) {
             SdkSetString(kAttrTeleportWorld, "Atlantis");
             return SdkTeleport(t);
         },
         27},
        {"eject without the right", "Town", 2, "",
         [](int t) {
             SdkSetInt(kAttrEjectSession, t);
             SdkSetInt(kAttrEjectDuration, 300);
             return SdkWorldEject();
         },
         32},
        {"eject for no time", "Town", 1, "",
         [](int t) {
             SdkSetInt(kAttrEjectSession, t);
             SdkSetInt(kAttrEjectDuration, 0);
             return SdkWorldEject();
         },
         505},
        {"world attributes without caretaker", "Town", 2, "68=2", [](int) { return SdkWorldAttributesChange(); }, 32},
        {"universe attributes as citizen 2", "Town", 2, "", [](int) { return SdkUniverseAttributesChange(); }, 32},
        {"universe attributes as citizen 1", "Town", 1, "", [](int) { return SdkUniverseAttributesChange(); }, 0},
        {"world ejections without caretaker", "Town", 2, "68=2", [](int) { return SdkWorldEjectionLookup(); }, 32},
        {"world ejections in a world of build 22", "Harbor", 1, "", [](int) { return SdkWorldEjectionNext(); }, 474},
        {"universe ejections as citizen 2", "Town", 2, "", [](int) { return SdkUniverseEjectionNext(); }, 32},
        {"universe ejection delete as citizen 2", "Town", 2, "", [](int) { return SdkUniverseEjectionDelete(5); }, 32},
        {"console message without caretaker", "Town", 2, "", [](int t) { return SdkConsoleMessage(t); }, 32},
        {"build without the build right", "Town", 2, "",
         [](int) {
             SdkSetString(kAttrObjectModel, "tree.rwx");
             return SdkObjectAdd();
         },
         110},
        {"build with the build right", "Town", 2, "50=2",
         [](int) {
             SdkSetString(kAttrObjectModel, "tree.rwx");
             return SdkObjectAdd();
         },
         0},
        {"build outside the world", "Town", 1, "",
         [](int) {
             SdkSetString(kAttrObjectModel, "tree.rwx");
             SdkSetInt(kAttrObjectX, 9000000);
             return SdkObjectAdd();
         },
         311},
        {"build without a model", "Town", 1, "",
         [](int) {
             SdkSetString(kAttrObjectModel, "");
             return SdkObjectAdd();
         },
         301},
        {"load without eminent domain", "Town", 2, "50=2",
         [](int) {
             SdkSetString(kAttrObjectModel, "tree.rwx");
             return SdkObjectLoad();
         },
         32},
        {"load with eminent domain", "Town", 1, "",
         [](int) {
             SdkSetString(kAttrObjectModel, "tree.rwx");
             return SdkObjectLoad();
         },
         0},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(server_->SetWorld(c.world, "68", ""));
        ASSERT_TRUE(server_->SetWorld(c.world, "50", ""));
        if (*c.grant) {
            const std::string grant = c.grant;
            const auto eq = grant.find('=');
            ASSERT_TRUE(server_->SetWorld(c.world, grant.substr(0, eq), grant.substr(eq + 1))) << c.name;
        }
        SdkTerm();
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        Enter(c.world, c.citizen, c.citizen == 1 ? kFounderPassword : kTesterPassword);
        const int target = Target(c.world);
        ASSERT_GT(target, 0) << c.name;
        EXPECT_EQ(c.call(target), c.expected) << c.name;
        server_->Leave(target);
    }
}

TEST_F(SdkAdminTest, ClicksAndUrlsReachTheirAddressee) {
    Enter("Town", 2, kTesterPassword);
    Record();
    const int alice = server_->AddPerson("Town", Citizen("Alice", 3));
    ASSERT_EQ(SdkAvatarClick(alice), 0);
    ASSERT_TRUE(server_->Click(alice, SdkSession()));
    ASSERT_TRUE(server_->SendUrl(alice, SdkSession(), "http://example.org", "3d_window"));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventUrl); }));
    const Heard *click = Last(kEventAvatarClick);
    ASSERT_NE(click, nullptr);
    EXPECT_EQ(click->name, "Alice");
    EXPECT_EQ(SdkGetInt(kAttrClickedSession), SdkSession());
    EXPECT_EQ(SdkGetString(kAttrUrl), "http://example.org");
    EXPECT_EQ(SdkGetString(kAttrUrlTarget), "3d_window");
    const auto inbox = server_->Inbox(alice);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0].kind, InboxEntry::Kind::Click);
    EXPECT_EQ(inbox[0].fromName, "[Bot]");
}

TEST_F(SdkAdminTest, AddressLookupBlockingAndThroughTheCallback) {
    Enter("Town");
    const int t = Target("Town", "192.168.7.9");
    ASSERT_EQ(SdkAddressRequest(t), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(SdkGetInt(kAttrAvatarAddress)), Ipv4("192.168.7.9"));
    EXPECT_EQ(SdkGetInt(kAttrAvatarSession), t);
    Record({kCallbackAddressResult});
    ASSERT_EQ(SdkAddressRequest(SdkSession()), 0);
    ASSERT_TRUE(PumpUntil([&] { return Last(kCallbackAddressResult, true) != nullptr; }));
    EXPECT_EQ(Last(kCallbackAddressResult, true)->result, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(SdkGetInt(kAttrAvatarAddress)), Ipv4("127.0.0.1")) << "the bot's own line";
}

TEST_F(SdkAdminTest, TeleportMovesPeopleAndTellsABot) {
    Enter("Town");
    Record();
    const int t = Target();
    SdkSetString(kAttrTeleportWorld, "TOWN"); // the current world in other letter case means within it
    SdkSetInt(kAttrTeleportX, 1000);
    SdkSetInt(kAttrTeleportZ, -2000);
    SdkSetInt(kAttrTeleportYaw, 900);
    ASSERT_EQ(SdkTeleport(t), 0);
    PersonInfo p;
    ASSERT_TRUE(server_->Person(t, p));
    EXPECT_EQ(p.world, "Town");
    EXPECT_EQ(p.x, 1000);
    EXPECT_EQ(p.z, -2000);
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarChange); }));

    SdkSetString(kAttrTeleportWorld, "Globe");
    ASSERT_EQ(SdkTeleport(t), 0);
    ASSERT_TRUE(server_->Person(t, p));
    EXPECT_EQ(p.world, "Globe");
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarDelete); }));

    // The bot itself is told where it was sent.
    SdkSetString(kAttrTeleportWorld, "");
    SdkSetInt(kAttrTeleportX, 4200);
    ASSERT_EQ(SdkTeleport(SdkSession()), 0);
    SdkSetInt(kAttrMyX, 0);
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventTeleport); }));
    EXPECT_EQ(SdkGetInt(kAttrMyX), 4200);
    EXPECT_EQ(SdkGetString(kAttrTeleportWorld), "");
    ASSERT_TRUE(server_->Person(SdkSession(), p));
    EXPECT_EQ(p.x, 4200);
}

TEST_F(SdkAdminTest, AnEjectedAddressComesBackOnlyAfterTheEjectionEnds) {
    Enter("Town");
    Record();
    // Someone on the bot's own address is ejected, so the ban reaches the bot too.
    const int t = Target("Town", "127.0.0.1");
    SdkSetInt(kAttrEjectSession, t);
    SdkSetInt(kAttrEjectDuration, 60);
    ASSERT_EQ(SdkWorldEject(), 0);
    PersonInfo p;
    ASSERT_TRUE(server_->Person(t, p));
    EXPECT_EQ(p.world, "") << "out of the world";
    EXPECT_EQ(server_->Inbox(t).back().kind, InboxEntry::Kind::Eject);
    EXPECT_EQ(server_->EnterWorld(t, "Town"), 466);
    EXPECT_EQ(SdkEnter("Town"), 0) << "the caretaker who ejected is not caught by the ban on its own address";
    // Another bot of that address is.
    SdkDestroy();
    ASSERT_EQ(Login(2, kTesterPassword), 0);
    EXPECT_EQ(SdkEnter("Town"), 466);
    EXPECT_EQ(SdkEnter("Globe"), 0) << "other worlds are open";

    // The record is in the world's database, created now and ending in 60 seconds.
    SdkSetInt(kAttrEjectionType, 0);
    SdkSetInt(kAttrEjectionAddress, static_cast<int>(Ipv4("127.0.0.1")));
    SdkExit();
    ASSERT_EQ(SdkEnter("Globe"), 0);
    server_->AdvanceClock(61s);
    EXPECT_EQ(server_->EnterWorld(t, "Town"), 0);
    EXPECT_EQ(SdkEnter("Town"), 0);
}

TEST_F(SdkAdminTest, EjectingABotDisconnectsItFromTheWorld) {
    // Citizen 2 holds the eject right without being a caretaker, so its own ejection catches it.
    ASSERT_TRUE(server_->SetWorld("Town", "68", "2"));
    Enter("Town", 2, kTesterPassword);
    Record();
    SdkSetInt(kAttrEjectSession, SdkSession());
    SdkSetInt(kAttrEjectDuration, 300);
    ASSERT_EQ(SdkWorldEject(), 0);
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldDisconnect); }));
    EXPECT_EQ(Last(kEventWorldDisconnect)->reason, 466);
    EXPECT_EQ(SdkSay("still here?"), 405);
    EXPECT_EQ(SdkEnter("Town"), 466);
    SdkDestroy();
    ASSERT_EQ(Login(), 0);
    SdkSetInt(kAttrEjectionType, 0);
    SdkSetInt(kAttrEjectionAddress, static_cast<int>(Ipv4("127.0.0.1")));
    ASSERT_EQ(SdkEnter("Globe"), 0);
    EXPECT_EQ(SdkWorldEjectionLookup(), 66) << "the ejection is Town's alone";
}

TEST_F(SdkAdminTest, WorldEjectionDatabaseWalksBothWays) {
    Enter("Town");
    const std::int64_t now = server_->Now();
    struct Record {
        int type;
        std::uint32_t value;
        const char *comment;
    };
    const Record records[] = {
        {0, Ipv4("10.0.0.9"), "c"}, {0, Ipv4("10.0.0.1"), "a"}, {0, Ipv4("10.0.0.5"), "b"},
        {2, 300, "citizen 300"},    {2, 7, "citizen 7"},        {1, 12, "computer"},
    };
    for (const Record &r : records) {
        SdkSetInt(kAttrEjectionType, r.type);
        SdkSetInt(kAttrEjectionAddress, static_cast<int>(r.value));
        SdkSetInt(kAttrEjectionExpiration, 0);
        SdkSetString(kAttrEjectionComment, r.comment);
        ASSERT_EQ(SdkWorldEjectionAdd(), 0) << r.comment;
    }
    std::vector<std::string> seen;
    SdkSetCallbackHandler(kCallbackWorldEjectionLookup, [&](int result) {
        seen.push_back(result == 0 ? SdkGetString(kAttrEjectionComment) : "end " + std::to_string(result));
    });
    const auto walk = [&](int type, int from, bool forward) {
        seen.clear();
        SdkSetInt(kAttrEjectionType, type);
        SdkSetInt(kAttrEjectionAddress, from);
        for (;;) {
            const std::size_t before = seen.size();
            EXPECT_EQ(forward ? SdkWorldEjectionNext() : SdkWorldEjectionPrevious(), 0);
            PumpUntil([&] { return seen.size() > before; });
            if (seen.empty() || seen.back().rfind("end", 0) == 0)
                return seen;
        }
    };
    EXPECT_EQ(walk(0, 0, true), (std::vector<std::string>{"a", "b", "c", "end 66"}));
    EXPECT_EQ(walk(0, -1, false), (std::vector<std::string>{"c", "b", "a", "end 66"}));
    EXPECT_EQ(walk(2, 0, true), (std::vector<std::string>{"citizen 7", "citizen 300", "end 66"}));
    EXPECT_EQ(walk(1, 0, true), (std::vector<std::string>{"computer", "end 66"}));

    SdkSetCallbackHandler(kCallbackWorldEjectionLookup, nullptr);
    SdkSetInt(kAttrEjectionType, 2);
    SdkSetInt(kAttrEjectionAddress, 7);
    ASSERT_EQ(SdkWorldEjectionLookup(), 0);
    EXPECT_EQ(SdkGetString(kAttrEjectionComment), "citizen 7");
    EXPECT_GE(SdkGetInt(kAttrEjectionCreation), now) << "the server sets the creation time";
    EXPECT_EQ(SdkGetInt(kAttrEjectionExpiration), 0);
    ASSERT_EQ(SdkWorldEjectionDelete(), 0);
    EXPECT_EQ(SdkWorldEjectionDelete(), 66);
    EXPECT_EQ(SdkWorldEjectionLookup(), 66);

    // A citizen ejection keeps that citizen out, whatever its address.
    SdkSetInt(kAttrEjectionType, 2);
    SdkSetInt(kAttrEjectionAddress, 2);
    ASSERT_EQ(SdkWorldEjectionAdd(), 0);
    SdkDestroy();
    ASSERT_EQ(Login(2, kTesterPassword), 0);
    EXPECT_EQ(SdkEnter("Town"), 466);
}

TEST_F(SdkAdminTest, UniverseEjectionDatabaseAndItsEffectOnLogin) {
    ASSERT_EQ(Login(), 0);
    SdkWait(0);
    Record({kCallbackUniverseEjectionResult, kCallbackUniverseEjectionLookup});
    for (const char *a : {"10.9.9.9", "10.1.1.1"}) {
        SdkSetInt(kAttrEjectionAddress, static_cast<int>(Ipv4(a)));
        SdkSetString(kAttrEjectionComment, a);
        ASSERT_EQ(SdkUniverseEjectionAdd(), 0);
    }
    ASSERT_TRUE(PumpUntil([&] { return heard_.size() == 2; }));
    EXPECT_EQ(heard_[0].number, kCallbackUniverseEjectionResult);
    EXPECT_EQ(heard_[0].result, 0);

    SdkSetInt(kAttrEjectionAddress, 0);
    ASSERT_EQ(SdkUniverseEjectionNext(), 0);
    ASSERT_TRUE(PumpUntil([&] { return heard_.size() == 3; }));
    EXPECT_EQ(SdkGetString(kAttrEjectionComment), "10.1.1.1");
    ASSERT_EQ(SdkUniverseEjectionNext(), 0);
    ASSERT_TRUE(PumpUntil([&] { return heard_.size() == 4; }));
    EXPECT_EQ(SdkGetString(kAttrEjectionComment), "10.9.9.9");
    ASSERT_EQ(SdkUniverseEjectionNext(), 0);
    ASSERT_TRUE(PumpUntil([&] { return heard_.size() == 5; }));
    EXPECT_EQ(heard_.back().result, 66);
    ASSERT_EQ(SdkUniverseEjectionDelete(static_cast<int>(Ipv4("10.9.9.9"))), 0);
    ASSERT_TRUE(PumpUntil([&] { return heard_.size() == 6; }));
    EXPECT_EQ(heard_.back().result, 0);

    // An ejected address cannot log in at all.
    SdkSetCallbackHandler(kCallbackUniverseEjectionResult, nullptr);
    SdkSetInt(kAttrEjectionAddress, static_cast<int>(Ipv4("127.0.0.1")));
    SdkSetInt(kAttrEjectionExpiration, static_cast<int>(server_->Now() + 30));
    ASSERT_EQ(SdkUniverseEjectionAdd(), 0);
    SdkDestroy();
    EXPECT_EQ(Login(2, kTesterPassword), 466);
    server_->AdvanceClock(31s);
    SdkDestroy();
    EXPECT_EQ(Login(2, kTesterPassword), 0);
}

TEST_F(SdkAdminTest, WorldAttributesChangeIsStoredAndSentToEveryBot) {
    Enter("Town", 2, kTesterPassword);
    Record();
    // Rights are recomputed for each bot when the lists change.
    EXPECT_FALSE(SdkGetBool(kAttrWorldEject));
    ASSERT_TRUE(server_->SetWorld("Town", "68", "2"));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldAttributes); }));
    EXPECT_TRUE(SdkGetBool(kAttrWorldEject));

    // Another bot, in another process, changes the welcome message; this one hears of it.
    const std::filesystem::path example =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "examples" / "listen-bot";
    if (!std::filesystem::exists(example))
        GTEST_SKIP() << "listen-bot is not built";
    heard_.clear();
    const std::string port = std::to_string(port_);
    const char *argv[] = {example.c_str(),          "--port",  port.c_str(), "--citizen", "1", "--password",
                          kFounderPassword,         "--world", "Town",       "--seconds", "0", "--welcome",
                          "Changed by another bot", nullptr};
    pid_t child = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawn(&child, example.c_str(), &actions, nullptr, const_cast<char **>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(PumpUntil([&] {
        const Heard *h = Last(kEventWorldAttributes);
        return h && SdkGetString(kAttrWorldWelcomeMessage) == "Changed by another bot";
    }));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SdkAdminTest, WorldAndUniverseAttributesSurviveARestart) {
    Enter("Town");
    SdkSetString(kAttrWorldEntryPoint, "1N 2W 0a 90");
    SdkSetInt(kAttrWorldCellLimit, 3000);
    SdkSetBool(kAttrWorldAllowFlying, false);
    SdkSetInt(kAttrWorldMaxUsers, 5); // not the caretaker's to change
    ASSERT_EQ(SdkWorldAttributesChange(), 0);
    SdkSetString(kAttrUniverseWelcomeMessage, "Hello universe");
    SdkSetBool(kAttrUniverseRegistrationRequired, true); // read only
    ASSERT_EQ(SdkUniverseAttributesChange(), 0);
    SdkSetString(kAttrWorldEntryPoint, std::string(256, 'x'));
    EXPECT_EQ(SdkGetString(kAttrWorldEntryPoint), "1N 2W 0a 90") << "450 leaves the value as it was";
    EXPECT_EQ(SdkSetString(kAttrWorldEntryPoint, std::string(256, 'x')), 450);
    SdkTerm();

    server_->Stop();
    ASSERT_TRUE(server_->Start());
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    Enter("Town", 2, kTesterPassword);
    EXPECT_EQ(SdkGetString(kAttrWorldEntryPoint), "1N 2W 0a 90");
    EXPECT_EQ(SdkGetInt(kAttrWorldCellLimit), 3000);
    EXPECT_FALSE(SdkGetBool(kAttrWorldAllowFlying));
    EXPECT_EQ(SdkGetInt(kAttrWorldMaxUsers), 100);
    EXPECT_EQ(SdkGetInt(kAttrWorldSize), 64);
    EXPECT_EQ(SdkGetString(kAttrUniverseWelcomeMessage), "Hello universe");
    EXPECT_FALSE(SdkGetBool(kAttrUniverseRegistrationRequired));
}

TEST_F(SdkAdminTest, ObjectsAreStoredWithOwnerAndTimestampAndCounted) {
    Enter("Town");
    EXPECT_EQ(SdkGetInt(kAttrWorldObjectCount), 0);
    std::vector<int> results;
    SdkSetCallbackHandler(kCallbackObjectResult, [&](int r) {
        SdkSetCallbackHandler(kCallbackObjectResult, nullptr);
        results.push_back(r);
    });
    SdkSetInt(kAttrObjectX, 1000);
    SdkSetInt(kAttrObjectZ, -500);
    SdkSetInt(kAttrObjectYaw, 900);
    SdkSetString(kAttrObjectModel, "house.rwx");
    SdkSetString(kAttrObjectDescription, "an old house");
    SdkSetString(kAttrObjectAction, "create color red");
    SdkSetInt(kAttrObjectOwner, 2);
    SdkSetInt(kAttrObjectTimestamp, 946684800);
    ASSERT_EQ(SdkObjectLoad(), 0);
    ASSERT_TRUE(PumpUntil([&] { return !results.empty(); }));
    EXPECT_EQ(results[0], 0);
    const int number = SdkGetInt(kAttrObjectNumber);
    EXPECT_GT(number, 0);
    EXPECT_EQ(SdkGetInt(kAttrWorldObjectCount), 1);
    SdkSetString(kAttrObjectModel, "tree.rwx");
    ASSERT_EQ(SdkObjectAdd(), 0);
    EXPECT_EQ(SdkGetInt(kAttrWorldObjectCount), 2);
    SdkTerm();

    server_->Stop();
    Store store;
    std::string error;
    ASSERT_TRUE(store.Open(data_.File("universe.db"), error)) << error;
    const auto loaded = store.ObjectByNumber(number);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->world, "Town");
    EXPECT_EQ(loaded->owner, 2);
    EXPECT_EQ(loaded->timestamp, 946684800);
    EXPECT_EQ(loaded->x, 1000);
    EXPECT_EQ(loaded->z, -500);
    EXPECT_EQ(loaded->model, "house.rwx");
    EXPECT_EQ(loaded->action, "create color red");
    const auto added = store.ObjectByNumber(number + 1);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->owner, 1) << "an added object belongs to the bot's citizen";
    store.Close();
    ASSERT_TRUE(server_->Start());
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    Enter("Town");
    EXPECT_EQ(SdkGetInt(kAttrWorldObjectCount), 2) << "counted from the store";
}

TEST_F(SdkAdminTest, CitizenLookupsGiveTheHomePage) {
    ASSERT_TRUE(server_->AddCitizen(7, "Seven", "pw", "http://seven.example"));
    ASSERT_EQ(Login(), 0);
    ASSERT_EQ(SdkCitizenByName("seven"), 0);
    EXPECT_EQ(SdkGetString(kAttrCitizenHomePage), "http://seven.example");
    ASSERT_EQ(SdkCitizenByNumber(2), 0);
    EXPECT_EQ(SdkGetString(kAttrCitizenHomePage), "") << "Tester has none";
}

} // namespace
