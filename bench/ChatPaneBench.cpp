// The chat pane under a flood: appending styled lines with and without the view's work, memory per retained line,
// scrolling and painting a screen deep in a long log, Save Log's RTF output, and QPlainTextEdit doing the same
// appends as the baseline.

#include "bench/ChatTexts.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "chat/RtfWriter.h"
#include "chat/ui/ChatView.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::time_t kStart = 1700000000;

// One styled line as the chat handler writes it: the black timestamp run, then the line on the same line.
void AppendStyled(ChatPane &pane, std::int64_t i) {
    pane.AppendTimestampPrefix(kStart + i / 1000);
    pane.AppendChatLine(ChatTexts()[static_cast<std::size_t>(i) % 1024], ChatColour::Blue, true, true, true, true);
}

void Settle() {
    // Two passes: the view's queued update, then the paint it asked for.
    QApplication::processEvents();
    QApplication::processEvents();
}

class PaintCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    std::int64_t paints = 0;
};

std::size_t HeapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::unique_ptr<ChatView> ShownView(ChatPane &pane) {
    auto view = std::make_unique<ChatView>(pane.Log());
    view->resize(800, 600);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get())) {
        std::fprintf(stderr, "the chat view was not shown\n");
    }
    pane.SetView(view.get());
    Settle();
    return view;
}

// range(0): lines retained (the log is full, so every append also drops the oldest line);
// range(1): lines per repaint, or 0 for the log alone.
void BM_AppendStyledLine(benchmark::State &state) {
    const auto retained = static_cast<std::size_t>(state.range(0));
    const std::int64_t paintEvery = state.range(1);
    ChatPane pane(retained);
    std::int64_t i = 0;
    for (; i < static_cast<std::int64_t>(retained); ++i) {
        AppendStyled(pane, i);
    }
    std::unique_ptr<ChatView> view;
    PaintCounter counter;
    if (paintEvery > 0) {
        view = ShownView(pane);
        view->viewport()->installEventFilter(&counter);
    }
    std::int64_t sincePaint = 0;
    for (auto _ : state) {
        AppendStyled(pane, i++);
        if (paintEvery > 0 && ++sincePaint == paintEvery) {
            sincePaint = 0;
            Settle();
        }
    }
    if (paintEvery > 0) {
        state.counters["paints"] = static_cast<double>(counter.paints);
    }
    state.counters["lines"] = static_cast<double>(pane.Log().LineCount());
}
BENCHMARK(BM_AppendStyledLine)
    ->ArgNames({"retained", "paint_every"})
    ->ArgsProduct({{10, 100000, 1000000}, {0, 100, 10000}})
    ->Unit(benchmark::kMicrosecond);

// A flood as one pump of the event loop delivers it: 20,000 styled lines, with the history recording them (the
// writer's thread writes the previous pump meanwhile) or not. range(0): 1 recording on, 0 off. The view is left
// out: its cost is the same either way and measured above.
void BM_FloodPump(benchmark::State &state) {
    constexpr int kPump = 20000;
    const bool recording = state.range(0) != 0;
    std::string folder = (std::filesystem::temp_directory_path() / "gabbler-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    HistoryRecorder history(folder, {}, [] { return std::string("Town"); });
    ChatPane pane;
    if (recording) {
        history.SetEnabled(true);
        pane.SetHistory(&history);
    }
    std::int64_t i = 0;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < kPump; ++k) {
            AppendStyled(pane, i++);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        total += took.count();
        if (recording) {
            history.Writer()->Flush(); // the disk's part is the writer's thread's, not the pump's
        }
    }
    state.counters["ns_per_line"] = total * 1e9 / (static_cast<double>(state.iterations()) * kPump);
    if (recording) {
        state.counters["dropped"] = static_cast<double>(history.Writer()->DroppedLines());
    }
    pane.SetHistory(nullptr);
    history.SetEnabled(false);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FloodPump)->ArgName("recording")->Arg(0)->Arg(1)->Iterations(30)->UseManualTime()->Unit(
    benchmark::kMicrosecond);

void BM_MemoryPerRetainedLine(benchmark::State &state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        {
            ChatPane pane(lines);
            auto view = ShownView(pane);
            for (std::size_t i = 0; i < lines; ++i) {
                AppendStyled(pane, static_cast<std::int64_t>(i));
            }
            Settle();
            const double used = static_cast<double>(HeapInUse() - before);
            const double text = static_cast<double>(pane.Log().TextBytes());
            state.counters["bytes_per_line_beyond_text"] = (used - text) / static_cast<double>(lines);
            state.counters["text_bytes_per_line"] = text / static_cast<double>(lines);
            state.counters["log_own_bytes_per_line"] =
                static_cast<double>(pane.Log().MemoryBytes() - pane.Log().TextBytes()) / static_cast<double>(lines);
            pane.SetView(nullptr);
        }
    }
}
BENCHMARK(BM_MemoryPerRetainedLine)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Jumps to an arbitrary place of a long log and paints one screen there, nothing of it laid out before.
void BM_ScrollAndPaintScreen(benchmark::State &state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    ChatPane pane(lines);
    for (std::size_t i = 0; i < lines; ++i) {
        AppendStyled(pane, static_cast<std::int64_t>(i));
    }
    auto view = ShownView(pane);
    std::uint64_t seed = 12345;
    for (auto _ : state) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        view->ScrollToLine(static_cast<std::size_t>((seed >> 33) % lines));
        view->viewport()->repaint();
    }
    pane.SetView(nullptr);
}
BENCHMARK(BM_ScrollAndPaintScreen)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void FillLog(ChatPane &pane, std::size_t lines) {
    for (std::size_t i = 0; i < lines; ++i) {
        AppendStyled(pane, static_cast<std::int64_t>(i));
    }
}

// The writer alone, into memory that is reused: the figure Save Log can reach before the disk has its say.
void BM_RtfOutput(benchmark::State &state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    ChatPane pane(lines);
    FillLog(pane, lines);
    std::string buffer;
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        RtfWriter().Write(pane.Log(), [&](std::string_view piece) {
            buffer.assign(piece);
            bytes += piece.size();
            return true;
        });
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["output_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_RtfOutput)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Save Log as the user gets it: a temporary file, synced to disk and renamed over the target.
void BM_SaveLogToFile(benchmark::State &state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    ChatPane pane(lines);
    FillLog(pane, lines);
    const char *folder = std::getenv("TMPDIR");
    const std::string path =
        std::string(folder ? folder : "/tmp") + "/gabbler-bench-" + std::to_string(::getpid()) + ".rtf";
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const FileResult result = pane.SaveLog(path);
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            break;
        }
        state.PauseTiming();
        bytes += static_cast<std::int64_t>(ReadWholeFile(path).value_or("").size());
        state.ResumeTiming();
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_SaveLogToFile)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

// The baseline: the stock plain-text widget doing the same appends (two formatted runs, a new block, follow the
// end), read-only and without undo, keeping at most range(0) lines.
struct PlainTextPane {
    explicit PlainTextPane(int retained) {
        edit.setReadOnly(true);
        edit.setUndoRedoEnabled(false);
        edit.setMaximumBlockCount(retained);
        edit.resize(800, 600);
        edit.show();
        if (!QTest::qWaitForWindowExposed(&edit)) {
            std::fprintf(stderr, "the plain text edit was not shown\n");
        }
        prefix.setForeground(QColor(0, 0, 0));
        styled.setForeground(QColor(0, 0, 255));
        styled.setFontWeight(QFont::Bold);
        styled.setFontItalic(true);
        styled.setFontUnderline(true);
    }
    void Append(std::int64_t i) {
        QTextCursor cursor(edit.document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString::fromStdString(ChatPane::TimestampPrefix(kStart + i / 1000)), prefix);
        cursor.insertText(QString::fromStdString(ChatTexts()[static_cast<std::size_t>(i) % 1024]), styled);
        cursor.insertBlock();
        edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
    }
    QPlainTextEdit edit;
    QTextCharFormat prefix;
    QTextCharFormat styled;
};

void BM_BaselinePlainTextEditAppend(benchmark::State &state) {
    const auto retained = static_cast<int>(state.range(0));
    const std::int64_t paintEvery = state.range(1);
    PlainTextPane pane(retained);
    std::int64_t i = 0;
    for (; i < retained; ++i) {
        pane.Append(i);
    }
    Settle();
    std::int64_t sincePaint = 0;
    for (auto _ : state) {
        pane.Append(i++);
        if (++sincePaint == paintEvery) {
            sincePaint = 0;
            Settle();
        }
    }
}
BENCHMARK(BM_BaselinePlainTextEditAppend)
    ->ArgNames({"retained", "paint_every"})
    ->Args({10, 100})
    ->Unit(benchmark::kMicrosecond);
// Filling the widget takes many seconds, so these run once with a fixed count instead of being tried at growing
// counts, each try filling it again. 30,000 lines at 10,000 a tick make a few repaints part of the figure.
BENCHMARK(BM_BaselinePlainTextEditAppend)
    ->ArgNames({"retained", "paint_every"})
    ->Args({100000, 100})
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselinePlainTextEditAppend)
    ->ArgNames({"retained", "paint_every"})
    ->Args({100000, 10000})
    ->Iterations(30000)
    ->Unit(benchmark::kMicrosecond);

void BM_BaselinePlainTextEditMemory(benchmark::State &state) {
    const auto lines = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        {
            PlainTextPane pane(lines);
            std::size_t text = 0;
            for (int i = 0; i < lines; ++i) {
                pane.Append(i);
                text += ChatPane::TimestampPrefix(kStart + i / 1000).size() + ChatTexts()[i % 1024].size();
            }
            Settle();
            const double used = static_cast<double>(HeapInUse() - before);
            state.counters["bytes_per_line_beyond_text"] =
                (used - static_cast<double>(text)) / static_cast<double>(lines);
        }
    }
}
BENCHMARK(BM_BaselinePlainTextEditMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
