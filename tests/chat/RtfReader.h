#pragma once

#include "chat/ChatLog.h"

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Just enough of an RTF reader to check what a word processor would see: the text with its colour and emphasis,
// paragraph by paragraph, skipping the header groups. It fails on unbalanced braces and on destinations that
// chat text must never produce. The text after the last \par is the last paragraph (often empty).
struct RtfText {
    struct Run {
        std::string text; // UTF-8
        ChatFormat format;
        bool operator==(const Run &) const = default;
    };
    std::vector<std::vector<Run>> paragraphs{{}};
    std::vector<std::string> controlWords; // every control word met in the body, for checks
    std::string error;
};

inline void AppendUtf8(std::string &out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

inline RtfText ReadRtf(std::string_view rtf) {
    RtfText result;
    struct State {
        ChatFormat format;
        int colourIndex = 0;
        bool skip = false;
        bool colourTable = false;
        int uc = 1;
    };
    std::vector<State> stack{State{}};
    std::vector<std::uint32_t> colours; // index 0 is the reader's automatic colour
    std::uint32_t pendingColour = 0;
    std::uint32_t highSurrogate = 0;
    int toSkip = 0;

    const auto emit = [&](std::uint32_t cp) {
        State &s = stack.back();
        if (s.skip) {
            return;
        }
        if (toSkip > 0) {
            --toSkip;
            return;
        }
        auto &runs = result.paragraphs.back();
        ChatFormat f = s.format;
        f.colour = s.colourIndex > 0 && s.colourIndex < int(colours.size()) ? colours[s.colourIndex] : 0;
        if (runs.empty() || !(runs.back().format == f)) {
            runs.push_back({"", f});
        }
        AppendUtf8(runs.back().text, cp);
    };

    std::size_t i = 0;
    while (i < rtf.size()) {
        const char c = rtf[i];
        if (c == '{') {
            stack.push_back(stack.back());
            ++i;
        } else if (c == '}') {
            stack.pop_back();
            if (stack.empty()) {
                result.error = "unbalanced }";
                return result;
            }
            ++i;
            if (stack.size() == 1 && i < rtf.size() &&
                rtf.substr(i).find_first_not_of("\r\n") != std::string_view::npos) {
                result.error = "text after the document";
                return result;
            }
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c == '\\') {
            ++i;
            if (i >= rtf.size()) {
                result.error = "backslash at the end";
                return result;
            }
            const char next = rtf[i];
            if (next == '\\' || next == '{' || next == '}') {
                emit(static_cast<unsigned char>(next));
                ++i;
                continue;
            }
            if (next == '\'') {
                const std::string hex(rtf.substr(i + 1, 2));
                emit(std::stoul(hex, nullptr, 16));
                i += 3;
                continue;
            }
            if (next == '*') {
                stack.back().skip = true;
                ++i;
                continue;
            }
            std::string word;
            while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i]))) {
                word += rtf[i++];
            }
            if (word.empty()) {
                result.error = std::string("unknown control symbol \\") + next;
                return result;
            }
            bool hasParam = false;
            long param = 0;
            std::size_t start = i;
            if (i < rtf.size() && (rtf[i] == '-' || std::isdigit(static_cast<unsigned char>(rtf[i])))) {
                ++i;
                while (i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i]))) {
                    ++i;
                }
                param = std::stol(std::string(rtf.substr(start, i - start)));
                hasParam = true;
            }
            if (i < rtf.size() && rtf[i] == ' ') {
                ++i;
            }
            State &s = stack.back();
            if (!s.skip && !s.colourTable) {
                result.controlWords.push_back(word);
            }
            if (word == "fonttbl" || word == "info" || word == "stylesheet") {
                s.skip = true;
            } else if (word == "colortbl") {
                s.colourTable = true;
                s.skip = true;
            } else if (word == "red" || word == "green" || word == "blue") {
                const int shift = word == "red" ? 16 : word == "green" ? 8 : 0;
                pendingColour |= std::uint32_t(param & 0xFF) << shift;
            } else if (word == "par") {
                result.paragraphs.emplace_back();
            } else if (word == "tab") {
                emit('\t');
            } else if (word == "uc") {
                s.uc = int(param);
            } else if (word == "u") {
                std::uint32_t unit = std::uint32_t(param < 0 ? param + 65536 : param);
                if (unit >= 0xD800 && unit < 0xDC00) {
                    highSurrogate = unit;
                } else if (unit >= 0xDC00 && unit < 0xE000 && highSurrogate) {
                    emit(0x10000 + ((highSurrogate - 0xD800) << 10) + (unit - 0xDC00));
                    highSurrogate = 0;
                } else {
                    emit(unit);
                }
                toSkip = s.skip ? 0 : s.uc;
            } else if (word == "cf") {
                s.colourIndex = int(param);
            } else if (word == "b" || word == "i" || word == "ul") {
                const bool on = !hasParam || param != 0;
                (word == "b" ? s.format.bold : word == "i" ? s.format.italic : s.format.underline) = on;
            } else if (word == "ulnone") {
                s.format.underline = false;
            } else if (word == "plain") {
                s.format = {};
            } else if (word == "field" || word == "fldinst" || word == "object" || word == "pict") {
                result.error = "destination " + word + " in the body";
                return result;
            }
        } else {
            State &s = stack.back();
            if (s.colourTable && c == ';') {
                colours.push_back(pendingColour);
                pendingColour = 0;
            } else {
                emit(static_cast<unsigned char>(c));
            }
            ++i;
        }
    }
    if (stack.size() != 1) {
        result.error = "unclosed group";
    }
    return result;
}
