#pragma once

#include <functional>

// SIGTERM and SIGINT (a log-out, Ctrl+C in the terminal) reach the program as a call of the given function on the
// event loop's thread, at the next pass of whichever event loop runs (a modal dialog's included). The first call
// sets the signals up; a later call replaces the function.
void OnTerminateSignal(std::function<void()> handler);
