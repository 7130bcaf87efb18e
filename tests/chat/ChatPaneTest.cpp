#include "chat/ChatPane.h"

#include "RtfReader.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

class RecordingView : public ChatPaneView {
public:
    void ChatChanged() override { calls += "changed "; }
    void FollowChatEnd() override { calls += "end "; }
    std::string calls;
};

// Runs a test body in a fixed time zone and the C locale, restoring both afterwards.
class Environment {
public:
    explicit Environment(const char *zone, const char *locale = "C") {
        const char *tz = std::getenv("TZ");
        hadZone_ = tz != nullptr;
        savedZone_ = tz ? tz : "";
        savedLocale_ = std::setlocale(LC_ALL, nullptr);
        ::setenv("TZ", zone, 1);
        ::tzset();
        localeOk_ = std::setlocale(LC_ALL, locale) != nullptr;
    }
    ~Environment() {
        if (hadZone_) {
            ::setenv("TZ", savedZone_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
        std::setlocale(LC_ALL, savedLocale_.c_str());
    }
    bool LocaleOk() const { return localeOk_; }

private:
    bool hadZone_ = false;
    bool localeOk_ = false;
    std::string savedZone_;
    std::string savedLocale_;
};

TEST(ChatPane, EveryAppendRepaintsLaterAndFollowsTheEnd) {
    ChatPane pane;
    RecordingView view;
    pane.SetView(&view);
    pane.AppendChatLine("a", ChatColour::Green, 0, 0, 0, 1);
    pane.ClearBuffer();
    EXPECT_EQ(view.calls, "changed end changed end ");
}

TEST(ChatPane, TheShortFormSetsBoldAndItalicTogether) {
    ChatPane pane;
    pane.AppendChatLine("Logging in...", ChatColour::Blue, true);
    pane.AppendChatLine("done", ChatColour::Blue, false);
    ASSERT_EQ(pane.Log().LineCount(), 2u);
    EXPECT_EQ(pane.Log().Line(0).Run(0).format, (ChatFormat{ChatColour::Blue, true, true, false}));
    EXPECT_EQ(pane.Log().Line(1).Run(0).format, (ChatFormat{ChatColour::Blue, false, false, false}));
    EXPECT_FALSE(pane.Log().LastLineOpen());
}

TEST(ChatPane, TimestampPrefixIsBlackAndTheLineFollowsOnTheSameLine) {
    Environment env("UTC");
    ChatPane pane;
    pane.AppendTimestampPrefix(0);
    pane.AppendChatLine("[Bot] (to Ann): hi", ChatColour::Blue, 0, 1, 0, 1);
    ASSERT_EQ(pane.Log().LineCount(), 1u);
    const ChatLine line = pane.Log().Line(0);
    ASSERT_EQ(line.RunCount(), 2u);
    EXPECT_EQ(line.Run(0).text, "[Thu Jan  1 00:00:00 1970] ");
    EXPECT_EQ(line.Run(0).format, (ChatFormat{ChatColour::Black, false, false, false}));
    EXPECT_EQ(line.Run(1).text, "[Bot] (to Ann): hi");
    EXPECT_EQ(line.Run(1).format, (ChatFormat{ChatColour::Blue, false, true, false}));

    // The prefix follows the clock, not a stale copy.
    pane.AppendTimestampPrefix(61);
    pane.AppendChatLine("x", ChatColour::Black, 0, 0, 0, 1);
    EXPECT_EQ(pane.Log().Line(1).Run(0).text, "[Thu Jan  1 00:01:01 1970] x");
}

struct ClockCase {
    const char *name;
    std::time_t now;
    std::int64_t offset;
    bool known;
    const char *text24;
    const char *text12;
};

TEST(ChatPane, ClockShowsUtcLessTwoHoursCorrectedByTheUniverse) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    const ClockCase cases[] = {
        {"local reckoning", 0, 0, false, "Wednesday, 22:00:00 VRT", "Wednesday, 10:00:00 PM VRT"},
        {"offset ignored until known", 0, 3600, false, "Wednesday, 22:00:00 VRT", "Wednesday, 10:00:00 PM VRT"},
        {"local clock ahead", 0, 3600, true, "Wednesday, 21:00:00 VRT", "Wednesday, 09:00:00 PM VRT"},
        {"local clock behind", 0, -7200, true, "Thursday, 00:00:00 VRT", "Thursday, 12:00:00 AM VRT"},
        {"noon", 14 * 3600 + 5, 0, true, "Thursday, 12:00:05 VRT", "Thursday, 12:00:05 PM VRT"},
        {"absurd offsets fall back", 0, kMin, true, "Wednesday, 22:00:00 VRT", "Wednesday, 10:00:00 PM VRT"},
        {"absurd offsets fall back, other side", 0, kMax, true, "Wednesday, 22:00:00 VRT",
         "Wednesday, 10:00:00 PM VRT"},
    };
    Environment env("UTC");
    for (const ClockCase &c : cases) {
        EXPECT_EQ(ChatPane::ClockText(c.now, c.offset, c.known, false), c.text24) << c.name;
        EXPECT_EQ(ChatPane::ClockText(c.now, c.offset, c.known, true), c.text12) << c.name;
    }
}

TEST(ChatPane, ClockDoesNotDependOnTheLocalTimeZoneOrItsDaylightSaving) {
    if (!std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin")) {
        GTEST_SKIP() << "time zone data is not installed";
    }
    // 2024-03-31 01:30 UTC, half an hour before Berlin moves its clocks forward, and 2024-10-27 01:30 UTC, just after
    // it moves them back.
    for (const std::time_t now : {std::time_t{1711848600}, std::time_t{1729992600}}) {
        std::string utc, berlin;
        {
            Environment env("UTC");
            utc = ChatPane::ClockText(now, 0, false, false);
        }
        {
            Environment env("Europe/Berlin");
            berlin = ChatPane::ClockText(now, 0, false, false);
        }
        EXPECT_EQ(berlin, utc) << now;
    }
}

TEST(ChatPane, TwelveHourClockHasAMarkerInLocalesWithoutOne) {
    Environment env("UTC", "de_DE.UTF-8");
    if (!env.LocaleOk()) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    EXPECT_EQ(ChatPane::ClockText(0, 0, false, true), "Mittwoch, 10:00:00 PM VRT");
    EXPECT_EQ(ChatPane::ClockText(0, 0, false, false), "Mittwoch, 22:00:00 VRT");
}

TEST(ChatPane, SaveLogWritesRtfToTheNameAsTypedAndReplacesWhole) {
    TempDir dir;
    ChatPane pane;
    pane.AppendChatLine("{\\rtf1 hello} \xC3\xA9", ChatColour::Teal, 1, 0, 1, 1);
    const std::string path = dir.File("chatlog"); // no extension added
    ASSERT_TRUE(WriteFileAtomically(path, "old content that is longer than nothing").ok);
    const FileResult result = pane.SaveLog(path, {"DejaVu Sans", 11});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_FALSE(std::filesystem::exists(path + ".rtf"));
    const auto content = ReadWholeFile(path);
    ASSERT_TRUE(content.has_value());
    const RtfText read = ReadRtf(*content);
    EXPECT_EQ(read.error, "");
    ASSERT_FALSE(read.paragraphs.front().empty());
    EXPECT_EQ(read.paragraphs.front().front(),
              (RtfText::Run{"{\\rtf1 hello} \xC3\xA9", {ChatColour::Teal, true, false, true}}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary left";
    EXPECT_EQ(ChatPane::SavedLogMessage(path), "Chat log saved to " + path + ".");
}

TEST(ChatPane, SaveLogFailuresNameTheFileAndLeaveNothingBehind) {
    TempDir dir;
    ChatPane pane;
    pane.AppendChatLine("line", ChatColour::Black, 0, 0, 0, 1);
    const std::string folder = dir.File("folder");
    std::filesystem::create_directory(folder);
    for (const std::string &path : {dir.File("no/such/folder/chatlog.rtf"), folder}) {
        const FileResult result = pane.SaveLog(path);
        EXPECT_FALSE(result.ok) << path;
        EXPECT_NE(result.error.find(path), std::string::npos) << result.error;
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary left";
    EXPECT_EQ(pane.Log().LineCount(), 1u);
}

} // namespace
