#pragma once

#include "admin/WorldRightsLogic.h"
#include "admin/ui/AdminWidgets.h"

#include <QDialog>

#include <vector>

class QLineEdit;
class QPushButton;

// "World Rights": the current world's rights lists, editable by its caretakers; a summary for everyone else.
class WorldRightsDialog : public QDialog {
    Q_OBJECT
public:
    WorldRightsDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent = nullptr);

private:
    void OkPressed();

    DialogPrompt prompt_;
    WorldRightsLogic logic_;
    std::vector<QLineEdit *> edits_;
};
