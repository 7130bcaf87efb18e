#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The character format of one run of chat text.
struct ChatFormat {
    std::uint32_t colour = 0; // 0xRRGGBB
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const ChatFormat &) const = default;
};

struct ChatRun {
    std::string_view text;  // UTF-8, never empty
    std::size_t offset = 0; // byte offset of the run within its line
    ChatFormat format;
};

// What a line is, as far as the pane's view filters ask: a line may carry several.
namespace ChatLineFlag {
inline constexpr std::uint8_t AutoAnswer = 1; // the bot's automatic answer to an owner or version question
inline constexpr std::uint8_t Whisper = 2;    // a whisper heard, or one the bot sent
inline constexpr std::uint8_t EnterExit = 4;  // an arrival or a departure
inline constexpr int kCombinations = 8;
} // namespace ChatLineFlag

// Which lines a view shows: none with a flag of hide, and, when only is not 0, only those with a flag of only.
struct ChatLineFilter {
    std::uint8_t hide = 0;
    std::uint8_t only = 0;

    bool Shows(std::uint8_t flags) const { return (flags & hide) == 0 && (only == 0 || (flags & only) != 0); }
    bool ShowsAll() const { return hide == 0 && only == 0; }
    bool operator==(const ChatLineFilter &) const = default;
};

class ChatLine;

// Where lines that leave the log's memory can be read back from (the history). Called on the log's thread.
class ChatLogBacking {
public:
    enum class Kept {
        Stored,  // can be read back
        Pending, // handed over but not yet readable: keep it in memory a while longer
        Never,   // will not be readable: when it leaves memory it leaves the pane
    };
    struct StoredLine {
        std::uint64_t number = 0;
        std::string prefix; // shown black before the text, e.g. the timestamp; may be empty
        ChatFormat format;
        std::uint8_t flags = 0; // ChatLineFlag
        std::string text;       // valid UTF-8, one line
    };

    virtual ~ChatLogBacking() = default;
    virtual Kept LineKept(std::uint64_t number) = 0;
    // The lines numbered first .. first + count - 1 that can be read, in order; missing ones are left out.
    virtual void ReadLines(std::uint64_t first, std::size_t count, std::vector<StoredLine> &out) = 0;
};

// The text of the chat pane: lines of styled runs in a compact store. Text goes into one buffer per chunk of lines,
// a run costs 8 bytes and a line 8 bytes more, so a retained line needs no allocation of its own. Past the line
// limit the oldest lines leave memory, whole chunks at a time. With a backing, a line that leaves memory stays in
// the log when the backing has it, and is read back a page at a time when asked for; without one (or when the
// backing will never have it) it leaves the log. The pages read back count against the line limit: once lines have
// left memory for the backing, memory keeps that many fewer of the newest ones, so the whole stays within the limit
// however long the log grows (a limit below a few pages still allows those few).
class ChatLog {
public:
    static constexpr std::size_t kDefaultLineLimit = 1000000;

    // A limit of 0 keeps every line.
    explicit ChatLog(std::size_t lineLimit = kDefaultLineLimit);
    ~ChatLog();
    ChatLog(const ChatLog &) = delete;
    ChatLog &operator=(const ChatLog &) = delete;

    // Lines that leave memory from now on are read back from backing when it has them; null: they are gone.
    void SetBacking(ChatLogBacking *backing);

    // Appends text in one format. Line breaks inside the text (CR LF, a lone CR or a lone LF) end the current line,
    // as does newline; text without a break continues the current line. The text ends at its first NUL, and bytes
    // that are not UTF-8 are stored as U+FFFD, so everything read back is valid UTF-8.
    // The flags mark every line the text starts or continues.
    void Append(std::string_view text, ChatFormat format, bool newline, std::uint8_t flags = 0);
    void Clear();

    void SetLineLimit(std::size_t lineLimit);
    std::size_t LineLimit() const { return lineLimit_; }

    // The lines before number that are no longer in memory leave the log, as when the backing has lost them; those
    // still in memory stay. Lines already read back are read again when next asked for.
    void ForgetBefore(std::uint64_t number);

    // The lines of the log, oldest first, whether in memory or read back. The last one may still be open (no line
    // break yet). A line read back stays valid until a few pages of other read-back lines have been asked for.
    std::size_t LineCount() const { return static_cast<std::size_t>(EndLineNumber() - shownFirst_); }
    ChatLine Line(std::size_t index) const;
    std::uint8_t LineFlags(std::size_t index) const;

    // The nearest retained line at or after (forward) or at or before number that the filter shows. Chunks with
    // nothing to show are passed whole, so a rare kind of line is found quickly.
    std::optional<std::uint64_t> FindShown(std::uint64_t number, bool forward, ChatLineFilter filter) const;
    // How many retained lines numbered from..to (not included) the filter shows.
    std::uint64_t CountShown(std::uint64_t from, std::uint64_t to, ChatLineFilter filter) const;
    bool LastLineOpen() const { return open_; }

    // Every line ever appended has a number that never changes; Line(0) has FirstLineNumber(). Dropping and
    // clearing raise it, so views can keep positions across both.
    std::uint64_t FirstLineNumber() const { return shownFirst_; }
    std::uint64_t EndLineNumber() const { return firstNumber_ + lineCount_; }
    // The lines held in memory: the newest ones, from MemoryFirstLineNumber() to the end.
    std::size_t MemoryLineCount() const { return lineCount_; }
    std::uint64_t MemoryFirstLineNumber() const { return firstNumber_; }
    // Lines that left the log for good because the line limit was passed and no backing had them.
    std::uint64_t LinesLost() const { return linesLost_; }

    // Bytes held on the heap, and the part of it that is line text.
    std::size_t MemoryBytes() const;
    std::size_t TextBytes() const { return textBytes_; }

private:
    friend class ChatLine;
    struct PackedRun {
        std::uint32_t offset; // within the chunk's text
        std::uint32_t format; // colour in the low 24 bits, then bold, italic, underline
    };
    struct LineStart {
        std::uint32_t text;
        std::uint32_t run;
    };
    struct Chunk {
        std::string text;
        std::vector<PackedRun> runs;
        std::vector<LineStart> lines;
        std::vector<std::uint8_t> flags;                                     // one a line
        std::array<std::uint32_t, ChatLineFlag::kCombinations> flagCounts{}; // lines of each combination
        bool Shows(ChatLineFilter filter) const;
    };
    static constexpr std::size_t kLinesPerChunk = 4096;
    // Lines read back are kept in a few pages, the least recently used going first.
    static constexpr std::size_t kLinesPerPage = 512;
    static constexpr std::size_t kMaxPages = 16;
    static constexpr std::size_t kMinPages = 4; // a screen spanning two pages, and a line held while another is read
    struct Page {
        std::uint64_t first = 0;
        std::uint64_t end = 0; // lines from here on were still in memory when it was read, so it lacks them
        std::uint64_t used = 0;
        Chunk chunk;
    };

    void AppendPiece(std::string_view piece, std::uint32_t format);
    void EndLine();
    void StartLine();
    void TrimMemory();
    std::size_t PagedLineBudget() const;
    std::size_t MaxPages() const;
    std::size_t MemoryLineLimit() const;
    std::size_t HeldLines() const;
    void DropOldest();
    void MarkLast(std::uint8_t flags);
    ChatLine MemoryLine(std::size_t index) const;
    ChatLine PagedLine(std::uint64_t number) const;
    std::optional<std::uint64_t> MemoryFindShown(std::uint64_t number, bool forward, ChatLineFilter filter) const;
    std::uint64_t MemoryCountShown(std::uint64_t from, std::uint64_t to, ChatLineFilter filter) const;
    std::uint8_t PagedFlags(std::uint64_t number) const;
    Chunk &Last() { return chunks_.back(); }

    std::deque<Chunk> chunks_;
    std::size_t frontSkip_ = 0; // dropped lines still stored at the start of the front chunk
    std::size_t lineCount_ = 0;
    std::size_t lineLimit_;
    std::size_t textBytes_ = 0;
    std::size_t lastChunkText_ = 0; // text size of the last full chunk, to size the next one
    std::uint64_t firstNumber_ = 0; // of the first line in memory
    std::uint64_t shownFirst_ = 0;  // of the first line of the log (Line(0))
    std::uint64_t linesLost_ = 0;
    ChatLogBacking *backing_ = nullptr;
    mutable std::vector<std::unique_ptr<Page>> pages_;
    mutable std::uint64_t pageClock_ = 0;
    bool open_ = false;
    std::uint8_t appendFlags_ = 0; // of the text being appended
    std::string scratch_;          // text being made valid UTF-8
};

// A read-only view of one retained line; valid until the log changes.
class ChatLine {
public:
    std::string_view Text() const; // UTF-8 without the line break
    std::size_t RunCount() const { return runEnd_ - runBegin_; }
    ChatRun Run(std::size_t k) const;

private:
    friend class ChatLog;
    ChatLine(const ChatLog::Chunk &chunk, std::size_t index);

    const ChatLog::Chunk *chunk_;
    std::uint32_t textBegin_;
    std::uint32_t textEnd_;
    std::uint32_t runBegin_;
    std::uint32_t runEnd_;
};
