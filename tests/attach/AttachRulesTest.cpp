// The attach listener's rules without a bot: addresses, where it may listen, the password check and its growing
// delays, and the pane-line event.

#include "attach/AttachAddress.h"
#include "attach/LoginGuard.h"
#include "attach/PaneLine.h"
#include "crypto/ConstantTime.h"
#include "protocol/Frame.h"
#include "sdk/Attributes.h"

#include <gtest/gtest.h>

namespace {

TEST(AttachAddress, ReadsHostAndPort) {
    struct Case {
        const char *text;
        bool ok;
        const char *host;
        int port;
    } cases[] = {
        {"127.0.0.1:6000", true, "127.0.0.1", 6000},
        {"bothost", true, "bothost", kDefaultAttachPort},
        {"[::1]:7000", true, "::1", 7000},
        {"[::1]", true, "::1", kDefaultAttachPort},
        {"::1", true, "::1", kDefaultAttachPort}, // a bare IPv6 address has no port
        {":6000", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:12x", false, "", 0},
        {"[::1", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case &c : cases) {
        AttachAddress address;
        std::string error;
        EXPECT_EQ(ParseAttachAddress(c.text, address, error), c.ok) << c.text;
        if (std::string_view(c.text) == "host:0") {
            EXPECT_TRUE(ParseAttachAddress(c.text, address, error, true)) << "a listener may take any free port";
        }
        if (c.ok) {
            EXPECT_EQ(address.host, c.host) << c.text;
            EXPECT_EQ(address.port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(AttachAddress, ListensBeyondThisMachineOnlyWithTls) {
    struct Case {
        const char *host;
        bool tls;
        bool allowed;
    } cases[] = {
        {"127.0.0.1", false, true}, {"127.1.2.3", false, true},    {"::1", false, true}, {"localhost", false, true},
        {"0.0.0.0", false, false},  {"192.168.1.5", false, false}, {"::", false, false}, {"bot.example", false, false},
        {"0.0.0.0", true, true},    {"192.168.1.5", true, true},
    };
    for (const Case &c : cases) {
        std::string error;
        EXPECT_EQ(CheckAttachListen(c.host, c.tls, error), c.allowed) << c.host << " tls " << c.tls;
        EXPECT_EQ(error.empty(), c.allowed) << c.host;
    }
}

TEST(LoginGuard, ComparesWholeTextsAndMakesEachFailureWaitLonger) {
    const std::pair<const char *, bool> tries[] = {
        {"secret", true}, {"secreT", false}, {"secre", false}, {"secrets", false}, {"", false},
    };
    for (const auto &[text, equal] : tries)
        EXPECT_EQ(ConstantTimeEquals(text, "secret"), equal) << text;

    using std::chrono::milliseconds;
    LoginGuard guard("secret", milliseconds(100), milliseconds(500));
    milliseconds delay{0};
    const milliseconds expected[] = {milliseconds(100), milliseconds(200), milliseconds(400), milliseconds(500),
                                     milliseconds(500)};
    for (const milliseconds want : expected) {
        EXPECT_FALSE(guard.Check("guess", delay));
        EXPECT_EQ(delay, want);
    }
    EXPECT_TRUE(guard.Check("secret", delay));
    EXPECT_EQ(delay, milliseconds(0));
    EXPECT_FALSE(guard.Check("guess", delay));
    EXPECT_EQ(delay, milliseconds(100)) << "a success starts the delays afresh";

    LoginGuard nobody("", milliseconds(1), milliseconds(1));
    EXPECT_FALSE(nobody.Check("", delay)) << "no password set lets nobody in";
}

TEST(PaneLine, TravelsWithItsLookAndTimeAndIsCutToTheAttributeLimit) {
    PaneLine line;
    line.text = std::string(kMaxLongStringLength - 1, 'a') + "\xC3\xA9"; // the last character would cross the limit
    line.colour = 0x123456;
    line.bold = true;
    line.underline = true;
    line.timed = true;
    line.time = 1700000000;
    line.kind = 1;
    line.speaker = "Alice";
    line.flags = 2;
    const std::string frame = PaneLineEvent(line);
    ASSERT_TRUE(IsValidFrame(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()));
    const FrameReader r(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
    EXPECT_EQ(r.Header().code, kEventPaneLine);
    std::string_view text, speaker;
    std::int32_t colour = 0, style = 0, time = 0, kind = 0, flags = 0;
    ASSERT_TRUE(r.FindString(kAttrPaneLineText, text));
    EXPECT_EQ(text, std::string(kMaxLongStringLength - 1, 'a'));
    ASSERT_TRUE(r.FindString(kAttrPaneLineSpeaker, speaker));
    EXPECT_EQ(speaker, "Alice");
    r.FindInt(kAttrPaneLineColour, colour);
    r.FindInt(kAttrPaneLineStyle, style);
    r.FindInt(kAttrPaneLineTime, time);
    r.FindInt(kAttrPaneLineKind, kind);
    r.FindInt(kAttrPaneLineFlags, flags);
    EXPECT_EQ(colour, 0x123456);
    EXPECT_EQ(style, kPaneLineBold | kPaneLineUnderline | kPaneLineTimed);
    EXPECT_EQ(time, 1700000000);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(flags, 2);
}

} // namespace
