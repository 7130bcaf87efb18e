#pragma once

#include "chat/ChatLineFanOut.h"

#include <cstdint>
#include <string>
#include <string_view>

// A chat-pane line as one line of standard output, for journald and grep: "YYYY-MM-DD HH:MM:SS [World] text", the
// time in UTC as `gabbler history` prints it, the world the bot was in ("[]" in none) and the line without its
// timestamp prefix. Control characters become spaces, so a stranger's text can neither start a line of its own nor
// send escape sequences to a terminal.
std::string TerminalLine(std::int64_t timeMs, std::string_view world, std::string_view text);

// Writes each ended line of the pane to standard output as TerminalLine, at once.
void PrintEndedLine(const EndedChatLine &line);
