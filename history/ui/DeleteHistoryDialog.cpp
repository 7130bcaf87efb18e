#include "history/ui/DeleteHistoryDialog.h"

#include "history/cli/UtcTime.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

DeleteHistoryDialog::DeleteHistoryDialog(const QString &from, const QString &to, QWidget *parent) : QDialog(parent) {
    setWindowTitle(tr("Delete History"));
    everything_ = new QRadioButton(tr("&Everything"), this);
    dates_ = new QRadioButton(tr("&Lines and visits in these days (UTC):"), this);
    from_ = new QLineEdit(from, this);
    to_ = new QLineEdit(to, this);
    for (QLineEdit *edit : {from_, to_})
        edit->setPlaceholderText(tr("YYYY-MM-DD"));
    (from.isEmpty() && to.isEmpty() ? everything_ : dates_)->setChecked(true);
    problem_ = new QLabel(this);
    problem_->setTextFormat(Qt::PlainText);
    auto *form = new QFormLayout;
    form->addRow(tr("&From:"), from_);
    form->addRow(tr("&To:"), to_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Delete..."));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        tr("The chat pane keeps the lines it holds in memory; older lines up to the last one deleted leave it."),
        this));
    layout->addWidget(everything_);
    layout->addWidget(dates_);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    const auto enable = [this] {
        from_->setEnabled(dates_->isChecked());
        to_->setEnabled(dates_->isChecked());
    };
    connect(dates_, &QRadioButton::toggled, this, enable);
    enable();
    connect(buttons, &QDialogButtonBox::accepted, this, &DeleteHistoryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DeleteHistoryDialog::reject);
}

void DeleteHistoryDialog::accept() {
    choice_ = {};
    if (dates_->isChecked()) {
        // Both ends are needed: a range open at one end would be everything before or after a day by mistake.
        const auto from = ParseUtc(from_->text().trimmed().toStdString(), false);
        const auto to = ParseUtc(to_->text().trimmed().toStdString(), true);
        if (!from || !to) {
            problem_->setText(tr("Write both days as YYYY-MM-DD."));
            return;
        }
        if (*from >= *to) {
            problem_->setText(tr("The range ends before it begins."));
            return;
        }
        choice_ = {false, *from, *to};
    }
    QDialog::accept();
}
