#include "app/ui/HelpWindow.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("Gabbler Help"));
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    // Every link goes through Follow, so that a web address never replaces the document with nothing.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::Follow);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addWidget(buttons);
    resize(720, 560);
}

bool HelpWindow::ShowDocument(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(parentWidget() ? parentWidget() : this, QStringLiteral("Gabbler"),
                             QStringLiteral("Cannot open \"%1\": %2.").arg(path, file.errorString()));
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    if (path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive)) {
        browser_->setSearchPaths({QFileInfo(path).absolutePath()});
        browser_->setHtml(text);
    } else {
        browser_->setPlainText(text);
    }
    setWindowTitle(QStringLiteral("Gabbler Help - %1").arg(QFileInfo(path).fileName()));
    show();
    raise();
    activateWindow();
    return true;
}

void HelpWindow::Follow(const QUrl &link) {
    if (link.isRelative() && link.path().isEmpty()) {
        browser_->scrollToAnchor(link.fragment());
        return;
    }
    if (link.isRelative() || link.isLocalFile()) {
        const QString path =
            link.isLocalFile() ? link.toLocalFile() : browser_->searchPaths().value(0) + QLatin1Char('/') + link.path();
        ShowDocument(path);
        return;
    }
    OpenWebAddress(link, this);
}

bool OpenWebAddress(const QUrl &address, QWidget *parent, const WebOpener &opener) {
    if (opener ? opener(address) : QDesktopServices::openUrl(address)) {
        return true;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Gabbler"),
                    QStringLiteral("Cannot open %1: this desktop has no web browser that Gabbler can start (it asks "
                                   "xdg-open). Copy the address into a browser yourself.")
                        .arg(address.toString()),
                    QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
    return false;
}
