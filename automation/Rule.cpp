#include "automation/Rule.h"

#include "common/TextCase.h"

#include <algorithm>

bool Rule::NamesBots() const {
    return std::find(classes.begin(), classes.end(), PersonClass::Bot) != classes.end() ||
           (!namePattern.empty() && namePattern.front() == '[');
}

const char *RuleTriggerName(RuleTrigger trigger) {
    static constexpr const char *kNames[] = {"arrival", "departure", "chat", "whisper", "click", "every", "at"};
    return kNames[static_cast<int>(trigger)];
}

const char *RuleActionName(RuleAction::Kind kind) {
    static constexpr const char *kNames[] = {"say", "whisper", "console", "eject", "teleport", "notice", "notify"};
    return kNames[static_cast<int>(kind)];
}

bool NameMatches(std::string_view pattern, std::string_view name) {
    // Iterative, with one point to come back to: linear enough for any pattern a person types.
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || FoldChar(pattern[p]) == FoldChar(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}
