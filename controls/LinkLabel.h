#pragma once

#include <QLabel>
#include <QUrl>

#include <functional>

// Text shown as a link that opens its address in the default browser when clicked, or with Enter or Space while it
// has the focus. The text is always plain, never markup.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    using Opener = std::function<bool(const QUrl &address)>;

    LinkLabel(const QString &text, const QUrl &address, QWidget *parent = nullptr);

    QUrl Address() const { return address_; }
    void SetAddress(const QUrl &address);
    void SetOpener(Opener opener); // QDesktopServices::openUrl unless replaced

    // Opens the address; false when it is empty or invalid or the system could not open it.
    bool Open();

signals:
    void activated(const QUrl &address);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QUrl address_;
    Opener opener_;
    bool pressed_ = false;
};
