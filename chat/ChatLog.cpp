#include "chat/ChatLog.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint32_t kBold = 1u << 24;
constexpr std::uint32_t kItalic = 1u << 25;
constexpr std::uint32_t kUnderline = 1u << 26;

std::uint32_t Pack(const ChatFormat &f) {
    return (f.colour & 0xFFFFFFu) | (f.bold ? kBold : 0) | (f.italic ? kItalic : 0) | (f.underline ? kUnderline : 0);
}

ChatFormat Unpack(std::uint32_t packed) {
    return {packed & 0xFFFFFFu, (packed & kBold) != 0, (packed & kItalic) != 0, (packed & kUnderline) != 0};
}

bool IsAscii(std::string_view s) {
    const char *p = s.data();
    std::size_t n = s.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) {
            return false;
        }
    }
    for (; n > 0; ++p, --n) {
        if (static_cast<unsigned char>(*p) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 with bad set to the length of its longest valid prefix
// (at least 1), so that one U+FFFD replaces each maximal ill-formed part.
std::size_t SequenceLength(std::string_view s, std::size_t i, std::size_t &bad) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t need;
    unsigned char low = 0x80, high = 0xBF;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        bad = 1;
        return 0;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        const bool ok =
            i + k < s.size() && byte(i + k) >= (k == 1 ? low : 0x80) && byte(i + k) <= (k == 1 ? high : 0xBF);
        if (!ok) {
            bad = k;
            return 0;
        }
    }
    return need + 1;
}

void AppendSanitized(std::string &out, std::string_view in) {
    out.clear();
    std::size_t i = 0;
    while (i < in.size()) {
        std::size_t bad = 0;
        const std::size_t n = SequenceLength(in, i, bad);
        if (n > 0) {
            out.append(in.data() + i, n);
            i += n;
        } else {
            out.append("\xEF\xBF\xBD");
            i += bad;
        }
    }
}

// The longest prefix of valid UTF-8 text that has at most limit bytes.
std::size_t CutAtCharacter(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) {
        return s.size();
    }
    while (limit > 0 && (static_cast<unsigned char>(s[limit]) & 0xC0) == 0x80) {
        --limit;
    }
    return limit;
}

} // namespace

ChatLine::ChatLine(const ChatLog::Chunk &chunk, std::size_t index) : chunk_(&chunk) {
    const ChatLog::LineStart &start = chunk.lines[index];
    const bool last = index + 1 == chunk.lines.size();
    textBegin_ = start.text;
    runBegin_ = start.run;
    textEnd_ = last ? static_cast<std::uint32_t>(chunk.text.size()) : chunk.lines[index + 1].text;
    runEnd_ = last ? static_cast<std::uint32_t>(chunk.runs.size()) : chunk.lines[index + 1].run;
}

std::string_view ChatLine::Text() const {
    return std::string_view(chunk_->text).substr(textBegin_, textEnd_ - textBegin_);
}

ChatRun ChatLine::Run(std::size_t k) const {
    const std::size_t r = runBegin_ + k;
    const std::uint32_t begin = chunk_->runs[r].offset;
    const std::uint32_t end = r + 1 < runEnd_ ? chunk_->runs[r + 1].offset : textEnd_;
    return {std::string_view(chunk_->text).substr(begin, end - begin), begin - textBegin_,
            Unpack(chunk_->runs[r].format)};
}

ChatLog::ChatLog(std::size_t lineLimit) : lineLimit_(lineLimit) {}

ChatLog::~ChatLog() = default;

void ChatLog::SetBacking(ChatLogBacking *backing) {
    backing_ = backing;
    pages_.clear();
    if (!backing_) {
        // Nothing outside memory can be read any more.
        shownFirst_ = firstNumber_;
    }
    TrimMemory();
}

void ChatLog::Append(std::string_view text, ChatFormat format, bool newline, std::uint8_t flags) {
    flags &= ChatLineFlag::kCombinations - 1;
    appendFlags_ = flags;
    if (open_ && flags != 0) {
        MarkLast(flags);
    }
    if (const void *nul = std::memchr(text.data(), 0, text.size())) {
        text = text.substr(0, static_cast<std::size_t>(static_cast<const char *>(nul) - text.data()));
    }
    const std::uint32_t packed = Pack(format);
    std::size_t i = 0;
    for (;;) {
        std::size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n') {
            ++j;
        }
        if (j > i) {
            AppendPiece(text.substr(i, j - i), packed);
        }
        if (j == text.size()) {
            break;
        }
        EndLine();
        i = j + 1;
        if (text[j] == '\r' && i < text.size() && text[i] == '\n') {
            ++i;
        }
    }
    if (newline) {
        EndLine();
    }
}

void ChatLog::AppendPiece(std::string_view piece, std::uint32_t format) {
    if (!open_) {
        StartLine();
    }
    if (!IsAscii(piece)) {
        AppendSanitized(scratch_, piece);
        piece = scratch_;
    }
    Chunk &chunk = Last();
    // Offsets are 32-bit; a chunk never holds more than 4 GiB of text, whatever a caller sends.
    const std::size_t room = std::numeric_limits<std::uint32_t>::max() - chunk.text.size();
    piece = piece.substr(0, CutAtCharacter(piece, room));
    if (piece.empty()) {
        return;
    }
    const bool sameRun = chunk.runs.size() > chunk.lines.back().run && chunk.runs.back().format == format;
    if (!sameRun) {
        chunk.runs.push_back({static_cast<std::uint32_t>(chunk.text.size()), format});
    }
    chunk.text.append(piece);
    textBytes_ += piece.size();
}

void ChatLog::StartLine() {
    if (chunks_.empty() || Last().lines.size() == kLinesPerChunk) {
        std::size_t runsHint = 0;
        if (!chunks_.empty()) {
            // The full chunk keeps its size from now on: give back what growth reserved.
            Chunk &full = Last();
            if (full.text.capacity() > full.text.size() + full.text.size() / 8) {
                full.text.shrink_to_fit();
            }
            if (full.runs.capacity() > full.runs.size() + full.runs.size() / 8) {
                full.runs.shrink_to_fit();
            }
            lastChunkText_ = full.text.size();
            runsHint = full.runs.size();
        }
        Chunk &next = chunks_.emplace_back();
        next.lines.reserve(kLinesPerChunk);
        next.flags.reserve(kLinesPerChunk);
        next.text.reserve(lastChunkText_ + lastChunkText_ / 32);
        next.runs.reserve(runsHint + runsHint / 32);
    }
    Chunk &chunk = Last();
    chunk.lines.push_back(
        {static_cast<std::uint32_t>(chunk.text.size()), static_cast<std::uint32_t>(chunk.runs.size())});
    chunk.flags.push_back(appendFlags_);
    ++chunk.flagCounts[appendFlags_];
    ++lineCount_;
    open_ = true;
    TrimMemory();
}

// Whole pages, at most half the limit, so that memory still keeps most of the newest lines.
std::size_t ChatLog::PagedLineBudget() const {
    return std::min(kMaxPages, lineLimit_ / 2 / kLinesPerPage) * kLinesPerPage;
}

std::size_t ChatLog::MaxPages() const { return std::max(kMinPages, PagedLineBudget() / kLinesPerPage); }

std::size_t ChatLog::MemoryLineLimit() const {
    // Until a line has left memory for the backing nothing is read back, and memory may hold the whole limit.
    return shownFirst_ < firstNumber_ ? lineLimit_ - PagedLineBudget() : lineLimit_;
}

std::size_t ChatLog::HeldLines() const {
    // Lines dropped from the front chunk keep their room until the whole chunk goes. Once lines are read back they
    // count too, as long as the limit spans enough chunks that letting a whole one go leaves memory most of its lines.
    const bool counted = shownFirst_ < firstNumber_ && chunks_.size() > 1 && lineLimit_ >= 4 * kLinesPerChunk;
    return lineCount_ + (counted ? frontSkip_ : 0);
}

void ChatLog::TrimMemory() {
    while (lineLimit_ != 0 && HeldLines() > MemoryLineLimit()) {
        const ChatLogBacking::Kept kept = backing_ ? backing_->LineKept(firstNumber_) : ChatLogBacking::Kept::Never;
        if (kept == ChatLogBacking::Kept::Pending) {
            return; // a later append tries again, once the backing has it
        }
        const bool leavesLog = kept == ChatLogBacking::Kept::Never;
        DropOldest();
        if (leavesLog) {
            // Lines are shown without gaps: whatever is older leaves with it.
            linesLost_ += firstNumber_ - shownFirst_;
            shownFirst_ = firstNumber_;
            pages_.clear();
        }
    }
}

void ChatLog::MarkLast(std::uint8_t flags) {
    Chunk &chunk = Last();
    std::uint8_t &line = chunk.flags.back();
    --chunk.flagCounts[line];
    line |= flags;
    ++chunk.flagCounts[line];
}

void ChatLog::EndLine() {
    if (!open_) {
        StartLine();
    }
    open_ = false;
}

void ChatLog::DropOldest() {
    textBytes_ -= MemoryLine(0).Text().size();
    ++frontSkip_;
    --lineCount_;
    ++firstNumber_;
    if (frontSkip_ == chunks_.front().lines.size() && chunks_.size() > 1) {
        chunks_.pop_front();
        frontSkip_ = 0;
    }
}

void ChatLog::Clear() {
    firstNumber_ += lineCount_;
    shownFirst_ = firstNumber_;
    pages_.clear();
    chunks_.clear();
    chunks_.shrink_to_fit();
    frontSkip_ = 0;
    lineCount_ = 0;
    textBytes_ = 0;
    open_ = false;
}

void ChatLog::SetLineLimit(std::size_t lineLimit) {
    lineLimit_ = lineLimit;
    // A smaller limit allows fewer pages.
    pages_.clear();
    TrimMemory();
}

void ChatLog::ForgetBefore(std::uint64_t number) {
    shownFirst_ = std::max(shownFirst_, std::min(number, firstNumber_));
    pages_.clear();
}

ChatLine ChatLog::Line(std::size_t index) const {
    const std::uint64_t number = shownFirst_ + index;
    return number >= firstNumber_ ? MemoryLine(static_cast<std::size_t>(number - firstNumber_)) : PagedLine(number);
}

ChatLine ChatLog::MemoryLine(std::size_t index) const {
    const std::size_t at = frontSkip_ + index;
    return ChatLine(chunks_[at / kLinesPerChunk], at % kLinesPerChunk);
}

std::uint8_t ChatLog::LineFlags(std::size_t index) const {
    const std::uint64_t number = shownFirst_ + index;
    if (number < firstNumber_) {
        return PagedFlags(number);
    }
    const std::size_t at = frontSkip_ + static_cast<std::size_t>(number - firstNumber_);
    return chunks_[at / kLinesPerChunk].flags[at % kLinesPerChunk];
}

std::uint8_t ChatLog::PagedFlags(std::uint64_t number) const {
    const ChatLine line = PagedLine(number); // brings its page in
    return line.chunk_->flags[static_cast<std::size_t>(number % kLinesPerPage)];
}

namespace {

// Where a search for a shown line starts inside the lines [first, end): a number before them starts a forward search
// at the first, one after them a backward search at the last; a search that would start beyond its end finds nothing.
std::optional<std::uint64_t> SearchStart(std::uint64_t number, std::uint64_t first, std::uint64_t end, bool forward) {
    if (number < first) {
        return forward ? std::optional<std::uint64_t>(first) : std::nullopt;
    }
    if (number >= end) {
        return forward ? std::nullopt : std::optional<std::uint64_t>(end - 1);
    }
    return number;
}

} // namespace

bool ChatLog::Chunk::Shows(ChatLineFilter filter) const {
    for (int combination = 0; combination < ChatLineFlag::kCombinations; ++combination) {
        if (flagCounts[combination] != 0 && filter.Shows(static_cast<std::uint8_t>(combination))) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint64_t> ChatLog::FindShown(std::uint64_t number, bool forward, ChatLineFilter filter) const {
    if (LineCount() == 0) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> start = SearchStart(number, shownFirst_, EndLineNumber(), forward);
    if (!start) {
        return std::nullopt;
    }
    number = *start;
    if (number >= firstNumber_) {
        const std::optional<std::uint64_t> found = MemoryFindShown(number, forward, filter);
        if (found || forward || firstNumber_ == shownFirst_) {
            return found;
        }
        number = firstNumber_ - 1;
    }
    // Lines read back from the backing, one at a time.
    for (;;) {
        if (filter.Shows(PagedFlags(number))) {
            return number;
        }
        if (forward) {
            if (++number == firstNumber_) {
                return MemoryFindShown(number, forward, filter);
            }
        } else if (number-- == shownFirst_) {
            return std::nullopt;
        }
    }
}

std::optional<std::uint64_t> ChatLog::MemoryFindShown(std::uint64_t number, bool forward,
                                                      ChatLineFilter filter) const {
    if (lineCount_ == 0) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> start = SearchStart(number, firstNumber_, EndLineNumber(), forward);
    if (!start) {
        return std::nullopt;
    }
    number = *start;
    // Positions count from the front chunk's first stored line, dropped ones included.
    const std::size_t begin = frontSkip_;
    const std::size_t end = frontSkip_ + lineCount_;
    std::size_t at = begin + static_cast<std::size_t>(number - firstNumber_);
    for (;;) {
        const Chunk &chunk = chunks_[at / kLinesPerChunk];
        if (chunk.Shows(filter)) {
            if (filter.Shows(chunk.flags[at % kLinesPerChunk])) {
                return firstNumber_ + (at - begin);
            }
            if (forward ? ++at == end : at-- == begin) {
                return std::nullopt;
            }
            continue;
        }
        // Nothing here to show: on to the next chunk's first line, or the previous one's last.
        const std::size_t chunkBegin = at / kLinesPerChunk * kLinesPerChunk;
        if (forward) {
            at = chunkBegin + kLinesPerChunk;
            if (at >= end) {
                return std::nullopt;
            }
        } else {
            if (chunkBegin <= begin) {
                return std::nullopt;
            }
            at = chunkBegin - 1;
        }
    }
}

std::uint64_t ChatLog::CountShown(std::uint64_t from, std::uint64_t to, ChatLineFilter filter) const {
    from = std::max(from, shownFirst_);
    to = std::min(to, EndLineNumber());
    if (from >= to) {
        return 0;
    }
    if (filter.ShowsAll()) {
        return to - from;
    }
    std::uint64_t count = 0;
    for (; from < std::min(to, firstNumber_); ++from) {
        count += filter.Shows(PagedFlags(from)) ? 1 : 0;
    }
    return count + MemoryCountShown(from, to, filter);
}

std::uint64_t ChatLog::MemoryCountShown(std::uint64_t from, std::uint64_t to, ChatLineFilter filter) const {
    from = std::max(from, firstNumber_);
    to = std::min(to, EndLineNumber());
    if (from >= to) {
        return 0;
    }
    if (filter.ShowsAll()) {
        return to - from;
    }
    std::uint64_t count = 0;
    std::size_t at = frontSkip_ + static_cast<std::size_t>(from - firstNumber_);
    const std::size_t end = frontSkip_ + static_cast<std::size_t>(to - firstNumber_);
    while (at < end) {
        const Chunk &chunk = chunks_[at / kLinesPerChunk];
        const std::size_t chunkBegin = at / kLinesPerChunk * kLinesPerChunk;
        const std::size_t chunkEnd = std::min(end, chunkBegin + kLinesPerChunk);
        if (at == chunkBegin && chunkEnd - chunkBegin == chunk.lines.size()) {
            // A whole chunk, none of it dropped: its counts say it.
            for (int combination = 0; combination < ChatLineFlag::kCombinations; ++combination) {
                count += filter.Shows(static_cast<std::uint8_t>(combination)) ? chunk.flagCounts[combination] : 0;
            }
        } else {
            for (std::size_t k = at; k < chunkEnd; ++k) {
                count += filter.Shows(chunk.flags[k % kLinesPerChunk]) ? 1 : 0;
            }
        }
        at = chunkEnd;
    }
    return count;
}

ChatLine ChatLog::PagedLine(std::uint64_t number) const {
    const std::uint64_t first = number - number % kLinesPerPage;
    Page *page = nullptr;
    for (const auto &p : pages_) {
        if (p->first == first) {
            page = p.get();
            break;
        }
    }
    // A page read while this line was still in memory lacks it: it is read again.
    if (!page || number >= page->end) {
        if (!page && pages_.size() < MaxPages()) {
            page = pages_.emplace_back(std::make_unique<Page>()).get();
        } else if (!page) {
            page = std::min_element(pages_.begin(), pages_.end(),
                                    [](const auto &a, const auto &b) { return a->used < b->used; })
                       ->get();
        }
        page->first = first;
        page->end = firstNumber_;
        Chunk &chunk = page->chunk;
        chunk = Chunk{};
        chunk.lines.reserve(kLinesPerPage);
        chunk.flags.reserve(kLinesPerPage);
        std::vector<ChatLogBacking::StoredLine> stored;
        if (backing_) {
            backing_->ReadLines(first, kLinesPerPage, stored);
        }
        // Sized once: a page kept with the room growth leaves would cost up to twice its lines.
        std::size_t textBytes = 0, runs = 0;
        for (const ChatLogBacking::StoredLine &line : stored) {
            textBytes += line.prefix.size() + line.text.size();
            runs += (line.prefix.empty() ? 0 : 1) + (line.text.empty() ? 0 : 1);
        }
        chunk.text.reserve(textBytes);
        chunk.runs.reserve(runs);
        std::size_t next = 0;
        const auto run = [&chunk](std::string_view text, const ChatFormat &format) {
            if (!text.empty()) {
                chunk.runs.push_back({static_cast<std::uint32_t>(chunk.text.size()), Pack(format)});
                chunk.text.append(text);
            }
        };
        for (std::uint64_t n = first; n < first + kLinesPerPage; ++n) {
            chunk.lines.push_back(
                {static_cast<std::uint32_t>(chunk.text.size()), static_cast<std::uint32_t>(chunk.runs.size())});
            chunk.flags.push_back(0);
            while (next < stored.size() && stored[next].number < n) {
                ++next;
            }
            // A line the backing no longer has (deleted from the history meanwhile) shows empty.
            if (next < stored.size() && stored[next].number == n) {
                const ChatLogBacking::StoredLine &line = stored[next];
                run(line.prefix, {});
                run(line.text, line.format);
                chunk.flags.back() = line.flags & (ChatLineFlag::kCombinations - 1);
            }
        }
    }
    page->used = ++pageClock_;
    return ChatLine(page->chunk, static_cast<std::size_t>(number - first));
}

std::size_t ChatLog::MemoryBytes() const {
    std::size_t bytes = sizeof(*this) + scratch_.capacity();
    for (const auto &page : pages_) {
        bytes += sizeof(Page) + page->chunk.text.capacity() + page->chunk.runs.capacity() * sizeof(PackedRun) +
                 page->chunk.lines.capacity() * sizeof(LineStart) + page->chunk.flags.capacity();
    }
    for (const Chunk &chunk : chunks_) {
        bytes += sizeof(Chunk) + chunk.text.capacity() + chunk.runs.capacity() * sizeof(PackedRun) +
                 chunk.lines.capacity() * sizeof(LineStart) + chunk.flags.capacity();
    }
    return bytes;
}
