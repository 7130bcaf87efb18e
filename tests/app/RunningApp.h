#pragma once

// The whole program in a test: a Gabbler window whose bot "Tester" (citizen 1234 "Ownerly", password "secret") is in
// the world Sunset (build 39) of a universe running in the test process on a loopback port.

#include "TempDir.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "app/ui/DBusNotifier.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/MainWindow.h"
#include "sdk/Sdk.h"
#include "support/LoopbackUniverse.h"
#include "support/SuiteApplication.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Stands in for the desktop's notification service: the notices shown, in order.
class RecordingNotices : public NoticeService {
public:
    void Show(const Notice &notice) override { shown.push_back(notice); }
    std::vector<Notice> shown;
};

class RunningApp : public SuiteApplication<QApplication> {
protected:
    // The universe only; a test or a derived fixture adds what it needs, then calls Start.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(server_.Start());
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
    }

    // Builds the program on the test's data folder and logs the bot in, as a start with login options does.
    void Start(Settings settings = {}) {
        auto notices = std::make_unique<RecordingNotices>();
        notices_ = notices.get();
        gabbler_ = std::make_unique<GabblerApp>(home_.Path(), std::move(settings), std::move(notices));
        gabbler_->Run(server_.BotLogin());
        ASSERT_TRUE(gabbler_->GetSession().Started());
    }

    void TearDown() override {
        gabbler_.reset();
        SdkTerm();
        server_.Stop();
    }

    // Types text into the say box once the bot may speak and presses SEND.
    void Say(const QString &text) {
        MainWindow &window = gabbler_->Window();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.SayBox()->isEnabled(); }, 5000));
        window.SayBox()->setText(text);
        QTest::mouseClick(window.SendButton(), Qt::LeftButton);
    }

    TempDir home_;
    LoopbackUniverse server_;
    std::unique_ptr<GabblerApp> gabbler_;
    RecordingNotices *notices_ = nullptr; // owned by gabbler_
};
