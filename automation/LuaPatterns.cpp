#include "automation/LuaPatterns.h"

#include "automation/LuaSandbox.h"

#include <lua.hpp>

#include <cctype>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;
using Index = std::ptrdiff_t;

constexpr Index kNone = -1;
constexpr int kMaxDepth = 200;    // the library's limit of nested matching ("pattern too complex")
constexpr int kMaxCaptures = 32;  // and of captures
constexpr Index kUnfinished = -1; // a capture's length while it is open
constexpr Index kPosition = -2;   // the length of a position capture "()"
constexpr unsigned kClockEvery = 1024;

// Walks the library's search: the same backtracking over the same items in the same order, so that it takes as
// many steps as the library would, without building results. It stops when the deadline passes (overTime), and on
// whatever the library would raise an error for (the library then raises it, as soon as it gets there).
class Walker {
public:
    Walker(std::string_view subject, std::string_view pattern, Clock::time_point deadline)
        : s_(subject.data()), p_(pattern.data()), send_(static_cast<Index>(subject.size())),
          pend_(static_cast<Index>(pattern.size())), deadline_(deadline) {}

    bool Stopped() const { return stopped_; }
    PatternWalk Outcome() const { return {overTime_, error_, errorNumber_}; }
    // The captures of the last match, a bit for each left open, which the library reports as it hands it over.
    int Level() const { return level_; }
    unsigned Unfinished() const {
        unsigned open = 0;
        for (int i = 0; i < level_; ++i) {
            open |= captures_[i].len == kUnfinished ? 1u << i : 0u;
        }
        return open;
    }

    Index MatchFrom(Index s, Index p) {
        level_ = 0;
        depth_ = kMaxDepth;
        return Match(s, p);
    }
    Index End() const { return send_; }

private:
    struct Capture {
        Index init = 0;
        Index len = 0;
    };

    void Tick() {
        if (++steps_ % kClockEvery == 0 && Clock::now() > deadline_) {
            overTime_ = stopped_ = true;
        }
    }
    // Where the library raises an error: its message, a format with at most one %d for number.
    Index Fail(const char *message, int number = 0) {
        stopped_ = true;
        error_ = message;
        errorNumber_ = number;
        return kNone;
    }
    int SubjectAt(Index s) const { return static_cast<unsigned char>(s_[s]); }
    int PatternAt(Index p) const { return static_cast<unsigned char>(p_[p]); }

    Index Match(Index s, Index p) {
        if (stopped_) {
            return kNone;
        }
        if (depth_-- == 0) {
            return Fail("pattern too complex");
        }
        const Index result = Items(s, p);
        ++depth_;
        return result;
    }

    Index Items(Index s, Index p) {
        while (!stopped_) {
            Tick();
            if (p == pend_) {
                return s;
            }
            const char c = p_[p];
            if (c == '(') {
                return p + 1 < pend_ && p_[p + 1] == ')' ? Open(s, p + 2, kPosition) : Open(s, p + 1, kUnfinished);
            }
            if (c == ')') {
                return Close(s, p + 1);
            }
            if (c == '$' && p + 1 == pend_) {
                return s == send_ ? s : kNone;
            }
            if (c == '%' && p + 1 < pend_) {
                const char kind = p_[p + 1];
                if (kind == 'b') {
                    s = Balance(s, p + 2);
                    if (s == kNone) {
                        return kNone;
                    }
                    p += 4;
                    continue;
                }
                if (kind == 'f') {
                    p += 2;
                    if (p >= pend_ || p_[p] != '[') {
                        return Fail("missing '[' after '%%f' in pattern");
                    }
                    const Index ep = ClassEnd(p);
                    if (stopped_) {
                        return kNone;
                    }
                    const int previous = s == 0 ? 0 : SubjectAt(s - 1);
                    const int current = s < send_ ? SubjectAt(s) : 0;
                    if (!InSet(previous, p, ep - 1) && InSet(current, p, ep - 1)) {
                        p = ep;
                        continue;
                    }
                    return kNone;
                }
                if (std::isdigit(static_cast<unsigned char>(kind))) {
                    s = Again(s, kind);
                    if (s == kNone) {
                        return kNone;
                    }
                    p += 2;
                    continue;
                }
            }
            const Index ep = ClassEnd(p);
            if (stopped_) {
                return kNone;
            }
            const char quantifier = ep < pend_ ? p_[ep] : '\0';
            if (!Single(s, p, ep)) {
                if (quantifier == '*' || quantifier == '?' || quantifier == '-') {
                    p = ep + 1;
                    continue;
                }
                return kNone;
            }
            switch (quantifier) {
            case '?': {
                const Index end = Match(s + 1, ep + 1);
                if (end != kNone) {
                    return end;
                }
                p = ep + 1;
                continue;
            }
            case '+':
                return Longest(s + 1, p, ep);
            case '*':
                return Longest(s, p, ep);
            case '-':
                return Shortest(s, p, ep);
            default:
                ++s;
                p = ep;
                continue;
            }
        }
        return kNone;
    }

    Index Open(Index s, Index p, Index what) {
        if (level_ >= kMaxCaptures) {
            return Fail("too many captures");
        }
        captures_[level_++] = {s, what};
        const Index end = Match(s, p);
        if (end == kNone) {
            --level_;
        }
        return end;
    }

    Index Close(Index s, Index p) {
        int open = level_ - 1;
        while (open >= 0 && captures_[open].len != kUnfinished) {
            --open;
        }
        if (open < 0) {
            return Fail("invalid pattern capture");
        }
        captures_[open].len = s - captures_[open].init;
        const Index end = Match(s, p);
        if (end == kNone) {
            captures_[open].len = kUnfinished;
        }
        return end;
    }

    // %1 .. %9: the text of an earlier capture again.
    Index Again(Index s, char digit) {
        const int l = digit - '1';
        if (l < 0 || l >= level_ || captures_[l].len == kUnfinished) {
            return Fail("invalid capture index %%%d", l + 1);
        }
        const Capture &capture = captures_[l];
        if (capture.len < 0 || send_ - s < capture.len ||
            std::memcmp(s_ + capture.init, s_ + s, static_cast<std::size_t>(capture.len)) != 0) {
            return kNone;
        }
        return s + capture.len;
    }

    Index Balance(Index s, Index p) {
        if (p + 1 >= pend_) {
            return Fail("malformed pattern (missing arguments to '%%b')");
        }
        if (s >= send_ || s_[s] != p_[p]) {
            return kNone;
        }
        const char open = p_[p], close = p_[p + 1];
        int depth = 1;
        while (++s < send_) {
            Tick();
            if (stopped_) {
                return kNone;
            }
            if (s_[s] == close) {
                if (--depth == 0) {
                    return s + 1;
                }
            } else if (s_[s] == open) {
                ++depth;
            }
        }
        return kNone;
    }

    Index Longest(Index s, Index p, Index ep) {
        Index count = 0;
        while (Single(s + count, p, ep)) {
            ++count;
            Tick();
            if (stopped_) {
                return kNone;
            }
        }
        for (; count >= 0; --count) {
            const Index end = Match(s + count, ep + 1);
            if (end != kNone || stopped_) {
                return end;
            }
        }
        return kNone;
    }

    Index Shortest(Index s, Index p, Index ep) {
        for (;;) {
            const Index end = Match(s, ep + 1);
            if (end != kNone || stopped_) {
                return end;
            }
            if (!Single(s, p, ep)) {
                return kNone;
            }
            ++s;
        }
    }

    // Past the single-character class at p: ".", "x", "%x" or a set "[...]".
    Index ClassEnd(Index p) {
        const char c = p_[p++];
        if (c == '%') {
            if (p >= pend_) {
                Fail("malformed pattern (ends with '%%')");
                return pend_;
            }
            return p + 1;
        }
        if (c == '[') {
            if (p < pend_ && p_[p] == '^') {
                ++p;
            }
            do {
                if (p >= pend_) {
                    Fail("malformed pattern (missing ']')");
                    return pend_;
                }
                if (p_[p++] == '%' && p < pend_) {
                    ++p;
                }
            } while (p >= pend_ || p_[p] != ']');
            return p + 1;
        }
        return p;
    }

    static bool ClassMatch(int c, int cl) {
        bool result = false;
        switch (std::tolower(cl)) {
        case 'a':
            result = std::isalpha(c);
            break;
        case 'c':
            result = std::iscntrl(c);
            break;
        case 'd':
            result = std::isdigit(c);
            break;
        case 'g':
            result = std::isgraph(c);
            break;
        case 'l':
            result = std::islower(c);
            break;
        case 'p':
            result = std::ispunct(c);
            break;
        case 's':
            result = std::isspace(c);
            break;
        case 'u':
            result = std::isupper(c);
            break;
        case 'w':
            result = std::isalnum(c);
            break;
        case 'x':
            result = std::isxdigit(c);
            break;
        default:
            return cl == c;
        }
        return std::isupper(cl) ? !result : result;
    }

    // Whether c is in the set from p ('[') to ec (its ']').
    bool InSet(int c, Index p, Index ec) const {
        bool in = true;
        if (p_[p + 1] == '^') {
            in = false;
            ++p;
        }
        while (++p < ec) {
            if (p_[p] == '%') {
                ++p;
                if (ClassMatch(c, PatternAt(p))) {
                    return in;
                }
            } else if (p_[p + 1] == '-' && p + 2 < ec) {
                p += 2;
                if (PatternAt(p - 2) <= c && c <= PatternAt(p)) {
                    return in;
                }
            } else if (PatternAt(p) == c) {
                return in;
            }
        }
        return !in;
    }

    bool Single(Index s, Index p, Index ep) const {
        if (s >= send_) {
            return false;
        }
        const int c = SubjectAt(s);
        switch (p_[p]) {
        case '.':
            return true;
        case '%':
            return ClassMatch(c, PatternAt(p + 1));
        case '[':
            return InSet(c, p, ep - 1);
        default:
            return PatternAt(p) == c;
        }
    }

    const char *s_;
    const char *p_;
    Index send_, pend_;
    Clock::time_point deadline_;
    unsigned steps_ = 0;
    bool stopped_ = false, overTime_ = false;
    const char *error_ = nullptr;
    int errorNumber_ = 0;
    int depth_ = kMaxDepth;
    int level_ = 0;
    Capture captures_[kMaxCaptures];
};

// A 1-based position as the library reads it, negative from the end.
lua_Integer Position(lua_Integer position, std::size_t length) {
    if (position > 0) {
        return position;
    }
    if (position == 0 || position < -static_cast<lua_Integer>(length)) {
        return 1;
    }
    return static_cast<lua_Integer>(length) + position + 1;
}

void ReplacementError(std::string_view replacement, PatternWalk &walk);

// Walks the search the library is asked for (its arguments on the stack) within the script's time. The arguments
// are checked here, as the library checks them, so that its errors name the function and line the script called.
PatternWalk Walk(lua_State *state, PatternSearch search, bool find) {
    std::size_t subjectLength = 0, patternLength = 0;
    const char *subject = luaL_checklstring(state, 1, &subjectLength);
    const char *pattern = luaL_checklstring(state, 2, &patternLength);
    const std::string_view p(pattern, patternLength);
    lua_Integer start = 0;
    lua_Integer maxMatches = static_cast<lua_Integer>(subjectLength) + 1;
    if (search == PatternSearch::Gsub) {
        const int replacement = lua_type(state, 3);
        luaL_argexpected(state,
                         replacement == LUA_TNUMBER || replacement == LUA_TSTRING || replacement == LUA_TFUNCTION ||
                             replacement == LUA_TTABLE,
                         3, "string/function/table");
        maxMatches = luaL_optinteger(state, 4, maxMatches);
    } else {
        start = Position(luaL_optinteger(state, 3, 1), subjectLength) - 1;
        if (start > static_cast<lua_Integer>(subjectLength)) {
            return {}; // no search at all
        }
        // A plain find, or a pattern without magic characters, is a plain search.
        if (find && (lua_toboolean(state, 4) || p.find_first_of("^$*+?.([%-") == std::string_view::npos)) {
            return {};
        }
    }
    const Clock::time_point now = Clock::now();
    const Clock::time_point deadline = LuaSandbox::FromState(state).Deadline();
    if (deadline <= now) {
        return {true};
    }
    // The library's own run takes about as long again.
    PatternWalk walk =
        WalkPatternSearch(search, std::string_view(subject, subjectLength), p, static_cast<std::size_t>(start),
                          static_cast<long long>(maxMatches), now + (deadline - now) / 2);
    if (search == PatternSearch::Gsub && walk.matched && !walk.overTime && !walk.error &&
        lua_type(state, 3) == LUA_TSTRING) {
        std::size_t length = 0;
        const char *replacement = lua_tolstring(state, 3, &length);
        ReplacementError(std::string_view(replacement, length), walk);
    }
    return walk;
}

// The error the library raises at the first replacement by a text, if any.
void ReplacementError(std::string_view replacement, PatternWalk &walk) {
    for (std::size_t i = replacement.find('%'); i != std::string_view::npos; i = replacement.find('%', i + 2)) {
        const char c = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
        if (c == '%' || c == '0') {
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            walk.error = "invalid use of '%%' in replacement string";
            return;
        }
        const int l = c - '1';
        if (l >= walk.captures && l != 0) {
            walk.error = "invalid capture index %%%d";
            walk.errorNumber = l + 1;
            return;
        }
        if (l < walk.captures && (walk.unfinished >> l & 1u)) {
            walk.error = "unfinished capture";
            return;
        }
    }
}

// A gsub replacement by a function or table, checked as the library checks what it gives, but raising the error at
// the script's line: the library's frame and the wrapper's stand between.
int CheckedReplacement(lua_State *state) {
    const int arguments = lua_gettop(state);
    lua_pushvalue(state, lua_upvalueindex(1));
    if (lua_type(state, -1) == LUA_TTABLE) {
        lua_pushvalue(state, 1);
        lua_gettable(state, -2);
    } else {
        lua_insert(state, 1);
        lua_call(state, arguments, 1);
    }
    if (lua_toboolean(state, -1) && !lua_isstring(state, -1)) {
        luaL_where(state, 3);
        lua_pushfstring(state, "invalid replacement value (a %s)", luaL_typename(state, -2));
        lua_concat(state, 2);
        return lua_error(state);
    }
    return 1;
}

int Bounded(lua_State *state, PatternSearch search, bool find) {
    const PatternWalk walk = Walk(state, search, find);
    if (walk.overTime) {
        return LuaSandbox::Stop(state);
    }
    if (walk.error) {
        return luaL_error(state, walk.error, walk.errorNumber);
    }
    if (search == PatternSearch::Gsub && (lua_type(state, 3) == LUA_TFUNCTION || lua_type(state, 3) == LUA_TTABLE)) {
        lua_pushvalue(state, 3);
        lua_pushcclosure(state, &CheckedReplacement, 1);
        lua_replace(state, 3);
    }
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_call(state, lua_gettop(state) - 1, LUA_MULTRET);
    return lua_gettop(state);
}

int BoundedFind(lua_State *state) { return Bounded(state, PatternSearch::Find, true); }
int BoundedMatch(lua_State *state) { return Bounded(state, PatternSearch::Find, false); }
int BoundedGmatch(lua_State *state) { return Bounded(state, PatternSearch::Gmatch, false); }
int BoundedGsub(lua_State *state) { return Bounded(state, PatternSearch::Gsub, false); }

} // namespace

PatternWalk WalkPatternSearch(PatternSearch search, std::string_view subject, std::string_view pattern,
                              std::size_t start, long long maxMatches, Clock::time_point deadline) {
    Walker walker(subject, pattern, deadline);
    const Index end = walker.End();
    Index s = static_cast<Index>(start);
    if (search == PatternSearch::Gmatch) {
        // gmatch takes "^" for itself, not as an anchor.
        Index last = kNone;
        while (s <= end && !walker.Stopped()) {
            const Index e = walker.MatchFrom(s, 0);
            if (e != kNone && e != last) {
                s = last = e;
            } else {
                ++s;
            }
        }
        return walker.Outcome();
    }
    const bool anchor = !pattern.empty() && pattern.front() == '^';
    const Index p = anchor ? 1 : 0;
    if (search == PatternSearch::Find) {
        do {
            if (walker.MatchFrom(s, p) != kNone) {
                PatternWalk walk = walker.Outcome();
                if (walker.Unfinished() != 0) {
                    walk.error = "unfinished capture";
                }
                return walk;
            }
        } while (!walker.Stopped() && s++ < end && !anchor);
        return walker.Outcome();
    }
    Index last = kNone;
    PatternWalk first;
    for (long long n = 0; n < maxMatches && !walker.Stopped();) {
        const Index e = walker.MatchFrom(s, p);
        if (e != kNone && e != last) {
            if (n++ == 0) {
                first.matched = true;
                first.captures = walker.Level();
                first.unfinished = walker.Unfinished();
            }
            s = last = e;
        } else if (s < end) {
            ++s;
        } else {
            break;
        }
        if (anchor) {
            break;
        }
    }
    PatternWalk walk = walker.Outcome();
    walk.matched = first.matched;
    walk.captures = first.captures;
    walk.unfinished = first.unfinished;
    return walk;
}

void BoundPatternFunctions(lua_State *state) {
    static const luaL_Reg bounded[] = {
        {"find", &BoundedFind}, {"match", &BoundedMatch}, {"gmatch", &BoundedGmatch}, {"gsub", &BoundedGsub}};
    lua_getglobal(state, LUA_STRLIBNAME);
    for (const luaL_Reg &function : bounded) {
        lua_getfield(state, -1, function.name);
        lua_pushcclosure(state, function.func, 1);
        lua_setfield(state, -2, function.name);
    }
    lua_pop(state, 1);
}
