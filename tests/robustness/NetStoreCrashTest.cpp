// The universe server killed with SIGKILL while a caretaker bot keeps writing to its store (world ejections in
// flight by the dozen, world attribute changes in between), at a random moment, several times over. After each
// restart everything the server had confirmed to the bot is there.

#include "TempDir.h"
#include "robustness/UniverseProcess.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <chrono>
#include <csignal>
#include <deque>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class NetStoreCrashTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server_.Admin({"citizen", "add", "1", "Founder", "pw"}), 0) << UniverseProcess::Executable();
        ASSERT_EQ(server_.Admin({"world", "add", "Town", "63"}), 0);
        ASSERT_EQ(server_.Admin({"world", "set", "Town", "caretakers=1"}), 0);
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkTuning tuning;
        tuning.requestTimeout = 5000ms;
        tuning.reconnectFirstDelay = 50ms;
        tuning.reconnectMaxDelay = 200ms;
        SdkSetTuning(tuning);
    }
    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
    }

    void Enter() {
        ASSERT_EQ(SdkCreate("127.0.0.1", server_.Port(), 0), 0);
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, "pw");
        SdkSetString(kAttrLoginName, "Writer");
        ASSERT_EQ(SdkLogin(), 0);
        ASSERT_EQ(SdkEnter("Town"), 0);
    }

    static void SetEjection(int key) {
        SdkSetInt(kAttrEjectionType, 1); // a computer id: keys that can never match the bot's own address
        SdkSetInt(kAttrEjectionAddress, key);
        SdkSetInt(kAttrEjectionExpiration, 0);
        SdkSetString(kAttrEjectionComment, "key " + std::to_string(key));
    }

    TempDir data_;
    UniverseProcess server_{data_.Path()};
};

TEST_F(NetStoreCrashTest, EverythingConfirmedBeforeAKillIsThereAfterTheRestart) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::vector<int> confirmed; // ejection keys the server answered with 0, over all rounds
    int nextKey = 1;
    int welcomeConfirmed = 0, welcomeAttempted = 0; // the numbers of the last welcome messages

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", seed " + std::to_string(seed));
        ASSERT_TRUE(server_.Start()) << server_.Error();
        Enter();

        // What the last round left: its last confirmed welcome, or the one in flight when the server died.
        if (round > 0) {
            const std::string welcome = SdkGetString(kAttrWorldWelcomeMessage);
            EXPECT_TRUE(welcome == "v" + std::to_string(welcomeConfirmed) ||
                        welcome == "v" + std::to_string(welcomeAttempted))
                << "welcome message " << welcome << " after confirming v" << welcomeConfirmed;
        }
        int missing = 0;
        for (const int key : confirmed) {
            SetEjection(key);
            missing += SdkWorldEjectionLookup() != 0;
        }
        EXPECT_EQ(missing, 0) << "of " << confirmed.size() << " confirmed ejections";

        std::deque<int> inFlight;
        std::size_t confirmedBefore = confirmed.size();
        SdkSetCallbackHandler(kCallbackWorldEjectionResult, [&](int result) {
            if (inFlight.empty())
                return;
            if (result == 0)
                confirmed.push_back(inFlight.front());
            inFlight.pop_front();
        });
        const pid_t pid = server_.Pid();
        const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(300, 900)(random));
        std::thread killer([pid, delay] {
            std::this_thread::sleep_for(delay);
            ::kill(pid, SIGKILL);
        });
        // Until the server is gone: sixteen ejections in flight, then a welcome message that waits for its answer.
        const int welcomesBefore = welcomeConfirmed;
        for (bool up = true; up;) {
            for (int i = 0; i < 16 && up; ++i) {
                SetEjection(nextKey);
                up = SdkWorldEjectionAdd() == 0;
                if (up)
                    inFlight.push_back(nextKey++);
            }
            if (!up)
                break;
            SdkSetString(kAttrWorldWelcomeMessage, "v" + std::to_string(++welcomeAttempted));
            up = SdkWorldAttributesChange() == 0;
            if (up)
                welcomeConfirmed = welcomeAttempted;
            SdkWait(0);
        }
        killer.join();
        for (int i = 0; i < 100 && !inFlight.empty(); ++i)
            SdkWait(10); // the callbacks still owed report the lost connection
        EXPECT_TRUE(inFlight.empty()) << "every request was answered, if only with the loss";
        EXPECT_GT(confirmed.size(), confirmedBefore) << "no write was confirmed before the kill";
        EXPECT_GT(welcomeConfirmed, welcomesBefore) << "no welcome message was confirmed before the kill";
        SdkSetCallbackHandler(kCallbackWorldEjectionResult, nullptr);
        SdkDestroy();
        server_.Kill(SIGKILL); // already dead; collects it
    }
    RecordProperty("confirmed_ejections", static_cast<int>(confirmed.size()));
}

} // namespace
