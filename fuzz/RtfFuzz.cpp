// The chat log and its RTF export. Any sequence of appends keeps the log's promises (valid UTF-8, no line breaks
// or NULs inside a line, runs that cover their line, the line limit), and the RTF written for it reads back, by a
// small RTF text extractor, as the same text with the same colour and emphasis, paragraph for paragraph: no chat
// text can add a control word or break out of its group.
//
// Input: a byte for the line limit, a piece for the font name, then operations of a format byte, a flags byte and
// a piece of text (or, now and then, a change of the limit or a clear).

#include "chat/ChatLog.h"
#include "chat/RtfReader.h"
#include "chat/RtfWriter.h"
#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "protocol/Frame.h"

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::uint32_t kPalette[] = {0x000000, 0xFF0000, 0x0000FF, 0x008000, 0x800080, 0xFFFFFF, 0x123456};

std::size_t LimitOf(std::uint8_t byte) { return byte < 128 ? 0 : byte % 16; }

void CheckLog(const ChatLog &log) {
    FUZZ_CHECK(log.LineLimit() == 0 || log.LineCount() <= log.LineLimit(), "the log keeps to its line limit");
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        const ChatLine line = log.Line(i);
        const std::string_view text = line.Text();
        FUZZ_CHECK(IsValidUtf8(text), "a line is valid UTF-8");
        FUZZ_CHECK(text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos,
                   "a line holds no line break and no NUL");
        std::string joined;
        for (std::size_t k = 0; k < line.RunCount(); ++k) {
            const ChatRun run = line.Run(k);
            FUZZ_CHECK(!run.text.empty(), "a run is never empty");
            FUZZ_CHECK(run.offset == joined.size(), "a run starts where the one before it ended");
            joined += run.text;
        }
        FUZZ_CHECK(joined == text, "the runs cover their line");
    }
}

// What a reader sees of the log: runs merged where the format does not change, control characters other than
// tab gone.
std::vector<std::vector<RtfText::Run>> Expected(const ChatLog &log) {
    std::vector<std::vector<RtfText::Run>> paragraphs;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        const ChatLine line = log.Line(i);
        auto &runs = paragraphs.emplace_back();
        for (std::size_t k = 0; k < line.RunCount(); ++k) {
            const ChatRun run = line.Run(k);
            std::string text;
            for (const char c : run.text) {
                const auto byte = static_cast<unsigned char>(c);
                if (byte >= 0x20 && byte != 0x7F) {
                    text += c;
                } else if (c == '\t') {
                    text += c;
                }
            }
            if (text.empty()) {
                continue;
            }
            if (!runs.empty() && runs.back().format == run.format) {
                runs.back().text += text;
            } else {
                runs.push_back({text, run.format});
            }
        }
    }
    if (log.LineCount() == 0 || !log.LastLineOpen()) {
        paragraphs.emplace_back(); // the text after the last \par
    }
    return paragraphs;
}

} // namespace

int FuzzRtf(const std::uint8_t *data, std::size_t size) {
    FuzzBytes in(data, size);
    ChatLog log(LimitOf(in.Byte()));
    RtfFont font;
    font.face = std::string(in.Piece());
    font.pointSize = static_cast<int>(static_cast<std::int8_t>(in.Byte())) * 10;

    int longLines = 0;
    while (!in.Empty()) {
        const std::uint8_t formatByte = in.Byte();
        const std::uint8_t flags = in.Byte();
        if (flags == 0xFF) {
            log.Clear();
            continue;
        }
        if (flags == 0xFE) {
            log.SetLineLimit(LimitOf(formatByte));
            continue;
        }
        ChatFormat format;
        format.colour = (formatByte & 0x80) ? (in.Int32() & 0xFFFFFF) : kPalette[formatByte % std::size(kPalette)];
        format.bold = flags & 1;
        format.italic = flags & 2;
        format.underline = flags & 4;
        // A long line now and then, so that the writer's slices and pieces are crossed too.
        std::string text(in.Piece());
        if ((flags & 0x18) == 0x18 && !text.empty() && longLines++ < 1) {
            const std::string once = text;
            while (text.size() < 70000) {
                text += once;
            }
        }
        log.Append(text, format, flags & 8);
    }
    CheckLog(log);

    std::string rtf;
    const RtfWriter writer(font);
    FUZZ_CHECK(writer.Write(log,
                            [&rtf](std::string_view piece) {
                                rtf.append(piece);
                                return true;
                            }),
               "writing to a sink that takes everything succeeds");
    const RtfText read = ReadRtf(rtf);
    FUZZ_CHECK(read.error.empty(), "the RTF is well formed");
    static const std::unordered_set<std::string_view> kWriterWords = {
        "rtf", "ansi", "ansicpg", "deff", "uc", "fonttbl", "colortbl", "viewkind", "pard", "plain",
        "f",   "fs",   "cf",      "b",    "i",  "ul",      "ulnone",   "u",        "tab",  "par"};
    for (const std::string &word : read.controlWords) {
        FUZZ_CHECK(kWriterWords.count(word) == 1, "the body holds only the writer's own control words");
    }
    FUZZ_CHECK(read.paragraphs == Expected(log), "the RTF reads back as the log's text and formats");
    return 0;
}
