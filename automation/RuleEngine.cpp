#include "automation/RuleEngine.h"

#include "automation/RulesFile.h"
#include "common/TextCase.h"

#include <algorithm>
#include <ctime>

namespace {

// A warned person who offends again within this time is acted on; after it, warned again.
constexpr std::int64_t kWarningMemoryMs = 3600 * 1000;
// People remembered per rule for cooldowns and counts; beyond it the oldest memories go.
constexpr std::size_t kMaxRemembered = 5000;

std::tm LocalTime(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

bool TriggerFits(RuleTrigger trigger, BotEventType type) {
    switch (trigger) {
    case RuleTrigger::Arrival:
        return type == BotEventType::Arrival;
    case RuleTrigger::Departure:
        return type == BotEventType::Departure;
    case RuleTrigger::Chat:
        return type == BotEventType::Chat;
    case RuleTrigger::Whisper:
        return type == BotEventType::Whisper;
    case RuleTrigger::Click:
        return type == BotEventType::Click;
    case RuleTrigger::Every:
    case RuleTrigger::At:
        return type == BotEventType::Timer;
    }
    return false;
}

bool HasPerson(const BotEvent &event) { return event.session != 0; }

template <class Map> void Bound(Map &map) {
    if (map.size() > kMaxRemembered) {
        map.clear();
    }
}

} // namespace

RuleEngine::RuleEngine(Automation &automation) : automation_(automation) {
    automation_.AddListener([this](const BotEvent &event) { OnEvent(event); });
}

void RuleEngine::SetRules(std::vector<Rule> rules) {
    rules_ = std::move(rules);
    states_.assign(rules_.size(), State{});
    const std::int64_t now = automation_.Now();
    for (State &state : states_) {
        state.lastFired = 0;
        state.lastDay = -1;
    }
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        if (rules_[i].trigger == RuleTrigger::Every) {
            states_[i].lastFired = now; // the first announcement comes one period after the rules are read
        }
    }
    matcher_.Build(rules_);
    // Read again, perhaps mended: a rule the guard paused gets another chance.
    for (const Rule &rule : rules_) {
        automation_.Guard().Resume("rule " + rule.name);
    }
}

std::vector<std::string> RuleEngine::LoadFile(const std::string &path) {
    RulesFileResult loaded = LoadRules(path);
    SetRules(std::move(loaded.rules));
    return std::move(loaded.problems);
}

std::string RuleEngine::Fill(const std::string &text, const BotEvent &event, std::size_t people) {
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto take = [&](std::string_view key, const std::string &value) {
            if (text.compare(i, key.size(), key) == 0) {
                out += value;
                i += key.size() - 1;
                return true;
            }
            return false;
        };
        if (text[i] == '{') {
            const std::tm local = LocalTime(event.time);
            if (take("{name}", BareName(event.name)) || take("{world}", event.world) ||
                take("{time}", Two(local.tm_hour) + ":" + Two(local.tm_min)) ||
                take("{people}", std::to_string(people))) {
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string RuleEngine::WhyNot(const Rule &rule, const BotEvent &event) {
    if (!TriggerFits(rule.trigger, event.type)) {
        return std::string("it acts on ") + RuleTriggerName(rule.trigger) + ", not on " + BotEventTypeName(event.type);
    }
    if (!rule.worlds.empty() && std::none_of(rule.worlds.begin(), rule.worlds.end(),
                                             [&](const std::string &w) { return EqualsNoCase(w, event.world); })) {
        return "it acts in other worlds";
    }
    if ((rule.minBuild > 0 && event.worldBuild < rule.minBuild) ||
        (rule.maxBuild > 0 && event.worldBuild > rule.maxBuild)) {
        return "it acts in worlds of other builds";
    }
    if (rule.trigger == RuleTrigger::Every || rule.trigger == RuleTrigger::At) {
        return {};
    }
    if (!AutomationGuard::MayAnswer(event, rule.NamesBots())) {
        return "it does not name bots";
    }
    if (!rule.classes.empty() &&
        std::find(rule.classes.begin(), rule.classes.end(), event.personClass) == rule.classes.end()) {
        return std::string("it does not act for a ") + PersonClassName(event.personClass);
    }
    if (!rule.namePattern.empty() && !NameMatches(rule.namePattern, event.name) &&
        !NameMatches(rule.namePattern, BareName(event.name))) {
        return "the name does not match " + rule.namePattern;
    }
    if (rule.firstVisitOnly && !event.firstVisitToday) {
        return "it is not the person's first visit today";
    }
    return {};
}

void RuleEngine::OnEvent(const BotEvent &event) {
    if (event.type == BotEventType::Timer) {
        Timers(event);
        return;
    }
    if (event.type == BotEventType::Chat || event.type == BotEventType::Whisper) {
        matcher_.Match(event.text, matched_);
        const std::vector<int> matched = matched_; // an action may lead back here
        for (const int i : matched) {
            Consider(i, event);
        }
        return;
    }
    for (int i = 0; i < static_cast<int>(rules_.size()); ++i) {
        if (TriggerFits(rules_[static_cast<std::size_t>(i)].trigger, event.type)) {
            Consider(i, event);
        }
    }
}

void RuleEngine::Consider(int index, const BotEvent &event) {
    if (index < 0 || static_cast<std::size_t>(index) >= rules_.size()) {
        return;
    }
    const Rule &rule = rules_[static_cast<std::size_t>(index)];
    State &state = states_[static_cast<std::size_t>(index)];
    if (!rule.enabled || !WhyNot(rule, event).empty()) {
        return;
    }
    const std::string person = FoldCase(BareName(event.name));
    if (rule.floodLines > 0) {
        std::deque<std::int64_t> &times = state.lines[person];
        times.push_back(event.time);
        while (!times.empty() && event.time - times.front() >= static_cast<std::int64_t>(rule.floodSeconds) * 1000) {
            times.pop_front();
        }
        if (static_cast<int>(times.size()) < rule.floodLines) {
            Bound(state.lines);
            return;
        }
        times.clear();
    }
    if (rule.ruleCooldown > 0 && state.lastFired != 0 &&
        event.time - state.lastFired < static_cast<std::int64_t>(rule.ruleCooldown) * 1000) {
        return;
    }
    if (rule.personCooldown > 0) {
        const auto found = state.personFired.find(person);
        if (found != state.personFired.end() &&
            event.time - found->second < static_cast<std::int64_t>(rule.personCooldown) * 1000) {
            return;
        }
    }
    state.lastFired = event.time;
    Bound(state.personFired);
    state.personFired[person] = event.time;
    if (!rule.warning.empty() && HasPerson(event)) {
        const auto found = state.warned.find(person);
        if (found == state.warned.end() || event.time - found->second >= kWarningMemoryMs) {
            BotActions &actions = automation_.ActionsFor("rule " + rule.name);
            // Only a warning that went out counts: nobody is acted on for one the budget held back.
            if (actions.Whisper(event.session, Fill(rule.warning, event, actions.PeoplePresent().size())).Ok()) {
                Bound(state.warned);
                state.warned[person] = event.time;
            }
            return;
        }
        state.warned.erase(found);
    }
    Act(rule, event, state);
}

void RuleEngine::Act(const Rule &rule, const BotEvent &event, State &) {
    BotActions &actions = automation_.ActionsFor("rule " + rule.name);
    const std::size_t people = actions.PeoplePresent().size();
    for (const RuleAction &action : rule.actions) {
        const std::string text = Fill(action.text, event, people);
        switch (action.kind) {
        case RuleAction::Kind::Say:
            actions.Say(text);
            break;
        case RuleAction::Kind::Whisper:
            if (HasPerson(event)) {
                actions.Whisper(event.session, text);
            }
            break;
        case RuleAction::Kind::Console:
            actions.ConsoleMessage(0, text);
            break;
        case RuleAction::Kind::Eject:
            if (HasPerson(event)) {
                actions.Eject(event.session, action.minutes);
            }
            break;
        case RuleAction::Kind::Teleport:
            actions.Teleport(action.text, action.x, action.y, action.z, action.yaw);
            break;
        case RuleAction::Kind::Notice:
            actions.Notice(text);
            break;
        case RuleAction::Kind::Notify:
            actions.Notify(rule.name, text);
            break;
        }
    }
}

void RuleEngine::Timers(const BotEvent &event) {
    const std::tm local = LocalTime(event.time);
    const std::int64_t day = static_cast<std::int64_t>(local.tm_year) * 400 + local.tm_yday;
    const int minute = local.tm_hour * 60 + local.tm_min;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        const Rule &rule = rules_[i];
        State &state = states_[i];
        if (!rule.enabled || !WhyNot(rule, event).empty()) {
            continue;
        }
        if (rule.trigger == RuleTrigger::Every &&
            event.time - state.lastFired >= static_cast<std::int64_t>(rule.everyMinutes) * 60000) {
            state.lastFired = event.time;
            Act(rule, event, state);
        } else if (rule.trigger == RuleTrigger::At && minute == rule.atMinute && state.lastDay != day) {
            state.lastDay = day;
            Act(rule, event, state);
        }
    }
}

std::string RuleEngine::Describe(const RuleAction &action, const BotEvent &event, std::size_t people) const {
    const std::string text = Fill(action.text, event, people);
    const std::string who = HasPerson(event) ? BareName(event.name) : std::string();
    switch (action.kind) {
    case RuleAction::Kind::Say:
        return "say: " + text;
    case RuleAction::Kind::Whisper:
        return HasPerson(event) ? "whisper to " + who + ": " + text : "no whisper: nobody to whisper to";
    case RuleAction::Kind::Console:
        return "console message to the world: " + text;
    case RuleAction::Kind::Eject:
        return HasPerson(event) ? "eject " + who + " for " + std::to_string(action.minutes) + " minutes"
                                : "no ejection: nobody to eject";
    case RuleAction::Kind::Teleport:
        return "teleport the bot to " + (action.text.empty() ? std::string("this world") : action.text) + " at " +
               std::to_string(action.x) + " " + std::to_string(action.y) + " " + std::to_string(action.z);
    case RuleAction::Kind::Notice:
        return "notice in the pane: " + text;
    case RuleAction::Kind::Notify:
        return "desktop notification: " + text;
    }
    return {};
}

std::vector<std::string> RuleEngine::Try(const Rule &rule, const BotEvent &sample) {
    if (!rule.enabled) {
        return {"Nothing: the rule is off."};
    }
    if (const std::string why = WhyNot(rule, sample); !why.empty()) {
        return {"Nothing: " + why + "."};
    }
    if (rule.IsChatTrigger() && (!rule.words.empty() || !rule.regex.empty())) {
        RuleMatcher one;
        one.Build({rule});
        std::vector<int> hit;
        one.Match(sample.text, hit);
        if (hit.empty()) {
            return {"Nothing: the line does not match."};
        }
    }
    const std::size_t people = automation_.ActionsFor("rule " + rule.name).PeoplePresent().size();
    std::vector<std::string> lines;
    if (rule.floodLines > 0) {
        lines.push_back("Only after " + std::to_string(rule.floodLines) + " lines in " +
                        std::to_string(rule.floodSeconds) + " seconds from one person:");
    }
    if (!rule.warning.empty()) {
        lines.push_back("the first time, whisper to " + BareName(sample.name) + ": " +
                        Fill(rule.warning, sample, people));
        lines.push_back("the next time:");
    }
    for (const RuleAction &action : rule.actions) {
        lines.push_back(Describe(action, sample, people));
    }
    return lines;
}
