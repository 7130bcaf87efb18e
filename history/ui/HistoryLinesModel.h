#pragma once

// History lines as a table for the search window's results and context: time (UTC), world, speaker and the line,
// all plain text (other people wrote them), with the search's matches in the line for MarkedTextDelegate to mark.

#include "history/HistoryTypes.h"
#include "history/ui/MatchMarks.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <vector>

class HistoryLinesModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TimeColumn, WorldColumn, SpeakerColumn, TextColumn, ColumnCount };
    static constexpr int MatchesRole = Qt::UserRole + 1; // QList<int>: start, length, start, length, ...

    using QAbstractTableModel::QAbstractTableModel;

    void SetLines(std::vector<HistoryLine> lines, const QList<MatchTerm> &terms);
    void AppendLines(std::vector<HistoryLine> lines);
    // The line shown in bold (the result whose conversation is shown); 0 for none.
    void SetEmphasised(std::int64_t id) { emphasised_ = id; }

    const std::vector<HistoryLine> &Lines() const { return lines_; }
    int RowOf(std::int64_t id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryLine> lines_;
    QList<MatchTerm> terms_;
    std::int64_t emphasised_ = 0;
};

// Paints a cell's plain text with the MatchesRole spans highlighted.
class MarkedTextDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
