// The demo's simulated people as a bot in their world hears them, minutes of demo time in a moment: the universe
// without the network, a bot attached through a recording link, the people driven tick by tick.

#include "server/DemoPeople.h"

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/DemoContent.h"
#include "server/Universe.h"

#include <arpa/inet.h>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int kBotBuild = 63; // the SDK build a bot announces

class RecordingLink : public ClientLink {
public:
    void Send(const std::string &frames) override { out += frames; }
    void Close(int) override {}
    std::uint32_t Address() const override { return htonl(INADDR_LOOPBACK); }

    // The public chat lines sent since the last call.
    std::vector<std::string> TakeChat() {
        std::vector<std::string> lines;
        std::size_t at = 0, size = 0;
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(out.data());
        while (CutFrame(bytes + at, out.size() - at, size) == CutResult::Frame) {
            FrameReader r(bytes + at, size);
            std::int32_t type = -1;
            std::string_view text;
            if (r.Header().type == static_cast<std::uint16_t>(MessageType::Event) && r.Header().code == kEventChat &&
                r.FindInt(kAttrChatType, type) && type != 2 && r.FindString(kAttrChatMessage, text))
                lines.emplace_back(text);
            at += size;
        }
        out.erase(0, at);
        return lines;
    }

    std::string out;
};

void Request(Universe &universe, ClientLink &link, MessageType type, const std::function<void(FrameWriter &)> &fill) {
    std::string frame;
    {
        FrameWriter w(frame, static_cast<std::uint16_t>(type), 1, 0);
        fill(w);
        ASSERT_TRUE(w.Finish());
    }
    universe.Handle(&link, FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()));
}

bool IsQuestion(const std::string &line) {
    const auto endsWith = [&](const std::string &tail) {
        return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    };
    return endsWith(" owner") || endsWith(" version");
}

TEST(DemoPeople, AskTheBotsNowAndThenNotInEveryOtherLine) {
    constexpr int kTicksPerMinute = 60 * 1000 / DemoPeople::kTickMilliseconds;
    for (const unsigned seed : {1u, 7u, 2024u}) {
        Store store;
        std::string error;
        ASSERT_TRUE(store.Open("", error));
        ASSERT_TRUE(FillDemoContent(store, 1, error));
        ServerOptions options;
        Universe universe(store, options);
        ASSERT_TRUE(universe.Load(error));
        RecordingLink bot;
        universe.Attach(&bot, kBotBuild);
        Request(universe, bot, MessageType::Login, [](FrameWriter &w) {
            w.Int(kAttrLoginCitizen, kDemoLoginCitizen).String(kAttrLoginPassword, kDemoLoginPassword);
            w.String(kAttrLoginName, kDemoBotName);
        });
        Request(universe, bot, MessageType::Enter, [](FrameWriter &w) { w.String(kFieldWorld, kDemoStartWorld); });
        ASSERT_EQ(universe.BotsIn(kDemoStartWorld).size(), 1u);

        DemoPeople people(universe, seed);
        int lines = 0, questions = 0;
        for (int tick = 0; tick < 10 * kTicksPerMinute; ++tick) {
            people.Tick();
            for (const std::string &line : bot.TakeChat()) {
                ++lines;
                questions += IsQuestion(line);
            }
        }
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_GT(lines, 200) << "Town is a lively place";
        EXPECT_GE(questions, 3) << "the bot is still asked, now and then";
        EXPECT_LE(questions * 100, lines * 5) << questions << " questions in " << lines << " lines";
        universe.Detach(&bot);
    }
}

} // namespace
