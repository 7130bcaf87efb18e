#pragma once

// Lets most lines skip the rules' regular expressions: a text a regular expression must contain for any match,
// found by reading its pattern, is looked for first with a plain search, and only the expressions whose text the
// line holds are run. A pattern the reader is not sure of gets no text, and its expression is run on every line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// For each alternative at the top of the pattern, the longest run of plain characters every match of that
// alternative contains (ASCII letters in lower case); nothing when some alternative has no such run of at least
// three characters or the pattern uses what the reader does not follow. Reads patterns compiled without regard to
// case, as the rules' are.
std::optional<std::vector<std::string>> RequiredLiterals(std::string_view pattern);

// A line as the literal search compares it: ASCII letters in lower case, and the two characters outside ASCII that
// match an ASCII letter without regard to case (KELVIN SIGN for k, LATIN SMALL LETTER LONG S for s) as that letter.
void FoldForLiterals(std::string_view text, std::string &out);

// Finds which of many literals a folded line contains, in one pass over the line.
class LiteralIndex {
public:
    void Clear();
    // Literals are of at least three bytes, as RequiredLiterals gives them; tag is handed back on a find.
    void Add(const std::string &literal, int tag);
    // Appends the tags of the literals found in folded (unsorted, possibly repeated).
    void Find(std::string_view folded, std::vector<int> &tags) const;

private:
    static std::uint32_t Key(const char *p);
    static std::uint32_t Slot(std::uint32_t key) { return (key * 2654435761u) >> 16; }
    struct Entry {
        std::string literal;
        int tag = 0;
    };
    std::unordered_map<std::uint32_t, std::vector<Entry>> byStart_; // by the literal's first three bytes
    std::vector<std::uint64_t> seen_;                               // a bit per slot of a first three bytes
};
