#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

class ChatLog;

// The default character format written into the file's font table.
struct RtfFont {
    std::string face = "Arial";
    int pointSize = 10;
};

// Writes a chat log as Rich Text Format. Chat text comes from strangers, so every backslash, brace and non-ASCII
// character is escaped and control characters other than tab are dropped: no line can add control words.
class RtfWriter {
public:
    // Receives the output in pieces of about kChunkBytes; returns false to stop the writing.
    using Sink = std::function<bool(std::string_view)>;
    static constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

    explicit RtfWriter(RtfFont font = {}) : font_(std::move(font)) {}

    // False when the sink refused a piece.
    bool Write(const ChatLog &log, const Sink &sink) const;

    // Appends UTF-8 text as RTF text: \\ \{ \} for the specials, \tab for tab, \uN? (N a signed 16-bit UTF-16
    // unit, two of them for characters beyond the BMP) for everything outside ASCII. Bytes that are not UTF-8
    // become U+FFFD.
    static void AppendEscaped(std::string &out, std::string_view text);

private:
    RtfFont font_;
};
