// The running program records into history.db in its data folder: lines with their kind, visits ended by a lost
// connection and by the program's end, the setting that turns recording off, and a store that cannot be written.

#include "RunningApp.h"
#include "TempDir.h"
#include "app/Session.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/MainWindow.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "history/HistoryReader.h"
#include "history/HistorySchema.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

class HistoryApp : public RunningApp {
protected:
    void Say(const std::string &text) { RunningApp::Say(QString::fromStdString(text)); }

    std::vector<std::string> PaneTexts() const {
        std::vector<std::string> texts;
        const ChatLog &log = gabbler_->Chat().Log();
        for (std::size_t i = 0; i < log.LineCount(); ++i) {
            texts.emplace_back(log.Line(i).Text());
        }
        return texts;
    }

    std::unique_ptr<HistoryReader> Reader() {
        if (gabbler_ && gabbler_->History().Writer()) {
            gabbler_->History().Writer()->Flush();
        }
        auto reader = std::make_unique<HistoryReader>();
        std::string error;
        EXPECT_TRUE(reader->Open(home_.Path(), false, error)) << error;
        return reader;
    }

    std::vector<HistoryLine> AllLines() {
        std::vector<HistoryLine> lines;
        std::string error;
        EXPECT_TRUE(Reader()->ForEach({}, {}, [&](const HistoryLine &line) {
            lines.push_back(line);
            return true;
        }, error)) << error;
        return lines;
    }

};

const HistoryLine *FindText(const std::vector<HistoryLine> &lines, const std::string &text) {
    for (const HistoryLine &line : lines) {
        if (line.text == text) {
            return &line;
        }
    }
    return nullptr;
}

TEST_F(HistoryApp, TheProgramsLinesAndWhatTheBotSaysAreRecorded) {
    Start();
    Say("hello world");
    const std::vector<HistoryLine> lines = AllLines();
    const HistoryLine *start = FindText(lines, "Attempting to start Gabbler Build 35...");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->kind, LineKind::Notice);
    EXPECT_TRUE(start->speaker.empty());
    const HistoryLine *said = FindText(lines, "[Tester]: hello world");
    ASSERT_NE(said, nullptr);
    EXPECT_EQ(said->kind, LineKind::Own);
    EXPECT_EQ(said->speaker, "Tester");
    EXPECT_EQ(said->world, "Sunset");
    EXPECT_EQ(lines.size(), PaneTexts().size()) << "every line of the pane, once";
}

TEST_F(HistoryApp, VisitsEndWithALostConnectionAndWithTheProgram) {
    Settings settings;
    settings.reenterWorld = true;
    Start(settings);
    PersonSpec alice;
    alice.name = "Alice";
    alice.citizen = 1234;
    const int session = server_->AddPerson("Sunset", alice);
    ASSERT_GT(session, 0);
    // Asked about an hour from now, a visit still open counts that hour.
    const std::int64_t later = NowMs() + 3600 * 1000;
    struct Ledger {
        int visits = 0;
        bool open = false;
    };
    const auto ledger = [&] {
        const std::vector<VisitorSummary> visitors = Reader()->Visitors({}, later);
        return visitors.size() == 1 ? Ledger{visitors[0].visits, visitors[0].totalMs >= 3000 * 1000} : Ledger{};
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return ledger().visits == 1; }, 5000));
    EXPECT_TRUE(ledger().open) << "Alice is there";
    // She leaves while the bot is cut off: no departure ever reaches it, the lost connection ends her visit.
    server_->DropConnections();
    ASSERT_TRUE(server_->Leave(session));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto texts = PaneTexts();
            return std::find(texts.begin(), texts.end(),
                             "Immigration Officer: Gabbler has successfully reentered the world.") != texts.end();
        },
        15000));
    EXPECT_EQ(ledger().visits, 1);
    EXPECT_FALSE(ledger().open);

    // Back again; the program's end ends the visit still open.
    ASSERT_GT(server_->AddPerson("Sunset", alice), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ledger().visits == 2; }, 5000));
    EXPECT_TRUE(ledger().open);
    gabbler_.reset();
    EXPECT_EQ(ledger().visits, 2);
    EXPECT_FALSE(ledger().open) << "the program's end ends the visit";
}

TEST_F(HistoryApp, TheSettingTurnsRecordingOffAndOn) {
    Settings settings;
    settings.recordHistory = false;
    Start(settings);
    Say("before");
    EXPECT_FALSE(std::filesystem::exists(home_.File(kHistoryFileName))) << "nothing is recorded, no file made";
    gabbler_->Window().SetRecordHistory(true); // what OK in the Settings dialog does when the box changed
    Say("during");
    gabbler_->Window().SetRecordHistory(false);
    Say("after");
    std::vector<std::string> texts;
    for (const HistoryLine &line : AllLines()) {
        texts.push_back(line.text);
    }
    EXPECT_EQ(texts, std::vector<std::string>{"[Tester]: during"});
}

TEST_F(HistoryApp, AStoreThatCannotBeWrittenIsReportedOnceAndTheProgramGoesOn) {
    std::filesystem::create_directory(home_.File(kHistoryFileName)); // a folder where the file should be
    Start();
    Say("first");
    Say("second");
    const auto reports = [&] {
        int n = 0;
        for (const std::string &text : PaneTexts()) {
            n += text.starts_with("The history is not recorded: ");
        }
        return n;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports() > 0; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(reports(), 1);
    const std::vector<std::string> texts = PaneTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "[Tester]: second"), texts.end());
}

} // namespace
