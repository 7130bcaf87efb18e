#pragma once

#include "automation/BotEvent.h"

#include <string>

struct lua_State;
class BotActions;
class LuaSandbox;
class ScriptStore;

// What a script reaches of the bot: the table `bot` (its actions, through automation's guard) and the table
// `store` (its own keys and values). Both must outlive the sandbox.
struct ScriptContext {
    BotActions &actions;
    ScriptStore &store;
};

void InstallScriptApi(LuaSandbox &sandbox, ScriptContext &context);
// The event as the table a handler receives, bare being its BareName; returns the count of values pushed (1).
int PushScriptEvent(lua_State *state, const BotEvent &event, const std::string &bare);
// "on_arrival", "on_chat", ...: the global function that hears events of the type.
std::string ScriptHandlerName(BotEventType type);
