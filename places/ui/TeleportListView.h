#pragma once

#include "places/PlacesSdk.h"
#include "places/Position.h"
#include "places/TeleportList.h"

#include <QAbstractListModel>
#include <QTreeView>

#include <optional>

// The Teleports list as a one-column model ("Teleports") over a TeleportList, in the list's own order.
class TeleportListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TeleportListModel(TeleportList &list, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const TeleportList &List() const { return list_; }

    void Load(const std::string &path);
    std::optional<std::size_t> Remember(const std::string &world, const Position &bot, const std::string &name);
    std::optional<std::size_t> Edit(std::size_t row, const std::string &location, const std::string &name);
    bool Delete(std::size_t row);

private:
    TeleportList &list_;
};

// The Teleports tab: a click on a row asks to teleport there; the context menu offers "Remember...", "Edit..."
// and "Delete" (the last two only over a selected row). Edit and Delete are done here; Remember needs the bot's
// place and goes to the owner.
class TeleportListView : public QTreeView {
    Q_OBJECT

public:
    explicit TeleportListView(TeleportListModel &model, QWidget *parent = nullptr);

    // The row selected now, if any.
    std::optional<std::size_t> SelectedRow() const;

    // What the context menu's commands do, callable without the menu.
    void EditRow(std::size_t row);
    void DeleteRow(std::size_t row);

signals:
    void teleportRequested(const TeleportTarget &target);
    void rememberRequested();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    TeleportListModel &model_;
};

// "&Remember" and "Remember...": asks for a name, then remembers the bot's world and position as they are then.
void RememberLocation(QWidget *parent, TeleportListModel &model, PlacesSdk &sdk);
