#include "admin/ui/TeleportUserDialog.h"

#include "admin/ui/AdminWidgets.h"
#include "controls/FieldWidth.h"
#include "controls/InputLimit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TeleportUserDialog::TeleportUserDialog(AdminSdk &sdk, AdminPerson person, std::string proposedCoordinates,
                                       QWidget *parent)
    : QDialog(parent), logic_(sdk, std::move(person), std::move(proposedCoordinates)) {
    setWindowTitle(QStringLiteral("Teleport User"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Q(logic_.MoveText()), this));
    auto *form = new QFormLayout;
    world_ = new QLineEdit(this);
    world_->setObjectName(QStringLiteral("world"));
    // The limit is for typing: the current world's name, however long, is kept whole.
    InputLimit::Attach(world_, {TeleportUserText::WorldLimit, LimitUnit::Characters}, QStringLiteral("World"));
    world_->setText(Q(logic_.World()));
    form->addRow(QStringLiteral("World:"), world_);
    coordinates_ = new QLineEdit(Q(logic_.Coordinates()), this);
    coordinates_->setObjectName(QStringLiteral("coordinates"));
    FitWidthToCharacters(coordinates_, 28);
    form->addRow(QStringLiteral("Coordinates:"), coordinates_);
    layout->addLayout(form);
    warp_ = new QCheckBox(QStringLiteral("Warp User"), this);
    warp_->setObjectName(QStringLiteral("warp"));
    layout->addWidget(warp_);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        logic_.Ok(S(world_->text()), S(coordinates_->text()), warp_->isChecked());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
