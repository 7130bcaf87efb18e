#include "login/ui/AttachBotDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

AttachBotDialog::AttachBotDialog(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Attach to a Running Bot"));
    auto *layout = new QFormLayout(this);
    address_ = new QLineEdit(QStringLiteral("127.0.0.1:5871"), this);
    address_->setObjectName(QStringLiteral("attachAddressEdit"));
    layout->addRow(QStringLiteral("Bot address:"), address_);
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("attachPasswordEdit"));
    password_->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("Password:"), password_);
    tls_ = new QCheckBox(QStringLiteral("Encrypted (TLS)"), this);
    tls_->setObjectName(QStringLiteral("attachTlsBox"));
    layout->addRow(QString(), tls_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Attach"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
    password_->setFocus();
}

AttachChoice AttachBotDialog::Choice() const {
    return {address_->text().trimmed().toStdString(), password_->text().toStdString(), tls_->isChecked()};
}
