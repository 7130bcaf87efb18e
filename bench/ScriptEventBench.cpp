// What a script costs the bot per event: the event made into a table, the budgeted call into the script's handler
// and back, for one script with an empty handler, one that looks at the text, and one without a handler.

#include "automation/Automation.h"
#include "automation/ScriptHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class NoActions : public BotActions {
public:
    ActionResult Say(const std::string &) override { return {}; }
    ActionResult Whisper(int, const std::string &) override { return {}; }
    ActionResult ConsoleMessage(int, const std::string &) override { return {}; }
    ActionResult Eject(int, int) override { return {}; }
    ActionResult Teleport(const std::string &, int, int, int, int) override { return {}; }
    void Notice(const std::string &) override {}
    void Notify(const std::string &, const std::string &) override {}
    std::vector<PresentPerson> PeoplePresent() override { return {}; }
    std::optional<PresentPerson> FindPerson(const std::string &) override { return std::nullopt; }
    std::string World() override { return "Town"; }
    int WorldBuild() override { return 39; }
    std::vector<HistoryHit> SearchHistory(const std::string &, const std::string &, int) override { return {}; }
};

const char *const kScripts[] = {
    "function on_chat(e) end\n",
    "function on_chat(e)\n  if e.text:sub(1, 1) == '!' and e.text:match('^!seen%s+(.+)$') then bot.say('x') end\nend\n",
    "function on_arrival(e) end\n",
};

void BM_ScriptChatEvent(benchmark::State &state) {
    std::string folder = (std::filesystem::temp_directory_path() / "gabbler-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::filesystem::create_directories(folder + "/scripts");
    std::ofstream(folder + "/scripts/bench.lua") << kScripts[state.range(0)];
    {
        NoActions actions;
        Automation automation(actions, GuardSettings{}, [] { return std::int64_t{1'700'000'000'000}; });
        std::string problem;
        ScriptHost host(automation, {folder + "/scripts", folder + "/data", {}},
                        [&](const std::string &line, bool bad) { problem = bad ? line : problem; });
        host.Poll();
        if (host.Running().size() != 1) {
            state.SkipWithError(("the script did not load: " + problem).c_str());
        }
        BotEvent event;
        event.type = BotEventType::Chat;
        event.name = "Alice";
        event.session = 42;
        event.citizen = 77;
        event.text = "Has anyone seen the new building by the fountain?";
        event.world = "Town";
        event.worldBuild = 39;
        event.time = 1'700'000'000'000;
        for (auto _ : state) {
            host.Deliver(event);
        }
        state.SetItemsProcessed(state.iterations());
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
        }
    }
    std::filesystem::remove_all(folder);
}
// 0: an empty handler; 1: a handler that tests the text; 2: a script without a chat handler.
BENCHMARK(BM_ScriptChatEvent)->Arg(0)->Arg(1)->Arg(2);

} // namespace

BENCHMARK_MAIN();
