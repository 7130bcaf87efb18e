#include "chat/RtfWriter.h"

#include "chat/ChatLog.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

// Bytes copied as they are: printable ASCII except the three specials.
constexpr std::array<bool, 256> MakePlainTable() {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c) {
        plain[static_cast<std::size_t>(c)] = c != '\\' && c != '{' && c != '}';
    }
    return plain;
}
constexpr std::array<bool, 256> kPlain = MakePlainTable();

constexpr std::size_t kSliceBytes = 64 * 1024;

void AppendNumber(std::string &out, long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void AppendUnit(std::string &out, std::uint32_t unit) {
    // RTF reads \u's argument as a signed 16-bit number; the '?' is what readers without Unicode show.
    out.append("\\u");
    AppendNumber(out, unit > 0x7FFF ? static_cast<long>(unit) - 0x10000 : static_cast<long>(unit));
    out.push_back('?');
}

// Decodes the sequence at p; returns its length, or 1 with U+FFFD for a byte that does not start valid UTF-8.
std::size_t Decode(const unsigned char *p, const unsigned char *end, std::uint32_t &cp) {
    const unsigned char c = p[0];
    std::size_t n;
    std::uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1Fu, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0Fu, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07u, min = 0x10000;
    } else {
        cp = 0xFFFD;
        return 1;
    }
    if (static_cast<std::size_t>(end - p) < n) {
        cp = 0xFFFD;
        return 1;
    }
    for (std::size_t k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            cp = 0xFFFD;
            return 1;
        }
        cp = (cp << 6) | (p[k] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = 0xFFFD;
        return 1;
    }
    return n;
}

void AppendCodePoint(std::string &out, std::uint32_t cp) {
    if (cp < 0x10000) {
        AppendUnit(out, cp);
    } else {
        cp -= 0x10000;
        AppendUnit(out, 0xD800 + (cp >> 10));
        AppendUnit(out, 0xDC00 + (cp & 0x3FF));
    }
}

// A font name ends at ';' in the font table, so that one is written as a hex escape there.
void AppendFontName(std::string &out, std::string_view name) {
    std::string escaped;
    RtfWriter::AppendEscaped(escaped, name);
    for (const char c : escaped) {
        if (c == ';') {
            out.append("\\'3b");
        } else {
            out.push_back(c);
        }
    }
}

class ColourTable {
public:
    explicit ColourTable(const ChatLog &log) {
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            const ChatLine line = log.Line(i);
            for (std::size_t k = 0; k < line.RunCount(); ++k) {
                Index(line.Run(k).format.colour);
            }
        }
    }

    // Index 0 is the reader's automatic colour; ours start at 1.
    int Index(std::uint32_t colour) {
        if (colour == lastColour_ && lastIndex_ != 0) {
            return lastIndex_;
        }
        auto [it, added] = index_.try_emplace(colour, static_cast<int>(colours_.size()) + 1);
        if (added) {
            colours_.push_back(colour);
        }
        lastColour_ = colour;
        lastIndex_ = it->second;
        return lastIndex_;
    }

    void AppendTo(std::string &out) const {
        out.append("{\\colortbl ;");
        for (const std::uint32_t colour : colours_) {
            out.append("\\red");
            AppendNumber(out, (colour >> 16) & 0xFF);
            out.append("\\green");
            AppendNumber(out, (colour >> 8) & 0xFF);
            out.append("\\blue");
            AppendNumber(out, colour & 0xFF);
            out.push_back(';');
        }
        out.append("}\r\n");
    }

private:
    std::unordered_map<std::uint32_t, int> index_;
    std::vector<std::uint32_t> colours_;
    std::uint32_t lastColour_ = 0;
    int lastIndex_ = 0;
};

} // namespace

void RtfWriter::AppendEscaped(std::string &out, std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        const unsigned char *plainEnd = p;
        while (plainEnd < end && kPlain[*plainEnd]) {
            ++plainEnd;
        }
        out.append(reinterpret_cast<const char *>(p), static_cast<std::size_t>(plainEnd - p));
        p = plainEnd;
        if (p == end) {
            break;
        }
        const unsigned char c = *p;
        if (c == '\\' || c == '{' || c == '}') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
            ++p;
        } else if (c == '\t') {
            out.append("\\tab ");
            ++p;
        } else if (c < 0x80) {
            ++p; // other control characters have no business in a chat log
        } else {
            std::uint32_t cp;
            p += Decode(p, end, cp);
            AppendCodePoint(out, cp);
        }
    }
}

bool RtfWriter::Write(const ChatLog &log, const Sink &sink) const {
    ColourTable colours(log);
    std::string out;
    out.reserve(kChunkBytes + 64 * 1024);
    out.append("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 ");
    AppendFontName(out, font_.face);
    out.append(";}}\r\n");
    colours.AppendTo(out);
    out.append("\\viewkind4\\pard\\plain\\f0\\fs");
    AppendNumber(out, 2L * std::clamp(font_.pointSize > 0 ? font_.pointSize : 10, 1, 800));
    out.push_back(' ');

    int colour = 0;
    bool bold = false, italic = false, underline = false;
    const std::size_t count = log.LineCount();
    for (std::size_t i = 0; i < count; ++i) {
        const ChatLine line = log.Line(i);
        for (std::size_t k = 0; k < line.RunCount(); ++k) {
            const ChatRun run = line.Run(k);
            const int index = colours.Index(run.format.colour);
            const std::size_t before = out.size();
            if (index != colour) {
                out.append("\\cf");
                AppendNumber(out, index);
                colour = index;
            }
            if (run.format.bold != bold) {
                out.append(run.format.bold ? "\\b" : "\\b0");
                bold = run.format.bold;
            }
            if (run.format.italic != italic) {
                out.append(run.format.italic ? "\\i" : "\\i0");
                italic = run.format.italic;
            }
            if (run.format.underline != underline) {
                out.append(run.format.underline ? "\\ul" : "\\ulnone");
                underline = run.format.underline;
            }
            if (out.size() != before) {
                out.push_back(' '); // ends the last control word, so text cannot extend it
            }
            // A huge run still goes out in pieces of bounded size.
            std::string_view text = run.text;
            while (!text.empty()) {
                std::size_t take = std::min(text.size(), kSliceBytes);
                while (take > 1 && take < text.size() && (static_cast<unsigned char>(text[take]) & 0xC0) == 0x80) {
                    --take;
                }
                AppendEscaped(out, text.substr(0, take));
                text.remove_prefix(take);
                if (out.size() >= kChunkBytes) {
                    if (!sink(out)) {
                        return false;
                    }
                    out.clear();
                }
            }
        }
        if (i + 1 < count || !log.LastLineOpen()) {
            out.append("\\par\r\n");
        }
        if (out.size() >= kChunkBytes) {
            if (!sink(out)) {
                return false;
            }
            out.clear();
        }
    }
    out.append("}\r\n");
    return sink(out);
}
