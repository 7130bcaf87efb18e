// Lua's pattern matching inside the sandbox: a search that would outlast the budget stops the script at its line;
// every other search gives what Lua's own string library gives, results and errors alike.

#include "automation/LuaSandbox.h"

#include <chrono>
#include <gtest/gtest.h>
#include <lua.hpp>
#include <string>

namespace {

using namespace std::chrono_literals;

// Each takes Lua's own matcher a second or more, in one call.
class Pathological : public testing::TestWithParam<const char *> {};

TEST_P(Pathological, IsStoppedWithinTheBudgetAtItsLine) {
    LuaSandbox sandbox("match.lua", {50ms, 8u << 20});
    ASSERT_TRUE(
        sandbox
            .Load(std::string("function on_chat()\n"
                              "  local s, t, u = string.rep('a', 100), string.rep('a', 200), string.rep('a', 70)\n"
                              "  return ") +
                  GetParam() + "\nend\n")
            .ok());
    const auto start = std::chrono::steady_clock::now();
    const SandboxResult result = sandbox.Call("on_chat");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.outcome, SandboxResult::OverBudget) << result.message;
    EXPECT_EQ(result.line, 3);
    EXPECT_LT(elapsed, 200ms);
}

INSTANTIATE_TEST_SUITE_P(Sandbox, Pathological,
                         testing::Values("s:find('a*a*a*a*b')", "string.find(s, '.-.-.-.-b')",
                                         "t:match('(a*)(a*)(a*)b')", "s:gsub('a-a-a-a-b', 'x')",
                                         "pcall(string.match, s, 'a*a*a*a*b')",
                                         "(function() for w in s:gmatch('a*a*a*a*b') do end end)()",
                                         "t:find('(a-)(a-)(a-)%3b')", "u:match('()a?a?a?a*a*a*a*b')"));

// Prints what `return EXPR` gave: "true|results..." or "false|error"; collect() shows what an iterator gives.
std::string Probe(const std::string &expression) {
    return "local function show(...)\n"
           "  local t = {}\n"
           "  for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end\n"
           "  return table.concat(t, '|')\n"
           "end\n"
           "local function collect(f, s, c) local t = {} for a, b in f, s, c do "
           "t[#t + 1] = tostring(a) .. ',' .. tostring(b) end return table.concat(t, ';') end\n"
           "print(show(pcall(function() return " +
           expression + " end)))";
}

std::string printed;

int Print(lua_State *state) {
    printed = luaL_checkstring(state, 1);
    return 0;
}

TEST(Sandbox, PatternFunctionsGiveWhatLuasOwnGive) {
    const char *const expressions[] = {
        "('hello world'):find('o w')",
        "('hello world'):find('l+')",
        "('hello world'):find('l+', -3)",
        "('hello'):find('l', 1, true)",
        "('a.b'):find('.', 1, true)",
        "('hello'):find('xyz')",
        "('hello'):find('', 10)",
        "('hello'):find('', 6)",
        "('hello'):find('h', -10)",
        "string.find(12345, 3)",
        "string.match(123.5, '%d+')",
        "('key = value'):match('(%w+)%s*=%s*(%w+)')",
        "('say [[x] y] z'):match('%b[]')",
        "('THE (quick) fox'):match('%f[%a]%a+%f[%A]', 5)",
        "('hello'):match('()ll()')",
        "('abcabc'):match('(a)(b)c%1%2')",
        "('  trim me  '):match('^%s*(.-)%s*$')",
        "('x=1, y=22'):match('y=(%d-)$')",
        "('[a-z]'):match('[%[%]%-]+')",
        "('Abc9_'):match('[^%l]+')",
        "('abc'):match('a', 10)",
        "('-12.5e3'):match('^[+-]?%d+%.?%d*[eE]?%d*$')",
        "collect(('a=1, b=2'):gmatch('(%w+)=(%w+)'))",
        "collect(('^a^a'):gmatch('^a'))",
        "collect(('one two'):gmatch('%a*'))",
        "collect(('abcd'):gmatch('.', 3))",
        "('hello world'):gsub('o', '0')",
        "('hello world'):gsub('(%w+)', '<%1>')",
        "('hello world'):gsub('%w+', '%0 %0', 1)",
        "('hello'):gsub('', '-')",
        "('hello'):gsub('^h', 'H')",
        "('abc'):gsub('%w', {a = '1', b = true})",
        "('abc'):gsub('%w', function(c) return c:upper() end, 2)",
        "('abc'):gsub('.', '%%')",
        "('abc'):gsub('x*', '-', 0)",
        "('x'):find('%')",
        "('x'):find('[a')",
        "('x'):find('[a%')",
        "('x'):match('(()')",
        "('x'):match('x)')",
        "('x'):gsub('(', '')",
        "('x'):match('%1')",
        "('x'):match('(x)%2')",
        "('x'):match('%bx')",
        "('x'):match('%fx')",
        "('x'):gsub('x', '%2')",
        "('x'):gsub('x', '%z')",
        "('x'):gsub('x', {x = {}})",
        "('x'):gsub('x', function() return {} end)",
        "('x'):gsub('x', setmetatable({}, {__index = function(_, k) return k .. k end}))",
        "('xy'):gsub('(x)(y)', function(a, b) return b .. a end)",
        "('xy'):gsub('x', function() return false end)",
        "('xy'):gsub('x', function() error('mine', 0) end)",
        "('xy'):gsub('x', function() error('mine') end)",
        "('x'):gsub('(x)', '%1%2')",
        "('x'):gsub('x', '%1')",
        "('x'):gsub('y', '%2')",
        "('x'):gsub('x', '%')",
        "('x'):gsub('(()', '%1')",
        "('x'):gsub('(()', '%2')",
        "('x'):gsub('x')",
        "('x'):gsub('x', 'y', 1.5)",
        "('x'):find('x', 1.5)",
        "('x'):find()",
        "string.find(nil, 'x')",
        "('x'):match({})",
        "collect(('x'):gmatch('x', 'y'))",
        "(string.rep('a', 300)):match(string.rep('a?', 300))",
        "(string.rep('x', 40)):match(string.rep('(x)', 40))",
    };
    LuaSandbox sandbox("probe.lua", {});
    std::string inSandbox;
    sandbox.onPrint = [&inSandbox](const std::string &line) { inSandbox = line; };
    lua_State *plain = luaL_newstate();
    luaL_openlibs(plain);
    lua_register(plain, "print", &Print);
    for (const char *expression : expressions) {
        inSandbox = "(nothing)";
        const SandboxResult result = sandbox.Load(Probe(expression));
        ASSERT_TRUE(result.ok()) << expression << ": " << result.message;
        const std::string source = Probe(expression);
        printed = "(nothing)";
        ASSERT_EQ(luaL_loadbufferx(plain, source.data(), source.size(), "=probe.lua", "t"), LUA_OK) << expression;
        ASSERT_EQ(lua_pcall(plain, 0, 0, 0), LUA_OK) << expression;
        EXPECT_EQ(inSandbox, printed) << expression;
    }
    lua_close(plain);
}

} // namespace
