// The headless bot's standard output: one line per chat-pane line, which a stranger's text cannot break or
// dress up with escape sequences.

#include "app/headless/TerminalLines.h"

#include <gtest/gtest.h>

namespace {

TEST(TerminalLines, OneLineWithTheTimeTheWorldAndPrintableText) {
    constexpr std::int64_t kTime = 1796911402000; // 2026-12-10 14:03:22 UTC
    struct Case {
        const char *world;
        const char *text;
        const char *line;
    };
    const Case cases[] = {
        {"Sunset", "Alice: hello", "2026-12-10 14:03:22 [Sunset] Alice: hello"},
        {"", "Attempting to start", "2026-12-10 14:03:22 [] Attempting to start"},
        {"Sunset", "Eve: \x1b[2Jcleared\a", "2026-12-10 14:03:22 [Sunset] Eve:  [2Jcleared "},
        {"Sunset", "Eve: one\r\n2026-12-10 14:03:23 [Sunset] Founder: forged",
         "2026-12-10 14:03:22 [Sunset] Eve: one  2026-12-10 14:03:23 [Sunset] Founder: forged"},
        {"Sunset",
         "Eve: \xc2\x9b"
         "31mred",
         "2026-12-10 14:03:22 [Sunset] Eve:  31mred"},
        {"Sun\nset", "x", "2026-12-10 14:03:22 [Sun set] x"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TerminalLine(kTime, c.world, c.text), c.line) << c.text;
    }
}

} // namespace
