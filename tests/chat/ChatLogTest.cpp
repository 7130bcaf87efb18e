#include "chat/ChatLog.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr ChatFormat kPlain{0x000000, false, false, false};
constexpr ChatFormat kStyled{0x0000FF, true, true, true};

struct Piece {
    std::string text;
    ChatFormat format;
    bool newline;
};

// Lines as text, runs separated by '|'.
std::vector<std::string> Lines(const ChatLog &log) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        const ChatLine line = log.Line(i);
        std::string text;
        for (std::size_t k = 0; k < line.RunCount(); ++k) {
            text += (k ? "|" : "") + std::string(line.Run(k).text);
        }
        lines.push_back(text);
    }
    return lines;
}

struct SplitCase {
    const char *name;
    std::vector<Piece> pieces;
    std::vector<std::string> lines;
    bool open;
};

TEST(ChatLog, SplitsLinesAsAppendedAndKeepsEachRunsFormat) {
    using namespace std::string_literals;
    const SplitCase cases[] = {
        {"one line", {{"abc", kPlain, true}}, {"abc"}, false},
        {"prefix continued on the same line",
         {{"[time] ", kPlain, false}, {"line", kStyled, true}},
         {"[time] |line"},
         false},
        {"text without newline stays open", {{"x", kPlain, false}}, {"x"}, true},
        {"empty text without newline adds nothing", {{"", kPlain, false}}, {}, false},
        {"empty text with newline is an empty line", {{"", kPlain, true}}, {""}, false},
        {"CR LF inside the text", {{"a\r\nb", kPlain, true}}, {"a", "b"}, false},
        {"lone LF and lone CR", {{"a\nb\rc", kPlain, true}}, {"a", "b", "c"}, false},
        {"trailing CR then newline", {{"a\r", kPlain, true}}, {"a", ""}, false},
        {"same format continued merges", {{"ab", kPlain, false}, {"cd", kPlain, true}}, {"abcd"}, false},
        {"text ends at NUL", {{"a\0b"s, kPlain, true}}, {"a"}, false},
        {"invalid UTF-8 becomes U+FFFD", {{"a\xFF\xC3", kPlain, true}}, {"a\xEF\xBF\xBD\xEF\xBF\xBD"}, false},
        {"surrogate code and overlong form rejected",
         {{"\xED\xA0\x80|\xC0\xAF", kPlain, true}},
         {"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD"},
         false},
        {"valid UTF-8 kept",
         {{"Gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", kPlain, true}},
         {"Gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"},
         false},
        {"new line after a closed one", {{"a", kPlain, true}, {"b", kStyled, false}}, {"a", "b"}, true},
    };
    for (const SplitCase &c : cases) {
        ChatLog log;
        for (const Piece &p : c.pieces) {
            log.Append(p.text, p.format, p.newline);
        }
        EXPECT_EQ(Lines(log), c.lines) << c.name;
        EXPECT_EQ(log.LastLineOpen(), c.open) << c.name;
    }
}

TEST(ChatLog, RunsCarryTheirFormatAndOffset) {
    ChatLog log;
    log.Append("[time] ", kPlain, false);
    log.Append("hello", kStyled, true);
    const ChatLine line = log.Line(0);
    ASSERT_EQ(line.RunCount(), 2u);
    EXPECT_EQ(line.Text(), "[time] hello");
    EXPECT_EQ(line.Run(0).format, kPlain);
    EXPECT_EQ(line.Run(1).format, kStyled);
    EXPECT_EQ(line.Run(1).offset, 7u);
    EXPECT_EQ(line.Run(1).text, "hello");
}

TEST(ChatLog, DropsTheOldestLinesBeyondTheLimit) {
    // Sizes on both sides of the store's chunk of lines.
    for (const std::size_t limit : {std::size_t{1}, std::size_t{3}, std::size_t{5000}}) {
        ChatLog log(limit);
        const std::size_t total = 3 * limit + 9000;
        for (std::size_t i = 0; i < total; ++i) {
            log.Append("line " + std::to_string(i), kPlain, true);
        }
        ASSERT_EQ(log.LineCount(), limit) << "limit " << limit;
        EXPECT_EQ(log.FirstLineNumber(), total - limit) << "limit " << limit;
        EXPECT_EQ(log.Line(0).Text(), "line " + std::to_string(total - limit)) << "limit " << limit;
        EXPECT_EQ(log.Line(limit - 1).Text(), "line " + std::to_string(total - 1)) << "limit " << limit;
        EXPECT_LT(log.TextBytes(), limit * 16) << "limit " << limit;
    }
}

TEST(ChatLog, LoweringTheLimitDropsAtOnceAndZeroKeepsEverything) {
    ChatLog log(0);
    for (int i = 0; i < 10000; ++i) {
        log.Append("x", kPlain, true);
    }
    EXPECT_EQ(log.LineCount(), 10000u);
    log.SetLineLimit(10);
    EXPECT_EQ(log.LineCount(), 10u);
    EXPECT_EQ(log.FirstLineNumber(), 9990u);
}

TEST(ChatLog, TheOpenLastLineIsNeverDropped) {
    ChatLog log(1);
    log.Append("a", kPlain, true);
    log.Append("b", kPlain, false);
    log.Append("c", kStyled, false);
    EXPECT_EQ(Lines(log), (std::vector<std::string>{"b|c"}));
}

TEST(ChatLog, ClearEmptiesAndNumbersGoOn) {
    ChatLog log;
    log.Append("a", kPlain, true);
    log.Append("open", kPlain, false);
    log.Clear();
    EXPECT_EQ(log.LineCount(), 0u);
    EXPECT_EQ(log.TextBytes(), 0u);
    EXPECT_EQ(log.FirstLineNumber(), 2u);
    log.Append("b", kPlain, false);
    EXPECT_EQ(Lines(log), (std::vector<std::string>{"b"})) << "the open line went with the clear";
    EXPECT_EQ(log.FirstLineNumber(), 2u);
}

TEST(ChatLog, RetainedLinesCostLittleBeyondTheirText) {
    ChatLog log(100000);
    for (int i = 0; i < 250000; ++i) {
        log.Append("[Thu Jan  1 00:00:00 1970] ", kPlain, false);
        log.Append("[Someone]: a line of ordinary chat " + std::to_string(i), kStyled, true);
    }
    const double perLine = double(log.MemoryBytes() - log.TextBytes()) / double(log.LineCount());
    EXPECT_LT(perLine, 64.0);
}

} // namespace

namespace {

// The lines a filter shows, found one after another from either end, against a plain walk over every line.
std::vector<std::uint64_t> WalkShown(const ChatLog &log, ChatLineFilter filter, bool forward) {
    std::vector<std::uint64_t> shown;
    std::optional<std::uint64_t> line =
        log.FindShown(forward ? log.FirstLineNumber() : log.EndLineNumber() - 1, forward, filter);
    while (line) {
        shown.push_back(*line);
        if (!forward && *line == log.FirstLineNumber()) {
            break;
        }
        line = log.FindShown(forward ? *line + 1 : *line - 1, forward, filter);
    }
    if (!forward) {
        std::reverse(shown.begin(), shown.end());
    }
    return shown;
}

std::vector<std::uint64_t> Expected(const ChatLog &log, ChatLineFilter filter) {
    std::vector<std::uint64_t> shown;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        if (filter.Shows(log.LineFlags(i))) {
            shown.push_back(log.FirstLineNumber() + i);
        }
    }
    return shown;
}

TEST(ChatLog, LinesKeepTheirFlagsAndFiltersFindThemAcrossChunks) {
    // A whisper every 5000 lines (so whole chunks have none), an arrival every 7, the rest plain; a limit drops part
    // of the front chunk.
    ChatLog log(20000);
    for (int i = 0; i < 30000; ++i) {
        const std::uint8_t flags = i % 5000 == 17  ? ChatLineFlag::Whisper
                                   : i % 7 == 0    ? ChatLineFlag::EnterExit
                                   : i % 1000 == 3 ? ChatLineFlag::AutoAnswer
                                                   : 0;
        log.Append("line " + std::to_string(i), kPlain, true, flags);
    }
    // A line continued with flags takes them all; the timestamp before it had none.
    log.Append("[time] ", kPlain, false);
    log.Append("both", kPlain, true, ChatLineFlag::Whisper);
    log.Append("and more", kPlain, false, ChatLineFlag::AutoAnswer);
    log.Append(" still", kPlain, false, ChatLineFlag::EnterExit);
    EXPECT_EQ(log.LineFlags(log.LineCount() - 2), ChatLineFlag::Whisper);
    EXPECT_EQ(log.LineFlags(log.LineCount() - 1), ChatLineFlag::AutoAnswer | ChatLineFlag::EnterExit);

    const ChatLineFilter filters[] = {
        {},
        {0, ChatLineFlag::Whisper},
        {ChatLineFlag::EnterExit, 0},
        {ChatLineFlag::EnterExit | ChatLineFlag::AutoAnswer, 0},
        {ChatLineFlag::EnterExit, ChatLineFlag::Whisper},
        {ChatLineFlag::Whisper, ChatLineFlag::Whisper},
    };
    for (const ChatLineFilter &filter : filters) {
        SCOPED_TRACE(testing::Message() << "hide " << int(filter.hide) << " only " << int(filter.only));
        const std::vector<std::uint64_t> expected = Expected(log, filter);
        EXPECT_EQ(WalkShown(log, filter, true), expected);
        EXPECT_EQ(WalkShown(log, filter, false), expected);
        EXPECT_EQ(log.CountShown(0, log.EndLineNumber(), filter), expected.size());
        const std::uint64_t from = log.FirstLineNumber() + 4000, to = log.EndLineNumber() - 3;
        EXPECT_EQ(log.CountShown(from, to, filter),
                  static_cast<std::uint64_t>(std::count_if(expected.begin(), expected.end(),
                                                           [&](std::uint64_t n) { return n >= from && n < to; })));
    }
    EXPECT_EQ(Expected(log, {0, ChatLineFlag::Whisper}).size(), 5u) << "four kept of six, and the continued line";

    log.Clear();
    EXPECT_FALSE(log.FindShown(0, true, {}));
    EXPECT_FALSE(log.FindShown(log.EndLineNumber(), false, {}));
    EXPECT_EQ(log.CountShown(0, log.EndLineNumber(), {}), 0u);
}

} // namespace

namespace {

// A backing that has every line that leaves memory, as the history has them once written.
class EverythingStored : public ChatLogBacking {
public:
    Kept LineKept(std::uint64_t) override { return Kept::Stored; }
    void ReadLines(std::uint64_t first, std::size_t count, std::vector<StoredLine> &out) override {
        out.clear();
        for (std::uint64_t n = first; n < first + count; ++n) {
            StoredLine line;
            line.number = n;
            line.format = kStyled;
            line.text = Text(n);
            out.push_back(std::move(line));
        }
    }
    // Every line as long as every other, so that only their count matters.
    static std::string Text(std::uint64_t n) {
        const std::string digits = std::to_string(n);
        return "[Someone]: a line of ordinary chat " + std::string(8 - digits.size(), '0') + digits;
    }
};

TEST(ChatLog, LinesReadBackCountAgainstTheLimitSoMemoryDoesNotGrowWithTheBacking) {
    constexpr std::size_t kLimit = 100000;
    // Every line read, so that the pages read back are as many as they can be.
    const auto scrolledThrough = [&](std::size_t lines) {
        EverythingStored backing;
        ChatLog log(kLimit);
        log.SetBacking(&backing);
        for (std::size_t i = 0; i < lines; ++i) {
            log.Append(EverythingStored::Text(i), kStyled, true);
        }
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            wrong += log.Line(i).Text() == EverythingStored::Text(i) ? 0 : 1;
        }
        EXPECT_EQ(wrong, 0u) << lines;
        EXPECT_EQ(log.LineCount(), lines);
        return log.MemoryBytes();
    };
    // The limit full and nothing left memory yet: what a longer log may not pass.
    const std::size_t full = scrolledThrough(kLimit);
    for (const std::size_t lines : {2 * kLimit + 2900, 3 * kLimit}) {
        SCOPED_TRACE(lines);
        EXPECT_LE(double(scrolledThrough(lines)), 1.005 * double(full));
    }
}

} // namespace
