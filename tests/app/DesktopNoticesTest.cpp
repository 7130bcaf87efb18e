// The running program's desktop notices and tray icon: a whisper, a line naming the bot and a lost connection while
// the main window is elsewhere, with a stand-in for the desktop's notification service; a click on a notice; the
// tray's count of unread whispers; the close box where no tray can take the window.

#include "RunningApp.h"
#include "app/ui/DesktopNotices.h"

#include <QSystemTrayIcon>
#include <QWidget>

namespace {

class DesktopNoticesApp : public RunningApp {
protected:
    void SetUp() override {
        RunningApp::SetUp();
        PersonSpec alice;
        alice.name = "Alice";
        alice.citizen = 1234;
        alice_ = server_->AddPerson("Sunset", alice);
        ASSERT_GT(alice_, 0);
    }

    // Another window takes the focus, as another program's would.
    void LookElsewhere() {
        other_.show();
        other_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other_));
        ASSERT_FALSE(gabbler_->Window().isActiveWindow());
    }

    void LookAtTheWindow() {
        gabbler_->Window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&gabbler_->Window()));
    }

    bool WaitForNotices(std::size_t count) {
        return QTest::qWaitFor([&] { return notices_->shown.size() >= count; }, 5000);
    }

    int alice_ = 0;
    QWidget other_;
};

TEST_F(DesktopNoticesApp, WhispersAndLinesNamingTheBotAreNoticedWhileTheWindowIsElsewhere) {
    Start();
    LookElsewhere();
    ASSERT_TRUE(server_->Whisper(alice_, SdkSession(), "psst"));
    ASSERT_TRUE(server_->Say(alice_, "is Tester around?"));
    ASSERT_TRUE(server_->Say(alice_, "nice weather"));
    ASSERT_TRUE(WaitForNotices(2));
    QTest::qWait(300); // the line without the name would have arrived by now
    const std::vector<Notice> expected = {{"Whisper from Alice", "psst"}, {"Alice", "is Tester around?"}};
    EXPECT_EQ(notices_->shown, expected);
    EXPECT_EQ(gabbler_->Notices().UnreadWhispers(), 1);
    EXPECT_EQ(gabbler_->Notices().Tray().toolTip(), "Gabbler: 1 unread whisper");

    LookAtTheWindow();
    EXPECT_EQ(gabbler_->Notices().UnreadWhispers(), 0);
    EXPECT_EQ(gabbler_->Notices().Tray().toolTip(), "Gabbler");
    ASSERT_TRUE(server_->Whisper(alice_, SdkSession(), "seen at once"));
    QTest::qWait(500);
    EXPECT_EQ(notices_->shown.size(), 2u) << "nothing while the window is the active one";
}

TEST_F(DesktopNoticesApp, EachNoticeHasItsOwnSetting) {
    Settings settings;
    settings.notifyWhispers = false;
    settings.notifyName = false;
    Start(settings);
    LookElsewhere();
    ASSERT_TRUE(server_->Whisper(alice_, SdkSession(), "psst"));
    ASSERT_TRUE(server_->Say(alice_, "is Tester around?"));
    QTest::qWait(500);
    EXPECT_TRUE(notices_->shown.empty());
    EXPECT_EQ(gabbler_->Notices().UnreadWhispers(), 1) << "the tray counts it all the same";
}

TEST_F(DesktopNoticesApp, ALostConnectionIsNoticed) {
    Settings settings;
    settings.reenterWorld = true; // no message box to wait for a click
    Start(settings);
    LookElsewhere();
    server_->DropConnections();
    ASSERT_TRUE(WaitForNotices(1));
    EXPECT_EQ(notices_->shown[0].title, "Gabbler");
    EXPECT_EQ(notices_->shown[0].body.rfind("You have been disconnected from this world (reason: ", 0), 0u)
        << notices_->shown[0].body;
}

TEST_F(DesktopNoticesApp, AClickOnANoticeBringsTheWindowUp) {
    Start();
    gabbler_->Window().showMinimized();
    LookElsewhere();
    ASSERT_TRUE(notices_->onClicked);
    notices_->onClicked();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&gabbler_->Window()));
    EXPECT_FALSE(gabbler_->Window().isMinimized());
}

TEST_F(DesktopNoticesApp, TheTraySettingShowsTheIconAndWithoutATrayTheCloseBoxStillEnds) {
    Settings settings;
    settings.trayIcon = true;
    settings.closeToTray = true;
    Start(settings);
    EXPECT_TRUE(gabbler_->Notices().TrayShown());
    gabbler_->Window().SetTrayIcon(false); // what OK in the Settings dialog does when the box changed
    EXPECT_FALSE(gabbler_->Notices().TrayShown());
    gabbler_->Window().SetTrayIcon(true);
    // The offscreen desktop has no tray: hiding there would lose the window, so the close box closes it.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(gabbler_->Window().close());
}

} // namespace
