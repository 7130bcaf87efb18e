#pragma once

// The people handlers against a real universe in this process: the bot logs in through the SDK, the server's
// simulated people arrive, talk, click and leave, and every event reaches the handlers through SdkWait.

#include "PeopleHarness.h"
#include "common/Ipv4.h"
#include "support/LoopbackUniverse.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace people_server {

using namespace std::chrono_literals;

constexpr int kOwner = 1234;
constexpr const char *kPassword = "letmein";

class PeopleWithServer : public testing::Test {
protected:
    void SetUp() override {
        const std::string owner = std::to_string(kOwner);
        UniverseSetup setup;
        setup.citizens = {
            {kOwner, "Ownerly", kPassword, {}}, {5, "Alice", "pw", "http://alice.example/"}, {6, "Bob", "pw", {}}};
        setup.worlds = {{"Sunset", 40, owner},
                        {"Oldtown", 16, {}},
                        {"Build27", 27, owner},
                        {"Build28", 28, owner},
                        {"Plain", 40, {}}};
        ASSERT_NO_FATAL_FAILURE(server_.Start(setup));
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkTuning tuning;
        tuning.requestTimeout = 3000ms;
        tuning.connectTimeout = 2000ms;
        SdkSetTuning(tuning);
    }

    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
        server_.Stop();
    }

    // Logs the bot in and enters, as the start sequence does, with the people handlers installed first.
    void Enter(const std::string &world) {
        h_.people.InstallHandlers();
        ASSERT_EQ(SdkCreate("127.0.0.1", server_->Port(), 0), 0);
        SdkSetInt(kAttrLoginCitizen, kOwner);
        SdkSetString(kAttrLoginPassword, kPassword);
        SdkSetString(kAttrLoginName, h_.botName);
        SdkSetString(kAttrApplication, "Gabbler Build 35");
        ASSERT_EQ(SdkLogin(), 0);
        ASSERT_EQ(SdkEnter(world), 0);
        ASSERT_EQ(SdkStateChange(), 0);
        world_ = world;
    }

    int Arrive(const std::string &name, int citizen = 0, int privilege = 0, int build = 0, std::uint32_t address = 0) {
        PersonSpec spec;
        spec.name = name;
        spec.citizen = citizen;
        spec.privilege = privilege;
        spec.build = build;
        spec.address = address;
        spec.x = 100;
        spec.z = 200;
        const int session = server_->AddPerson(world_, spec);
        EXPECT_GT(session, 0) << name;
        EXPECT_TRUE(PumpUntil([&] { return h_.people.Roster().Find(session) != nullptr; })) << name << " arrives";
        return session;
    }

    void Leave(int session) {
        ASSERT_TRUE(server_->Leave(session));
        ASSERT_TRUE(PumpUntil([&] { return h_.people.Roster().Find(session) == nullptr; }));
    }

    bool PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 5000ms) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            SdkWait(10);
        }
        return true;
    }
    bool PumpUntilShown(const std::string &text) {
        return PumpUntil([&] { return h_.Shows(text); });
    }
    void PumpFor(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            SdkWait(10);
        }
    }

    std::vector<std::string> WhispersTo(int session) {
        std::vector<std::string> texts;
        for (const InboxEntry &entry : server_->Inbox(session)) {
            if (entry.kind == InboxEntry::Kind::Whisper) {
                texts.push_back(entry.text);
            }
        }
        return texts;
    }

    void Select(const std::string &name, int session) { h_.people.OpenMenu(name, session); }

    LoopbackUniverse server_;
    PeopleHarness h_;
    std::string world_;
};

} // namespace people_server
