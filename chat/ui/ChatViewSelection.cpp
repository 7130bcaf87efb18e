// The chat view's selection: positions in the text, the keyboard and the mouse that move and extend it, copying.
#include "chat/ui/ChatView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextBoundaryFinder>

#include <algorithm>

void ChatView::keyPressEvent(QKeyEvent *event) {
    FlushSync();
    struct Selecting {
        QKeySequence::StandardKey key;
        Move move;
    };
    static const Selecting selecting[] = {
        {QKeySequence::SelectPreviousChar, Move::Left},     {QKeySequence::SelectNextChar, Move::Right},
        {QKeySequence::SelectPreviousWord, Move::WordLeft}, {QKeySequence::SelectNextWord, Move::WordRight},
        {QKeySequence::SelectPreviousLine, Move::Up},       {QKeySequence::SelectNextLine, Move::Down},
        {QKeySequence::SelectPreviousPage, Move::PageUp},   {QKeySequence::SelectNextPage, Move::PageDown},
        {QKeySequence::SelectStartOfLine, Move::RowStart},  {QKeySequence::SelectEndOfLine, Move::RowEnd},
        {QKeySequence::SelectStartOfDocument, Move::Start}, {QKeySequence::SelectEndOfDocument, Move::End},
    };
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    for (const Selecting &s : selecting) {
        if (event->matches(s.key)) {
            MoveCursor(s.move);
            return;
        }
    }
    if (event->matches(QKeySequence::MoveToPreviousLine)) {
        ScrollRows(-1);
    } else if (event->matches(QKeySequence::MoveToNextLine)) {
        ScrollRows(1);
    } else if (event->matches(QKeySequence::MoveToPreviousPage)) {
        ScrollRows(-PageRows());
    } else if (event->matches(QKeySequence::MoveToNextPage)) {
        ScrollRows(PageRows());
    } else if (event->matches(QKeySequence::MoveToStartOfDocument) || event->matches(QKeySequence::MoveToStartOfLine)) {
        ScrollToTop();
    } else if (event->matches(QKeySequence::MoveToEndOfDocument) || event->matches(QKeySequence::MoveToEndOfLine)) {
        ScrollToEnd();
    } else {
        event->ignore();
    }
}

ChatView::Pos ChatView::EndPos() {
    const auto last = cache_.Last();
    if (!last) {
        return {log_.EndLineNumber(), 0};
    }
    return {last->line, cache_.LineLength(last->line)};
}

ChatView::Pos ChatView::StartPos() const {
    const auto first = cache_.First();
    return {first ? first->line : log_.FirstLineNumber(), 0};
}

ChatView::Pos ChatView::Clamp(Pos pos) {
    if (pos.line < log_.FirstLineNumber()) {
        return {log_.FirstLineNumber(), 0};
    }
    if (pos.line >= log_.EndLineNumber()) {
        return EndPos();
    }
    return {pos.line, std::clamp(pos.offset, 0, cache_.LineLength(pos.line))};
}

ChatView::Pos ChatView::HitTest(QPoint point) {
    if (!placedValid_) {
        Relayout();
    }
    if (placed_.empty()) {
        return EndPos();
    }
    int y = std::max(point.y(), placed_.front().y);
    const Placed *hit = &placed_.back();
    for (const Placed &p : placed_) {
        if (y < p.y + p.height) {
            hit = &p;
            break;
        }
    }
    if (y >= hit->y + hit->height) {
        if (hit->id == cache_.Last()) {
            return EndPos(); // below the text
        }
        y = hit->y + hit->height - 1;
    }
    const ChatBlock *block = cache_.Get(hit->id);
    if (!block) {
        return EndPos();
    }
    const qreal local = y - hit->y;
    QTextLine row = block->layout.lineAt(block->layout.lineCount() - 1);
    for (int i = 0; i < block->layout.lineCount(); ++i) {
        const QTextLine candidate = block->layout.lineAt(i);
        if (local < candidate.y() + candidate.height()) {
            row = candidate;
            break;
        }
    }
    return {hit->id.line, block->utf16Begin + row.xToCursor(point.x() - kMargin)};
}

ChatView::Pos ChatView::MovedRows(Pos from, int rows) {
    ChatBlockId id = cache_.BlockAt(from.line, from.offset);
    const ChatBlock *block = cache_.Get(id);
    if (!block) {
        return from;
    }
    const int local = from.offset - block->utf16Begin;
    const QTextLine row = block->RowAt(local);
    if (desiredX_ < 0) {
        desiredX_ = static_cast<int>(row.cursorToX(local));
    }
    int target = row.lineNumber();
    if (!cache_.StepRows(id, target, rows)) {
        return rows < 0 ? StartPos() : EndPos();
    }
    block = cache_.Get(id);
    return {id.line, block->utf16Begin + block->layout.lineAt(target).xToCursor(desiredX_)};
}

ChatView::Pos ChatView::Moved(Pos from, Move move) {
    const ChatBlockId id = cache_.BlockAt(from.line, from.offset);
    const ChatBlock *block = cache_.Get(id);
    if (!block) {
        return from;
    }
    const int local = from.offset - block->utf16Begin;
    const auto mode =
        move == Move::WordLeft || move == Move::WordRight ? QTextLayout::SkipWords : QTextLayout::SkipCharacters;
    switch (move) {
    case Move::Left:
    case Move::WordLeft:
        if (local > 0) {
            return {from.line, block->utf16Begin + block->layout.previousCursorPosition(local, mode)};
        }
        if (id.segment > 0) {
            const ChatBlock *prev = cache_.Get({id.line, id.segment - 1});
            return {from.line,
                    prev->utf16Begin + prev->layout.previousCursorPosition(static_cast<int>(prev->text.size()), mode)};
        }
        if (const auto prev = cache_.Prev({from.line, 0})) {
            return {prev->line, cache_.LineLength(prev->line)};
        }
        return from;
    case Move::Right:
    case Move::WordRight: {
        if (local < block->text.size()) {
            return {from.line, block->utf16Begin + block->layout.nextCursorPosition(local, mode)};
        }
        const auto next = cache_.Next(id);
        if (!next) {
            return from;
        }
        if (next->line == from.line) {
            const ChatBlock *nextBlock = cache_.Get(*next);
            return {from.line, nextBlock->utf16Begin + nextBlock->layout.nextCursorPosition(0, mode)};
        }
        return {next->line, 0};
    }
    case Move::Up:
        return MovedRows(from, -1);
    case Move::Down:
        return MovedRows(from, 1);
    case Move::PageUp:
        return MovedRows(from, -PageRows());
    case Move::PageDown:
        return MovedRows(from, PageRows());
    case Move::RowStart:
        return {from.line, block->utf16Begin + block->RowAt(local).textStart()};
    case Move::RowEnd: {
        const QTextLine row = block->RowAt(local);
        int end = row.textStart() + row.textLength();
        // A wrapped row ends with the blank it broke at; stop before it, on the same row.
        if (row.lineNumber() + 1 < block->layout.lineCount() && end > row.textStart() &&
            block->text.at(end - 1).isSpace()) {
            --end;
        }
        return {from.line, block->utf16Begin + end};
    }
    case Move::Start:
        return StartPos();
    case Move::End:
        return EndPos();
    }
    return from;
}

void ChatView::MoveCursor(Move move) {
    if (log_.LineCount() == 0) {
        return;
    }
    if (!placedValid_) {
        Relayout();
    }
    if (!hasCursor_) {
        // Keyboard selection starts where the reader is looking.
        Pos start = EndPos();
        if (!atEnd_ && !placed_.empty()) {
            const ChatBlock *block = cache_.Get(top_);
            start = {top_.line, block->utf16Begin + block->layout.lineAt(topRow_).textStart()};
        }
        anchor_ = cursor_ = start;
        hasCursor_ = true;
    }
    if (move != Move::Up && move != Move::Down && move != Move::PageUp && move != Move::PageDown) {
        desiredX_ = -1;
    }
    cursor_ = Moved(cursor_, move);
    EnsureVisible(cursor_);
    viewport()->update();
}

void ChatView::EnsureVisible(Pos pos) {
    if (!placedValid_) {
        Relayout();
    }
    const ChatBlockId id = cache_.BlockAt(pos.line, pos.offset);
    const ChatBlock *block = cache_.Get(id);
    if (!block) {
        return;
    }
    const QTextLine row = block->RowAt(pos.offset - block->utf16Begin);
    const int height = viewport()->height();
    bool before = placed_.empty() || id < placed_.front().id;
    for (const Placed &p : placed_) {
        if (p.id == id) {
            const int y = p.y + static_cast<int>(row.y());
            if (y >= 0 && y + row.height() <= height) {
                return;
            }
            before = y < 0;
            break;
        }
    }
    atEnd_ = false;
    top_ = id;
    topRow_ = row.lineNumber();
    if (!before) {
        // Bring the row in at the bottom rather than jumping it to the top.
        cache_.StepRows(top_, topRow_, -PageRows());
    }
    Relayout();
}

void ChatView::mousePressEvent(QMouseEvent *event) {
    FlushSync();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const Pos pos = HitTest(point);
    if (!(event->modifiers() & Qt::ShiftModifier) || !hasCursor_) {
        anchor_ = pos;
    }
    cursor_ = pos;
    hasCursor_ = log_.LineCount() > 0;
    dragging_ = true;
    desiredX_ = -1;
    lastMouse_ = point;
    // A press on a link or a name still starts a selection; only a release without a drag acts on it.
    pressTarget_ = event->modifiers() == Qt::NoModifier ? TargetAt(point) : std::nullopt;
    pressPoint_ = point;
    viewport()->update();
}

void ChatView::mouseMoveEvent(QMouseEvent *event) {
    FlushSync();
    if (!dragging_) {
        ShowHoverCursor(event->position().toPoint());
        return;
    }
    lastMouse_ = event->position().toPoint();
    if (pressTarget_ && (lastMouse_ - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
        pressTarget_.reset();
    }
    cursor_ = HitTest(lastMouse_);
    if (lastMouse_.y() < 0 || lastMouse_.y() >= viewport()->height()) {
        if (!autoScroll_.isActive()) {
            autoScroll_.start();
        }
    } else {
        autoScroll_.stop();
    }
    viewport()->update();
}

void ChatView::mouseReleaseEvent(QMouseEvent *event) {
    FlushSync();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    std::optional<Target> clicked;
    if (dragging_) {
        cursor_ = HitTest(event->position().toPoint());
        dragging_ = false;
        autoScroll_.stop();
        if (pressTarget_ && pressTarget_ == TargetAt(event->position().toPoint())) {
            clicked = pressTarget_;
            cursor_ = anchor_; // a click, not a selection
            viewport()->update();
        }
        CopyToSelectionClipboard();
    }
    pressTarget_.reset();
    if (followAfterDrag_) {
        followAfterDrag_ = false;
        FollowChatEnd();
    }
    if (clicked) {
        Activate(*clicked);
    }
}

void ChatView::mouseDoubleClickEvent(QMouseEvent *event) {
    FlushSync();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    pressTarget_.reset(); // the first click acted already; this one selects a word
    SelectWordAt(HitTest(event->position().toPoint()));
    CopyToSelectionClipboard();
    viewport()->update();
}

void ChatView::SelectWordAt(Pos pos) {
    const ChatBlockId id = cache_.BlockAt(pos.line, pos.offset);
    const ChatBlock *block = cache_.Get(id);
    if (!block) {
        return;
    }
    const int local = pos.offset - block->utf16Begin;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, block->text);
    finder.setPosition(local);
    int begin = local;
    if (!finder.isAtBoundary() || !(finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)) {
        begin = std::max<qsizetype>(0, finder.toPreviousBoundary());
    }
    finder.setPosition(begin);
    qsizetype end = finder.toNextBoundary();
    if (end < 0) {
        end = block->text.size();
    }
    anchor_ = {pos.line, block->utf16Begin + begin};
    cursor_ = {pos.line, block->utf16Begin + static_cast<int>(end)};
    hasCursor_ = true;
}

void ChatView::AutoScroll() {
    FlushSync();
    if (!dragging_) {
        autoScroll_.stop();
        return;
    }
    const int y = lastMouse_.y();
    const int height = viewport()->height();
    const int rows = y < 0 ? -1 + y / 20 : 1 + (y - height) / 20; // faster the further away the mouse is
    ScrollRows(rows);
    cursor_ = HitTest(lastMouse_);
    viewport()->update();
}

void ChatView::contextMenuEvent(QContextMenuEvent *event) {
    FlushSync();
    QMenu menu(this);
    QAction *copy = menu.addAction(tr("&Copy"), this, [this] { Copy(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(HasSelection());
    QAction *all = menu.addAction(tr("Select &All"), this, [this] { SelectAll(); });
    all->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

QString ChatView::SelectedText() const {
    if (!HasSelection()) {
        return {};
    }
    const Pos from = std::min(anchor_, cursor_);
    const Pos to = std::max(anchor_, cursor_);
    QString text;
    // What is copied is what is shown: lines the filter hides are left out.
    bool first = true;
    for (auto line = cache_.ShownLine(from.line, true); line && *line <= to.line;
         line = cache_.ShownLine(*line + 1, true)) {
        const QString whole = cache_.LineText(*line);
        const qsizetype begin = std::min<qsizetype>(*line == from.line ? from.offset : 0, whole.size());
        const qsizetype end = *line == to.line ? std::min<qsizetype>(to.offset, whole.size()) : whole.size();
        if (!first) {
            text += QLatin1Char('\n');
        }
        first = false;
        text += QStringView(whole).mid(begin, std::max<qsizetype>(0, end - begin));
    }
    return text;
}

void ChatView::SelectAll() {
    FlushSync();
    if (log_.LineCount() == 0) {
        return;
    }
    anchor_ = StartPos();
    cursor_ = EndPos();
    hasCursor_ = true;
    CopyToSelectionClipboard();
    viewport()->update();
}

void ChatView::ClearSelection() {
    hasCursor_ = false; // the next keyboard selection starts from what is on screen
    viewport()->update();
}

void ChatView::Copy() const {
    if (HasSelection()) {
        QGuiApplication::clipboard()->setText(SelectedText());
    }
}

void ChatView::CopyToSelectionClipboard() const {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && HasSelection()) {
        clipboard->setText(SelectedText(), QClipboard::Selection);
    }
}
