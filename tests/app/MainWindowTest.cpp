#include "app/ui/MainWindow.h"

#include "RunningApp.h"
#include "TempDir.h"
#include "app/Commands.h"
#include "app/Session.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/SettingsDialog.h"
#include "chat/ChatPane.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/UsersListView.h"
#include "chat/ui/WorldListView.h"
#include "common/AtomicFile.h"
#include "controls/LinkLabel.h"
#include "places/ui/AvatarMapWindow.h"
#include "places/ui/TeleportListView.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

// Runs action on the next modal dialog once it is shown (the code under test blocks in its exec()).
void OnNextModal(std::function<void(QWidget *)> action) {
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

class MainWindowTest : public RunningApp {
protected:
    void SetUp() override {
        RunningApp::SetUp();
        ASSERT_TRUE(server_->AddWorld("Middle", 17));
        Start();
    }

    std::string LastLine() const {
        const ChatLog &log = gabbler_->Chat().Log();
        return log.LineCount() ? std::string(log.Line(log.LineCount() - 1).Text()) : std::string();
    }

};

TEST_F(MainWindowTest, SendSpeaksAndEmptiesTheSayBox) {
    MainWindow &window = gabbler_->Window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.SayBox()->isEnabled(); }, 5000));
    QTest::keyClicks(window.SayBox(), "hello world");
    QTest::mouseClick(window.SendButton(), Qt::LeftButton);
    EXPECT_EQ(LastLine(), "[Tester]: hello world");
    EXPECT_TRUE(window.SayBox()->text().isEmpty());
    // Enter in the box presses SEND as well.
    QTest::keyClicks(window.SayBox(), "again");
    QTest::keyClick(window.SayBox(), Qt::Key_Return);
    EXPECT_EQ(LastLine(), "[Tester]: again");
}

TEST_F(MainWindowTest, ClearBufferAsksFirst) {
    const std::size_t lines = gabbler_->Chat().Log().LineCount();
    ASSERT_GT(lines, 0u);
    QString question;
    OnNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        question = box->text();
        box->button(QMessageBox::Cancel)->click();
    });
    gabbler_->Window().CommandAction(Command::ClearBuffer)->trigger();
    EXPECT_EQ(question, "Are you sure you wish to clear the chat buffer?");
    EXPECT_EQ(gabbler_->Chat().Log().LineCount(), lines) << "Cancel leaves the pane alone";

    OnNextModal([](QWidget *modal) { qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Ok)->click(); });
    gabbler_->Window().CommandAction(Command::ClearBuffer)->trigger();
    EXPECT_EQ(gabbler_->Chat().Log().LineCount(), 0u);
}

TEST_F(MainWindowTest, SettingsChangeOnlyOnOk) {
    const auto toggleTimestamps = [](QWidget *modal) {
        for (QCheckBox *box : modal->findChildren<QCheckBox *>()) {
            if (box->text() == "Timestamp messages") {
                box->click();
            }
        }
    };
    OnNextModal([&](QWidget *modal) {
        toggleTimestamps(modal);
        qobject_cast<QDialog *>(modal)->reject();
    });
    gabbler_->Window().CommandAction(Command::Settings)->trigger();
    EXPECT_FALSE(gabbler_->GetSettings().timestampMsgs);

    OnNextModal([&](QWidget *modal) {
        toggleTimestamps(modal);
        qobject_cast<QDialog *>(modal)->accept();
    });
    gabbler_->Window().CommandAction(Command::Settings)->trigger();
    EXPECT_TRUE(gabbler_->GetSettings().timestampMsgs);

    // Closing the window writes the settings.
    gabbler_->Window().close();
    const auto ini = ReadWholeFile(gabbler_->File("gabbler.ini"));
    ASSERT_TRUE(ini.has_value());
    EXPECT_NE(ini->find("TimestampMsgs=1"), std::string::npos) << *ini;
}

TEST_F(MainWindowTest, ThePaneKeepsItsPlaceWhenTheSettingSaysSo) {
    ChatView *pane = gabbler_->Window().Chat();
    EXPECT_FALSE(pane->StaysWhereScrolled()) << "following the end is the default";
    OnNextModal([](QWidget *modal) {
        modal->findChild<QCheckBox *>(QStringLiteral("stayWhereScrolled"))->click();
        qobject_cast<QDialog *>(modal)->accept();
    });
    gabbler_->Window().CommandAction(Command::Settings)->trigger();
    EXPECT_TRUE(pane->StaysWhereScrolled());
    gabbler_->Window().close();
    const auto ini = ReadWholeFile(gabbler_->File("gabbler.ini"));
    ASSERT_TRUE(ini.has_value());
    EXPECT_NE(ini->find("StayWhereScrolled=1"), std::string::npos) << *ini;

    // The next start reads it back.
    ChatPane chat;
    Settings settings = Settings::Load(gabbler_->File("gabbler.ini"));
    MainWindow window(chat, settings);
    EXPECT_TRUE(window.Chat()->StaysWhereScrolled());
}

TEST_F(MainWindowTest, LogMenuFiltersShowWhispersOnlyAndAreRemembered) {
    MainWindow &window = gabbler_->Window();
    ChatView *pane = window.Chat();
    PersonSpec alice;
    alice.name = "Alice";
    const int session = server_->AddPerson("Sunset", alice);
    ASSERT_GT(session, 0);
    UsersListView &users = gabbler_->UsersView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return users.model()->rowCount() == 1; }, 5000));
    ASSERT_TRUE(server_->Say(session, "hello all"));
    ASSERT_TRUE(server_->Whisper(session, SdkSession(), "psst"));
    ASSERT_TRUE(server_->AskOwner(session, "Tester"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LastLine() == "Alice: Tester owner"; }, 5000)) << LastLine();
    users.show();
    QTest::mouseClick(users.viewport(), Qt::LeftButton, {}, users.visualRect(users.model()->index(0, 0)).center());
    QTest::keyClicks(window.WhisperBox(), "back to you");
    QTest::keyClick(window.WhisperBox(), Qt::Key_Return);
    ASSERT_EQ(LastLine(), "[Tester] (to Alice): back to you");

    const auto shown = [&] {
        QApplication::processEvents();
        pane->SelectAll();
        const QString text = pane->SelectedText();
        pane->ClearSelection();
        return text;
    };
    const auto toggle = [&](int command, const char *caption) {
        QAction *item = window.CommandAction(command);
        EXPECT_TRUE(item->isEnabled()) << caption;
        EXPECT_EQ(item->text().remove('&'), caption);
        item->trigger();
    };
    toggle(Command::OnlyWhispers, "Show Only Whispers");
    EXPECT_EQ(shown(), "Whisper from Alice: psst\n[Tester] (to Alice): back to you");
    toggle(Command::OnlyWhispers, "Show Only Whispers");
    toggle(Command::HideAutoAnswers, "Hide Owner and Version Answers");
    EXPECT_FALSE(shown().contains("Sent owner response")) << shown().toStdString();
    EXPECT_TRUE(shown().contains("Alice: Tester owner"));
    toggle(Command::HideEnterExit, "Hide Arrivals and Departures");
    EXPECT_TRUE(gabbler_->GetSettings().hideAutoAnswers);
    EXPECT_TRUE(gabbler_->GetSettings().hideEnterExit);
    EXPECT_FALSE(gabbler_->GetSettings().onlyWhispers);

    // The log keeps every line; the next start shows the same view.
    EXPECT_TRUE(std::string(gabbler_->Chat().Log().Line(gabbler_->Chat().Log().LineCount() - 3).Text())
                    .starts_with("Immigration Officer: Sent owner response"));
    window.close();
    const Settings saved = Settings::Load(gabbler_->File("gabbler.ini"));
    EXPECT_TRUE(saved.hideAutoAnswers);
    EXPECT_TRUE(saved.hideEnterExit);
    EXPECT_FALSE(saved.onlyWhispers);
    ChatPane chat;
    Settings settings = saved;
    MainWindow next(chat, settings);
    EXPECT_TRUE(next.CommandAction(Command::HideAutoAnswers)->isChecked());
    EXPECT_FALSE(next.CommandAction(Command::OnlyWhispers)->isChecked());
    EXPECT_EQ(next.Chat()->Filter(), (ChatLineFilter{ChatLineFlag::AutoAnswer | ChatLineFlag::EnterExit, 0}));
}

TEST_F(MainWindowTest, MenuItemsNeedTheirActions) {
    // A bare window: nothing but Exit and About is handled yet.
    ChatPane chat;
    Settings settings;
    MainWindow window(chat, settings);
    EXPECT_TRUE(window.CommandAction(Command::About)->isEnabled());
    // Enabled by the start, but greyed while nothing handles it.
    window.EnableCommand(Command::Planter, true);
    EXPECT_FALSE(window.CommandAction(Command::Planter)->isEnabled());
    bool ran = false;
    window.SetCommandAction(Command::Planter, [&] { ran = true; });
    EXPECT_TRUE(window.CommandAction(Command::Planter)->isEnabled());
    window.CommandAction(Command::Planter)->trigger();
    EXPECT_TRUE(ran);
    window.EnableCommand(Command::Planter, false);
    EXPECT_FALSE(window.CommandAction(Command::Planter)->isEnabled());
}

TEST_F(MainWindowTest, AClickOnAWorldOrAPlaceEntersIt) {
    MainWindow &window = gabbler_->Window();
    WorldListView &worlds = gabbler_->WorldsView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return worlds.model()->rowCount() == 2; }, 5000));
    QModelIndex middle;
    for (int row = 0; row < worlds.model()->rowCount(); ++row) {
        if (worlds.model()->index(row, 0).data().toString() == "Middle") {
            middle = worlds.model()->index(row, 0);
        }
    }
    ASSERT_TRUE(middle.isValid());
    worlds.show();
    worlds.scrollTo(middle);
    QTest::mouseClick(worlds.viewport(), Qt::LeftButton, {}, worlds.visualRect(middle).center());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.windowTitle() == QStringLiteral("Gabbler - [Tester] in Middle world"); }, 5000))
        << window.windowTitle().toStdString();

    // A remembered place takes the bot back, at its position.
    emit gabbler_->TeleportsView().teleportRequested(TeleportTarget{"Sunset", Position{-2000, 0, 1000, 900}});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.windowTitle() == QStringLiteral("Gabbler - [Tester] in Sunset world"); }, 5000))
        << window.windowTitle().toStdString();
    EXPECT_EQ(SdkGetInt(kAttrMyX), -2000);
    EXPECT_EQ(SdkGetInt(kAttrMyZ), 1000);
}

TEST_F(MainWindowTest, ArrivalsFillTheUsersListAndAClickChoosesTheWhisperTarget) {
    MainWindow &window = gabbler_->Window();
    UsersListView &users = gabbler_->UsersView();
    PersonSpec alice;
    alice.name = "Alice";
    alice.citizen = 1234;
    ASSERT_GT(server_->AddPerson("Sunset", alice), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return users.model()->rowCount() == 1; }, 5000)) << users.model()->rowCount();
    EXPECT_EQ(users.model()->index(0, 0).data().toString(), "Alice");
    users.show();
    QTest::mouseClick(users.viewport(), Qt::LeftButton, {}, users.visualRect(users.model()->index(0, 0)).center());
    EXPECT_TRUE(window.WhisperBox()->isEnabled());
    EXPECT_EQ(gabbler_->GetSession().whisperTarget.name, "Alice");
}

TEST_F(MainWindowTest, AClickOnASpeakersNameOrAnAddressInThePane) {
    MainWindow &window = gabbler_->Window();
    ChatView *pane = window.Chat();
    std::vector<QUrl> opened;
    pane->openLink = [&](const QUrl &url) {
        opened.push_back(url);
        return true;
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    PersonSpec alice;
    alice.name = "Alice";
    const int session = server_->AddPerson("Sunset", alice);
    ASSERT_GT(session, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->UsersView().model()->rowCount() == 1; }, 5000));
    for (int i = 0; i < 100; ++i) {
        gabbler_->Chat().AppendChatLine("filler", ChatColour::Black, false); // the pane is full: its end at the bottom
    }
    const std::string line = "Alice: see www.example.org";
    ASSERT_TRUE(server_->Say(session, "see www.example.org"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LastLine() == line; }, 5000)) << LastLine();
    QApplication::processEvents();

    // The last line sits at the bottom of the pane.
    const QFontMetrics metrics(pane->font());
    const auto at = [&](int index) {
        return QPoint(4 + metrics.horizontalAdvance(QString::fromStdString(line.substr(0, index))) + 2,
                      pane->viewport()->height() - metrics.height() / 2);
    };
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, at(static_cast<int>(line.find("example"))));
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl("http://www.example.org")});
    EXPECT_FALSE(window.WhisperBox()->isEnabled());
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, at(1));
    EXPECT_TRUE(window.WhisperBox()->isEnabled());
    EXPECT_EQ(gabbler_->GetSession().whisperTarget.name, "Alice");
    EXPECT_EQ(gabbler_->GetSession().whisperTarget.session, session);

    // Once she has left, her name is only text.
    gabbler_->GetSession().whisperTarget = {};
    ASSERT_TRUE(server_->Leave(session));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->UsersView().model()->rowCount() == 0; }, 5000));
    QApplication::processEvents();
    ASSERT_EQ(LastLine(), line);
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, at(1));
    EXPECT_EQ(gabbler_->GetSession().whisperTarget.name, "");
}

TEST_F(MainWindowTest, AdministrationDialogsOpenFromTheMenus) {
    const int commands[] = {Command::WorldFeatures, Command::WorldRights, Command::UniverseOptions, Command::CitLookup,
                            Command::Planter,       Command::Teleport,    Command::ChangeAvatar,    Command::Remember};
    for (const int command : commands) {
        SCOPED_TRACE(command);
        QAction *action = gabbler_->Window().CommandAction(command);
        ASSERT_TRUE(action->isEnabled());
        QString title;
        OnNextModal([&](QWidget *modal) {
            title = modal->windowTitle();
            qobject_cast<QDialog *>(modal)->reject();
        });
        action->trigger();
        EXPECT_FALSE(title.isEmpty());
    }
}

// The say and whisper boxes take what one line can carry, 255 bytes of UTF-8, counted while the user types or
// pastes: Cyrillic, CJK and emoji take several bytes a character. In global mode the bot's name goes in front.
TEST_F(MainWindowTest, SayAndWhisperBoxesTakeWhatOneLineCarries) {
    MainWindow &window = gabbler_->Window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.SayBox()->isEnabled(); }, 5000));
    window.WhisperBox()->setEnabled(true);
    const QString cyrillic = QStringLiteral("\u0416");           // 2 bytes
    const QString cjk = QStringLiteral("\u4E2D");                // 3 bytes
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // 4 bytes
    struct Case {
        const char *what;
        QLineEdit *box;
        std::size_t limit; // the say box's, as the session sets it
        QString typed;
        QString pasted;
        QString kept;
        bool refused; // a message box names the field
    };
    const Case cases[] = {
        {"200 Cyrillic letters typed stop at 127",
         window.SayBox(),
         255,
         cyrillic.repeated(200),
         {},
         cyrillic.repeated(127),
         false},
        {"200 Cyrillic letters pasted are refused whole", window.SayBox(), 255, {}, cyrillic.repeated(200), {}, true},
        {"85 CJK characters pasted fit exactly", window.SayBox(), 255, {}, cjk.repeated(85), cjk.repeated(85), false},
        {"64 emoji pasted in the whisper box are refused", window.WhisperBox(), 255, {}, emoji.repeated(64), {}, true},
        {"63 emoji typed in the whisper box fit",
         window.WhisperBox(),
         255,
         emoji.repeated(70),
         {},
         emoji.repeated(63),
         false},
        {"global mode leaves room for the name", window.SayBox(), 245, {}, QString(250, 'x'), {}, true},
        {"and takes what fits beside it", window.SayBox(), 245, QString(250, 'x'), {}, QString(245, 'x'), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        window.SetSayByteLimit(c.limit);
        c.box->clear();
        c.box->setFocus();
        for (const uint code : c.typed.toUcs4()) {
            const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
            QApplication::sendEvent(c.box, &press);
        }
        QString message;
        if (!c.pasted.isEmpty()) {
            QApplication::clipboard()->setText(c.pasted);
            QTest::keyClick(c.box, Qt::Key_V, Qt::ControlModifier);
            QTest::qWait(20);
            // The refusal opens a message box over the window without waiting for it.
            if (auto *box = window.findChild<QMessageBox *>(QStringLiteral("refusedInput"))) {
                message = box->text();
                box->close();
                QTest::qWait(20);
            }
        }
        EXPECT_EQ(c.box->text(), c.kept);
        EXPECT_EQ(message.contains(c.box == window.SayBox() ? "Say takes at most" : "Whisper takes at most"), c.refused)
            << message.toStdString();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// The key bindings of a desktop's line edits (the X11 scheme: Ctrl+E end of line, Ctrl+U delete the line, Ctrl+D
// delete a character), which the offscreen platform's scheme lacks: the boxes claim those keys before shortcuts.
class DesktopLineKeys : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
            return false;
        }
        auto *key = static_cast<QKeyEvent *>(event);
        const bool claimed = key->modifiers() == Qt::ControlModifier &&
                             (key->key() == Qt::Key_E || key->key() == Qt::Key_U || key->key() == Qt::Key_D);
        if (!claimed) {
            return false;
        }
        if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_U) {
            static_cast<QLineEdit *>(watched)->clear();
        }
        event->accept();
        return true;
    }
};

// The six step keys move the bot from whichever widget of the main window has the focus; the say box keeps its
// text. Each case: the key, the attribute it changes and by how much.
TEST_F(MainWindowTest, StepKeysMoveTheBotFromEveryWidget) {
    MainWindow &window = gabbler_->Window();
    DesktopLineKeys lineKeys;
    window.SayBox()->installEventFilter(&lineKeys);
    window.WhisperBox()->installEventFilter(&lineKeys);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.SayBox()->isEnabled(); }, 5000));
    window.WhisperBox()->setEnabled(true);
    struct Case {
        Qt::Key key;
        int attribute;
        int change;
    };
    const Case cases[] = {{Qt::Key_N, kAttrMyZ, 500},  {Qt::Key_S, kAttrMyZ, -500}, {Qt::Key_W, kAttrMyX, 500},
                          {Qt::Key_E, kAttrMyX, -500}, {Qt::Key_U, kAttrMyY, 500},  {Qt::Key_D, kAttrMyY, -500}};
    QWidget *const widgets[] = {window.SayBox(), window.WhisperBox(), window.Chat(), &gabbler_->UsersView()};
    for (QWidget *widget : widgets) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(widget->metaObject()->className()) + " Ctrl+" +
                         QKeySequence(c.key).toString().toStdString());
            widget->setFocus();
            if (auto *box = qobject_cast<QLineEdit *>(widget)) {
                box->setText(QStringLiteral("typed text"));
                box->setCursorPosition(3);
            }
            const int before = SdkGetInt(c.attribute);
            QTest::keyClick(widget, c.key, Qt::ControlModifier);
            EXPECT_EQ(SdkGetInt(c.attribute), before + c.change);
            if (auto *box = qobject_cast<QLineEdit *>(widget)) {
                EXPECT_EQ(box->text(), "typed text");
            }
        }
    }

    // The avatar map window's keys are its own: there the step keys do nothing.
    AvatarMapWindow &map = gabbler_->Map();
    map.show();
    map.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&map));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &map; }, 2000));
    for (const Case &c : cases) {
        const int before = SdkGetInt(c.attribute);
        QTest::keyClick(&map, c.key, Qt::ControlModifier);
        EXPECT_EQ(SdkGetInt(c.attribute), before);
    }
}

TEST_F(MainWindowTest, QuickMoveItemsShowTheirKeysOnce) {
    for (const int command : {Command::MoveNorth, Command::MoveSouth, Command::MoveWest, Command::MoveEast,
                              Command::MoveUp, Command::MoveDown}) {
        QAction *item = gabbler_->Window().CommandAction(command);
        EXPECT_TRUE(item->text().contains(QStringLiteral("(Ctrl + "))) << item->text().toStdString();
        EXPECT_TRUE(item->shortcut().isEmpty()) << "the caption already names the key";
    }
}

// Escape closes only the popup it was pressed in; pressed in the window itself it closes the window.
TEST_F(MainWindowTest, EscapeClosesOnlyItsPopup) {
    MainWindow &window = gabbler_->Window();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto *rights = window.findChild<QComboBox *>();
    ASSERT_NE(rights, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rights->isEnabled() && rights->count() > 1; }, 5000));
    QMenu *teleport = nullptr;
    for (QAction *menu : window.menuBar()->actions()) {
        if (menu->text() == "&Teleport") {
            teleport = menu->menu();
        }
    }
    ASSERT_NE(teleport, nullptr);
    // The people menu needs a person, chosen in the Users list.
    PersonSpec alice;
    alice.name = "Alice";
    ASSERT_GT(server_->AddPerson("Sunset", alice), 0);
    UsersListView &users = gabbler_->UsersView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return users.model()->rowCount() == 1; }, 5000));
    users.setCurrentIndex(users.model()->index(0, 0));
    struct Case {
        const char *what;
        std::function<void()> open; // may run the popup until it closes
    };
    const Case cases[] = {
        {"rights drop-down", [&] { rights->showPopup(); }},
        {"menu of the menu bar", [&] { teleport->popup(window.mapToGlobal(QPoint(10, 10))); }},
        {"people menu",
         [&] {
             QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                     users.viewport()->mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(users.viewport(), &event);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        bool popupOpen = false;
        bool pressed = false;
        // As the desktop delivers the key: to the window that has the keyboard focus, not to the popup's widget.
        QTimer::singleShot(100, [&] {
            popupOpen = QApplication::activePopupWidget() != nullptr;
            QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
            pressed = true;
        });
        c.open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return pressed && QApplication::activePopupWidget() == nullptr; }, 2000));
        EXPECT_TRUE(popupOpen);
        QTest::qWait(50);
        ASSERT_TRUE(window.isVisible());
        EXPECT_TRUE(gabbler_->GetSession().Started());
    }

    window.SayBox()->setFocus();
    QTest::keyClick(window.SayBox(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible()) << "Escape in the window closes it";
}

// A global message comes back to the bot as a console message with the time in front, once.
TEST_F(MainWindowTest, GlobalMessageLineHasOneTimestamp) {
    gabbler_.reset();
    SdkTerm();
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    ASSERT_TRUE(server_->SetWorld("Sunset", "caretakers", "1234"));
    Settings settings;
    settings.enterGlobal = true;
    settings.timestampMsgs = true;
    Start(settings);
    ASSERT_TRUE(gabbler_->GetSession().GlobalModeActive());
    MainWindow &window = gabbler_->Window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.SayBox()->isEnabled(); }, 5000));
    QTest::keyClicks(window.SayBox(), "to everyone");
    QTest::keyClick(window.SayBox(), Qt::Key_Return);
    const QString message = QStringLiteral("[Tester]:\tto everyone");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QString::fromStdString(LastLine()).endsWith(message); }, 5000));
    const QString line = QString::fromStdString(LastLine());
    const QString stamp = line.left(line.size() - message.size());
    EXPECT_EQ(stamp.count('['), 1) << line.toStdString();
    EXPECT_TRUE(stamp.startsWith('[') && stamp.endsWith(QStringLiteral("] "))) << line.toStdString();
}

// Underline and strike-out chosen for the chat font reach every line of the pane, whatever the line's own style:
// a line of lone i's (no stroke of their own runs across) gets a rule under it, through it, or both.
TEST_F(MainWindowTest, ChosenFontEffectsReachTheChatPane) {
    struct Case {
        const char *what;
        int effects;
        bool under;
        bool through;
    };
    const Case cases[] = {
        {"none", 0, false, false},
        {"underline", ChatFont::kUnderline, true, false},
        {"strike-out", ChatFont::kStrikeOut, false, true},
        {"both", ChatFont::kUnderline | ChatFont::kStrikeOut, true, true},
    };
    MainWindow &window = gabbler_->Window();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const Case &c : cases) {
        ChatFont font;
        font.faceName = "DejaVu Sans";
        font.size = 12 * 20;
        font.effects = c.effects;
        window.SetChatFont(&font);
        gabbler_->Chat().ClearBuffer();
        gabbler_->Chat().AppendChatLine("i  i  i  i  i  i  i  i  i  i", ChatColour::Black, false, false, false, true);
        QApplication::processEvents();
        const QImage shown = window.Chat()->viewport()->grab().toImage();
        // Rows of the text: dark pixels; a rule is a row dark over most of the text's width.
        int left = shown.width(), right = -1, top = shown.height(), bottom = -1;
        const auto dark = [&](int x, int y) { return qGray(shown.pixel(x, y)) < 128; };
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if (dark(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        ASSERT_GE(right, left) << c.what << ": the line is shown";
        std::vector<int> rules;
        for (int y = top; y <= bottom; ++y) {
            int count = 0;
            for (int x = left; x <= right; ++x) {
                count += dark(x, y);
            }
            if (count > (right - left + 1) * 3 / 4) {
                rules.push_back(y);
            }
        }
        // The stems of the i's end on the baseline; an underline lies at or below it, a strike-out above it.
        int stemBottom = -1;
        for (int y = top; y <= bottom; ++y) {
            if (std::find(rules.begin(), rules.end(), y) == rules.end()) {
                for (int x = left; x <= right; ++x) {
                    stemBottom = dark(x, y) ? y : stemBottom;
                }
            }
        }
        const bool under = std::any_of(rules.begin(), rules.end(), [&](int y) { return y >= stemBottom; });
        const bool through = std::any_of(rules.begin(), rules.end(), [&](int y) { return y < stemBottom; });
        EXPECT_EQ(under, c.under) << c.what;
        EXPECT_EQ(through, c.through) << c.what;
    }
}

// Help works on a desktop without any program that opens files or web addresses (the offscreen platform has none).
TEST_F(MainWindowTest, HelpShowsItsDocumentsItselfAndSaysWhenAWebAddressCannotBeOpened) {
    TempDir docs;
    ASSERT_TRUE(
        WriteFileAtomically(docs.File("manual.html"),
                            "<h1>The manual</h1><p>See <a href=\"https://example.org/gabbler\">the site</a>.</p>")
            .ok);
    ASSERT_TRUE(WriteFileAtomically(docs.File("gbreadme.txt"), "Build 35: <b>plain</b> notes").ok);
    gabbler_->SetDocumentFolder(QString::fromStdString(docs.Path()));
    struct Case {
        const char *how;
        std::function<void()> open;
        const char *shows;
    };
    const Case cases[] = {
        {"Help, Contents", [&] { gabbler_->Window().CommandAction(Command::Contents)->trigger(); }, "The manual"},
        {"Help, Release Notes", [&] { gabbler_->Window().CommandAction(Command::ReleaseNotes)->trigger(); },
         "Build 35: <b>plain</b> notes"},
        {"the About box's link",
         [&] {
             OnNextModal([](QWidget *about) { about->findChild<LinkLabel *>("aboutLink")->Open(); });
             gabbler_->Window().CommandAction(Command::About)->trigger();
         },
         "The manual"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        if (gabbler_->Help()) {
            gabbler_->Help()->close();
        }
        c.open();
        HelpWindow *help = gabbler_->Help();
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->isVisible());
        EXPECT_TRUE(help->Browser()->toPlainText().startsWith(c.shows)) << help->Browser()->toPlainText().toStdString();
    }

    QString said;
    OnNextModal([&](QWidget *modal) {
        said = qobject_cast<QMessageBox *>(modal)->text();
        qobject_cast<QMessageBox *>(modal)->accept();
    });
    gabbler_->Window().CommandAction(Command::Contents)->trigger();
    emit gabbler_->Help()->Browser()->anchorClicked(QUrl("https://example.org/gabbler"));
    EXPECT_TRUE(said.contains("https://example.org/gabbler")) << said.toStdString();
    EXPECT_TRUE(gabbler_->Help()->Browser()->toPlainText().startsWith("The manual")) << "the manual stays shown";

    std::filesystem::remove(docs.File("gbreadme.txt"));
    said.clear();
    OnNextModal([&](QWidget *modal) {
        said = qobject_cast<QMessageBox *>(modal)->text();
        qobject_cast<QMessageBox *>(modal)->accept();
    });
    gabbler_->Window().CommandAction(Command::ReleaseNotes)->trigger();
    EXPECT_TRUE(said.contains(QString::fromStdString(docs.File("gbreadme.txt")))) << said.toStdString();
}

} // namespace
