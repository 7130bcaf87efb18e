#include "mail/ui/FeedbackDialog.h"

#include "ScriptedSmtpServer.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Reply = ScriptedSmtpServer::Reply;

struct ChatLine {
    std::string text;
    std::uint32_t colour;
    bool bold, italic, underline, newline;
};

struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Closes every message box that opens, remembering what it said.
class BoxCatcher {
public:
    BoxCatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes.push_back({box->windowTitle(), box->text(), box->icon()});
                box->accept();
            }
        });
        timer_.start(20);
    }
    std::vector<Box> boxes;

private:
    QTimer timer_;
};

class FeedbackDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_mail_feedback_dialog";
        static char *argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

    std::unique_ptr<FeedbackDialog> MakeDialog(int port, std::chrono::milliseconds timeout) {
        FeedbackDialogSetup setup;
        setup.sender = {"universe.example", 6670, 1234, "Bob"};
        setup.relay = {"127.0.0.1", port, "gabbler@test.example", "feedback@test.example"};
        setup.timeout = timeout;
        auto dialog =
            std::make_unique<FeedbackDialog>(setup, [this](const std::string &text, std::uint32_t colour, bool bold,
                                                           bool italic, bool underline, bool newline) {
                lines.push_back({text, colour, bold, italic, underline, newline});
            });
        dialog->show();
        return dialog;
    }

    static void Type(FeedbackDialog &dialog, int kind, const QString &text) {
        dialog.findChild<QComboBox *>("kind")->setCurrentIndex(kind);
        dialog.findChild<QPlainTextEdit *>("text")->setPlainText(text);
    }

    static void ClickSend(FeedbackDialog &dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton *>("send"), Qt::LeftButton);
    }

    std::vector<ChatLine> lines;
    static QApplication *app_;
};

QApplication *FeedbackDialogTest::app_ = nullptr;

std::vector<Reply> Willing() {
    return {{"220 ready\r\n"}, {"250 hello\r\n"},  {"250 ok\r\n"}, {"250 ok\r\n"},
            {"354 go\r\n"},    {"250 queued\r\n"}, {"221 bye\r\n"}};
}

struct SendCase {
    const char *name;
    std::vector<Reply> script;
    int kind;             // combo row
    const char *chatLine; // nullptr: none
    const char *boxText;  // nullptr: no message box
    const char *subject;  // nullptr: not checked
};

TEST_F(FeedbackDialogTest, SendsAndReportsTheOutcome) {
    const SendCase cases[] = {
        {"bug report", Willing(), 0, "Bug report sent successfully.  Thanks for your input.", nullptr,
         "Subject: Bug report (Gabbler Build 35)(universe.example:6670 1234 Bob)\r\n"},
        {"suggestion", Willing(), 1, "Suggestion sent successfully.  Thanks for your input.", nullptr,
         "Subject: Suggestion (Gabbler Build 35)(universe.example:6670 1234 Bob)\r\n"},
        {"550 to MAIL",
         [] {
             auto script = Willing();
             script[2] = {"550 not you\r\n"};
             return script;
         }(),
         0, nullptr, "550:SMTP server error", nullptr},
        {"silent server", {{}}, 0, nullptr, "Server didn't respond.", nullptr},
    };
    for (const auto &c : cases) {
        lines.clear();
        ScriptedSmtpServer server(c.script);
        BoxCatcher catcher;
        auto dialog = MakeDialog(server.Port(), 500ms);
        Type(*dialog, c.kind, "It crashed\nwhen I clicked.");
        ClickSend(*dialog);
        EXPECT_EQ(dialog->findChild<QLabel *>("status")->text(), "Sending...") << c.name;
        EXPECT_FALSE(dialog->findChild<QPushButton *>("send")->isEnabled()) << c.name;

        if (c.chatLine) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000))
                << c.name << ": dialog stayed open";
            EXPECT_EQ(dialog->result(), QDialog::Accepted) << c.name;
        } else {
            // A report that did not go stays, as typed, for another try.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !catcher.boxes.empty(); }, 5000)) << c.name;
            EXPECT_TRUE(dialog->isVisible()) << c.name;
            EXPECT_EQ(dialog->findChild<QPlainTextEdit *>("text")->toPlainText(), "It crashed\nwhen I clicked.");
            EXPECT_TRUE(dialog->findChild<QPushButton *>("send")->isEnabled()) << c.name;
        }
        if (c.chatLine) {
            ASSERT_EQ(lines.size(), 1u) << c.name;
            EXPECT_EQ(lines[0].text, c.chatLine) << c.name;
            EXPECT_EQ(lines[0].colour, 0x006F6Fu) << c.name;
            EXPECT_FALSE(lines[0].bold || lines[0].italic || lines[0].underline) << c.name;
            EXPECT_TRUE(lines[0].newline) << c.name;
        } else {
            EXPECT_TRUE(lines.empty()) << c.name;
        }
        if (c.boxText) {
            ASSERT_EQ(catcher.boxes.size(), 1u) << c.name;
            EXPECT_EQ(catcher.boxes[0].title, "Gabbler") << c.name;
            const QString text = catcher.boxes[0].text;
            EXPECT_TRUE(text.startsWith(QString(c.boxText) + "\n\n")) << c.name << ": " << text.toStdString();
            EXPECT_TRUE(text.contains("mail relay 127.0.0.1:" + QString::number(server.Port())))
                << c.name << ": the box names the relay: " << text.toStdString();
            EXPECT_TRUE(text.contains("[Feedback] section of gabbler.ini")) << text.toStdString();
            EXPECT_EQ(catcher.boxes[0].icon, QMessageBox::Critical) << c.name;
        } else {
            EXPECT_TRUE(catcher.boxes.empty()) << c.name;
        }
        dialog.reset();
        if (c.subject) {
            const auto received = server.Received();
            ASSERT_GE(received.size(), 5u) << c.name;
            EXPECT_NE(received[4].find(c.subject), std::string::npos) << c.name << ": " << received[4];
            EXPECT_NE(received[4].find("\r\n\r\nIt crashed\r\nwhen I clicked.\r\n.\r\n"), std::string::npos)
                << c.name << ": " << received[4];
        }
    }
}

TEST_F(FeedbackDialogTest, ARelayThatCannotBeReachedIsNamedAndTheReportCanBeSentAgain) {
    int port = 0;
    {
        ScriptedSmtpServer gone(Willing());
        port = gone.Port();
    }
    BoxCatcher catcher;
    auto dialog = MakeDialog(port, 500ms);
    Type(*dialog, 1, "Please add a map legend.");
    ClickSend(*dialog);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.boxes.empty(); }, 5000));
    const QString text = catcher.boxes[0].text;
    EXPECT_TRUE(text.startsWith("Unable to connect to server\n\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("127.0.0.1:" + QString::number(port))) << text.toStdString();
    EXPECT_TRUE(text.contains("[Feedback]")) << text.toStdString();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel *>("status")->text(), "Not sent.");

    ClickSend(*dialog); // the same report, tried again
    ASSERT_TRUE(QTest::qWaitFor([&] { return catcher.boxes.size() == 2; }, 5000));
    EXPECT_EQ(catcher.boxes[1].text, text);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(lines.empty());
}

TEST_F(FeedbackDialogTest, BlankTextIsRefusedAndTheDialogStaysOpen) {
    ScriptedSmtpServer server(Willing());
    for (const QString &text : {QString(), QString("  \n\t ")}) {
        BoxCatcher catcher;
        auto dialog = MakeDialog(server.Port(), 500ms);
        Type(*dialog, 0, text);
        ClickSend(*dialog);
        ASSERT_EQ(catcher.boxes.size(), 1u);
        EXPECT_EQ(catcher.boxes[0].title, "Gabbler Bug Report/Suggestion Sender");
        EXPECT_EQ(catcher.boxes[0].text, "You can not send a blank bug report/suggestion.");
        EXPECT_EQ(catcher.boxes[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->findChild<QPushButton *>("send")->isEnabled());
        EXPECT_TRUE(dialog->findChild<QLabel *>("status")->text().isEmpty());
    }
    EXPECT_TRUE(server.Received().empty());
    EXPECT_TRUE(lines.empty());
}

TEST_F(FeedbackDialogTest, CancelWhileSendingClosesAtOnceWithoutAMessage) {
    ScriptedSmtpServer server(std::vector<Reply>{Reply{}});
    BoxCatcher catcher;
    auto dialog = MakeDialog(server.Port(), 30s);
    Type(*dialog, 0, "report");
    ClickSend(*dialog);
    QTest::qWait(100);
    EXPECT_TRUE(dialog->isVisible());
    QTest::mouseClick(dialog->findChild<QPushButton *>("cancel"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 2000));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(catcher.boxes.empty());
    EXPECT_TRUE(lines.empty());
}

TEST_F(FeedbackDialogTest, ClosingTheDialogDuringASendDoesNotWaitForTheServer) {
    ScriptedSmtpServer server(std::vector<Reply>{Reply{}});
    const auto started = std::chrono::steady_clock::now();
    {
        auto dialog = MakeDialog(server.Port(), 30s);
        Type(*dialog, 0, "report");
        ClickSend(*dialog);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_TRUE(lines.empty());
}

} // namespace
