#include "admin/ui/EjectionDialog.h"

#include "admin/ui/AdminWidgets.h"
#include "controls/EditDateDialog.h"
#include "controls/LimitedTextEdit.h"
#include "sdk/Attributes.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

std::optional<int> AskEditDate(QWidget *parent) {
    EditDateDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Expiration();
}

} // namespace

EjectionDialog::EjectionDialog(AdminSdk &sdk, EjectionDatabase database, QWidget *parent)
    : QDialog(parent), logic_(sdk, *this, database), chooser_(AskEditDate) {
    const bool world = database == EjectionDatabase::World;
    setWindowTitle(QString::fromUtf8(world ? EjectionText::WorldTitle : EjectionText::UniverseTitle));

    auto *form = new QFormLayout;
    if (world) {
        // No type is chosen at opening; none counts as an IP address.
        types_ = new QButtonGroup(this);
        auto *typeRow = new QHBoxLayout;
        const char *labels[] = {"IP Address", "Computer ID", "Citizen Number"};
        for (int id = 0; id < 3; ++id) {
            auto *radio = new QRadioButton(QString::fromUtf8(labels[id]), this);
            radio->setObjectName(QStringLiteral("type%1").arg(id));
            types_->addButton(radio, id);
            typeRow->addWidget(radio);
        }
        form->addRow(QStringLiteral("Type:"), typeRow);
    }
    value_ = new QLineEdit(this);
    value_->setObjectName(QStringLiteral("value"));
    QPushButton *lookup = Button("Lookup", "lookup");
    lookup->setDefault(true);
    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(value_);
    valueRow->addWidget(lookup);
    form->addRow(world ? QStringLiteral("Value:") : QStringLiteral("Address:"), valueRow);

    // The world dialog's comment takes a fixed number of characters while typing; a longer comment a look-up
    // shows stays whole, and is sent whole, up to what the server takes.
    const TextLimit commentLimit =
        world ? TextLimit{EjectionLogic::kWorldCommentLimit, LimitUnit::Characters}
              : TextLimit{static_cast<int>(AttributeMaxLength(kAttrEjectionComment)), LimitUnit::Utf8Bytes};
    comment_ = new LimitedTextEdit(commentLimit, QStringLiteral("Comments"), this);
    comment_->setObjectName(QStringLiteral("comment"));
    comment_->setTabChangesFocus(true);
    comment_->setMaximumHeight(comment_->fontMetrics().lineSpacing() * 4);
    form->addRow(QStringLiteral("Comments:"), comment_);

    created_ = new QLineEdit(this);
    created_->setObjectName(QStringLiteral("created"));
    created_->setReadOnly(true);
    form->addRow(QStringLiteral("Created:"), created_);
    expires_ = new QLineEdit(this);
    expires_->setObjectName(QStringLiteral("expires"));
    expires_->setReadOnly(true);
    QPushButton *changeExpiry = Button("Change", "changeExpiry");
    auto *expiresRow = new QHBoxLayout;
    expiresRow->addWidget(expires_);
    expiresRow->addWidget(changeExpiry);
    form->addRow(QStringLiteral("Expires:"), expiresRow);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));

    auto *buttons = new QHBoxLayout;
    QPushButton *previous = Button("Previous", "previous");
    QPushButton *next = Button("Next", "next");
    QPushButton *add = Button("Add", "add");
    QPushButton *remove = Button("Delete", "delete");
    QPushButton *change = Button("Change", "change");
    QPushButton *close = Button("Close", "close");
    for (QPushButton *button : {previous, next, add, remove, change, close}) {
        buttons->addWidget(button);
    }

    connect(lookup, &QPushButton::clicked, this, [this] { logic_.Lookup(ReadFields()); });
    connect(next, &QPushButton::clicked, this, [this] { logic_.Next(ReadFields()); });
    connect(previous, &QPushButton::clicked, this, [this] { logic_.Previous(ReadFields()); });
    connect(add, &QPushButton::clicked, this, [this] { logic_.Add(ReadFields()); });
    connect(change, &QPushButton::clicked, this, [this] { logic_.Change(ReadFields()); });
    connect(remove, &QPushButton::clicked, this, [this] { logic_.Delete(ReadFields()); });
    connect(changeExpiry, &QPushButton::clicked, this, &EjectionDialog::ChangeExpiry);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    logic_.Open();
    comment_->setEnabled(logic_.CommentsEnabled());
}

QPushButton *EjectionDialog::Button(const char *text, const char *name) {
    auto *button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

void EjectionDialog::ShowStatus(const std::string &text) { status_->setText(Q(text)); }

void EjectionDialog::ShowFields(const EjectionFields &fields) {
    if (types_) {
        if (QAbstractButton *radio = types_->button(fields.type)) {
            radio->setChecked(true);
        }
    }
    value_->setText(Q(fields.value));
    comment_->setPlainText(Q(fields.comment));
    created_->setText(Q(fields.created));
    expires_->setText(Q(fields.expires));
}

EjectionFields EjectionDialog::ReadFields() const {
    EjectionFields fields;
    fields.type = types_ ? types_->checkedId() : kEjectionNoType;
    fields.value = S(value_->text());
    fields.comment = S(comment_->toPlainText());
    fields.created = S(created_->text());
    fields.expires = S(expires_->text());
    return fields;
}

void EjectionDialog::ChangeExpiry() {
    if (const std::optional<int> expiry = chooser_(this)) {
        logic_.SetExpiration(ReadFields(), *expiry);
    }
}
