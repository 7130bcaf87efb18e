// The ejection database dialogs against the recording stand-in: address checks, key conversion, what each button
// writes and sends, the status texts, and answers that arrive after the dialog is gone.

#include "FakeAdminSdk.h"
#include "admin/EjectionLogic.h"
#include "common/Ipv4.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Strings = std::vector<std::string>;

struct ViewRecorder final : EjectionView {
    Strings statuses;
    std::vector<EjectionFields> shown;
    void ShowStatus(const std::string &text) override { statuses.push_back(text); }
    void ShowFields(const EjectionFields &fields) override { shown.push_back(fields); }
};

class EjectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }

    std::unique_ptr<EjectionLogic> Open(EjectionDatabase database) {
        auto logic = std::make_unique<EjectionLogic>(sdk, view, database);
        logic->Open();
        sdk.Take();
        return logic;
    }

    static EjectionFields Value(const std::string &value, int type = kEjectionNoType) {
        EjectionFields f;
        f.type = type;
        f.value = value;
        return f;
    }

    FakeAdminSdk sdk;
    ViewRecorder view;
};

TEST_F(EjectionTest, OpeningStartsAtKeyZeroAndInstallsBothHandlers) {
    struct Case {
        EjectionDatabase database;
        int change, lookup;
    };
    const Case cases[] = {
        {EjectionDatabase::World, kCallbackWorldEjectionResult, kCallbackWorldEjectionLookup},
        {EjectionDatabase::Universe, kCallbackUniverseEjectionResult, kCallbackUniverseEjectionLookup},
    };
    for (const Case &c : cases) {
        sdk.Int(kAttrEjectionAddress, 77);
        EjectionLogic logic(sdk, view, c.database);
        logic.Open();
        EXPECT_EQ(sdk.Take(), Strings{"I274=0"});
        EXPECT_TRUE(sdk.HasHandler(c.change) && sdk.HasHandler(c.lookup)) << "callbacks " << c.change;
        EXPECT_EQ(logic.Expiration(), 0);
    }
}

TEST_F(EjectionTest, IpKeyedRequestsNeedAValidAddress) {
    struct Case {
        const char *text;
        bool valid;
    };
    const Case cases[] = {
        {"256.1.1.1", false}, {"1.2.3", false},        {"1..2.3", false},          {".1.2.3", false},
        {"1.2.3.", false},    {"0.0.0.0", false},      {"255.255.255.255", false}, {"", false},
        {"1.2.3.4.5", false}, {" 1.2.3.4", false},     {"1.2.3.a", false},         {"1.2.3.4", true},
        {"010.0.0.1", true},  {"0001.02.3.255", true},
    };
    for (const Case &c : cases) {
        for (const auto database : {EjectionDatabase::World, EjectionDatabase::Universe}) {
            auto logic = Open(database);
            const std::string name =
                std::string("'") + c.text + "' in the " + (database == EjectionDatabase::World ? "world" : "universe");
            for (const auto &press :
                 {&EjectionLogic::Lookup, &EjectionLogic::Add, &EjectionLogic::Change, &EjectionLogic::Delete}) {
                view.statuses.clear();
                ((*logic).*press)(Value(c.text));
                const Strings log = sdk.Take();
                const bool sent = !log.empty() && log.back().find("Ejection") != std::string::npos;
                EXPECT_EQ(sent, c.valid) << name;
                if (!c.valid) {
                    EXPECT_EQ(view.statuses, Strings{"Invalid IP address."}) << name;
                }
            }
        }
    }
}

TEST_F(EjectionTest, KeysAreReadAsTheUserTypedThem) {
    struct Case {
        int type;
        const char *text;
        std::int32_t key;
    };
    const Case cases[] = {
        // Every part is decimal: leading zeros never switch to octal.
        {kEjectionAddress, "010.0.0.1", *DottedTextToNetworkOrder("10.0.0.1")},
        {kEjectionNoType, "1.2.3.4", *DottedTextToNetworkOrder("1.2.3.4")},
        {kEjectionCitizen, "12abc", 12},
        {kEjectionCitizen, "abc", 0},
        {kEjectionComputer, "  -5", -5},
        {kEjectionComputer, "99999999999", 2147483647},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EjectionLogic::KeyOfText(c.type, c.text), c.key) << c.text;
        auto logic = Open(EjectionDatabase::World);
        logic->Lookup(Value(c.text, c.type));
        const int type = c.type == kEjectionNoType ? kEjectionAddress : c.type;
        EXPECT_EQ(sdk.Take(),
                  (Strings{"I273=" + std::to_string(type), "I274=" + std::to_string(c.key), "WorldEjectionLookup"}))
            << c.text;
        EXPECT_EQ(view.statuses.back(), "Looking up ejection...") << c.text;
    }
}

TEST_F(EjectionTest, AddChangeAndDeleteWriteTheRecordThenAsk) {
    auto world = Open(EjectionDatabase::World);
    EjectionFields fields = Value("7", kEjectionCitizen);
    fields.comment = "spam";
    world->SetExpiration(fields, 1230768000);
    sdk.Take();
    world->Add(fields);
    EXPECT_EQ(sdk.Take(), (Strings{"I273=2", "I274=7", "S277=spam", "I275=1230768000", "WorldEjectionAdd"}));
    world->Delete(fields);
    EXPECT_EQ(sdk.Take(), (Strings{"I273=2", "I274=7", "WorldEjectionDelete"}));
    EXPECT_EQ(view.statuses.back(), "Deleting ejection...");

    auto universe = Open(EjectionDatabase::Universe);
    fields = Value("1.2.3.4");
    fields.comment = "flood";
    universe->Change(fields);
    const std::string key = std::to_string(*DottedTextToNetworkOrder("1.2.3.4"));
    EXPECT_EQ(sdk.Take(), (Strings{"I274=" + key, "S277=flood", "I275=0", "UniverseEjectionAdd"}));
    universe->Delete(fields);
    EXPECT_EQ(sdk.Take(), Strings{"UniverseEjectionDelete " + key});
}

TEST_F(EjectionTest, ARefusedRequestSaysSoInTheStatusLine) {
    struct Case {
        void (EjectionLogic::*press)(const EjectionFields &);
        const char *world, *universe; // operations whose refusal is tested
        const char *status;
    };
    const Case cases[] = {
        {&EjectionLogic::Lookup, "WorldEjectionLookup", "UniverseEjectionLookup",
         "Lookup unsuccessful (reason: no connection)."},
        {&EjectionLogic::Next, "WorldEjectionNext", "UniverseEjectionNext",
         "Lookup unsuccessful (reason: no connection)."},
        {&EjectionLogic::Previous, "WorldEjectionPrevious", "UniverseEjectionPrevious",
         "Lookup unsuccessful (reason: no connection)."},
        {&EjectionLogic::Add, "WorldEjectionAdd", "UniverseEjectionAdd",
         "Unable to add ejection (reason: no connection)."},
        {&EjectionLogic::Change, "WorldEjectionAdd", "UniverseEjectionAdd",
         "Unable to change ejection (reason: no connection)."},
        {&EjectionLogic::Delete, "WorldEjectionDelete", "UniverseEjectionDelete",
         "Unable to delete ejection (reason: no connection)."},
    };
    for (const Case &c : cases) {
        sdk.results = {{c.world, 439}, {c.universe, 439}};
        for (const auto database : {EjectionDatabase::World, EjectionDatabase::Universe}) {
            auto logic = Open(database);
            view.statuses.clear();
            ((*logic).*c.press)(Value("1.2.3.4"));
            EXPECT_EQ(view.statuses.back(), c.status) << c.world;
        }
    }
}

TEST_F(EjectionTest, LookupResultFillsTheFieldsAndKeepsTheExpiryForTheNextChange) {
    struct Case {
        EjectionDatabase database;
        int type, key, creation, expiration;
        EjectionFields expected;
    };
    const int address = *DottedTextToNetworkOrder("10.0.0.9");
    const Case cases[] = {
        {EjectionDatabase::World, 0, address, 0, 0, {0, "10.0.0.9", "why", "Unknown", "Never"}},
        {EjectionDatabase::World,
         2,
         42,
         1230768000,
         1230771600,
         {2, "42", "why", "Thu Jan 01, 2009 00:00:00", "Thu Jan 01, 2009 01:00:00"}},
        {EjectionDatabase::World, 1, -3, 0, 0, {1, "-3", "why", "Unknown", "Never"}},
        // A type the world does not know shows as an address.
        {EjectionDatabase::World, 9, address, 0, 0, {0, "10.0.0.9", "why", "Unknown", "Never"}},
        {EjectionDatabase::Universe, 2, address, 0, 5, {-1, "10.0.0.9", "why", "Unknown", "Thu Jan 01, 1970 00:00:05"}},
    };
    for (const Case &c : cases) {
        auto logic = Open(c.database);
        sdk.Int(kAttrEjectionType, c.type);
        sdk.Int(kAttrEjectionAddress, c.key);
        sdk.Int(kAttrEjectionCreation, c.creation);
        sdk.Int(kAttrEjectionExpiration, c.expiration);
        sdk.String(kAttrEjectionComment, "why");
        view.shown.clear();
        const int callback =
            c.database == EjectionDatabase::World ? kCallbackWorldEjectionLookup : kCallbackUniverseEjectionLookup;
        ASSERT_TRUE(sdk.Fire(callback, 0));
        const std::string name = "type " + std::to_string(c.type) + " key " + std::to_string(c.key);
        ASSERT_EQ(view.shown.size(), 1u) << name;
        EXPECT_EQ(view.shown[0], c.expected)
            << name << ": " << view.shown[0].value << " | " << view.shown[0].created << " | " << view.shown[0].expires;
        EXPECT_EQ(view.statuses.back(), "Lookup successful.") << name;
        EXPECT_EQ(logic->Expiration(), c.expiration) << name;

        // A failed lookup leaves nothing of the record shown before but the key, and no expiry for the next Add.
        ASSERT_TRUE(sdk.Fire(callback, 66));
        ASSERT_EQ(view.shown.size(), 2u) << name;
        EjectionFields cleared = c.expected;
        cleared.comment.clear();
        cleared.created.clear();
        cleared.expires = "Never";
        EXPECT_EQ(view.shown[1], cleared) << name;
        EXPECT_EQ(logic->Expiration(), 0) << name;
        EXPECT_EQ(view.statuses.back(), "No such ejection.") << name;
    }
}

TEST_F(EjectionTest, AfterAddOrChangeTheFieldsShowWhatTheServerNowHolds) {
    struct Case {
        const char *name;
        void (EjectionLogic::*press)(const EjectionFields &);
        int result;
        bool reread;
    };
    const Case cases[] = {
        {"Add", &EjectionLogic::Add, 0, true},
        {"Change", &EjectionLogic::Change, 0, true},
        {"refused Add", &EjectionLogic::Add, 32, false},
        {"Delete", &EjectionLogic::Delete, 0, false},
    };
    for (const Case &c : cases) {
        auto logic = Open(EjectionDatabase::World);
        // An older record was looked up first.
        sdk.Int(kAttrEjectionType, 2);
        sdk.Int(kAttrEjectionAddress, 5);
        sdk.Int(kAttrEjectionCreation, 86400);
        sdk.String(kAttrEjectionComment, "old");
        ASSERT_TRUE(sdk.Fire(kCallbackWorldEjectionLookup, 0));
        ASSERT_EQ(view.shown.back().created, "Fri Jan 02, 1970 00:00:00");
        EjectionFields fields = Value("7", kEjectionCitizen);
        fields.comment = "spam";
        ((*logic).*c.press)(fields);
        sdk.Take();
        ASSERT_TRUE(sdk.Fire(kCallbackWorldEjectionResult, c.result)) << c.name;
        const Strings reread = {"I273=2", "I274=7", "WorldEjectionLookup"};
        EXPECT_EQ(sdk.Take(), c.reread ? reread : Strings{}) << c.name;
        if (!c.reread) {
            continue;
        }
        EXPECT_EQ(view.shown.back().created, "") << c.name << ": not the older record's while the answer comes";
        sdk.Int(kAttrEjectionAddress, 7);
        sdk.Int(kAttrEjectionCreation, 1230768000);
        sdk.String(kAttrEjectionComment, "spam");
        ASSERT_TRUE(sdk.Fire(kCallbackWorldEjectionLookup, 0));
        EXPECT_EQ(view.shown.back(), (EjectionFields{2, "7", "spam", "Thu Jan 01, 2009 00:00:00", "Never"})) << c.name;
        EXPECT_EQ(view.statuses.back(), "Successful.") << c.name;
    }
}

TEST_F(EjectionTest, ChangeResultReportsTheReason) {
    auto logic = Open(EjectionDatabase::Universe);
    ASSERT_TRUE(sdk.Fire(kCallbackUniverseEjectionResult, 0));
    ASSERT_TRUE(sdk.Fire(kCallbackUniverseEjectionResult, 32));
    EXPECT_EQ(view.statuses, (Strings{"Successful.", "Unable to modify ejection database (reason: unauthorized)."}));
}

TEST_F(EjectionTest, NeverFromTheEditDateDialogMakesTheEjectionPermanent) {
    auto logic = Open(EjectionDatabase::World);
    EjectionFields fields = Value("1.2.3.4", kEjectionAddress);
    fields.comment = "typed";
    logic->SetExpiration(fields, 1230768000);
    EXPECT_EQ(view.shown.back().expires, "Thu Jan 01, 2009 00:00:00");
    EXPECT_EQ(view.shown.back().comment, "typed"); // the other fields as the user left them
    logic->SetExpiration(fields, 0);
    EXPECT_EQ(view.shown.back().expires, "Never");
    sdk.Take();
    logic->Change(fields);
    const Strings log = sdk.Take();
    EXPECT_NE(std::find(log.begin(), log.end(), "I275=0"), log.end());
}

TEST_F(EjectionTest, UniverseCommentsNeedBuild23ButAreSentAnyway) {
    for (const int build : {22, 23}) {
        sdk.Int(kAttrUniverseBuild, build);
        auto logic = Open(EjectionDatabase::Universe);
        EXPECT_EQ(logic->CommentsEnabled(), build >= 23) << "build " << build;
        EjectionFields fields = Value("1.2.3.4");
        fields.comment = "from the last record";
        logic->Add(fields);
        const Strings log = sdk.Take();
        EXPECT_NE(std::find(log.begin(), log.end(), "S277=from the last record"), log.end()) << "build " << build;
    }
    EXPECT_TRUE(Open(EjectionDatabase::World)->CommentsEnabled());
}

TEST_F(EjectionTest, AnOverlongCommentIsRefusedBeforeAnythingIsWritten) {
    auto logic = Open(EjectionDatabase::Universe);
    EjectionFields fields = Value("1.2.3.4");
    fields.comment = std::string(2001, 'c');
    logic->Add(fields);
    EXPECT_TRUE(sdk.Take().empty());
    EXPECT_EQ(view.statuses.back(), "The comment is too long: the server takes at most 2000 bytes.");
}

TEST_F(EjectionTest, AnswersAfterTheDialogClosedDoNothing) {
    {
        auto gone = std::make_unique<ViewRecorder>();
        EjectionLogic logic(sdk, *gone, EjectionDatabase::World);
        logic.Open();
    } // the view and the logic are gone; AddressSanitizer would catch a handler that still used them
    for (const int callback : {kCallbackWorldEjectionLookup, kCallbackWorldEjectionResult}) {
        EXPECT_TRUE(sdk.Fire(callback, 0)) << callback; // the handler stays installed ...
    }
    EXPECT_TRUE(view.statuses.empty()); // ... and reaches no dialog

    // A dialog opened later installs its own and hears its answers.
    auto logic = Open(EjectionDatabase::World);
    ASSERT_TRUE(sdk.Fire(kCallbackWorldEjectionResult, 0));
    EXPECT_EQ(view.statuses, Strings{"Successful."});
}

} // namespace
