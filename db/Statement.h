#pragma once

// One prepared statement, finalised on every path. A statement that failed to prepare stays usable: every step
// then fails with SQLITE_ERROR, so a caller checks once at the end.

#include <cstdint>
#include <string>
#include <string_view>

class Database;
struct sqlite3_stmt;

class Statement {
public:
    Statement(const Database &db, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    Statement &Bind(int i, std::int64_t v);
    Statement &Bind(int i, int v) { return Bind(i, static_cast<std::int64_t>(v)); }
    Statement &Bind(int i, std::string_view v); // copied
    // Not copied: the text must outlive the next Step.
    Statement &BindStatic(int i, std::string_view v);
    Statement &BindNull(int i);

    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step();
    bool Run() { return Step() == 101 /* SQLITE_DONE */; }
    // Ready for the next bindings and step; the previous bindings are cleared.
    void Reset();

    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::string_view TextView(int column) const; // valid until the next Step or Reset
    bool IsNull(int column) const;
    int Type(int column) const;

private:
    sqlite3_stmt *stmt_ = nullptr;
};
