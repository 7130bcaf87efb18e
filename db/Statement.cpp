#include "db/Statement.h"

#include "db/Database.h"

#include <sqlite3.h>

static_assert(SQLITE_DONE == 101);

Statement::Statement(const Database &db, std::string_view sql) {
    if (!db.Handle() ||
        sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
        stmt_ = nullptr;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement &Statement::Bind(int i, std::int64_t v) {
    if (stmt_)
        sqlite3_bind_int64(stmt_, i, v);
    return *this;
}

Statement &Statement::Bind(int i, std::string_view v) {
    if (stmt_)
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement &Statement::BindStatic(int i, std::string_view v) {
    if (stmt_)
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    return *this;
}

Statement &Statement::BindNull(int i) {
    if (stmt_)
        sqlite3_bind_null(stmt_, i);
    return *this;
}

int Statement::Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }

void Statement::Reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const { return std::string(TextView(column)); }

std::string_view Statement::TextView(int column) const {
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string_view();
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
int Statement::Type(int column) const { return sqlite3_column_type(stmt_, column); }
