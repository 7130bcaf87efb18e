#include "app/ui/DBusNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default"); // a click on the notice itself

} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, QObject *parent) : QObject(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this, SLOT(OnClosed(uint, uint)));
}

void DBusNotifier::Show(const Notice &notice) {
    if (!bus_.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    // The service reads the body as markup: the speaker's text goes as plain text.
    const QString body = QString::fromStdString(notice.body).toHtmlEscaped();
    call << QStringLiteral("Gabbler") << 0u << QStringLiteral("gabbler") << QString::fromStdString(notice.title)
         << body << QStringList{kDefaultAction, QStringLiteral("Show Gabbler")} << QVariantMap{} << -1;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        const QDBusPendingReply<uint> reply = *done;
        if (!reply.isError()) {
            shown_.insert(reply.value());
        }
        done->deleteLater();
    });
}

void DBusNotifier::OnActionInvoked(uint id, const QString &action) {
    // The service tells every program of every click: only ours count.
    if (shown_.count(id) == 0 || action != kDefaultAction) {
        return;
    }
    if (onClicked) {
        onClicked();
    }
}

void DBusNotifier::OnClosed(uint id, uint) { shown_.erase(id); }
