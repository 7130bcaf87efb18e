#pragma once

#include <QTreeWidget>

// One of the two counters below the Users list: a small one-column list headed "Users" or "Bots" whose one row is
// the count. A pump can bring thousands of arrivals and each change of a row costs the list a new text layout, so
// the shown number follows the count once per pass of the event loop.
class PeopleCounter : public QTreeWidget {
    Q_OBJECT

public:
    explicit PeopleCounter(const QString &title, QWidget *parent = nullptr);

    void SetCount(int count);
    int Count() const { return count_; }
    // The number as it is shown now.
    QString ShownText() const;

private:
    int count_ = 0;
    bool updatePending_ = false;
};
