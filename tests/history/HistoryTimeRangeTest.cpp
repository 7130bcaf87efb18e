// Date ranges over the history: exact whatever the clock did, found without walking every line, and a store of the
// first version brought up to date when the writer opens it.

#include "TempDir.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "history/HistoryQueries.h"
#include "history/HistoryReader.h"
#include "history/HistorySchema.h"
#include "history/HistoryWriter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kT0 = 1'780'000'000'000;
constexpr std::int64_t kMinute = 60000;
constexpr int kLines = 3000; // three blocks of line numbers

// A minute a line, until the clock is set back fifteen hours at line 1800: the later lines repeat earlier times.
std::int64_t TimeOf(int i) { return kT0 + (i < 1800 ? i : i - 900) * kMinute; }
bool HarbourLine(int i) { return i % 7 == 0; }
std::string TextOf(int i) { return HarbourLine(i) ? "line at the harbour" : "line"; }

struct Range {
    const char *name;
    std::optional<std::int64_t> from, to;
};

const Range kRanges[] = {
    {"only a start", kT0 + 1000 * kMinute, std::nullopt},
    {"only an end", std::nullopt, kT0 + 500 * kMinute},
    {"inside one block", kT0 + 1100 * kMinute, kT0 + 1200 * kMinute},
    {"where the clock went back", kT0 + 950 * kMinute, kT0 + 1000 * kMinute},
    {"across every block", kT0 + 10 * kMinute, kT0 + 2050 * kMinute},
    {"before every line", kT0 - 100 * kMinute, kT0},
    {"after every line", kT0 + 2100 * kMinute, std::nullopt},
    {"empty", kT0 + 40 * kMinute, kT0 + 40 * kMinute},
};

bool Inside(const Range &r, std::int64_t time) { return (!r.from || time >= *r.from) && (!r.to || time < *r.to); }

HistoryFilter FilterOf(const Range &r) {
    HistoryFilter f;
    f.from = r.from;
    f.to = r.to;
    return f;
}

std::vector<std::int64_t> Ids(const HistoryResult &r) {
    std::vector<std::int64_t> ids;
    for (const HistoryLine &line : r.lines)
        ids.push_back(line.id);
    return ids;
}

class HistoryTimeRange : public testing::Test {
protected:
    // The lines numbered from 0, written through the real writer in several batches.
    void WriteLines() {
        HistoryWriter writer;
        writer.Start(
            dir_.Path(), [this](const std::string &p) { problems_.push_back(p); }, [] { return kT0; });
        for (int i = 0; i < kLines; ++i) {
            writer.Append(TimeOf(i), "Town", "Ann", 7, LineKind::Chat, 0, false, false, false, TextOf(i));
            if (i % 700 == 0)
                writer.Flush();
        }
        writer.Stop();
        ASSERT_TRUE(problems_.empty()) << problems_.front();
    }

    // Every way a range is read gives exactly the lines whose time is inside it, of those in present.
    void ExpectRangesExact(const std::vector<bool> &present) {
        HistoryReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(dir_.Path(), false, error)) << error;
        for (const Range &r : kRanges) {
            std::vector<std::int64_t> all, harbour;
            for (int i = 0; i < kLines; ++i) {
                if (present[static_cast<std::size_t>(i)] && Inside(r, TimeOf(i))) {
                    all.push_back(i);
                    if (HarbourLine(i))
                        harbour.push_back(i);
                }
            }
            std::vector<std::int64_t> exported;
            ASSERT_TRUE(reader.ForEach(
                "", FilterOf(r), [&](const HistoryLine &line) { return exported.push_back(line.id), true; }, error))
                << error;
            EXPECT_EQ(exported, all) << r.name << ": export";
            std::reverse(all.begin(), all.end());
            std::reverse(harbour.begin(), harbour.end());
            EXPECT_EQ(Ids(reader.Search("", FilterOf(r), HistoryReader::kMaxLimit)), all) << r.name << ": all lines";
            EXPECT_EQ(Ids(reader.Search("harbour", FilterOf(r), HistoryReader::kMaxLimit)), harbour)
                << r.name << ": words";
            // The next page starts below the last result shown.
            if (harbour.size() > 3) {
                const HistoryResult page = reader.Search("harbour", FilterOf(r), 3, harbour[2]);
                EXPECT_EQ(Ids(page), std::vector<std::int64_t>(harbour.begin() + 3, harbour.begin() + 6))
                    << r.name << ": next page";
            }
        }
    }

    TempDir dir_;
    std::vector<std::string> problems_;
};

TEST_F(HistoryTimeRange, RangesGiveExactlyTheLinesInsideThemWhateverTheClockDid) {
    WriteLines();
    ExpectRangesExact(std::vector<bool>(kLines, true));
}

TEST_F(HistoryTimeRange, DeletingARangeLeavesTheRestFoundByRangeAsBefore) {
    WriteLines();
    const Range deleted{"deleted", kT0 + 900 * kMinute, kT0 + 1300 * kMinute};
    {
        HistoryReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(dir_.Path(), true, error)) << error;
        ASSERT_TRUE(reader.Delete(*deleted.from, *deleted.to, error)) << error;
    }
    std::vector<bool> present(kLines);
    for (int i = 0; i < kLines; ++i)
        present[static_cast<std::size_t>(i)] = !Inside(deleted, TimeOf(i));
    ExpectRangesExact(present);
}

// The first version's tables as it created them, and lines it wrote (the same times as WriteLines).
constexpr const char *kVersionOneStore = R"(
PRAGMA journal_mode=WAL;
CREATE TABLE names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE);
CREATE TABLE runs(id INTEGER PRIMARY KEY, first_line INTEGER NOT NULL, started INTEGER NOT NULL,
    heartbeat INTEGER NOT NULL);
CREATE TABLE lines(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, world INTEGER NOT NULL, speaker INTEGER,
    session INTEGER, kind INTEGER NOT NULL, colour INTEGER NOT NULL, style INTEGER NOT NULL, text TEXT NOT NULL);
CREATE VIRTUAL TABLE lines_text USING fts5(text, content='lines', content_rowid='id',
    tokenize='unicode61 remove_diacritics 2', columnsize=0);
CREATE TRIGGER lines_text_delete AFTER DELETE ON lines BEGIN
    INSERT INTO lines_text(lines_text, rowid, text) VALUES('delete', old.id, old.text);
END;
CREATE TABLE visits(id INTEGER PRIMARY KEY, run INTEGER NOT NULL, world INTEGER NOT NULL, name INTEGER NOT NULL,
    citizen INTEGER, session INTEGER NOT NULL, arrival INTEGER NOT NULL, departure INTEGER);
CREATE INDEX visits_name ON visits(name, arrival);
CREATE INDEX visits_arrival ON visits(arrival);
CREATE INDEX visits_open ON visits(world, session) WHERE departure IS NULL;
CREATE TABLE schema_version(version INTEGER NOT NULL);
INSERT INTO schema_version VALUES(1);
INSERT INTO names VALUES(1, 'Town'), (2, 'Ann');
INSERT INTO runs VALUES(1, 0, 1780000000000, 1780000000000);
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2999)
INSERT INTO lines SELECT i, 1780000000000 + (CASE WHEN i < 1800 THEN i ELSE i - 900 END) * 60000, 1, 2, 7, 0, 0, 0,
    CASE WHEN i % 7 = 0 THEN 'line at the harbour' ELSE 'line' END FROM n;
INSERT INTO lines_text(rowid, text) SELECT id, text FROM lines;
)";

TEST_F(HistoryTimeRange, AStoreOfTheFirstVersionIsBroughtUpToDateWhenTheWriterOpensIt) {
    {
        Database db;
        ASSERT_EQ(db.Open(dir_.File(kHistoryFileName)), SQLITE_OK);
        ASSERT_TRUE(db.Exec(kVersionOneStore)) << db.LastError();
    }
    HistoryReader early;
    std::string error;
    EXPECT_FALSE(early.Open(dir_.Path(), false, error)) << "a reader leaves an old store to the writer";
    HistoryWriter writer;
    writer.Start(
        dir_.Path(), [this](const std::string &p) { problems_.push_back(p); }, [] { return kT0; });
    writer.Stop();
    ASSERT_TRUE(problems_.empty()) << problems_.front();
    {
        Database db;
        ASSERT_EQ(db.Open(dir_.File(kHistoryFileName), Database::Mode::ReadOnly), SQLITE_OK);
        Statement version(db, "SELECT version FROM schema_version");
        ASSERT_EQ(version.Step(), SQLITE_ROW);
        EXPECT_EQ(version.Int(0), kHistorySchemaVersion);
    }
    ExpectRangesExact(std::vector<bool>(kLines, true));
}

// What SQLite plans to do for a statement, one step a line.
std::string Plan(Database &db, const std::string &sql) {
    Statement s(db, "EXPLAIN QUERY PLAN " + sql);
    std::string plan;
    while (s.Step() == SQLITE_ROW)
        plan += s.Text(3) + "\n";
    return plan.empty() ? "(no plan: " + std::string(sqlite3_errmsg(db.Handle())) + ")" : plan;
}

TEST_F(HistoryTimeRange, RangesReadOnlyTheLinesOfTheirBlocks) {
    WriteLines();
    Database db;
    ASSERT_EQ(db.Open(dir_.File(kHistoryFileName), Database::Mode::ReadOnly), SQLITE_OK);
    struct Case {
        const char *name;
        std::string sql;
        const char *step; // how the lines are reached
    };
    const Case cases[] = {
        {"export, oldest first", FilteredLinesQuery(false, false),
         "SEARCH l USING INTEGER PRIMARY KEY (rowid>? AND rowid<?)"},
        {"all lines, newest first", FilteredLinesQuery(false, true),
         "SEARCH l USING INTEGER PRIMARY KEY (rowid>? AND rowid<?)"},
        {"delete", kDeleteLinesQuery, "SEARCH lines USING INTEGER PRIMARY KEY (rowid>? AND rowid<?)"},
    };
    for (const Case &c : cases) {
        const std::string plan = Plan(db, c.sql);
        EXPECT_NE(plan.find(c.step), std::string::npos) << c.name << ":\n" << plan;
        EXPECT_EQ(plan.find("SCAN l"), std::string::npos) << c.name << ":\n" << plan;
    }
    // Words: the full-text index walks only the numbers of the range (its plan names both bounds).
    const std::string plan = Plan(db, FilteredLinesQuery(true, true));
    const auto index = plan.find("SCAN f VIRTUAL TABLE INDEX ");
    ASSERT_NE(index, std::string::npos) << plan;
    const std::string bounds = plan.substr(index, plan.find('\n', index) - index);
    EXPECT_NE(bounds.find('>'), std::string::npos) << plan;
    EXPECT_NE(bounds.find('<'), std::string::npos) << plan;
}

} // namespace
