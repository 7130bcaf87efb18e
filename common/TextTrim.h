#pragma once

#include <string_view>

// White space as the C locale sees it: blank, tab, LF, vertical tab, form feed, CR. The program's own text files
// (INI, profiles, places) trim these and no others, whatever the user's locale.
constexpr bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

constexpr std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    while (!text.empty() && IsAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}
