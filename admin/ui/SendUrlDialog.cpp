#include "admin/ui/SendUrlDialog.h"

#include "controls/FieldWidth.h"
#include "controls/InputLimit.h"
#include "sdk/Attributes.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SendUrlDialog::SendUrlDialog(AdminSdk &sdk, AdminPerson person, QWidget *parent)
    : QDialog(parent), prompt_(this), logic_(sdk, prompt_, std::move(person)) {
    setWindowTitle(QString::fromUtf8(SendUrlText::Title));
    auto *form = new QFormLayout;
    auto *to = new QLineEdit(Q(logic_.Name()), this);
    to->setObjectName(QStringLiteral("to"));
    to->setReadOnly(true);
    form->addRow(QStringLiteral("To:"), to);
    url_ = new QLineEdit(QString::fromUtf8(SendUrlText::DefaultUrl), this);
    url_->setObjectName(QStringLiteral("url"));
    InputLimit::Attach(url_, {static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes}, QStringLiteral("URL"));
    FitWidthToCharacters(url_, 48);
    form->addRow(QStringLiteral("URL:"), url_);
    to3d_ = new QCheckBox(QStringLiteral("Send to 3D window"), this);
    to3d_->setObjectName(QStringLiteral("to3d"));

    auto *send = new QPushButton(QStringLiteral("&Send"), this);
    send->setObjectName(QStringLiteral("send"));
    send->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    connect(send, &QPushButton::clicked, this, [this] {
        if (logic_.Send(S(url_->text()), to3d_->isChecked())) {
            accept();
        }
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(send);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(to3d_);
    layout->addLayout(buttons);
}
