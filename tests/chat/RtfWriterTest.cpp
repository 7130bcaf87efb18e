#include "chat/RtfWriter.h"

#include "RtfReader.h"
#include "chat/ChatLog.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

std::string WriteAll(const ChatLog &log, const RtfFont &font = {}) {
    std::string rtf;
    EXPECT_TRUE(RtfWriter(font).Write(log, [&rtf](std::string_view piece) {
        rtf += piece;
        return true;
    }));
    return rtf;
}

std::string PlainText(const RtfText &text) {
    std::string plain;
    for (std::size_t p = 0; p < text.paragraphs.size(); ++p) {
        for (const auto &run : text.paragraphs[p]) {
            plain += run.text;
        }
        if (p + 1 < text.paragraphs.size()) {
            plain += '\n';
        }
    }
    return plain;
}

// The words the writer itself uses around plain green text; chat text must add none.
const std::set<std::string> kWriterWords = {"rtf",  "ansi",  "ansicpg", "deff", "uc", "fonttbl", "colortbl", "viewkind",
                                            "pard", "plain", "f",       "fs",   "cf", "par",     "u",        "tab"};

struct TextCase {
    const char *name;
    std::string text;
    std::string readBack;
};

TEST(RtfWriter, ChatTextReadsBackAsWrittenAndCannotAddControlWords) {
    const TextCase cases[] = {
        {"braces and backslashes", R"(a{b}c\d \\ {} \par)", R"(a{b}c\d \\ {} \par)"},
        {"field injection", R"({\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt click}})",
         R"({\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt click}})"},
        {"group closing the document early", "}}}{\\rtf1 x", "}}}{\\rtf1 x"},
        {"Latin and the euro sign",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC 100",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC 100"},
        {"units above 0x7FFF", "\xEF\xBF\xBD \xEA\xB0\x80", "\xEF\xBF\xBD \xEA\xB0\x80"},
        {"astral characters", "\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E", "\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E"},
        {"tab kept, other controls dropped", "a\tb\x01\x1B[31mc\x7F", "a\tb[31mc"},
        {"text after a unicode escape",
         "\xC3\xA9"
         "9 \xC3\xA9?",
         "\xC3\xA9"
         "9 \xC3\xA9?"},
    };
    for (const TextCase &c : cases) {
        ChatLog log;
        log.Append(c.text, {0x1F8F1F, false, false, false}, true);
        const std::string rtf = WriteAll(log);
        const RtfText read = ReadRtf(rtf);
        EXPECT_EQ(read.error, "") << c.name << "\n" << rtf;
        EXPECT_EQ(PlainText(read), c.readBack + "\n") << c.name << "\n" << rtf;
        for (const unsigned char byte : rtf) {
            EXPECT_LT(byte, 0x80) << c.name << ": RTF is plain ASCII";
        }
        for (const std::string &word : read.controlWords) {
            EXPECT_TRUE(kWriterWords.count(word)) << c.name << ": unexpected control word \\" << word;
        }
    }
}

TEST(RtfWriter, ColoursAndEmphasisFollowTheRuns) {
    const ChatFormat prefix{0x000000, false, false, false};
    const ChatFormat whisper{0x0000FF, false, true, false};
    const ChatFormat all{0xDE3C3C, true, true, true};
    const ChatFormat green{0x1F8F1F, true, false, false};
    ChatLog log;
    log.Append("[Mon] ", prefix, false);
    log.Append("[Bot] (to Ann): hi", whisper, true);
    log.Append("rose", all, false);
    log.Append(" green", green, true);
    log.Append("plain again", prefix, false);

    const RtfText read = ReadRtf(WriteAll(log));
    ASSERT_EQ(read.error, "");
    using Run = RtfText::Run;
    const std::vector<std::vector<Run>> expected = {
        {Run{"[Mon] ", prefix}, Run{"[Bot] (to Ann): hi", whisper}},
        {Run{"rose", all}, Run{" green", green}},
        {Run{"plain again", prefix}},
    };
    EXPECT_EQ(read.paragraphs, expected) << "the open last line gets no paragraph mark";
}

TEST(RtfWriter, EmptyLogAndOddFontNamesStayValid) {
    ChatLog log;
    RtfText read = ReadRtf(WriteAll(log, {"Evil;}{\\rtf Font", 0}));
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(PlainText(read), "");
    log.Append("", {}, true);
    read = ReadRtf(WriteAll(log, {"Caf\xC3\xA9", 12}));
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.paragraphs.size(), 2u);
}

TEST(RtfWriter, StreamsInPiecesAndStopsWhenTheSinkRefuses) {
    ChatLog log;
    for (int i = 0; i < 100000; ++i) {
        log.Append("[Someone]: line " + std::to_string(i) + " {with} \\ specials \xC3\xA9",
                   {0x0000FF, true, false, false}, true);
    }
    log.Append(std::string(3 * RtfWriter::kChunkBytes, 'x'), {}, true); // one huge run
    std::string whole;
    std::size_t pieces = 0, largest = 0;
    ASSERT_TRUE(RtfWriter().Write(log, [&](std::string_view piece) {
        whole += piece;
        ++pieces;
        largest = std::max(largest, piece.size());
        return true;
    }));
    EXPECT_GT(pieces, 3u);
    EXPECT_LT(largest, 2 * RtfWriter::kChunkBytes);
    const RtfText read = ReadRtf(whole);
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.paragraphs.size(), 100002u);
    EXPECT_EQ(read.paragraphs[99999].at(0).text, "[Someone]: line 99999 {with} \\ specials \xC3\xA9");

    std::size_t calls = 0;
    EXPECT_FALSE(RtfWriter().Write(log, [&](std::string_view) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2u);
}

} // namespace
