#pragma once

#include "admin/WorldFeaturesLogic.h"
#include "admin/ui/AdminWidgets.h"

#include <QDialog>

class ColorSwatch;
class QLabel;
class QPushButton;

// "World Features": the current world's attributes, read when the dialog is built; caretakers can change and
// send them.
class WorldFeaturesDialog : public QDialog {
    Q_OBJECT
public:
    WorldFeaturesDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent = nullptr);

    const WorldFeaturesLogic &Logic() const { return logic_; }
    ColorSwatch *Swatch() const { return swatch_; }

private:
    void OkPressed();
    void ColourPicked();

    DialogPrompt prompt_;
    WorldFeaturesLogic logic_;
    AttributeForm form_;
    ColorSwatch *swatch_ = nullptr;
    QPushButton *change_ = nullptr;
    QPushButton *myLocation_ = nullptr;
    QPushButton *ok_ = nullptr;
};
