#pragma once

#include "chat/UsersList.h"

#include <QAbstractTableModel>

// The Users list as a two-column model, "Users" and "Muted". It passes each change of the rows on as it happens, so
// a view keeps its selection and repaints once after a whole pump of events.
class UsersListModel : public QAbstractTableModel, private UsersListObserver {
    Q_OBJECT

public:
    // Each row carries its avatar's session under this role.
    static constexpr int SessionRole = Qt::UserRole;

    explicit UsersListModel(UsersList &list, QObject *parent = nullptr);
    ~UsersListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void BeginInsertRow(std::size_t row) override;
    void EndInsertRow() override;
    void BeginRemoveRow(std::size_t row) override;
    void EndRemoveRow() override;
    void MutedChanged(std::size_t row) override;
    void BeginReset() override;
    void EndReset() override;

    UsersList &list_;
};
