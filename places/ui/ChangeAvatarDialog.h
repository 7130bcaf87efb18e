#pragma once

#include <QDialog>

class QLineEdit;

// "Change Avatar": the number of the avatar to change to. OK with an empty field or a number beyond 32 bits
// asks for an integer and stays open.
class ChangeAvatarDialog : public QDialog {
    Q_OBJECT

public:
    explicit ChangeAvatarDialog(int currentAvatar, QWidget *parent = nullptr);

    int AvatarNumber() const { return number_; }
    QLineEdit *NumberField() const { return field_; }

    void accept() override;

private:
    QLineEdit *field_ = nullptr;
    int number_ = 0;
};
