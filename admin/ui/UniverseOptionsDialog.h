#pragma once

#include "admin/UniverseOptionsLogic.h"
#include "admin/ui/AdminWidgets.h"

#include <QDialog>

// "Universe Attributes": the universe server's settings; only citizen 1 can change them.
class UniverseOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // loginCitizen: the citizen number the bot logged in with.
    UniverseOptionsDialog(AdminSdk &sdk, ChatLineWriter writeLine, int loginCitizen, QWidget *parent = nullptr);

private:
    void OkPressed();

    DialogPrompt prompt_;
    UniverseOptionsLogic logic_;
    AttributeForm form_;
};
