#pragma once

#include "login/AttachChoice.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "Attach to a Running Bot": the address and password of a headless bot that lets windows attach.
class AttachBotDialog : public QDialog {
    Q_OBJECT
public:
    explicit AttachBotDialog(QWidget *parent = nullptr);
    AttachChoice Choice() const;

private:
    QLineEdit *address_ = nullptr;
    QLineEdit *password_ = nullptr;
    QCheckBox *tls_ = nullptr;
};
