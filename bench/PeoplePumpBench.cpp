// A crowd arriving and leaving, from the socket to the screen: a peer writes the avatar events of a whole crowd,
// SdkWait reads and decodes them into the program's people handlers, which fill the roster, the shown Users list,
// the two counters, the avatar map window and the chat pane; then the event loop lays out and paints once, as it
// does after each pump. The settings are the program's defaults, under which the map window is shown.

#include "FloodPeer.h"
#include "app/Settings.h"
#include "chat/ChatPane.h"
#include "chat/People.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/PeopleCounter.h"
#include "chat/ui/UsersListView.h"
#include "places/ui/AvatarMapView.h"
#include "places/ui/AvatarMapWindow.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Names of every kind, in an order unrelated to the sorted one; positions within the hearing radius.
struct Crowd {
    explicit Crowd(int count) {
        std::vector<int> order(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const int session = 100 + i;
            const unsigned h = static_cast<unsigned>(i) * 2654435761u;
            std::string name = i % 10 == 0   ? "[Bot" + std::to_string(h % 1000000) + "]"
                               : i % 10 == 1 ? "\"Guest" + std::to_string(h % 1000000) + "\""
                                             : "Citizen" + std::to_string(h % 10000000);
            FrameWriter(arrivals, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarAdd)
                .Int(kAttrAvatarSession, session)
                .String(kAttrAvatarName, name)
                .Int(kAttrAvatarX, static_cast<int>(h % 40000) - 20000)
                .Int(kAttrAvatarY, 0)
                .Int(kAttrAvatarZ, static_cast<int>((h / 40000) % 40000) - 20000)
                .Int(kAttrAvatarYaw, 900)
                .Int(kAttrAvatarType, 1)
                .Int(kAttrAvatarBuild, 400)
                .Int(kAttrAvatarCitizen, i % 10 == 1 ? 0 : session)
                .Int(kAttrAvatarPrivilege, i % 10 == 1 ? 0 : session)
                .Finish();
            names.push_back(std::move(name));
            order[static_cast<std::size_t>(i)] = i;
        }
        // People leave in another order than they came.
        std::shuffle(order.begin(), order.end(), std::mt19937(11));
        for (const int i : order) {
            FrameWriter(departures, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarDelete)
                .Int(kAttrAvatarSession, 100 + i)
                .String(kAttrAvatarName, names[static_cast<std::size_t>(i)])
                .Finish();
        }
    }
    std::vector<std::string> names;
    std::string arrivals;
    std::string departures;
};

void Settle() {
    // Two passes: the views' delayed layout and counter updates, then the paint they asked for.
    QApplication::processEvents();
    QApplication::processEvents();
}

// The people part of the program's window, each piece shown as the program shows it.
class Screen : public PeopleView {
public:
    Screen() {
        users.show();
        bots.show();
        map.show();
    }
    void SetCounters(int u, int b) override {
        users.SetCount(u);
        bots.SetCount(b);
    }
    void SetWhisperLabel(std::string_view) override {}
    void SetWhisperText(std::string_view) override {}
    void EnableWhisperBox(bool) override {}
    void PlaySound(const std::string &) override {}
    void AddOrMoveMark(int session, const std::string &name, int x, int z) override {
        map.View().AddOrUpdateMark(session, name, x, z);
    }
    void RemoveMark(int session) override { map.View().RemoveMarks(session); }
    void ClearMarks() override { map.View().ClearMarks(); }

    PeopleCounter users{QStringLiteral("Users")};
    PeopleCounter bots{QStringLiteral("Bots")};
    AvatarMapWindow map;
};

struct Program {
    Program() {
        chatView.resize(800, 500);
        chatView.show();
        list.resize(250, 500);
        list.show();
        screen.map.View().SetGrid(1000);
        if (!QTest::qWaitForWindowExposed(&list)) {
            std::fprintf(stderr, "the Users list was not shown\n");
        }
        people.InstallHandlers();
        Settle();
    }
    Settings settings;
    std::string botName = "Bench";
    int citizen = 1;
    std::string owner = "Owner";
    std::string selectedName, whisperName;
    int selectedSession = 0, whisperSession = 0;
    ChatPane chat;
    ChatView chatView{chat};
    Screen screen;
    People people{chat, screen,
                  PeopleSettings{settings.displayEnterExit, settings.timestampMsgs, settings.playAvEntrySound,
                                 settings.avEntryWaveLocation, settings.playWave, settings.waveLocation,
                                 settings.showAvClicks},
                  PeopleSession{botName, citizen, owner, PersonSlot{selectedName, selectedSession},
                                PersonSlot{whisperName, whisperSession}, [] { return false; }}};
    UsersListView list{people};
};

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Phase {
    double wall = 0;  // seconds
    double cpu = 0;   // of this thread alone, which a busy machine disturbs less
    double paint = 0; // the part of the wall time after the pump: layout and paint
};

// Pumps until the roster holds `count` people, then lets the event loop lay out and paint.
Phase PumpUntil(const Program &program, std::size_t count) {
    const auto start = Clock::now();
    const double cpu = ThreadCpuSeconds();
    while (program.people.Roster().Count() != count) {
        SdkWait(0);
    }
    const auto pumped = Clock::now();
    Settle();
    const auto end = Clock::now();
    return {std::chrono::duration<double>(end - start).count(), ThreadCpuSeconds() - cpu,
            std::chrono::duration<double>(end - pumped).count()};
}

// range(0): people in the crowd. range(1): 0 times the arrivals, 1 the departures; every round has both.
void BM_PeoplePump(benchmark::State &state) {
    const Crowd crowd(static_cast<int>(state.range(0)));
    const bool departures = state.range(1) == 1;
    if (SdkInit(kSdkBuild) != 0) {
        state.SkipWithError("SdkInit failed");
        return;
    }
    {
        FloodPeer peer;
        if (peer.Connect() != 0) {
            state.SkipWithError("cannot log in to the flood peer");
            SdkTerm();
            return;
        }
        Program program;
        const auto count = crowd.names.size();
        double cpu = 0, paint = 0;
        for (auto _ : state) {
            peer.Send(crowd.arrivals);
            const Phase in = PumpUntil(program, count);
            peer.Send(crowd.departures);
            const Phase out = PumpUntil(program, 0);
            const Phase &timed = departures ? out : in;
            state.SetIterationTime(timed.wall);
            cpu += timed.cpu;
            paint += timed.paint;
        }
        const auto n = static_cast<double>(state.iterations());
        state.counters["ui_cpu_ms"] = cpu * 1e3 / n;
        state.counters["paint_ms"] = paint * 1e3 / n;
        SdkDestroy();
    }
    SdkTerm();
}
BENCHMARK(BM_PeoplePump)
    ->ArgNames({"people", "departures"})
    ->ArgsProduct({{1000, 10000, 20000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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
