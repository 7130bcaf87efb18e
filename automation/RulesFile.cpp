#include "automation/RulesFile.h"

#include "common/TextCase.h"

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

constexpr std::size_t kMaxRules = 10000;
constexpr int kMaxNumber = 1000000;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char by) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = s.find(by);
        const std::string_view part = Trim(s.substr(0, at));
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (at == std::string_view::npos) {
            return parts;
        }
        s.remove_prefix(at + 1);
    }
}

std::optional<int> Number(std::string_view s, int low = 0, int high = kMaxNumber) {
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "first rest of the text" -> "first", "rest of the text"
std::pair<std::string_view, std::string_view> Head(std::string_view s) {
    s = Trim(s);
    const std::size_t at = s.find_first_of(" \t");
    if (at == std::string_view::npos) {
        return {s, {}};
    }
    return {s.substr(0, at), Trim(s.substr(at + 1))};
}

std::string Lower(std::string_view s) { return FoldCase(s); }

class Parser {
public:
    explicit Parser(RulesFileResult &out) : out_(out) {}

    void Line(int number, std::string_view line) {
        line = Trim(line);
        if (line.empty() || line.front() == '#') {
            return;
        }
        if (line.front() == '[') {
            Finish();
            if (line.back() != ']' || line.size() < 2) {
                Problem(number, "a rule starts with its name in brackets, such as [Greeter]");
                skipping_ = true;
                return;
            }
            const std::string_view name = Trim(line.substr(1, line.size() - 2));
            if (name.empty()) {
                Problem(number, "a rule's name in brackets is empty");
                skipping_ = true;
                return;
            }
            rule_ = Rule{};
            rule_->name = std::string(name);
            rule_->line = number;
            broken_ = false;
            skipping_ = false;
            return;
        }
        if (skipping_) {
            return;
        }
        if (!rule_) {
            Problem(number, "a line before the first rule's name in brackets");
            skipping_ = true;
            return;
        }
        if (broken_) {
            return;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            Break(number, "a line without \"key = value\"");
            return;
        }
        Key(number, Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }

    void Finish() {
        if (rule_ && !broken_) {
            if (!sawWhen_) {
                out_.problems.push_back("line " + std::to_string(rule_->line) + ": the rule \"" + rule_->name +
                                        "\" does not say when it acts (when = ...) and is left out.");
            } else if (rule_->actions.empty() && rule_->warning.empty()) {
                out_.problems.push_back("line " + std::to_string(rule_->line) + ": the rule \"" + rule_->name +
                                        "\" does nothing (then = ...) and is left out.");
            } else if (out_.rules.size() < kMaxRules) {
                out_.rules.push_back(std::move(*rule_));
            }
        }
        rule_.reset();
        sawWhen_ = false;
        broken_ = false;
    }

private:
    void Problem(int number, const std::string &what) {
        out_.problems.push_back("line " + std::to_string(number) + ": " + what + ".");
    }

    void Break(int number, const std::string &what) {
        out_.problems.push_back("line " + std::to_string(number) + ": " + what + "; the rule \"" + rule_->name +
                                "\" is left out.");
        broken_ = true;
    }

    void Key(int number, const std::string &key, std::string_view value) {
        Rule &r = *rule_;
        if (key == "on") {
            const std::string v = Lower(value);
            if (v != "yes" && v != "no") {
                return Break(number, "\"on\" is yes or no");
            }
            r.enabled = v == "yes";
        } else if (key == "when") {
            When(number, value);
        } else if (key == "name") {
            r.namePattern = std::string(value);
        } else if (key == "words") {
            for (const std::string_view word : Split(value, ',')) {
                r.words.push_back(Lower(word));
            }
        } else if (key == "regex") {
            const QRegularExpression re(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
            if (!re.isValid()) {
                return Break(number, "the regular expression is not valid (" + re.errorString().toStdString() + ")");
            }
            r.regex = std::string(value);
        } else if (key == "flood") {
            const auto parts = Split(value, ' ');
            const auto lines = parts.size() == 2 ? Number(parts[0], 2, 1000) : std::nullopt;
            const auto seconds = parts.size() == 2 ? Number(parts[1], 1, 3600) : std::nullopt;
            if (!lines || !seconds) {
                return Break(number, "\"flood\" is a number of lines and of seconds, such as 5 10");
            }
            r.floodLines = *lines;
            r.floodSeconds = *seconds;
        } else if (key == "world") {
            for (const std::string_view world : Split(value, ',')) {
                r.worlds.emplace_back(world);
            }
        } else if (key == "build") {
            Build(number, value);
        } else if (key == "class") {
            for (const std::string_view name : Split(value, ' ')) {
                const auto c = PersonClassFromName(Lower(name));
                if (!c) {
                    return Break(number, "a class is citizen, visitor or bot");
                }
                r.classes.push_back(*c);
            }
        } else if (key == "cooldown-person" || key == "cooldown-rule") {
            const auto seconds = Number(value);
            if (!seconds) {
                return Break(number, "a cooldown is a number of seconds");
            }
            (key == "cooldown-person" ? r.personCooldown : r.ruleCooldown) = *seconds;
        } else if (key == "warn") {
            r.warning = std::string(value);
        } else if (key == "then") {
            Then(number, value);
        } else {
            Break(number, "unknown key \"" + key + "\"");
        }
    }

    void When(int number, std::string_view value) {
        Rule &r = *rule_;
        const auto [what, rest] = Head(value);
        const std::string w = Lower(what);
        sawWhen_ = true;
        if (w == "arrival") {
            r.trigger = RuleTrigger::Arrival;
            if (Lower(rest) == "first-visit") {
                r.firstVisitOnly = true;
            } else if (!rest.empty()) {
                Break(number, "an arrival is \"arrival\" or \"arrival first-visit\"");
            }
            return;
        }
        const struct {
            const char *name;
            RuleTrigger trigger;
        } plain[] = {{"departure", RuleTrigger::Departure},
                     {"chat", RuleTrigger::Chat},
                     {"whisper", RuleTrigger::Whisper},
                     {"click", RuleTrigger::Click}};
        for (const auto &p : plain) {
            if (w == p.name) {
                r.trigger = p.trigger;
                return rest.empty() ? void() : Break(number, "\"" + w + "\" takes nothing after it");
            }
        }
        if (w == "every") {
            const auto minutes = Number(rest, 1, 7 * 24 * 60);
            if (!minutes) {
                return Break(number, "\"every\" is followed by a number of minutes");
            }
            r.trigger = RuleTrigger::Every;
            r.everyMinutes = *minutes;
        } else if (w == "at") {
            const auto parts = Split(rest, ':');
            const auto h = parts.size() == 2 ? Number(parts[0], 0, 23) : std::nullopt;
            const auto m = parts.size() == 2 && parts[1].size() == 2 ? Number(parts[1], 0, 59) : std::nullopt;
            if (!h || !m) {
                return Break(number, "\"at\" is followed by a time of day, such as 18:30");
            }
            r.trigger = RuleTrigger::At;
            r.atMinute = *h * 60 + *m;
        } else {
            Break(number, "\"when\" is arrival, departure, chat, whisper, click, every or at");
        }
    }

    void Build(int number, std::string_view value) {
        Rule &r = *rule_;
        const std::size_t dash = value.find('-');
        const std::string_view low = Trim(value.substr(0, dash));
        const std::string_view high = dash == std::string_view::npos ? low : Trim(value.substr(dash + 1));
        const auto lo = low.empty() ? std::optional<int>(0) : Number(low, 1);
        const auto hi = high.empty() ? std::optional<int>(0) : Number(high, 1);
        if (!lo || !hi || (low.empty() && high.empty()) || (*hi != 0 && *lo > *hi)) {
            return Break(number, "a build is a number or a range, such as 39, 20-39 or 20-");
        }
        r.minBuild = *lo;
        r.maxBuild = *hi;
    }

    void Then(int number, std::string_view value) {
        const auto [what, rest] = Head(value);
        const std::string w = Lower(what);
        RuleAction a;
        const struct {
            const char *name;
            RuleAction::Kind kind;
        } texts[] = {{"say", RuleAction::Kind::Say},
                     {"whisper", RuleAction::Kind::Whisper},
                     {"console", RuleAction::Kind::Console},
                     {"notice", RuleAction::Kind::Notice},
                     {"notify", RuleAction::Kind::Notify}};
        for (const auto &t : texts) {
            if (w == t.name) {
                if (rest.empty()) {
                    return Break(number, "\"" + w + "\" needs a text");
                }
                a.kind = t.kind;
                a.text = std::string(rest);
                rule_->actions.push_back(std::move(a));
                return;
            }
        }
        if (w == "eject") {
            const auto minutes = Number(rest, 1, 60 * 24 * 365);
            if (!minutes) {
                return Break(number, "\"eject\" is followed by a number of minutes");
            }
            a.kind = RuleAction::Kind::Eject;
            a.minutes = *minutes;
        } else if (w == "teleport") {
            // teleport [world] x y z [yaw]
            std::vector<std::string_view> parts = Split(rest, ' ');
            if (!parts.empty() && !Number(parts.front(), -kMaxNumber * 1000, kMaxNumber * 1000)) {
                a.text = std::string(parts.front());
                parts.erase(parts.begin());
            }
            std::vector<int> n;
            for (const std::string_view p : parts) {
                if (const auto v = Number(p, -kMaxNumber * 1000, kMaxNumber * 1000)) {
                    n.push_back(*v);
                }
            }
            if (n.size() != parts.size() || (n.size() != 3 && n.size() != 4)) {
                return Break(number, "\"teleport\" is followed by a world (or none for this one), x, y, z and "
                                     "the direction in centimetres and tenths of a degree");
            }
            a.kind = RuleAction::Kind::Teleport;
            a.x = n[0];
            a.y = n[1];
            a.z = n[2];
            a.yaw = n.size() == 4 ? n[3] : 0;
        } else {
            return Break(number, "\"then\" is say, whisper, console, eject, teleport, notice or notify");
        }
        rule_->actions.push_back(std::move(a));
    }

    RulesFileResult &out_;
    std::optional<Rule> rule_;
    bool sawWhen_ = false;
    bool broken_ = false;
    bool skipping_ = false;
};

std::string Join(const std::vector<std::string> &items, const char *by) {
    std::string s;
    for (const std::string &item : items) {
        s += (s.empty() ? "" : by) + item;
    }
    return s;
}

// A text from the window on one line of the file: a line break in it would start a key of its own.
std::string OneLine(std::string s) {
    for (char &c : s) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return s;
}

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

} // namespace

RulesFileResult ParseRules(std::string_view text) {
    RulesFileResult result;
    Parser parser(result);
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        // A carriage return inside a line (an old Mac editor, a paste) reads as the space it is written back as.
        std::string line(text.substr(0, end));
        std::replace(line.begin(), line.end(), '\r', ' ');
        parser.Line(++number, line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    parser.Finish();
    return result;
}

std::string FormatRules(const std::vector<Rule> &rules) {
    std::string out = "# Gabbler's rules. Each starts with its name in brackets; see the manual for the keys.\n";
    for (const Rule &rule : rules) {
        Rule r = rule;
        r.name = OneLine(r.name);
        r.namePattern = OneLine(r.namePattern);
        r.regex = OneLine(r.regex);
        r.warning = OneLine(r.warning);
        for (std::string &w : r.words) {
            w = OneLine(w);
        }
        for (std::string &w : r.worlds) {
            w = OneLine(w);
        }
        for (RuleAction &a : r.actions) {
            a.text = OneLine(a.text);
        }
        out += "\n[" + r.name + "]\n";
        out += std::string("on = ") + (r.enabled ? "yes" : "no") + "\n";
        out += "when = " + std::string(RuleTriggerName(r.trigger));
        if (r.trigger == RuleTrigger::Arrival && r.firstVisitOnly) {
            out += " first-visit";
        } else if (r.trigger == RuleTrigger::Every) {
            out += " " + std::to_string(r.everyMinutes);
        } else if (r.trigger == RuleTrigger::At) {
            out += " " + Two(r.atMinute / 60) + ":" + Two(r.atMinute % 60);
        }
        out += "\n";
        if (!r.namePattern.empty()) {
            out += "name = " + r.namePattern + "\n";
        }
        if (!r.words.empty()) {
            out += "words = " + Join(r.words, ", ") + "\n";
        }
        if (!r.regex.empty()) {
            out += "regex = " + r.regex + "\n";
        }
        if (r.floodLines > 0) {
            out += "flood = " + std::to_string(r.floodLines) + " " + std::to_string(r.floodSeconds) + "\n";
        }
        if (!r.worlds.empty()) {
            out += "world = " + Join(r.worlds, ", ") + "\n";
        }
        if (r.minBuild > 0 || r.maxBuild > 0) {
            out += "build = " + (r.minBuild > 0 ? std::to_string(r.minBuild) : "") +
                   (r.minBuild == r.maxBuild ? "" : "-" + (r.maxBuild > 0 ? std::to_string(r.maxBuild) : "")) + "\n";
        }
        if (!r.classes.empty()) {
            std::vector<std::string> names;
            for (const PersonClass c : r.classes) {
                names.emplace_back(PersonClassName(c));
            }
            out += "class = " + Join(names, " ") + "\n";
        }
        if (r.personCooldown > 0) {
            out += "cooldown-person = " + std::to_string(r.personCooldown) + "\n";
        }
        if (r.ruleCooldown > 0) {
            out += "cooldown-rule = " + std::to_string(r.ruleCooldown) + "\n";
        }
        if (!r.warning.empty()) {
            out += "warn = " + r.warning + "\n";
        }
        for (const RuleAction &a : r.actions) {
            out += "then = " + std::string(RuleActionName(a.kind));
            if (a.kind == RuleAction::Kind::Eject) {
                out += " " + std::to_string(a.minutes);
            } else if (a.kind == RuleAction::Kind::Teleport) {
                if (!a.text.empty()) {
                    out += " " + a.text;
                }
                out += " " + std::to_string(a.x) + " " + std::to_string(a.y) + " " + std::to_string(a.z) + " " +
                       std::to_string(a.yaw);
            } else {
                out += " " + a.text;
            }
            out += "\n";
        }
    }
    return out;
}

RulesFileResult LoadRules(const std::string &path) {
    const std::optional<std::string> text = ReadWholeFile(path);
    return text ? ParseRules(*text) : RulesFileResult{};
}

FileResult SaveRules(const std::string &path, const std::vector<Rule> &rules) {
    return WriteFileAtomically(path, FormatRules(rules));
}
