// World Features, World Rights and Universe Attributes: what each shows, who may change what, and what OK sends.

#include "FakeAdminSdk.h"
#include "admin/UniverseOptionsLogic.h"
#include "admin/WorldFeaturesLogic.h"
#include "admin/WorldRightsLogic.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

std::size_t FeatureIndex(int attribute) {
    const auto fields = WorldFeaturesLogic::Fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].attribute == attribute)
            return i;
    }
    ADD_FAILURE() << "no field for attribute " << attribute;
    return 0;
}

class WorldFeaturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        World(true, 63);
    }

    void World(bool caretaker, int build) {
        sdk.Bool(kAttrWorldCaretaker, caretaker);
        sdk.Int(kAttrWorldBuildNumber, build);
        sdk.String(kAttrWorldName, "Town");
        sdk.String(kAttrWorldTitle, "Welcome to Town");
        sdk.String(kAttrWorldBackdrop, "sky1");
        sdk.String(kAttrWorldGround, "grass");
        sdk.String(kAttrWorldHomePage, "http://town");
        sdk.String(kAttrWorldObjectPath, "http://objects");
        sdk.String(kAttrWorldWelcomeMessage, "Hello");
        sdk.String(kAttrWorldEntryPoint, "1N 2W");
        sdk.String(kAttrWorldKeywords, "town");
        sdk.String(kAttrWorldSkybox, "box");
        sdk.Int(kAttrWorldMinimumVisibility, 40);
        sdk.Int(kAttrWorldMaxLightRadius, 10);
        sdk.Int(kAttrWorldCellLimit, 2500);
        sdk.Int(kAttrWorldObjectRefresh, 30);
        sdk.Int(kAttrWorldRestrictedRadius, 5);
        sdk.Int(kAttrWorldRating, 1);
        sdk.Bool(kAttrWorldDisableCreateUrl, true);
        sdk.Bool(kAttrWorldAllowFlying, true);
        sdk.Bool(kAttrWorldAllowTouristWhisper, true);
        sdk.Bool(kAttrWorldEnableTerrain, false);
        sdk.Bool(kAttrWorldRepeatingGround, true);
    }

    FakeAdminSdk sdk;
    PromptRecorder prompt;
    ChatRecorder chat;
    WorldFeaturesLogic logic{sdk, prompt, chat.Writer()};
};

TEST_F(WorldFeaturesTest, EnablesFieldsByRightAndWorldBuild) {
    struct Case {
        bool caretaker;
        int build;
        bool title, entryPoint, touristWhisper, terrain, rotation, myLocation;
    };
    const Case cases[] = {
        {false, 63, false, false, false, false, false, false}, {true, 20, true, false, false, false, false, false},
        {true, 21, true, false, true, false, false, false},    {true, 38, true, false, true, false, false, false},
        {true, 39, true, true, true, true, true, true},
    };
    for (const Case &c : cases) {
        World(c.caretaker, c.build);
        logic.Open();
        const std::string name = "caretaker " + std::to_string(c.caretaker) + ", build " + std::to_string(c.build);
        EXPECT_FALSE(logic.FieldEnabled(FeatureIndex(kAttrWorldName))) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldTitle)), c.title) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldRating)), c.title) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldDisableCreateUrl)), c.title) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldEntryPoint)), c.entryPoint) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldAllowTouristWhisper)), c.touristWhisper) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldEnableTerrain)), c.terrain) << name;
        EXPECT_EQ(logic.FieldEnabled(FeatureIndex(kAttrWorldRotation)), c.rotation) << name;
        EXPECT_EQ(logic.SetToMyLocationEnabled(), c.myLocation) << name;
        EXPECT_EQ(logic.OkEnabled(), c.caretaker) << name;
        EXPECT_EQ(logic.ChangeColourEnabled(), c.caretaker) << name;
    }
}

TEST_F(WorldFeaturesTest, CellDataLimitSelectsItsEntryAndKeepsACustomOne) {
    struct Case {
        int limit;
        int selected;
        bool custom;
    };
    const Case cases[] = {{1500, WorldFeaturesLogic::kNormal, false}, {2500, WorldFeaturesLogic::kLarge, false},
                          {4000, WorldFeaturesLogic::kHuge, false},   {3000, WorldFeaturesLogic::kCustom, true},
                          {0, WorldFeaturesLogic::kCustom, true},     {-7, WorldFeaturesLogic::kCustom, true}};
    const std::size_t cell = FeatureIndex(kAttrWorldCellLimit);
    for (const Case &c : cases) {
        sdk.Int(kAttrWorldCellLimit, c.limit);
        logic.Open();
        const std::string name = "limit " + std::to_string(c.limit);
        EXPECT_EQ(logic.Values()[cell].index, c.selected) << name;
        const Strings expected =
            c.custom ? Strings{"Huge", "Large", "Normal", "Custom"} : Strings{"Huge", "Large", "Normal"};
        EXPECT_EQ(logic.ListEntries(cell), expected) << name;
        EXPECT_EQ(logic.FieldEnabled(cell), !c.custom) << name;
        sdk.Take();
        ASSERT_TRUE(logic.Ok(logic.Values())) << name;
        const Strings log = sdk.Take();
        EXPECT_NE(std::find(log.begin(), log.end(), "I70=" + std::to_string(c.limit)), log.end()) << name;
    }
}

TEST_F(WorldFeaturesTest, OkWritesEveryFieldInOrderThenChangesTheWorld) {
    logic.Open();
    std::vector<FieldValue> controls = logic.Values();
    controls[FeatureIndex(kAttrWorldTitle)].text = "New title";
    controls[FeatureIndex(kAttrWorldCellLimit)].index = WorldFeaturesLogic::kHuge;
    controls[FeatureIndex(kAttrWorldRating)].index = 3;
    controls[FeatureIndex(kAttrWorldObjectRefresh)].text = "";
    controls[FeatureIndex(kAttrWorldDisableCreateUrl)].checked = true; // "Allow create url" ticked
    ASSERT_TRUE(logic.Ok(controls));
    const Strings expected = {"S46=sky1",        "S47=grass",
                              "S62=http://town", "S48=http://objects",
                              "S45=New title",   "S67=Hello",
                              "S107=1N 2W",      "S103=town",
                              "S100=box",        "I101=40",
                              "I99=10",          "I70=4000",
                              "I49=0",           "I58=5",
                              "I66=3",           "B65=0",
                              "B73=1",           "B75=0",
                              "B72=0",           "B89=0",
                              "B74=0",           "B79=1",
                              "B105=0",          "B104=0",
                              "B102=1",          "WorldAttributesChange"};
    EXPECT_EQ(sdk.Take(), expected);
    EXPECT_EQ(chat.lines, std::vector<ChatLine>{RedLine("World options changed.")});

    sdk.results["WorldAttributesChange"] = 32;
    ASSERT_TRUE(logic.Ok(controls));
    EXPECT_EQ(chat.lines.back(), RedLine("Unable to change world options."));
}

TEST_F(WorldFeaturesTest, FieldsTheWorldServerLacksGoBackAsRead) {
    World(true, 20);
    logic.Open();
    std::vector<FieldValue> controls = logic.Values();
    controls[FeatureIndex(kAttrWorldEntryPoint)].text = "9N 9W";
    controls[FeatureIndex(kAttrWorldAllowTouristWhisper)].checked = false;
    controls[FeatureIndex(kAttrWorldEnableTerrain)].checked = true;
    ASSERT_TRUE(logic.Ok(controls));
    const Strings log = sdk.Take();
    for (const char *kept : {"S107=1N 2W", "B79=1", "B104=0"})
        EXPECT_NE(std::find(log.begin(), log.end(), kept), log.end()) << kept;
}

TEST_F(WorldFeaturesTest, RefusesToSendWhatCannotBeSent) {
    struct Case {
        const char *name;
        bool caretaker;
        int cellIndex;
        std::string title;
        const char *error; // empty: nothing shown
    };
    const Case cases[] = {
        {"no cell data limit selected", true, -1, "t",
         "Gabbler|Gabbler internal error.  Unable to save world options."},
        {"title longer than the server takes", true, 0, std::string(256, 'x'),
         "World Features|Title is too long: the server takes at most 255 bytes."},
        // 128 two-byte letters fit a 255-character edit but not the attribute.
        {"title of multi-byte letters", true, 0,
         [] {
             std::string t;
             for (int i = 0; i < 128; ++i)
                 t += "\xC3\xA9";
             return t;
         }(),
         "World Features|Title is too long: the server takes at most 255 bytes."},
        {"not a caretaker", false, 0, "t", ""},
    };
    for (const Case &c : cases) {
        World(c.caretaker, 63);
        logic.Open();
        std::vector<FieldValue> controls = logic.Values();
        controls[FeatureIndex(kAttrWorldCellLimit)].index = c.cellIndex;
        controls[FeatureIndex(kAttrWorldTitle)].text = c.title;
        prompt.errors.clear();
        sdk.Take();
        EXPECT_FALSE(logic.Ok(controls)) << c.name;
        EXPECT_TRUE(sdk.Take().empty()) << c.name;
        EXPECT_EQ(prompt.errors, *c.error ? Strings{c.error} : Strings{}) << c.name;
        EXPECT_TRUE(chat.lines.empty()) << c.name;
    }
}

TEST_F(WorldFeaturesTest, InformationTextsNeedBuild28) {
    struct Case {
        int build, size, users, objects, expiration;
        WorldInfoTexts expected;
    };
    const Case cases[] = {
        {27, 64, 50, 7, 0, {"Unknown", "Unknown", "Unknown", "Unknown"}},
        {28, 64, 50, 7, 0, {"1280 x 1280 meters", "50 users", "7 objects", "Never"}},
        {63, 1, 0, 0, 1230768000, {"20 x 20 meters", "0 users", "0 objects", "Thursday, January 01, 2009 00:00:00"}},
        // A size beyond what 32 bits can multiply by 20.
        {63, 2147483647, -1, -2, 0, {"42949672940 x 42949672940 meters", "-1 users", "-2 objects", "Never"}},
    };
    for (const Case &c : cases) {
        sdk.Int(kAttrWorldBuildNumber, c.build);
        sdk.Int(kAttrWorldSize, c.size);
        sdk.Int(kAttrWorldMaxUsers, c.users);
        sdk.Int(kAttrWorldObjectCount, c.objects);
        sdk.Int(kAttrWorldExpiration, c.expiration);
        logic.Open();
        const std::string name = "build " + std::to_string(c.build) + " size " + std::to_string(c.size);
        EXPECT_EQ(logic.Info().size, c.expected.size) << name;
        EXPECT_EQ(logic.Info().maxUsers, c.expected.maxUsers) << name;
        EXPECT_EQ(logic.Info().objectCount, c.expected.objectCount) << name;
        EXPECT_EQ(logic.Info().expiration, c.expected.expiration) << name;
    }
}

TEST_F(WorldFeaturesTest, ColourIsWrittenAtOnceAndSentOnlyWithTheNextChange) {
    logic.Open();
    sdk.Take();
    logic.ChangeColour({10, 20, 30});
    EXPECT_EQ(sdk.Take(), (Strings{"I54=10", "I55=20", "I56=30"}));
    EXPECT_EQ(logic.Colour().green, 20);
    // Cancel: the dialog goes without a world change; the attributes keep the colour for the next one.
    EXPECT_EQ(sdk.GetInt(kAttrWorldBackdropBlue), 30);
}

TEST_F(WorldFeaturesTest, MyLocationIsTheBotsPositionAsCoordinateText) {
    sdk.Int(kAttrMyZ, 40000);
    sdk.Int(kAttrMyX, -50500);
    sdk.Int(kAttrMyY, 2000);
    sdk.Int(kAttrMyYaw, 1800);
    EXPECT_EQ(logic.MyLocationText(), "40.0N 50.5E 2.0a 180");
}

// ---- World Rights -------------------------------------------------------------------------------------------------

std::size_t RightIndex(int attribute) {
    const auto fields = WorldRightsLogic::Fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].attribute == attribute)
            return i;
    }
    ADD_FAILURE() << "no right for attribute " << attribute;
    return 0;
}

class WorldRightsTest : public ::testing::Test {
protected:
    void World(bool caretaker, int build) {
        sdk.Bool(kAttrWorldCaretaker, caretaker);
        sdk.Int(kAttrWorldBuildNumber, build);
        sdk.String(kAttrWorldEnterRight, "*");
        sdk.String(kAttrWorldBuildRight, "Alice, Bob");
        sdk.String(kAttrWorldEminentDomainRight, "");
        sdk.String(kAttrWorldSpecialObjectsRight, "Alice,*");
        sdk.String(kAttrWorldSpecialCommandsRight, "");
        sdk.String(kAttrWorldPublicSpeakerRight, "Carol");
        sdk.String(kAttrWorldEjectRight, "Dave");
        sdk.String(kAttrWorldBotsRight, "Alice");
        sdk.String(kAttrWorldSpeechRight, "-Eve,*");
        logic.Open();
    }

    FakeAdminSdk sdk;
    PromptRecorder prompt;
    ChatRecorder chat;
    WorldRightsLogic logic{sdk, prompt, chat.Writer()};
};

TEST_F(WorldRightsTest, ShowsListsOrSummariesByRightAndBuild) {
    const char *ns = WorldRightsText::NotSupported;
    struct Case {
        bool caretaker;
        int build;
        int attribute;
        const char *shown;
        bool enabled;
    };
    const Case cases[] = {
        // Caretakers see the lists as they are, "*" included.
        {true, 63, kAttrWorldEnterRight, "*", true},
        {true, 63, kAttrWorldSpecialObjectsRight, "Alice,*", true},
        {true, 63, kAttrWorldBotsRight, "Alice", true},
        {true, 63, kAttrWorldSpecialCommandsRight, "", true},
        {true, 16, kAttrWorldBotsRight, ns, false},
        {true, 16, kAttrWorldSpeechRight, ns, false},
        {true, 16, kAttrWorldSpecialCommandsRight, ns, false},
        {true, 16, kAttrWorldEjectRight, "Dave", true},
        {true, 27, kAttrWorldSpecialCommandsRight, ns, false},
        {true, 27, kAttrWorldSpeechRight, "-Eve,*", true},
        // Everyone else sees a summary.
        {false, 63, kAttrWorldEnterRight, "Everyone", false},
        {false, 63, kAttrWorldSpecialObjectsRight, "Everyone", false},
        {false, 63, kAttrWorldBuildRight, "Alice, Bob", false},
        {false, 63, kAttrWorldEminentDomainRight, "", false},
        {false, 63, kAttrWorldSpeechRight, "Everyone", false},
        {false, 63, kAttrWorldBotsRight, "Restricted", false},
        {false, 63, kAttrWorldSpecialCommandsRight, "Nobody", false},
        {false, 16, kAttrWorldBotsRight, ns, false},
        {false, 27, kAttrWorldSpecialCommandsRight, ns, false},
    };
    for (const Case &c : cases) {
        World(c.caretaker, c.build);
        const std::string name = "caretaker " + std::to_string(c.caretaker) + ", build " + std::to_string(c.build) +
                                 ", attribute " + std::to_string(c.attribute);
        EXPECT_EQ(logic.Texts()[RightIndex(c.attribute)], c.shown) << name;
        EXPECT_EQ(logic.FieldEnabled(RightIndex(c.attribute)), c.enabled) << name;
        EXPECT_EQ(logic.OkEnabled(), c.caretaker) << name;
        EXPECT_EQ(logic.WorldBuildText(), std::to_string(c.build)) << name;
    }
}

TEST_F(WorldRightsTest, OkWritesTheListsInOrderAndKeepsUnsupportedOnesAsRead) {
    World(true, 16);
    std::vector<std::string> edits = logic.Texts();
    edits[RightIndex(kAttrWorldBuildRight)] = "Alice";
    ASSERT_TRUE(logic.Ok(edits));
    // The notice shown in place of an unsupported list is never stored as the list.
    const Strings expected = {"S50=Alice",  "S51=",      "S68=Dave",    "S52=*", "S60=Carol",
                              "S78=-Eve,*", "S76=Alice", "S53=Alice,*", "S98=",  "WorldAttributesChange"};
    EXPECT_EQ(sdk.Take(), expected);
    EXPECT_EQ(chat.lines, std::vector<ChatLine>{RedLine("World options changed.")});

    sdk.results["WorldAttributesChange"] = 32;
    ASSERT_TRUE(logic.Ok(edits));
    EXPECT_EQ(chat.lines.back(), RedLine("Unable to change world options."));
}

TEST_F(WorldRightsTest, SendsNothingWithoutTheRightOrWithAnOverlongList) {
    World(false, 63);
    EXPECT_FALSE(logic.Ok(logic.Texts()));
    World(true, 63);
    std::vector<std::string> edits = logic.Texts();
    edits[RightIndex(kAttrWorldEjectRight)] = std::string(2001, 'a');
    sdk.Take();
    EXPECT_FALSE(logic.Ok(edits));
    EXPECT_TRUE(sdk.Take().empty());
    EXPECT_EQ(prompt.errors, Strings{"World Rights|Eject is too long: the server takes at most 2000 bytes."});
    EXPECT_TRUE(chat.lines.empty());
}

// ---- Universe Attributes -------------------------------------------------------------------------------------------

class UniverseOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const int numbers[] = {kAttrUniverseBrowserMinimum, kAttrUniverseBrowserRelease, kAttrUniverseBrowserBeta,
                               kAttrUniverseWorldMinimum,   kAttrUniverseWorldRelease,   kAttrUniverseWorldBeta,
                               kAttrUniverseBuild};
        int value = 100;
        for (int attribute : numbers)
            sdk.Int(attribute, value++);
        sdk.String(kAttrUniverseWorldStart, "Town");
        sdk.String(kAttrUniverseWelcomeMessage, "Hi\nthere");
        sdk.String(kAttrUniverseSearchUrl, "http://search");
        sdk.Bool(kAttrUniverseRegistrationRequired, true);
        sdk.Bool(kAttrUniverseAllowTourists, true);
    }

    FakeAdminSdk sdk;
    PromptRecorder prompt;
    ChatRecorder chat;
};

TEST_F(UniverseOptionsTest, OnlyCitizenOneMayChangeAndNeverTheReadOnlyFields) {
    for (const int citizen : {1, 2}) {
        UniverseOptionsLogic logic(sdk, prompt, chat.Writer(), citizen);
        logic.Open();
        const auto fields = UniverseOptionsLogic::Fields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const bool readOnly =
                fields[i].attribute == kAttrUniverseBuild || fields[i].attribute == kAttrUniverseRegistrationRequired;
            EXPECT_EQ(logic.FieldEnabled(i), citizen == 1 && !readOnly)
                << "citizen " << citizen << ", " << fields[i].label;
        }
        EXPECT_EQ(logic.OkEnabled(), citizen == 1) << "citizen " << citizen;
        EXPECT_FALSE(citizen != 1 && logic.Ok(logic.Values())) << "citizen " << citizen;
    }
    EXPECT_TRUE(sdk.Take().empty());
}

TEST_F(UniverseOptionsTest, OkAsksForCautionThenWritesInOrder) {
    UniverseOptionsLogic logic(sdk, prompt, chat.Writer(), 1);
    logic.Open();
    std::vector<FieldValue> controls = logic.Values();
    controls[0].text = "7";      // minimum browser
    controls[8].checked = false; // registration: shown, never sent
    prompt.answer = false;
    EXPECT_FALSE(logic.Ok(controls));
    EXPECT_EQ(prompt.questions, Strings{"Gabbler|You must use extreme caution when modifying the universe "
                                        "options.\nDo you wish to proceed?"});
    EXPECT_TRUE(sdk.Take().empty());

    prompt.answer = true;
    ASSERT_TRUE(logic.Ok(controls));
    const Strings expected = {"I10=102",
                              "I8=7",
                              "I9=101",
                              "I11=103",
                              "S12=Town",
                              "I22=104",
                              "S25=http://search",
                              "S21=Hi\nthere",
                              "I23=105",
                              "B24=1",
                              "UniverseAttributesChange"};
    EXPECT_EQ(sdk.Take(), expected);
    EXPECT_EQ(chat.lines, std::vector<ChatLine>{RedLine("Universe options changed.")});

    sdk.results["UniverseAttributesChange"] = 32;
    ASSERT_TRUE(logic.Ok(controls));
    EXPECT_EQ(chat.lines.back(), RedLine("Unable to change universe options."));
}

TEST_F(UniverseOptionsTest, AnOverlongWelcomeMessageIsRefusedBeforeAnythingIsWritten) {
    UniverseOptionsLogic logic(sdk, prompt, chat.Writer(), 1);
    logic.Open();
    std::vector<FieldValue> controls = logic.Values();
    controls[9].text = std::string(256, 'w');
    EXPECT_FALSE(logic.Ok(controls));
    EXPECT_TRUE(sdk.Take().empty());
    EXPECT_EQ(prompt.errors,
              Strings{"Gabbler|Universe welcome message is too long: the server takes at most 255 bytes."});
}

TEST_F(UniverseOptionsTest, AnOverlongTextIsRefusedBeforeTheCautionQuestion) {
    UniverseOptionsLogic logic(sdk, prompt, chat.Writer(), 1);
    logic.Open();
    std::vector<FieldValue> controls = logic.Values();
    controls[9].text = std::string(256, 'w');
    EXPECT_FALSE(logic.Ok(controls));
    EXPECT_TRUE(prompt.questions.empty()) << "nothing to be cautious about: nothing can be sent";
    EXPECT_EQ(prompt.errors.size(), 1);
}

TEST_F(UniverseOptionsTest, AWelcomeMessageStoredWithCrLfIsSentWithCrLf) {
    // The multi-line edit gives its lines back joined with LF, whatever the stored text used.
    const struct {
        const char *name;
        std::string stored;
        std::string edited;
        std::string sent; // empty: refused as too long
    } cases[] = {
        {"CR LF kept", "Hi\r\nthere", "Hi\nthere", "Hi\r\nthere"},
        {"new lines follow the stored ones", "Hi\r\nthere", "Hi\nthere\nfriend", "Hi\r\nthere\r\nfriend"},
        {"LF kept", "Hi\nthere", "Hi\nthere", "Hi\nthere"},
        {"CR LF counted as sent: fits", "a\r\nb", std::string(253, 'w') + "\n", std::string(253, 'w') + "\r\n"},
        {"CR LF counted as sent: too long", "a\r\nb", std::string(254, 'w') + "\n", ""},
    };
    for (const auto &c : cases) {
        sdk.String(kAttrUniverseWelcomeMessage, c.stored);
        UniverseOptionsLogic logic(sdk, prompt, chat.Writer(), 1);
        logic.Open();
        std::vector<FieldValue> controls = logic.Values();
        controls[9].text = c.edited;
        prompt.errors.clear();
        EXPECT_EQ(logic.Ok(controls), !c.sent.empty()) << c.name;
        const Strings log = sdk.Take();
        if (c.sent.empty()) {
            EXPECT_TRUE(log.empty()) << c.name;
            EXPECT_EQ(prompt.errors.size(), 1) << c.name;
        } else {
            EXPECT_NE(std::find(log.begin(), log.end(), "S21=" + c.sent), log.end()) << c.name;
        }
    }
}

} // namespace
