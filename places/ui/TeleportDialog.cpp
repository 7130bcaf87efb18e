#include "places/ui/TeleportDialog.h"

#include "controls/InputLimit.h"
#include "places/Movement.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kTypedWorldLength = 8;

} // namespace

TeleportDialog::TeleportDialog(const std::string &world, const Position &bot, QWidget *parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Teleport"));
    const QString currentWorld = QString::fromStdString(world);
    world_ = new QLineEdit;
    // Typing stops at 8 characters, but a longer current world keeps its whole name: cutting it would send the
    // bot to some other world.
    InputLimit::Attach(world_, {kTypedWorldLength, LimitUnit::Characters}, QStringLiteral("World"));
    world_->setText(currentWorld);
    coordinates_ = new QLineEdit(QString::fromStdString(TeleportPrefill(bot)));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("World:"), world_);
    form->addRow(QStringLiteral("Coordinates:"), coordinates_);
    form->addRow(QString(), new QLabel(QStringLiteral("(e.g. \"40N 50W 2a 180\")")));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

TeleportTarget TeleportDialog::Target() const {
    return ReadTeleportFields(world_->text().toStdString(), coordinates_->text().toStdString());
}
