#pragma once

#include "app/NoticeRules.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <set>

// Where desktop notices go. A click on a notice calls onClicked.
class NoticeService {
public:
    virtual ~NoticeService() = default;
    virtual void Show(const Notice &notice) = 0;
    std::function<void()> onClicked;
};

// The desktop's notification service (org.freedesktop.Notifications) on a D-Bus connection, the session bus by
// default. Without a bus or a service a notice is simply not shown: the calls go out without waiting, and their
// errors are dropped.
class DBusNotifier : public QObject, public NoticeService {
    Q_OBJECT
public:
    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    void Show(const Notice &notice) override;

private slots:
    void OnActionInvoked(uint id, const QString &action);
    void OnClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
    std::set<uint> shown_; // the ids of this program's notices still on screen
};
