#include "TempDir.h"
#include "app/Session.h"
#include "app/TerminateSignal.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/MainWindow.h"
#include "chat/ChatPane.h"
#include "sdk/Sdk.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <gtest/gtest.h>

namespace {

int argc = 1;
char name[] = "test_app_program_end";
char *argv[] = {name, nullptr};

// SIGTERM (a log-out, say) while the login dialog, or the message box that may come before it, is open ends the
// program there: the bot is not started and the main window is never shown. (This test's executable is not named
// gabbler, so the login dialog says so in a box of its own before it opens.)
TEST(ProgramEnd, TerminateSignalBeforeTheBotStartsEndsTheRun) {
    QApplication app(argc, argv);
    const QString kLoginDialog = QStringLiteral("Gabbler Login");
    const QString kMessageBox = QStringLiteral("Gabbler");
    for (const QString &signalledIn : {kLoginDialog, kMessageBox}) {
        SCOPED_TRACE(signalledIn.toStdString());
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        TempDir home;
        {
            GabblerApp gabbler(home.Path(), Settings{});
            OnTerminateSignal([&gabbler] { gabbler.Terminate(); });
            bool signalled = false;
            QTimer poll;
            poll.setInterval(10);
            QObject::connect(&poll, &QTimer::timeout, [&] {
                QWidget *modal = QApplication::activeModalWidget();
                if (!modal) {
                    return;
                }
                if (modal->windowTitle() != signalledIn) {
                    modal->close(); // the box before the dialog, when the signal is meant for the dialog
                    return;
                }
                poll.stop();
                signalled = true;
                std::raise(SIGTERM);
            });
            poll.start();
            const bool running = gabbler.Run(std::nullopt);
            EXPECT_TRUE(signalled);
            EXPECT_FALSE(running);
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            EXPECT_FALSE(gabbler.Window().isVisible());
            EXPECT_FALSE(gabbler.GetSession().Started());
            EXPECT_EQ(gabbler.Chat().Log().LineCount(), 0u) << "nothing of a start was written";
            OnTerminateSignal({});
        }
        SdkTerm();
    }
}

} // namespace
