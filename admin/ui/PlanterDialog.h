#pragma once

#include "admin/AdminSdk.h"
#include "admin/ui/AdminWidgets.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

// "Planter": builds an object in the bot's name. The outcome is reported in the chat pane after the dialog has
// closed, so sdk and writeLine must outlive it (the main window's).
class PlanterDialog : public QDialog {
    Q_OBJECT
public:
    PlanterDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent = nullptr);

private:
    void BuildPressed();

    AdminSdk &sdk_;
    ChatLineWriter writeLine_;
    DialogPrompt prompt_;
    QLineEdit *coordinates_ = nullptr;
    QLineEdit *name_ = nullptr;
    QLineEdit *description_ = nullptr;
    QPushButton *build_ = nullptr;
};
