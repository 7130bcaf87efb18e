#include "automation/RegexLiterals.h"

#include <cstring>

namespace {

constexpr std::size_t kShortest = 3;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHex(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char Lower(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

// Past the closing character from i; false when there is none.
bool SkipPast(std::string_view p, std::size_t &i, char closing) {
    const std::size_t end = p.find(closing, i);
    if (end == std::string_view::npos) {
        return false;
    }
    i = end + 1;
    return true;
}

// From just after a backslash and its letter or digit e, past what the escape takes with it.
bool SkipEscapeArgument(std::string_view p, std::size_t &i, unsigned char e) {
    const bool braces = i < p.size() && p[i] == '{';
    switch (e) {
    case 'x':
        if (braces) {
            return SkipPast(p, i, '}');
        }
        for (int n = 0; n < 2 && i < p.size() && IsHex(static_cast<unsigned char>(p[i])); ++n) {
            ++i;
        }
        return true;
    case 'o':
    case 'N':
        return !braces || SkipPast(p, i, '}');
    case 'p':
    case 'P':
        if (braces) {
            return SkipPast(p, i, '}');
        }
        return i++ < p.size();
    case 'c':
        return i++ < p.size();
    case 'g':
    case 'k':
        if (braces) {
            return SkipPast(p, i, '}');
        }
        if (i < p.size() && (p[i] == '<' || p[i] == '\'')) {
            return SkipPast(p, i, p[i] == '<' ? '>' : '\'');
        }
        if (i < p.size() && (p[i] == '-' || p[i] == '+')) {
            ++i;
        }
        [[fallthrough]];
    default:
        if (IsDigit(e) || e == 'g' || e == 'k') {
            while (i < p.size() && IsDigit(static_cast<unsigned char>(p[i]))) {
                ++i;
            }
        }
        return true;
    }
}

// From a '[', past its closing ']'.
bool SkipClass(std::string_view p, std::size_t &i) {
    ++i;
    if (i < p.size() && p[i] == '^') {
        ++i;
    }
    if (i < p.size() && p[i] == ']') {
        ++i; // a ']' first is one of the class
    }
    while (i < p.size()) {
        if (p[i] == '\\') {
            i += 2;
        } else if (p[i] == '[' && i + 1 < p.size() && (p[i + 1] == ':' || p[i + 1] == '.' || p[i + 1] == '=')) {
            // [:alpha:], [.x.], [=x=]
            const char closing[] = {p[i + 1], ']', '\0'};
            const std::size_t end = p.find(closing, i + 2);
            if (end == std::string_view::npos) {
                return false;
            }
            i = end + 2;
        } else if (p[i] == ']') {
            ++i;
            return true;
        } else {
            ++i;
        }
    }
    return false;
}

// Whether what follows a '(' at i is a group the reader follows: plain, non-capturing, named, atomic or a look
// around. Option settings, comments, callouts, recursion and verbs change what the rest means.
bool PlainGroup(std::string_view p, std::size_t i) {
    if (i + 1 >= p.size() || p[i + 1] == '*') {
        return false;
    }
    if (p[i + 1] != '?') {
        return true;
    }
    if (i + 2 >= p.size()) {
        return false;
    }
    const char kind = p[i + 2];
    if (kind == ':' || kind == '=' || kind == '!' || kind == '>' || kind == '|' || kind == '\'') {
        return true;
    }
    if (kind == '<' && i + 3 < p.size()) {
        const auto next = static_cast<unsigned char>(p[i + 3]);
        return next == '=' || next == '!' || next == '_' || (IsAsciiAlnum(next) && !IsDigit(next));
    }
    return false;
}

// A quantifier in braces ("{2}", "{1,3}") starting at i; a '{' that is not one stands for itself.
bool BraceQuantifier(std::string_view p, std::size_t i, std::size_t &end) {
    std::size_t j = i + 1;
    bool digit = false;
    while (j < p.size() && (IsDigit(static_cast<unsigned char>(p[j])) || p[j] == ',' || p[j] == ' ')) {
        digit = digit || IsDigit(static_cast<unsigned char>(p[j]));
        ++j;
    }
    if (j < p.size() && p[j] == '}' && digit) {
        end = j + 1;
        return true;
    }
    return false;
}

class Reader {
public:
    explicit Reader(std::string_view pattern) : p_(pattern) {}

    std::optional<std::vector<std::string>> Read() {
        std::size_t i = 0;
        while (i < p_.size()) {
            if (!Step(i)) {
                return std::nullopt;
            }
        }
        if (depth_ != 0 || !EndAlternative()) {
            return std::nullopt;
        }
        return std::move(literals_);
    }

private:
    // One element of the pattern from i; false when the pattern is not one the reader follows.
    bool Step(std::size_t &i) {
        const auto c = static_cast<unsigned char>(p_[i]);
        if (c == '\\') {
            if (i + 1 >= p_.size()) {
                return false;
            }
            const auto e = static_cast<unsigned char>(p_[i + 1]);
            if (e == 'Q' || e == 'E') {
                return false; // quoting runs to its end, which the reader does not track
            }
            if (e < 0x80 && !IsAsciiAlnum(e)) {
                Plain(e);
                i += 2;
                return true;
            }
            EndRun();
            i += e < 0x80 ? 2 : 1;
            return e >= 0x80 || SkipEscapeArgument(p_, i, e);
        }
        if (c == '[') {
            EndRun();
            return SkipClass(p_, i);
        }
        if (c == '(') {
            if (!PlainGroup(p_, i)) {
                return false;
            }
            EndRun();
            ++depth_;
            ++i;
            return true;
        }
        if (c == ')') {
            ++i;
            return depth_-- > 0;
        }
        ++i;
        if (depth_ > 0) {
            return true; // what a group holds is never required of every match
        }
        std::size_t end = 0;
        switch (c) {
        case '|':
            return EndAlternative();
        case '?':
        case '*':
            DropLast();
            break;
        case '{':
            if (BraceQuantifier(p_, i - 1, end)) {
                DropLast();
                i = end;
            }
            break;
        case '+':
        case '.':
        case '^':
        case '$':
        case ']':
        case '}':
            break;
        default:
            if (c < 0x80) {
                Plain(c);
                return true;
            }
            break;
        }
        EndRun();
        return true;
    }

    void Plain(unsigned char c) {
        if (depth_ == 0) {
            run_ += Lower(c);
        }
    }
    // The last character of the run, when the quantifier after it lets it be absent.
    void DropLast() {
        if (!run_.empty()) {
            run_.pop_back();
        }
        EndRun();
    }
    void EndRun() {
        if (depth_ == 0 && run_.size() > best_.size()) {
            best_ = run_;
        }
        run_.clear();
    }
    bool EndAlternative() {
        EndRun();
        if (best_.size() < kShortest) {
            return false;
        }
        literals_.push_back(std::move(best_));
        best_.clear();
        return true;
    }

    std::string_view p_;
    int depth_ = 0;
    std::string run_, best_;
    std::vector<std::string> literals_;
};

} // namespace

std::optional<std::vector<std::string>> RequiredLiterals(std::string_view pattern) { return Reader(pattern).Read(); }

void FoldForLiterals(std::string_view text, std::string &out) {
    out.resize(text.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xE2 && text.substr(i, 3) == "\xE2\x84\xAA") {
            out[n++] = 'k';
            i += 2;
        } else if (c == 0xC5 && text.substr(i, 2) == "\xC5\xBF") {
            out[n++] = 's';
            i += 1;
        } else {
            out[n++] = Lower(c);
        }
    }
    out.resize(n);
}

void LiteralIndex::Clear() {
    byStart_.clear();
    seen_.clear();
}

std::uint32_t LiteralIndex::Key(const char *p) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 16;
}

void LiteralIndex::Add(const std::string &literal, int tag) {
    if (literal.size() < kShortest) {
        return;
    }
    seen_.resize(1u << 10);
    const std::uint32_t key = Key(literal.data());
    seen_[Slot(key) >> 6] |= std::uint64_t{1} << (Slot(key) & 63);
    byStart_[key].push_back({literal, tag});
}

void LiteralIndex::Find(std::string_view folded, std::vector<int> &tags) const {
    if (seen_.empty()) {
        return;
    }
    for (std::size_t i = 0; i + kShortest <= folded.size(); ++i) {
        const std::uint32_t key = Key(folded.data() + i);
        if (!(seen_[Slot(key) >> 6] >> (Slot(key) & 63) & 1)) {
            continue;
        }
        const auto found = byStart_.find(key);
        if (found == byStart_.end()) {
            continue;
        }
        for (const Entry &entry : found->second) {
            if (entry.literal.size() <= folded.size() - i &&
                std::memcmp(entry.literal.data() + kShortest, folded.data() + i + kShortest,
                            entry.literal.size() - kShortest) == 0) {
                tags.push_back(entry.tag);
            }
        }
    }
}
