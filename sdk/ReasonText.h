#pragma once

#include <string>

// The short English text of an SDK result code, for messages that end in "(reason: %s).".
// A code without a text gives its decimal form.
std::string ReasonText(int code);

// The codes the SDK itself gives when the server never answered a request: it could not be sent (no connection,
// no instance, a full output buffer, a text too long, ...), or the connection went or the wait ran out before the
// answer came. A failure with such a code says nothing about what was asked for (whether a citizen exists, say).
bool IsUnanswered(int code);

// A failure sentence with the reason put in before its final full stop: "Lookup unsuccessful." and 439 give
// "Lookup unsuccessful (reason: no connection).".
std::string WithReasonText(const std::string &sentence, int code);
