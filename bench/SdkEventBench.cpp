// The SDK's event pump: frames arrive on a loopback socket from a peer that floods them, and SdkWait reads, checks,
// decodes and dispatches them to handlers that do nothing but count. The peer writes a busy world's mix: arrivals
// with every attribute, moves, chat lines and departures.

#include "FloodPeer.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>

namespace {

constexpr std::int64_t kFramesPerPattern = 1000;

// kFramesPerPattern event frames: per four, one arrival, one move, one chat line, one departure.
std::string EventPattern() {
    std::string out;
    for (int i = 0; i < kFramesPerPattern / 4; ++i) {
        const int session = 1000 + i;
        const std::string name = i % 5 == 0 ? "[Helper" + std::to_string(i) + "]" : "Visitor" + std::to_string(i);
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarAdd)
            .Int(kAttrAvatarSession, session)
            .String(kAttrAvatarName, name)
            .Int(kAttrAvatarX, i * 100)
            .Int(kAttrAvatarY, 0)
            .Int(kAttrAvatarZ, -i * 100)
            .Int(kAttrAvatarYaw, 900)
            .Int(kAttrAvatarType, 3)
            .Int(kAttrAvatarBuild, 361)
            .Int(kAttrAvatarCitizen, i)
            .Int(kAttrAvatarPrivilege, i)
            .Finish();
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarChange)
            .Int(kAttrAvatarSession, session)
            .String(kAttrAvatarName, name)
            .Int(kAttrAvatarX, i * 100 + 50)
            .Int(kAttrAvatarY, 0)
            .Int(kAttrAvatarZ, -i * 100)
            .Int(kAttrAvatarYaw, 1800)
            .Int(kAttrAvatarType, 3)
            .Finish();
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Event), 0, kEventChat)
            .Int(kAttrChatSession, session)
            .String(kAttrAvatarName, name)
            .String(kAttrChatMessage, "anyone here going to the fountain tonight?")
            .Int(kAttrChatType, 0)
            .Finish();
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarDelete)
            .Int(kAttrAvatarSession, session)
            .String(kAttrAvatarName, name)
            .Finish();
    }
    return out;
}

// range(0): events per round, all written by the peer and all delivered before the round ends.
void BM_SdkEventPump(benchmark::State &state) {
    const std::int64_t events = state.range(0);
    if (SdkInit(kSdkBuild) != 0) {
        state.SkipWithError("SdkInit failed");
        return;
    }
    FloodPeer peer;
    if (peer.Connect() != 0) {
        state.SkipWithError("cannot log in to the flood peer");
        SdkTerm();
        return;
    }
    static const std::string pattern = EventPattern();
    std::int64_t delivered = 0;
    for (const int event : {kEventAvatarAdd, kEventAvatarChange, kEventAvatarDelete, kEventChat}) {
        SdkSetEventHandler(event, [&delivered] { ++delivered; });
    }
    std::int64_t pumps = 0;
    for (auto _ : state) {
        delivered = 0;
        for (std::int64_t sent = 0; sent < events; sent += kFramesPerPattern) {
            peer.Send(pattern);
        }
        while (delivered < events) {
            SdkWait(0);
            ++pumps;
        }
    }
    if (delivered != events) {
        state.SkipWithError("more events arrived than were sent");
    }
    state.SetItemsProcessed(events * state.iterations());
    state.SetBytesProcessed(events / kFramesPerPattern * static_cast<std::int64_t>(pattern.size()) *
                            state.iterations());
    state.counters["events_per_s"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["events_per_pump"] =
        static_cast<double>(events) * static_cast<double>(state.iterations()) / static_cast<double>(pumps);
    SdkTerm();
}
BENCHMARK(BM_SdkEventPump)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
