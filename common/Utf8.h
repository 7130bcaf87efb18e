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
