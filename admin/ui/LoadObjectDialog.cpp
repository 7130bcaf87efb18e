#include "admin/ui/LoadObjectDialog.h"

#include "admin/ObjectBuilding.h"
#include "controls/DateField.h"
#include "controls/InputLimit.h"
#include "sdk/Attributes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {
constexpr int kOwnerLength = 10; // every citizen number fits
} // namespace

LoadObjectDialog::LoadObjectDialog(AdminSdk &sdk, ChatLineWriter writeLine, QWidget *parent)
    : QDialog(parent), sdk_(sdk), writeLine_(std::move(writeLine)), prompt_(this) {
    setWindowTitle(QStringLiteral("Load Object"));
    auto *intro = new QLabel(QString::fromUtf8(ObjectText::LoaderIntro), this);
    intro->setWordWrap(true);

    auto *form = new QFormLayout;
    date_ = new DateField(this);
    date_->setObjectName(QStringLiteral("date"));
    form->addRow(QStringLiteral("Date:"), date_);
    time_ = new QTimeEdit(QTime::currentTime(), this);
    time_->setObjectName(QStringLiteral("time"));
    time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    form->addRow(QStringLiteral("Time:"), time_);
    const auto addEdit = [this, form](const char *label, const char *name, const char *initial, TextLimit limit,
                                      bool digits) {
        auto *edit = new QLineEdit(QString::fromUtf8(initial), this);
        edit->setObjectName(QString::fromUtf8(name));
        if (digits) { // before the limit, which keeps the validator it finds
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        }
        QString field = QString::fromUtf8(label);
        field.chop(1); // the colon
        InputLimit::Attach(edit, limit, field);
        form->addRow(QString::fromUtf8(label), edit);
        return edit;
    };
    const TextLimit text{static_cast<int>(kMaxStringLength), LimitUnit::Utf8Bytes};
    object_ = addEdit("Object:", "object", "", text, false);
    owner_ = addEdit("Owner:", "owner", ObjectText::DefaultOwner, {kOwnerLength, LimitUnit::Characters}, true);
    location_ = addEdit("Location:", "location", ObjectText::DefaultLocation, text, false);
    description_ = addEdit("Description:", "description", "", text, false);
    action_ = addEdit("Action:", "action", "", text, false);

    auto *build = new QPushButton(QStringLiteral("Build"), this);
    build->setObjectName(QStringLiteral("build"));
    build->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(build, &QPushButton::clicked, this, &LoadObjectDialog::BuildPressed);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(build);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void LoadObjectDialog::BuildPressed() {
    LoadObjectFields fields;
    fields.year = date_->Year();
    fields.month = date_->MonthIndex() + 1;
    fields.day = date_->DayIndex() + 1;
    const QTime time = time_->time();
    fields.hour = time.hour();
    fields.minute = time.minute();
    fields.second = time.second();
    fields.object = S(object_->text());
    fields.owner = S(owner_->text());
    fields.location = S(location_->text());
    fields.description = S(description_->text());
    fields.action = S(action_->text());
    if (BuildLoadedObject(sdk_, prompt_, writeLine_, fields)) {
        accept();
    }
}
