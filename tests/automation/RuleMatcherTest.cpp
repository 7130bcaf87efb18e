// The rule matcher against the plain way of asking the same thing: every rule's expression run on every line.

#include "automation/RuleMatcher.h"

#include "automation/RegexLiterals.h"

#include <QRegularExpression>

#include <gtest/gtest.h>
#include <set>

namespace {

struct PlainLoop {
    std::vector<QRegularExpression> expressions;

    explicit PlainLoop(const std::vector<Rule> &rules) {
        for (const Rule &rule : rules) {
            expressions.emplace_back(QString::fromStdString(rule.regex),
                                     QRegularExpression::CaseInsensitiveOption |
                                         QRegularExpression::UseUnicodePropertiesOption);
        }
    }
    std::vector<int> Match(const std::string &line) const {
        std::vector<int> out;
        const QString subject = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        for (int i = 0; i < static_cast<int>(expressions.size()); ++i) {
            const QRegularExpression &expression = expressions[static_cast<std::size_t>(i)];
            if (expression.isValid() && expression.match(subject).hasMatch()) {
                out.push_back(i);
            }
        }
        return out;
    }
};

std::vector<Rule> RulesOf(const std::vector<std::string> &patterns) {
    std::vector<Rule> rules;
    for (const std::string &pattern : patterns) {
        Rule rule;
        rule.regex = pattern;
        rules.push_back(rule);
    }
    return rules;
}

// Patterns with the constructs that decide what a match must contain, and lines made of pieces that hit, nearly hit
// or miss them.
const std::vector<std::string> kPatterns = {
    "^!cmd509\\b|\\bkeyword509s?\\b",
    "hello",
    "colou?r chart",
    "colo(?:u)r pens",
    "spee*d limit",
    "spe+d bump",
    "ab{2}cde",
    "a{0}xyzq",
    "lit{x}eral",
    "x\\.y\\.z",
    "foo\\x41bar",
    "\\x{6b}ilo gram",
    "\\p{Lu}ower",
    "\\pLower",
    "\\d+ apples",
    "[abc]def|ghi[jkl]",
    "[]x]yzzy",
    "[[:alpha:]]rstuv",
    "(?=.*open)when",
    "(?!closed)shop now",
    "(?<=big )house",
    "(?<name>cat|dog)food",
    "(\\w+) \\1 again",
    "(?i)ping",
    "(?-i)CaSe",
    "(?x) s p a c e d",
    "\\Qa.b\\E",
    "(*UCP)straße",
    "(?:now(*ACCEPT))later",
    "straße",
    "kelvin",
    "ssss",
    "\\bthe end$",
    "x|yzw",
    "tic|tac|toe",
    "über|unter",
    "a\\ b\\ c",
    "\\cAxyz",
    "\\012abc",
    "\\o{101}ppp",
    "#tag",
    "q{,3}rstu",
};

const std::vector<std::string> kPieces = {
    "",
    "!cmd509 now",
    "KEYWORD509S",
    "keyword509x",
    "Hello there",
    "HELLO",
    "color chart",
    "colour CHART",
    "colr chart",
    "colour pens",
    "spd limit",
    "speeeed limit",
    "sped bump",
    "speed bump",
    "abbcde",
    "abcde",
    "xyzq",
    "lit{x}eral",
    "x.y.z",
    "xaybz",
    "fooAbar",
    "kilo gram",
    "Kilo gram",
    "Power",
    "lower",
    "12 apples",
    "bdef",
    "ghik",
    "]yzzy",
    "xyzzy",
    "arstuv",
    "when is it open",
    "open when",
    "shop now",
    "closed shop now",
    "big house",
    "small house",
    "catfood",
    "dogfood",
    "so so again",
    "so to again",
    "PING",
    "case",
    "CaSe",
    "spaced",
    "a.b",
    "axb",
    "STRASSE",
    "Straße",
    "STRAẞE",
    "\xE2\x84\xAA"
    "elvin",                            // KELVIN SIGN
    "\xC5\xBF\xC5\xBF\xC5\xBF\xC5\xBF", // LONG S
    "s\xC5\xBFS\xC5\xBF",
    "nowlater",
    "now",
    "the end",
    "the end.",
    "x",
    "yzw",
    "tac",
    "ÜBER",
    "unter",
    "a b c",
    "\x01xyz",
    "\nabc",
    "Appp",
    "#TAG",
    "q{,3}rstu",
    "rstu",
    "\xC1\x81ppp", // an overlong A
    "\xFF\xFEinvalid",
};

TEST(RuleMatcher, AgreesWithRunningEveryExpression) {
    const std::vector<Rule> rules = RulesOf(kPatterns);
    RuleMatcher matcher;
    matcher.Build(rules);
    const PlainLoop plain(rules);
    std::vector<int> out;
    std::set<int> everHit;
    for (const std::string &first : kPieces) {
        for (const std::string &second : kPieces) {
            const std::string line = first + " " + second;
            matcher.Match(line, out);
            const std::vector<int> expected = plain.Match(line);
            ASSERT_EQ(out, expected) << line;
            everHit.insert(expected.begin(), expected.end());
        }
    }
    // Every pattern is set off by some line, so each was really compared.
    for (int i = 0; i < static_cast<int>(kPatterns.size()); ++i) {
        EXPECT_TRUE(everHit.count(i)) << kPatterns[static_cast<std::size_t>(i)];
    }
}

TEST(RuleMatcher, AgreesWhenTheExpressionsCannotBeJoined) {
    // Two rules naming the same group cannot share one expression.
    std::vector<std::string> patterns = kPatterns;
    patterns.push_back("(?<name>fish)\\s*food");
    patterns.push_back("(?<name>\\w)\\s*");
    const std::vector<Rule> rules = RulesOf(patterns);
    RuleMatcher matcher;
    matcher.Build(rules);
    const PlainLoop plain(rules);
    std::vector<int> out;
    for (const std::string &piece : kPieces) {
        for (const std::string &line : std::vector<std::string>{piece, "fish food " + piece, "?" + piece}) {
            matcher.Match(line, out);
            ASSERT_EQ(out, plain.Match(line)) << line;
        }
    }
}

TEST(RuleMatcher, TheTextAnExpressionNeeds) {
    using Literals = std::optional<std::vector<std::string>>;
    const struct Case {
        const char *pattern;
        Literals literals;
    } cases[] = {
        {"^!cmd509\\b|\\bKeyword509s?\\b", Literals{{"!cmd509", "keyword509"}}},
        {"colou?r chart", Literals{{"r chart"}}},
        {"ab{2}cde", Literals{{"cde"}}},
        {"x\\.y\\.z", Literals{{"x.y.z"}}},
        {"foo\\x41bar", Literals{{"foo"}}},
        {"\\p{Lu}ower", Literals{{"ower"}}},
        {"(?<=big )house(?:s)?", Literals{{"house"}}},
        {"(cat|dog)food", Literals{{"food"}}},
        {"spe+d bump", Literals{{"d bump"}}},
        {"x|yzw", std::nullopt},            // "x" is too short to look for
        {"hello|", std::nullopt},           // the empty alternative matches every line
        {"(?x) s p a c e d", std::nullopt}, // options change what the rest means
        {"\\Qa.b\\E", std::nullopt},
        {"(?:now(*ACCEPT))later", std::nullopt},
        {"[abc", std::nullopt},
        {"abc)", std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RequiredLiterals(c.pattern), c.literals) << c.pattern;
    }
}

// The line is searched with ASCII letters folded; only two characters beyond ASCII match an ASCII character
// without regard to case, and the search folds them too.
TEST(RuleMatcher, OnlyKelvinAndLongSMatchAsciiWithoutRegardToCase) {
    const QRegularExpression ascii(QStringLiteral("^[\\x{20}-\\x{7e}]$"),
                                   QRegularExpression::CaseInsensitiveOption |
                                       QRegularExpression::UseUnicodePropertiesOption);
    std::vector<char32_t> found;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        if (ascii.match(QString::fromUcs4(&c, 1)).hasMatch()) {
            found.push_back(c);
        }
    }
    EXPECT_EQ(found, (std::vector<char32_t>{0x17F, 0x212A}));
    std::string folded;
    FoldForLiterals("\xE2\x84\xAA\xC5\xBF \xC3\x9C KS", folded);
    EXPECT_EQ(folded, "ks \xC3\x9C ks");
}

} // namespace
