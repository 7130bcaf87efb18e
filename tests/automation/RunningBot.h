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
#include "support/LoopbackUniverse.h"
#include "support/SuiteApplication.h"

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

class RunningBot : public SuiteApplication<QCoreApplication> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(server_.Start());
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
        bot_->Start(server_.BotLogin());
        ASSERT_TRUE(bot_->GetSession().Started()) << Pane();
    }

    void TearDown() override {
        bot_.reset();
        SdkTerm();
        server_.Stop();
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

    int Arrive(const std::string &name, int citizen = 0) { return server_.Arrive(name, citizen); }

    int BotSession() const { return SdkSession(); }

    TempDir home_;
    LoopbackUniverse server_;
    RecordingView view_;
    PeopleRecorder people_;
    std::unique_ptr<Bot> bot_;
};
