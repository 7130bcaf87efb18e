// Half-open connections: a server that stops answering without closing the line (a stopped process, a peer that
// went silent or only trickles bytes) is noticed by the heartbeat and treated as a lost connection, while a server
// of the older protocol, which never answers pings, keeps its quiet connection.

#include "TempDir.h"
#include "robustness/PeerSupport.h"
#include "robustness/UniverseProcess.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

class NetHeartbeatTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        for (int e : {kEventWorldDisconnect, kEventWorldAttributes})
            SdkSetEventHandler(e, [this, e] { heard_.push_back({e, SdkGetInt(kAttrDisconnectReason), Clock::now()}); });
    }
    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
    }

    static void Tune(std::chrono::milliseconds heartbeat) {
        SdkTuning tuning;
        tuning.requestTimeout = 2000ms;
        tuning.connectTimeout = 1000ms;
        tuning.reconnectFirstDelay = 50ms;
        tuning.reconnectMaxDelay = 200ms;
        tuning.heartbeatTimeout = heartbeat;
        SdkSetTuning(tuning);
    }

    static int Login(int port, const char *password) {
        if (const int r = SdkCreate("127.0.0.1", port, 0))
            return r;
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, password);
        SdkSetString(kAttrLoginName, "Bot");
        return SdkLogin();
    }

    struct Heard {
        int event = 0;
        int reason = 0;
        Clock::time_point at;
    };

    // The first delivery of the event after `since`, pumping up to `limit` for it.
    std::optional<Heard> WaitFor(int event, Clock::time_point since, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            for (const Heard &h : heard_)
                if (h.event == event && h.at >= since)
                    return h;
            if (Clock::now() > end)
                return std::nullopt;
            SdkWait(10);
        }
    }

    std::vector<Heard> heard_;
};

TEST_F(NetHeartbeatTest, AStoppedServerProcessIsTakenForLostAndTheBotComesBackWhenItResumes) {
    TempDir data;
    UniverseProcess server(data.Path());
    ASSERT_EQ(server.Admin({"citizen", "add", "1", "Founder", "pw"}), 0) << UniverseProcess::Executable();
    ASSERT_EQ(server.Admin({"world", "add", "Town", "63"}), 0);
    ASSERT_TRUE(server.Start()) << server.Error();
    constexpr auto kHeartbeat = 1000ms;
    Tune(kHeartbeat);
    ASSERT_EQ(Login(server.Port(), "pw"), 0);
    ASSERT_EQ(SdkEnter("Town"), 0);
    ASSERT_EQ(SdkStateChange(), 0);

    // Nothing happens in the world for several heartbeat times: the pings are answered, the line stays up.
    const auto quiet = Clock::now();
    EXPECT_FALSE(WaitFor(kEventWorldDisconnect, quiet, 3 * kHeartbeat)) << "a live, quiet server is kept";

    const auto stopped = Clock::now();
    server.Pause();
    const auto lost = WaitFor(kEventWorldDisconnect, stopped, 10s);
    ASSERT_TRUE(lost) << "the stopped server was never noticed";
    EXPECT_EQ(lost->reason, 471);
    // Lost once a whole time-out has passed without a frame, the last of which came at most a third of it earlier.
    EXPECT_GE(Ms(lost->at - stopped), Ms(kHeartbeat) * 2 / 3 - 50) << "taken for lost too early";
    EXPECT_LE(Ms(lost->at - stopped), Ms(kHeartbeat) + 1500) << "noticed too late";
    RecordProperty("noticed_after_ms", static_cast<int>(Ms(lost->at - stopped)));

    const auto resumed = Clock::now();
    server.Resume();
    ASSERT_TRUE(WaitFor(kEventWorldAttributes, resumed, 10s)) << "no re-entry after the server resumed";
    EXPECT_EQ(SdkSay("still here"), 0);
}

// One connection, played by the test: the handshake, the login, and then the case's behaviour until the end.
class SilentPeer {
public:
    SilentPeer(bool offersHeartbeat, bool trickles) : listener_(peer::Listen(0)) {
        port_ = peer::PortOf(listener_);
        thread_ = std::thread([=, this] { Run(offersHeartbeat, trickles); });
    }
    ~SilentPeer() {
        stop_ = true;
        thread_.join();
        if (listener_ >= 0)
            ::close(listener_);
    }
    SilentPeer(const SilentPeer &) = delete;
    SilentPeer &operator=(const SilentPeer &) = delete;

    int Port() const { return port_; }
    int Pings() const { return pings_; }
    int PingsWithId() const { return pingsWithId_; }
    bool HelloAskedForHeartbeat() const { return helloAsked_; }

private:
    void Run(bool offersHeartbeat, bool trickles) {
        const int c = peer::Accept(listener_, 5s);
        // Later attempts are refused: this peer is good for one connection.
        ::close(listener_);
        listener_ = -1;
        if (c < 0)
            return;
        std::string hello;
        if (peer::Greet(c, offersHeartbeat, false, &hello)) {
            std::int32_t asked = 0;
            helloAsked_ = peer::Reader(hello).FindInt(kFieldHeartbeat, asked) && asked == 1;
            // A frame that would take minutes at this pace: bytes keep coming, a whole frame never does.
            const std::string slow = peer::ChatEvent(7, std::string(3000, 'x'));
            std::size_t sent = 0;
            std::string frame;
            while (!stop_) {
                if (trickles && sent < slow.size())
                    sent += peer::WriteAll(c, std::string_view(slow).substr(sent, 1)) ? 1 : 0;
                if (!peer::ReadFrame(c, frame, 100ms))
                    continue;
                if (peer::TypeOf(frame) == MessageType::Ping) {
                    ++pings_;
                    pingsWithId_ += peer::Reader(frame).Header().id != 0;
                }
            }
        }
        ::close(c);
    }

    int listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> pings_{0}, pingsWithId_{0};
    std::atomic<bool> helloAsked_{false};
    std::thread thread_;
};

TEST_F(NetHeartbeatTest, APeerThatFallsSilentIsLostOnlyIfItsHandshakeOfferedTheHeartbeat) {
    struct Case {
        const char *name;
        bool offersHeartbeat;
        bool trickles;
        bool lost;
    };
    const Case cases[] = {
        {"a server that offered the heartbeat and then answers nothing", true, false, true},
        {"a server that offered the heartbeat and then trickles one byte at a time", true, true, true},
        {"an older server without the heartbeat, silent", false, false, false},
    };
    constexpr auto kHeartbeat = 600ms;
    Tune(kHeartbeat);
    for (const Case &c : cases) {
        SilentPeer peer(c.offersHeartbeat, c.trickles);
        ASSERT_EQ(Login(peer.Port(), "pw"), 0) << c.name;
        const auto start = Clock::now();
        const auto lost = WaitFor(kEventWorldDisconnect, start, 3 * kHeartbeat);
        EXPECT_TRUE(peer.HelloAskedForHeartbeat()) << c.name;
        if (c.lost) {
            ASSERT_TRUE(lost) << c.name;
            EXPECT_EQ(lost->reason, 471) << c.name;
            EXPECT_GE(Ms(lost->at - start), Ms(kHeartbeat) - 50) << c.name;
            EXPECT_GE(peer.PingsWithId(), 1) << c.name << ": it asked before it gave up";
        } else {
            EXPECT_FALSE(lost) << c.name << ": the handshake said this server does not answer pings";
            EXPECT_EQ(peer.Pings(), 0) << c.name << ": nor was it pinged, as it asked for no keep-alive";
        }
        SdkDestroy();
        heard_.clear();
    }
}

// The server's side of the same agreement, on a raw socket: a Pong only for a client that asked for it, as an
// older client would take the unknown frame for a protocol error.
TEST(NetHeartbeatServer, AnswersPingsOnlyForClientsThatAskedInTheirHello) {
    TempDir data;
    ServerOptions options;
    options.port = 0;
    options.dataFolder = data.Path();
    options.passwordIterations = 1;
    UniverseServer server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    ASSERT_TRUE(server.AddCitizen(1, "Founder", "pw"));

    struct Case {
        const char *name;
        bool asks;
    };
    for (const Case &c : {Case{"a client that asks", true}, Case{"an older client", false}}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(server.Port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0) << c.name;
        ASSERT_TRUE(peer::WriteAll(fd, peer::Frame(MessageType::Hello, 1, kProtocolVersion, [&](FrameWriter &w) {
                                       w.Int(kFieldNumber, kSdkBuild);
                                       if (c.asks)
                                           w.Int(kFieldHeartbeat, 1);
                                   })));
        std::string frame;
        ASSERT_TRUE(peer::ReadFrame(fd, frame, 2s)) << c.name;
        ASSERT_EQ(peer::TypeOf(frame), MessageType::HelloReply) << c.name;
        std::int32_t offered = 0;
        EXPECT_EQ(peer::Reader(frame).FindInt(kFieldHeartbeat, offered) && offered == 1, c.asks) << c.name;

        ASSERT_TRUE(peer::WriteAll(fd, peer::Frame(MessageType::Ping, 77, 0)));
        if (c.asks) {
            ASSERT_TRUE(peer::ReadFrame(fd, frame, 2s)) << c.name;
            EXPECT_EQ(peer::TypeOf(frame), MessageType::Pong) << c.name;
            EXPECT_EQ(peer::Reader(frame).Header().id, 77u) << c.name;
        } else {
            EXPECT_FALSE(peer::ReadFrame(fd, frame, 300ms)) << c.name << ": nothing comes back";
        }
        // Either way the connection goes on as before.
        ASSERT_TRUE(peer::WriteAll(fd, peer::Frame(MessageType::WorldList, 9, 0)));
        ASSERT_TRUE(peer::ReadFrame(fd, frame, 2s)) << c.name;
        EXPECT_EQ(peer::TypeOf(frame), MessageType::Reply) << c.name;
        EXPECT_EQ(peer::Reader(frame).Header().code, 31) << c.name << ": not logged in, and still served";
        ::close(fd);
    }
    server.Stop();
}

} // namespace
