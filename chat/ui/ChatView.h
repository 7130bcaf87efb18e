#pragma once

#include "chat/ChatPane.h"
#include "chat/ui/ChatLayoutCache.h"
#include "chat/ui/ChatViewMarker.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

class QUrl;

// The chat pane on screen: a read-only view over the chat log that lays out only what it shows, so its cost does
// not grow with the number of lines kept. However many lines arrive, it repaints once per pass of the event loop.
// Scrolling is by wrapped rows; the scroll bar counts lines.
class ChatView : public QAbstractScrollArea, public ChatPaneView {
    Q_OBJECT
public:
    explicit ChatView(const ChatLog &log, QWidget *parent = nullptr);
    // Shows the pane's log and is the pane's view until destroyed.
    explicit ChatView(ChatPane &pane, QWidget *parent = nullptr);
    ~ChatView() override;

    void SetBackgroundColour(const QColor &colour);
    QColor BackgroundColour() const { return background_; }
    // The face and size of all text; the runs add only colour and emphasis.
    void SetDefaultFont(const QFont &font) { setFont(font); }

    void ChatChanged() override;
    void FollowChatEnd() override;

    // Whether the view shows the end of the log and stays there.
    bool IsAtEnd() const { return atEnd_; }
    // Off (the default): every new line brings the view back to the end. On: a view the user scrolled away from
    // the end stays where it is and counts the lines that arrive below, until the user returns to the end.
    void SetStayWhereScrolled(bool stay);
    bool StaysWhereScrolled() const { return stayWhereScrolled_; }
    // Lines that arrived below since the user scrolled away from the end; 0 while following the end.
    std::uint64_t NewLinesBelow() const;
    const ChatViewMarker *NewLinesMarker() const { return marker_; }
    // Which lines are shown; the log keeps them all.
    void SetFilter(ChatLineFilter filter);
    ChatLineFilter Filter() const { return cache_.Filter(); }
    // Puts the line with this index (0 = oldest retained) at the top.
    void ScrollToLine(std::size_t index);
    // The index of the first line shown, at least partly.
    std::size_t TopLineIndex() const;

    // Opens a web address that was clicked; false when that failed, which the pane then says. The desktop's own
    // handler unless replaced.
    std::function<bool(const QUrl &)> openLink;
    // The length in bytes of a present person's name that begins a line's text (after its timestamp), 0 for none.
    // Such a name can be clicked: onNameClicked then gets the same text.
    std::function<std::size_t(std::string_view text)> presentNameAt;
    std::function<void(std::string_view text)> onNameClicked;

    bool HasSelection() const { return hasCursor_ && anchor_ != cursor_; }
    QString SelectedText() const;
    void SelectAll();
    void ClearSelection();
    void Copy() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int, int) override {}

private:
    static constexpr int kMargin = 4;

    // A place in the text: a line number and a UTF-16 position within the line.
    struct Pos {
        std::uint64_t line = 0;
        int offset = 0;
        auto operator<=>(const Pos &) const = default;
    };
    struct Placed {
        ChatBlockId id;
        int y;
        int height;
        std::size_t byteEnd;
    };
    // What a click without a drag acts on: a web address, or a name at a line's start.
    struct Target {
        enum class Kind { Link, Name } kind;
        std::uint64_t line;
        int begin; // UTF-16 positions in the line
        int end;
        QString text;
        bool operator==(const Target &) const = default;
    };
    enum class Move { Left, Right, WordLeft, WordRight, Up, Down, PageUp, PageDown, RowStart, RowEnd, Start, End };

    void ApplyLinkColour();
    void FlushSync();
    void Sync();
    void ScheduleSync();
    bool ScrollPixels(const std::vector<Placed> &before);
    void Relayout();
    bool PlaceFromEnd(std::vector<Placed> &placed);
    void PlaceFromTop();
    void UpdateScrollBar();
    void OnScrollBarValue(int value);
    void ScrollRows(int rows);
    void ScrollToTop();
    void ScrollToEnd();
    int PageRows() const;
    void UpdateMarker();

    Pos HitTest(QPoint point);
    Pos EndPos();
    Pos StartPos() const;
    Pos Clamp(Pos pos);
    Pos Moved(Pos from, Move move);
    Pos MovedRows(Pos from, int rows);
    void MoveCursor(Move move);
    void EnsureVisible(Pos pos);
    void SelectWordAt(Pos pos);
    void AutoScroll();
    void CopyToSelectionClipboard() const;
    std::optional<Target> TargetAt(QPoint point);
    std::optional<Target> NameAt(std::uint64_t line, int position);
    void Activate(const Target &target);
    void ShowHoverCursor(QPoint point);

    const ChatLog &log_;
    ChatPane *pane_ = nullptr;
    ChatLayoutCache cache_;
    QColor background_ = Qt::white;

    bool atEnd_ = true;
    bool stayWhereScrolled_ = false;
    std::uint64_t seenEnd_ = 0; // the log's end line number when the view last showed the end
    ChatViewMarker *marker_ = nullptr;
    ChatBlockId top_; // the first block shown when not at the end, and its first row shown
    int topRow_ = 0;
    std::vector<Placed> placed_;
    bool placedValid_ = false;
    int maxTop_ = 0; // scroll bar value at the end
    bool settingScrollBar_ = false;
    bool syncPending_ = false;
    int wheelRemainder_ = 0;

    Pos anchor_;
    Pos cursor_;
    bool hasCursor_ = false;
    int desiredX_ = -1;
    bool dragging_ = false;
    bool followAfterDrag_ = false;
    QPoint lastMouse_;
    QTimer autoScroll_;
    std::optional<Target> pressTarget_; // pressed on, and not yet dragged away from
    QPoint pressPoint_;
    bool handCursor_ = false;
};
