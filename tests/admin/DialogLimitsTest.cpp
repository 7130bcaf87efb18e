// Every limited text field of the administration dialogs, on the offscreen platform: what the user types stops at
// the limit, a paste over it is refused whole with a message naming the field, text the program fills in is kept
// whole.

#include "BoxAnswerer.h"
#include "FakeAdminSdk.h"
#include "admin/ui/CitizenLookupDialog.h"
#include "admin/ui/EjectionDialog.h"
#include "admin/ui/LoadObjectDialog.h"
#include "admin/ui/PlanterDialog.h"
#include "admin/ui/SendUrlDialog.h"
#include "admin/ui/TeleportUserDialog.h"
#include "admin/ui/UniverseOptionsDialog.h"
#include "admin/ui/WorldFeaturesDialog.h"
#include "admin/ui/WorldRightsDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

int argc = 1;
char name[] = "test";
char *argv[] = {name, nullptr};

QString Attr(int attribute) { return QStringLiteral("attr%1").arg(attribute); }

QString TextOf(QWidget *field) {
    if (auto *line = qobject_cast<QLineEdit *>(field)) {
        return line->text();
    }
    return qobject_cast<QPlainTextEdit *>(field)->toPlainText();
}

void SetByProgram(QWidget *field, const QString &text) {
    if (auto *line = qobject_cast<QLineEdit *>(field)) {
        line->setText(text);
        line->end(false);
    } else {
        auto *edit = qobject_cast<QPlainTextEdit *>(field);
        edit->setPlainText(text);
        edit->moveCursor(QTextCursor::End);
    }
}

void Type(QWidget *field, const QString &text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &release);
    }
}

// The text of the refusal box over a dialog, closing it; empty when none opened.
QString TakeRefusal(QWidget &dialog) {
    QCoreApplication::processEvents();
    QString text;
    for (auto *box : dialog.findChildren<QMessageBox *>()) {
        text += box->text();
        box->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return text;
}

class DialogLimitsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QApplication(argc, argv); }
    static void TearDownTestSuite() { delete app_; }
    void SetUp() override {
        sdk.Bool(kAttrWorldCaretaker, true);
        sdk.Int(kAttrWorldBuildNumber, 63);
        sdk.Int(kAttrUniverseBuild, 63);
        sdk.String(kAttrWorldName, "Town");
    }

    static QApplication *app_;
    FakeAdminSdk sdk;
    ChatRecorder chat;
};
QApplication *DialogLimitsTest::app_ = nullptr;

TEST_F(DialogLimitsTest, EveryFieldLimitsTypingRefusesOverlongPastesAndKeepsFilledInText) {
    using Make = std::function<std::unique_ptr<QWidget>(FakeAdminSdk &, ChatRecorder &)>;
    const Make features = [](FakeAdminSdk &s, ChatRecorder &c) {
        return std::make_unique<WorldFeaturesDialog>(s, c.Writer());
    };
    const Make universe = [](FakeAdminSdk &s, ChatRecorder &c) {
        return std::make_unique<UniverseOptionsDialog>(s, c.Writer(), 1);
    };
    const Make rights = [](FakeAdminSdk &s, ChatRecorder &c) {
        return std::make_unique<WorldRightsDialog>(s, c.Writer());
    };
    const Make sendUrl = [](FakeAdminSdk &s, ChatRecorder &) {
        return std::make_unique<SendUrlDialog>(s, AdminPerson{"Alice", 7});
    };
    const Make teleportUser = [](FakeAdminSdk &s, ChatRecorder &) {
        return std::make_unique<TeleportUserDialog>(s, AdminPerson{"Alice", 7}, "0n 0e");
    };
    const Make planter = [](FakeAdminSdk &s, ChatRecorder &c) {
        return std::make_unique<PlanterDialog>(s, c.Writer());
    };
    const Make loader = [](FakeAdminSdk &s, ChatRecorder &c) {
        return std::make_unique<LoadObjectDialog>(s, c.Writer());
    };
    const Make lookup = [](FakeAdminSdk &s, ChatRecorder &) { return std::make_unique<CitizenLookupDialog>(s); };
    const Make worldEjections = [](FakeAdminSdk &s, ChatRecorder &) {
        return std::make_unique<EjectionDialog>(s, EjectionDatabase::World);
    };
    const Make universeEjections = [](FakeAdminSdk &s, ChatRecorder &) {
        return std::make_unique<EjectionDialog>(s, EjectionDatabase::Universe);
    };
    enum Unit { Characters, Digits, Bytes };
    const struct {
        const char *dialog;
        Make make;
        QString field;
        int limit;
        Unit unit;
        const char *fieldName;
    } cases[] = {
        {"World Features", features, Attr(kAttrWorldTitle), 255, Bytes, "Title"},
        {"World Features", features, Attr(kAttrWorldObjectRefresh), 11, Digits, "Object Refresh"},
        {"Universe Attributes", universe, Attr(kAttrUniverseWorldStart), 8, Characters, "Default start world"},
        {"Universe Attributes", universe, Attr(kAttrUniverseWelcomeMessage), 255, Bytes, "Universe welcome message"},
        {"Universe Attributes", universe, Attr(kAttrUniverseSearchUrl), 255, Bytes, "Search Tab URL"},
        {"Universe Attributes", universe, Attr(kAttrUniverseBrowserMinimum), 11, Digits, "Minimum browser"},
        {"World Rights", rights, Attr(kAttrWorldEnterRight), 2000, Bytes, "Enter"},
        {"World Rights", rights, Attr(kAttrWorldEjectRight), 2000, Bytes, "Eject"},
        {"Send URL", sendUrl, "url", 255, Bytes, "URL"},
        {"Teleport User", teleportUser, "world", 8, Characters, "World"},
        {"Planter", planter, "name", 255, Bytes, "Object Name"},
        {"Planter", planter, "description", 255, Bytes, "Object description"},
        {"Load Object", loader, "object", 255, Bytes, "Object"},
        {"Load Object", loader, "owner", 10, Digits, "Owner"},
        {"Load Object", loader, "location", 255, Bytes, "Location"},
        {"Load Object", loader, "action", 255, Bytes, "Action"},
        {"Citizen Lookup", lookup, "number", 10, Digits, "Citizen Number"},
        {"Citizen Lookup", lookup, "name", 255, Bytes, "Citizen Name"},
        {"World Ejections", worldEjections, "comment", 255, Characters, "Comments"},
        {"Universe Ejections", universeEjections, "comment", 2000, Bytes, "Comments"},
    };
    for (const auto &c : cases) {
        const std::string where = std::string(c.dialog) + ", " + c.fieldName;
        std::unique_ptr<QWidget> dialog = c.make(sdk, chat);
        dialog->show();
        QWidget *field = dialog->findChild<QWidget *>(c.field);
        ASSERT_NE(field, nullptr) << where;
        ASSERT_TRUE(field->isEnabled()) << where;
        const QChar fill = c.unit == Digits ? QChar('1') : QChar('a');
        const QString full(c.limit, fill);

        // Typed: stops at the limit, counted as the server counts it (a Cyrillic letter is two bytes).
        SetByProgram(field, QString(c.limit - 3, fill));
        Type(field, c.unit == Digits ? QStringLiteral("2345") : QStringLiteral("жжжж"));
        const QString typed = c.unit == Digits  ? QStringLiteral("234")
                              : c.unit == Bytes ? QStringLiteral("ж")
                                                : QStringLiteral("жжж");
        EXPECT_EQ(TextOf(field), QString(c.limit - 3, fill) + typed) << where << ": typed";
        EXPECT_EQ(TakeRefusal(*dialog), "") << where << ": typing says nothing";

        // Pasted over the limit: refused whole, with a message naming the field.
        SetByProgram(field, QString());
        field->setFocus();
        const QString pasted = c.unit == Bytes ? QString(c.limit - 1, fill) + QStringLiteral("ж") : full + fill;
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(TextOf(field), "") << where << ": pasted";
        const QString message = TakeRefusal(*dialog);
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.fieldName))) << where << ": " << message.toStdString();
        // A paste that fits is taken.
        QApplication::clipboard()->setText(full);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(TextOf(field), full) << where << ": pasted to the limit";

        // Filled in by the program: kept whole.
        const QString long_(c.limit + 10, fill);
        SetByProgram(field, long_);
        EXPECT_EQ(TextOf(field), long_) << where << ": filled in";
    }
}

TEST_F(DialogLimitsTest, TextFilledInOverTheTypingLimitIsSentWhole) {
    const std::string longWorld = "Worldwide1234";
    sdk.String(kAttrWorldName, longWorld);
    {
        // The current world, whole, means a move within it; cut, it named a world that does not exist.
        TeleportUserDialog teleport(sdk, AdminPerson{"Alice", 7}, "2N");
        teleport.show();
        teleport.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        const auto log = sdk.Take();
        EXPECT_NE(std::find(log.begin(), log.end(), "S291="), log.end());
    }
    {
        sdk.String(kAttrUniverseWorldStart, longWorld);
        UniverseOptionsDialog options(sdk, chat.Writer(), 1);
        options.show();
        BoxAnswerer yes(QMessageBox::Yes);
        options.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        const auto log = sdk.Take();
        EXPECT_NE(std::find(log.begin(), log.end(), "S12=" + longWorld), log.end());
    }
    {
        // A comment longer than the world dialog lets one type, as a look-up brings it.
        const std::string comment(300, 'c');
        EjectionDialog ejections(sdk, EjectionDatabase::World);
        ejections.show();
        ejections.findChild<QLineEdit *>("value")->setText("1.2.3.4");
        ejections.findChild<QPushButton *>("lookup")->click();
        sdk.Int(kAttrEjectionType, 0);
        sdk.Int(kAttrEjectionAddress, 0x04030201);
        sdk.String(kAttrEjectionComment, comment);
        ASSERT_TRUE(sdk.Fire(kCallbackWorldEjectionLookup, 0));
        EXPECT_EQ(ejections.findChild<QPlainTextEdit *>("comment")->toPlainText().toStdString(), comment);
        sdk.Take();
        ejections.findChild<QPushButton *>("change")->click();
        const auto log = sdk.Take();
        EXPECT_NE(std::find(log.begin(), log.end(), "S277=" + comment), log.end());
    }
}

} // namespace
