#include "app/headless/TerminalViews.h"

#include "history/cli/HistoryExport.h"

#include <cstdio>

void TerminalViews::ShowError(std::string_view text) {
    std::fprintf(stderr, "gabbler: %s\n", PrintableText(text).c_str());
    std::fflush(stderr);
}
