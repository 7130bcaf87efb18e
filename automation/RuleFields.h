#pragma once

// One rule as the fields of the Rules window's editor: each field holds the text of one key of the rules file, so
// the file's own reader checks it and a mistake is told next to the field it came from.

#include "automation/Rule.h"

#include <optional>
#include <string>
#include <vector>

struct RuleFields {
    enum Field : int {
        Name,
        When,         // "arrival", "arrival first-visit", "departure", "chat", "whisper", "click", "every", "at"
        WhenArgument, // every: minutes; at: a time of day
        NamePattern,
        Words,
        Regex,
        Flood,
        Worlds,
        Build,
        Classes, // "citizen visitor bot", any of them
        PersonCooldown,
        RuleCooldown,
        Warning,
        Actions, // one action a line: "say Hello, {name}!", "eject 5", ...
        Count
    };

    bool enabled = true;
    std::string text[Count];

    static RuleFields From(const Rule &rule);
};

struct RuleFieldsResult {
    std::optional<Rule> rule;                // when every field is right
    std::string problems[RuleFields::Count]; // empty where the field is right
};

// Reads the fields as the rules file would; otherNames are the other rules' names, which this one may not take.
RuleFieldsResult ReadRuleFields(const RuleFields &fields, const std::vector<std::string> &otherNames);
// "when ... then ...": the list's line for a rule.
std::string DescribeRule(const Rule &rule);
