// What a chat line costs against 1,000 rules: the word index and the one combined expression of the rule matcher,
// for a line that sets off nothing (the common case), one that hits a word rule, and one that hits an expression.

#include "automation/RuleMatcher.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

std::vector<Rule> ThousandRules() {
    std::vector<Rule> rules;
    for (int i = 0; i < 1000; ++i) {
        Rule rule;
        rule.name = "Rule " + std::to_string(i);
        rule.trigger = i % 2 ? RuleTrigger::Chat : RuleTrigger::Whisper;
        if (i % 10 == 9) {
            // One in ten by a regular expression, as people write them.
            rule.regex = "^!cmd" + std::to_string(i) + "\\b|\\bkeyword" + std::to_string(i) + "s?\\b";
        } else {
            rule.words = {"word" + std::to_string(i), "some phrase " + std::to_string(i)};
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

const char *const kLines[] = {
    "Has anyone seen the new building by the fountain? It looks really nice today",
    "I think word512 is what you are looking for, friend",
    "well, keyword509s are everywhere in this world, aren't they",
};

void BM_RuleMatch(benchmark::State &state) {
    RuleMatcher matcher;
    matcher.Build(ThousandRules());
    const std::string line = kLines[state.range(0)];
    std::vector<int> out;
    for (auto _ : state) {
        matcher.Match(line, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["rules_matched"] = static_cast<double>(out.size());
}
BENCHMARK(BM_RuleMatch)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
