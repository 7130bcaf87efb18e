// The Worlds tab: a complete world-list answer rebuilds the rows from the world records, drops the empty and
// private worlds and sorts the rest; a header click sorts them again. Both are timed as the user meets them, up to
// the shown list having painted, with the list's own share and the view's share as counters.

#include "chat/WorldList.h"
#include "chat/WorldRecords.h"
#include "chat/ui/WorldListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QTest>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Names of mixed case and length, some sharing long beginnings, so that comparisons do real work.
WorldRecords MakeRecords(std::int64_t count) {
    static const char *stems[] = {"Alpha", "beta", "GAMMA", "Delta", "epsilon", "Zeta", "eta", "Theta", "iota"};
    WorldRecords records;
    std::uint64_t seed = 42;
    for (std::int64_t i = 0; i < count; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const auto r = static_cast<int>(seed >> 33);
        std::string name = stems[r % 9];
        name += (r / 9) % 2 ? "World" : "world";
        name += std::to_string(i);
        // About one in ten empty, one in ten private, one in twenty of unknown state.
        const int status = r % 10 == 0 ? 2 : r % 20 == 1 ? 0 : 1;
        const int users = (r / 7) % 10 == 0 ? 0 : (r / 70) % 500;
        records.Report(name, status, users);
    }
    return records;
}

QIcon StatusIcon(int status) {
    QPixmap picture(16, 16);
    picture.fill(status == 1 ? Qt::blue : status == 2 ? Qt::gray : Qt::yellow);
    return QIcon(picture);
}

void Settle() {
    // Two passes: the view's queued layout, then the paint it asked for.
    QApplication::processEvents();
    QApplication::processEvents();
}

struct ShownList {
    ShownList() : view(list, StatusIcon) {
        view.resize(400, 600);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view)) {
            std::fprintf(stderr, "the world list was not shown\n");
        }
        Settle();
    }
    WorldList list;
    WorldListView view;
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// range(0): worlds in the records.
void BM_WorldListRebuild(benchmark::State &state) {
    const WorldRecords records = MakeRecords(state.range(0));
    ShownList shown;
    double logic = 0, view = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        shown.list.Rebuild(records, true, true);
        const auto built = Clock::now();
        shown.view.Refresh();
        Settle();
        const auto painted = Clock::now();
        logic += Milliseconds(built - start);
        view += Milliseconds(painted - built);
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["list_ms"] = logic / n;
    state.counters["view_ms"] = view / n;
    state.counters["rows"] = static_cast<double>(shown.list.Rows().size());
}
BENCHMARK(BM_WorldListRebuild)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

// A real mouse click on the header, alternating between the two columns so that every click changes the order.
void BM_WorldListHeaderClick(benchmark::State &state) {
    const WorldRecords records = MakeRecords(state.range(0));
    ShownList shown;
    shown.list.Rebuild(records, true, true);
    shown.view.Refresh();
    Settle();
    QHeaderView *header = shown.view.header();
    int column = 0;
    double logic = 0, view = 0;
    for (auto _ : state) {
        column = 1 - column;
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        const auto start = Clock::now();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        const auto sorted = Clock::now();
        Settle();
        const auto painted = Clock::now();
        logic += Milliseconds(sorted - start);
        view += Milliseconds(painted - sorted);
        state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["click_ms"] = logic / n;
    state.counters["paint_ms"] = view / n;
    state.counters["sort_key"] = shown.list.SortKey();
}
BENCHMARK(BM_WorldListHeaderClick)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

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
