#pragma once

// The widget-free bot "Tester" (citizen 1234 "Ownerly", password "secret") in the world Sunset (build 39) of a
// universe running in the test process on a loopback port, with recorders for its screens and helpers to wait
// for what the bot hears.

#include "TempDir.h"
#include "app/Bot.h"
#include "app/RecordingView.h"
#include "app/Session.h"
#include "automation/Automation.h"
#include "chat/ChatPane.h"
#include "chat/PeopleHarness.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

class RunningBot : public testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QCoreApplication(argc_, argv_); }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

    void SetUp() override {
        ServerOptions options;
        options.port = 0;
        options.passwordIterations = 1;
        server_ = std::make_unique<UniverseServer>(options);
        ASSERT_TRUE(server_->Start()) << server_->LastError();
        ASSERT_TRUE(server_->AddCitizen(1234, "Ownerly", "secret"));
        ASSERT_TRUE(server_->AddWorld("Sunset", 39));
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
    }

    // Builds the bot on the test's data folder and logs it in; what the test plugs into the automation first
    // (rules, listeners) hears the entry.
    void Start(const std::function<void(Bot &)> &beforeLogin = {}) {
        bot_ = std::make_unique<Bot>(home_.Path(), Settings{});
        bot_->Plug(view_, people_);
        if (beforeLogin) {
            beforeLogin(*bot_);
        }
        LoginValues login;
        login.citizen = 1234;
        login.privilegePassword = "secret";
        login.botName = "Tester";
        login.world = "Sunset";
        login.universeHost = "127.0.0.1";
        login.universePort = server_->Port();
        bot_->Start(login);
        ASSERT_TRUE(bot_->GetSession().Started()) << Pane();
    }

    void TearDown() override {
        bot_.reset();
        SdkTerm();
        server_->Stop();
    }

    // Pumps as the bot's timer does until the condition holds or the time is up.
    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            bot_->GetSession().Pump();
            QCoreApplication::processEvents();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Pumps for a while whatever happens: for what must not happen.
    void PumpFor(std::chrono::milliseconds time) {
        PumpUntil([] { return false; }, time);
    }

    bool HasLine(const std::string &text) const {
        const ChatLog &log = bot_->Chat().Log();
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            if (log.Line(i).Text() == text) {
                return true;
            }
        }
        return false;
    }

    std::string Pane() const {
        std::string all;
        if (bot_) {
            const ChatLog &log = bot_->Chat().Log();
            for (std::size_t i = 0; i < log.LineCount(); ++i) {
                all += std::string(log.Line(i).Text()) + "\n";
            }
        }
        return all;
    }

    int Arrive(const std::string &name, int citizen = 0) {
        PersonSpec person;
        person.name = name;
        person.citizen = citizen;
        person.privilege = citizen;
        return server_->AddPerson("Sunset", person);
    }

    int BotSession() const { return SdkSession(); }

    inline static int argc_ = 1;
    inline static char name_[] = "gabbler-test";
    inline static char *argv_[] = {name_, nullptr};
    inline static QCoreApplication *app_ = nullptr;
    TempDir home_;
    std::unique_ptr<UniverseServer> server_;
    RecordingView view_;
    PeopleRecorder people_;
    std::unique_ptr<Bot> bot_;
};
