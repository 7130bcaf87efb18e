#include "chat/ui/ChatView.h"

#include "controls/ReadableColour.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

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
    if (!cache_.StepRows(id, row, rows) && rows > 0) {
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
