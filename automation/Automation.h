#pragma once

// The bot's automation: hears the bot's events, hands them to whoever listens (the rules, the scripts) and gives
// each of them actions that go through the guard and are recorded with the rule or script that made them.

#include "automation/AutomationGuard.h"
#include "automation/BotActions.h"
#include "automation/BotEvent.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One action automation took or tried, as the history keeps it.
struct AutomaticAction {
    std::int64_t time = 0; // milliseconds since 1970 UTC
    std::string source;    // "rule Greeter", "script greeter.lua"
    std::string action;    // "say", "whisper", "console", "eject", "teleport", "notice", "notify"
    std::string target;    // the person (or world) acted on, where there is one
    std::string text;
    int result = 0; // as ActionResult::code
};

class Automation {
public:
    using Listener = std::function<void(const BotEvent &event)>;
    using Recorder = std::function<void(const AutomaticAction &action)>;

    // actions is what the program does for a window's user; it must outlive the automation.
    Automation(BotActions &actions, GuardSettings settings, AutomationGuard::Clock clock);
    ~Automation();
    Automation(const Automation &) = delete;
    Automation &operator=(const Automation &) = delete;

    AutomationGuard &Guard() { return guard_; }
    void SetRecorder(Recorder recorder) { recorder_ = std::move(recorder); }
    // Listeners hear every event the guard lets through, in the order they were added.
    void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
    // From the bot's handlers. An event without a time gets the clock's.
    void Raise(BotEvent event);
    // The actions one rule or script acts through; the reference lives as long as the automation.
    BotActions &ActionsFor(const std::string &source);
    std::int64_t Now() const { return clock_(); }

private:
    class Guarded;

    BotActions &actions_;
    AutomationGuard::Clock clock_;
    AutomationGuard guard_;
    Recorder recorder_;
    std::vector<Listener> listeners_;
    std::map<std::string, std::unique_ptr<Guarded>> guarded_;
    int depth_ = 0;
};
