// What the people handlers tell the chat pane's view filters about each line, against a real universe.

#include "PeopleServerFixture.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

using namespace people_server;

namespace {

class ChatLineFlags : public PeopleWithServer {
protected:
    // Each line's text without its timestamp, with its flags.
    std::map<std::string, std::uint8_t> Flags() const {
        std::map<std::string, std::uint8_t> flags;
        const ChatLog &log = h_.chat.Log();
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            std::string text(log.Line(i).Text());
            if (text.starts_with('[') && text.find("] ") != std::string::npos && !text.starts_with("[" + h_.botName)) {
                text = text.substr(text.find("] ") + 2);
            }
            flags[text] = log.LineFlags(i);
        }
        return flags;
    }
};

TEST_F(ChatLineFlags, ArrivalsWhispersAndAutomaticAnswersAreMarked) {
    h_.timestampMsgs = true; // the prefix must not lose the line its mark
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    ASSERT_TRUE(server_->Say(alice, "hello there"));
    ASSERT_TRUE(server_->Whisper(alice, SdkSession(), "just for you"));
    ASSERT_TRUE(server_->AskOwner(alice, h_.botName));
    ASSERT_TRUE(server_->AskVersion(alice, h_.botName));
    ASSERT_TRUE(PumpUntilShown("Immigration Officer: Sent version response to Alice."));
    Leave(alice);

    const std::map<std::string, std::uint8_t> flags = Flags();
    const std::pair<std::string, std::uint8_t> expected[] = {
        {"Immigration Officer: Alice (citizen 5) has entered.", ChatLineFlag::EnterExit},
        {"Alice: hello there", 0},
        {"Whisper from Alice: just for you", ChatLineFlag::Whisper},
        {"Immigration Officer: Sent owner response to Alice.", ChatLineFlag::AutoAnswer},
        {"Alice: " + h_.botName + " owner", 0},
        {"Immigration Officer: Sent version response to Alice.", ChatLineFlag::AutoAnswer},
        {"Immigration Officer: Alice has exited.", ChatLineFlag::EnterExit},
    };
    for (const auto &[text, flag] : expected) {
        const auto found = flags.find(text);
        ASSERT_NE(found, flags.end()) << text << "; lines: " << testing::PrintToString(flags);
        EXPECT_EQ(int(found->second), int(flag)) << text;
    }
}

} // namespace
