#include "places/ui/ChangeAvatarDialog.h"

#include "controls/InputLimit.h"
#include "places/AvatarTable.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

ChangeAvatarDialog::ChangeAvatarDialog(int currentAvatar, QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Change Avatar"));
    field_ = new QLineEdit(QStringLiteral("0"));
    field_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field_));
    InputLimit::Attach(field_, {10, LimitUnit::Characters}, QStringLiteral("Avatar number"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Current avatar: %1").arg(currentAvatar)));
    layout->addWidget(new QLabel(QStringLiteral("Change to avatar number:")));
    layout->addWidget(field_);
    layout->addWidget(buttons);
}

void ChangeAvatarDialog::accept() {
    const auto number = ParseAvatarNumber(field_->text().toStdString());
    if (!number) {
        QMessageBox::warning(this, windowTitle(), QString::fromUtf8(kEnterIntegerText));
        return;
    }
    number_ = *number;
    QDialog::accept();
}
