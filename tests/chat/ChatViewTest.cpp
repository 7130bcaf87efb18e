#include "chat/ui/ChatView.h"

#include "DarkDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = new QApplication(argc_, argv_); }
    void TearDown() override { delete app_; }

private:
    int argc_ = 1;
    char name_[16] = "test_chat_view";
    char *argv_[2] = {name_, nullptr};
    QApplication *app_ = nullptr;
};
[[maybe_unused]] auto *const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class PaintCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

// Where the view's text area was painted.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }
    QRegion painted;
};

class ChatViewTest : public ::testing::Test {
protected:
    explicit ChatViewTest(std::size_t scrollback = ChatLog::kDefaultLineLimit) : pane(scrollback), view(pane) {
        view.resize(600, 300);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
        Settle();
    }
    // Lets the event loop run its passes: the view's update, then its paint.
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }
    void Fill(int from, int to) {
        for (int i = from; i < to; ++i) {
            pane.AppendChatLine("line " + std::to_string(i), ChatColour::Blue, 0, 0, 0, 1);
        }
        Settle();
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&view, static_cast<Qt::Key>(key), modifiers);
    }
    QString Copied() {
        QApplication::clipboard()->clear();
        Key(Qt::Key_C, Qt::ControlModifier);
        return QApplication::clipboard()->text();
    }
    int RowHeight() const { return QFontMetrics(view.font()).height(); }

    ChatPane pane;
    ChatView view;
};

TEST_F(ChatViewTest, FollowsTheEndAndRepaintsOncePerPass) {
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    Fill(0, 500);
    EXPECT_EQ(counter.paints, 1) << "500 appends in one pass of the event loop";
    QScrollBar *bar = view.verticalScrollBar();
    EXPECT_TRUE(view.IsAtEnd());
    EXPECT_GT(bar->maximum(), 400);
    EXPECT_EQ(bar->value(), bar->maximum());

    Key(Qt::Key_PageUp);
    EXPECT_FALSE(view.IsAtEnd());
    EXPECT_LT(bar->value(), bar->maximum());
    Fill(500, 501);
    EXPECT_TRUE(view.IsAtEnd()) << "an append shows the end even after the user scrolled up";
    EXPECT_EQ(bar->value(), bar->maximum());

    QWheelEvent wheel(QPointF(10, 10), view.mapToGlobal(QPoint(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_FALSE(view.IsAtEnd());
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view.TopLineIndex(), 0u);
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(250);
    EXPECT_EQ(view.TopLineIndex(), 250u);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(view.TopLineIndex(), 252u);
    bar->setValue(bar->maximum());
    EXPECT_TRUE(view.IsAtEnd());
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view.IsAtEnd());
}

// With the setting on, a reader who scrolled up is not pulled back; the marker counts what arrived, and each way
// back to the end (End, Ctrl+End, a click on the marker) follows the end again.
TEST_F(ChatViewTest, StaysWhereTheUserScrolledAndCountsNewLinesBelow) {
    view.SetStayWhereScrolled(true);
    Fill(0, 500);
    EXPECT_TRUE(view.IsAtEnd()) << "at the end the view still follows";
    const ChatViewMarker *marker = view.NewLinesMarker();
    EXPECT_FALSE(marker->isVisible());

    struct WayBack {
        const char *name;
        std::function<void()> act;
    };
    const WayBack ways[] = {
        {"End", [&] { Key(Qt::Key_End); }},
        {"Ctrl+End", [&] { Key(Qt::Key_End, Qt::ControlModifier); }},
        {"a click on the marker", [&] { QTest::mouseClick(const_cast<ChatViewMarker *>(marker), Qt::LeftButton); }},
    };
    int next = 500;
    for (const WayBack &way : ways) {
        Key(Qt::Key_PageUp);
        Settle();
        const std::size_t top = view.TopLineIndex();
        PaintRecorder recorder;
        view.viewport()->installEventFilter(&recorder);
        Fill(next, next + 1);
        const auto markerArea = [&] { return QRect(view.viewport()->mapFrom(&view, marker->pos()), marker->size()); };
        QRegion markerAreas = markerArea();
        EXPECT_EQ(marker->text(), "1 new line below") << way.name;
        Fill(next + 1, next + 12);
        next += 12;
        EXPECT_FALSE(view.IsAtEnd()) << way.name;
        EXPECT_EQ(view.TopLineIndex(), top) << way.name;
        markerAreas += markerArea();
        EXPECT_TRUE((recorder.painted - markerAreas).isEmpty()) << way.name << ": only the marker was painted";
        view.viewport()->removeEventFilter(&recorder);
        EXPECT_EQ(view.NewLinesBelow(), 12u) << way.name;
        EXPECT_TRUE(marker->isVisible()) << way.name;
        EXPECT_EQ(marker->text(), "12 new lines below") << way.name;
        EXPECT_TRUE(view.viewport()->geometry().contains(marker->geometry())) << way.name;

        way.act();
        Settle();
        EXPECT_TRUE(view.IsAtEnd()) << way.name;
        EXPECT_FALSE(marker->isVisible()) << way.name;
        EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum()) << way.name;
        Fill(next, next + 1);
        ++next;
        EXPECT_TRUE(view.IsAtEnd()) << way.name << ": following again";
    }

    // Turning the setting off while away shows what was held back, as following would have.
    Key(Qt::Key_PageUp);
    Fill(next, next + 3);
    EXPECT_FALSE(view.IsAtEnd());
    view.SetStayWhereScrolled(false);
    Settle();
    EXPECT_TRUE(view.IsAtEnd());
    EXPECT_FALSE(marker->isVisible());

    // Clearing the buffer leaves nothing below to count.
    view.SetStayWhereScrolled(true);
    Key(Qt::Key_PageUp);
    Fill(next, next + 3);
    pane.ClearBuffer();
    Settle();
    EXPECT_FALSE(marker->isVisible());
    EXPECT_TRUE(view.IsAtEnd());
}

// Lines arriving a few at a time move the pixels already shown; what is on screen must equal a fresh paint.
TEST_F(ChatViewTest, PaintingOnlyTheNewRowsShowsWhatAFullPaintShows) {
    QScreen *screen = view.screen();
    if (screen->grabWindow(view.winId()).isNull()) {
        GTEST_SKIP() << "this platform cannot read back the screen";
    }
    const auto shown = [&] {
        const QRect area(view.viewport()->mapTo(&view, QPoint(0, 0)), view.viewport()->size());
        return screen->grabWindow(view.winId(), area.x(), area.y(), area.width(), area.height()).toImage();
    };
    const auto fresh = [&] { return view.viewport()->grab().toImage(); };
    Fill(0, 5);
    for (int pass = 0; pass < 40; ++pass) {
        pane.AppendTimestampPrefix(1700000000 + pass);
        if (pass % 3 != 0) {
            Settle(); // the prefix shown alone, then continued
        }
        pane.AppendChatLine("line " + std::to_string(pass) + (pass % 7 ? "" : std::string(200, 'w')), ChatColour::Red,
                            pass % 2, 0, 0, 1);
        Settle();
        ASSERT_EQ(shown(), fresh()) << "pass " << pass;
    }
}

TEST_F(ChatViewTest, SelectsWithTheKeyboardAndCopiesPlainText) {
    Fill(0, 20);
    pane.AppendChatLine("<b>not bold</b> {\\b}", ChatColour::Black, 0, 0, 0, 1);
    Settle();
    Key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(Copied(), "<b>not bold</b> {\\b}");
    Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Copied(), "line 19\n<b>not bold</b> {\\b}");
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Copied(), "19\n<b>not bold</b> {\\b}");

    Key(Qt::Key_A, Qt::ControlModifier);
    QString all;
    for (int i = 0; i < 20; ++i) {
        all += QString("line %1\n").arg(i);
    }
    EXPECT_EQ(Copied(), all + "<b>not bold</b> {\\b}");
}

TEST_F(ChatViewTest, SelectsWithTheMouse) {
    Fill(0, 50);
    Key(Qt::Key_Home, Qt::ControlModifier);
    QWidget *area = view.viewport();
    const int row = RowHeight();
    QTest::mouseDClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(8, row / 2));
    EXPECT_EQ(view.SelectedText(), "line");

    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(2, row / 2));
    QTest::mouseMove(area, QPoint(500, row + row / 2));
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(500, row + row / 2));
    EXPECT_EQ(view.SelectedText(), "line 0\nline 1");

    // Lines arriving while the button is down do not pull the view away from the selection.
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(2, row / 2));
    Fill(50, 60);
    EXPECT_FALSE(view.IsAtEnd());
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(500, row / 2));
    Settle();
    EXPECT_EQ(view.SelectedText(), "line 0");
    EXPECT_TRUE(view.IsAtEnd());
}

// Where a character of a short line near the top is drawn.
QPoint CharAt(const ChatView &view, int row, const QString &line, int index) {
    const QFontMetrics metrics(view.font());
    return {4 + metrics.horizontalAdvance(line.left(index)) + metrics.horizontalAdvance(line.at(index)) / 2,
            row * metrics.height() + metrics.height() / 2};
}

TEST_F(ChatViewTest, AClickOpensAWebAddressAndADragSelectsOverIt) {
    std::vector<QUrl> opened;
    bool opens = true;
    view.openLink = [&](const QUrl &url) {
        opened.push_back(url);
        return opens;
    };
    const QString line = "see www.example.org/x?a=1, <b>http://b.example</b> or not";
    pane.AppendChatLine(line.toStdString(), ChatColour::Black, 0, 0, 0, 1);
    Settle();
    QWidget *area = view.viewport();
    const QPoint onFirst = CharAt(view, 0, line, line.indexOf("example"));
    const QPoint onSecond = CharAt(view, 0, line, line.indexOf("b.example"));
    const QPoint onPlain = CharAt(view, 0, line, line.indexOf("see"));

    QTest::mouseMove(area, onFirst);
    EXPECT_EQ(area->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(area, onPlain);
    EXPECT_EQ(area->cursor().shape(), Qt::IBeamCursor);

    QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, onFirst);
    QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, onSecond);
    QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, onPlain);
    EXPECT_EQ(opened, (std::vector<QUrl>{QUrl("http://www.example.org/x?a=1"), QUrl("http://b.example")}));
    EXPECT_FALSE(view.HasSelection());

    // Dragging from a link selects, and opens nothing.
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, onFirst);
    QTest::mouseMove(area, onSecond);
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, onSecond);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_TRUE(view.SelectedText().startsWith("example.org/x?a=1, <b>http://")) << view.SelectedText().toStdString();
    // Shift and a click extends the selection instead.
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, onFirst);
    EXPECT_EQ(opened.size(), 2u);
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Copied(), line) << "the text stays as it was written";

    // When the desktop cannot open it, the pane says so.
    opens = false;
    QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, onFirst);
    Settle();
    const ChatLine last = pane.Log().Line(pane.Log().LineCount() - 1);
    EXPECT_EQ(last.Text(), "Unable to open www.example.org/x?a=1.");
    EXPECT_EQ(last.Run(0).format.colour, ChatColour::Red);
}

// The pane draws on its own background: the desktop's link colour is kept only where it reads there.
TEST(ChatViewColours, LinksReadOnThePanesOwnBackground) {
    struct Case {
        const char *what;
        QColor desktopLink;
        QColor pane;
        bool desktopKept;
    };
    const Case cases[] = {
        {"dark desktop, white pane", QColor(0x6A, 0xB0, 0xFF), Qt::white, false},
        {"light desktop, white pane", QColor(0x00, 0x00, 0xFF), Qt::white, true},
        {"dark desktop, black pane", QColor(0x6A, 0xB0, 0xFF), Qt::black, true},
        {"light desktop, black pane", QColor(0x00, 0x00, 0xFF), Qt::black, false},
        {"light desktop, pale yellow pane", QColor(0x00, 0x00, 0xFF), QColor(0xFF, 0xFF, 0xC0), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ChatPane pane;
        ChatView view(pane);
        QPalette desktop = view.palette();
        desktop.setColor(QPalette::Link, c.desktopLink);
        view.setPalette(desktop);
        view.SetBackgroundColour(c.pane);
        view.resize(400, 120);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        pane.AppendChatLine("http://example.org/page", ChatColour::Black, 0, 0, 0, 1);
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
        // Every pixel of text in the line is the link's: the strongest one is its colour.
        const QImage image = view.viewport()->grab().toImage();
        QColor link = c.pane;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (Contrast(image.pixelColor(x, y), c.pane) > Contrast(link, c.pane)) {
                    link = image.pixelColor(x, y);
                }
            }
        }
        EXPECT_GE(Contrast(link, c.pane), 4.5) << link.name().toStdString();
        EXPECT_EQ(link == c.desktopLink, c.desktopKept) << link.name().toStdString();
    }
}

TEST_F(ChatViewTest, ANameThatBeginsALineCanBeClickedWhenPresent) {
    std::vector<std::string> clicked;
    view.presentNameAt = [](std::string_view text) -> std::size_t {
        for (const std::string_view name : {"Alice", "Bob Smith"}) {
            if (text.starts_with(name) && text.substr(name.size()).starts_with(':')) {
                return name.size();
            }
        }
        return 0;
    };
    view.onNameClicked = [&](std::string_view text) { clicked.emplace_back(text); };
    pane.AppendChatLine("Alice: hi, Bob Smith", ChatColour::Black, 0, 0, 0, 1);
    pane.AppendChatLine("[Thu Dec 10 12:00:00 2026] ", ChatColour::Black, 0, 0, 0, 0);
    pane.AppendChatLine("Bob Smith: hello", ChatColour::Blue, 0, 0, 0, 1);
    pane.AppendChatLine("Carol: not here", ChatColour::Black, 0, 0, 0, 1);
    Settle();
    const QString second = "[Thu Dec 10 12:00:00 2026] Bob Smith: hello";
    struct ClickCase {
        const char *name;
        QPoint at;
        std::vector<std::string> clicked;
    };
    const ClickCase cases[] = {
        {"the name", CharAt(view, 0, "Alice: hi, Bob Smith", 2), {"Alice: hi, Bob Smith"}},
        {"the text after it", CharAt(view, 0, "Alice: hi, Bob Smith", 12), {}},
        {"a name after a timestamp", CharAt(view, 1, second, second.indexOf("Smith")), {"Bob Smith: hello"}},
        {"the timestamp", CharAt(view, 1, second, 3), {}},
        {"someone not present", CharAt(view, 2, "Carol: not here", 1), {}},
    };
    for (const ClickCase &c : cases) {
        clicked.clear();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, c.at);
        EXPECT_EQ(clicked, c.clicked) << c.name;
    }
    // A drag from a name selects it.
    clicked.clear();
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, CharAt(view, 0, "Alice: hi, Bob Smith", 0));
    QTest::mouseMove(view.viewport(), CharAt(view, 0, "Alice: hi, Bob Smith", 4));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, CharAt(view, 0, "Alice: hi, Bob Smith", 4));
    EXPECT_TRUE(clicked.empty());
    EXPECT_EQ(view.SelectedText(), "Alic");
}

TEST_F(ChatViewTest, AVeryLongLineScrollsSelectsAndWraps) {
    std::string longLine;
    while (longLine.size() < 100000) {
        longLine += "word" + std::to_string(longLine.size() % 97) + ' ';
    }
    longLine.resize(100000);
    Fill(0, 3);
    pane.AppendChatLine(longLine, ChatColour::Red, 1, 0, 0, 1);
    Fill(3, 6);
    EXPECT_TRUE(view.IsAtEnd());
    for (int i = 0; i < 40; ++i) {
        Key(Qt::Key_PageUp);
    }
    EXPECT_FALSE(view.IsAtEnd());
    view.resize(250, 300);
    Settle();
    for (int i = 0; i < 40; ++i) {
        Key(Qt::Key_PageDown);
    }
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view.SelectedText().size(), 6 * 6 + 100000 + 6);
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    view.ClearSelection();
    for (int i = 0; i < 5; ++i) {
        Key(Qt::Key_Down, Qt::ShiftModifier);
    }
    EXPECT_TRUE(view.SelectedText().startsWith("word")) << view.SelectedText().left(40).toStdString();
}

TEST_F(ChatViewTest, FiltersHideLinesFromViewAndCopyButNotFromTheLog) {
    QString all, whispers, noEnterExit;
    const auto add = [](QString &text, const QString &line) { text += (text.isEmpty() ? "" : "\n") + line; };
    for (int i = 0; i < 300; ++i) {
        const std::uint8_t flags = i % 10 == 0 ? ChatLineFlag::Whisper : i % 3 == 0 ? ChatLineFlag::EnterExit : 0;
        const ChatPane::LineContextScope context(pane, {LineKind::Notice, {}, {}, flags});
        const QString line = QString("line %1").arg(i);
        pane.AppendChatLine(line.toStdString(), ChatColour::Black, 0, 0, 0, 1);
        add(all, line);
        if (flags == ChatLineFlag::Whisper) {
            add(whispers, line);
        }
        if (flags != ChatLineFlag::EnterExit) {
            add(noEnterExit, line);
        }
    }
    Settle();
    struct FilterCase {
        const char *name;
        ChatLineFilter filter;
        const QString &shown;
    };
    const FilterCase cases[] = {
        {"only whispers", {0, ChatLineFlag::Whisper}, whispers},
        {"no arrivals or departures", {ChatLineFlag::EnterExit, 0}, noEnterExit},
        {"everything", {}, all},
    };
    for (const FilterCase &c : cases) {
        view.SetFilter(c.filter);
        Key(Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(Copied(), c.shown) << c.name;
        view.ClearSelection();
        Key(Qt::Key_Home, Qt::ControlModifier);
        Key(Qt::Key_Down);
        Key(Qt::Key_Home, Qt::ShiftModifier); // selects nothing: a place to start from
        Key(Qt::Key_Down, Qt::ShiftModifier);
        const QStringList lines = c.shown.split('\n');
        EXPECT_EQ(view.SelectedText(), lines[1] + "\n") << c.name << ": the second row shown is the second line shown";
        view.ClearSelection();
        Key(Qt::Key_End, Qt::ControlModifier);
        EXPECT_TRUE(view.IsAtEnd()) << c.name;
    }
    EXPECT_EQ(pane.Log().LineCount(), 300u);

    // The marker counts only what the reader would see.
    view.SetStayWhereScrolled(true);
    view.SetFilter({0, ChatLineFlag::Whisper});
    Key(Qt::Key_PageUp);
    for (int i = 0; i < 7; ++i) {
        const ChatPane::LineContextScope context(pane,
                                                 {i % 3 == 0 ? LineKind::Whisper : LineKind::Chat, "Alice", 1, 0});
        pane.AppendChatLine("more", ChatColour::Black, 0, 0, 0, 1);
    }
    Settle();
    EXPECT_EQ(view.NewLinesBelow(), 3u);
    EXPECT_EQ(view.NewLinesMarker()->text(), "3 new lines below");

    // Nothing to show at all.
    view.SetFilter({ChatLineFlag::Whisper | ChatLineFlag::EnterExit, ChatLineFlag::AutoAnswer});
    Settle();
    EXPECT_TRUE(view.IsAtEnd());
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_Up, Qt::ShiftModifier);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(view.SelectedText(), "");
}

class ChatViewScrollbackTest : public ChatViewTest {
protected:
    ChatViewScrollbackTest() : ChatViewTest(50) {}
};

TEST_F(ChatViewScrollbackTest, SelectionSurvivesDroppedLinesAndClear) {
    Fill(0, 100);
    Key(Qt::Key_A, Qt::ControlModifier);
    Fill(100, 130);
    const QString selected = view.SelectedText();
    EXPECT_TRUE(selected.startsWith("line 80\n")) << selected.left(20).toStdString();
    EXPECT_TRUE(selected.endsWith("line 99")) << selected.right(20).toStdString();

    // Input that comes before the view caught up with a flood that dropped everything it shows.
    for (int i = 200; i < 300; ++i) {
        pane.AppendChatLine("line " + std::to_string(i), ChatColour::Blue, 0, 0, 0, 1);
    }
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(view.SelectedText().startsWith("line")) << view.SelectedText().toStdString();
    Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_TRUE(view.SelectedText().startsWith(" 2")) << view.SelectedText().toStdString();

    pane.ClearBuffer();
    Settle();
    EXPECT_FALSE(view.HasSelection());
    Key(Qt::Key_Up, Qt::ShiftModifier);
    Key(Qt::Key_A, Qt::ControlModifier);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(view.SelectedText(), "");
    Fill(0, 1);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
}

} // namespace

namespace {

TEST(ChatViewLifetime, AViewLeavesItsPaneWhenDestroyed) {
    ChatPane pane;
    {
        ChatView view(pane);
        pane.AppendChatLine("shown", ChatColour::Black, 0, 0, 0, 1);
    }
    pane.AppendChatLine("after the view is gone", ChatColour::Black, 0, 0, 0, 1);
    EXPECT_EQ(pane.Log().LineCount(), 2u);
}

} // namespace
