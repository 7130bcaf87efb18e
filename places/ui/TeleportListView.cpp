#include "places/ui/TeleportListView.h"

#include "places/ui/TeleportEntryDialogs.h"
#include "sdk/Attributes.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>

TeleportListModel::TeleportListModel(TeleportList &list, QObject *parent) : QAbstractListModel(parent), list_(list) {}

int TeleportListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.Size());
}

QVariant TeleportListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= list_.Size()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const auto &row = list_.Row(static_cast<std::size_t>(index.row()));
        return QString::fromStdString(role == Qt::DisplayRole ? row.name : row.location);
    }
    return {};
}

QVariant TeleportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("Teleports");
    }
    return {};
}

void TeleportListModel::Load(const std::string &path) {
    beginResetModel();
    list_.Load(path);
    endResetModel();
}

std::optional<std::size_t> TeleportListModel::Remember(const std::string &world, const Position &bot,
                                                       const std::string &name) {
    beginResetModel();
    const auto row = list_.Remember(world, bot, name);
    endResetModel();
    return row;
}

std::optional<std::size_t> TeleportListModel::Edit(std::size_t row, const std::string &location,
                                                   const std::string &name) {
    beginResetModel();
    const auto moved = list_.Edit(row, location, name);
    endResetModel();
    return moved;
}

bool TeleportListModel::Delete(std::size_t row) {
    if (row >= list_.Size()) {
        return false;
    }
    beginRemoveRows(QModelIndex(), static_cast<int>(row), static_cast<int>(row));
    list_.Delete(row);
    endRemoveRows();
    return true;
}

TeleportListView::TeleportListView(TeleportListModel &model, QWidget *parent) : QTreeView(parent), model_(model) {
    setModel(&model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // the list keeps its own order
    header()->setSectionsClickable(false);
    connect(this, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        if (!index.isValid()) {
            return;
        }
        if (const auto target = model_.List().Destination(static_cast<std::size_t>(index.row()))) {
            emit teleportRequested(*target);
        }
    });
}

std::optional<std::size_t> TeleportListView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(rows.first().row());
}

void TeleportListView::EditRow(std::size_t row) {
    if (row >= model_.List().Size()) {
        return;
    }
    const TeleportEntry entry = model_.List().Row(row);
    EditTeleportDialog dialog(entry.name, entry.location, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (const auto moved = model_.Edit(row, dialog.Location(), dialog.Name())) {
        setCurrentIndex(model_.index(static_cast<int>(*moved)));
    }
}

void TeleportListView::DeleteRow(std::size_t row) {
    if (row >= model_.List().Size()) {
        return;
    }
    const QString question = QString::fromStdString(DeleteTeleportQuestion(model_.List().Row(row).name));
    const auto answer = QMessageBox::question(this, QString::fromUtf8(kTeleportListCaption), question,
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        model_.Delete(row);
    }
}

void TeleportListView::contextMenuEvent(QContextMenuEvent *event) {
    const auto row = SelectedRow();
    QMenu menu(this);
    QAction *remember = menu.addAction(QStringLiteral("Remember..."));
    QAction *edit = menu.addAction(QStringLiteral("Edit..."));
    menu.addSeparator();
    QAction *remove = menu.addAction(QStringLiteral("Delete"));
    edit->setEnabled(row.has_value());
    remove->setEnabled(row.has_value());
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == remember) {
        emit rememberRequested();
    } else if (chosen == edit && row) {
        EditRow(*row);
    } else if (chosen == remove && row) {
        DeleteRow(*row);
    }
}

void RememberLocation(QWidget *parent, TeleportListModel &model, PlacesSdk &sdk) {
    RememberLocationDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    model.Remember(sdk.GetString(kAttrWorldName), ReadBotPosition(sdk), dialog.Name());
}
