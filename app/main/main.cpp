#include "app/ProgramOptions.h"
#include "app/headless/HeadlessProgram.h"
#include "app/ui/Program.h"
#include "history/cli/HistoryCommand.h"

#include <iostream>
#include <optional>

int main(int argc, char **argv) {
    // The history commands only read the store: no window, no application object, no lock on the data folder.
    if (IsHistoryCommand(argc, argv))
        return RunHistoryCommand(argc, argv, std::cout, std::cerr);
    if (const std::optional<int> answered = AnswerCommandLine(argc, argv))
        return *answered;
    // The bot without a window needs no display, so it must not meet the widgets' application object.
    if (IsHeadlessRun(argc, argv))
        return RunHeadless(argc, argv);
    return RunGabbler(argc, argv);
}
