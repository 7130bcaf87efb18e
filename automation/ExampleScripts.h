#pragma once

#include "common/AtomicFile.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The example scripts shipped inside the program (their sources are examples/scripts/*.lua), as name and text.
const std::vector<std::pair<std::string_view, std::string_view>> &ExampleScripts();

// Puts the examples into a scripts folder that does not exist yet (a first demo start); a folder that exists is
// the user's, and is left as it is, examples removed from it included.
FileResult InstallExampleScripts(const std::string &folder);
