// Who world and universe ejections keep out, through the SDK against the in-process server. All bots of a test run
// on one machine and so share the address 127.0.0.1 and one computer id, as two bots of one user would.

#include "SdkTestSupport.h"
#include "sdk/ComputerId.h"

#include <arpa/inet.h>

namespace {

constexpr std::uint32_t kComputer = 0x5eed1234;

std::int32_t Loopback() { return static_cast<std::int32_t>(htonl(INADDR_LOOPBACK)); }

class SdkEjectionTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        SdkTuning tuning = SdkGetTuning();
        tuning.computerId = kComputer;
        SdkSetTuning(tuning);
    }

    const char *PasswordOf(int citizen) { return citizen == 1 ? kFounderPassword : kTesterPassword; }
};

TEST_F(SdkEjectionTest, WorldEjectionsNeverCatchThoseWhoAdministerTheWorld) {
    struct Case {
        const char *name;
        const char *caretakers; // the world's caretakers once the ejection is made
        int type;               // 0 address, 1 computer id, 2 citizen number
        std::int32_t value;
        int citizen; // who then tries to enter
        int expected;
    };
    const Case cases[] = {
        {"the caretaker who ejected its neighbour on one machine", "1", 0, Loopback(), 1, 0},
        {"citizen 1 without a place on the caretaker list", "", 0, Loopback(), 1, 0},
        {"another caretaker on the ejected address", "1 2", 0, Loopback(), 2, 0},
        {"a caretaker ejected by citizen number", "1, 2", 2, 2, 2, 0},
        {"a caretaker on the ejected computer", "2", 1, static_cast<std::int32_t>(kComputer), 2, 0},
        {"an ordinary citizen on the ejected address", "1", 0, Loopback(), 2, 466},
        {"an ordinary citizen ejected by number", "1", 2, 2, 2, 466},
        {"an ordinary citizen on the ejected computer", "1", 1, static_cast<std::int32_t>(kComputer), 2, 466},
        {"an ordinary citizen on another computer", "1", 1, static_cast<std::int32_t>(kComputer + 1), 2, 0},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string world = "W" + std::to_string(++n);
        ASSERT_TRUE(server_->AddWorld(world, 63));
        ASSERT_TRUE(server_->SetWorld(world, "caretakers", "1"));
        Enter(world);
        SdkSetInt(kAttrEjectionType, c.type);
        SdkSetInt(kAttrEjectionAddress, c.value);
        SdkSetInt(kAttrEjectionExpiration, 0);
        SdkSetString(kAttrEjectionComment, c.name);
        ASSERT_EQ(SdkWorldEjectionAdd(), 0);
        ASSERT_TRUE(server_->SetWorld(world, "caretakers", c.caretakers));
        SdkDestroy();
        ASSERT_EQ(Login(c.citizen, PasswordOf(c.citizen)), 0);
        EXPECT_EQ(SdkEnter(world), c.expected);
        SdkDestroy();
    }
}

TEST_F(SdkEjectionTest, AUniverseEjectionNeverLocksOutCitizenOne) {
    ASSERT_EQ(Login(), 0);
    SdkSetInt(kAttrEjectionAddress, Loopback());
    SdkSetInt(kAttrEjectionExpiration, 0);
    SdkSetString(kAttrEjectionComment, "everyone on this machine");
    ASSERT_EQ(SdkUniverseEjectionAdd(), 0);
    struct Case {
        const char *name;
        int citizen;
        const char *password;
        int expected;
    };
    const Case cases[] = {
        {"citizen 1", 1, kFounderPassword, 0},
        {"citizen 1 with a wrong password", 1, "guess", 466},
        {"an ordinary citizen", 2, kTesterPassword, 466},
        {"no such citizen", 77, "x", 466},
    };
    for (const Case &c : cases) {
        SdkDestroy();
        EXPECT_EQ(Login(c.citizen, c.password), c.expected) << c.name;
    }
    // Citizen 1 can then lift the ban.
    SdkDestroy();
    ASSERT_EQ(Login(), 0);
    ASSERT_EQ(SdkUniverseEjectionDelete(Loopback()), 0);
    SdkDestroy();
    EXPECT_EQ(Login(2, kTesterPassword), 0);
}

TEST_F(SdkEjectionTest, EveryLoginCarriesTheComputerId) {
    Enter("Town", 2, kTesterPassword);
    PersonInfo me;
    ASSERT_TRUE(server_->Person(SdkSession(), me));
    EXPECT_EQ(me.computerId, kComputer);

    // The login that follows a lost connection carries it too.
    server_->DropConnections();
    ASSERT_TRUE(PumpUntil([&] { return SdkSession() == 0; }));
    ASSERT_TRUE(PumpUntil([&] { return SdkSession() != 0; }));
    ASSERT_TRUE(server_->Person(SdkSession(), me));
    EXPECT_EQ(me.computerId, kComputer);
}

TEST_F(SdkEjectionTest, APersonWithoutComputerIdIsNotCaughtByComputerEjections) {
    Enter("Town");
    // An ejection of the value 0, which stands for "no id", must not catch older clients that send none.
    for (const std::int32_t value : {0, static_cast<std::int32_t>(kComputer)}) {
        SdkSetInt(kAttrEjectionType, 1);
        SdkSetInt(kAttrEjectionAddress, value);
        SdkSetInt(kAttrEjectionExpiration, 0);
        ASSERT_EQ(SdkWorldEjectionAdd(), 0);
    }
    PersonSpec old = Citizen("Oldclient", 60);
    EXPECT_GT(server_->AddPerson("Town", old), 0);
    PersonSpec same = Citizen("Samebox", 61);
    same.computerId = kComputer;
    EXPECT_EQ(server_->AddPerson("Town", same), -466);
}

TEST_F(SdkEjectionTest, AnAddressRequestGivesTheComputerIdThatAnEjectionTakes) {
    Enter("Town");
    PersonSpec visitor = Citizen("Visitor", 60);
    visitor.computerId = 0x80000001; // beyond the signed range, as half of all ids are
    const int t = server_->AddPerson("Town", visitor);
    ASSERT_GT(t, 0);
    ASSERT_EQ(SdkAddressRequest(t), 0);
    const int id = SdkGetInt(kAttrAvatarComputerId);
    EXPECT_EQ(static_cast<std::uint32_t>(id), visitor.computerId);
    ASSERT_EQ(SdkAddressRequest(SdkSession()), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(SdkGetInt(kAttrAvatarComputerId)), kComputer) << "the bot's own";

    SdkSetInt(kAttrEjectionType, 1);
    SdkSetInt(kAttrEjectionAddress, id);
    SdkSetInt(kAttrEjectionExpiration, 0);
    ASSERT_EQ(SdkWorldEjectionAdd(), 0);
    EXPECT_EQ(server_->EnterWorld(t, "Town"), 466);
    EXPECT_EQ(server_->EnterWorld(t, "Globe"), 0) << "the ejection is Town's";
}

TEST(ComputerId, IsAKeyedHashOfTheMachineAndTheUser) {
    const std::string machine = "0123456789abcdef0123456789abcdef";
    const std::uint32_t id = ComputerIdFrom(machine, 1000);
    struct Case {
        const char *name;
        std::string machine;
        unsigned user;
        bool same;
    };
    const Case cases[] = {
        {"the same machine and user", machine, 1000, true},
        {"the id file's newline and blanks", " " + machine + "\n", 1000, true},
        {"another user", machine, 1001, false},
        {"another machine", "1123456789abcdef0123456789abcdef", 1000, false},
    };
    EXPECT_NE(id, 0u);
    for (const Case &c : cases)
        EXPECT_EQ(ComputerIdFrom(c.machine, c.user) == id, c.same) << c.name;
    EXPECT_EQ(ComputerIdFrom("", 1000), 0u) << "no machine id, no computer id";
    EXPECT_EQ(ComputerIdFrom(" \n", 1000), 0u);
    EXPECT_NE(id, std::stoul(machine.substr(0, 8), nullptr, 16)) << "never the machine id itself";
}

} // namespace
