#include "chat/ui/UsersListView.h"

#include "PeopleHarness.h"
#include "chat/ui/PeopleCounter.h"
#include "controls/QtApp.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

struct MenuSeen {
    std::vector<std::string> items; // "-" for a separator, "(off)" after a greyed item
    QPoint at;
};

class UsersListViewTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SdkInit(kSdkBuild), 0);
        SdkSetInt(kAttrWorldBuildNumber, 23);
        SdkSetBool(kAttrWorldEject, true);
        h_.displayEnterExit = false;
        view_ = std::make_unique<UsersListView>(h_.people);
        view_->resize(300, 400);
        view_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    }
    void TearDown() override {
        view_.reset();
        SdkTerm();
    }

    QRect RowRect(int row) const { return view_->visualRect(view_->Model().index(row, 0)); }

    // Opens the menu with a context-menu event and, once it is up, notes what it offers and picks one caption
    // (or closes it). Nothing when no menu came up.
    std::optional<MenuSeen> OpenMenu(QContextMenuEvent::Reason reason, QPoint pos, const std::string &pick = {}) {
        std::optional<MenuSeen> seen;
        bool looked = false;
        QTimer::singleShot(0, [&] {
            looked = true;
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu) {
                return;
            }
            seen.emplace();
            seen->at = menu->pos();
            QAction *chosen = nullptr;
            for (QAction *action : menu->actions()) {
                if (action->isSeparator()) {
                    seen->items.push_back("-");
                    continue;
                }
                const std::string text = action->text().toStdString();
                seen->items.push_back(action->isEnabled() ? text : text + " (off)");
                if (text == pick) {
                    chosen = action;
                }
            }
            if (chosen) {
                // As a user picks it, so the menu hands it back.
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        });
        QContextMenuEvent event(reason, pos, view_->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view_->viewport(), &event);
        if (!looked) {
            QTest::qWait(20);
        }
        return seen;
    }

    PeopleHarness h_;
    std::unique_ptr<UsersListView> view_;
};

TEST_F(UsersListViewTest, ShowsTheSortedRowsAndKeepsTheSelectionOnItsPerson) {
    DeliverArrival(h_.people, {"Mallory", 3});
    DeliverArrival(h_.people, {"bob", 2});
    view_->setCurrentIndex(view_->Model().index(1, 0)); // Mallory
    DeliverArrival(h_.people, {"Alice", 1});
    DeliverArrival(h_.people, {"[Helper]", 4});
    QApplication::processEvents();
    const QAbstractItemModel &model = view_->Model();
    ASSERT_EQ(model.rowCount(), 4);
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row) {
        names << model.index(row, 0).data().toString();
    }
    EXPECT_EQ(names, (QStringList{"[Helper]", "Alice", "bob", "Mallory"}));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Users");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Muted");
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().data().toString(), "Mallory");
    EXPECT_EQ(selected.front().data(UsersListModel::SessionRole).toInt(), 3);
    EXPECT_FALSE(view_->header()->sectionsClickable());
}

// When the chosen person leaves, nothing is chosen: the selection does not move to a neighbour, and the menu
// then offers nothing for someone the user never picked. Whoever else leaves, the choice stays.
TEST_F(UsersListViewTest, SelectionLeavesWithItsPerson) {
    struct Case {
        const char *what;
        int chosenSession; // Alice 1, Bob 2, Carol 3, in that order in the list
        int leaving;
        std::optional<std::string> selectedAfter;
    };
    const Case cases[] = {
        {"the chosen person in the middle leaves", 2, 2, std::nullopt},
        {"the chosen person first in the list leaves", 1, 1, std::nullopt},
        {"the chosen person last in the list leaves", 3, 3, std::nullopt},
        {"someone else leaves", 2, 3, "Bob"},
        {"someone above leaves", 2, 1, "Bob"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        h_.people.Reset();
        DeliverArrival(h_.people, {"Alice", 1});
        DeliverArrival(h_.people, {"Bob", 2});
        DeliverArrival(h_.people, {"Carol", 3});
        QApplication::processEvents();
        QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, RowRect(c.chosenSession - 1).center());
        const char *names[] = {"", "Alice", "Bob", "Carol"};
        DeliverDeparture(h_.people, names[c.leaving], c.leaving);
        QApplication::processEvents();
        const QModelIndexList selected = view_->selectionModel()->selectedRows();
        if (c.selectedAfter) {
            ASSERT_EQ(selected.size(), 1);
            EXPECT_EQ(selected.front().data().toString().toStdString(), *c.selectedAfter);
        } else {
            EXPECT_TRUE(selected.isEmpty()) << selected.front().data().toString().toStdString();
            EXPECT_FALSE(view_->currentIndex().isValid());
            h_.selectedSession = 0;
            EXPECT_FALSE(OpenMenu(QContextMenuEvent::Keyboard, QPoint(0, 0))) << "no menu for a neighbour";
            EXPECT_EQ(h_.selectedSession, 0);
        }
    }
}

TEST_F(UsersListViewTest, RightClickOffersTheMenuAndRunsTheChoice) {
    DeliverArrival(h_.people, {"Alice", 5, 5, 5, 361});
    DeliverArrival(h_.people, {"Bob", 6});
    QApplication::processEvents();
    const QPoint onAlice = RowRect(0).center();
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, onAlice);
    const auto seen = OpenMenu(QContextMenuEvent::Mouse, onAlice, "Mute");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->items,
              (std::vector<std::string>{"Eject...", "Get Cit Number", "Lookup IP", "Send URL (off)", "Click User",
                                        "Get Version", "Get Home Page", "Teleport User", "-", "Mute", "Unmute (off)",
                                        "-", "Copy Avatar", "Join Avatar", "Face Avatar"}));
    EXPECT_EQ(std::make_pair(h_.selectedName, h_.selectedSession), std::make_pair(std::string("Alice"), 5));
    EXPECT_EQ(view_->Model().index(0, 1).data().toString(), "Yes");
    EXPECT_EQ(h_.Texts(), (std::vector<std::string>{"Immigration Officer: Now muting Alice."}));

    const auto again = OpenMenu(QContextMenuEvent::Mouse, onAlice);
    ASSERT_TRUE(again);
    EXPECT_NE(std::find(again->items.begin(), again->items.end(), "Mute (off)"), again->items.end());
    EXPECT_NE(std::find(again->items.begin(), again->items.end(), "Unmute"), again->items.end());
}

TEST_F(UsersListViewTest, CommandsOfOtherPartsGoToTheOwner) {
    DeliverArrival(h_.people, {"Alice", 5});
    QApplication::processEvents();
    std::vector<int> forwarded;
    view_->onCommand = [&](int command) { forwarded.push_back(command); };
    const QPoint onAlice = RowRect(0).center();
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, onAlice);
    for (const char *caption : {"Eject...", "Teleport User", "Join Avatar", "Get Version"}) {
        ASSERT_TRUE(OpenMenu(QContextMenuEvent::Mouse, onAlice, caption)) << caption;
    }
    EXPECT_EQ(forwarded,
              (std::vector<int>{PeopleCommand::Eject, PeopleCommand::TeleportUser, PeopleCommand::JoinAvatar}))
        << "Get Version is the people logic's own";
    EXPECT_EQ(h_.Texts(), (std::vector<std::string>{"Alice is using an unknown browser version."}));
}

TEST_F(UsersListViewTest, NoMenuWithoutASelectedRow) {
    DeliverArrival(h_.people, {"Alice", 5});
    QApplication::processEvents();
    EXPECT_FALSE(OpenMenu(QContextMenuEvent::Mouse, QPoint(10, 380)));
    EXPECT_EQ(h_.selectedSession, 0);
}

TEST_F(UsersListViewTest, KeyboardMenuOpensAtTheSelectedRow) {
    DeliverArrival(h_.people, {"Alice", 5});
    DeliverArrival(h_.people, {"Bob", 6});
    QApplication::processEvents();
    view_->setCurrentIndex(view_->Model().index(1, 0));
    const auto seen = OpenMenu(QContextMenuEvent::Keyboard, QPoint(0, 0));
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->at, view_->viewport()->mapToGlobal(RowRect(1).bottomLeft()));
    EXPECT_EQ(std::make_pair(h_.selectedName, h_.selectedSession), std::make_pair(std::string("Bob"), 6));
}

TEST_F(UsersListViewTest, ClickingARowChoosesTheWhisperTarget) {
    DeliverArrival(h_.people, {"Alice", 5});
    DeliverArrival(h_.people, {"Bob", 6});
    QApplication::processEvents();
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, RowRect(1).center());
    EXPECT_EQ(std::make_pair(h_.whisperName, h_.whisperSession), std::make_pair(std::string("Bob"), 6));
    EXPECT_EQ(h_.view.whisperLabel, "Whisper to: Bob");
    EXPECT_TRUE(h_.view.whisperEnabled);

    h_.view.whisperLabel = "unchanged";
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, QPoint(10, 380)); // below the rows
    EXPECT_EQ(h_.view.whisperLabel, "unchanged");
    // A right click may bring up the menu, which is closed again at once.
    QTimer::singleShot(0, [] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    });
    QTest::mouseClick(view_->viewport(), Qt::RightButton, {}, RowRect(0).center());
    QTest::qWait(20);
    EXPECT_EQ(h_.whisperName, "Bob") << "a right click is not a whisper choice";
}

TEST(PeopleCounter, ShowsTheLastCountOncePerPass) {
    PeopleCounter counter(QStringLiteral("Bots"));
    EXPECT_EQ(counter.headerItem()->text(0), "Bots");
    EXPECT_EQ(counter.ShownText(), "0");
    for (int n = 1; n <= 500; ++n) {
        counter.SetCount(n);
    }
    EXPECT_EQ(counter.Count(), 500);
    EXPECT_EQ(counter.ShownText(), "0") << "shown at the next pass, not once per change";
    QApplication::processEvents();
    EXPECT_EQ(counter.ShownText(), "500");
    counter.SetCount(-1); // counts follow the events; nothing here second-guesses them
    QApplication::processEvents();
    EXPECT_EQ(counter.ShownText(), "-1");
}

} // namespace
