#include "chat/ui/UsersListModel.h"

UsersListModel::UsersListModel(UsersList &list, QObject *parent) : QAbstractTableModel(parent), list_(list) {
    list_.SetObserver(this);
}

UsersListModel::~UsersListModel() { list_.SetObserver(nullptr); }

int UsersListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.Count());
}

int UsersListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant UsersListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= list_.Count()) {
        return {};
    }
    const UsersRow &row = list_.Row(static_cast<std::size_t>(index.row()));
    if (role == Qt::DisplayRole) {
        if (index.column() == 0) {
            return QString::fromStdString(row.name);
        }
        return row.muted ? QStringLiteral("Yes") : QString();
    }
    if (role == SessionRole) {
        return row.session;
    }
    return {};
}

QVariant UsersListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == 0 ? QStringLiteral("Users") : QStringLiteral("Muted");
}

void UsersListModel::BeginInsertRow(std::size_t row) {
    beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
}

void UsersListModel::EndInsertRow() { endInsertRows(); }

void UsersListModel::BeginRemoveRow(std::size_t row) {
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void UsersListModel::EndRemoveRow() { endRemoveRows(); }

void UsersListModel::MutedChanged(std::size_t row) {
    const QModelIndex cell = index(static_cast<int>(row), 1);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void UsersListModel::BeginReset() { beginResetModel(); }

void UsersListModel::EndReset() { endResetModel(); }
