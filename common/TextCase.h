#pragma once

#include <string>
#include <string_view>

// ASCII letters without regard to case: for the program's own keys and words (INI sections and keys, the owner
// question) and where the universe compares that way. Names people read compare by places/NameCompare.h, which
// folds every script.
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
