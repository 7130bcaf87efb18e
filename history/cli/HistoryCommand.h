#pragma once

// "gabbler history ...": search, export and the visitors' figures from the command line, without a window. It only
// reads the store, so it works while Gabbler runs and takes no lock on the data folder.

#include <iosfwd>

// True when the arguments ask for a history command: "history" first, or after --home DIR.
bool IsHistoryCommand(int argc, const char *const *argv);

// Runs it; returns the exit status (0 done, 1 failed, 2 a usage error).
int RunHistoryCommand(int argc, const char *const *argv, std::ostream &out, std::ostream &err);
