#include "admin/ui/CitizenLookupDialog.h"

#include "admin/ui/AdminWidgets.h"
#include "controls/InputLimit.h"
#include "sdk/Attributes.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {
constexpr int kNumberLength = 10; // every citizen number fits
} // namespace

CitizenLookupDialog::CitizenLookupDialog(AdminSdk &sdk, QWidget *parent) : QDialog(parent), logic_(sdk, *this) {
    setWindowTitle(QStringLiteral("Citizen Database Lookup"));

    auto *byNumber = new QGroupBox(QStringLiteral("Citizen name lookup"), this);
    auto *numberForm = new QFormLayout(byNumber);
    number_ = new QLineEdit(QStringLiteral("0"), byNumber);
    number_->setObjectName(QStringLiteral("number"));
    number_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), number_));
    InputLimit::Attach(number_, {kNumberLength, LimitUnit::Characters}, QStringLiteral("Citizen Number"));
    numberForm->addRow(QStringLiteral("Citizen Number:"), number_);
    nameAnswer_ = new QLineEdit(byNumber);
    nameAnswer_->setObjectName(QStringLiteral("nameAnswer"));
    nameAnswer_->setReadOnly(true);
    numberForm->addRow(nameAnswer_);
    retrieveName_ = new QPushButton(QStringLiteral("Retrieve citizen name"), byNumber);
    retrieveName_->setObjectName(QStringLiteral("retrieveName"));
    retrieveName_->setDefault(true);
    numberForm->addRow(retrieveName_);

    auto *byName = new QGroupBox(QStringLiteral("Citizen number lookup"), this);
    auto *nameForm = new QFormLayout(byName);
    name_ = new QLineEdit(byName);
    name_->setObjectName(QStringLiteral("name"));
    InputLimit::Attach(name_, {static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes},
                       QStringLiteral("Citizen Name"));
    nameForm->addRow(QStringLiteral("Citizen Name:"), name_);
    numberAnswer_ = new QLineEdit(byName);
    numberAnswer_->setObjectName(QStringLiteral("numberAnswer"));
    numberAnswer_->setReadOnly(true);
    nameForm->addRow(numberAnswer_);
    retrieveNumber_ = new QPushButton(QStringLiteral("Retrieve citizen number"), byName);
    retrieveNumber_->setObjectName(QStringLiteral("retrieveNumber"));
    retrieveNumber_->setAutoDefault(false);
    nameForm->addRow(retrieveNumber_);

    connect(retrieveName_, &QPushButton::clicked, this, [this] { logic_.RetrieveName(S(number_->text())); });
    connect(retrieveNumber_, &QPushButton::clicked, this, [this] { logic_.RetrieveNumber(S(name_->text())); });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(byNumber);
    layout->addWidget(byName);
    layout->addWidget(buttons);
}

void CitizenLookupDialog::ShowNameAnswer(const std::string &text) { nameAnswer_->setText(Q(text)); }

void CitizenLookupDialog::ShowNumberAnswer(const std::string &text) { numberAnswer_->setText(Q(text)); }

void CitizenLookupDialog::SetButtonsEnabled(bool enabled) {
    retrieveName_->setEnabled(enabled);
    retrieveNumber_->setEnabled(enabled);
}
