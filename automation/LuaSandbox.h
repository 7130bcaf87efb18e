#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct lua_State;

// What one script may spend: the time of each call into it and the memory of its whole state.
struct SandboxLimits {
    std::chrono::milliseconds timeBudget{100};
    std::size_t memoryCap = 8u << 20;
};

struct SandboxResult {
    enum Outcome { Ok, Error, OverBudget, OutOfMemory };
    Outcome outcome = Ok;
    std::string message; // for Error: "name.lua:LINE: what", as Lua words it
    int line = 0;        // for OverBudget: the script's line it was stopped at, 0 when not known
    bool ok() const { return outcome == Ok; }
};

// One script's own Lua state with only the harmless part of the standard library: no files, processes, modules,
// debugging or bytecode. Each call runs under a time budget (an instruction hook, which pcall cannot swallow) and
// the whole state under a memory cap (its allocator refuses past it). Nothing a script does can raise past this
// class: every entry into Lua is protected.
class LuaSandbox {
public:
    LuaSandbox(std::string name, SandboxLimits limits);
    ~LuaSandbox();
    LuaSandbox(const LuaSandbox &) = delete;
    LuaSandbox &operator=(const LuaSandbox &) = delete;

    const std::string &Name() const { return name_; }
    bool Usable() const { return state_ != nullptr; }
    std::size_t MemoryInUse() const { return used_; }
    const SandboxLimits &Limits() const { return limits_; }

    // Compiles the source (text only) under the script's name and runs its top level.
    SandboxResult Load(std::string_view source);
    // Calls the global function of that name when the script defines one; pushArguments pushes what it receives
    // and returns their count. It runs in protected mode, so it may raise Lua errors (memory) but must leave no C++
    // object with a destructor in its frame when it does.
    SandboxResult Call(const char *function, const std::function<int(lua_State *)> &pushArguments = {});
    bool Defines(const char *function);
    // Whether the script set a global of that name to a true value (a setting it declares).
    bool GlobalTrue(const char *name);

    // Puts a C function into the global table `table` (created when missing); it finds this sandbox through
    // FromState and its own context through upvalue 1.
    void Register(const char *table, const char *name, int (*function)(lua_State *), void *context);
    static LuaSandbox &FromState(lua_State *state);

    // Runs work in protected mode from inside a C function of the script's API: a Lua error raised by work (out of
    // memory while pushing) is re-raised here only after the caller's C++ objects could be destroyed by the caller.
    // Returns false when work failed; the error value is then on the stack.
    static bool Protected(lua_State *state, const std::function<void(lua_State *)> &work);

    // When the call under way must end.
    std::chrono::steady_clock::time_point Deadline() const { return deadline_; }
    // Ends the script's call as a spent budget does, from the hook or from a C function that sees the budget would
    // not last; raises, so it never returns.
    static int Stop(lua_State *state);

private:
    static void *Allocate(void *self, void *block, std::size_t oldSize, std::size_t newSize);
    static void Hook(lua_State *state, struct lua_Debug *debug);
    static int SafePcall(lua_State *state);
    static int SafeXpcall(lua_State *state);
    static int SafeHandler(lua_State *state);
    static int SafeSetMetatable(lua_State *state);
    static int SafeClose(lua_State *state);
    static int SafePcallContinue(lua_State *state, int status, std::intptr_t context);
    static int Print(lua_State *state);
    static int LoadText(lua_State *state);
    static int CollectGarbage(lua_State *state);
    static int OpenLibraries(lua_State *state);
    SandboxResult Run(int (*trampoline)(lua_State *), void *context);
    int GlobalType(const char *name);
    SandboxResult Outcome(int status);

    std::string name_;
    SandboxLimits limits_;
    lua_State *state_ = nullptr;
    std::size_t used_ = 0;
    bool stopped_ = false;
    int stopLine_ = 0;
    std::chrono::steady_clock::time_point deadline_;

public:
    // Where print() goes: the script's lines in the pane.
    std::function<void(const std::string &)> onPrint;
};
