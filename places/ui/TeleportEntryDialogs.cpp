#include "places/ui/TeleportEntryDialogs.h"

#include "controls/FieldWidth.h"
#include "places/TeleportList.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

QDialogButtonBox *Buttons(QDialog *dialog, const QString &okText) {
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(okText);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

RememberLocationDialog::RememberLocationDialog(QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Remember Location"));
    name_ = new QLineEdit;
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Remember this location as:")));
    layout->addWidget(name_);
    layout->addWidget(Buttons(this, QStringLiteral("OK")));
}

std::string RememberLocationDialog::Name() const { return name_->text().toStdString(); }

void RememberLocationDialog::accept() {
    if (name_->text().isEmpty()) {
        QMessageBox::critical(this, QString::fromUtf8(kTeleportListCaption), QString::fromUtf8(kEmptyTeleportNameText));
        return;
    }
    QDialog::accept();
}

EditTeleportDialog::EditTeleportDialog(const std::string &name, const std::string &location, QWidget *parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Edit Teleport"));
    name_ = new QLineEdit;
    location_ = new QLineEdit;
    // The default length limit would cut a long stored text the moment it is shown.
    for (auto [field, text] :
         {std::pair{name_, QString::fromStdString(name)}, std::pair{location_, QString::fromStdString(location)}}) {
        field->setMaxLength(std::max<int>(field->maxLength(), static_cast<int>(text.size())));
        field->setText(text);
        FitWidthToCharacters(field, 32);
    }
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), name_);
    form->addRow(QStringLiteral("Location:"), location_);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Buttons(this, QStringLiteral("Save")));
}

std::string EditTeleportDialog::Name() const { return name_->text().toStdString(); }

std::string EditTeleportDialog::Location() const { return location_->text().toStdString(); }
