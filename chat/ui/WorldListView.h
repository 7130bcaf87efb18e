#pragma once

#include "chat/WorldList.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QTreeView>

#include <functional>
#include <string>

// The rows of a WorldList as a two-column model, "Worlds" and "Users".
class WorldListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    WorldListModel(WorldList &list, std::function<QIcon(int status)> icon, QObject *parent = nullptr);

    // The list was rebuilt or re-sorted: show it anew.
    void Refresh();
    // The size of the widest "Users" cell, given as every cell's size hint of that column. The header sizes the
    // column to its contents, and measuring cell by cell costs milliseconds at thousands of worlds.
    void SetUsersCellSize(QSize size) { usersCell_ = size; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    WorldList &list_;
    std::function<QIcon(int)> icon_;
    QIcon icons_[3];
    QSize usersCell_;
};

// The Worlds tab's list: a click on a row enters that world, a click on a header sorts by it.
class WorldListView : public QTreeView {
    Q_OBJECT

public:
    WorldListView(WorldList &list, std::function<QIcon(int status)> icon, QWidget *parent = nullptr);

    void Refresh();
    std::function<void(const std::string &world)> onWorldClicked;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void EnterRow(const QModelIndex &index);

    WorldList &list_;
    WorldListModel model_;
};
