#include "admin/ui/WorldRightsDialog.h"

#include "admin/AdminText.h"
#include "controls/InputLimit.h"
#include "sdk/Attributes.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

WorldRightsDialog::WorldRightsDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent)
    : QDialog(parent), prompt_(this), logic_(sdk, prompt_, std::move(writeLine)) {
    setWindowTitle(QString::fromUtf8(WorldRightsText::Title));
    logic_.Open();
    auto *form = new QFormLayout;
    const auto fields = WorldRightsLogic::Fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("attr%1").arg(fields[i].attribute));
        InputLimit::Attach(edit, {static_cast<int>(AttributeMaxLength(fields[i].attribute)), LimitUnit::Utf8Bytes},
                           Q(FieldName(fields[i].label)));
        edit->setText(Q(logic_.Texts()[i]));
        edit->setCursorPosition(0);
        edit->setEnabled(logic_.FieldEnabled(i));
        form->addRow(QString::fromUtf8(fields[i].label), edit);
        edits_.push_back(edit);
    }
    auto *build = new QLineEdit(Q(logic_.WorldBuildText()), this);
    build->setObjectName(QStringLiteral("attr%1").arg(kAttrWorldBuildNumber));
    build->setEnabled(false);
    form->addRow(QStringLiteral("World Build:"), build);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    ok->setEnabled(logic_.OkEnabled());
    connect(ok, &QPushButton::clicked, this, &WorldRightsDialog::OkPressed);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(420, sizeHint().height());
}

void WorldRightsDialog::OkPressed() {
    std::vector<std::string> texts;
    for (const QLineEdit *edit : edits_) {
        texts.push_back(S(edit->text()));
    }
    if (logic_.Ok(texts)) {
        accept();
    }
}
