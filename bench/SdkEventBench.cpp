// The SDK's event pump: frames arrive on a loopback socket from a peer that floods them, and SdkWait reads, checks,
// decodes and dispatches them to handlers that do nothing but count. The peer writes a busy world's mix: arrivals
// with every attribute, moves, chat lines and departures.

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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

// A one-connection peer on a loopback port: answers the handshake and the login, then writes as many frames as
// it is asked for, from its own thread, while the SDK reads them.
class FloodPeer {
public:
    FloodPeer() : pattern_(EventPattern()) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listen_, 1) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr *>(&a), &length) != 0) {
            std::fprintf(stderr, "the flood peer could not listen: %s\n", std::strerror(errno));
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~FloodPeer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (const int c = client_; c >= 0) {
            ::shutdown(c, SHUT_RDWR);
        }
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        thread_.join();
    }

    int Port() const { return port_; }
    std::size_t PatternBytes() const { return pattern_.size(); }

    // Asks for `frames` more frames, a whole number of patterns.
    void Send(std::int64_t frames) {
        {
            std::lock_guard lock(mutex_);
            owed_ += frames / kFramesPerPattern;
        }
        wake_.notify_all();
    }

private:
    static bool ReadFrame(int s, std::string &frame) {
        frame.assign(4, '\0');
        if (!ReadAll(s, frame.data(), 4)) {
            return false;
        }
        std::uint32_t length = 0;
        std::memcpy(&length, frame.data(), 4);
        if (length > kMaxFrameSize) {
            return false;
        }
        frame.resize(4 + length);
        return ReadAll(s, frame.data() + 4, length);
    }

    static bool ReadAll(int s, char *data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::recv(s, data + done, size - done, 0);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    static bool Write(int s, const std::string &bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    static std::uint32_t IdOf(const std::string &frame) {
        return FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()).Header().id;
    }

    void Run() {
        const int s = ::accept(listen_, nullptr, nullptr);
        if (s < 0) {
            return;
        }
        client_ = s;
        std::string frame, out;
        if (ReadFrame(s, frame)) {
            FrameWriter(out, static_cast<std::uint16_t>(MessageType::HelloReply), IdOf(frame), 0).Finish();
            Write(s, out);
        }
        out.clear();
        if (ReadFrame(s, frame)) {
            FrameWriter(out, static_cast<std::uint16_t>(MessageType::Reply), IdOf(frame), 0)
                .Int(kFieldMySession, 42)
                .Finish();
            Write(s, out);
        }
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || owed_ > 0; });
                if (stop_) {
                    break;
                }
                --owed_;
            }
            if (!Write(s, pattern_)) {
                break;
            }
        }
        client_ = -1;
        ::close(s);
    }

    const std::string pattern_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<int> client_{-1};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::int64_t owed_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

// range(0): events per round, all written by the peer and all delivered before the round ends.
void BM_SdkEventPump(benchmark::State &state) {
    const std::int64_t events = state.range(0);
    if (SdkInit(kSdkBuild) != 0) {
        state.SkipWithError("SdkInit failed");
        return;
    }
    FloodPeer peer;
    if (SdkCreate("127.0.0.1", peer.Port(), 0) != 0) {
        state.SkipWithError("SdkCreate failed");
        SdkTerm();
        return;
    }
    SdkSetInt(kAttrLoginCitizen, 1);
    SdkSetString(kAttrLoginPassword, "pw");
    SdkSetString(kAttrLoginName, "Bench");
    if (SdkLogin() != 0) {
        state.SkipWithError("SdkLogin failed");
        SdkTerm();
        return;
    }
    std::int64_t delivered = 0;
    for (const int event : {kEventAvatarAdd, kEventAvatarChange, kEventAvatarDelete, kEventChat}) {
        SdkSetEventHandler(event, [&delivered] { ++delivered; });
    }
    std::int64_t pumps = 0;
    for (auto _ : state) {
        delivered = 0;
        peer.Send(events);
        while (delivered < events) {
            SdkWait(0);
            ++pumps;
        }
    }
    if (delivered != events) {
        state.SkipWithError("more events arrived than were sent");
    }
    state.SetItemsProcessed(events * state.iterations());
    state.SetBytesProcessed(events / kFramesPerPattern * static_cast<std::int64_t>(peer.PatternBytes()) *
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
