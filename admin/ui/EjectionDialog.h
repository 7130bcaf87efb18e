#pragma once

#include "admin/EjectionLogic.h"

#include <QDialog>

#include <functional>
#include <optional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "World Ejections" or "Universe Ejections": browses and edits one ejection database. Answers arrive through the
// SDK pump while the dialog is open.
class EjectionDialog : public QDialog, private EjectionView {
    Q_OBJECT
public:
    // Asks for a new expiry: seconds since 1970, 0 for never, nothing on Cancel. The Edit Date dialog unless
    // replaced (tests answer without a window).
    using ExpiryChooser = std::function<std::optional<int>(QWidget *parent)>;

    EjectionDialog(AdminSdk &sdk, EjectionDatabase database, QWidget *parent = nullptr);

    void SetExpiryChooser(ExpiryChooser chooser) { chooser_ = std::move(chooser); }
    const EjectionLogic &Logic() const { return logic_; }

private:
    void ShowStatus(const std::string &text) override;
    void ShowFields(const EjectionFields &fields) override;
    EjectionFields ReadFields() const;
    QPushButton *Button(const char *text, const char *name);
    void ChangeExpiry();

    EjectionLogic logic_;
    ExpiryChooser chooser_;
    QButtonGroup *types_ = nullptr; // world only
    QLineEdit *value_ = nullptr;
    QPlainTextEdit *comment_ = nullptr;
    QLineEdit *created_ = nullptr;
    QLineEdit *expires_ = nullptr;
    QLabel *status_ = nullptr;
};
