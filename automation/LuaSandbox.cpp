#include "automation/LuaSandbox.h"

#include "automation/LuaPatterns.h"

#include <lua.hpp>

#include <cstdlib>
#include <cstring>

namespace {

// Instructions between two looks at the clock: often enough that a loop of cheap C calls stays near its budget,
// rare enough to cost little.
constexpr int kHookInterval = 256;
constexpr char kSandboxKey = 0; // its address keys the sandbox in the registry

struct CallContext {
    const char *function;
    const std::function<int(lua_State *)> *pushArguments;
};

struct LoadContext {
    std::string_view source;
    const std::string *chunkName;
};

int CallTrampoline(lua_State *state) {
    auto *context = static_cast<CallContext *>(lua_touserdata(state, 1));
    lua_settop(state, 0);
    if (lua_getglobal(state, context->function) != LUA_TFUNCTION) {
        return 0;
    }
    int count = (context->pushArguments && *context->pushArguments) ? (*context->pushArguments)(state) : 0;
    lua_call(state, count, 0);
    return 0;
}

int LoadTrampoline(lua_State *state) {
    auto *context = static_cast<LoadContext *>(lua_touserdata(state, 1));
    lua_settop(state, 0);
    if (luaL_loadbufferx(state, context->source.data(), context->source.size(), context->chunkName->c_str(), "t") !=
        LUA_OK) {
        return lua_error(state);
    }
    lua_call(state, 0, 0);
    return 0;
}

// Turns any error value into a line; a table without __tostring still says something.
int MessageHandler(lua_State *state) {
    if (!lua_isstring(state, 1)) {
        if (luaL_callmeta(state, 1, "__tostring") && lua_type(state, -1) == LUA_TSTRING) {
            return 1;
        }
        lua_pushfstring(state, "(error object is a %s value)", luaL_typename(state, 1));
    }
    return 1;
}

int ProtectedWork(lua_State *state) {
    auto *work = static_cast<const std::function<void(lua_State *)> *>(lua_touserdata(state, 1));
    lua_remove(state, 1);
    (*work)(state);
    return lua_gettop(state);
}

} // namespace

LuaSandbox::LuaSandbox(std::string name, SandboxLimits limits) : name_(std::move(name)), limits_(limits) {
    state_ = lua_newstate(&LuaSandbox::Allocate, this);
    if (!state_) {
        return;
    }
    lua_pushlightuserdata(state_, this);
    lua_rawsetp(state_, LUA_REGISTRYINDEX, &kSandboxKey);
    if (!Run(&LuaSandbox::OpenLibraries, this).ok()) {
        lua_close(state_);
        state_ = nullptr;
    }
}

LuaSandbox::~LuaSandbox() {
    if (state_) {
        // Finalizers a script left run at the close: with the budget spent they stop at their first hook.
        stopped_ = true;
        lua_close(state_);
    }
}

LuaSandbox &LuaSandbox::FromState(lua_State *state) {
    lua_rawgetp(state, LUA_REGISTRYINDEX, &kSandboxKey);
    auto *self = static_cast<LuaSandbox *>(lua_touserdata(state, -1));
    lua_pop(state, 1);
    return *self;
}

void *LuaSandbox::Allocate(void *self, void *block, std::size_t oldSize, std::size_t newSize) {
    auto *sandbox = static_cast<LuaSandbox *>(self);
    std::size_t old = block ? oldSize : 0;
    if (newSize == 0) {
        std::free(block);
        sandbox->used_ -= old;
        return nullptr;
    }
    if (newSize > old && sandbox->used_ - old + newSize > sandbox->limits_.memoryCap) {
        return nullptr;
    }
    void *grown = std::realloc(block, newSize);
    if (grown) {
        sandbox->used_ = sandbox->used_ - old + newSize;
    }
    return grown;
}

void LuaSandbox::Hook(lua_State *state, lua_Debug *) {
    LuaSandbox &self = FromState(state);
    if (!self.stopped_ && std::chrono::steady_clock::now() <= self.deadline_) {
        return;
    }
    Stop(state);
}

int LuaSandbox::Stop(lua_State *state) {
    LuaSandbox &self = FromState(state);
    if (!self.stopped_) {
        self.stopped_ = true;
        // The line of the innermost Lua function at work, past the C functions it called.
        lua_Debug where;
        for (int level = 0; self.stopLine_ == 0 && lua_getstack(state, level, &where); ++level) {
            if (lua_getinfo(state, "l", &where) && where.currentline > 0) {
                self.stopLine_ = where.currentline;
            }
        }
    }
    return luaL_error(state, "time budget exceeded");
}

// pcall and xpcall as the script knows them, except that they cannot catch the end of the time budget.
int LuaSandbox::SafePcall(lua_State *state) {
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_callk(state, lua_gettop(state) - 1, LUA_MULTRET, 0, &LuaSandbox::SafePcallContinue);
    return SafePcallContinue(state, LUA_OK, 0);
}

// An error raised by the hook reaches a message handler with hooks off: once the budget is spent the script's
// handler is not run at all.
int LuaSandbox::SafeHandler(lua_State *state) {
    if (FromState(state).stopped_) {
        return 1;
    }
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_call(state, lua_gettop(state) - 1, 1);
    return 1;
}

int LuaSandbox::SafeXpcall(lua_State *state) {
    luaL_checkany(state, 2);
    lua_pushvalue(state, 2);
    lua_pushcclosure(state, &LuaSandbox::SafeHandler, 1);
    lua_replace(state, 2);
    return SafePcall(state);
}

// Finalizers run with the hook off, so a script may not have any.
int LuaSandbox::SafeSetMetatable(lua_State *state) {
    if (lua_type(state, 2) == LUA_TTABLE) {
        lua_pushliteral(state, "__gc");
        if (lua_rawget(state, 2) != LUA_TNIL) {
            return luaL_error(state, "finalizers (__gc) are not available to scripts");
        }
        lua_pop(state, 1);
    }
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_call(state, lua_gettop(state) - 1, 1);
    return 1;
}

// A coroutine the hook stopped keeps the hook off; its to-be-closed values must not run after that.
int LuaSandbox::SafeClose(lua_State *state) {
    if (FromState(state).stopped_) {
        return luaL_error(state, "time budget exceeded");
    }
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_call(state, lua_gettop(state) - 1, LUA_MULTRET);
    return lua_gettop(state);
}

int LuaSandbox::SafePcallContinue(lua_State *state, int, std::intptr_t) {
    if (FromState(state).stopped_) {
        return luaL_error(state, "time budget exceeded");
    }
    return lua_gettop(state);
}

int LuaSandbox::Print(lua_State *state) {
    int count = lua_gettop(state);
    luaL_Buffer buffer;
    luaL_buffinit(state, &buffer);
    for (int i = 1; i <= count; ++i) {
        luaL_tolstring(state, i, nullptr);
        luaL_addvalue(&buffer);
        if (i < count) {
            luaL_addchar(&buffer, ' ');
        }
    }
    luaL_pushresult(&buffer);
    LuaSandbox &self = FromState(state);
    if (self.onPrint) {
        std::size_t length = 0;
        const char *text = lua_tolstring(state, -1, &length);
        self.onPrint(std::string(text, length));
    }
    return 0;
}

// load() for source text only: precompiled chunks bypass the checks the compiler makes.
int LuaSandbox::LoadText(lua_State *state) {
    std::size_t length = 0;
    const char *source = luaL_checklstring(state, 1, &length);
    const char *chunkName = luaL_optstring(state, 2, "=(load)");
    bool hasEnvironment = !lua_isnone(state, 4);
    if (luaL_loadbufferx(state, source, length, chunkName, "t") != LUA_OK) {
        luaL_pushfail(state);
        lua_insert(state, -2);
        return 2;
    }
    if (hasEnvironment) {
        lua_pushvalue(state, 4);
        if (!lua_setupvalue(state, -2, 1)) {
            lua_pop(state, 1);
        }
    }
    return 1;
}

// Counting and collecting only: stopping the collector or retuning it is a way to exhaust memory or time.
int LuaSandbox::CollectGarbage(lua_State *state) {
    static const char *const options[] = {"collect", "count", "step", nullptr};
    int option = luaL_checkoption(state, 1, "collect", options);
    switch (option) {
    case 1:
        lua_pushnumber(state, static_cast<lua_Number>(lua_gc(state, LUA_GCCOUNT)) +
                                  static_cast<lua_Number>(lua_gc(state, LUA_GCCOUNTB)) / 1024.0);
        return 1;
    case 2:
        lua_pushboolean(state, lua_gc(state, LUA_GCSTEP, 0));
        return 1;
    default:
        lua_gc(state, LUA_GCCOLLECT);
        lua_pushinteger(state, 0);
        return 1;
    }
}

int LuaSandbox::OpenLibraries(lua_State *state) {
    lua_settop(state, 0);
    static const luaL_Reg libraries[] = {{LUA_GNAME, luaopen_base},        {LUA_TABLIBNAME, luaopen_table},
                                         {LUA_STRLIBNAME, luaopen_string}, {LUA_MATHLIBNAME, luaopen_math},
                                         {LUA_UTF8LIBNAME, luaopen_utf8},  {LUA_COLIBNAME, luaopen_coroutine},
                                         {LUA_OSLIBNAME, luaopen_os}};
    for (const luaL_Reg &library : libraries) {
        luaL_requiref(state, library.name, library.func, 1);
        lua_pop(state, 1);
    }
    // Of the base library: no files, no bytecode, no warnings channel; print goes to the pane.
    for (const char *name : {"dofile", "loadfile", "warn", "require"}) {
        lua_pushnil(state);
        lua_setglobal(state, name);
    }
    lua_pushcfunction(state, &LuaSandbox::LoadText);
    lua_setglobal(state, "load");
    lua_pushcfunction(state, &LuaSandbox::Print);
    lua_setglobal(state, "print");
    lua_pushcfunction(state, &LuaSandbox::CollectGarbage);
    lua_setglobal(state, "collectgarbage");
    const luaL_Reg wrapped[] = {{"pcall", &LuaSandbox::SafePcall},
                                {"xpcall", &LuaSandbox::SafeXpcall},
                                {"setmetatable", &LuaSandbox::SafeSetMetatable}};
    for (const luaL_Reg &wrap : wrapped) {
        lua_getglobal(state, wrap.name);
        lua_pushcclosure(state, wrap.func, 1);
        lua_setglobal(state, wrap.name);
    }
    lua_getglobal(state, LUA_COLIBNAME);
    lua_getfield(state, -1, "close");
    lua_pushcclosure(state, &LuaSandbox::SafeClose, 1);
    lua_setfield(state, -2, "close");
    lua_pop(state, 1);
    // coroutine.wrap closes a failed coroutine's values itself; this one does it through the guarded close.
    static const char wrap[] = "local create, resume, close, error = coroutine.create, coroutine.resume, "
                               "coroutine.close, error\n"
                               "coroutine.wrap = function(f)\n"
                               "  local co = create(f)\n"
                               "  local function finish(ok, ...)\n"
                               "    if ok then return ... end\n"
                               "    close(co)\n"
                               "    error((...), 0)\n"
                               "  end\n"
                               "  return function(...) return finish(resume(co, ...)) end\n"
                               "end";
    if (luaL_loadbufferx(state, wrap, sizeof wrap - 1, "=(sandbox)", "t") != LUA_OK) {
        return lua_error(state);
    }
    lua_call(state, 0, 0);
    // string.dump makes bytecode.
    lua_getglobal(state, LUA_STRLIBNAME);
    lua_pushnil(state);
    lua_setfield(state, -2, "dump");
    lua_pop(state, 1);
    BoundPatternFunctions(state);
    // Of os, the clock and the calendar; nothing that touches files, processes, the environment or the locale.
    lua_getglobal(state, LUA_OSLIBNAME);
    lua_newtable(state);
    for (const char *name : {"time", "clock", "date", "difftime"}) {
        lua_getfield(state, -2, name);
        lua_setfield(state, -2, name);
    }
    lua_setglobal(state, LUA_OSLIBNAME);
    lua_pop(state, 1);
    // Lua's own module tables were registered when the libraries opened; drop them so nothing reaches the originals.
    lua_pushnil(state);
    lua_setfield(state, LUA_REGISTRYINDEX, LUA_LOADED_TABLE);
    lua_sethook(state, &LuaSandbox::Hook, LUA_MASKCOUNT, kHookInterval);
    return 0;
}

SandboxResult LuaSandbox::Run(int (*trampoline)(lua_State *), void *context) {
    if (!state_) {
        return {SandboxResult::Error, name_ + ": the script engine could not start"};
    }
    if (stopped_) {
        return {SandboxResult::OverBudget, {}, stopLine_};
    }
    deadline_ = std::chrono::steady_clock::now() + limits_.timeBudget;
    lua_settop(state_, 0);
    lua_pushcfunction(state_, &MessageHandler);
    lua_pushcfunction(state_, trampoline);
    lua_pushlightuserdata(state_, context);
    int status = lua_pcall(state_, 1, 0, 1);
    SandboxResult result = Outcome(status);
    lua_settop(state_, 0);
    // Outside a call nothing of the script may run (a finalizer at a later allocation, say) for longer than a hook.
    deadline_ = std::chrono::steady_clock::time_point{};
    return result;
}

SandboxResult LuaSandbox::Outcome(int status) {
    if (status == LUA_OK) {
        return {};
    }
    if (stopped_) {
        return {SandboxResult::OverBudget, {}, stopLine_};
    }
    if (status == LUA_ERRMEM) {
        return {SandboxResult::OutOfMemory, {}};
    }
    const char *message = lua_tostring(state_, -1);
    return {SandboxResult::Error, message ? message : "unknown error"};
}

SandboxResult LuaSandbox::Load(std::string_view source) {
    std::string chunkName = "@" + name_;
    LoadContext context{source, &chunkName};
    return Run(&LoadTrampoline, &context);
}

SandboxResult LuaSandbox::Call(const char *function, const std::function<int(lua_State *)> &pushArguments) {
    CallContext context{function, &pushArguments};
    return Run(&CallTrampoline, &context);
}

bool LuaSandbox::Defines(const char *function) { return GlobalType(function) == LUA_TFUNCTION; }

bool LuaSandbox::GlobalTrue(const char *name) { return GlobalType(name) == LUA_TBOOLEAN + 100; }

// The type of a global, read raw; a true boolean answers LUA_TBOOLEAN + 100.
int LuaSandbox::GlobalType(const char *name) {
    struct Question {
        const char *name;
        int type = LUA_TNONE;
    } question{name};
    // Raw: a metatable on the globals must not run script code here.
    auto trampoline = [](lua_State *state) -> int {
        auto *q = static_cast<Question *>(lua_touserdata(state, 1));
        lua_pushglobaltable(state);
        lua_pushstring(state, q->name);
        q->type = lua_rawget(state, -2);
        if (q->type == LUA_TBOOLEAN && lua_toboolean(state, -1)) {
            q->type += 100;
        }
        return 0;
    };
    return Run(trampoline, &question).ok() ? question.type : LUA_TNONE;
}

bool LuaSandbox::Protected(lua_State *state, const std::function<void(lua_State *)> &work) {
    lua_pushcfunction(state, &ProtectedWork);
    lua_pushlightuserdata(state, const_cast<std::function<void(lua_State *)> *>(&work));
    return lua_pcall(state, 1, LUA_MULTRET, 0) == LUA_OK;
}

void LuaSandbox::Register(const char *table, const char *name, int (*function)(lua_State *), void *context) {
    struct Registration {
        const char *table;
        const char *name;
        int (*function)(lua_State *);
        void *context;
    } registration{table, name, function, context};
    auto trampoline = [](lua_State *state) -> int {
        auto *r = static_cast<Registration *>(lua_touserdata(state, 1));
        lua_settop(state, 0);
        if (lua_getglobal(state, r->table) != LUA_TTABLE) {
            lua_pop(state, 1);
            lua_newtable(state);
            lua_pushvalue(state, -1);
            lua_setglobal(state, r->table);
        }
        lua_pushlightuserdata(state, r->context);
        lua_pushcclosure(state, r->function, 1);
        lua_setfield(state, -2, r->name);
        return 0;
    };
    Run(trampoline, &registration);
}
