#pragma once

// Keeps the bot from being a nuisance whatever its rules and scripts say: it never hears its own lines, answers
// another bot only when a rule names bots, says at most a budget of lines in a window of time (the rest is dropped
// and counted), and pauses a rule or script that fires too often.

#include "automation/BotEvent.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>

struct GuardSettings {
    int budgetLines = 8;    // lines said, whispered or sent as console messages in...
    int budgetSeconds = 30; // ...this many seconds, by all rules and scripts together
    int fireLimit = 20;     // a rule or script that acts more often than this in...
    int fireSeconds = 60;   // ...this many seconds is paused until resumed
};

class AutomationGuard {
public:
    using Clock = std::function<std::int64_t()>; // milliseconds
    // paused is called once for each source the guard pauses, with the line the pane shows.
    AutomationGuard(GuardSettings settings, Clock clock, std::function<void(const std::string &line)> paused);

    // The bot's own name (as the world shows it, "[name]") and session: its own lines are never heard.
    void SetSelf(std::string name, int session);
    // Whether automation hears an event at all.
    bool Hears(const BotEvent &event) const;
    // Whether a source may answer the person an event came from: another bot only when the source names bots.
    static bool MayAnswer(const BotEvent &event, bool namesBots);

    // A source is about to act: false when it is paused, now or by this very firing.
    bool Fire(const std::string &source);
    bool Paused(const std::string &source) const;
    void Resume(const std::string &source);
    // A line is about to go out: false when the budget is spent (the line is then dropped and counted).
    bool Spend();
    std::uint64_t Dropped() const { return dropped_; }
    const GuardSettings &Settings() const { return settings_; }
    void SetSettings(GuardSettings settings) { settings_ = settings; }

private:
    static void Forget(std::deque<std::int64_t> &times, std::int64_t now, int seconds);

    GuardSettings settings_;
    Clock clock_;
    std::function<void(const std::string &)> paused_;
    std::string selfName_;
    int selfSession_ = 0;
    std::deque<std::int64_t> spent_;
    std::uint64_t dropped_ = 0;
    struct Source {
        std::deque<std::int64_t> fired;
        bool paused = false;
    };
    std::map<std::string, Source> sources_;
};
