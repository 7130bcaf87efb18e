// rules.txt as any editor or accident may leave it: whatever reads as rules writes out and reads back as the same
// rules, nothing it holds reaches a line of its own, and the matcher is built from any of it without harm.

#include "automation/RuleMatcher.h"
#include "automation/RulesFile.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

#include <string>
#include <string_view>

int FuzzRulesFile(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const RulesFileResult loaded = ParseRules(text);
    const std::string saved = FormatRules(loaded.rules);
    const RulesFileResult again = ParseRules(saved);
    FUZZ_CHECK(again.problems.empty(), "what the program writes reads back without a problem");
    FUZZ_CHECK(again.rules.size() == loaded.rules.size(), "every rule read back");
    FUZZ_CHECK(FormatRules(again.rules) == saved, "a second save writes the same file");
    for (std::size_t i = 0; i < loaded.rules.size() && i < again.rules.size(); ++i) {
        FUZZ_CHECK(again.rules[i].name == loaded.rules[i].name, "a rule keeps its name");
        FUZZ_CHECK(again.rules[i].actions.size() == loaded.rules[i].actions.size(), "a rule keeps its actions");
    }
    RuleMatcher matcher;
    matcher.Build(loaded.rules);
    std::vector<int> matched;
    matcher.Match("hello there, what are the opening hours?", matched);
    for (const int rule : matched) {
        FUZZ_CHECK(rule >= 0 && static_cast<std::size_t>(rule) < loaded.rules.size(), "a match names a rule read");
    }
    return 0;
}
