#pragma once

#include "chat/ui/UsersListModel.h"

#include <QTreeView>

#include <functional>

class People;
class QMenu;
struct PeopleMenuState;

// The Users tab's list: names in ascending order with their Muted column. A click on a row makes it the whisper
// target; the right-click menu offers the people commands for the selected row, enabled as the people logic says.
class UsersListView : public QTreeView {
    Q_OBJECT

public:
    explicit UsersListView(People &people, QWidget *parent = nullptr);

    UsersListModel &Model() { return model_; }

    // The menu's commands that other parts of the program run (Eject..., Send URL, Teleport User, Copy, Join and
    // Face Avatar), on the person the menu was opened on; the people logic runs the others itself.
    std::function<void(int command)> onCommand;

    // Fills a menu with the people commands in their order, enabled as given; each action's data is its command.
    static void FillMenu(QMenu &menu, const PeopleMenuState &state);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void RowClicked(const QModelIndex &index);
    void SetColumnWidths();

    People &people_;
    UsersListModel model_;
};
