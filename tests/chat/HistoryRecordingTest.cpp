// What the chat pane and the people handlers record into the history, against a real universe in this process.

#include "PeopleServerFixture.h"
#include "TempDir.h"
#include "chat/HistoryRecorder.h"
#include "history/HistoryReader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using namespace people_server;

namespace {

constexpr std::int64_t kHourMs = 3600 * 1000;

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

class HistoryRecording : public PeopleWithServer {
protected:
    void SetUp() override {
        PeopleWithServer::SetUp();
        recorder_.SetEnabled(true);
        h_.chat.SetHistory(&recorder_);
    }
    void TearDown() override {
        h_.chat.SetHistory(nullptr);
        recorder_.SetEnabled(false);
        PeopleWithServer::TearDown();
    }

    std::unique_ptr<HistoryReader> Reader() {
        recorder_.Writer()->Flush();
        auto reader = std::make_unique<HistoryReader>();
        std::string error;
        EXPECT_TRUE(reader->Open(dir_.Path(), false, error)) << error;
        return reader;
    }
    std::vector<HistoryLine> Stored() {
        return Reader()->Range(recorder_.Writer()->FirstLineNumber(), 1000).lines;
    }

    TempDir dir_;
    std::vector<std::string> problems_;
    HistoryRecorder recorder_{dir_.Path(), [this](const std::string &text) { problems_.push_back(text); },
                              [] { return SdkGetString(kAttrWorldName); }};
};

TEST_F(HistoryRecording, LinesOfEveryKindWithTheirAttributes) {
    h_.timestampMsgs = true; // the prefix is shown, not recorded: the time is a column of its own
    h_.chat.AppendChatLine("Attempting to start", ChatColour::Blue, true);
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    const int helper = Arrive("[Helper]", 0, 1234);
    ASSERT_TRUE(server_->Say(alice, "hello there"));
    ASSERT_TRUE(PumpUntil([&] { return h_.Texts().back().ends_with("Alice: hello there"); }));
    ASSERT_TRUE(server_->Whisper(alice, SdkSession(), "psst"));
    ASSERT_TRUE(PumpUntil([&] { return h_.Texts().back().ends_with("Whisper from Alice: psst"); }));
    SdkSetString(kAttrConsoleMessage, "Server restarts soon");
    SdkSetInt(kAttrConsoleRed, 0x12);
    SdkSetInt(kAttrConsoleGreen, 0x34);
    SdkSetInt(kAttrConsoleBlue, 0x56);
    SdkSetBool(kAttrConsoleBold, true);
    SdkSetBool(kAttrConsoleItalics, false);
    ASSERT_EQ(SdkConsoleMessage(0), 0);
    ASSERT_TRUE(PumpUntil([&] { return h_.Texts().back().ends_with("Server restarts soon"); }));
    Select("[Helper]", helper);
    ASSERT_TRUE(h_.people.RunCommand(PeopleCommand::GetVersion));
    h_.chat.AppendChatLine("two\nlines", ChatColour::Red, false);

    struct Expected {
        LineKind kind;
        std::string world, speaker;
        std::optional<int> session;
        std::uint32_t colour;
        bool bold, italic;
        std::string text;
    };
    const Expected expected[] = {
        {LineKind::Notice, "", "", {}, ChatColour::Blue, true, true, "Attempting to start"},
        {LineKind::Notice, "Sunset", "", {}, ChatColour::Green, false, false,
         "Immigration Officer: Alice (citizen 5) has entered."},
        {LineKind::Notice, "Sunset", "", {}, ChatColour::Green, false, false,
         "Immigration Officer: [Helper] (privileges of 1234) has entered."},
        {LineKind::Chat, "Sunset", "Alice", alice, ChatColour::Black, false, false, "Alice: hello there"},
        {LineKind::Whisper, "Sunset", "Alice", alice, ChatColour::Blue, false, true, "Whisper from Alice: psst"},
        {LineKind::Console, "Sunset", "", {}, 0x123456, true, false, "Server restarts soon"},
        {LineKind::Own, "Sunset", "Tester", {}, ChatColour::Blue, false, true,
         "[Tester] (to [Helper]): Helper version"},
        {LineKind::Notice, "Sunset", "", {}, ChatColour::Red, false, false, "two"},
        {LineKind::Notice, "Sunset", "", {}, ChatColour::Red, false, false, "lines"},
    };
    const std::vector<HistoryLine> stored = Stored();
    std::vector<std::string> texts;
    for (const HistoryLine &line : stored) {
        texts.push_back(line.text);
    }
    ASSERT_EQ(stored.size(), std::size(expected)) << testing::PrintToString(texts);
    const std::int64_t now = NowMs();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const HistoryLine &got = stored[i];
        const Expected &want = expected[i];
        SCOPED_TRACE(want.text);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.world, want.world);
        EXPECT_EQ(got.speaker, want.speaker);
        EXPECT_EQ(got.session, want.session);
        EXPECT_EQ(got.colour, want.colour);
        EXPECT_EQ(std::make_pair(got.bold, got.italic), std::make_pair(want.bold, want.italic));
        EXPECT_EQ(got.text, want.text);
        EXPECT_LE(got.time, now);
        EXPECT_GT(got.time, now - 60000);
    }
    EXPECT_TRUE(problems_.empty());
}

TEST_F(HistoryRecording, VisitsOpenAndCloseThroughDeparturesEntriesAndTheEnd) {
    Enter("Sunset");
    Arrive("Alice", 5, 5);
    const int bob = Arrive("Bob", 6, 6);
    Leave(bob);
    h_.people.Reset(); // what an entry into another world or a lost connection does
    const int bob2 = Arrive("Bob", 6, 6);
    ASSERT_GT(bob2, 0);
    const std::int64_t later = NowMs() + kHourMs;
    struct Case {
        const char *name;
        int visits;
        bool open;
    };
    const auto check = [&](const Case (&cases)[2]) {
        HistoryFilter sunset;
        sunset.world = "Sunset";
        const std::vector<VisitorSummary> visitors = Reader()->Visitors(sunset, later);
        ASSERT_EQ(visitors.size(), 2u);
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            const auto it = std::find_if(visitors.begin(), visitors.end(),
                                         [&](const VisitorSummary &v) { return v.name == c.name; });
            ASSERT_NE(it, visitors.end());
            EXPECT_EQ(it->visits, c.visits);
            EXPECT_EQ(it->citizen, std::string(c.name) == "Alice" ? 5 : 6);
            // A visit still open counts up to the time asked about, an hour from now.
            EXPECT_EQ(it->totalMs >= kHourMs, c.open);
        }
    };
    check({{"Alice", 1, false}, {"Bob", 2, true}});
    recorder_.SetEnabled(false); // the program's end
    recorder_.SetEnabled(true);
    check({{"Alice", 1, false}, {"Bob", 2, false}});
}

// What the pane shows of each line: its view flags, its runs as text and packed format.
std::vector<std::string> Shown(const ChatLog &log) {
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        const ChatLine line = log.Line(i);
        std::string text = "{" + std::to_string(log.LineFlags(i)) + "}";
        for (std::size_t k = 0; k < line.RunCount(); ++k) {
            const ChatRun run = line.Run(k);
            text += "[" + std::to_string(run.format.colour) + (run.format.bold ? "b" : "") +
                    (run.format.italic ? "i" : "") + (run.format.underline ? "u" : "") + "]" + std::string(run.text);
        }
        shown.push_back(text);
    }
    return shown;
}

// The text of every line the pane shows.
std::vector<std::string> Texts(const ChatLog &log) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        texts.emplace_back(log.Line(i).Text());
    }
    return texts;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(HistoryRecording, ThePaneKeepsTheWholeSessionInBoundedMemory) {
    h_.chat.SetScrollbackLines(0);
    Enter("Sunset");
    const int alice = Arrive("Alice", 5, 5);
    for (int i = 0; i < 300; ++i) {
        h_.timestampMsgs = i % 3 == 0;
        ASSERT_TRUE(server_->Say(alice, "line " + std::to_string(i) + " \xC3\xA9t\xC3\xA9"));
        if (i % 50 == 0) {
            ASSERT_TRUE(server_->Whisper(alice, SdkSession(), "psst " + std::to_string(i)));
            h_.chat.AppendChatLine("first\nsecond " + std::to_string(i), 0x123456, false, true, true, true);
        }
    }
    ASSERT_TRUE(PumpUntil([&] { return h_.Texts().back().ends_with("line 299 \xC3\xA9t\xC3\xA9"); }));
    const std::vector<std::string> whole = Shown(h_.chat.Log());
    const ChatLineFilter whispers{0, ChatLineFlag::Whisper};
    const auto findWhispers = [&] {
        const ChatLog &log = h_.chat.Log();
        std::vector<std::uint64_t> found;
        for (auto n = log.FindShown(log.FirstLineNumber(), true, whispers); n;
             n = log.FindShown(*n + 1, true, whispers)) {
            found.push_back(*n);
        }
        return std::make_pair(found, log.CountShown(log.FirstLineNumber(), log.EndLineNumber(), whispers));
    };
    const auto wholeWhispers = findWhispers();
    ASSERT_EQ(wholeWhispers.second, 6u);
    const std::string savedWhole = dir_.File("whole.rtf");
    ASSERT_TRUE(h_.chat.SaveLog(savedWhole).ok);

    recorder_.Writer()->Flush();
    h_.chat.SetScrollbackLines(100);
    EXPECT_EQ(h_.chat.Log().MemoryLineCount(), 100u) << "the rest is in the history";
    EXPECT_EQ(h_.chat.Log().LinesLost(), 0u);
    EXPECT_EQ(Shown(h_.chat.Log()), whole) << "every line, read back past the memory's border";
    EXPECT_EQ(findWhispers(), wholeWhispers) << "the view's filters find the lines read back";
    const std::string savedPaged = dir_.File("paged.rtf");
    ASSERT_TRUE(h_.chat.SaveLog(savedPaged).ok);
    EXPECT_EQ(ReadFile(savedPaged), ReadFile(savedWhole)) << "Save Log writes the whole session";

    // New lines push older ones out of memory as the writer stores them, never out of the pane.
    for (int i = 0; i < 300; ++i) {
        h_.chat.AppendChatLine("more " + std::to_string(i), ChatColour::Black, false);
    }
    recorder_.Writer()->Flush();
    h_.chat.AppendChatLine("last", ChatColour::Black, false);
    EXPECT_EQ(h_.chat.Log().LineCount(), whole.size() + 301);
    EXPECT_EQ(h_.chat.Log().MemoryLineCount(), 100u);
    EXPECT_EQ(Shown(h_.chat.Log())[whole.size() + 7], "{0}[0]more 7");

    // Clear Buffer empties the pane; the history keeps the lines.
    h_.chat.ClearBuffer();
    EXPECT_EQ(h_.chat.Log().LineCount(), 0u);
    EXPECT_EQ(Stored().size(), std::min<std::size_t>(1000, whole.size() + 301));
}

// Delete History while the pane holds a long session: three parts of it, apart in time, and the pane keeping the
// newest hundred lines in memory. The pane then shows only lines that still exist, without gaps, and Save Log
// writes what it shows; lines that come later leave memory for the history as before.
TEST(HistoryDeletedUnderThePane, ThePaneShowsOnlyLinesThatStillExist) {
    enum Part { A, B, C, CInMemory };
    struct Case {
        const char *name;
        int from; // -1: the earliest time; 1 and 2: the moments between the parts; 3: the latest time
        int to;
        std::vector<Part> shown;
        bool inMemoryGone; // lines deleted while in memory, which leave the pane when they leave memory
    };
    const Case cases[] = {
        {"everything", -1, 3, {CInMemory}, true},
        {"the oldest part", -1, 1, {B, C}, false},
        {"the middle part: the older one, still stored, goes with it", 1, 2, {C}, false},
        {"the newest part, some of it in memory", 2, 3, {CInMemory}, true},
        {"nothing of this session", 0, 0, {A, B, C}, false},
    };
    const auto text = [](Part part, int i) { return std::string(1, "ABC"[part]) + " line " + std::to_string(i); };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        HistoryRecorder recorder(dir.Path(), {}, [] { return std::string("Town"); });
        recorder.SetEnabled(true);
        ChatPane pane(100);
        pane.SetHistory(&recorder);
        const auto say = [&](const std::string &line, int i) {
            if (i % 50 == 0) {
                recorder.Writer()->Flush(); // stored before memory lets them go
            }
            pane.AppendChatLine(line, ChatColour::Blue, false);
        };
        std::int64_t moments[4] = {std::numeric_limits<std::int64_t>::min(), 0, 0,
                                   std::numeric_limits<std::int64_t>::max()};
        for (Part part : {A, B, C}) {
            if (part != A) {
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                moments[part] = NowMs();
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            for (int i = 0; i < 300; ++i) {
                say(text(part, i), i);
            }
        }
        recorder.Writer()->Flush();
        ASSERT_EQ(pane.Log().LineCount(), 900u);
        ASSERT_EQ(pane.Log().MemoryLineCount(), 100u);

        HistoryReader changer;
        std::string error;
        ASSERT_TRUE(changer.Open(dir.Path(), true, error)) << error;
        std::vector<DeletedLines> deleted;
        const std::int64_t from = c.from == 0 ? 0 : moments[c.from + (c.from < 0 ? 1 : 0)];
        const std::int64_t to = c.to == 0 ? 1000 : moments[c.to];
        ASSERT_TRUE(changer.Delete(from, to, error, &deleted)) << error;
        pane.HistoryDeleted(deleted);

        std::vector<std::string> expected;
        for (Part part : c.shown) {
            for (int i = part == CInMemory ? 200 : 0; i < 300; ++i) {
                expected.push_back(text(part == CInMemory ? C : part, i));
            }
        }
        EXPECT_EQ(Texts(pane.Log()), expected);
        ChatPane plain(0);
        for (const std::string &line : expected) {
            plain.AppendChatLine(line, ChatColour::Blue, false);
        }
        ASSERT_TRUE(pane.SaveLog(dir.File("pane.rtf")).ok);
        ASSERT_TRUE(plain.SaveLog(dir.File("expected.rtf")).ok);
        EXPECT_TRUE(ReadFile(dir.File("pane.rtf")) == ReadFile(dir.File("expected.rtf")))
            << "Save Log writes what it shows";

        for (int i = 0; i < 200; ++i) {
            say("after " + std::to_string(i), i);
        }
        recorder.Writer()->Flush();
        std::vector<std::string> shown = Texts(pane.Log());
        const auto notice = std::find(shown.begin(), shown.end(), ChatPane::LinesLostMessage(100));
        EXPECT_EQ(notice != shown.end(), c.inMemoryGone) << "said when lines left that the history no longer has";
        if (notice != shown.end()) {
            shown.erase(notice);
        }
        if (c.inMemoryGone) {
            expected.clear();
        }
        for (int i = 0; i < 200; ++i) {
            expected.push_back("after " + std::to_string(i));
        }
        EXPECT_EQ(shown, expected);
        pane.SetHistory(nullptr);
    }
}

TEST_F(HistoryRecording, WithRecordingOffThePaneKeepsItsLimitAndSaysSoOnce) {
    recorder_.SetEnabled(false);
    h_.chat.SetScrollbackLines(100);
    const auto said = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            h_.chat.AppendChatLine("line " + std::to_string(i), ChatColour::Black, false);
        }
        const std::vector<std::string> texts = h_.Texts();
        EXPECT_EQ(texts.size(), 100u);
        EXPECT_EQ(texts.back(), "line " + std::to_string(to - 1));
        return std::count(texts.begin(), texts.end(), ChatPane::LinesLostMessage(100));
    };
    EXPECT_EQ(said(0, 150), 1);
    EXPECT_EQ(said(150, 400), 0) << "said once";
    EXPECT_EQ(h_.chat.Log().LinesLost(), 301u);
    EXPECT_EQ(ChatPane::LinesLostMessage(100),
              "The chat pane keeps its last 100 lines, and older lines that are not in the history are no longer "
              "shown.");
}

} // namespace
