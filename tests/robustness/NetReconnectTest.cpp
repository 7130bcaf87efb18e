// The universe server killed under a bot that is in a world, then a stand-in on its port that misbehaves, then the
// real server again: the program reports the loss once per loss, keeps trying with a capped, jittered back-off
// instead of a tight loop, and announces the re-entry when the server is back.

#include "TempDir.h"
#include "app/RecordingView.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "chat/ChatPane.h"
#include "robustness/PeerSupport.h"
#include "robustness/UniverseProcess.h"
#include "sdk/Sdk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kFirstDelay = 50ms;
constexpr auto kMaxDelay = 400ms;
constexpr const char *kLost =
    "Immigration Officer: You have been disconnected from this world (reason: connection lost).";
constexpr const char *kBack = "Immigration Officer: Gabbler has successfully reentered the world.";

// Takes over a dead server's port and counts the connection attempts. It either closes each connection at once
// or plays the handshake, the login and the entry first and then drops the bot.
class StandIn {
public:
    StandIn(int port, bool letIn) : listener_(peer::Listen(port)), letIn_(letIn) {
        if (listener_ >= 0)
            thread_ = std::thread([this] { Run(); });
    }
    ~StandIn() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listener_ >= 0)
            ::close(listener_);
    }
    StandIn(const StandIn &) = delete;
    StandIn &operator=(const StandIn &) = delete;

    bool Listening() const { return listener_ >= 0; }
    std::vector<Clock::time_point> Attempts() {
        std::lock_guard lock(mutex_);
        return attempts_;
    }

private:
    void Run() {
        while (!stop_) {
            const int c = peer::Accept(listener_, 20ms);
            if (c < 0)
                continue;
            {
                std::lock_guard lock(mutex_);
                attempts_.push_back(Clock::now());
            }
            if (letIn_ && peer::Greet(c, false, true)) {
                // Let the answers reach the bot before the line goes, rather than reset it under them.
                ::shutdown(c, SHUT_WR);
                std::string ignored;
                while (peer::ReadFrame(c, ignored, 100ms)) {
                }
            }
            ::close(c);
        }
    }

    int listener_;
    bool letIn_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Clock::time_point> attempts_;
    std::thread thread_;
};

class NetReconnectTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server_.Admin({"citizen", "add", "1234", "Ownerly", "letmein"}), 0) << UniverseProcess::Executable();
        ASSERT_EQ(server_.Admin({"world", "add", "Sunset", "39"}), 0);
        ASSERT_TRUE(server_.Start()) << server_.Error();
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkTuning tuning;
        tuning.requestTimeout = 3000ms;
        tuning.connectTimeout = 2000ms;
        tuning.reconnectFirstDelay = kFirstDelay;
        tuning.reconnectMaxDelay = kMaxDelay;
        SdkSetTuning(tuning);
        settings_.reenterWorld = true;
        login_.citizen = 1234;
        login_.privilegePassword = "letmein";
        login_.botName = "Tester";
        login_.world = "Sunset";
        login_.universeHost = "127.0.0.1";
        login_.universePort = server_.Port();
        session_ = std::make_unique<Session>(view_, chat_, settings_);
    }

    void TearDown() override {
        if (session_)
            session_->Shutdown();
        session_.reset();
        SdkTerm();
        SdkSetTuning(SdkTuning());
    }

    int LinesSaying(const std::string &text) const {
        int n = 0;
        for (std::size_t i = 0; i < chat_.Log().LineCount(); ++i)
            n += chat_.Log().Line(i).Text() == text;
        return n;
    }

    // Pumps as the window's timer does, only more often, so that attempts are not held back by the pump.
    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > end)
                return false;
            session_->Pump();
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds time) {
        PumpUntil([] { return false; }, time);
    }

    TempDir data_;
    UniverseProcess server_{data_.Path()};
    RecordingView view_;
    ChatPane chat_;
    Settings settings_;
    LoginValues login_;
    std::unique_ptr<Session> session_;
};

TEST_F(NetReconnectTest, AKilledServerIsRetriedWithCappedJitteredBackOffAndTheReentryIsAnnounced) {
    struct Case {
        const char *name;
        bool letIn; // the stand-in completes the login and the entry before it drops the bot
    };
    const Case cases[] = {
        {"a stand-in that accepts and closes at once", false},
        {"a stand-in that lets the bot in and drops it at once", true},
    };
    session_->SetLoginValues(login_);
    session_->StartBot();
    ASSERT_TRUE(session_->Started());
    ASSERT_TRUE(PumpUntil([&] { return !view_.title.empty(); }, 5s));

    for (const Case &c : cases) {
        const int lostBefore = LinesSaying(kLost);
        const int backBefore = LinesSaying(kBack);
        server_.Kill(SIGKILL);
        std::vector<Clock::time_point> attempts;
        {
            StandIn standIn(server_.Port(), c.letIn);
            ASSERT_TRUE(standIn.Listening()) << c.name;
            PumpFor(4s);
            attempts = standIn.Attempts();
        }
        EXPECT_TRUE(session_->ReentryPending()) << c.name;
        if (c.letIn)
            EXPECT_GE(LinesSaying(kLost) - lostBefore, 2) << c.name << ": each drop after an entry is a loss";
        else
            EXPECT_EQ(LinesSaying(kLost) - lostBefore, 1) << c.name << ": one loss, one report";

        // Waits of 50, 100, 200 ms and then 400 ms, each drawn from its upper half: a dozen tries in four
        // seconds, where a tight loop would make thousands.
        EXPECT_GE(attempts.size(), 5u) << c.name << ": it keeps trying";
        EXPECT_LE(attempts.size(), 26u) << c.name << ": no tight loop";
        std::vector<long long> capped; // the gaps once the delay has reached the cap
        for (std::size_t i = 1; i < attempts.size(); ++i) {
            const long long gap =
                std::chrono::duration_cast<std::chrono::milliseconds>(attempts[i] - attempts[i - 1]).count();
            EXPECT_LE(gap, kMaxDelay.count() + 350) << c.name << ": gap " << i << " is beyond the cap";
            if (i >= 4) {
                EXPECT_GE(gap, kMaxDelay.count() / 2 - 20) << c.name << ": gap " << i << " is below half the cap";
                capped.push_back(gap);
            }
        }
        RecordProperty(c.letIn ? "attempts_let_in_and_dropped" : "attempts_closed_at_once",
                       static_cast<int>(attempts.size()));
        ASSERT_GE(capped.size(), 4u) << c.name;
        const auto [lowest, highest] = std::minmax_element(capped.begin(), capped.end());
        EXPECT_GE(*highest - *lowest, 30) << c.name << ": the waits at the cap are jittered, not all alike";

        ASSERT_TRUE(server_.Start()) << c.name << ": " << server_.Error();
        ASSERT_TRUE(PumpUntil([&] { return LinesSaying(kBack) == backBefore + 1; }, 10s)) << c.name;
        EXPECT_FALSE(session_->ReentryPending()) << c.name;
        EXPECT_EQ(SdkSay("back again"), 0) << c.name;
        PumpFor(600ms); // the restored connection holds for longer than the cap before the next loss
    }
    EXPECT_TRUE(view_.errors.empty()) << "a bot that re-enters by itself asks nobody anything";
}

} // namespace
