// Servers at both ends of the speed range: one that trickles a frame a byte at a time and one that floods. The
// pump stays short and cheap, memory stays bounded, and what does arrive is delivered whole, once and in order.

#include "robustness/PeerSupport.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB() {
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// One connection: greets as an older server (no heartbeat, which would rightly cut a trickler off) and then runs
// the test's script with the socket.
class ScriptedServer {
public:
    explicit ScriptedServer(std::function<void(int, const std::atomic<bool> &)> script)
        : listener_(peer::Listen(0)), script_(std::move(script)) {
        port_ = peer::PortOf(listener_);
        thread_ = std::thread([this] {
            const int c = peer::Accept(listener_, 5s);
            if (c < 0)
                return;
            if (peer::Greet(c, false, false))
                script_(c, stop_);
            ::shutdown(c, SHUT_RDWR);
            ::close(c);
        });
    }
    ~ScriptedServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    int Port() const { return port_; }

private:
    int listener_;
    int port_ = 0;
    std::function<void(int, const std::atomic<bool> &)> script_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class NetSlowPeerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SdkInit(kSdkBuild), 0); }
    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
    }

    static int Login(int port) {
        if (const int r = SdkCreate("127.0.0.1", port, 0))
            return r;
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, "pw");
        SdkSetString(kAttrLoginName, "Bot");
        return SdkLogin();
    }
};

TEST_F(NetSlowPeerTest, ATricklingServerNeitherHoldsNorBusiesThePumpAndItsFrameArrivesWhole) {
    SdkTuning tuning;
    tuning.requestTimeout = 300ms;
    SdkSetTuning(tuning);
    const std::string line = "every byte of this came on its own";
    const std::string frame = peer::ChatEvent(5, line);
    ScriptedServer server([&](int s, const std::atomic<bool> &stop) {
        for (std::size_t i = 0; i < frame.size() && !stop; ++i) {
            peer::WriteAll(s, std::string_view(frame).substr(i, 1));
            std::this_thread::sleep_for(40ms);
        }
        std::string ignored;
        while (!stop)
            peer::ReadFrame(s, ignored, 50ms); // requests go unanswered
    });
    ASSERT_EQ(Login(server.Port()), 0);
    std::vector<std::string> heard;
    SdkSetEventHandler(kEventChat, [&] { heard.push_back(SdkGetString(kAttrChatMessage)); });

    auto longest = Clock::duration::zero();
    const auto pump = [&](Clock::duration time) {
        const auto end = Clock::now() + time;
        while (heard.empty() && Clock::now() < end) {
            const auto before = Clock::now();
            SdkWait(100);
            longest = std::max(longest, Clock::now() - before);
        }
    };
    // Between the bytes the SDK sleeps in poll; a busy loop would use a whole core for the whole time.
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    pump(1s);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.3 * wall) << "the pump spun while waiting";

    // A request made while half a frame is in: the half is no answer, and the request gives up on time.
    ASSERT_TRUE(heard.empty());
    EXPECT_EQ(SdkCitizenByNumber(2), 402);

    pump(10s);
    ASSERT_EQ(heard.size(), 1u) << "the frame came whole, once";
    EXPECT_EQ(heard[0], line);
    // A pump that waited for the rest of the frame would take the whole trickle, seconds.
    EXPECT_LT(longest, 1s) << "one SdkWait(100) was held by the partial frame";
}

TEST_F(NetSlowPeerTest, ABlockingRequestAnsweredLateWaitsWithoutSpinningWhileEventsQueueUp) {
    ScriptedServer server([](int s, const std::atomic<bool> &stop) {
        peer::WriteAll(s, peer::ChatEvent(5, "before the answer"));
        std::string request;
        if (!peer::ReadFrame(s, request, 5s))
            return;
        std::this_thread::sleep_for(600ms);
        peer::WriteAll(s, peer::Frame(MessageType::Reply, peer::Reader(request).Header().id, 0,
                                      [](FrameWriter &w) { w.Int(kAttrCitizenNumber, 2); }));
        while (!stop)
            peer::ReadFrame(s, request, 50ms);
    });
    ASSERT_EQ(Login(server.Port()), 0);
    std::vector<std::string> heard;
    SdkSetEventHandler(kEventChat, [&] { heard.push_back(SdkGetString(kAttrChatMessage)); });
    std::this_thread::sleep_for(100ms); // the event is in before the request goes out

    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    EXPECT_EQ(SdkCitizenByNumber(2), 0);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(wall, 0.5);
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.3 * wall) << "the request spun on the queued event";
    EXPECT_TRUE(heard.empty()) << "handlers run only inside SdkWait";
    SdkWait(0);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], "before the answer");
}

TEST_F(NetSlowPeerTest, AFloodIsDeliveredInOrderInBoundedPiecesWithBoundedMemory) {
    constexpr int kLines = 40000;
    constexpr std::size_t kPerWait = 50;
    SdkTuning tuning;
    tuning.maxQueuedBytes = 512 * 1024;
    tuning.maxDeliveriesPerWait = kPerWait;
    SdkSetTuning(tuning);
    // Each line carries a kilobyte in a field no attribute takes, so the flood is large and its lines are checked.
    // The whole flood is made beforehand: making it as it goes would churn the allocator during the measurement.
    const std::string ballast(1000, '.');
    std::string flood;
    for (int i = 0; i < kLines; ++i)
        flood += peer::Frame(MessageType::Event, 0, kEventChat, [&](FrameWriter &w) {
            w.Int(kAttrChatSession, 5).String(kAttrChatMessage, std::to_string(i)).String(1500, ballast);
        });
    std::atomic<long long> written{0};
    ScriptedServer server([&](int s, const std::atomic<bool> &stop) {
        constexpr std::size_t kChunk = 64 * 1024;
        for (std::size_t at = 0; at < flood.size() && !stop; at += kChunk) {
            const std::string_view chunk = std::string_view(flood).substr(at, kChunk);
            if (!peer::WriteAll(s, chunk))
                return;
            written += static_cast<long long>(chunk.size());
        }
        std::string ignored;
        while (!stop)
            peer::ReadFrame(s, ignored, 50ms);
    });
    ASSERT_EQ(Login(server.Port()), 0);
    int next = 0, outOfOrder = 0;
    std::size_t inThisWait = 0, mostInOneWait = 0;
    SdkSetEventHandler(kEventChat, [&] {
        ++inThisWait;
        outOfOrder += SdkGetString(kAttrChatMessage) != std::to_string(next);
        ++next;
    });

    // The flood fills the socket buffers while nobody pumps; the SDK holds nothing of it yet.
    std::this_thread::sleep_for(300ms);
    const long baseline = ResidentKiB();
    long highest = baseline;
    const auto start = Clock::now();
    // Pumped as a window's timer would, only faster: the flood comes in much quicker than it is delivered.
    for (int pumps = 0; next < kLines && Clock::now() - start < 60s; ++pumps) {
        inThisWait = 0;
        SdkWait(0);
        mostInOneWait = std::max(mostInOneWait, inThisWait);
        if (pumps % 16 == 0)
            highest = std::max(highest, ResidentKiB());
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(next, kLines) << "every line arrived";
    EXPECT_EQ(outOfOrder, 0) << "none lost, doubled or reordered";
    EXPECT_LE(mostInOneWait, kPerWait) << "one pump did more than its share";
    EXPECT_GT(written.load(), 40LL * 1000 * 1000) << "the flood was much larger than the memory bound below";
    // The queue may hold half a MiB and one read a little more; 12 MiB leaves room for the allocator.
    EXPECT_LT(highest - baseline, 12 * 1024) << "resident memory grew with the flood";
}

} // namespace
