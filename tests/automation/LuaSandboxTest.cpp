#include "automation/LuaSandbox.h"

#include <chrono>
#include <gtest/gtest.h>
#include <lua.hpp>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

SandboxResult RunSource(const std::string &source, SandboxLimits limits = {}) {
    LuaSandbox sandbox("probe.lua", limits);
    return sandbox.Load(source);
}

// Each line tries to reach past the sandbox; each must fail (raise) rather than hand the script the thing asked for.
class Escape : public testing::TestWithParam<const char *> {};

TEST_P(Escape, IsRefused) {
    SandboxResult result = RunSource(GetParam());
    EXPECT_EQ(result.outcome, SandboxResult::Error) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Sandbox, Escape,
    testing::Values("io.open('/etc/passwd')", "assert(io)", "os.execute('true')", "os.remove('x')",
                    "os.rename('a', 'b')", "os.getenv('HOME')", "os.exit(1)", "os.tmpname()", "os.setlocale('C')",
                    "require('io')", "assert(require)", "package.loadlib('libc.so.6', 'system')", "assert(package)",
                    "dofile('/etc/passwd')", "loadfile('/etc/passwd')", "debug.getregistry()", "assert(debug)",
                    "assert(string.dump)", "assert(getmetatable('').__index.dump)",
                    "assert(load('\\27Lua\\84\\0', 'x', 'b'))", "assert(load(string.char(27) .. 'Lua'))",
                    "assert(rawget(_G, 'io'))", "assert(_ENV.os.execute)", "assert(load('return io')())",
                    "collectgarbage('stop')", "collectgarbage('generational')", "collectgarbage('setpause', 1000)",
                    "assert(warn)", "setmetatable({}, {__gc = function() while true do end end})",
                    "setmetatable({}, {__gc = false})", "assert(coroutine.wrap(function() return io end)())"));

TEST(Sandbox, KeepsTheHarmlessLibrary) {
    LuaSandbox sandbox("probe.lua", {});
    std::vector<std::string> printed;
    sandbox.onPrint = [&](const std::string &line) { printed.push_back(line); };
    SandboxResult result = sandbox.Load("local t = {3, 1, 2} table.sort(t)\n"
                                        "print(string.format('%d%d%d', t[1], t[2], t[3]), math.max(1, 5),"
                                        " utf8.len('\\u{e9}'), type(os.time()), select('#', pcall(error, 'x')),"
                                        " load('return 7')())");
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(printed, std::vector<std::string>{"123 5 1 number 2 7"});
}

// Endless work of every shape stops at the budget: the hook fires in coroutines too and pcall cannot catch it.
class Endless : public testing::TestWithParam<const char *> {};

TEST_P(Endless, StopsWithinItsBudget) {
    LuaSandbox sandbox("loop.lua", {50ms, 8u << 20});
    ASSERT_TRUE(sandbox.Load(std::string("function on_chat() ") + GetParam() + " end").ok());
    auto start = std::chrono::steady_clock::now();
    SandboxResult result = sandbox.Call("on_chat");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, SandboxResult::OverBudget);
    EXPECT_LT(elapsed, 1s);
    // Spent is spent: nothing of the script runs again.
    EXPECT_EQ(sandbox.Call("on_chat").outcome, SandboxResult::OverBudget);
}

INSTANTIATE_TEST_SUITE_P(
    Sandbox, Endless,
    testing::Values("while true do end", "while true do pcall(function() while true do end end) end",
                    "while true do xpcall(function() while true do end end, function() while true do end end) end",
                    "coroutine.wrap(function() while true do end end)()",
                    "while true do coroutine.resume(coroutine.create(function() while true do end end)) end",
                    "local co = coroutine.create(function() local x <close> = setmetatable({}, {__close = "
                    "function() while true do end end}) while true do end end) coroutine.resume(co) "
                    "coroutine.close(co)",
                    "coroutine.wrap(function() local x <close> = setmetatable({}, {__close = function() while true "
                    "do end end}) while true do end end)()",
                    "for _ in function() while true do end end, nil, nil, setmetatable({}, {__close = function() "
                    "while true do end end}) do end",
                    "setmetatable(_G, {__index = function() while true do end end}) return x",
                    "local s = string.rep('x', 1000) while true do s:upper() end",
                    "local t = {} for i = 1, 1e5 do t[i] = i end while true do table.sort(t, function(a, b) "
                    "return a > b end) end"));

TEST(Sandbox, EndlessTopLevelStopsTheLoad) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunSource("while true do end", {50ms, 8u << 20}).outcome, SandboxResult::OverBudget);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// Memory bombs of every shape meet the cap, and the state stays usable for the host to report and close.
class Bomb : public testing::TestWithParam<const char *> {};

TEST_P(Bomb, MeetsTheMemoryCap) {
    LuaSandbox sandbox("bomb.lua", {5s, 2u << 20});
    SandboxResult result = sandbox.Load(GetParam());
    EXPECT_EQ(result.outcome, SandboxResult::OutOfMemory) << result.message;
    EXPECT_LE(sandbox.MemoryInUse(), 2u << 20);
}

INSTANTIATE_TEST_SUITE_P(Sandbox, Bomb,
                         testing::Values("local t = {} for i = 1, 1e9 do t[i] = i end",
                                         "local s = 'x' while true do s = s .. s end", "local s = string.rep('x', 1e9)",
                                         "local s = string.rep('x', 1e6, string.rep('y', 1e3))",
                                         "local t = {} for i = 1, 1e9 do t[i] = tostring(i) .. 'padding' end",
                                         "local t = {} for i = 1, 3e6 do t[#t + 1] = 'x' end print(table.concat(t))"));

TEST(Sandbox, DeepRecursionIsAnErrorNotACrash) {
    for (const char *source :
         {"local function f() return 1 + f() end f()", "local function f() return f() + 1 end f()",
          "local t = setmetatable({}, {}) getmetatable(t).__index = t return t.x",
          "local function f(n) local ok, e = pcall(f, n + 1) if not ok then error(e, 0) end end f(1)",
          "local s = string.rep('(', 1e5) assert(load('return ' .. s))"}) {
        SandboxResult result = RunSource(source, {2s, 8u << 20});
        EXPECT_NE(result.outcome, SandboxResult::Ok) << source;
        EXPECT_NE(result.outcome, SandboxResult::OverBudget) << source;
    }
}

TEST(Sandbox, ErrorsNameTheScriptAndLine) {
    struct Case {
        const char *source;
        const char *message;
    };
    for (const Case &c : {Case{"local a = 1\n\nerror('boom')", "probe.lua:3: boom"},
                          Case{"local x\nreturn x.y", "probe.lua:2: attempt to index a nil value (local 'x')"},
                          Case{"function (", "probe.lua:1: <name> expected near '('"},
                          Case{"error(setmetatable({}, {__tostring = function() return 'custom' end}))", "custom"},
                          Case{"error({})", "(error object is a table value)"}}) {
        SandboxResult result = RunSource(c.source);
        EXPECT_EQ(result.outcome, SandboxResult::Error);
        EXPECT_EQ(result.message, c.message);
    }
}

TEST(Sandbox, GoesOnAfterAnError) {
    LuaSandbox sandbox("count.lua", {});
    std::vector<std::string> printed;
    sandbox.onPrint = [&](const std::string &line) { printed.push_back(line); };
    ASSERT_TRUE(sandbox
                    .Load("n = 0\nfunction on_chat(fail)\n  n = n + 1\n  if fail then error('no') end\n"
                          "  print(n)\nend")
                    .ok());
    auto call = [&](bool fail) {
        return sandbox.Call("on_chat", [fail](lua_State *state) {
            lua_pushboolean(state, fail);
            return 1;
        });
    };
    EXPECT_TRUE(call(false).ok());
    EXPECT_EQ(call(true).message, "count.lua:4: no");
    EXPECT_TRUE(call(false).ok());
    EXPECT_TRUE(sandbox.Defines("on_chat"));
    EXPECT_FALSE(sandbox.Defines("on_whisper"));
    EXPECT_TRUE(sandbox.Call("on_whisper").ok()); // an event the script does not handle is no error
    EXPECT_EQ(printed, (std::vector<std::string>{"1", "3"}));
}

} // namespace
