// The SDK against a real universe server in this process: login, entry, people, chat, world list, the blocking
// and callback styles, and the connection's loss and restoration.

#include "SdkTestSupport.h"

#include <thread>

namespace {

using namespace std::chrono_literals;

TEST_F(SdkTest, LoginSucceedsAndTellsTheUniverseTime) {
    Record();
    ASSERT_EQ(Login(), 0);
    EXPECT_GT(SdkSession(), 0);
    EXPECT_EQ(SdkGetInt(kAttrUniverseBuild), 120) << "universe attributes arrive with the login";
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventUniverseTime); }));
    EXPECT_GT(SdkGetInt(kAttrUniverseTime), 1600000000);
}

TEST_F(SdkTest, LoginFailuresGiveTheirCodes) {
    struct Case {
        const char *name;
        int citizen;
        const char *password;
        const char *bot;
        int expected;
    };
    const Case cases[] = {
        {"wrong password", 1, "nope", "Bot", 43},
        {"password of another citizen", 1, kTesterPassword, "Bot", 43},
        {"unknown citizen", 77, "x", "Bot", 3},
        {"citizen 0", 0, "x", "Bot", 3},
        {"empty bot name", 1, kFounderPassword, "", 113},
        {"control character in the name", 1, kFounderPassword, "B\tot", 108},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Login(c.citizen, c.password, c.bot), c.expected) << c.name;
        EXPECT_EQ(SdkSession(), 0) << c.name;
        SdkDestroy();
    }
}

TEST_F(SdkTest, CreateFailuresGiveTheirCodes) {
    EXPECT_EQ(SdkCreate("no-such-host.invalid", port_, 0), 500);
    UniverseServer other([] {
        ServerOptions o;
        o.port = 0;
        return o;
    }());
    ASSERT_TRUE(other.Start());
    const int freed = other.Port();
    other.Stop();
    EXPECT_EQ(SdkCreate("127.0.0.1", freed, 0), 429) << "nobody listens there";
    EXPECT_EQ(SdkCreate("127.0.0.1", 70000, 0), 68);
    EXPECT_EQ(SdkLogin(), 445) << "no instance after a failed create";
    EXPECT_EQ(SdkCreate("localhost", port_, 0), 0) << "names are resolved";
}

TEST_F(SdkTest, EntryGivesTheWorldAndTheRightsAndThePeoplePresent) {
    ASSERT_GT(server_->AddPerson("Town", Citizen("Alice", 2, 500, 500)), 0);
    Record({kCallbackEnterResult});
    ASSERT_EQ(Login(), 0);
    SdkSetCallbackHandler(kCallbackEnterResult, nullptr);
    ASSERT_EQ(SdkEnter("town"), 0) << "world names match without regard to case";
    EXPECT_EQ(SdkGetString(kAttrWorldName), "Town");
    EXPECT_EQ(SdkGetInt(kAttrWorldBuildNumber), 63);
    EXPECT_TRUE(SdkGetBool(kAttrWorldCaretaker));
    EXPECT_TRUE(SdkGetBool(kAttrWorldEject)) << "a caretaker holds every right";
    EXPECT_TRUE(SdkGetBool(kAttrWorldSpeech));
    EXPECT_EQ(SdkGetString(kAttrWorldEnterRight), "*");
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldAttributes); }));
    const Heard *alice = Last(kEventAvatarAdd);
    ASSERT_NE(alice, nullptr) << "the people present arrive before the world attributes event";
    EXPECT_EQ(alice->name, "Alice");
    EXPECT_EQ(alice->x, 500);
    EXPECT_EQ(alice->citizen, 2);
    EXPECT_EQ(alice->privilege, 2);
    EXPECT_EQ(alice->build, 361);
    EXPECT_TRUE(alice->alreadyThere) << "found there, not come";
}

TEST_F(SdkTest, EntryFailuresGiveTheirCodes) {
    ASSERT_TRUE(server_->AddWorld("Closed", 63));
    ASSERT_TRUE(server_->SetWorld("Closed", "52", "1"));
    ASSERT_TRUE(server_->AddWorld("NoBots", 63));
    ASSERT_TRUE(server_->SetWorld("NoBots", "76", "1"));
    ASSERT_TRUE(server_->AddWorld("Tiny", 63));
    ASSERT_TRUE(server_->SetWorld("Tiny", "max_users", "1"));
    ASSERT_GT(server_->AddPerson("Tiny", Citizen("Alice", 2)), 0);
    ASSERT_TRUE(server_->AddWorld("Gone", 63));
    ASSERT_TRUE(server_->SetWorld("Gone", "status", "3"));
    ASSERT_EQ(Login(2, kTesterPassword), 0);
    struct Case {
        const char *world;
        int expected;
    };
    const Case cases[] = {{"Nowhere", 27}, {"Gone", 27}, {"Closed", 467}, {"NoBots", 467}, {"Tiny", 465}, {"Town", 0}};
    for (const Case &c : cases)
        EXPECT_EQ(SdkEnter(c.world), c.expected) << c.world;
}

TEST_F(SdkTest, TouristsStayOutWhenTheUniverseAllowsNone) {
    ASSERT_EQ(Login(), 0);
    SdkSetBool(kAttrUniverseAllowTourists, false);
    ASSERT_EQ(SdkUniverseAttributesChange(), 0);
    PersonSpec tourist;
    tourist.name = "\"Guest\"";
    EXPECT_EQ(server_->AddPerson("Town", tourist), -84);
    EXPECT_GT(server_->AddPerson("Town", Citizen("Alice", 2)), 0);
}

TEST_F(SdkTest, GlobalModeIsGrantedToCaretakersOnly) {
    struct Case {
        const char *world;
        int citizen;
        const char *password;
        bool granted;
    };
    const Case cases[] = {
        {"Globe", 1, kFounderPassword, true},
        {"Globe", 2, kTesterPassword, false},
        {"Lower", 1, kFounderPassword, false},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(Login(c.citizen, c.password), 0);
        SdkSetBool(kAttrEnterGlobal, true);
        ASSERT_EQ(SdkEnter(c.world), 0) << c.world;
        EXPECT_EQ(SdkGetBool(kAttrEnterGlobal), c.granted) << c.world << " citizen " << c.citizen;
        SdkDestroy();
    }
}

TEST_F(SdkTest, PeopleArriveMoveAndLeave) {
    Enter("Town");
    Record();
    const int alice = server_->AddPerson("Town", Citizen("Alice", 2, 1000, 2000));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarAdd); }));
    EXPECT_EQ(Last(kEventAvatarAdd)->session, alice);
    ASSERT_TRUE(server_->Move(alice, 1500, 0, 2500, 900));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarChange); }));
    EXPECT_EQ(Last(kEventAvatarChange)->x, 1500);
    EXPECT_EQ(Last(kEventAvatarChange)->z, 2500);
    ASSERT_TRUE(server_->ChangeType(alice, 7));
    ASSERT_TRUE(PumpUntil([&] { return Count(kEventAvatarChange) == 2; }));
    EXPECT_EQ(Last(kEventAvatarChange)->type, 7);
    ASSERT_TRUE(server_->Leave(alice));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarDelete); }));
    EXPECT_EQ(Last(kEventAvatarDelete)->session, alice);
    EXPECT_EQ(Last(kEventAvatarDelete)->name, "Alice");
}

TEST_F(SdkTest, TheBotIsSeenByTheServerWhereItStands) {
    Enter("Town");
    SdkSetInt(kAttrMyX, 1234);
    SdkSetInt(kAttrMyZ, -500);
    SdkSetInt(kAttrMyYaw, 900);
    ASSERT_EQ(SdkStateChange(), 0);
    PersonInfo me;
    ASSERT_TRUE(server_->Person(SdkSession(), me));
    EXPECT_EQ(me.name, "[Bot]") << "bots are shown with brackets";
    EXPECT_EQ(me.world, "Town");
    EXPECT_EQ(me.x, 1234);
    EXPECT_EQ(me.z, -500);
    ASSERT_EQ(SdkExit(), 0);
    EXPECT_TRUE(server_->PeopleIn("Town").empty());
    EXPECT_EQ(SdkStateChange(), 405) << "no world, no state";
}

TEST_F(SdkTest, SpecialAvatarsNeedThePublicSpeakerRight) {
    ASSERT_TRUE(server_->SetWorld("Town", "60", "1"));
    struct Case {
        int citizen;
        const char *password;
        int expected;
    };
    const Case cases[] = {{2, kTesterPassword, 32}, {1, kFounderPassword, 0}};
    for (const Case &c : cases) {
        Enter("Town", c.citizen, c.password);
        for (const int type : {251, -1}) {
            SdkSetInt(kAttrMyType, type);
            EXPECT_EQ(SdkStateChange(), c.expected) << "citizen " << c.citizen << " type " << type;
        }
        SdkSetInt(kAttrMyType, 250);
        EXPECT_EQ(SdkStateChange(), 0);
        SdkDestroy();
    }
}

TEST_F(SdkTest, TheHearingRadiusLimitsWhoIsSeenAndHeard) {
    Enter("Town");
    Record();
    const int far = server_->AddPerson("Town", Citizen("Far", 2, 30000, 0));
    const int near = server_->AddPerson("Town", Citizen("Near", 3, 100, 0));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarAdd); }));
    ASSERT_TRUE(server_->Say(far, "can you hear me?"));
    ASSERT_TRUE(server_->Say(near, "I am close"));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventChat); }));
    PumpFor(50ms);
    EXPECT_EQ(Count(kEventAvatarAdd), 1) << "only the near one is seen";
    EXPECT_FALSE(Last(kEventAvatarAdd)->alreadyThere) << "it came after the bot";
    EXPECT_EQ(Count(kEventChat), 1);
    EXPECT_EQ(Last(kEventChat)->message, "I am close");

    // Crossing the radius both ways gives arrivals and departures.
    ASSERT_TRUE(server_->Move(far, 19000, 0, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return Count(kEventAvatarAdd) == 2; }));
    EXPECT_EQ(Last(kEventAvatarAdd)->session, far);
    EXPECT_FALSE(Last(kEventAvatarAdd)->alreadyThere) << "it walked up to the bot";
    ASSERT_TRUE(server_->Move(near, -25000, 0, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarDelete); }));
    EXPECT_EQ(Last(kEventAvatarDelete)->session, near);
    EXPECT_FALSE(Last(kEventAvatarDelete)->stillThere) << "it walked away from the bot";

    // The bot's own moves count as well.
    SdkSetInt(kAttrMyX, -20000);
    ASSERT_EQ(SdkStateChange(), 0);
    ASSERT_TRUE(PumpUntil([&] { return Count(kEventAvatarAdd) == 3 && Count(kEventAvatarDelete) == 2; }));
    EXPECT_EQ(Last(kEventAvatarAdd)->session, near);
    EXPECT_TRUE(Last(kEventAvatarAdd)->alreadyThere) << "the bot walked up to it";
    EXPECT_EQ(Last(kEventAvatarDelete)->session, far);
    EXPECT_TRUE(Last(kEventAvatarDelete)->stillThere) << "the bot walked away from it";

    ASSERT_TRUE(server_->Leave(near));
    ASSERT_TRUE(PumpUntil([&] { return Count(kEventAvatarDelete) == 3; }));
    EXPECT_FALSE(Last(kEventAvatarDelete)->stillThere) << "it left the world";
}

TEST_F(SdkTest, GlobalModeIgnoresTheRadius) {
    Enter("Globe", 1, kFounderPassword, true);
    ASSERT_TRUE(SdkGetBool(kAttrEnterGlobal));
    Record();
    const int far = server_->AddPerson("Globe", Citizen("Far", 2, 5000000, -5000000));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarAdd); }));
    ASSERT_TRUE(server_->Say(far, "from the edge"));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventChat); }));
    EXPECT_EQ(Last(kEventChat)->session, far);
}

TEST_F(SdkTest, ChatTypesAndWhispers) {
    ASSERT_TRUE(server_->SetWorld("Town", "60", "5"));
    Enter("Town");
    Record();
    const int alice = server_->AddPerson("Town", Citizen("Alice", 2));
    const int speaker = server_->AddPerson("Town", Citizen("Speaker", 5));
    ASSERT_TRUE(server_->Say(alice, "plain"));
    ASSERT_TRUE(server_->Say(speaker, "loud"));
    ASSERT_TRUE(server_->Whisper(alice, SdkSession(), "psst"));
    ASSERT_TRUE(PumpUntil([&] { return Count(kEventChat) == 3; }));
    std::vector<std::pair<std::string, int>> lines;
    for (const Heard &h : heard_)
        if (h.number == kEventChat)
            lines.emplace_back(h.name + ": " + h.message, h.chatType);
    const std::vector<std::pair<std::string, int>> expected = {
        {"Alice: plain", 0}, {"Speaker: loud", 1}, {"Alice: psst", 2}};
    EXPECT_EQ(lines, expected);

    ASSERT_EQ(SdkSay("hello all"), 0);
    PersonInfo me;
    ASSERT_TRUE(server_->Person(SdkSession(), me));
    EXPECT_EQ(me.lastSaid, "hello all");
    ASSERT_EQ(SdkWhisper(alice, "just you"), 0);
    const auto inbox = server_->Inbox(alice);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0].text, "just you");
    EXPECT_EQ(inbox[0].fromName, "[Bot]");
    EXPECT_EQ(SdkWhisper(999999, "nobody"), 67);
    EXPECT_EQ(SdkSay(std::string(256, 'x')), 450);
}

TEST_F(SdkTest, OldWorldsHaveNoWhispersAndRefusedSpeech) {
    Enter("Old");
    const int alice = server_->AddPerson("Old", Citizen("Alice", 2));
    EXPECT_EQ(SdkWhisper(alice, "hi"), 474) << "build 16 has no whisper";
    EXPECT_EQ(SdkSay("everyone may speak in an old world"), 0);
    SdkDestroy();

    ASSERT_TRUE(server_->SetWorld("Town", "78", "1"));
    Enter("Town", 2, kTesterPassword);
    EXPECT_FALSE(SdkGetBool(kAttrWorldSpeech));
    EXPECT_EQ(SdkSay("hello"), 32);
}

TEST_F(SdkTest, ConsoleMessagesNeedACaretaker) {
    Enter("Town");
    Record();
    const int alice = server_->AddPerson("Town", Citizen("Alice", 2));
    SdkSetInt(kAttrConsoleRed, 255);
    SdkSetBool(kAttrConsoleBold, true);
    SdkSetString(kAttrConsoleMessage, "[Bot]:\tattention");
    ASSERT_EQ(SdkConsoleMessage(0), 0);
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventConsoleMessage); }));
    EXPECT_EQ(Last(kEventConsoleMessage)->message, "[Bot]:\tattention") << "everyone includes the sender";
    EXPECT_EQ(SdkGetInt(kAttrConsoleRed), 255);
    ASSERT_EQ(SdkConsoleMessage(alice), 0);
    EXPECT_EQ(server_->Inbox(alice).size(), 2u);
    SdkDestroy();

    Enter("Town", 2, kTesterPassword);
    EXPECT_EQ(SdkConsoleMessage(0), 32);
}

TEST_F(SdkTest, WorldListComesInBatches) {
    ASSERT_EQ(Login(), 0);
    Record({kCallbackWorldListResult});
    // Four worlds and a batch size of three: one call gives three, the next one the last and "no more".
    ASSERT_EQ(SdkWorldList(), 0);
    ASSERT_TRUE(PumpUntil([&] { return Last(kCallbackWorldListResult, true) != nullptr; }));
    EXPECT_EQ(Count(kEventWorldInfo), 3);
    EXPECT_TRUE(Last(kCallbackWorldListResult, true)->more);
    heard_.clear();
    ASSERT_EQ(SdkWorldList(), 0);
    ASSERT_TRUE(PumpUntil([&] { return Last(kCallbackWorldListResult, true) != nullptr; }));
    EXPECT_EQ(Count(kEventWorldInfo), 1);
    EXPECT_FALSE(Last(kCallbackWorldListResult, true)->more);
    ASSERT_EQ(heard_.size(), 2u);
    EXPECT_FALSE(heard_[0].callback) << "the world events come before the result";

    // Without a handler the call waits for the result; its events come with the next SdkWait.
    SdkSetCallbackHandler(kCallbackWorldListResult, nullptr);
    heard_.clear();
    ASSERT_TRUE(server_->AddPerson("Town", Citizen("Alice", 2)) > 0);
    ASSERT_EQ(SdkWorldList(), 0);
    EXPECT_TRUE(SdkGetBool(kAttrWorldListMore));
    EXPECT_TRUE(heard_.empty()) << "nothing runs outside SdkWait";
    SdkWait(0);
    ASSERT_EQ(Count(kEventWorldInfo), 3);
    EXPECT_EQ(heard_[0].name, "Globe");
}

TEST_F(SdkTest, CitizenLookupsBlockingAndThroughTheCallback) {
    ASSERT_EQ(Login(), 0);
    EXPECT_EQ(SdkCitizenByNumber(2), 0);
    EXPECT_EQ(SdkGetString(kAttrCitizenName), "Tester");
    EXPECT_EQ(SdkCitizenByName("FOUNDER"), 0);
    EXPECT_EQ(SdkGetInt(kAttrCitizenNumber), 1);
    EXPECT_EQ(SdkGetString(kAttrCitizenName), "Founder") << "spelt as the universe has it";
    EXPECT_EQ(SdkCitizenByNumber(55), 3);
    EXPECT_EQ(SdkGetInt(kAttrCitizenNumber), 55) << "the number asked for stays readable";
    EXPECT_EQ(SdkCitizenByName("Nobody"), 3);
    EXPECT_EQ(SdkGetString(kAttrCitizenName), "Nobody");

    std::vector<std::pair<int, std::string>> results;
    SdkSetCallbackHandler(kCallbackCitizenResult, [&](int result) {
        results.emplace_back(result, SdkGetString(kAttrCitizenName));
        SdkSetCallbackHandler(kCallbackCitizenResult, nullptr); // handlers remove themselves while running
    });
    ASSERT_EQ(SdkCitizenByNumber(2), 0);
    EXPECT_TRUE(results.empty()) << "the answer comes through the callback, inside SdkWait";
    ASSERT_TRUE(PumpUntil([&] { return !results.empty(); }));
    EXPECT_EQ(results, (std::vector<std::pair<int, std::string>>{{0, "Tester"}}));
    EXPECT_EQ(SdkCitizenByNumber(1), 0) << "blocking again once the handler is gone";
}

TEST_F(SdkTest, EventsDuringABlockingCallWaitForTheNextPumpInOrder) {
    Enter("Town");
    Record();
    const int a = server_->AddPerson("Town", Citizen("A", 2));
    const int b = server_->AddPerson("Town", Citizen("B", 3));
    ASSERT_TRUE(server_->Say(a, "first"));
    ASSERT_TRUE(server_->Say(b, "second"));
    ASSERT_EQ(SdkCitizenByNumber(2), 0); // the events arrive while this waits
    EXPECT_TRUE(heard_.empty());
    ASSERT_TRUE(PumpUntil([&] { return Count(kEventChat) == 2; }));
    std::vector<std::string> order;
    for (const Heard &h : heard_)
        order.push_back(std::to_string(h.number) + " " + h.name);
    const std::vector<std::string> expected = {"0 A", "0 B", "6 A", "6 B"};
    EXPECT_EQ(order, expected);
}

TEST_F(SdkTest, CallsOutsideTheirStateAreRefused) {
    EXPECT_EQ(SdkLogin(), 445);
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(SdkEnter("Town"), 31);
    EXPECT_EQ(SdkSay("hi"), 31);
    ASSERT_EQ(Login(), 0);
    EXPECT_EQ(SdkSay("hi"), 405);
    EXPECT_EQ(SdkWait(-5), 0);
    SdkSetEventHandler(kEventChat, [] { EXPECT_EQ(SdkWait(0), 475) << "no pump inside a handler"; });
    Enter("Town");
    const int a = server_->AddPerson("Town", Citizen("A", 2));
    ASSERT_TRUE(server_->Say(a, "x"));
    PumpFor(50ms);
    SdkTerm();
    SdkTerm();
    EXPECT_EQ(SdkDestroy(), 444);
    EXPECT_EQ(SdkWait(0), 444);
    EXPECT_EQ(SdkInit(62), 454);
}

TEST_F(SdkTest, AHandlerMayDestroyTheInstance) {
    Enter("Town");
    int calls = 0;
    SdkSetEventHandler(kEventAvatarAdd, [&] {
        ++calls;
        EXPECT_EQ(SdkDestroy(), 0);
        EXPECT_EQ(SdkSay("gone"), 445);
    });
    server_->AddPerson("Town", Citizen("A", 2));
    server_->AddPerson("Town", Citizen("B", 3));
    PumpFor(50ms);
    EXPECT_EQ(calls, 1) << "nothing is delivered after the instance is gone";
    EXPECT_EQ(SdkWait(0), 445);
}

TEST_F(SdkTest, AHandlerMayShutTheSdkDown) {
    Enter("Town");
    SdkSetEventHandler(kEventAvatarAdd, [] { SdkTerm(); });
    server_->AddPerson("Town", Citizen("A", 2));
    PumpUntil([] { return SdkWait(0) == 444; });
    EXPECT_EQ(SdkWait(0), 444);
}

TEST_F(SdkTest, OnePumpDeliversABoundedNumberOfEvents) {
    ASSERT_TRUE(server_->SetWorld("Town", "max_users", "0"));
    Enter("Town");
    SdkTuning tuning = SdkGetTuning();
    tuning.maxDeliveriesPerWait = 100;
    SdkSetTuning(tuning);
    int added = 0;
    SdkSetEventHandler(kEventAvatarAdd, [&] { ++added; });
    for (int i = 0; i < 250; ++i)
        ASSERT_GT(server_->AddPerson("Town", Citizen("P" + std::to_string(i), 1000 + i)), 0);
    std::this_thread::sleep_for(100ms); // let it all arrive
    SdkWait(0);
    EXPECT_EQ(added, 100);
    SdkWait(0);
    EXPECT_EQ(added, 200);
    PumpUntil([&] { return added == 250; });
    EXPECT_EQ(added, 250);
}

TEST_F(SdkTest, ALostConnectionIsRestoredWithLoginAndReentry) {
    ASSERT_TRUE(server_->SetWorld("Town", "67", "Welcome back"));
    Enter("Town");
    SdkSetInt(kAttrMyX, 700);
    ASSERT_EQ(SdkStateChange(), 0);
    Record();
    server_->Stop();
    ASSERT_TRUE(server_->Start()) << server_->LastError();
    ASSERT_EQ(server_->Port(), port_) << "same port after the restart";
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldAttributes); }));

    ASSERT_TRUE(HeardEvent(kEventWorldDisconnect));
    EXPECT_EQ(Last(kEventWorldDisconnect)->reason, 471);
    EXPECT_EQ(SdkGetString(kAttrWorldWelcomeMessage), "Welcome back") << "read again from the store";
    EXPECT_NE(SdkSession(), 0);
    const auto people = server_->PeopleIn("Town");
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0].name, "[Bot]");
    EXPECT_EQ(people[0].x, 700) << "back where it stood";

    // People present after the re-entry arrive as on any entry.
    heard_.clear();
    server_->AddPerson("Town", Citizen("Alice", 2));
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventAvatarAdd); }));
    EXPECT_EQ(SdkSay("I am back"), 0);
}

TEST_F(SdkTest, NoReentryAfterExitDuringTheLoss) {
    Enter("Town");
    Record();
    server_->DropConnections();
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldDisconnect); }));
    EXPECT_EQ(SdkSay("anyone?"), 439) << "nothing goes while the connection is down";
    EXPECT_EQ(SdkExit(), 0);
    ASSERT_TRUE(PumpUntil([&] { return SdkSession() != 0; }));
    PumpFor(100ms);
    EXPECT_TRUE(server_->PeopleIn("Town").empty()) << "logged in again, but in no world";
    EXPECT_FALSE(HeardEvent(kEventWorldAttributes));
    EXPECT_EQ(SdkEnter("Town"), 0);
}

TEST_F(SdkTest, ReconnectionKeepsTryingWithBackOff) {
    Enter("Town");
    Record();
    server_->Stop();
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldDisconnect); }));
    PumpFor(300ms); // several attempts against nobody
    EXPECT_EQ(Count(kEventWorldDisconnect), 1) << "one loss, one event";
    ASSERT_TRUE(server_->Start());
    ASSERT_TRUE(PumpUntil([&] { return HeardEvent(kEventWorldAttributes); }));
    EXPECT_EQ(server_->PeopleIn("Town").size(), 1u);
}

TEST_F(SdkTest, ARestartLosesNothingConfirmed) {
    ASSERT_TRUE(server_->AddCitizen(9, "Nine", "nine"));
    ASSERT_TRUE(server_->SetWorld("Town", "45", "A title"));
    server_->Stop();
    ASSERT_TRUE(server_->Start());
    ASSERT_EQ(Login(9, "nine"), 0);
    ASSERT_EQ(SdkEnter("Town"), 0);
    EXPECT_EQ(SdkGetString(kAttrWorldTitle), "A title");
}

} // namespace
