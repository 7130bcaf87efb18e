// The SDK against a scripted peer instead of the real server: one that never answers, one that drops the line,
// one that sends garbage and one that floods. None of them may hang, crash or grow the SDK without bound.

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A one-connection peer on a loopback port. It answers the handshake and the login; what it does next is the
// test's script, run on its own thread with the connected socket.
class ScriptedPeer {
public:
    using Script = std::function<void(int socket, ScriptedPeer &peer)>;

    explicit ScriptedPeer(Script script) : script_(std::move(script)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(listen_, 4);
        socklen_t length = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr *>(&a), &length);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~ScriptedPeer() {
        stop_ = true;
        if (const int c = client_; c >= 0)
            ::shutdown(c, SHUT_RDWR);
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        thread_.join();
    }

    int Port() const { return port_; }
    bool Stopping() const { return stop_; }

    // Reads one frame; false when the line is closed.
    static bool ReadFrame(int s, std::string &frame) {
        frame.assign(4, '\0');
        if (!ReadAll(s, frame.data(), 4))
            return false;
        std::uint32_t length = 0;
        std::memcpy(&length, frame.data(), 4);
        if (length > kMaxFrameSize)
            return false;
        frame.resize(4 + length);
        return ReadAll(s, frame.data() + 4, length);
    }

    static void Write(int s, const std::string &bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }

    static std::uint32_t IdOf(const std::string &frame) {
        return FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()).Header().id;
    }

    std::atomic<long long> written{0};

private:
    static bool ReadAll(int s, char *data, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::recv(s, data + done, size - done, 0);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    void Run() {
        const int s = ::accept(listen_, nullptr, nullptr);
        if (s < 0)
            return;
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
        if (!stop_)
            script_(s, *this);
        client_ = -1;
        ::close(s);
    }

    Script script_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> client_{-1};
    std::thread thread_;
};

class SdkPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SdkTuning tuning;
        tuning.requestTimeout = 200ms;
        tuning.reconnectFirstDelay = 10ms;
        tuning.reconnectMaxDelay = 50ms;
        SdkSetTuning(tuning);
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
    }
    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
    }

    int LoginTo(const ScriptedPeer &peer) {
        if (const int r = SdkCreate("127.0.0.1", peer.Port(), 0))
            return r;
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, "pw");
        SdkSetString(kAttrLoginName, "Bot");
        return SdkLogin();
    }

    std::vector<std::pair<int, int>> Pump(std::chrono::milliseconds time) {
        std::vector<std::pair<int, int>> seen;
        SdkSetEventHandler(kEventWorldDisconnect,
                           [&] { seen.emplace_back(kEventWorldDisconnect, SdkGetInt(kAttrDisconnectReason)); });
        SdkSetCallbackHandler(kCallbackCitizenResult, [&](int r) { seen.emplace_back(-kCallbackCitizenResult, r); });
        const auto end = Clock::now() + time;
        while (Clock::now() < end)
            SdkWait(10);
        return seen;
    }
};

// Reads and ignores everything until the SDK goes away.
void Silent(int s, ScriptedPeer &) {
    std::string frame;
    while (ScriptedPeer::ReadFrame(s, frame)) {
    }
}

TEST_F(SdkPeerTest, ARequestWithoutAnswerTimesOut) {
    ScriptedPeer peer(Silent);
    ASSERT_EQ(LoginTo(peer), 0);
    EXPECT_EQ(SdkSession(), 42);
    const auto start = Clock::now();
    EXPECT_EQ(SdkCitizenByNumber(1), 402);
    EXPECT_GE(Clock::now() - start, 190ms);
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST_F(SdkPeerTest, AnOwedCallbackAndTheWorldReportTheLostConnection) {
    std::atomic<bool> drop{false};
    ScriptedPeer peer([&](int s, ScriptedPeer &) {
        std::string frame;
        ScriptedPeer::ReadFrame(s, frame); // the citizen request, never answered
        while (!drop && !peer.Stopping())
            std::this_thread::sleep_for(5ms);
    });
    ASSERT_EQ(LoginTo(peer), 0);
    SdkSetCallbackHandler(kCallbackCitizenResult, [](int) {});
    ASSERT_EQ(SdkCitizenByNumber(1), 0);
    drop = true;
    const auto seen = Pump(300ms);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(-kCallbackCitizenResult, 471));
    EXPECT_EQ(seen[1], std::make_pair(kEventWorldDisconnect, 471));
    EXPECT_EQ(SdkSay("hello?"), 439);
}

TEST_F(SdkPeerTest, GarbageFromThePeerEndsTheConnectionWithoutReconnecting) {
    struct Case {
        const char *name;
        std::string bytes;
    };
    std::string close;
    FrameWriter(close, static_cast<std::uint16_t>(MessageType::Close), 0, 463).Finish();
    std::string unknown;
    FrameWriter(unknown, 999, 0, 0).Finish();
    const Case cases[] = {
        {"a length beyond any frame", std::string("\xff\xff\xff\x7f", 4) + std::string(64, 'x')},
        {"a string running past its frame",
         std::string("\x13\x00\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x00\xcf\x00\x03\xff\x00"
                     "ab",
                     23)},
        {"a message type nobody knows", unknown},
        {"the peer's own protocol error", close},
    };
    for (const Case &c : cases) {
        ScriptedPeer peer([&](int s, ScriptedPeer &) {
            ScriptedPeer::Write(s, c.bytes);
            std::string frame;
            while (ScriptedPeer::ReadFrame(s, frame)) {
            }
        });
        ASSERT_EQ(LoginTo(peer), 0) << c.name;
        const auto seen = Pump(100ms);
        ASSERT_EQ(seen.size(), 1u) << c.name;
        EXPECT_EQ(seen[0], std::make_pair(kEventWorldDisconnect, 463)) << c.name;
        EXPECT_EQ(SdkSay("x"), 439) << c.name;
        SdkDestroy();
    }
}

TEST_F(SdkPeerTest, AFloodingPeerCannotGrowTheQueueWithoutBound) {
    SdkTuning tuning = SdkGetTuning();
    tuning.maxQueuedBytes = 64 * 1024;
    tuning.maxDeliveriesPerWait = 1000000;
    SdkSetTuning(tuning);
    std::string event;
    FrameWriter(event, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarAdd)
        .Int(kAttrAvatarSession, 7)
        .String(kAttrAvatarName, "Flood")
        .Finish();
    std::string burst;
    for (int i = 0; i < 1000; ++i)
        burst += event;
    ScriptedPeer peer([&](int s, ScriptedPeer &p) {
        timeval timeout{0, 20000};
        ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        while (!p.Stopping()) {
            const ssize_t n = ::send(s, burst.data(), burst.size(), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return;
        }
    });
    ASSERT_EQ(LoginTo(peer), 0);
    long long added = 0;
    SdkSetEventHandler(kEventAvatarAdd, [&] { ++added; });
    std::this_thread::sleep_for(200ms); // the peer fills every buffer on the way
    SdkWait(0);
    const long long bound = static_cast<long long>((64 * 1024 + kMaxFrameSize + 256 * 1024) / event.size());
    EXPECT_GT(added, 0);
    EXPECT_LE(added, bound) << "one pump delivers no more than the queue may hold";
    SdkDestroy();
}

} // namespace
