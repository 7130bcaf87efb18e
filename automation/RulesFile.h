#pragma once

// The rules file of the data folder, "rules.txt": one block per rule, started by the rule's name in brackets, then
// "key = value" lines. A person can read and edit it by hand; the program writes it whole and atomically.
//
//   [Greeter]
//   on = yes
//   when = arrival first-visit
//   then = whisper Welcome to {world}, {name}!
//
// A block with a mistake is reported with its line and left out; the others are kept.

#include "automation/Rule.h"
#include "common/AtomicFile.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char *kRulesFileName = "rules.txt";

struct RulesFileResult {
    std::vector<Rule> rules;
    std::vector<std::string> problems; // "line 12: ..."; each names the rule left out
};

RulesFileResult ParseRules(std::string_view text);
std::string FormatRules(const std::vector<Rule> &rules);
// A missing file is no rules and no problem.
RulesFileResult LoadRules(const std::string &path);
FileResult SaveRules(const std::string &path, const std::vector<Rule> &rules);
