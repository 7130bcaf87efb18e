#pragma once

#include "automation/BotEvent.h"
#include "automation/LuaSandbox.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Automation;

struct ScriptHostOptions {
    std::string folder;      // the *.lua files: the data folder's scripts/
    std::string storeFolder; // each script's own store, NAME.store
    SandboxLimits limits;
    std::uintmax_t maxFileSize = 256 * 1024;
};

// Runs the scripts of a folder: loads each *.lua file into its own sandbox, loads it again when the file changes
// (a file half written fails to compile and is simply tried again at its next change), hands every event
// automation lets through to the scripts' handlers and gives them the bot's actions under the source
// "script NAME". A script that errs is reported with its line and goes on; one that runs past its time budget or
// its memory cap is stopped until its file changes. Whatever a script does, the bot goes on.
class ScriptHost {
public:
    using Line = std::function<void(const std::string &line, bool problem)>;
    // line receives what the pane shows about the scripts (loaded, their print()), problem set for errors and stops.
    ScriptHost(Automation &automation, ScriptHostOptions options, Line line);
    ~ScriptHost();
    ScriptHost(const ScriptHost &) = delete;
    ScriptHost &operator=(const ScriptHost &) = delete;

    // Looks at the folder: new and changed files are loaded, removed ones unloaded.
    void Poll();
    // Every script unloaded; the next Poll loads them again.
    void UnloadAll();
    void Deliver(const BotEvent &event);

    // The names of the scripts loaded and not stopped.
    std::vector<std::string> Running() const;
    const ScriptHostOptions &Options() const { return options_; }

private:
    struct Script;
    void Load(const std::filesystem::path &file, Script &script);
    // Says what went wrong; true when the script must stop.
    bool Report(const std::string &name, const SandboxResult &result);

    Automation &automation_;
    ScriptHostOptions options_;
    Line line_;
    std::map<std::string, std::unique_ptr<Script>> scripts_;
};
