#include "automation/RuleMatcher.h"

#include <algorithm>

namespace {

constexpr auto kOptions = QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

bool IsWordByte(unsigned char c) { return std::isalnum(c) || c >= 0x80; }

// Group numbers and names change when expressions are joined, so an expression that refers back to a group is
// tried on its own.
bool RefersBack(const std::string &regex) {
    for (std::size_t i = 0; i + 1 < regex.size(); ++i) {
        if (regex[i] == '\\') {
            const char next = regex[i + 1];
            if ((next >= '1' && next <= '9') || next == 'g' || next == 'k') {
                return true;
            }
            ++i;
        } else if (regex.compare(i, 3, "(?P") == 0 || regex.compare(i, 3, "(?|") == 0 ||
                   regex.compare(i, 3, "(?(") == 0 ||
                   (regex[i] == '(' && regex[i + 1] == '?' && i + 2 < regex.size() &&
                    (regex[i + 2] == 'R' || std::isdigit(static_cast<unsigned char>(regex[i + 2]))))) {
            return true;
        }
    }
    return false;
}

} // namespace

void RuleMatcher::Words(std::string_view text, std::vector<std::string_view> &out, std::string &buffer) {
    out.clear();
    buffer.assign(text);
    for (char &c : buffer) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const std::string_view all(buffer);
    std::size_t i = 0;
    while (i < all.size()) {
        while (i < all.size() && !IsWordByte(static_cast<unsigned char>(all[i]))) {
            ++i;
        }
        const std::size_t start = i;
        while (i < all.size() && IsWordByte(static_cast<unsigned char>(all[i]))) {
            ++i;
        }
        if (i > start) {
            out.push_back(all.substr(start, i - start));
        }
    }
}

void RuleMatcher::Build(const std::vector<Rule> &rules) {
    index_.clear();
    always_.clear();
    expressions_.clear();
    apart_.clear();
    QString joined;
    std::vector<std::string_view> words;
    std::string buffer;
    for (int i = 0; i < static_cast<int>(rules.size()); ++i) {
        const Rule &rule = rules[static_cast<std::size_t>(i)];
        if (!rule.IsChatTrigger()) {
            continue;
        }
        if (rule.words.empty() && rule.regex.empty()) {
            always_.push_back(i);
            continue;
        }
        for (const std::string &phrase : rule.words) {
            Words(phrase, words, buffer);
            if (words.empty()) {
                continue;
            }
            Phrase entry{i, {words.begin() + 1, words.end()}};
            index_[std::string(words.front())].push_back(std::move(entry));
        }
        if (!rule.regex.empty()) {
            QRegularExpression expression(QString::fromStdString(rule.regex), kOptions);
            if (!expression.isValid()) {
                continue;
            }
            expression.optimize();
            if (RefersBack(rule.regex)) {
                apart_.emplace_back(i, std::move(expression));
                continue;
            }
            if (!joined.isEmpty()) {
                joined += QLatin1Char('|');
            }
            joined += QStringLiteral("(?:") + QString::fromStdString(rule.regex) + QLatin1Char(')');
            expressions_.emplace_back(i, std::move(expression));
        }
    }
    combined_ = QRegularExpression(joined, kOptions);
    if (!joined.isEmpty() && !combined_.isValid()) {
        // Cannot be joined after all: each is tried by itself.
        apart_.insert(apart_.end(), expressions_.begin(), expressions_.end());
        expressions_.clear();
        combined_ = QRegularExpression();
    }
    combined_.optimize();
}

void RuleMatcher::Match(std::string_view text, std::vector<int> &out) const {
    out = always_;
    thread_local std::vector<std::string_view> words;
    thread_local std::string buffer;
    Words(text, words, buffer);
    for (std::size_t w = 0; w < words.size(); ++w) {
        const auto found = index_.find(words[w]);
        if (found == index_.end()) {
            continue;
        }
        for (const Phrase &phrase : found->second) {
            if (w + 1 + phrase.rest.size() > words.size()) {
                continue;
            }
            bool whole = true;
            for (std::size_t k = 0; k < phrase.rest.size() && whole; ++k) {
                whole = words[w + 1 + k] == phrase.rest[k];
            }
            if (whole) {
                out.push_back(phrase.rule);
            }
        }
    }
    if (!expressions_.empty() || !apart_.empty()) {
        const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        if (!expressions_.empty() && combined_.match(line).hasMatch()) {
            for (const auto &[rule, expression] : expressions_) {
                if (expression.match(line).hasMatch()) {
                    out.push_back(rule);
                }
            }
        }
        for (const auto &[rule, expression] : apart_) {
            if (expression.match(line).hasMatch()) {
                out.push_back(rule);
            }
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}
