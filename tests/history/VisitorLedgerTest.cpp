// The visitor ledger: visits opened by arrivals, closed by departures and by the ends an entry, a disconnection,
// the program's end or a crash put on everyone present; and the figures read from it.

#include "TempDir.h"
#include "history/HistoryReader.h"
#include "history/HistoryWriter.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kMin = 60000;
constexpr std::int64_t kHour = 60 * kMin;
constexpr std::int64_t kT0 = 1'780'000'000'000 - 1'780'000'000'000 % (24 * kHour); // a midnight, UTC

std::vector<VisitorSummary> Visitors(const std::string &folder, const HistoryFilter &filter, std::int64_t now) {
    HistoryReader reader;
    std::string error;
    EXPECT_TRUE(reader.Open(folder, false, error)) << error;
    return reader.Visitors(filter, now);
}

const VisitorSummary *Find(const std::vector<VisitorSummary> &list, const std::string &name) {
    for (const auto &v : list) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

TEST(VisitorLedger, VisitsOpenAndCloseThroughDeparturesEntriesAndTheProgramsEnd) {
    TempDir dir;
    {
        HistoryWriter writer;
        writer.Start(dir.Path(), {}, [] { return kT0 + 10 * kHour; });
        writer.Arrive(kT0, "Town", "Ann", 12, 1);
        writer.Arrive(kT0 + kMin, "Town", "Bob", std::nullopt, 2);
        writer.Leave(kT0 + 10 * kMin, "Town", 1); // Ann leaves
        writer.Arrive(kT0 + kHour, "Town", "ann", 12, 3);
        writer.LeaveAll(kT0 + 2 * kHour, "Town"); // the bot enters another world: Bob and Ann end here
        writer.Arrive(kT0 + 3 * kHour, "Beach", "Cid", 30, 4);
        writer.LeaveAll(kT0 + 4 * kHour, ""); // the connection is lost
        writer.Arrive(kT0 + 5 * kHour, "Beach", "Cid", 30, 5);
        // Cid is still there when the program ends, at the writer's clock (10 h).
    }
    const auto all = Visitors(dir.Path(), {}, kT0 + 20 * kHour);
    ASSERT_EQ(all.size(), 3u);
    const VisitorSummary *ann = Find(all, "Ann");
    ASSERT_NE(ann, nullptr) << "names are one person whatever their case";
    EXPECT_EQ(ann->visits, 2);
    EXPECT_EQ(ann->citizen, 12);
    EXPECT_EQ(ann->firstSeen, kT0);
    EXPECT_EQ(ann->lastSeen, kT0 + 2 * kHour);
    EXPECT_EQ(ann->totalMs, 10 * kMin + kHour);
    const VisitorSummary *bob = Find(all, "Bob");
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->citizen, std::nullopt);
    EXPECT_EQ(bob->totalMs, 2 * kHour - kMin);
    const VisitorSummary *cid = Find(all, "Cid");
    ASSERT_NE(cid, nullptr);
    EXPECT_EQ(cid->visits, 2);
    EXPECT_EQ(cid->totalMs, kHour + 5 * kHour);
    EXPECT_EQ(cid->lastSeen, kT0 + 10 * kHour);

    HistoryFilter beach;
    beach.world = "beach";
    EXPECT_EQ(Visitors(dir.Path(), beach, 0).size(), 1u);
    HistoryFilter window;
    window.from = kT0 + 5 * kMin;
    window.to = kT0 + 65 * kMin;
    const auto inWindow = Visitors(dir.Path(), window, 0);
    ASSERT_NE(Find(inWindow, "Ann"), nullptr);
    EXPECT_EQ(Find(inWindow, "Ann")->totalMs, 10 * kMin) << "only the time inside the range counts";
    HistoryFilter person;
    person.person = "BOB";
    EXPECT_EQ(Visitors(dir.Path(), person, 0).size(), 1u);
}

TEST(VisitorLedger, VisitsACrashLeftOpenCloseAtTheLastHeartbeat) {
    TempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HistoryWriter writer;
        // The clock stands still at 3 h, so the heartbeat says 3 h whenever the kill comes.
        writer.Start(dir.Path(), {}, [] { return kT0 + 3 * kHour; });
        writer.Arrive(kT0 + kHour, "Town", "Ann", 12, 1);
        writer.Flush();
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Visitors(dir.Path(), {}, kT0 + 9 * kHour)[0].totalMs, 8 * kHour) << "open until the next start";
    {
        HistoryWriter writer;
        writer.Start(dir.Path(), {}, [] { return kT0 + 9 * kHour; });
    }
    const auto all = Visitors(dir.Path(), {}, kT0 + 20 * kHour);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].lastSeen, kT0 + 3 * kHour);
    EXPECT_EQ(all[0].totalMs, 2 * kHour);
}

TEST(VisitorLedger, PeoplePresentPerHourAndPerDay) {
    TempDir dir;
    {
        HistoryWriter writer;
        writer.Start(dir.Path(), {}, [] { return kT0 + 48 * kHour; });
        writer.Arrive(kT0 + 30 * kMin, "Town", "Ann", 1, 1);
        writer.Leave(kT0 + 90 * kMin, "Town", 1);
        writer.Arrive(kT0 + 100 * kMin, "Town", "Ann", 1, 2); // twice in one hour: one person
        writer.Leave(kT0 + 110 * kMin, "Town", 2);
        writer.Arrive(kT0 + 3 * kHour, "Town", "Bob", 2, 3);
        writer.Leave(kT0 + 26 * kHour, "Town", 3);
        writer.Arrive(kT0 + 2 * kHour, "Beach", "Cid", 3, 4);
        writer.Leave(kT0 + 3 * kHour, "Beach", 4);
    }
    HistoryReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.Path(), false, error)) << error;
    HistoryFilter day;
    day.world = "Town";
    day.from = kT0;
    day.to = kT0 + 24 * kHour;
    const auto hours = reader.Presence(day, kHour, kT0 + 48 * kHour);
    ASSERT_EQ(hours.size(), 24u);
    const int expected[6] = {1, 1, 0, 1, 1, 1};
    for (int h = 0; h < 6; ++h)
        EXPECT_EQ(hours[h].people, expected[h]) << "hour " << h;
    EXPECT_EQ(hours[23].people, 1);
    EXPECT_EQ(hours[1].start, kT0 + kHour);

    HistoryFilter month;
    month.from = kT0;
    month.to = kT0 + 30 * 24 * kHour;
    const auto days = reader.Presence(month, 24 * kHour, kT0 + 48 * kHour);
    ASSERT_EQ(days.size(), 30u);
    EXPECT_EQ(days[0].people, 3);
    EXPECT_EQ(days[1].people, 1);
    EXPECT_EQ(days[2].people, 0);
}

TEST(VisitorLedger, AVisitEndsBeforeTheMomentItsPersonLeft) {
    // A visit covers its arrival up to, not including, its departure: who leaves at 11:00 was not there at 11:00.
    TempDir dir;
    {
        HistoryWriter writer;
        writer.Start(dir.Path(), {}, [] { return kT0 + 48 * kHour; });
        writer.Arrive(kT0 - kHour, "Town", "Ann", 1, 1); // left as the day began
        writer.Leave(kT0, "Town", 1);
        writer.Arrive(kT0 + 30 * kMin, "Town", "Bob", 2, 2); // left on the hour
        writer.Leave(kT0 + kHour, "Town", 2);
        writer.Arrive(kT0 + 3 * kHour, "Town", "Cid", 3, 3); // came and went at once
        writer.Leave(kT0 + 3 * kHour, "Town", 3);
    }
    HistoryReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.Path(), false, error)) << error;
    HistoryFilter day;
    day.from = kT0;
    day.to = kT0 + 24 * kHour;
    const auto hours = reader.Presence(day, kHour, kT0 + 48 * kHour);
    ASSERT_EQ(hours.size(), 24u);
    const int expected[5] = {1, 0, 0, 1, 0};
    for (int h = 0; h < 5; ++h)
        EXPECT_EQ(hours[h].people, expected[h]) << "hour " << h;
}

} // namespace
