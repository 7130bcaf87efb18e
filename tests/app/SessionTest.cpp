#include "app/Session.h"

#include "RecordingView.h"
#include "app/Commands.h"
#include "app/Settings.h"
#include "chat/ChatPane.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "support/LoopbackUniverse.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kOwner = 1234;
constexpr const char *kPassword = "letmein";

struct Line {
    std::string text;
    ChatFormat format;
};

class SessionTest : public testing::Test {
protected:
    void SetUp() override {
        view_ = RecordingView{};
        chat_.ClearBuffer();
        settings_ = Settings{};
        UniverseSetup setup;
        setup.citizens = {{kOwner, "Ownerly", kPassword, {}}, {1, "First", "first", {}}};
        setup.worlds = {
            {"Sunset", 39, {}}, {"Oldtown", 16, {}}, {"Middle", 17, {}}, {"Mid22", 22, {}}, {"Mid23", 23, {}}};
        ASSERT_NO_FATAL_FAILURE(server_.Start(setup));
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkTuning tuning;
        tuning.requestTimeout = 3000ms;
        tuning.connectTimeout = 2000ms;
        tuning.reconnectFirstDelay = 50ms;
        tuning.reconnectMaxDelay = 200ms;
        SdkSetTuning(tuning);
        login_ = server_.BotLogin();
        login_.startZ = 40000;
        login_.startX = -50000;
        login_.startYaw = 1800;
        session_ = std::make_unique<Session>(view_, chat_, settings_);
    }

    void TearDown() override {
        session_->Shutdown();
        session_.reset();
        server_.Stop();
    }

    void Start() {
        session_->SetLoginValues(login_);
        session_->StartBot();
    }

    std::vector<Line> Lines() const {
        std::vector<Line> lines;
        for (std::size_t i = 0; i < chat_.Log().LineCount(); ++i) {
            const ChatLine line = chat_.Log().Line(i);
            lines.push_back({std::string(line.Text()), line.RunCount() ? line.Run(0).format : ChatFormat{}});
        }
        return lines;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Line &line : Lines()) {
            texts.push_back(line.text);
        }
        return texts;
    }

    bool HasLine(const std::string &text) const {
        for (const Line &line : Lines()) {
            if (line.text == text) {
                return true;
            }
        }
        return false;
    }

    // Pumps as the window's timer does until the condition holds or the time is up.
    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 5000ms) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            session_->Pump();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    bool PumpUntilLine(const std::string &text) {
        return PumpUntil([&] { return HasLine(text); });
    }

    LoopbackUniverse server_;
    RecordingView view_;
    ChatPane chat_;
    Settings settings_;
    LoginValues login_;
    std::unique_ptr<Session> session_;
};

constexpr const char *kStartLine = "Attempting to start Gabbler Build 35...";

TEST_F(SessionTest, StartStopsAtTheFirstFailingStep) {
    struct Case {
        const char *name;
        std::function<void(LoginValues &, UniverseServer &)> change;
        std::vector<std::string> lastLines;
    };
    const Case cases[] = {
        {"citizen 0",
         [](LoginValues &l, UniverseServer &) { l.citizen = 0; },
         {"Sorry, you must be a registered citizen."}},
        {"empty bot name",
         [](LoginValues &l, UniverseServer &) { l.botName.clear(); },
         {"You must supply a bot name and a privilege password."}},
        {"empty password",
         [](LoginValues &l, UniverseServer &) { l.privilegePassword.clear(); },
         {"You must supply a bot name and a privilege password."}},
        {"reserved name in other case",
         [](LoginValues &l, UniverseServer &) { l.botName = "aDmInIsTrAtOr"; },
         {"Sorry, use of that bot name is prohibited."}},
        {"empty world",
         [](LoginValues &l, UniverseServer &) { l.world.clear(); },
         {"You must input a world to go to."}},
        {"nobody listening",
         [](LoginValues &l, UniverseServer &s) { l.universePort = s.Port() + 1; },
         {"Unable to create bot instance (reason: unable to connect)."}},
        {"wrong password",
         [](LoginValues &l, UniverseServer &) { l.privilegePassword = "nope"; },
         {"You have entered an invalid password.",
          "Please verify that you have entered your privilege password and not your citizen password."}},
        {"unknown citizen",
         [](LoginValues &l, UniverseServer &) { l.citizen = 999; },
         {"Unable to login (reason: no such citizen)."}},
        {"no such world",
         [](LoginValues &l, UniverseServer &) { l.world = "Nowhere"; },
         {"Unable to enter world (reason: no such world).", "Gabbler has logged out of the universe."}},
        {"not welcome",
         [](LoginValues &, UniverseServer &s) { ASSERT_TRUE(s.SetWorld("Sunset", "52", "77")); },
         {"Sorry, your bot doesn't have entrance here.", "Gabbler has logged out of the universe."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.change(login_, *server_);
        Start();
        const auto texts = Texts();
        ASSERT_GE(texts.size(), 3 + c.lastLines.size());
        EXPECT_EQ(texts.front(), kStartLine);
        EXPECT_EQ(std::vector<std::string>(texts.end() - static_cast<long>(c.lastLines.size()), texts.end()),
                  c.lastLines);
        EXPECT_EQ(texts.size(), 3 + c.lastLines.size()) << "nothing follows a stop";
        EXPECT_FALSE(session_->Started());
        EXPECT_FALSE(view_.Command(Command::Teleport));
        EXPECT_FALSE(view_.ControlOn(Control::SayBox));
    }
}

TEST_F(SessionTest, EmptyWorldMessageIsRedBoldItalic) {
    login_.world.clear();
    Start();
    const Line last = Lines().back();
    EXPECT_EQ(last.format, (ChatFormat{ChatColour::Red, true, true, false}));
}

TEST_F(SessionTest, SuccessfulStartEntersAndOpensTheWindow) {
    ASSERT_TRUE(server_->SetWorld("Sunset", "67", "Welcome to Sunset"));
    ASSERT_TRUE(server_->SetWorld("Sunset", "66", "1"));
    Start();
    ASSERT_TRUE(session_->Started()) << testing::PrintToString(Texts());
    EXPECT_EQ(session_->OwnerName(), "Ownerly");
    const auto texts = Texts();
    ASSERT_GE(texts.size(), 7u);
    EXPECT_EQ(texts[0], kStartLine);
    EXPECT_EQ(texts[3].rfind("Bot started at ", 0), 0u) << texts[3];
    EXPECT_EQ(texts[4], "Immigration Officer: Welcome to Sunset");
    EXPECT_EQ(texts[5], "Immigration Officer: This world doesn't have a default homepage set.");
    EXPECT_EQ(texts[6], "Immigration Officer: This world is rated PG.");
    for (const int command : {Command::CitLookup, Command::Teleport, Command::MoveNorth, Command::FaceEast,
                              Command::Remember, Command::WorldFeatures, Command::UniverseOptions}) {
        EXPECT_TRUE(view_.Command(command)) << command;
    }
    EXPECT_FALSE(view_.Command(Command::UniverseEjections)) << "only citizen 1 gets it";
    EXPECT_TRUE(view_.ControlOn(Control::SayBox));
    EXPECT_EQ(view_.whisperLabel, "Select a name from the userlist.");
    EXPECT_EQ(SdkGetInt(kAttrMyZ), 40000);
    EXPECT_EQ(SdkGetInt(kAttrMyX), -50000);
    EXPECT_EQ(view_.mapCentre, std::make_pair(-50000, 40000));
    EXPECT_TRUE(view_.mapShown);

    // The world attributes event of the entry sets the title and the rights box.
    ASSERT_TRUE(PumpUntil([&] { return !view_.title.empty(); }));
    EXPECT_EQ(view_.title, "Gabbler - [Tester] in Sunset world");
    ASSERT_FALSE(view_.rights.empty());
    EXPECT_EQ(view_.rights.front(), "Rights:");
}

TEST_F(SessionTest, FirstCitizenGetsUniverseEjections) {
    login_.citizen = 1;
    login_.privilegePassword = "first";
    Start();
    ASSERT_TRUE(session_->Started());
    EXPECT_TRUE(view_.Command(Command::UniverseEjections));
}

TEST_F(SessionTest, WorldAttributesFollowTheBuildAndRights) {
    struct Case {
        const char *world;
        bool caretaker;
        std::string whisperLabel;
        bool worldEjections;
        bool speechListed;
    };
    const Case cases[] = {
        {"Oldtown", false, "World doesn't support whisper.", false, true},
        {"Middle", false, "Select a name from the userlist.", false, true},
        {"Mid22", true, "Select a name from the userlist.", false, true},
        {"Mid23", true, "Select a name from the userlist.", true, true},
        {"Sunset", true, "Select a name from the userlist.", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.world);
        TearDown();
        SetUp();
        if (c.caretaker) {
            ASSERT_TRUE(server_->SetWorld(c.world, "caretakers", std::to_string(kOwner)));
        }
        login_.world = c.world;
        Start();
        ASSERT_TRUE(session_->Started());
        session_->OnWorldAttributes();
        EXPECT_EQ(view_.whisperLabel, c.whisperLabel);
        EXPECT_EQ(view_.Command(Command::WorldEjections), c.worldEjections);
        const bool caretakerListed =
            std::find(view_.rights.begin(), view_.rights.end(), "Caretaker") != view_.rights.end();
        EXPECT_EQ(caretakerListed, c.caretaker);
        const bool speech = std::find(view_.rights.begin(), view_.rights.end(), "Speech") != view_.rights.end();
        EXPECT_EQ(speech, c.speechListed);
    }
}

TEST_F(SessionTest, WithoutSpeechRightTheSayBoxExplains) {
    ASSERT_TRUE(server_->SetWorld("Middle", "78", "999")); // only citizen 999 may speak
    login_.world = "Middle";
    Start();
    ASSERT_TRUE(session_->Started());
    session_->OnWorldAttributes();
    EXPECT_FALSE(view_.ControlOn(Control::SayBox));
    EXPECT_EQ(view_.say, "You do not have the right to speak in this world.");
    view_.say = "You do not have the right to speak in this world.";
    // Sending does not touch the box: the text stays.
    session_->Send();
    EXPECT_EQ(view_.say, "You do not have the right to speak in this world.");
}

TEST_F(SessionTest, GlobalModeGrantedOnlyToCaretakersOfNewWorlds) {
    struct Case {
        const char *world;
        bool caretaker;
        const char *line;
        bool active;
    };
    const Case cases[] = {
        {"Sunset", true, "Global Operator: Gabbler has successfully entered global mode.", true},
        {"Sunset", false, "Global Operator: Unable to enter global mode.", false},
        {"Mid23", true, "Global Operator: Unable to enter global mode.", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.world) + (c.caretaker ? " caretaker" : " visitor"));
        TearDown();
        SetUp();
        settings_.enterGlobal = true;
        if (c.caretaker) {
            ASSERT_TRUE(server_->SetWorld(c.world, "caretakers", std::to_string(kOwner)));
        }
        login_.world = c.world;
        Start();
        ASSERT_TRUE(session_->Started());
        EXPECT_TRUE(HasLine(c.line)) << testing::PrintToString(Texts());
        EXPECT_EQ(session_->GlobalModeActive(), c.active);
    }
}

TEST_F(SessionTest, LaterEntriesArriveAtTheCentreOrTheGivenPlace) {
    Start();
    ASSERT_TRUE(session_->Started());
    session_->SetWorldToEnter("Middle");
    session_->EnterWorld();
    EXPECT_EQ(view_.title, "Gabbler - [Tester] in nowhere");
    EXPECT_TRUE(HasLine("Immigration Officer: Attempting to enter world."));
    ASSERT_TRUE(PumpUntil([&] { return view_.title == "Gabbler - [Tester] in Middle world"; }));
    EXPECT_EQ(SdkGetInt(kAttrMyX), 0);
    EXPECT_EQ(SdkGetInt(kAttrMyZ), 0);
    EXPECT_EQ(SdkGetInt(kAttrMyYaw), 0);

    session_->EnterWorldAt("Sunset", 1000, -2000, 300, 900);
    EXPECT_TRUE(HasLine("Immigration Officer: Attempting to enter Sunset."));
    ASSERT_TRUE(PumpUntil([&] { return view_.title == "Gabbler - [Tester] in Sunset world"; }));
    EXPECT_EQ(SdkGetInt(kAttrMyZ), 1000);
    EXPECT_EQ(SdkGetInt(kAttrMyX), -2000);
    EXPECT_EQ(SdkGetInt(kAttrMyY), 300);
    EXPECT_EQ(SdkGetInt(kAttrMyYaw), 900);

    session_->EnterWorldAt("Nowhere", 0, 0, 0, 0);
    ASSERT_TRUE(PumpUntilLine("Immigration Officer: Unable to enter world (reason: no such world)."));
    EXPECT_EQ(view_.title, "Gabbler - [Tester] in nowhere");
}

TEST_F(SessionTest, LostConnectionReentersWhenAsked) {
    settings_.reenterWorld = true;
    Start();
    ASSERT_TRUE(session_->Started());
    ASSERT_TRUE(PumpUntil([&] { return !view_.title.empty(); }));
    server_->DropConnections();
    ASSERT_TRUE(
        PumpUntilLine("Immigration Officer: You have been disconnected from this world (reason: connection lost)."));
    EXPECT_TRUE(session_->ReentryPending());
    ASSERT_TRUE(PumpUntilLine("Immigration Officer: Gabbler has successfully reentered the world."));
    EXPECT_FALSE(session_->ReentryPending());
    EXPECT_TRUE(view_.errors.empty());
}

TEST_F(SessionTest, LostConnectionWithoutReentryAsksWhereToGo) {
    Start();
    ASSERT_TRUE(session_->Started());
    view_.teleportAnswers.push_back(TeleportTarget{"Middle", Position{100, 0, 200, 0}});
    server_->Stop();
    ASSERT_TRUE(PumpUntil([&] { return !view_.errors.empty(); }));
    EXPECT_EQ(view_.errors.front(), "You have been disconnected from this world (reason: connection lost).");
    EXPECT_EQ(view_.teleportQuestions, 1);
    EXPECT_TRUE(HasLine("Immigration Officer: Attempting to enter Middle."));
}

TEST_F(SessionTest, SendWhispersThenSays) {
    Start();
    ASSERT_TRUE(session_->Started());
    const int listener = server_->AddPerson("Sunset", PersonSpec{"Alice", 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_GT(listener, 0);
    session_->whisperTarget = {"Alice", listener};
    view_.whisper = "psst";
    view_.say = "hello all";
    session_->Send();
    const auto texts = Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "[Tester] (to Alice): psst");
    EXPECT_EQ(texts.back(), "[Tester]: hello all");
    EXPECT_TRUE(view_.say.empty());
    EXPECT_TRUE(view_.whisper.empty());
    ASSERT_TRUE(PumpUntil([&] {
        for (const InboxEntry &entry : server_->Inbox(listener)) {
            if (entry.kind == InboxEntry::Kind::Whisper && entry.text == "psst") {
                return true;
            }
        }
        return false;
    }));
}

TEST_F(SessionTest, GlobalModeSendsAConsoleMessageWithoutEcho) {
    settings_.enterGlobal = true;
    ASSERT_TRUE(server_->SetWorld("Sunset", "caretakers", std::to_string(kOwner)));
    Start();
    ASSERT_TRUE(session_->GlobalModeActive());
    const std::size_t before = chat_.Log().LineCount();
    view_.say = "to everyone";
    session_->Send();
    EXPECT_TRUE(view_.say.empty());
    EXPECT_EQ(chat_.Log().LineCount(), before);
}

std::string Repeat(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// What SEND could not send stays in its box, with a line that says so; nothing else goes out in its place.
TEST_F(SessionTest, TextThatCannotBeSentStaysInItsBox) {
    const std::string cyrillic127 = Repeat("\u0416", 127); // 254 bytes
    struct Case {
        const char *name;
        bool global = false;
        bool connectionDown = false;
        std::string say;
        std::string whisper;
        std::vector<std::string> lines; // what Send writes
        bool sayKept = true;
        bool whisperKept = true;
    };
    const Case cases[] = {
        {"global text too long behind the name",
         true,
         false,
         std::string(250, 'x'),
         "",
         {"Not sent to the world (reason: string too long); the text stays in the say box."}},
        {"global Cyrillic too long behind the name",
         true,
         false,
         cyrillic127,
         "",
         {"Not sent to the world (reason: string too long); the text stays in the say box."}},
        {"say of 128 Cyrillic letters (256 bytes)",
         false,
         false,
         cyrillic127 + "\u0416",
         "",
         {"Not said (reason: string too long); the text stays in the say box."}},
        {"whisper of 64 emoji (256 bytes)",
         false,
         false,
         "",
         Repeat("\U0001F600", 64),
         {"Not whispered (reason: string too long); the text stays in the whisper box."}},
        {"say of 127 Cyrillic letters goes whole", false, false, cyrillic127, "", {"[Tester]: " + cyrillic127}, false},
        {"say while reconnecting",
         false,
         true,
         "anyone?",
         "",
         {"Not said (reason: no connection); the text stays in the say box."}},
        {"whisper and say while reconnecting",
         false,
         true,
         "anyone?",
         "psst",
         {"Not whispered (reason: no connection); the text stays in the whisper box.",
          "Not said (reason: no connection); the text stays in the say box."}},
        {"global while reconnecting",
         true,
         true,
         "anyone?",
         "",
         {"Not sent to the world (reason: no connection); the text stays in the say box."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        settings_.enterGlobal = c.global;
        settings_.reenterWorld = true;
        ASSERT_TRUE(server_->SetWorld("Sunset", "caretakers", std::to_string(kOwner)));
        Start();
        ASSERT_TRUE(session_->Started());
        ASSERT_EQ(session_->GlobalModeActive(), c.global);
        const int listener = server_->AddPerson("Sunset", PersonSpec{"Alice", 0, 0, 0, 0, 0, 0, 0, 0, 0});
        ASSERT_GT(listener, 0);
        session_->whisperTarget = {"Alice", listener};
        const auto consoleTexts = [&] {
            std::vector<std::string> texts;
            for (const InboxEntry &entry : server_->Inbox(listener)) {
                if (entry.kind == InboxEntry::Kind::Console) {
                    texts.push_back(entry.text);
                }
            }
            return texts;
        };
        if (c.global) {
            view_.say = "first";
            session_->Send();
            ASSERT_TRUE(PumpUntil([&] { return consoleTexts().size() == 1; }));
        }
        if (c.connectionDown) {
            server_->Stop();
            ASSERT_TRUE(PumpUntilLine(
                "Immigration Officer: You have been disconnected from this world (reason: connection lost)."));
        }
        const std::size_t before = chat_.Log().LineCount();
        view_.say = c.say;
        view_.whisper = c.whisper;
        session_->Send();
        const auto texts = Texts();
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(before), texts.end()), c.lines);
        EXPECT_EQ(view_.say, c.sayKept ? c.say : "");
        EXPECT_EQ(view_.whisper, c.whisperKept ? c.whisper : "");
        if (c.global && !c.connectionDown) {
            std::this_thread::sleep_for(200ms);
            session_->Pump();
            EXPECT_EQ(consoleTexts(), (std::vector<std::string>{"[Tester]:\tfirst"})) << "nothing sent in its place";
        }
    }
}

TEST_F(SessionTest, GlobalModeLeavesRoomForTheNameAndSendsWhatFits) {
    settings_.enterGlobal = true;
    ASSERT_TRUE(server_->SetWorld("Sunset", "caretakers", std::to_string(kOwner)));
    Start();
    ASSERT_TRUE(session_->GlobalModeActive());
    const int listener = server_->AddPerson("Sunset", PersonSpec{"Alice", 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_GT(listener, 0);
    const std::size_t room = 255 - std::string("[Tester]:\t").size();
    EXPECT_EQ(session_->SayByteLimit(), room);
    EXPECT_EQ(view_.sayByteLimit, room);
    const std::string fits = Repeat("\u4E2D", static_cast<int>(room / 3)) + std::string(room % 3, '.'); // CJK
    ASSERT_EQ(fits.size(), room);
    view_.say = fits;
    session_->Send();
    EXPECT_TRUE(view_.say.empty());
    ASSERT_TRUE(PumpUntil([&] {
        const auto inbox = server_->Inbox(listener);
        return !inbox.empty() && inbox.back().text == "[Tester]:\t" + fits;
    }));

    // Out of global mode the whole attribute is the user's again.
    session_->SetWorldToEnter("Middle");
    session_->EnterWorld();
    ASSERT_TRUE(PumpUntil([&] { return !session_->GlobalModeActive() && view_.sayByteLimit == 255; }));
}

TEST_F(SessionTest, EminentDomainListsGrantTheirCitizens) {
    struct Case {
        const char *list;
        bool granted;
    };
    const Case cases[] = {{"12, 345, *", true}, {"12,1234", true}, {"12 ,  345", false}, {"", false},
                          {" 1234 ", true},     {"12341", false},  {"1234abc", true}};
    ASSERT_TRUE(server_->SetWorld("Sunset", "50", std::to_string(kOwner))); // build right
    Start();
    ASSERT_TRUE(session_->Started());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.list);
        SdkSetString(kAttrWorldEminentDomainRight, c.list);
        EXPECT_EQ(session_->EminentDomain(), c.granted);
    }
}

TEST_F(SessionTest, WorldInformationKeepsOneRecordPerName) {
    WorldRecords worlds;
    worlds.Report("Alpha", 1, 3);
    worlds.Report("ALPHA", 2, 5);
    worlds.Report("Beta", 3, 0);  // gone before known: nothing
    worlds.Report("Gamma", 9, 1); // unknown status: ignored
    ASSERT_EQ(worlds.Size(), 1u);
    EXPECT_EQ(worlds.Find("alpha")->users, 5);
    EXPECT_EQ(worlds.Find("alpha")->status, 2);
    EXPECT_EQ(worlds.Find("alpha")->name, "Alpha");
    worlds.Report("alpha", 3, 0);
    EXPECT_EQ(worlds.Size(), 0u);
    EXPECT_EQ(worlds.Find("Alpha"), nullptr);
}

} // namespace

TEST(SessionDemo, FounderIsCaretakerOfTheDemoTown) {
    ServerOptions options;
    options.port = 0;
    options.demo = true;
    options.demoPeople = false;
    UniverseServer server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    RecordingView view;
    ChatPane chat;
    Settings settings;
    Session session(view, chat, settings);
    LoginValues login;
    login.citizen = 1;
    login.privilegePassword = "founder";
    login.botName = "Gabbler";
    login.world = "Town";
    login.universeHost = "127.0.0.1";
    login.universePort = server.Port();
    session.SetLoginValues(login);
    session.StartBot();
    ASSERT_TRUE(session.Started());
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (view.title.empty() && std::chrono::steady_clock::now() < end) {
        session.Pump();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(view.title, "Gabbler - [Gabbler] in Town world");
    EXPECT_NE(std::find(view.rights.begin(), view.rights.end(), "Caretaker"), view.rights.end())
        << testing::PrintToString(view.rights);
    EXPECT_TRUE(view.ControlOn(Control::SayBox));
    session.Shutdown();
    server.Stop();
}
