#pragma once

#include "TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

// One run of a real program, as from a terminal without a display: what it printed and how it ended.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(const std::string &text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string ReadWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline ProgramRun RunProgram(const std::vector<std::string> &command) {
    TempDir files;
    std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
    for (const std::string &word : command)
        line += " " + ShellQuoted(word);
    line += " </dev/null >" + ShellQuoted(files.File("out")) + " 2>" + ShellQuoted(files.File("err"));
    ProgramRun run;
    const int status = std::system(line.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadWhole(files.File("out"));
    run.err = ReadWhole(files.File("err"));
    return run;
}
