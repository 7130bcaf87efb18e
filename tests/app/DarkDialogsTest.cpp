// Every dialog and window of the running program under a dark desktop palette, at a screen scale (1, or 2 when
// built with GABBLER_TEST_SCALE=2): each is saved as a screenshot for a person to look at (screenshots/ in the
// test's working folder), and the text of its labels, check boxes and radio buttons reads on its background.

#include "DarkDesktop.h"
#include "RunningApp.h"
#include "app/Commands.h"
#include "app/ui/HelpWindow.h"
#include "automation/RulesFile.h"
#include "automation/ui/RulesWindow.h"
#include "chat/PeopleMenu.h"
#include "chat/ui/UsersListView.h"
#include "history/ui/SearchHistoryWindow.h"
#include "history/ui/VisitorsWindow.h"
#include "sdk/Attributes.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#ifndef GABBLER_TEST_SCALE
#define GABBLER_TEST_SCALE 1
#endif

namespace {

constexpr int kScale = GABBLER_TEST_SCALE;

// The area of a widget that holds its text, in the widget's coordinates; empty for widgets without text to read.
QRect TextArea(QWidget *widget) {
    if (auto *browser = qobject_cast<QTextBrowser *>(widget)) {
        return browser->toPlainText().trimmed().isEmpty() ? QRect() : browser->viewport()->geometry();
    }
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        return label->text().trimmed().isEmpty() ? QRect() : label->contentsRect();
    }
    const bool check = qobject_cast<QCheckBox *>(widget) != nullptr;
    if (!check && !qobject_cast<QRadioButton *>(widget)) {
        return {};
    }
    auto *button = static_cast<QAbstractButton *>(widget);
    if (button->text().isEmpty()) {
        return {};
    }
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    return button->style()->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents,
                                           &option, button);
}

QString TextOf(QWidget *widget) {
    if (auto *browser = qobject_cast<QTextBrowser *>(widget)) {
        return browser->documentTitle();
    }
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        return label->text();
    }
    return static_cast<QAbstractButton *>(widget)->text();
}

class DarkDialogs : public RunningApp {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
        RunningApp::SetUpTestSuite();
        QApplication::setPalette(DarkPalette());
    }

    void SetUp() override {
        RunningApp::SetUp();
        // Rights enough for the administration dialogs, someone to choose in the Users list, and a rules file with
        // a mistake, which the Rules window reports in its banner.
        ASSERT_TRUE(server_->SetWorld("Sunset", "caretakers", "1234"));
        ASSERT_TRUE(server_->SetWorld("Sunset", std::to_string(kAttrWorldBuildRight), "1234"));
        ASSERT_TRUE(server_->SetWorld("Sunset", std::to_string(kAttrWorldEminentDomainRight), "1234"));
        PersonSpec alice;
        alice.name = "Alice";
        ASSERT_GT(server_->AddPerson("Sunset", alice), 0);
        std::ofstream(home_.File(kRulesFileName)) << "Broken: when nothing then say hi\n";
        Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return gabbler_->Window().SayBox()->isEnabled(); }, 5000));
        UsersListView &users = gabbler_->UsersView();
        ASSERT_TRUE(QTest::qWaitFor([&] { return users.model()->rowCount() == 1; }, 5000));
        users.setCurrentIndex(users.model()->index(0, 0));
    }

    // Saves the window's screenshot and reports each text on it that does not read on its background.
    static void Check(const char *name, QWidget *window) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QTest::qWait(50);
        const QPixmap shot = window->grab();
        QDir().mkpath(QStringLiteral("screenshots"));
        const QString file = QStringLiteral("screenshots/%1-%2x.png").arg(QString::fromLatin1(name)).arg(kScale);
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
        const QImage image = shot.toImage();
        int checked = 0;
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            const QRect area = TextArea(widget);
            if (area.isEmpty() || !widget->isVisible() || widget->window() != window) {
                continue;
            }
            const QRect pixels =
                QRect(widget->mapTo(window, area.topLeft()) * kScale, area.size() * kScale) & image.rect();
            EXPECT_GE(TextContrast(image, pixels), kReadable) << TextOf(widget).toStdString();
            ++checked;
        }
        EXPECT_GT(checked, 0) << "nothing to read was found";
    }

    // One modal dialog expected: checked once it is up, then acted on (nested dialogs, say), then closed as Escape
    // would close it.
    struct Step {
        const char *name;
        std::function<void(QWidget *)> then;
    };

    // Runs open, which shows the steps' dialogs one after the other (and may wait in them).
    static void Modal(std::vector<Step> steps, const std::function<void()> &open) {
        QWidget *before = QApplication::activeModalWidget();
        std::size_t next = 0;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == before || next == steps.size()) {
                return;
            }
            const Step &step = steps[next++];
            if (step.then) {
                step.then(modal);
            }
            Check(step.name, modal);
            if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                dialog->done(QDialog::Rejected);
            } else {
                modal->close();
            }
        });
        timer.start();
        open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return next == steps.size(); }, 5000))
            << steps[std::min(next, steps.size() - 1)].name << " did not open";
    }

    static void Modal(const char *name, const std::function<void()> &open,
                      const std::function<void(QWidget *)> &then = {}) {
        Modal({{name, then}}, open);
    }

    void Command(int command) {
        QAction *item = gabbler_->Window().CommandAction(command);
        ASSERT_TRUE(item->isEnabled()) << item->text().toStdString();
        item->trigger();
    }

    static void Press(QWidget *window, const QString &text) {
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
            if (button->objectName() == text || button->text().remove(QLatin1Char('&')) == text) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
    }

    static constexpr double kReadable = 4.5;
};

TEST_F(DarkDialogs, TheMenusDialogsAreReadable) {
    struct Case {
        const char *name;
        int command;
        std::function<void(QWidget *)> then;
    };
    const Case cases[] = {
        {"settings", Command::Settings, {}},
        {"teleport", Command::Teleport, {}},
        {"remember-location", Command::Remember, {}},
        {"change-avatar", Command::ChangeAvatar, {}},
        {"feedback", Command::Feedback, {}},
        {"about", Command::About, {}},
        {"clear-buffer", Command::ClearBuffer, {}},
        {"world-features", Command::WorldFeatures, {}},
        {"world-rights", Command::WorldRights, {}},
        {"world-ejections", Command::WorldEjections,
         [](QWidget *ejections) { Modal("edit-date", [&] { Press(ejections, QStringLiteral("changeExpiry")); }); }},
        {"universe-options", Command::UniverseOptions, {}},
        {"citizen-lookup", Command::CitLookup, {}},
        {"planter", Command::Planter, {}},
        {"load-object", Command::LoadObject, {}},
    };
    for (const Case &c : cases) {
        Modal(
            c.name, [&] { Command(c.command); }, c.then);
    }
    // The test program's name is not the program's, and the login dialog says so first.
    Modal({{"executable-name", {}},
           {"login",
            [](QWidget *login) {
                Modal("add-profile", [&] { Press(login, QStringLiteral("Add Profile")); });
                Modal("attach", [&] { Press(login, QStringLiteral("Attach to a Running Bot...")); });
            }}},
          [&] { Command(Command::Login); });
}

TEST_F(DarkDialogs, ThePeopleMenusDialogsAreReadable) {
    const std::pair<const char *, int> cases[] = {
        {"eject", PeopleCommand::Eject},
        {"send-url", PeopleCommand::SendUrl},
        {"teleport-user", PeopleCommand::TeleportUser},
    };
    for (const auto &[name, command] : cases) {
        Modal(name, [&, command = command] { gabbler_->UsersView().onCommand(command); });
    }
}

TEST_F(DarkDialogs, TheWindowsAreReadable) {
    RulesWindow *rules = gabbler_->OpenRules();
    Check("rules", rules);
    // The editor shows what is wrong under each field when OK is pressed on an empty rule.
    Modal(
        "rule-editor", [&] { Press(rules, QStringLiteral("Add...")); },
        [](QWidget *editor) {
            QTest::mouseClick(editor->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
    SearchHistoryWindow *search = gabbler_->OpenSearchHistory();
    Check("search-history", search);
    Modal("delete-history", [&] { Press(search, QStringLiteral("Delete History...")); });
    Check("visitors", gabbler_->OpenVisitors());
    gabbler_->SetDocumentFolder(QStringLiteral(GABBLER_SOURCE_DIR "/doc"));
    Command(Command::Contents);
    Check("help", gabbler_->Help());
}

} // namespace
