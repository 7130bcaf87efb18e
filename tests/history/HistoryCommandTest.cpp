// "gabbler history ..." run as a user runs it: the real executable over a store written by the real writer, while
// that writer still runs.

#include "TempDir.h"
#include "history/HistoryWriter.h"
#include "history/cli/HistoryExport.h"
#include "history/cli/UtcTime.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sys/wait.h>

namespace {

constexpr std::int64_t kMidnight = 1'780'012'800'000; // 2026-05-29 00:00:00 UTC
constexpr std::int64_t kHour = 3600000;

struct Outcome {
    int status = -1;
    std::string out;
};

// The program with these arguments (each quoted for the shell); its standard output and exit status.
Outcome Gabbler(const std::vector<std::string> &args) {
    std::string command = "'" GABBLER_EXECUTABLE "'";
    for (const std::string &a : args) {
        command += " '";
        for (const char c : a)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    command += " 2>&1";
    Outcome run;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buffer;
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::set<std::string> Files(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

class HistoryCommand : public testing::Test {
protected:
    void SetUp() override {
        writer_.Start(dir_.Path(), {}, [] { return kMidnight + 5 * kHour; });
        const auto add = [&](std::int64_t t, const char *world, const char *who, LineKind kind, std::uint32_t colour,
                             bool bold, const std::string &text) {
            writer_.Append(t, world, who, 1, kind, colour, bold, false, false, text);
        };
        add(kMidnight + 1000, "Town", "Ann", LineKind::Chat, 0x000000, false, "hello, \"world\"");
        add(kMidnight + kHour, "Town", "Bob", LineKind::Whisper, 0xff0000, true, "hello {secret} \\ plan");
        add(kMidnight + 25 * kHour, "Beach", "Cid", LineKind::Chat, 0x0000ff, false, "hello\x1b[31m red\ttab");
        add(kMidnight + 26 * kHour, "Beach", "Cid", LineKind::Chat, 0x0000ff, false, "goodbye");
        writer_.Arrive(kMidnight, "Town", "Ann", 5, 1);
        writer_.Leave(kMidnight + kHour / 2, "Town", 1);
        writer_.Arrive(kMidnight + kHour, "Beach", "Cid", std::nullopt, 2);
        writer_.Leave(kMidnight + 2 * kHour, "Beach", 2);
        writer_.Flush(); // committed, and the writer goes on running while the commands read
    }

    TempDir dir_;
    HistoryWriter writer_;
};

TEST_F(HistoryCommand, SearchPrintsOneResultALineNewestFirst) {
    const Outcome run = Gabbler({"history", "search", "hello", "--home", dir_.Path()});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "2026-05-30 01:00:00\tBeach\tCid\thello [31m red tab\n"
                       "2026-05-29 01:00:00\tTown\tBob\thello {secret} \\ plan\n"
                       "2026-05-29 00:00:01\tTown\tAnn\thello, \"world\"\n")
        << "no control character reaches the terminal";
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const Case cases[] = {
        {{"--world", "town", "--limit", "1"}, "2026-05-29 01:00:00\tTown\tBob\thello {secret} \\ plan"},
        {{"--from", "2026-05-30"}, "2026-05-30 01:00:00\tBeach\tCid\thello [31m red tab"},
        {{"--to", "2026-05-29", "--kind", "chat"}, "2026-05-29 00:00:01\tTown\tAnn\thello, \"world\""},
        {{"--from=2026-05-29 00:30", "--to=2026-05-29 01:30"},
         "2026-05-29 01:00:00\tTown\tBob\thello {secret} \\ plan"},
        {{"--person", "nobody"}, ""},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--home", dir_.Path(), "history", "search", "hello"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = Gabbler(args);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.firstLine) << c.args[0];
    }
    EXPECT_EQ(Files(dir_.Path()), (std::set<std::string>{"history.db", "history.db-shm", "history.db-wal"}))
        << "reading takes no lock and writes no settings";
}

TEST_F(HistoryCommand, ExportWritesTheMatchingLinesAsTextCsvOrRtf) {
    const Outcome txt = Gabbler({"history", "export", "--format", "txt", "--world", "beach", "--home", dir_.Path()});
    EXPECT_EQ(txt.status, 0) << txt.out;
    EXPECT_EQ(txt.out, "2026-05-30 01:00:00\tBeach\tCid\thello [31m red tab\n"
                       "2026-05-30 02:00:00\tBeach\tCid\tgoodbye\n")
        << "oldest first";
    const Outcome csv =
        Gabbler({"history", "export", "--format", "csv", "hello", "--to", "2026-05-29", "--home", dir_.Path()});
    EXPECT_EQ(csv.status, 0) << csv.out;
    EXPECT_EQ(csv.out, "time,world,speaker,session,kind,colour,bold,italic,underline,text\r\n"
                       "2026-05-29 00:00:01,Town,Ann,1,chat,#000000,0,0,0,\"hello, \"\"world\"\"\"\r\n"
                       "2026-05-29 01:00:00,Town,Bob,1,whisper,#ff0000,1,0,0,hello {secret} \\ plan\r\n");
    const Outcome rtf = Gabbler({"history", "export", "--format=rtf", "--person", "bob", "--home", dir_.Path()});
    EXPECT_EQ(rtf.status, 0) << rtf.out;
    EXPECT_EQ(rtf.out, "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"
                       "{\\colortbl ;\\red255\\green0\\blue0;}\n\\f0\\fs20\n"
                       "\\cf1\\b\\i0\\ulnone 2026-05-29 01:00:00  Town  Bob  hello \\{secret\\} \\\\ plan\\par\n}\n")
        << "braces and backslashes from a stranger cannot add control words";
}

TEST_F(HistoryCommand, VisitorsAsTextOrCsv) {
    const Outcome txt = Gabbler({"history", "visitors", "--home", dir_.Path()});
    EXPECT_EQ(txt.status, 0) << txt.out;
    EXPECT_EQ(txt.out, "name\tcitizen\tvisits\tfirst seen\tlast seen\ttotal time\n"
                       "Ann\t5\t1\t2026-05-29 00:00:00\t2026-05-29 00:30:00\t0:30:00\n"
                       "Cid\t-\t1\t2026-05-29 01:00:00\t2026-05-29 02:00:00\t1:00:00\n");
    const Outcome csv = Gabbler({"history", "visitors", "--world", "Beach", "--format", "csv", "--home", dir_.Path()});
    EXPECT_EQ(csv.status, 0) << csv.out;
    EXPECT_EQ(csv.out, "name,citizen,visits,first_seen,last_seen,total_seconds\r\n"
                       "Cid,,1,2026-05-29 01:00:00,2026-05-29 02:00:00,3600\r\n");
}

TEST_F(HistoryCommand, MistakesAreNamedAndNothingIsCreated) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    TempDir empty;
    const Case cases[] = {
        {{"history", "search", "hello", "--from", "2026-02-30"}, 2, "is not a date"},
        {{"history", "search", "hello", "--limit", "0"}, 2, "--limit takes a number"},
        {{"history", "search", "hello", "--colour", "red"}, 2, "unknown option --colour"},
        {{"history", "search", "hello", "--kind", "shout"}, 2, "unknown kind"},
        {{"history", "search"}, 2, "search needs a query"},
        {{"history", "export", "--format", "doc"}, 2, "--format txt, csv or rtf"},
        {{"history", "frobnicate"}, 2, "usage: gabbler history search"},
        {{"history", "search", "\"\"", "--home", dir_.Path()}, 1, "nothing to search for"},
        {{"history", "search", "NEAR(", "--home", dir_.Path()}, 0, ""},
        {{"history", "search", "hello", "--home", empty.Path()}, 1, "There is no history in"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = c.args;
        if (std::find(args.begin(), args.end(), "--home") == args.end()) {
            args.push_back("--home");
            args.push_back(dir_.Path());
        }
        const Outcome r = Gabbler(args);
        EXPECT_EQ(r.status, c.status) << args[1] << " " << args.back() << ": " << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("fts5"), std::string::npos) << r.out;
    }
    EXPECT_TRUE(Files(empty.Path()).empty());
}

TEST(HistoryExport, CsvCellsStayTextInASpreadsheet) {
    const std::pair<const char *, const char *> cases[] = {
        {"hello", "hello"},
        {"a, b", "\"a, b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {" lead", "\" lead\""},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1", "\"'+1\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"", ""},
    };
    for (const auto &[text, cell] : cases)
        EXPECT_EQ(CsvField(text), cell) << text;
}

TEST(UtcTime, DatesAreReadAndWrittenInUtc) {
    struct Case {
        const char *text;
        bool endOfDay;
        std::optional<std::int64_t> ms;
    };
    const Case cases[] = {
        {"1970-01-01", false, 0},
        {"2026-05-29", false, kMidnight},
        {"2026-05-29", true, kMidnight + 24 * kHour},
        {"2026-05-29 01:02", true, kMidnight + kHour + 120000},
        {"2026-05-29T01:02:03", false, kMidnight + kHour + 123000},
        {"2024-02-29", false, 1709164800000},
        {"2023-02-29", false, std::nullopt},
        {"2026-13-01", false, std::nullopt},
        {"2026-05-29 24:00", false, std::nullopt},
        {"2026-05-29 01:02:", false, std::nullopt},
        {"yesterday", false, std::nullopt},
        {"", false, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseUtc(c.text, c.endOfDay), c.ms) << c.text;
    EXPECT_EQ(FormatUtc(kMidnight + 25 * kHour + 61500), "2026-05-30 01:01:01");
    EXPECT_EQ(FormatUtc(-1000), "1969-12-31 23:59:59");
    EXPECT_EQ(FormatDuration(30 * kHour + 5000), "30:00:05");
    EXPECT_EQ(PrintableText("a\x1b[0m\r\nb\xc2\x9b"
                            "c\xc3\xa9"),
              "a [0m  b c\xc3\xa9");
}

} // namespace
