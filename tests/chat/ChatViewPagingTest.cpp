// The chat view over a pane whose older lines live in the history: scrolling back past the memory's border shows
// the stored lines, and a selection across the border copies as if every line were in memory.

#include "TempDir.h"
#include "chat/HistoryRecorder.h"
#include "chat/ui/ChatView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QTest>

#include <gtest/gtest.h>
#include <string>

namespace {

int argc = 1;
char name[] = "test_chat_view_paging";
char *argv[] = {name, nullptr};

class ChatViewPaging : public testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QApplication(argc, argv); }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

    ChatViewPaging() {
        recorder.SetEnabled(true);
        pane.SetHistory(&recorder);
        view.resize(600, 300);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    ~ChatViewPaging() override { pane.SetHistory(nullptr); }

    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }
    // Lines in batches, each stored before the next comes, so that memory keeps only the newest hundred.
    void Fill(int count) {
        for (int i = 0; i < count; ++i) {
            if (i % 50 == 0) {
                recorder.Writer()->Flush();
            }
            pane.AppendChatLine("line " + std::to_string(i), ChatColour::Blue, false);
        }
        Settle();
    }
    std::string Expected(std::uint64_t from, std::uint64_t to) const {
        std::string text;
        for (std::uint64_t i = from; i < to; ++i) {
            text += (text.empty() ? "" : "\n") + ("line " + std::to_string(i));
        }
        return text;
    }

    inline static QApplication *app_ = nullptr;
    TempDir dir;
    HistoryRecorder recorder{dir.Path(), {}, [] { return std::string("Town"); }};
    ChatPane pane{100};
    ChatView view{pane};
};

TEST_F(ChatViewPaging, ScrollingAndSelectingAcrossTheMemorysBorder) {
    Fill(1000);
    const ChatLog &log = pane.Log();
    ASSERT_EQ(log.LineCount(), 1000u);
    const std::uint64_t border = log.MemoryFirstLineNumber();
    ASSERT_GT(border, 800u) << "the older lines have left memory";
    ASSERT_LE(log.MemoryLineCount(), 150u);

    // The top of the pane is the session's first line, read back from the history.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(view.TopLineIndex(), 0u);
    const int row = QFontMetrics(view.font()).height();
    QWidget *area = view.viewport();
    QTest::mouseDClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(60, row / 2));
    EXPECT_EQ(view.SelectedText().toStdString(), "0");

    // Two stored lines and two in memory, by the mouse.
    view.ScrollToLine(static_cast<std::size_t>(border - 2));
    Settle();
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(2, row / 2));
    QTest::mouseMove(area, QPoint(500, 3 * row + row / 2));
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(500, 3 * row + row / 2));
    EXPECT_EQ(view.SelectedText().toStdString(), Expected(border - 2, border + 2));
    QApplication::clipboard()->clear();
    view.Copy();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), Expected(border - 2, border + 2));

    // Everything, from the first stored line to the last in memory.
    view.SelectAll();
    EXPECT_EQ(view.SelectedText().toStdString(), Expected(0, 1000));
}

} // namespace
