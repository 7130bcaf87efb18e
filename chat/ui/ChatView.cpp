#include "chat/ui/ChatView.h"

#include "controls/ReadableColour.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

namespace {

// Walks rows across blocks; false when it stopped early at either end of the log.
bool StepRows(ChatLayoutCache &cache, ChatBlockId &id, int &row, int rows) {
    ChatBlock *block = cache.Get(id);
    if (!block) {
        return false;
    }
    row = std::clamp(row, 0, std::max(0, block->layout.lineCount() - 1));
    while (rows > 0) {
        const int count = block->layout.lineCount();
        if (row + rows < count) {
            row += rows;
            return true;
        }
        rows -= count - row;
        const auto next = cache.Next(id);
        ChatBlock *nextBlock = next ? cache.Get(*next) : nullptr;
        if (!nextBlock) {
            row = count - 1;
            return false;
        }
        id = *next;
        block = nextBlock;
        row = 0;
    }
    while (rows < 0) {
        if (row >= -rows) {
            row += rows;
            return true;
        }
        rows += row + 1;
        const auto prev = cache.Prev(id);
        ChatBlock *prevBlock = prev ? cache.Get(*prev) : nullptr;
        if (!prevBlock) {
            row = 0;
            return false;
        }
        id = *prev;
        block = prevBlock;
        row = block->layout.lineCount() - 1;
    }
    return true;
}

QTextLine RowOf(const ChatBlock &block, int local) {
    QTextLine row = block.layout.lineForTextPosition(local);
    return row.isValid() ? row : block.layout.lineAt(block.layout.lineCount() - 1);
}

} // namespace

ChatView::ChatView(const ChatLog &log, QWidget *parent) : QAbstractScrollArea(parent), log_(log), cache_(log) {
    // Always shown: wrapping that depends on whether the bar is there could otherwise flip it on and off.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setMouseTracking(true); // a hand over what a click opens
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    cache_.SetFont(font());
    ApplyLinkColour();
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ChatView::OnScrollBarValue);
    autoScroll_.setInterval(50);
    connect(&autoScroll_, &QTimer::timeout, this, &ChatView::AutoScroll);
    marker_ = new ChatViewMarker(this);
    connect(marker_, &QPushButton::clicked, this, [this] {
        ScrollToEnd();
        setFocus(Qt::OtherFocusReason);
    });
    seenEnd_ = log_.EndLineNumber();
}

ChatView::ChatView(ChatPane &pane, QWidget *parent) : ChatView(pane.Log(), parent) {
    pane_ = &pane;
    pane.SetView(this);
}

ChatView::~ChatView() {
    if (pane_) {
        pane_->SetView(nullptr);
    }
}

void ChatView::SetBackgroundColour(const QColor &colour) {
    background_ = colour;
    ApplyLinkColour();
    viewport()->update();
}

void ChatView::ApplyLinkColour() {
    // The pane draws on its own background, not the desktop's: a dark desktop's light link colour would vanish on
    // the white pane, so the links take a blue that reads on whatever background the pane has.
    cache_.SetLinkColour(
        ReadableOn(background_, palette().color(QPalette::Link), QColor(0x00, 0x00, 0xEE), QColor(0x8A, 0xB4, 0xF8)));
}

void ChatView::ChatChanged() { ScheduleSync(); }

void ChatView::SetStayWhereScrolled(bool stay) {
    stayWhereScrolled_ = stay;
    if (!stay && !atEnd_ && NewLinesBelow() > 0) {
        ScrollToEnd(); // what the marker held back is what following would have shown
    }
}

std::uint64_t ChatView::NewLinesBelow() const {
    return atEnd_ ? 0 : log_.CountShown(seenEnd_, log_.EndLineNumber(), cache_.Filter());
}

void ChatView::SetFilter(ChatLineFilter filter) {
    if (filter == cache_.Filter()) {
        return;
    }
    FlushSync();
    cache_.SetFilter(filter);
    placedValid_ = false;
    Relayout();
    viewport()->update();
}

void ChatView::FollowChatEnd() {
    if (stayWhereScrolled_ && !atEnd_) {
        ScheduleSync(); // the reader stays; the marker counts what arrived
        return;
    }
    // Jumping away under the mouse would ruin a selection being dragged; follow once the button is released.
    if (dragging_) {
        followAfterDrag_ = true;
        return;
    }
    if (!atEnd_) {
        atEnd_ = true;
        placedValid_ = false;
    }
    ScheduleSync();
}

void ChatView::ScheduleSync() {
    if (!syncPending_) {
        syncPending_ = true;
        QMetaObject::invokeMethod(
            this, [this] { FlushSync(); }, Qt::QueuedConnection);
    }
}

void ChatView::FlushSync() {
    // Input may arrive before the queued update: it must see the log as it is now.
    if (syncPending_) {
        Sync();
    }
}

void ChatView::Sync() {
    syncPending_ = false;
    const bool hadCursor = hasCursor_;
    const Pos anchor = anchor_, cursor = cursor_;
    if (log_.LineCount() == 0) {
        hasCursor_ = false;
    } else if (hasCursor_) {
        const std::uint64_t first = log_.FirstLineNumber();
        if (anchor_.line < first && cursor_.line < first) {
            hasCursor_ = false;
        } else {
            anchor_ = Clamp(anchor_);
            cursor_ = Clamp(cursor_);
        }
    }
    const bool selectionKept = hadCursor == hasCursor_ && anchor == anchor_ && cursor == cursor_;
    const bool mayScroll = placedValid_ && atEnd_ && selectionKept && isVisible();
    // A reader who stays away from the end sees nothing change while lines arrive below.
    const bool mayKeep = placedValid_ && !atEnd_ && selectionKept;
    std::vector<Placed> before;
    if (mayScroll || mayKeep) {
        before = placed_;
    }
    placedValid_ = false;
    if (!isVisible()) {
        viewport()->update();
        return;
    }
    Relayout();
    const auto same = [](const Placed &a, const Placed &b) {
        return a.id == b.id && a.y == b.y && a.height == b.height && a.byteEnd == b.byteEnd;
    };
    if (mayKeep && !atEnd_ && std::equal(before.begin(), before.end(), placed_.begin(), placed_.end(), same)) {
        return;
    }
    if (!(mayScroll && atEnd_ && ScrollPixels(before))) {
        viewport()->update();
    }
}

bool ChatView::ScrollPixels(const std::vector<Placed> &before) {
    // With a few lines arriving at a time most of the screen is only moved up: move its pixels and paint the new
    // rows alone. That holds when the blocks kept are unchanged, moved alike, and all above the new ones.
    std::optional<int> shift;
    int dirtyTop = viewport()->height();
    std::size_t j = 0;
    for (const Placed &now : placed_) {
        while (j < before.size() && before[j].id < now.id) {
            ++j;
        }
        const bool kept = j < before.size() && before[j].id == now.id && before[j].height == now.height &&
                          before[j].byteEnd == now.byteEnd;
        if (!kept) {
            dirtyTop = std::min(dirtyTop, now.y);
            continue;
        }
        if (dirtyTop < viewport()->height() || (shift && *shift != now.y - before[j].y)) {
            return false;
        }
        shift = now.y - before[j].y;
    }
    if (!shift) {
        return false;
    }
    if (*shift != 0) {
        viewport()->scroll(0, *shift);
    }
    if (dirtyTop < viewport()->height()) {
        viewport()->update(0, dirtyTop, viewport()->width(), viewport()->height() - dirtyTop);
    }
    return true;
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

void ChatView::Relayout() {
    cache_.SetWidth(viewport()->width() - 2 * kMargin);
    if (!atEnd_) {
        PlaceFromTop();
    }
    if (atEnd_) {
        PlaceFromEnd(placed_);
        if (!placed_.empty()) {
            top_ = placed_.front().id;
            const ChatBlock *block = cache_.Get(top_);
            topRow_ = 0;
            while (topRow_ + 1 < block->layout.lineCount()) {
                const QTextLine row = block->layout.lineAt(topRow_);
                if (placed_.front().y + row.y() + row.height() > 0) {
                    break;
                }
                ++topRow_;
            }
        }
    }
    placedValid_ = true;
    UpdateScrollBar();
    UpdateMarker();
    cache_.EndPass();
}

void ChatView::UpdateMarker() {
    if (atEnd_) {
        seenEnd_ = log_.EndLineNumber();
    }
    marker_->Show(stayWhereScrolled_ ? NewLinesBelow() : 0, viewport()->geometry());
}

bool ChatView::PlaceFromEnd(std::vector<Placed> &placed) {
    placed.clear();
    int bottom = viewport()->height();
    auto id = cache_.Last();
    while (id && bottom > 0) {
        const ChatBlock *block = cache_.Get(*id);
        if (!block) {
            break;
        }
        bottom -= block->height;
        placed.push_back({*id, bottom, block->height, block->byteEnd});
        id = cache_.Prev(*id);
    }
    std::reverse(placed.begin(), placed.end());
    if (bottom > 0) {
        // Everything fits: start at the top, as a text pane does.
        for (Placed &p : placed) {
            p.y -= bottom;
        }
        return false;
    }
    return true;
}

void ChatView::PlaceFromTop() {
    placed_.clear();
    const auto first = cache_.First();
    if (!first) {
        atEnd_ = true;
        return;
    }
    if (!cache_.Retained(top_.line)) {
        top_ = *first;
        topRow_ = 0;
    } else if (!cache_.Shown(top_.line)) {
        // The line read last is filtered away: show the next one that is not.
        const auto next = cache_.ShownLine(top_.line, true);
        if (!next) {
            atEnd_ = true;
            return;
        }
        top_ = {*next, 0};
        topRow_ = 0;
    }
    top_.segment = std::min(top_.segment, cache_.SegmentCount(top_.line) - 1);
    const ChatBlock *block = cache_.Get(top_);
    topRow_ = std::clamp(topRow_, 0, block->layout.lineCount() - 1);
    int y = -static_cast<int>(block->layout.lineAt(topRow_).y());
    const int height = viewport()->height();
    std::optional<ChatBlockId> id = top_;
    while (id && y < height) {
        block = cache_.Get(*id);
        placed_.push_back({*id, y, block->height, block->byteEnd});
        y += block->height;
        id = cache_.Next(*id);
    }
    if (!id && y < height) {
        atEnd_ = true; // nothing below to fill the rest: that is the end
    }
}

void ChatView::UpdateScrollBar() {
    int maximum = 0;
    int value = 0;
    if (!placed_.empty()) {
        const std::uint64_t first = log_.FirstLineNumber();
        const auto index = [first](std::uint64_t line) {
            return static_cast<int>(std::min<std::uint64_t>(line - first, INT_MAX));
        };
        if (atEnd_) {
            maximum = value = index(placed_.front().id.line);
        } else {
            std::vector<Placed> end;
            PlaceFromEnd(end);
            maximum = end.empty() ? 0 : index(end.front().id.line);
            value = std::min(maximum, index(placed_.front().id.line));
        }
    }
    maxTop_ = maximum;
    QScrollBar *bar = verticalScrollBar();
    settingScrollBar_ = true;
    bar->setRange(0, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(std::max<int>(1, static_cast<int>(placed_.size())));
    bar->setValue(value);
    settingScrollBar_ = false;
}

void ChatView::OnScrollBarValue(int value) {
    if (settingScrollBar_) {
        return;
    }
    FlushSync();
    if (value >= maxTop_) {
        ScrollToEnd();
        return;
    }
    ScrollToLine(static_cast<std::size_t>(value));
}

void ChatView::ScrollToLine(std::size_t index) {
    FlushSync();
    if (index >= log_.LineCount()) {
        ScrollToEnd();
        return;
    }
    atEnd_ = false;
    top_ = {log_.FirstLineNumber() + index, 0};
    topRow_ = 0;
    Relayout();
    viewport()->update();
}

std::size_t ChatView::TopLineIndex() const {
    return placed_.empty() ? 0 : static_cast<std::size_t>(placed_.front().id.line - log_.FirstLineNumber());
}

void ChatView::ScrollToTop() { ScrollToLine(0); }

void ChatView::ScrollToEnd() {
    atEnd_ = true;
    Relayout();
    viewport()->update();
}

void ChatView::ScrollRows(int rows) {
    if (!placedValid_) {
        Relayout();
    }
    if (placed_.empty() || rows == 0 || (atEnd_ && rows > 0)) {
        return;
    }
    ChatBlockId id = top_;
    int row = topRow_;
    if (!StepRows(cache_, id, row, rows) && rows > 0) {
        ScrollToEnd();
        return;
    }
    atEnd_ = false;
    top_ = id;
    topRow_ = row;
    Relayout();
    viewport()->update();
}

int ChatView::PageRows() const { return std::max(1, viewport()->height() / QFontMetrics(font()).lineSpacing() - 1); }

void ChatView::paintEvent(QPaintEvent *event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), background_);
    if (!placedValid_) {
        Relayout();
    }
    const bool selection = HasSelection();
    const Pos from = std::min(anchor_, cursor_);
    const Pos to = std::max(anchor_, cursor_);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const QRectF clip(event->rect());
    for (const Placed &p : placed_) {
        if (p.y + p.height <= clip.top() || p.y >= clip.bottom()) {
            continue;
        }
        ChatBlock *block = cache_.Get(p.id);
        if (!block) {
            continue;
        }
        QList<QTextLayout::FormatRange> selections;
        if (selection && p.id.line >= from.line && p.id.line <= to.line) {
            const int begin = p.id.line == from.line ? from.offset : 0;
            const int end = p.id.line == to.line ? to.offset : INT_MAX;
            const int localBegin = std::max(0, begin - block->utf16Begin);
            const int localEnd = static_cast<int>(std::min<qsizetype>(block->text.size(), end - block->utf16Begin));
            if (localEnd > localBegin) {
                selections.append({localBegin, localEnd - localBegin, selected});
            }
        }
        block->layout.draw(&painter, QPointF(kMargin, p.y), selections, clip);
    }
}

void ChatView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void ChatView::showEvent(QShowEvent *event) {
    QAbstractScrollArea::showEvent(event);
    Relayout();
}

void ChatView::changeEvent(QEvent *event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        cache_.SetFont(font());
        ApplyLinkColour();
        Relayout();
        viewport()->update();
    }
}

bool ChatView::event(QEvent *event) {
    // A window shortcut on the same keys must not take copying away from the pane that has the focus.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

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

void ChatView::wheelEvent(QWheelEvent *event) {
    FlushSync();
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    wheelRemainder_ -= steps * 120;
    if (steps != 0) {
        ScrollRows(-steps * QApplication::wheelScrollLines());
    }
    event->accept();
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
    const QTextLine row = RowOf(*block, local);
    if (desiredX_ < 0) {
        desiredX_ = static_cast<int>(row.cursorToX(local));
    }
    int target = row.lineNumber();
    if (!StepRows(cache_, id, target, rows)) {
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
        return {from.line, block->utf16Begin + RowOf(*block, local).textStart()};
    case Move::RowEnd: {
        const QTextLine row = RowOf(*block, local);
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
    const QTextLine row = RowOf(*block, pos.offset - block->utf16Begin);
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
        StepRows(cache_, top_, topRow_, -PageRows());
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
