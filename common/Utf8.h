#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most maxBytes of text, cut before a character rather than inside one.
inline std::string TruncateUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end));
}

// The UTF-8 byte-order mark, which the readers of the program's text files drop at the start of a file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The text to write for a file whose reader drops a leading mark: when the text itself begins with U+FEFF (its
// first line stood lower in the file it was read from), a mark of its own goes in front, so that the next read
// finds that line as it was.
inline std::string GuardLeadingMark(std::string text) {
    if (text.starts_with(kByteOrderMark)) {
        text.insert(0, kByteOrderMark);
    }
    return text;
}
