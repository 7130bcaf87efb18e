#pragma once

#include "common/AtomicFile.h"

#include <string>
#include <string_view>

// The example rules shipped with the program: a greeter, an answerer of common questions, a flood guard that warns
// then ejects, and a scheduled announcement.
std::string_view ExampleRules();

// Writes them as the rules file of a folder that has none yet (a first demo start); a rules file that exists is
// the user's and is left as it is.
FileResult InstallExampleRules(const std::string &folder);
