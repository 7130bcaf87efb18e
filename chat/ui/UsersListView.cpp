#include "chat/ui/UsersListView.h"

#include "chat/People.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>

UsersListView::UsersListView(People &people, QWidget *parent)
    : QTreeView(parent), people_(people), model_(people.Users()) {
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // the rows come sorted
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(this, &QTreeView::clicked, this, &UsersListView::RowClicked);
    SetColumnWidths();
}

void UsersListView::SetColumnWidths() {
    const int width = viewport()->width();
    setColumnWidth(0, 63 * width / 100);
    setColumnWidth(1, 27 * width / 100);
}

void UsersListView::resizeEvent(QResizeEvent *event) {
    QTreeView::resizeEvent(event);
    SetColumnWidths();
}

void UsersListView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) {
    // A list with single selection would move the selection to a neighbour of a row that goes, and the people
    // menu would then act on someone the user never chose: when the chosen person leaves, nothing is chosen.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.parent() == parent && current.row() >= start && current.row() <= end) {
        selectionModel()->clear();
    }
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}

void UsersListView::RowClicked(const QModelIndex &index) {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= people_.Users().Count()) {
        return;
    }
    const UsersRow row = people_.Users().Row(static_cast<std::size_t>(index.row()));
    people_.ChooseWhisperTarget(row.name, row.session);
}

void UsersListView::FillMenu(QMenu &menu, const PeopleMenuState &state) {
    for (std::size_t i = 0; i < kPeopleMenuItems.size(); ++i) {
        const PeopleMenuItem &item = kPeopleMenuItems[i];
        QAction *action = menu.addAction(QString::fromUtf8(item.caption));
        action->setData(item.command);
        action->setEnabled(state.enabled[i]);
        if (item.separatorAfter) {
            menu.addSeparator();
        }
    }
}

void UsersListView::contextMenuEvent(QContextMenuEvent *event) {
    const QModelIndexList selected = selectionModel() ? selectionModel()->selectedRows(0) : QModelIndexList();
    if (selected.isEmpty() || static_cast<std::size_t>(selected.front().row()) >= people_.Users().Count()) {
        event->ignore();
        return;
    }
    const QModelIndex index = selected.front();
    const UsersRow row = people_.Users().Row(static_cast<std::size_t>(index.row()));
    const PeopleMenuState state = people_.OpenMenu(row.name, row.session);

    // From the keyboard the menu opens at the selected row, or at the list's corner when that row is scrolled away.
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect rect = visualRect(index);
        at = viewport()->mapToGlobal(viewport()->rect().intersects(rect) ? rect.bottomLeft() : QPoint(5, 5));
    }
    // The window's pump keeps running while the menu is open, and may even close the window; the menu is held
    // through a guard so neither can leave it dangling.
    QPointer<UsersListView> self(this);
    QPointer<QMenu> menu = new QMenu(window());
    FillMenu(*menu, state);
    QAction *chosen = menu->exec(at);
    if (!self || !menu) {
        if (menu) {
            menu->deleteLater();
        }
        return;
    }
    const int command = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (command != 0 && !people_.RunCommand(command) && onCommand) {
        onCommand(command);
    }
}
