// Planter and Load Object against the recording stand-in: what is set, in which order, the date limits, and the
// callback that reports the outcome after the dialog has closed.

#include "admin/ObjectBuilding.h"

#include "FakeAdminSdk.h"
#include "admin/AdminText.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

class ObjectBuildingTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }

    FakeAdminSdk sdk;
    PromptRecorder prompt;
    ChatRecorder chat;
};

TEST_F(ObjectBuildingTest, PlanterBuildsAtThePlaceIgnoringAWorldName) {
    struct Case {
        const char *coordinates;
        Strings position; // 232 to 235
    };
    const Case cases[] = {
        {"40N 50W 2a 180", {"I232=50000", "I233=2000", "I234=40000", "I235=1800"}},
        {"Sunset 1S 2E", {"I232=-2000", "I233=0", "I234=-1000", "I235=0"}},
        {"", {"I232=0", "I233=0", "I234=0", "I235=0"}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(PlantObject(sdk, prompt, chat.Writer(), c.coordinates, "tree.rwx", "a tree")) << c.coordinates;
        Strings expected = c.position;
        for (const char *rest : {"S238=tree.rwx", "S239=a tree", "S240=", "I248=0", "ObjectAdd"})
            expected.push_back(rest);
        EXPECT_EQ(sdk.Take(), expected) << c.coordinates;
    }
    EXPECT_EQ(chat.lines.front(), TealLine("Attempting to add object tree.rwx."));
}

TEST_F(ObjectBuildingTest, LoadObjectTakesOnlyDatesThatFitTheTimestamp) {
    struct Case {
        int year, month, day;
        bool built;
        int timestamp;
    };
    const Case cases[] = {
        {1969, 12, 31, false, 0}, {1970, 1, 1, true, 3723}, {2037, 12, 31, true, 2145834123},
        {2038, 1, 1, false, 0},   {-5, 1, 1, false, 0},     {99999, 1, 1, false, 0},
    };
    for (const Case &c : cases) {
        LoadObjectFields fields;
        fields.year = c.year;
        fields.month = c.month;
        fields.day = c.day;
        fields.hour = 1;
        fields.minute = 2;
        fields.second = 3;
        fields.object = "chair.rwx";
        fields.owner = "42";
        fields.action = "create solid off";
        prompt.errors.clear();
        const std::string name = std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day);
        EXPECT_EQ(BuildLoadedObject(sdk, prompt, chat.Writer(), fields), c.built) << name;
        const Strings log = sdk.Take();
        if (c.built) {
            // The default location is the world's centre at ground level, facing north.
            const Strings expected = {"I232=0",
                                      "I233=0",
                                      "I234=0",
                                      "I235=0",
                                      "S238=chair.rwx",
                                      "S239=",
                                      "S240=create solid off",
                                      "I244=42",
                                      "I246=" + std::to_string(c.timestamp),
                                      "I248=0",
                                      "ObjectLoad"};
            EXPECT_EQ(log, expected) << name;
            EXPECT_TRUE(prompt.errors.empty()) << name;
        } else {
            EXPECT_TRUE(log.empty()) << name;
            EXPECT_EQ(prompt.errors,
                      Strings{"Gabbler Object Loader|You must build objects dated between 1/1/1970 and 12/31/2037."})
                << name;
        }
    }
}

TEST_F(ObjectBuildingTest, TheOutcomeArrivesThroughTheCallbackWhichRemovesItself) {
    struct Case {
        bool load;
        int result;
        const char *line;
    };
    const Case cases[] = {
        {false, 0, "Object successfully added."},
        {false, 34, "Building Inspector: Unable to add object (reason: no such license)."},
        {true, 0, "Object successfully loaded."},
        {true, 32, "Building Inspector: Unable to load object (reason: unauthorized)."},
    };
    for (const Case &c : cases) {
        chat.lines.clear();
        {
            // The dialog is gone before the answer comes; the line must still be written.
            ObjectSpec object;
            object.model = "m";
            c.load ? LoadObject(sdk, chat.Writer(), object, 1, 0) : AddObject(sdk, chat.Writer(), object);
        }
        ASSERT_TRUE(sdk.Fire(kCallbackObjectResult, c.result)) << c.line;
        EXPECT_FALSE(sdk.HasHandler(kCallbackObjectResult)) << c.line;
        ASSERT_EQ(chat.lines.size(), 2u) << c.line;
        EXPECT_EQ(chat.lines[1], TealLine(c.line));
    }
}

TEST_F(ObjectBuildingTest, ARefusedRequestIsReportedAtOnce) {
    struct Case {
        const char *operation;
        std::string model;
        const char *line;
    };
    const Case cases[] = {
        {"ObjectAdd", "m", "Building Inspector: Unable to add object (reason: no connection)."},
        // The SDK refuses the over-long model; nothing is sent with the previous request's model.
        {"none", std::string(256, 'm'), "Building Inspector: Unable to add object (reason: string too long)."},
    };
    for (const Case &c : cases) {
        sdk.results = {{c.operation, 439}};
        chat.lines.clear();
        ObjectSpec object;
        object.model = c.model;
        AddObject(sdk, chat.Writer(), object);
        ASSERT_EQ(chat.lines.size(), 2u) << c.operation;
        EXPECT_EQ(chat.lines[1], TealLine(c.line)) << c.operation;
        EXPECT_FALSE(sdk.HasHandler(kCallbackObjectResult)) << c.operation;
        const Strings log = sdk.Take();
        EXPECT_EQ(std::count(log.begin(), log.end(), "ObjectAdd"), c.model.size() == 1 ? 1 : 0) << c.operation;
    }
}

TEST_F(ObjectBuildingTest, DialogsRefuseOverlongTextsWithAMessage) {
    EXPECT_FALSE(PlantObject(sdk, prompt, chat.Writer(), "", std::string(300, 'n'), ""));
    LoadObjectFields fields;
    fields.year = 2000;
    fields.description = std::string(300, 'd');
    EXPECT_FALSE(BuildLoadedObject(sdk, prompt, chat.Writer(), fields));
    EXPECT_EQ(prompt.errors, (Strings{"Planter|Object Name is too long: the server takes at most 255 bytes.",
                                      "Gabbler Object Loader|Description is too long: the server takes at most 255 "
                                      "bytes."}));
    EXPECT_TRUE(sdk.Take().empty());
    EXPECT_TRUE(chat.lines.empty());
}

TEST_F(ObjectBuildingTest, LoadObjectRefusesAnObjectWithoutAName) {
    for (const char *name : {"", "  "}) {
        LoadObjectFields fields;
        fields.year = 2000;
        fields.object = name;
        prompt.errors.clear();
        EXPECT_FALSE(BuildLoadedObject(sdk, prompt, chat.Writer(), fields)) << '"' << name << '"';
        EXPECT_EQ(prompt.errors, Strings{"Gabbler Object Loader|Please enter the name of the object to load."});
        EXPECT_TRUE(sdk.Take().empty());
        EXPECT_TRUE(chat.lines.empty()) << "no \"Attempting to load object .\"";
    }
}

} // namespace
