#include "automation/RuleMatcher.h"

#include <algorithm>
#include <cmath>

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

static QString Joined(const std::vector<QString> &sources, std::size_t from, std::size_t to) {
    QString joined;
    for (std::size_t i = from; i < to; ++i) {
        joined += (joined.isEmpty() ? QStringLiteral("(?:") : QStringLiteral("|(?:")) + sources[i] + QLatin1Char(')');
    }
    return joined;
}

void RuleMatcher::Build(const std::vector<Rule> &rules) {
    index_.clear();
    always_.clear();
    literals_.Clear();
    filtered_.clear();
    apart_.clear();
    blocks_.clear();
    std::vector<QString> sources;
    std::vector<std::pair<int, QRegularExpression>> joinable;
    std::vector<std::pair<int, QRegularExpression>> unjoined;
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
            if (const auto literals = RequiredLiterals(rule.regex)) {
                for (const std::string &literal : *literals) {
                    literals_.Add(literal, static_cast<int>(filtered_.size()));
                }
                filtered_.emplace_back(i, std::move(expression));
                continue;
            }
            if (RefersBack(rule.regex)) {
                apart_.emplace_back(i, std::move(expression));
                continue;
            }
            sources.push_back(expression.pattern());
            joinable.emplace_back(i, expression);
            unjoined.emplace_back(i, std::move(expression));
        }
    }
    combined_ = QRegularExpression(Joined(sources, 0, sources.size()), kOptions);
    bool ok = combined_.isValid();
    // Blocks of about the square root of the count: as many blocks to try as expressions in the block that hits.
    const std::size_t size = std::max<std::size_t>(4, static_cast<std::size_t>(std::sqrt(double(sources.size()))));
    for (std::size_t from = 0; ok && from < sources.size(); from += size) {
        const std::size_t to = std::min(sources.size(), from + size);
        Block block{QRegularExpression(Joined(sources, from, to), kOptions), {}};
        ok = block.joined.isValid();
        block.joined.optimize();
        block.expressions.assign(std::make_move_iterator(joinable.begin() + static_cast<std::ptrdiff_t>(from)),
                                 std::make_move_iterator(joinable.begin() + static_cast<std::ptrdiff_t>(to)));
        blocks_.push_back(std::move(block));
    }
    if (!ok) {
        // Cannot be joined after all: each is tried by itself.
        blocks_.clear();
        apart_.insert(apart_.end(), std::make_move_iterator(unjoined.begin()), std::make_move_iterator(unjoined.end()));
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
    thread_local std::vector<int> candidates;
    candidates.clear();
    if (!filtered_.empty()) {
        thread_local std::string folded;
        FoldForLiterals(text, folded);
        literals_.Find(folded, candidates);
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    }
    if (!candidates.empty() || !blocks_.empty() || !apart_.empty()) {
        const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        // The line was just decoded, so PCRE need not check it again.
        const auto hits = [&line](const QRegularExpression &expression) {
            return expression
                .match(line, 0, QRegularExpression::NormalMatch, QRegularExpression::DontCheckSubjectStringMatchOption)
                .hasMatch();
        };
        for (const int candidate : candidates) {
            const auto &[rule, expression] = filtered_[static_cast<std::size_t>(candidate)];
            if (hits(expression)) {
                out.push_back(rule);
            }
        }
        if (!blocks_.empty() && hits(combined_)) {
            for (const Block &block : blocks_) {
                if (!hits(block.joined)) {
                    continue;
                }
                for (const auto &[rule, expression] : block.expressions) {
                    if (hits(expression)) {
                        out.push_back(rule);
                    }
                }
            }
        }
        for (const auto &[rule, expression] : apart_) {
            if (hits(expression)) {
                out.push_back(rule);
            }
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}
