#pragma once

#include "login/AttachChoice.h"
#include "login/LoginDialogLogic.h"

#include <QDialog>

#include <optional>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

// "Gabbler Login": picks or edits a login profile and hands the values to the bot start. The close box asks to
// save and writes profiles.txt; Escape leaves without either.
class LoginDialog : public QDialog, private LoginView {
    Q_OBJECT
public:
    // executableName: the running program's file name without its folder, checked for the upgrader.
    LoginDialog(const std::string &profilesPath, const std::string &executableName, QWidget *parent = nullptr);

    // Filled when the dialog was left through Login, empty otherwise.
    const std::optional<LoginValues> &Values() const { return values_; }
    // Filled when the dialog was left through "Attach to a Running Bot" instead.
    const std::optional<AttachChoice> &Attach() const { return attach_; }
    int UpgradeMode() const { return logic_.UpgradeMode(); }
    // Where Add Profile points a new profile.
    void SetNewProfileUniverse(UniverseAddress universe) { logic_.SetNewProfileUniverse(std::move(universe)); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void ShowFields(const LoginFields &fields) override;
    void ShowProfileBox(const std::vector<std::string> &names, int selected) override;
    void SetFieldsEnabled(bool enabled) override;
    bool AskYesNo(const std::string &question) override;
    void ShowError(const std::string &message) override;
    std::optional<std::string> AskProfileName() override;

    LoginFields ReadControls() const;
    void LoginPressed();
    void AttachPressed();

    LoginDialogLogic logic_;
    std::optional<LoginValues> values_;
    std::optional<AttachChoice> attach_;
    QComboBox *profileBox_ = nullptr;
    QLineEdit *citizen_ = nullptr;
    QLineEdit *password_ = nullptr;
    QLineEdit *botName_ = nullptr;
    QLineEdit *world_ = nullptr;
    QLineEdit *coordinates_ = nullptr;
    QLineEdit *universe_ = nullptr;
    QPushButton *addProfile_ = nullptr;
    QPushButton *saveProfile_ = nullptr;
    QPushButton *login_ = nullptr;
    QPushButton *attachButton_ = nullptr;
};
