#include "chat/ui/ChatLayoutCache.h"

#include "chat/ChatLog.h"
#include "chat/WebAddresses.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t kKeepBlocks = 384;
constexpr std::size_t kKeepSplits = 64;
constexpr std::size_t kSpaceSearch = 128;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The log holds valid UTF-8: a character takes one UTF-16 unit, two from a four-byte sequence on.
int Utf16Count(std::string_view s) {
    int units = 0;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        units += (b & 0xC0) != 0x80;
        units += b >= 0xF0;
    }
    return units;
}

} // namespace

ChatLayoutCache::ChatLayoutCache(const ChatLog &log) : log_(log) {
    option_.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    linkFormat_.setFontUnderline(true);
}

void ChatLayoutCache::SetLinkColour(const QColor &colour) {
    if (linkFormat_.foreground().color() != colour) {
        linkFormat_.setForeground(colour);
        Invalidate();
    }
}

void ChatLayoutCache::SetFont(const QFont &font) {
    font_ = font;
    Invalidate();
}

void ChatLayoutCache::SetWidth(int width) {
    width = std::max(width, 16);
    if (width != width_) {
        width_ = width;
        Invalidate();
    }
}

void ChatLayoutCache::Invalidate() { blocks_.clear(); }

bool ChatLayoutCache::Retained(std::uint64_t line) const {
    return line >= log_.FirstLineNumber() && line < log_.EndLineNumber();
}

const ChatLayoutCache::Split &ChatLayoutCache::SplitOf(std::uint64_t line) {
    // A line that is gone reads as empty, so a stale position can never reach into the log.
    const std::string_view text = Retained(line) ? log_.Line(line - log_.FirstLineNumber()).Text() : std::string_view();
    if (text.size() <= kSegmentBytes) {
        shortSplit_.bytes = text.size();
        shortSplit_.utf16Length = Utf16Count(text);
        if (shortSplit_.segments.empty()) {
            shortSplit_.segments.push_back({0, 0});
        }
        return shortSplit_;
    }
    auto found = splits_.find(line);
    if (found != splits_.end() && found->second.bytes == text.size()) {
        return found->second;
    }
    if (splits_.size() >= kKeepSplits) {
        splits_.clear();
    }
    // Boundaries depend only on the text before them, so a growing last line keeps its earlier blocks.
    Split split;
    split.bytes = text.size();
    split.segments.push_back({0, 0});
    std::size_t begin = 0;
    int units = 0;
    while (text.size() - begin > kSegmentBytes) {
        std::size_t end = begin + kSegmentBytes;
        while (end > begin + 1 && IsContinuation(text[end])) {
            --end;
        }
        for (std::size_t k = end; k > begin + 1 && k + kSpaceSearch > end; --k) {
            if (text[k - 1] == ' ') {
                end = k;
                break;
            }
        }
        units += Utf16Count(text.substr(begin, end - begin));
        begin = end;
        split.segments.push_back({begin, units});
    }
    split.utf16Length = units + Utf16Count(text.substr(begin));
    return splits_[line] = std::move(split);
}

std::uint32_t ChatLayoutCache::SegmentCount(std::uint64_t line) {
    return static_cast<std::uint32_t>(SplitOf(line).segments.size());
}

int ChatLayoutCache::LineLength(std::uint64_t line) { return SplitOf(line).utf16Length; }

QString ChatLayoutCache::LineText(std::uint64_t line) const {
    if (!Retained(line)) {
        return {};
    }
    const std::string_view text = log_.Line(line - log_.FirstLineNumber()).Text();
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ChatBlockId ChatLayoutCache::BlockAt(std::uint64_t line, int position) {
    const Split &split = SplitOf(line);
    std::uint32_t segment = 0;
    while (segment + 1 < split.segments.size() && split.segments[segment + 1].utf16Begin <= position) {
        ++segment;
    }
    return {line, segment};
}

bool ChatLayoutCache::Shown(std::uint64_t line) const {
    return Retained(line) && filter_.Shows(log_.LineFlags(static_cast<std::size_t>(line - log_.FirstLineNumber())));
}

std::optional<ChatBlockId> ChatLayoutCache::First() const {
    const auto line = log_.FindShown(log_.FirstLineNumber(), true, filter_);
    if (!line) {
        return std::nullopt;
    }
    return ChatBlockId{*line, 0};
}

std::optional<ChatBlockId> ChatLayoutCache::Last() {
    if (log_.LineCount() == 0) {
        return std::nullopt;
    }
    const auto line = log_.FindShown(log_.EndLineNumber() - 1, false, filter_);
    if (!line) {
        return std::nullopt;
    }
    return ChatBlockId{*line, SegmentCount(*line) - 1};
}

std::optional<ChatBlockId> ChatLayoutCache::Next(ChatBlockId id) {
    if (!Retained(id.line)) {
        return id.line < log_.FirstLineNumber() ? First() : std::nullopt;
    }
    if (id.segment + 1 < SegmentCount(id.line)) {
        return ChatBlockId{id.line, id.segment + 1};
    }
    if (const auto line = log_.FindShown(id.line + 1, true, filter_)) {
        return ChatBlockId{*line, 0};
    }
    return std::nullopt;
}

std::optional<ChatBlockId> ChatLayoutCache::Prev(ChatBlockId id) {
    if (!Retained(id.line)) {
        return id.line >= log_.EndLineNumber() ? Last() : std::nullopt;
    }
    if (id.segment > 0) {
        return ChatBlockId{id.line, std::min(id.segment, SegmentCount(id.line)) - 1};
    }
    if (id.line == log_.FirstLineNumber()) {
        return std::nullopt;
    }
    if (const auto line = log_.FindShown(id.line - 1, false, filter_)) {
        return ChatBlockId{*line, SegmentCount(*line) - 1};
    }
    return std::nullopt;
}

ChatBlock *ChatLayoutCache::Get(ChatBlockId id) {
    if (!Retained(id.line)) {
        return nullptr;
    }
    const Split &split = SplitOf(id.line);
    if (id.segment >= split.segments.size()) {
        return nullptr;
    }
    const Segment begin = split.segments[id.segment];
    const std::size_t end =
        id.segment + 1 < split.segments.size() ? split.segments[id.segment + 1].byteBegin : split.bytes;
    std::unique_ptr<ChatBlock> &slot = blocks_[id];
    if (!slot || slot->byteEnd != end) {
        if (!slot) {
            slot = std::make_unique<ChatBlock>();
        }
        slot->id = id;
        Lay(*slot, id.line, begin, end);
    }
    slot->pass = pass_;
    return slot.get();
}

void ChatLayoutCache::EndPass() {
    if (blocks_.size() > kKeepBlocks) {
        std::erase_if(blocks_, [this](const auto &entry) { return entry.second->pass < pass_; });
    }
    ++pass_;
}

const QTextCharFormat &ChatLayoutCache::FormatFor(std::uint32_t colour, bool bold, bool italic, bool underline) {
    const std::uint32_t key = colour | (bold ? 1u << 24 : 0) | (italic ? 1u << 25 : 0) | (underline ? 1u << 26 : 0);
    auto found = formats_.find(key);
    if (found == formats_.end()) {
        QTextCharFormat format;
        format.setForeground(QColor::fromRgb(colour));
        format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(italic);
        // A line that is not underlined keeps the pane font's own underline, if it has one.
        if (underline) {
            format.setFontUnderline(true);
        }
        found = formats_.insert(key, format);
    }
    return *found;
}

void ChatLayoutCache::Lay(ChatBlock &block, std::uint64_t line, const Segment &begin, std::size_t byteEnd) {
    const ChatLine chatLine = log_.Line(line - log_.FirstLineNumber());
    const std::string_view text = chatLine.Text();
    block.byteEnd = byteEnd;
    block.utf16Begin = begin.utf16Begin;
    block.text.clear();

    // The first run reaching into the block; a long line may have many.
    std::size_t lo = 0, hi = chatLine.RunCount();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const ChatRun run = chatLine.Run(mid);
        if (run.offset + run.text.size() <= begin.byteBegin) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    QList<QTextLayout::FormatRange> ranges;
    for (std::size_t k = lo; k < chatLine.RunCount(); ++k) {
        const ChatRun run = chatLine.Run(k);
        const std::size_t from = std::max(run.offset, begin.byteBegin);
        const std::size_t to = std::min(run.offset + run.text.size(), byteEnd);
        if (from >= byteEnd) {
            break;
        }
        const auto start = block.text.size();
        block.text.append(QString::fromUtf8(text.data() + from, static_cast<qsizetype>(to - from)));
        const ChatFormat &f = run.format;
        ranges.append({static_cast<int>(start), static_cast<int>(block.text.size() - start),
                       FormatFor(f.colour, f.bold, f.italic, f.underline)});
    }

    // Addresses are found in the text as shown and drawn over the runs' own formats; the text itself is unchanged.
    block.links.clear();
    const std::u16string_view shown(reinterpret_cast<const char16_t *>(block.text.utf16()),
                                    static_cast<std::size_t>(block.text.size()));
    for (const WebAddressSpan &span : FindWebAddresses(shown)) {
        block.links.push_back({static_cast<int>(span.begin), static_cast<int>(span.end)});
        ranges.append({static_cast<int>(span.begin), static_cast<int>(span.end - span.begin), linkFormat_});
    }

    QTextLayout &layout = block.layout;
    layout.setText(block.text);
    layout.setFont(font_);
    layout.setTextOption(option_);
    layout.setFormats(ranges);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine row = layout.createLine();
        if (!row.isValid()) {
            break;
        }
        row.setLineWidth(width_);
        row.setPosition(QPointF(0, y));
        y += row.height();
    }
    layout.endLayout();
    block.height = std::max(1, static_cast<int>(std::ceil(y)));
}

QTextLine ChatBlock::RowAt(int local) const {
    QTextLine row = layout.lineForTextPosition(local);
    return row.isValid() ? row : layout.lineAt(layout.lineCount() - 1);
}

bool ChatLayoutCache::StepRows(ChatBlockId &id, int &row, int rows) {
    ChatBlock *block = Get(id);
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
        const auto next = Next(id);
        ChatBlock *nextBlock = next ? Get(*next) : nullptr;
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
        const auto prev = Prev(id);
        ChatBlock *prevBlock = prev ? Get(*prev) : nullptr;
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
