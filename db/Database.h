#pragma once

// One SQLite connection, used from one thread at a time. Failures are SQLite result codes with a message kept in
// LastError(); nothing here throws.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

struct sqlite3;

class Database {
public:
    enum class Mode {
        ReadWrite,      // creates the file when missing
        ReadWriteOwner, // the same, but a file created here is readable by its owner only
        ReadOnly,       // never creates nor changes the file
    };

    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // An empty path keeps everything in memory. Returns SQLITE_OK or the failure, with LastError() set.
    int Open(const std::string &path, Mode mode = Mode::ReadWrite, int busyTimeoutMs = 5000);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // How long a statement waits for another connection's lock before it fails with SQLITE_BUSY.
    void SetBusyTimeout(int milliseconds);

    // Runs one or more statements without results; false with LastError() set on failure.
    bool Exec(std::string_view sql);
    // Sets LastError() to "what: <SQLite's message>" and returns false, for "return ok || Fail(...)".
    bool Fail(std::string_view what);

    const std::string &LastError() const { return error_; }
    void SetError(std::string error) { error_ = std::move(error); }
    int LastCode() const; // the extended result code of the last failure on this connection
    int Changes() const;  // rows changed by the last statement
    std::int64_t LastInsertRowid() const;
    sqlite3 *Handle() const { return db_; }

private:
    sqlite3 *db_ = nullptr;
    std::string error_;
};

// A transaction that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database &db, bool immediate = true);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool Ok() const { return open_; }
    bool Commit();

private:
    Database &db_;
    bool open_ = false;
};
