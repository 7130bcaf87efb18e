// A request answered through a callback, made while the SDK has no connection (the universe went away and the SDK is
// reconnecting), is refused at once with 439 and its callback never comes. Whichever request it was, the user must
// still hear that it failed and why, never silence after "Attempting ..." or "Looking up ...".

#include "../app/RecordingView.h"
#include "admin/AdminSdk.h"
#include "admin/CitizenLookupLogic.h"
#include "admin/EjectLogic.h"
#include "admin/EjectionLogic.h"
#include "admin/ObjectBuilding.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "chat/PeopleHarness.h"
#include "chat/PeopleMenu.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "support/LoopbackUniverse.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct TextBox : CitizenLookupView, EjectView, EjectionView {
    std::string text;
    void ShowNameAnswer(const std::string &t) override { text = t; }
    void ShowNumberAnswer(const std::string &t) override { text = t; }
    void SetButtonsEnabled(bool) override {}
    void ShowAddress(const std::string &t) override { text = t; }
    void ShowStatus(const std::string &t) override { text = t; }
    void ShowFields(const EjectionFields &) override {}
};

std::string LastLine(const ChatPane &chat) {
    const ChatLog &log = chat.Log();
    return log.LineCount() ? std::string(log.Line(log.LineCount() - 1).Text()) : std::string();
}

TEST(UnansweredRequests, EveryRequestRefusedAtOnceSaysWhy) {
    LoopbackUniverse server;
    UniverseSetup setup;
    setup.worlds = {{"Oldtown", 22, {}}, {"Sunset", 39, {}}}; // below 28 the people look-ups ask the universe
    ASSERT_NO_FATAL_FAILURE(server.Start(setup));
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    SdkTuning tuning;
    tuning.requestTimeout = 2000ms;
    tuning.connectTimeout = 500ms;
    tuning.reconnectFirstDelay = 60s; // stays disconnected for the whole test
    tuning.reconnectMaxDelay = 60s;
    SdkSetTuning(tuning);

    RecordingView view;
    ChatPane chat;
    Settings settings;
    Session session(view, chat, settings);
    session.SetLoginValues(server.BotLogin());
    session.StartBot();
    ASSERT_TRUE(session.Started()) << LastLine(chat);

    server->Stop();
    // Until the SDK notices, a request would still be written to the dead socket.
    for (int i = 0; i < 100 && SdkCitizenByNumber(1) != 439; ++i) {
        session.Pump();
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(SdkCitizenByNumber(1), 439);

    PeopleHarness people;
    people.selectedName = "Alice";
    people.selectedSession = 7;
    LiveAdminSdk admin;
    TextBox box;
    const ChatLineWriter adminLine = [&chat](const std::string &text, std::uint32_t colour, bool bold, bool italic,
                                             bool underline, bool newline) {
        chat.AppendChatLine(text, colour, bold, italic, underline, newline);
    };
    CitizenLookupLogic citizens(admin, box);
    EjectLogic eject(admin, box, adminLine, {"Alice", 7});
    EjectionLogic ejections(admin, box, EjectionDatabase::World);
    ejections.Open();
    const EjectionFields record{kEjectionAddress, "10.0.0.1", "spam", "", ""};

    struct Case {
        const char *request;
        std::function<std::string()> make; // makes the request, gives what the user then reads
        const char *says;
    };
    const Case cases[] = {
        {"a later world entry",
         [&] {
             session.EnterWorldAt("Sunset", 0, 0, 0, 0);
             return LastLine(chat);
         },
         "Immigration Officer: Unable to enter world (reason: no connection)."},
        {"a world picked in the Worlds list",
         [&] {
             session.SetWorldToEnter("Sunset");
             session.EnterWorld();
             return LastLine(chat);
         },
         "Immigration Officer: Unable to enter world (reason: no connection)."},
        {"the world list",
         [&] {
             session.RequestWorldList();
             return LastLine(chat);
         },
         "Unable to query world list (reason: no connection)."},
        {"Get Cit Number",
         [&] {
             people.people.RunCommand(PeopleCommand::GetCitNumber);
             return LastLine(people.chat);
         },
         "Immigration Officer: Unable to lookup Alice (reason: no connection)."},
        {"Get Home Page",
         [&] {
             people.people.RunCommand(PeopleCommand::GetHomePage);
             return LastLine(people.chat);
         },
         "Immigration Officer: Unable to lookup the home page of Alice (reason: no connection)."},
        {"Lookup IP",
         [&] {
             people.people.RunCommand(PeopleCommand::LookupIp);
             return LastLine(people.chat);
         },
         "Gabbler is unable to determine the IP address (reason: no connection)."},
        {"Cit Lookup by number",
         [&] {
             citizens.RetrieveName("1");
             return box.text;
         },
         "Unable to look up the citizen (reason: no connection)."},
        {"Cit Lookup by name",
         [&] {
             citizens.RetrieveNumber("Ownerly");
             return box.text;
         },
         "Unable to look up the citizen (reason: no connection)."},
        {"the Eject dialog's address",
         [&] {
             eject.Open();
             return box.text;
         },
         "Error: no connection."},
        {"an ejection look-up",
         [&] {
             ejections.Lookup(record);
             return box.text;
         },
         "Lookup unsuccessful (reason: no connection)."},
        {"the next ejection",
         [&] {
             ejections.Next(record);
             return box.text;
         },
         "Lookup unsuccessful (reason: no connection)."},
        {"an ejection added",
         [&] {
             ejections.Add(record);
             return box.text;
         },
         "Unable to add ejection (reason: no connection)."},
        {"an ejection deleted",
         [&] {
             ejections.Delete(record);
             return box.text;
         },
         "Unable to delete ejection (reason: no connection)."},
        {"an object built",
         [&] {
             ObjectSpec object;
             object.model = "tree.rwx";
             AddObject(admin, adminLine, object);
             return LastLine(chat);
         },
         "Building Inspector: Unable to add object (reason: no connection)."},
    };
    for (const Case &c : cases) {
        box.text.clear();
        EXPECT_EQ(c.make(), c.says) << c.request;
    }
    // Nothing is left waiting: the answers that never come cannot turn up later either.
    for (int i = 0; i < 5; ++i) {
        session.Pump();
    }
    session.Shutdown();
    SdkTerm();
}

} // namespace
