// Notices through a real session bus: a dbus-daemon started by the test, a notification server stand-in
// registered on it, and the program's notifier on a connection of its own. Also: no service, no bus.

#include "app/ui/DBusNotifier.h"

#include "support/SuiteApplication.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>
#include <vector>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The desktop's notification server as far as the program uses it: Notify answers with a new id, and the calls are
// kept.
class NotificationServer : public QDBusVirtualObject {
public:
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.member() != QStringLiteral("Notify")) {
            return false;
        }
        calls.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(++lastId)));
        return true;
    }
    void Click(uint id, const QString &action, const QDBusConnection &connection) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
        signal << id << action;
        connection.send(signal);
    }

    std::vector<QList<QVariant>> calls;
    uint lastId = 40;
};

class DBusNotifierTest : public SuiteApplication<QApplication> {
protected:
    void SetUp() override {
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address")});
        ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon (package dbus) is needed";
        ASSERT_TRUE(QTest::qWaitFor([&] { return daemon_.canReadLine(); }, 5000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
    }

    void TearDown() override {
        for (const QString &name : {QStringLiteral("server"), QStringLiteral("program")}) {
            QDBusConnection::disconnectFromBus(name);
        }
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    QDBusConnection Connect(const QString &name) { return QDBusConnection::connectToBus(address_, name); }

    // The stand-in server on the bus, under the service's name.
    QDBusConnection Serve() {
        QDBusConnection bus = Connect(QStringLiteral("server"));
        EXPECT_TRUE(bus.isConnected());
        EXPECT_TRUE(bus.registerVirtualObject(kPath, &server_));
        EXPECT_TRUE(bus.registerService(kService));
        return bus;
    }

    QProcess daemon_;
    QString address_;
    NotificationServer server_;
};

TEST_F(DBusNotifierTest, ANoticeReachesTheServerAndAClickOnItComesBack) {
    const QDBusConnection serverBus = Serve();
    DBusNotifier notifier(Connect(QStringLiteral("program")));
    int clicks = 0;
    notifier.onClicked = [&] { ++clicks; };

    notifier.Show({"Whisper from Alice", "<b>psst</b> & more"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server_.calls.size() == 1; }, 5000));
    const QList<QVariant> &call = server_.calls[0];
    ASSERT_EQ(call.size(), 8);
    EXPECT_EQ(call[0].toString(), "Gabbler");
    EXPECT_EQ(call[3].toString(), "Whisper from Alice");
    EXPECT_EQ(call[4].toString(), "&lt;b&gt;psst&lt;/b&gt; &amp; more") << "the speaker's text is no markup";
    EXPECT_TRUE(call[5].toStringList().contains("default"));

    // Wait until the reply with the id has come back, then click another program's notice and then ours.
    QTest::qWait(200);
    server_.Click(server_.lastId + 7, QStringLiteral("default"), serverBus);
    server_.Click(server_.lastId, QStringLiteral("default"), serverBus);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(clicks, 1);
}

TEST_F(DBusNotifierTest, WithoutAServiceOrABusANoticeIsSilence) {
    DBusNotifier onEmptyBus(Connect(QStringLiteral("program")));
    onEmptyBus.Show({"Gabbler", "nobody listens"});
    DBusNotifier withoutBus(QDBusConnection(QStringLiteral("no such bus")));
    withoutBus.Show({"Gabbler", "no bus"});
    QTest::qWait(300);
    EXPECT_TRUE(server_.calls.empty());
}

} // namespace
