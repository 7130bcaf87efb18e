// The history's windows in the running program: Ctrl+F and the menus open them over what the bot records, Escape
// closes only them, and deleting history leaves the chat pane the lines it holds in memory.

#include "RunningApp.h"
#include "app/Commands.h"
#include "app/Session.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/MainWindow.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "chat/ui/ChatView.h"
#include "history/ui/HistoryLinesModel.h"
#include "history/ui/SearchHistoryWindow.h"
#include "history/ui/VisitorsWindow.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

namespace {

class HistoryWindowsApp : public RunningApp {
protected:
    void SetUp() override {
        RunningApp::SetUp();
        Start();
    }

    // Searches until the recorded line shows up: the writer commits a few times a second.
    bool SearchFinds(SearchHistoryWindow &w, const QString &query, int rows) {
        return QTest::qWaitFor(
            [&] {
                w.QueryBox()->setText(query);
                QTest::keyClick(w.QueryBox(), Qt::Key_Return);
                return QTest::qWaitFor([&] { return !w.Busy(); }, 5000) && w.ResultsModel()->rowCount() == rows;
            },
            5000);
    }

};

TEST_F(HistoryWindowsApp, CtrlFSearchesWhatTheBotRecordsAndEscapeClosesOnlyTheWindow) {
    MainWindow &window = gabbler_->Window();
    Say("a needle in the haystack");
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.SayBox(), Qt::Key_F, Qt::ControlModifier);
    auto *search = window.findChild<SearchHistoryWindow *>();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(search));
    EXPECT_TRUE(QTest::qWaitFor([&] { return search->QueryBox()->hasFocus(); }, 2000));
    ASSERT_TRUE(SearchFinds(*search, "needle", 1));
    EXPECT_EQ(search->ResultsModel()->index(0, HistoryLinesModel::TextColumn).data().toString(),
              "[Tester]: a needle in the haystack");
    QTest::keyClick(search->QueryBox(), Qt::Key_Escape);
    EXPECT_FALSE(search->isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(gabbler_->GetSession().Started());

    // Opened again, it is the same window, brought forward.
    window.CommandAction(Command::SearchHistory)->trigger();
    EXPECT_EQ(window.findChildren<SearchHistoryWindow *>().size(), 1);
    EXPECT_TRUE(search->isVisible());

    window.CommandAction(Command::Visitors)->trigger();
    auto *visitors = window.findChild<VisitorsWindow *>();
    ASSERT_NE(visitors, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !visitors->Busy(); }, 5000));
    EXPECT_TRUE(visitors->isVisible());
    EXPECT_TRUE(visitors->Status()->text().endsWith("person(s).")) << visitors->Status()->text().toStdString();
}

TEST_F(HistoryWindowsApp, DeletingHistoryLeavesThePaneAsItIs) {
    MainWindow &window = gabbler_->Window();
    Say("remember me");
    SearchHistoryWindow *search = gabbler_->OpenSearchHistory();
    ASSERT_TRUE(SearchFinds(*search, "remember", 1));
    const std::size_t paneLines = gabbler_->Chat().Log().LineCount();
    search->Delete(std::nullopt, std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->Busy(); }, 5000));
    EXPECT_EQ(search->Status()->text(), "History deleted. Search again to see what is left.");
    ASSERT_TRUE(SearchFinds(*search, "remember", 0));
    EXPECT_EQ(gabbler_->Chat().Log().LineCount(), paneLines);
    // Recording goes on into the emptied store.
    Say("recorded after");
    EXPECT_TRUE(SearchFinds(*search, "after", 1));
    EXPECT_TRUE(window.isVisible());
}

// A long session, most of it no longer in memory.
class HistoryWindowsAppLongSession : public RunningApp {
protected:
    void SetUp() override {
        RunningApp::SetUp();
        Settings settings;
        settings.scrollbackLines = 100;
        Start(settings);
    }
};

TEST_F(HistoryWindowsAppLongSession, DeletingHistoryTakesTheDeletedLinesOutOfThePane) {
    ChatPane &chat = gabbler_->Chat();
    for (int i = 0; i < 1000; ++i) {
        if (i % 50 == 0) {
            gabbler_->History().Writer()->Flush(); // stored, so that memory lets them go
        }
        chat.AppendChatLine("line " + std::to_string(i), ChatColour::Blue, false);
    }
    gabbler_->History().Writer()->Flush();
    ASSERT_GT(chat.Log().LineCount(), 1000u);
    ASSERT_LE(chat.Log().MemoryLineCount(), 100u);
    const std::size_t inMemory = chat.Log().MemoryLineCount();
    SearchHistoryWindow *search = gabbler_->OpenSearchHistory();
    search->Delete(std::nullopt, std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->Busy(); }, 5000));

    // As the view draws and copies it: the lines still in memory, and no empty line where chat was.
    ChatView *view = gabbler_->Window().Chat();
    QApplication::processEvents();
    view->SelectAll();
    const QStringList lines = view->SelectedText().split('\n');
    EXPECT_EQ(static_cast<std::size_t>(lines.size()), inMemory);
    EXPECT_EQ(lines.count(QString()), 0);
    EXPECT_EQ(lines.back(), "line 999");
}

} // namespace
