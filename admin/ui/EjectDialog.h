#pragma once

#include "admin/EjectLogic.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;

// "Eject": throws the person out of the world for five minutes, an hour or a day.
class EjectDialog : public QDialog, private EjectView {
    Q_OBJECT
public:
    EjectDialog(AdminSdk &sdk, ChatLineWriter writeLine, AdminPerson person, QWidget *parent = nullptr);

private:
    void ShowAddress(const std::string &text) override;

    QLineEdit *address_ = nullptr;
    QButtonGroup *durations_ = nullptr;
    EjectLogic logic_;
};
