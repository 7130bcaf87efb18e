#pragma once

#include "admin/AdminSdk.h"
#include "admin/ui/AdminWidgets.h"

#include <QDialog>

class DateField;
class QLineEdit;
class QTimeEdit;

// "Load Object": builds an object with a chosen owner and creation date. The outcome is reported in the chat pane
// after the dialog has closed, so sdk and writeLine must outlive it (the main window's).
class LoadObjectDialog : public QDialog {
    Q_OBJECT
public:
    LoadObjectDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent = nullptr);

    DateField *DateBox() const { return date_; }
    QTimeEdit *TimeBox() const { return time_; }

private:
    void BuildPressed();

    AdminSdk &sdk_;
    ChatLineWriter writeLine_;
    DialogPrompt prompt_;
    DateField *date_ = nullptr;
    QTimeEdit *time_ = nullptr;
    QLineEdit *object_ = nullptr;
    QLineEdit *owner_ = nullptr;
    QLineEdit *location_ = nullptr;
    QLineEdit *description_ = nullptr;
    QLineEdit *action_ = nullptr;
};
