#include "automation/RuleFields.h"

#include "automation/RulesFile.h"

#include <algorithm>
#include <sstream>

namespace {

// The key each field is written under in the rules file.
constexpr const char *kKeys[RuleFields::Count] = {
    "",      "when",  "",      "name",  "words",           "regex",
    "flood", "world", "build", "class", "cooldown-person", "cooldown-rule",
    "warn",  "then"};

std::string Trimmed(const std::string &s) {
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!Trimmed(line).empty()) {
            lines.push_back(Trimmed(line));
        }
    }
    return lines;
}

// "line 4: \"every\" is followed by ...; the rule \"x\" is left out." -> "\"every\" is followed by ...."
std::string Plain(std::string problem) {
    if (problem.starts_with("line ")) {
        const std::size_t colon = problem.find(": ");
        if (colon != std::string::npos) {
            problem.erase(0, colon + 2);
        }
    }
    const std::size_t cut = problem.find("; the rule \"");
    if (cut != std::string::npos) {
        problem.erase(cut);
        problem += ".";
    }
    if (!problem.empty() && problem.front() >= 'a' && problem.front() <= 'z') {
        problem.front() = static_cast<char>(problem.front() - 'a' + 'A');
    }
    return problem;
}

// Checks one "key = value" line in a rule that is otherwise right: the file's reader says what is wrong with it.
std::string Check(const std::string &line) {
    const RulesFileResult result = ParseRules("[Check]\nwhen = chat\nthen = notice -\n" + line + "\n");
    return result.problems.empty() ? std::string() : Plain(result.problems.front());
}

std::string WhenLine(const RuleFields &fields) {
    std::string when = Trimmed(fields.text[RuleFields::When]);
    const std::string argument = Trimmed(fields.text[RuleFields::WhenArgument]);
    if (when == "every" || when == "at") {
        when += " " + argument;
    }
    return "when = " + when;
}

} // namespace

RuleFields RuleFields::From(const Rule &rule) {
    RuleFields fields;
    fields.enabled = rule.enabled;
    fields.text[Name] = rule.name;
    // The file's own writing of the rule, taken apart key by key.
    Rule copy = rule;
    copy.enabled = true;
    const std::string text = FormatRules({copy});
    for (const std::string &line : Lines(text)) {
        const std::size_t eq = line.find(" = ");
        if (line.front() == '#' || line.front() == '[' || eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 3);
        if (key == "when") {
            const std::size_t space = value.find(' ');
            const std::string what = value.substr(0, space);
            if (what == "every" || what == "at") {
                fields.text[When] = what;
                fields.text[WhenArgument] = value.substr(space + 1);
            } else {
                fields.text[When] = value;
            }
            continue;
        }
        for (int f = 0; f < Count; ++f) {
            if (key == kKeys[f]) {
                std::string &into = fields.text[f];
                into += (into.empty() || f != Actions ? "" : "\n") + value;
            }
        }
    }
    return fields;
}

RuleFieldsResult ReadRuleFields(const RuleFields &fields, const std::vector<std::string> &otherNames) {
    RuleFieldsResult result;
    const std::string name = Trimmed(fields.text[RuleFields::Name]);
    if (name.empty()) {
        result.problems[RuleFields::Name] = "A rule needs a name.";
    } else if (std::find(otherNames.begin(), otherNames.end(), name) != otherNames.end()) {
        result.problems[RuleFields::Name] = "Another rule has this name.";
    } else if (name.find_first_of("[]") != std::string::npos) {
        result.problems[RuleFields::Name] = "A rule's name has no brackets.";
    }
    std::string text = "[" + name + "]\n";
    text += std::string("on = ") + (fields.enabled ? "yes" : "no") + "\n";
    const std::string when = WhenLine(fields);
    if (const std::string problem = Check(when); !problem.empty()) {
        const bool argument = fields.text[RuleFields::When] == "every" || fields.text[RuleFields::When] == "at";
        result.problems[argument ? RuleFields::WhenArgument : RuleFields::When] = problem;
    }
    text += when + "\n";
    for (int f = RuleFields::NamePattern; f < RuleFields::Count; ++f) {
        const std::vector<std::string> lines =
            f == RuleFields::Actions ? Lines(fields.text[f]) : std::vector<std::string>{Trimmed(fields.text[f])};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].empty()) {
                continue;
            }
            const std::string line = std::string(kKeys[f]) + " = " + lines[i];
            if (const std::string problem = Check(line); !problem.empty() && result.problems[f].empty()) {
                result.problems[f] =
                    f == RuleFields::Actions ? "Line " + std::to_string(i + 1) + ": " + problem : problem;
            }
            text += line + "\n";
        }
    }
    if (Lines(fields.text[RuleFields::Actions]).empty() && Trimmed(fields.text[RuleFields::Warning]).empty() &&
        result.problems[RuleFields::Actions].empty()) {
        result.problems[RuleFields::Actions] = "The rule does nothing: give it an action.";
    }
    if (std::any_of(std::begin(result.problems), std::end(result.problems),
                    [](const std::string &p) { return !p.empty(); })) {
        return result;
    }
    RulesFileResult parsed = ParseRules(text);
    if (parsed.rules.size() != 1 || !parsed.problems.empty()) {
        // Each field was right on its own; what is left is the rule as a whole.
        result.problems[RuleFields::Name] =
            parsed.problems.empty() ? "The rule cannot be read." : Plain(parsed.problems.front());
        return result;
    }
    result.rule = std::move(parsed.rules.front());
    result.rule->line = 0;
    return result;
}

std::string DescribeRule(const Rule &rule) {
    std::string when = RuleTriggerName(rule.trigger);
    if (rule.trigger == RuleTrigger::Arrival && rule.firstVisitOnly) {
        when = "a first visit today";
    } else if (rule.trigger == RuleTrigger::Every) {
        when = "every " + std::to_string(rule.everyMinutes) + " minutes";
    } else if (rule.trigger == RuleTrigger::At) {
        const int h = rule.atMinute / 60, m = rule.atMinute % 60;
        when = "at " + std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m);
    }
    if (!rule.namePattern.empty()) {
        when += " of " + rule.namePattern;
    }
    if (!rule.words.empty()) {
        when += " with \"" + rule.words.front() + "\"" + (rule.words.size() > 1 ? " or more" : "");
    } else if (!rule.regex.empty()) {
        when += " matching " + rule.regex;
    }
    if (rule.floodLines > 0) {
        // Without it a flood guard reads as acting on every line.
        when += ", " + std::to_string(rule.floodLines) + " lines in " + std::to_string(rule.floodSeconds) +
                " seconds from one person";
    }
    std::string then;
    if (!rule.warning.empty()) {
        then = "warn";
    }
    for (const RuleAction &action : rule.actions) {
        then += (then.empty() ? "" : ", ") + std::string(RuleActionName(action.kind));
        if (!action.text.empty() && action.kind != RuleAction::Kind::Teleport) {
            then += " \"" + action.text + "\"";
        }
    }
    return "when " + when + " then " + then;
}
