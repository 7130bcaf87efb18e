// Bad input over the network, both ways. A hostile server's frames: repeated, unknown and mistyped attributes,
// overlong strings, events for people never announced, event numbers outside the table, answers to nothing and
// frame lengths at and beyond the limits. And requests to the real server naming sessions that are not there.

#include "TempDir.h"
#include "robustness/PeerSupport.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff), static_cast<char>((v >> 16) & 0xff),
            static_cast<char>(v >> 24)};
}

std::string Event(int event, const std::function<void(FrameWriter &)> &fill) {
    return peer::Frame(MessageType::Event, 0, event, fill);
}

// A chat event that fills a frame to exactly the largest size allowed, with strings in fields no attribute has.
std::string LargestFrame() {
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventChat);
    w.Int(kAttrChatSession, 5).String(kAttrChatMessage, "largest");
    std::size_t left = kMaxFrameSize - (kFrameHeaderSize + 7 + 5 + 7);
    for (std::uint16_t field = 1500; left > 0; ++field) {
        const std::size_t length = std::min(left - 5, kMaxWireStringLength);
        w.String(field, std::string(length, 'x'));
        left -= 5 + length;
        if (left > 0 && left < 5 + 1) {
            ADD_FAILURE() << "the arithmetic left " << left << " bytes";
            break;
        }
    }
    w.Finish();
    return frame;
}

struct Seen {
    int event = 0;
    int session = 0;
    std::string name, message;
    int reason = 0;
};

class HostilePeer {
public:
    explicit HostilePeer(std::string bytes) : listener_(peer::Listen(0)), bytes_(std::move(bytes)) {
        port_ = peer::PortOf(listener_);
        thread_ = std::thread([this] {
            const int c = peer::Accept(listener_, 5s);
            if (c < 0)
                return;
            if (peer::Greet(c, false, false)) {
                peer::WriteAll(c, bytes_);
                std::string ignored;
                while (!stop_)
                    peer::ReadFrame(c, ignored, 50ms);
            }
            ::close(c);
        });
    }
    ~HostilePeer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    HostilePeer(const HostilePeer &) = delete;
    HostilePeer &operator=(const HostilePeer &) = delete;
    int Port() const { return port_; }

private:
    int listener_;
    int port_ = 0;
    std::string bytes_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class NetBadInputTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkTuning tuning;
        tuning.requestTimeout = 2000ms;
        tuning.reconnectFirstDelay = 20ms;
        tuning.reconnectMaxDelay = 50ms;
        SdkSetTuning(tuning);
    }
    void TearDown() override {
        SdkTerm();
        SdkSetTuning(SdkTuning());
    }

    // Logs in to a peer that then sends `bytes`, and returns what the SDK delivered until `done` or a while.
    std::vector<Seen> Against(const std::string &bytes, const std::function<bool(const std::vector<Seen> &)> &done) {
        HostilePeer peer(bytes);
        std::vector<Seen> seen;
        if (SdkCreate("127.0.0.1", peer.Port(), 0) != 0)
            return seen;
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, "pw");
        SdkSetString(kAttrLoginName, "Bot");
        if (SdkLogin() != 0)
            return seen;
        for (const int e : {kEventAvatarAdd, kEventAvatarChange, kEventAvatarDelete, kEventAvatarClick, kEventChat,
                            kEventWorldDisconnect})
            SdkSetEventHandler(e, [&seen, e] {
                seen.push_back({e, e == kEventChat ? SdkGetInt(kAttrChatSession) : SdkGetInt(kAttrAvatarSession),
                                SdkGetString(kAttrAvatarName), SdkGetString(kAttrChatMessage),
                                SdkGetInt(kAttrDisconnectReason)});
            });
        const auto end = Clock::now() + 2s;
        while (!done(seen) && Clock::now() < end)
            SdkWait(10);
        return seen;
    }
};

bool HeardEnd(const std::vector<Seen> &seen) {
    return !seen.empty() && seen.back().event == kEventChat && seen.back().message == "end";
}

TEST_F(NetBadInputTest, AHostileServersFramesAreTakenApartSafelyAndTheLineStaysUp) {
    const std::string longText = [] {
        std::string t;
        for (int i = 0; i < 2000; ++i)
            t += "\xc3\xa9"; // é, two bytes each
        return t;
    }();
    struct Case {
        const char *name;
        std::string frames;
        std::function<void(const std::vector<Seen> &, const char *)> check; // on what came before "end"
    };
    const Case cases[] = {
        {"an attribute given twice",
         Event(kEventChat,
               [](FrameWriter &w) { w.String(kAttrChatMessage, "first").String(kAttrChatMessage, "last"); }),
         [](const std::vector<Seen> &seen, const char *name) {
             ASSERT_EQ(seen.size(), 1u) << name;
             EXPECT_EQ(seen[0].message, "last") << name << ": applied in order, the last one stays";
         }},
        {"numbers no attribute has",
         Event(kEventChat,
               [](FrameWriter &w) {
                   w.Int(1, 5).Int(kAttributeCount, 6).String(1500, "field").Int(65535, 7);
                   w.String(kAttrChatMessage, "intact");
               }),
         [](const std::vector<Seen> &seen, const char *name) {
             ASSERT_EQ(seen.size(), 1u) << name;
             EXPECT_EQ(seen[0].message, "intact") << name;
         }},
        {"values of the wrong kind",
         Event(kEventAvatarAdd, [](FrameWriter &w) { w.Int(kAttrAvatarSession, 5).String(kAttrAvatarName, "Good"); }) +
             Event(kEventAvatarChange,
                   [](FrameWriter &w) {
                       w.String(kAttrAvatarSession, "6").Int(kAttrAvatarName, 7).Bool(kAttrAvatarX, true);
                   }),
         [](const std::vector<Seen> &seen, const char *name) {
             ASSERT_EQ(seen.size(), 2u) << name;
             EXPECT_EQ(seen[1].session, 5) << name << ": a mistyped value is ignored";
             EXPECT_EQ(seen[1].name, "Good") << name;
         }},
        {"a string longer than its attribute holds",
         Event(kEventChat, [&](FrameWriter &w) { w.String(kAttrChatMessage, longText); }),
         [&](const std::vector<Seen> &seen, const char *name) {
             ASSERT_EQ(seen.size(), 1u) << name;
             EXPECT_EQ(seen[0].message.size(), 254u) << name << ": cut at 255 bytes, back to a character boundary";
             EXPECT_TRUE(IsValidUtf8(seen[0].message)) << name;
             EXPECT_EQ(longText.compare(0, seen[0].message.size(), seen[0].message), 0) << name;
         }},
        {"people nobody announced",
         Event(kEventAvatarChange,
               [](FrameWriter &w) { w.Int(kAttrAvatarSession, 999).String(kAttrAvatarName, "A"); }) +
             Event(kEventAvatarDelete,
                   [](FrameWriter &w) { w.Int(kAttrAvatarSession, 998).String(kAttrAvatarName, "B"); }) +
             Event(kEventAvatarClick,
                   [](FrameWriter &w) { w.Int(kAttrAvatarSession, 997).String(kAttrAvatarName, "C"); }),
         [](const std::vector<Seen> &seen, const char *name) {
             // Passed on as they came: what a stranger's change means is the roster's business.
             ASSERT_EQ(seen.size(), 3u) << name;
             EXPECT_EQ(seen[0].event, kEventAvatarChange) << name;
             EXPECT_EQ(seen[0].session, 999) << name;
             EXPECT_EQ(seen[1].event, kEventAvatarDelete) << name;
             EXPECT_EQ(seen[1].session, 998) << name;
             EXPECT_EQ(seen[2].event, kEventAvatarClick) << name;
             EXPECT_EQ(seen[2].session, 997) << name;
         }},
        {"event numbers outside the table",
         peer::Frame(MessageType::Event, 0, kEventCount) + peer::Frame(MessageType::Event, 0, 1000) +
             peer::Frame(MessageType::Event, 0, -1),
         [](const std::vector<Seen> &seen, const char *name) { EXPECT_TRUE(seen.empty()) << name; }},
        {"answers to nothing",
         peer::Frame(MessageType::Reply, 4242, 0) + peer::Frame(MessageType::HelloReply, 1, 0) +
             peer::Frame(MessageType::Pong, 9, 0),
         [](const std::vector<Seen> &seen, const char *name) { EXPECT_TRUE(seen.empty()) << name; }},
        {"a frame of exactly the largest size", LargestFrame(),
         [](const std::vector<Seen> &seen, const char *name) {
             ASSERT_EQ(seen.size(), 1u) << name;
             EXPECT_EQ(seen[0].message, "largest") << name;
         }},
    };
    ASSERT_EQ(LargestFrame().size(), kMaxFrameSize);
    for (const Case &c : cases) {
        std::vector<Seen> seen = Against(
            c.frames +
                Event(kEventChat, [](FrameWriter &w) { w.Int(kAttrChatSession, 1).String(kAttrChatMessage, "end"); }),
            HeardEnd);
        ASSERT_TRUE(HeardEnd(seen)) << c.name << ": the line went down or stalled";
        seen.pop_back();
        c.check(seen, c.name);
        SdkDestroy();
    }
}

TEST_F(NetBadInputTest, FrameLengthsNoFrameCanHaveEndTheConnectionForGood) {
    struct Case {
        const char *name;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"length 0", 0},
        {"length 1", 1},
        {"one short of a header", static_cast<std::uint32_t>(kFrameHeaderSize - 5)},
        {"one past the limit", static_cast<std::uint32_t>(kMaxFrameSize - 3)},
        {"all ones", 0xffffffffu},
    };
    for (const Case &c : cases) {
        const auto seen = Against(Le32(c.length) + std::string(64, '\0'), [](const std::vector<Seen> &s) {
            return !s.empty() && s.back().event == kEventWorldDisconnect;
        });
        ASSERT_EQ(seen.size(), 1u) << c.name;
        EXPECT_EQ(seen[0].reason, 463) << c.name << ": protocol error";
        EXPECT_EQ(SdkSay("anyone?"), 439) << c.name << ": no way back to a server that sends such bytes";
        SdkDestroy();
    }
}

TEST(NetBadInputServer, RequestsNamingSessionsThatAreNotThereAnswerNoSuchSession) {
    TempDir data;
    ServerOptions options;
    options.port = 0;
    options.dataFolder = data.Path();
    options.passwordIterations = 1;
    UniverseServer server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    ASSERT_TRUE(server.AddCitizen(1, "Founder", "pw"));
    ASSERT_TRUE(server.AddWorld("Town", 63));
    ASSERT_TRUE(server.SetWorld("Town", "caretakers", "1"));
    ASSERT_TRUE(server.AddWorld("Yonder", 63));
    PersonSpec someone;
    someone.name = "Someone";
    someone.citizen = 5;
    const int elsewhere = server.AddPerson("Yonder", someone);
    const int gone = server.AddPerson("Town", someone);
    ASSERT_GT(elsewhere, 0);
    ASSERT_GT(gone, 0);
    ASSERT_TRUE(server.Leave(gone));

    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    ASSERT_EQ(SdkCreate("127.0.0.1", server.Port(), 0), 0);
    SdkSetInt(kAttrLoginCitizen, 1);
    SdkSetString(kAttrLoginPassword, "pw");
    SdkSetString(kAttrLoginName, "Bot");
    ASSERT_EQ(SdkLogin(), 0);
    ASSERT_EQ(SdkEnter("Town"), 0);
    ASSERT_EQ(SdkStateChange(), 0);

    struct Operation {
        const char *name;
        std::function<int(int session)> call;
    };
    const Operation operations[] = {
        {"whisper", [](int s) { return SdkWhisper(s, "psst"); }},
        {"click", [](int s) { return SdkAvatarClick(s); }},
        {"URL", [](int s) { return SdkUrlSend(s, "https://example.org/", ""); }},
        {"address look-up", [](int s) { return SdkAddressRequest(s); }},
        {"teleport",
         [](int s) {
             SdkSetString(kAttrTeleportWorld, "");
             return SdkTeleport(s);
         }},
        {"eject",
         [](int s) {
             SdkSetInt(kAttrEjectSession, s);
             SdkSetInt(kAttrEjectDuration, 60);
             return SdkWorldEject();
         }},
        {"console message",
         [](int s) {
             SdkSetString(kAttrConsoleMessage, "hello");
             return SdkConsoleMessage(s);
         }},
    };
    const std::pair<const char *, int> sessions[] = {
        {"a session never given", 99999}, {"someone in another world", elsewhere}, {"someone who left", gone},
        {"a negative number", -1},        {"the largest number", INT32_MAX},
    };
    for (const Operation &o : operations)
        for (const auto &[who, session] : sessions)
            EXPECT_EQ(o.call(session), 67) << o.name << " to " << who;
    EXPECT_EQ(SdkSay("still here"), 0);
    const auto people = server.PeopleIn("Town");
    ASSERT_EQ(people.size(), 1u);
    EXPECT_EQ(people[0].name, "[Bot]");
    PersonInfo other;
    ASSERT_TRUE(server.Person(elsewhere, other));
    EXPECT_TRUE(server.Inbox(elsewhere).empty()) << "nothing reached the person in the other world";
    SdkTerm();
    server.Stop();
}

} // namespace
