#include "login/ui/LoginDialog.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace {

int argc = 1;
char name[] = "test";
char *argv[] = {name, nullptr};

// Answers the modal windows the dialog opens, in order. A window nobody expected is recorded and closed, so a
// wrong turn fails the test instead of hanging it.
class ModalScript {
public:
    ModalScript() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    void Then(std::function<void(QWidget *)> action) { actions_.push_back(std::move(action)); }
    // Clicks button on the next message box and remembers its text.
    void Answer(QMessageBox::StandardButton button) {
        Then([this, button](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            ASSERT_NE(box, nullptr) << "expected a message box";
            texts.push_back(box->text());
            box->button(button)->click();
        });
    }
    bool Done() const { return actions_.empty(); }

    QStringList texts;
    QStringList unexpected;

private:
    void Poll() {
        QWidget *modal = QApplication::activeModalWidget();
        // A property rather than a pointer: the next box may well be built at the same address.
        if (!modal || modal->property("scripted").toBool()) {
            return;
        }
        modal->setProperty("scripted", true);
        if (actions_.empty()) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            unexpected << (box ? box->text() : modal->windowTitle());
            modal->close();
            return;
        }
        auto action = std::move(actions_.front());
        actions_.pop_front();
        action(modal);
    }

    QTimer timer_;
    std::deque<std::function<void(QWidget *)>> actions_;
    QWidget *handled_ = nullptr;
};

const char *const kProfiles = "Zeta:7:zpw:[Z]:z.example:5:zw:1N:\r\n"
                              "alpha:1234:secret:[Bot]:uni.example:5670:Sunset:40N 50W 2a 180:\r\n"
                              "ZETA:8:duplicate:b:h:0:w:c:\r\n";

class LoginDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QApplication(argc, argv); }
    static void TearDownTestSuite() { delete app_; }

    void SetUp() override {
        path_ = dir_.File("profiles.txt");
        ASSERT_TRUE(WriteFileAtomically(path_, kProfiles, true).ok);
    }
    template <class T> static T *Child(QWidget &parent, const char *objectName) {
        T *child = parent.findChild<T *>(QString::fromLatin1(objectName));
        EXPECT_NE(child, nullptr) << objectName;
        return child;
    }
    std::string Written() const { return ReadWholeFile(path_).value_or("<none>"); }

    static QApplication *app_;
    TempDir dir_;
    std::string path_;
    ModalScript script_;
};
QApplication *LoginDialogTest::app_ = nullptr;

const char *const kRewritten = "Zeta:7:zpw:[Z]:z.example:5:zw:1N:\r\n"
                               "alpha:1234:secret:[Bot]:uni.example:5670:Sunset:40N 50W 2a 180:\r\n";

TEST_F(LoginDialogTest, SaveQuestionYesKeepsTheEditsAndNoDropsThem) {
    for (const auto answer : {QMessageBox::Yes, QMessageBox::No}) {
        ASSERT_TRUE(WriteFileAtomically(path_, kProfiles, true).ok);
        LoginDialog dialog(path_, "gabbler");
        dialog.show();
        auto *box = Child<QComboBox>(dialog, "profileBox");
        EXPECT_EQ(box->currentText(), "alpha");
        QTest::keyClicks(Child<QLineEdit>(dialog, "worldEdit"), "2");
        script_.Answer(answer);
        box->setCurrentIndex(1);
        QTest::qWait(50);
        EXPECT_TRUE(script_.Done());
        EXPECT_EQ(script_.texts.value(0), "Do you wish to save changes to 'alpha'?");
        EXPECT_EQ(Child<QLineEdit>(dialog, "botNameEdit")->text(), "[Z]");
        dialog.close(); // no question: the change went with the load
        EXPECT_EQ(Written(), answer == QMessageBox::Yes
                                 ? "Zeta:7:zpw:[Z]:z.example:5:zw:1N:\r\n"
                                   "alpha:1234:secret:[Bot]:uni.example:5670:Sunset2:40N 50W 2a 180:\r\n"
                                 : kRewritten);
        script_.texts.clear();
    }
    EXPECT_TRUE(script_.unexpected.isEmpty()) << script_.unexpected.join("; ").toStdString();
}

TEST_F(LoginDialogTest, AddProfileRefusesADuplicateName) {
    LoginDialog dialog(path_, "gabbler");
    dialog.show();
    script_.Then([](QWidget *add) {
        add->findChild<QLineEdit *>(QStringLiteral("profileNameEdit"))->setText(QStringLiteral("ALPHA"));
        add->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    script_.Answer(QMessageBox::Ok);
    Child<QPushButton>(dialog, "addProfileButton")->click();
    EXPECT_TRUE(script_.Done());
    EXPECT_EQ(script_.texts, QStringList{QStringLiteral("A profile with that name already exists.")});
    EXPECT_EQ(Child<QComboBox>(dialog, "profileBox")->count(), 2);
    EXPECT_TRUE(script_.unexpected.isEmpty()) << script_.unexpected.join("; ").toStdString();
}

TEST_F(LoginDialogTest, LoginHandsOverTheFieldsAndWritesTheFile) {
    LoginDialog dialog(path_, "gabbler");
    dialog.show();
    auto *bot = Child<QLineEdit>(dialog, "botNameEdit");
    QTest::keyClicks(bot, "12345678901234567890"); // the limit is 16 characters
    EXPECT_EQ(bot->text(), "[Bot]12345678901");
    auto *universe = Child<QLineEdit>(dialog, "universeEdit");
    universe->clear();
    QTest::keyClicks(universe, ":6000");
    script_.Answer(QMessageBox::No);
    QTest::keyClick(bot, Qt::Key_Return); // Enter presses Login
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.Values().has_value());
    EXPECT_EQ(*dialog.Values(),
              (LoginValues{1234, "secret", "[Bot]12345678901", "Sunset", 40000, 50000, 2000, 1800, "", 6000, {}}));
    EXPECT_EQ(Written(), kRewritten);
    EXPECT_TRUE(script_.unexpected.isEmpty()) << script_.unexpected.join("; ").toStdString();
}

TEST_F(LoginDialogTest, AProfilesLongNamesAreShownUsedAndSavedWhole) {
    // The bot name and world limits (16 and 8 characters) are for typing; a profile may hold longer ones.
    const char *const longNames = "long:5:pw:[A very long bot name]:u.example:5670:Worldwide1234:1N:\r\n";
    ASSERT_TRUE(WriteFileAtomically(path_, longNames, true).ok);
    LoginDialog dialog(path_, "gabbler");
    dialog.show();
    auto *bot = Child<QLineEdit>(dialog, "botNameEdit");
    auto *world = Child<QLineEdit>(dialog, "worldEdit");
    EXPECT_EQ(bot->text(), "[A very long bot name]");
    EXPECT_EQ(world->text(), "Worldwide1234");
    QTest::keyClicks(world, "5"); // typing cannot make it longer still
    EXPECT_EQ(world->text(), "Worldwide1234");
    QTest::keyClicks(Child<QLineEdit>(dialog, "coordinatesEdit"), " 90");
    Child<QPushButton>(dialog, "saveProfileButton")->click();
    QTest::keyClick(bot, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.Values().has_value());
    EXPECT_EQ(dialog.Values()->botName, "[A very long bot name]");
    EXPECT_EQ(dialog.Values()->world, "Worldwide1234");
    EXPECT_EQ(Written(), "long:5:pw:[A very long bot name]:u.example:5670:Worldwide1234:1N 90:\r\n");
    EXPECT_TRUE(script_.unexpected.isEmpty()) << script_.unexpected.join("; ").toStdString();
}

TEST_F(LoginDialogTest, CloseBoxAsksAndWritesWhileEscapeDoesNeither) {
    {
        LoginDialog dialog(path_, "gabbler");
        dialog.show();
        QTest::keyClicks(Child<QLineEdit>(dialog, "coordinatesEdit"), " 90");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.Values().has_value());
        EXPECT_EQ(Written(), kProfiles) << "Escape writes nothing";
    }
    {
        LoginDialog dialog(path_, "gabbler");
        dialog.show();
        QTest::keyClicks(Child<QLineEdit>(dialog, "coordinatesEdit"), " 90");
        script_.Answer(QMessageBox::No);
        dialog.close();
        EXPECT_TRUE(script_.Done());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.Values().has_value());
        EXPECT_EQ(Written(), kRewritten) << "the close box writes the list";
    }
    EXPECT_TRUE(script_.unexpected.isEmpty()) << script_.unexpected.join("; ").toStdString();
}

TEST_F(LoginDialogTest, WithoutProfilesOnlyTheBoxAndAddProfileAreEnabled) {
    ASSERT_TRUE(WriteFileAtomically(path_, "", true).ok);
    LoginDialog dialog(path_, "gabbler");
    for (const char *enabled : {"profileBox", "addProfileButton"}) {
        EXPECT_TRUE(Child<QWidget>(dialog, enabled)->isEnabled()) << enabled;
    }
    for (const char *disabled : {"citizenEdit", "passwordEdit", "botNameEdit", "worldEdit", "coordinatesEdit",
                                 "universeEdit", "saveProfileButton", "loginButton"}) {
        EXPECT_FALSE(Child<QWidget>(dialog, disabled)->isEnabled()) << disabled;
    }
}

} // namespace
