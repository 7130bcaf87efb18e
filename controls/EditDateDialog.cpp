#include "controls/EditDateDialog.h"

#include "controls/CalendarMath.h"
#include "controls/DateField.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <limits>

EditDateDialog::EditDateDialog(QWidget *parent) : QDialog(parent) {
    setWindowTitle(tr("Edit Date"));
    date_ = new DateField(this);
    time_ = new QTimeEdit(QTime::currentTime(), this);
    time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));

    auto *fields = new QFormLayout;
    fields->addRow(tr("Date:"), date_);
    fields->addRow(tr("Time:"), time_);

    auto *buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    never_ = buttons->addButton(tr("Never"), QDialogButtonBox::ActionRole);
    cancel_ = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &EditDateDialog::OnOk);
    connect(never_, &QPushButton::clicked, this, [this] {
        expiration_ = 0;
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

QString EditDateDialog::OutOfRangeText() { return tr("The expiry date must lie between 1/1/1970 and 1/18/2038."); }

void EditDateDialog::OnOk() {
    const QTime time = time_->time();
    const auto seconds = LocalSecondsSince1970(date_->Date(), time.hour(), time.minute(), time.second());
    // 0 would read as "Never" and anything earlier as a date in the past century; neither is what was picked.
    if (!seconds || *seconds <= 0 || *seconds > std::numeric_limits<std::int32_t>::max()) {
        QMessageBox::warning(this, windowTitle(), OutOfRangeText());
        return;
    }
    expiration_ = static_cast<std::int32_t>(*seconds);
    accept();
}
