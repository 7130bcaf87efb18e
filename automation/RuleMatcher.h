#pragma once

// Finds the rules a chat line sets off in one pass, however many rules there are: the line's words are looked up
// in an index of every rule's words and phrases. A regular expression that cannot match without some text is run
// only on a line that holds that text, found by one search for all such texts at once. The others are joined into
// one expression; only a line that hits it is tried further, to learn which matched: against blocks of a few joined
// expressions, then against the expressions of the blocks it hits.

#include "automation/RegexLiterals.h"
#include "automation/Rule.h"

#include <QRegularExpression>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class RuleMatcher {
public:
    // Indexes the chat and whisper rules of rules (by their place in it); the others are not its business.
    void Build(const std::vector<Rule> &rules);
    // The places of the rules whose words or expression the text matches, or that take every line, in order.
    void Match(std::string_view text, std::vector<int> &out) const;

    // A line's words as the index knows them: runs of letters and digits (any byte beyond ASCII counts as a
    // letter), ASCII letters in lower case.
    static void Words(std::string_view text, std::vector<std::string_view> &out, std::string &buffer);

private:
    struct Phrase {
        int rule = 0;
        std::vector<std::string> rest; // the phrase's words after the first
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::vector<Phrase>, Hash, std::equal_to<>> index_;
    std::vector<int> always_;
    LiteralIndex literals_;                                    // tags are places in filtered_
    std::vector<std::pair<int, QRegularExpression>> filtered_; // run only when the line holds their text
    QRegularExpression combined_;
    struct Block {
        QRegularExpression joined;
        std::vector<std::pair<int, QRegularExpression>> expressions;
    };
    std::vector<Block> blocks_;                             // tried after a hit of combined_
    std::vector<std::pair<int, QRegularExpression>> apart_; // those that cannot be joined (back-references)
};
