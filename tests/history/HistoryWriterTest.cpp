// The history's writer under fire: a flood, a kill -9, a full disk, an unwritable file, a second process reading.

#include "history/HistoryWriter.h"

#include "SmallDisk.h"
#include "TempDir.h"
#include "db/Database.h"
#include "history/HistoryReader.h"
#include "history/HistorySchema.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void AppendLine(HistoryWriter &w, std::int64_t time, const std::string &text) {
    w.Append(time, "Town", "Ann", 7, LineKind::Chat, 0xffffff, false, false, false, text);
}

struct Problems {
    std::mutex mutex;
    std::vector<std::string> list;
    HistoryWriter::ProblemCallback Callback() {
        return [this](const std::string &p) {
            std::lock_guard lock(mutex);
            list.push_back(p);
        };
    }
    std::vector<std::string> Get() {
        std::lock_guard lock(mutex);
        return list;
    }
};

std::int64_t CountLines(const std::string &folder) {
    HistoryReader reader;
    std::string error;
    if (!reader.Open(folder, false, error))
        return -1;
    std::int64_t n = 0;
    reader.ForEach(
        "", {}, [&](const HistoryLine &) { return ++n, true; }, error);
    return n;
}

// A clock that can hold the writer's thread: while held, the thread stops at its next reading of the time, so
// whatever the test appends meanwhile gathers into one batch.
class HeldClock {
public:
    HistoryWriter::Clock Get() {
        return [this] {
            std::unique_lock lock(mutex_);
            if (std::this_thread::get_id() != owner_) {
                waiting_ = held_;
                changed_.notify_all();
                changed_.wait(lock, [&] { return !held_; });
                waiting_ = false;
            }
            return NowMs();
        };
    }
    void Hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    // Returns once the writer's thread is held.
    void AwaitHeld() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread::id owner_ = std::this_thread::get_id();
    bool held_ = false, waiting_ = false;
};

TEST(HistoryWriter, AFloodsBuffersAreGivenBackOnceItIsQuietAgain) {
    TempDir dir;
    HeldClock clock;
    HistoryWriter writer;
    writer.Start(dir.Path(), {}, clock.Get());
    clock.Hold();
    clock.AwaitHeld();
    // 300,000 lines in one batch, then the quiet of a bot in an empty world: a line now and then.
    for (int i = 0; i < 300000; ++i)
        AppendLine(writer, NowMs(), "a line of a flood, as long as the lines people chat go " + std::to_string(i));
    const std::size_t flood = writer.BufferBytes();
    ASSERT_GT(flood, std::size_t(20) << 20);
    clock.Release();
    writer.Flush();
    for (int i = 0; i < 3; ++i) {
        AppendLine(writer, NowMs(), "quiet");
        writer.Flush();
    }
    EXPECT_LT(writer.BufferBytes(), flood / 10) << "the flood's buffers are still held";
    writer.Stop();
    EXPECT_EQ(CountLines(dir.Path()), 300003);
}

TEST(HistoryWriter, AFloodBeyondTheBoundIsDroppedAndCountedWithoutBlockingTheCaller) {
    TempDir dir;
    Problems problems;
    HistoryWriter writer(1000);
    writer.Start(dir.Path(), problems.Callback());
    // Far more than the queue holds, as fast as one thread can: every call returns at once.
    const std::size_t total = 200000;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < total; ++i)
        AppendLine(writer, 1000, "flood");
    const auto perLine = (std::chrono::steady_clock::now() - start) / total;
    writer.Flush();
    EXPECT_EQ(writer.WrittenLines() + writer.DroppedLines(), total);
    EXPECT_LT(perLine, 5us) << "even under sanitizers a line costs the caller a few microseconds at most";
    writer.Stop();
    EXPECT_EQ(CountLines(dir.Path()), static_cast<std::int64_t>(writer.WrittenLines()));
    ASSERT_GT(writer.DroppedLines(), 0u) << "a queue of 1,000 lines cannot take 200,000 at once";
    const auto list = problems.Get();
    ASSERT_FALSE(list.empty());
    EXPECT_NE(list.back().find("were not recorded"), std::string::npos) << list.back();
}

TEST(HistoryWriter, AKilledWriterLosesAtMostTheLastSecond) {
    TempDir dir;
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        HistoryWriter writer;
        writer.Start(dir.Path(), {});
        const char ready = 'r';
        (void)!::write(pipeFds[1], &ready, 1);
        for (int i = 0;; ++i) {
            AppendLine(writer, NowMs(), "line " + std::to_string(i));
            std::this_thread::sleep_for(200us);
        }
    }
    ::close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(::read(pipeFds[0], &ready, 1), 1);
    ::close(pipeFds[0]);
    std::this_thread::sleep_for(2500ms);
    const std::int64_t killedAt = NowMs();
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    HistoryReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.Path(), false, error)) << error;
    std::vector<HistoryLine> lines;
    ASSERT_TRUE(reader.ForEach(
        "", {}, [&](const HistoryLine &l) { return lines.push_back(l), true; }, error));
    ASSERT_FALSE(lines.empty());
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i].id, lines[0].id + static_cast<std::int64_t>(i)) << "no line is missing before the last kept";
    EXPECT_GE(lines.back().time, killedAt - 1000) << "at most the last second is lost";
}

TEST(HistoryWriter, AFullDiskIsReportedOnceAndTheWriterGoesOn) {
    TempDir dir;
    SmallDisk disk(dir.File("disk"), 4 << 20);
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs (" << disk.Error() << "); the full-disk case needs root";
    Problems problems;
    HistoryWriter writer;
    writer.Start(dir.File("disk"), problems.Callback());
    AppendLine(writer, 1, "before");
    writer.Flush();
    ASSERT_TRUE(problems.Get().empty());
    disk.Fill();
    const std::string big(2000, 'x');
    for (int batch = 0; batch < 20; ++batch) {
        for (int i = 0; i < 200; ++i)
            AppendLine(writer, 2, big + std::to_string(i));
        writer.Flush();
    }
    auto list = problems.Get();
    ASSERT_EQ(list.size(), 1u) << "reported once however many batches fail";
    EXPECT_NE(list[0].find("could not be written"), std::string::npos) << list[0];
    EXPECT_NE(list[0].find("full"), std::string::npos) << list[0];

    disk.Free();
    AppendLine(writer, 3, "after");
    writer.Flush();
    writer.Stop();
    EXPECT_EQ(problems.Get().size(), 1u);
    HistoryReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(dir.File("disk"), false, error)) << error;
    EXPECT_EQ(reader.Search("before", {}, 10).lines.size(), 1u);
    EXPECT_EQ(reader.Search("after", {}, 10).lines.size(), 1u) << "writing works again once there is room";
}

TEST(HistoryWriter, AnUnwritableFolderIsReportedOnceAndTheProgramGoesOn) {
    TempDir dir;
    Problems problems;
    HistoryWriter writer;
    writer.Start(dir.File("no/such/folder"), problems.Callback());
    for (int i = 0; i < 100; ++i)
        AppendLine(writer, 1, "nowhere");
    writer.Flush();
    writer.Stop();
    const auto list = problems.Get();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_NE(list[0].find("not recorded"), std::string::npos) << list[0];
}

TEST(HistoryWriter, AnotherProcessReadsWhileItWrites) {
    TempDir dir;
    HistoryWriter writer;
    writer.Start(dir.Path(), {});
    AppendLine(writer, 1, "first");
    writer.Flush();
    std::atomic<bool> stop = false;
    std::thread flood([&] {
        for (int i = 0; !stop; ++i) {
            AppendLine(writer, 2, "more " + std::to_string(i));
            if (i % 100 == 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Counts must only grow, and every read must work, while the parent writes.
        std::int64_t last = 0;
        for (int i = 0; i < 20; ++i) {
            const std::int64_t n = CountLines(dir.Path());
            if (n < last || n < 1)
                ::_exit(1);
            last = n;
            std::this_thread::sleep_for(50ms);
        }
        ::_exit(last > 1 ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    stop = true;
    flood.join();
    writer.Stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a read failed or went back; 2: the reader saw nothing new";
}

TEST(HistoryWriter, ALongDeletionElsewhereDelaysTheLinesButLosesNone) {
    TempDir dir;
    Problems problems;
    HistoryWriter writer;
    writer.Start(dir.Path(), problems.Callback());
    AppendLine(writer, 1, "before");
    writer.Flush();
    {
        // Another connection holds the write lock longer than a busy wait of a few seconds would last, as deleting
        // years of history from the History window may.
        Database other;
        ASSERT_EQ(other.Open(dir.File(kHistoryFileName)), 0);
        ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE"));
        for (int i = 0; i < 100; ++i)
            AppendLine(writer, 2, "during " + std::to_string(i));
        std::this_thread::sleep_for(6500ms);
        ASSERT_TRUE(other.Exec("COMMIT"));
    }
    writer.Flush();
    writer.Stop();
    EXPECT_TRUE(problems.Get().empty()) << problems.Get().front();
    EXPECT_EQ(CountLines(dir.Path()), 101);
}

// A flood fills the writer's page cache; once lines stop coming it is given back, so that a bot that has seen many
// floods does not keep the largest cache for as long as it runs.
TEST(HistoryWriter, ItsPageCacheIsGivenBackWhenNoLinesCome) {
    TempDir dir;
    HistoryWriter w;
    w.Start(dir.Path(), {});
    const std::int64_t before = sqlite3_memory_used();
    const std::int64_t t0 = NowMs();
    for (int i = 0; i < 30000; ++i) {
        AppendLine(w, t0 + i, "word" + std::to_string(i) + " and some ordinary chat " + std::to_string(i * 7919));
        if (i % 10000 == 9999)
            w.Flush(); // written in pumps, as a flood is
    }
    const std::int64_t flooded = sqlite3_memory_used() - before;
    ASSERT_GT(flooded, 1 << 20) << "the flood filled a cache of some size";
    std::int64_t idle = flooded;
    for (const auto end = std::chrono::steady_clock::now() + 5s;
         idle > flooded / 4 && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(50ms);
        idle = sqlite3_memory_used() - before;
    }
    EXPECT_LE(idle, flooded / 4) << "flooded " << flooded << " bytes";
}

} // namespace
