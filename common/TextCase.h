#pragma once

#include <string>
#include <string_view>

// Names of people and worlds compare without regard to ASCII letter case, as the universe compares them.
inline char FoldChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string FoldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = FoldChar(c);
    }
    return folded;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(b[i])) {
            return false;
        }
    }
    return true;
}
