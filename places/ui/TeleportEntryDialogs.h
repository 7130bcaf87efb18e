#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

// "Remember Location": the name of the place to remember. OK with an empty name says so and stays open.
class RememberLocationDialog : public QDialog {
    Q_OBJECT

public:
    explicit RememberLocationDialog(QWidget *parent = nullptr);

    std::string Name() const;
    QLineEdit *NameField() const { return name_; }

    void accept() override;

private:
    QLineEdit *name_ = nullptr;
};

// "Edit Teleport": a remembered place's name and location, saved as typed.
class EditTeleportDialog : public QDialog {
    Q_OBJECT

public:
    EditTeleportDialog(const std::string &name, const std::string &location, QWidget *parent = nullptr);

    std::string Name() const;
    std::string Location() const;
    QLineEdit *NameField() const { return name_; }
    QLineEdit *LocationField() const { return location_; }

private:
    QLineEdit *name_ = nullptr;
    QLineEdit *location_ = nullptr;
};
