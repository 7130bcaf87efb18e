#pragma once

// A chat-pane line as the bot showed it, and the event that shows it in an attached window the same way.

#include <cstdint>
#include <string>

struct PaneLine {
    std::string text;
    std::uint32_t colour = 0; // 0xRRGGBB
    bool bold = false, italic = false, underline = false;
    bool timed = false;    // the time went in front of the text
    std::int64_t time = 0; // seconds since 1970
    int kind = 0;          // the history's line kind
    std::string speaker;
    std::uint8_t flags = 0; // what the pane's view filters know the line by
};

// Event 30 carrying the line; a text beyond the long attribute limit is cut at a character boundary.
std::string PaneLineEvent(const PaneLine &line);
