#include "admin/ui/EjectDialog.h"

#include "admin/ui/AdminWidgets.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

EjectDialog::EjectDialog(AdminSdk &sdk, ChatLineWriter writeLine, AdminPerson person, QWidget *parent)
    : QDialog(parent), logic_(sdk, *this, std::move(writeLine), std::move(person)) {
    setWindowTitle(QStringLiteral("Eject"));
    auto *form = new QFormLayout;
    auto *name = new QLineEdit(Q(logic_.Name()), this);
    name->setObjectName(QStringLiteral("name"));
    name->setReadOnly(true);
    form->addRow(QStringLiteral("Eject:"), name);
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("address"));
    address_->setReadOnly(true);
    form->addRow(QStringLiteral("IP:"), address_);

    durations_ = new QButtonGroup(this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    for (int choice = 0; choice < static_cast<int>(EjectText::Durations.size()); ++choice) {
        auto *radio = new QRadioButton(QString::fromUtf8(EjectText::Durations[choice]), this);
        radio->setObjectName(QStringLiteral("duration%1").arg(choice));
        durations_->addButton(radio, choice);
        layout->addWidget(radio);
    }
    durations_->button(0)->setChecked(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        logic_.Ok(durations_->checkedId());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    logic_.Open();
}

void EjectDialog::ShowAddress(const std::string &text) { address_->setText(Q(text)); }
