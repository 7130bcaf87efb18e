// A window attached to a headless bot: the real `gabbler --headless` runs in a process of its own on the universe
// of the test process, and the window here (offscreen) attaches to it with the password and acts through the
// bot's session.

#include "BareWindow.h"
#include "TempDir.h"
#include "app/AttachStart.h"
#include "app/Commands.h"
#include "app/HeadlessProcess.h"
#include "app/Session.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/MainWindow.h"
#include "automation/ui/RulesWindow.h"
#include "chat/ChatPane.h"
#include "chat/People.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "support/LoopbackUniverse.h"
#include "support/SuiteApplication.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace {

std::string ReadFile(const std::string &path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class AttachWindow : public SuiteApplication<QApplication> {
protected:
    void SetUp() override {
        UniverseSetup setup;
        setup.worlds = {{"Sunset", 39, "1234"}, {"Harbour", 39, {}}};
        ASSERT_NO_FATAL_FAILURE(server_.Start(setup));
        PersonSpec alice;
        alice.name = "Alice";
        alice.citizen = 77;
        alice_ = server_->AddPerson("Sunset", alice);
        ASSERT_GT(alice_, 0);
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        StartBot();
        botSession_ = BotSession();
        ASSERT_GT(botSession_, 0);
    }

    // The headless bot "Tester" in Sunset, at 2n, windows attaching as the options say (on a free loopback port).
    void StartBot(const std::vector<std::string> &attach = {"--attach-listen", "127.0.0.1:0"}) {
        std::vector<std::string> options = LoopbackUniverse::Arguments(server_.BotLogin());
        options.insert(options.begin(), {"--home", botHome_.Path()});
        options.insert(options.end(), {"--at", "2n 0w"});
        options.insert(options.end(), attach.begin(), attach.end());
        bot_ = std::make_unique<HeadlessProcess>();
        ASSERT_TRUE(bot_->Start(options));
        const std::string said = "windows may attach on 127.0.0.1:";
        ASSERT_TRUE(bot_->WaitForErrorLine(said)) << bot_->Err();
        ASSERT_TRUE(bot_->WaitForLine("Bot started at")) << bot_->Out() << bot_->Err();
        const std::string &err = bot_->Err();
        port_ = std::stoi(err.substr(err.find(said) + said.size()));
    }

    void StopBot() {
        bot_->Signal(SIGTERM);
        EXPECT_EQ(bot_->WaitExit(), 0);
        bot_.reset();
    }

    void TearDown() override {
        Detach();
        if (bot_) {
            StopBot();
        }
        server_.Stop();
    }

    int BotSession() {
        for (const PersonInfo &p : server_->PeopleIn("Sunset"))
            if (p.name == "[Tester]")
                return p.session;
        return 0;
    }

    // Starts the window as `gabbler --attach` does, asking for the lines since `since` (0 none).
    void Attach(std::int64_t since = 0, bool tls = false) {
        const AttachStart start = AskAttachedBot("127.0.0.1", port_, "secret", tls, home_.Path());
        ASSERT_TRUE(start.ok) << start.error;
        SdkTuning tuning = SdkGetTuning();
        tuning.backlogSince = static_cast<std::int32_t>(since);
        SdkSetTuning(tuning);
        gabbler_ = std::make_unique<GabblerApp>(home_.Path(), Settings{});
        gabbler_->SetAttachedTo("127.0.0.1:" + std::to_string(port_));
        gabbler_->Run(start.login);
        ASSERT_TRUE(gabbler_->GetSession().Started());
    }

    void Detach() {
        gabbler_.reset();
        SdkTerm();
        SdkInit(kSdkBuild);
        SdkSetTuning(SdkTuning{});
    }

    bool PaneHas(const std::string &text) const {
        const ChatLog &log = gabbler_->Chat().Log();
        for (std::size_t i = 0; i < log.LineCount(); ++i)
            if (log.Line(i).Text().find(text) != std::string::npos)
                return true;
        return false;
    }

    void Say(const QString &text) {
        MainWindow &window = gabbler_->Window();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.SayBox()->isEnabled(); }, 5000));
        window.SayBox()->setText(text);
        QTest::mouseClick(window.SendButton(), Qt::LeftButton);
    }

    TempDir home_;
    TempDir botHome_;
    LoopbackUniverse server_;
    std::unique_ptr<HeadlessProcess> bot_;
    int port_ = 0;
    std::unique_ptr<GabblerApp> gabbler_;
    int alice_ = 0;
    int botSession_ = 0;
};

TEST_F(AttachWindow, TheWindowBecomesTheBotAndShowsItsPeopleAndBacklog) {
    const std::int64_t before = std::time(nullptr) - 1;
    ASSERT_TRUE(server_->Say(alice_, "while nobody watched"));
    QTest::qWait(300); // the bot hears it before the window comes
    Attach(before);
    EXPECT_EQ(gabbler_->GetSession().Login().botName, "Tester");
    EXPECT_EQ(SdkSession(), botSession_) << "the window's session is the bot's";
    ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->GetPeople().Roster().Find(alice_) != nullptr; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return PaneHas("Alice: while nobody watched"); }, 5000));
    // Live chat reaches the window as it reaches the bot.
    ASSERT_TRUE(server_->Say(alice_, "now you see me"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return PaneHas("Alice: now you see me"); }, 5000));
}

// The bot acts by its own rules and scripts; a window attached to it runs none of its own, or every automatic
// action would happen twice, and its Rules window says where the rules that act are.
TEST_F(AttachWindow, OnlyTheBotRunsItsRulesAndScriptsNotTheAttachedWindow) {
    StopBot();
    std::ofstream(botHome_.File("rules.txt"))
        << "[Echo]\nwhen = chat\nwords = ping\nthen = whisper pong from the bot\n";
    StartBot();
    botSession_ = BotSession();
    const std::string windowRules = "[Echo]\nwhen = chat\nwords = ping\nthen = whisper pong from the window\n";
    std::ofstream(home_.File("rules.txt")) << windowRules;
    std::filesystem::create_directories(home_.File("scripts"));
    std::ofstream(home_.File("scripts/echo.lua"))
        << "function on_chat(e) bot.whisper(e.session, 'pong from the window script') end\n";
    Attach();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->GetPeople().Roster().Find(alice_) != nullptr; }, 5000));
    QTest::qWait(1200); // a tick of the window's automation, which looks at its scripts
    ASSERT_TRUE(server_->Say(alice_, "ping"));
    const auto whispered = [&](const std::string &text) {
        for (const InboxEntry &e : server_->Inbox(alice_))
            if (e.kind == InboxEntry::Kind::Whisper && e.text == text)
                return true;
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return whispered("pong from the bot"); }, 5000));
    EXPECT_FALSE(QTest::qWaitFor(
        [&] { return whispered("pong from the window") || whispered("pong from the window script"); }, 2500));
    EXPECT_FALSE(PaneHas("Script echo.lua loaded."));

    RulesWindow *rules = gabbler_->OpenRules();
    ASSERT_NE(rules, nullptr);
    EXPECT_TRUE(rules->Banner()->text().contains(QStringLiteral("rules.txt and scripts/ of its data folder")))
        << rules->Banner()->text().toStdString();
    EXPECT_EQ(rules->List()->count(), 0) << "not the window's own rules";
    for (const char *button : {"add", "edit", "delete", "up", "down", "save"})
        EXPECT_FALSE(rules->Button(button)->isEnabled()) << button;
    EXPECT_FALSE(rules->Save(true));
    EXPECT_EQ(ReadFile(home_.File("rules.txt")), windowRules);
}

// A window that remembers no avatar for the world must not undress the bot, and its clock must show the universe's
// time now, not the time the bot heard at its login.
TEST_F(AttachWindow, AttachingKeepsTheBotsAvatarAndTheUniversesTime) {
    StopBot();
    std::ofstream(botHome_.Path() + "/avatars.txt") << "Sunset:5\n";
    StartBot();
    botSession_ = BotSession();
    PersonInfo info;
    ASSERT_TRUE(QTest::qWaitFor([&] { return server_->Person(botSession_, info) && info.type == 5; }, 5000));
    QTest::qWait(2500); // the bot's login is seconds old when the window comes
    Attach();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->GetSession().UniverseTimeKnown(); }, 5000));
    EXPECT_LE(std::llabs(gabbler_->GetSession().UniverseTimeOffset()), 1) << "the window's clock is off";
    QTest::qWait(500); // the window's entry has changed its state through the bot
    ASSERT_TRUE(server_->Person(botSession_, info));
    EXPECT_EQ(info.type, 5) << "the bot's avatar";
}

TEST_F(AttachWindow, WhatTheWindowSaysAndDoesTheBotDoes) {
    Attach();
    Say(QStringLiteral("hello from the window"));
    PersonInfo bot;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server_->Person(botSession_, bot) && bot.lastSaid == "hello from the window"; }, 5000));
    EXPECT_TRUE(bot_->WaitForLine("[Tester]: hello from the window")) << "the bot's pane has the line as its own";

    // A whisper reaches the person through the bot.
    ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->GetPeople().Roster().Find(alice_) != nullptr; }, 5000));
    gabbler_->GetPeople().ChooseWhisperTarget("Alice", alice_);
    gabbler_->Window().WhisperBox()->setText(QStringLiteral("psst"));
    QTest::mouseClick(gabbler_->Window().SendButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const InboxEntry &e : server_->Inbox(alice_))
                if (e.kind == InboxEntry::Kind::Whisper && e.text == "psst" && e.fromSession == botSession_)
                    return true;
            return false;
        },
        5000));

    // A step north moves the bot itself, five metres from where it stood; the window started where the bot was.
    ASSERT_TRUE(server_->Person(botSession_, bot));
    const int before = bot.z;
    EXPECT_EQ(before, SdkGetInt(kAttrMyZ));
    EXPECT_NE(before, 0) << "the bot stands 2n";
    gabbler_->Window().CommandAction(Command::MoveNorth)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server_->Person(botSession_, bot) && bot.z == before + 500; }, 5000))
        << bot.z;
}

TEST_F(AttachWindow, AnAdministrationDialogWorksThroughTheBot) {
    Attach();
    QAction *features = gabbler_->Window().CommandAction(Command::WorldFeatures);
    ASSERT_TRUE(QTest::qWaitFor([&] { return features->isEnabled(); }, 5000));
    bool changed = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // The title field is the one showing the world's title; the caretaker changes it.
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
            if (edit->isEnabled() && edit->text().isEmpty() && !changed) {
                edit->setText(QStringLiteral("Set from a window"));
                changed = true;
            }
        }
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        if (dialog->isVisible())
            dialog->reject();
    });
    features->trigger();
    ASSERT_TRUE(changed);
    // The universe changed the world and told the bot, which told the window.
    bool seen = false;
    for (const int n : {kAttrWorldTitle, kAttrWorldBackdrop, kAttrWorldGround, kAttrWorldObjectPath,
                        kAttrWorldWelcomeMessage, kAttrWorldHomePage})
        seen = seen || QTest::qWaitFor([&] { return SdkGetString(n) == "Set from a window"; }, 500);
    EXPECT_TRUE(seen);
}

TEST_F(AttachWindow, ASecondWindowSeesWhatTheFirstSaysAndDetachingLeavesTheBot) {
    Attach();
    BareWindow second(port_);
    ASSERT_EQ(second.Attach("secret", "Sunset"), std::make_pair(0, 0));
    Say(QStringLiteral("for both windows"));
    const std::string line = second.Event(kEventPaneLine);
    EXPECT_EQ(BareWindow::Text(line, kAttrPaneLineText), "[Tester]: for both windows");

    Detach();
    // The bot stays in its world and keeps serving the other window.
    QTest::qWait(300);
    EXPECT_EQ(BotSession(), botSession_);
    ASSERT_TRUE(server_->Say(alice_, "still here?"));
    const std::string heard = second.Event(kEventChat);
    EXPECT_EQ(BareWindow::Text(heard, kAttrChatMessage), "still here?");
}

TEST_F(AttachWindow, AWindowThatAsksForAnotherWorldTakesTheBotThere) {
    BareWindow staying(port_);
    ASSERT_EQ(staying.Attach("secret", "Sunset"), std::make_pair(0, 0));
    BareWindow window(port_);
    ASSERT_EQ(window.Attach("secret", "Harbour"), std::make_pair(0, 0));
    PersonInfo bot;
    ASSERT_TRUE(server_->Person(botSession_, bot));
    EXPECT_EQ(bot.world, "Harbour");
    // The other window sees the people of the world the bot left go, then the new world's attributes.
    const std::string gone = staying.Event(kEventAvatarDelete);
    ASSERT_FALSE(gone.empty());
    std::int32_t session = 0;
    FrameReader(reinterpret_cast<const std::uint8_t *>(gone.data()), gone.size()).FindInt(kAttrAvatarSession, session);
    EXPECT_EQ(session, alice_);
    EXPECT_EQ(BareWindow::Text(staying.Event(kEventWorldAttributes), kAttrWorldName), "Harbour");
}

TEST_F(AttachWindow, AWrongPasswordIsRefused) {
    const AttachStart start = AskAttachedBot("127.0.0.1", port_, "guess");
    EXPECT_FALSE(start.ok);
    EXPECT_NE(start.error.find("refused the password"), std::string::npos) << start.error;
    BareWindow bare(port_);
    EXPECT_EQ(bare.Attach("", "Sunset").first, 43) << "an empty password opens nothing";
    // Without a login the window gets nothing relayed.
    bare.Send(MessageType::Say, 9, 0, [](FrameWriter &w) { w.String(kFieldText, "sneaky"); });
    EXPECT_EQ(BareWindow::Code(bare.Reply(9)), 31);
}

} // namespace

namespace {

TEST_F(AttachWindow, TheBotListensBeyondThisMachineOnlyEncrypted) {
    for (const char *address : {"0.0.0.0:0", "192.0.2.1:5871", "[::]:0"}) {
        HeadlessProcess other;
        ASSERT_TRUE(other.Start({"--home", botHome_.Path() + "/other", "--citizen", "1234", "--password", "secret",
                                 "--bot", "Other", "--world", "Sunset", "--universe",
                                 "127.0.0.1:" + std::to_string(server_->Port()), "--attach-listen", address}));
        EXPECT_EQ(other.WaitExit(), 2) << address;
        EXPECT_NE(other.Err().find("Refusing to listen for windows on"), std::string::npos) << other.Err();
    }
}

} // namespace

namespace {

std::string Fingerprint(const std::string &err) {
    const std::string said = "certificate fingerprint is ";
    const auto at = err.find(said);
    return at == std::string::npos ? std::string() : err.substr(at + said.size(), 95);
}

TEST_F(AttachWindow, OverTlsTheWindowRemembersTheBotsCertificateAndRefusesAnother) {
    StopBot();
    StartBot({"--attach-listen", "127.0.0.1:0", "--attach-tls"});
    botSession_ = BotSession();
    const std::string fingerprint = Fingerprint(bot_->Err());
    ASSERT_EQ(fingerprint.size(), 95u) << bot_->Err();

    // Plain TCP gets no handshake from a bot that speaks TLS.
    BareWindow plain(port_);
    EXPECT_EQ(plain.Attach("secret", "Sunset").first, -1);

    // The first attach remembers the certificate; the window then works as over TCP.
    Attach(0, true);
    const std::string known = ReadFile(home_.File("bot-fingerprints.txt"));
    EXPECT_NE(known.find("127.0.0.1:" + std::to_string(port_) + " " + fingerprint), std::string::npos) << known;
    Say(QStringLiteral("said over TLS"));
    PersonInfo bot;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server_->Person(botSession_, bot) && bot.lastSaid == "said over TLS"; }, 5000));
    Detach();

    // A window that remembers another certificate for this address refuses the bot, and says why.
    TempDir other;
    std::string wrong = fingerprint;
    wrong[0] = wrong[0] == 'A' ? 'B' : 'A';
    std::ofstream(other.File("bot-fingerprints.txt")) << "127.0.0.1:" << port_ << " " << wrong << "\n";
    const AttachStart refused = AskAttachedBot("127.0.0.1", port_, "secret", true, other.Path());
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find(fingerprint), std::string::npos) << refused.error;
    EXPECT_EQ(BotSession(), botSession_) << "the bot carries on";
}

TEST_F(AttachWindow, WithTlsTheBotMayListenBeyondThisMachine) {
    HeadlessProcess other;
    ASSERT_TRUE(other.Start({"--home", botHome_.Path() + "/other", "--citizen", "1234", "--password", "secret", "--bot",
                             "Other", "--world", "Sunset", "--universe", "127.0.0.1:" + std::to_string(server_->Port()),
                             "--attach-listen", "0.0.0.0:0", "--attach-tls"}));
    EXPECT_TRUE(other.WaitForErrorLine("windows may attach on 0.0.0.0:")) << other.Err();
    other.Signal(SIGTERM);
    EXPECT_EQ(other.WaitExit(), 0);
}

} // namespace

namespace {

// Runs act on the modal window called title once it shows (at most five seconds), from the event loop. Message
// boxes on the way are answered when dismissBoxes (the login dialog says that this test program is not called
// gabbler).
void WhenModal(const QString &title, std::function<void(QWidget *)> act, bool dismissBoxes = false, int tries = 100) {
    QTimer::singleShot(50, [title, act = std::move(act), dismissBoxes, tries]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->windowTitle() == title) {
            act(modal);
            return;
        }
        if (dismissBoxes && qobject_cast<QMessageBox *>(modal))
            static_cast<QDialog *>(modal)->accept();
        if (tries > 0)
            WhenModal(title, std::move(act), dismissBoxes, tries - 1);
    });
}

void AttachThroughTheDialog(int port, const QString &password) {
    WhenModal(
        QStringLiteral("Gabbler Login"),
        [port, password](QWidget *login) {
            WhenModal(QStringLiteral("Attach to a Running Bot"), [port, password](QWidget *attach) {
                attach->findChild<QLineEdit *>(QStringLiteral("attachAddressEdit"))
                    ->setText(QStringLiteral("127.0.0.1:%1").arg(port));
                attach->findChild<QLineEdit *>(QStringLiteral("attachPasswordEdit"))->setText(password);
                attach->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            });
            login->findChild<QPushButton *>(QStringLiteral("attachButton"))->click();
        },
        true);
}

// Waits for the message box that says `text` (answering the others), answers it and attaches again with the right
// password.
void OnRefusal(const QString &text, QString &said, int port) {
    WhenModal(QStringLiteral("Gabbler"), [&said, text, port](QWidget *box) {
        const QString shown = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        static_cast<QDialog *>(box)->accept();
        if (shown.contains(text)) {
            said = shown;
            AttachThroughTheDialog(port, QStringLiteral("secret"));
        } else {
            OnRefusal(text, said, port);
        }
    });
}

TEST_F(AttachWindow, TheLoginDialogAttachesToARunningBot) {
    gabbler_ = std::make_unique<GabblerApp>(home_.Path(), Settings{});
    // A wrong password is said in a message box, and the login dialog comes back for another try.
    AttachThroughTheDialog(port_, QStringLiteral("guess"));
    QString refusal;
    OnRefusal(QStringLiteral("refused the password"), refusal, port_);
    ASSERT_TRUE(gabbler_->Run(std::nullopt));
    EXPECT_NE(refusal.indexOf(QStringLiteral("refused the password")), -1) << refusal.toStdString();
    ASSERT_TRUE(gabbler_->GetSession().Started());
    EXPECT_EQ(gabbler_->GetSession().Login().botName, "Tester");
    EXPECT_FALSE(gabbler_->GetBot().AutomationOn()) << "the bot runs the rules, not the window";
    EXPECT_TRUE(QTest::qWaitFor([&] { return gabbler_->GetPeople().Roster().Find(alice_) != nullptr; }, 5000));
}

} // namespace
