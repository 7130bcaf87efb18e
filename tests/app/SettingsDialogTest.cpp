#include "app/ui/SettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Recorder : public SettingsEffects {
public:
    void RepaintBackdrop() override { ++repaints; }
    void SetAlwaysOnTop(bool) override {}
    void SetChatBackground(Rgb c) override { background = c; }
    void SetChatFont(const ChatFont *font) override { customFont = font != nullptr; }
    void SetScrollbackLines(int lines) override { scrollback = lines; }
    void SetChatStaysWhereScrolled(bool stay) override { stayWhereScrolled = stay; }
    void SetRecordHistory(bool record) override { recordHistory = record; }
    void SetTrayIcon(bool shown) override { trayIcon = shown; }
    std::optional<bool> trayIcon;
    int repaints = 0;
    std::optional<bool> recordHistory;
    std::optional<Rgb> background;
    std::optional<bool> customFont;
    std::optional<int> scrollback;
    std::optional<bool> stayWhereScrolled;
};

class FakeChoosers : public SettingsChoosers {
public:
    std::optional<QString> ChooseWave(QWidget *, const QString &title, const QString &) override {
        titles << title;
        return QStringLiteral("/sounds/new.wav");
    }
    std::optional<QColor> ChooseColour(QWidget *, const QColor &) override { return QColor(10, 20, 30); }
    std::optional<QFont> ChooseFont(QWidget *, const QFont &) override { return std::nullopt; }
    QStringList titles;
};

int argc = 1;
char name[] = "test";
char *argv[] = {name, nullptr};

class SettingsDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app_ = new QApplication(argc, argv); }
    static void TearDownTestSuite() { delete app_; }
    template <class T> static T *Child(QWidget &dialog, const char *objectName) {
        T *child = dialog.findChild<T *>(QString::fromLatin1(objectName));
        EXPECT_NE(child, nullptr) << objectName;
        return child;
    }
    static QApplication *app_;
};
QApplication *SettingsDialogTest::app_ = nullptr;

TEST_F(SettingsDialogTest, OkStoresTheControlsAndApplies) {
    Settings settings;
    Recorder effects;
    FakeChoosers choosers;
    SettingsDialog dialog(settings, effects, nullptr, &choosers);
    auto *waveButton = Child<QPushButton>(dialog, "whisperWaveButton");
    EXPECT_FALSE(waveButton->isEnabled());
    Child<QCheckBox>(dialog, "playWave")->click();
    EXPECT_TRUE(waveButton->isEnabled());
    waveButton->click();
    Child<QCheckBox>(dialog, "showGradient")->click();
    Child<QPushButton>(dialog, "chatBoxChange")->click();
    Child<QSpinBox>(dialog, "scrollbackLines")->setValue(2000);
    Child<QCheckBox>(dialog, "stayWhereScrolled")->click();
    Child<QCheckBox>(dialog, "recordHistory")->click();
    EXPECT_EQ(settings, Settings{}) << "nothing is stored before OK";

    dialog.accept();
    EXPECT_EQ(choosers.titles, QStringList{QStringLiteral("Open whisper wave:")});
    EXPECT_TRUE(settings.playWave);
    EXPECT_EQ(settings.waveLocation, "/sounds/new.wav");
    EXPECT_FALSE(settings.showGradient);
    EXPECT_EQ(settings.chatBox, (Rgb{10, 20, 30}));
    EXPECT_EQ(settings.scrollbackLines, 2000);
    EXPECT_EQ(effects.repaints, 1);
    EXPECT_EQ(effects.background, (Rgb{10, 20, 30}));
    EXPECT_EQ(effects.scrollback, 2000);
    EXPECT_TRUE(settings.stayWhereScrolled);
    EXPECT_EQ(effects.stayWhereScrolled, true);
    EXPECT_EQ(effects.recordHistory, false);
    EXPECT_FALSE(settings.recordHistory);
    EXPECT_EQ(effects.customFont, false);
}

TEST_F(SettingsDialogTest, TheNoticeAndTrayBoxesAreStoredAndTheTrayIconApplied) {
    Settings settings;
    Recorder effects;
    SettingsDialog dialog(settings, effects);
    for (const char *box : {"notifyWhispers", "notifyName", "notifyDisconnect", "trayIcon", "closeToTray"}) {
        Child<QCheckBox>(dialog, box)->click();
    }
    dialog.accept();
    EXPECT_FALSE(settings.notifyWhispers);
    EXPECT_FALSE(settings.notifyName);
    EXPECT_FALSE(settings.notifyDisconnect);
    EXPECT_TRUE(settings.trayIcon);
    EXPECT_TRUE(settings.closeToTray);
    EXPECT_EQ(effects.trayIcon, true);
}

TEST_F(SettingsDialogTest, CancelDropsAChosenColour) {
    Settings settings;
    Recorder effects;
    FakeChoosers choosers;
    SettingsDialog dialog(settings, effects, nullptr, &choosers);
    Child<QPushButton>(dialog, "globalChange")->click();
    EXPECT_EQ(Child<QWidget>(dialog, "globalSwatch")->palette().color(QPalette::Window), QColor(10, 20, 30));
    Child<QCheckBox>(dialog, "timestampMsgs")->click();
    dialog.reject();
    EXPECT_EQ(settings, Settings{});
    EXPECT_FALSE(effects.background.has_value()) << "the chat pane is left alone";
}

TEST_F(SettingsDialogTest, TurningTheCustomFontOffRestoresTheInitialFormat) {
    Settings settings;
    settings.enableFonts = true;
    settings.font.faceName = "DejaVu Sans";
    settings.alwaysOnTop = 2;
    Recorder effects;
    SettingsDialog dialog(settings, effects);
    EXPECT_FALSE(Child<QCheckBox>(dialog, "alwaysOnTop")->isChecked());
    auto *chooseFont = Child<QPushButton>(dialog, "chooseFont");
    EXPECT_TRUE(chooseFont->isEnabled());
    Child<QCheckBox>(dialog, "enableFonts")->click();
    EXPECT_FALSE(chooseFont->isEnabled());
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return); // Enter is OK
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(settings.enableFonts);
    EXPECT_EQ(settings.font.faceName, "DejaVu Sans");
    EXPECT_EQ(effects.customFont, false);
}

TEST_F(SettingsDialogTest, EveryControlGetsTheRoomItAsksFor) {
    Settings settings;
    Recorder effects;
    SettingsDialog dialog(settings, effects, nullptr);
    dialog.show();
    QCoreApplication::processEvents();
    for (auto *control : dialog.findChildren<QWidget *>()) {
        // Qt's own parts of a control (a spin box's edit) are not laid out by the dialog.
        const bool own = !control->objectName().startsWith(QStringLiteral("qt_"));
        if (own && control->isVisible() && control->sizePolicy().verticalPolicy() == QSizePolicy::Fixed) {
            EXPECT_GE(control->height(), control->sizeHint().height())
                << control->objectName().toStdString() << " " << control->metaObject()->className();
        }
    }
}

} // namespace
