#pragma once

#include "automation/BotActions.h"

#include <string>
#include <vector>

// What the bot would have done, and what it was asked to show.
class RecordedActions : public BotActions {
public:
    std::vector<std::string> said; // say, whisper, console, eject and teleport, as "whisper 5 text"
    std::vector<std::string> notices;
    std::vector<PresentPerson> present{{"Alice", 5, 77, PersonClass::Citizen, 0, 0, 0}};

    ActionResult Say(const std::string &text) override {
        said.push_back(text);
        return {};
    }
    ActionResult Whisper(int session, const std::string &text) override {
        said.push_back("whisper " + std::to_string(session) + " " + text);
        return {whisperResult, ""};
    }
    ActionResult ConsoleMessage(int, const std::string &text) override {
        said.push_back("console " + text);
        return {};
    }
    ActionResult Eject(int session, int minutes) override {
        said.push_back("eject " + std::to_string(session) + " " + std::to_string(minutes));
        return {ejectResult, ""};
    }
    ActionResult Teleport(const std::string &world, int x, int y, int z, int) override {
        said.push_back("teleport " + world + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                       std::to_string(z));
        return {};
    }
    int ejectResult = kActionNoRight;
    int whisperResult = 0;
    void Notice(const std::string &text) override { notices.push_back(text); }
    void Notify(const std::string &, const std::string &text) override { notices.push_back(text); }
    std::vector<PresentPerson> PeoplePresent() override { return present; }
    std::optional<PresentPerson> FindPerson(const std::string &) override { return std::nullopt; }
    std::string World() override { return "Sunset"; }
    int WorldBuild() override { return 39; }
    std::vector<HistoryHit> SearchHistory(const std::string &, const std::string &, int) override { return {}; }
};
