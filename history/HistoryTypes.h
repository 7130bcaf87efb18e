#pragma once

// What the history holds: the lines that reached the chat pane and the visits of the people the bot saw.
// Times are milliseconds since 1970 in UTC.

#include <cstdint>
#include <optional>
#include <string>

enum class LineKind : std::uint8_t {
    Chat = 0,
    Whisper = 1,
    Console = 2,
    Notice = 3, // arrivals, departures, answers and the other lines the program writes about the world
    Own = 4,    // what the bot itself said or whispered
};
inline constexpr int kLineKindCount = 5;

// The names used on the command line and in exports; nullptr for a number outside the list.
const char *LineKindName(LineKind kind);
std::optional<LineKind> LineKindFromName(const std::string &name);

struct HistoryLine {
    std::int64_t id = 0; // grows with time; the first line of a run is its first number
    std::int64_t time = 0;
    std::string world;
    std::string speaker;        // empty where the line has none
    std::optional<int> session; // the speaker's session where there is one
    LineKind kind = LineKind::Chat;
    std::uint32_t colour = 0; // 0xRRGGBB
    bool bold = false, italic = false, underline = false;
    bool timeShown = false;     // the pane showed the time before the text
    std::uint8_t paneFlags = 0; // what the pane's view filters knew the line by (three bits)
    std::string text;
};

// Line numbers a deletion removed, first to last, both included. A range may take in lines that were kept (when a
// deletion leaves very many gaps, the last ranges are joined), never leaves out one that was removed.
struct DeletedLines {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool operator==(const DeletedLines &) const = default;
};

// Limits a search, an export or the visitors' figures; empty or absent fields limit nothing.
struct HistoryFilter {
    std::string world;  // without regard to ASCII case
    std::string person; // the speaker, or the visitor
    std::optional<LineKind> kind;
    std::optional<std::int64_t> from; // inclusive
    std::optional<std::int64_t> to;   // exclusive
};

struct VisitorSummary {
    std::string name;
    std::optional<int> citizen; // the last one known
    int visits = 0;
    std::int64_t firstSeen = 0;
    std::int64_t lastSeen = 0; // the last departure, or the last arrival while still present
    std::int64_t totalMs = 0;  // the time spent inside the filter's range, visits still open counted to now
};

// Something the bot's automation did or tried, and the rule or script that did it.
struct AutomaticRecord {
    std::int64_t time = 0;
    std::string world;
    std::string source; // "rule Greeter", "script greeter.lua"
    std::string action; // "say", "whisper", "console", "eject", "teleport", "notice", "notify"
    std::string target; // the person or world acted on; empty for none
    std::string text;
    int result = 0; // 0 done; otherwise the reason it was not
};
