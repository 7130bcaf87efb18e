// The administration logic through the real SDK against the in-process universe server.

#include "FakeAdminSdk.h"
#include "admin/CitizenLookupLogic.h"
#include "admin/EjectLogic.h"
#include "admin/EjectionLogic.h"
#include "admin/ObjectBuilding.h"
#include "admin/TeleportUserLogic.h"
#include "admin/WorldFeaturesLogic.h"
#include "common/Ipv4.h"
#include "sdk/SdkTestSupport.h"

#include <memory>

namespace {

using Strings = std::vector<std::string>;

struct StatusRecorder final : EjectionView {
    Strings statuses;
    EjectionFields fields;
    void ShowStatus(const std::string &text) override { statuses.push_back(text); }
    void ShowFields(const EjectionFields &f) override { fields = f; }
};

struct AddressRecorder final : EjectView {
    std::string shown;
    void ShowAddress(const std::string &text) override { shown = text; }
};

struct LookupRecorder final : CitizenLookupView {
    std::string name, number;
    bool enabled = true;
    void ShowNameAnswer(const std::string &text) override { name = text; }
    void ShowNumberAnswer(const std::string &text) override { number = text; }
    void SetButtonsEnabled(bool on) override { enabled = on; }
};

struct Chat {
    Strings lines;
    ChatLineWriter Writer() {
        return [this](const std::string &text, std::uint32_t, bool, bool, bool, bool) { lines.push_back(text); };
    }
};

class AdminServerTest : public SdkTest {
protected:
    // Presses a button and pumps until the status line answers it.
    std::string Press(EjectionLogic &logic, void (EjectionLogic::*press)(const EjectionFields &),
                      const EjectionFields &fields) {
        const std::size_t before = view.statuses.size();
        (logic.*press)(fields);
        // A request shows "Looking up ..." or "Deleting ..." at once; the answer follows.
        EXPECT_TRUE(PumpUntil(
            [&] { return view.statuses.size() > before && view.statuses.back().find("...") == std::string::npos; }));
        return view.statuses.empty() ? std::string() : view.statuses.back();
    }

    static EjectionFields Key(const std::string &value, int type = kEjectionAddress, const std::string &comment = "") {
        EjectionFields f;
        f.type = type;
        f.value = value;
        f.comment = comment;
        return f;
    }

    PersonSpec Person(const std::string &name, int citizen, const char *address) {
        PersonSpec p = Citizen(name, citizen);
        p.address = static_cast<std::uint32_t>(*DottedTextToNetworkOrder(address));
        return p;
    }

    LiveAdminSdk sdk;
    StatusRecorder view;
    Chat chat;
};

TEST_F(AdminServerTest, WorldEjectionsBrowseWithNextAndPrevious) {
    Enter("Town");
    {
        EjectionLogic logic(sdk, view, EjectionDatabase::World);
        logic.Open();
        EXPECT_EQ(Press(logic, &EjectionLogic::Add, Key("7", kEjectionCitizen, "citizen")), "Successful.");
        for (const char *address : {"10.0.0.3", "10.0.0.1", "010.0.0.2"}) {
            EXPECT_EQ(Press(logic, &EjectionLogic::Add, Key(address, kEjectionNoType, address)), "Successful.")
                << address;
        }
    }
    // A new dialog starts at key 0 and browses the type last used: addresses.
    EjectionLogic logic(sdk, view, EjectionDatabase::World);
    logic.Open();
    struct Step {
        void (EjectionLogic::*press)(const EjectionFields &);
        const char *status;
        const char *value;
    };
    const Step steps[] = {
        {&EjectionLogic::Next, "Lookup successful.", "10.0.0.1"},
        {&EjectionLogic::Next, "Lookup successful.", "10.0.0.2"},
        {&EjectionLogic::Next, "Lookup successful.", "10.0.0.3"},
        {&EjectionLogic::Next, "No such ejection.", "10.0.0.3"},
        {&EjectionLogic::Previous, "Lookup successful.", "10.0.0.2"},
        {&EjectionLogic::Previous, "Lookup successful.", "10.0.0.1"},
        {&EjectionLogic::Previous, "No such ejection.", "10.0.0.1"},
    };
    int n = 0;
    for (const Step &step : steps) {
        EXPECT_EQ(Press(logic, step.press, view.fields), step.status) << "step " << n;
        EXPECT_EQ(view.fields.value, step.value) << "step " << n;
        EXPECT_EQ(view.fields.type, kEjectionAddress) << "step " << n;
        ++n;
    }
    // The address typed with a leading zero was stored as the address typed.
    EXPECT_EQ(Press(logic, &EjectionLogic::Lookup, Key("10.0.0.2")), "Lookup successful.");
    EXPECT_EQ(view.fields.comment, "010.0.0.2");
    EXPECT_EQ(view.fields.expires, "Never");
    EXPECT_NE(view.fields.created, "Unknown");

    EXPECT_EQ(Press(logic, &EjectionLogic::Lookup, Key("7", kEjectionCitizen)), "Lookup successful.");
    EXPECT_EQ(view.fields.type, kEjectionCitizen);
    EXPECT_EQ(view.fields.comment, "citizen");
    EXPECT_EQ(Press(logic, &EjectionLogic::Next, view.fields), "No such ejection.");

    EXPECT_EQ(Press(logic, &EjectionLogic::Delete, Key("10.0.0.2")), "Successful.");
    EXPECT_EQ(Press(logic, &EjectionLogic::Lookup, Key("10.0.0.2")), "No such ejection.");
}

TEST_F(AdminServerTest, AfterAddTheFieldsShowTheRecordTheServerMade) {
    Enter("Town");
    EjectionLogic logic(sdk, view, EjectionDatabase::World);
    logic.Open();
    EXPECT_EQ(Press(logic, &EjectionLogic::Add, Key("7", kEjectionCitizen, "old")), "Successful.");
    EXPECT_EQ(Press(logic, &EjectionLogic::Lookup, Key("7", kEjectionCitizen)), "Lookup successful.");
    view.fields.created = "Mon Jan 01, 1990 00:00:00"; // as if the record had been made long ago
    EXPECT_EQ(Press(logic, &EjectionLogic::Add, Key("10.0.0.9", kEjectionNoType, "flood")), "Successful.");
    EXPECT_TRUE(PumpUntil([&] { return view.fields.value == "10.0.0.9" && !view.fields.created.empty(); }));
    EXPECT_EQ(view.fields.comment, "flood");
    EXPECT_NE(view.fields.created, "Unknown");
    EXPECT_NE(view.fields.created, "Mon Jan 01, 1990 00:00:00");
    EXPECT_EQ(view.statuses.back(), "Successful.");
}

TEST_F(AdminServerTest, UniverseEjectionsNeedCitizenOne) {
    Enter("Town");
    EjectionLogic logic(sdk, view, EjectionDatabase::Universe);
    logic.Open();
    logic.SetExpiration(Key("1.2.3.4"), 2000000000);
    EXPECT_EQ(Press(logic, &EjectionLogic::Add, Key("1.2.3.4", kEjectionNoType, "flood")), "Successful.");
    EXPECT_EQ(Press(logic, &EjectionLogic::Lookup, Key("1.2.3.4")), "Lookup successful.");
    EXPECT_EQ(view.fields.comment, "flood");
    EXPECT_EQ(view.fields.expires, EjectionLogic::ExpiryText(2000000000));
    EXPECT_EQ(logic.Expiration(), 2000000000);
    EXPECT_EQ(Press(logic, &EjectionLogic::Delete, Key("1.2.3.4")), "Successful.");

    SdkTerm();
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    Enter("Town", 2, kTesterPassword);
    EjectionLogic other(sdk, view, EjectionDatabase::Universe);
    other.Open();
    EXPECT_EQ(Press(other, &EjectionLogic::Add, Key("1.2.3.4")),
              "Unable to modify ejection database (reason: unauthorized).");
}

TEST_F(AdminServerTest, EjectShowsTheAddressAndEjectsForTheChosenTime) {
    Enter("Town");
    const int alice = server_->AddPerson("Town", Person("Alice", 2, "10.1.2.3"));
    ASSERT_GT(alice, 0);
    AddressRecorder address;
    EjectLogic eject(sdk, address, chat.Writer(), {"Alice", alice});
    eject.Open();
    EXPECT_EQ(address.shown, "Querying...");
    ASSERT_TRUE(PumpUntil([&] { return address.shown != "Querying..."; }));
    EXPECT_EQ(address.shown, "10.1.2.3");

    eject.Ok(2);
    EXPECT_EQ(chat.lines, Strings{"Immigration Officer: Attempting to eject Alice for 1440 minutes."});
    ASSERT_TRUE(PumpUntil([&] { return server_->PeopleIn("Town").size() == 1; })); // only the bot
    EXPECT_EQ(server_->AddPerson("Town", Person("Alice", 2, "10.1.2.3")), -466);

    EjectionLogic logic(sdk, view, EjectionDatabase::World);
    logic.Open();
    EXPECT_EQ(Press(logic, &EjectionLogic::Lookup, Key("10.1.2.3")), "Lookup successful.");
    EXPECT_EQ(SdkGetInt(kAttrEjectionExpiration) - SdkGetInt(kAttrEjectionCreation), 86400);
}

TEST_F(AdminServerTest, TeleportUserWithTheWorldInOtherLetterCaseMovesWithinTheWorld) {
    Enter("Town");
    const int alice = server_->AddPerson("Town", Citizen("Alice", 2));
    ASSERT_GT(alice, 0);
    TeleportUserLogic teleport(sdk, {"Alice", alice}, "0n 0e");
    EXPECT_EQ(teleport.World(), "Town");
    teleport.Ok("tOWN", "3N 4W 1a 90", true);
    PersonInfo info;
    ASSERT_TRUE(PumpUntil([&] { return server_->Person(alice, info) && info.z == 3000; }));
    EXPECT_EQ(info.world, "Town");
    EXPECT_EQ(info.x, 4000);
    EXPECT_EQ(info.y, 1000);
}

TEST_F(AdminServerTest, CitizenLookupBothWays) {
    Enter("Town");
    LookupRecorder view;
    CitizenLookupLogic lookup(sdk, view);
    struct Case {
        bool byNumber;
        const char *typed;
        const char *answer;
    };
    const Case cases[] = {
        {true, "2", "Citizen #2 is Tester."},
        {true, "0", "No such citizen number 0."},
        {false, "FOUNDER", "Citizen Founder is #1."},
        {false, "Nobody", "No such citizen named Nobody."},
    };
    for (const Case &c : cases) {
        c.byNumber ? lookup.RetrieveName(c.typed) : lookup.RetrieveNumber(c.typed);
        EXPECT_FALSE(view.enabled) << c.typed;
        ASSERT_TRUE(PumpUntil([&] { return view.enabled; })) << c.typed;
        EXPECT_EQ(c.byNumber ? view.name : view.number, c.answer) << c.typed;
    }
}

TEST_F(AdminServerTest, ObjectsAreAddedAndLoadedWithTheirOutcomeInTheChat) {
    ASSERT_TRUE(server_->SetWorld("Town", "51", "1"));
    Enter("Town");
    {
        PromptRecorder prompt;
        LoadObjectFields fields;
        fields.year = 2037;
        fields.month = 12;
        fields.day = 31;
        fields.object = "chair.rwx";
        fields.owner = "2";
        ASSERT_TRUE(BuildLoadedObject(sdk, prompt, chat.Writer(), fields));
    }
    ASSERT_TRUE(PumpUntil([&] { return chat.lines.size() == 2; }));
    EXPECT_EQ(chat.lines, (Strings{"Attempting to load object chair.rwx.", "Object successfully loaded."}));

    // An empty model is refused by the world; the reason arrives through the callback.
    AddObject(sdk, chat.Writer(), ObjectSpec{});
    ASSERT_TRUE(PumpUntil([&] { return chat.lines.size() == 4; }));
    EXPECT_EQ(chat.lines[3].rfind("Building Inspector: Unable to add object (reason: ", 0), 0u) << chat.lines[3];
}

TEST_F(AdminServerTest, WorldFeaturesChangeReachesTheWorld) {
    Enter("Globe");
    PromptRecorder prompt;
    WorldFeaturesLogic features(sdk, prompt, chat.Writer());
    features.Open();
    std::vector<FieldValue> controls = features.Values();
    controls[1].text = "A new title"; // "Title:"
    ASSERT_TRUE(features.Ok(controls));
    EXPECT_EQ(chat.lines, Strings{"World options changed."});
    ASSERT_TRUE(PumpUntil([&] { return SdkGetString(kAttrWorldTitle) == "A new title"; }));

    SdkTerm();
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    Enter("Globe", 2, kTesterPassword);
    WorldFeaturesLogic reader(sdk, prompt, chat.Writer());
    reader.Open();
    EXPECT_EQ(reader.Values()[1].text, "A new title");
    EXPECT_FALSE(reader.OkEnabled());
}

} // namespace
