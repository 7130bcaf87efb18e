#include "history/HistoryReader.h"

#include "db/Statement.h"
#include "history/FtsQuery.h"
#include "history/HistoryQueries.h"
#include "history/HistorySchema.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <sqlite3.h>
#include <unordered_map>
#include <unordered_set>

namespace {

HistoryLine ReadLine(const Statement &s) {
    HistoryLine line;
    line.id = s.Int(0);
    line.time = s.Int(1);
    line.world = s.Text(2);
    line.speaker = s.Text(3);
    if (!s.IsNull(4))
        line.session = static_cast<int>(s.Int(4));
    const auto kind = s.Int(5);
    line.kind = kind >= 0 && kind < kLineKindCount ? static_cast<LineKind>(kind) : LineKind::Notice;
    line.colour = static_cast<std::uint32_t>(s.Int(6)) & 0xffffffu;
    const auto style = s.Int(7);
    line.bold = (style & 1) != 0;
    line.italic = (style & 2) != 0;
    line.underline = (style & 4) != 0;
    line.timeShown = (style & 8) != 0;
    line.paneFlags = static_cast<std::uint8_t>((style >> 4) & 7);
    line.text = s.Text(8);
    return line;
}

void BindOptional(Statement &s, int i, const std::optional<std::int64_t> &v) {
    if (v)
        s.Bind(i, *v);
    else
        s.BindNull(i);
}

} // namespace

bool HistoryReader::Open(const std::string &folder, bool forChanges, std::string &error) {
    const std::string path = folder + "/" + kHistoryFileName;
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        error = "There is no history in " + folder + " yet.";
        return false;
    }
    // Opening for changes must not create or convert anything the writer would not; a plain read-write connection
    // over an existing, current file does neither.
    if (!OpenHistoryDatabase(db_, path, false, error))
        return false;
    if (forChanges && db_.Open(path, Database::Mode::ReadWrite) != SQLITE_OK) {
        error = "The history cannot be changed: " + db_.LastError();
        return false;
    }
    InstallStopCheck();
    return true;
}

void HistoryReader::SetStopCheck(std::function<bool()> stop) {
    stop_ = std::move(stop);
    InstallStopCheck();
}

void HistoryReader::InstallStopCheck() {
    if (!db_.IsOpen())
        return;
    // Called on the reading thread between steps of the engine; a prefix over millions of lines runs for seconds.
    constexpr int kStepsBetweenChecks = 1000;
    if (stop_)
        sqlite3_progress_handler(
            db_.Handle(), kStepsBetweenChecks,
            [](void *self) { return static_cast<HistoryReader *>(self)->stop_() ? 1 : 0; }, this);
    else
        sqlite3_progress_handler(db_.Handle(), 0, nullptr, nullptr);
}

std::string HistoryReader::ReadError(int code, const char *what) {
    if (code == SQLITE_INTERRUPT) {
        stopped_ = true;
        return "The search was stopped.";
    }
    return std::string(what) + ": " + sqlite3_errmsg(db_.Handle());
}

bool HistoryReader::ResolveNames(const HistoryFilter &filter, std::optional<std::int64_t> &world,
                                 std::optional<std::int64_t> &person) {
    Statement find(db_, "SELECT id FROM names WHERE name = ?");
    const auto resolve = [&](const std::string &name, std::optional<std::int64_t> &id) {
        if (name.empty())
            return true;
        find.Bind(1, name);
        const bool found = find.Step() == SQLITE_ROW;
        if (found)
            id = find.Int(0);
        find.Reset();
        return found;
    };
    return resolve(filter.world, world) && resolve(filter.person, person);
}

bool HistoryReader::NumbersInTime(std::optional<std::int64_t> from, std::optional<std::int64_t> to, std::int64_t &first,
                                  std::int64_t &end, std::string &error) {
    error.clear();
    Statement s(db_, kTimeBlocksQuery);
    s.Bind(1, from.value_or(std::numeric_limits<std::int64_t>::min()));
    s.Bind(2, to.value_or(std::numeric_limits<std::int64_t>::max()));
    if (const int code = s.Step(); code != SQLITE_ROW) {
        error = ReadError(code, "The history cannot be read");
        return false;
    }
    if (s.IsNull(0))
        return false; // no line in that time
    first = s.Int(0) << kTimeBlockShift;
    end = (s.Int(1) + 1) << kTimeBlockShift;
    return true;
}

bool HistoryReader::Query(std::string_view query, const HistoryFilter &filter, bool newestFirst, int limit,
                          std::optional<std::int64_t> beforeId, const std::function<bool(const HistoryLine &)> &line,
                          std::string &error) {
    if (!db_.IsOpen()) {
        error = "The history is not open.";
        return false;
    }
    const FtsQuery fts = MakeFtsQuery(query);
    if (fts.expression.empty() && query.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        error = "There is nothing to search for: type words, \"a phrase\" or the start of a word followed by *.";
        return false;
    }
    std::optional<std::int64_t> world, person;
    if (!ResolveNames(filter, world, person))
        return true; // a name never seen: nothing matches
    std::int64_t first = std::numeric_limits<std::int64_t>::min();
    std::int64_t end = beforeId.value_or(std::numeric_limits<std::int64_t>::max());
    if (filter.from || filter.to) {
        std::int64_t blockFirst = 0, blockEnd = 0;
        if (!NumbersInTime(filter.from, filter.to, blockFirst, blockEnd, error))
            return error.empty();
        first = blockFirst;
        end = std::min(end, blockEnd);
    }
    Statement s(db_, FilteredLinesQuery(!fts.expression.empty(), newestFirst));
    if (!s.Ok()) {
        error = "The history cannot be searched: " + std::string(sqlite3_errmsg(db_.Handle()));
        return false;
    }
    if (!fts.expression.empty())
        s.Bind(1, fts.expression);
    BindOptional(s, 2, world);
    BindOptional(s, 3, person);
    BindOptional(s, 4, filter.kind ? std::optional<std::int64_t>(static_cast<int>(*filter.kind)) : std::nullopt);
    BindOptional(s, 5, filter.from);
    BindOptional(s, 6, filter.to);
    s.Bind(7, end);
    s.Bind(8, static_cast<std::int64_t>(limit < 0 ? -1 : limit));
    s.Bind(9, first);
    int code = SQLITE_ROW;
    while ((code = s.Step()) == SQLITE_ROW) {
        if (!line(ReadLine(s)))
            return true;
    }
    if (code != SQLITE_DONE) {
        error = ReadError(code, "The history cannot be searched");
        return false;
    }
    return true;
}

HistoryResult HistoryReader::Search(std::string_view query, const HistoryFilter &filter, int limit,
                                    std::optional<std::int64_t> beforeId) {
    HistoryResult result;
    limit = std::clamp(limit, 0, kMaxLimit);
    stopped_ = false;
    result.ok = Query(
        query, filter, true, limit, beforeId,
        [&](const HistoryLine &line) {
            result.lines.push_back(line);
            return true;
        },
        result.error);
    result.stopped = !result.ok && stopped_;
    return result;
}

bool HistoryReader::ForEach(std::string_view query, const HistoryFilter &filter,
                            const std::function<bool(const HistoryLine &)> &line, std::string &error) {
    return Query(query, filter, false, -1, std::nullopt, line, error);
}

HistoryResult HistoryReader::Around(std::int64_t id, int before, int after) {
    HistoryResult result;
    before = std::clamp(before, 0, kMaxLimit);
    after = std::clamp(after, 0, kMaxLimit);
    const std::string head = LineSelect();
    Statement older(db_, head + "WHERE l.id < ? ORDER BY l.id DESC LIMIT ?");
    older.Bind(1, id).Bind(2, before);
    while (older.Step() == SQLITE_ROW)
        result.lines.push_back(ReadLine(older));
    std::reverse(result.lines.begin(), result.lines.end());
    Statement newer(db_, head + "WHERE l.id >= ? ORDER BY l.id LIMIT ?");
    newer.Bind(1, id).Bind(2, after + 1);
    int code = SQLITE_ROW;
    while ((code = newer.Step()) == SQLITE_ROW)
        result.lines.push_back(ReadLine(newer));
    if (code != SQLITE_DONE) {
        result.ok = false;
        result.error = "The history cannot be read: " + std::string(sqlite3_errmsg(db_.Handle()));
    }
    return result;
}

HistoryResult HistoryReader::Range(std::int64_t first, int count) {
    HistoryResult result;
    count = std::clamp(count, 0, kMaxLimit);
    Statement s(db_, LineSelect() + "WHERE l.id >= ? AND l.id < ? ORDER BY l.id");
    s.Bind(1, first).Bind(2, first + count);
    int code = SQLITE_ROW;
    while ((code = s.Step()) == SQLITE_ROW)
        result.lines.push_back(ReadLine(s));
    if (code != SQLITE_DONE) {
        result.ok = false;
        result.error = "The history cannot be read: " + std::string(sqlite3_errmsg(db_.Handle()));
    }
    return result;
}

bool HistoryReader::ListDeleted(std::int64_t from, std::int64_t to, std::int64_t first, std::int64_t end,
                               std::vector<DeletedLines> &deleted) {
    // Read inside the deleting transaction, which holds the write lock: what is listed is exactly what goes.
    Statement s(db_, "SELECT id FROM lines WHERE id >= ?3 AND id < ?4 AND time >= ?1 AND time < ?2 ORDER BY id");
    s.Bind(1, from).Bind(2, to).Bind(3, first).Bind(4, end);
    int code = SQLITE_ROW;
    while ((code = s.Step()) == SQLITE_ROW) {
        const std::int64_t id = s.Int(0);
        if (!deleted.empty() && (deleted.back().last + 1 == id || deleted.size() == kMaxDeletedRanges))
            deleted.back().last = id;
        else
            deleted.push_back({id, id});
    }
    return code == SQLITE_DONE;
}

bool HistoryReader::Delete(std::int64_t from, std::int64_t to, std::string &error, std::vector<DeletedLines> *deleted) {
    if (!db_.IsOpen()) {
        error = "The history is not open.";
        return false;
    }
    // The full-text index forgets the lines through its trigger, in the same transaction.
    Transaction t(db_);
    bool ok = t.Ok();
    std::int64_t first = 0, end = 0;
    std::string blocksError;
    if (deleted)
        deleted->clear();
    if (ok && NumbersInTime(from, to, first, end, blocksError)) {
        if (deleted)
            ok = ListDeleted(from, to, first, end, *deleted);
        Statement lines(db_, kDeleteLinesQuery);
        lines.Bind(1, from).Bind(2, to).Bind(3, first).Bind(4, end);
        Statement blocks(db_, kDeleteTimeBlocksQuery);
        blocks.Bind(1, from).Bind(2, to);
        ok = (ok && lines.Run() && blocks.Run()) || db_.Fail("deleting");
    } else if (!blocksError.empty()) {
        ok = db_.Fail("deleting");
    }
    if (ok) {
        Statement visits(db_, "DELETE FROM visits WHERE arrival >= ? AND arrival < ?");
        visits.Bind(1, from).Bind(2, to);
        ok = visits.Run() || db_.Fail("deleting");
    }
    if (ok) {
        Statement automatic(db_, "DELETE FROM automatic WHERE time >= ? AND time < ?");
        automatic.Bind(1, from).Bind(2, to);
        ok = automatic.Run() || db_.Fail("deleting");
    }
    if (ok && t.Commit())
        return true;
    error = "The history could not be deleted: " + db_.LastError();
    return false;
}

std::vector<AutomaticRecord> HistoryReader::Automatic(int limit) {
    std::vector<AutomaticRecord> records;
    if (!db_.IsOpen())
        return records;
    Statement s(db_, "SELECT a.time, w.name, n.name, a.action, a.target, a.text, a.result FROM automatic a "
                     "JOIN names w ON w.id = a.world JOIN names n ON n.id = a.source ORDER BY a.id DESC LIMIT ?");
    s.Bind(1, std::clamp(limit, 0, kMaxLimit));
    while (s.Step() == SQLITE_ROW) {
        records.push_back({s.Int(0), std::string(s.Text(1)), std::string(s.Text(2)), std::string(s.Text(3)),
                           std::string(s.Text(4)), std::string(s.Text(5)), static_cast<int>(s.Int(6))});
    }
    return records;
}

bool HistoryReader::DeleteAll(std::string &error, std::vector<DeletedLines> *deleted) {
    return Delete(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(), error, deleted);
}

void HistoryReader::ReleaseMemory() {
    if (db_.IsOpen())
        sqlite3_db_release_memory(db_.Handle());
}

std::vector<VisitorSummary> HistoryReader::Visitors(const HistoryFilter &filter, std::int64_t now) {
    std::vector<VisitorSummary> out;
    std::optional<std::int64_t> world, person;
    if (!db_.IsOpen() || !ResolveNames(filter, world, person))
        return out;
    const std::int64_t from = filter.from.value_or(std::numeric_limits<std::int64_t>::min());
    const std::int64_t to = filter.to.value_or(std::numeric_limits<std::int64_t>::max());
    Statement s(db_, "SELECT n.name, (SELECT v2.citizen FROM visits v2 WHERE v2.name = v.name AND v2.citizen IS NOT "
                     "NULL ORDER BY v2.arrival DESC LIMIT 1), count(*), min(v.arrival), "
                     "max(coalesce(v.departure, v.arrival)), "
                     "sum(max(0, min(coalesce(v.departure, ?1), ?3) - max(v.arrival, ?2))) "
                     "FROM visits v JOIN names n ON n.id = v.name "
                     "WHERE v.arrival < ?3 AND coalesce(v.departure, ?1) >= ?2 AND (?4 IS NULL OR v.world = ?4) "
                     "AND (?5 IS NULL OR v.name = ?5) GROUP BY v.name ORDER BY n.name COLLATE NOCASE");
    s.Bind(1, now).Bind(2, from).Bind(3, to);
    BindOptional(s, 4, world);
    BindOptional(s, 5, person);
    while (s.Step() == SQLITE_ROW) {
        VisitorSummary v;
        v.name = s.Text(0);
        if (!s.IsNull(1))
            v.citizen = static_cast<int>(s.Int(1));
        v.visits = static_cast<int>(s.Int(2));
        v.firstSeen = s.Int(3);
        v.lastSeen = s.Int(4);
        v.totalMs = s.Int(5);
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<PresenceBucket> HistoryReader::Presence(const HistoryFilter &filter, std::int64_t bucketMs,
                                                    std::int64_t now) {
    std::vector<PresenceBucket> out;
    if (!filter.from || !filter.to || bucketMs <= 0 || *filter.to <= *filter.from)
        return out;
    const std::int64_t from = *filter.from, to = *filter.to;
    const std::int64_t buckets = (to - from + bucketMs - 1) / bucketMs;
    if (buckets > kMaxLimit)
        return out;
    for (std::int64_t i = 0; i < buckets; ++i)
        out.push_back({from + i * bucketMs, 0});
    std::optional<std::int64_t> world, person;
    if (!db_.IsOpen() || !ResolveNames(filter, world, person))
        return out;
    std::vector<std::unordered_set<std::int64_t>> seen(static_cast<std::size_t>(buckets));
    // A visit covers [arrival, departure): who left at 11:00 was not there at 11:00. A visit of no length still
    // counts where it happened.
    Statement s(db_, "SELECT name, arrival, coalesce(departure, ?1) FROM visits WHERE arrival < ?3 AND "
                     "(coalesce(departure, ?1) > ?2 OR arrival >= ?2) AND (?4 IS NULL OR world = ?4) AND "
                     "(?5 IS NULL OR name = ?5)");
    s.Bind(1, now).Bind(2, from).Bind(3, to);
    BindOptional(s, 4, world);
    BindOptional(s, 5, person);
    while (s.Step() == SQLITE_ROW) {
        const std::int64_t first = (std::max(s.Int(1), from) - from) / bucketMs;
        const std::int64_t end = std::max(s.Int(2) - 1, s.Int(1));
        const std::int64_t last = (std::min(end, to - 1) - from) / bucketMs;
        for (std::int64_t b = std::max<std::int64_t>(first, 0); b <= last && b < buckets; ++b)
            seen[static_cast<std::size_t>(b)].insert(s.Int(0));
    }
    for (std::size_t b = 0; b < seen.size(); ++b)
        out[b].people = static_cast<int>(seen[b].size());
    return out;
}
