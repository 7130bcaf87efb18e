// history.db on its own: the file, its version, what a line keeps, and the queries over it.

#include "TempDir.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "history/FtsQuery.h"
#include "history/HistoryReader.h"
#include "history/HistorySchema.h"
#include "history/HistoryWriter.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

constexpr std::int64_t kDay = 86400000;
constexpr std::int64_t kT0 = 1'780'000'000'000; // a fixed moment, 2026-05-28

HistoryFilter Filter(std::string world, std::string person = {}, std::optional<LineKind> kind = {},
                     std::optional<std::int64_t> from = {}, std::optional<std::int64_t> to = {}) {
    HistoryFilter f;
    f.world = std::move(world);
    f.person = std::move(person);
    f.kind = kind;
    f.from = from;
    f.to = to;
    return f;
}

struct Said {
    std::int64_t time;
    const char *world, *speaker;
    std::optional<int> session;
    LineKind kind;
    const char *text;
};

// A small store written through the real writer.
class HistoryStore : public testing::Test {
protected:
    void Write(std::initializer_list<Said> lines) {
        HistoryWriter writer;
        writer.Start(
            dir_.Path(), [this](const std::string &p) { problems_.push_back(p); }, [] { return kT0; });
        for (const Said &s : lines)
            writer.Append(s.time, s.world, s.speaker, s.session, s.kind, 0x123456, true, false, true, s.text);
        writer.Stop();
        ASSERT_TRUE(problems_.empty()) << problems_.front();
    }
    std::unique_ptr<HistoryReader> Reader() {
        auto reader = std::make_unique<HistoryReader>();
        std::string error;
        EXPECT_TRUE(reader->Open(dir_.Path(), false, error)) << error;
        return reader;
    }
    static std::vector<std::string> Texts(const HistoryResult &r) {
        std::vector<std::string> out;
        for (const auto &l : r.lines)
            out.push_back(l.text);
        return out;
    }
    void WriteTown() {
        Write({{kT0, "Town", "Ann", 7, LineKind::Chat, "hello there, general kenobi"},
               {kT0 + 1000, "Town", "Bob", 8, LineKind::Chat, "Hello again"},
               {kT0 + kDay, "Town", "Ann", 7, LineKind::Whisper, "meet me at the harbour"},
               {kT0 + kDay + 5, "Beach", "Cid", 9, LineKind::Chat, "the harbour is closed AND dark (really)"},
               {kT0 + 2 * kDay, "beach", "", std::nullopt, LineKind::Notice, "Dee enters"},
               {kT0 + 2 * kDay + 1, "Beach", "Bot", std::nullopt, LineKind::Own, "Café ouvert: harbourmaster"}});
    }

    TempDir dir_;
    std::vector<std::string> problems_;
};

TEST_F(HistoryStore, TheFileIsPrivateInWalModeWithItsVersion) {
    Write({{kT0, "Town", "Ann", 7, LineKind::Chat, "hi"}});
    struct stat st {};
    ASSERT_EQ(::stat(dir_.File(kHistoryFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    Database db;
    ASSERT_EQ(db.Open(dir_.File(kHistoryFileName), Database::Mode::ReadOnly), SQLITE_OK);
    Statement mode(db, "PRAGMA journal_mode");
    ASSERT_EQ(mode.Step(), SQLITE_ROW);
    EXPECT_EQ(mode.Text(0), "wal");
    Statement version(db, "SELECT version FROM schema_version");
    ASSERT_EQ(version.Step(), SQLITE_ROW);
    EXPECT_EQ(version.Int(0), kHistorySchemaVersion);
    Statement page(db, "PRAGMA page_size");
    ASSERT_EQ(page.Step(), SQLITE_ROW);
    EXPECT_EQ(page.Int(0), 8192);
}

TEST_F(HistoryStore, ANewerVersionOrAForeignFileIsRefusedAndLeftAsItIs) {
    Write({{kT0, "Town", "Ann", 7, LineKind::Chat, "hi"}});
    {
        Database db;
        ASSERT_EQ(db.Open(dir_.File(kHistoryFileName)), SQLITE_OK);
        ASSERT_TRUE(db.Exec("UPDATE schema_version SET version = 99"));
    }
    const auto before = std::filesystem::file_size(dir_.File(kHistoryFileName));
    HistoryWriter writer;
    writer.Start(dir_.Path(), [this](const std::string &p) { problems_.push_back(p); });
    writer.Append(kT0, "Town", "Ann", 7, LineKind::Chat, 0, false, false, false, "lost");
    writer.Stop();
    ASSERT_EQ(problems_.size(), 1u);
    EXPECT_NE(problems_[0].find("newer Gabbler"), std::string::npos) << problems_[0];
    EXPECT_EQ(std::filesystem::file_size(dir_.File(kHistoryFileName)), before);
    HistoryReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(dir_.Path(), false, error));
    EXPECT_NE(error.find("newer Gabbler"), std::string::npos) << error;
    Database db;
    ASSERT_EQ(db.Open(dir_.File(kHistoryFileName), Database::Mode::ReadOnly), SQLITE_OK);
    Statement version(db, "SELECT version FROM schema_version");
    ASSERT_EQ(version.Step(), SQLITE_ROW);
    EXPECT_EQ(version.Int(0), 99) << "never overwritten";

    TempDir other;
    {
        Database db2;
        ASSERT_EQ(db2.Open(other.File(kHistoryFileName)), SQLITE_OK);
        ASSERT_TRUE(db2.Exec("CREATE TABLE mine(x)"));
    }
    problems_.clear();
    HistoryWriter foreign;
    foreign.Start(other.Path(), [this](const std::string &p) { problems_.push_back(p); });
    foreign.Stop();
    ASSERT_EQ(problems_.size(), 1u);
    EXPECT_NE(problems_[0].find("not a Gabbler history"), std::string::npos) << problems_[0];
}

TEST_F(HistoryStore, ALineKeepsEveryAttribute) {
    Write({{kT0 + 1, "Town", "Ann", 7, LineKind::Whisper, "psst"},
           {kT0 + 2, "Town", "", std::nullopt, LineKind::Console, "console says"}});
    const HistoryResult r = Reader()->Search("", {}, 10);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.lines.size(), 2u);
    const HistoryLine &w = r.lines[1];
    EXPECT_EQ(w.time, kT0 + 1);
    EXPECT_EQ(w.world, "Town");
    EXPECT_EQ(w.speaker, "Ann");
    EXPECT_EQ(w.session, 7);
    EXPECT_EQ(w.kind, LineKind::Whisper);
    EXPECT_EQ(w.colour, 0x123456u);
    EXPECT_TRUE(w.bold);
    EXPECT_FALSE(w.italic);
    EXPECT_TRUE(w.underline);
    EXPECT_EQ(w.text, "psst");
    EXPECT_EQ(r.lines[0].speaker, "");
    EXPECT_EQ(r.lines[0].session, std::nullopt);
    EXPECT_EQ(r.lines[0].kind, LineKind::Console);
}

TEST_F(HistoryStore, SearchFindsWordsPhrasesAndPrefixesWithFiltersNewestFirst) {
    WriteTown();
    auto reader = Reader();
    struct Case {
        const char *query;
        HistoryFilter filter;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"hello", {}, {"Hello again", "hello there, general kenobi"}},
        {"HELLO there", {}, {"hello there, general kenobi"}},
        {"\"there general\"", {}, {"hello there, general kenobi"}},
        {"\"general there\"", {}, {}},
        {"harb*",
         {},
         {"Café ouvert: harbourmaster", "the harbour is closed AND dark (really)", "meet me at the harbour"}},
        {"harbour", {}, {"the harbour is closed AND dark (really)", "meet me at the harbour"}},
        {"cafe", {}, {"Café ouvert: harbourmaster"}},
        {"harbour", Filter("beach"), {"the harbour is closed AND dark (really)"}},
        {"harbour", Filter("", "ann"), {"meet me at the harbour"}},
        {"harbour", Filter("", "", LineKind::Whisper), {"meet me at the harbour"}},
        {"harb*", Filter("", "", {}, kT0 + kDay + 1, kT0 + 2 * kDay + 1), {"the harbour is closed AND dark (really)"}},
        {"hello", Filter("Nowhere"), {}},
        {"", Filter("Beach"), {"Café ouvert: harbourmaster", "Dee enters", "the harbour is closed AND dark (really)"}},
        // What the full-text syntax would read as operators is text here.
        {"closed AND", {}, {"the harbour is closed AND dark (really)"}},
        {"(really)", {}, {"the harbour is closed AND dark (really)"}},
        {"OR", {}, {}},
        {"NEAR(hello", {}, {}},
        {"ouvert:", {}, {"Café ouvert: harbourmaster"}},
        {"\"unclosed harbour", {}, {}},
        {"\"the harbour", {}, {"the harbour is closed AND dark (really)", "meet me at the harbour"}},
    };
    for (const Case &c : cases) {
        const HistoryResult r = reader->Search(c.query, c.filter, 100);
        EXPECT_TRUE(r.ok) << c.query << ": " << r.error;
        EXPECT_EQ(Texts(r), c.texts) << c.query;
    }
    EXPECT_EQ(Texts(reader->Search("harb*", {}, 1)), std::vector<std::string>{"Café ouvert: harbourmaster"});
    const HistoryResult first = reader->Search("harb*", {}, 1);
    EXPECT_EQ(Texts(reader->Search("harb*", {}, 1, first.lines[0].id)),
              std::vector<std::string>{"the harbour is closed AND dark (really)"})
        << "the next page";
}

TEST_F(HistoryStore, AQueryWithNothingToSearchForSaysSoInItsOwnWords) {
    WriteTown();
    auto reader = Reader();
    for (const char *query : {"*", "\"\"", "-", "()", ":^", "\x1b[;"}) {
        const HistoryResult r = reader->Search(query, {}, 10);
        EXPECT_FALSE(r.ok) << query;
        EXPECT_TRUE(r.lines.empty());
        EXPECT_NE(r.error.find("nothing to search for"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find("fts5"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find("syntax"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find('\x1b'), std::string::npos) << "the message does not echo control characters";
    }
}

TEST(FtsQuery, QuotesEveryTerm) {
    const std::pair<const char *, const char *> cases[] = {
        {"hello", "\"hello\""},
        {"a AND b", "\"a\" \"AND\" \"b\""},
        {"harb*", "\"harb\"*"},
        {"\"two words\"*", "\"two words\"*"},
        {"x\"y", "\"x\" \"y\""},
        {std::string_view("a\0b", 3).data(), "\"a\""}, // the C string ends at the NUL
        {"  ", ""},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(MakeFtsQuery(in).expression, out) << in;
    EXPECT_EQ(MakeFtsQuery(std::string_view("a\0b", 3)).expression, "\"a\" \"b\"") << "a NUL separates words";
}

TEST_F(HistoryStore, TheLinesAroundAResultAndARangeByNumber) {
    WriteTown();
    auto reader = Reader();
    const HistoryResult meet = reader->Search("meet", {}, 10);
    ASSERT_EQ(meet.lines.size(), 1u);
    EXPECT_EQ(Texts(reader->Around(meet.lines[0].id, 1, 2)),
              (std::vector<std::string>{"Hello again", "meet me at the harbour",
                                        "the harbour is closed AND dark (really)", "Dee enters"}));
    const HistoryResult all = reader->Search("", {}, 100);
    const std::int64_t first = all.lines.back().id;
    EXPECT_EQ(Texts(reader->Range(first + 4, 10)),
              (std::vector<std::string>{"Dee enters", "Café ouvert: harbourmaster"}));
    EXPECT_EQ(Texts(reader->Range(first, 1)), std::vector<std::string>{"hello there, general kenobi"});
    EXPECT_TRUE(reader->Range(first + 6, 5).lines.empty());
}

TEST_F(HistoryStore, LinesOfALaterRunNumberOnFromTheEarlierOnes) {
    Write({{kT0, "Town", "Ann", 7, LineKind::Chat, "one"}, {kT0, "Town", "Ann", 7, LineKind::Chat, "two"}});
    HistoryWriter writer;
    writer.Start(dir_.Path(), {}, [] { return kT0; });
    EXPECT_EQ(writer.FirstLineNumber(), 2);
    EXPECT_EQ(writer.Append(kT0, "Town", "Ann", 7, LineKind::Chat, 0, false, false, false, "three"), 2);
    writer.Stop();
    EXPECT_EQ(Texts(Reader()->Range(0, 10)), (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(HistoryStore, DeletingARangeOrEverything) {
    WriteTown();
    {
        auto reader = std::make_unique<HistoryReader>();
        std::string error;
        ASSERT_TRUE(reader->Open(dir_.Path(), true, error)) << error;
        ASSERT_TRUE(reader->Delete(kT0 + kDay, kT0 + 2 * kDay, error)) << error;
        EXPECT_EQ(Texts(reader->Search("harbour", {}, 10)), std::vector<std::string>{})
            << "the index forgets deleted lines";
        EXPECT_EQ(reader->Search("", {}, 10).lines.size(), 4u);
        ASSERT_TRUE(reader->DeleteAll(error)) << error;
        EXPECT_TRUE(reader->Search("", {}, 10).lines.empty());
        EXPECT_TRUE(reader->Search("hello", {}, 10).lines.empty());
    }
    Database db;
    ASSERT_EQ(db.Open(dir_.File(kHistoryFileName)), SQLITE_OK);
    Statement check(db, "INSERT INTO lines_text(lines_text, rank) VALUES('integrity-check', 1)");
    EXPECT_TRUE(check.Run()) << sqlite3_errmsg(db.Handle());
    auto readOnly = Reader();
    std::string error;
    EXPECT_FALSE(readOnly->DeleteAll(error)) << "a reader opened for reading changes nothing";
}

TEST(HistoryReaderOpen, AMissingStoreSaysSoAndCreatesNothing) {
    TempDir dir;
    HistoryReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(dir.Path(), false, error));
    EXPECT_NE(error.find("no history"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.File(kHistoryFileName)));
}

} // namespace

namespace {

TEST_F(HistoryStore, AVersion2StoreKeepsItsLinesAndRecordsWhatTheBotDidByItself) {
    WriteTown();
    {
        // Back to the file as the previous version left it.
        Database db;
        ASSERT_EQ(db.Open(dir_.File(kHistoryFileName), Database::Mode::ReadWriteOwner), SQLITE_OK);
        ASSERT_TRUE(db.Exec("DROP TABLE automatic; UPDATE schema_version SET version = 2"));
    }
    HistoryWriter writer;
    writer.Start(
        dir_.Path(), [this](const std::string &p) { problems_.push_back(p); }, [] { return kT0; });
    writer.RecordAutomatic(kT0 + 10, "Town", "rule Greeter", "whisper", "Ann", "Welcome to Town, Ann!", 0);
    writer.RecordAutomatic(kT0 + 20, "Town", "script order.lua", "eject", "Bob\nsly", "5 minutes", 32);
    writer.Stop();
    ASSERT_TRUE(problems_.empty()) << problems_.front();

    const auto reader = Reader();
    EXPECT_EQ(Texts(reader->Search("harbour", {}, 10)).size(), 2u) << "the older lines are kept";
    const std::vector<AutomaticRecord> done = reader->Automatic(10);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].source, "script order.lua");
    EXPECT_EQ(done[0].action, "eject");
    EXPECT_EQ(done[0].target, "Bob sly");
    EXPECT_EQ(done[0].result, 32);
    EXPECT_EQ(done[1].time, kT0 + 10);
    EXPECT_EQ(done[1].world, "Town");
    EXPECT_EQ(done[1].source, "rule Greeter");
    EXPECT_EQ(done[1].target, "Ann");
    EXPECT_EQ(done[1].text, "Welcome to Town, Ann!");

    HistoryReader changes;
    std::string error;
    ASSERT_TRUE(changes.Open(dir_.Path(), true, error)) << error;
    ASSERT_TRUE(changes.Delete(kT0, kT0 + 15, error)) << error;
    EXPECT_EQ(changes.Automatic(10).size(), 1u) << "deleting a time range deletes what the bot did in it";
}

} // namespace
