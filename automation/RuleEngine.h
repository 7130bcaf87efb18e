#pragma once

// Runs the rules: hears the bot's events through its automation, finds the rules they set off, checks their
// conditions and cooldowns, and acts through the automation's guarded actions, each under its rule's name.

#include "automation/Automation.h"
#include "automation/Rule.h"
#include "automation/RuleMatcher.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

class RuleEngine {
public:
    // Listens to automation from now on; automation must outlive the engine's use.
    explicit RuleEngine(Automation &automation);
    RuleEngine(const RuleEngine &) = delete;
    RuleEngine &operator=(const RuleEngine &) = delete;

    // Replaces the rules (the file read again, the window's save); the cooldowns and counts start afresh.
    void SetRules(std::vector<Rule> rules);
    const std::vector<Rule> &Rules() const { return rules_; }
    // Reads the rules file: the rules it holds replace these; its problems come back as lines for the pane.
    std::vector<std::string> LoadFile(const std::string &path);

    void OnEvent(const BotEvent &event);
    // What a rule would do for an event, without doing it: one line per action, or one line saying why not.
    // Cooldowns and counts of earlier events are left out.
    std::vector<std::string> Try(const Rule &rule, const BotEvent &sample);

    // The text of an action with its placeholders filled in.
    static std::string Fill(const std::string &text, const BotEvent &event, std::size_t people);

private:
    struct State {
        std::int64_t lastFired = 0; // rule cooldown; timers: the last time they went off
        std::int64_t lastDay = -1;  // "at" timers: the local day they went off
        std::map<std::string, std::int64_t> personFired;
        std::map<std::string, std::deque<std::int64_t>> lines; // flood counting
        std::map<std::string, std::int64_t> warned;
    };

    // Why the rule does not act on the event, or empty when it does (cooldowns aside).
    static std::string WhyNot(const Rule &rule, const BotEvent &event);
    void Consider(int index, const BotEvent &event);
    void Act(const Rule &rule, const BotEvent &event, State &state);
    void Timers(const BotEvent &event);
    std::string Describe(const RuleAction &action, const BotEvent &event, std::size_t people) const;

    Automation &automation_;
    std::vector<Rule> rules_;
    std::vector<State> states_;
    RuleMatcher matcher_;
    std::vector<int> matched_;
};
