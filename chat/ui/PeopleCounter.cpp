#include "chat/ui/PeopleCounter.h"

#include <QHeaderView>

PeopleCounter::PeopleCounter(const QString &title, QWidget *parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderLabels({title});
    header()->setSectionsClickable(false);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    addTopLevelItem(new QTreeWidgetItem({QStringLiteral("0")}));
    const int rowHeight = fontMetrics().height() + 6;
    setFixedHeight(header()->sizeHint().height() + rowHeight + 4);
}

void PeopleCounter::SetCount(int count) {
    count_ = count;
    if (updatePending_) {
        return;
    }
    updatePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            updatePending_ = false;
            topLevelItem(0)->setText(0, QString::number(count_));
        },
        Qt::QueuedConnection);
}

QString PeopleCounter::ShownText() const { return topLevelItem(0)->text(0); }
