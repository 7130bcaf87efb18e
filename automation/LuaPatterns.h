#pragma once

// Lua's pattern matching runs inside one C call, where the instruction hook that keeps a script to its time budget
// never fires; a pattern like "a*a*a*a*a*b" over a long text would run for hours. string.find, match, gmatch and
// gsub are therefore wrapped: before the library's own function runs, the same search is walked step by step
// without producing anything, and a search that would outlast the time left stops the script as the hook does. A
// pattern error found on the way is raised from the wrapper, so that it names the script's line as Lua's would.

#include <chrono>
#include <cstddef>
#include <string_view>

struct lua_State;

enum class PatternSearch { Find, Gmatch, Gsub };

struct PatternWalk {
    bool overTime = false;       // the search would not end by the deadline
    const char *error = nullptr; // or the library raises this error on the way (a format with at most one %d)
    int errorNumber = 0;
    bool matched = false; // gsub: its first match, with its captures, a bit for each left open
    int captures = 0;
    unsigned unfinished = 0;
};

// Walks Lua's search of pattern over subject from the 0-based start (gsub: for at most maxMatches matches), until it
// ends, the deadline passes or it gets to an error of the pattern.
PatternWalk WalkPatternSearch(PatternSearch search, std::string_view subject, std::string_view pattern,
                              std::size_t start, long long maxMatches, std::chrono::steady_clock::time_point deadline);

// Replaces string.find, match, gmatch and gsub of a sandbox's state (while its string table is reachable as a
// global) with the bounded ones.
void BoundPatternFunctions(lua_State *state);
