#include "chat/ui/WorldListView.h"

#include <QHeaderView>
#include <QKeyEvent>

WorldListModel::WorldListModel(WorldList &list, std::function<QIcon(int)> icon, QObject *parent)
    : QAbstractTableModel(parent), list_(list), icon_(std::move(icon)) {
    for (int status = 0; status < 3; ++status) {
        // Images by status: 0 open (status 1), 1 private (status 2), 2 anything else.
        icons_[status] = icon_ ? icon_(status == 0 ? 1 : status == 1 ? 2 : 0) : QIcon();
    }
}

void WorldListModel::Refresh() {
    beginResetModel();
    endResetModel();
}

int WorldListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.Rows().size());
}

int WorldListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant WorldListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(list_.Rows().size())) {
        return {};
    }
    const WorldList::Row &row = list_.Rows()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return index.column() == 0 ? QVariant(QString::fromStdString(row.name)) : QVariant(row.users);
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        return icons_[row.status == 1 ? 0 : row.status == 2 ? 1 : 2];
    }
    return {};
}

QVariant WorldListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == 0 ? QStringLiteral("Worlds") : QStringLiteral("Users");
}

WorldListView::WorldListView(WorldList &list, std::function<QIcon(int)> icon, QWidget *parent)
    : QTreeView(parent), list_(list), model_(list, std::move(icon)) {
    setModel(&model_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        list_.HeaderClicked(section);
        model_.Refresh();
    });
    connect(this, &QTreeView::clicked, this, &WorldListView::EnterRow);
}

void WorldListView::EnterRow(const QModelIndex &index) {
    if (index.isValid() && onWorldClicked && index.row() < static_cast<int>(list_.Rows().size())) {
        onWorldClicked(list_.Rows()[static_cast<std::size_t>(index.row())].name);
    }
}

void WorldListView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        EnterRow(currentIndex());
        return;
    }
    QTreeView::keyPressEvent(event);
}
