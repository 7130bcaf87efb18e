#include "history/ui/HistoryFilterFields.h"

#include "history/cli/UtcTime.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit *Field(QHBoxLayout *row, const QString &label, const QString &placeholder, QWidget *parent) {
    auto *edit = new QLineEdit(parent);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    auto *caption = new QLabel(label, parent);
    caption->setBuddy(edit);
    row->addWidget(caption);
    row->addWidget(edit, 1);
    return edit;
}

bool ReadDate(const QLineEdit *edit, bool endOfDay, std::optional<std::int64_t> &out, QString &error) {
    const QString text = edit->text().trimmed();
    if (text.isEmpty())
        return true;
    out = ParseUtc(text.toStdString(), endOfDay);
    if (!out) {
        error = QObject::tr("\"%1\" is not a date: write it as YYYY-MM-DD or YYYY-MM-DD HH:MM (UTC).").arg(text);
        return false;
    }
    return true;
}

} // namespace

HistoryFilterFields::HistoryFilterFields(bool withKind, QWidget *parent) : QWidget(parent) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    world_ = Field(row, tr("&World:"), tr("any"), this);
    person_ = Field(row, tr("&Person:"), tr("anyone"), this);
    if (withKind) {
        kind_ = new QComboBox(this);
        kind_->addItem(tr("any kind"));
        for (int k = 0; k < kLineKindCount; ++k)
            kind_->addItem(QString::fromLatin1(LineKindName(static_cast<LineKind>(k))), k);
        auto *caption = new QLabel(tr("&Kind:"), this);
        caption->setBuddy(kind_);
        row->addWidget(caption);
        row->addWidget(kind_);
    }
    from_ = Field(row, tr("&From:"), tr("YYYY-MM-DD"), this);
    to_ = Field(row, tr("&To:"), tr("YYYY-MM-DD"), this);
    for (QLineEdit *edit : {world_, person_, from_, to_})
        connect(edit, &QLineEdit::returnPressed, this, &HistoryFilterFields::returnPressed);
}

bool HistoryFilterFields::Read(HistoryFilter &filter, QString &error) const {
    filter = {};
    filter.world = world_->text().trimmed().toStdString();
    filter.person = person_->text().trimmed().toStdString();
    if (kind_ && kind_->currentIndex() > 0)
        filter.kind = static_cast<LineKind>(kind_->currentData().toInt());
    // A date alone in To means the whole of that day.
    if (!ReadDate(from_, false, filter.from, error) || !ReadDate(to_, true, filter.to, error))
        return false;
    if (filter.from && filter.to && *filter.from >= *filter.to) {
        error = tr("The range ends before it begins.");
        return false;
    }
    return true;
}
