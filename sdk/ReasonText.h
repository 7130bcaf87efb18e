#pragma once

#include <string>

// The short English text of an SDK result code, for messages that end in "(reason: %s).".
// A code without a text gives its decimal form.
std::string ReasonText(int code);
