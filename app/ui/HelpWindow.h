#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QTextBrowser;

// The manual and the release notes, shown by the program itself, so that help works on any desktop, whether or not
// it has a program that opens files. Links between documents stay in this window; web addresses go to the
// desktop's browser (OpenWebAddress).
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the file: HTML when its name ends in .html, plain text otherwise. False, after a message box naming the
    // file, when it cannot be read; the window then stays as it was.
    bool ShowDocument(const QString &path);
    QTextBrowser *Browser() const { return browser_; }

private:
    void Follow(const QUrl &link);

    QTextBrowser *browser_;
};

using WebOpener = std::function<bool(const QUrl &address)>;

// Opens a web address through the desktop. When the desktop cannot (no browser, no xdg-open), a message box over
// parent says so and gives the address to copy; false then.
bool OpenWebAddress(const QUrl &address, QWidget *parent, const WebOpener &opener = {});
