// The SDK's relaying for attached windows against a real universe server in this process: a request frame sent
// as a client made it comes back answered under the client's own terms, the tap sees the events the handlers see,
// and neither touches the bot's own attributes.

#include "sdk/SdkRelay.h"

#include "SdkTestSupport.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"

namespace {

std::string Request(MessageType type, std::uint32_t id, const std::function<void(FrameWriter &)> &fill = {}) {
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(type), id, 0);
    if (fill)
        fill(w);
    w.Finish();
    return frame;
}

const std::uint8_t *Bytes(const std::string &s) { return reinterpret_cast<const std::uint8_t *>(s.data()); }

TEST_F(SdkTest, ARelayedRequestIsAnsweredToItsHandlerAndLeavesTheStoreAlone) {
    Enter("Town");
    ASSERT_EQ(SdkCitizenByNumber(1), 0);
    ASSERT_EQ(SdkGetString(kAttrCitizenName), "Founder");
    std::string answer;
    const std::string lookup =
        Request(MessageType::CitizenByNumber, 77, [](FrameWriter &w) { w.Int(kFieldNumber, 2); });
    ASSERT_EQ(SdkRelayRequest(Bytes(lookup), lookup.size(),
                              [&](const std::uint8_t *frame, std::size_t size) {
                                  answer.assign(reinterpret_cast<const char *>(frame), size);
                              }),
              0);
    ASSERT_TRUE(PumpUntil([&] { return !answer.empty(); }));
    const FrameReader r(Bytes(answer), answer.size());
    EXPECT_EQ(r.Header().type, static_cast<std::uint16_t>(MessageType::Reply));
    EXPECT_EQ(r.Header().code, 0);
    std::string_view name;
    ASSERT_TRUE(r.FindString(kAttrCitizenName, name));
    EXPECT_EQ(name, "Tester");
    EXPECT_EQ(SdkGetString(kAttrCitizenName), "Founder") << "the bot's own look-up stays";
}

TEST_F(SdkTest, OnlyValidRequestsAreRelayed) {
    Enter("Town");
    const std::string login = Request(MessageType::Login, 1);
    const std::string hello = Request(MessageType::Hello, 1);
    std::string cut = Request(MessageType::Say, 1, [](FrameWriter &w) { w.String(kFieldText, "hi"); });
    cut.pop_back();
    for (const std::string *frame : std::initializer_list<const std::string *>{&login, &hello, &cut})
        EXPECT_EQ(SdkRelayRequest(Bytes(*frame), frame->size(), {}), 505);
    EXPECT_EQ(SdkRelayRequest(nullptr, 0, {}), 505);
}

TEST_F(SdkTest, TheTapSeesEveryEventBeforeItsHandlerWithoutChangingIt) {
    Enter("Town");
    std::vector<int> order;
    SdkSetEventTap([&](const std::uint8_t *frame, std::size_t size) {
        order.push_back(1000 + FrameReader(frame, size).Header().code);
    });
    SdkSetEventHandler(kEventAvatarAdd, [&] { order.push_back(SdkGetInt(kAttrAvatarSession) > 0 ? 0 : -1); });
    PersonSpec alice;
    alice.name = "Alice";
    ASSERT_GT(server_->AddPerson("Town", alice), 0);
    ASSERT_TRUE(PumpUntil([&] { return order.size() >= 2; }));
    EXPECT_EQ(order, (std::vector<int>{1000 + kEventAvatarAdd, 0}));

    // A relayed request still unanswered when the line drops is answered with 471.
    std::string answer;
    const std::string say = Request(MessageType::Say, 5, [](FrameWriter &w) { w.String(kFieldText, "hi"); });
    server_->DropConnections();
    if (SdkRelayRequest(Bytes(say), say.size(), [&](const std::uint8_t *frame, std::size_t size) {
            answer.assign(reinterpret_cast<const char *>(frame), size);
        }) == 0) {
        ASSERT_TRUE(PumpUntil([&] { return !answer.empty(); }));
        const int code = FrameReader(Bytes(answer), answer.size()).Header().code;
        EXPECT_TRUE(code == 471 || code == 0) << code;
    }
    ASSERT_TRUE(PumpUntil([&] { return std::count(order.begin(), order.end(), 1000 + kEventWorldDisconnect) == 1; }));
    SdkSetEventTap({});
}

} // namespace
