#include "history/HistoryQueries.h"

namespace {

constexpr const char *kColumns = "SELECT l.id, l.time, w.name, s.name, l.session, l.kind, l.colour, l.style, l.text ";
constexpr const char *kNames = "LEFT JOIN names w ON w.id = l.world LEFT JOIN names s ON s.id = l.speaker ";
constexpr const char *kFilters = "(?2 IS NULL OR l.world = ?2) AND (?3 IS NULL OR l.speaker = ?3) AND "
                                 "(?4 IS NULL OR l.kind = ?4) AND (?5 IS NULL OR l.time >= ?5) AND "
                                 "(?6 IS NULL OR l.time < ?6) ";

} // namespace

const char *const kTimeBlocksQuery = "SELECT min(block), max(block) FROM time_blocks WHERE latest >= ?1 AND "
                                     "earliest < ?2";
const char *const kDeleteLinesQuery = "DELETE FROM lines WHERE id >= ?3 AND id < ?4 AND time >= ?1 AND time < ?2";
const char *const kDeleteTimeBlocksQuery = "DELETE FROM time_blocks WHERE earliest >= ?1 AND latest < ?2";

std::string LineSelect() { return std::string(kColumns) + "FROM lines l " + kNames; }

std::string FilteredLinesQuery(bool fullText, bool newestFirst) {
    const std::string order = newestFirst ? " DESC" : " ASC";
    // The numbers bound the walk of whichever table leads: a date range or the next page starts and ends there.
    if (!fullText)
        return LineSelect() + "WHERE l.id >= ?9 AND l.id < ?7 AND " + kFilters + "ORDER BY l.id" + order + " LIMIT ?8";
    // The full-text table leads, so its matches come in number order and the limit stops the walk early.
    return std::string(kColumns) + "FROM lines_text f CROSS JOIN lines l ON l.id = f.rowid " + kNames +
           "WHERE lines_text MATCH ?1 AND f.rowid >= ?9 AND f.rowid < ?7 AND " + kFilters + "ORDER BY f.rowid" + order +
           " LIMIT ?8";
}
