#pragma once

// `gabbler --headless`: the bot without a window or a display, its chat pane on standard output, until SIGTERM or
// SIGINT or a failure it cannot get past. Returns a HeadlessExit status.
int RunHeadless(int argc, char **argv);
