// A busy world's arrivals and departures delivered in one pump: the real avatar handlers with their Users list
// model and its shown view, the counters, the map marks and the enter and exit lines, then the one layout and
// repaint that follow the pump. Sizes of 10,000 and 20,000 show whether the cost grows linearly; the ratios are
// printed at the end.

#include "chat/ChatPane.h"
#include "chat/People.h"
#include "chat/ui/PeopleCounter.h"
#include "chat/ui/UsersListView.h"
#include "places/AvatarMap.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <QApplication>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// What the main window does with the counters and the map marks. The map is either a stand-in that keeps the
// marks by session, which is what the map needs at this scale, or the program's avatar map.
template <class Map> class BenchView : public PeopleView {
public:
    BenchView() {
        users_.show();
        bots_.show();
    }
    void SetCounters(int users, int bots) override {
        users_.SetCount(users);
        bots_.SetCount(bots);
    }
    void SetWhisperLabel(std::string_view) override {}
    void SetWhisperText(std::string_view) override {}
    void EnableWhisperBox(bool) override {}
    void PlaySound(const std::string &) override {}
    void AddOrMoveMark(int session, const std::string &name, int x, int z) override {
        map_.AddOrUpdateMark(session, name, x, z);
    }
    void RemoveMark(int session) override { map_.RemoveMarks(session); }
    void ClearMarks() override { map_.ClearMarks(); }

private:
    PeopleCounter users_{QStringLiteral("Users")};
    PeopleCounter bots_{QStringLiteral("Bots")};
    Map map_;
};

class MarksBySession {
public:
    void AddOrUpdateMark(int session, const std::string &name, int x, int z) {
        marks_[session] = {session, z, x, name};
    }
    void RemoveMarks(int session) { marks_.erase(session); }
    void ClearMarks() { marks_.clear(); }

private:
    std::unordered_map<int, MapMark> marks_;
};

void Settle() {
    // Two passes: the views' delayed layout and counter updates, then the paint they asked for.
    QApplication::processEvents();
    QApplication::processEvents();
}

// One run's people with everything they are bound to.
template <class Map> struct World {
    bool displayEnterExit = true;
    bool off = false;
    std::string none;
    std::string botName = "Bench";
    int citizen = 1;
    std::string owner = "Owner";
    std::string selectedName, whisperName;
    int selectedSession = 0, whisperSession = 0;
    ChatPane chat;
    BenchView<Map> view;
    People people{chat, view, PeopleSettings{displayEnterExit, off, off, none, off, none, off},
                  PeopleSession{botName, citizen, owner, PersonSlot{selectedName, selectedSession},
                                PersonSlot{whisperName, whisperSession}, [] { return false; }}};
    UsersListView list{people};

    World() {
        list.resize(250, 600);
        list.show();
        Settle();
    }
};

// Names of every kind, in an order unrelated to the sorted one.
std::vector<std::string> Names(int count) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const unsigned h = static_cast<unsigned>(i) * 2654435761u;
        switch (i % 10) {
        case 0:
            names.push_back("[Bot" + std::to_string(h % 100000) + "]");
            break;
        case 1:
            names.push_back("\"Guest" + std::to_string(h % 100000) + "\"");
            break;
        default:
            names.push_back("Citizen" + std::to_string(h % 1000000));
        }
    }
    return names;
}

void Arrive(People &people, const std::string &name, int session) {
    SdkSetString(kAttrAvatarName, name);
    SdkSetInt(kAttrAvatarSession, session);
    SdkSetInt(kAttrAvatarX, (session * 7919) % 40000 - 20000);
    SdkSetInt(kAttrAvatarY, 0);
    SdkSetInt(kAttrAvatarZ, (session * 104729) % 40000 - 20000);
    SdkSetInt(kAttrAvatarYaw, 0);
    SdkSetInt(kAttrAvatarType, 1);
    SdkSetInt(kAttrAvatarBuild, 400);
    SdkSetInt(kAttrAvatarCitizen, session);
    SdkSetInt(kAttrAvatarPrivilege, session);
    people.OnAvatarAdd();
}

void Depart(People &people, const std::string &name, int session) {
    SdkSetString(kAttrAvatarName, name);
    SdkSetInt(kAttrAvatarSession, session);
    people.OnAvatarDelete();
}

void ArriveAll(People &people, const std::vector<std::string> &names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        Arrive(people, names[i], static_cast<int>(i) + 1);
    }
}

void DepartAll(People &people, const std::vector<std::string> &names) {
    // Departures come in another order than arrivals.
    std::vector<int> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(11));
    for (const int i : order) {
        Depart(people, names[static_cast<std::size_t>(i)], i + 1);
    }
}

template <class Map> void BM_PeopleArrivals(benchmark::State &state) {
    const auto names = Names(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<World<Map>>();
        state.ResumeTiming();
        ArriveAll(world->people, names);
        Settle();
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Map> void BM_PeopleDepartures(benchmark::State &state) {
    const auto names = Names(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<World<Map>>();
        ArriveAll(world->people, names);
        Settle();
        state.ResumeTiming();
        DepartAll(world->people, names);
        Settle();
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The round the figures are judged by: everybody arrives in one pump and leaves in the next.
template <class Map> void BM_PeopleArrivalsThenDepartures(benchmark::State &state) {
    const auto names = Names(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<World<Map>>();
        state.ResumeTiming();
        ArriveAll(world->people, names);
        Settle();
        DepartAll(world->people, names);
        Settle();
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}

void Register() {
    const auto sized = [](benchmark::internal::Benchmark *b, std::initializer_list<std::int64_t> sizes) {
        for (const std::int64_t n : sizes) {
            b->Arg(n);
        }
        b->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    sized(benchmark::RegisterBenchmark("BM_PeopleArrivals", BM_PeopleArrivals<MarksBySession>), {1000, 10000, 20000});
    sized(benchmark::RegisterBenchmark("BM_PeopleDepartures", BM_PeopleDepartures<MarksBySession>),
          {1000, 10000, 20000});
    sized(benchmark::RegisterBenchmark("BM_PeopleArrivalsThenDepartures",
                                       BM_PeopleArrivalsThenDepartures<MarksBySession>),
          {10000, 20000});
    // The same round with the program's avatar map behind the marks.
    sized(benchmark::RegisterBenchmark("BM_PeopleWithAvatarMapArrivalsThenDepartures",
                                       BM_PeopleArrivalsThenDepartures<AvatarMap>),
          {10000, 20000});
}

// Keeps the real time of every run so the growth between the two sizes can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || median)) {
                real_[run.run_name.str()].push_back(run.GetAdjustedRealTime());
                cpu_[run.run_name.str()].push_back(run.GetAdjustedCPUTime());
            }
        }
    }
    void PrintRatios() const {
        for (const char *kind : {"BM_PeopleArrivals", "BM_PeopleDepartures", "BM_PeopleArrivalsThenDepartures",
                                 "BM_PeopleWithAvatarMapArrivalsThenDepartures"}) {
            const std::string small = std::string(kind) + "/10000/real_time";
            const std::string large = std::string(kind) + "/20000/real_time";
            const double realSmall = Median(real_, small), realLarge = Median(real_, large);
            const double cpuSmall = Median(cpu_, small), cpuLarge = Median(cpu_, large);
            if (realSmall > 0 && realLarge > 0 && cpuSmall > 0) {
                // Processor time is the steadier figure on a shared machine.
                std::printf("%s: 10,000 in %.1f ms, 20,000 in %.1f ms, ratio %.2f; processor time ratio %.2f (2 is "
                            "linear)\n",
                            kind, realSmall, realLarge, realLarge / realSmall, cpuLarge / cpuSmall);
            }
        }
    }

private:
    using Times = std::map<std::string, std::vector<double>>;
    static double Median(const Times &times, const std::string &name) {
        const auto found = times.find(name);
        if (found == times.end() || found->second.empty()) {
            return 0;
        }
        std::vector<double> t = found->second;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
    Times real_;
    Times cpu_;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (SdkInit(kSdkBuild) != 0) {
        std::fprintf(stderr, "SdkInit failed\n");
        return 1;
    }
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    SdkTerm();
    return 0;
}
