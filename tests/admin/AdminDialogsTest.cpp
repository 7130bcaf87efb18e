// Each administration dialog opened on the offscreen platform over the recording stand-in, filled and confirmed.

#include "BoxAnswerer.h"
#include "FakeAdminSdk.h"
#include "admin/ui/CitizenLookupDialog.h"
#include "admin/ui/EjectDialog.h"
#include "admin/ui/EjectionDialog.h"
#include "admin/ui/LoadObjectDialog.h"
#include "admin/ui/PlanterDialog.h"
#include "admin/ui/SendUrlDialog.h"
#include "admin/ui/TeleportUserDialog.h"
#include "admin/ui/UniverseOptionsDialog.h"
#include "admin/ui/WorldFeaturesDialog.h"
#include "admin/ui/WorldRightsDialog.h"
#include "controls/ColorSwatch.h"
#include "controls/DateField.h"
#include "controls/InputLimit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <gtest/gtest.h>

namespace {

int argc = 1;
char name[] = "test";
char *argv[] = {name, nullptr};

using Strings = std::vector<std::string>;

class AdminDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QApplication(argc, argv); }
    static void TearDownTestSuite() { delete app_; }

    template <class T> static T *Child(QWidget &parent, const QString &objectName) {
        T *child = parent.findChild<T *>(objectName);
        EXPECT_NE(child, nullptr) << objectName.toStdString();
        return child;
    }
    static QPushButton *Standard(QWidget &dialog, QDialogButtonBox::StandardButton which) {
        for (auto *box : dialog.findChildren<QDialogButtonBox *>()) {
            if (QPushButton *button = box->button(which))
                return button;
        }
        ADD_FAILURE() << "no standard button " << which;
        return nullptr;
    }
    static bool Logged(const Strings &log, const std::string &entry) {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }

    static QApplication *app_;
    FakeAdminSdk sdk;
    ChatRecorder chat;
};
QApplication *AdminDialogsTest::app_ = nullptr;

TEST_F(AdminDialogsTest, WorldFeaturesSendsTheEditsAndTheColour) {
    sdk.Bool(kAttrWorldCaretaker, true);
    sdk.Int(kAttrWorldBuildNumber, 39);
    sdk.Int(kAttrWorldCellLimit, 3000);
    sdk.Int(kAttrWorldSize, 64);
    sdk.String(kAttrWorldTitle, "Old");
    sdk.Int(kAttrMyZ, 1000);
    WorldFeaturesDialog dialog(sdk, chat.Writer());
    dialog.show();
    auto *cell = Child<QComboBox>(dialog, "attr70");
    EXPECT_EQ(cell->currentText(), "Custom");
    EXPECT_FALSE(cell->isEnabled());
    EXPECT_EQ(Child<QLabel>(dialog, "info0")->text(), "1280 x 1280 meters");
    EXPECT_FALSE(Child<QLineEdit>(dialog, "attr44")->isEnabled());

    auto *title = Child<QLineEdit>(dialog, "attr45");
    title->clear();
    QTest::keyClicks(title, "New");
    Child<QPushButton>(dialog, "setToMyLocation")->click();
    EXPECT_EQ(Child<QLineEdit>(dialog, "attr107")->text(), "1.0N 0.0W 0.0a 0");
    EXPECT_EQ(title->text(), "New"); // other edits stay
    dialog.Swatch()->SetChooser([](const QColor &, QWidget *) { return QColor(1, 2, 3); });
    sdk.Take();
    Child<QPushButton>(dialog, "changeColour")->click();
    EXPECT_EQ(sdk.Take(), (Strings{"I54=1", "I55=2", "I56=3"}));

    Standard(dialog, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const Strings log = sdk.Take();
    EXPECT_TRUE(Logged(log, "S45=New") && Logged(log, "I70=3000") && Logged(log, "S107=1.0N 0.0W 0.0a 0"));
    EXPECT_EQ(log.back(), "WorldAttributesChange");
    EXPECT_EQ(chat.lines, std::vector<ChatLine>{RedLine("World options changed.")});
}

TEST_F(AdminDialogsTest, WorldFeaturesAndRightsAreReadOnlyWithoutCaretakerRights) {
    sdk.Bool(kAttrWorldCaretaker, false);
    sdk.Int(kAttrWorldBuildNumber, 63);
    WorldFeaturesDialog features(sdk, chat.Writer());
    EXPECT_FALSE(Standard(features, QDialogButtonBox::Ok)->isEnabled());
    EXPECT_TRUE(Standard(features, QDialogButtonBox::Cancel)->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(features, "changeColour")->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(features, "attr65")->isEnabled());

    sdk.String(kAttrWorldSpeechRight, "");
    WorldRightsDialog rights(sdk, chat.Writer());
    EXPECT_FALSE(Standard(rights, QDialogButtonBox::Ok)->isEnabled());
    EXPECT_EQ(Child<QLineEdit>(rights, "attr78")->text(), "Nobody");
    EXPECT_EQ(Child<QLineEdit>(rights, "attr63")->text(), "63");
}

TEST_F(AdminDialogsTest, WorldRightsSendsTheLists) {
    sdk.Bool(kAttrWorldCaretaker, true);
    sdk.Int(kAttrWorldBuildNumber, 16);
    sdk.String(kAttrWorldBuildRight, "*");
    WorldRightsDialog dialog(sdk, chat.Writer());
    dialog.show();
    auto *bots = Child<QLineEdit>(dialog, "attr76");
    EXPECT_EQ(bots->text(), "This world does not support this attribute.");
    EXPECT_FALSE(bots->isEnabled());
    EXPECT_EQ(Child<QLineEdit>(dialog, "attr50")->text(), "*");
    QTest::keyClicks(Child<QLineEdit>(dialog, "attr68"), "Dave");
    Standard(dialog, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const Strings log = sdk.Take();
    EXPECT_TRUE(Logged(log, "S68=Dave") && Logged(log, "S76=") && Logged(log, "WorldAttributesChange"));
}

TEST_F(AdminDialogsTest, UniverseOptionsAsksFirstAndOnlyCitizenOneMaySend) {
    sdk.String(kAttrUniverseWorldStart, "Town");
    {
        UniverseOptionsDialog dialog(sdk, chat.Writer(), 2);
        EXPECT_FALSE(Standard(dialog, QDialogButtonBox::Ok)->isEnabled());
        EXPECT_FALSE(Child<QLineEdit>(dialog, "attr12")->isEnabled());
    }
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        UniverseOptionsDialog dialog(sdk, chat.Writer(), 1);
        dialog.show();
        auto *start = Child<QLineEdit>(dialog, "attr12");
        EXPECT_EQ(InputLimit::Of(start)->Limit(), (TextLimit{8, LimitUnit::Characters}));
        EXPECT_FALSE(Child<QCheckBox>(dialog, "attr13")->isEnabled());
        start->setText("Globe");
        BoxAnswerer answerer(answer);
        Standard(dialog, QDialogButtonBox::Ok)->click();
        EXPECT_EQ(answerer.texts.size(), 1);
        const Strings log = sdk.Take();
        if (answer == QMessageBox::No) {
            EXPECT_TRUE(log.empty());
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(start->text(), "Globe"); // the edits stay
        } else {
            EXPECT_TRUE(Logged(log, "S12=Globe") && Logged(log, "UniverseAttributesChange"));
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
        }
    }
}

TEST_F(AdminDialogsTest, EjectionDialogLooksUpAndShowsTheAnswer) {
    setenv("TZ", "UTC", 1);
    tzset();
    EjectionDialog dialog(sdk, EjectionDatabase::World);
    dialog.show();
    for (int id = 0; id < 3; ++id)
        EXPECT_FALSE(Child<QRadioButton>(dialog, QStringLiteral("type%1").arg(id))->isChecked());
    Child<QLineEdit>(dialog, "value")->setText("1.2.3");
    sdk.Take();
    Child<QPushButton>(dialog, "lookup")->click();
    EXPECT_EQ(Child<QLabel>(dialog, "status")->text(), "Invalid IP address.");
    Child<QRadioButton>(dialog, "type2")->click();
    Child<QLineEdit>(dialog, "value")->setText("42");
    Child<QPushButton>(dialog, "lookup")->click();
    EXPECT_EQ(sdk.Take(), (Strings{"I273=0", "I273=2", "I274=42", "WorldEjectionLookup"}));
    EXPECT_EQ(Child<QLabel>(dialog, "status")->text(), "Looking up ejection...");

    sdk.Int(kAttrEjectionType, 2);
    sdk.Int(kAttrEjectionAddress, 42);
    sdk.Int(kAttrEjectionExpiration, 0);
    sdk.String(kAttrEjectionComment, "spam");
    ASSERT_TRUE(sdk.Fire(kCallbackWorldEjectionLookup, 0));
    EXPECT_EQ(Child<QLabel>(dialog, "status")->text(), "Lookup successful.");
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "comment")->toPlainText(), "spam");
    EXPECT_EQ(Child<QLineEdit>(dialog, "created")->text(), "Unknown");
    EXPECT_EQ(Child<QLineEdit>(dialog, "expires")->text(), "Never");

    dialog.SetExpiryChooser([](QWidget *) { return std::optional<int>(86400); });
    Child<QPushButton>(dialog, "changeExpiry")->click();
    EXPECT_EQ(Child<QLineEdit>(dialog, "expires")->text(), "Fri Jan 02, 1970 00:00:00");
    Child<QPushButton>(dialog, "change")->click();
    EXPECT_EQ(sdk.Take(), (Strings{"I273=2", "I274=42", "S277=spam", "I275=86400", "WorldEjectionAdd"}));
    Child<QPushButton>(dialog, "close")->click();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(AdminDialogsTest, UniverseEjectionsDisableCommentsBeforeBuild23) {
    sdk.Int(kAttrUniverseBuild, 22);
    EjectionDialog dialog(sdk, EjectionDatabase::Universe);
    EXPECT_EQ(dialog.windowTitle(), "Universe Ejections");
    EXPECT_FALSE(Child<QPlainTextEdit>(dialog, "comment")->isEnabled());
    EXPECT_EQ(dialog.findChild<QRadioButton *>(), nullptr);
}

TEST_F(AdminDialogsTest, PeopleMenuDialogsActOnThePerson) {
    sdk.Int(kAttrWorldBuildNumber, 63);
    sdk.String(kAttrWorldName, "Town");
    {
        EjectDialog eject(sdk, chat.Writer(), {"Alice", 7});
        eject.show();
        EXPECT_EQ(Child<QLineEdit>(eject, "address")->text(), "Querying...");
        EXPECT_TRUE(Child<QRadioButton>(eject, "duration0")->isChecked());
        Child<QRadioButton>(eject, "duration2")->click();
        sdk.Take();
        Standard(eject, QDialogButtonBox::Ok)->click();
        EXPECT_EQ(eject.result(), QDialog::Accepted);
        EXPECT_EQ(sdk.Take(), (Strings{"I271=7", "I272=86400", "WorldEject"}));
        EXPECT_EQ(chat.lines.back(), TealLine("Immigration Officer: Attempting to eject Alice for 1440 minutes."));
    }
    // The eject dialog is gone: its address answer reaches nothing.
    sdk.Int(kAttrAvatarSession, 7);
    EXPECT_TRUE(sdk.Fire(kCallbackAddressResult, 0));
    {
        TeleportUserDialog teleport(sdk, {"Alice", 7}, "0n 0e");
        teleport.show();
        EXPECT_EQ(Child<QLineEdit>(teleport, "world")->text(), "Town");
        Child<QLineEdit>(teleport, "world")->setText("town");
        Child<QLineEdit>(teleport, "coordinates")->setText("2N");
        Standard(teleport, QDialogButtonBox::Ok)->click();
        const Strings log = sdk.Take();
        EXPECT_TRUE(Logged(log, "S291=") && Logged(log, "I294=2000"));
        EXPECT_EQ(log.back(), "Teleport 7");
    }
    {
        SendUrlDialog url(sdk, {"Alice", 7});
        url.show();
        EXPECT_EQ(Child<QLineEdit>(url, "url")->text(), "http://");
        QTest::keyClicks(Child<QLineEdit>(url, "url"), "example.org");
        Child<QCheckBox>(url, "to3d")->click();
        Child<QPushButton>(url, "send")->click();
        EXPECT_EQ(url.result(), QDialog::Accepted);
        EXPECT_EQ(sdk.Take(), Strings{"UrlSend 7 http://example.org [3d_window]"});
    }
}

TEST_F(AdminDialogsTest, CitizenLookupWaitsForTheAnswer) {
    CitizenLookupDialog dialog(sdk);
    dialog.show();
    EXPECT_EQ(Child<QLineEdit>(dialog, "number")->text(), "0");
    Child<QLineEdit>(dialog, "number")->setText("2");
    Child<QPushButton>(dialog, "retrieveName")->click();
    EXPECT_EQ(Child<QLineEdit>(dialog, "nameAnswer")->text(), "Looking up citizen name...");
    EXPECT_FALSE(Child<QPushButton>(dialog, "retrieveName")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, "retrieveNumber")->isEnabled());
    sdk.Int(kAttrCitizenNumber, 2);
    sdk.String(kAttrCitizenName, "Tester");
    ASSERT_TRUE(sdk.Fire(kCallbackCitizenResult, 0));
    EXPECT_EQ(Child<QLineEdit>(dialog, "nameAnswer")->text(), "Citizen #2 is Tester.");
    EXPECT_TRUE(Child<QPushButton>(dialog, "retrieveNumber")->isEnabled());
}

TEST_F(AdminDialogsTest, ObjectDialogsBuild) {
    {
        PlanterDialog planter(sdk, chat.Writer());
        planter.show();
        Child<QLineEdit>(planter, "coordinates")->setText("Town 1N 1W");
        Child<QLineEdit>(planter, "name")->setText("tree.rwx");
        Child<QPushButton>(planter, "build")->click();
        EXPECT_EQ(planter.result(), QDialog::Accepted);
        EXPECT_EQ(sdk.Take().back(), "ObjectAdd");
        EXPECT_EQ(chat.lines.back(), TealLine("Attempting to add object tree.rwx."));
    }
    LoadObjectDialog loader(sdk, chat.Writer());
    loader.show();
    EXPECT_EQ(Child<QLineEdit>(loader, "owner")->text(), "1");
    EXPECT_EQ(Child<QLineEdit>(loader, "location")->text(), "0n 0e 0a");
    Child<QLineEdit>(loader, "object")->setText("chair.rwx");
    {
        loader.DateBox()->SetDate({2038, 0, 0});
        BoxAnswerer answerer(QMessageBox::Ok);
        Child<QPushButton>(loader, "build")->click();
        EXPECT_EQ(answerer.texts, QStringList{"You must build objects dated between 1/1/1970 and 12/31/2037."});
        EXPECT_TRUE(loader.isVisible());
        EXPECT_TRUE(sdk.Take().empty());
    }
    loader.DateBox()->SetDate({2037, 11, 30});
    Child<QPushButton>(loader, "build")->click();
    EXPECT_EQ(loader.result(), QDialog::Accepted);
    const Strings log = sdk.Take();
    EXPECT_TRUE(Logged(log, "I244=1") && Logged(log, "S238=chair.rwx"));
    EXPECT_EQ(log.back(), "ObjectLoad");
}

} // namespace
