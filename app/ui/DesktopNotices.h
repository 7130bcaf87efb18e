#pragma once

#include "app/NoticeRules.h"

#include <QObject>

#include <memory>

class Bot;
class NoticeService;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The bot's moments on the desktop while the main window is elsewhere: notices through the notification service
// (a click brings the window up), and the tray icon with the count of unread whispers, into which the close box can
// hide the window.
class DesktopNotices : public QObject {
    Q_OBJECT
public:
    DesktopNotices(Bot &bot, QWidget &window, NoticeService &service);
    ~DesktopNotices() override;

    // Shows or hides the tray icon (the TrayIcon setting).
    void SetTrayShown(bool shown);
    bool TrayShown() const;
    // The close box: true when the window went into the tray (the setting is on and a tray shows the icon).
    bool HideToTray();
    // Brings the main window up, in front, as a click on a notice or on the tray icon does.
    void BringUp();

    int UnreadWhispers() const { return rules_.UnreadWhispers(); }
    QSystemTrayIcon &Tray() { return *tray_; }
    std::function<void()> onExit; // the tray menu's Exit

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowUnread();

    Bot &bot_;
    QWidget &window_;
    NoticeService &service_;
    NoticeRules rules_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
};
