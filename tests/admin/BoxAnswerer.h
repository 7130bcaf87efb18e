#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// Clicks one button on each message box that opens, remembering its text.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button) : button_(button) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && !box->property("answered").toBool()) {
                box->setProperty("answered", true);
                texts << box->text();
                if (QAbstractButton *button = box->button(button_)) {
                    button->click();
                } else {
                    box->close();
                }
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QMessageBox::StandardButton button_;
    QTimer timer_;
};
