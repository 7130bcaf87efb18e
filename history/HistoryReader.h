#pragma once

// Reads history.db, for the search and visitor windows and the command line, while the program may be writing it.
// A reader opened for changes can also delete lines.

#include "db/Database.h"
#include "history/HistoryTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct HistoryResult {
    bool ok = true;
    bool stopped = false; // !ok because the stop check asked for it
    std::string error;    // a sentence for the user when !ok
    std::vector<HistoryLine> lines;
};

// People present in one period: every person seen inside it counts once.
struct PresenceBucket {
    std::int64_t start = 0;
    int people = 0;
};

class HistoryReader {
public:
    static constexpr int kMaxLimit = 100000;

    // Opens folder/history.db; forChanges opens it for deleting too. False with error set; a missing file says so.
    bool Open(const std::string &folder, bool forChanges, std::string &error);
    bool IsOpen() const { return db_.IsOpen(); }

    // Lines whose text matches query (see FtsQuery; an empty query matches every line) and the filter, newest
    // first, at most limit of them, all older than beforeId when given (the next page of results).
    HistoryResult Search(std::string_view query, const HistoryFilter &filter, int limit,
                         std::optional<std::int64_t> beforeId = std::nullopt);
    // The same lines oldest first, one at a time; each returns false to stop. False with error set on failure.
    bool ForEach(std::string_view query, const HistoryFilter &filter,
                 const std::function<bool(const HistoryLine &)> &line, std::string &error);

    // The line with this number and up to before / after lines on each side, in order.
    HistoryResult Around(std::int64_t id, int before, int after);
    // The lines numbered first .. first + count - 1 that are stored (lost ones leave gaps), in order.
    HistoryResult Range(std::int64_t first, int count);

    // What the bot's automation did, newest first, at most limit of them. Empty on failure.
    std::vector<AutomaticRecord> Automatic(int limit);

    // Deletes the lines and visits that began inside [from, to), or everything. False with error set. When deleted
    // is given, it receives the numbers of the lines removed, in order, so that a reader of them can let them go.
    static constexpr std::size_t kMaxDeletedRanges = 4096;
    bool Delete(std::int64_t from, std::int64_t to, std::string &error, std::vector<DeletedLines> *deleted = nullptr);
    bool DeleteAll(std::string &error, std::vector<DeletedLines> *deleted = nullptr);
    // Gives the connection's page cache back; the next read fills it again.
    void ReleaseMemory();

    // Per person, by name without regard to case. Visits still open count to now.
    std::vector<VisitorSummary> Visitors(const HistoryFilter &filter, std::int64_t now);
    // People present in each period of bucketMs from filter.from (required) up to filter.to (required).
    std::vector<PresenceBucket> Presence(const HistoryFilter &filter, std::int64_t bucketMs, std::int64_t now);

    // While set, a running read asks stop now and then (every few thousand steps of SQLite's engine, on the
    // reading thread) and ends as soon as it answers true: the read fails with stopped set.
    void SetStopCheck(std::function<bool()> stop);

    const std::string &LastError() const { return db_.LastError(); }

private:
    // The numbers of the filter's names; false when a name is not in the store (nothing can match).
    bool ResolveNames(const HistoryFilter &filter, std::optional<std::int64_t> &world,
                      std::optional<std::int64_t> &person);
    // The numbers [first, end) of the lines that may lie in [from, to) (absent: without end), found through the
    // blocks of numbers and their times. False when no line can (error empty) or on failure (error set).
    bool NumbersInTime(std::optional<std::int64_t> from, std::optional<std::int64_t> to, std::int64_t &first,
                       std::int64_t &end, std::string &error);
    // The numbers of the lines in [from, to) among [first, end), as ranges; false on failure.
    bool ListDeleted(std::int64_t from, std::int64_t to, std::int64_t first, std::int64_t end,
                     std::vector<DeletedLines> &deleted);
    bool Query(std::string_view query, const HistoryFilter &filter, bool newestFirst, int limit,
               std::optional<std::int64_t> beforeId, const std::function<bool(const HistoryLine &)> &line,
               std::string &error);

    void InstallStopCheck();
    // A failed read's sentence for the user; notes whether it was stopped.
    std::string ReadError(int code, const char *what);

    Database db_;
    std::function<bool()> stop_;
    bool stopped_ = false; // the last read ended because stop_ asked
};
