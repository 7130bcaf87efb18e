// The chat pane's memory as its history grows: a pane keeping 100,000 lines in memory, recording every line into a
// real history.db, is fed 100,000, 1,000,000 and 10,000,000 lines, scrolled to the top and through a few places so
// that older lines are read back, and its heap is measured: the log's own accounting (lines in memory and the pages
// read back), SQLite's (the writer's and the reader's page caches) and the whole heap. None should grow with the
// history once it is past what memory keeps. The figures are taken once the writer has been idle a moment, as it is
// between floods.

#include "bench/ChatTexts.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "chat/ui/ChatView.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kScrollback = 100000;
constexpr std::time_t kStart = 1700000000;

std::size_t HeapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

void Settle() {
    QApplication::processEvents();
    QApplication::processEvents();
}

// range(0): lines fed to the pane, all of them recorded.
void BM_PaneMemoryWithHistory(benchmark::State &state) {
    const auto lines = static_cast<std::int64_t>(state.range(0));
    for (auto _ : state) {
        std::string folder = (std::filesystem::temp_directory_path() / "gabbler-bench-XXXXXX").string();
        if (!::mkdtemp(folder.data())) {
            state.SkipWithError("no temporary folder");
            return;
        }
        ::malloc_trim(0);
        const std::size_t heapBefore = HeapInUse();
        {
            HistoryRecorder history(folder, {}, [] { return std::string("Town"); });
            history.SetEnabled(true);
            ChatPane pane(kScrollback);
            pane.SetHistory(&history);
            for (std::int64_t i = 0; i < lines; ++i) {
                pane.AppendTimestampPrefix(kStart + i / 1000);
                pane.AppendChatLine(ChatTexts()[static_cast<std::size_t>(i) % 1024], ChatColour::Blue, true, true, true,
                                    true);
                // A pump's worth at a time, the writer's thread keeping up as it does between pumps in the program:
                // a backlog would leave the writer's buffers at their largest, a cost of the flood, not of the history.
                if (i % 10000 == 9999) {
                    history.Writer()->Flush();
                }
            }
            history.Writer()->Flush();
            const double fed = static_cast<double>(HeapInUse() - heapBefore);
            const double fedSqlite = static_cast<double>(::sqlite3_memory_used());

            ChatView view(pane.Log());
            view.resize(800, 600);
            view.show();
            if (!QTest::qWaitForWindowExposed(&view)) {
                state.SkipWithError("the chat view was not shown");
                return;
            }
            pane.SetView(&view);
            Settle();
            // The top, then places spread over the whole log, each painted so that its lines are read back.
            const std::size_t count = pane.Log().LineCount();
            for (int k = 0; k <= 40; ++k) {
                view.ScrollToLine(static_cast<std::size_t>((count - 1) * static_cast<std::size_t>(k % 20) / 19));
                view.viewport()->repaint();
            }
            view.ScrollToLine(0);
            view.viewport()->repaint();
            Settle();
            // Measured as the bot runs between floods: the writer has had a few commit periods without lines.
            QTest::qWait(static_cast<int>(3 * HistoryWriter::kCommitPeriod.count()));

            state.counters["heap_bytes"] = static_cast<double>(HeapInUse() - heapBefore);
            state.counters["heap_fed_bytes"] = fed;
            state.counters["sqlite_fed_bytes"] = fedSqlite;
            state.counters["sqlite_bytes"] = static_cast<double>(::sqlite3_memory_used());
            state.counters["log_bytes"] = static_cast<double>(pane.Log().MemoryBytes());
            state.counters["resident_bytes"] = static_cast<double>(ResidentBytes());
            state.counters["lines_in_pane"] = static_cast<double>(count);
            state.counters["lines_in_memory"] = static_cast<double>(pane.Log().MemoryLineCount());
            state.counters["lines_lost"] = static_cast<double>(pane.Log().LinesLost());
            state.counters["dropped"] = static_cast<double>(history.Writer()->DroppedLines());
            pane.SetView(nullptr);
            pane.SetHistory(nullptr);
            history.SetEnabled(false);
        }
        std::filesystem::remove_all(folder);
    }
}
BENCHMARK(BM_PaneMemoryWithHistory)->Arg(100000)->Arg(1000000)->Arg(10000000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    {
        // What the first window costs once in a process (fonts, the platform's own state) is no part of the pane's.
        ChatPane pane(10);
        pane.AppendChatLine("warm up", ChatColour::Blue, false);
        ChatView view(pane.Log());
        view.resize(800, 600);
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
        view.viewport()->repaint();
        Settle();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
