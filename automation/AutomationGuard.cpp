#include "automation/AutomationGuard.h"

#include "common/TextCase.h"

AutomationGuard::AutomationGuard(GuardSettings settings, Clock clock,
                                 std::function<void(const std::string &line)> paused)
    : settings_(settings), clock_(std::move(clock)), paused_(std::move(paused)) {}

void AutomationGuard::SetSelf(std::string name, int session) {
    selfName_ = std::move(name);
    selfSession_ = session;
}

bool AutomationGuard::Hears(const BotEvent &event) const {
    switch (event.type) {
    case BotEventType::Arrival:
    case BotEventType::Departure:
    case BotEventType::Chat:
    case BotEventType::Whisper:
    case BotEventType::Click:
    case BotEventType::Url:
        // The session decides where it is known; the name covers the lines the bot's own session number is not
        // yet known for, and a second instance of this bot logged in elsewhere.
        if (selfSession_ != 0 && event.session == selfSession_) {
            return false;
        }
        return selfName_.empty() || !EqualsNoCase(event.name, selfName_);
    default:
        return true;
    }
}

bool AutomationGuard::MayAnswer(const BotEvent &event, bool namesBots) {
    return event.personClass != PersonClass::Bot || namesBots;
}

void AutomationGuard::Forget(std::deque<std::int64_t> &times, std::int64_t now, int seconds) {
    const std::int64_t window = static_cast<std::int64_t>(seconds) * 1000;
    while (!times.empty() && now - times.front() >= window) {
        times.pop_front();
    }
}

bool AutomationGuard::Fire(const std::string &source) {
    Source &s = sources_[source];
    if (s.paused) {
        return false;
    }
    const std::int64_t now = clock_();
    Forget(s.fired, now, settings_.fireSeconds);
    if (static_cast<int>(s.fired.size()) >= settings_.fireLimit) {
        s.paused = true;
        s.fired.clear();
        if (paused_) {
            paused_("Automation: " + source + " fired more than " + std::to_string(settings_.fireLimit) + " times in " +
                    std::to_string(settings_.fireSeconds) + " seconds and is paused.");
        }
        return false;
    }
    s.fired.push_back(now);
    return true;
}

bool AutomationGuard::Paused(const std::string &source) const {
    const auto found = sources_.find(source);
    return found != sources_.end() && found->second.paused;
}

void AutomationGuard::Resume(const std::string &source) {
    if (const auto found = sources_.find(source); found != sources_.end()) {
        found->second.paused = false;
        found->second.fired.clear();
    }
}

bool AutomationGuard::Spend() {
    const std::int64_t now = clock_();
    Forget(spent_, now, settings_.budgetSeconds);
    if (static_cast<int>(spent_.size()) >= settings_.budgetLines) {
        ++dropped_;
        return false;
    }
    spent_.push_back(now);
    return true;
}
