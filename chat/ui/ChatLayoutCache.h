#pragma once

#include "chat/ChatLog.h"

#include <QFont>
#include <QHash>
#include <QString>
#include <QTextCharFormat>
#include <QTextLayout>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// A line is laid out as one block, or, when it is very long, as several blocks of a few kilobytes each, so that
// the work for showing part of it stays small however long it is.
struct ChatBlockId {
    std::uint64_t line = 0; // the log's line number
    std::uint32_t segment = 0;

    auto operator<=>(const ChatBlockId &) const = default;
};

struct ChatBlock {
    ChatBlockId id;
    std::size_t byteEnd = 0; // where the block ends within the line's UTF-8, to notice a growing last line
    int utf16Begin = 0;      // the position of the block's first character within the line
    QString text;
    QTextLayout layout;
    int height = 0;
    std::uint64_t pass = 0;
    // The web addresses in the block, as positions in text.
    struct Link {
        int begin;
        int end;
    };
    std::vector<Link> links;

    // The row holding a position within the block (UTF-16 units); past the end, the last row.
    QTextLine RowAt(int local) const;
};

// Lays out only the blocks asked for and keeps those asked for recently.
class ChatLayoutCache {
public:
    static constexpr std::size_t kSegmentBytes = 2048;

    explicit ChatLayoutCache(const ChatLog &log);

    void SetFont(const QFont &font);
    void SetLinkColour(const QColor &colour);
    void SetWidth(int width);
    int Width() const { return width_; }
    void Invalidate();

    // The laid-out block, or nullptr when its line is no longer retained. The pointer stays valid until EndPass.
    ChatBlock *Get(ChatBlockId id);
    // Forgets blocks that were not asked for since the last pass, once there are many.
    void EndPass();

    // Lines the filter hides are passed over by First, Last, Next and Prev.
    void SetFilter(ChatLineFilter filter) { filter_ = filter; }
    ChatLineFilter Filter() const { return filter_; }
    bool Shown(std::uint64_t line) const;
    std::optional<std::uint64_t> ShownLine(std::uint64_t from, bool forward) const {
        return log_.FindShown(from, forward, filter_);
    }

    std::optional<ChatBlockId> First() const;
    std::optional<ChatBlockId> Last();
    std::optional<ChatBlockId> Next(ChatBlockId id);
    std::optional<ChatBlockId> Prev(ChatBlockId id);
    // Moves id and row by rows rows across blocks; false when it stopped early at either end of the log.
    bool StepRows(ChatBlockId &id, int &row, int rows);

    bool Retained(std::uint64_t line) const;
    // The block holding the given position (UTF-16 units into the line).
    ChatBlockId BlockAt(std::uint64_t line, int position);
    // A retained line's length in UTF-16 units, its text as shown, and its number of blocks.
    int LineLength(std::uint64_t line);
    QString LineText(std::uint64_t line) const;
    std::uint32_t SegmentCount(std::uint64_t line);

private:
    struct Segment {
        std::size_t byteBegin;
        int utf16Begin;
    };
    struct Split {
        std::size_t bytes = 0;
        int utf16Length = 0;
        std::vector<Segment> segments;
    };
    struct IdHash {
        std::size_t operator()(const ChatBlockId &id) const noexcept {
            return std::hash<std::uint64_t>()(id.line * 64 + id.segment);
        }
    };

    const Split &SplitOf(std::uint64_t line);
    void Lay(ChatBlock &block, std::uint64_t line, const Segment &begin, std::size_t byteEnd);
    const QTextCharFormat &FormatFor(std::uint32_t colour, bool bold, bool italic, bool underline);

    const ChatLog &log_;
    QFont font_;
    QTextOption option_;
    int width_ = 1;
    std::uint64_t pass_ = 1;
    std::unordered_map<ChatBlockId, std::unique_ptr<ChatBlock>, IdHash> blocks_;
    std::unordered_map<std::uint64_t, Split> splits_; // long lines only
    Split shortSplit_;
    QHash<std::uint32_t, QTextCharFormat> formats_;
    QTextCharFormat linkFormat_;
    ChatLineFilter filter_;
};
