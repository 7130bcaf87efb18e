#include "mail/SmtpConnection.h"

#include "ScriptedSmtpServer.h"
#include "SmtpSink.h"
#include "mail/Feedback.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Reply = ScriptedSmtpServer::Reply;
using Clock = std::chrono::steady_clock;

constexpr auto kShortTimeout = 300ms;

// The replies of a willing server to one message with one recipient and QUIT.
std::vector<Reply> Willing() {
    return {{"220 scripted ready\r\n"}, {"250 hello\r\n"},  {"250 sender ok\r\n"}, {"250 recipient ok\r\n"},
            {"354 go ahead\r\n"},       {"250 queued\r\n"}, {"221 bye\r\n"}};
}

std::vector<Reply> WillingWith(std::size_t step, Reply reply) {
    auto script = Willing();
    script[step] = std::move(reply);
    return script;
}

// What a command sequence looks like in the server's record: each entry's beginning.
const std::vector<std::string> kWholeTransaction = {
    "HELO ", "MAIL From: <gabbler@test>\r\n", "RCPT TO: <ann@test>\r\n", "DATA\r\n", "Date: ", "QUIT\r\n"};

struct TransactionCase {
    const char *name;
    std::vector<Reply> script;
    const char *recipients; // nullptr: none
    bool connected, sent, disconnected;
    const char *lastError;
    std::vector<std::string> commands;
};

TEST(SmtpConnection, HandlesWhatTheServerSays) {
    const TransactionCase cases[] = {
        {"willing server", Willing(), "ann@test", true, true, true, "OK", kWholeTransaction},
        {"greeting in two pieces", WillingWith(0, {"22", "0 scripted\r\n"}), "ann@test", true, true, true, "OK",
         kWholeTransaction},
        {"multi-line replies in pieces",
         [] {
             auto script = WillingWith(1, {"250-first\r\n250-sec", "ond\r\n", "250 last\r\n"});
             script[5] = {"250-queued\r\n", "250 as 12\r\n"};
             return script;
         }(),
         "ann@test", true, true, true, "OK", kWholeTransaction},
        {"bare code as the final line", WillingWith(2, {"250-fine\r\n250\r\n"}), "ann@test", true, true, true, "OK",
         kWholeTransaction},
        {"550 to MAIL",
         WillingWith(2, {"550 not you\r\n"}),
         "ann@test",
         true,
         false,
         true,
         "550:SMTP server error",
         {"HELO ", "MAIL From: <gabbler@test>\r\n", "QUIT\r\n"}},
        {"refused recipient does not stop the others",
         {{"220 ready\r\n"},
          {"250 hello\r\n"},
          {"250 ok\r\n"},
          {"550 no such user\r\n"},
          {"250 ok\r\n"},
          {"354 go\r\n"},
          {"250 queued\r\n"},
          {"221 bye\r\n"}},
         "nobody@test;ann@test",
         true,
         true,
         true,
         "550:SMTP server error",
         {"HELO ", "MAIL From: <gabbler@test>\r\n", "RCPT TO: <nobody@test>\r\n", "RCPT TO: <ann@test>\r\n", "DATA\r\n",
          "Date: ", "QUIT\r\n"}},
        {"no recipients", Willing(), nullptr, true, false, true, "No Recipients", {"HELO ", "QUIT\r\n"}},
        {"unwilling greeting",
         WillingWith(0, {"554 go away\r\n"}),
         "ann@test",
         false,
         false,
         true,
         "Server didn't respond.",
         {}},
        {"HELO refused",
         WillingWith(1, {"500 what\r\n"}),
         "ann@test",
         false,
         false,
         true,
         "500:SMTP server error",
         {"HELO "}},
        {"DATA refused",
         WillingWith(4, {"554 no valid recipients\r\n"}),
         "ann@test",
         true,
         false,
         true,
         "554:SMTP server not ready for data",
         {"HELO ", "MAIL From: <gabbler@test>\r\n", "RCPT TO: <ann@test>\r\n", "DATA\r\n", "QUIT\r\n"}},
        {"message refused", WillingWith(5, {"552 too big\r\n"}), "ann@test", true, false, true, "552:SMTP server error",
         kWholeTransaction},
        {"QUIT not acknowledged", WillingWith(6, {"500 eh\r\n"}), "ann@test", true, true, false,
         "500:SMTP server didn't terminate session", kWholeTransaction},
        {"no number in the reply",
         WillingWith(2, {"hello there\r\n"}),
         "ann@test",
         true,
         false,
         true,
         "0:SMTP server error",
         {"HELO ", "MAIL From: <gabbler@test>\r\n", "QUIT\r\n"}},
        {"silent greeting", WillingWith(0, {}), "ann@test", false, false, true, "Server didn't respond.", {}},
        {"greeting without its line end",
         WillingWith(0, {"220 ready"}),
         "ann@test",
         false,
         false,
         true,
         "Server didn't respond.",
         {}},
        {"silent at MAIL",
         WillingWith(2, {}),
         "ann@test",
         true,
         false,
         true,
         "Socket Error",
         {"HELO ", "MAIL From: <gabbler@test>\r\n"}},
        {"silent after the message",
         WillingWith(5, {}),
         "ann@test",
         true,
         false,
         true,
         "Socket Error",
         {"HELO ", "MAIL From: <gabbler@test>\r\n", "RCPT TO: <ann@test>\r\n", "DATA\r\n", "Date: "}},
    };
    for (const auto &c : cases) {
        ScriptedSmtpServer server(c.script);
        ASSERT_GT(server.Port(), 0);
        const auto started = Clock::now();
        bool connected = false, sent = false, disconnected = true;
        std::string lastError;
        {
            SmtpConnection connection("127.0.0.1", server.Port(), kShortTimeout);
            MailMessage message;
            message.SetFrom("gabbler@test");
            message.SetSubject("subject");
            message.SetBody("body");
            if (c.recipients != nullptr) {
                ASSERT_TRUE(message.AddRecipients(c.recipients)) << c.name;
            }
            // In the order the feedback dialog uses, stopping at the first failure.
            connected = connection.Connect();
            sent = connected && connection.Send(message);
            disconnected = !sent || connection.Disconnect();
            lastError = connection.LastError();
            EXPECT_FALSE(connection.Connected() && !sent && lastError == "Socket Error") << c.name;
        }
        const auto elapsed = Clock::now() - started;
        EXPECT_EQ(connected, c.connected) << c.name;
        EXPECT_EQ(sent, c.sent) << c.name;
        EXPECT_EQ(disconnected, c.disconnected) << c.name;
        EXPECT_EQ(lastError, c.lastError) << c.name;
        // A silent server costs one time-out, not more.
        EXPECT_LT(elapsed, kShortTimeout + 1s) << c.name;

        const std::vector<std::string> received = server.Received();
        ASSERT_EQ(received.size(), c.commands.size()) << c.name;
        for (std::size_t i = 0; i < received.size(); ++i) {
            EXPECT_EQ(received[i].substr(0, c.commands[i].size()), c.commands[i]) << c.name << ", command " << i;
        }
    }
}

TEST(SmtpConnection, ConnectFailuresNameTheirCause) {
    // A port that was free a moment ago: nothing listens there.
    const int closedPort = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
        ::close(fd);
        return static_cast<int>(ntohs(address.sin_port));
    }();
    const struct {
        const char *name;
        std::string host;
        int port;
    } cases[] = {
        {"nothing listening", "127.0.0.1", closedPort},
        {"empty host", "", 25},
        {"port zero", "127.0.0.1", 0},
        {"port beyond range", "127.0.0.1", 70000},
        {"negative port", "127.0.0.1", -25},
    };
    for (const auto &c : cases) {
        SmtpConnection connection(c.host, c.port, kShortTimeout);
        EXPECT_FALSE(connection.Connect()) << c.name;
        EXPECT_EQ(connection.LastError(), "Unable to connect to server") << c.name;
        EXPECT_FALSE(connection.Connected()) << c.name;
    }
}

TEST(SmtpConnection, SendAndDisconnectNeedAConnection) {
    SmtpConnection connection("127.0.0.1", 25);
    MailMessage message;
    message.AddRecipients("ann@test");
    EXPECT_EQ(connection.LastError(), "OK");
    EXPECT_TRUE(connection.Disconnect());
    EXPECT_FALSE(connection.Send(message));
    EXPECT_EQ(connection.LastError(), "Must be connected");
}

TEST(SmtpConnection, StalledReaderEndsTheSendInATimeOut) {
    ScriptedSmtpServer server(WillingWith(4, {"354 go ahead\r\n", ScriptedSmtpServer::kStopReading}));
    SmtpConnection connection("127.0.0.1", server.Port(), kShortTimeout);
    MailMessage message;
    message.SetFrom("gabbler@test");
    message.AddRecipients("ann@test");
    // Far more than the socket buffers between the two ends hold.
    message.SetBody(std::string(16 * 1024 * 1024, 'x') + "\r\n");
    ASSERT_TRUE(connection.Connect());
    const auto started = Clock::now();
    EXPECT_FALSE(connection.Send(message));
    EXPECT_LT(Clock::now() - started, kShortTimeout + 2s);
    EXPECT_EQ(connection.LastError(), "Socket Error");
    EXPECT_FALSE(connection.Connected());
}

TEST(SmtpConnection, CancelEndsAWaitAtOnce) {
    ScriptedSmtpServer server(WillingWith(0, {}));
    std::atomic<bool> cancelled{false};
    SmtpConnection connection("127.0.0.1", server.Port(), 30s, &cancelled);
    std::thread canceller([&cancelled] {
        std::this_thread::sleep_for(200ms);
        cancelled = true;
    });
    const auto started = Clock::now();
    EXPECT_FALSE(connection.Connect());
    EXPECT_LT(Clock::now() - started, 2s);
    canceller.join();
}

// Against a real server: what arrives must be what was meant, byte for byte.

struct ArrivalCase {
    const char *name;
    std::string ownerName;
    std::string body;
    std::string expectedSubject;
    std::string expectedBody;
};

TEST(SmtpConnection, RealServerReceivesTheMessageIntact) {
    SmtpSink sink;
    if (!sink.Usable()) {
        GTEST_SKIP() << sink.Problem();
    }
    const MailRelay relay{"127.0.0.1", sink.Port(), "gabbler@test.example", "feedback@test.example"};
    const ArrivalCase cases[] = {
        {"lines beginning with dots", "Bob", ".hidden\r\n..two\r\n.\r\nmid.dle\r\n.",
         "Bug report (Gabbler Build 35)(universe.example:6670 1234 Bob)", ".hidden\r\n..two\r\n.\r\nmid.dle\r\n.\r\n"},
        {"no final line end", "Bob", "first\r\nlast", "Bug report (Gabbler Build 35)(universe.example:6670 1234 Bob)",
         "first\r\nlast\r\n"},
        {"final line end", "Bob", "only line\r\n", "Bug report (Gabbler Build 35)(universe.example:6670 1234 Bob)",
         "only line\r\n"},
        {"typed line ends", "Bob", "one\ntwo\n\nthree", "Bug report (Gabbler Build 35)(universe.example:6670 1234 Bob)",
         "one\r\ntwo\r\n\r\nthree\r\n"},
        {"name holding CR LF", "Bob\r\nBcc: eve@example.org", "hello",
         "Bug report (Gabbler Build 35)(universe.example:6670 1234 BobBcc: eve@example.org)", "hello\r\n"},
        {"line too long for a server", "Bob", std::string(1500, 'a'),
         "Bug report (Gabbler Build 35)(universe.example:6670 1234 Bob)",
         std::string(997, 'a') + "\r\n" + std::string(503, 'a') + "\r\n"},
    };
    const std::regex dateLine(R"(Date: [A-Z][a-z]{2}, \d{2} [A-Z][a-z]{2} \d{2} \d{2}:\d{2}:\d{2} \S+\r\n)");
    int n = 0;
    for (const auto &c : cases) {
        const FeedbackSender sender{"universe.example", 6670, 1234, c.ownerName};
        const FeedbackResult result = SendFeedback(relay, FeedbackSubject(FeedbackKind::BugReport, sender), c.body);
        ASSERT_TRUE(result.ok) << c.name << ": " << result.error;
        const auto message = sink.Received(++n);
        ASSERT_TRUE(message.has_value()) << c.name;
        EXPECT_EQ(message->from, "gabbler@test.example") << c.name;
        EXPECT_EQ(message->recipients, "feedback@test.example\n") << c.name;
        const std::string &data = message->data;
        const std::size_t dateEnd = data.find("\r\n") + 2;
        EXPECT_TRUE(std::regex_match(data.substr(0, dateEnd), dateLine)) << c.name << ": " << data.substr(0, dateEnd);
        EXPECT_EQ(data.substr(dateEnd), "From: gabbler@test.example\r\n"
                                        "To: <feedback@test.example>\r\n"
                                        "Subject: " +
                                            c.expectedSubject +
                                            "\r\n"
                                            "X-Mailer: <ZI Devi>\r\n"
                                            "\r\n" +
                                            c.expectedBody)
            << c.name;
    }
}

TEST(SmtpConnection, RealServerTakesSeveralRecipientsAndMessagesOnOneConnection) {
    SmtpSink sink;
    if (!sink.Usable()) {
        GTEST_SKIP() << sink.Problem();
    }
    SmtpConnection connection("127.0.0.1", sink.Port());
    ASSERT_TRUE(connection.Connect()) << connection.LastError();
    for (const char *subject : {"first", "second"}) {
        MailMessage message;
        message.SetFrom("gabbler@test.example");
        message.SetSubject(subject);
        message.SetBody("text");
        ASSERT_TRUE(message.AddRecipients("Ann Example <ann@test.example>;bob@test.example"));
        ASSERT_TRUE(connection.Send(message)) << connection.LastError();
    }
    EXPECT_TRUE(connection.Disconnect()) << connection.LastError();
    for (int n = 1; n <= 2; ++n) {
        const auto message = sink.Received(n);
        ASSERT_TRUE(message.has_value()) << "message " << n;
        EXPECT_EQ(message->recipients, "ann@test.example\nbob@test.example\n");
        EXPECT_NE(message->data.find("\r\nTo: Ann Example <ann@test.example>,<bob@test.example>\r\nSubject: " +
                                     std::string(n == 1 ? "first" : "second") + "\r\n"),
                  std::string::npos)
            << message->data;
    }
}

} // namespace
