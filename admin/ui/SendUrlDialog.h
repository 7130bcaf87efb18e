#pragma once

#include "admin/SendUrlLogic.h"
#include "admin/ui/AdminWidgets.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "Send URL": makes the person's browser open an address.
class SendUrlDialog : public QDialog {
    Q_OBJECT
public:
    SendUrlDialog(AdminSdk &sdk, AdminPerson person, QWidget *parent = nullptr);

private:
    DialogPrompt prompt_;
    SendUrlLogic logic_;
    QLineEdit *url_ = nullptr;
    QCheckBox *to3d_ = nullptr;
};
