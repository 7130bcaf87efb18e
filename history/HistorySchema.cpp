#include "history/HistorySchema.h"

#include "db/Statement.h"

#include <sqlite3.h>

namespace {

// Names (worlds and people) are stored once and referred to by number; lines take their numbers from their run,
// so that a line's place in the run is its number minus the run's first (see HistoryWriter). Numbers grow with
// time, so lines need no index of their own on the time (see time_blocks): that keeps a line near twice its text on
// disk.
// The writer indexes each batch's text with one statement; a trigger per row would make the full-text index
// write a segment for every line. Deletions go through the trigger, whoever deletes.
constexpr const char *kVersion1 = R"(
CREATE TABLE names(
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE);
CREATE TABLE runs(
    id INTEGER PRIMARY KEY,
    first_line INTEGER NOT NULL,
    started INTEGER NOT NULL,
    heartbeat INTEGER NOT NULL);
CREATE TABLE lines(
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    world INTEGER NOT NULL,
    speaker INTEGER,
    session INTEGER,
    kind INTEGER NOT NULL,
    colour INTEGER NOT NULL,
    style INTEGER NOT NULL,
    text TEXT NOT NULL);
CREATE VIRTUAL TABLE lines_text USING fts5(text, content='lines', content_rowid='id',
    tokenize='unicode61 remove_diacritics 2', columnsize=0);
CREATE TRIGGER lines_text_delete AFTER DELETE ON lines BEGIN
    INSERT INTO lines_text(lines_text, rowid, text) VALUES('delete', old.id, old.text);
END;
CREATE TABLE visits(
    id INTEGER PRIMARY KEY,
    run INTEGER NOT NULL,
    world INTEGER NOT NULL,
    name INTEGER NOT NULL,
    citizen INTEGER,
    session INTEGER NOT NULL,
    arrival INTEGER NOT NULL,
    departure INTEGER);
CREATE INDEX visits_name ON visits(name, arrival);
CREATE INDEX visits_arrival ON visits(arrival);
CREATE INDEX visits_open ON visits(world, session) WHERE departure IS NULL;
)";

// Date ranges (export, delete, search with dates) find their lines through the earliest and latest time of each
// block of 1,024 line numbers: the blocks a range overlaps give the numbers to read, and the lines' own times
// decide. A clock set back only widens a block. An index on every line's time would cost some 15 bytes a line;
// this costs a few bytes per thousand lines.
constexpr const char *kVersion2 = R"(
CREATE TABLE time_blocks(
    block INTEGER PRIMARY KEY,
    earliest INTEGER NOT NULL,
    latest INTEGER NOT NULL);
INSERT INTO time_blocks SELECT id >> 10, min(time), max(time) FROM lines GROUP BY id >> 10;
)";

// What the bot did by itself (its rules and scripts), and which rule or script did it: an action that left no line
// in the pane (an ejection, a teleport, one dropped by the budget) is found here all the same.
constexpr const char *kVersion3 = R"(
CREATE TABLE automatic(
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    world INTEGER NOT NULL,
    source INTEGER NOT NULL,
    action TEXT NOT NULL,
    target TEXT NOT NULL,
    text TEXT NOT NULL,
    result INTEGER NOT NULL);
CREATE INDEX automatic_time ON automatic(time);
)";

static_assert(kTimeBlockShift == 10, "stored files have blocks of 1,024 lines");

// Each step brings the file from version i + 1 to i + 2; a later version appends its step here.
constexpr const char *kMigrations[] = {kVersion1, kVersion2, kVersion3};
static_assert(std::size(kMigrations) == kHistorySchemaVersion);

int ReadVersion(Database &db, bool &hasTable) {
    hasTable = false;
    Statement exists(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'");
    const int code = exists.Step();
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        return -1;
    if (code == SQLITE_DONE)
        return 0;
    hasTable = true;
    Statement s(db, "SELECT version FROM schema_version");
    return s.Step() == SQLITE_ROW ? static_cast<int>(s.Int(0)) : -1;
}

} // namespace

bool OpenHistoryDatabase(Database &db, const std::string &path, bool writer, std::string &error) {
    if (db.Open(path, writer ? Database::Mode::ReadWriteOwner : Database::Mode::ReadOnly) != SQLITE_OK) {
        error = "The history cannot be opened: " + db.LastError();
        return false;
    }
    const auto fail = [&](const std::string &message) {
        error = message;
        db.Close();
        return false;
    };
    bool hasTable = false;
    const int version = ReadVersion(db, hasTable);
    if (version < 0)
        return fail(path + " is not a Gabbler history: " + std::string(sqlite3_errmsg(db.Handle())));
    if (version > kHistorySchemaVersion)
        return fail(path + " was written by a newer Gabbler (history version " + std::to_string(version) +
                    "; this one knows up to " + std::to_string(kHistorySchemaVersion) + ") and is left as it is.");
    if (!writer) {
        if (version < kHistorySchemaVersion)
            return fail(path + " is " + (version == 0 ? "empty" : "of an older version") +
                        "; Gabbler brings it up to date when it records again.");
        return true;
    }
    if (version == 0) {
        // A file that holds anything but our tables is somebody else's.
        Statement any(db, "SELECT COUNT(*) FROM sqlite_master");
        if (any.Step() != SQLITE_ROW || any.Int(0) != 0)
            return fail(path + " is not a Gabbler history.");
    }
    // Larger pages suit the full-text index's segments (a new file only; WAL fixes the size from then on). WAL lets
    // other processes read while the writer writes; NORMAL keeps every commit through a crash of the program, which
    // is what the history promises (a power cut may lose the last commits).
    if ((version == 0 && !db.Exec("PRAGMA page_size=8192")) ||
        !db.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"))
        return fail(path + ": " + db.LastError());
    for (int v = version; v < kHistorySchemaVersion; ++v) {
        Transaction t(db);
        const std::string step = kMigrations[v];
        if (!t.Ok() || !db.Exec(step) ||
            !db.Exec(v == 0 ? "CREATE TABLE schema_version(version INTEGER NOT NULL); "
                              "INSERT INTO schema_version VALUES(1)"
                            : "UPDATE schema_version SET version = " + std::to_string(v + 1)) ||
            !t.Commit())
            return fail(path + " could not be brought up to date: " + db.LastError());
    }
    return true;
}
