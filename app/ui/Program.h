#pragma once

// The whole program: options, the data folder, the SDK, the windows, the bot start and the orderly shutdown.
int RunGabbler(int argc, char **argv);
