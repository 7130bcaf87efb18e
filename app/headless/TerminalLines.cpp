#include "app/headless/TerminalLines.h"

#include "history/cli/HistoryExport.h"
#include "history/cli/UtcTime.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <cstdio>

std::string TerminalLine(std::int64_t timeMs, std::string_view world, std::string_view text) {
    return FormatUtc(timeMs) + " [" + PrintableText(world) + "] " + PrintableText(text);
}

void PrintEndedLine(const EndedChatLine &line) {
    const std::string text = TerminalLine(line.time, SdkGetString(kAttrWorldName), line.text) + "\n";
    // A reader that went away (journald restarting, say) must not stop the bot: what cannot be written is dropped.
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
