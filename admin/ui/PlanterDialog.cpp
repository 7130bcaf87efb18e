#include "admin/ui/PlanterDialog.h"

#include "admin/ObjectBuilding.h"
#include "controls/InputLimit.h"
#include "sdk/Attributes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PlanterDialog::PlanterDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent)
    : QDialog(parent), sdk_(sdk), writeLine_(std::move(writeLine)), prompt_(this) {
    setWindowTitle(QString::fromUtf8(ObjectText::PlanterTitle));
    auto *form = new QFormLayout;
    coordinates_ = new QLineEdit(this);
    coordinates_->setObjectName(QStringLiteral("coordinates"));
    form->addRow(QStringLiteral("Object Coordinates:"), coordinates_);
    form->addRow(QString(), new QLabel(QString::fromUtf8(ObjectText::PlanterHint), this));
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    InputLimit::Attach(name_, {static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes},
                       QStringLiteral("Object Name"));
    form->addRow(QStringLiteral("Object Name:"), name_);
    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("description"));
    InputLimit::Attach(description_, {static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes},
                       QStringLiteral("Object description"));
    form->addRow(QStringLiteral("Object description:"), description_);

    build_ = new QPushButton(QStringLiteral("Build it!"), this);
    build_->setObjectName(QStringLiteral("build"));
    build_->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(build_, &QPushButton::clicked, this, &PlanterDialog::BuildPressed);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(build_);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void PlanterDialog::BuildPressed() {
    build_->setEnabled(false);
    if (PlantObject(sdk_, prompt_, writeLine_, S(coordinates_->text()), S(name_->text()), S(description_->text()))) {
        accept();
    } else {
        build_->setEnabled(true);
    }
}
