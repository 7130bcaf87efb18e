#pragma once

// The command line of gabbler-universe: running the server, and administering the store offline.

#include "server/UniverseServer.h"

#include <ostream>
#include <string>
#include <vector>

extern const char *const kUniverseUsage;

struct CommandLine {
    enum class Mode { Serve, Help, Version, Admin, Error } mode = Mode::Serve;
    ServerOptions options;
    bool quiet = false;
    std::vector<std::string> admin; // the sub-command and its arguments, e.g. {"citizen", "add", "5", "Eve", "pw"}
    std::string error;
};

CommandLine ParseCommandLine(const std::vector<std::string> &arguments);

// Runs an administration sub-command against the store in options.dataFolder. Returns the exit status.
int RunAdminCommand(const CommandLine &command, std::ostream &out, std::ostream &err);
