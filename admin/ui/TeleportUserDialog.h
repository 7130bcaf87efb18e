#pragma once

#include "admin/TeleportUserLogic.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "Teleport User": moves the person to a place in this world or another.
class TeleportUserDialog : public QDialog {
    Q_OBJECT
public:
    // proposedCoordinates: the person's coordinate text from the avatar roster ("0n 0e" when not there).
    TeleportUserDialog(AdminSdk &sdk, AdminPerson person, std::string proposedCoordinates, QWidget *parent = nullptr);

private:
    TeleportUserLogic logic_;
    QLineEdit *world_ = nullptr;
    QLineEdit *coordinates_ = nullptr;
    QCheckBox *warp_ = nullptr;
};
