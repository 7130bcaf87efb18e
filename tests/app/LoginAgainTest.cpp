// File, Login... in the running program: the login dialog again, and the bot started anew in the same window, after
// a wrong password or while it is in a world; and no world-list question while no bot is logged in.

#include "RunningApp.h"
#include "app/Commands.h"
#include "chat/ChatPane.h"
#include "common/AtomicFile.h"
#include "login/ui/LoginDialog.h"

#include <QAction>
#include <QMessageBox>
#include <QTimer>

#include <string>

namespace {

class LoginAgain : public RunningApp {
protected:
    // Starts as a start with login options does, with the password given; the bot may or may not get in.
    void StartWith(const std::string &password) {
        gabbler_ = std::make_unique<GabblerApp>(home_.Path(), Settings{}, std::make_unique<RecordingNotices>());
        LoginValues login = server_.BotLogin();
        login.privilegePassword = password;
        ASSERT_TRUE(gabbler_->Run(login));
    }

    // A profile with the right password, chosen in the login dialog that File, Login... opens.
    void LoginFromMenu() {
        const std::string profile =
            "Right:1234:secret:Tester:127.0.0.1:" + std::to_string(server_->Port()) + ":Sunset::\r\n";
        ASSERT_TRUE(WriteFileAtomically(gabbler_->File("profiles.txt"), profile, true).ok);
        bool pressed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                // The test program's name is not the program's, and the dialog says so first.
                if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
                    box->accept();
                    continue;
                }
                auto *dialog = qobject_cast<LoginDialog *>(widget);
                if (dialog && dialog->isVisible() && !pressed) {
                    pressed = true;
                    dialog->findChild<QPushButton *>(QStringLiteral("loginButton"))->click();
                }
            }
        });
        poll.start(20);
        QAction *item = gabbler_->Window().CommandAction(Command::Login);
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(item->isEnabled());
        item->trigger();
        ASSERT_TRUE(pressed);
    }

    int CountLines(const std::string &text) const {
        int count = 0;
        const ChatLog &log = gabbler_->Chat().Log();
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            count += log.Line(i).Text() == text ? 1 : 0;
        }
        return count;
    }

    // What the world-list timer does at each of its ticks, then time for an answer to arrive.
    void WorldListTicks(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            gabbler_->GetSession().RequestWorldList();
            QTest::qWait(300);
        }
    }
};

TEST_F(LoginAgain, AfterAWrongPasswordTheWorldListIsNotAskedFor) {
    StartWith("wrong");
    ASSERT_FALSE(gabbler_->GetSession().Started());
    EXPECT_EQ(CountLines("You have entered an invalid password."), 1);
    WorldListTicks(3);
    EXPECT_EQ(CountLines("Unable to query world list."), 0);
}

TEST_F(LoginAgain, LoginStartsTheBotAnewInTheSameWindow) {
    struct Case {
        const char *firstPassword;
        bool firstStarts;
    };
    for (const Case c : {Case{"wrong", false}, Case{"secret", true}}) {
        SCOPED_TRACE(c.firstPassword);
        StartWith(c.firstPassword);
        ASSERT_EQ(gabbler_->GetSession().Started(), c.firstStarts);
        MainWindow *window = &gabbler_->Window();

        LoginFromMenu();
        EXPECT_TRUE(gabbler_->GetSession().Started());
        EXPECT_EQ(&gabbler_->Window(), window);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == "Gabbler - [Tester] in Sunset world"; },
                                    5000))
            << window->windowTitle().toStdString();
        EXPECT_TRUE(gabbler_->Window().CommandAction(Command::Teleport)->isEnabled());
        // In once: the universe sees one session of the bot, not the old one beside the new.
        EXPECT_TRUE(QTest::qWaitFor([&] { return server_->ConnectionCount() == 1; }, 5000));
        WorldListTicks(1);
        EXPECT_EQ(CountLines("Unable to query world list."), 0);
        gabbler_.reset(); // its end shuts the SDK down
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
    }
}

} // namespace
