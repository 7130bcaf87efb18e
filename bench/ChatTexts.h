#pragma once

// Chat of varied length for the chat pane's benchmarks, made once so that making text is not what is measured.

#include <string>
#include <vector>

inline const std::vector<std::string> &ChatTexts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        const char *words[] = {"hello", "anyone", "here", "teleport", "to", "the", "fountain", "please", "ok", "lol"};
        for (int i = 0; i < 1024; ++i) {
            std::string line = "[Visitor" + std::to_string(i % 37) + "]:";
            for (int w = 0; w < 4 + i % 9; ++w) {
                line += ' ';
                line += words[(i * 7 + w * 3) % 10];
            }
            t.push_back(line);
        }
        return t;
    }();
    return texts;
}
