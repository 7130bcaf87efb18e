// The Search History and Visitors windows over a store filled by the writer: queries, filters, the conversation
// around a result, copy, export, delete, hostile query text, the visitors' table and chart, and their exports.

#include "TempDir.h"
#include "history/HistoryReader.h"
#include "history/HistoryWriter.h"
#include "history/ui/DeleteHistoryDialog.h"
#include "history/ui/HistoryFilterFields.h"
#include "history/ui/HistoryLinesModel.h"
#include "history/ui/MatchMarks.h"
#include "history/ui/SearchHistoryWindow.h"
#include "history/ui/VisitorsWindow.h"

#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <thread>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

int argc = 1;
char name[] = "test_history_windows";
char *argv[] = {name, nullptr};

constexpr std::int64_t kMin = 60000;
constexpr std::int64_t kHour = 60 * kMin;
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::int64_t kT0 = 1'780'000'000'000 - 1'780'000'000'000 % kDay; // 2026-05-28 00:00 UTC

struct Said {
    std::int64_t time;
    const char *world, *speaker;
    LineKind kind;
    const char *text;
};

// Oldest first, as the writer receives them.
const Said kLines[] = {
    {kT0 + 1 * kMin, "Town", "Ann", LineKind::Chat, "hello everyone"},
    {kT0 + 2 * kMin, "Town", "Bob", LineKind::Chat, "the fishing trip is on"},
    {kT0 + 3 * kMin, "Beach", "Ann", LineKind::Whisper, "fish tacos tonight?"},
    {kT0 + 4 * kMin, "Town", "", LineKind::Notice, "Cid enters"},
    {kT0 + kDay + kMin, "Town", "Cid", LineKind::Chat, "Hello Town, <b>bold</b> & friends"},
    {kT0 + kDay + 2 * kMin, "Beach", "Bob", LineKind::Chat, "a fishing rod AND (bait)"},
};

std::vector<QString> Texts(const HistoryLinesModel &model) {
    std::vector<QString> out;
    for (int row = 0; row < model.rowCount(); ++row)
        out.push_back(model.index(row, HistoryLinesModel::TextColumn).data().toString());
    return out;
}

template <typename Window> bool WaitIdle(const Window &w) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (w.Busy() && timer.elapsed() < 10000);
    return !w.Busy();
}

QString ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class HistoryWindows : public testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QApplication(argc, argv); }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

    void SetUp() override {
        writer_.Start(dir_.Path(), {}, [] { return kT0 + 2 * kDay; });
        for (const Said &s : kLines)
            writer_.Append(s.time, s.world, s.speaker, std::nullopt, s.kind, 0, false, false, false, s.text);
        writer_.Flush();
    }

    void Search(SearchHistoryWindow &w, const QString &query) {
        w.QueryBox()->setText(query);
        QTest::keyClick(w.QueryBox(), Qt::Key_Return);
        ASSERT_TRUE(WaitIdle(w));
    }

    static inline QApplication *app_ = nullptr;
    TempDir dir_;
    HistoryWriter writer_;
};

struct SearchCase {
    const char *query, *world, *person;
    int kind; // -1: any
    const char *from, *to;
    std::vector<QString> expected; // newest first
};

TEST_F(HistoryWindows, SearchFindsWordsPhrasesPrefixesWithFiltersNewestFirst) {
    const SearchCase cases[] = {
        {"hello", "", "", -1, "", "", {"Hello Town, <b>bold</b> & friends", "hello everyone"}},
        {"\"fishing trip\"", "", "", -1, "", "", {"the fishing trip is on"}},
        {"fish*", "", "", -1, "", "", {"a fishing rod AND (bait)", "fish tacos tonight?", "the fishing trip is on"}},
        {"fish*", "beach", "", -1, "", "", {"a fishing rod AND (bait)", "fish tacos tonight?"}},
        {"fish*", "", "Bob", -1, "", "", {"a fishing rod AND (bait)", "the fishing trip is on"}},
        {"", "", "", static_cast<int>(LineKind::Notice), "", "", {"Cid enters"}},
        {"", "", "", -1, "2026-05-29", "2026-05-29", {"a fishing rod AND (bait)", "Hello Town, <b>bold</b> & friends"}},
        {"hello", "", "", -1, "", "2026-05-28", {"hello everyone"}},
        {"nobody", "", "", -1, "", "", {}},
        {"hello", "Nowhere", "", -1, "", "", {}},
    };
    SearchHistoryWindow w(dir_.Path());
    for (const SearchCase &c : cases) {
        SCOPED_TRACE(c.query);
        w.Filters()->World()->setText(c.world);
        w.Filters()->Person()->setText(c.person);
        w.Filters()->Kind()->setCurrentIndex(c.kind + 1);
        w.Filters()->From()->setText(c.from);
        w.Filters()->To()->setText(c.to);
        Search(w, c.query);
        EXPECT_EQ(Texts(*w.ResultsModel()), c.expected);
        EXPECT_EQ(w.Status()->text(),
                  c.expected.empty() ? QString("Nothing found.") : QString("%1 result(s).").arg(c.expected.size()));
    }
}

TEST_F(HistoryWindows, AHostileQueryIsNeverAnEngineErrorAndStaysText) {
    const char *queries[] = {"\"unclosed phrase",       "AND OR NOT (", "text:fish", "^hello", "NEAR(fish bait, 2)",
                             "'; DROP TABLE lines; --", "(bait)",       "fish\"*\"", "\"\"*"};
    SearchHistoryWindow w(dir_.Path());
    for (const char *query : queries) {
        SCOPED_TRACE(query);
        Search(w, query);
        const QString status = w.Status()->text();
        for (const char *engine : {"syntax", "fts5", "SQL", "no such", "malformed"})
            EXPECT_FALSE(status.contains(engine, Qt::CaseInsensitive)) << status.toStdString();
    }
    // Symbols alone say what to type instead, as plain text.
    Search(w, "<&>* </>");
    EXPECT_EQ(w.Status()->text(),
              "There is nothing to search for: type words, \"a phrase\" or the start of a word followed by *.");
    EXPECT_EQ(w.Status()->textFormat(), Qt::PlainText);
    // The syntax-looking text is searched for as words.
    Search(w, "AND (bait)");
    EXPECT_EQ(Texts(*w.ResultsModel()), std::vector<QString>{"a fishing rod AND (bait)"});
    HistoryReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir_.Path(), false, error));
    EXPECT_EQ(reader.Search("", {}, 100).lines.size(), std::size(kLines));
}

TEST_F(HistoryWindows, MatchesAreMarkedAsTheIndexFindsThem) {
    struct Case {
        const char *query, *text;
        QList<MatchSpan> spans;
    } cases[] = {
        {"fish", "Fish, fishing, FISH", {{0, 4}, {15, 4}}},
        {"fish*", "Fish, fishing, sunfish", {{0, 4}, {6, 7}}},
        {"\"fishing trip\"", "the fishing trip", {{4, 7}, {12, 4}}},
        {"don't", "I don't know", {{2, 3}, {6, 1}}},
        {"é", "café é", {{5, 1}}},
        {"", "anything", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(FindMatches(QString::fromUtf8(c.text), MatchTerms(QString::fromUtf8(c.query))), c.spans);
    }
}

TEST_F(HistoryWindows, OpeningAResultShowsTheConversationAroundIt) {
    SearchHistoryWindow w(dir_.Path());
    w.show();
    Search(w, "tacos");
    ASSERT_EQ(w.ResultsModel()->rowCount(), 1);
    w.Results()->setFocus();
    w.Results()->setCurrentIndex(w.ResultsModel()->index(0, 0));
    QTest::keyClick(w.Results(), Qt::Key_Return);
    ASSERT_TRUE(WaitIdle(w));
    std::vector<QString> all;
    for (const Said &s : kLines)
        all.push_back(s.text);
    EXPECT_EQ(Texts(*w.ContextModel()), all);
    const QModelIndex opened = w.ContextModel()->index(2, HistoryLinesModel::TextColumn);
    EXPECT_TRUE(opened.data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(opened.data(HistoryLinesModel::MatchesRole).value<QList<int>>(), (QList<int>{5, 5}));
    // Other people's text is shown as they wrote it, never read as markup.
    EXPECT_EQ(w.ContextModel()->index(4, HistoryLinesModel::TextColumn).data().toString(),
              "Hello Town, <b>bold</b> & friends");
}

TEST_F(HistoryWindows, ResultsAreCopiedAndExportedAsTextAndCsv) {
    SearchHistoryWindow w(dir_.Path());
    Search(w, "fish*");
    w.CopyResults();
    EXPECT_EQ(QApplication::clipboard()->text(), "2026-05-29 00:02:00\tBeach\tBob\ta fishing rod AND (bait)\n"
                                                 "2026-05-28 00:03:00\tBeach\tAnn\tfish tacos tonight?\n"
                                                 "2026-05-28 00:02:00\tTown\tBob\tthe fishing trip is on\n");
    const QString txt = QString::fromStdString(dir_.File("out.txt"));
    w.ExportTo(txt, false);
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(ReadAll(txt), "2026-05-28 00:02:00\tTown\tBob\tthe fishing trip is on\n"
                            "2026-05-28 00:03:00\tBeach\tAnn\tfish tacos tonight?\n"
                            "2026-05-29 00:02:00\tBeach\tBob\ta fishing rod AND (bait)\n");
    EXPECT_EQ(w.Status()->text(), QString("3 line(s) exported to %1.").arg(txt));
    const QString csv = QString::fromStdString(dir_.File("out.csv"));
    w.ExportTo(csv, true);
    ASSERT_TRUE(WaitIdle(w));
    const QStringList rows = ReadAll(csv).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[0].startsWith("time,world,speaker"));
    EXPECT_TRUE(rows[3].endsWith(",a fishing rod AND (bait)"));
    // A folder that cannot be written says so and leaves nothing behind.
    w.ExportTo(QString::fromStdString(dir_.File("missing/out.txt")), false);
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_TRUE(w.Status()->text().startsWith("The results could not be exported"));
}

TEST_F(HistoryWindows, ManyResultsComeAPageAtATime) {
    for (int i = 0; i < SearchHistoryWindow::kPageSize + 5; ++i)
        writer_.Append(kT0 + 3 * kDay + i, "Town", "Dee", std::nullopt, LineKind::Chat, 0, false, false, false,
                       "repeat " + std::to_string(i));
    writer_.Flush();
    SearchHistoryWindow w(dir_.Path());
    Search(w, "repeat");
    EXPECT_EQ(w.ResultsModel()->rowCount(), SearchHistoryWindow::kPageSize);
    EXPECT_EQ(Texts(*w.ResultsModel()).front(), "repeat 204");
    ASSERT_TRUE(w.MoreButton()->isEnabled());
    w.MoreButton()->click();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(w.ResultsModel()->rowCount(), SearchHistoryWindow::kPageSize + 5);
    EXPECT_EQ(Texts(*w.ResultsModel()).back(), "repeat 0");
    EXPECT_FALSE(w.MoreButton()->isEnabled());
}

TEST_F(HistoryWindows, TheWindowReadsWhileTheWriterWrites) {
    SearchHistoryWindow w(dir_.Path());
    Search(w, "newcomer");
    EXPECT_EQ(w.ResultsModel()->rowCount(), 0);
    writer_.Append(kT0 + 5 * kDay, "Town", "Eve", 7, LineKind::Chat, 0, false, false, false, "a newcomer speaks");
    writer_.Flush();
    Search(w, "newcomer");
    EXPECT_EQ(Texts(*w.ResultsModel()), std::vector<QString>{"a newcomer speaks"});
}

TEST_F(HistoryWindows, WithoutAStoreTheWindowSaysSo) {
    TempDir empty;
    SearchHistoryWindow w(empty.Path());
    Search(w, "hello");
    EXPECT_EQ(w.Status()->text().toStdString(), "There is no history in " + empty.Path() + " yet.");
}

TEST_F(HistoryWindows, ClosingTheWindowEndsALongExportWithoutWritingTheFile) {
    for (int i = 0; i < 300000; ++i)
        writer_.Append(kT0 + 3 * kDay + i, "Town", "Dee", std::nullopt, LineKind::Chat, 0, false, false, false,
                       "a long afternoon of chat, line " + std::to_string(i));
    writer_.Flush();
    const QString path = QString::fromStdString(dir_.File("long.txt"));
    auto w = std::make_unique<SearchHistoryWindow>(dir_.Path());
    w->ExportTo(path, false);
    // Once the export is writing (a file of the folder other than the store is open), the window goes.
    const auto writing = [&] {
        for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code ignored;
            const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
            if (target.rfind(dir_.Path() + "/", 0) == 0 && target.find("history.db") == std::string::npos)
                return true;
        }
        return false;
    };
    QElapsedTimer timer;
    timer.start();
    while (!writing() && timer.elapsed() < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(writing());
    w.reset();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(writing());
}

// Answers the delete dialog when it opens: everything, or the range given.
void AnswerDeleteDialog(const char *from, const char *to) {
    QTimer::singleShot(0, [from, to] {
        auto *dialog = qobject_cast<DeleteHistoryDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (from) {
            dialog->Dates()->setChecked(true);
            dialog->From()->setText(from);
            dialog->To()->setText(to);
        } else {
            dialog->Everything()->setChecked(true);
        }
        dialog->accept();
    });
}

TEST_F(HistoryWindows, DeletingAsksFirstAndRemovesARangeOrEverything) {
    SearchHistoryWindow w(dir_.Path());
    w.show();
    QStringList asked;
    bool answer = false;
    w.confirm = [&](const QString &question) {
        asked << question;
        return answer;
    };
    AnswerDeleteDialog("2026-05-28", "2026-05-28");
    w.DeleteHistory();
    ASSERT_TRUE(WaitIdle(w));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("2026-05-28 00:00:00 to 2026-05-29 00:00:00"));
    Search(w, "");
    EXPECT_EQ(w.ResultsModel()->rowCount(), static_cast<int>(std::size(kLines))) << "No keeps everything";

    answer = true;
    AnswerDeleteDialog("2026-05-28", "2026-05-28");
    w.DeleteHistory();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(w.Status()->text(), "History deleted. Search again to see what is left.");
    Search(w, "");
    EXPECT_EQ(Texts(*w.ResultsModel()),
              (std::vector<QString>{"a fishing rod AND (bait)", "Hello Town, <b>bold</b> & friends"}));

    AnswerDeleteDialog(nullptr, nullptr);
    w.DeleteHistory();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_TRUE(asked.last().startsWith("Delete the whole history"));
    Search(w, "");
    EXPECT_EQ(w.ResultsModel()->rowCount(), 0);
    // The writer goes on recording into the emptied store.
    writer_.Append(kT0 + 6 * kDay, "Town", "Eve", 7, LineKind::Chat, 0, false, false, false, "after the purge");
    writer_.Flush();
    Search(w, "purge");
    EXPECT_EQ(w.ResultsModel()->rowCount(), 1);
}

// A search that walks 20,000 lines and finds none, made slow by its checks: left alone it runs for seconds.
TEST_F(HistoryWindows, ANewQueryEscapeOrClosingStopsARunningSearchAtOnce) {
    for (int i = 0; i < 20000; ++i)
        writer_.Append(kT0 + 3 * kDay + i, "Town", "Dee", std::nullopt, LineKind::Chat, 0, false, false, false,
                       "filler " + std::to_string(i));
    writer_.Flush();
    struct Case {
        const char *name;
        std::function<void(SearchHistoryWindow &)> act;
        bool visible; // afterwards
        const char *status;
        std::size_t results;
    };
    const Case cases[] = {
        {"a new query",
         [](SearchHistoryWindow &w) {
             w.Filters()->Person()->clear();
             w.QueryBox()->setText("hello");
             QTest::keyClick(w.QueryBox(), Qt::Key_Return);
         },
         true, "2 result(s).", 2},
        {"Escape", [](SearchHistoryWindow &w) { QTest::keyClick(w.QueryBox(), Qt::Key_Escape); }, true,
         "The search was stopped.", 0},
        {"closing the window", [](SearchHistoryWindow &w) { w.close(); }, false, "The search was stopped.", 0},
    };
    for (const Case &c : cases) {
        QWidget owner;
        owner.show();
        auto *w = new SearchHistoryWindow(dir_.Path(), &owner);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        std::atomic<int> checks{0};
        w->searchProgress = [&checks] {
            ++checks;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        };
        w->QueryBox()->setText("filler");
        w->Filters()->Person()->setText("Ann");
        QTest::keyClick(w->QueryBox(), Qt::Key_Return);
        QElapsedTimer timer;
        timer.start();
        while (checks < 3 && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_GE(checks, 3) << c.name << ": the search is under way";
        const int before = checks;
        timer.restart();
        c.act(*w);
        EXPECT_TRUE(WaitIdle(*w)) << c.name;
        EXPECT_LT(timer.elapsed(), 2000) << c.name;
        EXPECT_LE(checks - before, 3) << c.name << ": the search went on after it was stopped";
        EXPECT_EQ(w->isVisible(), c.visible) << c.name;
        EXPECT_EQ(w->Status()->text().toStdString(), c.status) << c.name;
        EXPECT_EQ(static_cast<std::size_t>(w->ResultsModel()->rowCount()), c.results) << c.name;
    }
}

TEST_F(HistoryWindows, EscapeClosesTheWindowOnly) {
    QWidget owner;
    owner.show();
    auto *w = new SearchHistoryWindow(dir_.Path(), &owner);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    w->activateWindow();
    QTest::keyClick(w->QueryBox(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(owner.isVisible());
}

class VisitorsFixture : public HistoryWindows {
protected:
    void SetUp() override {
        writer_.Start(dir_.Path(), {}, [] { return kT0 + 2 * kDay; });
        writer_.Arrive(kT0 + 9 * kHour, "Town", "Ann", 12, 1);
        writer_.Arrive(kT0 + 9 * kHour + 30 * kMin, "Town", "Bob", std::nullopt, 2);
        writer_.Leave(kT0 + 10 * kHour + 15 * kMin, "Town", 1);
        writer_.Leave(kT0 + 10 * kHour + 59 * kMin, "Town", 2);
        writer_.Arrive(kT0 + kDay + 20 * kHour, "Beach", "ann", 12, 3);
        writer_.Leave(kT0 + kDay + 21 * kHour, "Beach", 3);
        writer_.Flush();
    }
};

TEST_F(VisitorsFixture, TableAndChartShowTheVisits) {
    VisitorsWindow w(dir_.Path());
    w.now = [] { return kT0 + 2 * kDay; };
    w.DateBox()->setText("2026-05-28");
    w.Refresh();
    ASSERT_TRUE(WaitIdle(w));
    QTableWidget *table = w.Table();
    ASSERT_EQ(table->rowCount(), 2);
    table->sortByColumn(0, Qt::AscendingOrder);
    const QStringList ann = {"Ann", "12", "2", "2026-05-28 09:00:00", "2026-05-29 21:00:00", "2:15:00"};
    const QStringList bob = {"Bob", "", "1", "2026-05-28 09:30:00", "2026-05-28 10:59:00", "1:29:00"};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(table->item(0, column)->text(), ann[column]);
        EXPECT_EQ(table->item(1, column)->text(), bob[column]);
    }
    // Per hour of the day: both people in hours 9 and 10.
    const auto *series = qobject_cast<QBarSeries *>(w.Chart()->series().value(0));
    ASSERT_NE(series, nullptr);
    const QBarSet *set = series->barSets().value(0);
    ASSERT_EQ(set->count(), 24);
    for (int hour = 0; hour < 24; ++hour)
        EXPECT_EQ(set->at(hour), hour == 9 || hour == 10 ? 2 : 0) << hour;

    // Per day of the month, in one world.
    EXPECT_EQ(w.Chart()->title(), "People present on 2026-05-28, per hour");
    // The title, which is markup, shows the day as read, not what follows it in the box.
    w.DateBox()->setText("2026-05-28<img src=x>");
    w.Refresh();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(w.Chart()->title(), "People present on 2026-05-28, per hour");

    w.Filters()->World()->setText("beach");
    w.PeriodBox()->setCurrentIndex(1);
    w.Refresh();
    ASSERT_TRUE(WaitIdle(w));
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 3)->text(), "2026-05-29 20:00:00");
    set = qobject_cast<QBarSeries *>(w.Chart()->series().value(0))->barSets().value(0);
    EXPECT_EQ(w.Chart()->title(), "People present in 2026-05, per day");
    ASSERT_EQ(set->count(), 31);
    for (int day = 0; day < 31; ++day)
        EXPECT_EQ(set->at(day), day == 28 ? 1 : 0) << day;
}

TEST_F(VisitorsFixture, TableAndChartAreExported) {
    VisitorsWindow w(dir_.Path());
    w.now = [] { return kT0 + 2 * kDay; };
    w.resize(640, 480);
    w.show();
    w.DateBox()->setText("2026-05-28");
    w.Filters()->Person()->setText("Bob");
    w.Refresh();
    ASSERT_TRUE(WaitIdle(w));
    const QString csv = QString::fromStdString(dir_.File("visitors.csv"));
    ASSERT_TRUE(w.ExportTableTo(csv, true));
    EXPECT_EQ(ReadAll(csv), "name,citizen,visits,first_seen,last_seen,total_seconds\r\n"
                            "Bob,,1,2026-05-28 09:30:00,2026-05-28 10:59:00,5340\r\n");
    const QString txt = QString::fromStdString(dir_.File("visitors.txt"));
    ASSERT_TRUE(w.ExportTableTo(txt, false));
    EXPECT_TRUE(ReadAll(txt).endsWith("Bob\t-\t1\t2026-05-28 09:30:00\t2026-05-28 10:59:00\t1:29:00\n"));
    const QString chartCsv = QString::fromStdString(dir_.File("chart.csv"));
    ASSERT_TRUE(w.SaveChartCsv(chartCsv));
    const QStringList rows = ReadAll(chartCsv).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 25);
    EXPECT_EQ(rows[0], "period_start,people");
    EXPECT_EQ(rows[10], "2026-05-28 09:00:00,1");
    EXPECT_EQ(rows[12], "2026-05-28 11:00:00,0");
    const QString png = QString::fromStdString(dir_.File("chart.png"));
    ASSERT_TRUE(w.SaveChartPng(png));
    const QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 100);
    EXPECT_FALSE(w.SaveChartCsv(QString::fromStdString(dir_.File("missing/chart.csv"))));
    EXPECT_TRUE(w.Status()->text().startsWith("The chart could not be saved"));
}

TEST_F(VisitorsFixture, AnUnreadableDateIsSaidNotSearched) {
    VisitorsWindow w(dir_.Path());
    w.DateBox()->setText("yesterday");
    w.Refresh();
    EXPECT_FALSE(w.Busy());
    EXPECT_EQ(w.Status()->text(), "\"yesterday\" is not a date: write it as YYYY-MM-DD (UTC).");
    w.DateBox()->setText("2026-05-28");
    w.Filters()->From()->setText("2026-13-45");
    w.Refresh();
    EXPECT_TRUE(w.Status()->text().startsWith("\"2026-13-45\" is not a date"));
}

} // namespace
