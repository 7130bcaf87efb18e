#pragma once

// An in-process universe for SDK tests, and helpers that drive the one SDK instance of the test process.

#include "TempDir.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "support/LoopbackUniverse.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// One delivered event or callback with the attributes a test looks at.
struct Heard {
    bool callback = false;
    int number = 0; // event or callback number
    int result = 0; // callbacks
    int session = 0, x = 0, z = 0, type = 0, chatType = 0, reason = 0, citizen = 0, privilege = 0, build = 0;
    std::string name, message, world;
    bool more = false;
    bool alreadyThere = false; // avatar adds
    bool stillThere = false;   // avatar deletes
};

class SdkTest : public ::testing::Test {
protected:
    static constexpr const char *kFounderPassword = "founder-pw";
    static constexpr const char *kTesterPassword = "tester-pw";

    void SetUp() override {
        UniverseSetup setup;
        setup.options.dataFolder = data_.Path();
        setup.options.worldListBatch = 3;
        Configure(setup.options);
        setup.citizens = {{1, "Founder", kFounderPassword, {}}, {2, "Tester", kTesterPassword, {}}};
        setup.worlds = {{"Town", 63, "1"}, {"Old", 16, {}}, {"Globe", 39, "1"}, {"Lower", 38, "1"}};
        ASSERT_NO_FATAL_FAILURE(server_.Start(setup));
        port_ = server_->Port();

        SdkTuning tuning;
        tuning.requestTimeout = std::chrono::milliseconds(3000);
        tuning.connectTimeout = std::chrono::milliseconds(2000);
        tuning.reconnectFirstDelay = std::chrono::milliseconds(20);
        tuning.reconnectMaxDelay = std::chrono::milliseconds(100);
        SdkSetTuning(tuning);
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
    }

    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
        server_.Stop();
    }

    virtual void Configure(ServerOptions &) {}

    int Connect() { return SdkCreate("127.0.0.1", port_, 0); }

    int Login(int citizen = 1, const std::string &password = kFounderPassword, const std::string &name = "Bot") {
        if (const int r = Connect())
            return r;
        SdkSetInt(kAttrLoginCitizen, citizen);
        SdkSetString(kAttrLoginPassword, password);
        SdkSetString(kAttrLoginName, name);
        SdkSetString(kAttrApplication, "Test Build 1");
        return SdkLogin();
    }

    // Logs in and enters, placing the bot at the world's centre so that others see it.
    void Enter(const std::string &world, int citizen = 1, const std::string &password = kFounderPassword,
               bool global = false) {
        ASSERT_EQ(Login(citizen, password), 0);
        SdkSetBool(kAttrEnterGlobal, global);
        ASSERT_EQ(SdkEnter(world), 0);
        ASSERT_EQ(SdkStateChange(), 0);
        SdkWait(0); // what the entry brought, before the test looks
    }

    // Records every event and the callbacks given.
    void Record(std::vector<int> callbacks = {}) {
        for (int e = 0; e < kEventCount; ++e)
            SdkSetEventHandler(e, [this, e] { heard_.push_back(Snapshot(false, e, 0)); });
        for (int c : callbacks)
            SdkSetCallbackHandler(c, [this, c](int result) { heard_.push_back(Snapshot(true, c, result)); });
    }

    static Heard Snapshot(bool callback, int number, int result) {
        Heard h;
        h.callback = callback;
        h.number = number;
        h.result = result;
        h.session = number == kEventChat ? SdkGetInt(kAttrChatSession) : SdkGetInt(kAttrAvatarSession);
        h.x = SdkGetInt(kAttrAvatarX);
        h.z = SdkGetInt(kAttrAvatarZ);
        h.type = SdkGetInt(kAttrAvatarType);
        h.chatType = SdkGetInt(kAttrChatType);
        h.reason = SdkGetInt(kAttrDisconnectReason);
        h.citizen = SdkGetInt(kAttrAvatarCitizen);
        h.privilege = SdkGetInt(kAttrAvatarPrivilege);
        h.build = SdkGetInt(kAttrAvatarBuild);
        h.alreadyThere = SdkGetBool(kAttrAvatarAlreadyThere);
        h.stillThere = SdkGetBool(kAttrAvatarStillThere);
        h.name = number == kEventWorldInfo ? SdkGetString(kAttrWorldListName) : SdkGetString(kAttrAvatarName);
        h.message = number == kEventConsoleMessage ? SdkGetString(kAttrConsoleMessage) : SdkGetString(kAttrChatMessage);
        h.world = SdkGetString(kAttrWorldName);
        h.more = SdkGetBool(kAttrWorldListMore);
        return h;
    }

    // Pumps until the predicate holds or the time is up.
    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            SdkWait(10);
        }
        return true;
    }

    // Pumps for a while, for tests that check that nothing arrives.
    void PumpFor(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end)
            SdkWait(10);
    }

    int Count(int event) const {
        int n = 0;
        for (const Heard &h : heard_)
            n += !h.callback && h.number == event;
        return n;
    }

    const Heard *Last(int event, bool callback = false) const {
        for (auto it = heard_.rbegin(); it != heard_.rend(); ++it)
            if (it->callback == callback && it->number == event)
                return &*it;
        return nullptr;
    }

    bool HeardEvent(int event) const { return Last(event) != nullptr; }

    TempDir data_;
    LoopbackUniverse server_;
    int port_ = 0;
    std::vector<Heard> heard_;
};

inline PersonSpec Citizen(const std::string &name, int number, int x = 0, int z = 0) {
    PersonSpec p;
    p.name = name;
    p.citizen = number;
    p.privilege = number;
    p.build = 361;
    p.x = x;
    p.z = z;
    return p;
}
