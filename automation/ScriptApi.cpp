#include "automation/ScriptApi.h"

#include "automation/BotActions.h"
#include "automation/LuaSandbox.h"
#include "automation/ScriptStore.h"

#include <lua.hpp>

#include <string>

// Each function reads its arguments (which may raise) before it builds anything with a destructor, and pushes what
// it returns in protected mode, so a Lua error never jumps over a live C++ object.

namespace {

// Refusals of the script's own making (nobody of that name, a full store): no SDK code applies.
constexpr int kRefused = -100;

ScriptContext &Context(lua_State *state) {
    return *static_cast<ScriptContext *>(lua_touserdata(state, lua_upvalueindex(1)));
}

// A short text argument: the say and whisper boxes take no more either, and a script cannot hand the bot megabytes.
std::string_view Text(lua_State *state, int index) {
    std::size_t length = 0;
    const char *text = luaL_checklstring(state, index, &length);
    luaL_argcheck(state, length <= 4096, index, "text too long");
    return {text, length};
}

int Int(lua_State *state, int index) {
    lua_Integer value = luaL_checkinteger(state, index);
    luaL_argcheck(state, value >= -2000000000 && value <= 2000000000, index, "number out of range");
    return static_cast<int>(value);
}

// Returns the results pushed by push, or raises the error it met after the caller's objects are gone.
int Finish(lua_State *state, bool ok) {
    if (!ok) {
        return lua_error(state);
    }
    return lua_gettop(state);
}

// true, or nil and the reason, as Lua's own functions answer.
// result is emptied before a re-raised error can jump over it.
int Answer(lua_State *state, ActionResult &result) {
    lua_settop(state, 0);
    bool ok = LuaSandbox::Protected(state, [&result](lua_State *s) {
        if (result.Ok()) {
            lua_pushboolean(s, 1);
        } else {
            luaL_pushfail(s);
            lua_pushlstring(s, result.message.data(), result.message.size());
        }
    });
    result = {};
    return Finish(state, ok);
}

// A person by session number, or by name among the people present.
int SessionOf(lua_State *state, int index, BotActions &actions) {
    if (lua_type(state, index) == LUA_TNUMBER) {
        return Int(state, index);
    }
    std::string name(Text(state, index));
    std::optional<PresentPerson> person = actions.FindPerson(name);
    return person ? person->session : 0;
}

void PushPerson(lua_State *state, const PresentPerson &person) {
    lua_createtable(state, 0, 7);
    lua_pushlstring(state, person.name.data(), person.name.size());
    lua_setfield(state, -2, "name");
    lua_pushinteger(state, person.session);
    lua_setfield(state, -2, "session");
    if (person.citizen) {
        lua_pushinteger(state, *person.citizen);
        lua_setfield(state, -2, "citizen");
    }
    lua_pushstring(state, PersonClassName(person.personClass));
    lua_setfield(state, -2, "class");
    lua_pushinteger(state, person.x);
    lua_setfield(state, -2, "x");
    lua_pushinteger(state, person.y);
    lua_setfield(state, -2, "y");
    lua_pushinteger(state, person.z);
    lua_setfield(state, -2, "z");
}

int Say(lua_State *state) {
    std::string_view text = Text(state, 1);
    ActionResult result = Context(state).actions.Say(std::string(text));
    return Answer(state, result);
}

int Whisper(lua_State *state) {
    std::string_view text = Text(state, 2);
    int session = SessionOf(state, 1, Context(state).actions);
    if (session == 0) {
        ActionResult refused{kRefused, "nobody of that name is here"};
        return Answer(state, refused);
    }
    ActionResult result = Context(state).actions.Whisper(session, std::string(text));
    return Answer(state, result);
}

int Console(lua_State *state) {
    std::string_view text = Text(state, 2);
    int session = SessionOf(state, 1, Context(state).actions);
    // 0 means the whole world only when the script says 0, never for a name nobody here has.
    if (session == 0 && lua_type(state, 1) != LUA_TNUMBER) {
        ActionResult refused{kRefused, "nobody of that name is here"};
        return Answer(state, refused);
    }
    ActionResult result = Context(state).actions.ConsoleMessage(session, std::string(text));
    return Answer(state, result);
}

int Eject(lua_State *state) {
    int minutes = Int(state, 2);
    int session = SessionOf(state, 1, Context(state).actions);
    if (session == 0) {
        ActionResult refused{kRefused, "nobody of that name is here"};
        return Answer(state, refused);
    }
    ActionResult result = Context(state).actions.Eject(session, minutes);
    return Answer(state, result);
}

int Teleport(lua_State *state) {
    std::string_view world = Text(state, 1);
    int x = Int(state, 2), y = Int(state, 3), z = Int(state, 4), yaw = static_cast<int>(luaL_optinteger(state, 5, 0));
    ActionResult result = Context(state).actions.Teleport(std::string(world), x, y, z, yaw);
    return Answer(state, result);
}

int Move(lua_State *state) {
    int x = Int(state, 1), y = Int(state, 2), z = Int(state, 3), yaw = static_cast<int>(luaL_optinteger(state, 4, 0));
    ActionResult result = Context(state).actions.Teleport({}, x, y, z, yaw);
    return Answer(state, result);
}

int Notice(lua_State *state) {
    std::string_view text = Text(state, 1);
    Context(state).actions.Notice(std::string(text));
    return 0;
}

int Notify(lua_State *state) {
    std::string_view title = Text(state, 1);
    std::string_view text = Text(state, 2);
    Context(state).actions.Notify(std::string(title), std::string(text));
    return 0;
}

int People(lua_State *state) {
    std::vector<PresentPerson> people = Context(state).actions.PeoplePresent();
    lua_settop(state, 0);
    bool ok = LuaSandbox::Protected(state, [&people](lua_State *s) {
        lua_createtable(s, static_cast<int>(people.size()), 0);
        for (std::size_t i = 0; i < people.size(); ++i) {
            PushPerson(s, people[i]);
            lua_rawseti(s, -2, static_cast<lua_Integer>(i + 1));
        }
    });
    std::vector<PresentPerson>().swap(people);
    return Finish(state, ok);
}

int Find(lua_State *state) {
    std::string_view name = Text(state, 1);
    std::optional<PresentPerson> person = Context(state).actions.FindPerson(std::string(name));
    lua_settop(state, 0);
    bool ok = LuaSandbox::Protected(state, [&person](lua_State *s) {
        if (person) {
            PushPerson(s, *person);
        } else {
            lua_pushnil(s);
        }
    });
    person.reset();
    return Finish(state, ok);
}

int World(lua_State *state) {
    std::string world = Context(state).actions.World();
    int build = Context(state).actions.WorldBuild();
    lua_settop(state, 0);
    bool ok = LuaSandbox::Protected(state, [&](lua_State *s) {
        lua_pushlstring(s, world.data(), world.size());
        lua_pushinteger(s, build);
    });
    world.clear();
    world.shrink_to_fit();
    return Finish(state, ok);
}

int History(lua_State *state) {
    std::string_view query = lua_isnoneornil(state, 1) ? std::string_view() : Text(state, 1);
    std::string_view person = lua_isnoneornil(state, 2) ? std::string_view() : Text(state, 2);
    lua_Integer limit = luaL_optinteger(state, 3, 10);
    limit = limit < 1 ? 1 : (limit > 100 ? 100 : limit);
    std::vector<HistoryHit> hits = Context(state).actions.SearchHistory(std::string(query), std::string(person),
                                                                        static_cast<int>(limit));
    lua_settop(state, 0);
    bool ok = LuaSandbox::Protected(state, [&hits](lua_State *s) {
        lua_createtable(s, static_cast<int>(hits.size()), 0);
        for (std::size_t i = 0; i < hits.size(); ++i) {
            const HistoryHit &hit = hits[i];
            lua_createtable(s, 0, 4);
            lua_pushinteger(s, hit.time / 1000);
            lua_setfield(s, -2, "time");
            lua_pushlstring(s, hit.world.data(), hit.world.size());
            lua_setfield(s, -2, "world");
            lua_pushlstring(s, hit.speaker.data(), hit.speaker.size());
            lua_setfield(s, -2, "speaker");
            lua_pushlstring(s, hit.text.data(), hit.text.size());
            lua_setfield(s, -2, "text");
            lua_rawseti(s, -2, static_cast<lua_Integer>(i + 1));
        }
    });
    std::vector<HistoryHit>().swap(hits);
    return Finish(state, ok);
}

int StoreGet(lua_State *state) {
    std::string_view key = Text(state, 1);
    std::optional<std::string> value = Context(state).store.Get(std::string(key));
    lua_settop(state, 0);
    bool ok = LuaSandbox::Protected(state, [&value](lua_State *s) {
        if (value) {
            lua_pushlstring(s, value->data(), value->size());
        } else {
            lua_pushnil(s);
        }
    });
    value.reset();
    return Finish(state, ok);
}

// Numbers and booleans are kept as their text; nil removes the key.
int StoreSet(lua_State *state) {
    std::string_view key = Text(state, 1);
    std::optional<std::string> value;
    if (!lua_isnoneornil(state, 2)) {
        if (lua_type(state, 2) == LUA_TBOOLEAN) {
            lua_pushstring(state, lua_toboolean(state, 2) ? "true" : "false");
            lua_replace(state, 2);
        }
        luaL_argcheck(state, lua_type(state, 2) == LUA_TSTRING || lua_type(state, 2) == LUA_TNUMBER, 2,
                      "text, number, boolean or nil expected");
        std::size_t length = 0;
        const char *text = lua_tolstring(state, 2, &length);
        value.emplace(text, length);
    }
    ActionResult result;
    {
        FileResult written = Context(state).store.Set(std::string(key), value);
        result = {written.ok ? 0 : kRefused, written.error};
    }
    value.reset();
    return Answer(state, result);
}

} // namespace

void InstallScriptApi(LuaSandbox &sandbox, ScriptContext &context) {
    const luaL_Reg bot[] = {{"say", Say},         {"whisper", Whisper},   {"console", Console}, {"eject", Eject},
                            {"teleport", Teleport}, {"move", Move},       {"notice", Notice},   {"notify", Notify},
                            {"people", People},   {"find", Find},         {"world", World},     {"history", History}};
    for (const luaL_Reg &function : bot) {
        sandbox.Register("bot", function.name, function.func, &context);
    }
    sandbox.Register("store", "get", StoreGet, &context);
    sandbox.Register("store", "set", StoreSet, &context);
}

std::string ScriptHandlerName(BotEventType type) { return std::string("on_") + BotEventTypeName(type); }

int PushScriptEvent(lua_State *state, const BotEvent &event, const std::string &bare) {
    lua_createtable(state, 0, 12);
    lua_pushstring(state, BotEventTypeName(event.type));
    lua_setfield(state, -2, "type");
    lua_pushlstring(state, event.name.data(), event.name.size());
    lua_setfield(state, -2, "name");
    lua_pushlstring(state, bare.data(), bare.size());
    lua_setfield(state, -2, "bare");
    lua_pushinteger(state, event.session);
    lua_setfield(state, -2, "session");
    if (event.citizen) {
        lua_pushinteger(state, *event.citizen);
        lua_setfield(state, -2, "citizen");
    }
    lua_pushstring(state, PersonClassName(event.personClass));
    lua_setfield(state, -2, "class");
    lua_pushboolean(state, event.firstVisitToday);
    lua_setfield(state, -2, "first_visit_today");
    lua_pushlstring(state, event.text.data(), event.text.size());
    lua_setfield(state, -2, "text");
    lua_pushlstring(state, event.world.data(), event.world.size());
    lua_setfield(state, -2, "world");
    lua_pushinteger(state, event.worldBuild);
    lua_setfield(state, -2, "world_build");
    lua_pushinteger(state, event.reason);
    lua_setfield(state, -2, "reason");
    lua_pushinteger(state, event.time / 1000);
    lua_setfield(state, -2, "time");
    return 1;
}
