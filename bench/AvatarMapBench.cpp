// The avatar map in a crowd: one paint of every mark with its name, the grid, the labels and the bot, into an image
// and into the shown view. The marks spread over the automatic view, so every one of them is drawn.

#include "places/AvatarMap.h"
#include "places/ui/AvatarMapView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Every avatar has a name of its own, as in a real world, so every name has its own picture.
std::string MarkName(int i) {
    switch (i % 3) {
    case 0:
        return "Citizen" + std::to_string(i);
    case 1:
        return "[bot" + std::to_string(i) + "]";
    default:
        return "\"visitor" + std::to_string(i) + "\"";
    }
}

template <class Map> void AddMarks(Map &map, int count) {
    map.SetGrid(1000);
    for (int i = 0; i < count; ++i) {
        map.AddOrUpdateMark(i, MarkName(i), (i * 7919) % 20000 - 10000, (i * 104729) % 20000 - 10000);
    }
    map.SetCentre(0, 0);
}

QFont MapFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

// range(0): marks. range(1): 1 when the name pictures are made anew for each paint (the first paint after a
// crowd arrived), 0 when they are already made (every later paint).
void BM_PaintAvatarMapImage(benchmark::State &state) {
    AvatarMap map;
    AddMarks(map, static_cast<int>(state.range(0)));
    const bool cold = state.range(1) != 0;
    QImage image(400, 400, QImage::Format_RGB32);
    const QFont font = MapFont();
    MapTextCache cache;
    {
        QPainter painter(&image);
        PaintAvatarMap(painter, map, 400, 400, font, cache);
    }
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            cache = MapTextCache();
            state.ResumeTiming();
        }
        QPainter painter(&image);
        PaintAvatarMap(painter, map, 400, 400, font, cache);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintAvatarMapImage)
    ->ArgNames({"marks", "cold"})
    ->ArgsProduct({{500, 5000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The map window's view, shown on the platform, repainted at once (its paint event, frame and all).
void BM_PaintAvatarMapWidget(benchmark::State &state) {
    AvatarMapView view;
    AddMarks(view, static_cast<int>(state.range(0)));
    view.resize(402, 402);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        std::fprintf(stderr, "the map view was not shown\n");
    }
    QApplication::processEvents();
    for (auto _ : state) {
        view.repaint();
    }
}
BENCHMARK(BM_PaintAvatarMapWidget)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

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
