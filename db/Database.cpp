#include "db/Database.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

Database::~Database() { Close(); }

int Database::Open(const std::string &path, Mode mode, int busyTimeoutMs) {
    Close();
    error_.clear();
    const std::string name = path.empty() ? ":memory:" : path;
    if (mode == Mode::ReadWriteOwner && !path.empty()) {
        // SQLite creates its files with the process umask; create the file first so it starts private. The WAL and
        // shared-memory files then take the same permissions from it.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            error_ = "cannot open " + name + ": " + std::strerror(errno);
            return SQLITE_CANTOPEN;
        }
        ::close(fd);
    }
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const int code = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (code != SQLITE_OK) {
        error_ = "cannot open " + name + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        Close();
        return code;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    return SQLITE_OK;
}

void Database::SetBusyTimeout(int milliseconds) {
    if (db_)
        sqlite3_busy_timeout(db_, milliseconds);
}

void Database::Close() {
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool Database::Exec(std::string_view sql) {
    if (!db_) {
        error_ = "no database";
        return false;
    }
    char *message = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error_ = message ? message : "unknown error";
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool Database::Fail(std::string_view what) {
    error_ = std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_) : "no database");
    return false;
}

int Database::LastCode() const { return db_ ? sqlite3_extended_errcode(db_) : SQLITE_MISUSE; }
int Database::Changes() const { return db_ ? sqlite3_changes(db_) : 0; }
std::int64_t Database::LastInsertRowid() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

Transaction::Transaction(Database &db, bool immediate) : db_(db) {
    open_ = db_.Exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    if (open_) {
        std::string error = db_.LastError(); // the reason for the rollback stays readable
        db_.Exec("ROLLBACK");
        db_.SetError(std::move(error));
    }
}

bool Transaction::Commit() {
    if (!open_)
        return false;
    open_ = false;
    if (db_.Exec("COMMIT"))
        return true;
    std::string error = db_.LastError();
    db_.Exec("ROLLBACK");
    db_.SetError(std::move(error));
    return false;
}
