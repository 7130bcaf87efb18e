#pragma once

#include "admin/CitizenLookupLogic.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

// "Citizen Database Lookup": a citizen's name by number or number by name; the answer arrives through the SDK
// pump while the dialog is open.
class CitizenLookupDialog : public QDialog, private CitizenLookupView {
    Q_OBJECT
public:
    explicit CitizenLookupDialog(AdminSdk &sdk, QWidget *parent = nullptr);

private:
    void ShowNameAnswer(const std::string &text) override;
    void ShowNumberAnswer(const std::string &text) override;
    void SetButtonsEnabled(bool enabled) override;

    QLineEdit *number_ = nullptr;
    QLineEdit *nameAnswer_ = nullptr;
    QLineEdit *name_ = nullptr;
    QLineEdit *numberAnswer_ = nullptr;
    QPushButton *retrieveName_ = nullptr;
    QPushButton *retrieveNumber_ = nullptr;
    CitizenLookupLogic logic_;
};
