// Eject, Teleport User, Send URL and the citizen look-up against the recording stand-in.

#include "FakeAdminSdk.h"
#include "admin/CitizenLookupLogic.h"
#include "admin/EjectLogic.h"
#include "admin/SendUrlLogic.h"
#include "admin/TeleportUserLogic.h"
#include "common/Ipv4.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

using Strings = std::vector<std::string>;

struct AddressRecorder final : EjectView {
    Strings shown;
    void ShowAddress(const std::string &text) override { shown.push_back(text); }
};

const AdminPerson kAlice{"Alice", 7};

TEST(Eject, AsksForTheAddressOnlyFromBuild21) {
    struct Case {
        int build;
        int refused; // AddressRequest's return
        Strings shown;
        bool asked;
    };
    const Case cases[] = {
        {20, 0, {"World server too old"}, false},
        {21, 0, {"Querying..."}, true},
        {63, 439, {"Querying...", "Error: no connection."}, true},
    };
    for (const Case &c : cases) {
        FakeAdminSdk sdk;
        AddressRecorder view;
        ChatRecorder chat;
        sdk.Int(kAttrWorldBuildNumber, c.build);
        sdk.results["AddressRequest"] = c.refused;
        EjectLogic logic(sdk, view, chat.Writer(), kAlice);
        logic.Open();
        const std::string name = "build " + std::to_string(c.build);
        EXPECT_EQ(view.shown, c.shown) << name;
        EXPECT_EQ(sdk.Take(), c.asked ? Strings{"AddressRequest 7"} : Strings{}) << name;
        EXPECT_EQ(sdk.HasHandler(kCallbackAddressResult), c.asked) << name;
    }
}

TEST(Eject, AddressAnswerShowsTheDottedAddressOrTheReason) {
    FakeAdminSdk sdk;
    AddressRecorder view;
    ChatRecorder chat;
    sdk.Int(kAttrWorldBuildNumber, 63);
    EjectLogic logic(sdk, view, chat.Writer(), kAlice);
    logic.Open();
    // An earlier Lookup IP's answer about someone else is not Alice's address.
    sdk.Int(kAttrAvatarSession, 8);
    sdk.Int(kAttrAvatarAddress, *DottedTextToNetworkOrder("10.9.9.9"));
    sdk.Fire(kCallbackAddressResult, 0);
    EXPECT_EQ(logic.AddressText(), "Querying...");
    sdk.Int(kAttrAvatarSession, 7);
    sdk.Int(kAttrAvatarAddress, *DottedTextToNetworkOrder("192.168.1.20"));
    sdk.Fire(kCallbackAddressResult, 0);
    EXPECT_EQ(logic.AddressText(), "192.168.1.20");
    sdk.Fire(kCallbackAddressResult, 32);
    EXPECT_EQ(logic.AddressText(), "Error: unauthorized.");
}

TEST(Eject, OkEjectsForTheChosenTimeAndAnnouncesTheMinutes) {
    struct Case {
        int choice;
        int seconds;
        const char *line;
    };
    const Case cases[] = {
        {0, 300, "Immigration Officer: Attempting to eject Alice for 5 minutes."},
        {1, 3600, "Immigration Officer: Attempting to eject Alice for 60 minutes."},
        {2, 86400, "Immigration Officer: Attempting to eject Alice for 1440 minutes."},
        {-1, 300, "Immigration Officer: Attempting to eject Alice for 5 minutes."},
    };
    for (const Case &c : cases) {
        FakeAdminSdk sdk;
        AddressRecorder view;
        ChatRecorder chat;
        sdk.results["WorldEject"] = 32; // the outcome is never reported
        EjectLogic logic(sdk, view, chat.Writer(), kAlice);
        logic.Ok(c.choice);
        EXPECT_EQ(sdk.Take(), (Strings{"I271=7", "I272=" + std::to_string(c.seconds), "WorldEject"}))
            << "choice " << c.choice;
        EXPECT_EQ(chat.lines, std::vector<ChatLine>{TealLine(c.line)}) << "choice " << c.choice;
    }
}

TEST(Eject, AnAddressAnswerAfterTheDialogClosedChangesNothing) {
    FakeAdminSdk sdk;
    ChatRecorder chat;
    sdk.Int(kAttrWorldBuildNumber, 63);
    {
        auto view = std::make_unique<AddressRecorder>();
        EjectLogic logic(sdk, *view, chat.Writer(), kAlice);
        logic.Open();
    }
    sdk.Int(kAttrAvatarSession, 7);
    EXPECT_TRUE(sdk.Fire(kCallbackAddressResult, 0)); // still installed, reaching nothing
    EXPECT_TRUE(chat.lines.empty());
}

TEST(TeleportUser, TheCurrentWorldInAnyLetterCaseMovesWithinIt) {
    struct Case {
        const char *world;
        const char *coordinates;
        bool warp;
        Strings sent;
    };
    const Case cases[] = {
        {"TOWN", "1N 2W 3a 90", true, {"I292=2000", "I293=3000", "I294=1000", "I295=900", "S291=", "B296=1"}},
        {"Town", "", false, {"I292=0", "I293=0", "I294=0", "I295=0", "S291=", "B296=0"}},
        // A world name inside the coordinates is not where the person goes.
        {"Globe", "Mars 5S 0a", false, {"I292=0", "I293=0", "I294=-5000", "I295=0", "S291=Globe", "B296=0"}},
        {"", "0n 0e", false, {"I292=0", "I293=0", "I294=0", "I295=0", "S291=", "B296=0"}},
    };
    for (const Case &c : cases) {
        FakeAdminSdk sdk;
        sdk.String(kAttrWorldName, "Town");
        TeleportUserLogic logic(sdk, kAlice, "0n 0e");
        EXPECT_EQ(logic.MoveText(), "Move Alice");
        EXPECT_EQ(logic.World(), "Town");
        EXPECT_EQ(logic.Coordinates(), "0n 0e");
        logic.Ok(c.world, c.coordinates, c.warp);
        Strings expected = c.sent;
        expected.push_back("Teleport 7");
        EXPECT_EQ(sdk.Take(), expected) << c.world << " / " << c.coordinates;
    }
}

TEST(SendUrl, SendsToThePersonWithOrWithoutTheFrame) {
    FakeAdminSdk sdk;
    PromptRecorder prompt;
    SendUrlLogic logic(sdk, prompt, kAlice);
    EXPECT_TRUE(logic.Send("http://a", false));
    EXPECT_TRUE(logic.Send("http://b", true));
    EXPECT_EQ(sdk.Take(), (Strings{"UrlSend 7 http://a []", "UrlSend 7 http://b [3d_window]"}));
    // Longer than the SDK sends: said, not silently dropped.
    EXPECT_FALSE(logic.Send(std::string(256, 'u'), false));
    EXPECT_TRUE(sdk.Take().empty());
    EXPECT_EQ(prompt.errors, Strings{"Send URL|The URL is too long: the server takes at most 255 bytes."});
}

// ---- Citizen look-up -----------------------------------------------------------------------------------------------

struct LookupRecorder final : CitizenLookupView {
    Strings names, numbers;
    std::vector<bool> enabled;
    void ShowNameAnswer(const std::string &text) override { names.push_back(text); }
    void ShowNumberAnswer(const std::string &text) override { numbers.push_back(text); }
    void SetButtonsEnabled(bool on) override { enabled.push_back(on); }
};

TEST(CitizenLookup, AnswersBothWaysAndFreesTheButtons) {
    struct Case {
        bool byNumber;
        const char *typed;
        int result;
        int number;
        const char *name;
        const char *request;
        const char *answer;
    };
    const Case cases[] = {
        {true, "1", 0, 1, "Founder", "CitizenByNumber 1", "Citizen #1 is Founder."},
        {true, "0", 3, 0, "", "CitizenByNumber 0", "No such citizen number 0."},
        {true, "", 3, 0, "", "CitizenByNumber 0", "No such citizen number 0."},
        {false, "tester", 0, 2, "Tester", "CitizenByName tester", "Citizen Tester is #2."},
        {false, "Nobody", 3, 0, "", "CitizenByName Nobody", "No such citizen named Nobody."},
        // A lost connection says so: the universe never said that there is no such citizen.
        {true, "5", 471, 99, "Stale", "CitizenByNumber 5", "Unable to look up the citizen (reason: connection lost)."},
    };
    for (const Case &c : cases) {
        FakeAdminSdk sdk;
        LookupRecorder view;
        CitizenLookupLogic logic(sdk, view);
        c.byNumber ? logic.RetrieveName(c.typed) : logic.RetrieveNumber(c.typed);
        EXPECT_EQ(sdk.Take(), Strings{c.request}) << c.request;
        EXPECT_TRUE(logic.Busy()) << c.request;
        EXPECT_EQ(view.enabled, std::vector<bool>{false}) << c.request;
        // One request at a time.
        logic.RetrieveNumber("other");
        EXPECT_TRUE(sdk.Take().empty()) << c.request;

        sdk.Int(kAttrCitizenNumber, c.number);
        sdk.String(kAttrCitizenName, c.name);
        ASSERT_TRUE(sdk.Fire(kCallbackCitizenResult, c.result)) << c.request;
        const Strings &box = c.byNumber ? view.names : view.numbers;
        const Strings expected = {c.byNumber ? "Looking up citizen name..." : "Looking up citizen number...", c.answer};
        EXPECT_EQ(box, expected) << c.request;
        EXPECT_EQ(view.enabled, (std::vector<bool>{false, true})) << c.request;
        EXPECT_FALSE(sdk.HasHandler(kCallbackCitizenResult)) << c.request << ": the handler removes itself";
    }
}

TEST(CitizenLookup, ARequestRefusedAtOnceSaysSoAndFreesTheButtons) {
    FakeAdminSdk sdk;
    LookupRecorder view;
    CitizenLookupLogic logic(sdk, view);
    sdk.results["CitizenByName"] = 439;
    logic.RetrieveNumber("Alice");
    EXPECT_EQ(view.numbers, Strings{"Unable to look up the citizen (reason: no connection)."});
    EXPECT_EQ(view.enabled, (std::vector<bool>{false, true}));
    EXPECT_FALSE(logic.Busy());
}

TEST(CitizenLookup, AnAnswerAfterTheDialogClosedDoesNothing) {
    FakeAdminSdk sdk;
    {
        auto view = std::make_unique<LookupRecorder>();
        CitizenLookupLogic logic(sdk, *view);
        logic.RetrieveName("1");
    }
    EXPECT_TRUE(sdk.Fire(kCallbackCitizenResult, 0));
    // It stays installed, doing nothing, until the next user of the callback installs its own.
    EXPECT_TRUE(sdk.HasHandler(kCallbackCitizenResult));
}

} // namespace
