#include "automation/ScriptHost.h"

#include "automation/Automation.h"
#include "automation/AutomationGuard.h"
#include "automation/ScriptApi.h"
#include "automation/ScriptStore.h"

#include <lua.hpp>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

struct ScriptHost::Script {
    std::string name;
    fs::file_time_type changed;
    std::uintmax_t size = 0;
    std::unique_ptr<ScriptStore> store;
    std::unique_ptr<ScriptContext> context;
    std::unique_ptr<LuaSandbox> sandbox; // null while the script is not running
    bool hearsBots = false;
};

ScriptHost::ScriptHost(Automation &automation, ScriptHostOptions options, Line line)
    : automation_(automation), options_(std::move(options)), line_(std::move(line)) {
    automation_.AddListener([this](const BotEvent &event) { Deliver(event); });
}

ScriptHost::~ScriptHost() = default;

void ScriptHost::Poll() {
    std::error_code error;
    std::map<std::string, fs::path> present;
    for (fs::directory_iterator it(options_.folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path &path = it->path();
        std::error_code ignored;
        if (path.extension() == ".lua" && it->is_regular_file(ignored)) {
            present[path.filename().string()] = path;
        }
    }
    for (auto it = scripts_.begin(); it != scripts_.end();) {
        if (present.count(it->first) == 0) {
            line_("Script " + it->first + " removed; it no longer runs.", false);
            it = scripts_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto &[name, path] : present) {
        std::error_code statError;
        fs::file_time_type changed = fs::last_write_time(path, statError);
        std::uintmax_t size = fs::file_size(path, statError);
        if (statError) {
            continue;
        }
        std::unique_ptr<Script> &slot = scripts_[name];
        if (slot && slot->changed == changed && slot->size == size) {
            continue;
        }
        if (!slot) {
            slot = std::make_unique<Script>();
            slot->name = name;
        }
        slot->changed = changed;
        slot->size = size;
        Load(path, *slot);
    }
}

void ScriptHost::Load(const fs::path &file, Script &script) {
    bool reload = script.sandbox != nullptr;
    if (script.size > options_.maxFileSize) {
        script.sandbox.reset();
        line_("Script " + script.name + " is larger than " + std::to_string(options_.maxFileSize / 1024) +
              " KiB; it is not loaded.", true);
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream source;
    source << in.rdbuf();
    if (!in) {
        line_("Script " + script.name + " could not be read.", true);
        return;
    }
    if (!script.store) {
        script.store = std::make_unique<ScriptStore>(options_.storeFolder + "/" + script.name + ".store");
        if (!script.store->LoadProblem().empty()) {
            line_(script.store->LoadProblem(), true);
        }
        script.context =
            std::make_unique<ScriptContext>(ScriptContext{automation_.ActionsFor("script " + script.name), *script.store});
    }
    auto sandbox = std::make_unique<LuaSandbox>(script.name, options_.limits);
    sandbox->onPrint = [this, name = script.name](const std::string &text) { line_("[" + name + "] " + text, false); };
    InstallScriptApi(*sandbox, *script.context);
    SandboxResult loaded = sandbox->Load(source.str());
    if (!loaded.ok()) {
        // A file saved half-way fails here; the version that ran goes on until the file compiles.
        Report(script.name, loaded);
        if (reload && script.sandbox) {
            line_("Script " + script.name + ": the previous version goes on.", true);
        }
        return;
    }
    script.sandbox = std::move(sandbox);
    // A script answers other bots only when it says so, as a rule must name bots.
    script.hearsBots = script.sandbox->GlobalTrue("hears_bots");
    // A changed script is a new chance, as a changed rules file is for a rule.
    automation_.Guard().Resume("script " + script.name);
    line_("Script " + script.name + (reload ? " reloaded." : " loaded."), false);
}

bool ScriptHost::Report(const std::string &name, const SandboxResult &result) {
    switch (result.outcome) {
    case SandboxResult::Ok:
        return false;
    case SandboxResult::Error:
        line_("Script " + name + ": " + result.message, true);
        return false;
    case SandboxResult::OverBudget:
        line_("Script " + name + " stopped" + (result.line > 0 ? " at line " + std::to_string(result.line) : "") +
                  ": it ran longer than " + std::to_string(options_.limits.timeBudget.count()) +
                  " ms. It runs again when its file changes.",
              true);
        break;
    case SandboxResult::OutOfMemory:
        line_("Script " + name + " stopped: it used more than " +
              std::to_string(options_.limits.memoryCap / 1024 / 1024) +
              " MiB of memory. It runs again when its file changes.", true);
        break;
    }
    return true;
}

void ScriptHost::Deliver(const BotEvent &event) {
    const std::string handler = ScriptHandlerName(event.type);
    const std::string bare = BareName(event.name);
    for (auto &[name, script] : scripts_) {
        if (!script->sandbox || !script->sandbox->Defines(handler.c_str())) {
            continue;
        }
        // A script the guard paused for acting too often is not run at all: its actions would be refused anyway.
        if (!AutomationGuard::MayAnswer(event, script->hearsBots) ||
            automation_.Guard().Paused("script " + name)) {
            continue;
        }
        SandboxResult result = script->sandbox->Call(
            handler.c_str(), [&event, &bare](lua_State *state) { return PushScriptEvent(state, event, bare); });
        if (Report(name, result)) {
            script->sandbox.reset();
        }
    }
}

void ScriptHost::UnloadAll() { scripts_.clear(); }

std::vector<std::string> ScriptHost::Running() const {
    std::vector<std::string> names;
    for (const auto &[name, script] : scripts_) {
        if (script->sandbox) {
            names.push_back(name);
        }
    }
    return names;
}
