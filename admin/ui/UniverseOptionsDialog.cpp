#include "admin/ui/UniverseOptionsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

UniverseOptionsDialog::UniverseOptionsDialog(AdminSdk &sdk, ChatLineWriter writeLine, int loginCitizen, QWidget *parent)
    : QDialog(parent), prompt_(this), logic_(sdk, prompt_, std::move(writeLine), loginCitizen),
      form_(UniverseOptionsLogic::Fields(), this) {
    setWindowTitle(QStringLiteral("Universe Attributes"));
    logic_.Open();
    auto *layout = new QVBoxLayout(this);
    const auto fields = UniverseOptionsLogic::Fields();
    QFormLayout *form = nullptr;
    const char *group = nullptr;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // Rows of one group share a box; ungrouped rows share a plain form.
        const char *rowGroup = UniverseOptionsLogic::Group(i);
        if (!form || std::strcmp(rowGroup, group) != 0) {
            group = rowGroup;
            form = new QFormLayout;
            if (*group != '\0') {
                auto *box = new QGroupBox(QString::fromUtf8(group), this);
                box->setLayout(form);
                layout->addWidget(box);
            } else {
                layout->addLayout(form);
            }
        }
        form_.AddRow(form, i);
        form_.SetEnabled(i, logic_.FieldEnabled(i));
        form_.SetLineBreakSize(i, static_cast<int>(logic_.LineBreakSize(i)));
    }
    form_.Show(logic_.Values());

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    ok->setEnabled(logic_.OkEnabled());
    connect(ok, &QPushButton::clicked, this, &UniverseOptionsDialog::OkPressed);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void UniverseOptionsDialog::OkPressed() {
    if (logic_.Ok(form_.Read())) {
        accept();
    }
}
