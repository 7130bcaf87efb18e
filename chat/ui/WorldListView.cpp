#include "chat/ui/WorldListView.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <string>

WorldListModel::WorldListModel(WorldList &list, std::function<QIcon(int)> icon, QObject *parent)
    : QAbstractTableModel(parent), list_(list), icon_(std::move(icon)) {
    for (int status = 0; status < 3; ++status) {
        // Images by status: 0 open (status 1), 1 private (status 2), 2 anything else.
        icons_[status] = icon_ ? icon_(status == 0 ? 1 : status == 1 ? 2 : 0) : QIcon();
    }
}

void WorldListModel::Refresh() {
    beginResetModel();
    usersCell_ = {};
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
    if (role == Qt::SizeHintRole && index.column() == 1 && usersCell_.isValid()) {
        return usersCell_;
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
        Refresh();
    });
    connect(this, &QTreeView::clicked, this, &WorldListView::EnterRow);
}

void WorldListView::Refresh() {
    model_.Refresh();
    // Digits are equally wide in the fonts we meet, so the count with the most characters is the widest cell.
    const auto &rows = list_.Rows();
    int widest = -1;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t length = std::to_string(rows[i].users).size();
        if (length > characters) {
            characters = length;
            widest = static_cast<int>(i);
        }
    }
    if (widest >= 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        model_.SetUsersCellSize(itemDelegate()->sizeHint(option, model_.index(widest, 1)));
    }
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
