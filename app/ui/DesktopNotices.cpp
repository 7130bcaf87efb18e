#include "app/ui/DesktopNotices.h"

#include "app/Bot.h"
#include "app/Session.h"
#include "app/ui/DBusNotifier.h"
#include "app/ui/Pictures.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QWidget>

DesktopNotices::DesktopNotices(Bot &bot, QWidget &window, NoticeService &service)
    : bot_(bot), window_(window), service_(service), rules_(bot.GetSettings()) {
    menu_ = std::make_unique<QMenu>();
    menu_->addAction(QStringLiteral("&Show Gabbler"), [this] { BringUp(); });
    menu_->addAction(QStringLiteral("E&xit"), [this] {
        if (onExit) {
            onExit();
        }
    });
    tray_ = std::make_unique<QSystemTrayIcon>(Pictures::AppIcon());
    tray_->setContextMenu(menu_.get());
    ShowUnread();
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            BringUp();
        }
    });
    service_.onClicked = [this] { BringUp(); };
    window_.installEventFilter(this);

    bot_.AddPeopleListener([this](const PeopleEvent &event) {
        const bool active = window_.isActiveWindow() && window_.isVisible();
        if (const auto notice = rules_.ForPeopleEvent(event, bot_.GetSession().Login().botName, active)) {
            service_.Show(*notice);
        }
        ShowUnread();
    });
    bot_.AddDisconnectListener([this](int reason) {
        if (const auto notice = rules_.ForDisconnect(reason, window_.isActiveWindow() && window_.isVisible())) {
            service_.Show(*notice);
        }
    });
    SetTrayShown(bot_.GetSettings().trayIcon);
}

DesktopNotices::~DesktopNotices() {
    window_.removeEventFilter(this);
    service_.onClicked = {};
}

void DesktopNotices::SetTrayShown(bool shown) { tray_->setVisible(shown); }

bool DesktopNotices::TrayShown() const { return tray_->isVisible(); }

bool DesktopNotices::HideToTray() {
    // Without a tray to come back from, hiding would lose the window: then the close box ends the program.
    if (!bot_.GetSettings().closeToTray || !tray_->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    window_.hide();
    return true;
}

void DesktopNotices::BringUp() {
    window_.show();
    window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_.raise();
    window_.activateWindow();
}

bool DesktopNotices::eventFilter(QObject *watched, QEvent *event) {
    if (watched == &window_ && event->type() == QEvent::WindowActivate) {
        rules_.WindowActivated();
        ShowUnread();
    }
    return QObject::eventFilter(watched, event);
}

void DesktopNotices::ShowUnread() {
    const int unread = rules_.UnreadWhispers();
    tray_->setToolTip(unread == 0 ? QStringLiteral("Gabbler")
                                  : QStringLiteral("Gabbler: %1 unread whisper%2").arg(unread).arg(unread == 1 ? "" : "s"));
    tray_->setIcon(Pictures::TrayIcon(unread));
}
