#include "history/ui/HistoryLinesModel.h"

#include "history/cli/HistoryExport.h"
#include "history/cli/UtcTime.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QTextLayout>

namespace {

QString Plain(const std::string &text) { return QString::fromStdString(PrintableText(text)); }

} // namespace

void HistoryLinesModel::SetLines(std::vector<HistoryLine> lines, const QList<MatchTerm> &terms) {
    beginResetModel();
    lines_ = std::move(lines);
    terms_ = terms;
    emphasised_ = 0;
    endResetModel();
}

void HistoryLinesModel::AppendLines(std::vector<HistoryLine> lines) {
    if (lines.empty())
        return;
    const int first = static_cast<int>(lines_.size());
    beginInsertRows({}, first, first + static_cast<int>(lines.size()) - 1);
    for (HistoryLine &line : lines)
        lines_.push_back(std::move(line));
    endInsertRows();
}

int HistoryLinesModel::RowOf(std::int64_t id) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

int HistoryLinesModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int HistoryLinesModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant HistoryLinesModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const HistoryLine &line = lines_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case TimeColumn:
            return QString::fromStdString(FormatUtc(line.time));
        case WorldColumn:
            return Plain(line.world);
        case SpeakerColumn:
            return Plain(line.speaker);
        case TextColumn:
            return Plain(line.text);
        default:
            return {};
        }
    }
    if (role == MatchesRole && index.column() == TextColumn && !terms_.isEmpty()) {
        QList<int> flat;
        for (const MatchSpan &span : FindMatches(Plain(line.text), terms_))
            flat << span.start << span.length;
        return QVariant::fromValue(flat);
    }
    if (role == Qt::FontRole && line.id == emphasised_ && emphasised_ != 0) {
        QFont font = QApplication::font();
        font.setBold(true);
        return font;
    }
    return {};
}

QVariant HistoryLinesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn:
        return tr("Time (UTC)");
    case WorldColumn:
        return tr("World");
    case SpeakerColumn:
        return tr("Speaker");
    case TextColumn:
        return tr("Line");
    default:
        return {};
    }
}

void MarkedTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const QList<int> flat = index.data(HistoryLinesModel::MatchesRole).value<QList<int>>();
    if (flat.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's background and focus as usual, then the text laid out with the matches highlighted.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(2, 0, -2, 0);
    QTextLayout layout(text, opt.font);
    QList<QTextLayout::FormatRange> formats;
    for (int i = 0; i + 1 < flat.size(); i += 2) {
        QTextLayout::FormatRange range;
        range.start = flat[i];
        range.length = flat[i + 1];
        range.format.setBackground(QColor(255, 230, 120));
        range.format.setForeground(QColor(Qt::black));
        range.format.setFontWeight(QFont::Bold);
        formats.append(range);
    }
    layout.setFormats(formats);
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    painter->save();
    painter->setClipRect(area);
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const qreal y = area.top() + (area.height() - (line.isValid() ? line.height() : 0)) / 2.0;
    layout.draw(painter, QPointF(area.left(), y));
    painter->restore();
}
